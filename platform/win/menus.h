// Native menus: menu handles hold items (text, state, command or sub-menu, bitmap,
// owner-draw data) as plain data guarded by one lock, so they can be built on any
// thread. A popup is tracked by a modal loop on the owner's thread, each open level
// shown as a popup window of its own (class "#32768", a top-most tool window without
// a caption, so that a display shows it on its own above everything). The loop first
// carries out the steps a test queued for the thread beforehand; then the person at
// the display works the menu with the mouse and keyboard (pointing highlights an item
// and opens its sub-menu, a click or Enter chooses, a click elsewhere or Escape
// closes, the arrow keys move, a mnemonic letter chooses). Headless, a loop that runs
// out of steps closes as cancelled, and one handed to the user closes as cancelled
// once no input waits.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_BITMAP = 0x0004;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_MENUBARBREAK = 0x0020;
inline constexpr UINT MF_MENUBREAK = 0x0040;
inline constexpr UINT MF_HILITE = 0x0080;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_DEFAULT = 0x1000;
inline constexpr UINT MF_RIGHTJUSTIFY = 0x4000;

inline constexpr UINT MFT_STRING = MF_STRING;
inline constexpr UINT MFT_BITMAP = MF_BITMAP;
inline constexpr UINT MFT_MENUBARBREAK = MF_MENUBARBREAK;
inline constexpr UINT MFT_MENUBREAK = MF_MENUBREAK;
inline constexpr UINT MFT_OWNERDRAW = MF_OWNERDRAW;
inline constexpr UINT MFT_RADIOCHECK = 0x0200;
inline constexpr UINT MFT_SEPARATOR = MF_SEPARATOR;
inline constexpr UINT MFT_RIGHTORDER = 0x2000;
inline constexpr UINT MFT_RIGHTJUSTIFY = MF_RIGHTJUSTIFY;

inline constexpr UINT MFS_GRAYED = 0x0003;
inline constexpr UINT MFS_DISABLED = MFS_GRAYED;
inline constexpr UINT MFS_CHECKED = MF_CHECKED;
inline constexpr UINT MFS_HILITE = MF_HILITE;
inline constexpr UINT MFS_ENABLED = MF_ENABLED;
inline constexpr UINT MFS_DEFAULT = MF_DEFAULT;

inline constexpr UINT MIIM_STATE = 0x0001;
inline constexpr UINT MIIM_ID = 0x0002;
inline constexpr UINT MIIM_SUBMENU = 0x0004;
inline constexpr UINT MIIM_CHECKMARKS = 0x0008;
inline constexpr UINT MIIM_TYPE = 0x0010;
inline constexpr UINT MIIM_DATA = 0x0020;
inline constexpr UINT MIIM_STRING = 0x0040;
inline constexpr UINT MIIM_BITMAP = 0x0080;
inline constexpr UINT MIIM_FTYPE = 0x0100;

inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_CENTERALIGN = 0x0004;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

inline constexpr UINT ODT_MENU = 1;
inline constexpr UINT ODT_BUTTON = 4;
inline constexpr UINT ODA_DRAWENTIRE = 0x0001;
inline constexpr UINT ODA_SELECT = 0x0002;
inline constexpr UINT ODS_SELECTED = 0x0001;
inline constexpr UINT ODS_GRAYED = 0x0002;
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_CHECKED = 0x0008;
inline constexpr UINT ODS_FOCUS = 0x0010;
inline constexpr UINT ODS_DEFAULT = 0x0020;
inline constexpr UINT ODS_NOACCEL = 0x0100;

struct MENUITEMINFOW {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  HBITMAP hbmpChecked;
  HBITMAP hbmpUnchecked;
  ULONG_PTR dwItemData;
  char16_t* dwTypeData;
  UINT cch;
  HBITMAP hbmpItem;
};

struct MEASUREITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemWidth;
  UINT itemHeight;
  ULONG_PTR itemData;
};

struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;  // for a menu: the menu's handle
  HDC hDC;
  RECT rcItem;
  ULONG_PTR itemData;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its sub-menus.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, const char16_t* text);
BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
int GetMenuStringW(HMENU menu, UINT item, char16_t* buffer, int size, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
// RemoveMenu keeps a sub-menu alive; DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
// Counts redraws of a window's bar; headless there is nothing else to do.
BOOL DrawMenuBar(HWND window);

// Tracks the popup for `owner` (a window of this thread): WM_ENTERMENULOOP,
// WM_INITMENU, WM_INITMENUPOPUP and WM_MEASUREITEM for owner-drawn items, then the
// queued steps, then WM_MENUSELECT (0xFFFF, 0) and WM_EXITMENULOOP. A picked
// item is returned with TPM_RETURNCMD, else posted as WM_COMMAND to the owner.
// The popup's corner is at (x, y) as the alignment flags say, moved to stay on the
// screen; owner-drawn items are drawn by the owner (WM_DRAWITEM).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
// Where an item of an open popup is on the screen; FALSE when the menu is not open.
BOOL GetMenuItemRect(HWND window, HMENU menu, UINT position, RECT* rect);

namespace platform::win {

// What an open popup window shows: its items placed in its client area.
struct MenuItemView {
  std::u16string text;  // the label, a tab, then the shortcut
  UINT type = 0;
  UINT state = 0;
  UINT id = 0;
  ULONG_PTR data = 0;
  bool subMenu = false;
  bool hot = false;
  RECT rect{};
};
struct MenuView {
  HWND owner = 0;  // draws the owner-drawn items
  HMENU menu = 0;
  std::vector<MenuItemView> items;
};
// The drawing layer paints the popup windows (at their WM_PAINT) and measures a text
// item's label and shortcut in the menu font.
struct MenuDrawing {
  void (*paint)(HWND window, const MenuView& view) = nullptr;
  SIZE (*measure)(std::u16string_view text) = nullptr;
};
void SetMenuDrawing(const MenuDrawing& drawing);

// Fixed parts of a popup's layout.
inline constexpr int kMenuBorder = 3;
inline constexpr int kMenuTextLeft = 20;   // the check-mark column before the label
inline constexpr int kMenuArrowWidth = 16;  // the sub-menu arrow column after it
inline constexpr int kMenuShortcutGap = 16;
inline constexpr int kMenuSeparatorHeight = 9;
inline constexpr int kMenuItemPadding = 6;

}  // namespace platform::win

namespace platform::menu_driver {

// Steps for the next popup tracked on this thread, taken in order. `path` holds a
// position per level, from the tracked popup down to the item.
void Select(std::vector<int> path);  // the pointer rests on the item (WM_MENUSELECT)
void Pick(std::vector<int> path);    // the item is chosen and the menu closes
void Cancel();                       // the menu closes without a choice
void Call(std::function<void()> step);  // runs while the menu is open
// The person at the display works the menu from here (the mouse and keyboard, as
// the system input queue brings them) until it closes.
void ByUser();
void Clear();
// True while a popup is being tracked on this thread.
bool Tracking();
// How many times DrawMenuBar redrew the window's bar.
int MenuBarRedraws(HWND window);

}  // namespace platform::menu_driver
