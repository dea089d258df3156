#include "platform/display/x11_display.h"

#include <cairo-xcb.h>
#include <unistd.h>
#include <xcb/xcb.h>
// The XKB protocol header names a field "explicit", a C++ keyword.
#define explicit explicit_field
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/base/text.h"
#include "platform/display/x11_clipboard.h"
#include "platform/display/x11_keys.h"
#include "platform/display/x11_tray.h"
#include "platform/gdi/window_picture.h"
#include "platform/kernel/debug_output.h"
#include "platform/shell/notify_icon.h"
#include "platform/win/display.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

using platform::gdi::Bitmap;
using platform::win::detail::InputEvent;

enum Atom {
  kWmProtocols,
  kWmDeleteWindow,
  kWmTransientFor,
  kWmNormalHints,
  kNetWmName,
  kUtf8String,
  kNetWmPid,
  kNetWmWindowType,
  kTypeNormal,
  kTypeDialog,
  kTypeUtility,
  kTypeTooltip,
  kTypePopupMenu,
  kNetWmState,
  kStateAbove,
  kStateSkipTaskbar,
  kStateSkipPager,
  kMotifWmHints,
  kCompositor,
  kStop,
  kAtomCount
};

constexpr std::array<const char*, kAtomCount> kAtomNames{
    "WM_PROTOCOLS",         "WM_DELETE_WINDOW",           "WM_TRANSIENT_FOR",
    "WM_NORMAL_HINTS",      "_NET_WM_NAME",               "UTF8_STRING",
    "_NET_WM_PID",          "_NET_WM_WINDOW_TYPE",        "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_STATE",        "_NET_WM_STATE_ABOVE",        "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_SKIP_PAGER", "_MOTIF_WM_HINTS",        "_NET_WM_CM_S0",
    "_PELLIX_STOP"};

// What decides how the window manager treats a window.
struct Hints {
  DWORD style = 0;
  DWORD exStyle = 0;
  xcb_window_t transientFor = 0;
  bool operator==(const Hints&) const = default;
};

