// Icons: a colour picture with its transparency, behind an icon handle. Icons are
// made from a bitmap (the picture is copied), copied, drawn and destroyed.
#pragma once

#include <memory>

#include "platform/gdi/gdi_objects.h"

struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;   // unused: the colour bitmap's alpha is the mask
  HBITMAP hbmColor;
};

inline constexpr UINT DI_NORMAL = 0x0003;

HICON CreateIconIndirect(ICONINFO* info);
HICON CopyIcon(HICON icon);
BOOL DestroyIcon(HICON icon);
// Fills `info` with a new copy of the icon's picture, which the caller deletes.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flicker, UINT flags);

namespace platform::gdi {

inline constexpr DWORD kIconKind = 0x1000;  // not one of the GetObjectType kinds
std::shared_ptr<Bitmap> IconPicture(HICON icon);
// A copy of a picture's pixels.
std::shared_ptr<Bitmap> CopyPicture(const Bitmap& source);
// Draws a picture at (x, y) scaled to width x height, over the destination by its
// alpha (`blend`) or copied as it is.
BOOL DrawPicture(HDC dc, int x, int y, int width, int height, const std::shared_ptr<Bitmap>& picture, bool blend);

}  // namespace platform::gdi
