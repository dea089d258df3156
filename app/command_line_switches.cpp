#include "app/command_line_switches.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

constexpr std::pair<const char*, TStartCode> kSwitches[] = {
    {"backup", scBackup},         {"regserver", scRegServer},         {"regsrv", scRegServer},
    {"unregserver", scUnregServer}, {"install", scInstall},           {"uninstall", scUninstall},
    {"afterinstall", scAfterInstall}, {"showurl", scShowUrl},         {"showbookmarks", scShowBookmarks},
    {"showhistory", scShowHistory}, {"showpwdgen", scShowPwdGen},     {"startup", scStartup},
    {"settings", scSettings},     {"help", scHelp},                   {"stop", scStop},
    {"embedding", scEmbedding},   {"automation", scEmbedding},
};

}  // namespace

TStartCode ParseCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return scNormal;
  std::string word = arguments[0];
  std::transform(word.begin(), word.end(), word.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  word.erase(0, word.find_first_not_of("-/") == std::string::npos ? word.size() : word.find_first_not_of("-/"));
  for (const auto& [name, code] : kSwitches) {
    if (word == name) return code;
  }
  return scNormal;
}

std::uint8_t PostCodeFor(TStartCode code) {
  switch (code) {
    case scShowBookmarks: return kCmdShowBookmarks;
    case scShowHistory: return kCmdShowHistory;
    case scShowPwdGen: return kCmdShowPasswordGenerator;
    case scSettings: return kCmdShowSettings;
    default: return kNoCommand;
  }
}
