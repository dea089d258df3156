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
#include "platform/fs/whole_files.h"

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
  const std::optional<std::string> list = ReadWholeFile(path);
  if (!list) return false;  // a list that cannot be read is never written over
  std::string bytes;
  for (const RestartOperation& kept : Parse(*list)) {
    bytes += kept.source + '\0' + kept.target + '\0';
  }
  bytes += operation.source + '\0' + operation.target + '\0';
  return WriteWholeFile(path, bytes);
}

std::vector<RestartOperation> PendingRestartOperations() {
  ListLock lock;
  const std::filesystem::path path = ListPath();
  return path.empty() ? std::vector<RestartOperation>() : Parse(ReadWholeFile(path).value_or(""));
}

int RunPendingRestartOperations() {
  ListLock lock;
  const std::filesystem::path path = ListPath();
  if (!lock.Held() || path.empty()) return 0;
  int done = 0;
  for (const RestartOperation& operation : Parse(ReadWholeFile(path).value_or(""))) {
    if (Carry(operation)) ++done;
  }
  unlink(path.c_str());
  return done;
}

}  // namespace platform