// The X side of one top-level window. Fields other than the ids change under the
// backend's lock.
struct XWindow {
  xcb_window_t id = 0;
  cairo_surface_t* surface = nullptr;
  DWORD thread = 0;
  RECT rect{};  // where the window system has the window, as last told to the server
  std::deque<RECT> asked;  // places asked of the server that it has not reported yet
  bool mapped = false;
  bool overrideRedirect = false;
  bool menu = false;  // an open popup menu: it takes the mouse and keyboard while shown
  bool argb = false;  // a layered window with an alpha channel, for a compositor to blend
  Hints hints;
  std::vector<xcb_atom_t> state;  // the _NET_WM_STATE asked for, as last told
  std::u16string title;
};

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool OverrideRedirect(DWORD style, DWORD exStyle) {
  return (style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION &&
         (exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
}

// A taskbar button is for unowned windows that are no tool windows, or app windows.
bool SkipsTaskbar(const Hints& hints, HWND owner) {
  if (hints.exStyle & WS_EX_APPWINDOW) return false;
  return (hints.exStyle & WS_EX_TOOLWINDOW) || owner != 0;
}

void FlattenedOver(cairo_t* cr, const Bitmap& picture, double x, double y) {
  COLORREF desktop = GetSysColor(COLOR_BACKGROUND);
  cairo_set_source_rgb(cr, GetRValue(desktop) / 255.0, GetGValue(desktop) / 255.0, GetBValue(desktop) / 255.0);
  cairo_paint(cr);
  cairo_set_source_surface(cr, picture.Surface(), x, y);
  cairo_paint(cr);
}

class X11Backend final : public platform::win::DisplayBackend {
 public:
  ~X11Backend() override;

  // A backend on a fresh connection; nullptr when the server does not answer.
  static std::unique_ptr<X11Backend> Connect(const std::string& name);
  void StartEvents();

  void WindowChanged(HWND window) override;
  void WindowGone(HWND window) override;
  void Pump() override;
  void Bell() override {
    xcb_bell(connection_, 0);
    xcb_flush(connection_);
  }

  xcb_window_t WindowOf(HWND window);
  std::shared_ptr<Bitmap> ClientPicture(HWND window);
  void WaitForServer() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }
  platform::display::X11Tray& Tray() { return *tray_; }
  platform::display::X11Clipboard& Clipboard() { return *clipboard_; }

 private:
  X11Backend(xcb_connection_t* connection, xcb_screen_t* screen);

  void InternAtoms();
  bool CompositorRunning();
  void SetUpKeyboard();
  void LoadKeymap();

  // Window work, on the window's thread.
  void Sync(HWND root);
  XWindow* Create(HWND root);
  void Destroy(XWindow& x);
  void PlaceAndName(HWND root, XWindow& x);
  void SetHints(HWND root, XWindow& x, const Hints& hints, const RECT& rect);
  void AskState(const XWindow& x, const std::vector<xcb_atom_t>& state);
  void ShowOrHide(XWindow& x, bool visible);
  void GrabForMenus();
  void Paint(HWND root, XWindow& x);

  // Event work, on the event thread.
  void ReadEvents();
  bool HandleEvent(const xcb_generic_event_t* event);
  HWND WindowFor(xcb_window_t id);
  void Hand(HWND window, std::function<void()> task);
  void MarkDirty(HWND root);
  void Configured(const xcb_configure_notify_event_t* event);
  void Key(const xcb_key_press_event_t* event, bool press);
  void Mouse(InputEvent::Kind kind, int key, int wheel, int x, int y);

  void Property(xcb_window_t window, Atom name, xcb_atom_t type, int format, std::uint32_t count,
                const void* data);

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  xcb_visualtype_t* visual_ = nullptr;
  xcb_visualtype_t* argbVisual_ = nullptr;  // depth 32, when the server has one
  xcb_colormap_t argbColormap_ = 0;
  std::array<xcb_atom_t, kAtomCount> atoms_{};
  xcb_window_t helper_ = 0;  // receives the event thread's stop
  std::unique_ptr<platform::display::X11Tray> tray_;
  std::unique_ptr<platform::display::X11Clipboard> clipboard_;
  // Cairo's state for the connection, finished before the connection goes: cairo finds
  // it by the connection's address, which a later connection may have again.
  cairo_device_t* cairoDevice_ = nullptr;
  std::thread events_;

  std::uint8_t xkbEvent_ = 0;
  std::int32_t keyboard_ = -1;
  xkb_context* xkbContext_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* keyState_ = nullptr;
  std::unordered_map<std::uint8_t, int> pressed_;  // keycode -> virtual key sent down

  std::mutex lock_;
  std::unordered_map<HWND, XWindow> windows_;
  std::unordered_map<xcb_window_t, HWND> byId_;
  std::set<HWND> dirty_;
  std::unordered_map<DWORD, std::vector<std::function<void()>>> tasks_;
};

X11Backend::X11Backend(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen) {
  for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem && !visual_; xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id == screen_->root_visual) {
        visual_ = visuals.data;
        break;
      }
    }
  }
  for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem && !argbVisual_; xcb_depth_next(&depths)) {
    if (depths.data->depth != 32) continue;
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
      if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
        argbVisual_ = visuals.data;
        break;
      }
    }
  }
  if (argbVisual_ != nullptr) {
    argbColormap_ = xcb_generate_id(connection_);
    xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_NONE, argbColormap_, screen_->root, argbVisual_->visual_id);
  }
  cairo_surface_t* probe = cairo_xcb_surface_create(connection_, screen_->root, visual_, 1, 1);
  cairoDevice_ = cairo_device_reference(cairo_surface_get_device(probe));
  cairo_surface_destroy(probe);
  InternAtoms();
  SetUpKeyboard();
  tray_ = std::make_unique<platform::display::X11Tray>(connection_, screen_, visual_);
  clipboard_ = std::make_unique<platform::display::X11Clipboard>(connection_, screen_);
  helper_ = xcb_generate_id(connection_);
  xcb_create_window(connection_, 0, helper_, screen_->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_flush(connection_);
}

X11Backend::~X11Backend() {
  if (events_.joinable()) {
    xcb_client_message_event_t stop{};
    stop.response_type = XCB_CLIENT_MESSAGE;
    stop.format = 32;
    stop.window = helper_;
    stop.type = atoms_[kStop];
    xcb_send_event(connection_, 0, helper_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&stop));
    xcb_flush(connection_);
    events_.join();
  }
  tray_.reset();
  clipboard_.reset();
  for (auto& [handle, x] : windows_) Destroy(x);
  xkb_state_unref(keyState_);
  xkb_keymap_unref(keymap_);
  xkb_context_unref(xkbContext_);
  if (argbColormap_ != 0) xcb_free_colormap(connection_, argbColormap_);
  cairo_device_finish(cairoDevice_);
  cairo_device_destroy(cairoDevice_);
  xcb_disconnect(connection_);
}

