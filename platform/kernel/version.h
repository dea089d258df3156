// The version query. This system answers a configurable platform and version, by
// default the NT family, version 6.1, workstation; tests set others.
#pragma once

#include <string>

#include "platform/base/types.h"

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
inline constexpr BYTE VER_NT_WORKSTATION = 1;
inline constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
inline constexpr BYTE VER_NT_SERVER = 3;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char szCSDVersion[128];
};

// The extended record: the plain one followed by the service pack and product type.
struct OSVERSIONINFOEXA : OSVERSIONINFOA {
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

// The record's size field must name one of the two records; else ERROR_INSUFFICIENT_BUFFER.
BOOL GetVersionExA(OSVERSIONINFOA* info);

namespace platform {

struct ReportedVersion {
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD major = 6;
  DWORD minor = 1;
  DWORD build = 7601;
  BYTE productType = VER_NT_WORKSTATION;
  std::string servicePack = "Service Pack 1";
  WORD servicePackMajor = 1;
};

void SetReportedVersion(const ReportedVersion& version);
ReportedVersion GetReportedVersion();

}  // namespace platform
