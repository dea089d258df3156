#include "platform/gdi/gdi_objects.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/base/errors.h"
#include "platform/base/text.h"

namespace {

struct Entry {
  std::shared_ptr<void> object;
  DWORD kind;
  bool stock;
};

struct Table {
  std::mutex lock;
  std::unordered_map<HGDIOBJ, Entry> entries;
  HGDIOBJ next = 0x00040010;
};

Table& Objects() {
  static Table table;
  return table;
}

using Lock = std::lock_guard<std::mutex>;

// The fixed palette of system colours (a classic light scheme).
constexpr std::array<COLORREF, 31> kSystemColors = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128),
    RGB(212, 208, 200), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240),
    RGB(192, 192, 192), RGB(49, 106, 197),  RGB(212, 208, 200)};

HGDIOBJ AddLocked(std::shared_ptr<void> object, DWORD kind, bool stock) {
  auto& table = Objects();
  while (table.next == 0 || table.entries.count(table.next) != 0) table.next += 4;
  HGDIOBJ handle = table.next;
  table.next += 4;
  table.entries.emplace(handle, Entry{std::move(object), kind, stock});
  return handle;
}

HGDIOBJ AddStock(std::shared_ptr<void> object, DWORD kind) {
  Lock guard(Objects().lock);
  return AddLocked(std::move(object), kind, true);
}

std::shared_ptr<platform::gdi::Brush> SolidBrush(COLORREF color) {
  auto brush = std::make_shared<platform::gdi::Brush>();
  brush->color = color & 0xFFFFFF;
  return brush;
}

std::shared_ptr<platform::gdi::Pen> MakePen(int style, int width, COLORREF color) {
  auto pen = std::make_shared<platform::gdi::Pen>();
  pen->style = style;
  pen->width = std::max(width, 1);
  pen->color = color & 0xFFFFFF;
  return pen;
}

std::shared_ptr<platform::gdi::Font> MakeFont(const char16_t* face, LONG height) {
  auto font = std::make_shared<platform::gdi::Font>();
  font->logFont.lfHeight = height;
  font->logFont.lfWeight = FW_NORMAL;
  std::u16string_view name(face);
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), LF_FACESIZE - 1), font->logFont.lfFaceName);
  return font;
}

struct Stock {
  std::array<HGDIOBJ, 18> objects{};
  std::array<HBRUSH, kSystemColors.size()> colorBrushes{};
};

const Stock& StockObjects() {
  static const Stock stock = [] {
    Stock s;
    s.objects[WHITE_BRUSH] = AddStock(SolidBrush(RGB(255, 255, 255)), platform::gdi::OBJ_BRUSH);
    s.objects[LTGRAY_BRUSH] = AddStock(SolidBrush(RGB(192, 192, 192)), platform::gdi::OBJ_BRUSH);
    s.objects[GRAY_BRUSH] = AddStock(SolidBrush(RGB(128, 128, 128)), platform::gdi::OBJ_BRUSH);
    s.objects[DKGRAY_BRUSH] = AddStock(SolidBrush(RGB(64, 64, 64)), platform::gdi::OBJ_BRUSH);
    s.objects[BLACK_BRUSH] = AddStock(SolidBrush(RGB(0, 0, 0)), platform::gdi::OBJ_BRUSH);
    auto hollow = std::make_shared<platform::gdi::Brush>();
    hollow->hollow = true;
    s.objects[NULL_BRUSH] = AddStock(hollow, platform::gdi::OBJ_BRUSH);
    s.objects[WHITE_PEN] = AddStock(MakePen(PS_SOLID, 1, RGB(255, 255, 255)), platform::gdi::OBJ_PEN);
    s.objects[BLACK_PEN] = AddStock(MakePen(PS_SOLID, 1, RGB(0, 0, 0)), platform::gdi::OBJ_PEN);
    s.objects[NULL_PEN] = AddStock(MakePen(PS_NULL, 1, 0), platform::gdi::OBJ_PEN);
    s.objects[SYSTEM_FONT] = AddStock(MakeFont(u"DejaVu Sans", -13), platform::gdi::OBJ_FONT);
    s.objects[DEFAULT_GUI_FONT] = AddStock(MakeFont(u"DejaVu Sans", -11), platform::gdi::OBJ_FONT);
    for (std::size_t i = 0; i < kSystemColors.size(); ++i) {
      s.colorBrushes[i] = AddStock(SolidBrush(kSystemColors[i]), platform::gdi::OBJ_BRUSH);
    }
    return s;
  }();
  return stock;
}

