// The glyph button: an owner-drawn push button with a bitmap glyph beside its wide
// caption, the standard kinds (OK, Cancel, Help, ...) with their glyphs and modal
// results, two drop-down kinds that open a popup menu, arrow keys that move the focus
// to neighbouring controls, and a look style that draws it 3D, flat or ultra-flat with
// hover and focus highlighting and optional vertical gradients. Glyph images live in
// image lists shared by every button through one glyph cache. Themes are never active
// here (kThemesEnabled), so only the classic paint exists.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/controls.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/icons.h"
#include "platform/classlib/menu_items.h"

inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);

// Colour operations of the button. Channels are worked in floating point and rounded
// to the nearest integer, ties to even, then limited to 0..255; system colours are
// resolved first, so the answers are plain RGB colours.
TColor DarkenColor(TColor color, int percent);
// A channel of exactly 0 becomes 127, so that black lightens at all.
TColor LightenColor(TColor color, int percent);
// Fills the rectangle line by line (column by column when not vertical) from the first
// colour to the last; the canvas's pen comes back as it was.
void DrawGradient(TCanvas& canvas, const RECT& rect, TColor firstColor, bool vertical, TColor lastColor);
enum THIGBtnKind : int {
  bkCustom,
  bkOK,
  bkCancel,
  bkHelp,
  bkYes,
  bkNo,
  bkClose,
  bkAbort,
  bkRetry,
  bkIgnore,
  bkAll,
  bkDropDown,
  bkDropDownButton
};
enum TButtonLayout : int { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState : int { bsUp, bsDisabled, bsDown, bsExclusive };
enum THIGStyle : int { hls3D, hlsFlat, hlsUltraFlat };

// The button's private messages.
inline constexpr UINT HIGM_SHOWMENU = WM_USER + 110;
inline constexpr UINT HIGM_MENUCLOSED = WM_USER + 111;
inline constexpr UINT HIGM_STYLECHANGED = WM_USER + 112;
inline constexpr UINT HIGM_BUTTONCOLORCHANGED = WM_USER + 113;

// The standard glyph of a kind, loaded from the program's bitmap resource the first
// time it is asked for and kept until the program ends; null for the custom and
// drop-down kinds. Raises EResNotFound when the program lacks the resource.
TBitmap* KindGlyph(THIGBtnKind kind);
// The resource name of a kind's glyph ("HIGBBOK" ...), empty when it has none.
std::string KindGlyphName(THIGBtnKind kind);

// An image list of one image size whose slots are handed out and given back; a freed
// slot is reused before the list grows.
class TGlyphList : public TImageList {
 public:
  TGlyphList(int width, int height);
  ~TGlyphList() override;
  std::string ClassName() const override { return "TGlyphList"; }
  // Puts the image, with its pixels of the mask colour see-through, in the first free
  // slot and answers its index.
  int AllocateIndex(TBitmap& image, TColor maskColor);
  // Frees the slot (the picture stays until the slot is used again).
  void Delete(int index);
  // The slots in use.
  int UsedCount() const { return used_count_; }

 private:
  std::vector<bool> used_;
  int used_count_ = 0;
};

// The program's glyph lists. Ownership: the cache owns its lists.
class TGlyphCache {
 public:
  ~TGlyphCache();
  // The last-added list of the size, else a new one.
  TGlyphList* GetList(int width, int height);
  // Frees the list once it holds no image.
  void ReturnList(TGlyphList* list);
  bool Empty() const { return lists_.empty(); }
  int ListCount() const { return static_cast<int>(lists_.size()); }

 private:
  std::vector<TGlyphList*> lists_;
};

// The one cache while any button glyph exists (null otherwise).
TGlyphCache* GlyphCache();

// A button's glyph: the source bitmap, cut into NumGlyphs images (up, disabled, down,
// exclusive), and the images built from it in a shared glyph list. Ownership: owns the
// bitmap; its slots in the list are given back when the glyph changes or goes.
class TButtonGlyph {
 public:
  TButtonGlyph();
  ~TButtonGlyph();
  TButtonGlyph(const TButtonGlyph&) = delete;
  TButtonGlyph& operator=(const TButtonGlyph&) = delete;

  TBitmap& Glyph() { return *original_; }
  // Copies the bitmap (null empties the glyph).
  void SetGlyph(const TBitmap* value);
  int NumGlyphs() const { return num_glyphs_; }
  // Limited to 1..4.
  void SetNumGlyphs(int value);
  TColor TransparentColor = clOlive;
  // The background of the images; the paint sets the button's colour.
  TColor Color = clBtnFace;
  TNotifyEvent OnChange;

