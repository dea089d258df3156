#include "platform/win/menus.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/display.h"
#include "platform/win/input.h"
#include "platform/win/keyboard.h"
#include "platform/win/metrics.h"
#include "platform/win/std_controls.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

struct Item {
  UINT type = MFT_STRING;
  UINT state = 0;
  UINT id = 0;
  HMENU subMenu = 0;
  HBITMAP checked = 0;
  HBITMAP unchecked = 0;
  HBITMAP bitmap = 0;
  ULONG_PTR data = 0;
  std::u16string text;
};

struct Menu {
  bool popup = false;
  std::vector<Item> items;
};

struct Store {
  std::mutex lock;
  std::map<HMENU, Menu> menus;
  std::map<HWND, HMENU> bars;
  std::map<HWND, int> redraws;
  HMENU next = 0x00010000;  // handles are never reused while the process lives
};

Store& TheStore() {
  static Store store;
  return store;
}

Menu* FindMenuLocked(HMENU menu) {
  auto found = TheStore().menus.find(menu);
  return found == TheStore().menus.end() ? nullptr : &found->second;
}

// The item by position, or by command searched through the sub-menus as well.
struct Place {
  HMENU menu;
  std::size_t index;
};

std::optional<Place> FindItemLocked(HMENU menu, UINT item, bool byPosition) {
  Menu* found = FindMenuLocked(menu);
  if (found == nullptr) return std::nullopt;
  if (byPosition) {
    if (item >= found->items.size()) return std::nullopt;
    return Place{menu, item};
  }
  for (std::size_t i = 0; i < found->items.size(); ++i) {
    const Item& entry = found->items[i];
    // A sub-menu item is found by command only when it was given one.
    if (entry.id == item && (entry.subMenu == 0 || item != 0)) return Place{menu, i};
  }
  for (const Item& entry : found->items) {
    if (entry.subMenu == 0) continue;
    if (auto inner = FindItemLocked(entry.subMenu, item, false)) return inner;
  }
  return std::nullopt;
}

Item* ItemAt(const Place& place) { return &FindMenuLocked(place.menu)->items[place.index]; }

void DestroyLocked(HMENU menu) {
  Menu* found = FindMenuLocked(menu);
  if (found == nullptr) return;
  std::vector<HMENU> subMenus;
  for (const Item& entry : found->items)
    if (entry.subMenu != 0) subMenus.push_back(entry.subMenu);
  TheStore().menus.erase(menu);
  for (HMENU subMenu : subMenus) DestroyLocked(subMenu);
}

HMENU NewMenu(bool popup) {
  Store& store = TheStore();
  std::lock_guard guard(store.lock);
  HMENU handle = store.next++;
  store.menus[handle].popup = popup;
  return handle;
}

void ApplyInfo(Item& item, const MENUITEMINFOW& info) {
  if (info.fMask & (MIIM_TYPE | MIIM_FTYPE)) item.type = info.fType;
  if (info.fMask & (MIIM_TYPE | MIIM_STRING)) {
    if ((info.fMask & MIIM_TYPE) && (info.fType & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW))) {
      item.text.clear();
      if (info.fType & MFT_BITMAP) item.bitmap = static_cast<HBITMAP>(reinterpret_cast<ULONG_PTR>(info.dwTypeData));
    } else {
      item.text = info.dwTypeData != nullptr ? std::u16string(info.dwTypeData) : std::u16string();
    }
  }
  if (info.fMask & MIIM_STATE) item.state = info.fState;
  if (info.fMask & MIIM_ID) item.id = info.wID;
  if (info.fMask & MIIM_SUBMENU) item.subMenu = info.hSubMenu;
  if (info.fMask & MIIM_CHECKMARKS) {
    item.checked = info.hbmpChecked;
    item.unchecked = info.hbmpUnchecked;
  }
  if (info.fMask & MIIM_DATA) item.data = info.dwItemData;
  if (info.fMask & MIIM_BITMAP) item.bitmap = info.hbmpItem;
}

