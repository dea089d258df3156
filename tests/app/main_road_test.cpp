// The program's main road, end to end in a process of its own: the real main window,
// launcher, watcher thread and browser (the in-process one, and Chromium), the data of
// a user who has set the program up; a login form is submitted and remembered, the page is filled from it when
// it comes again, an identity fills a registration form, the stored login opened from
// the tray comes filled in a new window, and Exit from the tray menu ends the program
// with the lists saved.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/dialog_launcher.h"
#include "app/main_form.h"
#include "common/test_env.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "formfill/after_navigate.h"
#include "formfill/app_menus.h"
#include "formfill/browser_access.h"
#include "formfill/ie_win.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/browser/default_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/browser/backends.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/std_ctrls.h"
#include "platform/com/bstr.h"
#include "platform/com/variant.h"
#include "platform/win/message_queue.h"
#include "support/program_paths.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;

constexpr char16_t kSite[] = u"http://site.test";
constexpr char kLoginPage[] =
    "<html><head><title>Log in</title></head><body><form name='login' action='/done'>"
    "<input name='user' id='user'><input type='password' name='pw' id='pw'></form></body></html>";
constexpr char kRegisterPage[] =
    "<html><body><form name='reg' action='/done'><input name='firstname' id='firstname'>"
    "<input name='email' id='email'></form></body></html>";

// Handles the main thread's messages until Done holds (bounded: the bound only guards
// against a hang).
template <typename F>
bool PumpUntil(F done) {
  for (int round = 0; round < 600; ++round) {
    MSG message;
    while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    Sleep(20);
  }
  return done();
}

ComPtr<IHTMLElement> ById(IWebBrowser2* browser, const std::u16string& id) {
  ComPtr<IHTMLDocument3> document;
  formfill::GetDocument3(browser, document);
  ComPtr<IHTMLElement> element;
  if (document) document->getElementById(BString(id).get(), element.Put());
  return element;
}

std::u16string ValueOf(IWebBrowser2* browser, const std::u16string& id) {
  ComPtr<IHTMLElement> element = ById(browser, id);
  BString value;
  if (!element || FAILED(element.As<IHTMLInputElement>()->get_value(value.Put()))) return u"<none>";
  return value.Text();
}

std::u16string Location(IWebBrowser2* browser) {
  BString url;
  return SUCCEEDED(browser->get_LocationURL(url.Put())) ? url.Text() : u"";
}

// True once the watcher has marked the browser as its own.
bool Watched(IWebBrowser2* browser) {
  platform::com::Variant id;
  return SUCCEEDED(browser->GetProperty(BString(formfill::kWinObjProperty).get(), id.Put())) && id.type() == VT_I4;
}

// The data a first run leaves: one identity (Home, first name and e-mail), no master
// password, automatic filling on, no questions about new identity values.
void SetUpUser() {
  InitData(true);
  std::u16string home;
  ASSERT_TRUE(CreateIdentityFile(u"Home", u"", home));
  ASSERT_TRUE(LoadAllData(home, u""));
  ActiveIdentity->SetValue(u"FIRSTNAME", u"Ann");
  ActiveIdentity->SetValue(u"EMAIL", u"ann@site.test");
  ASSERT_TRUE(ActiveIdentity->SaveToFile());
  ASSERT_TRUE(Config->WriteString(u"IDENTITY", home));
  ASSERT_TRUE(Config->WriteString(u"SECURITY", platform::AnsiToWide(MakeSecurityRecord(u"master", kSecurityNone, 0))));
  ASSERT_TRUE(Config->WriteBool(u"AUTOFILL", true));
  ASSERT_TRUE(Config->WriteBool(u"AUTO_ADD_IDENT", false));
  FinalizeData();
}

// The tray menu's entry down a path of captions (each matched at its start), built as
// the user's click would build it; null when there is none.
TMenuItem* TrayEntry(TMainForm& form, const std::vector<std::u16string>& path) {
  form.TrayMenuPopup();
  TMenuItem* item = form.TrayMenu->Items();
  for (const std::u16string& caption : path) {
    TMenuItem* found = nullptr;
    for (int i = 0; i < item->Count() && !found; ++i) {
      if (MenuItemCaption(item->Items(i)).rfind(caption, 0) == 0) found = item->Items(i);
    }
    if (!found) return nullptr;
    item = found;
  }
  return item;
}

// The browser window other than Known, once there is one.
ComPtr<IWebBrowser2> OtherWindow(IWebBrowser2* known) {
  for (const auto& each : platform::browser::InProcessBrowser::Instance().Windows()) {
    if (!platform::com::IsSameObject(static_cast<IWebBrowser2*>(each.get()), known)) {
      return ComPtr<IWebBrowser2>(each.get());
    }
  }
  return {};
}

