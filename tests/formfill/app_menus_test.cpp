#include "formfill/app_menus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "common/test_env.h"
#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"

namespace {

// Thursday 10 December 2026, noon.
double Today() {
  SYSTEMTIME st{2026, 12, 4, 10, 12, 0, 0, 0};
  return platform::EncodeDateTime(st);
}

// Commands whose Tag is a data item: the dump shows the item's caption instead of the id.
const std::set<int> kItemCommands = {1, 2, 3, 5, 6, 7, 8, 11, 12, 13, 28};

class AppMenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // History groups are named by dates in the user's locale: the dumps are those of "C".
    setenv("LC_ALL", "C", 1);
    platform::test_clock::Freeze(0, Today());
    BookmarkList = std::make_unique<TBookmarkItems>();
    HistoryList = std::make_unique<THistoryItems>();
    PasswordList = std::make_unique<TPasswordItems>();
    Identities = std::make_unique<TIdentities>();
    Identities->Lines.Add(u"Home=1");
    ActiveIdentityNo = u"1";
    MenuSettings = TMenuSettings{};
    TrayIconShown = true;
  }
  void TearDown() override {
    BookmarkList.reset();
    HistoryList.reset();
    PasswordList.reset();
    Identities.reset();
    ActiveIdentityNo.clear();
    StandaloneMode = false;
    InprocHostMode = false;
    platform::test_clock::Release();
    unsetenv("LC_ALL");
  }

  template <typename Item>
  static TDataItem* Add(TDataItems& list, const std::u16string& caption, double date = 0) {
    TDataItem* item = list.Add(std::make_unique<Item>(&list));
    item->SetCaption(caption);
    item->Date = date;
    return item;
  }
  TDataItem* Bookmark(const std::u16string& caption, int folder = -1, double date = 0) {
    TDataItem* item = Add<TBookmarkItem>(*BookmarkList, caption, date);
    item->IntValue = folder;
    return item;
  }

  // One line per item: indent, caption, flags ([x] disabled, [b] bold, [iN] image) and
  // the command text a click gives.
  std::string Dump(TMenuItem& parent, int depth = 0) {
    std::string out;
    for (int i = 0; i < parent.Count(); ++i) {
      TMenuItem* item = parent.Items(i);
      out += std::string(depth * 2, ' ') + platform::WideToUtf8(MenuItemCaption(item));
      if (!item->Enabled()) out += " [x]";
      if (item->Default()) out += " [b]";
      if (item->ImageIndex() >= 0) out += " [i" + std::to_string(item->ImageIndex()) + "]";
      if (item->OnClick) {
        events_.Command.clear();
        item->OnClick(item);
        std::string command = platform::WideToUtf8(events_.Command);
        const int number = CommandIdFromName(events_.Command.substr(0, events_.Command.find(u'_')));
        if (kItemCommands.count(number) != 0) {
          TDataItem* target = FindMenuItem(static_cast<std::int32_t>(item->Tag));
          command = command.substr(0, command.find('_')) + "_" +
                    (target ? platform::WideToUtf8(target->Caption()) : "?");
        }
        out += " = " + command;
      }
      out += "\n" + Dump(*item, depth + 1);
    }
    return out;
  }
  std::string Build(bool pageCommands) {
    BuildMainMenu(events_, menu_, pageCommands);
    return Dump(*menu_.Items());
  }
  // The dump of one top-level menu.
  std::string Top(bool pageCommands, int index) {
    BuildMainMenu(events_, menu_, pageCommands);
    return Dump(*menu_.Items()->Items(index));
  }

  TToolbarMenuEvents events_;
  TUniPopupMenu menu_{nullptr};
};

TEST(CommandTable, NamesAndNumbers) {
  struct Case {
    std::u16string name;
    int number;
  } cases[] = {{u"formfill", 1}, {u"FORMFILLSUBMIT", 2}, {u"Exit", 48}, {u"exit", 48}, {u"Settings", 37},
               {u"HideTray", 47}, {u"", 0}, {u"FormFil", 0}, {u"FormFill_12", 0}, {u"Nothing", 0}};
  for (const Case& c : cases) EXPECT_EQ(CommandIdFromName(c.name), c.number) << platform::WideToUtf8(c.name);
  // The names without a number are never found, also not through the empty name.
  for (int i : {0, 33, 34, 35, 36, 40, 41, 42}) EXPECT_TRUE(CommandNames[i].empty()) << i;
  int slots[TMenuEvents::kCount];
  for (int s = 0; s < TMenuEvents::kCount; ++s) slots[s] = CommandOfSlot(s);
  EXPECT_EQ(slots[0], 1);
  EXPECT_EQ(slots[29], 30);
  EXPECT_EQ(slots[30], 37);
  EXPECT_EQ(slots[33], 44);
  EXPECT_EQ(slots[36], 48);
  EXPECT_EQ(CommandOfSlot(37), 0);
  EXPECT_EQ(CommandOfSlot(-1), 0);
}

