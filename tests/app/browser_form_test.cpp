// The bookmark and history browser, opened through the program's launcher and worked
// with the mouse and the keyboard.
#include "app/browser_form.h"

#include <gtest/gtest.h>

#include "app/list_changes.h"
#include "app/main_form.h"
#include "app/shell_windows.h"
#include "data/config.h"
#include "formfill/app_menus.h"
#include "formfill/ie_win.h"
#include "platform/browser/default_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/bstr.h"
#include "platform/com/variant.h"
#include "platform/win/menus.h"

namespace {

using namespace shell_test;
namespace boxes = platform::message_box_driver;

// A point of the tree's client area below the rows of every test.
constexpr int kBelowRows = 200;

class BrowserFormTest : public ShellWindowsTest {
 protected:
  void TearDown() override {
    input::ReleaseAll();
    input::RunPending();
    ShellWindowsTest::TearDown();
  }

  // A bookmark in a folder (-1: the top level) dated Day.
  TFormItem* AddBookmark(const std::u16string& caption, int folder, double day = 46000.5,
                         const std::u16string& url = u"http://site.test/login") {
    auto item = std::make_unique<TBookmarkItem>(BookmarkList.get());
    item->SetCaption(caption);
    item->SetURL(url);
    item->Date = day;
    item->IntValue = folder;
    return static_cast<TFormItem*>(BookmarkList->Add(std::move(item)));
  }
  TFormItem* AddRecord(const std::u16string& caption, double day, const std::u16string& url) {
    auto item = std::make_unique<TFormItem>(HistoryList.get());
    item->SetCaption(caption);
    item->SetURL(url);
    item->Date = day;
    return static_cast<TFormItem*>(HistoryList->Add(std::move(item)));
  }
  void Folders(std::initializer_list<const char16_t*> names) {
    for (const char16_t* name : names) BookmarkList->Strings.Add(name);
  }

  TBrowserForm* Open(TBrowserMode mode) {
    const bool bookmarks = mode == TBrowserMode::Bookmarks;
    EXPECT_TRUE(bookmarks ? launcher_.ShowBookmarkBrowser(0) : launcher_.ShowHistoryBrowser(0));
    input::RunPending();
    return SlotForm<TBrowserForm>(launcher_,
                                  bookmarks ? TDialogSlot::BookmarkBrowser : TDialogSlot::HistoryBrowser);
  }
  static TBrowserTree& TreeOf(TBrowserForm& form) {
    return form.Mode() == TBrowserMode::Bookmarks ? *form.TreeViewBookmark : *form.TreeViewHistory;
  }

