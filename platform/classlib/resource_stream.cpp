#include "platform/classlib/resource_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/resources.h"

TResourceStream::TResourceStream(HINSTANCE instance, const std::string& resName, const char* resType) {
  Initialize(instance, resName.c_str(), resType, resName);
}

TResourceStream::TResourceStream(HINSTANCE instance, WORD resId, const char* resType) {
  Initialize(instance, MAKEINTRESOURCEA(resId), resType, std::to_string(resId));
}

void TResourceStream::Initialize(HINSTANCE instance, const char* name, const char* type,
                                 const std::string& shownName) {
  const HRSRC resource = FindResourceA(instance, name, type);
  if (resource == 0) throw EResNotFound(SResNotFound, {shownName});
  data_ = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, resource)));
  size_ = SizeofResource(instance, resource);
}

std::int32_t TResourceStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0 || position_ < 0 || position_ >= size_) return 0;
  const auto done = static_cast<std::int32_t>(std::min<std::int64_t>(count, size_ - position_));
  std::memcpy(buffer, data_ + position_, static_cast<std::size_t>(done));
  position_ += done;
  return done;
}

std::int32_t TResourceStream::Write(const void* /*buffer*/, std::int32_t /*count*/) {
  throw EStreamError(std::string(SCantWriteResourceStreamError));
}

std::int64_t TResourceStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t base = origin == soCurrent ? position_ : origin == soEnd ? size_ : 0;
  std::int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target)) return -1;
  position_ = target;
  return position_;
}

void TResourceStream::SetSize(std::int64_t /*newSize*/) {
  throw EStreamError(std::string(SCantWriteResourceStreamError));
}
