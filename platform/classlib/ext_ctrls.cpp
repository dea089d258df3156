#include "platform/classlib/ext_ctrls.h"

#include <utility>

namespace {

void Line(TCanvas& canvas, TColor color, std::initializer_list<POINT> points) {
  canvas.Pen().SetColor(color);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  auto it = points.begin();
  canvas.MoveTo(it->x, it->y);
  for (++it; it != points.end(); ++it) canvas.LineTo(it->x, it->y);
}

std::pair<TColor, TColor> BevelColors(TBevelCut cut) {
  if (cut == bvLowered) return {clBtnShadow, clBtnHighlight};
  return {clBtnHighlight, clBtnShadow};
}

}  // namespace

// --- panel -----------------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  ControlStyle |= csAcceptsControls | csOpaque;
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TCustomPanel::SetBevelInner(TBevelCut value) {
  bevelInner_ = value;
  Invalidate();
}
void TCustomPanel::SetBevelOuter(TBevelCut value) {
  bevelOuter_ = value;
  Invalidate();
}
void TCustomPanel::SetBevelWidth(int value) {
  bevelWidth_ = value;
  Invalidate();
}
void TCustomPanel::SetBorderWidth(int value) {
  borderWidth_ = value;
  Invalidate();
}
void TCustomPanel::SetAlignment(TAlignment value) {
  alignment_ = value;
  Invalidate();
}

void TCustomPanel::PaintFrame(RECT& rect) {
  TCanvas& canvas = Canvas();
  if (bevelOuter_ != bvNone) {
    auto [top, bottom] = BevelColors(bevelOuter_);
    Frame3D(canvas, rect, top, bottom, bevelWidth_);
  }
  Frame3D(canvas, rect, Color(), Color(), borderWidth_);
  if (bevelInner_ != bvNone) {
    auto [top, bottom] = BevelColors(bevelInner_);
    Frame3D(canvas, rect, top, bottom, bevelWidth_);
  }
}

void TCustomPanel::Paint() {
  TCanvas& canvas = Canvas();
  RECT rect = ClientRect();
  PaintFrame(rect);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(rect);
  // The caption: one line as high as "W", centred in the inside.
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Font().Assign(&Font());
  int height = canvas.TextHeight("W");
  RECT text{rect.left, (rect.top + rect.bottom - height) / 2, rect.right, 0};
  text.bottom = text.top + height;
  static constexpr UINT kAlignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  canvas.RequiredState(csHandleValid | csFontValid);
  SetBkMode(canvas.Handle(), TRANSPARENT);
  SetTextColor(canvas.Handle(), ColorToRGB(Font().Color()));
  DrawCaption(canvas.Handle(), text, DT_EXPANDTABS | DT_VCENTER | kAlignments[alignment_]);
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
}

void TCustomPanel::DrawCaption(HDC dc, RECT& rect, UINT flags) {
  std::string caption = Caption();
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, flags);
}

void TCustomPanel::Dispatch(TMessage& message) {
  if (message.Msg == CM_COLORCHANGED) Invalidate();
  TCustomControl::Dispatch(message);
}

// --- shape and bevel -------------------------------------------------------------------------

TShape::TShape(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 65);
  brush_.OnChange = [this](TObject*) { Invalidate(); };
  pen_.OnChange = [this](TObject*) { Invalidate(); };
}

void TShape::Paint() {
  TCanvas& canvas = Canvas();
  canvas.Pen().Assign(&pen_);
  canvas.Brush().Assign(&brush_);
  int inset = pen_.Width() / 2;
  int width = Width() - pen_.Width() + 1, height = Height() - pen_.Width() + 1;
  if (pen_.Width() == 0) {
    --width;
    --height;
  }
  canvas.Rectangle(inset, inset, inset + width, inset + height);
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }

void TBevel::Paint() {
  TCanvas& canvas = Canvas();
  TColor first = Style == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight;
  TColor second = Style == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow;
  int w = Width(), h = Height();
  auto box = [&](RECT r, TColor topLeft, TColor bottomRight) {
    Line(canvas, topLeft, {{r.left, r.bottom}, {r.left, r.top}, {r.right, r.top}});
    Line(canvas, bottomRight, {{r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}});
  };
  switch (Shape) {
    case TBevelShape::bsBox:
      box(RECT{0, 0, w - 1, h - 1}, first, second);
      break;
    case TBevelShape::bsFrame:
      box(RECT{1, 1, w - 1, h - 1}, second, second);
      box(RECT{0, 0, w - 2, h - 2}, first, first);
      break;
    case TBevelShape::bsTopLine:
      Line(canvas, first, {{0, 0}, {w, 0}});
      Line(canvas, second, {{0, 1}, {w, 1}});
      break;
    case TBevelShape::bsBottomLine:
      Line(canvas, first, {{0, h - 2}, {w, h - 2}});
      Line(canvas, second, {{0, h - 1}, {w, h - 1}});
      break;
    case TBevelShape::bsLeftLine:
      Line(canvas, first, {{0, 0}, {0, h}});
      Line(canvas, second, {{1, 0}, {1, h}});
      break;
    case TBevelShape::bsRightLine:
      Line(canvas, first, {{w - 2, 0}, {w - 2, h}});
      Line(canvas, second, {{w - 1, 0}, {w - 1, h}});
      break;
    case TBevelShape::bsSpacer:
      break;
  }
}
