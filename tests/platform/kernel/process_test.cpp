#include "platform/kernel/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/kernel/command_line.h"
#include "platform/kernel/fresh_home.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/named_objects.h"
#include "platform/kernel/version.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsByThePlatformsRules) {
  struct Case {
    const char* line;
    Args arguments;
  };
  const Case cases[] = {
      {R"("C:\Program Files\Pellix\pellix.exe" /help topic)", {R"(C:\Program Files\Pellix\pellix.exe)", "/help", "topic"}},
      {R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
      {R"(prog "a\\\\" b)", {"prog", R"(a\\)", "b"}},
      {R"(prog a\\b\c)", {"prog", R"(a\\b\c)"}},
      {R"(prog "a""b" c)", {"prog", R"(a"b)", "c"}},
      {R"(prog "" x)", {"prog", "", "x"}},
      {"  prog \t a   b  ", {"prog", "a", "b"}},
      {R"(prog "open to the end)", {"prog", "open to the end"}},
      {R"(prog a"b c"d)", {"prog", "ab cd"}},
      // Backslashes in the program name are plain, even before its closing quote.
      {R"("C:\dir\"x y)", {R"(C:\dir\)", "x", "y"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::SplitCommandLine(c.line), c.arguments) << c.line;
}

TEST(CommandLine, QuotedArgumentsSplitBackUnchanged) {
  const Args arguments = {"/opt/pellix app/pellix", "plain", "", "two words", R"(quote"inside)", R"(ends\)",
                          R"(ends with space\ )", R"(\\"mixed\" \\)", "tab\there"};
  std::string line = platform::JoinCommandLine(arguments);
  EXPECT_EQ(platform::SplitCommandLine(line), arguments) << line;
  EXPECT_EQ(platform::QuoteArgument("plain"), "plain");
  EXPECT_EQ(platform::QuoteArgument(""), "\"\"");
}

const bool kEchoArguments = pellix_test::RegisterChildRole("expect-arguments", [](const Args& args) {
  // The first argument is the exit code to give when the rest reads "a", "b c", "d\"e", "f\\".
  Args expected = {"a", "b c", "d\"e", "f\\"};
  Args rest(args.begin() + 1, args.end());
  return rest == expected ? std::stoi(args.at(0)) : 1;
});

const bool kWaitForEvent = pellix_test::RegisterChildRole("wait-for-event", [](const Args& args) {
  HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, args.at(0).c_str());
  return event && WaitForSingleObject(event, 20000) == WAIT_OBJECT_0 ? 7 : 1;
});

std::string Self() { return std::filesystem::canonical("/proc/self/exe").string(); }

struct Started {
  PROCESS_INFORMATION info{};
  BOOL ok = FALSE;
  DWORD error = 0;
};

Started Start(std::string line, DWORD flags = CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = 1;
  Started started;
  started.ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                              &started.info);
  started.error = GetLastError();
  return started;
}

std::string CommandLineOf(HANDLE process) {
  ULONG needed = 0;
  if (NtQueryInformationProcess(process, ProcessCommandLineInformation, nullptr, 0, &needed) !=
      STATUS_INFO_LENGTH_MISMATCH) {
    return "?";
  }
  std::vector<char> buffer(needed);
  if (NtQueryInformationProcess(process, ProcessCommandLineInformation, buffer.data(), needed, &needed) !=
      STATUS_SUCCESS) {
    return "?";
  }
  const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  return platform::WideToAnsi(std::u16string_view(text->Buffer, text->Length / 2));
}

using Processes = FreshHome;

TEST_F(Processes, StartedProgramGetsItsArgumentsAndExitCode) {
  std::string line = "\"" + Self() + "\" --pellix-child-role=expect-arguments 5 a \"b c\" d\\\"e f\\";
  Started started = Start(line);
  ASSERT_TRUE(started.ok) << started.error;
  EXPECT_EQ(started.info.dwThreadId, started.info.dwProcessId);
  EXPECT_EQ(WaitForSingleObject(started.info.hProcess, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(started.info.hThread, 0), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &code));
  EXPECT_EQ(code, 5u);
  CloseHandle(started.info.hThread);
  CloseHandle(started.info.hProcess);
}

TEST_F(Processes, RunningProcessIsDescribedFromOutside) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "go");
  std::string line = "\"" + Self() + "\" --pellix-child-role=wait-for-event go";
  Started started = Start(line);
  ASSERT_TRUE(started.ok) << started.error;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, started.info.dwProcessId);
  ASSERT_NE(process, 0);
  // The command line reads back exactly as given, quotes included.
  EXPECT_EQ(CommandLineOf(process), line);
  char path[4096];
  DWORD size = sizeof path;
  ASSERT_TRUE(QueryFullProcessImageNameA(process, 0, path, &size));
  EXPECT_EQ(std::string(path), Self());
  EXPECT_EQ(size, Self().size());
  EXPECT_EQ(GetModuleFileNameExA(process, 0, path, sizeof path), Self().size());
  char tiny[4];
  EXPECT_EQ(GetModuleFileNameExA(process, 0, tiny, sizeof tiny), 3u);
  EXPECT_EQ(std::string(tiny), Self().substr(0, 3));
  PROCESS_BASIC_INFORMATION basic{};
  ULONG length = 0;
  ASSERT_EQ(NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length), STATUS_SUCCESS);
  EXPECT_EQ(basic.UniqueProcessId, started.info.dwProcessId);
  EXPECT_EQ(basic.InheritedFromUniqueProcessId, GetCurrentProcessId());
  EXPECT_EQ(NtQueryInformationProcess(process, ProcessBasicInformation, &basic, 8, &length),
            STATUS_INFO_LENGTH_MISMATCH);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);

  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &code));
  EXPECT_EQ(code, 7u);
  // A process this one did not start gives no exit code once ended.
  EXPECT_FALSE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  for (HANDLE handle : {process, started.info.hProcess, started.info.hThread, go}) CloseHandle(handle);
}

