#include "formfill/toolbar_menu.h"

#include <cstdint>
#include <initializer_list>
#include <mutex>

#include "data/app_services.h"
#include "data/data_startup.h"
#include "formfill/app_menus.h"
#include "formfill/refresh_runner.h"
#include "platform/com/bstr.h"
#include "platform/com/class_table.h"
#include "platform/host/host_toolbar.h"
#include "support/translator.h"

namespace {

// The text the host was last given or asked for, whether it was built unlocked, and the
// generation of the cache: a clear starts a new one, so a text built before the clear
// is never kept after it. A text of the other lock state counts as no text, so that
// logoff, lock and unlock clear the cache even when nobody tells it.
std::mutex cacheLock;
std::u16string cachedText;
bool cachedUnlocked = false;
std::uint64_t cacheGeneration = 0;

std::uint64_t CacheGeneration() {
  std::lock_guard<std::mutex> hold(cacheLock);
  return cacheGeneration;
}

void CacheIfCurrent(const std::u16string& text, bool unlocked, std::uint64_t generation) {
  std::lock_guard<std::mutex> hold(cacheLock);
  if (generation != cacheGeneration) return;
  cachedText = text;
  cachedUnlocked = unlocked;
}

// The menu, or the login line while locked.
std::u16string MenuOrLogin(bool unlocked) { return unlocked ? SerializeMenu() : LoginMenuText(); }

// One line of the menu text: its parts go straight into the text, which has tens of
// thousands of lines.
void WriteLine(std::u16string& text, std::initializer_list<std::u16string_view> parts) {
  for (std::u16string_view part : parts) text += part;
  text += u"\r\n";
}

void WriteItems(TMenuItem& parent, TToolbarMenuEvents& events, std::u16string& text) {
  for (int i = 0; i < parent.Count(); ++i) {
    TMenuItem* item = parent.Items(i);
    const std::u16string caption = MenuItemCaption(item);
    if (caption == u"-") {
      WriteLine(text, {u"-"});
    } else if (item->Count() > 0) {
      WriteLine(text, {u"+", EscapeMenuCaption(caption)});
      WriteItems(*item, events, text);
      WriteLine(text, {u"<"});
    } else if (item->Enabled()) {
      events.Command = u"null";
      if (item->OnClick) item->OnClick(item);
      WriteLine(text, {EscapeMenuCaption(caption), u"=", events.Command});
      events.Command.clear();
    } else {
      WriteLine(text, {u"{", EscapeMenuCaption(caption), u"=null"});
    }
  }
}

void SendMenuText() {
  const std::uint64_t generation = CacheGeneration();
  const bool wizard = !FirstRunCompleted.load();
  const bool unlocked = IsUnlocked();
  const std::u16string text = wizard ? WizardMenuText() : MenuOrLogin(unlocked);
  if (!wizard) CacheIfCurrent(text, unlocked, generation);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  platform::com::ComPtr<IQuindleToolbar> toolbar;
  // Without the host there is nobody to tell.
  if (platform::host::CreateHostToolbar(toolbar)) {
    platform::com::BString id(kHostPluginId);
    platform::com::BString menu(text);
    toolbar->SetMenu(id.get(), 0, id.get(), menu.get());
  }
  toolbar = nullptr;
  CoUninitialize();
}

TRefreshRunner menuRefresh(SendMenuText);

}  // namespace

std::u16string EscapeMenuCaption(std::u16string_view caption) {
  std::u16string text(caption);
  for (char16_t& c : text) {
    if (c == u'=') c = u'-';
    if (c == u'\r' || c == u'\n') c = u' ';
  }
  const bool marked = !text.empty() && (text[0] == u'+' || text[0] == u'<' || text[0] == u'{' || text[0] == u'$');
  if (marked || text.find(u':', 1) != std::u16string::npos) text.insert(0, 1, u':');
  if (text == u"-") text = u" --";
  return text;
}

std::u16string SerializeMenu() {
  // A wide item of no menu: nothing native is made, and no popup menu is listed from
  // the refresh thread.
  TUniMenuItem root(nullptr);
  TToolbarMenuEvents events;
  BuildMainMenu(events, root, true);
  std::u16string text = u"$\r\n";
  WriteItems(root, events, text);
  return text;
}

std::u16string LoginMenuText() { return Translate("Login") + u"=Login"; }

std::u16string WizardMenuText() { return Translate("Start After Install Wizard") + u"=AfterInstall"; }

std::u16string ToolbarMenuText() { return FirstRunCompleted.load() ? MenuOrLogin(IsUnlocked()) : WizardMenuText(); }

std::u16string CachedToolbarMenuText() {
  if (!HasIdentities.load()) return WizardMenuText();
  const std::uint64_t generation = CacheGeneration();
  const bool unlocked = IsUnlocked();
  {
    std::lock_guard<std::mutex> hold(cacheLock);
    if (!cachedText.empty() && cachedUnlocked == unlocked) return cachedText;
  }
  const std::u16string text = MenuOrLogin(unlocked);
  CacheIfCurrent(text, unlocked, generation);
  return text;
}

void ClearToolbarMenuCache() {
  std::lock_guard<std::mutex> hold(cacheLock);
  cachedText.clear();
  ++cacheGeneration;
}

void StartToolbarMenuRefresh() {
  if (StandaloneMode.load() || InprocHostMode.load()) return;
  menuRefresh.Request();
}

bool ToolbarMenuRefreshRunning() { return menuRefresh.Running(); }

bool WaitToolbarMenuRefresh(DWORD timeout) { return menuRefresh.Wait(timeout); }