std::unique_ptr<X11Backend> X11Backend::Connect(const std::string& name) {
  xcb_connection_t* connection = xcb_connect(name.empty() ? nullptr : name.c_str(), nullptr);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    return nullptr;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  return std::unique_ptr<X11Backend>(new X11Backend(connection, screen));
}

void X11Backend::StartEvents() {
  events_ = std::thread([this] { ReadEvents(); });
}

void X11Backend::InternAtoms() {
  std::array<xcb_intern_atom_cookie_t, kAtomCount> cookies;
  for (int i = 0; i < kAtomCount; ++i) {
    cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
  }
  for (int i = 0; i < kAtomCount; ++i) {
    if (auto* reply = xcb_intern_atom_reply(connection_, cookies[i], nullptr)) {
      atoms_[i] = reply->atom;
      std::free(reply);
    }
  }
}

bool X11Backend::CompositorRunning() {
  auto* reply = xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, atoms_[kCompositor]),
                                              nullptr);
  bool running = reply != nullptr && reply->owner != XCB_NONE;
  std::free(reply);
  return running;
}

void X11Backend::SetUpKeyboard() {
  xkbContext_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                   XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbEvent_, nullptr)) {
    return;
  }
  keyboard_ = xkb_x11_get_core_keyboard_device_id(connection_);
  // A new layout, or keys given other symbols, reach the keymap at once.
  constexpr std::uint16_t kMapChanges = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
  xcb_xkb_select_events(connection_, static_cast<xcb_xkb_device_spec_t>(keyboard_), kMapChanges, 0, kMapChanges,
                        0xFF, 0xFF, nullptr);
  LoadKeymap();
}

void X11Backend::LoadKeymap() {
  if (keyboard_ < 0) return;
  xkb_keymap* keymap = xkb_x11_keymap_new_from_device(xkbContext_, connection_, keyboard_, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) return;
  xkb_state_unref(keyState_);
  xkb_keymap_unref(keymap_);
  keymap_ = keymap;
  keyState_ = xkb_x11_state_new_from_device(keymap_, connection_, keyboard_);
}

// --- window work ------------------------------------------------------------------

void X11Backend::WindowChanged(HWND window) {
  HWND root = GetAncestor(window, GA_ROOT);
  if (root != 0) MarkDirty(root);
}

void X11Backend::MarkDirty(HWND root) {
  {
    std::lock_guard guard(lock_);
    dirty_.insert(root);
  }
  platform::win::detail::WakeThread(platform::win::detail::WindowThread(root));
}

void X11Backend::WindowGone(HWND window) {
  XWindow gone;
  {
    std::lock_guard guard(lock_);
    dirty_.erase(window);
    auto found = windows_.find(window);
    if (found == windows_.end()) {
      // A child went: the pictures of this thread's windows may show it still.
      DWORD me = platform::win::ThisThreadId();
      for (auto& [handle, x] : windows_) {
        if (x.thread == me) dirty_.insert(handle);
      }
      return;
    }
    gone = found->second;
    byId_.erase(gone.id);
    windows_.erase(found);
  }
  Destroy(gone);
  if (gone.menu) GrabForMenus();
  xcb_flush(connection_);
}

void X11Backend::Destroy(XWindow& x) {
  if (x.surface) cairo_surface_destroy(x.surface);
  x.surface = nullptr;
  xcb_destroy_window(connection_, x.id);
}

