// The cache-validation worker: a tree with a window hands large caches to the worker
// thread, which reports through the tree's window; every structure change stops a
// running build first. Run under ThreadSanitizer with the other thread tests.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "controls/vtree/vt_worker.h"
#include "platform/classlib/forms.h"
#include "platform/win/input_driver.h"
#include "tree_test_support.h"

namespace {

using vtree_test::TestTree;

class ValidationWorker : public testing::Test {
 protected:
  void SetUp() override { window_.form->HandleNeeded(); }
  // Takes the window's messages until the cache is valid or five seconds passed.
  bool WaitForCache() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!tree_->CacheIsValid() && std::chrono::steady_clock::now() < until) {
      platform::input_driver::RunPending();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return tree_->CacheIsValid();
  }
  void AddRows(PViewNode parent, int count) {
    tree_->BeginUpdate();
    for (int i = 0; i < count; ++i) tree_->AppendChildNode(parent);
    tree_->EndUpdate();
  }
  // Every row's top as the walk from the first row gives it.
  void ExpectCacheMatchesRows() {
    std::uint32_t top = 0, index = 0;
    const auto& cache = tree_->PositionCache();
    ASSERT_EQ(cache.size(), TBaseViewTree::CacheEntryCount(tree_->VisibleCount()));
    for (PViewNode node = tree_->GetFirstVisibleNoInit(); node != nullptr; node = tree_->GetNextVisibleNoInit(node)) {
      if (index % 2000 == 0) {
        ASSERT_EQ(cache[index / 2000].Node, node);
        ASSERT_EQ(cache[index / 2000].AbsoluteTop, top);
      }
      top += node->NodeHeight;
      ++index;
    }
  }
  vtree_test::WindowedTree window_{200, 200};
  TestTree*& tree_ = window_.tree;
};

TEST_F(ValidationWorker, BuildsLargeCachesInTheBackgroundAndReportsThroughTheWindow) {
  std::vector<std::pair<TViewTreeStates, TViewTreeStates>> reports;
  tree_->OnStateChange = [&](TViewTreeObject*, TViewTreeStates enter, TViewTreeStates leave) {
    if (((enter | leave) & tsValidating) != 0) reports.emplace_back(enter, leave);
  };
  AddRows(nullptr, 5000);
  EXPECT_FALSE(tree_->CacheIsValid());  // queued, not yet built
  ASSERT_TRUE(WaitForCache());
  ExpectCacheMatchesRows();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[0].first & tsValidating, 0u);
  EXPECT_NE(reports[1].second & tsValidating, 0u);
  EXPECT_NE(reports[1].first & tsUseCache, 0u);
  EXPECT_FALSE(tree_->InState(tsValidationNeeded));
  int top = 0;
  EXPECT_EQ(tree_->GetNodeAt(0, 4321 * 18 + 3, false, top)->Index, 4321u);
}

TEST_F(ValidationWorker, RandomStructureChangesStopAndRestartBuilds) {
  std::mt19937 random(11);
  AddRows(nullptr, 3000);
  for (int step = 0; step < 150; ++step) {
    SCOPED_TRACE(step);
    PViewNode any = tree_->GetFirst();
    for (std::uint32_t skip = random() % 40; skip > 0 && any != nullptr; --skip) any = tree_->GetNext(any);
    switch (random() % 6) {
      case 0: AddRows(any, static_cast<int>(random() % 500)); break;
      case 1: tree_->ToggleNode(any); break;
      case 2: tree_->SetNodeHeight(any, 10 + random() % 30); break;
      case 3: tree_->DeleteNode(tree_->GetLast()); break;
      case 4: tree_->InsertNodeAt(any, amInsertAfter); break;
      default:
        if (tree_->GetLast() != any && !tree_->HasAsParent(any, tree_->GetLast())) {
          tree_->MoveNode(tree_->GetLast(), any, amInsertBefore, false);
        }
        break;
    }
    // Sometimes the worker gets a moment, sometimes the next change comes at once.
    if (random() % 3 == 0) platform::input_driver::RunPending();
  }
  ASSERT_TRUE(WaitForCache());
  ExpectCacheMatchesRows();
}

TEST_F(ValidationWorker, AQueuedTreeGoesOnceAndADestroyedTreeIsLetGo) {
  AddRows(nullptr, 2500);
  tree_->InvalidateCache();
  tree_->ValidateCache();
  tree_->InvalidateCache();
  tree_->ValidateCache();
  ASSERT_TRUE(WaitForCache());
  // A tree destroyed while its build may run waits for the worker to let it go.
  AddRows(nullptr, 100);
  window_.DeleteTree();
  EXPECT_FALSE(ValidationWorkerRunning());
  // A new tree starts a new worker.
  tree_ = new TestTree();
  EXPECT_TRUE(ValidationWorkerRunning());
}

}  // namespace
