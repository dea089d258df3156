#include "platform/classlib/com_ctrls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/forms.h"
#include "platform/win/keyboard.h"
#include "platform/win/menus.h"

namespace {

// The window's own visible flag (the form itself is not shown).
bool Shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

LPARAM At(int x, int y) { return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))); }

// A windowed control whose window keeps a text (an edit stands in for it).
class TextBox : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::string ClassName() const override { return "TTextBox"; }
};

class ComCtrlsTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 400, 300);
    form_->HandleNeeded();
  }
  void TearDown() override {
    platform::menu_driver::Clear();
    form_.reset();
    delete app_;
  }
  template <typename T>
  T* Make() {
    auto* control = new T(form_.get());
    control->SetParent(form_.get());
    return control;
  }
  TListView* MakeList() {
    auto* list = Make<TListView>();
    list->SetBounds(0, 0, 300, 200);
    list->SetViewStyle(TViewStyle::vsReport);
    list->Columns().Add()->SetCaption("Date");
    list->Columns().Items(0)->SetWidth(120);
    list->Columns().Add()->SetCaption("Caption");
    return list;
  }
  static std::string WindowText(TListView* list, int index, int subItem) {
    char buffer[64] = {};
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = buffer;
    item.cchTextMax = 64;
    SendMessageA(list->Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  static std::vector<std::string> Captions(TListView* list) {
    std::vector<std::string> captions;
    for (int i = 0; i < list->Items().Count(); ++i) captions.push_back(list->Items().Item(i)->Caption());
    return captions;
  }
  TApplication* app_ = nullptr;
  std::unique_ptr<TForm> form_;
};

// --- list view ---------------------------------------------------------------------------

TEST_F(ComCtrlsTest, ItemTextsReachTheWindowThroughItsQuestions) {
  TListView* list = MakeList();
  TListItem* item = list->Items().Add();
  item->SetCaption("first");
  item->SubItems().Add("a");
  item->SubItems().Add("b");
  EXPECT_EQ(WindowText(list, 0, 0), "first");
  EXPECT_EQ(WindowText(list, 0, 2), "b");
  // Sub-items moved by an insertion or a deletion show in their new places.
  item->SubItems().Insert(0, "z");
  EXPECT_EQ(WindowText(list, 0, 1), "z");
  EXPECT_EQ(WindowText(list, 0, 3), "b");
  item->SubItems().Delete(0);
  EXPECT_EQ(WindowText(list, 0, 1), "a");
  EXPECT_EQ(WindowText(list, 0, 3), "");
  EXPECT_THROW(item->SubItems().Delete(5), EStringListError);
  // Column captions reach the window.
  char column[16] = {};
  LVCOLUMNA record{LVCF_TEXT, 0, 0, column, 16, 0};
  SendMessageA(list->Handle(), LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&record));
  EXPECT_STREQ(column, "Caption");
  EXPECT_THROW(list->Items().Item(3), EListError);
}

TEST_F(ComCtrlsTest, ItemsSortedByDataStayInTheCompareOrderAndAColumnClickSortsAgain) {
  TListView* list = MakeList();
  // Newest first, whatever the column (the ignore list's rule).
  list->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& compare) {
    long x = *static_cast<long*>(a->Data()), y = *static_cast<long*>(b->Data());
    compare = x > y ? -1 : x < y ? 1 : 0;
  };
  list->SetSortType(TSortType::stData);
  long dates[] = {20240101, 20250101, 20230101};
  for (long& date : dates) {
    TListItem* item = list->Items().Add();
    item->SetCaption(std::to_string(date));
    item->SetData(&date);
  }
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"20250101", "20240101", "20230101"}));
  std::vector<int> clicked;
  list->OnColumnClick = [&](TObject*, TListColumn* column) {
    clicked.push_back(column->Index());
    list->AlphaSort();
  };
  dates[2] = 20260101;  // changed behind the list: a click sorts again
  SendMessageA(list->Handle(), WM_LBUTTONDOWN, 0, At(130, 5));
  EXPECT_EQ(clicked, std::vector<int>{1});
  EXPECT_EQ(Captions(list).front(), "20230101");
}

