#include "controls/vtree/vt_hint.h"

#include <algorithm>
#include <cmath>

#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/std_ctrls.h"
#include "platform/gdi/window_picture.h"

namespace {

bool hintWindowDestroyed = true;

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

POINT ToScreen(HWND window, POINT p) {
  ClientToScreen(window, &p);
  return p;
}

THintWindow* NewTreeHintWindow(TComponent* owner) { return new TViewTreeHintWindow(owner); }

}  // namespace

bool HintWindowDestroyed() { return hintWindowDestroyed; }

// --- the decision ---

TViewTreeHints::~TViewTreeHints() {
  if (InState(tsInAnimation)) hintWindowDestroyed = true;
}

const THintWindowClass& TViewTreeHints::GetHintWindowClass() { return TViewTreeHintWindow::Class(); }

std::u16string TViewTreeHints::DoGetNodeHint(PViewNode, TColumnIndex, TVTTooltipLineBreakStyle&) {
  return platform::AnsiToWide(Hint());
}

std::u16string TViewTreeHints::DoGetNodeTooltip(PViewNode, TColumnIndex, TVTTooltipLineBreakStyle&) {
  return platform::AnsiToWide(Hint());
}

void TViewTreeHints::PrepareTooltipCanvas(TCanvas& canvas, PViewNode, TColumnIndex) { canvas.Font().Assign(&Font()); }

void TViewTreeHints::WndProc(TMessage& message) {
  if (message.Msg == CM_HINTSHOW && IsHintInfo(reinterpret_cast<void*>(message.LParam))) {
    message.Result = DecideHint(*reinterpret_cast<THintInfo*>(message.LParam)) ? 0 : 1;
    return;
  }
  if (message.Msg == CM_HINTSHOWPAUSE && message.LParam != 0) {
    AdjustHintPause(*reinterpret_cast<int*>(message.LParam));
    return;
  }
  TViewTreePainting::WndProc(message);
}

void TViewTreeHints::AdjustHintPause(int& pause) {
  POINT cursor{};
  GetCursorPos(&cursor);
  if (HandleAllocated()) ScreenToClient(Handle(), &cursor);
  const bool headerHint = Header().UseColumns() && (Header().Options() & hoShowHint) != 0 && cursor.y < 0;
  if ((headerHint && hintWindowDestroyed) || HintMode() == hmTooltip) pause = 0;
}

bool TViewTreeHints::OwnHintCondition(PViewNode hitNode) {
  if (InState(tsEditing)) return hitNode != focusedNode_;
  TCustomForm* form = GetParentForm(this);
  return Focused() || (form != nullptr && form->HandleAllocated() && GetActiveWindow() == form->Handle()) ||
         GetActiveWindow() != 0;
}

bool TViewTreeHints::DecideHint(THintInfo& info) {
  const POINT cursor = info.CursorPos;
  if (Inside(lastHintRect_, cursor)) return false;
  THitInfo hit;
  if (cursor.y >= 0) GetHitTestInfoAt(cursor.x, cursor.y, true, hit);
  const bool blocked = GetCapture() != 0 || !ShowHint || InState(tsOLEDragging | tsVCLDragging | tsDrawSelecting |
                                                                   tsScrolling | tsWheelPanning) ||
                       Header().States() != 0 || !OwnHintCondition(hit.HitNode);
  bool show = false;
  RECT hintRect{};
  if (!blocked) {
    info.HintStr.assign(1, ' ');  // a space: g++ 12 misjudges a literal copy here (-Wrestrict)
    hintData_ = TVTHintData{};
    hintData_.Tree = this;
    hintData_.BiDiMode = BiDiMode();
    hintData_.Alignment = Alignment();
    const bool inHeader = cursor.y < 0;
    if (inHeader && Header().UseColumns() && (Header().Options() & hoShowHint) != 0) {
      show = DecideHeaderHint(cursor, hintRect);
    } else if (HintMode() == hmDefault) {
      hintData_.HintText = platform::AnsiToWide(ShortHint(Hint()));
      show = !hintData_.HintText.empty();
      hintRect = TreeClientRect();
    } else if (hit.HitNode != nullptr && (hit.HitPositions & hiOnItem) != 0) {
      show = DecideNodeHint(info, hit, hintRect);
    } else if (HintMode() == hmHintAndDefault) {
      hintData_.HintText = platform::AnsiToWide(ShortHint(Hint()));
      show = !hintData_.HintText.empty();
      hintRect = TreeClientRect();
    }
  }
  if (show) {
    info.HintWindowClass = &GetHintWindowClass();
    info.HintData = &hintData_;
    info.CursorRect = hintRect;
    hintData_.HintRect = hintRect;
    lastHintRect_ = hintRect;
    DoStateChange(tsHint);
  } else {
    lastHintRect_ = RECT{};
    DoStateChange(0, tsHint);
  }
  return show;
}

