// Painting: the line kinds of nodes, the paint cycle as the recorded list of its
// element painters and events, row backgrounds in pixels, and pictures of a small
// three-column tree in its window compared with expected PNG files.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/gdi/picture_compare.h"
#include "platform/classlib/forms.h"
#include "platform/win/input_driver.h"
#include "tree_test_support.h"

namespace {

using vtree_test::Build;
using vtree_test::TestTree;

std::string Kinds(const TLineImage& image) {
  static const char* names[] = {"none", "bottomRight", "topDown", "topDownRight", "right", "topRight", "left", "leftBottom"};
  std::string out;
  for (TVTLineType type : image) out += std::string(out.empty() ? "" : " ") + names[type];
  return out;
}

TEST(TreeLines, KindsPerLevel) {
  TestTree tree;
  auto n = Build(tree, {"A", "A/A1", "A/A2", "A/A2/A21", "B", "C"});
  tree.FullExpand();
  struct Case {
    const char* node;
    const char* kinds;
  };
  const Case cases[] = {
      {"A", "bottomRight"},
      {"A1", "topDown topDownRight"},
      {"A2", "topDown topRight"},
      {"A21", "topDown none topRight"},
      {"B", "topDownRight"},
      {"C", "topRight"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.node);
    TLineImage image;
    tree.DetermineLineImage(n.at(c.node), image);
    EXPECT_EQ(Kinds(image), c.kinds);
  }
  TestTree single;
  auto only = Build(single, {"X"});
  TLineImage image;
  single.DetermineLineImage(only.at("X"), image);
  EXPECT_EQ(Kinds(image), "right");
  single.TreeOptions().SetPaintOptions(single.TreeOptions().PaintOptions() & ~toShowTreeLines);
  single.DetermineLineImage(only.at("X"), image);
  EXPECT_EQ(Kinds(image), "none");
}

// A tree that writes down each element painter and event of a paint cycle.
class RecordingTree : public TestTree {
 public:
  RecordingTree() {
    Font().SetName("Pellix Test Fixed");
    Font().SetHeight(-8);
    OnBeforePaint = [this](TViewTreePainting*, TCanvas&) { Log("begin"); };
    OnAfterPaint = [this](TViewTreePainting*, TCanvas&) { Log("end"); };
    OnBeforeItemErase = [this](TViewTreePainting*, TCanvas&, PViewNode node, const RECT& r, TColor& color,
                               TItemEraseAction& action) {
      Log("erase " + Name(node) + " " + std::to_string(r.bottom - r.top));
      if (eraseColor_) {
        color = *eraseColor_;
        action = eaColor;
      }
    };
    OnBeforeItemPaint = [this](TViewTreePainting*, TCanvas&, PViewNode node, const RECT&, bool& custom) {
      custom = customDraw_;
      if (custom) Log("custom " + Name(node));
    };
    OnAfterItemPaint = [this](TViewTreePainting*, TCanvas&, PViewNode node, const RECT&) { Log("item " + Name(node)); };
    OnBeforeCellPaint = [this](TViewTreePainting*, TCanvas&, PViewNode node, TColumnIndex column, const RECT& r) {
      Log("cell " + Name(node) + " " + std::to_string(column) + " " + std::to_string(r.left) + ".." +
          std::to_string(r.right));
    };
    OnPaintBackground = [this](TViewTreePainting*, TCanvas&, const RECT& r, bool&) {
      Log("background " + std::to_string(r.bottom - r.top));
    };
  }
  std::string Take() {
    std::string out = log_.str();
    log_.str("");
    return out;
  }
  // Paints the content rows Top..Bottom onto a bitmap of the tree's width.
  std::string Cycle(int top, int bottom, TVTPaintOptions8 options = DefaultPaintCycleOptions) {
    TBitmap bitmap;
    bitmap.SetSize(200, bottom - top);
    PaintTree(bitmap.Canvas(), RECT{0, top, 200, bottom}, POINT{0, 0}, options);
    return Take();
  }
  std::optional<TColor> eraseColor_;
  bool customDraw_ = false;

 protected:
  void PaintTreeLines(const TVTPaintInfo& info, int vAlign, int indentSize, const TLineImage& lineImage) override {
    Log("lines " + Name(info.Node) + " " + std::to_string(indentSize) + " at " + std::to_string(vAlign));
    TestTree::PaintTreeLines(info, vAlign, indentSize, lineImage);
  }
  void PaintNodeButton(TCanvas& canvas, PViewNode node, const RECT& r, int x, int y, bool rtl) override {
    Log("button " + Name(node) + " " + std::to_string(x) + "," + std::to_string(y));
    TestTree::PaintNodeButton(canvas, node, r, x, y, rtl);
  }
  void PaintCheckImage(const TVTPaintInfo& info) override {
    Log("check " + Name(info.Node) + " " + std::to_string(info.ImageInfo[iiCheck].XPos));
    TestTree::PaintCheckImage(info);
  }
  void DoPaintNode(TVTPaintInfo& info) override {
    Log("text " + Name(info.Node) + " " + std::to_string(info.Column) + " from " + std::to_string(info.ContentRect.left));
  }

