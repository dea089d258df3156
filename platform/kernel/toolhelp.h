// Snapshots of a process's modules: the program file first, then every other file the
// process has mapped, read from /proc/<pid>/maps.
#pragma once

#include "platform/base/types.h"

inline constexpr DWORD TH32CS_SNAPMODULE = 0x00000008;
inline constexpr int MAX_MODULE_NAME32 = 255;

struct MODULEENTRY32 {
  DWORD dwSize;
  DWORD th32ModuleID;
  DWORD th32ProcessID;
  DWORD GlblcntUsage;
  DWORD ProccntUsage;
  BYTE* modBaseAddr;
  DWORD modBaseSize;
  HMODULE hModule;
  char szModule[MAX_MODULE_NAME32 + 1];
  char szExePath[260];
};

// INVALID_HANDLE_VALUE when the process cannot be read; only module snapshots exist here.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Module32First(HANDLE snapshot, MODULEENTRY32* entry);
// FALSE with ERROR_NO_MORE_FILES after the last module.
BOOL Module32Next(HANDLE snapshot, MODULEENTRY32* entry);
