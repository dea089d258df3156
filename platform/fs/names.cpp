#include "platform/fs/names.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/base/errors.h"
#include "platform/base/text.h"

namespace platform {
namespace {

std::string WithNativeSeparators(std::string name) {
  for (char& c : name) {
    if (c == '\\') c = kPathDelimiter;
  }
  return name;
}

}  // namespace

bool AnsiNameToNative(const char* name, std::string& native) {
  if (name == nullptr) return false;
  native = WithNativeSeparators(AnsiToUtf8(name));
  return true;
}

bool WideNameToNative(const char16_t* name, std::string& native) {
  if (name == nullptr) return false;
  std::u16string_view wide(name);
  std::string utf8 = WideToUtf8(wide);
  if (Utf8ToWide(utf8) != wide) return false;
  native = WithNativeSeparators(std::move(utf8));
  return true;
}

DWORD NameError(int errorNumber, const std::string& native) {
  if (errorNumber == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  if (errorNumber != ENOENT) return ErrorFromErrno(errorNumber);
  std::string folder = std::filesystem::path(native).parent_path().string();
  if (folder.empty()) return ERROR_FILE_NOT_FOUND;
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD CopyToBuffer(std::string_view text, char* buffer, DWORD size) {
  if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<DWORD>(text.size());
}

}  // namespace platform
