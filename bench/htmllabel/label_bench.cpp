// The HTML label's renderer on a caption of 2,000 words with bold, italic, coloured
// and linked runs, wrapped to 400 pixels in an 8-point face, beside pango laying out
// and painting the same words as one wrapped paragraph in the same process. The first
// subject builds the tree and measures every word (a new caption); the second paints a
// tree whose word widths are cached (a repaint).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/common/ratio_main.h"
#include "controls/htmllabel/mk_html_renderer.h"
#include "platform/base/text.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"

// After the program's headers: glib defines TRUE and FALSE as macros.
#include <pango/pangocairo.h>

namespace {

constexpr int kWidth = 400, kHeight = 4000, kWords = 2000;

const std::string& Caption() {
  static const std::string caption = [] {
    const char* words[] = {"enter", "your", "password", "to", "unlock", "the", "vault", "and", "its", "forms"};
    std::string html;
    for (int i = 0; i < kWords; ++i) {
      std::string word = words[i % 10];
      if (i % 50 == 7) word = "<b>" + word + "</b>";
      if (i % 50 == 19) word = "<i>" + word + "</i>";
      if (i % 50 == 31) word = "<font color=green>" + word + "</font>";
      if (i % 50 == 43) word = "<a href=x>" + word + "</a>";
      html += word + (i % 200 == 199 ? "<br>" : " ");
    }
    return html;
  }();
  return caption;
}

// The caption's words without markup: the paragraph pango lays out.
const std::string& PlainText() {
  static const std::string text = [] {
    std::string plain;
    bool inTag = false;
    for (char c : Caption()) {
      if (c == '<') inTag = true;
      if (!inTag) plain += c;
      if (c == '>') inTag = false;
    }
    return plain;
  }();
  return text;
}

struct Surface {
  Surface() : dc(CreateCompatibleDC(0)), bitmap(CreateCompatibleBitmap(dc, kWidth, kHeight)) {
    SelectObject(dc, bitmap);
    canvas.SetHandle(dc);
    canvas.Font().SetName("Tahoma");
    canvas.Font().SetSize(8);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
  }
  ~Surface() {
    canvas.SetHandle(0);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  HDC dc;
  HBITMAP bitmap;
  TCanvas canvas;
};

void LabelLayoutAndPaint(benchmark::State& state) {
  Surface surface;
  TMkHtmlRenderer renderer;
  for (auto _ : state) {
    auto tree = TDefaultParser(nullptr).Parse(Caption());
    renderer.Render(surface.canvas, RECT{0, 0, kWidth, kHeight}, *tree);
    benchmark::DoNotOptimize(renderer.TextBottom);
  }
  state.counters["bottom"] = renderer.TextBottom;
}

void LabelRepaint(benchmark::State& state) {
  Surface surface;
  TMkHtmlRenderer renderer;
  auto tree = TDefaultParser(nullptr).Parse(Caption());
  renderer.Render(surface.canvas, RECT{0, 0, kWidth, kHeight}, *tree);
  for (auto _ : state) {
    renderer.Render(surface.canvas, RECT{0, 0, kWidth, kHeight}, *tree);
    benchmark::DoNotOptimize(renderer.TextBottom);
  }
}

void PangoParagraph(benchmark::State& state) {
  cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
  cairo_t* cr = cairo_create(target);
  PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
  pango_font_description_set_absolute_size(font, 11 * PANGO_SCALE);
  int height = 0;
  for (auto _ : state) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_width(layout, kWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    pango_layout_set_text(layout, PlainText().data(), static_cast<int>(PlainText().size()));
    cairo_move_to(cr, 0, 0);
    pango_cairo_show_layout(cr, layout);
    pango_layout_get_pixel_size(layout, nullptr, &height);
    benchmark::DoNotOptimize(height);
    g_object_unref(layout);
  }
  state.counters["bottom"] = height;
  pango_font_description_free(font);
  cairo_destroy(cr);
  cairo_surface_destroy(target);
}

BENCHMARK(LabelLayoutAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(LabelRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(PangoParagraph)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv,
                                     {{"LabelLayoutAndPaint", "PangoParagraph"}, {"LabelRepaint", "PangoParagraph"}});
}
