// Check states: propagation through tri-state boxes, radio buttons, images.
#include <gtest/gtest.h>

#include <set>

#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

struct CheckTree {
  TestTree tree;
  std::map<std::string, PViewNode> n;
  std::vector<std::string> checked;  // OnChecked, in order
  std::vector<std::string> asked;    // OnChecking, in order
  std::set<std::string> refuse;

  explicit CheckTree(const std::vector<std::string>& paths) {
    n = Build(tree, paths);
    tree.OnChecked = [this](TViewTreeObject*, PViewNode node) { checked.push_back(tree.Name(node)); };
    tree.OnChecking = [this](TViewTreeObject*, PViewNode node, TCheckState&, bool& allowed) {
      asked.push_back(tree.Name(node));
      allowed = refuse.count(tree.Name(node)) == 0;
    };
  }
  void Types(const std::vector<std::string>& names, TCheckType type) {
    for (const auto& name : names) tree.SetCheckType(n.at(name), type);
  }
  TCheckState State(const std::string& name) { return tree.GetCheckState(n.at(name)); }
};

TEST(TreeChecks, TriStateParentsFollowTheirChildren) {
  CheckTree t({"P", "P/a", "P/b", "P/c"});
  t.Types({"P"}, ctTriStateCheckBox);
  t.Types({"a", "b", "c"}, ctCheckBox);
  t.tree.SetCheckState(t.n.at("P"), csCheckedNormal);
  for (const char* name : {"P", "a", "b", "c"}) EXPECT_EQ(t.State(name), csCheckedNormal) << name;
  EXPECT_EQ(t.checked, (std::vector<std::string>{"a", "b", "c", "P"}));
  t.tree.SetCheckState(t.n.at("b"), csUncheckedNormal);
  EXPECT_EQ(t.State("P"), csMixedNormal);
  t.tree.SetCheckState(t.n.at("a"), csUncheckedNormal);
  t.tree.SetCheckState(t.n.at("c"), csUncheckedNormal);
  EXPECT_EQ(t.State("P"), csUncheckedNormal);
  EXPECT_FALSE(t.tree.InState(tsCheckPropagation));
}

TEST(TreeChecks, ARefusedChildLeavesTheParentMixed) {
  CheckTree t({"P", "P/a", "P/b", "P/c"});
  t.Types({"P"}, ctTriStateCheckBox);
  t.Types({"a", "b", "c"}, ctCheckBox);
  t.refuse = {"b"};
  t.tree.SetCheckState(t.n.at("P"), csCheckedNormal);
  EXPECT_EQ(t.State("b"), csUncheckedNormal);
  EXPECT_EQ(t.State("P"), csMixedNormal);
  EXPECT_EQ(t.checked, (std::vector<std::string>{"a", "c", "P"}));
}

TEST(TreeChecks, EachAncestorIsUpdatedOncePerChange) {
  CheckTree t({"G", "G/P", "G/Q", "G/P/a", "G/P/b"});
  t.Types({"G", "P"}, ctTriStateCheckBox);
  t.Types({"Q", "a", "b"}, ctCheckBox);
  t.tree.SetCheckState(t.n.at("a"), csCheckedNormal);
  EXPECT_EQ(t.State("P"), csMixedNormal);
  EXPECT_EQ(t.State("G"), csMixedNormal);
  EXPECT_EQ(t.asked, (std::vector<std::string>{"a", "P", "G"}));
  EXPECT_EQ(t.checked, (std::vector<std::string>{"G", "P", "a"}));
  // A change that leaves the parent as it is stops there.
  t.asked.clear();
  t.checked.clear();
  t.tree.SetCheckState(t.n.at("Q"), csCheckedNormal);
  EXPECT_EQ(t.asked, std::vector<std::string>{"Q"});
  EXPECT_EQ(t.checked, std::vector<std::string>{"Q"});
}

TEST(TreeChecks, AChangedNodeIsReportedWhenItsParentRefuses) {
  CheckTree t({"P", "P/a", "P/b"});
  t.Types({"P"}, ctTriStateCheckBox);
  t.Types({"a", "b"}, ctCheckBox);
  t.refuse = {"P"};
  t.tree.SetCheckState(t.n.at("a"), csCheckedNormal);
  EXPECT_EQ(t.State("a"), csCheckedNormal);
  EXPECT_EQ(t.State("P"), csUncheckedNormal);
  EXPECT_EQ(t.checked, std::vector<std::string>{"a"});
}

