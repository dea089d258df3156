// Pages are outside input: any bytes must build a document, and the walks the form
// filler makes over it (every element and attribute, the forms' inputs and selects
// with their options, marks written and read back) must hold.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/browser/html_document.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::u16string Text(HRESULT hr, const BString& text) {
  Check(SUCCEEDED(hr));
  return text.Text();
}

ComPtr<IHTMLElementCollection> Tagged(IHTMLElement* element, const char16_t* tag) {
  ComPtr<IHTMLElementCollection> found;
  Check(SUCCEEDED(ComPtr<IHTMLElement>(element).As<IHTMLElement2>()->getElementsByTagName(BString(tag).get(),
                                                                                             found.Put())));
  return found;
}

std::vector<ComPtr<IHTMLElement>> Items(IHTMLElementCollection* collection) {
  LONG length = 0;
  Check(SUCCEEDED(collection->get_length(&length)) && length >= 0);
  std::vector<ComPtr<IHTMLElement>> items;
  for (LONG i = 0; i < length; ++i) {
    ComPtr<IDispatch> item;
    Variant index = Variant::Int(i);
    Check(SUCCEEDED(collection->item(index.raw(), index.raw(), item.Put())) && item);
    items.push_back(item.As<IHTMLElement>());
    Check(bool(items.back()));
  }
  return items;
}

void WalkAttributes(IHTMLElement* element) {
  BString text;
  Text(element->get_tagName(text.Put()), text);
  Text(element->get_outerHTML(text.Put()), text);
  std::u16string name = Text(element->get_id(text.Put()), text);
  for (const char16_t* attribute : {u"type", u"name", u"id", u"value", u"style", u"disableff", u"size"}) {
    Variant value;
    Check(SUCCEEDED(element->getAttribute(BString(attribute).get(), 0, value.Put())));
  }
  Variant mark = Variant::Text(name + u"\"<>&");
  Check(SUCCEEDED(element->setAttribute(BString(u"Pellix_Value").get(), mark.raw(), 0)));
  Variant back;
  Check(SUCCEEDED(element->getAttribute(BString(u"pellix_value").get(), 0, back.Put())));
  Check(back.StringValue() == mark.StringValue());
}

void WalkForm(IHTMLElement* form) {
  for (const ComPtr<IHTMLElement>& each : Items(Tagged(form, u"input").get())) {
    auto input = each.As<IHTMLInputElement>();
    Check(bool(input));
    BString type, value;
    std::u16string typed = Text(input->get_type(type.Put()), type);
    Check(!typed.empty());
    Text(input->get_value(value.Put()), value);
    Check(SUCCEEDED(input->put_value(BString(u"filled").get())));
    // A control inside the form is its own unless its form attribute names another
    // form, or none.
    ComPtr<IHTMLFormElement> owner;
    Check(SUCCEEDED(input->get_form(owner.Put())));
    Variant named;
    Check(SUCCEEDED(each->getAttribute(BString(u"form").get(), 0, named.Put())));
    Check(owner || (named.raw().vt != VT_EMPTY && named.raw().vt != VT_NULL));
    ComPtr<IHTMLStyle> style;
    Check(SUCCEEDED(each->get_style(style.Put())));
    Check(SUCCEEDED(style->setAttribute(BString(u"background").get(), Variant::Text(u"#CEFF84").raw(), 0)));
  }
  for (const ComPtr<IHTMLElement>& each : Items(Tagged(form, u"select").get())) {
    auto select = each.As<IHTMLSelectElement>();
    Check(bool(select));
    LONG length = 0;
    Check(SUCCEEDED(select->get_length(&length)));
    for (LONG i = 0; i < length; ++i) {
      ComPtr<IDispatch> item;
      Check(SUCCEEDED(select->item(Variant::Int(i).raw(), Variant::Byte(0).raw(), item.Put())) && item);
      auto option = item.As<IHTMLOptionElement>();
      Check(bool(option));
      BString text;
      Text(option->get_text(text.Put()), text);
      Check(SUCCEEDED(option->put_selected(VARIANT_TRUE)));
      VARIANT_BOOL selected = VARIANT_FALSE;
      Check(SUCCEEDED(option->get_selected(&selected)) && selected == VARIANT_TRUE);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024) return 0;
  auto document = platform::browser::HtmlDocument::Load(
      std::string_view(reinterpret_cast<const char*>(data), size), u"http://fuzz.test/");
  ComPtr<IHTMLElementCollection> all;
  Check(SUCCEEDED(document->get_all(all.Put())));
  for (const ComPtr<IHTMLElement>& element : Items(all.get())) WalkAttributes(element.get());
  ComPtr<IHTMLElementCollection> forms;
  Check(SUCCEEDED(document->get_forms(forms.Put())));
  for (const ComPtr<IHTMLElement>& form : Items(forms.get())) WalkForm(form.get());
  BString title;
  Text(document->get_title(title.Put()), title);
  return 0;
}
