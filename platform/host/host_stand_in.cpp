#include "platform/host/host_stand_in.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/kernel/process.h"
#include "platform/kernel/registry.h"

namespace platform::host {
namespace {

using platform::com::ComPtr;

constexpr char kStoreFault[] = "HostSettingsStore";
constexpr char kPluginsKey[] = "Software\\Quindle\\PlugIns\\";

struct HostState {
  std::mutex lock;
  std::vector<HostCall> calls;
  DWORD toolbarCookie = 0;
  DWORD serverCookie = 0;
  int notReadyPolls = 0;
};

HostState& State() {
  static HostState state;
  return state;
}

std::atomic<unsigned> generation{1};

void Record(int slot, std::vector<std::u16string> args) {
  HostState& state = State();
  std::lock_guard hold(state.lock);
  state.calls.push_back({slot, std::move(args)});
}

std::u16string Text(BSTR text) { return platform::com::ToText(text); }

std::u16string VariantText(const VARIANT& value) {
  if (value.vt == VT_EMPTY || value.vt == VT_NULL) return u"<nothing>";
  return platform::com::Variant::CopyOf(value).AsText();
}

std::u16string Number(long long value) { return AnsiToWide(std::to_string(value)); }

std::u16string FloatText(double value) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? AnsiToWide(std::string(buffer, end)) : u"0";
}

std::string ClassKey(REFCLSID clsid) {
  char16_t text[40];
  StringFromGUID2(clsid, text, 40);
  return "CLSID\\" + WideToAnsi(text) + "\\LocalServer32";
}

// The store keeps every value as text in the code page of the registry's 8-bit calls.
HRESULT StoreRead(BSTR section, BSTR key, std::string& value) {
  value.clear();
  HKEY handle = 0;
  LSTATUS status = RegOpenKeyExA(HKEY_CURRENT_USER, HostSettingsKey(Text(section)).c_str(), 0, KEY_READ, &handle);
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  std::string name = WideToAnsi(Text(key));
  DWORD type = 0;
  DWORD size = 0;
  status = RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &size);
  if (status == ERROR_SUCCESS && type == REG_SZ && size > 0) {
    std::string bytes(size, '\0');
    status = RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    if (status == ERROR_SUCCESS) value.assign(bytes.c_str());
  }
  RegCloseKey(handle);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT StoreWrite(BSTR section, BSTR key, const std::u16string& value) {
  if (Text(key).empty()) return E_INVALIDARG;
  HKEY handle = 0;
  LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, HostSettingsKey(Text(section)).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  std::string bytes = WideToAnsi(value);
  status = RegSetValueExA(handle, WideToAnsi(Text(key)).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(bytes.c_str()), static_cast<DWORD>(bytes.size() + 1));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

// The state every object checks first: made before a restart, it is disconnected; a
// store call may be made to fail on purpose.
class HostObject {
 protected:
  HRESULT Connected() const {
    return made_ == generation.load() ? S_OK : RPC_E_DISCONNECTED;
  }
  HRESULT StoreCall() const {
    HRESULT hr = Connected();
    if (FAILED(hr)) return hr;
    if (platform::faults::ShouldFail(kStoreFault)) return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
  }

 private:
  unsigned made_ = generation.load();
};

template <typename I>
class HostDispatch : public platform::com::ComObject<I>, protected HostObject {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

class Toolbar : public HostDispatch<IQuindleToolbar> {
 public:
  HRESULT ReadInteger(BSTR section, BSTR key, SHORT flags, LONG* value) override {
    if (value == nullptr) return E_POINTER;
    *value = 0;
    std::string text;
    HRESULT hr = ReadCall(8, section, key, flags, text);
    if (SUCCEEDED(hr)) *value = static_cast<LONG>(std::strtol(text.c_str(), nullptr, 10));
    return hr;
  }
  HRESULT ReadString(BSTR section, BSTR key, SHORT flags, BSTR* value) override {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    std::string text;
    HRESULT hr = ReadCall(9, section, key, flags, text);
    if (SUCCEEDED(hr)) *value = platform::com::AllocText(AnsiToWide(text));
    return hr;
  }
  HRESULT ReadFloat(BSTR section, BSTR key, SHORT flags, DOUBLE* value) override {
    if (value == nullptr) return E_POINTER;
    *value = 0;
    std::string text;
    HRESULT hr = ReadCall(10, section, key, flags, text);
    if (SUCCEEDED(hr)) std::from_chars(text.data(), text.data() + text.size(), *value);
    return hr;
  }
  HRESULT WriteBool(BSTR section, BSTR key, VARIANT_BOOL value, VARIANT_BOOL flags) override {
    return WriteCall(11, section, key, value != VARIANT_FALSE ? u"1" : u"0", flags);
  }
  HRESULT WriteInteger(BSTR section, BSTR key, LONG value, VARIANT_BOOL flags) override {
    return WriteCall(12, section, key, Number(value), flags);
  }
  HRESULT WriteString(BSTR section, BSTR key, BSTR value, VARIANT_BOOL flags) override {
    return WriteCall(13, section, key, Text(value), flags);
  }
  HRESULT WriteFloat(BSTR section, BSTR key, DOUBLE value, VARIANT_BOOL flags) override {
    return WriteCall(14, section, key, FloatText(value), flags);
  }
  HRESULT SetButtonCaption(BSTR pluginId, LONG reserved, BSTR buttonId, VARIANT caption) override {
    return Recorded(28, {Text(pluginId), Number(reserved), Text(buttonId), VariantText(caption)});
  }
  HRESULT ShowButton(BSTR pluginId, LONG reserved, BSTR buttonId, LONG show) override {
    return Recorded(30, {Text(pluginId), Number(reserved), Text(buttonId), Number(show)});
  }
  HRESULT SetMenu(BSTR pluginId, LONG reserved, BSTR menuPluginId, BSTR menuText) override {
    return Recorded(31, {Text(pluginId), Number(reserved), Text(menuPluginId), Text(menuText)});
  }
  HRESULT ButtonCommand(BSTR pluginId, LONG reserved, BSTR command, BSTR buttonId, VARIANT data) override {
    return Recorded(33, {Text(pluginId), Number(reserved), Text(command), Text(buttonId), VariantText(data)});
  }
  HRESULT ShowSettings(BSTR section, LONG zero1, LONG zero2, LONG zero3, LONG zero4, LONG zero5, LONG zero6,
                       LONG page, LONG* result) override {
    if (result != nullptr) *result = 0;
    return Recorded(48, {Text(section), Number(zero1), Number(zero2), Number(zero3), Number(zero4),
                         Number(zero5), Number(zero6), Number(page)});
  }

 private:
  HRESULT Recorded(int slot, std::vector<std::u16string> args) {
    HRESULT hr = Connected();
    if (SUCCEEDED(hr)) Record(slot, std::move(args));
    return hr;
  }
  HRESULT ReadCall(int slot, BSTR section, BSTR key, SHORT flags, std::string& text) {
    HRESULT hr = StoreCall();
    if (FAILED(hr)) return hr;
    Record(slot, {Text(section), Text(key), Number(flags)});
    return StoreRead(section, key, text);
  }
  HRESULT WriteCall(int slot, BSTR section, BSTR key, const std::u16string& value, VARIANT_BOOL flags) {
    HRESULT hr = StoreCall();
    if (FAILED(hr)) return hr;
    Record(slot, {Text(section), Text(key), value, Number(flags)});
    return StoreWrite(section, key, value);
  }
};

class SettingsServer : public HostDispatch<IQuindleSettingsServer> {
 public:
  HRESULT get_Ready(VARIANT_BOOL* ready) override {
    if (ready == nullptr) return E_POINTER;
    *ready = VARIANT_FALSE;
    HRESULT hr = StoreCall();
    if (FAILED(hr)) return hr;
    HostState& state = State();
    std::lock_guard hold(state.lock);
    state.calls.push_back({21, {}});
    if (state.notReadyPolls > 0) {
      --state.notReadyPolls;
      return S_OK;
    }
    *ready = VARIANT_TRUE;
    return S_OK;
  }
};

template <typename T>
ComPtr<IUnknown> MakeFactory() {
  return platform::com::MakeComObject<platform::com::ClassFactory>(
      [] { return ComPtr<IUnknown>(platform::com::MakeComObject<T>()); });
}

bool WriteServerKey(REFCLSID clsid) {
  char program[4096] = {};
  if (GetModuleFileNameA(0, program, sizeof program) == 0) return false;
  HKEY handle = 0;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, ClassKey(clsid).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS status = RegSetValueExA(handle, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(program),
                                  static_cast<DWORD>(std::char_traits<char>::length(program) + 1));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

void RemoveServerKey(REFCLSID clsid) {
  std::string key = ClassKey(clsid);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, key.substr(0, key.rfind('\\')).c_str());
}

}  // namespace

std::string HostSettingsKey(const std::u16string& section) { return kPluginsKey + WideToAnsi(section); }

bool InstallHost() {
  if (HostInstalled()) return true;
  HostState& state = State();
  DWORD toolbar = 0;
  DWORD server = 0;
  bool done = SUCCEEDED(CoRegisterClassObject(CLSID_QuindleToolbar, MakeFactory<Toolbar>().get(),
                                              CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &toolbar)) &&
              SUCCEEDED(CoRegisterClassObject(CLSID_QuindleSettingsServer, MakeFactory<SettingsServer>().get(),
                                              CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &server)) &&
              WriteServerKey(CLSID_QuindleToolbar) && WriteServerKey(CLSID_QuindleSettingsServer);
  {
    std::lock_guard hold(state.lock);
    state.toolbarCookie = toolbar;
    state.serverCookie = server;
    state.calls.clear();
  }
  if (!done) UninstallHost();
  return done;
}

void UninstallHost() {
  HostState& state = State();
  DWORD toolbar = 0;
  DWORD server = 0;
  {
    std::lock_guard hold(state.lock);
    toolbar = std::exchange(state.toolbarCookie, 0);
    server = std::exchange(state.serverCookie, 0);
    state.notReadyPolls = 0;
  }
  if (toolbar != 0) CoRevokeClassObject(toolbar);
  if (server != 0) CoRevokeClassObject(server);
  RemoveServerKey(CLSID_QuindleToolbar);
  RemoveServerKey(CLSID_QuindleSettingsServer);
  RestartHost();
}

bool HostInstalled() {
  HostState& state = State();
  std::lock_guard hold(state.lock);
  return state.toolbarCookie != 0;
}

void RestartHost() { ++generation; }

void SetHostNotReady(int count) {
  HostState& state = State();
  std::lock_guard hold(state.lock);
  state.notReadyPolls = count;
}

std::vector<HostCall> HostCalls() {
  HostState& state = State();
  std::lock_guard hold(state.lock);
  return state.calls;
}

void ClearHostCalls() {
  HostState& state = State();
  std::lock_guard hold(state.lock);
  state.calls.clear();
}

}  // namespace platform::host
