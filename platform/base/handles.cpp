#include "platform/base/handles.h"

#include <mutex>
#include <unordered_map>

namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<HANDLE, std::shared_ptr<platform::KernelObject>> objects;
  HANDLE next = 4;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

}  // namespace

namespace platform {

HANDLE OpenHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& table = Table();
  std::lock_guard guard(table.lock);
  // Handles are multiples of four and skip values still open after a wrap.
  while (table.objects.count(table.next) != 0 || table.next <= 0) {
    table.next = table.next <= 0 ? 4 : table.next + 4;
  }
  HANDLE handle = table.next;
  table.next += 4;
  table.objects.emplace(handle, std::move(object));
  return handle;
}

std::shared_ptr<KernelObject> HandleObject(HANDLE handle) {
  HandleTable& table = Table();
  std::lock_guard guard(table.lock);
  auto found = table.objects.find(handle);
  if (found == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found->second;
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<platform::KernelObject> closing;
  {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.objects.find(handle);
    if (found == table.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    closing = std::move(found->second);
    table.objects.erase(found);
  }
  // The object may be destroyed here, outside the table's lock.
  return TRUE;
}
