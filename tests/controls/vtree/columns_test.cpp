// Columns and the header: defaults and clamping setters, index and position
// bookkeeping, the column under a point, the auto-size column, the column and header
// streams (round trips, old versions, damaged and short streams), and the header's
// mouse handling as a user works it.
#include <gtest/gtest.h>

#include "controls/vtree/vt_globals.h"
#include "controls/vtree/vt_hint.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/streams.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/cursors.h"
#include "platform/win/input.h"
#include "platform/win/input_driver.h"
#include "tree_test_support.h"

namespace {

using vtree_test::TestTree;

void AddColumns(TestTree& tree, std::initializer_list<int> widths) {
  for (int width : widths) tree.Header().Columns().Add().SetWidth(width);
}

std::vector<TColumnIndex> Positions(TestTree& tree) { return tree.Header().Columns().PositionToIndex(); }

TEST(TreeColumns, NewColumnsTakeTheirDefaultsAndSettersClamp) {
  TestTree tree;
  AddColumns(tree, {50, 50, 50});
  TViewTreeColumn& column = tree.Header().Columns().Add();
  EXPECT_EQ(column.Position(), 3u);
  EXPECT_EQ(column.Width(), 50);
  EXPECT_EQ(column.MinWidth(), 10);
  EXPECT_EQ(column.MaxWidth(), 10000);
  EXPECT_EQ(column.Options(), DefaultColumnOptions);
  EXPECT_EQ(column.StoredLeft(), 150);
  column.SetWidth(5);
  EXPECT_EQ(column.Width(), 10);
  column.SetWidth(20000);
  EXPECT_EQ(column.Width(), 10000);
  EXPECT_EQ(column.LastWidth(), 10);
  column.SetMargin(-3);
  EXPECT_EQ(column.Margin(), 4);
  column.SetMaxWidth(20000);
  EXPECT_EQ(column.MaxWidth(), TreeGlobals().IsWinNT ? 20000 : 10000);
  column.SetMinWidth(30000);
  EXPECT_EQ(column.MinWidth(), column.MaxWidth());
  EXPECT_EQ(column.Width(), column.MaxWidth());
  column.SetText(u"Name \u20ac");
  EXPECT_EQ(column.DisplayName(), u"Column 3");
  column.SetText(u"Caf\u00e9");
  EXPECT_EQ(column.DisplayName(), u"Caf\u00e9");
}

TEST(TreeColumns, DeletingAColumnRenumbersEveryReference) {
  struct Case {
    const char* what;
    TColumnIndex dying, sort, expectedSort, autoSize, expectedAutoSize;
  };
  const Case cases[] = {
      {"a later sort column drops by one", 1, 3, 2, 3, 2},
      {"the sort column itself goes", 1, 1, NoColumn, 1, NoColumn},
      {"an earlier one stays", 2, 0, 0, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestTree tree;
    AddColumns(tree, {20, 30, 40, 50});
    tree.Header().SetSortColumn(c.sort);
    tree.Header().SetAutoSizeIndex(c.autoSize);
    tree.Header().SetMainColumn(3);
    tree.Header().Columns().Delete(c.dying);
    EXPECT_EQ(tree.Header().SortColumn(), c.expectedSort);
    EXPECT_EQ(tree.Header().AutoSizeIndex(), c.expectedAutoSize);
    EXPECT_EQ(tree.Header().ColumnCount(), 3);
    // The main column keeps naming a column that exists: the last one moved down.
    EXPECT_EQ(tree.Header().MainColumn(), 2);
    const auto positions = Positions(tree);
    EXPECT_EQ(positions, (std::vector<TColumnIndex>{0, 1, 2}));
    // Lefts follow the widths that are left.
    EXPECT_EQ(tree.Header().Columns()[2].StoredLeft(), tree.Header().Columns().TotalWidth() - tree.Header().Columns()[2].Width());
  }
}

TEST(TreeColumns, PositionsMoveAndIndexChangesFollow) {
  TestTree tree;
  AddColumns(tree, {10, 20, 30, 40});
  TViewTreeColumns& columns = tree.Header().Columns();
  columns.ColumnIndexChanged(1, 3);
  EXPECT_EQ(Positions(tree), (std::vector<TColumnIndex>{0, 3, 1, 2}));
  columns.ResetPositions(false);
  columns[0].SetPosition(2);
  EXPECT_EQ(Positions(tree), (std::vector<TColumnIndex>{1, 2, 0, 3}));
  EXPECT_EQ(columns[0].StoredLeft(), 50);
  EXPECT_EQ(columns[1].StoredLeft(), 0);
  // Positions out of range mean the last one.
  columns[1].SetPosition(static_cast<TColumnPosition>(-1));
  EXPECT_EQ(Positions(tree), (std::vector<TColumnIndex>{2, 0, 3, 1}));
  columns.ResetPositions(true);
  EXPECT_EQ(Positions(tree), (std::vector<TColumnIndex>{3, 2, 1, 0}));
  EXPECT_EQ(columns.NextVisibleColumn(2), 1);
  EXPECT_EQ(columns.PreviousVisibleColumn(2), 3);
  EXPECT_EQ(columns.NextVisibleColumn(0), InvalidColumn);
  columns[1].SetOptions(columns[1].Options() & ~coVisible);
  EXPECT_EQ(columns.NextVisibleColumn(2), 0);
  EXPECT_EQ(columns.VisibleColumns(), (std::vector<TColumnIndex>{3, 2, 0}));
  EXPECT_EQ(columns.TotalWidth(), 80);
}

TEST(TreeColumns, ADraggedColumnTakesTheFixedFlagOfItsNewNeighbour) {
  TestTree tree;
  AddColumns(tree, {10, 20, 30});
  TViewTreeColumns& columns = tree.Header().Columns();
  columns[0].SetOptions(columns[0].Options() | coFixed);
  columns[2].SetPosition(0);
  EXPECT_TRUE(columns[2].Has(coFixed));
  EXPECT_EQ(columns.FixedColumnsTotalWidth(), 40);
  columns[2].SetPosition(2);
  EXPECT_FALSE(columns[2].Has(coFixed));
}

TEST(TreeColumns, TheColumnUnderAPoint) {
  TestTree tree;
  AddColumns(tree, {30, 40, 50});
  TViewTreeColumns& columns = tree.Header().Columns();
  columns[1].SetPosition(2);  // screen order: 0, 2, 1
  struct Case {
    int x;
    TColumnIndex column;
    int left, right;
  };
  const Case cases[] = {{-1, InvalidColumn, 0, 0}, {0, 0, 0, 30},     {29, 0, 0, 30},  {30, 2, 30, 80},
                        {79, 2, 30, 80},           {80, 1, 80, 120}, {119, 1, 80, 120}, {120, InvalidColumn, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    int left = 0, right = 0;
    EXPECT_EQ(columns.ColumnAtPoint(POINT{c.x, 5}, false), c.column);
    EXPECT_EQ(columns.ColumnAtX(POINT{c.x, 5}, false, left, right), c.column);
    if (c.column >= 0) {
      EXPECT_EQ(left, c.left);
      EXPECT_EQ(right, c.right);
    }
  }
  EXPECT_EQ(columns.ColumnAtPoint(POINT{5, -1}, false), InvalidColumn);
}

TEST(TreeColumns, TheAutoSizeColumnFillsTheClientWidth) {
  TestTree tree;
  tree.SetBounds(0, 0, 300, 100);
  AddColumns(tree, {50, 60, 70});
  tree.Header().SetAutoSizeIndex(0);
  tree.Header().SetOptions(tree.Header().Options() | hoAutoResize);
  TViewTreeColumn& first = tree.Header().Columns()[0];
  EXPECT_EQ(first.Width(), 300 - 60 - 70);
  // Its own width setter only records the last width.
  first.SetWidth(40);
  EXPECT_EQ(first.Width(), 170);
  EXPECT_EQ(first.LastWidth(), 170);
  tree.Header().Columns()[1].SetWidth(100);
  EXPECT_EQ(first.Width(), 300 - 100 - 70);
}

TEST(TreeHeader, SortColumnAndDirectionClampAndSortOnlyOnRealChanges) {
  TestTree tree;
  int sorts = 0;
  tree.OnCompareNodes = [&](TViewTreeObject*, PViewNode, PViewNode, TColumnIndex, int& result) {
    ++sorts;
    result = 0;
  };
  vtree_test::Build(tree, {"b", "a"});
  tree.Header().SetSortColumn(5);
  EXPECT_EQ(tree.Header().SortColumn(), NoColumn);
  EXPECT_EQ(tree.Header().MainColumn(), NoColumn);
  AddColumns(tree, {50, 50});
  tree.TreeOptions().SetAutoOptions(tree.TreeOptions().AutoOptions() | toAutoSort);
  sorts = 0;
  tree.Header().SetSortColumn(5);
  EXPECT_EQ(tree.Header().SortColumn(), 1);
  EXPECT_GT(sorts, 0);
  sorts = 0;
  tree.Header().SetSortColumn(1);
  tree.Header().SetSortDirection(sdAscending);
  EXPECT_EQ(sorts, 0);
  tree.BeginUpdate();
  tree.Header().SetSortDirection(sdDescending);
  EXPECT_EQ(sorts, 0);
  tree.EndUpdate();
}

// --- streams ---

// A header with every field away from its default.
void FillHeader(TestTree& tree) {
  AddColumns(tree, {120, 80, 60});
  TViewTreeColumns& columns = tree.Header().Columns();
  columns[0].SetText(u"Name");
  columns[1].SetText(u"Date \u20ac");
  columns[1].Hint = u"When";
  columns[2].SetText(u"Website");
  columns[2].SetAlignment(taRightJustify);
  columns[2].SetColor(0x123456);
  columns[2].Tag = 7;
  columns[1].SetMinWidth(20);
  columns[1].SetMaxWidth(500);
  columns[0].SetPosition(2);
  TVTHeader& header = tree.Header();
  header.SetAutoSizeIndex(1);
  header.SetBackground(0x00AABBCC);
  header.SetHeight(21);
  header.SetOptions(hoColumnResize | hoShowSortGlyphs | hoVisible);
  header.SetStyle(hsPlates);
  header.Font().SetName("Tahoma");
  header.Font().SetHeight(-11);
  header.SetMainColumn(2);
  header.SetSortColumn(1);
  header.SetSortDirection(sdDescending);
}

bool SameHeaders(TestTree& a, TestTree& b) {
  const TVTHeader &x = a.Header(), &y = b.Header();
  return a.Header().Columns().IsEqual(b.Header().Columns()) && x.AutoSizeIndex() == y.AutoSizeIndex() &&
         x.Background() == y.Background() && x.Height() == y.Height() && x.Options() == y.Options() &&
         x.Style() == y.Style() && a.Header().Font().Name() == b.Header().Font().Name() &&
         a.Header().Font().Height() == b.Header().Font().Height() && x.MainColumn() == y.MainColumn() &&
         x.SortColumn() == y.SortColumn() && x.SortDirection() == y.SortDirection();
}

std::vector<char> Saved(TestTree& tree) {
  TMemoryStream stream;
  tree.Header().SaveToStream(stream);
  std::vector<char> bytes(static_cast<std::size_t>(stream.Size()));
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  return bytes;
}

void Load(TestTree& tree, const std::vector<char>& bytes) {
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  stream.SetPosition(0);
  tree.Header().LoadFromStream(stream);
}

TEST(TreeHeaderStream, ASavedHeaderReadsBackEqual) {
  TestTree tree, copy;
  FillHeader(tree);
  Load(copy, Saved(tree));
  EXPECT_TRUE(SameHeaders(tree, copy));
  EXPECT_EQ(copy.Header().Columns()[1].Hint, u"When");
  EXPECT_EQ(copy.Header().Columns()[0].StoredLeft(), 140);  // positions 1, 2, 0
  EXPECT_FALSE(copy.Header().InHeaderState(hstLoading));
}

TEST(TreeHeaderStream, EveryShortStreamFailsClearlyAndLeavesAUsableDefaultHeader) {
  TestTree tree;
  FillHeader(tree);
  const std::vector<char> bytes = Saved(tree);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    SCOPED_TRACE(length);
    TestTree target;
    AddColumns(target, {33});
    EXPECT_THROW(Load(target, std::vector<char>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length))),
                 EReadError);
    EXPECT_EQ(target.Header().ColumnCount(), 0);
    EXPECT_EQ(target.Header().Height(), 17u);
    EXPECT_EQ(target.Header().Options(), DefaultHeaderOptions);
    EXPECT_FALSE(target.Header().InHeaderState(hstLoading));
    // Usable: columns can be added and found again.
    AddColumns(target, {40});
    EXPECT_EQ(target.Header().Columns().ColumnAtPoint(POINT{10, 0}, false), 0);
  }
}

