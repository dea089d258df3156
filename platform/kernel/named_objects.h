// Mutexes and events, unnamed or named. Named objects are shared by every process of
// the same user under the same state root: each lives in POSIX shared memory (mode
// 0600) holding a robust process-shared pthread mutex, or an event word that waiters
// sleep on. An object vanishes when the last process that has it open closes it or ends.
#pragma once

#include "platform/base/types.h"
#include "platform/kernel/waits.h"

inline constexpr DWORD MUTEX_MODIFY_STATE = 0x0001;
inline constexpr DWORD MUTEX_ALL_ACCESS = 0x1F0001;
inline constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
inline constexpr DWORD EVENT_ALL_ACCESS = 0x1F0003;

// Creating a name that exists opens it and sets ERROR_ALREADY_EXISTS (the initial
// owner and state are then ignored); a name held by an object of the other kind
// fails with ERROR_INVALID_HANDLE. The security attributes are recorded, never
// applied: the object stays private to the user.
HANDLE CreateMutexA(const SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name);
HANDLE OpenMutexA(DWORD access, BOOL inheritHandle, const char* name);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);

HANDLE CreateEventA(const SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState, const char* name);
HANDLE OpenEventA(DWORD access, BOOL inheritHandle, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

namespace platform {

// True when a mutex or event of that name is open in some process of the user.
bool NamedObjectExists(const char* name);

}  // namespace platform