bool TViewTreeHints::DecideHeaderHint(POINT cursor, RECT& hintRect) {
  const int headerHeight = static_cast<int>(Header().Height());
  int left = 0, right = 0;
  const TColumnIndex column = Header().Columns().ColumnAtX(POINT{cursor.x, 0}, true, left, right);
  if (column < 0) return false;
  hintRect = RECT{left, -headerHeight, right, 0};
  hintData_.Column = column;
  hintData_.DefaultHint = Header().Columns()[column].Hint;
  hintData_.HintText = hintData_.DefaultHint;
  return !hintData_.DefaultHint.empty();
}

RECT TViewTreeHints::NodeHintRect(PViewNode node, TColumnIndex column) {
  RECT row = GetDisplayRect(node, NoColumn, false);
  if (column < 0 || !Header().UseColumns()) return RECT{0, row.top, TreeClientRect().right, row.bottom};
  RECT cell = GetDisplayRect(node, column, false);
  if ((TreeOptions().AutoOptions() & toAutoSpanColumns) != 0) {
    TViewTreeColumns& columns = Header().Columns();
    for (TColumnIndex next = columns.NextVisibleColumn(column); next >= 0 && DoGetCellIsEmpty(node, next);
         next = columns.NextVisibleColumn(next)) {
      cell.right += columns[next].Width();
    }
  }
  ++cell.right;  // the display rectangle leaves the column's last pixel out
  return cell;
}

bool TViewTreeHints::DecideNodeHint(THintInfo& info, const THitInfo& hit, RECT& hintRect) {
  PViewNode node = hit.HitNode;
  const TColumnIndex column = Header().UseColumns() ? hit.HitColumn : NoColumn;
  hintRect = NodeHintRect(node, column);
  hintData_.Node = node;
  hintData_.Column = column;
  if (Header().Columns().IsValidColumn(column)) {
    hintData_.BiDiMode = Header().Columns()[column].BiDiMode();
    hintData_.Alignment = Header().Columns()[column].Alignment();
  }
  if (HintMode() != hmTooltip) {
    info.HintPos = ToScreen(Handle(), POINT{info.CursorPos.x, hintRect.bottom + 2});
    return true;
  }
  if (node->Has(vsMultiline)) {
    info.HintPos = ToScreen(Handle(), POINT{hintRect.left, hintRect.top});
    return true;
  }
  const RECT text = GetDisplayRect(node, column, true, true);
  const RECT client = TreeClientRect();
  const bool cutOff = text.right > hintRect.right || text.left < hintRect.left || text.right > client.right ||
                      text.left < client.left;
  if (!Inside(text, info.CursorPos) || !cutOff) return false;
  info.HintPos = ToScreen(Handle(), POINT{text.left - 1, text.top - 1});
  return true;
}

// --- the hint window ---

const THintWindowClass& TViewTreeHintWindow::Class() {
  static const THintWindowClass type("TViewTreeHintWindow", &THintWindow::Class(), NewTreeHintWindow);
  return type;
}

TViewTreeHintWindow::TViewTreeHintWindow(TComponent* owner) : THintWindow(owner) { hintWindowDestroyed = false; }

