#include "controls/vtree/vt_sort.h"

#include <vector>

PViewNode TViewTreeSorting::Merge(PViewNode first, PViewNode second, TColumnIndex column,
                                  TSortDirection direction) {
  TViewNode head{};
  PViewNode tail = &head;
  while (first != nullptr && second != nullptr) {
    const int result = DoCompare(first, second, column);
    // Equal nodes keep their order in both directions.
    const bool takeSecond = direction == sdAscending ? result > 0 : result < 0;
    PViewNode& taken = takeSecond ? second : first;
    tail->NextSibling = taken;
    tail = taken;
    taken = taken->NextSibling;
  }
  tail->NextSibling = first != nullptr ? first : second;
  return head.NextSibling;
}

PViewNode TViewTreeSorting::MergeSort(PViewNode head, std::uint32_t count, TColumnIndex column,
                                      TSortDirection direction) {
  if (count <= 1) {
    if (head != nullptr) head->NextSibling = nullptr;
    return head;
  }
  const std::uint32_t firstCount = count / 2;
  PViewNode secondHead = head;
  for (std::uint32_t i = 0; i < firstCount; ++i) secondHead = secondHead->NextSibling;
  // The second half is found before the first is cut off behind its last node.
  PViewNode first = MergeSort(head, firstCount, column, direction);
  PViewNode second = MergeSort(secondHead, count - firstCount, column, direction);
  return Merge(first, second, column, direction);
}

void TViewTreeSorting::Sort(PViewNode node, TColumnIndex column, TSortDirection direction, bool doInit) {
  StopCacheValidation();
  if (InState(tsEditPending)) {
    StopTimer(EditTimer);
    DoStateChange(0, tsEditPending);
  }
  if (InState(tsEditing) && !DoEndEdit()) return;
  if (node == nullptr) node = root_;
  if (!node->Has(vsHasChildren)) return;
  if (doInit) {
    EnsureChildren(node);
    for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) EnsureInitialized(child);
  }
  if (node->ChildCount > 1) {
    PViewNode sorted = MergeSort(node->FirstChild, node->ChildCount, column, direction);
    std::uint32_t index = 0;
    PViewNode previous = nullptr;
    for (PViewNode child = sorted; child != nullptr; child = child->NextSibling) {
      child->Index = index++;
      child->PrevSibling = previous;
      previous = child;
    }
    node->FirstChild = sorted;
    node->LastChild = previous;
    InvalidateCache();
  }
  if (updateCount_ == 0) {
    ValidateCache();
    InvalidateTree();
  }
}

void TViewTreeSorting::SortTree(TColumnIndex column, TSortDirection direction, bool doInit) {
  ++updateCount_;
  try {
    if (column > InvalidColumn) {
      // Depth first without recursion: trees may be deep.
      std::vector<PViewNode> pending{root_};
      while (!pending.empty()) {
        PViewNode node = pending.back();
        pending.pop_back();
        Sort(node, column, direction, doInit);
        for (PViewNode child = node->LastChild; child != nullptr; child = child->PrevSibling) {
          if (doInit) EnsureInitialized(child);
          if (child->Has(vsInitialized)) pending.push_back(child);
        }
      }
    }
  } catch (...) {
    --updateCount_;
    throw;
  }
  InvalidateCache();
  if (--updateCount_ == 0) {
    ValidateCache();
    InvalidateTree();
  }
}
