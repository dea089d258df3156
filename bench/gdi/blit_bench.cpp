// Blits as the tree paints: one row bitmap of 400 x 18 pixels copied to the window's
// DC (also stretched from half the size), and a 16 x 16 image list picture drawn
// through its mask. The baselines move the
// same bytes with memcpy row by row, and blend the same pixels with a plain loop; the
// ratio is what the DC's clip, mapping and raster operation cost over the bare copy.
// The stretched row is also set against cairo scaling the same picture (nearest
// pixel, as COLORONCOLOR takes), the work a stretch does beyond a copy.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstring>
#include <vector>

#include "bench/common/ratio_main.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/image_lists.h"

namespace {

constexpr int kWidth = 400, kHeight = 18, kIcon = 16;

struct Surface {
  Surface(int width, int height) : dc(CreateCompatibleDC(0)), bitmap(CreateCompatibleBitmap(dc, width, height)) {
    SelectObject(dc, bitmap);
  }
  ~Surface() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  HDC dc;
  HBITMAP bitmap;
};

void BM_BitBltRow(benchmark::State& state) {
  Surface row(kWidth, kHeight), window(kWidth, kHeight * 4);
  for (auto _ : state) benchmark::DoNotOptimize(BitBlt(window.dc, 0, kHeight, kWidth, kHeight, row.dc, 0, 0, SRCCOPY));
}

// The same row drawn from a picture of half the size, doubled.
void BM_StretchBltRow(benchmark::State& state) {
  Surface half(kWidth / 2, kHeight / 2), window(kWidth, kHeight * 4);
  SetStretchBltMode(window.dc, COLORONCOLOR);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        StretchBlt(window.dc, 0, kHeight, kWidth, kHeight, half.dc, 0, 0, kWidth / 2, kHeight / 2, SRCCOPY));
  }
}

void BM_CairoScaleRow(benchmark::State& state) {
  cairo_surface_t* half = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth / 2, kHeight / 2);
  cairo_surface_t* window = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight * 4);
  for (auto _ : state) {
    cairo_t* cr = cairo_create(window);
    cairo_rectangle(cr, 0, kHeight, kWidth, kHeight);
    cairo_clip(cr);
    cairo_translate(cr, 0, kHeight);
    cairo_scale(cr, 2, 2);
    cairo_set_source_surface(cr, half, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
  }
  cairo_surface_destroy(window);
  cairo_surface_destroy(half);
}

void BM_MemcpyRow(benchmark::State& state) {
  std::vector<std::uint8_t> row(kWidth * kHeight * 4, 1), window(kWidth * kHeight * 4 * 4);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      std::memcpy(window.data() + (y + kHeight) * kWidth * 4, row.data() + y * kWidth * 4, kWidth * 4);
    }
    benchmark::DoNotOptimize(window.data());
  }
}

void BM_ImageListDraw(benchmark::State& state) {
  Surface picture(kIcon, kIcon), target(kIcon, kIcon);
  HIMAGELIST list = ImageList_Create(kIcon, kIcon, ILC_COLOR32 | ILC_MASK, 1, 1);
  ImageList_AddMasked(list, picture.bitmap, RGB(255, 0, 255));
  for (auto _ : state) benchmark::DoNotOptimize(ImageList_Draw(list, 0, target.dc, 0, 0, ILD_TRANSPARENT));
  ImageList_Destroy(list);
}

// Premultiplied "over" of the same 16 x 16 pixels.
void BM_BlendLoop(benchmark::State& state) {
  std::vector<std::uint8_t> source(kIcon * kIcon * 4, 200), dest(kIcon * kIcon * 4, 50);
  for (auto _ : state) {
    for (std::size_t i = 0; i < dest.size(); i += 4) {
      unsigned keep = 255 - source[i + 3];
      for (int c = 0; c < 4; ++c) dest[i + c] = static_cast<std::uint8_t>(source[i + c] + dest[i + c] * keep / 255);
    }
    benchmark::DoNotOptimize(dest.data());
  }
}

BENCHMARK(BM_BitBltRow);
BENCHMARK(BM_StretchBltRow);
BENCHMARK(BM_MemcpyRow);
BENCHMARK(BM_CairoScaleRow);
BENCHMARK(BM_ImageListDraw);
BENCHMARK(BM_BlendLoop);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"BM_BitBltRow", "BM_MemcpyRow"}, {"BM_StretchBltRow", "BM_MemcpyRow"},
                                                  {"BM_StretchBltRow", "BM_CairoScaleRow"}, {"BM_ImageListDraw", "BM_BlendLoop"}});
}
