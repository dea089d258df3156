#include "controls/vtree/vt_nodes.h"

#include <utility>

#include "platform/base/text.h"

std::size_t GrownNodeCapacity(std::size_t capacity) {
  return capacity < 100 ? 100 : capacity + capacity / 10;
}

void ShowError(const std::u16string& message, int helpContext) {
  throw EViewTreeError(platform::WideToAnsi(message), helpContext);
}

TViewTreeObject* TreeFromNode(PViewNode node) {
  if (node == nullptr) return nullptr;
  while (node->NextSibling != node) node = node->Parent;
  return reinterpret_cast<TViewTreeObject*>(node->Parent);
}

RECT OrderRect(const RECT& rect) {
  RECT result = rect;
  if (result.left > result.right) std::swap(result.left, result.right);
  if (result.top > result.bottom) std::swap(result.top, result.bottom);
  return result;
}

void QuickSortCardinals(std::span<std::uintptr_t> values, std::ptrdiff_t low, std::ptrdiff_t high) {
  while (low < high) {
    std::ptrdiff_t i = low, j = high;
    const std::uintptr_t pivot = values[static_cast<std::size_t>(low + (high - low) / 2)];
    while (i <= j) {
      while (values[static_cast<std::size_t>(i)] < pivot) ++i;
      while (values[static_cast<std::size_t>(j)] > pivot) --j;
      if (i <= j) std::swap(values[static_cast<std::size_t>(i++)], values[static_cast<std::size_t>(j--)]);
    }
    // Recurse into the smaller part so that the stack stays logarithmic.
    if (j - low < high - i) {
      QuickSortCardinals(values, low, j);
      low = i;
    } else {
      QuickSortCardinals(values, i, high);
      high = j;
    }
  }
}
