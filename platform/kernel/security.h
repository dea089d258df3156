// Security identifiers, access lists and security descriptors in the platform's own
// binary layouts, so that code which builds and edits them runs unchanged. On Linux
// they are a model only: descriptors are kept and recorded, but nothing is ever opened
// wider than the user (folders 0700, files and named objects 0600).
#pragma once

#include <string>
#include <vector>

#include "platform/base/access_rights.h"
#include "platform/base/types.h"

using PSID = void*;
using SECURITY_INFORMATION = DWORD;
using ACCESS_MASK = DWORD;
using SECURITY_DESCRIPTOR_CONTROL = WORD;

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};

// A SID: revision, count, authority, then Count sub-authorities.
struct SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[1];
};

struct ACL {
  BYTE AclRevision;
  BYTE Sbz1;
  WORD AclSize;
  WORD AceCount;
  WORD Sbz2;
};
using PACL = ACL*;

struct ACE_HEADER {
  BYTE AceType;
  BYTE AceFlags;
  WORD AceSize;
};

// Allowed, denied and mandatory-label entries share this layout: the SID starts at SidStart.
struct ACCESS_ALLOWED_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
};

// The absolute form holds pointers; the self-relative form offsets from its start.
struct SECURITY_DESCRIPTOR {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  PSID Owner;
  PSID Group;
  PACL Sacl;
  PACL Dacl;
};

struct SECURITY_DESCRIPTOR_RELATIVE {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  DWORD Owner;
  DWORD Group;
  DWORD Sacl;
  DWORD Dacl;
};

inline constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1;
inline constexpr DWORD SECURITY_DESCRIPTOR_MIN_LENGTH = sizeof(SECURITY_DESCRIPTOR);
inline constexpr DWORD ACL_REVISION = 2;
inline constexpr DWORD ACL_REVISION_DS = 4;
inline constexpr BYTE SID_REVISION = 1;
inline constexpr BYTE SID_MAX_SUB_AUTHORITIES = 15;

inline constexpr SECURITY_DESCRIPTOR_CONTROL SE_OWNER_DEFAULTED = 0x0001;
inline constexpr SECURITY_DESCRIPTOR_CONTROL SE_GROUP_DEFAULTED = 0x0002;
inline constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_PRESENT = 0x0004;
inline constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_DEFAULTED = 0x0008;
inline constexpr SECURITY_DESCRIPTOR_CONTROL SE_SACL_PRESENT = 0x0010;
inline constexpr SECURITY_DESCRIPTOR_CONTROL SE_SACL_DEFAULTED = 0x0020;
inline constexpr SECURITY_DESCRIPTOR_CONTROL SE_SELF_RELATIVE = 0x8000;

inline constexpr SECURITY_INFORMATION OWNER_SECURITY_INFORMATION = 0x01;
inline constexpr SECURITY_INFORMATION GROUP_SECURITY_INFORMATION = 0x02;
inline constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x04;
inline constexpr SECURITY_INFORMATION SACL_SECURITY_INFORMATION = 0x08;
inline constexpr SECURITY_INFORMATION LABEL_SECURITY_INFORMATION = 0x10;

inline constexpr BYTE ACCESS_ALLOWED_ACE_TYPE = 0x0;
inline constexpr BYTE ACCESS_DENIED_ACE_TYPE = 0x1;
inline constexpr BYTE SYSTEM_MANDATORY_LABEL_ACE_TYPE = 0x11;
inline constexpr BYTE OBJECT_INHERIT_ACE = 0x1;
inline constexpr BYTE CONTAINER_INHERIT_ACE = 0x2;
inline constexpr BYTE NO_PROPAGATE_INHERIT_ACE = 0x4;
inline constexpr BYTE INHERIT_ONLY_ACE = 0x8;
inline constexpr DWORD SYSTEM_MANDATORY_LABEL_NO_WRITE_UP = 0x1;
inline constexpr DWORD SECURITY_MANDATORY_LOW_RID = 0x1000;
inline constexpr DWORD SECURITY_WORLD_RID = 0;

inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_WORLD_SID_AUTHORITY = {{0, 0, 0, 0, 0, 1}};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_MANDATORY_LABEL_AUTHORITY = {{0, 0, 0, 0, 0, 16}};

inline constexpr ACCESS_MASK FILE_ALL_ACCESS = 0x001F01FF;

enum ACCESS_MODE { NOT_USED_ACCESS = 0, GRANT_ACCESS, SET_ACCESS, DENY_ACCESS, REVOKE_ACCESS };
inline constexpr DWORD NO_INHERITANCE = 0x0;
inline constexpr DWORD SUB_OBJECTS_ONLY_INHERIT = 0x1;
inline constexpr DWORD SUB_CONTAINERS_ONLY_INHERIT = 0x2;
inline constexpr DWORD SUB_CONTAINERS_AND_OBJECTS_INHERIT = 0x3;

enum TRUSTEE_FORM { TRUSTEE_IS_SID = 0, TRUSTEE_IS_NAME = 1 };
enum TRUSTEE_TYPE { TRUSTEE_IS_UNKNOWN = 0, TRUSTEE_IS_USER, TRUSTEE_IS_GROUP, TRUSTEE_IS_DOMAIN,
                    TRUSTEE_IS_ALIAS, TRUSTEE_IS_WELL_KNOWN_GROUP };
