#include "controls/vtree/vt_structure.h"

#include <cstring>

void TViewTreeStructure::AdjustTotalCount(PViewNode node, std::int64_t delta) {
  for (PViewNode p = node;; p = p->Parent) {
    p->TotalCount = static_cast<std::uint32_t>(p->TotalCount + delta);
    if (p == root_) break;
  }
}

void TViewTreeStructure::AdjustTotalHeight(PViewNode node, std::int64_t delta) {
  StopCacheValidation();
  for (PViewNode p = node;; p = p->Parent) {
    p->TotalHeight = static_cast<std::uint32_t>(p->TotalHeight + delta);
    if (!p->Has(vsVisible) || p == root_ || !p->Parent->Has(vsExpanded)) break;
  }
}

std::uint32_t TViewTreeStructure::VisibleChildCount(PViewNode node) const {
  if (node == nullptr || !node->Has(vsExpanded)) return 0;
  std::uint32_t count = 0;
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
    if (child->Has(vsVisible)) count += 1 + VisibleChildCount(child);
  }
  return count;
}

int TViewTreeStructure::LevelDistance(PViewNode node1, PViewNode node2) const {
  return static_cast<int>(GetNodeLevel(node2)) - static_cast<int>(GetNodeLevel(node1));
}

bool TViewTreeStructure::HasAsParent(PViewNode node, PViewNode potentialParent) const {
  if (node == nullptr || potentialParent == nullptr || node == potentialParent || node == root_) return false;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
    if (p == potentialParent) return true;
  }
  return potentialParent == root_;
}

void TViewTreeStructure::UpdateAllChildrenHiddenFlag(PViewNode node) {
  if (node == nullptr || node == root_) return;
  bool hidden;
  if (node->ChildCount > 0) {
    hidden = true;
    for (PViewNode child = node->FirstChild; child != nullptr && hidden; child = child->NextSibling) {
      hidden = !child->Has(vsVisible);
    }
  } else {
    hidden = !node->Has(vsHasChildren);
  }
  if (hidden) {
    node->Include(vsAllChildrenHidden);
  } else {
    node->Exclude(vsAllChildrenHidden);
  }
}

void TViewTreeStructure::UpdateAllChildrenHiddenFlags() {
  // Tree order without initialising anything.
  for (PViewNode node = root_->FirstChild; node != nullptr;) {
    UpdateAllChildrenHiddenFlag(node);
    if (node->FirstChild != nullptr) {
      node = node->FirstChild;
      continue;
    }
    while (node != root_ && node->NextSibling == nullptr) node = node->Parent;
    node = node == root_ ? nullptr : node->NextSibling;
  }
}

void TViewTreeStructure::LinkNode(PViewNode node, PViewNode destination, TVTNodeAttachMode mode) {
  StopCacheValidation();
  PViewNode parent = nullptr;
  switch (mode) {
    case amInsertBefore:
      parent = destination->Parent;
      node->Parent = parent;
      node->PrevSibling = destination->PrevSibling;
      node->NextSibling = destination;
      node->Index = destination->Index;
      if (destination->PrevSibling != nullptr) {
        destination->PrevSibling->NextSibling = node;
      } else {
        parent->FirstChild = node;
      }
      destination->PrevSibling = node;
      for (PViewNode p = destination; p != nullptr; p = p->NextSibling) ++p->Index;
      break;
    case amInsertAfter:
      parent = destination->Parent;
      node->Parent = parent;
      node->PrevSibling = destination;
      node->NextSibling = destination->NextSibling;
      node->Index = destination->Index;
      if (destination->NextSibling != nullptr) {
        destination->NextSibling->PrevSibling = node;
      } else {
        parent->LastChild = node;
      }
      destination->NextSibling = node;
      for (PViewNode p = node; p != nullptr; p = p->NextSibling) ++p->Index;
      break;
    case amAddChildFirst:
      parent = destination;
      node->Parent = parent;
      node->PrevSibling = nullptr;
      node->NextSibling = parent->FirstChild;
      node->Index = 0;
      if (parent->FirstChild != nullptr) {
        parent->FirstChild->PrevSibling = node;
      } else {
        parent->LastChild = node;
      }
      parent->FirstChild = node;
      for (PViewNode p = node->NextSibling; p != nullptr; p = p->NextSibling) ++p->Index;
      break;
    case amAddChildLast:
      parent = destination;
      node->Parent = parent;
      node->NextSibling = nullptr;
      node->PrevSibling = parent->LastChild;
      node->Index = parent->LastChild != nullptr ? parent->LastChild->Index + 1 : 0;
      if (parent->LastChild != nullptr) {
        parent->LastChild->NextSibling = node;
      } else {
        parent->FirstChild = node;
      }
      parent->LastChild = node;
      break;
    case amNoWhere:
      return;
  }
  ++parent->ChildCount;
  parent->Include(vsHasChildren);
  AdjustTotalCount(parent, node->TotalCount);
  if (parent->Has(vsExpanded) && node->Has(vsVisible)) AdjustTotalHeight(parent, node->TotalHeight);
  if (FullyVisible(node)) visibleCount_ += 1 + VisibleChildCount(node);
  node->Exclude(vsChecking | vsCutOrCopy | vsDeleting | vsClearing);
  if (parent != root_) {
    if (node->Has(vsVisible)) {
      parent->Exclude(vsAllChildrenHidden);
    } else if (parent->ChildCount == 1) {
      parent->Include(vsAllChildrenHidden);
    }
  }
}

