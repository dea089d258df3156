#include "platform/kernel/resources.h"

#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"

namespace {

struct Resource {
  const std::uint8_t* data;
  std::size_t size;
};

// Entries are never removed, so a handle (index + 1) stays valid for the program's life.
struct Table {
  std::mutex lock;
  std::map<std::pair<std::string, std::string>, std::size_t> byKey;
  std::vector<Resource> entries;
};

Table& TheTable() {
  static Table table;
  return table;
}

std::string Key(const char* name) {
  if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name));
  return platform::AnsiUpperCase(name);
}

bool IsProgram(HMODULE module) { return module == 0 || module == platform::kProgramInstance; }

std::optional<Resource> Lookup(HMODULE module, HRSRC handle) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  if (!IsProgram(module) || handle == 0 || handle > table.entries.size()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  return table.entries[handle - 1];
}

}  // namespace

namespace platform {

void RegisterResource(const std::string& type, const std::string& name, const std::uint8_t* data, std::size_t size) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  const auto key = std::make_pair(AnsiUpperCase(type), AnsiUpperCase(name));
  auto found = table.byKey.find(key);
  if (found != table.byKey.end()) {
    table.entries[found->second] = Resource{data, size};
    return;
  }
  table.entries.push_back(Resource{data, size});
  table.byKey.emplace(key, table.entries.size() - 1);
}

}  // namespace platform

HRSRC FindResourceA(HMODULE module, const char* name, const char* type) {
  if (platform::faults::ShouldFail("FindResourceA")) return 0;
  if (!IsProgram(module) || name == nullptr || type == nullptr) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  const std::string typeKey = Key(type);
  const std::string nameKey = Key(name);
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  auto found = table.byKey.find({typeKey, nameKey});
  if (found != table.byKey.end()) return found->second + 1;
  bool typeKnown = false;
  for (const auto& [key, index] : table.byKey) typeKnown = typeKnown || key.first == typeKey;
  SetLastError(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return 0;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  const std::optional<Resource> entry = Lookup(module, resource);
  return entry ? entry->data : nullptr;
}

const void* LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  const std::optional<Resource> entry = Lookup(module, resource);
  return entry ? static_cast<DWORD>(entry->size) : 0;
}

BOOL FreeResource(HGLOBAL /*data*/) { return FALSE; }
