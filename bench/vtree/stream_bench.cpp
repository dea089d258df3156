// Saving and loading a tree stream of 100,000 nodes (100 parents of 999 children),
// beside writing and reading the same bytes to and from memory with no parsing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/common/ratio_main.h"
#include "controls/vtree/view_trees.h"

namespace {

std::unique_ptr<TBaseViewTree> MakeTree() {
  auto tree = std::make_unique<TBaseViewTree>(nullptr);
  tree->BeginUpdate();
  for (int p = 0; p < 100; ++p) {
    PViewNode parent = tree->AppendChildNode(nullptr);
    tree->InitNode(parent);
    tree->SetChildCount(parent, 999);
    for (PViewNode child = parent->FirstChild; child != nullptr; child = child->NextSibling) tree->InitNode(child);
  }
  tree->EndUpdate();
  return tree;
}

std::vector<std::uint8_t> StreamBytes(TBaseViewTree& tree) {
  TMemoryStream stream;
  tree.SaveToStream(stream);
  return stream.Memory();
}

void SaveAndLoadTree(benchmark::State& state) {
  auto tree = MakeTree();
  TBaseViewTree loaded(nullptr);
  for (auto _ : state) {
    TMemoryStream stream;
    tree->SaveToStream(stream);
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
  }
  if (loaded.TotalCount() != 100001) state.SkipWithError("the loaded tree has the wrong nodes");
}

// The baseline: the same bytes written into a memory stream and read out again.
void WriteAndReadBytes(benchmark::State& state) {
  auto tree = MakeTree();
  const std::vector<std::uint8_t> bytes = StreamBytes(*tree);
  std::vector<std::uint8_t> back(bytes.size());
  for (auto _ : state) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream.SetPosition(0);
    stream.ReadBuffer(back.data(), static_cast<std::int32_t>(back.size()));
    benchmark::DoNotOptimize(back.data());
  }
}

BENCHMARK(SaveAndLoadTree)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteAndReadBytes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"SaveAndLoadTree", "WriteAndReadBytes"}}, 1);
}
