#include "formfill/app_menus.h"

#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>

#include "controls/unicode/uni_sysutils.h"
#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/classlib/date_text.h"
#include "support/translator.h"

const std::u16string_view CommandNames[kCommandCount] = {
    u"",              u"FormFill",          u"FormFillSubmit",   u"FormNoFill",       u"FillOpenForm",
    u"BookmarkVault", u"BookmarkUnvault",   u"BookmarkDelete",   u"BookmarkEdit",     u"BookmarkCreate",
    u"BookmarksManage", u"HistAsBookmark",  u"HistDelete",       u"HistEdit",         u"HistoryClear",
    u"HistoryManage", u"IgnoreList",        u"VaultCreate",      u"VaultBrowse",      u"VaultNotes",
    u"VaultAddNote",  u"VaultSettings",     u"VaultActivate",    u"IdentityCreate",   u"IdentityEdit",
    u"IdentitySettings", u"IdentityActivate", u"PasswordsGenerate", u"PasswordsEdit", u"PasswordsBrowse",
    u"PasswordsClear", u"SettingsSecurity", u"SettingsMasterPwd", u"",                 u"",
    u"",              u"",                  u"Settings",         u"Help",             u"About",
    u"",              u"",                  u"",                 u"Login",            u"Logoff",
    u"AfterInstall",  u"ShowTray",          u"HideTray",         u"Exit"};

TMenuSettings MenuSettings;

