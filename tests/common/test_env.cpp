#include "common/test_env.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "platform/base/clock.h"
#include "platform/base/faults.h"

namespace pellix_test {
namespace {

std::map<std::string, ChildRole>& Roles() {
  static std::map<std::string, ChildRole> roles;
  return roles;
}

std::string& SelfPath() {
  static std::string self;
  return self;
}

const char kRoleFlag[] = "--pellix-child-role=";

std::filesystem::path MakeUniqueFolder(const std::string& prefix) {
  std::random_device rd;
  for (;;) {
    auto path = std::filesystem::temp_directory_path() / (prefix + std::to_string(rd()));
    if (std::filesystem::create_directory(path)) {
      std::filesystem::permissions(path, std::filesystem::perms::owner_all);
      return path;
    }
  }
}

}  // namespace

TempDir::TempDir() : path_(MakeUniqueFolder("pellix-test-")) {}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::filesystem::path Fixture(const std::string& relative) {
  const char* root = std::getenv("PELLIX_FIXTURES");
  return std::filesystem::path(root ? root : "tests/fixtures") / relative;
}

bool RegisterChildRole(const std::string& name, ChildRole role) {
  Roles()[name] = std::move(role);
  return true;
}

std::vector<std::string> RoleCommand(const std::string& role, const std::vector<std::string>& args) {
  std::vector<std::string> command{SelfPath(), kRoleFlag + role};
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

namespace {

[[noreturn]] void Exec(std::vector<std::string> command) {
  std::vector<char*> argv;
  for (auto& text : command) argv.push_back(text.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

int StartCommand(const std::vector<std::string>& command) {
  pid_t pid = fork();
  if (pid == 0) Exec(command);
  return pid;
}

int StartChild(const std::string& role, const std::vector<std::string>& args) {
  return StartCommand(RoleCommand(role, args));
}

int StartOnTerminal(const std::vector<std::string>& command, int& master) {
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) Exec(command);
  return pid;
}

bool ReadUntil(int master, const std::string& text, std::string& seen) {
  constexpr int kQuietLimitMs = 30000;
  const std::size_t from = seen.size();
  while (seen.find(text, from) == std::string::npos) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, kQuietLimitMs) <= 0) return false;
    char buffer[512];
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // the other side closed (EIO)
    seen.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

int WaitChild(int pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int RunChild(const std::string& role, const std::vector<std::string>& args) {
  return WaitChild(StartChild(role, args));
}

// After every test the clock runs again and no planned failure is left over, so
// that a test program run whole gives the answers that one process per test gives.
class PlatformStateReset : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    platform::test_clock::Release();
    platform::faults::ClearAll();
  }
};

}  // namespace pellix_test

// Every test program shares this main: a child role runs and exits; otherwise the
// tests run with PELLIX_HOME pointing at a fresh folder of their own.
int main(int argc, char** argv) {
  pellix_test::SelfPath() = std::filesystem::canonical("/proc/self/exe").string();
  if (argc >= 2 && std::string(argv[1]).rfind(pellix_test::kRoleFlag, 0) == 0) {
    std::string role = std::string(argv[1]).substr(sizeof(pellix_test::kRoleFlag) - 1);
    auto found = pellix_test::Roles().find(role);
    if (found == pellix_test::Roles().end()) return 126;
    return found->second(std::vector<std::string>(argv + 2, argv + argc));
  }
  // A test never waits for someone at the terminal; its children inherit this.
  if (std::freopen("/dev/null", "r", stdin) == nullptr) return 125;
  pellix_test::TempDir home;
  setenv("PELLIX_HOME", home.path().c_str(), 1);
  // The in-process browser unless a test asks for Chromium itself.
  setenv("PELLIX_BROWSER", "in-process", 1);
  // The user's own secret store is never touched: a test that needs one starts its own.
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new pellix_test::PlatformStateReset);
  return RUN_ALL_TESTS();
}

// Fontconfig keeps its configuration for the life of the process and frees it only
// when asked to shut down, which text drawing never does; that is not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// Fontconfig, loaded by pango on a helper thread, synchronises in ways the sanitizer
// cannot see (it is not instrumented); its own races are not the program's.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libfontconfig.so.1\nrace:libfontconfig.so.1\n";
}
