// The registry database file is outside input: another program, a full disk or a
// crash may have damaged it. Whatever its bytes, the registry answers codes and never
// crashes, hangs or writes over a file it could not load.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/base/errors.h"
#include "platform/kernel/registry.h"

namespace {

const std::filesystem::path& Home() {
  static const std::filesystem::path home = [] {
    char pattern[] = "/tmp/pellix-fuzz-registry-XXXXXX";
    std::filesystem::path made = mkdtemp(pattern);
    setenv("PELLIX_HOME", made.c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(Home()); });
    return made;
  }();
  return home;
}

// Walks a key: its values, its security, and its subkeys to a small depth.
void Walk(HKEY key, int depth) {
  char name[300];
  BYTE data[600];
  for (DWORD index = 0; index < 40; ++index) {
    DWORD nameSize = sizeof name;
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) == ERROR_NO_MORE_ITEMS) break;
  }
  DWORD securitySize = 0;
  RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &securitySize);
  if (securitySize > 0 && securitySize < 65536) {
    std::string descriptor(securitySize, '\0');
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &securitySize);
  }
  if (depth == 0) return;
  for (DWORD index = 0; index < 40; ++index) {
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY child = 0;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
      Walk(child, depth - 1);
      RegCloseKey(child);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  Home();
  platform::registry::CloseDatabase();
  std::filesystem::path path = platform::registry::DatabasePath();
  for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  }
  for (HKEY hive : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) Walk(hive, 3);
  HKEY key = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Fuzz\\Deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    const BYTE value[] = {1, 2, 3, 4};
    RegSetValueExA(key, "v", 0, REG_BINARY, value, sizeof value);
    RegCloseKey(key);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Fuzz");
  return 0;
}
