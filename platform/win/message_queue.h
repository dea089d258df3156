// Message queues, one per thread that uses the window system: posted messages, sent
// messages from other threads, the quit flag, paint requests and timers. A send to a
// window of another thread waits while the receiving thread runs the procedure; the
// waiting sender handles messages sent to itself meanwhile, so two threads that send
// to each other do not lock up. Timers run on the platform clock, so tests advance
// time instead of sleeping.
#pragma once

#include <functional>

#include "platform/base/types.h"
#include "platform/win/window.h"

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT PM_NOYIELD = 0x0002;

inline constexpr UINT SMTO_NORMAL = 0x0000;
inline constexpr UINT SMTO_BLOCK = 0x0001;
inline constexpr UINT SMTO_ABORTIFHUNG = 0x0002;

inline constexpr int WH_GETMESSAGE = 3;
inline constexpr int HC_ACTION = 0;

inline constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;
inline constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;
inline constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;
inline constexpr DWORD ERROR_INVALID_FILTER_PROC = 1427;

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using HOOKPROC = LRESULT (*)(int, WPARAM, LPARAM);
using HHOOK = std::uint32_t;

// Sending. Within the window's thread a send is a direct call; across threads the
// sender waits (handling sends made to itself) until the receiver has answered.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// FALSE with ERROR_TIMEOUT when the receiver did not answer within the time (real
// milliseconds); the receiver still handles the message later, its answer dropped.
LRESULT SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, DWORD_PTR* result);
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, DWORD_PTR* result);
BOOL InSendMessage();

// Posting.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Retrieval, in the platform's order: sent messages are handled first, then posted
// messages, then the quit request, then WM_PAINT, then WM_TIMER. A window filter of
// static_cast<HWND>(-1) takes only thread messages.
BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL WaitMessage();
LRESULT DispatchMessageW(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
// Posts WM_CHAR (WM_SYSCHAR) for a WM_KEYDOWN (WM_SYSKEYDOWN) of a key that types a
// character on the thread's keyboard layout, and the character of a VK_PACKET key.
BOOL TranslateMessage(const MSG* msg);
DWORD GetMessageTime();

// Dialog keys for a message of the dialog or one of its controls: Tab moves the focus
// to the next (Shift: previous) WS_TABSTOP control, Enter sends WM_COMMAND IDOK and
// Escape IDCANCEL to the dialog; any other message is dispatched. FALSE for messages
// of other windows.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
// The next (previous) enabled, visible WS_TABSTOP window among the dialog's
// descendants after `control`, wrapping round; 0 when there is none.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
BOOL IsDialogMessageA(HWND dialog, MSG* msg);

// Key state as the thread's message retrieval has seen it (high bit: down; low bit:
// toggled).
short GetKeyState(int virtualKey);

inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;

// Timers. A window timer is named by (window, id); a timer without a window gets a
// new id. WM_TIMER comes when the clock has reached the timer's time and nothing
// else waits; a missed period gives one message, not many.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Hooks: WH_GETMESSAGE for one thread, called for each message that GetMessage or
// PeekMessage hands out (wParam PM_REMOVE or PM_NOREMOVE, lParam the MSG*).
HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE module, DWORD threadId);
HHOOK SetWindowsHookExA(int kind, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

namespace platform::win::detail {

// Makes the calling thread's queue (a thread that creates a window gets one).
void EnsureQueue();

// PostMessageW to a window of this process that runs Queued once the message is in
// the queue, before the window's thread can take it: whoever Queued tells of the
// delivery hears of it even when the receiver acts on the message by ending the
// process. Queued must not touch the queue. FALSE, without Queued, as PostMessageW.
BOOL PostThen(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const std::function<void()>& queued);

// Wakes the thread's wait for messages (a window of it needs painting).
void WakeThread(DWORD threadId);
// Wakes every thread's wait (input waits to be routed).
void WakeAllThreads();

// Removes the timers of a destroyed window.
void ForgetWindowTimers(HWND window);

}  // namespace platform::win::detail