 private:
  void Log(const std::string& line) { log_ << line << "\n"; }
  std::ostringstream log_;
};

TEST(TreePaintCycle, RowsCellsAndElementsInTheirOrder) {
  RecordingTree tree;
  auto n = Build(tree, {"A", "A/A1", "B"});
  tree.SetExpanded(n.at("A"), true);
  for (int width : {120, 60}) tree.Header().Columns().Add().SetWidth(width);
  tree.TreeOptions().SetMiscOptions(tree.TreeOptions().MiscOptions() | toCheckSupport);
  tree.SetCheckType(n.at("B"), ctCheckBox);
  EXPECT_EQ(tree.Cycle(0, 54),
            "begin\n"
            "erase A 18\n"
            "cell A 0 0..120\n"
            "lines A 1 at 9\n"
            "button A 5,5\n"
            "text A 0 from 22\n"
            "cell A 1 120..180\n"
            "text A 1 from 124\n"
            "item A\n"
            "erase A1 18\n"
            "cell A1 0 0..120\n"
            "lines A1 2 at 9\n"
            "text A1 0 from 40\n"
            "cell A1 1 120..180\n"
            "text A1 1 from 124\n"
            "item A1\n"
            "erase B 18\n"
            "cell B 0 0..120\n"
            "lines B 1 at 9\n"
            "check B 22\n"
            "text B 0 from 40\n"
            "cell B 1 120..180\n"
            "text B 1 from 124\n"
            "item B\n"
            "end\n");
}

TEST(TreePaintCycle, OnlyRowsInTheWindowAndTheBackgroundBelow) {
  RecordingTree tree;
  Build(tree, {"A", "B", "C"});
  tree.TreeOptions().SetPaintOptions(tree.TreeOptions().PaintOptions() & ~(toShowTreeLines | toShowRoot));
  // A window from within B to below the last row.
  EXPECT_EQ(tree.Cycle(20, 80),
            "begin\n"
            "erase B 18\ncell B -1 0..200\ntext B -1 from 4\nitem B\n"
            "erase C 18\ncell C -1 0..200\ntext C -1 from 4\nitem C\n"
            "background 26\n"
            "end\n");
  // Entirely below the last node: the background only, once.
  EXPECT_EQ(tree.Cycle(100, 130), "begin\nbackground 30\nend\n");
  // A custom-drawn row leaves only what the handler drew.
  tree.customDraw_ = true;
  EXPECT_EQ(tree.Cycle(0, 36), "begin\ncustom A\ncustom B\nend\n");
}

TEST(TreePaintCycle, SelectedOnlyPaintsSelectedSubtrees) {
  RecordingTree tree;
  auto n = Build(tree, {"A", "A/A1", "B", "B/B1"});
  tree.FullExpand();
  tree.TreeOptions().SetPaintOptions(tree.TreeOptions().PaintOptions() & ~(toShowTreeLines | toShowButtons));
  tree.SetSelected(n.at("A"), true);
  const std::string log = tree.Cycle(0, 72, poDrawSelection | poSelectedOnly);
  EXPECT_NE(log.find("item A\n"), std::string::npos);
  EXPECT_NE(log.find("item A1\n"), std::string::npos);
  EXPECT_EQ(log.find("item B\n"), std::string::npos);
  EXPECT_EQ(log.find("item B1\n"), std::string::npos);
}

TEST(TreePaintCycle, AMeasuredHeightCountsInTheSameCycleOnce) {
  RecordingTree tree;
  Build(tree, {"A", "B"});
  int measured = 0;
  tree.OnMeasureItem = [&](TViewTreeObject*, PViewNode, int& height) {
    ++measured;
    height = 30;
  };
  const std::string log = tree.Cycle(0, 60);
  EXPECT_NE(log.find("erase A 30\n"), std::string::npos);
  EXPECT_NE(log.find("erase B 30\n"), std::string::npos);
  EXPECT_EQ(measured, 2);
  tree.Cycle(0, 60);
  EXPECT_EQ(measured, 2);
  EXPECT_EQ(tree.RootNode()->TotalHeight, 18u + 60);
}

// Pixels of a painted row: the background an erase handler leaves, and the full-row
// selection block in the focused and unfocused colours.
TEST(TreePaintCycle, RowBackgrounds) {
  RecordingTree tree;
  auto n = Build(tree, {"A", "B"});
  tree.TreeOptions().SetSelectionOptions(toFullRowSelect);
  tree.TreeOptions().SetPaintOptions(toPopupMode);
  tree.SetSelected(n.at("A"), true);
  TBitmap bitmap;
  bitmap.SetSize(200, 36);
  bitmap.Canvas().Brush().SetColor(clRed);
  bitmap.Canvas().FillRect(RECT{0, 0, 200, 36});
  tree.PaintTree(bitmap.Canvas(), RECT{0, 0, 200, 36}, POINT{0, 0}, DefaultPaintCycleOptions);
  EXPECT_EQ(bitmap.Canvas().Pixel(100, 9), ColorToRGB(tree.Colors().Color(TVTColors::FocusedSelectionColor)));
  EXPECT_EQ(bitmap.Canvas().Pixel(100, 27), ColorToRGB(tree.Color()));
  tree.TreeOptions().SetPaintOptions(0);
  tree.PaintTree(bitmap.Canvas(), RECT{0, 0, 200, 36}, POINT{0, 0}, DefaultPaintCycleOptions);
  EXPECT_EQ(bitmap.Canvas().Pixel(100, 9), ColorToRGB(tree.Colors().Color(TVTColors::UnfocusedSelectionColor)));
  // A handler that draws its own background and asks for nothing keeps it.
  tree.OnBeforeItemErase = [](TViewTreePainting*, TCanvas& canvas, PViewNode, const RECT& r, TColor&,
                              TItemEraseAction& action) {
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(canvas.Handle(), &r, red);
    DeleteObject(red);
    action = eaNone;
  };
  tree.SetSelected(n.at("A"), false);
  tree.PaintTree(bitmap.Canvas(), RECT{0, 0, 200, 36}, POINT{0, 0}, DefaultPaintCycleOptions);
  EXPECT_EQ(bitmap.Canvas().Pixel(150, 27), ColorToRGB(clRed));
}

// --- pictures ---

class TreePicture : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 200);
    tree_ = new TestTree();
    tree_->SetParent(form_.get());
    tree_->SetBounds(0, 0, 220, 110);
    tree_->ShowText = true;
    tree_->Font().SetName("Pellix Test Fixed");
    tree_->Font().SetHeight(-8);
    TVTHeader& header = tree_->Header();
    header.Font().SetName("Pellix Test Fixed");
    header.Font().SetHeight(-8);
    const char16_t* captions[] = {u"Name", u"Date", u"Website"};
    for (int i = 0; i < 3; ++i) {
      TViewTreeColumn& column = header.Columns().Add();
      column.SetText(captions[i]);
      column.SetWidth(i == 0 ? 90 : 60);
    }
    header.SetOptions(hoColumnResize | hoShowSortGlyphs | hoVisible);
    header.SetHeight(17);
    header.SetSortColumn(1);
    nodes_ = Build(*tree_, {"Mail", "Mail/Inbox", "Mail/Sent", "News", "Shop", "Shop/Books"});
    tree_->SetExpanded(nodes_.at("Mail"), true);
    tree_->SetExpanded(nodes_.at("Shop"), true);
    form_->HandleNeeded();
    ShowWindow(form_->Handle(), SW_SHOW);
  }
  void TearDown() override {
    delete tree_;
    form_.reset();
  }
  std::shared_ptr<platform::gdi::Bitmap> Picture() {
    platform::input_driver::RunPending();
    return platform::gdi::WholeWindowPicture(tree_->Handle());
  }
  std::unique_ptr<TForm> form_;
  TestTree* tree_ = nullptr;
  std::map<std::string, PViewNode> nodes_;
};

TEST_F(TreePicture, AThreeColumnTreeWithItsHeader) {
  EXPECT_EQ(pellix_test::CompareWithExpected(*Picture(), "../controls/vtree_three_columns.png", 0), "");
}

TEST_F(TreePicture, SelectionFocusGridAndPlates) {
  tree_->TreeOptions().SetPaintOptions(tree_->TreeOptions().PaintOptions() | toShowHorzGridLines | toShowVertGridLines |
                                       toPopupMode);
  tree_->Header().SetStyle(hsPlates);
  tree_->Header().Columns()[2].SetAlignment(taRightJustify);
  tree_->SetFocusedColumn(0);
  tree_->SetSelected(nodes_.at("Sent"), true);
  tree_->SetFocusedNode(nodes_.at("Sent"));
  tree_->Header().SetSortDirection(sdDescending);
  EXPECT_EQ(pellix_test::CompareWithExpected(*Picture(), "../controls/vtree_selection_grid.png", 0), "");
}

}  // namespace
