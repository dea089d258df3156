#include "formfill/form_filling.h"

#include <algorithm>

#include "controls/unicode/uni_classes.h"
#include "controls/unicode/uni_sysutils.h"
#include "data/address_helpers.h"
#include "data/identities.h"
#include "formfill/browser_access.h"
#include "formfill/prepared_values.h"

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr char16_t kKeyMark[] = u"Pellix_Key";

std::u16string CurrentValue(IHTMLInputElement* input) {
  BString value;
  if (FAILED(input->get_value(value.Put()))) return {};
  return value.Text();
}

bool WriteValue(IHTMLInputElement* input, std::u16string_view value) {
  return SUCCEEDED(input->put_value(BString(value).get()));
}

std::u16string NameOf(IDispatch* field) {
  BString name;
  ComPtr<IDispatch> item(field);
  if (auto input = item.As<IHTMLInputElement>()) {
    if (SUCCEEDED(input->get_name(name.Put()))) return name.Text();
  } else if (auto select = item.As<IHTMLSelectElement>()) {
    if (SUCCEEDED(select->get_name(name.Put()))) return name.Text();
  }
  return {};
}

// One field of a form: its element, and its input or select interface.
struct Field {
  ComPtr<IHTMLElement> element;
  ComPtr<IHTMLInputElement> input;
  ComPtr<IHTMLSelectElement> select;
  std::string type;  // inputs: lower-cased
};

// Walks the form's inputs (those whose type can be read) and then its selects; false
// when either collection cannot be taken (the walk then ends there).
bool WalkFields(IUnknown* form, const std::function<void(Field&)>& visit) {
  ComPtr<IHTMLElementCollection> inputs = ElementsByTag(form, u"input");
  if (!inputs) return false;
  ForEachItem(inputs.get(), [&](IDispatch* item) {
    Field field{ComPtr<IDispatch>(item).As<IHTMLElement>(), ComPtr<IDispatch>(item).As<IHTMLInputElement>(), {}, {}};
    if (field.element && field.input && ReadInputType(field.element.get(), field.type)) visit(field);
    return true;
  });
  ComPtr<IHTMLElementCollection> selects = ElementsByTag(form, u"select");
  if (!selects) return false;
  ForEachItem(selects.get(), [&](IDispatch* item) {
    Field field{ComPtr<IDispatch>(item).As<IHTMLElement>(), {}, ComPtr<IDispatch>(item).As<IHTMLSelectElement>(), {}};
    if (field.element && field.select) visit(field);
    return true;
  });
  return true;
}

// The value a text input or select is filled with: the active identity's value when
// its key mark names an identity key (empty without an active identity), else its
// prepared value.
std::u16string FillValue(IHTMLElement* field, std::u16string_view windowId) {
  std::u16string key = ReadTextMark(field, kKeyMark);
  if (!key.empty() && key != u"VALUE") return ActiveIdentity ? ActiveIdentity->GetValue(key) : std::u16string();
  std::u16string value;
  ReadPreparedValue(field, windowId, value);
  return value;
}

// Walks the forms of the browser's document; false when there is no document.
bool WalkForms(IWebBrowser2* browser, std::u16string& windowId, LONG& formCount,
               const std::function<bool(IHTMLElement* form)>& visit) {
  ComPtr<IHTMLDocument3> document;
  GetDocument3(browser, document);
  if (!document) return false;
  windowId = BrowserWindowId(browser);
  ComPtr<IHTMLElementCollection> forms;
  formCount = 0;
  if (FAILED(document->getElementsByTagName(BString(u"form").get(), forms.Put())) || !forms ||
      FAILED(forms->get_length(&formCount))) {
    return true;
  }
  ForEachItem(forms.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> form = ComPtr<IDispatch>(item).As<IHTMLElement>();
    if (!form || !form.As<IHTMLFormElement>() || !form.As<IHTMLElement2>()) return true;
    return visit(form.get());
  });
  return true;
}

}  // namespace

