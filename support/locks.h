// Locks and named objects: the in-process lock, the named mutex and event that other
// processes open by name, and the security routines that build world-access
// descriptors for them and for keys, folders and files. On this system the
// descriptors are a model only: nothing is ever opened wider than the user.
//
// The classes live in namespace support because the class library has classes of
// the same names that are not these.
#pragma once

#include <chrono>
#include <string>

#include "platform/base/types.h"
#include "platform/kernel/critical_section.h"
#include "platform/kernel/security.h"
#include "platform/kernel/waits.h"

namespace support {

class TCriticalSection {
 public:
  TCriticalSection();
  ~TCriticalSection();
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  // True when the lock is held; INFINITE waits without limit. A finite time-out polls
  // every 10 ms; on a system outside the NT family every Enter blocks.
  bool Enter(DWORD timeout = INFINITE);
  void Leave();

  // The standard names, so that std::scoped_lock and std::unique_lock hold the lock
  // for a scope and an early return or an exception cannot leave it held.
  void lock() { Enter(INFINITE); }
  bool try_lock();
  bool try_lock_for(std::chrono::milliseconds timeout);
  void unlock() { Leave(); }

 private:
  CRITICAL_SECTION section_;
};

// A named mutex that is opened, or created open to everyone. Never raises: when
// neither works, Handle stays 0 and Wait answers false.
class TMutex {
 public:
  explicit TMutex(const std::string& name);
  ~TMutex();  // releases once when the last Wait succeeded, then closes
  TMutex(const TMutex&) = delete;
  TMutex& operator=(const TMutex&) = delete;

  // True when the calling thread now owns the mutex (an abandoned mutex counts).
  bool Wait(DWORD timeout);
  void Release();

  // The standard names over Wait and Release, for std::unique_lock. Lock raises
  // std::system_error when the mutex cannot be had (no handle), as std::mutex does.
  void lock();
  bool try_lock() { return Wait(0); }
  bool try_lock_for(std::chrono::milliseconds timeout);
  void unlock() { Release(); }

  std::string Name;
  HANDLE Handle = 0;
  bool Owned = false;
};

// A named manual-reset event, opened or created not signalled and open to everyone.
class TEvent {
 public:
  explicit TEvent(const std::string& name);
  ~TEvent();
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  bool Wait(DWORD timeout);
  BOOL SetEvent();
  BOOL ResetEvent();

  std::string Name;
  HANDLE Handle = 0;
};

// Pauses the calling thread by waiting on its own process, which never signals.
void Delay(DWORD milliseconds);

// Program-wide values of the start-up below: the world group's name ("Everyone" until
// the start-up looks it up), its SID, and the attributes for new folders and files.
extern std::string WorldTrusteeName;
extern PSID WorldSid;
extern SECURITY_ATTRIBUTES* FileAllowEveryoneSA;

// Start-up and end of this unit. The start-up runs when the program loads; tests run
// the end and the start-up again to see other answers of the system.
void InitLocks();
void FinalizeLocks();

// Attributes whose list grants Rights to the world group; a list that cannot be built
// leaves a null list (full access). Null on failure. Free with FreeSecurityAttributes.
SECURITY_ATTRIBUTES* CreateAllowEveryoneSA(DWORD rights);
// The list merged with one entry for the trustee, from LocalAlloc; null on failure.
PACL BuildTrusteeAcl(PACL oldAcl, const std::string& trusteeName, DWORD rights, ACCESS_MODE accessMode,
                     DWORD inheritance);
// Attributes holding Acl; the attributes own the list from here on. Null for a null list.
SECURITY_ATTRIBUTES* CreateSecurityAttributesFromAcl(PACL acl);
// Frees the attributes, their descriptor and its list; null is allowed.
void FreeSecurityAttributes(SECURITY_ATTRIBUTES* attributes);
// A new self-relative descriptor (from LocalAlloc) whose list also grants GENERIC_ALL
// to the trustee; null on any failure.
PSECURITY_DESCRIPTOR AddTrusteeToSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, const std::string& trusteeName);
// True when labelled, or when there is nothing to do (before Vista, or no label call).
bool SetObjectIntegrityLabel(const std::string& objectName, SE_OBJECT_TYPE objectType, DWORD labelRid,
                             DWORD policy);

}  // namespace support
