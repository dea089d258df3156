#include "controls/vtree/vt_mouse.h"

#include <algorithm>
#include <cstdlib>

#include "controls/vtree/view_trees.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/win/input.h"
#include "platform/win/message_box.h"

namespace {

constexpr int PanningDeadZone = 8;

bool PointInside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

RECT Normalized(const RECT& r) {
  return RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
              std::max(r.top, r.bottom)};
}

bool Overlaps(int low1, int high1, int low2, int high2) { return low1 <= high2 && low2 <= high1; }

}  // namespace

TShiftState MouseShiftState(WPARAM keys) {
  TShiftState shift = 0;
  if ((keys & MK_SHIFT) != 0) shift |= ssShift;
  if ((keys & MK_CONTROL) != 0) shift |= ssCtrl;
  if ((keys & MK_LBUTTON) != 0) shift |= ssLeft;
  if ((keys & MK_RBUTTON) != 0) shift |= ssRight;
  if ((keys & MK_MBUTTON) != 0) shift |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

// --- focus and selection by click ---

void TViewTreeMouse::SetFocusedNode(PViewNode node) {
  const PViewNode old = focusedNode_;
  DoFocusNode(node, true);
  if (focusedNode_ != old) DoFocusChange(focusedNode_, focusedColumn_);
}

void TViewTreeMouse::SetFocusedColumn(TColumnIndex value) {
  if (value == focusedColumn_) return;
  if (!DoFocusChanging(focusedNode_, focusedNode_, focusedColumn_, value)) return;
  CancelEditNode();
  focusedColumn_ = value;
  if (focusedNode_ != nullptr) InvalidateNode(focusedNode_);
  DoFocusChange(focusedNode_, focusedColumn_);
}

void TViewTreeMouse::ApplyClickSelection(PViewNode lastFocused, PViewNode newNode, TShiftState shift,
                                         bool dragPending) {
  (void)lastFocused;
  const bool ctrl = (shift & ssCtrl) != 0, withShift = (shift & ssShift) != 0;
  if (!ctrl && !withShift) {
    if (!newNode->Has(vsSelected)) {
      AddToSelection(newNode);
      InvalidateNode(newNode);
    }
    rangeAnchor_ = newNode;
  } else if (withShift && !ctrl) {
    if (rangeAnchor_ == nullptr) rangeAnchor_ = root_->FirstChild;
    SelectNodes(rangeAnchor_, newNode, false);
    InvalidateTree();
  } else if (ctrl && !withShift) {
    if ((TreeOptions().SelectionOptions() & toSiblingSelectConstraint) == 0) rangeAnchor_ = newNode;
    if (dragPending) {
      DoStateChange(tsToggleFocusedSelection);
    } else if (newNode->Has(vsSelected)) {
      RemoveFromSelection(newNode);
    } else {
      AddToSelection(newNode);
    }
  } else {
    SelectNodes(rangeAnchor_, newNode, true);
    InvalidateTree();
  }
}

bool TViewTreeMouse::DoFocusNode(PViewNode node, bool ask) {
  if (InState(tsEditing) && !DoEndEdit()) return false;
  if (node == root_) node = nullptr;
  const TVTAutoOptions autoOptions = TreeOptions().AutoOptions();
  if (node != focusedNode_) {
    if (ask && !DoFocusChanging(focusedNode_, node, focusedColumn_, focusedColumn_)) return false;
    const PViewNode old = focusedNode_;
    if ((autoOptions & toAutoExpand) != 0 && old != nullptr && node != nullptr && old->Parent == node->Parent &&
        old->Has(vsExpanded)) {
      ToggleNode(old);
    } else if (old != nullptr) {
      InvalidateNode(old);
    }
    focusedNode_ = node;
  }
  if (focusedNode_ == nullptr) return node == nullptr;
  if (Header().UseColumns() && !Header().Columns().IsValidColumn(focusedColumn_)) focusedColumn_ = 0;
  if ((autoOptions & toAutoExpand) != 0 && focusedNode_->Has(vsHasChildren) && !focusedNode_->Has(vsExpanded)) {
    ToggleNode(focusedNode_);
  }
  InvalidateNode(focusedNode_);
  if (updateCount_ == 0) {
    const bool buttonDown = InState(tsLeftButtonDown | tsRightButtonDown | tsMiddleButtonDown);
    const bool center = (TreeOptions().SelectionOptions() & toCenterScrollIntoView) != 0 && !buttonDown;
    ScrollIntoView(focusedNode_, center, (autoOptions & toDisableAutoscrollOnFocus) == 0);
  }
  return focusedNode_ == node;
}

// --- editing ---

bool TViewTreeMouse::EditNode(PViewNode node, TColumnIndex column) {
  if (InState(tsEditing)) return true;
  if (IsReadOnly() || node == nullptr || node == root_) return false;
  // The focused node is edited as it stands; any other one must take the focus first.
  if (node != focusedNode_) SetFocusedNode(node);
  if (focusedNode_ != node || !CanEdit(node, column)) return false;
  editColumn_ = column;
  EnsureInitialized(node);
  DoEdit();
  return InState(tsEditing);
}

void TViewTreeMouse::DoEdit() {
  if (Application != nullptr) Application->CancelHint();
  StopTimer(ScrollTimer);
  StopTimer(EditTimer);
  DoStateChange(0, tsEditPending);
  if (focusedNode_ == nullptr || focusedNode_->Has(vsDisabled) || IsReadOnly() || editLink_) return;
  // Held here until the start is over, so that an editor that ends itself while it
  // begins (a lost focus) is never used after the tree let it go.
  const IVTEditLinkPtr link = DoCreateEditor(focusedNode_, editColumn_);
  if (!link) return;
  editLink_ = link;
  editNode_ = focusedNode_;
  DoStateChange(tsEditing, tsToggleFocusedSelection | tsClearPending | tsDrawSelPending | tsDrawSelecting |
                               tsMouseCheckPending | tsOLEDragging | tsOLEDragPending | tsScrolling | tsScrollPending);
  ScrollIntoView(focusedNode_, (TreeOptions().SelectionOptions() & toCenterScrollIntoView) != 0,
                 (TreeOptions().AutoOptions() & toDisableAutoscrollOnEdit) == 0);
  auto* tree = dynamic_cast<TBaseViewTree*>(this);
  if (link->PrepareEdit(tree, focusedNode_, editColumn_)) {
    UpdateEditBounds();
    InvalidateNode(focusedNode_);
    if (InState(tsEditing) && !link->BeginEdit()) DoStateChange(0, tsEditing);
  } else {
    DoStateChange(0, tsEditing);
  }
  if (!InState(tsEditing) && editLink_ == link) {
    editLink_.Reset();
    editNode_ = nullptr;
  }
}

void TViewTreeMouse::UpdateEditBounds() {
  if (!InState(tsEditing) || !editLink_ || focusedNode_ == nullptr) return;
  const bool multiline = focusedNode_->Has(vsMultiline);
  RECT r = GetDisplayRect(focusedNode_, editColumn_, !multiline, true);
  if ((TreeOptions().MiscOptions() & toGridExtensions) != 0) {
    TAlignment alignment = ColumnAlignment(editColumn_);
    if (ColumnReadsRightToLeft(editColumn_) && alignment != taCenter) {
      alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
    }
    int left = 0, right = 0;
    Header().Columns().ColumnBounds(Header().UseColumns() ? editColumn_ : NoColumn, left, right);
    if (alignment == taLeftJustify) {
      r.right = right;
    } else {
      r.left = left;
    }
  }
  if ((TreeOptions().PaintOptions() & toShowHorzGridLines) != 0) --r.bottom;
  const IVTEditLinkPtr link = editLink_;
  link->SetBounds(r);
}

bool TViewTreeMouse::EndRunningEdit() {
  if (InState(tsEditPending)) {
    StopTimer(EditTimer);
    DoStateChange(0, tsEditPending);
  }
  return !InState(tsEditing) || DoEndEdit();
}

// --- dragging, focus and settings ---

bool TViewTreeMouse::BeyondDragThreshold(POINT from, int x, int y) const {
  return std::abs(from.x - x) >= dragThreshold_ || std::abs(from.y - y) >= dragThreshold_;
}

void TViewTreeMouse::BeginDrag(bool immediate, int threshold) {
  if (DragType() == dtVCL) {
    DoStateChange(tsVCLDragPending);
    TViewTreeHints::BeginDrag(immediate, threshold);
    return;
  }
  if (InState(tsOLEDragPending | tsOLEDragging)) return;
  dragThreshold_ = threshold >= 0 ? threshold : MouseDragThreshold();
  if (immediate) {
    DoDragging(lastClickPos_);
  } else {
    DoStateChange(tsOLEDragPending);
  }
}

void TViewTreeMouse::DoEndDrag(TObject* target, int x, int y) {
  DoStateChange(0, tsVCLDragPending | tsVCLDragging | tsUserDragObject | tsLeftButtonDown | tsRightButtonDown |
                       tsMiddleButtonDown);
  StopTimer(ScrollTimer);
  DoStateChange(0, tsScrolling | tsScrollPending);
  TViewTreeHints::DoEndDrag(target, x, y);
}

bool TViewTreeMouse::CanFocus() {
  if (!::CanFocus(this)) return false;
  if ((ComponentState() & csDesigning) != 0) return true;
  TControl* top = this;
  while (top->Parent() != nullptr) top = top->Parent();
  auto* form = dynamic_cast<TCustomForm*>(top);
  return form == nullptr || (::CanFocus(form) && form->Visible());
}

void TViewTreeMouse::GetTextInfo(PViewNode, TColumnIndex, TFont& font, RECT& r, std::u16string& text) {
  r = RECT{};
  text.clear();
  font.Assign(&Font());
}

void TViewTreeMouse::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TViewTreeMouse*>(source);
  if (other == nullptr || IsReadOnly()) {
    TViewTreeHints::Assign(source);
    return;
  }
  auto& from = const_cast<TViewTreeMouse&>(*other);
  SetAlign(from.Align());
  SetBorderStyle(from.BorderStyle());
  SetCheckImageKind(from.CheckImageKind());
  SetColor(from.Color());
  Colors().Assign(&from.Colors());
  SetDefaultNodeHeight(from.DefaultNodeHeight());
  SetDefaultPasteMode(from.DefaultPasteMode());
  SetDragImageKind(from.DragImageKind());
  Font().Assign(&from.Font());
  Header().Assign(&from.Header());
  Images = from.Images;
  StateImages = from.StateImages;
  SetIndent(from.Indent());
  SetMargin(from.Margin());
  SetTextMargin(from.TextMargin());
  SetNodeAlignment(from.NodeAlignment());
  SetNodeDataSize(from.NodeDataSize());
  TreeOptions().Assign(&from.TreeOptions());
  ParentFont = from.ParentFont;
  SetRootNodeCount(from.RootNodeCount());
  ScrollBarOptions().Assign(&from.ScrollBarOptions());
  ShowHint = from.ShowHint;
  SetTabOrder(from.TabOrder());
  SetTabStop(from.TabStop());
  SetVisible(from.Visible());
  SetSelectionCurveRadius(from.SelectionCurveRadius());
  SetAnimationDuration(from.AnimationDuration());
  SetAutoExpandDelay(from.AutoExpandDelay());
  SetAutoScrollDelay(from.AutoScrollDelay());
  SetAutoScrollInterval(from.AutoScrollInterval());
  SetButtonFillMode(from.ButtonFillMode());
  SetButtonStyle(from.ButtonStyle());
  SetChangeDelay(from.ChangeDelay());
  SetDragOperations(from.DragOperations());
  SetDragType(from.DragType());
  SetDrawSelectionMode(from.DrawSelectionMode());
  SetEditDelay(from.EditDelay());
  SetHintAnimation(from.HintAnimation());
  SetHintMode(from.HintMode());
  SetIncrementalSearch(from.IncrementalSearch());
  SetIncrementalSearchDirection(from.IncrementalSearchDirection());
  SetIncrementalSearchStart(from.IncrementalSearchStart());
  SetIncrementalSearchTimeout(from.IncrementalSearchTimeout());
  SetLineMode(from.LineMode());
  SetLineStyle(from.LineStyle());
  SetWantTabs(from.WantTabs());
}

