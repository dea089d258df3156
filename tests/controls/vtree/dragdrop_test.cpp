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

// Starts a drag of `name` (with any nodes also selected) with the left button down on
// it, the rest of the gesture queued by `script`.
void DragFrom(DropTree& from, const std::string& name, const std::function<void()>& script,
              const std::vector<std::string>& alsoSelected = {}) {
  from.tree->ClearSelection();
  from.tree->SetSelected(from.nodes[name], true);
  for (const std::string& other : alsoSelected) from.tree->SetSelected(from.nodes[other], true);
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

// A selected node dragged together with its selected parent stays inside it.
TEST_F(DragDropTreeTest, ASelectedChildMovesOnlyWithItsSelectedParent) {
  DropTree t(0, {"a", "b", "b/x", "c"});
  t.tree->TreeOptions().SetSelectionOptions(t.tree->TreeOptions().SelectionOptions() | toMultiSelect);
  t.tree->SetExpanded(t.nodes["b"], true);
  // A press on a selected node that may be dragged keeps the other selected nodes.
  t.tree->OnDragAllowed = [](TViewTreeObject*, PViewNode, TColumnIndex, bool& allowed) { allowed = true; };
  DragFrom(
      t, "b",
      [&] {
        EXPECT_EQ(t.tree->SelectedCount(), 2u);
        drive::MoveTo(t.RowPart("c", false));
        drive::Release(VK_LBUTTON);
      },
      {"x"});
  EXPECT_EQ(t.Shape(), "a c b(x)");
  EXPECT_EQ(t.tree->TotalCount(), 5u);
  t.tree->OnDragAllowed = nullptr;
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

// The class library's drag (the kind a tree with DragType dtVCL starts): the node
// under the mouse becomes the drop target with the same drop modes, and the owner's
// OnDragDrop hears the drop with no data object and the effect of the last move.
class ClassLibraryDrag : public DragDropTreeTest {
 protected:
  struct Drop {
    TObject* source = nullptr;
    bool withData = true;
    DWORD effect = DROPEFFECT_NONE;
    TVTDropMode mode = dmNowhere;
    PViewNode target = nullptr;
  };
  // The tree moves its focused node where the drop says.
  static void Prepare(DropTree& t, std::vector<Drop>& drops) {
    t.tree->SetDragType(dtVCL);
    t.tree->OnDragAllowed = [](TViewTreeObject*, PViewNode, TColumnIndex, bool& allowed) { allowed = true; };
    t.tree->OnDragDrop = [&t, &drops](TViewTreeDragDrop*, TObject* source, IDataObject* data,
                                      const std::vector<WORD>& formats, TShiftState, const POINT&, DWORD& effect,
                                      TVTDropMode mode) {
      drops.push_back(Drop{source, data != nullptr || !formats.empty(), effect, mode, t.tree->DropTargetNode()});
      const TVTNodeAttachMode attach = mode == dmAbove   ? amInsertBefore
                                       : mode == dmBelow ? amInsertAfter
                                                         : amAddChildLast;
      if (effect == DROPEFFECT_MOVE) t.tree->MoveNode(t.tree->FocusedNode(), t.tree->DropTargetNode(), attach, false);
    };
  }
  // Presses on `name`, moves to `to` in two steps (past the drag threshold) and runs
  // `finish` (release, Escape, ...).
  static void Gesture(DropTree& t, const std::string& name, POINT to, const std::function<void()>& finish) {
    t.tree->SetFocusedNode(t.nodes[name]);
    SetFocus(t.tree->Handle());
    drive::MoveTo(t.Label(name));
    drive::Press(VK_LBUTTON);
    drive::RunPending();
    drive::MoveTo(POINT{(t.Label(name).x + to.x) / 2, (t.Label(name).y + to.y) / 2});
    drive::RunPending();
    drive::MoveTo(to);
    drive::RunPending();
    finish();
    drive::RunPending();
  }
};

TEST_F(ClassLibraryDrag, MovesByDropModeWithTheEffectOfTheLastMove) {
  struct Case {
    const char* name;
    int key;  // held during the drag, 0 for none
    const char* shape;
    DWORD effect;
    TVTDropMode mode;
  };
  for (const Case& c : {Case{"above", 0, "d a b c", DROPEFFECT_MOVE, dmAbove},
                        Case{"onto", 0, "a b(d) c", DROPEFFECT_MOVE, dmOnNode},
                        Case{"below", 0, "a b d c", DROPEFFECT_MOVE, dmBelow},
                        Case{"onto with Ctrl", VK_CONTROL, "a b c d", DROPEFFECT_COPY, dmOnNode}}) {
    SCOPED_TRACE(c.name);
    DropTree t(0, {"a", "b", "c", "d"});
    std::vector<Drop> drops;
    Prepare(t, drops);
    const std::string where = c.name;
    const POINT to = where == "above" ? t.RowPart("a", true) : where == "below" ? t.RowPart("b", false) : t.Label("b");
    if (c.key != 0) drive::KeyDown(c.key);
    Gesture(t, "d", to, [] { drive::Release(VK_LBUTTON); });
    if (c.key != 0) drive::KeyUp(c.key);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].source, t.tree);
    EXPECT_FALSE(drops[0].withData);
    EXPECT_EQ(drops[0].effect, c.effect);
    EXPECT_EQ(drops[0].mode, c.mode);
    EXPECT_EQ(drops[0].target, t.nodes[where == "above" ? "a" : "b"]);
    EXPECT_EQ(t.Shape(), c.shape);
    EXPECT_EQ(t.states.front(), dsDragEnter);
    EXPECT_FALSE(t.tree->InState(tsVCLDragging | tsVCLDragPending | tsUserDragObject | tsLeftButtonDown));
    EXPECT_EQ(t.tree->DropTargetNode(), nullptr);
    t.tree->OnDragAllowed = nullptr;
  }
}

