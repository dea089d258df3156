#include "platform/gdi/text_render.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <string>

#include "platform/base/text.h"

namespace {

// The built-in fixed font: every character is a box of half the height in width.
struct FixedMetrics {
  int height;
  int ascent;
  int advance;
};

FixedMetrics Fixed(const platform::gdi::Font& font) {
  int height = font.PixelHeight();
  return FixedMetrics{height, (height * 3 + 3) / 4, std::max(1, height / 2)};
}

// Characters, counting a surrogate pair once.
int CharacterCount(std::u16string_view text) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0xDC00 && text[i] <= 0xDFFF && i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF) continue;
    ++count;
  }
  return count;
}

std::string Family(const platform::gdi::Font& font) {
  auto face = platform::UpperCase(font.face());
  if (face.find(u"COURIER") != std::u16string::npos || face.find(u"MONO") != std::u16string::npos) {
    return "DejaVu Sans Mono";
  }
  if (face.find(u"TIMES") != std::u16string::npos || face.find(u"SERIF") != std::u16string::npos) {
    if (face.find(u"SANS") == std::u16string::npos) return "DejaVu Serif";
  }
  return "DejaVu Sans";
}

PangoFontDescription* Describe(const platform::gdi::Font& font) {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, Family(font).c_str());
  pango_font_description_set_absolute_size(description, font.PixelHeight() * PANGO_SCALE);
  pango_font_description_set_weight(description, font.logFont.lfWeight >= 600 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  if (font.logFont.lfItalic) pango_font_description_set_style(description, PANGO_STYLE_ITALIC);
  return description;
}

// A layout on a scratch context (measuring) or on the given one (drawing).
PangoLayout* Layout(cairo_t* cr, const platform::gdi::Font& font, std::u16string_view text, int underlined) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* description = Describe(font);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  std::string utf8 = platform::WideToUtf8(text);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  PangoAttrList* attributes = pango_attr_list_new();
  if (font.logFont.lfUnderline) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (font.logFont.lfStrikeOut) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
  if (underlined >= 0 && static_cast<std::size_t>(underlined) < text.size()) {
    auto start = platform::WideToUtf8(text.substr(0, underlined)).size();
    auto length = platform::WideToUtf8(text.substr(underlined, 1)).size();
    PangoAttribute* attribute = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(start + length);
    pango_attr_list_insert(attributes, attribute);
  }
  pango_layout_set_attributes(layout, attributes);
  pango_attr_list_unref(attributes);
  return layout;
}

// Pango needs a context for measuring; one small surface per thread serves.
cairo_t* ScratchContext() {
  struct Scratch {
    Scratch() : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1)), cr(cairo_create(surface)) {}
    ~Scratch() {
      cairo_destroy(cr);
      cairo_surface_destroy(surface);
    }
    cairo_surface_t* surface;
    cairo_t* cr;
  };
  thread_local Scratch scratch;
  return scratch.cr;
}

}  // namespace

namespace platform::gdi {

FontMetrics MeasureFont(const Font& font) {
  if (font.builtInFixed()) {
    auto fixed = Fixed(font);
    return FontMetrics{fixed.height, fixed.ascent, fixed.height - fixed.ascent, fixed.advance, fixed.advance};
  }
  PangoLayout* layout = Layout(ScratchContext(), font, u"x", -1);
  PangoContext* context = pango_layout_get_context(layout);
  PangoFontDescription* description = Describe(font);
  PangoFontMetrics* metrics = pango_context_get_metrics(context, description, nullptr);
  int ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(metrics));
  int descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(metrics));
  int average = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(metrics));
  pango_font_metrics_unref(metrics);
  pango_font_description_free(description);
  g_object_unref(layout);
  SIZE wide = MeasureText(font, u"W");
  return FontMetrics{ascent + descent, ascent, descent, std::max(1, average), std::max<int>(wide.cx, average)};
}

SIZE MeasureText(const Font& font, std::u16string_view text) {
  if (font.builtInFixed()) {
    auto fixed = Fixed(font);
    return SIZE{CharacterCount(text) * fixed.advance, fixed.height};
  }
  PangoLayout* layout = Layout(ScratchContext(), font, text, -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  return SIZE{width, text.empty() ? MeasureFont(font).height : height};
}

void DrawTextRun(cairo_t* cr, const Font& font, COLORREF color, double x, double y, std::u16string_view text,
                 int underlined) {
  cairo_save(cr);
  cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
  if (font.builtInFixed()) {
    auto fixed = Fixed(font);
    int column = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] >= 0xDC00 && text[i] <= 0xDFFF && i > 0) continue;
      double left = x + column * fixed.advance;
      if (text[i] != u' ') cairo_rectangle(cr, left, y, std::max(1, fixed.advance - 1), fixed.ascent);
      if (font.logFont.lfUnderline || static_cast<int>(i) == underlined) {
        cairo_rectangle(cr, left, y + fixed.ascent + 1, fixed.advance, 1);
      }
      ++column;
    }
    cairo_fill(cr);
  } else {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    PangoLayout* layout = Layout(cr, font, text, underlined);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
  }
  cairo_restore(cr);
}

}  // namespace platform::gdi
