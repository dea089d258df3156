#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/fs/files.h"

namespace {

struct DosCase {
  WORD date, time;
  bool valid;
  std::int64_t unixSeconds;  // of the same wall clock read as universal time
};

TEST(DosDateTime, ConvertsPackedFieldsAndRefusesImpossibleDates) {
  const DosCase cases[] = {
      {0x0021, 0x0000, true, 315532800},           // 1980-01-01 00:00:00
      {0x5B8A, 0x6A2F, true, 1765372650},          // 2025-12-10 13:17:30
      {(45 << 9) | (2 << 5) | 29, 0, false, 0},    // 29 February 2025
      {(44 << 9) | (2 << 5) | 29, 0, true, 1709164800},  // 29 February 2024
      {0x0000, 0x0000, false, 0},                  // day and month 0
      {(45 << 9) | (4 << 5) | 31, 0, false, 0},    // 31 April
      {0x5B8A, (24 << 11), false, 0},              // hour 24
  };
  for (const DosCase& c : cases) {
    FILETIME time{};
    BOOL ok = DosDateTimeToFileTime(c.date, c.time, &time);
    ASSERT_EQ(ok != FALSE, c.valid) << std::hex << c.date << " " << c.time;
    if (!c.valid) {
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
      continue;
    }
    std::int64_t value = (std::int64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    EXPECT_EQ(value / 10000000 - 11644473600, c.unixSeconds);
  }
}

TEST(FileTimes, LastWriteTimeReachesTheFile) {
  pellix_test::TempDir dir;
  std::string file = (dir / "a.txt").string();
  std::ofstream(file) << "x";
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, 0);
  FILETIME written{};
  ASSERT_TRUE(DosDateTimeToFileTime(0x5B8A, 0x6A2F, &written));
  ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &written));
  CloseHandle(handle);
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1765372650);
  EXPECT_FALSE(SetFileTime(handle, nullptr, nullptr, &written));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(LocalFileTime, FollowsTheTimeZone) {
  setenv("TZ", "UTC-2", 1);  // two hours east of universal time
  tzset();
  FILETIME local{}, universal{};
  ASSERT_TRUE(DosDateTimeToFileTime(0x5B8A, 0x6A2F, &local));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &universal));
  std::int64_t a = (std::int64_t(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  std::int64_t b = (std::int64_t(universal.dwHighDateTime) << 32) | universal.dwLowDateTime;
  EXPECT_EQ((a - b) / 10000000, 2 * 3600);
  unsetenv("TZ");
  tzset();
}

}  // namespace
