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
    case TDialogKind::VaultPassword: return "vault password";
    case TDialogKind::FormSubmitted: return "form submitted";
    case TDialogKind::PasswordFieldMenu: return "password field menu";
    case TDialogKind::MenuCommand: return "menu command";
    case TDialogKind::AutoFillNotice: return "auto-fill notice";
    case TDialogKind::FillPage: return "fill page";
    case TDialogKind::FirstRunWizard: return "first-run wizard";
    case TDialogKind::CloseForm: return "close dialog";
  }
  return "unknown";
}

void TRecordingLauncher::Launch(TDialogKind kind, long argument) {
  LogMessage(std::string("window not available: ") + DialogKindName(kind) + " " + std::to_string(argument));
  std::lock_guard<std::mutex> guard(lock_);
  requests_.push_back({kind, argument});
}

bool TRecordingLauncher::AskVaultPassword(HWND owner, bool, const std::u16string&, std::u16string& password) {
  Launch(TDialogKind::VaultPassword, static_cast<long>(owner));
  password.clear();
  return false;
}

bool TRecordingLauncher::ShowCloseDialog() {
  Launch(TDialogKind::CloseForm, 0);
  return false;
}

std::vector<TDialogRequest> TRecordingLauncher::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}
