#include "chromium_fixture.h"

#include "platform/base/state_root.h"

namespace chromium_test {

platform::browser::LaunchOptions HeadlessOptions() {
  platform::browser::LaunchOptions options;
  options.program = "/usr/lib/chromium/chromium-headless-shell";
  options.profile = platform::StateRoot() / "chromium-profile";
  return options;
}

}  // namespace chromium_test