// --- the mouse ---

TColumnIndex TViewTreeMouse::ClickColumn(const THitInfo& hitInfo, bool& columnChange) const {
  columnChange = false;
  const TVTMiscOptions misc = TreeOptions().MiscOptions();
  const bool wholeRow = (TreeOptions().SelectionOptions() & toFullRowSelect) != 0 || (misc & toGridExtensions) != 0;
  if ((hitInfo.HitPositions & hiOnItemLabel) == 0 && !wholeRow) return focusedColumn_;
  TColumnIndex column = hitInfo.HitColumn;
  if ((TreeOptions().SelectionOptions() & toExtendedFocus) == 0) column = Header().MainColumn();
  columnChange = column != focusedColumn_;
  return column;
}

void TViewTreeMouse::PressCheckBox(PViewNode node, TViewTreeStates pending) {
  if (InState(tsKeyCheckPending | tsMouseCheckPending) || node->Has(vsDisabled) || node->CheckType == ctNone) return;
  TCheckState next = NextCheckState(node->CheckType, UnpressedCheckState(node->CheckState));
  if (!DoChecking(node, next)) return;
  DoStateChange(pending);
  checkNode_ = node;
  pendingCheckState_ = next;
  node->CheckState = PressedCheckState(node->CheckState);
  InvalidateNode(node);
}

