// The identity editor as the user works it, on a data folder of the test's own: the
// list combo boxes and how stored values find their items again, the composite fields
// with their parts, the birth-date check, Save for a new and for an existing identity
// through the launcher, an identity that cannot be read; the identity switch question;
// and the pictures of both windows.
#include "app/ident_edit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/dialog_launcher.h"
#include "common/test_env.h"
#include "started_data.h"
#include "controls/unicode/uni_forms.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "platform/base/text.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_box.h"
#include "platform/win/scroll.h"

namespace {

namespace input = platform::input_driver;
namespace boxes = platform::message_box_driver;

// A user with one identity, "Home", active.
class IdentityEditTest : public StartedDataTest {
 protected:
  void SetUp() override {
    StartedDataTest::SetUp();
    ASSERT_TRUE(CreateIdentityFile(u"Home", u"", home_));
    ASSERT_TRUE(LoadAllData(home_, u""));
    ASSERT_TRUE(Config->WriteString(u"IDENTITY", home_));
  }
  // The identity's values as its file holds them.
  static std::unique_ptr<TIdentity> Reread(const std::u16string& fileNo) {
    auto identity = std::make_unique<TIdentity>(IdentityFilePath(fileNo));
    EXPECT_TRUE(identity->LoadFromFile(u""));
    return identity;
  }
  std::u16string home_;
};

TEST_F(IdentityEditTest, ListCombosShowTheirValuesAndFindStoredOnesAgain) {
  TIdentityEdit editor(nullptr, 0, false);
  TUniComboBox& country = *editor.txtCountry;
  ASSERT_EQ(country.Items().Count(), Countries.Count() - 1);
  const int india = country.Items().IndexOf(u"India - \u092d\u093e\u0930\u0924");
  ASSERT_GE(india, 0);
  // A stored country line finds its own item, not the first one that contains its name.
  SelectComboByStored(Countries.Strings(india + 1), country);
  EXPECT_EQ(country.ItemIndex(), india);
  EXPECT_EQ(CountryValueOfCombo(Countries, country), Countries.Strings(india + 1));
  SelectComboByStored(u"Indi", country);
  EXPECT_EQ(country.Items().Strings(country.ItemIndex()).substr(0, 7), u"British") << "a part, when no whole item";
  country.SetItemIndex(-1);
  country.SetText(u"  united STATES ");
  EXPECT_EQ(CountryValueOfCombo(Countries, country), Countries.Strings(1)) << "typed by hand, without case";
  SelectComboByStored(u"Atlantis\tnowhere", country);
  EXPECT_EQ(country.Text(), u"Atlantis\tnowhere");

  TUniComboBox& state = *editor.txtState;
  ASSERT_EQ(state.Items().Strings(0), u"Alaska");
  state.SetItemIndex(-1);
  state.SetText(u"ca");
  EXPECT_EQ(ListValueOfCombo(States, state), u"California\tCA") << "the name typed";
  state.SetText(u"california ");
  EXPECT_EQ(ListValueOfCombo(States, state), u"California\tCA") << "the value typed";
  EXPECT_EQ(state.ItemIndex(), -1);
  state.SetText(u"Neverland");
  EXPECT_EQ(ListValueOfCombo(States, state), u"Neverland");
  SelectComboByStored(u"California\tCA", state);
  EXPECT_EQ(state.Text(), u"California");
}

// What the user types into the parts is stored part by part and joined.
TEST_F(IdentityEditTest, CompositeFieldsStoreTheirPartsAndTheJoinedValue) {
  TIdentityEdit editor(nullptr, 0, false);
  ASSERT_TRUE(editor.LoadIdentity(home_));
  editor.Show();
  input::RunPending();
  auto parts = [&](const char16_t* key) { return dynamic_cast<TIdentEditParts&>(*editor.FieldOf(key)).Parts; };
  // Two digits of the month move on to the day, two of the day on to the year.
  TypeInto(*parts(u"BIRTHDATE")[0].Edit, u"0507 1980");
  TypeInto(*parts(u"SSN")[0].Edit, u"123");
  TypeInto(*parts(u"SSN")[2].Edit, u"6789");
  TypeInto(*parts(u"PHONE")[3].Edit, u"42");
  TypeInto(*parts(u"HOMEPHONE")[0].Edit, u"555");
  TypeInto(*parts(u"HOMEPHONE")[2].Edit, u"1234");
  TypeInto(*editor.txtZip2, u"6789");
  input::RunPending();
  EXPECT_EQ(parts(u"BIRTHDATE")[2].Edit->Text(), u" 198") << "four characters at most";
  auto& expires = dynamic_cast<TIdentCCDate&>(*editor.FieldOf(u"CCEXPDATE"));
  expires.Month->SetItemIndex(expires.Month->Items().IndexOf(u"3"));
  expires.Year->SetItemIndex(expires.Year->Items().IndexOf(expires.Year->Items().Strings(12)));
  const std::u16string year = expires.Year->Text();
  editor.EditOf(u"FIRSTNAME")->SetText(u"Zo\u00eb");
  editor.EditOf(u"LASTNAME")->SetText(u"\u0424\u0430\u0439");
  editor.StoreIdentity();

  TIdentity& home = *ActiveIdentity;
  struct Case {
    const char16_t* key;
    std::u16string value;
  };
  const Case cases[] = {
      {u"BIRTHDATE_MONTH", u"05\t5"}, {u"BIRTHDATE_DAY", u"07\t7"},  {u"BIRTHDATE_YEAR", u"198"},
      {u"BIRTHDATE", u"05/07/198"},   {u"SSN1", u"123"},            {u"SSN2", u""},
      {u"SSN", u"123-6789"},          {u"PHONE", u"42"},            {u"PHONE_EXT", u"42"},
      {u"HOMEPHONE", u"555-1234"},    {u"ZIP", u"6789"},            {u"ZIP1", u""},
      {u"CCEXPDATE_MONTH", u"3\t03"}, {u"CCEXPDATE", u"3/" + year}, {u"CCVALID", u""},
      {u"NAME", u"Zo\u00eb \u0424\u0430\u0439"},
  };
  for (const Case& c : cases) EXPECT_EQ(home.GetValue(c.key), c.value) << platform::WideToAnsi(c.key);

  // Loaded again: the parts come back, a card year beyond the listed ones is kept.
  home.SetValue(u"CCVALID_YEAR", u"1990");
  home.SetValue(u"CCVALID_MONTH", u"11");
  TIdentityEdit again(nullptr, 0, false);
  ASSERT_TRUE(again.LoadIdentity(home_));
  auto& valid = dynamic_cast<TIdentCCDate&>(*again.FieldOf(u"CCVALID"));
  EXPECT_EQ(valid.Year->Text(), u"1990");
  EXPECT_EQ(valid.Month->Text(), u"11");
  EXPECT_EQ(dynamic_cast<TIdentCCDate&>(*again.FieldOf(u"CCEXPDATE")).Month->Text(), u"3");
  EXPECT_EQ(dynamic_cast<TIdentEditParts&>(*again.FieldOf(u"BIRTHDATE")).Parts[0].Edit->Text(), u"05");
  EXPECT_EQ(again.txtZip2->Text(), u"6789");
  EXPECT_EQ(again.EditOf(u"LASTNAME")->Text(), u"\u0424\u0430\u0439");
}

// Leaving a birth-date part with an impossible date says so and goes back to it; an
// incomplete date is not checked.
TEST_F(IdentityEditTest, BirthDateIsCheckedWhenLeft) {
  TIdentityEdit editor(nullptr, 0, false);
  editor.Show();
  input::RunPending();
  auto& date = dynamic_cast<TIdentEditParts&>(*editor.FieldOf(u"BIRTHDATE"));
  TypeInto(*date.Parts[0].Edit, u"2");
  input::Key(VK_TAB);
  input::Type(u"30\t");
  input::RunPending();
  EXPECT_TRUE(boxes::Shown().empty()) << "no year yet";
  date.Parts[2].Edit->SetFocus();
  input::Type(u"2024\t");
  input::RunPending();
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text, u"Entered date is not correct!");
  EXPECT_EQ(boxes::Shown()[0].Caption, u"Pellix - Birth Date");
  EXPECT_EQ(boxes::Shown()[0].Owner, editor.Handle());
  EXPECT_TRUE(date.Parts[2].Edit->Focused());
  EXPECT_TRUE(IsValidBirthDate(u"2", u"29", u"2024"));
  EXPECT_FALSE(IsValidBirthDate(u"2", u"29", u"2023"));
  EXPECT_FALSE(IsValidBirthDate(u"13", u"1", u"2023"));
  EXPECT_FALSE(IsValidBirthDate(u"x", u"1", u"2023"));
}

