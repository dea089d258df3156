#include "platform/display/x11_tray.h"

#include <cairo-xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/base/text.h"
#include "platform/display/x11_atom.h"
#include "platform/gdi/icons.h"
#include "platform/kernel/debug_output.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

constexpr std::uint32_t kRequestDock = 0;
constexpr int kIconSize = 22;  // asked for; the tray gives the size it wants

}  // namespace

namespace platform::display {

X11Tray::X11Tray(xcb_connection_t* connection, xcb_screen_t* screen, xcb_visualtype_t* visual)
    : connection_(connection), screen_(screen), visual_(visual) {
  selection_ = Intern("_NET_SYSTEM_TRAY_S0");
  opcode_ = Intern("_NET_SYSTEM_TRAY_OPCODE");
  xembedInfo_ = Intern("_XEMBED_INFO");
  netWmName_ = Intern("_NET_WM_NAME");
  utf8_ = Intern("UTF8_STRING");
}

X11Tray::~X11Tray() {
  std::lock_guard guard(lock_);
  for (auto& [key, icon] : icons_) Destroy(icon);
  xcb_flush(connection_);
}

xcb_atom_t X11Tray::Intern(const char* name) { return InternAtom(connection_, name); }

xcb_window_t X11Tray::TrayOwner() {
  auto* reply = xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr);
  xcb_window_t owner = reply ? reply->owner : 0;
  std::free(reply);
  return owner;
}

void X11Tray::Show(const NOTIFYICONDATAW& data) {
  std::lock_guard guard(lock_);
  auto found = icons_.find({data.hWnd, data.uID});
  Icon* icon = found != icons_.end() ? &found->second : Create(data);
  if (icon == nullptr) return;
  icon->data = data;
  auto picture = platform::gdi::IconPicture(data.hIcon);
  icon->picture = picture ? platform::gdi::CopyPicture(*picture) : nullptr;
  Title(*icon);
  PaintLocked(*icon);
  xcb_flush(connection_);
}

X11Tray::Icon* X11Tray::Create(const NOTIFYICONDATAW& data) {
  xcb_window_t tray = TrayOwner();
  if (tray == 0) {
    if (!toldNoTray_) OutputDebugStringA("Tray: the display has no system tray; the tray icon is not shown");
    toldNoTray_ = true;
    return nullptr;
  }
  Icon icon;
  icon.id = xcb_generate_id(connection_);
  icon.width = icon.height = kIconSize;
  const std::uint32_t values[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_BUTTON_PRESS |
                                  XCB_EVENT_MASK_BUTTON_RELEASE};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, icon.id, screen_->root, 0, 0, kIconSize, kIconSize, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_EVENT_MASK,
                    values);
  // The picture is the background of a child window that the tray does not touch (a
  // tray may set the background of the icon window itself as it likes).
  icon.face = xcb_generate_id(connection_);
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, icon.face, icon.id, 0, 0, kIconSize, kIconSize, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, 0, nullptr);
  xcb_map_window(connection_, icon.face);
  // XEmbed version 0, mapped once docked.
  const std::uint32_t info[] = {0, 1};
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, icon.id, xembedInfo_, xembedInfo_, 32, 2, info);
  // Trays size an icon by its minimum size (flag 16, width and height at 5 and 6).
  std::uint32_t sizeHints[18] = {16, 0, 0, 0, 0, kIconSize, kIconSize};
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, icon.id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                      32, 18, sizeHints);
  xcb_client_message_event_t dock{};
  dock.response_type = XCB_CLIENT_MESSAGE;
  dock.format = 32;
  dock.window = tray;
  dock.type = opcode_;
  dock.data.data32[0] = XCB_CURRENT_TIME;
  dock.data.data32[1] = kRequestDock;
  dock.data.data32[2] = icon.id;
  xcb_send_event(connection_, 0, tray, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&dock));
  return &icons_.emplace(std::make_pair(data.hWnd, data.uID), icon).first->second;
}

void X11Tray::Title(const Icon& icon) {
  std::string tip = platform::WideToUtf8(icon.data.szTip);
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, icon.id, netWmName_, utf8_, 8,
                      static_cast<std::uint32_t>(tip.size()), tip.data());
}

