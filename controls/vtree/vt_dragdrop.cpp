#include "controls/vtree/vt_dragdrop.h"

#include <algorithm>

#include "platform/win/message_queue.h"

using platform::com::ComPtr;

// --- the drag manager ---

ComPtr<IDataObject> TVTDragManager::DataObject() {
  if (dataObject_ || owner_ == nullptr) return dataObject_;
  return owner_->CreateDataObject(false);
}

HRESULT TVTDragManager::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  const bool left = (keyState & MK_LBUTTON) != 0, right = (keyState & MK_RBUTTON) != 0;
  if (escapePressed || (left && right)) return DRAGDROP_S_CANCEL;
  return left || right ? S_OK : DRAGDROP_S_DROP;
}

HRESULT TVTDragManager::GiveFeedback(DROPEFFECT) { return DRAGDROP_S_USEDEFAULTCURSORS; }

HRESULT TVTDragManager::DragEnter(IDataObject* data, DWORD keyState, POINT point, DROPEFFECT* effect) {
  if (owner_ == nullptr || effect == nullptr) return E_UNEXPECTED;
  dataObject_ = ComPtr<IDataObject>(data);
  dragSource_ = dynamic_cast<TViewTreeDragDrop*>(TViewTreeStreams::GetTreeFromDataObject(data));
  return owner_->DragEnter(keyState, point, *effect);
}

HRESULT TVTDragManager::DragOver(DWORD keyState, POINT point, DROPEFFECT* effect) {
  if (owner_ == nullptr || effect == nullptr) return E_UNEXPECTED;
  return owner_->DragOver(dragSource_, keyState, dsDragMove, point, *effect);
}

HRESULT TVTDragManager::DragLeave() {
  if (owner_ != nullptr) owner_->DragLeave();
  dragSource_ = nullptr;
  dataObject_.Reset();
  return S_OK;
}

HRESULT TVTDragManager::Drop(IDataObject* data, DWORD keyState, POINT point, DROPEFFECT* effect) {
  HRESULT result = E_UNEXPECTED;
  if (owner_ != nullptr && effect != nullptr) result = owner_->DragDrop(data, keyState, point, *effect);
  dragSource_ = nullptr;
  dataObject_.Reset();
  return result;
}

// --- the tree ---

TViewTreeDragDrop::~TViewTreeDragDrop() {
  if (ownManager_ != nullptr) ownManager_->OwnerGone();
}

ComPtr<IVTDragManager> TViewTreeDragDrop::DragManager() {
  if (dragManager_) return dragManager_;
  if (OnCreateDragManager) OnCreateDragManager(this, dragManager_);
  if (!dragManager_) {
    auto own = platform::com::MakeComObject<TVTDragManager>(*this);
    ownManager_ = own.get();
    dragManager_ = ComPtr<IVTDragManager>(own.get());
  }
  return dragManager_;
}

void TViewTreeDragDrop::RegisterAsDropTarget() {
  if (auto target = DragManager().As<IDropTarget>()) RegisterDragDrop(Handle(), target.get());
}

void TViewTreeDragDrop::CreateWnd() {
  TViewTreeMessages::CreateWnd();
  if ((TreeOptions().MiscOptions() & toAcceptOLEDrop) != 0) RegisterAsDropTarget();
}

void TViewTreeDragDrop::AcceptOLEDropChanged() {
  if (!HandleAllocated()) return;
  if ((TreeOptions().MiscOptions() & toAcceptOLEDrop) != 0) {
    RegisterAsDropTarget();
  } else {
    RevokeDragDrop(Handle());
  }
}

void TViewTreeDragDrop::DestroyWnd() {
  if (HandleAllocated()) RevokeDragDrop(Handle());
  TViewTreeMessages::DestroyWnd();
}

void TViewTreeDragDrop::WndProc(TMessage& message) {
  if (message.Msg == WM_TIMER && message.WParam == ExpandTimer) {
    DoDragExpand();
    return;
  }
  if (message.Msg == CM_DRAG && message.LParam != 0) {
    ClassLibraryDrag(message);
    return;
  }
  TViewTreeMessages::WndProc(message);
}

