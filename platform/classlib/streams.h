// The class library's byte streams: the abstract stream with its checked reads and
// writes, streams over a file handle and over a named file, and a stream in memory.
// The stream errors come with it (exceptions.h).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/object.h"

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// File modes: the access in the low two bits, the sharing in bits 4 to 7.
inline constexpr WORD fmCreate = 0xFFFF;
inline constexpr WORD fmOpenRead = 0x0000;
inline constexpr WORD fmOpenWrite = 0x0001;
inline constexpr WORD fmOpenReadWrite = 0x0002;
inline constexpr WORD fmShareCompat = 0x0000;
inline constexpr WORD fmShareExclusive = 0x0010;
inline constexpr WORD fmShareDenyWrite = 0x0020;
inline constexpr WORD fmShareDenyRead = 0x0030;
inline constexpr WORD fmShareDenyNone = 0x0040;

class TStream : public TObject {
 public:
  // Answer the number of bytes moved, 0 when nothing could be.
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  // Answers the new position, -1 when the stream cannot move.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  std::int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, soBeginning); }
  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t newSize);

  // Move exactly count bytes or raise EReadError "Stream read error" /
  // EWriteError "Stream write error".
  void ReadBuffer(void* buffer, std::int32_t count);
  void WriteBuffer(const void* buffer, std::int32_t count);

  // Copies count bytes from source; a count of 0 copies the whole of source from its
  // start. Answers the bytes copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A stream over a file handle it does not own.
class THandleStream : public TStream {
 public:
  explicit THandleStream(HANDLE handle) : handle_(handle) {}
  HANDLE Handle() const { return handle_; }
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  // Raises EOSError when the file cannot be cut or extended.
  void SetSize(std::int64_t newSize) override;

 protected:
  HANDLE handle_;
};

// A stream over a named file (8-bit name) that it opens and closes. fmCreate creates
// or empties the file; other modes open an existing one. Failures raise EFCreateError
// "Cannot create file "%s". %s" or EFOpenError "Cannot open file "%s". %s" with the
// full name and the system's text.
class TFileStream : public THandleStream {
 public:
  TFileStream(const std::string& fileName, WORD mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
};

// A stream in memory. Reading past the end moves nothing; writing past it fills the
// gap with zero bytes.
class TMemoryStream : public TStream {
 public:
  // Read and Seek inline: a typed reader of a list file reads a few bytes per call.
  std::int32_t Read(void* buffer, std::int32_t count) override {
    const auto size = static_cast<std::int64_t>(data_.size());
    if (position_ < 0 || count <= 0 || position_ >= size) return 0;
    const auto done = static_cast<std::int32_t>(std::min<std::int64_t>(count, size - position_));
    std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(done));
    position_ += done;
    return done;
  }
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t base = origin == soCurrent ? position_ : origin == soEnd ? Size() : 0;
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target)) return -1;
    position_ = target;
    return position_;
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
  // Raises EStreamError "Out of memory while expanding memory stream".
  void SetSize(std::int64_t newSize) override;

  void Clear();
  // Makes room for Capacity bytes at once, so that writing up to there neither copies
  // nor asks for memory again. Raises as SetSize.
  void SetCapacity(std::int64_t capacity);
  const std::vector<std::uint8_t>& Memory() const { return data_; }
  // Appends count bytes read from source's position straight into the memory; false,
  // with the stream as it was, when fewer come. Raises as SetSize.
  bool AppendFrom(TStream& source, std::int32_t count);
  // Replace the contents with the whole of a stream or file (from its start).
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& fileName);

 private:
  // Runs a change of the memory's size, raising as SetSize when memory runs out.
  template <typename Change>
  void Resize(Change change);

  std::vector<std::uint8_t> data_;
  std::int64_t position_ = 0;
};

// The access and sharing of a file mode (access 0 to 2, sharing 0 to 4); false for
// any other value.
bool FileModeToAccess(WORD mode, DWORD& access, DWORD& shareMode);

// The class library's file routines: the handle or INVALID_HANDLE_VALUE (with
// ERROR_INVALID_PARAMETER for a mode outside the known values).
HANDLE FileCreate(const std::string& fileName);
HANDLE FileOpen(const std::string& fileName, WORD mode);

// The full path of a name (GetFullPathNameA).
std::string ExpandFileName(const std::string& fileName);
