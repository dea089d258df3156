#include "platform/fs/paths.h"

#include <string>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/fs/entries.h"
#include "platform/fs/names.h"
#include "platform/fs/special_folders.h"

namespace {

DWORD SamePath(const char* operation, const char* source, char* buffer, DWORD bufferLength) {
  if (platform::faults::ShouldFail(operation)) return 0;
  std::string native;
  if (!platform::AnsiNameToNative(source, native)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (platform::NativeAttributes(native) == INVALID_FILE_ATTRIBUTES) return 0;
  const std::string path(source);  // copied first: the buffer may be the source
  return platform::CopyToBuffer(path, buffer, bufferLength);
}

}  // namespace

DWORD GetTempPathA(DWORD bufferLength, char* buffer) {
  if (platform::faults::ShouldFail("GetTempPathA")) return 0;
  const std::string folder = platform::SpecialFolderPath(platform::SpecialFolder::kTemp).string();
  if (folder.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  std::string ansi;
  if (!platform::NativeToAnsiName(folder, ansi)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (ansi.back() != platform::kPathDelimiter) ansi += platform::kPathDelimiter;
  return platform::CopyToBuffer(ansi, buffer, bufferLength);
}

DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD bufferLength) {
  return SamePath("GetLongPathNameA", shortPath, longPath, bufferLength);
}

DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD bufferLength) {
  return SamePath("GetShortPathNameA", longPath, shortPath, bufferLength);
}
