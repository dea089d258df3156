#include "controls/vtree/vt_header.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "controls/vtree/vt_globals.h"
#include "controls/vtree/vt_hint.h"
#include "controls/vtree/vt_object.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/frame_drawing.h"
#include "platform/gdi/window_picture.h"
#include "platform/kernel/mul_div.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/metrics.h"

namespace {

RECT Moved(RECT r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

void CancelApplicationHint() {
  if (Application != nullptr) Application->CancelHint();
}

// The header stream's fields before they are applied, so that a damaged stream
// changes nothing it has not fully read.
struct HeaderRecord {
  std::int32_t autoSizeIndex, background, height, options, style, fontColor, fontHeight;
  std::string fontName;
  std::int32_t fontPitch, fontStyle;
  std::int32_t mainColumn = 0, sortColumn = NoColumn, sortDirection = sdAscending;
};

constexpr std::int32_t kLongestFontName = 255;

}  // namespace

namespace {

// One utility image: a shape in a colour on the mask colour.
void AddUtilityImage(TImageList& list, const std::function<void(HDC)>& draw) {
  constexpr COLORREF mask = RGB(255, 0, 255);
  TBitmap image;
  image.SetSize(UtilityImageSize, UtilityImageSize);
  HDC dc = image.Canvas().Handle();
  const RECT all{0, 0, UtilityImageSize, UtilityImageSize};
  HBRUSH back = CreateSolidBrush(mask);
  FillRect(dc, &all, back);
  DeleteObject(back);
  draw(dc);
  list.AddMasked(image, static_cast<TColor>(mask));
}

void Triangle(HDC dc, std::array<POINT, 3> points, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
  Polygon(dc, points.data(), 3);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

void Band(HDC dc, int left, int right, COLORREF color) {
  const RECT bar{left, UtilityImageSize - 3, right, UtilityImageSize};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &bar, brush);
  DeleteObject(brush);
}

}  // namespace

TImageList& UtilityImages() {
  // Made once and kept for the life of the process, as the tree unit's other sets.
  static TImageList* const list = [] {
    auto* images = new TImageList(nullptr, UtilityImageSize, UtilityImageSize);
    const COLORREF glyph = RGB(128, 128, 128), themed = RGB(96, 96, 96), hot = RGB(248, 169, 0);
    const std::array<POINT, 3> down{{{4, 6}, {11, 6}, {7, 10}}}, up{{{4, 10}, {11, 10}, {7, 6}}};
    AddUtilityImage(*images, [&](HDC dc) { Triangle(dc, {{{6, 4}, {6, 11}, {2, 7}}}, glyph); });
    AddUtilityImage(*images, [&](HDC dc) { Triangle(dc, {{{9, 4}, {9, 11}, {13, 7}}}, glyph); });
    AddUtilityImage(*images, [&](HDC dc) { Triangle(dc, down, glyph); });
    AddUtilityImage(*images, [&](HDC dc) { Triangle(dc, up, glyph); });
    AddUtilityImage(*images, [&](HDC dc) { Triangle(dc, down, themed); });
    AddUtilityImage(*images, [&](HDC dc) { Triangle(dc, up, themed); });
    // The hot bar: rounded off at its ends.
    AddUtilityImage(*images, [&](HDC dc) { Band(dc, 1, UtilityImageSize, hot); });
    AddUtilityImage(*images, [&](HDC dc) { Band(dc, 0, UtilityImageSize, hot); });
    AddUtilityImage(*images, [&](HDC dc) { Band(dc, 0, UtilityImageSize - 1, hot); });
    return images;
  }();
  return *list;
}

HCURSOR HeaderCursorHandle(TCursor cursor) {
  switch (cursor) {
    case crHeaderSplit: return LoadCursorW(0, IDC_SIZEWE);
    case crHandPoint: return LoadCursorW(0, IDC_HAND);
    default: return LoadCursorW(0, IDC_ARROW);
  }
}

TVTHeader::TVTHeader(TViewTreeObject& owner)
    : owner_(owner), columns_(std::make_unique<TViewTreeColumns>(*this)), dragImage_(std::make_unique<TVTDragImage>()) {
  dragImage_->SetTransparency(140);
  dragImage_->SetPreBlendBias(-50);
  dragImage_->SetPostBlendBias(0);
  dragImage_->SetFade(false);
}

TVTHeader::~TVTHeader() { columns_->Clear(); }

void TVTHeader::ResetToDefaults() {
  states_ = hstLoading;
  columns_->Clear();
  states_ = 0;
  options_ = DefaultHeaderOptions;
  height_ = 17;
  const TFont defaults;
  font_.Assign(&defaults);
  fontPitch_ = 0;
  style_ = hsThickButtons;
  background_ = clBtnFace;
  autoSizeIndex_ = 0;
  mainColumn_ = 0;
  sortColumn_ = NoColumn;
  sortDirection_ = sdAscending;
}

void TVTHeader::SortWhenAutomatic() {
  if ((owner_.TreeOptions().AutoOptions() & toAutoSort) != 0 && owner_.UpdateCount() == 0) {
    owner_.SortTree(sortColumn_, sortDirection_, true);
  }
}

void TVTHeader::SetSortColumn(TColumnIndex value) {
  if (owner_.IsLoading()) {
    sortColumn_ = value;
    return;
  }
  value = std::min(std::max(value, NoColumn), ColumnCount() - 1);
  if (sortColumn_ == value) return;
  if (sortColumn_ >= 0) InvalidateHeader(sortColumn_);
  sortColumn_ = value;
  if (sortColumn_ >= 0) InvalidateHeader(sortColumn_);
  SortWhenAutomatic();
}

void TVTHeader::SetSortDirection(TSortDirection value) {
  if (sortDirection_ == value) return;
  sortDirection_ = value;
  InvalidateHeader();
  SortWhenAutomatic();
}

void TVTHeader::SetMainColumn(TColumnIndex value) {
  if (owner_.IsLoading()) {
    mainColumn_ = value;
    return;
  }
  value = std::clamp(value, 0, std::max(ColumnCount() - 1, 0));
  if (value == mainColumn_) return;
  mainColumn_ = value;
  owner_.MainColumnChanged();
  if ((owner_.TreeOptions().SelectionOptions() & toExtendedFocus) == 0) owner_.focusedColumn_ = MainColumn();
  owner_.InvalidateTree();
}

void TVTHeader::ScaleHeader(int m, int d) { font_.SetSize(MulDiv(font_.Size(), m, d)); }

HCURSOR TVTHeader::CursorAt(POINT p) {
  HCURSOR cursor = HeaderCursorHandle(FindSplitter(p) ? crHeaderSplit : owner_.Cursor);
  if (owner_.OnGetHeaderCursor) owner_.OnGetHeaderCursor(this, cursor);
  return cursor;
}

void TVTHeader::SetAutoSizeIndex(TColumnIndex value) {
  autoSizeIndex_ = value;
  if ((options_ & hoAutoResize) != 0) columns_->ResizeAutoSizeColumn(false);
}

void TVTHeader::SetBackground(TColor value) {
  background_ = value;
  InvalidateHeader();
}

void TVTHeader::SetFont(const TFont& value) {
  font_.Assign(&value);
  parentFont_ = false;
  InvalidateHeader();
}

void TVTHeader::SetParentFont(bool value) {
  parentFont_ = value;
  if (value) font_.Assign(&owner_.Font());
}

void TVTHeader::SetHeight(std::uint32_t value) {
  height_ = value;
  if (!owner_.IsLoading()) RefreshHeaderFrame();
}

void TVTHeader::SetImages(TImageList* value) {
  images_ = value;
  if (!owner_.IsLoading()) InvalidateHeader();
}

void TVTHeader::SetStyle(TVTHeaderStyle value) {
  style_ = value;
  if (!owner_.IsLoading()) InvalidateHeader();
}

void TVTHeader::SetOptions(TVTHeaderOptions value) {
  const TVTHeaderOptions old = options_;
  options_ = value;
  const TVTHeaderOptions changed = old ^ value;
  if ((changed & hoAutoResize) != 0 && ColumnCount() > 0) {
    columns_->ResizeAutoSizeColumn(false);
    if (owner_.HandleAllocated()) {
      owner_.UpdateHorizontalScrollBar(false);
      if ((value & hoAutoResize) != 0) owner_.InvalidateTree();
    }
  }
  if (owner_.IsLoading() || !owner_.HandleAllocated()) return;
  if ((changed & hoVisible) != 0) RefreshHeaderFrame();
  InvalidateHeader();
  owner_.InvalidateTree();
}

void TVTHeader::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TVTHeader*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  SetAutoSizeIndex(other->autoSizeIndex_);
  SetBackground(other->background_);
  SetColumns(*other->columns_);
  SetFont(other->font_);
  fontPitch_ = other->fontPitch_;
  SetHeight(other->height_);
  SetImages(other->images_);
  SetMainColumn(other->MainColumn());
  SetOptions(other->options_);
  SetParentFont(other->parentFont_);
  PopupMenu = other->PopupMenu;
  SetSortColumn(other->sortColumn_);
  SetSortDirection(other->sortDirection_);
  SetStyle(other->style_);
}

