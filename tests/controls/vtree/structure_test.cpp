// Structure operations: insert, append, delete, move, clear, and what freeing a node
// does to the references the tree keeps.
#include <gtest/gtest.h>

#include <functional>

#include "common/test_env.h"
#include "test_edit_link.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::MakeTestEditLink;
using vtree_test::TestTree;

TEST(TreeStructure, InsertNodeAtPlacesTheNodeByMode) {
  struct Case {
    const char* target;  // "" for nil
    TVTNodeAttachMode mode;
    const char* topLevel;
    const char* childrenOfB;
  };
  const Case cases[] = {
      {"", amInsertBefore, "N A B", "B1 B2"}, {"", amAddChildFirst, "N A B", "B1 B2"},
      {"", amInsertAfter, "A B N", "B1 B2"},  {"", amAddChildLast, "A B N", "B1 B2"},
      {"B", amInsertBefore, "A N B", "B1 B2"}, {"A", amInsertAfter, "A N B", "B1 B2"},
      {"B", amAddChildFirst, "A B", "N B1 B2"}, {"B", amAddChildLast, "A B", "B1 B2 N"},
      {"B1", amInsertAfter, "A B", "B1 N B2"},
  };
  for (const Case& c : cases) {
    TestTree tree;
    auto n = Build(tree, {"A", "B", "B/B1", "B/B2"});
    PViewNode added = tree.InsertNodeAt(*c.target ? n.at(c.target) : nullptr, c.mode);
    ASSERT_NE(added, nullptr);
    std::strcpy(tree.GetNodeData<TestTree::Data>(added)->name, "N");
    EXPECT_EQ(tree.Children(nullptr), c.topLevel) << c.target << " " << c.mode;
    EXPECT_EQ(tree.Children(n.at("B")), c.childrenOfB) << c.target << " " << c.mode;
    EXPECT_EQ(tree.TotalCount(), 6u);
  }
  TestTree tree;
  EXPECT_EQ(tree.InsertNodeAt(nullptr, amNoWhere), nullptr);
  EXPECT_EQ(tree.TotalCount(), 1u);
}

TEST(TreeStructure, DeletingReindexesOnlyWhenAsked) {
  for (bool reindex : {true, false}) {
    TestTree tree;
    auto n = Build(tree, {"A", "B", "C"});
    tree.DeleteNode(n.at("B"), reindex);
    EXPECT_EQ(tree.Children(nullptr), reindex ? "A C" : "A C!index");
    EXPECT_EQ(n.at("C")->Index, reindex ? 1u : 2u);
    EXPECT_EQ(tree.RootNode()->ChildCount, 2u);
  }
}

TEST(TreeStructure, DeletingASubtreeLeavesNoDeletedNodeSelected) {
  TestTree tree;
  tree.TreeOptions().SetSelectionOptions(toMultiSelect);
  auto n = Build(tree, {"A", "A/A1", "A/A1/A11", "B"});
  tree.SetSelected(n.at("A11"), true);
  tree.SetSelected(n.at("A1"), true);
  tree.SetSelected(n.at("B"), true);
  tree.BeginUpdate();
  tree.DeleteNode(n.at("A"));
  tree.EndUpdate();
  ASSERT_EQ(tree.SelectedCount(), 1u);
  EXPECT_EQ(tree.SelectionArray().front(), n.at("B"));
  // Outside a bracket too.
  PViewNode c = tree.Add(n.at("B"), "C");
  tree.SetSelected(c, true);
  tree.DeleteNode(n.at("B"));
  EXPECT_EQ(tree.SelectedCount(), 0u);
  EXPECT_EQ(tree.GetFirstSelected(), nullptr);
}

TEST(TreeStructure, MoveNodeKeepsTheSubtreeAndRefusesItsOwnDescendants) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "A/A2", "B", "B/B1", "C"});
  tree.SetFocusedNode(n.at("A"));
  tree.MoveNode(n.at("A"), n.at("B"), amAddChildLast, false);
  EXPECT_EQ(tree.Children(nullptr), "B C");
  EXPECT_EQ(tree.Children(n.at("B")), "B1 A");
  EXPECT_EQ(tree.Children(n.at("A")), "A1 A2");
  EXPECT_EQ(tree.FocusedNode(), n.at("A"));
  EXPECT_EQ(tree.Name(n.at("A")), "A");
  EXPECT_EQ(tree.RootNode()->TotalCount, 7u);

  EXPECT_EQ(pellix_test::MessageOf<EViewTreeError>([&] { tree.MoveNode(n.at("B"), n.at("A1"), amInsertAfter, false); }),
            "Target node cannot be a child node of the node to be moved.");
  EXPECT_EQ(tree.Children(nullptr), "B C");
  EXPECT_EQ(tree.Children(n.at("A")), "A1 A2");

  // A node's children behind it as its siblings, in their order.
  tree.MoveNode(n.at("A"), n.at("A"), amInsertAfter, true);
  EXPECT_EQ(tree.Children(n.at("B")), "B1 A A1 A2");
  EXPECT_EQ(n.at("A")->ChildCount, 0u);
  EXPECT_FALSE(n.at("A")->Has(vsHasChildren));
  tree.MoveNode(n.at("B"), n.at("C"), amAddChildFirst, true);
  EXPECT_EQ(tree.Children(n.at("C")), "B1 A A1 A2");

  // A refusal moves nothing.
  tree.OnNodeMoving = [](TViewTreeObject*, PViewNode, PViewNode, bool& allowed) { allowed = false; };
  tree.MoveNode(n.at("C"), n.at("B"), amAddChildLast, false);
  EXPECT_EQ(tree.Children(nullptr), "B C");
}

