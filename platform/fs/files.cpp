#include "platform/fs/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/file_lock.h"
#include "platform/base/text.h"
#include "platform/fs/names.h"

namespace {

// ---- sharing ----

// Each handle that reads, writes or deletes marks what it does and what it denies
// others with shared open-file-description locks on bytes far beyond any real data.
// Such locks belong to one open of the file, so they separate two handles of this
// process as well as two processes, and they vanish with the descriptor. A whole-file
// lock held only while checking and marking makes the two steps one.
constexpr off_t kLockBase = 0x7FFFFFFF00000000;
enum Right { kRead = 0, kWrite = 1, kDelete = 2, kRightCount = 3 };
constexpr off_t HasByte(int right) { return kLockBase + right; }
constexpr off_t DeniesByte(int right) { return kLockBase + kRightCount + right; }

struct flock OneByte(short type, off_t offset) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = 1;
  return lock;
}

bool ByteIsLockedByOthers(int fd, off_t offset) {
  struct flock lock = OneByte(F_WRLCK, offset);
  return fcntl(fd, F_OFD_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
}

bool MarkByte(int fd, off_t offset) {
  struct flock lock = OneByte(F_RDLCK, offset);
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Answers ERROR_SUCCESS after marking the rights of this open, or the error.
DWORD JoinSharing(int fd, const bool (&wants)[kRightCount], DWORD shareMode) {
  const bool shares[kRightCount] = {(shareMode & FILE_SHARE_READ) != 0, (shareMode & FILE_SHARE_WRITE) != 0,
                                    (shareMode & FILE_SHARE_DELETE) != 0};
  if (!wants[kRead] && !wants[kWrite] && !wants[kDelete]) return ERROR_SUCCESS;
  platform::FileLock wholeFile = platform::FileLock::OnDescriptor(fd);
  std::scoped_lock hold(wholeFile);
  for (int right = 0; right < kRightCount; ++right) {
    if (wants[right] && ByteIsLockedByOthers(fd, DeniesByte(right))) return ERROR_SHARING_VIOLATION;
    if (!shares[right] && ByteIsLockedByOthers(fd, HasByte(right))) return ERROR_SHARING_VIOLATION;
  }
  for (int right = 0; right < kRightCount; ++right) {
    if ((wants[right] && !MarkByte(fd, HasByte(right))) || (!shares[right] && !MarkByte(fd, DeniesByte(right)))) {
      return platform::ErrorFromErrno(errno);
    }
  }
  return ERROR_SUCCESS;
}

// ---- the file object ----

class FileObject : public platform::KernelObject {
 public:
  FileObject(int fd, bool canRead, bool canWrite, std::string deleteOnClose)
      : fd(fd), canRead(canRead), canWrite(canWrite), deleteOnClose_(std::move(deleteOnClose)) {}
  ~FileObject() override {
    if (!deleteOnClose_.empty()) RemoveIfStillThisFile();
    close(fd);
  }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  const int fd;
  const bool canRead;
  const bool canWrite;

 private:
  void RemoveIfStillThisFile() {
    struct stat mine {}, named {};
    if (fstat(fd, &mine) == 0 && stat(deleteOnClose_.c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
        mine.st_ino == named.st_ino) {
      unlink(deleteOnClose_.c_str());
    }
  }
  std::string deleteOnClose_;
};

// Closes a descriptor on the failure paths of CreateFile.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

int OpenRetryingInterrupts(const std::string& path, int flags) {
  int fd;
  do {
    fd = open(path.c_str(), flags, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens the file as the disposition says; existed tells whether it was there before.
int OpenForDisposition(const std::string& path, int baseFlags, DWORD disposition, bool& existed, DWORD& error) {
  for (;;) {
    existed = true;
    if (disposition == CREATE_NEW) {
      existed = false;
      int fd = OpenRetryingInterrupts(path, baseFlags | O_CREAT | O_EXCL);
      if (fd < 0) error = errno == EEXIST ? ERROR_FILE_EXISTS : platform::NameError(errno, path);
      return fd;
    }
    int fd = OpenRetryingInterrupts(path, baseFlags);
    if (fd >= 0 || errno != ENOENT || disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      if (fd < 0) error = platform::NameError(errno, path);
      return fd;
    }
    existed = false;
    fd = OpenRetryingInterrupts(path, baseFlags | O_CREAT | O_EXCL);
    if (fd >= 0 || errno != EEXIST) {
      if (fd < 0) error = platform::NameError(errno, path);
      return fd;
    }
    // Made by someone else in between: open it as an existing file.
  }
}

HANDLE CreateFileNative(const std::string& path, DWORD access, DWORD shareMode, DWORD disposition, DWORD flags,
                        HANDLE templateFile) {
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return Fail(ERROR_INVALID_PARAMETER);
  if ((flags & FILE_FLAG_OVERLAPPED) || templateFile != 0) return Fail(ERROR_NOT_SUPPORTED);
  if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  if (flags & FILE_FLAG_DELETE_ON_CLOSE) access |= DELETE;
  bool wants[kRightCount] = {(access & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL | FILE_READ_DATA | FILE_EXECUTE)) != 0,
                             (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0,
                             (access & (GENERIC_ALL | DELETE)) != 0};
  const bool appendOnly = (access & FILE_APPEND_DATA) && !(access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA));
  if (disposition == TRUNCATE_EXISTING && !wants[kWrite]) return Fail(ERROR_INVALID_PARAMETER);

  int baseFlags = O_CLOEXEC | O_NOCTTY | (wants[kWrite] ? O_RDWR : O_RDONLY);
  if (appendOnly) baseFlags |= O_APPEND;
  if (flags & FILE_FLAG_WRITE_THROUGH) baseFlags |= O_DSYNC;
  bool existed = false;
  DWORD error = ERROR_SUCCESS;
  int fd = OpenForDisposition(path, baseFlags, disposition, existed, error);
  if (fd < 0) return Fail(error);
  Descriptor guard(fd);
  struct stat info {};
  if (fstat(fd, &info) != 0) return Fail(platform::ErrorFromErrno(errno));
  if (S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  error = JoinSharing(fd, wants, shareMode);
  if (error != ERROR_SUCCESS) return Fail(error);
  const bool empties = existed && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
  if (empties && info.st_size != 0) {
    const int result = wants[kWrite] ? ftruncate(fd, 0) : ::truncate(path.c_str(), 0);
    if (result != 0) return Fail(platform::ErrorFromErrno(errno));
  }
  HANDLE handle = platform::OpenHandle(std::make_shared<FileObject>(
      guard.Release(), wants[kRead], wants[kWrite], (flags & FILE_FLAG_DELETE_ON_CLOSE) ? path : std::string()));
  const bool reportExisting = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

// The open file of a handle, unless the call is planned to fail.
std::shared_ptr<FileObject> FileFor(std::string_view operation, HANDLE handle) {
  if (platform::faults::ShouldFail(operation)) return nullptr;
  return platform::HandleObjectAs<FileObject>(handle);
}

BOOL FailBool(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// ---- full path names ----

std::string FullNativePath(const std::string& name) {
  std::string path = name;
  if (path.empty() || path[0] != '/') {
    std::error_code ignored;
    path = std::filesystem::current_path(ignored).string() + "/" + path;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string full;
  for (const std::string& part : parts) full += "/" + part;
  if (full.empty() || path.back() == '/') full += "/";
  return full;
}

template <typename Char>
DWORD CopyFullPath(const std::basic_string<Char>& full, DWORD bufferLength, Char* buffer, Char** filePart) {
  if (filePart) *filePart = nullptr;
  if (bufferLength <= full.size() || buffer == nullptr) return static_cast<DWORD>(full.size() + 1);
  std::char_traits<Char>::copy(buffer, full.c_str(), full.size() + 1);
  const std::size_t slash = full.rfind(Char('/'));
  if (filePart && slash + 1 < full.size()) *filePart = buffer + slash + 1;
  return static_cast<DWORD>(full.size());
}

}  // namespace

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES* /*security*/,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
  if (platform::faults::ShouldFail("CreateFileA")) return INVALID_HANDLE_VALUE;
  std::string path;
  if (!platform::AnsiNameToNative(fileName, path)) return Fail(ERROR_INVALID_PARAMETER);
  return CreateFileNative(path, desiredAccess, shareMode, creationDisposition, flagsAndAttributes, templateFile);
}

HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES* /*security*/,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
  if (platform::faults::ShouldFail("CreateFileW")) return INVALID_HANDLE_VALUE;
  if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string path;
  if (!platform::WideNameToNative(fileName, path)) return Fail(ERROR_INVALID_NAME);
  return CreateFileNative(path, desiredAccess, shareMode, creationDisposition, flagsAndAttributes, templateFile);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, OVERLAPPED* overlapped) {
  if (bytesRead) *bytesRead = 0;
  auto object = FileFor("ReadFile", file);
  if (!object) return FALSE;
  if (overlapped) return FailBool(ERROR_NOT_SUPPORTED);
  if (bytesRead == nullptr || (buffer == nullptr && bytesToRead > 0)) return FailBool(ERROR_INVALID_PARAMETER);
  if (!object->canRead) return FailBool(ERROR_ACCESS_DENIED);
  char* at = static_cast<char*>(buffer);
  while (*bytesRead < bytesToRead) {
    ssize_t got = read(object->fd, at + *bytesRead, bytesToRead - *bytesRead);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return FailBool(platform::ErrorFromErrno(errno));
    if (got == 0) break;
    *bytesRead += static_cast<DWORD>(got);
  }
  return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, OVERLAPPED* overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  if (platform::faults::ShouldFail("WriteFile")) return FALSE;
  auto object = FileFor("WriteFile", file);
  if (!object) return FALSE;
  if (overlapped) return FailBool(ERROR_NOT_SUPPORTED);
  if (bytesWritten == nullptr || (buffer == nullptr && bytesToWrite > 0)) return FailBool(ERROR_INVALID_PARAMETER);
  if (!object->canWrite) return FailBool(ERROR_ACCESS_DENIED);
  const char* at = static_cast<const char*>(buffer);
  while (*bytesWritten < bytesToWrite) {
    ssize_t put = write(object->fd, at + *bytesWritten, bytesToWrite - *bytesWritten);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return FailBool(platform::ErrorFromErrno(errno));
    *bytesWritten += static_cast<DWORD>(put);
  }
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod) {
  auto object = FileFor("SetFilePointer", file);
  if (!object) return INVALID_SET_FILE_POINTER;
  std::int64_t distance = distanceToMove;
  if (distanceToMoveHigh) {
    distance = static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceToMoveHigh)) << 32) |
                                         static_cast<std::uint32_t>(distanceToMove));
  }
  std::int64_t origin = 0;
  if (moveMethod == FILE_CURRENT) {
    origin = lseek(object->fd, 0, SEEK_CUR);
  } else if (moveMethod == FILE_END) {
    struct stat info {};
    origin = fstat(object->fd, &info) == 0 ? info.st_size : -1;
  } else if (moveMethod != FILE_BEGIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (origin < 0) {
    platform::SetLastErrorFromErrno();
    return INVALID_SET_FILE_POINTER;
  }
  if ((distance > 0 && origin > INT64_MAX - distance) || origin + distance < 0) {
    SetLastError(distance > 0 ? ERROR_INVALID_PARAMETER : ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  const std::int64_t target = origin + distance;
  if (!distanceToMoveHigh && target > 0xFFFFFFFFLL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (lseek(object->fd, target, SEEK_SET) < 0) {
    platform::SetLastErrorFromErrno();
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceToMoveHigh) *distanceToMoveHigh = static_cast<LONG>(target >> 32);
  const DWORD low = static_cast<DWORD>(target & 0xFFFFFFFF);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh) {
  auto object = FileFor("GetFileSize", file);
  if (!object) return INVALID_FILE_SIZE;
  struct stat info {};
  if (fstat(object->fd, &info) != 0) {
    platform::SetLastErrorFromErrno();
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
  const DWORD low = static_cast<DWORD>(size & 0xFFFFFFFF);
  if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL SetEndOfFile(HANDLE file) {
  auto object = FileFor("SetEndOfFile", file);
  if (!object) return FALSE;
  if (!object->canWrite) return FailBool(ERROR_ACCESS_DENIED);
  const off_t position = lseek(object->fd, 0, SEEK_CUR);
  if (position < 0 || ftruncate(object->fd, position) != 0) return FailBool(platform::ErrorFromErrno(errno));
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  auto object = FileFor("FlushFileBuffers", file);
  if (!object) return FALSE;
  if (!object->canWrite) return FailBool(ERROR_ACCESS_DENIED);
  if (fsync(object->fd) != 0) return FailBool(platform::ErrorFromErrno(errno));
  return TRUE;
}

DWORD GetFullPathNameA(const char* fileName, DWORD bufferLength, char* buffer, char** filePart) {
  if (filePart) *filePart = nullptr;
  if (platform::faults::ShouldFail("GetFullPathNameA")) return 0;
  std::string path;
  if (!platform::AnsiNameToNative(fileName, path) || path.empty()) return FailBool(ERROR_INVALID_NAME);
  std::string full;
  if (!platform::NativeToAnsiName(FullNativePath(path), full)) return FailBool(ERROR_NO_UNICODE_TRANSLATION);
  return CopyFullPath(full, bufferLength, buffer, filePart);
}

DWORD GetFullPathNameW(const char16_t* fileName, DWORD bufferLength, char16_t* buffer, char16_t** filePart) {
  if (filePart) *filePart = nullptr;
  if (platform::faults::ShouldFail("GetFullPathNameW")) return 0;
  std::string path;
  if (!platform::WideNameToNative(fileName, path) || path.empty()) return FailBool(ERROR_INVALID_NAME);
  return CopyFullPath(platform::Utf8ToWide(FullNativePath(path)), bufferLength, buffer, filePart);
}

namespace platform {

// Every open handle of the file must share deletion. The whole-file lock stays held
// while the action runs, so that no handle can join between the check and the action.
DWORD WithDeleteAccess(const std::string& native, const std::function<DWORD()>& action) {
  int fd = open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return action();  // a link or an unreadable entry takes no part in sharing
  Descriptor descriptor(fd);
  FileLock wholeFile = FileLock::OnDescriptor(fd);
  std::scoped_lock hold(wholeFile);
  return ByteIsLockedByOthers(fd, DeniesByte(kDelete)) ? ERROR_SHARING_VIOLATION : action();
}

}  // namespace platform

// ---- file times ----

namespace {

constexpr std::int64_t kFileTimePerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

std::int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<std::int64_t>((std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME FileTimeOf(std::int64_t value) {
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(std::uint64_t(value) >> 32)};
}

timespec TimespecOf(const FILETIME* time) {
  timespec spec{};
  if (time == nullptr) {
    spec.tv_nsec = UTIME_OMIT;
    return spec;
  }
  std::int64_t value = FileTimeValue(*time);
  spec.tv_sec = static_cast<time_t>(value / kFileTimePerSecond - kSecondsFrom1601To1970);
  spec.tv_nsec = static_cast<long>(value % kFileTimePerSecond) * 100;
  return spec;
}

}  // namespace

BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime) {
  int day = fatDate & 0x1F, month = (fatDate >> 5) & 0x0F, year = 1980 + (fatDate >> 9);
  int second = (fatTime & 0x1F) * 2, minute = (fatTime >> 5) & 0x3F, hour = fatTime >> 11;
  if (fileTime == nullptr || day == 0 || month == 0 || month > 12 || hour > 23 || minute > 59 || second > 59) {
    return FailBool(ERROR_INVALID_PARAMETER);
  }
  struct tm parts {};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  time_t seconds = timegm(&parts);
  if (parts.tm_mday != day) return FailBool(ERROR_INVALID_PARAMETER);  // such as the 31st of April
  *fileTime = FileTimeOf((std::int64_t(seconds) + kSecondsFrom1601To1970) * kFileTimePerSecond);
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime) {
  if (localFileTime == nullptr || fileTime == nullptr) return FailBool(ERROR_INVALID_PARAMETER);
  std::int64_t value = FileTimeValue(*localFileTime);
  time_t wall = static_cast<time_t>(value / kFileTimePerSecond - kSecondsFrom1601To1970);
  struct tm parts {};
  if (gmtime_r(&wall, &parts) == nullptr) return FailBool(ERROR_INVALID_PARAMETER);
  parts.tm_isdst = -1;
  time_t universal = mktime(&parts);
  *fileTime = FileTimeOf((std::int64_t(universal) + kSecondsFrom1601To1970) * kFileTimePerSecond +
                         value % kFileTimePerSecond);
  return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME* /*creationTime*/, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime) {
  auto object = FileFor("SetFileTime", file);
  if (!object) return FALSE;
  const timespec times[2] = {TimespecOf(lastAccessTime), TimespecOf(lastWriteTime)};
  if (futimens(object->fd, times) != 0) return FailBool(platform::ErrorFromErrno(errno));
  return TRUE;
}