void TVTHeader::RefreshHeaderFrame() {
  if (!owner_.HandleAllocated()) return;
  owner_.UpdateHeaderRect();
  SetWindowPos(owner_.Handle(), 0, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER |
                   SWP_NOSENDCHANGING);
}

RECT TVTHeader::WindowToClient(const RECT& r) const {
  // The client area starts right below the header, at the header's left edge.
  const RECT header = owner_.HeaderRect();
  return Moved(r, -header.left, -(header.top + static_cast<int>(height_)));
}

bool TVTHeader::PointInHeader(POINT p) const {
  return (options_ & hoVisible) != 0 && Inside(WindowToClient(owner_.HeaderRect()), p);
}

void TVTHeader::InvalidateHeader(TColumnIndex column, bool expandToBorder) {
  if ((options_ & hoVisible) == 0 || !owner_.HandleAllocated()) return;
  RECT r = owner_.HeaderRect();
  if (columns_->IsValidColumn(column)) {
    const TViewTreeColumn& c = columns_->Items(column);
    r = c.HeaderCellRect();
    if (!c.Has(coFixed)) r = Moved(r, -owner_.EffectiveOffsetX(), 0);
    if (expandToBorder) {
      if (owner_.UseRightToLeftReading()) {
        r.left = owner_.HeaderRect().left;
      } else {
        r.right = owner_.HeaderRect().right;
      }
    }
  } else if (column >= 0) {
    return;
  }
  r = WindowToClient(r);
  RedrawWindow(owner_.Handle(), &r, 0,
               RDW_FRAME | RDW_INVALIDATE | RDW_VALIDATE | RDW_NOINTERNALPAINT | RDW_NOERASE | RDW_NOCHILDREN);
}

