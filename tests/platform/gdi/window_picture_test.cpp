#include "platform/gdi/window_picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "picture_compare.h"
#include "platform/win/message_queue.h"
#include "platform/win/metrics.h"
#include "platform/win/scroll.h"

namespace {

HFONT FixedFont() {
  LOGFONTW fixed{};
  fixed.lfHeight = -8;
  std::u16string face = u"Pellix Test Fixed";
  std::copy(face.begin(), face.end(), fixed.lfFaceName);
  static HFONT font = CreateFontIndirectW(&fixed);
  return font;
}

// Paints its text in the fixed font and a blue line under it.
LRESULT PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  char16_t text[32];
  int length = GetWindowTextW(window, text, 32);
  SelectObject(dc, FixedFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(128, 0, 0));
  TextOutW(dc, 2, 2, text, length);
  HPEN blue = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  HGDIOBJ old = SelectObject(dc, blue);
  MoveToEx(dc, 2, 11, nullptr);
  LineTo(dc, 2 + 4 * length, 11);
  SelectObject(dc, old);
  DeleteObject(blue);
  EndPaint(window, &paint);
  return 0;
}

class WindowPictureTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PaintingProc;
    wc.hbrBackground = static_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = u"PaintingWindow";
    RegisterClassW(&wc);
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
};

TEST_F(WindowPictureTest, PaintedWindowWithChildMatchesExpectedPicture) {
  HWND top = CreateWindowExW(0, u"PaintingWindow", u"Top", WS_VISIBLE, 10, 10, 40, 30, 0, 0, 0, nullptr);
  HWND child = CreateWindowExW(0, u"PaintingWindow", u"ab", WS_CHILD | WS_VISIBLE, 16, 14, 20, 14, top, 0, 0,
                               nullptr);
  Pump();
  RECT update;
  EXPECT_FALSE(GetUpdateRect(top, &update, FALSE));  // painting emptied the update area
  auto picture = platform::gdi::WindowPicture(top);
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "window_with_child.png", 0), "");
  // The child's own corner shows the button-face background, the top window's text
  // starts at (2, 2) in dark red.
  EXPECT_EQ(pellix_test::PixelOf(*picture, 17, 15), (pellix_test::Bgra{200, 208, 212, 255}));
  EXPECT_EQ(pellix_test::PixelOf(*picture, 2, 2), (pellix_test::Bgra{0, 0, 128, 255}));
  // Hiding the child takes it out of the composed picture.
  ShowWindow(child, SW_HIDE);
  auto without = platform::gdi::WindowPicture(top);
  EXPECT_EQ(pellix_test::PixelOf(*without, 18, 16), (pellix_test::Bgra{200, 208, 212, 255}));
  DestroyWindow(top);
}

TEST_F(WindowPictureTest, InvalidationRepaintsOnlyWhenAsked) {
  HWND window = CreateWindowExW(0, u"PaintingWindow", u"x", WS_VISIBLE, 0, 0, 20, 14, 0, 0, 0, nullptr);
  Pump();
  SetWindowTextW(window, u"xx");  // no repaint until invalidated
  auto before = platform::gdi::WindowPicture(window);
  EXPECT_EQ(pellix_test::PixelOf(*before, 7, 3).r, 212);
  InvalidateRect(window, nullptr, TRUE);
  Pump();
  auto after = platform::gdi::WindowPicture(window);
  EXPECT_EQ(pellix_test::PixelOf(*after, 7, 3).r, 128);
  DestroyWindow(window);
}