TEST(TreeHeaderStream, DamagedCountsAndPositionsAreRefused) {
  TestTree tree;
  FillHeader(tree);
  const std::vector<char> good = Saved(tree);
  auto patched = [&](std::size_t offset, std::int32_t value) {
    std::vector<char> bytes = good;
    std::memcpy(bytes.data() + offset, &value, 4);
    return bytes;
  };
  // Marker, version, column count, then the first column's text length.
  const std::size_t count = 8, firstText = 12;
  // The position table: before 13 integers and the six letters of the font's name.
  const std::size_t positions = good.size() - 4 * 13 - 6 - 4 * 3;
  struct Case {
    const char* what;
    std::vector<char> bytes;
  };
  const Case cases[] = {
      {"a column count beyond the stream", patched(count, 1 << 20)},
      {"a negative column count", patched(count, -5)},
      {"a text longer than the stream", patched(firstText, 1 << 28)},
      {"a negative text length", patched(firstText, -1)},
      {"positions that are no permutation", patched(positions, 2)},
      {"an unknown version", patched(4, 9)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestTree target;
    EXPECT_THROW(Load(target, c.bytes), EReadError);
    EXPECT_EQ(target.Header().ColumnCount(), 0);
  }
}

TEST(TreeHeaderStream, OldColumnOptionsAreConverted) {
  TestTree tree;
  AddColumns(tree, {50});
  // Version 0: bits 4..6 stand one place lower (no coParentColor yet).
  TMemoryStream stream;
  auto put = [&](std::int32_t v) { stream.WriteBuffer(&v, 4); };
  put(-1);
  put(0);
  put(1);  // one column
  put(0);  // text
  put(0);  // hint
  for (std::int32_t v : {60, 10, 10000, 0, -1, 0, 4, 4, 0}) put(v);
  put(0x0F | 0x70);  // bits 0..6 in the old numbering
  put(0);            // the position table
  for (std::int32_t v : {0, 0x7FFFFFFF, 17, 0, 0}) put(v);  // auto size, background, height, options, style
  put(0);
  put(-11);
  put(0);  // no font name
  put(0);
  put(0);
  stream.SetPosition(0);
  tree.Header().LoadFromStream(stream);
  ASSERT_EQ(tree.Header().ColumnCount(), 1);
  EXPECT_EQ(tree.Header().Columns()[0].Options(), 0x0F | 0xE0);
  EXPECT_EQ(tree.Header().Columns()[0].Width(), 60);
}

// --- the header's mouse, as a user works it ---

class HeaderMouse : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(50, 50, 400, 200);
    tree_ = new TestTree();
    tree_->SetParent(form_.get());
    tree_->SetBounds(0, 0, 300, 150);
    AddColumns(*tree_, {100, 80, 60});
    tree_->Header().SetOptions(hoColumnResize | hoDrag | hoVisible | hoShowSortGlyphs);
    tree_->Header().SetHeight(20);
    form_->HandleNeeded();
    ShowWindow(form_->Handle(), SW_SHOW);
    platform::input_driver::RunPending();
    tree_->OnHeaderClick = [this](TVTHeader*, TColumnIndex column, TMouseButton button, TShiftState, int, int) {
      clicks_.push_back({column, button});
    };
  }
  void TearDown() override {
    delete tree_;
    form_.reset();
  }
  // A screen point of the header: x from the tree's left, y from the header's top.
  POINT InHeader(int x, int y) const {
    POINT p{x, y - 20};
    ClientToScreen(tree_->Handle(), &p);
    return p;
  }
  void Drag(POINT from, POINT to) {
    namespace input = platform::input_driver;
    input::MoveTo(from);
    input::Press(VK_LBUTTON);
    input::RunPending();
    input::MoveTo(POINT{from.x + (to.x - from.x) / 2, to.y});
    input::RunPending();
    input::MoveTo(to);
    input::RunPending();
    input::Release(VK_LBUTTON);
    input::RunPending();
  }
  std::unique_ptr<TForm> form_;
  TestTree* tree_ = nullptr;
  std::vector<std::pair<TColumnIndex, TMouseButton>> clicks_;
};

