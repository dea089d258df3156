#include "platform/kernel/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/security.h"
#include "platform/kernel/fresh_home.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes Text(const std::string& text) { return Bytes(text.c_str(), text.c_str() + text.size() + 1); }

HKEY Create(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = 0;
  EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr), ERROR_SUCCESS) << path;
  return key;
}

LSTATUS Set(HKEY key, const char* name, DWORD type, const Bytes& data) {
  return RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

// Reads a value through the size probe, as callers do.
LSTATUS Get(HKEY key, const char* name, DWORD& type, Bytes& data) {
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return status;
  data.assign(size, 0xCC);
  return RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
}

using RegistryTest = FreshHome;

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytes) {
  struct Case {
    const char* name;
    DWORD type;
    Bytes data;
  };
  const Case cases[] = {
      {"text", REG_SZ, Text("hello")},
      {"empty text", REG_SZ, Text("")},
      {"expand", REG_EXPAND_SZ, Text("%TEMP%\\x")},
      {"number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {"binary", REG_BINARY, {0, 1, 2, 0, 255}},
      {"empty binary", REG_BINARY, {}},
      {"high bytes \xE9", REG_SZ, Text("caf\xE9 \x80")},
      {"", REG_SZ, Text("default value")},
  };
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Types");
  for (const Case& c : cases) ASSERT_EQ(Set(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
  for (const Case& c : cases) {
    DWORD type = 0;
    Bytes data;
    ASSERT_EQ(Get(key, c.name, type, data), ERROR_SUCCESS) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(data, c.data) << c.name;
  }
  // A null name is the default value too, and names compare without case.
  DWORD type = 0;
  Bytes data;
  ASSERT_EQ(Get(key, nullptr, type, data), ERROR_SUCCESS);
  EXPECT_EQ(data, Text("default value"));
  ASSERT_EQ(Get(key, "TEXT", type, data), ERROR_SUCCESS);
  EXPECT_EQ(data, Text("hello"));
  RegCloseKey(key);
}

TEST_F(RegistryTest, QuerySizeProbeAndMoreData) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Probe");
  std::string long_text(600, 'x');
  ASSERT_EQ(Set(key, "long", REG_SZ, Text(long_text)), ERROR_SUCCESS);
  DWORD size = 0;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "long", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 601u);
  EXPECT_EQ(type, REG_SZ);
  char small[500];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "long", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 601u);
  std::vector<char> exact(601);
  size = 601;
  EXPECT_EQ(RegQueryValueExA(key, "long", nullptr, nullptr, reinterpret_cast<BYTE*>(exact.data()), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(exact.data()), long_text);
  // Data without a size is refused rather than written blindly.
  EXPECT_EQ(RegQueryValueExA(key, "long", nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryTest, ErrorCodes) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Errors");
  ASSERT_EQ(Set(key, "v", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  HKEY reader = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Errors", 0, KEY_READ, &reader), ERROR_SUCCESS);
  HKEY out = 0;
  DWORD size = 0;
  struct Case {
    const char* what;
    LSTATUS got;
    LSTATUS want;
  };
  const Case cases[] = {
      {"missing key", RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nope\\Deeper", 0, KEY_READ, &out),
       ERROR_FILE_NOT_FOUND},
      {"missing value", RegQueryValueExA(key, "nope", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND},
      {"delete missing value", RegDeleteValueA(key, "nope"), ERROR_FILE_NOT_FOUND},
      {"delete missing key", RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Nope"), ERROR_FILE_NOT_FOUND},
      {"closed handle", RegQueryValueExA(0x1234, "v", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE},
      {"write through a read key", Set(reader, "w", REG_DWORD, {1, 0, 0, 0}), ERROR_ACCESS_DENIED},
      {"delete through a read key", RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED},
      {"empty name inside a path",
       RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\\\X", 0, nullptr, 0, KEY_WRITE, nullptr, &out, nullptr),
       ERROR_BAD_PATHNAME},
      {"leading backslash on create",
       RegCreateKeyExA(HKEY_CURRENT_USER, "\\Software\\X", 0, nullptr, 0, KEY_WRITE, nullptr, &out, nullptr),
       ERROR_BAD_PATHNAME},
      {"hive cannot be deleted", RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  // A key deleted through another handle answers ERROR_KEY_DELETED.
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Errors"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(reader, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(reader), ERROR_INVALID_HANDLE);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DeepPathsAreCreatedWholeAndOpenWithoutCase) {
  HKEY key = 0;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "A\\B\\C\\D\\E\\", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "a\\b\\c\\d\\e", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  for (const char* path : {"A", "A\\B", "a\\B\\c", "A\\B\\C\\D", "\\A\\B\\C\\D\\E"}) {
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_SUCCESS) << path;
    RegCloseKey(key);
  }
  // The hives are apart.
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DeleteKeyRefusesSubkeysAndDeleteTreeTakesAll) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Tree\\Child\\Grandchild");
  ASSERT_EQ(Set(key, "deep", REG_SZ, Text("x")), ERROR_SUCCESS);
  RegCloseKey(key);
  key = Create(HKEY_CURRENT_USER, "Software\\Tree");
  ASSERT_EQ(Set(key, "top", REG_SZ, Text("y")), ERROR_SUCCESS);
  RegCloseKey(key);
  HKEY sibling = Create(HKEY_CURRENT_USER, "Software\\TreeSibling");
  RegCloseKey(sibling);

  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tree"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tree\\Child", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);

  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tree"), ERROR_SUCCESS);
  for (const char* path : {"Software\\Tree", "Software\\Tree\\Child", "Software\\Tree\\Child\\Grandchild"}) {
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << path;
  }
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TreeSibling", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  // A re-created key starts empty: no value of the old tree comes back.
  key = Create(HKEY_CURRENT_USER, "Software\\Tree\\Child\\Grandchild");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "deep", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationOrder) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Enum");
  for (const char* name : {"beta", "Alpha", "gamma"}) RegCloseKey(Create(key, name));
  for (const char* name : {"z", "a", "m"}) ASSERT_EQ(Set(key, name, REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "z", REG_SZ, Text("again")), ERROR_SUCCESS);  // an update keeps its place

  std::vector<std::string> keys;
  char name[64];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof name;
    LSTATUS status = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(size, std::strlen(name));
    keys.push_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "gamma"}));

  std::vector<std::string> values;
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof name;
    DWORD type = 0;
    LSTATUS status = RegEnumValueA(key, index, name, &size, nullptr, &type, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    values.push_back(name);
  }
  EXPECT_EQ(values, (std::vector<std::string>{"z", "a", "m"}));

  DWORD tiny = 3;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &tiny, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  DWORD subKeys = 0, valueCount = 0, longestValue = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &valueCount, nullptr,
                             &longestValue, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 3u);
  EXPECT_EQ(valueCount, 3u);
  EXPECT_EQ(longestValue, 6u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, ShellFoldersAreSeededInsideTheStateRoot) {
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                          0, KEY_READ, &key),
            ERROR_SUCCESS);
  for (const char* name : {"AppData", "Desktop"}) {
    DWORD type = 0;
    Bytes data;
    ASSERT_EQ(Get(key, name, type, data), ERROR_SUCCESS) << name;
    EXPECT_EQ(type, REG_SZ);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.back(), 0);
    std::string folder(reinterpret_cast<const char*>(data.data()));
    EXPECT_EQ(folder, (home() / name).string());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
  }
  RegCloseKey(key);
}

