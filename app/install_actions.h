// What the "uninstall" switch undoes: the start entry at log-on, the program's
// registry keys and the data folders.
#pragma once

#include <string>

inline constexpr char kPluginKey[] = "Software\\Quindle\\PlugIns\\PELLIX";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Pellix";

// Creates or deletes the start entry: the program's file in double quotes and " /startup".
void SetRunEntry(bool create);

// Deletes Base + "PXData/" with its contents. An empty base is never taken as the
// current folder: nothing is deleted then.
void RemoveDataFolder(const std::string& base);

// Start entry, both plug-in keys and both data folders; each step runs whatever the
// one before it answered.
void UninstallCleanup();
