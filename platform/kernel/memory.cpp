#include "platform/kernel/memory.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

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

namespace {

struct GlobalBlock {
  std::unique_ptr<std::byte[]> bytes;
  std::size_t size = 0;
  int locks = 0;
};

// The live global blocks by handle. Any thread may allocate, lock and free.
struct GlobalBlocks {
  std::mutex lock;
  std::unordered_map<HGLOBAL, GlobalBlock> blocks;
};

GlobalBlocks& Blocks() {
  static GlobalBlocks blocks;
  return blocks;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  if (platform::faults::ShouldFail("GlobalAlloc")) return nullptr;
  GlobalBlock block;
  // A zero-sized block is still a distinct block with a handle of its own.
  block.bytes.reset((flags & GMEM_ZEROINIT) ? new (std::nothrow) std::byte[bytes ? bytes : 1]()
                                            : new (std::nothrow) std::byte[bytes ? bytes : 1]);
  if (!block.bytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  block.size = bytes;
  HGLOBAL handle = block.bytes.get();
  std::lock_guard guard(Blocks().lock);
  Blocks().blocks.emplace(handle, std::move(block));
  return handle;
}

void* GlobalLock(HGLOBAL memory) {
  std::lock_guard guard(Blocks().lock);
  auto it = Blocks().blocks.find(memory);
  if (it == Blocks().blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ++it->second.locks;
  return it->second.bytes.get();
}

BOOL GlobalUnlock(HGLOBAL memory) {
  std::lock_guard guard(Blocks().lock);
  auto it = Blocks().blocks.find(memory);
  if (it == Blocks().blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (it->second.locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--it->second.locks > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

std::size_t GlobalSize(HGLOBAL memory) {
  std::lock_guard guard(Blocks().lock);
  auto it = Blocks().blocks.find(memory);
  if (it == Blocks().blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return it->second.size;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  std::lock_guard guard(Blocks().lock);
  if (Blocks().blocks.erase(memory) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  return nullptr;
}
