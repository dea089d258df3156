// The Unicode layer's ground: the platform flags, the 8-bit code page, conversions
// between wide strings and 8-bit strings in a code page (UTF-7 and UTF-8 included),
// and the layer's two exception types. The conversions themselves are platform/base's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "platform/classlib/exceptions.h"

// This system is of the wide-call family only: every wide-or-8-bit switch of the layer
// takes the wide road.
inline constexpr bool PlatformIsUnicode = true;
// The wide-call family this system stands in for is XP or later.
inline constexpr bool IsWindowsXPOrLater = true;
// The system's ANSI code page (GetACP), fixed for the life of the process.
extern const UINT DefaultCodePage;

// Bad input (such as "Invalid UTF7").
class EUniGeneralError : public Exception {
 public:
  using Exception::Exception;
};
// An internal limit of the layer.
class EUniInternalError : public Exception {
 public:
  using Exception::Exception;
};

// The ANSI code page of a locale; GetACP when the locale does not say.
UINT LocaleCodePage(LCID locale);

// The code page of the calling thread's keyboard layout.
UINT KeyboardCodePage();

// A key code below 256 is a byte of the keyboard code page; 256 and above is already
// a wide character.
char16_t KeyCharToWide(WORD code);

// 65001 is UTF-8, 65000 UTF-7 (raising EUniGeneralError "Invalid UTF7" for malformed
// input); any other code page goes through the platform's conversion, and an unknown
// one gives an empty result.
std::u16string WideFromCodePage(std::string_view s, UINT codePage);
std::string WideToCodePage(std::u16string_view w, UINT codePage);

std::string WideToUTF8(std::u16string_view w);
std::u16string UTF8ToWideString(std::string_view s);
std::string WideToUTF7(std::u16string_view w);
// Raises EUniGeneralError "Invalid UTF7" for malformed input.
std::u16string UTF7ToWide(std::string_view s);

// Exchanges the two bytes of every unit of a NUL-terminated buffer, up to the first
// zero unit (UTF-16BE into UTF-16LE and back); the counted form swaps exactly length
// units, zero units included.
void SwapUtf16ByteOrder(char16_t* buffer);
void SwapUtf16ByteOrder(char16_t* buffer, std::size_t length);