void X11Backend::Pump() {
  DWORD me = platform::win::ThisThreadId();
  std::vector<std::function<void()>> tasks;
  std::vector<HWND> dirty;
  {
    std::lock_guard guard(lock_);
    if (auto found = tasks_.find(me); found != tasks_.end()) {
      tasks.swap(found->second);
      tasks_.erase(found);
    }
    for (auto it = dirty_.begin(); it != dirty_.end();) {
      if (platform::win::detail::WindowThread(*it) == me) {
        dirty.push_back(*it);
        it = dirty_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& task : tasks) task();
  for (HWND root : dirty) Sync(root);
  if (!tasks.empty() || !dirty.empty()) xcb_flush(connection_);
}

void X11Backend::Sync(HWND root) {
  bool visible = IsWindowVisible(root) != FALSE;
  XWindow* x = nullptr;
  {
    std::lock_guard guard(lock_);
    if (auto found = windows_.find(root); found != windows_.end()) x = &found->second;
  }
  if (x == nullptr) {
    auto top = platform::win::detail::TopLevelWindows();
    if (!visible || std::find(top.begin(), top.end(), root) == top.end() || platform::win::KeptOffDisplay(root)) return;
    x = Create(root);
  }
  PlaceAndName(root, *x);
  ShowOrHide(*x, visible);
  if (visible) Paint(root, *x);
}

XWindow* X11Backend::Create(HWND root) {
  XWindow x;
  x.id = xcb_generate_id(connection_);
  x.thread = platform::win::detail::WindowThread(root);
  GetWindowRect(root, &x.rect);
  auto style = static_cast<DWORD>(GetWindowLongW(root, GWL_STYLE));
  auto exStyle = static_cast<DWORD>(GetWindowLongW(root, GWL_EXSTYLE));
  x.overrideRedirect = OverrideRedirect(style, exStyle);
  // A layered window keeps its translucency where a compositor blends windows;
  // elsewhere it is flattened over the desktop colour.
  x.argb = (exStyle & WS_EX_LAYERED) && argbVisual_ != nullptr && CompositorRunning();
  constexpr std::uint32_t kEvents =
      XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_KEY_PRESS |
      XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
      XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_FOCUS_CHANGE;
  int width = std::max<int>(x.rect.right - x.rect.left, 1), height = std::max<int>(x.rect.bottom - x.rect.top, 1);
  xcb_visualtype_t* visual = x.argb ? argbVisual_ : visual_;
  std::vector<std::uint32_t> values;
  std::uint32_t mask = XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
  if (x.argb) {
    // Another depth than the root's needs its own colormap and border.
    mask |= XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP;
    values = {0, 0, x.overrideRedirect ? 1u : 0u, kEvents, argbColormap_};
  } else {
    values = {x.overrideRedirect ? 1u : 0u, kEvents};
  }
  xcb_create_window(connection_, x.argb ? 32 : XCB_COPY_FROM_PARENT, x.id, screen_->root,
                    static_cast<std::int16_t>(x.rect.left), static_cast<std::int16_t>(x.rect.top),
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, visual->visual_id, mask, values.data());
  x.surface = cairo_xcb_surface_create(connection_, x.id, visual, width, height);

  char16_t className[256] = {};
  GetClassNameW(root, className, 256);
  x.menu = std::u16string_view(className) == u"#32768";
  std::string wmClass = "pellix";
  wmClass += '\0';
  wmClass += platform::WideToUtf8(className);
  wmClass += '\0';
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, x.id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                      static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
  xcb_atom_t protocols[] = {atoms_[kWmDeleteWindow]};
  Property(x.id, kWmProtocols, XCB_ATOM_ATOM, 32, 1, protocols);
  auto pid = static_cast<std::uint32_t>(getpid());
  Property(x.id, kNetWmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);

  std::lock_guard guard(lock_);
  byId_[x.id] = root;
  return &windows_.emplace(root, x).first->second;
}

void X11Backend::Property(xcb_window_t window, Atom name, xcb_atom_t type, int format, std::uint32_t count,
                          const void* data) {
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atoms_[name], type, static_cast<std::uint8_t>(format),
                      count, data);
}

void X11Backend::PlaceAndName(HWND root, XWindow& x) {
  RECT rect;
  GetWindowRect(root, &rect);
  bool move;
  {
    std::lock_guard guard(lock_);
    move = !SameRect(rect, x.rect);
    x.rect = rect;
    if (move) {
      // A window manager may place it elsewhere: only a few asks are remembered.
      constexpr std::size_t kRemembered = 8;
      x.asked.push_back(rect);
      if (x.asked.size() > kRemembered) x.asked.pop_front();
    }
  }
  int width = std::max<int>(rect.right - rect.left, 1), height = std::max<int>(rect.bottom - rect.top, 1);
  if (move) {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(rect.left), static_cast<std::uint32_t>(rect.top),
                                    static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    xcb_configure_window(connection_, x.id,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    cairo_xcb_surface_set_size(x.surface, width, height);
  }
  Hints hints{static_cast<DWORD>(GetWindowLongW(root, GWL_STYLE)), static_cast<DWORD>(GetWindowLongW(root, GWL_EXSTYLE)),
              WindowOf(GetWindow(root, GW_OWNER))};
  if (!(hints == x.hints) || move) SetHints(root, x, hints, rect);
  int length = GetWindowTextLengthW(root);
  std::u16string title(static_cast<std::size_t>(length) + 1, u'\0');
  title.resize(static_cast<std::size_t>(GetWindowTextW(root, title.data(), length + 1)));
  if (title != x.title) {
    x.title = title;
    std::string utf8 = platform::WideToUtf8(title);
    Property(x.id, kNetWmName, atoms_[kUtf8String], 8, static_cast<std::uint32_t>(utf8.size()), utf8.data());
    std::string latin = platform::WideToAnsi(title);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, x.id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(latin.size()), latin.data());
  }
}

void X11Backend::SetHints(HWND root, XWindow& x, const Hints& hints, const RECT& rect) {
  x.hints = hints;
  auto width = static_cast<std::uint32_t>(std::max<int>(rect.right - rect.left, 1));
  auto height = static_cast<std::uint32_t>(std::max<int>(rect.bottom - rect.top, 1));
  // The position is the program's, kept by the client window itself (static gravity);
  // a window without a sizing frame keeps its size.
  constexpr std::uint32_t kUserPosition = 1, kUserSize = 2, kMinSize = 16, kMaxSize = 32, kGravity = 512;
  constexpr std::uint32_t kStaticGravity = 10;
  bool fixed = !(hints.style & WS_THICKFRAME);
  std::array<std::uint32_t, 18> normal{};
  normal[0] = kUserPosition | kUserSize | kGravity | (fixed ? kMinSize | kMaxSize : 0);
  normal[1] = static_cast<std::uint32_t>(rect.left);
  normal[2] = static_cast<std::uint32_t>(rect.top);
  normal[3] = width;
  normal[4] = height;
  normal[5] = normal[7] = width;
  normal[6] = normal[8] = height;
  normal[17] = kStaticGravity;
  Property(x.id, kWmNormalHints, XCB_ATOM_WM_SIZE_HINTS, 32, normal.size(), normal.data());
  if (hints.transientFor != 0) {
    Property(x.id, kWmTransientFor, XCB_ATOM_WINDOW, 32, 1, &hints.transientFor);
  } else {
    xcb_delete_property(connection_, x.id, atoms_[kWmTransientFor]);
  }
  xcb_atom_t type = atoms_[kTypeNormal];
  if (x.menu) {
    type = atoms_[kTypePopupMenu];
  } else if (x.overrideRedirect) {
    type = atoms_[kTypeTooltip];
  } else if (hints.exStyle & WS_EX_TOOLWINDOW) {
    type = atoms_[kTypeUtility];
  } else if (hints.transientFor != 0) {
    type = atoms_[kTypeDialog];
  }
  Property(x.id, kNetWmWindowType, XCB_ATOM_ATOM, 32, 1, &type);
  std::vector<xcb_atom_t> state;
  if (hints.exStyle & WS_EX_TOPMOST) state.push_back(atoms_[kStateAbove]);
  if (SkipsTaskbar(hints, GetWindow(root, GW_OWNER))) {
    state.push_back(atoms_[kStateSkipTaskbar]);
    state.push_back(atoms_[kStateSkipPager]);
  }
  AskState(x, state);
  x.state = state;
  // Flags (decorations given), functions, decorations (1: all), input mode, status.
  bool framed = (hints.style & WS_CAPTION) == WS_CAPTION;
  std::array<std::uint32_t, 5> motif{2, 0, framed ? 1u : 0u, 0, 0};
  Property(x.id, kMotifWmHints, atoms_[kMotifWmHints], 32, motif.size(), motif.data());
}

// Before the window is mapped its property says it; afterwards the window manager
// owns the property and is asked for each change.
void X11Backend::AskState(const XWindow& x, const std::vector<xcb_atom_t>& state) {
  bool mapped;
  {
    std::lock_guard guard(lock_);
    mapped = x.mapped;
  }
  if (!mapped || x.overrideRedirect) {
    Property(x.id, kNetWmState, XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(state.size()), state.data());
    return;
  }
  constexpr std::uint32_t kRemove = 0, kAdd = 1, kFromApplication = 1;
  auto ask = [&](xcb_atom_t atom, std::uint32_t action) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = x.id;
    message.type = atoms_[kNetWmState];
    message.data.data32[0] = action;
    message.data.data32[1] = atom;
    message.data.data32[3] = kFromApplication;
    xcb_send_event(connection_, 0, screen_->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
  };
  auto has = [](const std::vector<xcb_atom_t>& atoms, xcb_atom_t atom) {
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
  };
  for (xcb_atom_t atom : x.state)
    if (!has(state, atom)) ask(atom, kRemove);
  for (xcb_atom_t atom : state)
    if (!has(x.state, atom)) ask(atom, kAdd);
}

void X11Backend::ShowOrHide(XWindow& x, bool visible) {
  {
    std::lock_guard guard(lock_);
    if (x.mapped == visible) return;
    x.mapped = visible;
  }
  if (!visible) {
    xcb_unmap_window(connection_, x.id);
  } else {
    xcb_map_window(connection_, x.id);
    if (x.overrideRedirect) {
      const std::uint32_t above[] = {XCB_STACK_MODE_ABOVE};
      xcb_configure_window(connection_, x.id, XCB_CONFIG_WINDOW_STACK_MODE, above);
    }
  }
  if (x.menu) GrabForMenus();
}

// While a popup menu is shown, the mouse and keyboard anywhere on the screen come to
// the program (a click elsewhere closes the menu, keys work it), as the newest menu
// window's grab; the server ends a grab by itself when its window goes.
void X11Backend::GrabForMenus() {
  xcb_window_t newest = 0;
  {
    std::lock_guard guard(lock_);
    for (const auto& [handle, x] : windows_) {
      if (x.menu && x.mapped) newest = std::max(newest, x.id);
    }
  }
  if (newest == 0) return;
  constexpr std::uint16_t kPointer = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                     XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW;
  // The answers are not needed: a menu that cannot grab still works in the program's
  // own windows.
  xcb_discard_reply(connection_, xcb_grab_pointer(connection_, 1, newest, kPointer, XCB_GRAB_MODE_ASYNC,
                                                  XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME)
                                     .sequence);
  xcb_discard_reply(connection_, xcb_grab_keyboard(connection_, 1, newest, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC)
                                     .sequence);
}

void X11Backend::Paint(HWND root, XWindow& x) {
  auto picture = platform::gdi::WholeWindowPicture(root);
  if (!picture) return;
  cairo_t* cr = cairo_create(x.surface);
  if (x.argb) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, picture->Surface(), 0, 0);
    cairo_paint(cr);
  } else {
    FlattenedOver(cr, *picture, 0, 0);
  }
  cairo_destroy(cr);
  cairo_surface_flush(x.surface);
}