void TViewTreeDragDrop::ClassLibraryDrag(TMessage& message) {
  const auto& rec = *reinterpret_cast<const TDragRec*>(message.LParam);
  const auto kind = static_cast<TDragMessage>(message.WParam);
  switch (kind) {
    case dmFindTarget:
      if (InState(tsVCLDragPending)) DoStateChange(tsVCLDragging, tsClearPending | tsEditPending | tsVCLDragPending);
      [[fallthrough]];
    case dmDragCancel:
      // The class library answers the target and tells the source of a cancel.
      TViewTreeMessages::WndProc(message);
      return;
    case dmDragEnter:
      DoStateChange(tsVCLDragging);
      break;
    case dmDragMove: {
      const POINT client = ToClient(rec.Pos);
      DoAutoScroll(client.x, client.y);
      break;
    }
    default:
      break;
  }
  // The modifier keys only: the tree's own state tells the buttons.
  const DWORD keyState = platform::com::CurrentKeyState() & (MK_SHIFT | MK_CONTROL);
  // The owner's own drag object stands for itself; otherwise the dragged control does.
  TObject* source = InState(tsUserDragObject) ? rec.Source : rec.Source->SourceObject();
  if (kind == dmDragDrop) {
    DWORD effect = classLibraryEffect_;
    DoDragDrop(source, nullptr, {}, ShiftOf(keyState), ToClient(rec.Pos), effect, LastDropMode);
  } else {
    const TDragState state = kind == dmDragEnter ? dsDragEnter : kind == dmDragLeave ? dsDragLeave : dsDragMove;
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    DragOver(source, keyState, state, rec.Pos, effect);
    classLibraryEffect_ = effect & ~DROPEFFECT_SCROLL;
    message.Result = classLibraryEffect_ != DROPEFFECT_NONE ? 1 : 0;
  }
  if (kind == dmDragLeave || kind == dmDragDrop) {
    ForgetDropTarget();
    StopTimer(ExpandTimer);
    StopTimer(ScrollTimer);
    DoStateChange(0, tsVCLDragging | tsScrolling | tsScrollPending);
  }
}

TShiftState TViewTreeDragDrop::ShiftOf(DWORD keyState) const {
  TShiftState shift = 0;
  if (keyState & MK_SHIFT) shift |= ssShift;
  if (keyState & MK_CONTROL) shift |= ssCtrl;
  if (keyState & MK_ALT) shift |= ssAlt;
  if (InState(tsLeftButtonDown)) shift |= ssLeft;
  if (InState(tsMiddleButtonDown)) shift |= ssMiddle;
  if (InState(tsRightButtonDown)) shift |= ssRight;
  return shift;
}

POINT TViewTreeDragDrop::ToClient(POINT screen) {
  if (HandleAllocated()) ScreenToClient(Handle(), &screen);
  return screen;
}

PViewNode TViewTreeDragDrop::DropTargetAt(POINT client, bool dropMarks, TVTDropMode& mode) {
  THitInfo hit;
  GetHitTestInfoAt(client.x, client.y, true, hit);
  const THitPositions onContent = hiOnItemLabel | hiOnNormalIcon | hiOnStateIcon;
  if (hit.HitNode != nullptr && (TreeOptions().MiscOptions() & toReportMode) != 0 &&
      ((hit.HitPositions & onContent) == 0 || hit.HitColumn != Header().MainColumn())) {
    hit.HitNode = nullptr;
  }
  if (hit.HitNode == nullptr) {
    mode = dmNowhere;
  } else if ((hit.HitPositions & onContent) == 0 && dropMarks) {
    const RECT r = GetDisplayRect(hit.HitNode, NoColumn, false);
    mode = client.y < (r.top + r.bottom) / 2 ? dmAbove : dmBelow;
  } else {
    mode = dmOnNode;
  }
  return hit.HitNode;
}

