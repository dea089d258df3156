// Helpers for the tree's tests: a tree that lets a test reach the references it
// keeps, a builder for small trees named by text, and a record of events.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "controls/vtree/view_trees.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/window_picture.h"

namespace vtree_test {

// A tree whose nodes carry a short name in their user data.
class TestTree : public TBaseViewTree {
 public:
  struct Data {
    char name[16];
  };
  TestTree() : TBaseViewTree(nullptr) { SetNodeDataSize(sizeof(Data)); }
  // Handlers capture the test's locals, which may go before the tree does.
  ~TestTree() override {
    OnInitNode = nullptr;
    OnInitChildren = nullptr;
    OnFreeNode = nullptr;
    OnResetNode = nullptr;
    OnGetNodeDataSize = nullptr;
    OnMeasureItem = nullptr;
    OnChange = nullptr;
    OnStructureChange = nullptr;
    OnStateChange = nullptr;
    OnUpdating = nullptr;
    OnChecking = nullptr;
    OnChecked = nullptr;
    OnExpanding = nullptr;
    OnExpanded = nullptr;
    OnCollapsing = nullptr;
    OnCollapsed = nullptr;
    OnFocusChanging = nullptr;
    OnFocusChanged = nullptr;
    OnHotChange = nullptr;
    OnCompareNodes = nullptr;
    OnNodeMoving = nullptr;
    OnNodeMoved = nullptr;
    OnNodeCopying = nullptr;
    OnNodeCopied = nullptr;
    OnEditCancelled = nullptr;
    OnEditing = nullptr;
    OnEdited = nullptr;
    OnIncrementalSearch = nullptr;
    OnGetCellIsEmpty = nullptr;
    OnGetImageIndex = nullptr;
    OnGetHelpContext = nullptr;
    OnDragAllowed = nullptr;
    OnScroll = nullptr;
    OnKeyAction = nullptr;
    OnGetPopupMenu = nullptr;
    OnColumnClick = nullptr;
    OnColumnDblClick = nullptr;
    OnCreateEditor = nullptr;
    OnColumnResize = nullptr;
    OnHeaderClick = nullptr;
    OnHeaderDblClick = nullptr;
    OnHeaderMouseDown = nullptr;
    OnHeaderMouseUp = nullptr;
    OnHeaderMouseMove = nullptr;
    OnHeaderDragging = nullptr;
    OnHeaderDragged = nullptr;
    OnHeaderDraggedOut = nullptr;
    OnHeaderDraw = nullptr;
    OnHeaderDrawQueryElements = nullptr;
    OnAdvancedHeaderDraw = nullptr;
    OnGetHeaderCursor = nullptr;
    OnBeforePaint = nullptr;
    OnAfterPaint = nullptr;
    OnBeforeItemErase = nullptr;
    OnAfterItemErase = nullptr;
    OnBeforeItemPaint = nullptr;
    OnAfterItemPaint = nullptr;
    OnBeforeCellPaint = nullptr;
    OnAfterCellPaint = nullptr;
    OnPaintBackground = nullptr;
    OnSaveNode = nullptr;
    OnLoadNode = nullptr;
    OnGetUserClipboardFormats = nullptr;
    OnRenderOLEData = nullptr;
    OnCreateDataObject = nullptr;
  }

  PViewNode Add(PViewNode parent, const char* name) {
    PViewNode node = AppendChildNode(parent);
    std::strncpy(GetNodeData<Data>(node)->name, name, sizeof(Data::name) - 1);
    return node;
  }
  std::string Name(PViewNode node) const {
    return node == nullptr ? "nil" : node == RootNode() ? "root" : GetNodeData<Data>(node)->name;
  }
  // Names of the children of a node in list order, with their indexes checked.
  std::string Children(PViewNode node) const {
    std::string out;
    std::uint32_t index = 0;
    for (PViewNode c = (node ? node : RootNode())->FirstChild; c != nullptr; c = c->NextSibling, ++index) {
      if (!out.empty()) out += ' ';
      out += Name(c);
      if (c->Index != index) out += "!index";
    }
    return out;
  }
  std::string Names(const TNodeArray& nodes) const {
    std::string out;
    for (PViewNode n : nodes) out += (out.empty() ? "" : " ") + Name(n);
    return out;
  }
  // The selection array, in its own (address) order.
  const std::vector<PViewNode>& SelectionArray() const { return selection_; }

