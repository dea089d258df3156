// The browser model's behaviour that both backends share: windows, navigation and its
// events, the property store, the user's submits and right clicks, frames and
// redirects. Each case runs against the in-process browser and against Chromium.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
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

class BrowserConformance : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(SUCCEEDED(InProcessBrowser::Instance().Install()));
    pages_ = std::make_shared<TestPages>();
    driver_ = Driver::For(GetParam(), pages_);
  }
  void TearDown() override {
    driver_->CloseAll();
    InProcessBrowser::Instance().CloseAll();
    CoUninitialize();
  }
  // Loads a page; the frame objects of its frames as they completed, by address.
  std::map<std::u16string, ComPtr<IWebBrowser2>> LoadWithFrames(IWebBrowser2* browser, const std::u16string& path) {
    struct Seen {
      std::mutex lock;
      std::map<std::u16string, ComPtr<IWebBrowser2>> frames;
    };
    auto seen = std::make_shared<Seen>();
    Recorder recorder;
    auto sink = recorder.Sink(DIID_DWebBrowserEvents2, {DISPID_DOCUMENTCOMPLETE}, [seen, browser](DISPID, DISPPARAMS* params, VARIANT*) {
      auto source = ComPtr<IDispatch>(platform::com::Argument(params, 0)->pdispVal).As<IWebBrowser2>();
      if (platform::com::IsSameObject(source.get(), browser)) return;
      std::lock_guard guard(seen->lock);
      seen->frames[Location(source.get())] = source;
    });
    Advise(browser, DIID_DWebBrowserEvents2, sink.get());
    EXPECT_EQ(driver_->NavigateAndWait(browser, kSite + path), S_OK);
    std::lock_guard guard(seen->lock);
    return seen->frames;
  }
  ComPtr<IWebBrowser2> Open(const std::u16string& path = u"") {
    ComPtr<IWebBrowser2> browser = driver_->Open();
    EXPECT_TRUE(browser);
    if (browser && !path.empty()) {
      EXPECT_EQ(driver_->NavigateAndWait(browser.get(), kSite + path), S_OK);
    }
    return browser;
  }

  std::shared_ptr<TestPages> pages_;
  std::unique_ptr<Driver> driver_;
};

INSTANTIATE_TEST_SUITE_P(Backends, BrowserConformance, ::testing::Values(Backend::kInProcess, Backend::kChromium),
                         BackendName);

