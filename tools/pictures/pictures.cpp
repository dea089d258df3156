// The program's drawn pictures (the floating button's, the first-run wizard's and the
// dialogs' help picture): "pictures draw <folder>" draws them with cairo into
// PNG files (run by hand; the files are kept under resources/pictures, look at them
// before keeping them); "pictures bmp <in.png> <out.bmp>" turns one into a 24-bit
// bitmap file, the form in which the build embeds them.
//
// The floating button is drawn whole in each state; its state pictures are the parts
// of those drawings over their buttons, so that each fits the background exactly.
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kFloatWidth = 80;
constexpr int kFloatHeight = 28;

enum class Look { Plain, Over, Pressed };

struct Zone {
  int left, right;  // the button's columns in the floating button
};
constexpr Zone kFill{8, 32};
constexpr Zone kArrow{33, 47};
constexpr Zone kSettings{48, 74};

void Rgb(cairo_t* cr, int rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void Gradient(cairo_t* cr, int top, int bottom) {
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, 0, 0, kFloatHeight);
  cairo_pattern_add_color_stop_rgb(pattern, 0, ((top >> 16) & 0xFF) / 255.0, ((top >> 8) & 0xFF) / 255.0,
                                   (top & 0xFF) / 255.0);
  cairo_pattern_add_color_stop_rgb(pattern, 1, ((bottom >> 16) & 0xFF) / 255.0, ((bottom >> 8) & 0xFF) / 255.0,
                                   (bottom & 0xFF) / 255.0);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

// A key lying on its side: the bow at (x, y), the bit to the right.
void Key(cairo_t* cr, double x, double y, double size, int rgb) {
  Rgb(cr, rgb);
  cairo_set_line_width(cr, size * 0.22);
  cairo_arc(cr, x, y, size * 0.3, 0, 2 * M_PI);
  cairo_stroke(cr);
  cairo_move_to(cr, x + size * 0.3, y);
  cairo_line_to(cr, x + size * 1.05, y);
  cairo_move_to(cr, x + size * 0.8, y);
  cairo_line_to(cr, x + size * 0.8, y + size * 0.3);
  cairo_move_to(cr, x + size * 1.0, y);
  cairo_line_to(cr, x + size * 1.0, y + size * 0.25);
  cairo_stroke(cr);
}

void Gear(cairo_t* cr, double x, double y, double radius, int rgb) {
  Rgb(cr, rgb);
  for (int tooth = 0; tooth < 8; ++tooth) {
    double angle = tooth * M_PI / 4;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_rectangle(cr, -radius * 0.2, -radius, radius * 0.4, radius * 0.5);
    cairo_restore(cr);
  }
  cairo_fill(cr);
  cairo_arc(cr, x, y, radius * 0.7, 0, 2 * M_PI);
  cairo_arc_negative(cr, x, y, radius * 0.3, 2 * M_PI, 0);
  cairo_fill(cr);
}

void DownArrow(cairo_t* cr, double x, double y, int rgb) {
  Rgb(cr, rgb);
  cairo_move_to(cr, x - 4, y - 2);
  cairo_line_to(cr, x + 4, y - 2);
  cairo_line_to(cr, x, y + 3);
  cairo_close_path(cr);
  cairo_fill(cr);
}

// The whole floating button with one button (or none) lit or pressed.
cairo_surface_t* DrawFloat(const Zone* lit, Look look) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kFloatWidth, kFloatHeight);
  cairo_t* cr = cairo_create(surface);
  Rgb(cr, 0x16222F);
  cairo_paint(cr);
  RoundedRect(cr, 0.5, 0.5, kFloatWidth - 1, kFloatHeight - 1, 6);
  Gradient(cr, 0x3C5A7A, 0x24384E);
  cairo_fill_preserve(cr);
  Rgb(cr, 0x16222F);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  if (lit != nullptr) {
    cairo_rectangle(cr, lit->left, 1, lit->right - lit->left, kFloatHeight - 2);
    if (look == Look::Over) {
      Gradient(cr, 0x6A96C2, 0x3A6088);
    } else {
      Gradient(cr, 0x182838, 0x2A4560);
    }
    cairo_fill(cr);
  }
  for (int x : {32, 47}) {
    cairo_rectangle(cr, x, 4, 1, kFloatHeight - 8);
    Rgb(cr, 0x16222F);
    cairo_fill(cr);
  }
  double shift = look == Look::Pressed ? 1 : 0;
  auto pushed = [&](const Zone& zone) { return lit == &zone ? shift : 0; };
  Key(cr, 14 + pushed(kFill), 14 + pushed(kFill), 12, 0xF2D06B);
  DownArrow(cr, 40 + pushed(kArrow), 14 + pushed(kArrow), 0xE8EEF4);
  Gear(cr, 61 + pushed(kSettings), 14 + pushed(kSettings), 8, 0xE8EEF4);
  cairo_destroy(cr);
  return surface;
}

// The mask: black where the button is, white around it.
cairo_surface_t* DrawFloatMask() {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kFloatWidth, kFloatHeight);
  cairo_t* cr = cairo_create(surface);
  Rgb(cr, 0xFFFFFF);
  cairo_paint(cr);
  RoundedRect(cr, 0, 0, kFloatWidth, kFloatHeight, 6.5);
  Rgb(cr, 0x000000);
  cairo_fill(cr);
  cairo_destroy(cr);
  return surface;
}

cairo_surface_t* Crop(cairo_surface_t* whole, const Zone& zone) {
  int width = zone.right - zone.left;
  cairo_surface_t* part = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, kFloatHeight);
  cairo_t* cr = cairo_create(part);
  cairo_set_source_surface(cr, whole, -zone.left, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  return part;
}

