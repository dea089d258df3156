#include "platform/fs/profile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/fs/names.h"
#include "platform/fs/special_folders.h"
#include "platform/fs/whole_files.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

std::mutex& ProfileLock() {
  static std::mutex lock;
  return lock;
}

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Folded(x) == Folded(y);
         });
}

// One ini file as lines, with where each section and key stands.
struct Line {
  std::string text;
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;  // the trimmed section or key name
  std::string_view Value() const { return std::string_view(text).substr(text.find('=') + 1); }
};

struct Profile {
  std::string prefix;  // a byte-order mark, kept as found
  std::vector<Line> lines;
};

Line Classify(std::string text) {
  Line line;
  line.text = std::move(text);
  const std::string_view trimmed = Trim(line.text);
  if (!trimmed.empty() && trimmed.front() == '[') {
    const std::size_t close = trimmed.find(']');
    line.kind = Line::kSection;
    line.name = Trim(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  } else if (!trimmed.empty() && trimmed.front() != ';' && line.text.find('=') != std::string::npos) {
    line.kind = Line::kKey;
    line.name = Trim(std::string_view(line.text).substr(0, line.text.find('=')));
  }
  return line;
}

Profile Parse(std::string_view bytes) {
  Profile profile;
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    profile.prefix = kByteOrderMark;
    bytes.remove_prefix(kByteOrderMark.size());
  }
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    std::string_view text = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    profile.lines.push_back(Classify(std::string(text)));
  }
  return profile;
}

std::string Serialise(const Profile& profile) {
  std::string bytes = profile.prefix;
  for (const Line& line : profile.lines) bytes += line.text + "\r\n";
  return bytes;
}

// The native name: a bare file name lies in the platform folder.
bool ProfilePath(const char* fileName, std::string& native) {
  if (!platform::AnsiNameToNative(fileName, native) || native.empty()) return false;
  if (native.find(platform::kPathDelimiter) == std::string::npos) {
    native = (platform::SpecialFolderPath(platform::SpecialFolder::kWindows) / native).string();
  }
  return true;
}

// The lines of the first section of that name: [begin, end) after its header.
struct Range {
  std::size_t header, begin, end;
};

