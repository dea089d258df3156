#include "controls/unicode/uni_system.h"

#include <gtest/gtest.h>

#include "platform/base/text.h"

namespace {

struct CodePageCase {
  UINT codePage;
  std::string bytes;
  std::u16string wide;
};

TEST(CodePages, ConvertBothWays) {
  const CodePageCase cases[] = {
      {1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
      {0, "\x93q\x94", u"\u201Cq\u201D"},  // 0 is the system code page
      {CP_UTF8, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", u"caf\u00E9 \u20AC \U0001F600"},
      {CP_UTF7, "A+-B", u"A+B"},
      {CP_UTF7, "+AOk-a", u"\u00E9a"},  // a run before a Base64 letter is closed
      {CP_UTF7, "a+AOk", u"a\u00E9"},   // a run at the very end stays open
      {CP_UTF7, "Hi Mom -+Jjo--!", u"Hi Mom -\u263A-!"},
      {437, "\x82", u"\u00E9"},
      {1252, "", u""},
      {CP_UTF8, "", u""},
      {CP_UTF7, "", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(WideFromCodePage(c.bytes, c.codePage), c.wide);
    EXPECT_EQ(WideToCodePage(c.wide, c.codePage), c.bytes);
  }
}

TEST(CodePages, UnmappableAndMalformedInput) {
  const std::u16string loneSurrogate(1, char16_t(0xDC00));
  EXPECT_EQ(WideToCodePage(u"\u4E2D\U0001F600x", 1252), "??x");  // a pair is one character
  EXPECT_EQ(WideToUTF8(loneSurrogate), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUTF8(u"a" + loneSurrogate + u"\xD800"), "a\xEF\xBF\xBD\xEF\xBF\xBD");
  const struct {
    std::string bytes;
    std::u16string wide;
  } utf8[] = {
      {"\xC3", u"\uFFFD"},                       // cut short
      {"a\xE2\x82", u"a\uFFFD"},                 // cut short inside a character
      {"\xC0\xAF", u"\uFFFD\uFFFD"},             // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},   // an encoded surrogate
      {"\xF5\x80", u"\uFFFD\uFFFD"},             // beyond U+10FFFF
      {"\xFF" "b", u"\uFFFDb"},
  };
  for (const auto& c : utf8) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(UTF8ToWideString(c.bytes), c.wide);
  }
  EXPECT_EQ(WideFromCodePage("x", 12345), u"");  // an unknown code page
  EXPECT_EQ(WideToCodePage(u"x", 12345), "");
}

TEST(CodePages, MalformedUtf7RaisesInvalidUtf7) {
  for (const char* bad : {"+", "+A-", "+AOl", "a\x80", "+AOk+"}) {
    SCOPED_TRACE(bad);
    try {
      UTF7ToWide(bad);
      ADD_FAILURE() << "nothing raised";
    } catch (const EUniGeneralError& e) {
      EXPECT_EQ(e.Message(), "Invalid UTF7");
    }
    EXPECT_THROW(WideFromCodePage(bad, CP_UTF7), EUniGeneralError);
  }
}

TEST(CodePages, Utf7RoundTripsEveryKindOfCharacter) {
  std::u16string all;
  for (char16_t c = 1; c < 0x180; ++c) all.push_back(c);
  all += u"\U0001F600+-+";
  EXPECT_EQ(UTF7ToWide(WideToUTF7(all)), all);
  for (unsigned char c : WideToUTF7(all)) EXPECT_LT(c, 128);
}

TEST(CodePages, FlagsAndLocale) {
  EXPECT_TRUE(PlatformIsUnicode);
  EXPECT_EQ(DefaultCodePage, 1252u);
  EXPECT_EQ(LocaleCodePage(0x0409), 1252u);
}

TEST(SwapByteOrder, StopsAtTheFirstZeroUnitUnlessCounted) {
  char16_t terminated[] = {0x4100, 0x0042, 0, 0x4300, 0};
  SwapUtf16ByteOrder(terminated);
  EXPECT_EQ(std::u16string(terminated, 4), std::u16string(u"\u0041\u4200\0\u4300", 4));
  char16_t counted[] = {0x4100, 0, 0x4300};
  SwapUtf16ByteOrder(counted, 3);
  EXPECT_EQ(std::u16string(counted, 3), std::u16string(u"A\0C", 3));
}

}  // namespace