// Tab goes through a page's fields in order, and each field that takes the focus comes
// into view on its scrolled page.
TEST_F(IdentityEditTest, TheFocusedFieldComesIntoView) {
  TIdentityEdit editor(nullptr, 0, false);
  editor.Show();
  editor.Pages->SetActivePage(editor.Tabs[1]);
  input::RunPending();
  TUniEdit* skype = editor.EditOf(u"SKYPENAME");
  editor.EditOf(u"EMAIL")->SetFocus();
  int tabs = 0;
  for (; tabs < 40 && !skype->Focused(); ++tabs) {
    input::Key(VK_TAB);
    input::RunPending();
  }
  ASSERT_TRUE(skype->Focused());
  auto* box = dynamic_cast<TScrollingWinControl*>(skype->Parent());
  ASSERT_NE(box, nullptr);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(box->Handle(), SB_VERT, &info));
  EXPECT_GT(info.nMax + 1, static_cast<int>(info.nPage)) << "the page is longer than the box";
  EXPECT_EQ(info.nPos, box->VertScrollPosition());
  EXPECT_GT(box->VertScrollPosition(), 0);
  EXPECT_EQ(tabs, 5 * 4 + 7) << "five phones of four parts, then seven edits";
  RECT client;
  GetClientRect(skype->Parent()->Handle(), &client);
  EXPECT_GE(skype->Top(), 0);
  EXPECT_LE(skype->Top() + skype->Height(), client.bottom);
}

