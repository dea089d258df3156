#include "platform/kernel/toolhelp.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/handles.h"
#include "platform/base/text.h"

namespace {

class Snapshot : public platform::KernelObject {
 public:
  Snapshot(DWORD pid, std::vector<std::string> paths) : pid_(pid), paths_(std::move(paths)) {}

  BOOL Fill(size_t index, MODULEENTRY32* entry) {
    next_ = index + 1;
    if (!entry || entry->dwSize < sizeof(MODULEENTRY32)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    if (index >= paths_.size()) {
      SetLastError(ERROR_NO_MORE_FILES);
      return FALSE;
    }
    std::memset(reinterpret_cast<BYTE*>(entry) + sizeof entry->dwSize, 0, sizeof *entry - sizeof entry->dwSize);
    entry->th32ModuleID = 1;
    entry->th32ProcessID = pid_;
    const std::string& path = paths_[index];
    std::strncpy(entry->szExePath, path.c_str(), sizeof entry->szExePath - 1);
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    std::strncpy(entry->szModule, name.c_str(), sizeof entry->szModule - 1);
    return TRUE;
  }
  size_t next() const { return next_; }

 private:
  DWORD pid_;
  std::vector<std::string> paths_;
  size_t next_ = 0;
};

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
  if (platform::faults::ShouldFail("CreateToolhelp32Snapshot")) return INVALID_HANDLE_VALUE;
  if (!(flags & TH32CS_SNAPMODULE)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  std::ifstream maps("/proc/" + std::to_string(processId) + "/maps");
  if (!maps) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<std::string> paths;
  for (std::string line; std::getline(maps, line);) {
    size_t slash = line.find(" /");
    if (slash == std::string::npos) continue;
    std::string path;
    if (!platform::NativeToAnsiName(line.substr(slash + 1), path)) continue;  // no 8-bit call could open it
    if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
  }
  return platform::OpenHandle(std::make_shared<Snapshot>(processId, std::move(paths)));
}

BOOL Module32First(HANDLE snapshot, MODULEENTRY32* entry) {
  auto object = platform::HandleObjectAs<Snapshot>(snapshot);
  return object ? object->Fill(0, entry) : FALSE;
}

BOOL Module32Next(HANDLE snapshot, MODULEENTRY32* entry) {
  auto object = platform::HandleObjectAs<Snapshot>(snapshot);
  return object ? object->Fill(object->next(), entry) : FALSE;
}
