#include "formfill/html_text_filler.h"

#include <algorithm>
#include <bitset>
#include <exception>

#include "controls/unicode/uni_classes.h"
#include "controls/unicode/uni_sysutils.h"
#include "data/address_helpers.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "formfill/browser_access.h"
#include "formfill/form_filling.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/html_rules.h"

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr std::size_t npos = std::u16string::npos;
constexpr std::size_t kCaptionReach = 1024;  // how far back caption text is looked for
constexpr int kHeaderRows = 3;
constexpr char16_t kKeyMark[] = u"Pellix_Key";
constexpr char16_t kIgnoreKey[] = u"IGNORE";

// Letters of scripts with letter case (the text is lower-cased) and digits. Letters of
// scripts without case (Chinese, Japanese) are not: their words are not set apart by
// blanks, so a name is found inside a longer text of them.
bool IsWordChar(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) return true;
  return c >= 0x80 && UpperCaseWide(std::u16string_view(&c, 1))[0] != c;
}

// The last of the positions at or before From.
std::size_t FindBack(const std::vector<std::size_t>& positions, std::size_t from) {
  if (from == npos) return npos;
  const auto after = std::upper_bound(positions.begin(), positions.end(), from);
  return after == positions.begin() ? npos : *(after - 1);
}

std::u16string AttributeText(std::u16string_view tag, std::u16string_view attribute) {
  const auto [start, length] = GetTagAttribute(tag, attribute);
  return std::u16string(tag.substr(start, length));
}

// A colspan= value; 1 when missing or not a positive number.
int ColumnSpan(std::u16string_view cellTag) {
  const std::u16string text = AttributeText(cellTag, u"colspan=");
  int span = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9' || span > 1000) return 1;
    span = span * 10 + (c - u'0');
  }
  return span > 0 ? span : 1;
}

// A size= number; 3 when it is not a number.
int SizeValue(const std::u16string& text) {
  if (text.empty() || text.size() > 9) return 3;
  int size = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 3;
    size = size * 10 + (c - u'0');
  }
  return size;
}

std::vector<std::u16string> SplitWords(const std::u16string& name) {
  std::vector<std::u16string> words;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t blank = name.find(u' ', start);
    if (blank == npos) blank = name.size();
    if (blank > start) words.push_back(name.substr(start, blank - start));
    start = blank + 1;
  }
  return words;
}

// Every word occurs in Text, its first occurrence standing alone between non-word
// characters or the text's edges.
bool HasWholeWords(const std::u16string& text, const std::vector<std::u16string>& words) {
  for (const std::u16string& word : words) {
    const std::size_t at = text.find(word);
    if (at == npos) return false;
    const std::size_t end = at + word.size();
    if (at > 0 && IsWordChar(text[at - 1])) return false;
    if (end < text.size() && IsWordChar(text[end])) return false;
  }
  return true;
}

// Which characters and pairs of neighbouring characters a text holds, hashed into a bit
// table: a word with a pair (or, alone, a character) that the text lacks is not in it,
// so most map lines are passed over without searching the label.
class CharPairs {
 public:
  explicit CharPairs(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      bits_.set(Key(text[i], 0));
      if (i + 1 < text.size()) bits_.set(Key(text[i], text[i + 1]));
    }
  }
  static void AddKeysOf(const std::vector<std::u16string>& words, std::vector<std::uint16_t>& keys) {
    for (const std::u16string& word : words) {
      if (word.size() == 1) keys.push_back(Key(word[0], 0));
      for (std::size_t i = 0; i + 1 < word.size(); ++i) keys.push_back(Key(word[i], word[i + 1]));
    }
  }
  bool MayHold(std::span<const std::uint16_t> keys) const {
    return std::all_of(keys.begin(), keys.end(), [&](std::uint16_t key) { return bits_[key]; });
  }

 private:
  static std::uint16_t Key(char16_t first, char16_t second) {
    const std::uint32_t pair = static_cast<std::uint32_t>(first) << 16 | second;
    return static_cast<std::uint16_t>((pair * 0x9E3779B1u) >> (32 - kKeyBits));
  }
  // Small enough to clear and test within the first-level cache for every label.
  static constexpr int kKeyBits = 12;
  std::bitset<1u << kKeyBits> bits_;
};