// Copies text into a caller's buffer the way the menu calls do: the length without the
// terminator, truncated to fit.
int CopyText(const std::u16string& text, char16_t* buffer, int size) {
  if (buffer == nullptr || size <= 0) return static_cast<int>(text.size());
  int length = std::min(static_cast<int>(text.size()), size - 1);
  text.copy(buffer, length);
  buffer[length] = u'\0';
  return length;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard guard(TheStore().lock);
  if (FindMenuLocked(menu) == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  DestroyLocked(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  std::lock_guard guard(TheStore().lock);
  return FindMenuLocked(menu) != nullptr;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard guard(TheStore().lock);
  Menu* found = FindMenuLocked(menu);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return -1;
  }
  return static_cast<int>(found->items.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard guard(TheStore().lock);
  auto place = position < 0 ? std::nullopt : FindItemLocked(menu, static_cast<UINT>(position), true);
  if (!place || ItemAt(*place)->subMenu != 0) return static_cast<UINT>(-1);
  return ItemAt(*place)->id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard guard(TheStore().lock);
  auto place = position < 0 ? std::nullopt : FindItemLocked(menu, static_cast<UINT>(position), true);
  return place ? ItemAt(*place)->subMenu : 0;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, const char16_t* text) {
  MENUITEMINFOW info{};
  info.fMask = MIIM_TYPE | MIIM_STATE | ((flags & MF_POPUP) ? MIIM_SUBMENU : MIIM_ID) | MIIM_DATA;
  info.fType = flags & (MFT_BITMAP | MFT_MENUBARBREAK | MFT_MENUBREAK | MFT_OWNERDRAW | MFT_SEPARATOR |
                        MFT_RIGHTJUSTIFY);
  info.fState = flags & (MFS_GRAYED | MFS_CHECKED | MFS_HILITE | MFS_DEFAULT);
  if (flags & MF_POPUP) {
    info.hSubMenu = static_cast<HMENU>(idOrSubMenu);
  } else {
    info.wID = static_cast<UINT>(idOrSubMenu);
  }
  // An owner-drawn item's "text" is its item data.
  if (flags & MF_OWNERDRAW) {
    info.dwItemData = reinterpret_cast<ULONG_PTR>(text);
  } else {
    info.dwTypeData = const_cast<char16_t*>(text);
  }
  std::lock_guard guard(TheStore().lock);
  Menu* found = FindMenuLocked(menu);
  if (found == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  if ((flags & MF_POPUP) && FindMenuLocked(info.hSubMenu) == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  Item item;
  ApplyInfo(item, info);
  found->items.push_back(item);
  return TRUE;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info) {
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(TheStore().lock);
  Menu* found = FindMenuLocked(menu);
  if (found == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu != 0 && FindMenuLocked(info->hSubMenu) == nullptr)
    return Fail(ERROR_INVALID_MENU_HANDLE);
  Item entry;
  ApplyInfo(entry, *info);
  // Past the end, or a command not found, appends.
  HMENU target = menu;
  std::size_t index = found->items.size();
  if (byPosition) {
    index = std::min<std::size_t>(item, found->items.size());
  } else if (auto place = FindItemLocked(menu, item, false)) {
    target = place->menu;
    index = place->index;
  }
  auto& items = FindMenuLocked(target)->items;
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), entry);
  return TRUE;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info) {
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(TheStore().lock);
  if (FindMenuLocked(menu) == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  auto place = FindItemLocked(menu, item, byPosition);
  if (!place) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  const Item& entry = *ItemAt(*place);
  if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = entry.type;
  if (info->fMask & (MIIM_TYPE | MIIM_STRING)) {
    bool isText = (entry.type & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW)) == 0;
    if (isText) {
      int length = CopyText(entry.text, info->dwTypeData, static_cast<int>(info->cch));
      info->cch = static_cast<UINT>(length);
    } else if (info->fMask & MIIM_TYPE) {
      info->cch = 0;
    }
  }
  if (info->fMask & MIIM_STATE) info->fState = entry.state;
  if (info->fMask & MIIM_ID) info->wID = entry.id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = entry.subMenu;
  if (info->fMask & MIIM_CHECKMARKS) {
    info->hbmpChecked = entry.checked;
    info->hbmpUnchecked = entry.unchecked;
  }
  if (info->fMask & MIIM_DATA) info->dwItemData = entry.data;
  if (info->fMask & MIIM_BITMAP) info->hbmpItem = entry.bitmap;
  return TRUE;
}

BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info) {
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(TheStore().lock);
  if (FindMenuLocked(menu) == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  auto place = FindItemLocked(menu, item, byPosition);
  if (!place) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  ApplyInfo(*ItemAt(*place), *info);
  return TRUE;
}

int GetMenuStringW(HMENU menu, UINT item, char16_t* buffer, int size, UINT flags) {
  std::lock_guard guard(TheStore().lock);
  auto place = FindItemLocked(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!place) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return 0;
  }
  return CopyText(ItemAt(*place)->text, buffer, size);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard guard(TheStore().lock);
  auto place = FindItemLocked(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!place) return static_cast<UINT>(-1);
  const Item& entry = *ItemAt(*place);
  UINT state = entry.type | entry.state;
  if (entry.subMenu != 0) {
    Menu* sub = FindMenuLocked(entry.subMenu);
    state = MF_POPUP | (state & 0xFF) | (sub != nullptr ? static_cast<UINT>(sub->items.size()) << 8 : 0);
  }
  return state;
}

namespace {

// Changes state bits of an item; answers the old bits, or -1 for no such item.
DWORD ChangeState(HMENU menu, UINT item, UINT flags, UINT mask, UINT bits) {
  std::lock_guard guard(TheStore().lock);
  auto place = FindItemLocked(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!place) return static_cast<DWORD>(-1);
  Item& entry = *ItemAt(*place);
  DWORD old = entry.state & mask;
  entry.state = (entry.state & ~mask) | (bits & mask);
  return old;
}

BOOL TakeOut(HMENU menu, UINT item, UINT flags, bool destroySubMenu) {
  std::lock_guard guard(TheStore().lock);
  if (FindMenuLocked(menu) == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  auto place = FindItemLocked(menu, item, (flags & MF_BYPOSITION) != 0);
  if (!place) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  auto& items = FindMenuLocked(place->menu)->items;
  HMENU subMenu = items[place->index].subMenu;
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(place->index));
  if (destroySubMenu && subMenu != 0) DestroyLocked(subMenu);
  return TRUE;
}

}  // namespace

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) { return ChangeState(menu, item, check, MF_CHECKED, check); }

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  return static_cast<BOOL>(ChangeState(menu, item, enable, MF_GRAYED | MF_DISABLED, enable));
}

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags) { return TakeOut(menu, item, flags, false); }
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) { return TakeOut(menu, item, flags, true); }

