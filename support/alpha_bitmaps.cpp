#include "support/alpha_bitmaps.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/classlib/resource_stream.h"
#include "platform/kernel/resources.h"

namespace {

// Row a, column c: (a x c) >> 8; made on first use, kept until exit.
const std::array<std::uint8_t, 65536>& MulTable() {
  static const auto table = [] {
    std::array<std::uint8_t, 65536> t{};
    for (int a = 0; a < 256; ++a) {
      for (int c = 0; c < 256; ++c) t[a * 256 + c] = static_cast<std::uint8_t>((a * c) >> 8);
    }
    return t;
  }();
  return table;
}

// Rows are reached from row 0 by the stride between rows 0 and 1 (negative for
// bitmaps kept bottom-up).
std::ptrdiff_t RowStride(TBitmap& bitmap) {
  return bitmap.Height() > 1 ? bitmap.ScanLine(1) - bitmap.ScanLine(0) : 0;
}

void MaskToAlphaPixels(TBitmap& color, TBitmap& mask, TBitmap& result, bool invert) {
  const auto& table = MulTable();
  std::uint8_t* source = color.ScanLine(0);
  std::uint8_t* alphaSource = mask.ScanLine(0);
  std::uint8_t* target = result.ScanLine(0);
  std::ptrdiff_t sourceStride = RowStride(color), maskStride = RowStride(mask), targetStride = RowStride(result);
  for (int row = 0; row < result.Height(); ++row) {
    for (int x = 0; x < result.Width(); ++x) {
      std::uint8_t a = alphaSource[x * 4];
      if (invert) a = static_cast<std::uint8_t>(255 - a);
      const std::uint8_t* multiply = table.data() + a * 256;
      const std::uint8_t* s = source + x * 4;
      std::uint8_t* t = target + x * 4;
      t[0] = multiply[s[0]];
      t[1] = multiply[s[1]];
      t[2] = multiply[s[2]];
      t[3] = a;
    }
    source += sourceStride;
    alphaSource += maskStride;
    target += targetStride;
  }
}

}  // namespace

TBitmap* LoadRCDataBitmap(HINSTANCE instance, const char* name) {
  return LoadResourceBitmap(instance, name, RT_RCDATA);
}

TBitmap* LoadResourceBitmap(HINSTANCE instance, const char* name, const char* type) {
  if (FindResourceA(instance, name, type) == 0) return nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  try {
    TResourceStream stream(instance, name, type);
    bitmap->LoadFromStream(stream);
  } catch (const Exception&) {
    return nullptr;  // a damaged resource gives no bitmap, as a missing one does
  }
  return bitmap.release();
}

TColor ResolveColor(TColor color) {
  if (color >= 0) return color;
  return static_cast<TColor>(GetSysColor(color & 0xFF));
}

void LoadFlattenedBitmap(TImage* image, HINSTANCE instance, const char* name, TColor background) {
  if (image == nullptr) return;
  std::unique_ptr<TBitmap> bitmap(LoadRCDataBitmap(instance, name));
  if (!bitmap) return;
  try {
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    TColor rgb = ResolveColor(background);
    const int back[3] = {(rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF};  // blue, green, red
    for (int row = 0; row < bitmap->Height(); ++row) {
      std::uint8_t* pixel = bitmap->ScanLine(row);
      for (int x = 0; x < bitmap->Width(); ++x, pixel += 4) {
        int a = pixel[3];
        for (int part = 0; part < 3; ++part) {
          pixel[part] = static_cast<std::uint8_t>(std::trunc((pixel[part] * a + back[part] * (255 - a)) / 255.0));
        }
        pixel[3] = 0;
      }
    }
    image->Picture().Bitmap().Assign(bitmap.get());
  } catch (const Exception&) {
    // The control keeps the picture it had.
  }
}

TBitmap* MakeAlphaBitmap(TBitmap* color, TBitmap* mask, bool invert) {
  if (color == nullptr || mask == nullptr || color->Width() != mask->Width() || color->Height() != mask->Height()) {
    return nullptr;
  }
  color->SetPixelFormat(TPixelFormat::pf32bit);
  mask->SetPixelFormat(TPixelFormat::pf32bit);
  auto result = std::make_unique<TBitmap>();
  result->SetPixelFormat(TPixelFormat::pf32bit);
  result->SetSize(color->Width(), color->Height());
  if (!result->Empty()) MaskToAlphaPixels(*color, *mask, *result, invert);
  return result.release();
}
