#include "controls/unicode/uni_menus.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_sysutils.h"
#include "controls/unicode/uni_system.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/window_picture.h"
#include "platform/gdi/picture_compare.h"

namespace {

std::u16string NativeText(TMenuItem* item) {
  char16_t text[256];
  int length = GetMenuStringW(item->Parent()->Handle(), item->Command(), text, 256, MF_BYCOMMAND);
  return std::u16string(text, static_cast<std::size_t>(length));
}

class UniMenusTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    StartUniApplication();
    StartUniMenus();
    menu_ = std::make_unique<TUniPopupMenu>(nullptr);
    save_ = AddItem(u"&Save As \u263A");
    open_ = AddItem(u"\u00d6ffnen");
    open_->SetShortCut(static_cast<TShortCut>(VK_F5 | scCtrl | scShift));
  }
  void TearDown() override {
    platform::menu_driver::Clear();
    ActivateKeyboardLayout(kLayoutUnitedStates, 0);
    items_.clear();
    menu_.reset();
    FinishUniMenus();
    FinishUniApplication();
    delete app_;
  }
  TUniMenuItem* AddItem(const std::u16string& caption) {
    items_.push_back(std::make_unique<TUniMenuItem>(nullptr));
    TUniMenuItem* item = items_.back().get();
    item->SetCaption(caption);
    menu_->Items()->Add(item);
    return item;
  }
  TApplication* app_ = nullptr;
  std::unique_ptr<TUniPopupMenu> menu_;
  std::vector<std::unique_ptr<TUniMenuItem>> items_;
  TUniMenuItem* save_ = nullptr;
  TUniMenuItem* open_ = nullptr;
};

TEST_F(UniMenusTest, WideCaptionsReachTheNativeMenuAndSurviveTheEightBitCaption) {
  EXPECT_EQ(save_->TMenuItem::Caption(), "&Save As ?");
  EXPECT_EQ(save_->Caption(), u"&Save As \u263A");
  EXPECT_EQ(NativeText(save_), u"&Save As \u263A");
  // The 8-bit side changed to another text: the wide one follows it.
  save_->TMenuItem::SetCaption("Close");
  EXPECT_EQ(save_->Caption(), u"Close");
  EXPECT_EQ(NativeText(save_), u"Close");
}

TEST_F(UniMenusTest, TheClassLibraryMovingTheHotKeyMovesTheWideOne) {
  save_->TMenuItem::SetCaption("Save &As ?");
  EXPECT_EQ(save_->Caption(), u"Save &As \u263A");
  EXPECT_EQ(NativeText(save_), u"Save &As \u263A");
}

TEST_F(UniMenusTest, HotKeyMarkersAreMovedToTheSourcePositions) {
  struct Case {
    const char16_t* source;
    const char16_t* dest;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"Save &As", u"&Save As", u"Save &As"},
      {u"&Fish && Chips", u"Fish && &Chips", u"&Fish && Chips"},
      {u"Fish && Chips", u"&Fish && Chips", u"Fish && Chips"},  // a doubled one is no hot key
      {u"&Open", u"&Open", u"&Open"},
      {u"&Open", u"Close", u"Close"},  // not the same caption: left alone
  };
  for (const Case& c : cases) {
    std::u16string dest = c.dest;
    SyncHotKeyPosition(c.source, dest);
    EXPECT_EQ(dest, c.expected) << platform::WideToAnsi(c.source);
  }
}

TEST_F(UniMenusTest, ShortCutTextsFollowTheCaptionAndTheKeyboardLayout) {
  EXPECT_EQ(NativeText(open_), u"\u00d6ffnen\tShift+Ctrl+F5");
  // Another layout: the next initiation writes the item again.
  MENUITEMINFOW info{};
  info.fMask = MIIM_TYPE;
  info.fType = MFT_STRING;
  info.dwTypeData = const_cast<char16_t*>(u"stale");
  SetMenuItemInfoW(menu_->Items()->Handle(), open_->Command(), FALSE, &info);
  open_->InitiateAction();
  EXPECT_EQ(NativeText(open_), u"stale");
  ActivateKeyboardLayout(kLayoutFrench, 0);
  open_->InitiateAction();
  EXPECT_EQ(open_->KeyboardLayout, kLayoutFrench);
  EXPECT_EQ(NativeText(open_), u"\u00d6ffnen\tShift+Ctrl+F5");
  // An item with sub-items shows no shortcut.
  TUniMenuItem* child = new TUniMenuItem(open_);
  child->SetCaption(u"Child");
  open_->Add(child);
  EXPECT_EQ(NativeText(open_), u"\u00d6ffnen");
}

