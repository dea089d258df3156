#include "app/install_actions.h"

#include "data/data_startup.h"
#include "platform/kernel/registry.h"
#include "support/files_folders.h"
#include "support/program_paths.h"
#include "support/registry_access.h"

void SetRunEntry(bool create) {
  if (create) {
    RegWriteString(HKEY_CURRENT_USER, kRunKey, kRunValue, "\"" + ProgramFile() + "\" /startup");
  } else {
    RegDeleteValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
  }
}

void RemoveDataFolder(const std::string& base) {
  if (base.empty()) return;
  DeleteDirectoryTree(base + (base.back() == '/' ? "" : "/") + kDataFolderName, false);
}

void UninstallCleanup() {
  SetRunEntry(false);
  RegDeleteKeyTree(HKEY_CURRENT_USER, kPluginKey);
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kPluginKey);
  RemoveDataFolder(ProgramFolder());
  RemoveDataFolder(AppDataDir());
}