// The picture becomes the face window's background, which the server itself shows on
// every exposure: the tray may clear and re-expose its icons at any time.
void X11Tray::PaintLocked(Icon& icon) {
  xcb_pixmap_t pixmap = xcb_generate_id(connection_);
  xcb_create_pixmap(connection_, screen_->root_depth, pixmap, icon.face, static_cast<std::uint16_t>(icon.width),
                    static_cast<std::uint16_t>(icon.height));
  cairo_surface_t* surface = cairo_xcb_surface_create(connection_, pixmap, visual_, icon.width, icon.height);
  cairo_t* cr = cairo_create(surface);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  cairo_set_source_rgb(cr, GetRValue(face) / 255.0, GetGValue(face) / 255.0, GetBValue(face) / 255.0);
  cairo_paint(cr);
  if (icon.picture) {
    double scale = std::min(static_cast<double>(icon.width) / icon.picture->width(),
                            static_cast<double>(icon.height) / icon.picture->height());
    cairo_translate(cr, (icon.width - icon.picture->width() * scale) / 2,
                    (icon.height - icon.picture->height() * scale) / 2);
    cairo_scale(cr, scale, scale);
    if (icon.picture->bottomUp) {
      cairo_translate(cr, 0, icon.picture->height());
      cairo_scale(cr, 1, -1);
    }
    cairo_set_source_surface(cr, icon.picture->Surface(), 0, 0);
    cairo_paint(cr);
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  const std::uint32_t size[] = {static_cast<std::uint32_t>(icon.width), static_cast<std::uint32_t>(icon.height)};
  xcb_configure_window(connection_, icon.face, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  xcb_change_window_attributes(connection_, icon.face, XCB_CW_BACK_PIXMAP, &pixmap);
  xcb_free_pixmap(connection_, pixmap);
  xcb_clear_area(connection_, 0, icon.face, 0, 0, 0, 0);
}

void X11Tray::Remove(HWND window, UINT id) {
  std::lock_guard guard(lock_);
  auto found = icons_.find({window, id});
  if (found == icons_.end()) return;
  Destroy(found->second);
  icons_.erase(found);
  xcb_flush(connection_);
}

void X11Tray::Destroy(Icon& icon) {
  xcb_destroy_window(connection_, icon.id);
}

xcb_window_t X11Tray::WindowOf(HWND window, UINT id) {
  std::lock_guard guard(lock_);
  auto found = icons_.find({window, id});
  return found == icons_.end() ? 0 : found->second.id;
}

bool X11Tray::Handle(const xcb_generic_event_t* event) {
  std::uint8_t type = event->response_type & 0x7F;
  xcb_window_t target = 0;
  switch (type) {
    case XCB_CONFIGURE_NOTIFY: target = reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window; break;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: target = reinterpret_cast<const xcb_button_press_event_t*>(event)->event; break;
    default: return false;
  }
  std::lock_guard guard(lock_);
  auto found = std::find_if(icons_.begin(), icons_.end(), [&](const auto& entry) { return entry.second.id == target; });
  if (found == icons_.end()) return false;
  Icon& icon = found->second;
  if (type == XCB_CONFIGURE_NOTIFY) {
    auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
    icon.width = std::max<int>(configure->width, 1);
    icon.height = std::max<int>(configure->height, 1);
    PaintLocked(icon);
    xcb_flush(connection_);
    return true;
  }
  auto* button = reinterpret_cast<const xcb_button_press_event_t*>(event);
  bool press = type == XCB_BUTTON_PRESS;
  UINT message = 0;
  if (button->detail == 1) message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
  if (button->detail == 2) message = press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
  if (button->detail == 3) message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
  if (message != 0 && icon.data.uCallbackMessage != 0) {
    // The icon's menu opens where the pointer is.
    SetCursorPos(button->root_x, button->root_y);
    PostMessageW(icon.data.hWnd, icon.data.uCallbackMessage, icon.data.uID, static_cast<LPARAM>(message));
  }
  return true;
}

}  // namespace platform::display
