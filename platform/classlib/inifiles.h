// The class library's ini file over the platform's profile calls
// (platform/fs/profile.h): every read and write is one call on the named file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classlib/exceptions.h"
#include "platform/classlib/object.h"
#include "platform/classlib/strings.h"

inline constexpr std::string_view SIniFileWriteError = "Unable to write to %s";

class EIniFileException : public Exception {
  using Exception::Exception;
};

class TIniFile : public TObject {
 public:
  // A value read is at most this long: the profile call reads into 2048 bytes.
  static constexpr std::size_t kMaxValueLength = 2047;

  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  const std::string& FileName() const { return fileName_; }

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue);
  // Raises EIniFileException "Unable to write to <file>" when the write fails, and
  // also for a value longer than kMaxValueLength, which could never be read back whole.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);

  // Decimal, or hexadecimal after "$" or "0x"; Default for anything else.
  std::int32_t ReadInteger(const std::string& section, const std::string& ident, std::int32_t defaultValue);
  void WriteInteger(const std::string& section, const std::string& ident, std::int32_t value);
  // Any integer but 0 is true; written as "1" or "0".
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  void WriteBool(const std::string& section, const std::string& ident, bool value);

  // Fill the list (cleared first) with the key names of a section, the section names,
  // or the "key=value" lines of a section.
  void ReadSection(const std::string& section, TStrings& strings);
  void ReadSections(TStrings& strings);
  void ReadSectionValues(const std::string& section, TStrings& strings);
  bool SectionExists(const std::string& section);
  bool ValueExists(const std::string& section, const std::string& ident);

  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);
  void UpdateFile();

 private:
  void Write(const char* section, const char* ident, const char* value);
  std::vector<std::string> Names(const char* section);
  void ReadList(const char* section, TStrings& strings);
  std::string fileName_;
};

// The class library's conversion: decimal with an optional sign, or hexadecimal after
// "$" (also "0x"); false for any other text or one out of the 32-bit range.
bool TryStrToInt(std::string_view text, std::int32_t& value);
