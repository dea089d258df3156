#include "platform/classlib/frames.h"

void Frame3D(TCanvas& canvas, RECT& rect, TColor topColor, TColor bottomColor, int width) {
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  // Right and bottom name the last pixel inside while the rings are drawn.
  --rect.right;
  --rect.bottom;
  for (; width > 0; --width) {
    canvas.Pen().SetColor(topColor);
    canvas.MoveTo(rect.left, rect.bottom);
    canvas.LineTo(rect.left, rect.top);
    canvas.LineTo(rect.right, rect.top);
    canvas.Pen().SetColor(bottomColor);
    canvas.LineTo(rect.right, rect.bottom);
    canvas.LineTo(rect.left - 1, rect.bottom);
    rect = RECT{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
  }
  ++rect.right;
  ++rect.bottom;
}
