#include "platform/shell/notify_icon.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <set>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

struct Area {
  std::mutex lock;
  std::vector<platform::notify_icon::Call> calls;
  std::vector<NOTIFYICONDATAW> shown;
  std::set<HWND> callers;  // told when the area is re-made
};

Area& TheArea() {
  static Area area;
  return area;
}

// The first record size with the fields that exist here; older, smaller records
// cannot name the balloon fields and are refused rather than half read.
constexpr DWORD kRecordSize = sizeof(NOTIFYICONDATAW);

// Copies the fields the flags name into a shown icon.
void Apply(NOTIFYICONDATAW& shown, const NOTIFYICONDATAW& data) {
  if (data.uFlags & NIF_MESSAGE) shown.uCallbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) shown.hIcon = data.hIcon;
  if (data.uFlags & NIF_TIP) std::copy(std::begin(data.szTip), std::end(data.szTip), shown.szTip);
  if (data.uFlags & NIF_INFO) {
    std::copy(std::begin(data.szInfo), std::end(data.szInfo), shown.szInfo);
    std::copy(std::begin(data.szInfoTitle), std::end(data.szInfoTitle), shown.szInfoTitle);
    shown.uTimeout = data.uTimeout;
    shown.dwInfoFlags = data.dwInfoFlags;
  }
  shown.uFlags = data.uFlags;
  // Terminators are forced so that a full field never reads past its end.
  shown.szTip[127] = shown.szInfo[255] = shown.szInfoTitle[63] = u'\0';
}

std::vector<NOTIFYICONDATAW>::iterator FindLocked(HWND window, UINT id) {
  Area& area = TheArea();
  return std::find_if(area.shown.begin(), area.shown.end(),
                      [&](const NOTIFYICONDATAW& icon) { return icon.hWnd == window && icon.uID == id; });
}

std::optional<NOTIFYICONDATAW> Find(HWND window, UINT id) {
  auto found = FindLocked(window, id);
  if (found == TheArea().shown.end()) return std::nullopt;
  return *found;
}

std::atomic<platform::notify_icon::Host*>& TheHost() {
  static std::atomic<platform::notify_icon::Host*> host{nullptr};
  return host;
}

BOOL Change(DWORD message, const NOTIFYICONDATAW& data) {
  Area& area = TheArea();
  auto found = FindLocked(data.hWnd, data.uID);
  bool exists = found != area.shown.end();
  switch (message) {
    case NIM_ADD: {
      if (exists) break;
      NOTIFYICONDATAW shown{};
      shown.cbSize = kRecordSize;
      shown.hWnd = data.hWnd;
      shown.uID = data.uID;
      Apply(shown, data);
      area.shown.push_back(shown);
      area.callers.insert(data.hWnd);
      return TRUE;
    }
    case NIM_MODIFY:
      if (!exists) break;
      Apply(*found, data);
      return TRUE;
    case NIM_DELETE:
      if (!exists) break;
      area.shown.erase(found);
      return TRUE;
    default:
      break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

}  // namespace

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
  if (data == nullptr || data->cbSize != kRecordSize || !IsWindow(data->hWnd)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  BOOL result = platform::faults::ShouldFail("Shell_NotifyIconW") ? FALSE : -1;
  std::optional<NOTIFYICONDATAW> now;
  {
    std::lock_guard guard(TheArea().lock);
    if (result != FALSE) result = Change(message, *data);
    TheArea().calls.push_back({message, *data, result});
    if (result != FALSE && message != NIM_DELETE) now = Find(data->hWnd, data->uID);
  }
  platform::notify_icon::Host* host = TheHost().load();
  if (result == FALSE || host == nullptr) return result;
  if (now) {
    host->Show(*now);
  } else {
    host->Remove(data->hWnd, data->uID);
  }
  return result;
}

namespace platform::notify_icon {

void SetHost(Host* host) { TheHost().store(host); }

std::vector<Call> Calls() {
  std::lock_guard guard(TheArea().lock);
  return TheArea().calls;
}

std::vector<NOTIFYICONDATAW> Shown() {
  std::lock_guard guard(TheArea().lock);
  return TheArea().shown;
}

void ClearCalls() {
  std::lock_guard guard(TheArea().lock);
  TheArea().calls.clear();
}

void RestartNotificationArea() {
  std::set<HWND> told;
  {
    std::lock_guard guard(TheArea().lock);
    TheArea().shown.clear();
    told = TheArea().callers;
  }
  UINT taskbarCreated = RegisterWindowMessageW(u"TaskbarCreated");
  for (HWND window : told)
    if (IsWindow(window)) SendMessageW(window, taskbarCreated, 0, 0);
}

}  // namespace platform::notify_icon
