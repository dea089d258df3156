#include "controls/unicode/uni_system.h"

#include "platform/win/keyboard.h"

#include <charconv>

#include "platform/base/text.h"

const UINT DefaultCodePage = GetACP();

UINT LocaleCodePage(LCID locale) {
  char16_t buffer[6] = {};
  if (GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE, buffer, 6) == 0) return GetACP();
  std::string digits;
  for (const char16_t* at = buffer; *at != 0; ++at) digits.push_back(static_cast<char>(*at));
  UINT codePage = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), codePage);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) return GetACP();
  return codePage;
}

UINT KeyboardCodePage() { return LocaleCodePage(LOWORD(GetKeyboardLayout(0))); }

char16_t KeyCharToWide(WORD code) {
  if (code >= 256) return static_cast<char16_t>(code);
  char byte = static_cast<char>(code);
  char16_t wide = 0;
  if (MultiByteToWideChar(KeyboardCodePage(), MB_USEGLYPHCHARS, &byte, 1, &wide, 1) != 1) return 0;
  return wide;
}

std::u16string WideFromCodePage(std::string_view s, UINT codePage) {
  if (codePage == CP_UTF8) return UTF8ToWideString(s);
  if (codePage == CP_UTF7) return UTF7ToWide(s);
  return platform::CodePageToWide(s, codePage);
}

std::string WideToCodePage(std::u16string_view w, UINT codePage) {
  if (codePage == CP_UTF8) return WideToUTF8(w);
  if (codePage == CP_UTF7) return WideToUTF7(w);
  return platform::WideToCodePage(w, codePage);
}

std::string WideToUTF8(std::u16string_view w) { return platform::WideToUtf8(w); }

std::u16string UTF8ToWideString(std::string_view s) { return platform::Utf8ToWide(s); }

std::string WideToUTF7(std::u16string_view w) { return platform::Utf7Encode(w); }

std::u16string UTF7ToWide(std::string_view s) {
  std::u16string wide;
  if (!platform::Utf7Decode(s, wide)) throw EUniGeneralError("Invalid UTF7");
  return wide;
}

void SwapUtf16ByteOrder(char16_t* buffer) { SwapUtf16ByteOrder(buffer, std::char_traits<char16_t>::length(buffer)); }

void SwapUtf16ByteOrder(char16_t* buffer, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    buffer[i] = static_cast<char16_t>((buffer[i] >> 8) | (buffer[i] << 8));
  }
}
