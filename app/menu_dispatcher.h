// The menu-command dispatcher: every menu click (tray menu, floating-button menu, the
// host toolbar's menu and its settings page) arrives as a command number of the
// command table and runs its action here. Actions that use the vault pass the security
// gate first and do nothing when it answers false.
//
// Main thread only. Each action runs under the dispatcher's guard: a failing action is
// logged and leaves the program running.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/object_registry.h"
#include "platform/base/types.h"

class TMainForm;
class TObjMenuMessage;

// One menu command with what its sender knows.
struct TMenuRequest {
  int Command = 0;
  // The clicked entry's tag: a stored record's menu item id, or an index.
  std::int32_t Item = 0;
  std::int32_t Mode = 0;
  HWND Owner = 0;
  // The watcher of the browser the command came from; 0 when none.
  platform::ObjectId Watcher = 0;
  std::u16string ClientID;
  std::u16string Text1;
  std::u16string Text2;
};

TMenuRequest RequestOf(const TObjMenuMessage& message);

class TMenuDispatcher {
 public:
  explicit TMenuDispatcher(TMainForm& main) : main_(main) {}

  // Commands 1 to 48; 0 and above do nothing.
  void Dispatch(const TMenuRequest& request);

  // Actions the main window also runs itself.
  void ShowBookmarkBrowser(HWND owner);
  void ShowHistoryBrowser(HWND owner);
  void ShowPasswordGenerator(HWND owner);
  void ShowSettings(HWND owner, int page);
  void FillOpenForm(HWND owner, platform::ObjectId watcher, const std::u16string& bodyId,
                    const std::u16string& bodyValue, const std::u16string& clientId);
  // A stored record (by its menu item id) opened in the browser the command came
  // from; in a new window when it names none.
  void OpenStoredForm(HWND owner, std::int32_t item, platform::ObjectId watcher, const std::u16string& clientId,
                      int mode);
  // A stored record opened in a new window of the program's browser (Mode 1 fill, 2
  // fill and submit, 3 open without filling): waits up to 10 s for the window to be
  // made, then has the watcher thread look for it.
  void OpenInNewWindow(std::int32_t item, int mode);
  // The record operations of the bookmark and history windows, on a record by its
  // menu item id: each asks first and answers true when it deleted, saved or cleared.
  bool DeleteBookmark(HWND owner, std::int32_t item);
  bool DeleteHistoryRecord(HWND owner, std::int32_t item);
  bool HistoryToBookmark(HWND owner, std::int32_t item);
  bool ClearHistory(HWND owner);

 private:
  void Run(const TMenuRequest& r);
  bool Unlocked(HWND owner);
  void EditBookmark(HWND owner, std::int32_t item);
  void CreateBookmark(HWND owner, platform::ObjectId watcher, const std::u16string& address,
                      const std::u16string& caption);
  void ClearPasswordHistory(HWND owner);
  void ShowPasswordItem(HWND owner, std::int32_t item);
  void FillWithIdentity(HWND owner, std::int32_t index, const std::u16string& clientId, platform::ObjectId watcher);
  void SecurityLevelFromHost();
  void HostDialog(void (TMenuDispatcher::*action)(HWND, const std::u16string&), const std::u16string& text);
  void IdentityAdd(HWND host, const std::u16string&);
  void IdentityEdit(HWND host, const std::u16string& fileNo);
  void IdentityActivate(HWND host, const std::u16string& fileNo);
  void IdentityDelete(HWND host, const std::u16string& fileNo);
  void MasterPassword(HWND host, const std::u16string&);
  void Logout();

  TMainForm& main_;
};
