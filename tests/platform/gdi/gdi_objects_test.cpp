#include "platform/gdi/gdi_objects.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/base/errors.h"

namespace {

TEST(GdiObjects, HandlesNameOneLiveObjectEach) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  ASSERT_NE(red, 0u);
  ASSERT_NE(red, pen);
  EXPECT_EQ(GetObjectType(red), platform::gdi::OBJ_BRUSH);
  EXPECT_EQ(GetObjectType(pen), platform::gdi::OBJ_PEN);
  LOGBRUSH brush{};
  ASSERT_EQ(GetObjectW(red, sizeof brush, &brush), static_cast<int>(sizeof brush));
  EXPECT_EQ(brush.lbColor, RGB(255, 0, 0));
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_FALSE(DeleteObject(red));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetObjectType(red), 0u);
  HBRUSH next = CreateSolidBrush(0);
  EXPECT_NE(next, red);  // handles move on rather than coming back at once
  DeleteObject(next);
  DeleteObject(pen);
}

TEST(GdiObjects, StockObjectsAndSystemColoursStay) {
  HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  EXPECT_TRUE(DeleteObject(white));
  EXPECT_EQ(GetObjectType(white), platform::gdi::OBJ_BRUSH);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
  LOGBRUSH brush{};
  GetObjectW(GetSysColorBrush(COLOR_HIGHLIGHT), sizeof brush, &brush);
  EXPECT_EQ(brush.lbColor, GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(GetSysColorBrush(99), 0u);
}

TEST(GdiObjects, FontsAndBitmapsDescribeThemselves) {
  LOGFONTA ansi{};
  ansi.lfHeight = -11;
  ansi.lfWeight = FW_BOLD;
  std::strcpy(ansi.lfFaceName, "Tahoma");
  HFONT font = CreateFontIndirectA(&ansi);
  LOGFONTW wide{};
  ASSERT_EQ(GetObjectW(font, sizeof wide, &wide), static_cast<int>(sizeof wide));
  EXPECT_EQ(std::u16string(wide.lfFaceName), u"Tahoma");
  EXPECT_EQ(wide.lfWeight, FW_BOLD);
  EXPECT_EQ(platform::gdi::FontOf(font)->PixelHeight(), 11);
  DeleteObject(font);

  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 5, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0);
  ASSERT_NE(bitmap, 0u);
  ASSERT_NE(bits, nullptr);
  BITMAP described{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof described, &described), static_cast<int>(sizeof described));
  EXPECT_EQ(described.bmWidth, 5);
  EXPECT_EQ(described.bmHeight, 3);
  EXPECT_EQ(described.bmBitsPixel, 32);
  EXPECT_EQ(described.bmBits, bits);
  DeleteObject(bitmap);
  info.bmiHeader.biBitCount = 24;
  EXPECT_EQ(CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

}  // namespace
