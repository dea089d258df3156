#include "platform/kernel/security.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/named_objects.h"

namespace {

constexpr DWORD kSidHeader = 8;
constexpr DWORD kAclHeader = sizeof(ACL);
constexpr DWORD kAceFixed = 8;  // header and mask; the SID follows
constexpr DWORD kRelativeHeader = sizeof(SECURITY_DESCRIPTOR_RELATIVE);

struct SecurityState {
  std::mutex lock;
  std::string worldName = "Everyone";
  std::vector<std::string> recorded;
};

SecurityState& State() {
  static SecurityState state;
  return state;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

DWORD SidLengthFromHeader(const BYTE* sid) { return kSidHeader + 4u * sid[1]; }

// A SID that lies in `available` bytes.
bool SidFits(const BYTE* sid, size_t available) {
  return available >= kSidHeader && sid[0] == SID_REVISION && sid[1] <= SID_MAX_SUB_AUTHORITIES &&
         SidLengthFromHeader(sid) <= available;
}

WORD ReadWord(const BYTE* at) {
  WORD value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

DWORD ReadDword(const BYTE* at) {
  DWORD value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// The end of the last entry of a list whose header is trusted; 0 when an entry
// runs outside the list.
DWORD UsedAclBytes(const BYTE* acl, DWORD aclSize) {
  DWORD offset = kAclHeader;
  WORD count = ReadWord(acl + 4);
  for (WORD i = 0; i < count; ++i) {
    if (offset + sizeof(ACE_HEADER) > aclSize) return 0;
    WORD aceSize = ReadWord(acl + offset + 2);
    if (aceSize < sizeof(ACE_HEADER) || aceSize % 4 != 0 || offset + aceSize > aclSize) return 0;
    offset += aceSize;
  }
  return offset;
}

bool AclFits(const BYTE* acl, size_t available) {
  if (available < kAclHeader) return false;
  BYTE revision = acl[0];
  WORD size = ReadWord(acl + 2);
  return revision >= ACL_REVISION && revision <= ACL_REVISION_DS && size >= kAclHeader && size <= available &&
         UsedAclBytes(acl, size) != 0;
}

bool IsRelative(const void* descriptor) {
  return (static_cast<const SECURITY_DESCRIPTOR*>(descriptor)->Control & SE_SELF_RELATIVE) != 0;
}

// The parts of a descriptor of either form, as pointers.
struct Parts {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  const BYTE* owner = nullptr;
  const BYTE* group = nullptr;
  const BYTE* sacl = nullptr;
  const BYTE* dacl = nullptr;
};

Parts PartsOf(const void* descriptor) {
  Parts parts;
  const auto* absolute = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
  parts.control = absolute->Control;
  if (IsRelative(descriptor)) {
    const auto* base = static_cast<const BYTE*>(descriptor);
    const auto* relative = static_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(descriptor);
    auto at = [base](DWORD offset) { return offset ? base + offset : nullptr; };
    parts.owner = at(relative->Owner);
    parts.group = at(relative->Group);
    parts.sacl = at(relative->Sacl);
    parts.dacl = at(relative->Dacl);
  } else {
    parts.owner = static_cast<const BYTE*>(absolute->Owner);
    parts.group = static_cast<const BYTE*>(absolute->Group);
    parts.sacl = reinterpret_cast<const BYTE*>(absolute->Sacl);
    parts.dacl = reinterpret_cast<const BYTE*>(absolute->Dacl);
  }
  if (!(parts.control & SE_SACL_PRESENT)) parts.sacl = nullptr;
  if (!(parts.control & SE_DACL_PRESENT)) parts.dacl = nullptr;
  return parts;
}

DWORD SidBytes(const BYTE* sid) { return sid ? SidLengthFromHeader(sid) : 0; }
DWORD AclBytes(const BYTE* acl) { return acl ? ReadWord(acl + 2) : 0; }

std::string SidText(const BYTE* sid) {
  unsigned long long authority = 0;
  for (int i = 2; i < 8; ++i) authority = (authority << 8) | sid[i];
  std::string text = "S-" + std::to_string(sid[0]) + "-" + std::to_string(authority);
  for (BYTE i = 0; i < sid[1]; ++i) text += "-" + std::to_string(ReadDword(sid + kSidHeader + 4u * i));
  return text;
}

std::vector<BYTE> MakeSid(const SID_IDENTIFIER_AUTHORITY& authority, std::initializer_list<DWORD> subs) {
  std::vector<BYTE> sid(kSidHeader + 4 * subs.size());
  sid[0] = SID_REVISION;
  sid[1] = static_cast<BYTE>(subs.size());
  std::memcpy(&sid[2], authority.Value, 6);
  size_t offset = kSidHeader;
  for (DWORD sub : subs) {
    std::memcpy(&sid[offset], &sub, 4);
    offset += 4;
  }
  return sid;
}

std::vector<BYTE> WorldSid() { return MakeSid(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID}); }

std::string UserName() {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) return found->pw_name;
  return "user" + std::to_string(getuid());
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "LOCALHOST";
  return platform::AnsiUpperCase(name);
}

bool SameSid(const BYTE* a, const BYTE* b) {
  return SidBytes(a) == SidBytes(b) && std::memcmp(a, b, SidBytes(a)) == 0;
}

// Hands out an account's name and domain: both when both fit, else the sizes each
// needs with its terminating zero.
BOOL PutAccount(const std::string& account, char* name, DWORD* nameSize, const std::string& domain,
                char* domainBuffer, DWORD* domainSize) {
  bool fits = name && domainBuffer && *nameSize > account.size() && *domainSize > domain.size();
  if (!fits) {
    *nameSize = static_cast<DWORD>(account.size() + 1);
    *domainSize = static_cast<DWORD>(domain.size() + 1);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(name, account.c_str(), account.size() + 1);
  std::memcpy(domainBuffer, domain.c_str(), domain.size() + 1);
  *nameSize = static_cast<DWORD>(account.size());
  *domainSize = static_cast<DWORD>(domain.size());
  return TRUE;
}

std::vector<BYTE> MakeAce(BYTE type, BYTE flags, ACCESS_MASK mask, const BYTE* sid) {
  DWORD sidLength = SidBytes(sid);
  std::vector<BYTE> ace(kAceFixed + sidLength);
  WORD size = static_cast<WORD>(ace.size());
  ace[0] = type;
  ace[1] = flags;
  std::memcpy(&ace[2], &size, 2);
  std::memcpy(&ace[4], &mask, 4);
  std::memcpy(&ace[kAceFixed], sid, sidLength);
  return ace;
}

// The entries of a valid list, each as its bytes.
std::vector<std::vector<BYTE>> AcesOf(const BYTE* acl) {
  std::vector<std::vector<BYTE>> aces;
  if (!acl) return aces;
  DWORD offset = kAclHeader;
  for (WORD i = 0, count = ReadWord(acl + 4); i < count; ++i) {
    WORD size = ReadWord(acl + offset + 2);
    aces.emplace_back(acl + offset, acl + offset + size);
    offset += size;
  }
  return aces;
}

BOOL AddTypedAce(PACL acl, DWORD revision, BYTE type, DWORD flags, ACCESS_MASK mask, PSID sid) {
  if (!IsValidSid(sid)) return Fail(ERROR_INVALID_SID);
  std::vector<BYTE> ace = MakeAce(type, static_cast<BYTE>(flags), mask, static_cast<const BYTE*>(sid));
  return AddAce(acl, revision, 0xFFFFFFFF, ace.data(), static_cast<DWORD>(ace.size()));
}

}  // namespace

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5,
                              DWORD sub6, DWORD sub7, PSID* sid) {
  if (!authority || !sid || subAuthorityCount > 8) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD subs[8] = {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7};
  void* memory = LocalAlloc(LPTR, kSidHeader + 4u * subAuthorityCount);
  if (!memory) return FALSE;
  InitializeSid(memory, authority, subAuthorityCount);
  std::memcpy(static_cast<BYTE*>(memory) + kSidHeader, subs, 4u * subAuthorityCount);
  *sid = memory;
  return TRUE;
}

PSID FreeSid(PSID sid) { return LocalFree(sid); }

BOOL InitializeSid(PSID sid, const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount) {
  if (!sid || !authority || subAuthorityCount > SID_MAX_SUB_AUTHORITIES) return Fail(ERROR_INVALID_PARAMETER);
  auto* bytes = static_cast<BYTE*>(sid);
  bytes[0] = SID_REVISION;
  bytes[1] = subAuthorityCount;
  std::memcpy(bytes + 2, authority->Value, 6);
  return TRUE;
}

DWORD* GetSidSubAuthority(PSID sid, DWORD index) {
  return reinterpret_cast<DWORD*>(static_cast<BYTE*>(sid) + kSidHeader + 4 * index);
}

BOOL IsValidSid(PSID sid) {
  const auto* bytes = static_cast<const BYTE*>(sid);
  return bytes && bytes[0] == SID_REVISION && bytes[1] <= SID_MAX_SUB_AUTHORITIES;
}

DWORD GetLengthSid(PSID sid) { return SidBytes(static_cast<const BYTE*>(sid)); }

BOOL EqualSid(PSID a, PSID b) {
  if (!IsValidSid(a) || !IsValidSid(b)) return Fail(ERROR_INVALID_SID);
  SetLastError(ERROR_SUCCESS);
  return SameSid(static_cast<const BYTE*>(a), static_cast<const BYTE*>(b)) ? TRUE : FALSE;
}

BOOL CopySid(DWORD destinationLength, PSID destination, PSID source) {
  if (!IsValidSid(source)) return Fail(ERROR_INVALID_SID);
  if (destinationLength < GetLengthSid(source)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(destination, source, GetLengthSid(source));
  return TRUE;
}

BOOL LookupAccountSidA(const char* /*systemName*/, PSID sid, char* name, DWORD* nameSize, char* domain,
                       DWORD* domainSize, SID_NAME_USE* use) {
  if (platform::faults::ShouldFail("LookupAccountSidA")) return FALSE;
  if (!IsValidSid(sid) || !nameSize || !domainSize) return Fail(ERROR_INVALID_PARAMETER);
  const auto* bytes = static_cast<const BYTE*>(sid);
  std::string account;
  std::string accountDomain;
  SID_NAME_USE kind;
  if (SameSid(bytes, WorldSid().data())) {
    account = platform::WorldGroupName();
    kind = SidTypeWellKnownGroup;
  } else if (SameSid(bytes, platform::CurrentUserSid().data())) {
    account = UserName();
    accountDomain = HostName();
    kind = SidTypeUser;
  } else {
    return Fail(ERROR_NONE_MAPPED);
  }
  if (!PutAccount(account, name, nameSize, accountDomain, domain, domainSize)) return FALSE;
  if (use) *use = kind;
  return TRUE;
}

BOOL LookupAccountNameA(const char* /*systemName*/, const char* accountName, PSID sid, DWORD* sidSize,
                        char* domain, DWORD* domainSize, SID_NAME_USE* use) {
  if (!accountName || !sidSize || !domainSize) return Fail(ERROR_INVALID_PARAMETER);
  std::string wanted = platform::AnsiLowerCase(accountName);
  std::vector<BYTE> found;
  std::string foundDomain;
  SID_NAME_USE kind;
  if (wanted == platform::AnsiLowerCase(platform::WorldGroupName())) {
    found = WorldSid();
    kind = SidTypeWellKnownGroup;
  } else if (wanted == platform::AnsiLowerCase(UserName()) ||
             wanted == platform::AnsiLowerCase(HostName() + "\\" + UserName())) {
    found = platform::CurrentUserSid();
    foundDomain = HostName();
    kind = SidTypeUser;
  } else {
    return Fail(ERROR_NONE_MAPPED);
  }
  bool fits = sid && *sidSize >= found.size() && domain && *domainSize > foundDomain.size();
  *sidSize = static_cast<DWORD>(found.size());
  if (!fits) {
    *domainSize = static_cast<DWORD>(foundDomain.size() + 1);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(sid, found.data(), found.size());
  std::memcpy(domain, foundDomain.c_str(), foundDomain.size() + 1);
  *domainSize = static_cast<DWORD>(foundDomain.size());
  if (use) *use = kind;
  return TRUE;
}

BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision) {
  if (revision < ACL_REVISION || revision > ACL_REVISION_DS) return Fail(ERROR_INVALID_PARAMETER);
  if (!acl || length < kAclHeader || length > 0xFFFF) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memset(acl, 0, kAclHeader);
  acl->AclRevision = static_cast<BYTE>(revision);
  acl->AclSize = static_cast<WORD>(length & ~3u);
  return TRUE;
}

BOOL IsValidAcl(PACL acl) { return acl && AclFits(reinterpret_cast<const BYTE*>(acl), acl->AclSize); }

BOOL AddAce(PACL acl, DWORD revision, DWORD startIndex, const void* aceList, DWORD listLength) {
  if (platform::faults::ShouldFail("AddAce")) return FALSE;
  if (!IsValidAcl(acl) || revision < ACL_REVISION || revision > ACL_REVISION_DS) return Fail(ERROR_INVALID_PARAMETER);
  auto* bytes = reinterpret_cast<BYTE*>(acl);
  // Count the entries handed in and find where the new ones go.
  WORD added = 0;
  const auto* list = static_cast<const BYTE*>(aceList);
  for (DWORD offset = 0; offset < listLength; ++added) {
    if (offset + sizeof(ACE_HEADER) > listLength) return Fail(ERROR_INVALID_PARAMETER);
    WORD size = ReadWord(list + offset + 2);
    if (size < sizeof(ACE_HEADER) || offset + size > listLength) return Fail(ERROR_INVALID_PARAMETER);
    offset += size;
  }
  DWORD used = UsedAclBytes(bytes, acl->AclSize);
  if (used + listLength > acl->AclSize) return Fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
  DWORD insertAt = kAclHeader;
  for (DWORD i = 0; i < startIndex && i < acl->AceCount; ++i) insertAt += ReadWord(bytes + insertAt + 2);
  std::memmove(bytes + insertAt + listLength, bytes + insertAt, used - insertAt);
  std::memcpy(bytes + insertAt, list, listLength);
  acl->AceCount = static_cast<WORD>(acl->AceCount + added);
  acl->AclRevision = static_cast<BYTE>(std::max<DWORD>(acl->AclRevision, revision));
  return TRUE;
}

BOOL GetAce(PACL acl, DWORD index, void** ace) {
  if (!IsValidAcl(acl) || index >= acl->AceCount || !ace) return Fail(ERROR_INVALID_PARAMETER);
  auto* bytes = reinterpret_cast<BYTE*>(acl);
  DWORD offset = kAclHeader;
  for (DWORD i = 0; i < index; ++i) offset += ReadWord(bytes + offset + 2);
  *ace = bytes + offset;
  return TRUE;
}

BOOL AddAccessAllowedAce(PACL acl, DWORD revision, ACCESS_MASK mask, PSID sid) {
  return AddTypedAce(acl, revision, ACCESS_ALLOWED_ACE_TYPE, 0, mask, sid);
}

BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, ACCESS_MASK mask, PSID sid) {
  return AddTypedAce(acl, revision, ACCESS_ALLOWED_ACE_TYPE, flags, mask, sid);
}

BOOL AddMandatoryAce(PACL acl, DWORD revision, DWORD flags, DWORD policy, PSID labelSid) {
  if (platform::faults::ShouldFail("AddMandatoryAce")) return FALSE;
  return AddTypedAce(acl, revision, SYSTEM_MANDATORY_LABEL_ACE_TYPE, flags, policy, labelSid);
}

void BuildExplicitAccessWithNameA(EXPLICIT_ACCESS_A* access, char* trusteeName, DWORD permissions,
                                  ACCESS_MODE mode, DWORD inheritance) {
  *access = EXPLICIT_ACCESS_A{};
  access->grfAccessPermissions = permissions;
  access->grfAccessMode = mode;
  access->grfInheritance = inheritance;
  access->Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  access->Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  access->Trustee.ptstrName = trusteeName;
}

DWORD SetEntriesInAclA(ULONG count, EXPLICIT_ACCESS_A* entries, PACL oldAcl, PACL* newAcl) {
  if (platform::faults::ShouldFail("SetEntriesInAclA")) return GetLastError();
  if (!newAcl || (count && !entries) || (oldAcl && !IsValidAcl(oldAcl))) return ERROR_INVALID_PARAMETER;
  std::vector<std::vector<BYTE>> aces = AcesOf(reinterpret_cast<const BYTE*>(oldAcl));
  for (ULONG i = 0; i < count; ++i) {
    const EXPLICIT_ACCESS_A& entry = entries[i];
    std::vector<BYTE> sid;
    if (entry.Trustee.TrusteeForm == TRUSTEE_IS_SID) {
      if (!IsValidSid(entry.Trustee.ptstrName)) return ERROR_INVALID_SID;
      const auto* source = reinterpret_cast<const BYTE*>(entry.Trustee.ptstrName);
      sid.assign(source, source + SidBytes(source));
    } else {
      DWORD sidSize = 68;
      DWORD domainSize = 256;
      char domain[256];
      sid.resize(sidSize);
      if (!entry.Trustee.ptstrName ||
          !LookupAccountNameA(nullptr, entry.Trustee.ptstrName, sid.data(), &sidSize, domain, &domainSize, nullptr)) {
        return ERROR_NONE_MAPPED;
      }
      sid.resize(sidSize);
    }
    BYTE flags = static_cast<BYTE>(entry.grfInheritance & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE |
                                                          NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE));
    auto forTrustee = [&sid](const std::vector<BYTE>& ace) {
      return (ace[0] == ACCESS_ALLOWED_ACE_TYPE || ace[0] == ACCESS_DENIED_ACE_TYPE) &&
             ace.size() >= kAceFixed + kSidHeader && SameSid(ace.data() + kAceFixed, sid.data());
    };
    switch (entry.grfAccessMode) {
      case GRANT_ACCESS: {
        auto same = std::find_if(aces.begin(), aces.end(), [&](const std::vector<BYTE>& ace) {
          return forTrustee(ace) && ace[0] == ACCESS_ALLOWED_ACE_TYPE && ace[1] == flags;
        });
        if (same != aces.end()) {
          DWORD mask = ReadDword(same->data() + 4) | entry.grfAccessPermissions;
          std::memcpy(same->data() + 4, &mask, 4);
        } else {
          aces.push_back(MakeAce(ACCESS_ALLOWED_ACE_TYPE, flags, entry.grfAccessPermissions, sid.data()));
        }
        break;
      }
      case SET_ACCESS:
        std::erase_if(aces, forTrustee);
        aces.push_back(MakeAce(ACCESS_ALLOWED_ACE_TYPE, flags, entry.grfAccessPermissions, sid.data()));
        break;
      case DENY_ACCESS:
        aces.insert(aces.begin(), MakeAce(ACCESS_DENIED_ACE_TYPE, flags, entry.grfAccessPermissions, sid.data()));
        break;
      case REVOKE_ACCESS:
        std::erase_if(aces, forTrustee);
        break;
      default:
        return ERROR_INVALID_PARAMETER;
    }
  }
  DWORD size = kAclHeader;
  for (const auto& ace : aces) size += static_cast<DWORD>(ace.size());
  if (size > 0xFFFF) return ERROR_ALLOTTED_SPACE_EXCEEDED;
  auto* acl = static_cast<PACL>(LocalAlloc(LPTR, size));
  if (!acl) return ERROR_NOT_ENOUGH_MEMORY;
  InitializeAcl(acl, size, oldAcl ? oldAcl->AclRevision : ACL_REVISION);
  for (const auto& ace : aces) AddAce(acl, acl->AclRevision, 0xFFFFFFFF, ace.data(), static_cast<DWORD>(ace.size()));
  *newAcl = acl;
  return ERROR_SUCCESS;
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  if (platform::faults::ShouldFail("InitializeSecurityDescriptor")) return FALSE;
  if (revision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  if (!descriptor) return Fail(ERROR_INVALID_PARAMETER);
  std::memset(descriptor, 0, sizeof(SECURITY_DESCRIPTOR));
  static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Revision = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor) {
  if (!descriptor || static_cast<const SECURITY_DESCRIPTOR*>(descriptor)->Revision != SECURITY_DESCRIPTOR_REVISION) {
    return Fail(ERROR_INVALID_SECURITY_DESCR);
  }
  Parts parts = PartsOf(descriptor);
  for (const BYTE* sid : {parts.owner, parts.group}) {
    if (sid && !IsValidSid(const_cast<BYTE*>(sid))) return Fail(ERROR_INVALID_SECURITY_DESCR);
  }
  for (const BYTE* acl : {parts.sacl, parts.dacl}) {
    if (acl && !AclFits(acl, ReadWord(acl + 2))) return Fail(ERROR_INVALID_SECURITY_DESCR);
  }
  return TRUE;
}

DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR descriptor) {
  Parts parts = PartsOf(descriptor);
  DWORD parts_size = SidBytes(parts.owner) + SidBytes(parts.group) + AclBytes(parts.sacl) + AclBytes(parts.dacl);
  return (IsRelative(descriptor) ? kRelativeHeader : sizeof(SECURITY_DESCRIPTOR)) + parts_size;
}

BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor, SECURITY_DESCRIPTOR_CONTROL* control,
                                  DWORD* revision) {
  if (!descriptor || !control || !revision) return Fail(ERROR_INVALID_PARAMETER);
  const auto* header = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
  *control = header->Control;
  *revision = header->Revision;
  return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL acl, BOOL defaulted) {
  if (platform::faults::ShouldFail("SetSecurityDescriptorDacl")) return FALSE;
  if (!descriptor) return Fail(ERROR_INVALID_PARAMETER);
  if (IsRelative(descriptor)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  auto* header = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  header->Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
  if (present) header->Control |= SE_DACL_PRESENT;
  if (present && defaulted) header->Control |= SE_DACL_DEFAULTED;
  header->Dacl = present ? acl : nullptr;
  return TRUE;
}

BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL* present, PACL* acl, BOOL* defaulted) {
  if (platform::faults::ShouldFail("GetSecurityDescriptorDacl")) return FALSE;
  if (!descriptor || !present || !acl || !defaulted) return Fail(ERROR_INVALID_PARAMETER);
  Parts parts = PartsOf(descriptor);
  *present = (parts.control & SE_DACL_PRESENT) ? TRUE : FALSE;
  *defaulted = (parts.control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
  *acl = reinterpret_cast<PACL>(const_cast<BYTE*>(parts.dacl));
  return TRUE;
}

BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID owner, BOOL defaulted) {
  if (!descriptor) return Fail(ERROR_INVALID_PARAMETER);
  if (IsRelative(descriptor)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  auto* header = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  header->Owner = owner;
  header->Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~SE_OWNER_DEFAULTED);
  if (defaulted) header->Control |= SE_OWNER_DEFAULTED;
  return TRUE;
}

