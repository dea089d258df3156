#include "support/registry_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/kernel/fresh_home.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/version.h"
#include "support/locks.h"
#include "support/process_version.h"

namespace {

constexpr const char* kPlugIn = "Software\\Quindle\\PlugIns\\PELLIX";

using RegistryAccess = FreshHome;

TEST_F(RegistryAccess, StringsAndNumbersRoundTrip) {
  struct Case {
    const char* name;
    std::string value;
  };
  const Case cases[] = {
      {"empty", ""},
      {"", "the default value"},
      {"short", "Pellix"},
      {"high bytes", "Gr\xFC\xDF" "e \x80"},
      {"long", std::string(600, 'x')},
  };
  for (const Case& c : cases) ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kPlugIn, c.name, c.value)) << c.name;
  for (const Case& c : cases) {
    std::string read = "junk";
    EXPECT_TRUE(RegReadString(HKEY_CURRENT_USER, kPlugIn, c.name, read)) << c.name;
    EXPECT_EQ(read, c.value) << c.name;
    EXPECT_EQ(RegReadStringDef(HKEY_CURRENT_USER, kPlugIn, c.name, "default"), c.value) << c.name;
  }
  std::vector<BYTE> stored;
  ASSERT_TRUE(RegReadValue(HKEY_CURRENT_USER, kPlugIn, "empty", REG_SZ, stored));
  EXPECT_EQ(stored, std::vector<BYTE>{0});

  ASSERT_TRUE(RegWriteDWord(HKEY_LOCAL_MACHINE, kPlugIn, "INNOWIN", 0xFFFFFFFE));
  DWORD number = 0;
  std::int32_t signedNumber = 0;
  EXPECT_TRUE(RegReadDWord(HKEY_LOCAL_MACHINE, kPlugIn, "INNOWIN", number));
  EXPECT_EQ(number, 0xFFFFFFFEu);
  EXPECT_TRUE(RegReadInteger(HKEY_LOCAL_MACHINE, kPlugIn, "INNOWIN", signedNumber));
  EXPECT_EQ(signedNumber, -2);
  ASSERT_TRUE(RegReadValue(HKEY_LOCAL_MACHINE, kPlugIn, "INNOWIN", REG_DWORD, stored));
  EXPECT_EQ(stored, (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));  // little-endian
}

TEST_F(RegistryAccess, ReadsOfAnotherTypeOrMissingValuesFail) {
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kPlugIn, "text", "5"));
  ASSERT_TRUE(RegWriteDWord(HKEY_CURRENT_USER, kPlugIn, "number", 5));
  ASSERT_TRUE(RegWriteValue(HKEY_CURRENT_USER, kPlugIn, "expand", REG_EXPAND_SZ, "%x%", 4));
  std::string text = "junk";
  DWORD number = 9;
  std::vector<BYTE> data;
  SetLastError(77);  // reads leave the last error alone
  EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, kPlugIn, "number", text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, kPlugIn, "expand", text));
  EXPECT_FALSE(RegReadDWord(HKEY_CURRENT_USER, kPlugIn, "text", number));
  EXPECT_EQ(number, 0u);
  EXPECT_FALSE(RegReadValue(HKEY_CURRENT_USER, kPlugIn, "text", REG_BINARY, data));
  EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, "Software\\Missing", "text", text));
  EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, kPlugIn, "missing", text));
  EXPECT_EQ(GetLastError(), 77u);
  EXPECT_EQ(RegReadStringDef(HKEY_CURRENT_USER, "Software\\Missing", "text", "def"), "def");
  EXPECT_EQ(RegReadStringDef(HKEY_CURRENT_USER, kPlugIn, "missing", "def"), "def");
  // The default reader takes any type as text up to the first zero byte.
  EXPECT_EQ(RegReadStringDef(HKEY_CURRENT_USER, kPlugIn, "expand", "def"), "%x%");
  ASSERT_TRUE(RegWriteDWord(HKEY_CURRENT_USER, kPlugIn, "letter", 0x41));
  EXPECT_EQ(RegReadStringDef(HKEY_CURRENT_USER, kPlugIn, "letter", "def"), "A");
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kPlugIn, "text"));
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kPlugIn, "missing"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Quindle"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Missing"));
}

// Only a terminating zero is dropped (a value written without one keeps its last byte).
TEST_F(RegistryAccess, ReadStringDropsOnlyATerminatingZero) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string read;
  };
  const Case cases[] = {
      {"terminated", std::string("abc\0", 4), "abc"},
      {"unterminated", "abc", "abc"},
      {"single byte", "a", "a"},
      {"only a zero", std::string("\0", 1), ""},
      {"no bytes", "", ""},
      {"zero inside", std::string("a\0b\0", 4), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(RegWriteValue(HKEY_CURRENT_USER, kPlugIn, c.name, REG_SZ, c.bytes.data(),
                              static_cast<DWORD>(c.bytes.size())));
    std::string read;
    EXPECT_TRUE(RegReadString(HKEY_CURRENT_USER, kPlugIn, c.name, read)) << c.name;
    EXPECT_EQ(read, c.read) << c.name;
  }
}

