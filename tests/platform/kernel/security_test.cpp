#include "platform/kernel/security.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/base/errors.h"
#include "platform/kernel/fresh_home.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/named_objects.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes WorldSid() {
  PSID sid = nullptr;
  EXPECT_TRUE(AllocateAndInitializeSid(&SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                       &sid));
  Bytes copy(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
  FreeSid(sid);
  return copy;
}

TEST(Security, WorldSidAndItsName) {
  Bytes world = WorldSid();
  EXPECT_EQ(world.size(), 12u);
  char name[256];
  char domain[256];
  DWORD nameSize = sizeof name;
  DWORD domainSize = sizeof domain;
  SID_NAME_USE use;
  ASSERT_TRUE(LookupAccountSidA(nullptr, world.data(), name, &nameSize, domain, &domainSize, &use));
  EXPECT_STREQ(name, "Everyone");
  EXPECT_EQ(use, SidTypeWellKnownGroup);
  // Another language edition names the group differently; the name is looked up both ways.
  platform::SetWorldGroupName("Jeder");
  nameSize = 3;
  domainSize = sizeof domain;
  EXPECT_FALSE(LookupAccountSidA(nullptr, world.data(), name, &nameSize, domain, &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(nameSize, 6u);
  EXPECT_EQ(domainSize, 1u);
  nameSize = sizeof name;
  domainSize = sizeof domain;
  ASSERT_TRUE(LookupAccountSidA(nullptr, world.data(), name, &nameSize, domain, &domainSize, &use));
  EXPECT_STREQ(name, "Jeder");
  char jeder[] = "Jeder";
  EXPLICIT_ACCESS_A access;
  BuildExplicitAccessWithNameA(&access, jeder, GENERIC_ALL, GRANT_ACCESS, NO_INHERITANCE);
  PACL acl = nullptr;
  EXPECT_EQ(SetEntriesInAclA(1, &access, nullptr, &acl), ERROR_SUCCESS);
  EXPECT_EQ(platform::DescribeAcl(acl), "allow S-1-1-0 0x10000000 flags 0x0");
  LocalFree(acl);
  platform::SetWorldGroupName("Everyone");
}

TEST(Security, EntriesMergeAndUnknownTrusteesAreRefused) {
  char world[] = "Everyone";
  char nobody[] = "Nobody Here";
  EXPLICIT_ACCESS_A entries[2];
  BuildExplicitAccessWithNameA(&entries[0], world, 0x1, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  BuildExplicitAccessWithNameA(&entries[1], world, 0x2, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  PACL acl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(2, entries, nullptr, &acl), ERROR_SUCCESS);
  EXPECT_EQ(platform::DescribeAcl(acl), "allow S-1-1-0 0x3 flags 0x3");
  PACL revoked = nullptr;
  BuildExplicitAccessWithNameA(&entries[0], world, 0, REVOKE_ACCESS, NO_INHERITANCE);
  ASSERT_EQ(SetEntriesInAclA(1, entries, acl, &revoked), ERROR_SUCCESS);
  EXPECT_EQ(platform::DescribeAcl(revoked), "empty");
  BuildExplicitAccessWithNameA(&entries[0], nobody, 0x1, GRANT_ACCESS, NO_INHERITANCE);
  PACL none = nullptr;
  EXPECT_EQ(SetEntriesInAclA(1, entries, acl, &none), ERROR_NONE_MAPPED);
  EXPECT_EQ(none, nullptr);
  LocalFree(acl);
  LocalFree(revoked);
}

TEST(Security, AclSpaceIsChecked) {
  Bytes world = WorldSid();
  alignas(4) BYTE buffer[1024];
  auto* acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, 28, ACL_REVISION));
  EXPECT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, 3, FILE_ALL_ACCESS, world.data()));
  void* ace = nullptr;
  ASSERT_TRUE(GetAce(acl, 0, &ace));
  EXPECT_EQ(static_cast<ACE_HEADER*>(ace)->AceSize, world.size() + 8);
  EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, world.data()));
  EXPECT_EQ(GetLastError(), ERROR_ALLOTTED_SPACE_EXCEEDED);
  // A label entry with the newer revision lifts the list's revision.
  ASSERT_TRUE(InitializeAcl(acl, 64, ACL_REVISION));
  PSID label = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&SECURITY_MANDATORY_LABEL_AUTHORITY, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0,
                                       0, 0, 0, &label));
  EXPECT_TRUE(AddMandatoryAce(acl, ACL_REVISION_DS, 0, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, label));
  EXPECT_EQ(acl->AclRevision, ACL_REVISION_DS);
  EXPECT_EQ(platform::DescribeAcl(acl), "label S-1-16-4096 0x1 flags 0x0");
  FreeSid(label);
}

