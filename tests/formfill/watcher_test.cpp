// Scripted browser sessions under the browser watcher: what each session posts to the
// main window and what it leaves on the page.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>

#include "browser_fixture.h"
#include "data/menu_messages.h"
#include "formfill/after_navigate.h"
#include "formfill/browser_access.h"
#include "formfill/float_buttons.h"
#include "formfill/form_filling.h"
#include "formfill/ie_win.h"
#include "formfill/main_thread.h"
#include "formfill/prepared_values.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/browser/html_document.h"
#include "platform/kernel/debug_output.h"
#include "platform/kernel/registry.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/registry_access.h"
#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/identities.h"
#include "data/ignore_lists.h"
#include "tests/data/recording_app_services.h"
#include "tools/match-fields/field_matches.h"

namespace formfill_test {
namespace {

using formfill::TAfterNavigateThr;
using formfill::TIEWin;
using formfill::TMainThread;
using platform::com::BString;

// The floating buttons as the main window keeps them: visible or not, by id.
class RecordingFloatButtons : public formfill::TFloatButtons {
 public:
  RecordingFloatButtons() { formfill::InstallFloatButtons(this); }
  ~RecordingFloatButtons() override { formfill::InstallFloatButtons(nullptr); }
  void Bind(platform::ObjectId floatForm, platform::ObjectId watcher, bool start) override {
    std::lock_guard guard(lock_);
    bound_[floatForm] = watcher;
    if (start) visible_[floatForm] = true;
  }
  void SetClientID(platform::ObjectId floatForm, const std::u16string& clientId) override {
    std::lock_guard guard(lock_);
    clients_[floatForm] = clientId;
  }
  bool IsVisible(platform::ObjectId floatForm) override {
    std::lock_guard guard(lock_);
    return visible_[floatForm];
  }
  HWND Handle(platform::ObjectId floatForm) override { return static_cast<HWND>(0x1000 + floatForm); }
  void SetVisible(platform::ObjectId floatForm, bool visible) {
    std::lock_guard guard(lock_);
    visible_[floatForm] = visible;
  }
  platform::ObjectId BoundWatcher(platform::ObjectId floatForm) {
    std::lock_guard guard(lock_);
    return bound_[floatForm];
  }

 private:
  std::mutex lock_;
  std::map<platform::ObjectId, bool> visible_;
  std::map<platform::ObjectId, platform::ObjectId> bound_;
  std::map<platform::ObjectId, std::u16string> clients_;
};

constexpr char kLoginPage[] =
    "<html><body><form name='login' action='/done'><input name='user' id='user'>"
    "<input type='password' name='pw' id='pw'></form></body></html>";
constexpr char kRegisterPage[] =
    "<html><body><form action='/done'><input name='user'>"
    "<input type='password' name='pw1' id='pw1'><input type='password' name='pw2' id='pw2'></form>"
    "<form><input name='q'></form></body></html>";

class WatcherTest : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    FirstRunCompleted.store(true);
    FloatButtonEnabled.store(true);
    StandaloneMode.store(false);
    next_float_ = 0;
    shell_.sendHandler = [this](WPARAM command, LPARAM) -> LRESULT {
      return command == kCmdCreateFloat ? ++next_float_ : 0;
    };
    formfill::SetPageFillSettings({});
    AddPage(u"/login", kLoginPage);
    AddPage(u"/register", kRegisterPage);
    AddPage(u"/done", "<html><body>thanks</body></html>");
  }
  void TearDown() override {
    watcher_.reset();
    TAfterNavigateThr::WaitForAll();
    BrowserFixture::TearDown();
    FirstRunCompleted.store(false);
    FloatButtonEnabled.store(false);
  }

  // Starts the watcher and lets it see the windows open now.
  void StartWatcher() {
    watcher_ = std::make_unique<TMainThread>(static_cast<HWND>(0));
    Settle();
  }
  // Lets a scan run and every pass it started end.
  void Settle() {
    watcher_->RequestScan();
    watcher_->WaitForCycle();
    TAfterNavigateThr::WaitForAll();
  }
  void NavigateAndSettle(IWebBrowser2* browser, const std::u16string& url) {
    ASSERT_EQ(platform::browser::NavigateAndWait(browser, url), S_OK);
    TAfterNavigateThr::WaitForAll();
  }
  std::vector<RecordedCall> Posts(WPARAM command) {
    std::vector<RecordedCall> found;
    for (const RecordedCall& call : shell_.Calls()) {
      if (call.kind == RecordedCall::kPost && call.command == command) found.push_back(call);
    }
    return found;
  }
  std::shared_ptr<TIEWin> WatcherOf(IWebBrowser2* browser) {
    Variant id;
    browser->GetProperty(BString(formfill::kWinObjProperty).get(), id.Put());
    if (id.type() != VT_I4) return nullptr;
    return platform::LookupObject<TIEWin>(static_cast<platform::ObjectId>(id.raw().lVal));
  }
  std::u16string BodyMark(IWebBrowser2* browser, const std::u16string& name) {
    ComPtr<IHTMLElement> body;
    formfill::GetDocumentBody(browser, body);
    return formfill::ReadMark(body.get(), name).AsText();
  }

  RecordingAppServices shell_;
  RecordingFloatButtons floats_;
  std::atomic<LRESULT> next_float_{0};
  std::unique_ptr<TMainThread> watcher_;
};

TEST_F(WatcherTest, OnlyWebBrowserWindowsGetAWatcherAndAFloatingButton) {
  struct Case {
    const char* what;
    platform::browser::WindowOptions options;
    bool watched;
  } cases[] = {
      {"plain window", {}, true},
      {"hidden window", {false, true, true, true}, false},
      {"pop-up without tool bar", {true, false, true, true}, false},
      {"pop-up without menu bar", {true, true, false, true}, false},
      {"pop-up without address bar", {true, true, true, false}, false},
      {"folder window of the shell", {true, true, true, true, true}, false},
  };
  std::vector<ComPtr<IWebBrowser2>> windows;
  for (const Case& each : cases) windows.push_back(platform::browser::InProcessBrowser::Instance().OpenWindow(each.options));
  StartWatcher();
  EXPECT_EQ(watcher_->WatcherCount(), 1u);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    std::shared_ptr<TIEWin> watcher = WatcherOf(windows[i].get());
    ASSERT_EQ(watcher != nullptr, cases[i].watched);
    if (!watcher) continue;
    EXPECT_EQ(watcher->WinId(), u"PXID_" + formfill::HexId(watcher->Id()));
    Variant winId;
    windows[i]->GetProperty(BString(formfill::kWinIdProperty).get(), winId.Put());
    EXPECT_EQ(winId.StringValue(), watcher->WinId());
    EXPECT_EQ(watcher->FrameWnd(), formfill::GetBrowserWindowHandle(windows[i].get()));
    EXPECT_EQ(floats_.BoundWatcher(watcher->FloatForm()), watcher->Id());
  }
}