// Values without any zero byte end at their size, not somewhere behind it.
TEST_F(RegistryAccess, DefaultReaderStopsAtTheValuesEnd) {
  for (size_t length : {3u, 499u, 500u, 501u, 2000u}) {
    std::string bytes(length, 'q');
    ASSERT_TRUE(RegWriteValue(HKEY_CURRENT_USER, kPlugIn, "raw", REG_BINARY, bytes.data(),
                              static_cast<DWORD>(bytes.size())));
    EXPECT_EQ(RegReadStringDef(HKEY_CURRENT_USER, kPlugIn, "raw", "def"), bytes) << length;
  }
  // Paths are normalised, and names and paths are cut at 255 characters.
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kPlugIn, std::string(255, 'n'), "cut"));
  EXPECT_EQ(RegReadStringDef(HKEY_CURRENT_USER, "  Software\\\\\\Quindle\\PlugIns\\PELLIX\\ ", std::string(300, 'n'),
                             "def"),
            "cut");
}

TEST_F(RegistryAccess, DeleteKeyTreeRemovesSubkeysToo) {
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, std::string(kPlugIn) + "\\Sub\\Deeper", "v", "x"));
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kPlugIn, "v", "x"));
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "Software\\Quindle\\PlugIns\\OTHER", "v", "x"));
  EXPECT_TRUE(RegDeleteKeyTree(HKEY_CURRENT_USER, kPlugIn));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kPlugIn));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, std::string(kPlugIn) + "\\Sub"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Quindle\\PlugIns\\OTHER"));

  EXPECT_FALSE(RegDeleteKeyTree(HKEY_CURRENT_USER, kPlugIn));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(RegDeleteKeyTree(HKEY_CURRENT_USER, "Software\\Nowhere\\Key"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "TopLevel", "v", "x"));
  EXPECT_FALSE(RegDeleteKeyTree(HKEY_CURRENT_USER, "TopLevel"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "TopLevel"));
}

TEST_F(RegistryAccess, WritesAndDeletesLeaveTheirResultAsLastError) {
  platform::faults::FailNext("RegCreateKeyExA", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(RegWriteString(HKEY_CURRENT_USER, kPlugIn, "v", "x"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  platform::faults::FailNext("RegSetValueExA", 1, ERROR_DISK_FULL);
  EXPECT_FALSE(RegWriteDWord(HKEY_CURRENT_USER, kPlugIn, "v", 1));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_TRUE(RegWriteDWord(HKEY_CURRENT_USER, kPlugIn, "v", 1));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_FALSE(RegDeleteValue(HKEY_CURRENT_USER, kPlugIn, "missing"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(RegDeleteValue(HKEY_CURRENT_USER, "Software\\Missing", "v"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(RegDeleteValue(HKEY_CURRENT_USER, kPlugIn, "v"));
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kPlugIn, "v"));
}

TEST(RegistryPaths, NormalizeAndLastCharPos) {
  struct Normalize {
    std::string path;
    std::string normal;
  };
  const Normalize paths[] = {
      {" \t Software\\\\\\Quindle\\ \r\n", "Software\\Quindle"},
      {"\\Software\\", "\\Software"},
      {"a\\\\\\\\\\b", "a\\b"},
      {"\\\\", ""},
      {"", ""},
      {"plain", "plain"},
  };
  for (const Normalize& p : paths) EXPECT_EQ(NormalizeRegPath(p.path), p.normal) << p.path;
  struct Position {
    char ch;
    std::string text;
    int position;
  };
  const Position positions[] = {{'\\', "a\\b\\c", 4}, {'\\', "", 0}, {'\\', "abc", 0}, {'a', "a", 1}, {'c', "abc", 3}};
  for (const Position& p : positions) EXPECT_EQ(LastCharPos(p.ch, p.text), p.position) << p.text;
}

TEST_F(RegistryAccess, AllowEveryoneIsRecordedButNeverWidensTheFile) {
  ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kPlugIn, "v", "x"));
  EXPECT_TRUE(RegSetAllowEveryone(HKEY_LOCAL_MACHINE, kPlugIn));
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPlugIn, 0, KEY_READ, &key), ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR descriptor = RegGetKeySecurityDescriptor(key);
  RegCloseKey(key);
  ASSERT_NE(descriptor, nullptr);
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
  EXPECT_NE(platform::DescribeAcl(acl).find("allow S-1-1-0 0x10000000 flags 0x3"), std::string::npos);
  LocalFree(descriptor);
  struct stat status{};
  ASSERT_EQ(::stat(platform::registry::DatabasePath().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_FALSE(RegSetAllowEveryone(HKEY_LOCAL_MACHINE, "Software\\Missing"));
  EXPECT_EQ(RegGetKeySecurityDescriptor(0x1234), nullptr);

  // On a system outside the NT family the key is not even opened.
  platform::ReportedVersion saved = platform::GetReportedVersion();
  platform::ReportedVersion w98;
  w98.platformId = VER_PLATFORM_WIN32_WINDOWS;
  w98.major = 4;
  w98.minor = 10;
  platform::SetReportedVersion(w98);
  InitOSVersion();
  platform::faults::FailNext("RegOpenKeyExA", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(RegSetAllowEveryone(HKEY_LOCAL_MACHINE, kPlugIn));
  EXPECT_EQ(platform::faults::Pending("RegOpenKeyExA"), 1);
  platform::SetReportedVersion(saved);
  InitOSVersion();
}

}  // namespace
