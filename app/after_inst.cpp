#include "app/after_inst.h"

#include "app/dialog_launcher.h"
#include "app/form_translation.h"
#include "app/list_changes.h"
#include "app/security_level_form.h"
#include "controls/unicode/uni_sysutils.h"
#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "formfill/password_generator.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/text.h"
#include "platform/win/message_box.h"
#include "support/debug_log.h"
#include "support/shell.h"
#include "support/translator.h"

namespace {

constexpr char kFaqAddress[] = "https://pellix.invalid/faq";

constexpr long kHelpTopicMaster = 2612;
constexpr long kHelpTopicPassword = 2613;
constexpr int kMinimumLength = 6;
constexpr int kLastPage = 4;
constexpr int kLeft = 24;
constexpr int kEditLeft = 200;
constexpr int kEditWidth = 200;

// The same choice in another combo box with the same items.
void CopyCombo(TUniComboBox& from, TUniComboBox& to) {
  const int index = from.ItemIndex();
  to.SetItemIndex(index);
  if (index < 0) to.SetText(from.Text());
}

void SwallowBar(TObject*, char& key) {
  if (key == '|') key = 0;
}

void Warn(HWND owner, const char16_t* text) { MessageBoxW(owner, text, u"Pellix", MB_OK | MB_ICONWARNING); }

}  // namespace

TAfterInst::TAfterInst(TComponent* owner, HWND ownerWindow) : TOwnedDialog(owner, ownerWindow) {
  SetName("AfterInst");
  BorderStyle = TFormBorderStyle::bsSingle;
  SetWideControlText(this, u"Pellix");
  SetBounds(0, 0, 566, 415);
  level_ = SecurityLevel == kSecurityCorrupted ? kSecurityExpiring : SecurityLevel.load();
  minutes_ = SecurityExpires;

  pnlTop = PlaceControl<TUniPanel>(*this, *this, "pnlTop", 0, 0, 566, 60);
  pnlTop->SetAlign(alTop);
  pnlTop->SetBevelOuter(bvNone);
  pnlTop->SetColor(clWhite);
  PlaceBoldLabel(*this, *pnlTop, "lblTop1", u"Pellix Wizard", 16, 12)->Transparent = true;
  PlaceLabel(*this, *pnlTop, "lblTop2", u"Browsing the Web has never been so easy\u2026", 28, 32)->Transparent = true;
  imgIcon = PlaceControl<TImage>(*this, *pnlTop, "imgIcon", 510, 0, 0, 0);
  LoadResourcePicture(*imgIcon, "WIZ_ICON");
  imgIcon->SetBounds(imgIcon->Left(), (pnlTop->Height() - imgIcon->Height()) / 2, imgIcon->Width(),
                     imgIcon->Height());

  pnlBottom = PlaceBottomPanel(*this, "pnlBottom", 48);
  lblBottom1 = PlaceLabel(*this, *pnlBottom, "lblBottom1", u"Click \"Next\" to continue.", 16, 18);
  lblAsterix0 = PlaceRequiredMark(*this, *pnlBottom, "lblAsterix0", 8, 16);
  lblBottom2 = PlaceLabel(*this, *pnlBottom, "lblBottom2", u"Fields marked with an asterisk are required.", 16, 18);
  butBack = PlaceButton(*this, *pnlBottom, "butBack", u"Back", 300, 12, mrNone);
  butBack->OnClick = [this](TObject*) { ShowPage(page_ - 1); };
  butNext = PlaceButton(*this, *pnlBottom, "butNext", u"Next", 380, 12, mrNone);
  butNext->SetDefault(true);
  butNext->OnClick = [this](TObject*) { NextClick(); };
  butCancel = PlaceButton(*this, *pnlBottom, "butCancel", u"Cancel", 474, 12, mrCancel);
  butCancel->Cancel = true;

  for (int i = 0; i < kLastPage; ++i) {
    Pages[i] = PlaceControl<TUniPanel>(*this, *this, "Page" + std::to_string(i + 1), 0, 0, 0, 0);
    Pages[i]->SetBevelOuter(bvNone);
    Pages[i]->SetAlign(alClient);
    Pages[i]->SetVisible(false);
  }
  BuildPage1(*Pages[0]);
  BuildPage2(*Pages[1]);
  BuildPage3(*Pages[2]);
  BuildPage4(*Pages[3]);
  helpMaster_ = std::make_unique<TImageHelp>(*helpImageMaster);
  helpPass_ = std::make_unique<TImageHelp>(*helpImagePass);
  TranslateForm(*this);
  ShowStrength(Strength, 0, kGreyTextColor, u"");
  FocusOnShow(*this, butNext);
  ShowPage(1);
}