void TVTHeader::FitColumnsToText(bool animated) {
  for (TColumnIndex index : columns_->PositionToIndex()) {
    TViewTreeColumn& column = columns_->Items(index);
    if (!column.Has(coVisible) || !column.Has(coResizable)) continue;
    const int width = owner_.GetMaxColumnWidth(index);
    if (animated) {
      columns_->ResizeAnimated(index, width);
    } else {
      column.SetWidth(width);
    }
  }
}

void TVTHeader::RestoreColumnWidths() {
  const auto& positions = columns_->PositionToIndex();
  for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
    TViewTreeColumn& column = columns_->Items(*it);
    if (column.Has(coVisible) && column.Has(coResizable)) column.RestorePreviousWidth();
  }
}

void TVTHeader::FixMainColumn() {
  if (mainColumn_ < 0) mainColumn_ = 0;
  if (mainColumn_ > ColumnCount() - 1) mainColumn_ = ColumnCount() - 1;
}

void TVTHeader::ShareSpringWidth() {
  const int width = owner_.HeaderRect().right - owner_.HeaderRect().left;
  const int delta = width - LastWidth;
  if ((options_ & hoAutoSpring) != 0 && LastWidth != 0 && delta != 0) {
    int springs = 0;
    for (int i = 0; i < ColumnCount(); ++i) {
      if (columns_->Items(i).Has(coVisible) && columns_->Items(i).Has(coAutoSpring)) ++springs;
    }
    if (springs > 0) {
      const float share = static_cast<float>(std::abs(delta)) / static_cast<float>(springs);
      float remaining = static_cast<float>(std::abs(delta));
      for (int i = 0; i < ColumnCount() && remaining >= 0; ++i) {
        TViewTreeColumn& column = columns_->Items(i);
        if (!column.Has(coVisible) || !column.Has(coAutoSpring)) continue;
        const float rest = column.SpringRest + share;
        const int whole = static_cast<int>(rest);
        if (whole >= 1) column.SetWidth(column.Width() + (delta < 0 ? -whole : whole));
        column.SpringRest = rest - static_cast<float>(whole);
        remaining -= share;
      }
    }
  }
  LastWidth = width;
}

bool TVTHeader::FindSplitter(POINT p) {
  columns_->TrackIndex = NoColumn;
  if (ColumnCount() == 0) return false;
  const auto& positions = columns_->PositionToIndex();
  if (!owner_.UseRightToLeftReading()) {
    int x = owner_.RangeX() - owner_.EffectiveOffsetX();
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
      TViewTreeColumn& column = columns_->Items(*it);
      if (!column.Has(coVisible)) continue;
      if (x - 3 < p.x && p.x < x + 5) {
        if (!column.Has(coResizable)) return false;
        columns_->TrackIndex = *it;
        trackStart_ = x - column.Width();
        return true;
      }
      x -= column.Width();
    }
    return false;
  }
  int x = -owner_.EffectiveOffsetX();
  const int clientWidth = owner_.TreeClientRect().right;
  if (clientWidth > owner_.RangeX()) x += clientWidth - owner_.RangeX();
  for (TColumnIndex index : positions) {
    TViewTreeColumn& column = columns_->Items(index);
    if (!column.Has(coVisible)) continue;
    if (x - 5 < p.x && p.x < x + 3) {
      if (!column.Has(coResizable)) return false;
      columns_->TrackIndex = index;
      trackStart_ = x + column.Width();
      return true;
    }
    x += column.Width();
  }
  return false;
}

POINT TVTHeader::MessagePoint(const TMessage& message) const {
  POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  const bool nonClient = (message.Msg >= WM_NCMOUSEMOVE && message.Msg <= WM_NCMBUTTONDBLCLK);
  if (nonClient && owner_.HandleAllocated()) ScreenToClient(owner_.Handle(), &p);
  return p;
}

void TVTHeader::EndTracking() {
  columns_->InvalidateCell(columns_->DownIndex);
  columns_->TrackIndex = NoColumn;
  columns_->DownIndex = NoColumn;
  states_ &= static_cast<THeaderStates>(~(hstDragging | hstDragPending | hstWidthTracking | hstWidthTrackPending));
}

bool TVTHeader::ButtonUp(TMessage& message, bool nonClient) {
  CancelApplicationHint();
  const POINT p = MessagePoint(message);
  const bool tracking = (states_ & ~hstLoading) != 0;
  if (tracking) {
    ReleaseCapture();
    if ((states_ & hstDragging) != 0) {
      POINT screen = p;
      ClientToScreen(owner_.Handle(), &screen);
      FinishColumnDrag(screen);
    }
  }
  if (nonClient) {
    columns_->HandleHeaderClick(p, TMouseButton::mbLeft, false, false);
    if (owner_.OnHeaderMouseUp) owner_.OnHeaderMouseUp(this, TMouseButton::mbLeft, KeyboardShiftState(), p.x, p.y + static_cast<int>(height_));
  } else {
    if (columns_->DownIndex >= 0) columns_->HandleHeaderClick(p, TMouseButton::mbLeft, false, false);
    if (tracking && owner_.OnHeaderMouseUp) {
      owner_.OnHeaderMouseUp(this, TMouseButton::mbLeft, KeyboardShiftState(), p.x, p.y + static_cast<int>(height_));
    }
  }
  const bool consumed = tracking;
  EndTracking();
  return consumed;
}

