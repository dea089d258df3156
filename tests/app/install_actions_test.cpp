#include "app/install_actions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "common/test_env.h"
#include "platform/kernel/registry.h"
#include "support/program_paths.h"
#include "support/registry_access.h"

namespace {

TEST(InstallActions, RunEntryIsWrittenAndDeleted) {
  SetRunEntry(true);
  std::string entry;
  ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, kRunKey, kRunValue, entry));
  EXPECT_EQ(entry, "\"" + ProgramFile() + "\" /startup");
  SetRunEntry(false);
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
}

TEST(InstallActions, UninstallRemovesTheProgramsKeysAndStartEntry) {
  SetRunEntry(true);
  RegWriteString(HKEY_CURRENT_USER, kPluginKey, "SHOW_TRAY", "1");
  RegWriteString(HKEY_LOCAL_MACHINE, kPluginKey, "ADD_TRAY", "1");
  RegWriteString(HKEY_CURRENT_USER, "Software\\Quindle", "INNOWIN", "0");
  UninstallCleanup();
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kPluginKey));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kPluginKey));
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Quindle", "INNOWIN")) << "other keys stay";
}

// An empty base path must not turn into the relative "PXData/" of the current folder.
TEST(InstallActions, DataFolderRemovalNeedsABasePath) {
  pellix_test::TempDir dir;
  std::filesystem::create_directories(dir / "PXData" / "inner");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  RemoveDataFolder("");
  std::filesystem::current_path(previous);
  EXPECT_TRUE(std::filesystem::exists(dir / "PXData" / "inner"));

  RemoveDataFolder(dir.path().string());
  EXPECT_FALSE(std::filesystem::exists(dir / "PXData"));
}

}  // namespace
