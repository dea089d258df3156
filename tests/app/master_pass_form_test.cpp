// The master password window as the user works it: Save follows the current password,
// the rating and the retyped password; Save keeps the new security record and counts
// as an unlock; an unreadable record is never written back; and its picture.
#include "app/master_pass_form.h"

#include <gtest/gtest.h>

#include <memory>

#include "data/password_key.h"
#include "platform/base/text.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "controls/unicode/uni_forms.h"
#include "user_lists.h"

namespace {

namespace input = platform::input_driver;

class MasterPassTest : public UserListsTest {
 protected:
  void SetUp() override {
    UserListsTest::SetUp();
    StartUniApplication();
    MasterCrypt.clear();
    UnlockTime = 0;
  }
  void TearDown() override {
    MasterCrypt.clear();
    UnlockTime = 0;
    SecurityExpires = 60;
    FinishUniApplication();
    UserListsTest::TearDown();
  }
  // A master password already set, as the data start-up reads it.
  static void SetMasterPassword(const std::u16string& password, std::int32_t level) {
    ASSERT_TRUE(ApplySecurityRecord(MakeSecurityRecord(password, level, 60)));
    UnlockTime = 0;
  }
  std::u16string StoredRecord() {
    std::u16string record;
    Config->ReadString(u"SECURITY", record);
    return record;
  }
  static void TypeInto(TUniEdit& edit, const std::u16string& text) {
    input::Click(edit.Handle(), 3, 3, VK_LBUTTON);
    input::Type(text);
    input::RunPending();
  }
};

// The first master password: no current one; Save waits for 6 characters typed twice.
TEST_F(MasterPassTest, SaveFollowsTheRatingAndTheRetypedPassword) {
  TMasterPassForm form(nullptr, 0);
  form.Show();
  input::RunPending();
  EXPECT_FALSE(form.butSave->Enabled());
  EXPECT_EQ(form.Strength.Rating->Caption(), u"");
  TypeInto(*form.txtPassword1, u"abcde");
  EXPECT_EQ(form.Strength.Rating->Caption(), u"") << "no \"Too short\" here";
  EXPECT_EQ(form.Strength.Caption->Font().Color(), clGrayText);
  input::Type(u"f");
  input::Key(VK_TAB);
  input::Type(u"abcde");
  input::RunPending();
  EXPECT_EQ(form.Strength.Rating->Caption(), u"Weak");
  EXPECT_EQ(form.Strength.Boxes[0]->Brush().Color(), TColor(0x808080));
  EXPECT_EQ(form.Strength.Boxes[1]->Brush().Color(), TColor(0xE0E0E0));
  EXPECT_FALSE(form.butSave->Enabled()) << "the retyped one differs";
  input::Type(u"f");
  input::RunPending();
  EXPECT_TRUE(form.butSave->Enabled());
  form.txtPassword1->SetFocus();
  input::Key(VK_END);
  input::Type(u"12345");  // now 11 characters, letters and digits
  input::RunPending();
  EXPECT_EQ(form.Strength.Rating->Caption(), u"Strong");
  EXPECT_EQ(form.Strength.Boxes[2]->Brush().Color(), TColor(0x808080));
  EXPECT_FALSE(form.butSave->Enabled());
}

// With a master password, the current one must be given and right; at an unreadable
// record (level 99) nothing opens Save.
TEST_F(MasterPassTest, TheCurrentPasswordMustBeRight) {
  struct Case {
    const char* name;
    std::int32_t level;
    const char16_t* current;
    bool enabled;
  };
  const Case cases[] = {
      {"empty", kSecurityExpiring, u"", false},
      {"wrong", kSecurityExpiring, u"wrong one", false},
      {"right", kSecurityExpiring, u"old secret", true},
  };
  for (const Case& c : cases) {
    SetMasterPassword(u"old secret", c.level);
    TMasterPassForm form(nullptr, 0);
    form.Show();
    input::RunPending();
    TypeInto(*form.txtCurrentPwd, c.current);
    TypeInto(*form.txtPassword1, u"new secret");
    TypeInto(*form.txtPassword2, u"new secret");
    EXPECT_EQ(form.butSave->Enabled(), c.enabled) << c.name;
  }
  MasterCrypt.clear();
  SecurityLevel = kSecurityCorrupted;
  TMasterPassForm form(nullptr, 0);
  form.Show();
  input::RunPending();
  TypeInto(*form.txtPassword1, u"new secret");
  TypeInto(*form.txtPassword2, u"new secret");
  EXPECT_FALSE(form.butSave->Enabled()) << "an unreadable record accepts no empty current password";
}

// Save stores the record (and the unlock); the program now knows the new password.
TEST_F(MasterPassTest, SaveStoresTheNewRecordAndUnlocks) {
  SetMasterPassword(u"old secret", kSecurityAlways);
  platform::modal_driver::Answer([](TCustomForm& shown) {
    auto& form = dynamic_cast<TMasterPassForm&>(shown);
    form.txtCurrentPwd->SetFocus();
    input::Type(u"old secret\t\u0444\u0430\u0439\u043b 2026\tx");
    input::Key(VK_BACK);
    input::Type(u"\u0444\u0430\u0439\u043b 2026\n");
  });
  EXPECT_TRUE(ChangeMasterPassword(0));
  EXPECT_TRUE(MasterPasswordMatches(u"\u0444\u0430\u0439\u043b 2026", MasterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"old secret", MasterCrypt));
  EXPECT_NE(UnlockTime, 0);
  EXPECT_EQ(SecurityLevel, kSecurityAlways);
  const std::string stored = platform::WideToAnsi(StoredRecord());
  MasterCrypt.clear();
  ASSERT_TRUE(ApplySecurityRecord(stored));
  EXPECT_TRUE(MasterPasswordMatches(u"\u0444\u0430\u0439\u043b 2026", MasterCrypt));

  // Escape leaves everything as it was.
  const std::u16string before = StoredRecord();
  platform::modal_driver::Answer([](TCustomForm& shown) {
    auto& form = dynamic_cast<TMasterPassForm&>(shown);
    form.txtPassword1->SetFocus();
    input::Type(u"another one\tanother one");
    input::Key(VK_ESCAPE);
  });
  EXPECT_FALSE(ChangeMasterPassword(0));
  EXPECT_EQ(StoredRecord(), before);
}

TEST_F(MasterPassTest, StoringNeverKeepsAnEmptyPasswordOrLevel99) {
  EXPECT_FALSE(StoreMasterPassword(u"", kSecurityOnce, 60));
  EXPECT_EQ(StoredRecord(), u"");
  EXPECT_EQ(UnlockTime, 0);
  ASSERT_TRUE(StoreMasterPassword(u"secret", kSecurityCorrupted, 15));
  EXPECT_EQ(SecurityLevel, kSecurityExpiring);
  EXPECT_EQ(SecurityExpires, 15);
  SecurityLevel = kSecurityCorrupted;
  ASSERT_TRUE(ApplySecurityRecord(platform::WideToAnsi(StoredRecord())));
  EXPECT_EQ(SecurityLevel, kSecurityExpiring);
}

TEST_F(MasterPassTest, Picture) {
  TMasterPassForm form(nullptr, 0);
  form.txtPassword1->SetText(u"abcdefgh");
  form.Show();
  app_.ProcessMessages();
  auto picture = platform::gdi::WindowPicture(form.Handle());
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../app/master_password.png", 2), "");
}

}  // namespace
