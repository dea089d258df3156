#include "platform/win/input_driver.h"

#include "platform/win/input.h"
#include "platform/win/keyboard.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"

namespace {

using platform::win::detail::InputEvent;

void Mouse(InputEvent::Kind kind, int button) {
  InputEvent event;
  event.kind = kind;
  event.key = button;
  GetCursorPos(&event.point);
  platform::win::detail::InjectInput(event);
}

void KeyEvent(InputEvent::Kind kind, int key, char16_t packet = 0) {
  InputEvent event;
  event.kind = kind;
  event.key = key;
  event.packet = packet;
  platform::win::detail::InjectInput(event);
}

}  // namespace

namespace platform::input_driver {

POINT ScreenPoint(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  return point;
}

void MoveTo(POINT screen) {
  InputEvent event;
  event.kind = InputEvent::kMove;
  event.point = screen;
  platform::win::detail::InjectInput(event);
}

void Press(int button) { Mouse(InputEvent::kButtonDown, button); }
void Release(int button) { Mouse(InputEvent::kButtonUp, button); }

void Click(POINT screen, int button) {
  MoveTo(screen);
  Press(button);
  Release(button);
}

void Click(HWND window, int x, int y, int button) { Click(ScreenPoint(window, x, y), button); }

void DoubleClick(POINT screen, int button) {
  Click(screen, button);
  Press(button);
  Release(button);
}

void Drag(POINT from, POINT to, int steps, int button) {
  MoveTo(from);
  Press(button);
  steps = steps < 1 ? 1 : steps;
  for (int i = 1; i <= steps; ++i) {
    MoveTo(POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
  }
  Release(button);
}

void Wheel(int notches) {
  InputEvent event;
  event.kind = InputEvent::kWheel;
  event.wheel = notches * WHEEL_DELTA;
  GetCursorPos(&event.point);
  platform::win::detail::InjectInput(event);
}

void KeyDown(int virtualKey) { KeyEvent(InputEvent::kKeyDown, virtualKey); }
void KeyUp(int virtualKey) { KeyEvent(InputEvent::kKeyUp, virtualKey); }

void Key(int virtualKey) {
  KeyDown(virtualKey);
  KeyUp(virtualKey);
}

void Chord(const std::vector<int>& keys) {
  for (int key : keys) KeyDown(key);
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) KeyUp(*it);
}

void Type(const std::u16string& text) {
  for (char16_t character : text) {
    short scan = VkKeyScanW(character == u'\n' ? u'\r' : character);
    if (scan == -1) {
      KeyEvent(InputEvent::kKeyDown, VK_PACKET, character);
      KeyEvent(InputEvent::kKeyUp, VK_PACKET, character);
    } else if (scan & 0x100) {
      Chord({VK_SHIFT, scan & 0xFF});
    } else {
      Key(scan & 0xFF);
    }
  }
}

void RightClickAndPick(HWND window, int x, int y, std::vector<int> path) {
  platform::menu_driver::Pick(std::move(path));
  Click(window, x, y, VK_RBUTTON);
}

void ReleaseAll() {
  for (int key = 1; key < 256; ++key) {
    if (GetAsyncKeyState(key) >= 0) continue;
    if (key == VK_LBUTTON || key == VK_RBUTTON || key == VK_MBUTTON) {
      Release(key);
    } else {
      KeyUp(key);
    }
  }
}

int RunPending() {
  int dispatched = 0;
  MSG msg;
  while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++dispatched;
  }
  return dispatched;
}

}  // namespace platform::input_driver
