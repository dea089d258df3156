#include "platform/fs/find.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/handles.h"
#include "platform/fs/entries.h"
#include "platform/fs/names.h"

namespace {

class Search : public platform::KernelObject {
 public:
  std::vector<WIN32_FIND_DATAA> entries;
  std::size_t next = 0;
};

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Wildcard match without case for ASCII letters; "*" matches any run, "?" one byte.
bool Matches(std::string_view mask, std::string_view name) {
  std::size_t m = 0, n = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Folded(mask[m]) == Folded(name[n]))) {
      ++m, ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// A mask ending in ".*" also matches names without a dot, as "*.*" matches all.
bool MaskMatches(std::string_view mask, std::string_view name) {
  if (Matches(mask, name)) return true;
  return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && name.find('.') == std::string_view::npos &&
         Matches(mask.substr(0, mask.size() - 2), name);
}

FILETIME ToFileTime(const struct timespec& time) {
  constexpr std::uint64_t kSecondsFrom1601To1970 = 11644473600ULL;
  const std::uint64_t ticks = (static_cast<std::uint64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000ULL +
                              static_cast<std::uint64_t>(time.tv_nsec) / 100;
  return {static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

bool Describe(const std::string& folder, const std::string& name, WIN32_FIND_DATAA& data) {
  // A name without an 8-bit form is passed over: no 8-bit call could open it.
  std::string ansiName;
  if (!platform::NativeToAnsiName(name, ansiName) || ansiName.size() >= MAX_PATH) return false;
  const std::string native = folder + platform::kPathDelimiter + name;
  struct stat info {};
  const DWORD attributes = platform::NativeAttributes(native);
  if (attributes == INVALID_FILE_ATTRIBUTES || lstat(native.c_str(), &info) != 0) return false;
  data = WIN32_FIND_DATAA{};
  data.dwFileAttributes = attributes;
  data.ftCreationTime = ToFileTime(info.st_ctim);
  data.ftLastAccessTime = ToFileTime(info.st_atim);
  data.ftLastWriteTime = ToFileTime(info.st_mtim);
  const auto size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
  std::memcpy(data.cFileName, ansiName.c_str(), ansiName.size() + 1);
  return true;
}

void Deliver(Search& search, WIN32_FIND_DATAA* findFileData) { *findFileData = search.entries[search.next++]; }

}  // namespace

HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findFileData) {
  if (platform::faults::ShouldFail("FindFirstFileA")) return INVALID_HANDLE_VALUE;
  std::string pattern;
  if (!platform::AnsiNameToNative(fileName, pattern) || findFileData == nullptr || pattern.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::size_t slash = pattern.rfind(platform::kPathDelimiter);
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : pattern.substr(0, slash);
  const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : platform::ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(directory)) {
    if (MaskMatches(mask, entry->d_name)) names.emplace_back(entry->d_name);
  }
  closedir(directory);
  std::sort(names.begin(), names.end());
  auto search = std::make_shared<Search>();
  for (const std::string& name : names) {
    WIN32_FIND_DATAA data;
    if (Describe(folder == "/" ? "" : folder, name, data)) search->entries.push_back(data);
  }
  if (search->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  Deliver(*search, findFileData);
  SetLastError(ERROR_SUCCESS);
  return platform::OpenHandle(search);
}

BOOL FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findFileData) {
  if (platform::faults::ShouldFail("FindNextFileA")) return FALSE;
  auto search = platform::HandleObjectAs<Search>(findFile);
  if (!search) return FALSE;
  if (findFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (search->next >= search->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  Deliver(*search, findFileData);
  return TRUE;
}

BOOL FindClose(HANDLE findFile) {
  if (!platform::HandleObjectAs<Search>(findFile)) return FALSE;
  return CloseHandle(findFile);
}
