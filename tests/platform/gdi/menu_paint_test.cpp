#include "platform/gdi/menu_paint.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"
#include "platform/win/metrics.h"

namespace {

class PopupMenuTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"PopupMenuOwner";
    RegisterClassW(&wc);
    owner_ = CreateWindowExW(0, u"PopupMenuOwner", u"", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
    // Open (1), Save (2, checked), separator, Recent > (One (11), Two (12)), Gone (4, grayed)
    recent_ = CreatePopupMenu();
    AppendMenuW(recent_, MF_STRING, 11, u"One");
    AppendMenuW(recent_, MF_STRING, 12, u"Two");
    popup_ = CreatePopupMenu();
    AppendMenuW(popup_, MF_STRING, 1, u"&Open\tCtrl+O");
    AppendMenuW(popup_, MF_STRING | MF_CHECKED, 2, u"&Save");
    AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup_, MF_POPUP, recent_, u"&Recent");
    AppendMenuW(popup_, MF_STRING | MF_GRAYED, 4, u"&Gone");
  }
  void TearDown() override {
    platform::menu_driver::Clear();
    DestroyMenu(popup_);
    DestroyWindow(owner_);
    platform::input_driver::RunPending();
  }
  // The screen point in the middle of an item of an open popup.
  static POINT Middle(HMENU menu, UINT position) {
    RECT rect{};
    EXPECT_TRUE(GetMenuItemRect(0, menu, position, &rect));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  }
  // Tracks the popup at (100, 100) with `work` done by the user once it is open.
  UINT TrackByUser(const std::function<void()>& work) {
    platform::menu_driver::Call(work);
    platform::menu_driver::ByUser();
    return static_cast<UINT>(TrackPopupMenu(popup_, TPM_RETURNCMD, 100, 100, 0, owner_, nullptr));
  }
  HWND owner_ = 0;
  HMENU popup_ = 0;
  HMENU recent_ = 0;
};

TEST_F(PopupMenuTest, AnOpenPopupIsATopMostToolWindowPaintedWithItsItems) {
  std::shared_ptr<platform::gdi::Bitmap> picture;
  DWORD exStyle = 0;
  RECT rect{};
  platform::menu_driver::Select({0});
  platform::menu_driver::Call([&] {
    HWND window = FindWindowW(u"#32768", nullptr);
    ASSERT_NE(window, 0);
    exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    GetWindowRect(window, &rect);
    UpdateWindow(window);
    picture = platform::gdi::WindowPicture(window);
  });
  platform::menu_driver::Cancel();
  EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD, 100, 100, 0, owner_, nullptr), 0);
  EXPECT_EQ(exStyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.top, 100);
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "popup_menu.png", 8), "");
  EXPECT_EQ(FindWindowW(u"#32768", nullptr), 0) << "the popup goes when the menu closes";
}

TEST_F(PopupMenuTest, APopupNearTheScreensCornerOpensBeforeThePoint) {
  RECT rect{};
  platform::menu_driver::Call([&] { GetWindowRect(FindWindowW(u"#32768", nullptr), &rect); });
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  TrackPopupMenu(popup_, TPM_RETURNCMD, width - 2, height - 2, 0, owner_, nullptr);
  EXPECT_EQ(rect.right, width - 2);
  EXPECT_EQ(rect.bottom, height - 2);
}

TEST_F(PopupMenuTest, TheUserChoosesWithTheMouseAndTheKeyboard) {
  using namespace platform::input_driver;
  struct Case {
    const char* what;
    std::function<void(HMENU popup)> work;
    UINT chosen;
  };
  const Case cases[] = {
      {"a click on an item", [](HMENU popup) { Click(Middle(popup, 1), VK_LBUTTON); }, 2},
      {"a click in an opened sub-menu",
       [](HMENU popup) {
         // The sub-menu opens beside its item, its first item level with it.
         RECT recent{};
         GetMenuItemRect(0, popup, 3, &recent);
         MoveTo(Middle(popup, 3));
         Click(POINT{recent.right + 10, recent.top + 2}, VK_LBUTTON);
       },
       11},
      {"a click on a grayed item, then outside", [](HMENU popup) {
         Click(Middle(popup, 4), VK_LBUTTON);
         Click(POINT{5, 5}, VK_LBUTTON);
       }, 0},
      {"a click on the separator, then Escape", [](HMENU popup) {
         Click(Middle(popup, 2), VK_LBUTTON);
         Key(VK_ESCAPE);
       }, 0},
      {"down past the separator, into the sub-menu, Enter",
       [](HMENU) {
         for (int key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}) Key(key);
       },
       12},
      {"up wraps round to the last item, which cannot be chosen",
       [](HMENU) {
         for (int key : {VK_UP, VK_RETURN, VK_UP, VK_RETURN}) Key(key);
       },
       0},
      {"Escape closes the sub-menu only", [](HMENU) { Type(u"r"); Key(VK_ESCAPE); Type(u"o"); }, 1},
      {"a mnemonic in a sub-menu opened by its own", [](HMENU) { Type(u"r"); Key(VK_RETURN); }, 11},
      {"no input: cancelled", [](HMENU) {}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrackByUser([&] { c.work(popup_); }), c.chosen) << c.what;
    EXPECT_EQ(GetCapture(), 0) << c.what;
    RunPending();
  }
}

TEST_F(PopupMenuTest, AChoiceIsPostedToTheOwnerWithoutReturnCommand) {
  platform::menu_driver::Call([&] { platform::input_driver::Key(VK_DOWN); platform::input_driver::Key(VK_RETURN); });
  platform::menu_driver::ByUser();
  EXPECT_TRUE(TrackPopupMenu(popup_, 0, 100, 100, 0, owner_, nullptr));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, owner_, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
}

}  // namespace
