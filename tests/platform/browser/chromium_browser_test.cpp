// What only the Chromium backend has to show: the program's changes reach the real
// page, page scripts cannot reach the program, and a browser that ends is replaced.
#include "platform/browser/chromium_browser.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "backends.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"
#include "platform/win/window.h"

namespace {

using namespace browser_test;
using platform::browser::ChromiumBrowser;
using platform::browser::InProcessBrowser;
using platform::browser::Json;
using platform::com::BString;

class ChromiumBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(SUCCEEDED(InProcessBrowser::Instance().Install()));
    pages_ = std::make_shared<TestPages>();
    driver_ = Driver::For(Backend::kChromium, pages_);
  }
  void TearDown() override {
    driver_->CloseAll();
    CoUninitialize();
  }
  ComPtr<IWebBrowser2> OpenPage(const std::string& html) {
    pages_->texts().Add(u"http://site.test/page.html", html);
    ComPtr<IWebBrowser2> browser = driver_->Open();
    EXPECT_TRUE(browser);
    if (browser) {
      EXPECT_EQ(driver_->NavigateAndWait(browser.get(), u"http://site.test/page.html"), S_OK);
    }
    return browser;
  }
  static Json InPage(IWebBrowser2* browser, const std::string& script) {
    return ChromiumPageScript(browser, script).value_or(Json("(no answer)"));
  }

  std::shared_ptr<TestPages> pages_;
  std::unique_ptr<Driver> driver_;
};

TEST_F(ChromiumBrowserTest, TheProgramsChangesReachThePageAndSurviveTheNextRead) {
  ComPtr<IWebBrowser2> browser = OpenPage(R"(<form id=f><input id=user name=user><input id=pass type=password>
      <select id=s><option value=a>A</option><option value=b id=b>B</option></select></form>)");
  ASSERT_TRUE(browser);
  ComPtr<IHTMLDocument3> document = Document(browser.get());
  PutValue(ById(document.get(), u"user").get(), u"alice \u00e9");
  SetAttribute(ById(document.get(), u"pass").get(), u"Data-Mark", Variant::Int(7));
  ASSERT_EQ(ById(document.get(), u"b").As<IHTMLOptionElement>()->put_selected(VARIANT_TRUE), S_OK);
  ComPtr<IHTMLStyle> style;
  ASSERT_EQ(ById(document.get(), u"user")->get_style(style.Put()), S_OK);
  ASSERT_EQ(style->put_background(BString(u"#CEFF84").get()), S_OK);

  EXPECT_EQ(InPage(browser.get(), "document.getElementById('user').value"), "alice \u00e9");
  EXPECT_EQ(InPage(browser.get(), "document.getElementById('pass').getAttribute('data-mark')"), "7");
  EXPECT_EQ(InPage(browser.get(), "document.getElementById('s').value"), "b");
  EXPECT_EQ(InPage(browser.get(), "document.getElementById('user').style.background.includes('206, 255, 132') || "
                                  "document.getElementById('user').getAttribute('style')"),
            true);
  // Reading the page again keeps the program's objects and the types it wrote.
  ComPtr<IHTMLDocument3> again = Document(browser.get());
  EXPECT_TRUE(platform::com::IsSameObject(again.get(), document.get()));
  EXPECT_EQ(Attribute(ById(again.get(), u"pass").get(), u"data-mark").type(), VT_I4);
  EXPECT_EQ(Value(ById(again.get(), u"s").get()), u"b");
  // What the page changes is read on the next look.
  ASSERT_EQ(InPage(browser.get(), "document.getElementById('user').value = 'bob'; 1"), 1);
  EXPECT_EQ(Value(ById(Document(browser.get()).get(), u"user").get()), u"bob");
}

TEST_F(ChromiumBrowserTest, PageScriptsCanNeitherCallTheProgramNorForgeItsEvents) {
  ComPtr<IWebBrowser2> browser = OpenPage(R"(<title>t</title>
      <form id=f action=/welcome.html><input id=user name=user></form><input id=other>
      <script>
        document.title = typeof pellixEvent + ' ' + typeof __pellix;
        globalThis.__pellix = {snapshot: () => ({g: 1, u: 'x', n: []})};
        globalThis.pellixEvent = () => {};
        document.getElementById('user').setAttribute('data-token', 'planted');
      </script>)");
  ASSERT_TRUE(browser);
  BString title;
  ASSERT_EQ(browser->get_LocationName(title.Put()), S_OK);
  EXPECT_EQ(title.Text(), u"undefined undefined");

  ComPtr<IHTMLDocument3> document = Document(browser.get());
  ASSERT_TRUE(ById(document.get(), u"user"));
  Recorder recorder;
  auto forms = recorder.Sink(DIID_HTMLFormElementEvents2, {DISPID_HTMLFORMELEMENTEVENTS2_ONSUBMIT});
  auto inputs = recorder.Sink(DIID_HTMLInputTextElementEvents2, {DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU});
  Advise(ById(document.get(), u"f").get(), DIID_HTMLFormElementEvents2, forms.get());
  Advise(ById(document.get(), u"user").get(), DIID_HTMLInputTextElementEvents2, inputs.get());
  Advise(ById(document.get(), u"other").get(), DIID_HTMLInputTextElementEvents2, inputs.get());

  // Forged events, and a report in the shape the program's own would have.
  ASSERT_EQ(InPage(browser.get(), R"((() => {
      const f = document.getElementById('f');
      f.dispatchEvent(new Event('submit', {bubbles: true, cancelable: true}));
      document.getElementById('user').dispatchEvent(new MouseEvent('contextmenu', {bubbles: true}));
      pellixEvent(JSON.stringify({t: 'planted', k: 'submit', i: 0, s: {g: 1, u: 'x', n: []}}));
      return 1; })())"),
            1);
  // The user's right click comes through, after anything the page sent before it.
  ASSERT_EQ(driver_->RightClick(browser.get(), ById(document.get(), u"other").get()), S_OK);
  EXPECT_EQ(recorder.Ids(), std::vector<DISPID>{DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU});
  EXPECT_EQ(Location(browser.get()), u"http://site.test/page.html");
  EXPECT_EQ(Length(ByTag(Document(browser.get()).get(), u"input").get()), 2);
}

