#include "platform/classlib/icons.h"

#include "platform/gdi/icons.h"

TIcon::~TIcon() {
  if (handle_ != 0) DestroyIcon(handle_);
}

void TIcon::SetHandle(HICON icon) {
  if (icon == handle_) return;
  if (handle_ != 0) DestroyIcon(handle_);
  handle_ = icon;
  if (OnChange) OnChange(this);
}

void TIcon::Assign(const TPersistent* source) {
  auto* icon = dynamic_cast<const TIcon*>(source);
  if (icon == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  SetHandle(icon->Empty() ? 0 : CopyIcon(icon->Handle()));
}

void TIcon::FromBitmap(TBitmap& bitmap) {
  ICONINFO info{TRUE, 0, 0, 0, bitmap.Handle()};
  SetHandle(CreateIconIndirect(&info));
}

TImageList::TImageList(TComponent* owner, int width, int height)
    : TComponent(owner), width_(width), height_(height) {
  Recreate();
}

TImageList::~TImageList() {
  Destroying();
  ImageList_Destroy(handle_);
}

void TImageList::Recreate() {
  if (handle_ != 0) ImageList_Destroy(handle_);
  handle_ = ImageList_Create(width_, height_, ILC_COLOR32 | (masked_ ? ILC_MASK : 0), 4, 4);
  if (handle_ == 0) throw EOutOfResources("Out of system resources");
  ImageList_SetBkColor(handle_, bkColor_ == clNone ? CLR_NONE : ColorToRGB(bkColor_));
}

void TImageList::Changed() {
  if (OnChange) OnChange(this);
}

void TImageList::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  Recreate();
  Changed();
}

void TImageList::SetMasked(bool masked) {
  if (masked == masked_) return;
  masked_ = masked;
  Recreate();
  Changed();
}

void TImageList::SetBkColor(TColor color) {
  bkColor_ = color;
  ImageList_SetBkColor(handle_, color == clNone ? CLR_NONE : ColorToRGB(color));
  Changed();
}

int TImageList::Count() const { return ImageList_GetImageCount(handle_); }

int TImageList::Add(TBitmap* image, TBitmap* mask) {
  if (image == nullptr || image->Empty()) return -1;
  int index = ImageList_Add(handle_, image->Handle(), mask != nullptr ? mask->Handle() : 0);
  if (index >= 0) Changed();
  return index;
}

int TImageList::AddMasked(TBitmap& image, TColor maskColor) {
  if (image.Empty()) return -1;
  int index = ImageList_AddMasked(handle_, image.Handle(), ColorToRGB(maskColor));
  if (index >= 0) Changed();
  return index;
}

int TImageList::AddIcon(const TIcon& icon) {
  if (icon.Empty()) return -1;
  int index = ImageList_AddIcon(handle_, icon.Handle());
  if (index >= 0) Changed();
  return index;
}

void TImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  if (image == nullptr || !ImageList_Replace(handle_, index, image->Handle(), mask ? mask->Handle() : 0)) {
    throw EInvalidOperation("Invalid image list index");
  }
  Changed();
}

void TImageList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Invalid image list index");
  ImageList_Remove(handle_, index);
  Changed();
}

void TImageList::Clear() {
  ImageList_Remove(handle_, -1);
  Changed();
}

void TImageList::GetIcon(int index, TIcon& icon) const {
  if (index < 0 || index >= Count()) return;
  icon.SetHandle(ImageList_GetIcon(handle_, index, ILD_NORMAL));
}

void TImageList::DrawStyled(TCanvas& canvas, int x, int y, int index, UINT style) {
  ImageList_DrawEx(handle_, index, canvas.Handle(), x, y, 0, 0, CLR_DEFAULT, CLR_NONE, style);
}

namespace {

// The picture's shape (its opaque part) in one colour.
std::shared_ptr<platform::gdi::Bitmap> Silhouette(const platform::gdi::Bitmap& picture, COLORREF color) {
  auto out = platform::gdi::NewBitmap(picture.width(), picture.height());
  for (int y = 0; y < picture.height(); ++y) {
    const std::uint8_t* from = picture.Row(y);
    std::uint8_t* to = out->Row(y);
    for (int x = 0; x < picture.width(); ++x) {
      if (from[x * 4 + 3] < 128) continue;
      to[x * 4] = GetBValue(color);
      to[x * 4 + 1] = GetGValue(color);
      to[x * 4 + 2] = GetRValue(color);
      to[x * 4 + 3] = 255;
    }
  }
  out->Surface();
  return out;
}

}  // namespace

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) {
  if (enabled) {
    DrawStyled(canvas, x, y, index, ILD_NORMAL);
    return;
  }
  auto picture = platform::gdi::ImageListPicture(handle_, index);
  if (!picture) return;
  HDC dc = canvas.Handle();
  platform::gdi::DrawPicture(dc, x + 1, y + 1, width_, height_, Silhouette(*picture, ColorToRGB(clBtnHighlight)),
                             true);
  platform::gdi::DrawPicture(dc, x, y, width_, height_, Silhouette(*picture, ColorToRGB(clBtnShadow)), true);
}

TIcon& ApplicationIcon() {
  static TIcon icon;
  return icon;
}
