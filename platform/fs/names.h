// Names of files and folders as the platform's calls take them, and their native
// form: 8-bit names are in the ANSI code page and wide names in UTF-16, both stored on
// disk as UTF-8. The folder separator is one constant, "/"; a "\" in a name handed to
// a call is read as a separator too, so that names built the platform's way still work.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/text.h"
#include "platform/base/types.h"

namespace platform {

inline constexpr char kPathDelimiter = '/';

// The native form of a name; false for a null name (and, for a wide name, for one
// that cannot survive the trip to UTF-8 unchanged, such as a lone surrogate).
bool AnsiNameToNative(const char* name, std::string& native);
bool WideNameToNative(const char16_t* name, std::string& native);

// The platform's code for a failed open, stat or similar call on a name: a missing
// entry is ERROR_FILE_NOT_FOUND when its folder exists, else ERROR_PATH_NOT_FOUND.
DWORD NameError(int errorNumber, const std::string& native);

// Copies Text with its terminating NUL into a caller's buffer of Size characters and
// answers its length, or, when it does not fit, answers the size needed including the
// NUL and leaves the buffer alone.
DWORD CopyToBuffer(std::string_view text, char* buffer, DWORD size);

}  // namespace platform
