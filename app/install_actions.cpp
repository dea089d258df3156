#include "app/install_actions.h"

#include <exception>
#include <functional>
#include <utility>
#include <vector>

#include "data/config.h"
#include "data/data_startup.h"
#include "formfill/pellix_obj.h"
#include "platform/com/server_registration.h"
#include "platform/base/text.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "platform/kernel/resources.h"
#include "platform/fs/special_folders.h"
#include "platform/kernel/registry.h"
#include "support/debug_log.h"
#include "support/files_folders.h"
#include "support/program_paths.h"
#include "support/registry_access.h"
#include "support/resource_files.h"
#include "support/shell.h"
#include "support/translator.h"

// Chosen once for this program's installer.
const char* const kInstallerAppId = "{B52D7A14-91C6-4F0E-8D3B-6A2E9C7F1D58}";

namespace {

constexpr char kQuindleKey[] = "Software\\Quindle\\";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kProgramName[] = "Pellix";

// The Start-menu group's shortcuts: the program and its window switches.
constexpr std::pair<const char*, const char*> kGroupShortcuts[] = {
    {"Pellix", ""},
    {"Browse Form Bookmarks", "/showbookmarks"},
    {"Browse Form History", "/showhistory"},
    {"Password Generator", "/showpwdgen"},
    {"Pellix Settings", "/settings"},
};

std::string GroupFolder() {
  const std::string programs = GetSpecialFolderPath(CSIDL_COMMON_PROGRAMS);
  return programs.empty() ? std::string() : programs + kGroupFolderName;
}

std::string IconFile() { return ProgramFolder() + kIconFileName; }


// The uninstaller's command: trimmed, one pair of surrounding quotes removed.
std::string UninstallCommand() {
  std::string command;
  RegReadString(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + kInstallerAppId + "_is1", "UninstallString",
                command);
  const auto first = command.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  command = command.substr(first, command.find_last_not_of(" \t") - first + 1);
  if (command.size() >= 2 && command.front() == '"' && command.back() == '"') {
    command = command.substr(1, command.size() - 2);
  }
  return command;
}

void CreateGroup() {
  const std::string folder = GroupFolder();
  if (folder.empty() || !ForceDirectoriesEx(folder, false)) return;
  // Recorded on the model only: this system never opens a user's folder to others.
  DirSetAllowEveryone(folder);
  for (const auto& [name, switches] : kGroupShortcuts) {
    CreateShortcut(ProgramFile(), switches, folder, 0, "", TranslateA(name));
  }
  const std::string uninstaller = UninstallCommand();
  if (!uninstaller.empty()) {
    CreateShortcut(ShortPathOf(uninstaller), "", folder, 0, "", TranslateA("Uninstall Pellix"));
  }
}

void RemoveGroup() {
  const std::string folder = GroupFolder();
  if (folder.empty() || !IsExistingDir(folder)) return;
  DirSetAllowEveryone(folder);
  DeleteDirectoryTree(folder, false);
}

// The installer's value, deleted once read; empty when it was not there.
std::string TakeInstallerValue(const char* name) {
  std::string value;
  if (!RegReadString(HKEY_LOCAL_MACHINE, kPluginKey, name, value)) return {};
  RegDeleteValue(HKEY_LOCAL_MACHINE, kPluginKey, name);
  return value;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         platform::CompareText(platform::AnsiToWide(text.substr(0, prefix.size())), platform::AnsiToWide(prefix), true) == 0;
}

void ChangeShortcuts(bool create, int kind) {
  switch (kind) {
    case kShortcutDesktop:
    case kShortcutQuickLaunch: {
      const BYTE folder = kind == kShortcutDesktop ? CSIDL_DESKTOPDIRECTORY : kQuickLaunchFolder;
      // This system has no Quick Launch bar, so that shortcut usually has no folder.
      if (create && !CreateQuickLaunchShortcut(ProgramFile(), "", folder, 0, "", kProgramName)) {
        LogMessage("shortcut not made in folder " + std::to_string(folder));
      }
      if (!create) RemoveQuickLaunchShortcut(kProgramName, folder);
      break;
    }
    case kShortcutStartMenu: create ? CreateGroup() : RemoveGroup(); break;
    case kShortcutRunEntry: SetRunEntry(create); break;
    default: break;
  }
}

// Deletes a key with its subkeys; true when it is not there afterwards.
bool RemoveKey(HKEY root, const std::string& key) {
  RegDeleteKeyTree(root, key);
  return !RegKeyExists(root, key);
}

// Deletes a file; true when it is not there afterwards.
bool RemoveFile(const std::string& file) {
  ForceDeleteFileEx(file, false);
  return !IsExistingFile(file);
}

}  // namespace

std::string ShortPathOf(const std::string& path) {
  char shortPath[MAX_PATH + 1] = {};
  const DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  return length == 0 || length > MAX_PATH ? path : std::string(shortPath, length);
}

