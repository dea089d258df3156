#include "platform/gdi/regions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/gdi/device_context.h"

namespace {

// Which of the 6x3 pixels a region holds, as rows of '#' and '.'.
std::string Cover(HRGN region) {
  std::string out;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) out += PtInRegion(region, x, y) ? '#' : '.';
    out += '\n';
  }
  return out;
}

struct CombineCase {
  int mode;
  const char* expected;
  int kind;
};

// a covers columns 0-3, b columns 2-5, both in rows 0-1.
TEST(Regions, CombineAsTheModesSay) {
  const CombineCase cases[] = {
      {RGN_AND, "..##..\n..##..\n......\n", SIMPLEREGION},
      {RGN_OR, "######\n######\n......\n", COMPLEXREGION},
      {RGN_DIFF, "##....\n##....\n......\n", SIMPLEREGION},
      {RGN_XOR, "##..##\n##..##\n......\n", COMPLEXREGION},
      {RGN_COPY, "####..\n####..\n......\n", SIMPLEREGION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    HRGN a = CreateRectRgn(0, 0, 4, 2), b = CreateRectRgn(2, 0, 6, 2), out = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(out, a, b, c.mode), c.kind);
    EXPECT_EQ(Cover(out), c.expected);
    for (HRGN r : {a, b, out}) DeleteObject(r);
  }
  HRGN a = CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(CombineRgn(a, a, 12345, RGN_OR), ERROR);  // not a region
  EXPECT_EQ(CombineRgn(a, a, a, 99), ERROR);
  EXPECT_EQ(Cover(a), "#.....\n......\n......\n");  // a failed combine leaves the region
  DeleteObject(a);
}

TEST(Regions, BoxOffsetAndReversedCorners) {
  HRGN r = CreateRectRgn(4, 3, 1, 0);  // corners given the wrong way round
  RECT box{};
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 1);
  EXPECT_EQ(box.bottom, 3);
  EXPECT_EQ(OffsetRgn(r, 1, -1), SIMPLEREGION);
  EXPECT_EQ(Cover(r), "..###.\n..###.\n......\n");
  SetRectRgn(r, 0, 0, 0, 5);
  EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
  DeleteObject(r);
}

// A white 6x3 memory DC: every drawing call must stay inside the clip.
class ClippedSheet {
 public:
  ClippedSheet() {
    dc_ = CreateCompatibleDC(0);
    bitmap_ = CreateCompatibleBitmap(dc_, 6, 3);
    SelectObject(dc_, bitmap_);
    RECT all{0, 0, 6, 3};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~ClippedSheet() {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  HDC dc() const { return dc_; }
  // In device pixels, whatever the viewport.
  std::string Picture() const {
    POINT origin;
    SetViewportOrgEx(dc_, 0, 0, &origin);
    std::string out;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 6; ++x) out += GetPixel(dc_, x, y) == RGB(255, 255, 255) ? '.' : '#';
      out += '\n';
    }
    SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
    return out;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
};

struct DrawCall {
  const char* name;
  std::function<void(HDC)> draw;
};

// The clip: everything but column 2 and the bottom row, made with a region and an
// excluded rectangle, so that it has two parts.
TEST(Regions, EveryDrawingCallKeepsInsideTheClip) {
  const char* expected = "##.###\n##.###\n......\n";
  auto black = [] { return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)); };
  const DrawCall calls[] = {
      {"FillRect", [&](HDC dc) { RECT r{0, 0, 6, 3}; FillRect(dc, &r, black()); }},
      {"Rectangle", [&](HDC dc) { SelectObject(dc, black()); Rectangle(dc, 0, 0, 6, 3); }},
      {"LineTo", [](HDC dc) { for (int y = 0; y < 3; ++y) { MoveToEx(dc, 0, y, nullptr); LineTo(dc, 6, y); } }},
      {"SetPixel", [](HDC dc) { for (int i = 0; i < 18; ++i) SetPixel(dc, i % 6, i / 6, 0); }},
      {"PatBlt", [&](HDC dc) { SelectObject(dc, black()); PatBlt(dc, 0, 0, 6, 3, PATCOPY); }},
      {"StretchBlt", [](HDC dc) {
         HDC source = CreateCompatibleDC(0);
         HBITMAP bitmap = CreateCompatibleBitmap(source, 6, 3);
         SelectObject(source, bitmap);
         RECT r{0, 0, 6, 3};
         FillRect(source, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
         StretchBlt(dc, 0, 0, 6, 3, source, 0, 0, 3, 3, SRCCOPY);
         DeleteDC(source);
         DeleteObject(bitmap);
       }},
      {"BitBlt", [](HDC dc) {
         HDC source = CreateCompatibleDC(0);
         HBITMAP bitmap = CreateCompatibleBitmap(source, 6, 3);
         SelectObject(source, bitmap);
         RECT r{0, 0, 6, 3};
         FillRect(source, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
         BitBlt(dc, 0, 0, 6, 3, source, 0, 0, SRCCOPY);
         DeleteDC(source);
         DeleteObject(bitmap);
       }},
      {"ExtTextOut opaque", [](HDC dc) {
         RECT r{0, 0, 6, 3};
         SetBkColor(dc, 0);
         ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, u"", 0, nullptr);
       }},
  };
  for (const auto& call : calls) {
    SCOPED_TRACE(call.name);
    ClippedSheet sheet;
    HRGN top = CreateRectRgn(0, 0, 6, 2);
    EXPECT_EQ(SelectClipRgn(sheet.dc(), top), SIMPLEREGION);
    DeleteObject(top);  // the DC keeps its own copy
    EXPECT_EQ(ExcludeClipRect(sheet.dc(), 2, 0, 3, 3), COMPLEXREGION);
    RECT box{};
    EXPECT_EQ(GetClipBox(sheet.dc(), &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 6);
    EXPECT_EQ(box.bottom, 2);
    call.draw(sheet.dc());
    EXPECT_EQ(sheet.Picture(), expected);
  }
}

TEST(Regions, ClipFollowsTheViewportAndComesOffAgain) {
  ClippedSheet sheet;
  SetViewportOrgEx(sheet.dc(), 1, 1, nullptr);
  IntersectClipRect(sheet.dc(), 0, 0, 2, 1);  // logical: device (1,1)-(3,2)
  RECT box{};
  GetClipBox(sheet.dc(), &box);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 2);
  RECT all{-1, -1, 5, 2};
  FillRect(sheet.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(sheet.Picture(), "......\n.##...\n......\n");
  int saved = SaveDC(sheet.dc());
  EXPECT_EQ(SelectClipRgn(sheet.dc(), 0), SIMPLEREGION);
  FillRect(sheet.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(sheet.Picture(), "######\n######\n######\n");
  RestoreDC(sheet.dc(), saved);
  EXPECT_EQ(GetClipBox(sheet.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 2);
  // A region larger than the bitmap cannot widen the DC's own area.
  HRGN huge = CreateRectRgn(-100, -100, 100, 100);
  SelectClipRgn(sheet.dc(), huge);
  SetViewportOrgEx(sheet.dc(), 0, 0, nullptr);
  GetClipBox(sheet.dc(), &box);
  EXPECT_EQ(box.right, 6);
  EXPECT_EQ(box.left, 0);
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(sheet.dc(), copy), 1);
  EXPECT_TRUE(PtInRegion(copy, 5, 2));
  EXPECT_FALSE(PtInRegion(copy, 6, 2));
  EXPECT_EQ(SelectClipRgn(sheet.dc(), 777), ERROR);
  DeleteObject(huge);
  DeleteObject(copy);
}

}  // namespace
