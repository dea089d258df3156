#include "controls/unicode/uni_com_ctrls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "controls/unicode/uni_system.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/menus.h"

namespace {

LPARAM At(int x, int y) { return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))); }

const std::u16string kOmega = u"\u03a9mega";           // no ANSI form: "?mega"
const std::u16string kRussian = u"\u0420\u0443\u0441";  // "???"

class UniComCtrlsTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    StartUniApplication();
    StartUniMenus();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 400, 300);
    form_->HandleNeeded();
  }
  void TearDown() override {
    platform::menu_driver::Clear();
    form_.reset();
    FinishUniMenus();
    FinishUniApplication();
    delete app_;
  }
  template <typename T>
  T* Make() {
    auto* control = new T(form_.get());
    control->SetParent(form_.get());
    return control;
  }
  TUniListView* MakeList(int width = 300, int height = 200) {
    auto* list = Make<TUniListView>();
    list->SetBounds(0, 0, width, height);
    list->SetViewStyle(TViewStyle::vsReport);
    list->SetRowSelect(true);
    return list;
  }
  static std::u16string WindowText(TUniListView* list, int index, int subItem) {
    char16_t buffer[64] = {};
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = buffer;
    item.cchTextMax = 64;
    SendMessageW(list->Handle(), LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  static std::u16string ColumnText(TUniListView* list, int index) {
    char16_t buffer[64] = {};
    LVCOLUMNW column{LVCF_TEXT, 0, 0, buffer, 64, 0};
    SendMessageW(list->Handle(), LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    return buffer;
  }
  TApplication* app_ = nullptr;
  std::unique_ptr<TForm> form_;
};

// --- list view ---------------------------------------------------------------------------

TEST_F(UniComCtrlsTest, WideTextsOfItemsAndColumnsSurviveTheEightBitCopies) {
  TUniListView* list = MakeList();
  EXPECT_TRUE(IsWindowUnicode(list->Handle()));
  EXPECT_EQ(SendMessageW(list->Handle(), CCM_GETUNICODEFORMAT, 0, 0), TRUE);
  TUniListColumn* column = list->Columns().Add();
  column->SetCaption(kRussian);
  TUniListItem* item = list->Items().Add();
  item->SetCaption(kOmega);
  item->SubItems().Add(kRussian);
  item->SubItems().Add(u"plain");
  // The window shows the wide texts; the class library holds their ANSI forms.
  EXPECT_EQ(WindowText(list, 0, 0), kOmega);
  EXPECT_EQ(WindowText(list, 0, 1), kRussian);
  EXPECT_EQ(WindowText(list, 0, 2), u"plain");
  EXPECT_EQ(ColumnText(list, 0), kRussian);
  EXPECT_EQ(item->TListItem::Caption(), "?mega");
  EXPECT_EQ(item->TListItem::SubItems().Strings(0), "???");
  EXPECT_EQ(column->TListColumn::Caption(), "???");
  // The class library setting a column to the ANSI form of its wide caption keeps it.
  column->TListColumn::SetCaption("Other");
  column->TListColumn::SetCaption("???");
  EXPECT_EQ(ColumnText(list, 0), u"???");
  column->SetCaption(kRussian);
  column->TListColumn::SetWidth(99);  // sends the same 8-bit text again
  EXPECT_EQ(ColumnText(list, 0), kRussian);
  // A changed 8-bit text is followed by the wide copies.
  item->TListItem::SetCaption("new");
  item->TListItem::SubItems().Put(1, "changed");
  EXPECT_EQ(item->Caption(), u"new");
  EXPECT_EQ(item->SubItems().Strings(1), u"changed");
  EXPECT_EQ(item->SubItems().Strings(0), kRussian);
  EXPECT_EQ(WindowText(list, 0, 2), u"changed");
  // Wide sub-item changes reach both sides; objects live on the 8-bit side.
  TObject marker;
  item->SubItems().InsertObject(0, kOmega, &marker);
  EXPECT_EQ(item->TListItem::SubItems().Count(), 3);
  EXPECT_EQ(item->TListItem::SubItems().Objects(0), &marker);
  EXPECT_EQ(item->SubItems().Objects(0), &marker);
  item->SubItems().Delete(0);
  EXPECT_EQ(WindowText(list, 0, 1), kRussian);
  item->SubItems().Clear();
  EXPECT_EQ(item->TListItem::SubItems().Count(), 0);
  EXPECT_EQ(WindowText(list, 0, 1), u"");
}

TEST_F(UniComCtrlsTest, WideTextsSurviveTheWindowsRecreation) {
  TUniListView* list = MakeList();
  list->Columns().Add()->SetCaption(kOmega);
  list->AddItem(kRussian, nullptr);
  list->Items().Item(0)->SubItems().Add(kOmega);
  list->Items().Item(0)->SetSelected(true);
  list->RecreateWnd();
  EXPECT_TRUE(IsWindowUnicode(list->Handle()));
  EXPECT_EQ(WindowText(list, 0, 0), kRussian);
  EXPECT_EQ(WindowText(list, 0, 1), kOmega);
  EXPECT_EQ(ColumnText(list, 0), kOmega);
  ASSERT_NE(list->Selected(), nullptr);
  EXPECT_EQ(list->Selected()->Caption(), kRussian);
}

TEST_F(UniComCtrlsTest, SortingWithoutACompareOrdersWideCaptions) {
  TUniListView* list = MakeList();
  // Their ANSI forms are all alike ("?"), so only the wide order can tell them apart.
  for (const char16_t* caption : {u"\u0432", u"\u0430", u"\u0431", u"b", u"a"}) list->AddItem(caption, nullptr);
  list->SetSortType(TSortType::stText);
  std::vector<std::u16string> order;
  for (int i = 0; i < list->Items().Count(); ++i) order.push_back(list->Items().Item(i)->Caption());
  EXPECT_EQ(order, (std::vector<std::u16string>{u"a", u"b", u"\u0430", u"\u0431", u"\u0432"}));
}

TEST_F(UniComCtrlsTest, OnCompareOrdersByDataAndAColumnClickKeepsTheOrder) {
  TUniListView* list = MakeList();
  list->Columns().Add()->SetCaption(u"Date");
  list->Columns().Items(0)->SetWidth(120);
  list->Columns().Add()->SetCaption(u"Caption");
  list->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& compare) {
    long x = *static_cast<long*>(a->Data()), y = *static_cast<long*>(b->Data());
    compare = x > y ? -1 : x < y ? 1 : 0;
  };
  list->OnColumnClick = [list](TObject*, TListColumn*) { list->AlphaSort(); };
  list->SetSortType(TSortType::stData);
  long dates[] = {2, 3, 1};
  const char16_t* captions[] = {kOmega.c_str(), kRussian.c_str(), u"x"};
  for (int i = 0; i < 3; ++i) list->AddItem(captions[i], &dates[i]);
  auto order = [&] {
    std::vector<std::u16string> result;
    for (int i = 0; i < 3; ++i) result.push_back(WindowText(list, i, 0));
    return result;
  };
  EXPECT_EQ(order(), (std::vector<std::u16string>{kRussian, kOmega, u"x"}));
  for (int x : {10, 130}) {
    SendMessageW(list->Handle(), WM_LBUTTONDOWN, 0, At(x, 4));
    EXPECT_EQ(order(), (std::vector<std::u16string>{kRussian, kOmega, u"x"}));
  }
}

TEST_F(UniComCtrlsTest, ItemClassesMustBeWide) {
  TUniListView* list = MakeList();
  list->OnCreateItemClass = [](TCustomListView*, TListItemClass& itemClass) {
    itemClass = [](TListItems* owner) { return std::make_unique<TListItem>(owner); };
  };
  try {
    list->Items().Add();
    FAIL() << "an 8-bit item class was taken";
  } catch (const EUniInternalError& error) {
    EXPECT_STREQ(error.what(), "Internal Error: OnCreateItemClass.ItemClass must inherit from TUniListItem.");
  }
  EXPECT_EQ(list->Items().Count(), 0);
}

TEST_F(UniComCtrlsTest, SelectionByKeysAndMouseReportsChanges) {
  TUniListView* list = MakeList();
  list->Columns().Add()->SetWidth(200);
  for (const char16_t* caption : {u"a", u"b", u"c"}) list->AddItem(caption, nullptr);
  std::vector<std::u16string> selected;
  list->OnChange = [&](TObject*, TListItem* item, TItemChange) {
    if (item->Selected()) selected.push_back(static_cast<TUniListItem*>(item)->Caption());
  };
  // As a user does: a click on the first row, then End and Up.
  form_->Show();
  namespace input = platform::input_driver;
  input::Click(list->Handle(), 20, platform::win::kListHeaderHeight + 2, VK_LBUTTON);
  input::Key(VK_END);
  input::Key(VK_UP);
  input::RunPending();
  EXPECT_EQ(selected, (std::vector<std::u16string>{u"a", u"c", u"b"}));
  EXPECT_EQ(list->Selected()->Caption(), u"b");
  TUniListView* other = MakeList();
  list->CopySelection(other);
  ASSERT_EQ(other->Items().Count(), 1);
  EXPECT_EQ(other->Items().Item(0)->Caption(), u"b");
}

TEST_F(UniComCtrlsTest, CaptionsAreEditedInWideText) {
  TUniListView* list = MakeList();
  list->Columns().Add()->SetWidth(150);
  list->AddItem(kRussian, nullptr);
  TUniListItem* item = list->Items().Item(0);
  form_->Show();
  namespace input = platform::input_driver;
  // A user edits the caption: the old text is selected, typing replaces it.
  auto edit = [&](const std::u16string& typed, int endKey) {
    ASSERT_TRUE(item->EditCaption());
    auto window = static_cast<HWND>(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
    EXPECT_TRUE(IsWindowUnicode(window));
    input::Type(typed);
    input::Key(endKey);
    input::RunPending();
  };
  edit(kOmega, VK_RETURN);
  EXPECT_EQ(item->Caption(), kOmega);
  EXPECT_EQ(WindowText(list, 0, 0), kOmega);
  // Escape leaves the item as it was.
  edit(u"dropped", VK_ESCAPE);
  EXPECT_EQ(item->Caption(), kOmega);
  // An 8-bit OnEdited that leaves the text alone keeps its wide characters; one that
  // changes it gives its own text.
  std::vector<std::string> seen;
  list->TCustomListView::OnEdited = [&](TObject*, TListItem*, std::string& text) {
    seen.push_back(text);
    if (text == "stop") text = "stopped";
  };
  edit(kRussian, VK_RETURN);
  EXPECT_EQ(item->Caption(), kRussian);
  edit(u"stop", VK_RETURN);
  EXPECT_EQ(item->Caption(), u"stopped");
  EXPECT_EQ(seen, (std::vector<std::string>{"???", "stop"}));
  // The wide OnEdited takes the place of the 8-bit one.
  list->OnEdited = [](TObject*, TListItem*, std::u16string& text) { text += u"\u2713"; };
  edit(kOmega, VK_RETURN);
  EXPECT_EQ(item->Caption(), kOmega + u"\u2713");
  EXPECT_EQ(seen.size(), 2u);
  // The list view's key events see the edit's keys first and may swallow them.
  list->OnKeyDown = [](TObject*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) key = 0;
  };
  ASSERT_TRUE(item->EditCaption());
  input::Key(VK_ESCAPE);
  input::RunPending();
  EXPECT_TRUE(list->IsEditing());
  list->OnKeyDown = nullptr;
  input::Key(VK_ESCAPE);
  input::RunPending();
  EXPECT_FALSE(list->IsEditing());
  // A read-only list view edits nothing.
  list->ReadOnly = true;
  EXPECT_FALSE(item->EditCaption());
}

TEST_F(UniComCtrlsTest, ARightClickSelectsTheRowAndOpensThePopupMenu) {
  TUniListView* list = MakeList();
  list->Columns().Add()->SetWidth(150);
  for (const char16_t* caption : {u"a", u"b"}) list->AddItem(caption, nullptr);
  TUniPopupMenu menu(nullptr);
  TUniMenuItem copy(nullptr), remove(nullptr);
  copy.SetCaption(u"Copy To Clipboard");
  remove.SetCaption(u"\u0423\u0434\u0430\u043b\u0438\u0442\u044c");
  menu.Items()->Add(&copy);
  menu.Items()->Add(&remove);
  std::vector<std::u16string> removed;
  remove.OnClick = [&](TObject*) { removed.push_back(list->Selected()->Caption()); };
  list->PopupMenu = &menu;
  form_->Show();
  platform::input_driver::RightClickAndPick(list->Handle(), 20, platform::win::kListHeaderHeight + platform::win::kListRowHeight + 3, {1});
  platform::input_driver::RunPending();
  EXPECT_EQ(removed, std::vector<std::u16string>{u"b"});
  EXPECT_EQ(menu.PopupComponent, list);
}

// A small report list: the header, wide texts in two columns, a selected row.
TEST_F(UniComCtrlsTest, ReportListPicture) {
  TUniListView* list = MakeList(200, 80);
  list->HideSelection = false;
  list->RecreateWnd();
  list->Columns().Add()->SetCaption(u"Date");
  list->Columns().Items(0)->SetWidth(70);
  list->Columns().Add()->SetCaption(u"\u0418\u043c\u044f");
  list->Columns().Items(1)->SetWidth(110);
  const char16_t* rows[][2] = {{u"01.02", kOmega.c_str()}, {u"03.04", u"Stra\u00dfe"}, {u"05.06", kRussian.c_str()}};
  for (auto& row : rows) {
    TUniListItem* item = list->Items().Add();
    item->SetCaption(row[0]);
    item->SubItems().Add(row[1]);
  }
  list->Items().Item(1)->SetSelected(true);
  form_->Show();
  UpdateWindow(list->Handle());
  auto picture = platform::gdi::WindowPicture(list->Handle());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "wide_report_list.png", 8), "");
}