  // The names in the order shown, children after their folder, indented by "  ".
  static std::vector<std::u16string> Shown(TBrowserForm& form) {
    std::vector<std::u16string> names;
    TBrowserTree& tree = TreeOf(form);
    for (PViewNode node = tree.GetFirst(); node != nullptr; node = tree.GetNext(node)) {
      names.push_back((node->Parent == tree.RootNode() ? u"" : u"  ") + form.Data(node)->Name);
    }
    return names;
  }
  static PViewNode Find(TBrowserForm& form, const std::u16string& name) {
    TBrowserTree& tree = TreeOf(form);
    for (PViewNode node = tree.GetFirst(); node != nullptr; node = tree.GetNext(node)) {
      if (form.Data(node)->Name == name) return node;
    }
    return nullptr;
  }
  // A point in the middle of the node's row (client coordinates), column 0.
  static POINT RowPoint(TBrowserForm& form, PViewNode node) {
    TBrowserTree& tree = TreeOf(form);
    return POINT{100, static_cast<int>(tree.GetDisplayTop(node)) + static_cast<int>(tree.DefaultNodeHeight()) / 2};
  }
  // A point on the node's text, where a press starts a drag.
  static POINT LabelPoint(TBrowserForm& form, PViewNode node) {
    const RECT r = TreeOf(form).GetDisplayRect(node, 0, true);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  static void ClickRow(TBrowserForm& form, const std::u16string& name) {
    const POINT p = RowPoint(form, Find(form, name));
    Click(TreeOf(form), p.x, p.y);
  }
  static std::vector<std::u16string> FolderNames() {
    std::vector<std::u16string> names;
    for (int i = 0; i < BookmarkList->Strings.GetCount(); ++i) names.push_back(BookmarkList->Strings.Get(i));
    return names;
  }
  static std::unique_ptr<TBookmarkItems> Saved() {
    auto saved = std::make_unique<TBookmarkItems>();
    EXPECT_TRUE(saved->LoadFromFile());
    return saved;
  }
  static void ClickToolButton(TToolButton& button) {
    TToolBar& bar = *button.ToolBar();
    int index = 0;
    while (index < bar.ButtonCount() && bar.Buttons(index) != &button) ++index;
    RECT r{};
    SendMessageW(bar.Handle(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    if (platform::test_clock::IsFrozen()) platform::test_clock::Advance(GetDoubleClickTime() + 1);
    input::Click(bar.Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2, VK_LBUTTON);
    input::RunPending();
  }

  TDialogLauncher launcher_;
  TMainForm main_{launcher_};
};

// --- loading and order --------------------------------------------------------------

// Folders first, then bookmarks, each group by name without regard to ASCII case; a
// bookmark of folder -1 is at the top level; names stay wide; site defaults are not
// shown.
TEST_F(BrowserFormTest, FoldersComeFirstAndNamesOrderWithoutAsciiCase) {
  Folders({u"work", u"\u00c4mter", u"Banks"});
  AddBookmark(u"zeta", -1);
  AddBookmark(u"\u00e9cole", -1);
  AddBookmark(u"Alpha", -1);
  AddBookmark(u"mail", 0);
  AddBookmark(u"Intranet", 0);
  AddBookmark(u"site default", -1)->SiteDefault = true;
  AddBookmark(u"bank \u65e5\u672c", 2);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  ASSERT_NE(form, nullptr);
  const std::vector<std::u16string> expected{u"Banks",   u"  bank \u65e5\u672c", u"work",  u"  Intranet",
                                             u"  mail",  u"\u00c4mter",          u"Alpha", u"zeta",
                                             u"\u00e9cole"};
  EXPECT_EQ(Shown(*form), expected);
  EXPECT_EQ(form->TreeViewBookmark->GetCellText(Find(*form, u"work"), 1), u"") << "a folder has no date";
  EXPECT_EQ(form->TreeViewBookmark->GetCellText(Find(*form, u"Alpha"), 2), u"http://site.test/login");
  EXPECT_EQ(GetWideControlText(form), u"Pellix - Bookmark Browser");
  EXPECT_EQ(form->TreeViewBookmark->FocusedNode(), Find(*form, u"Banks")) << "the first node is selected";
  EXPECT_TRUE(form->TreeViewBookmark->GetExpanded(Find(*form, u"work")));
  form->SetBounds(10, 20, 449, 500);
  EXPECT_EQ(form->Width(), 560) << "narrower than 450 is refused";
  EXPECT_EQ(form->Left(), 10);
  form->SetBounds(10, 20, 450, 300);
  EXPECT_EQ(form->Height(), 300);
  input::RunPending();
  EXPECT_EQ(form->closeButton->Left() + form->closeButton->Width(), form->Panel1->Width() - 20);
  const int forms = Screen().FormCount();
  BookmarkList->Strings.Add(u"later");
  EXPECT_TRUE(launcher_.ShowBookmarkBrowser(0));
  EXPECT_EQ(Screen().FormCount(), forms) << "the open window comes to the front";
  EXPECT_EQ(Find(*form, u"later"), nullptr) << "and is not reloaded";
}

// The controls follow the focused node: a folder, a bookmark, none.
TEST_F(BrowserFormTest, TheControlsFollowTheFocusedNode) {
  Folders({u"empty", u"full"});
  AddBookmark(u"inside", 1);
  AddBookmark(u"top", -1);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  struct Case {
    const char16_t* click;  // null: a right click below the rows
    bool open, edit, remove, renameFolder;
    const char16_t* openCaption;
    TUniPopupMenu* TBrowserForm::*menu;
  };
  const Case cases[] = {
      {u"empty", false, false, true, true, u"Open", &TBrowserForm::PopupMenuFolder},
      {u"full", true, false, true, true, u"Close", &TBrowserForm::PopupMenuFolder},
      {u"top", true, true, true, false, u"Open", &TBrowserForm::PopupMenuBookmark},
      {nullptr, false, false, false, false, u"Open", &TBrowserForm::PopupMenuOther},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.click != nullptr ? std::string(c.click, c.click + std::char_traits<char16_t>::length(c.click))
                                    : "none");
    if (c.click != nullptr) {
      ClickRow(*form, c.click);
    } else {
      input::Click(form->TreeViewBookmark->Handle(), 100, kBelowRows, VK_RBUTTON);
      input::RunPending();
      // The menu the click opened is closed again.
      input::Key(VK_ESCAPE);
      input::RunPending();
    }
    EXPECT_EQ(form->bookOpenButt->Enabled(), c.open);
    EXPECT_EQ(form->bookOpenButt->Caption(), c.openCaption);
    EXPECT_EQ(form->bookEditButt->Enabled(), c.edit);
    EXPECT_EQ(form->bookEditBookmark->Enabled(), c.edit);
    EXPECT_EQ(form->bookRemButt->Enabled(), c.remove);
    EXPECT_EQ(form->bookRenameFolder->Enabled(), c.renameFolder);
    EXPECT_FALSE(form->bookMoveButt->Enabled());
    EXPECT_EQ(form->TreeViewBookmark->PopupMenu, static_cast<TPopupMenu*>(form->*(c.menu)));
  }
}

// --- sorting the history ------------------------------------------------------------

// A header click sorts by its column, descending first, then flips; "Website" orders
// by name. Only bookmarks dated on or after the last clear of the history show, with an
// image and regular text.
TEST_F(BrowserFormTest, HeaderClicksSortTheHistoryByEachColumn) {
  ASSERT_TRUE(Config->WriteFloat(u"CLEAR_HIST", 46000.0));
  AddRecord(u"beta", 46003.5, u"http://a.test/");
  AddRecord(u"Alpha", 46001.5, u"http://c.test/");
  AddRecord(u"gamma", 46002.5, u"http://b.test/");
  AddBookmark(u"old bookmark", -1, 45999.5);
  AddBookmark(u"Delta", -1, 46004.5);
  TBrowserForm* form = Open(TBrowserMode::History);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(GetWideControlText(form), u"Pellix - History Browser");
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"Alpha", u"beta", u"Delta", u"gamma"}));
  const PViewNode delta = Find(*form, u"Delta");
  EXPECT_TRUE(form->Data(delta)->Bookmark);
  auto image = [&](PViewNode node) {
    bool ghosted = false;
    int index = -1;
    form->TreeViewHistory->OnGetImageIndex(form->TreeViewHistory, node, ikNormal, 0, ghosted, index);
    return index;
  };
  EXPECT_EQ(image(delta), 2);
  EXPECT_EQ(image(Find(*form, u"beta")), -1);
  struct Case {
    int x;  // in the header
    std::vector<std::u16string> order;
  };
  const Case cases[] = {
      {250, {u"Delta", u"beta", u"gamma", u"Alpha"}},  // Date, descending
      {250, {u"Alpha", u"gamma", u"beta", u"Delta"}},  // Date, ascending
      {400, {u"gamma", u"Delta", u"beta", u"Alpha"}},  // Website orders by name
      {50, {u"Alpha", u"beta", u"Delta", u"gamma"}},  // Name: the direction flips whatever the column
      {50, {u"gamma", u"Delta", u"beta", u"Alpha"}},
  };
  for (const Case& c : cases) {
    if (platform::test_clock::IsFrozen()) platform::test_clock::Advance(GetDoubleClickTime() + 1);
    input::Click(form->TreeViewHistory->Handle(), c.x, -8, VK_LBUTTON);
    input::RunPending();
    EXPECT_EQ(Shown(*form), c.order) << "header clicked at " << c.x;
  }
}

