// The display a window system shows its windows on. Headless (none installed) the
// windows live only in memory; a display backend installed at start shows every
// top-level window on a real screen. The window system tells the backend what may
// have changed; the backend does its work on each window's own thread, from that
// thread's message retrieval (Pump), so that it never reaches into a window from a
// foreign thread.
#pragma once

#include "platform/base/types.h"

namespace platform::win {

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  // A window's state or picture may have changed (its own, or for a child, the
  // picture of its top-level window). Called from any thread, with no lock held.
  virtual void WindowChanged(HWND window) = 0;
  // The window is gone (its record is no longer there).
  virtual void WindowGone(HWND window) = 0;
  // The calling thread is about to look for messages: the backend brings its windows
  // up to date and hands it the work that came from the display for it.
  virtual void Pump() = 0;
  // Rings the screen's bell; a backend without one stays silent.
  virtual void Bell() {}
};

// A top-level window that stands for a window the display shows by other means (or
// not at all) is kept off the display: a browser's frame, for instance, whose pages
// another program shows in a window of its own.
void KeepOffDisplay(HWND window);
bool KeptOffDisplay(HWND window);

// Installs the backend (nullptr: headless again). The backend outlives its use.
void SetDisplayBackend(DisplayBackend* backend);
DisplayBackend* CurrentDisplayBackend();

namespace detail {

// What the window system calls; nothing happens when headless.
void NotifyDisplayChanged(HWND window);
void NotifyDisplayGone(HWND window);
void PumpDisplay();
// False when headless: there is no bell to ring.
bool RingDisplayBell();

}  // namespace detail

}  // namespace platform::win
