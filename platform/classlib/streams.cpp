#include "platform/classlib/streams.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/base/errors.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/files.h"

std::int64_t TStream::Size() {
  const std::int64_t position = Seek(0, soCurrent);
  const std::int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::SetSize(std::int64_t /*newSize*/) {}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(std::string(SReadError));
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(std::string(SWriteError));
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const std::int64_t total = count;
  std::vector<char> buffer(static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, 0xF000)));
  while (count > 0) {
    const auto chunk = static_cast<std::int32_t>(std::min<std::int64_t>(count, 0xF000));
    source.ReadBuffer(buffer.data(), chunk);
    WriteBuffer(buffer.data(), chunk);
    count -= chunk;
  }
  return total;
}

// ---- THandleStream ----

std::int32_t THandleStream::Read(void* buffer, std::int32_t count) {
  DWORD done = 0;
  if (count <= 0 || !ReadFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
  return static_cast<std::int32_t>(done);
}

std::int32_t THandleStream::Write(const void* buffer, std::int32_t count) {
  DWORD done = 0;
  if (count <= 0 || !WriteFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
  return static_cast<std::int32_t>(done);
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  LONG high = static_cast<LONG>(offset >> 32);
  const DWORD low = SetFilePointer(handle_, static_cast<LONG>(offset & 0xFFFFFFFF), &high, origin);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return -1;
  return (static_cast<std::int64_t>(high) << 32) | low;
}

void THandleStream::SetSize(std::int64_t newSize) {
  Seek(newSize, soBeginning);
  Win32Check(SetEndOfFile(handle_));
}

// ---- TFileStream ----

bool FileModeToAccess(WORD mode, DWORD& access, DWORD& shareMode) {
  static constexpr std::array<DWORD, 3> kAccess = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  static constexpr std::array<DWORD, 5> kShare = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE};
  const unsigned accessIndex = mode & 0x3;
  const unsigned shareIndex = (mode & 0xF0) >> 4;
  if (accessIndex >= kAccess.size() || shareIndex >= kShare.size() || (mode & ~0xF3) != 0) return false;
  access = kAccess[accessIndex];
  shareMode = kShare[shareIndex];
  return true;
}

HANDLE FileCreate(const std::string& fileName) {
  return CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, 0);
}

HANDLE FileOpen(const std::string& fileName, WORD mode) {
  DWORD access = 0, shareMode = 0;
  if (!FileModeToAccess(mode, access, shareMode)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileA(fileName.c_str(), access, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
}

std::string ExpandFileName(const std::string& fileName) {
  std::string buffer(MAX_PATH, '\0');
  DWORD length = GetFullPathNameA(fileName.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length >= buffer.size()) {
    buffer.assign(length, '\0');
    length = GetFullPathNameA(fileName.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  }
  buffer.resize(length < buffer.size() ? length : 0);
  return buffer;
}

TFileStream::TFileStream(const std::string& fileName, WORD mode)
    : THandleStream(mode == fmCreate ? FileCreate(fileName) : FileOpen(fileName, mode)) {
  if (handle_ != INVALID_HANDLE_VALUE) return;
  const std::string reason = SysErrorMessage(GetLastError());
  if (mode == fmCreate) throw EFCreateError(SFCreateErrorEx, {ExpandFileName(fileName), reason});
  throw EFOpenError(SFOpenErrorEx, {ExpandFileName(fileName), reason});
}

TFileStream::~TFileStream() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

// ---- TMemoryStream ----

template <typename Change>
void TMemoryStream::Resize(Change change) {
  try {
    change();
  } catch (const std::bad_alloc&) {
    throw EStreamError(std::string(SMemoryStreamError));
  } catch (const std::length_error&) {
    throw EStreamError(std::string(SMemoryStreamError));
  }
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  std::int64_t end = 0;
  if (position_ < 0 || count <= 0 || __builtin_add_overflow(position_, count, &end)) return 0;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (position_ == Size()) {
    // Appending, as a writer does: the bytes go in without zero-filling their place first.
    Resize([&] { data_.insert(data_.end(), bytes, bytes + count); });
  } else {
    if (end > Size()) SetSize(end);
    std::memcpy(data_.data() + position_, bytes, static_cast<std::size_t>(count));
  }
  position_ = end;
  return count;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
  const std::int64_t oldPosition = position_;
  Resize([&] { data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(newSize, 0))); });
  if (oldPosition > newSize) Seek(0, soEnd);
}

void TMemoryStream::SetCapacity(std::int64_t capacity) {
  Resize([&] { data_.reserve(static_cast<std::size_t>(std::max<std::int64_t>(capacity, 0))); });
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

bool TMemoryStream::AppendFrom(TStream& source, std::int32_t count) {
  const std::int64_t oldSize = Size();
  SetSize(oldSize + std::max(count, 0));
  if (count > 0 && source.Read(data_.data() + oldSize, count) != count) {
    SetSize(oldSize);
    return false;
  }
  position_ = Size();
  return true;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const std::int64_t count = stream.Size();
  SetSize(count);
  for (std::int64_t done = 0; done < count;) {
    const auto chunk = static_cast<std::int32_t>(std::min<std::int64_t>(count - done, INT32_MAX));
    stream.ReadBuffer(data_.data() + done, chunk);
    done += chunk;
  }
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TMemoryStream::SaveToStream(TStream& stream) {
  for (std::size_t done = 0; done < data_.size();) {
    const auto chunk = static_cast<std::int32_t>(std::min<std::size_t>(data_.size() - done, INT32_MAX));
    stream.WriteBuffer(data_.data() + done, chunk);
    done += static_cast<std::size_t>(chunk);
  }
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}
