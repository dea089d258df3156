// How the page side identifies a page's forms and reads a submitted form. A form is
// identified by its name and id, compared exactly; a form with neither by its
// "Pellix_FormID" mark ("#" and its index among the page's forms), which the
// after-navigation pass writes.
#pragma once

#include <string>

#include "controls/unicode/uni_classes.h"
#include "data/form_items.h"
#include "platform/browser/mshtml.h"

namespace formfill {

// Clears both outputs; false when Form is nil or not an element. A form without name
// and id takes the "Pellix_FormID" mark (when it is text) as its id.
bool GetFormIdentity(IHTMLFormElement* form, std::u16string& formName, std::u16string& formId);

// Appends the form's text and password inputs (document order), then its selects, to
// Fields, and each password input's value to Passwords (when given). Text inputs and
// selects named in the built-in ignore list are left out; a text input's key mark
// "VALUE" is cleared, a select's is kept. Nothing is read when Fields is nil; a walk
// over a collection that fails ends the reading with what was appended.
void ReadFormFields(IUnknown* form, TFormFieldList* fields, TWideStrings* passwords);

}  // namespace formfill