// "Remove" drops its menu down: a history record is removed from the history after a
// question, a bookmark from the bookmarks; "Clear Form History" empties the history
// and, with nothing left to show, turns itself off.
TEST_F(BrowserFormTest, HistoryRecordsAndBookmarksAreRemovedAndTheHistoryCleared) {
  AddRecord(u"news", 46001.5, u"http://news.test/");
  AddRecord(u"shop", 46002.5, u"http://shop.test/");
  AddBookmark(u"mail", -1, 46003.5);
  TBrowserForm* form = Open(TBrowserMode::History);
  ClickRow(*form, u"news");
  EXPECT_TRUE(form->remHist->Enabled());
  EXPECT_FALSE(form->remBook->Enabled());
  EXPECT_FALSE(form->remBookVault->Enabled());
  boxes::Answer(IDYES);
  platform::menu_driver::Pick({0});
  ClickToolButton(*form->histRemButt);
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text, u"Are you sure you want to delete the form \"news\" from the Form History?");
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"mail", u"shop"}));
  EXPECT_EQ(HistoryList->Count(), 1);

  ClickRow(*form, u"mail");
  EXPECT_FALSE(form->remHist->Enabled());
  EXPECT_TRUE(form->remBook->Enabled());
  EXPECT_FALSE(form->histSaveButt->Enabled()) << "a bookmark is saved already";
  boxes::Answer(IDYES);
  platform::menu_driver::Pick({1});
  ClickToolButton(*form->histRemButt);
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"shop"}));
  EXPECT_EQ(BookmarkList->Count(), 0);

  boxes::Answer(IDYES);
  Click(*form->clearHistButton);
  ASSERT_EQ(boxes::Shown().size(), 3u);
  EXPECT_EQ(HistoryList->Count(), 0);
  EXPECT_TRUE(Shown(*form).empty());
  EXPECT_FALSE(form->clearHistButton->Enabled());
  EXPECT_FALSE(form->histOpenButt->Enabled());
  // Its own changes are no change made elsewhere.
  Click(*form->TreeViewHistory, 100, kBelowRows);
  platform::test_clock::Advance(2000);
  Application->ProcessMessages();
  EXPECT_EQ(boxes::Shown().size(), 3u);
}

