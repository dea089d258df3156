#include "app/master_pass_form.h"

#include <string>

#include "app/dialog_launcher.h"
#include "app/form_translation.h"
#include "data/app_services.h"
#include "data/crypt_wide.h"
#include "data/data_startup.h"
#include "data/password_key.h"
#include "formfill/password_generator.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "support/translator.h"

namespace {

constexpr long kHelpTopicMasterSettings = 2638;
constexpr long kHelpTopicPassword = 2613;
constexpr long kHelpTopicForgotten = 2640;
constexpr int kMinimumRating = 1;
constexpr int kEditLeft = 230;
constexpr int kEditWidth = 180;

constexpr TColor kBoxOutline = 0x808080;
constexpr TColor kBoxOutlineEmpty = 0x9CAAAD;
constexpr TColor kBoxFill = 0xE0E0E0;
constexpr TColor kBoxFillEmpty = 0xEAF4F5;
constexpr TColor kBoxFilled = 0x808080;
constexpr int kBoxWidth = 40;
constexpr int kBoxHeight = 12;

const char* const kRatingNames[] = {"", "Weak", "Acceptable", "Strong"};

}  // namespace

TStrengthDisplay PlaceStrengthDisplay(TCustomForm& form, TWinControl& parent, int left, int top) {
  TStrengthDisplay display;
  display.Caption = PlaceLabel(form, parent, "lblStrenght1", u"Password Strength", left, top);
  const int boxesLeft = left + 130;
  for (std::size_t i = 0; i < display.Boxes.size(); ++i) {
    display.Boxes[i] = PlaceControl<TUniShape>(form, parent, "Box" + std::to_string(i + 1),
                                               boxesLeft + static_cast<int>(i) * (kBoxWidth + 4), top + 1, kBoxWidth,
                                               kBoxHeight);
  }
  display.Rating = PlaceLabel(form, parent, "lblStrengthType", u"", boxesLeft + 3 * (kBoxWidth + 4) + 4, top);
  return display;
}

void ShowStrength(TStrengthDisplay& display, int level, TColor captionGrey, const std::u16string& levelZeroText) {
  const bool rated = level > 0;
  display.Caption->Font().SetColor(rated ? clWindowText : captionGrey);
  for (std::size_t i = 0; i < display.Boxes.size(); ++i) {
    TUniShape* box = display.Boxes[i];
    box->Pen().SetColor(rated ? kBoxOutline : kBoxOutlineEmpty);
    const bool filled = level > static_cast<int>(i);
    box->Brush().SetColor(filled ? kBoxFilled : rated ? kBoxFill : kBoxFillEmpty);
    box->Invalidate();
  }
  display.Rating->SetCaption(rated ? Translate(kRatingNames[level]) : levelZeroText);
}

bool StoreMasterPassword(const std::u16string& password, std::int32_t level, std::int32_t minutes) {
  if (password.empty()) return false;
  if (level == kSecurityCorrupted) level = kSecurityExpiring;
  const std::string record = MakeSecurityRecord(password, level, minutes);
  if (record.empty() || !ApplySecurityRecord(record)) return false;
  UnlockTime = platform::Now();
  if (Config) Config->WriteString(u"SECURITY", platform::AnsiToWide(record), true);
  return true;
}

