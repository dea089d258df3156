#include "controls/vtree/vt_navigation.h"

#include <algorithm>

// --- walks ---

PViewNode TViewTreeNavigation::First(bool init) { return Prepared(root_->FirstChild, init); }

PViewNode TViewTreeNavigation::FirstChild(PViewNode node, bool init) {
  if (node == nullptr) node = root_;
  Opened(node, init);
  return node->Has(vsHasChildren) ? Prepared(node->FirstChild, init) : nullptr;
}

PViewNode TViewTreeNavigation::FirstVisible(bool init) {
  if (!root_->Has(vsHasChildren) || root_->FirstChild == nullptr) return nullptr;
  PViewNode first = Prepared(root_->FirstChild, init);
  return first->Has(vsVisible) ? first : VisibleSibling(first, true, init);
}

PViewNode TViewTreeNavigation::FirstVisibleChild(PViewNode node, bool init) {
  PViewNode first = FirstChild(node, init);
  return first == nullptr || first->Has(vsVisible) ? first : VisibleSibling(first, true, init);
}

PViewNode TViewTreeNavigation::LastChild(PViewNode node, bool init) {
  if (node == nullptr) node = root_;
  Opened(node, init);
  return node->Has(vsHasChildren) ? Prepared(node->LastChild, init) : nullptr;
}

PViewNode TViewTreeNavigation::Last(PViewNode node, bool init) {
  PViewNode result = nullptr;
  for (PViewNode child = LastChild(node, init); child != nullptr; child = LastChild(child, init)) result = child;
  return result;
}

PViewNode TViewTreeNavigation::LastVisibleChild(PViewNode node, bool init) {
  PViewNode last = nullptr;
  if (node == nullptr || node == root_) {
    last = root_->LastChild;
  } else if (FullyVisible(node) && node->Has(vsExpanded)) {
    Opened(node, init);
    last = node->LastChild;
  }
  if (last == nullptr) return nullptr;
  Prepared(last, init);
  return last->Has(vsVisible) ? last : VisibleSibling(last, false, init);
}

PViewNode TViewTreeNavigation::LastVisible(PViewNode node, bool init) {
  PViewNode result = nullptr;
  for (PViewNode child = LastVisibleChild(node, init); child != nullptr; child = LastVisibleChild(child, init)) {
    result = child;
  }
  return result;
}

PViewNode TViewTreeNavigation::AfterSubtree(PViewNode node) const {
  for (; node != nullptr && node != root_; node = node->Parent) {
    if (node->NextSibling != nullptr) return node->NextSibling;
  }
  return nullptr;
}

PViewNode TViewTreeNavigation::Next(PViewNode node, bool init) {
  if (node == nullptr) return nullptr;
  Opened(node, init);
  PViewNode next = node->FirstChild != nullptr ? node->FirstChild : AfterSubtree(node);
  return Prepared(next, init);
}

PViewNode TViewTreeNavigation::Previous(PViewNode node, bool init) {
  if (node == nullptr || node == root_) return nullptr;
  if (PViewNode sibling = node->PrevSibling) {
    PViewNode last = Last(sibling, init);
    return last != nullptr ? last : Prepared(sibling, init);
  }
  return node->Parent == root_ ? nullptr : Prepared(node->Parent, init);
}

PViewNode TViewTreeNavigation::VisibleSibling(PViewNode node, bool forward, bool init) {
  if (node == nullptr) return nullptr;
  for (PViewNode s = forward ? node->NextSibling : node->PrevSibling; s != nullptr;
       s = forward ? s->NextSibling : s->PrevSibling) {
    if (Prepared(s, init)->Has(vsVisible)) return s;
  }
  return nullptr;
}

PViewNode TViewTreeNavigation::NextVisibleAfterSubtree(PViewNode node, bool init) {
  for (; node != nullptr && node != root_; node = node->Parent) {
    if (PViewNode sibling = VisibleSibling(node, true, init)) return sibling;
  }
  return nullptr;
}

PViewNode TViewTreeNavigation::GetVisibleParent(PViewNode node) const {
  if (node == nullptr || node == root_) return root_;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
    if (FullyVisible(p)) return p;
  }
  return root_;
}

namespace {

// The child of `ancestor` on the way down to `node`.
PViewNode ChildOnPath(PViewNode node, PViewNode ancestor) {
  while (node->Parent != ancestor) node = node->Parent;
  return node;
}

}  // namespace

PViewNode TViewTreeNavigation::NextVisible(PViewNode node, bool init) {
  if (node == nullptr || node == root_) return nullptr;
  if (!FullyVisible(node)) {
    // Continue behind the hidden part: behind a collapsed shown ancestor, or behind
    // the hidden child of an expanded one.
    PViewNode shown = GetVisibleParent(node);
    if (shown != root_ && !shown->Has(vsExpanded)) return NextVisibleAfterSubtree(shown, init);
    return NextVisibleAfterSubtree(ChildOnPath(node, shown), init);
  }
  if (node->Has(vsExpanded)) {
    Opened(node, init);
    if (PViewNode first = Prepared(node->FirstChild, init)) {
      return first->Has(vsVisible) ? first : NextVisibleAfterSubtree(first, init);
    }
  }
  return NextVisibleAfterSubtree(node, init);
}