void TViewTreeStructure::UnlinkNode(PViewNode node, bool keepFocus, bool reindex) {
  StopCacheValidation();
  if (node == focusedNode_ && !keepFocus) {
    focusedNode_ = nullptr;
    DoFocusChange(nullptr, focusedColumn_);
  }
  if (node == rangeAnchor_) rangeAnchor_ = focusedNode_;
  PViewNode parent = node->Parent;
  if (!node->Has(vsDeleting)) {
    node->Exclude(vsChecking);
    const bool wasExpanded = parent->Has(vsExpanded);
    const bool wasFullyVisible = FullyVisible(node);
    AdjustTotalCount(parent, -static_cast<std::int64_t>(node->TotalCount));
    if (wasExpanded && node->Has(vsVisible)) AdjustTotalHeight(parent, -static_cast<std::int64_t>(node->TotalHeight));
    if (wasFullyVisible) visibleCount_ -= 1 + VisibleChildCount(node);
    if (--parent->ChildCount == 0) {
      parent->Exclude(vsHasChildren | vsAllChildrenHidden);
      if (parent != root_) parent->Exclude(vsExpanded);
    }
    if (node->PrevSibling != nullptr) {
      node->PrevSibling->NextSibling = node->NextSibling;
    } else {
      parent->FirstChild = node->NextSibling;
    }
    if (node->NextSibling != nullptr) {
      node->NextSibling->PrevSibling = node->PrevSibling;
    } else {
      parent->LastChild = node->PrevSibling;
    }
    if (reindex) {
      std::uint32_t index = node->Index;
      for (PViewNode p = node->NextSibling; p != nullptr; p = p->NextSibling) p->Index = index++;
    }
  }
  // The parent's flag is judged on the children that stay.
  if (parent != root_ && !parent->Has(vsClearing)) {
    if (updateCount_ > 0) {
      DoStateChange(tsUpdateHiddenChildrenNeeded);
    } else {
      UpdateAllChildrenHiddenFlag(parent);
    }
  }
}

void TViewTreeStructure::StructureSettled() {
  InvalidateCache();
  if (updateCount_ != 0) return;
  ValidateCache();
  UpdateScrollBars(true);
  InvalidateTree();
}

void TViewTreeStructure::AutoSortChildren(PViewNode node) {
  if (updateCount_ == 0 && (TreeOptions().AutoOptions() & toAutoSort) != 0 && Header().SortColumn() > InvalidColumn) {
    Sort(node, Header().SortColumn(), Header().SortDirection(), true);
  }
}

void TViewTreeStructure::SetChildCount(PViewNode node, std::uint32_t newCount) {
  if (node == nullptr) node = root_;
  if (IsReadOnly()) return;
  if (newCount == 0) {
    DeleteChildren(node, false);
    return;
  }
  const std::int64_t delta = static_cast<std::int64_t>(newCount) - node->ChildCount;
  if (delta == 0) return;
  StopCacheValidation();
  if (delta > 0) {
    if (node->ChildCount == 0) node->Include(vsHasChildren);
    node->Exclude(vsAllChildrenHidden | vsHeightMeasured);
    std::uint32_t index = node->LastChild != nullptr ? node->LastChild->Index + 1 : 0;
    std::uint64_t heights = 0;
    for (std::int64_t i = 0; i < delta; ++i) {
      PViewNode child = MakeNewNode();
      child->Index = index++;
      child->Parent = node;
      child->PrevSibling = node->LastChild;
      if (node->LastChild != nullptr) {
        node->LastChild->NextSibling = child;
      } else {
        node->FirstChild = child;
      }
      node->LastChild = child;
      heights += child->TotalHeight;
    }
    if (node->Has(vsExpanded)) {
      AdjustTotalHeight(node, static_cast<std::int64_t>(heights));
      if (node == root_ || FullyVisible(node)) visibleCount_ += static_cast<std::uint32_t>(delta);
    }
    AdjustTotalCount(node, delta);
    node->ChildCount = newCount;
    AutoSortChildren(node);
    InvalidateCache();
  } else {
    for (std::int64_t i = delta; i < 0; ++i) DeleteNode(node->LastChild);
  }
  StructureSettled();
  StructureChange(ReportedNode(node), crChildAdded);
}

