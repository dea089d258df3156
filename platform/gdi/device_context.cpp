#include "platform/gdi/device_context.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/gdi/icons.h"
#include "platform/gdi/text_render.h"

namespace {

using platform::gdi::Bitmap;

struct DcState {
  HGDIOBJ pen = 0;
  HGDIOBJ brush = 0;
  HGDIOBJ font = 0;
  HGDIOBJ bitmap = 0;
  std::shared_ptr<platform::gdi::Pen> penObject;
  std::shared_ptr<platform::gdi::Brush> brushObject;
  std::shared_ptr<platform::gdi::Font> fontObject;
  std::shared_ptr<Bitmap> target;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  UINT textAlign = TA_LEFT | TA_TOP;
  POINT position{};
  POINT brushOrigin{};  // where pattern brushes start, from the DC's own corner
  POINT dcOrigin{};  // where the DC's own (0, 0) lies in its picture (a client area's corner)
  POINT origin{};    // dcOrigin plus the viewport origin: logical (0, 0) lands here
  RECT base{};     // the DC's own area (a window's, a bitmap's), device pixels
  platform::gdi::Region clip;  // where drawing lands: the base less what the program clipped away
  int stretchMode = BLACKONWHITE;
};

struct DeviceContext {
  HWND window = 0;
  DcState state;
  std::vector<DcState> saved;
};

std::shared_ptr<DeviceContext> Dc(HDC dc) {
  auto object = platform::gdi::HandleTarget(dc, platform::gdi::OBJ_DC);
  if (!object) object = platform::gdi::HandleTarget(dc, platform::gdi::OBJ_MEMDC);
  return std::static_pointer_cast<DeviceContext>(object);
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

using platform::gdi::Region;

RECT Bounds(const Bitmap& bitmap) { return RECT{0, 0, bitmap.width(), bitmap.height()}; }

// A rectangle in logical units moved to device pixels.
RECT Device(const DcState& state, const RECT& r) {
  return RECT{r.left + state.origin.x, r.top + state.origin.y, r.right + state.origin.x, r.bottom + state.origin.y};
}

void SetColor(cairo_t* cr, COLORREF color) {
  cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
}

// A cairo context in the DC's logical coordinates, clipped, without antialiasing
// (shapes land on whole pixels as the platform draws them).
class Canvas {
 public:
  explicit Canvas(const DcState& state) : cr_(cairo_create(state.target->Surface())) {
    if (state.target->bottomUp) {
      cairo_translate(cr_, 0, state.target->height());
      cairo_scale(cr_, 1, -1);
    }
    platform::gdi::Region clip = state.clip;
    clip.Intersect(Bounds(*state.target));
    for (const RECT& r : clip.Rects()) cairo_rectangle(cr_, r.left, r.top, r.right - r.left, r.bottom - r.top);
    if (clip.Empty()) cairo_rectangle(cr_, 0, 0, 0, 0);
    cairo_clip(cr_);
    cairo_translate(cr_, state.origin.x, state.origin.y);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  }
  ~Canvas() {
    cairo_destroy(cr_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  cairo_t* get() const { return cr_; }

 private:
  cairo_t* cr_;
};

// Pixels of a bitmap in top-down logical rows, for raster operations.
class Pixels {
 public:
  explicit Pixels(const Bitmap& bitmap)
      : bitmap_(bitmap), width_(bitmap.width()), height_(bitmap.height()), bottomUp_(bitmap.bottomUp) {
    cairo_surface_flush(bitmap.surface);
    data_ = cairo_image_surface_get_data(bitmap.surface);
    stride_ = cairo_image_surface_get_stride(bitmap.surface);
  }
  ~Pixels() { cairo_surface_mark_dirty(bitmap_.surface); }
  Pixels(const Pixels&) = delete;
  Pixels& operator=(const Pixels&) = delete;
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  BYTE* At(int x, int y) const {
    int row = bottomUp_ ? height_ - 1 - y : y;
    return data_ + row * stride_ + x * 4;
  }

 private:
  const Bitmap& bitmap_;
  int width_, height_;
  bool bottomUp_;
  BYTE* data_;
  int stride_;
};

// The pixel at a logical point when it lies inside the bitmap and the clip; else null.
BYTE* Drawable(const Pixels& pixels, const DcState& state, int x, int y) {
  int dx = x + state.origin.x, dy = y + state.origin.y;
  if (!pixels.Inside(dx, dy) || !state.clip.Contains(dx, dy)) return nullptr;
  return pixels.At(dx, dy);
}

std::shared_ptr<platform::gdi::Brush> BrushFor(HBRUSH brush) {
  // Small values name a system colour (index + 1).
  if (brush > 0 && brush <= COLOR_MENUBAR + 1) brush = GetSysColorBrush(static_cast<int>(brush) - 1);
  return platform::gdi::BrushOf(brush);
}

void FillWith(const DcState& state, const RECT& rect, COLORREF color) {
  Canvas canvas(state);
  SetColor(canvas.get(), color);
  cairo_rectangle(canvas.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  cairo_fill(canvas.get());
}

// The colour of a pattern brush at a device pixel.
COLORREF PatternColorAt(const DcState& state, const platform::gdi::Brush& brush, int dx, int dy) {
  const Bitmap& pattern = *brush.pattern;
  const int w = pattern.width(), h = pattern.height();
  int px = (dx - state.dcOrigin.x - state.brushOrigin.x) % w, py = (dy - state.dcOrigin.y - state.brushOrigin.y) % h;
  if (px < 0) px += w;
  if (py < 0) py += h;
  const std::uint8_t* p = pattern.Row(py) + px * 4;
  const COLORREF color = RGB(p[2], p[1], p[0]);
  if (!pattern.monochrome) return color;
  return color == RGB(255, 255, 255) ? state.bkColor : state.textColor;
}

// Makes the brush cairo's source in the DC's logical space.
void SetBrushSource(cairo_t* cr, const DcState& state, const platform::gdi::Brush& brush) {
  if (!brush.pattern) {
    SetColor(cr, brush.color);
    return;
  }
  const int w = brush.pattern->width(), h = brush.pattern->height();
  cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  unsigned char* data = cairo_image_surface_get_data(tile);
  const int stride = cairo_image_surface_get_stride(tile);
  // Tile pixel (x, y) is the colour at the device pixel that many steps from the origin.
  const int baseX = state.dcOrigin.x + state.brushOrigin.x, baseY = state.dcOrigin.y + state.brushOrigin.y;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const COLORREF c = PatternColorAt(state, brush, baseX + x, baseY + y);
      unsigned char* p = data + y * stride + x * 4;
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
      p[3] = 255;
    }
  }
  cairo_surface_mark_dirty(tile);
  cairo_pattern_t* source = cairo_pattern_create_for_surface(tile);
  cairo_pattern_set_extend(source, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(source, CAIRO_FILTER_NEAREST);
  cairo_matrix_t matrix;
  // Logical x lies at device x + origin; the tile starts at device baseX.
  cairo_matrix_init_translate(&matrix, state.origin.x - baseX, state.origin.y - baseY);
  cairo_pattern_set_matrix(source, &matrix);
  cairo_set_source(cr, source);
  cairo_pattern_destroy(source);
  cairo_surface_destroy(tile);
}

void FillWithBrush(const DcState& state, const RECT& rect, const platform::gdi::Brush& brush) {
  if (brush.hollow) return;
  Canvas canvas(state);
  SetBrushSource(canvas.get(), state, brush);
  cairo_rectangle(canvas.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  cairo_fill(canvas.get());
}

void SetPen(cairo_t* cr, const platform::gdi::Pen& pen) {
  SetColor(cr, pen.color);
  cairo_set_line_width(cr, pen.width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  if (pen.style == PS_DOT) {
    const double dots[] = {1.0, 1.0};
    cairo_set_dash(cr, dots, 2, 0);
  } else if (pen.style == PS_DASH) {
    const double dashes[] = {6.0, 2.0};
    cairo_set_dash(cr, dashes, 2, 0);
  }
}

// A line from one point up to, not including, the other. Level and upright lines
// cover exactly the pixels the platform covers; slanted ones follow pixel centres.
void StrokeLine(const DcState& state, POINT from, POINT to) {
  if (!state.penObject || state.penObject->style == PS_NULL) return;
  if (from.x == to.x && from.y == to.y) return;
  Canvas canvas(state);
  cairo_t* cr = canvas.get();
  SetPen(cr, *state.penObject);
  // Pixel edges that hold [from, to) along one axis, in either direction.
  auto span = [](LONG a, LONG b) {
    return b >= a ? std::pair<double, double>(a, b) : std::pair<double, double>(a + 1, b + 1);
  };
  if (from.y == to.y) {
    auto [a, b] = span(from.x, to.x);
    cairo_move_to(cr, a, from.y + 0.5);
    cairo_line_to(cr, b, from.y + 0.5);
  } else if (from.x == to.x) {
    auto [a, b] = span(from.y, to.y);
    cairo_move_to(cr, from.x + 0.5, a);
    cairo_line_to(cr, from.x + 0.5, b);
  } else {
    double dx = to.x - from.x, dy = to.y - from.y;
    double steps = std::max(std::abs(dx), std::abs(dy));
    cairo_move_to(cr, from.x + 0.5, from.y + 0.5);
    cairo_line_to(cr, to.x - dx / steps + 0.5, to.y - dy / steps + 0.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  }
  cairo_stroke(cr);
}

std::u16string Wide(const char* text, int length) {
  if (text == nullptr) return {};
  std::string_view view = length < 0 ? std::string_view(text) : std::string_view(text, length);
  return platform::AnsiToWide(view);
}

std::u16string_view View(const char16_t* text, int length) {
  if (text == nullptr) return {};
  return length < 0 ? std::u16string_view(text) : std::u16string_view(text, length);
}

const platform::gdi::Font& FontOfState(const DcState& state) { return *state.fontObject; }

// --- DrawText layout ---------------------------------------------------------------

struct Line {
  std::u16string text;
  int underlined = -1;
};

// Strips hot-key markers: "&&" is a plain "&"; "&x" underlines x.
Line StripPrefix(std::u16string_view text, UINT format) {
  Line line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(format & DT_NOPREFIX) && text[i] == u'&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != u'&' && !(format & DT_HIDEPREFIX)) line.underlined = static_cast<int>(line.text.size());
    } else if (!(format & DT_NOPREFIX) && text[i] == u'&') {
      continue;
    }
    line.text += text[i];
  }
  return line;
}

std::u16string ExpandTabs(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'\t') {
      out.append(8 - out.size() % 8, u' ');
    } else {
      out += c;
    }
  }
  return out;
}

int Width(const platform::gdi::Font& font, std::u16string_view text) { return platform::gdi::MeasureText(font, text).cx; }

// Breaks a paragraph into lines that fit the width, at spaces; a word longer than the
// width stands alone on its line.
std::vector<std::u16string> WrapWords(const platform::gdi::Font& font, const std::u16string& text, int width) {
  std::vector<std::u16string> lines;
  std::u16string current;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find(u' ', i);
    if (end == std::u16string::npos) end = text.size();
    std::u16string word = text.substr(i, end - i);
    std::u16string candidate = current.empty() ? word : current + u' ' + word;
    if (!current.empty() && Width(font, candidate) > width) {
      lines.push_back(current);
      current = word;
    } else {
      current = candidate;
    }
    i = end + 1;
  }
  lines.push_back(current);
  return lines;
}

// The text shortened from its end until it fits with "..." after it.
std::u16string CutWithDots(const platform::gdi::Font& font, std::u16string text, int width) {
  while (!text.empty() && Width(font, text + u"...") > width) text.pop_back();
  return text + u"...";
}

std::u16string Ellipsize(const platform::gdi::Font& font, const std::u16string& text, int width, UINT format) {
  if (Width(font, text) <= width) return text;
  const std::u16string dots = u"...";
  if (format & DT_PATH_ELLIPSIS) {
    // Keep the last path part whole and cut the start.
    auto slash = text.find_last_of(u"\\/");
    std::u16string tail = slash == std::u16string::npos ? text : text.substr(slash);
    std::u16string head = text.substr(0, text.size() - tail.size());
    while (!head.empty() && Width(font, head + dots + tail) > width) head.pop_back();
    if (!head.empty() || Width(font, dots + tail) <= width) return head + dots + tail;
  }
  return CutWithDots(font, text, width);
}

std::vector<Line> LayOut(const platform::gdi::Font& font, std::u16string_view text, const RECT& rect, UINT format) {
  std::u16string source(text);
  if (format & DT_EXPANDTABS) source = ExpandTabs(source);
  std::vector<std::u16string> paragraphs;
  if (format & DT_SINGLELINE) {
    std::u16string flat;
    for (char16_t c : source) {
      if (c != u'\r' && c != u'\n') flat += c;
    }
    paragraphs.push_back(flat);
  } else {
    std::size_t start = 0;
    for (;;) {
      std::size_t end = source.find(u'\n', start);
      std::u16string part = source.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
      if (!part.empty() && part.back() == u'\r') part.pop_back();
      paragraphs.push_back(part);
      if (end == std::u16string::npos) break;
      start = end + 1;
    }
  }
  int width = rect.right - rect.left;
  std::vector<Line> lines;
  for (const auto& paragraph : paragraphs) {
    Line stripped = StripPrefix(paragraph, format);
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
      // Wrap the text without markers; the hot key stays on the line that holds it.
      std::size_t offset = 0;
      for (auto& piece : WrapWords(font, stripped.text, width)) {
        Line line{piece, -1};
        if (stripped.underlined >= 0 && static_cast<std::size_t>(stripped.underlined) >= offset &&
            static_cast<std::size_t>(stripped.underlined) < offset + piece.size()) {
          line.underlined = static_cast<int>(stripped.underlined - offset);
        }
        offset += piece.size() + 1;
        lines.push_back(line);
      }
    } else {
      lines.push_back(stripped);
    }
  }
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) {
    for (auto& line : lines) {
      auto cut = Ellipsize(font, line.text, width, format);
      if (cut != line.text) {
        line.text = cut;
        if (line.underlined >= static_cast<int>(cut.size()) - 3) line.underlined = -1;
      }
    }
  }
  return lines;
}

}  // namespace