// --- renaming -----------------------------------------------------------------------

// F2 renames a bookmark in place (wide text); the list is saved and the tree sorted; a
// folder renamed by a second click on it renames the folder name.
TEST_F(BrowserFormTest, RenamingInPlaceSavesTheNewName) {
  Folders({u"Mail"});
  AddBookmark(u"zulu", -1);
  AddBookmark(u"Yankee", -1);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  ClickRow(*form, u"zulu");
  input::Key(VK_F2);
  input::RunPending();
  ASSERT_TRUE(form->TreeViewBookmark->IsEditing());
  input::Chord({VK_CONTROL, 'A'});
  input::Type(u"\u00c4rger\n");
  input::RunPending();
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"Mail", u"Yankee", u"\u00c4rger"}));
  EXPECT_EQ(form->TreeViewBookmark->FocusedNode(), Find(*form, u"\u00c4rger"));
  auto saved = Saved();
  ASSERT_EQ(saved->Count(), 2);
  EXPECT_EQ(saved->Item(0)->Caption(), u"\u00c4rger");

  ClickRow(*form, u"Mail");
  platform::test_clock::Advance(GetDoubleClickTime() + 1);
  const POINT p = RowPoint(*form, Find(*form, u"Mail"));
  input::Click(form->TreeViewBookmark->Handle(), p.x - 50, p.y, VK_LBUTTON);
  input::RunPending();
  platform::test_clock::Advance(form->TreeViewBookmark->EditDelay() + 10);
  Application->ProcessMessages();
  ASSERT_TRUE(form->TreeViewBookmark->IsEditing()) << "a second click on the focused node edits it";
  input::Chord({VK_CONTROL, 'A'});
  input::Type(u"Post\n");
  input::RunPending();
  EXPECT_EQ(Saved()->Strings.Get(0), u"Post");
}

// --- moving -------------------------------------------------------------------------