  // The size of one image (0 x 0 without a glyph).
  SIZE GlyphSize() const;
  // The list index of a state's image, built on first use; the disabled image is
  // made again on every request from the light and dark colours. -1 without a glyph.
  int CreateButtonGlyph(TButtonState state, TColor lightColor, TColor darkColor);
  // Draws a state's image with its top-left corner at `point`: over the background
  // colour, or only its own pixels when transparent (always for bsExclusive).
  void DrawButtonGlyph(TCanvas& canvas, POINT point, TButtonState state, bool transparent, TColor lightColor,
                       TColor darkColor);
  // Gives the images' slots back; they are made again when next drawn.
  void Invalidate();

 private:
  std::unique_ptr<TBitmap> original_;
  TGlyphList* list_ = nullptr;
  int indexes_[4] = {-1, -1, -1, -1};
  int num_glyphs_ = 1;
};

class THIGButton;

// The look of a glyph button. clDefault (or clNone) in a colour means that the paint
// takes a colour derived from the others.
class THIGCustomLookStyle : public TPersistent {
 public:
  explicit THIGCustomLookStyle(THIGButton* owner);
  std::string ClassName() const override { return "THIGCustomLookStyle"; }
  void Assign(const TPersistent* source) override;
  THIGButton* Owner() const { return owner_; }

  TColor HighlightColor = clDefault;
  TColor HighlightTextColor = clDefault;
  TColor DownColor = clDefault;
  TColor DownTextColor = clDefault;
  bool HighlightTrack = true;
  bool HighlightOnFocused = true;

  TColor ButtonColor() const { return button_color_; }
  void SetButtonColor(TColor value);
  TColor BorderColor() const { return border_color_; }
  void SetBorderColor(TColor value);
  THIGStyle Style() const { return style_; }
  void SetStyle(THIGStyle value);
  bool Gradient() const { return gradient_; }
  void SetGradient(bool value);
  bool AlwaysShowBorder() const { return always_show_border_; }
  void SetAlwaysShowBorder(bool value);
  TColor GradStartColor() const { return grad_start_color_; }
  void SetGradStartColor(TColor value);
  TColor GradStartHighlightColor() const { return grad_start_highlight_color_; }
  void SetGradStartHighlightColor(TColor value);
  TColor GradStartDownColor() const { return grad_start_down_color_; }
  void SetGradStartDownColor(TColor value);

  // Derived from ButtonColor and BorderColor whenever those change.
  TColor ButtonLightColor() const { return button_light_color_; }
  TColor ButtonDarkColor() const { return button_dark_color_; }
  TColor BorderLightColor() const { return border_light_color_; }

 private:
  // A changed value is stored and the owner told with the message.
  template <typename T>
  void Store(T& field, T value, UINT message);
  THIGButton* owner_;
  TColor button_color_ = clBtnFace;
  TColor border_color_ = clWindowFrame;
  THIGStyle style_ = hlsUltraFlat;
  TColor button_light_color_;
  TColor button_dark_color_;
  TColor border_light_color_;
  bool gradient_ = false;
  bool always_show_border_ = false;
  TColor grad_start_color_ = clDefault;
  TColor grad_start_highlight_color_ = clDefault;
  TColor grad_start_down_color_ = clDefault;
};

class THIGLookStyle : public THIGCustomLookStyle {
 public:
  using THIGCustomLookStyle::THIGCustomLookStyle;
  std::string ClassName() const override { return "THIGLookStyle"; }
};

// The glyph button. Ownership: owns its canvas, glyph and look style; the drop-down
// menu and the four neighbour controls belong to others and are forgotten when they
// go. The class library here has no push button of its own, so the button's window
// does the owner-drawn push button's part itself: the press with mouse capture, the
// click on a release inside, the space bar, and the owner-draw request on paint.
class THIGButton : public TWinControl {
 public:
  explicit THIGButton(TComponent* owner);
  ~THIGButton() override;
  std::string ClassName() const override { return "THIGButton"; }

