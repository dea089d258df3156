#include "app/start_up.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/install_actions.h"
#include "app/main_form.h"
#include "data/data_startup.h"
#include "app/program_run.h"
#include "common/test_env.h"
#include "platform/base/clock.h"
#include "platform/base/state_root.h"
#include "platform/kernel/named_objects.h"
#include "platform/win/window.h"
#include "support/files_folders.h"
#include "support/locks.h"
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

using program_run::Eventually;
using program_run::ProgramTest;
using program_run::RunProgram;
using program_run::StartProgram;
using program_run::WaitEnd;

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
  EXPECT_EQ(Entries(parent.path()), std::vector<std::string>{"caf\u00e9"}) << "the root it cannot name is not made";
}

TEST(StartUp, JobSwitchesNeverStartAnInstance) {
  const program_run::ProgramFolderLock folder;
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

bool InstanceRuns() { return FindWindowA(kMainFormClass, nullptr) != 0; }

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) names.push_back(entry.path().filename());
  return names;
}

// What a process of the program leaves for others to find: named objects, window
// sockets, and (from older builds) shared-memory names of this state root.
std::vector<std::string> Leftovers() {
  std::vector<std::string> left = FilesIn(platform::NamedObjectFolder());
  for (const std::string& name : FilesIn(platform::StateRoot() / "windows")) left.push_back("windows/" + name);
  const std::string root = platform::NamedObjectFolder().filename().string().substr(std::string("pellix-").size());
  for (const std::string& name : FilesIn("/dev/shm")) {
    if (name.find(root) != std::string::npos) left.push_back("/dev/shm/" + name);
  }
  return left;
}

// The debug log of the program's processes goes to a file of the test.
class LoggedProgramTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    RegWriteString(HKEY_CURRENT_USER, "SOFTWARE\\RD", "VERSION", "1");
    setenv("PELLIX_DEBUG_OUTPUT", Log().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("PELLIX_DEBUG_OUTPUT");
    ProgramTest::TearDown();
  }
  std::filesystem::path Log() const { return home() / "debug.log"; }
  bool Logged(const std::string& text) const { return pellix_test::ReadBytes(Log()).find(text) != std::string::npos; }
};

// A state root that cannot hold the user's state stops the start with a message that
// names the folder, before anything is written anywhere (the current folder included);
// what is there stays as it was.
TEST_F(ProgramTest, AnUnusableStateRootStopsTheStart) {
  const bool root = geteuid() == 0;
  constexpr uid_t kNobody = 65534;
  struct Case {
    const char* what;
    // Prepares the state root in a fresh folder and answers it.
    std::function<std::filesystem::path(const std::filesystem::path& base)> prepare;
    const char* message;
    std::optional<uid_t> user;
  };
  const Case cases[] = {
      {"below a file",
       [](const auto& base) {
         pellix_test::WriteBytes(base / "file", "x");
         return base / "file" / "state";
       },
       "/file\" is not a folder", {}},
      {"a file",
       [](const auto& base) {
         pellix_test::WriteBytes(base / "file", "x");
         return base / "file";
       },
       "/file\" is not a folder", {}},
      {"not writable",
       [](const auto& base) {
         std::filesystem::create_directory(base / "state");
         std::filesystem::permissions(base, std::filesystem::perms::all);
         std::filesystem::permissions(base / "state", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_exec |
                                                         std::filesystem::perms::others_read |
                                                         std::filesystem::perms::others_exec);
         return base / "state";
       },
       "is not writable", root ? std::optional<uid_t>(kNobody) : std::nullopt},
      {"a damaged registry store",
       [](const auto& base) {
         pellix_test::WriteBytes(base / "registry.db", "not a database at all, and not to be written over");
         return base;
       },
       "registry store", {}},
      {"named beyond the 8-bit code page", [](const auto& base) { return base / "\u03a9mega"; },
       "outside the 8-bit code page", {}},
  };
  for (const Case& c : cases) {
    pellix_test::TempDir base;
    pellix_test::TempDir current;
    std::filesystem::permissions(current.path(), std::filesystem::perms::all);
    const std::filesystem::path state = c.prepare(base.path());
    setenv("PELLIX_HOME", state.c_str(), 1);
    const std::filesystem::path errors = home() / "errors.txt";
    const std::string before = pellix_test::ReadBytes(base / "registry.db");
    for (const char* job : {"", "showhistory", "backup", "uninstall"}) {
      EXPECT_EQ(RunProgram(program_run::Start{{job}, current.path(), errors, c.user}), 1) << c.what << " " << job;
      const std::string said = pellix_test::ReadBytes(errors);
      EXPECT_NE(said.find("pellix: the "), std::string::npos) << c.what << ": " << said;
      EXPECT_NE(said.find(state.string()), std::string::npos) << c.what << ": " << said;
      EXPECT_NE(said.find(c.message), std::string::npos) << c.what << ": " << said;
    }
    EXPECT_TRUE(FilesIn(current.path()).empty()) << c.what;
    EXPECT_EQ(pellix_test::ReadBytes(base / "registry.db"), before) << c.what;
  }
  setenv("PELLIX_HOME", home().c_str(), 1);
}