TEST(TreeStructure, HiddenNodesAddNoHeight) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "B"});
  tree.SetExpanded(n.at("A"), true);
  tree.SetVisible(n.at("B"), false);
  const std::uint32_t before = n.at("A")->TotalHeight;
  EXPECT_EQ(before, 36u);
  tree.MoveNode(n.at("B"), n.at("A1"), amInsertAfter, false);
  EXPECT_EQ(n.at("A")->TotalHeight, before);
  EXPECT_EQ(tree.RootNode()->TotalHeight, 18u + before);
  EXPECT_EQ(tree.VisibleCount(), 2u);
  tree.SetVisible(n.at("B"), true);
  EXPECT_EQ(n.at("A")->TotalHeight, before + 18);
  EXPECT_EQ(tree.VisibleCount(), 3u);
}

TEST(TreeStructure, InitialUserDataNeedsRoomForAPointer) {
  TestTree tree;
  tree.SetNodeDataSize(3);
  EXPECT_EQ(pellix_test::MessageOf<EViewTreeError>([&] { tree.AppendChildNode(nullptr, 0x1234); }),
            "Cannot set initial user data because there is not enough user data space allocated.");
  try {
    tree.InsertNodeAt(nullptr, amAddChildLast, 1);
  } catch (const EViewTreeError& e) {
    EXPECT_EQ(e.HelpContext(), 2008);
  }
  tree.SetNodeDataSize(24);
  const std::uintptr_t value = std::uintptr_t{0x1122334455667788};
  PViewNode node = tree.AppendChildNode(nullptr, value);
  EXPECT_EQ(*tree.GetNodeData<std::uintptr_t>(node), value);
  EXPECT_TRUE(node->Has(vsInitialUserData));
}

TEST(TreeStructure, ClearEmptiesEverythingButARefusingReadOnlyTree) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "B"});
  tree.SetExpanded(n.at("A"), true);
  tree.TreeOptions().SetMiscOptions(tree.TreeOptions().MiscOptions() | toReadOnly);
  tree.Clear();
  EXPECT_EQ(tree.RootNode()->ChildCount, 2u);
  tree.TreeOptions().SetMiscOptions(tree.TreeOptions().MiscOptions() & ~toReadOnly);
  tree.Clear();
  EXPECT_EQ(tree.RootNode()->ChildCount, 0u);
  EXPECT_EQ(tree.VisibleCount(), 0u);
  EXPECT_EQ(tree.OffsetX(), 0);
  EXPECT_EQ(tree.OffsetY(), 0);
  // The root carries only its own row, no phantom one.
  EXPECT_EQ(tree.RootNode()->TotalHeight, tree.RootNode()->NodeHeight);
  EXPECT_EQ(tree.RootNode()->TotalCount, 1u);
  EXPECT_EQ(tree.GetNodeAtPosition(0), nullptr);
}

TEST(TreeStructure, EveryStructureChangeInvalidatesThePositionCache) {
  TestTree tree;
  auto n = Build(tree, {"A", "B", "C"});
  struct Step {
    const char* what;
    std::function<void()> change;
  };
  const Step steps[] = {
      {"insert", [&] { tree.InsertNodeAt(n.at("A"), amInsertAfter); }},
      {"append", [&] { tree.AppendChildNode(n.at("B")); }},
      {"move", [&] { tree.MoveNode(n.at("C"), n.at("A"), amInsertBefore, false); }},
      {"delete", [&] { tree.DeleteNode(n.at("C")); }},
      {"expand", [&] { tree.SetExpanded(n.at("B"), true); }},
      {"child count", [&] { tree.SetChildCount(n.at("A"), 3); }},
  };
  for (const Step& step : steps) {
    tree.BeginUpdate();
    tree.ValidateCache();
    ASSERT_TRUE(tree.CacheIsValid());
    step.change();
    EXPECT_FALSE(tree.CacheIsValid()) << step.what;
    tree.EndUpdate();
    EXPECT_TRUE(tree.CacheIsValid()) << step.what;
  }
  // The cache the bracket rebuilt matches the rows.
  EXPECT_EQ(tree.GetNodeAtPosition(0), tree.GetFirstVisible());
}

