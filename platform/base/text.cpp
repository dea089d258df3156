#include "platform/base/text.h"

#include <unicode/coll.h>
#include <unicode/dcfmtsym.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/base/errors.h"

namespace {

constexpr UINT kAnsiCodePage = 1252;
constexpr UINT kOemCodePage = 437;
constexpr UINT kLatin1CodePage = 28591;
constexpr UINT kAsciiCodePage = 20127;
constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 from 0x80 to 0x9F; the five unassigned bytes map to the control
// characters of the same value, as the system maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

UINT ResolveCodePage(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP: return kAnsiCodePage;
    case CP_OEMCP: return kOemCodePage;
    default: return codePage;
  }
}

std::optional<char16_t> SingleByteToWide(UINT codePage, unsigned char byte) {
  if (byte < 0x80) return byte;
  if (codePage == kAsciiCodePage) return std::nullopt;
  if (codePage == kAnsiCodePage && byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

std::optional<unsigned char> WideToSingleByte(UINT codePage, char16_t ch) {
  if (ch < 0x80) return static_cast<unsigned char>(ch);
  if (codePage == kAsciiCodePage) return std::nullopt;
  if (codePage == kLatin1CodePage) {
    if (ch <= 0xFF) return static_cast<unsigned char>(ch);
    return std::nullopt;
  }
  if (ch >= 0xA0 && ch <= 0xFF) return static_cast<unsigned char>(ch);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
    if (kCp1252High[i] == ch) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

bool IsBuiltInSingleByte(UINT codePage) {
  return codePage == kAnsiCodePage || codePage == kLatin1CodePage || codePage == kAsciiCodePage;
}

// ICU converter for any other code page the system knows by number.
struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter OpenConverter(UINT codePage) {
  const std::string number = std::to_string(codePage);
  for (const std::string& name : {"windows-" + number, "cp" + number, "ibm-" + number}) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name.c_str(), &status);
    if (U_SUCCESS(status)) return Converter(converter);
  }
  return nullptr;
}

// UTF-8 decoding with U+FFFD for each maximal invalid subsequence.
bool DecodeUtf8(std::string_view in, std::u16string& out) {
  bool clean = true;
  std::size_t i = 0;
  while (i < in.size()) {
    unsigned char b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      cp = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      cp = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      out.push_back(kReplacement);
      clean = false;
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    int taken = 0;
    for (; taken < extra && j < in.size(); ++taken, ++j) {
      unsigned char c = static_cast<unsigned char>(in[j]);
      if (c < low || c > high) break;
      cp = (cp << 6) | (c & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    if (taken < extra) {
      out.push_back(kReplacement);
      clean = false;
      i = j;
      continue;
    }
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i = j;
  }
  return clean;
}

// UTF-8 encoding; a lone surrogate becomes U+FFFD.
bool EncodeUtf8(std::u16string_view in, std::string& out) {
  bool clean = true;
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (U16_IS_LEAD(cp) && i + 1 < in.size() && U16_IS_TRAIL(in[i + 1])) {
      cp = U16_GET_SUPPLEMENTARY(cp, in[i + 1]);
      ++i;
    } else if (U16_IS_SURROGATE(cp)) {
      cp = kReplacement;
      clean = false;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return clean;
}

bool DecodeWithConverter(UINT codePage, bool strict, std::string_view in, std::u16string& out) {
  Converter converter = OpenConverter(codePage);
  if (!converter) return false;
  UErrorCode status = U_ZERO_ERROR;
  if (strict) {
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  out.resize(in.size() * 2 + 2);
  int32_t length = ucnv_toUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                                 in.data(), static_cast<int32_t>(in.size()), &status);
  if (U_FAILURE(status)) return false;
  out.resize(length);
  return true;
}

bool EncodeWithConverter(UINT codePage, std::u16string_view in, const char* defaultChar,
                         std::string& out, bool& usedDefault) {
  Converter converter = OpenConverter(codePage);
  if (!converter) return false;
  UErrorCode status = U_ZERO_ERROR;
  const char* substitute = defaultChar ? defaultChar : "?";
  ucnv_setSubstChars(converter.get(), substitute, static_cast<int8_t>(std::strlen(substitute)), &status);
  out.resize(in.size() * 4 + 4);
  int32_t length = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                                   in.data(), static_cast<int32_t>(in.size()), &status);
  if (U_FAILURE(status)) return false;
  out.resize(length);
  // ICU does not report substitutions; a round trip tells whether any happened.
  std::u16string back;
  usedDefault = !DecodeWithConverter(codePage, false, out, back) || back != in;
  return true;
}

// Converts one whole 8-bit text; false for an unknown code page or, when strict,
// for input that has no mapping.
bool ToWide(UINT codePage, DWORD flags, std::string_view in, std::u16string& out, DWORD& error) {
  codePage = ResolveCodePage(codePage);
  const bool strict = flags & MB_ERR_INVALID_CHARS;
  out.clear();
  if (codePage == CP_UTF8) {
    if (!DecodeUtf8(in, out) && strict) return (error = ERROR_NO_UNICODE_TRANSLATION), false;
    return true;
  }
  if (codePage == CP_UTF7) {
    if (!platform::Utf7Decode(in, out) && strict) return (error = ERROR_NO_UNICODE_TRANSLATION), false;
    return true;
  }
  if (IsBuiltInSingleByte(codePage)) {
    // Written in place: every caption of the 8-bit class library passes here.
    out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
      auto wide = SingleByteToWide(codePage, static_cast<unsigned char>(in[i]));
      if (!wide && strict) return (error = ERROR_NO_UNICODE_TRANSLATION), false;
      out[i] = wide.value_or(kReplacement);
    }
    return true;
  }
  if (!DecodeWithConverter(codePage, strict, in, out)) {
    error = OpenConverter(codePage) ? ERROR_NO_UNICODE_TRANSLATION : ERROR_INVALID_PARAMETER;
    return false;
  }
  return true;
}

bool FromWide(UINT codePage, std::u16string_view in, const char* defaultChar, std::string& out,
              bool& usedDefault, DWORD& error) {
  codePage = ResolveCodePage(codePage);
  out.clear();
  usedDefault = false;
  if (codePage == CP_UTF8) {
    EncodeUtf8(in, out);
    return true;
  }
  if (codePage == CP_UTF7) {
    out = platform::Utf7Encode(in);
    return true;
  }
  if (IsBuiltInSingleByte(codePage)) {
    const char substitute = defaultChar ? *defaultChar : '?';
    // Written in place, as in ToWide; a surrogate pair makes it shorter.
    out.resize(in.size());
    std::size_t length = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
      auto byte = WideToSingleByte(codePage, in[i]);
      if (!byte) {
        usedDefault = true;
        // A surrogate pair is one character and gets one default character.
        if (U16_IS_LEAD(in[i]) && i + 1 < in.size() && U16_IS_TRAIL(in[i + 1])) ++i;
      }
      out[length++] = byte ? static_cast<char>(*byte) : substitute;
    }
    out.resize(length);
    return true;
  }
  if (!EncodeWithConverter(codePage, in, defaultChar, out, usedDefault)) {
    error = ERROR_INVALID_PARAMETER;
    return false;
  }
  return true;
}

template <typename Char>
std::basic_string_view<Char> SourceView(const Char* source, int length) {
  if (length < 0) return std::basic_string_view<Char>(source, std::char_traits<Char>::length(source) + 1);
  return std::basic_string_view<Char>(source, static_cast<std::size_t>(length));
}

template <typename Char>
int CopyOut(const std::basic_string<Char>& text, Char* destination, int destinationSize) {
  if (destinationSize == 0) return static_cast<int>(text.size());
  if (static_cast<std::size_t>(destinationSize) < text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(destination, text.data(), text.size() * sizeof(Char));
  return static_cast<int>(text.size());
}

// ---- UTF-7 ----

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kSetD =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789'(),-./:?";
constexpr std::string_view kSetO = "!\"#$%&*;<=>@[]^_`{|}";
constexpr std::string_view kSpaces = " \t\r\n";

struct Utf7Tables {
  std::array<bool, 128> mustEncode{};
  std::array<std::int16_t, 128> inverseBase64{};
  Utf7Tables() {
    mustEncode.fill(true);
    inverseBase64.fill(-1);
    for (std::string_view set : {kSetD, kSetO, kSpaces}) {
      for (char c : set) mustEncode[static_cast<unsigned char>(c)] = false;
    }
    for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
      inverseBase64[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::int16_t>(i);
    }
  }
};

const Utf7Tables& Utf7() {
  static const Utf7Tables tables;
  return tables;
}

bool IsBase64Letter(unsigned ch) { return ch < 128 && Utf7().inverseBase64[ch] >= 0; }

// ---- character types ----

WORD CharType1(char16_t ch) {
  UChar32 c = ch;
  if (U16_IS_SURROGATE(c)) return C1_DEFINED;
  if (!u_isdefined(c)) return 0;
  WORD type = C1_DEFINED;
  if (u_isupper(c)) type |= C1_UPPER;
  if (u_islower(c)) type |= C1_LOWER;
  if (u_isdigit(c)) type |= C1_DIGIT;
  if (u_isspace(c) || c == 0x85) type |= C1_SPACE;
  if (u_iscntrl(c)) type |= C1_CNTRL;
  if (u_isblank(c)) type |= C1_BLANK;
  if (u_isxdigit(c)) type |= C1_XDIGIT;
  if (u_isalpha(c)) type |= C1_ALPHA;
  if (u_isgraph(c) && !u_isalnum(c) && !(type & C1_SPACE)) type |= C1_PUNCT;
  return type;
}

template <typename MapFn>
void MapCase(char16_t* text, std::size_t length, MapFn map) {
  std::size_t i = 0;
  while (i < length) {
    std::size_t start = i;
    UChar32 c;
    U16_NEXT(text, i, length, c);
    UChar32 mapped = map(c);
    if (U16_LENGTH(mapped) != static_cast<int>(i - start)) continue;  // keeps the length
    std::size_t at = start;
    U16_APPEND_UNSAFE(text, at, mapped);
  }
}

icu::Collator* ThreadCollator(bool ignoreCase) {
  thread_local std::unique_ptr<icu::Collator> collators[2];
  auto& collator = collators[ignoreCase ? 1 : 0];
  if (!collator) {
    UErrorCode status = U_ZERO_ERROR;
    collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
      collator.reset();
      return nullptr;
    }
    collator->setStrength(ignoreCase ? icu::Collator::SECONDARY : icu::Collator::TERTIARY);
  }
  return collator.get();
}

}  // namespace

