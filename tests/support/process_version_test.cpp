#include "support/process_version.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/kernel/fresh_home.h"
#include "platform/kernel/named_objects.h"
#include "platform/kernel/process.h"
#include "platform/kernel/version.h"

namespace {

TEST(OSVersion, EveryRowOfTheTable) {
  struct Case {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    BYTE productType;
    BYTE id;
    const char* system;
  };
  const Case cases[] = {
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0, W95, "Windows 95"},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, W98, "Windows 98 SE"},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0, WME, "Windows ME"},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 11, 0, W95, "another 9x version"},
      {VER_PLATFORM_WIN32s, 3, 11, 0, W95, "another platform"},
      {VER_PLATFORM_WIN32_NT, 3, 51, VER_NT_WORKSTATION, NT40, "NT 3.51"},
      {VER_PLATFORM_WIN32_NT, 4, 0, VER_NT_WORKSTATION, NT40, "NT 4"},
      {VER_PLATFORM_WIN32_NT, 5, 0, VER_NT_SERVER, W2K, "Windows 2000"},
      {VER_PLATFORM_WIN32_NT, 5, 1, VER_NT_WORKSTATION, WXP, "Windows XP"},
      {VER_PLATFORM_WIN32_NT, 5, 2, VER_NT_WORKSTATION, WXP, "Windows XP x64"},
      {VER_PLATFORM_WIN32_NT, 5, 2, VER_NT_SERVER, WS03, "Windows Server 2003"},
      {VER_PLATFORM_WIN32_NT, 5, 2, VER_NT_DOMAIN_CONTROLLER, WS03, "a domain controller"},
      {VER_PLATFORM_WIN32_NT, 6, 0, VER_NT_WORKSTATION, VISTA, "Windows Vista"},
      {VER_PLATFORM_WIN32_NT, 6, 1, VER_NT_WORKSTATION, VISTA, "Windows 7"},
      {VER_PLATFORM_WIN32_NT, 10, 0, VER_NT_SERVER, VISTA, "a later server"},
  };
  platform::ReportedVersion saved = platform::GetReportedVersion();
  for (const Case& c : cases) {
    platform::ReportedVersion version;
    version.platformId = c.platformId;
    version.major = c.major;
    version.minor = c.minor;
    version.productType = c.productType;
    platform::SetReportedVersion(version);
    EXPECT_EQ(GetOSId(), c.id) << c.system;
    InitOSVersion();
    EXPECT_EQ(OSId, c.id) << c.system;
    EXPECT_EQ(IsNT, c.platformId == VER_PLATFORM_WIN32_NT) << c.system;
    EXPECT_EQ(IsVista, c.id == VISTA) << c.system;
  }
  platform::faults::FailNext("GetVersionExA", 1, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetOSId(), WXP);
  platform::SetReportedVersion(saved);
  InitOSVersion();
  EXPECT_EQ(OSId, VISTA);
}

std::string Self() { return std::filesystem::canonical("/proc/self/exe").string(); }

// Writes its own command line to a file in the state root, or waits for an event.
const bool kWriteCommandLine = pellix_test::RegisterChildRole("write-command-line", [](const std::vector<std::string>&) {
  TProcess self;
  self.Pid = static_cast<DWORD>(getpid());
  std::string line;
  self.GetCommandLine(line);
  std::ofstream(std::filesystem::path(std::getenv("PELLIX_HOME")) / "command-line.txt") << line;
  return 0;
});

const bool kWaitGo = pellix_test::RegisterChildRole("wait-go", [](const std::vector<std::string>&) {
  HANDLE go = OpenEventA(EVENT_ALL_ACCESS, FALSE, "go");
  return go && WaitForSingleObject(go, 20000) == WAIT_OBJECT_0 ? 0 : 1;
});

using Processes = FreshHome;

