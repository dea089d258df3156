#include "tools/match-fields/field_matches.h"

#include <memory>

#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "formfill/browser_access.h"
#include "formfill/html_text_filler.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/html_document.h"

namespace match_fields {
namespace {

using platform::com::BString;
using platform::com::ComPtr;

constexpr char16_t kWindowId[] = u"PXID_MATCH_FIELDS";

// Text inputs (text-like types as the page reports them) and selects of a form, in document order.
std::vector<ComPtr<IHTMLElement>> Fields(IHTMLElement* form) {
  std::vector<ComPtr<IHTMLElement>> fields;
  ComPtr<IDispatch> all;
  if (FAILED(form->get_all(all.Put())) || !all) return fields;
  formfill::ForEachItem(all.As<IHTMLElementCollection>().get(), [&](IDispatch* item) {
    ComPtr<IDispatch> element(item);
    std::string type;
    if (element.As<IHTMLSelectElement>() ||
        (element.As<IHTMLInputElement>() && formfill::ReadInputType(element.As<IHTMLElement>().get(), type) &&
         formfill::IsTextType(type))) {
      fields.push_back(element.As<IHTMLElement>());
    }
    return true;
  });
  return fields;
}

}  // namespace

void UseFixedIdentity() {
  ClearDataResourceLists();
  LoadDataResourceLists(ReadDataResource);
  Experience = std::make_unique<TExperience>();
  ActiveIdentity = std::make_unique<TIdentity>("");
  for (int i = 0; i < FieldDictionary.GetCount(); ++i) {
    const std::u16string line = FieldDictionary.Get(i);
    const std::size_t eq = line.find(u'=');
    if (eq == std::u16string::npos || line.substr(0, eq) == u"IGNORE") continue;
    ActiveIdentity->SetValue(line.substr(0, eq), u"value of " + line.substr(0, eq));
  }
}

void ClearFixedIdentity() {
  ActiveIdentity.reset();
  Experience.reset();
  ClearDataResourceLists();
}

std::vector<FieldMatch> MatchFields(std::string_view html, const std::vector<std::u16string>& formTexts) {
  std::vector<FieldMatch> matches;
  ComPtr<platform::browser::HtmlDocument> document = platform::browser::HtmlDocument::Load(html, u"http://site.test/");
  ComPtr<IHTMLElementCollection> forms;
  if (!document || FAILED(document->getElementsByTagName(BString(u"form").get(), forms.Put())) || !forms) {
    return matches;
  }
  int index = 0;
  // One field map for the page's forms, as the program fills a page.
  const auto fieldMap = std::make_shared<const formfill::TFieldMatchMap>();
  formfill::ForEachItem(forms.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> form = ComPtr<IDispatch>(item).As<IHTMLElement>();
    if (!form) return true;
    std::u16string text;
    if (static_cast<std::size_t>(index) < formTexts.size()) {
      text = formTexts[index];
    } else {
      formfill::ReadFormHtml(form.get(), text);
    }
    formfill::TDynamicVedoZorere filler(fieldMap);
    filler.Fill(form.get(), text, kWindowId, true, true, false);
    for (const ComPtr<IHTMLElement>& field : Fields(form.get())) {
      std::u16string key = formfill::ReadTextMark(field.get(), u"Pellix_Key");
      matches.push_back({index, formfill::ReadTextMark(field.get(), u"name"), formfill::ElementId(field.get()),
                         key.empty() ? u"-" : key});
    }
    ++index;
    return true;
  });
  formfill::PreparedValues::Instance().DropWindow(kWindowId);
  return matches;
}

std::string FormatMatches(const std::vector<FieldMatch>& matches) {
  std::string out;
  for (const FieldMatch& match : matches) {
    out += std::to_string(match.form) + "\t" + platform::WideToUtf8(match.name) + "\t" +
           platform::WideToUtf8(match.id) + "\t" + platform::WideToUtf8(match.key) + "\n";
  }
  return out;
}

}  // namespace match_fields
