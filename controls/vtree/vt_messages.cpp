#include "controls/vtree/vt_messages.h"

#include <algorithm>
#include <cstring>

#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/system_metrics.h"
#include "platform/win/common_controls.h"
#include "platform/win/input.h"
#include "platform/win/keyboard.h"
#include "platform/win/std_controls.h"

namespace {

bool IsNavigationKey(WORD key) {
  return key == VK_BACK || key == VK_TAB || (key >= VK_PRIOR && key <= VK_DOWN);
}

// "*", "+", "-" and "/" typed anywhere on the keyboard count as the numeric pad's keys.
WORD NumericPadKey(WORD key, TShiftState shift) {
  static constexpr struct {
    char16_t character;
    WORD padKey;
  } kPad[] = {{u'*', VK_MULTIPLY}, {u'+', VK_ADD}, {u'-', VK_SUBTRACT}, {u'/', VK_DIVIDE}};
  for (const auto& pad : kPad) {
    const short scan = VkKeyScanW(pad.character);
    if (scan == -1) continue;
    const bool needsShift = ((scan >> 8) & 1) != 0;
    if ((scan & 0xFF) == key && needsShift == ((shift & ssShift) != 0)) return pad.padKey;
  }
  return key;
}

}  // namespace

// --- routing ---

THitInfo TViewTreeMessages::HitAt(LPARAM position) {
  THitInfo hit;
  GetHitTestInfoAt(GET_X_LPARAM(position), GET_Y_LPARAM(position), true, hit);
  return hit;
}