// A bookmark dragged with the mouse onto a folder goes into it; onto a bookmark of the
// same folder nothing changes; onto a bookmark of another folder it moves there. A
// folder cannot be dragged.
TEST_F(BrowserFormTest, DraggingABookmarkMovesItIntoTheFolderUnderTheDrop) {
  Folders({u"Banks", u"Shops"});
  AddBookmark(u"bank one", 0);
  AddBookmark(u"shop one", 1);
  AddBookmark(u"loose", -1);
  AddBookmark(u"stray", -1);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  TBrowserTree& tree = *form->TreeViewBookmark;
  auto drag = [&](const std::u16string& from, const std::u16string& to) {
    ClickRow(*form, from);
    const HWND window = tree.Handle();
    const POINT a = LabelPoint(*form, Find(*form, from));
    const POINT b = LabelPoint(*form, Find(*form, to));
    // A while after the click, so that the press is no double click.
    platform::test_clock::Advance(GetDoubleClickTime() + 1);
    // The pointer moves in steps that the program takes one by one, as a hand moves it.
    input::MoveTo(input::ScreenPoint(window, a.x, a.y));
    input::Press(VK_LBUTTON);
    input::RunPending();
    for (int step = 1; step <= 3; ++step) {
      input::MoveTo(input::ScreenPoint(window, a.x + (b.x - a.x) * step / 3, a.y + (b.y - a.y) * step / 3));
      input::RunPending();
    }
    input::Release(VK_LBUTTON);
    input::RunPending();
  };
  auto folderOf = [](const std::u16string& caption) {
    for (int i = 0; i < BookmarkList->Count(); ++i) {
      if (BookmarkList->Item(i)->Caption() == caption) return BookmarkList->Item(i)->IntValue;
    }
    return -99;
  };
  drag(u"loose", u"stray");
  EXPECT_EQ(folderOf(u"loose"), -1) << "same folder: nothing changes";
  drag(u"loose", u"Shops");
  EXPECT_EQ(folderOf(u"loose"), 1);
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"Banks", u"  bank one", u"Shops", u"  loose",
                                                       u"  shop one", u"stray"}));
  ClickRow(*form, u"stray");
  input::Chord({VK_CONTROL, 'X'});
  input::RunPending();
  ASSERT_TRUE(form->Data(Find(*form, u"stray"))->Cut);
  drag(u"stray", u"bank one");
  EXPECT_EQ(folderOf(u"stray"), 0) << "onto a bookmark of another folder";
  EXPECT_FALSE(form->Data(Find(*form, u"stray"))->Cut) << "a drag over the tree clears the cut mark";
  drag(u"Banks", u"Shops");
  EXPECT_EQ(Find(*form, u"Banks")->Parent, tree.RootNode()) << "a folder is not dragged";
  // Into a closed folder, which opens: the controls stay with the moved bookmark.
  tree.SetExpanded(Find(*form, u"Banks"), false);
  drag(u"loose", u"Banks");
  EXPECT_EQ(folderOf(u"loose"), 0);
  EXPECT_TRUE(tree.GetExpanded(Find(*form, u"Banks")));
  EXPECT_EQ(tree.FocusedNode(), Find(*form, u"loose"));
  EXPECT_TRUE(form->bookEditButt->Enabled());
  auto saved = Saved();
  for (int i = 0; i < saved->Count(); ++i) {
    if (saved->Item(i)->Caption() == u"stray") {
      EXPECT_EQ(saved->Item(i)->IntValue, 0);
    }
  }
}

// Ctrl+X marks a bookmark, Ctrl+V on a folder moves it there and clears the mark; a
// folder cannot be cut and Ctrl+V with nothing cut does nothing; "Paste" over no node
// moves the cut bookmark to the top level.
TEST_F(BrowserFormTest, CutAndPasteMoveABookmark) {
  Folders({u"Shops"});
  AddBookmark(u"loose", -1);
  AddBookmark(u"inside", 0);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  const std::vector<std::u16string> start{u"Shops", u"  inside", u"loose"};
  ClickRow(*form, u"Shops");
  input::Chord({VK_CONTROL, 'X'});
  input::Chord({VK_CONTROL, 'V'});
  input::RunPending();
  EXPECT_EQ(Shown(*form), start) << "a folder is not cut; nothing to paste";
  ClickRow(*form, u"loose");
  input::Chord({VK_CONTROL, 'X'});
  input::RunPending();
  EXPECT_TRUE(form->Data(Find(*form, u"loose"))->Cut);
  ClickRow(*form, u"Shops");
  input::Chord({VK_CONTROL, 'V'});
  input::RunPending();
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"Shops", u"  inside", u"  loose"}));
  EXPECT_FALSE(form->Data(Find(*form, u"loose"))->Cut);
  EXPECT_EQ(Saved()->Item(0)->IntValue, 0);

  ClickRow(*form, u"inside");
  input::Chord({VK_CONTROL, 'X'});
  input::RunPending();
  // "Paste" of the menu over no node (its first entry shown; "Arrange by" is hidden).
  input::RightClickAndPick(form->TreeViewBookmark->Handle(), 100, kBelowRows, {0});
  input::RunPending();
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"Shops", u"  loose", u"inside"}));
}

