#include "platform/win/remote_windows.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/state_root.h"
#include "platform/base/text.h"
#include "platform/kernel/process.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

// Most system messages carry pointers into their sender's memory, so they cannot
// cross to another process; those that carry none can, as on the platform.
bool CrossesProcesses(UINT message) { return message >= WM_USER || message == WM_NULL || message == WM_CLOSE; }

constexpr int kAnswerTimeoutMs = 500;
constexpr std::size_t kMaxCopyData = 1 << 20;

struct Remote {
  int pid;
  HWND window;  // the handle in the other process
};

struct Proxies {
  std::mutex lock;
  std::map<HWND, Remote> byHandle;
  HWND next = platform::win::detail::kFirstRemoteHandle;
};

// Never freed: the listener thread may still use it while the process ends.
Proxies& Known() {
  static Proxies* proxies = new Proxies;
  return *proxies;
}

std::filesystem::path Folder() { return platform::StateFolder("windows"); }

std::filesystem::path SocketOf(int pid) { return Folder() / (std::to_string(pid) + ".sock"); }

bool Address(const std::filesystem::path& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.native().size() >= sizeof address.sun_path) return false;
  std::strcpy(address.sun_path, path.c_str());
  return true;
}

// Reads until the peer closes or `size` bytes came, waiting at most the time-out.
bool ReadAll(int fd, std::string& out, std::size_t size, int timeoutMs) {
  while (out.size() < size) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, size - out.size()));
    if (got <= 0) return got == 0;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

bool ReadLine(int fd, std::string& line, int timeoutMs) {
  line.clear();
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char c;
    if (::read(fd, &c, 1) != 1) return false;
    if (c == '\n') return true;
    line += c;
    if (line.size() > 4096) return false;
  }
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t wrote = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// Names travel as hexadecimal UTF-8, "-" for none, so that any text fits a line.
std::string Encode(const char16_t* text) {
  if (text == nullptr) return "-";
  std::string utf8 = platform::WideToUtf8(text);
  std::string hex = "x";
  char digits[3];
  for (unsigned char c : utf8) {
    std::snprintf(digits, sizeof digits, "%02x", c);
    hex += digits;
  }
  return hex;
}

bool Decode(const std::string& field, std::u16string& text, bool& present) {
  present = field != "-";
  if (!present) return true;
  if (field.empty() || field[0] != 'x' || field.size() % 2 != 1) return false;
  std::string utf8;
  for (std::size_t i = 1; i < field.size(); i += 2) utf8 += static_cast<char>(std::stoi(field.substr(i, 2), nullptr, 16));
  text = platform::Utf8ToWide(utf8);
  return true;
}

// A top-level window of this process that other processes may address.
bool IsOwnTopLevel(HWND window) {
  return IsWindow(window) && GetAncestor(window, GA_ROOT) == window && !platform::win::detail::IsRemoteHandle(window);
}