bool WriteBmp(cairo_surface_t* surface, const std::string& path) {
  cairo_surface_flush(surface);
  int width = cairo_image_surface_get_width(surface);
  int height = cairo_image_surface_get_height(surface);
  int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  std::uint32_t row = static_cast<std::uint32_t>((width * 3 + 3) & ~3);
  std::uint32_t imageSize = row * static_cast<std::uint32_t>(height);
  std::vector<unsigned char> file(54 + imageSize, 0);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    file[at] = v & 0xFF;
    file[at + 1] = (v >> 8) & 0xFF;
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  put16(26, 1);
  put16(28, 24);
  put32(34, imageSize);
  for (int y = 0; y < height; ++y) {
    const unsigned char* source = data + (height - 1 - y) * stride;  // bottom-up rows
    unsigned char* target = file.data() + 54 + y * row;
    for (int x = 0; x < width; ++x) {
      target[x * 3] = source[x * 4];
      target[x * 3 + 1] = source[x * 4 + 1];
      target[x * 3 + 2] = source[x * 4 + 2];
    }
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

// The first-run wizard's side picture: a key over a deep blue that lightens downwards.
cairo_surface_t* DrawWizardBanner() {
  constexpr int kWidth = 150, kHeight = 300;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, 0, 0, kHeight);
  cairo_pattern_add_color_stop_rgb(pattern, 0, 0x1F / 255.0, 0x3F / 255.0, 0x7F / 255.0);
  cairo_pattern_add_color_stop_rgb(pattern, 1, 0x6F / 255.0, 0x9F / 255.0, 0xDF / 255.0);
  cairo_set_source(cr, pattern);
  cairo_paint(cr);
  cairo_pattern_destroy(pattern);
  Key(cr, 45, 120, 60, 0xF4C430);
  cairo_destroy(cr);
  return surface;
}

// The wizard's icon in its top panel: a key on a rounded blue square, on white.
cairo_surface_t* DrawWizardIcon() {
  constexpr int kSize = 48;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSize, kSize);
  cairo_t* cr = cairo_create(surface);
  Rgb(cr, 0xFFFFFF);
  cairo_paint(cr);
  RoundedRect(cr, 2, 2, kSize - 4, kSize - 4, 8);
  Rgb(cr, 0x2F5FAF);
  cairo_fill(cr);
  Key(cr, 15, 24, 24, 0xF4C430);
  cairo_destroy(cr);
  return surface;
}

// The dialogs' help picture: a white question mark on a blue disc.
cairo_surface_t* DrawHelpIcon() {
  constexpr int kSize = 16;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSize, kSize);
  cairo_t* cr = cairo_create(surface);
  Rgb(cr, 0xD4D0C8);
  cairo_paint(cr);
  cairo_arc(cr, 8, 8, 7.5, 0, 2 * M_PI);
  Rgb(cr, 0x2F5FAF);
  cairo_fill(cr);
  Rgb(cr, 0xFFFFFF);
  cairo_set_line_width(cr, 2);
  cairo_arc(cr, 8, 6, 2.6, M_PI, 2.3 * M_PI);
  cairo_line_to(cr, 8, 10);
  cairo_stroke(cr);
  cairo_rectangle(cr, 7, 11.5, 2, 2);
  cairo_fill(cr);
  cairo_destroy(cr);
  return surface;
}

bool Keep(cairo_surface_t* surface, const std::string& folder, const char* name) {
  bool ok = cairo_surface_write_to_png(surface, (folder + "/" + name + ".png").c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", name);
  return ok;
}

bool DrawAll(const std::string& folder) {
  bool ok = Keep(DrawFloat(nullptr, Look::Plain), folder, "FLOAT_BACKGROUND") &&
            Keep(DrawFloatMask(), folder, "FLOAT_BACK_MAP") && Keep(DrawWizardBanner(), folder, "WIZ_IMG") &&
            Keep(DrawWizardIcon(), folder, "WIZ_ICON") && Keep(DrawHelpIcon(), folder, "HELP_ICON");
  struct State {
    const char* name;
    const Zone* zone;
    Look look;
  } states[] = {
      {"FLOAT_FILL_OVER", &kFill, Look::Over},       {"FLOAT_FILL_PRESS", &kFill, Look::Pressed},
      {"FLOAT_ARROW_OVER", &kArrow, Look::Over},     {"FLOAT_ARROW_PRESS", &kArrow, Look::Pressed},
      {"FLOAT_SET_OVER", &kSettings, Look::Over},    {"FLOAT_SET_PRESS", &kSettings, Look::Pressed},
  };
  for (const State& state : states) {
    cairo_surface_t* whole = DrawFloat(state.zone, state.look);
    ok = Keep(Crop(whole, *state.zone), folder, state.name) && ok;
    cairo_surface_destroy(whole);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "draw" && argc == 3) return DrawAll(argv[2]) ? 0 : 1;
  if (command == "bmp" && argc == 4) {
    cairo_surface_t* picture = cairo_image_surface_create_from_png(argv[2]);
    bool ok = cairo_surface_status(picture) == CAIRO_STATUS_SUCCESS && WriteBmp(picture, argv[3]);
    cairo_surface_destroy(picture);
    if (!ok) std::fprintf(stderr, "cannot make %s from %s\n", argv[3], argv[2]);
    return ok ? 0 : 1;
  }
  std::fprintf(stderr, "usage: pictures draw <folder> | pictures bmp <in.png> <out.bmp>\n");
  return 2;
}
