#include "formfill/form_reading.h"

#include "data/field_dictionary.h"
#include "formfill/browser_access.h"
#include "platform/base/text.h"

namespace formfill {

bool GetFormIdentity(IHTMLFormElement* form, std::u16string& formName, std::u16string& formId) {
  formName.clear();
  formId.clear();
  if (form == nullptr) return false;
  platform::com::BString name;
  if (SUCCEEDED(form->get_name(name.Put()))) formName = name.Text();
  platform::com::ComPtr<IHTMLElement> element;
  if (FAILED(form->QueryInterface(IID_IHTMLElement, element.PutVoid())) || !element) return false;
  formId = ElementId(element.get());
  if (formName.empty() && formId.empty()) formId = ReadTextMark(element.get(), u"Pellix_FormID");
  return true;
}

namespace {

using platform::com::BString;
using platform::com::ComPtr;

std::u16string Text(HRESULT hr, const BString& text) { return SUCCEEDED(hr) ? text.Text() : std::u16string(); }

}  // namespace

void ReadFormFields(IUnknown* form, TFormFieldList* fields, TWideStrings* passwords) {
  if (form == nullptr || fields == nullptr) return;
  ComPtr<IHTMLElementCollection> inputs = ElementsByTag(form, u"input");
  if (!inputs) return;
  ForEachItem(inputs.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> element = ComPtr<IDispatch>(item).As<IHTMLElement>();
    ComPtr<IHTMLInputElement> input = ComPtr<IDispatch>(item).As<IHTMLInputElement>();
    std::string type;
    if (!element || !input || !ReadInputType(element.get(), type)) return true;
    if (!IsTextType(type) && type != "password") return true;
    TFormListItem field;
    field.ID = ElementId(element.get());
    BString name, value;
    field.Name = Text(input->get_name(name.Put()), name);
    field.FieldType = platform::AnsiToWide(type);
    if (type != "password" && IsBuiltInIgnored(field.Name, field.ID)) return true;
    field.Value = Text(input->get_value(value.Put()), value);
    if (type == "password") {
      field.Generated = true;
      fields->push_back(field);
      if (passwords) passwords->Add(field.Value);
      return true;
    }
    fields->push_back(field);
    std::u16string key = ReadTextMark(element.get(), u"Pellix_Key");
    fields->back().IdentKey = key == u"VALUE" ? std::u16string() : key;
    return true;
  });
  ComPtr<IHTMLElementCollection> selects = ElementsByTag(form, u"select");
  if (!selects) return;
  ForEachItem(selects.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> element = ComPtr<IDispatch>(item).As<IHTMLElement>();
    ComPtr<IHTMLSelectElement> select = ComPtr<IDispatch>(item).As<IHTMLSelectElement>();
    if (!element || !select) return true;
    TFormListItem field;
    field.ID = ElementId(element.get());
    BString name, value;
    field.Name = Text(select->get_name(name.Put()), name);
    if (IsBuiltInIgnored(field.Name, field.ID)) return true;
    field.Value = Text(select->get_value(value.Put()), value);
    // The text of the first selected option stands for the select.
    LONG length = 0;
    if (SUCCEEDED(select->get_length(&length))) {
      for (LONG i = 0; i < length; ++i) {
        ComPtr<IDispatch> option;
        if (FAILED(select->item(platform::com::Variant::Int(i).raw(), platform::com::Variant::Byte(0).raw(),
                                option.Put())) ||
            !option) {
          continue;
        }
        ComPtr<IHTMLOptionElement> each = option.As<IHTMLOptionElement>();
        BString text;
        VARIANT_BOOL selected = VARIANT_FALSE;
        if (!each || FAILED(each->get_text(text.Put())) || FAILED(each->get_selected(&selected))) continue;
        if (selected != VARIANT_FALSE) {
          field.Value = text.Text();
          break;
        }
      }
    }
    fields->push_back(field);
    fields->back().IdentKey = ReadTextMark(element.get(), u"Pellix_Key");
    return true;
  });
}

}  // namespace formfill
