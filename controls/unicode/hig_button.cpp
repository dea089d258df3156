#include "controls/unicode/hig_button.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "controls/unicode/uni_std_ctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/frames.h"
#include "platform/classlib/resource_stream.h"
#include "platform/classlib/std_ctrls.h"
#include "platform/gdi/image_lists.h"
#include "platform/gdi/system_metrics.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/keyboard.h"

namespace {

// --- colours ---------------------------------------------------------------------------

int Channel(double value) { return std::clamp(static_cast<int>(std::nearbyint(value)), 0, 255); }

TColor FromChannels(int r, int g, int b) { return static_cast<TColor>(RGB(BYTE(r), BYTE(g), BYTE(b))); }

bool Unset(TColor color) { return color == clDefault || color == clNone; }

TColor Or(TColor color, TColor fallback) { return Unset(color) ? fallback : color; }

// --- kinds -----------------------------------------------------------------------------

struct KindInfo {
  bool isDefault;
  bool cancel;
  int modalResult;
  const char16_t* caption;
  const char* glyph;
};

// Indexed by kind; the custom and drop-down kinds have no standard values.
constexpr std::array<KindInfo, 13> kKinds = {{
    {false, false, 0, u"", ""},
    {true, false, 1, u"OK", "HIGBBOK"},
    {false, true, 2, u"Cancel", "HIGBBCANCEL"},
    {false, false, 0, u"&Help", "HIGBBHELP"},
    {true, false, 6, u"&Yes", "HIGBBYES"},
    {false, true, 7, u"&No", "HIGBBNO"},
    {false, false, 0, u"&Close", "HIGBBCLOSE"},
    {false, false, 3, u"Abort", "HIGBBABORT"},
    {false, false, 4, u"&Retry", "HIGBBRETRY"},
    {false, false, 5, u"&Ignore", "HIGBBIGNORE"},
    {false, false, 8, u"&All", "HIGBBALL"},
    {false, false, 0, u"", ""},
    {false, false, 0, u"", ""},
}};

bool IsStandardKind(THIGBtnKind kind) { return kind >= bkOK && kind <= bkAll; }
bool IsDropDownKind(THIGBtnKind kind) { return kind == bkDropDown || kind == bkDropDownButton; }

// --- glyph cache -----------------------------------------------------------------------

std::unique_ptr<TGlyphCache>& CacheSlot() {
  static std::unique_ptr<TGlyphCache> cache;
  return cache;
}
int g_glyph_count = 0;

// A memory DC with a bitmap selected for the length of a scope.
class MemoryDC {
 public:
  explicit MemoryDC(HBITMAP bitmap) : dc_(CreateCompatibleDC(0)), old_(SelectObject(dc_, bitmap)) {}
  ~MemoryDC() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A monochrome mask of the image: white where its pixels are `color`.
HBITMAP MaskOf(TBitmap& image, COLORREF color) {
  HBITMAP mask = CreateBitmap(image.Width(), image.Height(), 1, 1, nullptr);
  MemoryDC source(image.Handle()), target(mask);
  SetBkColor(source.get(), color);
  BitBlt(target.get(), 0, 0, image.Width(), image.Height(), source.get(), 0, 0, SRCCOPY);
  return mask;
}

// Paints `color` through the mask at the offset, where the mask is white (or black
// when `whereBlack`), by the raster operation DSPDxax: destination kept elsewhere.
void PaintThroughMask(TBitmap& target, HBITMAP mask, int dx, int dy, COLORREF color, bool whereBlack) {
  MemoryDC source(mask), dest(target.Handle());
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ oldBrush = SelectObject(dest.get(), brush);
  // Mask bits map to the text colour (black bits) and the background colour (white
  // bits); all-ones takes the pattern, zero keeps the destination.
  SetTextColor(dest.get(), whereBlack ? RGB(255, 255, 255) : RGB(0, 0, 0));
  SetBkColor(dest.get(), whereBlack ? RGB(0, 0, 0) : RGB(255, 255, 255));
  BitBlt(dest.get(), dx, dy, target.Width(), target.Height(), source.get(), 0, 0, DSPDxax);
  SelectObject(dest.get(), oldBrush);
  DeleteObject(brush);
}

void ReplaceColor(TBitmap& image, COLORREF from, COLORREF to) {
  HBITMAP mask = MaskOf(image, from);
  PaintThroughMask(image, mask, 0, 0, to, false);
  DeleteObject(mask);
}

// Image `index` (of `width` pixels) of the source, as a bitmap of its own.
std::unique_ptr<TBitmap> CutImage(TBitmap& source, int index, int width, int height) {
  auto image = std::make_unique<TBitmap>();
  image->SetSize(width, height);
  MemoryDC from(source.Handle()), to(image->Handle());
  BitBlt(to.get(), 0, 0, width, height, from.get(), index * width, 0, SRCCOPY);
  return image;
}

// The disabled look of a glyph that has no disabled image: its shape (what is
// neither white nor transparent) embossed, light one pixel right and down and dark
// in place, over the button colour.
std::unique_ptr<TBitmap> EmbossedImage(TBitmap& up, COLORREF transparent, COLORREF button, COLORREF light,
                                       COLORREF dark) {
  ReplaceColor(up, transparent, RGB(255, 255, 255));
  HBITMAP shape = MaskOf(up, RGB(255, 255, 255));
  auto image = std::make_unique<TBitmap>();
  image->SetSize(up.Width(), up.Height());
  image->Canvas().Brush().SetColor(static_cast<TColor>(button));
  image->Canvas().FillRect(RECT{0, 0, up.Width(), up.Height()});
  PaintThroughMask(*image, shape, 1, 1, light, true);
  PaintThroughMask(*image, shape, 0, 0, dark, true);
  DeleteObject(shape);
  return image;
}

}  // namespace

// --- colour operations -------------------------------------------------------------------

TColor DarkenColor(TColor color, int percent) {
  COLORREF rgb = ColorToRGB(color);
  auto darken = [&](int c) { return Channel(c - c / 255.0 * percent); };
  return FromChannels(darken(GetRValue(rgb)), darken(GetGValue(rgb)), darken(GetBValue(rgb)));
}

TColor LightenColor(TColor color, int percent) {
  COLORREF rgb = ColorToRGB(color);
  auto lighten = [&](int c) { return c == 0 ? 127 : Channel(c + c / 255.0 * percent); };
  return FromChannels(lighten(GetRValue(rgb)), lighten(GetGValue(rgb)), lighten(GetBValue(rgb)));
}

void DrawGradient(TCanvas& canvas, const RECT& rect, TColor firstColor, bool vertical, TColor lastColor) {
  TPen& pen = canvas.Pen();
  TColor savedColor = pen.Color();
  TPenStyle savedStyle = pen.Style();
  int savedWidth = pen.Width();
  pen.SetStyle(TPenStyle::psSolid);
  pen.SetWidth(1);
  COLORREF first = ColorToRGB(firstColor), last = ColorToRGB(lastColor);
  int from = vertical ? rect.top : rect.left;
  int to = vertical ? rect.bottom : rect.right;
  int steps = std::max(to - from, 1) - 1;
  auto mix = [](int a, int b, double t) { return static_cast<int>(a + (b - a) * t); };
  for (int i = from; i < to; ++i) {
    double t = steps == 0 ? 0.0 : static_cast<double>(i - from) / steps;
    pen.SetColor(FromChannels(mix(GetRValue(first), GetRValue(last), t),
                              mix(GetGValue(first), GetGValue(last), t),
                              mix(GetBValue(first), GetBValue(last), t)));
    if (vertical) {
      canvas.MoveTo(rect.left, i);
      canvas.LineTo(rect.right, i);
    } else {
      canvas.MoveTo(i, rect.top);
      canvas.LineTo(i, rect.bottom);
    }
  }
  pen.SetColor(savedColor);
  pen.SetStyle(savedStyle);
  pen.SetWidth(savedWidth);
}

// --- kind glyphs -----------------------------------------------------------------------

std::string KindGlyphName(THIGBtnKind kind) {
  return kind >= bkCustom && kind <= bkDropDownButton ? kKinds[static_cast<std::size_t>(kind)].glyph : "";
}

TBitmap* KindGlyph(THIGBtnKind kind) {
  static std::array<std::unique_ptr<TBitmap>, 13> glyphs;
  std::string name = KindGlyphName(kind);
  if (name.empty()) return nullptr;
  auto& glyph = glyphs[static_cast<std::size_t>(kind)];
  if (!glyph) {
    TResourceStream stream(HInstance, name, RT_BITMAP);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadFromStream(stream);
    glyph = std::move(bitmap);
  }
  return glyph.get();
}

// --- TGlyphList ------------------------------------------------------------------------

TGlyphList::TGlyphList(int width, int height) : TImageList(nullptr, width, height) {}

TGlyphList::~TGlyphList() = default;

int TGlyphList::AllocateIndex(TBitmap& image, TColor maskColor) {
  auto free = std::find(used_.begin(), used_.end(), false);
  int index = static_cast<int>(free - used_.begin());
  if (free == used_.end()) used_.push_back(false);
  HBITMAP mask = MaskOf(image, ColorToRGB(maskColor));
  if (index < Count()) {
    ImageList_Replace(Handle(), index, image.Handle(), mask);
  } else {
    ImageList_Add(Handle(), image.Handle(), mask);
  }
  DeleteObject(mask);
  used_[static_cast<std::size_t>(index)] = true;
  ++used_count_;
  return index;
}

void TGlyphList::Delete(int index) {
  if (index < 0 || index >= static_cast<int>(used_.size()) || !used_[static_cast<std::size_t>(index)]) return;
  used_[static_cast<std::size_t>(index)] = false;
  --used_count_;
}

// --- TGlyphCache -----------------------------------------------------------------------

TGlyphCache::~TGlyphCache() {
  for (TGlyphList* list : lists_) delete list;
}

TGlyphList* TGlyphCache::GetList(int width, int height) {
  for (auto it = lists_.rbegin(); it != lists_.rend(); ++it) {
    if ((*it)->Width() == width && (*it)->Height() == height) return *it;
  }
  lists_.push_back(new TGlyphList(width, height));
  return lists_.back();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
  if (list == nullptr || list->UsedCount() != 0) return;
  lists_.erase(std::remove(lists_.begin(), lists_.end(), list), lists_.end());
  delete list;
}

TGlyphCache* GlyphCache() { return CacheSlot().get(); }

// --- TButtonGlyph ----------------------------------------------------------------------

TButtonGlyph::TButtonGlyph() : original_(std::make_unique<TBitmap>()) {
  if (g_glyph_count++ == 0 && !CacheSlot()) CacheSlot() = std::make_unique<TGlyphCache>();
  original_->OnChange = [this](TObject*) {
    Invalidate();
    if (OnChange) OnChange(nullptr);
  };
}

TButtonGlyph::~TButtonGlyph() {
  Invalidate();
  if (--g_glyph_count == 0 && CacheSlot()->Empty()) CacheSlot().reset();
}

void TButtonGlyph::SetGlyph(const TBitmap* value) {
  if (value == nullptr) {
    original_->SetSize(0, 0);
  } else {
    original_->Assign(value);
  }
  Invalidate();
  if (OnChange) OnChange(nullptr);
}

void TButtonGlyph::SetNumGlyphs(int value) {
  value = std::clamp(value, 1, 4);
  if (value == num_glyphs_) return;
  num_glyphs_ = value;
  Invalidate();
  if (OnChange) OnChange(nullptr);
}

SIZE TButtonGlyph::GlyphSize() const {
  if (original_->Empty()) return SIZE{0, 0};
  return SIZE{original_->Width() / num_glyphs_, original_->Height()};
}

void TButtonGlyph::Invalidate() {
  if (list_ == nullptr) return;
  for (int& index : indexes_) {
    if (index != -1) list_->Delete(index);
    index = -1;
  }
  // The cache may already be gone when the last glyph goes at program end.
  if (GlyphCache() != nullptr) GlyphCache()->ReturnList(list_);
  list_ = nullptr;
}

int TButtonGlyph::CreateButtonGlyph(TButtonState state, TColor lightColor, TColor darkColor) {
  SIZE size = GlyphSize();
  if (size.cx == 0 || size.cy == 0) return -1;
  if (state == bsDown && num_glyphs_ < 3) state = bsUp;
  int& index = indexes_[state];
  if (index != -1 && state != bsDisabled) return index;
  if (list_ == nullptr) list_ = GlyphCache()->GetList(size.cx, size.cy);
  if (index != -1) list_->Delete(index);
  int source = state < num_glyphs_ ? state : 0;
  COLORREF transparent = ColorToRGB(TransparentColor);
  COLORREF button = ColorToRGB(Color);
  std::unique_ptr<TBitmap> image = CutImage(*original_, source, size.cx, size.cy);
  if (state == bsDisabled) {
    COLORREF light = ColorToRGB(lightColor), dark = ColorToRGB(darkColor);
    if (source == 0) {
      image = EmbossedImage(*image, transparent, button, light, dark);
    } else {
      ReplaceColor(*image, RGB(255, 255, 255), light);
      ReplaceColor(*image, RGB(128, 128, 128), dark);
      ReplaceColor(*image, transparent, button);
    }
    // The disabled image sits on the button colour, which is then the see-through one.
    transparent = button;
  }
  index = list_->AllocateIndex(*image, static_cast<TColor>(transparent));
  return index;
}

void TButtonGlyph::DrawButtonGlyph(TCanvas& canvas, POINT point, TButtonState state, bool transparent,
                                   TColor lightColor, TColor darkColor) {
  int index = CreateButtonGlyph(state, lightColor, darkColor);
  if (index < 0) return;
  bool clear = transparent || state == bsExclusive;
  canvas.RequiredState(csHandleValid);
  ImageList_DrawEx(list_->Handle(), index, canvas.Handle(), point.x, point.y, 0, 0,
                   clear ? CLR_NONE : ColorToRGB(Color), CLR_NONE, clear ? ILD_TRANSPARENT : ILD_NORMAL);
}

// --- THIGCustomLookStyle ---------------------------------------------------------------

THIGCustomLookStyle::THIGCustomLookStyle(THIGButton* owner)
    : owner_(owner),
      button_light_color_(LightenColor(clBtnFace, 100)),
      button_dark_color_(DarkenColor(clBtnFace, 100)),
      border_light_color_(LightenColor(clWindowFrame, 100)) {}

template <typename T>
void THIGCustomLookStyle::Store(T& field, T value, UINT message) {
  if (field == value) return;
  field = value;
  if (owner_ != nullptr) owner_->Perform(message, 0, 0);
}

void THIGCustomLookStyle::SetButtonColor(TColor value) {
  button_light_color_ = LightenColor(value, 100);
  button_dark_color_ = DarkenColor(value, 100);
  Store(button_color_, value, HIGM_BUTTONCOLORCHANGED);
}

void THIGCustomLookStyle::SetBorderColor(TColor value) {
  border_light_color_ = LightenColor(value, 100);
  Store(border_color_, value, HIGM_STYLECHANGED);
}

void THIGCustomLookStyle::SetStyle(THIGStyle value) { Store(style_, value, HIGM_STYLECHANGED); }
void THIGCustomLookStyle::SetGradient(bool value) { Store(gradient_, value, HIGM_STYLECHANGED); }
void THIGCustomLookStyle::SetAlwaysShowBorder(bool value) {
  Store(always_show_border_, value, HIGM_STYLECHANGED);
}
void THIGCustomLookStyle::SetGradStartColor(TColor value) {
  Store(grad_start_color_, value, HIGM_STYLECHANGED);
}
void THIGCustomLookStyle::SetGradStartHighlightColor(TColor value) {
  Store(grad_start_highlight_color_, value, HIGM_STYLECHANGED);
}
void THIGCustomLookStyle::SetGradStartDownColor(TColor value) {
  Store(grad_start_down_color_, value, HIGM_STYLECHANGED);
}

void THIGCustomLookStyle::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const THIGCustomLookStyle*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  SetAlwaysShowBorder(other->always_show_border_);
  SetBorderColor(other->border_color_);
  SetButtonColor(other->button_color_);
  DownColor = other->DownColor;
  DownTextColor = other->DownTextColor;
  SetGradient(other->gradient_);
  SetGradStartColor(other->grad_start_color_);
  SetGradStartHighlightColor(other->grad_start_highlight_color_);
  SetGradStartDownColor(other->grad_start_down_color_);
  HighlightColor = other->HighlightColor;
  HighlightOnFocused = other->HighlightOnFocused;
  HighlightTextColor = other->HighlightTextColor;
  HighlightTrack = other->HighlightTrack;
  SetStyle(other->style_);
}

