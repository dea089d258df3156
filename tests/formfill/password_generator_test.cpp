#include "formfill/password_generator.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

using formfill::GeneratePassword;
using formfill::RatePassword;

// The classes as the generator must offer them, written out independently here.
std::u16string ExpectedSet(bool upper, bool lower, bool digits, bool symbols, bool avoid) {
  if (!upper && !lower && !digits && !symbols) upper = digits = true;
  std::u16string set;
  if (upper) set += avoid ? u"ABCDEFGHJKMNPQRSTUVWXYZ" : u"ABCDEFGHJKMNPQRSTUVWXYZILO";
  if (lower) set += avoid ? u"abcdefghjkmnpqrstuvwxyz" : u"abcdefghjkmnpqrstuvwxyzilo";
  if (digits) set += avoid ? u"23456789" : u"2345678910";
  if (symbols) set += avoid ? u"@#$%^&*()+-/=" : u"@#$%^&*()+-/=!_";
  return set;
}

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// Every combination of classes and the look-alike switch, over many draws: the
// length, the alphabet, no character twice in a row, and every allowed character
// actually drawn (a set built or indexed short of its end would miss some).
TEST(PasswordGeneratorTest, EveryClassCombinationKeepsEveryRuleOverManyDraws) {
  for (int mask = 0; mask < 32; ++mask) {
    const bool upper = mask & 1, lower = mask & 2, digits = mask & 4, symbols = mask & 8, avoid = mask & 16;
    const std::u16string allowed = ExpectedSet(upper, lower, digits, symbols, avoid);
    SCOPED_TRACE("mask " + std::to_string(mask) + " set " + Narrow(allowed));
    std::set<char16_t> drawn;
    for (int draw = 0; draw < 300; ++draw) {
      const std::u16string password = GeneratePassword(12, upper, lower, digits, symbols, avoid);
      ASSERT_EQ(password.size(), 12u);
      for (std::size_t i = 0; i < password.size(); ++i) {
        ASSERT_NE(allowed.find(password[i]), std::u16string::npos) << Narrow(password);
        if (i > 0) {
          ASSERT_NE(password[i], password[i - 1]) << Narrow(password);
        }
        drawn.insert(password[i]);
      }
    }
    EXPECT_EQ(drawn.size(), allowed.size());
  }
}

TEST(PasswordGeneratorTest, ShortLengthsAreRaisedToFiveAndLongOnesKept) {
  struct Case {
    int length;
    std::size_t expected;
  };
  for (const Case& c : {Case{-7, 5}, Case{0, 5}, Case{3, 5}, Case{5, 5}, Case{6, 6}, Case{4000, 4000}}) {
    const std::u16string password = GeneratePassword(c.length, false, false, true, false, true);
    EXPECT_EQ(password.size(), c.expected) << c.length;
    for (std::size_t i = 1; i < password.size(); ++i) {
      ASSERT_NE(password[i], password[i - 1]);
    }
  }
}

TEST(PasswordGeneratorTest, DefaultsAreLettersAndDigitsOfLengthEight) {
  const std::u16string password = GeneratePassword();
  ASSERT_EQ(password.size(), 8u);
  const std::u16string allowed = ExpectedSet(true, true, true, false, false);
  for (char16_t c : password) EXPECT_NE(allowed.find(c), std::u16string::npos);
}

// Passwords made in the same instant must still differ: a generator seeded from a
// clock repeats itself within one tick.
TEST(PasswordGeneratorTest, PasswordsMadeBackToBackAreAllDifferent) {
  std::set<std::u16string> seen;
  for (int i = 0; i < 5000; ++i) seen.insert(GeneratePassword(10, true, true, true, true, false));
  EXPECT_EQ(seen.size(), 5000u);
}

// Each character of the set is equally likely. The no-repeat rule is symmetric, so
// it keeps the shares equal; the bounds are many standard deviations wide.
TEST(PasswordGeneratorTest, CharactersAreDrawnEvenly) {
  std::map<char16_t, int> counts;
  const int passwords = 6000, length = 10;
  for (int i = 0; i < passwords; ++i)
    for (char16_t c : GeneratePassword(length, false, false, true, false, true)) ++counts[c];
  ASSERT_EQ(counts.size(), 8u);
  const double expected = passwords * length / 8.0;
  for (const auto& [c, n] : counts) {
    EXPECT_GT(n, expected * 0.85) << static_cast<char>(c);
    EXPECT_LT(n, expected * 1.15) << static_cast<char>(c);
  }
}

TEST(PasswordRatingTest, GradesByLengthAndMix) {
  struct Case {
    std::u16string password;
    int grade;
  };
  const Case cases[] = {
      {u"", 0},
      {u"abcde", 0},
      {u"ab1!Z", 0},
      {u"abcdef", 1},
      {u"123456", 1},
      {u"abc123", 2},
      {u"abc!de", 2},            // punctuation mixes with letters
      {u"abcdefghi", 1},
      {u"abcdefgh1", 2},
      {u"abcdefghij", 2},
      {u"abcdefghi1", 3},
      {u"!!!!!!!!!!!!", 2},
      {u"\u00e4\u00f6\u00fc\u00e4\u00f6\u00fc", 1},  // non-ASCII letters are one kind: other
      {u"\u00e4bcdef", 2},                           // ...which mixes with ASCII letters
      {u"\u0436\u0436\u0436\u0436\u0436\u0436\u0436\u0436\u0436\u0436", 2},
      {u"Tr0ub4dor&3xyz", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(RatePassword(c.password), c.grade) << Narrow(c.password);
}

}  // namespace
