#include <gtest/gtest.h>

#include <thread>

#include "backends.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"
#include "platform/win/window.h"

namespace {

using namespace browser_test;
using platform::browser::InProcessBrowser;
using platform::com::BString;

constexpr char16_t kSite[] = u"http://site.test";

class InProcessBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(SUCCEEDED(InProcessBrowser::Instance().Install()));
    InProcessBrowser::Instance().SetPages(std::make_shared<TestPages>());
  }
  void TearDown() override {
    InProcessBrowser::Instance().CloseAll();
    CoUninitialize();
  }

  ComPtr<IWebBrowser2> Open(const std::u16string& path = u"") {
    ComPtr<IWebBrowser2> browser = InProcessBrowser::Instance().OpenWindow();
    EXPECT_TRUE(browser);
    if (!path.empty()) {
      EXPECT_EQ(platform::browser::NavigateAndWait(browser.get(), kSite + path), S_OK);
    }
    return browser;
  }
};

TEST_F(InProcessBrowserTest, FrameWindowMinimiseAndRestore) {
  ComPtr<IWebBrowser2> browser = Open(u"/index.html");
  SHANDLE_PTR handle = 0;
  ASSERT_EQ(browser->get_HWND(&handle), S_OK);
  HWND frame = static_cast<HWND>(handle);
  EXPECT_TRUE(IsWindow(frame));
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2, {DISPID_WINDOWSTATECHANGED});
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());

  ASSERT_EQ(platform::browser::Minimise(browser.get()), S_OK);
  EXPECT_TRUE(IsIconic(frame));
  ASSERT_EQ(platform::browser::ShowTab(browser.get(), true), S_OK);
  EXPECT_TRUE(IsIconic(frame));  // a tab shown in a minimised window
  ASSERT_EQ(platform::browser::Restore(browser.get()), S_OK);
  EXPECT_FALSE(IsIconic(frame));
  std::vector<Recorded> seen = recorder.Seen();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, u"0");
  EXPECT_EQ(seen[1].text, u"3");
  EXPECT_EQ(seen[2].text, u"3");
  ASSERT_EQ(browser->Quit(), S_OK);
  EXPECT_FALSE(IsWindow(frame));
}

TEST_F(InProcessBrowserTest, RightClickTellsWhetherTheBrowsersMenuOpens) {
  ComPtr<IWebBrowser2> browser = Open(u"/login.html");
  ComPtr<IHTMLDocument3> document = Document(browser.get());
  ComPtr<IHTMLElement> pass = ById(document.get(), u"pass");
  Recorder recorder;
  auto sink = recorder.Sink(DIID_HTMLInputTextElementEvents2, {DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU},
                            [&](DISPID, DISPPARAMS*, VARIANT* result) {
                              result->vt = VT_BOOL;
                              result->boolVal = VARIANT_FALSE;
                            });
  Advise(pass.get(), DIID_HTMLInputTextElementEvents2, sink.get());
  bool browserMenu = true;
  ASSERT_EQ(platform::browser::RightClick(browser.get(), pass.get(), &browserMenu), S_OK);
  EXPECT_FALSE(browserMenu);
  // Elements without sinks open the browser's menu.
  ASSERT_EQ(platform::browser::RightClick(browser.get(), ById(document.get(), u"user").get(), &browserMenu), S_OK);
  EXPECT_TRUE(browserMenu);
}

TEST_F(InProcessBrowserTest, BusyWhileLoadingIsHeld) {
  ComPtr<IWebBrowser2> browser = Open();
  ASSERT_EQ(platform::browser::HoldBusy(browser.get(), true), S_OK);
  ASSERT_EQ(platform::browser::NavigateAndWait(browser.get(), std::u16string(kSite) + u"/index.html"), S_OK);
  VARIANT_BOOL busy = VARIANT_FALSE;
  ASSERT_EQ(browser->get_Busy(&busy), S_OK);
  EXPECT_EQ(busy, VARIANT_TRUE);
  ASSERT_EQ(platform::browser::HoldBusy(browser.get(), false), S_OK);
  ASSERT_EQ(browser->get_Busy(&busy), S_OK);
  EXPECT_EQ(busy, VARIANT_FALSE);
}

TEST_F(InProcessBrowserTest, ServicesGiveTheTabsWindowAndTellFolderWindows) {
  struct Case {
    const char* what;
    bool folder;
  } cases[] = {{"web browser window", false}, {"folder window", true}};
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    platform::browser::WindowOptions options;
    options.folder = each.folder;
    ComPtr<IWebBrowser2> browser = InProcessBrowser::Instance().OpenWindow(options);
    ASSERT_TRUE(browser);
    ComPtr<IServiceProvider> services = browser.As<IServiceProvider>();
    ASSERT_TRUE(services);
    ComPtr<IOleWindow> tab;
    ASSERT_EQ(services->QueryService(SID_SShellBrowser, IID_IOleWindow, tab.PutVoid()), S_OK);
    HWND tabWindow = 0;
    ASSERT_EQ(tab->GetWindow(&tabWindow), S_OK);
    SHANDLE_PTR frame = 0;
    ASSERT_EQ(browser->get_HWND(&frame), S_OK);
    EXPECT_EQ(GetParent(tabWindow), static_cast<HWND>(frame));
    EXPECT_TRUE(IsWindowVisible(tabWindow));
    ASSERT_EQ(platform::browser::ShowTab(browser.get(), false), S_OK);
    EXPECT_FALSE(IsWindowVisible(tabWindow));

    ComPtr<IShellBrowser> shell;
    ASSERT_EQ(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, shell.PutVoid()), S_OK);
    ComPtr<IShellView> view;
    ASSERT_EQ(shell->QueryActiveShellView(view.Put()), S_OK);
    EXPECT_EQ(static_cast<bool>(view.As<IFolderView>()), each.folder);
    ComPtr<IUnknown> none;
    EXPECT_EQ(services->QueryService(IID_IWebBrowser2, IID_IUnknown, none.PutVoid()), E_FAIL);
    ASSERT_EQ(browser->Quit(), S_OK);
    EXPECT_EQ(services->QueryService(SID_SShellBrowser, IID_IOleWindow, tab.PutVoid()), RPC_E_DISCONNECTED);
  }
}

TEST_F(InProcessBrowserTest, ActionsRefuseForeignObjects) {
  ComPtr<IWebBrowser2> browser = Open(u"/login.html");
  auto document = Load("<form id=f></form>");
  EXPECT_EQ(platform::browser::SubmitByUser(browser.get(), nullptr), E_INVALIDARG);
  EXPECT_EQ(platform::browser::RightClick(browser.get(), nullptr), E_INVALIDARG);
  ComPtr<IWebBrowser2> closed = Open();
  closed->Quit();
  EXPECT_EQ(platform::browser::SubmitByUser(closed.get(), ById(document.get(), u"f").get()), E_INVALIDARG);
}

}  // namespace
