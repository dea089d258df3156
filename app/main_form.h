// The hidden main window: every command of the program reaches it as the registered
// message "PellixMessage" (wParam's low seven bits the command, lParam its argument).
// It runs the 100 ms main timer and the stop-watch thread, and serves the data layer
// as its TAppServices.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "app/command_line_switches.h"
#include "app/dialog_launcher.h"
#include "data/app_services.h"
#include "platform/base/types.h"

inline constexpr char kMainFormClass[] = "PellixMainForm";
inline constexpr char kPellixMessage[] = "PellixMessage";
inline constexpr char kScanMessage[] = "PellixScanIEMessage";
inline constexpr char kStopEvent[] = "RE4Stop";
inline constexpr char kShutdownEvent[] = "RE4Shutdown_PELLIX";
inline constexpr std::uint8_t kHideTrayCommand = 15;
// How long the stop-watch thread waits for the data lock before it ends the process
// anyway; well within the stop switch's two seconds.
inline constexpr DWORD kStopLockWait = 1000;

class TMainForm : public TAppServices {
 public:
  explicit TMainForm(TDialogLauncher& launcher);
  ~TMainForm() override;
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Makes the window, starts the timer and the stop-watch thread.
  void FormCreate();
  HWND Handle() const { return handle_; }
  UINT PellixMessageId() const { return pellixMessageId_; }

  // One "PellixMessage"; the answer is the message result.
  LRESULT HandleCommand(WPARAM wParam, LPARAM lParam);
  // One tick of the main timer.
  void MainFormTimerTimer();

  std::uint8_t StartCommand = kNoCommand;
  bool StartCommandDone = false;
  int ScanTicks = 0;

  bool PostToMainWindow(WPARAM command, LPARAM argument) override;
  LRESULT SendToMainWindow(WPARAM command, LPARAM argument) override;
  bool CheckUnlock(HWND ownerWnd, int flag, bool mayAsk) override;
  bool IsUnlocked() override;
  bool PostScanRequest() override;
  bool InstallerWindowExists() override;

 private:
  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void StopWatch();

  TDialogLauncher& launcher_;
  HWND handle_ = 0;
  UINT pellixMessageId_ = 0;
  UINT scanMessageId_ = 0;
  std::atomic<bool> terminated_{false};
  std::thread stopThread_;
};
