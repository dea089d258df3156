// System modules and their entry points looked up by name, for code that binds a call
// only where the system has it.
#pragma once

#include "platform/base/types.h"

using FARPROC = void (*)();

// The system modules this platform provides ("kernel32.dll", "advapi32.dll",
// "ntdll.dll", "psapi.dll"; the name compares without case); 0 with
// ERROR_MOD_NOT_FOUND for any other.
HMODULE GetModuleHandleA(const char* moduleName);
HMODULE LoadLibraryA(const char* fileName);
BOOL FreeLibrary(HMODULE module);

// Null with ERROR_PROC_NOT_FOUND when the module lacks the entry.
FARPROC GetProcAddress(HMODULE module, const char* procName);
