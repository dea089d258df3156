#include "platform/classlib/menu_items.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Captions(const TMenuItem& parent) {
  std::vector<std::string> captions;
  for (int i = 0; i < parent.Count(); ++i) captions.push_back(parent.Items(i)->Caption());
  return captions;
}

// Removing or freeing any sub-item, wherever it stands, leaves the others in order.
TEST(MenuItemsTest, RemovingASubItemKeepsTheOthersInOrder) {
  struct Case {
    int removed;
    bool freed;
    std::vector<std::string> left;
  };
  const Case cases[] = {{0, false, {"b", "c", "d"}},
                        {2, false, {"a", "b", "d"}},
                        {3, false, {"a", "b", "c"}},
                        {1, true, {"a", "c", "d"}},
                        {3, true, {"a", "b", "c"}}};
  for (const Case& c : cases) {
    TMenuItem root(nullptr);
    std::vector<std::unique_ptr<TMenuItem>> items;
    for (const char* caption : {"a", "b", "c", "d"}) {
      items.push_back(std::make_unique<TMenuItem>(nullptr));
      items.back()->SetCaption(caption);
      root.Add(items.back().get());
    }
    TMenuItem* removed = items[static_cast<std::size_t>(c.removed)].get();
    if (c.freed) {
      items[static_cast<std::size_t>(c.removed)].reset();
    } else {
      root.Remove(removed);
      EXPECT_EQ(removed->Parent(), nullptr);
    }
    EXPECT_EQ(Captions(root), c.left) << "removed " << c.removed;
  }
}

TEST(MenuItemsTest, RemovingAnItemOfAnotherMenuFails) {
  TMenuItem root(nullptr), other(nullptr), item(nullptr);
  other.Add(&item);
  EXPECT_THROW(root.Remove(&item), EMenuError);
  EXPECT_EQ(item.Parent(), &other);
  other.Remove(&item);
}

}  // namespace