namespace {

// Commands with their own handler slot beyond the first 30.
constexpr int kUpperSlotCommands[] = {37, 38, 39, 44, 46, 47, 48};

int SlotOfCommand(int command) {
  if (command >= 1 && command <= 30) return command - 1;
  for (int i = 0; i < 7; ++i)
    if (kUpperSlotCommands[i] == command) return 30 + i;
  return -1;
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::u16string Tr(const char* text) { return Translate(text); }

int DayOf(double date) { return static_cast<int>(std::floor(date)); }

// Menu item ids: handed out once per data item, never reused; an id whose item has
// left the lists answers nothing.
std::mutex idMutex;
std::map<const TDataItem*, std::int32_t> idsOfItems;
std::map<std::int32_t, const TDataItem*> itemsOfIds;
std::int32_t lastId = 0;

std::array<TDataItems*, 3> MenuLists() {
  return {BookmarkList.get(), HistoryList.get(), PasswordList.get()};
}

// The item as one of the lists holds it; null when none does. Never dereferences Item,
// which may be gone.
TDataItem* HeldByLists(const TDataItem* item) {
  for (TDataItems* list : MenuLists()) {
    const int index = list != nullptr ? list->IndexOf(item) : -1;
    if (index >= 0) return list->Item(index);
  }
  return nullptr;
}

// Drops the ids of items that have left the lists, so that a later item at the same
// address gets an id of its own. The caller holds DataLock.
void PruneMenuItemIds() {
  std::unordered_set<const TDataItem*> held;
  for (TDataItems* list : MenuLists())
    for (int i = 0; list != nullptr && i < list->Count(); ++i) held.insert(list->Item(i));
  std::lock_guard<std::mutex> guard(idMutex);
  for (auto it = itemsOfIds.begin(); it != itemsOfIds.end();) {
    if (held.count(it->second) != 0) {
      ++it;
    } else {
      idsOfItems.erase(it->second);
      it = itemsOfIds.erase(it);
    }
  }
}

// A wide item that frees its sub-items itself: a tree of thousands of items would
// otherwise be owned through component lists, whose every insert and removal tells
// each sibling.
class TAppMenuItem final : public TUniMenuItem {
 public:
  using TUniMenuItem::TUniMenuItem;
  ~TAppMenuItem() override {
    IgnoreMenuChanged = true;
    while (Count() > 0) delete Items(Count() - 1);
  }
};

// The wide item an item is, if any. Menus hold mostly items of ours, which are told by
// their exact type: a cast through the class tree for each of thousands costs.
TUniMenuItem* WideItem(TMenuItem* item) {
  if (typeid(*item) == typeid(TAppMenuItem)) return static_cast<TAppMenuItem*>(item);
  return dynamic_cast<TUniMenuItem*>(item);
}

// A new wide item at the end of Parent, which frees it (an item of ours directly, any
// other root as its owner). Items being built ignore their changes; FinishBuilding
// updates the menu once at the end.
TMenuItem* AddItem(TMenuItem& parent, const std::u16string& caption) {
  auto* item = new TAppMenuItem(typeid(parent) == typeid(TAppMenuItem) ? nullptr : &parent);
  item->IgnoreMenuChanged = true;
  item->SetCaption(caption);
  parent.Add(item);
  return item;
}

// Frees Root's items; answers whether Root ignored its changes before.
bool StartBuilding(TMenuItem& root) {
  auto* wide = WideItem(&root);
  const bool ignored = wide != nullptr && wide->IgnoreMenuChanged;
  if (wide != nullptr) wide->IgnoreMenuChanged = true;
  while (root.Count() > 0) delete root.Items(root.Count() - 1);
  return ignored;
}

void StopIgnoring(TMenuItem& parent) {
  for (int i = 0; i < parent.Count(); ++i) {
    if (auto* wide = WideItem(parent.Items(i))) wide->IgnoreMenuChanged = false;
    StopIgnoring(*parent.Items(i));
  }
}

// One update of the native menu for the whole tree, instead of one per item.
void FinishBuilding(TMenuItem& root, bool ignored) {
  StopIgnoring(root);
  if (auto* wide = WideItem(&root)) wide->IgnoreMenuChanged = ignored;
  if (TMenu* menu = root.GetParentMenu()) menu->ItemsChanged(nullptr);
}

class TMenuBuilder {
 public:
  TMenuBuilder(const TMenuEvents& events, bool pageCommands) : events_(events), page_(pageCommands) {}

  void Build(TMenuItem& root);

 private:
  // Each entry repeats the same few commands: each is translated once per menu.
  const std::u16string& Translated(const char* text) {
    auto found = translated_.find(text);
    if (found == translated_.end()) found = translated_.emplace(text, Tr(text)).first;
    return found->second;
  }
  TMenuItem* Command(TMenuItem& parent, const char* caption, int command, std::int32_t tag = 0) {
    TMenuItem* item = AddItem(parent, Translated(caption));
    item->OnClick = events_.Handlers[SlotOfCommand(command)];
    item->Tag = tag;
    return item;
  }
  static TMenuItem* Disabled(TMenuItem& parent, std::u16string caption) {
    TMenuItem* item = AddItem(parent, std::move(caption));
    item->SetEnabled(false);
    return item;
  }
  static void Separator(TMenuItem& parent) { AddItem(parent, u"-"); }

  void AddBookmarks(TMenuItem& parent);
  void AddBookmark(TMenuItem& parent, const TDataItem& bookmark);
  void AddHistory(TMenuItem& parent);
  void AddHistoryEntry(TMenuItem& parent, const TDataItem& entry);
  void AddIdentities(TMenuItem& parent);
  void AddPasswords(TMenuItem& parent);

  const TMenuEvents& events_;
  bool page_;
  std::unordered_map<const char*, std::u16string> translated_;
};

void TMenuBuilder::Build(TMenuItem& root) {
  AddBookmarks(*AddItem(root, Tr("Form Bookmarks")));
  AddHistory(*AddItem(root, Tr("Form History")));
  AddIdentities(*AddItem(root, Tr("Identity")));
  AddPasswords(*AddItem(root, Tr("Passwords")));
  Separator(root);
  Command(root, "Settings...", 37);
  Command(root, "Help", 38);
  Command(root, "About", 39);
  Separator(root);
  Command(root, "Logout", 44);
  if (TrayIconShown.load())
    Command(root, "Hide Tray Icon", 47);
  else
    Command(root, "Show Tray Icon", 46);
  if (StandaloneMode.load() || InprocHostMode.load()) {
    Separator(root);
    Command(root, "Exit", kCommandExit);
  }
}

void TMenuBuilder::AddBookmark(TMenuItem& parent, const TDataItem& bookmark) {
  TMenuItem* item = AddItem(parent, CutCaption(bookmark.Caption()));
  item->SetImageIndex(bookmark.VaultID != 0 ? 0 : 1);
  std::int32_t tag = MenuItemId(&bookmark);
  Command(*item, "Open without Submit", 1, tag);
  Command(*item, "Open with Submit", 2, tag);
  Command(*item, "Open without Filling", 3, tag);
  Separator(*item);
  if (bookmark.VaultID != 0)
    Command(*item, "Remove Bookmark from Vault...", 6, tag)->SetEnabled(false);
  else
    Command(*item, "Lock Bookmark to Vault...", 5, tag)->SetEnabled(false);
  Command(*item, "Delete Bookmark", 7, tag);
  Command(*item, "Edit Bookmark...", 8, tag);
}

void TMenuBuilder::AddBookmarks(TMenuItem& parent) {
  if (!BookmarkList) return;
  std::vector<const TDataItem*> listed;
  for (int i = 0; i < BookmarkList->Count(); ++i)
    if (!BookmarkList->Item(i)->SiteDefault) listed.push_back(BookmarkList->Item(i));
  if (listed.empty()) {
    Disabled(parent, Tr("No Form Bookmarked Yet"));
    if (page_) {
      Separator(parent);
      Command(parent, "Create New Bookmark...", 9);
    }
    return;
  }
  const TUniStringList& folders = BookmarkList->Strings;
  const int folderCount = folders.GetCount();
  for (int f = 0; f < folderCount; ++f) AddItem(parent, folders.Get(f));
  for (const TDataItem* bookmark : listed) {
    const int folder = bookmark->IntValue;
    AddBookmark(folder >= 0 && folder < folderCount ? *parent.Items(folder) : parent, *bookmark);
  }
  Separator(parent);
  if (page_) Command(parent, "Create New Bookmark...", 9);
  Command(parent, "Browse Bookmarks...", 10);
  for (int f = folderCount - 1; f >= 0; --f)
    if (parent.Items(f)->Count() == 0) delete parent.Items(f);
}

void TMenuBuilder::AddHistoryEntry(TMenuItem& parent, const TDataItem& entry) {
  if (entry.Owner == BookmarkList.get()) {
    AddBookmark(parent, entry);
    return;
  }
  TMenuItem* item = AddItem(parent, CutCaption(entry.Caption()) + u" " + Translated("(Not Saved)"));
  item->SetDefault(true);
  std::int32_t tag = MenuItemId(&entry);
  Command(*item, "Open without Submit", 1, tag);
  Command(*item, "Open with Submit", 2, tag);
  Command(*item, "Open without Filling", 3, tag);
  Separator(*item);
  Command(*item, "Save as Bookmark", 11, tag);
  Command(*item, "Remove from History", 12, tag);
  Command(*item, "Edit History Record...", 13, tag)->SetEnabled(false);
}

void TMenuBuilder::AddHistory(TMenuItem& parent) {
  const int today = DayOf(platform::Now());
  std::vector<const TDataItem*> entries;
  if (HistoryList) {
    for (int i = 0; i < HistoryList->Count(); ++i) {
      const TDataItem* entry = HistoryList->Item(i);
      if (!entry->SiteDefault && DayOf(entry->Date) >= today - MenuSettings.HistoryDays) entries.push_back(entry);
    }
  }
  if (BookmarkList) {
    for (int i = 0; i < BookmarkList->Count(); ++i) {
      const TDataItem* bookmark = BookmarkList->Item(i);
      if (bookmark->SiteDefault || bookmark->Date < MenuSettings.ClearHistory) continue;
      auto at = entries.begin();
      while (at != entries.end() && (*at)->Date >= bookmark->Date) ++at;
      entries.insert(at, bookmark);
    }
  }
  if (entries.empty()) {
    Disabled(parent, Tr("Form History is Empty"));
    Separator(parent);
    Command(parent, "Ignore List...", 16);
    return;
  }
  const int weekAgo = today - 7;
  int groupDay = 0;
  bool inToday = false;
  TMenuItem* group = nullptr;
  for (const TDataItem* entry : entries) {
    const int day = DayOf(entry->Date);
    if (day == today) {
      AddHistoryEntry(parent, *entry);
      inToday = true;
      continue;
    }
    if (inToday) {
      Separator(parent);
      inToday = false;
    }
    // A first entry whose day happens to equal the starting GroupDay still gets a group.
    if (group == nullptr || (day != groupDay && (day >= weekAgo || groupDay != 1))) {
      if (day == today - 1)
        group = AddItem(parent, Tr("Yesterday"));
      else if (day >= weekAgo)
        group = AddItem(parent, HistoryDateText(day));
      else
        group = AddItem(parent, Tr("Older"));
      groupDay = day >= weekAgo ? day : 1;
    }
    AddHistoryEntry(*group, *entry);
  }
  Separator(parent);
  Command(parent, "Clear Form History", 14);
  Command(parent, "Ignore List...", 16);
  Command(parent, "Browse Form History...", 15);
}

void TMenuBuilder::AddIdentities(TMenuItem& parent) {
  const int count = Identities ? Identities->Lines.GetCount() : 0;
  const int active = Identities ? Identities->IndexOfFile(ActiveIdentityNo) : -1;
  const std::u16string activeName = active >= 0 ? Identities->GetName(active) : std::u16string();
  Disabled(parent, WideStringReplace(Tr("Active Identity: %IDENTITYNAME%"), u"%IDENTITYNAME%",
                                     CutCaption(activeName), false, rfReplaceAll | rfIgnoreCase));
  Separator(parent);
  if (page_) Command(parent, "Fill Forms on Current Page Using This Identity Data", 4);
  Command(parent, "Edit Identity...", 24);
  Command(parent, "Identity Settings...", 25);
  Separator(parent);
  if (count <= 1) {
    Command(parent, "Create New Identity...", 23);
    return;
  }
  TMenuItem* more = AddItem(parent, Tr("More Identities"));
  const std::u16string switchTo = Tr("Switch to \"%IDENTITYNAME%\"");
  for (int i = 0; i < count; ++i) {
    TMenuItem* item = AddItem(*more, WideStringReplace(switchTo, u"%IDENTITYNAME%", CutCaption(Identities->GetName(i)),
                                                   false, rfReplaceAll | rfIgnoreCase));
    item->OnClick = events_.Handlers[SlotOfCommand(26)];
    item->Tag = i;
    item->SetEnabled(i != active);
  }
  Separator(*more);
  Command(*more, "Create New Identity...", 23);
}

void TMenuBuilder::AddPasswords(TMenuItem& parent) {
  Command(parent, "Generate a Password...", 27);
  TMenuItem* recent = AddItem(parent, Tr("Recent Passwords"));
  if (PasswordList) {
    int shown = 0;
    for (int i = 0; i < PasswordList->Count() && shown < 5; ++i) {
      const TDataItem* entry = PasswordList->Item(i);
      if (entry->SiteDefault) continue;
      TMenuItem* item = AddItem(*recent, CutCaption(entry->Caption()));
      item->OnClick = events_.Handlers[SlotOfCommand(28)];
      item->Tag = MenuItemId(entry);
      ++shown;
    }
    if (shown == 0) {
      Disabled(*recent, Tr("No Password Used Yet"));
    } else {
      Separator(*recent);
      Disabled(*recent, Tr("Clear Password History"));
    }
  }
  Separator(parent);
  Command(parent, "Browse Password History...", 29);
}

}  // namespace

int CommandIdFromName(std::u16string_view name) {
  if (name.empty()) return 0;
  for (int i = 1; i < kCommandCount; ++i)
    if (SameName(CommandNames[i], name)) return i;
  return 0;
}

int CommandOfSlot(int slot) {
  if (slot >= 0 && slot < 30) return slot + 1;
  if (slot >= 30 && slot < TMenuEvents::kCount) return kUpperSlotCommands[slot - 30];
  return 0;
}

bool CommandTakesItem(int command) {
  switch (command) {
    case 1: case 2: case 3: case 5: case 6: case 7: case 8: case 11: case 12: case 13: case 28:
      return true;
    default:
      return false;
  }
}

TToolbarMenuEvents::TToolbarMenuEvents() {
  for (int slot = 0; slot < kCount; ++slot) {
    const int number = CommandOfSlot(slot);
    Handlers[slot] = [this, number](TObject* sender) { SetCommand(number, dynamic_cast<TMenuItem*>(sender)); };
  }
}

void TToolbarMenuEvents::SetCommand(int number, const TMenuItem* item) {
  Command = std::u16string(number >= 0 && number < kCommandCount ? CommandNames[number] : u"");
  if (item != nullptr) Command += u"_" + platform::AnsiToWide(std::to_string(item->Tag));
}

std::u16string CutCaption(std::u16string_view text) {
  if (text.find_first_not_of(u' ') == std::u16string_view::npos) return u" " + Tr("(empty)");
  if (text.size() > 42) return std::u16string(text.substr(0, 40)) + u"...";
  return std::u16string(text);
}

std::u16string HistoryDateText(double day) { return FormatDateTimeText("%x, %a", day); }

void BuildMainMenu(const TMenuEvents& events, TMenuItem& root, bool pageCommands) {
  const bool ignored = StartBuilding(root);
  {
    std::scoped_lock hold(DataLock);
    PruneMenuItemIds();
    TMenuBuilder(events, pageCommands).Build(root);
  }
  FinishBuilding(root, ignored);
}

void BuildMainMenu(const TMenuEvents& events, TPopupMenu& menu, bool pageCommands) {
  BuildMainMenu(events, *menu.Items(), pageCommands);
}

void BuildPasswordFieldMenu(const TContextMenuEvents& events, TPopupMenu& menu, int mode, std::int32_t tag) {
  struct Line {
    const char* caption;
    int slot;
  };
  static const std::vector<Line> kModes[3] = {
      {{"Generate New Password", 0}, {"Open Password Generator...", 3}},
      {{"Fill Password", 1}, {"Generate New Password", 0}, {"Open Password Generator...", 3}},
      {{"Show Password...", 2}, {"Edit Password...", 3}}};
  TMenuItem& root = *menu.Items();
  const bool ignored = StartBuilding(root);
  std::vector<Line> lines = mode >= 0 && mode <= 2 ? kModes[mode] : std::vector<Line>();
  lines.insert(lines.end(), {{"Paste", 4}, {"-", -1}, {"Password History...", 5}});
  for (const Line& line : lines) {
    TMenuItem* item = AddItem(root, line.slot < 0 ? u"-" : Tr(line.caption));
    item->Tag = tag;
    if (line.slot >= 0) item->OnClick = events.Handlers[line.slot];
  }
  FinishBuilding(root, ignored);
}

std::u16string MenuItemCaption(TMenuItem* item) {
  if (auto* wide = WideItem(item)) return wide->Caption();
  return platform::AnsiToWide(item->Caption());
}

std::int32_t MenuItemId(const TDataItem* item) {
  std::lock_guard<std::mutex> guard(idMutex);
  auto found = idsOfItems.find(item);
  if (found != idsOfItems.end()) return found->second;
  const std::int32_t id = ++lastId;
  idsOfItems[item] = id;
  itemsOfIds[id] = item;
  return id;
}

TDataItem* FindMenuItem(std::int32_t id) {
  const TDataItem* item = nullptr;
  {
    std::lock_guard<std::mutex> guard(idMutex);
    auto found = itemsOfIds.find(id);
    if (found == itemsOfIds.end()) return nullptr;
    item = found->second;
  }
  return HeldByLists(item);
}