void TViewTreeMouse::ReduceSelectionTo(PViewNode node) {
  const bool many = selection_.size() > 1;
  InternalClearSelection();
  InternalAddToSelection(node, false);
  if (!many) return;
  InvalidateTree();
  Change(nullptr);
}

void TViewTreeMouse::HandleMouseDown(TMessage& message, const THitInfo& hitInfo) {
  if (WheelPanning()) {
    StopWheelPanning();
    return;
  }
  if (!EndRunningEdit()) return;
  if (!Focused() && CanFocus()) SetFocus();
  const PViewNode hitNode = hitInfo.HitNode;
  const THitPositions at = hitInfo.HitPositions;
  Header().Columns().ClickIndex = hitInfo.HitColumn;
  bool columnChange = false;
  const TColumnIndex newColumn = ClickColumn(hitInfo, columnChange);

  TShiftState shift = MouseShiftState(message.WParam) & (ssShift | ssCtrl | ssAlt);
  const bool alt = (shift & ssAlt) != 0;
  shift &= ~ssAlt;
  const bool shiftEmpty = shift == 0;
  const TVTSelectionOptions selOptions = TreeOptions().SelectionOptions();
  const TVTMiscOptions misc = TreeOptions().MiscOptions();
  const bool multiSelect = (selOptions & toMultiSelect) != 0;
  const bool wholeRow = (selOptions & toFullRowSelect) != 0 || (misc & toGridExtensions) != 0;
  const bool labelHit = (at & (hiOnItemLabel | hiOnNormalIcon)) != 0 && !alt;
  const bool cellHit = !labelHit && hitNode != nullptr && (at & hiOnItem) != 0 &&
                       (at & (hiOnItemButton | hiOnItemCheckbox)) == 0 && !alt && wholeRow;
  const bool nodeSelected = (labelHit || cellHit) && hitNode->Has(vsSelected);
  const bool dragAllowed =
      (InState(tsOLEDragPending | tsVCLDragPending) || (hitNode != nullptr && DoDragAllowed(hitNode, hitInfo.HitColumn))) &&
      (!cellHit || (misc & toFullRowDrag) != 0);

  if (hitNode != nullptr && (at & hiOnItemButton) != 0 && hitNode->Has(vsHasChildren)) {
    ToggleNode(hitNode);
    return;
  }
  if (hitNode != nullptr && (at & hiOnItemCheckbox) != 0) PressCheckBox(hitNode, tsMouseCheckPending);

  if (selection_.empty() || (root_->TotalCount > 1 && shiftEmpty)) {
    const PViewNode levelNode = hitNode != nullptr ? hitNode : GetFirstSelected();
    selectionLevel_ = levelNode != nullptr ? static_cast<int>(GetNodeLevel(levelNode)) : -1;
  }
  if (multiSelect && shiftEmpty && (labelHit || cellHit) && dragAllowed && nodeSelected) {
    DoStateChange(tsClearPending);
  }
  const bool rightClickMenu = message.Msg == WM_RBUTTONDOWN && PopupMenu != nullptr;
  if ((hitNode == nullptr && !alt && multiSelect && shiftEmpty) ||
      (hitNode != nullptr && (!nodeSelected || (!dragAllowed && !rightClickMenu)) && (shiftEmpty || !multiSelect))) {
    if (hitNode != nullptr && (nodeSelected || (alt && hitInfo.HitColumn == Header().MainColumn()))) {
      ReduceSelectionTo(hitNode);
    } else {
      ClearSelection();
    }
  }
  if (Focused() && ((at & hiOnItemLabel) != 0 || ((misc & toGridExtensions) != 0 && (at & hiOnItem) != 0)) &&
      nodeSelected && !columnChange && shiftEmpty) {
    DoStateChange(tsEditPending);
  }
  const POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  if ((selOptions & toDisableDrawSelection) == 0 && !labelHit && !alt && multiSelect) {
    SetCapture(Handle());
    DoStateChange(tsDrawSelPending);
    drawSelShiftState_ = shift;
    const POINT start = AbsolutePoint(p.x, p.y);
    newSelRect_ = RECT{start.x, start.y, start.x, start.y};
    oldSelRect_ = RECT{};
    if (!cellHit) return;
  }
  lastClickPos_ = p;
  if ((labelHit || cellHit) && DoFocusChanging(focusedNode_, hitNode, focusedColumn_, newColumn)) {
    if (columnChange) {
      InvalidateColumn(focusedColumn_);
      InvalidateColumn(newColumn);
      focusedColumn_ = newColumn;
    }
    const PViewNode lastFocused = focusedNode_;
    const bool changed = hitNode != focusedNode_ || columnChange;
    if (changed) DoFocusNode(hitNode, false);
    if (!multiSelect || shiftEmpty) {
      if (shiftEmpty) rangeAnchor_ = hitNode;
      if (!nodeSelected) AddToSelection(hitNode);
    } else {
      ApplyClickSelection(lastFocused, hitNode, shift, dragAllowed);
    }
    if (changed) DoFocusChange(focusedNode_, focusedColumn_);
  }
  if (dragAllowed && (labelHit || cellHit) && !InState(tsOLEDragging | tsVCLDragging)) BeginDrag(false);
}