void TViewTreeMessages::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_SETFOCUS:
      TViewTreeMouse::WndProc(message);
      if (!(selection_.empty() && (TreeOptions().PaintOptions() & toGhostedIfUnfocused) != 0)) InvalidateTree();
      return;
    case WM_KILLFOCUS:
      TViewTreeMouse::WndProc(message);
      StopModes(tsEditPending | tsIncrementalSearching | tsLeftButtonDown | tsMiddleButtonDown | tsOLEDragPending |
                tsRightButtonDown | tsScrolling | tsScrollPending | tsVCLDragPending);
      if (selection_.empty() && (TreeOptions().PaintOptions() & toGhostedIfUnfocused) != 0) {
        if (focusedNode_ != nullptr) InvalidateNode(focusedNode_);
      } else {
        InvalidateTree();
      }
      return;
    case WM_CANCELMODE:
      StopModes(tsClearPending | tsDrawSelPending | tsDrawSelecting | tsEditPending | tsIncrementalSearching |
                tsOLEDragPending | tsVCLDragPending);
      TViewTreeMouse::WndProc(message);
      return;
    case WM_ENABLE:
      TViewTreeMouse::WndProc(message);
      RedrawWindow(Handle(), nullptr, 0, RDW_INVALIDATE | RDW_NOERASE | RDW_FRAME | RDW_NOCHILDREN);
      return;
    case WM_CONTEXTMENU:
      DoStateChange(0, tsClearPending | tsEditPending | tsOLEDragPending | tsVCLDragPending);
      if (!InState(tsPopupMenuShown) && PopupMenu != nullptr && PopupMenu->AutoPopup) {
        PopupMenu->PopupComponent = this;
        PopupMenu->Popup(GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
        return;
      }
      TViewTreeMouse::WndProc(message);
      return;
    case WM_NCHITTEST: {
      TViewTreeMouse::WndProc(message);
      POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
      ScreenToClient(Handle(), &p);
      if (Header().PointInHeader(p)) message.Result = HTBORDER;
      return;
    }
    case WM_NCDESTROY:
      StopCacheValidation();
      StopTimer(ChangeTimer);
      StopTimer(StructureChangeTimer);
      TViewTreeMouse::WndProc(message);
      return;
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (WantTabs() ? DLGC_WANTTAB : 0);
      return;
    case WM_KEYDOWN:
      KeyDownMessage(message);
      return;
    case WM_KEYUP:
      KeyUpMessage(message);
      return;
    case WM_CHAR:
      if (InState(tsIncrementalSearchPending)) {
        HandleIncrementalSearch(static_cast<WORD>(message.WParam));
        DoStateChange(0, tsIncrementalSearchPending);
      }
      TViewTreeMouse::WndProc(message);
      return;
    case WM_TIMER:
      if (!TimerMessage(message.WParam)) TViewTreeMouse::WndProc(message);
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      MouseButtonMessage(message);
      return;
    case WM_MOUSEMOVE:
      MouseMove(MouseShiftState(message.WParam), GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
      TViewTreeMouse::WndProc(message);
      return;
    case WM_MOUSEWHEEL:
      WheelMessage(message);
      return;
    case CM_MOUSELEAVE:
      DoStateChange(0, tsHint);
      if (!WheelPanning()) {
        StopTimer(ScrollTimer);
        DoStateChange(0, tsScrollPending | tsScrolling);
      }
      if (currentHotNode_ != nullptr) {
        DoHotChange(currentHotNode_, nullptr);
        InvalidateNode(currentHotNode_);
        currentHotNode_ = nullptr;
      }
      Header().Columns().HoverIndex = NoColumn;
      Header().Columns().DownIndex = NoColumn;
      TViewTreeMouse::WndProc(message);
      return;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      if (!Focused() && CanFocus()) SetFocus();
      TViewTreeMouse::WndProc(message);
      return;
    case CM_COLORCHANGED:
      TViewTreeMouse::WndProc(message);
      if (!IsLoading()) InvalidateTree();
      return;
    case CM_FONTCHANGED:
      TViewTreeMouse::WndProc(message);
      if (IsLoading()) return;
      InvalidateTree();
      // A header that follows the tree's font takes the new one.
      if (Header().ParentFont()) Header().SetParentFont(true);
      Header().InvalidateHeader();
      return;
    case WM_PRINT:
      if ((message.LParam & PRF_CHECKVISIBLE) == 0 || IsWindowVisible(Handle())) {
        Header().Columns().PaintHeader(static_cast<HDC>(message.WParam), HeaderRect(), -EffectiveOffsetX());
      }
      TViewTreeMouse::WndProc(message);
      return;
    case WM_PRINTCLIENT:
      if ((message.LParam & PRF_CHECKVISIBLE) == 0 || IsWindowVisible(Handle())) {
        PrintClient(static_cast<HDC>(message.WParam));
      }
      return;
    case TVM_GETITEMRECT:
    case TVM_GETNEXTITEM:
    case TVM_GETITEMA:
      message.Result = TreeViewQuery(message);
      return;
    default:
      TViewTreeMouse::WndProc(message);
  }
}

void TViewTreeMessages::StopModes(TViewTreeStates leave) {
  StopWheelPanning();
  for (UINT_PTR timer : {ExpandTimer, EditTimer, HeaderTimer, ScrollTimer, SearchTimer}) StopTimer(timer);
  searchBuffer_.clear();
  DoStateChange(0, leave);
}

bool TViewTreeMessages::TimerMessage(UINT_PTR id) {
  switch (id) {
    case EditTimer:
      DoEdit();
      return true;
    case ScrollTimer:
      if (InState(tsScrollPending)) {
        if (Application != nullptr) Application->CancelHint();
        SetTimer(Handle(), ScrollTimer, AutoScrollInterval(), nullptr);
        DoStateChange(tsScrolling, tsScrollPending);
      }
      DoTimerScroll();
      return true;
    case SearchTimer:
      DoStateChange(0, tsIncrementalSearching);
      StopTimer(SearchTimer);
      searchBuffer_.clear();
      lastSearchNode_ = nullptr;
      return true;
    default:
      return false;
  }
}

// --- the mouse ---