TEST_P(BrowserConformance, ShellWindowsListTheOpenWindows) {
  ComPtr<IShellWindows> windows;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                             IID_IShellWindows, windows.PutVoid()),
            S_OK);
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DShellWindowsEvents, {DISPID_WINDOWREGISTERED, DISPID_WINDOWREVOKED});
  DWORD cookie = Advise(windows.get(), DIID_DShellWindowsEvents, sink.get());

  ComPtr<IWebBrowser2> first = Open();
  ComPtr<IWebBrowser2> second = Open();
  LONG count = 0;
  ASSERT_EQ(windows->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
  ComPtr<IDispatch> item;
  ASSERT_EQ(windows->Item(Variant::Int(1).raw(), item.Put()), S_OK);
  EXPECT_TRUE(platform::com::IsSameObject(item.get(), second.get()));
  EXPECT_EQ(windows->Item(Variant::Int(2).raw(), item.Put()), S_FALSE);
  EXPECT_FALSE(item);

  ASSERT_EQ(first->Quit(), S_OK);
  ASSERT_EQ(windows->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  VARIANT_BOOL busy;
  EXPECT_EQ(first->get_Busy(&busy), RPC_E_DISCONNECTED);
  EXPECT_EQ(recorder.Ids(), (std::vector<DISPID>{DISPID_WINDOWREGISTERED, DISPID_WINDOWREGISTERED,
                                                  DISPID_WINDOWREVOKED}));
  // The shell's sinks are process-wide: this one goes with the test.
  EXPECT_EQ(InProcessBrowser::Instance().ShellEvents()->Unadvise(cookie), S_OK);
}

TEST_P(BrowserConformance, NavigationEventsComeInOrderOnTheBrowsersThread) {
  ComPtr<IWebBrowser2> browser = Open();
  ASSERT_TRUE(browser);
  Recorder recorder;
  std::vector<bool> busyAtEvent;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2,
                            {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE},
                            [&](DISPID, DISPPARAMS*, VARIANT*) {
                              VARIANT_BOOL busy = VARIANT_FALSE;
                              browser->get_Busy(&busy);
                              busyAtEvent.push_back(busy != VARIANT_FALSE);
                            });
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());
  ASSERT_EQ(driver_->NavigateAndWait(browser.get(), std::u16string(kSite) + u"/login.html"), S_OK);

  std::vector<Recorded> seen = recorder.Seen();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(recorder.Ids(), (std::vector<DISPID>{DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2,
                                                  DISPID_DOCUMENTCOMPLETE}));
  for (const Recorded& each : seen) {
    EXPECT_EQ(each.text, u"http://site.test/login.html");
    EXPECT_EQ(each.thread, seen[0].thread);
  }
  EXPECT_NE(seen[0].thread, std::this_thread::get_id());
  EXPECT_EQ(busyAtEvent, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(Location(browser.get()), u"http://site.test/login.html");
  BString title;
  ASSERT_EQ(browser->get_LocationName(title.Put()), S_OK);
  EXPECT_EQ(title.Text(), u"Sign in");
}

// Every address is announced before it loads, also those that load nothing over the
// network, and a sink that cancels keeps the page.
TEST_P(BrowserConformance, CancelledNavigationKeepsThePage) {
  ComPtr<IWebBrowser2> browser = Open(u"/index.html");
  ASSERT_TRUE(browser);
  bool cancel = true;
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2,
                            {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE},
                            [&cancel](DISPID id, DISPPARAMS* params, VARIANT*) {
                              if (id == DISPID_BEFORENAVIGATE2 && cancel) {
                                *platform::com::Argument(params, 6)->pboolVal = VARIANT_TRUE;
                              }
                            });
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());
  const std::u16string addresses[] = {std::u16string(kSite) + u"/login.html", u"about:blank",
                                      u"data:text/html,<title>Data</title><form id=f></form>"};
  for (const std::u16string& address : addresses) {
    SCOPED_TRACE(Narrow(address));
    const std::size_t before = recorder.Seen().size();
    ASSERT_EQ(driver_->NavigateAndWait(browser.get(), address), S_OK);
    std::vector<Recorded> seen = recorder.Seen();
    ASSERT_EQ(seen.size(), before + 1);
    EXPECT_EQ(seen.back().id, DISPID_BEFORENAVIGATE2);
    EXPECT_EQ(seen.back().text, address);
    EXPECT_EQ(Location(browser.get()), u"http://site.test/index.html");
    VARIANT_BOOL busy = VARIANT_TRUE;
    ASSERT_EQ(browser->get_Busy(&busy), S_OK);
    EXPECT_EQ(busy, VARIANT_FALSE);
  }
  // Let through, they load with their events.
  cancel = false;
  for (const std::u16string& address : {addresses[2], addresses[1]}) {
    SCOPED_TRACE(Narrow(address));
    const std::size_t before = recorder.Seen().size();
    ASSERT_EQ(driver_->NavigateAndWait(browser.get(), address), S_OK);
    std::vector<Recorded> seen = recorder.Seen();
    ASSERT_EQ(seen.size(), before + 3);
    EXPECT_EQ(seen[before + 1].id, DISPID_NAVIGATECOMPLETE2);
    EXPECT_EQ(seen[before + 2].id, DISPID_DOCUMENTCOMPLETE);
    EXPECT_EQ(Location(browser.get()), address);
  }
}