TAfterInst::~TAfterInst() = default;

void TAfterInst::BuildPage1(TUniPanel& page) {
  imgWelcome = PlaceControl<TImage>(*this, page, "imgWelcome", 0, 0, 0, 0);
  LoadResourcePicture(*imgWelcome, "WIZ_IMG");
  const int left = imgWelcome->Width() + 20;
  const int width = 540 - left;
  PlaceBoldLabel(*this, page, "lblWelcome", u"Welcome to Pellix Wizard", left, 16);
  PlaceLabel(*this, page, "lblThanks", u"Thank you for installing Pellix. ", left, 48);
  PlaceWrappedLabel(*this, page, "lblComplete", u"Please complete this wizard to start using the application.", left,
                    68, width, 30);
  PlaceWrappedLabel(*this, page, "lblMust",
                    u"You must complete this wizard before you can start using the application.", left, 104, width, 30)
      ->Font()
      .SetStyle(fsBold);
  PlaceWrappedLabel(*this, page, "lblLater",
                    u"If you don't want to complete the wizard at this time, you can complete it later. You'll "
                    u"automatically be asked to complete the wizard the first time you attempt to use the "
                    u"application.",
                    left, 140, width, 60);
}

void TAfterInst::BuildPage2(TUniPanel& page) {
  PlaceBoldLabel(*this, page, "lblStep1", u"Step 1/2 \u2013 Master Password Settings", kLeft, 12);
  PlaceLabel(*this, page, "lblPrevents",
             u"Master Password prevents access to your personal data stored by Pellix. ", kLeft, 36);
  helpImageMaster = PlaceControl<TImage>(*this, page, "helpImageMaster", 520, 34, 16, 16);
  helpImageMaster->Tag = kHelpTopicMaster;
  PlaceWrappedLabel(*this, page, "lblRecommend",
                    u"We recommend you pick a password that you can easily remember, because password recovery is "
                    u"not available, in which case all stored information will be inaccessible.",
                    kLeft, 58, 510, 44)
      ->Font()
      .SetStyle(fsBold);
  PlaceBoldLabel(*this, page, "lblMaster", u"Master Password", kLeft, 110);
  PlaceLabel(*this, page, "lblEnter", u"Enter Your Master Password:", kLeft, 139);
  PlaceRequiredMark(*this, page, "lblAsterix1", kLeft - 8, 137);
  txtPassword1 = PlaceEdit(*this, page, "txtPassword1", kEditLeft, 136, kEditWidth, u'*');
  PlaceLabel(*this, page, "lblRetype", u"Re-type Your Master Password:", kLeft, 169);
  PlaceRequiredMark(*this, page, "lblAsterix2", kLeft - 8, 167);
  txtPassword2 = PlaceEdit(*this, page, "txtPassword2", kEditLeft, 166, kEditWidth, u'*');
  PlaceLabel(*this, page, "lblMin", u"Min. 6 characters", kEditLeft + kEditWidth + 8, 139)
      ->Font()
      .SetColor(kGreyTextColor);
  helpImagePass = PlaceControl<TImage>(*this, page, "helpImagePass", 520, 137, 16, 16);
  helpImagePass->Tag = kHelpTopicPassword;
  Strength = PlaceStrengthDisplay(*this, page, kLeft, 204);
  txtPassword1->OnChange = [this](TObject*) { PasswordChanged(); };
  txtPassword2->OnChange = [this](TObject*) { PasswordChanged(); };
  butAdvancedPwd = PlaceButton(*this, page, "butAdvancedPwd", u"Advanced Settings\u2026", kLeft, 240, mrNone);
  butAdvancedPwd->SetBounds(kLeft, 240, 130, butAdvancedPwd->Height());
  butAdvancedPwd->OnClick = [this](TObject*) { ChooseSecurityLevel(Handle(), level_, minutes_); };
}

