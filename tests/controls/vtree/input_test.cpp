// The tree as a user works it: keys, clicks, the wheel, typing to search, dragging a
// band near an edge, and renaming a node in place through an editor window. Input
// goes through the system's input queue; time moves on the frozen platform clock.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/base/clock.h"
#include "platform/gdi/device_context.h"
#include "platform/win/common_controls.h"
#include "platform/win/std_controls.h"
#include "platform/win/input.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "test_edit_link.h"
#include "tree_test_support.h"

namespace drive = platform::input_driver;
using platform::com::ComObject;
using platform::com::ComPtr;
using vtree_test::Build;
using vtree_test::MakeTestEditLink;
using vtree_test::TestTree;
using vtree_test::WindowedTree;

namespace {

constexpr UINT kReleaseEditor = WM_APP + 1;

class EditorLink;

// The editor window of the test's edit link: it keeps typed text, ends the edit on
// Enter and on losing the focus, cancels on Escape, and lets itself go by a posted
// message, holding its link until then.
class Editor : public TCustomControl {
 public:
  Editor(TBaseViewTree& tree, ComPtr<EditorLink> link) : TCustomControl(nullptr), tree_(tree), link_(std::move(link)) {}
  std::u16string text;
  void WndProc(TMessage& message) override;

 private:
  TBaseViewTree& tree_;
  ComPtr<EditorLink> link_;
};

// The edit link a test's OnCreateEditor hands out; the edited texts land in a map.
class EditorLink : public ComObject<IVTEditLink> {
 public:
  explicit EditorLink(std::map<PViewNode, std::u16string>& store) : store_(store) {}
  ~EditorLink() override { ++destroyed; }
  bool PrepareEdit(TBaseViewTree* tree, PViewNode node, TColumnIndex) override {
    tree_ = tree;
    node_ = node;
    editor_ = new Editor(*tree, ComPtr<EditorLink>(this));
    editor_->SetParent(tree);
    editor_->text = store_[node];
    return true;
  }
  bool BeginEdit() override {
    if (stopping_) return false;
    ShowWindow(editor_->Handle(), SW_SHOW);
    editor_->SetFocus();
    return true;
  }
  bool EndEdit() override {
    if (stopping_) return false;
    stopping_ = true;
    store_[node_] = editor_->text;
    Drop();
    return true;
  }
  bool CancelEdit() override {
    if (stopping_) return false;
    stopping_ = true;
    Drop();
    tree_->CancelEditNode();
    return true;
  }
  RECT GetBounds() override { return editor_->BoundsRect(); }
  void ProcessMessage(TMessage& message) override { editor_->Perform(message.Msg, message.WParam, message.LParam); }
  void SetBounds(RECT r) override { editor_->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
  bool Stopping() const { return stopping_; }
  static inline int destroyed = 0;

 private:
  void Drop() {
    ShowWindow(editor_->Handle(), SW_HIDE);
    PostMessageW(editor_->Handle(), kReleaseEditor, 0, 0);
  }
  std::map<PViewNode, std::u16string>& store_;
  TBaseViewTree* tree_ = nullptr;
  PViewNode node_ = nullptr;
  Editor* editor_ = nullptr;
  bool stopping_ = false;
};

void Editor::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_KEYDOWN:
      if (message.WParam == VK_RETURN) {
        tree_.EndEditNode();
        tree_.SetFocus();
        return;
      }
      if (message.WParam == VK_ESCAPE) {
        tree_.CancelEditNode();
        tree_.SetFocus();
        return;
      }
      break;
    case WM_CHAR:
      if (message.WParam >= 32) text += static_cast<char16_t>(message.WParam);
      return;
    case WM_KILLFOCUS:
      if (!link_->Stopping()) tree_.EndEditNode();
      break;
    case kReleaseEditor:
      delete this;
      return;
  }
  TCustomControl::WndProc(message);
}

std::string ExpandedNames(TestTree& tree) {
  std::string out;
  for (PViewNode n = tree.GetFirstNoInit(); n != nullptr; n = tree.GetNextNoInit(n)) {
    if (n->Has(vsExpanded)) out += (out.empty() ? "" : " ") + tree.Name(n);
  }
  return out;
}

