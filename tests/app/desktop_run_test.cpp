// The program itself on a desktop: a private Xvfb with a window manager (openbox) and a
// system tray (trayer), worked as a person would through XTest. The first start shows
// the first-run wizard, which takes typed passwords and an identity name in letters
// beyond Latin-1; once it is finished, a click on the tray icon opens the tray menu,
// and the floating button follows the Chromium window the program started when it moves.
// What the screen showed is kept where $PELLIX_SCREENSHOTS names a folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "program_run.h"
#include "platform/display/xserver.h"
#include "platform/gdi/window_picture.h"

namespace {

using program_run::Eventually;
using program_run::ProgramTest;

// The top-level window whose class is `className` (the program's, or Chromium's) and
// that the server shows; 0 when there is none. A window manager's frame is looked
// through.
xcb_window_t ShownWindowOfClass(pellix_test::XUser& user, xcb_window_t parent, const std::string& className) {
  xcb_connection_t* c = user.Connection();
  auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
  if (tree == nullptr) return 0;
  std::vector<xcb_window_t> children(xcb_query_tree_children(tree), xcb_query_tree_children(tree) + xcb_query_tree_children_length(tree));
  std::free(tree);
  for (xcb_window_t child : children) {
    std::string wmClass = user.TextProperty(child, "WM_CLASS");
    std::string classPart = wmClass.substr(wmClass.find('\0') + 1);
    if (classPart == className + '\0' && user.Viewable(child)) return child;
    if (parent == user.Root()) {
      if (xcb_window_t inner = ShownWindowOfClass(user, child, className)) return inner;
    }
  }
  return 0;
}

POINT ClientOrigin(pellix_test::XUser& user, xcb_window_t window) {
  xcb_connection_t* c = user.Connection();
  auto* where = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, user.Root(), 0, 0), nullptr);
  POINT origin{where ? where->dst_x : 0, where ? where->dst_y : 0};
  std::free(where);
  return origin;
}

// The window that has the keyboard (a top-level client window, as the window manager
// hands it out), 0 when none.
xcb_window_t KeyboardFocus(pellix_test::XUser& user) {
  xcb_connection_t* c = user.Connection();
  auto* reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
  const xcb_window_t focus = reply != nullptr ? reply->focus : 0;
  std::free(reply);
  return focus;
}

RECT ScreenRect(pellix_test::XUser& user, xcb_window_t window) {
  xcb_connection_t* c = user.Connection();
  POINT corner = ClientOrigin(user, window);
  auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
  RECT rect{corner.x, corner.y, corner.x + (geometry ? geometry->width : 0), corner.y + (geometry ? geometry->height : 0)};
  std::free(geometry);
  return rect;
}

void Screenshot(pellix_test::XUser& user, const std::string& name) {
  const char* folder = std::getenv("PELLIX_SCREENSHOTS");
  if (folder == nullptr) return;
  constexpr int kWidth = 1280, kHeight = 1024;
  xcb_connection_t* c = user.Connection();
  auto* image = xcb_get_image_reply(
      c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, user.Root(), 0, 0, kWidth, kHeight, ~0u), nullptr);
  if (image == nullptr) return;
  auto picture = platform::gdi::NewBitmap(kWidth, kHeight);
  const std::uint8_t* data = xcb_get_image_data(image);
  for (int y = 0; y < kHeight; ++y) {
    std::memcpy(picture->Row(y), data + static_cast<std::size_t>(y) * kWidth * 4, kWidth * 4);
    for (int x = 0; x < kWidth; ++x) picture->Row(y)[x * 4 + 3] = 0xFF;
  }
  picture->Surface();
  std::free(image);
  platform::gdi::WritePng(*picture, std::string(folder) + "/" + name);
}

// The program, ended when the test ends early (a failed assertion) as well.
struct Running {
  int pid;
  ~Running() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
};

void TypeText(pellix_test::XUser& user, const std::vector<std::uint32_t>& keysyms) {
  for (std::uint32_t keysym : keysyms) {
    bool upper = keysym >= 'A' && keysym <= 'Z';
    user.Type(upper ? keysym + ('a' - 'A') : keysym, upper);
  }
}