std::u16string BrowserWindowId(IWebBrowser2* browser) {
  Variant id;
  if (browser == nullptr || FAILED(browser->GetProperty(BString(u"Pellix_Win_ID").get(), id.Put()))) return {};
  return id.AsText();
}

bool PrepareFormFields(IUnknown* form, const TFormFieldList* fields, std::u16string_view password,
                       std::u16string_view genPassword, bool fill, bool& prepared, bool& filled,
                       std::u16string_view windowId) {
  bool result = false;
  prepared = false;
  filled = false;
  if (form == nullptr) return false;
  auto prepare = [&](Field& field, const std::u16string& value, std::u16string_view key) {
    if (field.input) {
      if (fill && CurrentValue(field.input.get()).empty()) {
        WriteValue(field.input.get(), value);
        filled = true;
      }
    } else if (fill) {
      SelectMatchingOption(field.select.get(), value);
      filled = true;
    }
    WritePreparedValue(field.element.get(), windowId, value);
    WriteMark(field.element.get(), kKeyMark, Variant::Text(key));
    if (!value.empty()) {
      ColorFilledField(field.element.get());
      prepared = true;
    }
  };
  WalkFields(form, [&](Field& field) {
    std::u16string value;
    if (field.select) {
      if (!fields) return;
      if (FindFieldValue(fields, NameOf(field.select.get()), ElementId(field.element.get()), value)) {
        prepare(field, value, u"VALUE");
      } else {
        result = true;
      }
    } else if (IsTextType(field.type)) {
      if (!fields) return;
      if (FindFieldValue(fields, NameOf(field.input.get()), ElementId(field.element.get()), value)) {
        prepare(field, value, u"VALUE");
      }
      result = true;
    } else if (field.type == "password") {
      if (fields) {
        if (FindFieldValue(fields, NameOf(field.input.get()), ElementId(field.element.get()), value)) {
          prepare(field, value, u"VALUE");
        } else if (!password.empty()) {
          prepare(field, std::u16string(password), u"VALUE");
        } else {
          result = true;
        }
      } else if (!genPassword.empty()) {
        prepare(field, std::u16string(genPassword), u"GENPWD");
      }
    }
  });
  return result;
}

FillResult FillFormsFromRecord(IWebBrowser2* browser, bool fillPasswords, bool submit) {
  bool noForms = true, noFields = true, noValues = true, nothingFilled = true, manyForms = false;
  ComPtr<IHTMLFormElement> firstForm, lastForm;
  std::u16string windowId;
  LONG formCount = 0;
  bool walked = WalkForms(browser, windowId, formCount, [&](IHTMLElement* form) {
    auto counted = [&](bool wrote) {
      if (!wrote) return;
      nothingFilled = false;
      if (!platform::com::IsSameObject(form, lastForm.get())) {
        form->QueryInterface(IID_IHTMLFormElement, lastForm.PutVoid());
        if (!firstForm) firstForm = lastForm;
      }
    };
    ComPtr<IHTMLElementCollection> selects = ElementsByTag(form, u"select");
    LONG selectCount = 0;
    if (selects && SUCCEEDED(selects->get_length(&selectCount)) && selectCount > 0) noFields = false;
    return WalkFields(form, [&](Field& field) {
      std::u16string value;
      if (field.select) {
        value = FillValue(field.element.get(), windowId);
        if (value.empty()) return;
        noValues = false;
        counted(SelectMatchingOption(field.select.get(), value));
        return;
      }
      if (IsTextType(field.type)) {
        noFields = false;
        value = CutAtTab(FillValue(field.element.get(), windowId));
      } else if (field.type == "password") {
        noFields = false;
        if (!fillPasswords) return;
        ReadPreparedValue(field.element.get(), windowId, value);
      } else {
        return;
      }
      if (value.empty()) return;
      noValues = false;
      counted(CurrentValue(field.input.get()).empty() && WriteValue(field.input.get(), value));
    });
  });
  // A browser without a document has no page to fill: neither a success nor a page
  // whose fields were filled already.
  if (!walked) return frNoForms;
  if (formCount > 0) noForms = false;
  if (submit) {
    if (firstForm && platform::com::IsSameObject(firstForm.get(), lastForm.get())) {
      firstForm->submit();
    } else if (firstForm) {
      manyForms = true;
    }
  }
  if (noForms || noFields) return frNoForms;
  if (noValues) return frNoValues;
  if (nothingFilled) return frNothingFilled;
  if (manyForms) return frManyForms;
  return frFilled;
}