// The earliest map name that Text is after one of the prefixes "txt", "txt_", "i" and
// "cmb", or that stands in Text right after a dot; npos for none.
std::size_t EarliestNameInside(const TFieldMatchMap& map, std::u16string_view text) {
  std::size_t first = npos;
  for (std::u16string_view prefix : {u"txt", u"txt_", u"i", u"cmb"}) {
    if (text.starts_with(prefix)) first = std::min(first, map.FirstNamed(text.substr(prefix.size())));
  }
  for (std::size_t dot = text.find(u'.'); dot != npos; dot = text.find(u'.', dot + 1)) {
    const std::u16string_view rest = text.substr(dot + 1);
    for (std::size_t length = 1; length <= std::min(rest.size(), map.LongestName()); ++length) {
      first = std::min(first, map.FirstNamed(rest.substr(0, length)));
    }
  }
  return first;
}

}  // namespace

std::pair<std::size_t, std::size_t> GetTagAttribute(std::u16string_view tag, std::u16string_view attribute) {
  const std::size_t at = tag.find(attribute);
  if (at == npos || attribute.empty() || (at > 1 && tag[at - 1] > u' ')) return {0, 0};
  std::size_t start = tag.find(u'=', at) + 1;
  std::size_t end = tag.size();
  while (start < end && tag[start] <= u' ') ++start;
  while (end > start && tag[end - 1] <= u' ') --end;
  if (start < end && tag[start] == u'"') {
    const std::size_t quote = tag.find(u'"', start + 1);
    if (quote == npos || quote >= end) return {0, 0};
    end = quote;
    ++start;
  } else {
    const std::size_t blank = tag.find(u' ', start);
    if (blank != npos && blank < end) end = blank;
  }
  while (start < end && tag[start] <= u' ') ++start;
  while (end > start && tag[end - 1] <= u' ') --end;
  if (end > start && tag[end - 1] == u'>') --end;
  return {start, end - start};
}

std::u16string HtmlToPlainText(std::u16string_view text) {
  std::u16string plain;
  std::size_t rest = 0;
  // The next "<" and ">" from rest on; each is looked for again only once passed.
  std::size_t lt = text.find(u'<');
  std::size_t gt = text.find(u'>');
  while (lt != npos || gt != npos) {
    if (lt < gt) {
      plain.append(text.substr(rest, lt - rest));
      plain += u' ';
      rest = lt + 1;
      lt = text.find(u'<', rest);
    } else {
      rest = gt + 1;
      gt = text.find(u'>', rest);
    }
  }
  plain += u' ';
  plain.append(text.substr(rest));
  if (plain.find(u"&nbsp;") == npos) return plain;
  return WideStringReplace(plain, u"&nbsp;", u" ", false, rfReplaceAll);
}

TFieldMatchMap::TFieldMatchMap() {
  if (!Experience) return;
  TUniStringList map;
  Experience->FillFieldMap(&map);
  for (int i = 0; i < map.GetCount(); ++i) {
    const std::u16string line = map.Get(i);
    const std::size_t eq = line.find(u'=');
    if (eq == npos) continue;
    // The dictionary's IGNORE line names fields that are never handled: no key.
    if (UpperCaseWide(line.substr(eq + 1)) == kIgnoreKey) continue;
    Line entry;
    entry.name = line.substr(0, eq);
    entry.lower = LowerCaseWide(entry.name);
    entry.key = line.substr(eq + 1);
    entry.bare = entry.lower;
    entry.whole = entry.bare.starts_with(u'!');
    if (entry.whole) entry.bare.erase(0, 1);
    entry.prefix = entry.bare.starts_with(u'$');
    if (entry.prefix) entry.bare.erase(0, 1);
    entry.words = SplitWords(entry.bare);
    CharPairs::AddKeysOf(entry.words, Pairs);
    PairsEnd.push_back(static_cast<std::uint32_t>(Pairs.size()));
    // Learnt names keep the case of the page they came from; the form's text is
    // compared lower-cased, so the field names are too.
    if (entry.name.find(u' ') == npos) {
      std::u16string stripped = WideTrim(entry.lower);
      if (!stripped.empty() && (stripped[0] == u'!' || stripped[0] == u'$')) stripped.erase(0, 1);
      Names.emplace_back(std::move(stripped), entry.key);
    }
    Lines.push_back(std::move(entry));
  }
  for (std::size_t i = 0; i < Names.size(); ++i) {
    firstNamed_.try_emplace(Names[i].first, i);
    longestName_ = std::max(longestName_, Names[i].first.size());
  }
}

