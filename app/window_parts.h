// The parts the program's dialog windows are built from at run time: wide labels,
// edits, combo boxes and buttons placed on a parent, owned by the form, named so that
// the form's translation finds them.
#pragma once

#include <string>

#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_ext_ctrls.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/image_control.h"

// Colours in the class library's blue-green-red order.
inline constexpr TColor kRequiredMarkColor = 0x0000FF;
inline constexpr TColor kGreyTextColor = 0x808080;
inline constexpr TColor kLinkColor = 0xFF0000;

// A dialog that belongs to the window its opener names for its one creation (the
// application's window when 0) and stays on top of other windows.
class TOwnedDialog : public TForm {
 public:
  TOwnedDialog(TComponent* owner, HWND ownerWindow) : TForm(owner), ownerWindow_(ownerWindow) {}
  std::string ClassName() const override { return "TOwnedDialog"; }

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  HWND ownerWindow_;
};

// A control of type T owned by Form on Parent, with a name (empty: none) and bounds.
template <typename T>
T* PlaceControl(TCustomForm& form, TWinControl& parent, const std::string& name, int left, int top, int width,
                int height) {
  auto* control = new T(&form);
  if (!name.empty()) control->SetName(name);
  control->SetParent(&parent);
  control->SetBounds(left, top, width, height);
  return control;
}

// A label sized to its text.
TUniLabel* PlaceLabel(TCustomForm& form, TWinControl& parent, const std::string& name, const std::u16string& caption,
                      int left, int top);
TUniLabel* PlaceBoldLabel(TCustomForm& form, TWinControl& parent, const std::string& name,
                          const std::u16string& caption, int left, int top);
// A label of the given width whose text wraps onto further lines.
TUniLabel* PlaceWrappedLabel(TCustomForm& form, TWinControl& parent, const std::string& name,
                             const std::u16string& caption, int left, int top, int width, int height);
// The red "*" that marks a required field.
TUniLabel* PlaceRequiredMark(TCustomForm& form, TWinControl& parent, const std::string& name, int left, int top);
// A blue underlined label with the hand cursor that runs Click when clicked.
TUniLabel* PlaceLink(TCustomForm& form, TWinControl& parent, const std::string& name, const std::u16string& caption,
                     int left, int top, TNotifyEvent click);
// A push button of the usual size that ends a modal form with Result (mrNone: none).
TUniButton* PlaceButton(TCustomForm& form, TWinControl& parent, const std::string& name,
                        const std::u16string& caption, int left, int top, TModalResult result);
// An edit of height 21; a password character other than 0 masks it.
TUniEdit* PlaceEdit(TCustomForm& form, TWinControl& parent, const std::string& name, int left, int top, int width,
                    char16_t passwordChar = 0);
// When the form shows, the focus goes to Control, or to the first tab stop when null.
void FocusOnShow(TCustomForm& form, TWinControl* control = nullptr);
// Shows the bitmap resource Name in the image, sized to it; nothing when it is missing.
void LoadResourcePicture(TImage& image, const char* name);
// A panel without bevels along the form's bottom.
TUniPanel* PlaceBottomPanel(TCustomForm& form, const std::string& name, int height);
