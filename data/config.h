// The settings object: named settings in sections, kept either in the ini file
// pxcfg.ini (UTF-8 text) or in the host toolbar's settings store. Every reader keeps
// its own variable, whose value before the read is the default.
//
// Store choice: mode 1 is the host's store, mode 2 the ini file; mode 0 (only as an
// argument) takes the ini file when it exists, else the host's store when its server
// is registered, else the ini file. A connection to the host that is lost during use
// is rebuilt by the next operation, which fails when that cannot be done: the object
// never changes its store on its own.
//
// Texts handed to the host are UTF-8 bytes widened one by one through the ANSI code
// page (ASCII passes unchanged); texts it answers are narrowed and decoded likewise.
//
// No lock: the program-wide object is used from the thread that created it, with COM
// initialised on that thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/host/host_toolbar.h"
#include "support/wide_ini.h"

inline constexpr std::uint8_t kConfigAuto = 0;
inline constexpr std::uint8_t kConfigServer = 1;
inline constexpr std::uint8_t kConfigIni = 2;

// Read flags passed to the host: all bits set.
inline constexpr SHORT kHostReadFlags = -1;

// Program-wide texts of the settings.
extern std::u16string DefaultSection;   // "PELLIX"
extern std::string HostPluginKey;       // "Software\Quindle\PlugIns\PELLIX\"
extern std::string HostKey;             // "Software\Quindle\"
extern std::string ConfigFileName;      // "pxcfg.ini"

class TConfig {
 public:
  TConfig(std::uint8_t mode, const std::string& fileName);
  ~TConfig();
  TConfig(const TConfig&) = delete;
  TConfig& operator=(const TConfig&) = delete;

  // Chooses the store (see above); an empty FileName is the program folder's pxcfg.ini.
  void Open(std::uint8_t mode, const std::string& fileName);
  // Creates both host objects when one is missing and waits (up to 51 polls, 100 ms
  // apart) for the host's store to be ready; the connection is used either way.
  void ConnectServer();
  // Releases both host objects; the next host operation connects again.
  void Disconnect();

  // Reads answer true on success; an empty key answers false and reads nothing.
  bool ReadSectionString(std::u16string_view section, std::u16string_view key, SHORT hostFlag,
                         std::u16string& value);
  // The ini value as a number: 0 when absent or not a number.
  bool ReadSectionInteger(std::u16string_view section, std::u16string_view key, SHORT hostFlag,
                          std::int32_t& value);
  // The ini value with "." or "," as the decimal mark: 0 when absent or not a number.
  bool ReadSectionFloat(std::u16string_view section, std::u16string_view key, SHORT hostFlag, double& value);
  // In the default section; a string setting has no default: Value is emptied first.
  bool ReadString(std::u16string_view key, std::u16string& value, SHORT hostFlag = kHostReadFlags);
  bool ReadInteger(std::u16string_view key, std::int32_t& value, SHORT hostFlag = kHostReadFlags);
  bool ReadFloat(std::u16string_view key, double& value, SHORT hostFlag = kHostReadFlags);
  // Value = (the text as a number = 1); the number is Value's own (1 or 0) when the
  // text is absent or not a number.
  bool ReadBool(std::u16string_view key, bool& value);
  // Value = the text as a number; unchanged when absent or not a number.
  bool ReadIntDef(std::u16string_view key, std::int32_t& value);

  // Writes answer true on success: false for an empty key, a host that fails three
  // times, or an ini file that cannot be written.
  bool WriteSectionBool(std::u16string_view section, std::u16string_view key, bool hostFlag, bool value);
  bool WriteSectionInteger(std::u16string_view section, std::u16string_view key, bool hostFlag, std::int32_t value);
  bool WriteSectionString(std::u16string_view section, std::u16string_view key, bool hostFlag,
                          std::u16string_view value);
  // Written with "." as the decimal mark.
  bool WriteSectionFloat(std::u16string_view section, std::u16string_view key, bool hostFlag, double value);
  bool WriteBool(std::u16string_view key, bool value, bool hostFlag = false);
  bool WriteInteger(std::u16string_view key, std::int32_t value, bool hostFlag = false);
  bool WriteString(std::u16string_view key, std::u16string_view value, bool hostFlag = false);
  bool WriteFloat(std::u16string_view key, double value, bool hostFlag = false);

  // Asks the host to show its settings window on the program's pages, whatever the
  // store is.
  bool ShowSettings(std::int32_t arg);

  std::uint8_t Mode = kConfigIni;
  std::string FileName;
  std::unique_ptr<TIniFileW> IniFile;
  platform::com::ComPtr<IQuindleSettingsServer> Server;
  platform::com::ComPtr<IQuindleToolbar> Server2;

 private:
  // Runs Call on the host object up to three times, reconnecting before an attempt
  // when the connection is missing and dropping it after a failed call. Only in mode 1
  // unless AnyMode.
  template <typename Call>
  bool WithServer(Call call, bool anyMode);
  // A number read from the ini text (0 when it is none) or by the host.
  template <typename T, typename HostRead>
  bool ReadSectionNumber(std::u16string_view section, std::u16string_view key, SHORT hostFlag, T& value,
                         bool (*parse)(std::u16string_view, T&), HostRead hostRead);
  bool IniRead(std::u16string_view section, std::u16string_view key, std::u16string& value);
  bool IniWrite(std::u16string_view section, std::u16string_view key, const std::u16string& value);
};

// True when the host's settings server is registered with a file that exists: the
// default value of its InProcServer32 or LocalServer32 key, read without the quotes
// and arguments around the path.
bool IsSettingsServerRegistered();
// CoCreateInstance (in-process or local server, one retry) and QueryInterface for IID.
bool CreateComObject(REFCLSID classId, REFIID interfaceId, void** ref);

// The text a host text stands for, and the host text of a text.
std::u16string ToHostText(std::u16string_view text);
std::u16string FromHostText(std::u16string_view text);