TEST_F(WatcherTest, AButtonStartsOnlyOverATabInFront) {
  struct Case {
    const char* what;
    bool tabShown;
  } cases[] = {{"tab in front", true}, {"tab in the background", false}};
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    ComPtr<IWebBrowser2> browser = Open(u"/login");
    ASSERT_EQ(platform::browser::ShowTab(browser.get(), each.tabShown), S_OK);
    StartWatcher();
    std::shared_ptr<TIEWin> watcher = WatcherOf(browser.get());
    ASSERT_TRUE(watcher);
    EXPECT_EQ(GetParent(watcher->TabWnd()), watcher->FrameWnd());
    EXPECT_EQ(floats_.BoundWatcher(watcher->FloatForm()), watcher->Id());
    EXPECT_EQ(floats_.IsVisible(watcher->FloatForm()), each.tabShown);
    watcher_.reset();
    platform::browser::InProcessBrowser::Instance().CloseAll();
  }
}

TEST_F(WatcherTest, AFailedCollectionIsLoggedAndTriedAgainByTheNextScan) {
  struct Case {
    DWORD error;
    std::string line;
  } cases[] = {
      {ERROR_OUTOFMEMORY, "CoCreateInstance  IShellWindows E_OUTOFMEMORY"},
      {ERROR_ACCESS_DENIED, "CoCreateInstance  IShellWindows  NOT Succeeded"},
  };
  RegWriteString(HKEY_CURRENT_USER, "SOFTWARE\\RD", "VERSION", "1");
  InitDebugLog();
  std::mutex lock;
  std::vector<std::string> output;
  platform::SetDebugOutputSink([&](std::string_view text) {
    std::lock_guard guard(lock);
    output.emplace_back(text);
  });
  ComPtr<IWebBrowser2> browser = Open(u"/login");
  for (const Case& each : cases) {
    SCOPED_TRACE(each.line);
    platform::faults::FailNext("CoCreateInstance", 1, each.error);
    watcher_ = std::make_unique<TMainThread>(static_cast<HWND>(0));
    watcher_->WaitForCycle();
    EXPECT_EQ(watcher_->WatcherCount(), 0u);
    {
      std::lock_guard guard(lock);
      ASSERT_FALSE(output.empty());
      const std::string& last = output.back();
      EXPECT_EQ(last.substr(last.size() - each.line.size()), each.line);
      EXPECT_NE(last.find(",*L 2,"), std::string::npos);  // an error line
    }
    Settle();
    EXPECT_EQ(watcher_->WatcherCount(), 1u);
    watcher_.reset();
  }
  platform::SetDebugOutputSink(nullptr);
  RegDeleteKeyTree(HKEY_CURRENT_USER, "SOFTWARE\\RD");
  InitDebugLog();
}

TEST_F(WatcherTest, WindowsOpenedAndClosedWhileScansRunEndWithOneWatcherEach) {
  StartWatcher();
  std::atomic<bool> stop{false};
  std::thread scans([&] {
    while (!stop.load()) {
      watcher_->RequestScan();
      watcher_->WaitForCycle();
    }
  });
  auto& browser = platform::browser::InProcessBrowser::Instance();
  std::vector<ComPtr<IWebBrowser2>> open;
  for (int i = 0; i < 12; ++i) {
    open.push_back(Open(u"/login"));
    if (i % 3 == 2) {
      browser.CloseWindow(open[open.size() - 2].get());
      open.erase(open.end() - 2);
    }
  }
  stop.store(true);
  scans.join();
  Settle();
  ASSERT_EQ(watcher_->WatcherCount(), open.size());
  for (const ComPtr<IWebBrowser2>& each : open) {
    std::shared_ptr<TIEWin> watcher = WatcherOf(each.get());
    ASSERT_TRUE(watcher);
    EXPECT_EQ(floats_.BoundWatcher(watcher->FloatForm()), watcher->Id());
  }
  // Every button made for a window that closed was released, and only those.
  std::size_t made = 0;
  for (const RecordedCall& call : shell_.Calls()) {
    if (call.kind == RecordedCall::kSend && call.command == kCmdCreateFloat) ++made;
  }
  EXPECT_EQ(Posts(kCmdReleaseFloat).size(), made - open.size());
}

TEST_F(WatcherTest, AWindowClosedBetweenScansLosesItsWatcherAndItsButton) {
  ComPtr<IWebBrowser2> stays = Open(u"/login");
  ComPtr<IWebBrowser2> goes = Open(u"/login");
  StartWatcher();
  ASSERT_EQ(watcher_->WatcherCount(), 2u);
  std::shared_ptr<TIEWin> gone = WatcherOf(goes.get());
  ASSERT_TRUE(gone);
  platform::ObjectId goneId = gone->Id();
  HWND goneFloat = floats_.Handle(gone->FloatForm());
  gone.reset();
  platform::browser::InProcessBrowser::Instance().CloseWindow(goes.get());
  EXPECT_FALSE(Posts(kCmdReleaseFloat).size());  // no scan yet: the window events only ask for one
  auto calls = shell_.Calls();
  EXPECT_GE(std::count_if(calls.begin(), calls.end(),
                          [](const RecordedCall& call) { return call.kind == RecordedCall::kScanRequest; }),
            1);
  Settle();
  EXPECT_EQ(watcher_->WatcherCount(), 1u);
  auto released = Posts(kCmdReleaseFloat);
  ASSERT_EQ(released.size(), 1u);
  EXPECT_EQ(static_cast<HWND>(released[0].argument), goneFloat);
  // The released watcher's id answers nothing any more.
  EXPECT_FALSE(platform::LookupObject<TIEWin>(goneId));
  EXPECT_TRUE(WatcherOf(stays.get()));
}

