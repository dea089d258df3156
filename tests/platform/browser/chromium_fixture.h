// How the tests start Chromium: the headless shell, with its profile under the test's
// own state root.
#pragma once

#include "platform/browser/devtools_pipe.h"

namespace chromium_test {

platform::browser::LaunchOptions HeadlessOptions();

}  // namespace chromium_test
