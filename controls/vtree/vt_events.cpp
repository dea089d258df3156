#include "controls/vtree/vt_events.h"

#include "platform/win/message_queue.h"

void TViewTreeEvents::WndProc(TMessage& message) {
  if (message.Msg == WM_TIMER && message.WParam == ChangeTimer) {
    DoChange(lastChangedNode_);
    return;
  }
  if (message.Msg == WM_TIMER && message.WParam == StructureChangeTimer) {
    DoStructureChange(lastStructureChangeNode_, lastStructureChangeReason_);
    return;
  }
  TViewTreeObject::WndProc(message);
}

void TViewTreeEvents::ReportChange(bool structureChange, PViewNode node, TChangeReason reason) {
  if (structureChange) {
    if (InState(tsStructureChangePending)) {
      StopTimer(StructureChangeTimer);
    } else {
      DoStateChange(tsStructureChangePending);
    }
    lastStructureChangeNode_ = node;
    if (lastStructureChangeReason_ == crIgnore) {
      lastStructureChangeReason_ = reason;
    } else if (reason != crIgnore) {
      lastStructureChangeReason_ = crAccumulated;
    }
    return;
  }
  if (InState(tsChangePending)) {
    StopTimer(ChangeTimer);
  } else {
    DoStateChange(tsChangePending);
  }
  lastChangedNode_ = node;
}

namespace {

// A delayed notification needs the window's timer; without a window it goes at once.
bool CanDelay(const TViewTreeObject& tree) {
  return tree.ChangeDelay() > 0 && !tree.InState(tsSynchMode) && tree.HandleAllocated();
}

}  // namespace

void TViewTreeEvents::Change(PViewNode node) {
  ReportChange(false, node, crIgnore);
  if (updateCount_ != 0) return;
  if (CanDelay(*this)) {
    SetTimer(Handle(), ChangeTimer, ChangeDelay(), nullptr);
  } else {
    DoChange(node);
  }
}

void TViewTreeEvents::StructureChange(PViewNode node, TChangeReason reason) {
  ReportChange(true, node, reason);
  if (updateCount_ != 0) return;
  if (CanDelay(*this)) {
    SetTimer(Handle(), StructureChangeTimer, ChangeDelay(), nullptr);
  } else {
    DoStructureChange(node, reason);
  }
}

void TViewTreeEvents::DoChange(PViewNode node) {
  StopTimer(ChangeTimer);
  if (OnChange) OnChange(this, node);
  DoStateChange(0, tsChangePending);
  lastChangedNode_ = nullptr;
}

void TViewTreeEvents::DoStructureChange(PViewNode node, TChangeReason reason) {
  StopTimer(StructureChangeTimer);
  if (OnStructureChange) OnStructureChange(this, node, reason);
  DoStateChange(0, tsStructureChangePending);
  lastStructureChangeNode_ = nullptr;
  lastStructureChangeReason_ = crIgnore;
}

void TViewTreeEvents::DoFreeNode(PViewNode node) {
  ForgetNode(node);
  if (OnFreeNode && node->Has(vsInitialized | vsInitialUserData)) OnFreeNode(this, node);
  FreeNodeMemory(node);
}

void TViewTreeEvents::InitNode(PViewNode node) {
  node->Include(vsInitialized);
  TViewNodeInitStates initStates = 0;
  DoInitNode(node->Parent == root_ ? nullptr : node->Parent, node, initStates);
  if ((initStates & ivsDisabled) != 0) node->Include(vsDisabled);
  if ((initStates & ivsHasChildren) != 0) node->Include(vsHasChildren);
  if ((initStates & ivsSelected) != 0) AddToSelection(node);
  if ((initStates & ivsMultiline) != 0) node->Include(vsMultiline);
  const bool wantExpanded = (initStates & ivsExpanded) != 0;
  if (wantExpanded == node->Has(vsExpanded)) return;
  if (wantExpanded) {
    ToggleNode(node);
  } else if (node->Has(vsHasChildren)) {
    InitChildren(node);
  }
}