void TViewTreeMessages::MouseButtonMessage(TMessage& message) {
  const TVTSelectionOptions options = TreeOptions().SelectionOptions();
  const bool headerIdle = Header().States() == 0;
  const POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
      DoStateChange(tsLeftButtonDown);
      TViewTreeMouse::WndProc(message);
      HandleMouseDown(message, HitAt(message.LParam));
      return;
    case WM_LBUTTONUP:
      DoStateChange(0, tsLeftButtonDown);
      HandleMouseUp(message, HitAt(message.LParam));
      TViewTreeMouse::WndProc(message);
      return;
    case WM_LBUTTONDBLCLK:
      DoStateChange(tsLeftDblClick);
      TViewTreeMouse::WndProc(message);
      HandleMouseDblClick(message, HitAt(message.LParam));
      DoStateChange(0, tsLeftDblClick);
      return;
    case WM_RBUTTONDOWN:
      DoStateChange(tsRightButtonDown);
      if (!headerIdle) return;
      TViewTreeMouse::WndProc(message);
      if ((options & toRightClickSelect) != 0) HandleMouseDown(message, HitAt(message.LParam));
      return;
    case WM_RBUTTONUP: {
      DoStateChange(0, tsRightButtonDown | tsPopupMenuShown);
      if (!headerIdle) return;
      if (Application != nullptr) Application->CancelHint();
      if (IsMouseSelecting() && PopupMenu != nullptr) {
        DoStateChange(0, tsDrawSelPending | tsDrawSelecting);
        InvalidateTree();
      }
      TViewTreeMouse::WndProc(message);
      const THitInfo hit = HitAt(message.LParam);
      if ((options & toRightClickSelect) != 0) HandleMouseUp(message, hit);
      if (PopupMenu == nullptr) DoPopupMenu(hit.HitNode, hit.HitColumn, p);
      return;
    }
    case WM_RBUTTONDBLCLK:
      DoStateChange(tsRightDblClick);
      TViewTreeMouse::WndProc(message);
      if ((options & toRightClickSelect) != 0) HandleMouseDblClick(message, HitAt(message.LParam));
      DoStateChange(0, tsRightDblClick);
      return;
    case WM_MBUTTONDOWN: {
      DoStateChange(tsMiddleButtonDown);
      if (!headerIdle) return;
      TViewTreeMouse::WndProc(message);
      const RECT client = TreeClientRect();
      const bool larger = rangeX_ > client.right || VerticalRange() > client.bottom;
      if ((TreeOptions().MiscOptions() & toWheelPanning) != 0 && !WheelPanning() && !InState(tsScrolling) && larger) {
        lastClickPos_ = p;
        StartWheelPanning(p);
        return;
      }
      StopWheelPanning();
      if ((options & toMiddleClickSelect) != 0) HandleMouseDown(message, HitAt(message.LParam));
      return;
    }
    case WM_MBUTTONUP:
      DoStateChange(0, tsMiddleButtonDown);
      if (!WheelPanning() && !InState(tsScrolling)) {
        if (!headerIdle) return;
        TViewTreeMouse::WndProc(message);
        if ((options & toMiddleClickSelect) != 0) HandleMouseUp(message, HitAt(message.LParam));
      } else if (InState(tsWheelScrolling)) {
        // Released where it was pressed: the view pans until the next press.
        DoStateChange(0, tsWheelPanning);
      } else {
        StopWheelPanning();
      }
      return;
    case WM_MBUTTONDBLCLK:
      DoStateChange(tsMiddleDblClick);
      TViewTreeMouse::WndProc(message);
      if ((options & toMiddleClickSelect) != 0) HandleMouseDblClick(message, HitAt(message.LParam));
      DoStateChange(0, tsMiddleDblClick);
      return;
  }
}

void TViewTreeMessages::WheelMessage(TMessage& message) {
  StopWheelPanning();
  message.Result = 1;
  const int delta = GET_WHEEL_DELTA_WPARAM(message.WParam);
  const bool ctrl = (GET_KEYSTATE_WPARAM(message.WParam) & MK_CONTROL) != 0;
  const RECT client = TreeClientRect();
  const int rowHeight = static_cast<int>(DefaultNodeHeight());
  if (client.bottom >= VerticalRange()) {
    int amount = delta / WHEEL_DELTA;
    if (ctrl) amount *= client.right;
    const int step = amount * static_cast<int>(Indent());
    SetOffsetX(offsetX_ + (UseRightToLeftReading() ? -step : step));
    return;
  }
  const int page = rowHeight > 0 ? client.bottom / rowHeight : 0;
  int amount = 0;
  if (ctrl) {
    amount = page * (delta / WHEEL_DELTA);
  } else {
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    amount = lines == 0xFFFFFFFF ? page * (delta / WHEEL_DELTA) : delta * static_cast<int>(lines) / WHEEL_DELTA;
  }
  SetOffsetY(offsetY_ + amount * rowHeight);
}

