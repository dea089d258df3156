#include "platform/gdi/image_lists.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/base/errors.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/icons.h"

namespace {

using platform::gdi::Bitmap;
using Picture = std::shared_ptr<Bitmap>;

constexpr DWORD kImageListKind = 0x1001;  // not one of the GetObjectType kinds

struct ImageList {
  int width = 0;
  int height = 0;
  UINT flags = 0;
  COLORREF background = CLR_NONE;
  std::vector<Picture> pictures;
  std::array<int, 16> overlays{};  // overlay number -> picture index + 1
  bool Masked() const { return (flags & ILC_MASK) != 0; }
};

std::shared_ptr<ImageList> ListOf(HIMAGELIST list) {
  return std::static_pointer_cast<ImageList>(platform::gdi::HandleTarget(list, kImageListKind));
}

// Part `column` (in picture widths) of a bitmap, copied into a picture of the list's size.
Picture Slice(const Bitmap& source, const ImageList& list, int column) {
  auto out = platform::gdi::NewBitmap(list.width, list.height);
  if (!out) return nullptr;
  for (int y = 0; y < list.height && y < source.height(); ++y) {
    const std::uint8_t* from = source.Row(y);
    std::uint8_t* to = out->Row(y);
    for (int x = 0; x < list.width; ++x) {
      int sx = column * list.width + x;
      if (sx < source.width()) std::memcpy(to + x * 4, from + sx * 4, 4);
    }
  }
  return out;
}

// A bitmap with alpha of its own keeps it in a 32-bit list; otherwise (no alpha at
// all, as most bitmaps) every pixel is opaque.
void SettleAlpha(Bitmap& picture, bool keepAlpha) {
  bool anyAlpha = false;
  for (int y = 0; y < picture.height() && !anyAlpha; ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.width(); ++x) anyAlpha = anyAlpha || row[x * 4 + 3] != 0;
  }
  if (keepAlpha && anyAlpha) return;
  for (int y = 0; y < picture.height(); ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.width(); ++x) row[x * 4 + 3] = 255;
  }
}

void MakeTransparent(std::uint8_t* pixel) { std::memset(pixel, 0, 4); }

// The pictures a bitmap holds, with their transparency from a mask bitmap (white =
// transparent) or a mask colour.
std::vector<Picture> PicturesOf(const ImageList& list, HBITMAP image, HBITMAP mask, const COLORREF* maskColor) {
  auto source = platform::gdi::BitmapOf(image);
  if (!source) return {};
  auto maskSource = mask ? platform::gdi::BitmapOf(mask) : nullptr;
  if (mask && !maskSource) return {};
  int count = std::max(1, source->width() / list.width);
  std::vector<Picture> out;
  for (int column = 0; column < count; ++column) {
    Picture picture = Slice(*source, list, column);
    if (!picture) return {};
    SettleAlpha(*picture, (list.flags & 0xFE) == ILC_COLOR32 && !source->monochrome);
    if (list.Masked()) {
      Picture maskPicture = maskSource ? Slice(*maskSource, list, column) : nullptr;
      for (int y = 0; y < list.height; ++y) {
        std::uint8_t* row = picture->Row(y);
        const std::uint8_t* maskRow = maskPicture ? maskPicture->Row(y) : nullptr;
        for (int x = 0; x < list.width; ++x) {
          std::uint8_t* p = row + x * 4;
          bool clear = maskRow ? maskRow[x * 4] == 255 && maskRow[x * 4 + 1] == 255 && maskRow[x * 4 + 2] == 255
                               : maskColor && RGB(p[2], p[1], p[0]) == (*maskColor & 0xFFFFFF);
          if (clear) MakeTransparent(p);
        }
      }
    }
    picture->Surface();
    out.push_back(picture);
  }
  return out;
}

