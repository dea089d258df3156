// Typed writers and readers over a byte stream: integers little-endian, no padding.
// Every operation answers true or false and never raises; the caller tests the answer.
// Whole files pass through memory: a save builds the bytes in a memory writer and
// moves them with one WriteStream; a load moves the file into a memory reader.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "platform/classlib/streams.h"

// Holds the attached stream; a plain writer or reader built over a caller's stream
// owns nothing.
class TStreamBase {
 public:
  explicit TStreamBase(TStream* stream = nullptr) : stream_(stream) {}
  virtual ~TStreamBase() = default;
  TStreamBase(const TStreamBase&) = delete;
  TStreamBase& operator=(const TStreamBase&) = delete;

  bool HasStream() const { return stream_ != nullptr; }
  // The stream's size (low 32 bits); -1 without a stream.
  std::int32_t GetSize() const;
  TStream* Stream() const { return stream_; }

 protected:
  TStream* stream_;
};

// Writes answer false when no stream is attached or the stream could not take every
// byte (a full disk is a failure, not a success).
class TStreamWriter : public TStreamBase {
 public:
  using TStreamBase::TStreamBase;
  virtual bool WriteRawString(std::string_view s);
  // The bytes of s, then CR LF.
  virtual bool WriteLine(std::string_view s);
  // Int32 byte length, then the bytes.
  virtual bool WriteString(std::string_view s);
  virtual bool WriteInteger(std::int32_t i);
  virtual bool WriteBoolean(bool b);
  virtual bool WriteDouble(double d);
  virtual bool WriteByte(std::uint8_t b);
  virtual bool WriteWord(std::uint16_t w);
  virtual bool WriteBuffer(const void* buffer, std::int32_t count);
  // The whole of source from its start.
  virtual bool CopyFromStream(TStream& source);
  // The whole of source (rewound to 0), without a size prefix.
  virtual bool WriteStream(TStream& source);
};

// Fixed-size reads set the target to zero and answer false on a short read.
class TStreamReader : public TStreamBase {
 public:
  using TStreamBase::TStreamBase;
  // GetSize bytes; false when fewer were there.
  virtual bool ReadRawString(std::string& s);
  // Empties s, then as ReadRawString (no line splitting).
  virtual bool ReadLine(std::string& s);
  // False, with s empty, for a zero or negative length, or one longer than the bytes
  // that remain: a damaged file can never make it allocate without bound.
  virtual bool ReadString(std::string& s);
  virtual bool ReadInteger(std::int32_t& i);
  virtual bool ReadBoolean(bool& b);
  virtual bool ReadDouble(double& d);
  virtual bool ReadByte(std::uint8_t& b);
  virtual bool ReadWord(std::uint16_t& w);
  virtual bool ReadBuffer(void* buffer, std::int32_t count);
  // The whole attached stream from its start into target.
  virtual bool CopyToStream(TStream& target);
  // The bytes from the position to the end into target.
  virtual bool ReadToStream(TStream& target);

  // Bytes between the position and the end; 0 without a stream.
  std::int64_t Remaining() const;
};

// Each owns its own memory stream, reached through Stream().
// Their buffer calls reach the memory stream directly, and the reader's typed reads
// too: a list file is written and read field by field.
class TMemoryStreamWriter : public TStreamWriter {
 public:
  TMemoryStreamWriter();
  TMemoryStream& Memory() { return memory_; }
  // Room for Bytes at once; false when there is not that much memory, and the stream
  // then grows as it is written.
  bool Reserve(std::int64_t bytes);
  bool WriteBuffer(const void* buffer, std::int32_t count) override;

 private:
  TMemoryStream memory_;
};

class TMemoryStreamReader : public TStreamReader {
 public:
  TMemoryStreamReader();
  TMemoryStream& Memory() { return memory_; }
  bool ReadString(std::string& s) override;
  bool ReadInteger(std::int32_t& i) override;
  bool ReadDouble(double& d) override;
  bool ReadByte(std::uint8_t& b) override;
  bool ReadWord(std::uint16_t& w) override;
  bool ReadBuffer(void* buffer, std::int32_t count) override;

 private:
  TMemoryStream memory_;
};

// A file writer owns the stream it opened and closes it in Close and its destructor.
class TFileWriter : public TStreamWriter {
 public:
  TFileWriter() = default;
  ~TFileWriter() override;
  // Creates missing folders; retries a locked file for about RetryTime ms.
  virtual bool Open(const std::string& fileName);
  virtual void Close();
  // Asks the system to put the file's bytes on disk; false when it could not.
  virtual bool Flush();

  HANDLE Handle = INVALID_HANDLE_VALUE;
  bool UseSecurity = true;
  bool ShareWrite = false;
  bool ShareRead = false;
  bool Append = false;
  std::uint32_t RetryTime = 800;

 private:
  std::unique_ptr<THandleStream> file_;
};

class TFileReader : public TStreamReader {
 public:
  TFileReader() = default;
  ~TFileReader() override;
  virtual bool Open(const std::string& fileName);
  virtual void Close();

  HANDLE Handle = INVALID_HANDLE_VALUE;
  bool ShareWrite = true;
  bool ShareRead = true;
  std::uint32_t RetryTime = 800;

 private:
  std::unique_ptr<THandleStream> file_;
};
