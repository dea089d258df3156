#include "browser_fixture.h"

#include "formfill/browser_access.h"
#include "platform/base/clock.h"
#include "platform/base/faults.h"
#include "platform/com/class_table.h"
#include "platform/win/window.h"

namespace formfill_test {

using platform::com::BString;

void BrowserFixture::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  ASSERT_TRUE(SUCCEEDED(platform::browser::InProcessBrowser::Instance().Install()));
  pages_ = std::make_shared<platform::browser::PageMap>();
  platform::browser::InProcessBrowser::Instance().SetPages(pages_);
}

void BrowserFixture::TearDown() {
  platform::browser::InProcessBrowser::Instance().CloseAll();
  RemovePropA(GetDesktopWindow(), formfill::kFindIeFlag);
  platform::faults::ClearAll();
  platform::test_clock::Release();
  CoUninitialize();
}

void BrowserFixture::AddPage(const std::u16string& path, const std::string& html) {
  pages_->Add(u"http://site.test" + path, html);
}

ComPtr<IWebBrowser2> BrowserFixture::Open(const std::u16string& path) {
  ComPtr<IWebBrowser2> browser = platform::browser::InProcessBrowser::Instance().OpenWindow();
  EXPECT_TRUE(browser);
  if (browser && !path.empty()) Navigate(browser.get(), path);
  return browser;
}

void BrowserFixture::Navigate(IWebBrowser2* browser, const std::u16string& path) {
  EXPECT_EQ(platform::browser::NavigateAndWait(browser, u"http://site.test" + path), S_OK);
}

void BrowserFixture::SetProperty(IWebBrowser2* browser, const std::u16string& name, const Variant& value) {
  EXPECT_EQ(browser->PutProperty(BString(name).get(), value.raw()), S_OK);
}

ComPtr<IHTMLDocument3> BrowserFixture::Document(IWebBrowser2* browser) {
  ComPtr<IHTMLDocument3> document;
  formfill::GetDocument3(browser, document);
  return document;
}

ComPtr<IHTMLElement> BrowserFixture::ById(IWebBrowser2* browser, const std::u16string& id) {
  ComPtr<IHTMLElement> element;
  ComPtr<IHTMLDocument3> document = Document(browser);
  if (document) {
    EXPECT_EQ(document->getElementById(BString(id).get(), element.Put()), S_OK);
  }
  return element;
}

}  // namespace formfill_test