TEST_F(WatcherTest, NoScanRunsWhileTheInstallerWindowExists) {
  shell_.installerWindow.store(true);
  ComPtr<IWebBrowser2> browser = Open(u"/login");
  StartWatcher();
  Settle();
  EXPECT_EQ(watcher_->WatcherCount(), 0u);
  shell_.installerWindow.store(false);
  watcher_->WaitForCycle();  // the first cycle after the window is gone scans unasked
  EXPECT_EQ(watcher_->WatcherCount(), 1u);
}

TEST_F(WatcherTest, CompletedPagesArePassedOverByScheme) {
  pages_->Add(u"HTTP://SITE.TEST/login", kLoginPage);
  pages_->Add(u"https://site.test/login", kLoginPage);
  pages_->Add(u"file:///tmp/login.html", kLoginPage);
  pages_->Add(u"about:blank", kLoginPage);
  struct Case {
    std::u16string url;
    bool handled;
  } cases[] = {
      {u"http://site.test/login", true},
      {u"HTTP://SITE.TEST/login", true},
      {u"https://site.test/login", true},
      {u"file:///tmp/login.html", false},
      {u"about:blank", false},
  };
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  for (const Case& each : cases) {
    SCOPED_TRACE(platform::WideToUtf8(each.url));
    NavigateAndSettle(browser.get(), each.url);
    EXPECT_EQ(BodyMark(browser.get(), formfill::kFormsCountMark), each.handled ? u"0" : u"");
    ComPtr<IHTMLElement> form = ById(browser.get(), u"pw");
    ComPtr<IHTMLFormElement> asForm;
    ComPtr<IHTMLElement> formElement;
    ComPtr<IHTMLInputElement> input = form.As<IHTMLInputElement>();
    ASSERT_TRUE(input);
    ASSERT_TRUE(SUCCEEDED(input->get_form(asForm.Put())));
    formElement = asForm.As<IHTMLElement>();
    EXPECT_EQ(formfill::ReadMark(formElement.get(), formfill::kFormDoneMark).AsText(), each.handled ? u"DONE" : u"");
    EXPECT_EQ(formfill::ReadMark(formElement.get(), formfill::kPwdCountMark).AsText(), each.handled ? u"1" : u"");
  }
}

TEST_F(WatcherTest, UnnamedFormsAreNumberedAndAPasswordPairGetsAGeneratedPassword) {
  formfill::TPageFillSettings settings;
  settings.AutoFill = true;
  formfill::SetPageFillSettings(settings);
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  NavigateAndSettle(browser.get(), u"http://site.test/register");
  ComPtr<IHTMLDocument3> document = Document(browser.get());
  ComPtr<IHTMLElementCollection> forms;
  ASSERT_TRUE(SUCCEEDED(document->getElementsByTagName(BString(u"form").get(), forms.Put())));
  std::vector<std::u16string> ids;
  formfill::ForEachItem(forms.get(), [&](IDispatch* item) {
    ids.push_back(formfill::ReadTextMark(ComPtr<IDispatch>(item).As<IHTMLElement>().get(), formfill::kFormIdMark));
    return true;
  });
  EXPECT_EQ(ids, (std::vector<std::u16string>{u"#0", u"#1"}));
  // Unlocked with auto-fill on: both inputs hold the same new password, and the page
  // holds no password text in any mark.
  BString first, second;
  ById(browser.get(), u"pw1").As<IHTMLInputElement>()->get_value(first.Put());
  ById(browser.get(), u"pw2").As<IHTMLInputElement>()->get_value(second.Put());
  EXPECT_EQ(first.Text().size(), 8u);
  EXPECT_EQ(first.Text(), second.Text());
  EXPECT_NE(formfill::ReadTextMark(ById(browser.get(), u"pw1").get(), u"Pellix_Value"), first.Text());
  EXPECT_TRUE(Posts(kCmdAutoFillNotice).empty());  // a generated password alone shows no notice
}

TEST_F(WatcherTest, ARightClickPostsTheMenuThatFitsThePasswordInput) {
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  NavigateAndSettle(browser.get(), u"http://site.test/register");  // auto-fill off: prepared, not written
  NavigateAndSettle(browser.get(), u"http://site.test/register");
  std::shared_ptr<TIEWin> watcher = WatcherOf(browser.get());
  ASSERT_TRUE(watcher);
  platform::browser::TypeInto(browser.get(), ById(browser.get(), u"pw2").get(), u"typed");
  struct Case {
    const char16_t* id;
    int command;  // -1: nothing posted
    bool browserMenu;
  } cases[] = {
      {u"pw2", kCmdPasswordMenuTyped, false},
      {u"pw1", kCmdPasswordMenuPrepared, false},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(platform::WideToUtf8(each.id));
    std::size_t before = shell_.Calls().size();
    bool browserMenu = true;
    ASSERT_EQ(platform::browser::RightClick(browser.get(), ById(browser.get(), each.id).get(), &browserMenu), S_OK);
    EXPECT_EQ(browserMenu, each.browserMenu);
    auto calls = shell_.Calls();
    ASSERT_EQ(calls.size(), before + 1);
    EXPECT_EQ(calls.back().command, static_cast<WPARAM>(each.command));
    EXPECT_EQ(static_cast<platform::ObjectId>(calls.back().argument), watcher->Id());
  }
  // An input that is not a password input is not hooked, and the browser's menu opens.
  std::size_t before = shell_.Calls().size();
  ComPtr<IHTMLElementCollection> inputs;
  Document(browser.get())->getElementsByName(BString(u"user").get(), inputs.Put());
  ComPtr<IDispatch> user;
  inputs->item(Variant::Int(0).raw(), Variant::Int(0).raw(), user.Put());
  bool browserMenu = false;
  platform::browser::RightClick(browser.get(), user.As<IHTMLElement>().get(), &browserMenu);
  EXPECT_TRUE(browserMenu);
  EXPECT_EQ(shell_.Calls().size(), before);
  // An empty password input without a prepared value.
  NavigateAndSettle(browser.get(), u"http://site.test/login");
  platform::browser::RightClick(browser.get(), ById(browser.get(), u"pw").get());
  EXPECT_EQ(shell_.Calls().back().command, kCmdPasswordMenuEmpty);
}