TEST(TreeChecks, RadioButtonsExcludeTheirSiblingsSilently) {
  CheckTree t({"a", "b", "c"});
  t.Types({"a", "b", "c"}, ctRadioButton);
  t.tree.SetCheckState(t.n.at("a"), csCheckedNormal);
  t.tree.SetCheckState(t.n.at("c"), csCheckedNormal);
  EXPECT_EQ(t.State("a"), csUncheckedNormal);
  EXPECT_EQ(t.State("c"), csCheckedNormal);
  EXPECT_EQ(t.checked, (std::vector<std::string>{"a", "c"}));
}

TEST(TreeChecks, NextStatesReadOnlyAndDisabled) {
  CheckTree t({"a", "b"});
  struct Case {
    TCheckType type;
    TCheckState from, to;
  };
  for (Case c : {Case{ctCheckBox, csCheckedNormal, csUncheckedNormal}, Case{ctCheckBox, csMixedNormal, csCheckedNormal},
                 Case{ctTriStateCheckBox, csUncheckedPressed, csCheckedNormal},
                 Case{ctRadioButton, csUncheckedNormal, csCheckedNormal},
                 Case{ctRadioButton, csCheckedNormal, csCheckedNormal}, Case{ctButton, csCheckedNormal, csUncheckedNormal}}) {
    EXPECT_EQ(t.tree.NextCheckState(c.type, c.from), c.to) << c.type << " " << c.from;
  }
  t.Types({"a", "b"}, ctCheckBox);
  t.n.at("b")->Include(vsDisabled);
  t.tree.SetCheckState(t.n.at("b"), csCheckedNormal);
  EXPECT_EQ(t.State("b"), csUncheckedNormal);
  t.tree.TreeOptions().SetMiscOptions(t.tree.TreeOptions().MiscOptions() | toReadOnly);
  t.tree.SetCheckState(t.n.at("a"), csCheckedNormal);
  EXPECT_EQ(t.State("a"), csUncheckedNormal);
  EXPECT_TRUE(t.asked.empty());
}

TEST(TreeChecks, ImageIndexByTypeStateAndLook) {
  TestTree tree;
  PViewNode node = tree.Add(nullptr, "a");
  struct Case {
    TCheckType type;
    TCheckState state;
    bool disabled, hot;
    int image;
  };
  const Case cases[] = {
      {ctNone, csCheckedNormal, false, false, -1},        {ctCheckBox, csUncheckedNormal, false, false, 9},
      {ctCheckBox, csUncheckedNormal, false, true, 10},   {ctCheckBox, csUncheckedPressed, false, true, 11},
      {ctCheckBox, csUncheckedNormal, true, true, 12},    {ctTriStateCheckBox, csCheckedNormal, false, false, 13},
      {ctCheckBox, csCheckedNormal, false, true, 14},     {ctCheckBox, csCheckedPressed, false, false, 15},
      {ctCheckBox, csCheckedPressed, true, false, 16},    {ctCheckBox, csMixedNormal, false, false, 17},
      {ctCheckBox, csMixedNormal, false, true, 18},       {ctCheckBox, csMixedPressed, false, false, 19},
      {ctRadioButton, csMixedPressed, true, false, 20},   {ctRadioButton, csUncheckedNormal, false, false, 1},
      {ctRadioButton, csUncheckedNormal, false, true, 2}, {ctRadioButton, csUncheckedPressed, false, false, 3},
      {ctRadioButton, csUncheckedNormal, true, false, 4}, {ctRadioButton, csCheckedNormal, false, false, 5},
      {ctRadioButton, csCheckedNormal, false, true, 6},   {ctRadioButton, csCheckedPressed, false, false, 7},
      {ctRadioButton, csCheckedNormal, true, true, 8},    {ctButton, csCheckedNormal, false, false, 21},
      {ctButton, csUncheckedNormal, false, true, 22},     {ctButton, csCheckedPressed, false, false, 23},
      {ctButton, csUncheckedNormal, true, false, 24},     {ctButton, csMixedNormal, false, false, 17},
  };
  for (const Case& c : cases) {
    node->CheckType = c.type;
    node->CheckState = c.state;
    if (c.disabled) {
      node->Include(vsDisabled);
    } else {
      node->Exclude(vsDisabled);
    }
    tree.HotRef() = c.hot ? node : nullptr;
    EXPECT_EQ(tree.GetCheckImage(node), c.image) << c.type << " " << c.state << " " << c.disabled << c.hot;
  }
}

}  // namespace
