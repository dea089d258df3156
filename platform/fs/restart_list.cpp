#include "platform/fs/restart_list.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/base/errors.h"
#include "platform/base/state_root.h"

namespace platform {
namespace {

// Entries are "source NUL target NUL": names cannot hold a NUL.
constexpr const char* kListName = "pending-restart";
constexpr const char* kLockName = "pending-restart.lock";

// Holds the list's lock file locked for the life of the object, so that processes
// adding entries at the same time lose none.
class ListLock {
 public:
  ListLock() {
    const std::filesystem::path root = StateRoot();
    if (root.empty()) return;
    fd_ = open((root / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~ListLock() {
    if (fd_ >= 0) close(fd_);
  }
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::filesystem::path ListPath() {
  const std::filesystem::path root = StateRoot();
  return root.empty() ? root : root / kListName;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::string bytes;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  char chunk[4096];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  return bytes;
}

std::vector<RestartOperation> Parse(const std::string& bytes) {
  std::vector<RestartOperation> operations;
  std::size_t at = 0;
  for (;;) {
    const std::size_t sourceEnd = bytes.find('\0', at);
    if (sourceEnd == std::string::npos) break;
    const std::size_t targetEnd = bytes.find('\0', sourceEnd + 1);
    if (targetEnd == std::string::npos) break;
    operations.push_back({bytes.substr(at, sourceEnd - at), bytes.substr(sourceEnd + 1, targetEnd - sourceEnd - 1)});
    at = targetEnd + 1;
  }
  return operations;
}

// Writes the list whole beside its place, flushes it and renames it over.
bool WriteList(const std::filesystem::path& path, const std::string& bytes) {
  const std::filesystem::path temporary = path.string() + ".new";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return SetLastErrorFromErrno(), false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) break;
    done += static_cast<std::size_t>(put);
  }
  const bool written = done == bytes.size() && fsync(fd) == 0;
  const int writeError = errno;
  close(fd);
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    SetLastError(ErrorFromErrno(written ? errno : writeError));
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool Carry(const RestartOperation& operation) {
  if (!operation.target.empty()) return std::rename(operation.source.c_str(), operation.target.c_str()) == 0;
  struct stat info {};
  if (lstat(operation.source.c_str(), &info) != 0) return false;
  return (S_ISDIR(info.st_mode) ? rmdir(operation.source.c_str()) : unlink(operation.source.c_str())) == 0;
}

}  // namespace

bool ScheduleAtRestart(const RestartOperation& operation) {
  ListLock lock;
  const std::filesystem::path path = ListPath();
  if (!lock.Held() || path.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::string bytes;
  for (const RestartOperation& kept : Parse(ReadAll(path))) {
    bytes += kept.source + '\0' + kept.target + '\0';
  }
  bytes += operation.source + '\0' + operation.target + '\0';
  return WriteList(path, bytes);
}

std::vector<RestartOperation> PendingRestartOperations() {
  ListLock lock;
  const std::filesystem::path path = ListPath();
  return path.empty() ? std::vector<RestartOperation>() : Parse(ReadAll(path));
}

int RunPendingRestartOperations() {
  ListLock lock;
  const std::filesystem::path path = ListPath();
  if (!lock.Held() || path.empty()) return 0;
  int done = 0;
  for (const RestartOperation& operation : Parse(ReadAll(path))) {
    if (Carry(operation)) ++done;
  }
  unlink(path.c_str());
  return done;
}

}  // namespace platform