bool TVTHeader::TrackHeaderMouse(POINT p) {
  if ((states_ & hstWidthTrackPending) != 0) {
    owner_.StopTimer(HeaderTimer);
    states_ = static_cast<THeaderStates>((states_ & ~hstWidthTrackPending) | hstWidthTracking);
    return true;
  }
  if ((states_ & hstWidthTracking) != 0) {
    const int width = owner_.UseRightToLeftReading() ? trackStart_ - p.x : p.x - trackStart_;
    if (columns_->IsValidColumn(columns_->TrackIndex)) columns_->Items(columns_->TrackIndex).SetWidth(width);
    return true;
  }
  if ((states_ & hstDragPending) != 0 && (options_ & hoDrag) != 0) {
    bool allowed = true;
    if (owner_.OnHeaderDragging) owner_.OnHeaderDragging(this, columns_->DownIndex, allowed);
    if (!allowed) return false;
    POINT screen = p;
    ClientToScreen(owner_.Handle(), &screen);
    if (std::abs(screen.x - DragStart.x) <= GetSystemMetrics(SM_CXDRAG) &&
        std::abs(screen.y - DragStart.y) <= GetSystemMetrics(SM_CYDRAG)) {
      return false;
    }
    owner_.StopTimer(HeaderTimer);
    columns_->InvalidateCell(columns_->DownIndex);
    columns_->DownIndex = NoColumn;
    columns_->HoverIndex = NoColumn;
    StartColumnDrag();
    states_ = static_cast<THeaderStates>((states_ & ~hstDragPending) | hstDragging);
    return true;
  }
  if ((states_ & hstDragging) != 0) {
    POINT screen = p;
    ClientToScreen(owner_.Handle(), &screen);
    DragColumnTo(screen);
    return true;
  }
  return false;
}

void TVTHeader::StartColumnDrag() {
  columns_->DropTarget = NoColumn;
  POINT start = DragStart;
  ScreenToClient(owner_.Handle(), &start);
  int left = 0, right = 0;
  columns_->DragIndex = columns_->ColumnAtX(POINT{start.x, start.y + static_cast<LONG>(height_)}, true, left, right);
  if (columns_->DragIndex < 0) return;
  // The whole header once, at the scroll position it shows, and the dragged cell cut
  // out of it.
  const int width = std::max(columns_->TotalWidth(), right);
  TBitmap whole;
  whole.SetSize(std::max(width, 1), static_cast<int>(height_));
  columns_->PaintHeader(whole.Canvas().Handle(), RECT{0, 0, whole.Width(), whole.Height()}, -owner_.EffectiveOffsetX());
  TBitmap cell;
  cell.SetSize(right - left, static_cast<int>(height_));
  BitBlt(cell.Canvas().Handle(), 0, 0, right - left, static_cast<int>(height_), whole.Canvas().Handle(), left, 0, SRCCOPY);
  POINT place{left, -static_cast<LONG>(height_)};
  ClientToScreen(owner_.Handle(), &place);
  dragImage_->SetMoveRestriction((options_ & hoRestrictDrag) != 0 ? dmrHorizontalOnly : dmrNone);
  dragImage_->PrepareDrag(cell, place, DragStart);
}

void TVTHeader::DragColumnTo(POINT screenPoint) {
  POINT p = screenPoint;
  ScreenToClient(owner_.Handle(), &p);
  p.y += static_cast<LONG>(height_);
  int left = 0, right = 0;
  const TColumnIndex column = columns_->ColumnAtX(p, true, left, right);
  bool repaint = column != InvalidColumn && column != columns_->DropTarget;
  if (column >= 0) {
    const bool before = (left + right) / 2 > p.x;
    repaint = repaint || before != columns_->DropBefore;
    columns_->DropBefore = before;
  }
  if (repaint) {
    columns_->InvalidateCell(columns_->DropTarget);
    columns_->DropTarget = column;
    columns_->InvalidateCell(column);
  }
  dragImage_->DragTo(screenPoint);
}

void TVTHeader::FinishColumnDrag(POINT screenPoint) {
  dragImage_->EndDrag();
  RECT window{};
  GetWindowRect(owner_.Handle(), &window);
  const TColumnIndex target = columns_->DropTarget, dragged = columns_->DragIndex;
  if (columns_->IsValidColumn(target) && columns_->IsValidColumn(dragged) && target != dragged &&
      Inside(window, screenPoint)) {
    TViewTreeColumn& column = columns_->Items(dragged);
    const TColumnPosition q = column.Position(), t = columns_->Items(target).Position();
    const TColumnPosition position = columns_->DropBefore ? (q >= t ? t : t - 1) : (q >= t ? t + 1 : t);
    column.SetPosition(position);
    if (owner_.OnHeaderDragged) owner_.OnHeaderDragged(this, dragged, q);
  } else if (owner_.OnHeaderDraggedOut) {
    owner_.OnHeaderDraggedOut(this, dragged, screenPoint);
  }
  columns_->DropTarget = NoColumn;
  InvalidateHeader();
}

