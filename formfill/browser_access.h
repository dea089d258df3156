// How the page side reaches the browser: finding the browser a command concerns among
// all open browser windows (by the watcher's window id, the host toolbar's client id
// or an attribute of the page's body), and reaching its window handle, document, title
// and body. Every out argument is cleared first, so a failed call leaves nil or an
// empty text; no failure reaches the caller.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/browser/exdisp.h"

namespace formfill {

using platform::com::ComPtr;

// The browser whose property "Pellix_Win_ID" equals WinId exactly. When the
// shell-windows collection cannot be made, one more try follows after 1000 ms.
void FindBrowserByWinId(std::u16string_view winId, ComPtr<IWebBrowser2>& browser);
// The browser whose property PropName (or "TOOLBAR_CLIENT_ID" when empty), taken
// through the 8-bit code page, equals ClientId exactly. Nil at once for a blank id or
// while the desktop flag "ZQ_FINDIE" is set; a collection that cannot be made sets it.
void FindBrowserByClientId(std::u16string_view clientId, std::u16string_view propName,
                           ComPtr<IWebBrowser2>& browser);
// The first browser that is not busy and whose body's attribute AttrName, as 8-bit
// text, equals Value exactly. The desktop flag works as for the client id.
void FindBrowserByBodyId(std::u16string_view attrName, std::u16string_view value, ComPtr<IWebBrowser2>& browser);

HWND GetBrowserWindowHandle(IWebBrowser2* browser);
void GetDocumentTitle(IWebBrowser2* browser, std::u16string& title);
void GetDocument3(IWebBrowser2* browser, ComPtr<IHTMLDocument3>& document);
void GetDocumentBody(IWebBrowser2* browser, ComPtr<IHTMLElement>& body);

// The conventions for walking the object model that the page side follows.

// Calls Visit for items 0 to length - 1, each taken with item(i, i) as 32-bit integers,
// until it answers false; an item whose call fails or that is nil is skipped. False
// when the length cannot be read.
bool ForEachItem(IHTMLElementCollection* collection, const std::function<bool(IDispatch* item)>& visit);
// The elements of a form (or any element) with the tag, taken from its all collection,
// which for a form holds its own controls also where the page's tree puts them outside
// it; nil when they cannot be taken.
ComPtr<IHTMLElementCollection> ElementsByTag(IUnknown* element, std::u16string_view tag);
// The HTML text that shows a form with its fields: its outer HTML, or, for a form whose
// controls stand outside it (a form the tree builder left empty inside a table), the
// outer HTML of the nearest element around it that holds them all. False (and empty)
// when it cannot be read.
bool ReadFormHtml(IHTMLElement* form, std::u16string& html);
// getAttribute with flags 0; VT_EMPTY when the call fails.
platform::com::Variant ReadMark(IHTMLElement* element, std::u16string_view name);
// The attribute when it is a wide string, else empty.
std::u16string ReadTextMark(IHTMLElement* element, std::u16string_view name);
HRESULT WriteMark(IHTMLElement* element, std::u16string_view name, const platform::com::Variant& value);
std::u16string ElementId(IHTMLElement* element);
// An input's type as the page side compares it: the "type" attribute as 8-bit text,
// ASCII letters lower-cased; false when it cannot be read as text.
bool ReadInputType(IHTMLElement* element, std::string& type);
// True for the input types the page side treats as text: "text" and the text-like
// types pages use for names, addresses, phones and search boxes ("email", "tel",
// "url", "search", "number"). Type is as ReadInputType gives it; "password" is the
// only password type.
bool IsTextType(std::string_view type);
// Wide text as 8-bit text with the ASCII letters lower-cased.
std::string LowerAscii8(std::u16string_view text);

// The desktop window's property that switches the client-id and body searches off.
inline constexpr char kFindIeFlag[] = "ZQ_FINDIE";

}  // namespace formfill
