#include "platform/win/display.h"

#include <atomic>
#include <mutex>
#include <set>

namespace {

std::atomic<platform::win::DisplayBackend*> gBackend{nullptr};

std::mutex gOffLock;
std::set<HWND> gOff;

}  // namespace

void platform::win::SetDisplayBackend(DisplayBackend* backend) { gBackend.store(backend); }

platform::win::DisplayBackend* platform::win::CurrentDisplayBackend() { return gBackend.load(); }

void platform::win::detail::NotifyDisplayChanged(HWND window) {
  if (auto* backend = gBackend.load()) backend->WindowChanged(window);
}

void platform::win::KeepOffDisplay(HWND window) {
  std::lock_guard guard(gOffLock);
  gOff.insert(window);
}

bool platform::win::KeptOffDisplay(HWND window) {
  std::lock_guard guard(gOffLock);
  return gOff.count(window) != 0;
}

void platform::win::detail::NotifyDisplayGone(HWND window) {
  {
    std::lock_guard guard(gOffLock);
    gOff.erase(window);
  }
  if (auto* backend = gBackend.load()) backend->WindowGone(window);
}

void platform::win::detail::PumpDisplay() {
  if (auto* backend = gBackend.load()) backend->Pump();
}

bool platform::win::detail::RingDisplayBell() {
  auto* backend = gBackend.load();
  if (backend == nullptr) return false;
  backend->Bell();
  return true;
}
