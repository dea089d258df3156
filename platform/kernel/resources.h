// Resources compiled into the program: data files that the build embeds (the CMake
// function pellix_resources) and registers here before main runs, found by type and
// name as the platform's resource calls find them. Names and types are texts compared
// without case, or numbers (MAKEINTRESOURCEA); "#10" names the number 10.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/base/types.h"
#include "platform/kernel/memory.h"

using HRSRC = std::uintptr_t;

inline const char* MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id)); }
inline bool IS_INTRESOURCE(const char* name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

inline const char* const RT_BITMAP = MAKEINTRESOURCEA(2);
inline const char* const RT_ICON = MAKEINTRESOURCEA(3);
inline const char* const RT_STRING = MAKEINTRESOURCEA(6);
inline const char* const RT_RCDATA = MAKEINTRESOURCEA(10);
inline const char* const RT_GROUP_ICON = MAKEINTRESOURCEA(14);
inline const char* const RT_HTML = MAKEINTRESOURCEA(23);

// The resource, or 0 with ERROR_RESOURCE_TYPE_NOT_FOUND or
// ERROR_RESOURCE_NAME_NOT_FOUND; a module other than the program (0 or
// platform::kProgramInstance) has none (ERROR_RESOURCE_DATA_NOT_FOUND).
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
// The data of a found resource (read-only, alive as long as the program); null with
// ERROR_INVALID_HANDLE for a handle FindResourceA did not give.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL data);
// The size in bytes, 0 for an unknown handle.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Nothing to free: resources live as long as the program.
BOOL FreeResource(HGLOBAL data);

namespace platform {

// The program's own module handle (its instance).
inline constexpr HMODULE kProgramInstance = 0x00400000;

// Adds a resource to the table; the data must outlive the program (the embedded
// arrays do). A second entry of the same type and name replaces the first. Type and
// name are texts, "#<number>" for numbers.
void RegisterResource(const std::string& type, const std::string& name, const std::uint8_t* data, std::size_t size);

}  // namespace platform
