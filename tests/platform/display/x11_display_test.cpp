#include "platform/display/x11_display.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>
#include <unistd.h>
#include <memory>
#include <mutex>
#include <vector>

#include "picture_compare.h"
#include "platform/base/text.h"
#include "platform/display/x11_atom.h"
#include "platform/display/xserver.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/icons.h"
#include "platform/kernel/debug_output.h"
#include "platform/shell/notify_icon.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input.h"
#include "platform/win/clipboard.h"
#include "platform/win/display.h"
#include "platform/win/atoms.h"
#include "platform/win/input_driver.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

using pellix_test::Eventually;
using pellix_test::XServer;
using pellix_test::XUser;

// The X server keeps 8 bits per colour channel and no alpha, as the pictures do once
// flattened over the desktop: an opaque window's picture comes back exactly; one step
// per channel allows for the rounding of partly transparent pixels.
constexpr int kPictureTolerance = 1;

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

std::mutex g_lock;
std::vector<Seen> g_seen;

constexpr UINT kTrayCallback = WM_APP + 7;

bool Logged(UINT message) {
  return message == kTrayCallback || message == WM_LBUTTONDOWN || message == WM_RBUTTONUP || message == WM_CHAR || message == WM_KEYDOWN ||
         message == WM_SIZE || message == WM_MOVE || message == WM_ACTIVATE || message == WM_CLOSE;
}

LRESULT TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Logged(message)) {
    std::lock_guard guard(g_lock);
    g_seen.push_back({message, wParam, lParam});
  }
  if (message == WM_CLOSE) return 0;  // the test destroys its windows itself
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255)), red = CreateSolidBrush(RGB(200, 30, 40));
    FillRect(dc, &client, white);
    RECT band{10, 10, client.right - 10, 40};
    FillRect(dc, &band, red);
    RECT text{10, 50, client.right - 10, client.bottom - 10};
    DrawTextW(dc, u"Pellix – Passwörter", -1, &text, DT_LEFT | DT_TOP);
    DeleteObject(white);
    DeleteObject(red);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<Seen> SeenOf(UINT message) {
  std::lock_guard guard(g_lock);
  std::vector<Seen> result;
  for (const auto& seen : g_seen) {
    if (seen.message == message) result.push_back(seen);
  }
  return result;
}

std::u16string Typed() {
  std::u16string text;
  for (const auto& seen : SeenOf(WM_CHAR)) text += static_cast<char16_t>(seen.wParam);
  return text;
}

class X11Display : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XServer::Installed()) {
      GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb): the X11 display is not tested";
    }
    server_ = std::make_unique<XServer>();
    ASSERT_TRUE(server_->Running());
    ASSERT_TRUE(platform::display::StartX11(server_->Name()));
    user_ = std::make_unique<XUser>(*server_);
    static const bool registered = [] {
      WNDCLASSW cls{};
      cls.lpfnWndProc = TestWindowProc;
      cls.lpszClassName = u"PellixDisplayTest";
      return RegisterClassW(&cls) != 0;
    }();
    ASSERT_TRUE(registered);
    std::lock_guard guard(g_lock);
    g_seen.clear();
  }

  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
    platform::input_driver::RunPending();
    platform::display::StopX11();
    user_.reset();
    server_.reset();
  }

  HWND Show(DWORD style, DWORD exStyle, RECT rect, HWND owner = 0, const char16_t* title = u"Pellix") {
    HWND window = CreateWindowExW(exStyle, u"PellixDisplayTest", title, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, owner, 0, 0, nullptr);
    windows_.push_back(window);
    ShowWindow(window, SW_SHOW);
    // The X window is known as soon as it is made; its name and hints go to the server
    // before it is mapped, so a window the server shows has them all.
    EXPECT_TRUE(Eventually([&] {
      const xcb_window_t id = platform::display::X11WindowOf(window);
      return id != 0 && user_->Viewable(id);
    }));
    return window;
  }

  xcb_window_t XOf(HWND window) { return platform::display::X11WindowOf(window); }

  RECT XGeometry(xcb_window_t id) {
    xcb_connection_t* c = user_->Connection();
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
    RECT rect{geometry->x, geometry->y, geometry->x + geometry->width, geometry->y + geometry->height};
    std::free(geometry);
    return rect;
  }

  std::unique_ptr<XServer> server_;
  std::unique_ptr<XUser> user_;
  std::vector<HWND> windows_;
};