bool TVTHeader::HandleHeaderMessage(TMessage& message) {
  const POINT p = MessagePoint(message);
  const int y = p.y + static_cast<int>(height_);
  auto mouseDown = [&](TMouseButton button) {
    if (PointInHeader(p) && owner_.OnHeaderMouseDown) owner_.OnHeaderMouseDown(this, button, KeyboardShiftState(), p.x, y);
  };
  switch (message.Msg) {
    case WM_SIZE:
      if ((options_ & hoAutoResize) != 0 && !owner_.InState(tsWindowCreating)) {
        columns_->ResizeAutoSizeColumn(false);
        InvalidateHeader();
      }
      return false;
    case WM_NCLBUTTONDOWN: {
      CancelApplicationHint();
      owner_.StopTimer(ScrollTimer);
      owner_.StopTimer(EditTimer);
      owner_.DoStateChange(0, tsScrolling | tsScrollPending | tsEditPending);
      DragStart = POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
      mouseDown(TMouseButton::mbLeft);
      if (FindSplitter(p) && (options_ & hoColumnResize) != 0) {
        columns_->HoverIndex = NoColumn;
        states_ |= hstWidthTrackPending;
        SetCapture(owner_.Handle());
        return true;
      }
      const TColumnIndex down = columns_->UpdateDownColumn(p);
      if ((options_ & hoDrag) != 0 && columns_->IsValidColumn(down) && columns_->Items(down).Has(coDraggable)) {
        states_ |= hstDragPending;
        SetCapture(owner_.Handle());
        return true;
      }
      return false;
    }
    case WM_NCLBUTTONUP: return ButtonUp(message, true);
    case WM_LBUTTONUP: return ButtonUp(message, false);
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDBLCLK: {
      if (!PointInHeader(p)) return false;
      const TMouseButton button = message.Msg == WM_NCLBUTTONDBLCLK   ? TMouseButton::mbLeft
                                  : message.Msg == WM_NCRBUTTONDBLCLK ? TMouseButton::mbRight
                                                                      : TMouseButton::mbMiddle;
      const bool splitter = FindSplitter(p);
      if ((options_ & hoDblClickResize) == 0 || !splitter) {
        columns_->HandleHeaderClick(p, button, true, true);
      } else {
        TViewTreeColumn& column = columns_->Items(columns_->TrackIndex);
        columns_->ResizeAnimated(columns_->TrackIndex,
                                 std::max(column.MinWidth(), owner_.GetMaxColumnWidth(columns_->TrackIndex)));
      }
      if (columns_->ClickIndex >= 0 && owner_.OnHeaderDblClick) {
        owner_.OnHeaderDblClick(this, columns_->ClickIndex, button, KeyboardShiftState() | ssDouble, p.x, y);
      }
      return false;
    }
    case WM_NCRBUTTONDOWN: mouseDown(TMouseButton::mbRight); return false;
    case WM_NCMBUTTONDOWN: mouseDown(TMouseButton::mbMiddle); return false;
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONUP: {
      const TMouseButton button = message.Msg == WM_NCRBUTTONUP ? TMouseButton::mbRight : TMouseButton::mbMiddle;
      if (button == TMouseButton::mbRight) CancelApplicationHint();
      if (PointInHeader(p)) {
        columns_->HandleHeaderClick(p, button, false, true);
        if (owner_.OnHeaderMouseUp) owner_.OnHeaderMouseUp(this, button, KeyboardShiftState(), p.x, y);
        columns_->DownIndex = NoColumn;
        if (button == TMouseButton::mbRight) columns_->TrackIndex = NoColumn;
      }
      if (button == TMouseButton::mbRight && PopupMenu != nullptr) {
        owner_.StopTimer(ScrollTimer);
        owner_.StopTimer(HeaderTimer);
        columns_->HoverIndex = NoColumn;
        owner_.DoStateChange(0, tsScrolling | tsScrollPending);
        PopupMenu->PopupComponent = &owner_;
        PopupMenu->Popup(GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
        return true;
      }
      return false;
    }
    case WM_NCMOUSEMOVE:
      if (owner_.OnHeaderMouseMove) owner_.OnHeaderMouseMove(this, KeyboardShiftState(), p.x, y);
      if (!PointInHeader(p)) return false;
      if (columns_->UpdateHoverColumn(p) || (columns_->DownIndex >= 0 && columns_->DownIndex != columns_->HoverIndex)) {
        SetTimer(owner_.Handle(), HeaderTimer, 50, nullptr);
      }
      // The application's hints see only client moves: the header's come from here.
      if ((options_ & hoShowHint) != 0 && Application != nullptr) {
        Application->HintMouseMessage(&owner_, POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
      }
      return false;
    case WM_TIMER: {
      if (message.WParam != HeaderTimer) return false;
      POINT cursor{};
      GetCursorPos(&cursor);
      ScreenToClient(owner_.Handle(), &cursor);
      if (PointInHeader(cursor) && (columns_->DownIndex < 0 || columns_->DownIndex == columns_->HoverIndex)) return true;
      owner_.StopTimer(HeaderTimer);
      columns_->HoverIndex = columns_->ClickIndex = columns_->DownIndex = NoColumn;
      InvalidateHeader();
      return true;
    }
    case WM_MOUSEMOVE: return TrackHeaderMouse(p);
    case WM_SETCURSOR: {
      // While a column is tracked or dragged the header keeps the cursor.
      if ((states_ & ~hstLoading) != 0) {
        message.Result = 1;
        return true;
      }
      POINT cursor{};
      GetCursorPos(&cursor);
      ScreenToClient(owner_.Handle(), &cursor);
      if (!PointInHeader(cursor) || (options_ & hoColumnResize) == 0) return false;
      const HCURSOR shape = CursorAt(cursor);
      if (shape == LoadCursorW(0, IDC_ARROW)) return false;
      SetCursor(shape);
      message.Result = 1;
      return true;
    }
    case WM_KEYDOWN:
      if (message.WParam != VK_ESCAPE) return false;
      [[fallthrough]];
    case WM_KILLFOCUS:
      if ((states_ & hstDragging) != 0) {
        ReleaseCapture();
        dragImage_->EndDrag();
        states_ &= static_cast<THeaderStates>(~hstDragging);
        columns_->DropTarget = NoColumn;
        InvalidateHeader();
        return true;
      }
      if ((states_ & hstWidthTracking) != 0) {
        ReleaseCapture();
        states_ &= static_cast<THeaderStates>(~hstWidthTracking);
        return true;
      }
      return false;
    default: return false;
  }
}

// --- stream ---

void TVTHeader::SaveToStream(TStream& stream) const {
  WriteStreamInt(stream, -1);
  WriteStreamInt(stream, 3);
  columns_->SaveToStream(stream);
  WriteStreamInt(stream, autoSizeIndex_);
  WriteStreamInt(stream, background_);
  WriteStreamInt(stream, static_cast<std::int32_t>(height_));
  WriteStreamInt(stream, options_);
  WriteStreamInt(stream, style_);
  TFont& font = const_cast<TFont&>(font_);
  WriteStreamInt(stream, font.Color());
  WriteStreamInt(stream, font.Height());
  WriteStreamInt(stream, static_cast<std::int32_t>(font.Name().size()));
  if (!font.Name().empty()) stream.WriteBuffer(font.Name().data(), static_cast<std::int32_t>(font.Name().size()));
  WriteStreamInt(stream, fontPitch_ & 0x7F);
  WriteStreamInt(stream, static_cast<std::int32_t>(font.Style()));
  WriteStreamInt(stream, mainColumn_);
  WriteStreamInt(stream, sortColumn_);
  WriteStreamInt(stream, sortDirection_);
}

void TVTHeader::LoadFromStream(TStream& stream) {
  states_ |= hstLoading;
  const TVTHeaderOptions keptOptions = options_;
  options_ = 0;
  try {
    std::int32_t version = ReadStreamInt(stream);
    if (version >= 0) {
      stream.Seek(-4, soCurrent);
      version = -1;
    } else {
      version = ReadStreamInt(stream);
      if (version < 0 || version > 3) RefuseStream("unknown header version");
    }
    columns_->LoadFromStream(stream, version);
    HeaderRecord r{};
    r.autoSizeIndex = ReadStreamInt(stream);
    r.background = ReadStreamInt(stream);
    r.height = ReadStreamInt(stream);
    r.options = ReadStreamInt(stream);
    r.style = ReadStreamInt(stream);
    r.fontColor = ReadStreamInt(stream);
    r.fontHeight = ReadStreamInt(stream);
    const std::int32_t nameLength = ReadStreamInt(stream);
    if (nameLength < 0 || nameLength > kLongestFontName || nameLength > StreamRemaining(stream)) {
      RefuseStream("bad font name length");
    }
    r.fontName.resize(static_cast<std::size_t>(nameLength));
    if (nameLength > 0) stream.ReadBuffer(r.fontName.data(), nameLength);
    r.fontPitch = ReadStreamInt(stream);
    r.fontStyle = ReadStreamInt(stream);
    if (version > 0) {
      r.mainColumn = ReadStreamInt(stream);
      r.sortColumn = ReadStreamInt(stream);
      r.sortDirection = ReadStreamInt(stream);
    }
    if (r.height < 0 || r.height > 10000) RefuseStream("bad header height");
    autoSizeIndex_ = r.autoSizeIndex;
    background_ = r.background;
    SetHeight(static_cast<std::uint32_t>(r.height));
    options_ = keptOptions;
    SetOptions(static_cast<TVTHeaderOptions>(r.options));
    style_ = static_cast<TVTHeaderStyle>(std::clamp(r.style, 0, 3));
    font_.SetColor(r.fontColor);
    font_.SetHeight(r.fontHeight);
    font_.SetName(r.fontName);
    fontPitch_ = static_cast<std::uint8_t>(r.fontPitch & 0x7F);
    font_.SetStyle(static_cast<TFontStyles>(r.fontStyle & 0x0F));
    mainColumn_ = std::clamp(r.mainColumn, ColumnCount() > 0 ? 0 : NoColumn, ColumnCount() - 1);
    sortColumn_ = std::clamp(r.sortColumn, NoColumn, ColumnCount() - 1);
    sortDirection_ = r.sortDirection == sdDescending ? sdDescending : sdAscending;
  } catch (const EReadError&) {
    // A damaged header is no header: the defaults keep it usable.
    ResetToDefaults();
    throw;
  }
  states_ &= static_cast<THeaderStates>(~hstLoading);
  owner_.DoColumnResize(NoColumn);
}

// --- painting ---

namespace {

struct EdgeStyle {
  UINT edge;
  UINT flags;
};

struct HeaderEdges {
  EdgeStyle normal, pressed, hot;
};

HeaderEdges EdgesOf(TVTHeaderStyle style) {
  switch (style) {
    case hsThickButtons:
      return {{EDGE_RAISED, BF_LEFT | BF_TOP | BF_BOTTOM | BF_MIDDLE | BF_SOFT | BF_ADJUST},
              {EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_SOFT | BF_ADJUST | BF_FLAT},
              {EDGE_RAISED, BF_LEFT | BF_TOP | BF_BOTTOM | BF_MIDDLE | BF_SOFT | BF_ADJUST}};
    case hsFlatButtons:
      return {{BDR_RAISEDINNER, BF_LEFT | BF_TOP | BF_BOTTOM | BF_MIDDLE | BF_ADJUST},
              {BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE | BF_ADJUST},
              {BDR_RAISEDINNER, BF_LEFT | BF_TOP | BF_BOTTOM | BF_MIDDLE | BF_ADJUST}};
    default:
      return {{BDR_RAISEDINNER, BF_RECT | BF_MIDDLE | BF_SOFT | BF_ADJUST},
              {BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE | BF_ADJUST},
              {BDR_RAISEDINNER, BF_LEFT | BF_TOP | BF_BOTTOM | BF_MIDDLE | BF_ADJUST}};
  }
}

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

// The orange bar under a hot XP-style cell, from the utility images' bar pieces: its
// images are 16 pixels high with the bar in their bottom three rows.
void DrawHotBar(HDC dc, const RECT& r) {
  TCanvas canvas;
  canvas.SetHandle(dc);
  TImageList& images = UtilityImages();
  const int y = r.bottom - UtilityImageSize;
  if (r.right - r.left > 32) {
    images.Draw(canvas, r.left, y, 6);
    for (int x = r.left + 16; x + 16 < r.right - 16; x += 16) images.Draw(canvas, x, y, 7);
    images.Draw(canvas, r.right - 16, y, 8);
  } else {
    images.Draw(canvas, r.right - 16, y, 8);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, r.left, r.top, r.left + (r.right - r.left) / 2, r.bottom);
    images.Draw(canvas, r.left, y, 6);
    RestoreDC(dc, saved);
  }
  canvas.SetHandle(0);
}

void DrawXPStyleButton(HDC dc, const RECT& r, bool pressed, bool hot, bool rightBorder) {
  FillSolid(dc, r, pressed ? RGB(222, 223, 216) : hot ? RGB(250, 248, 243) : RGB(235, 234, 219));
  if (pressed) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(165, 165, 151));
    HGDIOBJ old = SelectObject(dc, pen);
    const POINT outline[] = {{r.left, r.top}, {r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}};
    Polyline(dc, outline, 4);
    SelectObject(dc, old);
    DeleteObject(pen);
    Line(dc, r.left + 1, r.bottom - 2, r.left + 1, r.top, RGB(193, 194, 184));
    Line(dc, r.left + 1, r.top, r.right - 1, r.top, RGB(193, 194, 184));
    Line(dc, r.left + 2, r.bottom - 2, r.left + 2, r.top + 1, RGB(208, 209, 201));
    Line(dc, r.left + 2, r.top + 1, r.right - 1, r.top + 1, RGB(208, 209, 201));
  } else if (hot) {
    DrawHotBar(dc, r);
  } else {
    if (rightBorder) {
      Line(dc, r.right - 2, r.top + 3, r.right - 2, r.bottom - 5, RGB(199, 197, 178));
      Line(dc, r.right - 1, r.top + 3, r.right - 1, r.bottom - 5, RGB(255, 255, 255));
    }
    Line(dc, r.left, r.bottom - 3, r.right, r.bottom - 3, RGB(224, 222, 207));
    Line(dc, r.left, r.bottom - 2, r.right, r.bottom - 2, RGB(213, 210, 195));
    Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, RGB(203, 199, 184));
  }
}

