#include "common/test_env.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

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

int StartChild(const std::string& role, const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<std::string> argv_text{SelfPath(), kRoleFlag + role};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& text : argv_text) argv.push_back(text.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
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
  pellix_test::TempDir home;
  setenv("PELLIX_HOME", home.path().c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
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