TEST_F(WatcherTest, AChosenPasswordIsWrittenByTheWatcherThreadIntoBothInputsOfThePair) {
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  NavigateAndSettle(browser.get(), u"http://site.test/register");
  ASSERT_EQ(platform::browser::RightClick(browser.get(), ById(browser.get(), u"pw1").get()), S_OK);
  // The main window's menu action: it finds the watcher by the id it received.
  auto call = shell_.Calls().back();
  std::shared_ptr<TIEWin> watcher = platform::LookupObject<TIEWin>(static_cast<platform::ObjectId>(call.argument));
  ASSERT_TRUE(watcher);
  std::shared_ptr<formfill::TInputPasswordContext> context = watcher->PasswordContext();
  context->SetNewValue(u"Chosen#1");
  watcher_->QueuePasswordFill(watcher->Id(), context);
  watcher_->QueuePasswordFill(0x7FFFFFF0, context);  // an id of no watcher is dropped
  watcher_->WaitForCycle();
  watcher_->WaitForCycle();
  for (const char16_t* id : {u"pw1", u"pw2"}) {
    BString value;
    ById(browser.get(), id).As<IHTMLInputElement>()->get_value(value.Put());
    EXPECT_EQ(value.Text(), u"Chosen#1");
  }
}

TEST_F(WatcherTest, EachQueuedPasswordGoesIntoTheInputItWasChosenFor) {
  AddPage(u"/two", "<html><body><form name='a'><input type='password' name='pa' id='pa'></form>"
                   "<form name='b'><input type='password' name='pb' id='pb'></form></body></html>");
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  NavigateAndSettle(browser.get(), u"http://site.test/two");
  std::shared_ptr<TIEWin> watcher = WatcherOf(browser.get());
  ASSERT_TRUE(watcher);
  // Two right clicks before the queue runs: each menu choice keeps its own input.
  std::vector<std::shared_ptr<formfill::TInputPasswordContext>> chosen;
  for (const char16_t* id : {u"pa", u"pb"}) {
    ASSERT_EQ(platform::browser::RightClick(browser.get(), ById(browser.get(), id).get()), S_OK);
    chosen.push_back(watcher->PasswordContext());
    ASSERT_TRUE(chosen.back());
  }
  chosen[0]->SetNewValue(u"first-choice");
  chosen[1]->SetNewValue(u"second-choice");
  for (const auto& context : chosen) watcher_->QueuePasswordFill(watcher->Id(), context);
  watcher_->WaitForCycle();
  watcher_->WaitForCycle();
  BString first, second;
  ById(browser.get(), u"pa").As<IHTMLInputElement>()->get_value(first.Put());
  ById(browser.get(), u"pb").As<IHTMLInputElement>()->get_value(second.Put());
  EXPECT_EQ(first.Text(), u"first-choice");
  EXPECT_EQ(second.Text(), u"second-choice");
}

// A login whose user name is an e-mail input, and a form the table builder left empty
// (an ASP.NET page laid out in a table): each is remembered with its fields.
TEST_F(WatcherTest, SubmittedFormsWithTextLikeTypesAndTableLayoutsArePosted) {
  struct Case {
    const char* what;
    std::string html;
    std::vector<std::u16string> fields;
  } cases[] = {
      {"an e-mail login",
       "<html><body><form id='f' name='signin' action='/done'><input type='email' name='email' id='user'>"
       "<input type='password' name='pw' id='pw'></form></body></html>",
       {u"email", u"pw"}},
      {"a form between a table and its rows",
       "<html><body><table><form id='f' name='aspnetForm' action='/done'>"
       "<tr><td>User</td><td><input name='ctl00$Main$txtUser' id='user'></td></tr>"
       "<tr><td>Password</td><td><input type='password' name='ctl00$Main$txtPass' id='pw'></td></tr>"
       "</form></table></body></html>",
       {u"ctl00$Main$txtUser", u"ctl00$Main$txtPass"}},
  };
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    pages_->Add(u"http://site.test/signin", each.html);
    NavigateAndSettle(browser.get(), u"http://site.test/signin");
    platform::browser::TypeInto(browser.get(), ById(browser.get(), u"user").get(), u"ann@site.test");
    platform::browser::TypeInto(browser.get(), ById(browser.get(), u"pw").get(), u"secret");
    std::size_t before = Posts(kCmdFormSubmitted).size();
    ASSERT_EQ(platform::browser::SubmitByUser(browser.get(), ById(browser.get(), u"f").get()), S_OK);
    TAfterNavigateThr::WaitForAll();
    auto submitted = Posts(kCmdFormSubmitted);
    ASSERT_EQ(submitted.size(), before + 1);
    std::shared_ptr<TMessageItem> item = ReceiveMessageObject<TMessageItem>(submitted.back().argument);
    ASSERT_TRUE(item);
    std::vector<std::u16string> names;
    for (const TFormListItem& field : item->Fields) names.push_back(field.Name);
    EXPECT_EQ(names, each.fields);
    ASSERT_FALSE(item->Fields.empty());
    EXPECT_EQ(item->Fields[0].Value, u"ann@site.test");
  }
}

TEST_F(WatcherTest, ASubmittedFormIsPostedWithItsFieldsAndAnEmptyOneIsNot) {
  pages_->Add(u"http://site.test/empty", "<html><body><form id='f' action='/done'></form></body></html>");
  ComPtr<IWebBrowser2> browser = Open(u"/login");
  StartWatcher();
  std::shared_ptr<TIEWin> watcher = WatcherOf(browser.get());
  ASSERT_TRUE(watcher);
  platform::browser::TypeInto(browser.get(), ById(browser.get(), u"user").get(), u"ann");
  platform::browser::TypeInto(browser.get(), ById(browser.get(), u"pw").get(), u"secret");
  ComPtr<IHTMLFormElement> form;
  ById(browser.get(), u"pw").As<IHTMLInputElement>()->get_form(form.Put());
  ASSERT_EQ(platform::browser::SubmitByUser(browser.get(), form.As<IHTMLElement>().get()), S_OK);
  TAfterNavigateThr::WaitForAll();
  auto submitted = Posts(kCmdFormSubmitted);
  ASSERT_EQ(submitted.size(), 1u);
  std::shared_ptr<TMessageItem> item = ReceiveMessageObject<TMessageItem>(submitted[0].argument);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->URL, u"http://site.test/login");
  EXPECT_EQ(item->FormName, u"login");
  EXPECT_EQ(item->Sender, watcher->Id());
  ASSERT_EQ(item->Fields.size(), 2u);
  EXPECT_EQ(item->Fields[0].Value, u"ann");
  EXPECT_TRUE(item->Fields[1].Generated);
  EXPECT_EQ(item->Passwords.GetCount(), 1);

  NavigateAndSettle(browser.get(), u"http://site.test/empty");
  ASSERT_EQ(platform::browser::SubmitByUser(browser.get(), ById(browser.get(), u"f").get()), S_OK);
  EXPECT_EQ(Posts(kCmdFormSubmitted).size(), 1u);
}

