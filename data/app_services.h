// What the data layer needs of the application shell: the main window as receiver of
// the registered message "PellixMessage", the security gate, and the program-wide
// flags the shell sets. The main window implements TAppServices and installs it at
// start-up; until then every call fails closed (nothing posted, nothing unlocked).
#pragma once

#include <atomic>

#include "platform/base/types.h"

// The main window's commands: "PellixMessage" carries one in the low seven bits of
// wParam, with its argument in lParam. Every sender and the receiver name them here.
enum TMainCommand : WPARAM {
  kCmdCreateFloat = 0,           // sent: a browser window wants its floating button
  kCmdReleaseFloat = 1,          // a floating button window's handle: free it
  kCmdShowFloat = 2,             // a floating window's id: put it in place, shown
  kCmdHideFloat = 3,             // a floating window's id: hide it
  kCmdFormSubmitted = 4,         // a TMessageItem's id
  kCmdPasswordMenuTyped = 5,     // a watcher's id: the password-field menu, mode 2
  kCmdPasswordMenuPrepared = 6,  // mode 1
  kCmdPasswordMenuEmpty = 7,     // mode 0
  kCmdReloadSettings = 8,
  kCmdMenuCommand = 9,           // a TObjMenuMessage's id
  kCmdShowApplication = 10,      // from a second instance
  kCmdShowBookmarks = 11,
  kCmdShowHistory = 12,
  kCmdShowPasswordGenerator = 13,
  kCmdShowSettings = 14,         // the settings page
  kCmdHideTrayIcon = 15,         // sent by the stop watch before the process ends
  kCmdCloseForm = 16,            // a form's id: close it
  kCmdHelpTopic = 17,            // the help topic number
  kCmdAutoFillNotice = 18,       // the browser's frame window
  kCmdFillPageById = 19,         // a TNavigateItem's id
  kCmdNone = 20,                 // no command (the start-up's "nothing to hand on")
};
inline constexpr WPARAM kCommandBits = 0x7F;

class TAppServices {
 public:
  virtual ~TAppServices() = default;
  // Posts "PellixMessage" with the command in wParam and the argument object's id in
  // lParam; the main window frees the object on every path. False when not posted.
  virtual bool PostToMainWindow(WPARAM command, LPARAM argument) = 0;
  // Sends it and waits for the main window's answer.
  virtual LRESULT SendToMainWindow(WPARAM command, LPARAM argument) = 0;
  // True when the protected data may be used now; with MayAsk false no window is shown.
  virtual bool CheckUnlock(HWND ownerWnd, int flag, bool mayAsk) = 0;
  // True when the security level is 0 or a master-password unlock is recorded.
  virtual bool IsUnlocked() = 0;
  // Posts "PellixScanIEMessage" (0, 0): the main window answers it by asking the
  // browser watcher for a scan. False when not posted.
  virtual bool PostScanRequest() = 0;
  // True while the installer's window (its handle under HKCU "Software\Quindle\"
  // value INNOWIN) still exists.
  virtual bool InstallerWindowExists() = 0;
  // True while one of the program's dialog windows is open (the host asks before it
  // closes). A shell without dialog windows has none open.
  virtual bool AnyDialogOpen() { return false; }
};

// Not owned; the installer keeps it alive until it installs another or nullptr.
void InstallAppServices(TAppServices* services);

bool PostToMainWindow(WPARAM command, LPARAM argument);
LRESULT SendToMainWindow(WPARAM command, LPARAM argument);
bool CheckUnlock(HWND ownerWnd, int flag, bool mayAsk);
bool IsUnlocked();
bool PostScanRequest();
bool InstallerWindowExists();
bool AnyDialogOpen();

// Program-wide flags, set by the shell, read from any thread.
extern std::atomic<bool> FirstRunCompleted;
extern std::atomic<bool> StandaloneMode;
extern std::atomic<bool> InprocHostMode;
extern std::atomic<bool> FloatButtonEnabled;
extern std::atomic<bool> TrayIconShown;
