#include "support/files_folders.h"

#include <vector>

#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/entries.h"
#include "platform/fs/file_security.h"
#include "platform/fs/files.h"
#include "platform/fs/find.h"
#include "platform/fs/names.h"
#include "platform/fs/paths.h"
#include "platform/fs/special_folders.h"
#include "platform/kernel/memory.h"
#include "support/locks.h"
#include "support/process_version.h"
#include "support/registry_access.h"

namespace {

constexpr char kDelimiter = platform::kPathDelimiter;
constexpr DWORD kPathBuffer = MAX_PATH + 1;

std::string WithDelimiter(std::string path) {
  if (!path.empty() && path.back() != kDelimiter) path += kDelimiter;
  return path;
}

bool IsRootOrEmpty(const std::string& dir) { return dir.empty() || dir == std::string(1, kDelimiter); }

bool ForceDirectories(const std::string& path, SECURITY_ATTRIBUTES* security) {
  std::string dir = path;
  if (!dir.empty() && dir.back() == kDelimiter) dir.pop_back();
  if (IsRootOrEmpty(dir)) return true;
  // Exists through a link too: the separator makes the system resolve it.
  if (IsExistingDir(dir + kDelimiter)) return true;
  const std::string parent = ExtractFilePath(dir);
  if (parent == dir) return true;
  if (!parent.empty() && !ForceDirectories(parent, security)) return false;
  // A folder made by someone else meanwhile counts as made.
  return CreateDirectoryA(dir.c_str(), security) || IsExistingDir(dir + kDelimiter);
}

// Deletes what lies in Dir (a link as a file: never entered), then Dir itself; a tree
// deletion falls back on the restart list when OnReboot is set.
bool DeleteTree(const std::string& path, bool tree, bool onReboot) {
  const std::string dir = WithDelimiter(path);
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir + "*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(dir + name, tree, onReboot);
      } else if (tree) {
        ForceDeleteFileEx(dir + name, onReboot);
      } else {
        ForceDeleteFile(dir + name);
      }
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  if (RemoveDirectoryA(dir.c_str())) return true;
  return tree && onReboot && DeleteDirOnReboot(dir);
}

bool ScheduleDeletion(const std::string& name, bool exists) {
  if (!IsNT) return false;
  if (!exists) return true;
  return MoveFileExA(name.c_str(), nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

// GetFileSecurityA into an empty descriptor of the smallest size first (20 bytes on
// the original platform, larger where pointers are); only when that is too small,
// into one of the size the system asks for.
PSECURITY_DESCRIPTOR ReadSecurity(const std::string& path, SECURITY_INFORMATION information) {
  constexpr DWORD kFirstSize = SECURITY_DESCRIPTOR_MIN_LENGTH;
  PSECURITY_DESCRIPTOR descriptor = LocalAlloc(LPTR, kFirstSize);
  if (descriptor == nullptr) return nullptr;
  InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION);
  DWORD needed = 0;
  if (GetFileSecurityA(path.c_str(), information, descriptor, kFirstSize, &needed) || needed == 0) {
    LocalFree(descriptor);
    return nullptr;
  }
  LocalFree(descriptor);
  descriptor = LocalAlloc(LPTR, needed);
  if (descriptor != nullptr && GetFileSecurityA(path.c_str(), information, descriptor, needed, &needed) &&
      IsValidSecurityDescriptor(descriptor)) {
    return descriptor;
  }
  LocalFree(descriptor);
  return nullptr;
}

bool SetAllowEveryone(const std::string& path, PSECURITY_DESCRIPTOR current) {
  PSECURITY_DESCRIPTOR widened =
      current ? support::AddTrusteeToSecurityDescriptor(current, support::WorldTrusteeName) : nullptr;
  const bool set = widened && SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, widened);
  LocalFree(widened);
  LocalFree(current);
  return set;
}

// A buffer call that answers a length: the text when it fit, else empty.
template <typename Call>
std::string FromBuffer(DWORD size, Call call) {
  std::vector<char> buffer(size);
  const DWORD length = call(buffer.data(), size);
  return length > 0 && length < size ? std::string(buffer.data(), length) : std::string();
}

std::string ShellFolderValue(const char* name) {
  std::string value;
  if (!RegReadString(HKEY_CURRENT_USER, kShellFoldersKey, name, value)) return std::string();
  return WithDelimiter(StripAtNul(value));
}

// Makes the temporary folder when neither it nor a "Temp" folder of the platform
// folder exists; a failure is dropped.
void EnsureTempFolder() {
  char temp[kPathBuffer] = {};
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return;
  char full[kPathBuffer] = {};
  const DWORD fullLength = GetFullPathNameA(temp, sizeof full, full, nullptr);
  if (fullLength == 0 || fullLength >= sizeof full || IsExistingDir(full)) return;
  char windows[MAX_PATH] = {};
  if (SHGetSpecialFolderPathA(0, windows, CSIDL_WINDOWS, FALSE) && IsExistingDir(std::string(windows) + "/Temp/")) {
    return;
  }
  try {
    ForceDirectoriesChecked(full);
  } catch (const Exception&) {
    // A temporary folder that cannot be made shows itself where it is used.
  }
}

