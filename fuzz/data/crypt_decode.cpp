// The cipher bag's decoder takes text from settings and list files. The first byte
// picks the layer: even, the rest is an enciphered text as stored; odd, the rest is
// the plain text of a bag, enciphered here so that the parser behind the cipher is
// reached. A bag that decodes must survive Encode and Decode unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/crypt_wide.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  // A key of the fuzzer's own: the user's keys live in a state root it must not touch.
  TWideCrypt bag(false);
  bag.SetKey(u"Z");
  std::string text(rest);
  if (data[0] & 1) {
    std::string sealed;
    if (!EncipherWithKey(rest, TCryptKey(1, 0x5A), sealed)) std::abort();
    text = Base64Encode(sealed);
  } else {
    bag.DecryptString(rest);
  }
  if (!bag.Decode(text)) {
    if (!bag.Params().empty() || bag.Valid()) std::abort();
    return 0;
  }
  TWideCrypt copy(false);
  copy.SetKey(u"Z");
  if (!copy.Decode(bag.Encode()) || copy.Params() != bag.Params()) std::abort();
  return 0;
}
