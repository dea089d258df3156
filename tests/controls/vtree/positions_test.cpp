// Positions: the node at a point (with and without the position cache), display
// rectangles, hit tests inside cells and across columns, right to left, and scrolling
// through the platform's scroll bars.
#include <gtest/gtest.h>

#include <random>

#include "platform/classlib/forms.h"
#include "platform/win/input_driver.h"
#include "platform/win/metrics.h"
#include "platform/win/scroll.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

// A tree whose text widths come from the fixed font: four pixels a character.
void UseFixedText(TestTree& tree) {
  tree.ShowText = true;
  tree.Font().SetName("Pellix Test Fixed");
  tree.Font().SetHeight(-8);
}

// A, with children A1 (20 high) and A2 (hidden below A1's child A11), then B; A is
// expanded, A1 collapsed.
std::map<std::string, PViewNode> SmallTree(TestTree& tree) {
  auto n = Build(tree, {"A", "A/A1", "A/A1/A11", "A/A2", "A/A3", "B"});
  tree.SetExpanded(n.at("A"), true);
  tree.SetNodeHeight(n.at("A1"), 20);
  tree.SetVisible(n.at("A2"), false);
  return n;
}

TEST(TreePositions, TheNodeAtAHeight) {
  TestTree tree;
  auto n = SmallTree(tree);
  // Rows: A 0..17, A1 18..37, A3 38..55, B 56..73.
  struct Case {
    int y;
    const char* node;
    int top;
  };
  const Case cases[] = {{-5, "A", 0},   {0, "A", 0},    {17, "A", 0},   {18, "A1", 18}, {37, "A1", 18},
                        {38, "A3", 38}, {55, "A3", 38}, {56, "B", 56},  {73, "B", 56},  {74, "nil", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y);
    int top = -1;
    PViewNode node = tree.GetNodeAt(0, c.y, false, top);
    EXPECT_EQ(tree.Name(node), c.node);
    EXPECT_EQ(top, c.top);
  }
  EXPECT_EQ(tree.NodeAtPoint(0, 1000), nullptr);
}

TEST(TreePositions, TheCacheHoldsEvery2000thRowAndAnswersAsTheWalkDoes) {
  TestTree tree;
  tree.BeginUpdate();
  for (int i = 0; i < 4001; ++i) tree.AppendChildNode(nullptr);
  tree.EndUpdate();
  ASSERT_TRUE(tree.CacheIsValid());
  const auto& cache = tree.PositionCache();
  ASSERT_EQ(cache.size(), 3u);
  PViewNode first = tree.GetFirst();
  EXPECT_EQ(cache[0].Node, first);
  EXPECT_EQ(cache[0].AbsoluteTop, 0u);
  EXPECT_EQ(cache[1].Node->Index, 2000u);
  EXPECT_EQ(cache[1].AbsoluteTop, 2000u * 18);
  EXPECT_EQ(cache[2].Node->Index, 4000u);
  EXPECT_EQ(cache[2].AbsoluteTop, 4000u * 18);
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    const int y = static_cast<int>(random() % (4001u * 18));
    int top = 0;
    PViewNode node = tree.GetNodeAt(0, y, false, top);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Index, static_cast<std::uint32_t>(y / 18));
    EXPECT_EQ(top, y / 18 * 18);
  }
  // Below 2001 shown rows there is no cache.
  tree.DeleteNode(tree.GetLast());
  tree.ValidateCache();
  for (int i = 0; i < 2000; ++i) tree.DeleteNode(tree.GetLast());
  EXPECT_TRUE(tree.CacheIsValid());
  EXPECT_TRUE(tree.PositionCache().empty());
}

