// JPEG pictures come from outside: any bytes give a picture of the size the file
// names or none, never a crash.
#include <cstdint>
#include <cstdlib>

#include "platform/gdi/jpeg_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  auto picture = platform::gdi::ReadJpeg(data, size, &error);
  if (!picture && error.empty()) std::abort();
  if (picture && (picture->width() <= 0 || picture->height() <= 0)) std::abort();
  return 0;
}
