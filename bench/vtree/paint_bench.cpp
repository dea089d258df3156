// Painting and finding rows in large trees. One screen of a tree with 1,000 nodes and
// of one with 1,000,000 nodes (1,000 parents of 999 children, all expanded) is painted
// at the middle of its content: the large one should cost about what the small one
// costs, since only the rows in view are visited and the walk to the first row uses
// the position cache. GetNodeAt at random heights of the large tree is timed beside a
// binary search over an array of the same row tops.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "bench/common/ratio_main.h"
#include "controls/vtree/view_trees.h"

namespace {

constexpr int kScreenWidth = 400;
constexpr int kScreenHeight = 300;
constexpr int kLookups = 10000;

std::unique_ptr<TBaseViewTree> MakeTree(std::uint32_t parents, std::uint32_t children) {
  auto tree = std::make_unique<TBaseViewTree>(nullptr);
  tree->SetBounds(0, 0, kScreenWidth, kScreenHeight);
  tree->BeginUpdate();
  for (std::uint32_t p = 0; p < parents; ++p) {
    PViewNode parent = tree->AppendChildNode(nullptr);
    tree->SetChildCount(parent, children);
  }
  tree->EndUpdate();
  tree->FullExpand();
  return tree;
}

std::uint32_t ContentHeight(TBaseViewTree& tree) { return tree.RootNode()->TotalHeight - tree.RootNode()->NodeHeight; }

void PaintScreen(benchmark::State& state, TBaseViewTree& tree) {
  TBitmap bitmap;
  bitmap.SetSize(kScreenWidth, kScreenHeight);
  const int top = static_cast<int>(ContentHeight(tree) / 2);
  for (auto _ : state) {
    tree.PaintTree(bitmap.Canvas(), RECT{0, top, kScreenWidth, top + kScreenHeight}, POINT{0, 0},
                   DefaultPaintCycleOptions);
  }
}

void PaintSmallTree(benchmark::State& state) {
  auto tree = MakeTree(1000, 0);
  if (tree->VisibleCount() != 1000) state.SkipWithError("the small tree has the wrong rows");
  PaintScreen(state, *tree);
}

void PaintLargeTree(benchmark::State& state) {
  auto tree = MakeTree(1000, 999);
  if (tree->VisibleCount() != 1000000 || !tree->CacheIsValid()) state.SkipWithError("the large tree is not ready");
  PaintScreen(state, *tree);
}

std::vector<int> RandomHeights(std::uint32_t content) {
  std::mt19937 random(5);
  std::vector<int> heights(kLookups);
  for (int& y : heights) y = static_cast<int>(random() % content);
  return heights;
}

void GetNodeAtRandom(benchmark::State& state) {
  auto tree = MakeTree(1000, 999);
  const auto heights = RandomHeights(ContentHeight(*tree));
  for (auto _ : state) {
    for (int y : heights) {
      int top = 0;
      benchmark::DoNotOptimize(tree->GetNodeAt(0, y, false, top));
    }
  }
}

// The baseline: the row tops of the same rows in one array, searched by halving.
void BinarySearchRandom(benchmark::State& state) {
  auto tree = MakeTree(1000, 999);
  std::vector<std::uint32_t> tops;
  std::uint32_t top = 0;
  for (PViewNode node = tree->GetFirstVisibleNoInit(); node != nullptr; node = tree->GetNextVisibleNoInit(node)) {
    tops.push_back(top);
    top += node->NodeHeight;
  }
  const auto heights = RandomHeights(ContentHeight(*tree));
  for (auto _ : state) {
    for (int y : heights) {
      auto row = std::upper_bound(tops.begin(), tops.end(), static_cast<std::uint32_t>(y)) - 1;
      benchmark::DoNotOptimize(row);
    }
  }
}

BENCHMARK(PaintSmallTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintLargeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(GetNodeAtRandom)->Unit(benchmark::kMicrosecond);
BENCHMARK(BinarySearchRandom)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv,
                                     {{"PaintLargeTree", "PaintSmallTree"}, {"GetNodeAtRandom", "BinarySearchRandom"}},
                                     1);
}
