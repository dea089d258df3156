#include "formfill/refresh_runner.h"

#include <chrono>
#include <thread>

void TRefreshRunner::Request() {
  again_ = true;
  if (running_.exchange(true)) return;  // the running thread runs once more
  std::thread([this] { Run(); }).detach();
}

void TRefreshRunner::Run() {
  do {
    while (again_.exchange(false)) body_();
    running_ = false;
    // A request that came after the last run but before the flag was cleared found the
    // thread running and left its work here.
  } while (again_.load() && !running_.exchange(true));
}

bool TRefreshRunner::Wait(DWORD timeout) const {
  // Real time: tests freeze the program's clock.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  while (running_.load()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
