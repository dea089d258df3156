// Reads characters one at a time from a byte source through a pluggable decoder,
// keeping the current character, a look-ahead queue and a data buffer into which
// the scanning operations collect the characters of the current piece; counts
// position, line and column. The HTML parser is derived from it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "controls/htmllabel/mk_utils.h"
#include "platform/classlib/streams.h"

class TMkUnicodeReader;

// A decoder: Init and Done may be nil; ReadChar yields one UTF-16 unit or false at the end.
struct TMkUnicodeReadMethods {
  void (*Init)(TMkUnicodeReader& reader) = nullptr;
  bool (*ReadChar)(TMkUnicodeReader& reader, char16_t& c) = nullptr;
  void (*Done)(TMkUnicodeReader& reader) = nullptr;
};

// One byte gives the character with the same code (128..255 become U+0080..U+00FF).
extern const TMkUnicodeReadMethods kMkDefaultReadMethods;
// Two bytes, low first; a character beyond U+FFFF gives U+FFFD, a lone low surrogate ends the input.
extern const TMkUnicodeReadMethods kMkUtf16LEReadMethods;

class EMkReaderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMkUnicodeReader {
 public:
  TMkUnicodeReader();
  virtual ~TMkUnicodeReader();
  TMkUnicodeReader(const TMkUnicodeReader&) = delete;
  TMkUnicodeReader& operator=(const TMkUnicodeReader&) = delete;
  virtual std::string ClassName() const { return "TMkUnicodeReader"; }

  // Sources. Buffer and string sources raise EMkReaderError while a stream source is
  // set; clear it with SetSourceStream(nullptr). The memory of SetSourceBuffer must
  // outlive the reading; the string forms keep their own copy.
  void SetSourceBuffer(const void* buffer, std::size_t length, const std::string& sourceName = {});
  void SetSourceString(std::string_view text, const std::string& sourceName = {});
  void SetSourceWideString(std::u16string_view text, const std::string& sourceName = {});
  void SetSourceStream(TStream* stream, bool ownsStream, const std::string& sourceName = {});
  const std::string& SourceName() const { return sourceName_; }

  const TMkUnicodeReadMethods& ReadMethods() const { return readMethods_; }
  void SetReadMethods(const TMkUnicodeReadMethods& methods);
  // The decoders' byte source: false at the end of the input.
  bool ReadSourceByte(std::uint8_t& byte);

  bool ReadChar();
  // The character n places after the current one (n >= 1), through the look-ahead queue.
  bool PeekChar(std::int32_t n, char16_t& c);

  bool CharValid() const { return charValid_; }
  char16_t Char() const { return char_; }
  char16_t PrevChar() const { return prevChar_; }
  std::uint32_t Position() const { return position_; }
  std::uint32_t Line() const { return line_; }
  std::uint32_t Column() const { return column_; }

  std::u16string Data() const { return data_.substr(0, static_cast<std::size_t>(dataLength_)); }
  std::u16string DataTrimmedLeft(TMkCharPredicate predicate = CharIsSpace) const;
  std::int32_t DataLength() const { return dataLength_; }
  const char16_t* DataBuffer() const { return data_.data(); }
  void ClearData() { dataLength_ = 0; }

  // Scanning: move over the input (keeping the counters) adding the characters
  // passed to the data buffer, or skipping them.
  void AddWhileEqual(char16_t c);
  void SkipWhileEqual(char16_t c);
  void AddUntil(char16_t c);
  void SkipUntil(char16_t c);
  void AddUntil(char16_t c1, char16_t c2);
  void SkipUntil(char16_t c1, char16_t c2);
  void AddUntil(char16_t c1, char16_t c2, char16_t c3);
  void AddWhile(TMkCharPredicate predicate);
  void SkipWhile(TMkCharPredicate predicate);
  void AddUntilTest(TMkCharPredicate predicate);
  void SkipUntilTest(TMkCharPredicate predicate);
  void SkipWhiteSpace() { SkipWhile(CharIsSpace); }
  void AddNameChars() { AddWhile(CharIsNameChar); }

  // Adds the current character and reads the next.
  void AddCharAndRead();
  void AppendChar(char16_t c);
  void AppendText(std::u16string_view text);
  // White space becomes one blank, and no blank follows a blank.
  void AppendCharNormalized(char16_t c);
  void AppendTextNormalized(std::u16string_view text);

 protected:
  // Resets the counters, the queue and the current character (every new source does).
  virtual void ResetSource();

 private:
  void CheckNotStreamMode() const;
  bool DecodeNext(char16_t& c);
  bool RefillFromStream();
  void ReleaseStream();
  void ReserveData(std::int32_t n);

  bool charValid_ = false;
  char16_t char_ = 0;
  char16_t prevChar_ = 0;
  std::uint32_t position_ = 0;
  std::uint32_t line_ = 1;
  std::uint32_t column_ = 0;

  // Byte source: memory (in place or an owned copy of a string), or a stream through a buffer.
  const std::uint8_t* bytes_ = nullptr;
  std::size_t bytesEnd_ = 0;
  std::size_t bytesPos_ = 0;
  std::string ownedBytes_;
  TStream* stream_ = nullptr;
  bool ownsStream_ = false;
  std::string streamBuffer_;

  std::u16string queue_;
  std::size_t queueHead_ = 0;
  std::string sourceName_;
  TMkUnicodeReadMethods readMethods_ = kMkDefaultReadMethods;
  std::u16string data_;
  std::int32_t dataLength_ = 0;
};
