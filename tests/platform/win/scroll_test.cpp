#include "platform/win/scroll.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <vector>

#include "platform/base/errors.h"
#include "platform/win/input.h"
#include "platform/win/input_driver.h"
#include "platform/win/message_queue.h"

namespace {

namespace drive = platform::input_driver;

struct Scroll {
  UINT message;
  int code;
  int pos;       // the high word of wParam
  int trackPos;  // what GetScrollInfo told at that moment
  bool operator==(const Scroll&) const = default;
};

std::vector<Scroll> g_scrolls;
std::vector<SIZE> g_sizes;
int g_header = 0;  // rows the window keeps for itself at its top

LRESULT ScrollProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL:
    case WM_HSCROLL: {
      SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(window, message == WM_VSCROLL ? SB_VERT : SB_HORZ, &info);
      g_scrolls.push_back(Scroll{message, LOWORD(static_cast<DWORD>(wParam)), HIWORD(static_cast<DWORD>(wParam)), info.nTrackPos});
      return 0;
    }
    case WM_SIZE:
      g_sizes.push_back(SIZE{LOWORD(static_cast<DWORD>(lParam)), HIWORD(static_cast<DWORD>(lParam))});
      break;
    case WM_NCCALCSIZE: {
      LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      reinterpret_cast<RECT*>(lParam)->top += g_header;
      return result;
    }
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class ScrollTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ScrollProc;
    wc.lpszClassName = u"ScrollTest";
    RegisterClassW(&wc);
  }
  void SetUp() override {
    g_scrolls.clear();
    g_sizes.clear();
    g_header = 0;
  }
  void TearDown() override { drive::RunPending(); }
  static HWND Make(DWORD style, int width = 200, int height = 200) {
    HWND window = CreateWindowExW(0, u"ScrollTest", u"", WS_POPUP | WS_VISIBLE | style, 100, 100, width, height, 0, 0,
                                  0, nullptr);
    SetForegroundWindow(window);
    return window;
  }
  static SIZE Client(HWND window) {
    RECT rect;
    GetClientRect(window, &rect);
    return SIZE{rect.right, rect.bottom};
  }
  static void Set(HWND window, int bar, int min, int max, UINT page, int pos, UINT extra = 0) {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS | extra, min, max, page, pos, 0};
    SetScrollInfo(window, bar, &info, TRUE);
  }
};

