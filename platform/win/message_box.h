// Message boxes. Headless there is no screen to show a box on: every box is recorded
// (tests read the record), a box whose only button is OK counts as read, and a box that
// asks a question takes the answer queued beforehand (by a test, or by the display
// backend for a user). With no answer queued the box goes to the controlling terminal
// when standard input is one (platform/kernel/terminal.h): the caption, the text and
// the buttons as keys; a box with only OK is just written there. Otherwise a question
// fails with ERROR_NOT_SUPPORTED, and an input that ends before the answer with
// ERROR_OPERATION_ABORTED: a question is never answered by guessing.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/win/message_queue.h"

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_ICONERROR = 0x00000010;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONWARNING = 0x00000030;
inline constexpr UINT MB_ICONINFORMATION = 0x00000040;
inline constexpr UINT MB_TASKMODAL = 0x00002000;
inline constexpr UINT MB_TOPMOST = 0x00040000;
inline constexpr UINT kMessageBoxButtonMask = 0x0000000F;

inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The button's id, or 0 with the thread's last error set.
int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type);

// Rings the display's bell (the sound type is not told apart); headless there is none
// to ring: FALSE with ERROR_NOT_SUPPORTED.
BOOL MessageBeep(UINT type);

namespace platform::message_box_driver {

struct ShownBox {
  HWND Owner = 0;
  std::u16string Text;
  std::u16string Caption;
  UINT Type = 0;
  int Result = 0;
};

// The answer of the next box that asks, from any thread of the process; answers are
// taken in order.
void Answer(int buttonId);
// Every box of the process so far, oldest first.
std::vector<ShownBox> Shown();
// Forgets the boxes and the answers not taken.
void Clear();

}  // namespace platform::message_box_driver
