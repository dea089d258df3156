#include "controls/htmllabel/mk_html_label.h"

#include "platform/gdi/window_picture.h"
#include "platform/win/input.h"

namespace {

// Sets a flag for as long as the scope runs.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

// Gives a canvas the parent window's DC, moved and clipped to the control's bounds,
// for as long as the scope runs.
class WindowCanvasScope {
 public:
  WindowCanvasScope(TCanvas& canvas, HWND window, const RECT& bounds)
      : canvas_(canvas), window_(window), dc_(GetDC(window)) {
    if (dc_ == 0) return;
    SetViewportOrgEx(dc_, bounds.left, bounds.top, nullptr);
    IntersectClipRect(dc_, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top);
    canvas_.SetHandle(dc_);
  }
  ~WindowCanvasScope() {
    if (dc_ == 0) return;
    canvas_.SetHandle(0);
    ReleaseDC(window_, dc_);
  }
  WindowCanvasScope(const WindowCanvasScope&) = delete;
  WindowCanvasScope& operator=(const WindowCanvasScope&) = delete;
  bool Valid() const { return dc_ != 0; }

 private:
  TCanvas& canvas_;
  HWND window_;
  HDC dc_;
};

POINT PointOf(const TMessage& message) { return POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)}; }

}  // namespace

TMkCustomHtmlLabel::TMkCustomHtmlLabel(TComponent* owner)
    : TGraphicControl(owner), renderer_(std::make_unique<TMkHtmlRenderer>()), nodeTree_(std::make_unique<TNodeTree>()) {
  // No visual themes here: the label starts opaque.
  ControlStyle |= csOpaque;
  SetBounds(Left(), Top(), 65, 17);
  renderer_->LinkColor = clBlue;
  renderer_->LinkColorClicked = clRed;
  renderer_->LinkColorHot = 0x800080;
  renderer_->LinkStyle = fsUnderline;
}

TMkCustomHtmlLabel::~TMkCustomHtmlLabel() {
  activeLink_ = nullptr;
  renderer_.reset();
  nodeTree_.reset();
}

void TMkCustomHtmlLabel::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  activeLink_ = nullptr;
  nodeTree_.reset();
  TDefaultParser parser(this);
  nodeTree_ = parser.Parse(value);
  UpdateRootFont();
  Invalidate();
}

void TMkCustomHtmlLabel::SetAutoHeight(bool value) {
  if (value == autoHeight_) return;
  autoHeight_ = value;
  Invalidate();
}

template <typename T>
void TMkCustomHtmlLabel::SetRendererValue(T& field, T value) {
  if (field == value) return;
  field = value;
  Invalidate();
}

void TMkCustomHtmlLabel::SetLinkColor(TColor value) { SetRendererValue(renderer_->LinkColor, value); }
void TMkCustomHtmlLabel::SetLinkColorClicked(TColor value) { SetRendererValue(renderer_->LinkColorClicked, value); }
void TMkCustomHtmlLabel::SetLinkColorHot(TColor value) { SetRendererValue(renderer_->LinkColorHot, value); }
void TMkCustomHtmlLabel::SetLinkStyle(TFontStyles value) { SetRendererValue(renderer_->LinkStyle, value); }
void TMkCustomHtmlLabel::SetOffsetY(std::int32_t value) { SetRendererValue(renderer_->OffsetY, value); }

void TMkCustomHtmlLabel::SetMarginHeight(std::int32_t value) {
  if (value == marginHeight_) return;
  marginHeight_ = value;
  UpdateTextRect();
  Invalidate();
}

void TMkCustomHtmlLabel::SetMarginWidth(std::int32_t value) {
  if (value == marginWidth_) return;
  marginWidth_ = value;
  UpdateTextRect();
  Invalidate();
}

void TMkCustomHtmlLabel::SetTransparent(bool value) {
  if (value != Transparent()) {
    if (value) {
      ControlStyle &= ~csOpaque;
    } else {
      ControlStyle |= csOpaque;
    }
    Invalidate();
  }
  transparentSet_ = true;
}

void TMkCustomHtmlLabel::SetBounds(int left, int top, int width, int height) {
  // Inside a paint (AutoHeight) the new bounds only invalidate: the text is laid out
  // again by the next paint, not by this one.
  TGraphicControl::SetBounds(left, top, width, height);
  UpdateTextRect();
}

void TMkCustomHtmlLabel::Loaded() {
  TGraphicControl::Loaded();
  normalCursor_ = Cursor;
  UpdateTextRect();
}

void TMkCustomHtmlLabel::UpdateTextRect() {
  // The bottom margin is not taken off: the text may run to the client bottom.
  const RECT client = ClientRect();
  textRect_ = RECT{client.left + marginWidth_, client.top + marginHeight_, client.right - marginWidth_, client.bottom};
}