xcb_window_t X11Backend::WindowOf(HWND window) {
  std::lock_guard guard(lock_);
  auto found = windows_.find(window);
  return found == windows_.end() ? 0 : found->second.id;
}

std::shared_ptr<Bitmap> X11Backend::ClientPicture(HWND window) {
  xcb_window_t id = WindowOf(window);
  bool argb;
  {
    std::lock_guard guard(lock_);
    auto found = windows_.find(window);
    argb = found != windows_.end() && found->second.argb;
  }
  RECT client, rect;
  if (id == 0 || !GetClientRect(window, &client) || !GetWindowRect(window, &rect)) return nullptr;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  xcb_flush(connection_);
  auto* reply = xcb_get_image_reply(
      connection_,
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, id, static_cast<std::int16_t>(origin.x - rect.left),
                    static_cast<std::int16_t>(origin.y - rect.top), static_cast<std::uint16_t>(client.right),
                    static_cast<std::uint16_t>(client.bottom), ~0u),
      nullptr);
  if (reply == nullptr) return nullptr;
  auto picture = platform::gdi::NewBitmap(client.right, client.bottom);
  const std::uint8_t* data = xcb_get_image_data(reply);
  // 32-bit pixels: blue, green, red, then premultiplied alpha at depth 32, unused (the
  // picture is opaque) at depth 24.
  std::size_t stride = static_cast<std::size_t>(xcb_get_image_data_length(reply)) / std::max<LONG>(client.bottom, 1);
  for (int y = 0; y < client.bottom; ++y) {
    std::uint8_t* row = picture->Row(y);
    for (int i = 0; i < client.right; ++i) {
      std::memcpy(row + i * 4, data + y * stride + i * 4, 4);
      if (!argb) row[i * 4 + 3] = 0xFF;
    }
  }
  picture->Surface();
  std::free(reply);
  return picture;
}

