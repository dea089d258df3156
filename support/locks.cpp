#include "support/locks.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/handles.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/named_objects.h"
#include "platform/kernel/process.h"
#include "support/process_version.h"

namespace support {

std::string WorldTrusteeName = "Everyone";
PSID WorldSid = nullptr;
SECURITY_ATTRIBUTES* FileAllowEveryoneSA = nullptr;

namespace {

using AddMandatoryAceProc = BOOL (*)(PACL, DWORD, DWORD, DWORD, PSID);
AddMandatoryAceProc AddMandatoryAceEntry = nullptr;

// A finite time in milliseconds: negative counts as 0, and no finite time reaches INFINITE.
DWORD Milliseconds(std::chrono::milliseconds timeout) {
  return static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INFINITE - 1));
}

constexpr DWORD kFileAclSize = 1024;
constexpr DWORD kLabelAclSize = 64;

// Runs the start-up when the program loads and the end when it finishes.
struct Lifetime {
  Lifetime() { InitLocks(); }
  ~Lifetime() { FinalizeLocks(); }
};
const Lifetime kLifetime;

// Creates a named object open to everyone and lowers its integrity label; an object
// that was opened instead keeps the label it has.
template <typename Create>
HANDLE CreateOpenToEveryone(DWORD rights, const std::string& name, Create create) {
  SECURITY_ATTRIBUTES* attributes = CreateAllowEveryoneSA(rights);
  HANDLE handle = create(attributes);
  FreeSecurityAttributes(attributes);
  SetObjectIntegrityLabel(name, SE_KERNEL_OBJECT, SECURITY_MANDATORY_LOW_RID, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP);
  return handle;
}

// Attributes (length set, not inheritable) whose descriptor holds Acl as its present
// list; a null Acl is a present null list. Null when anything fails.
SECURITY_ATTRIBUTES* AttributesWithList(PACL acl) {
  void* descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  auto* attributes = static_cast<SECURITY_ATTRIBUTES*>(LocalAlloc(LPTR, sizeof(SECURITY_ATTRIBUTES)));
  if (!descriptor || !attributes || !InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE)) {
    LocalFree(descriptor);
    LocalFree(attributes);
    return nullptr;
  }
  *attributes = SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
  return attributes;
}

}  // namespace

TCriticalSection::TCriticalSection() { InitializeCriticalSection(&section_); }

TCriticalSection::~TCriticalSection() { DeleteCriticalSection(&section_); }

bool TCriticalSection::Enter(DWORD timeout) {
  if (!IsNT || timeout == INFINITE) {
    EnterCriticalSection(&section_);
    return true;
  }
  DWORD start = GetTickCount();
  DWORD elapsed;
  do {
    if (TryEnterCriticalSection(&section_)) return true;
    Delay(10);
    elapsed = GetTickCount() - start;  // unsigned: a wrap of the tick count still subtracts right
  } while (elapsed <= timeout);
  return false;
}

void TCriticalSection::Leave() { LeaveCriticalSection(&section_); }

bool TCriticalSection::try_lock() { return TryEnterCriticalSection(&section_) != FALSE; }

bool TCriticalSection::try_lock_for(std::chrono::milliseconds timeout) { return Enter(Milliseconds(timeout)); }

TMutex::TMutex(const std::string& name) : Name(name) {
  Handle = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, Name.c_str());
  if (Handle == 0) {
    Handle = CreateOpenToEveryone(MUTEX_ALL_ACCESS, Name, [this](SECURITY_ATTRIBUTES* attributes) {
      return CreateMutexA(attributes, FALSE, Name.c_str());
    });
  }
}

TMutex::~TMutex() {
  if (Owned) Release();
  if (Handle != 0) CloseHandle(Handle);
}

bool TMutex::Wait(DWORD timeout) {
  DWORD result = WaitForSingleObject(Handle, timeout);
  Owned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  return Owned;
}

void TMutex::Release() { ReleaseMutex(Handle); }

void TMutex::lock() {
  if (!Wait(INFINITE)) throw std::system_error(std::make_error_code(std::errc::invalid_argument), "TMutex " + Name);
}

bool TMutex::try_lock_for(std::chrono::milliseconds timeout) { return Wait(Milliseconds(timeout)); }

TEvent::TEvent(const std::string& name) : Name(name) {
  Handle = OpenEventA(EVENT_ALL_ACCESS, FALSE, Name.c_str());
  if (Handle == 0) {
    Handle = CreateOpenToEveryone(EVENT_ALL_ACCESS, Name, [this](SECURITY_ATTRIBUTES* attributes) {
      return CreateEventA(attributes, TRUE, FALSE, Name.c_str());
    });
  }
}

TEvent::~TEvent() {
  if (Handle != 0) CloseHandle(Handle);
}