template <typename T>
std::shared_ptr<T> Typed(HGDIOBJ handle, DWORD kind) {
  return std::static_pointer_cast<T>(platform::gdi::HandleTarget(handle, kind));
}

}  // namespace

// --- platform::gdi -----------------------------------------------------------------

platform::gdi::Bitmap::~Bitmap() {
  if (surface) cairo_surface_destroy(surface);
}

cairo_surface_t* platform::gdi::Bitmap::Surface() const {
  cairo_surface_mark_dirty(surface);
  return surface;
}

std::uint8_t* platform::gdi::Bitmap::Row(int y) const {
  cairo_surface_flush(surface);
  int row = bottomUp ? height() - 1 - y : y;
  return cairo_image_surface_get_data(surface) + static_cast<std::ptrdiff_t>(row) * cairo_image_surface_get_stride(surface);
}

int platform::gdi::Bitmap::width() const { return cairo_image_surface_get_width(surface); }
int platform::gdi::Bitmap::height() const { return cairo_image_surface_get_height(surface); }

std::u16string platform::gdi::Font::face() const { return logFont.lfFaceName; }

bool platform::gdi::Font::builtInFixed() const { return face() == u"Pellix Test Fixed"; }

int platform::gdi::Font::PixelHeight() const {
  constexpr int kDefault = 13;
  if (logFont.lfHeight == 0) return kDefault;
  // A cell height includes the internal leading, taken as an eighth.
  return logFont.lfHeight < 0 ? -logFont.lfHeight : std::max(1, logFont.lfHeight * 7 / 8);
}

HGDIOBJ platform::gdi::NewHandle(std::shared_ptr<void> object, DWORD kind) {
  Lock guard(Objects().lock);
  return AddLocked(std::move(object), kind, false);
}

std::shared_ptr<void> platform::gdi::HandleTarget(HGDIOBJ handle, DWORD kind) {
  StockObjects();
  Lock guard(Objects().lock);
  auto found = Objects().entries.find(handle);
  if (found == Objects().entries.end() || (kind != 0 && found->second.kind != kind)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found->second.object;
}

void platform::gdi::ReleaseHandle(HGDIOBJ handle) {
  Lock guard(Objects().lock);
  Objects().entries.erase(handle);
}

std::shared_ptr<platform::gdi::Bitmap> platform::gdi::BitmapOf(HGDIOBJ handle) {
  return Typed<Bitmap>(handle, OBJ_BITMAP);
}
std::shared_ptr<platform::gdi::Font> platform::gdi::FontOf(HGDIOBJ handle) {
  return Typed<Font>(handle, OBJ_FONT);
}
std::shared_ptr<platform::gdi::Pen> platform::gdi::PenOf(HGDIOBJ handle) {
  return Typed<Pen>(handle, OBJ_PEN);
}
std::shared_ptr<platform::gdi::Brush> platform::gdi::BrushOf(HGDIOBJ handle) {
  return Typed<Brush>(handle, OBJ_BRUSH);
}

std::shared_ptr<platform::gdi::Bitmap> platform::gdi::NewBitmap(int width, int height) {
  auto bitmap = std::make_shared<Bitmap>();
  bitmap->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 1), std::max(height, 1));
  if (cairo_surface_status(bitmap->surface) != CAIRO_STATUS_SUCCESS) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return bitmap;
}

