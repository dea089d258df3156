// Mouse and keyboard input. Input events (from the display backend for a user, or
// from the input driver in tests) wait in one system queue in the order they came and
// are routed one at a time, when a thread asks for messages and the previous input
// message has been taken: mouse events to the capture window or to the window that
// hit-testing finds under the point (client or non-client messages by its
// WM_NCHITTEST answer), keys to the focus window of the foreground window's thread.
// Routing one at a time means a window that takes the capture on a button press gets
// the moves that follow, as on the platform. The cursor position and the state of
// keys and buttons as the devices last reported them are kept here; GetKeyState
// gives each thread the state as its retrieved messages have seen it.
//
// DefWindowProc's share: a press on HTCAPTION moves the window in a modal loop
// (WM_ENTERSIZEMOVE, WM_MOVING, WM_MOVE, WM_EXITSIZEMOVE; SC_MOVE does the same
// until a click), a press on a scroll bar tracks it (scroll.h), a right-button
// release asks for WM_CONTEXTMENU, and a child hands WM_MOUSEACTIVATE,
// WM_SETCURSOR, WM_MOUSEWHEEL and WM_CONTEXTMENU to its parent.
#pragma once

#include <functional>
#include <optional>

#include "platform/base/types.h"
#include "platform/win/message_queue.h"
#include "platform/win/metrics.h"
#include "platform/win/window.h"

inline constexpr UINT WM_NCLBUTTONUP = 0x00A2;
inline constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;
inline constexpr UINT WM_NCRBUTTONDOWN = 0x00A4;
inline constexpr UINT WM_NCRBUTTONUP = 0x00A5;
inline constexpr UINT WM_NCRBUTTONDBLCLK = 0x00A6;
inline constexpr UINT WM_NCMBUTTONDOWN = 0x00A7;
inline constexpr UINT WM_NCMBUTTONUP = 0x00A8;
inline constexpr UINT WM_NCMBUTTONDBLCLK = 0x00A9;
inline constexpr UINT WM_KEYFIRST = 0x0100;
inline constexpr UINT WM_KEYLAST = 0x0109;
inline constexpr UINT WM_MOUSEFIRST = 0x0200;
inline constexpr UINT WM_MOUSELAST = 0x020D;
inline constexpr UINT WM_MOVING = 0x0216;
inline constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
inline constexpr UINT WM_EXITSIZEMOVE = 0x0232;
inline constexpr UINT WM_NCMOUSELEAVE = 0x02A2;

// Hit-test answers of WM_NCHITTEST.
inline constexpr LRESULT HTERROR = -2;
inline constexpr LRESULT HTTRANSPARENT = -1;
inline constexpr LRESULT HTSYSMENU = 3;
inline constexpr LRESULT HTHSCROLL = 6;
inline constexpr LRESULT HTVSCROLL = 7;
inline constexpr LRESULT HTMINBUTTON = 8;
inline constexpr LRESULT HTMAXBUTTON = 9;
inline constexpr LRESULT HTLEFT = 10;
inline constexpr LRESULT HTRIGHT = 11;
inline constexpr LRESULT HTTOP = 12;
inline constexpr LRESULT HTBOTTOM = 15;
inline constexpr LRESULT HTBORDER = 18;
inline constexpr LRESULT HTCLOSE = 20;

// wParam key flags of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

inline constexpr int WHEEL_DELTA = 120;

// Points and wheel deltas packed in message parameters (signed 16-bit halves).
constexpr LPARAM MAKELPARAM(int low, int high) {
  return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(low), static_cast<WORD>(high)));
}
constexpr WPARAM MAKEWPARAM(int low, int high) {
  return static_cast<WPARAM>(MAKELONG(static_cast<WORD>(low), static_cast<WORD>(high)));
}
constexpr int GET_X_LPARAM(LPARAM value) { return static_cast<short>(LOWORD(static_cast<DWORD>(value))); }
constexpr int GET_Y_LPARAM(LPARAM value) { return static_cast<short>(HIWORD(static_cast<DWORD>(value))); }
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM value) { return static_cast<short>(HIWORD(static_cast<DWORD>(value))); }
constexpr WORD GET_KEYSTATE_WPARAM(WPARAM value) { return LOWORD(static_cast<DWORD>(value)); }

// Answers of WM_MOUSEACTIVATE.
inline constexpr LRESULT MA_ACTIVATE = 1;
inline constexpr LRESULT MA_ACTIVATEANDEAT = 2;
inline constexpr LRESULT MA_NOACTIVATE = 3;
inline constexpr LRESULT MA_NOACTIVATEANDEAT = 4;

inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_APPS = 0x5D;
inline constexpr int VK_F10 = 0x79;
inline constexpr int VK_PACKET = 0xE7;

// A move loop started from the caption (SC_MOVE with the hit code in the low bits).
inline constexpr UINT SC_DRAGMOVE = 0xF012;

// ChildWindowFromPointEx.
inline constexpr UINT CWP_ALL = 0x0000;
inline constexpr UINT CWP_SKIPINVISIBLE = 0x0001;
inline constexpr UINT CWP_SKIPDISABLED = 0x0002;
inline constexpr UINT CWP_SKIPTRANSPARENT = 0x0004;

// Mouse tracking.
inline constexpr DWORD TME_HOVER = 0x00000001;
inline constexpr DWORD TME_LEAVE = 0x00000002;
inline constexpr DWORD TME_NONCLIENT = 0x00000010;
inline constexpr DWORD TME_QUERY = 0x40000000;
inline constexpr DWORD TME_CANCEL = 0x80000000;
inline constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;

struct TRACKMOUSEEVENT {
  DWORD cbSize;
  DWORD dwFlags;
  HWND hwndTrack;
  DWORD dwHoverTime;
};

// The state of a key or button as the devices last reported it (high bit: down).
short GetAsyncKeyState(int virtualKey);

// Milliseconds, on the platform clock, between two presses that make a double click
// (the presses also have to fall within SM_CXDOUBLECLK by SM_CYDOUBLECLK pixels).
UINT GetDoubleClickTime();
BOOL SetDoubleClickTime(UINT milliseconds);

// The child of `parent` under a point in the parent's client coordinates, passing
// over the kinds of children the flags name; the parent itself when no child is
// there, 0 when the point lies outside the parent.
HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags);

// WM_MOUSELEAVE (WM_NCMOUSELEAVE with TME_NONCLIENT) is posted once when the mouse
// leaves the window's client (non-client) area, at once when it is not there now
// (where the last routed mouse message was). One window per thread is tracked.
// Hover tracking is not kept: TME_HOVER fails with ERROR_NOT_SUPPORTED.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);

namespace platform::win::detail {

// An event as a device reports it.
struct InputEvent {
  enum Kind { kMove, kButtonDown, kButtonUp, kWheel, kKeyDown, kKeyUp } kind = kMove;
  POINT point{};        // mouse events: screen position
  int key = 0;          // button (VK_LBUTTON, VK_RBUTTON, VK_MBUTTON) or virtual key
  int wheel = 0;        // wheel delta
  char16_t packet = 0;  // the character of a VK_PACKET key
};

// Adds an event to the system queue: the cursor and the device state change now, the
// messages come when threads retrieve them.
void InjectInput(const InputEvent& event);

// The input message waiting for `thread` when `accepts` takes it, routing the next
// event of the system queue when none waits; taken out when `remove` is set.
std::optional<MSG> TakeInputMessage(DWORD thread, const std::function<bool(const MSG&)>& accepts, bool remove);

// Default handling of input messages for DefWindowProc; false when the message is
// not an input message handled here.
bool DefInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace platform::win::detail
