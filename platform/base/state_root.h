// Where the user's state lives: $PELLIX_HOME when set (every test sets it), else
// the XDG data folder. The registry database, the data folder and the settings
// file are all found from here. Folders are made 0700.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The root folder, created when missing; empty when it cannot be made.
std::filesystem::path StateRoot();

// True when the root is chosen and there; nothing is made. Work done as a process
// ends asks this first, so that it never makes a root that was taken away again.
bool StateRootExists();

// Why the root cannot hold the user's state, in words for the user naming the folder;
// empty when it can: it is chosen, named in the 8-bit code page, exists or can be
// made (0700), is a folder, and a file can be made in it.
std::string StateRootProblem();

// A folder under the root, created (0700) when missing; empty when it cannot be made.
std::filesystem::path StateFolder(const std::filesystem::path& relative);

}  // namespace platform
