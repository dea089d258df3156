// GUIDs: the 128-bit identifiers of interfaces (IIDs) and classes (CLSIDs), and their
// text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <cstddef>
#include <string>

#include "platform/base/types.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool IsEqualGUID(REFGUID a, REFGUID b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (std::size_t i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
constexpr bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return IsEqualGUID(a, b); }
constexpr bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Writes the braced text (38 characters and a NUL) into Text; answers the number of
// characters written including the NUL, or 0 when Size is below 39.
int StringFromGUID2(REFGUID guid, char16_t* text, int size);

namespace platform::com {

// The braced, upper-case text of a GUID.
std::u16string GuidToText(REFGUID guid);

// Reads the braced text (hexadecimal digits of either case); false for any other
// shape, leaving Guid unchanged.
bool TextToGuid(std::u16string_view text, GUID& guid);

}  // namespace platform::com
