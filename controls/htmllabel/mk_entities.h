// The character-entity names of HTML 4.01 (its Latin-1, special and symbol sets)
// plus "apos": 253 names with their code points, in three runs.
#pragma once

#include <cstdint>

struct TMkEntity {
  const char16_t* Name;
  std::uint32_t Code;
};

extern const TMkEntity kMkLatin1Entities[96];   // "AElig" .. "yuml", code points 160..255
extern const TMkEntity kMkSpecialEntities[33];  // "Dagger" .. "zwnj"
extern const TMkEntity kMkSymbolEntities[124];  // "Alpha" .. "zeta", code points 402..9830
