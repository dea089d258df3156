// Files, folders and special paths: free-standing routines that answer true or false
// (or a string, empty when there is none) and never raise, except
// ForceDirectoriesChecked for an empty path. Names are 8-bit text; folders are
// separated by platform::kPathDelimiter ("/"), and the folder paths handed out end in
// it.
//
// Symbolic links are never followed when a tree is deleted: a link inside the tree is
// removed, and whatever it points to stays as it is. The routines that open a file or
// folder to everyone change only the model descriptor of the platform: the program
// never widens permissions (folders stay 0700, files 0600).
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/types.h"
#include "platform/com/bstr.h"
#include "platform/kernel/security.h"

// The registry key whose values name the user's folders.
inline constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool IsExistingFile(const std::string& path);
bool IsExistingDir(const std::string& path);

// Creates every missing folder of Dir from the top down; with UseSecurity each new
// folder gets FileAllowEveryoneSA (a model only). True when the folder exists at the end.
bool ForceDirectoriesEx(const std::string& dir, bool useSecurity);
// The same with default security; raises Exception "Cannot create directory" for an
// empty Dir.
bool ForceDirectoriesChecked(const std::string& dir);

// Deletes Dir with its files and subfolders; only the removal of Dir itself decides
// the answer. With OnReboot, what cannot be deleted now waits for the next restart.
bool DeleteDirectory(const std::string& dir);
bool DeleteDirectoryTree(const std::string& dir, bool onReboot);
// NT only: schedules an existing folder or file for deletion at the next restart;
// true for a missing one.
bool DeleteDirOnReboot(const std::string& dir);
bool DeleteFileOnReboot(const std::string& fileName);

// Deletes an existing file; when the first attempt fails, opens it to everyone, makes
// its attributes normal and tries once more.
bool ForceDeleteFile(const std::string& fileName);
bool ForceDeleteFileEx(const std::string& fileName, bool onReboot);

bool SetFileAttr(const std::string& fileName, std::uint8_t attributes);
bool RenameFileTo(const std::string& oldName, const std::string& newName);

// NT only: add full access for the world group to the model descriptor.
bool DirSetAllowEveryone(const std::string& dir);
bool FileSetAllowEveryone(const std::string& fileName);
// A self-relative descriptor from LocalAlloc (free with LocalFree), or null: the list
// only for a folder; owner, group and list for a file.
PSECURITY_DESCRIPTOR GetDirSecurityDescriptor(const std::string& path);
PSECURITY_DESCRIPTOR GetFileSecurityDescriptor(const std::string& path);

// The long form of a path, or the path itself.
std::string GetLongPath(const std::string& shortPath);
// The temporary folder in its long form; empty when there is none.
std::string GetTempDir();
// The folder of a CSIDL (created when missing); empty when the system has none.
std::string GetSpecialFolderPath(int csidl);
// Looked up now: from the system on Vista and later, else (or when that fails) from
// the "AppData" value of the Shell Folders key; empty when neither has one.
std::string GetAppDataDir();
// Looked up now: the "Desktop" value of the Shell Folders key, or empty.
std::string GetDesktopDir();

// The two folders as the start-up looked them up; every caller reads these.
const std::string& AppDataDir();
const std::string& DesktopDir();
// The start-up of this unit, run at the first use of the two folders above: looks
// both folders up and makes sure the temporary folder exists. Tests run it again.
void InitFilesFolders();

std::string StripAtNul(const std::string& s);
// A new system string (free with SysFreeString) holding S converted from the ANSI
// code page; null when it cannot be had.
BSTR AnsiToOleStr(const std::string& s);
std::string IntToStr(std::int32_t n);
// The text up to and including the last separator; empty when there is none.
std::string ExtractFilePath(const std::string& path);
