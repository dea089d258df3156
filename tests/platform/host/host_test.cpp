#include <gtest/gtest.h>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/com/bstr.h"
#include "platform/host/host_stand_in.h"
#include "platform/host/host_toolbar.h"
#include "platform/kernel/registry.h"

namespace {

using platform::com::AllocText;
using platform::com::ComPtr;
using platform::com::ToText;
using namespace platform::host;

// A BSTR for the length of one call.
struct Text {
  explicit Text(std::u16string_view text) : b(AllocText(text)) {}
  ~Text() { SysFreeString(b); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  operator BSTR() const { return b; }
  BSTR b;
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override {
    UninstallHost();
    platform::faults::ClearAll();
    CoUninitialize();
  }

  static std::string RegistryText(const std::string& key, const char* value) {
    HKEY handle = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    LSTATUS status = RegQueryValueExA(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? std::string(buffer) : "<no value>";
  }

  static std::u16string ReadText(IQuindleToolbar* toolbar, std::u16string_view key) {
    BSTR value = nullptr;
    EXPECT_EQ(toolbar->ReadString(Text(u"PELLIX"), Text(key), -1, &value), S_OK);
    std::u16string text = ToText(value);
    SysFreeString(value);
    return text;
  }
};

TEST_F(HostTest, NotInstalledTheToolbarCannotBeCreatedAndNoServerIsRegistered) {
  ComPtr<IQuindleToolbar> toolbar;
  EXPECT_FALSE(CreateHostToolbar(toolbar));
  EXPECT_FALSE(toolbar);
  ComPtr<IQuindleSettingsServer> server;
  EXPECT_EQ(CoCreateInstance(CLSID_QuindleSettingsServer, nullptr, kHostClassContext, IID_IQuindleSettingsServer,
                             server.PutVoid()),
            REGDB_E_CLASSNOTREG);
  HKEY key = 0;
  EXPECT_NE(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{C38E056F-AE46-4C3A-8098-A9744BB1C824}\\LocalServer32", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);

  ASSERT_TRUE(InstallHost());
  ASSERT_TRUE(CreateHostToolbar(toolbar));
  UninstallHost();
  EXPECT_FALSE(CreateHostToolbar(toolbar));
  // An object made before the host went away is disconnected.
  ComPtr<IQuindleToolbar> old;
  ASSERT_TRUE(InstallHost());
  ASSERT_TRUE(CreateHostToolbar(old));
  UninstallHost();
  LONG value = 5;
  EXPECT_EQ(old->ReadInteger(Text(u"PELLIX"), Text(u"X"), -1, &value), RPC_E_DISCONNECTED);
}

TEST_F(HostTest, SettingsLiveInTheRegistryUnderThePluginKeyOfTheirSection) {
  ASSERT_TRUE(InstallHost());
  ComPtr<IQuindleToolbar> toolbar;
  ASSERT_TRUE(CreateHostToolbar(toolbar));
  EXPECT_EQ(toolbar->WriteString(Text(u"PELLIX"), Text(u"SECURITY"), Text(u"record text"), VARIANT_TRUE), S_OK);
  EXPECT_EQ(toolbar->WriteInteger(Text(u"PELLIX"), Text(u"PWD_LEN"), -12, VARIANT_FALSE), S_OK);
  EXPECT_EQ(toolbar->WriteBool(Text(u"OTHER"), Text(u"FLAG"), VARIANT_TRUE, VARIANT_FALSE), S_OK);
  EXPECT_EQ(toolbar->WriteFloat(Text(u"PELLIX"), Text(u"CLEAR_HIST"), 45123.25, VARIANT_FALSE), S_OK);

  EXPECT_EQ(RegistryText("Software\\Quindle\\PlugIns\\PELLIX", "SECURITY"), "record text");
  EXPECT_EQ(RegistryText("Software\\Quindle\\PlugIns\\OTHER", "FLAG"), "1");

  // A second object, as another user of the host would make, reads the same store.
  ComPtr<IQuindleToolbar> second;
  ASSERT_TRUE(CreateHostToolbar(second));
  LONG number = 0;
  EXPECT_EQ(second->ReadInteger(Text(u"PELLIX"), Text(u"PWD_LEN"), -1, &number), S_OK);
  EXPECT_EQ(number, -12);
  DOUBLE real = 0;
  EXPECT_EQ(second->ReadFloat(Text(u"PELLIX"), Text(u"CLEAR_HIST"), -1, &real), S_OK);
  EXPECT_EQ(real, 45123.25);
  EXPECT_EQ(ReadText(second.get(), u"SECURITY"), u"record text");
  // An absent key reads as empty or zero.
  EXPECT_EQ(ReadText(second.get(), u"ABSENT"), u"");
  EXPECT_EQ(second->ReadInteger(Text(u"NOSECTION"), Text(u"X"), -1, &number), S_OK);
  EXPECT_EQ(number, 0);
}

TEST_F(HostTest, EightBitTextPassesThroughTheStoreUnchanged) {
  // The settings object hands the host UTF-8 bytes widened one by one; every byte
  // value must come back as it went in.
  std::u16string widened;
  for (int byte = 1; byte < 256; ++byte) widened += platform::AnsiToWide(std::string(1, static_cast<char>(byte)));
  ASSERT_TRUE(InstallHost());
  ComPtr<IQuindleToolbar> toolbar;
  ASSERT_TRUE(CreateHostToolbar(toolbar));
  ASSERT_EQ(toolbar->WriteString(Text(u"PELLIX"), Text(u"NAME"), Text(widened), VARIANT_FALSE), S_OK);
  EXPECT_EQ(ReadText(toolbar.get(), u"NAME"), widened);
}

TEST_F(HostTest, EveryCallIsRecordedWithItsArguments) {
  ASSERT_TRUE(InstallHost());
  ComPtr<IQuindleToolbar> toolbar;
  ASSERT_TRUE(CreateHostToolbar(toolbar));
  platform::com::Variant caption = platform::com::Variant::Text(u"Pellix");
  platform::com::Variant nothing;
  LONG result = 7;
  EXPECT_EQ(toolbar->SetButtonCaption(Text(u"PELLIX"), 0, Text(u"PELLIX"), caption.raw()), S_OK);
  EXPECT_EQ(toolbar->ShowButton(Text(u"PELLIX"), 0, Text(u"PELLIX"), 1), S_OK);
  EXPECT_EQ(toolbar->SetMenu(Text(u"PELLIX"), 0, Text(u"PELLIX"), Text(u"$\r\nLogin=Login\r\n")), S_OK);
  EXPECT_EQ(toolbar->ButtonCommand(Text(u"PELLIX"), 0, Text(u"SET_BMP"), Text(u"PELLIX"), nothing.raw()), S_OK);
  EXPECT_EQ(toolbar->ShowSettings(Text(u"PELLIX"), 0, 0, 0, 0, 0, 0, 2, &result), S_OK);
  EXPECT_EQ(result, 0);

  struct Expected {
    int slot;
    std::vector<std::u16string> args;
  };
  const Expected expected[] = {
      {28, {u"PELLIX", u"0", u"PELLIX", u"Pellix"}},
      {30, {u"PELLIX", u"0", u"PELLIX", u"1"}},
      {31, {u"PELLIX", u"0", u"PELLIX", u"$\r\nLogin=Login\r\n"}},
      {33, {u"PELLIX", u"0", u"SET_BMP", u"PELLIX", u"<nothing>"}},
      {48, {u"PELLIX", u"0", u"0", u"0", u"0", u"0", u"0", u"2"}},
  };
  std::vector<HostCall> calls = HostCalls();
  ASSERT_EQ(calls.size(), std::size(expected));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].Slot, expected[i].slot);
    EXPECT_EQ(calls[i].Args, expected[i].args) << "slot " << expected[i].slot;
  }
  ClearHostCalls();
  EXPECT_TRUE(HostCalls().empty());
}

TEST_F(HostTest, StoreFailuresRestartsAndReadiness) {
  ASSERT_TRUE(InstallHost());
  ComPtr<IQuindleToolbar> toolbar;
  ASSERT_TRUE(CreateHostToolbar(toolbar));
  ComPtr<IQuindleSettingsServer> server;
  ASSERT_EQ(CoCreateInstance(CLSID_QuindleSettingsServer, nullptr, kHostClassContext, IID_IQuindleSettingsServer,
                             server.PutVoid()),
            S_OK);

  platform::faults::FailNext("HostSettingsStore", 2, ERROR_ACCESS_DENIED);
  EXPECT_EQ(toolbar->WriteInteger(Text(u"PELLIX"), Text(u"A"), 1, VARIANT_FALSE),
            HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  VARIANT_BOOL ready = VARIANT_TRUE;
  EXPECT_TRUE(FAILED(server->get_Ready(&ready)));
  EXPECT_EQ(ready, VARIANT_FALSE);
  EXPECT_EQ(toolbar->WriteInteger(Text(u"PELLIX"), Text(u"A"), 1, VARIANT_FALSE), S_OK);

  SetHostNotReady(2);
  for (VARIANT_BOOL want : {VARIANT_FALSE, VARIANT_FALSE, VARIANT_TRUE}) {
    EXPECT_EQ(server->get_Ready(&ready), S_OK);
    EXPECT_EQ(ready, want);
  }

  RestartHost();
  EXPECT_EQ(toolbar->WriteInteger(Text(u"PELLIX"), Text(u"A"), 2, VARIANT_FALSE), RPC_E_DISCONNECTED);
  ComPtr<IQuindleToolbar> fresh;
  ASSERT_TRUE(CreateHostToolbar(fresh));
  LONG value = 0;
  EXPECT_EQ(fresh->ReadInteger(Text(u"PELLIX"), Text(u"A"), -1, &value), S_OK);
  EXPECT_EQ(value, 1);
}

}  // namespace
