// The first-run wizard as the user works it, on a fresh data folder of the test's own:
// the pages and their buttons, the password checks and the strength display, the
// security level and the additional identity items it may open, the commit with wide
// values, a name that cannot become an identity, Cancel; its picture; and the first
// start of the program, whose main window opens it.
#include "app/after_inst.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/dialog_launcher.h"
#include "app/main_form.h"
#include "app/security_level_form.h"
#include "common/test_env.h"
#include "started_data.h"
#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_sysutils.h"
#include "data/app_services.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "data/password_key.h"
#include "platform/base/text.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_box.h"

namespace {

namespace input = platform::input_driver;
namespace boxes = platform::message_box_driver;
namespace modal = platform::modal_driver;

// A fresh install: the data layer started, no identity, no security record.
class AfterInstTest : public StartedDataTest {
 protected:
  static void Click(TWinControl& control) {
    input::Click(control.Handle(), 5, 5, VK_LBUTTON);
    input::RunPending();
  }
  std::u16string Setting(const char16_t* key) {
    std::u16string value;
    Config->ReadString(key, value);
    return value;
  }
};

TEST_F(AfterInstTest, PagesShowTheirButtonsAndPasswordsAreChecked) {
  TAfterInst wizard(nullptr, 0);
  wizard.Show();
  input::RunPending();
  EXPECT_EQ(wizard.Page(), 1);
  EXPECT_TRUE(wizard.lblBottom1->Visible());
  EXPECT_FALSE(wizard.butBack->Visible());
  EXPECT_FALSE(wizard.lblBottom2->Visible());
  Click(*wizard.butNext);
  EXPECT_EQ(wizard.Page(), 2);
  EXPECT_TRUE(wizard.butBack->Visible());
  EXPECT_TRUE(wizard.lblAsterix0->Visible());
  EXPECT_FALSE(wizard.lblBottom1->Visible());

  struct Case {
    const char16_t* first;
    const char16_t* second;
    const char16_t* warning;  // null: accepted
  };
  const Case cases[] = {
      {u"", u"", u"You need to set a Master Password to protect data stored by Pellix. Please fill in your Master "
                 u"Password and retype it."},
      {u"\u00e9cole", u"\u00e9cole", u"Your Master Password must include a minimum of 6 characters."},
      {u"\u00e9coles", u"", u"Please retype the Master Password."},
      {u"\u00e9coles", u"ecoles", u"Retyped password does not match with your Master Password."},
      {u"\u00e9coles", u"\u00e9coles", nullptr},
  };
  for (const Case& c : cases) {
    boxes::Clear();
    wizard.txtPassword1->SetText(u"");
    wizard.txtPassword2->SetText(u"");
    TypeInto(*wizard.txtPassword1, c.first);
    TypeInto(*wizard.txtPassword2, c.second);
    Click(*wizard.butNext);
    if (c.warning == nullptr) {
      EXPECT_TRUE(boxes::Shown().empty());
      EXPECT_EQ(wizard.Page(), 3);
      continue;
    }
    ASSERT_EQ(boxes::Shown().size(), 1u);
    EXPECT_EQ(boxes::Shown()[0].Text, c.warning);
    EXPECT_EQ(boxes::Shown()[0].Caption, u"Pellix");
    EXPECT_EQ(boxes::Shown()[0].Type & MB_ICONWARNING, MB_ICONWARNING);
    EXPECT_EQ(wizard.Page(), 2);
  }
  // Page 3 waits for a name; "|" never gets in.
  EXPECT_TRUE(wizard.txtIdentityName->Focused());
  EXPECT_FALSE(wizard.butNext->Enabled());
  input::Type(u"  ");
  input::RunPending();
  EXPECT_FALSE(wizard.butNext->Enabled());
  input::Type(u"a|b");
  input::RunPending();
  EXPECT_EQ(wizard.txtIdentityName->Text(), u"  ab");
  EXPECT_TRUE(wizard.butNext->Enabled());
  Click(*wizard.butBack);
  EXPECT_EQ(wizard.Page(), 2);
  EXPECT_TRUE(wizard.butNext->Enabled());
  Click(*wizard.butNext);
  Click(*wizard.butNext);
  EXPECT_EQ(wizard.Page(), 4);
  EXPECT_EQ(wizard.butNext->Caption(), u"Finish");
  EXPECT_FALSE(wizard.butCancel->Visible());
  EXPECT_FALSE(wizard.butBack->Visible());
}

TEST_F(AfterInstTest, StrengthDisplaySaysTooShortUntilSixCharacters) {
  TAfterInst wizard(nullptr, 0);
  struct Case {
    const char16_t* password;
    const char16_t* rating;
    int filled;
  };
  const Case cases[] = {
      {u"", u"", 0}, {u"a", u"Too short", 0}, {u"abcde", u"Too short", 0}, {u"abcdef", u"Weak", 1},
      {u"abcde1", u"Acceptable", 2}, {u"abcdefghi1", u"Strong", 3},
  };
  for (const Case& c : cases) {
    wizard.txtPassword1->SetText(c.password);
    EXPECT_EQ(wizard.Strength.Rating->Caption(), c.rating);
    EXPECT_EQ(wizard.Strength.Caption->Font().Color(), c.filled == 0 ? TColor(0x808080) : clWindowText);
    for (int box = 0; box < 3; ++box) {
      const TColor fill = box < c.filled ? 0x808080 : c.filled == 0 ? 0xEAF4F5 : 0xE0E0E0;
      EXPECT_EQ(wizard.Strength.Boxes[box]->Brush().Color(), fill) << box;
      EXPECT_EQ(wizard.Strength.Boxes[box]->Pen().Color(), c.filled == 0 ? TColor(0x9CAAAD) : TColor(0x808080));
    }
  }
}

// The whole way through, with a security level chosen: the identity, the security
// record and the set-up flag are written, and the values stay wide.
TEST_F(AfterInstTest, FinishSetsUpTheProgram) {
  modal::Answer([](TCustomForm& shown) {
    auto& wizard = dynamic_cast<TAfterInst&>(shown);
    Click(*wizard.butNext);
    TypeInto(*wizard.txtPassword1, u"\u0444\u0430\u0439\u043b\u0438 7");
    TypeInto(*wizard.txtPassword2, u"\u0444\u0430\u0439\u043b\u0438 7");
    Click(*wizard.butAdvancedPwd);  // answered by the next step
    Click(*wizard.butNext);
    TypeInto(*wizard.txtIdentityName, u" Z\u00fcrich ");
    TypeInto(*wizard.txtFirstName, u"Zo\u00eb");
    TypeInto(*wizard.txtCity, u"K\u00f8benhavn");
    TypeInto(*wizard.txtZip1, u"1234");
    wizard.txtCountry->SetItemIndex(wizard.txtCountry->Items().IndexOf(u"Canada"));
    wizard.txtState->SetText(u"ca");
    Click(*wizard.butNext);
    input::Key(VK_RETURN);  // Finish
  });
  modal::Answer([](TCustomForm& shown) {
    auto& level = dynamic_cast<TSecurityLevel&>(shown);
    level.trackSecLevel->SetPosition(3);
    level.txtExpires->SetText(u"15");
    level.ModalResult = mrOk;
  });
  TDialogLauncher launcher;
  ASSERT_TRUE(launcher.ShowAfterInstallWizard(0));
  EXPECT_TRUE(boxes::Shown().empty());
  EXPECT_TRUE(FirstRunCompleted);
  EXPECT_TRUE(HasIdentities);
  ASSERT_EQ(Identities->Lines.Count(), 1);
  EXPECT_EQ(Identities->GetName(0), u"Z\u00fcrich");
  const std::u16string fileNo = Identities->FileNo(0);
  EXPECT_EQ(ActiveIdentityNo, fileNo);
  EXPECT_EQ(Setting(u"IDENTITY"), fileNo);
  EXPECT_EQ(SecurityLevel, kSecurityAlways);
  EXPECT_EQ(SecurityExpires, 15);
  EXPECT_NE(UnlockTime, 0);
  EXPECT_TRUE(MasterPasswordMatches(u"\u0444\u0430\u0439\u043b\u0438 7", MasterCrypt));
  MasterCrypt.clear();
  ASSERT_TRUE(ApplySecurityRecord(platform::WideToAnsi(Setting(u"SECURITY"))));
  EXPECT_TRUE(MasterPasswordMatches(u"\u0444\u0430\u0439\u043b\u0438 7", MasterCrypt));

  TIdentity identity(IdentityFilePath(fileNo));
  ASSERT_TRUE(identity.LoadFromFile(u""));
  struct Case {
    const char16_t* key;
    std::u16string value;
  };
  const Case cases[] = {
      {u"IDENTITYNAME", u"Z\u00fcrich"}, {u"FIRSTNAME", u"Zo\u00eb"}, {u"NAME", u"Zo\u00eb"},
      {u"CITY", u"K\u00f8benhavn"},        {u"ZIP1", u"1234"},          {u"ZIP", u"1234"},
      {u"STATE", u"California\tCA"},        {u"COUNTRY", WideStringReplace(Countries.Strings(2), u"=", u"\t", false, rfReplaceAll)},
  };
  for (const Case& c : cases) EXPECT_EQ(identity.GetValue(c.key), c.value) << platform::WideToAnsi(c.key);
}

// The additional items: the editor gets the page's values, its own values win at the
// commit, and its name comes back to the page.
TEST_F(AfterInstTest, AdditionalItemsGoIntoTheIdentity) {
  TAfterInst wizard(nullptr, 0);
  wizard.Show();
  wizard.ShowPage(3);
  input::RunPending();
  TypeInto(*wizard.txtIdentityName, u"Home");
  TypeInto(*wizard.txtLastName, u"Smith");
  TypeInto(*wizard.txtZip2, u"5678");
  modal::Answer([](TCustomForm& shown) {
    auto& editor = dynamic_cast<TIdentityEdit&>(shown);
    EXPECT_EQ(editor.txtName->Text(), u"Home");
    EXPECT_EQ(editor.txtZip2->Text(), u"5678");
    editor.txtName->SetText(u"Home \u00e9t\u00e9");
    editor.txtMiddleName->SetText(u"Q");
    editor.EditOf(u"CCNUM")->SetText(u"4111");
    editor.txtZip1->SetText(u"12");
    input::Click(editor.butSave->Handle(), 5, 5, VK_LBUTTON);
  });
  Click(*wizard.butAdvancedID);
  ASSERT_NE(wizard.AdvancedEditor(), nullptr);
  EXPECT_EQ(wizard.txtIdentityName->Text(), u"Home \u00e9t\u00e9");
  EXPECT_EQ(wizard.txtZip1->Text(), u"12");
  wizard.ShowPage(2);
  wizard.txtPassword1->SetText(u"secret");
  wizard.txtPassword2->SetText(u"secret");
  wizard.ShowPage(4);
  Click(*wizard.butNext);
  EXPECT_EQ(wizard.ModalResult, mrOk);
  TIdentity& identity = *ActiveIdentity;
  EXPECT_EQ(identity.GetValue(u"CCNUM"), u"4111");
  EXPECT_EQ(identity.GetValue(u"NAME"), u"Q Smith") << "the editor's NAME wins";
  EXPECT_EQ(identity.GetValue(u"ZIP"), u"12-5678");
  EXPECT_EQ(Identities->GetName(0), u"Home \u00e9t\u00e9");

  // An editor that is cancelled is forgotten.
  wizard.ShowPage(3);
  modal::Answer([](TCustomForm& shown) { shown.ModalResult = mrCancel; });
  Click(*wizard.butAdvancedID);
  EXPECT_EQ(wizard.AdvancedEditor(), nullptr);
}

// A name that cannot become an identity file: the wizard says so, writes nothing and
// stays open; a good name then finishes it.
TEST_F(AfterInstTest, AnIdentityThatCannotBeMadeKeepsTheWizardOpen) {
  TAfterInst wizard(nullptr, 0);
  wizard.Show();
  wizard.txtPassword1->SetText(u"secret");
  wizard.txtPassword2->SetText(u"secret");
  wizard.txtIdentityName->SetText(u"a=b");
  wizard.ShowPage(4);
  input::RunPending();
  Click(*wizard.butNext);
  EXPECT_EQ(wizard.ModalResult, mrNone);
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Type & MB_ICONERROR, MB_ICONERROR);
  EXPECT_FALSE(FirstRunCompleted);
  EXPECT_EQ(Setting(u"SECURITY"), u"");
  EXPECT_EQ(Identities->Lines.Count(), 0);
  wizard.ShowPage(3);
  wizard.txtIdentityName->SetText(u"ab");
  wizard.ShowPage(4);
  Click(*wizard.butNext);
  EXPECT_EQ(wizard.ModalResult, mrOk);
  EXPECT_TRUE(FirstRunCompleted);
}