PViewNode TViewTreeNavigation::PreviousVisible(PViewNode node, bool init) {
  if (node == nullptr || node == root_) return nullptr;
  PViewNode start = node;
  if (!FullyVisible(node)) {
    PViewNode shown = GetVisibleParent(node);
    if (shown != root_ && !shown->Has(vsExpanded)) return Prepared(shown, init);
    start = ChildOnPath(node, shown);
  }
  if (PViewNode sibling = VisibleSibling(start, false, init)) {
    PViewNode last = LastVisible(sibling, init);
    return last != nullptr ? last : sibling;
  }
  return start->Parent == root_ ? nullptr : Prepared(start->Parent, init);
}

PViewNode TViewTreeNavigation::NextInitialized(PViewNode node) {
  do {
    node = Next(node, false);
  } while (node != nullptr && !node->Has(vsInitialized));
  return node;
}

PViewNode TViewTreeNavigation::NextFlagged(PViewNode node, TViewNodeStates flag) {
  if (flag == vsSelected && selection_.empty()) return nullptr;
  do {
    node = Next(node, false);
  } while (node != nullptr && !node->Has(flag));
  return Prepared(node, true);
}

PViewNode TViewTreeNavigation::GetFirstCutCopy() {
  return InState(tsCutPending | tsCopyPending) ? NextFlagged(root_, vsCutOrCopy) : nullptr;
}

PViewNode TViewTreeNavigation::GetNextCutCopy(PViewNode node) {
  return InState(tsCutPending | tsCopyPending) ? NextFlagged(node, vsCutOrCopy) : nullptr;
}

// --- selection lists ---

TNodeArray TViewTreeNavigation::Flagged(TViewNodeStates flag, bool resolve) {
  TNodeArray result;
  if (flag == vsSelected) result.reserve(selection_.size());
  for (PViewNode node = root_->FirstChild; node != nullptr;) {
    if (node->Has(flag)) {
      if (result.size() == result.capacity()) result.reserve(GrownNodeCapacity(result.capacity()));
      result.push_back(node);
      if (resolve) {
        node = AfterSubtree(node);
        continue;
      }
    }
    node = Next(node, false);
  }
  result.shrink_to_fit();
  return result;
}

TNodeArray TViewTreeNavigation::GetSortedSelection(bool resolve) { return Flagged(vsSelected, resolve); }

TNodeArray TViewTreeNavigation::GetSortedCutCopySet(bool resolve) { return Flagged(vsCutOrCopy, resolve); }

void TViewTreeNavigation::ClearSelection() {
  if (selection_.empty() || IsDestroying()) return;
  if (updateCount_ == 0 && visibleCount_ > 0) InvalidateTree();
  InternalClearSelection();
  Change(nullptr);
}

void TViewTreeNavigation::SelectAll(bool visibleOnly) {
  if ((TreeOptions().SelectionOptions() & toMultiSelect) == 0) return;
  ClearTempCache();
  PViewNode node = visibleOnly ? GetFirstVisible() : GetFirst();
  for (; node != nullptr; node = visibleOnly ? GetNextVisible(node) : GetNext(node)) {
    if (!node->Has(vsSelected)) AddToTempCache(node);
  }
  if (!tempNodeCache_.empty()) AddNodesToSelection(tempNodeCache_, false);
  ClearTempCache();
  InvalidateTree();
}

// --- expand and collapse ---

void TViewTreeNavigation::ToggleNode(PViewNode node) {
  if (node == nullptr || node == root_ || node->Has(vsToggling | vsDeleting)) return;
  StopCacheValidation();
  node->Include(vsToggling);
  bool changed = false;
  try {
    if (!node->Has(vsExpanded)) {
      if (DoExpanding(node)) {
        EnsureInitialized(node);
        EnsureChildren(node);
        if (node->ChildCount > 0) {
          std::uint64_t height = 0;
          for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
            if (child->Has(vsVisible)) height += child->TotalHeight;
          }
          node->Include(vsExpanded);
          AdjustTotalHeight(node, static_cast<std::int64_t>(height));
          if (FullyVisible(node)) visibleCount_ += VisibleChildCount(node);
          changed = true;
          DoExpanded(node);
        }
      }
    } else if (DoCollapsing(node)) {
      if (FullyVisible(node)) visibleCount_ -= VisibleChildCount(node);
      AdjustTotalHeight(node, static_cast<std::int64_t>(node->NodeHeight) - node->TotalHeight);
      node->Exclude(vsExpanded);
      changed = true;
      DoCollapsed(node);
      if ((TreeOptions().AutoOptions() & toAutoFreeOnCollapse) != 0 && node->ChildCount > 0) {
        DeleteChildren(node, false);
        node->Include(vsHasChildren);
      }
    }
  } catch (...) {
    node->Exclude(vsToggling);
    throw;
  }
  node->Exclude(vsToggling);
  if (changed) {
    StructureSettled();
  } else {
    InvalidateNode(node);
  }
}

