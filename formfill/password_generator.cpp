#include "formfill/password_generator.h"

#include <sodium.h>

#include <stdexcept>

namespace formfill {

namespace {

constexpr char16_t kUpper[] = u"ABCDEFGHJKMNPQRSTUVWXYZ";
constexpr char16_t kUpperLookAlikes[] = u"ILO";
constexpr char16_t kLower[] = u"abcdefghjkmnpqrstuvwxyz";
constexpr char16_t kLowerLookAlikes[] = u"ilo";
constexpr char16_t kDigits[] = u"23456789";
constexpr char16_t kDigitLookAlikes[] = u"10";
constexpr char16_t kSymbols[] = u"@#$%^&*()+-/=";
constexpr char16_t kSymbolLookAlikes[] = u"!_";

constexpr int kMinimumLength = 5;

void EnsureRandomSource() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) throw std::runtime_error("the system's secure random source is not available");
}

std::u16string CharacterSet(bool upper, bool lower, bool digits, bool symbols, bool avoidLookAlikes) {
  std::u16string set;
  const auto append = [&](bool chosen, const char16_t* always, const char16_t* lookAlikes) {
    if (!chosen) return;
    set += always;
    if (!avoidLookAlikes) set += lookAlikes;
  };
  append(upper, kUpper, kUpperLookAlikes);
  append(lower, kLower, kLowerLookAlikes);
  append(digits, kDigits, kDigitLookAlikes);
  append(symbols, kSymbols, kSymbolLookAlikes);
  return set;
}

enum class Kind { Digit, Letter, Other };

Kind KindOf(char16_t c) {
  if (c >= u'0' && c <= u'9') return Kind::Digit;
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return Kind::Letter;
  return Kind::Other;
}

}  // namespace

std::u16string GeneratePassword(int length, bool upper, bool lower, bool digits, bool symbols,
                                bool avoidLookAlikes) {
  if (!upper && !lower && !digits && !symbols) upper = digits = true;
  if (length < kMinimumLength) length = kMinimumLength;
  EnsureRandomSource();
  const std::u16string set = CharacterSet(upper, lower, digits, symbols, avoidLookAlikes);
  std::u16string password;
  password.reserve(static_cast<std::size_t>(length));
  while (password.size() < static_cast<std::size_t>(length)) {
    const char16_t c = set[randombytes_uniform(static_cast<std::uint32_t>(set.size()))];
    if (password.empty() || password.back() != c) password.push_back(c);
  }
  return password;
}

int RatePassword(std::u16string_view password) {
  bool seen[3] = {false, false, false};
  for (char16_t c : password) seen[static_cast<int>(KindOf(c))] = true;
  const bool mixed = seen[0] + seen[1] + seen[2] >= 2;
  if (password.size() <= 5) return 0;
  if (password.size() <= 9) return mixed ? 2 : 1;
  return mixed ? 3 : 2;
}

}  // namespace formfill