TEST(TreeStructure, FreeingANodeClearsEveryReferenceToIt) {
  struct Reference {
    const char* name;
    PViewNode& (*slot)(TestTree&);
  };
  const Reference references[] = {
      {"focused", [](TestTree& t) -> PViewNode& { return t.FocusedRef(); }},
      {"anchor", [](TestTree& t) -> PViewNode& { return t.AnchorRef(); }},
      {"hot", [](TestTree& t) -> PViewNode& { return t.HotRef(); }},
      {"drop target", [](TestTree& t) -> PViewNode& { return t.DropTargetRef(); }},
      {"check node", [](TestTree& t) -> PViewNode& { return t.CheckNodeRef(); }},
      {"search hit", [](TestTree& t) -> PViewNode& { return t.SearchHitRef(); }},
      {"last changed", [](TestTree& t) -> PViewNode& { return t.LastChangedRef(); }},
      {"structure change", [](TestTree& t) -> PViewNode& { return t.StructureChangeRef(); }},
  };
  for (const Reference& reference : references) {
    TestTree tree;
    auto n = Build(tree, {"A", "A/A1", "B"});
    tree.BeginUpdate();
    reference.slot(tree) = n.at("A1");
    tree.DragSelectionRef() = {n.at("A1"), n.at("B")};
    tree.DeleteNode(n.at("A"));
    EXPECT_EQ(reference.slot(tree), nullptr) << reference.name;
    EXPECT_EQ(tree.DragSelectionRef(), TNodeArray{n.at("B")}) << reference.name;
    tree.EndUpdate();
  }
}

TEST(TreeStructure, DeletingTheEditedNodeCancelsTheEdit) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "B"});
  auto link = MakeTestEditLink();
  int cancelled = 0;
  tree.OnEditCancelled = [&](TViewTreeObject*, TColumnIndex) { ++cancelled; };
  tree.SetEditLink(link, n.at("A1"), 0);
  ASSERT_TRUE(tree.InState(tsEditing));
  tree.DeleteNode(n.at("B"));
  EXPECT_TRUE(tree.InState(tsEditing));
  EXPECT_EQ(link->cancels, 0);
  tree.DeleteNode(n.at("A"));
  EXPECT_FALSE(tree.InState(tsEditing));
  EXPECT_EQ(tree.EditNode(), nullptr);
  EXPECT_EQ(link->cancels, 1);
  EXPECT_EQ(cancelled, 1);
  // An editor that refuses to stop still loses its node.
  auto stubborn = MakeTestEditLink();
  stubborn->agreesToCancel = false;
  PViewNode c = tree.Add(nullptr, "C");
  tree.SetEditLink(stubborn, c, 0);
  tree.DeleteNode(c);
  EXPECT_FALSE(tree.InState(tsEditing));
  EXPECT_EQ(tree.EditNode(), nullptr);
  // Only the test's own reference is left.
  EXPECT_EQ(stubborn->AddRef(), 2u);
  stubborn->Release();
}

TEST(TreeStructure, ReadOnlyTreesRefuseStructureChanges) {
  TestTree tree;
  auto n = Build(tree, {"A", "B"});
  tree.TreeOptions().SetMiscOptions(tree.TreeOptions().MiscOptions() | toReadOnly);
  EXPECT_EQ(tree.AppendChildNode(nullptr), nullptr);
  EXPECT_EQ(tree.InsertNodeAt(n.at("A"), amInsertAfter), nullptr);
  tree.DeleteNode(n.at("A"));
  tree.MoveNode(n.at("B"), n.at("A"), amInsertBefore, false);
  tree.SetChildCount(nullptr, 5);
  EXPECT_EQ(tree.Children(nullptr), "A B");
}

TEST(TreeStructure, StructureChangesAreReportedWithTheirReason) {
  TestTree tree;
  std::vector<std::pair<std::string, TChangeReason>> seen;
  tree.OnStructureChange = [&](TViewTreeObject*, PViewNode node, TChangeReason reason) {
    seen.emplace_back(tree.Name(node), reason);
  };
  auto n = Build(tree, {"A", "B"});
  seen.clear();
  tree.InsertNodeAt(n.at("A"), amAddChildLast);
  tree.MoveNode(n.at("B"), n.at("A"), amInsertBefore, false);
  tree.DeleteChildren(n.at("A"));
  using Seen = std::vector<std::pair<std::string, TChangeReason>>;
  EXPECT_EQ(seen, (Seen{{"", crNodeAdded}, {"B", crNodeMoved}, {"A", crChildDeleted}}));
  // Inside a bracket different reasons arrive once, accumulated, at its end.
  seen.clear();
  tree.BeginUpdate();
  tree.AppendChildNode(nullptr);
  tree.DeleteNode(n.at("B"));
  EXPECT_TRUE(seen.empty());
  tree.EndUpdate();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen.front().second, crAccumulated);
}

}  // namespace