void TViewTreeMessages::DoPopupMenu(PViewNode node, TColumnIndex column, POINT position) {
  TPopupMenu* menu = DoGetPopupMenu(node, column, position);
  if (menu == nullptr) return;
  DoStateChange(tsPopupMenuShown);
  StopTimer(EditTimer);
  menu->PopupComponent = this;
  ClientToScreen(Handle(), &position);
  menu->Popup(position.x, position.y);
}

void TViewTreeMessages::PrintClient(HDC dc) {
  TCanvas canvas;
  canvas.SetHandle(dc);
  RECT window = TreeClientRect();
  const POINT target{window.left, window.top};
  window.left += effectiveOffsetX_;
  window.right += effectiveOffsetX_;
  window.top -= offsetY_;
  window.bottom -= offsetY_;
  PaintTree(canvas, window, target, poBackground | poDrawFocusRect | poDrawSelection | poDrawDropMark | poGridLines);
  canvas.SetHandle(0);
}

// --- the keyboard ---

bool TViewTreeMessages::DoKeyAction(WORD& charCode, TShiftState& shift) {
  bool doDefault = true;
  if (OnKeyAction) OnKeyAction(this, charCode, shift, doDefault);
  return doDefault;
}

void TViewTreeMessages::KeyDownMessage(TMessage& message) {
  WORD key = static_cast<WORD>(message.WParam);
  TShiftState shift = KeyboardShiftState();
  KeyDown(key, shift);
  if (key == 0) return;
  // Tab, Return and Escape go to the form's focus order and buttons unless wanted here.
  const bool dialogKey = key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE;
  if (dialogKey && DoDialogKey(key, message.LParam)) return;
  if (!DoKeyAction(key, shift)) return;
  if (InState(tsKeyCheckPending) && key != VK_SPACE) CancelCheckPress();
  HandleKeyDown(key, shift);
}

void TViewTreeMessages::CancelCheckPress() {
  DoStateChange(0, tsKeyCheckPending);
  if (PViewNode node = std::exchange(checkNode_, nullptr); node != nullptr) {
    node->CheckState = UnpressedCheckState(node->CheckState);
    InvalidateNode(node);
  }
}

void TViewTreeMessages::KeyUpMessage(TMessage& message) {
  TViewTreeMouse::WndProc(message);
  if (message.WParam != VK_SPACE || !InState(tsKeyCheckPending)) return;
  DoStateChange(0, tsKeyCheckPending);
  PViewNode node = std::exchange(checkNode_, nullptr);
  if (node == nullptr) return;
  node->CheckState = UnpressedCheckState(node->CheckState);
  if (node == focusedNode_) DoCheckClick(node, pendingCheckState_);
  InvalidateNode(node);
}