void TViewTreeMouse::HandleMouseUp(TMessage& message, const THitInfo& hitInfo) {
  if (GetCapture() == Handle()) ReleaseCapture();
  if (InState(tsVCLDragPending)) return;
  if (InState(tsDrawSelPending | tsDrawSelecting)) {
    DoStateChange(0, tsToggleFocusedSelection | tsDrawSelPending | tsDrawSelecting);
    InvalidateTree();
  }
  if (InState(tsClearPending)) {
    const PViewNode keep = focusedNode_ != nullptr && focusedNode_->Has(vsSelected) ? focusedNode_ : nullptr;
    ClearSelection();
    if (keep != nullptr) AddToSelection(keep);
  }
  if (InState(tsToggleFocusedSelection) && hitInfo.HitNode == focusedNode_ && focusedNode_ != nullptr) {
    if (focusedNode_->Has(vsSelected)) {
      RemoveFromSelection(focusedNode_);
    } else {
      AddToSelection(focusedNode_);
    }
    InvalidateNode(focusedNode_);
  }
  DoStateChange(0, tsToggleFocusedSelection | tsClearPending | tsDrawSelPending | tsOLEDragging | tsOLEDragPending |
                       tsScrolling | tsScrollPending);
  StopTimer(ScrollTimer);
  if (InState(tsMouseCheckPending)) {
    DoStateChange(0, tsMouseCheckPending);
    if (PViewNode node = std::exchange(checkNode_, nullptr); node != nullptr) {
      node->CheckState = UnpressedCheckState(node->CheckState);
      if (hitInfo.HitNode == node && (hitInfo.HitPositions & hiOnItem) != 0) DoCheckClick(node, pendingCheckState_);
      InvalidateNode(node);
    }
  }
  const TShiftState shift = MouseShiftState(message.WParam);
  const TColumnIndex clicked = Header().Columns().ClickIndex;
  if (clicked > NoColumn && clicked == hitInfo.HitColumn) DoColumnClick(clicked, shift);
  if (!InState(tsEditPending)) return;
  if (hitInfo.HitNode == focusedNode_ && focusedNode_ != nullptr && (hitInfo.HitPositions & hiOnItem) != 0 &&
      CanEdit(focusedNode_, hitInfo.HitColumn)) {
    editColumn_ = focusedColumn_;
    SetTimer(Handle(), EditTimer, EditDelay(), nullptr);
  } else {
    DoStateChange(0, tsEditPending);
  }
}

