// Windows' pictures: every window paints into a picture of its own size; a window's
// whole picture is its own with its visible children on top, and the headless screen
// composes the visible top-level windows. GetDC, BeginPaint and UpdateLayeredWindow
// reach the pictures; tests write them as PNG files and compare them.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/base/types.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

inline constexpr DWORD ULW_COLORKEY = 0x00000001;
inline constexpr DWORD ULW_ALPHA = 0x00000002;
inline constexpr DWORD ULW_OPAQUE = 0x00000004;

// GetDC(0) gives a DC on a small scratch picture, for measuring text. GetDC and
// BeginPaint draw in client coordinates within the client area; GetWindowDC draws
// on the whole window, its corner at (0, 0).
HDC GetDC(HWND window);
HDC GetWindowDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// Replaces a layered window's picture with the source DC's pixels (alpha kept), and
// moves or sizes the window when asked.
BOOL UpdateLayeredWindow(HWND window, HDC destDc, const POINT* destPoint, const SIZE* size, HDC sourceDc,
                         const POINT* sourcePoint, COLORREF key, const BLENDFUNCTION* blend, DWORD flags);

namespace platform::gdi {

// A window's client area as shown: its own picture with its visible children
// composed on top.
std::shared_ptr<Bitmap> WindowPicture(HWND window);
// The same for the whole window, its non-client area (scroll bars, what its
// WM_NCCALCSIZE keeps) included.
std::shared_ptr<Bitmap> WholeWindowPicture(HWND window);

// The headless screen: the desktop colour and the visible top-level windows.
std::shared_ptr<Bitmap> ScreenPicture();

// PNG files of pictures (straight alpha in the file). False when it cannot be written.
bool WritePng(const Bitmap& bitmap, const std::filesystem::path& path);
std::shared_ptr<Bitmap> ReadPng(const std::filesystem::path& path);

}  // namespace platform::gdi