TEST_F(WatcherTest, MinimiseAndRestoreHideAndShowTheFloatingButton) {
  ComPtr<IWebBrowser2> browser = Open(u"/login");
  StartWatcher();
  std::shared_ptr<TIEWin> watcher = WatcherOf(browser.get());
  ASSERT_TRUE(watcher);
  platform::ObjectId button = watcher->FloatForm();
  ASSERT_EQ(platform::browser::Minimise(browser.get()), S_OK);
  ASSERT_EQ(Posts(kCmdHideFloat).size(), 1u);
  EXPECT_EQ(static_cast<platform::ObjectId>(Posts(kCmdHideFloat)[0].argument), button);
  floats_.SetVisible(button, false);  // the main window carried it out
  // The tab becomes visible while the window is still minimised: the button stays away.
  ASSERT_EQ(platform::browser::ShowTab(browser.get(), true), S_OK);
  EXPECT_TRUE(Posts(kCmdShowFloat).empty());
  ASSERT_EQ(platform::browser::Restore(browser.get()), S_OK);
  ASSERT_EQ(Posts(kCmdShowFloat).size(), 1u);
  EXPECT_EQ(static_cast<platform::ObjectId>(Posts(kCmdShowFloat)[0].argument), button);
}

TEST_F(WatcherTest, TheProgramsEndStopsRunningPassesBeforeTheListsGo) {
  ComPtr<IWebBrowser2> browser = Open(u"/login");
  StartWatcher();
  std::shared_ptr<TIEWin> watcher = WatcherOf(browser.get());
  ASSERT_TRUE(watcher);
  ComPtr<IHTMLElement> body;
  formfill::GetDocumentBody(browser.get(), body);
  formfill::WriteMark(body.get(), formfill::kFormsCountMark, Variant::Text(u"before"));
  // While the data is locked, a pass over the page cannot read the lists: the end waits
  // for it only as long as it was told to, and then refuses new passes.
  {
    std::scoped_lock held(DataLock);
    ASSERT_NE(TAfterNavigateThr::Start(watcher->Id(), u"", nullptr, 0, false), 0u);
    EXPECT_FALSE(TAfterNavigateThr::EndAll(20));
    EXPECT_EQ(TAfterNavigateThr::Start(watcher->Id(), u"", nullptr, 0, false), 0u);
  }
  // Told to end, the pass reads nothing and marks nothing more.
  EXPECT_TRUE(TAfterNavigateThr::EndAll(60000));
  EXPECT_EQ(BodyMark(browser.get(), formfill::kFormsCountMark), u"before");
  // Once none runs, passes start again.
  ASSERT_NE(TAfterNavigateThr::Start(watcher->Id(), u"", nullptr, 0, false), 0u);
  TAfterNavigateThr::WaitForAll();
  EXPECT_EQ(BodyMark(browser.get(), formfill::kFormsCountMark), u"0");
}

TEST_F(WatcherTest, AStoredFormRequestIsTakenOnlyByItsIdAndOnlyForItsAddress) {
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  struct Case {
    const char* what;
    std::u16string recordUrl;
    bool forged;
  } cases[] = {
      {"same address", u"http://site.test/login", false},
      {"other address", u"http://site.test/other", false},
      {"forged id", u"http://site.test/login", true},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    auto request = std::make_unique<TNavigateItem>();
    request->Item = std::make_shared<TFormItem>(nullptr);
    request->Item->SetURL(each.recordUrl);
    platform::ObjectId id = static_cast<platform::ObjectId>(HandOverMessageObject(std::move(request)));
    SetProperty(browser.get(), formfill::kNavActionProperty, Variant::Int(kNavigateFill));
    SetProperty(browser.get(), formfill::kNavObjProperty, Variant::Int(static_cast<LONG>(each.forged ? id + 1000 : id)));
    NavigateAndSettle(browser.get(), u"http://site.test/login");
    Variant action, object;
    browser->GetProperty(BString(formfill::kNavActionProperty).get(), action.Put());
    browser->GetProperty(BString(formfill::kNavObjProperty).get(), object.Put());
    EXPECT_EQ(action.AsText(), u"0");
    EXPECT_EQ(object.AsText(), u"0");
    // A request that was taken is gone from the registry; a forged id left it there.
    EXPECT_EQ(platform::TakeObject<TNavigateItem>(id) != nullptr, each.forged);
  }
}

TEST_F(WatcherTest, QueuedNavigationsRunOneACycleInTheirOrder) {
  ComPtr<IWebBrowser2> browser = Open(u"/login");
  StartWatcher();
  std::shared_ptr<TIEWin> watcher = WatcherOf(browser.get());
  ASSERT_TRUE(watcher);
  for (const char16_t* path : {u"http://site.test/register", u"http://site.test/done"}) {
    auto request = std::make_unique<TNavigateItem>();
    request->IEWin = watcher->Id();
    request->Item = std::make_shared<TFormItem>(nullptr);
    request->Item->SetURL(path);
    request->Action = kNavigateOpenOnly;
    watcher_->QueueNavigate(std::move(request));
  }
  auto gone = std::make_unique<TNavigateItem>();
  gone->IEWin = 0x7FFFFFF1;  // no such watcher: dropped without a message
  gone->Item = std::make_shared<TFormItem>(nullptr);
  watcher_->QueueNavigate(std::move(gone));
  for (int cycle = 0; cycle < 3; ++cycle) watcher_->WaitForCycle();
  platform::browser::WaitIdle(browser.get());
  TAfterNavigateThr::WaitForAll();
  // The later request ran last.
  BString location;
  browser->get_LocationURL(location.Put());
  EXPECT_EQ(location.Text(), u"http://site.test/done");
}

