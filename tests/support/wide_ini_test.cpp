#include <gtest/gtest.h>

#include <string>

#include "common/test_env.h"
#include "platform/kernel/version.h"
#include "support/wide_ini.h"

namespace {

using pellix_test::ReadBytes;
using pellix_test::TempDir;

TEST(WideIni, NonLatinTextRoundTripsAndTheFileHoldsItsUtf8Bytes) {
  TempDir dir;
  TIniFileW ini((dir / "pxcfg.ini").string());
  ASSERT_TRUE(ini.IsNT);
  const std::u16string value = u"Пароль 密码 \U0001F511 café";
  ini.WriteString(u"APP", u"Identität", value);
  EXPECT_EQ(ini.ReadString(u"app", u"IDENTITÄT", u""), u"") << "case folding is for ASCII letters only";
  EXPECT_EQ(ini.ReadString(u"APP", u"Identität", u""), value);
  EXPECT_EQ(ReadBytes(dir / "pxcfg.ini"),
            "[APP]\r\nIdentit\xC3\xA4t=\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C \xE5\xAF\x86\xE7\xA0\x81 "
            "\xF0\x9F\x94\x91 caf\xC3\xA9\r\n");
  EXPECT_EQ(ini.ReadString(u"APP", u"missing", u"Standard ✓"), u"Standard ✓");
}

TEST(WideIni, EmptySectionOrKeyReadsEmptyAndWritesNothing) {
  TempDir dir;
  TIniFileW ini((dir / "e.ini").string());
  EXPECT_EQ(ini.ReadString(u"", u"k", u"default"), u"");
  EXPECT_EQ(ini.ReadString(u"S", u"", u"default"), u"");
  ini.WriteString(u"", u"k", u"v");
  ini.WriteString(u"S", u"", u"v");
  EXPECT_EQ(ReadBytes(dir / "e.ini"), "");
}

TEST(WideIni, ValuesAreLimitedByTheirStoredBytes) {
  TempDir dir;
  TIniFileW ini((dir / "l.ini").string());
  const std::u16string fits(682, u'€');  // 3 bytes each: 2046 bytes
  ini.WriteString(u"S", u"k", fits);
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), fits);
  const std::u16string tooLong(683, u'€');  // 2049 bytes
  EXPECT_THROW(ini.WriteString(u"S", u"k", tooLong), EIniFileException);
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), fits) << "nothing was cut and stored";

  // A longer value from elsewhere is cut to 2047 bytes, which here splits a character.
  pellix_test::WriteBytes(dir / "l.ini", "[S]\r\nk=" + std::string(2046, 'a') + "\xE2\x82\xAC\r\n");
  const std::u16string cut = ini.ReadString(u"S", u"k", u"");
  EXPECT_EQ(cut.substr(0, 2046), std::u16string(2046, u'a'));
  EXPECT_EQ(cut.size(), 2047u) << "the broken tail becomes one replacement character";
}

TEST(WideIni, OnThe9xFamilyTextGoesThroughTheAnsiCodePage) {
  TempDir dir;
  const platform::ReportedVersion saved = platform::GetReportedVersion();
  platform::ReportedVersion windows98 = saved;
  windows98.platformId = VER_PLATFORM_WIN32_WINDOWS;
  windows98.major = 4;
  windows98.minor = 10;
  platform::SetReportedVersion(windows98);
  TIniFileW ini((dir / "a.ini").string());
  platform::SetReportedVersion(saved);
  ASSERT_FALSE(ini.IsNT) << "fixed when the object was made";
  ini.WriteString(u"S", u"k", u"café €");
  EXPECT_EQ(ReadBytes(dir / "a.ini"), "[S]\r\nk=caf\xE9 \x80\r\n");
  EXPECT_EQ(ini.ReadString(u"S", u"k", u""), u"café €");
}

struct ConversionCase {
  std::string utf8;
  std::u16string wide;
};

class Utf8Conversions : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Utf8Conversions, BothWays) {
  EXPECT_EQ(UTF8ToWideStr(GetParam().utf8), GetParam().wide);
  EXPECT_EQ(WideStrToUTF8(GetParam().wide), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(WideIni, Utf8Conversions,
                         ::testing::Values(ConversionCase{"", u""}, ConversionCase{"abc", u"abc"},
                                           ConversionCase{"\xC3\xA4\xE2\x82\xAC", u"ä€"},
                                           ConversionCase{"\xF0\x9F\x94\x91", u"\U0001F511"}));

TEST(WideIni, MalformedInputGivesTheSystemsAnswer) {
  EXPECT_EQ(UTF8ToWideStr("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(UTF8ToWideStr("\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(UTF8ToWideStr(std::string("ab\0cd", 5)), u"ab");
  EXPECT_EQ(WideStrToUTF8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
