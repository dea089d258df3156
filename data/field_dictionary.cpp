#include "data/field_dictionary.h"

#include <unordered_set>

#include "data/address_helpers.h"
#include "platform/base/text.h"

TUniStringList FieldDictionary;
TUniStringList RequiredPairs;
TUniStringList IgnoredFieldNames;
TUniStringList CardTypes;
TUniStringList Countries;
TUniStringList States;
TUniStringList Sexes;
TUniStringList Titles;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The ignored names once more, for the look-up every scanned field makes; filled and
// emptied with IgnoredFieldNames.
std::unordered_set<std::u16string> IgnoredNames;

void LoadList(const TResourceReader& read, const char* name, TUniStringList& list, bool utf8) {
  list.Clear();
  std::optional<std::string> bytes = read(name);
  if (!bytes) return;
  std::string_view text = *bytes;
  if (utf8 && text.substr(0, kUtf8Mark.size()) == kUtf8Mark) text.remove_prefix(kUtf8Mark.size());
  list.SetText(utf8 ? platform::Utf8ToWide(text) : platform::AnsiToWide(text));
}

}  // namespace

void LoadDataResourceLists(const TResourceReader& read) {
  LoadList(read, "FF_DEFAULT", FieldDictionary, false);
  LoadList(read, "FF_REQUIRED", RequiredPairs, false);
  IgnoredFieldNames.Clear();
  SplitToList(FieldDictionary.Values(u"IGNORE"), u';', IgnoredFieldNames);
  IgnoredNames.clear();
  for (int i = 0; i < IgnoredFieldNames.Count(); ++i) IgnoredNames.insert(IgnoredFieldNames.Strings(i));
  LoadList(read, "FF_CCARD", CardTypes, false);
  LoadList(read, "FF_COUNTRIES", Countries, true);
  LoadList(read, "FF_STATES", States, false);
  LoadList(read, "FF_SEX", Sexes, false);
  LoadList(read, "FF_TITLE", Titles, false);
}

void ClearDataResourceLists() {
  for (TUniStringList* list :
       {&FieldDictionary, &RequiredPairs, &IgnoredFieldNames, &CardTypes, &Countries, &States, &Sexes, &Titles}) {
    list->Clear();
  }
  IgnoredNames.clear();
}

bool IsBuiltInIgnored(std::u16string_view text1, std::u16string_view text2) {
  return IgnoredNames.contains(platform::LowerCase(text1)) || IgnoredNames.contains(platform::LowerCase(text2));
}