TViewTreeHintWindow::~TViewTreeHintWindow() { hintWindowDestroyed = true; }

void TViewTreeHintWindow::CreateParams(TCreateParams& params) {
  THintWindow::CreateParams(params);
  params.Style = WS_POPUP;
  params.ExStyle &= ~WS_EX_CLIENTEDGE;
}

bool TViewTreeHintWindow::IsTooltipOverNode() const {
  return data_.Tree != nullptr && data_.Node != nullptr && data_.Tree->HintMode() == hmTooltip;
}

std::u16string TViewTreeHintWindow::EffectiveText(const std::string& hint) {
  std::u16string text = data_.HintText;
  if (text.empty() && hint != " ") text = platform::AnsiToWide(hint);
  if (text.empty() && data_.Tree != nullptr && data_.Node != nullptr) {
    text = data_.Tree->HintMode() == hmTooltip ? data_.Tree->DoGetNodeTooltip(data_.Node, data_.Column, data_.LineBreakStyle)
                                               : data_.Tree->DoGetNodeHint(data_.Node, data_.Column, data_.LineBreakStyle);
  }
  return text;
}

RECT TViewTreeHintWindow::CalcHintRect(int maxWidth, const std::string& hint, void* data) {
  if (data != nullptr && !IsHintInfo(data)) data_ = *static_cast<const TVTHintData*>(data);
  if (IsTooltipOverNode()) {
    data_.Tree->PrepareTooltipCanvas(Canvas(), data_.Node, data_.Column);
  } else {
    Canvas().Font().Assign(&Screen().HintFont());
  }
  Font().Assign(&Canvas().Font());
  text_ = EffectiveText(hint);
  if (text_.empty()) return RECT{};
  if (IsTooltipOverNode()) {
    if (data_.LineBreakStyle == hlbDefault) {
      data_.LineBreakStyle = data_.Node->Has(vsMultiline) ? hlbForceMultiLine : hlbForceSingleLine;
    }
    if (data_.LineBreakStyle == hlbForceSingleLine) return TooltipRect(text_);
  }
  RECT rect{0, 0, std::max(maxWidth, 1), 0};
  HDC dc = BeginMeasure();
  DrawTextW(dc, text_.data(), static_cast<int>(text_.size()), &rect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  EndMeasure(dc);
  const int margin = data_.Tree != nullptr ? data_.Tree->TextMargin() : 4;
  rect.bottom += 6;
  rect.right += 2 * margin + 2;
  return rect;
}

RECT TViewTreeHintWindow::TooltipRect(const std::u16string& text) {
  TViewTreeHints& tree = *data_.Tree;
  RECT r = tree.GetDisplayRect(data_.Node, data_.Column, true, true);
  RECT measured{0, 0, 1 << 16, 0};
  HDC dc = BeginMeasure();
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  EndMeasure(dc);
  const int margin = tree.TextMargin();
  r.right = r.left + margin + measured.right + margin + 1;
  const int textHeight = measured.bottom - measured.top;
  r.bottom = std::max<LONG>(r.bottom, r.top + textHeight);
  const RECT client = tree.TreeClientRect();
  const RECT cell = data_.HintRect;
  const bool fits = r.right <= std::min(cell.right, client.right) + 3 && r.left >= std::max(cell.left, client.left) - 3;
  if (static_cast<int>(data_.Node->NodeHeight) + 2 >= textHeight && fits) return RECT{};
  return RECT{0, 0, r.right - r.left + 2, r.bottom - r.top + 2};
}

void TViewTreeHintWindow::ActivateHint(RECT rect, const std::string& hint) {
  ActivateHintData(rect, hint, nullptr);
}

void TViewTreeHintWindow::ActivateHintData(RECT rect, const std::string& hint, void* data) {
  if (data != nullptr && !IsHintInfo(data)) data_ = *static_cast<const TVTHintData*>(data);
  if (rect.right <= rect.left || rect.bottom <= rect.top) {
    if (Application != nullptr) Application->CancelHint();
    return;
  }
  if (text_.empty()) text_ = EffectiveText(hint);
  if (data_.Tree != nullptr && data_.Tree->InState(tsInAnimation)) data_.Tree->DoStateChange(tsCancelHintAnimation);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  // Kept on the desktop: up and left where it passes the bottom or right edge, then
  // down and right where it starts before the top or left edge.
  const int left = std::max(0, std::min<int>(rect.left, platform::win::kScreenWidth - width));
  const int top = std::max(0, std::min<int>(rect.top, platform::win::kScreenHeight - height));
  SetWindowPos(Handle(), 0, left, top, width, height, SWP_NOACTIVATE | SWP_NOZORDER | SWP_HIDEWINDOW);
  SetBounds(left, top, width, height);
  if (data_.Tree != nullptr && data_.Tree->HandleAllocated()) data_.Tree->Update();
  SetWindowPos(Handle(), HWND_TOPMOST, left, top, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Invalidate();
}

void TViewTreeHintWindow::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_NCPAINT:
      message.Result = 0;
      return;
    case CM_TEXTCHANGED:
      return;
    default:
      THintWindow::Dispatch(message);
  }
}

