// The clock: tick count, local date and time, performance counter. Every clock read
// of the program goes through here, so that tests can freeze and advance time.
#pragma once

#include "platform/base/types.h"

// Milliseconds since the clock started; the 32-bit form wraps after 49.7 days.
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void GetLocalTime(SYSTEMTIME* time);
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Waits the given milliseconds; on a frozen clock it advances the clock instead.
void Sleep(DWORD milliseconds);

namespace platform {

// Local date and time as days since 1899-12-30, the fraction being the time of day.
double Now();

double EncodeDateTime(const SYSTEMTIME& time);
SYSTEMTIME DecodeDateTime(double dateTime);

// Test control. A frozen clock moves only by Advance and Sleep.
namespace test_clock {
void Freeze(ULONGLONG tickCount, double localDateTime);
void Advance(ULONGLONG milliseconds);
void Release();
bool IsFrozen();
}  // namespace test_clock

}  // namespace platform
