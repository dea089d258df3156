// The class library's streams: an abstract byte stream with position and size, a
// stream over memory, and the errors that stream users raise.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Base of the stream errors; the message is the class library's text.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Read and Write move up to count bytes and answer how many moved.
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  // All or nothing: raise "Stream read error" / "Stream write error" on a short move.
  void ReadBuffer(void* buffer, std::int32_t count);
  void WriteBuffer(const void* buffer, std::int32_t count);

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  std::int64_t Size();
};

// A stream over a growable block of memory that it owns.
class TMemoryStream : public TStream {
 public:
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

  const std::vector<std::uint8_t>& Memory() const { return data_; }
  void Clear();

 private:
  std::vector<std::uint8_t> data_;
  std::size_t position_ = 0;
};
