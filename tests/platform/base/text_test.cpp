#include "platform/base/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/base/errors.h"

namespace {

using platform::AnsiToWide;
using platform::Utf8ToWide;
using platform::WideToAnsi;
using platform::WideToUtf8;

TEST(CodePage, SystemCodePageIsWindows1252) {
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_TRUE(IsValidCodePage(1252));
  EXPECT_TRUE(IsValidCodePage(CP_UTF8));
  EXPECT_FALSE(IsValidCodePage(12345));
}

struct AnsiCase {
  std::string bytes;
  std::u16string wide;
};

TEST(CodePage, Windows1252BothWays) {
  const AnsiCase cases[] = {
      {"plain", u"plain"},
      {"\x80", u"\u20AC"},                // euro sign
      {"\x8A\x9A", u"\u0160\u0161"},      // S and s with caron
      {"\x93quoted\x94", u"\u201Cquoted\u201D"},
      {"\xE9t\xE9", u"\u00E9t\u00E9"},    // Latin-1 range maps through
      {"\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
      {"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnsiToWide(c.bytes), c.wide) << c.bytes;
    EXPECT_EQ(WideToAnsi(c.wide), c.bytes) << c.bytes;
  }
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(u"a\u0416b"), "a?b");
  // A surrogate pair is one character, so one question mark.
  EXPECT_EQ(WideToAnsi(u"x\U0001F600y"), "x?y");
  BOOL usedDefault = FALSE;
  char out[8] = {};
  int written = WideCharToMultiByte(1252, 0, u"\u0416", 1, out, sizeof out, "#", &usedDefault);
  EXPECT_EQ(written, 1);
  EXPECT_EQ(out[0], '#');
  EXPECT_TRUE(usedDefault);
}

TEST(CodePage, OtherCodePagesThroughTheSystemTables) {
  // Windows-1251 (Cyrillic): 0xC0 is capital A.
  EXPECT_EQ(platform::CodePageToWide("\xC0\xE1", 1251), u"\u0410\u0431");
  EXPECT_EQ(platform::WideToCodePage(u"\u0410\u0431", 1251), "\xC0\xE1");
  EXPECT_EQ(platform::WideToCodePage(u"\u00E9", 1251), "?");
}

struct Utf8Case {
  const char* name;
  std::string bytes;
  std::u16string wide;
};

// A file name leaves as 8-bit text only when the text names the same file.
TEST(CodePage, NativeNamesHaveAnAnsiFormOnlyWhenItNamesTheSameFile) {
  struct Case {
    const char* native;
    bool converts;
    const char* ansi;
  };
  const Case cases[] = {
      {"/home/ann/pellix", true, "/home/ann/pellix"},
      {"/home/caf\xC3\xA9/\xE2\x82\xAC", true, "/home/caf\xE9/\x80"},
      {"/home/\xCE\xA9mega", false, ""},        // Greek: not in the code page
      {"/home/\xF0\x9F\x94\x91", false, ""},  // outside the basic plane
      {"/home/bad\xE9", false, ""},             // not UTF-8 at all
      {"/home/?", true, "/home/?"},
  };
  for (const Case& c : cases) {
    std::string ansi = "untouched";
    EXPECT_EQ(platform::NativeToAnsiName(c.native, ansi), c.converts) << c.native;
    EXPECT_EQ(ansi, c.converts ? c.ansi : "untouched") << c.native;
  }
}

TEST(Utf8, DecodesValidAndReplacesInvalid) {
  const Utf8Case cases[] = {
      {"ascii", "abc", u"abc"},
      {"two bytes", "\xC3\xA9", u"\u00E9"},
      {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
      {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"lone continuation", "a\x80z", u"a\uFFFDz"},
      {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"truncated at end", "ab\xE2\x82", u"ab\uFFFD"},
      {"truncated in middle", "\xE2\x82z", u"\uFFFDz"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"byte FF", "\xFF", u"\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToWide(c.bytes), c.wide) << c.name;
}

TEST(Utf8, EncodesAndReplacesLoneSurrogates) {
  EXPECT_EQ(WideToUtf8(u"\u00E9\u20AC\U0001F600"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(WideToUtf8(u"x" + std::u16string(1, char16_t(0xDC00))), "x\xEF\xBF\xBD");
}

TEST(Utf8, StrictDecodingFailsOnInvalidInput) {
  char16_t out[8];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, out, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(Conversion, ProbeThenConvertWithTerminator) {
  const char* text = "caf\xE9";
  int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  ASSERT_EQ(needed, 5);  // includes the terminator
  char16_t out[5];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, out, needed), 5);
  EXPECT_EQ(std::u16string(out), u"caf\u00E9");
}

TEST(Conversion, SmallBufferAndBadArgumentsFail) {
  char16_t out[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, out, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, out, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(54321, 0, "abc", 3, out, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

struct Utf7Case {
  std::u16string wide;
  std::string encoded;
};

TEST(Utf7, EncodesAndDecodesBothWays) {
  const Utf7Case cases[] = {
      {u"A+B", "A+-B"},
      {u"\u00E9a", "+AOk-a"},          // the run is closed because "a" is a Base64 letter
      {u"\u00E9.", "+AOk."},           // "." cannot be read as Base64: no "-"
      {u"x\u00E9", "x+AOk"},           // a run at the very end stays open
      {u"Hi Mom -\u263A-!", "Hi Mom -+Jjo--!"},
      {u"\u65E5\u672C\u8A9E", "+ZeVnLIqe"},
      {u"a~b\\c", "a+AH4-b+AFw-c"},    // "~" and "\" must be encoded
      {u"!#$%&*;<=>@[]^_`{|}", "!#$%&*;<=>@[]^_`{|}"},
      {u"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::Utf7Encode(c.wide), c.encoded);
    std::u16string decoded;
    EXPECT_TRUE(platform::Utf7Decode(c.encoded, decoded)) << c.encoded;
    EXPECT_EQ(decoded, c.wide) << c.encoded;
  }
}

TEST(Utf7, RejectsMalformedRuns) {
  for (std::string bad : {"+", "+A-", "a+A", "+AOl-", "caf\xE9"}) {
    std::u16string decoded;
    EXPECT_FALSE(platform::Utf7Decode(bad, decoded)) << bad;
  }
}

TEST(CaseMapping, MapsEveryScriptAndKeepsLength) {
  EXPECT_EQ(platform::UpperCase(u"stra\u00DFe \u03B1\u03B2 \u0436"), u"STRA\u00DFE \u0391\u0392 \u0416");
  EXPECT_EQ(platform::LowerCase(u"ABC\u0416\U00010400"), u"abc\u0436\U00010428");
  EXPECT_EQ(platform::AnsiUpperCase("caf\xE9 \xFF"), "CAF\xC9 \x9F");
  // Micro sign's capital is Greek and has no place in the code page: it stays.
  EXPECT_EQ(platform::AnsiUpperCase("\xB5"), "\xB5");
}

TEST(CharacterTypes, ClassifiesSpacePunctuationLettersDigits) {
  const std::u16string text = u" \t.,a\u00C9\u03B13!\u3000";
  WORD types[10] = {};
  ASSERT_TRUE(GetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE1, text.data(), 10, types));
  EXPECT_TRUE(types[0] & C1_SPACE);
  EXPECT_TRUE(types[1] & C1_SPACE);
  EXPECT_TRUE(types[2] & C1_PUNCT);
  EXPECT_TRUE(types[3] & C1_PUNCT);
  EXPECT_EQ(types[4] & (C1_ALPHA | C1_LOWER), C1_ALPHA | C1_LOWER);
  EXPECT_EQ(types[5] & (C1_ALPHA | C1_UPPER), C1_ALPHA | C1_UPPER);
  EXPECT_TRUE(types[6] & C1_ALPHA);
  EXPECT_TRUE(types[7] & C1_DIGIT);
  EXPECT_TRUE(types[8] & C1_PUNCT);
  EXPECT_TRUE(types[9] & C1_SPACE);
  EXPECT_FALSE(GetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE2, text.data(), 1, types));
}

TEST(Compare, OrdersLikeTheLocaleAndIgnoresCaseOnRequest) {
  EXPECT_EQ(CompareStringW(0, NORM_IGNORECASE, u"apple", -1, u"APPLE", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(0, 0, u"apple", -1, u"APPLE", -1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringW(0, NORM_IGNORECASE, u"\u00E9clair", -1, u"zebra", -1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringW(0, NORM_IGNORECASE, u"b", -1, u"Apple", -1), CSTR_GREATER_THAN);
  EXPECT_EQ(CompareStringW(0, NORM_IGNORECASE, u"\u00E9", -1, u"e", -1), CSTR_GREATER_THAN);
}

TEST(LocaleInfo, AnsiCodePageAsText) {
  char16_t buffer[6];
  ASSERT_EQ(GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, buffer, 6), 5);
  EXPECT_EQ(std::u16string(buffer), u"1252");
}

// The list separator follows the user's locale: where numbers take a decimal comma,
// lists are separated by semicolons.
TEST(LocaleInfo, ListSeparatorFollowsTheDecimalSeparator) {
  struct Case {
    const char* locale;
    const char16_t* separator;
  };
  const char* saved = std::getenv("LC_ALL");
  const std::string kept = saved ? saved : "";
  for (const Case& c : {Case{"C", u","}, Case{"en_US.UTF-8", u","}, Case{"de_DE.UTF-8", u";"}}) {
    setenv("LC_ALL", c.locale, 1);
    char16_t buffer[4] = {};
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer, 4), 2) << c.locale;
    EXPECT_EQ(std::u16string(buffer), c.separator) << c.locale;
  }
  if (saved) {
    setenv("LC_ALL", kept.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace

namespace {

TEST(Utf16Le, TwoBytesAUnitLowByteFirst) {
  EXPECT_EQ(platform::WideToUtf16Le(u"A\u20AC\xD800"), std::string("A\0\xAC\x20\x00\xD8", 6));
  EXPECT_EQ(platform::Utf16LeToWide(std::string("A\0\xAC\x20\x00\xD8", 6)), u"A\u20AC\xD800");
  EXPECT_EQ(platform::Utf16LeToWide(std::string("A\0B", 3)), u"A");  // odd last byte dropped
  EXPECT_EQ(platform::Utf16LeToWide(""), u"");
}

}  // namespace
