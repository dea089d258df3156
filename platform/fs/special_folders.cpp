#include "platform/fs/special_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/state_root.h"
#include "platform/fs/files.h"
#include "platform/fs/names.h"

namespace platform {
namespace {

struct Overrides {
  std::mutex lock;
  std::map<SpecialFolder, std::filesystem::path> folders;
};

Overrides& TheOverrides() {
  static Overrides overrides;
  return overrides;
}

std::filesystem::path FromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path UnderHome(const char* relative) {
  const std::filesystem::path home = FromEnvironment("HOME");
  return home.empty() ? home : home / relative;
}

// The name of each kind under the state root.
const char* RootName(SpecialFolder kind) {
  switch (kind) {
    case SpecialFolder::kAppData: return "AppData";
    case SpecialFolder::kDesktop: return "Desktop";
    case SpecialFolder::kStartMenu: return "Start Menu";
    case SpecialFolder::kPrograms: return "Start Menu/Programs";
    case SpecialFolder::kTemp: return "Temp";
    case SpecialFolder::kWindows: return "Windows";
    case SpecialFolder::kQuickLaunch: break;  // made from application data
  }
  return "";
}

std::filesystem::path UnderRoot(SpecialFolder kind) {
  const std::filesystem::path root = StateRoot();
  return root.empty() ? root : root / RootName(kind);
}

std::filesystem::path XdgData() {
  std::filesystem::path data = FromEnvironment("XDG_DATA_HOME");
  return data.empty() ? UnderHome(".local/share") : data;
}

std::filesystem::path UsualFolder(SpecialFolder kind) {
  if (kind == SpecialFolder::kQuickLaunch) {
    const std::filesystem::path appData = SpecialFolderPath(SpecialFolder::kAppData);
    return appData.empty() ? appData : appData / "Microsoft/Internet Explorer/Quick Launch";
  }
  if (!FromEnvironment("PELLIX_HOME").empty()) return UnderRoot(kind);
  switch (kind) {
    case SpecialFolder::kAppData: return XdgData();
    case SpecialFolder::kDesktop: {
      std::filesystem::path desktop = FromEnvironment("XDG_DESKTOP_DIR");
      return desktop.empty() ? UnderHome("Desktop") : desktop;
    }
    case SpecialFolder::kStartMenu:
    case SpecialFolder::kPrograms: {
      std::filesystem::path data = XdgData();
      return data.empty() ? data : data / "applications";
    }
    case SpecialFolder::kTemp: {
      std::filesystem::path temp = FromEnvironment("TMPDIR");
      return temp.empty() ? std::filesystem::path("/tmp") : temp;
    }
    case SpecialFolder::kWindows: return UnderRoot(kind);
    case SpecialFolder::kQuickLaunch: break;  // made from application data above
  }
  return {};
}

std::optional<SpecialFolder> KindOf(int csidl) {
  switch (csidl & ~CSIDL_FLAG_CREATE) {
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA:
    case CSIDL_COMMON_APPDATA: return SpecialFolder::kAppData;
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
    case CSIDL_COMMON_DESKTOPDIRECTORY: return SpecialFolder::kDesktop;
    case CSIDL_STARTMENU:
    case CSIDL_COMMON_STARTMENU: return SpecialFolder::kStartMenu;
    case CSIDL_PROGRAMS:
    case CSIDL_COMMON_PROGRAMS: return SpecialFolder::kPrograms;
    case CSIDL_WINDOWS: return SpecialFolder::kWindows;
    default: return std::nullopt;
  }
}

bool MakeFolders(const std::filesystem::path& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  if (folder.has_parent_path() && folder.parent_path() != folder && !MakeFolders(folder.parent_path())) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::filesystem::path SpecialFolderPath(SpecialFolder kind) {
  {
    Overrides& overrides = TheOverrides();
    std::lock_guard guard(overrides.lock);
    auto found = overrides.folders.find(kind);
    if (found != overrides.folders.end()) return found->second;
  }
  return UsualFolder(kind);
}

void SetSpecialFolder(SpecialFolder kind, const std::filesystem::path& folder) {
  Overrides& overrides = TheOverrides();
  std::lock_guard guard(overrides.lock);
  if (folder.empty()) {
    overrides.folders.erase(kind);
  } else {
    overrides.folders[kind] = folder;
  }
}

}  // namespace platform

BOOL SHGetSpecialFolderPathA(HWND /*owner*/, char* path, int csidl, BOOL create) {
  if (platform::faults::ShouldFail("SHGetSpecialFolderPathA")) return FALSE;
  const std::optional<platform::SpecialFolder> kind = platform::KindOf(csidl);
  if (!kind || path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::filesystem::path folder = platform::SpecialFolderPath(*kind);
  // Refused before anything is made: a folder named otherwise would be another one.
  std::string ansi;
  if (!platform::NativeToAnsiName(folder.string(), ansi)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return FALSE;
  }
  struct stat info {};
  const bool exists = !folder.empty() && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  const bool creates = create || (csidl & CSIDL_FLAG_CREATE);
  if (!exists && (!creates || folder.empty() || !platform::MakeFolders(folder))) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (platform::CopyToBuffer(ansi, path, MAX_PATH) != ansi.size()) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  return TRUE;
}