void TViewTreeMessages::HandleKeyDown(WORD key, TShiftState shift) {
  if (IsNavigationKey(key)) {
    NavigationKey(key, shift);
    return;
  }
  key = NumericPadKey(key, shift);
  const bool ctrl = (shift & ssCtrl) != 0;
  const bool searching = InState(tsIncrementalSearching);
  switch (key) {
    case VK_ADD:
    case VK_SUBTRACT:
      if (searching) {
        DoStateChange(tsIncrementalSearchPending);
      } else {
        ExpandKey(key == VK_ADD, shift);
      }
      return;
    case VK_MULTIPLY:
    case VK_DIVIDE:
      if (searching) {
        DoStateChange(tsIncrementalSearchPending);
      } else if (focusedNode_ != nullptr) {
        key == VK_MULTIPLY ? FullExpand(focusedNode_) : FullCollapse(focusedNode_);
      }
      return;
    case VK_F2:
      if ((shift & (ssShift | ssCtrl | ssAlt)) == 0 && focusedNode_ != nullptr && CanEdit(focusedNode_, focusedColumn_)) {
        editColumn_ = focusedColumn_;
        DoEdit();
      }
      return;
    case VK_ESCAPE:
      if (IsMouseSelecting()) {
        DoStateChange(0, tsDrawSelPending | tsDrawSelecting);
        InvalidateTree();
      } else if (InState(tsEditing | tsEditPending)) {
        CancelEditNode();
      }
      return;
    case VK_SPACE:
      SpaceKey();
      return;
    case 'A':
    case 'a':
      if (ctrl) {
        SelectAll(false);
      } else {
        DoStateChange(tsIncrementalSearchPending);
      }
      return;
    case VK_APPS:
      if (focusedNode_ != nullptr) {
        const RECT r = GetDisplayRect(focusedNode_, focusedColumn_, true);
        int width = (r.right - r.left) / 2;
        if (Header().Columns().IsValidColumn(focusedColumn_)) {
          width = std::min(width, Header().Columns()[focusedColumn_].Width());
        }
        width = std::min<int>(width, TreeClientRect().right);
        DoPopupMenu(focusedNode_, focusedColumn_, POINT{r.left + width, (r.top + r.bottom) / 2});
      }
      return;
    default:
      if ((shift & (ssCtrl | ssAlt)) == 0 && key >= 32) DoStateChange(tsIncrementalSearchPending);
  }
}

void TViewTreeMessages::ExpandKey(bool expand, TShiftState shift) {
  const bool ctrl = (shift & ssCtrl) != 0, withShift = (shift & ssShift) != 0;
  if (!ctrl) {
    if (focusedNode_ != nullptr && focusedNode_->Has(vsHasChildren) && focusedNode_->Has(vsExpanded) != expand) {
      ToggleNode(focusedNode_);
    }
  } else if (withShift) {
    expand ? FullExpand() : FullCollapse();
  } else if (expand) {
    Header().FitColumnsToText(false);
  } else {
    Header().RestoreColumnWidths();
  }
}

void TViewTreeMessages::SpaceKey() {
  if ((TreeOptions().MiscOptions() & toCheckSupport) == 0) {
    DoStateChange(tsIncrementalSearchPending);
    return;
  }
  if (focusedNode_ != nullptr) PressCheckBox(focusedNode_, tsKeyCheckPending);
}

void TViewTreeMessages::NavigationKey(WORD key, TShiftState shift) {
  const bool multiSelect = (TreeOptions().SelectionOptions() & toMultiSelect) != 0;
  const TShiftState modifiers = shift & (ssShift | ssCtrl | ssAlt);
  const bool withShift = (shift & ssShift) != 0;
  const bool extendedSelection = withShift && multiSelect && !InState(tsEditing);
  const bool rangeAdd = extendedSelection && (key == VK_PRIOR || key == VK_NEXT || key == VK_END || key == VK_HOME);
  const bool repaintAll = rangeAdd || SelectedCount() > 1;
  const bool grid = (TreeOptions().MiscOptions() & toGridExtensions) != 0;
  const bool clear = modifiers == 0 || !multiSelect ||
                     ((key == VK_BACK || key == VK_TAB) && (!grid || withShift)) ||
                     (shift & (ssShift | ssCtrl)) == 0;
  PViewNode lastFocused = focusedNode_;
  if (lastFocused == nullptr && modifiers != 0) lastFocused = GetFirstVisible();
  if (rangeAnchor_ == nullptr) {
    rangeAnchor_ = GetFirstSelected();
    if (rangeAnchor_ == nullptr) rangeAnchor_ = GetFirst();
  }
  const PViewNode before = focusedNode_;
  MoveByKey(key, shift, extendedSelection);
  const bool moved = focusedNode_ != before;
  bool cleared = false;
  if (clear && (moved || SelectedCount() != 1)) {
    ClearSelection();
    cleared = true;
  }
  if (modifiers == 0 && focusedNode_ != nullptr) {
    rangeAnchor_ = focusedNode_;
    selectionLevel_ = static_cast<int>(GetNodeLevel(focusedNode_));
  }
  if (rangeAdd && lastFocused != nullptr && focusedNode_ != nullptr) SelectNodes(lastFocused, focusedNode_, true);
  if (focusedNode_ != nullptr && (moved || cleared)) AddToSelection(focusedNode_);
  if (repaintAll) InvalidateTree();
}