// --- deleting -----------------------------------------------------------------------

// Delete asks first; No keeps the bookmark, Yes deletes and saves it. Deleting a folder
// deletes its bookmarks and renumbers the later folders in the list and in the tree.
TEST_F(BrowserFormTest, DeleteAsksAndDeletesFoldersWithTheirBookmarks) {
  Folders({u"A", u"B", u"C"});
  AddBookmark(u"in a", 0);
  AddBookmark(u"in b", 1);
  AddBookmark(u"in c", 2);
  AddBookmark(u"top", -1);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  ClickRow(*form, u"top");
  boxes::Answer(IDNO);
  input::Key(VK_DELETE);
  input::RunPending();
  EXPECT_NE(Find(*form, u"top"), nullptr);
  boxes::Answer(IDYES);
  input::Key(VK_DELETE);
  input::RunPending();
  ASSERT_EQ(boxes::Shown().size(), 2u);
  EXPECT_EQ(boxes::Shown()[1].Text, u"Are you sure you want to delete the \"top\" bookmark?");
  EXPECT_EQ(Find(*form, u"top"), nullptr);
  EXPECT_EQ(Saved()->Count(), 3);

  ClickRow(*form, u"B");
  boxes::Answer(IDYES);
  ClickToolButton(*form->bookRemButt);
  ASSERT_EQ(boxes::Shown().size(), 3u);
  EXPECT_EQ(boxes::Shown()[2].Text, u"Are you sure you want to remove selected folder?");
  EXPECT_EQ(FolderNames(), (std::vector<std::u16string>{u"A", u"C"}));
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"A", u"  in a", u"C", u"  in c"}));
  EXPECT_EQ(form->Data(Find(*form, u"C"))->FolderIndex, 1);
  auto saved = Saved();
  ASSERT_EQ(saved->Count(), 2);
  for (int i = 0; i < saved->Count(); ++i) {
    EXPECT_EQ(saved->Item(i)->IntValue, saved->Item(i)->Caption() == u"in a" ? 0 : 1);
  }
}

// A record deleted elsewhere (the tray menu) while the window is open is not touched:
// renaming its node changes and saves nothing.
TEST_F(BrowserFormTest, ARecordDeletedElsewhereIsLeftAlone) {
  AddBookmark(u"gone", -1);
  AddBookmark(u"kept", -1);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  {
    TListChange change(BookmarkList.get());
    BookmarkList->Delete(0);
  }
  form->TreeViewBookmark->SetCellText(Find(*form, u"gone"), 0, u"renamed");
  ASSERT_EQ(BookmarkList->Count(), 1);
  EXPECT_EQ(BookmarkList->Item(0)->Caption(), u"kept");
  EXPECT_EQ(Find(*form, u"renamed"), nullptr);
}

// --- creating -----------------------------------------------------------------------

// A new bookmark takes the clipboard's text as its address only when it starts with
// "www.", "http://" or "https://" exactly.
TEST_F(BrowserFormTest, ANewBookmarkTakesAnAddressFromTheClipboard) {
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  struct Case {
    const char16_t* clipboard;
    const char16_t* url;
  };
  const Case cases[] = {{u"https://bank.test/", u"https://bank.test/"},
                        {u"www.shop.test", u"www.shop.test"},
                        {u"ftp://files.test/", u""},
                        {u"HTTPS://BANK.TEST/", u""}};
  int added = 0;
  for (const Case& c : cases) {
    ASSERT_TRUE(OpenClipboard(0));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, platform::win::NewTextBlock(std::u16string_view(c.clipboard)));
    CloseClipboard();
    std::u16string seen;
    platform::modal_driver::Answer([&](TCustomForm& editor) {
      seen = dynamic_cast<TUniEdit*>(editor.FindComponent("webEdit"))->Text();
      SetWideControlText(dynamic_cast<TUniEdit*>(editor.FindComponent("recEdit")), u"new");
      editor.ModalResult = mrOk;
    });
    form->CreateNewBookmark();
    ++added;
    EXPECT_EQ(seen, c.url);
  }
  EXPECT_EQ(BookmarkList->Count(), added);
}