TEST_F(ClassLibraryDrag, RefusedOrCancelledDragsDropNothing) {
  struct Case {
    const char* name;
    bool accept;
    bool escape;
  };
  for (const Case& c : {Case{"refused", false, false}, Case{"Escape", true, true}}) {
    SCOPED_TRACE(c.name);
    DropTree t(0, {"a", "b"});
    std::vector<Drop> drops;
    Prepare(t, drops);
    const bool accept = c.accept;
    t.tree->OnDragOver = [&t, accept](TViewTreeDragDrop*, TObject*, TShiftState, TDragState state, const POINT&,
                                      TVTDropMode, DWORD&, bool& accepted) {
      t.states.push_back(state);
      accepted = accept;
    };
    std::vector<bool> ends;
    t.tree->OnEndDrag = [&](TObject*, TObject* target, int, int) { ends.push_back(target != nullptr); };
    Gesture(t, "b", t.Label("a"), [&] {
      if (c.escape) {
        // The application's message loop is where Escape ends a drag.
        TApplication app(nullptr);
        drive::Key(VK_ESCAPE);
        app.ProcessMessages();
      }
      drive::Release(VK_LBUTTON);
    });
    EXPECT_TRUE(drops.empty());
    EXPECT_EQ(t.Shape(), "a b");
    EXPECT_EQ(ends, std::vector<bool>{false});
    EXPECT_EQ(t.states.back(), dsDragLeave);
    EXPECT_FALSE(t.tree->InState(tsVCLDragging | tsVCLDragPending | tsLeftButtonDown));
    EXPECT_EQ(t.tree->DropTargetNode(), nullptr);
    t.tree->OnEndDrag = nullptr;
    t.tree->OnDragAllowed = nullptr;
  }
}

// A drag object of the owner's own is what the drop hears as the source, and the tree
// marks such a drag until it ends.
TEST_F(ClassLibraryDrag, AnOwnersDragObjectIsTheSource) {
  DropTree t(0, {"a", "b"});
  std::vector<Drop> drops;
  Prepare(t, drops);
  TDragControlObject own(t.tree);
  bool markedWhileDragging = false;
  t.tree->OnStartDrag = [&](TObject*, TDragObject*& object) { object = &own; };
  t.tree->OnDragOver = [&](TViewTreeDragDrop*, TObject*, TShiftState, TDragState, const POINT&, TVTDropMode, DWORD&,
                           bool& accepted) {
    markedWhileDragging = t.tree->InState(tsUserDragObject);
    accepted = true;
  };
  Gesture(t, "b", t.Label("a"), [] { drive::Release(VK_LBUTTON); });
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].source, &own);
  EXPECT_TRUE(markedWhileDragging);
  EXPECT_FALSE(t.tree->InState(tsUserDragObject));
  t.tree->OnStartDrag = nullptr;
  t.tree->OnDragAllowed = nullptr;
}

// Switching toAcceptOLEDrop on a tree that has its window makes it a drop target of
// the system's drag and drop, or stops it being one.
TEST_F(DragDropTreeTest, AcceptingDropsFollowsTheOptionAfterTheWindowExists) {
  DropTree source(0, {"a"});
  DropTree target(320, {"t"});
  auto dragTo = [&] {
    DragFrom(source, "a", [&] {
      drive::MoveTo(target.Label("t"));
      drive::Release(VK_LBUTTON);
    });
  };
  TCustomViewTreeOptions& options = target.tree->TreeOptions();
  options.SetMiscOptions(options.MiscOptions() & ~toAcceptOLEDrop);
  dragTo();
  EXPECT_EQ(target.Shape(), "t");
  options.SetMiscOptions(options.MiscOptions() | toAcceptOLEDrop);
  dragTo();
  EXPECT_EQ(target.Shape(), "t(a)");
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
