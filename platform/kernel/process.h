// Processes: the own process, other processes by id (program file, parent, command
// line, read from /proc), and starting programs with a command line.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/types.h"
#include "platform/kernel/threads.h"

inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_VM_READ = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;

inline constexpr DWORD DEBUG_PROCESS = 0x00000001;
inline constexpr DWORD DETACHED_PROCESS = 0x00000008;
inline constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
inline constexpr DWORD CREATE_NEW_PROCESS_GROUP = 0x00000200;
inline constexpr DWORD CREATE_NO_WINDOW = 0x08000000;
inline constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;

struct STARTUPINFOA {
  DWORD cb;
  char* lpReserved;
  char* lpDesktop;
  char* lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};

// The own process: a pseudo handle that names it in the calls below.
HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();
// The own command line, as the starter gave it.
const char* GetCommandLineA();

// Null with ERROR_INVALID_PARAMETER when no such process runs.
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);
// STILL_ACTIVE while the process runs; a process this one did not start reports no
// exit code (FALSE with ERROR_NOT_SUPPORTED) once it has ended.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
BOOL TerminateProcess(HANDLE process, UINT exitCode);
DWORD GetProcessId(HANDLE process);

// Starts a program. Without an application name the program is the first argument of
// the command line (searched along PATH when it holds no slash). The line is split by
// the platform's rules (platform/kernel/command_line.h) into the program's arguments,
// and the new process reads back the same line. Suspended starts, debugging and
// inherited handles cannot be had here (ERROR_NOT_SUPPORTED). The show command of the
// start-up record is for the window system and is not used here.
BOOL CreateProcessA(const char* applicationName, char* commandLine, const SECURITY_ATTRIBUTES* processSecurity,
                    const SECURITY_ATTRIBUTES* threadSecurity, BOOL inheritHandles, DWORD creationFlags,
                    void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation);

// The full path of a process's program file; the size counts characters and is in/out.
BOOL QueryFullProcessImageNameA(HANDLE process, DWORD flags, char* name, DWORD* size);
DWORD GetModuleFileNameExA(HANDLE process, HMODULE module, char* name, DWORD size);
// Module 0 is the program itself.
DWORD GetModuleFileNameA(HMODULE module, char* name, DWORD size);

using NTSTATUS = LONG;
inline constexpr NTSTATUS STATUS_SUCCESS = 0;
inline constexpr NTSTATUS STATUS_INVALID_INFO_CLASS = static_cast<NTSTATUS>(0xC0000003);
inline constexpr NTSTATUS STATUS_INFO_LENGTH_MISMATCH = static_cast<NTSTATUS>(0xC0000004);
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = static_cast<NTSTATUS>(0xC0000008);
inline constexpr NTSTATUS STATUS_ACCESS_DENIED = static_cast<NTSTATUS>(0xC0000022);

enum PROCESSINFOCLASS { ProcessBasicInformation = 0, ProcessCommandLineInformation = 60 };

// The environment block address has no meaning here and is null; the parent id is real.
struct PROCESS_BASIC_INFORMATION {
  NTSTATUS ExitStatus;
  void* PebBaseAddress;
  std::uintptr_t AffinityMask;
  LONG BasePriority;
  std::uintptr_t UniqueProcessId;
  std::uintptr_t InheritedFromUniqueProcessId;
};

struct UNICODE_STRING {
  WORD Length;
  WORD MaximumLength;
  char16_t* Buffer;
};

// ProcessCommandLineInformation fills a UNICODE_STRING followed by its text.
NTSTATUS NtQueryInformationProcess(HANDLE process, PROCESSINFOCLASS infoClass, void* info, ULONG length,
                                   ULONG* returnLength);

// Ends the process at once with the exit code: no destructor runs and no other thread
// is waited for, but the routines given to AtProcessEnd run first, and buffered output
// is written out.
[[noreturn]] void ExitProcess(UINT exitCode);

namespace platform {

// A routine that removes what this process leaves for others to find (its named
// objects, its window socket). Each runs once, the last given first, when the process
// ends by ExitProcess or by a normal end (a return from main, exit).
void AtProcessEnd(void (*routine)());

// From /proc/<pid>/stat: the start time in clock ticks since boot (0 when the process
// does not exist or has ended) and the parent's id (0 when unknown).
std::uint64_t ProcessStartTime(DWORD processId);
DWORD ProcessParentId(DWORD processId);

}  // namespace platform
