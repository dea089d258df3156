// The tree's content exported as text for other programs: golden files for every
// format, and the rules that matter to a reader: quoting, escaping, the level
// columns, the HTML clipboard offsets and the RTF character numbers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "controls/vtree/vt_export.h"
#include "platform/com/data_object.h"
#include "string_tree_support.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

class ExportTest : public testing::Test {
 protected:
  void SetUp() override {
    auto n = Build(tree_, {"a", "a/b", "c"});
    nodes_ = n;
    texts_ = {
        {"a", {u"a", u"tab\there", u"say \"hi\""}},
        {"b", {u"b<&>", u"\u00e9t\u00e9", u"\U0001F600 ok\xD800!"}},
        {"c", {u"c", u"", u"\""}},
    };
  }
  void AddColumns() {
    for (const char16_t* caption : {u"Name", u"D\u00e9tail", u"Note"}) {
      TViewTreeColumn& column = tree_.Header().Columns().Add();
      column.SetText(caption);
      column.SetWidth(80);
    }
    tree_.Header().Columns()[2].SetAlignment(taRightJustify);
    tree_.Header().SetOptions(tree_.Header().Options() | hoVisible);
  }
  TVTContentExporter Exporter() {
    return TVTContentExporter(tree_, [this](PViewNode node, TColumnIndex column) {
      return texts_[tree_.Name(node)][static_cast<std::size_t>(std::max(column, 0))];
    });
  }
  std::string Block(WORD format, TVSTTextSourceType source = tstAll) {
    HGLOBAL block = Exporter().ContentToClipboard(format, source);
    std::vector<std::uint8_t> bytes = platform::com::BytesOfBlock(block);
    GlobalFree(block);
    return std::string(bytes.begin(), bytes.end());
  }
  void ExpectGolden(const std::string& bytes, const std::string& name) {
    EXPECT_EQ(bytes, pellix_test::ReadBytes(pellix_test::Fixture("controls/" + name))) << name << " changed";
  }

  TestTree tree_;
  std::map<std::string, PViewNode> nodes_;
  std::map<std::string, std::vector<std::u16string>> texts_;
};

