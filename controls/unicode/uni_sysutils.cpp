#include "controls/unicode/uni_sysutils.h"

#include <algorithm>

#include "controls/unicode/uni_windows.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/streams.h"
#include "platform/win/keyboard.h"

std::u16string UpperCaseWide(std::u16string_view s) { return platform::UpperCase(s); }

std::u16string LowerCaseWide(std::u16string_view s) { return platform::LowerCase(s); }

std::u16string WideTrim(std::u16string_view s) {
  std::size_t first = 0;
  std::size_t last = s.size();
  while (first < last && s[first] <= u' ') ++first;
  while (last > first && s[last - 1] <= u' ') --last;
  return std::u16string(s.substr(first, last - first));
}

std::u16string WideStringReplace(std::u16string_view s, std::u16string_view oldPattern,
                                 std::u16string_view newPattern, bool wholeWord, int flags) {
  const bool ignoreCase = flags & rfIgnoreCase;
  // Case mapping keeps lengths, so positions in the search text are positions in s.
  const std::u16string searchText = ignoreCase ? UpperCaseWide(s) : std::u16string(s);
  const std::u16string pattern = ignoreCase ? UpperCaseWide(oldPattern) : std::u16string(oldPattern);
  std::u16string result;
  std::size_t rest = 0;  // start of the remaining text
  while (rest < s.size()) {
    const std::size_t found = pattern.empty() ? std::u16string::npos : searchText.find(pattern, rest);
    if (found == std::u16string::npos) break;
    const std::size_t end = found + pattern.size();
    if (wholeWord) {
      const char16_t before = found > rest ? s[found - 1] : result.empty() ? u'\0' : result.back();
      const char16_t after = end < s.size() ? s[end] : u'\0';
      if (!IsWideWordDelimiter(before) || !IsWideWordDelimiter(after)) {
        result.append(s.substr(rest, end - rest));
        rest = end;
        continue;
      }
    }
    result.append(s.substr(rest, found - rest));
    result.append(newPattern);
    rest = end;
    if (!(flags & rfReplaceAll)) break;
  }
  result.append(s.substr(rest));
  return result;
}

WORD GetWideCharType(char16_t c, DWORD infoType) {
  WORD type = 0;
  Win32Check(WideGetStringTypeEx(GetThreadLocale(), infoType, &c, 1, &type));
  return type;
}

bool IsWideCharSpace(char16_t c) { return GetWideCharType(c, CT_CTYPE1) & C1_SPACE; }

bool IsWideCharPunct(char16_t c) { return GetWideCharType(c, CT_CTYPE1) & C1_PUNCT; }

bool IsWideWordDelimiter(char16_t c) { return c == u'\0' || (GetWideCharType(c, CT_CTYPE1) & (C1_SPACE | C1_PUNCT)); }

int WideLastDelimiter(std::u16string_view delimiters, std::u16string_view s) {
  for (std::size_t i = s.size(); i > 0; --i) {
    const char16_t c = s[i - 1];
    if (c != u'\0' && delimiters.find(c) != std::u16string_view::npos) return static_cast<int>(i);
  }
  return 0;
}

HANDLE WideFileCreate(std::u16string_view name) {
  const std::u16string terminated(name);
  return WideCreateFile(terminated.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, 0);
}

HANDLE WideFileOpen(std::u16string_view name, WORD mode) {
  DWORD access = 0, shareMode = 0;
  if (!FileModeToAccess(mode, access, shareMode)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::u16string terminated(name);
  return WideCreateFile(terminated.c_str(), access, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
}

std::u16string WideExpandFileName(std::u16string_view name) {
  const std::u16string terminated(name);
  std::u16string buffer(MAX_PATH, u'\0');
  char16_t* filePart = nullptr;
  DWORD length = WideGetFullPathName(terminated.c_str(), MAX_PATH, buffer.data(), &filePart);
  if (length >= buffer.size()) {
    buffer.assign(length, u'\0');
    length = WideGetFullPathName(terminated.c_str(), length, buffer.data(), &filePart);
  }
  buffer.resize(length < buffer.size() ? length : 0);
  return buffer;
}

std::u16string WideSysErrorMessage(DWORD code) { return WideModuleErrorMessage(u"system", 0, code); }

std::u16string WideModuleErrorMessage(std::u16string_view moduleName, HMODULE module, DWORD code) {
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
  if (module != 0) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  char16_t buffer[256];
  const DWORD length = FormatMessageW(flags, nullptr, code, 0, buffer, 256, nullptr);
  std::u16string text(buffer, length);
  const auto printable = [](char16_t c) { return c >= 33; };
  if (std::none_of(text.begin(), text.end(), printable)) {
    return u"Unspecified error (" + platform::AnsiToWide(std::to_string(code)) + u") from " +
           std::u16string(moduleName) + u".";
  }
  return text;
}

int WideGetHotKeyPos(std::u16string_view caption) {
  int position = 0;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (i + 1 < caption.size() && caption[i + 1] != u'&') position = static_cast<int>(i + 2);
    ++i;  // the character after "&" is taken, "&&" as a whole
  }
  return position;
}

std::u16string WideGetHotKey(std::u16string_view caption) {
  const int position = WideGetHotKeyPos(caption);
  return position == 0 ? std::u16string() : std::u16string(1, caption[static_cast<std::size_t>(position - 1)]);
}

std::u16string WideStripHotKey(std::u16string_view text) {
  std::u16string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (++i == text.size()) break;
    }
    result.push_back(text[i]);
  }
  return result;
}

bool WideSameCaption(std::u16string_view a, std::u16string_view b) {
  return UpperCaseWide(WideStripHotKey(a)) == UpperCaseWide(WideStripHotKey(b));
}

bool WideSameCaptionStr(std::u16string_view a, std::u16string_view b) {
  return WideStripHotKey(a) == WideStripHotKey(b);
}

namespace {

// The key's name on the current layout: the character it types for digits, letters
// and the number pad (a digit key that types another character still shows its
// digit), else the system's name of the key.
std::u16string WideKeyName(int key) {
  bool typed = (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= 0x60 && key <= 0x69);
  if (typed) {
    auto character = static_cast<char16_t>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR));
    if (key >= '0' && key <= '9' && character != key && (VkKeyScanW(static_cast<char16_t>(key)) & 0xFF) == key) {
      character = static_cast<char16_t>(key);
    }
    return character ? std::u16string(1, character) : std::u16string();
  }
  char16_t name[256];
  UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  int length = GetKeyNameTextW(static_cast<LONG>(scan << 16), name, 256);
  return std::u16string(name, std::max(length, 0));
}

bool HasFixedText(int key) {
  return key == 8 || key == 9 || key == 13 || key == 27 || (key >= 32 && key <= 40) || key == 45 || key == 46 ||
         (key >= 112 && key <= 135);
}

}  // namespace

std::u16string WideShortCutToText(WORD shortCut) {
  int key = shortCut & 0xFF;
  if (HasFixedText(key)) return platform::AnsiToWide(ShortCutToText(shortCut));
  std::u16string name = WideKeyName(key);
  if (name.empty()) return {};
  std::u16string prefix;
  if (shortCut & scShift) prefix += u"Shift+";
  if (shortCut & scCtrl) prefix += u"Ctrl+";
  if (shortCut & scAlt) prefix += u"Alt+";
  return prefix + name;
}