// Exit code 10 + step for a step that failed; Exit itself ends the process with 0. The
// argument names the browser: "in-process" or "chromium".
const bool kRoadRole = pellix_test::RegisterChildRole("main-road", [](const std::vector<std::string>& args) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const bool chromium = !args.empty() && args[0] == "chromium";
  // The program's own browser opens its new windows: Chromium in this run.
  if (chromium) unsetenv("PELLIX_BROWSER");
  if (FAILED(platform::browser::InstallBrowser())) return 10;
  auto pages = std::make_shared<browser_test::TestPages>();
  pages->texts().Add(std::u16string(kSite) + u"/login", kLoginPage);
  pages->texts().Add(u"http://shop.test/register", kRegisterPage);
  pages->texts().Add(std::u16string(kSite) + u"/done", "<html><body>thanks</body></html>");
  std::unique_ptr<browser_test::Driver> user = browser_test::Driver::For(
      chromium ? browser_test::Backend::kChromium : browser_test::Backend::kInProcess, pages);
  StandaloneMode = true;
  SetUpUser();
  if (::testing::Test::HasFailure()) return 11;

  // As the program starts: data, application, main window.
  InitData(true);
  TApplication application(nullptr);
  TDialogLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  if (!FirstRunCompleted) return 12;

  ComPtr<IWebBrowser2> browser = user->Open();
  if (!browser) return 23;
  // Two whole cycles of the watcher thread: the window is found and its watcher set up.
  std::atomic<bool> cycled{false};
  std::thread cycles([&] {
    form.Watcher->RequestScan();
    form.Watcher->WaitForCycle();
    form.Watcher->WaitForCycle();
    cycled = true;
  });
  const bool settled = PumpUntil([&] { return cycled.load(); });
  cycles.join();
  if (!settled || !Watched(browser.get())) return 13;

  // The user logs in.
  if (user->NavigateAndWait(browser.get(), std::u16string(kSite) + u"/login") != S_OK) return 14;
  // The page's forms are hooked by the pass that follows its loading.
  formfill::TAfterNavigateThr::WaitForAll();
  user->TypeInto(browser.get(), ById(browser.get(), u"user").get(), u"ann");
  user->TypeInto(browser.get(), ById(browser.get(), u"pw").get(), u"secret");
  ComPtr<IHTMLFormElement> login;
  ById(browser.get(), u"pw").As<IHTMLInputElement>()->get_form(login.Put());
  if (user->SubmitByUser(browser.get(), login.As<IHTMLElement>().get()) != S_OK) return 15;
  if (!PumpUntil([] { return HistoryList && HistoryList->Count() == 1; })) return 16;

  // The page comes again and is filled from what was stored.
  if (user->NavigateAndWait(browser.get(), std::u16string(kSite) + u"/login") != S_OK) return 17;
  if (!PumpUntil([&] { return ValueOf(browser.get(), u"user") == u"ann"; })) return 18;

  // The identity fills a registration form of another site.
  if (user->NavigateAndWait(browser.get(), u"http://shop.test/register") != S_OK) return 19;
  if (!PumpUntil([&] { return ValueOf(browser.get(), u"firstname") == u"Ann"; })) return 20;

  // The stored login, opened from the tray's history with submit, comes in a new
  // window, filled and sent.
  TMenuItem* open = TrayEntry(form, {u"Form History", u"Log in", u"Open with Submit"});
  if (!open) return 24;
  open->Click();
  ComPtr<IWebBrowser2> opened;
  if (!PumpUntil([&] { return bool(opened = OtherWindow(browser.get())); })) return 25;
  if (!PumpUntil([&] { return Location(opened.get()).rfind(std::u16string(kSite) + u"/done", 0) == 0; })) return 26;
  // Chromium sends the fields the program filled, all of them before the form.
  if (chromium && Location(opened.get()) != std::u16string(kSite) + u"/done?user=ann&pw=secret") return 27;

  // Exit from the tray menu (its entry clicked); the close dialog is answered "Close".
  TMenuItem* exit = TrayEntry(form, {u"Exit"});
  if (!exit) return 21;
  platform::modal_driver::Answer([](TCustomForm& dialog) {
    if (auto* close = dynamic_cast<TButton*>(dialog.FindComponent("butSave"))) close->Click();
  });
  exit->Click();
  PumpUntil([] { return false; });
  return 22;  // not reached: Exit ends the process
});

class MainRoad : public ::testing::TestWithParam<browser_test::Backend> {};
INSTANTIATE_TEST_SUITE_P(Backends, MainRoad,
                         ::testing::Values(browser_test::Backend::kInProcess, browser_test::Backend::kChromium),
                         browser_test::BackendName);

TEST_P(MainRoad, WhatTheUserSubmitsIsKeptFilledAgainAndSavedAtExit) {
  ASSERT_EQ(pellix_test::RunChild("main-road", {GetParam() == browser_test::Backend::kChromium ? "chromium" : "in-process"}),
            0);
  // The lists as the files hold them.
  InitData(true);
  ASSERT_TRUE(HistoryList && PasswordList && BookmarkList);
  ASSERT_EQ(HistoryList->Count(), 1);
  TFormItem* form = HistoryList->Form(0);
  EXPECT_EQ(form->URL(), u"http://site.test/login");
  EXPECT_EQ(form->FormName(), u"login");
  EXPECT_EQ(form->Caption(), u"Log in");
  form->DecodeFields();
  ASSERT_EQ(form->FieldCount(), 2);
  EXPECT_EQ(form->GetField(0)->Value, u"ann");

  bool pageRecord = false;
  bool siteRecord = false;
  for (int i = 0; i < PasswordList->Count(); ++i) {
    TPasswordItem* item = PasswordList->Password(i);
    EXPECT_EQ(item->GetPassword(), u"secret");
    pageRecord |= item->URL() == u"http://site.test/login" && item->FormName() == u"login";
    siteRecord |= item->FormName() == kSiteDefaultMarker;
  }
  EXPECT_TRUE(pageRecord) << "the password history holds the form's password";
  EXPECT_TRUE(siteRecord) << "and the site's default password";
  ASSERT_EQ(BookmarkList->Count(), 1) << "the site's default form";
  EXPECT_EQ(BookmarkList->Form(0)->FormName(), kSiteDefaultMarker);

  bool runAtStart = false;
  EXPECT_TRUE(Config->ReadBool(u"RUN_STARTUP", runAtStart)) << "the close dialog's choice was written before the end";
  EXPECT_TRUE(runAtStart);
  FinalizeData();
}

}  // namespace
