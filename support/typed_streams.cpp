#include "support/typed_streams.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <type_traits>
#include <vector>

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/handles.h"
#include "platform/fs/files.h"
#include "support/files_folders.h"
#include "support/locks.h"

namespace {

constexpr DWORD kRetryStepMs = 100;

// Runs one stream operation; any error the stream raises becomes false.
template <typename Operation>
bool Guarded(Operation operation) {
  try {
    return operation();
  } catch (const std::exception&) {
    return false;
  }
}

// On a little-endian machine the bytes are the value's own: one copy, no byte loop.
template <typename T>
void PutLittleEndian(T value, std::uint8_t* bytes) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(bytes, &value, sizeof(T));
  } else {
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

template <typename T>
T GetLittleEndian(const std::uint8_t* bytes) {
  T value = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, bytes, sizeof(T));
  } else {
    for (std::size_t i = 0; i < sizeof(T); ++i) value = static_cast<T>(value | T(bytes[i]) << (8 * i));
  }
  return value;
}

// The reads behind the typed reads, over a Source: a reader's own slots (SlotBytes),
// or a memory reader's memory stream read directly (MemoryBytes).

// A little-endian value; zero after a short read.
template <typename T, typename Source>
bool ReadValue(Source& source, T& value) {
  std::uint8_t bytes[sizeof(T)];
  const bool ok = source.ReadBuffer(bytes, static_cast<std::int32_t>(sizeof(T)));
  value = ok ? static_cast<T>(GetLittleEndian<std::make_unsigned_t<T>>(bytes)) : 0;
  return ok;
}

template <typename Source>
bool ReadDoubleFrom(Source& source, double& d) {
  std::uint64_t bits = 0;
  const bool ok = ReadValue(source, bits);
  std::memcpy(&d, &bits, sizeof d);
  return ok;
}

template <typename Source>
bool ReadStringFrom(Source& source, std::string& s) {
  s.clear();
  std::int32_t length = 0;
  if (!source.ReadInteger(length) || length <= 0 || length > source.Remaining()) return false;
  if (source.ReadText(s, length)) return true;
  s.clear();
  return false;
}

class SlotBytes {
 public:
  explicit SlotBytes(TStreamReader& reader) : reader_(reader) {}
  bool ReadBuffer(void* buffer, std::int32_t count) { return reader_.ReadBuffer(buffer, count); }
  bool ReadInteger(std::int32_t& i) { return reader_.ReadInteger(i); }
  std::int64_t Remaining() { return reader_.Remaining(); }
  // Count (> 0) bytes into Text.
  bool ReadText(std::string& text, std::int32_t count) {
    text.assign(static_cast<std::size_t>(count), '\0');
    return ReadBuffer(text.data(), count);
  }

 private:
  TStreamReader& reader_;
};

// Skips the slot calls a list file would make per field. A read of it raises nothing.
class MemoryBytes {
 public:
  explicit MemoryBytes(TMemoryStream& memory) : memory_(memory) {}
  bool ReadBuffer(void* buffer, std::int32_t count) { return count >= 0 && memory_.Read(buffer, count) == count; }
  bool ReadInteger(std::int32_t& i) { return ReadValue(*this, i); }
  std::int64_t Remaining() { return std::max<std::int64_t>(memory_.Size() - memory_.Position(), 0); }
  // As SlotBytes, copied once: straight from the memory.
  bool ReadText(std::string& text, std::int32_t count) {
    if (count > Remaining()) return false;
    text.assign(reinterpret_cast<const char*>(memory_.Memory().data() + memory_.Position()),
                static_cast<std::size_t>(count));
    memory_.Seek(count, soCurrent);
    return true;
  }

 private:
  TMemoryStream& memory_;
};

bool IsLockedError(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
         error == ERROR_LOCK_VIOLATION;
}

// A file that stays locked is tried again every 100 ms for about retryTime ms, then
// once more; any other failure ends the tries at once (plus that last one).
HANDLE OpenWithRetry(const std::string& fileName, DWORD access, DWORD share,
                     SECURITY_ATTRIBUTES* security, DWORD disposition, std::uint32_t retryTime) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (std::uint32_t attempt = 0; attempt < retryTime / kRetryStepMs; ++attempt) {
    handle = CreateFileA(fileName.c_str(), access, share, security, disposition,
                         FILE_ATTRIBUTE_NORMAL, 0);
    if (handle != INVALID_HANDLE_VALUE || !IsLockedError(GetLastError())) break;
    Sleep(kRetryStepMs);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    handle = CreateFileA(fileName.c_str(), access, share, security, disposition,
                         FILE_ATTRIBUTE_NORMAL, 0);
  }
  return handle;
}

