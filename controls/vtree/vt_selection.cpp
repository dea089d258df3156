#include "controls/vtree/vt_selection.h"

#include <algorithm>

namespace {

std::uintptr_t Address(PViewNode node) { return reinterpret_cast<std::uintptr_t>(node); }
bool Marked(PViewNode entry) { return (Address(entry) & 1) != 0; }

}  // namespace

bool TViewTreeSelection::FindNodeInSelection(PViewNode node, std::ptrdiff_t& index, std::ptrdiff_t low,
                                             std::ptrdiff_t high) const {
  if (low < 0) low = 0;
  if (high < 0) high = static_cast<std::ptrdiff_t>(selection_.size()) - 1;
  bool found = false;
  while (low <= high) {
    const std::ptrdiff_t middle = (low + high) / 2;
    const std::uintptr_t entry = Address(selection_[static_cast<std::size_t>(middle)]);
    if (entry >= Address(node)) {
      high = middle - 1;
      if (entry == Address(node)) {
        found = true;
        low = middle;
        break;
      }
    } else {
      low = middle + 1;
    }
  }
  index = low;
  return found;
}

bool TViewTreeSelection::InternalAddNodesToSelection(std::span<const PViewNode> items, bool forceInsert) {
  std::vector<std::uintptr_t> accepted;
  accepted.reserve(items.size());
  if (forceInsert) {
    for (PViewNode node : items) {
      node->Include(vsSelected);
      accepted.push_back(Address(node));
    }
  } else if (!items.empty()) {
    const TVTSelectionOptions options = TreeOptions().SelectionOptions();
    const bool levelConstraint = (options & toLevelSelectConstraint) != 0;
    const bool siblingConstraint = (options & toSiblingSelectConstraint) != 0;
    if (levelConstraint && selectionLevel_ == -1) selectionLevel_ = static_cast<int>(GetNodeLevel(items.front()));
    if (siblingConstraint && rangeAnchor_ == nullptr) rangeAnchor_ = items.front();
    for (PViewNode node : items) {
      if (node->Has(vsSelected | vsDisabled)) continue;
      if (levelConstraint && static_cast<int>(GetNodeLevel(node)) != selectionLevel_) continue;
      if (siblingConstraint && node->Parent != rangeAnchor_->Parent) continue;
      node->Include(vsSelected);
      accepted.push_back(Address(node));
    }
  }
  if (accepted.empty()) return false;
  QuickSortCardinals(accepted, 0, static_cast<std::ptrdiff_t>(accepted.size()) - 1);
  std::vector<PViewNode> merged;
  merged.reserve(selection_.size() + accepted.size());
  auto old = selection_.begin();
  for (std::uintptr_t address : accepted) {
    while (old != selection_.end() && Address(*old) < address) merged.push_back(*old++);
    merged.push_back(reinterpret_cast<PViewNode>(address));
  }
  merged.insert(merged.end(), old, selection_.end());
  selection_ = std::move(merged);
  return true;
}

bool TViewTreeSelection::InternalAddToSelection(PViewNode node, bool forceInsert) {
  const PViewNode single[1] = {node};
  return InternalAddNodesToSelection(single, forceInsert);
}

void TViewTreeSelection::AddToSelection(PViewNode node) {
  if (!InternalAddToSelection(node, false)) return;
  InvalidateNode(node);
  Change(node);
}

void TViewTreeSelection::AddNodesToSelection(std::span<const PViewNode> items, bool forceInsert) {
  if (!InternalAddNodesToSelection(items, forceInsert)) return;
  if (items.size() == 1) {
    InvalidateNode(items.front());
    Change(items.front());
  } else {
    InvalidateTree();
    Change(nullptr);
  }
}

void TViewTreeSelection::RemoveFromSelection(PViewNode node) {
  if (node == nullptr || !node->Has(vsSelected)) return;
  node->Exclude(vsSelected);
  std::ptrdiff_t index = 0;
  if (FindNodeInSelection(node, index)) selection_.erase(selection_.begin() + index);
  if (selection_.empty()) ClearRangeStart();
  Change(node);
}

void TViewTreeSelection::InternalRemoveFromSelection(PViewNode node) {
  std::ptrdiff_t index = 0;
  if (!FindNodeInSelection(node, index)) return;
  node->Exclude(vsSelected);
  // Node addresses are even: an odd entry is one whose removal is pending.
  selection_[static_cast<std::size_t>(index)] = reinterpret_cast<PViewNode>(Address(node) + 1);
}

void TViewTreeSelection::PackSelection() { std::erase_if(selection_, Marked); }

void TViewTreeSelection::InternalClearSelection() {
  if (updateCount_ > 0) PackSelection();
  for (auto it = selection_.rbegin(); it != selection_.rend(); ++it) (*it)->Exclude(vsSelected);
  ClearRangeStart();
  selection_.clear();
  selection_.shrink_to_fit();
  DoStateChange(0, tsClearPending);
}

void TViewTreeSelection::ClearRangeStart() {
  rangeAnchor_ = focusedNode_;
  selectionLevel_ = -1;
}

void TViewTreeSelection::AddToTempCache(PViewNode node) {
  if (tempNodeCache_.size() == tempNodeCache_.capacity()) {
    tempNodeCache_.reserve(GrownNodeCapacity(tempNodeCache_.capacity()));
  }
  tempNodeCache_.push_back(node);
}

