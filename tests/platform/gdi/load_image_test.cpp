#include "platform/gdi/load_image.h"

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "picture_compare.h"
#include "platform/base/errors.h"
#include "platform/gdi/device_context.h"
#include "platform/kernel/resources.h"

namespace {

// Left half red, right half blue, at the bitmap's size.
void ExpectRedBlue(HANDLE image, int width, int height) {
  auto picture = platform::gdi::BitmapOf(static_cast<HBITMAP>(image));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width(), width);
  EXPECT_EQ(picture->height(), height);
  EXPECT_EQ(pellix_test::PixelOf(*picture, 0, height - 1), (pellix_test::Bgra{0, 0, 255, 255}));
  EXPECT_EQ(pellix_test::PixelOf(*picture, width - 1, 0), (pellix_test::Bgra{255, 0, 0, 255}));
  DeleteObject(static_cast<HGDIOBJ>(image));
}

TEST(LoadImage, BitmapsComeFromResourcesAndFilesAtTheirSizeOrScaled) {
  HANDLE fromResource = LoadImageA(platform::kProgramInstance, "RED_BLUE", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  ExpectRedBlue(fromResource, 4, 2);
  std::string path = pellix_test::Fixture("gdi/red_blue.bmp").string();
  ExpectRedBlue(LoadImageA(0, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), 4, 2);
  ExpectRedBlue(LoadImageA(0, path.c_str(), IMAGE_BITMAP, 8, 6, LR_LOADFROMFILE), 8, 6);
}

TEST(LoadImage, WhatCannotBeLoadedSaysWhy) {
  pellix_test::TempDir dir;
  pellix_test::WriteBytes(dir / "cut.bmp", pellix_test::ReadBytes(pellix_test::Fixture("gdi/red_blue.bmp")).substr(0, 60));
  struct Case {
    const char* name;
    UINT type;
    UINT flags;
    DWORD error;
  };
  std::string cut = (dir / "cut.bmp").string(), missing = (dir / "missing.bmp").string();
  const Case cases[] = {
      {cut.c_str(), IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_INVALID_DATA},
      {missing.c_str(), IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_FILE_NOT_FOUND},
      {"NO_SUCH_BITMAP", IMAGE_BITMAP, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
      {"RED_BLUE", IMAGE_ICON, 0, ERROR_NOT_SUPPORTED},
      {"RED_BLUE", IMAGE_BITMAP, LR_LOADTRANSPARENT, ERROR_NOT_SUPPORTED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0);
    EXPECT_EQ(LoadImageA(platform::kProgramInstance, c.name, c.type, 0, 0, c.flags), 0);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

}  // namespace