// --- platform::gdi -----------------------------------------------------------------

HDC platform::gdi::NewDC(std::shared_ptr<Bitmap> target, HWND window, RECT clip, POINT dcOrigin) {
  auto dc = std::make_shared<DeviceContext>();
  dc->window = window;
  auto& state = dc->state;
  state.pen = GetStockObject(BLACK_PEN);
  state.brush = GetStockObject(WHITE_BRUSH);
  state.font = GetStockObject(SYSTEM_FONT);
  state.penObject = PenOf(state.pen);
  state.brushObject = BrushOf(state.brush);
  state.fontObject = FontOf(state.font);
  state.target = std::move(target);
  state.dcOrigin = dcOrigin;
  state.origin = dcOrigin;
  state.base = clip;
  state.clip = Region(clip);
  return NewHandle(dc, window ? OBJ_DC : OBJ_MEMDC);
}

std::shared_ptr<Bitmap> platform::gdi::TargetOf(HDC dc) {
  auto context = Dc(dc);
  return context ? context->state.target : nullptr;
}

HWND platform::gdi::WindowOfDC(HDC dc) {
  auto context = Dc(dc);
  return context ? context->window : 0;
}

void platform::gdi::FreeDC(HDC dc) { ReleaseHandle(dc); }

// --- DC state ----------------------------------------------------------------------