// Rows of many heights at three levels, some hidden, some collapsed: the row found
// with the cache is the row a walk from the first node finds, at every height.
TEST(TreePositions, TheCachedLookupFindsWhatTheWalkFinds) {
  TestTree tree;
  std::mt19937 random(11);
  tree.BeginUpdate();
  for (int p = 0; p < 60; ++p) {
    PViewNode parent = tree.AppendChildNode(nullptr);
    for (int c = 0; c < 50; ++c) {
      PViewNode child = tree.AppendChildNode(parent);
      if (c % 7 == 0) tree.SetChildCount(child, 3);
    }
  }
  tree.EndUpdate();
  tree.FullExpand();
  for (PViewNode node = tree.GetFirst(); node != nullptr; node = tree.GetNext(node)) {
    tree.SetNodeHeight(node, 1 + random() % 40);
    if (random() % 50 == 0) tree.SetVisible(node, false);
    if (random() % 40 == 0) tree.SetExpanded(node, false);
  }
  tree.ValidateCache();
  ASSERT_GT(tree.VisibleCount(), 2000u);
  ASSERT_TRUE(tree.CacheIsValid());
  const int content = static_cast<int>(tree.RootNode()->TotalHeight - tree.RootNode()->NodeHeight);
  std::vector<std::pair<PViewNode, int>> cached;
  for (int y = 0; y <= content; y += 3) {
    int top = -1;
    PViewNode node = tree.GetNodeAt(0, y, false, top);
    cached.emplace_back(node, top);
  }
  tree.InvalidateCache();
  ASSERT_FALSE(tree.CacheIsValid());
  for (int y = 0, i = 0; y <= content; y += 3, ++i) {
    int top = -1;
    PViewNode node = tree.GetNodeAt(0, y, false, top);
    ASSERT_EQ(cached[static_cast<std::size_t>(i)], std::make_pair(node, top)) << "at " << y;
  }
}

TEST(TreePositions, DisplayRectangles) {
  TestTree tree;
  UseFixedText(tree);
  auto n = SmallTree(tree);
  EXPECT_EQ(tree.GetDisplayRect(n.at("A11"), NoColumn, false).right, 0);  // inside collapsed A1
  EXPECT_EQ(tree.GetDisplayRect(n.at("A2"), NoColumn, false).right, 0);   // hidden
  const RECT row = tree.GetDisplayRect(n.at("A3"), NoColumn, false);
  EXPECT_EQ(row.top, 38);
  EXPECT_EQ(row.bottom, 56);
  EXPECT_EQ(row.left, 0);
  EXPECT_EQ(row.right, 200);
  // The text: indentation of two levels, the margin, then two characters.
  const RECT text = tree.GetDisplayRect(n.at("A3"), NoColumn, true);
  EXPECT_EQ(text.left, 2 * 18 + 4);
  EXPECT_EQ(text.right, 2 * 18 + 4 + 8);
  // With columns: the cell's bounds, and the text placed by the column's alignment.
  for (int width : {100, 60}) tree.Header().Columns().Add().SetWidth(width);
  tree.Header().Columns()[1].SetAlignment(taRightJustify);
  const RECT cell = tree.GetDisplayRect(n.at("B"), 1, false);
  EXPECT_EQ(cell.left, 100);
  EXPECT_EQ(cell.right, 159);
  const RECT right = tree.GetDisplayRect(n.at("B"), 1, true);
  EXPECT_EQ(right.right, 159);
  EXPECT_EQ(right.left, 159 - 8);  // "dB"
  tree.Header().Columns()[1].SetAlignment(taCenter);
  const RECT centre = tree.GetDisplayRect(n.at("B"), 1, true);
  EXPECT_EQ(centre.left, (104 + 159 - 8) / 2);
}

struct HitCase {
  const char* what;
  int x, y;
  const char* node;
  TColumnIndex column;
  THitPositions positions;
};

void ExpectHits(TestTree& tree, const std::vector<HitCase>& cases) {
  for (const HitCase& c : cases) {
    SCOPED_TRACE(c.what);
    THitInfo hit;
    tree.GetHitTestInfoAt(c.x, c.y, true, hit);
    EXPECT_EQ(tree.Name(hit.HitNode), c.node);
    EXPECT_EQ(hit.HitColumn, c.column);
    EXPECT_EQ(hit.HitPositions, c.positions);
  }
}

