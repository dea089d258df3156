#include "formfill/toolbar_menu.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "formfill/app_menus.h"
#include "platform/base/text.h"
#include "platform/com/class_table.h"
#include "platform/host/host_stand_in.h"
#include "tests/data/recording_app_services.h"

namespace {

std::string U8(const std::u16string& text) { return platform::WideToUtf8(text); }

TEST(MenuCaptionEscape, Table) {
  struct Case {
    std::u16string in, out;
  } cases[] = {
      {u"Plain", u"Plain"},
      {u"a=b", u"a-b"},
      {u"=", u" --"},
      {u"-", u" --"},
      {u"+Plus", u":+Plus"},
      {u"<Less", u":<Less"},
      {u"{Brace", u":{Brace"},
      {u"$Dollar", u":$Dollar"},
      {u"Time: 10", u":Time: 10"},
      {u":Lead", u":Lead"},
      {u"x+y<z{$", u"x+y<z{$"},
      {u"two\r\nlines", u"two  lines"},
      {u"\n+", u" +"},
      {u"a\r=null\r\n$", u"a -null  $"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(U8(EscapeMenuCaption(c.in)), U8(c.out)) << U8(c.in);
}

class ToolbarMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BookmarkList = std::make_unique<TBookmarkItems>();
    HistoryList = std::make_unique<THistoryItems>();
    PasswordList = std::make_unique<TPasswordItems>();
    FirstRunCompleted = true;
    services_.unlocked = true;
  }
  void TearDown() override {
    EXPECT_TRUE(WaitToolbarMenuRefresh(10000));
    if (platform::host::HostInstalled()) platform::host::UninstallHost();
    BookmarkList.reset();
    HistoryList.reset();
    PasswordList.reset();
    FirstRunCompleted = false;
    StandaloneMode = false;
  }
  TDataItem* Bookmark(const std::u16string& caption) {
    TDataItem* item = BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get()));
    item->SetCaption(caption);
    return item;
  }
  // The menu texts the host was given, oldest first.
  static std::vector<std::u16string> MenusGiven() {
    std::vector<std::u16string> menus;
    for (const platform::host::HostCall& call : platform::host::HostCalls()) {
      if (call.Slot != 31) continue;
      EXPECT_EQ(call.Args.size(), 4u);
      EXPECT_EQ(U8(call.Args[0]), "PELLIX");
      EXPECT_EQ(U8(call.Args[1]), "0");
      EXPECT_EQ(U8(call.Args[2]), "PELLIX");
      menus.push_back(call.Args.back());
    }
    return menus;
  }

  RecordingAppServices services_;
};

TEST_F(ToolbarMenuTest, SerializedMenuShape) {
  TDataItem* evil = Bookmark(u"+Evil\r\n$=x");
  PasswordList.reset();
  const std::string text = U8(SerializeMenu());
  const std::string id = std::to_string(MenuItemId(evil));
  const std::string expectedStart =
      "$\r\n"
      "+Form Bookmarks\r\n"
      "+:+Evil  $-x\r\n"
      "Open without Submit=FormFill_" + id + "\r\n"
      "Open with Submit=FormFillSubmit_" + id + "\r\n"
      "Open without Filling=FormNoFill_" + id + "\r\n"
      "-\r\n"
      "{Lock Bookmark to Vault...=null\r\n"
      "Delete Bookmark=BookmarkDelete_" + id + "\r\n"
      "Edit Bookmark...=BookmarkEdit_" + id + "\r\n"
      "<\r\n"
      "-\r\n"
      "Create New Bookmark...=BookmarkCreate_0\r\n"
      "Browse Bookmarks...=BookmarksManage_0\r\n"
      "<\r\n";
  EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
  // A submenu that stayed empty is a leaf; the identity line holds a colon after its start.
  EXPECT_NE(text.find("\r\nRecent Passwords=null\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n{:Active Identity:  (empty)=null\r\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("Logout=Logoff_0\r\nHide Tray Icon=HideTray_0\r\n") ||
              text.ends_with("Logout=Logoff_0\r\nShow Tray Icon=ShowTray_0\r\n"))
      << text;
}

TEST_F(ToolbarMenuTest, LockedAndBeforeTheWizardOnlyOneLine) {
  struct Case {
    bool firstRun, unlocked;
    std::string text;
  } cases[] = {{false, true, "Start After Install Wizard=AfterInstall"},
               {false, false, "Start After Install Wizard=AfterInstall"},
               {true, false, "Login=Login"}};
  for (const Case& c : cases) {
    FirstRunCompleted = c.firstRun;
    services_.unlocked = c.unlocked;
    EXPECT_EQ(U8(ToolbarMenuText()), c.text);
  }
  FirstRunCompleted = true;
  services_.unlocked = true;
  EXPECT_TRUE(U8(ToolbarMenuText()).starts_with("$\r\n+Form Bookmarks\r\n"));
}

TEST_F(ToolbarMenuTest, RefreshHandsTheLatestMenuToTheHost) {
  StartToolbarMenuRefresh();  // no host: ends quietly
  ASSERT_TRUE(WaitToolbarMenuRefresh(10000));
  ASSERT_TRUE(platform::host::InstallHost());
  platform::host::ClearHostCalls();
  for (int i = 0; i < 20; ++i) {
    {
      std::scoped_lock hold(DataLock);
      Bookmark(u"Mark" + platform::AnsiToWide(std::to_string(i)));
    }
    StartToolbarMenuRefresh();
  }
  ASSERT_TRUE(WaitToolbarMenuRefresh(10000));
  std::vector<std::u16string> menus = MenusGiven();
  ASSERT_FALSE(menus.empty());
  EXPECT_LE(menus.size(), 20u);
  // The last request is never dropped: the host ends with the menu of all twenty.
  EXPECT_EQ(menus.back(), SerializeMenu());
  EXPECT_NE(U8(menus.back()).find("+Mark19\r\n"), std::string::npos);

  platform::host::ClearHostCalls();
  StandaloneMode = true;
  StartToolbarMenuRefresh();
  EXPECT_FALSE(ToolbarMenuRefreshRunning());
  EXPECT_TRUE(MenusGiven().empty());
}

}  // namespace
