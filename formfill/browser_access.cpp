#include "formfill/browser_access.h"

#include <exception>
#include <functional>

#include "controls/unicode/uni_sysutils.h"
#include "platform/base/text.h"
#include "platform/com/class_table.h"
#include "platform/base/clock.h"
#include "platform/win/window.h"

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::Variant;

ComPtr<IShellWindows> CreateShellWindows() {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IShellWindows, windows.PutVoid()))) {
    windows.Reset();
  }
  return windows;
}

bool SearchesSwitchedOff() { return GetPropA(GetDesktopWindow(), kFindIeFlag) != 0; }

void SwitchSearchesOff() { SetPropA(GetDesktopWindow(), kFindIeFlag, 1); }


// Text taken through the system's 8-bit code page and back.
std::u16string ThroughAnsi(const std::u16string& text) { return platform::AnsiToWide(platform::WideToAnsi(text)); }

std::u16string PropertyText(IWebBrowser2* browser, std::u16string_view name) {
  Variant value;
  if (FAILED(browser->GetProperty(BString(name).get(), value.Put()))) return {};
  return value.AsText();
}

// Walks the browsers of the collection in index order until Matches answers true;
// an item that fails or is no browser is skipped, and so is one whose handling throws.
void Search(IShellWindows* windows, const std::function<bool(IWebBrowser2*)>& matches,
            ComPtr<IWebBrowser2>& browser) {
  LONG count = 0;
  if (FAILED(windows->get_Count(&count))) return;
  for (LONG i = 0; i < count; ++i) {
    try {
      ComPtr<IDispatch> item;
      if (FAILED(windows->Item(Variant::Int(i).raw(), item.Put())) || !item) continue;
      ComPtr<IWebBrowser2> candidate;
      if (FAILED(item.As(candidate)) || !candidate) continue;
      if (matches(candidate.get())) {
        browser = candidate;
        return;
      }
    } catch (const std::exception&) {
      // This browser is skipped; the search goes on.
    }
  }
}

}  // namespace

void FindBrowserByWinId(std::u16string_view winId, ComPtr<IWebBrowser2>& browser) {
  browser.Reset();
  try {
    ComPtr<IShellWindows> windows = CreateShellWindows();
    if (!windows) {
      // The pause of a 1000 ms wait on the program's own process handle, on the
      // platform clock (which tests advance instead of waiting).
      Sleep(1000);
      windows = CreateShellWindows();
    }
    if (!windows) return;
    Search(windows.get(), [&](IWebBrowser2* each) { return PropertyText(each, u"Pellix_Win_ID") == winId; },
           browser);
  } catch (const std::exception&) {
    browser.Reset();
  }
}

void FindBrowserByClientId(std::u16string_view clientId, std::u16string_view propName,
                           ComPtr<IWebBrowser2>& browser) {
  browser.Reset();
  try {
    if (SearchesSwitchedOff() || WideTrim(clientId).empty()) return;
    ComPtr<IShellWindows> windows = CreateShellWindows();
    if (!windows) {
      SwitchSearchesOff();
      return;
    }
    std::u16string property(propName.empty() ? u"TOOLBAR_CLIENT_ID" : propName);
    Search(windows.get(),
           [&](IWebBrowser2* each) { return ThroughAnsi(PropertyText(each, property)) == clientId; }, browser);
  } catch (const std::exception&) {
    browser.Reset();
  }
}

void FindBrowserByBodyId(std::u16string_view attrName, std::u16string_view value, ComPtr<IWebBrowser2>& browser) {
  browser.Reset();
  try {
    if (SearchesSwitchedOff() || WideTrim(attrName).empty()) return;
    ComPtr<IShellWindows> windows = CreateShellWindows();
    if (!windows) {
      SwitchSearchesOff();
      return;
    }
    Search(windows.get(),
           [&](IWebBrowser2* each) {
             VARIANT_BOOL busy = VARIANT_TRUE;
             if (FAILED(each->get_Busy(&busy)) || busy != VARIANT_FALSE) return false;
             ComPtr<IHTMLElement> body;
             GetDocumentBody(each, body);
             if (!body) return false;
             Variant attribute;
             if (FAILED(body->getAttribute(BString(attrName).get(), 0, attribute.Put()))) return false;
             return ThroughAnsi(attribute.AsText()) == value;
           },
           browser);
  } catch (const std::exception&) {
    browser.Reset();
  }
}

HWND GetBrowserWindowHandle(IWebBrowser2* browser) {
  SHANDLE_PTR window = 0;
  if (browser == nullptr || FAILED(browser->get_HWND(&window))) return 0;
  return static_cast<HWND>(window);
}

void GetDocument3(IWebBrowser2* browser, ComPtr<IHTMLDocument3>& document) {
  document.Reset();
  if (browser == nullptr) return;
  ComPtr<IDispatch> dispatch;
  if (FAILED(browser->get_Document(dispatch.Put())) || !dispatch) return;
  ComPtr<IHTMLDocument2> document2;
  if (FAILED(dispatch.As(document2)) || !document2) return;
  if (FAILED(document2.As(document))) document.Reset();
}

