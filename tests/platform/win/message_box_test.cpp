#include "platform/win/message_box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "common/test_env.h"
#include "platform/base/errors.h"

namespace {

namespace driver = platform::message_box_driver;

// A notice, then a question; the exit code is the answer, 100 + the last error when
// there is none.
const bool kAskRole = pellix_test::RegisterChildRole("ask", [](const std::vector<std::string>&) {
  MessageBoxW(0, u"Saved to /tmp.", u"Pellix - Backup", MB_OK | MB_ICONINFORMATION);
  const int answer = MessageBoxW(0, u"Really?", u"Pellix", MB_OKCANCEL | MB_ICONQUESTION);
  return answer != 0 ? answer : 100 + static_cast<int>(GetLastError() % 100);
});

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

// On a terminal a notice is written and a question asks for its buttons as keys;
// an input that ends before the answer is no answer.
TEST(MessageBox, QuestionsGoToTheTerminal) {
  struct Case {
    std::string line;
    int exitCode;
  };
  const Case cases[] = {{"c\n", IDCANCEL}, {"ok\n", IDOK}, {"\x04", 100 + ERROR_OPERATION_ABORTED % 100}};
  for (const Case& c : cases) {
    int master = -1;
    const int child = pellix_test::StartOnTerminal(pellix_test::RoleCommand("ask"), master);
    std::string seen;
    ASSERT_TRUE(pellix_test::ReadUntil(master, "[O]K / [C]ancel? ", seen)) << seen;
    EXPECT_NE(seen.find("Pellix - Backup\r\nSaved to /tmp.\r\n\r\nPellix\r\nReally?\r\n"), std::string::npos)
        << seen;
    ASSERT_EQ(write(master, c.line.data(), c.line.size()), static_cast<ssize_t>(c.line.size()));
    EXPECT_EQ(pellix_test::WaitChild(child), c.exitCode) << seen;
    close(master);
  }
  // Without a terminal (a test's standard input is /dev/null) the question fails.
  EXPECT_EQ(pellix_test::RunChild("ask"), 100 + ERROR_NOT_SUPPORTED % 100);
}

}  // namespace