// --- THIGButton ------------------------------------------------------------------------

// The colours of one paint, resolved from the look style.
struct THIGButton::Colors {
  TColor button, border, highlight, highlightText, down, downText, light, shadow, font;
  TColor gradStart, gradStartDown, gradStartHighlight;
  TColor buttonLight, buttonDark, borderLight;
};

THIGButton::THIGButton(TComponent* owner)
    : TWinControl(owner),
      canvas_(std::make_unique<TCanvas>()),
      glyph_(std::make_unique<TButtonGlyph>()),
      look_style_(std::make_unique<THIGLookStyle>(this)) {
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

THIGButton::~THIGButton() { Destroying(); }

THIGBtnKind THIGButton::Kind() {
  if (IsStandardKind(kind_)) {
    const KindInfo& info = kKinds[static_cast<std::size_t>(kind_)];
    if (default_ != info.isDefault || cancel_ != info.cancel || ModalResult != info.modalResult ||
        modified_glyph_) {
      kind_ = bkCustom;
    }
  }
  return kind_;
}

void THIGButton::SetKind(THIGBtnKind value) {
  if (value == kind_) return;
  if (IsStandardKind(value)) {
    const KindInfo& info = kKinds[static_cast<std::size_t>(value)];
    SetDefault(info.isDefault);
    cancel_ = info.cancel;
    if (!(ComponentState() & csLoading) || Caption().empty()) SetCaption(info.caption);
    ModalResult = info.modalResult;
    glyph_->SetGlyph(KindGlyph(value));
    glyph_->SetNumGlyphs(2);
    modified_glyph_ = false;
  }
  kind_ = value;
  Invalidate();
}

void THIGButton::SetGlyph(const TBitmap* value) {
  glyph_->SetGlyph(value);
  if (value != nullptr && value->Height() > 0 && value->Width() % value->Height() == 0) {
    int count = value->Width() / value->Height();
    glyph_->SetNumGlyphs(count > 4 ? 1 : count);
  }
  modified_glyph_ = true;
  Invalidate();
}

void THIGButton::SetNumGlyphs(int value) {
  glyph_->SetNumGlyphs(std::min(value, 4));
  Invalidate();
}

void THIGButton::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void THIGButton::SetSpacing(int value) {
  if (value == spacing_) return;
  spacing_ = value;
  Invalidate();
}

void THIGButton::SetMargin(int value) {
  value = std::max(value, -1);
  if (value == margin_) return;
  margin_ = value;
  Invalidate();
}

void THIGButton::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  // A default button shows as active while no other button has the focus.
  if (!Focused()) SetButtonStyle(value);
}

