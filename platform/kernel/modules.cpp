#include "platform/kernel/modules.h"

#include <string>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/kernel/process.h"
#include "platform/kernel/security.h"

namespace {

struct Module {
  HMODULE handle;
  const char* name;
};
constexpr Module kModules[] = {
    {0x7C800000, "kernel32.dll"}, {0x77DD0000, "advapi32.dll"}, {0x7C900000, "ntdll.dll"}, {0x76BF0000, "psapi.dll"}};

struct Entry {
  HMODULE module;
  const char* name;
  FARPROC address;
};

template <typename Function>
FARPROC Address(Function* function) {
  return reinterpret_cast<FARPROC>(function);
}

// Built on first use, so that start-up code of other units can look entries up.
const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
      {0x77DD0000, "AddMandatoryAce", Address(&AddMandatoryAce)},
      {0x7C800000, "QueryFullProcessImageNameA", Address(&QueryFullProcessImageNameA)},
      {0x7C900000, "NtQueryInformationProcess", Address(&NtQueryInformationProcess)},
      {0x76BF0000, "GetModuleFileNameExA", Address(&GetModuleFileNameExA)},
  };
  return entries;
}

}  // namespace

HMODULE GetModuleHandleA(const char* moduleName) {
  if (platform::faults::ShouldFail("GetModuleHandleA")) return 0;
  std::string wanted = platform::AnsiLowerCase(moduleName ? moduleName : "");
  for (const Module& module : kModules) {
    if (wanted == module.name || wanted + ".dll" == module.name) return module.handle;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return 0;
}

// Module files of the other platform cannot be mapped here: only the system modules
// load, any other name is not found.
HMODULE LoadLibraryA(const char* fileName) {
  if (platform::faults::ShouldFail("LoadLibraryA")) return 0;
  return GetModuleHandleA(fileName);
}

BOOL FreeLibrary(HMODULE module) {
  for (const Module& known : kModules) {
    if (known.handle == module) return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
  if (platform::faults::ShouldFail("GetProcAddress")) return nullptr;
  for (const Entry& entry : Entries()) {
    if (entry.module == module && procName && std::string(procName) == entry.name) return entry.address;
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}
