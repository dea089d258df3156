#include "picture_compare.h"

#include <cstdlib>
#include <sstream>

#include "common/test_env.h"
#include "platform/gdi/window_picture.h"

namespace pellix_test {

Bgra PixelOf(const platform::gdi::Bitmap& bitmap, int x, int y) {
  cairo_surface_flush(bitmap.surface);
  const unsigned char* data = cairo_image_surface_get_data(bitmap.surface);
  int stride = cairo_image_surface_get_stride(bitmap.surface);
  int row = bitmap.bottomUp ? bitmap.height() - 1 - y : y;
  const unsigned char* p = data + row * stride + x * 4;
  return Bgra{p[0], p[1], p[2], p[3]};
}

std::string ComparePictures(const platform::gdi::Bitmap& actual, const platform::gdi::Bitmap& expected,
                            int tolerance) {
  if (actual.width() != expected.width() || actual.height() != expected.height()) {
    std::ostringstream out;
    out << "size " << actual.width() << "x" << actual.height() << " differs from " << expected.width() << "x"
        << expected.height();
    return out.str();
  }
  for (int y = 0; y < actual.height(); ++y) {
    for (int x = 0; x < actual.width(); ++x) {
      Bgra a = PixelOf(actual, x, y), e = PixelOf(expected, x, y);
      if (std::abs(a.b - e.b) > tolerance || std::abs(a.g - e.g) > tolerance || std::abs(a.r - e.r) > tolerance ||
          std::abs(a.a - e.a) > tolerance) {
        std::ostringstream out;
        out << "pixel (" << x << "," << y << ") is bgra " << a.b << "," << a.g << "," << a.r << "," << a.a
            << " but expected " << e.b << "," << e.g << "," << e.r << "," << e.a;
        return out.str();
      }
    }
  }
  return {};
}

std::string CompareWithExpected(const platform::gdi::Bitmap& actual, const std::string& name, int tolerance) {
  auto path = Fixture("gdi/" + name);
  auto expected = platform::gdi::ReadPng(path);
  const char* write = std::getenv("PELLIX_WRITE_EXPECTED");
  std::string difference = expected ? ComparePictures(actual, *expected, tolerance) : "no expected file " + path.string();
  if (!difference.empty() && write && std::string(write) == "1") {
    if (!platform::gdi::WritePng(actual, path)) return "could not write the expected file " + path.string();
    return {};
  }
  return difference;
}

}  // namespace pellix_test
