#include "controls/vtree/vt_paint.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/device_context.h"
#include "platform/gdi/frame_drawing.h"
#include "platform/gdi/window_picture.h"
#include "platform/kernel/mul_div.h"

namespace {

// GDI objects made for one drawing call and freed with it.
class SolidBrush {
 public:
  explicit SolidBrush(TColor color) : handle_(CreateSolidBrush(ColorToRGB(color))) {}
  ~SolidBrush() { DeleteObject(handle_); }
  SolidBrush(const SolidBrush&) = delete;
  SolidBrush& operator=(const SolidBrush&) = delete;
  HBRUSH get() const { return handle_; }

 private:
  HBRUSH handle_;
};

class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)), object_(object) {}
  ~Selected() {
    SelectObject(dc_, old_);
    DeleteObject(object_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
  HGDIOBJ object_;
};

void Fill(HDC dc, const RECT& r, TColor color) {
  SolidBrush brush(color);
  FillRect(dc, &r, brush.get());
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Moved(const RECT& r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// The row bitmap of one cycle: as wide as the painted window, as high as the tallest
// row so far.
class RowBuffer {
 public:
  RowBuffer(HDC reference, int width) : dc_(CreateCompatibleDC(reference)), width_(std::max(width, 1)) {}
  ~RowBuffer() {
    canvas.SetHandle(0);
    if (bitmap_ != 0) {
      SelectObject(dc_, old_);
      DeleteObject(bitmap_);
    }
    DeleteDC(dc_);
  }
  RowBuffer(const RowBuffer&) = delete;
  RowBuffer& operator=(const RowBuffer&) = delete;
  // Makes room for a row and places content X at the bitmap's left.
  HDC Row(int height, int windowLeft) {
    if (height > height_) {
      HBITMAP grown = CreateCompatibleBitmap(dc_, width_, height);
      HGDIOBJ previous = SelectObject(dc_, grown);
      if (bitmap_ != 0) {
        DeleteObject(bitmap_);
      } else {
        old_ = previous;
      }
      bitmap_ = grown;
      height_ = height;
    }
    SetViewportOrgEx(dc_, -windowLeft, 0, nullptr);
    SelectClipRgn(dc_, 0);
    return dc_;
  }
  HDC dc() const { return dc_; }
  TCanvas canvas;

 private:
  HDC dc_;
  HBITMAP bitmap_ = 0;
  HGDIOBJ old_ = 0;
  int width_;
  int height_ = 0;
};

}  // namespace

// --- line images ---

int TViewTreePainting::DetermineLineImage(PViewNode node, TLineImage& lineImage) {
  const bool showRoot = (TreeOptions().PaintOptions() & toShowRoot) != 0;
  const bool lines = (TreeOptions().PaintOptions() & toShowTreeLines) != 0;
  const std::size_t levels = GetNodeLevel(node) + (showRoot ? 1 : 0);
  lineImage.assign(levels, ltNone);
  int selected = 0;
  for (PViewNode p = node->Parent; p != root_; p = p->Parent) {
    if (p->Has(vsSelected)) ++selected;
  }
  if (levels == 0 || !lines) return selected;
  std::size_t level = levels - 1;
  if (node->Parent != root_) {
    lineImage[level] = HasVisibleNextSibling(node) ? ltTopDownRight : ltTopRight;
    for (PViewNode p = node->Parent; p->Parent != root_ && level > 0; p = p->Parent) {
      --level;
      lineImage[level] = HasVisibleNextSibling(p) ? ltTopDown : ltNone;
    }
  }
  if (showRoot) {
    PViewNode top = node;
    while (top->Parent != root_) top = top->Parent;
    if (top == node) {
      const bool first = IsFirstVisibleChild(root_, node), last = IsLastVisibleChild(root_, node);
      lineImage[0] = first && last ? ltRight : first ? ltBottomRight : last ? ltTopRight : ltTopDownRight;
    } else {
      lineImage[0] = HasVisibleNextSibling(top) ? ltTopDown : ltNone;
    }
  }
  return selected;
}

// --- element painters ---

void TViewTreePainting::SetDottedBrush(TCanvas& canvas, TColor color) {
  // A checkerboard of single pixels for dotted lines, all set for solid ones; the set
  // bits (white) take the background colour.
  const BYTE dotted[] = {0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0};
  const BYTE solid[16] = {};
  HBITMAP pattern = CreateBitmap(8, 8, 1, 1, LineStyle() == lsSolid ? solid : dotted);
  HBRUSH brush = CreatePatternBrush(pattern);
  DeleteObject(pattern);
  HDC dc = canvas.Handle();
  DeleteObject(SelectObject(dc, brush));
  SetTextColor(dc, ColorToRGB(color));
  SetBkColor(dc, ColorToRGB(Color()));
}

void TViewTreePainting::DrawDottedHLine(const TVTPaintInfo& info, int left, int right, int top) {
  const RECT r{std::min(left, right), top, std::max(left, right) + 1, top + 1};
  HDC dc = info.Canvas->Handle();
  PatBlt(dc, r.left, r.top, r.right - r.left, 1, PATCOPY);
}

void TViewTreePainting::DrawDottedVLine(const TVTPaintInfo& info, int top, int bottom, int left) {
  HDC dc = info.Canvas->Handle();
  PatBlt(dc, left, std::min(top, bottom), 1, std::abs(bottom - top) + 1, PATCOPY);
}

void TViewTreePainting::DrawLinePiece(const TVTPaintInfo& info, TVTLineType type, int x, int vAlign, int indent,
                                      bool reverse) {
  const int half = indent / 2;
  const int top = 0, bottom = static_cast<int>(info.Node->NodeHeight);
  const int hFrom = x + half, hTo = reverse ? x : x + indent;
  switch (type) {
    case ltBottomRight:
      DrawDottedVLine(info, vAlign, bottom, x + half);
      DrawDottedHLine(info, hFrom, hTo, vAlign);
      break;
    case ltTopDown: DrawDottedVLine(info, top, bottom, x + half); break;
    case ltTopDownRight:
      DrawDottedVLine(info, top, bottom, x + half);
      DrawDottedHLine(info, hFrom, hTo, vAlign);
      break;
    case ltRight: DrawDottedHLine(info, hFrom, hTo, vAlign); break;
    case ltTopRight:
      DrawDottedVLine(info, top, vAlign, x + half);
      DrawDottedHLine(info, hFrom, hTo, vAlign);
      break;
    case ltLeft: DrawDottedVLine(info, top, bottom, reverse ? x + indent : x); break;
    case ltLeftBottom:
      DrawDottedVLine(info, top, bottom, reverse ? x + indent : x);
      DrawDottedHLine(info, x, x + indent, bottom);
      break;
    case ltNone: break;
  }
}

void TViewTreePainting::PaintTreeLines(const TVTPaintInfo& info, int vAlignment, int indentSize,
                                       const TLineImage& lineImage) {
  const int indent = static_cast<int>(Indent());
  const bool bands = LineMode() == lmBands;
  SetDottedBrush(*info.Canvas, Colors().Color(bands ? TVTColors::GridLineColor : TVTColors::TreeLineColor));
  for (int level = 0; level < indentSize && level < static_cast<int>(lineImage.size()); ++level) {
    const int x = info.RightToLeft ? info.CellRect.right - (level + 1) * indent : info.CellRect.left + level * indent;
    TVTLineType type = lineImage[static_cast<std::size_t>(level)];
    if (bands) {
      // Bands: a line down the left of every level that has one, closed at the
      // bottom where the level ends.
      type = type == ltNone ? ltNone : (type == ltTopRight || type == ltRight ? ltLeftBottom : ltLeft);
    }
    DrawLinePiece(info, type, x, vAlignment, indent, info.RightToLeft);
  }
}

void TViewTreePainting::PaintNodeButton(TCanvas& canvas, PViewNode node, const RECT& r, int buttonX, int buttonY,
                                        bool rightToLeft) {
  const int x = rightToLeft ? r.right - buttonX - ButtonSize : r.left + buttonX;
  const int y = r.top + buttonY;
  HDC dc = canvas.Handle();
  const TColor face = ButtonFillMode() == fmWindowColor ? clWindow : Color();
  {
    Selected pen(dc, CreatePen(PS_SOLID, 1, ColorToRGB(clBtnShadow)));
    Selected brush(dc, CreateSolidBrush(ColorToRGB(face)));
    if (ButtonFillMode() == fmTransparent) SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, x, y, x + ButtonSize, y + ButtonSize);
  }
  Selected pen(dc, CreatePen(PS_SOLID, 1, ColorToRGB(clWindowText)));
  MoveToEx(dc, x + 2, y + ButtonSize / 2, nullptr);
  LineTo(dc, x + ButtonSize - 2, y + ButtonSize / 2);
  if (!node->Has(vsExpanded)) {
    MoveToEx(dc, x + ButtonSize / 2, y + 2, nullptr);
    LineTo(dc, x + ButtonSize / 2, y + ButtonSize - 2);
  }
}

void TViewTreePainting::PaintCheckImage(const TVTPaintInfo& info) {
  const TVTImageInfo& check = info.ImageInfo[iiCheck];
  PViewNode node = info.Node;
  UINT state = 0;
  switch (node->CheckType) {
    case ctRadioButton: state = DFCS_BUTTONRADIO; break;
    case ctButton: state = DFCS_BUTTONPUSH; break;
    case ctTriStateCheckBox: state = DFCS_BUTTON3STATE; break;
    default: state = DFCS_BUTTONCHECK; break;
  }
  const TCheckState checkState = node->CheckState;
  if (checkState == csCheckedNormal || checkState == csCheckedPressed || checkState == csMixedNormal ||
      checkState == csMixedPressed) {
    state |= DFCS_CHECKED;
  }
  if (checkState == csUncheckedPressed || checkState == csCheckedPressed || checkState == csMixedPressed) {
    state |= DFCS_PUSHED;
  }
  if (node->Has(vsDisabled) || !Enabled()) state |= DFCS_INACTIVE;
  RECT box{check.XPos, check.YPos, check.XPos + CheckImageSize, check.YPos + CheckImageSize};
  DrawFrameControl(info.Canvas->Handle(), &box, DFC_BUTTON, state);
}

void TViewTreePainting::PaintImage(const TVTPaintInfo& info, TVTImageInfoIndex index, bool doOverlay) {
  const TVTImageInfo& image = info.ImageInfo[index];
  if (image.Images == nullptr || image.Index < 0) return;
  PViewNode node = info.Node;
  const bool cut = node->Has(vsCutOrCopy) && InState(tsCutPending);
  const bool focused = HasFocusedLook() || (TreeOptions().PaintOptions() & toGhostedIfUnfocused) != 0;
  UINT style = ILD_TRANSPARENT;
  bool ghosted = false;
  int overlay = -1;
  if (doOverlay) overlay = NodeImageIndex(node, ikOverlay, info.Column, ghosted);
  if (overlay >= 0 && overlay <= 14) style |= static_cast<UINT>(overlay + 1) << 8;
  const bool blended = ((TreeOptions().PaintOptions() & toUseBlendedImages) != 0 && focused && image.Ghosted) ||
                       (node->Has(vsSelected) && (TreeOptions().SelectionOptions() & toFullRowSelect) == 0 &&
                        (TreeOptions().MiscOptions() & toGridExtensions) == 0) ||
                       cut;
  if (blended) style |= ILD_BLEND50;
  const bool enabled = !node->Has(vsDisabled) && Enabled();
  if (!enabled) {
    image.Images->Draw(*info.Canvas, image.XPos, image.YPos, image.Index, false);
  } else {
    image.Images->DrawStyled(*info.Canvas, image.XPos, image.YPos, image.Index, style);
  }
  if (overlay > 14) image.Images->Draw(*info.Canvas, image.XPos, image.YPos, overlay, enabled);
}

void TViewTreePainting::DoPaintNode(TVTPaintInfo&) {}

void TViewTreePainting::DoPaintDropMark(TCanvas& canvas, PViewNode, const RECT& r) {
  if (LastDropMode != dmAbove && LastDropMode != dmBelow) return;
  const LONG l = r.left, t = r.top, rr = r.right, b = r.bottom;
  const POINT above[] = {{l + 2, t}, {rr - 2, t}, {rr - 2, t + 6}, {rr - 6, t + 2}, {l + 6, t + 2}, {l + 2, t + 6}};
  const POINT below[] = {{l + 2, b - 1}, {rr - 2, b - 1}, {rr - 2, b - 8}, {rr - 7, b - 3}, {l + 7, b - 3}, {l + 2, b - 8}};
  HDC dc = canvas.Handle();
  Selected pen(dc, CreatePen(PS_NULL, 1, 0));
  Selected brush(dc, CreateSolidBrush(ColorToRGB(Colors().Color(TVTColors::DropMarkColor))));
  Polygon(dc, LastDropMode == dmAbove ? above : below, 6);
}

void TViewTreePainting::PaintSelectionRectangle(TCanvas& target, int windowOrgX, const RECT& selectionRect,
                                                const RECT& targetRect) {
  HDC dc = target.Handle();
  const RECT band{selectionRect.left - windowOrgX, selectionRect.top, selectionRect.right - windowOrgX,
                  selectionRect.bottom};
  const RECT part{std::max(band.left, targetRect.left), std::max(band.top, targetRect.top),
                  std::min(band.right, targetRect.right), std::min(band.bottom, targetRect.bottom)};
  if (Empty(part)) return;
  // The band's own edges only: it is drawn a row at a time, clipped to each row.
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, targetRect.left, targetRect.top, targetRect.right, targetRect.bottom);
  if (DrawSelectionMode() == smBlendedRectangle && TreeGlobals().MMXAvailable) {
    AlphaBlend(0, dc, part, POINT{0, 0}, bmConstantAlphaAndColor, SelectionBlendFactor(),
               static_cast<int>(ColorToRGB(Colors().Color(TVTColors::SelectionRectangleBlendColor))));
    SolidBrush border(Colors().Color(TVTColors::SelectionRectangleBorderColor));
    FrameRect(dc, &band, border.get());
  } else {
    const COLORREF text = SetTextColor(dc, RGB(255, 255, 255)), back = SetBkColor(dc, RGB(0, 0, 0));
    DrawFocusRect(dc, &band);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
  }
  RestoreDC(dc, saved);
}