void TViewTreeStructure::StoreInitialUserData(PViewNode node, std::uintptr_t userData) {
  if (userData == 0) return;
  if (NodeDataSize() < static_cast<int>(sizeof userData)) {
    ShowError(u"Cannot set initial user data because there is not enough user data space allocated.", 2008);
  }
  std::memcpy(NodeUserData(node), &userData, sizeof userData);
  node->Include(vsInitialUserData);
}

PViewNode TViewTreeStructure::AppendChildNode(PViewNode parent, std::uintptr_t userData) {
  if (IsReadOnly()) return nullptr;
  CancelEditNode();
  if (parent == nullptr) parent = root_;
  EnsureInitialized(parent);
  ++updateCount_;
  try {
    SetChildCount(parent, parent->ChildCount + 1);
  } catch (...) {
    --updateCount_;
    throw;
  }
  --updateCount_;
  parent->Exclude(vsAllChildrenHidden);
  PViewNode result = parent->LastChild;
  StoreInitialUserData(result, userData);
  InvalidateCache();
  if (updateCount_ == 0) {
    ValidateCache();
    UpdateScrollBars(true);
    if (InState(tsStructureChangePending)) StructureChange(ReportedNode(parent), crChildAdded);
    AutoSortChildren(parent);
    InvalidateTree();
  }
  return result;
}

PViewNode TViewTreeStructure::InsertNodeAt(PViewNode node, TVTNodeAttachMode mode, std::uintptr_t userData) {
  if (mode == amNoWhere || IsReadOnly()) return nullptr;
  CancelEditNode();
  if (node == nullptr) node = root_;
  if (node == root_) {
    if (mode == amInsertBefore) mode = amAddChildFirst;
    if (mode == amInsertAfter) mode = amAddChildLast;
  }
  if (mode == amAddChildFirst || mode == amAddChildLast) EnsureInitialized(node);
  PViewNode result = MakeNewNode();
  LinkNode(result, node, mode);
  StoreInitialUserData(result, userData);
  if (updateCount_ == 0) {
    AutoSortChildren(mode == amInsertBefore || mode == amInsertAfter ? node->Parent : node);
  }
  StructureSettled();
  StructureChange(result, crNodeAdded);
  return result;
}

void TViewTreeStructure::DeleteChildren(PViewNode node, bool resetHasChildren) {
  if (node == nullptr || node->ChildCount == 0 || IsReadOnly()) return;
  ++updateCount_;
  try {
    StopCacheValidation();
    const bool countRows = node == root_ || (FullyVisible(node) && node->Has(vsExpanded));
    node->Include(vsClearing);
    for (PViewNode child = node->LastChild; child != nullptr;) {
      PViewNode previous = child->PrevSibling;
      child->Include(vsDeleting);
      if (previous != nullptr) previous->NextSibling = nullptr;
      if (countRows && child->Has(vsVisible)) --visibleCount_;
      DeleteNode(child, false);
      child = previous;
    }
    node->Exclude(vsClearing);
    if (resetHasChildren) node->Exclude(vsHasChildren);
    if (node != root_) node->Exclude(vsExpanded);
    node->ChildCount = 0;
    if (node != root_ && !node->Has(vsDeleting)) {
      AdjustTotalHeight(node, static_cast<std::int64_t>(node->NodeHeight) - node->TotalHeight);
      AdjustTotalCount(node, 1 - static_cast<std::int64_t>(node->TotalCount));
    } else {
      // No phantom row: an empty root is as high as its own row.
      node->TotalHeight = node->NodeHeight;
      node->TotalCount = 1;
    }
    node->FirstChild = nullptr;
    node->LastChild = nullptr;
  } catch (...) {
    --updateCount_;
    throw;
  }
  --updateCount_;
  if (updateCount_ == 0) PackSelection();
  StructureSettled();
  StructureChange(ReportedNode(node), crChildDeleted);
}

