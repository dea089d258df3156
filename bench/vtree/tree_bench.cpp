// The tree's model at the size of a large history: 1,000 parents with 1,000 children
// each, every node carrying a 24-byte record. Adding, expanding everything, sorting
// every sibling list and deleting are each timed beside a plain vector of the same
// records being built (or sorted group by group with a stable sort) in this process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/common/ratio_main.h"
#include "controls/vtree/view_trees.h"

namespace {

constexpr std::uint32_t kParents = 1000;
constexpr std::uint32_t kChildren = 1000;

struct Record {
  std::uint64_t key;
  std::uint32_t parent;
  std::uint32_t index;
  double stamp;
};
static_assert(sizeof(Record) == 24);

// Keys in a scattered order, the same for the tree and the vector.
std::uint64_t KeyOf(std::uint32_t parent, std::uint32_t child) {
  return (std::uint64_t{parent} * 2654435761u + child * 40503u) % 1000003u;
}

std::unique_ptr<TBaseViewTree> MakeTree() {
  auto tree = std::make_unique<TBaseViewTree>(nullptr);
  tree->SetNodeDataSize(sizeof(Record));
  tree->OnCompareNodes = [](TViewTreeObject* sender, PViewNode a, PViewNode b, TColumnIndex, int& result) {
    const std::uint64_t x = sender->GetNodeData<Record>(a)->key, y = sender->GetNodeData<Record>(b)->key;
    result = x < y ? -1 : x > y ? 1 : 0;
  };
  return tree;
}

void Fill(TBaseViewTree& tree) {
  tree.BeginUpdate();
  for (std::uint32_t p = 0; p < kParents; ++p) {
    PViewNode parent = tree.AppendChildNode(nullptr);
    *tree.GetNodeData<Record>(parent) = Record{KeyOf(p, kChildren), kParents, p, 0};
    for (std::uint32_t c = 0; c < kChildren; ++c) {
      PViewNode child = tree.AppendChildNode(parent);
      *tree.GetNodeData<Record>(child) = Record{KeyOf(p, c), p, c, 0};
    }
  }
  tree.EndUpdate();
}

std::vector<Record> FillVector() {
  std::vector<Record> records;
  for (std::uint32_t p = 0; p < kParents; ++p) {
    records.push_back(Record{KeyOf(p, kChildren), kParents, p, 0});
    for (std::uint32_t c = 0; c < kChildren; ++c) records.push_back(Record{KeyOf(p, c), p, c, 0});
  }
  return records;
}

// Runs `timed` on a tree that `prepare` set up, without timing the set-up or the end.
// The visible rows afterwards prove that the phase did its work.
template <typename Prepare, typename Timed>
void TreePhase(benchmark::State& state, Prepare prepare, Timed timed, std::uint32_t rowsAfter) {
  for (auto _ : state) {
    state.PauseTiming();
    auto tree = MakeTree();
    prepare(*tree);
    state.ResumeTiming();
    timed(*tree);
    state.PauseTiming();
    if (tree->VisibleCount() != rowsAfter) state.SkipWithError("the tree has the wrong rows");
    tree.reset();
    state.ResumeTiming();
  }
}

constexpr std::uint32_t kAllRows = kParents * (kChildren + 1);

void TreeAdd(benchmark::State& state) {
  TreePhase(state, [](TBaseViewTree&) {}, [](TBaseViewTree& tree) { Fill(tree); }, kParents);
}

void TreeExpandAll(benchmark::State& state) {
  TreePhase(state, Fill, [](TBaseViewTree& tree) { tree.FullExpand(); }, kAllRows);
}

void TreeSort(benchmark::State& state) {
  TreePhase(
      state, [](TBaseViewTree& tree) { Fill(tree); tree.FullExpand(); },
      [](TBaseViewTree& tree) { tree.SortTree(0, sdAscending); }, kAllRows);
}

void TreeDelete(benchmark::State& state) {
  TreePhase(state, Fill, [](TBaseViewTree& tree) { tree.Clear(); }, 0);
}

void VectorBuild(benchmark::State& state) {
  for (auto _ : state) {
    auto records = FillVector();
    benchmark::DoNotOptimize(records.data());
  }
}

// Each parent's children and then the parents, stable by key as the tree sorts.
void VectorSort(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto records = FillVector();
    state.ResumeTiming();
    auto byKey = [](const Record& a, const Record& b) { return a.key < b.key; };
    std::vector<Record> parents;
    for (std::size_t group = 0; group < records.size(); group += kChildren + 1) {
      parents.push_back(records[group]);
      std::stable_sort(records.begin() + static_cast<std::ptrdiff_t>(group + 1),
                       records.begin() + static_cast<std::ptrdiff_t>(group + 1 + kChildren), byKey);
    }
    std::stable_sort(parents.begin(), parents.end(), byKey);
    benchmark::DoNotOptimize(records.data());
    benchmark::DoNotOptimize(parents.data());
  }
}

BENCHMARK(TreeAdd)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(TreeExpandAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(TreeSort)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(TreeDelete)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(VectorBuild)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(VectorSort)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv,
                                     {{"TreeAdd/iterations:3", "VectorBuild/iterations:3"},
                                      {"TreeExpandAll/iterations:3", "VectorBuild/iterations:3"},
                                      {"TreeDelete/iterations:3", "VectorBuild/iterations:3"},
                                      {"TreeSort/iterations:3", "VectorSort/iterations:3"}});
}