void THIGButton::SetButtonStyle(bool activeDefault) {
  if (activeDefault == active_) return;
  active_ = activeDefault;
  Invalidate();
}

void THIGButton::SetDropDownMenu(TPopupMenu* menu) {
  if (menu == drop_down_menu_) return;
  if (drop_down_menu_ != nullptr) drop_down_menu_->RemoveFreeNotification(this);
  drop_down_menu_ = menu;
  if (menu != nullptr) menu->FreeNotification(this);
}

void THIGButton::SetNeighbour(int side, TWinControl* value) {
  if (value == this) return;
  neighbours_[side] = value;
  if (value != nullptr) value->FreeNotification(this);
}

void THIGButton::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == drop_down_menu_) drop_down_menu_ = nullptr;
  for (TWinControl*& neighbour : neighbours_) {
    if (neighbour == component) neighbour = nullptr;
  }
}

void THIGButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= BS_OWNERDRAW;
}

std::u16string THIGButton::Caption() { return GetWideControlText(this); }

void THIGButton::SetCaption(const std::u16string& value) {
  SetWideControlText(this, value);
  Invalidate();
}

// A Unicode window of its own class: the caption is held and drawn wide.
void THIGButton::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u""); }

void THIGButton::CreateHandle() {
  TWinControl::CreateHandle();
  glyph_->CreateButtonGlyph(Enabled() ? bsUp : bsDisabled, look_style_->ButtonLightColor(),
                            look_style_->ButtonDarkColor());
}

