// Sorting: the children of one node, or every level of the tree, by one column and
// one direction. The tree holds no keys; every comparison asks OnCompareNodes. The
// sibling list is relinked in place by a stable merge sort, so nodes, their data and
// their subtrees stay where they are.
#pragma once

#include "controls/vtree/vt_navigation.h"

class TViewTreeSorting : public TViewTreeNavigation {
 public:
  using TViewTreeNavigation::TViewTreeNavigation;

  void Sort(PViewNode node, TColumnIndex column, TSortDirection direction, bool doInit = true) override;
  void SortTree(TColumnIndex column, TSortDirection direction, bool doInit = true) override;

 private:
  // Sorts a list of `count` nodes linked by NextSibling; the new head.
  PViewNode MergeSort(PViewNode head, std::uint32_t count, TColumnIndex column, TSortDirection direction);
  PViewNode Merge(PViewNode first, PViewNode second, TColumnIndex column, TSortDirection direction);
};
