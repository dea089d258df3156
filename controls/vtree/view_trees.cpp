#include "controls/vtree/view_trees.h"

#include <algorithm>

#include "controls/vtree/vt_edit.h"
#include "controls/vtree/vt_worker.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/scroll.h"

std::unique_ptr<TCustomViewTreeOptions> TBaseViewTree::MakeOptions(TViewTreeObject& owner) {
  return std::make_unique<TCustomViewTreeOptions>(owner);
}

TBaseViewTree::TBaseViewTree(TComponent* owner, const TTreeClass& treeClass, TOptionsFactory makeOptions)
    : TViewTreeDragDrop(owner, treeClass, makeOptions) {
  AcquireValidationWorker();
}

TBaseViewTree::~TBaseViewTree() {
  FlushClipboard();
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

std::size_t TBaseViewTree::PackArray(TNodeArray& nodes) {
  std::erase_if(nodes, [](PViewNode node) { return (reinterpret_cast<std::uintptr_t>(node) & 1) != 0; });
  return nodes.size();
}

// --- the window ---

void TBaseViewTree::CreateParams(TCreateParams& params) {
  TViewTreeDragDrop::CreateParams(params);
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
    TViewTreeDragDrop::CreateWnd();
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
  // The header paints in its own coordinates, from its corner in the frame.
  const RECT header = HeaderRect();
  SetViewportOrgEx(dc, header.left, header.top, nullptr);
  Header().Columns().PaintHeader(dc, RECT{0, 0, header.right - header.left, header.bottom - header.top},
                                 -EffectiveOffsetX());
  ReleaseDC(Handle(), dc);
}

void TBaseViewTree::HandleScroll(int bar, int code) {
  const bool vertical = bar == SB_VERT;
  const RECT client = TreeClientRect();
  const int line = vertical ? ScrollBarOptions().VerticalIncrement() : ScrollBarOptions().HorizontalIncrement();
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
      DoStateChange(tsThumbTracking);
      SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(Handle(), bar, &info);
      position = info.nTrackPos;
      break;
    }
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = vertical ? VerticalRange() : RangeX(); break;
    case SB_ENDSCROLL:
      DoStateChange(0, tsThumbTracking);
      vertical ? UpdateVerticalScrollBar(true) : UpdateHorizontalScrollBar(true);
      RedrawWindow(Handle(), nullptr, 0, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
      return;
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
      TViewTreeDragDrop::WndProc(message);
      // The header takes its height from the top of the client area.
      auto* rect = reinterpret_cast<RECT*>(message.LParam);
      if (rect == nullptr) return;
      // The bevels and the border band, then the header, take their room first.
      const RECT insets = FrameInsets();
      rect->left = std::min(rect->left + insets.left, rect->right);
      rect->right = std::max(rect->right - insets.right, rect->left);
      rect->top = std::min(rect->top + insets.top, rect->bottom);
      rect->bottom = std::max(rect->bottom - insets.bottom, rect->top);
      if ((Header().Options() & hoVisible) != 0) {
        rect->top = std::min<LONG>(rect->top + static_cast<LONG>(Header().Height()), rect->bottom);
      }
      return;
    }
    case WM_NCPAINT:
      TViewTreeDragDrop::WndProc(message);
      PaintHeaderFrame();
      PaintBorder();
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_SIZE:
      TViewTreeDragDrop::WndProc(message);
      if (HandleAllocated() && !InState(tsWindowCreating) && TreeClientRect().bottom > 0) {
        DoStateChange(tsSizing);
        UpdateHeaderRect();
        Header().ShareSpringWidth();
        UpdateScrollBars(true);
        if (InState(tsEditing) && !Header().UseColumns()) UpdateEditBounds();
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
      TViewTreeDragDrop::WndProc(message);
  }
}

// --- the string tree ---

