#include "controls/htmllabel/mk_unicode_reader.h"

#include <cstring>

namespace {

constexpr std::size_t kStreamBufferSize = 4096;

bool DefaultReadChar(TMkUnicodeReader& reader, char16_t& c) {
  std::uint8_t byte;
  if (!reader.ReadSourceByte(byte)) return false;
  c = byte;
  return true;
}

bool Utf16LEReadChar(TMkUnicodeReader& reader, char16_t& c) {
  std::uint8_t low, high;
  if (!reader.ReadSourceByte(low) || !reader.ReadSourceByte(high)) return false;
  char16_t unit = static_cast<char16_t>(low | (high << 8));
  if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    // Characters beyond U+FFFF are not kept: the pair becomes one U+FFFD.
    if (!reader.ReadSourceByte(low) || !reader.ReadSourceByte(high)) return false;
    unit = 0xFFFD;
  }
  c = unit;
  return true;
}

}  // namespace

const TMkUnicodeReadMethods kMkDefaultReadMethods{nullptr, DefaultReadChar, nullptr};
const TMkUnicodeReadMethods kMkUtf16LEReadMethods{nullptr, Utf16LEReadChar, nullptr};

TMkUnicodeReader::TMkUnicodeReader() = default;

TMkUnicodeReader::~TMkUnicodeReader() {
  if (readMethods_.Done != nullptr) readMethods_.Done(*this);
  ReleaseStream();
}

void TMkUnicodeReader::CheckNotStreamMode() const {
  if (stream_ != nullptr) {
    throw EMkReaderError("Class " + ClassName() + ": Operation not allowed in Source Stream Mode");
  }
}

void TMkUnicodeReader::ReleaseStream() {
  if (ownsStream_) delete stream_;
  stream_ = nullptr;
  ownsStream_ = false;
  streamBuffer_.clear();
}

void TMkUnicodeReader::ResetSource() {
  position_ = 0;
  line_ = 1;
  column_ = 0;
  queue_.clear();
  queueHead_ = 0;
  charValid_ = false;
  char_ = prevChar_ = 0;
  dataLength_ = 0;
}

void TMkUnicodeReader::SetSourceBuffer(const void* buffer, std::size_t length, const std::string& sourceName) {
  CheckNotStreamMode();
  ownedBytes_.clear();
  bytes_ = static_cast<const std::uint8_t*>(buffer);
  bytesEnd_ = buffer != nullptr ? length : 0;
  bytesPos_ = 0;
  sourceName_ = sourceName;
  ResetSource();
}

void TMkUnicodeReader::SetSourceString(std::string_view text, const std::string& sourceName) {
  CheckNotStreamMode();
  ownedBytes_.assign(text);
  bytes_ = reinterpret_cast<const std::uint8_t*>(ownedBytes_.data());
  bytesEnd_ = ownedBytes_.size();
  bytesPos_ = 0;
  sourceName_ = sourceName;
  ResetSource();
}

