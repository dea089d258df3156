// The page side's walks over any page: forms identified, password pairs marked,
// fields prepared from a stored form, a stored and a generated password, and the
// password fill of every input, and the reading of the submitted form; no prepared
// value may ever show in the page.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formfill/browser_access.h"
#include "formfill/form_filling.h"
#include "formfill/form_reading.h"
#include "formfill/password_inputs.h"
#include "formfill/prepared_values.h"
#include "platform/browser/html_document.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;

constexpr char16_t kWindow[] = u"PXID_F0220000";
constexpr char16_t kStored[] = u"zq-stored-value";
constexpr char16_t kPassword[] = u"zq-stored-password";
constexpr char16_t kGenerated[] = u"zq-generated-password";
constexpr char16_t kTyped[] = u"zq-chosen-password";

std::vector<ComPtr<IHTMLElement>> Items(IHTMLElementCollection* collection) {
  std::vector<ComPtr<IHTMLElement>> items;
  formfill::ForEachItem(collection, [&](IDispatch* item) {
    if (auto element = ComPtr<IDispatch>(item).As<IHTMLElement>()) items.push_back(element);
    return true;
  });
  return items;
}

// A stored form that covers every named field of the form.
TFormFieldList StoredFields(IHTMLElement* form) {
  TFormFieldList fields;
  ComPtr<IHTMLElementCollection> inputs = formfill::ElementsByTag(form, u"input");
  for (const ComPtr<IHTMLElement>& input : Items(inputs.get())) {
    TFormListItem field;
    field.ID = formfill::ElementId(input.get());
    field.Name = formfill::ReadMark(input.get(), u"name").AsText();
    field.Value = kStored;
    fields.push_back(field);
  }
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 128 * 1024) return 0;
  auto document = platform::browser::HtmlDocument::Load(
      std::string_view(reinterpret_cast<const char*>(data), size), u"http://fuzz.test/");
  ComPtr<IHTMLElementCollection> forms;
  if (FAILED(document->get_forms(forms.Put()))) std::abort();
  for (const ComPtr<IHTMLElement>& form : Items(forms.get())) {
    std::u16string name, id;
    if (!formfill::GetFormIdentity(form.As<IHTMLFormElement>().get(), name, id)) std::abort();
    int pairs = formfill::MarkPasswordPair(form.get());
    if (pairs < 0 || pairs > 2) std::abort();
    TFormFieldList fields = StoredFields(form.get());
    bool prepared = false, filled = false;
    formfill::PrepareFormFields(form.get(), &fields, kPassword, u"", true, prepared, filled, kWindow);
    formfill::PrepareFormFields(form.get(), nullptr, u"", kGenerated, true, prepared, filled, kWindow);
    ComPtr<IHTMLElementCollection> inputs = formfill::ElementsByTag(form.get(), u"input");
    for (const ComPtr<IHTMLElement>& input : Items(inputs.get())) {
      formfill::TInputPasswordContext context(input, kWindow);
      context.SetNewValue(kTyped);
      context.FillPassword();
    }
    TFormFieldList read;
    TUniStringList passwords;
    formfill::ReadFormFields(form.get(), &read, &passwords);
    for (const TFormListItem& field : read) {
      if (field.IdentKey == u"VALUE" && field.FieldType == u"text") std::abort();  // cleared for text inputs
    }
  }
  ComPtr<IHTMLElement> root;
  BString html;
  if (FAILED(document->get_documentElement(root.Put())) || (root && FAILED(root->get_outerHTML(html.Put())))) {
    std::abort();
  }
  std::u16string page = html.Text();
  for (const char16_t* secret : {kStored, kPassword, kGenerated, kTyped}) {
    // A secret may stand in the page only where the page itself wrote it.
    if (page.find(secret) != std::u16string::npos &&
        std::string_view(reinterpret_cast<const char*>(data), size).find("zq-") == std::string_view::npos) {
      std::abort();
    }
  }
  formfill::PreparedValues::Instance().DropWindow(kWindow);
  return 0;
}
