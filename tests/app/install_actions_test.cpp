#include "app/install_actions.h"
#include "app/start_up.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/program_run.h"
#include "app/recording_launcher.h"
#include "common/test_env.h"
#include "data/config.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/kernel/debug_output.h"
#include "platform/com/class_table.h"
#include "platform/fs/special_folders.h"
#include "platform/kernel/registry.h"
#include "platform/win/window.h"
#include "support/files_folders.h"
#include "support/program_paths.h"
#include "support/registry_access.h"

namespace {

// Uninstalls with every key deletion failing; the debug log goes to the file named.
const bool kFailingUninstall = pellix_test::RegisterChildRole("failing-uninstall", [](const std::vector<std::string>& args) {
  const std::string log = args.at(0);
  platform::SetDebugOutputSink([log](std::string_view line) {
    std::ofstream(log, std::ios::app) << line << '\n';
  });
  platform::faults::FailNext("RegDeleteTreeA", 1000, ERROR_ACCESS_DENIED);
  TRecordingLauncher launcher;
  return StartApplication({"uninstall"}, launcher);
});

TEST(InstallActions, RunEntryIsWrittenAndDeleted) {
  SetRunEntry(true);
  std::string entry;
  ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, kRunKey, kRunValue, entry));
  EXPECT_EQ(entry, "\"" + ProgramFile() + "\" /startup");
  SetRunEntry(false);
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
}

TEST(InstallActions, UninstallRemovesTheProgramsKeysAndStartEntry) {
  const program_run::ProgramFolderLock folder;
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

// The installer's choices as registry values, and what each leaves behind; every value
// is deleted once read.
class InstallerChoicesTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override {
    UninstallCleanup();
    CoUninitialize();
  }

  static std::filesystem::path Folder(int csidl) { return std::filesystem::path(GetSpecialFolderPath(csidl)); }
  static std::filesystem::path Group() { return Folder(CSIDL_COMMON_PROGRAMS) / "Pellix"; }
  static std::filesystem::path DesktopLink() { return Folder(CSIDL_DESKTOPDIRECTORY) / "Pellix.lnk"; }
  static std::string UserValue(const char* name) {
    return RegReadStringDef(HKEY_CURRENT_USER, kPluginKey, name, "(none)");
  }

 private:
  const program_run::ProgramFolderLock folder_;
};

TEST_F(InstallerChoicesTest, NoValuesMakeOnlyTheStartMenuGroup) {
  ApplyInstallerChoices();
  for (const char* name : {"Pellix", "Browse Form Bookmarks", "Browse Form History", "Password Generator",
                           "Pellix Settings"}) {
    EXPECT_TRUE(std::filesystem::exists(Group() / (std::string(name) + ".lnk"))) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(Group() / "Uninstall Pellix.lnk"));
  EXPECT_FALSE(std::filesystem::exists(DesktopLink()));
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, IEButtonKey()));
  EXPECT_NE(pellix_test::ReadBytes(Group() / "Browse Form History.lnk").find("/showhistory"), std::string::npos);
  // Opening the group to everyone is only recorded: the folder stays the user's.
  EXPECT_EQ(std::filesystem::status(Group()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
}

TEST_F(InstallerChoicesTest, EveryChoiceTakesEffectAndItsValueGoes) {
  for (const char* name : {"ADD_DESKTOP", "ADD_QUICKLAUNCH", "ADD_STARTMENU", "ADD_TRAY", "ADD_IEBTN"}) {
    RegWriteString(HKEY_LOCAL_MACHINE, kPluginKey, name, "1");
  }
  RegWriteString(HKEY_LOCAL_MACHINE, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                                         kInstallerAppId + "_is1",
                 "UninstallString", "  \"/opt/pellix/unins000.exe\" ");
  ApplyInstallerChoices();
  for (const char* name : {"ADD_DESKTOP", "ADD_QUICKLAUNCH", "ADD_STARTMENU", "ADD_TRAY", "ADD_IEBTN"}) {
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kPluginKey, name)) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(DesktopLink()));

  const std::string uninstaller = pellix_test::ReadBytes(Group() / "Uninstall Pellix.lnk");
  EXPECT_NE(uninstaller.find("\nExec=\"/opt/pellix/unins000.exe\"\n"), std::string::npos)
      << "the command trimmed and out of its quotes: " << uninstaller;
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
  EXPECT_EQ(UserValue("SHOW_TRAY"), "1");
  EXPECT_EQ(UserValue("RUN_STARTUP"), "1");
  const std::string button = IEButtonKey();
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, button, "ButtonText", ""), "Pellix");
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, button, "CLSID", ""), kExecButtonClsid);
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, button, "Default Visible", ""), "Yes");
  const std::string icon = RegReadStringDef(HKEY_LOCAL_MACHINE, button, "Icon", "");
  EXPECT_EQ(pellix_test::ReadBytes(icon).substr(0, 4), std::string("\0\0\1\0", 4)) << "an icon file";

  UninstallCleanup();
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, button));
  EXPECT_FALSE(std::filesystem::exists(icon));
  EXPECT_FALSE(std::filesystem::exists(Group()));
  EXPECT_FALSE(std::filesystem::exists(DesktopLink()));
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
}