BOOL MakeAbsoluteSD(PSECURITY_DESCRIPTOR selfRelative, PSECURITY_DESCRIPTOR absolute, DWORD* absoluteSize,
                    PACL dacl, DWORD* daclSize, PACL sacl, DWORD* saclSize, PSID owner, DWORD* ownerSize,
                    PSID group, DWORD* groupSize) {
  if (platform::faults::ShouldFail("MakeAbsoluteSD")) return FALSE;
  if (!selfRelative || !absoluteSize || !daclSize || !saclSize || !ownerSize || !groupSize) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (!IsRelative(selfRelative)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  Parts parts = PartsOf(selfRelative);
  const DWORD needed[5] = {sizeof(SECURITY_DESCRIPTOR), AclBytes(parts.dacl), AclBytes(parts.sacl),
                           SidBytes(parts.owner), SidBytes(parts.group)};
  DWORD* sizes[5] = {absoluteSize, daclSize, saclSize, ownerSize, groupSize};
  bool fits = absolute != nullptr;
  for (int i = 0; i < 5; ++i) fits = fits && *sizes[i] >= needed[i];
  if (!fits) {
    for (int i = 0; i < 5; ++i) *sizes[i] = needed[i];
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  auto copy = [](void* to, const BYTE* from, DWORD size) -> void* {
    if (!from) return nullptr;
    std::memcpy(to, from, size);
    return to;
  };
  auto* header = static_cast<SECURITY_DESCRIPTOR*>(absolute);
  header->Revision = SECURITY_DESCRIPTOR_REVISION;
  header->Sbz1 = 0;
  header->Control = static_cast<SECURITY_DESCRIPTOR_CONTROL>(parts.control & ~SE_SELF_RELATIVE);
  header->Dacl = static_cast<PACL>(copy(dacl, parts.dacl, needed[1]));
  header->Sacl = static_cast<PACL>(copy(sacl, parts.sacl, needed[2]));
  header->Owner = copy(owner, parts.owner, needed[3]);
  header->Group = copy(group, parts.group, needed[4]);
  return TRUE;
}

BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR selfRelative, DWORD* size) {
  if (platform::faults::ShouldFail("MakeSelfRelativeSD")) return FALSE;
  if (!absolute || !size) return Fail(ERROR_INVALID_PARAMETER);
  if (IsRelative(absolute)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  Parts parts = PartsOf(absolute);
  DWORD needed = kRelativeHeader + SidBytes(parts.owner) + SidBytes(parts.group) + AclBytes(parts.sacl) +
                 AclBytes(parts.dacl);
  if (!selfRelative || *size < needed) {
    *size = needed;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  auto* base = static_cast<BYTE*>(selfRelative);
  SECURITY_DESCRIPTOR_RELATIVE header{};
  header.Revision = SECURITY_DESCRIPTOR_REVISION;
  header.Control = static_cast<SECURITY_DESCRIPTOR_CONTROL>(parts.control | SE_SELF_RELATIVE);
  DWORD offset = kRelativeHeader;
  auto place = [&](const BYTE* part, DWORD length) -> DWORD {
    if (!part) return 0;
    std::memcpy(base + offset, part, length);
    offset += length;
    return offset - length;
  };
  header.Owner = place(parts.owner, SidBytes(parts.owner));
  header.Group = place(parts.group, SidBytes(parts.group));
  header.Sacl = place(parts.sacl, AclBytes(parts.sacl));
  header.Dacl = place(parts.dacl, AclBytes(parts.dacl));
  std::memcpy(base, &header, kRelativeHeader);
  return TRUE;
}

DWORD SetNamedSecurityInfoA(const char* objectName, SE_OBJECT_TYPE type, SECURITY_INFORMATION info,
                            PSID owner, PSID group, PACL dacl, PACL sacl) {
  if (platform::faults::ShouldFail("SetNamedSecurityInfoA")) return GetLastError();
  if (!objectName) return ERROR_INVALID_PARAMETER;
  struct stat status{};
  bool exists = type == SE_KERNEL_OBJECT ? platform::NamedObjectExists(objectName)
                : type == SE_FILE_OBJECT ? ::stat(objectName, &status) == 0
                                         : false;
  if (type != SE_KERNEL_OBJECT && type != SE_FILE_OBJECT) return ERROR_CALL_NOT_IMPLEMENTED;
  if (!exists) return ERROR_FILE_NOT_FOUND;
  char line[160];
  std::snprintf(line, sizeof line, "SetNamedSecurityInfoA type %d info 0x%X", static_cast<int>(type),
                static_cast<unsigned>(info));
  std::string record = std::string(line) + " " + objectName;
  if (owner) record += " owner " + SidText(static_cast<const BYTE*>(owner));
  if (group) record += " group " + SidText(static_cast<const BYTE*>(group));
  if (dacl) record += " dacl " + platform::DescribeAcl(dacl);
  if (sacl) record += " sacl " + platform::DescribeAcl(sacl);
  platform::RecordSecurityCall(record);
  return ERROR_SUCCESS;
}

namespace platform {

std::string WorldGroupName() {
  std::lock_guard guard(State().lock);
  return State().worldName;
}

void SetWorldGroupName(const std::string& name) {
  std::lock_guard guard(State().lock);
  State().worldName = name;
}

std::vector<BYTE> CurrentUserSid() {
  return MakeSid(SECURITY_NT_AUTHORITY, {21, 0, 0, 0, static_cast<DWORD>(getuid())});
}

bool IsValidSelfRelative(const BYTE* data, size_t size) {
  if (size < kRelativeHeader || data[0] != SECURITY_DESCRIPTOR_REVISION) return false;
  SECURITY_DESCRIPTOR_RELATIVE header;
  std::memcpy(&header, data, kRelativeHeader);
  if (!(header.Control & SE_SELF_RELATIVE)) return false;
  auto inside = [&](DWORD offset, bool isAcl) {
    if (offset == 0) return true;
    if (offset % 4 != 0 || offset < kRelativeHeader || offset >= size) return false;
    return isAcl ? AclFits(data + offset, size - offset) : SidFits(data + offset, size - offset);
  };
  return inside(header.Owner, false) && inside(header.Group, false) && inside(header.Sacl, true) &&
         inside(header.Dacl, true);
}

std::vector<BYTE> SelfRelativeCopy(PSECURITY_DESCRIPTOR descriptor) {
  if (!descriptor || !::IsValidSecurityDescriptor(descriptor)) return {};
  if (IsRelative(descriptor)) {
    const auto* bytes = static_cast<const BYTE*>(descriptor);
    Parts parts = PartsOf(descriptor);
    size_t end = kRelativeHeader;
    auto reach = [&](const BYTE* part, DWORD length) {
      if (part) end = std::max<size_t>(end, static_cast<size_t>(part - bytes) + length);
    };
    reach(parts.owner, SidBytes(parts.owner));
    reach(parts.group, SidBytes(parts.group));
    reach(parts.sacl, AclBytes(parts.sacl));
    reach(parts.dacl, AclBytes(parts.dacl));
    return std::vector<BYTE>(bytes, bytes + end);
  }
  DWORD size = 0;
  MakeSelfRelativeSD(descriptor, nullptr, &size);
  std::vector<BYTE> copy(size);
  if (!MakeSelfRelativeSD(descriptor, copy.data(), &size)) return {};
  return copy;
}

std::vector<BYTE> DefaultSecurity(ACCESS_MASK rights) {
  std::vector<BYTE> user = CurrentUserSid();
  std::vector<BYTE> ace = MakeAce(ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, rights,
                                  user.data());
  std::vector<BYTE> acl(kAclHeader + ace.size());
  InitializeAcl(reinterpret_cast<PACL>(acl.data()), static_cast<DWORD>(acl.size()), ACL_REVISION);
  AddAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, 0, ace.data(), static_cast<DWORD>(ace.size()));
  SECURITY_DESCRIPTOR absolute{};
  absolute.Revision = SECURITY_DESCRIPTOR_REVISION;
  absolute.Control = SE_DACL_PRESENT;
  absolute.Owner = user.data();
  absolute.Dacl = reinterpret_cast<PACL>(acl.data());
  return SelfRelativeCopy(&absolute);
}

std::string DescribeAcl(const ACL* acl) {
  if (!acl) return "null";
  std::string text;
  for (const auto& ace : AcesOf(reinterpret_cast<const BYTE*>(acl))) {
    const char* kind = ace[0] == ACCESS_ALLOWED_ACE_TYPE         ? "allow"
                       : ace[0] == ACCESS_DENIED_ACE_TYPE          ? "deny"
                       : ace[0] == SYSTEM_MANDATORY_LABEL_ACE_TYPE ? "label"
                                                                   : "other";
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " 0x%X flags 0x%X", static_cast<unsigned>(ReadDword(ace.data() + 4)),
                  static_cast<unsigned>(ace[1]));
    if (!text.empty()) text += "; ";
    text += kind;
    text += " ";
    text += ace.size() >= kAceFixed + kSidHeader && SidFits(ace.data() + kAceFixed, ace.size() - kAceFixed)
                ? SidText(ace.data() + kAceFixed)
                : std::string("?");
    text += numbers;
  }
  return text.empty() ? "empty" : text;
}

std::vector<std::string> RecordedSecurityCalls() {
  std::lock_guard guard(State().lock);
  return State().recorded;
}

void RecordSecurityCall(const std::string& line) {
  std::lock_guard guard(State().lock);
  State().recorded.push_back(line);
}

void ClearRecordedSecurityCalls() {
  std::lock_guard guard(State().lock);
  State().recorded.clear();
}

}  // namespace platform