TEST(TreeHitTest, PlacesInsideTheMainCell) {
  TestTree tree;
  UseFixedText(tree);
  auto n = SmallTree(tree);
  tree.TreeOptions().SetMiscOptions(tree.TreeOptions().MiscOptions() | toCheckSupport);
  tree.SetCheckType(n.at("A3"), ctCheckBox);
  // A: a button in its indentation cell (at 5..13), text from 22. A3: check box at
  // 40..55, text from 58.
  ExpectHits(tree, {
                       {"indent left of the button", 2, 5, "A", NoColumn, hiOnItem | hiOnItemIndent},
                       {"the button", 9, 5, "A", NoColumn, hiOnItem | hiOnItemButton},
                       {"the margin", 20, 5, "A", NoColumn, hiOnItem | hiOnItemLeft},
                       {"the label", 23, 5, "A", NoColumn, hiOnItem | hiOnItemLabel},
                       {"right of the label", 60, 5, "A", NoColumn, hiOnItem | hiOnItemRight},
                       {"a leaf's indent has no button", 9, 25, "A1", NoColumn, hiOnItem | hiOnItemIndent},
                       {"the check box", 45, 40, "A3", NoColumn, hiOnItem | hiOnItemCheckbox},
                       {"after the check box", 59, 40, "A3", NoColumn, hiOnItem | hiOnItemLabel},
                       {"below the last row", 10, 80, "nil", NoColumn, hiNowhere},
                       {"above", 10, -1, "nil", NoColumn, hiAbove},
                       {"left", -1, 10, "nil", NoColumn, hiToLeft},
                       {"right", 500, 10, "nil", NoColumn, hiToRight},
                       {"below the window", 10, 200, "nil", NoColumn, hiBelow},
                   });
}

TEST(TreeHitTest, ColumnsSpansAndRightToLeft) {
  TestTree tree;
  UseFixedText(tree);
  auto n = SmallTree(tree);
  for (int width : {60, 50, 50}) tree.Header().Columns().Add().SetWidth(width);
  ExpectHits(tree, {
                       {"main column label", 23, 60, "B", 0, hiOnItem | hiOnItemLabel},
                       {"second column label", 65, 60, "B", 1, hiOnItem | hiOnItemLabel},
                       {"second column right", 100, 60, "B", 1, hiOnItem | hiOnItemRight},
                       {"third column", 115, 60, "B", 2, hiOnItem | hiOnItemLabel},
                       {"beyond the columns", 170, 60, "B", InvalidColumn, hiNowhere},
                   });
  // Empty cells lend their room to the cell before them.
  tree.OnGetCellIsEmpty = [](TViewTreeObject*, PViewNode, TColumnIndex column, bool& empty) { empty = column == 1; };
  tree.TreeOptions().SetAutoOptions(tree.TreeOptions().AutoOptions() | toAutoSpanColumns);
  ExpectHits(tree, {{"a hit in an empty cell belongs to the one before", 80, 60, "B", 0, hiOnItem | hiOnItemRight}});
  tree.OnGetCellIsEmpty = nullptr;
  tree.TreeOptions().SetAutoOptions(tree.TreeOptions().AutoOptions() & ~toAutoSpanColumns);
  // Right to left: the cell is laid out from its right edge.
  tree.Header().Columns()[0].SetBiDiMode(bdRightToLeft);
  ExpectHits(tree, {
                       {"the button at the right", 60 - 14 + 4, 5, "A", 0, hiOnItem | hiOnItemButton},
                       {"the label next to the indentation", 60 - 22 - 1, 5, "A", 0, hiOnItem | hiOnItemLabel},
                       {"left of the label", 5, 5, "A", 0, hiOnItem | hiOnItemLeft},
                   });
}

TEST(TreePositions, WidestContentOfAColumn) {
  TestTree tree;
  EXPECT_EQ(tree.GetMaxColumnWidth(NoColumn), 0);
  tree.TreeOptions().SetPaintOptions(tree.TreeOptions().PaintOptions() | toShowVertGridLines);
  EXPECT_EQ(tree.GetMaxColumnWidth(NoColumn), 1);
  UseFixedText(tree);
  SmallTree(tree);
  // A3: two levels, the margin and two characters, plus the grid line.
  EXPECT_EQ(tree.GetMaxColumnWidth(NoColumn), 2 * 18 + 4 + 8 + 1);
}

