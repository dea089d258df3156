// Making and judging passwords: GeneratePassword draws a password from the chosen
// character classes, RatePassword grades one from 0 to 3 for the strength indicators.
// Both are plain functions without state, safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace formfill {

// A password of Length characters (at least 5, no upper limit) from the chosen
// classes, in this order: upper-case letters, lower-case letters, digits, symbols; with
// none chosen, upper-case letters and digits. Look-alike characters (I L O i l o 1 0
// ! _) are part of their classes unless AvoidLookAlikes. No character follows itself.
// Each character comes from the system's secure random source without bias; raises
// std::runtime_error when that source cannot be opened. The defaults are the
// program's default settings.
std::u16string GeneratePassword(int length = 8, bool upper = true, bool lower = true, bool digits = true,
                                bool symbols = false, bool avoidLookAlikes = false);

// 0 up to 5 characters; 1 (2 when mixed) for 6 to 9; 2 (3 when mixed) for 10 or more.
// Mixed means at least two of: ASCII digits, ASCII letters, anything else.
int RatePassword(std::u16string_view password);

}  // namespace formfill
