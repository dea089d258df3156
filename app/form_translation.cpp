#include "app/form_translation.h"

#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "support/translator.h"

namespace {

constexpr std::size_t kHintLine = 60;

// The translation of Text under Key; Text itself when there is none or it is empty.
// Without a translation the translator answers the 8-bit fallback, which would lose
// every character outside the code page: the wide text stays then.
std::u16string TranslateKeyed(const std::u16string& text, const std::string& key) {
  const std::string fallback = platform::WideToAnsi(text);
  const std::u16string translated = Translate(fallback, key);
  return translated.empty() || translated == platform::AnsiToWide(fallback) ? text : translated;
}

// The items as one text, lines ended by CR LF, translated as a whole.
void TranslateItems(TUniStrings& items, const std::string& key) {
  std::u16string text;
  for (int i = 0; i < items.GetCount(); ++i) text += items.Get(i) + u"\r\n";
  const std::u16string translated = TranslateKeyed(text, key);
  if (translated == text) return;
  items.Clear();
  std::size_t start = 0;
  while (start < translated.size()) {
    std::size_t end = translated.find(u'\n', start);
    if (end == std::u16string::npos) end = translated.size();
    std::u16string line = translated.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    items.Add(line);
    start = end + 1;
  }
}

void TranslateControl(TControl& control, const std::string& key) {
  if (auto* combo = dynamic_cast<TUniCustomComboBox*>(&control)) {
    const int selected = combo->ItemIndex();
    TranslateItems(combo->Items(), key + "_Items");
    combo->SetItemIndex(selected);
    combo->SetText(TranslateKeyed(combo->Text(), key + "_Text"));
    return;
  }
  if (auto* edit = dynamic_cast<TUniCustomEdit*>(&control)) {
    edit->SetText(TranslateKeyed(edit->Text(), key + "_Text"));
    return;
  }
  SetWideControlText(&control, TranslateKeyed(GetWideControlText(&control), key + "_Caption"));
  const std::u16string hint = GetWideControlHint(&control);
  if (!hint.empty()) SetWideControlHint(&control, WrapHint(TranslateKeyed(hint, key + "_Hint")));
}

}  // namespace

std::u16string WrapHint(const std::u16string& text) {
  std::u16string result;
  std::size_t lineLength = 0;
  for (char16_t c : text) {
    if (c == u'\n') continue;
    if (c == u'\r') c = u' ';
    if (c == u' ' && lineLength > kHintLine) {
      result += u'\r';
      lineLength = 0;
      continue;
    }
    result += c;
    ++lineLength;
  }
  return result;
}

void TranslateForm(TCustomForm& form) {
  const std::string formKey = form.Name() + ".";
  SetWideControlText(&form, TranslateKeyed(GetWideControlText(&form), formKey + form.Name() + "_Caption"));
  for (int i = 0; i < form.ComponentCount(); ++i) {
    TComponent* component = form.Components(i);
    if (component->Tag == kUntranslatedTag || component->Name().empty()) continue;
    const std::string key = formKey + component->Name();
    if (auto* control = dynamic_cast<TControl*>(component)) {
      TranslateControl(*control, key);
    } else if (auto* item = dynamic_cast<TUniMenuItem*>(component)) {
      item->SetCaption(TranslateKeyed(item->Caption(), key + "_Caption"));
    }
  }
}
