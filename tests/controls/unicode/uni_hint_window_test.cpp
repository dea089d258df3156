#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/unicode/uni_controls.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/window_picture.h"

namespace {

// A wide windowed control with no system class beneath it.
class TUniPanel : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::string ClassName() const override { return "TUniPanel"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override { CreateUnicodeHandle(this, params, u""); }
};

// A hint window class of the program's own, neither the plain nor the wide one.
class TOwnHintWindow : public THintWindow {
 public:
  using THintWindow::THintWindow;
  static const THintWindowClass& Class() {
    static const THintWindowClass type("TOwnHintWindow", &THintWindow::Class(),
                                       [](TComponent* owner) -> THintWindow* { return new TOwnHintWindow(owner); });
    return type;
  }
  const THintWindowClass& ClassType() const override { return Class(); }
};

class UniHintTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::test_clock::Freeze(1000, 45000.0);
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
    panel_ = new TUniPanel(form_);
    panel_->SetParent(form_);
    panel_->SetBounds(10, 10, 80, 30);
    panel_->ShowHint = true;
    form_->Show();
    SetWideControlHint(panel_, u"\u0416 save|Saves the \u0416 list");
  }
  void TearDown() override {
    HintWindowClass = &THintWindow::Class();
    delete app_;
    platform::test_clock::Release();
  }
  // Points at the panel and waits out the hint pause.
  THintWindow* ShowHint() {
    POINT p{5, 5};
    ClientToScreen(panel_->Handle(), &p);
    SetCursorPos(p.x, p.y);
    PostMessageW(panel_->Handle(), WM_MOUSEMOVE, 0, 0);
    app_->ProcessMessages();
    platform::test_clock::Advance(app_->HintPause);
    app_->ProcessMessages();
    THintWindow* window = app_->HintWindow();
    return window != nullptr && window->HandleAllocated() && IsWindowVisible(window->Handle()) ? window : nullptr;
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
  TUniPanel* panel_ = nullptr;
};

TEST_F(UniHintTest, TheShortWideHintShowsInTheWideHintWindow) {
  THintWindow* window = ShowHint();
  ASSERT_NE(window, nullptr);
  ASSERT_NE(dynamic_cast<TUniCustomHintWindow*>(window), nullptr);
  EXPECT_TRUE(IsWindowUnicode(window->Handle()));
  EXPECT_EQ(GetWideControlText(window), u"\u0416 save");
  // The window is as wide as the wide text, not its 8-bit form.
  HDC dc = GetDC(0);
  SelectObject(dc, window->Font().Handle());
  SIZE wide{};
  GetTextExtentPoint32W(dc, u"\u0416 save", 6, &wide);
  ReleaseDC(0, dc);
  EXPECT_EQ(window->Width(), wide.cx + 6);
}

TEST_F(UniHintTest, TheActionsShortcutFollowsTheWideHint) {
  TAction action(nullptr);
  action.SetShortCut(ShortCut('S', ssCtrl));
  panel_->SetAction(&action);
  SetWideControlHint(panel_, u"\u0416 save|Saves the \u0416 list");
  THintWindow* window = ShowHint();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWideControlText(window), u"\u0416 save (Ctrl+S)");
  panel_->SetAction(nullptr);
}

TEST_F(UniHintTest, AnEightBitHintChangedOnTheWayShowsAsItIs) {
  app_->OnShowHint = [](std::string& hint, bool&, THintInfo& info) {
    EXPECT_TRUE(IsWideHintData(info.HintData));
    hint = "Other";
  };
  THintWindow* window = ShowHint();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWideControlText(window), u"Other");
}

TEST_F(UniHintTest, AForeignHintWindowClassIsLeftAlone) {
  HintWindowClass = &TOwnHintWindow::Class();
  bool marked = true;
  app_->OnShowHint = [&](std::string&, bool&, THintInfo& info) { marked = IsWideHintData(info.HintData); };
  THintWindow* window = ShowHint();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(dynamic_cast<TOwnHintWindow*>(window), nullptr);
  EXPECT_FALSE(marked);
  EXPECT_EQ(window->Caption(), "? save");  // the class library's 8-bit short hint
}

TEST(UniHintData, OnlyALiveSelfMarkedRecordIsWideData) {
  THintInfo info;
  info.HintWindowClass = &TUniCustomHintWindow::Class();
  EXPECT_FALSE(IsWideHintData(&info));  // not marked
  info.HintData = &info;
  EXPECT_TRUE(IsWideHintData(&info));
  info.HintWindowClass = &THintWindow::Class();
  EXPECT_FALSE(IsWideHintData(&info));
  int notARecord[64] = {};
  EXPECT_FALSE(IsWideHintData(notARecord));
  EXPECT_FALSE(IsWideHintData(nullptr));
}

// List controls that record what they were given.
class TAnsiList : public TCustomListControl {
 public:
  using TCustomListControl::TCustomListControl;
  void AddItem(const std::string& item, TObject*) override { items.push_back(item); }
  std::vector<std::string> items;
};

class TWideList : public TAnsiList, public IWideCustomListControl {
 public:
  using TAnsiList::TAnsiList;
  using TAnsiList::AddItem;
  void AddItem(const std::u16string& item, TObject*) override { wideItems.push_back(item); }
  std::vector<std::u16string> wideItems;
};

TEST(UniListControls, WideItemsGoThroughTheWideInterfaceWhenOffered) {
  TAnsiList plain(nullptr);
  TWideList wide(nullptr);
  WideListControlAddItem(&plain, u"\u0416 item", nullptr);
  WideListControlAddItem(&wide, u"\u0416 item", nullptr);
  EXPECT_EQ(plain.items, std::vector<std::string>{"? item"});
  EXPECT_EQ(wide.wideItems, std::vector<std::u16string>{u"\u0416 item"});
  EXPECT_TRUE(wide.items.empty());
}

}  // namespace
