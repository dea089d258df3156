#include "platform/browser/in_process_browser.h"

#include "platform/browser/html_element.h"
#include "platform/com/class_table.h"
#include "platform/win/window.h"

namespace platform::browser {

using platform::com::ComPtr;
using platform::com::MakeComObject;

namespace {

// The collection of open browser windows, as the shell offers it.
class ShellWindows : public ModelObject<IShellWindows, IConnectionPointContainer> {
 public:
  HRESULT get_Count(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<LONG>(InProcessBrowser::Instance().WindowCount());
    return S_OK;
  }
  HRESULT Item(VARIANT index, IDispatch** folder) override {
    if (folder == nullptr) return E_POINTER;
    *folder = nullptr;
    platform::com::Variant position;
    if (FAILED(VariantChangeType(position.get(), &index, 0, VT_I4))) return E_INVALIDARG;
    const LONG at = position.raw().lVal;
    ComPtr<WebBrowser> window = at < 0 ? nullptr : InProcessBrowser::Instance().WindowAt(static_cast<std::size_t>(at));
    if (!window) return S_FALSE;
    *folder = static_cast<IWebBrowser2*>(window.get());
    (*folder)->AddRef();
    return S_OK;
  }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override {
    if (points) *points = nullptr;
    return E_NOTIMPL;
  }
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (!(iid == DIID_DShellWindowsEvents)) return CONNECT_E_NOCONNECTION;
    return platform::com::ReturnInterface(
        ComPtr<IConnectionPoint>(InProcessBrowser::Instance().ShellEvents().get()), point);
  }
};

void FireShellEvent(platform::com::ConnectionPoint& events, DISPID id, LONG cookie) {
  std::vector<VARIANT> args(1);
  VariantInit(&args[0]);
  args[0].vt = VT_I4;
  args[0].lVal = cookie;
  events.Fire(id, args);
}

// The in-process element behind an interface of it, or null.
ComPtr<HtmlElement> ElementOf(IHTMLElement* element) {
  ComPtr<IHTMLElement> own;
  if (element == nullptr || FAILED(element->QueryInterface(IID_InProcessElement, own.PutVoid()))) return {};
  return ComPtr<HtmlElement>(static_cast<HtmlElement*>(own.get()));
}

}  // namespace

InProcessBrowser& InProcessBrowser::Instance() {
  static InProcessBrowser instance;
  return instance;
}

InProcessBrowser::InProcessBrowser()
    : pages_(std::make_shared<PageMap>()),
      shell_events_(MakeComObject<platform::com::ConnectionPoint>(DIID_DShellWindowsEvents, nullptr)) {}

HRESULT InProcessBrowser::Install() {
  std::lock_guard guard(lock_);
  if (class_cookie_ != 0) return S_FALSE;
  auto factory = MakeComObject<platform::com::ClassFactory>(
      [] { return ComPtr<IUnknown>(static_cast<IShellWindows*>(MakeComObject<ShellWindows>().get())); });
  return CoRegisterClassObject(CLSID_ShellWindows, factory.get(), CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                               REGCLS_MULTIPLEUSE, &class_cookie_);
}

void InProcessBrowser::SetPages(std::shared_ptr<PageSource> pages) {
  std::lock_guard guard(lock_);
  pages_ = std::move(pages);
}

ComPtr<IWebBrowser2> InProcessBrowser::OpenWindow(const WindowOptions& options) {
  std::shared_ptr<PageSource> pages;
  {
    std::lock_guard guard(lock_);
    pages = pages_;
  }
  auto window = MakeComObject<WebBrowser>(options, std::move(pages));
  if (!window->Start()) return {};
  IWebBrowser2* raw = window.get();
  window->SetCloseHandler([this, raw] { CloseWindow(raw); });
  AddWindow(window);
  return ComPtr<IWebBrowser2>(window.get());
}

void InProcessBrowser::AddWindow(const ComPtr<WebBrowser>& window) {
  LONG cookie = 0;
  {
    std::lock_guard guard(lock_);
    cookie = next_cookie_++;
    windows_.emplace_back(cookie, window);
  }
  FireShellEvent(*shell_events_, DISPID_WINDOWREGISTERED, cookie);
}

void InProcessBrowser::CloseWindow(IWebBrowser2* browser) {
  ComPtr<WebBrowser> closing;
  LONG cookie = 0;
  {
    std::lock_guard guard(lock_);
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
      if (static_cast<IWebBrowser2*>(it->second.get()) == browser) {
        cookie = it->first;
        closing = std::move(it->second);
        windows_.erase(it);
        break;
      }
    }
  }
  if (!closing) return;
  closing->Close();
  FireShellEvent(*shell_events_, DISPID_WINDOWREVOKED, cookie);
}