void TViewTreeMessages::PageKey(bool up, bool ctrl) {
  const int clientHeight = TreeClientRect().bottom;
  if (ctrl) {
    SetOffsetY(offsetY_ + (up ? clientHeight : -clientHeight));
    return;
  }
  PViewNode node = focusedNode_;
  if (node == nullptr) {
    SetFocusedNode(up ? GetFirstVisible() : GetLastVisible());
    return;
  }
  int height = 0;
  for (PViewNode next = up ? GetPreviousVisible(node) : GetNextVisible(node);
       next != nullptr && height + static_cast<int>(next->NodeHeight) < clientHeight;
       next = up ? GetPreviousVisible(next) : GetNextVisible(next)) {
    height += next->NodeHeight;
    node = next;
  }
  SetFocusedNode(node);
}

void TViewTreeMessages::HomeEndKey(bool home, TShiftState shift) {
  const bool toStart = home != UseRightToLeftAlignment();
  PViewNode target = toStart ? GetFirstVisible() : GetLastVisible();
  const bool ctrl = (shift & ssCtrl) != 0;
  const bool grid = (TreeOptions().MiscOptions() & toGridExtensions) != 0;
  const bool fullRow = (TreeOptions().SelectionOptions() & toFullRowSelect) != 0;
  TColumnIndex column = NoColumn;
  if (Header().UseColumns()) {
    const TViewTreeColumns& columns = Header().Columns();
    for (column = home ? columns.FirstVisibleColumn() : columns.LastVisibleColumn();
         columns.IsValidColumn(column) && !DoFocusChanging(focusedNode_, target, focusedColumn_, column);
         column = home ? columns.NextVisibleColumn(column) : columns.PreviousVisibleColumn(column)) {
    }
  }
  if (Header().Columns().IsValidColumn(column)) {
    if (grid && !ctrl && !fullRow) {
      SetFocusedColumn(column);
      return;
    }
    if (ctrl && (shift & (ssShift | ssAlt)) == 0 && !grid) {
      if (target != nullptr) {
        ScrollIntoView(target, (TreeOptions().SelectionOptions() & toCenterScrollIntoView) != 0,
                       (TreeOptions().AutoOptions() & toDisableAutoscrollOnFocus) == 0);
      }
      SetOffsetX(home && !UseRightToLeftReading() ? 0 : -2147483647);
      return;
    }
  }
  SetFocusedNode(target);
  if (grid && !fullRow && Header().Columns().IsValidColumn(column)) SetFocusedColumn(column);
}

void TViewTreeMessages::TabKey(bool back) {
  if ((TreeOptions().SelectionOptions() & toExtendedFocus) == 0 || !Header().UseColumns()) return;
  const TViewTreeColumns& columns = Header().Columns();
  PViewNode node = focusedNode_;
  TColumnIndex column = focusedColumn_;
  while (node != nullptr) {
    column = back ? columns.PreviousVisibleColumn(column) : columns.NextVisibleColumn(column);
    if (!columns.IsValidColumn(column)) {
      node = back ? GetPreviousVisible(node) : GetNextVisible(node);
      if (node == nullptr) return;
      column = back ? columns.LastVisibleColumn() : columns.FirstVisibleColumn();
    }
    if (DoFocusChanging(focusedNode_, node, focusedColumn_, column)) {
      SetFocusedNodeAndColumn(node, column);
      return;
    }
  }
}

