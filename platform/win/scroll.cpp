#include "platform/win/scroll.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/metrics.h"

namespace {

struct Bar {
  int min = 0;
  int max = 100;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
  bool tracking = false;
};

struct Bars {
  Bar horizontal;
  Bar vertical;
};

struct ScrollState {
  std::mutex lock;
  std::map<HWND, Bars> bars;
  void (*pixels)(HWND, const RECT&, const RECT&, int, int) = nullptr;
};

ScrollState& St() {
  static ScrollState state;
  return state;
}

using Lock = std::lock_guard<std::mutex>;

void Forget(HWND window) {
  Lock guard(St().lock);
  St().bars.erase(window);
}

// The bar's record, made with the default range on first use.
Bar& BarLocked(HWND window, int bar) {
  auto& bars = St().bars[window];
  return bar == SB_HORZ ? bars.horizontal : bars.vertical;
}

DWORD StyleBit(int bar) { return bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL; }

bool ValidBar(HWND window, int bar) {
  if (bar != SB_HORZ && bar != SB_VERT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  static const bool listening = [] {
    platform::win::detail::AddWindowGoneListener(Forget);
    return true;
  }();
  (void)listening;
  return true;
}

// The highest position the thumb can reach: the last page starts there.
int MaxPos(const Bar& bar) { return std::max(bar.min, bar.max - std::max<int>(static_cast<int>(bar.page) - 1, 0)); }

// A bar is needed while the range holds more positions than one page shows.
bool Needed(const Bar& bar) {
  if (bar.max <= bar.min) return false;
  return bar.page == 0 || static_cast<long long>(bar.max) - bar.min + 1 > static_cast<long long>(bar.page);
}

// Shows or hides bars by style; the client area follows (WM_NCCALCSIZE, WM_SIZE).
void SetBarStyle(HWND window, DWORD bits, bool show) {
  DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  DWORD wanted = show ? (style | bits) : (style & ~bits);
  if (wanted == style) return;
  SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(wanted));
  SetWindowPos(window, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// Thumb geometry along a bar of `length` pixels with arrows of `arrow` pixels.
struct Thumb {
  int start;  // from the bar's start
  int size;
  int track;  // pixels the thumb can travel
};

Thumb ThumbOf(const Bar& bar, int length, int arrow) {
  int track = std::max(length - 2 * arrow, 0);
  long long count = static_cast<long long>(bar.max) - bar.min + 1;
  constexpr int kMinimumThumb = 8;
  int size = bar.page == 0 ? GetSystemMetrics(SM_CYVTHUMB)
                           : static_cast<int>(std::min<long long>(track, track * static_cast<long long>(bar.page) / std::max(count, 1LL)));
  size = std::min(std::max(size, kMinimumThumb), track);
  int travel = track - size;
  int span = MaxPos(bar) - bar.min;
  int offset = span <= 0 ? 0 : static_cast<int>(static_cast<long long>(bar.pos - bar.min) * travel / span);
  return Thumb{arrow + offset, size, travel};
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Offset(RECT r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// The part of `area` that the moved pixels do not cover, as one rectangle (a move in
// both directions leaves an L, whose bounding box is the whole area).
RECT Uncovered(const RECT& area, int dx, int dy) {
  if (IsEmpty(area) || (dx == 0 && dy == 0)) return RECT{};
  int width = area.right - area.left, height = area.bottom - area.top;
  if ((dx != 0 && dy != 0) || std::abs(dx) >= width || std::abs(dy) >= height) return area;
  RECT r = area;
  if (dx > 0) r.right = r.left + dx;
  if (dx < 0) r.left = r.right + dx;
  if (dy > 0) r.bottom = r.top + dy;
  if (dy < 0) r.top = r.bottom + dy;
  return r;
}

}  // namespace

// Bars are not drawn on the headless screen, so `redraw` asks for nothing here.
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL) {
  if (!ValidBar(window, bar)) return 0;
  if (info == nullptr || info->cbSize != sizeof(SCROLLINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int pos;
  bool show;
  {
    Lock guard(St().lock);
    Bar& b = BarLocked(window, bar);
    if (info->fMask & SIF_RANGE) {
      b.min = info->nMin;
      b.max = std::max(info->nMax, info->nMin);
    }
    if (info->fMask & SIF_PAGE) b.page = info->nPage;
    long long positions = static_cast<long long>(b.max) - b.min + 1;
    if (b.page > positions) b.page = static_cast<UINT>(positions);
    if (info->fMask & SIF_POS) b.pos = info->nPos;
    b.pos = std::clamp(b.pos, b.min, MaxPos(b));
    pos = b.pos;
    show = Needed(b) || (info->fMask & SIF_DISABLENOSCROLL);
  }
  if (info->fMask & (SIF_RANGE | SIF_PAGE)) SetBarStyle(window, StyleBit(bar), show);
  return pos;
}

BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
  if (!ValidBar(window, bar)) return FALSE;
  if (info == nullptr || info->cbSize != sizeof(SCROLLINFO) || !(info->fMask & SIF_ALL)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock guard(St().lock);
  auto found = St().bars.find(window);
  bool styled = GetWindowLongW(window, GWL_STYLE) & StyleBit(bar);
  if (found == St().bars.end() && !styled) {
    SetLastError(ERROR_NO_SCROLLBARS);
    return FALSE;
  }
  const Bar& b = BarLocked(window, bar);
  if (info->fMask & SIF_RANGE) {
    info->nMin = b.min;
    info->nMax = b.max;
  }
  if (info->fMask & SIF_PAGE) info->nPage = b.page;
  if (info->fMask & SIF_POS) info->nPos = b.pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = b.tracking ? b.trackPos : b.pos;
  return TRUE;
}

int SetScrollPos(HWND window, int bar, int position, BOOL redraw) {
  if (!ValidBar(window, bar)) return 0;
  int old = GetScrollPos(window, bar);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, position, 0};
  SetScrollInfo(window, bar, &info, redraw);
  return old;
}

int GetScrollPos(HWND window, int bar) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
  return GetScrollInfo(window, bar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw) {
  if (maximum < minimum) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, minimum, maximum, 0, 0, 0};
  if (!ValidBar(window, bar)) return FALSE;
  SetScrollInfo(window, bar, &info, redraw);
  return TRUE;
}

BOOL GetScrollRange(HWND window, int bar, int* minimum, int* maximum) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, 0, 0, 0, 0, 0};
  if (minimum == nullptr || maximum == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!GetScrollInfo(window, bar, &info)) {
    *minimum = *maximum = 0;
    return FALSE;
  }
  *minimum = info.nMin;
  *maximum = info.nMax;
  return TRUE;
}

BOOL ShowScrollBar(HWND window, int bar, BOOL show) {
  if (!ValidBar(window, bar == SB_BOTH ? SB_VERT : bar)) return FALSE;
  DWORD bits = bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL) : StyleBit(bar);
  SetBarStyle(window, bits, show != FALSE);
  return TRUE;
}

