// The character reader on any bytes: the first byte picks the decoder and a peek
// distance; reading mixes peeks and scans until the input ends.
#include <cstddef>
#include <cstdint>

#include "controls/htmllabel/mk_unicode_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  TMkUnicodeReader reader;
  if (data[0] & 1) reader.SetReadMethods(kMkUtf16LEReadMethods);
  const std::int32_t peek = 1 + (data[0] >> 1) % 8;
  TMemoryStream* stream = nullptr;
  if (data[0] & 0x80) {
    stream = new TMemoryStream;
    stream->Write(data + 1, static_cast<std::int32_t>(size - 1));
    stream->SetPosition(0);
    reader.SetSourceStream(stream, true);
  } else {
    reader.SetSourceBuffer(data + 1, size - 1);
  }
  reader.ReadChar();
  while (reader.CharValid()) {
    char16_t c = 0;
    reader.PeekChar(peek, c);
    reader.AddWhile(CharIsNameChar);
    reader.SkipWhiteSpace();
    reader.AppendCharNormalized(reader.Char());
    reader.ReadChar();
    if (reader.DataLength() > 4096) reader.ClearData();
  }
  return 0;
}