// --- editing ------------------------------------------------------------------------

// A double click on a bookmark, or Enter on a history record, opens the record editor;
// what it saves goes to the list, the file and the row.
TEST_F(BrowserFormTest, TheRecordEditorChangesTheRecordAndItsRow) {
  AddBookmark(u"bank", -1);
  AddRecord(u"shop", 46001.5, u"http://shop.test/");
  auto saveAs = [](const std::u16string& caption) {
    platform::modal_driver::Answer([caption](TCustomForm& editor) {
      SetWideControlText(dynamic_cast<TUniEdit*>(editor.FindComponent("recEdit")), caption);
      dynamic_cast<TUniButton*>(editor.FindComponent("butSave"))->Click();
    });
  };
  TBrowserForm* bookmarks = Open(TBrowserMode::Bookmarks);
  const POINT row = RowPoint(*bookmarks, Find(*bookmarks, u"bank"));
  saveAs(u"Bank \u00fc");
  platform::test_clock::Advance(GetDoubleClickTime() + 1);
  input::DoubleClick(input::ScreenPoint(bookmarks->TreeViewBookmark->Handle(), row.x, row.y), VK_LBUTTON);
  input::RunPending();
  EXPECT_EQ(BookmarkList->Item(0)->Caption(), u"Bank \u00fc");
  EXPECT_NE(Find(*bookmarks, u"Bank \u00fc"), nullptr);
  EXPECT_EQ(Saved()->Item(0)->Caption(), u"Bank \u00fc");

  TBrowserForm* history = Open(TBrowserMode::History);
  ClickRow(*history, u"shop");
  saveAs(u"Shop \u00e4");
  input::Key(VK_RETURN);
  input::RunPending();
  EXPECT_EQ(HistoryList->Item(0)->Caption(), u"Shop \u00e4");
  EXPECT_NE(Find(*history, u"Shop \u00e4"), nullptr);
  THistoryItems saved;
  ASSERT_TRUE(saved.LoadFromFile());
  ASSERT_EQ(saved.Count(), 1);
  EXPECT_EQ(saved.Item(0)->Caption(), u"Shop \u00e4");
}

// "Save" keeps a history record as a bookmark under the name given in the bookmark
// form; the history shows it as a bookmark then.
TEST_F(BrowserFormTest, SaveKeepsAHistoryRecordAsABookmark) {
  AddRecord(u"shop", 46001.5, u"http://shop.test/");
  TBrowserForm* form = Open(TBrowserMode::History);
  ClickRow(*form, u"shop");
  EXPECT_TRUE(form->histSaveButt->Enabled());
  platform::modal_driver::Answer([](TCustomForm& bookmarkForm) {
    SetWideControlText(dynamic_cast<TUniEdit*>(bookmarkForm.FindComponent("txtCaption")), u"Shop \u00f6");
    dynamic_cast<TUniButton*>(bookmarkForm.FindComponent("butSave"))->Click();
  });
  ClickToolButton(*form->histSaveButt);
  ASSERT_EQ(BookmarkList->Count(), 1);
  EXPECT_EQ(BookmarkList->Item(0)->Caption(), u"Shop \u00f6");
  const PViewNode saved = Find(*form, u"Shop \u00f6");
  ASSERT_NE(saved, nullptr);
  EXPECT_TRUE(form->Data(saved)->Bookmark);
  EXPECT_EQ(Saved()->Count(), 1);
}

// --- opening ------------------------------------------------------------------------