// --- event work ---------------------------------------------------------------------

void X11Backend::ReadEvents() {
  while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
    bool stop = HandleEvent(event);
    std::free(event);
    if (stop) return;
  }
}

HWND X11Backend::WindowFor(xcb_window_t id) {
  std::lock_guard guard(lock_);
  auto found = byId_.find(id);
  return found == byId_.end() ? 0 : found->second;
}

void X11Backend::Hand(HWND window, std::function<void()> task) {
  DWORD thread = platform::win::detail::WindowThread(window);
  if (thread == 0) return;
  {
    std::lock_guard guard(lock_);
    tasks_[thread].push_back(std::move(task));
  }
  platform::win::detail::WakeThread(thread);
}

bool X11Backend::HandleEvent(const xcb_generic_event_t* event) {
  std::uint8_t type = event->response_type & 0x7F;
  if (xkbEvent_ != 0 && type == xkbEvent_) {
    // Every XKB event carries its kind in the second byte.
    auto kind = reinterpret_cast<const xcb_xkb_map_notify_event_t*>(event)->xkbType;
    if (kind == XCB_XKB_NEW_KEYBOARD_NOTIFY || kind == XCB_XKB_MAP_NOTIFY) LoadKeymap();
    return false;
  }
  if (tray_->Handle(event) || clipboard_->Handle(event)) return false;
  switch (type) {
    case XCB_EXPOSE: {
      auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
      if (HWND window = WindowFor(expose->window); window != 0 && expose->count == 0) MarkDirty(window);
      break;
    }
    case XCB_CONFIGURE_NOTIFY:
      Configured(reinterpret_cast<const xcb_configure_notify_event_t*>(event));
      break;
    case XCB_CLIENT_MESSAGE: {
      auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
      if (message->window == helper_ && message->type == atoms_[kStop]) return true;
      HWND window = WindowFor(message->window);
      if (window != 0 && message->type == atoms_[kWmProtocols] && message->data.data32[0] == atoms_[kWmDeleteWindow]) {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      break;
    }
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT: {
      auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
      HWND window = WindowFor(focus->event);
      if (window == 0 || focus->detail == XCB_NOTIFY_DETAIL_INFERIOR || focus->detail == XCB_NOTIFY_DETAIL_POINTER ||
          focus->mode == XCB_NOTIFY_MODE_GRAB || focus->mode == XCB_NOTIFY_MODE_UNGRAB) {
        break;
      }
      if (type == XCB_FOCUS_IN) {
        Hand(window, [window] { SetActiveWindow(window); });
      } else {
        Hand(window, [window] {
          if (GetActiveWindow() == window) SetActiveWindow(0);
        });
      }
      break;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
      Key(reinterpret_cast<const xcb_key_press_event_t*>(event), type == XCB_KEY_PRESS);
      break;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      auto* button = reinterpret_cast<const xcb_button_press_event_t*>(event);
      bool press = type == XCB_BUTTON_PRESS;
      constexpr int kButtons[] = {0, VK_LBUTTON, VK_MBUTTON, VK_RBUTTON};
      if (button->detail >= 1 && button->detail <= 3) {
        Mouse(press ? InputEvent::kButtonDown : InputEvent::kButtonUp, kButtons[button->detail], 0, button->root_x,
              button->root_y);
      } else if (press && (button->detail == 4 || button->detail == 5)) {
        Mouse(InputEvent::kWheel, 0, button->detail == 4 ? WHEEL_DELTA : -WHEEL_DELTA, button->root_x, button->root_y);
      }
      break;
    }
    case XCB_MOTION_NOTIFY: {
      auto* motion = reinterpret_cast<const xcb_motion_notify_event_t*>(event);
      Mouse(InputEvent::kMove, 0, 0, motion->root_x, motion->root_y);
      break;
    }
    case XCB_ENTER_NOTIFY: {
      auto* enter = reinterpret_cast<const xcb_enter_notify_event_t*>(event);
      Mouse(InputEvent::kMove, 0, 0, enter->root_x, enter->root_y);
      break;
    }
    default: break;
  }
  return false;
}

void X11Backend::Configured(const xcb_configure_notify_event_t* event) {
  HWND window = WindowFor(event->window);
  if (window == 0) return;
  // A window manager's frame is the parent: ask where the window is on the screen.
  auto* where = xcb_translate_coordinates_reply(
      connection_, xcb_translate_coordinates(connection_, event->window, screen_->root, 0, 0), nullptr);
  if (where == nullptr) return;
  RECT rect{where->dst_x, where->dst_y, where->dst_x + event->width, where->dst_y + event->height};
  std::free(where);
  {
    std::lock_guard guard(lock_);
    auto found = windows_.find(window);
    if (found == windows_.end()) return;
    // The answer to an ask of the program's own: the program is there already, or
    // further on.
    auto& asked = found->second.asked;
    auto mine = std::find_if(asked.begin(), asked.end(), [&](const RECT& place) { return SameRect(place, rect); });
    if (mine != asked.end()) {
      asked.erase(asked.begin(), mine + 1);
      return;
    }
  }
  // The window manager or the user put it there: the window follows, on its thread, so
  // that a repaint there in between does not send it back.
  Hand(window, [this, window, rect] {
    {
      std::lock_guard guard(lock_);
      auto found = windows_.find(window);
      if (found == windows_.end()) return;
      found->second.rect = rect;
    }
    MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
  });
}

void X11Backend::Key(const xcb_key_press_event_t* event, bool press) {
  if (!press) {
    auto found = pressed_.find(event->detail);
    if (found == pressed_.end()) return;
    InputEvent up;
    up.kind = InputEvent::kKeyUp;
    up.key = found->second;
    pressed_.erase(found);
    platform::win::detail::InjectInput(up);
    return;
  }
  if (keyState_ == nullptr) return;
  // The modifiers and group the server reports with the key decide its symbol.
  constexpr std::uint16_t kShift = 1;
  xkb_state_update_mask(keyState_, event->state & 0xFF, 0, 0, 0, 0, (event->state >> 13) & 3);
  xkb_keysym_t symbol = xkb_state_key_get_one_sym(keyState_, event->detail);
  auto stroke = platform::display::KeyFromSymbol(symbol, (event->state & kShift) != 0);
  if (stroke.virtualKey == 0) return;
  if (stroke.virtualKey != VK_PACKET) {
    pressed_[event->detail] = stroke.virtualKey;
    InputEvent down;
    down.kind = InputEvent::kKeyDown;
    down.key = stroke.virtualKey;
    platform::win::detail::InjectInput(down);
    return;
  }
  for (char16_t character : stroke.packets) {
    for (auto kind : {InputEvent::kKeyDown, InputEvent::kKeyUp}) {
      InputEvent packet;
      packet.kind = kind;
      packet.key = VK_PACKET;
      packet.packet = character;
      platform::win::detail::InjectInput(packet);
    }
  }
}

void X11Backend::Mouse(InputEvent::Kind kind, int key, int wheel, int x, int y) {
  InputEvent event;
  event.kind = kind;
  event.key = key;
  event.wheel = wheel;
  event.point = POINT{x, y};
  platform::win::detail::InjectInput(event);
}

std::mutex gRunningLock;
std::unique_ptr<X11Backend> gRunning;

}  // namespace

