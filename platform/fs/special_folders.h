// The special folders of the platform mapped onto this system. When $PELLIX_HOME is
// set (every test sets it) they all lie under the state root, named as below;
// otherwise application data is the XDG data folder, the desktop the XDG desktop
// folder, the start menu and its programs folder the XDG applications folder, the
// temporary folder $TMPDIR (or /tmp), and the platform folder lies under the state
// root. Quick launch lies where the platform keeps it, in application data under
// "Microsoft/Internet Explorer/Quick Launch". A test can point any of them elsewhere. The all-users folders are the user's own: this
// system keeps nothing outside the user's reach.
#pragma once

#include <filesystem>

#include "platform/base/types.h"

inline constexpr int CSIDL_DESKTOP = 0x0000;
inline constexpr int CSIDL_PROGRAMS = 0x0002;
inline constexpr int CSIDL_STARTMENU = 0x000B;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;
inline constexpr int CSIDL_COMMON_STARTMENU = 0x0016;
inline constexpr int CSIDL_COMMON_PROGRAMS = 0x0017;
inline constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x0019;
inline constexpr int CSIDL_APPDATA = 0x001A;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
inline constexpr int CSIDL_COMMON_APPDATA = 0x0023;
inline constexpr int CSIDL_WINDOWS = 0x0024;
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;

// Writes the folder of a CSIDL (no trailing separator) into Path, a buffer of
// MAX_PATH characters, creating it (0700) when Create is set or CSIDL_FLAG_CREATE is
// given. FALSE for a CSIDL this system does not know (ERROR_INVALID_PARAMETER), for a
// folder that does not exist and is not to be created (ERROR_FILE_NOT_FOUND), or for
// one whose name does not fit (ERROR_FILENAME_EXCED_RANGE).
BOOL SHGetSpecialFolderPathA(HWND owner, char* path, int csidl, BOOL create);

namespace platform {

enum class SpecialFolder { kAppData, kDesktop, kStartMenu, kPrograms, kQuickLaunch, kTemp, kWindows };

// The native folder of a kind (not created here); empty when no home is known.
std::filesystem::path SpecialFolderPath(SpecialFolder kind);

// Points a kind at another folder; an empty path goes back to the usual mapping.
void SetSpecialFolder(SpecialFolder kind, const std::filesystem::path& folder);

}  // namespace platform
