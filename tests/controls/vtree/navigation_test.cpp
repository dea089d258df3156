// Walks, expand and collapse, the update bracket and the selection lists.
#include <gtest/gtest.h>

#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

TEST(TreeNavigation, WalksStopAtTheEnds) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "B", "B/B1", "B/B1/B11"});
  EXPECT_EQ(tree.GetNext(n.at("B11")), nullptr);
  EXPECT_EQ(tree.GetPrevious(n.at("A")), nullptr);
  EXPECT_EQ(tree.GetPrevious(n.at("B")), n.at("A1"));
  EXPECT_EQ(tree.GetNext(n.at("A1")), n.at("B"));
  EXPECT_EQ(tree.GetLast(), n.at("B11"));
  EXPECT_EQ(tree.GetNodeLevel(n.at("B11")), 2u);
  EXPECT_EQ(tree.GetNodeLevel(n.at("A")), 0u);
  EXPECT_EQ(tree.GetNodeLevel(nullptr), 0u);
  EXPECT_EQ(tree.LevelDistance(n.at("A"), n.at("B11")), 2);
  EXPECT_TRUE(tree.HasAsParent(n.at("B11"), n.at("B")));
  EXPECT_FALSE(tree.HasAsParent(n.at("B"), n.at("B")));
  EXPECT_FALSE(tree.HasAsParent(nullptr, n.at("B")));
}

TEST(TreeNavigation, VisibleWalksSkipCollapsedAndHiddenParts) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "A/A1/A11", "A/A2", "B", "C", "C/C1"});
  tree.SetExpanded(n.at("A"), true);
  tree.SetExpanded(n.at("C"), true);
  std::string rows;
  for (PViewNode v = tree.GetFirstVisible(); v != nullptr; v = tree.GetNextVisible(v)) rows += tree.Name(v) + " ";
  EXPECT_EQ(rows, "A A1 A2 B C C1 ");
  std::string back;
  for (PViewNode v = tree.GetLastVisible(); v != nullptr; v = tree.GetPreviousVisible(v)) back += tree.Name(v) + " ";
  EXPECT_EQ(back, "C1 C B A2 A1 A ");
  // From inside a collapsed parent the walk goes on behind its shown ancestor.
  EXPECT_EQ(tree.GetNextVisible(n.at("A11")), n.at("A2"));
  EXPECT_EQ(tree.GetPreviousVisible(n.at("A11")), n.at("A1"));
  // From a hidden node, behind it; back to the row before it.
  tree.SetVisible(n.at("B"), false);
  EXPECT_EQ(tree.GetNextVisible(n.at("B")), n.at("C"));
  EXPECT_EQ(tree.GetPreviousVisible(n.at("B")), n.at("A2"));
  EXPECT_EQ(tree.GetVisibleParent(n.at("A11")), n.at("A1"));
  EXPECT_EQ(tree.VisibleCount(), 5u);
}

TEST(TreeNavigation, WalksInitialiseWhatTheyReturnAndNoInitWalksNothing) {
  TestTree tree;
  std::vector<std::string> initialised;
  tree.OnInitNode = [&](TViewTreeObject*, PViewNode, PViewNode node, TViewNodeInitStates& states) {
    initialised.push_back(tree.Name(node));
    if (tree.Name(node) == "A") states |= ivsHasChildren;
  };
  tree.OnInitChildren = [&](TViewTreeObject*, PViewNode, std::uint32_t& count) { count = 2; };
  auto n = Build(tree, {"A", "B"});
  for (PViewNode v = tree.GetFirstNoInit(); v != nullptr; v = tree.GetNextNoInit(v)) {
  }
  EXPECT_TRUE(initialised.empty());
  PViewNode a = tree.GetFirst();
  EXPECT_EQ(initialised, std::vector<std::string>{"A"});
  // GetNext creates A's children (from OnInitChildren) and initialises the first.
  PViewNode child = tree.GetNext(a);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Parent, a);
  EXPECT_EQ(a->ChildCount, 2u);
  EXPECT_TRUE(child->Has(vsInitialized));
  EXPECT_FALSE(a->LastChild->Has(vsInitialized));
  EXPECT_EQ(tree.GetFirstInitialized(), a);
  EXPECT_EQ(tree.GetNextInitialized(a), child);
  EXPECT_EQ(tree.GetNextInitialized(child), nullptr);
}