HDC CreateCompatibleDC(HDC) {
  // A new memory DC holds a 1x1 bitmap until one is selected.
  auto bitmap = platform::gdi::NewBitmap(1, 1);
  return bitmap ? platform::gdi::NewDC(bitmap, 0, RECT{0, 0, 1, 1}) : 0;
}

BOOL DeleteDC(HDC dc) {
  if (!Dc(dc)) return FALSE;
  platform::gdi::FreeDC(dc);
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto context = Dc(dc);
  if (!context) return 0;
  auto& state = context->state;
  HGDIOBJ old = 0;
  switch (GetObjectType(object)) {
    case platform::gdi::OBJ_PEN:
      old = state.pen;
      state.pen = object;
      state.penObject = platform::gdi::PenOf(object);
      return old;
    case platform::gdi::OBJ_BRUSH:
      old = state.brush;
      state.brush = object;
      state.brushObject = platform::gdi::BrushOf(object);
      return old;
    case platform::gdi::OBJ_FONT:
      old = state.font;
      state.font = object;
      state.fontObject = platform::gdi::FontOf(object);
      return old;
    case platform::gdi::OBJ_BITMAP: {
      if (context->window != 0) break;
      old = state.bitmap;
      state.bitmap = object;
      state.target = platform::gdi::BitmapOf(object);
      state.base = Bounds(*state.target);
      state.clip = platform::gdi::Region(state.base);
      // A DC's first bitmap is its own 1x1 one, which has no handle; answer a stand-in.
      return old ? old : static_cast<HGDIOBJ>(GetStockObject(NULL_BRUSH));
    }
    default:
      break;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT kind) {
  auto context = Dc(dc);
  if (!context) return 0;
  switch (kind) {
    case platform::gdi::OBJ_PEN: return context->state.pen;
    case platform::gdi::OBJ_BRUSH: return context->state.brush;
    case platform::gdi::OBJ_FONT: return context->state.font;
    case platform::gdi::OBJ_BITMAP: return context->state.bitmap;
    default: return 0;
  }
}

namespace {

template <typename T>
T Exchange(HDC dc, T DcState::*field, T value, T failure) {
  auto context = Dc(dc);
  if (!context) return failure;
  T old = context->state.*field;
  context->state.*field = value;
  return old;
}

template <typename T>
T Read(HDC dc, T DcState::*field, T failure) {
  auto context = Dc(dc);
  return context ? context->state.*field : failure;
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) { return Exchange(dc, &DcState::textColor, color, CLR_INVALID); }
COLORREF GetTextColor(HDC dc) { return Read(dc, &DcState::textColor, CLR_INVALID); }
COLORREF SetBkColor(HDC dc, COLORREF color) { return Exchange(dc, &DcState::bkColor, color, CLR_INVALID); }
COLORREF GetBkColor(HDC dc) { return Read(dc, &DcState::bkColor, CLR_INVALID); }
int SetBkMode(HDC dc, int mode) { return Exchange(dc, &DcState::bkMode, mode, 0); }
int GetBkMode(HDC dc) { return Read(dc, &DcState::bkMode, 0); }
UINT SetTextAlign(HDC dc, UINT align) { return Exchange(dc, &DcState::textAlign, align, 0xFFFFFFFFu); }

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  auto& state = context->state;
  if (old) *old = POINT{state.origin.x - state.dcOrigin.x, state.origin.y - state.dcOrigin.y};
  state.origin = POINT{state.dcOrigin.x + x, state.dcOrigin.y + y};
  return TRUE;
}

BOOL GetViewportOrgEx(HDC dc, POINT* origin) {
  auto context = Dc(dc);
  if (!context || origin == nullptr) return FALSE;
  const auto& state = context->state;
  *origin = POINT{state.origin.x - state.dcOrigin.x, state.origin.y - state.dcOrigin.y};
  return TRUE;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  auto context = Dc(dc);
  if (!context) return 0;
  auto& state = context->state;
  state.clip.Intersect(Device(state, RECT{left, top, right, bottom}));
  return state.clip.Kind();
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  auto context = Dc(dc);
  if (!context) return ERROR;
  auto& state = context->state;
  state.clip.Subtract(Device(state, RECT{left, top, right, bottom}));
  return state.clip.Kind();
}

int SelectClipRgn(HDC dc, HRGN region) { return ExtSelectClipRgn(dc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC dc, HRGN region, int mode) {
  auto context = Dc(dc);
  if (!context) return ERROR;
  auto& state = context->state;
  // The region is in device units; it only ever narrows the DC's own area.
  Region area(state.base);
  if (region == 0) {
    if (mode != RGN_COPY) return ERROR;
    state.clip = area;
    return state.clip.Kind();
  }
  auto found = platform::gdi::RegionOf(region);
  if (!found) return ERROR;
  // Regions count from the DC's own corner (a client area's), not the picture's.
  Region given = *found;
  given.Offset(state.dcOrigin.x, state.dcOrigin.y);
  switch (mode) {
    case RGN_COPY: state.clip = given; break;
    case RGN_AND: state.clip.Intersect(given); break;
    case RGN_OR: state.clip.Unite(given); break;
    case RGN_DIFF: state.clip.Subtract(given); break;
    case RGN_XOR: {
      Region back = given;
      back.Subtract(state.clip);
      state.clip.Subtract(given);
      state.clip.Unite(back);
      break;
    }
    default: return ERROR;
  }
  state.clip.Intersect(area);
  return state.clip.Kind();
}

int GetClipRgn(HDC dc, HRGN region) {
  auto context = Dc(dc);
  auto target = platform::gdi::RegionOf(region);
  if (!context || !target) return -1;
  *target = context->state.clip;
  target->Offset(-context->state.dcOrigin.x, -context->state.dcOrigin.y);
  return 1;
}

int GetClipBox(HDC dc, RECT* rect) {
  auto context = Dc(dc);
  if (!context || rect == nullptr) return 0;
  const auto& state = context->state;
  Region clip = state.clip;
  clip.Intersect(Bounds(*state.target));
  RECT box = clip.Box();
  *rect = RECT{box.left - state.origin.x, box.top - state.origin.y, box.right - state.origin.x,
               box.bottom - state.origin.y};
  return clip.Kind();
}

int SaveDC(HDC dc) {
  auto context = Dc(dc);
  if (!context) return 0;
  context->saved.push_back(context->state);
  return static_cast<int>(context->saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  int count = static_cast<int>(context->saved.size());
  int index = saved < 0 ? count + saved : saved - 1;
  if (index < 0 || index >= count) return FALSE;
  context->state = context->saved[index];
  context->saved.resize(index);
  return TRUE;
}

// --- shapes ------------------------------------------------------------------------

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  auto context = Dc(dc);
  auto object = BrushFor(brush);
  if (!context || !object || rect == nullptr) return 0;
  FillWithBrush(context->state, *rect, *object);
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  auto context = Dc(dc);
  auto object = BrushFor(brush);
  if (!context || !object || rect == nullptr) return 0;
  if (object->hollow || Empty(*rect)) return 1;
  const RECT& r = *rect;
  for (const RECT& side : {RECT{r.left, r.top, r.right, r.top + 1}, RECT{r.left, r.bottom - 1, r.right, r.bottom},
                           RECT{r.left, r.top, r.left + 1, r.bottom}, RECT{r.right - 1, r.top, r.right, r.bottom}}) {
    FillWithBrush(context->state, side, *object);
  }
  return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  const auto& state = context->state;
  if (state.brushObject) FillWithBrush(state, RECT{left, top, right, bottom}, *state.brushObject);
  if (state.penObject && state.penObject->style != PS_NULL && right - left > 0 && bottom - top > 0) {
    Canvas canvas(state);
    SetPen(canvas.get(), *state.penObject);
    cairo_rectangle(canvas.get(), left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
    cairo_stroke(canvas.get());
  }
  return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  const auto& state = context->state;
  if (right - left <= 0 || bottom - top <= 0) return TRUE;
  // Corner ellipses of width x height, no larger than the rectangle.
  const double rx = std::min(width, right - left) / 2.0, ry = std::min(height, bottom - top) / 2.0;
  auto path = [&](cairo_t* cr, double l, double t, double r, double b) {
    if (rx <= 0 || ry <= 0) {
      cairo_rectangle(cr, l, t, r - l, b - t);
      return;
    }
    cairo_new_path(cr);
    const double corners[4][3] = {{r - rx, t + ry, -M_PI / 2}, {r - rx, b - ry, 0}, {l + rx, b - ry, M_PI / 2},
                                  {l + rx, t + ry, M_PI}};
    for (const auto& c : corners) {
      cairo_save(cr);
      cairo_translate(cr, c[0], c[1]);
      cairo_scale(cr, rx, ry);
      cairo_arc(cr, 0, 0, 1, c[2], c[2] + M_PI / 2);
      cairo_restore(cr);
    }
    cairo_close_path(cr);
  };
  Canvas canvas(state);
  cairo_t* cr = canvas.get();
  if (state.brushObject && !state.brushObject->hollow) {
    SetBrushSource(cr, state, *state.brushObject);
    path(cr, left, top, right, bottom);
    cairo_fill(cr);
  }
  if (state.penObject && state.penObject->style != PS_NULL) {
    SetPen(cr, *state.penObject);
    path(cr, left + 0.5, top + 0.5, right - 0.5, bottom - 0.5);
    cairo_stroke(cr);
  }
  return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  auto context = Dc(dc);
  if (!context || points == nullptr || count < 2) return FALSE;
  const auto& state = context->state;
  Canvas canvas(state);
  cairo_t* cr = canvas.get();
  // Pixel centres, so that the filled area covers the pixels the outline passes.
  auto path = [&] {
    cairo_new_path(cr);
    for (int i = 0; i < count; ++i) cairo_line_to(cr, points[i].x + 0.5, points[i].y + 0.5);
    cairo_close_path(cr);
  };
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  if (state.brushObject && !state.brushObject->hollow) {
    SetBrushSource(cr, state, *state.brushObject);
    path();
    if (state.penObject && state.penObject->style == PS_NULL) {
      cairo_fill(cr);
    } else {
      cairo_fill_preserve(cr);
      SetPen(cr, *state.penObject);
      cairo_stroke(cr);
      return TRUE;
    }
  }
  if (state.penObject && state.penObject->style != PS_NULL) {
    SetPen(cr, *state.penObject);
    path();
    cairo_stroke(cr);
  }
  return TRUE;
}

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  if (old) *old = context->state.brushOrigin;
  context->state.brushOrigin = POINT{x, y};
  return TRUE;
}

BOOL GetBrushOrgEx(HDC dc, POINT* origin) {
  auto context = Dc(dc);
  if (!context || origin == nullptr) return FALSE;
  *origin = context->state.brushOrigin;
  return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* old) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  if (old) *old = context->state.position;
  context->state.position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  StrokeLine(context->state, context->state.position, POINT{x, y});
  context->state.position = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  if (points == nullptr || count < 2) return FALSE;
  auto context = Dc(dc);
  if (!context) return FALSE;
  for (int i = 1; i < count; ++i) StrokeLine(context->state, points[i - 1], points[i]);
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  auto context = Dc(dc);
  if (!context || rect == nullptr) return FALSE;
  const auto& state = context->state;
  Pixels pixels(*state.target);
  // Every other pixel of the border is inverted, so a second call takes it away.
  auto invert = [&](int x, int y) {
    BYTE* p = Drawable(pixels, state, x, y);
    if (p == nullptr) return;
    for (int channel = 0; channel < 3; ++channel) p[channel] = static_cast<BYTE>(p[3] - p[channel]);
  };
  const RECT& r = *rect;
  for (int x = r.left; x < r.right; ++x) {
    if ((x - r.left) % 2 == 0) {
      invert(x, r.top);
      if (r.bottom - 1 > r.top) invert(x, r.bottom - 1);
    }
  }
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    if ((y - r.top) % 2 == 0) {
      invert(r.left, y);
      if (r.right - 1 > r.left) invert(r.right - 1, y);
    }
  }
  return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  auto context = Dc(dc);
  if (!context) return CLR_INVALID;
  Pixels pixels(*context->state.target);
  BYTE* p = Drawable(pixels, context->state, x, y);
  if (p == nullptr) return CLR_INVALID;
  p[0] = GetBValue(color);
  p[1] = GetGValue(color);
  p[2] = GetRValue(color);
  p[3] = 255;
  return color & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  auto context = Dc(dc);
  if (!context) return CLR_INVALID;
  const auto& state = context->state;
  int dx = x + state.origin.x, dy = y + state.origin.y;
  Pixels pixels(*state.target);
  if (!pixels.Inside(dx, dy)) return CLR_INVALID;
  const BYTE* p = pixels.At(dx, dy);
  return RGB(p[2], p[1], p[0]);
}

