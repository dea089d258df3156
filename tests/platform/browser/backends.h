// The two backends of the browser model, driven the same way, so that one suite of
// tests holds both to the same rules. A driver opens windows and acts as the user
// does; each action returns once the browser has handled it and delivered its events.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model_helpers.h"
#include "platform/browser/devtools_pipe.h"
#include "platform/browser/page_source.h"
#include "platform/browser/web_browser.h"
#include "platform/com/connection_point.h"

namespace browser_test {

enum class Backend { kInProcess, kChromium };
std::string BackendName(const ::testing::TestParamInfo<Backend>& info);

// Pages given as text first, then the files of tests/fixtures/browser.
class TestPages : public platform::browser::PageSource {
 public:
  TestPages();
  platform::browser::PageMap& texts() { return texts_; }
  std::optional<std::string> Load(const std::u16string& url) override;
  std::optional<std::u16string> RedirectOf(const std::u16string& url) override;

 private:
  platform::browser::PageMap texts_;
  platform::browser::PageFolder folder_;
};

class Driver {
 public:
  static std::unique_ptr<Driver> For(Backend backend, std::shared_ptr<TestPages> pages);
  virtual ~Driver() = default;
  virtual ComPtr<IWebBrowser2> Open() = 0;
  // Navigates; returns when the page has loaded, or the navigation was cancelled.
  virtual HRESULT NavigateAndWait(IWebBrowser2* browser, const std::u16string& url) = 0;
  virtual HRESULT TypeInto(IWebBrowser2* browser, IHTMLElement* field, const std::u16string& text) = 0;
  virtual HRESULT SubmitByUser(IWebBrowser2* browser, IHTMLElement* form) = 0;
  virtual HRESULT RightClick(IWebBrowser2* browser, IHTMLElement* element) = 0;
  // Minimises the window, or restores it, as the user does.
  virtual HRESULT SetMinimised(IWebBrowser2* browser, bool minimised) = 0;
  // Waits until what the program started in the window (a navigation) has finished.
  virtual HRESULT Settle(IWebBrowser2* browser) = 0;
  virtual void CloseAll() = 0;
};

// Records the events a sink receives: their number, the text of their first
// by-reference or text argument, and the thread they came on.
struct Recorded {
  DISPID id;
  std::u16string text;
  std::thread::id thread;
};

class Recorder {
 public:
  // A sink for the event interface Events that records the members Ids; Also, when
  // set, runs in each call.
  ComPtr<platform::com::DispatchObject> Sink(REFIID events, std::vector<DISPID> ids,
                                             std::function<void(DISPID, DISPPARAMS*, VARIANT*)> also = {});
  std::vector<Recorded> Seen();
  std::vector<DISPID> Ids();

 private:
  std::mutex lock_;
  std::vector<Recorded> seen_;
};

// A suite whose pages load through the backend of its parameter (Load in
// model_helpers.h): the document rules hold for both backends alike.
class DocumentConformance : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The window the pages load in.
  IWebBrowser2* window() const { return window_.get(); }

 private:
  std::shared_ptr<TestPages> pages_;
  std::unique_ptr<Driver> driver_;
  ComPtr<IWebBrowser2> window_;
};

// The user at a Chromium window: a script run in the page's own world, and its value.
std::optional<platform::browser::Json> ChromiumPageScript(IWebBrowser2* browser, const std::string& script);
// The user at a Chromium window: gives its window Bounds (as the Browser domain has
// them); false when it could not.
bool SetChromiumWindow(IWebBrowser2* browser, const platform::browser::Json& bounds);
// Chromium's own bounds of a window's Chromium window (null when they cannot be had).
platform::browser::Json ChromiumWindow(IWebBrowser2* browser);

DWORD Advise(IUnknown* source, REFIID events, IUnknown* sink);
HWND FrameWindow(IWebBrowser2* browser);
ComPtr<IHTMLDocument3> Document(IWebBrowser2* browser);
std::u16string Location(IWebBrowser2* browser);

}  // namespace browser_test