TEST_P(BrowserConformance, PagesComeFromTheFolderOnly) {
  struct Case {
    std::u16string path;
    std::u16string title;
  } cases[] = {{u"/", u"Home"},
               {u"/login.html?x=1#top", u"Sign in"},
               {u"/missing.html", u""},
               {u"/../browser/login.html", u""},
               {u"/%2e%2e/x", u""}};
  ComPtr<IWebBrowser2> browser = Open();
  ASSERT_TRUE(browser);
  for (const Case& each : cases) {
    ASSERT_EQ(driver_->NavigateAndWait(browser.get(), kSite + each.path), S_OK);
    BString title;
    ASSERT_EQ(browser->get_LocationName(title.Put()), S_OK);
    EXPECT_EQ(title.Text(), each.title) << Narrow(each.path);
    EXPECT_TRUE(Document(browser.get()));
  }
}

TEST_P(BrowserConformance, ARedirectCompletesWhereItWasSentWithoutASecondBeforeNavigate) {
  pages_->texts().AddRedirect(u"http://site.test/old.html", u"http://site.test/login.html");
  ComPtr<IWebBrowser2> browser = Open();
  ASSERT_TRUE(browser);
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2,
                            {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE});
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());
  ASSERT_EQ(driver_->NavigateAndWait(browser.get(), u"http://site.test/old.html"), S_OK);
  std::vector<Recorded> seen = recorder.Seen();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, u"http://site.test/old.html");
  EXPECT_EQ(seen[1].text, u"http://site.test/login.html");
  EXPECT_EQ(seen[2].text, u"http://site.test/login.html");
  EXPECT_EQ(Location(browser.get()), u"http://site.test/login.html");
  EXPECT_TRUE(ById(Document(browser.get()).get(), u"login"));
}

TEST_P(BrowserConformance, MinimisingAndRestoringShowOnTheFrameWindowAndTellTheWindowsState) {
  ComPtr<IWebBrowser2> browser = Open(u"/index.html");
  ASSERT_TRUE(browser);
  HWND frame = FrameWindow(browser.get());
  ASSERT_TRUE(IsWindow(frame));
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2, {DISPID_WINDOWSTATECHANGED});
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());

  ASSERT_EQ(driver_->SetMinimised(browser.get(), true), S_OK);
  EXPECT_TRUE(IsIconic(frame));
  ASSERT_EQ(driver_->SetMinimised(browser.get(), false), S_OK);
  EXPECT_FALSE(IsIconic(frame));
  std::vector<Recorded> seen = recorder.Seen();
  ASSERT_EQ(seen.size(), 2u);
  // Flags first: not seen, then seen and enabled; both valid.
  EXPECT_EQ(seen[0].text, u"0");
  EXPECT_EQ(seen[1].text, u"3");
  for (const Recorded& each : seen) EXPECT_NE(each.thread, std::this_thread::get_id());
}