TColumnIndex TViewTreePainting::FitCellPaintRect(TVTPaintInfo& info) {
  return Header().UseColumns() ? Header().Columns().NextVisibleColumn(info.Column) : InvalidColumn;
}

bool TViewTreePainting::HasFocusedLook() {
  return (HandleAllocated() && GetFocus() == Handle()) || (TreeOptions().PaintOptions() & toPopupMode) != 0;
}

bool TViewTreePainting::UsesBackgroundPicture(TVTPaintOptions8 options) {
  return (TreeOptions().PaintOptions() & toShowBackground) != 0 && !Background().Bitmap().Empty() &&
         (options & poBackground) != 0;
}

bool TViewTreePainting::BlendsSelection() const {
  return TreeGlobals().MMXAvailable && (TreeOptions().PaintOptions() & toUseBlendedSelection) != 0;
}

void TViewTreePainting::DrawBackgroundPicture(HDC dc, const RECT& area, int contentTop) {
  TBitmap& picture = Background().Bitmap();
  const int w = picture.Width(), h = picture.Height();
  HDC source = picture.Canvas().Handle();
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  const int x0 = BackgroundOffsetX(), y0 = BackgroundOffsetY() - contentTop;
  if ((TreeOptions().PaintOptions() & toStaticBackground) != 0) {
    Fill(dc, area, Color());
    BitBlt(dc, x0, y0, w, h, source, 0, 0, SRCCOPY);
  } else {
    // Tiles in picture-sized steps from the offsets, the first one at or before the
    // area's corner.
    auto first = [](int from, int origin, int step) { return origin + static_cast<int>(std::floor(static_cast<double>(from - origin) / step)) * step; };
    for (int y = first(area.top, y0, h); y < area.bottom; y += h) {
      for (int x = first(area.left, x0, w); x < area.right; x += w) BitBlt(dc, x, y, w, h, source, 0, 0, SRCCOPY);
    }
  }
  RestoreDC(dc, saved);
}