void TViewTreeMouse::HandleMouseDblClick(TMessage& message, const THitInfo& hitInfo) {
  if (!EndRunningEdit()) return;
  const PViewNode node = hitInfo.HitNode;
  const THitPositions at = hitInfo.HitPositions;
  if (hitInfo.HitColumn == Header().Columns().ClickIndex) {
    DoColumnDblClick(hitInfo.HitColumn, MouseShiftState(message.WParam));
  }
  if (node == nullptr) return;
  if ((at & hiOnItemCheckbox) != 0) {
    PressCheckBox(node, tsMouseCheckPending);
    return;
  }
  if ((at & hiOnItemButton) != 0) {
    ToggleNode(node);
    return;
  }
  if ((TreeOptions().MiscOptions() & toToggleOnDblClick) == 0) return;
  const bool onNode = (at & (hiOnItemButton | hiOnItemLabel | hiOnNormalIcon | hiOnStateIcon)) != 0 ||
                      (TreeOptions().SelectionOptions() & toFullRowSelect) != 0;
  if (onNode) ToggleNode(node);
}

void TViewTreeMouse::DoColumnClick(TColumnIndex column, TShiftState shift) {
  if (OnColumnClick) OnColumnClick(this, column, shift);
}

void TViewTreeMouse::DoColumnDblClick(TColumnIndex column, TShiftState shift) {
  if (OnColumnDblClick) OnColumnDblClick(this, column, shift);
}

void TViewTreeMouse::HandleHotTrack(int x, int y) {
  THitInfo hit;
  GetHitTestInfoAt(x, y, true, hit);
  const bool counts = (hit.HitPositions & (hiOnItemLabel | hiOnItemCheckbox)) != 0 ||
                      (TreeOptions().SelectionOptions() & toFullRowSelect) != 0;
  const PViewNode newHot = counts ? hit.HitNode : nullptr;
  if (newHot == currentHotNode_) return;
  const bool repaint = (TreeOptions().PaintOptions() & toHotTrack) != 0 ||
                       (TreeOptions().MiscOptions() & toCheckSupport) != 0;
  DoHotChange(currentHotNode_, newHot);
  if (repaint && currentHotNode_ != nullptr) InvalidateNode(currentHotNode_);
  currentHotNode_ = newHot;
  if (repaint && newHot != nullptr) InvalidateNode(newHot);
}

