#include "platform/gdi/load_image.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/base/errors.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/icons.h"
#include "platform/kernel/resources.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool platform::gdi::ReadBmp(const std::uint8_t* file, std::size_t size, BmpPicture& out) {
  constexpr std::int64_t kFileHeader = 14, kInfoHeader = 40, kMaxSide = 1 << 14;
  auto available = static_cast<std::int64_t>(size);
  if (file == nullptr || available < kFileHeader + kInfoHeader) return false;
  if (file[0] != 'B' || file[1] != 'M') return false;
  std::uint32_t offset = Le32(file + 10);
  const std::uint8_t* info = file + kFileHeader;
  std::uint32_t headerSize = Le32(info);
  auto width = static_cast<std::int32_t>(Le32(info + 4));
  auto height = static_cast<std::int32_t>(Le32(info + 8));
  int bits = Le16(info + 14);
  std::uint32_t compression = Le32(info + 16);
  std::uint32_t colorsUsed = Le32(info + 32);
  bool topDown = height < 0;
  std::int64_t rows = topDown ? -static_cast<std::int64_t>(height) : height;
  if (headerSize < kInfoHeader || compression != BI_RGB || width <= 0 || rows <= 0 || width > kMaxSide ||
      rows > kMaxSide || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
    return false;
  }
  std::int64_t paletteStart = kFileHeader + headerSize;
  std::int64_t paletteCount = bits <= 8 ? (colorsUsed ? colorsUsed : (1u << bits)) : 0;
  if (paletteCount > 256 || paletteStart + paletteCount * 4 > available) return false;
  std::int64_t stride = ((static_cast<std::int64_t>(width) * bits + 31) / 32) * 4;
  if (offset < paletteStart + paletteCount * 4 || offset + stride * rows > available) return false;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * rows * 4);
  const std::uint8_t* palette = file + paletteStart;
  for (std::int64_t row = 0; row < rows; ++row) {
    const std::uint8_t* source = file + offset + stride * (topDown ? row : rows - 1 - row);
    std::uint8_t* target = pixels.data() + row * width * 4;
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = target + x * 4;
      if (bits == 32) {
        std::memcpy(pixel, source + x * 4, 4);
        continue;
      }
      if (bits == 24) {
        std::memcpy(pixel, source + x * 3, 3);
      } else {
        int perByte = 8 / bits;
        int shift = (perByte - 1 - x % perByte) * bits;
        unsigned index = (source[x / perByte] >> shift) & ((1u << bits) - 1);
        if (index >= paletteCount) return false;
        std::memcpy(pixel, palette + index * 4, 3);
      }
      pixel[3] = 255;  // no alpha in the file: opaque
    }
  }
  out = BmpPicture{width, static_cast<int>(rows), bits, std::move(pixels)};
  return true;
}

namespace {

// The bytes of a bitmap resource or file; false with the last error set.
bool ImageBytes(HINSTANCE instance, const char* name, UINT flags, std::vector<std::uint8_t>& bytes) {
  if (flags & LR_LOADFROMFILE) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return true;
  }
  HRSRC resource = FindResourceA(instance, name, RT_BITMAP);
  if (resource == 0) return false;
  const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, resource)));
  bytes.assign(data, data + SizeofResource(instance, resource));
  return true;
}

}  // namespace

HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags) {
  if (type != IMAGE_BITMAP || (flags & (LR_MONOCHROME | LR_LOADTRANSPARENT | LR_LOADMAP3DCOLORS))) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  if (name == nullptr || width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<std::uint8_t> bytes;
  if (!ImageBytes(instance, name, flags, bytes)) return 0;
  platform::gdi::BmpPicture bmp;
  if (!platform::gdi::ReadBmp(bytes.data(), bytes.size(), bmp)) {
    SetLastError(ERROR_INVALID_DATA);
    return 0;
  }
  auto picture = platform::gdi::NewBitmap(bmp.width, bmp.height);
  if (!picture) return 0;
  for (int y = 0; y < bmp.height; ++y) {
    std::memcpy(picture->Row(y), bmp.pixels.data() + static_cast<std::size_t>(y) * bmp.width * 4,
                static_cast<std::size_t>(bmp.width) * 4);
  }
  picture->Surface();
  if ((width == 0 || width == bmp.width) && (height == 0 || height == bmp.height)) {
    return static_cast<HANDLE>(platform::gdi::AddBitmap(picture));
  }
  // Scaled to the size asked for.
  auto scaled = platform::gdi::NewBitmap(width ? width : bmp.width, height ? height : bmp.height);
  if (!scaled) return 0;
  HBITMAP target = platform::gdi::AddBitmap(scaled);
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, target);
  SetStretchBltMode(dc, COLORONCOLOR);
  platform::gdi::DrawPicture(dc, 0, 0, scaled->width(), scaled->height(), picture, false);
  SelectObject(dc, old);
  DeleteDC(dc);
  return static_cast<HANDLE>(target);
}