void TViewTreeEvents::InitChildren(PViewNode node) {
  if (node == nullptr || node == root_ || !node->Has(vsHasChildren)) return;
  std::uint32_t count = node->ChildCount;
  DoInitChildren(node, count);
  if (count == 0) {
    SetChildCount(node, 0);
    node->Exclude(vsHasChildren);
  } else {
    SetChildCount(node, count);
  }
}

void TViewTreeEvents::DoInitNode(PViewNode parent, PViewNode node, TViewNodeInitStates& initStates) {
  if (OnInitNode) OnInitNode(this, parent, node, initStates);
}

bool TViewTreeEvents::DoInitChildren(PViewNode node, std::uint32_t& childCount) {
  if (!OnInitChildren) return false;
  OnInitChildren(this, node, childCount);
  return true;
}

void TViewTreeEvents::DoReset(PViewNode node) {
  if (OnResetNode) OnResetNode(this, node);
}

void TViewTreeEvents::DoMeasureItem(PViewNode node, int& nodeHeight) {
  if (OnMeasureItem) OnMeasureItem(this, node, nodeHeight);
}

bool TViewTreeEvents::DoExpanding(PViewNode node) {
  bool allowed = true;
  if (OnExpanding) OnExpanding(this, node, allowed);
  return allowed;
}

void TViewTreeEvents::DoExpanded(PViewNode node) {
  if (OnExpanded) OnExpanded(this, node);
}

bool TViewTreeEvents::DoCollapsing(PViewNode node) {
  bool allowed = true;
  if (OnCollapsing) OnCollapsing(this, node, allowed);
  return allowed;
}

void TViewTreeEvents::DoCollapsed(PViewNode node) {
  if (OnCollapsed) OnCollapsed(this, node);
}

bool TViewTreeEvents::DoChecking(PViewNode node, TCheckState& newState) {
  if (IsReadOnly()) return false;
  bool allowed = true;
  if (OnChecking) OnChecking(this, node, newState, allowed);
  return allowed;
}

void TViewTreeEvents::DoChecked(PViewNode node) {
  if (OnChecked) OnChecked(this, node);
}

bool TViewTreeEvents::DoFocusChanging(PViewNode oldNode, PViewNode newNode, TColumnIndex oldColumn,
                                      TColumnIndex newColumn) {
  bool allowed = true;
  if (OnFocusChanging) OnFocusChanging(this, oldNode, newNode, oldColumn, newColumn, allowed);
  return allowed;
}

void TViewTreeEvents::DoFocusChange(PViewNode node, TColumnIndex column) {
  if (OnFocusChanged) OnFocusChanged(this, node, column);
}

void TViewTreeEvents::DoHotChange(PViewNode oldNode, PViewNode newNode) {
  if (OnHotChange) OnHotChange(this, oldNode, newNode);
}

int TViewTreeEvents::DoCompare(PViewNode node1, PViewNode node2, TColumnIndex column) {
  int result = 0;
  if (OnCompareNodes) OnCompareNodes(this, node1, node2, column, result);
  return result;
}

bool TViewTreeEvents::DoNodeMoving(PViewNode node, PViewNode target) {
  bool allowed = true;
  if (OnNodeMoving) OnNodeMoving(this, node, target, allowed);
  return allowed;
}

void TViewTreeEvents::DoNodeMoved(PViewNode node) {
  if (OnNodeMoved) OnNodeMoved(this, node);
}

bool TViewTreeEvents::DoNodeCopying(PViewNode node, PViewNode target) {
  bool allowed = true;
  if (OnNodeCopying) OnNodeCopying(this, node, target, allowed);
  return allowed;
}

void TViewTreeEvents::DoNodeCopied(PViewNode node) {
  if (OnNodeCopied) OnNodeCopied(this, node);
}

