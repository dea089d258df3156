// Opening a file or address with its associated program.
#pragma once

#include <string>

#include "platform/base/types.h"

// ShellExecuteA(OwnerWnd, "open", File, Parameters, Directory, SW_SHOW); true when the
// answer is above 32.
bool ShellOpen(const std::string& file, const std::string& parameters = "", HWND ownerWnd = 0,
               const std::string& directory = "");