HBITMAP platform::gdi::AddBitmap(std::shared_ptr<Bitmap> bitmap) {
  return bitmap ? NewHandle(std::move(bitmap), OBJ_BITMAP) : 0;
}

// --- calls -------------------------------------------------------------------------

DWORD GetSysColor(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kSystemColors.size()) return 0;
  return kSystemColors[index];
}

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kSystemColors.size()) return 0;
  return StockObjects().colorBrushes[index];
}

HGDIOBJ GetStockObject(int which) {
  if (which < 0 || static_cast<std::size_t>(which) >= StockObjects().objects.size()) return 0;
  return StockObjects().objects[which];
}

HPEN CreatePen(int style, int width, COLORREF color) {
  return platform::gdi::NewHandle(MakePen(style, width, color), platform::gdi::OBJ_PEN);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  return platform::gdi::NewHandle(SolidBrush(color), platform::gdi::OBJ_BRUSH);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (brush == nullptr) return 0;
  if (brush->lbStyle == BS_NULL) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  if (brush->lbStyle != BS_SOLID) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  return CreateSolidBrush(brush->lbColor);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto source = platform::gdi::BitmapOf(bitmap);
  if (!source) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  auto copy = platform::gdi::NewBitmap(source->width(), source->height());
  if (!copy) return 0;
  for (int y = 0; y < source->height(); ++y) {
    std::memcpy(copy->Row(y), source->Row(y), static_cast<std::size_t>(source->width()) * 4);
  }
  cairo_surface_mark_dirty(copy->surface);
  copy->monochrome = source->monochrome;
  auto brush = std::make_shared<platform::gdi::Brush>();
  brush->pattern = std::move(copy);
  return platform::gdi::NewHandle(brush, platform::gdi::OBJ_BRUSH);
}

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
  if (logFont == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto font = std::make_shared<platform::gdi::Font>();
  font->logFont = *logFont;
  font->logFont.lfFaceName[LF_FACESIZE - 1] = 0;
  return platform::gdi::NewHandle(font, platform::gdi::OBJ_FONT);
}

