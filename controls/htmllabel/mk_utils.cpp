#include "controls/htmllabel/mk_utils.h"

#include "controls/htmllabel/mk_fold_table.inc"
#include "platform/gdi/device_context.h"

char16_t CharFoldCase(char16_t c) {
  std::uint8_t block = kFoldLevel1[c >> 6];
  return block == 0 ? c : kFoldLevel2[(block - 1) * 64 + (c & 63)];
}

namespace {

bool SameNoCase(char16_t a, char16_t b) { return a == b || CharFoldCase(a) == CharFoldCase(b); }

bool EqualUnitsNoCase(const char16_t* a, const char16_t* b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (!SameNoCase(a[i], b[i])) return false;
  }
  return true;
}

}  // namespace

bool TextEquals(std::u16string_view a, std::u16string_view b) { return a == b; }

bool TextEqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && EqualUnitsNoCase(a.data(), b.data(), a.size());
}

bool BufferEqualsText(const char16_t* buffer, std::int32_t length, std::u16string_view s) {
  return length >= 0 && static_cast<std::size_t>(length) == s.size() && std::u16string_view(buffer, s.size()) == s;
}

bool BufferEqualsTextNoCase(const char16_t* buffer, std::int32_t length, std::u16string_view s) {
  return length >= 0 && static_cast<std::size_t>(length) == s.size() && EqualUnitsNoCase(buffer, s.data(), s.size());
}

std::int32_t BufferPosNoCase(const char16_t* pattern, std::int32_t patternLength, const char16_t* text,
                             std::int32_t start, std::int32_t textLength) {
  if (patternLength <= 0 || start < 0 || patternLength > textLength - start) return 0;
  const char16_t first = CharFoldCase(pattern[0]);
  const std::int32_t lastStart = textLength - patternLength;
  for (std::int32_t i = start; i <= lastStart; ++i) {
    if (CharFoldCase(text[i]) == first &&
        EqualUnitsNoCase(pattern + 1, text + i + 1, static_cast<std::size_t>(patternLength - 1))) {
      return i + 1;
    }
  }
  return 0;
}

std::int32_t TextPosNoCase(std::u16string_view pattern, std::u16string_view text, std::int32_t start) {
  if (pattern.empty() || text.empty() || start <= 0) return 0;
  return BufferPosNoCase(pattern.data(), static_cast<std::int32_t>(pattern.size()), text.data(), start - 1,
                         static_cast<std::int32_t>(text.size()));
}

bool TextContainsNoCase(std::u16string_view pattern, std::u16string_view text, std::int32_t start) {
  return TextPosNoCase(pattern, text, start) != 0;
}

bool BufferAllInClass(const char16_t* buffer, std::int32_t length, TMkCharPredicate predicate) {
  for (std::int32_t i = 0; i < length; ++i) {
    if (!predicate(buffer[i])) return false;
  }
  return true;
}

bool TextAllInClass(std::u16string_view s, TMkCharPredicate predicate) {
  return BufferAllInClass(s.data(), static_cast<std::int32_t>(s.size()), predicate);
}

bool BufferAnyInClass(const char16_t* buffer, std::int32_t length, TMkCharPredicate predicate) {
  for (std::int32_t i = 0; i < length; ++i) {
    if (predicate(buffer[i])) return true;
  }
  return false;
}

bool TextAnyInClass(std::u16string_view s, TMkCharPredicate predicate) {
  return BufferAnyInClass(s.data(), static_cast<std::int32_t>(s.size()), predicate);
}

std::int32_t ScanWhileInClass(std::u16string_view s, TMkCharPredicate predicate, std::int32_t start) {
  if (s.empty() || start <= 0 || static_cast<std::size_t>(start) > s.size()) return 0;
  for (std::size_t i = static_cast<std::size_t>(start) - 1; i < s.size(); ++i) {
    if (!predicate(s[i])) return static_cast<std::int32_t>(i) + 1;
  }
  return 0;
}

std::u16string TrimText(const std::u16string& s, TMkCharPredicate predicate) {
  std::size_t first = 0;
  while (first < s.size() && predicate(s[first])) ++first;
  std::size_t last = s.size();
  while (last > first && predicate(s[last - 1])) --last;
  if (first == 0 && last == s.size()) return s;
  return s.substr(first, last - first);
}

std::u16string TrimText(const std::u16string& s) { return TrimText(s, CharIsSpace); }

void TrimTextRight(std::u16string& s, TMkCharPredicate predicate) {
  if (predicate == nullptr) predicate = CharIsSpace;
  std::size_t last = s.size();
  while (last > 0 && predicate(s[last - 1])) --last;
  s.resize(last);
}

void AppendChar(std::u16string& s, std::int32_t& used, char16_t c) {
  if (static_cast<std::int32_t>(s.size()) < used + 1) s.resize(static_cast<std::size_t>((2 * used + 4) / 4 * 4));
  s[static_cast<std::size_t>(used++)] = c;
}

void AppendBuffer(const char16_t* buffer, std::int32_t length, std::u16string& s, std::int32_t& used) {
  if (buffer == nullptr || length <= 0) return;
  std::int32_t n = used + length;
  if (static_cast<std::int32_t>(s.size()) < n) s.resize(static_cast<std::size_t>((n + n / 2 + 3) / 4 * 4));
  s.replace(static_cast<std::size_t>(used), static_cast<std::size_t>(length), buffer, static_cast<std::size_t>(length));
  used = n;
}

void AppendText(std::u16string_view t, std::u16string& s, std::int32_t& used) {
  AppendBuffer(t.data(), static_cast<std::int32_t>(t.size()), s, used);
}

namespace {

SIZE TextExtent(HDC dc, std::u16string_view s) {
  SIZE size{0, 0};
  if (!s.empty() && !GetTextExtentPoint32W(dc, s.data(), static_cast<int>(s.size()), &size)) size = SIZE{0, 0};
  return size;
}

}  // namespace

std::int32_t TextWidthW(HDC dc, std::u16string_view s) { return TextExtent(dc, s).cx; }
std::int32_t TextHeightW(HDC dc, std::u16string_view s) { return TextExtent(dc, s).cy; }

bool CharIsSpace(char16_t c) { return c <= 32; }
bool CharIsSpaceDashGt(char16_t c) { return c <= 32 || c == u'-' || c == u'>'; }
bool CharIsHexDigit(char16_t c) { return HexDigitValue(c) >= 0; }
bool CharIsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool CharIsNameChar(char16_t c) {
  return CharIsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u':' || c == u'_';
}

std::int32_t HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}