TEST_F(ComCtrlsTest, SelectionChangesAreReportedAndItemsLiveWithTheirWindowItems) {
  TListView* list = MakeList();
  list->SetRowSelect(true);
  for (const char* text : {"a", "b", "c"}) list->AddItem(text, nullptr);
  std::vector<std::string> changes;
  list->OnChange = [&](TObject*, TListItem* item, TItemChange change) {
    if (change == TItemChange::ctState) changes.push_back(item->Caption());
  };
  SendMessageA(list->Handle(), WM_LBUTTONDOWN, 0, At(150, platform::win::kListHeaderHeight + platform::win::kListRowHeight + 2));
  ASSERT_NE(list->Selected(), nullptr);
  EXPECT_EQ(list->Selected()->Caption(), "b");
  EXPECT_EQ(changes, std::vector<std::string>{"b"});
  EXPECT_TRUE(list->Items().Item(1)->Focused());
  // Deleting through the window frees the item; the others keep their places.
  list->Items().Item(0)->Delete();
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(list->Items().Item(1)->Index(), 1);
  // A window made again keeps items, order, texts and selection.
  list->Items().Item(1)->SubItems().Add("sub");
  list->RecreateWnd();
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(WindowText(list, 1, 1), "sub");
  EXPECT_EQ(list->Selected()->Caption(), "b");
  list->Items().Clear();
  EXPECT_EQ(list->Items().Count(), 0);
  EXPECT_EQ(list->Selected(), nullptr);
}

TEST_F(ComCtrlsTest, CaptionsAreEditedInPlaceUnlessRefused) {
  TListView* list = MakeList();
  TListItem* item = list->Items().Add();
  item->SetCaption("old");
  auto edit = [&](const char* typed, int key) {
    if (!item->EditCaption()) return false;
    EXPECT_TRUE(list->IsEditing());
    auto window = static_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
    SetWindowTextA(window, typed);
    SendMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    return true;
  };
  ASSERT_TRUE(edit("new", VK_RETURN));
  EXPECT_EQ(item->Caption(), "new");
  EXPECT_FALSE(list->IsEditing());
  ASSERT_TRUE(edit("dropped", VK_ESCAPE));
  EXPECT_EQ(item->Caption(), "new");
  list->OnEdited = [](TObject*, TListItem*, std::string& text) { text += "!"; };
  ASSERT_TRUE(edit("changed", VK_RETURN));
  EXPECT_EQ(item->Caption(), "changed!");
  EXPECT_EQ(WindowText(list, 0, 0), "changed!");
  list->OnEditing = [](TObject*, TListItem*, bool& allow) { allow = false; };
  EXPECT_FALSE(item->EditCaption());
  EXPECT_EQ(item->Caption(), "changed!");
}

// --- tool bar ----------------------------------------------------------------------------

TEST_F(ComCtrlsTest, ToolButtonsClickAndDropTheirMenusDown) {
  auto* bar = Make<TToolBar>();
  bar->SetBounds(0, 0, 400, 60);
  bar->SetButtonWidth(60);
  bar->SetButtonHeight(40);
  bar->SetShowCaptions(true);
  TPopupMenu menu(nullptr);
  TMenuItem first(nullptr), second(nullptr);
  first.SetCaption("Open with Submit");
  second.SetCaption("Open without Submit");
  menu.Items()->Add(&first);
  menu.Items()->Add(&second);
  std::vector<std::string> log;
  second.OnClick = [&](TObject*) { log.push_back("menu"); };
  auto* open = new TToolButton(form_.get());
  open->SetCaption("Open");
  open->SetStyle(TToolButtonStyle::tbsDropDown);
  open->DropdownMenu = &menu;
  open->OnClick = [&](TObject*) { log.push_back("open"); };
  open->SetParent(bar);
  auto* sep = new TToolButton(form_.get());
  sep->SetStyle(TToolButtonStyle::tbsSeparator);
  sep->SetParent(bar);
  auto* edit = new TToolButton(form_.get());
  edit->SetCaption("Edit");
  edit->OnClick = [&](TObject*) { log.push_back("edit"); };
  edit->SetParent(bar);
  HWND window = bar->Handle();
  char text[16] = {};
  SendMessageA(window, TB_GETBUTTONTEXTA, static_cast<WPARAM>(edit->Command()), reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "Edit");
  auto click = [&](int x) {
    SendMessageA(window, WM_LBUTTONDOWN, 0, At(x, 10));
    SendMessageA(window, WM_LBUTTONUP, 0, At(x, 10));
  };
  click(10);
  platform::menu_driver::Pick({1});
  click(60 + platform::win::kDropDownArrowWidth - 2);  // the arrow
  RECT editRect;
  SendMessageA(window, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&editRect));
  click(editRect.left + 5);
  EXPECT_EQ(log, (std::vector<std::string>{"open", "menu", "edit"}));
  // A disabled button is not clicked; a caption change shows.
  edit->SetEnabled(false);
  click(editRect.left + 5);
  EXPECT_EQ(log.size(), 3u);
  edit->SetCaption("Change");
  SendMessageA(window, TB_GETBUTTONTEXTA, static_cast<WPARAM>(edit->Command()), reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "Change");
}

