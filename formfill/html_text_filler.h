// The HTML-text form filler: fills one web form from the active identity. It reads the
// form's HTML text to find the form's text inputs and selects in document order,
// matches each one to an identity key, and writes the identity's value into the
// matching element of the page's object model, colouring and marking it.
//
// A field is matched to a key by the first of these that gives one:
//  1. its name or id against the field names of the field map (exact, then with the
//     prefixes "txt", "txt_", "i", "cmb", then as a dotted suffix);
//  2. the text of a label whose for= names the field's id (then its name);
//  3. the text in front of it: in a table, its own cell, the cell before it and the
//     header cells above it; elsewhere the text since the form's start, the end of the
//     last table or the previous field.
//
// The field map holds name=KEY lines from the field dictionary and the experience
// list. A name may start with "!" (a label must equal the rest, ignoring case) or "$"
// (a label must begin with it). Texts are compared as wide text, so labels in any
// script match.
//
// Lifetime: one filler serves one form and one call of Fill, on the thread that holds
// the program's data lock while it runs; it takes no lock itself. No failure leaves
// it: a failed step counts as no match, a failed field is left as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/identities.h"
#include "platform/browser/mshtml.h"

namespace formfill {

// The field map as the filler matches with it, worked out from the experience object
// (empty without one). Working it out costs more than filling a small form, so the
// fillers of one page share one map, made under the same hold of the data lock.
class TFieldMatchMap {
 public:
  TFieldMatchMap();

  struct Line {
    std::u16string name;   // as in the map, markers kept
    std::u16string lower;  // lower-cased, for lookups by name
    std::u16string key;
    // For label matching: the lower-cased name without its markers, whether a label
    // must equal it ("!") or begin with it ("$"), and its words.
    std::u16string bare;
    bool whole = false;
    bool prefix = false;
    std::vector<std::u16string> words;
  };
  std::vector<Line> Lines;
  // The character pairs of each line's words, hashed, to pass over the lines whose
  // pairs a label lacks; the lines' pairs stand one after the other, in one block that
  // the pass reads straight through.
  std::vector<std::uint16_t> Pairs;
  std::vector<std::uint32_t> PairsEnd;  // per line
  std::span<const std::uint16_t> PairsOf(std::size_t line) const;
  std::vector<std::pair<std::u16string, std::u16string>> Names;  // stripped lower name, key

  // The index of the first of Names that is Name; npos for none and for an empty Name.
  std::size_t FirstNamed(std::u16string_view name) const;
  std::size_t LongestName() const { return longestName_; }

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view name) const { return std::hash<std::u16string_view>{}(name); }
  };
  std::unordered_map<std::u16string, std::size_t, NameHash, std::equal_to<>> firstNamed_;
  std::size_t longestName_ = 0;
};

class TDynamicVedoZorere {
 public:
  // Works out the field map of the experience object of the moment.
  TDynamicVedoZorere();
  // Uses a field map worked out before.
  explicit TDynamicVedoZorere(std::shared_ptr<const TFieldMatchMap> fieldMap);
  TDynamicVedoZorere(const TDynamicVedoZorere&) = delete;
  TDynamicVedoZorere& operator=(const TDynamicVedoZorere&) = delete;

  // Matches the fields of the form whose outer HTML is FormHtml and, with Apply,
  // colours, marks and (FillEmpty: into empty fields; Overwrite: into any field)
  // writes them. The n-th field of a name is the n-th input or select of that name
  // inside Form (the form's own elements, never the rest of the document). Prepared
  // values are kept for the browser window WindowId. Does nothing without Form or
  // with empty FormHtml.
  void Fill(IHTMLElement* form, std::u16string_view formHtml, std::u16string_view windowId, bool apply,
            bool fillEmpty, bool overwrite);

  // The setting DEBUG_FILL: a field whose identity value is empty receives the key.
  bool DebugFill = false;
  // The identity whose values fill the form: the active identity unless a copy is
  // given (the after-navigation pass gives one taken under the data lock, so that it
  // can fill the page outside the lock). Not owned.
  TIdentity* Identity = nullptr;
  // Results: some field matched a key whose requirements were met / was coloured.
  bool Matched = false;
  bool Marked = false;

 private:
  enum class Kind { TextInput, Select };
  struct Scanned {
    std::u16string name;  // as the page spells them
    std::u16string id;
  };

  void CollectLabels();
  void ScanFields();
  void HandleField(const Scanned& field, Kind kind);
  std::u16string ResolveIdentityKey(const std::u16string& name, const std::u16string& id) const;
  std::u16string MatchFieldLabel(const std::u16string& id, const std::u16string& name) const;
  std::u16string MatchTableCaption(std::size_t fieldPos) const;
  std::u16string MatchHeaderRows(std::size_t trPos, std::size_t tablePos, int first, int last) const;
  std::u16string MatchLabelText(std::u16string_view text) const;
  std::pair<std::u16string, std::u16string> GetFieldValue(const std::u16string& mapName) const;
  bool RequiredKeysFilled(const std::u16string& key) const;
  void FillField(const std::u16string& lookupName, std::size_t elementIndex, const std::u16string& mapName,
                 Kind kind);
  platform::com::ComPtr<IHTMLElement> FormElement(const std::u16string& lookupName, std::size_t index) const;
  std::size_t EarlierFieldsNamed(const std::u16string& lookupName) const;

  std::u16string Text;    // the form's HTML, lower-cased (same length as Source)
  std::u16string Source;  // the form's HTML as given: names looked up in the page
  std::u16string Tag;     // the current field's tag, "<" to ">"
  std::size_t TagStart = 0;
  std::size_t LastPos = 0;
  std::shared_ptr<const TFieldMatchMap> FieldMap;
  std::vector<std::pair<std::u16string, std::u16string>> Labels;      // for= value, plain text
  std::vector<Scanned> Fields;  // every input and select met so far, in order: the
                                // n-th element of a name in the form is the n-th here
  bool HasLabels = false;
  bool Apply = false;
  bool FillEmpty = false;
  bool Overwrite = false;
  platform::com::ComPtr<IHTMLElement> Form;
  std::u16string WindowId;
  std::vector<std::u16string> FilledKeys;
  // Where the tags that caption matching looks back for stand in Text, in order.
  struct TagPositions {
    std::vector<std::size_t> form, td, tableEnd, tr, table;
  };
  TagPositions Tags;
  // Every position of each of those tags in Text.
  static TagPositions FindTags(std::u16string_view text);
};

// Text without its tags (each piece followed by a blank) and with every "&nbsp;" made
// a blank.
std::u16string HtmlToPlainText(std::u16string_view text);

// The value of an attribute (given with its "=", as "name=") in a tag, as the filler
// reads it: only the first occurrence counts, and only when it starts the tag's text or
// follows a blank or control character; a double-quoted value runs to the next quote
// (empty when unclosed), any other to the next blank; single quotes stay part of it.
// Answers the value's start and length in Tag (length 0 when empty).
std::pair<std::size_t, std::size_t> GetTagAttribute(std::u16string_view tag, std::u16string_view attribute);

}  // namespace formfill
