// Dispatchers that walk up the parents or check the handler's answer.
#include <gtest/gtest.h>

#include "common/test_env.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

TEST(TreeEvents, PopupMenusAreAskedUpToTheTopLevel) {
  TestTree tree;
  TPopupMenu menu(nullptr);
  auto n = Build(tree, {"A", "A/B", "A/B/C", "A/B/C/D"});
  std::vector<std::string> asked;
  std::string answerAt, stopAt;
  tree.OnGetPopupMenu = [&](TViewTreeObject*, PViewNode node, TColumnIndex column, const POINT&, bool& askParent,
                            TPopupMenu*& popup) {
    asked.push_back(tree.Name(node) + ":" + std::to_string(column));
    EXPECT_TRUE(askParent);
    if (tree.Name(node) == answerAt) popup = &menu;
    if (tree.Name(node) == stopAt) askParent = false;
  };
  const POINT at{5, 5};
  EXPECT_EQ(tree.DoGetPopupMenu(n.at("D"), 2, at), nullptr);
  EXPECT_EQ(asked, (std::vector<std::string>{"D:2", "C:2", "B:2", "A:2"}));
  asked.clear();
  answerAt = "B";
  EXPECT_EQ(tree.DoGetPopupMenu(n.at("D"), 2, at), &menu);
  EXPECT_EQ(asked.size(), 3u);
  asked.clear();
  stopAt = "D";
  EXPECT_EQ(tree.DoGetPopupMenu(n.at("D"), 2, at), nullptr);
  EXPECT_EQ(asked.size(), 1u);
  asked.clear();
  EXPECT_EQ(tree.DoGetPopupMenu(nullptr, 2, at), nullptr);
  EXPECT_EQ(asked, std::vector<std::string>{"nil:-1"});
}

TEST(TreeEvents, HelpContextComesFromTheNearestNodeThatHasOne) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/B", "A/B/C"});
  EXPECT_EQ(tree.DoGetHelpContext(n.at("C")), 0);
  tree.OnGetHelpContext = [&](TViewTreeObject*, PViewNode node, TColumnIndex column, int& context) {
    EXPECT_EQ(column, 0);
    if (tree.Name(node) == "A") context = 77;
  };
  EXPECT_EQ(tree.DoGetHelpContext(n.at("C")), 77);
  EXPECT_EQ(tree.DoGetHelpContext(nullptr), 0);
}

TEST(TreeEvents, ABoundEditorHandlerMustSupplyAnEditor) {
  TestTree tree;
  PViewNode node = tree.Add(nullptr, "A");
  EXPECT_FALSE(tree.DoCreateEditor(node, 0));
  tree.OnCreateEditor = [](TViewTreeObject*, PViewNode, TColumnIndex, IVTEditLinkPtr&) {};
  try {
    tree.DoCreateEditor(node, 0);
    ADD_FAILURE() << "no error";
  } catch (const EViewTreeError& e) {
    EXPECT_STREQ(e.what(), "Edit link must not be nil.");
    EXPECT_EQ(e.HelpContext(), 2000);
  }
}

}  // namespace
