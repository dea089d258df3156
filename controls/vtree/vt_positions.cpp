#include "controls/vtree/vt_positions.h"

#include <algorithm>
#include <cmath>

#include "controls/vtree/vt_worker.h"
#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/scroll.h"

namespace {

constexpr std::uint32_t kCacheStep = 2000;

RECT Moved(RECT r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

}  // namespace

// --- offsets and scroll bars ---

int TViewTreePositions::VerticalRange() const {
  return static_cast<int>(root_->TotalHeight) - static_cast<int>(root_->NodeHeight) + static_cast<int>(BottomSpace());
}

bool TViewTreePositions::DoSetOffsetXY(POINT value, TScrollUpdateOptions options) {
  const RECT client = TreeClientRect();
  // The content never scrolls past its start, also when it is smaller than the window.
  const int lowestX = std::min(0, static_cast<int>(client.right) - rangeX_);
  const int lowestY = std::min(0, static_cast<int>(client.bottom) - VerticalRange());
  value.x = std::clamp<int>(value.x, lowestX, 0);
  value.y = std::clamp<int>(value.y, lowestY, 0);
  int deltaX = value.x - offsetX_;
  const int deltaY = value.y - offsetY_;
  if (UseRightToLeftReading()) deltaX = -deltaX;
  if (deltaX == 0 && deltaY == 0) return false;
  offsetX_ = value.x;
  offsetY_ = value.y;
  effectiveOffsetX_ = UseRightToLeftReading() ? rangeX_ - client.right + offsetX_ : -offsetX_;
  effectiveOffsetX_ = std::max(effectiveOffsetX_, 0);
  if (updateCount_ == 0 && HandleAllocated()) {
    if ((options & suoScrollClientArea) != 0) {
      ScrollWindow(Handle(), UseRightToLeftReading() ? -deltaX : deltaX, deltaY, nullptr, nullptr);
    }
    if ((options & suoRepaintHeader) != 0 && deltaX != 0) Header().InvalidateHeader();
    if ((options & suoRepaintScrollbars) != 0) {
      UpdateHorizontalScrollBar(true);
      UpdateVerticalScrollBar(true);
    }
  }
  if (OnScroll) OnScroll(this, deltaX, deltaY);
  return true;
}

void TViewTreePositions::UpdateScrollBars(bool doRepaint) {
  if (!HandleAllocated()) return;
  UpdateVerticalScrollBar(doRepaint);
  UpdateHorizontalScrollBar(doRepaint);
}

void TViewTreePositions::UpdateVerticalScrollBar(bool doRepaint) {
  if (!HandleAllocated()) return;
  if (root_->TotalHeight < DefaultNodeHeight()) root_->TotalHeight = DefaultNodeHeight();
  const int range = VerticalRange();
  const TScrollStyle bars = ScrollBarOptions().ScrollBars();
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  if (bars != ssVertical && bars != ssBoth) {
    ShowScrollBar(Handle(), SB_VERT, FALSE);
    return;
  }
  const RECT client = TreeClientRect();
  if (client.bottom < range || ScrollBarOptions().AlwaysVisible()) {
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | (ScrollBarOptions().AlwaysVisible() ? SIF_DISABLENOSCROLL : 0u);
    info.nMax = range;
    info.nPage = static_cast<UINT>(std::max<int>(client.bottom + 1, 0));
    info.nPos = -offsetY_;
    SetScrollInfo(Handle(), SB_VERT, &info, doRepaint ? TRUE : FALSE);
  } else {
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    SetScrollInfo(Handle(), SB_VERT, &info, doRepaint ? TRUE : FALSE);
    ShowScrollBar(Handle(), SB_VERT, FALSE);
  }
  // The bar clamps the position by its own rules; the view follows it.
  const int position = GetScrollPos(Handle(), SB_VERT);
  DoSetOffsetXY(POINT{offsetX_, -position}, suoScrollClientArea);
}

void TViewTreePositions::UpdateHorizontalScrollBar(bool doRepaint) {
  if (!HandleAllocated()) return;
  rangeX_ = Header().UseColumns() ? Header().Columns().TotalWidth() : WidestRowRight();
  const RECT client = TreeClientRect();
  effectiveOffsetX_ = std::max(UseRightToLeftReading() ? rangeX_ - client.right + offsetX_ : -offsetX_, 0);
  const TScrollStyle bars = ScrollBarOptions().ScrollBars();
  if (bars != ssHorizontal && bars != ssBoth) {
    ShowScrollBar(Handle(), SB_HORZ, FALSE);
    return;
  }
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  if (client.right < rangeX_ || ScrollBarOptions().AlwaysVisible()) {
    if (ScrollBarOptions().AlwaysVisible()) info.fMask |= SIF_DISABLENOSCROLL;
    info.nMax = rangeX_;
    info.nPage = static_cast<UINT>(std::max<int>(client.right + 1, 0));
    info.nPos = effectiveOffsetX_;
    SetScrollInfo(Handle(), SB_HORZ, &info, doRepaint ? TRUE : FALSE);
  } else {
    SetScrollInfo(Handle(), SB_HORZ, &info, doRepaint ? TRUE : FALSE);
    ShowScrollBar(Handle(), SB_HORZ, FALSE);
  }
  const int effective = GetScrollPos(Handle(), SB_HORZ);
  const RECT now = TreeClientRect();
  const int x = UseRightToLeftReading() ? now.right - rangeX_ + effective : -effective;
  DoSetOffsetXY(POINT{x, offsetY_}, suoScrollClientArea | suoRepaintHeader);
}

int TViewTreePositions::WidestRowRight() {
  int top = 0;
  PViewNode node = GetNodeAt(0, 0, true, top);
  if (node == nullptr) return Margin();
  const RECT client = TreeClientRect();
  const bool checks = (TreeOptions().MiscOptions() & toCheckSupport) != 0;
  const bool showRoot = (TreeOptions().PaintOptions() & toShowRoot) != 0;
  int offset = static_cast<int>((GetNodeLevel(node) + (showRoot ? 1 : 0)) * Indent());
  if (StateImages != nullptr) offset += StateImages->Width() + 2;
  if (Images != nullptr) offset += Images->Width() + 2;
  int result = 0;
  while (node != nullptr) {
    EnsureInitialized(node);
    const int check = checks && node->CheckType != ctNone ? CheckImageSize + 2 : 0;
    result = std::max(result, offset + check + DoGetNodeWidth(node, NoColumn, nullptr));
    top += node->NodeHeight;
    if (top > client.bottom) break;
    PViewNode next = GetNextVisible(node);
    if (next != nullptr) offset += LevelDistance(next, node) * static_cast<int>(Indent());
    node = next;
  }
  return result + Margin();
}

int TViewTreePositions::RightToLeftShift(bool excludeScrollBar) {
  const TScrollStyle bars = ScrollBarOptions().ScrollBars();
  const int bar = TreeClientRect().bottom < VerticalRange() && (bars == ssVertical || bars == ssBoth)
                      ? GetSystemMetrics(SM_CXVSCROLL)
                      : 0;
  const int headerWidth = HeaderRect().right - HeaderRect().left;
  int result = headerWidth < rangeX_ + bar ? bar : headerWidth - rangeX_;
  if (excludeScrollBar && bar != 0) result -= GetSystemMetrics(SM_CXVSCROLL);
  return result;
}

// --- position cache ---

void TViewTreePositions::ValidateCache() {
  // A valid cache stays: stopping would only throw it away.
  if (InState(tsUseCache) && !InState(tsValidationNeeded)) return;
  StopCacheValidation();
  cacheStartIndex_ = 0;
  if (!InState(tsValidationNeeded)) return;
  // Small trees need no cache, and a tree without a window has nobody to hear the
  // worker's report: both are settled here at once.
  if (visibleCount_ <= kCacheStep || !HandleAllocated()) {
    DoStateChange(0, tsStopValidation);
    const bool stored = DoValidateCache();
    DoStateChange(stored ? tsUseCache : 0, tsValidationNeeded | tsStopValidation);
    return;
  }
  DoStateChange(0, tsStopValidation);
  validationQueued_ = true;
  QueueTreeForValidation(*this, Handle());
}

bool TViewTreePositions::DoValidateCache() {
  if (ValidationStopped()) return false;
  if (cacheStartIndex_ == 0) {
    positionCache_.clear();
    rowAnchorTops_.clear();
    rowAnchorNodes_.clear();
  }
  if (visibleCount_ <= kCacheStep) return true;
  const std::size_t length = CacheEntryCount(visibleCount_);
  positionCache_.resize(length);
  cacheStartIndex_ = std::min(cacheStartIndex_, length);
  std::size_t entry = 0;
  std::uint32_t top = 0;
  PViewNode node = nullptr;
  if (cacheStartIndex_ > 0 && positionCache_[cacheStartIndex_ - 1].Node != nullptr) {
    entry = cacheStartIndex_ - 1;
    node = positionCache_[entry].Node;
    top = positionCache_[entry].AbsoluteTop;
  } else {
    entry = 0;
    node = GetFirstVisibleNoInit();
  }
  // The row anchors resume where the cache entry does.
  static_assert(kCacheStep % RowAnchorStep == 0);
  const std::size_t anchors = std::min<std::size_t>(rowAnchorTops_.size(), entry * (kCacheStep / RowAnchorStep));
  rowAnchorTops_.resize(anchors);
  rowAnchorNodes_.resize(anchors);
  std::uint32_t count = 0;
  bool walked = false;
  PViewNode last = node;
  std::uint32_t lastTop = top;
  // The anchors cover every row; the cache's entries end when the array is full.
  while (node != nullptr) {
    if (ValidationStopped()) {
      cacheStartIndex_ = std::min(entry, length);
      return false;
    }
    if (count % RowAnchorStep == 0) {
      rowAnchorTops_.push_back(top);
      rowAnchorNodes_.push_back(node);
    }
    if (count % kCacheStep == 0 && entry < length) positionCache_[entry++] = TCacheEntry{node, top};
    walked = true;
    last = node;
    lastTop = top;
    top += node->NodeHeight;
    ++count;
    node = GetNextVisibleNoInit(node);
  }
  // Unused entries at the end: the last one holds the node where the walk ended.
  if (entry < length && entry > 0) {
    positionCache_.resize(entry + 1);
    positionCache_[entry] = TCacheEntry{last, lastTop};
  } else if (entry == 0) {
    positionCache_.clear();
  }
  cacheStartIndex_ = 0;
  return walked;
}

PViewNode TViewTreePositions::GetNodeAt(int x, int y, bool relative, int& nodeTop) {
  (void)x;
  if (y < 0) y = 0;
  if (relative) y -= offsetY_;
  const auto position = static_cast<std::uint32_t>(y);
  std::uint32_t top = 0;
  PViewNode node = FindInPositionCache(position, top);
  if (node == nullptr) node = GetFirstVisibleNoInit();
  // Whole subtrees are skipped by their total heights, so a row far from the start
  // costs a walk down the levels rather than over every row before it.
  while (node != nullptr && node != root_) {
    if (node->Has(vsVisible) && position < top + node->TotalHeight) {
      if (position < top + node->NodeHeight || node->FirstChild == nullptr || !node->Has(vsExpanded)) {
        nodeTop = relative ? static_cast<int>(top) + offsetY_ : static_cast<int>(top);
        return node;
      }
      top += node->NodeHeight;
      node = node->FirstChild;
      continue;
    }
    if (node->Has(vsVisible)) top += node->TotalHeight;
    while (node != root_ && node->NextSibling == nullptr) node = node->Parent;
    if (node == root_) return nullptr;
    node = node->NextSibling;
  }
  return nullptr;
}

// --- cells ---

bool TViewTreePositions::HasVisibleNextSibling(PViewNode node) const {
  for (PViewNode s = node ? node->NextSibling : nullptr; s != nullptr; s = s->NextSibling) {
    if (s->Has(vsVisible)) return true;
  }
  return false;
}

bool TViewTreePositions::IsFirstVisibleChild(PViewNode parent, PViewNode node) const {
  PViewNode child = (parent ? parent : root_)->FirstChild;
  while (child != nullptr && !child->Has(vsVisible)) child = child->NextSibling;
  return child != nullptr && child == node;
}

bool TViewTreePositions::IsLastVisibleChild(PViewNode parent, PViewNode node) const {
  PViewNode child = (parent ? parent : root_)->LastChild;
  while (child != nullptr && !child->Has(vsVisible)) child = child->PrevSibling;
  return child != nullptr && child == node;
}


TAlignment TViewTreePositions::ColumnAlignment(TColumnIndex column) const {
  return Header().Columns().IsValidColumn(column) ? Header().Columns()[column].Alignment() : Alignment();
}

bool TViewTreePositions::ColumnReadsRightToLeft(TColumnIndex column) const {
  return Header().Columns().IsValidColumn(column) ? Header().Columns()[column].ReadsRightToLeft()
                                                  : UseRightToLeftReading();
}

int TViewTreePositions::IndentOf(PViewNode node) const {
  const bool showRoot = (TreeOptions().PaintOptions() & toShowRoot) != 0;
  return static_cast<int>((GetNodeLevel(node) + (showRoot ? 1 : 0)) * Indent());
}

int TViewTreePositions::NodeImageIndex(PViewNode node, TVTImageKind kind, TColumnIndex column, bool& ghosted) {
  TImageList* list = kind == ikState ? StateImages : Images;
  if (list == nullptr) {
    ghosted = false;
    return -1;
  }
  return DoGetImageIndex(node, kind, column, ghosted);
}

TVTCellLayout TViewTreePositions::LayoutCell(PViewNode node, TColumnIndex column, const RECT& cell) {
  TVTCellLayout layout;
  layout.Cell = cell;
  layout.RightToLeft = ColumnReadsRightToLeft(column);
  layout.Alignment = ColumnAlignment(column);
  const bool main = column == MainColumnOrNone() || (column < 0 && !Header().UseColumns());
  // Everything is laid out from the reading edge; X measures from that edge.
  int x = 0;
  if (main) {
    layout.IndentWidth = IndentOf(node);
    if ((TreeOptions().PaintOptions() & toShowButtons) != 0 && node->Has(vsHasChildren) &&
        !(node->Has(vsAllChildrenHidden) && (TreeOptions().AutoOptions() & toAutoHideButtons) != 0) &&
        layout.IndentWidth >= static_cast<int>(Indent())) {
      layout.ButtonLeft = layout.IndentWidth - static_cast<int>(Indent()) +
                          static_cast<int>(std::lround((static_cast<int>(Indent()) - ButtonSize) / 2.0));
    }
    x = layout.IndentWidth + Margin();
    if (ShowsCheckBox(node)) {
      layout.CheckLeft = x;
      x += CheckImageSize + 2;
    }
  } else {
    x = Margin();
  }
  bool ghosted = false;
  if (NodeImageIndex(node, ikState, column, ghosted) >= 0) {
    layout.StateLeft = x;
    layout.StateSize = SIZE{StateImages->Width(), StateImages->Height()};
    x += StateImages->Width() + 2;
  }
  if (NodeImageIndex(node, node->Has(vsSelected) ? ikSelected : ikNormal, column, ghosted) >= 0) {
    layout.ImageLeft = x;
    layout.ImageSize = SIZE{Images->Width(), Images->Height()};
    x += Images->Width() + 2;
  }
  const int width = cell.right - cell.left;
  auto mirror = [&](int& left, int size) {
    if (layout.RightToLeft && left >= 0) left = width - left - size;
  };
  mirror(layout.ButtonLeft, ButtonSize);
  mirror(layout.CheckLeft, CheckImageSize);
  mirror(layout.StateLeft, layout.StateSize.cx);
  mirror(layout.ImageLeft, layout.ImageSize.cx);
  layout.Content = cell;
  if (layout.RightToLeft) {
    layout.Content.right = std::max<LONG>(cell.right - x, cell.left);
  } else {
    layout.Content.left = std::min<LONG>(cell.left + x, cell.right);
  }
  return layout;
}

THitPositions TViewTreePositions::HitPositionsInCell(PViewNode node, TColumnIndex column, int x, int cellWidth) {
  const TVTCellLayout layout = LayoutCell(node, column, RECT{0, 0, cellWidth, static_cast<LONG>(node->NodeHeight)});
  auto within = [x](int left, int size) { return left >= 0 && x >= left && x < left + size; };
  if (within(layout.ButtonLeft, ButtonSize)) return hiOnItemButton;
  if (within(layout.CheckLeft, CheckImageSize)) return hiOnItemCheckbox;
  if (within(layout.StateLeft, layout.StateSize.cx)) return hiOnStateIcon;
  if (within(layout.ImageLeft, layout.ImageSize.cx)) return hiOnNormalIcon;
  const int indentEdge = layout.RightToLeft ? cellWidth - layout.IndentWidth : layout.IndentWidth;
  if (layout.IndentWidth > 0 && (layout.RightToLeft ? x >= indentEdge : x < indentEdge)) return hiOnItemIndent;
  // The label: the content's width placed by the cell's alignment.
  const int contentWidth = layout.Content.right - layout.Content.left;
  const int textWidth = std::min(DoGetNodeWidth(node, column, nullptr), contentWidth);
  TAlignment alignment = layout.Alignment;
  if (layout.RightToLeft && alignment != taCenter) alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
  int labelLeft = layout.Content.left;
  if (alignment == taRightJustify) labelLeft = layout.Content.right - textWidth;
  if (alignment == taCenter) labelLeft = layout.Content.left + (contentWidth - textWidth) / 2;
  if (x >= labelLeft && x < labelLeft + textWidth) return hiOnItemLabel;
  return x < labelLeft ? hiOnItemLeft : hiOnItemRight;
}

void TViewTreePositions::GetHitTestInfoAt(int x, int y, bool relative, THitInfo& hitInfo) {
  hitInfo = THitInfo{};
  const RECT client = TreeClientRect();
  if (x < 0) hitInfo.HitPositions |= hiToLeft;
  if (x > std::max<int>(client.right, rangeX_)) hitInfo.HitPositions |= hiToRight;
  if (y < 0) hitInfo.HitPositions |= hiAbove;
  if (y > std::max<int>(client.bottom, VerticalRange())) hitInfo.HitPositions |= hiBelow;
  if (relative) {
    if (x > Header().Columns().FixedColumnsTotalWidth()) x += effectiveOffsetX_;
    y -= offsetY_;
  }
  if (hitInfo.HitPositions != 0) return;
  int top = 0;
  PViewNode node = GetNodeAt(x, y, false, top);
  if (node == nullptr) {
    hitInfo.HitPositions = hiNowhere;
    return;
  }
  EnsureInitialized(node);
  hitInfo.HitNode = node;
  int left = 0, right = std::max<int>(client.right, rangeX_);
  TColumnIndex column = NoColumn;
  if (Header().UseColumns()) {
    TViewTreeColumns& columns = Header().Columns();
    // In content coordinates: the stored edges.
    column = columns.ColumnAtX(POINT{x, 0}, false, left, right);
    if (column >= 0 && (TreeOptions().AutoOptions() & toAutoSpanColumns) != 0) {
      while (column >= 0 && DoGetCellIsEmpty(node, column)) {
        const TColumnIndex previous = columns.PreviousVisibleColumn(column);
        if (previous < 0) break;
        left -= columns[previous].Width();
        column = previous;
      }
      for (TColumnIndex next = columns.NextVisibleColumn(column); next >= 0 && DoGetCellIsEmpty(node, next);
           next = columns.NextVisibleColumn(next)) {
        right += columns[next].Width();
      }
    }
    if (column < 0) {
      hitInfo.HitColumn = InvalidColumn;
      hitInfo.HitPositions = hiNowhere;
      return;
    }
  }
  hitInfo.HitColumn = column;
  hitInfo.HitPositions = hiOnItem | HitPositionsInCell(node, column, x - left, right - left);
}

RECT TViewTreePositions::GetDisplayRect(PViewNode node, TColumnIndex column, bool textOnly, bool unclipped) {
  if (node == nullptr || node == root_) return RECT{};
  EnsureInitialized(node);
  for (PViewNode p = node; p != root_; p = p->Parent) {
    if (!p->Has(vsVisible) || (p != node && !p->Has(vsExpanded))) return RECT{};
  }
  std::uint32_t top = 0;
  PViewNode walk = FindInPositionCache(node, top);
  if (walk == nullptr) walk = GetFirstVisibleNoInit();
  for (; walk != nullptr && walk != node; walk = GetNextVisibleNoInit(walk)) top += walk->NodeHeight;
  const RECT client = TreeClientRect();
  RECT r{0, static_cast<LONG>(top), std::max<LONG>(client.right, rangeX_), static_cast<LONG>(top + node->NodeHeight)};
  if (column < 0 || !Header().Columns().IsValidColumn(column)) {
    r = Moved(r, -effectiveOffsetX_, offsetY_);
  } else {
    int left = 0, right = 0;
    Header().Columns().ColumnBounds(column, left, right);
    r.left = left;
    r.right = right - 1;
    r = Moved(r, 0, offsetY_);
  }
  if (!textOnly) return r;
  const TVTCellLayout layout = LayoutCell(node, column < 0 ? MainColumnOrNone() : column, r);
  RECT content = layout.Content;
  const int textWidth = DoGetNodeWidth(node, column, nullptr);
  TAlignment alignment = layout.Alignment;
  const int room = content.right - content.left;
  if (!unclipped) {
    if (room <= textWidth) return content;
  } else {
    if (room >= textWidth) {
      // Unclipped and roomy: the same rules as clipped.
    } else {
      alignment = layout.RightToLeft ? taRightJustify : taLeftJustify;
    }
  }
  switch (alignment) {
    case taLeftJustify: content.right = content.left + textWidth; break;
    case taRightJustify: content.left = content.right - textWidth; break;
    case taCenter:
      content.left = (content.left + content.right - textWidth) / 2;
      content.right = content.left + textWidth;
      break;
  }
  return content;
}

int TViewTreePositions::GetMaxColumnWidth(TColumnIndex column) {
  const bool grid = (TreeOptions().PaintOptions() & toShowVertGridLines) != 0;
  PViewNode node = GetFirstVisible();
  if (node == nullptr) return grid ? 1 : 0;
  const bool main = column == MainColumnOrNone();
  int widest = 0;
  for (; node != nullptr; node = GetNextVisible(node)) {
    const TVTCellLayout layout = LayoutCell(node, column, RECT{0, 0, 1 << 20, static_cast<LONG>(node->NodeHeight)});
    const int start = main ? layout.Content.left : layout.Content.left - Margin();
    widest = std::max(widest, start + DoGetNodeWidth(node, column, nullptr));
  }
  return widest + (grid ? 1 : 0);
}

int TViewTreePositions::DoGetNodeWidth(PViewNode, TColumnIndex, TCanvas*) { return 0; }

// --- invalidation ---

RECT TViewTreePositions::InvalidateNodeRect(PViewNode node) {
  if (node == nullptr || updateCount_ > 0 || !HandleAllocated()) return RECT{};
  RECT r = GetDisplayRect(node, NoColumn, false);
  if (r.bottom > r.top) InvalidateRect(Handle(), &r, FALSE);
  return r;
}

void TViewTreePositions::InvalidateToBottom(PViewNode node) {
  if (updateCount_ > 0 || !HandleAllocated()) return;
  if (node == nullptr || node == root_) {
    InvalidateTree();
    return;
  }
  if (!node->Has(vsInitialized) || !FullyVisible(node)) return;
  RECT r = GetDisplayRect(node, NoColumn, false);
  const RECT client = TreeClientRect();
  if (r.top >= client.bottom) return;
  r.bottom = client.bottom;
  InvalidateRect(Handle(), &r, FALSE);
}

void TViewTreePositions::InvalidateColumn(TColumnIndex column) {
  if (updateCount_ > 0 || !HandleAllocated() || !Header().Columns().IsValidColumn(column)) return;
  RECT r = TreeClientRect();
  int left = 0, right = 0;
  Header().Columns().ColumnBounds(column, left, right);
  r.left = left;
  r.right = right;
  InvalidateRect(Handle(), &r, FALSE);
}

void TViewTreePositions::RepaintNode(PViewNode node) {
  if (node == nullptr || node == root_ || !HandleAllocated()) return;
  RECT r = GetDisplayRect(node, NoColumn, false);
  RedrawWindow(Handle(), &r, 0, RDW_INVALIDATE | RDW_VALIDATE | RDW_NOERASE | RDW_NOCHILDREN | RDW_UPDATENOW);
}

bool TViewTreePositions::ScrollIntoView(PViewNode node, bool center, bool horizontally) {
  if (node == nullptr || node == root_) return false;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
    if (!p->Has(vsExpanded)) ToggleNode(p);
  }
  const bool columns = Header().UseColumns();
  RECT r = GetDisplayRect(node, columns ? focusedColumn_ : NoColumn,
                          (TreeOptions().MiscOptions() & toGridExtensions) == 0);
  const RECT client = TreeClientRect();
  bool scrolled = false;
  if (r.top < 0) {
    SetOffsetY(offsetY_ - r.top + (center ? client.bottom / 2 : 0));
    scrolled = true;
  } else if (r.bottom > client.bottom || center) {
    int y = offsetY_ - r.bottom + (center ? client.bottom / 2 : client.bottom);
    const TScrollStyle bars = ScrollBarOptions().ScrollBars();
    const bool horizontalBarShown = (bars == ssHorizontal || bars == ssBoth) &&
                                    (ScrollBarOptions().AlwaysVisible() || rangeX_ > client.right);
    if (!columns && !horizontalBarShown && rangeX_ > client.right) y -= GetSystemMetrics(SM_CYHSCROLL);
    SetOffsetY(y);
    scrolled = true;
  }
  if (horizontally) {
    const int fixed = Header().Columns().FixedColumnsTotalWidth();
    int effective = effectiveOffsetX_;
    if (fixed > 0) {
      if (std::abs(r.left - fixed) > 1) effective = effectiveOffsetX_ + r.left - fixed;
    } else if (r.right > client.right || r.left < 0) {
      effective = effectiveOffsetX_ + (r.left + r.right) / 2 - client.right / 2;
    }
    if (effective != effectiveOffsetX_) {
      SetOffsetX(UseRightToLeftReading() ? client.right - rangeX_ + effective : -effective);
      scrolled = true;
    }
  }
  return scrolled;
}
