// A long random sequence of inserts, moves, deletes, expands, collapses, hides and
// height changes, each followed by a full comparison of the tree with a plain
// reference model: links, indexes, counts, total heights, the visible count, the
// visible walks and the position cache. The nodes carry a record that counts its
// owners, so leaks and double frees show.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "controls/vtree/view_trees.h"

namespace {

// User data that must be made once and destroyed once.
struct Owned {
  static std::set<int>& Live() {
    static std::set<int> live;
    return live;
  }
  explicit Owned(int id) : id(id), text(std::make_unique<std::string>("node " + std::to_string(id))) {
    EXPECT_TRUE(Live().insert(id).second) << "made twice: " << id;
  }
  ~Owned() { EXPECT_EQ(Live().erase(id), 1u) << "freed twice: " << id; }
  int id;
  std::unique_ptr<std::string> text;
};

struct Ref {
  int id = 0;
  Ref* parent = nullptr;
  std::vector<Ref*> children;
  bool expanded = false;
  bool visible = true;
  std::uint32_t height = 18;
};

class Model {
 public:
  Ref root;
  std::vector<std::unique_ptr<Ref>> nodes;

  Ref* Make(int id) {
    nodes.push_back(std::make_unique<Ref>());
    nodes.back()->id = id;
    return nodes.back().get();
  }
  static std::size_t IndexOf(Ref* node) {
    auto& siblings = node->parent->children;
    return static_cast<std::size_t>(std::find(siblings.begin(), siblings.end(), node) - siblings.begin());
  }
  void Detach(Ref* node) {
    Ref* parent = node->parent;
    parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(IndexOf(node)));
    if (parent->children.empty() && parent != &root) parent->expanded = false;
  }
  void Attach(Ref* target, TVTNodeAttachMode mode, Ref* node) {
    if (target == &root && mode == amInsertBefore) mode = amAddChildFirst;
    if (target == &root && mode == amInsertAfter) mode = amAddChildLast;
    Ref* parent = mode == amInsertBefore || mode == amInsertAfter ? target->parent : target;
    std::size_t at = mode == amInsertBefore ? IndexOf(target)
                     : mode == amInsertAfter ? IndexOf(target) + 1
                     : mode == amAddChildFirst ? 0
                                               : parent->children.size();
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(at), node);
    node->parent = parent;
  }
  void Erase(Ref* node) {
    for (Ref* child : std::vector<Ref*>(node->children)) Erase(child);
    Detach(node);
    std::erase_if(nodes, [node](const auto& n) { return n.get() == node; });
  }
  bool Inside(Ref* node, Ref* ancestor) const {
    for (Ref* p = node->parent; p != nullptr; p = p->parent) {
      if (p == ancestor) return true;
    }
    return false;
  }
  static std::uint32_t Count(const Ref* node) {
    std::uint32_t count = 1;
    for (const Ref* c : node->children) count += Count(c);
    return count;
  }
  static std::uint32_t Height(const Ref* node) {
    std::uint32_t height = node->height;
    if (node->expanded) {
      for (const Ref* c : node->children) height += c->visible ? Height(c) : 0;
    }
    return height;
  }
  // The ids of the rows, top to bottom.
  void Rows(const Ref* node, std::vector<int>& rows) const {
    for (const Ref* c : node->children) {
      if (!c->visible) continue;
      rows.push_back(c->id);
      if (c->expanded) Rows(c, rows);
    }
  }
};

class Consistency {
 public:
  explicit Consistency(unsigned seed) : random_(seed) {
    tree_ = std::make_unique<TBaseViewTree>(nullptr);
    tree_->SetNodeDataSize(sizeof(Owned));
    tree_->OnInitNode = [this](TViewTreeObject* sender, PViewNode, PViewNode node, TViewNodeInitStates&) {
      new (sender->NodeUserData(node)) Owned(++lastId_);
    };
    tree_->OnFreeNode = [](TViewTreeObject* sender, PViewNode node) { sender->GetNodeData<Owned>(node)->~Owned(); };
    model_.root.expanded = true;
  }

