#include "app/command_line_switches.h"

#include <gtest/gtest.h>

namespace {

struct SwitchCase {
  std::vector<std::string> arguments;
  TStartCode code;
  std::uint8_t postCode;
};

TEST(CommandLineSwitches, FirstArgumentNamesTheStartCode) {
  const SwitchCase cases[] = {
      {{}, scNormal, kNoCommand},
      {{""}, scNormal, kNoCommand},
      {{"-"}, scNormal, kNoCommand},
      {{"/-/"}, scNormal, kNoCommand},
      {{"--/SHOWHISTORY"}, scShowHistory, 12},
      {{"/showbookmarks"}, scShowBookmarks, 11},
      {{"-ShowPwdGen"}, scShowPwdGen, 13},
      {{"settings"}, scSettings, 14},
      {{"stop", "ignored"}, scStop, kNoCommand},
      {{"backup"}, scBackup, kNoCommand},
      {{"regsrv"}, scRegServer, kNoCommand},
      {{"regserver"}, scRegServer, kNoCommand},
      {{"unregserver"}, scUnregServer, kNoCommand},
      {{"install"}, scInstall, kNoCommand},
      {{"uninstall"}, scUninstall, kNoCommand},
      {{"afterinstall"}, scAfterInstall, kNoCommand},
      {{"showurl", "http://x"}, scShowUrl, kNoCommand},
      {{"help", "3"}, scHelp, kNoCommand},
      {{"startup"}, scStartup, kNoCommand},
      {{"Automation"}, scEmbedding, kNoCommand},
      {{"embedding"}, scEmbedding, kNoCommand},
      {{"stopp"}, scNormal, kNoCommand},
      {{"show history"}, scNormal, kNoCommand},
      {{"x-stop"}, scNormal, kNoCommand},
  };
  for (const auto& c : cases) {
    const std::string label = c.arguments.empty() ? "(none)" : c.arguments[0];
    const TStartCode code = ParseCommandLine(c.arguments);
    EXPECT_EQ(code, c.code) << label;
    EXPECT_EQ(PostCodeFor(code), c.postCode) << label;
  }
}

}  // namespace
