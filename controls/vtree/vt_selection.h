// The selection bookkeeping: an array of the selected nodes in address order (beside
// each node's vsSelected flag), so that selected nodes are counted and found without
// walking the tree; the range anchor and the selection level; the temporary cache
// that collects nodes before they join the selection in one step; and the sibling and
// level constraints.
#pragma once

#include <span>

#include "controls/vtree/vt_events.h"

class TViewTreeSelection : public TViewTreeEvents {
 public:
  using TViewTreeEvents::TViewTreeEvents;

  std::uint32_t SelectedCount() const { return static_cast<std::uint32_t>(selection_.size()); }
  // True when the node is in the selection array; index is its position or where it
  // would go. Bounds below 0 stand for the array's ends.
  bool FindNodeInSelection(PViewNode node, std::ptrdiff_t& index, std::ptrdiff_t low = -1,
                           std::ptrdiff_t high = -1) const;

  void AddToSelection(PViewNode node) override;
  void AddNodesToSelection(std::span<const PViewNode> items, bool forceInsert = false);
  void RemoveFromSelection(PViewNode node);
  // Selects the visible nodes from start to end (nil: the first top-level node);
  // without addOnly the old selection goes first.
  void SelectNodes(PViewNode startNode, PViewNode endNode, bool addOnly);
  void UnselectNodes(PViewNode startNode, PViewNode endNode);
  // Ctrl+Shift: toggles the visible nodes between the ends around the range anchor.
  void ToggleSelection(PViewNode startNode, PViewNode endNode);
  // Focuses the node (asking OnFocusChanging) in the column; True when it is focused.
  bool SetFocusedNodeAndColumn(PViewNode node, TColumnIndex column);

  // The order of two nodes in the tree: 0 the same, 1 when node1 lies inside
  // node2's subtree, -1 when node2 lies inside node1's, else the difference of the
  // sibling indexes below their common parent.
  int CompareNodePositions(PViewNode node1, PViewNode node2) const;
  // Levels below the root: 0 for top-level nodes (and nil and the root).
  std::uint32_t GetNodeLevel(PViewNode node) const;
  // Visible, not the root, every ancestor below the root expanded and visible.
  bool FullyVisible(PViewNode node) const;

 protected:
  bool InternalAddNodesToSelection(std::span<const PViewNode> items, bool forceInsert);
  bool InternalAddToSelection(PViewNode node, bool forceInsert);
  virtual void InternalClearSelection();
  // Deselects the node and marks its entry; a pack removes marked entries.
  virtual void InternalRemoveFromSelection(PViewNode node);
  void PackSelection();
  virtual void ClearRangeStart();
  void AddToTempCache(PViewNode node);
  void ClearTempCache();
  // Moves the focus to the node (nil allowed); asks OnFocusChanging when `ask`. The
  // range anchor stays where it is, so that a later Shift+click spans from it.
  virtual bool DoFocusNode(PViewNode node, bool ask);

  // Walks the layers above provide.
  virtual PViewNode GetNextVisible(PViewNode node) = 0;
  virtual PViewNode GetPreviousVisible(PViewNode node) = 0;
  virtual void InvalidateNode(PViewNode node) = 0;

 private:
  // The start of a range: nil is the first top-level node; a hidden start steps back
  // to the previous visible node.
  PViewNode NormalizedRangeStart(PViewNode start);
};
