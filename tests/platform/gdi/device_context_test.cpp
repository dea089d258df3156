#include "platform/gdi/device_context.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "picture_compare.h"

namespace {

// A white memory DC of a small size, with the built-in fixed font selected.
class Sheet {
 public:
  Sheet(int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(0);
    bitmap_ = CreateCompatibleBitmap(dc_, width, height);
    SelectObject(dc_, bitmap_);
    RECT all{0, 0, width, height};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    LOGFONTW fixed{};
    fixed.lfHeight = -8;
    std::u16string face = u"Pellix Test Fixed";
    std::copy(face.begin(), face.end(), fixed.lfFaceName);
    font_ = CreateFontIndirectW(&fixed);
    SelectObject(dc_, font_);
  }
  ~Sheet() {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    DeleteObject(font_);
  }
  HDC dc() const { return dc_; }
  // Rows of '#' (black), '.' (white) and '?' (anything else).
  std::string Picture() const {
    POINT origin;
    SetViewportOrgEx(dc_, 0, 0, &origin);
    std::string out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        COLORREF c = GetPixel(dc_, x, y);
        out += c == RGB(0, 0, 0) ? '#' : c == RGB(255, 255, 255) ? '.' : '?';
      }
      out += '\n';
    }
    SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
    return out;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HFONT font_;
};

struct ShapeCase {
  const char* name;
  std::function<void(HDC)> draw;
  const char* expected;
};

