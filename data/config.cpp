#include "data/config.h"

#include <charconv>
#include <cstdlib>

#include "platform/base/text.h"
#include "platform/classlib/inifiles.h"
#include "platform/com/bstr.h"
#include "support/files_folders.h"
#include "support/locks.h"
#include "support/program_paths.h"
#include "support/registry_access.h"

std::u16string DefaultSection = u"PELLIX";
std::string HostPluginKey = "Software\\Quindle\\PlugIns\\PELLIX\\";
std::string HostKey = "Software\\Quindle\\";
std::string ConfigFileName = "pxcfg.ini";

namespace {

using platform::com::BString;

constexpr int kServerAttempts = 3;
constexpr int kReadyPolls = 51;
constexpr DWORD kReadyWait = 100;
constexpr std::u16string_view kIniEmptySection = u"APP";

BString HostText(std::u16string_view text) { return BString(ToHostText(text)); }

VARIANT_BOOL HostBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A whole decimal (or "$"/"0x" hexadecimal) 32-bit number.
bool ParseInteger(std::u16string_view text, std::int32_t& value) {
  std::int32_t parsed = 0;
  if (!TryStrToInt(platform::WideToAnsi(text), parsed)) return false;
  value = parsed;
  return true;
}

// A number with "." or "," as the decimal mark, nothing else around it.
bool ParseFloat(std::u16string_view text, double& value) {
  std::string ascii = platform::WideToAnsi(text);
  for (char& ch : ascii) {
    if (ch == ',') ch = '.';
  }
  double parsed = 0;
  auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), parsed);
  if (ascii.empty() || error != std::errc() || end != ascii.data() + ascii.size()) return false;
  value = parsed;
  return true;
}

std::u16string FloatText(double value) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? platform::AnsiToWide(std::string(buffer, end)) : u"0";
}

// The file a server key's default value names: the text inside leading quotes, else
// the longest part before a blank that names an existing file.
bool NamesExistingFile(std::string command) {
  if (!command.empty() && command.front() == '"') {
    auto close = command.find('"', 1);
    return close != std::string::npos && IsExistingFile(command.substr(1, close - 1));
  }
  while (!command.empty()) {
    if (IsExistingFile(command)) return true;
    auto blank = command.rfind(' ');
    if (blank == std::string::npos) return false;
    command.resize(blank);
  }
  return false;
}

}  // namespace

std::u16string ToHostText(std::u16string_view text) { return platform::AnsiToWide(platform::WideToUtf8(text)); }

std::u16string FromHostText(std::u16string_view text) { return platform::Utf8ToWide(platform::WideToAnsi(text)); }

bool IsSettingsServerRegistered() {
  char16_t guid[40];
  StringFromGUID2(CLSID_QuindleSettingsServer, guid, 40);
  const std::string key = "CLSID\\" + platform::WideToAnsi(guid) + "\\";
  for (const char* server : {"InProcServer32", "LocalServer32"}) {
    std::string path;
    if (RegReadString(HKEY_CLASSES_ROOT, key + server, "", path) && NamesExistingFile(path)) return true;
  }
  return false;
}

bool CreateComObject(REFCLSID classId, REFIID interfaceId, void** ref) {
  *ref = nullptr;
  platform::com::ComPtr<IUnknown> object;
  HRESULT hr = CoCreateInstance(classId, nullptr, kHostClassContext, IID_IUnknown, object.PutVoid());
  if (FAILED(hr)) hr = CoCreateInstance(classId, nullptr, kHostClassContext, IID_IUnknown, object.PutVoid());
  return SUCCEEDED(hr) && SUCCEEDED(object->QueryInterface(interfaceId, ref));
}

TConfig::TConfig(std::uint8_t mode, const std::string& fileName) { Open(mode, fileName); }

TConfig::~TConfig() { Disconnect(); }

