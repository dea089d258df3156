// The filler's field matching over a whole page, as the match-fields tool and the
// filler's tests measure it: every form of the page is filled (colour, marks, empty
// fields written) from a fixed identity that has a value for every key of the field
// dictionary, and each text input and select then reports the identity key it was
// given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/browser/mshtml.h"

namespace match_fields {

struct FieldMatch {
  int form = 0;          // 0-based, in document order
  std::u16string name;
  std::u16string id;
  std::u16string key;    // "-" when none
};

// Loads the program's field dictionary and required pairs, an empty experience list,
// and the fixed identity.
void UseFixedIdentity();
// Forgets the data UseFixedIdentity set up.
void ClearFixedIdentity();

// Builds a page from HTML (UTF-8) and runs the filler on each of its forms with the
// form's HTML text (ReadFormHtml), or with FormTexts[i] for form i when given.
std::vector<FieldMatch> MatchFields(std::string_view html, const std::vector<std::u16string>& formTexts = {});

// One line per field: form index, name, id and key, separated by TABs (UTF-8).
std::string FormatMatches(const std::vector<FieldMatch>& matches);

}  // namespace match_fields