TEST_F(AfterInstTest, CancelLeavesEverythingAsItWas) {
  modal::Answer([](TCustomForm& shown) {
    auto& wizard = dynamic_cast<TAfterInst&>(shown);
    Click(*wizard.butNext);
    TypeInto(*wizard.txtPassword1, u"secret");
    input::Key(VK_ESCAPE);
  });
  TDialogLauncher launcher;
  EXPECT_FALSE(launcher.ShowAfterInstallWizard(0));
  EXPECT_FALSE(FirstRunCompleted);
  EXPECT_EQ(Setting(u"SECURITY"), u"");
  EXPECT_EQ(Identities->Lines.Count(), 0);
}

TEST_F(AfterInstTest, Picture) {
  TAfterInst wizard(nullptr, 0);
  wizard.ShowPage(2);
  wizard.txtPassword1->SetText(u"abc");
  wizard.Show();
  app_.ProcessMessages();
  auto picture = platform::gdi::WindowPicture(wizard.Handle());
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../app/first_run_wizard.png", 2), "");
}

// A first start: the main window's timer opens the wizard through the program's own
// launcher; once it is finished the program is set up and its tray menu is there.
const bool kFirstStart = pellix_test::RegisterChildRole("first-start", [](const std::vector<std::string>&) {
  StandaloneMode = true;
  InitData(true);
  if (FirstRunCompleted || HasIdentities) return 10;
  TApplication application(nullptr);
  StartUniApplication();
  TDialogLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  modal::Answer([](TCustomForm& shown) {
    auto* wizard = dynamic_cast<TAfterInst*>(&shown);
    if (wizard == nullptr) return;
    input::Type(u"\n");
    input::RunPending();
    wizard->txtPassword1->SetFocus();
    input::Type(u"secret\tsecret\n");
    input::RunPending();
    input::Type(u"First\n\n");
  });
  form.MainFormTimerTimer();
  if (!FirstRunCompleted) return 11;
  if (modal::Shown() != std::vector<std::string>{"TAfterInst"}) return 12;
  if (!Identities || Identities->GetName(0) != u"First") return 13;
  form.TrayMenuPopup();
  if (form.TrayMenu->Items()->Count() == 0) return 14;
  FinishUniApplication();
  return 0;
});

TEST(FirstStart, TheMainWindowOpensTheWizardAndTheProgramIsSetUp) {
  ASSERT_EQ(pellix_test::RunChild("first-start"), 0);
}

}  // namespace
