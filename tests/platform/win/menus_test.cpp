#include "platform/win/menus.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/base/errors.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen>* g_seen = nullptr;

LRESULT OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
    case WM_INITMENU:
    case WM_INITMENUPOPUP:
    case WM_MENUSELECT:
      if (g_seen) g_seen->push_back({message, wParam, lParam});
      return 0;
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (g_seen) g_seen->push_back({message, measure->itemID, static_cast<LPARAM>(measure->itemData)});
      return TRUE;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

class MenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = u"MenuOwner";
    RegisterClassW(&wc);
    owner_ = CreateWindowExW(0, u"MenuOwner", u"", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
    g_seen = &seen_;
    // File: Open (1), separator, Recent > (One (11), Two (12, grayed)), owner-drawn (3)
    recent_ = CreatePopupMenu();
    AppendMenuW(recent_, MF_STRING, 11, u"One");
    AppendMenuW(recent_, MF_STRING | MF_GRAYED, 12, u"Two");
    popup_ = CreatePopupMenu();
    AppendMenuW(popup_, MF_STRING, 1, u"&Open\tCtrl+O");
    AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup_, MF_POPUP, recent_, u"Recent");
    AppendMenuW(popup_, MF_OWNERDRAW, 3, reinterpret_cast<const char16_t*>(0x77));
  }
  void TearDown() override {
    g_seen = nullptr;
    platform::menu_driver::Clear();
    DestroyMenu(popup_);
    DestroyWindow(owner_);
    UnregisterClassW(u"MenuOwner", 0);
  }
  std::vector<UINT> Messages() const {
    std::vector<UINT> result;
    for (const Seen& seen : seen_) result.push_back(seen.message);
    return result;
  }
  HWND owner_ = 0;
  HMENU popup_ = 0;
  HMENU recent_ = 0;
  std::vector<Seen> seen_;
};

