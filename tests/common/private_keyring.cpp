#include "common/private_keyring.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace pellix_test {
namespace {

constexpr char kKeyringPassword[] = "private keyring password";

bool OnPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    if (access((folders.substr(start, end - start) + "/" + tool).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Starts Argv with stdin from InFd and stdout to OutFd (-1: /dev/null for both).
pid_t Spawn(const std::vector<std::string>& args, int inFd, int outFd) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int null = open("/dev/null", O_RDWR);
  dup2(inFd >= 0 ? inFd : null, 0);
  dup2(outFd >= 0 ? outFd : null, 1);
  dup2(null, 2);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void StopProcess(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

// The bus's address, the first line dbus-daemon prints; empty after a few seconds.
std::string ReadAddress(int fd) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  char c = 0;
  fcntl(fd, F_SETFL, O_NONBLOCK);
  while (std::chrono::steady_clock::now() < deadline) {
    const ssize_t got = read(fd, &c, 1);
    if (got == 1) {
      if (c == '\n') return text;
      text += c;
    } else if (got == 0) {
      return {};
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return {};
}

// Whole output of a short command; empty when it could not run.
std::string Output(const std::vector<std::string>& args) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  const pid_t pid = Spawn(args, -1, out[1]);
  close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
  close(out[0]);
  waitpid(pid, nullptr, 0);
  return text;
}

// True once the keyring owns the secret service's name on the bus (or it could not
// say within ten seconds: false).
bool WaitForSecretService() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string answer =
        Output({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"});
    if (answer.find("boolean true") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

std::string PrivateKeyring::MissingTools() {
  std::string missing;
  for (const char* tool : {"dbus-daemon", "dbus-send", "gnome-keyring-daemon"}) {
    if (!OnPath(tool)) missing += std::string(missing.empty() ? "" : ", ") + tool;
  }
  return missing;
}

bool PrivateKeyring::Start(std::string& why) {
  folder_ = std::make_unique<TempDir>();
  const std::string home = folder_->path().string();
  for (const char* name : {"XDG_RUNTIME_DIR", "XDG_DATA_HOME", "DBUS_SESSION_BUS_ADDRESS"}) {
    const char* value = std::getenv(name);
    savedEnvironment_.emplace_back(name, value != nullptr, value ? value : "");
  }
  // The keyring keeps its files and its control socket in the private folder.
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
  int address[2];
  if (pipe2(address, O_CLOEXEC) != 0) {
    why = "no pipe";
    return false;
  }
  bus_ = Spawn({"dbus-daemon", "--session", "--nofork", "--nosyslog", "--print-address=1",
                "--address=unix:dir=" + home},
               -1, address[1]);
  close(address[1]);
  const std::string busAddress = ReadAddress(address[0]);
  close(address[0]);
  if (busAddress.empty()) {
    why = "dbus-daemon gave no address";
    return false;
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
  int password[2];
  if (pipe2(password, O_CLOEXEC) != 0) {
    why = "no pipe";
    return false;
  }
  keyring_ = Spawn({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"}, password[0], -1);
  close(password[0]);
  const std::string secret = kKeyringPassword;
  const bool told = write(password[1], secret.data(), secret.size()) == static_cast<ssize_t>(secret.size());
  close(password[1]);
  if (!told) {
    why = "gnome-keyring-daemon took no password";
    return false;
  }
  if (!WaitForSecretService()) {
    why = "gnome-keyring-daemon did not take the secret service's name";
    return false;
  }
  return true;
}

void PrivateKeyring::Stop() {
  StopProcess(keyring_);
  StopProcess(bus_);
}

PrivateKeyring::~PrivateKeyring() {
  Stop();
  for (const auto& [name, had, value] : savedEnvironment_) {
    if (had) {
      setenv(name.c_str(), value.c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
}

}  // namespace pellix_test