void TMkUnicodeReader::SetSourceWideString(std::u16string_view text, const std::string& sourceName) {
  CheckNotStreamMode();
  ownedBytes_.resize(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    ownedBytes_[2 * i] = static_cast<char>(text[i] & 0xFF);
    ownedBytes_[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  bytes_ = reinterpret_cast<const std::uint8_t*>(ownedBytes_.data());
  bytesEnd_ = ownedBytes_.size();
  bytesPos_ = 0;
  sourceName_ = sourceName;
  ResetSource();
}

void TMkUnicodeReader::SetSourceStream(TStream* stream, bool ownsStream, const std::string& sourceName) {
  if (stream != stream_) ReleaseStream();
  ownedBytes_.clear();
  bytes_ = nullptr;
  bytesEnd_ = bytesPos_ = 0;
  stream_ = stream;
  ownsStream_ = stream != nullptr && ownsStream;
  if (stream != nullptr) streamBuffer_.resize(kStreamBufferSize);
  sourceName_ = sourceName;
  ResetSource();
}

bool TMkUnicodeReader::RefillFromStream() {
  std::int32_t got = stream_->Read(streamBuffer_.data(), static_cast<std::int32_t>(streamBuffer_.size()));
  if (got <= 0) {
    if (ownsStream_) ReleaseStream();
    return false;
  }
  bytes_ = reinterpret_cast<const std::uint8_t*>(streamBuffer_.data());
  bytesEnd_ = static_cast<std::size_t>(got);
  bytesPos_ = 0;
  return true;
}

bool TMkUnicodeReader::ReadSourceByte(std::uint8_t& byte) {
  if (bytesPos_ >= bytesEnd_ && (stream_ == nullptr || !RefillFromStream())) return false;
  byte = bytes_[bytesPos_++];
  return true;
}

void TMkUnicodeReader::SetReadMethods(const TMkUnicodeReadMethods& methods) {
  if (readMethods_.Done != nullptr) readMethods_.Done(*this);
  if (methods.ReadChar == nullptr) {
    readMethods_ = kMkDefaultReadMethods;
    readMethods_.Done = methods.Done;
    return;
  }
  readMethods_ = methods;
  if (readMethods_.Init != nullptr) readMethods_.Init(*this);
}

bool TMkUnicodeReader::DecodeNext(char16_t& c) {
  if (queueHead_ < queue_.size()) {
    c = queue_[queueHead_++];
    if (queueHead_ == queue_.size()) {
      queue_.clear();
      queueHead_ = 0;
    }
    return true;
  }
  return readMethods_.ReadChar(*this, c);
}

bool TMkUnicodeReader::ReadChar() {
  prevChar_ = char_;
  char16_t c = 0;
  charValid_ = DecodeNext(c);
  if (!charValid_) return false;
  char_ = c;
  ++position_;
  if (prevChar_ == u'\n' || (prevChar_ == u'\r' && c != u'\n')) {
    ++line_;
    column_ = 1;
  } else if (prevChar_ != u'\r') {
    ++column_;
  }
  return true;
}

bool TMkUnicodeReader::PeekChar(std::int32_t n, char16_t& c) {
  if (n < 1) return false;
  while (queue_.size() - queueHead_ < static_cast<std::size_t>(n)) {
    char16_t next;
    if (!readMethods_.ReadChar(*this, next)) return false;
    queue_.push_back(next);
  }
  c = queue_[queueHead_ + static_cast<std::size_t>(n) - 1];
  return true;
}

std::u16string TMkUnicodeReader::DataTrimmedLeft(TMkCharPredicate predicate) const {
  std::int32_t first = 0;
  while (first < dataLength_ && predicate(data_[static_cast<std::size_t>(first)])) ++first;
  return data_.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(dataLength_ - first));
}

void TMkUnicodeReader::ReserveData(std::int32_t n) {
  if (static_cast<std::int32_t>(data_.size()) < n) data_.resize(static_cast<std::size_t>((n + n / 4 + 4) / 4 * 4));
}

void TMkUnicodeReader::AppendChar(char16_t c) {
  ReserveData(dataLength_ + 1);
  data_[static_cast<std::size_t>(dataLength_++)] = c;
}

void TMkUnicodeReader::AppendText(std::u16string_view text) {
  ReserveData(dataLength_ + static_cast<std::int32_t>(text.size()));
  std::memcpy(data_.data() + dataLength_, text.data(), text.size() * sizeof(char16_t));
  dataLength_ += static_cast<std::int32_t>(text.size());
}

void TMkUnicodeReader::AppendCharNormalized(char16_t c) {
  if (CharIsSpace(c)) {
    if (dataLength_ > 0 && data_[static_cast<std::size_t>(dataLength_ - 1)] == u' ') return;
    c = u' ';
  }
  AppendChar(c);
}

void TMkUnicodeReader::AppendTextNormalized(std::u16string_view text) {
  for (char16_t c : text) AppendCharNormalized(c);
}

void TMkUnicodeReader::AddCharAndRead() {
  AppendChar(char_);
  ReadChar();
}

void TMkUnicodeReader::AddWhileEqual(char16_t c) {
  while (charValid_ && char_ == c) AddCharAndRead();
}

void TMkUnicodeReader::SkipWhileEqual(char16_t c) {
  while (charValid_ && char_ == c) ReadChar();
}

void TMkUnicodeReader::AddUntil(char16_t c) {
  while (charValid_ && char_ != c) AddCharAndRead();
}

void TMkUnicodeReader::SkipUntil(char16_t c) {
  while (charValid_ && char_ != c) ReadChar();
}

void TMkUnicodeReader::AddUntil(char16_t c1, char16_t c2) {
  while (charValid_ && char_ != c1 && char_ != c2) AddCharAndRead();
}

void TMkUnicodeReader::SkipUntil(char16_t c1, char16_t c2) {
  while (charValid_ && char_ != c1 && char_ != c2) ReadChar();
}

void TMkUnicodeReader::AddUntil(char16_t c1, char16_t c2, char16_t c3) {
  while (charValid_ && char_ != c1 && char_ != c2 && char_ != c3) AddCharAndRead();
}

void TMkUnicodeReader::AddWhile(TMkCharPredicate predicate) {
  while (charValid_ && predicate(char_)) AddCharAndRead();
}

void TMkUnicodeReader::SkipWhile(TMkCharPredicate predicate) {
  while (charValid_ && predicate(char_)) ReadChar();
}

void TMkUnicodeReader::AddUntilTest(TMkCharPredicate predicate) {
  while (charValid_ && !predicate(char_)) AddCharAndRead();
}

void TMkUnicodeReader::SkipUntilTest(TMkCharPredicate predicate) {
  while (charValid_ && !predicate(char_)) ReadChar();
}
