#include <gtest/gtest.h>

#include <thread>

#include "common/test_env.h"
#include "model_helpers.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"
#include "platform/win/window.h"

namespace {

using namespace browser_test;
using platform::browser::InProcessBrowser;
using platform::com::BString;
using platform::com::DispatchObject;

constexpr char16_t kSite[] = u"http://site.test";

// Records the events a sink receives: their number, the text of their first
// by-reference or text argument, and the thread they came on.
struct Recorded {
  DISPID id;
  std::u16string text;
  std::thread::id thread;
};

class Recorder {
 public:
  // A sink for the event interface Events that records the members Ids; Answer, when
  // set, is each call's result.
  ComPtr<DispatchObject> Sink(REFIID events, std::vector<DISPID> ids,
                              std::function<void(DISPID, DISPPARAMS*, VARIANT*)> also = {}) {
    auto sink = platform::com::MakeComObject<DispatchObject>(std::initializer_list<IID>{events});
    for (DISPID id : ids) {
      sink->AddMember(u"", id, [this, id, also](WORD, DISPPARAMS* params, VARIANT* result) {
        Recorded entry{id, {}, std::this_thread::get_id()};
        for (UINT i = 0; i < params->cArgs; ++i) {
          VARIANT* arg = platform::com::Argument(params, i);
          Variant text;
          if ((arg->vt == (VT_BYREF | VT_VARIANT) || arg->vt == VT_BSTR) &&
              SUCCEEDED(VariantChangeType(text.get(), arg, 0, VT_BSTR))) {
            entry.text = text.StringValue();
            break;
          }
          if (arg->vt == VT_I4 && entry.text.empty()) entry.text = Variant::CopyOf(*arg).AsText();
        }
        {
          std::lock_guard guard(lock_);
          seen_.push_back(entry);
        }
        if (also) also(id, params, result);
        return S_OK;
      });
    }
    return sink;
  }
  std::vector<Recorded> Seen() {
    std::lock_guard guard(lock_);
    return seen_;
  }
  std::vector<DISPID> Ids() {
    std::vector<DISPID> ids;
    for (const Recorded& each : Seen()) ids.push_back(each.id);
    return ids;
  }

 private:
  std::mutex lock_;
  std::vector<Recorded> seen_;
};

DWORD Advise(IUnknown* source, REFIID events, IUnknown* sink) {
  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(events, point.Put()), S_OK);
  DWORD cookie = 0;
  EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
  return cookie;
}

class InProcessBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_TRUE(SUCCEEDED(InProcessBrowser::Instance().Install()));
    InProcessBrowser::Instance().SetPages(
        std::make_shared<platform::browser::PageFolder>(pellix_test::Fixture("browser")));
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
  static ComPtr<IHTMLDocument3> Document(IWebBrowser2* browser) {
    ComPtr<IDispatch> document;
    EXPECT_EQ(browser->get_Document(document.Put()), S_OK);
    return document.As<IHTMLDocument3>();
  }
  static std::u16string Location(IWebBrowser2* browser) {
    BString url;
    EXPECT_EQ(browser->get_LocationURL(url.Put()), S_OK);
    return url.Text();
  }
};

