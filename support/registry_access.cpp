#include "support/registry_access.h"

#include <cstring>
#include <new>

#include "platform/base/errors.h"
#include "platform/kernel/memory.h"
#include "support/locks.h"
#include "support/process_version.h"

namespace {

constexpr size_t kMaxPathCopy = 255;
constexpr DWORD kDefBufferSize = 500;

// An empty value name is the key's default value, named by no name at all.
const char* NameOrNull(const std::string& valueName) { return valueName.empty() ? nullptr : valueName.c_str(); }

// Closes an open key when it goes away.
class OpenedKey {
 public:
  OpenedKey() = default;
  ~OpenedKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = 0;
};

// The text of a value's bytes up to the first zero byte, never past its size.
std::string TextUpToZero(const BYTE* data, size_t size) {
  const void* zero = std::memchr(data, 0, size);
  return std::string(reinterpret_cast<const char*>(data),
                     zero ? static_cast<const BYTE*>(zero) - data : static_cast<std::ptrdiff_t>(size));
}

}  // namespace

bool RegWriteValue(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD valueType,
                   const void* data, DWORD dataSize) {
  OpenedKey key;
  LSTATUS result = RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.out(), nullptr);
  SetLastError(static_cast<DWORD>(result));
  if (result != ERROR_SUCCESS) return false;
  result = RegSetValueExA(key.get(), NameOrNull(valueName), 0, valueType, static_cast<const BYTE*>(data), dataSize);
  SetLastError(static_cast<DWORD>(result));
  return result == ERROR_SUCCESS;
}

bool RegWriteString(HKEY root, const std::string& keyPath, const std::string& valueName, const std::string& value) {
  return RegWriteValue(root, keyPath, valueName, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool RegWriteDWord(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD value) {
  BYTE bytes[4] = {LOBYTE(LOWORD(value)), HIBYTE(LOWORD(value)), LOBYTE(HIWORD(value)), HIBYTE(HIWORD(value))};
  return RegWriteValue(root, keyPath, valueName, REG_DWORD, bytes, sizeof bytes);
}

bool RegReadValue(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD valueType,
                  std::vector<BYTE>& data) {
  data.clear();
  OpenedKey key;
  if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), NameOrNull(valueName), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<BYTE> buffer(size);
  if (RegQueryValueExA(key.get(), NameOrNull(valueName), nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS ||
      type != valueType) {
    return false;
  }
  buffer.resize(size);
  data = std::move(buffer);
  return true;
}

bool RegReadString(HKEY root, const std::string& keyPath, const std::string& valueName, std::string& value) {
  value.clear();
  std::vector<BYTE> data;
  if (!RegReadValue(root, keyPath, valueName, REG_SZ, data)) return false;
  // Only a terminating zero is dropped: a value stored without one keeps its last byte.
  if (!data.empty() && data.back() == 0) data.pop_back();
  value.assign(data.begin(), data.end());
  return true;
}

bool RegReadDWord(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD& value) {
  value = 0;
  std::vector<BYTE> data;
  if (!RegReadValue(root, keyPath, valueName, REG_DWORD, data)) return false;
  // A value shorter than four bytes is read as far as it goes.
  for (size_t i = 0; i < 4 && i < data.size(); ++i) value |= static_cast<DWORD>(data[i]) << (8 * i);
  return true;
}

bool RegReadInteger(HKEY root, const std::string& keyPath, const std::string& valueName, std::int32_t& value) {
  DWORD unsignedValue = 0;
  bool read = RegReadDWord(root, keyPath, valueName, unsignedValue);
  value = static_cast<std::int32_t>(unsignedValue);
  return read;
}

bool RegValueExists(HKEY root, const std::string& keyPath, const std::string& valueName) {
  OpenedKey key;
  return RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS &&
         RegQueryValueExA(key.get(), NameOrNull(valueName), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegKeyExists(HKEY root, const std::string& keyPath) {
  OpenedKey key;
  return RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

bool RegDeleteValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
  OpenedKey key;
  LSTATUS result = RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_WRITE, key.out());
  SetLastError(static_cast<DWORD>(result));
  if (result != ERROR_SUCCESS) return false;
  result = RegDeleteValueA(key.get(), NameOrNull(valueName));
  SetLastError(static_cast<DWORD>(result));
  return result == ERROR_SUCCESS;
}

bool RegDeleteKeyTree(HKEY root, const std::string& keyPath) {
  int slash = LastCharPos('\\', keyPath);
  if (slash == 0) return false;
  OpenedKey parent;
  LSTATUS result = RegOpenKeyExA(root, keyPath.substr(0, slash - 1).c_str(), 0, KEY_WRITE, parent.out());
  SetLastError(static_cast<DWORD>(result));
  if (result != ERROR_SUCCESS) return false;
  // The whole tree goes, subkeys included: uninstalling relies on it.
  result = RegDeleteTreeA(parent.get(), keyPath.substr(slash).c_str());
  SetLastError(static_cast<DWORD>(result));
  return result == ERROR_SUCCESS;
}

PSECURITY_DESCRIPTOR RegGetKeySecurityDescriptor(HKEY key) {
  DWORD size = SECURITY_DESCRIPTOR_MIN_LENGTH;
  PSECURITY_DESCRIPTOR descriptor = LocalAlloc(LPTR, size);
  if (!descriptor) return nullptr;
  InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION);
  LSTATUS result = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor, &size);
  if (result == ERROR_INSUFFICIENT_BUFFER) {
    LocalFree(descriptor);
    descriptor = LocalAlloc(LPTR, size);
    if (descriptor && RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor, &size) == ERROR_SUCCESS &&
        IsValidSecurityDescriptor(descriptor)) {
      return descriptor;
    }
    return LocalFree(descriptor);
  }
  // A call that failed for another reason leaves only the empty descriptor made above,
  // which is not the key's.
  return result == ERROR_SUCCESS && IsValidSecurityDescriptor(descriptor) ? descriptor : LocalFree(descriptor);
}

