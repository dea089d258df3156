// The platform's file calls over POSIX files: handles with access rights and share
// modes (enforced between handles of this process and between processes), the
// creation dispositions, and the platform's error codes.
//
// Names are read as platform/fs/names.h says. New files are made 0600.
// Every call can be made to fail on purpose through platform::faults under its own
// name ("CreateFileA", "ReadFile", ...).
#pragma once

#include <functional>
#include <string>

#include "platform/base/access_rights.h"
#include "platform/base/handles.h"
#include "platform/base/types.h"
// The generic access rights and DELETE are the kernel's, shared with named objects.
#include "platform/kernel/security.h"

struct OVERLAPPED;  // asynchronous input and output is not available here

inline constexpr DWORD FILE_READ_DATA = 0x0001;
inline constexpr DWORD FILE_WRITE_DATA = 0x0002;
inline constexpr DWORD FILE_APPEND_DATA = 0x0004;
inline constexpr DWORD FILE_EXECUTE = 0x0020;
inline constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
inline constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x0100;

inline constexpr DWORD FILE_SHARE_READ = 0x0001;
inline constexpr DWORD FILE_SHARE_WRITE = 0x0002;
inline constexpr DWORD FILE_SHARE_DELETE = 0x0004;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x0001;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x0002;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x0004;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x0010;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x0020;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x0080;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x0100;

inline constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;
inline constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
inline constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
inline constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
inline constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
inline constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;

inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;

inline constexpr DWORD MAX_PATH = 260;

// Opens or creates a file. Errors: ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_FILE_EXISTS (CREATE_NEW), ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED (also
// for a folder), ERROR_INVALID_PARAMETER (unknown disposition, TRUNCATE_EXISTING without
// write access), ERROR_INVALID_NAME (a wide name with a lone surrogate),
// ERROR_NOT_SUPPORTED (FILE_FLAG_OVERLAPPED or a template file). CREATE_ALWAYS and
// OPEN_ALWAYS on an existing file succeed with the last error ERROR_ALREADY_EXISTS.
// Handles that ask for no data access (only attributes) take no part in sharing.
// FILE_FLAG_DELETE_ON_CLOSE removes the file when its handle is closed.
HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);

// Reading at the end of the file succeeds with 0 bytes. A handle without read (or
// write) access fails with ERROR_ACCESS_DENIED; overlapped calls fail with
// ERROR_NOT_SUPPORTED.
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               OVERLAPPED* overlapped);

// Moves the file pointer; answers the low 32 bits of the new position (and the high
// ones through distanceToMoveHigh) or INVALID_SET_FILE_POINTER with the last error
// (ERROR_NEGATIVE_SEEK; ERROR_INVALID_PARAMETER when the position needs more than 32
// bits and no high part was given). A valid position whose low part is 0xFFFFFFFF
// sets the last error to ERROR_SUCCESS.
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod);

// The size (low 32 bits, high ones through fileSizeHigh), or INVALID_FILE_SIZE with
// the last error set.
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);

// Cuts or extends the file at the file pointer.
BOOL SetEndOfFile(HANDLE file);

BOOL FlushFileBuffers(HANDLE file);

// The absolute form of a name, with "." and ".." resolved by the text alone. Answers
// the length without the terminating NUL, or, when the buffer is too small, the size
// needed including it; 0 with ERROR_INVALID_NAME for an empty name. filePart, when
// given, points at the last component (null when the name ends in a separator).
DWORD GetFullPathNameA(const char* fileName, DWORD bufferLength, char* buffer, char** filePart);
DWORD GetFullPathNameW(const char16_t* fileName, DWORD bufferLength, char16_t* buffer,
                       char16_t** filePart);

namespace platform {

// Runs Action (a deletion or rename of the native name, answering an error code) only
// when every open handle of the file shares deletion, else answers
// ERROR_SHARING_VIOLATION; no handle can open the file meanwhile.
DWORD WithDeleteAccess(const std::string& native, const std::function<DWORD()>& action);

}  // namespace platform

// ---- file times ----

// A date and time packed as in FAT directory entries, as a file time of the same
// wall clock; FALSE with ERROR_INVALID_PARAMETER for an impossible date.
BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime);
// A file time of the local wall clock as universal time, by the system's time zone.
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime);
// Sets the last-access and last-write times; a null pointer leaves that time. There
// is no creation time to set here: that argument is ignored.
BOOL SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime);