bool TEvent::Wait(DWORD timeout) {
  DWORD result = WaitForSingleObject(Handle, timeout);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

BOOL TEvent::SetEvent() { return ::SetEvent(Handle); }

BOOL TEvent::ResetEvent() { return ::ResetEvent(Handle); }

void Delay(DWORD milliseconds) { WaitForSingleObject(GetCurrentProcess(), milliseconds); }

void InitLocks() {
  AllocateAndInitializeSid(&SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &WorldSid);
  char name[256];
  char domain[256];
  DWORD nameSize = sizeof name;
  DWORD domainSize = sizeof domain;
  SID_NAME_USE use;
  if (WorldSid && LookupAccountSidA(nullptr, WorldSid, name, &nameSize, domain, &domainSize, &use)) {
    WorldTrusteeName = name;
  }
  auto* acl = static_cast<PACL>(LocalAlloc(LPTR, kFileAclSize));
  if (acl && WorldSid && InitializeAcl(acl, kFileAclSize, ACL_REVISION)) {
    DWORD sidLength = GetLengthSid(WorldSid);
    std::vector<BYTE> ace(8 + sidLength);
    ACE_HEADER header{ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                      static_cast<WORD>(ace.size())};
    std::memcpy(ace.data(), &header, sizeof header);
    std::memcpy(ace.data() + 4, &FILE_ALL_ACCESS, 4);
    std::memcpy(ace.data() + 8, WorldSid, sidLength);
    AddAce(acl, ACL_REVISION, 0, ace.data(), static_cast<DWORD>(ace.size()));
    FileAllowEveryoneSA = CreateSecurityAttributesFromAcl(acl);
  }
  if (!FileAllowEveryoneSA) LocalFree(acl);
  AddMandatoryAceEntry =
      reinterpret_cast<AddMandatoryAceProc>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "AddMandatoryAce"));
}

void FinalizeLocks() {
  FreeSid(WorldSid);
  WorldSid = nullptr;
  FreeSecurityAttributes(FileAllowEveryoneSA);
  FileAllowEveryoneSA = nullptr;
  WorldTrusteeName.clear();
  AddMandatoryAceEntry = nullptr;
}

SECURITY_ATTRIBUTES* CreateAllowEveryoneSA(DWORD rights) {
  PACL acl = BuildTrusteeAcl(nullptr, WorldTrusteeName, rights, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  SECURITY_ATTRIBUTES* attributes = AttributesWithList(acl);
  if (!attributes) LocalFree(acl);
  return attributes;
}

PACL BuildTrusteeAcl(PACL oldAcl, const std::string& trusteeName, DWORD rights, ACCESS_MODE accessMode,
                     DWORD inheritance) {
  std::string name = trusteeName;
  EXPLICIT_ACCESS_A access;
  BuildExplicitAccessWithNameA(&access, name.data(), rights, accessMode, inheritance);
  PACL acl = nullptr;
  return SetEntriesInAclA(1, &access, oldAcl, &acl) == ERROR_SUCCESS ? acl : nullptr;
}

SECURITY_ATTRIBUTES* CreateSecurityAttributesFromAcl(PACL acl) { return acl ? AttributesWithList(acl) : nullptr; }

void FreeSecurityAttributes(SECURITY_ATTRIBUTES* attributes) {
  if (!attributes) return;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL acl = nullptr;
  if (attributes->lpSecurityDescriptor &&
      GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl, &defaulted)) {
    LocalFree(acl);
  }
  LocalFree(attributes->lpSecurityDescriptor);
  LocalFree(attributes);
}

PSECURITY_DESCRIPTOR AddTrusteeToSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, const std::string& trusteeName) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL oldAcl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &oldAcl, &defaulted)) return nullptr;
  PACL newAcl = BuildTrusteeAcl(oldAcl, trusteeName, GENERIC_ALL, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  SECURITY_DESCRIPTOR absolute;
  InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
  DWORD absoluteSize = sizeof absolute, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
  MakeAbsoluteSD(descriptor, &absolute, &absoluteSize, nullptr, &daclSize, nullptr, &saclSize, nullptr, &ownerSize,
                 nullptr, &groupSize);
  std::vector<BYTE> dacl(daclSize), sacl(saclSize), owner(ownerSize), group(groupSize);
  PSECURITY_DESCRIPTOR result = nullptr;
  if (MakeAbsoluteSD(descriptor, &absolute, &absoluteSize, reinterpret_cast<PACL>(dacl.data()), &daclSize,
                     reinterpret_cast<PACL>(sacl.data()), &saclSize, owner.data(), &ownerSize, group.data(),
                     &groupSize) &&
      SetSecurityDescriptorDacl(&absolute, present, newAcl, defaulted)) {
    DWORD size = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &size);
    result = LocalAlloc(LPTR, size);
    if (result && !MakeSelfRelativeSD(&absolute, result, &size)) result = LocalFree(result);
  }
  LocalFree(newAcl);
  return result;
}

bool SetObjectIntegrityLabel(const std::string& objectName, SE_OBJECT_TYPE objectType, DWORD labelRid,
                             DWORD policy) {
  if (OSId != VISTA || !AddMandatoryAceEntry) return true;
  auto* acl = static_cast<PACL>(LocalAlloc(LPTR, kLabelAclSize));
  if (!acl) return false;
  InitializeAcl(acl, kLabelAclSize, ACL_REVISION);
  alignas(4) BYTE label[12];
  InitializeSid(label, &SECURITY_MANDATORY_LABEL_AUTHORITY, 1);
  *GetSidSubAuthority(label, 0) = labelRid;
  bool labelled = false;
  if (AddMandatoryAceEntry(acl, ACL_REVISION_DS, 0, policy, label)) {
    DWORD result =
        SetNamedSecurityInfoA(objectName.c_str(), objectType, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, acl);
    if (result != ERROR_SUCCESS) SetLastError(result);
    labelled = result == ERROR_SUCCESS;
  }
  LocalFree(acl);
  return labelled;
}

}  // namespace support