// A file object's stream: attached after a successful open, released (closing the
// file) by Close.
void AttachFile(HANDLE handle, TStream*& stream, std::unique_ptr<THandleStream>& file,
                HANDLE& field) {
  field = handle;
  file = std::make_unique<THandleStream>(handle);
  stream = file.get();
}

void ReleaseFile(TStream*& stream, std::unique_ptr<THandleStream>& file, HANDLE& field) {
  if (!stream) return;
  stream = nullptr;
  file.reset();
  CloseHandle(field);
  field = INVALID_HANDLE_VALUE;
}

}  // namespace

std::int32_t TStreamBase::GetSize() const {
  if (!stream_) return -1;
  std::int64_t size = 0;
  if (!Guarded([&] { return size = stream_->Size(), true; })) return -1;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
}

bool TStreamWriter::WriteBuffer(const void* buffer, std::int32_t count) {
  if (!stream_ || count < 0) return false;
  return Guarded([&] { return stream_->Write(buffer, count) == count; });
}

bool TStreamWriter::WriteRawString(std::string_view s) {
  return WriteBuffer(s.data(), static_cast<std::int32_t>(s.size()));
}

bool TStreamWriter::WriteLine(std::string_view s) {
  return WriteRawString(s) && WriteRawString("\r\n");
}

bool TStreamWriter::WriteString(std::string_view s) {
  return WriteInteger(static_cast<std::int32_t>(s.size())) && WriteRawString(s);
}

bool TStreamWriter::WriteInteger(std::int32_t i) {
  std::uint8_t bytes[4];
  PutLittleEndian(static_cast<std::uint32_t>(i), bytes);
  return WriteBuffer(bytes, 4);
}

bool TStreamWriter::WriteBoolean(bool b) { return WriteByte(b ? 1 : 0); }

bool TStreamWriter::WriteDouble(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  std::uint8_t bytes[8];
  PutLittleEndian(bits, bytes);
  return WriteBuffer(bytes, 8);
}

bool TStreamWriter::WriteByte(std::uint8_t b) { return WriteBuffer(&b, 1); }

bool TStreamWriter::WriteWord(std::uint16_t w) {
  std::uint8_t bytes[2];
  PutLittleEndian(w, bytes);
  return WriteBuffer(bytes, 2);
}

bool TStreamWriter::CopyFromStream(TStream& source) {
  if (!stream_) return false;
  return Guarded([&] { return stream_->CopyFrom(source, 0) == source.Size(); });
}

bool TStreamWriter::WriteStream(TStream& source) {
  if (!stream_) return false;
  // A memory stream's bytes go as they are, without a copy.
  if (auto* memory = dynamic_cast<TMemoryStream*>(&source)) {
    memory->SetPosition(memory->Size());  // where reading it whole would leave it
    return WriteBuffer(memory->Memory().data(), static_cast<std::int32_t>(memory->Memory().size()));
  }
  std::vector<std::uint8_t> buffer;
  bool read = Guarded([&] {
    source.SetPosition(0);
    buffer.resize(static_cast<std::size_t>(source.Size()));
    source.ReadBuffer(buffer.data(), static_cast<std::int32_t>(buffer.size()));
    return true;
  });
  return read && WriteBuffer(buffer.data(), static_cast<std::int32_t>(buffer.size()));
}

std::int64_t TStreamReader::Remaining() const {
  if (!stream_) return 0;
  std::int64_t remaining = 0;
  Guarded([&] { return remaining = stream_->Size() - stream_->Position(), true; });
  return remaining < 0 ? 0 : remaining;
}

bool TStreamReader::ReadBuffer(void* buffer, std::int32_t count) {
  if (!stream_ || count < 0) return false;
  return Guarded([&] { return stream_->Read(buffer, count) == count; });
}

bool TStreamReader::ReadRawString(std::string& s) {
  std::int32_t size = GetSize();
  if (size < 0) return false;
  s.assign(static_cast<std::size_t>(size), '\0');
  std::int32_t read = 0;
  bool ok = Guarded([&] { return read = stream_->Read(s.data(), size), true; });
  s.resize(static_cast<std::size_t>(ok ? read : 0));
  return ok && read == size;
}

bool TStreamReader::ReadLine(std::string& s) {
  s.clear();
  return ReadRawString(s);
}

bool TStreamReader::ReadString(std::string& s) {
  SlotBytes slots(*this);
  return ReadStringFrom(slots, s);
}

bool TStreamReader::ReadInteger(std::int32_t& i) {
  SlotBytes slots(*this);
  return ReadValue(slots, i);
}

bool TStreamReader::ReadBoolean(bool& b) {
  std::uint8_t byte = 0;
  bool ok = ReadByte(byte);
  b = byte != 0;
  return ok;
}

bool TStreamReader::ReadDouble(double& d) {
  SlotBytes slots(*this);
  return ReadDoubleFrom(slots, d);
}