  void Run(int steps) {
    for (int step = 0; step < steps; ++step) {
      const std::string what = Step();
      Check(what + " at step " + std::to_string(step));
      if (::testing::Test::HasFailure()) return;
      largest_ = std::max(largest_, model_.nodes.size());
    }
    // The sequence must reach trees of some size to mean anything.
    EXPECT_GT(largest_, 150u);
  }

  void Destroy() { tree_.reset(); }

 private:
  std::uint32_t Pick(std::uint32_t n) { return static_cast<std::uint32_t>(random_() % n); }
  // A random node of the tree and its model twin; with `rootAllowed` sometimes the root.
  std::pair<PViewNode, Ref*> AnyNode(bool rootAllowed) {
    if (model_.nodes.empty() || (rootAllowed && Pick(8) == 0)) return {nullptr, &model_.root};
    Ref* ref = model_.nodes[Pick(static_cast<std::uint32_t>(model_.nodes.size()))].get();
    return {NodeOf(ref->id), ref};
  }
  PViewNode NodeOf(int id) {
    for (PViewNode n = tree_->GetFirstNoInit(); n != nullptr; n = tree_->GetNextNoInit(n)) {
      if (tree_->GetNodeData<Owned>(n)->id == id) return n;
    }
    ADD_FAILURE() << "no node " << id;
    return nullptr;
  }
  Ref* Adopt(PViewNode node) {
    tree_->ValidateNode(node, false);
    return model_.Make(tree_->GetNodeData<Owned>(node)->id);
  }

  std::string Step() {
    const std::uint32_t size = static_cast<std::uint32_t>(model_.nodes.size());
    // Inserts outweigh deletes (which take whole subtrees) until the tree is large.
    static const std::uint32_t kinds[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, 7, 6, 8, 9, 8, 10, 11, 11};
    const std::uint32_t kind = size < 20 ? Pick(3) : size > 400 ? 3 + Pick(9) : kinds[Pick(20)];
    const bool bracket = Pick(10) == 0;
    if (bracket) tree_->BeginUpdate();
    std::string what;
    switch (kind) {
      case 0:
      case 1: {
        auto [target, ref] = AnyNode(true);
        auto mode = static_cast<TVTNodeAttachMode>(1 + Pick(4));
        PViewNode added = tree_->InsertNodeAt(target, mode);
        model_.Attach(ref, mode, Adopt(added));
        what = "insert";
        break;
      }
      case 2: {
        auto [target, ref] = AnyNode(true);
        PViewNode added = tree_->AppendChildNode(target);
        model_.Attach(ref, amAddChildLast, Adopt(added));
        what = "append";
        break;
      }
      case 3:
      case 4: {
        auto [node, ref] = AnyNode(false);
        tree_->DeleteNode(node, true);
        model_.Erase(ref);
        what = "delete";
        break;
      }
      case 5: {
        auto [node, ref] = AnyNode(false);
        tree_->DeleteChildren(node);
        for (Ref* child : std::vector<Ref*>(ref->children)) model_.Erase(child);
        ref->expanded = false;
        what = "delete children";
        break;
      }
      case 6:
      case 7: {
        what = Move();
        break;
      }
      case 8:
      case 9: {
        auto [node, ref] = AnyNode(false);
        tree_->ToggleNode(node);
        if (!ref->children.empty()) ref->expanded = !ref->expanded;
        what = "toggle";
        break;
      }
      case 10: {
        auto [node, ref] = AnyNode(false);
        tree_->SetVisible(node, !ref->visible);
        ref->visible = !ref->visible;
        what = "visibility";
        break;
      }
      default: {
        auto [node, ref] = AnyNode(false);
        ref->height = 10 + Pick(30);
        tree_->SetNodeHeight(node, ref->height);
        what = "height";
        break;
      }
    }
    if (Pick(200) == 0) {
      tree_->FullExpand();
      for (auto& n : model_.nodes) n->expanded = !n->children.empty();
      what += ", full expand";
    }
    if (bracket) tree_->EndUpdate();
    return what;
  }