// --- text --------------------------------------------------------------------------

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, const char16_t* text, UINT length,
                 const INT*) {
  auto context = Dc(dc);
  if (!context) return FALSE;
  const auto& state = context->state;
  std::u16string_view line = View(text, static_cast<int>(length));
  if (text == nullptr) line = {};
  if ((options & ETO_OPAQUE) && rect) FillWith(state, *rect, state.bkColor);
  if (line.empty()) return TRUE;
  const auto& font = FontOfState(state);
  SIZE size = platform::gdi::MeasureText(font, line);
  auto metrics = platform::gdi::MeasureFont(font);
  double left = x, top = y;
  if ((state.textAlign & TA_CENTER) == TA_CENTER) {
    left -= size.cx / 2.0;
  } else if (state.textAlign & TA_RIGHT) {
    left -= size.cx;
  }
  if ((state.textAlign & TA_BASELINE) == TA_BASELINE) {
    top -= metrics.ascent;
  } else if (state.textAlign & TA_BOTTOM) {
    top -= size.cy;
  }
  DcState drawState = state;
  if ((options & ETO_CLIPPED) && rect) {
    drawState.clip.Intersect(Device(state, *rect));
  }
  if (state.bkMode == OPAQUE && !(options & ETO_OPAQUE)) {
    FillWith(drawState, RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left) + size.cx,
                             static_cast<LONG>(top) + size.cy},
             state.bkColor);
  }
  Canvas canvas(drawState);
  platform::gdi::DrawTextRun(canvas.get(), font, state.textColor, left, top, line, -1);
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, const char16_t* text, int length) {
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(std::max(length, 0)), nullptr);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
  auto wide = Wide(text, std::max(length, 0));
  return TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int length, SIZE* size) {
  auto context = Dc(dc);
  if (!context || size == nullptr || length < 0) return FALSE;
  *size = platform::gdi::MeasureText(FontOfState(context->state), View(text, length));
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  auto wide = Wide(text, std::max(length, 0));
  return GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), size);
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
  auto context = Dc(dc);
  if (!context || metrics == nullptr) return FALSE;
  const auto& font = FontOfState(context->state);
  auto m = platform::gdi::MeasureFont(font);
  *metrics = TEXTMETRICW{};
  metrics->tmHeight = m.height;
  metrics->tmAscent = m.ascent;
  metrics->tmDescent = m.descent;
  metrics->tmAveCharWidth = m.averageWidth;
  metrics->tmMaxCharWidth = m.maxWidth;
  metrics->tmWeight = font.logFont.lfWeight ? font.logFont.lfWeight : FW_NORMAL;
  metrics->tmItalic = font.logFont.lfItalic;
  metrics->tmUnderlined = font.logFont.lfUnderline;
  metrics->tmStruckOut = font.logFont.lfStrikeOut;
  metrics->tmFirstChar = 0x20;
  metrics->tmLastChar = 0xFFFC;
  metrics->tmDefaultChar = u'?';
  metrics->tmBreakChar = u' ';
  metrics->tmDigitizedAspectX = metrics->tmDigitizedAspectY = 96;
  return TRUE;
}