void TViewTreeMouse::MouseMove(TShiftState, int x, int y) {
  if (InState(tsDrawSelPending)) {
    if (CalculateSelectionRect(x, y)) RepaintSelectionRect();
    const RECT band = Normalized(newSelRect_);
    if (band.right - band.left > dragThreshold_ || band.bottom - band.top > dragThreshold_) {
      if (InState(tsClearPending)) {
        ClearSelection();
        DoStateChange(0, tsClearPending);
      }
      DoStateChange(tsDrawSelecting, tsDrawSelPending);
      ApplyRubberBandSelection();
    }
    return;
  }
  if (InState(tsWheelPanning) && InState(tsWheelScrolling) && BeyondDragThreshold(panningStart_, x, y)) {
    DoStateChange(0, tsWheelScrolling);
  }
  if (InState(tsOLEDragPending) && BeyondDragThreshold(lastClickPos_, x, y)) {
    DoDragging(lastClickPos_);
    return;
  }
  if (CanAutoScroll()) DoAutoScroll(x, y);
  if (!InState(tsDrawSelecting)) {
    HandleHotTrack(x, y);
  } else if (!InState(tsScrolling) && CalculateSelectionRect(x, y)) {
    RepaintSelectionRect();
    ApplyRubberBandSelection();
    UpdateWindow(Handle());
  }
}

// --- the rubber band ---

bool TViewTreeMouse::CalculateSelectionRect(int x, int y) {
  if (InState(tsDrawSelecting)) oldSelRect_ = newSelRect_;
  const RECT client = TreeClientRect();
  const POINT p = AbsolutePoint(x, y);
  const int right = std::max(rangeX_, static_cast<int>(client.right));
  const int bottom = std::max(VerticalRange(), static_cast<int>(client.bottom));
  const POINT corner{std::clamp(static_cast<int>(p.x), 0, right), std::clamp(static_cast<int>(p.y), 0, bottom)};
  if (corner.x == newSelRect_.right && corner.y == newSelRect_.bottom) return false;
  newSelRect_.right = corner.x;
  newSelRect_.bottom = corner.y;
  return true;
}

void TViewTreeMouse::RepaintSelectionRect() {
  if (!HandleAllocated()) return;
  if (DrawSelectionMode() == smBlendedRectangle) {
    InvalidateTree();
    return;
  }
  const RECT a = Normalized(oldSelRect_), b = Normalized(newSelRect_);
  // Content coordinates to client ones.
  const int dx = -effectiveOffsetX_, dy = offsetY_;
  const RECT both{std::min(a.left, b.left) + dx, std::min(a.top, b.top) + dy, std::max(a.right, b.right) + 1 + dx,
                  std::max(a.bottom, b.bottom) + 1 + dy};
  InvalidateRect(Handle(), &both, FALSE);
}

bool TViewTreeMouse::NodeUnderBand(PViewNode node, int rowTop, int rowStart, const RECT& band) {
  const int rowBottom = rowTop + static_cast<int>(node->NodeHeight);
  if (band.left == band.right && band.top == band.bottom) return false;
  if (!Overlaps(rowTop, rowBottom - 1, band.top, band.bottom)) return false;
  if ((TreeOptions().SelectionOptions() & toSimpleDrawSelection) != 0) return true;
  const TColumnIndex main = MainColumnOrNone();
  int columnLeft = 0, columnRight = TreeClientRect().right;
  if (Header().UseColumns()) {
    Header().Columns().ColumnBounds(main, columnLeft, columnRight);
    columnLeft += effectiveOffsetX_;
    columnRight += effectiveOffsetX_;
  }
  const RECT cell{columnLeft, 0, columnRight, static_cast<LONG>(node->NodeHeight)};
  const TVTCellLayout layout = LayoutCell(node, main, cell);
  (void)rowStart;
  int left = layout.Content.left, right = layout.Content.right;
  const int width = DoGetNodeWidth(node, main, nullptr);
  if (width > 0 && width < right - left) {
    switch (layout.Alignment) {
      case taLeftJustify: right = left + width; break;
      case taRightJustify: left = right - width; break;
      case taCenter: left += (right - left - width) / 2; right = left + width; break;
    }
  }
  return Overlaps(left, right, band.left, band.right);
}

void TViewTreeMouse::ApplyRubberBandSelection() {
  if (root_->TotalCount <= 2 || !InState(tsDrawSelecting)) return;
  const RECT before = Normalized(oldSelRect_), now = Normalized(newSelRect_);
  ClearTempCache();
  const bool toggle = (drawSelShiftState_ & ssCtrl) != 0;
  const int spanTop = std::min(before.top, now.top), spanBottom = std::max(before.bottom, now.bottom);
  int rowTop = 0;
  bool changed = false;
  for (PViewNode node = GetNodeAt(0, spanTop, false, rowTop); node != nullptr && rowTop <= spanBottom;
       rowTop += static_cast<int>(node->NodeHeight), node = GetNextVisible(node)) {
    const bool wasInside = NodeUnderBand(node, rowTop, 0, before);
    const bool inside = NodeUnderBand(node, rowTop, 0, now);
    if (wasInside == inside) continue;
    changed = true;
    if (toggle && node->Has(vsSelected)) {
      InternalRemoveFromSelection(node);
    } else if (toggle || inside) {
      AddToTempCache(node);
    } else {
      InternalRemoveFromSelection(node);
    }
  }
  if (!changed) return;
  PackSelection();
  if (!tempNodeCache_.empty()) InternalAddNodesToSelection(tempNodeCache_, false);
  ClearTempCache();
  InvalidateTree();
  Change(nullptr);
}

