// Ini files from outside: any bytes must read without harm through the profile calls,
// the class library's ini file and the wide ini file, and a write of one new section
// must leave every value that could be read before readable unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/classlib/inifiles.h"
#include "platform/fs/profile.h"
#include "support/wide_ini.h"

namespace {

std::vector<std::string> Names(const char* section, const std::string& file) {
  std::vector<char> buffer(1 << 16);
  const DWORD length = GetPrivateProfileStringA(section, nullptr, nullptr, buffer.data(),
                                                static_cast<DWORD>(buffer.size()), file.c_str());
  std::vector<std::string> names;
  for (std::size_t at = 0; at < length;) {
    names.emplace_back(buffer.data() + at);
    at += names.back().size() + 1;
  }
  return names;
}

std::map<std::string, std::string> AllValues(TIniFileW& ini) {
  std::map<std::string, std::string> values;
  for (const std::string& section : Names(nullptr, ini.FileName())) {
    for (const std::string& key : Names(section.c_str(), ini.FileName())) {
      const std::string value = ini.ReadString(section, key, "\x01");
      values[section + '\n' + key] = value;
      ini.ReadInteger(section, key, 0);
      if (value.size() > TIniFile::kMaxValueLength) std::abort();
      ini.ReadString(UTF8ToWideStr(section), UTF8ToWideStr(key), u"");
    }
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file =
      (std::filesystem::temp_directory_path() / ("pellix-fuzz-ini-" + std::to_string(getpid()) + ".ini")).string();
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  TIniFileW ini(file);
  const std::map<std::string, std::string> before = AllValues(ini);
  std::string section = "FuzzSection";
  while (ini.SectionExists(section)) section += "_";
  ini.WriteString(section, "key", " value ");
  if (ini.ReadString(section, "key", "") != "value") std::abort();
  std::map<std::string, std::string> after = AllValues(ini);
  after.erase(section + "\nkey");
  if (after != before) std::abort();
  std::filesystem::remove(file);
  return 0;
}
