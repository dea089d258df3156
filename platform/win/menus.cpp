#include "platform/win/menus.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/base/errors.h"
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
  enum Kind { kSelect, kPick, kCancel, kCall } kind;
  std::vector<int> path;
  std::function<void()> call;
};

thread_local std::deque<Step> tSteps;
thread_local bool tTracking = false;

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

// The owner measures every owner-drawn item of a popup as it opens.
void OpenPopup(HWND owner, HMENU popup, int position) {
  SendMessageW(owner, WM_INITMENUPOPUP, popup, MAKELONG(static_cast<WORD>(position), 0));
  std::vector<Item> items;
  {
    std::lock_guard guard(TheStore().lock);
    if (Menu* found = FindMenuLocked(popup)) items = found->items;
  }
  for (const Item& item : items) {
    if (!(item.type & MFT_OWNERDRAW)) continue;
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, item.id, 0, 0, item.data};
    SendMessageW(owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
  }
}

// Opens the popups along the path that are not open yet.
void OpenAlong(HWND owner, HMENU popup, const std::vector<int>& path, std::vector<int>& open) {
  for (std::size_t level = 0; level + 1 < path.size(); ++level) {
    std::vector<int> prefix(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(level) + 1);
    if (open.size() > level && open[level] == path[level]) continue;
    open.resize(level);
    Snapshot sub = Resolve(popup, prefix);
    if (!sub.found || sub.item.subMenu == 0) return;
    OpenPopup(owner, sub.item.subMenu, path[level]);
    open.push_back(path[level]);
  }
}

WPARAM SelectParam(const Snapshot& target) {
  UINT flags = target.item.type | target.item.state | MF_HILITE;
  if (target.item.subMenu != 0) return MAKELONG(static_cast<WORD>(target.position), static_cast<WORD>(flags | MF_POPUP));
  return MAKELONG(static_cast<WORD>(target.item.id), static_cast<WORD>(flags));
}

bool Choosable(const Item& item) {
  return item.subMenu == 0 && !(item.type & MFT_SEPARATOR) && !(item.state & (MF_GRAYED | MF_DISABLED));
}

}  // namespace

BOOL TrackPopupMenu(HMENU popup, UINT flags, int, int, int, HWND owner, const RECT*) {
  if (!IsMenu(popup)) return Fail(ERROR_INVALID_MENU_HANDLE);
  if (!IsWindow(owner)) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  if (GetWindowThreadProcessId(owner, nullptr) != platform::win::ThisThreadId())
    return Fail(ERROR_WINDOW_OF_OTHER_THREAD);
  if (tTracking) return Fail(ERROR_POPUP_ALREADY_ACTIVE);
  tTracking = true;
  bool notify = !(flags & TPM_NONOTIFY);
  if (notify) {
    SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageW(owner, WM_INITMENU, popup, 0);
    OpenPopup(owner, popup, 0);
  }
  UINT chosen = 0;
  std::vector<int> open;
  bool closed = false;
  while (!closed && !tSteps.empty()) {
    Step step = std::move(tSteps.front());
    tSteps.pop_front();
    switch (step.kind) {
      case Step::kCall:
        step.call();
        break;
      case Step::kCancel:
        closed = true;
        break;
      case Step::kSelect:
      case Step::kPick: {
        if (notify) OpenAlong(owner, popup, step.path, open);
        Snapshot target = Resolve(popup, step.path);
        if (!target.found) break;
        if (notify) SendMessageW(owner, WM_MENUSELECT, SelectParam(target), target.menu);
        if (step.kind == Step::kPick && Choosable(target.item)) {
          chosen = target.item.id;
          closed = true;
        }
        break;
      }
    }
  }
  if (notify) {
    SendMessageW(owner, WM_MENUSELECT, MAKELONG(0, 0xFFFF), 0);
    SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
  }
  tTracking = false;
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen != 0 && notify) PostMessageW(owner, WM_COMMAND, chosen, 0);
  return chosen != 0;
}

namespace platform::menu_driver {

void Select(std::vector<int> path) { tSteps.push_back({Step::kSelect, std::move(path), {}}); }
void Pick(std::vector<int> path) { tSteps.push_back({Step::kPick, std::move(path), {}}); }
void Cancel() { tSteps.push_back({Step::kCancel, {}, {}}); }
void Call(std::function<void()> step) { tSteps.push_back({Step::kCall, {}, std::move(step)}); }
void Clear() { tSteps.clear(); }
bool Tracking() { return tTracking; }

int MenuBarRedraws(HWND window) {
  std::lock_guard guard(TheStore().lock);
  auto found = TheStore().redraws.find(window);
  return found == TheStore().redraws.end() ? 0 : found->second;
}

}  // namespace platform::menu_driver
