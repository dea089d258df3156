#include "data/app_services.h"

namespace {

std::atomic<TAppServices*> installed{nullptr};

}  // namespace

std::atomic<bool> FirstRunCompleted{false};
std::atomic<bool> StandaloneMode{false};
std::atomic<bool> InprocHostMode{false};
std::atomic<bool> FloatButtonEnabled{false};
std::atomic<bool> TrayIconShown{false};

void InstallAppServices(TAppServices* services) { installed.store(services); }

bool PostToMainWindow(WPARAM command, LPARAM argument) {
  TAppServices* services = installed.load();
  return services != nullptr && services->PostToMainWindow(command, argument);
}

LRESULT SendToMainWindow(WPARAM command, LPARAM argument) {
  TAppServices* services = installed.load();
  return services == nullptr ? 0 : services->SendToMainWindow(command, argument);
}

bool CheckUnlock(HWND ownerWnd, int flag, bool mayAsk) {
  TAppServices* services = installed.load();
  return services != nullptr && services->CheckUnlock(ownerWnd, flag, mayAsk);
}

bool IsUnlocked() {
  TAppServices* services = installed.load();
  return services != nullptr && services->IsUnlocked();
}

bool PostScanRequest() {
  TAppServices* services = installed.load();
  return services != nullptr && services->PostScanRequest();
}

bool InstallerWindowExists() {
  TAppServices* services = installed.load();
  return services != nullptr && services->InstallerWindowExists();
}

bool AnyDialogOpen() {
  TAppServices* services = installed.load();
  return services != nullptr && services->AnyDialogOpen();
}