BOOL SetMenu(HWND window, HMENU menu) {
  if (!IsWindow(window)) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  std::lock_guard guard(TheStore().lock);
  if (menu != 0 && FindMenuLocked(menu) == nullptr) return Fail(ERROR_INVALID_MENU_HANDLE);
  TheStore().bars[window] = menu;
  return TRUE;
}

HMENU GetMenu(HWND window) {
  std::lock_guard guard(TheStore().lock);
  auto found = TheStore().bars.find(window);
  return found == TheStore().bars.end() || !IsWindow(window) ? 0 : found->second;
}

BOOL DrawMenuBar(HWND window) {
  if (!IsWindow(window)) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  std::lock_guard guard(TheStore().lock);
  ++TheStore().redraws[window];
  return TRUE;
}

namespace {

struct Step {
  enum Kind { kSelect, kPick, kCancel, kCall, kByUser } kind;
  std::vector<int> path;
  std::function<void()> call;
};

thread_local std::deque<Step> tSteps;
thread_local bool tTracking = false;

platform::win::MenuDrawing gDrawing;
std::mutex gDrawingLock;

platform::win::MenuDrawing Drawing() {
  std::lock_guard guard(gDrawingLock);
  return gDrawing;
}

// A snapshot of an item taken under the lock, so that messages go out without it.
struct Snapshot {
  bool found = false;
  HMENU menu = 0;  // the menu that holds the item
  int position = 0;
  Item item;
};

Snapshot Resolve(HMENU popup, const std::vector<int>& path) {
  std::lock_guard guard(TheStore().lock);
  Snapshot result;
  HMENU menu = popup;
  for (std::size_t level = 0; level < path.size(); ++level) {
    auto place = path[level] < 0 ? std::nullopt : FindItemLocked(menu, static_cast<UINT>(path[level]), true);
    if (!place) return Snapshot{};
    result.item = *ItemAt(*place);
    result.menu = menu;
    result.position = path[level];
    if (level + 1 < path.size()) {
      if (result.item.subMenu == 0) return Snapshot{};
      menu = result.item.subMenu;
    }
  }
  result.found = !path.empty();
  return result;
}

WPARAM SelectParam(const Item& item, int position) {
  UINT flags = item.type | item.state | MF_HILITE;
  if (item.subMenu != 0) return MAKELONG(static_cast<WORD>(position), static_cast<WORD>(flags | MF_POPUP));
  return MAKELONG(static_cast<WORD>(item.id), static_cast<WORD>(flags));
}

bool Choosable(const Item& item) {
  return item.subMenu == 0 && !(item.type & MFT_SEPARATOR) && !(item.state & (MF_GRAYED | MF_DISABLED));
}

bool Opens(const Item& item) { return item.subMenu != 0 && !(item.state & (MF_GRAYED | MF_DISABLED)); }

// One open popup: its window and its items as laid out when it opened.
struct Level {
  HMENU menu = 0;
  HWND window = 0;
  int position = 0;  // of the item in the level above that opened it
  std::vector<Item> items;
  std::vector<RECT> rects;  // client coordinates
  int hot = -1;
};

// The popup being tracked on this thread.
struct Tracking {
  HWND owner = 0;
  bool notify = true;
  UINT flags = 0;
  std::vector<Level> levels;
  UINT chosen = 0;
  bool closed = false;
};
thread_local Tracking* tTrack = nullptr;

constexpr char16_t kMenuClass[] = u"#32768";

bool Inside(const RECT& rect, POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

Level* LevelOf(HWND window) {
  if (tTrack == nullptr) return nullptr;
  for (Level& level : tTrack->levels)
    if (level.window == window) return &level;
  return nullptr;
}

platform::win::MenuView ViewOf(const Level& level) {
  platform::win::MenuView view{tTrack->owner, level.menu, {}};
  for (std::size_t i = 0; i < level.items.size(); ++i) {
    const Item& item = level.items[i];
    view.items.push_back({item.text, item.type, item.state, item.id, item.data, item.subMenu != 0,
                          static_cast<int>(i) == level.hot, level.rects[i]});
  }
  return view;
}

LRESULT MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      Level* level = LevelOf(window);
      auto drawing = Drawing();
      if (level != nullptr && drawing.paint != nullptr) {
        drawing.paint(window, ViewOf(*level));
      } else {
        ValidateRect(window, nullptr);
      }
      return 0;
    }
    case WM_ERASEBKGND: return 1;  // the painter covers the whole window
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

void RegisterMenuClass() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = MenuWindowProc;
    wc.lpszClassName = kMenuClass;
    return platform::win::detail::RegisterSystemClass(&wc) != 0;
  }();
  (void)registered;
}

