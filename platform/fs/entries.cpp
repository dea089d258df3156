#include "platform/fs/entries.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/fs/names.h"
#include "platform/fs/restart_list.h"

namespace {

constexpr const char* kAttributeName = "user.pellix.attributes";
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL Answer(DWORD error) {
  SetLastError(error);
  return error == ERROR_SUCCESS ? TRUE : FALSE;
}

bool ToNative(const char* name, std::string& native) { return platform::AnsiNameToNative(name, native); }
bool ToNative(const char16_t* name, std::string& native) { return platform::WideNameToNative(name, native); }

// The native name of a call's argument (8-bit or wide), unless the call is planned to
// fail.
template <typename Char>
bool Prepare(const char* operation, const Char* name, std::string& native) {
  if (platform::faults::ShouldFail(operation)) return false;
  if (!ToNative(name, native)) {
    SetLastError(name == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME);
    return false;
  }
  if (native.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

// The entry itself, or, for a name ending in a separator, what it resolves to.
bool Inspect(const std::string& native, struct stat& info) {
  const bool throughLink = native.back() == platform::kPathDelimiter;
  if ((throughLink ? stat(native.c_str(), &info) : lstat(native.c_str(), &info)) == 0) return true;
  SetLastError(platform::NameError(errno, native));
  return false;
}

DWORD KeptAttributes(const std::string& native) {
  char text[16] = {};
  const ssize_t size = lgetxattr(native.c_str(), kAttributeName, text, sizeof text - 1);
  if (size <= 0) return 0;
  return static_cast<DWORD>(std::strtoul(text, nullptr, 10)) & kKeptAttributes;
}

DWORD StoreKeptAttributes(const std::string& native, DWORD kept) {
  if (kept == 0) {
    if (removexattr(native.c_str(), kAttributeName) != 0 && errno != ENODATA && errno != ENOTSUP) {
      return platform::ErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
  }
  const std::string text = std::to_string(kept);
  if (setxattr(native.c_str(), kAttributeName, text.data(), text.size(), 0) != 0) {
    return platform::ErrorFromErrno(errno);
  }
  return ERROR_SUCCESS;
}

bool IsReadOnly(const struct stat& info) { return !S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0; }

DWORD Rename(const std::string& from, const std::string& to, bool replace) {
  const int result = replace ? rename(from.c_str(), to.c_str())
                             : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (result == 0) return ERROR_SUCCESS;
  return errno == ENOENT ? platform::NameError(errno, to) : platform::ErrorFromErrno(errno);
}

// The folder that holds a name, made durable after a rename in it.
void SyncFolderOf(const std::string& native) {
  const std::string folder = std::filesystem::path(native).parent_path().string();
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// A rename or deletion that waits for the restart keeps full names: the program
// may start again from another folder.
template <typename Char>
BOOL Schedule(const std::string& from, const Char* newFileName) {
  std::string to;
  if (newFileName != nullptr && !ToNative(newFileName, to)) return Fail(ERROR_INVALID_PARAMETER);
  std::error_code ignored;
  const std::string fullTo = to.empty() ? to : std::filesystem::absolute(to, ignored).string();
  return platform::ScheduleAtRestart({std::filesystem::absolute(from, ignored).string(), fullTo}) ? TRUE : FALSE;
}

}  // namespace

DWORD GetFileAttributesA(const char* fileName) {
  std::string native;
  if (!Prepare("GetFileAttributesA", fileName, native)) return INVALID_FILE_ATTRIBUTES;
  return platform::NativeAttributes(native);
}

DWORD platform::NativeAttributes(const std::string& native) {
  struct stat info {};
  if (native.empty() || !Inspect(native, info)) return INVALID_FILE_ATTRIBUTES;
  DWORD attributes = KeptAttributes(native);
  if (S_ISLNK(info.st_mode)) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  if (S_ISDIR(info.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (IsReadOnly(info)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL SetFileAttributesA(const char* fileName, DWORD attributes) {
  std::string native;
  struct stat info {};
  if (!Prepare("SetFileAttributesA", fileName, native) || !Inspect(native, info)) return FALSE;
  if (S_ISLNK(info.st_mode)) return Fail(ERROR_NOT_SUPPORTED);
  const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (info.st_mode & ~mode_t{0222})
                                                             : (info.st_mode | S_IWUSR);
  if ((mode & 07777) != (info.st_mode & 07777) && chmod(native.c_str(), mode & 07777) != 0) {
    return Fail(platform::ErrorFromErrno(errno));
  }
  return Answer(StoreKeptAttributes(native, attributes & kKeptAttributes));
}

template <typename Char>
BOOL DeleteFileOf(const char* operation, const Char* fileName) {
  std::string native;
  struct stat info {};
  if (!Prepare(operation, fileName, native) || !Inspect(native, info)) return FALSE;
  if (S_ISDIR(info.st_mode) || IsReadOnly(info)) return Fail(ERROR_ACCESS_DENIED);
  return Answer(platform::WithDeleteAccess(native, [&] {
    return unlink(native.c_str()) == 0 ? ERROR_SUCCESS : platform::ErrorFromErrno(errno);
  }));
}

BOOL DeleteFileA(const char* fileName) { return DeleteFileOf("DeleteFileA", fileName); }
BOOL DeleteFileW(const char16_t* fileName) { return DeleteFileOf("DeleteFileW", fileName); }

BOOL MoveFileA(const char* existingFileName, const char* newFileName) {
  if (platform::faults::ShouldFail("MoveFileA")) return FALSE;
  return MoveFileExA(existingFileName, newFileName, MOVEFILE_COPY_ALLOWED);
}

// A file that is replaced is removed as much as the one that moves: every handle of
// either must share deletion.
template <typename Char>
BOOL MoveFileExOf(const char* operation, const Char* existingFileName, const Char* newFileName, DWORD flags) {
  std::string from;
  if (!Prepare(operation, existingFileName, from)) return FALSE;
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) return Schedule(from, newFileName);
  std::string to;
  if (newFileName == nullptr || !ToNative(newFileName, to) || to.empty()) return Fail(ERROR_INVALID_PARAMETER);
  struct stat info {};
  if (!Inspect(from, info)) return FALSE;
  const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
  struct stat target {};
  const bool replacing = replace && lstat(to.c_str(), &target) == 0;
  if (replacing && (S_ISDIR(target.st_mode) || IsReadOnly(target))) return Fail(ERROR_ACCESS_DENIED);
  if (replacing && info.st_dev == target.st_dev && info.st_ino == target.st_ino) {
    // Two names of one file: rename would keep both, and guarding the file twice
    // would wait on itself. The moving name goes; the file stays under the new one.
    return Answer(platform::WithDeleteAccess(from, [&] {
      return unlink(from.c_str()) == 0 ? ERROR_SUCCESS : platform::ErrorFromErrno(errno);
    }));
  }
  const DWORD error = platform::WithDeleteAccess(from, [&] {
    if (!replacing || S_ISLNK(target.st_mode)) return Rename(from, to, replace);
    return platform::WithDeleteAccess(to, [&] { return Rename(from, to, replace); });
  });
  if (error == ERROR_SUCCESS && (flags & MOVEFILE_WRITE_THROUGH)) SyncFolderOf(to);
  return Answer(error);
}

BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
  return MoveFileExOf("MoveFileExA", existingFileName, newFileName, flags);
}

BOOL MoveFileExW(const char16_t* existingFileName, const char16_t* newFileName, DWORD flags) {
  return MoveFileExOf("MoveFileExW", existingFileName, newFileName, flags);
}

BOOL CreateHardLinkA(const char* fileName, const char* existingFileName, SECURITY_ATTRIBUTES* /*securityAttributes*/) {
  std::string to;
  std::string from;
  if (!Prepare("CreateHardLinkA", fileName, to)) return FALSE;
  if (!ToNative(existingFileName, from) || from.empty()) return Fail(ERROR_INVALID_PARAMETER);
  if (link(from.c_str(), to.c_str()) == 0) return Answer(ERROR_SUCCESS);
  return Fail(errno == ENOENT ? platform::NameError(errno, from) : platform::ErrorFromErrno(errno));
}

BOOL CreateDirectoryA(const char* pathName, SECURITY_ATTRIBUTES* /*securityAttributes*/) {
  std::string native;
  if (!Prepare("CreateDirectoryA", pathName, native)) return FALSE;
  if (mkdir(native.c_str(), 0700) == 0) return Answer(ERROR_SUCCESS);
  return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : platform::NameError(errno, native));
}

BOOL RemoveDirectoryA(const char* pathName) {
  std::string native;
  struct stat info {};
  if (!Prepare("RemoveDirectoryA", pathName, native) || !Inspect(native, info)) return FALSE;
  if (!S_ISDIR(info.st_mode)) return Fail(ERROR_DIRECTORY);
  if (rmdir(native.c_str()) == 0) return Answer(ERROR_SUCCESS);
  return Fail(platform::ErrorFromErrno(errno == EEXIST ? ENOTEMPTY : errno));
}
