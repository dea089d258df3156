#include "platform/gdi/icons.h"

#include <cstring>

#include "platform/base/errors.h"
#include "platform/gdi/device_context.h"

namespace platform::gdi {

std::shared_ptr<Bitmap> CopyPicture(const Bitmap& source) {
  auto copy = NewBitmap(source.width(), source.height());
  cairo_surface_t* from = source.Surface();
  cairo_surface_flush(from);
  cairo_surface_flush(copy->surface);
  int stride = cairo_image_surface_get_stride(from);
  std::memcpy(cairo_image_surface_get_data(copy->surface), cairo_image_surface_get_data(from),
              static_cast<std::size_t>(stride) * static_cast<std::size_t>(source.height()));
  cairo_surface_mark_dirty(copy->surface);
  copy->bottomUp = source.bottomUp;
  copy->monochrome = source.monochrome;
  return copy;
}

BOOL DrawPicture(HDC dc, int x, int y, int width, int height, const std::shared_ptr<Bitmap>& picture, bool blend) {
  HDC source = CreateCompatibleDC(dc);
  HBITMAP shared = AddBitmap(picture);
  HGDIOBJ old = SelectObject(source, shared);
  BOOL done = blend ? AlphaBlend(dc, x, y, width, height, source, 0, 0, picture->width(), picture->height(),
                                 BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA})
                    : StretchBlt(dc, x, y, width, height, source, 0, 0, picture->width(), picture->height(), SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(shared);
  return done;
}

std::shared_ptr<Bitmap> IconPicture(HICON icon) {
  return std::static_pointer_cast<Bitmap>(HandleTarget(icon, kIconKind));
}

}  // namespace platform::gdi

namespace {

HICON NewIcon(const platform::gdi::Bitmap& picture) {
  return platform::gdi::NewHandle(platform::gdi::CopyPicture(picture), platform::gdi::kIconKind);
}

}  // namespace

HICON CreateIconIndirect(ICONINFO* info) {
  auto picture = info != nullptr ? platform::gdi::BitmapOf(info->hbmColor) : nullptr;
  if (picture == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return NewIcon(*picture);
}

HICON CopyIcon(HICON icon) {
  auto picture = platform::gdi::IconPicture(icon);
  if (picture == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return NewIcon(*picture);
}

BOOL DestroyIcon(HICON icon) {
  if (platform::gdi::IconPicture(icon) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  platform::gdi::ReleaseHandle(icon);
  return TRUE;
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  auto picture = platform::gdi::IconPicture(icon);
  if (picture == nullptr || info == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *info = ICONINFO{TRUE, 0, 0, 0, platform::gdi::AddBitmap(platform::gdi::CopyPicture(*picture))};
  return TRUE;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH, UINT) {
  auto picture = platform::gdi::IconPicture(icon);
  if (picture == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (width == 0) width = picture->width();
  if (height == 0) height = picture->height();
  return platform::gdi::DrawPicture(dc, x, y, width, height, picture, true);
}
