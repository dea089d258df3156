// The wide-character ini file: the class library's ini file with two wide operations
// that keep every section name, key and value as UTF-8 on the NT family (the ANSI code
// page on the 9x family), and the two conversions between UTF-8 and wide text.
#pragma once

#include <string>

#include "platform/classlib/inifiles.h"

// True when the version query reports the NT platform; false otherwise or when it fails.
bool IsWinNT();

class TIniFileW : public TIniFile {
 public:
  explicit TIniFileW(const std::string& fileName);

  using TIniFile::ReadString;
  using TIniFile::WriteString;
  // An empty section or key answers the empty string (Default is not used).
  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& defaultValue);
  // An empty section or key is dropped. Raises EIniFileException "Unable to write to
  // <file>" when the write fails, also for a value whose stored form would be longer
  // than the value limit (it could not be read back whole).
  void WriteString(const std::u16string& section, const std::u16string& key, const std::u16string& value);

  const bool IsNT;

 private:
  std::string Encode(const std::u16string& text) const;
  std::u16string Decode(const std::string& text) const;
};

// Through the system's UTF-8 code page with flags 0: what it makes of malformed input
// is the answer; empty gives empty. Text after a zero character is not converted.
std::u16string UTF8ToWideStr(const std::string& text);
std::string WideStrToUTF8(const std::u16string& text);
