// Compares pictures with expected PNG files under tests/fixtures/gdi. Set
// PELLIX_WRITE_EXPECTED=1 to write a missing or changed expected file instead (then
// look at it before keeping it).
#pragma once

#include <string>

#include "platform/gdi/gdi_objects.h"

namespace pellix_test {

// Empty when every channel of every pixel is within `tolerance`; else a description
// of the first difference.
std::string ComparePictures(const platform::gdi::Bitmap& actual, const platform::gdi::Bitmap& expected,
                            int tolerance);

std::string CompareWithExpected(const platform::gdi::Bitmap& actual, const std::string& name, int tolerance);

// The blue, green, red, alpha bytes of a pixel (top-down coordinates).
struct Bgra {
  int b, g, r, a;
  bool operator==(const Bgra&) const = default;
};
Bgra PixelOf(const platform::gdi::Bitmap& bitmap, int x, int y);

}  // namespace pellix_test
