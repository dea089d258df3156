#include "platform/com/server_registration.h"

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/kernel/registry.h"

namespace platform::com {
namespace {

// The standard proxy of automation interfaces.
constexpr char kAutomationProxy[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kVersion[] = "1.0";

bool WriteDefault(const std::string& key, const std::string& value) {
  HKEY handle = 0;
  LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                   nullptr, &handle, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
  }
  SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS;
}

std::string ReadDefault(const std::string& key) {
  HKEY handle = 0;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return {};
  char text[256] = {};
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : std::string();
}

bool DeleteTree(const std::string& key) {
  const LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

std::string FolderOf(const std::string& file) {
  const std::size_t slash = file.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

}  // namespace

std::string GuidKeyText(REFGUID guid) { return WideToAnsi(GuidToText(guid)); }

bool RegisterLocalServer(const LocalServerClass& server) {
  const std::string clsid = GuidKeyText(server.Clsid);
  const std::string libId = GuidKeyText(server.LibId);
  const std::string classKey = "CLSID\\" + clsid;
  const std::string libKey = "TypeLib\\" + libId + "\\" + kVersion;
  const std::string interfaceKey = "Interface\\" + GuidKeyText(server.DefaultInterface);
  const std::pair<std::string, std::string> values[] = {
      {classKey, server.Description},
      {classKey + "\\LocalServer32", server.ServerFile},
      {classKey + "\\ProgID", server.ProgId},
      {classKey + "\\TypeLib", libId},
      {classKey + "\\Version", kVersion},
      {server.ProgId, server.Description},
      {server.ProgId + "\\Clsid", clsid},
      {libKey, server.LibraryDescription},
      {libKey + "\\0\\win32", server.ServerFile},
      {libKey + "\\FLAGS", "0"},
      {libKey + "\\HELPDIR", FolderOf(server.ServerFile)},
      {interfaceKey, server.InterfaceName},
      {interfaceKey + "\\ProxyStubClsid32", kAutomationProxy},
      {interfaceKey + "\\TypeLib", libId},
  };
  for (const auto& [key, value] : values)
    if (!WriteDefault(key, value)) return false;
  return true;
}

bool UnregisterLocalServer(const LocalServerClass& server) {
  const std::string libId = GuidKeyText(server.LibId);
  const std::string interfaceKey = "Interface\\" + GuidKeyText(server.DefaultInterface);
  // The interface is the host's: its key goes only while it still points at this library.
  const bool interfaceGone = ReadDefault(interfaceKey + "\\TypeLib") != libId || DeleteTree(interfaceKey);
  const bool classGone = DeleteTree("CLSID\\" + GuidKeyText(server.Clsid));
  const bool progIdGone = server.ProgId.empty() || DeleteTree(server.ProgId);
  const bool libGone = DeleteTree("TypeLib\\" + libId);
  return interfaceGone && classGone && progIdGone && libGone;
}

}  // namespace platform::com
