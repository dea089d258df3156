// Device contexts over bitmaps: the selected pen, brush, font and bitmap, text and
// background colours, a clip rectangle and a viewport origin; shapes, text output and
// measurement with the DT_* layout rules, pixel access, raster-operation blits and
// alpha blending. A window's DC draws into the window's picture (window_picture.h).
#pragma once

#include <functional>
#include <memory>

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/regions.h"

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

inline constexpr UINT TA_LEFT = 0;
inline constexpr UINT TA_RIGHT = 2;
inline constexpr UINT TA_CENTER = 6;
inline constexpr UINT TA_TOP = 0;
inline constexpr UINT TA_BOTTOM = 8;
inline constexpr UINT TA_BASELINE = 24;

inline constexpr UINT ETO_OPAQUE = 0x0002;
inline constexpr UINT ETO_CLIPPED = 0x0004;

inline constexpr UINT DT_TOP = 0x00000000;
inline constexpr UINT DT_LEFT = 0x00000000;
inline constexpr UINT DT_CENTER = 0x00000001;
inline constexpr UINT DT_RIGHT = 0x00000002;
inline constexpr UINT DT_VCENTER = 0x00000004;
inline constexpr UINT DT_BOTTOM = 0x00000008;
inline constexpr UINT DT_WORDBREAK = 0x00000010;
inline constexpr UINT DT_SINGLELINE = 0x00000020;
inline constexpr UINT DT_EXPANDTABS = 0x00000040;
inline constexpr UINT DT_NOCLIP = 0x00000100;
inline constexpr UINT DT_CALCRECT = 0x00000400;
inline constexpr UINT DT_NOPREFIX = 0x00000800;
inline constexpr UINT DT_EDITCONTROL = 0x00002000;
inline constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
inline constexpr UINT DT_END_ELLIPSIS = 0x00008000;
inline constexpr UINT DT_RTLREADING = 0x00020000;
inline constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
inline constexpr UINT DT_HIDEPREFIX = 0x00100000;

inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD NOTSRCCOPY = 0x00330008;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;
inline constexpr DWORD SRCERASE = 0x00440328;
inline constexpr DWORD NOTSRCERASE = 0x001100A6;
inline constexpr DWORD MERGECOPY = 0x00C000CA;
inline constexpr DWORD MERGEPAINT = 0x00BB0226;
inline constexpr DWORD PATPAINT = 0x00FB0A09;
inline constexpr DWORD PATINVERT = 0x005A0049;
// Where the source is black the pattern, elsewhere the destination stays.
inline constexpr DWORD DSPDxax = 0x00E20746;

// How StretchBlt folds source pixels that fall on one destination pixel.
inline constexpr int BLACKONWHITE = 1;  // AND: black wins
inline constexpr int WHITEONBLACK = 2;  // OR: white wins
inline constexpr int COLORONCOLOR = 3;  // the pixel nearest the centre
inline constexpr int HALFTONE = 4;      // the average
inline constexpr int STRETCH_ANDSCANS = BLACKONWHITE;
inline constexpr int STRETCH_ORSCANS = WHITEONBLACK;
inline constexpr int STRETCH_DELETESCANS = COLORONCOLOR;
inline constexpr int STRETCH_HALFTONE = HALFTONE;

inline constexpr BYTE AC_SRC_OVER = 0x00;
inline constexpr BYTE AC_SRC_ALPHA = 0x01;

struct BLENDFUNCTION {
  BYTE BlendOp;
  BYTE BlendFlags;
  BYTE SourceConstantAlpha;
  BYTE AlphaFormat;
};

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  char16_t tmFirstChar;
  char16_t tmLastChar;
  char16_t tmDefaultChar;
  char16_t tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT kind);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);
// The clip: the DC's own area narrowed by the calls below (rectangles in logical
// units, regions in device pixels); every drawing call stays inside it.
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
// A null region takes the program's clipping away again.
int SelectClipRgn(HDC dc, HRGN region);
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
// 1 with the clip copied into `region`; -1 for a bad handle.
int GetClipRgn(HDC dc, HRGN region);
int GetClipBox(HDC dc, RECT* rect);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);

// Shapes. A brush may be given as a system colour index + 1, as the platform allows.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
// A rectangle with corners rounded by ellipses of width x height.
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
// A closed shape filled with the brush (alternate filling) and outlined with the pen.
BOOL Polygon(HDC dc, const POINT* points, int count);
// Where pattern brushes start, counted from the DC's own corner.
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetBrushOrgEx(HDC dc, POINT* origin);
BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);

// Text.
BOOL TextOutW(HDC dc, int x, int y, const char16_t* text, int length);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, const char16_t* text,
                 UINT length, const INT* dx);
BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int length, SIZE* size);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
int DrawTextW(HDC dc, const char16_t* text, int length, RECT* rect, UINT format);
int DrawTextA(HDC dc, const char* text, int length, RECT* rect, UINT format);

// Blits, with any ternary raster operation (pattern = the DC's brush). Between a
// monochrome and a colour bitmap the colours map through the text and background
// colours as the platform maps them. Negative extents mirror.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, BLENDFUNCTION blend);
// Moves the DC's pixels in Scroll (the whole DC when nil) by (dx, dy); only pixels
// inside Clip (and the DC's clip region) change. What the move left uncovered there
// goes into UpdateRegion and Update (its bounds), in logical coordinates; either may
// be nil. FALSE with ERROR_INVALID_HANDLE for a DC without pixels.
BOOL ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRegion, RECT* update);

namespace platform::gdi {

// A DC drawing into a bitmap; `window` is the window it paints (0 for memory DCs).
// `clip` is in the bitmap's pixels; the DC's own (0, 0) lies at `dcOrigin` of the
// bitmap (a client area's corner within its window's picture).
HDC NewDC(std::shared_ptr<Bitmap> target, HWND window, RECT clip, POINT dcOrigin = POINT{0, 0});

// The bitmap a DC draws into, and its window.
std::shared_ptr<Bitmap> TargetOf(HDC dc);
HWND WindowOfDC(HDC dc);

// Frees a DC made by NewDC.
void FreeDC(HDC dc);

// Told of every ScrollDC after it moved pixels: the DC, the move and the scrolled
// rectangle in logical coordinates (the whole DC's when none was given). For tests
// that follow animations; an empty function stops it.
void SetScrollDCObserver(std::function<void(HDC dc, int dx, int dy, const RECT& scroll)> observer);

}  // namespace platform::gdi