TEST_F(InProcessBrowserTest, ShellWindowsListTheOpenWindows) {
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

TEST_F(InProcessBrowserTest, NavigationEventsComeInOrderOnTheBrowsersThread) {
  ComPtr<IWebBrowser2> browser = Open();
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
  ASSERT_EQ(platform::browser::NavigateAndWait(browser.get(), std::u16string(kSite) + u"/login.html"), S_OK);

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

TEST_F(InProcessBrowserTest, CancelledNavigationKeepsThePage) {
  ComPtr<IWebBrowser2> browser = Open(u"/index.html");
  Recorder recorder;
  auto sink = recorder.Sink(DIID_DWebBrowserEvents2, {DISPID_BEFORENAVIGATE2, DISPID_DOCUMENTCOMPLETE},
                            [](DISPID id, DISPPARAMS* params, VARIANT*) {
                              if (id == DISPID_BEFORENAVIGATE2) *platform::com::Argument(params, 6)->pboolVal = VARIANT_TRUE;
                            });
  Advise(browser.get(), DIID_DWebBrowserEvents2, sink.get());
  ASSERT_EQ(platform::browser::NavigateAndWait(browser.get(), std::u16string(kSite) + u"/login.html"), S_OK);
  EXPECT_EQ(recorder.Ids(), std::vector<DISPID>{DISPID_BEFORENAVIGATE2});
  EXPECT_EQ(Location(browser.get()), u"http://site.test/index.html");
  VARIANT_BOOL busy = VARIANT_TRUE;
  ASSERT_EQ(browser->get_Busy(&busy), S_OK);
  EXPECT_EQ(busy, VARIANT_FALSE);
}

TEST_F(InProcessBrowserTest, PagesComeFromTheFolderOnly) {
  struct Case {
    std::u16string path;
    std::u16string title;
  } cases[] = {{u"/", u"Home"},
               {u"/login.html?x=1#top", u"Sign in"},
               {u"/missing.html", u""},
               {u"/../browser/login.html", u""},
               {u"/%2e%2e/x", u""}};
  ComPtr<IWebBrowser2> browser = Open();
  for (const Case& each : cases) {
    ASSERT_EQ(platform::browser::NavigateAndWait(browser.get(), kSite + each.path), S_OK);
    BString title;
    ASSERT_EQ(browser->get_LocationName(title.Put()), S_OK);
    EXPECT_EQ(title.Text(), each.title) << Narrow(each.path);
    EXPECT_TRUE(Document(browser.get()));
  }
}

TEST_F(InProcessBrowserTest, PropertyStoreKeepsTypesAndExactNames) {
  ComPtr<IWebBrowser2> browser = Open();
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
  ASSERT_EQ(platform::browser::NavigateAndWait(browser.get(), std::u16string(kSite) + u"/index.html"), S_OK);
  ASSERT_EQ(browser->GetProperty(BString(u"Pellix_NavAction").get(), value.Put()), S_OK);
  EXPECT_EQ(value.raw().lVal, 2);
}

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

TEST_F(InProcessBrowserTest, UserSubmitFiresTheEventThenNavigatesScriptSubmitDoesNot) {
  ComPtr<IWebBrowser2> browser = Open(u"/login.html");
  ComPtr<IHTMLElement> form = ById(Document(browser.get()).get(), u"login");
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
  ASSERT_EQ(platform::browser::SubmitByUser(browser.get(), form.get()), S_OK);
  EXPECT_EQ(recorder.Seen().size(), 1u);
  EXPECT_TRUE(platform::com::IsSameObject(source.get(), form.get()));
  EXPECT_EQ(Location(browser.get()), u"http://site.test/login.html");

  cancel = false;
  ASSERT_EQ(platform::browser::SubmitByUser(browser.get(), form.get()), S_OK);
  EXPECT_EQ(recorder.Seen().size(), 2u);
  EXPECT_EQ(Location(browser.get()), u"http://site.test/welcome.html");

  ASSERT_EQ(platform::browser::NavigateAndWait(browser.get(), std::u16string(kSite) + u"/login.html"), S_OK);
  ComPtr<IHTMLElement> fresh = ById(Document(browser.get()).get(), u"login");
  Advise(fresh.get(), DIID_HTMLFormElementEvents2, sink.get());
  ASSERT_EQ(fresh.As<IHTMLFormElement>()->submit(), S_OK);
  ASSERT_EQ(platform::browser::WaitIdle(browser.get()), S_OK);
  EXPECT_EQ(recorder.Seen().size(), 2u);
  EXPECT_EQ(Location(browser.get()), u"http://site.test/welcome.html");
  // The old page's elements are gone with it.
  Variant value;
  EXPECT_EQ(form->getAttribute(BString(u"id").get(), 0, value.Put()), E_FAIL);
}

TEST_F(InProcessBrowserTest, RightClickAndTyping) {
  ComPtr<IWebBrowser2> browser = Open(u"/login.html");
  ComPtr<IHTMLDocument3> document = Document(browser.get());
  ComPtr<IHTMLElement> pass = ById(document.get(), u"pass");
  Recorder recorder;
  ComPtr<IHTMLElement> source;
  auto sink = recorder.Sink(DIID_HTMLInputTextElementEvents2, {DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU},
                            [&](DISPID, DISPPARAMS* params, VARIANT* result) {
                              ComPtr<IDispatch>(platform::com::Argument(params, 0)->pdispVal)
                                  .As<IHTMLEventObj>()
                                  ->get_srcElement(source.Put());
                              result->vt = VT_BOOL;
                              result->boolVal = VARIANT_FALSE;
                            });
  Advise(pass.get(), DIID_HTMLInputTextElementEvents2, sink.get());

  ASSERT_EQ(platform::browser::TypeInto(browser.get(), pass.get(), u"typed"), S_OK);
  EXPECT_EQ(Value(pass.get()), u"typed");
  bool browserMenu = true;
  ASSERT_EQ(platform::browser::RightClick(browser.get(), pass.get(), &browserMenu), S_OK);
  EXPECT_FALSE(browserMenu);
  ASSERT_EQ(recorder.Seen().size(), 1u);
  EXPECT_NE(recorder.Seen()[0].thread, std::this_thread::get_id());
  EXPECT_TRUE(platform::com::IsSameObject(source.get(), pass.get()));
  // Elements without sinks open the browser's menu.
  ASSERT_EQ(platform::browser::RightClick(browser.get(), ById(document.get(), u"user").get(), &browserMenu), S_OK);
  EXPECT_TRUE(browserMenu);
  // A connection point for another element's events is not offered.
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(pass.As<IConnectionPointContainer>()->FindConnectionPoint(DIID_HTMLFormElementEvents2, point.Put()),
            CONNECT_E_NOCONNECTION);
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

TEST_F(InProcessBrowserTest, FramesLoadAfterThePageEachWithItsOwnObjectAndEvents) {
  ComPtr<IWebBrowser2> browser = Open();
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
  ASSERT_EQ(platform::browser::NavigateAndWait(browser.get(), std::u16string(kSite) + u"/framed.html"), S_OK);

  const std::u16string page = u"http://site.test/framed.html";
  const std::u16string login = u"http://site.test/login.html";
  const std::u16string index = u"http://site.test/index.html";
  struct Expected {
    DISPID id;
    std::u16string url;
    int source;  // 0 the window's browser, 1 and 2 the frames
  } expected[] = {
      {DISPID_BEFORENAVIGATE2, page, 0},   {DISPID_NAVIGATECOMPLETE2, page, 0}, {DISPID_BEFORENAVIGATE2, login, 1},
      {DISPID_NAVIGATECOMPLETE2, login, 1}, {DISPID_DOCUMENTCOMPLETE, login, 1}, {DISPID_BEFORENAVIGATE2, index, 2},
      {DISPID_NAVIGATECOMPLETE2, index, 2}, {DISPID_DOCUMENTCOMPLETE, index, 2}, {DISPID_DOCUMENTCOMPLETE, page, 0},
  };
  std::vector<Recorded> seen = recorder.Seen();
  ASSERT_EQ(seen.size(), std::size(expected));
  ComPtr<IDispatch> frames[3] = {ComPtr<IDispatch>(browser.get()), sources[2], sources[5]};
  EXPECT_FALSE(platform::com::IsSameObject(frames[1].get(), frames[2].get()));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].id, expected[i].id);
    EXPECT_EQ(seen[i].text, expected[i].url);
    EXPECT_EQ(platform::com::IsSameObject(sources[i].get(), frames[0].get()), expected[i].source == 0);
    EXPECT_TRUE(platform::com::IsSameObject(sources[i].get(), frames[expected[i].source].get()));
  }
  // Each frame holds its own document; the page's collections do not reach into them.
  ComPtr<IWebBrowser2> frame = frames[1].As<IWebBrowser2>();
  ASSERT_TRUE(frame);
  EXPECT_EQ(Location(frame.get()), login);
  EXPECT_TRUE(ById(Document(frame.get()).get(), u"login"));
  EXPECT_FALSE(ById(Document(browser.get()).get(), u"login"));
  EXPECT_TRUE(ById(Document(browser.get()).get(), u"outer"));
  EXPECT_EQ(Location(browser.get()), page);
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