void InProcessBrowser::CloseAll() {
  for (const ComPtr<WebBrowser>& window : Windows()) CloseWindow(window.get());
}

std::vector<ComPtr<WebBrowser>> InProcessBrowser::Windows() {
  std::lock_guard guard(lock_);
  std::vector<ComPtr<WebBrowser>> open;
  for (const auto& entry : windows_) open.push_back(entry.second);
  return open;
}

std::size_t InProcessBrowser::WindowCount() {
  std::lock_guard guard(lock_);
  return windows_.size();
}

ComPtr<WebBrowser> InProcessBrowser::WindowAt(std::size_t index) {
  std::lock_guard guard(lock_);
  return index < windows_.size() ? windows_[index].second : nullptr;
}

ComPtr<WebBrowser> InProcessBrowser::Find(IWebBrowser2* browser) {
  std::lock_guard guard(lock_);
  for (const auto& entry : windows_) {
    if (platform::com::IsSameObject(static_cast<IWebBrowser2*>(entry.second.get()), browser)) return entry.second;
  }
  return {};
}

namespace {

// Runs Action on the window's thread and waits; E_INVALIDARG for a browser that is
// not an open window of the in-process browser.
HRESULT Act(IWebBrowser2* browser, std::function<void(WebBrowser&)> action) {
  ComPtr<WebBrowser> window;
  for (const ComPtr<WebBrowser>& each : InProcessBrowser::Instance().Windows()) {
    if (platform::com::IsSameObject(static_cast<IWebBrowser2*>(each.get()), browser)) window = each;
  }
  if (!window) return E_INVALIDARG;
  WebBrowser* target = window.get();
  window->Run([target, action] { action(*target); }, true);
  return S_OK;
}

}  // namespace

HRESULT NavigateAndWait(IWebBrowser2* browser, const std::u16string& url) {
  return Act(browser, [url](WebBrowser& window) { window.NavigateFromPage(url); });
}

HRESULT TypeInto(IWebBrowser2* browser, IHTMLElement* field, const std::u16string& text) {
  ComPtr<IHTMLInputElement> input;
  if (!field || FAILED(field->QueryInterface(IID_IHTMLInputElement, input.PutVoid()))) return E_INVALIDARG;
  return Act(browser, [input, text](WebBrowser&) { input->put_value(platform::com::BString(text).get()); });
}

HRESULT RightClick(IWebBrowser2* browser, IHTMLElement* element, bool* browserMenu) {
  ComPtr<HtmlElement> target = ElementOf(element);
  if (!target) return E_INVALIDARG;
  bool opened = true;
  HRESULT hr = Act(browser, [target, &opened](WebBrowser&) {
    opened = target->FireEvent(DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU, u"contextmenu", true);
  });
  if (browserMenu) *browserMenu = opened;
  return hr;
}

HRESULT SubmitByUser(IWebBrowser2* browser, IHTMLElement* form) {
  ComPtr<HtmlElement> target = ElementOf(form);
  if (!target || !target.As<IHTMLFormElement>()) return E_INVALIDARG;
  return Act(browser, [target](WebBrowser& window) {
    if (target->FireEvent(DISPID_HTMLFORMELEMENTEVENTS2_ONSUBMIT, u"submit", false)) {
      window.NavigateFromPage(target->SubmitTarget());
    }
  });
}

HRESULT Minimise(IWebBrowser2* browser) {
  return Act(browser, [](WebBrowser& window) {
    window.ShowFrame(SW_MINIMIZE);
    window.FireWindowState(false);
  });
}

HRESULT Restore(IWebBrowser2* browser) {
  return Act(browser, [](WebBrowser& window) {
    window.ShowFrame(SW_RESTORE);
    window.FireWindowState(true);
  });
}

HRESULT ShowTab(IWebBrowser2* browser, bool visible) {
  return Act(browser, [visible](WebBrowser& window) {
    window.ShowTabWindow(visible);
    window.FireWindowState(visible);
  });
}

HRESULT HoldBusy(IWebBrowser2* browser, bool hold) {
  return Act(browser, [hold](WebBrowser& window) { window.HoldBusy(hold); });
}

HRESULT WaitIdle(IWebBrowser2* browser) {
  return Act(browser, [](WebBrowser&) {});
}

}  // namespace platform::browser
