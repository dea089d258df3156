#include "app/dialog_launcher.h"

#include "support/debug_log.h"

const char* DialogKindName(TDialogKind kind) {
  switch (kind) {
    case TDialogKind::BookmarkBrowser: return "bookmark browser";
    case TDialogKind::HistoryBrowser: return "history browser";
    case TDialogKind::PasswordGenerator: return "password generator";
    case TDialogKind::Settings: return "settings";
    case TDialogKind::Splash: return "splash";
    case TDialogKind::HelpTopic: return "help topic";
  }
  return "unknown";
}

void TRecordingLauncher::Launch(TDialogKind kind, long argument) {
  LogMessage(std::string("window not available: ") + DialogKindName(kind) + " " + std::to_string(argument));
  std::lock_guard<std::mutex> guard(lock_);
  requests_.push_back({kind, argument});
}

std::vector<TDialogRequest> TRecordingLauncher::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}