std::optional<Range> FindSection(const Profile& profile, std::string_view section) {
  for (std::size_t i = 0; i < profile.lines.size(); ++i) {
    if (profile.lines[i].kind != Line::kSection || !SameName(profile.lines[i].name, section)) continue;
    std::size_t end = i + 1;
    while (end < profile.lines.size() && profile.lines[end].kind != Line::kSection) ++end;
    return Range{i, i + 1, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const Profile& profile, const Range& range, std::string_view key) {
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (profile.lines[i].kind == Line::kKey && SameName(profile.lines[i].name, key)) return i;
  }
  return std::nullopt;
}

std::string_view Unquoted(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

void AddUnique(std::vector<std::string>& names, const std::string& name) {
  for (const std::string& known : names) {
    if (SameName(known, name)) return;
  }
  names.push_back(name);
}

DWORD CopyValue(std::string_view value, char* returned, DWORD size) {
  if (returned == nullptr || size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(value.size(), size - 1);
  if (count > 0) std::memcpy(returned, value.data(), count);
  returned[count] = '\0';
  return static_cast<DWORD>(count);
}

DWORD CopyList(const std::vector<std::string>& names, char* returned, DWORD size) {
  if (returned == nullptr || size == 0) return 0;
  if (size == 1) return returned[0] = '\0', 0;
  std::string list;
  for (const std::string& name : names) list += name + '\0';
  if (list.size() + 1 <= size) {
    std::memcpy(returned, list.data(), list.size());
    returned[list.size()] = '\0';
    return static_cast<DWORD>(list.empty() ? 0 : list.size());
  }
  std::memcpy(returned, list.data(), size - 2);
  returned[size - 2] = '\0';
  returned[size - 1] = '\0';
  return size - 2;
}

bool HasLineBreak(const char* text) { return text && std::strpbrk(text, "\r\n") != nullptr; }

bool Writable(const char* section, const char* key, const char* value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  if (std::strchr(section, ']') != nullptr || Trim(section).empty()) return false;
  return key == nullptr || (std::strchr(key, '=') == nullptr && !Trim(key).empty());
}

void Change(Profile& profile, std::string_view section, const char* key, const char* value) {
  std::optional<Range> range = FindSection(profile, section);
  if (key == nullptr) {
    while (range) {
      profile.lines.erase(profile.lines.begin() + static_cast<std::ptrdiff_t>(range->header),
                          profile.lines.begin() + static_cast<std::ptrdiff_t>(range->end));
      range = FindSection(profile, section);
    }
    return;
  }
  // A plain index (not an optional) keeps g++'s release build free of a false
  // "may be used uninitialized" warning.
  constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);
  const std::size_t at = range ? FindKey(profile, *range, key).value_or(kNoLine) : kNoLine;
  if (value == nullptr) {
    if (at != kNoLine) profile.lines.erase(profile.lines.begin() + static_cast<std::ptrdiff_t>(at));
    return;
  }
  Line line = Classify(std::string(key) + "=" + value);
  if (at != kNoLine) {
    profile.lines[at] = std::move(line);
    return;
  }
  if (!range) {
    if (!profile.lines.empty() && !Trim(profile.lines.back().text).empty()) profile.lines.push_back(Classify(""));
    profile.lines.push_back(Classify("[" + std::string(section) + "]"));
    profile.lines.push_back(std::move(line));
    return;
  }
  std::size_t insert = range->end;
  while (insert > range->begin && Trim(profile.lines[insert - 1].text).empty()) --insert;
  profile.lines.insert(profile.lines.begin() + static_cast<std::ptrdiff_t>(insert), std::move(line));
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* returned,
                               DWORD size, const char* fileName) {
  if (platform::faults::ShouldFail("GetPrivateProfileStringA")) return 0;
  std::string native;
  std::optional<std::string> bytes;
  if (ProfilePath(fileName, native)) {
    std::lock_guard guard(ProfileLock());
    bytes = platform::ReadWholeFile(native);
  }
  const Profile profile = Parse(bytes.value_or(std::string()));
  if (section == nullptr) {
    std::vector<std::string> names;
    for (const Line& line : profile.lines) {
      if (line.kind == Line::kSection) AddUnique(names, line.name);
    }
    return CopyList(names, returned, size);
  }
  const std::optional<Range> range = FindSection(profile, Trim(section));
  if (key == nullptr) {
    std::vector<std::string> names;
    for (std::size_t i = range ? range->begin : 0; range && i < range->end; ++i) {
      if (profile.lines[i].kind == Line::kKey) AddUnique(names, profile.lines[i].name);
    }
    return CopyList(names, returned, size);
  }
  const std::optional<std::size_t> at = range ? FindKey(profile, *range, Trim(key)) : std::nullopt;
  if (at) {
    SetLastError(ERROR_SUCCESS);
    return CopyValue(Unquoted(profile.lines[*at].Value()), returned, size);
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  std::string_view fallback = defaultValue ? defaultValue : "";
  return CopyValue(fallback.substr(0, fallback.find_last_not_of(' ') + 1), returned, size);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName) {
  if (platform::faults::ShouldFail("WritePrivateProfileStringA")) return FALSE;
  std::string native;
  if (!ProfilePath(fileName, native)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (section == nullptr) return TRUE;
  if (!Writable(section, key, value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(ProfileLock());
  std::optional<std::string> bytes = platform::ReadWholeFile(native);
  if (!bytes) return FALSE;
  Profile profile = Parse(*bytes);
  const std::string before = Serialise(profile);
  const std::string trimmedKey(key ? Trim(key) : std::string_view());
  Change(profile, Trim(section), key ? trimmedKey.c_str() : nullptr, value);
  const std::string after = Serialise(profile);
  if (after == before) return TRUE;  // nothing to delete: the file stays as it is
  return platform::WriteWholeFile(native, after) ? TRUE : FALSE;
}