TEST_F(ExportTest, GoldenFilesOfEveryFormat) {
  AddColumns();
  // CSV takes the locale's list separator: the golden file is the C locale's.
  const char* saved = std::getenv("LC_ALL");
  const std::string kept = saved ? saved : "";
  setenv("LC_ALL", "C", 1);
  const TTreeGlobals& g = TreeGlobals();
  ExpectGolden(Block(CF_TEXT), "vtree_export_text.txt");
  ExpectGolden(Block(CF_UNICODETEXT), "vtree_export_unicode.txt");
  ExpectGolden(Block(g.CF_CSV), "vtree_export.csv");
  ExpectGolden(Block(g.CF_VRTF), "vtree_export.rtf");
  ExpectGolden(Block(g.CF_HTML), "vtree_export.html");
  EXPECT_EQ(Block(g.CF_VRTFNOOBJS), Block(g.CF_VRTF));
  if (saved) {
    setenv("LC_ALL", kept.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

// Captions first; a tree level takes a column of its own; a cell holding the
// separator is quoted in both texts, a quote is doubled in the 8-bit text only.
TEST_F(ExportTest, TabSeparatedTextQuotesAsEachFormWants) {
  AddColumns();
  EXPECT_EQ(Exporter().ContentToUnicode(tstAll, u'\t'),
            u"Name\t\tD\u00e9tail\tNote\r\n"
            u"a\t\t\"tab\there\"\tsay \"hi\"\r\n"
            u"\tb<&>\t\u00e9t\u00e9\t\U0001F600 ok\xD800!\r\n"
            u"c\t\t\t\"\r\n");
  const std::string ansi = Exporter().ContentToText(tstAll, '\t');
  EXPECT_NE(ansi.find("a\t\t\"tab\there\"\t\"say \"\"hi\"\"\"\r\n"), std::string::npos) << ansi;
  EXPECT_NE(ansi.find("c\t\t\t\"\"\"\"\r\n"), std::string::npos) << ansi;
}

TEST_F(ExportTest, WithoutColumnsLevelsIndentTheLines) {
  EXPECT_EQ(Exporter().ContentToUnicode(tstAll, u'\t'), u"a\r\n\tb<&>\r\nc\r\n");
  tree_.SetSelected(nodes_["b"], true);
  EXPECT_EQ(Exporter().ContentToText(tstSelected, ';'), ";b<&>\r\n");
}

TEST_F(ExportTest, NothingToExportRendersNoBlock) {
  AddColumns();
  for (WORD format : {WORD(CF_TEXT), WORD(CF_UNICODETEXT), TreeGlobals().CF_CSV, TreeGlobals().CF_HTML,
                      TreeGlobals().CF_VRTF}) {
    EXPECT_EQ(Exporter().ContentToClipboard(format, tstSelected), nullptr) << format;
  }
  EXPECT_EQ(Exporter().ContentToClipboard(TreeGlobals().CF_VIRTUALTREE, tstAll), nullptr);
}

// The offsets of the clipboard header point at what was written, in 8 digits.
TEST_F(ExportTest, HtmlClipboardOffsetsAndEscaping) {
  AddColumns();
  std::string html = Block(TreeGlobals().CF_HTML);
  ASSERT_FALSE(html.empty());
  ASSERT_EQ(html.back(), '\0');
  html.pop_back();
  auto number = [&](const std::string& key) {
    const std::size_t at = html.find(key);
    EXPECT_NE(at, std::string::npos) << key;
    const std::string digits = html.substr(at + key.size(), 8);
    EXPECT_EQ(html.substr(at + key.size() + 8, 2), "\r\n") << key;
    return static_cast<std::size_t>(std::stoul(digits));
  };
  const std::size_t startHtml = number("StartHTML:"), endHtml = number("EndHTML:");
  const std::size_t startFragment = number("StartFragment:"), endFragment = number("EndFragment:");
  EXPECT_EQ(startHtml, 97u);
  EXPECT_EQ(html.substr(startHtml, 9), "<!DOCTYPE");
  EXPECT_EQ(html.substr(startFragment - 20), html.substr(startFragment - 20));
  EXPECT_EQ(html.substr(startFragment - 3, 3), "-->");
  EXPECT_EQ(html.substr(startFragment, 6), "<style");
  EXPECT_EQ(html.substr(endFragment, 18), "<!--EndFragment-->");
  EXPECT_EQ(endHtml, html.size());
  const std::string fragment = html.substr(startFragment, endFragment - startFragment);
  EXPECT_NE(fragment.find(">b&lt;&amp;&gt;</td>"), std::string::npos);
  EXPECT_NE(fragment.find("say &quot;hi&quot;"), std::string::npos);
  EXPECT_EQ(fragment.find("<&>"), std::string::npos);
  // UTF-8: the pair as one code point, the lone surrogate left out.
  EXPECT_NE(fragment.find("\xF0\x9F\x98\x80 ok!"), std::string::npos);
}

TEST_F(ExportTest, RtfEscapesAndNumbersCharactersSigned) {
  AddColumns();
  texts_["c"][1] = u"{x}\\";
  const std::string rtf = Exporter().ContentToRTF(tstAll);
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl", 0), 0u);
  EXPECT_NE(rtf.find("\\u233\\'3ft\\u233\\'3f"), std::string::npos);
  EXPECT_NE(rtf.find("\\u-10179\\'3f\\u-8704\\'3f"), std::string::npos);
  EXPECT_NE(rtf.find("\\{x\\}\\\\"), std::string::npos);
  EXPECT_NE(rtf.find("\\qr"), std::string::npos);
  EXPECT_EQ(rtf.back(), '}');
}

// A string tree's copied nodes reach text readers of the clipboard as lines of cells,
// a child's main text after one Tab per level.
TEST(StringTreeTransfer, CopiedNodesOfferUnicodeText) {
  vtree_test::TestStringTree tree;
  tree.SetClipboardFormats({"View Tree Data", "Unicode text", "HTML Format"});
  for (const char16_t* caption : {u"Name", u"Site"}) tree.Header().Columns().Add().SetText(caption);
  tree.Header().SetOptions(tree.Header().Options() | hoVisible);
  PViewNode parent = tree.Add(nullptr, u"Bank", u"bank.example");
  PViewNode child = tree.Add(parent, u"K\u00f6ln", u"koeln.example");
  tree.TreeOptions().SetSelectionOptions(tree.TreeOptions().SelectionOptions() | toMultiSelect);
  tree.SetSelected(parent, true);
  tree.SetSelected(child, true);
  ASSERT_TRUE(tree.CopyToClipboard());
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(platform::win::WideTextOfBlock(GetClipboardData(CF_UNICODETEXT)),
            u"Name\t\tSite\r\nBank\t\tbank.example\r\n\tK\u00f6ln\tkoeln.example\r\n");
  EXPECT_TRUE(IsClipboardFormatAvailable(TreeGlobals().CF_HTML));
  EXPECT_FALSE(IsClipboardFormatAvailable(TreeGlobals().CF_VRTF));  // not among the tree's formats
  EmptyClipboard();
  CloseClipboard();
}

// Captions travel in the stream: each node with text gives one caption chunk, and the
// reading tree hears of each text once.
TEST(StringTreeTransfer, CaptionsTravelInTheStream) {
  vtree_test::TestStringTree source, target;
  source.TreeOptions().SetStringOptions(source.TreeOptions().StringOptions() | toSaveCaptions);
  PViewNode a = source.Add(nullptr, u"Alpha");
  source.Add(a, u"\u03b2eta");
  source.Add(nullptr, u"");
  for (PViewNode n = source.GetFirst(); n != nullptr; n = source.GetNext(n)) source.InitNode(n);
  TMemoryStream stream;
  source.SaveToStream(stream);
  stream.SetPosition(0);
  target.LoadFromStream(stream);
  // A node's caption follows its children's chunks.
  EXPECT_EQ(target.newTexts, (std::vector<std::u16string>{u"\u03b2eta", u"Alpha"}));
  EXPECT_EQ(target.TotalCount(), 4u);
}

TEST(ExportUtf8, EncodesByTheRule) {
  EXPECT_EQ(ExportUtf8(u"A\u00e9\u20ac\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(ExportUtf8(u"\xDC00x\xD800"), "x");
}

}  // namespace