// --- scrolling by itself ---

bool TViewTreeMouse::DoSetOffsetXY(POINT value, TScrollUpdateOptions options) {
  if (!TViewTreeHints::DoSetOffsetXY(value, options)) return false;
  if (Application != nullptr) Application->CancelHint();
  UpdateEditBounds();
  if (HandleAllocated()) {
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(Handle(), &cursor);
    if (PointInside(TreeClientRect(), cursor)) HandleHotTrack(cursor.x, cursor.y);
  }
  return true;
}

void TViewTreeMouse::DoColumnResize(TColumnIndex column) {
  TViewTreePainting::DoColumnResize(column);
  UpdateEditBounds();
}

bool TViewTreeMouse::CanAutoScroll() {
  const bool panning = WheelPanning();
  if ((TreeOptions().AutoOptions() & toAutoScroll) == 0 && !panning) return false;
  if (Header().InHeaderState(hstDragging | hstDragPending | hstWidthTracking | hstWidthTrackPending)) return false;
  return InState(tsDrawSelPending | tsDrawSelecting | tsVCLDragging) || IsCurrentDropTarget() || panning;
}

TScrollDirections TViewTreeMouse::AutoScrollDirections(int x, int y) {
  if (!CanAutoScroll()) return 0;
  TScrollDirections directions = 0;
  if (WheelPanning()) {
    if (x < panningStart_.x - PanningDeadZone) directions |= sdLeft;
    if (x > panningStart_.x + PanningDeadZone) directions |= sdRight;
    if (y < panningStart_.y - PanningDeadZone) directions |= sdUp;
    if (y > panningStart_.y + PanningDeadZone) directions |= sdDown;
    return directions;
  }
  const RECT client = TreeClientRect();
  const int zone = static_cast<int>(DefaultNodeHeight());
  if (x < zone && effectiveOffsetX_ > 0) directions |= sdLeft;
  if (effectiveOffsetX_ + client.right < rangeX_ && x > client.right - zone) directions |= sdRight;
  if (y < zone && offsetY_ < 0) directions |= sdUp;
  if (client.bottom - offsetY_ < VerticalRange() && y > client.bottom - zone) directions |= sdDown;
  if (directions != 0 && !IsCurrentDropTarget()) {
    POINT screen{x, y};
    ClientToScreen(Handle(), &screen);
    if (WindowFromPoint(screen) != Handle()) directions = 0;
  }
  return directions;
}

void TViewTreeMouse::DoAutoScroll(int x, int y) {
  scrollDirections_ = AutoScrollDirections(x, y);
  if (WheelPanning()) return;
  if (scrollDirections_ != 0) {
    if (!InState(tsScrollPending | tsScrolling)) {
      DoStateChange(tsScrollPending);
      SetTimer(Handle(), ScrollTimer, AutoScrollDelay(), nullptr);
    }
  } else if (InState(tsScrollPending | tsScrolling)) {
    StopTimer(ScrollTimer);
    DoStateChange(0, tsScrolling | tsScrollPending);
  }
}

void TViewTreeMouse::DoTimerScroll() {
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(Handle(), &cursor);
  const RECT client = TreeClientRect();
  const bool panning = WheelPanning();
  const bool inside = PointInside(client, cursor);
  auto step = [&](int increment, int distance) { return inside ? increment : increment * std::max(distance, 1); };
  const int vertical = std::min<int>(ScrollBarOptions().VerticalIncrement(), client.bottom);
  const int horizontal = ScrollBarOptions().HorizontalIncrement();
  int dx = 0, dy = 0;
  if ((scrollDirections_ & sdUp) != 0) {
    dy = panning ? panningStart_.y - cursor.y - PanningDeadZone : step(vertical, client.top - cursor.y);
    if (offsetY_ == 0) scrollDirections_ &= ~sdUp, dy = 0;
  }
  if ((scrollDirections_ & sdDown) != 0) {
    dy = panning ? panningStart_.y - cursor.y + PanningDeadZone : -step(vertical, cursor.y - client.bottom);
    if (client.bottom - offsetY_ >= VerticalRange()) scrollDirections_ &= ~sdDown, dy = 0;
  }
  if ((scrollDirections_ & sdLeft) != 0) {
    dx = panning ? panningStart_.x - cursor.x - PanningDeadZone : step(horizontal, client.left - cursor.x);
    if (effectiveOffsetX_ == 0) scrollDirections_ &= ~sdLeft, dx = 0;
  }
  if ((scrollDirections_ & sdRight) != 0) {
    dx = panning ? panningStart_.x - cursor.x + PanningDeadZone : -step(horizontal, cursor.x - client.right);
    if (effectiveOffsetX_ + client.right >= rangeX_) scrollDirections_ &= ~sdRight, dx = 0;
  }
  if (UseRightToLeftReading()) dx = -dx;
  if (dx == 0 && dy == 0) return;
  DoSetOffsetXY(POINT{offsetX_ + dx, offsetY_ + dy}, DefaultScrollUpdateFlags);
  if (InState(tsDrawSelPending | tsDrawSelecting) && CalculateSelectionRect(cursor.x, cursor.y)) {
    RepaintSelectionRect();
    ApplyRubberBandSelection();
  }
}