// "Open with Submit" opens the focused bookmark in a new window of the program's
// browser, which holds the request to fill and submit it.
TEST_F(BrowserFormTest, OpeningABookmarkNavigatesANewBrowserWindow) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  ASSERT_TRUE(SUCCEEDED(platform::browser::InstallBrowser()));
  auto pages = std::make_shared<platform::browser::PageMap>();
  pages->Add(u"http://site.test/login", "<form name=login><input name=user></form>");
  platform::browser::InProcessBrowser::Instance().SetPages(pages);
  AddBookmark(u"login", -1);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  ClickRow(*form, u"login");
  form->UniPopupMenu1->Items()->Items(0)->Click();
  auto windows = platform::browser::InProcessBrowser::Instance().Windows();
  ASSERT_EQ(windows.size(), 1u);
  ASSERT_EQ(platform::browser::WaitIdle(windows[0].get()), S_OK);
  platform::com::BString url;
  ASSERT_EQ(windows[0]->get_LocationURL(url.Put()), S_OK);
  EXPECT_EQ(url.Text(), u"http://site.test/login");
  platform::com::Variant action, request;
  ASSERT_EQ(windows[0]->GetProperty(platform::com::BString(formfill::kNavActionProperty).get(), action.Put()), S_OK);
  EXPECT_EQ(action.AsText(), u"2");
  ASSERT_EQ(windows[0]->GetProperty(platform::com::BString(formfill::kNavObjProperty).get(), request.Put()), S_OK);
  EXPECT_TRUE(platform::TakeObject<TNavigateItem>(static_cast<platform::ObjectId>(request.raw().lVal)));
  platform::browser::InProcessBrowser::Instance().CloseAll();
  CoUninitialize();
}

// --- reloading ----------------------------------------------------------------------

// A change made elsewhere is noticed once the window is activated again: a notice, then
// a reload. The window's own saves are no change made elsewhere.
TEST_F(BrowserFormTest, AChangeMadeElsewhereReloadsOnTheNextActivation) {
  AddBookmark(u"first", -1);
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  ClickRow(*form, u"first");
  input::Key(VK_F2);
  input::Type(u"mine\n");
  input::RunPending();
  platform::test_clock::Advance(1000);
  Application->ProcessMessages();
  EXPECT_TRUE(boxes::Shown().empty());
  TForm other(nullptr);
  other.Show();
  input::RunPending();
  platform::test_clock::Advance(50);
  AddBookmark(u"theirs", -1);
  ASSERT_TRUE(SaveListLocked(*BookmarkList));
  platform::test_clock::Advance(1000);
  Application->ProcessMessages();
  EXPECT_TRUE(boxes::Shown().empty()) << "not activated since";
  Click(*form->TreeViewBookmark, 100, kBelowRows);
  SetForegroundWindow(other.Handle());
  input::RunPending();
  platform::test_clock::Advance(1000);
  Application->ProcessMessages();
  EXPECT_TRUE(boxes::Shown().empty()) << "deactivated again before the check";
  Click(*form->TreeViewBookmark, 100, kBelowRows);
  platform::test_clock::Advance(1000);
  Application->ProcessMessages();
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text,
            u"Data Reload\r\n\r\nData has been changed. Your Bookmark Browser needs to reload all data.");
  EXPECT_EQ(boxes::Shown()[0].Caption, u"Pellix");
  EXPECT_EQ(Shown(*form), (std::vector<std::u16string>{u"mine", u"theirs"}));
}

// --- pictures -----------------------------------------------------------------------

TEST_F(BrowserFormTest, BookmarkBrowserPicture) {
  Folders({u"Banks", u"Shops \u00e4"});
  AddBookmark(u"Bank \u20ac", 0);
  AddBookmark(u"Mail", -1, 46001.5, u"https://mail.test/login");
  TBrowserForm* form = Open(TBrowserMode::Bookmarks);
  EXPECT_EQ(Picture(*form, "bookmark_browser.png"), "");
}

TEST_F(BrowserFormTest, HistoryBrowserPicture) {
  AddRecord(u"Shop \u00e4", 46001.5, u"https://shop.test/cart");
  AddRecord(u"News", 46002.5, u"https://news.test/");
  AddBookmark(u"Mail", -1, 46003.5, u"https://mail.test/login");
  TBrowserForm* form = Open(TBrowserMode::History);
  EXPECT_EQ(Picture(*form, "history_browser.png"), "");
}

}  // namespace
