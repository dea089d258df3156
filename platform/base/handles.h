// The table of kernel object handles. Files, mutexes, events, threads, processes and
// searches are kernel objects; each open handle keeps its object alive.
#pragma once

#include <memory>

#include "platform/base/types.h"

namespace platform {

// Base of every object a HANDLE can name; CloseHandle drops the handle's reference.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Answers a new handle for the object (never 0 or INVALID_HANDLE_VALUE).
HANDLE OpenHandle(std::shared_ptr<KernelObject> object);

// The object a handle names, when it is open and of the asked type; else null with
// ERROR_INVALID_HANDLE.
std::shared_ptr<KernelObject> HandleObject(HANDLE handle);

template <typename T>
std::shared_ptr<T> HandleObjectAs(HANDLE handle);

}  // namespace platform

// Closes a handle of any kind; FALSE with ERROR_INVALID_HANDLE when it is not open.
BOOL CloseHandle(HANDLE handle);

#include "platform/base/errors.h"

template <typename T>
std::shared_ptr<T> platform::HandleObjectAs(HANDLE handle) {
  auto typed = std::dynamic_pointer_cast<T>(HandleObject(handle));
  if (!typed) SetLastError(ERROR_INVALID_HANDLE);
  return typed;
}
