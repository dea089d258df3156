#include "data/app_services.h"

#include <gtest/gtest.h>

#include "data/recording_app_services.h"

namespace {

TEST(AppServicesTest, WithoutTheShellEveryCallFailsClosed) {
  EXPECT_FALSE(PostToMainWindow(kCmdFormSubmitted, 7));
  EXPECT_EQ(SendToMainWindow(kCmdCreateFloat, 7), 0);
  EXPECT_FALSE(CheckUnlock(0, 0, false));
  EXPECT_FALSE(IsUnlocked());
}

TEST(AppServicesTest, CallsReachTheInstalledShellWithTheirArguments) {
  RecordingAppServices shell;
  shell.sendAnswer = 42;
  shell.unlocked = false;
  EXPECT_TRUE(PostToMainWindow(kCmdFormSubmitted, 7));
  EXPECT_EQ(SendToMainWindow(kCmdCreateFloat, 9), 42);
  EXPECT_FALSE(CheckUnlock(12, 1, true));
  EXPECT_FALSE(IsUnlocked());
  auto calls = shell.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].kind, RecordedCall::kPost);
  EXPECT_EQ(calls[0].command, 4u);
  EXPECT_EQ(calls[0].argument, 7);
  EXPECT_EQ(calls[1].kind, RecordedCall::kSend);
  EXPECT_EQ(calls[2].kind, RecordedCall::kCheckUnlock);
  EXPECT_EQ(calls[2].owner, 12u);
  EXPECT_EQ(calls[2].flag, 1);
  EXPECT_TRUE(calls[2].mayAsk);
  EXPECT_EQ(calls[3].kind, RecordedCall::kIsUnlocked);
}

}  // namespace