bool THIGButton::InDropDownPart(int x) const {
  return kind_ == bkDropDown || (kind_ == bkDropDownButton && x >= Width() - ArrowWidth);
}

void THIGButton::RequestMenu() {
  bool allow = true;
  if (OnBeforeDropDownMenu) OnBeforeDropDownMenu(this, allow);
  if (!allow) return;
  arrow_pressed_ = true;
  PostMessageA(Handle(), HIGM_SHOWMENU, 0, 0);
}

void THIGButton::MouseDown(int x, int) {
  if (!IsDropDownKind(kind_) || drop_down_menu_ == nullptr) return;
  if (menu_dropped_) {
    suppress_click_ = true;
    menu_dropped_ = false;
    Repaint();
  } else if (InDropDownPart(x)) {
    RequestMenu();
  }
}

void THIGButton::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (!IsDropDownKind(kind_) || drop_down_menu_ == nullptr) return;
  if (key != VK_UP && key != VK_DOWN) return;
  if (!(shift & (ssAlt | ssShift))) return;
  if (!menu_dropped_) RequestMenu();
  key = 0;
}

// The class library's CN_KEYDOWN step: true when the key was used.
bool THIGButton::HandleKey(WORD& key) {
  if (key == VK_RETURN && EnterAsTab) {
    key = VK_TAB;
    return false;
  }
  int side = key == VK_LEFT ? 0 : key == VK_UP ? 1 : key == VK_RIGHT ? 2 : key == VK_DOWN ? 3 : -1;
  if (side < 0 || neighbours_[side] == nullptr || !CanFocus(neighbours_[side])) return false;
  neighbours_[side]->SetFocus();
  return true;
}

