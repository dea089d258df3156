#include "controls/vtree/view_trees.h"

#include <algorithm>

std::unique_ptr<TCustomViewTreeOptions> TBaseViewTree::MakeOptions(TViewTreeObject& owner) {
  return std::make_unique<TCustomViewTreeOptions>(owner);
}

TBaseViewTree::TBaseViewTree(TComponent* owner, const TTreeClass& treeClass, TOptionsFactory makeOptions)
    : TViewTreeChecks(owner, treeClass, makeOptions) {}

TBaseViewTree::~TBaseViewTree() {
  Destroying();
  TreeOptions().SetMiscOptions(TreeOptions().MiscOptions() & ~toReadOnly);
  CancelEditNode();
  Clear();
}

void TBaseViewTree::SetExpanded(PViewNode node, bool value) {
  if (node == nullptr || node == root_ || node->Has(vsExpanded) == value) return;
  ToggleNode(node);
}

void TBaseViewTree::SetFocusedColumn(TColumnIndex value) {
  if (value == focusedColumn_) return;
  if (!DoFocusChanging(focusedNode_, focusedNode_, focusedColumn_, value)) return;
  CancelEditNode();
  focusedColumn_ = value;
  if (focusedNode_ != nullptr) InvalidateNode(focusedNode_);
  DoFocusChange(focusedNode_, focusedColumn_);
}

void TBaseViewTree::SetFocusedNode(PViewNode node) {
  const PViewNode old = focusedNode_;
  DoFocusNode(node, true);
  if (focusedNode_ != old) DoFocusChange(focusedNode_, focusedColumn_);
}

void TBaseViewTree::SetSelected(PViewNode node, bool value) {
  if (node == nullptr || node == root_ || node->Has(vsSelected) == value) return;
  if (value) {
    if (selection_.empty()) {
      rangeAnchor_ = node;
    } else if ((TreeOptions().SelectionOptions() & toMultiSelect) == 0) {
      InternalClearSelection();
    }
    AddToSelection(node);
    if ((focusedColumn_ < 0 || !Header().IsColumnVisible(focusedColumn_)) && Header().MainColumn() > NoColumn) {
      focusedColumn_ = MainOrFirstVisibleColumn();
    }
    if (rangeAnchor_ == nullptr) rangeAnchor_ = node;
  } else {
    RemoveFromSelection(node);
  }
  if (FullyVisible(node)) InvalidateNode(node);
}

void TBaseViewTree::MeasureNodeHeight(PViewNode node) {
  if (node->Has(vsHeightMeasured)) return;
  int height = node->NodeHeight;
  DoMeasureItem(node, height);
  node->Include(vsHeightMeasured);
  SetNodeHeight(node, static_cast<std::uint32_t>(std::max(height, 0)));
}

std::uint32_t TBaseViewTree::GetNodeHeight(PViewNode node) {
  if (node == nullptr || node == root_) return 0;
  if ((TreeOptions().MiscOptions() & toVariableNodeHeight) != 0) {
    EnsureInitialized(node);
    MeasureNodeHeight(node);
  }
  return node->NodeHeight;
}

void TBaseViewTree::SetNodeHeight(PViewNode node, std::uint32_t value) {
  if (node == nullptr || node == root_ || IsReadOnly() || node->NodeHeight == value) return;
  const std::int64_t delta = static_cast<std::int64_t>(value) - node->NodeHeight;
  node->NodeHeight = static_cast<std::uint16_t>(value);
  AdjustTotalHeight(node, delta);
  if (!InState(tsValidating) && FullyVisible(node)) StructureSettled();
}

bool TBaseViewTree::GetVisible(PViewNode node) {
  if (node == nullptr) node = root_;
  EnsureInitialized(node);
  return node->Has(vsVisible);
}

void TBaseViewTree::SetVisible(PViewNode node, bool value) {
  if (node == nullptr || node == root_ || node->Has(vsVisible) == value) return;
  PViewNode parent = node->Parent;
  const bool shown = parent->Has(vsExpanded) && (parent == root_ || FullyVisible(parent));
  const std::int64_t rows = 1 + VisibleChildCount(node);
  if (value) {
    node->Include(vsVisible);
    if (parent->Has(vsExpanded)) AdjustTotalHeight(parent, node->TotalHeight);
    if (shown) visibleCount_ += static_cast<std::uint32_t>(rows);
  } else {
    if (parent->Has(vsExpanded)) AdjustTotalHeight(parent, -static_cast<std::int64_t>(node->TotalHeight));
    if (shown) visibleCount_ -= static_cast<std::uint32_t>(rows);
    node->Exclude(vsVisible);
  }
  if (updateCount_ > 0) {
    DoStateChange(tsUpdateHiddenChildrenNeeded);
  } else {
    UpdateAllChildrenHiddenFlag(parent);
  }
  StructureSettled();
}

