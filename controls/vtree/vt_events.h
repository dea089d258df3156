// The tree's event dispatch: one protected virtual operation per event, which the
// rest of the tree calls instead of the event field so that a derived tree can take
// over; the change and structure-change notifications, delayed by ChangeDelay and
// deferred to the end of the outermost update bracket; node and child initialisation;
// and the freeing of a node's record.
#pragma once

#include "controls/vtree/vt_object.h"

class TViewTreeEvents : public TViewTreeObject {
 public:
  using TViewTreeObject::TViewTreeObject;

  // Initialises a node that is not yet (OnInitNode and its initial states).
  void InitNode(PViewNode node);
  // Creates the children of a node with vsHasChildren (OnInitChildren).
  void InitChildren(PViewNode node);
  // Initialises the node when it lacks vsInitialized.
  void EnsureInitialized(PViewNode node) {
    if (node != nullptr && node != root_ && !node->Has(vsInitialized)) InitNode(node);
  }
  // Creates the node's children when it may have some but has none yet.
  void EnsureChildren(PViewNode node) {
    if (node != nullptr && node->Has(vsHasChildren) && node->ChildCount == 0) InitChildren(node);
  }

  // The selection or focus changed / the structure changed: notify now, after
  // ChangeDelay, or when the outermost update bracket closes.
  void Change(PViewNode node);
  void StructureChange(PViewNode node, TChangeReason reason);

  // Ends an armed or running edit, storing the text; true when none was going on.
  bool EndEditNode() { return InState(tsEditing | tsEditPending) ? DoEndEdit() : true; }
  // Ends an armed or running edit without storing the text.
  bool CancelEditNode() override { return InState(tsEditing | tsEditPending) ? DoCancelEdit() : true; }
  bool IsEditing() const { return InState(tsEditing); }

  // What initialisation needs from the layers above.
  virtual void AddToSelection(PViewNode node) = 0;
  virtual void ToggleNode(PViewNode node) = 0;

 protected:
  void WndProc(TMessage& message) override;

  void ReportChange(bool structureChange, PViewNode node, TChangeReason reason);
  virtual void DoChange(PViewNode node);
  virtual void DoStructureChange(PViewNode node, TChangeReason reason);
  // Forgets the node wherever the tree refers to it, tells OnFreeNode when the
  // application knows the node, and releases its memory.
  virtual void DoFreeNode(PViewNode node);
  virtual void DoInitNode(PViewNode parent, PViewNode node, TViewNodeInitStates& initStates);
  virtual bool DoInitChildren(PViewNode node, std::uint32_t& childCount);
  virtual void DoReset(PViewNode node);
  virtual void DoMeasureItem(PViewNode node, int& nodeHeight);
  virtual bool DoExpanding(PViewNode node);
  virtual void DoExpanded(PViewNode node);
  virtual bool DoCollapsing(PViewNode node);
  virtual void DoCollapsed(PViewNode node);
  virtual bool DoChecking(PViewNode node, TCheckState& newState);
  virtual void DoChecked(PViewNode node);
  virtual bool DoFocusChanging(PViewNode oldNode, PViewNode newNode, TColumnIndex oldColumn, TColumnIndex newColumn);
  virtual void DoFocusChange(PViewNode node, TColumnIndex column);
  virtual void DoHotChange(PViewNode oldNode, PViewNode newNode);
  virtual int DoCompare(PViewNode node1, PViewNode node2, TColumnIndex column);
  virtual bool DoNodeMoving(PViewNode node, PViewNode target);
  virtual void DoNodeMoved(PViewNode node);
  virtual bool DoNodeCopying(PViewNode node, PViewNode target);
  virtual void DoNodeCopied(PViewNode node);
  virtual void DoUpdating(TVTUpdateState state);
  virtual bool DoCanEdit(PViewNode node, TColumnIndex column);
  // Asks the editor to store its text and end (OnEdited after it agreed); the
  // editor's answer, false when no edit ran.
  virtual bool DoEndEdit();
  // Asks the editor to drop its text (OnEditCancelled after it agreed); true when no
  // edit runs afterwards.
  virtual bool DoCancelEdit();
  virtual bool DoGetCellIsEmpty(PViewNode node, TColumnIndex column);
  virtual int DoGetImageIndex(PViewNode node, TVTImageKind kind, TColumnIndex column, bool& ghosted);
  virtual int DoIncrementalSearch(PViewNode node, const std::u16string& text);
  virtual bool DoDragAllowed(PViewNode node, TColumnIndex column);
  // The menu for a node: asked for the node, then up its parents while the answer
  // is nil and the handler lets it go on; without a node, once with column -1.
  virtual TPopupMenu* DoGetPopupMenu(PViewNode node, TColumnIndex column, const POINT& position);
  // The help context of a node: asked with column 0 for it and up its parents while 0.
  virtual int DoGetHelpContext(PViewNode node);
  // The editor a bound OnCreateEditor supplies; a bound handler that gives none is an
  // error. Nil without a handler.
  virtual IVTEditLinkPtr DoCreateEditor(PViewNode node, TColumnIndex column);
};
