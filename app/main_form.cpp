#include "app/main_form.h"

#include <cstdlib>

#include "data/data_startup.h"
#include "platform/base/clock.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/locks.h"
#include "support/registry_access.h"

namespace {

constexpr UINT_PTR kMainTimerId = 1;
constexpr UINT kMainTimerInterval = 100;
// While the installer runs the timer slows down and stays slow.
constexpr UINT kInstallerTimerInterval = 2000;
constexpr int kTicksPerRescan = 100;
TMainForm* TheMainForm = nullptr;

}  // namespace

TMainForm::TMainForm(TDialogLauncher& launcher) : launcher_(launcher) {}

TMainForm::~TMainForm() {
  InstallAppServices(nullptr);
  terminated_ = true;
  if (stopThread_.joinable()) stopThread_.join();
  if (handle_ != 0) DestroyWindow(handle_);
  TheMainForm = nullptr;
}

void TMainForm::FormCreate() {
  pellixMessageId_ = RegisterWindowMessageA(kPellixMessage);
  scanMessageId_ = RegisterWindowMessageA(kScanMessage);
  TheMainForm = this;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &TMainForm::WindowProc;
  windowClass.lpszClassName = kMainFormClass;
  RegisterClassA(&windowClass);
  handle_ = CreateWindowExA(0, kMainFormClass, "VedoZorere", 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  InstallAppServices(this);
  SetTimer(handle_, kMainTimerId, kMainTimerInterval, nullptr);
  stopThread_ = std::thread([this] { StopWatch(); });
}

LRESULT TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TMainForm* form = TheMainForm;
  if (form != nullptr && window == form->handle_) {
    if (message == form->scanMessageId_) form->ScanTicks = 0;
    if (message == form->pellixMessageId_) return form->HandleCommand(wParam, lParam);
    if (message == WM_TIMER && wParam == kMainTimerId) {
      form->MainFormTimerTimer();
      return 0;
    }
    if (message == WM_COPYDATA) return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TMainForm::HandleCommand(WPARAM wParam, LPARAM lParam) {
  switch (wParam & 0x7F) {
    case 10: launcher_.Launch(TDialogKind::Splash, 0); break;
    case 11: launcher_.Launch(TDialogKind::BookmarkBrowser, 0); break;
    case 12: launcher_.Launch(TDialogKind::HistoryBrowser, 0); break;
    case 13: launcher_.Launch(TDialogKind::PasswordGenerator, 0); break;
    case 14: launcher_.Launch(TDialogKind::Settings, static_cast<long>(lParam)); break;
    case 15: TrayIconShown = false; break;
    default: break;
  }
  return 0;
}

void TMainForm::MainFormTimerTimer() {
  if (InstallerWindowExists()) {
    SetTimer(handle_, kMainTimerId, kInstallerTimerInterval, nullptr);
    return;
  }
  if (!StartCommandDone && StartCommand != kNoCommand) {
    StartCommandDone = true;
    if (::CheckUnlock(handle_, 0, true)) {
      HandleCommand(StartCommand, 0);
      StartCommand = kNoCommand;
    }
    return;
  }
  if (++ScanTicks > kTicksPerRescan) ScanTicks = 0;
}

// Ends the process when another process sets the stop or shutdown event. Before it
// ends, it waits (bounded) for the data lock so that no list file or setting is cut
// half-written; settings are written through, so holding the lock is enough.
void TMainForm::StopWatch() {
  support::TEvent stop(kStopEvent);
  support::TEvent shutdown(kShutdownEvent);
  while (!terminated_) {
    if (stop.Wait(0) || shutdown.Wait(0)) {
      SendMessageA(handle_, pellixMessageId_, kHideTrayCommand, 0);
      if (!DataLock.Enter(kStopLockWait)) LogError("stop: data lock not free, ending anyway");
      std::_Exit(0);
    }
    Sleep(100);
  }
}

bool TMainForm::PostToMainWindow(WPARAM command, LPARAM argument) {
  return PostMessageA(handle_, pellixMessageId_, command, argument) != FALSE;
}

LRESULT TMainForm::SendToMainWindow(WPARAM command, LPARAM argument) {
  return SendMessageA(handle_, pellixMessageId_, command, argument);
}

bool TMainForm::CheckUnlock(HWND, int, bool) {
  // The master-password prompt is not part of this program yet: only an open vault passes.
  return IsUnlocked();
}

bool TMainForm::PostScanRequest() { return PostMessageA(handle_, scanMessageId_, 0, 0) != FALSE; }

bool TMainForm::InstallerWindowExists() {
  std::int32_t installer = 0;
  return RegReadInteger(HKEY_CURRENT_USER, "Software\\Quindle\\", "INNOWIN", installer) && installer != 0 &&
         IsWindow(static_cast<HWND>(installer)) != FALSE;
}

bool TMainForm::IsUnlocked() { return SecurityLevel == kSecurityNone; }
