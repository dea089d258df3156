// The registry: the hives HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE,
// kept in one SQLite database under the state root and shared by every process of
// the user. Each call is one transaction, so a write committed by one process is seen
// by the next read of any other. Key and value names compare without regard to case.
// A database that is damaged is never written over: every call then fails with
// ERROR_REGISTRY_CORRUPT.
#pragma once

#include <filesystem>

#include "platform/base/types.h"
#include "platform/kernel/security.h"

using REGSAM = ACCESS_MASK;
using LSTATUS = LONG;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className, DWORD options,
                        REGSAM access, const SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
LSTATUS RegCreateKeyA(HKEY key, const char* subKey, HKEY* result);
LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// Opens with the most access the user has, which is all access on this system.
LSTATUS RegOpenKeyA(HKEY key, const char* subKey, HKEY* result);
LSTATUS RegCloseKey(HKEY key);

// A null or empty name is the key's default value.
LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// Size probe: a null Data with a Size answers the size; a Size too small answers
// ERROR_MORE_DATA with the size needed.
LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LSTATUS RegDeleteValueA(HKEY key, const char* valueName);

// Deletes a key that has no subkeys; a key with subkeys answers ERROR_ACCESS_DENIED.
LSTATUS RegDeleteKeyA(HKEY key, const char* subKey);
// Deletes a key with all its subkeys and values; a null SubKey empties the key itself.
LSTATUS RegDeleteTreeA(HKEY key, const char* subKey);

// Subkeys in the order of their names, values in the order of their creation; Size
// counts characters without the terminating zero and is in/out.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* className,
                      DWORD* classSize, FILETIME* lastWriteTime);
LSTATUS RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, DWORD* type,
                      BYTE* data, DWORD* dataSize);
LSTATUS RegQueryInfoKeyA(HKEY key, char* className, DWORD* classSize, DWORD* reserved, DWORD* subKeys,
                         DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
                         DWORD* maxValueLength, DWORD* securityDescriptorSize, FILETIME* lastWriteTime);

// The key's descriptor is kept with the key as a model only: the database stays 0600.
LSTATUS RegGetKeySecurity(HKEY key, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR descriptor, DWORD* size);
LSTATUS RegSetKeySecurity(HKEY key, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR descriptor);
LSTATUS RegFlushKey(HKEY key);

namespace platform::registry {

// The database file: registry.db under the state root.
std::filesystem::path DatabasePath();

// Closes the database; the next call opens it again from the current state root.
// Keys still open then name nothing.
void CloseDatabase();

}  // namespace platform::registry