namespace {

// Tells whether a font changed while it is watched (OnPaintText may change the
// canvas's font); the font's own change handler keeps running.
class FontChangeWatch {
 public:
  explicit FontChangeWatch(TFont& font) : font_(font), saved_(font.OnChange) {
    font_.OnChange = [this](TObject* sender) {
      changed_ = true;
      if (saved_) saved_(sender);
    };
  }
  ~FontChangeWatch() { font_.OnChange = saved_; }
  FontChangeWatch(const FontChangeWatch&) = delete;
  FontChangeWatch& operator=(const FontChangeWatch&) = delete;
  void Reset() { changed_ = false; }
  bool Changed() const { return changed_; }

 private:
  TFont& font_;
  TNotifyEvent saved_;
  bool changed_ = false;
};

SIZE TextSize(TCanvas& canvas, const std::u16string& text) {
  canvas.RequiredState(csHandleValid | csFontValid);
  SIZE size{};
  GetTextExtentPoint32W(canvas.Handle(), text.data(), static_cast<int>(text.size()), &size);
  return size;
}

int LineHeight(TCanvas& canvas) {
  canvas.RequiredState(csHandleValid | csFontValid);
  TEXTMETRICW metrics{};
  GetTextMetricsW(canvas.Handle(), &metrics);
  return metrics.tmHeight;
}

TAlignment ReadingAlignment(TAlignment alignment, bool rightToLeft) {
  if (!rightToLeft || alignment == taCenter) return alignment;
  return alignment == taLeftJustify ? taRightJustify : taLeftJustify;
}

UINT AlignmentFlag(TAlignment alignment) {
  return alignment == taRightJustify ? DT_RIGHT : alignment == taCenter ? DT_CENTER : DT_LEFT;
}

}  // namespace

std::unique_ptr<TCustomViewTreeOptions> TCustomViewStringTree::MakeStringOptions(TViewTreeObject& owner) {
  return std::make_unique<TCustomStringTreeOptions>(owner);
}

TCustomViewStringTree::TCustomViewStringTree(TComponent* owner, const TTreeClass& treeClass,
                                             TOptionsFactory makeOptions)
    : TBaseViewTree(owner, treeClass, makeOptions) {
  widthSlot_ = ReserveNodeDataSpace(sizeof(std::int32_t));
  measureBitmap_.SetSize(1, 1);
  RefreshFontMetrics();
}

// Whatever the tree has on the clipboard is rendered while its texts can still be had.
TCustomViewStringTree::~TCustomViewStringTree() { FlushClipboard(); }

TVTContentExporter TCustomViewStringTree::ContentExporter() {
  return TVTContentExporter(*this, [this](PViewNode node, TColumnIndex column) { return GetCellText(node, column); });
}

