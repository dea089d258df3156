// A tree loads any bytes as a tree stream: it either loads or raises the tree's or
// the stream's error, and either way the counts it keeps match its nodes; what it
// then saves loads back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "controls/vtree/view_trees.h"

namespace {

// Counts the subtree's nodes from the links and checks the kept totals on the way.
std::uint32_t CountChecked(PViewNode node) {
  std::uint32_t count = 1, children = 0;
  for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling, ++children) {
    if (child->Parent != node || child->Index != children) std::abort();
    count += CountChecked(child);
  }
  if (children != node->ChildCount || count != node->TotalCount) std::abort();
  return count;
}

std::string Saved(TBaseViewTree& tree) {
  TMemoryStream stream;
  tree.SaveToStream(stream);
  return std::string(stream.Memory().begin(), stream.Memory().end());
}

void Load(TBaseViewTree& tree, const void* data, std::size_t size) {
  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(data, static_cast<std::int32_t>(size));
  stream.SetPosition(0);
  tree.LoadFromStream(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TBaseViewTree tree(nullptr);
  try {
    Load(tree, data, size);
  } catch (const EViewTreeError&) {
  } catch (const EReadError&) {
  }
  CountChecked(tree.RootNode());
  const std::string saved = Saved(tree);
  TBaseViewTree again(nullptr);
  Load(again, saved.data(), saved.size());
  if (Saved(again) != saved) std::abort();
  return 0;
}