TEST(CutCaptionTest, Lengths) {
  struct Case {
    std::u16string in, out;
  } cases[] = {{std::u16string(42, u'a'), std::u16string(42, u'a')},
               {std::u16string(41, u'a'), std::u16string(41, u'a')},
               {std::u16string(43, u'a'), std::u16string(40, u'a') + u"..."},
               {u"", u" (empty)"},
               {u"   ", u" (empty)"},
               {u" x ", u" x "}};
  for (const Case& c : cases) EXPECT_EQ(CutCaption(c.in), c.out) << platform::WideToUtf8(c.in);
}

TEST_F(AppMenusTest, EmptyDataFloatingButtonMenu) {
  PasswordList.reset();
  EXPECT_EQ(Build(true),
            "Form Bookmarks\n"
            "  No Form Bookmarked Yet [x]\n"
            "  -\n"
            "  Create New Bookmark... = BookmarkCreate_0\n"
            "Form History\n"
            "  Form History is Empty [x]\n"
            "  -\n"
            "  Ignore List... = IgnoreList_0\n"
            "Identity\n"
            "  Active Identity: Home [x]\n"
            "  -\n"
            "  Fill Forms on Current Page Using This Identity Data = FillOpenForm_0\n"
            "  Edit Identity... = IdentityEdit_0\n"
            "  Identity Settings... = IdentitySettings_0\n"
            "  -\n"
            "  Create New Identity... = IdentityCreate_0\n"
            "Passwords\n"
            "  Generate a Password... = PasswordsGenerate_0\n"
            "  Recent Passwords\n"
            "  -\n"
            "  Browse Password History... = PasswordsBrowse_0\n"
            "-\n"
            "Settings... = Settings_0\n"
            "Help = Help_0\n"
            "About = About_0\n"
            "-\n"
            "Logout = Logoff_0\n"
            "Hide Tray Icon = HideTray_0\n");
}

TEST_F(AppMenusTest, TrayMenuLeavesOutPageCommandsAndSpecialModesAddExit) {
  TrayIconShown = false;
  StandaloneMode = true;
  const std::string tray = Build(false);
  EXPECT_EQ(tray.find("Create New Bookmark"), std::string::npos);
  EXPECT_EQ(tray.find("Fill Forms on Current Page"), std::string::npos);
  EXPECT_NE(tray.find("Show Tray Icon = ShowTray_0\n-\nExit = Exit_0\n"), std::string::npos) << tray;
}

TEST_F(AppMenusTest, BookmarksInFoldersAndOutOfRange) {
  BookmarkList->Strings.Add(u"Work");
  BookmarkList->Strings.Add(u"Empty");
  BookmarkList->Strings.Add(u"Shop");
  Bookmark(u"Mail", 0);
  Bookmark(u"Loose", -1);
  Bookmark(u"Beyond", 3)->VaultID = 2;
  Bookmark(u"Store", 2);
  Bookmark(u"Hidden", 0)->SiteDefault = true;
  EXPECT_EQ(Top(false, 0),
            "Work\n"
            "  Mail [i1]\n"
            "    Open without Submit = FormFill_Mail\n"
            "    Open with Submit = FormFillSubmit_Mail\n"
            "    Open without Filling = FormNoFill_Mail\n"
            "    -\n"
            "    Lock Bookmark to Vault... [x] = BookmarkVault_Mail\n"
            "    Delete Bookmark = BookmarkDelete_Mail\n"
            "    Edit Bookmark... = BookmarkEdit_Mail\n"
            "Shop\n"
            "  Store [i1]\n"
            "    Open without Submit = FormFill_Store\n"
            "    Open with Submit = FormFillSubmit_Store\n"
            "    Open without Filling = FormNoFill_Store\n"
            "    -\n"
            "    Lock Bookmark to Vault... [x] = BookmarkVault_Store\n"
            "    Delete Bookmark = BookmarkDelete_Store\n"
            "    Edit Bookmark... = BookmarkEdit_Store\n"
            "Loose [i1]\n"
            "  Open without Submit = FormFill_Loose\n"
            "  Open with Submit = FormFillSubmit_Loose\n"
            "  Open without Filling = FormNoFill_Loose\n"
            "  -\n"
            "  Lock Bookmark to Vault... [x] = BookmarkVault_Loose\n"
            "  Delete Bookmark = BookmarkDelete_Loose\n"
            "  Edit Bookmark... = BookmarkEdit_Loose\n"
            "Beyond [i0]\n"
            "  Open without Submit = FormFill_Beyond\n"
            "  Open with Submit = FormFillSubmit_Beyond\n"
            "  Open without Filling = FormNoFill_Beyond\n"
            "  -\n"
            "  Remove Bookmark from Vault... [x] = BookmarkUnvault_Beyond\n"
            "  Delete Bookmark = BookmarkDelete_Beyond\n"
            "  Edit Bookmark... = BookmarkEdit_Beyond\n"
            "-\n"
            "Browse Bookmarks... = BookmarksManage_0\n");
}

