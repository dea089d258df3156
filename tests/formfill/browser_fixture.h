// A fixture with the in-process browser: pages from a page map, windows opened as
// the user opens them, all closed at the end.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/browser/in_process_browser.h"

namespace formfill_test {

using platform::com::ComPtr;
using platform::com::Variant;

class BrowserFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Adds a page at http://site.test + Path.
  void AddPage(const std::u16string& path, const std::string& html);
  // Opens a window showing Path (or nothing when empty).
  ComPtr<IWebBrowser2> Open(const std::u16string& path = u"");
  void Navigate(IWebBrowser2* browser, const std::u16string& path);
  void SetProperty(IWebBrowser2* browser, const std::u16string& name, const Variant& value);
  ComPtr<IHTMLDocument3> Document(IWebBrowser2* browser);
  ComPtr<IHTMLElement> ById(IWebBrowser2* browser, const std::u16string& id);

  std::shared_ptr<platform::browser::PageMap> pages_;
};

}  // namespace formfill_test