DWORD TViewTreeDragDrop::SuggestDropEffect(TObject* source, TShiftState shift, POINT, DWORD allowedEffects) {
  DWORD effect = allowedEffects;
  if (source != this) {
    if (allowedEffects & DROPEFFECT_COPY) effect = DROPEFFECT_COPY;
  } else if (allowedEffects & DROPEFFECT_MOVE) {
    effect = DROPEFFECT_MOVE;
  }
  const bool ctrl = (shift & ssCtrl) != 0, shiftKey = (shift & ssShift) != 0, alt = (shift & ssAlt) != 0;
  if (ctrl && !shiftKey) {
    if (allowedEffects & DROPEFFECT_COPY) effect = DROPEFFECT_COPY;
  } else if (shiftKey && !ctrl) {
    if (allowedEffects & DROPEFFECT_MOVE) effect = DROPEFFECT_MOVE;
  } else if ((ctrl && shiftKey) || alt) {
    if (allowedEffects & DROPEFFECT_LINK) effect = DROPEFFECT_LINK;
  }
  return effect;
}

bool TViewTreeDragDrop::DoDragOver(TObject* source, TShiftState shift, TDragState state, POINT pt, TVTDropMode mode,
                                   DWORD& effect) {
  bool accept = false;
  if (OnDragOver) OnDragOver(this, source, shift, state, pt, mode, effect, accept);
  return accept;
}

void TViewTreeDragDrop::DoDragDrop(TObject* source, IDataObject* dataObject, const std::vector<WORD>& formats,
                                   TShiftState shift, POINT pt, DWORD& effect, TVTDropMode mode) {
  if (OnDragDrop) OnDragDrop(this, source, dataObject, formats, shift, pt, effect, mode);
}

HRESULT TViewTreeDragDrop::DragEnter(DWORD keyState, POINT pt, DWORD& effect) {
  const TShiftState shift = ShiftOf(keyState);
  const POINT client = ToClient(pt);
  TObject* source = dragManager_ ? dragManager_->DragSource() : nullptr;
  effect = SuggestDropEffect(source, shift, client, effect);
  if (!DoDragOver(source, shift, dsDragEnter, client, LastDropMode, effect)) {
    effect = DROPEFFECT_NONE;
    return S_OK;
  }
  TVTDropMode mode = dmNowhere;
  dropTargetNode_ = DropTargetAt(client, true, mode);
  LastDropMode = mode;
  if (dropTargetNode_ != nullptr) InvalidateNode(dropTargetNode_);
  return S_OK;
}

bool TViewTreeDragDrop::ScrollOneStep(POINT client) {
  const TScrollDirections directions = AutoScrollDirections(client.x, client.y);
  if (directions == 0) return false;
  const RECT area = TreeClientRect();
  const int vertical = std::min<int>(ScrollBarOptions().VerticalIncrement(), area.bottom - area.top);
  const int horizontal = ScrollBarOptions().HorizontalIncrement();
  int dx = 0, dy = 0;
  if (directions & sdUp) dy = vertical;
  if (directions & sdDown) dy = -vertical;
  if (directions & sdLeft) dx = horizontal;
  if (directions & sdRight) dx = -horizontal;
  if (UseRightToLeftReading()) dx = -dx;
  return DoSetOffsetXY(POINT{offsetX_ + dx, offsetY_ + dy}, DefaultScrollUpdateFlags);
}

