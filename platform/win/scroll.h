// Scrolling: the standard scroll bars of windows (WS_HSCROLL, WS_VSCROLL) with their
// range, page, position and thumb-tracking position; a press on a bar tracks it in a
// modal loop that sends WM_HSCROLL / WM_VSCROLL as the platform does (one step per
// press on an arrow or the track, thumb tracking while dragged, then the end); and
// ScrollWindow / ScrollWindowEx, which move a window's pixels and children and
// invalidate the part uncovered. A bar is shown when its range needs it (more
// positions than the page holds) and hidden when not, unless SIF_DISABLENOSCROLL keeps
// it; showing or hiding a bar changes the client area (WM_SIZE).
#pragma once

#include "platform/base/types.h"
#include "platform/win/region_kinds.h"
#include "platform/win/window.h"

inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_CTL = 2;
inline constexpr int SB_BOTH = 3;

// Scroll request codes (the low word of WM_HSCROLL / WM_VSCROLL's wParam).
inline constexpr int SB_LINEUP = 0;
inline constexpr int SB_LINELEFT = 0;
inline constexpr int SB_LINEDOWN = 1;
inline constexpr int SB_LINERIGHT = 1;
inline constexpr int SB_PAGEUP = 2;
inline constexpr int SB_PAGELEFT = 2;
inline constexpr int SB_PAGEDOWN = 3;
inline constexpr int SB_PAGERIGHT = 3;
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int SB_TOP = 6;
inline constexpr int SB_LEFT = 6;
inline constexpr int SB_BOTTOM = 7;
inline constexpr int SB_RIGHT = 7;
inline constexpr int SB_ENDSCROLL = 8;

inline constexpr UINT SIF_RANGE = 0x0001;
inline constexpr UINT SIF_PAGE = 0x0002;
inline constexpr UINT SIF_POS = 0x0004;
inline constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
inline constexpr UINT SIF_TRACKPOS = 0x0010;
inline constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

inline constexpr UINT SW_SCROLLCHILDREN = 0x0001;
inline constexpr UINT SW_INVALIDATE = 0x0002;
inline constexpr UINT SW_ERASE = 0x0004;

inline constexpr DWORD ERROR_NO_SCROLLBARS = 1447;

struct SCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
};

// The bars of a window (SB_HORZ, SB_VERT); scroll bar controls (SB_CTL) are not kept
// here and fail with ERROR_INVALID_PARAMETER. A window made with a bar's style starts
// with the range 0 to 100.
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info);
int SetScrollPos(HWND window, int bar, int position, BOOL redraw);
int GetScrollPos(HWND window, int bar);
BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw);
BOOL GetScrollRange(HWND window, int bar, int* minimum, int* maximum);
BOOL ShowScrollBar(HWND window, int bar, BOOL show);

// Moves the pixels of `scroll` (the client area when null) by (dx, dy), showing them
// only within `clip` (the client area when null), and reports in `update` the part
// left uncovered. SW_INVALIDATE invalidates it (SW_ERASE with erasing);
// SW_SCROLLCHILDREN moves the children that lie in `scroll` too. An update region
// (`updateRegion` not 0) is not kept by this window system: ERROR_NOT_SUPPORTED.
int ScrollWindowEx(HWND window, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRegion,
                   RECT* update, UINT flags);
// ScrollWindowEx with invalidation and erasing, moving all children when `scroll` is
// null.
BOOL ScrollWindow(HWND window, int dx, int dy, const RECT* scroll, const RECT* clip);

namespace platform::win::detail {

// A bar's rectangle on the screen; false when the window shows no such bar.
bool ScrollBarOnScreen(HWND window, int bar, RECT* rect);

// Whether a program has set or asked for the window's bars (their range, page or
// position).
bool ScrollBarsSet(HWND window);

// The thumb of a window's bar, in pixels from the bar's start (where it is dragged to
// while tracking); false when the bar is not shown or has nothing to scroll.
bool ScrollThumb(HWND window, int bar, int* start, int* size);

// Tracks a press on a window's bar at a screen point until the button comes up.
void TrackScrollBar(HWND window, int bar, POINT point);

// The drawing layer moves a window's pixels (`area` by dx, dy, kept within `clip`,
// client coordinates); it installs the mover.
void SetScrollPixelsHandler(void (*handler)(HWND window, const RECT& area, const RECT& clip, int dx, int dy));

}  // namespace platform::win::detail