// A form in a frame, of the page's own site or of another (which Chromium runs in a
// process of its own), is read and filled in the frame's document.
TEST_P(BrowserConformance, AFormInAFrameIsReadAndFilledInItsOwnDocument) {
  const std::string frame = "<title>Framed form</title><form id=login><input id=user><input id=seen value=shown></form>";
  for (const std::u16string site : {u"http://site.test", u"http://other.test"}) {
    SCOPED_TRACE(Narrow(site));
    const std::u16string frameUrl = site + u"/frame.html";
    pages_->texts().Add(frameUrl, frame);
    pages_->texts().Add(u"http://site.test/holder.html",
                        "<form id=outer><input id=q></form><iframe src='" + Narrow(frameUrl) + "'></iframe>");
    ComPtr<IWebBrowser2> browser = Open();
    ASSERT_TRUE(browser);
    ComPtr<IWebBrowser2> login = LoadWithFrames(browser.get(), u"/holder.html")[frameUrl];
    ASSERT_TRUE(login);
    ComPtr<IHTMLElement> user = ById(Document(login.get()).get(), u"user");
    ASSERT_TRUE(user);
    ComPtr<IHTMLFormElement> form;
    ASSERT_EQ(user.As<IHTMLInputElement>()->get_form(form.Put()), S_OK);
    EXPECT_EQ(Id(form.As<IHTMLElement>().get()), u"login");
    EXPECT_EQ(Value(ById(Document(login.get()).get(), u"seen").get()), u"shown");

    PutValue(user.get(), u"ann \u00e9");
    SetAttribute(user.get(), u"data-filled", Variant::Text(u"1"));
    // Read again (from the page itself, on Chromium), the frame's document holds what
    // the program wrote; the page's own document is untouched.
    ComPtr<IHTMLElement> again = ById(Document(login.get()).get(), u"user");
    EXPECT_EQ(Value(again.get()), u"ann \u00e9");
    EXPECT_EQ(Attribute(again.get(), u"data-filled").AsText(), u"1");
    EXPECT_FALSE(ById(Document(browser.get()).get(), u"user"));
    BString title;
    ASSERT_EQ(login->get_LocationName(title.Put()), S_OK);
    EXPECT_EQ(title.Text(), u"Framed form");
    if (GetParam() == Backend::kChromium && site == kSite) {
      const std::string field = "document.querySelector('iframe').contentDocument.getElementById('user')";
      EXPECT_EQ(ChromiumPageScript(browser.get(), field + ".value"), platform::browser::Json("ann \u00e9"));
      // What the user types in the frame is read there.
      ASSERT_TRUE(ChromiumPageScript(browser.get(), "(" + field + ".value = 'typed', true)"));
      EXPECT_EQ(Value(ById(Document(login.get()).get(), u"user").get()), u"typed");
    }
    ASSERT_EQ(browser->Quit(), S_OK);
  }
}

TEST_P(BrowserConformance, PropertyStoreKeepsTypesAndExactNames) {
  ComPtr<IWebBrowser2> browser = Open();
  ASSERT_TRUE(browser);
  ASSERT_EQ(browser->PutProperty(BString(u"Pellix_Win_ID").get(), Variant::Text(u"PXID_0000002A").raw()), S_OK);
  ASSERT_EQ(browser->PutProperty(BString(u"Pellix_NavAction").get(), Variant::Int(2).raw()), S_OK);
  Variant value;
  ASSERT_EQ(browser->GetProperty(BString(u"Pellix_Win_ID").get(), value.Put()), S_OK);
  EXPECT_EQ(value.StringValue(), u"PXID_0000002A");
  ASSERT_EQ(browser->GetProperty(BString(u"Pellix_NavAction").get(), value.Put()), S_OK);
  EXPECT_EQ(value.type(), VT_I4);
  ASSERT_EQ(browser->GetProperty(BString(u"pellix_win_id").get(), value.Put()), S_OK);
  EXPECT_EQ(value.type(), VT_EMPTY);
  // Properties outlive navigations.
  ASSERT_EQ(driver_->NavigateAndWait(browser.get(), std::u16string(kSite) + u"/index.html"), S_OK);
  ASSERT_EQ(browser->GetProperty(BString(u"Pellix_NavAction").get(), value.Put()), S_OK);
  EXPECT_EQ(value.raw().lVal, 2);
}

