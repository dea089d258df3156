#include <gtest/gtest.h>

#include <string>

#include "common/test_env.h"
#include "platform/base/faults.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/vector_strings.h"

namespace {

using pellix_test::ReadBytes;
using pellix_test::TempDir;

TEST(IniFile, StringsRoundTripAndTheValueLimitIsNeverCrossedSilently) {
  TempDir dir;
  TIniFile ini((dir / "s.ini").string());
  const std::string longest(TIniFile::kMaxValueLength, 'v');
  ini.WriteString("S", "max", longest);
  EXPECT_EQ(ini.ReadString("S", "max", ""), longest);

  try {
    ini.WriteString("S", "max", longest + "w");
    FAIL() << "a value that could not be read back whole was stored";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + ini.FileName());
  }
  EXPECT_EQ(ini.ReadString("S", "max", ""), longest) << "the refused write changed nothing";

  // A longer value written by another program comes back cut to the limit.
  pellix_test::WriteBytes(ini.FileName(), "[S]\r\nbig=" + std::string(3000, 'x') + "\r\n");
  EXPECT_EQ(ini.ReadString("S", "big", "").size(), TIniFile::kMaxValueLength);
  EXPECT_EQ(ini.ReadString("S", "missing", "fallback"), "fallback");
}

TEST(IniFile, FailedWritesRaiseWithTheFileName) {
  TempDir dir;
  TIniFile ini((dir / "no" / "s.ini").string());
  EXPECT_THROW(ini.WriteString("S", "k", "v"), EIniFileException);
  TIniFile ok((dir / "s.ini").string());
  platform::faults::FailNext("WritePrivateProfileStringA", 1, 5);
  EXPECT_THROW(ok.WriteInteger("S", "k", 1), EIniFileException);
  EXPECT_THROW(ok.WriteString("S", "k\nx", "v"), EIniFileException);
  EXPECT_NO_THROW(ok.UpdateFile());
}

struct IntegerCase {
  const char* stored;
  std::int32_t expected;
};

class IniIntegers : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IniIntegers, DecimalHexOrTheDefault) {
  TempDir dir;
  pellix_test::WriteBytes(dir / "i.ini", std::string("[S]\r\nk=") + GetParam().stored + "\r\n");
  TIniFile ini((dir / "i.ini").string());
  EXPECT_EQ(ini.ReadInteger("S", "k", -7), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(IniFile, IniIntegers,
                         ::testing::Values(IntegerCase{"42", 42}, IntegerCase{"-2147483648", INT32_MIN},
                                           IntegerCase{"2147483648", -7}, IntegerCase{"$FF", 255},
                                           IntegerCase{"0x10", 16}, IntegerCase{"$FFFFFFFF", -1},
                                           IntegerCase{"$100000000", -7}, IntegerCase{"12abc", -7},
                                           IntegerCase{"", -7}, IntegerCase{"-", -7}, IntegerCase{"0x", -7}));

TEST(IniFile, IntegersBooleansSectionsAndDeletion) {
  TempDir dir;
  TIniFile ini((dir / "a.ini").string());
  ini.WriteInteger("PELLIX", "Count", -12);
  ini.WriteBool("PELLIX", "On", true);
  ini.WriteBool("APP", "Off", false);
  EXPECT_EQ(ReadBytes(ini.FileName()), "[PELLIX]\r\nCount=-12\r\nOn=1\r\n\r\n[APP]\r\nOff=0\r\n");
  EXPECT_EQ(ini.ReadInteger("pellix", "count", 0), -12);
  EXPECT_TRUE(ini.ReadBool("PELLIX", "On", false));
  EXPECT_FALSE(ini.ReadBool("APP", "Off", true));
  EXPECT_TRUE(ini.ReadBool("APP", "Missing", true));

  VectorStrings<std::string> list;
  ini.ReadSections(list);
  EXPECT_EQ(list.items, (std::vector<std::string>{"PELLIX", "APP"}));
  ini.ReadSectionValues("PELLIX", list);
  EXPECT_EQ(list.items, (std::vector<std::string>{"Count=-12", "On=1"}));
  EXPECT_TRUE(ini.SectionExists("app"));
  EXPECT_TRUE(ini.ValueExists("PELLIX", "on"));
  EXPECT_FALSE(ini.ValueExists("PELLIX", "Off"));

  ini.DeleteKey("PELLIX", "On");
  ini.EraseSection("APP");
  ini.ReadSection("PELLIX", list);
  EXPECT_EQ(list.items, (std::vector<std::string>{"Count"}));
  EXPECT_FALSE(ini.SectionExists("APP"));
}

TEST(IniFile, LongListsOfNamesAreReadWhole) {
  TempDir dir;
  std::string bytes = "[S]\r\n";
  for (int i = 0; i < 3000; ++i) bytes += "key_number_" + std::to_string(i) + "=1\r\n";
  pellix_test::WriteBytes(dir / "l.ini", bytes);
  TIniFile ini((dir / "l.ini").string());
  VectorStrings<std::string> list;
  ini.ReadSection("S", list);
  ASSERT_EQ(list.Count(), 3000);
  EXPECT_EQ(list.items.back(), "key_number_2999");
}

}  // namespace