int DrawTextW(HDC dc, const char16_t* text, int length, RECT* rect, UINT format) {
  auto context = Dc(dc);
  if (!context || rect == nullptr || text == nullptr) return 0;
  const auto& state = context->state;
  const auto& font = FontOfState(state);
  auto lines = LayOut(font, View(text, length), *rect, format);
  int lineHeight = platform::gdi::MeasureFont(font).height;
  if ((format & DT_EDITCONTROL) && !(format & (DT_SINGLELINE | DT_CALCRECT))) {
    // As an edit control: no partly visible last line; with an ellipsis flag the last
    // line shown ends in "..." when lines were left out.
    std::size_t fit = std::max<std::size_t>(1, static_cast<std::size_t>((rect->bottom - rect->top) / lineHeight));
    if (lines.size() > fit) {
      lines.resize(fit);
      if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) {
        Line& last = lines.back();
        last.text = CutWithDots(font, last.text, rect->right - rect->left);
        if (last.underlined >= static_cast<int>(last.text.size()) - 3) last.underlined = -1;
      }
    }
  }
  int height = lineHeight * static_cast<int>(lines.size());
  int widest = 0;
  for (const auto& line : lines) widest = std::max(widest, Width(font, line.text));
  if (format & DT_CALCRECT) {
    // Wrapped or not, the rectangle narrows or widens to the widest line.
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  int top = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) top = rect->top + (rect->bottom - rect->top - height) / 2;
    if (format & DT_BOTTOM) top = rect->bottom - height;
  }
  DcState drawState = state;
  if (!(format & DT_NOCLIP)) {
    drawState.clip.Intersect(Device(state, *rect));
  }
  for (const auto& line : lines) {
    int width = Width(font, line.text);
    int left = rect->left;
    if (format & DT_CENTER) left = rect->left + (rect->right - rect->left - width) / 2;
    if (format & DT_RIGHT) left = rect->right - width;
    if (state.bkMode == OPAQUE) FillWith(drawState, RECT{left, top, left + width, top + lineHeight}, state.bkColor);
    Canvas canvas(drawState);
    platform::gdi::DrawTextRun(canvas.get(), font, state.textColor, left, top, line.text, line.underlined);
    top += lineHeight;
  }
  return height;
}

