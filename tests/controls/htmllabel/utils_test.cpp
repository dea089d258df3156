// UTF-16 toolbox: folding table, comparisons, scans, trims, string builder, classes;
// the entity-name table against an independent list.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>

#include "controls/htmllabel/mk_entities.h"
#include "controls/htmllabel/mk_utils.h"
#include "platform/base/text.h"
#include "platform/gdi/device_context.h"

namespace {

TEST(MkCaseFold, UnicodeFourSimpleFolding) {
  struct Case {
    char16_t from, to;
  };
  const Case cases[] = {
      {u'A', u'a'},         {u'z', u'z'},         {0x00C0, 0x00E0}, {0x03A3, 0x03C3}, {0x03C2, 0x03C3},
      {0x00B5, 0x03BC},     {0x212A, u'k'},       {0x2C00, 0x2C00}, {0x03F9, 0x03F2}, {0x1F88, 0x1F80},
      {0x10A0, 0x10A0},     {0x0130, 0x0130},     {0x00DF, 0x00DF}, {0xFF21, 0xFF41}, {0xFFFF, 0xFFFF},
      {0x1E9E, 0x1E9E},  // capital sharp s came with 5.1
  };
  for (const Case& c : cases) EXPECT_EQ(CharFoldCase(c.from), c.to) << std::hex << int(c.from);
  int changed = 0;
  for (std::uint32_t c = 0; c <= 0xFFFF; ++c) changed += CharFoldCase(static_cast<char16_t>(c)) != c;
  EXPECT_EQ(changed, 726);
}

TEST(MkCompare, EqualityAndSearch) {
  EXPECT_TRUE(TextEqualsNoCase(u"Title", u"TITLE"));
  EXPECT_FALSE(TextEqualsNoCase(u"a", u"ab"));
  EXPECT_TRUE(TextEqualsNoCase(u"", u""));
  EXPECT_FALSE(TextEquals(u"a", u"A"));
  EXPECT_TRUE(BufferEqualsTextNoCase(u"SCRIPTx", 6, u"script"));
  EXPECT_FALSE(BufferEqualsText(u"SCRIPT", 6, u"script"));

  struct Case {
    std::u16string pattern, text;
    std::int32_t start, pos;
  };
  const Case cases[] = {
      {u"B", u"abcb", 1, 2}, {u"B", u"abcb", 3, 4}, {u"B", u"abcb", 5, 0}, {u"cB", u"abcb", 1, 3},
      {u"abcbx", u"abcb", 1, 0}, {u"", u"abc", 1, 0}, {u"a", u"", 1, 0}, {u"a", u"a", 0, 0},
      {u"CHARSET", u"text/html; charset=x", 1, 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextPosNoCase(c.pattern, c.text, c.start), c.pos);
    EXPECT_EQ(TextContainsNoCase(c.pattern, c.text, c.start), c.pos != 0);
  }
  EXPECT_EQ(BufferPosNoCase(u"b", 1, u"abcb", 2, 4), 4);
  EXPECT_EQ(BufferPosNoCase(u"b", 1, u"abcb", 4, 4), 0);
}

TEST(MkScans, TrimAndClassScans) {
  EXPECT_EQ(TrimText(u"  x  "), u"x");
  EXPECT_EQ(TrimText(u"   "), u"");
  EXPECT_EQ(TrimText(u"--x>", CharIsSpaceDashGt), u"x");
  std::u16string right = u"ab \t\r\n";
  TrimTextRight(right, nullptr);
  EXPECT_EQ(right, u"ab");
  EXPECT_EQ(ScanWhileInClass(u"ab1", CharIsAsciiLetter, 1), 3);
  EXPECT_EQ(ScanWhileInClass(u"ab", CharIsAsciiLetter, 1), 0);
  EXPECT_EQ(ScanWhileInClass(u"ab", CharIsAsciiLetter, 3), 0);
  EXPECT_EQ(ScanWhileInClass(u"", CharIsAsciiLetter, 1), 0);
  EXPECT_TRUE(TextAllInClass(u"", CharIsHexDigit));
  EXPECT_FALSE(TextAnyInClass(u"", CharIsHexDigit));
  EXPECT_TRUE(TextAllInClass(u"a-b.c:d_0", CharIsNameChar));
  EXPECT_FALSE(TextAllInClass(u"a b", CharIsNameChar));
  EXPECT_TRUE(TextAnyInClass(u"x>", CharIsSpaceDashGt));
}

TEST(MkClasses, HexDigits) {
  EXPECT_LT(HexDigitValue(u'g'), 0);
  EXPECT_EQ(HexDigitValue(u'F'), 15);
  EXPECT_EQ(HexDigitValue(u'a'), 10);
  EXPECT_EQ(HexDigitValue(u'9'), 9);
  EXPECT_LT(HexDigitValue(0xFF10), 0);  // full-width digits are not hexadecimal
}

TEST(MkBuilder, GrowthAndContents) {
  std::u16string s;
  std::int32_t used = 0;
  AppendChar(s, used, u'a');
  EXPECT_EQ(s.size(), 4u);
  AppendText(u"bcdef", s, used);
  EXPECT_EQ(used, 6);
  EXPECT_EQ(s.size(), 12u);  // 6 + 6 div 2 + 3, rounded down to a multiple of 4
  AppendBuffer(nullptr, 3, s, used);
  AppendText(u"", s, used);
  for (int i = 0; i < 1000; ++i) AppendChar(s, used, char16_t(u'0' + i % 10));
  s.resize(static_cast<std::size_t>(used));
  EXPECT_EQ(s.substr(0, 8), u"abcdef01");
  EXPECT_EQ(s.size(), 1006u);
}

TEST(MkMeasure, TextExtentsInTheCurrentFont) {
  HDC dc = CreateCompatibleDC(0);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(TextWidthW(dc, u""), 0);
  EXPECT_EQ(TextHeightW(dc, u""), 0);
  std::int32_t one = TextWidthW(dc, u"W");
  EXPECT_GT(one, 0);
  EXPECT_GT(TextWidthW(dc, u"WWWW"), one);
  EXPECT_GT(TextHeightW(dc, u"W"), 0);
  DeleteDC(dc);
}

// The entity table equals HTML 4.01's entities plus "apos", checked against
// Python's html.entities when python3 is present.
TEST(MkEntities, RunsAndAgreementWithAnIndependentList) {
  std::map<std::u16string, std::uint32_t> table;
  auto add = [&](const TMkEntity* run, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (i > 0) {
        EXPECT_LT(std::u16string(run[i - 1].Name), std::u16string(run[i].Name));
      }
      EXPECT_TRUE(table.emplace(run[i].Name, run[i].Code).second) << "duplicate";
    }
  };
  add(kMkLatin1Entities, 96);
  add(kMkSpecialEntities, 33);
  add(kMkSymbolEntities, 124);
  ASSERT_EQ(table.size(), 253u);
  EXPECT_EQ(table[u"apos"], 39u);
  EXPECT_EQ(table[u"euro"], 8364u);
  EXPECT_EQ(table[u"nbsp"], 160u);
  EXPECT_EQ(table[u"hellip"], 8230u);
  EXPECT_NE(table[u"Aring"], table[u"aring"]);
  for (const TMkEntity& e : kMkLatin1Entities) {
    EXPECT_TRUE(e.Code >= 160 && e.Code <= 255) << e.Code;
  }

  FILE* pipe = popen("python3 -c 'import html.entities as h\n"
                     "for n,c in sorted(h.name2codepoint.items()): print(n, c)' 2>/dev/null",
                     "r");
  std::map<std::u16string, std::uint32_t> python;
  if (pipe != nullptr) {
    std::array<char, 64> name{};
    unsigned code = 0;
    while (std::fscanf(pipe, "%63s %u", name.data(), &code) == 2) python[platform::AnsiToWide(name.data())] = code;
    pclose(pipe);
  }
  if (python.empty()) GTEST_SKIP() << "python3 with html.entities not found: independent entity check skipped";
  python[u"apos"] = 39;
  EXPECT_EQ(table, python);
}

}  // namespace