TEST_F(WindowPictureTest, LayeredWindowKeepsItsAlphaPictureOnTheScreen) {
  HWND window = CreateWindowExW(WS_EX_LAYERED, u"PaintingWindow", u"", WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, 0, 0,
                                0, nullptr);
  HDC source = CreateCompatibleDC(0);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, 0, 0);
  const unsigned char pixels[8] = {255, 255, 255, 255, 0, 0, 0, 0};  // white, then transparent
  std::memcpy(bits, pixels, sizeof pixels);
  SelectObject(source, bitmap);
  POINT at{100, 200}, origin{0, 0};
  SIZE size{2, 1};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ASSERT_TRUE(UpdateLayeredWindow(window, 0, &at, &size, source, &origin, 0, &blend, ULW_ALPHA));
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.right, 102);
  // The picture given is the window's: it is not asked to paint over it.
  InvalidateRect(window, nullptr, TRUE);
  Pump();
  auto screen = platform::gdi::ScreenPicture();
  COLORREF desktop = GetSysColor(COLOR_BACKGROUND);
  EXPECT_EQ(pellix_test::PixelOf(*screen, 100, 200), (pellix_test::Bgra{255, 255, 255, 255}));
  EXPECT_EQ(pellix_test::PixelOf(*screen, 101, 200),
            (pellix_test::Bgra{GetBValue(desktop), GetGValue(desktop), GetRValue(desktop), 255}));
  HWND plain = CreateWindowExW(0, u"PaintingWindow", u"", WS_POPUP, 0, 0, 2, 2, 0, 0, 0, nullptr);
  EXPECT_FALSE(UpdateLayeredWindow(plain, 0, &at, &size, source, &origin, 0, &blend, ULW_ALPHA));
  DestroyWindow(plain);
  DeleteDC(source);
  DeleteObject(bitmap);
  DestroyWindow(window);
}

}  // namespace

namespace {

TEST_F(WindowPictureTest, ScrollWindowMovesThePixelsAndLeavesTheUncoveredPartToRepaint) {
  HWND window = CreateWindowExW(0, u"PaintingWindow", u"x", WS_VISIBLE, 0, 0, 30, 14, 0, 0, 0, nullptr);
  Pump();
  EXPECT_EQ(pellix_test::PixelOf(*platform::gdi::WindowPicture(window), 13, 11).b, 200);  // background
  ASSERT_TRUE(ScrollWindow(window, 10, 0, nullptr, nullptr));
  // The blue line under the text (x 2 to 6, row 11) now lies at x 12 to 16.
  auto moved = platform::gdi::WindowPicture(window);
  EXPECT_EQ(pellix_test::PixelOf(*moved, 13, 11), (pellix_test::Bgra{255, 0, 0, 255}));
  RECT update{};
  ASSERT_TRUE(GetUpdateRect(window, &update, FALSE));
  EXPECT_EQ(update.right, 10);
  Pump();
  auto repainted = platform::gdi::WindowPicture(window);
  EXPECT_EQ(pellix_test::PixelOf(*repainted, 3, 11), (pellix_test::Bgra{255, 0, 0, 255}));
  EXPECT_EQ(pellix_test::PixelOf(*repainted, 13, 11), (pellix_test::Bgra{255, 0, 0, 255}));
  DestroyWindow(window);
}

// Keeps its top ten rows out of its client area, as a tree keeps its header, and
// paints them red at WM_NCPAINT, counting the frame paints and the paints in order.
std::string paintLog;
LRESULT HeaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCCALCSIZE) reinterpret_cast<RECT*>(lParam)->top += 10;
  if (message == WM_NCPAINT) {
    paintLog += "nc ";
    HDC dc = GetWindowDC(window);
    RECT header{0, 0, 40, 10};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &header, red);
    DeleteObject(red);
    ReleaseDC(window, dc);
  }
  if (message == WM_PAINT) paintLog += "client ";
  return result;
}

void RegisterHeaderWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HeaderProc;
  wc.hbrBackground = static_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = u"HeaderWindow";
  RegisterClassW(&wc);
}

TEST_F(WindowPictureTest, ChildrenSitInTheClientAreaOfAWindowWithANonClientPart) {
  RegisterHeaderWindow();
  HWND top = CreateWindowExW(0, u"HeaderWindow", u"", WS_POPUP | WS_VISIBLE, 30, 40, 40, 30, 0, 0, 0, nullptr);
  CreateWindowExW(0, u"PaintingWindow", u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, 0, 0, nullptr);
  Pump();
  auto picture = platform::gdi::WindowPicture(top);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->height(), 20);
  const pellix_test::Bgra face{200, 208, 212, 255};
  EXPECT_EQ(pellix_test::PixelOf(*picture, 1, 1), face);    // the child, at the client's corner
  EXPECT_NE(pellix_test::PixelOf(*picture, 1, 12), face);   // below it, the window's own colour
  // On the screen the client area starts ten rows below the window's top.
  auto screen = platform::gdi::ScreenPicture();
  EXPECT_EQ(pellix_test::PixelOf(*screen, 31, 51), face);
  DestroyWindow(top);
}