bool TBaseViewTree::HasVisibleNextSibling(PViewNode node) const {
  for (PViewNode s = node ? node->NextSibling : nullptr; s != nullptr; s = s->NextSibling) {
    if (s->Has(vsVisible)) return true;
  }
  return false;
}

bool TBaseViewTree::IsFirstVisibleChild(PViewNode parent, PViewNode node) const {
  PViewNode child = (parent ? parent : root_)->FirstChild;
  while (child != nullptr && !child->Has(vsVisible)) child = child->NextSibling;
  return child != nullptr && child == node;
}

bool TBaseViewTree::IsLastVisibleChild(PViewNode parent, PViewNode node) const {
  PViewNode child = (parent ? parent : root_)->LastChild;
  while (child != nullptr && !child->Has(vsVisible)) child = child->PrevSibling;
  return child != nullptr && child == node;
}

std::uint32_t TBaseViewTree::GetDisplayTop(PViewNode node) {
  if (node == nullptr || node == root_) return 0;
  if (!FullyVisible(node)) {
    node = GetPreviousVisibleNoInit(node);
    if (node == nullptr) return 0;
  }
  ValidateCache();
  std::uint32_t top = 0;
  PViewNode walk = FindInPositionCache(node, top);
  if (walk == nullptr) walk = GetFirstVisibleNoInit();
  for (; walk != nullptr && walk != node; walk = GetNextVisibleNoInit(walk)) top += walk->NodeHeight;
  return top;
}

PViewNode TBaseViewTree::GetNodeAtPosition(std::uint32_t position) {
  ValidateCache();
  std::uint32_t top = 0;
  PViewNode node = FindInPositionCache(position, top);
  if (node == nullptr) node = GetFirstVisibleNoInit();
  for (; node != nullptr; node = GetNextVisibleNoInit(node)) {
    if (position < top + node->NodeHeight) return node;
    top += node->NodeHeight;
  }
  return nullptr;
}

void TBaseViewTree::SetTopNode(PViewNode node) {
  if (node == nullptr || node == root_) return;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
    if (!p->Has(vsExpanded)) ToggleNode(p);
  }
  offsetY_ = static_cast<int>(GetDisplayTop(node));
}

void TBaseViewTree::ApplyClickSelection(PViewNode lastFocused, PViewNode newNode, TShiftState shift,
                                        bool dragPending) {
  (void)lastFocused;
  const bool ctrl = (shift & ssCtrl) != 0, withShift = (shift & ssShift) != 0;
  if (!ctrl && !withShift) {
    if (!newNode->Has(vsSelected)) {
      AddToSelection(newNode);
      InvalidateNode(newNode);
    }
    rangeAnchor_ = newNode;
  } else if (withShift && !ctrl) {
    if (rangeAnchor_ == nullptr) rangeAnchor_ = root_->FirstChild;
    SelectNodes(rangeAnchor_, newNode, false);
    InvalidateTree();
  } else if (ctrl && !withShift) {
    if ((TreeOptions().SelectionOptions() & toSiblingSelectConstraint) == 0) rangeAnchor_ = newNode;
    if (dragPending) {
      DoStateChange(tsToggleFocusedSelection);
    } else if (newNode->Has(vsSelected)) {
      RemoveFromSelection(newNode);
    } else {
      AddToSelection(newNode);
    }
  } else {
    SelectNodes(rangeAnchor_, newNode, true);
    InvalidateTree();
  }
}

void TBaseViewTree::FixupTotals(PViewNode node) {
  if (node == nullptr) node = root_;
  std::uint32_t count = 1, height = node->NodeHeight;
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
    FixupTotals(child);
    count += child->TotalCount;
    if (node->Has(vsExpanded) && child->Has(vsVisible)) height += child->TotalHeight;
  }
  node->TotalCount = count;
  node->TotalHeight = height;
}

std::size_t TBaseViewTree::PackArray(TNodeArray& nodes) {
  std::erase_if(nodes, [](PViewNode node) { return (reinterpret_cast<std::uintptr_t>(node) & 1) != 0; });
  return nodes.size();
}