TEST_F(ScrollTest, ABarTakesItsRoomFromTheClientAreaAndStartsWithTheDefaultRange) {
  HWND window = Make(WS_VSCROLL | WS_HSCROLL);
  EXPECT_EQ(Client(window).cx, 200 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(Client(window).cy, 200 - GetSystemMetrics(SM_CYHSCROLL));
  int min = -1, max = -1;
  ASSERT_TRUE(GetScrollRange(window, SB_VERT, &min, &max));
  EXPECT_EQ(min, 0);
  EXPECT_EQ(max, 100);
  HWND plain = Make(0);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  SetLastError(0);
  EXPECT_FALSE(GetScrollInfo(plain, SB_VERT, &info));
  EXPECT_EQ(GetLastError(), ERROR_NO_SCROLLBARS);
  DestroyWindow(window);
  DestroyWindow(plain);
}

TEST_F(ScrollTest, TheRangeDecidesWhetherTheBarShowsAndWhereThePositionMayBe) {
  struct Case {
    const char* name;
    int min, max;
    UINT page;
    int pos;
    UINT extra;
    int expectPos;
    bool shown;
  };
  const std::vector<Case> cases = {
      {"more than a page", 0, 99, 50, 10, 0, 10, true},
      {"position held below the last page", 0, 99, 50, 80, 0, 50, true},
      {"position held above the minimum", 10, 99, 50, 0, 0, 10, true},
      {"exactly one page hides the bar", 0, 99, 100, 30, 0, 0, false},
      {"an empty range hides the bar", 5, 5, 0, 7, 0, 5, false},
      {"no page: the whole range", 0, 20, 0, 25, 0, 20, true},
      {"kept shown without need", 0, 9, 10, 0, SIF_DISABLENOSCROLL, 0, true},
      {"a page larger than the range", 0, 9, 500, 3, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND window = Make(0);
    g_sizes.clear();
    Set(window, SB_VERT, c.min, c.max, c.page, c.pos, c.extra);
    EXPECT_EQ(GetScrollPos(window, SB_VERT), c.expectPos);
    EXPECT_EQ((GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL) != 0, c.shown);
    // Showing the bar narrows the client area, and the window hears of it.
    EXPECT_EQ(Client(window).cx, c.shown ? 200 - GetSystemMetrics(SM_CXVSCROLL) : 200);
    EXPECT_EQ(g_sizes.size(), c.shown ? 1u : 0u);
    DestroyWindow(window);
  }
}

TEST_F(ScrollTest, BadRequestsFailClearly) {
  HWND window = Make(WS_VSCROLL);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 5, 0};
  SCROLLINFO bad = info;
  bad.cbSize = 3;
  struct Case {
    const char* name;
    std::function<bool()> call;
    DWORD error;
  };
  const std::vector<Case> cases = {
      {"scroll bar control", [&] { return SetScrollInfo(window, SB_CTL, &info, TRUE) != 0; }, ERROR_INVALID_PARAMETER},
      {"size", [&] { return SetScrollInfo(window, SB_VERT, &bad, TRUE) != 0; }, ERROR_INVALID_PARAMETER},
      {"window", [&] { return SetScrollInfo(0x7FFF0, SB_VERT, &info, TRUE) != 0; }, ERROR_INVALID_WINDOW_HANDLE},
      {"range upside down", [&] { return SetScrollRange(window, SB_VERT, 10, 2, TRUE) != 0; }, ERROR_INVALID_PARAMETER},
      {"update region", [&] { return ScrollWindowEx(window, 0, 5, nullptr, nullptr, 1, nullptr, 0) != ERROR; },
       ERROR_NOT_SUPPORTED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0);
    EXPECT_FALSE(c.call());
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(GetScrollPos(window, SB_VERT), 0);  // nothing was changed
  DestroyWindow(window);
}

// A 200 by 200 window with a vertical bar over 0..99, ten to a page: the bar is 16
// wide, its arrows 16 high, its track 168; the thumb is 16 high and travels 152
// pixels for positions 0 to 90.
TEST_F(ScrollTest, PressesOnTheBarSendScrollRequests) {
  struct Case {
    const char* name;
    int startPos;
    int y;  // of the press in the bar, from its top
    std::vector<int> codes;
  };
  const std::vector<Case> cases = {
      {"up arrow", 50, 5, {SB_LINEUP, SB_ENDSCROLL}},
      {"down arrow", 50, 195, {SB_LINEDOWN, SB_ENDSCROLL}},
      {"track above the thumb", 50, 30, {SB_PAGEUP, SB_ENDSCROLL}},
      {"track below the thumb", 0, 100, {SB_PAGEDOWN, SB_ENDSCROLL}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND window = Make(WS_VSCROLL);
    Set(window, SB_VERT, 0, 99, 10, c.startPos);
    g_scrolls.clear();
    drive::Click(POINT{100 + 190, 100 + c.y}, VK_LBUTTON);
    drive::RunPending();
    std::vector<int> codes;
    for (const auto& s : g_scrolls) {
      EXPECT_EQ(s.message, WM_VSCROLL);
      codes.push_back(s.code);
    }
    EXPECT_EQ(codes, c.codes);
    EXPECT_EQ(GetCapture(), 0u);
    DestroyWindow(window);
  }
}

TEST_F(ScrollTest, DraggingTheThumbTracksAndThenSetsThePosition) {
  HWND window = Make(WS_VSCROLL);
  Set(window, SB_VERT, 0, 99, 10, 0);
  // The thumb sits at 16..32; 76 pixels down is 45 positions.
  drive::Drag(POINT{290, 120}, POINT{290, 196}, 2, VK_LBUTTON);
  drive::RunPending();
  EXPECT_EQ(g_scrolls, (std::vector<Scroll>{{WM_VSCROLL, SB_THUMBTRACK, 22, 22},
                                            {WM_VSCROLL, SB_THUMBTRACK, 45, 45},
                                            {WM_VSCROLL, SB_THUMBPOSITION, 45, 45},
                                            {WM_VSCROLL, SB_ENDSCROLL, 0, 0}}));
  // The window's own handling decides the position; the drag alone keeps it.
  EXPECT_EQ(GetScrollPos(window, SB_VERT), 0);
  DestroyWindow(window);
}

TEST_F(ScrollTest, TheHorizontalBarAnswersAlongItsLength) {
  HWND window = Make(WS_HSCROLL);
  Set(window, SB_HORZ, 0, 9, 0, 0);
  drive::Click(POINT{100 + 195, 100 + 190}, VK_LBUTTON);  // its right arrow
  drive::RunPending();
  EXPECT_EQ(g_scrolls, (std::vector<Scroll>{{WM_HSCROLL, SB_LINERIGHT, 0, 0}, {WM_HSCROLL, SB_ENDSCROLL, 0, 0}}));
  DestroyWindow(window);
}

TEST_F(ScrollTest, ScrollWindowInvalidatesWhatItUncoversAndMovesChildren) {
  struct Case {
    const char* name;
    int dx, dy;
    bool withRect;
    RECT uncovered;
    POINT child;  // where the child ends, in the client area
  };
  const std::vector<Case> cases = {
      {"up", 0, -10, false, {0, 90, 100, 100}, {20, 10}},
      {"right", 15, 0, false, {0, 0, 15, 100}, {35, 20}},
      {"both ways: all of it", 5, 5, false, {0, 0, 100, 100}, {25, 25}},
      {"farther than the area", 0, 300, false, {0, 0, 100, 100}, {20, 320}},
      {"part of the area, children stay", 0, 10, true, {0, 50, 100, 60}, {20, 20}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND window = Make(0, 100, 100);
    HWND child = CreateWindowExW(0, u"ScrollTest", u"", WS_CHILD | WS_VISIBLE, 20, 20, 10, 10, window, 0, 0, nullptr);
    drive::RunPending();  // paints, leaving nothing to update
    RECT part{0, 50, 100, 100};
    ASSERT_TRUE(ScrollWindow(window, c.dx, c.dy, c.withRect ? &part : nullptr, nullptr));
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));
    EXPECT_EQ(update.left, c.uncovered.left);
    EXPECT_EQ(update.top, c.uncovered.top);
    EXPECT_EQ(update.right, c.uncovered.right);
    EXPECT_EQ(update.bottom, c.uncovered.bottom);
    RECT rect;
    GetWindowRect(child, &rect);
    EXPECT_EQ(rect.left - 100, c.child.x);
    EXPECT_EQ(rect.top - 100, c.child.y);
    DestroyWindow(window);
  }
}

TEST_F(ScrollTest, ScrollWindowExReportsWithoutInvalidatingAndMovesAPendingUpdate) {
  HWND window = Make(0, 100, 100);
  drive::RunPending();
  RECT dirty{10, 10, 20, 20};
  InvalidateRect(window, &dirty, FALSE);
  RECT update{};
  EXPECT_EQ(ScrollWindowEx(window, 0, 30, nullptr, nullptr, 0, &update, 0), SIMPLEREGION);
  EXPECT_EQ(update.bottom, 30);
  RECT pending{};
  ASSERT_TRUE(GetUpdateRect(window, &pending, FALSE));
  EXPECT_EQ(pending.top, 40);  // the dirty part moved with its pixels, nothing else added
  EXPECT_EQ(pending.bottom, 50);
  EXPECT_EQ(ScrollWindowEx(window, 0, 0, nullptr, nullptr, 0, &update, SW_INVALIDATE), NULLREGION);
  DestroyWindow(window);
}

TEST_F(ScrollTest, AWindowMayKeepPartOfItselfOutOfItsClientArea) {
  g_header = 20;
  HWND window = Make(WS_VSCROLL);
  HWND child = CreateWindowExW(0, u"ScrollTest", u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window, 0, 0, nullptr);
  EXPECT_EQ(Client(window).cy, 180);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  EXPECT_EQ(origin.y, 120);
  RECT rect;
  GetWindowRect(child, &rect);
  EXPECT_EQ(rect.top, 120);
  EXPECT_EQ(WindowFromPoint(POINT{105, 125}), child);
  // The kept rows are non-client: the default hit test answers HTBORDER there.
  EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(150, 110)), HTBORDER);
  EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(295, 150)), HTVSCROLL);
  EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(150, 150)), HTCLIENT);
  // A frame change asks again.
  g_header = 0;
  g_sizes.clear();
  SetWindowPos(window, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  EXPECT_EQ(Client(window).cy, 200);
  ASSERT_EQ(g_sizes.size(), 1u);
  EXPECT_EQ(g_sizes[0].cy, 200);
  DestroyWindow(window);
}

}  // namespace
