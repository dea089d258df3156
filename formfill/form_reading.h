// How the page side identifies a page's forms: by the form's name and id, compared
// exactly; a form with neither is identified by its "Pellix_FormID" mark ("#" and its
// index among the page's forms), which the after-navigation pass writes.
#pragma once

#include <string>

#include "platform/browser/mshtml.h"

namespace formfill {

// Clears both outputs; false when Form is nil or not an element. A form without name
// and id takes the "Pellix_FormID" mark (when it is text) as its id.
bool GetFormIdentity(IHTMLFormElement* form, std::u16string& formName, std::u16string& formId);

}  // namespace formfill