TEST_F(ProgramTest, OnADesktopTheWizardTakesTypedTextTheTrayIconOpensTheMenuAndTheButtonFollowsChromium) {
  if (!pellix_test::XServer::Installed() || access("/usr/bin/trayer", X_OK) != 0 ||
      access("/usr/bin/openbox", X_OK) != 0) {
    GTEST_SKIP() << "Xvfb, trayer or openbox is not installed: the program is not tried on a desktop";
  }
  pellix_test::XServer server;
  ASSERT_TRUE(server.Running());
  pellix_test::XUser user(server);
  const std::vector<std::uint32_t> password{'P', 0xE4, 's', 's', 'w', 0xF6, 'r', 't', '1'};
  constexpr std::uint32_t kGreekOmega = 0x7D9, kCyrillicZhe = 0x6D6;
  // The letters outside the server's layout get their keys before the program starts,
  // so the keyboard does not change under it while it is being typed on.
  user.PrepareKeys({0xE4, 0xF6, kGreekOmega, kCyrillicZhe});
  pellix_test::XClient windowManager(server, "/usr/bin/openbox");
  pellix_test::XClient tray(server, "/usr/bin/trayer", "--edge top --align right --widthtype request --height 24");
  ASSERT_TRUE(Eventually([&] { return user.SelectionOwner("_NET_SYSTEM_TRAY_S0") != 0; }));
  // The program starts its Chromium on the desktop.
  const std::string browser = std::getenv("PELLIX_BROWSER") ? std::getenv("PELLIX_BROWSER") : "";
  setenv("DISPLAY", server.Name().c_str(), 1);
  unsetenv("PELLIX_BROWSER");
  Running program{program_run::StartProgram()};
  unsetenv("DISPLAY");
  setenv("PELLIX_BROWSER", browser.c_str(), 1);

  xcb_window_t wizard = 0;
  ASSERT_TRUE(Eventually([&] { return (wizard = ShownWindowOfClass(user, user.Root(), "TAfterInst")) != 0; }));
  // The program's Chromium takes the keyboard when its window shows: the wizard is used
  // after that, as a person would click into it again.
  ASSERT_TRUE(Eventually([&] {
    const xcb_window_t chromium = ShownWindowOfClass(user, user.Root(), "Chromium");
    return chromium != 0 && KeyboardFocus(user) == chromium;
  }));
  // Where the wizard's controls are, from its client area's corner (which the window
  // manager moves when it frames the window).
  auto at = [&](POINT point) {
    POINT corner = ClientOrigin(user, wizard);
    return POINT{corner.x + point.x, corner.y + point.y};
  };
  // A pause after each click, as a person makes: the program takes the click (and moves
  // the focus) before the next keys come.
  auto click = [&](int x, int y) {
    POINT point = at(POINT{x, y});
    user.Click(point.x, point.y, 1);
    sleep(1);
  };
  constexpr POINT kNext{416, 391}, kPassword{299, 206}, kRetyped{299, 236}, kIdentityName{275, 144};
  // The second page shows once the program takes clicks: its password edit is white.
  // Clicks are tried again until the program shows that it takes them: it may still be
  // starting when its first window shows.
  bool shown = false;
  for (int attempt = 0; attempt < 30 && !shown; ++attempt) {
    click(kNext.x, kNext.y);
    for (int look = 0; look < 20 && !shown; ++look) {
      shown = user.PixelAt(at(kPassword)) == 0xFFFFFFu;
      usleep(50000);
    }
  }
  ASSERT_TRUE(shown);
  // Keys go where the keyboard is: a click into an edit is repeated until the wizard
  // has it (Chromium may still ask for it once its page is ready).
  auto clickToType = [&](POINT point) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      click(point.x, point.y);
      if (KeyboardFocus(user) == wizard) return true;
    }
    return false;
  };
  ASSERT_TRUE(clickToType(kPassword));
  TypeText(user, password);
  ASSERT_TRUE(clickToType(kRetyped));
  TypeText(user, password);
  click(kNext.x, kNext.y);
  // With the master password set the program takes up Chromium's window and puts its
  // floating button over it; the wizard is used again after that has settled.
  ASSERT_TRUE(Eventually([&] { return ShownWindowOfClass(user, user.Root(), "TFloatForm") != 0; }));
  sleep(1);
  // Next takes the identity name only when it is not empty, so letters that did not
  // arrive would keep the wizard open.
  ASSERT_TRUE(clickToType(kIdentityName));
  TypeText(user, {kGreekOmega, kCyrillicZhe});
  sleep(1);
  Screenshot(user, "program-wizard-typed.png");
  click(kNext.x, kNext.y);
  click(kNext.x, kNext.y);  // Finish
  EXPECT_TRUE(Eventually([&] { return ShownWindowOfClass(user, user.Root(), "TAfterInst") == 0; }));

  // The tray icon docks at the panel's right end; a right click opens the tray menu.
  constexpr int kScreenWidth = 1280;
  EXPECT_TRUE(Eventually([&] { return user.PixelAt(POINT{kScreenWidth - 12, 12}) != user.PixelAt(POINT{kScreenWidth - 2, 2}); }));
  user.Click(kScreenWidth - 12, 12, 3);
  EXPECT_TRUE(Eventually([&] { return ShownWindowOfClass(user, user.Root(), "#32768") != 0; }));
  Screenshot(user, "program-tray-menu.png");
  constexpr std::uint32_t kEscape = 0xFF1B;
  user.Type(kEscape);
  EXPECT_TRUE(Eventually([&] { return ShownWindowOfClass(user, user.Root(), "#32768") == 0; }));

  // The floating button sits over Chromium's window, at the same distance from its
  // edges wherever the window goes.
  xcb_window_t window = 0, button = 0;
  ASSERT_TRUE(Eventually([&] {
    window = ShownWindowOfClass(user, user.Root(), "Chromium");
    button = ShownWindowOfClass(user, user.Root(), "TFloatForm");
    return window != 0 && button != 0;
  }));
  const RECT before = ScreenRect(user, window), buttonBefore = ScreenRect(user, button);
  user.Configure(window, 200, 150, 700, 500);
  auto keptItsPlace = [&] {
    RECT now = ScreenRect(user, window), buttonNow = ScreenRect(user, button);
    bool moved = now.left != before.left || now.top != before.top || now.right != before.right;
    bool across = buttonNow.left - now.left == buttonBefore.left - before.left ||
                  buttonNow.right - now.right == buttonBefore.right - before.right;
    bool down = buttonNow.top - now.top == buttonBefore.top - before.top ||
                buttonNow.bottom - now.bottom == buttonBefore.bottom - before.bottom;
    return moved && across && down;
  };
  EXPECT_TRUE(Eventually(keptItsPlace));
  Screenshot(user, "program-floating-button.png");
  kill(program.pid, SIGTERM);
  EXPECT_EQ(program_run::WaitEnd(std::exchange(program.pid, 0)), 0);
}

}  // namespace
