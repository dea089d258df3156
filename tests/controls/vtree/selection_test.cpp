// Selection bookkeeping, click selection, focus and the change notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/base/clock.h"
#include "platform/classlib/forms.h"
#include "platform/win/message_queue.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

bool InAddressOrder(const std::vector<PViewNode>& nodes) {
  return std::is_sorted(nodes.begin(), nodes.end(), [](PViewNode a, PViewNode b) {
    return reinterpret_cast<std::uintptr_t>(a) < reinterpret_cast<std::uintptr_t>(b);
  });
}

TEST(TreeSelection, AddingSelectedOrDisabledNodesChangesNothing) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  auto n = Build(tree, {"A", "B"});
  int changes = 0;
  tree.OnChange = [&](TViewTreeObject*, PViewNode) { ++changes; };
  tree.AddToSelection(n.at("A"));
  EXPECT_EQ(changes, 1);
  tree.AddToSelection(n.at("A"));
  n.at("B")->Include(vsDisabled);
  tree.AddToSelection(n.at("B"));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(tree.SelectedCount(), 1u);
}

TEST(TreeSelection, ConstraintsKeepSiblingsOrOneLevel) {
  {
    TestTree tree;
    tree.TreeOptions().SetSelectionOptions(toMultiSelect | toSiblingSelectConstraint);
    auto n = Build(tree, {"A", "A/A1", "A/A2", "B", "B/B1"});
    const PViewNode items[] = {n.at("A1"), n.at("B1"), n.at("A2"), n.at("B")};
    tree.AddNodesToSelection(items);
    EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "A1 A2");
  }
  {
    TestTree tree;
    tree.TreeOptions().SetSelectionOptions(toMultiSelect | toLevelSelectConstraint);
    auto n = Build(tree, {"A", "A/A1", "B", "B/B1"});
    tree.SetSelected(n.at("A1"), true);
    tree.SetSelected(n.at("B"), true);
    tree.SetSelected(n.at("B1"), true);
    EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "A1 B1");
    // An empty selection frees the level again.
    tree.SetSelected(n.at("A1"), false);
    tree.SetSelected(n.at("B1"), false);
    tree.SetSelected(n.at("B"), true);
    EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B");
  }
}

TEST(TreeSelection, RemovingTheLastSelectedNodeResetsTheAnchorToTheFocus) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  auto n = Build(tree, {"A", "B", "C"});
  tree.SetFocusedNode(n.at("C"));
  tree.SetSelected(n.at("A"), true);
  EXPECT_EQ(tree.RangeAnchor(), n.at("A"));
  tree.SetSelected(n.at("B"), true);
  tree.SetSelected(n.at("A"), false);
  EXPECT_EQ(tree.RangeAnchor(), n.at("A"));
  tree.SetSelected(n.at("B"), false);
  EXPECT_EQ(tree.RangeAnchor(), n.at("C"));
}

TEST(TreeSelection, WithoutMultiSelectASecondNodeReplacesTheFirst) {
  TestTree tree;
  auto n = Build(tree, {"A", "B"});
  tree.SetSelected(n.at("A"), true);
  tree.SetSelected(n.at("B"), true);
  EXPECT_FALSE(n.at("A")->Has(vsSelected));
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B");
  // Switching multi-select on clears the selection.
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  EXPECT_EQ(tree.SelectedCount(), 0u);
}

TEST(TreeSelection, ArrayStaysInAddressOrderAndFindsEveryNode) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  std::vector<PViewNode> nodes;
  for (int i = 0; i < 300; ++i) nodes.push_back(tree.Add(nullptr, "x"));
  std::mt19937 random(11);
  for (int step = 0; step < 3000; ++step) {
    PViewNode node = nodes[random() % nodes.size()];
    tree.SetSelected(node, random() % 3 != 0);
  }
  ASSERT_TRUE(InAddressOrder(tree.SelectionArray()));
  std::size_t flagged = 0;
  for (PViewNode node : nodes) {
    std::ptrdiff_t index = 0;
    EXPECT_EQ(tree.FindNodeInSelection(node, index), node->Has(vsSelected));
    flagged += node->Has(vsSelected);
  }
  EXPECT_EQ(flagged, tree.SelectedCount());
}

TEST(TreeSelection, ShiftClickSelectsFromTheAnchorAfterTheFocusMoved) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  auto n = Build(tree, {"A", "B", "C", "D", "E"});
  // A plain click on B: focus, then the click rule.
  tree.DoFocusNode(n.at("B"), true);
  tree.ApplyClickSelection(nullptr, n.at("B"), 0, false);
  EXPECT_EQ(tree.RangeAnchor(), n.at("B"));
  // Shift+click on D moves the focus first; the anchor stays on B.
  tree.DoFocusNode(n.at("D"), true);
  EXPECT_EQ(tree.RangeAnchor(), n.at("B"));
  tree.ApplyClickSelection(n.at("B"), n.at("D"), ssShift, false);
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B C D");
  // Shift+click above the anchor replaces the range.
  tree.ApplyClickSelection(n.at("D"), n.at("A"), ssShift, false);
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "A B");
  // Ctrl toggles and moves the anchor; Ctrl+Shift adds a range.
  tree.ApplyClickSelection(n.at("A"), n.at("E"), ssCtrl, false);
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "A B E");
  tree.ApplyClickSelection(n.at("E"), n.at("A"), ssCtrl, false);
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B E");
  tree.ApplyClickSelection(n.at("A"), n.at("C"), ssCtrl | ssShift, false);
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "A B C E");
  // With a drag pending, Ctrl only arms the toggle.
  tree.ApplyClickSelection(n.at("C"), n.at("D"), ssCtrl, true);
  EXPECT_TRUE(tree.InState(tsToggleFocusedSelection));
  EXPECT_FALSE(n.at("D")->Has(vsSelected));
}

