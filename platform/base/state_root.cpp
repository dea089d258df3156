#include "platform/base/state_root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/base/text.h"

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

bool StateRootExists() {
  const std::filesystem::path root = ChooseRoot();
  std::error_code error;
  return !root.empty() && std::filesystem::is_directory(root, error);
}

std::string StateRootProblem() {
  const std::filesystem::path root = ChooseRoot();
  if (root.empty()) return "there is no state folder: none of PELLIX_HOME, XDG_DATA_HOME and HOME is set";
  const std::string named = "the state folder \"" + root.string() + "\"";
  // Checked before anything is made: the program names its files in the 8-bit code
  // page, and a root it cannot name so would be left behind empty.
  if (std::string ansi; !NativeToAnsiName(root.string(), ansi)) {
    return named + " has a letter outside the 8-bit code page, so the program cannot name its files in it";
  }
  std::error_code error;
  for (std::filesystem::path part = root; !part.empty(); part = part.parent_path()) {
    if (std::filesystem::exists(part, error) && !std::filesystem::is_directory(part, error)) {
      return named + " cannot be made: \"" + part.string() + "\" is not a folder";
    }
    if (part == part.parent_path()) break;
  }
  errno = 0;
  if (!MakePrivateFolders(root)) return named + " cannot be made (" + std::strerror(errno) + ")";
  std::string probe = (root / ".pellix-write-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return named + " is not writable (" + std::strerror(errno) + ")";
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

std::filesystem::path StateFolder(const std::filesystem::path& relative) {
  std::filesystem::path root = StateRoot();
  if (root.empty()) return {};
  std::filesystem::path folder = root / relative;
  return MakePrivateFolders(folder) ? folder : std::filesystem::path();
}

}  // namespace platform
