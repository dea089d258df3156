#include "app/backup_export.h"

#include <cstdio>
#include <exception>

#include "app/install_actions.h"
#include "app/start_up.h"
#include "data/app_services.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/com/class_table.h"
#include "platform/classlib/date_text.h"
#include "platform/classlib/forms.h"
#include "platform/win/message_box.h"
#include "support/debug_log.h"
#include "support/files_folders.h"
#include "support/translator.h"

namespace {

bool HasGeneratedField(const TFormItem& item) {
  for (int i = 0; i < item.FieldCount(); ++i) {
    if (item.GetField(i)->Generated) return true;
  }
  return false;
}

std::u16string Label(const char* name) { return u"  " + Translate(name) + u": "; }

template <typename List>
bool LoadFresh(List& list, const char* what, std::string& error) {
  if (list.LoadFromFile()) return true;
  error = std::string("the ") + what + " list could not be read";
  return false;
}

int Fail(const std::string& reason) {
  LogError("backup: " + reason);
  std::fprintf(stderr, "pellix backup: %s; nothing was written.\n", reason.c_str());
  return 1;
}

}  // namespace

void BuildBackupLines(const TBookmarkItems& bookmarks, const TPasswordItems& passwords, TUniStringList& lines) {
  lines.Add(Translate("Bookmarks"));
  lines.Add(u"");
  for (int i = 0; i < bookmarks.Count(); ++i) {
    TFormItem& item = *bookmarks.Form(i);
    if (item.Marked) continue;
    if (!item.HasFields()) item.DecodeFields();
    if (!HasGeneratedField(item)) continue;
    lines.Add(item.Caption());
    lines.Add(item.URL());
    for (int f = 0; f < item.FieldCount(); ++f) {
      const TFormListItem& field = *item.GetField(f);
      lines.Add(u"  " + field.Name + u": " + field.Value);
    }
    lines.Add(u"");
  }
  lines.Add(u"");
  lines.Add(u"");
  lines.Add(Translate("Password History"));
  lines.Add(u"");
  for (int i = 0; i < passwords.Count(); ++i) {
    const TPasswordItem& item = *passwords.Password(i);
    if (item.Marked) continue;
    lines.Add(item.Caption());
    lines.Add(Label("Date") + DateTimeToStr(item.Date));
    lines.Add(Label("Password") + item.GetPassword());
    lines.Add(u"  URL: " + item.URL());
    lines.Add(u"");
  }
}

std::string ExportBackupText(HWND owner, TSecurityGate& gate, std::string& error) {
  if (!gate.CheckUnlock(owner, false, true)) {
    error = "the master password was not given or did not match";
    return {};
  }
  // Lists that fail to load would give a backup that silently lacks records.
  TBookmarkItems bookmarks;
  TPasswordItems passwords;
  if (!LoadFresh(bookmarks, "bookmark", error) || !LoadFresh(passwords, "password", error)) return {};
  TUniStringList lines;
  BuildBackupLines(bookmarks, passwords, lines);
  const std::string folder = DesktopDir();
  if (folder.empty() || !ForceDirectoriesEx(folder, false)) {
    error = "there is no desktop folder to write to";
    return {};
  }
  const std::string path = folder + kBackupFileName;
  try {
    lines.SaveToFile(platform::AnsiToWide(path));
  } catch (const std::exception& e) {
    error = e.what();
    return {};
  }
  const std::u16string report = Translate("Your Passwords were saved to:") + u" " + platform::AnsiToWide(path);
  MessageBoxW(owner, report.c_str(), Translate("Pellix - Backup").c_str(), MB_OK | MB_ICONINFORMATION);
  return path;
}

int RunBackup(TDialogLauncher& launcher) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  LoadLanguageSetting();
  // Runs the modal loop of the password prompt.
  TApplication application(nullptr);
  const bool standAlone = !IsComServerRegistered();
  StandaloneMode = standAlone;
  const int answer = MessageBoxW(0, Translate("Do you want to backup your passwords?").c_str(),
                                 Translate("Pellix - Backup").c_str(), MB_YESNO | MB_ICONQUESTION);
  if (answer == 0) {
    return Fail(GetLastError() == ERROR_NOT_SUPPORTED
                    ? "the question cannot be asked (no screen, and standard input is no terminal)"
                    : "the question was not answered");
  }
  if (answer != IDYES) return 0;
  SetDataFolder(standAlone);
  if (DataFolder.empty()) return Fail("there is no data folder");
  LoadSecuritySettings(standAlone);
  DefaultCrypt = std::make_unique<TWideCrypt>(true);
  CreateFixedCrypt();
  TSecurityGate gate(launcher);
  std::string error;
  const std::string path = ExportBackupText(0, gate, error);
  DefaultCrypt.reset();
  FixedCrypt.reset();
  if (path.empty()) return Fail(error);
  std::fprintf(stdout, "%s\n", path.c_str());
  return 0;
}
