#include <gtest/gtest.h>

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/handles.h"

namespace {

struct Counter : platform::KernelObject {
  explicit Counter(int* alive) : alive(alive) { ++*alive; }
  ~Counter() override { --*alive; }
  int* alive;
};
struct Unrelated : platform::KernelObject {};

TEST(Handles, CloseReleasesTheObjectAndTheHandle) {
  int alive = 0;
  HANDLE handle = platform::OpenHandle(std::make_shared<Counter>(&alive));
  EXPECT_NE(handle, 0);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(handle % 4, 0);
  EXPECT_TRUE(platform::HandleObjectAs<Counter>(handle));
  EXPECT_EQ(alive, 1);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(alive, 0);
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Handles, WrongTypeIsAnInvalidHandle) {
  HANDLE handle = platform::OpenHandle(std::make_shared<Unrelated>());
  SetLastError(0);
  EXPECT_FALSE(platform::HandleObjectAs<Counter>(handle));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(handle);
}

// The first test leaves a frozen clock and a planned failure behind; run in one
// process, the second sees neither: the test main clears them after every test.
TEST(StateBetweenTests, ALeftoverFrozenClockAndPlannedFailure) {
  platform::test_clock::Freeze(1000, 45000.0);
  platform::faults::FailNext("CreateFileA", 3, ERROR_SHARING_VIOLATION);
  SUCCEED();
}

TEST(StateBetweenTests, AreGoneInTheNextTest) {
  EXPECT_FALSE(platform::test_clock::IsFrozen());
  EXPECT_EQ(platform::faults::Pending("CreateFileA"), 0);
}

TEST(Faults, NextCallsFailWithThePlannedError) {
  platform::faults::FailNext("CreateFileA", 2, ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(platform::faults::ShouldFail("ReadFile"));
  EXPECT_TRUE(platform::faults::ShouldFail("CreateFileA"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(platform::faults::Pending("CreateFileA"), 1);
  EXPECT_TRUE(platform::faults::ShouldFail("CreateFileA"));
  EXPECT_FALSE(platform::faults::ShouldFail("CreateFileA"));
}

TEST(Faults, ReplanningAndClearing) {
  platform::faults::FailNext("RegOpenKeyExA", 5, ERROR_ACCESS_DENIED);
  platform::faults::FailNext("RegOpenKeyExA", 1, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::faults::Pending("RegOpenKeyExA"), 1);
  platform::faults::ClearAll();
  EXPECT_FALSE(platform::faults::ShouldFail("RegOpenKeyExA"));
}

}  // namespace