int ScrollWindowEx(HWND window, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRegion, RECT* update,
                   UINT flags) {
  RECT client;
  if (!GetClientRect(window, &client)) return ERROR;
  if (updateRegion != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return ERROR;
  }
  RECT area = scroll ? Intersect(*scroll, client) : client;
  RECT within = clip ? Intersect(*clip, client) : client;
  RECT shown = Intersect(area, within);
  void (*pixels)(HWND, const RECT&, const RECT&, int, int);
  {
    Lock guard(St().lock);
    pixels = St().pixels;
  }
  if (pixels && !IsEmpty(shown) && (dx != 0 || dy != 0)) pixels(window, area, within, dx, dy);
  RECT uncovered = Intersect(Uncovered(area, dx, dy), within);
  // A pending update moves with the pixels.
  RECT pending;
  if (GetUpdateRect(window, &pending, FALSE)) {
    RECT moved = Intersect(Offset(pending, dx, dy), client);
    ValidateRect(window, nullptr);
    if (!IsEmpty(moved)) InvalidateRect(window, &moved, FALSE);
  }
  if (flags & SW_SCROLLCHILDREN) {
    for (HWND child = GetWindow(window, GW_CHILD); child != 0; child = GetWindow(child, GW_HWNDNEXT)) {
      RECT rect;
      GetWindowRect(child, &rect);
      POINT corner{rect.left, rect.top};
      ScreenToClient(window, &corner);
      RECT local = Offset(RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top}, corner.x, corner.y);
      if (scroll != nullptr && IsEmpty(Intersect(local, *scroll))) continue;
      SetWindowPos(child, 0, corner.x + dx, corner.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if ((flags & SW_INVALIDATE) && !IsEmpty(uncovered)) InvalidateRect(window, &uncovered, (flags & SW_ERASE) != 0);
  if (update) *update = IsEmpty(uncovered) ? RECT{} : uncovered;
  return IsEmpty(uncovered) ? NULLREGION : SIMPLEREGION;
}

BOOL ScrollWindow(HWND window, int dx, int dy, const RECT* scroll, const RECT* clip) {
  UINT flags = SW_INVALIDATE | SW_ERASE | (scroll == nullptr ? SW_SCROLLCHILDREN : 0);
  return ScrollWindowEx(window, dx, dy, scroll, clip, 0, nullptr, flags) != ERROR;
}

bool platform::win::detail::ScrollBarOnScreen(HWND window, int bar, RECT* rect) {
  DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  if (!(style & StyleBit(bar))) return false;
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  client = Offset(client, origin.x, origin.y);
  if (bar == SB_HORZ) {
    *rect = RECT{client.left, client.bottom, client.right, client.bottom + GetSystemMetrics(SM_CYHSCROLL)};
  } else if (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) {
    *rect = RECT{client.left - GetSystemMetrics(SM_CXVSCROLL), client.top, client.left, client.bottom};
  } else {
    *rect = RECT{client.right, client.top, client.right + GetSystemMetrics(SM_CXVSCROLL), client.bottom};
  }
  return true;
}

bool platform::win::detail::ScrollBarsSet(HWND window) {
  Lock guard(St().lock);
  return St().bars.count(window) > 0;
}

bool platform::win::detail::ScrollThumb(HWND window, int bar, int* start, int* size) {
  RECT rect;
  if (!ScrollBarOnScreen(window, bar, &rect)) return false;
  const bool vertical = bar == SB_VERT;
  Bar state;
  {
    Lock guard(St().lock);
    state = BarLocked(window, bar);
  }
  if (!Needed(state)) return false;
  if (state.tracking) state.pos = state.trackPos;
  const int length = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  const Thumb thumb = ThumbOf(state, length, GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL));
  *start = thumb.start;
  *size = thumb.size;
  return true;
}

void platform::win::detail::TrackScrollBar(HWND window, int bar, POINT point) {
  RECT rect;
  if (!ScrollBarOnScreen(window, bar, &rect)) return;
  bool vertical = bar == SB_VERT;
  UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
  int length = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  int arrow = GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
  auto along = [&](POINT p) { return vertical ? p.y - rect.top : p.x - rect.left; };
  Bar state;
  {
    Lock guard(St().lock);
    state = BarLocked(window, bar);
  }
  if (!Needed(state)) return;  // a bar kept without need is disabled
  Thumb thumb = ThumbOf(state, length, arrow);
  int at = along(point);
  int code = at < arrow                            ? SB_LINEUP
             : at >= length - arrow                ? SB_LINEDOWN
             : at < thumb.start                    ? SB_PAGEUP
             : at < thumb.start + thumb.size       ? SB_THUMBTRACK
                                                   : SB_PAGEDOWN;
  bool dragging = code == SB_THUMBTRACK;
  auto setTracking = [&](bool on, int pos) {
    Lock guard(St().lock);
    Bar& b = BarLocked(window, bar);
    b.tracking = on;
    b.trackPos = pos;
  };
  SetCapture(window);
  if (dragging) {
    setTracking(true, state.pos);
  } else {
    SendMessageW(window, message, static_cast<WPARAM>(code), 0);
  }
  int track = state.pos;
  for (;;) {
    if (!IsWindow(window) || GetCapture() != window) break;
    MSG msg;
    BOOL got = GetMessageW(&msg, 0, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_LBUTTONUP) break;
    if (msg.message != WM_MOUSEMOVE) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    if (!dragging) continue;
    int span = MaxPos(state) - state.min;
    int moved = thumb.track <= 0 ? 0 : static_cast<int>(static_cast<long long>(along(msg.pt) - at) * span / thumb.track);
    int next = std::clamp(state.pos + moved, state.min, MaxPos(state));
    if (next == track) continue;
    track = next;
    setTracking(true, track);
    SendMessageW(window, message, MAKEWPARAM(SB_THUMBTRACK, track), 0);
  }
  if (GetCapture() == window) ReleaseCapture();
  if (!IsWindow(window)) return;
  if (dragging) {
    SendMessageW(window, message, MAKEWPARAM(SB_THUMBPOSITION, track), 0);
    setTracking(false, 0);
  }
  SendMessageW(window, message, SB_ENDSCROLL, 0);
}

void platform::win::detail::SetScrollPixelsHandler(void (*handler)(HWND, const RECT&, const RECT&, int, int)) {
  Lock guard(St().lock);
  St().pixels = handler;
}