std::span<const std::uint16_t> TFieldMatchMap::PairsOf(std::size_t line) const {
  const std::uint32_t begin = line == 0 ? 0 : PairsEnd[line - 1];
  return std::span(Pairs).subspan(begin, PairsEnd[line] - begin);
}

std::size_t TFieldMatchMap::FirstNamed(std::u16string_view name) const {
  const auto found = name.empty() ? firstNamed_.end() : firstNamed_.find(name);
  return found == firstNamed_.end() ? npos : found->second;
}

TDynamicVedoZorere::TDynamicVedoZorere() : TDynamicVedoZorere(std::make_shared<const TFieldMatchMap>()) {}

TDynamicVedoZorere::TDynamicVedoZorere(std::shared_ptr<const TFieldMatchMap> fieldMap)
    : FieldMap(std::move(fieldMap)) {}

void TDynamicVedoZorere::Fill(IHTMLElement* form, std::u16string_view formHtml,
                              std::u16string_view windowId, bool apply, bool fillEmpty, bool overwrite) {
  Form = ComPtr<IHTMLElement>(form);
  if (!form || formHtml.empty()) return;
  Source = std::u16string(formHtml);
  Text = LowerCaseWide(formHtml);
  WindowId = std::u16string(windowId);
  Apply = apply;
  FillEmpty = fillEmpty;
  Overwrite = overwrite;
  HasLabels = false;
  try {
    Tags = FindTags(Text);
    CollectLabels();
    ScanFields();
  } catch (const std::exception&) {
    // The scan ends with what was done so far.
  }
}

TDynamicVedoZorere::TagPositions TDynamicVedoZorere::FindTags(std::u16string_view text) {
  TagPositions tags;
  const std::pair<std::u16string_view, std::vector<std::size_t>*> wanted[] = {
      {u"<form", &tags.form}, {u"<td", &tags.td}, {u"</table", &tags.tableEnd}, {u"<tr", &tags.tr},
      {u"<table", &tags.table}};
  // Every tag starts at a "<": one pass over those finds them all.
  for (std::size_t at = text.find(u'<'); at != npos; at = text.find(u'<', at + 1)) {
    for (const auto& [tag, positions] : wanted) {
      if (text.substr(at).starts_with(tag)) positions->push_back(at);
    }
  }
  return tags;
}

void TDynamicVedoZorere::CollectLabels() {
  Labels.clear();
  std::size_t p = Text.find(u"<label");
  while (p != npos) {
    std::size_t current = p;
    const std::size_t q = Text.find(u'>', p + 5);
    if (q != npos) {
      const std::u16string forValue = AttributeText(std::u16string_view(Text).substr(p, q - p + 1), u"for=");
      if (!forValue.empty()) {
        current = q + 1;
        const std::size_t e = Text.find(u"</label", current);
        if (e != npos) {
          const std::u16string plain = HtmlToPlainText(WideTrim(std::u16string_view(Text).substr(q + 1, e - q - 1)));
          auto same = [&](const auto& label) { return label.first == forValue; };
          std::erase_if(Labels, same);
          if (!WideTrim(plain).empty()) Labels.emplace_back(forValue, plain);
          current = e + 7;
        }
      }
    }
    p = Text.find(u"<label", current + 1);
  }
  HasLabels = !Labels.empty();
}

