#include "platform/win/message_box.h"

#include <gtest/gtest.h>

#include "platform/base/errors.h"

namespace {

namespace driver = platform::message_box_driver;

TEST(MessageBox, OnlyAQueuedAnswerAnswersAQuestion) {
  driver::Clear();
  SetLastError(0);
  EXPECT_EQ(MessageBoxW(0, u"Saved.", u"Pellix - Backup", MB_OK | MB_ICONINFORMATION), IDOK) << "nothing to choose";
  EXPECT_EQ(MessageBoxW(0, u"Go on?", u"Pellix", MB_YESNO | MB_ICONQUESTION), 0) << "no answer is guessed";
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

  driver::Answer(IDNO);
  driver::Answer(IDYES);
  EXPECT_EQ(MessageBoxW(0, u"First?", u"Pellix", MB_YESNO), IDNO) << "answers are taken in order";
  EXPECT_EQ(MessageBoxW(0, u"Second?", u"Pellix", MB_YESNO), IDYES);

  const auto shown = driver::Shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].Caption, u"Pellix - Backup");
  EXPECT_EQ(shown[1].Result, 0);
  EXPECT_EQ(shown[3].Text, u"Second?");
  driver::Clear();
  EXPECT_TRUE(driver::Shown().empty());
}

}  // namespace
