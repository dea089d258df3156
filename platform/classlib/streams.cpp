#include "platform/classlib/streams.h"

#include <algorithm>
#include <cstring>

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::Size() {
  std::int64_t here = Position();
  std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  SetPosition(here);
  return size;
}

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0 || position_ >= data_.size()) return 0;
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return static_cast<std::int32_t>(n);
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  std::size_t end = position_ + static_cast<std::size_t>(count);
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = static_cast<std::int64_t>(position_);
  if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(data_.size());
  position_ = static_cast<std::size_t>(std::max<std::int64_t>(0, base + offset));
  return static_cast<std::int64_t>(position_);
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}
