// The string tree: texts asked for through OnGetText, the main column's width cache,
// painting and measuring through OnPaintText, incremental search, the caption chunk
// of tree streams and the older form options.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/classlib/exceptions.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "tests/controls/vtree/string_tree_support.h"

namespace {

using vtree_test::ShownStringTree;
using vtree_test::TestStringTree;

TEST(StringTreeText, CellsShowTheDefaultTextUntilOnGetTextChangesIt) {
  TViewStringTree tree(nullptr);
  PViewNode node = tree.AppendChildNode(nullptr);
  EXPECT_EQ(tree.GetCellText(node, NoColumn), u"Node");
  EXPECT_FALSE(tree.DefaultTextStored());
  tree.SetDefaultText(u"");
  EXPECT_EQ(tree.GetCellText(node, NoColumn), u"");
  EXPECT_TRUE(tree.DefaultTextStored());
  tree.OnGetText = [](TBaseViewTree*, PViewNode, TColumnIndex column, TVSTTextType, std::u16string& text) {
    text += column == 1 ? u"one" : u"other";
  };
  EXPECT_EQ(tree.GetCellText(node, 1), u"one");
  tree.OnGetText = nullptr;
}

TEST(StringTreeText, AskingForTextInitialisesTheNodeFirst) {
  TestStringTree tree;
  PViewNode node = tree.Add(nullptr, u"a");
  int inits = 0;
  tree.OnInitNode = [&](TViewTreeObject*, PViewNode, PViewNode, TViewNodeInitStates&) { ++inits; };
  tree.ReinitNode(node, false);
  inits = 0;
  node->Exclude(vsInitialized);
  tree.GetCellText(node, 0);
  EXPECT_EQ(inits, 1);
  EXPECT_TRUE(node->Has(vsInitialized));
  tree.OnInitNode = nullptr;
}

TEST(StringTreeText, OldFormOptionsTakeTheFirstTwoElementsOnly) {
  TViewStringTree tree(nullptr);
  tree.ReadLegacyStringOptions({"toSaveCaptions", "toShowStaticText", "toAutoAcceptEditChange", "toUnknown"});
  EXPECT_EQ(tree.StringOptions(), toSaveCaptions | toShowStaticText);
  tree.ReadLegacyStringOptions({});
  EXPECT_EQ(tree.StringOptions(), 0);
  EXPECT_EQ(tree.TreeOptions().ClassName(), "TStringTreeOptions");
}

TEST(StringTreeText, EmptyCellsAskTheBaseAnswer) {
  TestStringTree tree;
  PViewNode node = tree.Add(nullptr, u"full");
  tree.SetDefaultText(u"");
  EXPECT_FALSE(tree.DoGetCellIsEmpty(node, 0));
  EXPECT_TRUE(tree.DoGetCellIsEmpty(node, 1));
  tree.OnGetCellIsEmpty = [](TViewTreeObject*, PViewNode, TColumnIndex, bool& isEmpty) { isEmpty = false; };
  EXPECT_FALSE(tree.DoGetCellIsEmpty(node, 1));
}

TEST(StringTreeSearch, TheSearchTextMustStartTheFocusedCellCaseSensitively) {
  TestStringTree tree;
  PViewNode abc = tree.Add(nullptr, u"abc"), xab = tree.Add(nullptr, u"xab"), upper = tree.Add(nullptr, u"ABC");
  EXPECT_EQ(tree.DoIncrementalSearch(abc, u"ab"), 0);
  EXPECT_NE(tree.DoIncrementalSearch(xab, u"ab"), 0);
  EXPECT_NE(tree.DoIncrementalSearch(upper, u"ab"), 0);
  EXPECT_NE(tree.DoIncrementalSearch(abc, u""), 0);
  tree.OnIncrementalSearch = [](TViewTreeObject*, PViewNode, const std::u16string&, int& result) { result = 7; };
  EXPECT_EQ(tree.DoIncrementalSearch(abc, u"ab"), 7);
}

// --- widths ---

TEST(StringTreeWidth, AMeasuredWidthStaysUntilTheNodeIsInvalidated) {
  TestStringTree tree;
  PViewNode node = tree.Add(nullptr, u"ab");
  const int width = tree.DoGetNodeWidth(node, NoColumn, nullptr);
  EXPECT_GT(width, 2 * tree.TextMargin());
  EXPECT_EQ(tree.CachedWidth(node), width);
  tree.SetText(node, 0, u"a much longer text");
  EXPECT_EQ(tree.DoGetNodeWidth(node, NoColumn, nullptr), width);
  tree.InvalidateNodeRect(node);
  EXPECT_EQ(tree.CachedWidth(node), 0);
  EXPECT_GT(tree.DoGetNodeWidth(node, NoColumn, nullptr), width);
}

TEST(StringTreeWidth, ReinitialisingANodeOrChangingTheFontForgetsWidths) {
  TestStringTree tree;
  PViewNode a = tree.Add(nullptr, u"abc"), b = tree.Add(nullptr, u"def");
  tree.DoGetNodeWidth(a, NoColumn, nullptr);
  tree.DoGetNodeWidth(b, NoColumn, nullptr);
  tree.ReinitNode(a, false);
  EXPECT_EQ(tree.CachedWidth(a), 0);
  EXPECT_NE(tree.CachedWidth(b), 0);
  const int height = tree.TextHeight();
  tree.Font().SetHeight(-30);
  EXPECT_EQ(tree.CachedWidth(b), 0);
  EXPECT_GT(tree.TextHeight(), height);
}

TEST(StringTreeWidth, OnPaintTextMakesTheMeasuredWidthFollowTheFont) {
  TestStringTree tree;
  PViewNode node = tree.Add(nullptr, u"some text");
  const int plain = tree.DoGetNodeWidth(node, NoColumn, nullptr);
  tree.OnPaintText = [](TBaseViewTree*, TCanvas& canvas, PViewNode, TColumnIndex, TVSTTextType) {
    canvas.Font().SetHeight(-24);
  };
  tree.InvalidateNodeRect(node);
  EXPECT_GT(tree.DoGetNodeWidth(node, NoColumn, nullptr), plain);
  TBitmap bitmap;
  bitmap.SetSize(1, 1);
  EXPECT_EQ(tree.MeasureTextWidth(bitmap.Canvas(), node, NoColumn, u""), 2 * tree.TextMargin());
}

TEST(StringTreeWidth, ANewTextIsMeasuredBeforeTheScrollBarAndTheNextPaint) {
  ShownStringTree shown(200, 100, {});
  TestStringTree& tree = *shown.tree;
  PViewNode node = tree.Add(nullptr, u"ab");
  tree.UpdateScrollBars(true);
  const int before = tree.RangeX();
  tree.DoGetNodeWidth(node, NoColumn, nullptr);
  tree.SetCellText(node, NoColumn, u"a caption that is a good deal longer than before");
  EXPECT_EQ(tree.newTexts.back(), u"a caption that is a good deal longer than before");
  // The scroll bar's range already holds the new text's width.
  const int range = tree.RangeX();
  EXPECT_GT(range, before);
  EXPECT_GE(range, tree.DoGetNodeWidth(node, NoColumn, nullptr));
}

// --- streams ---

std::vector<std::uint8_t> Bytes(TMemoryStream& stream) { return stream.Memory(); }

TEST(StringTreeStream, TheCaptionChunkHoldsTheMainColumnsTextOfInitialisedNodes) {
  TestStringTree tree;
  tree.TreeOptions().SetStringOptions(toSaveCaptions);
  PViewNode node = tree.Add(nullptr, u"Ab\u00e9");
  tree.GetCellText(node, 0);
  TMemoryStream stream;
  tree.WriteCaptionChunk(stream, node);
  const std::vector<std::uint8_t> expected = {3, 0, 0, 0, 6, 0, 0, 0, 'A', 0, 'b', 0, 0xE9, 0};
  EXPECT_EQ(Bytes(stream), expected);

  struct Case {
    const char* what;
    TVTStringOptions options;
    std::u16string text;
    bool initialised;
  };
  const Case silent[] = {
      {"without toSaveCaptions", 0, u"x", true},
      {"an empty text", toSaveCaptions, u"", true},
      {"an uninitialised node", toSaveCaptions, u"x", false},
  };
  for (const Case& c : silent) {
    tree.TreeOptions().SetStringOptions(c.options);
    tree.SetDefaultText(u"");
    PViewNode other = tree.Add(nullptr, c.text);
    if (c.initialised) tree.GetCellText(other, 0);
    TMemoryStream out;
    tree.WriteCaptionChunk(out, other);
    EXPECT_EQ(out.Size(), 0) << c.what;
  }
  TMemoryStream root;
  tree.WriteCaptionChunk(root, tree.RootNode());
  EXPECT_EQ(root.Size(), 0);
}

TEST(StringTreeStream, ACaptionChunkReadsBackThroughOnNewText) {
  TestStringTree tree;
  tree.TreeOptions().SetStringOptions(toSaveCaptions);
  PViewNode node = tree.Add(nullptr, u"Bookmarks \u00fc");
  tree.GetCellText(node, 0);
  TMemoryStream stream;
  tree.WriteCaptionChunk(stream, node);
  PViewNode copy = tree.Add(nullptr, u"");
  stream.SetPosition(8);
  tree.ReadCaptionChunk(stream, copy, stream.Size() - 8);
  EXPECT_EQ(tree.newTexts, std::vector<std::u16string>{u"Bookmarks \u00fc"});
  EXPECT_EQ(tree.GetCellText(copy, 0), u"Bookmarks \u00fc");
  EXPECT_EQ(stream.Position(), stream.Size());
}

TEST(StringTreeStream, DamagedCaptionChunksAreRefusedAndReadNothing) {
  struct Case {
    const char* what;
    std::int64_t size;
    int bytes;  // what follows the header
    bool refused;
  };
  const Case cases[] = {
      {"size beyond the stream", 10, 4, true},   {"a huge size", 0x7FFFFFF0, 4, true},
      {"an odd size", 3, 4, true},                {"a negative size", -2, 4, true},
      {"an empty caption", 0, 0, false},          {"size within the stream", 4, 6, false},
  };
  for (const Case& c : cases) {
    TestStringTree tree;
    PViewNode node = tree.Add(nullptr, u"keep");
    TMemoryStream stream;
    const char16_t data[] = u"xyz";
    stream.WriteBuffer(data, c.bytes);
    stream.SetPosition(0);
    if (c.refused) {
      EXPECT_THROW(tree.ReadCaptionChunk(stream, node, c.size), EReadError) << c.what;
      EXPECT_TRUE(tree.newTexts.empty()) << c.what;
      EXPECT_EQ(tree.GetCellText(node, 0), u"keep") << c.what;
      EXPECT_EQ(stream.Position(), 0) << c.what;
    } else {
      tree.ReadCaptionChunk(stream, node, c.size);
      ASSERT_EQ(tree.newTexts.size(), 1u) << c.what;
      EXPECT_EQ(tree.newTexts[0].size(), static_cast<std::size_t>(c.size / 2)) << c.what;
      EXPECT_EQ(stream.Position(), c.size) << c.what;
    }
  }
}

// --- painting ---

TEST(StringTreePaint, ACutOffCellIsShortenedWithAnEllipsisUnlessAHandlerDoesIt) {
  ShownStringTree shown(220, 80);
  TestStringTree& tree = *shown.tree;
  PViewNode node = tree.Add(nullptr, u"A very long bookmark name indeed");
  std::u16string shortened;
  tree.OnShortenString = [&](TBaseViewTree*, TCanvas&, PViewNode, TColumnIndex, const std::u16string& s, int space,
                             std::u16string& result, bool& done) {
    shortened = s;
    EXPECT_LT(space, 90);
    result = u"short";
    done = true;
  };
  tree.Repaint();
  platform::input_driver::RunPending();
  EXPECT_EQ(shortened, u"A very long bookmark name indeed");
  (void)node;
}

TEST(StringTreePaint, StaticTextIsAskedForOnlyWithItsOption) {
  ShownStringTree shown(220, 80);
  TestStringTree& tree = *shown.tree;
  PViewNode node = tree.Add(nullptr, u"a");
  tree.staticTexts[node] = u"(static)";
  std::vector<TVSTTextType> painted;
  tree.OnPaintText = [&](TBaseViewTree*, TCanvas&, PViewNode, TColumnIndex column, TVSTTextType type) {
    if (column == 0) painted.push_back(type);
  };
  TBitmap bitmap;
  bitmap.SetSize(220, 20);
  tree.PaintTree(bitmap.Canvas(), RECT{0, 0, 220, 18}, POINT{0, 0}, DefaultPaintCycleOptions);
  EXPECT_EQ(std::count(painted.begin(), painted.end(), ttStatic), 0);
  tree.TreeOptions().SetStringOptions(toShowStaticText);
  painted.clear();
  tree.PaintTree(bitmap.Canvas(), RECT{0, 0, 220, 18}, POINT{0, 0}, DefaultPaintCycleOptions);
  EXPECT_EQ(std::count(painted.begin(), painted.end(), ttStatic), 1);
}

TEST(StringTreePaint, EmptyCellsAfterACellAreSpannedWithAutoSpanColumns) {
  ShownStringTree shown(220, 80);
  TestStringTree& tree = *shown.tree;
  tree.SetDefaultText(u"");
  PViewNode spanning = tree.Add(nullptr, u"wide");
  PViewNode blocked = tree.Add(nullptr, u"wide", u"date");
  tree.TreeOptions().SetAutoOptions(tree.TreeOptions().AutoOptions() | toAutoSpanColumns);
  TVTPaintInfo info;
  info.Node = spanning;
  info.Column = 0;
  info.CellRect = RECT{0, 0, 90, 18};
  EXPECT_EQ(tree.FitCellPaintRect(info), InvalidColumn);
  EXPECT_EQ(info.CellRect.right, 210);
  info.Node = blocked;
  info.CellRect = RECT{0, 0, 90, 18};
  EXPECT_EQ(tree.FitCellPaintRect(info), 1);
  EXPECT_EQ(info.CellRect.right, 90);
}

TEST(StringTreeEditorText, TheTextInfoTakesTheCellsFontAndCentresOnItsLine) {
  ShownStringTree shown(220, 80);
  TestStringTree& tree = *shown.tree;
  PViewNode node = tree.Add(nullptr, u"name", u"date");
  TFont font;
  RECT r{};
  std::u16string text;
  tree.GetTextInfo(node, 1, font, r, text);
  EXPECT_EQ(text, u"date");
  EXPECT_EQ(font.Name(), "Pellix Test Fixed");
  const RECT cell = tree.GetDisplayRect(node, 1, true);
  EXPECT_EQ(r.left, cell.left);
  EXPECT_EQ(r.bottom - r.top, cell.bottom - cell.top - (cell.bottom - cell.top - tree.TextHeight()) / 2 * 2);
  tree.OnPaintText = [](TBaseViewTree*, TCanvas& canvas, PViewNode, TColumnIndex, TVSTTextType) {
    canvas.Font().SetStyle(fsBold);
  };
  tree.GetTextInfo(node, 1, font, r, text);
  EXPECT_EQ(font.Style(), static_cast<TFontStyles>(fsBold));
}

}  // namespace
