// Image lists: pictures of one size kept together and drawn by index, with a mask
// (a transparent part) per picture, a background colour, blended (selected, focused)
// and overlay drawing. Each picture is held with its transparency as alpha.
#pragma once

#include <cstdint>

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"

using HIMAGELIST = std::uint32_t;

inline constexpr UINT ILC_MASK = 0x00000001;
inline constexpr UINT ILC_COLOR = 0x00000000;
inline constexpr UINT ILC_COLORDDB = 0x000000FE;
inline constexpr UINT ILC_COLOR4 = 0x00000004;
inline constexpr UINT ILC_COLOR8 = 0x00000008;
inline constexpr UINT ILC_COLOR16 = 0x00000010;
inline constexpr UINT ILC_COLOR24 = 0x00000018;
inline constexpr UINT ILC_COLOR32 = 0x00000020;

inline constexpr UINT ILD_NORMAL = 0x0000;
inline constexpr UINT ILD_TRANSPARENT = 0x0001;
inline constexpr UINT ILD_BLEND25 = 0x0002;
inline constexpr UINT ILD_BLEND50 = 0x0004;
inline constexpr UINT ILD_MASK = 0x0010;
inline constexpr UINT ILD_IMAGE = 0x0020;
inline constexpr UINT ILD_OVERLAYMASK = 0x0F00;
inline constexpr UINT ILD_FOCUS = ILD_BLEND25;
inline constexpr UINT ILD_SELECTED = ILD_BLEND50;
inline constexpr UINT ILD_BLEND = ILD_BLEND50;
constexpr UINT INDEXTOOVERLAYMASK(UINT index) { return index << 8; }

inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000;

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height);
// Changes the size and empties the list.
BOOL ImageList_SetIconSize(HIMAGELIST list, int width, int height);
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
COLORREF ImageList_GetBkColor(HIMAGELIST list);

// A bitmap wider than one picture adds as many pictures as fit side by side. The
// mask is monochrome: white marks the transparent part. Answers the first new index,
// -1 on failure. The caller keeps its bitmaps.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// Pixels of `maskColor` become the transparent part.
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor);
BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask);
// Index -1 appends; answers the index written, -1 on failure.
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);
inline int ImageList_AddIcon(HIMAGELIST list, HICON icon) { return ImageList_ReplaceIcon(list, -1, icon); }
// Index -1 removes every picture.
BOOL ImageList_Remove(HIMAGELIST list, int index);
// A new icon of the picture, which the caller destroys.
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);
// Overlay numbers 1 to 15 name pictures drawn on top by INDEXTOOVERLAYMASK.
BOOL ImageList_SetOverlayImage(HIMAGELIST list, int image, int overlay);

// Draws a picture. Background: CLR_NONE or ILD_TRANSPARENT leave the destination
// under the transparent part, CLR_DEFAULT fills it with the list's background colour
// (when that is not CLR_NONE), another colour fills it with that colour. ILD_BLEND25
// and ILD_BLEND50 mix the picture with the foreground colour (CLR_DEFAULT: the
// highlight colour; CLR_NONE: the destination). ILD_MASK draws the mask. A width or
// height of 0 is the picture's own; a smaller one draws that part of it.
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int width, int height, COLORREF background,
                      COLORREF foreground, UINT style);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);

namespace platform::gdi {

// The picture of an entry (premultiplied, its transparency as alpha), or null.
std::shared_ptr<Bitmap> ImageListPicture(HIMAGELIST list, int index);

}  // namespace platform::gdi