enum SID_NAME_USE { SidTypeUser = 1, SidTypeGroup, SidTypeDomain, SidTypeAlias, SidTypeWellKnownGroup };

struct TRUSTEE_A {
  void* pMultipleTrustee;
  DWORD MultipleTrusteeOperation;
  TRUSTEE_FORM TrusteeForm;
  TRUSTEE_TYPE TrusteeType;
  char* ptstrName;  // a name, or a PSID when TrusteeForm is TRUSTEE_IS_SID
};

struct EXPLICIT_ACCESS_A {
  DWORD grfAccessPermissions;
  ACCESS_MODE grfAccessMode;
  DWORD grfInheritance;
  TRUSTEE_A Trustee;
};

enum SE_OBJECT_TYPE { SE_UNKNOWN_OBJECT_TYPE = 0, SE_FILE_OBJECT, SE_SERVICE, SE_PRINTER, SE_REGISTRY_KEY,
                      SE_LMSHARE, SE_KERNEL_OBJECT };

// SIDs
BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5,
                              DWORD sub6, DWORD sub7, PSID* sid);
PSID FreeSid(PSID sid);
BOOL InitializeSid(PSID sid, const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount);
DWORD* GetSidSubAuthority(PSID sid, DWORD index);
BOOL IsValidSid(PSID sid);
DWORD GetLengthSid(PSID sid);
BOOL EqualSid(PSID a, PSID b);
BOOL CopySid(DWORD destinationLength, PSID destination, PSID source);

// Accounts: the world group and the current user are the accounts this system knows.
BOOL LookupAccountSidA(const char* systemName, PSID sid, char* name, DWORD* nameSize, char* domain,
                       DWORD* domainSize, SID_NAME_USE* use);
BOOL LookupAccountNameA(const char* systemName, const char* accountName, PSID sid, DWORD* sidSize,
                        char* domain, DWORD* domainSize, SID_NAME_USE* use);

// Access lists
BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision);
BOOL IsValidAcl(PACL acl);
BOOL AddAce(PACL acl, DWORD revision, DWORD startIndex, const void* aceList, DWORD listLength);
BOOL GetAce(PACL acl, DWORD index, void** ace);
BOOL AddAccessAllowedAce(PACL acl, DWORD revision, ACCESS_MASK mask, PSID sid);
BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, ACCESS_MASK mask, PSID sid);
BOOL AddMandatoryAce(PACL acl, DWORD revision, DWORD flags, DWORD policy, PSID labelSid);

void BuildExplicitAccessWithNameA(EXPLICIT_ACCESS_A* access, char* trusteeName, DWORD permissions,
                                  ACCESS_MODE mode, DWORD inheritance);
// Answers an error code; the new list comes from LocalAlloc and is freed with LocalFree.
DWORD SetEntriesInAclA(ULONG count, EXPLICIT_ACCESS_A* entries, PACL oldAcl, PACL* newAcl);

// Descriptors
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor);
DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR descriptor);
BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor, SECURITY_DESCRIPTOR_CONTROL* control,
                                  DWORD* revision);
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL acl, BOOL defaulted);
BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL* present, PACL* acl, BOOL* defaulted);
BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID owner, BOOL defaulted);
BOOL MakeAbsoluteSD(PSECURITY_DESCRIPTOR selfRelative, PSECURITY_DESCRIPTOR absolute, DWORD* absoluteSize,
                    PACL dacl, DWORD* daclSize, PACL sacl, DWORD* saclSize, PSID owner, DWORD* ownerSize,
                    PSID group, DWORD* groupSize);
BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR selfRelative, DWORD* size);

// Recorded only: Linux has no integrity levels and objects never open wider than the
// user. Answers ERROR_FILE_NOT_FOUND for a kernel object name that names nothing.
DWORD SetNamedSecurityInfoA(const char* objectName, SE_OBJECT_TYPE type, SECURITY_INFORMATION info,
                            PSID owner, PSID group, PACL dacl, PACL sacl);

namespace platform {

// The local name of the world group (S-1-1-0); "Everyone" unless a test sets another,
// as a language edition of the system would.
std::string WorldGroupName();
void SetWorldGroupName(const std::string& name);

// The SID of the user running the program (S-1-5-21-0-0-0-<uid>).
std::vector<BYTE> CurrentUserSid();

// A self-relative copy of any valid descriptor (absolute or self-relative); empty when invalid.
std::vector<BYTE> SelfRelativeCopy(PSECURITY_DESCRIPTOR descriptor);

// Checks a self-relative descriptor of known length: every part lies inside it.
bool IsValidSelfRelative(const BYTE* data, size_t size);

// A descriptor owned by the current user whose list allows the user all of Rights.
std::vector<BYTE> DefaultSecurity(ACCESS_MASK rights);

// Calls whose effect is recorded rather than applied, one line each, for tests.
std::vector<std::string> RecordedSecurityCalls();
void RecordSecurityCall(const std::string& line);
void ClearRecordedSecurityCalls();

// One line naming each entry of a list ("allow S-1-1-0 0x1F0001 flags 0x3; ..."), or "null".
std::string DescribeAcl(const ACL* acl);

}  // namespace platform