// --- scrolling in a window ---

class TreeScrolling : public testing::Test {
 protected:
  void SetUp() override { window_.Show(); }
  SCROLLINFO Bar() {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(tree_->Handle(), SB_VERT, &info);
    return info;
  }
  RECT Client() {
    RECT r{};
    GetClientRect(tree_->Handle(), &r);
    return r;
  }
  vtree_test::WindowedTree window_{200, 120};
  TestTree* tree_ = window_.tree;
};

TEST_F(TreeScrolling, ContentSmallerThanTheWindowNeverScrolls) {
  Build(*tree_, {"A", "B"});
  tree_->SetOffsetY(-50);
  EXPECT_EQ(tree_->OffsetY(), 0);
  tree_->SetOffsetY(40);
  EXPECT_EQ(tree_->OffsetY(), 0);
  EXPECT_EQ(Client().right, 200);  // no bar took room
}

TEST_F(TreeScrolling, TheBarFollowsTheContentByThePlatformsRules) {
  tree_->BeginUpdate();
  for (int i = 0; i < 20; ++i) tree_->AppendChildNode(nullptr);
  tree_->EndUpdate();
  // The bar appeared and took its width from the client area.
  EXPECT_EQ(Client().right, 200 - GetSystemMetrics(SM_CXVSCROLL));
  const int height = Client().bottom;
  SCROLLINFO bar = Bar();
  EXPECT_EQ(bar.nMax, 20 * 18);
  EXPECT_EQ(static_cast<int>(bar.nPage), height + 1);
  EXPECT_EQ(bar.nPos, 0);
  // Offsets clamp to the content: the last row ends at the window's bottom.
  tree_->SetOffsetY(-10000);
  EXPECT_EQ(tree_->OffsetY(), height - 20 * 18);
  EXPECT_EQ(Bar().nPos, 20 * 18 - height);
  // Bar requests move the view by the bar's increment and by pages.
  tree_->SetOffsetY(0);
  tree_->ScrollBarOptions().SetVerticalIncrement(7);
  SendMessageW(tree_->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(tree_->OffsetY(), -7);
  SendMessageW(tree_->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(tree_->OffsetY(), -7 - height);
  SendMessageW(tree_->Handle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(tree_->OffsetY(), 0);
  // A node already in view is not scrolled to; one below is brought to the bottom.
  EXPECT_FALSE(tree_->ScrollIntoView(tree_->GetFirst(), false));
  PViewNode last = tree_->GetLast();
  EXPECT_TRUE(tree_->ScrollIntoView(last, false));
  EXPECT_EQ(tree_->GetDisplayRect(last, NoColumn, false).bottom, height);
  EXPECT_EQ(tree_->NodeAtPoint(0, height - 1), last);
  // Deleting rows brings the view back within the content.
  tree_->BeginUpdate();
  for (int i = 0; i < 15; ++i) tree_->DeleteNode(tree_->GetLast());
  tree_->EndUpdate();
  EXPECT_EQ(tree_->OffsetY(), 0);
  EXPECT_EQ(Client().right, 200);
}

TEST_F(TreeScrolling, ColumnsSetTheHorizontalRange) {
  for (int width : {150, 150}) tree_->Header().Columns().Add().SetWidth(width);
  tree_->Header().SetOptions(tree_->Header().Options() | hoVisible);
  EXPECT_EQ(tree_->RangeX(), 300);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(tree_->Handle(), SB_HORZ, &info));
  EXPECT_EQ(info.nMax, 300);
  tree_->SetOffsetX(-500);
  EXPECT_EQ(tree_->EffectiveOffsetX(), 300 - Client().right);
  // The scrolled column's cell moves with the view.
  int left = 0, right = 0;
  tree_->Header().Columns().ColumnBounds(1, left, right);
  EXPECT_EQ(left, 150 - tree_->EffectiveOffsetX());
}

}  // namespace
