// HTML tokenizer: every piece kind on small fixtures, attributes, references,
// white space, scripts, SSI and custom tags, the value writer, and damaged input.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/htmllabel/mk_html_names.h"
#include "controls/htmllabel/mk_html_parser.h"
#include "platform/base/text.h"

namespace {

using Configure = std::function<void(TMkHtmlParser&)>;

void ShowEverything(TMkHtmlParser& p) {
  for (int k = 1; k < kMkPieceKindCount; ++k) p.SetFilter(static_cast<TMkPieceKind>(k), fiShow);
}

// One line per delivered piece: "kind:text" or, for tags, "kind:<name a=v ...>" with
// "/" before the name of an end tag and after an empty-element tag.
std::string Describe(const TMkHtmlParser& p) {
  std::string out = std::to_string(p.PieceKind()) + ":";
  const TMkTag* tag = p.Tag();
  if (tag == nullptr) return out + platform::WideToUtf8(p.PieceText());
  out += "<";
  if (tag->TagType == kMkEndTag) out += "/";
  out += platform::WideToUtf8(tag->Name) + "#" + std::to_string(tag->ID);
  for (std::int32_t i = 0; i < tag->Count(); ++i) {
    out += " " + platform::WideToUtf8(tag->NameAt(i)) + "#" + std::to_string(tag->DataAt(i)) + "=[" +
           platform::WideToUtf8(tag->ValueAt(i)) + "]";
  }
  if (tag->TagType == kMkEmptyElementTag) out += "/";
  return out + ">";
}

std::vector<std::string> Pieces(const std::string& html, const Configure& configure = ShowEverything) {
  TMkHtmlParser parser;
  configure(parser);
  parser.SetSourceString(html);
  std::vector<std::string> out;
  while (parser.ReadNextPiece()) out.push_back(Describe(parser));
  return out;
}

using V = std::vector<std::string>;

TEST(MkParser, PieceKindsOnSmallFixtures) {
  struct Case {
    const char* html;
    V pieces;
  };
  const Case cases[] = {
      {"a<b>c</b>", {"13:a", "8:<b#7>", "13:c", "8:</b#7>"}},
      {"<!-- x -- y --->z", {"3: x -- y ", "13:z"}},
      {"<!---->", {"3:"}},
      {"<![CDATA[a]b]]>", {"2:a]b"}},
      {"<![cdata[x]]>", {"2:x"}},
      {"<!DOCTYPE html>", {"5: html"}},
      {"<!doctypo x>", {"6:doctypo x"}},
      {"<!-x>", {"6:-x"}},
      {"<?xml version='1.0'?>", {"15: version='1.0'"}},
      {"<?xmx a?>", {"7:xmx a?"}},
      {"<?php echo 1; ?>", {"7:php echo 1; ?"}},
      {"a < b <= c <", {"13:a < b <= c <"}},
      {"x<1y", {"13:x<1y"}},
      {"<p/>", {"8:<p#79/>"}},
      {"</ p>", {"13:</ p>"}},
      {"<%= x %>", {"13:<%= x %>"}},
      {"<unknown-tag x=1>", {"8:<unknown-tag#0 x#0=[1]>"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Pieces(c.html), c.pieces) << c.html;
}

TEST(MkParser, OptionalMarkupFamilies) {
  auto all = [](TMkHtmlParser& p) {
    ShowEverything(p);
    p.SetEnableASP(true);
    p.SetEnablePHP(true);
    p.SetEnableCustomTags(true);
    p.SetEnableSSI(true);
  };
  struct Case {
    const char* html;
    V pieces;
  };
  const Case cases[] = {
      {"<% a %> b", {"1: a ", "13: b"}},
      {"<?PHP x ?>", {"9: x "}},
      {"<#box size=2>x<#/box>", {"4:<box#0 size#107=[2]>", "13:x", "4:</box#0>"}},
      {"<#1>", {"13:<#1>"}},
      {"<!--#include file=\"a.txt\" -->rest", {"11:<include#0 file#0=[a.txt]>", "13:rest"}},
      {"<!--#echo-->", {"11:<echo#0>"}},
      {"<!--#x v=\"a\\\"b\\c\" -->", {"11:<x#0 v#0=[a\"b\\c]>"}},
      {"<!--#x v=` y ` w=a-b>c/-->", {"11:<x#0 v#0=[y] w#0=[a-b>c/]>"}},
      {"<!--#x a=\"1\" /-->", {"11:<x#0 a#0=[1]/>"}},
      {"<!--#/x -->", {"11:</x#0>"}},
      {"<!--#1 -->", {"3:#1 "}},
  };
  for (const Case& c : cases) EXPECT_EQ(Pieces(c.html, all), c.pieces) << c.html;
  EXPECT_EQ(Pieces("<!--#include file=\"a\" -->"), V{"3:#include file=\"a\" "});
}

TEST(MkParser, AttributesWithAndWithoutQuotes) {
  struct Case {
    const char* html;
    V pieces;
  };
  const Case cases[] = {
      {"<a href=x.html title='  T  ' id = \"i\" checked>",
       {"8:<a#1 href#52=[x.html] title#119=[T] id#56=[i] checked#20=[]>"}},
      {"<a title=\"a>b\" x='it''s'>", {"8:<a#1 title#119=[a>b] x#0=[it] s#0=[]>"}},
      {"<br clear=all/>", {"8:<br#15 clear#24=[all/]>"}},
      {"<br clear=\"all\"/>", {"8:<br#15 clear#24=[all]/>"}},
      {"<a href=\"?a=1&amp;b=2&copy;\">", {"8:<a#1 href#52=[?a=1&b=2\u00A9]>"}},
      {"<img src=a alt=\"unclosed>", {"8:<img#58 src#110=[a] alt#8=[unclosed>]>"}},
      {"<a =x 1=2 b>", {"8:<a#1 x#0=[] b#0=[]>"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Pieces(c.html), c.pieces) << c.html;
  auto keep = [](TMkHtmlParser& p) {
    ShowEverything(p);
    p.SetTrimAttribValues(true);
  };
  EXPECT_EQ(Pieces("<a title=' T '>", keep), V{"8:<a#1 title#119=[ T ]>"});
}

TEST(MkParser, TagFiltersDecideDeliveryAndAttributeReading) {
  auto startsHidden = [](TMkHtmlParser& p) {
    p.SetFilter(pkText, fiShow);
    p.FilterHtmlTags().Set(fiHide, fiShow);
  };
  EXPECT_EQ(Pieces("<b>x</b>", startsHidden), (V{"13:x", "8:</b#7>"}));
  auto local = [](TMkHtmlParser& p) { p.FilterHtmlTags().Set(fiShowLocal, fiHide); };
  EXPECT_EQ(Pieces("<b x=1>y</b>", local), (V{"8:<b#7 x#0=[1]>"}));
  // Hidden pieces still move the parser: a hidden SCRIPT start still opens script content.
  auto scriptOnly = [](TMkHtmlParser& p) { p.SetFilter(pkScript, fiShow); };
  EXPECT_EQ(Pieces("<script>a<b</script>c", scriptOnly), V{"10:a<b"});
}

TEST(MkParser, References) {
  struct Case {
    const char* html;
    const char* text;
  };
  const Case cases[] = {
      {"a&amp;b", "a&b"},
      {"&lt &gt;", "< >"},
      {"&ampx", "&ampx"},
      {"&nosuch;", "&nosuch;"},
      {"&#150;&#129;", "\u2013\uFFFD"},
      {"&#x41;&#X42;&#67", "ABC"},
      {"&#65x", "&#65x"},
      {"&#99999999;", "&#99999999;"}, {"&#65535;x", "\uFFFFx"},
      {"&#;&#x;&", "&#;&#x;&"},
      {"&euro;&hellip;&Aring;&aring;", "\u20AC\u2026\u00C5\u00E5"},
      {"&apos;&AMP;", "'&AMP;"},
  };
  for (const Case& c : cases) {
    V got = Pieces(c.html);
    ASSERT_EQ(got.size(), 1u) << c.html;
    EXPECT_EQ(got[0], std::string("13:") + c.text) << c.html;
  }
}

// NUL and surrogate halves are no characters: their references give U+FFFD in text,
// attribute values and titles, also for a pair spelled as two references; a code
// point beyond the basic plane gives its pair. Compared as UTF-16, so that a lone
// half cannot hide behind a conversion.
TEST(MkParser, ReferencesToNulAndSurrogatesGiveReplacementCharacters) {
  struct Case {
    const char* html;
    std::u16string text;
  };
  const Case cases[] = {
      {"a&#0;b&#x0000;c", u"a\uFFFDb\uFFFDc"},
      {"&#xD800;&#56320;&#XDFFF;", u"\uFFFD\uFFFD\uFFFD"},
      {"&#xD83D;&#xDE00;", u"\uFFFD\uFFFD"},
      {"&#xD7FF;&#xE000;", u"\uD7FF\uE000"},
      // A character beyond the basic plane is one reference and becomes its pair.
      {"&#x1F600;&#1114111;&#65536;", u"\U0001F600\U0010FFFF\U00010000"},
      {"&#x110000;", u"&#x110000;"},
  };
  for (const Case& c : cases) {
    for (const std::string& html : {std::string(c.html), "<p title=\"" + std::string(c.html) + "\">",
                                    "<title>" + std::string(c.html) + "</title>"}) {
      TMkHtmlParser parser;
      ShowEverything(parser);
      parser.SetSourceString(html);
      ASSERT_TRUE(parser.ReadNextPiece()) << html;
      if (parser.Tag() != nullptr && parser.Tag()->ID == kMkTagTitle) {
        ASSERT_TRUE(parser.ReadNextPiece()) << html;
      }
      std::u16string got = parser.Tag() != nullptr ? parser.Tag()->ValueAt(0) : parser.PieceText();
      EXPECT_EQ(got, c.text) << html;
    }
  }
}

TEST(MkParser, WhiteSpaceNormalisationOutsidePre) {
  auto normalise = [](TMkHtmlParser& p) {
    ShowEverything(p);
    p.SetNormalizeWhiteSpace(true);
  };
  EXPECT_EQ(Pieces("a \n\t b&#32; c<pre> x \n y</pre> z  w", normalise),
            (V{"13:a b c", "8:<pre#81>", "13: x \n y", "8:</pre#81>", "13: z w"}));
  EXPECT_EQ(Pieces("a  b"), V{"13:a  b"});
  EXPECT_EQ(Pieces("<title>  My \n Page &amp; </title>"), (V{"8:<title#103>", "14: My Page & ", "8:</title#103>"}));
}

TEST(MkParser, ContentPiecesEndOnlyAtTheirEndTag) {
  EXPECT_EQ(Pieces("<style>a</b> </STYLE >x"), (V{"8:<style#93>", "12:a</b> ", "8:</STYLE#93>", "13:x"}));
  EXPECT_EQ(Pieces("<script>if (a<b) x='</scriptx>';</script>"),
            (V{"8:<script#86>", "10:if (a<b) x='</scriptx>';", "8:</script#86>"}));
  // A plain (not JavaScript) script ends at the first end tag, even inside a string.
  EXPECT_EQ(Pieces("<script type=text/vbscript>x=\"</script>\"</script>"),
            (V{"8:<script#86 type#120=[text/vbscript]>", "10:x=\"", "8:</script#86>", "13:\"", "8:</script#86>"}));
  EXPECT_EQ(Pieces("<script/>x"), (V{"8:<script#86/>", "13:x"}));
  EXPECT_EQ(Pieces("<script>never closed"), (V{"8:<script#86>", "10:never closed"}));
}

TEST(MkParser, JavaScriptEndsOnlyBetweenTokens) {
  struct Case {
    const char* script;
    const char* data;  // up to the real end tag
  };
  const Case cases[] = {
      {"s='</script>';", "s='</script>';"},
      {"s=\"a\\\"</script>\";", "s=\"a\\\"</script>\";"},
      {"/* </script> */x", "/* </script> */x"},
      {"// c\nx", "// c\nx"},
      {"<!-- hidden -->y", "<!-- hidden -->y"},
      {"r=/<\\/script>/g;", "r=/<\\/script>/g;"},
      {"r=a/b</script>", "r=a/b"},
      {"r=(a)/2/1</script>", "r=(a)/2/1"},
      {"x=1/*/ </script> */", "x=1/*/ "},
      {"a\\u0041b=1", "a\\u0041b=1"},
  };
  for (const Case& c : cases) {
    std::string html = std::string("<script language=\"JavaScript\">") + c.script + "</script>";
    V got = Pieces(html);
    ASSERT_GE(got.size(), 2u) << c.script;
    EXPECT_EQ(got[1], std::string("10:") + c.data) << c.script;
  }
  auto byDefault = [](TMkHtmlParser& p) {
    ShowEverything(p);
    p.SetDefaultContentScriptType(u"text/javascript");
  };
  EXPECT_EQ(Pieces("<script>s='</script>'</script>", byDefault)[1], "10:s='</script>'");
  EXPECT_EQ(Pieces("<meta http-equiv=Content-Script-Type content=text/JavaScript><script>s='</script>'</script>")[2],
            "10:s='</script>'");
}

TEST(MkParser, AttributeValueWriter) {
  struct Case {
    std::u16string value;
    std::int32_t mode;
    std::u16string html, custom;
    bool bare;
  };
  const Case cases[] = {
      {u"", 0, u"", u"", false},
      {u"plain", 1, u"=plain", u"=plain", true},
      {u"a b", 1, u"=\"a b\"", u"=\"a b\"", false},
      {u"a/b", 2, u"=a/b", u"=a/b", true},
      {u"'q", 2, u"=\"'q\"", u"=\"'q\"", false},
      {u"say \"hi\"", 0, u"='say \"hi\"'", u"='say \"hi\"'", false},
      {u"\"a\" 'b' \"c\"", 0, u"='\"a\" &apos;b&apos; \"c\"'", u"='\"a\" &apos;b&apos; \"c\"'", false},
      {u"'&{x}\"", 0, u"=\"'&{x}&quot;\"", u"=\"'&amp;{x}&quot;\"", false},
  };
  for (const Case& c : cases) {
    TMkHtmlTag html;
    TMkCustomTag custom;
    std::u16string s;
    std::int32_t used = 0;
    EXPECT_EQ(html.AppendAttributeValue(c.value, c.mode, s, used), c.bare);
    EXPECT_EQ(s.substr(0, static_cast<std::size_t>(used)), c.html);
    s.clear();
    used = 0;
    custom.AppendAttributeValue(c.value, c.mode, s, used);
    EXPECT_EQ(s.substr(0, static_cast<std::size_t>(used)), c.custom);
  }
}

TEST(MkParser, NewSourceResetsThePieceState) {
  TMkHtmlParser parser;
  ShowEverything(parser);
  parser.SetSourceString("<script>abc");
  ASSERT_TRUE(parser.ReadNextPiece());
  parser.SetSourceString("<b>");
  ASSERT_TRUE(parser.ReadNextPiece());
  EXPECT_EQ(Describe(parser), "8:<b#7>");
  EXPECT_FALSE(parser.ReadNextPiece());
  EXPECT_FALSE(parser.ReadNextPiece());
}

TEST(MkParser, PositionsOfPieces) {
  TMkHtmlParser parser;
  ShowEverything(parser);
  parser.SetSourceString("ab\n  <i>");
  ASSERT_TRUE(parser.ReadNextPiece());
  ASSERT_TRUE(parser.ReadNextPiece());
  EXPECT_EQ(parser.PieceLine(), 2u);
  EXPECT_EQ(parser.PieceColumn(), 3u);
  EXPECT_EQ(parser.PieceOffset(), 6u);
}

// Where the delivered pieces of a text start (counted from 1), and how many characters
// the reader read.
struct Coverage {
  std::vector<std::uint32_t> starts;
  std::uint32_t end = 0;
};

Coverage Cover(const std::string& html, const Configure& configure) {
  TMkHtmlParser parser;
  configure(parser);
  parser.SetSourceString(html);
  Coverage coverage;
  while (parser.ReadNextPiece()) coverage.starts.push_back(parser.PieceOffset());
  coverage.end = parser.Position();
  return coverage;
}

// Damaged and hostile input: every prefix of a document full of markup tokenizes to
// its end with every piece shown, and the pieces re-join to the input: the first
// starts at its first character, each after the one before, and the reader ends at its
// last character. Large runs that force look-ahead stay linear.
TEST(MkParser, TruncatedAndHostileInput) {
  const std::string doc =
      "<!DOCTYPE x><html><head><title>T &amp; t</title><meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=utf-8\"><script language=JavaScript>var r=/a\\/b[/]/g, s='</script>'; // c\n/* x */</script>"
      "<style>p{}</style></head><body a=\"1\" b='2' c=3 d><!-- c --><![CDATA[d]]><?xml v?><?php p ?><% a %>"
      "<!--#include f=\"x\" --><#c a=1>&#65;&#x42;&lt&;&#;<pre> x </pre></body></html>";
  auto all = [](TMkHtmlParser& p) {
    ShowEverything(p);
    p.SetEnableASP(true);
    p.SetEnablePHP(true);
    p.SetEnableCustomTags(true);
    p.SetEnableSSI(true);
    p.SetNormalizeWhiteSpace(true);
  };
  auto rejoins = [&](const std::string& input) {
    const Coverage coverage = Cover(input, all);
    EXPECT_EQ(coverage.end, input.size());
    if (input.empty()) {
      EXPECT_TRUE(coverage.starts.empty());
      return;
    }
    ASSERT_FALSE(coverage.starts.empty());
    EXPECT_EQ(coverage.starts.front(), 1u);  // offsets count characters from 1
    for (std::size_t i = 1; i < coverage.starts.size(); ++i) EXPECT_LT(coverage.starts[i - 1], coverage.starts[i]);
    EXPECT_LE(coverage.starts.back(), coverage.end);
  };
  for (std::size_t cut = 0; cut <= doc.size(); ++cut) {
    SCOPED_TRACE(doc.substr(0, cut));
    rejoins(doc.substr(0, cut));
  }
  const std::string runs[] = {std::string(200000, '-'), "<!--" + std::string(200000, '-'),
                              "<script>//" + std::string(200000, '-'), "<!--#x " + std::string(200000, '-'),
                              "<script>x</script" + std::string(200000, ' '), std::string(200000, '<'),
                              "&" + std::string(200000, 'a'), "<a " + std::string(100000, '"')};
  for (const std::string& run : runs) {
    SCOPED_TRACE(run.substr(0, 12));
    rejoins(run);
  }
  // Every byte value, as characters the reader decodes: the pieces still come in order.
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  const Coverage coverage = Cover(bytes + bytes, all);
  ASSERT_FALSE(coverage.starts.empty());
  for (std::size_t i = 1; i < coverage.starts.size(); ++i) EXPECT_LT(coverage.starts[i - 1], coverage.starts[i]);
  EXPECT_LE(coverage.starts.back(), coverage.end);
}

}  // namespace
