#include "backends.h"

#include <thread>

#include "common/test_env.h"
#include "platform/browser/chromium_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"

namespace browser_test {

using platform::browser::ChromiumBrowser;
using platform::browser::InProcessBrowser;
using platform::com::BString;

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kInProcess ? "InProcess" : "Chromium";
}

TestPages::TestPages() : folder_(pellix_test::Fixture("browser")) {}

std::optional<std::string> TestPages::Load(const std::u16string& url) {
  std::optional<std::string> text = texts_.Load(url);
  return text ? text : folder_.Load(url);
}

std::optional<std::u16string> TestPages::RedirectOf(const std::u16string& url) { return texts_.RedirectOf(url); }

namespace {

class InProcessDriver : public Driver {
 public:
  explicit InProcessDriver(std::shared_ptr<TestPages> pages) { InProcessBrowser::Instance().SetPages(pages); }
  ComPtr<IWebBrowser2> Open() override { return InProcessBrowser::Instance().OpenWindow(); }
  HRESULT NavigateAndWait(IWebBrowser2* browser, const std::u16string& url) override {
    return platform::browser::NavigateAndWait(browser, url);
  }
  HRESULT TypeInto(IWebBrowser2* browser, IHTMLElement* field, const std::u16string& text) override {
    return platform::browser::TypeInto(browser, field, text);
  }
  HRESULT SubmitByUser(IWebBrowser2* browser, IHTMLElement* form) override {
    return platform::browser::SubmitByUser(browser, form);
  }
  HRESULT RightClick(IWebBrowser2* browser, IHTMLElement* element) override {
    return platform::browser::RightClick(browser, element);
  }
  HRESULT SetMinimised(IWebBrowser2* browser, bool minimised) override {
    return minimised ? platform::browser::Minimise(browser) : platform::browser::Restore(browser);
  }
  HRESULT Settle(IWebBrowser2* browser) override { return platform::browser::WaitIdle(browser); }
  void CloseAll() override { InProcessBrowser::Instance().CloseAll(); }
};

// A right click in the middle of an element (a script expression) as the user makes
// it, with the mouse.
bool ChromiumRightClick(IWebBrowser2* browser, const std::string& element) {
  std::optional<platform::browser::Json> place = ChromiumPageScript(
      browser, "(() => { const r = " + element + ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()");
  if (!place || !place->is_array() || place->size() != 2) return false;
  for (const char* type : {"mousePressed", "mouseReleased"}) {
    if (!ChromiumBrowser::Instance().Command(
            browser, "Input.dispatchMouseEvent",
            {{"type", type}, {"x", (*place)[0]}, {"y", (*place)[1]}, {"button", "right"}, {"clickCount", 1}})) {
      return false;
    }
  }
  return true;
}

// The user stands behind page scripts run in the page's own world.
class ChromiumDriver : public Driver {
 public:
  explicit ChromiumDriver(std::shared_ptr<TestPages> pages) {
    ChromiumBrowser::Instance().Configure(platform::browser::ChromiumBrowser::Options(false));
    ChromiumBrowser::Instance().SetPages(pages);
  }
  ComPtr<IWebBrowser2> Open() override { return ChromiumBrowser::Instance().OpenWindow(); }
  HRESULT NavigateAndWait(IWebBrowser2* browser, const std::u16string& url) override {
    platform::com::Variant address = platform::com::Variant::Text(url);
    HRESULT hr = browser->Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
    return FAILED(hr) ? hr : Settle(browser);
  }
  HRESULT TypeInto(IWebBrowser2* browser, IHTMLElement* field, const std::u16string& text) override {
    if (!Run(browser, "const e = " + Find(browser, field) + "; e.focus(); e.value = " + Quoted(text) +
                          "; e.dispatchEvent(new Event('input', {bubbles: true}));")) {
      return E_FAIL;
    }
    // The page side reads a page through its document, which brings it up to date.
    return Document(browser) ? S_OK : E_FAIL;
  }
  HRESULT SubmitByUser(IWebBrowser2* browser, IHTMLElement* form) override {
    return Report(browser, [&] { return Run(browser, Find(browser, form) + ".requestSubmit();"); });
  }
  HRESULT RightClick(IWebBrowser2* browser, IHTMLElement* element) override {
    return Report(browser, [&] { return ChromiumRightClick(browser, Find(browser, element)); });
  }
  // The page reports that it is no longer seen, or seen again.
  HRESULT SetMinimised(IWebBrowser2* browser, bool minimised) override {
    return Report(browser, [&] {
      return SetChromiumWindow(browser, {{"windowState", minimised ? "minimized" : "normal"}});
    });
  }
  void CloseAll() override { ChromiumBrowser::Instance().Shutdown(); }

 private:
  static std::string Quoted(const std::u16string& text) { return platform::browser::Json(Narrow(text)).dump(); }
  // The page's element that the model's element stands for, by its place among the
  // document's elements (which the model keeps in the page's order).
  static std::string Find(IWebBrowser2* browser, IHTMLElement* element) {
    ComPtr<IDispatch> document;
    ComPtr<IHTMLElementCollection> all;
    if (!element || FAILED(browser->get_Document(document.Put())) || !document ||
        FAILED(document.As<IHTMLDocument2>()->get_all(all.Put()))) {
      return "null";
    }
    for (LONG i = 0; i < Length(all.get()); ++i) {
      if (platform::com::IsSameObject(Item(all.get(), i).get(), element)) {
        return "document.getElementsByTagName('*')[" + std::to_string(i) + "]";
      }
    }
    return "null";
  }
  // Runs a script in the page; false when it could not run or threw.
  static bool Run(IWebBrowser2* browser, const std::string& script) {
    return ChromiumPageScript(browser, "(() => { " + script + "; return true; })()") == platform::browser::Json(true);
  }
  // Does what makes the page report, waits for the report to be handled and for what
  // it started.
  HRESULT Report(IWebBrowser2* browser, const std::function<bool()>& action) {
    using Counted = ChromiumBrowser::Counted;
    int reports = ChromiumBrowser::Instance().Count(browser, Counted::kReports);
    if (reports < 0 || !action()) return E_INVALIDARG;
    if (!ChromiumBrowser::Instance().WaitFor(browser, Counted::kReports, reports + 1)) return E_FAIL;
    return Settle(browser);
  }
  // Waits until the window is no longer busy and has no work left.
  HRESULT Settle(IWebBrowser2* browser) override {
    for (int i = 0; i < 3000; ++i) {
      VARIANT_BOOL busy = VARIANT_TRUE;
      HRESULT hr = browser->get_Busy(&busy);
      if (FAILED(hr)) return hr;
      if (busy == VARIANT_FALSE) return platform::browser::WaitIdle(browser);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return E_FAIL;
  }
};

}  // namespace

std::optional<platform::browser::Json> ChromiumPageScript(IWebBrowser2* browser, const std::string& script) {
  std::optional<platform::browser::Json> answer = ChromiumBrowser::Instance().Command(
      browser, "Runtime.evaluate", {{"expression", script}, {"returnByValue", true}});
  if (!answer || !answer->contains("result")) return std::nullopt;
  return (*answer)["result"].value("value", platform::browser::Json());
}

platform::browser::Json ChromiumWindow(IWebBrowser2* browser) {
  std::optional<platform::browser::Json> answer =
      ChromiumBrowser::Instance().Command(browser, "Browser.getWindowForTarget", platform::browser::Json::object());
  return answer ? answer->value("bounds", platform::browser::Json()) : platform::browser::Json();
}

bool SetChromiumWindow(IWebBrowser2* browser, const platform::browser::Json& bounds) {
  std::optional<platform::browser::Json> window =
      ChromiumBrowser::Instance().Command(browser, "Browser.getWindowForTarget", platform::browser::Json::object());
  return window && ChromiumBrowser::Instance().Command(
                       browser, "Browser.setWindowBounds", {{"windowId", window->value("windowId", -1)}, {"bounds", bounds}});
}

std::unique_ptr<Driver> Driver::For(Backend backend, std::shared_ptr<TestPages> pages) {
  if (backend == Backend::kInProcess) return std::make_unique<InProcessDriver>(std::move(pages));
  return std::make_unique<ChromiumDriver>(std::move(pages));
}

void DocumentConformance::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  ASSERT_TRUE(SUCCEEDED(InProcessBrowser::Instance().Install()));
  pages_ = std::make_shared<TestPages>();
  driver_ = Driver::For(GetParam(), pages_);
  window_ = driver_->Open();
  ASSERT_TRUE(window_);
  LoadThrough([this](const std::string& html, const std::u16string& url) {
    pages_->texts().Add(url, html);
    EXPECT_EQ(driver_->NavigateAndWait(window_.get(), url), S_OK);
    ComPtr<IDispatch> document;
    EXPECT_EQ(window_->get_Document(document.Put()), S_OK);
    auto page = document.As<IHTMLDocument2>();
    return ComPtr<platform::browser::HtmlDocument>(static_cast<platform::browser::HtmlDocument*>(page.get()));
  });
}

void DocumentConformance::TearDown() {
  LoadThrough({});
  window_ = {};
  driver_->CloseAll();
  InProcessBrowser::Instance().CloseAll();
  CoUninitialize();
}

ComPtr<platform::com::DispatchObject> Recorder::Sink(REFIID events, std::vector<DISPID> ids,
                                                     std::function<void(DISPID, DISPPARAMS*, VARIANT*)> also) {
  auto sink = platform::com::MakeComObject<platform::com::DispatchObject>(std::initializer_list<IID>{events});
  for (DISPID id : ids) {
    sink->AddMember(u"", id, [this, id, also](WORD, DISPPARAMS* params, VARIANT* result) {
      Recorded entry{id, {}, std::this_thread::get_id()};
      for (UINT i = 0; i < params->cArgs; ++i) {
        VARIANT* arg = platform::com::Argument(params, i);
        Variant text;
        if ((arg->vt == (VT_BYREF | VT_VARIANT) || arg->vt == VT_BSTR) &&
            SUCCEEDED(VariantChangeType(text.get(), arg, 0, VT_BSTR))) {
          entry.text = text.StringValue();
          break;
        }
        if (arg->vt == VT_I4 && entry.text.empty()) entry.text = Variant::CopyOf(*arg).AsText();
      }
      {
        std::lock_guard guard(lock_);
        seen_.push_back(entry);
      }
      if (also) also(id, params, result);
      return S_OK;
    });
  }
  return sink;
}

std::vector<Recorded> Recorder::Seen() {
  std::lock_guard guard(lock_);
  return seen_;
}

std::vector<DISPID> Recorder::Ids() {
  std::vector<DISPID> ids;
  for (const Recorded& each : Seen()) ids.push_back(each.id);
  return ids;
}

DWORD Advise(IUnknown* source, REFIID events, IUnknown* sink) {
  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(events, point.Put()), S_OK);
  DWORD cookie = 0;
  EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
  return cookie;
}

HWND FrameWindow(IWebBrowser2* browser) {
  SHANDLE_PTR handle = 0;
  EXPECT_EQ(browser->get_HWND(&handle), S_OK);
  return static_cast<HWND>(handle);
}

ComPtr<IHTMLDocument3> Document(IWebBrowser2* browser) {
  ComPtr<IDispatch> document;
  EXPECT_EQ(browser->get_Document(document.Put()), S_OK);
  return document.As<IHTMLDocument3>();
}

std::u16string Location(IWebBrowser2* browser) {
  BString url;
  EXPECT_EQ(browser->get_LocationURL(url.Put()), S_OK);
  return url.Text();
}

}  // namespace browser_test
