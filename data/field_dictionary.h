// The lookup lists read from the data resources at the data start-up: the field
// dictionary (FF_DEFAULT: which page field names belong to which identity key), the
// required pairs, the built-in ignored field names (the dictionary's IGNORE line),
// card types, countries, states, sexes and titles. Each is one program-wide list; a
// missing resource leaves its list empty. The lists are only read after the start-up.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "controls/unicode/uni_classes.h"

extern TUniStringList FieldDictionary;
extern TUniStringList RequiredPairs;
extern TUniStringList IgnoredFieldNames;
extern TUniStringList CardTypes;
extern TUniStringList Countries;
extern TUniStringList States;
extern TUniStringList Sexes;
extern TUniStringList Titles;

// The bytes of a data resource by name; nullopt when the program has none.
using TResourceReader = std::function<std::optional<std::string>(const char* name)>;

// Fills the lists, in the order FF_DEFAULT, FF_REQUIRED, the ignored names, FF_CCARD,
// FF_COUNTRIES, FF_STATES, FF_SEX, FF_TITLE. The texts are in the system code page,
// FF_COUNTRIES in UTF-8 (a byte-order mark is dropped).
void LoadDataResourceLists(const TResourceReader& read);
// Empties every list.
void ClearDataResourceLists();

// True when the lower-cased Text1, or else the lower-cased Text2, is one of the built-in
// ignored field names.
bool IsBuiltInIgnored(std::u16string_view text1, std::u16string_view text2);
