#include "platform/win/input.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/win/cursors.h"
#include "platform/win/keyboard.h"
#include "platform/win/scroll.h"

namespace {

using platform::win::detail::InputEvent;

// An event with what the devices held when it came.
struct Queued {
  InputEvent event;
  DWORD time = 0;
  WPARAM buttons = 0;   // MK_* flags of mouse events
  bool alt = false;     // Alt was held (the context bit of key messages)
  bool system = false;  // a system key: with Alt and without Ctrl, Alt itself, or F10
  bool wasDown = false;
};

// An event that the thread of the window under it is to route: only a window's own
// thread asks it where a point lies, so that no thread waits on another to route.
struct Handed {
  DWORD thread;
  HWND window;
  Queued event;
};

// The routed input message that its thread has not taken yet.
struct Flight {
  DWORD thread;
  MSG msg;
  char16_t packet;
};

struct Press {
  HWND window = 0;
  UINT message = 0;
  POINT point{};
  DWORD time = 0;
};

struct Area {
  HWND window = 0;
  bool nonClient = false;
};

struct Tracking {
  DWORD thread;
  Area area;
};

struct InputState {
  std::mutex lock;
  std::deque<Queued> queued;
  std::optional<Flight> flight;
  std::optional<Handed> handed;
  bool routing = false;
  std::array<BYTE, 256> keys{};  // 0x80: down
  UINT doubleClickTime = 500;
  Press lastPress;
  Area over;          // where the last routed mouse event was
  POINT lastPoint{};  // and its point
  std::vector<Tracking> tracking;
};

InputState& I() {
  static InputState state;
  return state;
}

using Lock = std::lock_guard<std::mutex>;

// The character of the VK_PACKET key this thread took last, for TranslateMessage.
thread_local char16_t tPacket = 0;

bool Contains(const RECT& rect, POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

RECT ClientOnScreen(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

LPARAM PointParam(POINT point) { return MAKELPARAM(point.x, point.y); }

DWORD Style(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

bool Passed(const std::vector<HWND>& passed, HWND window) {
  return std::find(passed.begin(), passed.end(), window) != passed.end();
}

// The deepest visible window under a screen point: the first top-level window that
// holds it, then down through visible, enabled children (a disabled child leaves the
// point to its parent, as the platform does). Windows in `passed` are not there.
// A layered window that is also transparent lets the mouse through to what lies
// below, as a picture floating over the screen does.
bool ClickThrough(HWND window) {
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  return (exStyle & WS_EX_LAYERED) != 0 && (exStyle & WS_EX_TRANSPARENT) != 0;
}

HWND WindowAt(POINT point, const std::vector<HWND>& passed) {
  HWND found = 0;
  for (HWND top = GetWindow(GetDesktopWindow(), GW_CHILD); top != 0; top = GetWindow(top, GW_HWNDNEXT)) {
    RECT rect;
    if ((Style(top) & WS_VISIBLE) && !ClickThrough(top) && !Passed(passed, top) && GetWindowRect(top, &rect) &&
        Contains(rect, point)) {
      found = top;
      break;
    }
  }
  while (found != 0 && Contains(ClientOnScreen(found), point)) {
    HWND next = 0;
    for (HWND child = GetWindow(found, GW_CHILD); child != 0; child = GetWindow(child, GW_HWNDNEXT)) {
      DWORD style = Style(child);
      RECT rect;
      if (!(style & WS_VISIBLE) || (style & WS_DISABLED) || Passed(passed, child)) continue;
      if (GetWindowRect(child, &rect) && Contains(rect, point)) {
        next = child;
        break;
      }
    }
    if (next == 0) break;
    found = next;
  }
  return found;
}

struct Hit {
  HWND window = 0;
  LRESULT code = HTNOWHERE;
  bool handOver = false;  // the window's own thread is to ask it
};

// The window under a point and its hit-test answer; a window answering
// HTTRANSPARENT lets the point through to what lies beneath it. A router (not 0)
// asks only windows of its own thread and hands over at another thread's window.
Hit HitTest(POINT point, DWORD router) {
  std::vector<HWND> passed;
  for (;;) {
    HWND window = WindowAt(point, passed);
    if (window == 0) return {};
    if (!IsWindowEnabled(GetAncestor(window, GA_ROOT))) return {window, HTERROR};  // a disabled top-level window
    if (router != 0 && platform::win::detail::WindowThread(window) != router) return {window, HTNOWHERE, true};
    LRESULT code = SendMessageW(window, WM_NCHITTEST, 0, PointParam(point));
    if (code != HTTRANSPARENT) return {window, code};
    passed.push_back(window);
  }
}

// Remembers where the mouse is and posts WM_MOUSELEAVE (WM_NCMOUSELEAVE) to tracked
// windows it has left. A captured mouse is over the capture window while the point
// lies in it.
void NoteMouseOver(HWND capture, const Hit& hit, POINT point) {
  Area over;
  if (capture != 0) {
    RECT rect;
    if (Contains(ClientOnScreen(capture), point)) {
      over = Area{capture, false};
    } else if (GetWindowRect(capture, &rect) && Contains(rect, point)) {
      over = Area{capture, true};
    }
  } else if (hit.window != 0 && hit.code != HTERROR) {
    over = Area{hit.window, hit.code != HTCLIENT};
  }
  std::vector<Area> left;
  {
    Lock guard(I().lock);
    I().over = over;
    I().lastPoint = point;
    auto& tracking = I().tracking;
    for (auto it = tracking.begin(); it != tracking.end();) {
      if (it->area.window == over.window && it->area.nonClient == over.nonClient) {
        ++it;
        continue;
      }
      left.push_back(it->area);
      it = tracking.erase(it);
    }
  }
  for (const Area& area : left) PostMessageW(area.window, area.nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
}

// A press on a window whose top-level window is not the active foreground window
// activates it as WM_MOUSEACTIVATE answers; true when the press is to be eaten.
bool EatenByActivation(HWND window, LRESULT code, UINT message) {
  HWND top = GetAncestor(window, GA_ROOT);
  DWORD thread = platform::win::detail::WindowThread(top);
  if (platform::win::detail::ActiveOfThread(thread) == top && GetForegroundWindow() == top) return false;
  LRESULT answer = SendMessageW(window, WM_MOUSEACTIVATE, top, MAKELPARAM(static_cast<int>(code), static_cast<int>(message)));
  bool activate = answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT;
  if (activate && IsWindow(top) && !(GetWindowLongW(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE)) SetForegroundWindow(top);
  return answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT;
}

// A second press of the same button on the same window and area, soon enough and
// near enough, is a double click; client areas give one only with CS_DBLCLKS.
bool IsDoubleClick(HWND window, UINT message, bool client, POINT point, DWORD time) {
  bool allowed = !client || (GetClassLongPtrW(window, GCL_STYLE) & CS_DBLCLKS);
  int slackX = GetSystemMetrics(SM_CXDOUBLECLK) / 2, slackY = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
  Lock guard(I().lock);
  Press& last = I().lastPress;
  bool isDouble = allowed && last.window == window && last.message == message &&
                  time - last.time <= I().doubleClickTime && std::abs(point.x - last.point.x) <= slackX &&
                  std::abs(point.y - last.point.y) <= slackY;
  // The press after a double click starts a new pair.
  last = isDouble ? Press{} : Press{window, message, point, time};
  return isDouble;
}

UINT ButtonMessage(const InputEvent& event) {
  UINT down = event.key == VK_RBUTTON ? WM_RBUTTONDOWN : event.key == VK_MBUTTON ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
  return event.kind == InputEvent::kButtonUp ? down + 1 : down;
}

// The focus window of the foreground window's thread, or the active window there
// when nothing has the focus (which then gets system keys); 0 when there is none.
HWND KeyboardTarget(bool* noFocus) {
  HWND foreground = GetForegroundWindow();
  DWORD thread = platform::win::detail::WindowThread(foreground);
  if (thread == 0) return 0;
  HWND focus = platform::win::detail::FocusOfThread(thread);
  *noFocus = focus == 0;
  if (focus != 0) return focus;
  HWND active = platform::win::detail::ActiveOfThread(thread);
  return active != 0 ? active : foreground;
}

std::optional<MSG> RouteWheel(const Queued& queued) {
  bool noFocus = false;
  HWND target = KeyboardTarget(&noFocus);
  if (target == 0) return std::nullopt;
  return MSG{target, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(queued.buttons), queued.event.wheel),
             PointParam(queued.event.point), queued.time, queued.event.point};
}

// Where an event goes: a message, or a window whose thread is to route it.
struct Routed {
  std::optional<MSG> msg;
  HWND handTo = 0;
};

Routed RouteMouse(const Queued& queued, DWORD router) {
  const InputEvent& event = queued.event;
  POINT point = event.point;
  HWND capture = GetCapture();
  Hit hit = capture != 0 ? Hit{capture, HTCLIENT} : HitTest(point, router);
  if (hit.handOver) return Routed{std::nullopt, hit.window};
  NoteMouseOver(capture, hit, point);
  if (hit.window == 0 || hit.code == HTERROR) return {};
  UINT message = event.kind == InputEvent::kMove ? WM_MOUSEMOVE : ButtonMessage(event);
  bool client = hit.code == HTCLIENT;
  if (capture == 0) {
    SendMessageW(hit.window, WM_SETCURSOR, hit.window,
                 MAKELPARAM(static_cast<int>(hit.code), static_cast<int>(message)));
  }
  constexpr UINT kNonClient = WM_MOUSEMOVE - WM_NCMOUSEMOVE;
  if (event.kind == InputEvent::kButtonDown) {
    if (capture == 0 && EatenByActivation(hit.window, hit.code, message)) return {};
    UINT pressed = client ? message : message - kNonClient;
    if (IsWindow(hit.window) && IsDoubleClick(hit.window, pressed, client, point, queued.time)) message += 2;
  }
  MSG msg{hit.window, message, queued.buttons, 0, queued.time, point};
  if (client) {
    POINT local = point;
    ScreenToClient(hit.window, &local);
    msg.lParam = PointParam(local);
  } else {
    msg.message = message - kNonClient;
    msg.wParam = static_cast<WPARAM>(hit.code);
    msg.lParam = PointParam(point);
  }
  return Routed{msg};
}

std::optional<MSG> RouteKey(const Queued& queued) {
  bool noFocus = false;
  HWND target = KeyboardTarget(&noFocus);
  if (target == 0) return std::nullopt;
  bool up = queued.event.kind == InputEvent::kKeyUp;
  bool system = queued.system || noFocus;
  UINT message = up ? (system ? WM_SYSKEYUP : WM_KEYUP) : (system ? WM_SYSKEYDOWN : WM_KEYDOWN);
  DWORD scan = queued.event.key == VK_PACKET ? 0 : MapVirtualKeyW(static_cast<UINT>(queued.event.key), MAPVK_VK_TO_VSC);
  DWORD data = 1 | (scan << 16) | (queued.alt ? 1u << 29 : 0) | (queued.wasDown || up ? 1u << 30 : 0) | (up ? 1u << 31 : 0);
  return MSG{target, message, static_cast<WPARAM>(queued.event.key), static_cast<LPARAM>(data), queued.time,
             queued.event.point};
}

Routed Route(const Queued& queued, DWORD router) {
  switch (queued.event.kind) {
    case InputEvent::kKeyDown:
    case InputEvent::kKeyUp: return Routed{RouteKey(queued)};
    case InputEvent::kWheel: return Routed{RouteWheel(queued)};
    default: return RouteMouse(queued, router);
  }
}

// The modal loop that moves a window with the mouse until the button comes up (or,
// when started without the button, until a click); Escape puts it back.
void MoveLoop(HWND window, WPARAM command, LPARAM lParam) {
  bool byButton = (command & 0x000F) == static_cast<WPARAM>(HTCAPTION);
  POINT start{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (!byButton) {
    // Where the window's thread last saw the mouse: the cursor may be further on.
    Lock guard(I().lock);
    start = I().lastPoint;
  }
  RECT origin;
  if (!GetWindowRect(window, &origin)) return;
  HWND parent = (Style(window) & WS_CHILD) ? GetParent(window) : 0;
  auto place = [&](RECT rect) {
    POINT topLeft{rect.left, rect.top};
    if (parent != 0) ScreenToClient(parent, &topLeft);
    SetWindowPos(window, 0, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  auto follow = [&](POINT point) {
    RECT rect{origin.left + point.x - start.x, origin.top + point.y - start.y, origin.right + point.x - start.x,
              origin.bottom + point.y - start.y};
    SendMessageW(window, WM_MOVING, 0, reinterpret_cast<LPARAM>(&rect));
    place(rect);
  };
  SetCapture(window);
  SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
  for (bool done = false; !done && IsWindow(window) && GetCapture() == window;) {
    MSG msg;
    BOOL got = GetMessageW(&msg, 0, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    switch (msg.message) {
      case WM_MOUSEMOVE: follow(msg.pt); break;
      case WM_LBUTTONUP:
        follow(msg.pt);
        done = true;
        break;
      case WM_LBUTTONDOWN: done = !byButton; break;
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (msg.wParam == static_cast<WPARAM>(VK_ESCAPE)) place(origin);
        done = msg.wParam == static_cast<WPARAM>(VK_ESCAPE) || msg.wParam == static_cast<WPARAM>(VK_RETURN);
        break;
      default:
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        break;
    }
  }
  if (GetCapture() == window) ReleaseCapture();
  if (IsWindow(window)) SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
}

LRESULT DefaultHitTest(HWND window, POINT point) {
  RECT rect;
  if (!GetWindowRect(window, &rect) || !Contains(rect, point)) return HTNOWHERE;
  if (Contains(ClientOnScreen(window), point)) return HTCLIENT;
  RECT bar;
  if (platform::win::detail::ScrollBarOnScreen(window, SB_VERT, &bar) && Contains(bar, point)) return HTVSCROLL;
  if (platform::win::detail::ScrollBarOnScreen(window, SB_HORZ, &bar) && Contains(bar, point)) return HTHSCROLL;
  return HTBORDER;
}

HWND ParentOfChild(HWND window) { return (Style(window) & WS_CHILD) ? GetParent(window) : 0; }

}  // namespace

void platform::win::detail::InjectInput(const InputEvent& event) {
  Queued queued{event, GetTickCount()};
  bool mouse = event.kind == InputEvent::kMove || event.kind == InputEvent::kButtonDown ||
               event.kind == InputEvent::kButtonUp || event.kind == InputEvent::kWheel;
  if (mouse) {
    queued.event.point.x = std::clamp<LONG>(event.point.x, 0, kScreenWidth - 1);
    queued.event.point.y = std::clamp<LONG>(event.point.y, 0, kScreenHeight - 1);
    SetCursorPos(queued.event.point.x, queued.event.point.y);
  } else {
    GetCursorPos(&queued.event.point);
  }
  {
    Lock guard(I().lock);
    auto& keys = I().keys;
    auto down = [&](int key) { return (keys[key & 0xFF] & 0x80) != 0; };
    switch (event.kind) {
      case InputEvent::kKeyDown:
      case InputEvent::kKeyUp:
      case InputEvent::kButtonDown:
      case InputEvent::kButtonUp: {
        bool press = event.kind == InputEvent::kKeyDown || event.kind == InputEvent::kButtonDown;
        queued.wasDown = down(event.key);
        queued.alt = down(VK_MENU) || (press && event.key == VK_MENU);
        keys[event.key & 0xFF] = press ? 0x80 : 0;
        queued.system = (event.key == VK_MENU || (queued.alt && !down(VK_CONTROL)) || event.key == VK_F10);
        break;
      }
      default: break;
    }
    queued.buttons = (down(VK_LBUTTON) ? MK_LBUTTON : 0) | (down(VK_RBUTTON) ? MK_RBUTTON : 0) |
                     (down(VK_MBUTTON) ? MK_MBUTTON : 0) | (down(VK_SHIFT) ? MK_SHIFT : 0) |
                     (down(VK_CONTROL) ? MK_CONTROL : 0);
    I().queued.push_back(queued);
  }
  WakeAllThreads();
}

std::optional<MSG> platform::win::detail::TakeInputMessage(DWORD thread, const std::function<bool(const MSG&)>& accepts,
                                                           bool remove) {
  auto& state = I();
  for (;;) {
    Queued next;
    {
      std::unique_lock guard(state.lock);
      // A message whose window went before its thread took it (the thread may have
      // ended) would hold up all input behind it.
      if (state.flight && !IsWindow(state.flight->msg.hwnd)) state.flight.reset();
      if (state.flight) {
        if (state.flight->thread != thread || !accepts(state.flight->msg)) return std::nullopt;
        MSG msg = state.flight->msg;
        if (!remove) return msg;
        tPacket = state.flight->packet;
        state.flight.reset();
        bool more = !state.queued.empty();
        guard.unlock();
        // The next event can be routed now; its thread may be waiting.
        if (more) WakeAllThreads();
        return msg;
      }
      if (state.routing) return std::nullopt;
      if (state.handed) {
        // Anyone routes it once the window it waits for is gone.
        if (state.handed->thread != thread && IsWindow(state.handed->window)) return std::nullopt;
        next = state.handed->event;
        state.handed.reset();
      } else {
        if (state.queued.empty()) return std::nullopt;
        next = state.queued.front();
        state.queued.pop_front();
      }
      state.routing = true;
    }
    Routed routed;
    try {
      routed = Route(next, thread);
    } catch (...) {
      // A window procedure that raised while asked where the event goes must not
      // leave the input stopped.
      Lock guard(state.lock);
      state.routing = false;
      throw;
    }
    if (routed.handTo != 0) {
      DWORD router = WindowThread(routed.handTo);
      {
        Lock guard(state.lock);
        state.routing = false;
        state.handed = Handed{router, routed.handTo, next};
      }
      WakeThread(router);
      return std::nullopt;
    }
    DWORD owner = routed.msg ? WindowThread(routed.msg->hwnd) : 0;
    {
      Lock guard(state.lock);
      state.routing = false;
      if (owner != 0) state.flight = Flight{owner, *routed.msg, next.event.packet};
    }
    if (owner != 0 && owner != thread) {
      WakeThread(owner);
      return std::nullopt;
    }
  }
}

bool platform::win::detail::DefInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_NCHITTEST:
      result = DefaultHitTest(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return true;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (wParam == static_cast<WPARAM>(HTCAPTION) && message == WM_NCLBUTTONDOWN) {
        SendMessageW(window, WM_SYSCOMMAND, SC_DRAGMOVE, lParam);
      } else if (wParam == static_cast<WPARAM>(HTVSCROLL) || wParam == static_cast<WPARAM>(HTHSCROLL)) {
        platform::win::detail::TrackScrollBar(window, wParam == static_cast<WPARAM>(HTVSCROLL) ? SB_VERT : SB_HORZ,
                                              POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      }
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_MOVE) return false;
      MoveLoop(window, wParam, lParam);
      return true;
    case WM_MOUSEACTIVATE:
      // A child asks its parent first.
      if (HWND parent = ParentOfChild(window)) result = SendMessageW(parent, message, wParam, lParam);
      if (result == 0) result = MA_ACTIVATE;
      return true;
    case WM_SETCURSOR: {
      if (HWND parent = ParentOfChild(window)) result = SendMessageW(parent, message, wParam, lParam) ? TRUE : FALSE;
      if (result != FALSE) return true;
      // Nobody chose: the class's cursor over the client area, the arrow elsewhere.
      const auto classCursor = static_cast<HCURSOR>(GetClassLongPtrW(window, GCLP_HCURSOR));
      const bool client = static_cast<LRESULT>(LOWORD(static_cast<DWORD>(lParam))) == HTCLIENT;
      SetCursor(client && classCursor != 0 ? classCursor : LoadCursorW(0, IDC_ARROW));
      return true;
    }
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
      if (HWND parent = ParentOfChild(window)) result = SendMessageW(parent, message, wParam, lParam);
      return true;
    case WM_RBUTTONUP: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(window, &point);
      SendMessageW(window, WM_CONTEXTMENU, window, PointParam(point));
      return true;
    }
    case WM_NCRBUTTONUP:
      SendMessageW(window, WM_CONTEXTMENU, window, lParam);
      return true;
    default:
      return false;
  }
}

// --- calls ---------------------------------------------------------------------------

HWND WindowFromPoint(POINT point) { return HitTest(point, 0).window; }

HWND ChildWindowFromPoint(HWND parent, POINT point) { return ChildWindowFromPointEx(parent, point, CWP_ALL); }

HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags) {
  RECT client;
  if (!GetClientRect(parent, &client)) return 0;
  if (!Contains(client, point)) return 0;
  POINT screen = point;
  ClientToScreen(parent, &screen);
  for (HWND child = GetWindow(parent, GW_CHILD); child != 0; child = GetWindow(child, GW_HWNDNEXT)) {
    DWORD style = Style(child);
    if ((flags & CWP_SKIPINVISIBLE) && !(style & WS_VISIBLE)) continue;
    if ((flags & CWP_SKIPDISABLED) && (style & WS_DISABLED)) continue;
    if ((flags & CWP_SKIPTRANSPARENT) && (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_TRANSPARENT)) continue;
    RECT rect;
    if (GetWindowRect(child, &rect) && Contains(rect, screen)) return child;
  }
  return parent;
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  bool system = msg->message == WM_SYSKEYDOWN;
  int key = static_cast<int>(msg->wParam);
  char16_t character;
  if (key == VK_PACKET) {
    character = tPacket;
  } else {
    // Ctrl with a key types no character here; programs act on the key itself.
    if (GetKeyState(VK_CONTROL) < 0) return FALSE;
    character = platform::win::detail::KeyCharacter(key, GetKeyState(VK_SHIFT) < 0);
  }
  if (character == 0) return FALSE;
  return PostMessageW(msg->hwnd, system ? WM_SYSCHAR : WM_CHAR, character, msg->lParam);
}

short GetAsyncKeyState(int virtualKey) {
  Lock guard(I().lock);
  return (I().keys[virtualKey & 0xFF] & 0x80) ? static_cast<short>(0x8000) : 0;
}

UINT GetDoubleClickTime() {
  Lock guard(I().lock);
  return I().doubleClickTime;
}

BOOL SetDoubleClickTime(UINT milliseconds) {
  constexpr UINT kDefault = 500, kMaximum = 5000;
  Lock guard(I().lock);
  I().doubleClickTime = milliseconds == 0 ? kDefault : std::min(milliseconds, kMaximum);
  return TRUE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
  if (track == nullptr || track->cbSize != sizeof(TRACKMOUSEEVENT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD thread = platform::win::ThisThreadId();
  bool nonClient = (track->dwFlags & TME_NONCLIENT) != 0;
  auto& state = I();
  if (track->dwFlags & TME_QUERY) {
    Lock guard(state.lock);
    *track = TRACKMOUSEEVENT{sizeof(TRACKMOUSEEVENT), 0, 0, 0};
    for (const auto& t : state.tracking) {
      if (t.thread == thread) *track = TRACKMOUSEEVENT{sizeof(TRACKMOUSEEVENT), TME_LEAVE | (t.area.nonClient ? TME_NONCLIENT : 0), t.area.window, 0};
    }
    return TRUE;
  }
  if (track->dwFlags & TME_HOVER) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (platform::win::detail::WindowThread(track->hwndTrack) != thread) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!(track->dwFlags & TME_LEAVE)) return TRUE;
  Area area{track->hwndTrack, nonClient};
  bool leftAlready = false;
  {
    Lock guard(state.lock);
    auto& tracking = state.tracking;
    auto mine = std::find_if(tracking.begin(), tracking.end(), [&](const Tracking& t) { return t.thread == thread; });
    if (track->dwFlags & TME_CANCEL) {
      if (mine != tracking.end() && mine->area.window == area.window && mine->area.nonClient == nonClient) tracking.erase(mine);
      return TRUE;
    }
    if (mine != tracking.end()) tracking.erase(mine);
    leftAlready = state.over.window != area.window || state.over.nonClient != nonClient;
    if (!leftAlready) tracking.push_back(Tracking{thread, area});
  }
  if (leftAlready) PostMessageW(area.window, nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
  return TRUE;
}
