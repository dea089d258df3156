// Runs the program itself (the built `pellix`, not this test program) as a child, the
// way a user starts it, each test on a fresh state root of its own.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/test_env.h"
#include "platform/base/file_lock.h"
#include "platform/kernel/fresh_home.h"
#include "support/program_paths.h"

namespace program_run {

// How the program is started: in a folder, with its standard error into a file, as
// another user.
struct Start {
  std::vector<std::string> args;
  std::filesystem::path folder;
  std::filesystem::path errors;
  std::optional<uid_t> user;
};

inline int StartProgram(const Start& start) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (!start.folder.empty() && chdir(start.folder.c_str()) != 0) _exit(125);
  if (!start.errors.empty()) {
    const int fd = open(start.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(125);
  }
  if (start.user && (setgroups(0, nullptr) != 0 || setgid(*start.user) != 0 || setuid(*start.user) != 0)) _exit(125);
  std::vector<std::string> command{PELLIX_PROGRAM};
  command.insert(command.end(), start.args.begin(), start.args.end());
  std::vector<char*> argv;
  for (auto& text : command) argv.push_back(text.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

inline int StartProgram(const std::vector<std::string>& args = {}) { return StartProgram(Start{args, {}, {}, {}}); }

// Polls (bounded) until the condition holds; the bound (two minutes, for a machine
// under heavy load) only guards against a hang.
template <typename F>
bool Eventually(F condition) {
  for (int i = 0; i < 2400; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

// The exit code of a child that must end by itself; one that is still running after a
// long while (a guard against hangs) is killed and answers -1.
inline int WaitEnd(int pid) {
  int status = 0;
  if (!Eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

inline int RunProgram(const Start& start) { return WaitEnd(StartProgram(start)); }
inline int RunProgram(const std::vector<std::string>& args) { return RunProgram(Start{args, {}, {}, {}}); }

// A fresh state root for each test, given back afterwards.
using ProgramTest = FreshHome;

// Installing and uninstalling write and delete a file beside the program (the browser
// button's icon), and every test process of one test program shares that folder: a
// test that does either holds this lock for its whole run, so that another's uninstall
// cannot delete what it has just written.
class ProgramFolderLock {
 public:
  ProgramFolderLock() : lock_(std::filesystem::path(ProgramFolder()) / "install-tests.lock") { lock_.lock(); }
  ~ProgramFolderLock() { lock_.unlock(); }
  ProgramFolderLock(const ProgramFolderLock&) = delete;
  ProgramFolderLock& operator=(const ProgramFolderLock&) = delete;

 private:
  platform::FileLock lock_;
};

}  // namespace program_run
