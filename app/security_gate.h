// The master-password gate in front of every protected action, by the security level:
// 0 never asks; 1 asks until the first unlock; 2 asks again once SecurityExpires
// minutes have passed since the unlock (never, with 0 minutes); 3 asks for every
// action that does not allow a constant unlock. Any unlock stays good for 15 seconds.
// Level 99 (a security record that could not be read) blocks every protected action.
// Main thread only: it may show windows.
#pragma once

#include "app/dialog_launcher.h"
#include "platform/base/types.h"

class TSecurityGate {
 public:
  explicit TSecurityGate(TDialogLauncher& launcher) : launcher_(launcher) {}

  // True when the protected action may go ahead now; with Ask false no window is shown.
  bool CheckUnlock(HWND owner, bool allowConstant, bool ask);

 private:
  bool AskAndVerify(HWND owner);

  TDialogLauncher& launcher_;
};

// False when the level is not 0 and no unlock time is recorded.
bool IsUnlockedNow();
