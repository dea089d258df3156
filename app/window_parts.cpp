#include "app/window_parts.h"

#include <memory>

#include "platform/kernel/resources.h"
#include "support/alpha_bitmaps.h"

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kEditHeight = 21;

}  // namespace

void TOwnedDialog::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  if (ownerWindow_ != 0) params.WndParent = ownerWindow_;
  params.ExStyle |= WS_EX_TOPMOST;
  ownerWindow_ = 0;
}

TUniLabel* PlaceLabel(TCustomForm& form, TWinControl& parent, const std::string& name, const std::u16string& caption,
                      int left, int top) {
  auto* label = PlaceControl<TUniLabel>(form, parent, name, left, top, 0, 0);
  label->SetAutoSize(true);
  label->SetCaption(caption);
  return label;
}

TUniLabel* PlaceBoldLabel(TCustomForm& form, TWinControl& parent, const std::string& name,
                          const std::u16string& caption, int left, int top) {
  auto* label = PlaceLabel(form, parent, name, caption, left, top);
  label->Font().SetStyle(fsBold);
  return label;
}

TUniLabel* PlaceWrappedLabel(TCustomForm& form, TWinControl& parent, const std::string& name,
                             const std::u16string& caption, int left, int top, int width, int height) {
  auto* label = PlaceControl<TUniLabel>(form, parent, name, left, top, width, height);
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetCaption(caption);
  return label;
}

TUniLabel* PlaceRequiredMark(TCustomForm& form, TWinControl& parent, const std::string& name, int left, int top) {
  auto* mark = PlaceLabel(form, parent, name, u"*", left, top);
  mark->Font().SetColor(kRequiredMarkColor);
  mark->Font().SetStyle(fsBold);
  return mark;
}

TUniLabel* PlaceLink(TCustomForm& form, TWinControl& parent, const std::string& name, const std::u16string& caption,
                     int left, int top, TNotifyEvent click) {
  auto* link = PlaceLabel(form, parent, name, caption, left, top);
  link->Font().SetColor(kLinkColor);
  link->Font().SetStyle(fsUnderline);
  link->Cursor = crHandPoint;
  link->OnClick = std::move(click);
  return link;
}

TUniButton* PlaceButton(TCustomForm& form, TWinControl& parent, const std::string& name,
                        const std::u16string& caption, int left, int top, TModalResult result) {
  auto* button = PlaceControl<TUniButton>(form, parent, name, left, top, kButtonWidth, kButtonHeight);
  button->SetCaption(caption);
  button->ModalResult = result;
  return button;
}

TUniEdit* PlaceEdit(TCustomForm& form, TWinControl& parent, const std::string& name, int left, int top, int width,
                    char16_t passwordChar) {
  auto* edit = PlaceControl<TUniEdit>(form, parent, name, left, top, width, kEditHeight);
  if (passwordChar != 0) edit->SetPasswordChar(passwordChar);
  return edit;
}

TUniPanel* PlaceBottomPanel(TCustomForm& form, const std::string& name, int height) {
  auto* panel = PlaceControl<TUniPanel>(form, form, name, 0, 0, form.Width(), height);
  panel->SetBevelOuter(bvNone);
  panel->SetAlign(alBottom);
  return panel;
}

void FocusOnShow(TCustomForm& form, TWinControl* control) {
  form.OnShow = [&form, control](TObject*) {
    if (control != nullptr && CanFocus(control)) {
      control->SetFocus();
    } else {
      form.SelectNext(nullptr, true, true);
    }
  };
}

void LoadResourcePicture(TImage& image, const char* name) {
  std::unique_ptr<TBitmap> bitmap(LoadResourceBitmap(HInstance, name, RT_BITMAP));
  if (!bitmap) return;
  image.Picture().Bitmap().Assign(bitmap.get());
  image.SetBounds(image.Left(), image.Top(), bitmap->Width(), bitmap->Height());
}
