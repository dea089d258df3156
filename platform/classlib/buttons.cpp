#include "platform/classlib/buttons.h"

#include "platform/gdi/frame_drawing.h"

namespace {

// An action gives a button its image index too, unless only defaults are filled in
// and the button has one already.
template <typename Button>
void TakeImageIndex(Button& button, TObject* sender, bool checkDefaults) {
  auto* action = dynamic_cast<TCustomAction*>(sender);
  if (action != nullptr && (!checkDefaults || button.ImageIndex() == -1))
    button.SetImageIndex(action->ImageIndex());
}

}  // namespace

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 23, 22); }

void TSpeedButton::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  Invalidate();
}

void TSpeedButton::Paint() {
  TCanvas& canvas = Canvas();
  RECT face{0, 0, Width(), Height()};
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(face);
  DrawEdge(canvas.Handle(), &face, EDGE_RAISED, BF_RECT | BF_ADJUST);
  std::string caption = Caption();
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.RequiredState(csHandleValid | csFontValid | csBrushValid);
  SetBkMode(canvas.Handle(), TRANSPARENT);
  DrawTextA(canvas.Handle(), caption.c_str(), -1, &face, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TSpeedButton::ActionChange(TObject* sender, bool checkDefaults) {
  TGraphicControl::ActionChange(sender, checkDefaults);
  TakeImageIndex(*this, sender, checkDefaults);
}

std::unique_ptr<TControlActionLink> TSpeedButton::CreateActionLink() {
  return std::make_unique<TSpeedButtonActionLink>(this);
}

void TBitBtn::SetImageIndex(int value) { imageIndex_ = value; }

void TBitBtn::ActionChange(TObject* sender, bool checkDefaults) {
  TButton::ActionChange(sender, checkDefaults);
  TakeImageIndex(*this, sender, checkDefaults);
}

std::unique_ptr<TControlActionLink> TBitBtn::CreateActionLink() {
  return std::make_unique<TBitBtnActionLink>(this);
}
