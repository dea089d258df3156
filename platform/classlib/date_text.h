// Dates and times as the user reads them: the user's locale (LC_TIME) short date
// followed by its time of day.
#pragma once

#include <string>

// A date-time (days since 1899-12-30) as strftime's Format gives it in the user's
// locale; a value that is no date of years 1 to 9999 (infinite, not a number) gives an
// empty text.
std::u16string FormatDateTimeText(const char* format, double dateTime);
// The short date and the time of day.
std::u16string DateTimeToStr(double dateTime);