void TConfig::Open(std::uint8_t mode, const std::string& fileName) {
  FileName = fileName.empty() ? StandAloneFolder() + ConfigFileName : fileName;
  if (mode == kConfigAuto) {
    if (IsExistingFile(FileName)) {
      mode = kConfigIni;
    } else {
      mode = IsSettingsServerRegistered() ? kConfigServer : kConfigIni;
    }
  }
  Mode = mode;
  if (Mode == kConfigServer) {
    IniFile.reset();
    ConnectServer();
  } else {
    Disconnect();
    IniFile = std::make_unique<TIniFileW>(FileName);
  }
}

void TConfig::ConnectServer() {
  if (Server && Server2) return;
  Disconnect();
  if (!CreateComObject(CLSID_QuindleSettingsServer, IID_IQuindleSettingsServer, Server.PutVoid()) ||
      !CreateComObject(CLSID_QuindleToolbar, IID_IQuindleToolbar, Server2.PutVoid())) {
    Disconnect();
    return;
  }
  for (int poll = 0; poll < kReadyPolls; ++poll) {
    VARIANT_BOOL ready = VARIANT_FALSE;
    HRESULT hr = Server->get_Ready(&ready);
    if (FAILED(hr)) continue;
    if (ready != VARIANT_FALSE) break;
    support::Delay(kReadyWait);
  }
}

void TConfig::Disconnect() {
  Server.Reset();
  Server2.Reset();
}

template <typename Call>
bool TConfig::WithServer(Call call, bool anyMode) {
  if (!anyMode && Mode != kConfigServer) return false;
  for (int attempt = 0; attempt < kServerAttempts; ++attempt) {
    if (!Server2) ConnectServer();
    if (!Server2) continue;
    if (SUCCEEDED(call(Server2.get()))) return true;
    Disconnect();
  }
  return false;
}

bool TConfig::IniRead(std::u16string_view section, std::u16string_view key, std::u16string& value) {
  value.clear();
  if (!IniFile) return false;
  value = IniFile->ReadString(std::u16string(section.empty() ? kIniEmptySection : section), std::u16string(key), u"");
  return true;
}

bool TConfig::IniWrite(std::u16string_view section, std::u16string_view key, const std::u16string& value) {
  if (!IniFile) return false;
  try {
    IniFile->WriteString(std::u16string(section.empty() ? kIniEmptySection : section), std::u16string(key), value);
  } catch (const EIniFileException&) {
    return false;
  }
  return true;
}

bool TConfig::ReadSectionString(std::u16string_view section, std::u16string_view key, SHORT hostFlag,
                                std::u16string& value) {
  value.clear();
  if (key.empty()) return false;
  if (Mode != kConfigServer) return IniRead(section, key, value);
  return WithServer(
      [&](IQuindleToolbar* host) {
        BString text;
        HRESULT hr = host->ReadString(HostText(section).get(), HostText(key).get(), hostFlag, text.Put());
        value = SUCCEEDED(hr) ? FromHostText(text.Text()) : std::u16string();
        return hr;
      },
      false);
}

template <typename T, typename HostRead>
bool TConfig::ReadSectionNumber(std::u16string_view section, std::u16string_view key, SHORT hostFlag, T& value,
                                bool (*parse)(std::u16string_view, T&), HostRead hostRead) {
  value = 0;
  if (key.empty()) return false;
  if (Mode != kConfigServer) {
    std::u16string text;
    if (!IniRead(section, key, text)) return false;
    if (!parse(text, value)) value = 0;
    return true;
  }
  return WithServer(
      [&](IQuindleToolbar* host) {
        T number = 0;
        HRESULT hr = hostRead(host, HostText(section).get(), HostText(key).get(), hostFlag, &number);
        value = SUCCEEDED(hr) ? number : 0;
        return hr;
      },
      false);
}

bool TConfig::ReadSectionInteger(std::u16string_view section, std::u16string_view key, SHORT hostFlag,
                                 std::int32_t& value) {
  return ReadSectionNumber(section, key, hostFlag, value, ParseInteger,
                           [](IQuindleToolbar* host, BSTR s, BSTR k, SHORT flag, std::int32_t* out) {
                             return host->ReadInteger(s, k, flag, out);
                           });
}

