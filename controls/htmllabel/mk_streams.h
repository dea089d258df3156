// A compact tagged binary format over any class-library stream: each value starts
// with one type byte that also says how many payload bytes follow, so small numbers
// and short strings take few bytes. Multi-byte values are little-endian.
//
// Type bytes: 3n-2 negative integer in n bytes, 3n-1 non-negative integer that fits
// n signed bytes, 3n non-negative integer with the top bit of n bytes set (n = 1..8);
// 29 empty 8-bit string, 30..33 8-bit string with its length in (type-29) bytes;
// 34 empty UTF-16 string, 35..38 UTF-16 string with its byte length in (type-34) bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/streams.h"

inline constexpr std::int32_t kMkFilerBufferSize = 4096;

// Stream support: significant bits of a value (0 for 0) and the bytes that hold them.
std::int32_t BitLength(std::uint32_t value);
std::int32_t ByteLength(std::uint32_t value);

class TMkFiler {
 public:
  TMkFiler(TStream* stream, std::int32_t bufferSize);
  virtual ~TMkFiler() = default;
  TMkFiler(const TMkFiler&) = delete;
  TMkFiler& operator=(const TMkFiler&) = delete;

 protected:
  TStream* stream_;
  std::vector<std::uint8_t> buffer_;
  std::int32_t position_ = 0;
  std::int32_t bufferEnd_ = 0;
};

class TMkReader : public TMkFiler {
 public:
  using TMkFiler::TMkFiler;
};

// Reads values; a type byte that the operation does not accept raises EReadError
// "Invalid Element Type", a stream that runs dry EReadError "Stream read error".
class TMkBinaryReader : public TMkReader {
 public:
  using TMkReader::TMkReader;
  // Gives the stream back the bytes read ahead, so it stands after the last value read.
  ~TMkBinaryReader() override;

  void ReadBuffer(void* data, std::int32_t count);
  std::uint8_t ReadValueType();
  std::uint8_t ReadByte();
  std::uint32_t ReadCardinal();
  std::int32_t ReadInteger();
  std::u16string ReadWideString();

 private:
  std::uint64_t ReadPayload(std::int32_t bytes);
  std::string ReadAnsiBytes(std::uint32_t length);
};

class TMkWriter : public TMkFiler {
 public:
  using TMkFiler::TMkFiler;
};

// Writes values into its buffer; the bytes reach the stream on Flush. The destructor
// flushes too but cannot report a failure, so savers flush explicitly.
class TMkBinaryWriter : public TMkWriter {
 public:
  using TMkWriter::TMkWriter;
  ~TMkBinaryWriter() override;

  void WriteBuffer(const void* data, std::int32_t count);
  void Flush();
  void WriteValueType(std::uint8_t type);
  void WriteByte(std::uint8_t value);
  void WriteCardinal(std::uint32_t value);
  void WriteInteger(std::int32_t value);
  void WriteWideString(const std::u16string& value);

 private:
  void WritePayload(std::uint64_t value, std::int32_t bytes);
};
