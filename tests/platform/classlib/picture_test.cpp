#include <gtest/gtest.h>


#include "common/test_env.h"
#include "platform/classlib/image_control.h"
#include "platform/classlib/streams.h"

namespace {

// Picture files by extension; a damaged or unknown one leaves the picture as it was.
TEST(Picture, LoadsByExtensionAndKeepsThePictureOnFailure) {
  TPicture picture;
  picture.LoadFromFile(pellix_test::Fixture("gdi/colour.jpg").string());
  EXPECT_EQ(picture.Bitmap().Width(), 16);
  EXPECT_EQ(picture.Bitmap().Height(), 8);
  EXPECT_GT(picture.Bitmap().ScanLine(3)[2], 240);  // red on the left
  pellix_test::TempDir dir;
  struct Bad {
    const char* name;
    std::string bytes;
  };
  const Bad bad[] = {{"cut.JPEG", "\xFF\xD8\xFF\xE0"}, {"noise.png", "not a png"}, {"picture.gif", "GIF89a"}};
  for (const auto& b : bad) {
    SCOPED_TRACE(b.name);
    auto path = dir / b.name;
    pellix_test::WriteBytes(path, b.bytes);
    EXPECT_THROW(picture.LoadFromFile(path.string()), EInvalidGraphic);
    EXPECT_EQ(picture.Bitmap().Width(), 16);
  }
  EXPECT_THROW(picture.LoadFromFile((dir / "missing.jpg").string()), EFOpenError);
  picture.LoadFromFile(pellix_test::Fixture("gdi/hint_window.png").string());
  EXPECT_EQ(picture.Bitmap().Width(), 18);
}

}  // namespace
