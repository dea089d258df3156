#include "platform/base/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

int OpenLockFile(const std::filesystem::path& path) {
  return path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// A signal may cut a waiting flock short; the wait then goes on.
bool Flock(int fd, int operation) {
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

}  // namespace

FileLock::FileLock(const std::filesystem::path& path) : fd_(OpenLockFile(path)) {}

FileLock FileLock::OnDescriptor(int fd) { return FileLock(fd, false); }

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_), owned_(other.owned_) { other.fd_ = -1; }

FileLock::~FileLock() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

void FileLock::lock() {
  if (fd_ >= 0) Flock(fd_, LOCK_EX);
}

bool FileLock::try_lock() { return fd_ < 0 || Flock(fd_, LOCK_EX | LOCK_NB); }

void FileLock::unlock() {
  if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}

}  // namespace platform
