// The label's node tree and layout, as text dumps with the built-in fixed font
// (10 pixels high: every character 5 wide, lines 10 high): the tree the builder
// makes of hostile and ordinary markup, and where each piece of text is laid out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "controls/htmllabel/mk_html_renderer.h"
#include "controls/htmllabel/mk_node_tree.h"
#include "platform/base/text.h"
#include "platform/gdi/device_context.h"

namespace {

// "b(...)" style nodes by letter, "a[href](...)", "font#rrggbb(...)", "dyn[id](...)",
// "<br>", "<p>", and texts in quotes.
std::string TreeOf(const TParentNode& parent) {
  std::string out;
  for (const auto& child : parent.Children) {
    if (!out.empty()) out += " ";
    if (const auto* text = dynamic_cast<const TStringNode*>(child.get())) {
      out += "\"" + platform::WideToUtf8(text->Text) + "\"";
      continue;
    }
    if (const auto* action = dynamic_cast<const TActionNode*>(child.get())) {
      out += action->Action == kMkActionLineBreak ? "<br>" : "<p>";
      continue;
    }
    if (const auto* style = dynamic_cast<const TStyleNode*>(child.get())) {
      out += "bius"[style->StyleIndex];
    } else if (const auto* link = dynamic_cast<const TLinkNode*>(child.get())) {
      out += "a[" + platform::WideToUtf8(link->Href) + "]";
    } else if (const auto* font = dynamic_cast<const TFontNode*>(child.get())) {
      char colour[16];
      std::snprintf(colour, sizeof colour, "font#%06x", static_cast<unsigned>(font->Color));
      out += colour;
    } else if (const auto* dynamic = dynamic_cast<const TDynamicNode*>(child.get())) {
      out += "dyn[" + platform::WideToUtf8(dynamic->ID) + "]";
    }
    out += "(" + TreeOf(static_cast<const TParentNode&>(*child)) + ")";
  }
  return out;
}

class Sources : public IDynamicNodeHandler {
 public:
  void GetDynamicSource(TDynamicNode& node, std::string& source) override {
    source = node.ID == u"name"    ? "<b>Ann</b> &amp; Bob"
             : node.ID == u"self"  ? "<dynamic id=self>x"
             : node.ID == u"twice" ? "<dynamic id=twice>x<dynamic id=twice>"
                                   : "";
  }
};

std::string Parsed(const std::string& html) {
  Sources sources;
  return TreeOf(TDefaultParser(&sources).Parse(html)->Root());
}

TEST(MkNodeTree, BuildsTheTreeOfTheMarkup) {
  struct Case {
    std::string html;
    std::string tree;
  };
  const Case cases[] = {
      {"plain text", "\"plain text\""},
      {"  lead", "\"lead\""},
      {"a <b>b <i>bi</i></b> <u>u</u><s>s</s>", "\"a \" b(\"b \" i(\"bi\")) \" \" u(\"u\") s(\"s\")"},
      // Only the innermost open node closes, by its own end tag.
      {"<b>x</i>y</b>z", "b(\"x\" \"y\") \"z\""},
      {"</b>x<i>y</b>z", "\"x\" i(\"y\" \"z\")"},
      {"<b>never closed", "b(\"never closed\")"},
      {"<a href=\"go?a=1&amp;b\">here</a>", "a[go?a=1&b](\"here\")"},
      {"<a>no href</a>", "a[](\"no href\")"},
      {"<font color=red>r</font><font color=\"#00ff00\">g</font>", "font#0000ff(\"r\") font#00ff00(\"g\")"},
      // A FONT without a usable colour makes no node; its end tag then closes nothing.
      {"<b><font>x</font><font color=\"  \">y</font></b>", "b(\"x\" \"y\")"},
      // After BR and P the text loses its leading blanks; after other tags it keeps them.
      {"one<br>  two<p> three<b> four</b>", "\"one\" <br> \"two\" <p> \"three\" b(\" four\")"},
      // Empty-element tags make no node.
      {"a<br/>b<b/>c", "\"a\" \"b\" \"c\""},
      {"x<table><tr><td>y</td></tr></table><!-- c --><script>s</script>", "\"x\" \"y\""},
      {"<dynamic id=name>ignored</dynamic>!", "dyn[name](b(\"Ann\") \" & Bob\") \"ignored\" \"!\""},
      {"<dynamic id=none>", "dyn[none]()"},
      {"caf\xe9 &#8364; &euro;", "\"caf\xc3\xa9 \xe2\x82\xac \xe2\x82\xac\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Parsed(c.html), c.tree) << c.html;
}

// Hostile nesting: nodes stop opening at the depth limit (also through dynamic tags
// that name themselves), and every walk of the tree still ends.
TEST(MkNodeTree, DeepNestingStopsAtTheLimit) {
  std::string html;
  for (int i = 0; i < 5000; ++i) html += "<b>";
  html += "deep";
  Sources sources;
  auto tree = TDefaultParser(&sources).Parse(html);
  int depth = 0;
  const TParentNode* node = &tree->Root();
  while (!node->Children.empty() && dynamic_cast<const TParentNode*>(node->Children.front().get()) != nullptr) {
    node = static_cast<const TParentNode*>(node->Children.front().get());
    ++depth;
  }
  EXPECT_EQ(depth, kMkMaxNodeDepth);
  EXPECT_EQ(GetText(tree->Root()), u"deep");

  auto self = TDefaultParser(&sources).Parse("<dynamic id=self>");
  EXPECT_EQ(GetText(self->Root()), std::u16string(kMkMaxNodeDepth, u'x'));
}

int CountNodes(const TParentNode& parent) {
  int count = 0;
  for (const auto& child : parent.Children) {
    ++count;
    if (const auto* inner = dynamic_cast<const TParentNode*>(child.get())) count += CountNodes(*inner);
  }
  return count;
}

// A dynamic source that names itself twice would double the tree at every level; one
// parse stops at its node budget, and a later parse has a budget of its own.
TEST(MkNodeTree, DynamicSourcesCannotGrowTheTreeWithoutBound) {
  Sources sources;
  TDefaultParser parser(&sources);
  for (int parse = 0; parse < 2; ++parse) {
    auto tree = parser.Parse("<dynamic id=twice>");
    EXPECT_EQ(CountNodes(tree->Root()), kMkMaxNodeCount) << parse;
  }
}

// A canvas on a bitmap with the fixed font.
class Surface {
 public:
  Surface() : dc_(CreateCompatibleDC(0)), bitmap_(CreateCompatibleBitmap(dc_, 200, 100)) {
    SelectObject(dc_, bitmap_);
    canvas_.SetHandle(dc_);
    canvas_.Font().SetName("Pellix Test Fixed");
    canvas_.Font().SetHeight(-10);
  }
  ~Surface() {
    canvas_.SetHandle(0);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  TCanvas& Canvas() { return canvas_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  TCanvas canvas_;
};

// One line per piece of text: its words, the style letters and colour it was laid
// out in, and its rectangles.
std::string LayoutOf(const TParentNode& parent, const TMkHtmlRenderer& renderer) {
  std::string out;
  for (const TStringNode* text : StringNodesUnder(parent)) {
    const auto* area = static_cast<const TAreaNode*>(text->Parent);
    std::string styles;
    for (int bit = 0; bit < 4; ++bit) styles += (area->Style & (1u << bit)) ? "BIUS"[bit] : '-';
    char line[64];
    std::snprintf(line, sizeof line, "\" %s #%06x", styles.c_str(),
                  static_cast<unsigned>(renderer.MapColor(area->Color)) & 0xFFFFFFu);
    out += "\"" + platform::WideToUtf8(text->Text) + line;
    for (const RECT& r : text->Rects) {
      std::snprintf(line, sizeof line, " %d,%d-%d,%d", static_cast<int>(r.left), static_cast<int>(r.top),
                    static_cast<int>(r.right), static_cast<int>(r.bottom));
      out += line;
    }
    out += "\n";
  }
  return out;
}

struct Laid {
  std::string layout;
  std::int32_t textBottom;
};

Laid Lay(const std::string& html, int width, int offsetY = 0) {
  Sources sources;
  auto tree = TDefaultParser(&sources).Parse(html);
  tree->Root().Color = clBlack;
  Surface surface;
  TMkHtmlRenderer renderer;
  renderer.OffsetY = offsetY;
  renderer.Render(surface.Canvas(), RECT{0, 0, width, 100}, *tree);
  return {LayoutOf(tree->Root(), renderer), renderer.TextBottom};
}

TEST(MkRenderer, LaysOutRunsLinksBreaksAndParagraphs) {
  struct Case {
    const char* name;
    std::string html;
    int width;
    std::string layout;
  };
  const Case cases[] = {
      {"plain", "Hello world", 100, "\"Hello world\" ---- #000000 0,0-55,10\n"},
      {"styles", "a<b>b</b> <i>i<u>u</u></i> <s>s</s>", 100,
       "\"a\" ---- #000000 0,0-5,10\n\"b\" B--- #000000 5,0-10,10\n\" \" ---- #000000 10,0-15,10\n"
       "\"i\" -I-- #000000 15,0-20,10\n\"u\" -IU- #000000 20,0-25,10\n\" \" ---- #000000 25,0-30,10\n"
       "\"s\" ---S #000000 30,0-35,10\n"},
      {"colours", "<font color=red>r<font color=lime>g</font></font>k", 100,
       "\"r\" ---- #0000ff 0,0-5,10\n\"g\" ---- #00ff00 5,0-10,10\n\"k\" ---- #000000 10,0-15,10\n"},
      {"link", "go <a href=x>there <b>now</b></a>!", 100,
       "\"go \" ---- #000000 0,0-15,10\n\"there \" --U- #ff0000 15,0-45,10\n\"now\" B-U- #ff0000 45,0-60,10\n"
       "\"!\" ---- #000000 60,0-65,10\n"},
      {"line break", "one<br>  two<br><br>x", 100,
       "\"one\" ---- #000000 0,0-15,10\n\"two\" ---- #000000 0,10-15,20\n\"x\" ---- #000000 0,30-5,40\n"},
      // A paragraph moves down one and a half lines with bit 1 set: (10 + 5) | 2 = 15.
      {"paragraph", "one<p>two", 100, "\"one\" ---- #000000 0,0-15,10\n\"two\" ---- #000000 0,15-15,25\n"},
      {"wrap", "aaaa bbbb cccc dd", 50, "\"aaaa bbbb cccc dd\" ---- #000000 0,0-45,10 0,10-35,20\n"},
      // A line that fills the space to the right edge exactly wraps.
      {"exact width", "aaaa bbbb", 45, "\"aaaa bbbb\" ---- #000000 0,0-20,10 0,10-20,20\n"},
      {"trailing blank fits", "aaaa bbbb x", 50, "\"aaaa bbbb x\" ---- #000000 0,0-45,10 0,10-5,20\n"},
      // A word wider than the bounds overflows on a line of its own; the first word at
      // the top-left corner never moves down.
      {"long first word", "abcdefghijkl x", 30, "\"abcdefghijkl x\" ---- #000000 0,0-60,10 0,10-5,20\n"},
      {"long later word", "x abcdefghijkl", 30, "\"x abcdefghijkl\" ---- #000000 0,0-5,10 0,10-60,20\n"},
      // A word whose parts change style wraps as one; with a blank before the change
      // the parts may part.
      {"style inside a word", "aaaaaa bb<b>cc</b>dd", 50,
       "\"aaaaaa bb\" ---- #000000 0,0-30,10 0,10-10,20\n\"cc\" B--- #000000 10,10-20,20\n"
       "\"dd\" ---- #000000 20,10-30,20\n"},
      {"blank before the change", "aaaaaa bb <b>cc</b>dd", 50,
       "\"aaaaaa bb \" ---- #000000 0,0-50,10\n\"cc\" B--- #000000 50,0-50,10 0,10-10,20\n\"dd\" ---- #000000 10,10-20,20\n"},
      // Only U+0020 parts words: a no-break space keeps them together.
      {"no-break space", "aa&nbsp;bb cc", 20, "\"aa\xc2\xa0" "bb cc\" ---- #000000 0,0-25,10 0,10-10,20\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Lay(c.html, c.width).layout, c.layout) << c.name;
}

TEST(MkRenderer, TextBottomAndOffset) {
  EXPECT_EQ(Lay("", 100).textBottom, 10);
  EXPECT_EQ(Lay("a<br>b<p>c", 100).textBottom, 10 + 15 + 10);
  // The offset moves the drawn lines (and their rectangles) but not the text bottom.
  Laid moved = Lay("a<br>b", 100, -10);
  EXPECT_EQ(moved.layout, "\"a\" ---- #000000 0,-10-5,0\n\"b\" ---- #000000 0,0-5,10\n");
  EXPECT_EQ(moved.textBottom, 20);
}

TEST(MkRenderer, FindsTheLinkUnderAPoint) {
  Sources sources;
  auto tree = TDefaultParser(&sources).Parse("x <a href=one>first <b>bold</b></a> <a href=two>second linkage</a>");
  Surface surface;
  TMkHtmlRenderer renderer;
  renderer.Render(surface.Canvas(), RECT{0, 0, 65, 100}, *tree);
  // "x first bold " fills the first line; "second linkage" wraps after "second".
  struct Case {
    POINT point;
    const char16_t* href;  // nil: no link
  };
  const Case cases[] = {
      {{2, 5}, nullptr},  {{10, 0}, u"one"},  {{44, 9}, u"one"},   {{59, 5}, u"one"},    {{62, 5}, nullptr},
      {{0, 10}, u"two"},  {{29, 19}, u"two"}, {{30, 10}, nullptr}, {{0, 20}, u"two"},    {{34, 29}, u"two"},
      {{35, 25}, nullptr}, {{-1, 5}, nullptr}, {{65, 5}, nullptr},
  };
  for (const Case& c : cases) {
    const auto* link = static_cast<const TLinkNode*>(tree->FindNodeAt(c.point, &IsNodeOf<TLinkNode>));
    EXPECT_EQ(tree->HasNodeAt(c.point, &IsNodeOf<TLinkNode>), c.href != nullptr) << c.point.x << "," << c.point.y;
    ASSERT_EQ(link != nullptr, c.href != nullptr) << c.point.x << "," << c.point.y;
    if (link != nullptr) {
      EXPECT_EQ(link->Href, c.href);
    }
  }
  const auto* bold = tree->FindNodeAt(POINT{45, 5}, &IsNodeOf<TStyleNode>);
  ASSERT_NE(bold, nullptr);
  EXPECT_EQ(GetText(*bold), u"bold");
  EXPECT_EQ(GetText(*tree->FindNodeAt(POINT{45, 5}, &IsNodeOf<TLinkNode>)), u"first bold");
}

TEST(MkRenderer, WordWidthsAreMeasuredOnceUntilCleared) {
  Sources sources;
  auto tree = TDefaultParser(&sources).Parse("ab cd<b>ef</b>");
  Surface surface;
  TMkHtmlRenderer renderer;
  renderer.Render(surface.Canvas(), RECT{0, 0, 100, 100}, *tree);
  auto* first = StringNodesUnder(tree->Root())[0];
  auto* glued = StringNodesUnder(tree->Root())[1];
  ASSERT_EQ(first->WordCache.size(), 2u);
  EXPECT_EQ(first->WordCache[1].Width, 20);  // "cd" with the glued "ef"
  EXPECT_TRUE(glued->Glued);
  // A cached width is used as it stands: a doctored cache moves the next word.
  first->WordCache[0].Width = 1000;
  renderer.Render(surface.Canvas(), RECT{0, 0, 100, 100}, *tree);
  EXPECT_EQ(first->Rects.size(), 2u);
  tree->ClearWordCaches();
  EXPECT_FALSE(glued->Glued);
  renderer.Render(surface.Canvas(), RECT{0, 0, 100, 100}, *tree);
  EXPECT_EQ(first->Rects.size(), 1u);
}

TEST(MkRenderer, WordEnumeratorSplitsAtBlanksOnly) {
  const std::u16string text = u"a  b\tc ";
  TWordEnumerator words(text);
  std::vector<std::u16string> got;
  while (words.Remaining() > 0) got.push_back(words.GetNext());
  EXPECT_EQ(got, (std::vector<std::u16string>{u"a ", u" ", u"b\tc "}));
  EXPECT_EQ(words.Count(), 3u);
  EXPECT_THROW(words.GetNext(), Exception);
}

}  // namespace
