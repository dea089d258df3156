// Plug-ins: filter combination between a parser and its plug-ins, hooks that change
// delivery, and the character-set plug-in's META handling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/htmllabel/mk_html_names.h"
#include "controls/htmllabel/mk_html_plugin.h"
#include "platform/base/text.h"

namespace {

// Records the pieces it hears of; optionally forces delivery.
class RecordingPlugin : public TMkHtmlParserPlugin {
 public:
  void OnHtmlTag(bool& deliver) override {
    heard.push_back("tag:" + platform::WideToUtf8(HtmlParser()->Tag()->Name));
    if (forceDelivery) deliver = true;
  }
  void OnComment(bool& deliver) override {
    heard.push_back("comment:" + platform::WideToUtf8(HtmlParser()->PieceText()));
    if (forceDelivery) deliver = true;
  }
  void OnAttach() override { ++attached; }
  std::vector<std::string> heard;
  bool forceDelivery = false;
  int attached = 0;
};

std::vector<std::string> Delivered(TMkHtmlParser& parser, const std::string& html) {
  parser.SetSourceString(html);
  std::vector<std::string> out;
  while (parser.ReadNextPiece()) {
    const TMkTag* tag = parser.Tag();
    out.push_back(tag ? "tag:" + platform::WideToUtf8(tag->Name) + (tag->Count() ? "+attrs" : "")
                      : std::to_string(parser.PieceKind()) + ":" + platform::WideToUtf8(parser.PieceText()));
  }
  return out;
}

TEST(MkPlugin, AttachDetachAndCount) {
  TMkHtmlParser parser;
  {
    RecordingPlugin plugin;
    plugin.SetHtmlParser(&parser);
    EXPECT_EQ(parser.PluginCount(), 1u);
    EXPECT_EQ(plugin.attached, 1);
    plugin.SetHtmlParser(&parser);
    EXPECT_EQ(plugin.attached, 1);
  }
  EXPECT_EQ(parser.PluginCount(), 0u);
  RecordingPlugin outlives;
  {
    TMkHtmlParser shortLived;
    outlives.SetHtmlParser(&shortLived);
  }
  EXPECT_EQ(outlives.HtmlParser(), nullptr);
}

TEST(MkPlugin, PluginHearsHiddenPiecesAndMayDeliverThem) {
  TMkHtmlParser parser;
  parser.SetFilter(pkText, fiShow);
  RecordingPlugin plugin;
  plugin.SetFilter(pkComment, fiShowLocal);
  plugin.SetHtmlParser(&parser);
  EXPECT_EQ(Delivered(parser, "a<!--c-->b"), (std::vector<std::string>{"13:a", "13:b"}));
  EXPECT_EQ(plugin.heard, (std::vector<std::string>{"comment:c"}));
  plugin.forceDelivery = true;
  EXPECT_EQ(Delivered(parser, "<!--d-->"), (std::vector<std::string>{"3:d"}));
  plugin.SetEnabled(false);
  plugin.heard.clear();
  EXPECT_EQ(Delivered(parser, "<!--e-->"), (std::vector<std::string>{}));
  EXPECT_TRUE(plugin.heard.empty());
}

TEST(MkPlugin, ShowHiddenFollowsWhetherAPluginShows) {
  TMkHtmlParser parser;
  parser.FilterHtmlTags().SetStartTags(fiShowHidden);
  EXPECT_EQ(Delivered(parser, "<b x=1>"), (std::vector<std::string>{"tag:b+attrs"}));
  RecordingPlugin showing;
  showing.FilterHtmlTags().SetStartTags(fiShow);
  showing.SetHtmlParser(&parser);
  EXPECT_EQ(Delivered(parser, "<b x=1>"), (std::vector<std::string>{}));
  EXPECT_EQ(showing.heard, (std::vector<std::string>{"tag:b"}));
  showing.SetEnabled(false);
  EXPECT_EQ(Delivered(parser, "<b x=1>"), (std::vector<std::string>{"tag:b+attrs"}));
}

TEST(MkPlugin, PerTagListsMakeTableEntriesOnlyForNamedTags) {
  TMkHtmlParser parser;
  parser.FilterHtmlTags().Set(fiShow, fiShow);
  RecordingPlugin plugin;
  plugin.TagFilters(tfHtml).SetFilter(7, fiShowLocal);  // B
  plugin.SetHtmlParser(&parser);
  EXPECT_NE(parser.TagWord(tfHtml, 7) & 0x400000, 0u);
  EXPECT_EQ(parser.TagWord(tfHtml, 54), 0u);  // I: filtered by the family word alone
  Delivered(parser, "<i><b></b>");
  EXPECT_EQ(plugin.heard, (std::vector<std::string>{"tag:b"}));
  plugin.TagFilters(tfHtml).SetFilter(54, fiShowLocal);  // a change reaches the parser at once
  plugin.heard.clear();
  Delivered(parser, "<i>");
  EXPECT_EQ(plugin.heard, (std::vector<std::string>{"tag:i"}));
  plugin.SetHtmlParser(nullptr);
  EXPECT_EQ(parser.TagWord(tfHtml, 7), 0u);
}

struct CharSetCall {
  std::u16string name;
  bool defaultMethods;
};

TEST(MkCharSetPlugin, MetaDeclarationsReachTheHandler) {
  struct Case {
    const char* html;
    std::vector<std::u16string> names;
  };
  const Case cases[] = {
      {"<meta http-equiv=\"CONTENT-type\" content=\"text/html; Charset = windows-1251 \">", {u"windows-1251"}},
      {"<meta http-equiv=Content-Type content=\"text/html; charset\">", {}},
      {"<meta http-equiv=Content-Type content=\"text/html; charset:x\">", {}},
      {"<meta http-equiv=refresh content=\"charset=x\">", {}},
      {"<meta http-equiv=content-type content=\"charset=utf-8;x\"></meta>", {u"utf-8"}},
  };
  for (const Case& c : cases) {
    TMkHtmlParser parser;
    parser.FilterHtmlTags().Set(fiShow, fiShow);
    TMkHtmlCharSetPlugin plugin;
    std::vector<std::u16string> names;
    plugin.SetOnCharSetChange([&](TMkHtmlCharSetPlugin&, const std::u16string& name, TMkUnicodeReadMethods& methods,
                                  bool&) {
      names.push_back(name);
      EXPECT_EQ(methods.ReadChar, kMkDefaultReadMethods.ReadChar);
    });
    plugin.SetHtmlParser(&parser);
    Delivered(parser, c.html);
    EXPECT_EQ(names, c.names) << c.html;
  }
}

TEST(MkCharSetPlugin, HandlerChoosesTheDecoderOrRefuses) {
  for (bool allow : {true, false}) {
    TMkHtmlParser parser;
    parser.SetFilter(pkText, fiShow);
    TMkHtmlCharSetPlugin plugin;
    plugin.SetOnCharSetChange([&](TMkHtmlCharSetPlugin&, const std::u16string&, TMkUnicodeReadMethods& methods,
                                  bool& allowChange) {
      methods = kMkUtf16LEReadMethods;
      allowChange = allow;
    });
    plugin.SetHtmlParser(&parser);
    // After the META, the bytes "h\0i\0" read as "hi" only once the decoder changed.
    std::string html = "<meta http-equiv=Content-Type content='charset=utf-16'>";
    html += std::string("h\0i\0", 4);
    std::vector<std::string> pieces = Delivered(parser, html);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], allow ? "13:hi" : std::string("13:h\0i\0", 7)) << allow;
  }
}