// Waits until Check holds (Chromium's window and the frame window catch up with each
// other now and then, not at once); whether it did.
bool Eventually(const std::function<bool()>& check) {
  for (int i = 0; i < 1000; ++i) {
    if (check()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return check();
}

TEST_F(ChromiumBrowserTest, TheFrameWindowAndChromiumsWindowFollowEachOther) {
  ComPtr<IWebBrowser2> browser = OpenPage("<input id=x>");
  ASSERT_TRUE(browser);
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2, {DISPID_WINDOWSTATECHANGED});
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());
  HWND frame = FrameWindow(browser.get());
  auto frameAt = [&](RECT expected) {
    RECT rect{};
    return GetWindowRect(frame, &rect) && rect.left == expected.left && rect.top == expected.top &&
           rect.right == expected.right && rect.bottom == expected.bottom;
  };

  // The user moves and sizes Chromium's window: the frame window follows.
  ASSERT_TRUE(SetChromiumWindow(browser.get(), {{"left", 40}, {"top", 30}, {"width", 640}, {"height", 480}}));
  EXPECT_TRUE(Eventually([&] { return frameAt(RECT{40, 30, 680, 510}); }));

  // The program moves the frame window (as the floating button's owner may): Chromium's
  // window goes there, and the frame window stays.
  ASSERT_TRUE(SetWindowPos(frame, 0, 120, 90, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_TRUE(Eventually([&] {
    Json bounds = ChromiumWindow(browser.get());
    return bounds.value("left", -1) == 120 && bounds.value("top", -1) == 90 && bounds.value("width", -1) == 500 &&
           bounds.value("height", -1) == 400;
  }));
  EXPECT_TRUE(frameAt(RECT{120, 90, 620, 490}));

  // The program restores a window the user minimised (the floating button does).
  ASSERT_EQ(driver_->SetMinimised(browser.get(), true), S_OK);
  EXPECT_TRUE(IsIconic(frame));
  ShowWindow(frame, SW_RESTORE);
  EXPECT_TRUE(Eventually([&] { return ChromiumWindow(browser.get()).value("windowState", "") == "normal"; }));
  EXPECT_TRUE(Eventually([&] { return recorder.Seen().size() == 2u; }));
  EXPECT_FALSE(IsIconic(frame));
  EXPECT_TRUE(frameAt(RECT{120, 90, 620, 490}));
  std::vector<Recorded> seen = recorder.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, u"0");
  EXPECT_EQ(seen[1].text, u"3");
}

TEST_F(ChromiumBrowserTest, APageThatClosesInACallFailsTheCallAtOnceAndItsWindowGoes) {
  ComPtr<IWebBrowser2> browser = OpenPage("<input id=x>");
  ASSERT_TRUE(browser);
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ChromiumBrowser::Instance().Command(browser.get(), "Page.close", Json::object());
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(ChromiumBrowser::Instance().Command(
      browser.get(), "Runtime.evaluate", {{"expression", "new Promise(() => {})"}, {"awaitPromise", true}}));
  closer.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  VARIANT_BOOL busy = VARIANT_FALSE;
  for (int i = 0; i < 1000 && browser->get_Busy(&busy) != RPC_E_DISCONNECTED; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(browser->get_Busy(&busy), RPC_E_DISCONNECTED);
}

TEST_F(ChromiumBrowserTest, ABrowserThatEndsClosesItsWindowsAndTheNextRequestStartsANewOne) {
  ComPtr<IWebBrowser2> browser = OpenPage("<input id=x>");
  ASSERT_TRUE(browser);
  ComPtr<IHTMLDocument3> document = Document(browser.get());
  pid_t first = ChromiumBrowser::Instance().ProcessId();
  ASSERT_GT(first, 0);
  ASSERT_EQ(kill(first, SIGKILL), 0);

  VARIANT_BOOL busy = VARIANT_FALSE;
  for (int i = 0; i < 1000 && browser->get_Busy(&busy) != RPC_E_DISCONNECTED; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(browser->get_Busy(&busy), RPC_E_DISCONNECTED);
  EXPECT_TRUE(InProcessBrowser::Instance().Windows().empty());
  ComPtr<IDispatch> none;
  EXPECT_EQ(browser->get_Document(none.Put()), RPC_E_DISCONNECTED);
  // The copy the program holds stays readable; changes to it go nowhere.
  EXPECT_EQ(Id(ById(document.get(), u"x").get()), u"x");
  PutValue(ById(document.get(), u"x").get(), u"lost");

  ComPtr<IWebBrowser2> next = driver_->Open();
  ASSERT_TRUE(next);
  EXPECT_NE(ChromiumBrowser::Instance().ProcessId(), first);
  ASSERT_EQ(driver_->NavigateAndWait(next.get(), u"http://site.test/login.html"), S_OK);
  EXPECT_TRUE(ById(Document(next.get()).get(), u"login"));
}

}  // namespace
