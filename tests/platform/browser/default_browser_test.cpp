#include "platform/browser/default_browser.h"

#include <gtest/gtest.h>

#include <thread>

#include "backends.h"
#include "platform/browser/chromium_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"
#include "platform/shell/shell_execute.h"

namespace {

using namespace browser_test;
using platform::browser::BrowserKind;
using platform::browser::ChromiumBrowser;
using platform::browser::InProcessBrowser;

// Runs with the program's own choice of browser (tests choose the in-process one).
class DefaultBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    unsetenv("PELLIX_BROWSER");
    ChromiumBrowser::Instance().Configure(ChromiumBrowser::Options(false));
    ChromiumBrowser::Instance().SetPages(std::make_shared<TestPages>());
  }
  void TearDown() override {
    platform::browser::CloseBrowser();
    InProcessBrowser::Instance().CloseAll();
    setenv("PELLIX_BROWSER", "in-process", 1);
    CoUninitialize();
  }
};

TEST_F(DefaultBrowser, ChromiumWhenInstalledUnlessTheInProcessBrowserIsAskedFor) {
  EXPECT_EQ(platform::browser::DefaultBrowserKind(), BrowserKind::kChromium);
  setenv("PELLIX_BROWSER", "in-process", 1);
  EXPECT_EQ(platform::browser::DefaultBrowserKind(), BrowserKind::kInProcess);
}

TEST_F(DefaultBrowser, AWebAddressTheProgramOpensLandsInAWatchedChromiumWindow) {
  ASSERT_TRUE(SUCCEEDED(platform::browser::InstallBrowser()));
  ASSERT_GT(ShellExecuteA(0, "open", "http://site.test/login.html", "", "", SW_SHOW), 32u);
  std::vector<platform::com::ComPtr<platform::browser::WebBrowser>> windows = InProcessBrowser::Instance().Windows();
  ASSERT_EQ(windows.size(), 1u);
  IWebBrowser2* window = windows[0].get();
  EXPECT_GE(ChromiumBrowser::Instance().Count(window, ChromiumBrowser::Counted::kLoads), 0) << "a Chromium window";
  ASSERT_TRUE(ChromiumBrowser::Instance().WaitFor(window, ChromiumBrowser::Counted::kLoads, 1));
  EXPECT_EQ(Location(window), u"http://site.test/login.html");
  EXPECT_TRUE(ById(Document(window).get(), u"login"));

  // The program's end ends its browser; addresses go to the desktop's opener again.
  platform::browser::CloseBrowser();
  EXPECT_FALSE(ChromiumBrowser::Instance().Running());
  EXPECT_TRUE(InProcessBrowser::Instance().Windows().empty());
  platform::SetShellOpener("/bin/false");
  EXPECT_EQ(ShellExecuteA(0, "open", "http://site.test/login.html", "", "", SW_SHOW), SE_ERR_NOASSOC);
  platform::SetShellOpener("");
}

TEST_F(DefaultBrowser, AChromiumThatCannotStartLeavesTheInProcessBrowser) {
  platform::browser::LaunchOptions missing = ChromiumBrowser::Options(false);
  missing.program = "/nonexistent/chromium";
  ChromiumBrowser::Instance().Configure(missing);
  platform::com::ComPtr<IWebBrowser2> window = platform::browser::OpenBrowserWindow();
  ASSERT_TRUE(window);
  EXPECT_EQ(ChromiumBrowser::Instance().Count(window.get(), ChromiumBrowser::Counted::kLoads), -1);
  EXPECT_TRUE(InProcessBrowser::Instance().Find(window.get()));
}

}  // namespace