// The top-level shape of the history menu: entries of today, one separator, day groups
// for the last week, one shared "Older" group; bookmarks merged by date.
TEST_F(AppMenusTest, HistoryGroupsByDay) {
  const double today = Today();
  MenuSettings.HistoryDays = 30;
  MenuSettings.ClearHistory = today - 2;
  Add<TFormItem>(*HistoryList, u"Now", today);
  Add<TFormItem>(*HistoryList, u"Morning", today - 0.1);
  Add<TFormItem>(*HistoryList, u"Yday", today - 1);
  Add<TFormItem>(*HistoryList, u"Monday", today - 3);
  Add<TFormItem>(*HistoryList, u"Monday2", today - 3.2);
  Add<TFormItem>(*HistoryList, u"Old1", today - 9);
  Add<TFormItem>(*HistoryList, u"Old2", today - 20);
  Add<TFormItem>(*HistoryList, u"TooOld", today - 31);
  Add<TFormItem>(*HistoryList, u"Default", today)->SiteDefault = true;
  Bookmark(u"Saved", -1, today - 0.05);
  Bookmark(u"BeforeClear", -1, today - 2.5);
  BuildMainMenu(events_, menu_, true);
  std::string shape;
  TMenuItem* history = menu_.Items()->Items(1);
  for (int i = 0; i < history->Count(); ++i) {
    TMenuItem* item = history->Items(i);
    shape += platform::WideToUtf8(MenuItemCaption(item)) + (item->Default() ? " [b]" : "");
    for (int c = 0; c < item->Count(); ++c)
      if (item->Items(c)->Count() > 0) shape += " {" + platform::WideToUtf8(MenuItemCaption(item->Items(c))) + "}";
    shape += "\n";
  }
  EXPECT_EQ(shape,
            "Now (Not Saved) [b]\n"
            "Saved\n"
            "Morning (Not Saved) [b]\n"
            "-\n"
            "Yesterday {Yday (Not Saved)}\n"
            "12/07/26, Mon {Monday (Not Saved)} {Monday2 (Not Saved)}\n"
            "Older {Old1 (Not Saved)} {Old2 (Not Saved)}\n"
            "-\n"
            "Clear Form History\n"
            "Ignore List...\n"
            "Browse Form History...\n");
  EXPECT_EQ(Dump(*menu_.Items()->Items(1)->Items(0)),
            "Open without Submit = FormFill_Now\n"
            "Open with Submit = FormFillSubmit_Now\n"
            "Open without Filling = FormNoFill_Now\n"
            "-\n"
            "Save as Bookmark = HistAsBookmark_Now\n"
            "Remove from History = HistDelete_Now\n"
            "Edit History Record... [x] = HistEdit_Now\n");
}

