// Bitmap files and bitmap resources: the BMP file format read into 32-bit pictures,
// and LoadImage for bitmaps from the program's resources or from files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT IMAGE_CURSOR = 2;

inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_MONOCHROME = 0x0001;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_LOADTRANSPARENT = 0x0020;
inline constexpr UINT LR_DEFAULTSIZE = 0x0040;
inline constexpr UINT LR_LOADMAP3DCOLORS = 0x1000;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;
inline constexpr UINT LR_SHARED = 0x8000;

// A bitmap (IMAGE_BITMAP) from a resource of type RT_BITMAP named `name` in the
// program's module, or with LR_LOADFROMFILE from the file `name`; a width or height
// other than 0 scales it. The bitmap is a 32-bit top-down DIB section whatever the
// flags ask for colour depth. Icons and cursors, and the colour-mapping flags, answer
// 0 with ERROR_NOT_SUPPORTED; a missing resource or file, or a damaged one, 0 with
// the error that says so.
HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags);

namespace platform::gdi {

// A BMP file's pixels: top-down rows of blue, green, red, alpha (opaque unless the
// file has 32 bits per pixel), and the bits per pixel the file used.
struct BmpPicture {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  std::vector<std::uint8_t> pixels;
};

// False for a file that is not an uncompressed 1, 4, 8, 24 or 32-bit BMP, or is
// damaged or cut short; `out` is then untouched.
bool ReadBmp(const std::uint8_t* file, std::size_t size, BmpPicture& out);

}  // namespace platform::gdi