TEST(MkCharSetPlugin, XmlDeclarationNeverChangesTheDecoder) {
  TMkHtmlParser parser;
  TMkHtmlCharSetPlugin plugin;
  int calls = 0;
  plugin.SetOnCharSetChange([&](TMkHtmlCharSetPlugin&, const std::u16string&, TMkUnicodeReadMethods&, bool&) { ++calls; });
  plugin.SetHtmlParser(&parser);
  Delivered(parser, "<?xml version=\"1.0\" encoding=\"utf-16\"?><?xml form=x?>");
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(MkCharSetTable().Count(), 0);
}

// The label's own set-up: tags and text shown, white space normalised, a
// character-set plug-in attached after the source is set.
TEST(MkCharSetPlugin, TheLabelsSettings) {
  TMkHtmlParser parser;
  parser.SetNormalizeWhiteSpace(true);
  parser.FilterHtmlTags().Set(fiShow, fiShow);
  parser.SetFilter(pkText, fiShow);
  parser.SetSourceString("Enter the  password\r\nfor <b>My&nbsp;Vault</b><br><a href='help'>Help</a><!-- x -->.");
  TMkHtmlCharSetPlugin plugin;
  plugin.SetHtmlParser(&parser);
  std::vector<std::string> pieces;
  while (parser.ReadNextPiece()) {
    const TMkTag* tag = parser.Tag();
    pieces.push_back(tag ? (tag->TagType == kMkEndTag ? "/" : "") + platform::WideToUtf8(tag->Name) + ":" +
                               platform::WideToUtf8(tag->AttributeValue(52))
                         : platform::WideToUtf8(parser.PieceText()));
  }
  EXPECT_EQ(pieces, (std::vector<std::string>{"Enter the password for ", "b:", "My\u00A0Vault", "/b:", "br:", "a:help",
                                               "Help", "/a:", "."}));
}

}  // namespace
