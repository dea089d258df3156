#include "platform/gdi/frame_drawing.h"

#include <gtest/gtest.h>

#include <string>

#include "picture_compare.h"
#include "platform/base/errors.h"
#include "platform/gdi/device_context.h"

namespace {

// Pixels named by the system colour they show: H highlight, L 3D light, S shadow,
// D dark shadow, F button face, W window, K window text, else '?'.
std::string Shades(HDC dc, int width, int height) {
  std::string out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      char letter = '?';
      const std::pair<int, char> names[] = {{COLOR_BTNHIGHLIGHT, 'H'}, {COLOR_3DDKSHADOW, 'D'}, {COLOR_BTNSHADOW, 'S'},
                                            {COLOR_BTNFACE, 'F'},      {COLOR_WINDOWTEXT, 'K'},  {COLOR_3DLIGHT, 'L'}};
      for (auto [index, name] : names) {
        if (c == GetSysColor(index) && letter == '?') letter = name;
      }
      out += letter;
    }
    out += '\n';
  }
  return out;
}

class Canvas {
 public:
  Canvas(int width, int height) {
    dc_ = CreateCompatibleDC(0);
    bitmap_ = CreateCompatibleBitmap(dc_, width, height);
    SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
};

struct EdgeCase {
  const char* name;
  UINT edge;
  UINT flags;
  const char* expected;  // 5x4; the face colour fills what the edge leaves
};

TEST(FrameDrawing, EdgesLightTheirSidesAsRaisedOrSunken) {
  // The 3D light colour equals the face colour in the palette, so it shows as F.
  const EdgeCase cases[] = {
      {"raised", EDGE_RAISED, BF_RECT, "FFFFD\nFHHSD\nFSSSD\nDDDDD\n"},
      {"sunken", EDGE_SUNKEN, BF_RECT, "SSSSH\nSDDFH\nSFFFH\nHHHHH\n"},
      {"soft raised", EDGE_RAISED, BF_RECT | BF_SOFT, "HHHHD\nHFFSD\nHSSSD\nDDDDD\n"},
      {"etched, top and left only", EDGE_ETCHED, BF_TOPLEFT, "SSSSS\nSHHHH\nSHFFF\nSHFFF\n"},
      {"flat", EDGE_SUNKEN, BF_RECT | BF_FLAT, "SSSSS\nSSSSS\nSSSSS\nSSSSS\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(5, 4);
    RECT all{0, 0, 5, 4};
    FillRect(canvas.dc(), &all, GetSysColorBrush(COLOR_BTNFACE));
    RECT r = all;
    ASSERT_TRUE(DrawEdge(canvas.dc(), &r, c.edge, c.flags));
    EXPECT_EQ(Shades(canvas.dc(), 5, 4), c.expected);
  }
}

TEST(FrameDrawing, AdjustMovesTheRectangleInsideAndMiddleFills) {
  Canvas canvas(6, 6);
  RECT r{0, 0, 6, 6};
  ASSERT_TRUE(DrawEdge(canvas.dc(), &r, EDGE_SUNKEN, BF_LEFT | BF_TOP | BF_ADJUST | BF_MIDDLE));
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 6);
  EXPECT_EQ(GetPixel(canvas.dc(), 4, 4), GetSysColor(COLOR_BTNFACE));
  RECT unchanged{0, 0, 6, 6};
  DrawEdge(canvas.dc(), &unchanged, EDGE_RAISED, BF_RECT);
  EXPECT_EQ(unchanged.left, 0);
  EXPECT_FALSE(DrawEdge(canvas.dc(), &unchanged, EDGE_RAISED, BF_DIAGONAL | BF_RECT));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(FrameDrawing, CheckBoxesAndRadioButtonsMatchTheirPictures) {
  // The drawn check-image set of the tree: radio and check boxes in four states.
  const UINT states[] = {DFCS_BUTTONCHECK,
                         DFCS_BUTTONCHECK | DFCS_CHECKED,
                         DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE,
                         DFCS_BUTTONCHECK | DFCS_BUTTON3STATE | DFCS_CHECKED | DFCS_PUSHED,
                         DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_FLAT,
                         DFCS_BUTTONRADIO,
                         DFCS_BUTTONRADIO | DFCS_CHECKED,
                         DFCS_BUTTONRADIO | DFCS_CHECKED | DFCS_FLAT | DFCS_HOT};
  Canvas canvas(16 * 8, 16);
  RECT all{0, 0, 16 * 8, 16};
  FillRect(canvas.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  int x = 0;
  for (UINT state : states) {
    RECT r{x, 0, x + 16, 16};
    ASSERT_TRUE(DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, state));
    x += 16;
  }
  // Drawn without antialiasing: exact.
  EXPECT_EQ(pellix_test::CompareWithExpected(*platform::gdi::TargetOf(canvas.dc()), "frame_controls.png", 0), "");
  RECT r{0, 0, 16, 16};
  EXPECT_FALSE(DrawFrameControl(canvas.dc(), &r, DFC_CAPTION, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  // A push button is a raised edge; pushed, a sunken one.
  ASSERT_TRUE(DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, DFCS_BUTTONPUSH));
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
  ASSERT_TRUE(DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED));
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), GetSysColor(COLOR_BTNSHADOW));
}

}  // namespace