void TAfterInst::BuildPage3(TUniPanel& page) {
  PlaceBoldLabel(*this, page, "lblStep2", u"Step 2/2 \u2013 Define Your First User Identity", kLeft, 12);
  PlaceWrappedLabel(*this, page, "lblSwitch",
                    u"Pellix lets you switch between defined identities when you want to fill in Web forms. You "
                    u"need to define at least one identity to be able to use the application.",
                    kLeft, 34, 510, 30);
  struct Row {
    const char* name;
    const char16_t* caption;
    TUniEdit** edit;
  };
  const Row rows[] = {
      {"txtIdentityName", u"Identity Name:", &txtIdentityName}, {"txtFirstName", u"First Name:", &txtFirstName},
      {"txtLastName", u"Last Name:", &txtLastName},             {"txtEmail", u"Email:", &txtEmail},
      {"txtAddress1", u"Address Line 1:", &txtAddress1},        {"txtAddress2", u"Address Line 2:", &txtAddress2},
      {"txtCity", u"City:", &txtCity},
  };
  int top = 72;
  for (const Row& row : rows) {
    PlaceLabel(*this, page, std::string("lbl") + (row.name + 3), row.caption, kLeft, top + 3);
    *row.edit = PlaceEdit(*this, page, row.name, 150, top, 250);
    top += 24;
  }
  auto* nameCaption = dynamic_cast<TUniLabel*>(FindComponent("lblIdentityName"));
  nameCaption->Font().SetStyle(fsBold);
  PlaceRequiredMark(*this, page, "lblAsterix3", kLeft - 8, 73);
  txtIdentityName->OnChange = [this](TObject*) { NameChanged(); };
  txtIdentityName->OnKeyPress = SwallowBar;
  PlaceLabel(*this, page, "lblZip", u"ZIP Code:", kLeft, top + 3);
  txtZip1 = PlaceEdit(*this, page, "txtZip1", 150, top, 70);
  txtZip1->SetMaxLength(5);
  PlaceLabel(*this, page, "lblZipSep", u"_", 224, top + 4);
  txtZip2 = PlaceEdit(*this, page, "txtZip2", 234, top, 50);
  txtZip2->SetMaxLength(4);
  top += 24;
  PlaceLabel(*this, page, "lblCountry", u"Country:", kLeft, top + 3);
  txtCountry = PlaceControl<TUniComboBox>(*this, page, "txtCountry", 150, top, 250, 21);
  txtCountry->Tag = kUntranslatedTag;
  FillCountryCombo(Countries, *txtCountry);
  if (txtCountry->Items().Count() > 0) txtCountry->SetItemIndex(0);
  top += 24;
  PlaceLabel(*this, page, "lblState", u"State:", kLeft, top + 3);
  txtState = PlaceControl<TUniComboBox>(*this, page, "txtState", 150, top, 250, 21);
  txtState->Tag = kUntranslatedTag;
  FillComboFromList(States, *txtState);
  butAdvancedID = PlaceButton(*this, page, "butAdvancedID", u"Additional Items\u2026", 410, top, mrNone);
  butAdvancedID->SetBounds(410, top, 120, butAdvancedID->Height());
  butAdvancedID->OnClick = [this](TObject*) { AdvancedIdentity(); };
}