TEST_P(BrowserConformance, UserSubmitFiresTheEventThenNavigatesScriptSubmitDoesNot) {
  ComPtr<IWebBrowser2> browser = Open(u"/login.html");
  ASSERT_TRUE(browser);
  ComPtr<IHTMLElement> form = ById(Document(browser.get()).get(), u"login");
  ASSERT_TRUE(form);
  Recorder recorder;
  bool cancel = false;
  ComPtr<IHTMLElement> source;
  auto sink = recorder.Sink(DIID_HTMLFormElementEvents2, {DISPID_HTMLFORMELEMENTEVENTS2_ONSUBMIT},
                            [&](DISPID, DISPPARAMS* params, VARIANT* result) {
                              auto event = ComPtr<IDispatch>(platform::com::Argument(params, 0)->pdispVal)
                                               .As<IHTMLEventObj>();
                              event->get_srcElement(source.Put());
                              if (cancel) event->put_returnValue(Variant::Bool(false).raw());
                              result->vt = VT_BOOL;
                              result->boolVal = VARIANT_FALSE;  // the answer does not stop it
                            });
  Advise(form.get(), DIID_HTMLFormElementEvents2, sink.get());

  cancel = true;
  ASSERT_EQ(driver_->SubmitByUser(browser.get(), form.get()), S_OK);
  EXPECT_EQ(recorder.Seen().size(), 1u);
  EXPECT_TRUE(platform::com::IsSameObject(source.get(), form.get()));
  EXPECT_EQ(Location(browser.get()), u"http://site.test/login.html");

  cancel = false;
  ASSERT_EQ(driver_->SubmitByUser(browser.get(), form.get()), S_OK);
  EXPECT_EQ(recorder.Seen().size(), 2u);
  EXPECT_EQ(Location(browser.get()), u"http://site.test/welcome.html");

  ASSERT_EQ(driver_->NavigateAndWait(browser.get(), std::u16string(kSite) + u"/login.html"), S_OK);
  ComPtr<IHTMLElement> fresh = ById(Document(browser.get()).get(), u"login");
  ASSERT_TRUE(fresh);
  Advise(fresh.get(), DIID_HTMLFormElementEvents2, sink.get());
  ASSERT_EQ(fresh.As<IHTMLFormElement>()->submit(), S_OK);
  ASSERT_EQ(driver_->Settle(browser.get()), S_OK);
  EXPECT_EQ(recorder.Seen().size(), 2u);
  EXPECT_EQ(Location(browser.get()), u"http://site.test/welcome.html");
  // The old page's elements are gone with it.
  Variant value;
  EXPECT_EQ(form->getAttribute(BString(u"id").get(), 0, value.Put()), E_FAIL);
}

TEST_P(BrowserConformance, RightClickAndTyping) {
  ComPtr<IWebBrowser2> browser = Open(u"/login.html");
  ASSERT_TRUE(browser);
  ComPtr<IHTMLDocument3> document = Document(browser.get());
  ComPtr<IHTMLElement> pass = ById(document.get(), u"pass");
  ASSERT_TRUE(pass);
  Recorder recorder;
  ComPtr<IHTMLElement> source;
  auto sink = recorder.Sink(DIID_HTMLInputTextElementEvents2, {DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU},
                            [&](DISPID, DISPPARAMS* params, VARIANT*) {
                              ComPtr<IDispatch>(platform::com::Argument(params, 0)->pdispVal)
                                  .As<IHTMLEventObj>()
                                  ->get_srcElement(source.Put());
                            });
  Advise(pass.get(), DIID_HTMLInputTextElementEvents2, sink.get());

  ASSERT_EQ(driver_->TypeInto(browser.get(), pass.get(), u"typed"), S_OK);
  EXPECT_EQ(Value(pass.get()), u"typed");
  ASSERT_EQ(driver_->RightClick(browser.get(), pass.get()), S_OK);
  ASSERT_EQ(recorder.Seen().size(), 1u);
  EXPECT_NE(recorder.Seen()[0].thread, std::this_thread::get_id());
  EXPECT_TRUE(platform::com::IsSameObject(source.get(), pass.get()));
  ASSERT_EQ(driver_->RightClick(browser.get(), ById(document.get(), u"user").get()), S_OK);
  EXPECT_EQ(recorder.Seen().size(), 1u);
  // A connection point for another element's events is not offered.
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(pass.As<IConnectionPointContainer>()->FindConnectionPoint(DIID_HTMLFormElementEvents2, point.Put()),
            CONNECT_E_NOCONNECTION);
}