// Stored forms: the bookmark list, the password list and a requested stored form.
class StoredFormTest : public WatcherTest {
 protected:
  void SetUp() override {
    WatcherTest::SetUp();
    DataFolder = dir_.path().string() + "/";
    CreateFixedCrypt();
    BookmarkList = std::make_unique<TBookmarkItems>();
    HistoryList = std::make_unique<THistoryItems>();
    PasswordList = std::make_unique<TPasswordItems>();
  }
  void TearDown() override {
    WatcherTest::TearDown();
    BookmarkList.reset();
    HistoryList.reset();
    PasswordList.reset();
    IgnoreList.reset();
    DataFolder.clear();
  }
  static TFormListItem Field(std::u16string name, std::u16string value) {
    TFormListItem field;
    field.ID = name;
    field.Name = std::move(name);
    field.Value = std::move(value);
    return field;
  }
  // A bookmark of the login form (or the site's default form) with its user name.
  TFormItem* AddBookmark(bool siteDefault = false) {
    auto* item = static_cast<TFormItem*>(BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get())));
    item->SetURL(u"http://site.test/login");
    item->SetFormName(siteDefault ? kSiteDefaultMarker : u"login");
    item->SetFormID(siteDefault ? kSiteDefaultMarker : u"");
    item->AddField(Field(u"user", u"ann"));
    item->EncodeFields();  // stored as the list keeps it
    return item;
  }
  void AddStoredPassword() {
    auto* item = static_cast<TPasswordItem*>(PasswordList->Add(std::make_unique<TPasswordItem>(PasswordList.get())));
    item->SetURL(u"http://site.test/login");
    item->SetFormName(u"login");
    item->SetPassword(u"s3cret");
  }
  // The opener's request for the login page, as browser properties.
  void RequestLogin(IWebBrowser2* browser, const TFormItem& stored, std::uint8_t action) {
    auto request = std::make_unique<TNavigateItem>();
    request->Item = std::make_shared<TFormItem>(nullptr);
    request->Item->SetURL(stored.URL());
    request->Item->SetFormName(stored.FormName());
    request->Item->SetFormID(stored.FormID());
    request->Item->AddField(Field(u"user", u"requested"));
    request->Action = action;
    auto id = static_cast<LONG>(HandOverMessageObject(std::move(request)));
    SetProperty(browser, formfill::kNavActionProperty, Variant::Int(action));
    SetProperty(browser, formfill::kNavObjProperty, Variant::Int(id));
  }
  std::u16string ValueOf(IWebBrowser2* browser, const std::u16string& id) {
    BString value;
    ComPtr<IHTMLElement> element = ById(browser, id);
    if (!element || FAILED(element.As<IHTMLInputElement>()->get_value(value.Put()))) return u"<none>";
    return value.Text();
  }

  pellix_test::TempDir dir_;
};

TEST_F(StoredFormTest, AStoredFormIsPreparedAndFilledAsTheDataAndTheSettingsAllow) {
  struct Case {
    const char* what;
    bool autoFill;
    bool unlocked;
    bool ignoredSite;
    bool siteDefault;
    std::u16string user;      // the user field afterwards
    std::u16string password;  // the password field afterwards
    bool notice;              // command 18
    bool fillAfterLogin;      // command 19
  } cases[] = {
      {"auto-fill on, unlocked", true, true, false, false, u"ann", u"s3cret", true, false},
      {"auto-fill off", false, true, false, false, u"", u"", false, false},
      {"locked", true, false, false, false, u"", u"", false, true},
      {"ignored site, the form's own bookmark", true, true, true, false, u"ann", u"s3cret", true, false},
      {"ignored site, only the site's default", true, true, true, true, u"", u"", false, false},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    while (BookmarkList->Count() > 0) BookmarkList->Delete(0);
    AddBookmark(each.siteDefault);
    AddStoredPassword();
    IgnoreList = std::make_unique<TIgnoreList>();
    if (each.ignoredSite) {
      ASSERT_TRUE(IgnoreList->Add(u"site", u"http://site.test/login", kIgnoreSite, u"", u""));
    }
    formfill::TPageFillSettings settings;
    settings.AutoFill = each.autoFill;
    formfill::SetPageFillSettings(settings);
    shell_.unlocked.store(each.unlocked);
    ComPtr<IWebBrowser2> browser = Open();
    StartWatcher();
    std::size_t before18 = Posts(kCmdAutoFillNotice).size();
    std::size_t before19 = Posts(kCmdFillPageById).size();
    NavigateAndSettle(browser.get(), u"http://site.test/login");
    EXPECT_EQ(ValueOf(browser.get(), u"user"), each.user);
    EXPECT_EQ(ValueOf(browser.get(), u"pw"), each.password);
    EXPECT_EQ(Posts(kCmdAutoFillNotice).size() - before18, each.notice ? 1u : 0u);
    auto fills = Posts(kCmdFillPageById);
    ASSERT_EQ(fills.size() - before19, each.fillAfterLogin ? 1u : 0u);
    if (each.fillAfterLogin) {
      std::shared_ptr<TNavigateItem> request = ReceiveMessageObject<TNavigateItem>(fills.back().argument);
      ASSERT_TRUE(request);
      EXPECT_EQ(request->IEWin, WatcherOf(browser.get())->Id());
    }
    // Whatever was prepared, the page holds no secret text.
    EXPECT_NE(formfill::ReadTextMark(ById(browser.get(), u"pw").get(), u"Pellix_Value"), u"s3cret");
    watcher_.reset();
    platform::browser::InProcessBrowser::Instance().CloseAll();
  }
}