// The owner measures every owner-drawn item of a popup as it opens; the other items
// take the size of their text.
std::vector<SIZE> Measure(HWND owner, bool notify, const std::vector<Item>& items) {
  auto drawing = Drawing();
  std::vector<SIZE> sizes;
  for (const Item& item : items) {
    SIZE size{0, platform::win::kMenuSeparatorHeight};
    if (item.type & MFT_OWNERDRAW) {
      MEASUREITEMSTRUCT measure{ODT_MENU, 0, item.id, 0, 0, item.data};
      if (notify) SendMessageW(owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
      size = SIZE{static_cast<LONG>(measure.itemWidth), static_cast<LONG>(measure.itemHeight)};
    } else if (!(item.type & MFT_SEPARATOR)) {
      std::u16string_view text = item.text;
      std::size_t tab = text.find(u'\t');
      SIZE label = drawing.measure ? drawing.measure(text.substr(0, tab)) : SIZE{};
      SIZE shortcut = tab == std::u16string_view::npos || !drawing.measure ? SIZE{} : drawing.measure(text.substr(tab + 1));
      size.cx = platform::win::kMenuTextLeft + label.cx + (shortcut.cx > 0 ? platform::win::kMenuShortcutGap + shortcut.cx : 0) +
                platform::win::kMenuArrowWidth;
      size.cy = std::max(label.cy, shortcut.cy) + platform::win::kMenuItemPadding;
    }
    sizes.push_back(size);
  }
  return sizes;
}

// Lays the items out one below the other, as wide as the widest; answers the client size.
SIZE LayOut(Level& level, const std::vector<SIZE>& sizes) {
  LONG width = 0;
  for (const SIZE& size : sizes) width = std::max(width, size.cx);
  int top = platform::win::kMenuBorder;
  level.rects.clear();
  for (const SIZE& size : sizes) {
    level.rects.push_back(RECT{platform::win::kMenuBorder, top, platform::win::kMenuBorder + width, top + size.cy});
    top += size.cy;
  }
  return SIZE{width + 2 * platform::win::kMenuBorder, top + platform::win::kMenuBorder};
}

// Keeps a popup of `size` on the screen: one that does not fit after `at` goes before
// `before` instead, and it never starts off the screen.
int OnScreen(int at, int before, int size, int screen) {
  if (at + size > screen) at = before - size;
  return std::max(0, std::min(at, screen - size));
}

// Opens a popup window for `menu`; `beside` is the parent item on the screen for a
// sub-menu (it opens to the right of it), else the popup's corner follows the flags.
void OpenLevel(HMENU menu, int position, POINT at, const RECT* beside) {
  Tracking& track = *tTrack;
  if (track.notify) SendMessageW(track.owner, WM_INITMENUPOPUP, menu, MAKELONG(static_cast<WORD>(position), 0));
  Level level;
  level.menu = menu;
  level.position = position;
  {
    std::lock_guard guard(TheStore().lock);
    if (Menu* found = FindMenuLocked(menu)) level.items = found->items;
  }
  SIZE size = LayOut(level, Measure(track.owner, track.notify, level.items));
  int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int left, top;
  if (beside != nullptr) {
    left = OnScreen(beside->right, beside->left, size.cx, screenWidth);
    top = OnScreen(beside->top - platform::win::kMenuBorder, beside->bottom + platform::win::kMenuBorder, size.cy,
                   screenHeight);
  } else {
    int x = at.x;
    if (track.flags & TPM_RIGHTALIGN) {
      x -= size.cx;
    } else if (track.flags & TPM_CENTERALIGN) {
      x -= size.cx / 2;
    }
    left = OnScreen(x, at.x, size.cx, screenWidth);
    top = OnScreen(at.y, at.y, size.cy, screenHeight);
  }
  RegisterMenuClass();
  level.window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kMenuClass, u"", WS_POPUP, left, top,
                                 size.cx, size.cy, 0, 0, 0, nullptr);
  HWND window = level.window;
  track.levels.push_back(std::move(level));
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CloseFrom(std::size_t depth) {
  auto& levels = tTrack->levels;
  while (levels.size() > depth) {
    HWND window = levels.back().window;
    levels.pop_back();
    DestroyWindow(window);
  }
}

RECT ItemOnScreen(const Level& level, int index) {
  RECT rect = level.rects[static_cast<std::size_t>(index)];
  POINT corner{0, 0};
  ClientToScreen(level.window, &corner);
  return RECT{rect.left + corner.x, rect.top + corner.y, rect.right + corner.x, rect.bottom + corner.y};
}

// Highlights an item (-1: none) of an open level, telling the owner unless `quietly`.
void SetHot(std::size_t depth, int index, bool quietly = false) {
  Level& level = tTrack->levels[depth];
  if (level.hot == index) return;
  level.hot = index;
  InvalidateRect(level.window, nullptr, TRUE);
  if (index >= 0 && tTrack->notify && !quietly) {
    const Item& item = level.items[static_cast<std::size_t>(index)];
    SendMessageW(tTrack->owner, WM_MENUSELECT, SelectParam(item, index), level.menu);
  }
}

// Opens the sub-menu of the hot item of a level, closing what was open below it.
void OpenSubMenu(std::size_t depth) {
  Level& level = tTrack->levels[depth];
  if (level.hot < 0) return;
  const Item& item = level.items[static_cast<std::size_t>(level.hot)];
  auto& levels = tTrack->levels;
  if (levels.size() > depth + 1 && levels[depth + 1].position == level.hot) return;
  CloseFrom(depth + 1);
  if (!Opens(item)) return;
  RECT beside = ItemOnScreen(level, level.hot);
  OpenLevel(item.subMenu, level.hot, POINT{}, &beside);
}

void Choose(const Item& item) {
  if (!Choosable(item)) return;
  tTrack->chosen = item.id;
  tTrack->closed = true;
}

// --- the queued steps ---------------------------------------------------------------

void TakeStep(const Step& step) {
  Tracking& track = *tTrack;
  // Opens the popups along the path that are not open yet; the owner hears of the
  // item at the end of the path only.
  for (std::size_t depth = 0; depth + 1 < step.path.size() && depth < track.levels.size(); ++depth) {
    Level& level = track.levels[depth];
    int position = step.path[depth];
    if (position < 0 || static_cast<std::size_t>(position) >= level.items.size()) return;
    SetHot(depth, position, true);
    OpenSubMenu(depth);
  }
  Snapshot target = Resolve(track.levels.front().menu, step.path);
  if (!target.found) return;
  std::size_t depth = step.path.size() - 1;
  if (depth < track.levels.size() && track.levels[depth].menu == target.menu) {
    track.levels[depth].hot = -1;  // said again, as the pointer rests on it
    SetHot(depth, target.position);
  } else if (track.notify) {
    SendMessageW(track.owner, WM_MENUSELECT, SelectParam(target.item, target.position), target.menu);
  }
  if (step.kind == Step::kPick) Choose(target.item);
}

// --- the user -----------------------------------------------------------------------

// The deepest open level under a screen point, and the item there (-1: none).
struct Spot {
  int depth = -1;
  int index = -1;
};

Spot SpotAt(POINT point) {
  auto& levels = tTrack->levels;
  for (int depth = static_cast<int>(levels.size()) - 1; depth >= 0; --depth) {
    Level& level = levels[static_cast<std::size_t>(depth)];
    RECT window;
    if (!GetWindowRect(level.window, &window) || !Inside(window, point)) continue;
    for (std::size_t i = 0; i < level.rects.size(); ++i) {
      if (Inside(level.rects[i], POINT{point.x - window.left, point.y - window.top}) &&
          !(level.items[i].type & MFT_SEPARATOR)) {
        return Spot{depth, static_cast<int>(i)};
      }
    }
    return Spot{depth, -1};
  }
  return Spot{};
}

void Point(POINT point) {
  Spot spot = SpotAt(point);
  if (spot.depth < 0) return;
  auto depth = static_cast<std::size_t>(spot.depth);
  auto& levels = tTrack->levels;
  // Resting on the item whose sub-menu is open keeps it open.
  if (levels.size() > depth + 1 && levels[depth + 1].position == spot.index) return;
  CloseFrom(depth + 1);
  SetHot(depth, spot.index);
  OpenSubMenu(depth);
}

void Release(POINT point, bool rightButton) {
  if (rightButton && !(tTrack->flags & TPM_RIGHTBUTTON)) return;
  Spot spot = SpotAt(point);
  if (spot.depth < 0 || spot.index < 0) return;
  Choose(tTrack->levels[static_cast<std::size_t>(spot.depth)].items[static_cast<std::size_t>(spot.index)]);
}

// Moves the highlight of the deepest level to the next item that is no separator.
void MoveHot(int by) {
  std::size_t depth = tTrack->levels.size() - 1;
  Level& level = tTrack->levels[depth];
  int count = static_cast<int>(level.items.size());
  int index = level.hot;
  for (int tries = 0; tries < count; ++tries) {
    index = index < 0 ? (by > 0 ? 0 : count - 1) : (index + by + count) % count;
    if (!(level.items[static_cast<std::size_t>(index)].type & MFT_SEPARATOR)) {
      SetHot(depth, index);
      return;
    }
  }
}

// Enter, or a mnemonic: a sub-menu opens with its first item highlighted.
void Activate(std::size_t depth, int index) {
  Level& level = tTrack->levels[depth];
  SetHot(depth, index);
  const Item& item = level.items[static_cast<std::size_t>(index)];
  if (!Opens(item)) {
    Choose(item);
    return;
  }
  OpenSubMenu(depth);
  if (tTrack->levels.size() > depth + 1) MoveHot(1);
}

void Key(WPARAM key) {
  auto& levels = tTrack->levels;
  std::size_t depth = levels.size() - 1;
  switch (key) {
    case VK_UP: MoveHot(-1); break;
    case VK_DOWN: MoveHot(1); break;
    case VK_RIGHT:
      if (levels[depth].hot >= 0 && Opens(levels[depth].items[static_cast<std::size_t>(levels[depth].hot)]))
        Activate(depth, levels[depth].hot);
      break;
    case VK_LEFT:
      if (depth > 0) CloseFrom(depth);
      break;
    case VK_ESCAPE:
      if (depth > 0) {
        CloseFrom(depth);
      } else {
        tTrack->closed = true;
      }
      break;
    case VK_RETURN:
      if (levels[depth].hot >= 0) Activate(depth, levels[depth].hot);
      break;
    default: break;
  }
}

// The item of the deepest level whose label marks `letter` with an ampersand.
void Mnemonic(char16_t letter) {
  std::size_t depth = tTrack->levels.size() - 1;
  const Level& level = tTrack->levels[depth];
  char16_t wanted[] = {letter};
  CharUpperBuffW(wanted, 1);
  for (std::size_t i = 0; i < level.items.size(); ++i) {
    const std::u16string& text = level.items[i].text;
    for (std::size_t at = text.find(u'&'); at != std::u16string::npos && at + 1 < text.size();
         at = text.find(u'&', at + 2)) {
      char16_t marked[] = {text[at + 1]};
      CharUpperBuffW(marked, 1);
      if (marked[0] == u'&') continue;
      if (marked[0] == wanted[0]) {
        Activate(depth, static_cast<int>(i));
        return;
      }
      break;
    }
  }
}

// One message while the user works the menu; keys typed also give their characters,
// for the mnemonics.
void Handle(const MSG& msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE: Point(msg.pt); break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      if (SpotAt(msg.pt).depth < 0) {
        tTrack->closed = true;
      } else {
        Point(msg.pt);
      }
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: Release(msg.pt, msg.message == WM_RBUTTONUP); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      Key(msg.wParam);
      TranslateMessage(&msg);
      break;
    case WM_CHAR:
    case WM_SYSCHAR: Mnemonic(static_cast<char16_t>(msg.wParam)); break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL: break;
    default:
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      break;
  }
}