void TViewTreeHintWindow::Paint() {
  TCanvas& canvas = Canvas();
  const RECT client = ClientRect();
  canvas.Brush().SetColor(clInfoBk);
  canvas.FillRect(client);
  canvas.Brush().SetColor(clInfoText);
  canvas.FrameRect(client);
  canvas.Font().Assign(&Font());
  canvas.Font().SetColor(clInfoText);
  canvas.RequiredState(csHandleValid | csFontValid);
  HDC dc = canvas.Handle();
  SetBkMode(dc, TRANSPARENT);
  const int margin = data_.Tree != nullptr ? data_.Tree->TextMargin() : 4;
  const bool rightToLeft = data_.BiDiMode != bdLeftToRight;
  RECT r = client;
  r = RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  UINT flags = DT_NOPREFIX;
  if (rightToLeft) {
    r.right -= margin;
    flags |= DT_RTLREADING | DT_RIGHT;
  } else {
    r.left += margin;
  }
  if (!IsTooltipOverNode() || data_.LineBreakStyle == hlbForceMultiLine) {
    flags |= DT_WORDBREAK;
    r.top += 2;
  } else {
    flags |= DT_VCENTER | DT_SINGLELINE;
  }
  DrawTextW(dc, text_.data(), static_cast<int>(text_.size()), &r, flags);
  BlendShadow(canvas);
}

void TViewTreeHintWindow::BlendShadow(TCanvas& canvas) {
  // Five bands along the right and bottom edges, darker towards the edge.
  static constexpr int alphas[] = {5, 10, 20, 35, 50};
  HDC dc = canvas.Handle();
  const RECT client = ClientRect();
  for (int band = 0; band < 5; ++band) {
    const int x = client.right - 5 + band, y = client.bottom - 5 + band;
    auto darken = [&](int px, int py) {
      const COLORREF c = GetPixel(dc, px, py);
      auto mix = [&](int v) { return static_cast<BYTE>(v * (255 - alphas[band]) / 255); };
      ::SetPixel(dc, px, py, RGB(mix(GetRValue(c)), mix(GetGValue(c)), mix(GetBValue(c))));
    };
    for (int py = client.top + 5; py < y; ++py) darken(x, py);
    for (int px = client.left + 5; px <= x; ++px) darken(px, y);
  }
}

// --- the drag image ---

namespace {

constexpr char kDragImageClass[] = "TVTDragImageWindow";

HWND MakeDragWindow() {
  WNDCLASSA existing{};
  if (!GetClassInfoA(HInstance, kDragImageClass, &existing)) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = HInstance;
    wc.lpszClassName = kDragImageClass;
    RegisterClassA(&wc);
  }
  return CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_TRANSPARENT, kDragImageClass, "",
                         WS_POPUP, 0, 0, 0, 0, 0, 0, HInstance, nullptr);
}

}  // namespace