TEST_F(IdentityEditTest, NameRuleAndItsCaption) {
  TIdentityEdit editor(nullptr, 0, true);
  editor.Show();
  input::RunPending();
  EXPECT_FALSE(editor.butSave->Enabled());
  TypeInto(*editor.txtName, u"   ");
  input::RunPending();
  EXPECT_FALSE(editor.butSave->Enabled()) << "blanks only";
  input::Type(u"W|ork \u00e9");
  input::RunPending();
  EXPECT_EQ(editor.txtName->Text(), u"   Work \u00e9");
  EXPECT_EQ(editor.lblIdentityName->Caption(), u"   Work \u00e9");
  EXPECT_TRUE(editor.butSave->Enabled());
  EXPECT_EQ(editor.IdentityName(), u"Work \u00e9");
}

// A new identity: a name in use keeps the editor open; Save makes the identity, which
// becomes the active one with the values typed.
TEST_F(IdentityEditTest, NewIdentityIsCreatedActivatedAndStored) {
  TDialogLauncher launcher;
  platform::modal_driver::Answer([](TCustomForm& shown) {
    auto& editor = dynamic_cast<TIdentityEdit&>(shown);
    TypeInto(*editor.txtName, u"Home\n");  // in use: the editor stays
    input::Key(VK_END);
    input::Type(u" \u00e9t\u00e9");
    input::RunPending();
    editor.Pages->SetActivePage(editor.Tabs[3]);
    TypeInto(*editor.txtCity, u"K\u00f8benhavn");
    input::Click(editor.butSave->Handle(), 5, 5, VK_LBUTTON);
  });
  EXPECT_TRUE(launcher.ShowIdentityEditor(0, u"", true));
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text, u"Identity Name already exists!");
  EXPECT_EQ(boxes::Shown()[0].Type & MB_ICONWARNING, MB_ICONWARNING);
  ASSERT_EQ(Identities->Lines.Count(), 2);
  EXPECT_EQ(Identities->GetName(1), u"Home \u00e9t\u00e9");
  const std::u16string fileNo = Identities->FileNo(1);
  EXPECT_EQ(ActiveIdentityNo, fileNo);
  std::u16string setting;
  Config->ReadString(u"IDENTITY", setting);
  EXPECT_EQ(setting, fileNo);
  EXPECT_EQ(Reread(fileNo)->GetValue(u"CITY"), u"K\u00f8benhavn");
  EXPECT_EQ(Reread(home_)->GetValue(u"CITY"), u"") << "the old identity is untouched";
  EXPECT_EQ(launcher.Slot(TDialogSlot::IdentityEditor) != 0, true);
}