// --- page control ------------------------------------------------------------------------

TEST_F(ComCtrlsTest, PagesSwitchByTheirTabsUnlessTheControlRefuses) {
  auto* pages = Make<TPageControl>();
  pages->SetBounds(0, 0, 300, 200);
  std::vector<TTabSheet*> sheets;
  for (const char* caption : {"Personal", "Job"}) {
    auto* sheet = new TTabSheet(form_.get());
    sheet->SetCaption(caption);
    sheet->SetPageControl(pages);
    sheets.push_back(sheet);
  }
  HWND window = pages->Handle();
  EXPECT_EQ(pages->ActivePage(), sheets[0]);
  EXPECT_TRUE(Shown(sheets[0]->Handle()));
  int changes = 0;
  pages->OnChange = [&](TObject*) { ++changes; };
  RECT tab;
  SendMessageA(window, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
  SendMessageA(window, WM_LBUTTONDOWN, 0, At(tab.left + 2, tab.top + 2));
  EXPECT_EQ(pages->ActivePage(), sheets[1]);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(Shown(sheets[0]->Handle()));
  EXPECT_TRUE(Shown(sheets[1]->Handle()));
  RECT sheetRect, pageRect;
  GetWindowRect(sheets[1]->Handle(), &sheetRect);
  GetWindowRect(window, &pageRect);
  EXPECT_GT(sheetRect.top, pageRect.top + platform::win::kTabHeight);  // below the tabs
  pages->OnChanging = [](TObject*, bool& allow) { allow = false; };
  SendMessageA(window, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(pages->ActivePage(), sheets[1]);
  sheets[0]->SetCaption("Private");
  char text[16] = {};
  TCITEMA item{TCIF_TEXT, 0, 0, text, 16, 0, 0};
  SendMessageA(window, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, "Private");
}

// --- up-down -----------------------------------------------------------------------------

TEST_F(ComCtrlsTest, UpDownKeepsItsAssociatedTextInRange) {
  auto* text = Make<TextBox>();
  text->SetBounds(10, 10, 60, 20);
  auto* upDown = Make<TUpDown>();
  upDown->SetMin(5);
  upDown->SetMax(50);
  upDown->SetPosition(8);
  upDown->SetAssociate(text);
  EXPECT_EQ(text->Text(), "8");
  std::vector<TUDBtnType> clicks;
  upDown->OnClick = [&](TObject*, TUDBtnType button) { clicks.push_back(button); };
  SendMessageA(upDown->Handle(), WM_LBUTTONDOWN, 0, At(3, 2));
  EXPECT_EQ(upDown->Position(), 9);
  EXPECT_EQ(text->Text(), "9");
  text->SetText("x9");  // not a number: the last valid position stays
  EXPECT_EQ(upDown->Position(), 9);
  text->SetText("50");
  SendMessageA(upDown->Handle(), WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(upDown->Position(), 50);
  SendMessageA(upDown->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(upDown->Position(), 49);
  EXPECT_EQ(clicks, (std::vector<TUDBtnType>{TUDBtnType::btNext, TUDBtnType::btPrev}));
  upDown->OnChanging = [](TObject*, bool& allow) { allow = false; };
  SendMessageA(upDown->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(upDown->Position(), 49);
  EXPECT_THROW(upDown->SetAssociate(upDown), EInvalidOperation);
  // The associated control going away leaves the up-down alone.
  delete text;
  EXPECT_EQ(upDown->Associate(), nullptr);
  EXPECT_EQ(SendMessageA(upDown->Handle(), UDM_GETBUDDY, 0, 0), 0);
}

// A popup menu freed after the class library's list of them, as a static one is at
// process end, leaves the program without touching the freed list.
TEST(PopupMenuLifetime, AMenuFreedAfterTheListAtExitEndsCleanly) {
  EXPECT_EXIT(
      {
        static std::unique_ptr<TPopupMenu> late;
        late = std::make_unique<TPopupMenu>(nullptr);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