void TAfterInst::BuildPage4(TUniPanel& page) {
  imgFinish = PlaceControl<TImage>(*this, page, "imgFinish", 0, 0, 0, 0);
  LoadResourcePicture(*imgFinish, "WIZ_IMG");
  const int left = imgFinish->Width() + 20;
  const int width = 540 - left;
  PlaceBoldLabel(*this, page, "lblFinished", u"Thank you for completing Pellix Wizard.", left, 16);
  PlaceLabel(*this, page, "lblReady", u"Your Pellix is ready to use.", left, 44);
  const char16_t* const texts[] = {
      u"Your personal and credit card information can now be safely stored in the Pellix settings on your "
      u"computer so you can fill in forms with a single click.",
      u"Visit the Pellix help section to learn more about how to use it.",
      u"You can add more information and adjust your preferences for using the application in the Pellix settings.",
      u"Now you'll be given the opportunity to save submitted forms as bookmarks for the time next time you visit "
      u"the bookmarked form.",
  };
  int top = 68;
  int number = 1;
  for (const char16_t* text : texts) {
    PlaceWrappedLabel(*this, page, "lblFinish" + std::to_string(number++), text, left, top, width, 42);
    top += 44;
  }
  UniLabel18 = PlaceLink(*this, page, "UniLabel18", u"Pellix Help", left, top + 4, [](TObject*) { OpenHelpPage(); });
}

void TAfterInst::ShowPage(int page) {
  if (page < 1 || page > kLastPage) return;
  page_ = page;
  lblBottom1->SetVisible(page == 1);
  lblBottom2->SetVisible(page == 2 || page == 3);
  lblAsterix0->SetVisible(page == 2 || page == 3);
  butCancel->SetVisible(page <= 3);
  butBack->SetVisible(page == 2 || page == 3);
  for (int i = 0; i < kLastPage; ++i) Pages[i]->SetVisible(i + 1 == page);
  butNext->SetCaption(Translate(page == kLastPage ? "Finish" : "Next"));
  if (page == 3) {
    NameChanged();
    if (CanFocus(txtIdentityName)) txtIdentityName->SetFocus();
  } else {
    butNext->SetEnabled(true);
  }
}

bool TAfterInst::PasswordsAccepted() {
  const std::u16string password = txtPassword1->Text();
  const char16_t* problem = nullptr;
  if (password.empty()) {
    problem = u"You need to set a Master Password to protect data stored by Pellix. Please fill in your Master "
              u"Password and retype it.";
  } else if (password.size() < kMinimumLength) {
    problem = u"Your Master Password must include a minimum of 6 characters.";
  } else if (txtPassword2->Text().empty()) {
    problem = u"Please retype the Master Password.";
  } else if (txtPassword2->Text() != password) {
    problem = u"Retyped password does not match with your Master Password.";
  }
  if (problem == nullptr) return true;
  Warn(Handle(), problem);
  return false;
}

void TAfterInst::NextClick() {
  if (page_ == 2 && !PasswordsAccepted()) return;
  if (page_ < kLastPage) {
    ShowPage(page_ + 1);
  } else if (Commit()) {
    ModalResult = mrOk;
  }
}

void TAfterInst::NameChanged() { butNext->SetEnabled(!WideTrim(txtIdentityName->Text()).empty()); }

void TAfterInst::PasswordChanged() {
  const std::u16string password = txtPassword1->Text();
  const int rating = formfill::RatePassword(password);
  ShowStrength(Strength, rating, kGreyTextColor, password.empty() ? u"" : Translate("Too short"));
}

void TAfterInst::CopyIntoEditor(TIdentityEdit& editor) {
  editor.txtName->SetText(txtIdentityName->Text());
  editor.txtFirstName->SetText(txtFirstName->Text());
  editor.txtLastName->SetText(txtLastName->Text());
  editor.txtEmail->SetText(txtEmail->Text());
  editor.txtAddress1->SetText(txtAddress1->Text());
  editor.txtAddress2->SetText(txtAddress2->Text());
  editor.txtCity->SetText(txtCity->Text());
  CopyCombo(*txtState, *editor.txtState);
  editor.txtZip1->SetText(txtZip1->Text());
  editor.txtZip2->SetText(txtZip2->Text());
  CopyCombo(*txtCountry, *editor.txtCountry);
  editor.NameChanged();
}

