#include "app/dialog_launcher.h"

#include "controls/unicode/uni_sysutils.h"
#include "platform/kernel/terminal.h"
#include "support/debug_log.h"
#include "support/translator.h"

namespace {

// The prompt's texts without their bold marks: the terminal shows plain text.
std::u16string Plain(std::u16string text) {
  for (std::u16string_view mark : {u"<b>", u"</b>"}) text = WideStringReplace(text, mark, u"", false, rfReplaceAll);
  return text;
}

// The master password, or a named vault's, asked on the controlling terminal.
bool AskPasswordOnTerminal(bool isMaster, const std::u16string& vaultName, std::u16string& password) {
  const std::u16string text =
      isMaster ? Translate("Enter Your <b>Master Password</b> to unlock the application.")
               : WideStringReplace(Translate("Enter your password to unlock the \"<b>%VAULT_NAME</b>\" vault."),
                                   u"%VAULT_NAME", vaultName, false, rfReplaceAll | rfIgnoreCase);
  return platform::terminal::ReadSecret(Translate("Pellix - Enter Password"), Plain(text),
                                        Translate(isMaster ? "Master Password:" : "Password:"), password);
}

}  // namespace

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

bool TRecordingLauncher::AskVaultPassword(HWND owner, bool isMaster, const std::u16string& text,
                                          std::u16string& password) {
  Launch(TDialogKind::VaultPassword, static_cast<long>(owner));
  return AskPasswordOnTerminal(isMaster, text, password);
}

bool TRecordingLauncher::ShowCloseDialog() {
  Launch(TDialogKind::CloseForm, 0);
  return false;
}

std::vector<TDialogRequest> TRecordingLauncher::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}