// --- tool bar ----------------------------------------------------------------------------

TEST_F(UniComCtrlsTest, ToolButtonsShowWideCaptionsAndDropDownWideMenus) {
  auto* bar = Make<TUniToolBar>();
  bar->SetBounds(0, 0, 300, 60);
  bar->SetButtonWidth(79);
  bar->SetButtonHeight(60);
  bar->SetShowCaptions(true);
  TUniPopupMenu menu(nullptr);
  std::vector<std::unique_ptr<TUniMenuItem>> items;
  std::vector<int> picked;
  for (int tag = 0; tag < 3; ++tag) {
    items.push_back(std::make_unique<TUniMenuItem>(nullptr));
    items.back()->SetCaption(u"\u00d6ffnen " + platform::AnsiToWide(std::to_string(tag)));
    items.back()->Tag = tag;
    items.back()->OnClick = [&picked](TObject* sender) { picked.push_back(static_cast<int>(static_cast<TMenuItem*>(sender)->Tag)); };
    menu.Items()->Add(items.back().get());
  }
  auto* open = new TUniToolButton(form_.get());
  open->SetCaption(kOmega);
  open->SetStyle(TToolButtonStyle::tbsDropDown);
  open->DropdownMenu = &menu;
  open->SetParent(bar);
  HWND window = bar->Handle();
  EXPECT_TRUE(IsWindowUnicode(window));
  char16_t text[32] = {};
  SendMessageW(window, TB_GETBUTTONTEXTW, static_cast<WPARAM>(open->Command()), reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::u16string(text), kOmega);
  open->SetCaption(kRussian);
  SendMessageW(window, TB_GETBUTTONTEXTW, static_cast<WPARAM>(open->Command()), reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::u16string(text), kRussian);
  // The user presses the button's arrow and picks the third item.
  form_->Show();
  platform::menu_driver::Pick({2});
  platform::input_driver::Click(window, 79 + platform::win::kDropDownArrowWidth / 2, 30, VK_LBUTTON);
  platform::input_driver::RunPending();
  EXPECT_EQ(picked, std::vector<int>{2});
  EXPECT_FALSE(platform::menu_driver::Tracking());
}