void TMkCustomHtmlLabel::UpdateRootFont() {
  nodeTree_->Root().Style = Font().Style();
  nodeTree_->Root().Color = Font().Color();
}

void TMkCustomHtmlLabel::FontChanged() {
  UpdateRootFont();
  nodeTree_->ClearWordCaches();
  Invalidate();
}

void TMkCustomHtmlLabel::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_FONTCHANGED:
      TGraphicControl::Dispatch(message);
      FontChanged();
      return;
    case CM_MOUSELEAVE:
      TGraphicControl::Dispatch(message);
      MouseLeft();
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      TGraphicControl::Dispatch(message);
      MouseDown(PointOf(message));
      return;
    case WM_MOUSEMOVE:
      TGraphicControl::Dispatch(message);
      MouseMove(PointOf(message));
      return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      TGraphicControl::Dispatch(message);
      MouseUp(PointOf(message));
      return;
    default:
      TGraphicControl::Dispatch(message);
  }
}

void TMkCustomHtmlLabel::Paint() {
  if (painting_) return;
  FlagScope painting(painting_);
  TCanvas& canvas = Canvas();
  if (!Transparent()) {
    canvas.Brush().SetColor(Color());
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.FillRect(ClientRect());
  } else {
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
  }
  canvas.Font().Assign(&Font());
  renderer_->Render(canvas, textRect_, *nodeTree_);
  const TAlign align = Align();
  if (autoHeight_ && (align == alNone || align == alTop || align == alBottom)) {
    // TextBottom already holds the top margin; the bottom margin is added.
    const int height = renderer_->TextBottom + marginHeight_;
    if (height != Height()) SetBounds(Left(), Top(), Width(), height);
  }
  if (OnAfterPaint) OnAfterPaint(this);
}

void TMkCustomHtmlLabel::DoLinkClick(const std::u16string& linkHref, const std::u16string& linkText) {
  if (OnLinkClick) OnLinkClick(this, linkHref, linkText);
}

void TMkCustomHtmlLabel::DoDynamicTagInit(const std::u16string& id, std::string& source) {
  source.clear();
  if (OnDynamicTagInit) OnDynamicTagInit(this, id, source);
}

void TMkCustomHtmlLabel::GetDynamicSource(TDynamicNode& node, std::string& source) {
  source.clear();
  DoDynamicTagInit(node.ID, source);
}

bool TMkCustomHtmlLabel::OverLink(POINT point) const { return nodeTree_->HasNodeAt(point, &IsNodeOf<TLinkNode>); }

bool TMkCustomHtmlLabel::LinkPressed() const {
  return activeLink_ != nullptr && activeLink_->State == kMkLinkClicked;
}

void TMkCustomHtmlLabel::MouseDown(POINT point) { SetLinkState(point, kMkLinkClicked); }

void TMkCustomHtmlLabel::MouseMove(POINT point) {
  const bool over = OverLink(point);
  Cursor = over ? crHandPoint : normalCursor_;
  if (!HotLinks || LinkPressed()) return;
  if (over) {
    SetLinkState(point, kMkLinkHot);
  } else {
    ResetActiveLink();
  }
}

void TMkCustomHtmlLabel::MouseUp(POINT point) {
  // The click goes to the link under the button at release, wherever the press began.
  if (OverLink(point)) {
    if (const auto* link = static_cast<const TLinkNode*>(nodeTree_->FindNodeAt(point, &IsNodeOf<TLinkNode>))) {
      const std::u16string href = link->Href, text = ::GetText(*link);
      DoLinkClick(href, text);
    }
  }
  ResetActiveLink();
}

void TMkCustomHtmlLabel::MouseLeft() {
  if (HotLinks && !LinkPressed()) ResetActiveLink();
}

void TMkCustomHtmlLabel::SetLinkState(POINT point, std::uint8_t state) {
  auto* link = static_cast<TLinkNode*>(nodeTree_->FindNodeAt(point, &IsNodeOf<TLinkNode>));
  if (link == nullptr || (link == activeLink_ && link->State == state)) return;
  ResetActiveLink();
  link->State = state;
  activeLink_ = link;
  RepaintLink(*link);
}

void TMkCustomHtmlLabel::ResetActiveLink() {
  if (activeLink_ == nullptr) return;
  TLinkNode* link = activeLink_;
  link->State = kMkLinkNormal;
  activeLink_ = nullptr;
  RepaintLink(*link);
}

void TMkCustomHtmlLabel::RepaintLink(TLinkNode& link) {
  TWinControl* parent = Parent();
  if (parent == nullptr || !parent->HandleAllocated() || !Visible()) return;
  WindowCanvasScope scope(Canvas(), parent->Handle(), BoundsRect());
  if (!scope.Valid()) return;
  // Drawn over the link's text in place, with the brush the last paint left.
  Canvas().Font().Assign(&Font());
  renderer_->RenderArea(Canvas(), textRect_, link);
}
