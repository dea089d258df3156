#include "platform/classlib/date_text.h"

#include <clocale>
#include <cmath>
#include <ctime>

#include <locale.h>

#include "platform/base/clock.h"
#include "platform/base/text.h"

namespace {

// 0001-01-01 and 9999-12-31 as days since 1899-12-30.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958466.0;

}  // namespace

std::u16string FormatDateTimeText(const char* format, double dateTime) {
  // Stored dates come from files and may be anything; only a real calendar date is decoded.
  if (!std::isfinite(dateTime) || dateTime < kFirstDay || dateTime >= kLastDay) return {};
  const SYSTEMTIME parts = platform::DecodeDateTime(dateTime);
  std::tm time{};
  time.tm_year = parts.wYear - 1900;
  time.tm_mon = parts.wMonth - 1;
  time.tm_mday = parts.wDay;
  time.tm_hour = parts.wHour;
  time.tm_min = parts.wMinute;
  time.tm_sec = parts.wSecond;
  time.tm_wday = parts.wDayOfWeek;
  locale_t userLocale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (userLocale == static_cast<locale_t>(0)) userLocale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  char text[128] = {};
  const std::size_t length = strftime_l(text, sizeof text, format, &time, userLocale);
  freelocale(userLocale);
  return platform::Utf8ToWide(std::string_view(text, length));
}

std::u16string DateTimeToStr(double dateTime) { return FormatDateTimeText("%x %X", dateTime); }