TEST_P(BrowserConformance, FramesLoadBeforeThePageCompletesEachWithItsOwnObjectAndEvents) {
  ComPtr<IWebBrowser2> browser = Open();
  ASSERT_TRUE(browser);
  std::mutex lock;
  std::vector<ComPtr<IDispatch>> sources;
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2,
                            {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE},
                            [&](DISPID, DISPPARAMS* params, VARIANT*) {
                              std::lock_guard guard(lock);
                              sources.emplace_back(platform::com::Argument(params, 0)->pdispVal);
                            });
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());
  ASSERT_EQ(driver_->NavigateAndWait(browser.get(), std::u16string(kSite) + u"/framed.html"), S_OK);

  const std::u16string page = u"http://site.test/framed.html";
  std::vector<Recorded> seen = recorder.Seen();
  ASSERT_EQ(seen.size(), 9u);
  // The page's navigation opens and its DocumentComplete closes the sequence; each
  // frame's events come in order, naming the frame's own object.
  EXPECT_EQ(seen[0].id, DISPID_BEFORENAVIGATE2);
  EXPECT_EQ(seen[1].id, DISPID_NAVIGATECOMPLETE2);
  EXPECT_EQ(seen[8].id, DISPID_DOCUMENTCOMPLETE);
  for (std::size_t i : {0u, 1u, 8u}) {
    EXPECT_EQ(seen[i].text, page);
    EXPECT_TRUE(platform::com::IsSameObject(sources[i].get(), browser.get()));
  }
  if (GetParam() == Backend::kInProcess) {
    // The in-process browser loads one frame after the other.
    std::vector<std::u16string> order;
    for (const Recorded& each : seen) order.push_back(each.text);
    const std::u16string login = u"http://site.test/login.html";
    const std::u16string index = u"http://site.test/index.html";
    EXPECT_EQ(order, (std::vector<std::u16string>{page, page, login, login, login, index, index, index, page}));
  }
  for (const std::u16string frameUrl : {u"http://site.test/login.html", u"http://site.test/index.html"}) {
    SCOPED_TRACE(Narrow(frameUrl));
    std::vector<std::size_t> at;
    for (std::size_t i = 2; i < 8; ++i) {
      if (seen[i].text == frameUrl) at.push_back(i);
    }
    ASSERT_EQ(at.size(), 3u);
    EXPECT_EQ(seen[at[0]].id, DISPID_BEFORENAVIGATE2);
    EXPECT_EQ(seen[at[1]].id, DISPID_NAVIGATECOMPLETE2);
    EXPECT_EQ(seen[at[2]].id, DISPID_DOCUMENTCOMPLETE);
    for (std::size_t i : at) {
      EXPECT_TRUE(platform::com::IsSameObject(sources[i].get(), sources[at[0]].get()));
      EXPECT_FALSE(platform::com::IsSameObject(sources[i].get(), browser.get()));
    }
    ComPtr<IWebBrowser2> frame = sources[at[0]].As<IWebBrowser2>();
    ASSERT_TRUE(frame);
    EXPECT_EQ(Location(frame.get()), frameUrl);
  }
  // Each frame holds its own document; the page's collections do not reach into them.
  ComPtr<IWebBrowser2> login = sources[std::find_if(seen.begin(), seen.end(),
                                                    [](const Recorded& each) {
                                                      return each.text == u"http://site.test/login.html";
                                                    }) -
                                       seen.begin()]
                                   .As<IWebBrowser2>();
  EXPECT_TRUE(ById(Document(login.get()).get(), u"login"));
  EXPECT_FALSE(ById(Document(browser.get()).get(), u"login"));
  EXPECT_TRUE(ById(Document(browser.get()).get(), u"outer"));
  EXPECT_EQ(Location(browser.get()), page);
}

}  // namespace