std::shared_ptr<platform::gdi::Bitmap> Flattened(const platform::gdi::Bitmap& picture) {
  auto result = platform::gdi::NewBitmap(picture.width(), picture.height());
  cairo_t* cr = cairo_create(result->surface);
  COLORREF desktop = GetSysColor(COLOR_BACKGROUND);
  cairo_set_source_rgb(cr, GetRValue(desktop) / 255.0, GetGValue(desktop) / 255.0, GetBValue(desktop) / 255.0);
  cairo_paint(cr);
  cairo_set_source_surface(cr, picture.Surface(), 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  return result;
}

// The picture the X server holds is the headless one; a screenshot is kept where
// $PELLIX_SCREENSHOTS names a folder.
void ExpectSamePicture(HWND window, const char* screenshot) {
  std::string difference = "no picture";
  EXPECT_TRUE(Eventually([&] {
    auto shown = platform::display::X11ClientPicture(window);
    if (!shown) return false;
    difference = pellix_test::ComparePictures(*shown, *Flattened(*platform::gdi::WindowPicture(window)),
                                              kPictureTolerance);
    return difference.empty();
  })) << difference;
  if (const char* folder = std::getenv("PELLIX_SCREENSHOTS")) {
    platform::gdi::WritePng(*platform::display::X11ClientPicture(window), std::string(folder) + "/" + screenshot);
  }
}

TEST(X11DisplayChoice, AServerThatDoesNotAnswerLeavesTheScreenHeadless) {
  EXPECT_FALSE(platform::display::StartX11(":4987"));
  EXPECT_FALSE(platform::display::X11Running());
  EXPECT_EQ(platform::display::X11WindowOf(GetDesktopWindow()), 0u);
}

TEST_F(X11Display, AShownWindowHasItsHeadlessPictureOnTheServerAndFollowsRepaints) {
  HWND window = Show(WS_OVERLAPPEDWINDOW, 0, RECT{100, 80, 420, 260});
  ExpectSamePicture(window, "window.png");
  SetWindowPos(window, 0, 0, 0, 360, 200, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(Eventually([&] {
    RECT x = XGeometry(XOf(window));
    return x.left == 100 && x.top == 80 && x.right == 460 && x.bottom == 280;
  }));
  ExpectSamePicture(window, "window-resized.png");
  xcb_window_t id = XOf(window);
  ShowWindow(window, SW_HIDE);
  EXPECT_TRUE(Eventually([&] { return !user_->Viewable(id); }));
  ShowWindow(window, SW_SHOW);
  EXPECT_TRUE(Eventually([&] { return user_->Viewable(id); }));
  DestroyWindow(window);
  EXPECT_EQ(XOf(window), 0u);
  EXPECT_TRUE(Eventually([&] { return !user_->Exists(id); }));
}

struct HintCase {
  const char* name;
  DWORD style;
  DWORD exStyle;
  bool owned;
  bool overrideRedirect;
  bool skipsTaskbar;
  bool above;
  bool framed;
};

TEST_F(X11Display, WindowManagerHintsFollowStylesAndOwner) {
  const HintCase cases[] = {
      {"plain", WS_OVERLAPPEDWINDOW, 0, false, false, false, false, true},
      {"owned dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, true, false, true, false, true},
      {"owned app window", WS_POPUP | WS_CAPTION, WS_EX_APPWINDOW, true, false, false, false, true},
      {"tool window", WS_OVERLAPPED | WS_CAPTION, WS_EX_TOOLWINDOW, false, false, true, false, true},
      {"top-most", WS_OVERLAPPEDWINDOW, WS_EX_TOPMOST, false, false, false, true, true},
      {"hint popup", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, false, true, true, true, false},
      {"frameless popup", WS_POPUP, 0, false, false, false, false, false},
  };
  HWND owner = Show(WS_OVERLAPPEDWINDOW, 0, RECT{10, 10, 110, 110});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND window = Show(c.style, c.exStyle, RECT{200, 200, 300, 260}, c.owned ? owner : 0, u"Pellix – Passwörter");
    xcb_window_t id = XOf(window);
    EXPECT_EQ(user_->OverrideRedirect(id), c.overrideRedirect);
    EXPECT_EQ(user_->TextProperty(id, "_NET_WM_NAME"), "Pellix – Passwörter");
    EXPECT_EQ(user_->TextProperty(id, "WM_CLASS"), std::string("pellix\0PellixDisplayTest\0", 25));
    auto transient = user_->Property32(id, "WM_TRANSIENT_FOR");
    EXPECT_EQ(transient, c.owned ? std::vector<std::uint32_t>{XOf(owner)} : std::vector<std::uint32_t>{});
    auto state = user_->Property32(id, "_NET_WM_STATE");
    auto has = [&](const char* atom) {
      xcb_connection_t* conn = user_->Connection();
      auto* reply = xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 1, static_cast<std::uint16_t>(std::strlen(atom)), atom), nullptr);
      bool found = reply && std::find(state.begin(), state.end(), reply->atom) != state.end();
      std::free(reply);
      return found;
    };
    EXPECT_EQ(has("_NET_WM_STATE_SKIP_TASKBAR"), c.skipsTaskbar);
    EXPECT_EQ(has("_NET_WM_STATE_ABOVE"), c.above);
    auto motif = user_->Property32(id, "_MOTIF_WM_HINTS");
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_EQ(motif[2], c.framed ? 1u : 0u);
  }
}