TEST(DeviceContext, ShapesCoverExactlyThePlatformsPixels) {
  const ShapeCase cases[] = {
      {"line right stops before its end", [](HDC dc) { MoveToEx(dc, 1, 1, nullptr); LineTo(dc, 5, 1); },
       "......\n.####.\n......\n......\n"},
      {"line left stops before its end", [](HDC dc) { MoveToEx(dc, 5, 2, nullptr); LineTo(dc, 1, 2); },
       "......\n......\n..####\n......\n"},
      {"line down", [](HDC dc) { MoveToEx(dc, 0, 0, nullptr); LineTo(dc, 0, 3); },
       "#.....\n#.....\n#.....\n......\n"},
      {"rectangle outline with the hollow brush",
       [](HDC dc) {
         SelectObject(dc, GetStockObject(NULL_BRUSH));
         Rectangle(dc, 1, 0, 5, 4);
       },
       ".####.\n.#..#.\n.#..#.\n.####.\n"},
      {"frame rect", [](HDC dc) {
         RECT r{0, 1, 3, 4};
         FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
       },
       "......\n###...\n#.#...\n###...\n"},
      {"fill rect by system colour index + 1", [](HDC dc) {
         RECT r{4, 2, 6, 4};
         FillRect(dc, &r, static_cast<HBRUSH>(COLOR_WINDOWTEXT + 1));
       },
       "......\n......\n....##\n....##\n"},
      {"viewport origin moves drawing", [](HDC dc) {
         SetViewportOrgEx(dc, 2, 1, nullptr);
         SetPixel(dc, 0, 0, 0);
       },
       "......\n..#...\n......\n......\n"},
      {"clip rect holds drawing back", [](HDC dc) {
         IntersectClipRect(dc, 2, 0, 4, 6);
         RECT r{0, 0, 6, 1};
         FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
       },
       "..##..\n......\n......\n......\n"},
      {"focus rect dots every other pixel", [](HDC dc) {
         RECT r{0, 0, 5, 4};
         DrawFocusRect(dc, &r);
       },
       "#.#.#.\n......\n#...#.\n#.#.#.\n"},
      {"pattern brush repeats from the brush origin, mono bits in text and background colours",
       [](HDC dc) {
         const BYTE checker[] = {0x80, 0, 0x40, 0};  // 2 x 2: set (white) on the diagonal
         HBITMAP pattern = CreateBitmap(2, 2, 1, 1, checker);
         HBRUSH brush = CreatePatternBrush(pattern);
         DeleteObject(pattern);
         SetTextColor(dc, RGB(255, 255, 255));
         SetBkColor(dc, RGB(0, 0, 0));
         SetBrushOrgEx(dc, 1, 0, nullptr);
         RECT r{0, 0, 6, 2};
         FillRect(dc, &r, brush);
         DeleteObject(brush);
       },
       ".#.#.#\n#.#.#.\n......\n......\n"},
      {"pattern brush in PatBlt", [](HDC dc) {
         const BYTE stripes[] = {0x80, 0, 0x80, 0};  // 2 x 2: the left column set, aligned to the DC, not the blit
         HBITMAP pattern = CreateBitmap(2, 2, 1, 1, stripes);
         HBRUSH brush = CreatePatternBrush(pattern);
         DeleteObject(pattern);
         SetTextColor(dc, RGB(255, 255, 255));
         SetBkColor(dc, RGB(0, 0, 0));
         HGDIOBJ old = SelectObject(dc, brush);
         PatBlt(dc, 1, 2, 4, 2, PATCOPY);
         SelectObject(dc, old);
         DeleteObject(brush);
       },
       "......\n......\n..#.#.\n..#.#.\n"},
      {"polygon fills and outlines its corners", [](HDC dc) {
         SelectObject(dc, GetStockObject(BLACK_BRUSH));
         const POINT points[] = {{1, 0}, {4, 0}, {4, 3}, {1, 3}};
         Polygon(dc, points, 4);
       },
       ".####.\n.####.\n.####.\n.####.\n"},
      {"round rect without corners is a rectangle", [](HDC dc) {
         SelectObject(dc, GetStockObject(BLACK_BRUSH));
         RoundRect(dc, 0, 0, 3, 3, 0, 0);
       },
       "###...\n###...\n###...\n......\n"},
      {"round rect cuts its corners", [](HDC dc) {
         SelectObject(dc, GetStockObject(BLACK_BRUSH));
         SelectObject(dc, GetStockObject(NULL_PEN));
         RoundRect(dc, 0, 0, 6, 4, 4, 4);
       },
       ".####.\n######\n######\n.####.\n"},
      {"focus rect twice leaves nothing", [](HDC dc) {
         RECT r{0, 0, 5, 4};
         DrawFocusRect(dc, &r);
         DrawFocusRect(dc, &r);
       },
       "......\n......\n......\n......\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sheet sheet(6, 4);
    c.draw(sheet.dc());
    EXPECT_EQ(sheet.Picture(), c.expected);
  }
}

TEST(DeviceContext, FixedFontTextHasStableMetricsAndBoxes) {
  Sheet sheet(12, 10);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(sheet.dc(), u"ab\u20ac", 3, &size));
  EXPECT_EQ(size.cx, 12);  // three characters of four pixels
  EXPECT_EQ(size.cy, 8);
  TEXTMETRICW metrics{};
  GetTextMetricsW(sheet.dc(), &metrics);
  EXPECT_EQ(metrics.tmHeight, 8);
  EXPECT_EQ(metrics.tmAscent, 6);
  SetBkMode(sheet.dc(), TRANSPARENT);
  TextOutW(sheet.dc(), 1, 1, u"a b", 3);
  EXPECT_EQ(sheet.Picture(),
            "............\n"
            ".###.....###\n"
            ".###.....###\n"
            ".###.....###\n"
            ".###.....###\n"
            ".###.....###\n"
            ".###.....###\n"
            "............\n"
            "............\n"
            "............\n");
}

TEST(DeviceContext, DrawTextLaysOutLines) {
  struct Case {
    const char16_t* text;
    UINT format;
    RECT rect;
    RECT expectedRect;  // after DT_CALCRECT
    int expectedHeight;
  };
  const Case cases[] = {
      // Wrapped text narrows the rectangle to its widest line ("one two" is 28 wide).
      {u"one two three", DT_WORDBREAK, {0, 0, 32, 100}, {0, 0, 28, 16}, 16},
      {u"one two three", DT_WORDBREAK, {0, 0, 24, 100}, {0, 0, 20, 24}, 24},
      {u"unbreakable word", DT_WORDBREAK, {0, 0, 24, 100}, {0, 0, 44, 16}, 16},  // wider than the box
      {u"one two three", DT_SINGLELINE, {0, 0, 32, 100}, {0, 0, 52, 8}, 8},
      {u"a\r\nbc\nd", 0, {0, 0, 100, 100}, {0, 0, 8, 24}, 24},
      {u"&Save && go", DT_SINGLELINE, {0, 0, 100, 8}, {0, 0, 36, 8}, 8},
      {u"&Save", DT_SINGLELINE | DT_NOPREFIX, {0, 0, 100, 8}, {0, 0, 20, 8}, 8},
      {u"a\tb", DT_SINGLELINE | DT_EXPANDTABS, {0, 0, 100, 8}, {0, 0, 36, 8}, 8},
      {u"", DT_SINGLELINE, {5, 5, 50, 50}, {5, 5, 5, 13}, 8},
  };
  Sheet sheet(4, 4);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)) + " in " +
                 std::to_string(c.rect.right));
    RECT rect = c.rect;
    EXPECT_EQ(DrawTextW(sheet.dc(), c.text, -1, &rect, c.format | DT_CALCRECT), c.expectedHeight);
    EXPECT_EQ(rect.right, c.expectedRect.right);
    EXPECT_EQ(rect.bottom, c.expectedRect.bottom);
  }
}