HRESULT TViewTreeDragDrop::DragOver(TObject* source, DWORD keyState, TDragState dragState, POINT pt, DWORD& effect) {
  if (auto* tree = dynamic_cast<TViewTreeDragDrop*>(source)) tree->DragImage().DragTo(pt);
  const POINT client = ToClient(pt);
  const bool scrolled = ScrollOneStep(client);
  const TShiftState shift = ShiftOf(keyState);
  const bool dropMarks = (TreeOptions().PaintOptions() & toShowDropmark) != 0;
  TVTDropMode mode = dmNowhere;
  PViewNode node = DropTargetAt(client, dropMarks, mode);
  if (node != dropTargetNode_) {
    // A new target: the wait for expanding it starts over.
    StopTimer(ExpandTimer);
    if (dropTargetNode_ != nullptr) InvalidateNode(dropTargetNode_);
    dropTargetNode_ = node;
    LastDropMode = mode;
    if (node != nullptr) {
      InvalidateNode(node);
      if (focusedColumn_ == NoColumn) focusedColumn_ = Header().MainColumn();
      if ((TreeOptions().AutoOptions() & toAutoDropExpand) != 0 && node->Has(vsHasChildren) && HandleAllocated()) {
        SetTimer(Handle(), ExpandTimer, AutoExpandDelay(), nullptr);
      }
    }
  } else if (mode != LastDropMode) {
    LastDropMode = mode;
    if (node != nullptr) InvalidateNode(node);
  }
  effect = SuggestDropEffect(source, shift, client, effect);
  if (!DoDragOver(source, shift, dragState, client, LastDropMode, effect)) effect = DROPEFFECT_NONE;
  if (scrolled) effect |= DROPEFFECT_SCROLL;
  return S_OK;
}

void TViewTreeDragDrop::ForgetDropTarget() {
  if (dropTargetNode_ != nullptr) InvalidateNode(dropTargetNode_);
  dropTargetNode_ = nullptr;
}

void TViewTreeDragDrop::DragLeave() {
  StopTimer(ExpandTimer);
  ForgetDropTarget();
  if (HandleAllocated()) UpdateWindow(Handle());
  DWORD effect = DROPEFFECT_NONE;
  TObject* source = dragManager_ ? dragManager_->DragSource() : nullptr;
  DoDragOver(source, 0, dsDragLeave, POINT{0, 0}, LastDropMode, effect);
}

HRESULT TViewTreeDragDrop::DragDrop(IDataObject* dataObject, DWORD keyState, POINT pt, DWORD& effect) {
  StopTimer(ExpandTimer);
  StopTimer(ScrollTimer);
  TObject* source = dragManager_ ? dragManager_->DragSource() : nullptr;
  HRESULT result = DragOver(source, keyState, dsDragMove, pt, effect);
  if (SUCCEEDED(result) && (effect & ~DROPEFFECT_SCROLL) != DROPEFFECT_NONE) {
    std::vector<WORD> formats;
    for (const FORMATETC& format : platform::com::OfferedFormats(dataObject)) formats.push_back(format.cfFormat);
    effect &= ~DROPEFFECT_SCROLL;
    DoDragDrop(source, dataObject, formats, ShiftOf(keyState), ToClient(pt), effect, LastDropMode);
  } else {
    result = E_FAIL;
  }
  ForgetDropTarget();
  return result;
}

void TViewTreeDragDrop::DoDragExpand() {
  StopTimer(ExpandTimer);
  PViewNode node = dropTargetNode_;
  if (node == nullptr || !node->Has(vsHasChildren) || node->Has(vsExpanded)) return;
  ToggleNode(node);
  if (HandleAllocated()) UpdateWindow(Handle());
}

void TViewTreeDragDrop::DoNodeMoved(PViewNode node) {
  // A node the drop moved is the drop's now, not the drag's to delete.
  if (!dragSelection_.empty()) std::erase(dragSelection_, node);
  TViewTreeMessages::DoNodeMoved(node);
}

void TViewTreeDragDrop::PrepareDragImage(POINT hotSpot) {
  if (!CanShowDragImage()) return;
  const int width = DragWidth(), height = DragHeight();
  // The area around the hot spot in content coordinates; what lies before the
  // content's start is cut off and the painting moves by as much.
  const POINT content{hotSpot.x + EffectiveOffsetX(), hotSpot.y - OffsetY()};
  RECT area{content.x - width / 2, content.y - height / 2, content.x - width / 2 + width, content.y - height / 2 + height};
  POINT corner{area.left - EffectiveOffsetX(), area.top + OffsetY()};
  const POINT target{std::max<LONG>(-area.left, 0), std::max<LONG>(-area.top, 0)};
  area.left += target.x;
  area.top += target.y;
  TBitmap image;
  image.SetPixelFormat(TPixelFormat::pf32bit);
  image.SetSize(width, height);
  HBRUSH back = CreateSolidBrush(ColorToRGB(Color()));
  const RECT all{0, 0, width, height};
  FillRect(image.Canvas().Handle(), &all, back);
  DeleteObject(back);
  TVTPaintOptions8 options = poDrawSelection | poSelectedOnly;
  if (DragImageKind() == diMainColumnOnly) options |= poMainOnly;
  PaintTree(image.Canvas(), area, target, options);
  ClientToScreen(Handle(), &corner);
  ClientToScreen(Handle(), &hotSpot);
  dragImage_.SetColorKey(Color());
  dragImage_.PrepareDrag(image, corner, hotSpot);
}