TEST_F(X11Display, ClicksAndTypedTextFromTheServerReachTheWindow) {
  HWND window = Show(WS_OVERLAPPEDWINDOW, 0, RECT{100, 100, 400, 300});
  user_->Focus(XOf(window));
  ASSERT_TRUE(Eventually([&] { return GetActiveWindow() == window; }));
  SetFocus(window);
  user_->Click(100 + 25, 100 + 15, 1);
  ASSERT_TRUE(Eventually([&] { return !SeenOf(WM_LBUTTONDOWN).empty(); }));
  EXPECT_EQ(SeenOf(WM_LBUTTONDOWN)[0].lParam, MAKELPARAM(25, 15));
  constexpr std::uint32_t kA = 0x61, kEacute = 0xE9, kCyrillicZhe = 0x6D6, kEuro = 0x20AC, kReturn = 0xFF0D;
  user_->Type(kA);
  user_->Type(kA, true);
  user_->Type(kEacute);
  user_->Type(kCyrillicZhe);
  user_->Type(kEuro);
  user_->Type(kReturn);
  EXPECT_TRUE(Eventually([&] { return Typed().size() >= 6; }));
  EXPECT_EQ(platform::WideToUtf8(Typed()), "aAéж€\r");
  auto keys = SeenOf(WM_KEYDOWN);
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys.front().wParam, static_cast<WPARAM>('A'));
}

TEST_F(X11Display, MovesSizesFocusAndCloseFromTheDisplayBecomeMessages) {
  HWND window = Show(WS_OVERLAPPEDWINDOW, 0, RECT{100, 100, 400, 300});
  user_->Configure(XOf(window), 300, 200, 250, 150);
  EXPECT_TRUE(Eventually([&] {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.left == 300 && rect.top == 200 && rect.right == 550 && rect.bottom == 350;
  }));
  ASSERT_FALSE(SeenOf(WM_SIZE).empty());
  EXPECT_EQ(SeenOf(WM_SIZE).back().lParam, MAKELPARAM(250, 150));
  ExpectSamePicture(window, "window-sized-by-user.png");
  user_->Focus(XOf(window));
  EXPECT_TRUE(Eventually([&] { return GetActiveWindow() == window; }));
  user_->AskToClose(XOf(window));
  EXPECT_TRUE(Eventually([&] { return !SeenOf(WM_CLOSE).empty(); }));
}

HICON RedIcon() {
  auto picture = platform::gdi::NewBitmap(16, 16);
  cairo_t* cr = cairo_create(picture->surface);
  cairo_set_source_rgb(cr, 0xCC / 255.0, 0x1A / 255.0, 0x1A / 255.0);
  cairo_paint(cr);
  cairo_destroy(cr);
  ICONINFO info{TRUE, 0, 0, 0, platform::gdi::AddBitmap(picture)};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(info.hbmColor);
  return icon;
}

NOTIFYICONDATAW TrayRecord(HWND window, UINT id, HICON icon) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = window;
  data.uID = id;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayCallback;
  data.hIcon = icon;
  std::u16string tip = u"Pellix – Passwörter";
  std::copy(tip.begin(), tip.end(), data.szTip);
  return data;
}