void FillFormsOnPage(IWebBrowser2* browser) {
  std::u16string windowId;
  LONG formCount = 0;
  WalkForms(browser, windowId, formCount, [&](IHTMLElement* form) {
    return WalkFields(form, [&](Field& field) {
      std::u16string value;
      if (field.select) {
        value = FillValue(field.element.get(), windowId);
        if (!value.empty()) SelectMatchingOption(field.select.get(), value);
      } else if (IsTextType(field.type)) {
        value = CutAtTab(FillValue(field.element.get(), windowId));
        if (!value.empty()) WriteValue(field.input.get(), value);
      } else if (field.type == "password") {
        ReadPreparedValue(field.element.get(), windowId, value);
        if (!value.empty()) WriteValue(field.input.get(), value);
      }
    });
  });
}

ComPtr<IHTMLOptionElement> FindMatchingOption(IHTMLSelectElement* select, std::u16string_view value) {
  if (select == nullptr) return {};
  TUniStringList candidates;
  SplitToList(value, u'\t', candidates);
  std::vector<std::u16string> wanted;
  for (int i = 0; i < candidates.GetCount(); ++i) wanted.push_back(UpperCaseWide(candidates.Get(i)));
  // Upper-casing keeps the length: a text of another length than every wanted one is
  // passed over without it.
  auto matches = [&](const std::u16string& text) {
    const auto sameLength = [&](const std::u16string& each) { return each.size() == text.size(); };
    if (std::none_of(wanted.begin(), wanted.end(), sameLength)) return false;
    const std::u16string upper = UpperCaseWide(text);
    return std::find(wanted.begin(), wanted.end(), upper) != wanted.end();
  };
  LONG length = 0;
  if (FAILED(select->get_length(&length))) return {};
  for (LONG i = 0; i < length; ++i) {
    ComPtr<IDispatch> item;
    if (FAILED(select->item(Variant::Int(i).raw(), Variant::Byte(0).raw(), item.Put())) || !item) continue;
    ComPtr<IHTMLOptionElement> option = item.As<IHTMLOptionElement>();
    if (!option) continue;
    BString text, optionValue;
    if ((SUCCEEDED(option->get_text(text.Put())) && matches(text.Text())) ||
        (SUCCEEDED(option->get_value(optionValue.Put())) && matches(optionValue.Text()))) {
      return option;
    }
  }
  return {};
}

bool SelectMatchingOption(IHTMLSelectElement* select, std::u16string_view value) {
  ComPtr<IHTMLOptionElement> option = FindMatchingOption(select, value);
  if (!option) return false;
  option->put_selected(VARIANT_TRUE);
  return true;
}

std::u16string CutAtTab(std::u16string_view value) { return std::u16string(value.substr(0, value.find(u'\t'))); }

void ColorFilledField(IHTMLElement* field) {
  if (field == nullptr) return;
  ComPtr<IHTMLStyle> style;
  if (SUCCEEDED(field->get_style(style.Put())) && style) {
    style->setAttribute(BString(u"background").get(), Variant::Text(u"#CEFF84").raw(), 0);
  }
  WriteMark(field, u"Pellix_Colored", Variant::Byte(1));
}

}  // namespace formfill
