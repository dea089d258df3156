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

// A 12 x 10 picture of four coloured quarters, so that where each tile starts shows.
void QuarterPicture(TPicture& picture) {
  TBitmap& bitmap = picture.Bitmap();
  bitmap.SetSize(12, 10);
  const COLORREF quarters[] = {RGB(250, 200, 120), RGB(120, 200, 250), RGB(200, 250, 120), RGB(250, 250, 250)};
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) bitmap.Canvas().SetPixel(x, y, static_cast<TColor>(quarters[(y < 5 ? 0 : 2) + (x < 6 ? 0 : 1)]));
  }
}

TEST_F(TreePicture, TheBackgroundPictureTilesFromItsOffsetsOrStandsOnce) {
  TPicture picture;
  QuarterPicture(picture);
  tree_->SetBackground(picture);
  tree_->SetBackgroundOffsetX(5);
  tree_->SetBackgroundOffsetY(3);
  tree_->TreeOptions().SetPaintOptions(tree_->TreeOptions().PaintOptions() | toShowBackground);
  auto tiled = Picture();
  EXPECT_EQ(pellix_test::CompareWithExpected(*tiled, "../controls/vtree_background_tiled.png", 0), "");
  // Tiles start at content x 5 + 12k and y 3 + 10k; column 1 is empty right of its text.
  RECT window{};
  GetWindowRect(tree_->Handle(), &window);
  POINT corner{0, 0};
  ClientToScreen(tree_->Handle(), &corner);
  auto at = [&](int x, int y) { return pellix_test::PixelOf(*tiled, x + corner.x - window.left, y + corner.y - window.top); };
  EXPECT_EQ(at(126, 4), (pellix_test::Bgra{120, 200, 250, 255}));   // a tile's top left quarter
  EXPECT_EQ(at(132, 9), (pellix_test::Bgra{250, 250, 250, 255}));   // its bottom right quarter
  EXPECT_EQ(at(126, 1), (pellix_test::Bgra{120, 250, 200, 255}));   // the tile above the offset
  EXPECT_EQ(at(126, 24), (pellix_test::Bgra{120, 200, 250, 255}));  // the second row goes on
  // Once only, where the offsets put it in the content, scrolled with the rows.
  tree_->TreeOptions().SetPaintOptions(tree_->TreeOptions().PaintOptions() | toStaticBackground);
  tree_->SetBackgroundOffsetX(120);
  tree_->SetBackgroundOffsetY(30);
  tree_->SetOffsetY(-10);
  auto once = Picture();
  EXPECT_EQ(pellix_test::CompareWithExpected(*once, "../controls/vtree_background_static.png", 0), "");
  auto shown = [&](int x, int y) { return pellix_test::PixelOf(*once, x + corner.x - window.left, y - 10 + corner.y - window.top); };
  EXPECT_EQ(shown(121, 31), (pellix_test::Bgra{120, 200, 250, 255}));
  EXPECT_EQ(shown(131, 39), (pellix_test::Bgra{250, 250, 250, 255}));
  EXPECT_EQ(shown(121, 45), (pellix_test::Bgra{255, 255, 255, 255}));  // the tree's colour around it
  EXPECT_EQ(shown(110, 31).g, 255);
}

TEST_F(TreePicture, BlendedSelectionMixesTheSelectionColourIntoTheCell) {
  tree_->TreeOptions().SetPaintOptions(tree_->TreeOptions().PaintOptions() | toUseBlendedSelection | toPopupMode);
  tree_->SetFocusedColumn(0);
  tree_->SetSelected(nodes_.at("News"), true);
  tree_->SetSelectionBlendFactor(64);
  auto picture = Picture();
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../controls/vtree_blended_selection.png", 0), "");
}

TEST_F(TreePicture, TheRubberBandIsBlendedOrDotted) {
  const auto before = Picture();
  // From inside the first row across the rows below it, corners given the other way round.
  tree_->SelectionRectRef() = RECT{150, 4, 30, 100};
  tree_->DoStateChange(tsDrawSelecting);
  tree_->SetDrawSelectionMode(smBlendedRectangle);
  tree_->Invalidate();
  EXPECT_EQ(pellix_test::CompareWithExpected(*Picture(), "../controls/vtree_rubber_band_blended.png", 0), "");
  tree_->SetDrawSelectionMode(smDottedRectangle);
  tree_->Invalidate();
  EXPECT_EQ(pellix_test::CompareWithExpected(*Picture(), "../controls/vtree_rubber_band_dotted.png", 0), "");
  // Once the band ends nothing of it stays.
  tree_->DoStateChange(0, tsDrawSelecting);
  tree_->Invalidate();
  EXPECT_EQ(pellix_test::ComparePictures(*Picture(), *before, 0), "");
}

