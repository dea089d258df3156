// JPEG pictures read through libjpeg: grey, colour and CMYK files become opaque
// 32-bit pictures. Damaged or cut-short files give no picture (never part of one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/gdi_objects.h"

namespace platform::gdi {

// Pictures larger than this many pixels are refused rather than allocated.
inline constexpr std::uint64_t kMaxJpegPixels = 16ull * 1024 * 1024;

// The picture, or null with `error` (when given) saying why.
std::shared_ptr<Bitmap> ReadJpeg(const std::uint8_t* data, std::size_t size, std::string* error = nullptr);

}  // namespace platform::gdi
