#include "controls/vtree/view_trees.h"

#include <algorithm>

#include "controls/vtree/vt_worker.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/scroll.h"

std::unique_ptr<TCustomViewTreeOptions> TBaseViewTree::MakeOptions(TViewTreeObject& owner) {
  return std::make_unique<TCustomViewTreeOptions>(owner);
}

TBaseViewTree::TBaseViewTree(TComponent* owner, const TTreeClass& treeClass, TOptionsFactory makeOptions)
    : TViewTreePainting(owner, treeClass, makeOptions) {
  AcquireValidationWorker();
}

TBaseViewTree::~TBaseViewTree() {
  Destroying();
  ReleaseValidationWorker(*this);
  TreeOptions().SetMiscOptions(TreeOptions().MiscOptions() & ~toReadOnly);
  CancelEditNode();
  Clear();
}

void TBaseViewTree::SetExpanded(PViewNode node, bool value) {
  if (node == nullptr || node == root_ || node->Has(vsExpanded) == value) return;
  ToggleNode(node);
}

void TBaseViewTree::SetFocusedColumn(TColumnIndex value) {
  if (value == focusedColumn_) return;
  if (!DoFocusChanging(focusedNode_, focusedNode_, focusedColumn_, value)) return;
  CancelEditNode();
  focusedColumn_ = value;
  if (focusedNode_ != nullptr) InvalidateNode(focusedNode_);
  DoFocusChange(focusedNode_, focusedColumn_);
}

void TBaseViewTree::SetFocusedNode(PViewNode node) {
  const PViewNode old = focusedNode_;
  DoFocusNode(node, true);
  if (focusedNode_ != old) DoFocusChange(focusedNode_, focusedColumn_);
}

void TBaseViewTree::SetSelected(PViewNode node, bool value) {
  if (node == nullptr || node == root_ || node->Has(vsSelected) == value) return;
  if (value) {
    if (selection_.empty()) {
      rangeAnchor_ = node;
    } else if ((TreeOptions().SelectionOptions() & toMultiSelect) == 0) {
      InternalClearSelection();
    }
    AddToSelection(node);
    if ((focusedColumn_ < 0 || !Header().IsColumnVisible(focusedColumn_)) && Header().MainColumn() > NoColumn) {
      focusedColumn_ = MainOrFirstVisibleColumn();
    }
    if (rangeAnchor_ == nullptr) rangeAnchor_ = node;
  } else {
    RemoveFromSelection(node);
  }
  if (FullyVisible(node)) InvalidateNode(node);
}

void TBaseViewTree::MeasureNodeHeight(PViewNode node) {
  if (node->Has(vsHeightMeasured)) return;
  int height = node->NodeHeight;
  DoMeasureItem(node, height);
  node->Include(vsHeightMeasured);
  SetNodeHeight(node, static_cast<std::uint32_t>(std::max(height, 0)));
}

std::uint32_t TBaseViewTree::GetNodeHeight(PViewNode node) {
  if (node == nullptr || node == root_) return 0;
  if ((TreeOptions().MiscOptions() & toVariableNodeHeight) != 0) {
    EnsureInitialized(node);
    MeasureNodeHeight(node);
  }
  return node->NodeHeight;
}

void TBaseViewTree::SetNodeHeight(PViewNode node, std::uint32_t value) {
  if (node == nullptr || node == root_ || IsReadOnly() || node->NodeHeight == value) return;
  StopCacheValidation();
  const std::int64_t delta = static_cast<std::int64_t>(value) - node->NodeHeight;
  node->NodeHeight = static_cast<std::uint16_t>(value);
  AdjustTotalHeight(node, delta);
  if (!InState(tsValidating) && FullyVisible(node)) StructureSettled();
}

bool TBaseViewTree::GetVisible(PViewNode node) {
  if (node == nullptr) node = root_;
  EnsureInitialized(node);
  return node->Has(vsVisible);
}

