#include "platform/classlib/graphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/classlib/streams.h"

namespace {

std::vector<std::uint8_t> Bmp(int width, int height, int bits, const std::vector<std::uint8_t>& palette,
                              const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> file(54, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(10, static_cast<std::uint32_t>(54 + palette.size()));
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  file[26] = 1;
  file[28] = static_cast<std::uint8_t>(bits);
  if (!palette.empty()) put32(46, static_cast<std::uint32_t>(palette.size() / 4));
  file.insert(file.end(), palette.begin(), palette.end());
  file.insert(file.end(), rows.begin(), rows.end());
  put32(2, static_cast<std::uint32_t>(file.size()));
  return file;
}

void Load(TBitmap& bitmap, const std::vector<std::uint8_t>& file) {
  TMemoryStream stream;
  stream.WriteBuffer(file.data(), static_cast<std::int32_t>(file.size()));
  stream.SetPosition(0);
  bitmap.LoadFromStream(stream);
}

TEST(Graphics, BitmapsReadBmpFilesBottomUpWithPalettes) {
  TBitmap bitmap;
  // 2x2, 24 bits, bottom-up: the first row in the file is the bottom one; rows pad to 4.
  Load(bitmap, Bmp(2, 2, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}));
  ASSERT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
  const std::uint8_t top[8] = {7, 8, 9, 255, 10, 11, 12, 255};
  EXPECT_EQ(std::memcmp(bitmap.ScanLine(0), top, 8), 0);
  // 8 bits with a two-colour palette.
  Load(bitmap, Bmp(3, 1, 8, {0, 0, 255, 0, 255, 0, 0, 0}, {1, 0, 1, 0}));
  const std::uint8_t row[12] = {255, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0, 255};
  EXPECT_EQ(std::memcmp(bitmap.ScanLine(0), row, 12), 0);
  // 1 bit: the high bit is the first pixel.
  Load(bitmap, Bmp(3, 1, 1, {0, 0, 0, 0, 255, 255, 255, 0}, {0xA0, 0, 0, 0}));
  EXPECT_EQ(bitmap.ScanLine(0)[0], 255);
  EXPECT_EQ(bitmap.ScanLine(0)[4], 0);
  EXPECT_EQ(bitmap.ScanLine(0)[8], 255);
}

TEST(Graphics, DamagedBmpFilesRaiseAndLeaveTheBitmap) {
  TBitmap bitmap;
  Load(bitmap, Bmp(1, 1, 32, {}, {9, 9, 9, 9}));
  auto good = Bmp(2, 2, 24, {}, std::vector<std::uint8_t>(16, 0));
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
  };
  std::vector<Case> cases = {
      {"truncated pixels", std::vector<std::uint8_t>(good.begin(), good.end() - 1)},
      {"bad magic", [&] { auto f = good; f[0] = 'X'; return f; }()},
      {"compressed", [&] { auto f = good; f[30] = 1; return f; }()},
      {"palette index past the palette", Bmp(2, 1, 8, {0, 0, 0, 0}, {0, 5, 0, 0})},
      {"huge size", [&] { auto f = good; f[19] = 0x7F; return f; }()},
      {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + 20)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(Load(bitmap, c.file), EInvalidGraphic);
    EXPECT_EQ(bitmap.Width(), 1);
    EXPECT_EQ(bitmap.ScanLine(0)[0], 9);
  }
}

TEST(Graphics, BitmapRoundTripsAndCanvasDraws) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf32bit);
  bitmap.SetSize(4, 3);
  bitmap.Canvas().Brush().SetColor(clRed);
  bitmap.Canvas().FillRect(RECT{0, 0, 4, 3});
  bitmap.Canvas().SetPixel(1, 2, clBlue);
  EXPECT_EQ(ColorToRGB(bitmap.Canvas().Pixel(1, 2)), RGB(0, 0, 255));
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  stream.SetPosition(0);
  TBitmap copy;
  copy.LoadFromStream(stream);
  ASSERT_EQ(copy.Height(), 3);
  EXPECT_EQ(std::memcmp(copy.ScanLine(2), bitmap.ScanLine(2), 16), 0);
  EXPECT_EQ(copy.ScanLine(2)[4], 255);  // blue of (1, 2)
  // Growing keeps the shared part.
  bitmap.SetSize(5, 5);
  EXPECT_EQ(bitmap.ScanLine(2)[4], 255);
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
}

TEST(Graphics, FontHandlesFollowChanges) {
  TFont font;
  int changes = 0;
  font.OnChange = [&](TObject*) { ++changes; };
  HFONT first = font.Handle();
  EXPECT_EQ(font.Handle(), first);
  font.SetStyle(fsBold);
  HFONT bold = font.Handle();
  EXPECT_NE(bold, first);
  LOGFONTW described{};
  GetObjectW(bold, sizeof described, &described);
  EXPECT_EQ(described.lfWeight, FW_BOLD);
  EXPECT_EQ(described.lfHeight, -11);
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -13);
  EXPECT_EQ(font.Size(), 10);
  EXPECT_EQ(changes, 2);
}

}  // namespace
