// The in-process browser: the tests' backend of the browser model and the fallback.
// It keeps the open browser windows of this process (of both backends), serves the shell-windows collection
// (CLSID_ShellWindows) through the class table, and lets tests (and later the whole
// program) act as a user would: open and close windows, navigate, type, right-click,
// submit, minimise and restore. Each action returns when the browser has handled it
// and delivered its events on the window's own thread.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/browser/web_browser.h"

namespace platform::browser {

class InProcessBrowser {
 public:
  static InProcessBrowser& Instance();

  // Registers the shell-windows class in the class table (once per process).
  HRESULT Install();
  // Where pages come from (an empty page map until set).
  void SetPages(std::shared_ptr<PageSource> pages);

  // Opens a window (WindowRegistered goes to the shell-windows sinks); null when its
  // frame window could not be made.
  platform::com::ComPtr<IWebBrowser2> OpenWindow(const WindowOptions& options = {});
  // Puts a started window in the list (WindowRegistered goes to the sinks); the
  // Chromium backend's windows join the list this way.
  void AddWindow(const platform::com::ComPtr<WebBrowser>& window);
  // Closes a window as the user does (WindowRevoked goes to the sinks).
  void CloseWindow(IWebBrowser2* browser);
  void CloseAll();
  std::vector<platform::com::ComPtr<WebBrowser>> Windows();
  // The number of open windows, and the one at a place in the list (null past the
  // end): the shell's window collection asks one at a time.
  std::size_t WindowCount();
  platform::com::ComPtr<WebBrowser> WindowAt(std::size_t index);
  platform::com::ComPtr<platform::com::ConnectionPoint> ShellEvents() const { return shell_events_; }
  // The listed window that is Browser, or null.
  platform::com::ComPtr<WebBrowser> Find(IWebBrowser2* browser);

 private:
  InProcessBrowser();

  std::mutex lock_;
  std::shared_ptr<PageSource> pages_;
  std::vector<std::pair<LONG, platform::com::ComPtr<WebBrowser>>> windows_;  // cookie, window
  LONG next_cookie_ = 1;
  DWORD class_cookie_ = 0;
  platform::com::ComPtr<platform::com::ConnectionPoint> shell_events_;
};

// The user's actions on a window of the in-process browser. Each answers
// E_INVALIDARG for an object that is not of this browser.
HRESULT NavigateAndWait(IWebBrowser2* browser, const std::u16string& url);
// Types Text into a field: its value becomes Text.
HRESULT TypeInto(IWebBrowser2* browser, IHTMLElement* field, const std::u16string& text);
// Right-clicks an element; BrowserMenu tells whether the browser's own menu opened.
HRESULT RightClick(IWebBrowser2* browser, IHTMLElement* element, bool* browserMenu = nullptr);
// Submits a form as the user does: the submit event, then the navigation.
HRESULT SubmitByUser(IWebBrowser2* browser, IHTMLElement* form);
HRESULT Minimise(IWebBrowser2* browser);
HRESULT Restore(IWebBrowser2* browser);
// Switches to another tab (its window hidden) or back (shown) without changing the
// frame window.
HRESULT ShowTab(IWebBrowser2* browser, bool visible);
// Keeps the browser busy (a page that never finishes loading) until released.
HRESULT HoldBusy(IWebBrowser2* browser, bool hold);
// Waits until the window has no work left.
HRESULT WaitIdle(IWebBrowser2* browser);

}  // namespace platform::browser