// The tree unit's blending, byte by byte, on pixels of memory bitmaps.
TEST(TreeAlphaBlend, EveryModeMixesAsItSays) {
  struct Case {
    const char* what;
    TBlendMode mode;
    int alpha, bias;
    std::uint8_t sourceAlpha;
    int expectedBlue;  // destination blue 200, source blue 40
  };
  const Case cases[] = {
      {"constant", bmConstantAlpha, 128, 0, 255, 200 + ((40 - 200) * 128 >> 8)},
      {"constant with bias", bmConstantAlpha, 128, -50, 255, 200 + ((40 - 200) * 128 >> 8) - 50},
      {"clamped", bmConstantAlpha, 0, 100, 255, 255},
      {"per pixel", bmPerPixelAlpha, 0, 0, 64, 200 + ((40 - 200) * 64 >> 8)},
      {"master", bmMasterAlpha, 128, 0, 64, 200 + ((40 - 200) * 32 >> 8)},
      {"colour", bmConstantAlphaAndColor, 64, static_cast<int>(RGB(0, 0, 100)), 255, (200 * 192 + 100 * 64) >> 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TBitmap source, destination;
    source.SetSize(4, 4);
    destination.SetSize(4, 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        std::uint8_t* s = source.ScanLine(y) + x * 4;
        s[0] = 40, s[1] = 40, s[2] = 40, s[3] = c.sourceAlpha;
        std::uint8_t* d = destination.ScanLine(y) + x * 4;
        d[0] = 200, d[1] = 200, d[2] = 200, d[3] = 255;
      }
    }
    // The source's (0, 0)..(2, 2) onto the destination from (1, 1): cut at its edge.
    AlphaBlend(source.Canvas().Handle(), destination.Canvas().Handle(), RECT{0, 0, 4, 4}, POINT{1, 1}, c.mode, c.alpha,
               c.bias);
    EXPECT_EQ(destination.ScanLine(0)[0], 200);           // outside: untouched
    EXPECT_EQ(destination.ScanLine(1)[4 + 0], c.expectedBlue);
    EXPECT_EQ(destination.ScanLine(3)[12 + 0], c.expectedBlue);
    EXPECT_EQ(destination.ScanLine(2)[8 + 3], 255);       // opacity stays
  }
}

TEST_F(TreePicture, BevelsAndABorderBandFrameTheHeaderAndTheRows) {
  tree_->SetBevelKind(bkTile);
  tree_->SetBorderWidth(3);
  tree_->Colors().SetColor(TVTColors::BorderColor, clRed);
  const auto picture = Picture();
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../controls/vtree_bevel_border.png", 0), "");
  // Two one-pixel bevels and the band lie round the header and the client area.
  RECT window{};
  GetWindowRect(tree_->Handle(), &window);
  POINT corner{0, 0};
  ClientToScreen(tree_->Handle(), &corner);
  EXPECT_EQ(corner.x - window.left, 5);
  EXPECT_EQ(corner.y - window.top, 5 + 17);
  for (int x : {2, 3, 4}) EXPECT_EQ(pellix_test::PixelOf(*picture, x, 40), (pellix_test::Bgra{0, 0, 255, 255})) << x;
  EXPECT_EQ(pellix_test::PixelOf(*picture, 40, 3), (pellix_test::Bgra{0, 0, 255, 255}));
  EXPECT_NE(pellix_test::PixelOf(*picture, 1, 40), (pellix_test::Bgra{0, 0, 255, 255}));
  // The header still finds its cells where they are drawn.
  EXPECT_TRUE(tree_->Header().PointInHeader(POINT{0, -1}));
  EXPECT_FALSE(tree_->Header().PointInHeader(POINT{0, -18}));
  EXPECT_TRUE(tree_->Header().FindSplitter(POINT{90, -5}));
}

TEST_F(TreePicture, TheDragPictureShowsTheSelectedRowsAroundTheHotSpot) {
  tree_->TreeOptions().SetSelectionOptions(tree_->TreeOptions().SelectionOptions() | toMultiSelect);
  tree_->SetSelected(nodes_.at("Inbox"), true);
  tree_->SetSelected(nodes_.at("News"), true);
  tree_->SetDragWidth(120);
  tree_->SetDragHeight(60);
  tree_->SetFocusedColumn(0);
  // Rows: Mail 0..18, Inbox 18..36, Sent 36..54, News 54..72.
  const POINT hotSpot{50, 40};
  tree_->PrepareDragImage(hotSpot);
  TVTDragImage& image = tree_->DragImage();
  ASSERT_TRUE(image.Visible());
  POINT corner{-10, 10};
  ClientToScreen(tree_->Handle(), &corner);
  const RECT placed = image.GetDragImageRect();
  EXPECT_EQ(placed.left, corner.x);
  EXPECT_EQ(placed.top, corner.y);
  EXPECT_EQ(placed.right - placed.left, 120);
  EXPECT_EQ(placed.bottom - placed.top, 60);
  // Only the selected rows show: Sent (picture rows 26..44) is left transparent.
  const TBitmap& alpha = image.AlphaImage();
  auto opaqueIn = [&](int top, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
      const std::uint8_t* row = const_cast<TBitmap&>(alpha).ScanLine(y);
      for (int x = 0; x < alpha.Width(); ++x) count += row[4 * x + 3] != 0 ? 1 : 0;
    }
    return count;
  };
  EXPECT_GT(opaqueIn(8, 26), 0);
  EXPECT_EQ(opaqueIn(26, 44), 0);
  EXPECT_GT(opaqueIn(44, 60), 0);
  image.EndDrag();
  EXPECT_FALSE(image.Visible());
  tree_->SetDragImageKind(diNoImage);
  tree_->PrepareDragImage(hotSpot);
  EXPECT_FALSE(image.Visible());
}

}  // namespace
