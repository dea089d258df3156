// What a page's script sends about the page is outside input (the page's process may
// be anyone's): any bytes must give a sound document or none, and the reads the form
// filler makes over it must hold.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/browser/chromium_browser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using platform::com::BString;
  using platform::com::ComPtr;
  using platform::com::Variant;
  const auto Check = [](bool condition) {
    if (!condition) std::abort();
  };
  if (size > 256 * 1024) return 0;
  auto snapshot = platform::browser::Json::parse(std::string_view(reinterpret_cast<const char*>(data), size), nullptr,
                                                 false);
  if (snapshot.is_discarded()) return 0;
  ComPtr<platform::browser::HtmlDocument> document = platform::browser::DocumentFromSnapshot(snapshot);
  if (!document) return 0;
  ComPtr<IHTMLElementCollection> all;
  Check(SUCCEEDED(document->get_all(all.Put())));
  LONG length = 0;
  Check(SUCCEEDED(all->get_length(&length)));
  for (LONG i = 0; i < length; ++i) {
    ComPtr<IDispatch> item;
    Variant index = Variant::Int(i);
    Check(SUCCEEDED(all->item(index.raw(), index.raw(), item.Put())) && item);
    auto element = item.As<IHTMLElement>();
    BString text;
    Check(SUCCEEDED(element->get_tagName(text.Put())));
    Check(SUCCEEDED(element->get_outerHTML(text.Put())));
    Check(SUCCEEDED(element->get_innerText(text.Put())));
    Variant value;
    Check(SUCCEEDED(element->getAttribute(BString(u"value").get(), 0, value.Put())));
    if (auto input = item.As<IHTMLInputElement>()) {
      Check(SUCCEEDED(input->get_value(text.Put())));
      ComPtr<IHTMLFormElement> form;
      Check(SUCCEEDED(input->get_form(form.Put())));
    }
    if (auto select = item.As<IHTMLSelectElement>()) {
      LONG selected = 0;
      Check(SUCCEEDED(select->get_selectedIndex(&selected)) && SUCCEEDED(select->get_value(text.Put())));
    }
    if (auto form = item.As<IHTMLFormElement>()) {
      LONG controls = 0;
      Check(SUCCEEDED(form->get_length(&controls)));
    }
  }
  BString title;
  Check(SUCCEEDED(document->get_title(title.Put())));
  return 0;
}