TEST(Security, DescriptorsConvertBothWaysWithSizeProbes) {
  Bytes world = WorldSid();
  alignas(4) BYTE aclBuffer[64];
  auto* acl = reinterpret_cast<PACL>(aclBuffer);
  InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
  AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, world.data());
  SECURITY_DESCRIPTOR absolute;
  ASSERT_TRUE(InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE));
  DWORD size = 0;
  EXPECT_FALSE(MakeSelfRelativeSD(&absolute, nullptr, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 20u + 64u);
  Bytes relative(size);
  ASSERT_TRUE(MakeSelfRelativeSD(&absolute, relative.data(), &size));
  EXPECT_TRUE(platform::IsValidSelfRelative(relative.data(), relative.size()));
  EXPECT_FALSE(SetSecurityDescriptorDacl(relative.data(), TRUE, nullptr, FALSE));  // self-relative is read-only

  SECURITY_DESCRIPTOR back;
  DWORD backSize = 0, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
  EXPECT_FALSE(MakeAbsoluteSD(relative.data(), nullptr, &backSize, nullptr, &daclSize, nullptr, &saclSize, nullptr,
                              &ownerSize, nullptr, &groupSize));
  EXPECT_EQ(daclSize, 64u);
  EXPECT_EQ(ownerSize, 0u);
  Bytes dacl(daclSize);
  ASSERT_TRUE(MakeAbsoluteSD(relative.data(), &back, &backSize, reinterpret_cast<PACL>(dacl.data()), &daclSize,
                             nullptr, &saclSize, nullptr, &ownerSize, nullptr, &groupSize));
  BOOL present = FALSE, defaulted = TRUE;
  PACL got = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(&back, &present, &got, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_FALSE(defaulted);
  EXPECT_EQ(platform::DescribeAcl(got), "allow S-1-1-0 0x10000000 flags 0x0");
}

TEST(Security, HostileSelfRelativeDescriptorsAreRejected) {
  Bytes good = platform::DefaultSecurity(0xF003F);
  ASSERT_TRUE(platform::IsValidSelfRelative(good.data(), good.size()));
  auto with = [&](size_t offset, std::initializer_list<BYTE> bytes) {
    Bytes changed = good;
    std::copy(bytes.begin(), bytes.end(), changed.begin() + static_cast<std::ptrdiff_t>(offset));
    return changed;
  };
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"too short for its header", Bytes(good.begin(), good.begin() + 12)},
      {"cut inside its list", Bytes(good.begin(), good.end() - 4)},
      {"not marked self-relative", with(3, {0x00})},
      {"wrong revision", with(0, {2})},
      {"owner far outside", with(4, {0xFF, 0xFF, 0, 0})},
      {"list offset not aligned", with(16, {21, 0, 0, 0})},
      {"list offset into the header", with(16, {4, 0, 0, 0})},
  };
  for (const Case& c : cases) EXPECT_FALSE(platform::IsValidSelfRelative(c.bytes.data(), c.bytes.size())) << c.what;
}

using NamedSecurity = FreshHome;

TEST_F(NamedSecurity, LabelsAreRecordedForObjectsThatExist) {
  alignas(4) BYTE buffer[64];
  auto* sacl = reinterpret_cast<PACL>(buffer);
  InitializeAcl(sacl, sizeof buffer, ACL_REVISION);
  PSID label = nullptr;
  AllocateAndInitializeSid(&SECURITY_MANDATORY_LABEL_AUTHORITY, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0, 0, 0, 0,
                           &label);
  AddMandatoryAce(sacl, ACL_REVISION_DS, 0, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, label);
  FreeSid(label);
  EXPECT_EQ(SetNamedSecurityInfoA("NoSuchObject", SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr,
                                  nullptr, sacl),
            ERROR_FILE_NOT_FOUND);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "Labelled");
  platform::ClearRecordedSecurityCalls();
  EXPECT_EQ(SetNamedSecurityInfoA("Labelled", SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                  sacl),
            ERROR_SUCCESS);
  ASSERT_EQ(platform::RecordedSecurityCalls().size(), 1u);
  EXPECT_EQ(platform::RecordedSecurityCalls()[0],
            "SetNamedSecurityInfoA type 6 info 0x10 Labelled sacl label S-1-16-4096 0x1 flags 0x0");
  CloseHandle(mutex);
}

}  // namespace