std::string RunAndReadCommandLine(const std::string& exePath, const std::string& params, const std::filesystem::path& home) {
  TProcess process;
  process.ExePath = exePath;
  process.Params = params;
  if (!process.Execute()) return "not started";
  WaitForSingleObject(process.ProcessHandle, 20000);
  std::ifstream in(home / "command-line.txt");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(Processes, ExecuteQuotesTheProgramOnlyWhenNeeded) {
  std::string role = "--pellix-child-role=write-command-line";
  EXPECT_EQ(RunAndReadCommandLine(Self(), role + " x", home()), "\"" + Self() + "\" " + role + " x");
  // Already quoted, and no parameters: nothing is added, not even a blank.
  std::string quoted = "\"" + Self() + "\" " + role;
  EXPECT_EQ(RunAndReadCommandLine(quoted, "", home()), quoted);
  EXPECT_FALSE(RunProgram((home() / "missing").string(), "", 1));
  EXPECT_TRUE(RunProgram(Self(), role, 1));
}

TEST_F(Processes, CreateForPidDescribesARunningProcess) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "go");
  TProcess started;
  started.ExePath = Self();
  started.Params = "--pellix-child-role=wait-go";
  ASSERT_TRUE(started.Execute());
  EXPECT_NE(started.ProcessHandle, -1);
  EXPECT_NE(started.ThreadHandle, -1);

  std::unique_ptr<TProcess> seen = TProcess::CreateForPid(started.Pid);
  EXPECT_EQ(seen->Pid, started.Pid);
  EXPECT_EQ(seen->ParentPid, static_cast<DWORD>(getpid()));
  EXPECT_EQ(seen->ExePath, Self());
  EXPECT_EQ(seen->ExeName, Self().substr(Self().rfind('/') + 1));
  EXPECT_EQ(seen->ShowWindow, 5u);
  EXPECT_NE(seen->ProcessHandle, 0);
  EXPECT_EQ(seen->ThreadHandle, 0);
  std::string line;
  seen->GetCommandLine(line);
  EXPECT_EQ(line, "\"" + Self() + "\" --pellix-child-role=wait-go");

  // The image path falls back step by step when the system refuses a query.
  platform::faults::FailNext("QueryFullProcessImageNameA", 2, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetProcessImagePath(started.Pid), Self());
  platform::faults::FailNext("QueryFullProcessImageNameA", 2, ERROR_ACCESS_DENIED);
  platform::faults::FailNext("GetModuleFileNameExA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetProcessImagePath(started.Pid), Self());

  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(started.ProcessHandle, 20000), WAIT_OBJECT_0);
  CloseHandle(go);
}

TEST_F(Processes, SnapshotPathsLoseTheirObjectManagerPrefix) {
  std::filesystem::path folder = home() / "x\\??\\";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file("/bin/sleep", folder / "sleep");
  std::filesystem::permissions(folder / "sleep", std::filesystem::perms::owner_all);
  TProcess sleeper;
  sleeper.ExePath = (folder / "sleep").string();
  sleeper.Params = "30";
  ASSERT_TRUE(sleeper.Execute());
  platform::faults::FailNext("QueryFullProcessImageNameA", 2, ERROR_ACCESS_DENIED);
  platform::faults::FailNext("GetModuleFileNameExA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetProcessImagePath(sleeper.Pid), (home() / "x" / "sleep").string());
  TerminateProcess(sleeper.ProcessHandle, 1);
  WaitForSingleObject(sleeper.ProcessHandle, 20000);
}

TEST_F(Processes, EndedAndMissingProcessesAnswerEmpty) {
  TProcess ended;
  ended.ExePath = "/bin/true";
  ASSERT_TRUE(ended.Execute());
  DWORD pid = ended.Pid;
  WaitForSingleObject(ended.ProcessHandle, 20000);
  CloseHandle(ended.ProcessHandle);  // the last handle: the process is reaped
  CloseHandle(ended.ThreadHandle);
  ended.ProcessHandle = ended.ThreadHandle = -1;
  std::string line = "junk";
  ended.GetCommandLine(line);
  EXPECT_EQ(line, "");
  std::unique_ptr<TProcess> missing = TProcess::CreateForPid(pid);
  EXPECT_EQ(missing->ParentPid, 0u);
  EXPECT_EQ(missing->ExePath, "");
  EXPECT_EQ(missing->ProcessHandle, 0);
  EXPECT_EQ(GetProcessImagePath(0x7FFFFFF0), "");

  TProcess fresh;
  EXPECT_EQ(fresh.ShowWindow, 1u);
  EXPECT_EQ(fresh.ProcessHandle, -1);
  EXPECT_EQ(fresh.ThreadHandle, -1);
}

}  // namespace