void TBaseViewTree::SetVisible(PViewNode node, bool value) {
  if (node == nullptr || node == root_ || node->Has(vsVisible) == value) return;
  StopCacheValidation();
  PViewNode parent = node->Parent;
  const bool shown = parent->Has(vsExpanded) && (parent == root_ || FullyVisible(parent));
  const std::int64_t rows = 1 + VisibleChildCount(node);
  if (value) {
    node->Include(vsVisible);
    if (parent->Has(vsExpanded)) AdjustTotalHeight(parent, node->TotalHeight);
    if (shown) visibleCount_ += static_cast<std::uint32_t>(rows);
  } else {
    if (parent->Has(vsExpanded)) AdjustTotalHeight(parent, -static_cast<std::int64_t>(node->TotalHeight));
    if (shown) visibleCount_ -= static_cast<std::uint32_t>(rows);
    node->Exclude(vsVisible);
  }
  if (updateCount_ > 0) {
    DoStateChange(tsUpdateHiddenChildrenNeeded);
  } else {
    UpdateAllChildrenHiddenFlag(parent);
  }
  StructureSettled();
}

std::uint32_t TBaseViewTree::GetDisplayTop(PViewNode node) {
  if (node == nullptr || node == root_) return 0;
  if (!FullyVisible(node)) {
    node = GetPreviousVisibleNoInit(node);
    if (node == nullptr) return 0;
  }
  ValidateCache();
  std::uint32_t top = 0;
  PViewNode walk = FindInPositionCache(node, top);
  if (walk == nullptr) walk = GetFirstVisibleNoInit();
  for (; walk != nullptr && walk != node; walk = GetNextVisibleNoInit(walk)) top += walk->NodeHeight;
  return top;
}

PViewNode TBaseViewTree::GetTopNode() { return GetNodeAtPosition(static_cast<std::uint32_t>(-offsetY_)); }

PViewNode TBaseViewTree::GetNodeAtPosition(std::uint32_t position) {
  ValidateCache();
  std::uint32_t top = 0;
  PViewNode node = FindInPositionCache(position, top);
  if (node == nullptr) node = GetFirstVisibleNoInit();
  for (; node != nullptr; node = GetNextVisibleNoInit(node)) {
    if (position < top + node->NodeHeight) return node;
    top += node->NodeHeight;
  }
  return nullptr;
}

void TBaseViewTree::SetTopNode(PViewNode node) {
  if (node == nullptr || node == root_) return;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
    if (!p->Has(vsExpanded)) ToggleNode(p);
  }
  SetOffsetY(-static_cast<int>(GetDisplayTop(node)));
}

void TBaseViewTree::ApplyClickSelection(PViewNode lastFocused, PViewNode newNode, TShiftState shift,
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

void TBaseViewTree::FixupTotals(PViewNode node) {
  if (node == nullptr) node = root_;
  std::uint32_t count = 1, height = node->NodeHeight;
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
    FixupTotals(child);
    count += child->TotalCount;
    if (node->Has(vsExpanded) && child->Has(vsVisible)) height += child->TotalHeight;
  }
  node->TotalCount = count;
  node->TotalHeight = height;
}

std::size_t TBaseViewTree::PackArray(TNodeArray& nodes) {
  std::erase_if(nodes, [](PViewNode node) { return (reinterpret_cast<std::uintptr_t>(node) & 1) != 0; });
  return nodes.size();
}

// --- the window ---

void TBaseViewTree::CreateParams(TCreateParams& params) {
  TViewTreePainting::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  const TScrollStyle bars = ScrollBarOptions().ScrollBars();
  if (bars == ssHorizontal || bars == ssBoth) params.Style |= WS_HSCROLL;
  if (bars == ssVertical || bars == ssBoth) params.Style |= WS_VSCROLL;
  if ((TreeOptions().MiscOptions() & toFullRepaintOnResize) != 0) {
    params.WindowClass.style |= CS_HREDRAW | CS_VREDRAW;
  } else {
    params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
  }
}