// The answer to a request, without its line end; empty when the answer was written
// already.
std::string Answer(const std::string& request, int fd) {
  std::istringstream in(request);
  std::string verb;
  in >> verb;
  if (verb == "FIND") {
    std::string classField, nameField;
    in >> classField >> nameField;
    std::u16string className, windowName;
    bool hasClass = false, hasName = false;
    if (!Decode(classField, className, hasClass) || !Decode(nameField, windowName, hasName)) return "0";
    // Only this process's own windows: asking on would send two processes asking
    // each other round in circles.
    HWND found = platform::win::detail::FindLocalTopLevel(hasClass ? platform::UpperCase(className) : std::u16string(),
                                                           hasName ? windowName.c_str() : nullptr);
    return std::to_string(found);
  }
  if (verb == "BROADCAST") {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    in >> message >> wParam >> lParam;
    if (message < MAXINTATOM) return "0";  // only registered messages come from outside
    // To this process's windows only: passing it on would send it round for ever.
    for (HWND top : platform::win::detail::TopLevelWindows()) PostMessageW(top, message, wParam, lParam);
    return "1";
  }
  HWND window = 0;
  in >> window;
  if (!IsOwnTopLevel(window)) return "0";
  if (verb == "ISWINDOW") return "1";
  if (verb == "POST") {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    in >> message >> wParam >> lParam;
    if (!CrossesProcesses(message)) return "0";
    // The answer is written before the window can take the message: a receiver that
    // ends on it must not leave the sender thinking that it failed.
    auto answer = [fd] { WriteAll(fd, "1\n"); };
    return platform::win::detail::PostThen(window, message, wParam, lParam, answer) ? "" : "0";
  }
  if (verb == "COPYDATA") {
    HWND from = 0;
    ULONG_PTR tag = 0;
    std::size_t size = 0;
    UINT timeout = 0;
    in >> from >> tag >> size >> timeout;
    std::string data;
    if (size > kMaxCopyData || !ReadAll(fd, data, size, kAnswerTimeoutMs) || data.size() != size) return "0 0";
    COPYDATASTRUCT copy{tag, static_cast<DWORD>(size), data.data()};
    DWORD_PTR result = 0;
    BOOL answered = SendMessageTimeoutW(window, WM_COPYDATA, from, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL,
                                        timeout, &result);
    return std::string(answered ? "1 " : "0 ") + std::to_string(result);
  }
  return "0";
}

void Serve(int listener) {
  for (;;) {
    int client = ::accept(listener, nullptr, nullptr);
    if (client < 0) continue;
    std::string request;
    if (ReadLine(client, request, kAnswerTimeoutMs)) {
      std::string answer = Answer(request, client);
      if (!answer.empty()) WriteAll(client, answer + "\n");
    }
    ::close(client);
  }
}

// One request to another process's socket; false when it does not answer.
bool Ask(int pid, const std::string& request, const std::string& payload, std::string& answer, int timeoutMs) {
  sockaddr_un address;
  if (!Address(SocketOf(pid), address)) return false;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  const int connectError = connected ? 0 : errno;  // read at once: later calls may leave their own
  const bool ok = connected && WriteAll(fd, request + "\n" + payload) && ReadLine(fd, answer, timeoutMs);
  ::close(fd);
  // A socket nobody listens on any more is left from a process that ended (a live one
  // appears only once it listens); one that was slow to answer stays.
  if (connectError == ECONNREFUSED) {
    std::error_code ignored;
    std::filesystem::remove(SocketOf(pid), ignored);
  }
  return ok;
}

// The processes of the user, other than this one, that answer for their windows.
std::vector<int> OtherProcesses() {
  std::vector<int> pids;
  auto folder = Folder();
  if (folder.empty()) return pids;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".sock") continue;
    int pid = std::atoi(entry.path().stem().c_str());
    if (pid > 0 && pid != ::getpid()) pids.push_back(pid);
  }
  return pids;
}

bool Lookup(HWND proxy, Remote& remote) {
  std::lock_guard guard(Known().lock);
  auto found = Known().byHandle.find(proxy);
  if (found == Known().byHandle.end()) return false;
  remote = found->second;
  return true;
}

HWND ProxyFor(const Remote& remote) {
  std::lock_guard guard(Known().lock);
  for (const auto& [handle, known] : Known().byHandle) {
    if (known.pid == remote.pid && known.window == remote.window) return handle;
  }
  HWND handle = Known().next++;
  Known().byHandle.emplace(handle, remote);
  return handle;
}

// What other processes would find of this one once it has ended.
void RemoveOwnSocket() {
  if (platform::StateRootExists()) ::unlink(SocketOf(::getpid()).c_str());
}

// Sockets left by processes that were killed: asking removes one nobody listens on.
void RemoveStaleSockets() {
  for (int pid : OtherProcesses()) {
    std::string answer;
    Ask(pid, "ISWINDOW 0", "", answer, kAnswerTimeoutMs);
  }
}

}  // namespace

