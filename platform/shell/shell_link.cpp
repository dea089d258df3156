#include "platform/shell/shell_link.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/fs/files.h"
#include "platform/fs/names.h"
#include "platform/fs/special_folders.h"
#include "platform/fs/whole_files.h"
#include "platform/kernel/command_line.h"

namespace {

using platform::com::ComPtr;

// A text as a desktop entry's string value: backslash and the control characters
// that would end or bend the line are escaped.
std::string EscapeValue(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

// One argument of an Exec line: always quoted, with the characters the launcher
// reads inside quotes escaped, and "%" doubled so that it is never a field code.
std::string ExecArgument(std::string_view argument) {
  std::string out = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

// Converts an 8-bit name as the platform's calls take it to the UTF-8 native form.
bool NativeName(const char* name, std::string& native) {
  return name != nullptr && platform::AnsiNameToNative(name, native);
}

class ShellLink : public platform::com::ComObject<IShellLinkA, IPersistFile> {
 public:
  HRESULT SetWorkingDirectory(const char* dir) override { return Store(dir, directory_, false); }
  HRESULT SetArguments(const char* args) override {
    if (args == nullptr) return E_INVALIDARG;
    std::vector<std::string> split = platform::SplitCommandLine(std::string("p ") + args);
    arguments_.assign(split.begin() + 1, split.end());
    return Changed();
  }
  HRESULT SetIconLocation(const char* iconPath, int icon) override {
    static_cast<void>(icon);
    return Store(iconPath, iconFile_, false);
  }
  HRESULT SetPath(const char* file) override { return Store(file, target_, true); }

  HRESULT GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Save(LPCOLESTR fileName, BOOL remember) override {
    std::string native;
    if (fileName == nullptr || !platform::WideNameToNative(fileName, native)) return E_INVALIDARG;
    if (target_.empty()) return E_UNEXPECTED;
    if (!platform::WriteWholeFile(native, Entry(std::filesystem::path(native).stem().string()))) {
      return HRESULT_FROM_WIN32(GetLastError());
    }
    if (remember) dirty_ = false;
    return S_OK;
  }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }

 private:
  HRESULT Store(const char* text, std::string& field, bool required) {
    std::string native;
    if (!NativeName(text, native) || (required && native.empty())) return E_INVALIDARG;
    field = native;
    return Changed();
  }
  HRESULT Changed() {
    dirty_ = true;
    return S_OK;
  }

  std::string Entry(const std::string& name) const {
    std::string exec = ExecArgument(target_);
    for (const std::string& argument : arguments_) {
      exec += " " + ExecArgument(platform::WideToUtf8(platform::AnsiToWide(argument)));
    }
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + EscapeValue(name) + "\n";
    text += "Exec=" + EscapeValue(exec) + "\n";
    if (!directory_.empty()) text += "Path=" + EscapeValue(directory_) + "\n";
    if (!iconFile_.empty()) text += "Icon=" + EscapeValue(iconFile_) + "\n";
    return text;
  }

  std::string target_, directory_, iconFile_;
  std::vector<std::string> arguments_;
  bool dirty_ = false;
};

}  // namespace

HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list) {
  if (list == nullptr) return E_INVALIDARG;
  *list = nullptr;
  char path[MAX_PATH];
  if (!SHGetSpecialFolderPathA(owner, path, csidl, FALSE)) {
    return GetLastError() == ERROR_INVALID_PARAMETER ? E_INVALIDARG : HRESULT_FROM_WIN32(GetLastError());
  }
  std::string native;
  if (!platform::AnsiNameToNative(path, native)) return E_INVALIDARG;
  // One item (its size, the path) and the closing size of 0.
  std::size_t itemSize = sizeof(WORD) + native.size();
  auto* bytes = static_cast<BYTE*>(std::calloc(itemSize + sizeof(WORD), 1));
  if (bytes == nullptr) return E_OUTOFMEMORY;
  WORD cb = static_cast<WORD>(itemSize);
  std::memcpy(bytes, &cb, sizeof cb);
  std::memcpy(bytes + sizeof(WORD), native.data(), native.size());
  *list = reinterpret_cast<LPITEMIDLIST>(bytes);
  return S_OK;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path) {
  if (list == nullptr || path == nullptr) return FALSE;
  const auto* bytes = reinterpret_cast<const BYTE*>(list);
  WORD cb;
  std::memcpy(&cb, bytes, sizeof cb);
  if (cb < sizeof(WORD)) return FALSE;
  std::string native(reinterpret_cast<const char*>(bytes + sizeof(WORD)), cb - sizeof(WORD));
  std::string ansi;
  return platform::NativeToAnsiName(native, ansi) && platform::CopyToBuffer(ansi, path, MAX_PATH) < MAX_PATH;
}

void ILFree(LPITEMIDLIST list) { std::free(list); }

namespace platform {

void RegisterShellLinkClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto factory = com::MakeComObject<com::ClassFactory>([] {
      return ComPtr<IUnknown>(static_cast<IShellLinkA*>(new ShellLink));
    });
    DWORD cookie = 0;
    CoRegisterClassObject(CLSID_ShellLink, static_cast<IClassFactory*>(factory.get()), CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &cookie);
  });
}

}  // namespace platform
