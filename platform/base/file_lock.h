// An exclusive lock between processes, held on a lock file or on an open file. It is
// Lockable, so std::scoped_lock and std::unique_lock hold it for a scope: an early
// return or an exception cannot leave it held.
#pragma once

#include <filesystem>

namespace platform {

class FileLock {
 public:
  // Opens (creating it 0600) the lock file at Path. An empty path, or a file that
  // cannot be opened, gives a lock that holds nothing: see Usable.
  explicit FileLock(const std::filesystem::path& path);
  // Locks the open file of the descriptor itself; the descriptor stays the caller's.
  static FileLock OnDescriptor(int fd);
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  FileLock& operator=(FileLock&&) = delete;

  // False when there is no file to lock; lock and try_lock then succeed at once, so
  // callers that must not go on unlocked check this first.
  bool Usable() const { return fd_ >= 0; }

  void lock();  // waits without limit
  bool try_lock();
  void unlock();

 private:
  FileLock(int fd, bool owned) : fd_(fd), owned_(owned) {}
  int fd_ = -1;
  bool owned_ = true;  // the descriptor is closed with the lock
};

}  // namespace platform