void TViewTreePainting::PaintRowBackground(TVTPaintInfo& info, const RECT& row, int rowTop) {
  TColor color = Color();
  TItemEraseAction action = eaDefault;
  TCanvas& canvas = *info.Canvas;
  if (OnBeforeItemErase) OnBeforeItemErase(this, canvas, info.Node, row, color, action);
  HDC dc = canvas.Handle();
  if (action == eaColor) {
    Fill(dc, row, color);
  } else if (action == eaDefault && UsesBackgroundPicture(info.PaintOptions)) {
    DrawBackgroundPicture(dc, row, rowTop);
  } else if (action == eaDefault) {
    const bool block = (info.PaintOptions & poDrawSelection) != 0 &&
                       (TreeOptions().SelectionOptions() & toFullRowSelect) != 0 && info.Node->Has(vsSelected) &&
                       (TreeOptions().PaintOptions() & toUseBlendedSelection) == 0;
    Fill(dc, row, Color());
    if (block) {
      RECT r = row;
      if ((TreeOptions().PaintOptions() & toShowHorzGridLines) != 0) --r.bottom;
      const bool focused = HasFocusedLook();
      Selected brush(dc, CreateSolidBrush(ColorToRGB(Colors().Color(
                             focused ? TVTColors::FocusedSelectionColor : TVTColors::UnfocusedSelectionColor))));
      Selected pen(dc, CreatePen(PS_SOLID, 1, ColorToRGB(Colors().Color(
                                                  focused ? TVTColors::FocusedSelectionBorderColor
                                                          : TVTColors::UnfocusedSelectionBorderColor))));
      const int radius = static_cast<int>(SelectionCurveRadius());
      RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
    }
  }
  if (OnAfterItemErase) OnAfterItemErase(this, canvas, info.Node, row);
}

