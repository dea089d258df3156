#include "platform/kernel/terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <mutex>

#include "platform/base/text.h"

namespace platform::terminal {
namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

std::mutex& ConversationLock() {
  static std::mutex lock;
  return lock;
}

// The controlling terminal, open for one conversation; not usable when standard input
// is no terminal or this process is not in the terminal's foreground.
class Terminal {
 public:
  Terminal() {
    if (!::isatty(STDIN_FILENO)) return;
    fd_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ >= 0 && ::tcgetpgrp(fd_) != ::getpgrp()) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Terminal() {
    if (fd_ >= 0) ::close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool usable() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool Write(const std::string& text) const {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t wrote = ::write(fd_, text.data() + done, text.size() - done);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      done += static_cast<std::size_t>(wrote);
    }
    return true;
  }

  // One line without its end; false when the input ends (or fails) first.
  bool ReadLine(std::string& line) const {
    line.clear();
    for (;;) {
      char c = 0;
      const ssize_t got = ::read(fd_, &c, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      if (c == '\n') return true;
      if (c != '\r' && line.size() < kMaxLine) line += c;
    }
  }

  void Heading(const std::u16string& caption, const std::u16string& text) const {
    Write("\n" + WideToUtf8(caption) + "\n" + WideToUtf8(text) + "\n");
  }

 private:
  int fd_ = -1;
};

// "[Y]es" when the key is the label's first letter, else "[K] Label".
std::string KeyedLabel(const Choice& choice) {
  const std::string label = WideToUtf8(choice.Label);
  const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(choice.Key)));
  if (!label.empty() && std::toupper(static_cast<unsigned char>(label[0])) == key) {
    return "[" + std::string(1, key) + "]" + label.substr(1);
  }
  return "[" + std::string(1, key) + "] " + label;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameLetters(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The id of the choice the answer names; 0 for none.
int Chosen(const std::string& answer, const std::vector<Choice>& choices) {
  for (const Choice& choice : choices) {
    if (SameLetters(answer, std::string(1, choice.Key)) || SameLetters(answer, WideToUtf8(choice.Label))) {
      return choice.Id;
    }
  }
  return 0;
}

// The settings to put back when a signal ends the program while echo is off; written
// before the handlers are installed and read only by them.
int echoFd = -1;
termios echoSettings{};
struct sigaction previousActions[sizeof kEndingSignals / sizeof kEndingSignals[0]];

void RestoreAndEnd(int signal) {
  ::tcsetattr(echoFd, TCSANOW, &echoSettings);
  for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
    if (kEndingSignals[i] == signal) ::sigaction(signal, &previousActions[i], nullptr);
  }
  ::raise(signal);
}

// Echo off (the line end still shows) for the life of the object.
class EchoOff {
 public:
  explicit EchoOff(int fd) {
    if (::tcgetattr(fd, &echoSettings) != 0) return;
    echoFd = fd;
    struct sigaction action{};
    action.sa_handler = RestoreAndEnd;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
      ::sigaction(kEndingSignals[i], &action, &previousActions[i]);
    }
    termios quiet = echoSettings;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (echoFd < 0) return;
    ::tcsetattr(echoFd, TCSANOW, &echoSettings);
    for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
      ::sigaction(kEndingSignals[i], &previousActions[i], nullptr);
    }
    echoFd = -1;
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

  bool active() const { return active_; }

 private:
  bool active_ = false;
};

}  // namespace

bool Available() {
  std::lock_guard guard(ConversationLock());
  return Terminal().usable();
}

bool Show(const std::u16string& caption, const std::u16string& text) {
  std::lock_guard guard(ConversationLock());
  Terminal terminal;
  if (!terminal.usable()) return false;
  terminal.Heading(caption, text);
  return true;
}

int Choose(const std::u16string& caption, const std::u16string& text, const std::vector<Choice>& choices) {
  std::lock_guard guard(ConversationLock());
  Terminal terminal;
  if (!terminal.usable() || choices.empty()) return 0;
  terminal.Heading(caption, text);
  std::string prompt;
  for (const Choice& choice : choices) prompt += (prompt.empty() ? "" : " / ") + KeyedLabel(choice);
  prompt += "? ";
  for (;;) {
    std::string line;
    if (!terminal.Write(prompt) || !terminal.ReadLine(line)) return 0;
    if (const int id = Chosen(Trimmed(line), choices); id != 0) return id;
  }
}

bool ReadSecret(const std::u16string& caption, const std::u16string& text, const std::u16string& label,
                std::u16string& secret) {
  secret.clear();
  std::lock_guard guard(ConversationLock());
  Terminal terminal;
  if (!terminal.usable()) return false;
  terminal.Heading(caption, text);
  std::string line;
  {
    EchoOff quiet(terminal.fd());
    // Never read a secret that would show on the screen.
    if (!quiet.active() || !terminal.Write(WideToUtf8(label) + " ") || !terminal.ReadLine(line)) return false;
  }
  secret = Utf8ToWide(line);
  line.assign(line.size(), '\0');
  return !secret.empty();
}

}  // namespace platform::terminal