void THIGButton::Click() {
  if (kind_ == bkDropDown && !menu_dropped_) {
    if (!suppress_click_) RequestMenu();
    suppress_click_ = false;
    return;
  }
  if (suppress_click_) {
    suppress_click_ = false;
    return;
  }
  TCustomForm* form = GetParentForm(this);
  if (kind_ == bkClose && form != nullptr) {
    form->Close();
    return;
  }
  // The push button's click (help kinds too: no control of this class library
  // carries a help context).
  if (form != nullptr && ModalResult != 0) form->ModalResult = ModalResult;
  TWinControl::Click();
}

int THIGButton::EstimateMenuHeight() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  int border = 2, itemHeight = GetSystemMetrics(SM_CYMENU);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    border = metrics.iBorderWidth;
    itemHeight = metrics.iMenuHeight;
  }
  int height = 2 * border;
  TMenuItem* items = drop_down_menu_->Items();
  HDC dc = GetDC(0);
  TCanvas canvas;
  canvas.SetHandle(dc);
  for (int i = 0; i < items->Count(); ++i) {
    TMenuItem* item = items->Items(i);
    if (drop_down_menu_->OwnerDraw() && item->Visible()) {
      int width = 0, measured = 0;
      item->MeasureItem(canvas, width, measured);
      height += measured;
    } else {
      height += itemHeight;
    }
  }
  canvas.SetHandle(0);
  ReleaseDC(0, dc);
  return height;
}

void THIGButton::ShowMenu() {
  if (!IsDropDownKind(kind_) || drop_down_menu_ == nullptr) {
    arrow_pressed_ = false;  // nothing opens, so nothing is left pressed
    return;
  }
  // The menu takes the mouse: the button's own press ends as a capture change would.
  Release(false);
  menu_dropped_ = true;
  Repaint();
  int menuHeight = EstimateMenuHeight();
  POINT corner{0, 0};
  ClientToScreen(Handle(), &corner);
  int x = corner.x;
  if (drop_down_menu_->Alignment == TPopupAlignment::paRight) x += Width();
  if (drop_down_menu_->Alignment == TPopupAlignment::paCenter) x += Width() / 2;
  int y = corner.y + Height();
  if (y + menuHeight > GetSystemMetrics(SM_CYSCREEN)) y = corner.y - menuHeight;
  drop_down_menu_->PopupComponent = this;
  // A picked item may free the button (its form closes); then nothing is left to do.
  std::weak_ptr<bool> alive = alive_;
  drop_down_menu_->Popup(std::max(x, 0), std::max(y, 0));
  if (alive.expired()) return;
  if (HandleAllocated()) PostMessageA(Handle(), HIGM_MENUCLOSED, 0, 0);
}

void THIGButton::SetPushed(bool pushed) {
  if (pushed == pushed_) return;
  pushed_ = pushed;
  Repaint();
}

void THIGButton::Press(int x, int y) {
  if (!Enabled()) return;
  if (!Focused() && CanFocus(this)) SetFocus();
  SetCapture(Handle());
  tracking_ = true;
  SetPushed(x >= 0 && y >= 0 && x < Width() && y < Height());
}

void THIGButton::Release(bool click) {
  bool wasPushed = pushed_;
  if (tracking_) {
    tracking_ = false;
    if (GetCapture() == Handle()) ReleaseCapture();
  }
  SetPushed(false);
  if (click && wasPushed) Click();
}

