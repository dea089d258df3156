// Building a window's controls in code: each control is owned by the form (so the
// form translation finds it by name), placed in its parent at the given bounds (left,
// top, width, height) and given its wide caption.
#pragma once

#include <string>
#include <utility>

#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "platform/base/types.h"
#include "platform/classlib/forms.h"

template <typename T>
T* Place(TCustomForm& form, TWinControl& parent, const char* name, const std::u16string& caption, RECT bounds) {
  auto* control = new T(&form);
  control->SetName(name);
  control->SetParent(&parent);
  control->SetBounds(bounds.left, bounds.top, bounds.right, bounds.bottom);
  SetWideControlText(control, caption);
  return control;
}

inline TUniLabel* BoldLabel(TCustomForm& form, TWinControl& parent, const char* name, const std::u16string& caption,
                            RECT bounds) {
  auto* label = Place<TUniLabel>(form, parent, name, caption, bounds);
  label->Font().SetStyle(fsBold);
  return label;
}

// A popup menu of the form, and an entry at the end of it ("-" is a separator).
inline TUniPopupMenu* PopupMenu(TCustomForm& form, const char* name) {
  auto* menu = new TUniPopupMenu(&form);
  menu->SetName(name);
  return menu;
}

inline TUniMenuItem* MenuEntry(TCustomForm& form, TPopupMenu& menu, const char* name, const std::u16string& caption,
                               TNotifyEvent click) {
  auto* item = new TUniMenuItem(&form);
  item->SetName(name);
  item->SetCaption(caption);
  item->OnClick = std::move(click);
  menu.Items()->Add(item);
  return item;
}

inline TUniButton* Button(TCustomForm& form, TWinControl& parent, const char* name, const std::u16string& caption,
                          RECT bounds, TModalResult result) {
  auto* button = Place<TUniButton>(form, parent, name, caption, bounds);
  button->ModalResult = result;
  return button;
}