TEST_F(X11Display, TheTrayIconDocksIntoTheTrayShowsItsPictureAndTellsItsWindowOfClicks) {
  if (access("/usr/bin/trayer", X_OK) != 0) GTEST_SKIP() << "trayer is not installed: the tray icon is not tested";
  pellix_test::XClient trayer(*server_, "/usr/bin/trayer", "--edge top --align right --widthtype request --height 24");
  ASSERT_TRUE(Eventually([&] { return user_->SelectionOwner("_NET_SYSTEM_TRAY_S0") != 0; }));
  HWND window = CreateWindowExW(0, u"PellixDisplayTest", u"", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
  windows_.push_back(window);
  HICON icon = RedIcon();
  NOTIFYICONDATAW data = TrayRecord(window, 3, icon);
  ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
  xcb_window_t id = platform::display::X11TrayIconWindow(window, 3);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(Eventually([&] { return user_->Viewable(id) && user_->ParentOf(id) != user_->Root(); }));
  EXPECT_EQ(user_->TextProperty(id, "_NET_WM_NAME"), "Pellix – Passwörter");
  // The tray lays its icons out in steps: the centre is asked again until it shows the icon.
  POINT centre{};
  EXPECT_TRUE(Eventually([&] {
    centre = user_->CentreOf(id);
    return user_->PixelAt(centre) == 0xCC1A1Au;
  })) << std::hex << user_->PixelAt(centre);
  user_->Click(centre.x, centre.y, 3);
  EXPECT_TRUE(Eventually([&] { return SeenOf(kTrayCallback).size() >= 2; }));
  auto seen = SeenOf(kTrayCallback);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].wParam, 3u);
  EXPECT_EQ(seen[0].lParam, static_cast<LPARAM>(WM_RBUTTONDOWN));
  EXPECT_EQ(seen[1].lParam, static_cast<LPARAM>(WM_RBUTTONUP));
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, centre.x);
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
  EXPECT_EQ(platform::display::X11TrayIconWindow(window, 3), 0u);
  EXPECT_TRUE(Eventually([&] { return !user_->Exists(id); }));
  DestroyIcon(icon);
}

TEST_F(X11Display, WithoutATrayTheIconsStayInTheRecordAndTheLogSaysSoOnce) {
  std::vector<std::string> lines;
  std::mutex linesLock;
  platform::SetDebugOutputSink([&](std::string_view text) {
    std::lock_guard guard(linesLock);
    lines.emplace_back(text);
  });
  HWND window = CreateWindowExW(0, u"PellixDisplayTest", u"", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
  windows_.push_back(window);
  HICON icon = RedIcon();
  for (UINT id : {1u, 2u}) {
    NOTIFYICONDATAW data = TrayRecord(window, id, icon);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_EQ(platform::display::X11TrayIconWindow(window, id), 0u);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
  }
  platform::SetDebugOutputSink({});
  EXPECT_EQ(lines, std::vector<std::string>{"Tray: the display has no system tray; the tray icon is not shown"});
  DestroyIcon(icon);
}

// Opens a popup of three items at (200, 150) for `owner`; `work` runs once the popup
// is shown on the server, with its window and the screen point in the middle of the
// second item.
UINT TrackOnServer(XUser& user, HWND owner, const std::function<void(HWND menu, POINT second)>& work) {
  HMENU popup = CreatePopupMenu();
  for (UINT id : {1u, 2u, 3u}) AppendMenuW(popup, MF_STRING, id, id == 2 ? u"Zwei – größer" : u"Eins");
  platform::menu_driver::Call([&] {
    HWND menu = FindWindowW(u"#32768", nullptr);
    ASSERT_TRUE(Eventually([&] {
      xcb_window_t id = platform::display::X11WindowOf(menu);
      return id != 0 && user.Viewable(id);
    }));
    // The menu's pointer and keyboard grabs follow its mapping: once the server has
    // carried out all the program asked, keys typed now reach the menu.
    platform::display::X11WaitForServer();
    RECT item{};
    ASSERT_TRUE(GetMenuItemRect(menu, popup, 1, &item));
    work(menu, POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  });
  auto chosen = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD, 200, 150, 0, owner, nullptr));
  DestroyMenu(popup);
  return chosen;
}

