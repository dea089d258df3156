#include "platform/fs/restart_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/base/file_lock.h"
#include "platform/base/state_root.h"
#include "platform/fs/whole_files.h"

namespace platform {
namespace {

// Entries are "source NUL target NUL": names cannot hold a NUL.
constexpr const char* kListName = "pending-restart";
constexpr const char* kLockName = "pending-restart.lock";

// The list's lock file, held while the list is read or rewritten, so that processes
// adding entries at the same time lose none.
FileLock OpenListLock() {
  const std::filesystem::path root = StateRoot();
  return FileLock(root.empty() ? root : root / kLockName);
}

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
  FileLock lock = OpenListLock();
  const std::filesystem::path path = ListPath();
  if (!lock.Usable() || path.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::scoped_lock hold(lock);
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
  FileLock lock = OpenListLock();
  std::scoped_lock hold(lock);
  const std::filesystem::path path = ListPath();
  return path.empty() ? std::vector<RestartOperation>() : Parse(ReadWholeFile(path).value_or(""));
}

int RunPendingRestartOperations() {
  FileLock lock = OpenListLock();
  const std::filesystem::path path = ListPath();
  if (!lock.Usable() || path.empty()) return 0;
  std::scoped_lock hold(lock);
  int done = 0;
  for (const RestartOperation& operation : Parse(ReadWholeFile(path).value_or(""))) {
    if (Carry(operation)) ++done;
  }
  unlink(path.c_str());
  return done;
}

}  // namespace platform
