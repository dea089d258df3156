// The master password window (TMasterPassForm): the user gives the current master
// password and the new one twice; Save is enabled only while the current one is right,
// the new one rates at least "Weak" (6 characters or more) and both new entries agree.
// Save makes the new security record, keeps it as the setting SECURITY and counts as
// an unlock.
//
// Also here: the password strength display that this window and the first-run wizard
// share, and the store of a new master password they both end with.
//
// Ownership: the form owns its components and help pictures; ChangeMasterPassword
// makes the form for one modal showing and frees it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/help_window.h"
#include "app/window_parts.h"
#include "platform/classlib/image_control.h"

// "Password Strength", three boxes that fill from the left, and the rating's name.
struct TStrengthDisplay {
  TUniLabel* Caption = nullptr;
  std::array<TUniShape*, 3> Boxes{};
  TUniLabel* Rating = nullptr;
};

// Builds the display on Parent with its caption at Left, Top.
TStrengthDisplay PlaceStrengthDisplay(TCustomForm& form, TWinControl& parent, int left, int top);
// Shows rating Level (0 to 3, from RatePassword): at 0 the caption in CaptionGrey and the
// rating text LevelZeroText; otherwise "Weak", "Acceptable" or "Strong".
void ShowStrength(TStrengthDisplay& display, int level, TColor captionGrey, const std::u16string& levelZeroText);

// Makes the security record of Password with Level and Minutes, takes it as the
// program's security values, records an unlock now, and writes it as the setting
// SECURITY. Level 99 (a record that could not be read) is stored as the default level.
// False, with nothing changed, for an empty password or when no record can be made.
bool StoreMasterPassword(const std::u16string& password, std::int32_t level, std::int32_t minutes);

class TMasterPassForm : public TOwnedDialog {
 public:
  TMasterPassForm(TComponent* owner, HWND ownerWindow);
  std::string ClassName() const override { return "TMasterPassForm"; }

  TUniEdit* txtCurrentPwd;
  TUniEdit* txtPassword1;
  TUniEdit* txtPassword2;
  TImage* helpImageMaster;
  TImage* helpImagePass;
  TStrengthDisplay Strength;
  TUniLabel* UniLabel2;
  TUniButton* butCancel;
  TUniButton* butSave;


 private:
  void CheckEntries();
  bool CurrentPasswordRight();
  void Save();

  std::unique_ptr<TImageHelp> helpMaster_;
  std::unique_ptr<TImageHelp> helpPass_;
  // The check of the current password is costly: it is made once per text.
  std::u16string checkedCurrent_;
  bool currentRight_ = false;
  bool checked_ = false;
};

// Shows the window modally; true when the new master password was saved.
bool ChangeMasterPassword(HWND owner);
