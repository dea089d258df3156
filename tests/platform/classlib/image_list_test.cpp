#include <gtest/gtest.h>

#include <string>

#include "platform/classlib/frames.h"
#include "platform/classlib/icons.h"
#include "platform/gdi/icons.h"

namespace {

// A bitmap of one colour with another in its top-left pixel.
void Paint(TBitmap& bitmap, int width, int height, TColor color, TColor corner) {
  bitmap.SetSize(width, height);
  bitmap.Canvas().Brush().SetColor(color);
  bitmap.Canvas().FillRect(RECT{0, 0, width, height});
  bitmap.Canvas().SetPixel(0, 0, corner);
}

// Rows of letters: w white, k black, r red, h highlight, s shadow, '?' other.
std::string Letters(TCanvas& canvas, int width, int height) {
  std::string out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      COLORREF c = ColorToRGB(canvas.Pixel(x, y));
      out += c == ColorToRGB(clBtnHighlight) ? 'h'
             : c == ColorToRGB(clBtnShadow)  ? 's'
             : c == RGB(0, 0, 0)             ? 'k'
             : c == RGB(255, 0, 0)           ? 'r'
             : c == RGB(0, 255, 0)           ? 'g'
                                             : '?';
    }
    out += '\n';
  }
  return out;
}

TEST(ImageList, MaskedPicturesDrawEnabledAndAsAGreyRelief) {
  TImageList list(nullptr, 3, 2);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  TBitmap strip;
  Paint(strip, 6, 2, clRed, clLime);  // two pictures; green is the transparent colour
  EXPECT_EQ(list.AddMasked(strip, clLime), 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(changes, 1);
  TBitmap target;
  Paint(target, 4, 3, clBlack, clBlack);
  list.Draw(target.Canvas(), 0, 0, 0);
  EXPECT_EQ(Letters(target.Canvas(), 4, 3), "krrk\nrrrk\nkkkk\n");
  Paint(target, 4, 3, clBlack, clBlack);
  list.Draw(target.Canvas(), 0, 0, 0, false);
  EXPECT_EQ(Letters(target.Canvas(), 4, 3), "kssk\nsssh\nkhhh\n");
  list.Delete(0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_THROW(list.Delete(3), EInvalidOperation);
  list.SetSize(2, 2);  // a new size empties the list
  EXPECT_EQ(list.Count(), 0);
  TBitmap empty;
  EXPECT_EQ(list.Add(&empty, nullptr), -1);
}

TEST(ImageList, IconsGoInAndComeOutAtTheListsSize) {
  TImageList list(nullptr, 4, 4);
  TBitmap picture;
  Paint(picture, 2, 2, clRed, clRed);
  TIcon icon;
  icon.FromBitmap(picture);
  EXPECT_EQ(list.AddIcon(icon), 0);
  TIcon back;
  list.GetIcon(0, back);
  ASSERT_FALSE(back.Empty());
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(back.Handle(), &info));
  BITMAP described{};
  GetObjectW(info.hbmColor, sizeof described, &described);
  EXPECT_EQ(described.bmWidth, 4);
  DeleteObject(info.hbmColor);
  TIcon untouched;
  list.GetIcon(5, untouched);
  EXPECT_TRUE(untouched.Empty());
}

TEST(Frames, Frame3DLightsTopLeftAndShrinksTheRectangle) {
  TBitmap target;
  Paint(target, 5, 4, clRed, clRed);
  RECT r{0, 0, 5, 4};
  Frame3D(target.Canvas(), r, clBtnHighlight, clBtnShadow, 1);
  EXPECT_EQ(Letters(target.Canvas(), 5, 4), "hhhhs\nhrrrs\nhrrrs\nsssss\n");
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.right, 4);
  EXPECT_EQ(r.bottom, 3);
  RECT two{0, 0, 5, 4};
  Frame3D(target.Canvas(), two, clBlack, clBlack, 2);
  EXPECT_EQ(Letters(target.Canvas(), 5, 4), "kkkkk\nkkkkk\nkkkkk\nkkkkk\n");
  EXPECT_EQ(two.left, 2);
  EXPECT_EQ(two.right, 3);
}

}  // namespace