void TViewTreeMouse::StartWheelPanning(POINT position) {
  StopTimer(ScrollTimer);
  DoStateChange(tsWheelPanning | tsWheelScrolling);
  panningStart_ = position;
  scrollDirections_ = 0;
  SetCapture(Handle());
  SetTimer(Handle(), ScrollTimer, 20, nullptr);
}

void TViewTreeMouse::StopWheelPanning() {
  if (!WheelPanning()) return;
  StopTimer(ScrollTimer);
  if (GetCapture() == Handle()) ReleaseCapture();
  DoStateChange(0, tsWheelPanning | tsWheelScrolling);
  scrollDirections_ = 0;
}

// --- incremental search ---

PViewNode TViewTreeMouse::SearchStartNode() {
  PViewNode start = nullptr;
  switch (IncrementalSearchStart()) {
    case ssAlwaysStartOver: break;
    case ssLastHit: start = lastSearchNode_; break;
    case ssFocusedNode: start = focusedNode_; break;
  }
  if (start == nullptr) return nullptr;
  if (IncrementalSearch() == isInitializedOnly && !start->Has(vsInitialized)) return nullptr;
  if (IncrementalSearch() == isVisibleOnly && !FullyVisible(start)) return nullptr;
  return start;
}

// The next node in the search order; with Wrap the order starts over at its end.
PViewNode TViewTreeMouse::SearchStep(PViewNode node, bool wrap) {
  const bool forward = IncrementalSearchDirection() == sdForward;
  PViewNode next = nullptr;
  switch (IncrementalSearch()) {
    case isAll:
      next = node == nullptr ? nullptr : forward ? GetNext(node) : GetPrevious(node);
      if (next == nullptr && wrap) next = forward ? GetFirst() : GetLast();
      break;
    case isInitializedOnly:
      next = node == nullptr ? nullptr : forward ? GetNextNoInit(node) : GetPreviousNoInit(node);
      if (next == nullptr && wrap) next = forward ? GetFirstNoInit() : GetLastNoInit();
      break;
    case isVisibleOnly:
      next = node == nullptr ? nullptr : forward ? GetNextVisible(node) : GetPreviousVisible(node);
      if (next == nullptr && wrap) next = forward ? GetFirstVisible() : GetLastVisible();
      break;
    case isNone: break;
  }
  return next;
}

void TViewTreeMouse::HandleIncrementalSearch(WORD charCode) {
  StopTimer(SearchTimer);
  if (IncrementalSearch() == isNone) return;
  if (charCode != 0) {
    DoStateChange(tsIncrementalSearching);
    const char byte = static_cast<char>(charCode & 0xFF);
    const std::u16string typed = charCode < 0x100 ? platform::AnsiToWide(std::string_view(&byte, 1))
                                                  : std::u16string(1, static_cast<char16_t>(charCode));
    const char16_t ch = typed.empty() ? static_cast<char16_t>(charCode) : typed.front();
    const bool backspace = ch == u'\b';
    if (!(backspace && searchBuffer_.size() <= 1)) {
      const PViewNode start = SearchStartNode();
      bool repeated = searchBuffer_.size() == 1 && !backspace && searchBuffer_.front() == ch;
      if (repeated && start != nullptr && DoIncrementalSearch(start, searchBuffer_ + ch) == 0) repeated = false;
      const bool fromNext = start == nullptr || searchBuffer_.empty() || repeated || backspace;
      if (backspace) {
        searchBuffer_.pop_back();
      } else if (!repeated) {
        searchBuffer_ += ch;
      }
      PViewNode node = fromNext ? SearchStep(start, true) : start;
      if (node == nullptr) node = SearchStep(nullptr, true);
      const PViewNode first = node;
      PViewNode found = nullptr;
      while (node != nullptr) {
        if (DoIncrementalSearch(node, searchBuffer_) == 0) {
          found = node;
          break;
        }
        node = SearchStep(node, true);
        if (node == first) break;
      }
      if (found != nullptr) {
        ClearSelection();
        SetFocusedNode(found);
        AddToSelection(found);
        lastSearchNode_ = found;
      } else if (start != nullptr && DoIncrementalSearch(start, searchBuffer_) != 0) {
        MessageBeep(0);
      }
    }
  }
  SetTimer(Handle(), SearchTimer, IncrementalSearchTimeout(), nullptr);
}
