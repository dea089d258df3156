#include "platform/fs/whole_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/base/errors.h"
#include "platform/fs/names.h"

namespace platform {

std::optional<std::string> ReadWholeFile(const std::string& native) {
  int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::string();
    SetLastError(NameError(errno, native));
    return std::nullopt;
  }
  std::string bytes;
  char chunk[8192];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      SetLastErrorFromErrno();
      close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  return bytes;
}

bool WriteWholeFile(const std::string& native, const std::string& bytes) {
  // A name of its own (made 0600) for each rewrite: two processes rewriting one file
  // at once must never write into the same temporary file.
  std::string temporary = native + ".XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    SetLastError(NameError(errno, native));
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) break;
    done += static_cast<std::size_t>(put);
  }
  const bool written = done == bytes.size() && fsync(fd) == 0;
  const int error = errno;
  close(fd);
  if (!written || std::rename(temporary.c_str(), native.c_str()) != 0) {
    SetLastError(ErrorFromErrno(written ? errno : error));
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
