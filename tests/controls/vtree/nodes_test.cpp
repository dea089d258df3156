#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "controls/vtree/vt_nodes.h"

namespace {

TEST(TreeHelpers, QuickSortSortsFullWidthValues) {
  // Values that differ only above bit 32 must still sort: addresses are 64 bits.
  std::vector<std::uintptr_t> values{std::uintptr_t{3} << 40, 5, std::uintptr_t{1} << 40, 5, 0,
                                     ~std::uintptr_t{0}, (std::uintptr_t{1} << 40) + 5};
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) values.push_back(random() | (std::uintptr_t{random()} << 32));
  auto expected = values;
  std::sort(expected.begin(), expected.end());
  QuickSortCardinals(values, 0, static_cast<std::ptrdiff_t>(values.size()) - 1);
  EXPECT_EQ(values, expected);
}

TEST(TreeHelpers, OrderRectAndGrowth) {
  RECT r = OrderRect(RECT{10, 20, 1, 2});
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 10);
  EXPECT_EQ(r.bottom, 20);
  struct Case {
    std::size_t from, to;
  };
  for (Case c : {Case{0, 100}, Case{99, 100}, Case{100, 110}, Case{1000, 1100}}) {
    EXPECT_EQ(GrownNodeCapacity(c.from), c.to) << c.from;
  }
}

TEST(TreeHelpers, ShowErrorCarriesTheHelpContext) {
  try {
    ShowError(u"Edit link must not be nil.", 2000);
    FAIL();
  } catch (const EViewTreeError& e) {
    EXPECT_STREQ(e.what(), "Edit link must not be nil.");
    EXPECT_EQ(e.HelpContext(), 2000);
  }
}

}  // namespace