void TViewTreeMessages::MoveByKey(WORD key, TShiftState shift, bool extendedSelection) {
  const bool ctrl = (shift & ssCtrl) != 0;
  const bool noModifier = (shift & (ssShift | ssCtrl | ssAlt)) == 0;
  const bool columnMoves = (TreeOptions().SelectionOptions() & toExtendedFocus) != 0 &&
                           (TreeOptions().MiscOptions() & toGridExtensions) != 0;
  const int indent = static_cast<int>(Indent()) * (UseRightToLeftReading() ? -1 : 1);
  const PViewNode old = focusedNode_;
  switch (key) {
    case VK_BACK:
      if (InState(tsIncrementalSearching)) {
        DoStateChange(tsIncrementalSearchPending);
      } else if (old != nullptr && old->Parent != root_) {
        SetFocusedNode(old->Parent);
      }
      return;
    case VK_TAB:
      TabKey((shift & ssShift) != 0);
      return;
    case VK_PRIOR:
    case VK_NEXT:
      PageKey(key == VK_PRIOR, ctrl);
      return;
    case VK_HOME:
    case VK_END:
      HomeEndKey(key == VK_HOME, shift);
      return;
    case VK_LEFT:
    case VK_RIGHT: {
      const bool left = key == VK_LEFT;
      if (ctrl) {
        SetOffsetX(offsetX_ + (left ? indent : -indent));
      } else if (columnMoves) {
        const TColumnIndex next = left ? Header().Columns().PreviousVisibleColumn(focusedColumn_)
                                       : Header().Columns().NextVisibleColumn(focusedColumn_);
        if (Header().Columns().IsValidColumn(next)) SetFocusedColumn(next);
      } else if (old == nullptr) {
        SetFocusedNode(GetFirstVisible());
      } else if (noModifier && old->Has(vsHasChildren) && old->Has(vsExpanded) == left) {
        ToggleNode(old);
      } else if (left) {
        if (old->Parent == root_) return;
        const PViewNode parent = old->Parent;
        SetFocusedNode(parent);
        if (!extendedSelection || focusedNode_ != parent) return;
        if (old->PrevSibling != nullptr) {
          SelectNodes(parent, old, true);
        } else if (CompareNodePositions(parent, rangeAnchor_) > 0) {
          RemoveFromSelection(old);
        }
      } else {
        const PViewNode child = GetFirstVisibleChild(old);
        if (child == nullptr) return;
        SetFocusedNode(child);
        if (extendedSelection && focusedNode_ == child && CompareNodePositions(child, rangeAnchor_) < 0) {
          RemoveFromSelection(old);
        }
      }
      return;
    }
    case VK_UP:
    case VK_DOWN: {
      const bool up = key == VK_UP;
      if (ctrl) {
        const int step = static_cast<int>(DefaultNodeHeight());
        SetOffsetY(offsetY_ + (up ? step : -step));
        return;
      }
      PViewNode next = old == nullptr ? (up ? GetLastVisible() : GetFirstVisible())
                                      : (up ? GetPreviousVisible(old) : GetNextVisible(old));
      if (next == nullptr) {
        if (old != nullptr) InvalidateNode(old);
        return;
      }
      if (focusedColumn_ < NoColumn) focusedColumn_ = Header().MainColumn();
      SetFocusedNode(next);
      const int side = up ? 1 : -1;
      if (extendedSelection && old != nullptr && focusedNode_ == next &&
          CompareNodePositions(old, rangeAnchor_) * side > 0) {
        RemoveFromSelection(old);
      }
      return;
    }
  }
}

// --- tree-view queries ---

bool TViewTreeMessages::OwnsNode(const void* item) {
  if (item == nullptr) return false;
  for (PViewNode node = GetFirstNoInit(); node != nullptr; node = GetNextNoInit(node)) {
    if (node == item) return true;
  }
  return false;
}