// The face of a cell: the classic edges of the header's style (no theme engine here),
// or the XP look drawn by hand.
void PaintHeaderCellFace(HDC dc, const THeaderPaintInfo& info, const HeaderEdges& edges) {
  RECT face = info.PaintRectangle;
  const TVTHeaderStyle style = info.Column->Owner().Header().Style();
  if (style == hsXPStyle) {
    DrawXPStyleButton(dc, face, info.IsDownIndex, info.IsHoverIndex, info.ShowRightBorder);
  } else if (info.IsDownIndex) {
    DrawEdge(dc, &face, edges.pressed.edge, edges.pressed.flags);
  } else if (info.IsHoverIndex && style == hsPlates && info.Column->Has(coAllowClick)) {
    DrawEdge(dc, &face, edges.hot.edge, edges.hot.flags);
  } else {
    DrawEdge(dc, &face, edges.normal.edge, edges.normal.flags | (info.ShowRightBorder ? BF_RIGHT : 0u));
  }
}

void DrawCaptionText(HDC dc, const std::u16string& caption, RECT bounds, bool enabled, COLORREF color, UINT format) {
  std::u16string text = caption;
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  if (size.cx > bounds.right - bounds.left) text = ShortenString(dc, text, bounds.right - bounds.left);
  SetBkMode(dc, TRANSPARENT);
  if (enabled) {
    SetTextColor(dc, color);
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &bounds, format);
    return;
  }
  RECT shifted = Moved(bounds, 1, 1);
  SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &shifted, format);
  SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &bounds, format);
}

}  // namespace