TEST_F(HeaderMouse, TheHeaderLivesAboveTheClientAreaAndIsNonClient) {
  RECT client{}, window{};
  GetClientRect(tree_->Handle(), &client);
  GetWindowRect(tree_->Handle(), &window);
  // No bar is needed: the header's height is all the client area loses.
  EXPECT_EQ(client.bottom, 130);
  EXPECT_EQ(client.right, 300);
  POINT corner{0, 0};
  ClientToScreen(tree_->Handle(), &corner);
  EXPECT_EQ(corner.y - window.top, 20);
  const LRESULT hit = SendMessageW(tree_->Handle(), WM_NCHITTEST, 0, MAKELPARAM(InHeader(10, 5).x, InHeader(10, 5).y));
  EXPECT_EQ(hit, HTBORDER);
}

TEST_F(HeaderMouse, AClickFiresOnReleaseOverThePressedCellOnly) {
  platform::input_driver::Click(InHeader(120, 10), VK_LBUTTON);
  platform::input_driver::RunPending();
  ASSERT_EQ(clicks_.size(), 1u);
  EXPECT_EQ(clicks_[0].first, 1);
  clicks_.clear();
  // Pressed on one cell, released on another: no click. Dragging is off for this.
  tree_->Header().SetOptions(tree_->Header().Options() & ~hoDrag);
  Drag(InHeader(20, 10), InHeader(150, 10));
  EXPECT_TRUE(clicks_.empty());
  // A right release clicks the cell under the pointer.
  platform::input_driver::Click(InHeader(200, 10), VK_RBUTTON);
  platform::input_driver::RunPending();
  ASSERT_EQ(clicks_.size(), 1u);
  EXPECT_EQ(clicks_[0].first, 2);
  EXPECT_EQ(clicks_[0].second, TMouseButton::mbRight);
}

