// A test driver that works the mouse and keyboard as a user would: every step goes
// into the system's input queue, so windows see the same messages, in the same order
// and routed the same way, as from the devices. Steps return at once; the messages
// come when the windows' threads retrieve them (RunPending does that for the calling
// thread). Menu items of popups are picked with platform::menu_driver, which the
// helpers here use.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

namespace platform::input_driver {

// A point of a window's client area on the screen.
POINT ScreenPoint(HWND window, int x, int y);

// The mouse. Buttons are VK_LBUTTON, VK_RBUTTON or VK_MBUTTON.
void MoveTo(POINT screen);
void Press(int button);
void Release(int button);
void Click(POINT screen, int button);
void Click(HWND window, int x, int y, int button);
void DoubleClick(POINT screen, int button);
// Presses at `from`, moves to `to` in `steps` even moves, releases there.
void Drag(POINT from, POINT to, int steps, int button);
// Wheel notches of WHEEL_DELTA each, positive away from the user.
void Wheel(int notches);

// The keyboard.
void KeyDown(int virtualKey);
void KeyUp(int virtualKey);
void Key(int virtualKey);
// Presses the keys in order and releases them in reverse: {VK_CONTROL, 'C'}.
void Chord(const std::vector<int>& keys);
// Types text: each character by its key on the thread's layout (with Shift when the
// layout needs it), "\n" as Enter, and a character no key types as the platform's
// packet key (VK_PACKET), as input methods do.
void Type(const std::u16string& text);

// Right-clicks a window's client point with the pick of a popup item queued for the
// popup that the click opens on this thread (`path`: a position per menu level).
void RightClickAndPick(HWND window, int x, int y, std::vector<int> path);

// Lets go of every key and button still held, so that a test leaves the input state
// clean; the messages come as with the other steps.
void ReleaseAll();

// Translates and dispatches the calling thread's waiting messages until none is left
// (a WM_QUIT found is put back); answers how many were dispatched.
int RunPending();

}  // namespace platform::input_driver