Picture IconPictureForList(const ImageList& list, HICON icon) {
  auto source = platform::gdi::IconPicture(icon);
  if (!source) return nullptr;
  auto out = platform::gdi::NewBitmap(list.width, list.height);
  if (!out) return nullptr;
  HDC dc = CreateCompatibleDC(0);
  HBITMAP target = platform::gdi::AddBitmap(out);
  HGDIOBJ old = SelectObject(dc, target);
  SetStretchBltMode(dc, COLORONCOLOR);
  platform::gdi::DrawPicture(dc, 0, 0, list.width, list.height, source, false);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
  return out;
}

std::uint8_t Mix(std::uint8_t a, std::uint8_t b, int partsOfB) {
  return static_cast<std::uint8_t>((a * (4 - partsOfB) + b * partsOfB + 2) / 4);
}

// The picture as it is to be drawn: the mask, or the picture blended and with its overlay.
Picture Prepare(const ImageList& list, int index, COLORREF foreground, UINT style) {
  Picture picture = platform::gdi::CopyPicture(*list.pictures[static_cast<std::size_t>(index)]);
  if (style & ILD_MASK) {
    for (int y = 0; y < picture->height(); ++y) {
      std::uint8_t* row = picture->Row(y);
      for (int x = 0; x < picture->width(); ++x) {
        std::memset(row + x * 4, row[x * 4 + 3] == 0 ? 255 : 0, 3);
        row[x * 4 + 3] = 255;
      }
    }
    picture->Surface();
    return picture;
  }
  int overlay = static_cast<int>((style & ILD_OVERLAYMASK) >> 8);
  int parts = (style & ILD_BLEND50) ? 2 : (style & ILD_BLEND25) ? 1 : 0;
  if (parts > 0) {
    COLORREF blendColor = foreground == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : foreground;
    for (int y = 0; y < picture->height(); ++y) {
      std::uint8_t* row = picture->Row(y);
      for (int x = 0; x < picture->width(); ++x) {
        std::uint8_t* p = row + x * 4;
        if (foreground == CLR_NONE) {
          // Blending with the destination: the picture shows through less.
          for (int c = 0; c < 4; ++c) p[c] = Mix(p[c], 0, parts);
          continue;
        }
        // Premultiplied: the foreground counts in proportion to the pixel's alpha.
        const std::uint8_t tint[3] = {GetBValue(blendColor), GetGValue(blendColor), GetRValue(blendColor)};
        for (int c = 0; c < 3; ++c) p[c] = Mix(p[c], static_cast<std::uint8_t>(tint[c] * p[3] / 255), parts);
      }
    }
    picture->Surface();
  }
  if (overlay > 0 && list.overlays[static_cast<std::size_t>(overlay)] > 0) {
    int overlayIndex = list.overlays[static_cast<std::size_t>(overlay)] - 1;
    if (overlayIndex < static_cast<int>(list.pictures.size())) {
      cairo_t* cr = cairo_create(picture->Surface());
      cairo_set_source_surface(cr, list.pictures[static_cast<std::size_t>(overlayIndex)]->Surface(), 0, 0);
      cairo_paint(cr);
      cairo_destroy(cr);
    }
  }
  return picture;
}

bool ValidIndex(const ImageList& list, int index) {
  return index >= 0 && index < static_cast<int>(list.pictures.size());
}

}  // namespace

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int, int) {
  if (width <= 0 || height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto list = std::make_shared<ImageList>();
  list->width = width;
  list->height = height;
  list->flags = flags;
  return platform::gdi::NewHandle(list, kImageListKind);
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  if (!ListOf(list)) return FALSE;
  platform::gdi::ReleaseHandle(list);
  return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST list) {
  auto l = ListOf(list);
  return l ? static_cast<int>(l->pictures.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height) {
  auto l = ListOf(list);
  if (!l || width == nullptr || height == nullptr) return FALSE;
  *width = l->width;
  *height = l->height;
  return TRUE;
}

BOOL ImageList_SetIconSize(HIMAGELIST list, int width, int height) {
  auto l = ListOf(list);
  if (!l || width <= 0 || height <= 0) return FALSE;
  l->width = width;
  l->height = height;
  l->pictures.clear();
  return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color) {
  auto l = ListOf(list);
  if (!l) return CLR_NONE;
  COLORREF old = l->background;
  l->background = color;
  return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST list) {
  auto l = ListOf(list);
  return l ? l->background : CLR_NONE;
}

namespace {

int Append(HIMAGELIST list, HBITMAP image, HBITMAP mask, const COLORREF* maskColor) {
  auto l = ListOf(list);
  if (!l) return -1;
  auto pictures = PicturesOf(*l, image, mask, maskColor);
  if (pictures.empty()) return -1;
  int first = static_cast<int>(l->pictures.size());
  l->pictures.insert(l->pictures.end(), pictures.begin(), pictures.end());
  return first;
}

}  // namespace

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) { return Append(list, image, mask, nullptr); }

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor) {
  return Append(list, image, 0, &maskColor);
}

BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask) {
  auto l = ListOf(list);
  if (!l || !ValidIndex(*l, index)) return FALSE;
  auto pictures = PicturesOf(*l, image, mask, nullptr);
  if (pictures.empty()) return FALSE;
  l->pictures[static_cast<std::size_t>(index)] = pictures.front();
  return TRUE;
}

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon) {
  auto l = ListOf(list);
  if (!l || (index != -1 && !ValidIndex(*l, index))) return -1;
  Picture picture = IconPictureForList(*l, icon);
  if (!picture) return -1;
  if (index == -1) {
    l->pictures.push_back(picture);
    return static_cast<int>(l->pictures.size()) - 1;
  }
  l->pictures[static_cast<std::size_t>(index)] = picture;
  return index;
}

BOOL ImageList_Remove(HIMAGELIST list, int index) {
  auto l = ListOf(list);
  if (!l) return FALSE;
  if (index == -1) {
    l->pictures.clear();
    return TRUE;
  }
  if (!ValidIndex(*l, index)) return FALSE;
  l->pictures.erase(l->pictures.begin() + index);
  return TRUE;
}

HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT) {
  auto l = ListOf(list);
  if (!l || !ValidIndex(*l, index)) return 0;
  HBITMAP copy = platform::gdi::AddBitmap(platform::gdi::CopyPicture(*l->pictures[static_cast<std::size_t>(index)]));
  ICONINFO info{TRUE, 0, 0, 0, copy};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(copy);
  return icon;
}

BOOL ImageList_SetOverlayImage(HIMAGELIST list, int image, int overlay) {
  auto l = ListOf(list);
  if (!l || overlay < 1 || overlay > 15 || !ValidIndex(*l, image)) return FALSE;
  l->overlays[static_cast<std::size_t>(overlay)] = image + 1;
  return TRUE;
}

BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int width, int height, COLORREF background,
                      COLORREF foreground, UINT style) {
  auto l = ListOf(list);
  if (!l || !ValidIndex(*l, index) || !platform::gdi::TargetOf(dc)) return FALSE;
  width = width <= 0 ? l->width : std::min(width, l->width);
  height = height <= 0 ? l->height : std::min(height, l->height);
  Picture picture = Prepare(*l, index, foreground, style);
  if (width != l->width || height != l->height) {
    auto part = platform::gdi::NewBitmap(width, height);
    for (int row = 0; row < height; ++row) std::memcpy(part->Row(row), picture->Row(row), static_cast<std::size_t>(width) * 4);
    part->Surface();
    picture = part;
  }
  if (style & ILD_MASK) return platform::gdi::DrawPicture(dc, x, y, width, height, picture, false);
  COLORREF fill = background == CLR_DEFAULT ? l->background : background;
  if (l->Masked() && !(style & ILD_TRANSPARENT) && fill != CLR_NONE) {
    HBRUSH brush = CreateSolidBrush(fill);
    RECT area{x, y, x + width, y + height};
    FillRect(dc, &area, brush);
    DeleteObject(brush);
  }
  return platform::gdi::DrawPicture(dc, x, y, width, height, picture, true);
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

std::shared_ptr<Bitmap> platform::gdi::ImageListPicture(HIMAGELIST list, int index) {
  auto l = ListOf(list);
  return l && ValidIndex(*l, index) ? l->pictures[static_cast<std::size_t>(index)] : nullptr;
}
