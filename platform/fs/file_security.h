// Security descriptors of files and folders. As everywhere on this system they are a
// model only (platform/kernel/security.h): a descriptor set on a file is kept beside
// it in the extended attribute "user.pellix.security" and read back, and the call is
// recorded, but the file's mode never changes, so no descriptor opens a file or
// folder to anyone but the user.
#pragma once

#include "platform/base/types.h"
#include "platform/kernel/security.h"

// Writes the file's descriptor (self-relative: the kept one, else one owned by the
// user whose list allows the user all access) into Descriptor. FALSE with
// ERROR_INSUFFICIENT_BUFFER and the size in LengthNeeded when it does not fit; with
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a missing name.
BOOL GetFileSecurityA(const char* fileName, SECURITY_INFORMATION requestedInformation,
                      PSECURITY_DESCRIPTOR descriptor, DWORD length, DWORD* lengthNeeded);

// Keeps a self-relative copy of Descriptor as the file's model descriptor (the callers
// hand in a whole descriptor built from the one they read).
// FALSE with ERROR_INVALID_SECURITY_DESCR for an invalid descriptor, ERROR_NOT_SUPPORTED
// where the file system keeps no extended attributes.
BOOL SetFileSecurityA(const char* fileName, SECURITY_INFORMATION securityInformation,
                      PSECURITY_DESCRIPTOR descriptor);