void TViewTreeColumns::PaintHeader(HDC dc, const RECT& r, int hOffset) {
  TViewTreeObject& tree = header_.Treeview();
  const RECT headerRect = tree.HeaderRect();
  const int height = static_cast<int>(header_.Height());
  const int width = std::max<int>(r.right - r.left, headerRect.right);
  if (width <= 0 || height <= 0) return;
  // The off-screen surface: one bitmap per paint, copied to the target at the end.
  HDC surface = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ oldBitmap = SelectObject(surface, bitmap);
  HGDIOBJ oldFont = SelectObject(surface, header_.Font().Handle());
  const bool designing = (tree.ComponentState() & csDesigning) != 0;
  const bool ownerDrawOption = (header_.Options() & hoOwnerDraw) != 0 && !designing;
  const bool advanced = ownerDrawOption && tree.OnHeaderDrawQueryElements && tree.OnAdvancedHeaderDraw;
  const bool ownerDraw = ownerDrawOption && tree.OnHeaderDraw && !advanced;
  const HeaderEdges edges = EdgesOf(header_.Style());
  TCanvas canvas;
  canvas.SetHandle(surface);
  // What an advanced owner claims is painted by it, in a device context it may change.
  auto claim = [&](THeaderPaintInfo& info) {
    THeaderPaintElements elements = 0;
    if (advanced) tree.OnHeaderDrawQueryElements(&header_, info, elements);
    return elements;
  };
  auto ownerPaints = [&](THeaderPaintInfo& info, THeaderPaintElements elements) {
    if (elements == 0) return;
    const int saved = SaveDC(surface);
    tree.OnAdvancedHeaderDraw(&header_, info, elements);
    RestoreDC(surface, saved);
  };
  if (tree.UseRightToLeftReading()) hOffset += GetSystemMetrics(SM_CXVSCROLL);
  const RECT whole{0, 0, width, height};
  THeaderPaintInfo backgroundInfo;
  backgroundInfo.TargetCanvas = &canvas;
  backgroundInfo.PaintRectangle = whole;
  const THeaderPaintElements backgroundClaimed = claim(backgroundInfo) & hpeBackground;
  if (backgroundClaimed != 0) {
    ownerPaints(backgroundInfo, hpeBackground);
  } else if (header_.Style() == hsXPStyle) {
    DrawXPStyleButton(surface, whole, false, false, false);
  } else {
    FillSolid(surface, whole, ColorToRGB(header_.Background()));
  }
  const int lastPosition = Count() - 1;
  int left = 0;
  bool scrolled = false;
  for (TColumnIndex index : positionToIndex_) {
    TViewTreeColumn& column = *items_[static_cast<std::size_t>(index)];
    if (!column.Has(coVisible)) continue;
    if (!scrolled && !column.Has(coFixed)) {
      left += hOffset;
      scrolled = true;
    }
    RECT cell{left, 0, left + column.Width(), height};
    left = cell.right;
    if (cell.left >= r.right) break;
    if (cell.right <= r.left) continue;
    const int saved = SaveDC(surface);
    IntersectClipRect(surface, cell.left, cell.top, cell.right, cell.bottom);
    THeaderPaintInfo info;
    info.TargetCanvas = &canvas;
    info.Column = &column;
    info.PaintRectangle = cell;
    info.IsEnabled = column.Has(coEnabled) && tree.Enabled();
    info.IsHoverIndex = index == HoverIndex && (header_.Options() & hoHotTrack) != 0 && column.Has(coEnabled);
    info.IsDownIndex = index == DownIndex;
    if (column.Has(coShowDropMark) && index == DropTarget && index != DragIndex) info.DropMark = DropBefore ? dmmLeft : dmmRight;
    info.ShowHeaderGlyph =
        (header_.Options() & hoShowImages) != 0 && header_.Images() != nullptr && column.ImageIndex() >= 0;
    info.ShowSortGlyph = index == header_.SortColumn() && (header_.Options() & hoShowSortGlyphs) != 0;
    info.ShowRightBorder = header_.Style() == hsThickButtons || (header_.Options() & hoAutoResize) == 0 ||
                           static_cast<int>(column.Position()) != lastPosition;
    if (column.Style() == vsOwnerDraw && ownerDraw) {
      tree.OnHeaderDraw(&header_, canvas, &column, cell, info.IsHoverIndex, info.IsDownIndex, info.DropMark);
      RestoreDC(surface, saved);
      continue;
    }
    const THeaderPaintElements claimed = claim(info);
    if ((claimed & hpeBackground) == 0) PaintHeaderCellFace(surface, info, edges);
    RECT content{cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2};
    UINT format = DT_LEFT | DT_TOP | DT_NOPREFIX;
    if (column.ReadsRightToLeft()) format |= DT_RTLREADING;
    column.ComputeHeaderLayout(surface, content, info.ShowHeaderGlyph, info.ShowSortGlyph, info.GlyphPos,
                               info.SortGlyphPos, info.TextRectangle);
    if (info.IsDownIndex) {
      info.GlyphPos = POINT{info.GlyphPos.x + 1, info.GlyphPos.y + 1};
      info.SortGlyphPos = POINT{info.SortGlyphPos.x + 1, info.SortGlyphPos.y + 1};
      info.TextRectangle = Moved(info.TextRectangle, 1, 1);
    }
    if ((claimed & hpeHeaderGlyph) == 0 && info.ShowHeaderGlyph &&
        !(info.ShowSortGlyph && !column.ReadsRightToLeft() &&
          info.GlyphPos.x + header_.Images()->Width() > info.SortGlyphPos.x)) {
      header_.Images()->Draw(canvas, info.GlyphPos.x, info.GlyphPos.y, column.ImageIndex(), info.IsEnabled);
    }
    if ((claimed & hpeText) == 0 && !column.Text().empty()) {
      const COLORREF color = info.IsHoverIndex ? ColorToRGB(tree.Colors().Color(TVTColors::HeaderHotColor))
                                               : ColorToRGB(header_.Font().Color());
      DrawCaptionText(surface, column.Text(), info.TextRectangle, info.IsEnabled, color, format);
    }
    if ((claimed & hpeSortGlyph) == 0 && info.ShowSortGlyph) {
      UtilityImages().Draw(canvas, info.SortGlyphPos.x, info.SortGlyphPos.y,
                           header_.SortDirection() == sdAscending ? 3 : 2);
    }
    if ((claimed & hpeDropMark) == 0 && info.DropMark != dmmNone) {
      const int y = (height - UtilityImageSize) / 2;
      if (info.DropMark == dmmLeft) UtilityImages().Draw(canvas, cell.left, y, 0);
      if (info.DropMark == dmmRight) UtilityImages().Draw(canvas, cell.right - UtilityImageSize, y, 1);
    }
    ownerPaints(info, claimed);
    RestoreDC(surface, saved);
  }
  canvas.SetHandle(0);
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, surface, r.left, 0, SRCCOPY);
  SelectObject(surface, oldFont);
  SelectObject(surface, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(surface);
}