UINT GetACP() { return kAnsiCodePage; }
UINT GetOEMCP() { return kOemCodePage; }

BOOL IsValidCodePage(UINT codePage) {
  if (codePage == CP_UTF7 || codePage == CP_UTF8 || IsBuiltInSingleByte(codePage)) return TRUE;
  return OpenConverter(codePage) ? TRUE : FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength,
                        char16_t* destination, int destinationSize) {
  if (source == nullptr || sourceLength == 0 || destinationSize < 0 ||
      (destinationSize > 0 && destination == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string wide;
  DWORD error = ERROR_SUCCESS;
  if (!ToWide(codePage, flags, SourceView(source, sourceLength), wide, error)) {
    SetLastError(error);
    return 0;
  }
  return CopyOut(wide, destination, destinationSize);
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, const char16_t* source, int sourceLength,
                        char* destination, int destinationSize, const char* defaultChar,
                        BOOL* usedDefaultChar) {
  if (source == nullptr || sourceLength == 0 || destinationSize < 0 ||
      (destinationSize > 0 && destination == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string bytes;
  bool usedDefault = false;
  DWORD error = ERROR_SUCCESS;
  if (!FromWide(codePage, SourceView(source, sourceLength), defaultChar, bytes, usedDefault, error)) {
    SetLastError(error);
    return 0;
  }
  if (usedDefaultChar) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  return CopyOut(bytes, destination, destinationSize);
}

BOOL GetStringTypeExW(LCID /*locale*/, DWORD infoType, const char16_t* source, int length, WORD* types) {
  if (infoType != CT_CTYPE1 || source == nullptr || types == nullptr || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::size_t count = length < 0 ? std::char_traits<char16_t>::length(source) + 1 : length;
  for (std::size_t i = 0; i < count; ++i) types[i] = CharType1(source[i]);
  return TRUE;
}

BOOL GetStringTypeExA(LCID locale, DWORD infoType, const char* source, int length, WORD* types) {
  if (source == nullptr || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string wide = platform::AnsiToWide(SourceView(source, length));
  return GetStringTypeExW(locale, infoType, wide.data(), static_cast<int>(wide.size()), types);
}

// Every locale of this system is US English.
LCID GetThreadLocale() { return 0x0409; }
LCID GetUserDefaultLCID() { return 0x0409; }
LCID GetSystemDefaultLCID() { return 0x0409; }

namespace {

// The user's locale name from the environment, as the C library would choose it.
std::string UserLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != 0) return value;
  }
  return "C";
}

// "ll_CC.codeset@modifier": the language and country parts; "en" and "US" for C.
std::u16string IsoName(bool country) {
  std::string name = UserLocaleName();
  if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return country ? u"US" : u"en";
  std::size_t end = name.find_first_of(".@");
  name = name.substr(0, end);
  std::size_t split = name.find('_');
  std::string part = country ? (split == std::string::npos ? "" : name.substr(split + 1)) : name.substr(0, split);
  return std::u16string(part.begin(), part.end());
}

std::u16string ListSeparator() {
  const std::u16string language = IsoName(false), country = IsoName(true);
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(
      icu::Locale(std::string(language.begin(), language.end()).c_str(),
                  std::string(country.begin(), country.end()).c_str()),
      status);
  if (U_FAILURE(status)) return u",";
  return symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol) == u"," ? u";" : u",";
}

}  // namespace

int GetLocaleInfoW(LCID /*locale*/, DWORD type, char16_t* data, int size) {
  std::u16string value;
  switch (type & 0xFFFF) {
    case LOCALE_IDEFAULTANSICODEPAGE: value = u"1252"; break;
    case LOCALE_IDEFAULTCODEPAGE: value = u"437"; break;
    case LOCALE_SISO639LANGNAME: value = IsoName(false); break;
    case LOCALE_SISO3166CTRYNAME: value = IsoName(true); break;
    case LOCALE_SLIST: value = ListSeparator(); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
  value.push_back(u'\0');
  return CopyOut(value, data, size);
}

int GetLocaleInfoA(LCID locale, DWORD type, char* data, int size) {
  char16_t wide[128];
  int length = GetLocaleInfoW(locale, type, wide, 128);
  if (length == 0) return 0;
  std::string value = platform::WideToAnsi(std::u16string_view(wide, static_cast<std::size_t>(length)));
  return CopyOut(value, data, size);
}

DWORD CharUpperBuffW(char16_t* text, DWORD length) {
  MapCase(text, length, [](UChar32 c) { return u_toupper(c); });
  return length;
}

DWORD CharLowerBuffW(char16_t* text, DWORD length) {
  MapCase(text, length, [](UChar32 c) { return u_tolower(c); });
  return length;
}

int CompareStringW(LCID /*locale*/, DWORD flags, const char16_t* a, int aLength, const char16_t* b,
                   int bLength) {
  if (a == nullptr || b == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string_view left(a, aLength < 0 ? std::char_traits<char16_t>::length(a) : aLength);
  std::u16string_view right(b, bLength < 0 ? std::char_traits<char16_t>::length(b) : bLength);
  int order = platform::CompareText(left, right, flags & NORM_IGNORECASE);
  return order < 0 ? CSTR_LESS_THAN : order > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}

namespace platform {

std::u16string CodePageToWide(std::string_view text, UINT codePage) {
  std::u16string wide;
  DWORD error = ERROR_SUCCESS;
  if (!ToWide(codePage, 0, text, wide, error)) return {};
  return wide;
}

std::string WideToCodePage(std::u16string_view text, UINT codePage) {
  std::string bytes;
  bool usedDefault = false;
  DWORD error = ERROR_SUCCESS;
  if (!FromWide(codePage, text, nullptr, bytes, usedDefault, error)) return {};
  return bytes;
}

std::u16string AnsiToWide(std::string_view text) { return CodePageToWide(text, CP_ACP); }
std::string WideToAnsi(std::u16string_view text) { return WideToCodePage(text, CP_ACP); }
std::u16string Utf8ToWide(std::string_view text) { return CodePageToWide(text, CP_UTF8); }
std::string WideToUtf8(std::u16string_view text) { return WideToCodePage(text, CP_UTF8); }
std::string AnsiToUtf8(std::string_view text) { return WideToUtf8(AnsiToWide(text)); }
std::string Utf8ToAnsi(std::string_view text) { return WideToAnsi(Utf8ToWide(text)); }

bool NativeToAnsiName(std::string_view native, std::string& ansi) {
  std::string converted = Utf8ToAnsi(native);
  if (AnsiToUtf8(converted) != native) return false;
  ansi = std::move(converted);
  return true;
}

std::u16string Utf16LeToWide(std::string_view bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return text;
}

std::string WideToUtf16Le(std::u16string_view text) {
  std::string bytes(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return bytes;
}

std::string Utf7Encode(std::u16string_view text) {
  const Utf7Tables& tables = Utf7();
  std::string out;
  bool inBase64 = false;
  std::uint32_t bits = 0;
  int bitCount = 0;
  auto flushGroups = [&] {
    while (bitCount >= 6) {
      bitCount -= 6;
      out.push_back(kBase64Alphabet[(bits >> bitCount) & 0x3F]);
    }
  };
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool atEnd = i == text.size();
    const char16_t ch = atEnd ? 0 : text[i];
    const bool encode = !atEnd && (ch > 127 || tables.mustEncode[ch]);
    if (inBase64) {
      if (encode) {
        bits = (bits << 16) | ch;
        bitCount += 16;
        flushGroups();
        continue;
      }
      if (bitCount > 0) {
        bits <<= 6 - bitCount;
        bitCount = 6;
        flushGroups();
      }
      inBase64 = false;
      if (!atEnd && (IsBase64Letter(ch) || ch == u'-')) out.push_back('-');
    } else if (encode) {
      out.push_back('+');
      if (ch == u'+') {
        out.push_back('-');
      } else {
        inBase64 = true;
        bits = ch;
        bitCount = 16;
        flushGroups();
      }
      continue;
    }
    if (!atEnd) out.push_back(static_cast<char>(ch));
  }
  return out;
}

bool Utf7Decode(std::string_view text, std::u16string& out) {
  bool valid = true;
  bool inBase64 = false;
  bool runJustBegun = false;
  bool wroteUnit = false;
  std::uint32_t bits = 0;
  int bitCount = 0;
  auto endRun = [&] {
    if (!wroteUnit) valid = false;
    if (bitCount > 0 && (bits & ((1u << bitCount) - 1)) != 0) valid = false;
    inBase64 = false;
  };
  for (char byte : text) {
    const unsigned char b = static_cast<unsigned char>(byte);
    if (inBase64) {
      if (IsBase64Letter(b)) {
        bits = (bits << 6) | static_cast<std::uint32_t>(Utf7().inverseBase64[b]);
        bitCount += 6;
        runJustBegun = false;
        if (bitCount >= 16) {
          bitCount -= 16;
          out.push_back(static_cast<char16_t>((bits >> bitCount) & 0xFFFF));
          wroteUnit = true;
        }
        continue;
      }
      if (b == '-' && runJustBegun) {
        out.push_back(u'+');
        inBase64 = false;
        continue;
      }
      endRun();
      if (b == '-') continue;
    }
    if (b == '+') {
      inBase64 = true;
      runJustBegun = true;
      wroteUnit = false;
      bits = 0;
      bitCount = 0;
      continue;
    }
    if (b > 127) valid = false;
    out.push_back(b);
  }
  if (inBase64) endRun();
  return valid;
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string result(text);
  CharUpperBuffW(result.data(), static_cast<DWORD>(result.size()));
  return result;
}

std::u16string LowerCase(std::u16string_view text) {
  std::u16string result(text);
  CharLowerBuffW(result.data(), static_cast<DWORD>(result.size()));
  return result;
}

// A byte whose mapped character has no place in the code page stays as it is.
static std::string MapAnsiCase(std::string_view text, UChar32 (*map)(UChar32)) {
  std::string result(text);
  for (char& c : result) {
    auto wide = SingleByteToWide(kAnsiCodePage, static_cast<unsigned char>(c));
    if (!wide) continue;
    auto mapped = WideToSingleByte(kAnsiCodePage, static_cast<char16_t>(map(*wide)));
    if (mapped) c = static_cast<char>(*mapped);
  }
  return result;
}

std::string AnsiUpperCase(std::string_view text) { return MapAnsiCase(text, u_toupper); }
std::string AnsiLowerCase(std::string_view text) { return MapAnsiCase(text, u_tolower); }

int CompareText(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
  icu::Collator* collator = ThreadCollator(ignoreCase);
  if (collator) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult result = collator->compare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                                                static_cast<int32_t>(b.size()), status);
    if (U_SUCCESS(status)) return static_cast<int>(result);
  }
  return a.compare(b);
}

}  // namespace platform
