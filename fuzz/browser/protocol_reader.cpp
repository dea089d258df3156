// The browser's messages are outside input: any bytes, cut anywhere, must give only
// whole messages of the protocol's shape, and the reader must keep to its limit.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/browser/devtools_pipe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  platform::browser::ProtocolReader reader(4096);
  // The first byte chooses where the stream is cut, as reads from a pipe would.
  const std::size_t step = size == 0 ? 1 : 1 + data[0] % 64;
  for (std::size_t at = 0; at < bytes.size(); at += step) reader.Feed(bytes.substr(at, step));
  for (const platform::browser::ProtocolMessage& message : reader.Take()) {
    if (message.id ? !message.method.empty() : message.method.empty()) std::abort();
    if (message.id && message.error.empty() && !message.result.is_object()) std::abort();
    if (!message.id && !message.params.is_object()) std::abort();
  }
  return 0;
}