// Reads the mouse and keyboard until the menu closes. On a display the loop waits for
// the person; headless it ends when nothing waits. The first popup holds the capture,
// so the mouse anywhere reaches the loop.
void ByUserLoop() {
  Tracking& track = *tTrack;
  HWND first = track.levels.front().window;
  // Keys go to the foreground window's thread: the menu's thread is made that.
  if (platform::win::detail::WindowThread(GetForegroundWindow()) != platform::win::ThisThreadId())
    SetForegroundWindow(track.owner);
  SetCapture(first);
  bool waits = platform::win::CurrentDisplayBackend() != nullptr;
  while (!track.closed && IsWindow(track.owner) && GetCapture() == first) {
    MSG msg;
    if (waits) {
      BOOL got = GetMessageW(&msg, 0, 0, 0);
      if (got <= 0) {
        if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
    } else if (!PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) {
      break;
    } else if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Handle(msg);
  }
  if (GetCapture() == first) ReleaseCapture();
}

}  // namespace

void platform::win::SetMenuDrawing(const MenuDrawing& drawing) {
  std::lock_guard guard(gDrawingLock);
  gDrawing = drawing;
}

BOOL GetMenuItemRect(HWND, HMENU menu, UINT position, RECT* rect) {
  if (rect == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (tTrack != nullptr) {
    for (const Level& level : tTrack->levels) {
      if (level.menu != menu || position >= level.rects.size()) continue;
      *rect = ItemOnScreen(level, static_cast<int>(position));
      return TRUE;
    }
  }
  return Fail(ERROR_MENU_ITEM_NOT_FOUND);
}

BOOL TrackPopupMenu(HMENU popup, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  if (!IsMenu(popup)) return Fail(ERROR_INVALID_MENU_HANDLE);
  if (!IsWindow(owner)) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  if (GetWindowThreadProcessId(owner, nullptr) != platform::win::ThisThreadId())
    return Fail(ERROR_WINDOW_OF_OTHER_THREAD);
  if (tTracking) return Fail(ERROR_POPUP_ALREADY_ACTIVE);
  tTracking = true;
  Tracking track;
  track.owner = owner;
  track.notify = !(flags & TPM_NONOTIFY);
  track.flags = flags;
  tTrack = &track;
  if (track.notify) {
    SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageW(owner, WM_INITMENU, popup, 0);
  }
  OpenLevel(popup, 0, POINT{x, y}, nullptr);
  // With steps run out, a person at a display carries on; headless no one does.
  bool byUser = platform::win::CurrentDisplayBackend() != nullptr;
  while (!track.closed && !tSteps.empty()) {
    Step step = std::move(tSteps.front());
    tSteps.pop_front();
    switch (step.kind) {
      case Step::kCall: step.call(); break;
      case Step::kCancel: track.closed = true; break;
      case Step::kByUser:
        byUser = true;
        tSteps.clear();
        break;
      case Step::kSelect:
      case Step::kPick: TakeStep(step); break;
    }
  }
  if (!track.closed && byUser && IsWindow(owner)) ByUserLoop();
  CloseFrom(0);
  if (track.notify) {
    SendMessageW(owner, WM_MENUSELECT, MAKELONG(0, 0xFFFF), 0);
    SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
  }
  tTrack = nullptr;
  tTracking = false;
  UINT chosen = track.chosen;
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen != 0 && track.notify) PostMessageW(owner, WM_COMMAND, chosen, 0);
  return chosen != 0;
}

namespace platform::menu_driver {

void Select(std::vector<int> path) { tSteps.push_back({Step::kSelect, std::move(path), {}}); }
void Pick(std::vector<int> path) { tSteps.push_back({Step::kPick, std::move(path), {}}); }
void Cancel() { tSteps.push_back({Step::kCancel, {}, {}}); }
void Call(std::function<void()> step) { tSteps.push_back({Step::kCall, {}, std::move(step)}); }
void ByUser() { tSteps.push_back({Step::kByUser, {}, {}}); }
void Clear() { tSteps.clear(); }
bool Tracking() { return tTracking; }

int MenuBarRedraws(HWND window) {
  std::lock_guard guard(TheStore().lock);
  auto found = TheStore().redraws.find(window);
  return found == TheStore().redraws.end() ? 0 : found->second;
}

}  // namespace platform::menu_driver
