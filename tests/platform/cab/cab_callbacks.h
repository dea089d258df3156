// File and memory callbacks over POSIX descriptors for the cabinet calls, as a
// program hands them over, with a count of open descriptors so that tests see leaks.
#pragma once

#include "platform/cab/fci.h"
#include "platform/cab/fdi.h"

namespace pellix_test {

int OpenDescriptors();

void* CabAlloc(ULONG cb);
void CabFree(void* memory);
INT_PTR CabOpen(char* file, int oflag, int pmode);
UINT CabRead(INT_PTR hf, void* buffer, UINT cb);
UINT CabWrite(INT_PTR hf, void* buffer, UINT cb);
int CabClose(INT_PTR hf);
LONG CabSeek(INT_PTR hf, LONG distance, int origin);

// An FDI context over the callbacks above; destroyed with the object.
class FdiContext {
 public:
  FdiContext();
  ~FdiContext();
  FdiContext(const FdiContext&) = delete;
  FdiContext& operator=(const FdiContext&) = delete;
  HFDI handle() const { return handle_; }
  const ERF& error() const { return error_; }

 private:
  ERF error_{};
  HFDI handle_;
};

}  // namespace pellix_test