TEST(TreeSelection, ToggleAndUnselectRanges) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  auto n = Build(tree, {"A", "B", "C", "D", "E"});
  tree.SelectNodes(n.at("B"), n.at("D"), false);
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B C D");
  tree.UnselectNodes(n.at("D"), n.at("C"));
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B");
  tree.AnchorRef() = n.at("B");
  tree.ToggleSelection(n.at("B"), n.at("E"));
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B C D E");
  // The end nearer the anchor stays; the far end and the nodes between flip.
  tree.ToggleSelection(n.at("E"), n.at("C"));
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "B C");
  EXPECT_TRUE(InAddressOrder(tree.SelectionArray()));
}

TEST(TreeSelection, FocusChangesAskAndReport) {
  TestTree tree;
  auto n = Build(tree, {"A", "B"});
  std::vector<std::string> seen;
  bool allow = true;
  tree.OnFocusChanging = [&](TViewTreeObject*, PViewNode, PViewNode to, TColumnIndex, TColumnIndex, bool& allowed) {
    seen.push_back("changing " + tree.Name(to));
    allowed = allow;
  };
  tree.OnFocusChanged = [&](TViewTreeObject*, PViewNode node, TColumnIndex) { seen.push_back("changed " + tree.Name(node)); };
  tree.SetFocusedNode(n.at("A"));
  allow = false;
  tree.SetFocusedNode(n.at("B"));
  EXPECT_EQ(tree.FocusedNode(), n.at("A"));
  EXPECT_FALSE(tree.SetFocusedNodeAndColumn(n.at("B"), 3));
  EXPECT_EQ(tree.FocusedColumn(), NoColumn);
  allow = true;
  tree.SetFocusedColumn(2);
  EXPECT_EQ(tree.FocusedColumn(), 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"changing A", "changed A", "changing B", "changing B", "changing A",
                                            "changed A"}));
}

TEST(TreeChangeNotification, StatesAndDelayedChanges) {
  TestTree tree;
  auto n = Build(tree, {"A", "B"});
  int stateEvents = 0;
  tree.OnStateChange = [&](TViewTreeObject*, TViewTreeStates, TViewTreeStates) { ++stateEvents; };
  tree.DoStateChange(tsHint);
  tree.DoStateChange(tsHint);
  tree.DoStateChange(0, tsScrolling);
  EXPECT_EQ(stateEvents, 1);
  tree.DoStateChange(tsScrolling, tsScrolling);
  EXPECT_FALSE(tree.InState(tsScrolling));

  // A pending change whose node is freed arrives with nil.
  std::vector<std::string> changes;
  tree.OnChange = [&](TViewTreeObject*, PViewNode node) { changes.push_back(tree.Name(node)); };
  tree.BeginUpdate();
  tree.ReportChange(false, n.at("B"), crIgnore);
  tree.DeleteNode(n.at("B"));
  tree.EndUpdate();
  EXPECT_EQ(changes, std::vector<std::string>{"nil"});
  // Without a delay every change is told at once.
  changes.clear();
  tree.SetSelected(n.at("A"), true);
  tree.SetSelected(n.at("A"), false);
  EXPECT_EQ(changes, (std::vector<std::string>{"A", "A"}));
}

// Delivers the tree window's due timers.
void PumpTimers() {
  MSG msg;
  while (PeekMessageW(&msg, 0, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST(TreeChangeNotification, ABurstArrivesOnceAfterTheDelay) {
  platform::test_clock::Freeze(5000, 0);
  {
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    form.HandleNeeded();
    TestTree tree;
    tree.SetParent(&form);
    tree.HandleNeeded();
    ASSERT_TRUE(tree.HandleAllocated());
    tree.SetChangeDelay(100);
    auto n = Build(tree, {"A", "B", "C"});
    std::vector<std::string> changes;
    std::vector<TChangeReason> reasons;
    tree.OnChange = [&](TViewTreeObject*, PViewNode node) { changes.push_back(tree.Name(node)); };
    tree.OnStructureChange = [&](TViewTreeObject*, PViewNode, TChangeReason reason) { reasons.push_back(reason); };
    for (const char* name : {"A", "B", "C"}) {
      tree.SetSelected(n.at(name), true);
      platform::test_clock::Advance(20);
      PumpTimers();
    }
    EXPECT_TRUE(changes.empty());
    platform::test_clock::Advance(79);
    PumpTimers();
    EXPECT_TRUE(changes.empty());
    platform::test_clock::Advance(1);
    PumpTimers();
    EXPECT_EQ(changes, std::vector<std::string>{"C"});
    // The building reported its structure changes once, after the delay as well.
    EXPECT_EQ(reasons.size(), 1u);
    reasons.clear();
    // Two structure changes of different kinds within the delay come as one.
    tree.AppendChildNode(n.at("A"));
    tree.DeleteNode(n.at("B"));
    platform::test_clock::Advance(100);
    PumpTimers();
    EXPECT_EQ(reasons, std::vector<TChangeReason>{crAccumulated});
    platform::test_clock::Advance(1000);
    PumpTimers();
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(reasons.size(), 1u);
  }
  platform::test_clock::Release();
}

}  // namespace
