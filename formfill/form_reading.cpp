#include "formfill/form_reading.h"

#include "formfill/browser_access.h"

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

}  // namespace formfill
