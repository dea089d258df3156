// Drawing objects: pens, brushes, fonts and bitmaps named by 32-bit handles that are
// never reused while the object lives, the stock objects, and the system colours
// (a fixed palette, so that pictures do not depend on a desktop theme).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/types.h"

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16); }
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// System colours.
inline constexpr int COLOR_SCROLLBAR = 0;
inline constexpr int COLOR_BACKGROUND = 1;
inline constexpr int COLOR_ACTIVECAPTION = 2;
inline constexpr int COLOR_INACTIVECAPTION = 3;
inline constexpr int COLOR_MENU = 4;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWFRAME = 6;
inline constexpr int COLOR_MENUTEXT = 7;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_CAPTIONTEXT = 9;
inline constexpr int COLOR_ACTIVEBORDER = 10;
inline constexpr int COLOR_INACTIVEBORDER = 11;
inline constexpr int COLOR_APPWORKSPACE = 12;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;
inline constexpr int COLOR_INFOTEXT = 23;
inline constexpr int COLOR_INFOBK = 24;
inline constexpr int COLOR_HOTLIGHT = 26;
inline constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
inline constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
inline constexpr int COLOR_MENUHILIGHT = 29;
inline constexpr int COLOR_MENUBAR = 30;
inline constexpr int COLOR_3DFACE = COLOR_BTNFACE;
inline constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
inline constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;

DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);

// Stock objects.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int HOLLOW_BRUSH = NULL_BRUSH;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int SYSTEM_FONT = 13;
inline constexpr int DEFAULT_GUI_FONT = 17;
HGDIOBJ GetStockObject(int which);

// Pens and brushes.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_DOT = 2;
inline constexpr int PS_NULL = 5;
inline constexpr UINT BS_SOLID = 0;
inline constexpr UINT BS_NULL = 1;

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
};

struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};

HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// A brush that repeats a copy of the bitmap (of any size), aligned to the DC's brush
// origin; 0 with ERROR_INVALID_HANDLE for what is no bitmap.
HBRUSH CreatePatternBrush(HBITMAP bitmap);

// Fonts. lfHeight < 0 is the character height in pixels, > 0 the cell height; 0 a
// default. The face "Pellix Test Fixed" is a built-in font of boxes with fixed
// metrics, so that layout and pixel tests do not depend on installed fonts.
inline constexpr int LF_FACESIZE = 32;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;
inline constexpr BYTE DEFAULT_CHARSET = 1;

struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char16_t lfFaceName[LF_FACESIZE];
};

struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};

HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontIndirectA(const LOGFONTA* font);

// Bitmaps. Pixels are 32-bit, blue, green, red, alpha in memory, premultiplied.
inline constexpr DWORD BI_RGB = 0;
inline constexpr UINT DIB_RGB_COLORS = 0;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// A 32-bit device-independent bitmap whose pixels the caller may write through *bits.
// Rows run top-down when biHeight is negative, bottom-up (the first row in memory is
// the bottom one) when it is positive. Only 32 bits per pixel.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// 32 bits per pixel, or 1 (monochrome: rows of bits, most significant first, each
// row padded to 16 bits; a set bit is white).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);

BOOL DeleteObject(HGDIOBJ object);
int GetObjectW(HGDIOBJ object, int size, void* buffer);
int GetObjectA(HGDIOBJ object, int size, void* buffer);

namespace platform::gdi {

// A bitmap's pixels: a cairo image surface (ARGB32, premultiplied). Bottom-up
// bitmaps keep their rows flipped in memory; drawing corrects for it.
struct Bitmap {
  ~Bitmap();
  cairo_surface_t* surface = nullptr;
  // The surface for cairo to read or draw: callers may have written the pixels
  // through the bits pointer, which cairo must be told before it looks.
  cairo_surface_t* Surface() const;
  bool bottomUp = false;
  // A 1-bit bitmap: its pixels are kept black or white.
  bool monochrome = false;
  int width() const;
  int height() const;
  // Row `y` counted from the top, pixels as they are now (blue, green, red, alpha).
  // Whoever writes through it calls Surface() before cairo draws again.
  std::uint8_t* Row(int y) const;
};

struct Font {
  LOGFONTW logFont{};
  std::u16string face() const;
  bool builtInFixed() const;
  int PixelHeight() const;  // the character height in pixels
};

struct Pen {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct Brush {
  bool hollow = false;
  COLORREF color = 0;
  // A pattern brush's own copy of its bitmap; a monochrome one paints black in the
  // DC's text colour and white in its background colour.
  std::shared_ptr<Bitmap> pattern;
};

// The object a handle names, when it is alive and of that kind.
std::shared_ptr<Bitmap> BitmapOf(HGDIOBJ handle);
std::shared_ptr<Font> FontOf(HGDIOBJ handle);
std::shared_ptr<Pen> PenOf(HGDIOBJ handle);
std::shared_ptr<Brush> BrushOf(HGDIOBJ handle);

// Kinds as GetObjectType answers them.
inline constexpr DWORD OBJ_PEN = 1;
inline constexpr DWORD OBJ_BRUSH = 2;
inline constexpr DWORD OBJ_DC = 3;
inline constexpr DWORD OBJ_FONT = 6;
inline constexpr DWORD OBJ_BITMAP = 7;
inline constexpr DWORD OBJ_MEMDC = 10;

// Adds a bitmap made elsewhere (a loaded picture) to the handle table.
HBITMAP AddBitmap(std::shared_ptr<Bitmap> bitmap);

// A new zeroed bitmap of a size (top-down).
std::shared_ptr<Bitmap> NewBitmap(int width, int height);

// Hands out and takes back drawing handles (device contexts are numbered here too).
HGDIOBJ NewHandle(std::shared_ptr<void> object, DWORD kind);
std::shared_ptr<void> HandleTarget(HGDIOBJ handle, DWORD kind);
void ReleaseHandle(HGDIOBJ handle);

}  // namespace platform::gdi

DWORD GetObjectType(HGDIOBJ object);