TEST_F(UniMenusTest, PickingAnItemOfAPopupClicksItAndRestoresThePopupList) {
  int saveClicks = 0, openClicks = 0;
  save_->OnClick = [&](TObject*) { ++saveClicks; };
  open_->OnClick = [&](TObject*) { ++openClicks; };
  TPopupList* during = nullptr;
  platform::menu_driver::Call([&] { during = PopupList; });
  platform::menu_driver::Pick({1});
  menu_->Popup(10, 10);
  EXPECT_EQ(openClicks, 1);
  EXPECT_EQ(saveClicks, 0);
  // The loop's entry hands the list back to the class library's own.
  EXPECT_EQ(during, UniPopupList->SavedPopupList);
  EXPECT_EQ(PopupList, UniPopupList->SavedPopupList);
  platform::menu_driver::Cancel();
  menu_->Popup(10, 10);
  EXPECT_EQ(openClicks + saveClicks, 1);
}

TEST_F(UniMenusTest, PointingAtAnItemShowsItsWideLongHint) {
  save_->SetHint(u"Save|Saves the \u263A file");
  std::u16string shown;
  platform::menu_driver::Select({0});
  platform::menu_driver::Call([&] { shown = UniApplication->Hint(); });
  platform::menu_driver::Cancel();
  menu_->Popup(0, 0);
  EXPECT_EQ(shown, u"Saves the \u263A file");
  EXPECT_EQ(UniApplication->Hint(), u"");  // the close empties it
}

TEST_F(UniMenusTest, OwnerDrawnItemsAreMeasuredWithTheirWideTexts) {
  TUniMenuItem* wide = AddItem(u"\u0416\u0416\u0416\u0416\u0416\u0416");
  TUniMenuItem* narrow = AddItem(u"iiiiii");
  int handlerCalls = 0;
  std::map<TObject*, int> widths;
  for (TUniMenuItem* item : {wide, narrow}) {
    item->OnMeasureItem = [&](TObject* sender, TCanvas&, int& width, int&) {
      ++handlerCalls;
      widths[sender] = width;
    };
  }
  menu_->SetOwnerDraw(true);
  platform::menu_driver::Cancel();
  menu_->Popup(0, 0);
  EXPECT_EQ(handlerCalls, 2);  // the held-back handler runs once per item
  // The 8-bit caption of the wide item is "??????", about as wide as "iiiiii" would
  // never be; the measured width follows the wide text instead.
  HDC dc = GetDC(0);
  TCanvas canvas;
  canvas.SetHandle(dc);
  int wideText = WideCanvasTextExtent(canvas, wide->Caption()).cx;
  int narrowText = WideCanvasTextExtent(canvas, narrow->Caption()).cx;
  canvas.SetHandle(0);
  ReleaseDC(0, dc);
  EXPECT_EQ(widths[wide] - widths[narrow], wideText - narrowText);
}

TEST_F(UniMenusTest, OwnerDrawnItemsPaintTheirWideTextsAndStates) {
  TUniMenuItem* line = AddItem(u"-");
  TUniMenuItem* grayed = AddItem(u"Gr&ayed");
  grayed->SetEnabled(false);
  save_->SetChecked(true);
  menu_->SetOwnerDraw(true);
  constexpr int kWidth = 160, kItem = 20;
  struct Row {
    TMenuItem* item;
    UINT state;
  };
  const Row rows[] = {{save_, ODS_SELECTED}, {open_, 0}, {line, 0}, {grayed, ODS_GRAYED | ODS_DISABLED}};
  auto picture = platform::gdi::NewBitmap(kWidth, kItem * 4);
  HDC dc = platform::gdi::NewDC(picture, 0, RECT{0, 0, kWidth, kItem * 4});
  for (int i = 0; i < 4; ++i) {
    DRAWITEMSTRUCT draw{ODT_MENU, 0, rows[i].item->Command(), ODA_DRAWENTIRE, rows[i].state, menu_->Items()->Handle(),
                        dc, RECT{0, i * kItem, kWidth, (i + 1) * kItem}, rows[i].item->Command()};
    EXPECT_EQ(SendMessageW(UniPopupList->Window(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), TRUE);
  }
  platform::gdi::FreeDC(dc);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "owner_drawn_menu.png", 8), "");
}

}  // namespace
