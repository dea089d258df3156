#include "platform/com/server_registration.h"

#include <gtest/gtest.h>

#include "platform/base/errors.h"
#include "platform/kernel/registry.h"

namespace {

using platform::com::GuidKeyText;

std::string Default(const std::string& key) {
  HKEY handle = 0;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
  char text[256] = {};
  DWORD size = sizeof text - 1;
  const LSTATUS status = RegQueryValueExA(handle, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS ? text : "<no value>";
}

platform::com::LocalServerClass Server() {
  platform::com::LocalServerClass server;
  server.Clsid = {0x2d1f6b3a, 0x7c40, 0x4e59, {0x8a, 0x12, 0x33, 0x90, 0xfe, 0x61, 0x0b, 0x7d}};
  server.ProgId = "Lib.Thing";
  server.Description = "Thing Object";
  server.ServerFile = "/opt/lib/thing";
  server.LibId = {0x6a0c9e21, 0x15b3, 0x4f8d, {0xb0, 0x44, 0x7e, 0x2a, 0x91, 0xc5, 0x38, 0x06}};
  server.LibraryDescription = "Lib Library";
  server.DefaultInterface = {0x0e93d7c5, 0x6b21, 0x4a7f, {0x93, 0x5d, 0x18, 0xc4, 0x0f, 0xa2, 0x6e, 0x71}};
  server.InterfaceName = "IThing";
  return server;
}

TEST(LocalServerRegistration, WritesTheStandardKeysAndRemovesOnlyItsOwn) {
  const platform::com::LocalServerClass server = Server();
  const std::string clsid = GuidKeyText(server.Clsid);
  const std::string lib = GuidKeyText(server.LibId);
  const std::string iface = "Interface\\" + GuidKeyText(server.DefaultInterface);
  ASSERT_TRUE(platform::com::RegisterLocalServer(server));
  struct Value {
    std::string key, value;
  } values[] = {
      {"CLSID\\" + clsid, "Thing Object"},
      {"CLSID\\" + clsid + "\\LocalServer32", "/opt/lib/thing"},
      {"CLSID\\" + clsid + "\\ProgID", "Lib.Thing"},
      {"CLSID\\" + clsid + "\\TypeLib", lib},
      {"CLSID\\" + clsid + "\\Version", "1.0"},
      {"Lib.Thing", "Thing Object"},
      {"Lib.Thing\\Clsid", clsid},
      {"TypeLib\\" + lib + "\\1.0", "Lib Library"},
      {"TypeLib\\" + lib + "\\1.0\\0\\win32", "/opt/lib/thing"},
      {"TypeLib\\" + lib + "\\1.0\\HELPDIR", "/opt/lib/"},
      {iface, "IThing"},
      {iface + "\\ProxyStubClsid32", "{00020424-0000-0000-C000-000000000046}"},
      {iface + "\\TypeLib", lib},
  };
  for (const Value& v : values) EXPECT_EQ(Default(v.key), v.value) << v.key;

  ASSERT_TRUE(platform::com::UnregisterLocalServer(server));
  for (const std::string& gone : {"CLSID\\" + clsid, std::string("Lib.Thing"), "TypeLib\\" + lib, iface})
    EXPECT_EQ(Default(gone), "<no key>") << gone;
  // Unregistering what is not there is no failure.
  EXPECT_TRUE(platform::com::UnregisterLocalServer(server));

  // An interface key that another library has taken over stays.
  ASSERT_TRUE(platform::com::RegisterLocalServer(server));
  platform::com::LocalServerClass other = server;
  other.LibId.Data1 ^= 1;
  other.Clsid.Data1 ^= 1;
  other.ProgId = "Lib.Other";
  ASSERT_TRUE(platform::com::RegisterLocalServer(other));
  ASSERT_TRUE(platform::com::UnregisterLocalServer(server));
  EXPECT_EQ(Default(iface + "\\TypeLib"), GuidKeyText(other.LibId));
  ASSERT_TRUE(platform::com::UnregisterLocalServer(other));
  EXPECT_EQ(Default(iface), "<no key>");
}

}  // namespace