bool platform::display::StartX11(const std::string& displayName) {
  std::lock_guard guard(gRunningLock);
  if (gRunning) return false;
  auto backend = X11Backend::Connect(displayName);
  if (!backend) return false;
  backend->StartEvents();
  gRunning = std::move(backend);
  platform::win::SetDisplayBackend(gRunning.get());
  platform::notify_icon::SetHost(&gRunning->Tray());
  platform::win::SetDesktopClipboard(&gRunning->Clipboard());
  for (const auto& icon : platform::notify_icon::Shown()) gRunning->Tray().Show(icon);
  // Windows shown before the start reach the display at their threads' next look.
  for (HWND window : platform::win::detail::TopLevelWindows()) gRunning->WindowChanged(window);
  return true;
}

void platform::display::StopX11() {
  std::lock_guard guard(gRunningLock);
  if (!gRunning) return;
  platform::win::SetDisplayBackend(nullptr);
  platform::notify_icon::SetHost(nullptr);
  platform::win::SetDesktopClipboard(nullptr);
  gRunning.reset();
}

bool platform::display::X11Running() {
  std::lock_guard guard(gRunningLock);
  return gRunning != nullptr;
}

bool platform::display::ChooseDisplay() {
  const char* named = std::getenv("DISPLAY");
  bool x11 = named != nullptr && *named != '\0' && StartX11();
  std::string line = x11 ? std::string("Display: X11 on ") + named : std::string("Display: headless (no X display answers)");
  OutputDebugStringA(line.c_str());
  return x11;
}

std::uint32_t platform::display::X11WindowOf(HWND window) {
  std::lock_guard guard(gRunningLock);
  return gRunning ? gRunning->WindowOf(window) : 0;
}

std::shared_ptr<Bitmap> platform::display::X11ClientPicture(HWND window) {
  std::lock_guard guard(gRunningLock);
  return gRunning ? gRunning->ClientPicture(window) : nullptr;
}

void platform::display::X11WaitForServer() {
  std::lock_guard guard(gRunningLock);
  if (gRunning) gRunning->WaitForServer();
}

std::uint32_t platform::display::X11TrayIconWindow(HWND window, UINT id) {
  std::lock_guard guard(gRunningLock);
  return gRunning ? gRunning->Tray().WindowOf(window, id) : 0;
}
