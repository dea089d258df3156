#include "platform/base/object_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

struct Payload {
  int value = 0;
};
struct Other {};

TEST(ObjectRegistry, RegisteredObjectIsFoundWhileAliveOnly) {
  auto object = std::make_shared<Payload>(Payload{7});
  platform::ObjectId id = platform::RegisterObject(object);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(platform::LookupObject<Payload>(id));
  EXPECT_EQ(platform::LookupObject<Payload>(id)->value, 7);
  object.reset();
  EXPECT_FALSE(platform::LookupObject<Payload>(id));
}

TEST(ObjectRegistry, UnknownIdsAndOtherTypesAnswerNothing) {
  auto object = std::make_shared<Payload>();
  platform::ObjectId id = platform::RegisterObject(object);
  EXPECT_FALSE(platform::LookupObject<Other>(id));
  EXPECT_FALSE(platform::LookupObject<Payload>(0));
  EXPECT_FALSE(platform::LookupObject<Payload>(id + 100000));
  platform::ForgetObject(id);
  EXPECT_FALSE(platform::LookupObject<Payload>(id));
}

TEST(ObjectRegistry, HandedOverObjectIsTakenOnce) {
  std::weak_ptr<Payload> watch;
  platform::ObjectId id;
  {
    auto object = std::make_shared<Payload>(Payload{3});
    watch = object;
    id = platform::HandOverObject(std::move(object));
  }
  EXPECT_FALSE(watch.expired());  // the registry keeps it alive in transit
  auto taken = platform::TakeObject<Payload>(id);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->value, 3);
  EXPECT_FALSE(platform::TakeObject<Payload>(id));
  taken.reset();
  EXPECT_TRUE(watch.expired());
}

TEST(ObjectRegistry, ForgettingAHandedOverObjectFreesIt) {
  auto object = std::make_shared<Payload>();
  std::weak_ptr<Payload> watch = object;
  platform::ObjectId id = platform::HandOverObject(std::move(object));
  platform::ForgetObject(id);
  EXPECT_TRUE(watch.expired());
}

TEST(ObjectRegistry, IdsAreUniqueAcrossThreads) {
  constexpr int kThreads = 4, kPerThread = 500;
  std::vector<std::vector<platform::ObjectId>> ids(kThreads);
  std::vector<std::shared_ptr<Payload>> keep(kThreads * kPerThread);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        auto& object = keep[t * kPerThread + i] = std::make_shared<Payload>(Payload{i});
        ids[t].push_back(platform::RegisterObject(object));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<platform::ObjectId> all;
  for (auto& list : ids) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kPerThread));
  EXPECT_EQ(all.count(0), 0u);
  for (auto id : all) platform::ForgetObject(id);
}

}  // namespace
