#include "data/config.h"

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/host/host_stand_in.h"
#include "support/program_paths.h"
#include "support/registry_access.h"

namespace {

using namespace platform::host;

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override {
    UninstallHost();
    platform::faults::ClearAll();
    CoUninitialize();
  }
  std::string IniPath() const { return (dir_ / "pxcfg.ini").string(); }
  std::string IniText() const { return pellix_test::ReadBytes(IniPath()); }

  pellix_test::TempDir dir_;
};

// Reads of every kind from a store holding the values below, as a table.
void CheckReads(TConfig& config) {
  ASSERT_TRUE(config.WriteString(u"TWO", u"2"));
  ASSERT_TRUE(config.WriteString(u"ONE", u"1"));
  ASSERT_TRUE(config.WriteString(u"ABC", u"abc"));
  ASSERT_TRUE(config.WriteInteger(u"NUM", -42));
  ASSERT_TRUE(config.WriteString(u"NAME", u"Zoë 名前"));
  ASSERT_TRUE(config.WriteFloat(u"REAL", 45123.5));

  struct BoolCase {
    std::u16string_view key;
    bool before, after;
  };
  const BoolCase bools[] = {{u"TWO", true, false}, {u"ONE", false, true}, {u"ABSENT", true, true},
                            {u"ABSENT", false, false}, {u"ABC", true, true}};
  for (const BoolCase& c : bools) {
    bool value = c.before;
    EXPECT_TRUE(config.ReadBool(c.key, value));
    EXPECT_EQ(value, c.after) << std::string(c.key.begin(), c.key.end());
  }
  struct IntCase {
    std::u16string_view key;
    std::int32_t before, intDef;
  };
  const IntCase ints[] = {{u"NUM", 7, -42}, {u"ABC", 7, 7}, {u"ABSENT", 7, 7}};
  for (const IntCase& c : ints) {
    std::int32_t value = c.before;
    EXPECT_TRUE(config.ReadIntDef(c.key, value));
    EXPECT_EQ(value, c.intDef);
  }
  std::int32_t number = 5;
  EXPECT_TRUE(config.ReadInteger(u"NUM", number));
  EXPECT_EQ(number, -42);
  std::u16string text = u"stale";
  EXPECT_TRUE(config.ReadString(u"NAME", text));
  EXPECT_EQ(text, u"Zoë 名前");
  EXPECT_TRUE(config.ReadString(u"ABSENT", text));
  EXPECT_EQ(text, u"");
  double real = 0;
  EXPECT_TRUE(config.ReadFloat(u"REAL", real));
  EXPECT_EQ(real, 45123.5);

  // An empty key reads and writes nothing.
  text = u"stale";
  EXPECT_FALSE(config.ReadString(u"", text));
  EXPECT_EQ(text, u"");
  EXPECT_FALSE(config.WriteInteger(u"", 1));
}

TEST_F(ConfigTest, TheIniStoreReadsWithDefaultsAndKeepsUtf8) {
  TConfig config(kConfigAuto, IniPath());
  EXPECT_EQ(config.Mode, kConfigIni);
  EXPECT_FALSE(std::filesystem::exists(IniPath()));
  CheckReads(config);
  const std::string ini = IniText();
  EXPECT_NE(ini.find("[PELLIX]"), std::string::npos);
  EXPECT_NE(ini.find("NAME=Zo\xC3\xAB \xE5\x90\x8D\xE5\x89\x8D"), std::string::npos);
  EXPECT_NE(ini.find("REAL=45123.5"), std::string::npos);

  // Only the ini reads of a number give 0 for a text that is none.
  std::int32_t number = 9;
  EXPECT_TRUE(config.ReadSectionInteger(u"PELLIX", u"ABC", kHostReadFlags, number));
  EXPECT_EQ(number, 0);
  // An empty section is the section APP.
  ASSERT_TRUE(config.WriteSectionString(u"", u"K", false, u"v"));
  EXPECT_NE(IniText().find("[APP]\r\nK=v"), std::string::npos) << IniText();
  // A float written elsewhere with a comma reads as well.
  ASSERT_TRUE(config.WriteString(u"COMMA", u"2,25"));
  double real = 0;
  EXPECT_TRUE(config.ReadFloat(u"COMMA", real));
  EXPECT_EQ(real, 2.25);
  ASSERT_TRUE(config.WriteString(u"JUNK", u"2.5x"));
  EXPECT_TRUE(config.ReadFloat(u"JUNK", real));
  EXPECT_EQ(real, 0);

  // An existing ini file is chosen even when the host's store is there.
  ASSERT_TRUE(InstallHost());
  TConfig again(kConfigAuto, IniPath());
  EXPECT_EQ(again.Mode, kConfigIni);
}

TEST_F(ConfigTest, AnIniFileThatCannotBeWrittenAnswersFalse) {
  pellix_test::WriteBytes(dir_ / "file", "x");
  TConfig config(kConfigIni, (dir_ / "file" / "pxcfg.ini").string());
  EXPECT_FALSE(config.WriteString(u"KEY", u"value"));
  EXPECT_FALSE(config.WriteInteger(u"KEY", 1));
  EXPECT_FALSE(config.WriteBool(u"KEY", true));
  EXPECT_FALSE(config.WriteFloat(u"KEY", 1.5));
  // A value too long to be read back whole is refused, not cut.
  TConfig good(kConfigIni, IniPath());
  EXPECT_FALSE(good.WriteString(u"LONG", std::u16string(3000, u'x')));
  std::u16string value = u"stale";
  EXPECT_TRUE(good.ReadString(u"LONG", value));
  EXPECT_EQ(value, u"");
}