LRESULT TViewTreeMessages::TreeViewQuery(const TMessage& message) {
  switch (message.Msg) {
    case TVM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(message.LParam);
      if (rect == nullptr) return FALSE;
      HTREEITEM item = nullptr;
      std::memcpy(&item, rect, sizeof(item));
      if (!OwnsNode(item)) return FALSE;
      *rect = GetDisplayRect(static_cast<PViewNode>(item), NoColumn, message.WParam != 0);
      return TRUE;
    }
    case TVM_GETNEXTITEM: {
      auto* item = reinterpret_cast<void*>(message.LParam);
      const bool needsNode = message.WParam == TVGN_NEXT || message.WParam == TVGN_PREVIOUS ||
                             message.WParam == TVGN_PARENT || message.WParam == TVGN_CHILD ||
                             message.WParam == TVGN_NEXTVISIBLE || message.WParam == TVGN_PREVIOUSVISIBLE;
      if (needsNode && !OwnsNode(item)) return 0;
      const auto node = static_cast<PViewNode>(item);
      PViewNode answer = nullptr;
      switch (message.WParam) {
        case TVGN_ROOT: answer = GetFirst(); break;
        case TVGN_NEXT: answer = GetNextSibling(node); break;
        case TVGN_PREVIOUS: answer = GetPreviousSibling(node); break;
        case TVGN_PARENT: answer = node->Parent != root_ ? node->Parent : nullptr; break;
        case TVGN_CHILD: answer = GetFirstChild(node); break;
        case TVGN_FIRSTVISIBLE: answer = GetFirstVisible(); break;
        case TVGN_NEXTVISIBLE: answer = GetNextVisible(node); break;
        case TVGN_PREVIOUSVISIBLE: answer = GetPreviousVisible(node); break;
        case TVGN_DROPHILITE: answer = dropTargetNode_; break;
        case TVGN_CARET: answer = focusedNode_; break;
        case TVGN_LASTVISIBLE: answer = GetLastVisible(); break;
        default: break;
      }
      return reinterpret_cast<LRESULT>(answer);
    }
    default: {
      auto* item = reinterpret_cast<TVITEMA*>(message.LParam);
      if (item == nullptr || (item->mask & TVIF_HANDLE) == 0 || !OwnsNode(item->hItem)) return FALSE;
      const auto node = static_cast<PViewNode>(item->hItem);
      bool ghosted = false;
      if ((item->mask & TVIF_CHILDREN) != 0) item->cChildren = static_cast<int>(node->ChildCount);
      if ((item->mask & TVIF_IMAGE) != 0) item->iImage = DoGetImageIndex(node, ikNormal, NoColumn, ghosted);
      if ((item->mask & TVIF_SELECTEDIMAGE) != 0) {
        item->iSelectedImage = DoGetImageIndex(node, ikSelected, NoColumn, ghosted);
      }
      if ((item->mask & TVIF_STATE) != 0) {
        UINT state = 0;
        if (node == focusedNode_) state |= TVIS_FOCUSED;
        if (node->Has(vsSelected)) state |= TVIS_SELECTED;
        if (node->Has(vsCutOrCopy)) state |= TVIS_CUT;
        if (node == dropTargetNode_) state |= TVIS_DROPHILITED;
        if (node->Has(vsExpanded)) state |= TVIS_EXPANDED;
        const int stateImage = DoGetImageIndex(node, ikState, NoColumn, ghosted) + 1;
        const int overlay = DoGetImageIndex(node, ikOverlay, NoColumn, ghosted) + 1;
        state |= static_cast<UINT>(stateImage & 0xF) << 12 | static_cast<UINT>(overlay & 0xF) << 8;
        item->stateMask = 0xFF2F;
        item->state = state;
      }
      if ((item->mask & TVIF_TEXT) != 0 && item->pszText != nullptr && item->cchTextMax > 0) {
        TFont font;
        RECT r{};
        std::u16string text;
        GetTextInfo(node, NoColumn, font, r, text);
        const std::string narrow = platform::WideToAnsi(text);
        const std::size_t count = std::min(narrow.size(), static_cast<std::size_t>(item->cchTextMax - 1));
        std::memcpy(item->pszText, narrow.data(), count);
        item->pszText[count] = '\0';
      }
      return TRUE;
    }
  }
}