bool TConfig::ReadSectionFloat(std::u16string_view section, std::u16string_view key, SHORT hostFlag, double& value) {
  return ReadSectionNumber(section, key, hostFlag, value, ParseFloat,
                           [](IQuindleToolbar* host, BSTR s, BSTR k, SHORT flag, double* out) {
                             return host->ReadFloat(s, k, flag, out);
                           });
}

bool TConfig::ReadString(std::u16string_view key, std::u16string& value, SHORT hostFlag) {
  return ReadSectionString(DefaultSection, key, hostFlag, value);
}

bool TConfig::ReadInteger(std::u16string_view key, std::int32_t& value, SHORT hostFlag) {
  return ReadSectionInteger(DefaultSection, key, hostFlag, value);
}

bool TConfig::ReadFloat(std::u16string_view key, double& value, SHORT hostFlag) {
  return ReadSectionFloat(DefaultSection, key, hostFlag, value);
}

bool TConfig::ReadBool(std::u16string_view key, bool& value) {
  std::int32_t number = value ? 1 : 0;
  if (!ReadIntDef(key, number)) return false;
  value = number == 1;
  return true;
}

bool TConfig::ReadIntDef(std::u16string_view key, std::int32_t& value) {
  std::u16string text;
  if (!ReadString(key, text)) return false;
  ParseInteger(text, value);
  return true;
}

bool TConfig::WriteSectionBool(std::u16string_view section, std::u16string_view key, bool hostFlag, bool value) {
  if (key.empty()) return false;
  if (Mode != kConfigServer) return IniWrite(section, key, value ? u"1" : u"0");
  return WithServer(
      [&](IQuindleToolbar* host) {
        return host->WriteBool(HostText(section).get(), HostText(key).get(), HostBool(value), HostBool(hostFlag));
      },
      false);
}

bool TConfig::WriteSectionInteger(std::u16string_view section, std::u16string_view key, bool hostFlag,
                                  std::int32_t value) {
  if (key.empty()) return false;
  if (Mode != kConfigServer) return IniWrite(section, key, platform::AnsiToWide(std::to_string(value)));
  return WithServer(
      [&](IQuindleToolbar* host) {
        return host->WriteInteger(HostText(section).get(), HostText(key).get(), value, HostBool(hostFlag));
      },
      false);
}

bool TConfig::WriteSectionString(std::u16string_view section, std::u16string_view key, bool hostFlag,
                                 std::u16string_view value) {
  if (key.empty()) return false;
  if (Mode != kConfigServer) return IniWrite(section, key, std::u16string(value));
  return WithServer(
      [&](IQuindleToolbar* host) {
        return host->WriteString(HostText(section).get(), HostText(key).get(), HostText(value).get(),
                                 HostBool(hostFlag));
      },
      false);
}

bool TConfig::WriteSectionFloat(std::u16string_view section, std::u16string_view key, bool hostFlag, double value) {
  if (key.empty()) return false;
  if (Mode != kConfigServer) return IniWrite(section, key, FloatText(value));
  return WithServer(
      [&](IQuindleToolbar* host) {
        return host->WriteFloat(HostText(section).get(), HostText(key).get(), value, HostBool(hostFlag));
      },
      false);
}

bool TConfig::WriteBool(std::u16string_view key, bool value, bool hostFlag) {
  return WriteSectionBool(DefaultSection, key, hostFlag, value);
}

bool TConfig::WriteInteger(std::u16string_view key, std::int32_t value, bool hostFlag) {
  return WriteSectionInteger(DefaultSection, key, hostFlag, value);
}

bool TConfig::WriteString(std::u16string_view key, std::u16string_view value, bool hostFlag) {
  return WriteSectionString(DefaultSection, key, hostFlag, value);
}

bool TConfig::WriteFloat(std::u16string_view key, double value, bool hostFlag) {
  return WriteSectionFloat(DefaultSection, key, hostFlag, value);
}

bool TConfig::ShowSettings(std::int32_t arg) {
  return WithServer(
      [&](IQuindleToolbar* host) {
        LONG result = 0;
        return host->ShowSettings(HostText(DefaultSection).get(), 0, 0, 0, 0, 0, 0, arg, &result);
      },
      true);
}