TEST(TreeNavigation, ExpandingAskesAndCountsRows) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "A/A2", "B"});
  EXPECT_EQ(tree.VisibleCount(), 2u);
  bool allow = false;
  tree.OnExpanding = [&](TViewTreeObject*, PViewNode, bool& allowed) { allowed = allow; };
  tree.SetExpanded(n.at("A"), true);
  EXPECT_FALSE(tree.GetExpanded(n.at("A")));
  allow = true;
  tree.SetExpanded(n.at("A"), true);
  EXPECT_TRUE(tree.GetExpanded(n.at("A")));
  EXPECT_EQ(tree.VisibleCount(), 4u);
  EXPECT_EQ(tree.RootNode()->TotalHeight, 18u * 5);
  // Expanding to the state the node has does nothing; nil and the root are ignored.
  int expanded = 0;
  tree.OnExpanded = [&](TViewTreeObject*, PViewNode) { ++expanded; };
  tree.SetExpanded(n.at("A"), true);
  tree.SetExpanded(nullptr, true);
  tree.SetExpanded(tree.RootNode(), false);
  EXPECT_EQ(expanded, 0);
}

TEST(TreeNavigation, ANodeWithoutChildrenStaysCollapsed) {
  TestTree tree;
  tree.OnInitNode = [](TViewTreeObject*, PViewNode, PViewNode, TViewNodeInitStates& states) {
    states |= ivsHasChildren;
  };
  tree.OnInitChildren = [](TViewTreeObject*, PViewNode, std::uint32_t& count) { count = 0; };
  PViewNode a = tree.Add(nullptr, "A");
  tree.ToggleNode(a);
  EXPECT_FALSE(a->Has(vsExpanded));
  EXPECT_FALSE(a->Has(vsHasChildren));
  EXPECT_EQ(tree.VisibleCount(), 1u);
}

TEST(TreeNavigation, CollapseWithAutoFreeKeepsTheButton) {
  TestTree tree;
  tree.TreeOptions().SetAutoOptions(tree.TreeOptions().AutoOptions() | toAutoFreeOnCollapse);
  auto n = Build(tree, {"A", "A/A1", "A/A1/A11", "B"});
  tree.FullExpand();
  EXPECT_EQ(tree.VisibleCount(), 4u);
  std::vector<std::string> freed;
  tree.OnFreeNode = [&](TViewTreeObject*, PViewNode node) { freed.push_back(tree.Name(node)); };
  tree.ValidateNode(nullptr, true);
  tree.SetExpanded(n.at("A"), false);
  EXPECT_EQ(n.at("A")->ChildCount, 0u);
  EXPECT_TRUE(n.at("A")->Has(vsHasChildren));
  EXPECT_EQ(freed, (std::vector<std::string>{"A11", "A1"}));
  EXPECT_EQ(tree.VisibleCount(), 2u);
  EXPECT_EQ(tree.TotalCount(), 3u);
}

TEST(TreeNavigation, FullExpandAndCollapseRunInOneBracket) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "A/A1/A11", "B", "B/B1"});
  std::vector<TVTUpdateState> updates;
  tree.OnUpdating = [&](TViewTreeObject*, TVTUpdateState state) { updates.push_back(state); };
  tree.FullExpand();
  EXPECT_EQ(updates, (std::vector<TVTUpdateState>{usBegin, usEnd}));
  EXPECT_EQ(tree.VisibleCount(), 5u);
  tree.FullCollapse(n.at("A"));
  EXPECT_FALSE(n.at("A")->Has(vsExpanded));
  EXPECT_FALSE(n.at("A1")->Has(vsExpanded));
  EXPECT_TRUE(n.at("B")->Has(vsExpanded));
  EXPECT_EQ(tree.VisibleCount(), 3u);
  tree.FullCollapse();
  EXPECT_EQ(tree.VisibleCount(), 2u);
  EXPECT_EQ(tree.RootNode()->TotalHeight, 18u * 3);
}

