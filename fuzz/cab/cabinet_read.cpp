// Cabinets are outside input (language packs): the cabinet test and the copy must
// take any bytes, failing with an error record rather than crashing or leaking.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/cab/fdi.h"

namespace {

constexpr INT_PTR kCabinet = 1;
constexpr INT_PTR kOutput = 2;
constexpr LONG kLargestOutput = 1 << 22;  // larger files are skipped to keep runs short

std::string_view input;
LONG position = 0;
int openFiles = 0;

void* Alloc(ULONG cb) { return std::malloc(cb); }
void Free(void* memory) { std::free(memory); }

INT_PTR Open(char*, int oflag, int) {
  if ((oflag & 3) != _O_RDONLY) return -1;
  position = 0;
  ++openFiles;
  return kCabinet;
}

UINT Read(INT_PTR hf, void* buffer, UINT cb) {
  if (hf != kCabinet) return static_cast<UINT>(-1);
  std::size_t left = input.size() - static_cast<std::size_t>(position);
  std::size_t count = cb < left ? cb : left;
  std::memcpy(buffer, input.data() + position, count);
  position += static_cast<LONG>(count);
  return static_cast<UINT>(count);
}

UINT Write(INT_PTR hf, void*, UINT cb) { return hf == kOutput ? cb : static_cast<UINT>(-1); }

int Close(INT_PTR) {
  --openFiles;
  return 0;
}

LONG Seek(INT_PTR hf, LONG distance, int origin) {
  if (hf != kCabinet) return -1;
  LONG base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? position : static_cast<LONG>(input.size());
  LONG target = base + distance;
  if (target < 0 || target > static_cast<LONG>(input.size())) return -1;
  position = target;
  return position;
}

INT_PTR Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION note) {
  switch (type) {
    case fdintCOPY_FILE:
      if (note->cb > kLargestOutput) return 0;
      ++openFiles;
      return kOutput;
    case fdintCLOSE_FILE_INFO:
      Close(note->hf);
      return TRUE;
    case fdintNEXT_CABINET:
      return -1;
    default:
      return 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  input = std::string_view(reinterpret_cast<const char*>(data), size);
  ERF error{};
  HFDI fdi = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &error);
  if (fdi == nullptr) std::abort();
  FDICABINETINFO info{};
  Open(nullptr, _O_RDONLY, 0);
  BOOL isCabinet = FDIIsCabinet(fdi, kCabinet, &info);
  Close(kCabinet);
  char name[] = "input.cab";
  char folder[] = "";
  BOOL copied = FDICopy(fdi, name, folder, 0, Notify, nullptr, nullptr);
  if (copied && !isCabinet) std::abort();
  if (!copied && error.fError != TRUE) std::abort();
  if (openFiles != 0) std::abort();
  FDIDestroy(fdi);
  return 0;
}