TEST_F(Processes, TerminatedProcessEndsWithTheGivenCode) {
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, "never");
  Started started = Start("\"" + Self() + "\" --pellix-child-role=wait-for-event never");
  ASSERT_TRUE(started.ok);
  EXPECT_TRUE(TerminateProcess(started.info.hProcess, 99));
  EXPECT_EQ(WaitForSingleObject(started.info.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(started.info.hProcess, &code));
  EXPECT_EQ(code, 99u);
  CloseHandle(never);
  CloseHandle(started.info.hThread);
  CloseHandle(started.info.hProcess);
}

TEST_F(Processes, StartFailuresAnswerTheirCodes) {
  std::filesystem::path plain = home() / "not-a-program";
  std::ofstream(plain) << "text";
  ::chmod(plain.c_str(), 0600);
  struct Case {
    std::string line;
    DWORD flags;
    DWORD error;
  };
  const Case cases[] = {
      {"\"" + (home() / "missing").string() + "\" /x", 0, ERROR_FILE_NOT_FOUND},
      {"pellix-no-such-program-on-path", 0, ERROR_FILE_NOT_FOUND},
      {"\"" + plain.string() + "\"", 0, ERROR_ACCESS_DENIED},
      {"\"" + Self() + "\"", CREATE_SUSPENDED, ERROR_NOT_SUPPORTED},
  };
  for (const Case& c : cases) {
    Started started = Start(c.line, c.flags);
    EXPECT_FALSE(started.ok) << c.line;
    EXPECT_EQ(started.error, c.error) << c.line;
  }
}

TEST_F(Processes, ChildrenLeftRunningAreReapedWhenTheyEnd) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "go");
  Started started = Start("\"" + Self() + "\" --pellix-child-role=wait-for-event go");
  ASSERT_TRUE(started.ok);
  DWORD pid = started.info.dwProcessId;
  CloseHandle(started.info.hThread);
  CloseHandle(started.info.hProcess);
  HANDLE watcher = OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(watcher, 0);
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(watcher, 20000), WAIT_OBJECT_0);
  CloseHandle(watcher);
  // Reaped: the id names no process, not even an ended one.
  // The reaper runs on its own thread: on a loaded machine give it as long as the wait.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (platform::ProcessParentId(pid) != 0 && std::chrono::steady_clock::now() < deadline) usleep(1000);
  EXPECT_EQ(platform::ProcessParentId(pid), 0u);
  CloseHandle(go);
}

TEST(Process, OwnProcessAndMissingProcesses) {
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  char path[4096];
  EXPECT_EQ(GetModuleFileNameA(0, path, sizeof path), Self().size());
  EXPECT_EQ(std::string(path), Self());
  EXPECT_EQ(std::filesystem::canonical(platform::SplitCommandLine(GetCommandLineA()).at(0)).string(), Self());
  SetLastError(0);
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0x7FFFFFF0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::ProcessStartTime(0x7FFFFFF0), 0u);
  EXPECT_EQ(platform::ProcessParentId(GetCurrentProcessId()), static_cast<DWORD>(getppid()));
}

TEST(Version, AnswersTheConfiguredSystem) {
  platform::ReportedVersion saved = platform::GetReportedVersion();
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.dwMajorVersion, 6u);
  EXPECT_EQ(info.wProductType, VER_NT_WORKSTATION);

  platform::ReportedVersion me;
  me.platformId = VER_PLATFORM_WIN32_WINDOWS;
  me.major = 4;
  me.minor = 90;
  me.servicePack = "";
  platform::SetReportedVersion(me);
  OSVERSIONINFOA plain{};
  plain.dwOSVersionInfoSize = sizeof plain;
  ASSERT_TRUE(GetVersionExA(&plain));
  EXPECT_EQ(plain.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(plain.dwMinorVersion, 90u);
  plain.dwOSVersionInfoSize = 20;
  EXPECT_FALSE(GetVersionExA(&plain));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  platform::SetReportedVersion(saved);
}

TEST(Modules, EntryPointsAreFoundByName) {
  HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
  ASSERT_NE(advapi, 0u);
  EXPECT_NE(GetProcAddress(advapi, "AddMandatoryAce"), nullptr);
  EXPECT_EQ(GetProcAddress(advapi, "NoSuchCall"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_NE(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA"), nullptr);
  EXPECT_EQ(GetModuleHandleA("nosuch.dll"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
