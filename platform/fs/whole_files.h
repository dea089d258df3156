// Whole files by native name, for the platform's own small files: read in one piece,
// and rewritten atomically (a temporary file of its own beside the target, flushed
// and renamed over it; 0600).
#pragma once

#include <optional>
#include <string>

namespace platform {

// The file's bytes; an empty string for a missing file; nullopt with the last error
// set when it exists but cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& native);

// False with the last error set; the target is then unchanged.
bool WriteWholeFile(const std::string& native, const std::string& bytes);

}  // namespace platform