  // The references the tree keeps, for tests that check what freeing a node clears.
  PViewNode& FocusedRef() { return focusedNode_; }
  PViewNode& AnchorRef() { return rangeAnchor_; }
  PViewNode& HotRef() { return currentHotNode_; }
  PViewNode& DropTargetRef() { return dropTargetNode_; }
  PViewNode& CheckNodeRef() { return checkNode_; }
  PViewNode& SearchHitRef() { return lastSearchNode_; }
  PViewNode& LastChangedRef() { return lastChangedNode_; }
  PViewNode& StructureChangeRef() { return lastStructureChangeNode_; }
  TNodeArray& DragSelectionRef() { return dragSelection_; }
  RECT& SelectionRectRef() { return newSelRect_; }
  // Text for the cells, so that widths, hits and pictures have content: the name
  // in column 0 (and without columns), "d" + name in column 1, "w" + name beyond.
  std::u16string CellText(PViewNode node, TColumnIndex column) const {
    std::string text = Name(node);
    if (column == 1) text = "d" + text;
    if (column >= 2) text = "w" + text;
    return std::u16string(text.begin(), text.end());
  }
  bool ShowText = false;
  int DoGetNodeWidth(PViewNode node, TColumnIndex column, TCanvas*) override {
    if (!ShowText) return 0;
    const std::u16string text = CellText(node, column);
    HDC dc = GetDC(0);
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(0, dc);
    return size.cx;
  }
  void DoPaintNode(TVTPaintInfo& info) override {
    if (!ShowText) return;
    const std::u16string text = CellText(info.Node, info.Column);
    HDC dc = info.Canvas->Handle();
    SetBkMode(dc, TRANSPARENT);
    const bool onSelection = info.Node->Has(vsSelected) && info.Column == FocusedColumn();
    SetTextColor(dc, ColorToRGB(onSelection ? clHighlightText : clWindowText));
    RECT r = info.ContentRect;
    const UINT align = info.Alignment == taRightJustify ? DT_RIGHT : info.Alignment == taCenter ? DT_CENTER : DT_LEFT;
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  void GetTextInfo(PViewNode node, TColumnIndex column, TFont& font, RECT& r, std::u16string& text) override {
    TBaseViewTree::GetTextInfo(node, column, font, r, text);
    text = CellText(node, column);
  }
  using TBaseViewTree::DoCreateEditor;
  using TBaseViewTree::DoFocusNode;
  using TBaseViewTree::DoGetHelpContext;
  using TBaseViewTree::DoGetPopupMenu;
  using TBaseViewTree::ReportChange;
  using TBaseViewTree::SetCheckStateCore;
};

// A tree in a form's window, for what the window shows and does. The form owns
// nothing of the tree, which goes first.
class WindowedTree {
 public:
  WindowedTree(int width, int height) : form(std::make_unique<TForm>(nullptr)), tree(new TestTree()) {
    form->SetBounds(0, 0, width + 100, height + 100);
    tree->SetParent(form.get());
    tree->SetBounds(0, 0, width, height);
  }
  ~WindowedTree() { delete tree; }
  WindowedTree(const WindowedTree&) = delete;
  WindowedTree& operator=(const WindowedTree&) = delete;
  void Show() {
    form->HandleNeeded();
    ShowWindow(form->Handle(), SW_SHOW);
  }
  // The tree goes before its test ends (the form stays).
  void DeleteTree() {
    delete tree;
    tree = nullptr;
  }
  std::unique_ptr<TForm> form;
  TestTree* tree;
};

// Builds a tree from lines "name" (top level) or "path/to/parent/name".
inline std::map<std::string, PViewNode> Build(TestTree& tree, const std::vector<std::string>& paths) {
  std::map<std::string, PViewNode> nodes;
  for (const auto& path : paths) {
    auto slash = path.rfind('/');
    std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash);
    PViewNode parent = prefix.empty() ? nullptr : nodes.at(prefix.substr(prefix.rfind('/') + 1));
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    nodes[name] = tree.Add(parent, name.c_str());
  }
  return nodes;
}

}  // namespace vtree_test
