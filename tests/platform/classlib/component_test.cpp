#include "platform/classlib/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_freed;

class Tracked : public TComponent {
 public:
  Tracked(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
  ~Tracked() override { g_freed.push_back(Name()); }
  std::vector<std::string> removed;
  TComponent* partner = nullptr;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) {
      removed.push_back(component->Name());
      if (component == partner) partner = nullptr;
    }
  }
};

TEST(Component, OwnerFreesItsComponentsLastFirst) {
  g_freed.clear();
  auto* owner = new Tracked(nullptr, "Owner");
  new Tracked(owner, "A");
  auto* b = new Tracked(owner, "B");
  new Tracked(b, "B1");
  new Tracked(owner, "C");
  EXPECT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->FindComponent("b"), b);
  delete owner;
  EXPECT_EQ(g_freed, (std::vector<std::string>{"Owner", "C", "B", "B1", "A"}));
}

TEST(Component, FreedComponentLeavesItsOwnerAndTellsPartners) {
  g_freed.clear();
  Tracked owner(nullptr, "Owner");
  auto* watched = new Tracked(&owner, "Watched");
  Tracked watcher(nullptr, "Watcher");
  watcher.partner = watched;
  watched->FreeNotification(&watcher);
  delete watched;
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(watcher.partner, nullptr);
  EXPECT_EQ(watcher.removed, std::vector<std::string>{"Watched"});
  // The partner going first leaves nothing dangling on the other side.
  auto* second = new Tracked(nullptr, "Second");
  {
    Tracked shortLived(nullptr, "Short");
    second->FreeNotification(&shortLived);
  }
  delete second;  // must not tell the freed "Short"
  SUCCEED();
}

TEST(Component, MovingToAnotherOwner) {
  Tracked first(nullptr, "First"), second(nullptr, "Second");
  auto* item = new Tracked(&first, "Item");
  second.InsertComponent(item);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(item->Owner(), &second);
}

}  // namespace