void THIGButton::Dispatch(TMessage& message) {
  auto x = static_cast<short>(LOWORD(message.LParam));
  auto y = static_cast<short>(HIWORD(message.LParam));
  switch (message.Msg) {
    case WM_PAINT:
      OwnerDraw();
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case CN_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam));
      message.Result = 1;
      return;
    case CN_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
      measure->itemWidth = static_cast<UINT>(Width());
      measure->itemHeight = static_cast<UINT>(Height());
      return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
      TWinControl::Dispatch(message);
      bool enter = message.Msg == CM_MOUSEENTER;
      if ((kThemesEnabled || look_style_->HighlightTrack) && !(ComponentState() & csDesigning)) {
        mouse_in_control_ = enter;
        Repaint();
      }
      TNotifyEvent& event = enter ? OnMouseEnter : OnMouseLeave;
      if (event) event(this);
      return;
    }
    case CM_ENABLEDCHANGED:
      TWinControl::Dispatch(message);
      if (!Enabled()) mouse_in_control_ = false;
      Invalidate();
      return;
    case CM_FONTCHANGED:
      TWinControl::Dispatch(message);
      Invalidate();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (drop_down_menu_ != nullptr && x >= Width() - ArrowWidth) arrow_pressed_ = true;
      Press(x, y);
      MouseDown(x, y);
      return;
    case WM_MOUSEMOVE:
      if (tracking_) SetPushed(x >= 0 && y >= 0 && x < Width() && y < Height());
      return;
    case WM_LBUTTONUP: {
      // A release on the drop-down part never clicks: that press opened the menu.
      bool onArrow = arrow_pressed_ && kind_ == bkDropDownButton;
      arrow_pressed_ = false;
      Release(tracking_ && !onArrow);
      return;
    }
    case WM_CAPTURECHANGED:
      if (tracking_ && static_cast<HWND>(message.LParam) != Handle()) Release(false);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      auto key = static_cast<WORD>(message.WParam);
      if (HandleKey(key)) return;
      KeyDown(key, KeyboardShiftState());
      if (key == VK_SPACE && message.Msg == WM_KEYDOWN && Enabled()) SetPushed(true);
      if (key == VK_RETURN && Enabled()) Click();
      if (key == VK_TAB) DoDialogKey(key, message.LParam);
      if (key == 0 || key == VK_SPACE || key == VK_RETURN || key == VK_TAB) return;
      message.WParam = key;
      DefaultHandler(message);
      return;
    }
    case WM_KEYUP:
      if (message.WParam == VK_SPACE && pushed_ && !tracking_) {
        SetPushed(false);
        Click();
      }
      return;
    case WM_SETFOCUS:
      TWinControl::Dispatch(message);
      SetButtonStyle(true);
      Invalidate();
      return;
    case WM_KILLFOCUS:
      TWinControl::Dispatch(message);
      if (!tracking_) SetPushed(false);
      SetButtonStyle(default_);
      Invalidate();
      return;
    case HIGM_SHOWMENU:
      ShowMenu();
      return;
    case HIGM_MENUCLOSED: {
      POINT cursor;
      GetCursorPos(&cursor);
      mouse_in_control_ = look_style_->HighlightTrack && WindowFromPoint(cursor) == Handle();
      menu_dropped_ = false;
      Repaint();
      arrow_pressed_ = false;
      return;
    }
    case HIGM_STYLECHANGED:
      Invalidate();
      return;
    case HIGM_BUTTONCOLORCHANGED:
      glyph_->Invalidate();
      Invalidate();
      return;
    default:
      TWinControl::Dispatch(message);
  }
}

// The owner-drawn push button's paint: the button's state goes out as an owner-draw
// request, which the class library brings back to the button.
void THIGButton::OwnerDraw() {
  HWND window = Handle();
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  UINT state = 0;
  if (pushed_) state |= ODS_SELECTED;
  if (Focused()) state |= ODS_FOCUS;
  if (!Enabled()) state |= ODS_DISABLED;
  RECT client;
  GetClientRect(window, &client);
  DRAWITEMSTRUCT draw{
      ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(window)), 0, ODA_DRAWENTIRE, state, window, dc, client, 0};
  SendMessageA(GetParent(window), WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
  EndPaint(window, &paint);
}

THIGButton::Colors THIGButton::ResolveColors() {
  const THIGLookStyle& s = *look_style_;
  Colors c{};
  c.font = Font().Color();
  c.buttonLight = s.ButtonLightColor();
  c.buttonDark = s.ButtonDarkColor();
  c.borderLight = s.BorderLightColor();
  c.button = Or(s.ButtonColor(), clBtnFace);
  c.border = Or(s.BorderColor(), clWindowFrame);
  if (s.HighlightTrack || s.HighlightOnFocused) {
    c.highlight = Or(s.HighlightColor, c.buttonLight);
    c.highlightText = Or(s.HighlightTextColor, c.font);
  } else {
    c.highlight = c.button;
    c.highlightText = c.font;
  }
  c.down = Or(s.DownColor, c.buttonDark);
  c.downText = Or(s.DownTextColor, c.buttonLight);
  bool face = c.button == clBtnFace;
  c.light = face ? clBtnHighlight : c.buttonLight;
  c.shadow = face ? clBtnShadow : c.buttonDark;
  auto start = [](TColor color, TColor from) {
    return Or(color, LightenColor(LightenColor(from, 100), 100));
  };
  c.gradStart = start(s.GradStartColor(), c.button);
  c.gradStartDown = start(s.GradStartDownColor(), c.down);
  c.gradStartHighlight = start(s.GradStartHighlightColor(), c.highlight);
  return c;
}

