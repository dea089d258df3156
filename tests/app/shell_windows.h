// Helpers for tests of the program's windows driven as a user drives them: the
// window a launcher's slot holds, clicks on controls, the clipboard's text, and the
// picture of a window against its expected PNG.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/dialog_launcher.h"
#include "app/user_lists.h"
#include "platform/base/clock.h"
#include "platform/classlib/controls.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/clipboard.h"
#include "platform/win/input.h"
#include "platform/win/input_driver.h"

namespace shell_test {

namespace input = platform::input_driver;

// The form of the launcher's slot, or null.
template <typename Form>
Form* SlotForm(const TDialogLauncher& launcher, TDialogSlot slot) {
  const HWND window = launcher.Slot(slot);
  return window != 0 && IsWindow(window) ? dynamic_cast<Form*>(TWinControl::FindControl(window)) : nullptr;
}

// A click a while after the last one, so that two are never a double click.
inline void Click(TWinControl& control, int x = 5, int y = 5) {
  if (platform::test_clock::IsFrozen()) platform::test_clock::Advance(GetDoubleClickTime() + 1);
  input::Click(control.Handle(), x, y, VK_LBUTTON);
  input::RunPending();
}

// Clicks into the edit, selects what it holds and types the text.
inline void TypeInto(TWinControl& edit, const std::u16string& text) {
  Click(edit);
  input::Key(VK_HOME);
  input::Chord({VK_SHIFT, VK_END});
  input::Type(text);
  input::RunPending();
}

inline std::u16string ClipboardText() {
  if (!OpenClipboard(0)) return u"<clipboard busy>";
  const std::u16string text = platform::win::WideTextOfBlock(GetClipboardData(CF_UNICODETEXT));
  CloseClipboard();
  return text;
}

// The user's lists with the clock frozen (a day of 2025), which moves only as a test
// moves it.
class ShellWindowsTest : public UserListsTest {
 protected:
  void SetUp() override {
    UserListsTest::SetUp();
    platform::test_clock::Freeze(5000, 46000.25);
  }
  void TearDown() override {
    platform::test_clock::Release();
    UserListsTest::TearDown();
  }
};

// The window's picture against tests/fixtures/app/<name>.
inline std::string Picture(TWinControl& window, const std::string& name) {
  input::RunPending();
  Application->ProcessMessages();
  auto picture = platform::gdi::WindowPicture(window.Handle());
  if (!picture) return "no picture";
  return pellix_test::CompareWithExpected(*picture, "../app/" + name, 2);
}

}  // namespace shell_test