TEST_F(ConfigTest, TheHostStoreReadsWithDefaultsAndKeepsTheSettingsInTheRegistry) {
  ASSERT_TRUE(InstallHost());
  TConfig config(kConfigAuto, IniPath());
  ASSERT_EQ(config.Mode, kConfigServer);
  CheckReads(config);
  EXPECT_FALSE(std::filesystem::exists(IniPath()));
  ASSERT_TRUE(config.WriteString(u"SECURITY", u"record", true));
  std::string stored;
  ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, "Software\\Quindle\\PlugIns\\PELLIX", "SECURITY", stored));
  EXPECT_EQ(stored, "record");
  // Non-ASCII text reaches the host as its UTF-8 bytes, one character each.
  ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, "Software\\Quindle\\PlugIns\\PELLIX", "NAME", stored));
  EXPECT_EQ(stored, "Zo\xC3\xAB \xE5\x90\x8D\xE5\x89\x8D");
  // The flags reach the host: all bits for reads, the Boolean for writes.
  const std::vector<HostCall> calls = HostCalls();
  bool sawSecurity = false;
  for (const HostCall& call : calls) {
    if (call.Slot == 13 && call.Args.at(1) == u"SECURITY") {
      sawSecurity = true;
      EXPECT_EQ(call.Args.at(3), u"-1");
    }
    if (call.Slot == 9) {
      EXPECT_EQ(call.Args.at(2), u"-1");
    }
  }
  EXPECT_TRUE(sawSecurity);
}

TEST_F(ConfigTest, TheHostFailingTwiceThenWorkingLosesNothing) {
  ASSERT_TRUE(InstallHost());
  TConfig config(kConfigServer, IniPath());
  platform::faults::FailNext("HostSettingsStore", 2, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(config.WriteInteger(u"PWD_LEN", 12));
  std::int32_t length = 0;
  EXPECT_TRUE(config.ReadInteger(u"PWD_LEN", length));
  EXPECT_EQ(length, 12);

  // A lost connection is rebuilt by the next operation.
  RestartHost();
  EXPECT_TRUE(config.WriteInteger(u"PWD_LEN", 14));
  EXPECT_TRUE(config.ReadInteger(u"PWD_LEN", length));
  EXPECT_EQ(length, 14);

  // A host that keeps failing fails the operation; the store never becomes the ini file.
  UninstallHost();
  EXPECT_FALSE(config.WriteInteger(u"PWD_LEN", 16));
  bool flag = true;
  EXPECT_FALSE(config.ReadBool(u"SHOW_TRAY", flag));
  EXPECT_TRUE(flag);
  EXPECT_EQ(config.Mode, kConfigServer);
  EXPECT_FALSE(std::filesystem::exists(IniPath()));
  ASSERT_TRUE(InstallHost());
  EXPECT_TRUE(config.ReadInteger(u"PWD_LEN", length));
  EXPECT_EQ(length, 14);
}

TEST_F(ConfigTest, NotInstalledTheAutomaticChoiceIsTheIniFileCreatedByTheFirstWrite) {
  EXPECT_FALSE(IsSettingsServerRegistered());
  TConfig config(kConfigAuto, IniPath());
  EXPECT_EQ(config.Mode, kConfigIni);
  EXPECT_FALSE(config.Server2);
  EXPECT_TRUE(config.WriteBool(u"SHOW_TRAY", false));
  EXPECT_NE(IniText().find("SHOW_TRAY=0"), std::string::npos);
  // The settings window needs the host, whatever the store.
  EXPECT_FALSE(config.ShowSettings(2));
  ASSERT_TRUE(InstallHost());
  EXPECT_TRUE(config.ShowSettings(2));
  const std::vector<HostCall> calls = HostCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().Slot, 48);
  EXPECT_EQ(calls.back().Args.back(), u"2");
}

TEST_F(ConfigTest, TheConnectionWaitsForTheStoreToBeReady) {
  ASSERT_TRUE(InstallHost());
  SetHostNotReady(2);
  TConfig config(kConfigServer, IniPath());
  int polls = 0;
  for (const HostCall& call : HostCalls()) polls += call.Slot == 21;
  EXPECT_EQ(polls, 3);
  EXPECT_TRUE(config.WriteInteger(u"X", 1));
}

TEST_F(ConfigTest, ARegisteredServerPathIsFoundInsideQuotesAndBeforeArguments) {
  const std::string existing = (dir_ / "host program").string();
  pellix_test::WriteBytes(existing, "x");
  const std::string key = "CLSID\\{E51DC046-73ED-4C70-8CC3-66E6FE7000D4}\\LocalServer32";
  struct Case {
    std::string value;
    bool registered;
  };
  const Case cases[] = {
      {existing, true},
      {"\"" + existing + "\" /automation", true},
      {existing + " -Embedding", true},
      {"\"" + existing + " missing\"", false},
      {(dir_ / "absent").string() + " /automation", false},
      {"\"" + existing, false},
      {"", false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(RegWriteString(HKEY_CLASSES_ROOT, key, "", c.value));
    EXPECT_EQ(IsSettingsServerRegistered(), c.registered) << c.value;
  }
}

}  // namespace
