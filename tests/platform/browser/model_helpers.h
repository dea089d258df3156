// Small helpers for tests of the browser model: load a page, find elements, read
// attributes and values.
#pragma once

#include <functional>
#include <string>

#include "platform/browser/html_document.h"

namespace browser_test {

using platform::com::ComPtr;
using platform::com::Variant;

// A page's document from its HTML text: the in-process parser's, unless a test has
// set another way (a browser window that loads the page) with LoadThrough; an empty
// function goes back to the parser.
ComPtr<platform::browser::HtmlDocument> Load(const std::string& html,
                                             const std::u16string& url = u"http://site.test/page.html");
using PageLoader = std::function<ComPtr<platform::browser::HtmlDocument>(const std::string&, const std::u16string&)>;
void LoadThrough(PageLoader loader);
ComPtr<IHTMLElement> ById(IHTMLDocument3* document, const std::u16string& id);
ComPtr<IHTMLElementCollection> ByTag(IHTMLDocument3* document, const std::u16string& tag);
ComPtr<IHTMLElementCollection> ByName(IHTMLDocument3* document, const std::u16string& name);
// Item I of a collection as an element (null when missing).
ComPtr<IHTMLElement> Item(IHTMLElementCollection* collection, LONG index);
LONG Length(IHTMLElementCollection* collection);
Variant Attribute(IHTMLElement* element, const std::u16string& name);
void SetAttribute(IHTMLElement* element, const std::u16string& name, const Variant& value);
std::u16string Id(IHTMLElement* element);
std::u16string OuterHtml(IHTMLElement* element);
std::u16string Value(IHTMLElement* element);  // input or select value
void PutValue(IHTMLElement* element, const std::u16string& value);
std::string Narrow(const std::u16string& text);

}  // namespace browser_test