TEST_F(HeaderMouse, DraggingASplitterResizesTheColumn) {
  // The splitter zone reaches 4 pixels right of the edge, not 3 pixels left of it.
  EXPECT_TRUE(tree_->Header().FindSplitter(POINT{104, -10}));
  EXPECT_EQ(tree_->Header().Columns().TrackIndex, 0);
  EXPECT_FALSE(tree_->Header().FindSplitter(POINT{97, -10}));
  std::vector<TColumnIndex> resized;
  tree_->OnColumnResize = [&](TVTHeader*, TColumnIndex column) { resized.push_back(column); };
  Drag(InHeader(100, 10), InHeader(130, 10));
  EXPECT_EQ(tree_->Header().Columns()[0].Width(), 130);
  EXPECT_EQ(tree_->Header().Columns()[1].StoredLeft(), 130);
  EXPECT_FALSE(resized.empty());
  EXPECT_TRUE(clicks_.empty());
  EXPECT_EQ(tree_->Header().States() & ~hstLoading, 0);
  // A column that may not be resized blocks the search to its left.
  tree_->Header().Columns()[1].SetOptions(tree_->Header().Columns()[1].Options() & ~coResizable);
  EXPECT_FALSE(tree_->Header().FindSplitter(POINT{211, -10}));
}

