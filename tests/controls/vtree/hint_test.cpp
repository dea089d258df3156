// The tree's hints: which hint the class library's CM_HINTSHOW gets for a point (a
// tooltip only for a cut-off cell, node hints below their cell, the control's hint,
// header hints), the hint window's size for them, the whole path through the
// application's hint timers, and the drag image's picture.
#include <gtest/gtest.h>

#include "platform/base/clock.h"
#include "platform/win/input_driver.h"
#include "tests/controls/vtree/string_tree_support.h"

namespace {

using vtree_test::ShownStringTree;
using vtree_test::TestStringTree;

// A tree of three rows under a 17-pixel header: "Short" fits its 90-pixel column,
// the second row's name is cut off by it, and the third row's date is cut off by
// the client area's right edge.
class HintDecision : public testing::Test {
 protected:
  void SetUp() override {
    shown_ = std::make_unique<ShownStringTree>(200, 100, std::vector<int>{90, 60, 120});
    tree_ = shown_->tree;
    tree_->ShowHint = true;
    shortNode_ = tree_->Add(nullptr, u"Short", u"d");
    longNode_ = tree_->Add(nullptr, u"A name much too long for its column", u"d");
    wideDate_ = tree_->Add(nullptr, u"x", u"d");
    tree_->SetText(wideDate_, 2, u"https://www.example.org/a/long/address");
    tree_->SetFocus();
  }
  // The decision for a client point: whether it shows, and the hint information.
  bool Decide(POINT p, THintInfo& info) {
    info.CursorPos = p;
    info.HintStr = "control hint";
    return tree_->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
  }
  bool Decide(POINT p) {
    THintInfo info;
    return Decide(p, info);
  }
  int RowMiddle(int row) const { return row * 18 + 9; }
  // A refused decision empties the last hint rectangle.
  void Forget() {
    tree_->ShowHint = false;
    Decide(POINT{-50, -50});
    tree_->ShowHint = true;
  }
  std::unique_ptr<ShownStringTree> shown_;
  TestStringTree* tree_ = nullptr;
  PViewNode shortNode_ = nullptr, longNode_ = nullptr, wideDate_ = nullptr;
};

TEST_F(HintDecision, TooltipsShowOnlyForCutOffCellsUnderTheCursor) {
  tree_->SetHintMode(hmTooltip);
  struct Case {
    const char* what;
    POINT point;
    bool shows;
  };
  const Case cases[] = {
      {"a text that fits its cell", {20, RowMiddle(0)}, false},
      {"a text cut off by its column", {40, RowMiddle(1)}, true},
      {"a cut-off cell's second column that fits", {100, RowMiddle(1)}, false},
      {"a text cut off by the client area", {170, RowMiddle(2)}, true},
      {"a cut-off row beside its text", {185, RowMiddle(0)}, false},
      {"below the last row", {20, 90}, false},
  };
  for (const Case& c : cases) {
    THintInfo info;
    EXPECT_EQ(Decide(c.point, info), c.shows) << c.what;
    if (c.shows) {
      EXPECT_EQ(info.HintStr, " ") << c.what;
      EXPECT_EQ(info.HintWindowClass, &TViewTreeHintWindow::Class()) << c.what;
      ASSERT_NE(info.HintData, nullptr) << c.what;
      EXPECT_TRUE(tree_->InState(tsHint)) << c.what;
      const RECT& r = info.CursorRect;
      EXPECT_TRUE(c.point.x >= r.left && c.point.x < r.right && c.point.y >= r.top && c.point.y < r.bottom) << c.what;
    } else {
      EXPECT_FALSE(tree_->InState(tsHint)) << c.what;
    }
    tree_->Perform(CM_HINTSHOW, 0, 0);  // not a hint record: ignored
  }
}

TEST_F(HintDecision, InsideTheLastHintRectangleNothingIsDecidedAgain) {
  tree_->SetHintMode(hmTooltip);
  THintInfo info;
  ASSERT_TRUE(Decide(POINT{40, RowMiddle(1)}, info));
  const RECT last = tree_->LastHintRect();
  EXPECT_EQ(last.top, 18);
  EXPECT_EQ(last.bottom, 36);
  EXPECT_FALSE(Decide(POINT{60, RowMiddle(1)}));
  EXPECT_TRUE(tree_->InState(tsHint));
  EXPECT_FALSE(Decide(POINT{20, RowMiddle(0)}));
  EXPECT_EQ(tree_->LastHintRect().right, 0);
  EXPECT_TRUE(Decide(POINT{40, RowMiddle(1)}));
}

TEST_F(HintDecision, TheModesChooseBetweenTheControlsHintAndNodeHints) {
  tree_->SetHint("The tree|long");
  struct Case {
    const char* what;
    TVTHintMode mode;
    POINT point;
    bool shows;
    std::u16string text;  // the text the hint data carries
    bool node;
  };
  const Case cases[] = {
      {"default mode over a node", hmDefault, {20, RowMiddle(0)}, true, u"The tree", false},
      {"default mode below the rows", hmDefault, {20, 90}, true, u"The tree", false},
      {"hint mode over a node", hmHint, {20, RowMiddle(0)}, true, u"", true},
      {"hint mode below the rows", hmHint, {20, 90}, false, u"", false},
      {"hint-and-default below the rows", hmHintAndDefault, {20, 90}, true, u"The tree", false},
  };
  for (const Case& c : cases) {
    tree_->SetHintMode(c.mode);
    Forget();
    THintInfo info;
    ASSERT_EQ(Decide(c.point, info), c.shows) << c.what;
    if (!c.shows) continue;
    const auto& data = *static_cast<const TVTHintData*>(info.HintData);
    EXPECT_EQ(data.HintText, c.text) << c.what;
    EXPECT_EQ(data.Node != nullptr, c.node) << c.what;
    if (c.node) {
      POINT below{0, 2 * 18 - 18 + 2};
      ClientToScreen(tree_->Handle(), &below);
      EXPECT_EQ(info.HintPos.y, below.y) << c.what;
    }
  }
  tree_->SetHint("");
  tree_->SetHintMode(hmDefault);
  Forget();
  EXPECT_FALSE(Decide(POINT{20, RowMiddle(0)}));
}

TEST_F(HintDecision, NoHintWhileTheMouseIsCapturedOrHintsAreOff) {
  tree_->SetHintMode(hmTooltip);
  SetCapture(tree_->Handle());
  EXPECT_FALSE(Decide(POINT{40, RowMiddle(1)}));
  ReleaseCapture();
  tree_->ShowHint = false;
  EXPECT_FALSE(Decide(POINT{40, RowMiddle(1)}));
  tree_->ShowHint = true;
  EXPECT_TRUE(Decide(POINT{40, RowMiddle(1)}));
}

TEST_F(HintDecision, HeaderColumnsShowTheirHints) {
  tree_->Header().SetOptions(tree_->Header().Options() | hoShowHint);
  tree_->Header().Columns()[1].Hint = u"When it was visited";
  THintInfo info;
  ASSERT_TRUE(Decide(POINT{100, -5}, info));
  const auto& data = *static_cast<const TVTHintData*>(info.HintData);
  EXPECT_EQ(data.DefaultHint, u"When it was visited");
  EXPECT_EQ(data.Column, 1);
  EXPECT_EQ(info.CursorRect.top, -17);
  EXPECT_FALSE(Decide(POINT{20, -5}));  // a column without a hint
}

TEST_F(HintDecision, TooltipsTakeNoPauseAndOtherHintsTheApplicationsOne) {
  auto pauseFor = [&](TVTHintMode mode) {
    tree_->SetHintMode(mode);
    int pause = 500;
    tree_->Perform(CM_HINTSHOWPAUSE, 0, reinterpret_cast<LPARAM>(&pause));
    return pause;
  };
  EXPECT_EQ(pauseFor(hmTooltip), 0);
  EXPECT_EQ(pauseFor(hmHint), 500);
  EXPECT_EQ(pauseFor(hmDefault), 500);
}

TEST_F(HintDecision, TheHintWindowMeasuresTooltipsOnlyWhenSomethingIsCutOff) {
  tree_->SetHintMode(hmTooltip);
  THintInfo info;
  ASSERT_TRUE(Decide(POINT{40, RowMiddle(1)}, info));
  TViewTreeHintWindow window(nullptr);
  const RECT r = window.CalcHintRect(400, info.HintStr, info.HintData);
  EXPECT_EQ(r.left, 0);
  EXPECT_GT(r.right, 90);  // the whole text, wider than its column
  EXPECT_EQ(window.HintData().LineBreakStyle, hlbForceSingleLine);
  // A text that fits: the window finds nothing to show.
  TVTHintData fitting = *static_cast<const TVTHintData*>(info.HintData);
  fitting.Node = shortNode_;
  fitting.Column = 0;
  fitting.HintRect = RECT{0, 0, 90, 18};
  EXPECT_EQ(window.CalcHintRect(400, " ", &fitting).right, 0);
}

TEST_F(HintDecision, OnGetHintGivesTheTooltipText) {
  tree_->SetHintMode(hmTooltip);
  int asked = 0;
  tree_->OnGetHint = [&](TBaseViewTree*, PViewNode, TColumnIndex, TVTTooltipLineBreakStyle&, std::u16string& text) {
    ++asked;
    text = u"from the handler";
  };
  THintInfo info;
  ASSERT_TRUE(Decide(POINT{40, RowMiddle(1)}, info));
  EXPECT_EQ(asked, 0);  // the decision itself asks for no text
  TViewTreeHintWindow window(nullptr);
  window.CalcHintRect(400, info.HintStr, info.HintData);
  EXPECT_EQ(asked, 1);
}

// The whole path: the application's hint timer, the tree's window and its pause.
class TooltipThroughTheApplication : public testing::Test {
 protected:
  void SetUp() override {
    platform::test_clock::Freeze(1000, 45000.0);
    app_ = new TApplication(nullptr);
    Application = app_;
    form_ = app_->CreateForm<TForm>();
    form_->SetBounds(0, 0, 300, 200);
    tree_ = new TestStringTree();
    tree_->SetParent(form_);
    tree_->SetBounds(0, 0, 200, 100);
    tree_->Header().Columns().Add().SetWidth(90);
    tree_->ShowHint = true;
    tree_->SetHintMode(hmTooltip);
    tree_->Add(nullptr, u"Short");
    tree_->Add(nullptr, u"A name much too long for its column");
    form_->Show();
    tree_->SetFocus();
  }
  void TearDown() override {
    delete tree_;
    Application = nullptr;
    delete app_;
    platform::test_clock::Release();
  }
  void MoveTo(int x, int y) {
    POINT p{x, y};
    ClientToScreen(tree_->Handle(), &p);
    SetCursorPos(p.x, p.y);
    PostMessageA(tree_->Handle(), WM_MOUSEMOVE, 0, 0);
    app_->ProcessMessages();
  }
  void Wait(int ms) {
    platform::test_clock::Advance(ms);
    app_->ProcessMessages();
  }
  bool TooltipShows() const {
    THintWindow* window = app_->HintWindow();
    return window != nullptr && window->HandleAllocated() && IsWindowVisible(window->Handle());
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
  TestStringTree* tree_ = nullptr;
};

TEST_F(TooltipThroughTheApplication, ACutOffCellShowsItsTextAtOnceAndAFittingCellNone) {
  MoveTo(30, 27);
  Wait(10);  // tooltips take no pause: the window system's shortest timer
  ASSERT_TRUE(TooltipShows());
  auto* window = dynamic_cast<TViewTreeHintWindow*>(app_->HintWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_GT(window->Width(), 90);
  const int calls = tree_->getTextCalls;
  MoveTo(50, 30);  // within the same cell: nothing is asked again
  Wait(10);
  EXPECT_EQ(tree_->getTextCalls, calls);
  MoveTo(30, 9);
  Wait(10);
  EXPECT_FALSE(TooltipShows());
}

// --- the drag image ---

TEST(DragImage, ThePictureIsBlendedByItsTransparencyAndFollowsTheHotSpot) {
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf32bit);
  picture.SetSize(40, 20);
  picture.Canvas().Brush().SetColor(clWhite);
  picture.Canvas().FillRect(RECT{0, 0, 40, 20});
  picture.Canvas().Brush().SetColor(clRed);
  picture.Canvas().FillRect(RECT{0, 0, 20, 20});
  TVTDragImage image;
  image.SetTransparency(200);
  image.SetColorKey(clWhite);
  image.PrepareDrag(picture, POINT{100, 100}, POINT{110, 105});
  ASSERT_TRUE(image.Visible());
  const std::uint8_t* red = const_cast<TBitmap&>(image.AlphaImage()).ScanLine(5);
  EXPECT_EQ(red[3], 200);
  EXPECT_EQ(red[2], 200);  // premultiplied
  EXPECT_EQ(red[4 * 30 + 3], 0);  // the key colour stays transparent
  EXPECT_TRUE(image.DragTo(POINT{120, 125}));
  EXPECT_EQ(image.GetDragImageRect().left, 110);
  EXPECT_EQ(image.GetDragImageRect().top, 120);
  image.SetMoveRestriction(dmrHorizontalOnly);
  EXPECT_FALSE(image.WillMove(POINT{120, 200}));
  image.DragTo(POINT{130, 200});
  EXPECT_EQ(image.GetDragImageRect().top, 120);
  image.HideDragImage();
  EXPECT_FALSE(image.Visible());
  image.EndDrag();
  EXPECT_EQ(image.GetDragImageRect().right, 0);
}

TEST(DragImage, FadingLeavesTheCentreAndDimsTheEdges) {
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf32bit);
  picture.SetSize(41, 41);
  picture.Canvas().Brush().SetColor(clBlue);
  picture.Canvas().FillRect(RECT{0, 0, 41, 41});
  TVTDragImage image;
  image.SetTransparency(255);
  image.SetFade(true);
  image.PrepareDrag(picture, POINT{0, 0}, POINT{0, 0});
  auto& alpha = const_cast<TBitmap&>(image.AlphaImage());
  EXPECT_GE(alpha.ScanLine(20)[4 * 20 + 3], 250);
  EXPECT_LT(alpha.ScanLine(0)[3], 10);
}

}  // namespace