void TDynamicVedoZorere::ScanFields() {
  std::size_t current = 0;
  std::size_t nextInput = Text.find(u"<input", current);
  std::size_t nextSelect = Text.find(u"<select", current);
  while (nextInput != npos || nextSelect != npos) {
    const Kind kind = nextInput < nextSelect ? Kind::TextInput : Kind::Select;
    const std::size_t start = kind == Kind::TextInput ? nextInput : nextSelect;
    const std::size_t close = Text.find(u'>', start);
    if (close == npos) return;
    Tag = Text.substr(start, close - start + 1);
    TagStart = start;
    current = close;
    const std::u16string type = kind == Kind::TextInput ? AttributeText(Tag, u"type=") : std::u16string();
    const bool skipped = !type.empty() && !IsTextType(platform::WideToAnsi(type));
    // Names as the page spells them: the page looks them up, and counts them, so.
    const auto nameAt = GetTagAttribute(Tag, u"name=");
    const auto idAt = GetTagAttribute(Tag, u"id=");
    Scanned field{Source.substr(start + nameAt.first, nameAt.second), Source.substr(start + idAt.first, idAt.second)};
    if (!skipped && (!field.name.empty() || !field.id.empty()) && !IsBuiltInIgnored(field.name, field.id)) {
      try {
        HandleField(field, kind);
      } catch (const std::exception&) {
        // A failed field is left as it was.
      }
    }
    Fields.push_back(std::move(field));
    if (kind == Kind::Select) {
      const std::size_t end = Text.find(u"</select>", start);
      if (end != npos) current = end + 9;
      nextSelect = Text.find(u"<select", current);
    } else {
      nextInput = Text.find(u"<input", current);
    }
    if (!skipped) LastPos = current;
  }
}

void TDynamicVedoZorere::HandleField(const Scanned& field, Kind kind) {
  const std::u16string name = LowerCaseWide(field.name);
  const std::u16string id = LowerCaseWide(field.id);
  std::u16string mapName = ResolveIdentityKey(name, id);
  if (mapName.empty() && HasLabels && !id.empty()) mapName = MatchFieldLabel(id, name);
  if (mapName.empty()) mapName = MatchTableCaption(TagStart);
  if (mapName.empty()) return;
  const std::u16string& lookupName = field.name.empty() ? field.id : field.name;
  FillField(lookupName, EarlierFieldsNamed(lookupName), mapName, kind);
}

std::u16string TDynamicVedoZorere::ResolveIdentityKey(const std::u16string& name, const std::u16string& id) const {
  std::size_t first = std::min(FieldMap->FirstNamed(name), FieldMap->FirstNamed(id));
  if (first == npos) first = std::min(EarliestNameInside(*FieldMap, name), EarliestNameInside(*FieldMap, id));
  return first == npos ? std::u16string() : FieldMap->Names[first].first;
}

std::u16string TDynamicVedoZorere::MatchFieldLabel(const std::u16string& id, const std::u16string& name) const {
  for (const std::u16string* forValue : {&id, &name}) {
    if (forValue->empty()) continue;
    for (const auto& [labelFor, text] : Labels) {
      if (labelFor != *forValue) continue;
      std::u16string mapName = MatchLabelText(text);
      if (!mapName.empty()) return mapName;
      break;
    }
  }
  return {};
}

std::u16string TDynamicVedoZorere::MatchTableCaption(std::size_t fieldPos) const {
  const std::u16string_view text(Text);
  const std::size_t formPos = FindBack(Tags.form, fieldPos);
  const std::size_t tdPos = FindBack(Tags.td, fieldPos);
  const std::size_t tableEnd = FindBack(Tags.tableEnd, fieldPos);
  const auto after = [](std::size_t a, std::size_t b) { return b == npos || (a != npos && a > b); };
  const auto reach = [&](std::size_t from) {
    return std::max(from, fieldPos > kCaptionReach ? fieldPos - kCaptionReach : std::size_t{0});
  };
  if (tdPos == npos || !after(tdPos, formPos) || !after(tdPos, tableEnd)) {
    std::size_t start = 0;
    if (formPos != npos) start = formPos;
    if (tableEnd != npos && tableEnd > start) start = tableEnd;
    start = reach(start);
    if (LastPos > start && LastPos <= fieldPos) start = LastPos;
    return MatchLabelText(text.substr(start, fieldPos - start + 1));
  }
  const std::size_t cellStart = reach(tdPos);
  std::u16string mapName = MatchLabelText(text.substr(cellStart, fieldPos - cellStart + 1));
  if (!mapName.empty()) return mapName;

  // The field's columns, counted over the cells before it in its row.
  const std::size_t trPos = FindBack(Tags.tr, tdPos);
  const std::size_t tablePos = FindBack(Tags.table, tdPos);
  const auto openingTag = [&](std::size_t cell) {
    const std::size_t close = text.find(u'>', cell);
    return text.substr(cell, close == npos ? npos : close - cell + 1);
  };
  int first = 1;
  int last = ColumnSpan(openingTag(tdPos));
  std::size_t next = tdPos;
  for (std::size_t cell = tdPos == 0 ? npos : FindBack(Tags.td, tdPos - 1);
       cell != npos && after(cell, trPos) && after(cell, tablePos);
       cell = cell == 0 ? npos : FindBack(Tags.td, cell - 1)) {
    if (next == tdPos) {
      mapName = MatchLabelText(text.substr(cell, tdPos - cell));
      if (!mapName.empty()) return mapName;
    }
    const int span = ColumnSpan(openingTag(cell));
    first += span;
    last += span;
    next = cell;
  }
  return MatchHeaderRows(trPos, tablePos, first, last);
}

