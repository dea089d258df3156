// The vault password prompt: a small modal window in which the user types the master
// password (for the security gate) or the password of a named vault. Its message line
// is an HTML label, so that the key words are bold.
//
// The label's caption is 8-bit HTML: the vault name is put in with its markup
// characters escaped, and every character outside ASCII (of the name and of the
// translated texts) is written as a numeric character reference, so that no name is
// read as markup and no character is lost.
//
// Ownership: the form owns its components; whoever makes the form frees it.
#pragma once

#include <string>
#include <string_view>

#include "controls/htmllabel/mk_html_label.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "platform/classlib/ext_ctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/image_control.h"

class TVaultPwdForm : public TForm {
 public:
  // ownerWindow is the window the prompt belongs to; 0 for the main window.
  TVaultPwdForm(TComponent* owner, HWND ownerWindow);
  std::string ClassName() const override { return "TVaultPwdForm"; }

  TUniEdit* txtPassword;
  TUniButton* butUnlock;
  TUniButton* butCancel;
  TUniLabel* lblPassword;
  TImage* ImgMaster;
  TImage* ImgVault;
  TPanel* pnlCaption;
  TMkHtmlLabel* lblCaption;

  bool IsMaster = false;
  std::u16string VaultName;

  // Puts the translated texts for IsMaster and VaultName into the window.
  void PrepareTexts();

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  void txtPasswordChange(TObject* sender);
  HWND ownerWindow_;
};

// Markup characters (& < > " ') as character references.
std::u16string HtmlEscape(std::u16string_view text);
// The text as ASCII: every other character, and every control character, as a
// decimal character reference (a surrogate pair as one, a lone half as U+FFFD).
std::string HtmlAsciiText(std::u16string_view text);
// The label's caption for the prompt.
std::string VaultPromptCaption(bool isMaster, const std::u16string& vaultName);