void TViewTreePainting::PaintSelectionAndFocus(TVTPaintInfo& info) {
  HDC dc = info.Canvas->Handle();
  if ((info.PaintOptions & poColumnColor) != 0) Fill(dc, info.CellRect, Header().Columns()[info.Column].Color());
  if (OnBeforeCellPaint) OnBeforeCellPaint(this, *info.Canvas, info.Node, info.Column, info.CellRect);
  const bool fullRow = (TreeOptions().SelectionOptions() & toFullRowSelect) != 0;
  const bool gridExtensions = (TreeOptions().MiscOptions() & toGridExtensions) != 0;
  if (info.Column != focusedColumn_ && !fullRow) return;
  // The selection covers the content's width placed as the cell aligns it.
  RECT selection = info.CellRect;
  if (!gridExtensions && !fullRow) {
    const int width = info.NodeWidth + 2 * TextMargin();
    selection = info.ContentRect;
    TAlignment alignment = info.Alignment;
    if (info.RightToLeft && alignment != taCenter) alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
    if (alignment == taLeftJustify) selection.right = std::min<LONG>(selection.left + width, selection.right);
    if (alignment == taRightJustify) selection.left = std::max<LONG>(selection.right - width, selection.left);
    if (alignment == taCenter) {
      const LONG middle = (selection.left + selection.right) / 2;
      selection.left = std::max<LONG>(middle - width / 2, selection.left);
      selection.right = std::min<LONG>(selection.left + width, selection.right);
    }
  }
  const bool focusedLook = HasFocusedLook();
  if ((info.PaintOptions & poDrawSelection) != 0 && !Empty(selection)) {
    TVTColors::Index fill = TVTColors::Count, border = TVTColors::Count;
    if (info.Node == dropTargetNode_ && (LastDropMode == dmOnNode || info.Node->Has(vsSelected))) {
      fill = TVTColors::DropTargetColor;
      border = TVTColors::DropTargetBorderColor;
    } else if (info.Node->Has(vsSelected)) {
      fill = focusedLook ? TVTColors::FocusedSelectionColor : TVTColors::UnfocusedSelectionColor;
      border = focusedLook ? TVTColors::FocusedSelectionBorderColor : TVTColors::UnfocusedSelectionBorderColor;
    }
    // A full-row block is the row's background already.
    const bool block = fullRow && (TreeOptions().PaintOptions() & toUseBlendedSelection) == 0;
    if (fill != TVTColors::Count && !block && BlendsSelection()) {
      AlphaBlend(0, dc, selection, POINT{0, 0}, bmConstantAlphaAndColor, SelectionBlendFactor(),
                 static_cast<int>(ColorToRGB(Colors().Color(fill))));
    } else if (fill != TVTColors::Count && !block) {
      Selected brush(dc, CreateSolidBrush(ColorToRGB(Colors().Color(fill))));
      Selected pen(dc, CreatePen(PS_SOLID, 1, ColorToRGB(Colors().Color(border))));
      const int radius = static_cast<int>(SelectionCurveRadius());
      RoundRect(dc, selection.left, selection.top, selection.right, selection.bottom, radius, radius);
    }
  }
  if ((info.PaintOptions & poDrawFocusRect) != 0 && info.Column == focusedColumn_ && focusedLook &&
      info.Node == focusedNode_) {
    const RECT focus = gridExtensions ? info.CellRect : selection;
    const COLORREF text = SetTextColor(dc, RGB(255, 255, 255)), back = SetBkColor(dc, RGB(0, 0, 0));
    DrawFocusRect(dc, &focus);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
  }
}

