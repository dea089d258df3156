// The HTML tokenizer on any bytes: the first byte picks the options, the rest is the
// document. Every piece is delivered, a character-set plug-in listens, and each tag's
// attribute values are written back; nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "controls/htmllabel/mk_html_plugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t options = data[0];
  TMkHtmlParser parser;
  for (int k = 1; k < kMkPieceKindCount; ++k) parser.SetFilter(static_cast<TMkPieceKind>(k), fiShow);
  parser.SetEnableASP(options & 1);
  parser.SetEnablePHP(options & 2);
  parser.SetEnableCustomTags(options & 4);
  parser.SetEnableSSI(options & 8);
  parser.SetNormalizeWhiteSpace(options & 16);
  parser.SetTrimAttribValues(options & 32);
  if (options & 64) parser.SetDefaultContentScriptType(u"text/javascript");
  TMkHtmlCharSetPlugin plugin;
  plugin.SetHtmlParser(&parser);
  if (options & 128) parser.SetReadMethods(kMkUtf16LEReadMethods);
  parser.SetSourceBuffer(data + 1, size - 1);
  while (parser.ReadNextPiece()) {
    const TMkTag* tag = parser.Tag();
    if (tag == nullptr) continue;
    std::u16string text;
    std::int32_t used = 0;
    for (std::int32_t i = 0; i < tag->Count(); ++i) tag->AppendAttributeValue(tag->ValueAt(i), i % 3, text, used);
  }
  return 0;
}