bool RegSetAllowEveryone(HKEY root, const std::string& keyPath) {
  if (!IsNT) return false;
  OpenedKey key;
  if (RegOpenKeyA(root, keyPath.c_str(), key.out()) != ERROR_SUCCESS) return false;
  PSECURITY_DESCRIPTOR current = RegGetKeySecurityDescriptor(key.get());
  PSECURITY_DESCRIPTOR widened =
      current ? support::AddTrusteeToSecurityDescriptor(current, support::WorldTrusteeName) : nullptr;
  bool set = widened && RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, widened) == ERROR_SUCCESS;
  LocalFree(widened);
  LocalFree(current);
  return set;
}

std::string NormalizeRegPath(const std::string& path) {
  size_t first = 0;
  size_t last = path.size();
  while (first < last && static_cast<unsigned char>(path[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(path[last - 1]) <= 32) --last;
  std::string result;
  for (size_t i = first; i < last; ++i) {
    if (path[i] == '\\' && !result.empty() && result.back() == '\\') continue;
    result += path[i];
  }
  if (!result.empty() && result.back() == '\\') result.pop_back();
  return result;
}

std::string RegReadStringDef(HKEY root, const std::string& keyPath, const std::string& valueName,
                             const std::string& defaultValue) {
  std::string answer = defaultValue;
  std::string path = NormalizeRegPath(keyPath).substr(0, kMaxPathCopy);
  std::string name = valueName.substr(0, kMaxPathCopy);
  OpenedKey key;
  if (RegOpenKeyA(root, path.c_str(), key.out()) != ERROR_SUCCESS) return answer;
  BYTE buffer[kDefBufferSize];
  buffer[0] = 0;
  DWORD size = sizeof buffer;
  // The stored type is not looked at. The text ends at the first zero byte, and never
  // past the bytes the value has.
  LSTATUS result = RegQueryValueExA(key.get(), NameOrNull(name), nullptr, nullptr, buffer, &size);
  if (result == ERROR_SUCCESS) {
    answer = TextUpToZero(buffer, size);
  } else if (result == ERROR_MORE_DATA) {
    try {
      std::vector<BYTE> larger(size, 0);
      if (RegQueryValueExA(key.get(), NameOrNull(name), nullptr, nullptr, larger.data(), &size) == ERROR_SUCCESS) {
        answer = TextUpToZero(larger.data(), size);
      }
    } catch (const std::bad_alloc&) {
      // A value too large to hold leaves the answer as it was.
    }
  }
  return answer;
}

int LastCharPos(char ch, const std::string& s) {
  size_t found = s.rfind(ch);
  return found == std::string::npos ? 0 : static_cast<int>(found) + 1;
}