// Another user's object in the place of the run mutex stops the start with a message;
// it is never used or removed.
TEST_F(ProgramTest, ARunMutexOfAnotherUserStopsTheStart) {
  if (geteuid() != 0) GTEST_SKIP() << "planting an object of another user needs root";
  const std::filesystem::path object = platform::NamedObjectPath(kRunMutex);
  std::filesystem::create_directory(object.parent_path());
  std::filesystem::permissions(object.parent_path(), std::filesystem::perms::owner_all);
  pellix_test::WriteBytes(object, std::string(4096, 'x'));
  ASSERT_EQ(chown(object.c_str(), 4242, 4242), 0);
  const std::filesystem::path errors = home() / "errors.txt";
  EXPECT_EQ(RunProgram(program_run::Start{{}, {}, errors, {}}), 1);
  const std::string said = pellix_test::ReadBytes(errors);
  EXPECT_NE(said.find("pellix: the run mutex cannot be made in \"" + object.parent_path().string() + "\""),
            std::string::npos)
      << said;
  EXPECT_FALSE(InstanceRuns());
  EXPECT_EQ(pellix_test::ReadBytes(object), std::string(4096, 'x'));
}

// The program started and stopped again and again, by each of the ways it is stopped
// (the stop switch, the stop event, the end of the session), leaves nothing behind; a
// killed instance's leftovers go with the next start.
TEST_F(ProgramTest, StartAndStopLeaveNothingBehind) {
  const std::function<void(int pid)> stops[] = {
      [](int) { EXPECT_EQ(RunProgram({"stop"}), 0); },
      [](int) {
        support::TEvent stop(kStopEvent);
        ASSERT_TRUE(stop.SetEvent());
        // The stop-watch looks every 100 ms; the bound only guards against a hang.
        EXPECT_TRUE(Eventually([] { return !InstanceRuns(); }));
      },
      [](int pid) { kill(pid, SIGTERM); },
  };
  for (int round = 0; round < 20; ++round) {
    const int pid = StartProgram();
    if (!Eventually(InstanceRuns)) {
      kill(pid, SIGKILL);
      FAIL() << "round " << round << ": no instance; the program ended with " << WaitEnd(pid);
    }
    stops[round % 3](pid);
    ASSERT_EQ(WaitEnd(pid), 0) << round;
    EXPECT_EQ(testing::PrintToString(Leftovers()), "{}") << round;
  }

  const int killed = StartProgram();
  ASSERT_TRUE(Eventually(InstanceRuns));
  kill(killed, SIGKILL);
  EXPECT_EQ(WaitEnd(killed), 128 + SIGKILL);
  const std::string socket = "windows/" + std::to_string(killed) + ".sock";
  const std::string runMutex = platform::NamedObjectPath(kRunMutex).filename();
  EXPECT_THAT(Leftovers(), testing::IsSupersetOf({socket, runMutex}));
  // A foreign object would not be swept: this one is the killed instance's, by its name.
  pellix_test::WriteBytes(platform::NamedObjectFolder() / "o.LeftByTheKilledOne", "");
  const int next = StartProgram();
  ASSERT_TRUE(Eventually(InstanceRuns));
  EXPECT_THAT(Leftovers(), testing::Not(testing::Contains(socket)));
  EXPECT_THAT(Leftovers(), testing::Not(testing::Contains("o.LeftByTheKilledOne")));
  kill(next, SIGTERM);
  EXPECT_EQ(WaitEnd(next), 0);
  EXPECT_EQ(testing::PrintToString(Leftovers()), "{}");
}

