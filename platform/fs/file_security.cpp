#include "platform/fs/file_security.h"

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/fs/entries.h"
#include "platform/fs/files.h"
#include "platform/fs/names.h"

namespace {

constexpr const char* kSecurityAttribute = "user.pellix.security";
constexpr std::size_t kLargestKept = 65536;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The kept descriptor when there is a valid one, else the user's own.
std::vector<BYTE> ModelDescriptor(const std::string& native) {
  std::vector<BYTE> kept(kLargestKept);
  const ssize_t size = getxattr(native.c_str(), kSecurityAttribute, kept.data(), kept.size());
  if (size > 0 && platform::IsValidSelfRelative(kept.data(), static_cast<std::size_t>(size))) {
    kept.resize(static_cast<std::size_t>(size));
    return kept;
  }
  return platform::DefaultSecurity(FILE_ALL_ACCESS);
}

}  // namespace

BOOL GetFileSecurityA(const char* fileName, SECURITY_INFORMATION /*requestedInformation*/,
                      PSECURITY_DESCRIPTOR descriptor, DWORD length, DWORD* lengthNeeded) {
  if (platform::faults::ShouldFail("GetFileSecurityA")) return FALSE;
  std::string native;
  if (!platform::AnsiNameToNative(fileName, native) || lengthNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (platform::NativeAttributes(native) == INVALID_FILE_ATTRIBUTES) return FALSE;
  const std::vector<BYTE> model = ModelDescriptor(native);
  *lengthNeeded = static_cast<DWORD>(model.size());
  if (descriptor == nullptr || length < model.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(descriptor, model.data(), model.size());
  return TRUE;
}

BOOL SetFileSecurityA(const char* fileName, SECURITY_INFORMATION securityInformation,
                      PSECURITY_DESCRIPTOR descriptor) {
  if (platform::faults::ShouldFail("SetFileSecurityA")) return FALSE;
  std::string native;
  if (!platform::AnsiNameToNative(fileName, native)) return Fail(ERROR_INVALID_PARAMETER);
  if (platform::NativeAttributes(native) == INVALID_FILE_ATTRIBUTES) return FALSE;
  const std::vector<BYTE> copy = platform::SelfRelativeCopy(descriptor);
  if (copy.empty()) return Fail(ERROR_INVALID_SECURITY_DESCR);
  if (setxattr(native.c_str(), kSecurityAttribute, copy.data(), copy.size(), 0) != 0) {
    return Fail(platform::ErrorFromErrno(errno));
  }
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  GetSecurityDescriptorDacl(const_cast<BYTE*>(copy.data()), &present, &dacl, &defaulted);
  platform::RecordSecurityCall("SetFileSecurityA " + native + " info " + std::to_string(securityInformation) + ": " +
                               platform::DescribeAcl(present ? dacl : nullptr));
  return TRUE;
}