HRESULT TCustomViewStringTree::RenderOLEData(const FORMATETC& formatEtcIn, STGMEDIUM& medium, bool forClipboard) {
  const HRESULT result = TBaseViewTree::RenderOLEData(formatEtcIn, medium, forClipboard);
  if (SUCCEEDED(result)) return result;
  HGLOBAL text = ContentExporter().ContentToClipboard(formatEtcIn.cfFormat, forClipboard ? tstCutCopySet : tstSelected);
  if (text == nullptr) return result;
  medium = STGMEDIUM{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = text;
  return S_OK;
}

void TCustomViewStringTree::WriteChunks(TStream& stream, PViewNode node) {
  TBaseViewTree::WriteChunks(stream, node);
  WriteCaptionChunk(stream, node);
}

bool TCustomViewStringTree::ReadChunk(TStream& stream, int version, PViewNode node, std::uint32_t chunkType,
                                      std::uint32_t chunkSize, int depth) {
  if (chunkType != CaptionChunk) return TBaseViewTree::ReadChunk(stream, version, node, chunkType, chunkSize, depth);
  ReadCaptionChunk(stream, node, chunkSize);
  return true;
}

TCanvas& TCustomViewStringTree::MeasureCanvas() { return measureBitmap_.Canvas(); }

std::int32_t* TCustomViewStringTree::WidthSlot(PViewNode node) const {
  if (node == nullptr || node == root_) return nullptr;
  return reinterpret_cast<std::int32_t*>(reinterpret_cast<char*>(node) + widthSlot_);
}

std::int32_t TCustomViewStringTree::CachedWidth(PViewNode node) const {
  const std::int32_t* slot = WidthSlot(node);
  return slot == nullptr ? 0 : *slot;
}

void TCustomViewStringTree::ResetAllWidths() {
  for (PViewNode node = GetFirstNoInit(); node != nullptr; node = GetNextNoInit(node)) *WidthSlot(node) = 0;
}

void TCustomViewStringTree::RefreshFontMetrics() {
  TCanvas& canvas = MeasureCanvas();
  canvas.Font().Assign(&Font());
  textHeight_ = LineHeight(canvas);
  ellipsisWidth_ = TextSize(canvas, u"...").cx;
}

void TCustomViewStringTree::SetDefaultText(const std::u16string& value) {
  if (value == defaultText_) return;
  defaultText_ = value;
  if (IsLoading()) return;
  // Widths measured from the old text would outlive it.
  ResetAllWidths();
  Invalidate();
}

void TCustomViewStringTree::ReadLegacyStringOptions(const std::vector<std::string>& names) {
  static const char* const kElements[] = {"toSaveCaptions", "toShowStaticText", "toAutoAcceptEditChange"};
  TVTStringOptions options = 0;
  for (const std::string& name : names) {
    if (name == kElements[0]) options |= toSaveCaptions;
    if (name == kElements[1]) options |= toShowStaticText;
  }
  TreeOptions().SetStringOptions(options);
}

std::u16string TCustomViewStringTree::GetCellText(PViewNode node, TColumnIndex column) {
  EnsureInitialized(node);
  std::u16string text = defaultText_;
  if (OnGetText) OnGetText(this, node, column, ttNormal, text);
  return text;
}

std::u16string TCustomViewStringTree::StaticText(PViewNode node, TColumnIndex column) {
  std::u16string text;
  if (OnGetText) OnGetText(this, node, column, ttStatic, text);
  return text;
}

void TCustomViewStringTree::SetCellText(PViewNode node, TColumnIndex column, const std::u16string& text) {
  if (OnNewText) OnNewText(this, node, column, text);
  // The old width must not reach the scroll bar or the next paint.
  if (std::int32_t* slot = WidthSlot(node)) *slot = 0;
  if (updateCount_ == 0) UpdateHorizontalScrollBar(true);
  InvalidateNode(node);
}

void TCustomViewStringTree::DoPaintText(TCanvas& canvas, PViewNode node, TColumnIndex column,
                                        TVSTTextType textType) {
  if (OnPaintText) OnPaintText(this, canvas, node, column, textType);
}

std::u16string TCustomViewStringTree::DoShortenString(TCanvas& canvas, PViewNode node, TColumnIndex column,
                                                      const std::u16string& s, int width, int ellipsisWidth) {
  std::u16string result;
  bool done = false;
  if (OnShortenString) OnShortenString(this, canvas, node, column, s, width, result, done);
  if (!done) result = ShortenString(canvas.Handle(), s, width, ellipsisWidth);
  return result;
}

int TCustomViewStringTree::MeasureTextWidth(TCanvas& canvas, PViewNode node, TColumnIndex column,
                                            const std::u16string& text) {
  int width = 2 * TextMargin();
  if (text.empty()) return width;
  canvas.Font().Assign(&Font());
  DoPaintText(canvas, node, column, ttNormal);
  return width + TextSize(canvas, text).cx;
}

int TCustomViewStringTree::DoGetNodeWidth(PViewNode node, TColumnIndex column, TCanvas* canvas) {
  if (node == nullptr || node == root_) return 0;
  if (column > NoColumn && node->Has(vsMultiline) && Header().Columns().IsValidColumn(column)) {
    return Header().Columns()[column].Width();
  }
  TCanvas& target = canvas != nullptr ? *canvas : MeasureCanvas();
  if (column != Header().MainColumn()) return MeasureTextWidth(target, node, column, GetCellText(node, column));
  std::int32_t* slot = WidthSlot(node);
  if (*slot == 0) *slot = MeasureTextWidth(target, node, column, GetCellText(node, column));
  return *slot;
}

bool TCustomViewStringTree::DoGetCellIsEmpty(PViewNode node, TColumnIndex column) {
  if (!GetCellText(node, column).empty()) return false;
  return TBaseViewTree::DoGetCellIsEmpty(node, column);
}

IVTEditLinkPtr TCustomViewStringTree::DoCreateEditor(PViewNode node, TColumnIndex column) {
  if (OnCreateEditor) return TBaseViewTree::DoCreateEditor(node, column);
  return platform::com::MakeComObject<TStringEditLink>();
}

int TCustomViewStringTree::DoIncrementalSearch(PViewNode node, const std::u16string& text) {
  if (OnIncrementalSearch) return TBaseViewTree::DoIncrementalSearch(node, text);
  return !text.empty() && GetCellText(node, FocusedColumn()).starts_with(text) ? 0 : 1;
}

TColumnIndex TCustomViewStringTree::FitCellPaintRect(TVTPaintInfo& info) {
  TColumnIndex next = TBaseViewTree::FitCellPaintRect(info);
  if ((TreeOptions().AutoOptions() & toAutoSpanColumns) == 0 || !Header().UseColumns() ||
      ColumnReadsRightToLeft(info.Column)) {
    return next;
  }
  TViewTreeColumns& columns = Header().Columns();
  while (next >= 0 && columns[next].BiDiMode() == bdLeftToRight && DoGetCellIsEmpty(info.Node, next)) {
    info.CellRect.right += columns[next].Width();
    next = columns.NextVisibleColumn(next);
  }
  return next;
}

RECT TCustomViewStringTree::InvalidateNodeRect(PViewNode node) {
  if (std::int32_t* slot = WidthSlot(node)) {
    *slot = 0;
    node->Exclude(vsHeightMeasured);
  }
  return TBaseViewTree::InvalidateNodeRect(node);
}

void TCustomViewStringTree::ReinitNode(PViewNode node, bool recursive) {
  if (std::int32_t* slot = WidthSlot(node)) *slot = 0;
  TBaseViewTree::ReinitNode(node, recursive);
}

void TCustomViewStringTree::MainColumnChanged() {
  TBaseViewTree::MainColumnChanged();
  ResetAllWidths();
}

void TCustomViewStringTree::WndProc(TMessage& message) {
  TBaseViewTree::WndProc(message);
  if (message.Msg == WM_SETFONT || message.Msg == CM_FONTCHANGED) {
    RefreshFontMetrics();
    ResetAllWidths();
  }
}

// --- painting the text ---

TColor TCustomViewStringTree::SelectionTextColor(PViewNode node, TColumnIndex column, bool focusedColumnMatters) {
  const bool fullRow = (TreeOptions().SelectionOptions() & toFullRowSelect) != 0;
  const TColor own = Font().Color();
  if (focusedColumnMatters ? (column != focusedColumn_ && !fullRow) : !fullRow) return own;
  if (node == dropTargetNode_) return LastDropMode == dmOnNode || node->Has(vsSelected) ? clHighlightText : own;
  const bool focusedLook = (HandleAllocated() && GetFocus() == Handle()) ||
                           (TreeOptions().PaintOptions() & toPopupMode) != 0;
  return node->Has(vsSelected) && focusedLook ? clHighlightText : own;
}

void TCustomViewStringTree::DoPaintNode(TVTPaintInfo& info) {
  TCanvas& canvas = *info.Canvas;
  FontChangeWatch watch(canvas.Font());
  const std::u16string text = GetCellText(info.Node, info.Column);
  if (!text.empty()) {
    canvas.Font().Assign(&Font());
    if ((TreeOptions().PaintOptions() & toHotTrack) != 0 && info.Node == HotNode()) {
      canvas.Font().SetStyle(canvas.Font().Style() | fsUnderline);
      canvas.Font().SetColor(Colors().Color(TVTColors::HotColor));
    }
    if ((info.PaintOptions & poDrawSelection) != 0) {
      canvas.Font().SetColor(SelectionTextColor(info.Node, info.Column, true));
    }
    RECT r = info.ContentRect;
    r.left += TextMargin();
    r.right -= TextMargin();
    watch.Reset();
    canvas.TextFlags = 0;
    DoPaintText(canvas, info.Node, info.Column, ttNormal);
    UINT flags = info.RightToLeft ? DT_RTLREADING : 0;
    const TAlignment alignment = ReadingAlignment(info.Alignment, info.RightToLeft);
    std::u16string shown = text;
    if (info.Node->Has(vsMultiline)) {
      flags |= DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_END_ELLIPSIS | AlignmentFlag(alignment);
    } else {
      int ellipsis = ellipsisWidth_;
      if (watch.Changed()) {
        // A handler's font makes the text as wide as it now is.
        ellipsis = 0;
        info.NodeWidth = 2 * TextMargin() + TextSize(canvas, text).cx;
      }
      flags |= DT_NOPREFIX | DT_VCENTER | DT_SINGLELINE;
      if (info.Column > NoColumn && info.NodeWidth - 2 * TextMargin() > r.right - r.left) {
        shown = DoShortenString(canvas, info.Node, info.Column, text, r.right - r.left, ellipsis);
        if (alignment == taRightJustify) flags |= DT_RIGHT;
      } else {
        flags |= AlignmentFlag(alignment);
      }
    }
    DrawCellText(info, shown, r, flags);
  }
  const bool staticTextShown = Alignment() != taCenter && !info.Node->Has(vsMultiline) &&
                               (StringOptions() & toShowStaticText) != 0;
  if (staticTextShown) {
    const std::u16string staticText = StaticText(info.Node, info.Column);
    if (!staticText.empty()) PaintStaticText(info, staticText);
  }
}

void TCustomViewStringTree::PaintStaticText(TVTPaintInfo& info, const std::u16string& text) {
  TCanvas& canvas = *info.Canvas;
  canvas.Font().Assign(&Font());
  if ((info.PaintOptions & poDrawSelection) != 0) {
    canvas.Font().SetColor(SelectionTextColor(info.Node, info.Column, false));
  }
  canvas.TextFlags = 0;
  DoPaintText(canvas, info.Node, info.Column, ttStatic);
  RECT r = info.ContentRect;
  if (ReadingAlignment(info.Alignment, info.RightToLeft) == taRightJustify) {
    r.right -= info.NodeWidth + TextMargin();
  } else {
    r.left += info.NodeWidth + TextMargin();
  }
  DrawCellText(info, text, r, DT_NOPREFIX | DT_VCENTER | DT_SINGLELINE | (info.RightToLeft ? DT_RTLREADING : 0));
}

void TCustomViewStringTree::DrawCellText(TVTPaintInfo& info, const std::u16string& text, RECT r, UINT flags) {
  TCanvas& canvas = *info.Canvas;
  if (info.Node->Has(vsDisabled) || !Enabled()) canvas.Font().SetColor(Colors().Color(TVTColors::DisabledColor));
  canvas.RequiredState(csHandleValid | csFontValid);
  HDC dc = canvas.Handle();
  SetBkMode(dc, (canvas.TextFlags & ETO_OPAQUE) != 0 ? OPAQUE : TRANSPARENT);
  SetTextColor(dc, ColorToRGB(canvas.Font().Color()));
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, flags);
}

