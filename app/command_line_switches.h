// The program's command-line switch: the first argument, read without regard to case
// and to any leading "-" and "/" characters, names the start code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/app_services.h"

enum TStartCode : std::uint8_t {
  scRegServer = 0,
  scUnregServer = 1,
  scInstall = 2,
  scUninstall = 3,
  scAfterInstall = 4,
  scStop = 5,
  scShowUrl = 6,
  scShowBookmarks = 7,
  scShowHistory = 8,
  scShowPwdGen = 9,
  scSettings = 10,
  scHelp = 11,
  scEmbedding = 12,
  scStandAlone = 13,
  scStartup = 14,
  scNormal = 15,
  scBackup = 16,
};

// The main window's commands that the start-up hands on.
inline constexpr std::uint8_t kNoCommand = kCmdNone;
inline constexpr std::uint8_t kShowCommand = kCmdShowApplication;

// Arguments after the program's own name.
TStartCode ParseCommandLine(const std::vector<std::string>& arguments);

// The command a show switch turns into (11 to 14), kNoCommand for any other code.
std::uint8_t PostCodeFor(TStartCode code);