TEST_F(MenusTest, ItemsKeepTextStateAndCommandsAndAreFoundThroughSubMenus) {
  EXPECT_EQ(GetMenuItemCount(popup_), 4);
  EXPECT_EQ(GetMenuItemID(popup_, 0), 1u);
  EXPECT_EQ(GetMenuItemID(popup_, 2), static_cast<UINT>(-1));  // a sub-menu has no command
  EXPECT_EQ(GetSubMenu(popup_, 2), recent_);
  char16_t text[64];
  EXPECT_EQ(GetMenuStringW(popup_, 12, text, 64, MF_BYCOMMAND), 3);  // found in the sub-menu
  EXPECT_EQ(std::u16string(text), u"Two");
  EXPECT_EQ(GetMenuStringW(popup_, 0, text, 4, MF_BYPOSITION), 3);  // truncated to fit
  EXPECT_EQ(std::u16string(text), u"&Op");

  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_TYPE;
  info.dwTypeData = text;
  info.cch = 64;
  ASSERT_TRUE(GetMenuItemInfoW(popup_, 3, TRUE, &info));
  EXPECT_EQ(info.fType & MFT_OWNERDRAW, MFT_OWNERDRAW);
  info.fMask = MIIM_DATA;
  ASSERT_TRUE(GetMenuItemInfoW(popup_, 3, FALSE, &info));
  EXPECT_EQ(info.dwItemData, 0x77u);

  MENUITEMINFOW set{};
  set.fMask = MIIM_TYPE;
  set.fType = MFT_STRING;
  set.dwTypeData = const_cast<char16_t*>(u"Öffnen\x263A");
  ASSERT_TRUE(SetMenuItemInfoW(popup_, 1, FALSE, &set));
  EXPECT_EQ(GetMenuStringW(popup_, 1, text, 64, MF_BYCOMMAND), 7);
  EXPECT_EQ(std::u16string(text), u"Öffnen\x263A");

  EXPECT_EQ(CheckMenuItem(popup_, 11, MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(GetMenuState(popup_, 11, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(GetMenuState(popup_, 2, MF_BYPOSITION) & MF_POPUP, MF_POPUP);
}

TEST_F(MenusTest, BadHandlesAndMissingItemsFailWithTheirErrors) {
  struct Case {
    BOOL result;
    DWORD error;
  };
  MENUITEMINFOW info{};
  info.fMask = MIIM_ID;
  SetLastError(0);
  BOOL r1 = GetMenuItemInfoW(popup_, 99, FALSE, &info);
  DWORD e1 = GetLastError();
  BOOL r2 = SetMenuItemInfoW(0x7FFFFFFF, 1, FALSE, &info);
  DWORD e2 = GetLastError();
  BOOL r3 = AppendMenuW(popup_, MF_POPUP, 0x7FFFFFFF, u"x");
  DWORD e3 = GetLastError();
  BOOL r4 = TrackPopupMenu(popup_, 0, 0, 0, 0, 0x7FFFFFFF, nullptr);
  DWORD e4 = GetLastError();
  for (const Case& c : {Case{r1, e1}, Case{r2, e2}, Case{r3, e3}, Case{r4, e4}}) EXPECT_FALSE(c.result);
  EXPECT_EQ(e1, ERROR_MENU_ITEM_NOT_FOUND);
  EXPECT_EQ(e2, ERROR_INVALID_MENU_HANDLE);
  EXPECT_EQ(e3, ERROR_INVALID_MENU_HANDLE);
  EXPECT_EQ(e4, ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(MenusTest, DestroyingAMenuDestroysItsSubMenusButRemovingKeepsThem) {
  HMENU other = CreatePopupMenu();
  HMENU inner = CreatePopupMenu();
  AppendMenuW(other, MF_POPUP, inner, u"Inner");
  ASSERT_TRUE(RemoveMenu(other, 0, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(inner));
  AppendMenuW(other, MF_POPUP, inner, u"Inner");
  ASSERT_TRUE(DestroyMenu(other));
  EXPECT_FALSE(IsMenu(inner));
  EXPECT_FALSE(IsMenu(other));
}

TEST_F(MenusTest, MenusBuiltOnAnotherThreadAreTrackedOnTheOwnersThread) {
  HMENU built = 0;
  std::thread([&] {
    built = CreatePopupMenu();
    AppendMenuW(built, MF_STRING, 42, u"Far");
  }).join();
  platform::menu_driver::Pick({0});
  EXPECT_EQ(TrackPopupMenu(built, TPM_RETURNCMD, 0, 0, 0, owner_, nullptr), 42);
  DestroyMenu(built);
}

TEST_F(MenusTest, TrackingSendsTheLoopMessagesAndMeasuresOwnerDrawnItems) {
  bool openDuring = false;
  platform::menu_driver::Select({2, 0});
  platform::menu_driver::Call([&] { openDuring = platform::menu_driver::Tracking(); });
  platform::menu_driver::Pick({2, 0});
  EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD, 5, 5, 0, owner_, nullptr), 11);
  EXPECT_TRUE(openDuring);
  EXPECT_FALSE(platform::menu_driver::Tracking());
  std::vector<UINT> expected = {WM_ENTERMENULOOP, WM_INITMENU,    WM_INITMENUPOPUP, WM_MEASUREITEM,
                                WM_INITMENUPOPUP, WM_MENUSELECT,  WM_MENUSELECT,    WM_MENUSELECT,
                                WM_EXITMENULOOP};
  EXPECT_EQ(Messages(), expected);
  EXPECT_EQ(seen_[3].wParam, 3u);  // the owner-drawn item's command and data
  EXPECT_EQ(seen_[3].lParam, 0x77);
  EXPECT_EQ(seen_[4].wParam, recent_);  // the sub-menu opens once, at its position
  EXPECT_EQ(LOWORD(static_cast<DWORD>(seen_[4].lParam)), 2);
  EXPECT_EQ(LOWORD(static_cast<DWORD>(seen_[5].wParam)), 11);
  EXPECT_EQ(static_cast<HMENU>(seen_[5].lParam), recent_);
  EXPECT_EQ(HIWORD(static_cast<DWORD>(seen_[7].wParam)), 0xFFFF);  // the close
}

TEST_F(MenusTest, PicksOfItemsThatCannotBeChosenChooseNothing) {
  struct Case {
    std::vector<int> path;
    const char* why;
  };
  for (const Case& c : {Case{{1}, "separator"}, Case{{2}, "sub-menu"}, Case{{2, 1}, "grayed"}, Case{{9}, "none"}}) {
    platform::menu_driver::Pick(c.path);
    EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD | TPM_NONOTIFY, 0, 0, 0, owner_, nullptr), 0) << c.why;
  }
}

TEST_F(MenusTest, APickWithoutReturnCommandIsPostedAsACommandAndCancelPostsNothing) {
  platform::menu_driver::Cancel();
  platform::menu_driver::Pick({0});  // left over for the next popup
  EXPECT_FALSE(TrackPopupMenu(popup_, 0, 0, 0, 0, owner_, nullptr));
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, owner_, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_TRUE(TrackPopupMenu(popup_, 0, 0, 0, 0, owner_, nullptr));
  ASSERT_TRUE(PeekMessageW(&msg, owner_, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
}

TEST_F(MenusTest, APopupCannotBeTrackedInsideAnother) {
  BOOL inner = TRUE;
  DWORD error = 0;
  platform::menu_driver::Call([&] {
    inner = TrackPopupMenu(popup_, TPM_RETURNCMD, 0, 0, 0, owner_, nullptr);
    error = GetLastError();
  });
  TrackPopupMenu(popup_, TPM_RETURNCMD, 0, 0, 0, owner_, nullptr);
  EXPECT_FALSE(inner);
  EXPECT_EQ(error, ERROR_POPUP_ALREADY_ACTIVE);
}

}  // namespace