  std::string Move() {
    auto [source, sourceRef] = AnyNode(false);
    auto [target, targetRef] = AnyNode(true);
    auto mode = static_cast<TVTNodeAttachMode>(1 + Pick(4));
    const bool childrenOnly = Pick(4) == 0;
    if (target == nullptr) mode = amAddChildFirst;
    const bool siblingMode = mode == amInsertBefore || mode == amInsertAfter;
    if (target == source && !(siblingMode && childrenOnly)) return "no move";
    if (targetRef != sourceRef && model_.Inside(targetRef, sourceRef)) {
      EXPECT_THROW(tree_->MoveNode(source, target, mode, childrenOnly), EViewTreeError);
      return "refused move";
    }
    tree_->MoveNode(source, target, mode, childrenOnly);
    if (!childrenOnly) {
      model_.Detach(sourceRef);
      model_.Attach(targetRef, mode, sourceRef);
      return "move";
    }
    const bool backwards = mode == amAddChildFirst || mode == amInsertAfter;
    while (!sourceRef->children.empty()) {
      Ref* child = backwards ? sourceRef->children.back() : sourceRef->children.front();
      model_.Detach(child);
      model_.Attach(targetRef, mode, child);
    }
    return "move children";
  }

  void CheckNode(PViewNode node, const Ref* ref, const std::string& where) {
    ASSERT_EQ(node->ChildCount, ref->children.size()) << where << " node " << ref->id;
    ASSERT_EQ(node->TotalCount, Model::Count(ref)) << where << " node " << ref->id;
    ASSERT_EQ(node->TotalHeight, Model::Height(ref)) << where << " node " << ref->id;
    if (ref != &model_.root) {
      ASSERT_EQ(node->Has(vsExpanded), ref->expanded) << where << " node " << ref->id;
      ASSERT_EQ(node->Has(vsVisible), ref->visible) << where << " node " << ref->id;
    }
    PViewNode child = node->FirstChild;
    PViewNode previous = nullptr;
    for (std::size_t i = 0; i < ref->children.size(); ++i, previous = child, child = child->NextSibling) {
      ASSERT_NE(child, nullptr) << where;
      ASSERT_EQ(tree_->GetNodeData<Owned>(child)->id, ref->children[i]->id) << where << " child " << i;
      ASSERT_EQ(child->Index, i) << where;
      ASSERT_EQ(child->Parent, node) << where;
      ASSERT_EQ(child->PrevSibling, previous) << where;
      CheckNode(child, ref->children[i], where);
    }
    ASSERT_EQ(child, nullptr) << where;
    ASSERT_EQ(node->LastChild, previous) << where;
  }

  void Check(const std::string& where) {
    CheckNode(tree_->RootNode(), &model_.root, where);
    std::set<int> ids;
    for (auto& n : model_.nodes) ids.insert(n->id);
    ASSERT_EQ(Owned::Live(), ids) << where;
    std::vector<int> rows, walked, back;
    model_.Rows(&model_.root, rows);
    ASSERT_EQ(tree_->VisibleCount(), rows.size()) << where;
    for (PViewNode n = tree_->GetFirstVisibleNoInit(); n != nullptr; n = tree_->GetNextVisibleNoInit(n)) {
      walked.push_back(tree_->GetNodeData<Owned>(n)->id);
    }
    ASSERT_EQ(walked, rows) << where;
    for (PViewNode n = tree_->GetLastVisibleNoInit(); n != nullptr; n = tree_->GetPreviousVisibleNoInit(n)) {
      back.push_back(tree_->GetNodeData<Owned>(n)->id);
    }
    std::reverse(back.begin(), back.end());
    ASSERT_EQ(back, rows) << where;
    ASSERT_EQ(tree_->UpdateCount(), 0u);
    ASSERT_TRUE(tree_->CacheIsValid()) << where;
    const std::uint32_t visible = tree_->VisibleCount();
    ASSERT_EQ(tree_->PositionCache().size(), visible > 2000 ? TBaseViewTree::CacheEntryCount(visible) : 0u) << where;
  }

  std::mt19937 random_;
  std::unique_ptr<TBaseViewTree> tree_;
  Model model_;
  int lastId_ = 0;
  std::size_t largest_ = 0;
};

TEST(TreeConsistency, RandomStructureChangesKeepEveryTotal) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    {
      Consistency run(seed);
      run.Run(3000);
      run.Destroy();
    }
    // Every record was destroyed exactly once when the tree went.
    EXPECT_TRUE(Owned::Live().empty());
    Owned::Live().clear();
  }
}

}  // namespace
