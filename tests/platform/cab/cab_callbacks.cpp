#include "platform/cab/cab_callbacks.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace pellix_test {
namespace {

std::atomic<int> openCount{0};

}  // namespace

int OpenDescriptors() { return openCount.load(); }

void* CabAlloc(ULONG cb) { return std::malloc(cb); }
void CabFree(void* memory) { std::free(memory); }

INT_PTR CabOpen(char* file, int oflag, int pmode) {
  int flags = (oflag & 3) == _O_RDONLY ? O_RDONLY : (oflag & 3) == _O_WRONLY ? O_WRONLY : O_RDWR;
  if (oflag & _O_CREAT) flags |= O_CREAT;
  if (oflag & _O_TRUNC) flags |= O_TRUNC;
  if (oflag & _O_EXCL) flags |= O_EXCL;
  int fd = ::open(file, flags | O_CLOEXEC, pmode != 0 ? 0600 : 0);
  if (fd < 0) return -1;
  ++openCount;
  return fd;
}

UINT CabRead(INT_PTR hf, void* buffer, UINT cb) {
  ssize_t done = ::read(static_cast<int>(hf), buffer, cb);
  return done < 0 ? static_cast<UINT>(-1) : static_cast<UINT>(done);
}

UINT CabWrite(INT_PTR hf, void* buffer, UINT cb) {
  ssize_t done = ::write(static_cast<int>(hf), buffer, cb);
  return done < 0 ? static_cast<UINT>(-1) : static_cast<UINT>(done);
}

int CabClose(INT_PTR hf) {
  --openCount;
  return ::close(static_cast<int>(hf));
}

LONG CabSeek(INT_PTR hf, LONG distance, int origin) {
  off_t done = ::lseek(static_cast<int>(hf), distance, origin);
  return done < 0 ? -1 : static_cast<LONG>(done);
}

FdiContext::FdiContext()
    : handle_(FDICreate(CabAlloc, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek, cpuUNKNOWN, &error_)) {}

FdiContext::~FdiContext() {
  if (handle_ != nullptr) FDIDestroy(handle_);
}

}  // namespace pellix_test
