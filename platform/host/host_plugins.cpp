#include "platform/host/host_plugins.h"

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/kernel/registry.h"

namespace platform::host {

HRESULT CreatePlugin(const std::string& pluginId, platform::com::ComPtr<IQuindlePlugin>& plugin) {
  plugin.Reset();
  HKEY key = 0;
  const std::string path = kPluginsRegistryKey + pluginId;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return REGDB_E_CLASSNOTREG;
  char text[64] = {};
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(key, "CLSID", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return REGDB_E_CLASSNOTREG;
  CLSID clsid{};
  const std::u16string classText = AnsiToWide(std::string(text));
  if (FAILED(CLSIDFromString(classText.c_str(), &clsid))) return CO_E_CLASSSTRING;
  return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IQuindlePlugin, plugin.PutVoid());
}

}  // namespace platform::host
