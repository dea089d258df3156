// The HTML-text filler over any page: each form is matched and filled from its outer
// HTML and, for the first form, from the raw bytes as its text (text that no browser
// would produce). The filler must stay inside the text, and no identity value may
// show in the page's marks: "Pellix_Value" only ever holds a token.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "formfill/browser_access.h"
#include "formfill/html_text_filler.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/html_document.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;

constexpr char16_t kWindow[] = u"PXID_F0330000";

void SetUpData() {
  static const bool ready = [] {
    LoadDataResourceLists(ReadDataResource);
    Experience = std::make_unique<TExperience>();
    Experience->Lines.Add(u"FIRSTNAME=\u0438\u043c\u044f;$\u540d\u524d;!x y");
    ActiveIdentity = std::make_unique<TIdentity>("");
    for (const char16_t* key : {u"FIRSTNAME", u"LASTNAME", u"EMAIL", u"STREET1", u"CCNUM", u"COUNTRY"}) {
      ActiveIdentity->SetValue(key, std::u16string(u"zq-secret\tzq-other"));
    }
    return true;
  }();
  (void)ready;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetUpData();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ComPtr<platform::browser::HtmlDocument> document = platform::browser::HtmlDocument::Load(bytes, u"http://f.test/");
  if (!document) std::abort();
  ComPtr<IHTMLElementCollection> forms;
  document->getElementsByTagName(BString(u"form").get(), forms.Put());
  bool first = true;
  formfill::ForEachItem(forms.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> form = ComPtr<IDispatch>(item).As<IHTMLElement>();
    BString outer;
    form->get_outerHTML(outer.Put());
    formfill::TDynamicVedoZorere filler;
    filler.Fill(form.get(), outer.Text(), kWindow, true, true, first);
    if (first) {
      formfill::TDynamicVedoZorere raw;
      raw.Fill(form.get(), platform::Utf8ToWide(bytes), kWindow, true, false, true);
    }
    first = false;
    return true;
  });
  ComPtr<IHTMLElementCollection> all;
  document->get_all(all.Put());
  formfill::ForEachItem(all.get(), [&](IDispatch* item) {
    const std::u16string mark = formfill::ReadTextMark(ComPtr<IDispatch>(item).As<IHTMLElement>().get(), u"Pellix_Value");
    if (!mark.empty() && mark.find(u"zq-") != std::u16string::npos) std::abort();
    return true;
  });
  formfill::PreparedValues::Instance().DropWindow(kWindow);
  return 0;
}
