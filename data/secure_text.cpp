#include "data/secure_text.h"

#include <sodium.h>

void WipeBytes(void* data, std::size_t size) {
  if (size != 0) sodium_memzero(data, size);
}

bool SameBytes(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || sodium_memcmp(a.data(), b.data(), a.size()) == 0);
}