TEST(TreeNavigation, NestedUpdateBracketsReportInOrder) {
  TestTree tree;
  std::vector<std::string> events;
  tree.OnUpdating = [&](TViewTreeObject*, TVTUpdateState state) {
    events.push_back(state == usBegin ? "begin" : state == usUpdate ? "update" : state == usEnd ? "end" : "?");
  };
  tree.OnStructureChange = [&](TViewTreeObject*, PViewNode, TChangeReason) { events.push_back("structure"); };
  tree.OnChange = [&](TViewTreeObject*, PViewNode) { events.push_back("change"); };
  tree.BeginUpdate();
  tree.BeginUpdate();
  PViewNode a = tree.Add(nullptr, "A");
  tree.SetSelected(a, true);
  tree.EndUpdate();
  EXPECT_TRUE(tree.InState(tsUpdating));
  tree.BeginUpdate();
  tree.EndUpdate();
  tree.EndUpdate();
  EXPECT_FALSE(tree.InState(tsUpdating));
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "update", "update", "update", "update", "structure", "change",
                                               "end"}));
  // An unmatched end changes nothing.
  events.clear();
  tree.EndUpdate();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(tree.UpdateCount(), 0u);
}

TEST(TreeNavigation, SortedSelectionResolvesSubtrees) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  auto n = Build(tree, {"A", "A/A1", "B", "C", "C/C1"});
  for (const char* name : {"C1", "A1", "A", "C"}) tree.SetSelected(n.at(name), true);
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(false)), "A A1 C C1");
  EXPECT_EQ(tree.Names(tree.GetSortedSelection(true)), "A C");
  EXPECT_EQ(tree.GetNextSelected(tree.GetFirstSelected()), n.at("A1"));
  tree.DeleteSelectedNodes();
  EXPECT_EQ(tree.Children(nullptr), "B");
  EXPECT_EQ(tree.SelectedCount(), 0u);
}

TEST(TreeNavigation, SelectAllNeedsMultiSelect) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "B"});
  tree.SelectAll(false);
  EXPECT_EQ(tree.SelectedCount(), 0u);
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  tree.SelectAll(true);
  EXPECT_EQ(tree.SelectedCount(), 2u);
  tree.SelectAll(false);
  EXPECT_EQ(tree.SelectedCount(), 3u);
  tree.ClearSelection();
  EXPECT_EQ(tree.SelectedCount(), 0u);
  EXPECT_FALSE(n.at("A1")->Has(vsSelected));
}

TEST(TreeNavigation, CacheEntriesAndNodeHeights) {
  EXPECT_EQ(TBaseViewTree::CacheEntryCount(4001), 3u);
  EXPECT_EQ(TBaseViewTree::CacheEntryCount(1), 0u);
  EXPECT_EQ(TBaseViewTree::CacheEntryCount(2000), 1u);
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "A/A1/A11", "B"});
  tree.SetExpanded(n.at("A"), true);
  // A1 is collapsed: its child's height reaches A1 but no further.
  tree.SetNodeHeight(n.at("A11"), 23);
  EXPECT_EQ(n.at("A1")->TotalHeight, 18u);
  EXPECT_EQ(n.at("A")->TotalHeight, 36u);
  tree.SetNodeHeight(n.at("A1"), 23);
  EXPECT_EQ(n.at("A")->TotalHeight, 41u);
  EXPECT_EQ(tree.RootNode()->TotalHeight, 18u + 41 + 18);
  EXPECT_EQ(tree.GetDisplayTop(n.at("B")), 41u);
  EXPECT_EQ(tree.GetNodeAtPosition(40), n.at("A1"));
  EXPECT_EQ(tree.GetNodeAtPosition(41), n.at("B"));
  EXPECT_EQ(tree.GetNodeAtPosition(59), nullptr);
  // A view lower than the content, so that A11 can scroll to its top.
  tree.SetBounds(0, 0, 200, 40);
  tree.SetTopNode(n.at("A11"));
  EXPECT_TRUE(n.at("A1")->Has(vsExpanded));
  EXPECT_EQ(tree.GetTopNode(), n.at("A11"));
}

}  // namespace
