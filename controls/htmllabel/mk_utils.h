// UTF-16 toolbox of the HTML label: case folding for every case-insensitive
// comparison and hash, comparisons and searches on strings and on buffers of code
// units, class-driven scans and trims, a string builder and the tokenizer's
// character classes. An empty string is the only "nil" string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/types.h"

using TMkCharPredicate = bool (*)(char16_t c);

// Unicode 4.0 simple case folding (statuses C and S) of the Basic Multilingual Plane.
char16_t CharFoldCase(char16_t c);

bool TextEquals(std::u16string_view a, std::u16string_view b);
bool TextEqualsNoCase(std::u16string_view a, std::u16string_view b);
bool BufferEqualsText(const char16_t* buffer, std::int32_t length, std::u16string_view s);
bool BufferEqualsTextNoCase(const char16_t* buffer, std::int32_t length, std::u16string_view s);

// 1-based position of the first case-insensitive occurrence at or after the 0-based
// start, or 0 (also when the pattern does not fit).
std::int32_t BufferPosNoCase(const char16_t* pattern, std::int32_t patternLength, const char16_t* text,
                             std::int32_t start, std::int32_t textLength);
// Start is 1-based; 0 / false when either string is empty or start is 0.
std::int32_t TextPosNoCase(std::u16string_view pattern, std::u16string_view text, std::int32_t start);
bool TextContainsNoCase(std::u16string_view pattern, std::u16string_view text, std::int32_t start);

bool BufferAllInClass(const char16_t* buffer, std::int32_t length, TMkCharPredicate predicate);
bool TextAllInClass(std::u16string_view s, TMkCharPredicate predicate);
bool BufferAnyInClass(const char16_t* buffer, std::int32_t length, TMkCharPredicate predicate);
bool TextAnyInClass(std::u16string_view s, TMkCharPredicate predicate);
// 1-based position of the first code unit at or after start that fails the
// predicate; 0 when there is none, s is empty, or start is 0 or past the end.
std::int32_t ScanWhileInClass(std::u16string_view s, TMkCharPredicate predicate, std::int32_t start);
std::u16string TrimText(const std::u16string& s, TMkCharPredicate predicate);
std::u16string TrimText(const std::u16string& s);
// A nil predicate trims CharIsSpace.
void TrimTextRight(std::u16string& s, TMkCharPredicate predicate);

// String builder: s is the buffer (its length is the capacity), used the units in
// use; the caller truncates s to used when done.
void AppendChar(std::u16string& s, std::int32_t& used, char16_t c);
void AppendBuffer(const char16_t* buffer, std::int32_t length, std::u16string& s, std::int32_t& used);
void AppendText(std::u16string_view t, std::u16string& s, std::int32_t& used);

// Width and height in pixels of s in the device context's current font; 0 for an
// empty string.
std::int32_t TextWidthW(HDC dc, std::u16string_view s);
std::int32_t TextHeightW(HDC dc, std::u16string_view s);

bool CharIsSpace(char16_t c);
bool CharIsSpaceDashGt(char16_t c);
bool CharIsHexDigit(char16_t c);
bool CharIsAsciiLetter(char16_t c);
bool CharIsNameChar(char16_t c);
// 0..15, or negative for a code unit that is no hexadecimal digit.
std::int32_t HexDigitValue(char16_t c);