// An existing identity (not the active one) is edited and renamed; Cancel stores
// nothing.
TEST_F(IdentityEditTest, ExistingIdentityIsEditedAndRenamed) {
  std::u16string work;
  ASSERT_TRUE(CreateIdentityFile(u"Work", u"", work));
  {
    TIdentity identity(IdentityFilePath(work));
    ASSERT_TRUE(identity.LoadFromFile(u""));
    identity.SetValue(u"EMAIL", u"me@work.test");
    identity.SetValue(u"COUNTRY", Countries.Strings(2));
    ASSERT_TRUE(identity.SaveToFile());
  }
  TDialogLauncher launcher;
  platform::modal_driver::Answer([](TCustomForm& shown) {
    auto& editor = dynamic_cast<TIdentityEdit&>(shown);
    EXPECT_EQ(editor.txtName->Text(), u"Work");
    EXPECT_EQ(editor.txtEmail->Text(), u"me@work.test");
    EXPECT_EQ(editor.txtCountry->ItemIndex(), 1);
    editor.txtName->SetFocus();
    input::Key(VK_END);
    input::Type(u" \u65e5\u672c");
    input::Key(VK_ESCAPE);
  });
  EXPECT_FALSE(launcher.ShowIdentityEditor(0, u"Work", false));
  EXPECT_EQ(Identities->GetName(1), u"Work");
  platform::modal_driver::Answer([](TCustomForm& shown) {
    auto& editor = dynamic_cast<TIdentityEdit&>(shown);
    editor.txtName->SetFocus();
    input::Key(VK_END);
    input::Type(u" \u65e5\u672c");
    editor.txtEmail->SetText(u"");
    input::Key(VK_RETURN);
  });
  EXPECT_TRUE(launcher.ShowIdentityEditor(0, u"Work", false));
  EXPECT_EQ(Identities->GetName(1), u"Work \u65e5\u672c");
  TIdentities saved;
  ASSERT_TRUE(saved.LoadFromFile());
  EXPECT_EQ(saved.GetName(1), u"Work \u65e5\u672c");
  auto reread = Reread(work);
  EXPECT_EQ(reread->GetValue(u"EMAIL"), u"");
  EXPECT_EQ(reread->GetValue(u"COUNTRY"), Countries.Strings(2));
  EXPECT_EQ(ActiveIdentityNo, home_) << "editing does not switch";
}

// An identity with a password of its own cannot be read here: it is not opened, and
// never written back empty.
TEST_F(IdentityEditTest, AnUnreadableIdentityIsNeverSavedEmpty) {
  std::u16string locked;
  ASSERT_TRUE(CreateIdentityFile(u"Locked", u"its own", locked));
  const std::string before = pellix_test::ReadBytes(IdentityFilePath(locked));
  TIdentityEdit editor(nullptr, 0, false);
  EXPECT_FALSE(editor.LoadIdentity(locked));
  EXPECT_EQ(editor.TargetIdentity(), nullptr);
  editor.StoreIdentity();
  TDialogLauncher launcher;
  EXPECT_FALSE(launcher.ShowIdentityEditor(0, u"Locked", false));
  EXPECT_TRUE(platform::modal_driver::Shown().empty()) << "the editor is not shown";
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Type & MB_ICONERROR, MB_ICONERROR);
  EXPECT_EQ(pellix_test::ReadBytes(IdentityFilePath(locked)), before);
}

TEST_F(IdentityEditTest, IdentitySwitchAnswersTheCheckedChoice) {
  struct Case {
    std::function<void(TChangeIdentityForm&)> user;
    int answer;
  };
  const Case cases[] = {
      {[](TChangeIdentityForm&) { input::Key(VK_RETURN); }, 1},
      {[](TChangeIdentityForm& form) {
         input::Click(form.Choices[2]->Handle(), 3, 3, VK_LBUTTON);
         input::Key(VK_RETURN);
       },
       3},
      {[](TChangeIdentityForm& form) {
         input::Click(form.Choices[1]->Handle(), 3, 3, VK_LBUTTON);
         input::Key(VK_RETURN);
       },
       2},
      {[](TChangeIdentityForm& form) {
         input::Click(form.Choices[3]->Handle(), 3, 3, VK_LBUTTON);
         input::Key(VK_RETURN);
       },
       0},
      {[](TChangeIdentityForm& form) {
         input::Click(form.Choices[1]->Handle(), 3, 3, VK_LBUTTON);
         input::Key(VK_ESCAPE);
       },
       0},
  };
  TDialogLauncher launcher;
  for (const Case& c : cases) {
    platform::modal_driver::Answer([&](TCustomForm& shown) { c.user(dynamic_cast<TChangeIdentityForm&>(shown)); });
    EXPECT_EQ(launcher.AskIdentityChange(0), c.answer);
  }
}

TEST_F(IdentityEditTest, Pictures) {
  TIdentityEdit editor(nullptr, 0, false);
  ASSERT_TRUE(editor.LoadIdentity(home_));
  editor.EditOf(u"FIRSTNAME")->SetText(u"Zo\u00eb");
  editor.Show();
  TChangeIdentityForm question(nullptr);
  question.Show();
  app_.ProcessMessages();
  for (auto [form, name] : {std::pair<TCustomForm*, const char*>{&editor, "../app/identity_editor.png"},
                            {&question, "../app/identity_change.png"}}) {
    auto picture = platform::gdi::WindowPicture(form->Handle());
    ASSERT_TRUE(picture);
    EXPECT_EQ(pellix_test::CompareWithExpected(*picture, name, 2), "");
  }
}

}  // namespace
