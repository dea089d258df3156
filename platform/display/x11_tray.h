// The notification-area icons on X11: each icon is a small X window that docks into
// the desktop's system tray by the freedesktop system-tray protocol (XEmbed). It shows
// the icon's picture over the button face colour and carries the tip as its name;
// presses and releases of the mouse on it reach the icon's window as its callback
// message, as the platform's notification area sends them. Where no tray owns the
// selection, the debug output says so once and the icons stay in the record only.
// Balloons are not shown on the tray.
#pragma once

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/gdi/gdi_objects.h"
#include "platform/shell/notify_icon.h"



namespace platform::display {

class X11Tray final : public platform::notify_icon::Host {
 public:
  X11Tray(xcb_connection_t* connection, xcb_screen_t* screen, xcb_visualtype_t* visual);
  ~X11Tray() override;
  X11Tray(const X11Tray&) = delete;
  X11Tray& operator=(const X11Tray&) = delete;

  void Show(const NOTIFYICONDATAW& icon) override;
  void Remove(HWND window, UINT id) override;
  // Handles an event of an icon window; false for other events.
  bool Handle(const xcb_generic_event_t* event);
  // The X window of an icon; 0 when it has none.
  xcb_window_t WindowOf(HWND window, UINT id);

 private:
  struct Icon {
    xcb_window_t id = 0;    // docked in the tray
    xcb_window_t face = 0;  // its child, showing the picture
    NOTIFYICONDATAW data{};
    std::shared_ptr<platform::gdi::Bitmap> picture;
    int width = 1, height = 1;
  };
  xcb_atom_t Intern(const char* name);
  xcb_window_t TrayOwner();
  Icon* Create(const NOTIFYICONDATAW& icon);
  void PaintLocked(Icon& icon);
  void Title(const Icon& icon);
  void Destroy(Icon& icon);

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  xcb_visualtype_t* visual_;
  xcb_atom_t selection_, opcode_, xembedInfo_, netWmName_, utf8_;
  std::mutex lock_;
  std::map<std::pair<HWND, UINT>, Icon> icons_;
  bool toldNoTray_ = false;
};

}  // namespace platform::display
