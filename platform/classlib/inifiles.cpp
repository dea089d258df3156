#include "platform/classlib/inifiles.h"

#include <charconv>
#include <vector>

#include "platform/base/text.h"
#include "platform/fs/profile.h"

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
  // Hexadecimal spells the 32 bits themselves; decimal must fit the signed range.
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFULL : negative ? 0x80000000ULL : 0x7FFFFFFFULL;
  if (magnitude > limit) return false;
  const auto bits = static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude);
  value = static_cast<std::int32_t>(bits);
  return true;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) {
  char buffer[kMaxValueLength + 1];
  const DWORD length = GetPrivateProfileStringA(section.c_str(), ident.c_str(), defaultValue.c_str(), buffer,
                                                sizeof buffer, fileName_.c_str());
  return std::string(buffer, length);
}

void TIniFile::Write(const char* section, const char* ident, const char* value) {
  if (!WritePrivateProfileStringA(section, ident, value, fileName_.c_str())) {
    throw EIniFileException(SIniFileWriteError, {fileName_});
  }
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  if (value.size() > kMaxValueLength) throw EIniFileException(SIniFileWriteError, {fileName_});
  Write(section.c_str(), ident.c_str(), value.c_str());
}

std::int32_t TIniFile::ReadInteger(const std::string& section, const std::string& ident, std::int32_t defaultValue) {
  std::int32_t value = 0;
  return TryStrToInt(ReadString(section, ident, ""), value) ? value : defaultValue;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, std::int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

// The profile call's NUL-separated list, read into a buffer grown until it fits.
std::vector<std::string> TIniFile::Names(const char* section) {
  std::vector<char> buffer(16384);
  DWORD length = 0;
  for (;;) {
    const auto size = static_cast<DWORD>(buffer.size());
    length = GetPrivateProfileStringA(section, nullptr, nullptr, buffer.data(), size, fileName_.c_str());
    if (length != size - 2) break;
    buffer.resize(buffer.size() * 2);
  }
  std::vector<std::string> names;
  for (std::size_t at = 0; at < length;) {
    names.emplace_back(buffer.data() + at);
    at += names.back().size() + 1;
  }
  return names;
}

void TIniFile::ReadList(const char* section, TStrings& strings) {
  TStringsUpdate<std::string> update(strings);
  strings.Clear();
  for (const std::string& name : Names(section)) strings.Add(name);
}

void TIniFile::ReadSection(const std::string& section, TStrings& strings) { ReadList(section.c_str(), strings); }

void TIniFile::ReadSections(TStrings& strings) { ReadList(nullptr, strings); }

void TIniFile::ReadSectionValues(const std::string& section, TStrings& strings) {
  ReadSection(section, strings);
  TStringsUpdate<std::string> update(strings);
  for (int i = 0; i < strings.Count(); ++i) {
    const std::string key = strings.Strings(i);
    strings.Put(i, key + "=" + ReadString(section, key, ""));
  }
}

bool TIniFile::SectionExists(const std::string& section) { return !Names(section.c_str()).empty(); }

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) {
  const std::string wanted = platform::AnsiLowerCase(ident);
  for (const std::string& name : Names(section.c_str())) {
    if (platform::AnsiLowerCase(name) == wanted) return true;
  }
  return false;
}

void TIniFile::EraseSection(const std::string& section) { Write(section.c_str(), nullptr, nullptr); }

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  Write(section.c_str(), ident.c_str(), nullptr);
}

void TIniFile::UpdateFile() { Write(nullptr, nullptr, nullptr); }
