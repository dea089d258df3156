// The hidden main window: every command of the program reaches it as the registered
// message "PellixMessage" (wParam's low seven bits the command, lParam its argument).
// It owns the tray icon with its menu, the floating button windows, the browser
// watcher thread, the 100 ms main timer and the stop-watch thread, and serves the
// lower layers as their TAppServices.
//
// Commands that carry an object carry its id; the receiver looks the id up and ignores
// one that is unknown or gone. Only the integer commands 10 to 15 are taken from
// another process: the others are marked by this process's own senders (a random mark
// above the command's bits), so a foreign process can neither hand in nor take away
// an object of this one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line_switches.h"
#include "app/dialog_launcher.h"
#include "app/float_windows.h"
#include "app/menu_dispatcher.h"
#include "app/security_gate.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_tray_icon.h"
#include "data/app_services.h"
#include "formfill/app_menus.h"
#include "formfill/float_form.h"
#include "formfill/main_thread.h"
#include "platform/base/object_registry.h"
#include "platform/base/types.h"
#include "platform/classlib/icons.h"

inline constexpr char kMainFormClass[] = "PellixMainForm";
inline constexpr char kPellixMessage[] = "PellixMessage";
inline constexpr char kScanMessage[] = "PellixScanIEMessage";
inline constexpr char kHelpFormClass[] = "PellixHelpForm";
inline constexpr char kHelpTopicMessage[] = "PellixHelpTopic";
inline constexpr char kStopEvent[] = "RE4Stop";
inline constexpr char kShutdownEvent[] = "RE4Shutdown_PELLIX";
// How long the end of the program waits for the data lock (and the stop-watch thread
// for the main window) before it ends the process anyway; well within the stop
// switch's two seconds.
inline constexpr DWORD kStopLockWait = 1000;

// The settings the shell itself keeps (the lower layers keep theirs).
struct TShellSettings {
  WORD ActiveVault = 0;
  std::int32_t FillAction = 0;
  bool ShowHistory = true;
  bool AutoAddIdent = true;
  bool HideFloating = false;
  std::u16string AboutUrl;
  std::u16string HelpUrl;
  std::u16string CfgId;
  bool RunStartup = false;
  bool PellixAll = false;
  std::int32_t ShowPellixButton = 0;
};

class TMainForm : public TAppServices, public formfill::TFloatFormOwner {
 public:
  explicit TMainForm(TDialogLauncher& launcher);
  ~TMainForm() override;
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Makes the window, reads the settings, starts the watcher thread, the tray icon, the
  // timer and the stop-watch thread.
  void FormCreate();
  HWND Handle() const { return handle_; }
  UINT PellixMessageId() const { return pellixMessageId_; }

  // One command of this process; the answer is the message result. Each command
  // catches its own failures: a failing command leaves the window running.
  LRESULT HandleCommand(WPARAM wParam, LPARAM lParam);
  // One tick of the main timer.
  void MainFormTimerTimer();
  // Load: at creation (with the security record); reload: command 8.
  void LoadSaveSettings(bool load);
  void ShowApplication(bool splash);
  void ShowHelpTopic(long topic);
  void UpdateFloatPositions();
  // Rebuilds the tray menu: empty unless the data is ready and the gate passes.
  void TrayMenuPopup();
  // The tray menu's click handlers, by command number, with the entry's tag.
  void MenuClick(int command, std::int32_t tag);
  void ShowTrayIcon();
  void HideTrayIcon();
  // Asks through the close dialog; ends the process when it agrees.
  void ExitCommand();
  // Hides the tray icon, waits (bounded) for the data lock so that no list file or
  // setting is cut, writes the settings out and ends the process with exit code 0.
  [[noreturn]] void EndProcess();

  void SetFloatFactory(TFloatFactory factory) { floatWindows_.SetFactory(std::move(factory)); }
  // The floating window filed under the id, or null.
  TFloatWindow* FindFloat(platform::ObjectId id) const { return floatWindows_.Find(id); }
  std::size_t FloatCount() const { return floatWindows_.Count(); }
  TDialogLauncher& Launcher() { return launcher_; }
  TSecurityGate& Gate() { return gate_; }
  TMenuDispatcher& Dispatcher() { return dispatcher_; }

  std::uint8_t StartCommand = kNoCommand;
  bool StartCommandDone = false;
  bool WizardStarted = false;
  bool SplashPending = false;
  int ScanTicks = 0;
  TShellSettings Settings;
  std::unique_ptr<TUniTrayIcon> TrayIcon;
  std::unique_ptr<TUniPopupMenu> TrayMenu;
  std::unique_ptr<TImageList> TrayMenuImages;
  // The password-field menu; it pops up only when asked.
  std::unique_ptr<TUniPopupMenu> PwdMenu;
  std::unique_ptr<formfill::TMainThread> Watcher;

  bool PostToMainWindow(WPARAM command, LPARAM argument) override;
  LRESULT SendToMainWindow(WPARAM command, LPARAM argument) override;
  bool CheckUnlock(HWND ownerWnd, int flag, bool mayAsk) override;
  bool IsUnlocked() override;
  bool PostScanRequest() override;
  bool InstallerWindowExists() override;
  bool AnyDialogOpen() override;

  // What the floating windows ask of the main window; the windows behind these
  // commands go through the launcher.
  bool EnsureFirstRun(HWND browser) override;
  void FillOpenForm(HWND browser, platform::ObjectId watcher) override;
  void OpenStoredForm(HWND browser, std::int32_t item, platform::ObjectId watcher, int mode) override;
  void ShowSettings(HWND browser, int page) override;
  void MenuCommand(HWND browser, int command, std::int32_t tag, platform::ObjectId watcher) override;
  void ShowMessage(HWND browser, const std::u16string& text) override;

 private:
  void PassPluginSettings() const;

  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool FromThisProcess(WPARAM wParam) const;
  void RunCommand(UINT command, LPARAM lParam);
  void ShowSplash();
  void LoadSecurityRecord();
  void LoadTrayPictures();
  void ClearTrayMenu();
  void StopWatch();

  TDialogLauncher& launcher_;
  TSecurityGate gate_;
  TMenuDispatcher dispatcher_;
  TFloatWindows floatWindows_;
  HWND handle_ = 0;
  UINT pellixMessageId_ = 0;
  UINT scanMessageId_ = 0;
  WPARAM localMark_ = 0;
  std::atomic<bool> terminated_{false};
  std::thread stopThread_;
};