std::u16string TDynamicVedoZorere::MatchHeaderRows(std::size_t trPos, std::size_t tablePos, int first,
                                                   int last) const {
  const std::u16string_view text(Text);
  if (trPos == npos || tablePos == npos) return {};
  std::size_t rowEnd = trPos;
  for (int row = 0; row < kHeaderRows && rowEnd > 0; ++row) {
    const std::size_t rowStart = FindBack(Tags.tr, rowEnd - 1);
    if (rowStart == npos || rowStart <= tablePos) break;
    int column = 1;
    for (std::size_t cell = text.find(u"<td", rowStart); cell != npos && cell < rowEnd;) {
      const std::size_t nextCell = text.find(u"<td", cell + 3);
      const std::size_t close = text.find(u'>', cell);
      const int span = ColumnSpan(text.substr(cell, close == npos ? npos : close - cell + 1));
      const int cellFirst = column;
      const int cellLast = column + span - 1;
      column += span;
      if ((cellFirst >= first && cellLast <= last) || (cellFirst <= first && cellLast >= last)) {
        std::size_t cellEnd = text.find(u"</td", cell);
        if (cellEnd == npos || cellEnd > rowEnd) cellEnd = nextCell;
        if (cellEnd == npos || cellEnd > rowEnd) cellEnd = rowEnd;
        const std::u16string_view cellText = text.substr(cell, cellEnd - cell);
        if (cellText.find(u"<input") != npos || cellText.find(u"<select") != npos) return {};
        std::u16string mapName = MatchLabelText(cellText);
        if (!mapName.empty()) return mapName;
      }
      cell = nextCell;
    }
    rowEnd = rowStart;
  }
  return {};
}

std::u16string TDynamicVedoZorere::MatchLabelText(std::u16string_view text) const {
  const std::u16string plain = WideTrim(HtmlToPlainText(text));
  if (plain.empty()) return {};
  const CharPairs pairs(plain);
  for (std::size_t i = 0; i < FieldMap->Lines.size(); ++i) {
    if (!pairs.MayHold(FieldMap->PairsOf(i))) continue;
    const TFieldMatchMap::Line& line = FieldMap->Lines[i];
    if (line.words.empty()) continue;
    if (line.whole && plain != line.bare) continue;
    if (line.prefix && !plain.starts_with(line.bare)) continue;
    if (HasWholeWords(plain, line.words)) return line.name;
  }
  return {};
}

std::pair<std::u16string, std::u16string> TDynamicVedoZorere::GetFieldValue(const std::u16string& mapName) const {
  std::u16string key;
  const std::u16string lower = LowerCaseWide(mapName);
  for (const TFieldMatchMap::Line& line : FieldMap->Lines) {
    if (line.lower == lower) {
      key = line.key;
      break;
    }
  }
  if (key.empty()) {
    if (const std::size_t first = FieldMap->FirstNamed(lower); first != npos) key = FieldMap->Names[first].second;
  }
  std::u16string value;
  TIdentity* identity = Identity != nullptr ? Identity : ActiveIdentity.get();
  if (identity != nullptr && !key.empty()) {
    try {
      value = identity->GetValue(UpperCaseWide(key));
    } catch (const std::exception&) {
      value.clear();
    }
  }
  if (value.empty() && DebugFill) value = key;
  return {value, key};
}