void TViewTreeDragDrop::DoDragging(POINT p) {
  CancelEditNode();
  if (currentHotNode_ != nullptr) {
    InvalidateNode(currentHotNode_);
    currentHotNode_ = nullptr;
  }
  if (focusedNode_ != nullptr && !focusedNode_->Has(vsSelected)) {
    AddToSelection(focusedNode_);
    InvalidateNode(focusedNode_);
  }
  if (HandleAllocated()) UpdateWindow(Handle());
  // A selected descendant travels with its selected ancestor, not on its own.
  dragSelection_ = GetSortedSelection(true);
  DoStateChange(tsOLEDragging, tsClearPending | tsOLEDragPending);
  TDragObject* noDragObject = nullptr;
  DoStartDrag(noDragObject);
  LastDropMode = dmOnNode;
  DWORD allowed = 0;
  if (DragOperations() & doCopy) allowed |= DROPEFFECT_COPY;
  if (DragOperations() & doMove) allowed |= DROPEFFECT_MOVE;
  if (DragOperations() & doLink) allowed |= DROPEFFECT_LINK;
  if (allowed == 0) allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

  PrepareDragImage(p);
  ComPtr<IVTDragManager> manager = DragManager();
  ComPtr<IDataObject> data = manager->DataObject();
  ComPtr<IDropSource> dropSource = manager.As<IDropSource>();
  DWORD effect = DROPEFFECT_NONE;
  if (data && dropSource) ::DoDragDrop(data.get(), dropSource.get(), allowed, &effect);

  POINT cursor{};
  GetCursorPos(&cursor);
  cursor = ToClient(cursor);
  DoEndDrag(this, cursor.x, cursor.y);
  dragImage_.EndDrag();
  if (effect == DROPEFFECT_MOVE && (TreeOptions().AutoOptions() & toAutoDeleteMovedNodes) != 0) {
    BeginUpdate();
    try {
      // A dragged node that the drop moved away or freed has left the list already.
      while (!dragSelection_.empty()) {
        PViewNode node = dragSelection_.back();
        dragSelection_.pop_back();
        DeleteNode(node);
      }
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
  }
  DoStateChange(0, tsOLEDragging);
  dragSelection_.clear();
}

void TViewTreeDragDrop::DoStartDrag(TDragObject*& dragObject) {
  TViewTreeMessages::DoStartDrag(dragObject);
  if (dragObject != nullptr) DoStateChange(tsUserDragObject);
}

void TViewTreeDragDrop::DoEndDrag(TObject* target, int x, int y) {
  TViewTreeMessages::DoEndDrag(target, x, y);
  DragFinished();
}

void TViewTreeDragDrop::DragCanceled() {
  TViewTreeMessages::DragCanceled();
  DragFinished();
}

void TViewTreeDragDrop::DragFinished() {
  DoStateChange(0, tsUserDragObject | tsVCLDragging | tsVCLDragPending);
  if (!HandleAllocated()) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  cursor = ToClient(cursor);
  const UINT message = InState(tsRightButtonDown)    ? WM_RBUTTONUP
                       : InState(tsMiddleButtonDown) ? WM_MBUTTONUP
                                                     : WM_LBUTTONUP;
  SendMessageW(Handle(), message, 0, MAKELPARAM(cursor.x, cursor.y));
}
