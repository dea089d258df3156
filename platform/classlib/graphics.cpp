#include "platform/classlib/graphics.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/base/text.h"
#include "platform/classlib/streams.h"
#include "platform/gdi/load_image.h"

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color) & 0xFFFFFF;
}

// --- graphics objects ----------------------------------------------------------------

TGraphicsObject::~TGraphicsObject() { DropHandle(); }

void TGraphicsObject::DropHandle() {
  if (handle_ != 0) DeleteObject(handle_);
  handle_ = 0;
}

void TGraphicsObject::Changed() {
  DropHandle();
  if (OnChange) OnChange(this);
}

TFont::TFont() = default;

void TFont::Assign(const TPersistent* source) {
  if (auto* font = dynamic_cast<const TFont*>(source)) {
    name_ = font->name_;
    height_ = font->height_;
    style_ = font->style_;
    color_ = font->color_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

HFONT TFont::Handle() {
  if (handle_ == 0) {
    LOGFONTA logFont{};
    logFont.lfHeight = height_;
    logFont.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = (style_ & fsItalic) ? 1 : 0;
    logFont.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
    logFont.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
    logFont.lfCharSet = DEFAULT_CHARSET;
    std::copy_n(name_.begin(), std::min<std::size_t>(name_.size(), LF_FACESIZE - 1), logFont.lfFaceName);
    handle_ = CreateFontIndirectA(&logFont);
  }
  return handle_;
}

void TFont::SetName(const std::string& name) {
  if (name == name_) return;
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

// Sizes are points at 96 pixels per inch.
int TFont::Size() const { return -(height_ * 72 - (height_ < 0 ? 48 : -48)) / 96; }

void TFont::SetSize(int points) { SetHeight(-(points * 96 + 36) / 72); }

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  // The colour is not part of the handle; tell the users all the same.
  if (OnChange) OnChange(this);
}

void TBrush::Assign(const TPersistent* source) {
  if (auto* brush = dynamic_cast<const TBrush*>(source)) {
    color_ = brush->color_;
    style_ = brush->style_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

HBRUSH TBrush::Handle() {
  if (handle_ == 0) {
    handle_ = style_ == TBrushStyle::bsClear ? GetStockObject(NULL_BRUSH) : CreateSolidBrush(ColorToRGB(color_));
  }
  return handle_;
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ == TBrushStyle::bsSolid) return;
  color_ = color;
  style_ = TBrushStyle::bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TPen::Assign(const TPersistent* source) {
  if (auto* pen = dynamic_cast<const TPen*>(source)) {
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

HPEN TPen::Handle() {
  if (handle_ == 0) {
    int style = style_ == TPenStyle::psDash ? PS_DASH
                : style_ == TPenStyle::psDot ? PS_DOT
                : style_ == TPenStyle::psClear ? PS_NULL
                                              : PS_SOLID;
    handle_ = CreatePen(style, width_, ColorToRGB(color_));
  }
  return handle_;
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

// --- canvas --------------------------------------------------------------------------

TCanvas::TCanvas() {
  // A changed object is selected again at the next drawing call.
  font_.OnChange = [this](TObject*) { state_ &= ~csFontValid; };
  brush_.OnChange = [this](TObject*) { state_ &= ~csBrushValid; };
  pen_.OnChange = [this](TObject*) { state_ &= ~csPenValid; };
}

TCanvas::~TCanvas() { DeselectHandles(); }

HDC TCanvas::Handle() {
  RequiredState(csHandleValid);
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  DeselectHandles();
  dc_ = dc;
  state_ = dc ? csHandleValid : 0;
}

void TCanvas::DeselectHandles() {
  if (dc_ == 0) return;
  if (oldFont_) SelectObject(dc_, oldFont_);
  if (oldBrush_) SelectObject(dc_, oldBrush_);
  if (oldPen_) SelectObject(dc_, oldPen_);
  oldFont_ = oldBrush_ = oldPen_ = 0;
  state_ &= csHandleValid;
}

void TCanvas::SelectObjects(unsigned state) {
  if ((state & csFontValid) && !(state_ & csFontValid)) {
    HGDIOBJ old = SelectObject(dc_, font_.Handle());
    if (!oldFont_) oldFont_ = old;
    SetTextColor(dc_, ColorToRGB(font_.Color()));
    state_ |= csFontValid;
  }
  if ((state & csBrushValid) && !(state_ & csBrushValid)) {
    HGDIOBJ old = SelectObject(dc_, brush_.Handle());
    if (!oldBrush_) oldBrush_ = old;
    SetBkColor(dc_, ColorToRGB(brush_.Color()));
    SetBkMode(dc_, brush_.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
    state_ |= csBrushValid;
  }
  if ((state & csPenValid) && !(state_ & csPenValid)) {
    HGDIOBJ old = SelectObject(dc_, pen_.Handle());
    if (!oldPen_) oldPen_ = old;
    state_ |= csPenValid;
  }
}

void TCanvas::RequiredState(unsigned state) {
  if ((state & csHandleValid) && dc_ == 0) {
    CreateHandle();
    if (dc_ == 0) throw EInvalidOperation("Canvas does not allow drawing");
    state_ |= csHandleValid;
  }
  SelectObjects(state);
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::SetPenPos(POINT position) { MoveTo(position.x, position.y); }

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  auto wide = platform::AnsiToWide(text);
  if (orientation_ == TCanvasOrientation::coRightToLeft) x += TextWidth(text) + 1;
  ExtTextOutW(dc_, x, y, static_cast<UINT>(TextFlags), nullptr, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
  MoveToEx(dc_, x + TextWidth(text), y, nullptr);
  penPos_ = POINT{x + TextWidth(text), y};
  Changed();
}

void TCanvas::TextRect(const RECT& rect, int x, int y, const std::string& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  auto wide = platform::AnsiToWide(text);
  UINT options = ETO_CLIPPED | static_cast<UINT>(TextFlags);
  if (brush_.Style() != TBrushStyle::bsClear) options |= ETO_OPAQUE;
  ExtTextOutW(dc_, x, y, options, &rect, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
  Changed();
}

SIZE TCanvas::TextExtent(const std::string& text) {
  RequiredState(csHandleValid | csFontValid);
  SIZE size{};
  GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  return size;
}

void TCanvas::FillRect(const RECT& rect) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FillRect(dc_, &rect, brush_.Handle());
  Changed();
}

void TCanvas::FrameRect(const RECT& rect) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FrameRect(dc_, &rect, brush_.Handle());
  Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Rectangle(dc_, left, top, right, bottom);
  Changed();
}

void TCanvas::MoveTo(int x, int y) {
  RequiredState(csHandleValid);
  MoveToEx(dc_, x, y, nullptr);
  penPos_ = POINT{x, y};
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::LineTo(dc_, x, y);
  penPos_ = POINT{x, y};
  Changed();
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  Changing();
  RequiredState(csHandleValid);
  BitBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), bitmap.Canvas().Handle(), 0, 0, SRCCOPY);
  Changed();
}

TColor TCanvas::Pixel(int x, int y) {
  RequiredState(csHandleValid);
  return static_cast<TColor>(GetPixel(dc_, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  Changing();
  RequiredState(csHandleValid);
  ::SetPixel(dc_, x, y, ColorToRGB(color));
  Changed();
}

// --- bitmap --------------------------------------------------------------------------

// A canvas that draws on its bitmap through a memory DC of its own.
class TBitmap::BitmapCanvas : public TCanvas {
 public:
  explicit BitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
  ~BitmapCanvas() override { Release(); }
  // The DC lets go of the bitmap before the bitmap changes its pixels' handle.
  void Release() {
    if (!HandleAllocated()) return;
    HDC dc = Handle();
    DeselectHandles();
    SetHandle(0);
    DeleteDC(dc);
  }

 protected:
  void CreateHandle() override {
    HDC dc = CreateCompatibleDC(0);
    SelectObject(dc, bitmap_.Handle());
    SetHandle(dc);
  }

 private:
  TBitmap& bitmap_;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (handle_) DeleteObject(handle_);
}

void TBitmap::Resize(int width, int height) {
  if (canvas_) canvas_->Release();
  HBITMAP old = handle_;
  std::uint8_t* oldBits = bits_;
  int oldWidth = width_, oldHeight = height_;
  handle_ = 0;
  bits_ = nullptr;
  if (width > 0 && height > 0) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    handle_ = CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0);
    if (handle_ == 0) throw EOutOfResources("Out of system resources");
    bits_ = static_cast<std::uint8_t*>(bits);
    // The part that both sizes share keeps its pixels.
    for (int row = 0; row < std::min(height, oldHeight) && oldBits; ++row) {
      std::memcpy(bits_ + row * width * 4, oldBits + row * oldWidth * 4, std::min(width, oldWidth) * 4);
    }
  }
  if (old) DeleteObject(old);
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
}

void TBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  Resize(width, height);
  Changed();
}

void TBitmap::Changed() {
  if (OnChange) OnChange(this);
}

void TBitmap::Assign(const TPersistent* source) {
  if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    Resize(bitmap->width_, bitmap->height_);
    if (bits_) std::memcpy(bits_, bitmap->bits_, static_cast<std::size_t>(width_) * height_ * 4);
    format_ = bitmap->format_;
    Changed();
    return;
  }
  if (source == nullptr) {
    Resize(0, 0);
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

std::uint8_t* TBitmap::ScanLine(int row) {
  if (row < 0 || row >= height_) throw EInvalidGraphic("Scan line index out of range");
  return bits_ + static_cast<std::size_t>(row) * width_ * 4;
}

HBITMAP TBitmap::Handle() { return handle_; }

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<BitmapCanvas>(*this);
  return *canvas_;
}

namespace {

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

[[noreturn]] void Invalid() { throw EInvalidGraphic("Bitmap image is not valid"); }

}  // namespace

void TBitmap::LoadFromStream(TStream& stream) {
  std::int64_t available = stream.Size() - stream.Position();
  if (available <= 0) Invalid();
  std::vector<std::uint8_t> data(static_cast<std::size_t>(available));
  stream.ReadBuffer(data.data(), static_cast<std::int32_t>(data.size()));
  // Decoded whole first: a damaged file leaves the bitmap as it was.
  platform::gdi::BmpPicture picture;
  if (!platform::gdi::ReadBmp(data.data(), data.size(), picture)) Invalid();
  Resize(picture.width, picture.height);
  std::memcpy(bits_, picture.pixels.data(), picture.pixels.size());
  int bits = picture.bitsPerPixel;
  format_ = bits == 32 ? TPixelFormat::pf32bit
            : bits == 24 ? TPixelFormat::pf24bit
            : bits == 8 ? TPixelFormat::pf8bit
            : bits == 4 ? TPixelFormat::pf4bit
                        : TPixelFormat::pf1bit;
  Changed();
}

void TBitmap::SaveToStream(TStream& stream) {
  constexpr std::uint32_t kHeaders = 14 + 40;
  std::uint32_t imageSize = static_cast<std::uint32_t>(width_) * height_ * 4;
  std::vector<std::uint8_t> file(kHeaders + imageSize, 0);
  file[0] = 'B';
  file[1] = 'M';
  Put32(&file[2], static_cast<std::uint32_t>(file.size()));
  Put32(&file[10], kHeaders);
  Put32(&file[14], 40);
  Put32(&file[18], static_cast<std::uint32_t>(width_));
  Put32(&file[22], static_cast<std::uint32_t>(-height_));  // top-down
  file[26] = 1;
  file[28] = 32;
  Put32(&file[34], imageSize);
  if (imageSize) std::memcpy(&file[kHeaders], bits_, imageSize);
  stream.WriteBuffer(file.data(), static_cast<std::int32_t>(file.size()));
}
