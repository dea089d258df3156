// The platform's profile-file calls over ini files: section lines "[name]" and key
// lines "key=value". Section and key names compare without case (of ASCII letters); names and values are
// read with the blanks around them trimmed, and a value enclosed in matching single
// or double quotes loses them. Where a section or a key appears twice, the first one
// counts. Lines before the first section, lines without "=", and comment lines
// starting with ";" are kept but never read. A leading UTF-8 byte-order mark is kept.
// Bytes of names and values pass unchanged, so a caller may keep any encoding in them.
//
// A file name without a folder names a file in the platform folder (CSIDL_WINDOWS).
// Every change rewrites the file whole (a temporary file beside it, flushed and
// renamed over, 0600); calls of this process are serialised, calls of several
// processes on one file are not. Both calls can be made to fail on purpose through
// platform::faults under their own names.
#pragma once

#include "platform/base/types.h"

// Copies the value into Returned (at most Size - 1 bytes, then a NUL) and answers the
// bytes copied; a missing key, section or file gives Default (with its trailing blanks
// cut; null gives ""). A null Section answers every section name, a null Key every key
// name of the section, each ended by a NUL, the list ended by one more; when the list
// does not fit, it is cut and the answer is Size - 2.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* returned,
                               DWORD size, const char* fileName);

// Writes Key=Value into the first section of that name, replacing the key's first
// line or adding one at the end of the section (and the section at the end of the
// file). A null Value deletes the key, a null Key every section of that name; a null
// Section only flushes and succeeds. FALSE with ERROR_INVALID_PARAMETER when a name or
// value holds a line break, a key holds "=" or a section "]" (they would change the
// file's structure), else with the error of the failed rewrite.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName);