TVTDragImage::~TVTDragImage() { EndDrag(); }

void TVTDragImage::MakeAlphaImage(TBitmap& source) {
  const int width = source.Width(), height = source.Height();
  alphaImage_.SetPixelFormat(TPixelFormat::pf32bit);
  alphaImage_.SetSize(width, height);
  const COLORREF key = colorKey_ == clNone ? CLR_INVALID : ColorToRGB(colorKey_);
  const double cx = width / 2.0, cy = height / 2.0, extent = std::max(1, std::max(width, height));
  const int base = std::clamp(static_cast<int>(transparency_) + preBlendBias_, 0, 255);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source.ScanLine(y);
    std::uint8_t* out = alphaImage_.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t b = in[4 * x], g = in[4 * x + 1], r = in[4 * x + 2];
      int alpha = base;
      if (key != CLR_INVALID && RGB(r, g, b) == key) {
        alpha = 0;
      } else if (fade_) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / extent;
        alpha = alpha * static_cast<int>(std::lround(255 * std::exp(-8 * d))) / 255;
      }
      alpha = std::clamp(alpha + (alpha > 0 ? postBlendBias_ : 0), 0, 255);
      // The window system takes premultiplied pixels.
      out[4 * x] = static_cast<std::uint8_t>(b * alpha / 255);
      out[4 * x + 1] = static_cast<std::uint8_t>(g * alpha / 255);
      out[4 * x + 2] = static_cast<std::uint8_t>(r * alpha / 255);
      out[4 * x + 3] = static_cast<std::uint8_t>(alpha);
    }
  }
}

void TVTDragImage::PrepareDrag(TBitmap& dragImage, POINT imagePosition, POINT hotSpot) {
  EndDrag();
  if (dragImage.Empty()) return;
  MakeAlphaImage(dragImage);
  imagePosition_ = imagePosition;
  lastPosition_ = hotSpot;
  window_ = MakeDragWindow();
  if (window_ == 0) return;
  ShowDragImage();
}

void TVTDragImage::PlaceWindow() {
  const SIZE size{alphaImage_.Width(), alphaImage_.Height()};
  const POINT source{0, 0};
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(window_, 0, &imagePosition_, &size, const_cast<TBitmap&>(alphaImage_).Canvas().Handle(), &source,
                      0, &blend, ULW_ALPHA);
}

bool TVTDragImage::WillMove(POINT p) const {
  if (!visible_) return false;
  const bool dx = p.x != lastPosition_.x && restriction_ != dmrVerticalOnly;
  const bool dy = p.y != lastPosition_.y && restriction_ != dmrHorizontalOnly;
  return dx || dy;
}

bool TVTDragImage::DragTo(POINT p, bool forceRepaint) {
  if (window_ == 0) return false;
  const bool moves = WillMove(p);
  if (!moves && !forceRepaint) return false;
  if (restriction_ != dmrVerticalOnly) imagePosition_.x += p.x - lastPosition_.x;
  if (restriction_ != dmrHorizontalOnly) imagePosition_.y += p.y - lastPosition_.y;
  lastPosition_ = p;
  if (visible_) PlaceWindow();
  return moves;
}

void TVTDragImage::HideDragImage() {
  if (window_ == 0 || !visible_) return;
  ShowWindow(window_, SW_HIDE);
  visible_ = false;
}

void TVTDragImage::ShowDragImage() {
  if (window_ == 0 || visible_) return;
  PlaceWindow();
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  visible_ = true;
}

void TVTDragImage::EndDrag() {
  HideDragImage();
  if (window_ != 0) DestroyWindow(window_);
  window_ = 0;
}

RECT TVTDragImage::GetDragImageRect() const {
  if (window_ == 0) return RECT{};
  return RECT{imagePosition_.x, imagePosition_.y, imagePosition_.x + alphaImage_.Width(),
              imagePosition_.y + alphaImage_.Height()};
}
