#include "model_helpers.h"

#include <gtest/gtest.h>

#include "platform/base/text.h"

namespace browser_test {

using platform::com::BString;

namespace {
PageLoader loader;
}  // namespace

ComPtr<platform::browser::HtmlDocument> Load(const std::string& html, const std::u16string& url) {
  return loader ? loader(html, url) : platform::browser::HtmlDocument::Load(html, url);
}

void LoadThrough(PageLoader pages) { loader = std::move(pages); }

ComPtr<IHTMLElement> ById(IHTMLDocument3* document, const std::u16string& id) {
  ComPtr<IHTMLElement> element;
  EXPECT_EQ(document->getElementById(BString(id).get(), element.Put()), S_OK);
  return element;
}

ComPtr<IHTMLElementCollection> ByTag(IHTMLDocument3* document, const std::u16string& tag) {
  ComPtr<IHTMLElementCollection> elements;
  EXPECT_EQ(document->getElementsByTagName(BString(tag).get(), elements.Put()), S_OK);
  return elements;
}

ComPtr<IHTMLElementCollection> ByName(IHTMLDocument3* document, const std::u16string& name) {
  ComPtr<IHTMLElementCollection> elements;
  EXPECT_EQ(document->getElementsByName(BString(name).get(), elements.Put()), S_OK);
  return elements;
}

ComPtr<IHTMLElement> Item(IHTMLElementCollection* collection, LONG index) {
  ComPtr<IDispatch> item;
  Variant position = Variant::Int(index);
  if (FAILED(collection->item(position.raw(), position.raw(), item.Put())) || !item) return {};
  return item.As<IHTMLElement>();
}

LONG Length(IHTMLElementCollection* collection) {
  LONG length = -1;
  EXPECT_EQ(collection->get_length(&length), S_OK);
  return length;
}

Variant Attribute(IHTMLElement* element, const std::u16string& name) {
  Variant value;
  EXPECT_EQ(element->getAttribute(BString(name).get(), 0, value.Put()), S_OK);
  return value;
}

void SetAttribute(IHTMLElement* element, const std::u16string& name, const Variant& value) {
  EXPECT_EQ(element->setAttribute(BString(name).get(), value.raw(), 0), S_OK);
}

std::u16string Id(IHTMLElement* element) {
  BString id;
  EXPECT_EQ(element->get_id(id.Put()), S_OK);
  return id.Text();
}

std::u16string OuterHtml(IHTMLElement* element) {
  BString html;
  EXPECT_EQ(element->get_outerHTML(html.Put()), S_OK);
  return html.Text();
}

std::u16string Value(IHTMLElement* element) {
  BString value;
  if (auto input = ComPtr<IHTMLElement>(element).As<IHTMLInputElement>()) {
    EXPECT_EQ(input->get_value(value.Put()), S_OK);
  } else if (auto select = ComPtr<IHTMLElement>(element).As<IHTMLSelectElement>()) {
    EXPECT_EQ(select->get_value(value.Put()), S_OK);
  } else {
    ADD_FAILURE() << "not an input or select";
  }
  return value.Text();
}

void PutValue(IHTMLElement* element, const std::u16string& value) {
  auto input = ComPtr<IHTMLElement>(element).As<IHTMLInputElement>();
  ASSERT_TRUE(input);
  EXPECT_EQ(input->put_value(BString(value).get()), S_OK);
}

std::string Narrow(const std::u16string& text) { return platform::WideToUtf8(text); }

}  // namespace browser_test
