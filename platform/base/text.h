// Text of the platform: wide text is UTF-16 in std::u16string; 8-bit text is in a
// code page, by default the one ANSI code page of this system (Windows-1252).
// Every conversion between the two lives here.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF7 = 65000;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x0001;
inline constexpr DWORD MB_USEGLYPHCHARS = 0x0004;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x0008;
inline constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x0400;

// The system's ANSI code page: always Windows-1252 here.
UINT GetACP();
UINT GetOEMCP();
BOOL IsValidCodePage(UINT codePage);

// The platform's conversion calls. A source length of -1 means "up to and including
// the terminating NUL"; a destination size of 0 asks for the needed size. Answer the
// number of units written (or needed), 0 on failure with the last error set
// (ERROR_INVALID_PARAMETER for an unknown code page, ERROR_INSUFFICIENT_BUFFER,
// ERROR_NO_UNICODE_TRANSLATION with MB_ERR_INVALID_CHARS).
// Invalid UTF-8 and lone surrogates become U+FFFD; characters that a code page cannot
// hold become the default character, "?" unless another is given.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength,
                        char16_t* destination, int destinationSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* source, int sourceLength,
                        char* destination, int destinationSize, const char* defaultChar,
                        BOOL* usedDefaultChar);

// Character types (GetStringTypeEx with CT_CTYPE1).
inline constexpr DWORD CT_CTYPE1 = 0x0001;
inline constexpr DWORD CT_CTYPE2 = 0x0002;
inline constexpr DWORD CT_CTYPE3 = 0x0004;
inline constexpr WORD C1_UPPER = 0x0001;
inline constexpr WORD C1_LOWER = 0x0002;
inline constexpr WORD C1_DIGIT = 0x0004;
inline constexpr WORD C1_SPACE = 0x0008;
inline constexpr WORD C1_PUNCT = 0x0010;
inline constexpr WORD C1_CNTRL = 0x0020;
inline constexpr WORD C1_BLANK = 0x0040;
inline constexpr WORD C1_XDIGIT = 0x0080;
inline constexpr WORD C1_ALPHA = 0x0100;
inline constexpr WORD C1_DEFINED = 0x0200;

inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_INVARIANT = 0x007F;

// Only CT_CTYPE1 is known here; other info types fail with ERROR_INVALID_PARAMETER.
BOOL GetStringTypeExW(LCID locale, DWORD infoType, const char16_t* source, int length, WORD* types);
BOOL GetStringTypeExA(LCID locale, DWORD infoType, const char* source, int length, WORD* types);
LCID GetThreadLocale();
LCID GetUserDefaultLCID();
LCID GetSystemDefaultLCID();

// Locale information as text; only these kinds are known. Every locale answers this
// system's code pages; the ISO names are the user's, from the environment
// (LC_ALL, LC_MESSAGES, LANG: "de_AT.UTF-8" gives "de" and "AT"), "en" and "US" for
// the C locale.
inline constexpr DWORD LOCALE_IDEFAULTCODEPAGE = 0x000B;
inline constexpr DWORD LOCALE_IDEFAULTANSICODEPAGE = 0x1004;
inline constexpr DWORD LOCALE_SISO639LANGNAME = 0x0059;
inline constexpr DWORD LOCALE_SISO3166CTRYNAME = 0x005A;
// The list separator: ";" where the decimal separator is a comma, else ",".
inline constexpr DWORD LOCALE_SLIST = 0x000C;
int GetLocaleInfoW(LCID locale, DWORD type, char16_t* data, int size);
int GetLocaleInfoA(LCID locale, DWORD type, char* data, int size);

// Case mapping in place, one character at a time (the length never changes).
DWORD CharUpperBuffW(char16_t* text, DWORD length);
DWORD CharLowerBuffW(char16_t* text, DWORD length);

// Locale-aware comparison. NORM_IGNORECASE compares without case.
inline constexpr DWORD NORM_IGNORECASE = 0x0001;
inline constexpr int CSTR_LESS_THAN = 1;
inline constexpr int CSTR_EQUAL = 2;
inline constexpr int CSTR_GREATER_THAN = 3;
int CompareStringW(LCID locale, DWORD flags, const char16_t* a, int aLength, const char16_t* b,
                   int bLength);

namespace platform {

// Conversions between whole strings.
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);
// The 8-bit form of a native (UTF-8) file name, the one way a name leaves the platform
// as 8-bit text. False when a character of it has no 8-bit form: a name with "?" in
// its place would name another file.
bool NativeToAnsiName(std::string_view native, std::string& ansi);
std::u16string CodePageToWide(std::string_view text, UINT codePage);
std::string WideToCodePage(std::u16string_view text, UINT codePage);

// UTF-16 little-endian bytes, as files hold them: two bytes a unit; an odd last byte
// is no unit and is dropped.
std::u16string Utf16LeToWide(std::string_view bytes);
std::string WideToUtf16Le(std::u16string_view text);

// UTF-7 (RFC 2152). Encoding writes the optional direct characters directly, closes
// a Base64 run with "-" only where the next character would be read as part of it,
// and leaves a run at the very end open. Decoding answers false for malformed input
// (a run that yields no character, leftover bits that are not zero, bytes above 127);
// the text decoded so far is left in the output.
std::string Utf7Encode(std::u16string_view text);
bool Utf7Decode(std::string_view text, std::u16string& out);

// Case mapping of whole strings, one character at a time (lengths never change).
std::u16string UpperCase(std::u16string_view text);
std::u16string LowerCase(std::u16string_view text);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// Negative, zero or positive, as CompareStringW orders the two texts.
int CompareText(std::u16string_view a, std::u16string_view b, bool ignoreCase);

}  // namespace platform
