#include "platform/shell/shell_execute.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/base/text.h"

extern char** environ;

namespace {

constexpr HINSTANCE kSuccess = 42;

std::mutex openerLock;
std::string opener = "xdg-open";
std::function<bool(const std::string&)> webOpener;

std::string Native(const char* name) {
  std::string path = platform::AnsiToUtf8(name != nullptr ? name : "");
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// "scheme:" with a scheme of two or more letters, digits, "+", "-" or "."; one letter
// would be a drive.
bool IsAddress(const std::string& name) {
  std::size_t colon = name.find(':');
  if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    char c = name[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

bool IsWebAddress(const std::string& name) {
  const std::string lower = platform::AnsiLowerCase(name);
  return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

// Parameters split at blanks; double quotes keep blanks inside one argument.
std::vector<std::string> SplitParameters(const std::string& text) {
  std::vector<std::string> arguments;
  std::string current;
  bool quoted = false, any = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) arguments.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) arguments.push_back(current);
  return arguments;
}

// Starts the program; its id, or -1 when it could not start.
pid_t Start(const std::vector<std::string>& arguments, const std::string& directory) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  pid_t child = 0;
  int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return started == 0 ? child : -1;
}

int WaitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND /*owner*/, const char* operation, const char* file, const char* parameters,
                        const char* directory, INT /*showCommand*/) {
  if (operation != nullptr && *operation != 0 && platform::AnsiLowerCase(operation) != "open") return SE_ERR_NOASSOC;
  std::string target = IsAddress(file != nullptr ? file : "") ? std::string(file) : Native(file);
  std::string folder = Native(directory);
  std::vector<std::string> arguments;
  if (IsWebAddress(target)) {
    std::function<bool(const std::string&)> browser;
    {
      std::lock_guard guard(openerLock);
      browser = webOpener;
    }
    if (browser) return browser(target) ? kSuccess : SE_ERR_NOASSOC;
  }
  if (!IsAddress(target)) {
    struct stat info {};
    if (target.empty() || stat(target.c_str(), &info) != 0) return SE_ERR_FNF;
    if (S_ISREG(info.st_mode) && access(target.c_str(), X_OK) == 0) {
      arguments.push_back(target);
      for (std::string& argument : SplitParameters(parameters != nullptr ? parameters : "")) {
        arguments.push_back(std::move(argument));
      }
      // A program runs on its own; a thread only collects its end.
      pid_t child = Start(arguments, folder);
      if (child == -1) return SE_ERR_ACCESSDENIED;
      std::thread([child] { WaitFor(child); }).detach();
      return kSuccess;
    }
  }
  {
    std::lock_guard guard(openerLock);
    arguments = {opener, target};
  }
  // The opener is waited for: its answer tells whether anything could open the name.
  pid_t child = Start(arguments, folder);
  return child != -1 && WaitFor(child) == 0 ? kSuccess : SE_ERR_NOASSOC;
}

namespace platform {

void SetShellOpener(const std::string& program) {
  std::lock_guard guard(openerLock);
  opener = program.empty() ? "xdg-open" : program;
}

void SetWebOpener(std::function<bool(const std::string& address)> open) {
  std::lock_guard guard(openerLock);
  webOpener = std::move(open);
}

}  // namespace platform