void TViewTreeStructure::DeleteNode(PViewNode node, bool reindex) {
  if (node == nullptr || node == root_ || IsReadOnly()) return;
  PViewNode parent = node->Parent;
  const bool parentClearing = parent->Has(vsClearing);
  if (!parentClearing) StructureChange(ReportedNode(parent), crChildDeleted);
  if (node->Has(vsSelected)) {
    if (updateCount_ == 0) {
      const bool synch = InState(tsSynchMode);
      if (!synch) DoStateChange(tsSynchMode);
      RemoveFromSelection(node);
      if (!synch) DoStateChange(0, tsSynchMode);
    } else {
      InternalRemoveFromSelection(node);
    }
  }
  if (InState(tsHint)) DoStateChange(0, tsHint);
  DeleteChildren(node, false);
  UnlinkNode(node, false, reindex);
  DoFreeNode(node);
  if (!parentClearing) {
    UpdateAllChildrenHiddenFlag(parent);
    StructureSettled();
  }
}

void TViewTreeStructure::DeleteSelectedNodes() {
  if (IsReadOnly() || selection_.empty()) return;
  BeginUpdate();
  try {
    TNodeArray nodes = GetSortedSelection(true);
    for (std::size_t i = nodes.size(); i-- > 1;) DeleteNode(nodes[i], nodes[i]->Parent != nodes[i - 1]->Parent);
    if (!nodes.empty()) DeleteNode(nodes.front(), true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TViewTreeStructure::Clear() {
  if (IsReadOnly() && !IsDestroying()) return;
  BeginUpdate();
  StopCacheValidation();
  CancelEditNode();
  // Nothing is ever handed to a clipboard here, so a pending cut or copy only ends.
  DoStateChange(0, tsCutPending | tsCopyPending);
  ClearSelection();
  focusedNode_ = nullptr;
  rangeAnchor_ = nullptr;
  currentHotNode_ = nullptr;
  dropTargetNode_ = nullptr;
  checkNode_ = nullptr;
  lastSearchNode_ = nullptr;
  dragSelection_.clear();
  DeleteChildren(root_, true);
  visibleCount_ = 0;
  offsetX_ = 0;
  offsetY_ = 0;
  EndUpdate();
}

void TViewTreeStructure::MoveNode(PViewNode source, PViewNode target, TVTNodeAttachMode mode, bool childrenOnly) {
  const bool siblingModes = mode == amInsertBefore || mode == amInsertAfter;
  if (target == source && !(siblingModes && childrenOnly)) return;
  if (mode == amNoWhere || source == nullptr || source == root_ || IsReadOnly()) return;
  TViewTreeObject* targetTree = this;
  if (target == nullptr) {
    target = root_;
    mode = amAddChildFirst;
  } else {
    targetTree = TreeFromNode(target);
  }
  if (targetTree != this) {
    throw EViewTreeError("Nodes move only within their own tree.", 0);
  }
  if (target == root_) {
    if (mode == amInsertBefore) mode = amAddChildFirst;
    if (mode == amInsertAfter) mode = amAddChildLast;
  }
  if (target != root_) {
    if (!target->Has(vsInitialized)) {
      InitNode(target);
    } else {
      EnsureChildren(target);
    }
  }
  const bool allowed = DoNodeMoving(source, ReportedNode(target));
  if (allowed) {
    if (target != source && HasAsParent(target, source)) {
      ShowError(u"Target node cannot be a child node of the node to be moved.", 2001);
    }
    if (!childrenOnly) {
      UnlinkNode(source, true, true);
      LinkNode(source, target, mode);
      DoNodeMoved(source);
    } else {
      const bool backwards = mode == amAddChildFirst || mode == amInsertAfter;
      while (source->ChildCount > 0) {
        PViewNode child = backwards ? source->LastChild : source->FirstChild;
        UnlinkNode(child, true, false);
        LinkNode(child, target, mode);
        DoNodeMoved(child);
      }
    }
  }
  InvalidateCache();
  if (!allowed) return;
  StructureSettled();
  StructureChange(childrenOnly ? nullptr : source, crNodeMoved);
}

void TViewTreeStructure::ResetNode(PViewNode node) {
  CancelEditNode();
  if (node == nullptr || node == root_) {
    Clear();
    return;
  }
  DoReset(node);
  DeleteChildren(node, false);
  node->Exclude(vsInitialized | vsChecking | vsCutOrCopy | vsDeleting | vsExpanded | vsHasChildren |
                vsHeightMeasured);
  InvalidateNode(node);
}

void TViewTreeStructure::ReinitNode(PViewNode node, bool recursive) {
  if (node == nullptr || node == root_) return;
  node->Exclude(vsChecking | vsCutOrCopy | vsDeleting | vsHeightMeasured);
  InitNode(node);
  if (recursive) ReinitChildren(node, true);
}

void TViewTreeStructure::ReinitChildren(PViewNode node, bool recursive) {
  if (node == nullptr) node = root_;
  EnsureChildren(node);
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
    ReinitNode(child, recursive);
  }
}
