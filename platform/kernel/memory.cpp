#include "platform/kernel/memory.h"

#include <cstdlib>

#include "platform/base/errors.h"
#include "platform/base/faults.h"

HLOCAL LocalAlloc(UINT flags, std::size_t bytes) {
  if (platform::faults::ShouldFail("LocalAlloc")) return nullptr;
  // A zero-sized block is still a distinct block that LocalFree accepts.
  void* memory = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!memory) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return memory;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
