#include "platform/com/guid.h"

namespace platform::com {
namespace {

constexpr char16_t kDigits[] = u"0123456789ABCDEF";

void AppendHex(std::u16string& out, unsigned long long value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads Digits hexadecimal digits at Pos; false when one is not a digit.
bool ReadHex(std::u16string_view text, std::size_t pos, int digits, unsigned long long& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int digit = HexValue(text[pos + i]);
    if (digit < 0) return false;
    value = value * 16 + digit;
  }
  return true;
}

}  // namespace

std::u16string GuidToText(REFGUID guid) {
  std::u16string out = u"{";
  AppendHex(out, guid.Data1, 8);
  out += u'-';
  AppendHex(out, guid.Data2, 4);
  out += u'-';
  AppendHex(out, guid.Data3, 4);
  out += u'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) out += u'-';
    AppendHex(out, guid.Data4[i], 2);
  }
  out += u'}';
  return out;
}

bool TextToGuid(std::u16string_view text, GUID& guid) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
      text[14] != u'-' || text[19] != u'-' || text[24] != u'-') {
    return false;
  }
  GUID read{};
  unsigned long long value = 0;
  if (!ReadHex(text, 1, 8, value)) return false;
  read.Data1 = static_cast<DWORD>(value);
  if (!ReadHex(text, 10, 4, value)) return false;
  read.Data2 = static_cast<WORD>(value);
  if (!ReadHex(text, 15, 4, value)) return false;
  read.Data3 = static_cast<WORD>(value);
  constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePos[i], 2, value)) return false;
    read.Data4[i] = static_cast<BYTE>(value);
  }
  guid = read;
  return true;
}

}  // namespace platform::com

int StringFromGUID2(REFGUID guid, char16_t* text, int size) {
  if (text == nullptr || size < 39) return 0;
  std::u16string braced = platform::com::GuidToText(guid);
  braced.copy(text, braced.size());
  text[braced.size()] = u'\0';
  return static_cast<int>(braced.size()) + 1;
}