void TAfterInst::CopyFromEditor(TIdentityEdit& editor) {
  txtIdentityName->SetText(editor.txtName->Text());
  txtFirstName->SetText(editor.txtFirstName->Text());
  txtLastName->SetText(editor.txtLastName->Text());
  txtEmail->SetText(editor.txtEmail->Text());
  txtAddress1->SetText(editor.txtAddress1->Text());
  txtAddress2->SetText(editor.txtAddress2->Text());
  txtCity->SetText(editor.txtCity->Text());
  CopyCombo(*editor.txtState, *txtState);
  txtZip1->SetText(editor.txtZip1->Text());
  txtZip2->SetText(editor.txtZip2->Text());
  CopyCombo(*editor.txtCountry, *txtCountry);
  NameChanged();
}

// The identity editor with every field, for the values this page does not ask for; it
// is kept for the commit once it ended with Save.
void TAfterInst::AdvancedIdentity() {
  if (!advanced_) advanced_ = std::make_unique<TIdentityEdit>(Application, Handle(), false);
  CopyIntoEditor(*advanced_);
  if (advanced_->ShowModal() != mrOk) {
    advanced_.reset();
    return;
  }
  CopyFromEditor(*advanced_);
}

void TAfterInst::StoreValues(TIdentity& identity) {
  const std::u16string first = txtFirstName->Text();
  const std::u16string last = txtLastName->Text();
  const std::u16string zip1 = txtZip1->Text();
  const std::u16string zip2 = txtZip2->Text();
  identity.SetValue(u"IDENTITYNAME", WideTrim(txtIdentityName->Text()));
  identity.SetValue(u"LASTNAME", last);
  identity.SetValue(u"FIRSTNAME", first);
  identity.SetValue(u"NAME", first + (!first.empty() && !last.empty() ? u" " : u"") + last);
  identity.SetValue(u"EMAIL", txtEmail->Text());
  identity.SetValue(u"STREET1", txtAddress1->Text());
  identity.SetValue(u"STREET2", txtAddress2->Text());
  identity.SetValue(u"CITY", txtCity->Text());
  identity.SetValue(u"STATE", ListValueOfCombo(States, *txtState));
  identity.SetValue(u"COUNTRY", CountryValueOfCombo(Countries, *txtCountry));
  identity.SetValue(u"ZIP2", zip2);
  identity.SetValue(u"ZIP1", zip1);
  identity.SetValue(u"ZIP", zip1 + (!zip1.empty() && !zip2.empty() ? u"-" : u"") + zip2);
}

// Creates the identity, stores the security record and marks the program as set up.
// When the identity cannot be made nothing is written and the wizard stays open.
bool TAfterInst::Commit() {
  const std::u16string password = txtPassword1->Text();
  const std::u16string name = WideTrim(txtIdentityName->Text());
  {
    TListChange change(nullptr);
    std::u16string fileNo;
    if (!CreateIdentityFile(name, u"", fileNo) || !LoadAllData(fileNo, u"")) {
      MessageBoxW(Handle(), Translate("The identity could not be created.").c_str(), u"Pellix",
                  MB_OK | MB_ICONERROR);
      return false;
    }
    HasIdentities = true;
    if (!StoreMasterPassword(password, level_, minutes_)) LogError("the security record could not be stored");
    if (Config) Config->WriteString(u"IDENTITY", fileNo, true);
    FirstRunCompleted = true;
    if (ActiveIdentity) {
      StoreValues(*ActiveIdentity);
      if (advanced_) {
        CopyIntoEditor(*advanced_);
        advanced_->StoreIdentity();
      }
      if (!ActiveIdentity->SaveToFile()) LogError("the first identity could not be saved");
    }
  }
  StartToolbarMenuRefresh();
  return true;
}

bool RunAfterInstallWizard(TDialogLauncher& launcher, HWND owner) {
  auto wizard = std::make_unique<TAfterInst>(Application, owner);
  return launcher.RunModalSlot(TDialogSlot::AfterInstall, *wizard, owner) == mrOk;
}

void OpenHelpPage() {
  std::u16string address;
  if (Config) Config->ReadString(u"HELP_URL", address);
  ShellOpen(address.empty() ? kFaqAddress : platform::WideToAnsi(address));
}
