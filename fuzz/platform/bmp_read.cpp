// BMP files come from outside (pictures loaded from files): any bytes give a picture
// whose pixels fill exactly its size, or none, never a crash.
#include <cstdint>
#include <cstdlib>

#include "platform/gdi/load_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::gdi::BmpPicture picture;
  if (!platform::gdi::ReadBmp(data, size, picture)) {
    if (picture.width != 0 || !picture.pixels.empty()) std::abort();  // untouched on failure
    return 0;
  }
  if (picture.width <= 0 || picture.height <= 0) std::abort();
  if (picture.pixels.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4) {
    std::abort();
  }
  return 0;
}
