// The notification-area icon. The notification area is a record of the icons shown
// (by window and id) and of every call made, which tests read; a display backend's
// host (below) shows the same icons for real.
#pragma once

#include <vector>

#include "platform/base/types.h"

inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;

inline constexpr UINT NIF_MESSAGE = 0x01;
inline constexpr UINT NIF_ICON = 0x02;
inline constexpr UINT NIF_TIP = 0x04;
inline constexpr UINT NIF_STATE = 0x08;
inline constexpr UINT NIF_INFO = 0x10;

inline constexpr DWORD NIIF_NONE = 0;
inline constexpr DWORD NIIF_INFO = 1;
inline constexpr DWORD NIIF_WARNING = 2;
inline constexpr DWORD NIIF_ERROR = 3;

// Sent by the shell to an icon's window: the balloon was hidden or timed out.
inline constexpr UINT NIN_BALLOONHIDE = 0x0400 + 3;
inline constexpr UINT NIN_BALLOONTIMEOUT = 0x0400 + 4;

// The record in its form with balloon fields (936 bytes).
struct NOTIFYICONDATAW {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  char16_t szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  char16_t szInfo[256];
  UINT uTimeout;
  char16_t szInfoTitle[64];
  DWORD dwInfoFlags;
};
static_assert(sizeof(NOTIFYICONDATAW) == 936);

// NIM_ADD fails for an icon already shown, NIM_MODIFY and NIM_DELETE for one that is
// not; a record whose size is not a known one, or whose window is not a window, fails.
// The operation "Shell_NotifyIconW" can be made to fail on purpose.
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);

namespace platform::notify_icon {

// A desktop's notification area that shows the icons for real, installed by a display
// backend. It hears of every icon shown or changed (the whole record as it stands)
// and of every icon removed, after the record here has changed, on the caller's
// thread and with no lock held.
class Host {
 public:
  virtual ~Host() = default;
  virtual void Show(const NOTIFYICONDATAW& icon) = 0;
  virtual void Remove(HWND window, UINT id) = 0;
};
// nullptr: the icons live only in the record here.
void SetHost(Host* host);

struct Call {
  DWORD message;
  NOTIFYICONDATAW data;
  BOOL result;
};

// Every call so far, in order, and the icons shown now.
std::vector<Call> Calls();
std::vector<NOTIFYICONDATAW> Shown();
void ClearCalls();
// The notification area was re-made (the shell restarted): the shown icons are
// gone and "TaskbarCreated" is broadcast to the top-level windows.
void RestartNotificationArea();

}  // namespace platform::notify_icon
