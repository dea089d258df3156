// The platform's calls on whole files and folders: attributes, deletion, renaming
// (also at the next restart) and folders.
//
// Attributes: read-only comes from the owner's write bit of the mode; hidden, system
// and archive are kept in the extended attribute "user.pellix.attributes" (a file
// system without extended attributes cannot keep them: setting them fails with
// ERROR_NOT_SUPPORTED). A symbolic link is reported as itself, with
// FILE_ATTRIBUTE_REPARSE_POINT and never FILE_ATTRIBUTE_DIRECTORY; a name ending in a
// separator is resolved through the link. Every call can be made to fail on purpose
// through platform::faults under its own name.
#pragma once

#include <string>

#include "platform/base/types.h"
#include "platform/fs/files.h"

inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x0400;

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
inline constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;
inline constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when the
// name names nothing. A file with no attribute set reports FILE_ATTRIBUTE_NORMAL.
DWORD GetFileAttributesA(const char* fileName);

// Sets read-only, hidden, system and archive; other bits are ignored. A link's own
// attributes cannot be set (ERROR_NOT_SUPPORTED).
BOOL SetFileAttributesA(const char* fileName, DWORD attributes);

// Removes a file or a link (never what a link points to). Refused with
// ERROR_ACCESS_DENIED for a read-only file or a folder, and with
// ERROR_SHARING_VIOLATION while a handle that does not share deletion is open.
BOOL DeleteFileA(const char* fileName);
BOOL DeleteFileW(const char16_t* fileName);

// Renames a file or folder; fails with ERROR_ALREADY_EXISTS when the new name exists.
BOOL MoveFileA(const char* existingFileName, const char* newFileName);

// As MoveFileA; MOVEFILE_REPLACE_EXISTING replaces an existing file (not a folder, not
// a read-only file: ERROR_ACCESS_DENIED; not while a handle that does not share
// deletion has it open: ERROR_SHARING_VIOLATION). MOVEFILE_DELAY_UNTIL_REBOOT only adds
// the rename (or, with no new name, the deletion) to the restart list
// (platform/fs/restart_list.h). With MOVEFILE_WRITE_THROUGH the call returns once the
// rename is on disk. Moving to another file system fails with ERROR_NOT_SAME_DEVICE:
// nothing is copied.
BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags);
BOOL MoveFileExW(const char16_t* existingFileName, const char16_t* newFileName, DWORD flags);

// A second name for an existing file (a hard link); the security attributes are not
// used. ERROR_ALREADY_EXISTS when the new name exists, ERROR_NOT_SAME_DEVICE across
// file systems.
BOOL CreateHardLinkA(const char* fileName, const char* existingFileName, SECURITY_ATTRIBUTES* securityAttributes);

// Creates one folder, private to the user (0700); the security attributes are not
// used. ERROR_ALREADY_EXISTS when the name exists, ERROR_PATH_NOT_FOUND when its
// parent is missing.
BOOL CreateDirectoryA(const char* pathName, SECURITY_ATTRIBUTES* securityAttributes);

// Removes an empty folder: ERROR_DIR_NOT_EMPTY when it is not, ERROR_DIRECTORY for
// a file or a link.
BOOL RemoveDirectoryA(const char* pathName);

namespace platform {

// The attributes of a native name as GetFileAttributesA reports them, or
// INVALID_FILE_ATTRIBUTES with the last error set.
DWORD NativeAttributes(const std::string& native);

}  // namespace platform
