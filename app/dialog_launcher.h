// The windows the main window opens. Windows that this program does not have yet are
// opened through this interface; the recording launcher notes each request in the
// debug log and keeps it, so that a request is never lost silently. The password
// prompt it cannot show is asked on the terminal when the program runs on one.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/base/types.h"

enum class TDialogKind {
  BookmarkBrowser,
  HistoryBrowser,
  PasswordGenerator,
  Settings,
  Splash,
  HelpTopic,
  VaultPassword,
  FormSubmitted,
  PasswordFieldMenu,
  MenuCommand,
  AutoFillNotice,
  FillPage,
  FirstRunWizard,
  CloseForm,
};

const char* DialogKindName(TDialogKind kind);

class TDialogLauncher {
 public:
  virtual ~TDialogLauncher() = default;
  virtual void Launch(TDialogKind kind, long argument) = 0;
  // The vault password prompt: true with the typed password when it ends with OK.
  virtual bool AskVaultPassword(HWND owner, bool flag, const std::u16string& text, std::u16string& password) = 0;
  // The close dialog: true when the user agrees to end the program.
  virtual bool ShowCloseDialog() = 0;
};

struct TDialogRequest {
  TDialogKind Kind;
  long Argument;
  bool operator==(const TDialogRequest&) const = default;
};

class TRecordingLauncher : public TDialogLauncher {
 public:
  void Launch(TDialogKind kind, long argument) override;
  // Recorded as a VaultPassword request; with no prompt window it asks on the
  // controlling terminal (platform/kernel/terminal.h) and otherwise answers "cancelled".
  bool AskVaultPassword(HWND owner, bool flag, const std::u16string& text, std::u16string& password) override;
  // Recorded as a CloseForm request; with no dialog to ask it answers "stay".
  bool ShowCloseDialog() override;
  std::vector<TDialogRequest> Requests() const;

 private:
  mutable std::mutex lock_;
  std::vector<TDialogRequest> requests_;
};
