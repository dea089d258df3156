#include "controls/htmllabel/mk_streams.h"

#include <algorithm>
#include <cstring>

#include "platform/base/text.h"

namespace {

// Strings are read in pieces of this size, so a damaged length cannot make the
// reader allocate more than the stream really holds.
constexpr std::uint32_t kStringChunk = 65536;

[[noreturn]] void InvalidElementType() { throw EReadError("Invalid Element Type"); }

}  // namespace

std::int32_t BitLength(std::uint32_t value) {
  std::int32_t bits = 0;
  while (value != 0) {
    ++bits;
    value >>= 1;
  }
  return bits;
}

std::int32_t ByteLength(std::uint32_t value) { return (BitLength(value) + 7) / 8; }

TMkFiler::TMkFiler(TStream* stream, std::int32_t bufferSize)
    : stream_(stream), buffer_(static_cast<std::size_t>(std::max(bufferSize, 16))) {}

TMkBinaryReader::~TMkBinaryReader() {
  if (bufferEnd_ > position_) stream_->Seek(position_ - bufferEnd_, TSeekOrigin::soCurrent);
}

void TMkBinaryReader::ReadBuffer(void* data, std::int32_t count) {
  auto* out = static_cast<std::uint8_t*>(data);
  while (count > 0) {
    if (position_ == bufferEnd_) {
      std::int32_t got = stream_->Read(buffer_.data(), static_cast<std::int32_t>(buffer_.size()));
      if (got <= 0) throw EReadError("Stream read error");
      position_ = 0;
      bufferEnd_ = got;
    }
    std::int32_t n = std::min(count, bufferEnd_ - position_);
    std::memcpy(out, buffer_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    out += n;
    count -= n;
  }
}

std::uint8_t TMkBinaryReader::ReadValueType() {
  std::uint8_t type = 0;
  ReadBuffer(&type, 1);
  return type;
}

std::uint64_t TMkBinaryReader::ReadPayload(std::int32_t bytes) {
  std::uint8_t raw[8] = {};
  ReadBuffer(raw, bytes);
  std::uint64_t value = 0;
  for (std::int32_t i = bytes - 1; i >= 0; --i) value = (value << 8) | raw[i];
  return value;
}

std::uint8_t TMkBinaryReader::ReadByte() {
  std::uint8_t type = ReadValueType();
  if (type != 2 && type != 3) InvalidElementType();
  return static_cast<std::uint8_t>(ReadPayload(1));
}

std::uint32_t TMkBinaryReader::ReadCardinal() {
  std::uint8_t type = ReadValueType();
  if (type < 2 || type > 12 || type % 3 == 1) InvalidElementType();
  return static_cast<std::uint32_t>(ReadPayload((type + 2) / 3));
}

std::int32_t TMkBinaryReader::ReadInteger() {
  std::uint8_t type = ReadValueType();
  if (type < 1 || type > 11) InvalidElementType();
  std::int32_t bytes = (type + 2) / 3;
  std::uint64_t value = ReadPayload(bytes);
  if (type % 3 == 1 && bytes < 8) value |= ~std::uint64_t{0} << (8 * bytes);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::string TMkBinaryReader::ReadAnsiBytes(std::uint32_t length) {
  std::string bytes;
  while (length > 0) {
    std::uint32_t n = std::min(length, kStringChunk);
    std::size_t at = bytes.size();
    bytes.resize(at + n);
    ReadBuffer(bytes.data() + at, static_cast<std::int32_t>(n));
    length -= n;
  }
  return bytes;
}

std::u16string TMkBinaryReader::ReadWideString() {
  std::uint8_t type = ReadValueType();
  if (type == 29 || type == 34) return {};
  if (type >= 30 && type <= 33) {
    auto length = static_cast<std::uint32_t>(ReadPayload(type - 29));
    return platform::AnsiToWide(ReadAnsiBytes(length));
  }
  if (type < 35 || type > 38) InvalidElementType();
  auto length = static_cast<std::uint32_t>(ReadPayload(type - 34));
  // A writer never records an odd byte length: such an element is damaged.
  if (length % 2 != 0) InvalidElementType();
  std::string bytes = ReadAnsiBytes(length);
  std::u16string text(length / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                    (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return text;
}

TMkBinaryWriter::~TMkBinaryWriter() {
  try {
    Flush();
  } catch (const EStreamError&) {
    // A destructor cannot report; SaveToStream flushes explicitly before this.
  }
}

void TMkBinaryWriter::WriteBuffer(const void* data, std::int32_t count) {
  const auto* in = static_cast<const std::uint8_t*>(data);
  while (count > 0) {
    if (bufferEnd_ == static_cast<std::int32_t>(buffer_.size())) Flush();
    std::int32_t n = std::min(count, static_cast<std::int32_t>(buffer_.size()) - bufferEnd_);
    std::memcpy(buffer_.data() + bufferEnd_, in, static_cast<std::size_t>(n));
    bufferEnd_ += n;
    position_ = bufferEnd_;
    in += n;
    count -= n;
  }
}

void TMkBinaryWriter::Flush() {
  std::int32_t pending = bufferEnd_;
  position_ = bufferEnd_ = 0;
  if (pending > 0) stream_->WriteBuffer(buffer_.data(), pending);
}

void TMkBinaryWriter::WritePayload(std::uint64_t value, std::int32_t bytes) {
  std::uint8_t raw[8];
  for (std::int32_t i = 0; i < bytes; ++i) raw[i] = static_cast<std::uint8_t>(value >> (8 * i));
  WriteBuffer(raw, bytes);
}

void TMkBinaryWriter::WriteValueType(std::uint8_t type) { WriteBuffer(&type, 1); }

void TMkBinaryWriter::WriteByte(std::uint8_t value) {
  WriteValueType(3);
  WritePayload(value, 1);
}

void TMkBinaryWriter::WriteCardinal(std::uint32_t value) {
  std::int32_t bits = BitLength(value);
  std::int32_t n = std::max(1, (bits + 7) / 8);
  WriteValueType(static_cast<std::uint8_t>(bits == 8 * n ? 3 * n : 3 * n - 1));
  WritePayload(value, n);
}

void TMkBinaryWriter::WriteInteger(std::int32_t value) {
  if (value >= 0) {
    WriteCardinal(static_cast<std::uint32_t>(value));
    return;
  }
  std::int32_t n = BitLength(~static_cast<std::uint32_t>(value)) / 8 + 1;
  WriteValueType(static_cast<std::uint8_t>(3 * n - 2));
  WritePayload(static_cast<std::uint32_t>(value), n);
}

void TMkBinaryWriter::WriteWideString(const std::u16string& value) {
  if (value.empty()) {
    WriteValueType(34);
    return;
  }
  auto length = static_cast<std::uint32_t>(value.size() * 2);
  std::int32_t k = ByteLength(length);
  WriteValueType(static_cast<std::uint8_t>(34 + k));
  WritePayload(length, k);
  for (char16_t c : value) WritePayload(c, 2);
}
