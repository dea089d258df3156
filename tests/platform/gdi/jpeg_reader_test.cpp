#include "platform/gdi/jpeg_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "common/test_env.h"
#include "picture_compare.h"

namespace {

std::vector<std::uint8_t> FileBytes(const std::string& name) {
  std::ifstream in(pellix_test::Fixture("gdi/" + name), std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Near(pellix_test::Bgra pixel, int r, int g, int b) {
  // Lossy coding: each channel within 8 of the colour written.
  return std::abs(pixel.r - r) <= 8 && std::abs(pixel.g - g) <= 8 && std::abs(pixel.b - b) <= 8 && pixel.a == 255;
}

struct JpegCase {
  const char* file;
  int width, height;
  int left[3], right[3];  // the colours of the two halves
};

TEST(JpegReader, ColourGreyAndCmykFilesReadAsOpaquePictures) {
  const JpegCase cases[] = {
      {"colour.jpg", 16, 8, {255, 0, 0}, {0, 0, 255}},
      {"grey.jpg", 8, 8, {40, 40, 40}, {200, 200, 200}},
      {"cmyk.jpg", 16, 8, {0, 255, 255}, {255, 255, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto bytes = FileBytes(c.file);
    ASSERT_FALSE(bytes.empty());
    auto picture = platform::gdi::ReadJpeg(bytes.data(), bytes.size());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->width(), c.width);
    EXPECT_EQ(picture->height(), c.height);
    // Away from the edge between the halves, where the coding blurs.
    EXPECT_TRUE(Near(pellix_test::PixelOf(*picture, 1, 3), c.left[0], c.left[1], c.left[2]));
    EXPECT_TRUE(Near(pellix_test::PixelOf(*picture, c.width - 2, 3), c.right[0], c.right[1], c.right[2]));
  }
}

TEST(JpegReader, DamagedFilesGiveNoPictureAndSayWhy) {
  auto good = FileBytes("colour.jpg");
  std::vector<std::vector<std::uint8_t>> damaged = {
      {},
      {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
      {0xFF, 0xD8, 0xFF},
  };
  // Every file cut short, at any length.
  for (std::size_t length = 1; length < good.size(); length += 3) damaged.emplace_back(good.begin(), good.begin() + length);
  // A frame header that names 65535 x 65535 pixels.
  auto huge = good;
  for (std::size_t i = 0; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && (huge[i + 1] == 0xC0 || huge[i + 1] == 0xC2)) {
      huge[i + 5] = huge[i + 6] = huge[i + 7] = huge[i + 8] = 0xFF;
      break;
    }
  }
  damaged.push_back(huge);
  for (const auto& bytes : damaged) {
    SCOPED_TRACE(bytes.size());
    std::string error;
    EXPECT_EQ(platform::gdi::ReadJpeg(bytes.data(), bytes.size(), &error), nullptr);
    EXPECT_FALSE(error.empty());
  }
  // Garbled scan data: a picture of the right size or none, never a crash.
  for (std::size_t at = good.size() / 2; at < good.size() - 2; at += 5) {
    auto garbled = good;
    garbled[at] ^= 0x5A;
    auto picture = platform::gdi::ReadJpeg(garbled.data(), garbled.size());
    if (picture) {
      EXPECT_EQ(picture->width(), 16);
    }
  }
}

}  // namespace