TEST_F(X11Display, APopupMenuIsShownAboveEverythingAndWorkedWithTheMouseAndKeys) {
  HWND owner = Show(WS_OVERLAPPEDWINDOW, 0, RECT{100, 100, 400, 300});
  UINT chosen = TrackOnServer(*user_, owner, [&](HWND menu, POINT second) {
    EXPECT_TRUE(user_->OverrideRedirect(XOf(menu)));
    ExpectSamePicture(menu, "popup-menu.png");
    user_->Click(second.x, second.y, 1);
  });
  EXPECT_EQ(chosen, 2u);
  EXPECT_EQ(FindWindowW(u"#32768", nullptr), 0);
  constexpr std::uint32_t kDown = 0xFF54, kReturn = 0xFF0D;
  // The pointer away from the menu, which it would otherwise point into.
  user_->MoveTo(1000, 900);
  EXPECT_EQ(TrackOnServer(*user_, owner, [&](HWND, POINT) {
              for (std::uint32_t key : {kDown, kDown, kDown, kReturn}) user_->Type(key);
            }),
            3u);
  // A click outside the program's windows reaches the menu, through its grab, and closes it.
  EXPECT_EQ(TrackOnServer(*user_, owner, [&](HWND, POINT) { user_->Click(1000, 900, 1); }), 0u);
}


// What clients ask of the window manager for a window's state, as a client watching
// the root window sees it: (action, state) pairs, action 1 to add and 0 to remove.
class StateRequests {
 public:
  explicit StateRequests(const XServer& server) : connection_(xcb_connect(server.Name().c_str(), nullptr)) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_change_window_attributes(connection_, screen->root, XCB_CW_EVENT_MASK, events);
    type_ = platform::display::InternAtom(connection_, "_NET_WM_STATE");
  }
  ~StateRequests() { xcb_disconnect(connection_); }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Of(xcb_window_t window) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
      if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE && message->type == type_) {
        seen_.push_back({message->window, {message->data.data32[0], message->data.data32[1]}});
      }
      std::free(event);
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> result;
    for (const auto& [id, request] : seen_)
      if (id == window) result.push_back(request);
    return result;
  }

 private:
  xcb_connection_t* connection_;
  xcb_atom_t type_ = 0;
  std::vector<std::pair<xcb_window_t, std::pair<std::uint32_t, std::uint32_t>>> seen_;
};

TEST_F(X11Display, TopMostAndTaskbarChangesAfterShowAreAskedOfTheWindowManager) {
  StateRequests requests(*server_);
  HWND window = Show(WS_OVERLAPPEDWINDOW, 0, RECT{100, 100, 400, 300});
  const std::uint32_t above = platform::display::InternAtom(user_->Connection(), "_NET_WM_STATE_ABOVE");
  const std::uint32_t skip = platform::display::InternAtom(user_->Connection(), "_NET_WM_STATE_SKIP_TASKBAR");
  const std::uint32_t pager = platform::display::InternAtom(user_->Connection(), "_NET_WM_STATE_SKIP_PAGER");
  using Asked = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  auto askedBecomes = [&](const Asked& expected) {
    Asked seen;
    EXPECT_TRUE(Eventually([&] { return (seen = requests.Of(XOf(window))) == expected; })) << seen.size();
  };
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  askedBecomes({{1, above}});
  SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  askedBecomes({{1, above}, {1, skip}, {1, pager}});
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  askedBecomes({{1, above}, {1, skip}, {1, pager}, {0, above}});
}

