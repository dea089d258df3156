// The dialog launcher: every window of the program is opened here. The single-instance
// windows have a slot each in a table of ten window handles; a window whose slot holds
// a live window is only brought to the front, never opened twice.
//
// Windows the program does not have yet keep their entry: it notes the request in the
// debug log, counts it and answers "cancelled", so that a request never vanishes and
// never pretends to have been carried out. Tests replace entries by deriving.
//
// Main thread only: the windows are modal or live on the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/types.h"

class TCustomForm;
class TFormItem;
class TMenuDispatcher;
class TMessageItem;
namespace formfill {
class TInputPasswordContext;
}

// The slots of the dialog handle table.
enum class TDialogSlot : int {
  AfterInstall = 0,
  PasswordShow = 1,
  PasswordGenerator = 2,
  PasswordHistory = 3,
  IdentityEditor = 4,
  VaultPassword = 5,
  BookmarkBrowser = 6,
  HistoryBrowser = 7,
  IgnoreList = 8,
  CloseForm = 9,
};
inline constexpr int kDialogSlots = 10;

// The two modes of the bookmark and history browser.
enum class TBrowserMode { Bookmarks = 0, History = 1 };

// What the bookmark form is offered: a submitted form (whose Cancel menu can ignore
// it), the page open in the browser, or a form of the history.
enum class TBookmarkOffer { SubmittedForm, Page, HistoryRecord };

// What the bookmark form answers for a submitted form.
struct TBookmarkChoice {
  // Replace candidate number Replace (0-based), or save a new bookmark when -1.
  int Replace = -1;
  std::u16string Caption;
  std::uint16_t FillMode = 0;
  // When the form was declined: the ignore kind chosen there (0: just declined).
  int IgnoreKind = 0;
};

class TDialogLauncher {
 public:
  TDialogLauncher() = default;
  virtual ~TDialogLauncher() = default;
  TDialogLauncher(const TDialogLauncher&) = delete;
  TDialogLauncher& operator=(const TDialogLauncher&) = delete;

  // The launchers of the table. Each answers true when its window was opened (and, for
  // a modal one, ended with OK).
  virtual bool ShowAfterInstallWizard(HWND owner);
  virtual bool ShowPasswordWindow(HWND owner, std::shared_ptr<formfill::TInputPasswordContext> context,
                                  const std::u16string& password);
  virtual bool ShowPasswordGeneratorWindow(HWND owner, std::shared_ptr<formfill::TInputPasswordContext> context,
                                           const std::u16string& password);
  virtual bool ShowPasswordHistoryWindow(HWND owner);
  // Name empty: the active identity. On OK the identity is stored (see the editor).
  virtual bool ShowIdentityEditor(HWND owner, const std::u16string& name, bool isNew);
  // True with the typed password when the prompt ends with OK.
  virtual bool AskVaultPassword(HWND owner, bool flag, const std::u16string& text, std::u16string& password);
  virtual bool ShowBookmarkBrowser(HWND owner);
  virtual bool ShowHistoryBrowser(HWND owner);
  virtual bool ShowIgnoreList(HWND owner);
  // Brings every live dialog of the table to the front, then asks; true when the
  // program may close.
  virtual bool ShowCloseDialog();

  // Windows outside the table.
  // The bookmark form for a form or page; Candidates are the captions of the stored
  // bookmarks of the same form (empty when the program is locked). True when a
  // bookmark is to be saved; false when declined, with Choice.IgnoreKind set.
  virtual bool ShowBookmarkDialog(HWND owner, const TMessageItem& message, TBookmarkOffer offer, bool unlocked,
                                  const std::vector<std::u16string>& candidates, TBookmarkChoice& choice);
  // The record editor for a stored form; true when it ended with OK.
  virtual bool ShowRecordEditor(HWND owner, TFormItem& item);
  // The record editor for a history record (History) or a bookmark (IsNew: one being
  // made); true when it ended with OK, SavedAsBookmark when "Save as Bookmark" ended it.
  bool EditStoredForm(HWND owner, TFormItem& item, bool history, bool isNew, bool& savedAsBookmark);
  virtual bool ShowSettings(HWND owner, int page);
  virtual bool ShowSecurityLevelDialog(HWND owner, std::int32_t& level, std::int32_t& expires);
  virtual bool ShowMasterPasswordDialog(HWND owner);
  // How to go on when the page has forms: 0 stop, 1 fill and mark, 2 fill, 3 switch only.
  virtual int AskIdentityChange(HWND owner);
  // The help window of its own process, on a topic.
  virtual bool ShowHelpWindow(long topic);
  // The identity switch window; true while it is open (then it comes to the front).
  virtual bool BringIdentitySwitchToFront();

  // Queues a password fill (a context of its own with its new value) to the browser
  // watcher thread; the main window sets it while that thread runs.
  std::function<void(std::shared_ptr<formfill::TInputPasswordContext>)> QueuePasswordFill;
  // The main window's record operations, for the bookmark and history windows; the
  // main window sets it while it exists.
  TMenuDispatcher* MainOperations = nullptr;

  // The table.
  HWND Slot(TDialogSlot slot) const;
  void SetSlot(TDialogSlot slot, HWND window);
  bool AnyDialogOpen() const;
  void ClearDialogTable();
  // Shows the form modally in the slot, centred on Owner; answers its modal result.
  int RunModalSlot(TDialogSlot slot, TCustomForm& form, HWND owner);
  // True while the slot holds a live window.
  bool IsOpen(TDialogSlot slot) const;
  // How many requests found no window to open (counted as cancelled).
  int Unavailable() const { return unavailable_; }

 protected:
  // Notes a request for a window that does not exist here; answers false.
  bool NotAvailable(const char* window);
  // When the slot's window lives: brings it to the front and answers true.
  bool FrontIfOpen(TDialogSlot slot);
  // Shows a modeless form (which frees itself) in the slot, centred on Owner.
  void ShowModeless(TDialogSlot slot, TCustomForm& form, HWND owner);

 private:
  // A new bookmark or history browser in its slot (made where the browser is).
  void OpenBrowser(TBrowserMode mode, TDialogSlot slot, HWND owner);

  std::array<HWND, kDialogSlots> table_{};
  int unavailable_ = 0;
};

// Restores a minimised window, brings it to the top, to the foreground, and flashes it.
void BringWindowToFront(HWND window);
// Centres the form on Window when it is a live window, else on the screen.
void CenterOnWindow(TCustomForm& form, HWND window);
// The installer's window handle under HKCU "Software\Quindle\" INNOWIN; a handle that
// is no window any more is written back as 0.
bool InstallerWindowOpen();
