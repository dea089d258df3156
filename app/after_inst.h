// The first-run wizard (TAfterInst): it asks for the master password (with an optional
// security level) and for the first identity, then creates the identity, stores the
// security record and marks the program as set up. Until it has been finished the
// program offers nothing else.
//
// Ownership: the form owns its pages, controls and help pictures, and the advanced
// identity editor once that was used; its opener frees the form.
#pragma once

#include <cstdint>
#include <memory>

#include "app/help_window.h"
#include "app/ident_edit.h"
#include "app/master_pass_form.h"
#include "platform/classlib/image_control.h"

// Opens the help address (setting HELP_URL) in the web browser, or the product's
// questions-and-answers page when none is set.
void OpenHelpPage();

class TAfterInst : public TOwnedDialog {
 public:
  TAfterInst(TComponent* owner, HWND ownerWindow);
  ~TAfterInst() override;
  std::string ClassName() const override { return "TAfterInst"; }

  // Shows page Page (1 to 4; others are ignored).
  void ShowPage(int page);
  int Page() const { return page_; }
  std::int32_t Level() const { return level_; }
  std::int32_t Minutes() const { return minutes_; }
  TIdentityEdit* AdvancedEditor() const { return advanced_.get(); }

  TUniPanel* pnlTop;
  TImage* imgIcon;
  TUniPanel* pnlBottom;
  TUniLabel* lblBottom1;
  TUniLabel* lblBottom2;
  TUniLabel* lblAsterix0;
  TUniButton* butCancel;
  TUniButton* butBack;
  TUniButton* butNext;
  TUniPanel* Pages[4];
  TImage* imgWelcome;
  TImage* imgFinish;
  TUniEdit* txtPassword1;
  TUniEdit* txtPassword2;
  TStrengthDisplay Strength;
  TImage* helpImageMaster;
  TImage* helpImagePass;
  TUniButton* butAdvancedPwd;
  TUniEdit* txtIdentityName;
  TUniEdit* txtFirstName;
  TUniEdit* txtLastName;
  TUniEdit* txtEmail;
  TUniEdit* txtAddress1;
  TUniEdit* txtAddress2;
  TUniEdit* txtCity;
  TUniEdit* txtZip1;
  TUniEdit* txtZip2;
  TUniComboBox* txtCountry;
  TUniComboBox* txtState;
  TUniButton* butAdvancedID;
  TUniLabel* UniLabel18;

 private:
  void BuildPage1(TUniPanel& page);
  void BuildPage2(TUniPanel& page);
  void BuildPage3(TUniPanel& page);
  void BuildPage4(TUniPanel& page);
  void NextClick();
  bool PasswordsAccepted();
  void NameChanged();
  void PasswordChanged();
  void AdvancedIdentity();
  void CopyIntoEditor(TIdentityEdit& editor);
  void CopyFromEditor(TIdentityEdit& editor);
  bool Commit();
  void StoreValues(TIdentity& identity);

  int page_ = 0;
  std::int32_t level_;
  std::int32_t minutes_;
  std::unique_ptr<TIdentityEdit> advanced_;
  std::unique_ptr<TImageHelp> helpMaster_;
  std::unique_ptr<TImageHelp> helpPass_;
};

// Shows the wizard modally in the launcher's first slot; true when it was finished.
bool RunAfterInstallWizard(TDialogLauncher& launcher, HWND owner);