TEST_F(HeaderMouse, DroppingAColumnMovesItBeforeOrAfterTheTarget) {
  // Presses at different places, so that the second is no double click.
  struct Case {
    const char* what;
    int pressX, dropX;
    std::vector<TColumnIndex> positions;
  };
  const Case cases[] = {
      {"on the right half of the last column", 30, 230, {1, 2, 0}},
      {"on its left half", 60, 190, {1, 0, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tree_->Header().Columns().ResetPositions(false);
    std::vector<TColumnPosition> dragged;
    tree_->OnHeaderDragged = [&](TVTHeader*, TColumnIndex, TColumnPosition old) { dragged.push_back(old); };
    Drag(InHeader(c.pressX, 10), InHeader(c.dropX, 10));
    EXPECT_EQ(Positions(*tree_), c.positions);
    EXPECT_EQ(dragged, (std::vector<TColumnPosition>{0}));
    EXPECT_TRUE(clicks_.empty());
  }
}

TEST_F(HeaderMouse, AShortDragIsAClick) {
  Drag(InHeader(30, 10), InHeader(31, 10));
  EXPECT_EQ(Positions(*tree_), (std::vector<TColumnIndex>{0, 1, 2}));
  ASSERT_EQ(clicks_.size(), 1u);
  EXPECT_EQ(clicks_[0].first, 0);
}

// The pointer's shape as the window system asks the header for it on each move.
TEST_F(HeaderMouse, TheCursorSplitsOverASplitterOnly) {
  namespace input = platform::input_driver;
  const HCURSOR arrow = LoadCursorW(0, IDC_ARROW), split = LoadCursorW(0, IDC_SIZEWE), hand = LoadCursorW(0, IDC_HAND);
  struct Case {
    const char* what;
    POINT at;
    TVTHeaderOptions options;
    bool handOverCells;
    HCURSOR expected;
  };
  const TVTHeaderOptions usual = tree_->Header().Options();
  const Case cases[] = {
      {"on the first splitter", InHeader(102, 10), usual, false, split},
      {"on the last splitter", InHeader(238, 10), usual, false, split},
      {"in a cell", InHeader(50, 10), usual, false, arrow},
      {"right of the columns", InHeader(280, 10), usual, false, arrow},
      {"in the client area", POINT{InHeader(102, 40)}, usual, false, arrow},
      {"without column resizing", InHeader(102, 10), static_cast<TVTHeaderOptions>(usual & ~hoColumnResize), false, arrow},
      {"a handler's choice in a cell", InHeader(50, 10), usual, true, hand},
      {"a handler's choice on a splitter", InHeader(102, 10), usual, true, hand},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tree_->Header().SetOptions(c.options);
    tree_->OnGetHeaderCursor = nullptr;
    if (c.handOverCells) tree_->OnGetHeaderCursor = [&](TVTHeader*, HCURSOR& cursor) { cursor = hand; };
    SetCursor(0);
    input::MoveTo(c.at);
    input::RunPending();
    EXPECT_EQ(GetCursor(), c.expected);
  }
  // While a splitter is dragged the shape stays, wherever the mouse goes.
  tree_->OnGetHeaderCursor = nullptr;
  tree_->Header().SetOptions(usual);
  input::MoveTo(InHeader(100, 10));
  input::RunPending();
  input::Press(VK_LBUTTON);
  input::RunPending();
  input::MoveTo(InHeader(60, 10));
  input::RunPending();
  EXPECT_EQ(GetCursor(), split);
  input::Release(VK_LBUTTON);
  input::RunPending();
}

TEST(TreeHeader, ScalingChangesTheFontSizeByTheFraction) {
  struct Case {
    int size, m, d, scaled;
  };
  const Case cases[] = {{8, 120, 96, 10}, {9, 3, 2, 14}, {10, 1, 3, 3}, {8, 96, 96, 8}, {11, 2, 4, 6}};
  for (const Case& c : cases) {
    TestTree tree;
    tree.Header().Font().SetSize(c.size);
    tree.Header().ScaleHeader(c.m, c.d);
    EXPECT_EQ(tree.Header().Font().Size(), c.scaled) << c.size << " * " << c.m << " / " << c.d;
  }
}

TEST_F(HeaderMouse, AnAdvancedOwnerPaintsWhatItClaims) {
  std::vector<std::string> asked, painted;
  tree_->OnHeaderDrawQueryElements = [&](TVTHeader*, THeaderPaintInfo& info, THeaderPaintElements& elements) {
    const int column = info.Column == nullptr ? -1 : info.Column->Index();
    asked.push_back(std::to_string(column));
    if (column == -1) elements = hpeBackground;
    if (column == 1) elements = hpeText | hpeSortGlyph;
  };
  tree_->OnAdvancedHeaderDraw = [&](TVTHeader*, THeaderPaintInfo& info, THeaderPaintElements elements) {
    const int column = info.Column == nullptr ? -1 : info.Column->Index();
    painted.push_back(std::to_string(column) + ":" + std::to_string(elements) + " " +
                      std::to_string(info.PaintRectangle.left) + ".." + std::to_string(info.PaintRectangle.right) +
                      (info.ShowSortGlyph ? " sorted" : ""));
  };
  tree_->Header().SetSortColumn(1);
  // Owner drawing needs its option; without it nobody is asked.
  tree_->Header().InvalidateHeader();
  platform::input_driver::RunPending();
  EXPECT_TRUE(asked.empty());
  tree_->Header().SetOptions(tree_->Header().Options() | hoOwnerDraw);
  asked.clear();
  painted.clear();
  tree_->Header().InvalidateHeader();
  platform::input_driver::RunPending();
  EXPECT_EQ(asked, (std::vector<std::string>{"-1", "0", "1", "2"}));
  EXPECT_EQ(painted, (std::vector<std::string>{"-1:1 0..300", "1:24 100..180 sorted"}));
}

// The animation as the scroll operations it makes, and the pixels the first one moved.
TEST_F(HeaderMouse, AnAnimatedResizeScrollsWhatLiesRightOfTheEdgeInSteps) {
  tree_->Header().Columns()[1].SetText(u"Date");
  platform::input_driver::RunPending();
  struct Call {
    int dx;
    RECT scroll;
  };
  std::vector<Call> calls;
  const auto before = platform::gdi::WholeWindowPicture(tree_->Handle());
  std::shared_ptr<platform::gdi::Bitmap> afterFirstStep;
  platform::gdi::SetScrollDCObserver([&](HDC, int dx, int, const RECT& scroll) {
    calls.push_back({dx, scroll});
    if (calls.size() == 2 && !afterFirstStep) afterFirstStep = platform::gdi::WholeWindowPicture(tree_->Handle());
  });
  struct Case {
    int to, step, calls;
  };
  const Case cases[] = {{164, 2, 64}, {36, -4, 64}, {50, 0, 0}};
  int from = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    calls.clear();
    RECT client{};
    GetClientRect(tree_->Handle(), &client);
    tree_->Header().Columns().ResizeAnimated(0, c.to);
    EXPECT_EQ(tree_->Header().Columns()[0].Width(), c.to);
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(c.calls));
    for (int i = 0; i < c.calls; ++i) {
      const Call& call = calls[static_cast<std::size_t>(i)];
      EXPECT_EQ(call.dx, c.step);
      EXPECT_EQ(call.scroll.left, from + i / 2 * c.step);
      EXPECT_EQ(call.scroll.right, client.right);
      // The header rows, then the client rows (above the bar once it is there).
      EXPECT_EQ(call.scroll.top, i % 2 == 0 ? 0 : 20);
      EXPECT_EQ(call.scroll.bottom, i % 2 == 0 ? 20 : 20 + client.bottom);
    }
    from = c.to;
  }
  platform::gdi::SetScrollDCObserver({});
  // The second column's caption moved 2 pixels right in the first step.
  ASSERT_NE(afterFirstStep, nullptr);
  int moved = 0;
  for (int x = 100; x < 296; ++x) {
    for (int y = 2; y < 18; ++y) {
      EXPECT_EQ(pellix_test::PixelOf(*afterFirstStep, x + 2, y), pellix_test::PixelOf(*before, x, y)) << x << "," << y;
      if (pellix_test::PixelOf(*before, x, y) != pellix_test::PixelOf(*before, x + 2, y)) ++moved;
    }
  }
  EXPECT_GT(moved, 0);
}

// The dragged column's picture follows the mouse and goes when the drag ends.
TEST_F(HeaderMouse, ADraggedColumnsPictureFollowsTheMouse) {
  namespace input = platform::input_driver;
  TVTDragImage& image = tree_->Header().DragImage();
  input::MoveTo(InHeader(130, 10));
  input::Press(VK_LBUTTON);
  input::RunPending();
  input::MoveTo(InHeader(160, 10));
  input::RunPending();
  ASSERT_TRUE(image.Visible());
  const RECT first = image.GetDragImageRect();
  EXPECT_EQ(first.right - first.left, 80);  // column 1
  EXPECT_EQ(first.bottom - first.top, 20);
  // It starts at the cell's place and keeps the press point's distance to the mouse.
  POINT cell{100, 0};
  ClientToScreen(tree_->Handle(), &cell);
  EXPECT_EQ(first.left, cell.x);
  input::MoveTo(InHeader(200, 10));
  input::RunPending();
  EXPECT_EQ(image.GetDragImageRect().left, cell.x + 200 - 130);
  input::Release(VK_LBUTTON);
  input::RunPending();
  EXPECT_FALSE(image.Visible());
}

}  // namespace
