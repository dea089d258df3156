#include "app/notice_windows.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/recording_launcher.h"
#include "app/user_lists.h"
#include "platform/base/clock.h"
#include "platform/classlib/std_ctrls.h"

namespace {

namespace modal = platform::modal_driver;

using NoticeWindowsTest = UserListsTest;

void Tick(TCustomForm& form, const char* box) {
  dynamic_cast<TCustomCheckBox*>(form.FindComponent(box))->SetChecked(true);
}

// Each notice shows unless its setting switched it off; ticking "Do not show this
// message again" switches it off.
TEST_F(NoticeWindowsTest, FillNoticesFollowTheirSwitches) {
  ASSERT_TRUE(Config->WriteBool(u"SHOW_MESS_NO_FILL", false));
  for (int code : {kNoticeNoForms, kNoticeNoFill, kNoticeAlreadyFilled}) ShowFillNotice(0, code);
  EXPECT_EQ(modal::Shown().size(), 2u) << "notice 1 is switched off";
  modal::Answer([](TCustomForm& notice) {
    Tick(notice, "UniCheckBox2");
    notice.ModalResult = mrOk;
  });
  ShowFillNotice(0, kNoticeMoreForms);
  bool show = true;
  EXPECT_TRUE(Config->ReadBool(u"SHOW_MESS_MORE_FORMS_SUBMIT", show));
  EXPECT_FALSE(show);
  ShowFillNotice(0, kNoticeMoreForms);
  ShowFillNotice(0, 7);
  EXPECT_EQ(modal::Shown().size(), 3u) << "switched off now; an unknown code shows nothing";
}

TEST_F(NoticeWindowsTest, TheIdentityQuestion) {
  ASSERT_TRUE(Config->WriteBool(u"AUTO_ADD_IDENT", false));
  EXPECT_EQ(AskAddToIdentity(0, u"Home"), 2) << "switched off: no window";
  EXPECT_TRUE(modal::Shown().empty());
  ASSERT_TRUE(Config->WriteBool(u"AUTO_ADD_IDENT", true));
  modal::Answer([](TCustomForm& question) { question.ModalResult = IDYES; });
  EXPECT_EQ(AskAddToIdentity(0, u"Home"), IDYES);
  EXPECT_EQ(AskAddToIdentity(0, u"Home"), IDNO) << "no one answering counts as No";
  modal::Answer([](TCustomForm& question) {
    Tick(question, "UniCheckBox1");
    question.ModalResult = IDNO;
  });
  EXPECT_EQ(AskAddToIdentity(0, u"Home"), IDNO);
  bool ask = true;
  EXPECT_TRUE(Config->ReadBool(u"AUTO_ADD_IDENT", ask));
  EXPECT_FALSE(ask);
}

TEST_F(NoticeWindowsTest, TheCloseDialogAsksUnlessSwitchedOff) {
  TRecordingLauncher launcher;
  EXPECT_FALSE(AskClose(launcher)) << "no one answering: the program stays";
  modal::Answer([](TCustomForm& dialog) {
    Tick(dialog, "UniCheckBox2");
    dynamic_cast<TButton*>(dialog.FindComponent("butSave"))->Click();
  });
  EXPECT_TRUE(AskClose(launcher));
  EXPECT_NE(launcher.Slot(TDialogSlot::CloseForm), 0u);
  EXPECT_EQ(modal::Shown().size(), 2u);
  EXPECT_TRUE(AskClose(launcher)) << "\"Don't show this message again\" was ticked";
  EXPECT_EQ(modal::Shown().size(), 2u);
}

// The notices and questions open in the middle of the screen, not at its corner.
TEST_F(NoticeWindowsTest, NoticesAndQuestionsAreCentredOnTheScreen) {
  const struct {
    const char* what;
    std::function<void()> show;
  } cases[] = {
      {"fill notice", [] { ShowFillNotice(0, kNoticeNoForms); }},
      {"identity question", [] { AskAddToIdentity(0, u"Home"); }},
      {"autofill notice", [] { ShowAutoFillForm(0); }},
  };
  for (const auto& c : cases) {
    RECT shown{};
    modal::Answer([&](TCustomForm& form) {
      shown = {form.Left(), form.Top(), form.Left() + form.Width(), form.Top() + form.Height()};
      form.ModalResult = mrOk;
    });
    c.show();
    ASSERT_GT(shown.right, shown.left) << c.what;
    EXPECT_NEAR((shown.left + shown.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1) << c.what;
    EXPECT_NEAR((shown.top + shown.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1) << c.what;
  }
}

TEST_F(NoticeWindowsTest, TheSplashClosesItselfAfterThreeSeconds) {
  platform::test_clock::Freeze(1000, 45000.0);
  ShowSplashWindow();
  EXPECT_EQ(SplashWindowsOpen(), 1);
  platform::test_clock::Advance(3000);
  for (int i = 0; i < 5; ++i) app_.ProcessMessages();
  EXPECT_EQ(SplashWindowsOpen(), 0);
  platform::test_clock::Release();
}

}  // namespace
