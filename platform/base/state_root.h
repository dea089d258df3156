// Where the user's state lives: $PELLIX_HOME when set (every test sets it), else
// the XDG data folder. The registry database, the data folder and the settings
// file are all found from here. Folders are made 0700.
#pragma once

#include <filesystem>

namespace platform {

// The root folder, created when missing; empty when it cannot be made.
std::filesystem::path StateRoot();

// A folder under the root, created (0700) when missing; empty when it cannot be made.
std::filesystem::path StateFolder(const std::filesystem::path& relative);

}  // namespace platform
