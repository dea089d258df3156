// Opening a file or address with its associated program, and shortcuts to programs
// in a folder or a special folder.
#pragma once

#include <string>

#include "platform/base/types.h"

// Selects the Quick Launch folder instead of a CSIDL: the subfolder
// "Microsoft\Internet Explorer\Quick Launch\" of application data.
inline constexpr BYTE kQuickLaunchFolder = 170;

// ShellExecuteA(OwnerWnd, "open", File, Parameters, Directory, SW_SHOW); true when the
// answer is above 32.
bool ShellOpen(const std::string& file, const std::string& parameters = "", HWND ownerWnd = 0,
               const std::string& directory = "");

// The shortcuts need COM initialised on the calling thread. Each answers false when a
// step of the link fails; only a link object that cannot be created raises
// EOleSysError (platform/classlib/exceptions.h). The target's folder is the working
// folder; an icon is set only for an IconIndex other than 0 (IconFile, else Target).

// Writes Folder + Name + ".lnk" (a backslash added to Folder when missing), replacing
// a file of that name.
bool CreateShortcut(const std::string& target, const std::string& arguments, const std::string& folder,
                    int iconIndex, const std::string& iconFile, const std::string& name);
// The same in the special folder of FolderSelector (a CSIDL or kQuickLaunchFolder).
bool CreateQuickLaunchShortcut(const std::string& target, const std::string& arguments, BYTE folderSelector,
                               int iconIndex, const std::string& iconFile, const std::string& name);
// Deletes Name + ".lnk" of that special folder; false when it is not there.
bool RemoveQuickLaunchShortcut(const std::string& name, BYTE folderSelector);