TEST_F(StoredFormTest, ARequestedStoredFormIsFilledOnlyWhileItStillStands) {
  struct Case {
    const char* what;
    std::uint8_t action;
    bool deleted;           // the user deleted the stored form meanwhile
    std::u16string user;    // the user field afterwards
    std::u16string location;
  } cases[] = {
      {"fill", kNavigateFill, false, u"requested", u"http://site.test/login"},
      {"open only", kNavigateOpenOnly, false, u"", u"http://site.test/login"},
      {"fill and submit", kNavigateFillSubmit, false, u"<none>", u"http://site.test/done"},
      {"deleted meanwhile", kNavigateFill, true, u"", u"http://site.test/login"},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    while (BookmarkList->Count() > 0) BookmarkList->Delete(0);
    TFormItem* stored = AddBookmark();
    TFormItem copy(nullptr);
    copy.SetURL(stored->URL());
    copy.SetFormName(stored->FormName());
    if (each.deleted) while (BookmarkList->Count() > 0) BookmarkList->Delete(0);
    ComPtr<IWebBrowser2> browser = Open();
    StartWatcher();
    std::size_t posts = shell_.Calls().size();
    RequestLogin(browser.get(), copy, each.action);
    NavigateAndSettle(browser.get(), u"http://site.test/login");
    platform::browser::WaitIdle(browser.get());
    TAfterNavigateThr::WaitForAll();
    BString location;
    browser->get_LocationURL(location.Put());
    EXPECT_EQ(location.Text(), each.location);
    EXPECT_EQ(ValueOf(browser.get(), u"user"), each.user);
    if (each.action == kNavigateFillSubmit) {
      // The submission by the pass posts nothing: no notice, and its forms were not hooked.
      for (std::size_t i = posts; i < shell_.Calls().size(); ++i) {
        EXPECT_NE(shell_.Calls()[i].command, kCmdFormSubmitted);
        EXPECT_NE(shell_.Calls()[i].command, kCmdAutoFillNotice);
      }
    }
    watcher_.reset();
    platform::browser::InProcessBrowser::Instance().CloseAll();
  }
}

TEST_F(StoredFormTest, ARedirectedRequestExpiresAndThePageIsHandledAsAnyOther) {
  pages_->Add(u"http://site.test/signin", kLoginPage);
  pages_->AddRedirect(u"http://site.test/login", u"http://site.test/signin");
  TFormItem* stored = AddBookmark();
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  RequestLogin(browser.get(), *stored, kNavigateFill);
  NavigateAndSettle(browser.get(), u"http://site.test/login");
  BString location;
  browser->get_LocationURL(location.Put());
  ASSERT_EQ(location.Text(), u"http://site.test/signin");
  // The request did not fill the page it was not meant for...
  EXPECT_NE(ValueOf(browser.get(), u"user"), u"requested");
  // ...and the page was hooked and handled: its form is done and its password input
  // answers a right click.
  ComPtr<IHTMLFormElement> form;
  ById(browser.get(), u"pw").As<IHTMLInputElement>()->get_form(form.Put());
  EXPECT_EQ(formfill::ReadMark(form.As<IHTMLElement>().get(), formfill::kFormDoneMark).AsText(), u"DONE");
  std::size_t before = shell_.Calls().size();
  ASSERT_EQ(platform::browser::RightClick(browser.get(), ById(browser.get(), u"pw").get()), S_OK);
  ASSERT_EQ(shell_.Calls().size(), before + 1);
  EXPECT_EQ(shell_.Calls().back().command, kCmdPasswordMenuEmpty);
}

TEST_F(StoredFormTest, APageWithFramesGetsOnePassAndOneNotice) {
  pages_->Add(u"http://site.test/framed",
              "<html><body><iframe src='/ad'></iframe><form name='login'><input name='user' id='user'>"
              "<input type='password' name='pw' id='pw'></form><iframe src='/ad2'></iframe></body></html>");
  AddPage(u"/ad", "<html><body><form><input name='other'></form></body></html>");
  AddPage(u"/ad2", "<html><body><form><input name='firstname'></form></body></html>");
  struct Case {
    const char* what;
    bool requested;
    bool autoFill;
    std::u16string user;
  } cases[] = {
      {"with a stored-form request", true, false, u"requested"},
      {"the page's bookmark, filled by auto-fill", false, true, u"ann"},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    while (BookmarkList->Count() > 0) BookmarkList->Delete(0);
    TFormItem* stored = AddBookmark();
    stored->SetURL(u"http://site.test/framed");
    formfill::TPageFillSettings settings;
    settings.AutoFill = each.autoFill;
    formfill::SetPageFillSettings(settings);
    ComPtr<IWebBrowser2> browser = Open();
    StartWatcher();
    if (each.requested) RequestLogin(browser.get(), *stored, kNavigateFill);
    auto gateCalls = [&] {
      auto calls = shell_.Calls();
      return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [](const RecordedCall& call) {
        return call.kind == RecordedCall::kCheckUnlock;
      }));
    };
    std::size_t before = gateCalls();
    std::size_t notices = Posts(kCmdAutoFillNotice).size();
    NavigateAndSettle(browser.get(), u"http://site.test/framed");
    EXPECT_EQ(gateCalls() - before, 1u);  // each pass over a page with forms asks the gate once
    EXPECT_EQ(Posts(kCmdAutoFillNotice).size() - notices, 1u);
    EXPECT_EQ(ValueOf(browser.get(), u"user"), each.user);
    watcher_.reset();
    platform::browser::InProcessBrowser::Instance().CloseAll();
  }
}

TEST_F(StoredFormTest, APreparedValueStaysWithItsPage) {
  AddBookmark();
  AddStoredPassword();
  pages_->Add(u"http://site.test/other", "<html><body><form name='other'><input name='user' id='user'>"
                                         "<input type='password' name='pw' id='pw'></form></body></html>");
  const std::size_t kept = formfill::PreparedValues::Instance().Count();  // by tests without windows
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  NavigateAndSettle(browser.get(), u"http://site.test/login");  // auto-fill off: prepared only
  const std::u16string token = formfill::ReadTextMark(ById(browser.get(), u"pw").get(), u"Pellix_Value");
  ASSERT_FALSE(token.empty());
  const std::u16string winId = WatcherOf(browser.get())->WinId();
  // The next page of the window copies the token into its own field, as a script can.
  NavigateAndSettle(browser.get(), u"http://site.test/other");
  formfill::WriteMark(ById(browser.get(), u"pw").get(), u"Pellix_Value", Variant::Text(token));
  formfill::WriteMark(ById(browser.get(), u"pw").get(), u"Pellix_Key", Variant::Text(u"VALUE"));
  EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), true, false), formfill::frNoValues);
  EXPECT_EQ(ValueOf(browser.get(), u"pw"), u"");
  // Once every window has closed, nothing is kept, and a pass still running over the
  // last page of a closed window keeps nothing either.
  NavigateAndSettle(browser.get(), u"http://site.test/login");
  platform::browser::InProcessBrowser::Instance().CloseAll();
  Settle();
  EXPECT_EQ(formfill::PreparedValues::Instance().Count(), kept);
  auto late = platform::browser::HtmlDocument::Load("<input type=password id=pw>", u"http://site.test/login");
  ComPtr<IHTMLElement> field;
  late->getElementById(BString(u"pw").get(), field.Put());
  EXPECT_EQ(formfill::WritePreparedValue(field.get(), winId, u"s3cret"), E_ACCESSDENIED);
  EXPECT_EQ(formfill::PreparedValues::Instance().Count(), kept);
}

