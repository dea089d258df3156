#include "platform/browser/default_browser.h"

#include <cstdlib>
#include <string_view>

#include "platform/base/text.h"
#include "platform/browser/chromium_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/shell/shell_execute.h"

namespace platform::browser {

BrowserKind DefaultBrowserKind() {
  const char* chosen = std::getenv("PELLIX_BROWSER");
  if (chosen != nullptr && std::string_view(chosen) == "in-process") return BrowserKind::kInProcess;
  return ChromiumBrowser::DefaultOptions().program.empty() ? BrowserKind::kInProcess : BrowserKind::kChromium;
}

namespace {

// Url loaded into a window (nothing when empty).
platform::com::ComPtr<IWebBrowser2> Showing(platform::com::ComPtr<IWebBrowser2> window, const std::u16string& url) {
  if (window && !url.empty()) {
    platform::com::Variant address = platform::com::Variant::Text(url);
    window->Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return window;
}

}  // namespace

HRESULT InstallBrowser() {
  HRESULT hr = InProcessBrowser::Instance().Install();
  if (FAILED(hr) || DefaultBrowserKind() != BrowserKind::kChromium) return hr;
  platform::SetWebOpener([](const std::string& address) {
    return bool(Showing(ChromiumBrowser::Instance().OpenWindow(), AnsiToWide(address)));
  });
  return hr;
}

void StartBrowser() {
  if (DefaultBrowserKind() == BrowserKind::kChromium) ChromiumBrowser::Instance().StartOnScreen();
}

platform::com::ComPtr<IWebBrowser2> OpenBrowserWindow(const std::u16string& url) {
  platform::com::ComPtr<IWebBrowser2> window;
  if (DefaultBrowserKind() == BrowserKind::kChromium) window = ChromiumBrowser::Instance().OpenWindow();
  // Chromium that cannot start (or runs for another process of the user, which holds
  // its profile) leaves the in-process browser.
  if (!window) window = InProcessBrowser::Instance().OpenWindow();
  return Showing(std::move(window), url);
}

void CloseBrowser() {
  platform::SetWebOpener({});
  ChromiumBrowser::Instance().Shutdown();
}

}  // namespace platform::browser
