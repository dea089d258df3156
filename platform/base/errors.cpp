#include "platform/base/errors.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/base/text.h"

namespace {

thread_local DWORD last_error = ERROR_SUCCESS;

struct SystemMessage {
  DWORD code;
  const char* text;
};

// The system's texts for the codes this platform reports.
constexpr SystemMessage kSystemMessages[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
    {ERROR_BAD_FORMAT, "An attempt was made to load a program with an incorrect format."},
    {ERROR_INVALID_DATA, "The data is invalid."},
    {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
    {ERROR_NO_MORE_FILES, "There are no more files."},
    {ERROR_NOT_SAME_DEVICE, "The system cannot move the file to a different disk drive."},
    {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
    {ERROR_READ_FAULT, "The system cannot read from the specified device."},
    {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process."},
    {ERROR_LOCK_VIOLATION,
     "The process cannot access the file because another process has locked a portion of the file."},
    {ERROR_HANDLE_EOF, "Reached the end of the file."},
    {ERROR_HANDLE_DISK_FULL, "The disk is full."},
    {ERROR_NOT_SUPPORTED, "The request is not supported."},
    {ERROR_FILE_EXISTS, "The file exists."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_BROKEN_PIPE, "The pipe has been ended."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found."},
    {ERROR_DIR_NOT_EMPTY, "The directory is not empty."},
    {ERROR_BAD_PATHNAME, "The specified path is invalid."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
    {ERROR_BAD_EXE_FORMAT, "%1 is not a valid Win32 application."},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long."},
    {ERROR_MORE_DATA, "More data is available."},
    {258, "The wait operation timed out."},
    {ERROR_NO_MORE_ITEMS, "No more data is available."},
    {ERROR_DIRECTORY, "The directory name is invalid."},
    {ERROR_NOT_OWNER, "Attempt to release mutex not owned by caller."},
    {ERROR_OPERATION_ABORTED, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {ERROR_NOACCESS, "Invalid access to memory location."},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
    {ERROR_CANTREAD, "The configuration registry key could not be read."},
    {ERROR_CANTWRITE, "The configuration registry key could not be written."},
    {ERROR_REGISTRY_CORRUPT, "The registry is corrupted."},
    {ERROR_REGISTRY_IO_FAILED,
     "An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, "
     "or write out, or flush, one of the files that contain the system's image of the registry."},
    {ERROR_KEY_DELETED, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {ERROR_NO_UNICODE_TRANSLATION,
     "No mapping for the Unicode character exists in the target multi-byte code page."},
    {ERROR_UNKNOWN_REVISION, "The revision level is unknown."},
    {ERROR_NONE_MAPPED, "No mapping between account names and security IDs was done."},
    {ERROR_INVALID_ACL, "The access control list (ACL) structure is invalid."},
    {ERROR_INVALID_SID, "The security ID structure is invalid."},
    {ERROR_INVALID_SECURITY_DESCR, "The security descriptor structure is invalid."},
    {ERROR_ALLOTTED_SPACE_EXCEEDED, "No more memory is available for security information updates."},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle."},
    {ERROR_INVALID_MENU_HANDLE, "Invalid menu handle."},
    {ERROR_CLASS_ALREADY_EXISTS, "Class already exists."},
    {ERROR_CLASS_DOES_NOT_EXIST, "Class does not exist."},
    {ERROR_TIMEOUT, "This operation returned because the timeout period expired."},
    {ERROR_RESOURCE_DATA_NOT_FOUND, "The specified image file did not contain a resource section."},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "The specified resource type cannot be found in the image file."},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "The specified resource name cannot be found in the image file."},
};

const char* FindSystemMessage(DWORD code) {
  for (const auto& message : kSystemMessages) {
    if (message.code == code) return message.text;
  }
  return nullptr;
}

// Shared by both forms: the text with the system's trailing CR LF, or null.
std::string SystemMessageText(DWORD flags, DWORD code) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM)) return {};
  const char* text = FindSystemMessage(code);
  return text ? std::string(text) + "\r\n" : std::string();
}

}  // namespace

DWORD GetLastError() { return last_error; }

void SetLastError(DWORD code) { last_error = code; }

DWORD FormatMessageW(DWORD flags, const void* /*source*/, DWORD messageId, DWORD /*languageId*/,
                     char16_t* buffer, DWORD size, void* /*arguments*/) {
  std::u16string text = platform::AnsiToWide(SystemMessageText(flags, messageId));
  if (text.empty()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if (buffer == nullptr || size <= text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return static_cast<DWORD>(text.size());
}

DWORD FormatMessageA(DWORD flags, const void* /*source*/, DWORD messageId, DWORD /*languageId*/,
                     char* buffer, DWORD size, void* /*arguments*/) {
  std::string text = SystemMessageText(flags, messageId);
  if (text.empty()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if (buffer == nullptr || size <= text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

namespace platform {

DWORD ErrorFromErrno(int error_number) {
  switch (error_number) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EAGAIN: return ERROR_SHARING_VIOLATION;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case EIO: return ERROR_GEN_FAILURE;
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD SetLastErrorFromErrno() {
  DWORD code = ErrorFromErrno(errno);
  SetLastError(code);
  return code;
}

}  // namespace platform
