#include "platform/classlib/image_control.h"

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  picture_.Bitmap().OnChange = [this](TObject*) { Invalidate(); };
}

void TImage::Paint() {
  if (!picture_.Bitmap().Empty()) Canvas().Draw(0, 0, picture_.Bitmap());
}
