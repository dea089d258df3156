#include "platform/win/session_end.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <thread>

#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace platform::win {
namespace {

constexpr int kSessionSignals[] = {SIGTERM, SIGHUP};

// Written by the signal handler, read by the thread that tells the windows.
int signalPipe[2] = {-1, -1};

void OnSessionSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  if (::write(signalPipe[1], &number, 1) < 0) {
    // Nothing can be told: the signal ends the process as it would have.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
  errno = saved;
}

void TellWindows() {
  for (;;) {
    unsigned char number = 0;
    const ssize_t got = ::read(signalPipe[0], &number, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    bool told = false;
    for (HWND window : detail::TopLevelWindows()) told = PostMessageW(window, WM_ENDSESSION, TRUE, 0) || told;
    if (!told) {
      ::signal(number, SIG_DFL);
      ::raise(number);
    }
  }
}

}  // namespace

void EndSessionOnSignals() {
  static std::once_flag started;
  std::call_once(started, [] {
    if (::pipe2(signalPipe, O_CLOEXEC) != 0) return;
    // The thread lives as long as the process.
    std::thread(TellWindows).detach();
    struct sigaction action{};
    action.sa_handler = OnSessionSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSessionSignals) ::sigaction(signal, &action, nullptr);
  });
}

}  // namespace platform::win