void TViewTreeNavigation::InStateBracket(TViewTreeStates state, const std::function<void()>& work) {
  DoStateChange(state);
  BeginUpdate();
  try {
    work();
  } catch (...) {
    EndUpdate();
    DoStateChange(0, state);
    throw;
  }
  EndUpdate();
  DoStateChange(0, state);
}

void TViewTreeNavigation::FullExpand(PViewNode node) {
  if (root_->TotalCount == 1) return;
  InStateBracket(tsExpanding, [&] {
    PViewNode start = node != nullptr ? node : root_->FirstChild;
    PViewNode stop = node != nullptr ? AfterSubtree(node) : nullptr;
    EnsureInitialized(start);
    for (PViewNode n = start; n != nullptr && n != stop; n = Next(n, true)) {
      if (!n->Has(vsExpanded)) ToggleNode(n);
    }
  });
}

void TViewTreeNavigation::FullCollapse(PViewNode node) {
  if (root_->TotalCount == 1) return;
  InStateBracket(tsCollapsing, [&] {
    auto collapse = [this](PViewNode n) {
      if (n != root_ && n->Has(vsExpanded) && n->Has(vsHasChildren)) ToggleNode(n);
    };
    PViewNode top = node != nullptr ? node : root_;
    PViewNode start = LastVisible(top, false);
    for (PViewNode n = start != nullptr ? start : top; n != nullptr && n != top; n = Previous(n, false)) collapse(n);
    collapse(top);
  });
}

// --- update bracket ---

void TViewTreeNavigation::BeginUpdate() {
  if (!IsDestroying()) {
    if (updateCount_ == 0) {
      DoUpdating(usBegin);
      SetUpdateState(true);
    } else {
      DoUpdating(usUpdate);
    }
  }
  ++updateCount_;
  DoStateChange(tsUpdating);
}

void TViewTreeNavigation::EndUpdate() {
  if (updateCount_ == 0) return;
  --updateCount_;
  if (IsDestroying()) return;
  if (updateCount_ == 0 && InState(tsUpdating)) {
    if (InState(tsUpdateHiddenChildrenNeeded)) {
      UpdateAllChildrenHiddenFlags();
      DoStateChange(0, tsUpdateHiddenChildrenNeeded);
    }
    DoStateChange(0, tsUpdating);
    PackSelection();
    InvalidateCache();
    ValidateCache();
    UpdateScrollBars(true);
    if (InState(tsStructureChangePending)) DoStructureChange(lastStructureChangeNode_, lastStructureChangeReason_);
    if (InState(tsChangePending)) DoChange(lastChangedNode_);
    if ((TreeOptions().AutoOptions() & toAutoSort) != 0) SortTree(Header().SortColumn(), Header().SortDirection(), true);
    SetUpdateState(false);
    InvalidateTree();
  }
  DoUpdating(updateCount_ == 0 ? usEnd : usUpdate);
}

void TViewTreeNavigation::ValidateNode(PViewNode node, bool recursive) {
  if (node == nullptr) node = root_;
  EnsureInitialized(node);
  if (!recursive) return;
  EnsureChildren(node);
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) ValidateNode(child, true);
}

void TViewTreeNavigation::ValidateChildren(PViewNode node, bool recursive) {
  if (node == nullptr) node = root_;
  EnsureChildren(node);
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
    ValidateNode(child, recursive);
  }
}

// --- position cache ---

std::size_t TViewTreeNavigation::CacheEntryCount(std::uint32_t visibleCount) {
  return visibleCount < 2 ? 0 : (visibleCount + 1999) / 2000;
}

namespace {

// The last cache entry that Before accepts (the entries are in row order, so those it
// accepts come first); null and a top of 0 when there is none.
template <typename Entries, typename Before>
PViewNode LastCachedBefore(const Entries& cache, Before before, std::uint32_t& top) {
  auto after = std::partition_point(cache.begin(), cache.end(), before);
  if (after == cache.begin()) {
    top = 0;
    return nullptr;
  }
  --after;
  top = after->AbsoluteTop;
  return after->Node;
}

}  // namespace

PViewNode TViewTreeNavigation::FindInPositionCache(PViewNode node, std::uint32_t& top) {
  top = 0;
  if (!InState(tsUseCache)) return nullptr;
  return LastCachedBefore(
      positionCache_, [&](const TCacheEntry& entry) { return CompareNodePositions(entry.Node, node) <= 0; }, top);
}

PViewNode TViewTreeNavigation::FindInPositionCache(std::uint32_t position, std::uint32_t& top) {
  top = 0;
  if (!InState(tsUseCache)) return nullptr;
  const auto after = std::upper_bound(rowAnchorTops_.begin(), rowAnchorTops_.end(), position);
  if (after == rowAnchorTops_.begin()) return nullptr;
  const auto anchor = static_cast<std::size_t>(after - rowAnchorTops_.begin() - 1);
  top = rowAnchorTops_[anchor];
  return rowAnchorNodes_[anchor];
}

void TViewTreeNavigation::InvalidateNode(PViewNode node) {
  if (node != nullptr && HandleAllocated()) Invalidate();
}
