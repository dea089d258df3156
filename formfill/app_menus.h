// The program's menus, built on demand from the current lists: the main menu (tray,
// floating button, and the host toolbar's text), the password-field menu, and the
// command table by which menu clicks travel as names to the host toolbar and back.
//
// The menus are wide popup menus (TUniPopupMenu); each item is a TUniMenuItem owned by
// its parent item. A tree that is only read (the host's text) is built under a wide
// item of no menu, so no popup menu is made off the main thread. Data items travel in
// an item's Tag as menu item ids, never as addresses (FindMenuItem looks them up and
// checks them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_items.h"
#include "data/menu_messages.h"
#include "controls/unicode/uni_menus.h"

inline constexpr int kCommandCount = 49;
inline constexpr int kCommandExit = 48;
// The command names by number; empty for numbers without a name.
extern const std::u16string_view CommandNames[kCommandCount];

// The number of a command name (without regard to case, numbers 1 to 48); 0 when absent.
int CommandIdFromName(std::u16string_view name);
// The command a main-menu handler slot raises; 0 for a slot out of range.
int CommandOfSlot(int slot);
// Whether the command's menu items carry a data item's menu item id in their Tag (the
// bookmark, history and password commands); the others carry an index or 0.
bool CommandTakesItem(int command);

// Collects the command text of the clicked item: its name, "_" and its Tag.
class TToolbarMenuEvents : public TMenuEvents {
 public:
  TToolbarMenuEvents();
  void SetCommand(int number, const TMenuItem* item);
  std::u16string Command;
};

// The settings the menus read; set whenever the settings are loaded.
struct TMenuSettings {
  // Days of form history shown (HISTORY).
  int HistoryDays = 30;
  // When the form history was last cleared (CLEAR_HIST).
  double ClearHistory = 0;
};
extern TMenuSettings MenuSettings;

// Longer than 42 characters: the first 40 and "..."; empty or only blanks: " " and
// the translated "(empty)".
std::u16string CutCaption(std::u16string_view text);

// The date of a history group: the short date and the weekday's abbreviated name in
// the user's locale.
std::u16string HistoryDateText(double day);

// Frees Root's items and builds the whole main menu under it, under DataLock; the menu
// Root belongs to (if any) is updated once at the end. PageCommands adds the items that
// act on the current page (floating button and host toolbar).
void BuildMainMenu(const TMenuEvents& events, TMenuItem& root, bool pageCommands);
void BuildMainMenu(const TMenuEvents& events, TPopupMenu& menu, bool pageCommands);
// Mode 2: a value of the user's own is in the field; 1: a prepared value; 0: nothing.
void BuildPasswordFieldMenu(const TContextMenuEvents& events, TPopupMenu& menu, int mode, std::int32_t tag);
// The wide caption of an item (the 8-bit one widened for a plain item).
std::u16string MenuItemCaption(TMenuItem* item);

// The menu item id of a data item of the bookmark, history or password list (never 0).
std::int32_t MenuItemId(const TDataItem* item);
// The data item of an id, checked to be still in one of those lists; null otherwise.
// The caller holds DataLock.
TDataItem* FindMenuItem(std::int32_t id);
