// Folder search: FindFirstFileA with a folder and a mask ("*" and "?" wildcards,
// letters compared without case, "*.*" matching every name), FindNextFileA and
// FindClose. The entries are taken when the search starts, in name order, with "."
// and ".." included. A symbolic link is reported as a link
// (FILE_ATTRIBUTE_REPARSE_POINT), never as a folder, so that nothing walking a tree
// enters one.
#pragma once

#include "platform/base/types.h"
#include "platform/fs/files.h"

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
};

// A search handle, or INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND (nothing matches)
// or ERROR_PATH_NOT_FOUND (no such folder). A name too long for cFileName is left out.
HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findFileData);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findFileData);
BOOL FindClose(HANDLE findFile);
