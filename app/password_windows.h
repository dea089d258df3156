// The three password windows, all modeless and opened by the dialog launcher:
// TPasswordShow shows one stored password, TPasswordGen makes passwords and can fill
// one into the password input the user right-clicked, TFormPasswordHistory lists the
// password history. Every text passes through the form translation.
//
// Ownership: the application owns each window; it frees itself when closed. A window
// opened for a password input holds that input's context until it is freed.
#pragma once

#include <memory>
#include <string>

#include "app/modeless_forms.h"
#include "data/form_items.h"
#include "controls/unicode/uni_com_ctrls.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"

namespace formfill {
class TInputPasswordContext;
}

// Puts the text on the clipboard; false when the clipboard could not be had.
bool CopyTextToClipboard(HWND owner, const std::u16string& text);

class TPasswordShow : public TModelessForm {
 public:
  // Context: the right-clicked password input, or none (then "Edit..." is disabled).
  TPasswordShow(TDialogLauncher& launcher, HWND ownerWindow, std::shared_ptr<formfill::TInputPasswordContext> context,
                const std::u16string& password);
  std::string ClassName() const override { return "TPasswordShow"; }

  TUniEdit* txtPassword;
  TUniButton* butCopyCLip;
  TUniButton* butEdit;
  TUniButton* butOK;

 private:
  void butEditClick();
  HWND ownerWindow_;
  std::shared_ptr<formfill::TInputPasswordContext> context_;
};

class TPasswordGen : public TModelessForm {
 public:
  // Context: the right-clicked password input, or none (then "Fill In Form" is
  // disabled); Password: the text to start with.
  TPasswordGen(TDialogLauncher& launcher, HWND ownerWindow, std::shared_ptr<formfill::TInputPasswordContext> context,
               const std::u16string& password);
  std::string ClassName() const override { return "TPasswordGen"; }

  TUniEdit* txtPassword;
  TUniButton* butGenerate;
  TUniCheckBox* XShowPassword;
  TUniCheckBox* XCopyClipboard;
  TUniButton* butHistory;
  TUniEdit* txtLen;
  TUniUpDown* XUpDown;
  TUniCheckBox* XLower;
  TUniCheckBox* XUpper;
  TUniCheckBox* XNum;
  TUniCheckBox* XSymbols;
  TUniCheckBox* XAvoidSimilar;
  TUniButton* butFillIn;
  TUniButton* butClose;

 private:
  void butGenerateClick();
  void txtPasswordChange();
  void XShowPasswordClick();
  void XLowerClick(TUniCheckBox* clicked);
  void butFillInClick();
  void butCloseClick();
  std::shared_ptr<formfill::TInputPasswordContext> context_;
};

class TFormPasswordHistory : public TListWatchForm {
 public:
  TFormPasswordHistory(TDialogLauncher& launcher, HWND ownerWindow);
  std::string ClassName() const override { return "TFormPasswordHistory"; }

  void LoadList() override;
  void UpdateButtons();

  TUniListView* ListViewHistory;
  TUniCheckBox* UniCheckBox1;
  TUniButton* btnClearList;
  TUniButton* BtnClose;
  TUniButton* btnCopyPassword;
  TUniPopupMenu* PopupMenu1;

 protected:
  DWORD ListStamp() override;

 private:
  void btnCopyPasswordClick();
  void DeletePassword1Click();
  void btnClearListClick();
  void UniCheckBox1Click();
  // The shown text of a record's password.
  std::u16string PasswordText(const TPasswordItem& record) const;
  // A row's record while it is still in the password list (the caller holds the
  // locks), else none.
  TPasswordItem* RecordOfRow(const TListItem* row) const;
};
