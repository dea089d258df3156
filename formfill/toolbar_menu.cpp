#include "formfill/toolbar_menu.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "data/app_services.h"
#include "formfill/app_menus.h"
#include "platform/com/bstr.h"
#include "platform/com/class_table.h"
#include "platform/host/host_toolbar.h"
#include "support/translator.h"

namespace {

// Whether a refresh thread runs, and whether it must run once more. Both atomic: the
// main thread asks while the refresh thread finishes.
std::atomic<bool> refreshRunning{false};
std::atomic<bool> refreshAgain{false};

void WriteItems(const TMenuEntry& parent, TToolbarMenuEvents& events, std::u16string& text) {
  for (const auto& item : parent.Items) {
    if (item->Caption == u"-") {
      text += u"-\r\n";
    } else if (!item->Items.empty()) {
      text += u"+" + EscapeMenuCaption(item->Caption) + u"\r\n";
      WriteItems(*item, events, text);
      text += u"<\r\n";
    } else if (item->Enabled) {
      events.Command = u"null";
      if (item->OnClick) item->OnClick(item.get());
      text += EscapeMenuCaption(item->Caption) + u"=" + events.Command + u"\r\n";
      events.Command.clear();
    } else {
      text += u"{" + EscapeMenuCaption(item->Caption) + u"=null\r\n";
    }
  }
}

void SendMenuText() {
  const std::u16string text = ToolbarMenuText();
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

void RunRefresh() {
  do {
    while (refreshAgain.exchange(false)) SendMenuText();
    refreshRunning = false;
    // A request that came after the last run but before the flag was cleared found the
    // thread running and left its work here.
  } while (refreshAgain.load() && !refreshRunning.exchange(true));
}

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
  TPopupMenuTree menu;
  TToolbarMenuEvents events;
  BuildMainMenu(events, menu, true);
  std::u16string text = u"$\r\n";
  WriteItems(menu.Items, events, text);
  return text;
}

std::u16string LoginMenuText() { return Translate("Login") + u"=Login"; }

std::u16string WizardMenuText() { return Translate("Start After Install Wizard") + u"=AfterInstall"; }

std::u16string ToolbarMenuText() {
  if (!FirstRunCompleted.load()) return WizardMenuText();
  return IsUnlocked() ? SerializeMenu() : LoginMenuText();
}

void StartToolbarMenuRefresh() {
  if (StandaloneMode.load() || InprocHostMode.load()) return;
  refreshAgain = true;
  if (refreshRunning.exchange(true)) return;  // the running thread runs once more
  std::thread(RunRefresh).detach();
}

bool ToolbarMenuRefreshRunning() { return refreshRunning.load(); }

bool WaitToolbarMenuRefresh(DWORD timeout) {
  // Real time: tests freeze the program's clock.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  while (refreshRunning.load()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
