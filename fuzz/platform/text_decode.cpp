// Decoders of outside 8-bit text: UTF-8, UTF-7 and the ANSI code page must take any
// bytes, and what they produce must survive the way back.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/base/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::u16string wide = platform::Utf8ToWide(bytes);
  if (platform::Utf8ToWide(platform::WideToUtf8(wide)) != wide) std::abort();
  std::u16string fromUtf7;
  platform::Utf7Decode(bytes, fromUtf7);
  std::u16string again;
  if (!platform::Utf7Decode(platform::Utf7Encode(fromUtf7), again) || again != fromUtf7) std::abort();
  if (platform::WideToAnsi(platform::AnsiToWide(bytes)) != bytes) std::abort();
  return 0;
}