std::string IEButtonKey() {
  return std::string("SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\") +
         platform::com::GuidKeyText(CLSID_PellixObj);
}

void SetRunEntry(bool create) {
  if (create) {
    RegWriteString(HKEY_CURRENT_USER, kRunKey, kRunValue, "\"" + ProgramFile() + "\" /startup");
  } else {
    RegDeleteValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
  }
}

void CreateShortcuts(bool create, int kind) {
  try {
    ChangeShortcuts(create, kind);
  } catch (const std::exception& e) {
    // One shortcut that cannot be made or removed never stops the steps after it.
    LogError(std::string("shortcuts: ") + e.what());
  }
}

void RegisterIEButton(const std::string& text) {
  if (text.empty()) return;
  const std::string key = IEButtonKey();
  for (const char* name : {"ButtonText", "MenuText", "ToolTip"}) RegWriteString(HKEY_LOCAL_MACHINE, key, name, text);
  RegWriteString(HKEY_LOCAL_MACHINE, key, "Exec", ShortPathOf(ProgramFile()));
  RegWriteString(HKEY_LOCAL_MACHINE, key, "Default Visible", "Yes");
  RegWriteString(HKEY_LOCAL_MACHINE, key, "CLSID", kExecButtonClsid);
  TFileResourceReader icon;
  if (icon.Open(kIconResource, "", RT_RCDATA) && icon.SaveToFile(IconFile())) {
    RegWriteString(HKEY_LOCAL_MACHINE, key, "Icon", IconFile());
    RegWriteString(HKEY_LOCAL_MACHINE, key, "HotIcon", IconFile());
  }
}

bool UnregisterIEButton() {
  return RemoveKey(HKEY_LOCAL_MACHINE, IEButtonKey()) && RemoveFile(IconFile());
}

void UnregisterIEMenus() {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kMenuExtKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[256] = {};
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  RegCloseKey(key);
  for (const std::string& name : names) {
    const std::string path = std::string(kMenuExtKey) + "\\" + name;
    if (StartsWithNoCase(RegReadStringDef(HKEY_CURRENT_USER, path, "", ""), kMenuExtMarker)) {
      RegDeleteKeyTree(HKEY_CURRENT_USER, path);
    }
  }
}

void ApplyInstallerChoices() {
  if (TakeInstallerValue("ADD_DESKTOP") == "1") CreateShortcuts(true, kShortcutDesktop);
  if (TakeInstallerValue("ADD_QUICKLAUNCH") == "1") CreateShortcuts(true, kShortcutQuickLaunch);
  CreateShortcuts(true, kShortcutStartMenu);
  TakeInstallerValue("ADD_STARTMENU");
  const std::string tray = TakeInstallerValue("ADD_TRAY");
  if (tray == "1") CreateShortcuts(true, kShortcutRunEntry);
  if (tray == "1" || tray == "0") {
    RegWriteString(HKEY_CURRENT_USER, kPluginKey, "SHOW_TRAY", tray);
    RegWriteString(HKEY_CURRENT_USER, kPluginKey, "RUN_STARTUP", tray);
  }
  if (TakeInstallerValue("ADD_IEBTN") == "1") RegisterIEButton(kProgramName);
}

bool RemoveDataFolder(const std::string& base) {
  if (base.empty()) return true;
  const std::string folder = base + (base.back() == '/' ? "" : "/") + kDataFolderName;
  DeleteDirectoryTree(folder, false);
  return !IsExistingDir(folder);
}

bool UninstallCleanup() {
  const std::string standAlone = StandAloneFolder();
  const std::pair<const char*, std::function<bool()>> steps[] = {
      {"the browser's toolbar button", [] { return UnregisterIEButton(); }},
      {"the shortcuts and the start entry",
       [] {
         for (int kind : {kShortcutDesktop, kShortcutQuickLaunch, kShortcutStartMenu, kShortcutRunEntry}) {
           CreateShortcuts(false, kind);
         }
         return !RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue);
       }},
      {"the user's settings key", [] { return RemoveKey(HKEY_CURRENT_USER, kPluginKey); }},
      {"the machine's settings key", [] { return RemoveKey(HKEY_LOCAL_MACHINE, kPluginKey); }},
      {"the data folder beside the program", [] { return RemoveDataFolder(ProgramFolder()); }},
      {"the shared data folder", [] { return RemoveDataFolder(AppDataDir()); }},
      // A stand-alone start keeps its lists and settings file in the state root.
      {"the stand-alone data folder", [&] { return RemoveDataFolder(standAlone); }},
      {"the stand-alone settings file",
       [&] { return standAlone.empty() || RemoveFile(standAlone + ConfigFileName); }},
  };
  bool clean = true;
  for (const auto& [what, step] : steps) {
    bool done = false;
    try {
      done = step();
    } catch (const std::exception& e) {
      LogError(std::string("uninstall: ") + what + ": " + e.what());
    }
    if (!done) LogError(std::string("uninstall: ") + what + " could not be removed");
    clean = clean && done;
  }
  return clean;
}

void LoadLanguageSetting() {
  TTranslator2& translator = Translator();
  translator.UserKey = kQuindleKey;
  translator.MachineKey = kQuindleKey;
  translator.PackDir = ProgramFolder() + "Languages/";
  translator.LangDir = ProgramFolder() + "LangAct/";
  translator.Prefix = "PX";
  // The program carries no pack list of this name: only pack files in the folder count.
  translator.PackListName = "VERSION";
  translator.InitLang();
  translator.LoadLanguage();
}
