// The ignore list window, opened through the launcher and worked with the mouse.
#include "app/ignore_list_form.h"

#include <gtest/gtest.h>

#include "app/main_form.h"
#include "app/shell_windows.h"
#include "platform/base/clock.h"
#include "platform/win/common_controls.h"

namespace {

using namespace shell_test;
namespace boxes = platform::message_box_driver;

int RowY(int row) { return platform::win::kListHeaderHeight + platform::win::kListRowHeight * row + 3; }

class IgnoreListFormTest : public ShellWindowsTest {
 protected:
  // An entry added on a day of its own (the list puts every new entry on top).
  void AddOn(double day, const std::u16string& caption, const std::u16string& url, int kind) {
    platform::test_clock::Freeze(5000 + static_cast<ULONGLONG>(day) * 10, day);
    ASSERT_TRUE(IgnoreList->Add(caption, url, kind, u"f1", u"login"));
  }

  TIgnoreListForm* Open() {
    EXPECT_TRUE(launcher_.ShowIgnoreList(0));
    return SlotForm<TIgnoreListForm>(launcher_, TDialogSlot::IgnoreList);
  }

  std::vector<std::u16string> Captions(TIgnoreListForm& form) {
    std::vector<std::u16string> captions;
    TUniListItems& rows = form.ListViewIgnore->Items();
    for (int i = 0; i < rows.Count(); ++i) captions.push_back(rows.Item(i)->SubItems().Get(0));
    return captions;
  }

