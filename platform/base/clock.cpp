#include "platform/base/clock.h"

#include <time.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;
constexpr LONGLONG kCounterFrequency = 10000000;  // 100 ns units, as the system counts

// Days from 1899-12-30 to 1970-01-01.
constexpr double kUnixEpochDays = 25569.0;

struct FrozenClock {
  std::mutex lock;
  // Read without the lock first: the running clock, asked on every message, needs none.
  std::atomic<bool> frozen = false;
  ULONGLONG tick = 0;
  double dateTimeAtTick = 0;
};

FrozenClock& Frozen() {
  static FrozenClock clock;
  return clock;
}

ULONGLONG RealTickNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<ULONGLONG>(now.tv_sec) * 1000000000ull + static_cast<ULONGLONG>(now.tv_nsec);
}

// The system's tick in milliseconds, as coarse as the platform's (a few milliseconds)
// and so a fraction of the precise clock's cost: every message is stamped with it.
ULONGLONG RealTickMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<ULONGLONG>(now.tv_sec) * 1000ull + static_cast<ULONGLONG>(now.tv_nsec) / 1000000ull;
}

double RealLocalDateTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  double localSeconds = static_cast<double>(seconds) + static_cast<double>(local.tm_gmtoff) +
                        static_cast<double>(now.tv_nsec / 1000000) / 1000.0;
  return kUnixEpochDays + localSeconds / 86400.0;
}

// Days since 1899-12-30 of a civil date (proleptic Gregorian).
long DaysFromCivil(int year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long>(dayOfEra) - 719468 + 25569;
}

void CivilFromDays(long days, int& year, unsigned& month, unsigned& day) {
  days -= 25569;
  days += 719468;
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(yearOfEra) + static_cast<int>(era * 400) + (month <= 2);
}

}  // namespace

ULONGLONG GetTickCount64() {
  FrozenClock& clock = Frozen();
  if (clock.frozen) {
    std::lock_guard guard(clock.lock);
    if (clock.frozen) return clock.tick;
  }
  return RealTickMilliseconds();
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void GetLocalTime(SYSTEMTIME* time) { *time = platform::DecodeDateTime(platform::Now()); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  FrozenClock& clock = Frozen();
  if (clock.frozen) {
    std::lock_guard guard(clock.lock);
    if (clock.frozen) {
      count->QuadPart = static_cast<LONGLONG>(clock.tick) * (kCounterFrequency / 1000);
      return TRUE;
    }
  }
  count->QuadPart = static_cast<LONGLONG>(RealTickNanoseconds() / 100);
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  frequency->QuadPart = kCounterFrequency;
  return TRUE;
}

void Sleep(DWORD milliseconds) {
  if (platform::test_clock::IsFrozen()) {
    platform::test_clock::Advance(milliseconds);
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace platform {

double Now() {
  FrozenClock& clock = Frozen();
  if (clock.frozen) {
    std::lock_guard guard(clock.lock);
    if (clock.frozen) return clock.dateTimeAtTick;
  }
  return RealLocalDateTime();
}

double EncodeDateTime(const SYSTEMTIME& time) {
  const double days = static_cast<double>(DaysFromCivil(time.wYear, time.wMonth, time.wDay));
  const double milliseconds =
      ((time.wHour * 60.0 + time.wMinute) * 60.0 + time.wSecond) * 1000.0 + time.wMilliseconds;
  return days + milliseconds / kMillisecondsPerDay;
}

SYSTEMTIME DecodeDateTime(double dateTime) {
  double wholeDays = std::floor(dateTime);
  auto milliseconds = static_cast<long long>(std::llround((dateTime - wholeDays) * kMillisecondsPerDay));
  if (milliseconds >= static_cast<long long>(kMillisecondsPerDay)) {
    wholeDays += 1;
    milliseconds -= static_cast<long long>(kMillisecondsPerDay);
  }
  int year = 0;
  unsigned month = 0, day = 0;
  const long days = static_cast<long>(wholeDays);
  CivilFromDays(days, year, month, day);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  // 1899-12-30 was a Saturday (6).
  time.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 6) % 7);
  time.wHour = static_cast<WORD>(milliseconds / 3600000);
  time.wMinute = static_cast<WORD>(milliseconds / 60000 % 60);
  time.wSecond = static_cast<WORD>(milliseconds / 1000 % 60);
  time.wMilliseconds = static_cast<WORD>(milliseconds % 1000);
  return time;
}

namespace test_clock {

void Freeze(ULONGLONG tickCount, double localDateTime) {
  FrozenClock& clock = Frozen();
  std::lock_guard guard(clock.lock);
  clock.frozen = true;
  clock.tick = tickCount;
  clock.dateTimeAtTick = localDateTime;
}

void Advance(ULONGLONG milliseconds) {
  FrozenClock& clock = Frozen();
  std::lock_guard guard(clock.lock);
  clock.tick += milliseconds;
  clock.dateTimeAtTick += static_cast<double>(milliseconds) / kMillisecondsPerDay;
}

void Release() {
  FrozenClock& clock = Frozen();
  std::lock_guard guard(clock.lock);
  clock.frozen = false;
}

bool IsFrozen() { return Frozen().frozen; }

}  // namespace test_clock
}  // namespace platform
