// The operations that change the tree's shape: linking and unlinking a node, append,
// insert, delete (a node, a node's children, the selection, everything), move, reset
// and re-initialise, the child-count setter, and the upkeep of the totals (counts,
// heights, the visible count) that every one of them keeps exact.
#pragma once

#include "controls/vtree/vt_selection.h"

class TViewTreeStructure : public TViewTreeSelection {
 public:
  using TViewTreeSelection::TViewTreeSelection;

  // Appends a child (parent nil: the root). A non-zero userData is stored in the
  // first pointer-sized bytes of the node's user data.
  PViewNode AppendChildNode(PViewNode parent, std::uintptr_t userData = 0);
  PViewNode InsertNodeAt(PViewNode node, TVTNodeAttachMode mode, std::uintptr_t userData = 0);
  void DeleteNode(PViewNode node, bool reindex = true);
  void DeleteChildren(PViewNode node, bool resetHasChildren = false);
  virtual void DeleteSelectedNodes();
  void Clear() override;
  void MoveNode(PViewNode source, PViewNode target, TVTNodeAttachMode mode, bool childrenOnly);
  virtual void ResetNode(PViewNode node);
  virtual void ReinitNode(PViewNode node, bool recursive);
  virtual void ReinitChildren(PViewNode node, bool recursive);
  void SetChildCount(PViewNode node, std::uint32_t newCount) override;

  // True when potentialParent is a proper ancestor of node.
  bool HasAsParent(PViewNode node, PViewNode potentialParent) const;
  // The nodes shown below an expanded node (a collapsed child counts as one row).
  virtual std::uint32_t VisibleChildCount(PViewNode node) const;
  virtual int LevelDistance(PViewNode node1, PViewNode node2) const;
  virtual void UpdateAllChildrenHiddenFlag(PViewNode node);
  virtual void UpdateAllChildrenHiddenFlags();

  // The selection in tree order; with resolve, nodes inside a selected node's
  // subtree are left out.
  virtual TNodeArray GetSortedSelection(bool resolve) = 0;
  virtual void Sort(PViewNode node, TColumnIndex column, TSortDirection direction, bool doInit = true) = 0;

 protected:
  // The difference goes to the node and every ancestor, the root included.
  void AdjustTotalCount(PViewNode node, std::int64_t delta);
  // The difference goes to the node and up while the changed node is visible, not
  // the root, and its parent is expanded.
  void AdjustTotalHeight(PViewNode node, std::int64_t delta);
  virtual void LinkNode(PViewNode node, PViewNode destination, TVTNodeAttachMode mode);
  virtual void UnlinkNode(PViewNode node, bool keepFocus, bool reindex);
  // Sorts the node's children when the tree sorts automatically and no bracket is open.
  void AutoSortChildren(PViewNode node);
  // Brings the cache up to date and repaints when no update bracket is open.
  void StructureSettled();

 private:
  void StoreInitialUserData(PViewNode node, std::uintptr_t userData);
  PViewNode ReportedNode(PViewNode node) const { return node == root_ ? nullptr : node; }
};
