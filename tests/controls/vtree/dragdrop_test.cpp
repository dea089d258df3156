// Dragging nodes: scripted drags inside one tree and between two trees (copy, move,
// the drop modes above, on and below, Escape), expanding a hovered node, the
// suggested effects, and what the source deletes after a move.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/com/ole_clipboard.h"
#include "platform/win/input_driver.h"
#include "tree_test_support.h"

namespace {

namespace drive = platform::input_driver;
using vtree_test::Build;
using vtree_test::TestTree;

// A tree in a window that takes drops: OnDragOver accepts, OnDragDrop attaches the
// data where the drop mode says, moving the nodes when the drop is a move from a
// tree of this process.
class DropTree {
 public:
  DropTree(int left, std::vector<std::string> paths) : form(std::make_unique<TForm>(nullptr)), tree(new TestTree()) {
    form->SetBounds(left, 0, 300, 300);
    tree->SetParent(form.get());
    tree->SetBounds(0, 0, 200, 200);
    tree->ShowText = true;
    tree->SetClipboardFormats({"View Tree Data"});
    tree->TreeOptions().SetMiscOptions(tree->TreeOptions().MiscOptions() | toAcceptOLEDrop);
    tree->TreeOptions().SetPaintOptions(tree->TreeOptions().PaintOptions() | toShowDropmark);
    tree->TreeOptions().SetAutoOptions(tree->TreeOptions().AutoOptions() | toAutoDeleteMovedNodes);
    nodes = Build(*tree, paths);
    // Names travel with the nodes as their user chunks.
    tree->OnSaveNode = [this](TViewTreeObject*, PViewNode node, TStream& stream) {
      const std::string name = tree->Name(node);
      stream.WriteBuffer(name.data(), static_cast<std::int32_t>(name.size()));
    };
    tree->OnLoadNode = [this](TViewTreeObject*, PViewNode node, TStream& stream) {
      stream.Read(tree->GetNodeData<TestTree::Data>(node)->name, sizeof(TestTree::Data::name) - 1);
    };
    tree->OnDragOver = [this](TViewTreeDragDrop*, TObject*, TShiftState, TDragState state, const POINT&,
                              TVTDropMode, DWORD&, bool& accept) {
      states.push_back(state);
      accept = true;
    };
    tree->OnDragDrop = [this](TViewTreeDragDrop*, TObject* source, IDataObject* data, const std::vector<WORD>&,
                              TShiftState, const POINT&, DWORD& effect, TVTDropMode mode) {
      const TVTNodeAttachMode attach = mode == dmAbove   ? amInsertBefore
                                       : mode == dmBelow ? amInsertAfter
                                                         : amAddChildLast;
      auto* from = dynamic_cast<TViewTreeStreams*>(source);
      tree->ProcessOLEData(from, data, tree->DropTargetNode(), attach, from != nullptr && effect == DROPEFFECT_MOVE);
    };
    form->HandleNeeded();
    ShowWindow(form->Handle(), SW_SHOW);
    drive::RunPending();
  }
  ~DropTree() {
    tree->OnDragOver = nullptr;
    tree->OnDragDrop = nullptr;
    delete tree;
  }
  // A node's label (inside) or its row left of the label, upper or lower part, on
  // the screen.
  POINT Label(const std::string& name) {
    RECT r = tree->GetDisplayRect(nodes[name], NoColumn, true);
    return drive::ScreenPoint(tree->Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  POINT RowPart(const std::string& name, bool upper) {
    RECT r = tree->GetDisplayRect(nodes[name], NoColumn, false);
    return drive::ScreenPoint(tree->Handle(), r.right - 3, upper ? r.top + 2 : r.bottom - 2);
  }
  std::string Shape() { return Shape(tree->RootNode()); }
  std::string Shape(PViewNode node) {
    std::string out;
    for (PViewNode c = node->FirstChild; c != nullptr; c = c->NextSibling) {
      out += (out.empty() ? "" : " ") + tree->Name(c);
      if (c->FirstChild != nullptr) out += "(" + Shape(c) + ")";
    }
    return out;
  }

  std::unique_ptr<TForm> form;
  TestTree* tree;
  std::map<std::string, PViewNode> nodes;
  std::vector<TDragState> states;
};

// Starts a drag of `name` with the left button down on it, the rest of the gesture
// queued by `script`.
void DragFrom(DropTree& from, const std::string& name, const std::function<void()>& script) {
  from.tree->ClearSelection();
  from.tree->SetSelected(from.nodes[name], true);
  from.tree->SetFocusedNode(from.nodes[name]);
  SetFocus(from.tree->Handle());
  drive::MoveTo(from.Label(name));
  drive::Press(VK_LBUTTON);
  drive::RunPending();
  script();
  POINT start = from.Label(name);
  ScreenToClient(from.tree->Handle(), &start);
  from.tree->DoDragging(start);
  drive::RunPending();
}

class DragDropTreeTest : public testing::Test {
 protected:
  void TearDown() override { OleSetClipboard(nullptr); }
};

// Moving a node inside its tree: above, onto and below other nodes. The source's
// deleting of moved nodes leaves alone the node the drop already moved.
TEST_F(DragDropTreeTest, MovesInsideOneTreeByDropMode) {
  struct Case {
    const char* name;
    bool onLabel;
    bool upper;
    const char* shape;
  };
  for (const Case& c : {Case{"above", false, true, "d a b c"}, Case{"onto", true, false, "a b(d) c"},
                        Case{"below", false, false, "a b d c"}}) {
    SCOPED_TRACE(c.name);
    DropTree t(0, {"a", "b", "c", "d"});
    DragFrom(t, "d", [&] {
      drive::MoveTo(c.name == std::string("above") ? t.RowPart("a", true)
                    : c.onLabel                     ? t.Label("b")
                                                    : t.RowPart("b", false));
      drive::Release(VK_LBUTTON);
    });
    EXPECT_EQ(t.Shape(), c.shape);
    EXPECT_EQ(t.tree->TotalCount(), 5u);
    EXPECT_FALSE(t.tree->InState(tsOLEDragging));
    EXPECT_EQ(t.tree->DropTargetNode(), nullptr);
  }
}

// Between two trees a plain drop copies; Shift makes it a move, after which the
// source has the node no more.
TEST_F(DragDropTreeTest, CopiesAndMovesBetweenTwoTrees) {
  DropTree source(0, {"a", "b", "b/x"});
  DropTree target(320, {"t"});
  DragFrom(source, "b", [&] {
    drive::MoveTo(target.Label("t"));
    drive::Release(VK_LBUTTON);
  });
  EXPECT_EQ(source.Shape(), "a b(x)");
  EXPECT_EQ(target.Shape(), "t(b(x))");

  DragFrom(source, "a", [&] {
    drive::MoveTo(target.RowPart("t", true));
    drive::KeyDown(VK_SHIFT);
    drive::MoveTo(target.RowPart("t", true));
    drive::Release(VK_LBUTTON);
    drive::KeyUp(VK_SHIFT);
  });
  EXPECT_EQ(source.Shape(), "b(x)");
  EXPECT_EQ(target.Shape(), "a t(b(x))");
}

TEST_F(DragDropTreeTest, EscapeEndsTheDragWithoutADrop) {
  DropTree t(0, {"a", "b"});
  DragFrom(t, "b", [&] {
    drive::MoveTo(t.Label("a"));
    drive::Key(VK_ESCAPE);
    drive::Release(VK_LBUTTON);
  });
  EXPECT_EQ(t.Shape(), "a b");
  ASSERT_FALSE(t.states.empty());
  EXPECT_EQ(t.states.front(), dsDragEnter);
  EXPECT_EQ(t.states.back(), dsDragLeave);
  EXPECT_EQ(t.tree->DropTargetNode(), nullptr);
}

// Hovering a collapsed node with children opens it after AutoExpandDelay; moving to
// another node first starts the wait again.
TEST_F(DragDropTreeTest, HoveringExpandsAfterTheDelay) {
  DropTree t(0, {"a", "a/a1", "b", "b/b1"});
  t.tree->TreeOptions().SetAutoOptions(t.tree->TreeOptions().AutoOptions() | toAutoDropExpand);
  t.tree->SetAutoExpandDelay(150);
  DWORD effect = DROPEFFECT_COPY;
  t.tree->DragOver(nullptr, 0, dsDragMove, t.Label("a"), effect);
  t.tree->DragOver(nullptr, 0, dsDragMove, t.Label("b"), effect);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (!t.tree->GetExpanded(t.nodes["b"]) && std::chrono::steady_clock::now() < end) {
    drive::RunPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(t.tree->GetExpanded(t.nodes["b"]));
  EXPECT_FALSE(t.tree->GetExpanded(t.nodes["a"]));
  t.tree->DragLeave();
}

TEST_F(DragDropTreeTest, SuggestedEffects) {
  DropTree t(0, {"a"});
  TestTree other;
  const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  struct Case {
    TObject* source;
    TShiftState shift;
    DWORD allowed;
    DWORD expected;
  };
  for (const Case& c : {Case{t.tree, 0, all, DROPEFFECT_MOVE}, Case{&other, 0, all, DROPEFFECT_COPY},
                        Case{nullptr, 0, all, DROPEFFECT_COPY}, Case{t.tree, ssCtrl, all, DROPEFFECT_COPY},
                        Case{&other, ssShift, all, DROPEFFECT_MOVE}, Case{&other, ssCtrl | ssShift, all, DROPEFFECT_LINK},
                        Case{&other, ssAlt, all, DROPEFFECT_LINK}, Case{t.tree, ssCtrl, DROPEFFECT_MOVE, DROPEFFECT_MOVE}}) {
    EXPECT_EQ(t.tree->SuggestDropEffect(c.source, c.shift, POINT{}, c.allowed), c.expected);
  }
}

TEST(DragManagerTest, ContinuesWhileOneButtonIsDown) {
  TestTree tree;
  auto manager = tree.DragManager().As<IDropSource>();
  EXPECT_EQ(manager->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
  EXPECT_EQ(manager->QueryContinueDrag(FALSE, MK_RBUTTON), S_OK);
  EXPECT_EQ(manager->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
  EXPECT_EQ(manager->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(manager->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(manager->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
}

}  // namespace
