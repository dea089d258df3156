#include "app/start_up.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/install_actions.h"
#include "app/main_form.h"
#include "data/data_startup.h"
#include "common/test_env.h"
#include "platform/base/clock.h"
#include "platform/win/window.h"
#include "support/files_folders.h"
#include "support/program_paths.h"
#include "support/registry_access.h"

namespace {

std::filesystem::path LaunchedFile() { return std::filesystem::path(std::getenv("PELLIX_HOME")) / "launched.txt"; }

// Notes window requests in a file that the test reads from its own process. Its
// first-run wizard sets up a vault without a master password at once.
class FileLauncher : public TDialogLauncher {
 public:
  void Note(const char* window, long argument) {
    std::ofstream(LaunchedFile(), std::ios::app) << window << ' ' << argument << '\n';
  }
  bool ShowAfterInstallWizard(HWND) override {
    Note("first-run wizard", 0);
    SecurityLevel = kSecurityNone;
    FirstRunCompleted = true;
    return true;
  }
  bool ShowHistoryBrowser(HWND owner) override {
    Note("history browser", static_cast<long>(owner));
    return true;
  }
  bool AskVaultPassword(HWND owner, bool, const std::u16string&, std::u16string&) override {
    Note("vault password", static_cast<long>(owner));
    return false;
  }
  bool ShowCloseDialog() override {
    Note("close dialog", 0);
    return false;
  }
};

const bool kProgram = pellix_test::RegisterChildRole("pellix", [](const std::vector<std::string>& args) {
  FileLauncher launcher;
  return StartApplication(args, launcher);
});

// Polls (bounded) until the condition holds; the bound only guards against a hang.
template <typename F>
bool Eventually(F condition) {
  for (int i = 0; i < 300; ++i) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

TEST(StartUp, SecondInstanceForwardsItsSwitchAndStopEndsTheFirst) {
  const int first = pellix_test::StartChild("pellix");
  ASSERT_TRUE(Eventually([] { return FindWindowA(kMainFormClass, nullptr) != 0; }));

  EXPECT_EQ(pellix_test::RunChild("pellix", {"--/SHOWHISTORY"}), 0);
  EXPECT_TRUE(Eventually([] {
    return pellix_test::ReadBytes(LaunchedFile()).find("history browser 0\n") != std::string::npos;
  })) << pellix_test::ReadBytes(LaunchedFile());

  // The stop switch holds its event for two seconds; the first instance is gone by then.
  EXPECT_EQ(pellix_test::RunChild("pellix", {"stop"}), 0);
  EXPECT_EQ(FindWindowA(kMainFormClass, nullptr), 0u);
  EXPECT_EQ(pellix_test::WaitChild(first), 0);
}

// Started by COM while this program is not the registered server, it runs stand-alone:
// its data folder lies under the state root, not in application data.
TEST(StartUp, EmbeddingWithoutRegistrationRunsStandAlone) {
  const int first = pellix_test::StartChild("pellix", {"-Embedding"});
  ASSERT_TRUE(Eventually([] { return FindWindowA(kMainFormClass, nullptr) != 0; }));
  EXPECT_TRUE(std::filesystem::is_directory(StandAloneFolder() + "PXData"));
  EXPECT_FALSE(std::filesystem::exists(AppDataDir() + "PXData"));
  EXPECT_EQ(pellix_test::RunChild("pellix", {"stop"}), 0);
  EXPECT_EQ(pellix_test::WaitChild(first), 0);
}

// Points the state root at another folder for one test.
class OtherRoot {
 public:
  explicit OtherRoot(const std::filesystem::path& root) : saved_(std::getenv("PELLIX_HOME")) {
    setenv("PELLIX_HOME", root.c_str(), 1);
  }
  ~OtherRoot() { setenv("PELLIX_HOME", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

// The whole program on a root named with a letter beyond ASCII keeps its data folder,
// its settings file and everything else inside that root; a root with a letter that
// the 8-bit code page lacks ends the start with an error and nothing written.
TEST(StartUp, AStateRootWithLettersBeyondAsciiKeepsEveryFileInside) {
  pellix_test::TempDir parent;
  const std::filesystem::path root = parent / "caf\u00e9";
  {
    OtherRoot other(root);
    const int first = pellix_test::StartChild("pellix");
    ASSERT_TRUE(Eventually([] { return FindWindowA(kMainFormClass, nullptr) != 0; }));
    EXPECT_EQ(pellix_test::RunChild("pellix", {"stop"}), 0);
    EXPECT_EQ(pellix_test::WaitChild(first), 0);
  }
  EXPECT_EQ(Entries(parent.path()), std::vector<std::string>{"caf\u00e9"});
  EXPECT_TRUE(std::filesystem::is_directory(root / "PXData"));
  EXPECT_TRUE(std::filesystem::exists(root / "pxcfg.ini"));

  const std::filesystem::path outside = parent / "\u03a9mega";
  {
    OtherRoot other(outside);
    EXPECT_EQ(pellix_test::RunChild("pellix"), 1);
  }
  EXPECT_EQ(Entries(parent.path()).size(), 2u);
  EXPECT_EQ(Entries(outside), std::vector<std::string>{});
}

TEST(StartUp, JobSwitchesNeverStartAnInstance) {
  for (const char* job : {"install", "showurl", "help", "afterinstall", "uninstall"}) {
    EXPECT_EQ(pellix_test::RunChild("pellix", {job}), 0) << job;
    EXPECT_EQ(FindWindowA(kMainFormClass, nullptr), 0u) << job;
  }
}

// A help topic from the command line is a number: anything else is refused before a
// window is made.
TEST(StartUp, AHelpTopicIsAcceptedOnlyAsDecimalDigits) {
  for (const char* topic : {"12x", "-5", "0x10", "1 2", "99999999999999999999"}) {
    EXPECT_EQ(pellix_test::RunChild("pellix", {"help", topic}), 1) << topic;
  }
  EXPECT_EQ(FindWindowA(kHelpFormClass, nullptr), 0u);
}

// "regserver" makes this program the plug-in's local server, so that later starts run
// as the COM server; "unregserver" undoes it and takes this program's browser menu
// entries with it.
TEST(StartUp, RegistrationMakesThisProgramTheServerAndRemovalUndoesIt) {
  const std::string menuEntry = std::string(kMenuExtKey) + "\\Fill with Pellix";
  RegWriteString(HKEY_CURRENT_USER, menuEntry, "", std::string(kMenuExtMarker) + "&c=fill");
  ASSERT_FALSE(IsComServerRegistered());
  EXPECT_EQ(pellix_test::RunChild("pellix", {"/RegServer"}), 0);
  EXPECT_TRUE(IsComServerRegistered());
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, menuEntry)) << "registering keeps the menu entries";
  EXPECT_EQ(pellix_test::RunChild("pellix", {"-unregserver"}), 0);
  EXPECT_FALSE(IsComServerRegistered());
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, menuEntry));
  EXPECT_FALSE(FindWindowA(kMainFormClass, nullptr));
}

}  // namespace