bool TStreamReader::ReadByte(std::uint8_t& b) {
  SlotBytes slots(*this);
  return ReadValue(slots, b);
}

bool TStreamReader::ReadWord(std::uint16_t& w) {
  SlotBytes slots(*this);
  return ReadValue(slots, w);
}

bool TStreamReader::CopyToStream(TStream& target) {
  if (!stream_) return false;
  return Guarded([&] { return target.CopyFrom(*stream_, 0) == stream_->Size(); });
}

bool TStreamReader::ReadToStream(TStream& target) {
  std::int64_t remaining = Remaining();
  if (!stream_ || remaining > INT32_MAX) return false;
  // A memory stream at its end takes the bytes straight in, without a second buffer:
  // every list file is read whole this way.
  auto* memory = dynamic_cast<TMemoryStream*>(&target);
  if (memory != nullptr && memory->Position() == memory->Size()) {
    return Guarded([&] { return memory->AppendFrom(*stream_, static_cast<std::int32_t>(remaining)); });
  }
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(remaining));
  if (!ReadBuffer(buffer.data(), static_cast<std::int32_t>(remaining))) return false;
  return Guarded([&] {
    target.WriteBuffer(buffer.data(), static_cast<std::int32_t>(remaining));
    return true;
  });
}

TMemoryStreamWriter::TMemoryStreamWriter() : TStreamWriter(&memory_) {}

TMemoryStreamReader::TMemoryStreamReader() : TStreamReader(&memory_) {}

bool TMemoryStreamWriter::Reserve(std::int64_t bytes) {
  return Guarded([&] { return memory_.SetCapacity(bytes), true; });
}

bool TMemoryStreamWriter::WriteBuffer(const void* buffer, std::int32_t count) {
  return count >= 0 && Guarded([&] { return memory_.Write(buffer, count) == count; });
}

bool TMemoryStreamReader::ReadBuffer(void* buffer, std::int32_t count) {
  return MemoryBytes(memory_).ReadBuffer(buffer, count);
}

bool TMemoryStreamReader::ReadString(std::string& s) {
  MemoryBytes bytes(memory_);
  return ReadStringFrom(bytes, s);
}

bool TMemoryStreamReader::ReadInteger(std::int32_t& i) { return MemoryBytes(memory_).ReadInteger(i); }

bool TMemoryStreamReader::ReadDouble(double& d) {
  MemoryBytes bytes(memory_);
  return ReadDoubleFrom(bytes, d);
}

bool TMemoryStreamReader::ReadByte(std::uint8_t& b) {
  MemoryBytes bytes(memory_);
  return ReadValue(bytes, b);
}

bool TMemoryStreamReader::ReadWord(std::uint16_t& w) {
  MemoryBytes bytes(memory_);
  return ReadValue(bytes, w);
}

TFileWriter::~TFileWriter() { Close(); }

bool TFileWriter::Open(const std::string& fileName) {
  if (stream_) Close();
  return Guarded([&] {
    std::string folder = ExtractFilePath(fileName);
    if (!folder.empty() && !IsExistingDir(folder)) ForceDirectoriesEx(folder, true);
    DWORD share = (ShareWrite ? FILE_SHARE_WRITE : 0) | (ShareRead ? FILE_SHARE_READ : 0);
    DWORD disposition = Append ? OPEN_ALWAYS : CREATE_ALWAYS;
    // The world-access attributes are a model here: files stay private to the user.
    HANDLE handle = OpenWithRetry(fileName, GENERIC_WRITE, share,
                                  UseSecurity ? support::FileAllowEveryoneSA : nullptr, disposition,
                                  RetryTime);
    if (handle == INVALID_HANDLE_VALUE) return false;
    AttachFile(handle, stream_, file_, Handle);
    file_->Seek(0, Append ? soEnd : soBeginning);
    return true;
  });
}

void TFileWriter::Close() { ReleaseFile(stream_, file_, Handle); }

bool TFileWriter::Flush() {
  return Handle != INVALID_HANDLE_VALUE && FlushFileBuffers(Handle) != FALSE;
}

TFileReader::~TFileReader() { Close(); }

bool TFileReader::Open(const std::string& fileName) {
  if (stream_) Close();
  return Guarded([&] {
    DWORD share = (ShareWrite ? FILE_SHARE_WRITE : 0) | (ShareRead ? FILE_SHARE_READ : 0);
    HANDLE handle = OpenWithRetry(fileName, GENERIC_READ, share, nullptr, OPEN_EXISTING, RetryTime);
    if (handle == INVALID_HANDLE_VALUE) return false;
    AttachFile(handle, stream_, file_, Handle);
    return true;
  });
}

void TFileReader::Close() { ReleaseFile(stream_, file_, Handle); }
