#include "platform/base/clock.h"

#include <gtest/gtest.h>

namespace {

class FrozenClockTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::test_clock::Release(); }
};

TEST_F(FrozenClockTest, TickCountWrapsAt32Bits) {
  platform::test_clock::Freeze(0xFFFFFFF0ull, 45000.0);
  EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
  platform::test_clock::Advance(0x20);
  EXPECT_EQ(GetTickCount(), 0x10u);
  EXPECT_EQ(GetTickCount64(), 0x100000010ull);
}

TEST_F(FrozenClockTest, SleepAdvancesAFrozenClockWithoutWaiting) {
  platform::test_clock::Freeze(1000, 45000.5);
  Sleep(250);
  EXPECT_EQ(GetTickCount(), 1250u);
  EXPECT_DOUBLE_EQ(platform::Now(), 45000.5 + 250.0 / 86400000.0);
  LARGE_INTEGER counter{}, frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  EXPECT_EQ(counter.QuadPart / (frequency.QuadPart / 1000), 1250);
}

TEST_F(FrozenClockTest, LocalTimeFollowsTheFrozenDate) {
  SYSTEMTIME noon{2026, 12, 0, 10, 12, 30, 15, 250};
  platform::test_clock::Freeze(0, platform::EncodeDateTime(noon));
  SYSTEMTIME now{};
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, 2026);
  EXPECT_EQ(now.wMonth, 12);
  EXPECT_EQ(now.wDay, 10);
  EXPECT_EQ(now.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(now.wHour, 12);
  EXPECT_EQ(now.wMinute, 30);
  EXPECT_EQ(now.wSecond, 15);
  EXPECT_EQ(now.wMilliseconds, 250);
}

TEST(DateTime, DaysSince18991230) {
  struct Case {
    SYSTEMTIME time;
    double value;
  };
  const Case cases[] = {
      {{1899, 12, 6, 30, 0, 0, 0, 0}, 0.0},
      {{1900, 1, 1, 1, 0, 0, 0, 0}, 2.0},
      {{2000, 2, 2, 29, 18, 0, 0, 0}, 36585.75},
      {{1899, 12, 5, 29, 0, 0, 0, 0}, -1.0},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(platform::EncodeDateTime(c.time), c.value);
    SYSTEMTIME back = platform::DecodeDateTime(c.value);
    EXPECT_EQ(back.wYear, c.time.wYear);
    EXPECT_EQ(back.wMonth, c.time.wMonth);
    EXPECT_EQ(back.wDay, c.time.wDay);
    EXPECT_EQ(back.wDayOfWeek, c.time.wDayOfWeek);
    EXPECT_EQ(back.wHour, c.time.wHour);
  }
}

TEST(RealClock, MovesForward) {
  DWORD before = GetTickCount();
  Sleep(20);
  EXPECT_GE(GetTickCount() - before, 15u);
  EXPECT_GT(platform::Now(), 45000.0);  // after 2023
}

}  // namespace
