// Windows of other processes of the same user: each process that has top-level
// windows answers on a Unix socket in the user's state folder, so that FindWindow
// finds another process's top-level window and PostMessage (integer parameters) and
// WM_COPYDATA reach it. Object parameters never cross processes. A window of another
// process is known here by a handle of its own, numbered from 0x80000000.
#pragma once

#include <string>

#include "platform/base/types.h"
#include "platform/win/window.h"

namespace platform::win::detail {

inline constexpr HWND kFirstRemoteHandle = 0x80000000;
bool IsRemoteHandle(HWND window);

// Starts answering other processes (once per process), removing the sockets of
// processes that were killed; the socket goes when this process ends.
void StartRemoteListener();

// A top-level window of another process by upper-cased class and window name (null:
// any); 0 when none answers.
HWND FindRemoteWindow(const std::u16string& classKey, const char16_t* windowName);

BOOL PostRemote(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_COPYDATA: the data travels; false when the other side did not answer in time.
bool SendRemoteCopyData(HWND window, HWND from, const COPYDATASTRUCT* data, UINT timeout, LRESULT& result);
bool IsRemoteWindow(HWND window);

// Posts a registered message (0xC000 and up) to the top-level windows of the other
// processes of the user; each answers for its own windows.
void BroadcastRemote(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform::win::detail
