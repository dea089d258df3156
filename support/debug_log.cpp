#include "support/debug_log.h"

#include <deque>
#include <list>
#include <mutex>

#include "platform/base/clock.h"
#include "platform/kernel/debug_output.h"
#include "platform/kernel/process.h"
#include "platform/kernel/registry.h"
#include "platform/kernel/threads.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"
#include "support/process_version.h"
#include "support/registry_access.h"

namespace {

constexpr std::size_t kPieceLength = 500;
constexpr UINT kViewerTimeout = 100;
const char* const kSettingsKey = "SOFTWARE\\RD";

enum class TOutputMode { DebugOutput, ViewerWindow };

struct TThreadData {
  DWORD ThreadId;
  std::deque<std::string> Lines;
};

struct LogState {
  bool LogEnabled = false;
  bool WithThreadIds = true;
  TOutputMode OutputMode = TOutputMode::DebugOutput;
  HWND ViewerWnd = 0;
  HWND DesktopWnd = 0;
  LONGLONG PerfFrequency = 0;
  bool CacheActive = false;
  // Each thread appends to its own queue, but the list of queues is shared.
  std::mutex queuesLock;
  std::list<TThreadData> queues;
};

LogState& State() {
  static LogState state;
  return state;
}

void ReadSettings(LogState& state) {
  state.LogEnabled = false;
  state.OutputMode = TOutputMode::DebugOutput;
  state.ViewerWnd = 0;
  HKEY root = RegKeyExists(HKEY_CURRENT_USER, kSettingsKey)    ? HKEY_CURRENT_USER
              : RegKeyExists(HKEY_LOCAL_MACHINE, kSettingsKey) ? HKEY_LOCAL_MACHINE
                                                               : 0;
  if (root != 0) {
    state.LogEnabled = RegValueExists(root, kSettingsKey, "VERSION");
    DWORD value = 0;
    if (RegReadDWord(root, kSettingsKey, "windowHandle", value) && IsWindow(static_cast<HWND>(value))) {
      state.ViewerWnd = static_cast<HWND>(value);
    }
    if (RegReadDWord(root, kSettingsKey, "messageLog", value) && value == 1) {
      state.OutputMode = TOutputMode::ViewerWindow;
    }
  }
  state.DesktopWnd = GetDesktopWindow();
  LARGE_INTEGER frequency{0};
  state.PerfFrequency = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

LogState& Settings() {
  static bool read = [] {
    ReadSettings(State());
    return true;
  }();
  (void)read;
  return State();
}

std::string Milliseconds(const LogState& state) {
  if (state.PerfFrequency == 0) return "0";
  LARGE_INTEGER counter{0};
  QueryPerformanceCounter(&counter);
  return std::to_string(counter.QuadPart * 1000 / state.PerfFrequency);
}

DWORD DesktopNumber(const LogState& state, const char* name) {
  return static_cast<DWORD>(GetPropA(state.DesktopWnd, name));
}

void Deliver(const LogState& state, const std::string& line) {
  if (state.OutputMode == TOutputMode::DebugOutput) {
    OutputDebugStringA(line.c_str());
    return;
  }
  HWND target = static_cast<HWND>(DesktopNumber(state, "RD2WINDOWHANDLE"));
  if (target == 0) target = state.ViewerWnd;
  if (!IsWindow(target)) return;
  std::string text = "*P " + std::to_string(GetCurrentProcessId()) + ", " + line + " ";
  COPYDATASTRUCT data{0, static_cast<DWORD>(text.size() + 1), text.data()};
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kViewerTimeout,
                      &answer);
}

std::deque<std::string>& QueueOfThisThread(LogState& state) {
  DWORD thread = GetCurrentThreadId();
  for (TThreadData& queue : state.queues) {
    if (queue.ThreadId == thread) return queue.Lines;
  }
  return state.queues.push_back(TThreadData{thread, {}}), state.queues.back().Lines;
}

void SendLine(LogState& state, const std::string& text) {
  if (state.DesktopWnd == 0) return;
  DWORD counter = DesktopNumber(state, "RD2CACHECOUNTER") + 1;
  SetPropA(state.DesktopWnd, "RD2CACHECOUNTER", static_cast<HANDLE>(counter));
  std::string line = "*c " + std::to_string(counter) + "," + text;
  if (DesktopNumber(state, "RD2CACHELOG") == 1) {
    std::lock_guard guard(state.queuesLock);
    state.CacheActive = true;
    QueueOfThisThread(state).push_back("*a " + Milliseconds(state) + "," + line);
    return;
  }
  std::deque<std::string> held;
  {
    std::lock_guard guard(state.queuesLock);
    if (state.CacheActive) {
      held.swap(QueueOfThisThread(state));
      state.CacheActive = false;
    }
  }
  for (const std::string& queued : held) Deliver(state, queued);
  Deliver(state, "*a " + Milliseconds(state) + "," + line);
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string Trim(const std::string& text) {
  std::size_t start = 0, end = text.size();
  while (start < end && IsBlankOrControl(text[start])) ++start;
  while (end > start && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(start, end - start);
}

// Sends text in pieces of 500 characters, each after the prefix.
template <typename Send>
void InPieces(const std::string& prefix, const std::string& text, Send send) {
  if (text.size() < kPieceLength) {
    send(prefix + text);
    return;
  }
  std::string rest = text;
  while (!rest.empty()) {
    send(prefix + rest.substr(0, kPieceLength));
    rest = Trim(rest.size() > kPieceLength ? rest.substr(kPieceLength) : std::string());
  }
}

}  // namespace

void InitDebugLog() { ReadSettings(Settings()); }

void WriteLog(int category, const std::string& text, bool withThread) {
  if (!IsNT) {
    OutputDebugStringA(text.c_str());
    return;
  }
  LogState& state = Settings();
  std::string prefix = "*L " + std::to_string(category) + ", ";
  if (withThread) prefix += "*T " + std::to_string(GetCurrentThreadId()) + ", ";
  if (!state.LogEnabled) return;
  InPieces(prefix, text, [&](const std::string& line) { SendLine(state, line); });
}

void LogMessage(const std::string& text) {
  if (Settings().LogEnabled) WriteLog(0, text, Settings().WithThreadIds);
}

void LogError(const std::string& text) {
  if (Settings().LogEnabled) WriteLog(2, text, Settings().WithThreadIds);
}

void LogProcessInfo() {
  std::unique_ptr<TProcess> self = TProcess::CreateForPid(GetCurrentProcessId());
  if (!self) return;
  std::string commandLine;
  self->GetCommandLine(commandLine);
  WriteLog(1, "*D \\APP, APP: " + std::to_string(self->Pid) + "  " + commandLine, false);
  if (self->ParentPid == 0) return;
  std::unique_ptr<TProcess> parent = TProcess::CreateForPid(self->ParentPid);
  if (!parent) return;
  std::string parentLine;
  parent->GetCommandLine(parentLine);
  WriteLog(1, "*D \\APP, PARENT: " + std::to_string(parent->Pid) + " " + parentLine, false);
}

void LogDebugMessage(const std::string& text) {
  if (!IsNT) {
    OutputDebugStringA(text.c_str());
    return;
  }
  std::string prefix = "*L 0, *T " + std::to_string(GetCurrentThreadId()) + ", ";
  InPieces(prefix, text, [](const std::string& line) { OutputDebugStringA(line.c_str()); });
}

void FinalizeDebugLog() {
  LogState& state = Settings();
  std::list<TThreadData> queues;
  {
    std::lock_guard guard(state.queuesLock);
    if (!state.CacheActive) return;
    queues.swap(state.queues);
    state.CacheActive = false;
  }
  for (const TThreadData& queue : queues) {
    for (const std::string& line : queue.Lines) Deliver(state, line);
  }
}
