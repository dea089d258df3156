#include "platform/browser/default_browser.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/base/text.h"
#include "platform/browser/chromium_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"
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

HRESULT ServeNewWindows() {
  static std::once_flag served;
  static HRESULT result = S_OK;
  std::call_once(served, [] {
    auto factory = platform::com::MakeComObject<platform::com::ClassFactory>(
        [] { return platform::com::ComPtr<IUnknown>(OpenBrowserWindow().get()); });
    DWORD cookie = 0;
    result = CoRegisterClassObject(CLSID_InternetExplorer, factory.get(), CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   REGCLS_MULTIPLEUSE, &cookie);
  });
  return result;
}

}  // namespace

HRESULT InstallBrowser() {
  HRESULT hr = InProcessBrowser::Instance().Install();
  if (FAILED(hr)) return hr;
  if (HRESULT served = ServeNewWindows(); FAILED(served)) return served;
  if (DefaultBrowserKind() != BrowserKind::kChromium) return hr;
  platform::SetWebOpener([](const std::string& address) {
    return bool(Showing(ChromiumBrowser::Instance().OpenWindow(), AnsiToWide(address)));
  });
  return hr;
}

void UseBrowserProfile(std::string_view profile) {
  ChromiumBrowser::Instance().Configure(ChromiumBrowser::DefaultOptions(profile));
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
