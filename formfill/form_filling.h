// Filling a page's forms through the document object model, in two passes that meet
// through the page marks: preparing (on an after-navigation thread) marks each field
// that a stored form, a stored password or a generated password can supply, colours it
// and, when filling is allowed, writes it when empty; filling on the main thread later
// writes the prepared values (and identity values) into the fields.
//
// A prepared value is never written into the page as text: "Pellix_Value" holds a
// token of the browser window's prepared values (prepared_values.h), and every reader
// looks the token up. "Pellix_Key" says where the value came from: "VALUE" (a stored
// form or password), "GENPWD" (a generated password) or an identity key.
#pragma once

#include <string>
#include <string_view>

#include "data/form_items.h"
#include "platform/browser/exdisp.h"

namespace formfill {

enum FillResult : int {
  frFilled = 0,         // a field was filled (and with submitting, values went to one form)
  frNoForms = 1,        // no page (no document), no form, or no text input, password input
                        // or select in them
  frNoValues = 2,       // no field carries a value to fill
  frNothingFilled = 3,  // values exist but no field was written
  frManyForms = 4,      // submitting was asked and several forms received values
};

// Marks (and with Fill writes) the form's fields from Fields, Password (a stored
// password for the form's password inputs) or GenPassword (when Fields is nil). The
// values are kept for the browser window WindowId. Answers true when Fields is given
// and the form has a text input, or a password input or select that neither Fields
// nor Password covers.
bool PrepareFormFields(IUnknown* form, const TFormFieldList* fields, std::u16string_view password,
                       std::u16string_view genPassword, bool fill, bool& prepared, bool& filled,
                       std::u16string_view windowId);

// Writes prepared values and the active identity's values into empty fields (password
// inputs only with FillPasswords, and never from the identity) and, with Submit,
// submits the form when exactly one form received values. Runs on the main thread.
FillResult FillFormsFromRecord(IWebBrowser2* browser, bool fillPasswords, bool submit);

// Writes every prepared and identity value into its field, whatever the field holds.
void FillFormsOnPage(IWebBrowser2* browser);

// The first option whose text, else value, equals (ignoring case, as wide text) one of
// the TAB-separated alternatives of Value; nil when none does.
platform::com::ComPtr<IHTMLOptionElement> FindMatchingOption(IHTMLSelectElement* select, std::u16string_view value);
// Selects the option FindMatchingOption gives; false when none does (the selection stays).
bool SelectMatchingOption(IHTMLSelectElement* select, std::u16string_view value);

// A value as it goes into a text input: identity values kept as "value TAB
// alternatives" (a country, a state, a title) give the part before the first TAB.
std::u16string CutAtTab(std::u16string_view value);

// Colours a filled field light green and marks it "Pellix_Colored" (a byte 1).
void ColorFilledField(IHTMLElement* field);

// The window id under which a browser's prepared values are kept ("Pellix_Win_ID").
std::u16string BrowserWindowId(IWebBrowser2* browser);

}  // namespace formfill
