// The class library's drag, worked with the mouse and keyboard as a person would: a
// control starts it from a button press, the controls under the mouse hear it through
// CM_DRAG, and it ends with a drop, a release where no one accepts, or Escape.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/forms.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"

namespace {

namespace input = platform::input_driver;

class DragTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    Application = app_;
    form_ = app_->CreateForm<TForm>();
    form_->SetBounds(0, 0, 300, 120);
    source_ = Add(10, 10);
    target_ = Add(150, 10);
    source_->OnEndDrag = [this](TObject*, TObject* target, int x, int y) {
      ended_ = true;
      endTarget_ = target;
      endPoint_ = POINT{x, y};
    };
    target_->OnDragOver = [this](TObject*, TObject* source, int, int, TDragState state, bool& accept) {
      states_.push_back(state);
      accept = accepts_ && source == source_;
    };
    target_->OnDragDrop = [this](TObject*, TObject* source, int x, int y) {
      dropSource_ = source;
      dropPoint_ = POINT{x, y};
    };
    form_->Show();
    source_->SetFocus();
  }
  void TearDown() override {
    Application = nullptr;
    delete app_;
  }
  TWinControl* Add(int left, int top) {
    auto* control = new TWinControl(form_);
    control->SetParent(form_);
    control->SetBounds(left, top, 60, 40);
    return control;
  }
  POINT At(TWinControl* control, int x, int y) { return input::ScreenPoint(control->Handle(), x, y); }
  // Presses the button on the source and starts a drag there.
  void PressAndBegin(bool immediate) {
    input::MoveTo(At(source_, 20, 20));
    input::Press(VK_LBUTTON);
    app_->ProcessMessages();
    source_->BeginDrag(immediate);
  }
  void MoveTo(POINT p) {
    input::MoveTo(p);
    app_->ProcessMessages();
  }
  void Release() {
    input::Release(VK_LBUTTON);
    app_->ProcessMessages();
  }

  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
  TWinControl* source_ = nullptr;
  TWinControl* target_ = nullptr;
  bool accepts_ = true;
  std::vector<TDragState> states_;
  bool ended_ = false;
  TObject* endTarget_ = nullptr;
  POINT endPoint_{};
  TObject* dropSource_ = nullptr;
  POINT dropPoint_{};
};

TEST_F(DragTest, ADragPastTheThresholdDropsOnTheControlThatAcceptsIt) {
  PressAndBegin(false);
  EXPECT_TRUE(source_->Dragging());
  ASSERT_NE(CurrentDragObject(), nullptr);
  MoveTo(At(source_, 20 + MouseDragThreshold() - 1, 20));
  EXPECT_EQ(CurrentDragObject()->DragTarget(), nullptr);  // still within the threshold
  MoveTo(At(target_, 30, 25));
  EXPECT_EQ(CurrentDragObject()->DragTarget(), target_);
  EXPECT_EQ(states_, (std::vector<TDragState>{dsDragEnter, dsDragMove}));
  MoveTo(At(target_, 31, 26));
  Release();
  EXPECT_EQ(dropSource_, source_);
  EXPECT_EQ(dropPoint_.x, 31);
  EXPECT_EQ(dropPoint_.y, 26);
  EXPECT_TRUE(ended_);
  EXPECT_EQ(endTarget_, target_);
  EXPECT_EQ(endPoint_.x, 31);
  EXPECT_FALSE(source_->Dragging());
  EXPECT_EQ(CurrentDragObject(), nullptr);
}

TEST_F(DragTest, ReleasingWhereNoOneAcceptsEndsWithoutADrop) {
  accepts_ = false;
  PressAndBegin(true);
  MoveTo(At(target_, 30, 25));
  MoveTo(At(source_, 5, 5));  // leaves the target
  EXPECT_EQ(states_.back(), dsDragLeave);
  MoveTo(At(target_, 30, 25));
  Release();
  EXPECT_EQ(dropSource_, nullptr);
  EXPECT_EQ(states_.back(), dsDragLeave);
  EXPECT_TRUE(ended_);
  EXPECT_EQ(endTarget_, nullptr);
}

TEST_F(DragTest, EscapeCancelsTheDrag) {
  PressAndBegin(false);
  MoveTo(At(target_, 30, 25));
  input::Key(VK_ESCAPE);
  app_->ProcessMessages();
  EXPECT_EQ(CurrentDragObject(), nullptr);
  EXPECT_EQ(dropSource_, nullptr);
  EXPECT_TRUE(ended_);
  EXPECT_EQ(endTarget_, nullptr);
  Release();  // the release after the end changes nothing
  EXPECT_EQ(dropSource_, nullptr);
}

TEST_F(DragTest, AControlMayBringItsOwnDragObjectAndOnlyOneDragRuns) {
  struct Bookmarks : TDragObject {
    int finished = 0;
    void Finished(TObject*, int, int, bool accepted) override { finished += accepted ? 10 : 1; }
  } own;
  TObject* seen = nullptr;
  target_->OnDragOver = [&](TObject*, TObject* source, int, int, TDragState, bool& accept) {
    seen = source;
    accept = true;
  };
  source_->OnStartDrag = [&](TObject*, TDragObject*& object) { object = &own; };
  PressAndBegin(false);
  target_->BeginDrag(true);  // a second drag does not start
  EXPECT_FALSE(target_->Dragging());
  MoveTo(At(target_, 30, 25));
  EXPECT_EQ(seen, &own);
  Release();
  EXPECT_EQ(own.finished, 10);
  EXPECT_TRUE(own.Dropped());
}

}  // namespace
