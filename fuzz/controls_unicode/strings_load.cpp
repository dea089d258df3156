// A wide string list loads any bytes as a text file (with or without a byte-order
// mark), and what it saves loads back to the same lines. The 8-bit view loads the same
// bytes in UTF-8 and UTF-7, where malformed UTF-7 is refused with its own error.
#include <cstdint>
#include <cstdlib>

#include "controls/unicode/uni_classes.h"
#include "controls/unicode/uni_system.h"
#include "platform/base/text.h"

namespace {

bool SameLines(const TUniStringList& a, const TUniStringList& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    if (a.Strings(i) != b.Strings(i)) return false;
  }
  return true;
}

void LoadInCodePage(TMemoryStream& input, UINT codePage) {
  TUniStringList list;
  input.SetPosition(0);
  try {
    list.AnsiStrings().LoadFromStreamEx(input, codePage);
  } catch (const EUniGeneralError&) {
    if (codePage != CP_UTF7) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream input;
  input.WriteBuffer(data, static_cast<std::int32_t>(size));
  input.SetPosition(0);
  TUniStringList loaded;
  loaded.LoadFromStream(input);
  TMemoryStream saved;
  loaded.SaveToStream(saved);
  saved.SetPosition(0);
  TUniStringList again;
  again.LoadFromStream(saved);
  if (!SameLines(loaded, again)) std::abort();
  LoadInCodePage(input, CP_UTF8);
  LoadInCodePage(input, CP_UTF7);
  return 0;
}