  TDialogLauncher launcher_;
};

// Entries added on different days list the newest first, whatever column is clicked;
// texts stay wide.
TEST_F(IgnoreListFormTest, TheNewestEntryComesFirstWhateverColumnIsClicked) {
  AddOn(46010.5, u"Mail \u65e5\u672c", u"https://mail.example/login", kIgnoreForm);
  AddOn(46030.5, u"News", u"https://news.example/", kIgnoreSite);
  AddOn(46020.5, u"Shop", u"https://shop.example/cart", kIgnorePage);
  TIgnoreListForm* form = Open();
  ASSERT_NE(form, nullptr);
  const std::vector<std::u16string> newestFirst{u"News", u"Shop", u"Mail \u65e5\u672c"};
  EXPECT_EQ(Captions(*form), newestFirst);
  TUniListItem* first = form->ListViewIgnore->Items().Item(0);
  EXPECT_EQ(first->SubItems().Get(1), u"All forms on this domain");
  EXPECT_EQ(first->SubItems().Get(2), u"news.example");
  EXPECT_EQ(form->ListViewIgnore->Items().Item(1)->SubItems().Get(1), u"All forms on this page");
  EXPECT_EQ(form->ListViewIgnore->Items().Item(2)->SubItems().Get(1), u"One form only");
  for (int x : {20, 150, 250, 380}) {
    Click(*form->ListViewIgnore, x, 5);
    EXPECT_EQ(Captions(*form), newestFirst) << "header clicked at " << x;
  }
  const int forms = Screen().FormCount();
  EXPECT_TRUE(launcher_.ShowIgnoreList(0));
  EXPECT_EQ(Screen().FormCount(), forms) << "the open window comes to the front";
}

TEST_F(IgnoreListFormTest, DeleteRecordAsksAndSaves) {
  AddOn(46010.5, u"Mail", u"https://mail.example/login", kIgnoreForm);
  AddOn(46020.5, u"Shop", u"https://shop.example/cart", kIgnorePage);
  TIgnoreListForm* form = Open();
  TUniListView& rows = *form->ListViewIgnore;
  EXPECT_FALSE(form->DeleteRecord1->Enabled()) << "no row selected";
  Click(rows, 20, RowY(1));
  boxes::Answer(IDNO);
  input::RightClickAndPick(rows.Handle(), 20, RowY(1), {0});
  input::RunPending();
  EXPECT_EQ(IgnoreList->Items().size(), 2u);
  platform::test_clock::Advance(1000);
  boxes::Answer(IDYES);
  input::RightClickAndPick(rows.Handle(), 20, RowY(1), {0});
  input::RunPending();
  ASSERT_EQ(boxes::Shown().size(), 2u);
  EXPECT_EQ(boxes::Shown()[1].Text, u"Are you sure you want to delete this record from the Ignore List?");
  EXPECT_EQ(boxes::Shown()[1].Caption, u"Pellix - Ignore List");
  EXPECT_EQ(boxes::Shown()[1].Type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
  ASSERT_EQ(IgnoreList->Items().size(), 1u);
  EXPECT_EQ(IgnoreList->Items()[0].Caption, u"Shop");
  EXPECT_EQ(Captions(*form), std::vector<std::u16string>{u"Shop"});
  TIgnoreList saved;
  ASSERT_TRUE(saved.LoadFromFile());
  ASSERT_EQ(saved.Items().size(), 1u);
  EXPECT_EQ(saved.Items()[0].Caption, u"Shop");
}

TEST_F(IgnoreListFormTest, ClearListEmptiesAndTurnsItselfOff) {
  AddOn(46010.5, u"Mail", u"https://mail.example/login", kIgnoreForm);
  AddOn(46020.5, u"Shop", u"https://shop.example/cart", kIgnorePage);
  TIgnoreListForm* form = Open();
  EXPECT_TRUE(form->btnClearList->Enabled());
  boxes::Answer(IDYES);
  Click(*form->btnClearList);
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text, u"Do you really want to delete all record from Ignore List?");
  EXPECT_TRUE(IgnoreList->Items().empty());
  EXPECT_EQ(form->ListViewIgnore->Items().Count(), 0);
  EXPECT_FALSE(form->btnClearList->Enabled());
  EXPECT_FALSE(form->ClearList1->Enabled());
  EXPECT_FALSE(form->DeleteRecord1->Enabled());
  TIgnoreList saved;
  ASSERT_TRUE(saved.LoadFromFile());
  EXPECT_TRUE(saved.Items().empty());
  // Its own save is no change made elsewhere.
  platform::test_clock::Advance(2000);
  app_.ProcessMessages();
  EXPECT_EQ(boxes::Shown().size(), 1u);
}

// An entry added elsewhere (the bookmark form's Cancel menu) while the window is open
// is noticed the next time the window is activated, and the rows reload.
TEST_F(IgnoreListFormTest, AnEntryAddedElsewhereReloadsOnTheNextActivation) {
  AddOn(46010.5, u"Mail", u"https://mail.example/login", kIgnoreForm);
  TIgnoreListForm* form = Open();
  platform::test_clock::Advance(1000);
  app_.ProcessMessages();
  EXPECT_TRUE(boxes::Shown().empty());
  TForm other(nullptr);
  other.Show();
  input::RunPending();
  platform::test_clock::Advance(50);
  ASSERT_TRUE(IgnoreList->Add(u"Shop", u"https://shop.example/cart", kIgnorePage, u"", u""));
  platform::test_clock::Advance(1000);
  app_.ProcessMessages();
  EXPECT_TRUE(boxes::Shown().empty()) << "not activated since";
  Click(*form->ListViewIgnore, 20, RowY(5));
  platform::test_clock::Advance(1000);
  app_.ProcessMessages();
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text, u"Data has been changed. Your Ignore List needs to reload all data.");
  EXPECT_EQ(boxes::Shown()[0].Type & MB_ICONERROR, MB_ICONERROR);
  EXPECT_EQ(form->ListViewIgnore->Items().Count(), 2);
}

TEST_F(IgnoreListFormTest, Picture) {
  AddOn(46010.5, u"Mail", u"https://mail.example/login", kIgnoreForm);
  AddOn(46020.5, u"Shop \u20ac", u"https://shop.example/cart", kIgnorePage);
  AddOn(46030.5, u"News", u"https://news.example/", kIgnoreSite);
  TIgnoreListForm* form = Open();
  EXPECT_EQ(Picture(*form, "ignore_list.png"), "");
}

}  // namespace

namespace {

// The menu commands of the running program open the windows through the program's own
// launcher.
TEST_F(UserListsTest, TheProgramsMenuCommandsOpenTheListAndPasswordWindows) {
  TDialogLauncher launcher;
  TMainForm main(launcher);
  struct Case {
    int command;
    TDialogSlot slot;
  };
  for (const Case& c : {Case{16, TDialogSlot::IgnoreList}, Case{27, TDialogSlot::PasswordGenerator},
                        Case{29, TDialogSlot::PasswordHistory}}) {
    TMenuRequest request;
    request.Command = c.command;
    main.Dispatcher().Dispatch(request);
    EXPECT_TRUE(launcher.IsOpen(c.slot)) << "command " << c.command;
  }
  EXPECT_EQ(launcher.Unavailable(), 0);
}

}  // namespace
