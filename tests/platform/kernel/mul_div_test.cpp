// MulDiv's rounding, signs and the answers for a zero divisor and an overflow.
#include <gtest/gtest.h>

#include <climits>

#include "platform/kernel/mul_div.h"

TEST(MulDiv, RoundsHalfAwayFromZeroAndRefusesWhatCannotBe) {
  struct Case {
    int number, numerator, denominator, result;
  };
  const Case cases[] = {
      {10, 3, 4, 8},          {10, 1, 4, 3},          {-10, 1, 4, -3},       {7, 1, 2, 4},
      {-7, 1, 2, -4},         {7, -1, 2, -4},         {7, 1, -2, -4},        {-7, -1, -2, -4},
      {INT_MAX, 2, 2, INT_MAX}, {INT_MAX, 3, 2, -1},  {5, 1, 0, -1},         {0, 5, 3, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.result)
        << c.number << " * " << c.numerator << " / " << c.denominator;
  }
}
