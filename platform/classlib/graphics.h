// The class library's drawing objects: colours with system colours, fonts, brushes
// and pens that make their drawing handles on demand, canvases over device contexts,
// and 32-bit bitmaps with row access and the BMP file format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/classlib/persistent.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"

// Colours: RGB in the low three bytes, or a system colour index with the high bit set.
using TColor = std::int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
inline constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
inline constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
inline constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
inline constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
inline constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
inline constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
inline constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
inline constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
inline constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
inline constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);
inline constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
inline constexpr TColor clMenu = SystemColor(COLOR_MENU);
inline constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);

// The RGB value of a colour, system colours resolved.
COLORREF ColorToRGB(TColor color);

// An operation that the object's state does not allow (no parent window, no
// drawing handle).
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

// The system had no handle to give.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// Raised for a picture that cannot be read.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

// A drawing object whose handle is made when first asked for and remade after a
// change; OnChange tells the canvas or control that uses it.
class TGraphicsObject : public TPersistent {
 public:
  ~TGraphicsObject() override;
  TNotifyEvent OnChange;

 protected:
  void Changed();
  void DropHandle();
  HGDIOBJ handle_ = 0;
};

class TFont : public TGraphicsObject {
 public:
  TFont();
  std::string ClassName() const override { return "TFont"; }
  void Assign(const TPersistent* source) override;
  HFONT Handle();
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Height() const { return height_; }
  void SetHeight(int height);
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
};

enum class TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
 public:
  std::string ClassName() const override { return "TBrush"; }
  void Assign(const TPersistent* source) override;
  HBRUSH Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
};

enum class TPenStyle { psSolid, psDash, psDot, psClear };

class TPen : public TGraphicsObject {
 public:
  std::string ClassName() const override { return "TPen"; }
  void Assign(const TPersistent* source) override;
  HPEN Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
};

enum class TCanvasOrientation { coLeftToRight, coRightToLeft };

// Canvas state flags for RequiredState.
inline constexpr unsigned csHandleValid = 0x01;
inline constexpr unsigned csFontValid = 0x02;
inline constexpr unsigned csPenValid = 0x04;
inline constexpr unsigned csBrushValid = 0x08;

class TBitmap;

// Drawing through a device context with the canvas's font, brush and pen. A plain
// canvas draws on a handle given to it; derived canvases make their own.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;
  std::string ClassName() const override { return "TCanvas"; }

  HDC Handle();
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != 0; }
  TFont& Font() { return font_; }
  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }
  int TextFlags = 0;
  TCanvasOrientation CanvasOrientation() const { return orientation_; }
  void SetCanvasOrientation(TCanvasOrientation orientation) { orientation_ = orientation; }
  POINT PenPos() const { return penPos_; }
  void SetPenPos(POINT position);

  // Makes the handle and the selected objects valid as asked.
  void RequiredState(unsigned state);
  void Changing();
  void Changed();
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  void TextOut(int x, int y, const std::string& text);
  void TextRect(const RECT& rect, int x, int y, const std::string& text);
  SIZE TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  void FillRect(const RECT& rect);
  void FrameRect(const RECT& rect);
  void Rectangle(int left, int top, int right, int bottom);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Draw(int x, int y, TBitmap& bitmap);
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

 protected:
  virtual void CreateHandle() {}
  // Takes the objects out of the DC before the DC goes.
  void DeselectHandles();

 private:
  void SelectObjects(unsigned state);
  HDC dc_ = 0;
  unsigned state_ = 0;
  TFont font_;
  TBrush brush_;
  TPen pen_;
  TCanvasOrientation orientation_ = TCanvasOrientation::coLeftToRight;
  POINT penPos_{};
  HGDIOBJ oldFont_ = 0, oldBrush_ = 0, oldPen_ = 0;
};

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// A 32-bit bitmap kept top-down in memory (ScanLine rows grow upwards in address
// by the stride); PixelFormat records the format the program asked for. Pixels read
// from files without alpha are opaque.
class TBitmap : public TPersistent {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  std::string ClassName() const override { return "TBitmap"; }
  void Assign(const TPersistent* source) override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  void SetSize(int width, int height);
  bool Empty() const { return width_ == 0 || height_ == 0; }
  TPixelFormat PixelFormat() const { return format_; }
  void SetPixelFormat(TPixelFormat format) { format_ = format; }
  // Row `row` of the pixels: blue, green, red, alpha per pixel.
  std::uint8_t* ScanLine(int row);
  HBITMAP Handle();
  TCanvas& Canvas();

  // A BMP file (1, 4, 8, 24 or 32 bits, uncompressed); EInvalidGraphic when damaged.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  TNotifyEvent OnChange;

 private:
  void Resize(int width, int height);
  void Changed();
  class BitmapCanvas;
  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = TPixelFormat::pfDevice;
  HBITMAP handle_ = 0;
  std::uint8_t* bits_ = nullptr;
  std::unique_ptr<BitmapCanvas> canvas_;
};