// A tool bar as the bookmark browser has it: pictures above wide captions, a
// drop-down arrow, a separator and a disabled button with its own picture.
TEST_F(UniComCtrlsTest, ToolBarPicture) {
  auto* bar = Make<TUniToolBar>();
  bar->SetBounds(0, 0, 220, 60);
  bar->SetButtonWidth(60);
  bar->SetButtonHeight(56);
  bar->SetShowCaptions(true);
  TImageList normal(nullptr, 32, 32), disabled(nullptr, 32, 32);
  auto square = [](TImageList& list, TColor color) {
    TBitmap picture;
    picture.SetSize(32, 32);
    picture.Canvas().Brush().SetColor(color);
    picture.Canvas().FillRect(RECT{0, 0, 32, 32});
    picture.Canvas().Brush().SetColor(clWhite);
    picture.Canvas().FillRect(RECT{8, 8, 24, 24});
    list.Add(&picture, nullptr);
  };
  square(normal, clNavy);
  square(normal, clGreen);
  square(disabled, clGray);
  square(disabled, clSilver);
  bar->SetImages(&normal);
  bar->SetDisabledImages(&disabled);
  struct Spec {
    std::u16string caption;
    TToolButtonStyle style;
    int image;
    bool enabled;
  };
  const Spec specs[] = {{u"\u00d6ffnen", TToolButtonStyle::tbsDropDown, 0, true},
                        {u"", TToolButtonStyle::tbsSeparator, -1, true},
                        {u"\u0423\u0434\u0430\u043b", TToolButtonStyle::tbsButton, 1, false}};
  for (const auto& spec : specs) {
    auto* button = new TUniToolButton(form_.get());
    button->SetCaption(spec.caption);
    button->SetStyle(spec.style);
    button->SetImageIndex(spec.image);
    button->SetEnabled(spec.enabled);
    if (spec.style == TToolButtonStyle::tbsSeparator) button->SetBounds(0, 0, 8, 22);
    button->SetParent(bar);
  }
  form_->Show();
  UpdateWindow(bar->Handle());
  auto picture = platform::gdi::WindowPicture(bar->Handle());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "wide_tool_bar.png", 8), "");
}

