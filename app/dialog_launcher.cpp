#include "app/dialog_launcher.h"

#include "app/after_inst.h"
#include "app/form_translation.h"
#include "app/help_window.h"
#include "app/ident_edit.h"
#include "app/ignore_list_form.h"
#include "app/master_pass_form.h"
#include "app/notice_windows.h"
#include "app/password_windows.h"
#include "app/record_editor.h"
#include "app/security_level_form.h"
#include "app/vault_pwd_form.h"
#include "data/ignore_lists.h"
#include "data/menu_messages.h"
#include "controls/unicode/uni_sysutils.h"
#include "platform/base/errors.h"
#include "platform/classlib/forms.h"
#include "platform/kernel/terminal.h"
#include "platform/win/metrics.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/registry_access.h"
#include "support/translator.h"

namespace {

constexpr char kQuindleKey[] = "Software\\Quindle\\";

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

bool TDialogLauncher::NotAvailable(const char* window) {
  LogMessage(std::string("window not available, counted as cancelled: ") + window);
  ++unavailable_;
  return false;
}

bool TDialogLauncher::ShowAfterInstallWizard(HWND owner) {
  return FrontIfOpen(TDialogSlot::AfterInstall) || RunAfterInstallWizard(*this, owner);
}

bool TDialogLauncher::ShowPasswordWindow(HWND owner, std::shared_ptr<formfill::TInputPasswordContext> context,
                                         const std::u16string& password) {
  if (FrontIfOpen(TDialogSlot::PasswordShow)) return true;
  ShowModeless(TDialogSlot::PasswordShow, *new TPasswordShow(*this, owner, std::move(context), password), owner);
  return true;
}

bool TDialogLauncher::ShowPasswordGeneratorWindow(HWND owner, std::shared_ptr<formfill::TInputPasswordContext> context,
                                                  const std::u16string& password) {
  if (FrontIfOpen(TDialogSlot::PasswordGenerator)) return true;
  auto* form = new TPasswordGen(*this, owner, std::move(context), password);
  form->butHistory->SetEnabled(!IsOpen(TDialogSlot::PasswordHistory));
  ShowModeless(TDialogSlot::PasswordGenerator, *form, owner);
  return true;
}

bool TDialogLauncher::ShowPasswordHistoryWindow(HWND owner) {
  if (FrontIfOpen(TDialogSlot::PasswordHistory)) return true;
  auto* form = new TFormPasswordHistory(*this, owner);
  form->LoadList();
  ShowModeless(TDialogSlot::PasswordHistory, *form, owner);
  return true;
}

bool TDialogLauncher::ShowIdentityEditor(HWND owner, const std::u16string& name, bool isNew) {
  return FrontIfOpen(TDialogSlot::IdentityEditor) || RunIdentityEditor(*this, owner, name, isNew);
}

// The prompt window; when no one can answer it (no screen), the password is asked on
// the controlling terminal, when the program runs on one.
bool TDialogLauncher::AskVaultPassword(HWND owner, bool isMaster, const std::u16string& text,
                                       std::u16string& password) {
  password.clear();
  // An open prompt comes to the front; this request is not the one it answers.
  if (FrontIfOpen(TDialogSlot::VaultPassword)) return false;
  TVaultPwdForm form(Application, owner);
  form.IsMaster = isMaster;
  form.VaultName = text;
  TranslateForm(form);
  form.PrepareTexts();
  SetLastError(ERROR_SUCCESS);
  if (RunModalSlot(TDialogSlot::VaultPassword, form, owner) == mrOk) {
    password = form.txtPassword->Text();
    return true;
  }
  if (GetLastError() != ERROR_NOT_SUPPORTED) return false;
  if (AskPasswordOnTerminal(isMaster, text, password)) return true;
  password.clear();
  return NotAvailable("master-password prompt");
}

bool TDialogLauncher::ShowBookmarkBrowser(HWND owner) {
  if (FrontIfOpen(TDialogSlot::BookmarkBrowser)) return true;
  OpenBrowser(TBrowserMode::Bookmarks, TDialogSlot::BookmarkBrowser, owner);
  return true;
}

bool TDialogLauncher::ShowHistoryBrowser(HWND owner) {
  if (FrontIfOpen(TDialogSlot::HistoryBrowser)) return true;
  OpenBrowser(TBrowserMode::History, TDialogSlot::HistoryBrowser, owner);
  return true;
}

bool TDialogLauncher::ShowIgnoreList(HWND owner) {
  if (FrontIfOpen(TDialogSlot::IgnoreList)) return true;
  auto* form = new TIgnoreListForm(*this, owner);
  form->LoadList();
  ShowModeless(TDialogSlot::IgnoreList, *form, owner);
  return true;
}

bool TDialogLauncher::ShowCloseDialog() {
  for (HWND window : table_) {
    if (window != 0 && IsWindow(window)) BringWindowToFront(window);
  }
  return AskClose(*this);
}

bool TDialogLauncher::ShowBookmarkDialog(HWND owner, const TMessageItem& message, TBookmarkOffer offer, bool,
                                         const std::vector<std::u16string>& candidates, TBookmarkChoice& choice) {
  choice = TBookmarkChoice{};
  TBookmarkForm form(Application, owner);
  form.Candidates = candidates;
  const bool submitted = offer == TBookmarkOffer::SubmittedForm;
  if (submitted) form.Message = &message;
  const int mode = submitted ? (candidates.empty() ? kBookmarkAddSubmitted : kBookmarkReplaceSubmitted)
                             : (candidates.empty() ? kBookmarkAddPage : kBookmarkReplacePage);
  CenterOnWindow(form, owner);
  TBookmarkResult result;
  if (form.Execute(message.Caption, mode, offer == TBookmarkOffer::HistoryRecord, result) != mrOk) {
    // The menu's Tags 1 to 3 stand for one form, its page and its domain.
    choice.IgnoreKind = result.IgnoreChoice == 0 ? 0 : kIgnoreForm + 1 - result.IgnoreChoice;
    return false;
  }
  choice.Caption = result.Name;
  choice.Replace = result.SaveAsNew ? -1 : result.Index;
  return true;
}

bool TDialogLauncher::ShowRecordEditor(HWND owner, TFormItem& item) {
  bool savedAsBookmark = false;
  return EditStoredForm(owner, item, false, false, savedAsBookmark);
}

bool TDialogLauncher::EditStoredForm(HWND owner, TFormItem& item, bool history, bool isNew, bool& savedAsBookmark) {
  TEditItemForm form(Application);
  form.Execute(item, history, false, isNew);
  CenterOnWindow(form, owner);
  const bool ok = form.ShowModal() == mrOk;
  savedAsBookmark = ok && form.SavedAsBookmark;
  return ok;
}

bool TDialogLauncher::ShowSettings(HWND, int) { return NotAvailable("settings"); }

bool TDialogLauncher::ShowSecurityLevelDialog(HWND owner, std::int32_t& level, std::int32_t& expires) {
  return ChooseSecurityLevel(owner, level, expires);
}

bool TDialogLauncher::ShowMasterPasswordDialog(HWND owner) { return ChangeMasterPassword(owner); }

int TDialogLauncher::AskIdentityChange(HWND owner) { return ::AskIdentityChange(owner); }

bool TDialogLauncher::ShowHelpWindow(long topic) { return RunHelpWindow(std::to_string(topic)) == 0; }

bool TDialogLauncher::BringIdentitySwitchToFront() { return false; }

HWND TDialogLauncher::Slot(TDialogSlot slot) const { return table_[static_cast<int>(slot)]; }

void TDialogLauncher::SetSlot(TDialogSlot slot, HWND window) { table_[static_cast<int>(slot)] = window; }

bool TDialogLauncher::AnyDialogOpen() const {
  for (int slot = 0; slot < kDialogSlots; ++slot) {
    if (IsOpen(static_cast<TDialogSlot>(slot))) return true;
  }
  return false;
}

void TDialogLauncher::ClearDialogTable() { table_.fill(0); }

bool TDialogLauncher::IsOpen(TDialogSlot slot) const {
  const HWND window = Slot(slot);
  return window != 0 && IsWindow(window);
}

bool TDialogLauncher::FrontIfOpen(TDialogSlot slot) {
  if (!IsOpen(slot)) return false;
  BringWindowToFront(Slot(slot));
  return true;
}

void TDialogLauncher::ShowModeless(TDialogSlot slot, TCustomForm& form, HWND owner) {
  CenterOnWindow(form, owner);
  form.HandleNeeded();
  SetSlot(slot, form.Handle());
  form.Show();
}

int TDialogLauncher::RunModalSlot(TDialogSlot slot, TCustomForm& form, HWND owner) {
  CenterOnWindow(form, owner);
  form.HandleNeeded();
  SetSlot(slot, form.Handle());
  return form.ShowModal();
}

void BringWindowToFront(HWND window) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  BringWindowToTop(window);
  SetForegroundWindow(window);
  FlashWindow(window, TRUE);
}

void CenterOnWindow(TCustomForm& form, HWND window) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window != 0 && IsWindow(window)) GetWindowRect(window, &area);
  const int left = area.left + (area.right - area.left) / 2 - form.Width() / 2;
  const int top = area.top + (area.bottom - area.top) / 2 - form.Height() / 2;
  form.SetBounds(left, top, form.Width(), form.Height());
}

bool InstallerWindowOpen() {
  std::int32_t installer = 0;
  if (!RegReadInteger(HKEY_CURRENT_USER, kQuindleKey, "INNOWIN", installer) || installer == 0) return false;
  if (IsWindow(static_cast<HWND>(installer)) != FALSE) return true;
  RegWriteDWord(HKEY_CURRENT_USER, kQuindleKey, "INNOWIN", 0);
  return false;
}
