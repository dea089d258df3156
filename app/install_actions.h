// What the installer's choices, "afterinstall", "uninstall" and the settings reload do
// to shortcuts, registry entries and files, and the translator's set-up that every
// start path runs first.
#pragma once

#include <string>

#include "formfill/pellix_obj.h"

inline constexpr const char* kPluginKey = kPluginRegistryKey;
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Pellix";
inline constexpr char kMenuExtKey[] = "Software\\Microsoft\\Internet Explorer\\MenuExt";
inline constexpr char kMenuExtMarker[] = "tbr:res?m=PELLIX";
// Internet Explorer's class for a toolbar button that runs a program.
inline constexpr char kExecButtonClsid[] = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
inline constexpr char kIconFileName[] = "PX.ico";
inline constexpr char kIconResource[] = "PIE_ICON";
inline constexpr char kGroupFolderName[] = "Pellix/";

// Shortcut kinds.
inline constexpr int kShortcutDesktop = 0;
inline constexpr int kShortcutQuickLaunch = 1;
inline constexpr int kShortcutStartMenu = 2;
inline constexpr int kShortcutRunEntry = 3;

// The installer's application identifier in braces.
extern const char* const kInstallerAppId;

// The short form of a path, or the path itself when the system has none.
std::string ShortPathOf(const std::string& path);

// HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\Internet Explorer\Extensions\" + the plug-in's
// class identifier.
std::string IEButtonKey();

// Creates or deletes the shortcuts of one kind: the desktop, Quick Launch, the
// Start-menu group (with the program's switches and the uninstaller) or the Run entry.
void CreateShortcuts(bool create, int kind);
// The start entry: the program's file in double quotes and " /startup".
void SetRunEntry(bool create);

// The browser's toolbar button running this program; nothing for an empty text.
void RegisterIEButton(const std::string& text);
// True when the button's key and icon file are gone.
bool UnregisterIEButton();
// Deletes the browser's context-menu entries that this program added (their default
// value starts with kMenuExtMarker, compared without case).
void UnregisterIEMenus();

// Turns the installer's values under HKEY_LOCAL_MACHINE kPluginKey into shortcuts,
// the tray setting, the start entry and the toolbar button; each value is deleted
// once read. The Start-menu group is always made.
void ApplyInstallerChoices();

// Deletes Base + "PXData/" with its contents; true when it is not there afterwards. An
// empty base is never taken as the current folder: nothing is deleted then.
bool RemoveDataFolder(const std::string& base);

// Toolbar button, shortcuts, start entry, both plug-in keys, the data folders beside
// the program and in application data, and the stand-alone data folder and settings
// file in the state root. Each step runs whatever the ones before it did; a step that
// leaves its part behind is logged. True when everything is gone.
bool UninstallCleanup();

// Configures the program-wide translator (registry bases, pack folders, prefix "PX")
// and loads the chosen language.
void LoadLanguageSetting();
