// Bevelled frames drawn on a canvas, as panels and owner-drawn buttons draw them.
#pragma once

#include "platform/classlib/graphics.h"

// Draws `width` one-pixel rings inside `rect`, each with its top and left sides in
// `topColor` and its right and bottom sides (the top-right and bottom-left corners
// included) in `bottomColor`; `rect` comes back shrunk by `width` on every side.
void Frame3D(TCanvas& canvas, RECT& rect, TColor topColor, TColor bottomColor, int width);