TEST_F(UniComCtrlsTest, ToolBarMadeFromAMenuTakesTheItemsWideCaptions) {
  auto* bar = Make<TUniToolBar>();
  bar->SetShowCaptions(true);
  TMainMenu menu(nullptr);
  TUniMenuItem file(nullptr), help(nullptr);
  file.SetCaption(u"&\u0424\u0430\u0439\u043b");
  help.SetCaption(u"&Help");
  menu.Items()->Add(&file);
  menu.Items()->Add(&help);
  bar->SetMenu(&menu);
  ASSERT_EQ(bar->ButtonCount(), 2);
  auto* first = dynamic_cast<TUniToolButton*>(bar->Buttons(0));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Caption(), u"&\u0424\u0430\u0439\u043b");
  EXPECT_EQ(first->MenuItem(), &file);
  char16_t text[32] = {};
  SendMessageW(bar->Handle(), TB_GETBUTTONTEXTW, static_cast<WPARAM>(bar->Buttons(1)->Command()), reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::u16string(text), u"&Help");
  bar->SetMenu(nullptr);
  EXPECT_EQ(bar->ButtonCount(), 0);
}

// --- page control ------------------------------------------------------------------------

TEST_F(UniComCtrlsTest, TabsShowWideCaptionsAndSwitchPages) {
  auto* pages = Make<TUniPageControl>();
  pages->SetBounds(0, 0, 300, 200);
  const std::u16string captions[] = {u"&Personal", u"\u0421&\u0432\u044f\u0437\u044c", u"&Job"};
  std::vector<TUniTabSheet*> sheets;
  for (const auto& caption : captions) {
    auto* sheet = new TUniTabSheet(form_.get());
    sheet->SetCaption(caption);  // before the sheet has a window
    sheet->SetPageControl(pages);
    sheets.push_back(sheet);
  }
  auto tabText = [&](int index) {
    char16_t text[32] = {};
    TCITEMW item{TCIF_TEXT, 0, 0, text, 32, 0, 0};
    SendMessageW(pages->Handle(), TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return std::u16string(text);
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(tabText(i), captions[i]);
  sheets[2]->SetCaption(kOmega);
  EXPECT_EQ(tabText(2), kOmega);
  EXPECT_EQ(sheets[2]->TTabSheet::Caption(), "?mega");
  int changes = 0;
  pages->OnChange = [&](TObject*) { ++changes; };
  RECT tab;
  SendMessageW(pages->Handle(), TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&tab));
  SendMessageW(pages->Handle(), WM_LBUTTONDOWN, 0, At(tab.left + 3, tab.top + 3));
  EXPECT_EQ(pages->ActivePage(), sheets[2]);
  // The hot key of a wide caption chooses its page.
  EXPECT_EQ(pages->Perform(CM_DIALOGCHAR, 0x432, 0), 1);
  EXPECT_EQ(pages->ActivePage(), sheets[1]);
  EXPECT_EQ(pages->Perform(CM_DIALOGCHAR, 'q', 0), 0);
  EXPECT_EQ(changes, 2);
  // A tab that may not be left stays.
  pages->OnChanging = [](TObject*, bool& allow) { allow = false; };
  EXPECT_EQ(pages->Perform(CM_DIALOGCHAR, 'j', 0), 0);
  EXPECT_EQ(pages->ActivePage(), sheets[1]);
}

// --- up-down -----------------------------------------------------------------------------

TEST_F(UniComCtrlsTest, UpDownSetsItsAssociatedTextByMouseAndKeys) {
  // The generator's length: a read-only edit with the up-down beside it.
  auto* length = Make<TUniEdit>();
  length->SetBounds(10, 10, 60, 20);
  length->SetReadOnly(true);
  auto* upDown = Make<TUniUpDown>();
  upDown->SetMin(5);
  upDown->SetMax(50);
  upDown->SetPosition(8);
  upDown->SetAssociate(length);
  upDown->SetHint(kOmega);
  EXPECT_TRUE(IsWindowUnicode(upDown->Handle()));
  EXPECT_EQ(upDown->Hint(), kOmega);
  EXPECT_EQ(length->Text(), u"8");
  RECT box, arrows;
  GetWindowRect(length->Handle(), &box);
  GetWindowRect(upDown->Handle(), &arrows);
  EXPECT_EQ(arrows.left, box.right);  // beside the text, which gave up the room
  // As a user does: a click on the lower arrow, then the text's own arrow keys down to
  // the minimum and no further.
  form_->Show();
  namespace input = platform::input_driver;
  RECT client;
  GetClientRect(upDown->Handle(), &client);
  input::Click(upDown->Handle(), 2, client.bottom - 2, VK_LBUTTON);
  input::RunPending();
  EXPECT_EQ(upDown->Position(), 7);
  length->SetFocus();
  for (int i = 0; i < 5; ++i) input::Key(VK_DOWN);
  input::RunPending();
  EXPECT_EQ(length->Text(), u"5");
  SetWideControlText(length, u"49");
  input::Key(VK_UP);
  input::Key(VK_UP);
  input::RunPending();
  EXPECT_EQ(upDown->Position(), 50);
  EXPECT_EQ(length->Text(), u"50");
}

}  // namespace
