#include "support/alpha_bitmaps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/classlib/streams.h"
#include "platform/kernel/resources.h"

namespace {

// A bitmap of given 32-bit pixels (blue, green, red, alpha), one row.
std::unique_ptr<TBitmap> Row(const std::vector<std::uint8_t>& pixels) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(static_cast<int>(pixels.size() / 4), 1);
  std::memcpy(bitmap->ScanLine(0), pixels.data(), pixels.size());
  return bitmap;
}

std::vector<std::uint8_t> Pixels(TBitmap& bitmap) {
  std::vector<std::uint8_t> out;
  for (int row = 0; row < bitmap.Height(); ++row) {
    out.insert(out.end(), bitmap.ScanLine(row), bitmap.ScanLine(row) + bitmap.Width() * 4);
  }
  return out;
}

// The bitmap file of a bitmap, kept for the life of the program as resources are.
const std::vector<std::uint8_t>& FileOf(TBitmap& bitmap) {
  static std::vector<std::vector<std::uint8_t>> kept;
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.Size()));
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  kept.push_back(std::move(bytes));
  return kept.back();
}

TEST(AlphaBitmaps, MaskBecomesAlphaAndColourIsPremultipliedByShifting) {
  struct Case {
    bool invert;
    std::vector<std::uint8_t> mask;      // one pixel per case: the blue part counts
    std::vector<std::uint8_t> expected;  // blue, green, red, alpha
  };
  const std::vector<std::uint8_t> white = {255, 255, 255, 255};
  const Case cases[] = {
      {true, {255, 0, 0, 0}, {0, 0, 0, 0}},          // white mask, inverted: transparent
      {true, {0, 9, 9, 9}, {254, 254, 254, 255}},    // black mask, inverted: 255 x 255 >> 8
      {false, {128, 0, 0, 0}, {127, 127, 127, 128}},
      {false, {0, 255, 255, 255}, {0, 0, 0, 0}},     // only the blue part is read
  };
  for (const auto& c : cases) {
    auto color = Row(white);
    auto mask = Row(c.mask);
    std::unique_ptr<TBitmap> result(MakeAlphaBitmap(color.get(), mask.get(), c.invert));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(color->PixelFormat(), TPixelFormat::pf32bit);  // the inputs change format
    EXPECT_EQ(Pixels(*result), c.expected);
  }
}

TEST(AlphaBitmaps, DifferentSizesOrMissingBitmapsGiveNothingAndChangeNothing) {
  auto color = Row({1, 2, 3, 4, 5, 6, 7, 8});
  auto mask = Row({1, 2, 3, 4});
  color->SetPixelFormat(TPixelFormat::pf24bit);
  EXPECT_EQ(MakeAlphaBitmap(color.get(), mask.get(), false), nullptr);
  EXPECT_EQ(color->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(Pixels(*color), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(MakeAlphaBitmap(nullptr, mask.get(), false), nullptr);
  EXPECT_EQ(MakeAlphaBitmap(color.get(), nullptr, true), nullptr);
}

TEST(AlphaBitmaps, ResolvedColoursAndMissingResources) {
  EXPECT_EQ(ResolveColor(clRed), clRed);
  EXPECT_EQ(ResolveColor(clBtnFace), static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(LoadRCDataBitmap(platform::kProgramInstance, "NO_SUCH_BITMAP"), nullptr);
  TImage image(nullptr);
  LoadFlattenedBitmap(&image, platform::kProgramInstance, "NO_SUCH_BITMAP", clRed);
  EXPECT_TRUE(image.Picture().Bitmap().Empty());
  LoadFlattenedBitmap(nullptr, platform::kProgramInstance, "NO_SUCH_BITMAP", clRed);
}

TEST(AlphaBitmaps, FlatteningBlendsOntoTheBackground) {
  // Transparent, opaque dark blue, half-covered grey (premultiplied as stored).
  auto source = Row({0, 0, 0, 0, 200, 10, 20, 255, 64, 64, 64, 128});
  const auto& file = FileOf(*source);
  platform::RegisterResource("#10", "FLATTEN_TEST", file.data(), file.size());
  std::unique_ptr<TBitmap> loaded(LoadRCDataBitmap(platform::kProgramInstance, "FLATTEN_TEST"));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(Pixels(*loaded), Pixels(*source));
  TImage image(nullptr);
  LoadFlattenedBitmap(&image, platform::kProgramInstance, "FLATTEN_TEST", clRed);
  // On pure red the red part of the transparent pixel is 255; the opaque pixel keeps
  // its colour; the half pixel is (64 x 128 + back x 127) / 255, truncated.
  EXPECT_EQ(Pixels(image.Picture().Bitmap()),
            (std::vector<std::uint8_t>{0, 0, 255, 0, 200, 10, 20, 0, 32, 32, 159, 0}));
  LoadFlattenedBitmap(&image, platform::kProgramInstance, "FLATTEN_TEST", clBtnFace);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(image.Picture().Bitmap().ScanLine(0)[0], GetBValue(face));
  EXPECT_EQ(image.Picture().Bitmap().ScanLine(0)[2], GetRValue(face));
}

TEST(AlphaBitmaps, ADamagedResourceGivesNoBitmap) {
  static const std::uint8_t damaged[] = {'B', 'M', 0, 0, 0, 0};
  platform::RegisterResource("#10", "DAMAGED_TEST", damaged, sizeof damaged);
  EXPECT_EQ(LoadRCDataBitmap(platform::kProgramInstance, "DAMAGED_TEST"), nullptr);
}

}  // namespace