// --- text for the editor, hints and measuring ---

void TCustomViewStringTree::GetTextInfo(PViewNode node, TColumnIndex column, TFont& font, RECT& r,
                                        std::u16string& text) {
  font.Assign(&Font());
  TCanvas& canvas = MeasureCanvas();
  canvas.Font().Assign(&font);
  int lineHeight = textHeight_;
  {
    FontChangeWatch watch(canvas.Font());
    DoPaintText(canvas, node, column, ttNormal);
    if (watch.Changed()) {
      font.Assign(&canvas.Font());
      lineHeight = LineHeight(canvas);
    }
  }
  text = GetCellText(node, column);
  r = GetDisplayRect(node, column, true, node->Has(vsMultiline));
  if ((TreeOptions().PaintOptions() & toShowHorzGridLines) != 0) --r.bottom;
  const int grow = (lineHeight - static_cast<int>(r.bottom - r.top)) / 2;
  r.top -= grow;
  r.bottom += grow;
}

int TCustomViewStringTree::ComputeNodeHeight(TCanvas& canvas, PViewNode node, TColumnIndex column,
                                             std::u16string text) {
  if (text.empty()) text = GetCellText(node, column);
  const int width = Header().Columns().IsValidColumn(column) ? Header().Columns()[column].Width()
                                                             : static_cast<int>(TreeClientRect().right);
  RECT r = LayoutCell(node, column, RECT{0, 0, width, 0}).Content;
  r.left += TextMargin();
  r.right -= TextMargin();
  UINT flags = DT_TOP | DT_NOPREFIX | DT_CALCRECT | DT_WORDBREAK;
  if (ColumnReadsRightToLeft(column)) flags |= DT_RTLREADING | DT_RIGHT;
  canvas.RequiredState(csHandleValid | csFontValid);
  DrawTextW(canvas.Handle(), text.data(), static_cast<int>(text.size()), &r, flags);
  return r.bottom - r.top;
}

