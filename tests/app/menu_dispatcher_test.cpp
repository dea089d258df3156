#include "app/menu_dispatcher.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/list_changes.h"
#include "app/main_form.h"
#include "app/recording_launcher.h"
#include "app/user_lists.h"
#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/menu_messages.h"
#include "formfill/app_menus.h"
#include "formfill/ie_win.h"
#include "platform/browser/default_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/bstr.h"
#include "platform/com/variant.h"
#include "platform/classlib/forms.h"
#include "platform/win/message_box.h"

namespace {

namespace boxes = platform::message_box_driver;

template <typename Item>
Item* AddRecord(TDataItems& list, const std::u16string& caption) {
  auto item = std::make_unique<Item>(&list);
  item->SetCaption(caption);
  item->SetURL(u"http://site.test/login");
  item->SetFormName(u"login");
  TFormListItem field;
  field.Name = field.ID = u"user";
  field.Value = u"ann";
  item->AddField(field);
  return static_cast<Item*>(list.Insert(0, std::move(item)));
}

using MenuDispatcherTest = UserListsTest;

// Every command of the table, sent as the menus and the host send it: what it opens,
// what it changes, and the message is freed whatever the command.
TEST_F(MenuDispatcherTest, EveryCommandIsCarriedOutOnce) {
  struct Case {
    int command;
    std::vector<std::string> opened;
    // Sets the message up (a record's id, texts) and queues the answers; checks after.
    std::function<void(TObjMenuMessage&)> before;
    std::function<void()> after;
  };
  std::int32_t bookmark = 0;
  std::int32_t history = 0;
  std::int32_t password = 0;
  auto item = [](std::int32_t& id) { return [&id](TObjMenuMessage& m) { m.Param = id; }; };
  auto confirmed = [](std::int32_t& id) {
    return [&id](TObjMenuMessage& m) {
      m.Param = id;
      boxes::Answer(IDYES);
    };
  };
  auto yes = [](TObjMenuMessage&) { boxes::Answer(IDYES); };
  const Case cases[] = {
      {0, {}, nullptr, nullptr},
      {1, {}, item(bookmark), nullptr},  // no watcher thread: nothing to open with
      {2, {}, item(bookmark), nullptr},
      {3, {}, item(bookmark), nullptr},
      {4, {}, nullptr, nullptr},  // no browser behind the command
      {5, {}, nullptr, nullptr},
      {6, {}, nullptr, nullptr},
      {7, {}, confirmed(bookmark), [] { EXPECT_EQ(BookmarkList->Count(), 0); }},
      {8, {}, item(bookmark), nullptr},  // deleted just before: nothing to edit
      {9, {}, nullptr, nullptr},          // no current page
      {10, {"bookmark browser"}, nullptr, nullptr},
      {11, {"bookmark form unlocked"}, item(history), nullptr},
      {12, {}, confirmed(history), [] { EXPECT_EQ(HistoryList->Count(), 0); }},
      {13, {}, item(history), nullptr},
      {14, {}, yes, [] { EXPECT_TRUE(Config->ReadFloat(u"CLEAR_HIST", MenuSettings.ClearHistory)); }},
      {15, {"history browser"}, nullptr, nullptr},
      {16, {"ignore list"}, nullptr, nullptr},
      {17, {}, nullptr, nullptr},
      {22, {}, nullptr, nullptr},
      {23, {"new identity "}, nullptr, nullptr},
      {24, {"identity editor "}, nullptr, nullptr},
      {25, {"settings 0"}, nullptr, nullptr},
      {26, {}, nullptr, nullptr},  // no identity list
      {27, {"password generator"}, nullptr, nullptr},
      {28, {"password display"}, item(password), nullptr},
      {29, {"password history"}, nullptr, nullptr},
      {30, {}, yes, [] { EXPECT_EQ(PasswordList->Count(), 0); }},
      {31, {"security level"}, nullptr, [] {
         EXPECT_EQ(SecurityLevel, 3);
         std::u16string record;
         EXPECT_TRUE(Config->ReadString(u"SECURITY", record));
         SecurityLevel = kSecurityNone;
       }},
      {32, {"master password"}, nullptr, nullptr},
      {33, {"new identity "}, nullptr, [] {
         std::u16string answer;
         EXPECT_TRUE(Config->ReadString(u"DIALOG_RETURN_VALUE", answer));
         EXPECT_EQ(answer, u"OK");
       }},
      {34, {}, [](TObjMenuMessage& m) { m.Text2 = u"001"; }, nullptr},  // no such identity
      {35, {}, [](TObjMenuMessage& m) { m.Text2 = u"001"; }, nullptr},
      {36, {}, [](TObjMenuMessage& m) { m.Text2 = u"001"; }, nullptr},
      {37, {"settings 3"}, [](TObjMenuMessage& m) { m.Param2 = 3; }, nullptr},
      {40, {}, [](TObjMenuMessage& m) { m.Text2 = u"PXB_1"; }, nullptr},
      {41, {}, [](TObjMenuMessage& m) { m.Text2 = u"PXB_1"; }, nullptr},
      {42, {"bookmark form unlocked"},
       [](TObjMenuMessage& m) {
         m.Text1 = u"http://site.test/page";
         m.Text2 = u"Page";
       },
       nullptr},
      {43, {}, nullptr, nullptr},  // the gate is open: nothing to ask
      {44, {}, nullptr, [] { EXPECT_EQ(UnlockTime, 0); }},
      {45, {}, nullptr, nullptr},
      {46, {}, nullptr, [] { EXPECT_TRUE(TrayIconShown); }},
      {47, {}, nullptr, [] { EXPECT_FALSE(TrayIconShown); }},
      {48, {"close dialog"}, nullptr, nullptr},  // the dialog says stay
      {49, {}, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    {
      TListChange change(nullptr);
      bookmark = BookmarkList->Count() > 0 ? MenuItemId(BookmarkList->Item(0))
                                           : MenuItemId(AddRecord<TBookmarkItem>(*BookmarkList, u"b"));
      history = HistoryList->Count() > 0 ? MenuItemId(HistoryList->Item(0))
                                         : MenuItemId(AddRecord<TFormItem>(*HistoryList, u"h"));
      if (PasswordList->Count() == 0) AddRecord<TPasswordItem>(*PasswordList, u"p")->SetPassword(u"secret");
      password = MenuItemId(PasswordList->Item(0));
    }
    if (c.command == 8) BookmarkList->Delete(0);
    TRecordingLauncher launcher;
    launcher.NewLevel = 3;
    TMainForm form(launcher);
    auto message = std::make_unique<TObjMenuMessage>();
    message->Command = static_cast<std::uint8_t>(c.command);
    if (c.before) c.before(*message);
    const LPARAM argument = HandOverMessageObject(std::move(message));
    form.HandleCommand(kCmdMenuCommand, argument);
    EXPECT_EQ(launcher.Opened, c.opened);
    if (c.after) c.after();
    EXPECT_EQ(platform::TakeObject<TObjMenuMessage>(MessageObjectId(argument)), nullptr) << "freed";
    if (c.command == 28) {
      EXPECT_EQ(launcher.Passwords, std::vector<std::u16string>{u"secret"});
    }
  }
}

// A stored form opened in a new window: a window of the program's browser loads the
// record's page and holds the request for the window's watcher; a record of a vault,
// or one without an address, opens nothing.
TEST_F(MenuDispatcherTest, AStoredFormOpensInANewWindowThatHoldsItsRequest) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  ASSERT_TRUE(SUCCEEDED(platform::browser::InstallBrowser()));
  auto pages = std::make_shared<platform::browser::PageMap>();
  pages->Add(u"http://site.test/login", "<form name=login><input name=user></form>");
  platform::browser::InProcessBrowser::Instance().SetPages(pages);
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  std::int32_t stored = 0, vault = 0, blank = 0;
  {
    TListChange change(nullptr);
    stored = MenuItemId(AddRecord<TBookmarkItem>(*BookmarkList, u"stored"));
    TBookmarkItem* locked = AddRecord<TBookmarkItem>(*BookmarkList, u"vault");
    locked->VaultID = 7;
    vault = MenuItemId(locked);
    TFormItem* nowhere = AddRecord<TFormItem>(*HistoryList, u"nowhere");
    nowhere->SetURL(u"");
    blank = MenuItemId(nowhere);
  }
  for (std::int32_t none : {vault, blank, std::int32_t{0}}) form.Dispatcher().OpenInNewWindow(none, 2);
  EXPECT_TRUE(platform::browser::InProcessBrowser::Instance().Windows().empty());

  form.Dispatcher().OpenInNewWindow(stored, 2);
  auto windows = platform::browser::InProcessBrowser::Instance().Windows();
  ASSERT_EQ(windows.size(), 1u);
  IWebBrowser2* browser = windows[0].get();
  ASSERT_EQ(platform::browser::WaitIdle(browser), S_OK);
  platform::com::BString url;
  ASSERT_EQ(browser->get_LocationURL(url.Put()), S_OK);
  EXPECT_EQ(url.Text(), u"http://site.test/login");
  platform::com::Variant action, request;
  ASSERT_EQ(browser->GetProperty(platform::com::BString(formfill::kNavActionProperty).get(), action.Put()), S_OK);
  EXPECT_EQ(action.AsText(), u"2");
  ASSERT_EQ(browser->GetProperty(platform::com::BString(formfill::kNavObjProperty).get(), request.Put()), S_OK);
  std::shared_ptr<TNavigateItem> handed =
      platform::TakeObject<TNavigateItem>(static_cast<platform::ObjectId>(request.raw().lVal));
  ASSERT_TRUE(handed);
  EXPECT_EQ(handed->Item->URL(), u"http://site.test/login");
  ASSERT_EQ(handed->Item->FieldCount(), 1);
  EXPECT_EQ(handed->Item->GetField(0)->Value, u"ann");
  platform::browser::InProcessBrowser::Instance().CloseAll();
  CoUninitialize();
}

// After Logout, the next protected action asks for the master password again.
TEST_F(MenuDispatcherTest, LogoutMakesTheNextProtectedActionAsk) {
  SecurityLevel = kSecurityOnce;
  UnlockTime = 45000.0;
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  form.Dispatcher().Dispatch({15, 0, 0, 0, 0, u"", u"", u""});
  form.Dispatcher().Dispatch({44, 0, 0, 0, 0, u"", u"", u""});
  form.Dispatcher().Dispatch({15, 0, 0, 0, 0, u"", u"", u""});
  EXPECT_EQ(launcher.Opened, (std::vector<std::string>{"history browser", "vault password"}));
}

}  // namespace
