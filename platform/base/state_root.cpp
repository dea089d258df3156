#include "platform/base/state_root.h"

#include <sys/stat.h>

#include <cstdlib>
#include <system_error>

namespace platform {
namespace {

std::filesystem::path ChooseRoot() {
  if (const char* home = std::getenv("PELLIX_HOME"); home && *home) return home;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    return std::filesystem::path(data) / "pellix";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".local" / "share" / "pellix";
  }
  return {};
}

bool MakePrivateFolders(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return true;
  if (path.has_parent_path() && path.parent_path() != path && !MakePrivateFolders(path.parent_path())) {
    return false;
  }
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return std::filesystem::is_directory(path, error);
}

}  // namespace

std::filesystem::path StateRoot() {
  std::filesystem::path root = ChooseRoot();
  if (root.empty() || !MakePrivateFolders(root)) return {};
  return root;
}

std::filesystem::path StateFolder(const std::filesystem::path& relative) {
  std::filesystem::path root = StateRoot();
  if (root.empty()) return {};
  std::filesystem::path folder = root / relative;
  return MakePrivateFolders(folder) ? folder : std::filesystem::path();
}

}  // namespace platform