void TViewTreePainting::MeasureItemHeight(TCanvas&, PViewNode node) {
  if (node->Has(vsHeightMeasured)) return;
  node->Include(vsHeightMeasured);
  int height = node->NodeHeight;
  DoMeasureItem(node, height);
  if (height != node->NodeHeight && height > 0) {
    const std::int64_t delta = static_cast<std::int64_t>(height) - node->NodeHeight;
    StopCacheValidation();
    node->NodeHeight = static_cast<std::uint16_t>(height);
    AdjustTotalHeight(node, delta);
    InvalidateCache();
  }
}

// --- the cycle ---

void TViewTreePainting::PaintRowCells(TVTPaintInfo& info, const RECT& window, int vAlign, const TLineImage& lineImage,
                                      bool columns, TColumnIndex editColumn) {
  TViewTreeColumns& headerColumns = Header().Columns();
  const RECT row{window.left, 0, std::max<LONG>(window.right, std::max<LONG>(TreeClientRect().right, rangeX_)),
                 static_cast<LONG>(info.Node->NodeHeight)};
  TColumnIndex column = columns ? headerColumns.FirstVisibleColumn() : NoColumn;
  const TVTPaintOptions8 options = info.PaintOptions;
  const TColumnIndex main = MainColumnOrNone();
  HDC dc = info.Canvas->Handle();
  while (column != InvalidColumn) {
    info.Column = column;
    info.PaintOptions = options;
    if ((options & poMainOnly) != 0 && column != main) {
      column = columns ? headerColumns.NextVisibleColumn(column) : InvalidColumn;
      continue;
    }
    if (columns) {
      const TViewTreeColumn& c = headerColumns[column];
      info.CellRect = RECT{c.StoredLeft(), 0, c.StoredLeft() + c.Width(), row.bottom};
      info.Position = c.Position();
      if (c.Has(coParentColor) || (info.Node->Has(vsSelected) && (TreeOptions().SelectionOptions() & toFullRowSelect) != 0 &&
                                   (options & poDrawSelection) != 0)) {
        info.PaintOptions &= static_cast<TVTPaintOptions8>(~poColumnColor);
      }
    } else {
      info.CellRect = row;
      info.PaintOptions &= static_cast<TVTPaintOptions8>(~poColumnColor);
    }
    const bool edited = InState(tsEditing) && info.Node == focusedNode_ && (!columns || column == editColumn);
    if (edited) info.PaintOptions &= static_cast<TVTPaintOptions8>(~poDrawSelection);
    const TColumnIndex next = FitCellPaintRect(info);
    if (info.CellRect.right <= window.left) {
      column = next;
      continue;
    }
    info.Layout = LayoutCell(info.Node, column, info.CellRect);
    info.RightToLeft = info.Layout.RightToLeft;
    info.Alignment = info.Layout.Alignment;
    info.ContentRect = info.Layout.Content;
    info.NodeWidth = DoGetNodeWidth(info.Node, column, info.Canvas);
    auto place = [&](TVTImageInfoIndex slot, int left, SIZE size, TImageList* list, int index, bool ghosted) {
      info.ImageInfo[slot] = TVTImageInfo{};
      if (left < 0) return;
      info.ImageInfo[slot] = TVTImageInfo{index, info.CellRect.left + left, vAlign - size.cy / 2, ghosted, list};
    };
    bool ghosted = false;
    place(iiCheck, info.Layout.CheckLeft, SIZE{CheckImageSize, CheckImageSize}, nullptr, GetCheckImage(info.Node), false);
    const int state = info.Layout.StateLeft >= 0 ? NodeImageIndex(info.Node, ikState, column, ghosted) : -1;
    place(iiState, info.Layout.StateLeft, info.Layout.StateSize, StateImages, state, ghosted);
    const int normal =
        info.Layout.ImageLeft >= 0
            ? NodeImageIndex(info.Node, info.Node->Has(vsSelected) ? ikSelected : ikNormal, column, ghosted)
            : -1;
    place(iiNormal, info.Layout.ImageLeft, info.Layout.ImageSize, Images, normal, ghosted);
    const int saved = SaveDC(dc);
    if (columns) IntersectClipRect(dc, info.CellRect.left, info.CellRect.top, info.CellRect.right, info.CellRect.bottom);
    const bool grid = (info.PaintOptions & poGridLines) != 0;
    if (grid && (TreeOptions().PaintOptions() & toShowHorzGridLines) != 0) {
      const int left = column == main && LineMode() == lmBands && !info.RightToLeft
                           ? info.CellRect.left + info.Layout.IndentWidth
                           : info.CellRect.left;
      const int right = column == main && LineMode() == lmBands && info.RightToLeft
                            ? info.CellRect.right - info.Layout.IndentWidth
                            : info.CellRect.right;
      Fill(dc, RECT{left, info.CellRect.bottom - 1, right, info.CellRect.bottom},
           Colors().Color(TVTColors::GridLineColor));
      --info.CellRect.bottom;
      --info.ContentRect.bottom;
    }
    if (columns && grid && (TreeOptions().PaintOptions() & toShowVertGridLines) != 0 &&
        ((Header().Options() & hoAutoResize) == 0 ||
         static_cast<int>(info.Position) != headerColumns.Count() - 1)) {
      if (!info.RightToLeft || !DoGetCellIsEmpty(info.Node, column)) {
        Fill(dc, RECT{info.CellRect.right - 1, info.CellRect.top, info.CellRect.right, info.CellRect.bottom},
             Colors().Color(TVTColors::GridLineColor));
      }
      --info.CellRect.right;
      info.ContentRect.right = std::min(info.ContentRect.right, info.CellRect.right);
    }
    PaintSelectionAndFocus(info);
    if (column == main) {
      if ((TreeOptions().PaintOptions() & toShowTreeLines) != 0 || LineMode() == lmBands) {
        PaintTreeLines(info, vAlign, static_cast<int>(lineImage.size()), lineImage);
      }
      if (info.Layout.ButtonLeft >= 0) {
        PaintNodeButton(*info.Canvas, info.Node, info.CellRect,
                        info.RightToLeft ? info.CellRect.right - info.CellRect.left - info.Layout.ButtonLeft - ButtonSize
                                         : info.Layout.ButtonLeft,
                        vAlign - ButtonSize / 2, info.RightToLeft);
      }
      if (info.ImageInfo[iiCheck].XPos != 0 || info.Layout.CheckLeft >= 0) {
        if (info.Layout.CheckLeft >= 0) PaintCheckImage(info);
      }
    }
    PaintImage(info, iiState, false);
    PaintImage(info, iiNormal, true);
    if (!edited) DoPaintNode(info);
    if (OnAfterCellPaint) OnAfterCellPaint(this, *info.Canvas, info.Node, column, info.CellRect);
    RestoreDC(dc, saved);
    column = next;
  }
}

