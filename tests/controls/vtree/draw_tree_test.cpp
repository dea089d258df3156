// The owner-drawn tree: painted onto a bitmap, each cell's content is what the
// application's draw callback puts there; widths and hints are the application's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/vtree/vt_draw_tree.h"

namespace {

TEST(DrawTreeTest, PaintingHandsEachCellToTheCallback) {
  TCustomViewDrawTree tree(nullptr);
  tree.SetBounds(0, 0, 200, 100);
  tree.SetRootNodeCount(3);
  std::vector<std::uint32_t> drawn;
  tree.OnDrawNode = [&](TCustomViewDrawTree*, const TVTPaintInfo& info) {
    drawn.push_back(info.Node->Index);
    info.Canvas->Brush().SetColor(static_cast<TColor>(0x0000FF));  // red
    info.Canvas->FillRect(info.ContentRect);
  };
  tree.OnGetNodeWidth = [](TCustomViewDrawTree*, TCanvas&, PViewNode node, TColumnIndex, int& width) {
    width += static_cast<int>(node->Index) * 10;
  };
  TBitmap bitmap;
  bitmap.SetSize(200, 54);
  tree.PaintTree(bitmap.Canvas(), RECT{0, 0, 200, 54}, POINT{0, 0}, DefaultPaintCycleOptions);
  EXPECT_EQ(drawn, (std::vector<std::uint32_t>{0, 1, 2}));
  // The callback's colour stands in the first row's content area.
  const std::uint8_t* pixel = bitmap.ScanLine(9) + 4 * (tree.Margin() + 2 + tree.Indent());
  EXPECT_EQ(pixel[2], 0xFF);
  EXPECT_EQ(pixel[0], 0x00);
  EXPECT_EQ(tree.GetMaxColumnWidth(NoColumn) >= 2 * tree.TextMargin() + 20, true);

  RECT hint{};
  tree.DoGetHintSize(tree.GetFirst(), NoColumn, hint);
  EXPECT_EQ(hint.right - hint.left, 0);
  tree.OnGetHintSize = [](TCustomViewDrawTree*, PViewNode, TColumnIndex, RECT& r) { r = RECT{0, 0, 40, 20}; };
  tree.DoGetHintSize(tree.GetFirst(), NoColumn, hint);
  EXPECT_EQ(hint.right, 40);
  EXPECT_EQ(tree.ClassName(), "TCustomViewDrawTree");
}

}  // namespace