bool TDynamicVedoZorere::RequiredKeysFilled(const std::u16string& key) const {
  const int line = RequiredPairs.IndexOfName(key);
  if (line < 0) return true;
  const std::u16string entry = RequiredPairs.Get(line);
  TUniStringList required;
  SplitToList(std::u16string_view(entry).substr(entry.find(u'=') + 1), u',', required);
  for (int i = 0; i < required.GetCount(); ++i) {
    const std::u16string wanted = WideTrim(required.Get(i));
    if (std::find(FilledKeys.begin(), FilledKeys.end(), wanted) != FilledKeys.end()) return true;
  }
  return false;
}

std::size_t TDynamicVedoZorere::EarlierFieldsNamed(const std::u16string& lookupName) const {
  return static_cast<std::size_t>(std::count_if(Fields.begin(), Fields.end(), [&](const Scanned& field) {
    return platform::browser::SameNameIgnoringCase(field.name, lookupName) ||
           platform::browser::SameNameIgnoringCase(field.id, lookupName);
  }));
}

ComPtr<IHTMLElement> TDynamicVedoZorere::FormElement(const std::u16string& lookupName, std::size_t index) const {
  ComPtr<IDispatch> all;
  if (FAILED(Form->get_all(all.Put())) || !all) return {};
  ComPtr<IHTMLElementCollection> inForm = all.As<IHTMLElementCollection>();
  ComPtr<IDispatch> named;
  if (!inForm || FAILED(inForm->item(Variant::Text(lookupName).raw(), Variant().raw(), named.Put())) || !named) {
    return {};
  }
  // One element of the name is answered itself, several as a collection.
  std::vector<ComPtr<IDispatch>> candidates;
  if (ComPtr<IHTMLElementCollection> several = named.As<IHTMLElementCollection>()) {
    ForEachItem(several.get(), [&](IDispatch* item) {
      candidates.emplace_back(item);
      return true;
    });
  } else {
    candidates.push_back(named);
  }
  std::size_t seen = 0;
  for (const ComPtr<IDispatch>& candidate : candidates) {
    if (!candidate.As<IHTMLInputElement>() && !candidate.As<IHTMLSelectElement>()) continue;
    if (seen++ == index) return candidate.As<IHTMLElement>();
  }
  return {};
}

void TDynamicVedoZorere::FillField(const std::u16string& lookupName, std::size_t elementIndex,
                                   const std::u16string& mapName, Kind kind) {
  if (AttributeText(Tag, u"disableff=") == u"1") return;
  if (kind == Kind::TextInput) {
    const std::u16string size = AttributeText(Tag, u"size=");
    if (!size.empty() && SizeValue(size) < 3) return;
  }
  const auto [value, key] = GetFieldValue(mapName);
  const ComPtr<IHTMLElement> element = FormElement(lookupName, elementIndex);
  if (!element) return;
  std::u16string prepared;
  if (ReadTextMark(element.get(), kKeyMark) == u"VALUE" && ReadPreparedValue(element.get(), WindowId, prepared) &&
      !prepared.empty()) {
    return;
  }
  if (!RequiredKeysFilled(key)) return;
  Matched = true;
  ComPtr<IHTMLInputElement> input = kind == Kind::TextInput ? element.As<IHTMLInputElement>() : nullptr;
  ComPtr<IHTMLSelectElement> select = kind == Kind::Select ? element.As<IHTMLSelectElement>() : nullptr;
  ComPtr<IHTMLOptionElement> chosen;
  if (select && !value.empty()) chosen = FindMatchingOption(select.get(), value);
  if (!Apply) return;
  if ((kind == Kind::TextInput && !value.empty()) || chosen) {
    ColorFilledField(element.get());
    Marked = true;
  }
  if (input) {
    BString current;
    const bool empty = FAILED(input->get_value(current.Put())) || WideTrim(current.Text()).empty();
    if ((!value.empty() && Overwrite) || (FillEmpty && empty)) input->put_value(BString(CutAtTab(value)).get());
  }
  if (input || select) {
    WritePreparedValue(element.get(), WindowId, value);
    WriteMark(element.get(), kKeyMark, Variant::Text(key));
  }
  if (chosen && (Overwrite || FillEmpty)) chosen->put_selected(VARIANT_TRUE);
  FilledKeys.push_back(key);
}

}  // namespace formfill
