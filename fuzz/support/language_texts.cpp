// Language-pack texts come from outside (any pack dropped into the pack folder): any
// bytes read as language.ini without harm, an entry ahead of them keeps its value,
// and every line of them translates to some text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/translator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TTranslator2& translator = Translator();
  translator.SetTexts("[FuzzProbe]\r\nkey = value #61 \r\n" + bytes);
  std::string value;
  if (!_Translate("anything", "fuzzprobe.KEY", value) || value != "value =") std::abort();
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    Translate(line);
    TranslateA(line, line);
    start = end + 1;
  }
  translator.Texts.Clear();
  return 0;
}
