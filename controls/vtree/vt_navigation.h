// Walking the tree. Every walk comes in two forms: one initialises the node it
// returns (OnInitNode) and creates the children of the nodes it descends into
// (OnInitChildren); the NoInit form only follows the links and never calls the
// application. Also here: the sorted selection lists, clearing and selecting all,
// expand and collapse, full expand and collapse, the update bracket, validation of
// subtrees and the position cache.
#pragma once

#include <functional>

#include "controls/vtree/vt_structure.h"

class TViewTreeNavigation : public TViewTreeStructure {
 public:
  using TViewTreeStructure::TViewTreeStructure;

  PViewNode GetFirst() { return First(true); }
  PViewNode GetFirstNoInit() { return First(false); }
  PViewNode GetFirstChild(PViewNode node) { return FirstChild(node, true); }
  PViewNode GetFirstChildNoInit(PViewNode node) { return FirstChild(node, false); }
  PViewNode GetFirstInitialized() { return NextInitialized(root_); }
  PViewNode GetNextInitialized(PViewNode node) { return NextInitialized(node); }
  PViewNode GetFirstSelected() { return NextFlagged(root_, vsSelected); }
  PViewNode GetNextSelected(PViewNode node) { return NextFlagged(node, vsSelected); }
  PViewNode GetFirstCutCopy();
  PViewNode GetNextCutCopy(PViewNode node);
  PViewNode GetFirstVisible() { return FirstVisible(true); }
  PViewNode GetFirstVisibleNoInit() { return FirstVisible(false); }
  PViewNode GetFirstVisibleChild(PViewNode node) { return FirstVisibleChild(node, true); }
  PViewNode GetFirstVisibleChildNoInit(PViewNode node) { return FirstVisibleChild(node, false); }
  PViewNode GetLast(PViewNode node = nullptr) { return Last(node, true); }
  PViewNode GetLastNoInit(PViewNode node = nullptr) { return Last(node, false); }
  PViewNode GetLastChild(PViewNode node) { return LastChild(node, true); }
  PViewNode GetLastChildNoInit(PViewNode node) { return LastChild(node, false); }
  PViewNode GetLastVisibleChild(PViewNode node) { return LastVisibleChild(node, true); }
  PViewNode GetLastVisibleChildNoInit(PViewNode node) { return LastVisibleChild(node, false); }
  PViewNode GetLastVisible(PViewNode node = nullptr) { return LastVisible(node, true); }
  PViewNode GetLastVisibleNoInit(PViewNode node = nullptr) { return LastVisible(node, false); }
  PViewNode GetNext(PViewNode node) { return Next(node, true); }
  PViewNode GetNextNoInit(PViewNode node) { return Next(node, false); }
  PViewNode GetNextSibling(PViewNode node) { return Prepared(node ? node->NextSibling : nullptr, true); }
  PViewNode GetPreviousSibling(PViewNode node) { return Prepared(node ? node->PrevSibling : nullptr, true); }
  PViewNode GetNextVisible(PViewNode node) override { return NextVisible(node, true); }
  PViewNode GetNextVisibleNoInit(PViewNode node) { return NextVisible(node, false); }
  PViewNode GetNextVisibleSibling(PViewNode node) { return VisibleSibling(node, true, true); }
  PViewNode GetNextVisibleSiblingNoInit(PViewNode node) { return VisibleSibling(node, true, false); }
  PViewNode GetPrevious(PViewNode node) { return Previous(node, true); }
  PViewNode GetPreviousNoInit(PViewNode node) { return Previous(node, false); }
  PViewNode GetPreviousVisible(PViewNode node) override { return PreviousVisible(node, true); }
  PViewNode GetPreviousVisibleNoInit(PViewNode node) { return PreviousVisible(node, false); }
  PViewNode GetPreviousVisibleSibling(PViewNode node) { return VisibleSibling(node, false, true); }
  PViewNode GetPreviousVisibleSiblingNoInit(PViewNode node) { return VisibleSibling(node, false, false); }
  // The deepest ancestor (or the node) whose row is shown; the root when none is.
  PViewNode GetVisibleParent(PViewNode node) const;

  TNodeArray GetSortedSelection(bool resolve) override;
  TNodeArray GetSortedCutCopySet(bool resolve);
  void ClearSelection() override;
  void SelectAll(bool visibleOnly);

  void ToggleNode(PViewNode node) override;
  virtual void FullExpand(PViewNode node = nullptr);
  virtual void FullCollapse(PViewNode node = nullptr);
  void BeginUpdate() override;
  void EndUpdate() override;
  void ValidateNode(PViewNode node, bool recursive);
  void ValidateChildren(PViewNode node, bool recursive);

  // 0 for fewer than 2 visible nodes, else one entry per started 2000. A cache is
  // built only for more than 2000 visible nodes; smaller trees walk from the start.
  static std::size_t CacheEntryCount(std::uint32_t visibleCount);
  // The nearest cache entry at or before the node / the vertical position: its node
  // and its top. Nil (top 0) when the cache is empty or not valid.
  PViewNode FindInPositionCache(PViewNode node, std::uint32_t& top);
  PViewNode FindInPositionCache(std::uint32_t position, std::uint32_t& top);

 protected:
  void InvalidateNode(PViewNode node) override;

 private:
  PViewNode Prepared(PViewNode node, bool init) {
    if (init) EnsureInitialized(node);
    return node;
  }
  // Initialises the node and creates its children when walks descend into it.
  void Opened(PViewNode node, bool init) {
    if (!init || node == nullptr) return;
    EnsureInitialized(node);
    EnsureChildren(node);
  }
  PViewNode First(bool init);
  PViewNode FirstChild(PViewNode node, bool init);
  PViewNode FirstVisible(bool init);
  PViewNode FirstVisibleChild(PViewNode node, bool init);
  PViewNode Last(PViewNode node, bool init);
  PViewNode LastChild(PViewNode node, bool init);
  PViewNode LastVisibleChild(PViewNode node, bool init);
  PViewNode LastVisible(PViewNode node, bool init);
  PViewNode Next(PViewNode node, bool init);
  PViewNode NextVisible(PViewNode node, bool init);
  PViewNode Previous(PViewNode node, bool init);
  PViewNode PreviousVisible(PViewNode node, bool init);
  PViewNode VisibleSibling(PViewNode node, bool forward, bool init);
  // The first visible node after the node's subtree (siblings, then up).
  PViewNode NextVisibleAfterSubtree(PViewNode node, bool init);
  PViewNode NextInitialized(PViewNode node);
  PViewNode NextFlagged(PViewNode node, TViewNodeStates flag);
  // The node after the node's subtree in tree order; nil at the end.
  PViewNode AfterSubtree(PViewNode node) const;
  TNodeArray Flagged(TViewNodeStates flag, bool resolve);
  // Runs the work inside one update bracket with the state entered around it.
  void InStateBracket(TViewTreeStates state, const std::function<void()>& work);
};