int DrawTextA(HDC dc, const char* text, int length, RECT* rect, UINT format) {
  if (text == nullptr) return 0;
  auto wide = Wide(text, length);
  return DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), rect, format);
}

// --- blits -------------------------------------------------------------------------

namespace {

// A ternary raster operation on one byte each of pattern, source and destination:
// bit i of the operation's index byte is the result where the pattern, source and
// destination bits spell i (pattern the high bit, destination the low one).
BYTE Ternary(BYTE index, BYTE p, BYTE s, BYTE d) {
  unsigned out = 0;
  for (unsigned i = 0; i < 8; ++i) {
    if (((index >> i) & 1) == 0) continue;
    out |= static_cast<unsigned>((i & 4 ? p : ~p) & (i & 2 ? s : ~s) & (i & 1 ? d : ~d));
  }
  return static_cast<BYTE>(out);
}

BYTE RopIndex(DWORD rop) { return static_cast<BYTE>(rop >> 16); }
bool UsesSource(DWORD rop) { return ((RopIndex(rop) >> 2) & 0x33) != (RopIndex(rop) & 0x33); }

bool IsWhite(const BYTE* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }
void Put(BYTE* p, COLORREF c) {
  p[0] = GetBValue(c);
  p[1] = GetGValue(c);
  p[2] = GetRValue(c);
  p[3] = 255;
}
COLORREF ColorAt(const BYTE* p) { return RGB(p[2], p[1], p[0]); }

// The source box of one destination column or row: [first, last) in source pixels.
struct Span {
  int first;
  int last;
};

// Maps destination steps onto the source, mirrored when the two extents differ in sign.
class Axis {
 public:
  Axis(int dest, int destExtent, int source, int sourceExtent)
      : destStart_(destExtent < 0 ? dest + destExtent + 1 : dest),
        count_(std::abs(destExtent)),
        sourceStart_(sourceExtent < 0 ? source + sourceExtent + 1 : source),
        sourceCount_(std::abs(sourceExtent)),
        mirrored_((destExtent < 0) != (sourceExtent < 0)) {}
  int DestStart() const { return destStart_; }
  int Count() const { return count_; }
  int SourceStart() const { return sourceStart_; }
  // One source pixel per destination pixel, in the same order.
  bool Plain() const { return count_ == sourceCount_ && !mirrored_; }
  Span SpanOf(int step) const {
    int k = mirrored_ ? count_ - 1 - step : step;
    int first = static_cast<int>(static_cast<long long>(k) * sourceCount_ / count_);
    int last = static_cast<int>(static_cast<long long>(k + 1) * sourceCount_ / count_);
    return Span{sourceStart_ + first, sourceStart_ + std::max(last, first + 1)};
  }
  int Centre(int step) const {
    int k = mirrored_ ? count_ - 1 - step : step;
    return sourceStart_ + static_cast<int>((2LL * k + 1) * sourceCount_ / (2LL * count_));
  }
  // Centre of every step, worked out by steps of the same fraction instead of a
  // division each.
  std::vector<int> Centres() const {
    std::vector<int> centres(static_cast<std::size_t>(count_));
    const long long divisor = 2LL * count_, step = 2LL * sourceCount_;
    long long quotient = sourceCount_ / divisor, remainder = sourceCount_ % divisor;
    for (int k = 0; k < count_; ++k) {
      centres[static_cast<std::size_t>(mirrored_ ? count_ - 1 - k : k)] = sourceStart_ + static_cast<int>(quotient);
      quotient += step / divisor;
      remainder += step % divisor;
      if (remainder >= divisor) {
        remainder -= divisor;
        ++quotient;
      }
    }
    return centres;
  }