void TViewTreePainting::PaintBelowLastRow(TCanvas& canvas, const RECT& area, int contentTop, bool columns,
                                          TVTPaintOptions8 options) {
  bool handled = false;
  if (OnPaintBackground) OnPaintBackground(this, canvas, area, handled);
  if (handled) return;
  HDC dc = canvas.Handle();
  if (UsesBackgroundPicture(options)) {
    DrawBackgroundPicture(dc, area, contentTop);
    return;
  }
  Fill(dc, area, Color());
  if (!columns) return;
  TViewTreeColumns& headerColumns = Header().Columns();
  const bool fullGrid = (options & poGridLines) != 0 && (TreeOptions().PaintOptions() & toShowVertGridLines) != 0 &&
                        (TreeOptions().PaintOptions() & toFullVertGridLines) != 0;
  for (TColumnIndex column : headerColumns.VisibleColumns()) {
    const TViewTreeColumn& c = headerColumns[column];
    const RECT strip{c.StoredLeft(), area.top, c.StoredLeft() + c.Width(), area.bottom};
    Fill(dc, strip, c.Has(coParentColor) ? Color() : c.Color());
    if (fullGrid) Fill(dc, RECT{strip.right - 1, strip.top, strip.right, strip.bottom}, Colors().Color(TVTColors::GridLineColor));
  }
}

