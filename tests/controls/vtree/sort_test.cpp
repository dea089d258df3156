// Sorting sibling lists through OnCompareNodes.
#include <gtest/gtest.h>

#include <cstring>

#include "test_edit_link.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::MakeTestEditLink;
using vtree_test::TestTree;

// Compares by the first letter of the name; "b1" and "b2" compare equal.
void CompareFirstLetter(TestTree& tree) {
  tree.OnCompareNodes = [&tree](TViewTreeObject*, PViewNode a, PViewNode b, TColumnIndex, int& result) {
    result = tree.Name(a)[0] - tree.Name(b)[0];
  };
}

TEST(TreeSort, MergeSortIsStableInBothDirections) {
  struct Case {
    TSortDirection direction;
    const char* expected;
  };
  for (Case c : {Case{sdAscending, "a b1 b2 c d"}, Case{sdDescending, "d c b1 b2 a"}}) {
    TestTree tree;
    Build(tree, {"c", "b1", "d", "a", "b2"});
    CompareFirstLetter(tree);
    tree.Sort(nullptr, 0, c.direction);
    EXPECT_EQ(tree.Children(nullptr), c.expected);
    EXPECT_EQ(tree.RootNode()->LastChild->NextSibling, nullptr);
    EXPECT_EQ(tree.RootNode()->FirstChild->PrevSibling, nullptr);
    EXPECT_EQ(tree.Name(tree.RootNode()->LastChild), std::string(c.expected).substr(std::strlen(c.expected) - 1));
  }
}

TEST(TreeSort, ManyNodesSortAndLinkBothWays) {
  TestTree tree;
  for (int i = 0; i < 1000; ++i) tree.Add(nullptr, std::to_string((i * 7919) % 1000).c_str());
  tree.OnCompareNodes = [&tree](TViewTreeObject*, PViewNode a, PViewNode b, TColumnIndex, int& result) {
    result = std::stoi(tree.Name(a)) - std::stoi(tree.Name(b));
  };
  tree.Sort(nullptr, 0, sdAscending);
  int expected = 0;
  PViewNode previous = nullptr;
  for (PViewNode n = tree.RootNode()->FirstChild; n != nullptr; n = n->NextSibling, ++expected) {
    ASSERT_EQ(std::stoi(tree.Name(n)), expected);
    ASSERT_EQ(n->PrevSibling, previous);
    ASSERT_EQ(n->Index, static_cast<std::uint32_t>(expected));
    previous = n;
  }
  EXPECT_EQ(tree.RootNode()->LastChild, previous);
}

TEST(TreeSort, NothingMovesWithoutAHandlerOrWithAnInvalidColumn) {
  TestTree tree;
  auto n = Build(tree, {"c", "a", "b", "b/z", "b/y"});
  tree.Sort(nullptr, 0, sdAscending);
  EXPECT_EQ(tree.Children(nullptr), "c a b");
  CompareFirstLetter(tree);
  tree.SortTree(InvalidColumn, sdAscending);
  EXPECT_EQ(tree.Children(nullptr), "c a b");
  tree.SortTree(0, sdAscending);
  EXPECT_EQ(tree.Children(nullptr), "a b c");
  EXPECT_EQ(tree.Children(n.at("b")), "y z");
}

TEST(TreeSort, SortTreeWithoutInitLeavesUninitialisedChildren) {
  TestTree tree;
  auto n = Build(tree, {"c", "a", "b", "b/z", "b/y"});
  // As if b's children had come without b ever being initialised.
  n.at("b")->Exclude(vsInitialized);
  CompareFirstLetter(tree);
  tree.SortTree(0, sdAscending, false);
  EXPECT_EQ(tree.Children(nullptr), "a b c");
  EXPECT_EQ(tree.Children(n.at("b")), "z y");
  EXPECT_FALSE(n.at("b")->Has(vsInitialized));
}

TEST(TreeSort, ARunningEditEndsFirstOrStopsTheSort) {
  for (bool ends : {true, false}) {
    TestTree tree;
    auto n = Build(tree, {"b", "a"});
    CompareFirstLetter(tree);
    int edited = 0;
    tree.OnEdited = [&](TViewTreeObject*, PViewNode, TColumnIndex) { ++edited; };
    auto link = MakeTestEditLink();
    link->agreesToEnd = ends;
    tree.SetEditLink(link, n.at("b"), 0);
    tree.Sort(nullptr, 0, sdAscending);
    EXPECT_EQ(tree.Children(nullptr), ends ? "a b" : "b a");
    EXPECT_EQ(tree.InState(tsEditing), !ends);
    EXPECT_EQ(edited, ends ? 1 : 0);
  }
}

TEST(TreeSort, AutoSortFollowsTheHeader) {
  TestTree tree;
  CompareFirstLetter(tree);
  tree.TreeOptions().SetAutoOptions(tree.TreeOptions().AutoOptions() | toAutoSort);
  Build(tree, {"c", "a"});
  EXPECT_EQ(tree.Children(nullptr), "a c");
  tree.Header().SetSortDirection(sdDescending);
  EXPECT_EQ(tree.Children(nullptr), "c a");
  tree.BeginUpdate();
  tree.Add(nullptr, "d");
  tree.Add(nullptr, "b");
  EXPECT_EQ(tree.Children(nullptr), "c a d b");
  tree.EndUpdate();
  EXPECT_EQ(tree.Children(nullptr), "d c b a");
}

}  // namespace