struct StartFolders {
  std::string appData;
  std::string desktop;
};

StartFolders LookUpFolders() {
  EnsureTempFolder();
  return StartFolders{GetAppDataDir(), GetDesktopDir()};
}

// Looked up at the first use, which stands for the program's start.
StartFolders& Folders() {
  static StartFolders folders = LookUpFolders();
  return folders;
}

}  // namespace

bool IsExistingFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingDir(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceDirectoriesEx(const std::string& dir, bool useSecurity) {
  if (dir.empty()) return false;
  return ForceDirectories(dir, useSecurity ? support::FileAllowEveryoneSA : nullptr);
}

bool ForceDirectoriesChecked(const std::string& dir) {
  if (dir.empty()) throw Exception(std::string("Cannot create directory"));
  return ForceDirectories(dir, nullptr);
}

bool DeleteDirectory(const std::string& dir) { return DeleteTree(dir, false, false); }

bool DeleteDirectoryTree(const std::string& dir, bool onReboot) { return DeleteTree(dir, true, onReboot); }

bool DeleteDirOnReboot(const std::string& dir) { return ScheduleDeletion(dir, IsExistingDir(dir)); }

bool DeleteFileOnReboot(const std::string& fileName) { return ScheduleDeletion(fileName, IsExistingFile(fileName)); }

bool ForceDeleteFile(const std::string& fileName) {
  if (!IsExistingFile(fileName)) return false;
  if (DeleteFileA(fileName.c_str())) return true;
  FileSetAllowEveryone(fileName);
  SetFileAttributesA(fileName.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(fileName.c_str());
}

bool ForceDeleteFileEx(const std::string& fileName, bool onReboot) {
  if (ForceDeleteFile(fileName)) return true;
  return onReboot && IsNT && IsExistingFile(fileName) && DeleteFileOnReboot(fileName);
}

bool SetFileAttr(const std::string& fileName, std::uint8_t attributes) {
  return SetFileAttributesA(fileName.c_str(), attributes);
}

bool RenameFileTo(const std::string& oldName, const std::string& newName) {
  return MoveFileA(oldName.c_str(), newName.c_str());
}

bool DirSetAllowEveryone(const std::string& dir) {
  return IsNT && SetAllowEveryone(dir, GetDirSecurityDescriptor(dir));
}

bool FileSetAllowEveryone(const std::string& fileName) {
  return IsNT && SetAllowEveryone(fileName, GetFileSecurityDescriptor(fileName));
}

PSECURITY_DESCRIPTOR GetDirSecurityDescriptor(const std::string& path) {
  return ReadSecurity(path, DACL_SECURITY_INFORMATION);
}

PSECURITY_DESCRIPTOR GetFileSecurityDescriptor(const std::string& path) {
  return ReadSecurity(path, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION);
}

std::string GetLongPath(const std::string& shortPath) {
  std::string longPath;
  if (OSId == W98 || OSId >= W2K) {
    longPath = FromBuffer(kPathBuffer, [&](char* buffer, DWORD size) {
      return GetLongPathNameA(shortPath.c_str(), buffer, size);
    });
  }
  return longPath.empty() ? shortPath : longPath;
}

std::string GetTempDir() {
  DWORD size = 255;
  std::string temp = FromBuffer(size, [](char* buffer, DWORD length) { return GetTempPathA(length, buffer); });
  if (temp.empty() && (size = GetTempPathA(0, nullptr)) > 0) {
    temp = FromBuffer(size, [](char* buffer, DWORD length) { return GetTempPathA(length, buffer); });
  }
  if (temp.empty()) return temp;
  return WithDelimiter(StripAtNul(GetLongPath(temp)));
}

std::string GetSpecialFolderPath(int csidl) {
  char path[kPathBuffer] = {};
  if (!SHGetSpecialFolderPathA(0, path, csidl, TRUE)) return std::string();
  return WithDelimiter(path);
}

std::string GetAppDataDir() {
  if (OSId >= VISTA) {
    char path[kPathBuffer] = {};
    if (SHGetSpecialFolderPathA(0, path, CSIDL_APPDATA, FALSE)) return WithDelimiter(path);
  }
  return ShellFolderValue("AppData");
}

std::string GetDesktopDir() { return ShellFolderValue("Desktop"); }

const std::string& AppDataDir() { return Folders().appData; }

const std::string& DesktopDir() { return Folders().desktop; }

void InitFilesFolders() { Folders() = LookUpFolders(); }

std::string StripAtNul(const std::string& s) { return s.substr(0, s.find('\0')); }

BSTR AnsiToOleStr(const std::string& s) {
  const std::u16string wide = platform::AnsiToWide(s);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string IntToStr(std::int32_t n) { return std::to_string(n); }

std::string ExtractFilePath(const std::string& path) {
  const std::size_t last = path.rfind(kDelimiter);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