void TViewTreeEvents::DoUpdating(TVTUpdateState state) {
  if (OnUpdating) OnUpdating(this, state);
}

bool TViewTreeEvents::DoCanEdit(PViewNode node, TColumnIndex column) {
  bool allowed = (TreeOptions().MiscOptions() & toEditable) != 0 && Enabled() && !IsReadOnly();
  if (OnEditing) OnEditing(this, node, column, allowed);
  return allowed;
}

bool TViewTreeEvents::DoEndEdit() {
  StopTimer(EditTimer);
  DoStateChange(0, tsEditPending);
  if (!InState(tsEditing)) return false;
  // The link may end the edit itself while it is asked; it stays alive for the call.
  const IVTEditLinkPtr link = editLink_;
  if (link && !link->EndEdit()) return false;
  if (!InState(tsEditing)) return true;
  DoStateChange(0, tsEditing);
  editNode_ = nullptr;
  editLink_.Reset();
  if (OnEdited) OnEdited(this, focusedNode_, editColumn_);
  return true;
}

bool TViewTreeEvents::DoCancelEdit() {
  StopTimer(EditTimer);
  DoStateChange(0, tsEditPending);
  if (!InState(tsEditing)) return true;
  const IVTEditLinkPtr link = editLink_;
  if (link && !link->CancelEdit()) return false;
  if (!InState(tsEditing)) return true;
  DoStateChange(0, tsEditing);
  editNode_ = nullptr;
  // A tree being destroyed lets its fields release the link last.
  if (!IsDestroying()) editLink_.Reset();
  if (OnEditCancelled) OnEditCancelled(this, editColumn_);
  return true;
}

bool TViewTreeEvents::DoGetCellIsEmpty(PViewNode node, TColumnIndex column) {
  bool isEmpty = true;
  if (OnGetCellIsEmpty) OnGetCellIsEmpty(this, node, column, isEmpty);
  return isEmpty;
}

int TViewTreeEvents::DoGetImageIndex(PViewNode node, TVTImageKind kind, TColumnIndex column, bool& ghosted) {
  int index = -1;
  ghosted = false;
  if (OnGetImageIndex) OnGetImageIndex(this, node, kind, column, ghosted, index);
  return index;
}

int TViewTreeEvents::DoIncrementalSearch(PViewNode node, const std::u16string& text) {
  int result = 0;
  if (OnIncrementalSearch) OnIncrementalSearch(this, node, text, result);
  return result;
}

bool TViewTreeEvents::DoDragAllowed(PViewNode node, TColumnIndex column) {
  bool allowed = false;
  if (OnDragAllowed) OnDragAllowed(this, node, column, allowed);
  return allowed;
}

TPopupMenu* TViewTreeEvents::DoGetPopupMenu(PViewNode node, TColumnIndex column, const POINT& position) {
  TPopupMenu* menu = nullptr;
  if (!OnGetPopupMenu) return nullptr;
  if (node == nullptr || node == root_) {
    bool askParent = true;
    OnGetPopupMenu(this, nullptr, NoColumn, position, askParent, menu);
    return menu;
  }
  for (bool askParent = true; node != root_ && menu == nullptr && askParent; node = node->Parent) {
    OnGetPopupMenu(this, node, column, position, askParent, menu);
  }
  return menu;
}

int TViewTreeEvents::DoGetHelpContext(PViewNode node) {
  int helpContext = 0;
  if (!OnGetHelpContext) return 0;
  for (; node != nullptr && node != root_ && helpContext == 0; node = node->Parent) {
    OnGetHelpContext(this, node, 0, helpContext);
  }
  return helpContext;
}

IVTEditLinkPtr TViewTreeEvents::DoCreateEditor(PViewNode node, TColumnIndex column) {
  IVTEditLinkPtr link;
  if (!OnCreateEditor) return link;
  OnCreateEditor(this, node, column, link);
  if (!link) ShowError(u"Edit link must not be nil.", 2000);
  return link;
}
