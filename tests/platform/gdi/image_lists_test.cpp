#include "platform/gdi/image_lists.h"

#include <gtest/gtest.h>

#include <string>

#include "picture_compare.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/icons.h"

namespace {

// A memory DC over a bitmap filled with one colour.
class Surface {
 public:
  Surface(int width, int height, COLORREF color) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(0);
    bitmap_ = CreateCompatibleBitmap(dc_, width, height);
    SelectObject(dc_, bitmap_);
    Fill(RECT{0, 0, width, height}, color);
  }
  ~Surface() {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  void Fill(const RECT& r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
  }
  // One letter per pixel: r(ed), g(reen), b(lue), m(agenta), w(hite), k (black), else '?'.
  std::string Letters() const {
    std::string out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        switch (GetPixel(dc_, x, y)) {
          case RGB(255, 0, 0): out += 'r'; break;
          case RGB(0, 255, 0): out += 'g'; break;
          case RGB(0, 0, 255): out += 'b'; break;
          case RGB(255, 0, 255): out += 'm'; break;
          case RGB(255, 255, 255): out += 'w'; break;
          case RGB(0, 0, 0): out += 'k'; break;
          default: out += '?';
        }
      }
      out += '\n';
    }
    return out;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
};

// Two 2x2 pictures side by side: the first red with a magenta corner, the second blue.
class Strip : public Surface {
 public:
  Strip() : Surface(4, 2, RGB(255, 0, 0)) {
    Fill(RECT{1, 0, 2, 1}, RGB(255, 0, 255));
    Fill(RECT{2, 0, 4, 2}, RGB(0, 0, 255));
  }
};

TEST(ImageLists, AddMaskedSplitsAStripAndDrawsThroughTheMaskColour) {
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR24 | ILC_MASK, 4, 4);
  Strip strip;
  EXPECT_EQ(ImageList_AddMasked(list, strip.bitmap(), RGB(255, 0, 255)), 0);
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  Surface target(4, 2, RGB(0, 255, 0));
  ASSERT_TRUE(ImageList_Draw(list, 0, target.dc(), 0, 0, ILD_TRANSPARENT));
  ASSERT_TRUE(ImageList_Draw(list, 1, target.dc(), 2, 0, ILD_NORMAL));
  EXPECT_EQ(target.Letters(), "rgbb\nrrbb\n");
  // A background colour fills the transparent part unless the drawing is transparent.
  ImageList_SetBkColor(list, RGB(255, 255, 255));
  ImageList_Draw(list, 0, target.dc(), 0, 0, ILD_NORMAL);
  EXPECT_EQ(target.Letters(), "rwbb\nrrbb\n");
  ImageList_DrawEx(list, 0, target.dc(), 2, 0, 1, 2, RGB(0, 0, 0), CLR_NONE, ILD_NORMAL);  // one column
  EXPECT_EQ(target.Letters(), "rwrb\nrrrb\n");
  ImageList_Draw(list, 0, target.dc(), 0, 0, ILD_MASK);
  EXPECT_EQ(target.Letters(), "kwrb\nkkrb\n");
  ImageList_Destroy(list);
}

TEST(ImageLists, MaskBitmapsAndListsWithoutAMask) {
  Strip strip;
  const unsigned char maskBits[] = {0x80, 0x00, 0x00, 0x00};  // top-left pixel white = transparent
  HBITMAP mask = CreateBitmap(4, 2, 1, 1, maskBits);
  HIMAGELIST masked = ImageList_Create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 1);
  HIMAGELIST plain = ImageList_Create(2, 2, ILC_COLOR24, 1, 1);
  EXPECT_EQ(ImageList_Add(masked, strip.bitmap(), mask), 0);
  EXPECT_EQ(ImageList_Add(plain, strip.bitmap(), mask), 0);
  Surface target(4, 2, RGB(0, 255, 0));
  ImageList_Draw(masked, 0, target.dc(), 0, 0, ILD_TRANSPARENT);
  ImageList_Draw(plain, 0, target.dc(), 2, 0, ILD_TRANSPARENT);  // no mask: nothing is transparent
  EXPECT_EQ(target.Letters(), "gmrm\nrrrr\n");
  EXPECT_EQ(ImageList_Add(masked, 4242, 0), -1);
  EXPECT_EQ(ImageList_Add(masked, strip.bitmap(), 4242), -1);
  EXPECT_FALSE(ImageList_Draw(masked, 7, target.dc(), 0, 0, ILD_NORMAL));
  EXPECT_FALSE(ImageList_Draw(4242, 0, target.dc(), 0, 0, ILD_NORMAL));
  for (HIMAGELIST l : {masked, plain}) ImageList_Destroy(l);
  DeleteObject(mask);
}

TEST(ImageLists, BlendingOverlaysIconsAndRemoval) {
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR24 | ILC_MASK, 1, 1);
  Strip strip;
  ImageList_AddMasked(list, strip.bitmap(), RGB(255, 0, 255));
  Surface target(2, 2, RGB(0, 255, 0));
  // Half the blue picture mixed with a red foreground.
  ImageList_DrawEx(list, 1, target.dc(), 0, 0, 0, 0, CLR_NONE, RGB(255, 0, 0), ILD_BLEND50);
  EXPECT_EQ(GetPixel(target.dc(), 0, 0), RGB(128, 0, 128));
  // Overlay 1 is picture 0: drawn over picture 1 through its transparent corner.
  ASSERT_TRUE(ImageList_SetOverlayImage(list, 0, 1));
  EXPECT_FALSE(ImageList_SetOverlayImage(list, 0, 16));
  ImageList_Draw(list, 1, target.dc(), 0, 0, ILD_TRANSPARENT | INDEXTOOVERLAYMASK(1));
  EXPECT_EQ(target.Letters(), "rb\nrr\n");
  // Icons: out and back in, keeping the transparency.
  HICON icon = ImageList_GetIcon(list, 0, ILD_NORMAL);
  ASSERT_NE(icon, 0u);
  EXPECT_EQ(ImageList_AddIcon(list, icon), 2);
  DestroyIcon(icon);
  target.Fill(RECT{0, 0, 2, 2}, RGB(0, 255, 0));
  ImageList_Draw(list, 2, target.dc(), 0, 0, ILD_TRANSPARENT);
  EXPECT_EQ(target.Letters(), "rg\nrr\n");
  EXPECT_TRUE(ImageList_Remove(list, 0));
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  EXPECT_FALSE(ImageList_Remove(list, 5));
  EXPECT_TRUE(ImageList_Remove(list, -1));
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  ImageList_Destroy(list);
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  EXPECT_FALSE(ImageList_Destroy(list));
}

}  // namespace