void THIGButton::DrawItem(const DRAWITEMSTRUCT& draw) {
  Colors c = ResolveColors();
  bool pressed =
      kind_ == bkDropDown ? menu_dropped_ : (draw.itemState & ODS_SELECTED) != 0 && !arrow_pressed_;
  bool hasFocus = (draw.itemState & ODS_FOCUS) != 0;
  canvas_->SetHandle(draw.hDC);
  canvas_->Font().Assign(&Font());
  glyph_->Color = c.button;
  PaintClassic(c, draw.rcItem, pressed, hasFocus);
  canvas_->SetHandle(0);
}

// A part drawn pressed: sunken in the flat style, else outlined in the light border
// colour, filled with the down colour and, with gradients, shaded down to the
// lighter start colour.
void THIGButton::DrawSunken(RECT& rect, const Colors& c) {
  TCanvas& canvas = *canvas_;
  bool flat = look_style_->Style() == hlsFlat;
  if (flat) {
    Frame3D(canvas, rect, c.shadow, c.light, 1);
    canvas.Pen().SetColor(c.down);
  } else {
    canvas.Pen().SetColor(c.borderLight);
  }
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(c.down);
  canvas.Rectangle(rect.left, rect.top, rect.right, rect.bottom);
  if (!flat) rect = RECT{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
  if (look_style_->Gradient()) DrawGradient(canvas, rect, c.down, true, c.gradStartDown);
}

void THIGButton::PaintClassic(const Colors& c, RECT client, bool pressed, bool hasFocus) {
  TCanvas& canvas = *canvas_;
  const THIGLookStyle& s = *look_style_;
  THIGStyle style = s.Style();
  bool ultraFlat = style == hlsUltraFlat;
  bool split = kind_ == bkDropDownButton;
  bool arrowClosed = split && !menu_dropped_;
  bool framed = active_ || hasFocus;
  RECT r = client, a{};
  if (split) {
    a = RECT{client.right - ArrowWidth, client.top, client.right, client.bottom};
    r.right = a.left + (style == hls3D ? 1 : 2) + (s.AlwaysShowBorder() && !ultraFlat ? 1 : 0);
  }
  auto shrink = [](RECT& rect) { rect = RECT{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1}; };
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetStyle(TPenStyle::psSolid);

  // 1. The outer border.
  if (framed || (s.AlwaysShowBorder() && !ultraFlat)) {
    canvas.Pen().SetColor(c.border);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Rectangle(client.left, client.top, client.right, client.bottom);
    shrink(r);
    if (split) shrink(a);
  }
  // 2. The open drop-down part.
  if (split && menu_dropped_) DrawSunken(a, c);
  // 3 to 5. The button pressed, or raised by style and filled.
  bool hot = false;
  if (pressed) {
    DrawSunken(r, c);
    if (arrowClosed) DrawSunken(a, c);
  } else {
    auto raise = [&](RECT& rect, bool arrowPart) {
      if (style == hls3D) {
        TColor lightFace = LightenColor(c.button, 25), deepShadow = DarkenColor(c.shadow, 100);
        if (arrowPart) {
          Frame3D(canvas, rect, lightFace, c.shadow, 1);
          Frame3D(canvas, rect, c.light, deepShadow, 1);
        } else {
          Frame3D(canvas, rect, c.light, deepShadow, 1);
          Frame3D(canvas, rect, lightFace, c.shadow, 1);
        }
      } else if (style == hlsFlat) {
        Frame3D(canvas, rect, c.light, c.shadow, 1);
      } else {
        RECT inner = rect;
        Frame3D(canvas, inner, c.border, c.border, 1);
        if (framed) rect = inner;
      }
    };
    raise(r, false);
    if (arrowClosed) raise(a, true);

    TColor brush = c.button, start = c.gradStart, pen = c.button;
    if (s.HighlightTrack || s.HighlightOnFocused) {
      hot = mouse_in_control_ || (active_ && s.HighlightOnFocused);
      if (hot) {
        brush = c.highlight;
        start = c.gradStartHighlight;
        pen = c.highlight;
      }
      if (ultraFlat && !framed) pen = c.border;
    } else if (ultraFlat && !(split && menu_dropped_)) {
      pen = c.border;
    }
    auto fill = [&](RECT rect) {
      canvas.Pen().SetColor(pen);
      canvas.Brush().SetStyle(TBrushStyle::bsSolid);
      canvas.Brush().SetColor(brush);
      canvas.Rectangle(rect.left, rect.top, rect.right, rect.bottom);
      if (s.Gradient() && Enabled()) {
        if (ultraFlat && !framed) shrink(rect);
        DrawGradient(canvas, rect, start, true, brush);
      }
    };
    if (arrowClosed) {
      fill(a);
      if (!active_ && style != hls3D && !(s.AlwaysShowBorder() && style == hlsFlat)) --r.right;
    }
    fill(r);
  }
  // 6 and 7. Glyph and caption.
  bool droppedSplit = split && menu_dropped_;
  TColor textColor = droppedSplit ? c.font : pressed ? c.downText : hot ? c.highlightText : c.font;
  POINT offset = pressed && !droppedSplit ? POINT{1, 1} : POINT{0, 0};
  RECT layout = client;
  if (split) layout.right -= ArrowWidth;
  TButtonState state = !Enabled() ? bsDisabled : pressed ? bsDown : bsUp;
  DrawCaptionAndGlyph(layout, offset, state, s.HighlightTrack || s.HighlightOnFocused || pressed, textColor);
  if (kind_ == bkDropDown || (split && !kThemesEnabled)) DrawArrow(client, c, pressed, hot);
  // 8. The focus rectangle.
  if (!menu_dropped_ && active_ && hasFocus) {
    int inset = style == hls3D ? 4 : 3;
    RECT focus{layout.left + inset, layout.top + inset, layout.right - inset, layout.bottom - inset};
    canvas.Pen().SetColor(c.border);
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(pressed ? c.down : hot ? c.highlight : c.button);
    canvas.RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::DrawFocusRect(canvas.Handle(), &focus);
  }
}

void THIGButton::DrawArrow(const RECT& client, const Colors& c, bool pressed, bool hot) {
  TCanvas& canvas = *canvas_;
  RECT a{client.right - ArrowWidth + 1, client.top + 1, client.right - 1, client.bottom - 1};
  if (pressed) a = RECT{a.left + 1, a.top + 1, a.right + 1, a.bottom + 1};
  bool down = pressed || menu_dropped_;
  TColor color = !Enabled() ? c.buttonDark : down ? c.downText : hot ? c.highlightText : c.font;
  canvas.Pen().SetColor(color);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  int w = (a.right - a.left) / 2, h = (a.bottom - a.top) / 2, q = w / 2;
  int y = a.bottom - (q + h) + 1;
  for (int left = a.left + q, right = a.right - q; left < right; ++left, --right, ++y) {
    canvas.MoveTo(left, y);
    canvas.LineTo(right, y);
  }
}

THIGButton::Placement THIGButton::CalcLayout(TCanvas& canvas, const RECT& client, POINT offset) {
  std::u16string caption = Caption();
  SIZE glyph = glyph_->GlyphSize();
  SIZE text{0, 0};
  int clientWidth = client.right - client.left, clientHeight = client.bottom - client.top;
  if (!caption.empty()) {
    RECT measure{0, 0, clientWidth, 0};
    canvas.RequiredState(csHandleValid | csFontValid);
    DrawTextW(canvas.Handle(), caption.c_str(), static_cast<int>(caption.size()), &measure, DT_CALCRECT);
    text = SIZE{measure.right - measure.left, measure.bottom - measure.top};
  }
  bool across = layout_ == blGlyphLeft || layout_ == blGlyphRight;
  POINT glyphPos{}, textPos{};
  if (across) {
    glyphPos.y = (clientHeight - glyph.cy + 1) / 2;
    textPos.y = (clientHeight - text.cy + 1) / 2;
  } else {
    glyphPos.x = (clientWidth - glyph.cx + 1) / 2;
    textPos.x = (clientWidth - text.cx + 1) / 2;
  }
  int extent = across ? clientWidth : clientHeight;
  int glyphExtent = across ? glyph.cx : glyph.cy;
  int textExtent = across ? text.cx : text.cy;
  int spacing = spacing_, margin = margin_;
  if (textExtent == 0 || glyphExtent == 0) spacing = 0;
  if (margin == -1 && spacing == -1) {
    margin = spacing = (extent - glyphExtent - textExtent) / 3;
  } else if (margin == -1) {
    margin = (extent - (glyphExtent + spacing + textExtent) + 1) / 2;
  } else if (spacing == -1) {
    spacing = (extent - margin - glyphExtent - textExtent) / 2;
  }
  int glyphAt = 0, textAt = 0;
  if (layout_ == blGlyphLeft || layout_ == blGlyphTop) {
    glyphAt = margin;
    textAt = glyphAt + glyphExtent + spacing;
  } else {
    glyphAt = extent - margin - glyphExtent;
    textAt = glyphAt - spacing - textExtent;
  }
  (across ? glyphPos.x : glyphPos.y) = glyphAt;
  (across ? textPos.x : textPos.y) = textAt;
  int dx = client.left + offset.x, dy = client.top + offset.y;
  Placement placement;
  placement.glyph = POINT{glyphPos.x + dx, glyphPos.y + dy};
  placement.text = RECT{textPos.x + dx, textPos.y + dy, textPos.x + dx + text.cx, textPos.y + dy + text.cy};
  return placement;
}

void THIGButton::DrawCaptionAndGlyph(const RECT& client, POINT offset, TButtonState state, bool transparent,
                                     TColor textColor) {
  TCanvas& canvas = *canvas_;
  Placement placement = CalcLayout(canvas, client, offset);
  glyph_->DrawButtonGlyph(canvas, placement.glyph, state, transparent, look_style_->ButtonLightColor(),
                          look_style_->ButtonDarkColor());
  std::u16string caption = Caption();
  if (caption.empty()) return;
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.RequiredState(csHandleValid | csFontValid | csBrushValid);
  HDC dc = canvas.Handle();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(state == bsDisabled ? look_style_->ButtonDarkColor() : textColor));
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &placement.text, DT_CENTER | DT_VCENTER);
}
