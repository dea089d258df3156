// Waits on kernel objects: mutexes, events, threads and processes are waitable.
#pragma once

#include "platform/base/handles.h"
#include "platform/base/types.h"

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_ABANDONED = 0x00000080;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// WAIT_OBJECT_0 when signalled (for a mutex: now owned by the calling thread),
// WAIT_ABANDONED for a mutex whose owner ended without releasing it (now owned),
// WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

namespace platform {

// Base of every kernel object a wait can name.
class Waitable : public KernelObject {
 public:
  virtual DWORD Wait(DWORD milliseconds) = 0;
};

// A point in time a wait gives up at, on the monotonic clock.
class Deadline {
 public:
  explicit Deadline(DWORD milliseconds);
  bool infinite() const { return infinite_; }
  // Milliseconds left, 0 once passed; INFINITE for a wait without limit.
  DWORD Remaining() const;

 private:
  bool infinite_;
  long long endNanoseconds_;
};

}  // namespace platform
