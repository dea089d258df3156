// A secret store of the test's own: a D-Bus session bus (dbus-daemon) and
// gnome-keyring-daemon on it, unlocked with a known password, both in a private
// folder. While it runs, DBUS_SESSION_BUS_ADDRESS names its bus (and the keyring's
// folders are set in XDG_RUNTIME_DIR and XDG_DATA_HOME); the destructor stops both
// processes and puts the environment back.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/test_env.h"

namespace pellix_test {

class PrivateKeyring {
 public:
  PrivateKeyring() = default;
  ~PrivateKeyring();
  PrivateKeyring(const PrivateKeyring&) = delete;
  PrivateKeyring& operator=(const PrivateKeyring&) = delete;

  // Empty when dbus-daemon, dbus-send and gnome-keyring-daemon are installed, else
  // what is missing.
  static std::string MissingTools();
  // False, with Why set, when the bus or the keyring did not come up.
  bool Start(std::string& why);
  // Stops the keyring and the bus (the store then no longer answers).
  void Stop();

 private:
  std::unique_ptr<TempDir> folder_;
  pid_t bus_ = -1;
  pid_t keyring_ = -1;
  // The variables the keyring changes, as they were (false: unset).
  std::vector<std::tuple<std::string, bool, std::string>> savedEnvironment_;
};

}  // namespace pellix_test
