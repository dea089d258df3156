#include "platform/kernel/waits.h"

#include <time.h>
#include <unistd.h>

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"

namespace {

constexpr HANDLE kCurrentProcess = -1;  // what GetCurrentProcess answers

long long MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

}  // namespace

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (platform::faults::ShouldFail("WaitForSingleObject")) return WAIT_FAILED;
  if (handle == kCurrentProcess) {
    // The own process never ends while it waits: the wait is a pause on the clock.
    if (milliseconds == INFINITE) {
      for (;;) pause();
    }
    Sleep(milliseconds);
    return WAIT_TIMEOUT;
  }
  auto object = platform::HandleObjectAs<platform::Waitable>(handle);
  if (!object) return WAIT_FAILED;
  return object->Wait(milliseconds);
}

namespace platform {

Deadline::Deadline(DWORD milliseconds)
    : infinite_(milliseconds == INFINITE),
      endNanoseconds_(MonotonicNanoseconds() + static_cast<long long>(milliseconds) * 1000000LL) {}

DWORD Deadline::Remaining() const {
  if (infinite_) return INFINITE;
  long long left = endNanoseconds_ - MonotonicNanoseconds();
  // Round up, so that a wait never ends before its time.
  return left <= 0 ? 0 : static_cast<DWORD>((left + 999999) / 1000000);
}

}  // namespace platform