 private:
  int destStart_, count_, sourceStart_, sourceCount_;
  bool mirrored_;
};

struct BlitSource {
  const DcState* state;
  const Pixels* pixels;
};

// One source pixel for a destination pixel, reduced from its box by the stretch
// mode; false when the box lies outside the source bitmap.
bool SamplePixel(const BlitSource& source, const Axis& columns, const Axis& rows, int column, int row, int mode,
                 BYTE out[4]) {
  const DcState& state = *source.state;
  auto at = [&](int x, int y) -> const BYTE* {
    int px = x + state.origin.x, py = y + state.origin.y;
    return source.pixels->Inside(px, py) ? source.pixels->At(px, py) : nullptr;
  };
  if (mode == COLORONCOLOR) {
    const BYTE* p = at(columns.Centre(column), rows.Centre(row));
    if (p == nullptr) return false;
    std::memcpy(out, p, 4);
    return true;
  }
  Span xs = columns.SpanOf(column), ys = rows.SpanOf(row);
  unsigned sum[4] = {0, 0, 0, 0};
  BYTE fold[4] = {0, 0, 0, 0};
  int count = 0;
  for (int y = ys.first; y < ys.last; ++y) {
    for (int x = xs.first; x < xs.last; ++x) {
      const BYTE* p = at(x, y);
      if (p == nullptr) continue;
      for (int c = 0; c < 4; ++c) {
        sum[c] += p[c];
        if (count == 0) {
          fold[c] = p[c];
        } else {
          fold[c] = mode == WHITEONBLACK ? static_cast<BYTE>(fold[c] | p[c]) : static_cast<BYTE>(fold[c] & p[c]);
        }
      }
      ++count;
    }
  }
  if (count == 0) return false;
  for (int c = 0; c < 4; ++c) {
    out[c] = mode == HALFTONE ? static_cast<BYTE>((sum[c] + count / 2) / count) : fold[c];
  }
  return true;
}

// Brings a source pixel to the destination's kind: a monochrome source paints white
// in the destination's background colour and black in its text colour; a colour
// source on a monochrome destination is white where it has the source's background
// colour, black elsewhere.
void ConvertSource(const DcState& dest, const DcState& source, BYTE s[4]) {
  bool sourceMono = source.target->monochrome, destMono = dest.target->monochrome;
  if (sourceMono && !destMono) {
    Put(s, IsWhite(s) ? dest.bkColor : dest.textColor);
  } else if (!sourceMono && destMono) {
    Put(s, ColorAt(s) == (source.bkColor & 0xFFFFFF) ? RGB(255, 255, 255) : RGB(0, 0, 0));
  }
}

// Nearest of black and white, for what lands in a monochrome bitmap.
void ToMonochrome(BYTE p[4]) {
  Put(p, p[0] + p[1] + p[2] >= 3 * 128 ? RGB(255, 255, 255) : RGB(0, 0, 0));
}

// The common copy (same size, same kind of bitmap) as whole row pieces per clip rectangle.
void CopyRows(const DcState& dest, const Axis& columns, const Axis& rows, const DcState& source, const Pixels& to,
              const Pixels& from, const Region& clip) {
  int left = columns.DestStart() + dest.origin.x, top = rows.DestStart() + dest.origin.y;
  // Source pixel (device) = destination pixel (device) + shift.
  int shiftX = columns.SourceStart() + source.origin.x - left, shiftY = rows.SourceStart() + source.origin.y - top;
  RECT area{left, top, left + columns.Count(), top + rows.Count()};
  // Only where the source has pixels.
  area = RECT{std::max<LONG>(area.left, -shiftX), std::max<LONG>(area.top, -shiftY),
              std::min<LONG>(area.right, source.target->width() - shiftX),
              std::min<LONG>(area.bottom, source.target->height() - shiftY)};
  for (const RECT& r : clip.Rects()) {
    RECT part{std::max(r.left, area.left), std::max(r.top, area.top), std::min(r.right, area.right),
              std::min(r.bottom, area.bottom)};
    if (Empty(part)) continue;
    for (int y = part.top; y < part.bottom; ++y) {
      std::memcpy(to.At(part.left, y), from.At(part.left + shiftX, y + shiftY),
                  static_cast<std::size_t>(part.right - part.left) * 4);
    }
  }
}

// Pixels of one source row to a destination row piece, by their source columns (-1
// leaves the pixel as it was).
void StretchRowPiece(BYTE* dest, const BYTE* sourceRow, const int* sourceColumns, int count) {
  for (int i = 0; i < count; ++i) {
    if (sourceColumns[i] >= 0) std::memcpy(dest + 4 * i, sourceRow + 4 * sourceColumns[i], 4);
  }
}

// The nearest-pixel stretch (COLORONCOLOR) between bitmaps of the same kind, as row
// pieces per clip rectangle: each destination column's source column is worked out
// once, and pixels whose source lies outside the source bitmap stay as they were.
void StretchRows(const DcState& dest, const Axis& columns, const Axis& rows, const DcState& source,
                 const Pixels& to, const Pixels& from, const Region& clip) {
  const int left = columns.DestStart() + dest.origin.x, top = rows.DestStart() + dest.origin.y;
  std::vector<int> sourceColumns = columns.Centres();  // -1: outside the source
  for (int& x : sourceColumns) x = from.Inside(x + source.origin.x, 0) ? x + source.origin.x : -1;
  const std::vector<int> sourceRows = rows.Centres();
  const RECT area{left, top, left + columns.Count(), top + rows.Count()};
  for (const RECT& r : clip.Rects()) {
    const RECT part{std::max(r.left, area.left), std::max(r.top, area.top), std::min(r.right, area.right),
                    std::min(r.bottom, area.bottom)};
    if (Empty(part)) continue;
    for (int y = part.top; y < part.bottom; ++y) {
      const int sourceY = sourceRows[static_cast<std::size_t>(y - top)] + source.origin.y;
      if (!from.Inside(0, sourceY)) continue;
      StretchRowPiece(to.At(part.left, y), from.At(0, sourceY), sourceColumns.data() + (part.left - left),
                      part.right - part.left);
    }
  }
}

// Scales and combines pixel by pixel in device coordinates, within the clip.
void RasterBlit(const DcState& dest, const Axis& columns, const Axis& rows, const DcState* source, DWORD rop) {
  Pixels to(*dest.target);
  std::optional<Pixels> from;
  if (source) from.emplace(*source->target);
  Region clip = dest.clip;
  clip.Intersect(Bounds(*dest.target));
  if (source && rop == SRCCOPY && columns.Plain() && rows.Plain() &&
      source->target->monochrome == dest.target->monochrome) {
    CopyRows(dest, columns, rows, *source, to, *from, clip);
    return;
  }
  if (source && rop == SRCCOPY && dest.stretchMode == COLORONCOLOR &&
      source->target->monochrome == dest.target->monochrome) {
    StretchRows(dest, columns, rows, *source, to, *from, clip);
    return;
  }
  BYTE pattern[4] = {0, 0, 0, 255};
  if (dest.brushObject && !dest.brushObject->hollow) Put(pattern, dest.brushObject->color);
  if (dest.target->monochrome) ToMonochrome(pattern);
  const BYTE index = RopIndex(rop);
  for (int row = 0; row < rows.Count(); ++row) {
    for (int column = 0; column < columns.Count(); ++column) {
      int dx = columns.DestStart() + column + dest.origin.x, dy = rows.DestStart() + row + dest.origin.y;
      if (!clip.Contains(dx, dy)) continue;
      BYTE* d = to.At(dx, dy);
      BYTE s[4] = {0, 0, 0, 255};
      if (source) {
        if (!SamplePixel(BlitSource{source, &*from}, columns, rows, column, row, dest.stretchMode, s)) continue;
        ConvertSource(dest, *source, s);
      }
      if (rop == SRCCOPY) {
        // A plain copy keeps the source's alpha.
        std::memcpy(d, s, 4);
        continue;
      }
      if (dest.brushObject && dest.brushObject->pattern) {
        Put(pattern, PatternColorAt(dest, *dest.brushObject, dx, dy));
        if (dest.target->monochrome) ToMonochrome(pattern);
      }
      for (int channel = 0; channel < 3; ++channel) d[channel] = Ternary(index, pattern[channel], s[channel], d[channel]);
      d[3] = 255;
      if (dest.target->monochrome) ToMonochrome(d);
    }
  }
}

BOOL Blit(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
          int sourceHeight, DWORD rop) {
  auto to = Dc(dest);
  if (!to) return FALSE;
  std::shared_ptr<DeviceContext> from;
  if (UsesSource(rop)) {
    from = Dc(source);
    if (!from) return FALSE;
    if (sourceWidth == 0 || sourceHeight == 0) return TRUE;
  }
  if (width == 0 || height == 0) return TRUE;
  // The same bitmap on both sides is read through a snapshot.
  DcState sourceState;
  if (from) {
    sourceState = from->state;
    if (sourceState.target == to->state.target) sourceState.target = platform::gdi::CopyPicture(*sourceState.target);
  }
  Axis columns(x, width, sourceX, from ? sourceWidth : width);
  Axis rows(y, height, sourceY, from ? sourceHeight : height);
  RasterBlit(to->state, columns, rows, from ? &sourceState : nullptr, rop);
  return TRUE;
}

// Paints part of the source onto the destination, scaled, with cairo's OVER
// (premultiplied) or SOURCE operator.
void Compose(const DcState& dest, int x, int y, int width, int height, const DcState& source, int sx, int sy,
             int sw, int sh, cairo_operator_t op, double alpha, bool ignoreSourceAlpha) {
  if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0) return;
  cairo_surface_t* surface = source.target->Surface();
  cairo_surface_t* opaque = nullptr;
  if (ignoreSourceAlpha) {
    // The source's alpha bytes are not looked at: paint it as RGB.
    opaque = cairo_image_surface_create(CAIRO_FORMAT_RGB24, source.target->width(), source.target->height());
    cairo_t* cr = cairo_create(opaque);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    surface = opaque;
  }
  Canvas canvas(dest);
  cairo_t* cr = canvas.get();
  cairo_rectangle(cr, x, y, width, height);
  cairo_clip(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, static_cast<double>(width) / sw, static_cast<double>(height) / sh);
  cairo_translate(cr, -(sx + source.origin.x), -(sy + source.origin.y));
  if (source.target->bottomUp) {
    cairo_translate(cr, 0, source.target->height());
    cairo_scale(cr, 1, -1);
  }
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, op);
  cairo_paint_with_alpha(cr, alpha);
  if (opaque) cairo_surface_destroy(opaque);
}


}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
  return Blit(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
  return Blit(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (UsesSource(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Blit(dc, x, y, width, height, 0, 0, 0, 0, 0, rop);
}

int SetStretchBltMode(HDC dc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Exchange(dc, &DcState::stretchMode, mode, 0);
}

int GetStretchBltMode(HDC dc) { return Read(dc, &DcState::stretchMode, 0); }

BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, BLENDFUNCTION blend) {
  auto to = Dc(dest);
  auto from = Dc(source);
  if (!to || !from || blend.BlendOp != AC_SRC_OVER || width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Compose(to->state, x, y, width, height, from->state, sourceX, sourceY, sourceWidth, sourceHeight,
          CAIRO_OPERATOR_OVER, blend.SourceConstantAlpha / 255.0, !(blend.AlphaFormat & AC_SRC_ALPHA));
  return TRUE;
}

namespace {

std::mutex scrollObserverLock;
std::function<void(HDC, int, int, const RECT&)> scrollObserver;

RECT Cut(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return Empty(r) ? RECT{} : r;
}

RECT Shifted(const RECT& r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

}  // namespace

BOOL ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRegion, RECT* update) {
  auto context = Dc(dc);
  auto target = context ? platform::gdi::TargetOf(dc) : nullptr;
  if (!target) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const DcState& state = context->state;
  // Device pixels from here on: where pixels may change, and what moves.
  Region within = state.clip;
  within.Intersect(Bounds(*target));
  if (clip != nullptr) within.Intersect(Device(state, *clip));
  const RECT area = Cut(scroll != nullptr ? Device(state, *scroll) : state.base, Bounds(*target));
  const RECT from = Cut(area, within.Box());
  // The moved pixels are read before any is written, so overlapping moves are safe.
  const int width = from.right - from.left;
  std::vector<std::uint8_t> copy(static_cast<std::size_t>(std::max(width, 0)) * 4 *
                                 static_cast<std::size_t>(std::max<LONG>(from.bottom - from.top, 0)));
  for (int y = from.top; y < from.bottom; ++y) {
    std::memcpy(&copy[static_cast<std::size_t>(y - from.top) * width * 4], target->Row(y) + from.left * 4,
                static_cast<std::size_t>(width) * 4);
  }
  Region landed;
  for (const RECT& part : within.Rects()) {
    const RECT to = Cut(Shifted(from, dx, dy), part);
    if (Empty(to)) continue;
    landed.Unite(Region(to));
    for (int y = to.top; y < to.bottom; ++y) {
      const std::uint8_t* source = &copy[(static_cast<std::size_t>(y - dy - from.top) * width + (to.left - dx - from.left)) * 4];
      std::memcpy(target->Row(y) + to.left * 4, source, static_cast<std::size_t>(to.right - to.left) * 4);
    }
  }
  target->Surface();
  Region uncovered(area);
  uncovered.Intersect(within);
  uncovered.Subtract(landed);
  uncovered.Offset(-state.origin.x, -state.origin.y);
  if (updateRegion != 0) {
    if (auto region = platform::gdi::RegionOf(updateRegion)) *region = uncovered;
  }
  if (update != nullptr) *update = uncovered.Empty() ? RECT{} : uncovered.Box();
  std::function<void(HDC, int, int, const RECT&)> observer;
  {
    std::lock_guard<std::mutex> guard(scrollObserverLock);
    observer = scrollObserver;
  }
  if (observer) observer(dc, dx, dy, Shifted(area, -state.origin.x, -state.origin.y));
  return TRUE;
}

void platform::gdi::SetScrollDCObserver(std::function<void(HDC dc, int dx, int dy, const RECT& scroll)> observer) {
  std::lock_guard<std::mutex> guard(scrollObserverLock);
  scrollObserver = std::move(observer);
}
