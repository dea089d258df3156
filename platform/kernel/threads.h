// Threads: started with a routine and a parameter, waitable until they end, with the
// routine's answer as their exit code.
#pragma once

#include <cstddef>

#include "platform/base/types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

inline constexpr DWORD CREATE_SUSPENDED = 0x00000004;
inline constexpr DWORD STILL_ACTIVE = 259;

// A thread created suspended waits until ResumeThread. The stack size is a hint.
HANDLE CreateThread(const SECURITY_ATTRIBUTES* security, std::size_t stackSize, LPTHREAD_START_ROUTINE routine,
                    void* parameter, DWORD flags, DWORD* threadId);
// Answers the previous suspend count (1 for a thread created suspended, else 0).
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD GetCurrentThreadId();
