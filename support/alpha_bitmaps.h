// Bitmaps with per-pixel alpha: bitmaps stored as data resources, a colour bitmap and
// a mask made into one premultiplied 32-bit bitmap for layered windows, and a 32-bit
// bitmap flattened onto a background colour for windows that cannot show alpha.
// These routines answer empty results instead of raising.
#pragma once

#include "platform/classlib/graphics.h"
#include "platform/classlib/image_control.h"

// The bitmap stored (in bitmap-file form) in the resource of that name and type; null
// when the module has no such resource or it is not a readable bitmap. The caller owns
// the result.
TBitmap* LoadResourceBitmap(HINSTANCE instance, const char* name, const char* type);

// The bitmap stored (in bitmap-file form) in the RCDATA resource of that name; null
// when the module has no such resource or it is not a readable bitmap. The caller
// owns the result.
TBitmap* LoadRCDataBitmap(HINSTANCE instance, const char* name);

// The colour itself when not negative, else the system colour of its low byte.
TColor ResolveColor(TColor color);

// Fills the picture control with the resource bitmap flattened onto the background:
// each colour part becomes (part x A + background part x (255 - A)) / 255 and the
// alpha 0. Nothing happens without the control or the resource, or on any error.
void LoadFlattenedBitmap(TImage* image, HINSTANCE instance, const char* name, TColor background);

// A new 32-bit bitmap whose alpha is the mask's blue part (255 minus it with
// `invert`) and whose colour is the colour bitmap's premultiplied by that alpha
// (x a >> 8). Both inputs become 32-bit. Null when either is missing or their sizes
// differ (then both stay as they were). The caller owns the result.
TBitmap* MakeAlphaBitmap(TBitmap* color, TBitmap* mask, bool invert);