// A registration page laid out in a table, with text-like inputs and identity values
// that carry alternatives after a TAB: the pass fills it when it may, the main thread
// after the login otherwise; text inputs get the value before the TAB.
TEST_F(StoredFormTest, ATableLaidOutRegistrationIsFilledFromTheIdentity) {
  pages_->Add(u"http://site.test/register.aspx",
              "<html><body><table><form name='aspnetForm' id='aspnetForm' action='/done'>"
              "<tr><td>First name</td><td><input name='ctl00$Main$txtFirst' id='first'></td></tr>"
              "<tr><td>E-mail</td><td><input type='email' name='ctl00$Main$txtMail' id='mail'></td></tr>"
              "<tr><td>Phone</td><td><input type='tel' name='contact[phone]' id='phone'></td></tr>"
              "<tr><td>Country</td><td><input name='contact[country]' id='country'></td></tr>"
              "</form></table></body></html>");
  match_fields::UseFixedIdentity();
  ActiveIdentity->SetValue(u"COUNTRY", u"Germany\tDeutschland\tDE");
  struct Case {
    const char* what;
    bool unlocked;
    bool fillAfterLogin;  // command 19, then the main thread fills
  } cases[] = {{"unlocked", true, false}, {"locked", false, true}};
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    formfill::TPageFillSettings settings;
    settings.AutoFill = true;
    formfill::SetPageFillSettings(settings);
    shell_.unlocked.store(each.unlocked);
    ComPtr<IWebBrowser2> browser = Open();
    StartWatcher();
    std::size_t before19 = Posts(kCmdFillPageById).size();
    NavigateAndSettle(browser.get(), u"http://site.test/register.aspx");
    ASSERT_EQ(Posts(kCmdFillPageById).size() - before19, each.fillAfterLogin ? 1u : 0u);
    if (each.fillAfterLogin) {
      EXPECT_EQ(ValueOf(browser.get(), u"first"), u"");
      EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), false, false), formfill::frFilled);
    }
    EXPECT_EQ(ValueOf(browser.get(), u"first"), u"value of FIRSTNAME");
    EXPECT_EQ(ValueOf(browser.get(), u"mail"), u"value of EMAIL");
    EXPECT_EQ(ValueOf(browser.get(), u"phone"), u"value of PHONE");
    EXPECT_EQ(ValueOf(browser.get(), u"country"), u"Germany");
    EXPECT_EQ(BodyMark(browser.get(), formfill::kFormsCountMark), u"1");
    watcher_.reset();
    platform::browser::InProcessBrowser::Instance().CloseAll();
  }
  match_fields::ClearFixedIdentity();
}

// A search box is no form to fill: it is not counted and asks for no login.
TEST_F(StoredFormTest, ASearchBoxAloneAsksForNothing) {
  match_fields::UseFixedIdentity();
  formfill::TPageFillSettings settings;
  settings.AutoFill = true;
  formfill::SetPageFillSettings(settings);
  shell_.unlocked.store(false);
  ComPtr<IWebBrowser2> browser = Open();
  StartWatcher();
  for (const char* box : {"<input name='q'>", "<input type='search' name='q' placeholder='Search'>"}) {
    SCOPED_TRACE(box);
    pages_->Add(u"http://site.test/search", std::string("<html><body><form action='/search' class='search'>") +
                                                box + "<input type='submit' value='Go'></form></body></html>");
    std::size_t before = shell_.Calls().size();
    NavigateAndSettle(browser.get(), u"http://site.test/search");
    EXPECT_EQ(BodyMark(browser.get(), formfill::kFormsCountMark), u"0");
    for (std::size_t i = before; i < shell_.Calls().size(); ++i) {
      EXPECT_NE(shell_.Calls()[i].command, kCmdFillPageById);
      EXPECT_NE(shell_.Calls()[i].command, kCmdAutoFillNotice);
    }
  }
  match_fields::ClearFixedIdentity();
}

TEST_F(StoredFormTest, APageNoStoredFormClaimsIsFilledFromTheActiveIdentity) {
  pages_->Add(u"http://site.test/address",
              "<html><body><form name='address'><input name='firstname' id='firstname'>"
              "<input name='lastname' id='lastname'></form></body></html>");
  match_fields::UseFixedIdentity();
  struct Case {
    const char* what;
    bool autoFill;
    bool unlocked;
    std::u16string first;  // the first-name field afterwards
    int notices;           // command 18
    int fillsAfterLogin;   // command 19
  } cases[] = {
      {"auto-fill on, unlocked", true, true, u"value of FIRSTNAME", 1, 0},
      {"auto-fill off: marked only", false, true, u"", 1, 0},
      {"locked", true, false, u"", 0, 1},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    formfill::TPageFillSettings settings;
    settings.AutoFill = each.autoFill;
    formfill::SetPageFillSettings(settings);
    shell_.unlocked.store(each.unlocked);
    ComPtr<IWebBrowser2> browser = Open();
    StartWatcher();
    std::size_t before18 = Posts(kCmdAutoFillNotice).size();
    std::size_t before19 = Posts(kCmdFillPageById).size();
    NavigateAndSettle(browser.get(), u"http://site.test/address");
    EXPECT_EQ(ValueOf(browser.get(), u"firstname"), each.first);
    EXPECT_EQ(BodyMark(browser.get(), formfill::kFormsCountMark), u"1");
    EXPECT_EQ(Posts(kCmdAutoFillNotice).size() - before18, static_cast<std::size_t>(each.notices));
    EXPECT_EQ(Posts(kCmdFillPageById).size() - before19, static_cast<std::size_t>(each.fillsAfterLogin));
    EXPECT_NE(formfill::ReadTextMark(ById(browser.get(), u"firstname").get(), u"Pellix_Value"), u"value of FIRSTNAME");
    watcher_.reset();
    platform::browser::InProcessBrowser::Instance().CloseAll();
  }
  match_fields::ClearFixedIdentity();
}

}  // namespace
}  // namespace formfill_test
