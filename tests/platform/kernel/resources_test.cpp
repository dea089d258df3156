#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/base/errors.h"
#include "platform/kernel/resources.h"

namespace {

std::string Bytes(const char* name, const char* type) {
  HRSRC resource = FindResourceA(0, name, type);
  if (resource == 0) return "<missing>";
  const void* data = LockResource(LoadResource(0, resource));
  return std::string(static_cast<const char*>(data), SizeofResource(0, resource));
}

TEST(Resources, EmbeddedFilesAreFoundByTypeAndNameWithoutCase) {
  EXPECT_EQ(Bytes("HELLO", RT_RCDATA), "Hello, resources\n");
  EXPECT_EQ(Bytes("hello", "#10"), "Hello, resources\n") << "a number may be written as text";
  EXPECT_EQ(Bytes("Empty", RT_RCDATA), "");
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(Bytes(MAKEINTRESOURCEA(7), "ff_data"), all) << "numbered name, text type, every byte value";
  EXPECT_EQ(Bytes("#7", "FF_DATA"), all);
  HRSRC viaInstance = FindResourceA(platform::kProgramInstance, "HELLO", RT_RCDATA);
  EXPECT_EQ(viaInstance, FindResourceA(0, "HELLO", RT_RCDATA));
}

TEST(Resources, MissingTypesNamesModulesAndHandles) {
  EXPECT_EQ(FindResourceA(0, "NOPE", RT_RCDATA), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(FindResourceA(0, "HELLO", RT_BITMAP), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_EQ(FindResourceA(0x12340000, "HELLO", RT_RCDATA), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_EQ(FindResourceA(0, nullptr, RT_RCDATA), 0u);
  EXPECT_EQ(LoadResource(0, 0), nullptr);
  EXPECT_EQ(LoadResource(0, 999999), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SizeofResource(0, 999999), 0u);
}

TEST(Resources, ALaterRegistrationReplacesTheEarlierOne) {
  static const std::uint8_t first[] = {1};
  static const std::uint8_t second[] = {2, 2};
  platform::RegisterResource("TESTTYPE", "twice", first, sizeof first);
  const HRSRC before = FindResourceA(0, "TWICE", "TestType");
  platform::RegisterResource("testtype", "TWICE", second, sizeof second);
  EXPECT_EQ(FindResourceA(0, "twice", "TESTTYPE"), before) << "handles stay valid";
  EXPECT_EQ(SizeofResource(0, before), 2u);
}

}  // namespace