  // The caption is wide text end to end: kept, measured and drawn wide.
  std::u16string Caption();
  void SetCaption(const std::u16string& value);
  THIGBtnKind Kind();
  void SetKind(THIGBtnKind value);
  TBitmap& Glyph() { return glyph_->Glyph(); }
  // Marks the glyph as set by hand; a bitmap of 2 to 4 square images sets NumGlyphs.
  void SetGlyph(const TBitmap* value);
  int NumGlyphs() const { return glyph_->NumGlyphs(); }
  void SetNumGlyphs(int value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  int Margin() const { return margin_; }
  // Never below -1 (centred).
  void SetMargin(int value);
  THIGLookStyle& LookStyle() { return *look_style_; }
  void SetLookStyle(const THIGCustomLookStyle& value) { look_style_->Assign(&value); }
  TButtonGlyph& ButtonGlyph() { return *glyph_; }

  // The push button's part.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  int ModalResult = 0;
  // Shows the button as the active default button or not.
  void SetButtonStyle(bool activeDefault);
  bool Active() const { return active_; }

  bool EnterAsTab = false;
  TPopupMenu* DropDownMenu() const { return drop_down_menu_; }
  void SetDropDownMenu(TPopupMenu* menu);
  TWinControl* ControlOnLeft() const { return neighbours_[0]; }
  TWinControl* ControlOnTop() const { return neighbours_[1]; }
  TWinControl* ControlOnRight() const { return neighbours_[2]; }
  TWinControl* ControlOnBottom() const { return neighbours_[3]; }
  void SetControlOnLeft(TWinControl* value) { SetNeighbour(0, value); }
  void SetControlOnTop(TWinControl* value) { SetNeighbour(1, value); }
  void SetControlOnRight(TWinControl* value) { SetNeighbour(2, value); }
  void SetControlOnBottom(TWinControl* value) { SetNeighbour(3, value); }
  int ArrowWidth = 15;

  bool MouseInControl() const { return mouse_in_control_; }
  bool MenuDropped() const { return menu_dropped_; }
  bool ArrowPressed() const { return arrow_pressed_; }
  bool ModifiedGlyph() const { return modified_glyph_; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  std::function<void(TObject* sender, bool& allow)> OnBeforeDropDownMenu;

  void Click() override;
  void Dispatch(TMessage& message) override;

  // Where the glyph and the caption go in `client` for the current layout, spacing
  // and margin (the caption measured with the canvas's font).
  struct Placement {
    POINT glyph;
    RECT text;
  };
  Placement CalcLayout(TCanvas& canvas, const RECT& client, POINT offset);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateHandle() override;
  void Notification(TComponent* component, TOperation operation) override;
  // The class library's mouse-down step of the button.
  virtual void MouseDown(int x, int y);
  void KeyDown(WORD& key, TShiftState shift) override;

 private:
  struct Colors;
  Colors ResolveColors();
  void DrawItem(const DRAWITEMSTRUCT& draw);
  void PaintClassic(const Colors& c, RECT client, bool pressed, bool hasFocus);
  void DrawSunken(RECT& rect, const Colors& c);
  void DrawArrow(const RECT& client, const Colors& c, bool pressed, bool hot);
  void DrawCaptionAndGlyph(const RECT& client, POINT offset, TButtonState state, bool transparent,
                           TColor textColor);
  void RequestMenu();
  void ShowMenu();
  int EstimateMenuHeight();
  bool InDropDownPart(int x) const;
  void SetNeighbour(int side, TWinControl* value);
  bool HandleKey(WORD& key);
  void OwnerDraw();
  void SetPushed(bool pushed);
  void Press(int x, int y);
  void Release(bool click);
  void GlyphChanged();

  std::unique_ptr<TCanvas> canvas_;
  std::unique_ptr<TButtonGlyph> glyph_;
  std::unique_ptr<THIGLookStyle> look_style_;
  THIGBtnKind kind_ = bkCustom;
  TButtonLayout layout_ = blGlyphLeft;
  int spacing_ = 4;
  int margin_ = -1;
  bool active_ = false;
  bool modified_glyph_ = false;
  bool mouse_in_control_ = false;
  bool default_ = false;
  bool cancel_ = false;
  TPopupMenu* drop_down_menu_ = nullptr;
  bool menu_dropped_ = false;
  bool suppress_click_ = false;
  bool arrow_pressed_ = false;
  TWinControl* neighbours_[4] = {nullptr, nullptr, nullptr, nullptr};
  // The push button's state: the mouse holds it (tracking) and it shows pressed.
  bool tracking_ = false;
  bool pushed_ = false;
  // Gone with the button: code that runs on after a menu's handlers looks at it first.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
