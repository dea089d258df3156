#include "platform/host/host_plugins.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/base/errors.h"
#include "platform/kernel/registry.h"

namespace {

using platform::com::ComPtr;

constexpr CLSID kTestClass = {0x1c7e5a90, 0x44d2, 0x4b8f, {0x91, 0x3a, 0x20, 0x6e, 0xd8, 0x5b, 0x7c, 0x13}};

// An object that is no plug-in: it answers IUnknown only.
class NotAPlugin : public platform::com::ComObject<IUnknown> {};

void WritePluginClass(const char* id, const char* clsid) {
  HKEY key = 0;
  const std::string path = std::string(platform::host::kPluginsRegistryKey) + id;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid),
                           static_cast<DWORD>(std::strlen(clsid) + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(HostPlugins, TheHostMakesThePluginItsKeyNames) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  auto factory = platform::com::MakeComObject<platform::com::ClassFactory>(
      [] { return ComPtr<IUnknown>(platform::com::MakeComObject<NotAPlugin>()); });
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(kTestClass, factory.get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  WritePluginClass("LISTED", "{1C7E5A90-44D2-4B8F-913A-206ED85B7C13}");
  WritePluginClass("DAMAGED", "not a class");
  WritePluginClass("ELSEWHERE", "{00000000-0000-0000-0000-0000000000AB}");
  struct Case {
    const char* id;
    HRESULT answer;
  } cases[] = {
      // The class is made, but it does not speak the plug-in interface.
      {"LISTED", E_NOINTERFACE},
      {"DAMAGED", CO_E_CLASSSTRING},
      {"ELSEWHERE", REGDB_E_CLASSNOTREG},
      {"MISSING", REGDB_E_CLASSNOTREG},
  };
  for (const Case& c : cases) {
    ComPtr<IQuindlePlugin> plugin;
    EXPECT_EQ(platform::host::CreatePlugin(c.id, plugin), c.answer) << c.id;
    EXPECT_FALSE(plugin) << c.id;
  }
  CoRevokeClassObject(cookie);
  CoUninitialize();
}

}  // namespace
