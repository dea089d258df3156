#include "app/dialog_launcher.h"

#include <gtest/gtest.h>

#include "app/form_translation.h"
#include "app/help_window.h"
#include "common/test_env.h"
#include "platform/classlib/forms.h"
#include "platform/win/window.h"

namespace {

class DialogLauncherTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::modal_driver::Clear(); }
  TApplication app_{nullptr};
};

// An open window of a slot comes to the front (and flashes) instead of a second one;
// a slot whose window is gone opens anew, and a window the program lacks is counted as
// cancelled.
TEST_F(DialogLauncherTest, AnOpenWindowComesToTheFrontInsteadOfASecond) {
  TDialogLauncher launcher;
  TForm other(nullptr);
  other.Show();
  TForm ignoreList(nullptr);
  ignoreList.Show();
  launcher.SetSlot(TDialogSlot::IgnoreList, ignoreList.Handle());
  EXPECT_TRUE(launcher.AnyDialogOpen());
  SetForegroundWindow(other.Handle());
  EXPECT_TRUE(launcher.ShowIgnoreList(0));
  EXPECT_EQ(GetForegroundWindow(), ignoreList.Handle());
  EXPECT_EQ(platform::win::detail::FlashCount(ignoreList.Handle()), 1);
  EXPECT_EQ(launcher.Unavailable(), 0);

  ignoreList.HandleNeeded();
  const HWND gone = ignoreList.Handle();
  DestroyWindow(gone);
  EXPECT_FALSE(launcher.AnyDialogOpen()) << "a handle counts only while it is a window";
  EXPECT_TRUE(launcher.ShowIgnoreList(0));
  EXPECT_NE(launcher.Slot(TDialogSlot::IgnoreList), gone);
  EXPECT_TRUE(launcher.AnyDialogOpen()) << "opened anew";
  EXPECT_EQ(launcher.Unavailable(), 0);
  std::u16string password = u"stale";
  EXPECT_FALSE(launcher.AskVaultPassword(0, true, u"", password));
  EXPECT_TRUE(password.empty());
  EXPECT_EQ(launcher.Unavailable(), 1);
  launcher.ClearDialogTable();
  EXPECT_EQ(launcher.Slot(TDialogSlot::IgnoreList), 0u);
}

// Headless no one answers a modal window: a queued step does, otherwise it ends at
// once as cancelled instead of waiting for ever.
TEST_F(DialogLauncherTest, AModalWindowTakesAQueuedAnswerOrEndsCancelled) {
  TDialogLauncher launcher;
  TForm form(nullptr);
  platform::modal_driver::Answer([](TCustomForm& shown) { shown.ModalResult = mrOk; });
  EXPECT_EQ(launcher.RunModalSlot(TDialogSlot::CloseForm, form, 0), mrOk);
  EXPECT_EQ(launcher.Slot(TDialogSlot::CloseForm), form.Handle());
  EXPECT_EQ(launcher.RunModalSlot(TDialogSlot::CloseForm, form, 0), mrCancel);
  EXPECT_EQ(platform::modal_driver::Shown(), (std::vector<std::string>{"TForm", "TForm"}));
}

TEST(HelpWindow, EveryPlaceholderOfTheAddressTakesTheTopic) {
  EXPECT_EQ(HelpAddress(u"http://help.test/%S/x?t=%s", u"2747"), u"http://help.test/2747/x?t=2747");
  EXPECT_EQ(HelpAddress(u"", u"12").find(u"12"), HelpAddress(u"", u"").size()) << "the built-in one ends in it";
  EXPECT_EQ(HelpAddress(u"http://help.test/100%", u"1"), u"http://help.test/100%");
}

TEST(FormTranslation, LongHintsAreWrappedAfterSixtyCharacters) {
  struct Case {
    std::u16string hint;
    std::u16string wrapped;
  };
  const std::u16string word = u"abcdefghi ";  // ten characters
  std::u16string long150;
  for (int i = 0; i < 15; ++i) long150 += word;
  std::u16string expected;
  for (int i = 0; i < 15; ++i) expected += (i == 6 || i == 13) ? u"abcdefghi\r" : word;
  const Case cases[] = {
      {u"short\r\nhint", u"short hint"},
      {long150, expected},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapHint(c.hint), c.wrapped);
}

}  // namespace