TEST_F(AppMenusTest, IdentitiesAndRecentPasswords) {
  Identities->Lines.Add(u"#Work=2");
  Identities->Lines.Add(u"A very long identity name that goes past the limit=3");
  ActiveIdentityNo = u"2";
  for (int i = 0; i < 7; ++i) Add<TPasswordItem>(*PasswordList, u"site" + platform::AnsiToWide(std::to_string(i)));
  PasswordList->Item(1)->SiteDefault = true;
  EXPECT_EQ(Top(false, 2),
            "Active Identity: Work [x]\n"
            "-\n"
            "Edit Identity... = IdentityEdit_0\n"
            "Identity Settings... = IdentitySettings_0\n"
            "-\n"
            "More Identities\n"
            "  Switch to \"Home\" = IdentityActivate_0\n"
            "  Switch to \"Work\" [x] = IdentityActivate_1\n"
            "  Switch to \"A very long identity name that goes past...\" = IdentityActivate_2\n"
            "  -\n"
            "  Create New Identity... = IdentityCreate_0\n");
  EXPECT_EQ(Top(false, 3),
            "Generate a Password... = PasswordsGenerate_0\n"
            "Recent Passwords\n"
            "  site0 = PasswordsEdit_site0\n"
            "  site2 = PasswordsEdit_site2\n"
            "  site3 = PasswordsEdit_site3\n"
            "  site4 = PasswordsEdit_site4\n"
            "  site5 = PasswordsEdit_site5\n"
            "  -\n"
            "  Clear Password History [x]\n"
            "-\n"
            "Browse Password History... = PasswordsBrowse_0\n");
  PasswordList->Item(0)->SiteDefault = true;
  for (int i = 2; i < 7; ++i) PasswordList->Item(i)->SiteDefault = true;
  EXPECT_EQ(Top(false, 3),
            "Generate a Password... = PasswordsGenerate_0\n"
            "Recent Passwords\n"
            "  No Password Used Yet [x]\n"
            "-\n"
            "Browse Password History... = PasswordsBrowse_0\n");
}

TEST_F(AppMenusTest, NativeMenuCarriesTheWideCaptions) {
  const std::u16string caption = u"\u0417\u0430\u043a\u0430\u0437 \u2603";
  Bookmark(caption);
  BuildMainMenu(events_, menu_, false);
  BuildMainMenu(events_, menu_, false);  // a rebuild replaces every item
  ASSERT_EQ(menu_.Items()->Count(), 11);
  HMENU bookmarks = menu_.Items()->Items(0)->Handle();
  ASSERT_NE(bookmarks, 0);
  char16_t text[64] = {};
  const int length = GetMenuStringW(bookmarks, 0, text, 64, MF_BYPOSITION);
  EXPECT_EQ(platform::WideToUtf8(std::u16string(text, length)), platform::WideToUtf8(caption));
  EXPECT_EQ(GetMenuItemCount(menu_.Items()->Handle()), 11);
}

TEST_F(AppMenusTest, ItemIdsAnswerNothingOnceTheItemIsGone) {
  TDataItem* mail = Bookmark(u"Mail");
  const std::int32_t id = MenuItemId(mail);
  EXPECT_NE(id, 0);
  EXPECT_EQ(FindMenuItem(id), mail);
  EXPECT_EQ(MenuItemId(mail), id);
  BookmarkList->Delete(0);
  EXPECT_EQ(FindMenuItem(id), nullptr);
  BuildMainMenu(events_, menu_, true);  // drops the dead id
  for (std::int32_t hostile : {0, -1, id, id + 1000, 0x7fffffff}) EXPECT_EQ(FindMenuItem(hostile), nullptr) << hostile;
}

TEST(PasswordFieldMenu, Modes) {
  struct Case {
    int mode;
    std::string dump;
  } cases[] = {
      {2, "Show Password...[2] Edit Password...[3] Paste[4] - Password History...[5] "},
      {1, "Fill Password[1] Generate New Password[0] Open Password Generator...[3] Paste[4] - Password History...[5] "},
      {0, "Generate New Password[0] Open Password Generator...[3] Paste[4] - Password History...[5] "},
      {7, "Paste[4] - Password History...[5] "},
  };
  TContextMenuEvents events;
  int clicked = -1;
  for (int s = 0; s < TContextMenuEvents::kCount; ++s) events.Handlers[s] = [&clicked, s](TObject*) { clicked = s; };
  TUniPopupMenu menu(nullptr);
  menu.Items()->Add(new TUniMenuItem(menu.Items()));
  for (const Case& c : cases) {
    BuildPasswordFieldMenu(events, menu, c.mode, 77);
    std::string dump;
    for (int i = 0; i < menu.Items()->Count(); ++i) {
      TMenuItem* item = menu.Items()->Items(i);
      EXPECT_EQ(item->Tag, 77);
      dump += platform::WideToUtf8(MenuItemCaption(item));
      if (item->OnClick) {
        item->OnClick(item);
        dump += "[" + std::to_string(clicked) + "]";
      }
      dump += " ";
    }
    EXPECT_EQ(dump, c.dump) << c.mode;
  }
}

}  // namespace
