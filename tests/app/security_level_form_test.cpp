// The security level window as the user works it: the slider by keys and mouse, the
// minutes edit that takes digits only, "Default", OK and Cancel; and its picture.
#include "app/security_level_form.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "support/translator.h"

namespace {

namespace input = platform::input_driver;

class SecurityLevelTest : public testing::Test {
 protected:
  void TearDown() override {
    platform::modal_driver::Clear();
    Translator().SetTexts("");
  }
  // The screen point of a slider position (the thumb's middle).
  static void ClickLevel(TTrackBar& track, int level) {
    const int length = track.Height() - 14;
    input::Click(track.Handle(), track.Width() / 2, 7 + level * length / 3, VK_LBUTTON);
  }
  TApplication app_{nullptr};
};

// Each level shows its texts; the minutes edit takes part for levels 2 and 3 only.
TEST_F(SecurityLevelTest, SliderShowsTheLevelAndItsMinutesEdit) {
  TSecurityLevel form(nullptr, 0);
  form.Show();
  input::RunPending();
  struct Case {
    int key;
    int level;
    const char16_t* caption;
    bool expires;
  };
  form.trackSecLevel->SetFocus();
  const Case cases[] = {
      {VK_DOWN, 1, u"Password Required Upon Application Start Only", false},
      {VK_DOWN, 2, u"Time Expiring Password", true},
      {VK_END, 3, u"Constant Password Protection", true},
      {VK_DOWN, 3, u"Constant Password Protection", true},
      {VK_HOME, 0, u"Password Protection Disabled", false},
      {VK_UP, 0, u"Password Protection Disabled", false},
  };
  for (const Case& c : cases) {
    input::Key(c.key);
    input::RunPending();
    EXPECT_EQ(form.trackSecLevel->Position(), c.level);
    EXPECT_EQ(form.lblLevelCaption->Caption(), c.caption);
    EXPECT_EQ(form.txtExpires->Enabled(), c.expires);
    EXPECT_EQ(form.lblExpire->Enabled(), c.expires);
    EXPECT_EQ(form.lblLevelDef->Caption(), c.level == 2 ? u"(Default)" : u"");
  }
  EXPECT_EQ(form.lblLevelDesc->Caption(),
            u"Application is not protected, and all personal data can be accessed without any password. This "
            u"setting is not recommended unless you're the only user of the computer.");
  ClickLevel(*form.trackSecLevel, 2);
  input::RunPending();
  EXPECT_EQ(form.trackSecLevel->Position(), 2);
  // The help picture follows the definition, which follows the caption.
  EXPECT_EQ(form.lblLevelDef->Left(), form.lblLevelCaption->Left() + form.lblLevelCaption->Width() + 5);
  EXPECT_EQ(form.helpImage->Left(), form.lblLevelDef->Left() + form.lblLevelDef->Width() + 6);
  form.ShowLevel(7);
  EXPECT_EQ(form.trackSecLevel->Position(), 2) << "a level out of range is ignored";
}

// The minutes edit drops letters and holds three digits at most.
TEST_F(SecurityLevelTest, MinutesTakeDigitsOnly) {
  TSecurityLevel form(nullptr, 0);
  form.ShowLevel(2);
  form.Show();
  input::RunPending();
  EXPECT_EQ(form.txtExpires->Text(), u"30");
  input::Click(form.txtExpires->Handle(), 2, 2, VK_LBUTTON);
  input::Key(VK_HOME);
  input::Chord({VK_SHIFT, VK_END});
  input::Type(u"1a-2\u00e93 45");
  input::RunPending();
  EXPECT_EQ(form.txtExpires->Text(), u"123");
  input::Key(VK_BACK);
  input::Key(VK_LEFT);
  input::Key(VK_DELETE);
  input::RunPending();
  EXPECT_EQ(form.txtExpires->Text(), u"1");
}

// OK hands back the slider's level and the minutes; a minutes text that is no number
// keeps the previous minutes; Cancel changes nothing; "Default" is level 2, 60 minutes.
TEST_F(SecurityLevelTest, OkAnswersLevelAndMinutesAndCancelNothing) {
  struct Case {
    const char* name;
    std::function<void(TSecurityLevel&)> user;
    bool answer;
    std::int32_t level, minutes;
  };
  const Case cases[] = {
      {"keys and typing",
       [](TSecurityLevel& form) {
         form.trackSecLevel->SetFocus();
         input::Key(VK_DOWN);
         input::Key(VK_TAB);  // into the minutes
         input::Key(VK_HOME);
         input::Chord({VK_SHIFT, VK_END});
         input::Type(u"90\n");
       },
       true, 3, 90},
      {"mouse and an emptied edit",
       [](TSecurityLevel& form) {
         ClickLevel(*form.trackSecLevel, 0);
         form.txtExpires->SetText(u"");
         input::Click(form.butOK->Handle(), 5, 5, VK_LBUTTON);
       },
       true, 0, 45},
      {"default",
       [](TSecurityLevel& form) {
         ClickLevel(*form.trackSecLevel, 1);
         input::Click(form.butDefault->Handle(), 5, 5, VK_LBUTTON);
         input::Click(form.butOK->Handle(), 5, 5, VK_LBUTTON);
       },
       true, 2, 60},
      {"cancel", [](TSecurityLevel&) { input::Key(VK_ESCAPE); }, false, 2, 45},
  };
  for (const Case& c : cases) {
    platform::modal_driver::Answer([&](TCustomForm& shown) { c.user(dynamic_cast<TSecurityLevel&>(shown)); });
    std::int32_t level = 2, minutes = 45;
    EXPECT_EQ(ChooseSecurityLevel(0, level, minutes), c.answer) << c.name;
    EXPECT_EQ(level, c.level) << c.name;
    EXPECT_EQ(minutes, c.minutes) << c.name;
  }
}

TEST_F(SecurityLevelTest, TextsAreTranslated) {
  Translator().SetTexts("[SecurityLevel]\r\nbutCancel_Caption=Abbrechen\r\n");
  TSecurityLevel form(nullptr, 0);
  EXPECT_EQ(form.butCancel->Caption(), u"Abbrechen");
}

TEST_F(SecurityLevelTest, Picture) {
  TSecurityLevel form(nullptr, 0);
  form.ShowLevel(2);
  form.Show();
  app_.ProcessMessages();
  auto picture = platform::gdi::WindowPicture(form.Handle());
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../app/security_level.png", 2), "");
}

}  // namespace