// The tree's multi-line cells: lines that do not fit whole are left out and the last
// one shown ends in "...".
TEST(DeviceContext, DrawTextAsAnEditControlShowsWholeLinesAndEndsInDots) {
  const UINT cell = DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_END_ELLIPSIS;
  struct Case {
    UINT format;
    int height;
    bool dotsAtEnd;  // the eighth character of line two is drawn
  };
  const Case cases[] = {{cell, 16, true}, {DT_TOP | DT_WORDBREAK | DT_NOPREFIX, 24, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    Sheet sheet(32, 20);
    SetBkMode(sheet.dc(), TRANSPARENT);
    RECT rect{0, 0, 32, 20};  // two and a half lines of eight pixels
    EXPECT_EQ(DrawTextW(sheet.dc(), u"one two three four", -1, &rect, c.format), c.height);
    EXPECT_EQ(GetPixel(sheet.dc(), 29, 9) == RGB(0, 0, 0), c.dotsAtEnd);
  }
}

TEST(DeviceContext, DrawTextAlignsEllipsizesAndUnderlinesHotKeys) {
  Sheet sheet(24, 10);
  SetBkMode(sheet.dc(), TRANSPARENT);
  RECT rect{0, 0, 24, 10};
  // 9 characters do not fit 24 pixels: 3 characters and "..." do (24 pixels).
  DrawTextW(sheet.dc(), u"&abcdefgh", -1, &rect, DT_SINGLELINE | DT_END_ELLIPSIS | DT_VCENTER);
  std::string picture = sheet.Picture();
  // Vertically centred: 8 pixels high in 10 starts at row 1; the hot key "a" is
  // underlined on row 1 + ascent 6 + 1 = 8, under the first box only.
  EXPECT_EQ(picture.substr(0, 25), "........................\n");
  EXPECT_EQ(picture.substr(8 * 25, 25), "####....................\n");
  EXPECT_EQ(picture.substr(1 * 25, 25), "###.###.###.###.###.###.\n");

  Sheet right(12, 8);
  SetBkMode(right.dc(), TRANSPARENT);
  RECT box{0, 0, 12, 8};
  DrawTextW(right.dc(), u"ab", -1, &box, DT_SINGLELINE | DT_RIGHT);
  EXPECT_EQ(right.Picture().substr(0, 13), "....###.###.\n");
}

TEST(DeviceContext, OpaqueBackgroundFillsBehindText) {
  Sheet sheet(8, 8);
  SetBkColor(sheet.dc(), RGB(0, 0, 0));
  SetTextColor(sheet.dc(), RGB(0, 0, 0));
  TextOutW(sheet.dc(), 0, 0, u" ", 1);
  EXPECT_EQ(sheet.Picture().substr(0, 9), "####....\n");
}

struct RopCase {
  DWORD rop;
  COLORREF expected;
};

TEST(DeviceContext, BitBltCombinesWithRasterOperations) {
  const COLORREF source = RGB(0xF0, 0x0F, 0x55), dest = RGB(0x3C, 0x3C, 0xFF);
  const RopCase cases[] = {
      {SRCCOPY, source},
      {SRCAND, RGB(0x30, 0x0C, 0x55)},
      {SRCPAINT, RGB(0xFC, 0x3F, 0xFF)},
      {SRCINVERT, RGB(0xCC, 0x33, 0xAA)},
      {NOTSRCCOPY, RGB(0x0F, 0xF0, 0xAA)},
      {DSTINVERT, RGB(0xC3, 0xC3, 0x00)},
      {BLACKNESS, RGB(0, 0, 0)},
      {WHITENESS, RGB(255, 255, 255)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rop);
    Sheet from(2, 2), to(2, 2);
    SetPixel(from.dc(), 1, 1, source);
    SetPixel(to.dc(), 0, 0, dest);
    ASSERT_TRUE(BitBlt(to.dc(), 0, 0, 1, 1, from.dc(), 1, 1, c.rop));
    EXPECT_EQ(GetPixel(to.dc(), 0, 0), c.expected);
    EXPECT_EQ(GetPixel(to.dc(), 1, 1), RGB(255, 255, 255));  // outside the blit
  }
}

// Operations that read the brush: the pattern is the destination DC's brush.
TEST(DeviceContext, BitBltCombinesThePatternWithSourceAndDestination) {
  const COLORREF source = RGB(0xF0, 0x0F, 0x55), dest = RGB(0x3C, 0x3C, 0xFF), pattern = RGB(0x0F, 0xAA, 0x00);
  const RopCase cases[] = {
      {PATCOPY, pattern},
      {PATINVERT, RGB(0x33, 0x96, 0xFF)},
      {MERGECOPY, RGB(0x00, 0x0A, 0x00)},
      {MERGEPAINT, RGB(0x3F, 0xFC, 0xFF)},
      // DSPDxax: where the source bit is set the pattern's, elsewhere the destination's.
      {DSPDxax, RGB(0x3C ^ ((0x0F ^ 0x3C) & 0xF0), 0x3C ^ ((0xAA ^ 0x3C) & 0x0F), 0xFF ^ ((0x00 ^ 0xFF) & 0x55))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rop);
    Sheet from(2, 2), to(2, 2);
    SetPixel(from.dc(), 1, 1, source);
    SetPixel(to.dc(), 0, 0, dest);
    HBRUSH brush = CreateSolidBrush(pattern);
    SelectObject(to.dc(), brush);
    ASSERT_TRUE(BitBlt(to.dc(), 0, 0, 1, 1, from.dc(), 1, 1, c.rop));
    EXPECT_EQ(GetPixel(to.dc(), 0, 0), c.expected);
    SelectObject(to.dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
  }
  Sheet sheet(2, 1);
  EXPECT_FALSE(PatBlt(sheet.dc(), 0, 0, 1, 1, SRCCOPY));  // a pattern blit has no source
  ASSERT_TRUE(PatBlt(sheet.dc(), 0, 0, 1, 1, DSTINVERT));
  EXPECT_EQ(sheet.Picture(), "#.\n");
}

// Monochrome bitmaps: white source bits paint the background colour, black ones the
// text colour; colour pixels equal to the source's background colour become white.
TEST(DeviceContext, MonochromeBlitsMapThroughTextAndBackgroundColours) {
  const unsigned char bits[] = {0xA0, 0x00};  // 1 0 1 0 across one row (padded to 16 bits)
  HBITMAP mono = CreateBitmap(4, 1, 1, 1, bits);
  BITMAP described{};
  GetObjectW(mono, sizeof described, &described);
  EXPECT_EQ(described.bmBitsPixel, 1);
  HDC monoDc = CreateCompatibleDC(0);
  SelectObject(monoDc, mono);
  Sheet colour(4, 1);
  SetTextColor(colour.dc(), RGB(255, 0, 0));
  SetBkColor(colour.dc(), RGB(0, 0, 255));
  BitBlt(colour.dc(), 0, 0, 4, 1, monoDc, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(colour.dc(), 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(colour.dc(), 1, 0), RGB(255, 0, 0));
  // Back: the colour DC's background colour (blue) is white in the mask.
  BitBlt(monoDc, 0, 0, 4, 1, colour.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(monoDc, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(monoDc, 1, 0), RGB(0, 0, 0));
  DeleteDC(monoDc);
  DeleteObject(mono);
}

struct StretchCase {
  const char* name;
  int mode;
  const char* source;  // four pixels, '#' black
  int width;           // of the destination; negative mirrors
  const char* expected;
};

TEST(DeviceContext, StretchBltScalesByTheStretchMode) {
  const StretchCase cases[] = {
      {"black on white keeps black", BLACKONWHITE, "#..#", 2, "##"},
      {"white on black keeps white", WHITEONBLACK, "#..#", 2, ".."},
      {"colour on colour samples the centre", COLORONCOLOR, "#..#", 2, ".#"},
      {"enlarging repeats pixels", COLORONCOLOR, "#.##", 8, "##..####"},
      {"a negative width mirrors", COLORONCOLOR, "#.##", -8, "####..##"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sheet from(4, 1), to(8, 1);
    for (int x = 0; x < 4; ++x) {
      if (c.source[x] == '#') SetPixel(from.dc(), x, 0, 0);
    }
    EXPECT_EQ(SetStretchBltMode(to.dc(), c.mode), BLACKONWHITE);
    int x = c.width < 0 ? -c.width - 1 : 0;
    ASSERT_TRUE(StretchBlt(to.dc(), x, 0, c.width, 1, from.dc(), 0, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(to.Picture().substr(0, std::abs(c.width)), c.expected);
  }
  {
    SCOPED_TRACE("pixels whose source lies beyond the source bitmap stay as they were");
    Sheet from(4, 1), to(8, 1);
    for (int x : {0, 1, 3}) SetPixel(from.dc(), x, 0, 0);
    PatBlt(to.dc(), 0, 0, 8, 1, BLACKNESS);
    SetStretchBltMode(to.dc(), COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(to.dc(), 0, 0, 8, 1, from.dc(), 2, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(to.Picture().substr(0, 8), "..######");
  }
  Sheet from(2, 1), to(1, 1);
  SetPixel(from.dc(), 0, 0, RGB(0, 0, 0));
  SetStretchBltMode(to.dc(), HALFTONE);
  StretchBlt(to.dc(), 0, 0, 1, 1, from.dc(), 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(GetPixel(to.dc(), 0, 0), RGB(128, 128, 128));  // black and white averaged
  EXPECT_EQ(SetStretchBltMode(to.dc(), 9), 0);
}

// A 2x1 premultiplied source: half-transparent red, and fully transparent.
HBITMAP HalfRed(HDC dc, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, 0, 0);
  const unsigned char pixels[8] = {0, 0, 128, 128, 0, 0, 0, 0};
  std::memcpy(*bits, pixels, sizeof pixels);
  return bitmap;
}

TEST(DeviceContext, AlphaBlendMixesPremultipliedPixels) {
  struct Case {
    BLENDFUNCTION blend;
    COLORREF first;
    COLORREF second;
  };
  const Case cases[] = {
      {{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}, RGB(255, 127, 127), RGB(255, 255, 255)},
      {{AC_SRC_OVER, 0, 128, AC_SRC_ALPHA}, RGB(255, 191, 191), RGB(255, 255, 255)},
      // Without per-pixel alpha the source counts as opaque at the constant alpha.
      {{AC_SRC_OVER, 0, 255, 0}, RGB(128, 0, 0), RGB(0, 0, 0)},
  };
  for (const auto& c : cases) {
    Sheet sheet(2, 1);
    HDC source = CreateCompatibleDC(0);
    void* bits = nullptr;
    HBITMAP bitmap = HalfRed(source, &bits);
    SelectObject(source, bitmap);
    ASSERT_TRUE(AlphaBlend(sheet.dc(), 0, 0, 2, 1, source, 0, 0, 2, 1, c.blend));
    for (auto [x, expected] : {std::pair{0, c.first}, std::pair{1, c.second}}) {
      COLORREF got = GetPixel(sheet.dc(), x, 0);
      // Rounding of the blend may differ by one step from the platform's.
      EXPECT_NEAR(GetRValue(got), GetRValue(expected), 1) << x;
      EXPECT_NEAR(GetGValue(got), GetGValue(expected), 1) << x;
      EXPECT_NEAR(GetBValue(got), GetBValue(expected), 1) << x;
    }
    DeleteDC(source);
    DeleteObject(bitmap);
  }
}

TEST(DeviceContext, BottomUpBitmapsKeepTheBottomRowFirstInMemory) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0);
  ASSERT_NE(bitmap, 0u);
  HDC dc = CreateCompatibleDC(0);
  SelectObject(dc, bitmap);
  SetPixel(dc, 1, 2, RGB(1, 2, 3));  // the bottom row
  MoveToEx(dc, 0, 0, nullptr);
  LineTo(dc, 2, 0);  // the top row, black and opaque
  auto* memory = static_cast<const unsigned char*>(bits);
  int stride = 8;
  EXPECT_EQ(memory[4], 3);  // row 0 in memory is the bottom row: pixel 1 is blue 3
  EXPECT_EQ(memory[5], 2);
  EXPECT_EQ(memory[6], 1);
  EXPECT_EQ(memory[2 * stride + 3], 255);  // the top row is last in memory
  HDC copy = CreateCompatibleDC(0);
  HBITMAP plain = CreateCompatibleBitmap(copy, 2, 3);
  SelectObject(copy, plain);
  BitBlt(copy, 0, 0, 2, 3, dc, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(copy, 1, 2), RGB(1, 2, 3));
  StretchBlt(copy, 0, 0, 2, 3, dc, 0, 0, 1, 1, SRCCOPY);  // the top-left pixel, scaled
  EXPECT_EQ(GetPixel(copy, 1, 2), RGB(0, 0, 0));
  DeleteDC(copy);
  DeleteDC(dc);
  DeleteObject(plain);
  DeleteObject(bitmap);
}

TEST(DeviceContext, RealFontsDrawAndMeasureInsideTheirBox) {
  Sheet sheet(60, 20);
  LOGFONTW tahoma{};
  tahoma.lfHeight = -11;
  std::u16string face = u"Tahoma";
  std::copy(face.begin(), face.end(), tahoma.lfFaceName);
  HFONT font = CreateFontIndirectW(&tahoma);
  SelectObject(sheet.dc(), font);
  SIZE one{}, two{};
  GetTextExtentPoint32W(sheet.dc(), u"Wi", 2, &one);
  GetTextExtentPoint32W(sheet.dc(), u"WiWi", 4, &two);
  EXPECT_GT(one.cx, 5);
  EXPECT_GT(two.cx, one.cx);
  EXPECT_GE(one.cy, 11);
  SetBkMode(sheet.dc(), TRANSPARENT);
  TextOutW(sheet.dc(), 2, 2, u"Wi", 2);
  std::string picture = sheet.Picture();
  int inked = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 60; ++x) {
      if (picture[y * 61 + x] == '.') continue;
      ++inked;
      EXPECT_TRUE(x >= 2 && x < 2 + one.cx && y >= 2 && y < 2 + one.cy) << x << "," << y;
    }
  }
  EXPECT_GT(inked, 10);
  DeleteObject(font);
}

}  // namespace

namespace {

TEST(DeviceContext, ScrollDCMovesPixelsWithinTheClipAndReportsWhatItUncovered) {
  struct Case {
    const char* name;
    int dx, dy;
    bool withClip;
    const char* expected;
    RECT update;  // logical
  };
  // A black column at device x 2 in rows 1..3; the scrolled area is device x 1..6,
  // y 1..4. Uncovered pixels keep what they showed, as the platform leaves them.
  const Case cases[] = {
      {"right", 2, 0, false,
       "......\n"
       "..#.#.\n"
       "..#.#.\n"
       "..#.#.\n"
       "......\n",
       RECT{0, 1, 2, 4}},
      {"left, within a clip the column lies outside of", -1, 0, true,
       "......\n"
       "..#...\n"
       "..#...\n"
       "..#...\n"
       "......\n",
       RECT{4, 1, 5, 4}},
      {"down", 0, 1, false,
       "......\n"
       "..#...\n"
       "..#...\n"
       "..#...\n"
       "..#...\n",
       RECT{0, 1, 5, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sheet sheet(6, 5);
    const RECT line{2, 1, 3, 4};
    FillRect(sheet.dc(), &line, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    // Logical coordinates one pixel left of the device's, so that both are counted.
    SetViewportOrgEx(sheet.dc(), 1, 0, nullptr);
    const RECT scroll{0, 1, 5, 4};
    const RECT clip{2, 0, 5, 5};
    RECT update{-1, -1, -1, -1};
    std::vector<RECT> seen;
    platform::gdi::SetScrollDCObserver([&](HDC, int, int, const RECT& r) { seen.push_back(r); });
    ASSERT_TRUE(ScrollDC(sheet.dc(), c.dx, c.dy, &scroll, c.withClip ? &clip : nullptr, 0, &update));
    platform::gdi::SetScrollDCObserver({});
    EXPECT_EQ(sheet.Picture(), c.expected);
    EXPECT_EQ(update.left, c.update.left);
    EXPECT_EQ(update.top, c.update.top);
    EXPECT_EQ(update.right, c.update.right);
    EXPECT_EQ(update.bottom, c.update.bottom);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].left, 0);
    EXPECT_EQ(seen[0].right, 5);
  }
  EXPECT_FALSE(ScrollDC(0, 1, 0, nullptr, nullptr, 0, nullptr));
}

}  // namespace