TMasterPassForm::TMasterPassForm(TComponent* owner, HWND ownerWindow) : TOwnedDialog(owner, ownerWindow) {
  SetName("MasterPassForm");
  BorderStyle = TFormBorderStyle::bsDialog;
  SetWideControlText(this, u"Pellix");
  SetBounds(0, 0, 543, 364);
  PlaceBoldLabel(*this, *this, "lblTitle", u"Master Password Settings", 16, 12);
  auto* info = PlaceLabel(*this, *this, "lblInfo",
                          u"Master Password is used for protecting your personal data stored by Pellix.", 16, 36);
  helpImageMaster = PlaceControl<TImage>(*this, *this, "helpImageMaster", info->Left() + info->Width() + 6, 34, 16, 16);
  helpImageMaster->Tag = kHelpTopicMasterSettings;
  auto* warning = PlaceWrappedLabel(*this, *this, "lblWarning",
                                    u"We recommend you pick a password that you can easily remember, because password "
                                    u"recovery is not available, in which case all stored information will be "
                                    u"inaccessible. ",
                                    16, 58, 510, 44);
  warning->Font().SetStyle(fsBold);
  PlaceBoldLabel(*this, *this, "lblMaster", u"Master Password", 16, 110);
  PlaceLabel(*this, *this, "lblCurrent", u"Enter Your Current Master Password: ", 16, 139);
  txtCurrentPwd = PlaceEdit(*this, *this, "txtCurrentPwd", kEditLeft, 136, kEditWidth, u'*');
  PlaceLabel(*this, *this, "lblNew", u"Enter Your New Master Password:", 16, 169);
  txtPassword1 = PlaceEdit(*this, *this, "txtPassword1", kEditLeft, 166, kEditWidth, u'*');
  PlaceLabel(*this, *this, "lblRetype", u"Re-type Your New Master Password:", 16, 199);
  txtPassword2 = PlaceEdit(*this, *this, "txtPassword2", kEditLeft, 196, kEditWidth, u'*');
  PlaceLabel(*this, *this, "lblMin", u"Min. 6 characters", kEditLeft + kEditWidth + 8, 169)
      ->Font()
      .SetColor(kGreyTextColor);
  helpImagePass = PlaceControl<TImage>(*this, *this, "helpImagePass", 500, 167, 16, 16);
  helpImagePass->Tag = kHelpTopicPassword;
  Strength = PlaceStrengthDisplay(*this, *this, 16, 234);
  UniLabel2 = PlaceLink(*this, *this, "UniLabel2", u"Forgot Your Password? ", 16, 268,
                        [](TObject*) { PostToMainWindow(kCmdHelpTopic, kHelpTopicForgotten); });
  TUniPanel* bottom = PlaceBottomPanel(*this, "pnlBottom", 41);
  butSave = PlaceButton(*this, *bottom, "butSave", u"Save", 372, 8, mrNone);
  butSave->SetDefault(true);
  butSave->SetEnabled(false);
  butSave->OnClick = [this](TObject*) { Save(); };
  butCancel = PlaceButton(*this, *bottom, "butCancel", u"Cancel", 455, 8, mrCancel);
  butCancel->Cancel = true;
  txtPassword1->OnChange = [this](TObject*) { CheckEntries(); };
  txtPassword2->OnChange = [this](TObject*) { CheckEntries(); };
  helpMaster_ = std::make_unique<TImageHelp>(*helpImageMaster);
  helpPass_ = std::make_unique<TImageHelp>(*helpImagePass);
  FocusOnShow(*this);
  TranslateForm(*this);
  ShowStrength(Strength, 0, clGrayText, u"");
}

// Without a stored master password an empty current password is right; with a record
// that could not be read nothing is, so that no one sets a password over it unasked.
bool TMasterPassForm::CurrentPasswordRight() {
  const std::u16string current = txtCurrentPwd->Text();
  if (checked_ && current == checkedCurrent_) return currentRight_;
  checked_ = true;
  checkedCurrent_ = current;
  if (current.empty()) {
    currentRight_ = MasterCrypt.empty() && SecurityLevel != kSecurityCorrupted;
  } else {
    currentRight_ = MasterPasswordMatches(current, MasterCrypt);
  }
  return currentRight_;
}

void TMasterPassForm::CheckEntries() {
  const std::u16string password = txtPassword1->Text();
  const int rating = formfill::RatePassword(password);
  butSave->SetEnabled(CurrentPasswordRight() && rating >= kMinimumRating && password == txtPassword2->Text());
  ShowStrength(Strength, rating, clGrayText, u"");
}

void TMasterPassForm::Save() {
  if (StoreMasterPassword(txtPassword1->Text(), SecurityLevel, SecurityExpires)) ModalResult = mrOk;
}

bool ChangeMasterPassword(HWND owner) {
  auto form = std::make_unique<TMasterPassForm>(Application, owner);
  CenterOnWindow(*form, 0);
  return form->ShowModal() == mrOk;
}