void GetDocumentTitle(IWebBrowser2* browser, std::u16string& title) {
  title.clear();
  ComPtr<IHTMLDocument3> document;
  GetDocument3(browser, document);
  ComPtr<IHTMLDocument2> document2;
  if (!document || FAILED(document.As(document2))) return;
  BString text;
  if (SUCCEEDED(document2->get_title(text.Put()))) title = text.Text();
}

void GetDocumentBody(IWebBrowser2* browser, ComPtr<IHTMLElement>& body) {
  body.Reset();
  ComPtr<IHTMLDocument3> document;
  GetDocument3(browser, document);
  ComPtr<IHTMLDocument2> document2;
  if (!document || FAILED(document.As(document2))) return;
  if (FAILED(document2->get_body(body.Put()))) body.Reset();
}

bool ForEachItem(IHTMLElementCollection* collection, const std::function<bool(IDispatch* item)>& visit) {
  LONG length = 0;
  if (collection == nullptr || FAILED(collection->get_length(&length))) return false;
  for (LONG i = 0; i < length; ++i) {
    ComPtr<IDispatch> item;
    Variant index = Variant::Int(i);
    if (FAILED(collection->item(index.raw(), index.raw(), item.Put())) || !item) continue;
    if (!visit(item.get())) break;
  }
  return true;
}

ComPtr<IHTMLElementCollection> ElementsByTag(IUnknown* element, std::u16string_view tag) {
  ComPtr<IHTMLElement> container;
  ComPtr<IDispatch> all, tagged;
  if (element == nullptr || FAILED(element->QueryInterface(IID_IHTMLElement, container.PutVoid())) ||
      FAILED(container->get_all(all.Put())) || !all) {
    return {};
  }
  ComPtr<IHTMLElementCollection> elements = all.As<IHTMLElementCollection>();
  if (!elements || FAILED(elements->tags(Variant::Text(tag).raw(), tagged.Put())) || !tagged) return {};
  return tagged.As<IHTMLElementCollection>();
}

namespace {

// True when Holder is Element or stands around it.
bool Holds(IHTMLElement* holder, IHTMLElement* element) {
  for (ComPtr<IHTMLElement> up(element); up;) {
    if (platform::com::IsSameObject(up.get(), holder)) return true;
    ComPtr<IHTMLElement> parent;
    if (FAILED(up->get_parentElement(parent.Put()))) return false;
    up = parent;
  }
  return false;
}

}  // namespace

bool ReadFormHtml(IHTMLElement* form, std::u16string& html) {
  html.clear();
  if (form == nullptr) return false;
  ComPtr<IHTMLElement> holder(form);
  ComPtr<IDispatch> all;
  if (SUCCEEDED(form->get_all(all.Put())) && all) {
    ForEachItem(all.As<IHTMLElementCollection>().get(), [&](IDispatch* item) {
      ComPtr<IHTMLElement> element = ComPtr<IDispatch>(item).As<IHTMLElement>();
      while (element && holder && !Holds(holder.get(), element.get())) {
        ComPtr<IHTMLElement> parent;
        if (FAILED(holder->get_parentElement(parent.Put()))) parent.Reset();
        holder = parent;
      }
      return true;
    });
  }
  BString text;
  if (!holder || FAILED(holder->get_outerHTML(text.Put()))) return false;
  html = text.Text();
  return true;
}

Variant ReadMark(IHTMLElement* element, std::u16string_view name) {
  Variant value;
  if (element == nullptr || FAILED(element->getAttribute(BString(name).get(), 0, value.Put()))) return Variant();
  return value;
}

std::u16string ReadTextMark(IHTMLElement* element, std::u16string_view name) {
  return ReadMark(element, name).StringValue();
}

HRESULT WriteMark(IHTMLElement* element, std::u16string_view name, const Variant& value) {
  if (element == nullptr) return E_POINTER;
  return element->setAttribute(BString(name).get(), value.raw(), 0);
}

std::u16string ElementId(IHTMLElement* element) {
  BString id;
  if (element == nullptr || FAILED(element->get_id(id.Put()))) return {};
  return id.Text();
}

bool ReadInputType(IHTMLElement* element, std::string& type) {
  type.clear();
  Variant value = ReadMark(element, u"type");
  if (value.type() != VT_BSTR) return false;
  type = LowerAscii8(value.StringValue());
  return true;
}

bool IsTextType(std::string_view type) {
  for (std::string_view each : {"text", "email", "tel", "url", "search", "number"}) {
    if (type == each) return true;
  }
  return false;
}

std::string LowerAscii8(std::u16string_view text) {
  std::string out = platform::WideToAnsi(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace formfill
