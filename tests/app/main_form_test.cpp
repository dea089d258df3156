#include "app/main_form.h"

#include <gtest/gtest.h>

#include "data/data_startup.h"

namespace {

struct CommandCase {
  WPARAM command;
  LPARAM argument;
  std::vector<TDialogRequest> opened;
};

TEST(MainForm, CommandsOpenTheirWindowsAndOnlyTheLowSevenBitsCount) {
  const CommandCase cases[] = {
      {10, 0, {{TDialogKind::Splash, 0}}},
      {11, 0, {{TDialogKind::BookmarkBrowser, 0}}},
      {12, 0, {{TDialogKind::HistoryBrowser, 0}}},
      {13, 0, {{TDialogKind::PasswordGenerator, 0}}},
      {14, 3, {{TDialogKind::Settings, 3}}},
      {0x80 | 12, 0, {{TDialogKind::HistoryBrowser, 0}}},
      {20, 0, {}},
      {0x7F, 0, {}},
  };
  for (const auto& c : cases) {
    TRecordingLauncher launcher;
    TMainForm form(launcher);
    EXPECT_EQ(form.HandleCommand(c.command, c.argument), 0) << c.command;
    EXPECT_EQ(launcher.Requests(), c.opened) << c.command;
  }
}

TEST(MainForm, StopCommandHidesTheTrayIcon) {
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  TrayIconShown = true;
  form.HandleCommand(kHideTrayCommand, 0);
  EXPECT_FALSE(TrayIconShown);
}

// The start command runs once when the gate passes, and is dropped (not retried)
// when it fails.
TEST(MainForm, StartCommandRunsOnceBehindTheGate) {
  struct GateCase {
    std::int32_t level;
    std::vector<TDialogRequest> opened;
    std::uint8_t commandLeft;
  };
  const GateCase cases[] = {
      {kSecurityNone, {{TDialogKind::PasswordGenerator, 0}}, kNoCommand},
      {kSecurityAlways, {}, 13},
  };
  for (const auto& c : cases) {
    SecurityLevel = c.level;
    TRecordingLauncher launcher;
    TMainForm form(launcher);
    InstallAppServices(&form);
    form.StartCommand = 13;
    form.MainFormTimerTimer();
    form.MainFormTimerTimer();
    EXPECT_EQ(launcher.Requests(), c.opened) << c.level;
    EXPECT_EQ(form.StartCommand, c.commandLeft) << c.level;
  }
  SecurityLevel = kSecurityNone;
}

}  // namespace