TEST_F(RegistryTest, DatabaseIsPrivateToTheUser) {
  RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Private"));
  struct stat status{};
  ASSERT_EQ(::stat(platform::registry::DatabasePath().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, KeySecurityIsKeptAndProbed) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Secure");
  DWORD size = SECURITY_DESCRIPTOR_MIN_LENGTH;
  Bytes small(size);
  ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, small.data(), &size), ERROR_INSUFFICIENT_BUFFER);
  Bytes descriptor(size);
  ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size), ERROR_SUCCESS);
  ASSERT_TRUE(IsValidSecurityDescriptor(descriptor.data()));
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted));
  EXPECT_TRUE(present);
  ASSERT_NE(acl, nullptr);
  EXPECT_EQ(acl->AceCount, 1);

  // Add the world group, as a caller that opens a key to everyone does.
  char world[] = "Everyone";
  EXPLICIT_ACCESS_A access;
  BuildExplicitAccessWithNameA(&access, world, GENERIC_ALL, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  PACL widened = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &access, acl, &widened), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR absolute;
  InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&absolute, TRUE, widened, FALSE);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &absolute), ERROR_SUCCESS);
  LocalFree(widened);

  size = 0;
  ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size), ERROR_INSUFFICIENT_BUFFER);
  descriptor.assign(size, 0);
  ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size), ERROR_SUCCESS);
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted));
  EXPECT_NE(platform::DescribeAcl(acl).find("allow S-1-1-0 0x10000000 flags 0x3"), std::string::npos)
      << platform::DescribeAcl(acl);
  // The model never widens the file itself.
  struct stat status{};
  ASSERT_EQ(::stat(platform::registry::DatabasePath().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  // A key opened for reading cannot change it.
  HKEY reader = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Secure", 0, KEY_READ, &reader), ERROR_SUCCESS);
  EXPECT_EQ(RegSetKeySecurity(reader, DACL_SECURITY_INFORMATION, &absolute), ERROR_ACCESS_DENIED);
  RegCloseKey(reader);
  RegCloseKey(key);
}

TEST_F(RegistryTest, InjectedFailuresAnswerTheirCodeAndLeaveLastErrorAlone) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Faults");
  platform::faults::FailNext("RegOpenKeyExA", 1, ERROR_ACCESS_DENIED);
  platform::faults::FailNext("RegSetValueExA", 1, ERROR_DISK_FULL);
  SetLastError(42);
  HKEY out = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Faults", 0, KEY_READ, &out), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Set(key, "v", REG_DWORD, {1, 0, 0, 0}), ERROR_DISK_FULL);
  EXPECT_EQ(GetLastError(), 42u);
  EXPECT_EQ(Set(key, "v", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  RegCloseKey(key);
}

// Damaged files: the registry fails clearly, and the file is never written over.
TEST_F(RegistryTest, DamagedDatabaseFailsAndIsKept) {
  RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Before"));
  platform::registry::CloseDatabase();
  std::filesystem::path path = platform::registry::DatabasePath();
  std::string original;
  {
    std::ifstream in(path, std::ios::binary);
    original.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(original.size(), 4096u);
  struct Damage {
    const char* what;
    std::string bytes;
  };
  std::string flipped = original;
  for (size_t i = 100; i < flipped.size(); i += 7) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
  const Damage damages[] = {
      {"not a database", std::string(5000, 'x')},
      {"truncated", original.substr(0, original.size() / 2 + 3)},
      {"scrambled pages", flipped},
  };
  for (const Damage& damage : damages) {
    platform::registry::CloseDatabase();
    for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out << damage.bytes;
    }
    HKEY key = 0;
    LSTATUS open = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Before", 0, KEY_READ, &key);
    LSTATUS create = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\After", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                     nullptr);
    EXPECT_NE(open, ERROR_SUCCESS) << damage.what;
    EXPECT_EQ(create, ERROR_REGISTRY_CORRUPT) << damage.what;
    std::ifstream in(path, std::ios::binary);
    std::string after(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
    EXPECT_EQ(after, damage.bytes) << damage.what;
  }
}

TEST_F(RegistryTest, ForeignDatabaseIsRefused) {
  RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\X"));
  platform::registry::CloseDatabase();
  // A sound SQLite file whose tables are not the registry's.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(platform::registry::DatabasePath().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "DROP TABLE reg_values; CREATE TABLE reg_values(x)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  HKEY key = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
}

// Roles for the cross-process tests: write a value, or check that a value reads as given.
const bool kWriterRole = pellix_test::RegisterChildRole("registry-writer", [](const std::vector<std::string>& args) {
  HKEY key = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return 2;
  }
  int failures = 0;
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    failures += Set(key, args[i].c_str(), REG_SZ, Text(args[i + 1])) != ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return failures == 0 ? 0 : 1;
});

const bool kReaderRole = pellix_test::RegisterChildRole("registry-reader", [](const std::vector<std::string>& args) {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, KEY_READ, &key) != ERROR_SUCCESS) return 2;
  DWORD type = 0;
  Bytes data;
  LSTATUS status = Get(key, args.at(0).c_str(), type, data);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && data == Text(args.at(1)) ? 0 : 1;
});