TEST_F(WindowPictureTest, TheFrameIsPaintedBeforeTheClientAndOnlyWhenAsked) {
  RegisterHeaderWindow();
  paintLog.clear();
  HWND top = CreateWindowExW(0, u"HeaderWindow", u"", WS_POPUP | WS_VISIBLE, 30, 40, 40, 30, 0, 0, 0, nullptr);
  Pump();
  EXPECT_EQ(paintLog, "nc client ");
  const pellix_test::Bgra red{0, 0, 255, 255};
  auto whole = platform::gdi::WholeWindowPicture(top);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->height(), 30);
  EXPECT_EQ(pellix_test::PixelOf(*whole, 5, 5), red);
  EXPECT_NE(pellix_test::PixelOf(*whole, 5, 15), red);
  EXPECT_EQ(pellix_test::PixelOf(*platform::gdi::ScreenPicture(), 35, 45), red);
  // A client DC reaches only the client area, counted from its corner.
  HDC dc = GetDC(top);
  HBRUSH redBrush = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{-5, -10, 40, 1};
  FillRect(dc, &all, redBrush);
  ReleaseDC(top, dc);
  whole = platform::gdi::WholeWindowPicture(top);
  EXPECT_EQ(pellix_test::PixelOf(*whole, 5, 10), red);
  EXPECT_NE(pellix_test::PixelOf(*whole, 5, 11), red);
  // A clip region counts from the client's corner too.
  dc = GetDC(top);
  HRGN region = CreateRectRgn(0, 4, 2, 6);
  SelectClipRgn(dc, region);
  RECT inside{0, 0, 40, 20};
  FillRect(dc, &inside, redBrush);
  DeleteObject(region);
  ReleaseDC(top, dc);
  whole = platform::gdi::WholeWindowPicture(top);
  EXPECT_EQ(pellix_test::PixelOf(*whole, 1, 14), red);
  EXPECT_NE(pellix_test::PixelOf(*whole, 3, 14), red);
  DeleteObject(redBrush);
  // The client alone: no frame paint; the frame with the client: frame first.
  paintLog.clear();
  InvalidateRect(top, nullptr, FALSE);
  Pump();
  EXPECT_EQ(paintLog, "client ");
  paintLog.clear();
  RECT header{0, -10, 40, 0};
  RedrawWindow(top, &header, 0, RDW_INVALIDATE | RDW_FRAME);
  Pump();
  EXPECT_EQ(paintLog, "nc ");
  paintLog.clear();
  SetWindowPos(top, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  RedrawWindow(top, nullptr, 0, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(paintLog, "nc client ");
  DestroyWindow(top);
}

TEST_F(WindowPictureTest, ScrollBarsArePaintedInTheFrameWithTheirThumb) {
  HWND window = CreateWindowExW(0, u"PaintingWindow", u"", WS_VISIBLE | WS_VSCROLL, 0, 0, 40, 60, 0, 0, 0, nullptr);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 50, 0, 0};
  SetScrollInfo(window, SB_VERT, &info, TRUE);
  Pump();
  RECT client{};
  GetClientRect(window, &client);
  ASSERT_EQ(client.right, 40 - GetSystemMetrics(SM_CXVSCROLL));
  auto whole = platform::gdi::WholeWindowPicture(window);
  const int x = client.right + GetSystemMetrics(SM_CXVSCROLL) / 2;
  const int arrow = GetSystemMetrics(SM_CYVSCROLL);
  // The thumb, raised in the button face, fills half the track from its top; below it
  // the track shows the scroll bar colour.
  const COLORREF face = GetSysColor(COLOR_BTNFACE), track = GetSysColor(COLOR_SCROLLBAR);
  auto colour = [&](int y) {
    const pellix_test::Bgra p = pellix_test::PixelOf(*whole, x, y);
    return RGB(p.r, p.g, p.b);
  };
  EXPECT_EQ(colour(arrow + 4), face);
  if (face != track) {
    EXPECT_EQ(colour(60 - arrow - 3), track);
  }
  DestroyWindow(window);
}

}  // namespace