// The end of the session (SIGTERM) writes the settings before the program ends: a plain
// start has shown the tray icon and noted that in them.
TEST_F(ProgramTest, TheEndOfTheSessionSavesTheSettings) {
  const std::filesystem::path settings = home() / "pxcfg.ini";
  pellix_test::WriteBytes(settings, "[Settings]\r\nSHOW_TRAY=0\r\n");
  const int pid = StartProgram();
  ASSERT_TRUE(Eventually(InstanceRuns));
  kill(pid, SIGTERM);
  EXPECT_EQ(WaitEnd(pid), 0);
  EXPECT_NE(pellix_test::ReadBytes(settings).find("SHOW_TRAY=1"), std::string::npos) << pellix_test::ReadBytes(settings);
}

// "showurl" hands an address to the desktop's opener only when it is a web address,
// whatever the case of its scheme.
TEST_F(ProgramTest, ShowUrlOpensOnlyWebAddresses) {
  const std::filesystem::path opened = home() / "opened.txt";
  std::filesystem::create_directory(home() / "bin");
  pellix_test::WriteBytes(home() / "bin" / "xdg-open", "#!/bin/sh\necho \"$1\" >> '" + opened.string() + "'\n");
  std::filesystem::permissions(home() / "bin" / "xdg-open", std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH");
  setenv("PATH", ((home() / "bin").string() + ":" + path).c_str(), 1);
  EXPECT_EQ(RunProgram({"showurl", "HTTP://example.org/Page"}), 0);
  EXPECT_EQ(RunProgram({"showurl", "ftp://example.org/file"}), 0);
  EXPECT_EQ(RunProgram({"showurl", "https://example.org/"}), 0);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(pellix_test::ReadBytes(opened), "HTTP://example.org/Page\nhttps://example.org/\n");
  EXPECT_FALSE(InstanceRuns());
}

// "startup" with an instance running posts the show command to it and ends: the
// running instance shows its tray icon and notes that in its settings. "help" shows
// the help window on its topic in a process of its own, which ends when it is closed.
TEST_F(LoggedProgramTest, StartupAndHelpReachTheirWindows) {
  const std::filesystem::path settings = home() / "pxcfg.ini";
  pellix_test::WriteBytes(settings, "[PELLIX]\r\nSHOW_TRAY=0\r\n");
  const int first = StartProgram({"-Embedding"});
  ASSERT_TRUE(Eventually(InstanceRuns));
  EXPECT_EQ(RunProgram({"startup"}), 0);
  EXPECT_TRUE(Eventually([&] { return pellix_test::ReadBytes(settings).find("SHOW_TRAY=1") != std::string::npos; }))
      << pellix_test::ReadBytes(settings);
  const int help = StartProgram({"help", "42"});
  HWND helpWindow = 0;
  EXPECT_TRUE(Eventually([&] { return (helpWindow = FindWindowA(kHelpFormClass, nullptr)) != 0; }));
  PostMessageA(helpWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitEnd(help), 0);
  kill(first, SIGTERM);
  EXPECT_EQ(WaitEnd(first), 0);
}

}  // namespace