HFONT CreateFontIndirectA(const LOGFONTA* logFont) {
  if (logFont == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LOGFONTW wide{};
  std::memcpy(&wide, logFont, offsetof(LOGFONTA, lfFaceName));
  std::string face(logFont->lfFaceName, strnlen(logFont->lfFaceName, LF_FACESIZE));
  auto converted = platform::AnsiToWide(face);
  std::copy_n(converted.begin(), std::min<std::size_t>(converted.size(), LF_FACESIZE - 1), wide.lfFaceName);
  return CreateFontIndirectW(&wide);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS || section != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto& header = info->bmiHeader;
  if (header.biBitCount != 32 || header.biCompression != BI_RGB) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  if (header.biWidth <= 0 || header.biHeight == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto bitmap = platform::gdi::NewBitmap(header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight);
  if (!bitmap) return 0;
  bitmap->bottomUp = header.biHeight > 0;
  if (bits) {
    cairo_surface_flush(bitmap->surface);
    *bits = cairo_image_surface_get_data(bitmap->surface);
  }
  return platform::gdi::AddBitmap(bitmap);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width <= 0 || height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return platform::gdi::AddBitmap(platform::gdi::NewBitmap(width, height));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (planes != 1 || (bitsPerPixel != 32 && bitsPerPixel != 1)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  HBITMAP handle = CreateCompatibleBitmap(0, width, height);
  auto bitmap = platform::gdi::BitmapOf(handle);
  if (!bitmap) return 0;
  bitmap->monochrome = bitsPerPixel == 1;
  cairo_surface_flush(bitmap->surface);
  auto* data = cairo_image_surface_get_data(bitmap->surface);
  int stride = cairo_image_surface_get_stride(bitmap->surface);
  const auto* source = static_cast<const BYTE*>(bits);
  std::size_t monoStride = (static_cast<std::size_t>(width) + 15) / 16 * 2;
  for (int row = 0; row < height; ++row) {
    BYTE* out = data + row * stride;
    if (bitsPerPixel == 32) {
      if (source) std::memcpy(out, source + static_cast<std::size_t>(row) * width * 4, static_cast<std::size_t>(width) * 4);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      bool set = source && (source[row * monoStride + x / 8] >> (7 - x % 8) & 1);
      std::memset(out + x * 4, set ? 255 : 0, 3);
      out[x * 4 + 3] = 255;
    }
  }
  cairo_surface_mark_dirty(bitmap->surface);
  return handle;
}

BOOL DeleteObject(HGDIOBJ object) {
  Lock guard(Objects().lock);
  auto found = Objects().entries.find(object);
  if (found == Objects().entries.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Stock objects stay; deleting one answers success as the platform does.
  if (!found->second.stock) Objects().entries.erase(found);
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ object) {
  StockObjects();
  Lock guard(Objects().lock);
  auto found = Objects().entries.find(object);
  return found == Objects().entries.end() ? 0 : found->second.kind;
}

namespace {

template <typename LogFont>
int GetObjectImpl(HGDIOBJ object, int size, void* buffer) {
  DWORD kind = GetObjectType(object);
  if (kind == platform::gdi::OBJ_BITMAP) {
    if (buffer == nullptr) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    auto bitmap = platform::gdi::BitmapOf(object);
    BITMAP out{0, bitmap->width(), bitmap->height(), cairo_image_surface_get_stride(bitmap->surface), 1,
               static_cast<WORD>(bitmap->monochrome ? 1 : 32),
               cairo_image_surface_get_data(bitmap->surface)};
    std::memcpy(buffer, &out, sizeof(out));
    return sizeof(BITMAP);
  }
  if (kind == platform::gdi::OBJ_FONT) {
    if (buffer == nullptr) return sizeof(LogFont);
    if (size < static_cast<int>(sizeof(LogFont))) return 0;
    auto font = platform::gdi::FontOf(object);
    LogFont out{};
    std::memcpy(&out, &font->logFont, offsetof(LogFont, lfFaceName));
    if constexpr (std::is_same_v<LogFont, LOGFONTA>) {
      auto face = platform::WideToAnsi(font->face());
      std::copy_n(face.begin(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1), out.lfFaceName);
    } else {
      std::copy_n(font->logFont.lfFaceName, LF_FACESIZE, out.lfFaceName);
    }
    std::memcpy(buffer, &out, sizeof(out));
    return sizeof(LogFont);
  }
  if (kind == platform::gdi::OBJ_PEN) {
    if (buffer == nullptr) return sizeof(LOGPEN);
    if (size < static_cast<int>(sizeof(LOGPEN))) return 0;
    auto pen = platform::gdi::PenOf(object);
    LOGPEN out{static_cast<UINT>(pen->style), POINT{pen->width, 0}, pen->color};
    std::memcpy(buffer, &out, sizeof(out));
    return sizeof(LOGPEN);
  }
  if (kind == platform::gdi::OBJ_BRUSH) {
    if (buffer == nullptr) return sizeof(LOGBRUSH);
    if (size < static_cast<int>(sizeof(LOGBRUSH))) return 0;
    auto brush = platform::gdi::BrushOf(object);
    LOGBRUSH out{brush->hollow ? BS_NULL : BS_SOLID, brush->color, 0};
    std::memcpy(buffer, &out, sizeof(out));
    return sizeof(LOGBRUSH);
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

}  // namespace

int GetObjectW(HGDIOBJ object, int size, void* buffer) { return GetObjectImpl<LOGFONTW>(object, size, buffer); }
int GetObjectA(HGDIOBJ object, int size, void* buffer) { return GetObjectImpl<LOGFONTA>(object, size, buffer); }
