// HTML colours: names, hexadecimal groups, damaged values.
#include <gtest/gtest.h>

#include "controls/htmllabel/mk_html_colors.h"

namespace {

TEST(MkColors, ValuesAndTheirColours) {
  struct Case {
    std::u16string value;
    TColor color;
  };
  const Case cases[] = {
      {u"#FF0000", 0x0000FF},  {u"ff0000", 0x0000FF},      {u"red", 0x0000FF},     {u"RED", 0x0000FF},
      {u"#fff", 0x0F0F0F},     {u"#123456789", 0x784512},   {u"  navy  extra", 0x800000},
      {u"zz", 0x000000},       {u"#", 0x000000},            {u"#1", 0x000001},      {u"#12345", 0x503412},
      {u"\tLightGoldenrodYellow", 0xD2FAFA}, {u"#gg00ZZ", 0x000000}, {u"blue\x01red", 0xFF0000},
      {u"#0000ff", 0xFF0000},
  };
  for (const Case& c : cases) {
    TColor color = 0x0EADBEEF;
    EXPECT_TRUE(ColorFromHtml(c.value, color));
    EXPECT_EQ(color, c.color) << std::hex << color;
  }
}

TEST(MkColors, EmptyOrBlankIsNoColour) {
  for (const std::u16string& value : {std::u16string(u""), std::u16string(u"   "), std::u16string(u"\t\r\n")}) {
    TColor color = 7;
    EXPECT_FALSE(ColorFromHtml(value, color));
    EXPECT_EQ(color, 7);
  }
}

TEST(MkColors, RegistrationReplacesAName) {
  TColor color = 0;
  RegisterHtmlColor(u"Brand", 0x123456);
  ASSERT_TRUE(ColorFromHtml(u"brand", color));
  EXPECT_EQ(color, 0x123456);
  RegisterHtmlColor(u"BRAND", 0x654321);
  ASSERT_TRUE(ColorFromHtml(u"brand", color));
  EXPECT_EQ(color, 0x654321);
}

}  // namespace
