// Path names: the temporary folder, and the long and short forms of a path. This
// system has no short (8.3) names, so both forms of an existing path are the path
// itself.
#pragma once

#include "platform/base/types.h"

// The temporary folder (platform/fs/special_folders.h) with a trailing separator.
// Answers its length, or, when the buffer is too small, the size needed including the
// NUL; 0 with the last error set when there is none.
DWORD GetTempPathA(DWORD bufferLength, char* buffer);

// The path unchanged when it names an existing entry (ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND otherwise). Answers as GetTempPathA; the source and the buffer
// may be the same.
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD bufferLength);
DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD bufferLength);