namespace platform::win::detail {

bool IsRemoteHandle(HWND window) { return window >= kFirstRemoteHandle && window < HWND_NOTOPMOST; }

void StartRemoteListener() {
  static std::once_flag started;
  std::call_once(started, [] {
    auto folder = Folder();
    if (folder.empty()) return;
    auto path = SocketOf(::getpid());
    sockaddr_un address;
    if (!Address(path, address)) return;
    // The socket is bound under another name and appears under its own only once it
    // listens: another process that finds it and is refused may take it for a socket
    // left from a process that ended, and remove it.
    std::filesystem::path building = path;
    building += ".new";
    sockaddr_un buildingAddress;
    if (!Address(building, buildingAddress)) return;
    std::error_code ignored;
    std::filesystem::remove(building, ignored);
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&buildingAddress), sizeof buildingAddress) != 0 ||
        ::listen(listener, 16) != 0 || ::chmod(building.c_str(), 0600) != 0 ||
        ::rename(building.c_str(), path.c_str()) != 0) {
      ::close(listener);
      std::filesystem::remove(building, ignored);
      return;
    }
    platform::AtProcessEnd(RemoveOwnSocket);
    RemoveStaleSockets();
    // The listener lives as long as the process.
    std::thread(Serve, listener).detach();
  });
}

HWND FindRemoteWindow(const std::u16string& classKey, const char16_t* windowName) {
  std::string request = "FIND " + Encode(classKey.empty() ? nullptr : classKey.c_str()) + " " + Encode(windowName);
  for (int pid : OtherProcesses()) {
    std::string answer;
    if (!Ask(pid, request, "", answer, kAnswerTimeoutMs)) continue;
    HWND found = static_cast<HWND>(std::strtoul(answer.c_str(), nullptr, 10));
    if (found != 0) return ProxyFor(Remote{pid, found});
  }
  return 0;
}

BOOL PostRemote(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Remote remote;
  std::string answer;
  if (!CrossesProcesses(message)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!Lookup(window, remote) ||
      !Ask(remote.pid, "POST " + std::to_string(remote.window) + " " + std::to_string(message) + " " +
                           std::to_string(wParam) + " " + std::to_string(lParam),
           "", answer, kAnswerTimeoutMs) ||
      answer != "1") {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

bool SendRemoteCopyData(HWND window, HWND from, const COPYDATASTRUCT* data, UINT timeout, LRESULT& result) {
  result = 0;
  Remote remote;
  if (data == nullptr || data->cbData > kMaxCopyData || !Lookup(window, remote)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::string payload(static_cast<const char*>(data->lpData), data->cbData);
  std::string answer;
  std::string request = "COPYDATA " + std::to_string(remote.window) + " " + std::to_string(from) + " " +
                        std::to_string(data->dwData) + " " + std::to_string(data->cbData) + " " + std::to_string(timeout);
  if (!Ask(remote.pid, request, payload, answer, static_cast<int>(timeout) + kAnswerTimeoutMs) ||
      answer.rfind("1 ", 0) != 0) {
    SetLastError(ERROR_TIMEOUT);
    return false;
  }
  result = static_cast<LRESULT>(std::strtoll(answer.c_str() + 2, nullptr, 10));
  return true;
}

void BroadcastRemote(UINT message, WPARAM wParam, LPARAM lParam) {
  std::string request = "BROADCAST " + std::to_string(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam);
  for (int pid : OtherProcesses()) {
    std::string answer;
    Ask(pid, request, "", answer, kAnswerTimeoutMs);
  }
}

bool IsRemoteWindow(HWND window) {
  Remote remote;
  std::string answer;
  return Lookup(window, remote) &&
         Ask(remote.pid, "ISWINDOW " + std::to_string(remote.window), "", answer, kAnswerTimeoutMs) && answer == "1";
}

}  // namespace platform::win::detail
