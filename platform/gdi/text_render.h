// Text measurement and drawing for the drawing layer: real faces through pango and
// fontconfig (the platform's usual faces map to DejaVu), and the built-in fixed
// font of boxes whose metrics never change, for layout and pixel tests.
#pragma once

#include <cairo.h>

#include <string_view>

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"

namespace platform::gdi {

struct FontMetrics {
  int height;
  int ascent;
  int descent;
  int averageWidth;
  int maxWidth;
};

FontMetrics MeasureFont(const Font& font);

// The size of one line of text (no line breaks are taken).
SIZE MeasureText(const Font& font, std::u16string_view text);

// Draws one line with its box's top-left corner at (x, y) in the context's user
// space. `underlined` is the index of one character to underline (a hot key), or -1.
void DrawTextRun(cairo_t* cr, const Font& font, COLORREF color, double x, double y,
                 std::u16string_view text, int underlined);

}  // namespace platform::gdi