class TreeInput : public testing::Test {
 protected:
  void SetUp() override {
    platform::test_clock::Freeze(1000000, 45000.0);
    view_ = std::make_unique<WindowedTree>(200, 180);
    tree().ShowText = true;
    tree().SetTabStop(true);
    view_->Show();
    tree().SetFocus();
    drive::RunPending();
  }
  void TearDown() override {
    drive::ReleaseAll();
    drive::RunPending();
    view_.reset();
    drive::RunPending();
    platform::test_clock::Release();
  }
  TestTree& tree() { return *view_->tree; }
  void Options(TVTSelectionOptions selection, TVTMiscOptions miscAdd = 0, TVTAutoOptions autoAdd = 0) {
    tree().TreeOptions().SetSelectionOptions(selection);
    tree().TreeOptions().SetMiscOptions(tree().TreeOptions().MiscOptions() | miscAdd);
    tree().TreeOptions().SetAutoOptions(tree().TreeOptions().AutoOptions() | autoAdd);
  }
  void Keys(const std::vector<std::vector<int>>& chords) {
    for (const auto& chord : chords) {
      drive::Chord(chord);
      drive::RunPending();
    }
  }
  // The middle of a node's label on the screen.
  POINT Label(PViewNode node) {
    const RECT r = tree().GetDisplayRect(node, NoColumn, true);
    return drive::ScreenPoint(tree().Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  void ClickAt(POINT p) {
    drive::Click(p, VK_LBUTTON);
    drive::RunPending();
  }
  void Wait(ULONGLONG ms) {
    platform::test_clock::Advance(ms);
    drive::RunPending();
  }
  std::string Selected() { return tree().Names(tree().GetSortedSelection(false)); }
  std::unique_ptr<WindowedTree> view_;
};

// --- the keyboard ---

struct KeyCase {
  const char* name;
  TVTSelectionOptions selection;
  const char* focused;   // at the start, also selected
  const char* expanded;  // names expanded at the start, space-separated
  std::vector<std::vector<int>> keys;
  const char* wantFocused;
  const char* wantSelected;
  const char* wantExpanded;
};

TEST_F(TreeInput, KeysMoveFocusSelectionAndExpansion) {
  const std::vector<KeyCase> cases = {
      {"down", 0, "A", "", {{VK_DOWN}}, "B", "B", ""},
      {"up", 0, "B", "", {{VK_UP}}, "A", "A", ""},
      {"up at the top stays", 0, "A", "", {{VK_UP}}, "A", "A", ""},
      {"down into an expanded node", 0, "A", "A", {{VK_DOWN}}, "A1", "A1", "A"},
      {"right expands", 0, "A", "", {{VK_RIGHT}}, "A", "A", "A"},
      {"right again enters", 0, "A", "", {{VK_RIGHT}, {VK_RIGHT}}, "A1", "A1", "A"},
      {"left goes to the parent", 0, "A2", "A", {{VK_LEFT}}, "A", "A", "A"},
      {"left collapses", 0, "A", "A", {{VK_LEFT}}, "A", "A", ""},
      {"backspace goes to the parent", 0, "B1", "B", {{VK_BACK}}, "B", "B", "B"},
      {"end", 0, "A", "", {{VK_END}}, "C", "C", ""},
      {"home", 0, "C", "B", {{VK_HOME}}, "A", "A", "B"},
      {"numpad plus expands", 0, "B", "", {{VK_ADD}}, "B", "B", "B"},
      {"typed plus expands", 0, "B", "", {{VK_SHIFT, 0xBB}}, "B", "B", "B"},
      {"minus collapses", 0, "B", "A B", {{VK_SUBTRACT}}, "B", "B", "A"},
      {"star expands the subtree", 0, "A", "", {{VK_MULTIPLY}}, "A", "A", "A A2"},
      {"slash collapses the subtree", 0, "A", "A A2", {{VK_DIVIDE}}, "A", "A", ""},
      {"ctrl shift plus expands all", 0, "C", "", {{VK_CONTROL, VK_SHIFT, VK_ADD}}, "C", "C", "A A2 B"},
      {"ctrl shift minus collapses all", 0, "C", "A A2 B", {{VK_CONTROL, VK_SHIFT, VK_SUBTRACT}}, "C", "C", ""},
      {"shift down without multiselect moves", 0, "A", "", {{VK_SHIFT, VK_DOWN}}, "B", "B", ""},
      {"shift down extends", toMultiSelect, "A", "", {{VK_SHIFT, VK_DOWN}, {VK_SHIFT, VK_DOWN}}, "C", "A B C", ""},
      {"shift up takes back", toMultiSelect, "A", "", {{VK_SHIFT, VK_DOWN}, {VK_SHIFT, VK_UP}}, "A", "A", ""},
      {"shift end selects the range", toMultiSelect, "B", "", {{VK_SHIFT, VK_END}}, "C", "B C", ""},
      {"shift home selects the range", toMultiSelect, "B", "B", {{VK_SHIFT, VK_HOME}}, "A", "A B", "B"},
      {"a plain key drops the range", toMultiSelect, "A", "", {{VK_SHIFT, VK_DOWN}, {VK_DOWN}}, "C", "C", ""},
      {"ctrl down scrolls only", toMultiSelect, "A", "", {{VK_CONTROL, VK_DOWN}}, "A", "A", ""},
      {"ctrl a selects all", toMultiSelect, "A", "A", {{VK_CONTROL, 'A'}}, "A", "A A1 A2 A21 B B1 C", "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tree().Clear();
    auto n = Build(tree(), {"A", "A/A1", "A/A2", "A2/A21", "B", "B/B1", "C"});
    Options(c.selection);
    const std::string expanded = std::string(" ") + c.expanded + " ";
    for (const auto& [name, node] : n) {
      if (expanded.find(" " + name + " ") != std::string::npos) tree().SetExpanded(node, true);
    }
    tree().SetFocusedNode(n.at(c.focused));
    tree().SetSelected(n.at(c.focused), true);
    Keys(c.keys);
    EXPECT_EQ(tree().Name(tree().FocusedNode()), c.wantFocused);
    EXPECT_EQ(Selected(), c.wantSelected);
    EXPECT_EQ(ExpandedNames(tree()), c.wantExpanded);
  }
}

TEST_F(TreeInput, KeysMoveBetweenColumns) {
  for (int i = 0; i < 3; ++i) tree().Header().Columns().Add().SetWidth(60);
  tree().Header().SetOptions(tree().Header().Options() | hoVisible);
  tree().SetWantTabs(true);
  struct Case {
    const char* name;
    TVTSelectionOptions selection;
    TVTMiscOptions misc;
    const char* node;
    TColumnIndex column;
    std::vector<std::vector<int>> keys;
    const char* wantNode;
    TColumnIndex wantColumn;
  };
  const std::vector<Case> cases = {
      {"tab to the next column", toExtendedFocus, 0, "A", 0, {{VK_TAB}}, "A", 1},
      {"tab past the last column", toExtendedFocus, 0, "A", 1, {{VK_TAB}, {VK_TAB}}, "B", 0},
      {"shift tab back a row", toExtendedFocus, 0, "B", 0, {{VK_SHIFT, VK_TAB}}, "A", 2},
      {"shift tab at the start stays", toExtendedFocus, 0, "A", 0, {{VK_SHIFT, VK_TAB}}, "A", 0},
      {"right with grid moves the column", toExtendedFocus, toGridExtensions, "B", 0, {{VK_RIGHT}}, "B", 1},
      {"home with grid: the first column", toExtendedFocus, toGridExtensions, "B", 2, {{VK_HOME}}, "B", 0},
      {"end with grid: the last column", toExtendedFocus, toGridExtensions, "B", 0, {{VK_END}}, "B", 2},
      {"ctrl end with grid: last node and column", toExtendedFocus, toGridExtensions, "A", 0,
       {{VK_CONTROL, VK_END}}, "C", 2},
      {"end without grid: the last node", toExtendedFocus, 0, "A", 1, {{VK_END}}, "C", 1},
      {"ctrl end without grid only scrolls", toExtendedFocus, 0, "A", 1, {{VK_CONTROL, VK_END}}, "A", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tree().Clear();
    auto n = Build(tree(), {"A", "B", "C"});
    tree().TreeOptions().SetSelectionOptions(c.selection);
    tree().TreeOptions().SetMiscOptions((tree().TreeOptions().MiscOptions() & ~toGridExtensions) | c.misc);
    tree().SetFocusedNode(n.at(c.node));
    tree().SetFocusedColumn(c.column);
    Keys(c.keys);
    EXPECT_EQ(tree().Name(tree().FocusedNode()), c.wantNode);
    EXPECT_EQ(tree().FocusedColumn(), c.wantColumn);
  }
}

TEST_F(TreeInput, CtrlPlusAndMinusWorkOnColumnsNotNodes) {
  for (int i = 0; i < 2; ++i) tree().Header().Columns().Add().SetWidth(150);
  tree().Header().SetOptions(tree().Header().Options() | hoVisible);
  auto n = Build(tree(), {"A", "A/A1"});
  tree().SetFocusedNode(n.at("A"));
  Keys({{VK_CONTROL, VK_ADD}});
  EXPECT_FALSE(n.at("A")->Has(vsExpanded));
  EXPECT_LT(tree().Header().Columns()[1].Width(), 150);
  tree().SetExpanded(n.at("A"), true);
  Keys({{VK_CONTROL, VK_SUBTRACT}});
  EXPECT_TRUE(n.at("A")->Has(vsExpanded));
  EXPECT_EQ(tree().Header().Columns()[1].Width(), 150);
}

TEST_F(TreeInput, PageKeysMoveByAWindowOfRows) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("n" + std::to_string(i));
  auto n = Build(tree(), names);
  const int rowsInView = tree().TreeClientRect().bottom / 18;
  tree().SetFocusedNode(n.at("n0"));
  Keys({{VK_NEXT}});
  EXPECT_EQ(tree().Name(tree().FocusedNode()), "n" + std::to_string(rowsInView - 1));
  Keys({{VK_NEXT}});
  EXPECT_EQ(tree().Name(tree().FocusedNode()), "n" + std::to_string(2 * (rowsInView - 1)));
  // The focused row is in view.
  EXPECT_GT(tree().GetDisplayRect(tree().FocusedNode(), NoColumn, false).bottom, 0);
  Keys({{VK_PRIOR}});
  EXPECT_EQ(tree().Name(tree().FocusedNode()), "n" + std::to_string(rowsInView - 1));
  // Ctrl scrolls a page without moving the focus.
  tree().SetOffsetY(0);
  Keys({{VK_CONTROL, VK_NEXT}});
  EXPECT_EQ(tree().OffsetY(), -tree().TreeClientRect().bottom);
  EXPECT_EQ(tree().Name(tree().FocusedNode()), "n" + std::to_string(rowsInView - 1));
}

TEST_F(TreeInput, SpaceTogglesACheckBoxOnceOnKeyUpAndAnotherKeyCancels) {
  auto n = Build(tree(), {"A", "B"});
  Options(0, toCheckSupport);
  tree().SetCheckType(n.at("A"), ctCheckBox);
  tree().SetFocusedNode(n.at("A"));
  int checked = 0;
  tree().OnChecked = [&](TViewTreeObject*, PViewNode) { ++checked; };
  drive::KeyDown(VK_SPACE);
  drive::RunPending();
  EXPECT_EQ(n.at("A")->CheckState, csUncheckedPressed);
  drive::KeyUp(VK_SPACE);
  drive::RunPending();
  EXPECT_EQ(n.at("A")->CheckState, csCheckedNormal);
  EXPECT_EQ(checked, 1);
  drive::KeyDown(VK_SPACE);
  drive::RunPending();
  Keys({{VK_SHIFT}});
  EXPECT_EQ(n.at("A")->CheckState, csCheckedNormal);
  drive::KeyUp(VK_SPACE);
  drive::RunPending();
  EXPECT_EQ(n.at("A")->CheckState, csCheckedNormal);
  EXPECT_EQ(checked, 1);
}

// --- the mouse ---

TEST_F(TreeInput, ClicksSelectAndShiftAndCtrlClicksExtend) {
  auto n = Build(tree(), {"A", "B", "C", "D"});
  Options(toMultiSelect);
  struct Step {
    const char* node;
    int modifier;
    const char* wantSelected;
  };
  const Step steps[] = {
      {"B", 0, "B"}, {"D", VK_SHIFT, "B C D"}, {"A", VK_CONTROL, "A B C D"}, {"C", VK_CONTROL, "A B D"}, {"A", 0, "A"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.node);
    if (step.modifier != 0) drive::KeyDown(step.modifier);
    ClickAt(Label(n.at(step.node)));
    if (step.modifier != 0) drive::KeyUp(step.modifier);
    drive::RunPending();
    Wait(1000);  // no double click
    EXPECT_EQ(Selected(), step.wantSelected);
    EXPECT_EQ(tree().FocusedNode(), n.at(step.node));
  }
}

TEST_F(TreeInput, ButtonsAndDoubleClicksToggleNodes) {
  auto n = Build(tree(), {"A", "A/A1", "B"});
  drive::DoubleClick(Label(n.at("A")), VK_LBUTTON);
  drive::RunPending();
  EXPECT_TRUE(n.at("A")->Has(vsExpanded));
  Wait(1000);
  tree().TreeOptions().SetMiscOptions(tree().TreeOptions().MiscOptions() & ~toToggleOnDblClick);
  drive::DoubleClick(Label(n.at("A")), VK_LBUTTON);
  drive::RunPending();
  EXPECT_TRUE(n.at("A")->Has(vsExpanded));
}

TEST_F(TreeInput, TheWheelScrollsLinesPagesAndSideways) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("n" + std::to_string(i));
  Build(tree(), names);
  drive::MoveTo(drive::ScreenPoint(tree().Handle(), 50, 50));
  drive::Wheel(-1);
  drive::RunPending();
  EXPECT_EQ(tree().OffsetY(), -3 * 18);
  drive::Wheel(1);
  drive::RunPending();
  EXPECT_EQ(tree().OffsetY(), 0);
  drive::KeyDown(VK_CONTROL);
  drive::Wheel(-1);
  drive::KeyUp(VK_CONTROL);
  drive::RunPending();
  EXPECT_EQ(tree().OffsetY(), -(tree().TreeClientRect().bottom / 18) * 18);
  // Rows that fit leave the wheel to the horizontal offset, by the indent.
  tree().Clear();
  tree().Header().Columns().Add().SetWidth(600);
  tree().Header().SetOptions(tree().Header().Options() | hoVisible);
  Build(tree(), {"x"});
  drive::RunPending();
  drive::Wheel(-1);
  drive::RunPending();
  EXPECT_EQ(tree().OffsetX(), -static_cast<int>(tree().Indent()));
}

TEST_F(TreeInput, ABandNearTheBottomScrollsAfterTheDelayThenEveryInterval) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("n" + std::to_string(i));
  Build(tree(), names);
  Options(toMultiSelect, 0, toAutoScroll);
  tree().SetAutoScrollDelay(300);
  tree().SetAutoScrollInterval(50);
  const int bottom = tree().TreeClientRect().bottom;
  // Pressed right of the labels: a band, not a node.
  drive::MoveTo(drive::ScreenPoint(tree().Handle(), 170, 10));
  drive::Press(VK_LBUTTON);
  drive::RunPending();
  EXPECT_TRUE(tree().InState(tsDrawSelPending));
  drive::MoveTo(drive::ScreenPoint(tree().Handle(), 5, bottom - 5));
  drive::RunPending();
  drive::MoveTo(drive::ScreenPoint(tree().Handle(), 6, bottom - 4));
  drive::RunPending();
  EXPECT_TRUE(tree().InState(tsScrollPending));
  Wait(299);
  EXPECT_EQ(tree().OffsetY(), 0);
  Wait(1);
  EXPECT_TRUE(tree().InState(tsScrolling));
  EXPECT_EQ(tree().OffsetY(), -20);
  Wait(50);
  EXPECT_EQ(tree().OffsetY(), -40);
  // The band covers the labels of the rows down to the ones it scrolled to.
  const std::uint32_t rows = static_cast<std::uint32_t>((bottom - 4 + 40 - 10) / 18);
  EXPECT_GE(tree().SelectedCount(), rows);
  EXPECT_TRUE(tree().GetSelected(tree().GetFirst()));
  drive::Release(VK_LBUTTON);
  drive::RunPending();
  EXPECT_FALSE(tree().InState(tsScrolling | tsScrollPending));
  Wait(200);
  EXPECT_EQ(tree().OffsetY(), -40);
}

TEST_F(TreeInput, RightAndMiddleClicksSelectOnlyWhenAskedTo) {
  auto n = Build(tree(), {"A", "B"});
  struct Case {
    int button;
    TVTSelectionOptions options;
    bool selects;
  };
  const Case cases[] = {{VK_RBUTTON, 0, false}, {VK_RBUTTON, toRightClickSelect, true},
                        {VK_MBUTTON, 0, false}, {VK_MBUTTON, toMiddleClickSelect, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    tree().ClearSelection();
    Options(c.options);
    drive::Click(Label(n.at("B")), c.button);
    drive::RunPending();
    Wait(1000);
    EXPECT_EQ(tree().GetSelected(n.at("B")), c.selects);
  }
}

TEST_F(TreeInput, TheMiddleButtonPansUntilTheNextPress) {
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) names.push_back("n" + std::to_string(i));
  Build(tree(), names);
  const POINT start = drive::ScreenPoint(tree().Handle(), 100, 60);
  drive::Click(start, VK_MBUTTON);
  drive::RunPending();
  EXPECT_TRUE(tree().InState(tsWheelScrolling));
  // Near the start point nothing moves; further down the view follows the distance.
  drive::MoveTo(drive::ScreenPoint(tree().Handle(), 100, 66));
  Wait(20);
  EXPECT_EQ(tree().OffsetY(), 0);
  drive::MoveTo(drive::ScreenPoint(tree().Handle(), 100, 110));
  Wait(20);
  EXPECT_EQ(tree().OffsetY(), -(110 - 60 - 8));
  Wait(20);
  EXPECT_EQ(tree().OffsetY(), -2 * (110 - 60 - 8));
  drive::Click(drive::ScreenPoint(tree().Handle(), 100, 110), VK_LBUTTON);
  drive::RunPending();
  EXPECT_FALSE(tree().InState(tsWheelScrolling | tsWheelPanning));
  Wait(100);
  EXPECT_EQ(tree().OffsetY(), -2 * (110 - 60 - 8));
}

TEST_F(TreeInput, AClassLibraryDragOfTheTreeFollowsTheMouseAndEnds) {
  auto n = Build(tree(), {"A", "B"});
  tree().SetDragType(dtVCL);
  tree().OnDragAllowed = [](TViewTreeObject*, PViewNode, TColumnIndex, bool& allowed) { allowed = true; };
  std::vector<std::string> ends;
  tree().OnEndDrag = [&](TObject*, TObject* target, int, int) { ends.push_back(target != nullptr ? "tree" : "none"); };
  drive::MoveTo(Label(n.at("A")));
  drive::Press(VK_LBUTTON);
  drive::RunPending();
  EXPECT_TRUE(tree().InState(tsVCLDragPending));
  EXPECT_TRUE(tree().Dragging());
  drive::MoveTo(Label(n.at("B")));
  drive::RunPending();
  EXPECT_TRUE(tree().InState(tsVCLDragging));
  EXPECT_FALSE(tree().InState(tsVCLDragPending));
  drive::Release(VK_LBUTTON);
  drive::RunPending();
  EXPECT_FALSE(tree().InState(tsVCLDragging | tsVCLDragPending | tsLeftButtonDown));
  EXPECT_EQ(ends, std::vector<std::string>{"none"});
  EXPECT_FALSE(tree().Dragging());
  tree().OnEndDrag = nullptr;
}

TEST_F(TreeInput, TheNodeUnderTheMouseIsTracked) {
  auto n = Build(tree(), {"A", "B"});
  std::vector<std::string> changes;
  tree().OnHotChange = [&](TViewTreeObject*, PViewNode from, PViewNode to) {
    changes.push_back(tree().Name(from) + ">" + tree().Name(to));
  };
  drive::MoveTo(Label(n.at("A")));
  drive::RunPending();
  drive::MoveTo(Label(n.at("B")));
  drive::RunPending();
  drive::MoveTo(drive::ScreenPoint(tree().Handle(), 190, 100));
  drive::RunPending();
  EXPECT_EQ(changes, (std::vector<std::string>{"nil>A", "A>B", "B>nil"}));
  EXPECT_EQ(tree().HotNode(), nullptr);
}

// --- incremental search ---

TEST_F(TreeInput, TypingSearchesAndTheBufferEmptiesAfterTheTimeout) {
  auto n = Build(tree(), {"apple", "banana", "blue", "cherry", "berry"});
  tree().SetIncrementalSearch(isAll);
  tree().SetIncrementalSearchTimeout(500);
  tree().OnIncrementalSearch = [&](TViewTreeObject*, PViewNode node, const std::u16string& text, int& result) {
    const std::string name = tree().Name(node);
    result = name.compare(0, text.size(), std::string(text.begin(), text.end())) == 0 ? 0 : 1;
  };
  tree().SetFocusedNode(n.at("apple"));
  struct Step {
    const char* typed;
    ULONGLONG waitAfter;
    const char* wantFocused;
    const char16_t* wantBuffer;
  };
  const Step steps[] = {
      {"b", 0, "banana", u"b"},
      {"b", 0, "blue", u"b"},     // no "bb": the next "b" node
      {"b", 0, "berry", u"b"},
      {"b", 600, "banana", u""},  // wraps; the timeout then empties the buffer
      {"c", 0, "cherry", u"c"},
      {"z", 600, "cherry", u""},  // no match: the focus stays
      {"bl", 0, "blue", u"bl"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.typed);
    const std::string typed = step.typed;
    drive::Type(std::u16string(typed.begin(), typed.end()));
    drive::RunPending();
    if (step.waitAfter > 0) Wait(step.waitAfter);
    EXPECT_EQ(tree().Name(tree().FocusedNode()), step.wantFocused);
    EXPECT_EQ(tree().SearchBuffer(), step.wantBuffer);
    EXPECT_EQ(Selected(), step.wantFocused);
  }
  // Backspace takes the last character back and searches on from the next node.
  Keys({{VK_BACK}});
  EXPECT_EQ(tree().SearchBuffer(), u"b");
  EXPECT_EQ(tree().Name(tree().FocusedNode()), "berry");
  // Backspace on one character searches nothing.
  Wait(600);
  drive::Type(u"c");
  drive::RunPending();
  Keys({{VK_BACK}});
  EXPECT_EQ(tree().SearchBuffer(), u"c");
  EXPECT_EQ(tree().Name(tree().FocusedNode()), "cherry");
  tree().SetIncrementalSearch(isNone);
  Wait(600);
  drive::Type(u"b");
  drive::RunPending();
  EXPECT_EQ(tree().Name(tree().FocusedNode()), "cherry");
}

// --- renaming in place ---

class TreeRename : public TreeInput {
 protected:
  void SetUp() override {
    TreeInput::SetUp();
    nodes_ = Build(tree(), {"A", "B", "C"});
    Options(0, toEditable);
    tree().SetEditDelay(400);
    tree().OnCreateEditor = [this](TViewTreeObject*, PViewNode, TColumnIndex, IVTEditLinkPtr& link) {
      link = IVTEditLinkPtr(new EditorLink(texts_));
      ++created_;
    };
    tree().OnEdited = [this](TViewTreeObject*, PViewNode node, TColumnIndex) { edited_ += tree().Name(node); };
    tree().OnEditCancelled = [this](TViewTreeObject*, TColumnIndex) { ++cancelled_; };
    destroyedBefore_ = EditorLink::destroyed;
  }
  void TearDown() override {
    TreeInput::TearDown();
    // Every link the tree made is gone: the tree and the editor let go of it.
    EXPECT_EQ(EditorLink::destroyed - destroyedBefore_, created_);
  }
  void StartByF2(const char* name) {
    tree().SetFocusedNode(nodes_.at(name));
    Keys({{VK_F2}});
  }
  std::map<std::string, PViewNode> nodes_;
  std::map<PViewNode, std::u16string> texts_;
  std::string edited_;
  int cancelled_ = 0;
  int created_ = 0;
  int destroyedBefore_ = 0;
};

TEST_F(TreeRename, F2EditsTheFocusedNodeEnterCommitsEscapeCancelsFocusLossCommits) {
  struct Case {
    const char* name;
    std::vector<int> finish;  // keys, or none for a focus loss
    const char16_t* wantText;
    const char* wantEdited;
    int wantCancelled;
  };
  const Case cases[] = {
      {"enter", {VK_RETURN}, u"xy", "B", 0},
      {"escape", {VK_ESCAPE}, u"", "", 1},
      {"focus loss", {}, u"xy", "B", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    texts_.clear();
    edited_.clear();
    cancelled_ = 0;
    StartByF2("B");
    ASSERT_TRUE(tree().IsEditing());
    drive::Type(u"xy");
    drive::RunPending();
    if (c.finish.empty()) {
      view_->form->SetFocus();
      drive::RunPending();
    } else {
      Keys({c.finish});
    }
    EXPECT_FALSE(tree().IsEditing());
    EXPECT_EQ(texts_[nodes_.at("B")], c.wantText);
    EXPECT_EQ(edited_, c.wantEdited);
    EXPECT_EQ(cancelled_, c.wantCancelled);
    tree().SetFocus();
    drive::RunPending();
  }
}

TEST_F(TreeRename, ASecondClickOnTheFocusedNodeEditsAfterTheDelay) {
  const POINT b = Label(nodes_.at("B"));
  ClickAt(b);
  EXPECT_TRUE(tree().GetSelected(nodes_.at("B")));
  EXPECT_FALSE(tree().InState(tsEditPending));  // the first click only selects
  Wait(1000);
  ClickAt(b);
  Wait(399);
  EXPECT_FALSE(tree().IsEditing());
  Wait(1);
  ASSERT_TRUE(tree().IsEditing());
  Keys({{'Q'}, {VK_RETURN}});
  EXPECT_EQ(texts_[nodes_.at("B")], u"q");
  EXPECT_EQ(edited_, "B");
  // A double click within the delay toggles instead of editing.
  Wait(1000);
  drive::DoubleClick(b, VK_LBUTTON);
  drive::RunPending();
  Wait(1000);
  EXPECT_FALSE(tree().IsEditing());
  // A click on another node while editing commits and moves on.
  Keys({{VK_F2}});
  ASSERT_TRUE(tree().IsEditing());
  ClickAt(Label(nodes_.at("C")));
  EXPECT_FALSE(tree().IsEditing());
  EXPECT_EQ(tree().FocusedNode(), nodes_.at("C"));
  EXPECT_EQ(edited_, "BB");
}

TEST_F(TreeRename, EditNodeEdgeCases) {
  // The focused node is edited as it stands.
  tree().SetFocusedNode(nodes_.at("A"));
  EXPECT_TRUE(tree().EditNode(nodes_.at("A"), NoColumn));
  EXPECT_TRUE(tree().IsEditing());
  // While an edit runs another request answers true and moves nothing.
  EXPECT_TRUE(tree().EditNode(nodes_.at("C"), NoColumn));
  EXPECT_EQ(tree().FocusedNode(), nodes_.at("A"));
  EXPECT_TRUE(tree().EndEditNode());
  EXPECT_EQ(edited_, "A");
  // A node that may not take the focus is not edited.
  tree().OnFocusChanging = [](TViewTreeObject*, PViewNode, PViewNode, TColumnIndex, TColumnIndex, bool& allowed) {
    allowed = false;
  };
  EXPECT_FALSE(tree().EditNode(nodes_.at("B"), NoColumn));
  EXPECT_FALSE(tree().IsEditing());
  tree().OnFocusChanging = nullptr;
  // OnEditing refuses; a read-only tree refuses.
  tree().OnEditing = [](TViewTreeObject*, PViewNode, TColumnIndex, bool& allowed) { allowed = false; };
  EXPECT_FALSE(tree().EditNode(nodes_.at("B"), NoColumn));
  tree().OnEditing = nullptr;
  tree().TreeOptions().SetMiscOptions(tree().TreeOptions().MiscOptions() | toReadOnly);
  EXPECT_FALSE(tree().EditNode(nodes_.at("B"), NoColumn));
  tree().TreeOptions().SetMiscOptions(tree().TreeOptions().MiscOptions() & ~toReadOnly);
  // A handler that supplies no editor is an error and starts nothing.
  tree().OnCreateEditor = [](TViewTreeObject*, PViewNode, TColumnIndex, IVTEditLinkPtr&) {};
  EXPECT_EQ(pellix_test::MessageOf<EViewTreeError>([&] { tree().EditNode(nodes_.at("B"), NoColumn); }),
            "Edit link must not be nil.");
  EXPECT_FALSE(tree().IsEditing());
}

TEST(TreeEditLink, TheTreeLetsGoOfLinksThatRefuseAndKeepsThoseThatRefuseToEnd) {
  WindowedTree view(200, 120);
  TestTree& tree = *view.tree;
  auto n = Build(tree, {"A", "B"});
  for (int i = 0; i < 20; ++i) tree.Add(nullptr, "more");
  tree.TreeOptions().SetMiscOptions(tree.TreeOptions().MiscOptions() | toEditable);
  auto link = MakeTestEditLink();
  tree.OnCreateEditor = [&](TViewTreeObject*, PViewNode, TColumnIndex, IVTEditLinkPtr& out) { out = link; };
  auto references = [&] {
    const ULONG count = link->AddRef();
    link->Release();
    return count - 1;
  };
  // A link that cannot prepare is released at once.
  link->agreesToPrepare = false;
  EXPECT_FALSE(tree.EditNode(n.at("A"), NoColumn));
  EXPECT_EQ(references(), 1u);
  EXPECT_EQ(link->begins, 0);
  // A prepared link is placed over the node's text and begun.
  link->agreesToPrepare = true;
  ASSERT_TRUE(tree.EditNode(n.at("A"), NoColumn));
  EXPECT_EQ(link->preparedTree, &tree);
  EXPECT_EQ(link->preparedNode, n.at("A"));
  EXPECT_EQ(link->begins, 1);
  const RECT text = tree.GetDisplayRect(n.at("A"), NoColumn, true, true);
  EXPECT_EQ(link->bounds.left, text.left);
  EXPECT_EQ(link->bounds.top, text.top);
  // The editor follows its cell when the view scrolls.
  tree.SetOffsetY(-18);
  EXPECT_EQ(link->bounds.top, text.top - 18);
  // An editor that refuses to end keeps the focus and the selection where they are.
  link->agreesToEnd = false;
  tree.SetFocusedNode(n.at("B"));
  EXPECT_EQ(tree.FocusedNode(), n.at("A"));
  EXPECT_TRUE(tree.IsEditing());
  EXPECT_EQ(references(), 2u);
  link->agreesToEnd = true;
  EXPECT_TRUE(tree.CancelEditNode());
  EXPECT_EQ(link->cancels, 1);
  EXPECT_EQ(references(), 1u);
}

TEST(TreeEntryPoints, AssignTakesSettingsAndTheRootCountButNoNodes) {
  TestTree source;
  source.SetRootNodeCount(5);
  source.SetIndent(30);
  source.SetEditDelay(250);
  source.TreeOptions().SetMiscOptions(source.TreeOptions().MiscOptions() | toEditable);
  source.GetFirst();  // initialised there, not here
  TestTree target;
  target.Assign(&source);
  EXPECT_EQ(target.RootNodeCount(), 5u);
  EXPECT_FALSE(target.GetFirstNoInit()->Has(vsInitialized));
  EXPECT_NE(target.GetFirstNoInit(), source.GetFirstNoInit());
  EXPECT_EQ(target.Indent(), 30u);
  EXPECT_EQ(target.EditDelay(), 250u);
  EXPECT_EQ(target.TreeOptions().MiscOptions(), source.TreeOptions().MiscOptions());
  // A read-only tree keeps its settings.
  TestTree readOnly;
  readOnly.TreeOptions().SetMiscOptions(readOnly.TreeOptions().MiscOptions() | toReadOnly);
  EXPECT_THROW(readOnly.Assign(&source), std::exception);
  EXPECT_EQ(readOnly.RootNodeCount(), 0u);
}

TEST(TreeEntryPoints, AnOwnDragIsPreparedOnce) {
  TestTree tree;
  int entered = 0;
  tree.OnStateChange = [&](TViewTreeObject*, TViewTreeStates enter, TViewTreeStates) {
    if ((enter & tsOLEDragPending) != 0) ++entered;
  };
  EXPECT_FALSE(tree.Dragging());
  tree.BeginDrag(false);
  tree.BeginDrag(false);
  EXPECT_EQ(entered, 1);
  EXPECT_TRUE(tree.Dragging());
}

// --- tree-view queries ---

TEST(TreeViewQueries, HandlesAreCheckedAndBuffersKeptWithinTheirSize) {
  WindowedTree view(200, 120);
  TestTree& tree = *view.tree;
  auto n = Build(tree, {"alpha", "alpha/kid", "beta"});
  HWND window = tree.Handle();
  int stranger = 0;
  struct Case {
    const char* name;
    void* item;
    int size;
    BOOL wantResult;
    std::string wantText;
  };
  const Case cases[] = {
      {"whole text", n.at("alpha"), 16, TRUE, "alpha"},
      {"cut to the buffer", n.at("alpha"), 3, TRUE, "al"},
      {"a buffer of one", n.at("beta"), 1, TRUE, ""},
      {"a buffer of none", n.at("beta"), 0, TRUE, "untouched"},
      {"not a node", &stranger, 16, FALSE, "untouched"},
      {"no handle", nullptr, 16, FALSE, "untouched"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[16] = "untouched";
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_CHILDREN;
    item.hItem = c.item;
    item.pszText = buffer;
    item.cchTextMax = c.size;
    EXPECT_EQ(SendMessageW(window, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)), c.wantResult);
    EXPECT_EQ(std::string(buffer), c.wantText);
  }
  EXPECT_EQ(SendMessageW(window, TVM_GETITEMA, 0, 0), FALSE);
  // The next-item walk answers nil for strangers and the codes it does not know.
  auto next = [&](WPARAM code, void* item) {
    return reinterpret_cast<PViewNode>(SendMessageW(window, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
  };
  EXPECT_EQ(next(TVGN_ROOT, nullptr), n.at("alpha"));
  EXPECT_EQ(next(TVGN_NEXT, n.at("alpha")), n.at("beta"));
  EXPECT_EQ(next(TVGN_CHILD, n.at("alpha")), n.at("kid"));
  EXPECT_EQ(next(TVGN_PARENT, n.at("kid")), n.at("alpha"));
  EXPECT_EQ(next(TVGN_PARENT, n.at("alpha")), nullptr);
  EXPECT_EQ(next(TVGN_NEXT, &stranger), nullptr);
  EXPECT_EQ(next(TVGN_CARET, nullptr), nullptr);
  EXPECT_EQ(next(99, n.at("alpha")), nullptr);
  // Rectangles only for the tree's own nodes.
  RECT r{};
  std::memcpy(&r, &n.at("beta"), sizeof(PViewNode));
  EXPECT_EQ(SendMessageW(window, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)), TRUE);
  EXPECT_EQ(r.top, 18);
  void* strangerHandle = &stranger;
  std::memcpy(&r, &strangerHandle, sizeof(void*));
  EXPECT_EQ(SendMessageW(window, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)), FALSE);
}

TEST_F(TreeInput, PrintingTheClientAreaGivesWhatTheWindowShows) {
  auto n = Build(tree(), {"A", "B", "C"});
  tree().SetFocusedNode(n.at("B"));
  tree().SetSelected(n.at("B"), true);
  drive::RunPending();
  const auto shown = platform::gdi::WindowPicture(tree().Handle());
  HDC screen = GetDC(0);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, shown->width(), shown->height());
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(tree().Handle(), WM_PRINTCLIENT, static_cast<WPARAM>(dc), PRF_CLIENT);
  int differing = 0;
  for (int y = 0; y < shown->height(); ++y) {
    const std::uint8_t* row = shown->Row(y);
    for (int x = 0; x < shown->width(); ++x) {
      const COLORREF printed = GetPixel(dc, x, y);
      if (RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]) != printed) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(0, screen);
  // An invisible window asked to check prints nothing.
  ShowWindow(tree().Handle(), SW_HIDE);
  HDC probe = CreateCompatibleDC(0);
  HBITMAP small = CreateCompatibleBitmap(probe, 4, 4);
  SelectObject(probe, small);
  PatBlt(probe, 0, 0, 4, 4, WHITENESS);
  SendMessageW(tree().Handle(), WM_PRINTCLIENT, static_cast<WPARAM>(probe), PRF_CLIENT | PRF_CHECKVISIBLE);
  EXPECT_EQ(GetPixel(probe, 1, 1), RGB(255, 255, 255));
  DeleteDC(probe);
  DeleteObject(small);
}

TEST(TreeMessages, DialogCodesAndBackground) {
  WindowedTree view(100, 100);
  HWND window = view.tree->Handle();
  EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0), 0x81);
  view.tree->SetWantTabs(true);
  EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0), 0x83);
  EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, 0, 0), 1);
}

}  // namespace
