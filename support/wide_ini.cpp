#include "support/wide_ini.h"

#include "platform/base/text.h"
#include "platform/kernel/version.h"

bool IsWinNT() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

TIniFileW::TIniFileW(const std::string& fileName) : TIniFile(fileName), IsNT(IsWinNT()) {}

std::string TIniFileW::Encode(const std::u16string& text) const {
  return IsNT ? WideStrToUTF8(text) : platform::WideToAnsi(text);
}

std::u16string TIniFileW::Decode(const std::string& text) const {
  return IsNT ? UTF8ToWideStr(text) : platform::AnsiToWide(text);
}

std::u16string TIniFileW::ReadString(const std::u16string& section, const std::u16string& key,
                                     const std::u16string& defaultValue) {
  if (section.empty() || key.empty()) return std::u16string();
  return Decode(TIniFile::ReadString(Encode(section), Encode(key), Encode(defaultValue)));
}

void TIniFileW::WriteString(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
  if (section.empty() || key.empty()) return;
  TIniFile::WriteString(Encode(section), Encode(key), Encode(value));
}

std::u16string UTF8ToWideStr(const std::string& text) {
  if (text.empty()) return std::u16string();
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (needed <= 1) return std::u16string();
  std::u16string result(static_cast<std::size_t>(needed - 1), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), needed);
  return result;
}

std::string WideStrToUTF8(const std::u16string& text) {
  if (text.empty()) return std::string();
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 1) return std::string();
  std::string result(static_cast<std::size_t>(needed - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), needed, nullptr, nullptr);
  return result;
}
