// The program's menus, built on demand from the current lists: the main menu (tray,
// floating button, and the host toolbar's text), the password-field menu, and the
// command table by which menu clicks travel as names to the host toolbar and back.
//
// Menu items are plain data; data items travel in an item's Tag as menu item ids,
// never as addresses (FindMenuItem looks them up and checks them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_items.h"
#include "data/menu_messages.h"
#include "platform/classlib/object.h"

class TMenuEntry : public TObject {
 public:
  std::u16string Caption;
  bool Enabled = true;
  // Drawn bold (the unsaved history entries).
  bool Default = false;
  int ImageIndex = -1;
  std::int32_t Tag = 0;
  TNotifyEvent OnClick;
  std::vector<std::unique_ptr<TMenuEntry>> Items;

  TMenuEntry* Add(std::u16string caption);
  void Clear() { Items.clear(); }
  int Count() const { return static_cast<int>(Items.size()); }
};

// A pop-up menu: its top-level items are the root's items.
class TPopupMenuTree {
 public:
  TMenuEntry Items;
};

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
  void SetCommand(int number, const TMenuEntry* item);
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
// the process's locale.
std::u16string HistoryDateText(double day);

// Clears the menu and builds the whole main menu under DataLock. PageCommands adds the
// items that act on the current page (floating button and host toolbar).
void BuildMainMenu(const TMenuEvents& events, TPopupMenuTree& menu, bool pageCommands);
// Mode 2: a value of the user's own is in the field; 1: a prepared value; 0: nothing.
void BuildPasswordFieldMenu(const TContextMenuEvents& events, TPopupMenuTree& menu, int mode,
                            std::int32_t tag);

// The menu item id of a data item of the bookmark, history or password list (never 0).
std::int32_t MenuItemId(const TDataItem* item);
// The data item of an id, checked to be still in one of those lists; null otherwise.
// The caller holds DataLock.
TDataItem* FindMenuItem(std::int32_t id);