TEST_F(InstallerChoicesTest, NoTrayTurnsTheSettingsOffButKeepsTheStartEntry) {
  SetRunEntry(true);
  RegWriteString(HKEY_LOCAL_MACHINE, kPluginKey, "ADD_TRAY", "0");
  ApplyInstallerChoices();
  EXPECT_EQ(UserValue("SHOW_TRAY"), "0");
  EXPECT_EQ(UserValue("RUN_STARTUP"), "0");
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue));
}

TEST(InstallActions, OnlyThisProgramsBrowserMenuEntriesAreRemoved) {
  const std::string ours = std::string(kMenuExtKey) + "\\&Pellix Fill";
  const std::string theirs = std::string(kMenuExtKey) + "\\Other Tool";
  RegWriteString(HKEY_CURRENT_USER, ours, "", "TBR:RES?M=PELLIX&C=FILL");
  RegWriteString(HKEY_CURRENT_USER, theirs, "", "res://other.dll/menu.htm");
  UnregisterIEMenus();
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, ours));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, theirs));
  RegDeleteKeyTree(HKEY_CURRENT_USER, theirs);
}

using program_run::ProgramTest;

// A stand-alone start keeps its lists and settings in the state root: uninstalling
// removes them there, with the program's keys; what is not the program's stays.
TEST_F(ProgramTest, UninstallRemovesTheDataWhereItIs) {
  const int pid = program_run::StartProgram();
  ASSERT_TRUE(program_run::Eventually([] { return FindWindowA("PellixMainForm", nullptr) != 0; }));
  kill(pid, SIGTERM);
  ASSERT_EQ(program_run::WaitEnd(pid), 0);
  pellix_test::WriteBytes(home() / "PXData" / "bookmarks.pxl", "a list");
  pellix_test::WriteBytes(home() / "notes.txt", "the user's own");
  RegWriteString(HKEY_CURRENT_USER, kPluginKey, "SHOW_TRAY", "1");
  ASSERT_TRUE(std::filesystem::exists(home() / ConfigFileName));

  EXPECT_EQ(program_run::RunProgram({"uninstall"}), 0);
  EXPECT_FALSE(std::filesystem::exists(home() / "PXData"));
  EXPECT_FALSE(std::filesystem::exists(home() / ConfigFileName));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kPluginKey));
  EXPECT_EQ(pellix_test::ReadBytes(home() / "notes.txt"), "the user's own");
}

// A step that fails is logged and reported; the steps after it still run.
TEST_F(ProgramTest, AFailingUninstallStepIsLoggedAndTheOthersRun) {
  const program_run::ProgramFolderLock folder;
  RegWriteString(HKEY_CURRENT_USER, "SOFTWARE\\RD", "VERSION", "1");
  RegWriteString(HKEY_CURRENT_USER, kPluginKey, "SHOW_TRAY", "1");
  pellix_test::WriteBytes(home() / ConfigFileName, "[Settings]\r\n");
  std::filesystem::create_directory(home() / "PXData");
  const std::filesystem::path log = home() / "debug.log";
  EXPECT_EQ(pellix_test::RunChild("failing-uninstall", {log.string()}), 1);
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kPluginKey));
  EXPECT_FALSE(std::filesystem::exists(home() / "PXData"));
  EXPECT_FALSE(std::filesystem::exists(home() / ConfigFileName));
  EXPECT_NE(pellix_test::ReadBytes(log).find("uninstall: the user's settings key could not be removed"), std::string::npos)
      << pellix_test::ReadBytes(log);
}

}  // namespace
