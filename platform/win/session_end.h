// The end of the user's session. On this system it reaches a program as SIGTERM or
// SIGHUP (the session manager or the terminal going away). Once the program asks for
// it, either signal becomes WM_ENDSESSION (wParam TRUE) posted to each top-level window
// of the process, so that the program writes what it must and ends itself; a process
// with no window to tell ends as the signal would have ended it.
#pragma once

namespace platform::win {

// Starts turning the signals into the message (once per process).
void EndSessionOnSignals();

}  // namespace platform::win
