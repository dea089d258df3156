// Translation of a window's texts by keys made of the window's and the component's
// names ("Form.Component" and a suffix), with the current text as the fallback.
#pragma once

#include <string>

class TCustomForm;

// Components with this Tag keep their texts.
inline constexpr long kUntranslatedTag = 666;

// Translates the form's caption and every owned component whose Tag is not 666:
// captions and hints of controls (hints wrapped), texts and items of wide edits and
// combo boxes (the selected item kept), captions of menu items. A text without
// translation stays as it is.
void TranslateForm(TCustomForm& form);

// Every CR becomes a blank, every LF is dropped, and on a line longer than 60
// characters the first blank after that turns into a CR.
std::u16string WrapHint(const std::u16string& text);