TEST_F(RegistryTest, OtherProcessesSeeCommittedWritesAtOnce) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Shared");
  ASSERT_EQ(Set(key, "mine", REG_SZ, Text("from parent")), ERROR_SUCCESS);
  EXPECT_EQ(pellix_test::RunChild("registry-reader", {"mine", "from parent"}), 0);
  EXPECT_EQ(pellix_test::RunChild("registry-writer", {"theirs", "from child"}), 0);
  // This process keeps its database open and still reads the child's write.
  DWORD type = 0;
  Bytes data;
  ASSERT_EQ(Get(key, "theirs", type, data), ERROR_SUCCESS);
  EXPECT_EQ(data, Text("from child"));
  RegCloseKey(key);
}

TEST_F(RegistryTest, WritersInSeveralProcessesAtOnceLoseNothing) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Shared");
  std::vector<int> children;
  for (int child = 0; child < 3; ++child) {
    std::vector<std::string> args;
    for (int i = 0; i < 40; ++i) {
      args.push_back("c" + std::to_string(child) + "v" + std::to_string(i));
      args.push_back(std::to_string(i));
    }
    children.push_back(pellix_test::StartChild("registry-writer", args));
  }
  for (int i = 0; i < 40; ++i) ASSERT_EQ(Set(key, ("p" + std::to_string(i)).c_str(), REG_SZ, Text("p")), ERROR_SUCCESS);
  for (int pid : children) EXPECT_EQ(pellix_test::WaitChild(pid), 0);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 160u);
  RegCloseKey(key);
}

}  // namespace
