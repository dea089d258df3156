// Opening a file or address with the program the desktop associates with it: the
// desktop's opener (xdg-open) for documents and addresses, the program itself for an
// executable file; web addresses (http, https) go to the program's own browser when
// one is installed. The answer is above 32 on success, else an error number.
#pragma once

#include <functional>
#include <string>

#include "platform/base/types.h"

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;

inline constexpr HINSTANCE SE_ERR_FNF = 2;
inline constexpr HINSTANCE SE_ERR_PNF = 3;
inline constexpr HINSTANCE SE_ERR_ACCESSDENIED = 5;
inline constexpr HINSTANCE SE_ERR_OOM = 8;
inline constexpr HINSTANCE SE_ERR_NOASSOC = 31;

// Only the verb "open" (or none) is known; any other has no association. A name that
// is neither an address ("scheme:...") nor an existing file answers SE_ERR_FNF. The
// opener is waited for: when it is missing or reports failure the answer is
// SE_ERR_NOASSOC. An executable file is started with the parameters (split at blanks,
// double quotes group) in the folder given, and not waited for. The owner window and
// the show command are not used.
HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, INT showCommand);

namespace platform {

// The opener program; "xdg-open" unless a test names another (empty restores it).
void SetShellOpener(const std::string& program);
// Where web addresses open instead (the program's own browser, installed by the
// browser model); it answers whether the address opened. Empty restores the opener.
void SetWebOpener(std::function<bool(const std::string& address)> open);

}  // namespace platform
