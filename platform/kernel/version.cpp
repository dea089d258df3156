#include "platform/kernel/version.h"

#include <cstring>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/base/faults.h"

namespace {

struct Reported {
  std::mutex lock;
  platform::ReportedVersion version;
};

Reported& TheReported() {
  static Reported reported;
  return reported;
}

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (platform::faults::ShouldFail("GetVersionExA")) return FALSE;
  if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  platform::ReportedVersion version = platform::GetReportedVersion();
  info->dwMajorVersion = version.major;
  info->dwMinorVersion = version.minor;
  info->dwBuildNumber = version.build;
  info->dwPlatformId = version.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::strncpy(info->szCSDVersion, version.servicePack.c_str(), sizeof info->szCSDVersion - 1);
  if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA)) {
    auto* extended = static_cast<OSVERSIONINFOEXA*>(info);
    extended->wServicePackMajor = version.servicePackMajor;
    extended->wServicePackMinor = 0;
    extended->wSuiteMask = 0;
    extended->wProductType = version.productType;
    extended->wReserved = 0;
  }
  return TRUE;
}

namespace platform {

void SetReportedVersion(const ReportedVersion& version) {
  std::lock_guard guard(TheReported().lock);
  TheReported().version = version;
}

ReportedVersion GetReportedVersion() {
  std::lock_guard guard(TheReported().lock);
  return TheReported().version;
}

}  // namespace platform