void TViewTreePainting::PaintTree(TCanvas& targetCanvas, const RECT& window, POINT target,
                                  TVTPaintOptions8 paintOptions) {
  DoStateChange(tsPainting);
  if (OnBeforePaint) OnBeforePaint(this, targetCanvas);
  HDC targetDc = targetCanvas.Handle();
  const int width = window.right - window.left;
  RowBuffer buffer(targetDc, width);
  try {
    const bool columns = Header().UseColumns();
    const TVTPaintOptions visual = TreeOptions().PaintOptions();
    if ((visual & toAlwaysHideSelection) != 0 || ((visual & toHideSelection) != 0 && !HasFocusedLook())) {
      paintOptions &= static_cast<TVTPaintOptions8>(~poDrawSelection);
    }
    if ((visual & toHideFocusRect) != 0) paintOptions &= static_cast<TVTPaintOptions8>(~poDrawFocusRect);
    // The rubber band, normalised, while one is drawn.
    const RECT corners = SelectionRect();
    RECT band{std::min(corners.left, corners.right), std::min(corners.top, corners.bottom),
              std::max(corners.left, corners.right), std::max(corners.top, corners.bottom)};
    if (!InState(tsDrawSelPending | tsDrawSelecting)) band = RECT{};
    int rowTop = 0;
    PViewNode node = GetNodeAt(0, window.top, false, rowTop);
    TLineImage lineImage;
    int selectionLevel = node != nullptr ? DetermineLineImage(node, lineImage) : 0;
    int drawn = 0;
    while (node != nullptr && rowTop < window.bottom) {
      EnsureInitialized(node);
      if (node->Has(vsSelected)) ++selectionLevel;
      MeasureItemHeight(targetCanvas, node);
      const int height = node->NodeHeight;
      // Rows partly above the window start above the target.
      const int skip = std::max(window.top - rowTop, 0);
      const int visibleHeight = std::min(rowTop + height, static_cast<int>(window.bottom)) - rowTop - skip;
      if ((paintOptions & poSelectedOnly) == 0 || selectionLevel > 0) {
        HDC dc = buffer.Row(height, window.left);
        buffer.canvas.SetHandle(dc);
        buffer.canvas.Font().Assign(&Font());
        SelectObject(dc, Font().Handle());
        SetBrushOrgEx(dc, window.left & 1, rowTop & 1, nullptr);
        TVTPaintInfo info;
        info.Canvas = &buffer.canvas;
        info.PaintOptions = paintOptions;
        info.Node = node;
        info.BrushOrigin = POINT{window.left & 1, rowTop & 1};
        const RECT row{window.left, 0, window.right, height};
        int vAlign = node->Align;
        if (NodeAlignment() == naFromBottom) vAlign = height - node->Align;
        if (NodeAlignment() == naProportional) {
          const int imageHeight = Images != nullptr ? Images->Height() : StateImages != nullptr ? StateImages->Height() : 0;
          if (imageHeight > 0) {
            vAlign = MulDiv(height - imageHeight, node->Align, 100) + imageHeight / 2;
          } else if ((visual & toShowButtons) != 0) {
            vAlign = MulDiv(height - ButtonSize, node->Align, 100) + ButtonSize / 2;
          } else {
            vAlign = MulDiv(height, node->Align, 100);
          }
        }
        bool customDraw = false;
        if (OnBeforeItemPaint) OnBeforeItemPaint(this, buffer.canvas, node, row, customDraw);
        if (!customDraw) {
          PaintRowBackground(info, row, rowTop);
          PaintRowCells(info, window, vAlign, lineImage, columns, editColumn_);
          if (OnAfterItemPaint) OnAfterItemPaint(this, buffer.canvas, node, row);
          if ((paintOptions & poDrawDropMark) != 0 && node == dropTargetNode_) DoPaintDropMark(buffer.canvas, node, row);
        }
        if (!Empty(band)) PaintSelectionRectangle(buffer.canvas, 0, Moved(band, 0, -rowTop), row);
        if (visibleHeight > 0) {
          BitBlt(targetDc, target.x, target.y + drawn, width, visibleHeight, dc, window.left, skip, SRCCOPY);
        }
        buffer.canvas.SetHandle(0);
      }
      drawn += std::max(visibleHeight, 0);
      rowTop += height;
      if (node->Has(vsSelected)) --selectionLevel;
      PViewNode next = GetNextVisible(node);
      if (next != nullptr) {
        // Leaving subtrees of selected ancestors lowers the selection level.
        selectionLevel = DetermineLineImage(next, lineImage);
      }
      node = next;
    }
    if (rowTop < window.bottom) {
      const int top = std::max(rowTop, static_cast<int>(window.top));
      const int height = window.bottom - top;
      HDC dc = buffer.Row(height, window.left);
      buffer.canvas.SetHandle(dc);
      const RECT area{window.left, 0, window.right, height};
      PaintBelowLastRow(buffer.canvas, area, top, columns, paintOptions);
      if (!Empty(band)) PaintSelectionRectangle(buffer.canvas, 0, Moved(band, 0, -top), area);
      BitBlt(targetDc, target.x, target.y + drawn, width, height, dc, window.left, 0, SRCCOPY);
      buffer.canvas.SetHandle(0);
    }
  } catch (...) {
    DoStateChange(0, tsPainting);
    throw;
  }
  if (OnAfterPaint) OnAfterPaint(this, targetCanvas);
  DoStateChange(0, tsPainting);
}

