#include "platform/classlib/hint_window.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/base/clock.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/window_picture.h"
#include "platform/gdi/picture_compare.h"

namespace {

// A form with a panel that shows "Short|Long text" as its hint; the clock is frozen
// so that the pauses pass only when the test says so.
class HintTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::test_clock::Freeze(1000, 45000.0);
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
    panel_ = new TWinControl(form_);
    panel_->SetParent(form_);
    panel_->SetBounds(10, 10, 60, 30);
    panel_->ShowHint = true;
    panel_->SetHint("Short|Long text");
    form_->Show();
  }
  void TearDown() override {
    delete app_;
    platform::test_clock::Release();
  }
  void MoveTo(TWinControl* control, int x, int y) {
    POINT p{x, y};
    ClientToScreen(control->Handle(), &p);
    SetCursorPos(p.x, p.y);
    PostMessageA(control->Handle(), WM_MOUSEMOVE, 0, 0);
    app_->ProcessMessages();
  }
  void Wait(int ms) {
    platform::test_clock::Advance(ms);
    app_->ProcessMessages();
  }
  bool HintShows() const {
    THintWindow* window = app_->HintWindow();
    return window != nullptr && window->HandleAllocated() && IsWindowVisible(window->Handle());
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
  TWinControl* panel_ = nullptr;
};

TEST_F(HintTest, TheShortHintShowsAfterThePauseAndHidesAfterTheHidePause) {
  MoveTo(panel_, 5, 5);
  Wait(app_->HintPause - 1);
  EXPECT_FALSE(HintShows());
  Wait(1);
  ASSERT_TRUE(HintShows());
  EXPECT_EQ(app_->HintWindow()->Caption(), "Short");
  RECT rect;
  GetWindowRect(app_->HintWindow()->Handle(), &rect);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(rect.left, cursor.x);
  EXPECT_GT(rect.top, cursor.y);  // below the cursor
  // Moving inside the control keeps the hint; the hide pause ends it.
  MoveTo(panel_, 20, 5);
  EXPECT_TRUE(HintShows());
  Wait(app_->HintHidePause);
  EXPECT_FALSE(HintShows());
}

TEST_F(HintTest, ControlsThatShowNoHintAndTheApplicationSwitchCancelIt) {
  MoveTo(form_, 200, 150);  // the form itself does not show hints
  Wait(app_->HintPause);
  EXPECT_FALSE(HintShows());
  app_->ShowHint = false;
  MoveTo(panel_, 5, 5);
  Wait(app_->HintPause);
  EXPECT_FALSE(HintShows());
  app_->ShowHint = true;
  MoveTo(panel_, 5, 5);
  Wait(app_->HintPause);
  EXPECT_TRUE(HintShows());
  MoveTo(form_, 200, 150);  // leaving for a control without hints hides it at once
  EXPECT_FALSE(HintShows());
}

TEST_F(HintTest, HintShowLetsTheControlChangeOrRefuseTheHint) {
  TWndMethod previous = panel_->WindowProc;
  bool refuse = false;
  std::string seenText;
  const THintWindowClass* seenClass = nullptr;
  POINT seenCursor{};
  panel_->WindowProc = [&](TMessage& m) {
    if (m.Msg == CM_HINTSHOW) {
      auto* info = reinterpret_cast<THintInfo*>(m.LParam);
      EXPECT_TRUE(IsHintInfo(info));
      seenText = info->HintStr;
      seenClass = info->HintWindowClass;
      EXPECT_EQ(info->HintControl, panel_);
      seenCursor = info->CursorPos;
      info->HintStr = "Changed";
      info->HideTimeout = 100;
      m.Result = refuse ? 1 : 0;
      return;
    }
    previous(m);
  };
  MoveTo(panel_, 5, 5);
  Wait(app_->HintPause);
  EXPECT_EQ(seenText, "Short");
  EXPECT_EQ(seenClass, &THintWindow::Class());
  EXPECT_EQ(seenCursor.x, 5);  // in the control's coordinates
  EXPECT_EQ(seenCursor.y, 5);
  ASSERT_TRUE(HintShows());
  EXPECT_EQ(app_->HintWindow()->Caption(), "Changed");
  Wait(100);
  EXPECT_FALSE(HintShows());
  refuse = true;
  app_->CancelHint();
  MoveTo(panel_, 6, 6);
  Wait(app_->HintPause);
  EXPECT_FALSE(HintShows());
  EXPECT_FALSE(IsHintInfo(nullptr));
  int local = 0;
  EXPECT_FALSE(IsHintInfo(&local));
  panel_->WindowProc = previous;
}

TEST_F(HintTest, FreeingTheHintedControlEndsTheHint) {
  MoveTo(panel_, 5, 5);
  Wait(app_->HintPause);
  ASSERT_TRUE(HintShows());
  delete panel_;
  EXPECT_FALSE(HintShows());
  Wait(app_->HintHidePause);  // the timer finds nothing to touch
}

TEST_F(HintTest, TheWindowMeasuresWrapsAndPaintsItsText) {
  Screen().HintFont().SetName("Pellix Test Fixed");
  Screen().HintFont().SetHeight(-8);
  THintWindow window(nullptr);
  // Four-pixel characters: "one two" wraps at 20 pixels into two lines of eight.
  RECT rect = window.CalcHintRect(20, "one two", nullptr);
  EXPECT_EQ(rect.right, 12 + 6);
  EXPECT_EQ(rect.bottom, 16 + 2);
  window.ActivateHint(RECT{2000, 5, 2000 + rect.right, 5 + rect.bottom}, "one two");
  RECT placed;
  GetWindowRect(window.Handle(), &placed);
  EXPECT_EQ(placed.right, platform::win::kScreenWidth);  // kept on the screen
  EXPECT_EQ(placed.bottom - placed.top, 18 + 4);
  UpdateWindow(window.Handle());
  auto picture = platform::gdi::WindowPicture(window.Handle());
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "hint_window.png", 0), "");
  // A text set from outside sizes the window to one line of it.
  window.SetCaption("abc");
  EXPECT_EQ(window.Width(), 12 + 6);
  EXPECT_EQ(window.Height(), 8 + 6);
  window.ReleaseHandle();
  EXPECT_FALSE(window.HandleAllocated());
  TFont defaults;
  Screen().HintFont().Assign(&defaults);
}

}  // namespace