TEST_F(X11Display, AWindowKeptOffTheDisplayIsNotShownThere) {
  HWND kept = CreateWindowExW(0, u"PellixDisplayTest", u"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, 0, 0, 0, nullptr);
  windows_.push_back(kept);
  platform::win::KeepOffDisplay(kept);
  ShowWindow(kept, SW_SHOW);
  HWND shown = Show(WS_OVERLAPPEDWINDOW, 0, RECT{100, 100, 400, 300});
  EXPECT_NE(XOf(shown), 0u);
  EXPECT_EQ(XOf(kept), 0u);
}

TEST_F(X11Display, ALayeredWindowKeepsItsAlphaWhereACompositorRunsAndIsFlattenedElsewhere) {
  auto picture = platform::gdi::NewBitmap(60, 40);
  cairo_t* cr = cairo_create(picture->surface);
  cairo_set_source_rgba(cr, 0.8, 0.1, 0.1, 0.5);
  cairo_paint(cr);
  cairo_destroy(cr);
  HBITMAP bitmap = platform::gdi::AddBitmap(picture);
  HDC source = CreateCompatibleDC(0);
  SelectObject(source, bitmap);
  xcb_connection_t* c = user_->Connection();
  xcb_window_t compositor = xcb_generate_id(c);
  xcb_create_window(c, 0, compositor, user_->Root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                    0, nullptr);
  for (bool composited : {false, true}) {
    if (composited) {
      // A compositor owns the manager selection of the screen.
      xcb_set_selection_owner(c, compositor, platform::display::InternAtom(c, "_NET_WM_CM_S0"), XCB_CURRENT_TIME);
      ASSERT_TRUE(Eventually([&] { return user_->SelectionOwner("_NET_WM_CM_S0") == compositor; }));
    }
    HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, u"PellixDisplayTest", u"", WS_POPUP, 300, 200, 60,
                                  40, 0, 0, 0, nullptr);
    windows_.push_back(window);
    POINT from{0, 0};
    SIZE size{60, 40};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(window, 0, nullptr, &size, source, &from, 0, &blend, ULW_ALPHA));
    ShowWindow(window, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(Eventually([&] { return XOf(window) != 0 && user_->Viewable(XOf(window)); }));
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, XOf(window)), nullptr);
    EXPECT_EQ(geometry->depth, composited ? 32 : 24);
    std::free(geometry);
    auto own = platform::gdi::WindowPicture(window);
    std::string difference = "no picture";
    EXPECT_TRUE(Eventually([&] {
      auto shown = platform::display::X11ClientPicture(window);
      if (!shown) return false;
      difference = pellix_test::ComparePictures(*shown, composited ? *own : *Flattened(*own), kPictureTolerance);
      return difference.empty();
    })) << difference << (composited ? " (composited)" : "");
  }
  xcb_destroy_window(c, compositor);
  xcb_flush(c);
  DeleteDC(source);
  DeleteObject(bitmap);
}

// A registered format's bytes, zeros inside, as the tree control puts them there.
const std::string kTreeBytes("\x01\x00\x02\xFFtree", 8);

void PutOnClipboard(const std::u16string& text) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, platform::win::NewTextBlock(text));
  HGLOBAL tree = GlobalAlloc(GMEM_MOVEABLE, kTreeBytes.size());
  std::memcpy(GlobalLock(tree), kTreeBytes.data(), kTreeBytes.size());
  GlobalUnlock(tree);
  SetClipboardData(RegisterClipboardFormatA("View Tree Data"), tree);
  CloseClipboard();
}

TEST_F(X11Display, TextAndRegisteredFormatsTheProgramCopiesReachOtherPrograms) {
  pellix_test::XClipboardPeer peer(*server_);
  PutOnClipboard(u"Grüße – ж €");
  EXPECT_FALSE(peer.Owns());
  auto targets = peer.Ask("TARGETS");
  ASSERT_TRUE(targets);
  auto names = peer.Names(*targets);
  for (const char* name : {"TARGETS", "UTF8_STRING", "TEXT", "STRING", "View Tree Data"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  EXPECT_EQ(peer.Ask("UTF8_STRING"), "Grüße – ж €");
  EXPECT_EQ(peer.Ask("STRING"), "Gr\xFC\xDF" "e ? ? ?");
  EXPECT_EQ(peer.Ask("View Tree Data"), kTreeBytes);
  EXPECT_EQ(peer.Ask("image/png"), std::nullopt);
}

TEST_F(X11Display, WhatAnotherProgramCopiesIsWhatTheProgramPastes) {
  pellix_test::XClipboardPeer peer(*server_);
  PutOnClipboard(u"mine");
  peer.Offer({{"UTF8_STRING", "Pässwort € ж"}, {"View Tree Data", kTreeBytes}});
  ASSERT_TRUE(peer.Owns());
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatA("View Tree Reference")));
  EXPECT_EQ(platform::win::WideTextOfBlock(GetClipboardData(CF_UNICODETEXT)), u"Pässwort € ж");
  EXPECT_EQ(platform::win::AnsiTextOfBlock(GetClipboardData(CF_TEXT)), "P\xE4sswort \x80 ?");
  HGLOBAL tree = GetClipboardData(RegisterClipboardFormatA("View Tree Data"));
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(tree)), GlobalSize(tree)), kTreeBytes);
  GlobalUnlock(tree);
  CloseClipboard();
  // Copying again takes the clipboard back.
  PutOnClipboard(u"again");
  EXPECT_FALSE(peer.Owns());
  EXPECT_EQ(peer.Ask("UTF8_STRING"), "again");
}

}  // namespace