void TViewTreePainting::PaintBorder() {
  if ((BevelKind() == bkNone && BorderWidth() == 0) || !HandleAllocated()) return;
  HDC dc = GetWindowDC(Handle());
  // The window system draws no frame here: the bevels start at the window's edge.
  RECT r{0, 0, Width(), Height()};
  UINT sides = 0;
  if ((BevelEdges() & beLeft) != 0) sides |= BF_LEFT;
  if ((BevelEdges() & beTop) != 0) sides |= BF_TOP;
  if ((BevelEdges() & beRight) != 0) sides |= BF_RIGHT;
  if ((BevelEdges() & beBottom) != 0) sides |= BF_BOTTOM;
  const UINT look = BevelKind() == bkFlat ? BF_FLAT : BevelKind() == bkSoft ? BF_SOFT : 0;
  auto bevel = [&](TBevelCut cut, UINT raised, UINT sunken) {
    if (BevelKind() == bkNone || cut == bvNone) return;
    if (cut != bvSpace) {
      RECT edge = r;
      DrawEdge(dc, &edge, cut == bvRaised ? raised : sunken, sides | look);
    }
    const int w = BevelWidth();
    r = RECT{r.left + ((sides & BF_LEFT) != 0 ? w : 0), r.top + ((sides & BF_TOP) != 0 ? w : 0),
             r.right - ((sides & BF_RIGHT) != 0 ? w : 0), r.bottom - ((sides & BF_BOTTOM) != 0 ? w : 0)};
  };
  bevel(BevelOuter(), BDR_RAISEDOUTER, BDR_SUNKENOUTER);
  bevel(BevelInner(), BDR_RAISEDINNER, BDR_SUNKENINNER);
  if (BorderWidth() > 0) {
    const int saved = SaveDC(dc);
    const int b = BorderWidth();
    ExcludeClipRect(dc, r.left + b, r.top + b, r.right - b, r.bottom - b);
    Fill(dc, r, Colors().Color(TVTColors::BorderColor));
    RestoreDC(dc, saved);
  }
  ReleaseDC(Handle(), dc);
}

void TViewTreePainting::Paint() {
  TCanvas& canvas = Canvas();
  RECT update{};
  GetClipBox(canvas.Handle(), &update);
  if (Empty(update)) return;
  const int rtl = UseRightToLeftAlignment() && Header().UseColumns() ? RightToLeftShift(true) : 0;
  const int fixed = Header().Columns().FixedColumnsTotalWidth();
  if (fixed == 0) {
    RECT window = update;
    const POINT target{update.left, update.top};
    window.left += effectiveOffsetX_ - rtl;
    window.right += effectiveOffsetX_ - rtl;
    window.top -= offsetY_;
    window.bottom -= offsetY_;
    PaintTree(canvas, window, target, DefaultPaintCycleOptions);
    return;
  }
  // Fixed columns never scroll horizontally: they and the rest are painted apart.
  const RECT client = TreeClientRect();
  RECT window{client.left, client.top - offsetY_, fixed, client.bottom - offsetY_};
  window.left -= rtl;
  window.right -= rtl;
  PaintTree(canvas, window, POINT{client.left, client.top}, DefaultPaintCycleOptions);
  if (fixed >= client.right) return;
  window = RECT{fixed + effectiveOffsetX_ - rtl, client.top - offsetY_, client.right + effectiveOffsetX_ - rtl,
                client.bottom - offsetY_};
  PaintTree(canvas, window, POINT{fixed, client.top}, DefaultPaintCycleOptions);
}
