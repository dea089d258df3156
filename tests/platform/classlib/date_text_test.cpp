#include "platform/classlib/date_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Dates read from damaged files must give an empty text, never a decoding fault.
TEST(DateText, CalendarDatesOnly) {
  setenv("LC_ALL", "C", 1);
  struct Case {
    double value;
    std::u16string text;
  };
  const Case cases[] = {
      {46085.0 + (9 * 3600 + 30 * 60 + 5) / 86400.0, u"03/04/26 09:30:05"},
      {0.0, u"12/30/99 00:00:00"},
      {std::nan(""), u""},
      {std::numeric_limits<double>::infinity(), u""},
      {1e300, u""},
      {-1e9, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(DateTimeToStr(c.value), c.text) << c.value;
  unsetenv("LC_ALL");
}

}  // namespace
