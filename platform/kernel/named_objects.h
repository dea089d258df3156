// Mutexes and events, unnamed or named. Named objects are shared by every process of
// the same user under the same state root: each is a file (mode 0600) mapped into
// memory, holding a robust process-shared pthread mutex or an event word that waiters
// sleep on. The files lie in a folder of the user's (mode 0700) in the user's runtime
// folder ($XDG_RUNTIME_DIR) when there is one, else in the state root, so that no other
// user can make an object first; a folder or file that someone else owns, or that
// others may write in, is refused (ERROR_ACCESS_DENIED) and never used. An object
// vanishes when the last process that has it open closes it or ends; one left by a
// process that was killed is removed by the next start (RemoveStaleNamedObjects).
#pragma once

#include <filesystem>

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

// The folder of the user's named objects under the current state root, and the file of
// an object of that name (empty for a name that is not valid).
std::filesystem::path NamedObjectFolder();
std::filesystem::path NamedObjectPath(const char* name);

// This process lets go of its named objects, removing those no other process holds;
// run when the process ends (platform::AtProcessEnd), also by ExitProcess.
void RemoveOwnNamedObjects();
// Removes the objects that no live process holds any more (left by a killed process).
void RemoveStaleNamedObjects();

}  // namespace platform