std::u16string TCustomViewStringTree::DoGetNodeHint(PViewNode node, TColumnIndex column,
                                                    TVTTooltipLineBreakStyle& style) {
  std::u16string text = TBaseViewTree::DoGetNodeHint(node, column, style);
  if (OnGetHint) OnGetHint(this, node, column, style, text);
  return text;
}

std::u16string TCustomViewStringTree::DoGetNodeTooltip(PViewNode node, TColumnIndex column,
                                                       TVTTooltipLineBreakStyle& style) {
  std::u16string text = TBaseViewTree::DoGetNodeTooltip(node, column, style);
  if (!OnGetHint) return GetCellText(node, column);
  OnGetHint(this, node, column, style, text);
  return text;
}

void TCustomViewStringTree::PrepareTooltipCanvas(TCanvas& canvas, PViewNode node, TColumnIndex column) {
  TBaseViewTree::PrepareTooltipCanvas(canvas, node, column);
  DoPaintText(canvas, node, column, ttNormal);
}

// --- streams ---

void TCustomViewStringTree::WriteCaptionChunk(TStream& stream, PViewNode node) {
  if ((StringOptions() & toSaveCaptions) == 0 || node == nullptr || node == root_ || !node->Has(vsInitialized)) return;
  const std::u16string text = GetCellText(node, Header().MainColumn());
  if (text.empty()) return;
  const std::uint32_t header[2] = {CaptionChunk, static_cast<std::uint32_t>(text.size() * sizeof(char16_t))};
  stream.WriteBuffer(header, sizeof header);
  stream.WriteBuffer(text.data(), static_cast<std::int32_t>(header[1]));
}

void TCustomViewStringTree::ReadCaptionChunk(TStream& stream, PViewNode node, std::int64_t chunkSize) {
  if (chunkSize < 0 || chunkSize % 2 != 0 || chunkSize > StreamRemaining(stream)) RefuseStream("bad caption size");
  std::u16string text(static_cast<std::size_t>(chunkSize / 2), u'\0');
  if (chunkSize > 0) stream.ReadBuffer(text.data(), static_cast<std::int32_t>(chunkSize));
  SetCellText(node, Header().MainColumn(), text);
}

std::unique_ptr<TCustomViewTreeOptions> TViewStringTree::MakePublishedOptions(TViewTreeObject& owner) {
  return std::make_unique<TStringTreeOptions>(owner);
}

TViewStringTree::TViewStringTree(TComponent* owner)
    : TCustomViewStringTree(owner, ViewStringTreeClass, &MakePublishedOptions) {}
