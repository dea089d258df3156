// The X11 display backend of the window system. Every top-level window that is shown
// becomes an X window: owned windows are transient for their owner's, tool windows
// and owned windows stay off the taskbar, top-most windows ask to stay above, windows
// without a caption ask for no frame, and popups without a caption that are tool or
// top-most windows (hints, the floating button) are override-redirect windows, placed
// by the program alone; an open popup menu also takes the mouse and keyboard (grabs
// them) while it is shown. Top-most and taskbar changes after a window is shown are
// asked of the window manager. A window's picture, composed exactly as on the
// headless screen, is painted into its X window through a cairo xcb surface; a
// layered window keeps its translucency in a 32-bit visual where a compositor runs
// (when the window is first shown), and is flattened over the desktop colour
// elsewhere. A window kept off the display (KeepOffDisplay) gets no X window. The
// client window keeps the position the program gives it (static gravity): the
// window manager's frame goes round it.
//
// A thread reads the X server's events: mouse and keys go into the system input
// queue (keys through xkbcommon, with the server's layout, see x11_keys.h); exposure
// repaints; a move or size by the window manager or the user, focus in and out, and
// the close button become the window's own messages, handed to the window's thread.
// The notification-area icons dock into the desktop's system tray (x11_tray.h).
#pragma once

#include <memory>
#include <string>

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"

namespace platform::display {

// Connects to the X server (`displayName`, or $DISPLAY when empty) and makes X11 the
// display of the window system. False, and the screen stays headless, when no display
// is named, none answers, or a display is already in use.
bool StartX11(const std::string& displayName = {});
// Takes the windows off the X server, ends the event thread and disconnects; the
// screen is headless again. Nothing happens when X11 is not in use.
void StopX11();
bool X11Running();

// Chooses the display at start: X11 when $DISPLAY answers, headless otherwise. The
// choice is written to the debug output. Answers whether X11 is in use.
bool ChooseDisplay();

// The X window showing a top-level window; 0 when it has none (never shown, or
// headless).
std::uint32_t X11WindowOf(HWND window);

// The picture of a top-level window's client area as the X server holds it; nullptr
// when the window has no X window. For screenshots and tests.
std::shared_ptr<platform::gdi::Bitmap> X11ClientPicture(HWND window);

// Waits until the X server has carried out everything asked of it so far (one round
// trip); nothing happens when X11 is not in use. For timing and screenshots.
void X11WaitForServer();

// The X window of a notification-area icon docked in the desktop's tray (see
// x11_tray.h); 0 when it has none.
std::uint32_t X11TrayIconWindow(HWND window, UINT id);

}  // namespace platform::display