void TViewTreeSelection::ClearTempCache() {
  tempNodeCache_.clear();
  tempNodeCache_.shrink_to_fit();
}

PViewNode TViewTreeSelection::NormalizedRangeStart(PViewNode start) {
  if (start == nullptr) return root_->FirstChild;
  if (FullyVisible(start)) return start;
  PViewNode previous = GetPreviousVisible(start);
  return previous != nullptr ? previous : root_->FirstChild;
}

void TViewTreeSelection::SelectNodes(PViewNode startNode, PViewNode endNode, bool addOnly) {
  ClearTempCache();
  PViewNode first = NormalizedRangeStart(startNode);
  PViewNode last = endNode;
  if (first == nullptr || last == nullptr) return;
  if (CompareNodePositions(first, last) > 0) std::swap(first, last);
  const PViewNode anchor = rangeAnchor_;
  if (!addOnly) InternalClearSelection();
  for (PViewNode node = first; node != nullptr; node = GetNextVisible(node)) {
    AddToTempCache(node);
    if (node == last) break;
  }
  AddNodesToSelection(tempNodeCache_, false);
  ClearTempCache();
  if (anchor != nullptr && anchor->Has(vsSelected)) rangeAnchor_ = anchor;
}

void TViewTreeSelection::UnselectNodes(PViewNode startNode, PViewNode endNode) {
  PViewNode first = NormalizedRangeStart(startNode);
  PViewNode last = endNode;
  if (first == nullptr || last == nullptr) return;
  if (CompareNodePositions(first, last) > 0) std::swap(first, last);
  for (PViewNode node = first; node != nullptr; node = GetNextVisible(node)) {
    InternalRemoveFromSelection(node);
    if (node == last) break;
  }
  PackSelection();
}

void TViewTreeSelection::ToggleSelection(PViewNode startNode, PViewNode endNode) {
  PViewNode first = NormalizedRangeStart(startNode);
  PViewNode last = endNode;
  if (first == nullptr || last == nullptr || first == last) return;
  if (CompareNodePositions(first, last) > 0) std::swap(first, last);
  ClearTempCache();
  auto toggle = [this](PViewNode node) {
    if (node->Has(vsSelected)) {
      InternalRemoveFromSelection(node);
    } else {
      AddToTempCache(node);
    }
  };
  if (rangeAnchor_ == nullptr || CompareNodePositions(first, rangeAnchor_) < 0) toggle(first);
  for (PViewNode node = GetNextVisible(first); node != nullptr && node != last; node = GetNextVisible(node)) {
    toggle(node);
  }
  if (rangeAnchor_ == nullptr || CompareNodePositions(last, rangeAnchor_) > 0) toggle(last);
  PackSelection();
  if (rangeAnchor_ != nullptr && !rangeAnchor_->Has(vsSelected) &&
      std::find(tempNodeCache_.begin(), tempNodeCache_.end(), rangeAnchor_) == tempNodeCache_.end()) {
    AddToTempCache(rangeAnchor_);
  }
  if (!tempNodeCache_.empty()) AddNodesToSelection(tempNodeCache_, false);
  ClearTempCache();
}

bool TViewTreeSelection::DoFocusNode(PViewNode node, bool ask) {
  if (node == root_) node = nullptr;
  if (node == focusedNode_) return true;
  if (ask && !DoFocusChanging(focusedNode_, node, focusedColumn_, focusedColumn_)) return false;
  if (focusedNode_ != nullptr) InvalidateNode(focusedNode_);
  focusedNode_ = node;
  if (node != nullptr) InvalidateNode(node);
  return true;
}

bool TViewTreeSelection::SetFocusedNodeAndColumn(PViewNode node, TColumnIndex column) {
  const bool changed = node != focusedNode_ || column != focusedColumn_;
  const TColumnIndex oldColumn = focusedColumn_;
  focusedColumn_ = column;
  DoFocusNode(node, true);
  if (focusedNode_ != node) {
    focusedColumn_ = oldColumn;
    return false;
  }
  if (HandleAllocated() && InState(tsEditing | tsEditPending)) CancelEditNode();
  if (changed) DoFocusChange(focusedNode_, focusedColumn_);
  return true;
}

std::uint32_t TViewTreeSelection::GetNodeLevel(PViewNode node) const {
  std::uint32_t level = 0;
  if (node == nullptr || node == root_) return 0;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) ++level;
  return level;
}

bool TViewTreeSelection::FullyVisible(PViewNode node) const {
  if (node == nullptr || node == root_ || !node->Has(vsVisible)) return false;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
    if (!p->Has(vsExpanded) || !p->Has(vsVisible)) return false;
  }
  return true;
}

int TViewTreeSelection::CompareNodePositions(PViewNode node1, PViewNode node2) const {
  if (node1 == node2) return 0;
  auto inside = [this](PViewNode node, PViewNode ancestor) {
    for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
      if (p == ancestor) return true;
    }
    return false;
  };
  if (inside(node1, node2)) return 1;
  if (inside(node2, node1)) return -1;
  std::uint32_t level1 = GetNodeLevel(node1), level2 = GetNodeLevel(node2);
  for (; level1 > level2; --level1) node1 = node1->Parent;
  for (; level2 > level1; --level2) node2 = node2->Parent;
  while (node1->Parent != node2->Parent) {
    node1 = node1->Parent;
    node2 = node2->Parent;
  }
  return static_cast<int>(node1->Index) - static_cast<int>(node2->Index);
}