void TBaseViewTree::CreateWnd() {
  DoStateChange(tsWindowCreating);
  try {
    TViewTreePainting::CreateWnd();
  } catch (...) {
    DoStateChange(0, tsWindowCreating);
    throw;
  }
  DoStateChange(0, tsWindowCreating);
  UpdateHeaderRect();
  if ((Header().Options() & hoVisible) != 0) Header().RefreshHeaderFrame();
  if ((Header().Options() & hoAutoResize) != 0) Header().Columns().ResizeAutoSizeColumn(false);
  UpdateScrollBars(true);
}

void TBaseViewTree::PaintHeaderFrame() {
  if ((Header().Options() & hoVisible) == 0) return;
  HDC dc = GetWindowDC(Handle());
  Header().Columns().PaintHeader(dc, HeaderRect(), -EffectiveOffsetX());
  ReleaseDC(Handle(), dc);
}

void TBaseViewTree::HandleScroll(int bar, int code) {
  const bool vertical = bar == SB_VERT;
  const RECT client = TreeClientRect();
  const int line = vertical ? static_cast<int>(DefaultNodeHeight()) : static_cast<int>(Indent());
  const int page = vertical ? client.bottom : client.right;
  // Positions grow downwards and rightwards; the offsets are their negation.
  const int current = vertical ? -OffsetY() : EffectiveOffsetX();
  int position = current;
  switch (code) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(Handle(), bar, &info);
      position = info.nTrackPos;
      break;
    }
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = vertical ? VerticalRange() : RangeX(); break;
    default: return;
  }
  if (vertical) {
    SetOffsetY(-position);
  } else {
    SetOffsetX(UseRightToLeftReading() ? client.right - RangeX() + position : -position);
  }
}

void TBaseViewTree::WndProc(TMessage& message) {
  if (HandleAllocated() && Header().HandleHeaderMessage(message)) return;
  switch (message.Msg) {
    case WM_NCCALCSIZE: {
      TViewTreePainting::WndProc(message);
      // The header takes its height from the top of the client area.
      auto* rect = reinterpret_cast<RECT*>(message.LParam);
      if (rect != nullptr && (Header().Options() & hoVisible) != 0) {
        rect->top = std::min<LONG>(rect->top + static_cast<LONG>(Header().Height()), rect->bottom);
      }
      return;
    }
    case WM_NCPAINT:
      TViewTreePainting::WndProc(message);
      PaintHeaderFrame();
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_SIZE:
      TViewTreePainting::WndProc(message);
      if (HandleAllocated() && !InState(tsWindowCreating) && TreeClientRect().bottom > 0) {
        DoStateChange(tsSizing);
        UpdateHeaderRect();
        Header().ShareSpringWidth();
        UpdateScrollBars(true);
        DoStateChange(0, tsSizing);
      }
      return;
    case WM_VSCROLL:
    case WM_HSCROLL:
      HandleScroll(message.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(static_cast<DWORD>(message.WParam)));
      return;
    case WM_CHANGESTATE: {
      auto states = [](WPARAM flags) {
        return ((flags & ChangeStopValidation) != 0 ? tsStopValidation : 0) |
               ((flags & ChangeUseCache) != 0 ? tsUseCache : 0) | ((flags & ChangeValidating) != 0 ? tsValidating : 0) |
               ((flags & ChangeValidationNeeded) != 0 ? tsValidationNeeded : 0);
      };
      const TViewTreeStates enter = states(message.WParam & 0xFF);
      DoStateChange(enter, states(static_cast<WPARAM>(message.LParam) & 0xFF));
      // What the worker may not do itself: heights may be new, the bars follow.
      if ((enter & tsUseCache) != 0 && (TreeOptions().MiscOptions() & toVariableNodeHeight) != 0) UpdateScrollBars(true);
      return;
    }
    default:
      TViewTreePainting::WndProc(message);
  }
}
