// The main menu (as the tray shows it: bookmarks, the history and the commands) open
// as a popup and painted again and again: on the headless screen, and through X11 on a
// private Xvfb, where each paint also goes to the server and is waited for. The ratio
// is what showing the menu on a display adds to painting it in memory.
#include <memory>
#include <string>

#include "bench/common/ratio_main.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "formfill/app_menus.h"
#include "platform/base/text.h"
#include "controls/unicode/uni_menus.h"
#include "data/identities.h"
#include "platform/display/x11_display.h"
#include "platform/display/xserver.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"

namespace {

constexpr int kBookmarks = 12;

void SetUpOnce() {
  static bool done = [] {
    BookmarkList = std::make_unique<TBookmarkItems>();
    for (int i = 0; i < kBookmarks; ++i) {
      TDataItem* item = BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get()));
      item->SetCaption(platform::AnsiToWide("Bestellformular Nummer " + std::to_string(i)));
    }
    HistoryList = std::make_unique<THistoryItems>();
    PasswordList = std::make_unique<TPasswordItems>();
    Identities = std::make_unique<TIdentities>();
    Identities->Lines.Add(u"Home=1");
    ActiveIdentityNo.assign(1, u'1');  // g++ 12 misjudges a literal copy here (-Wrestrict)
    return true;
  }();
  (void)done;
}

// Opens the main menu and repaints it for each iteration; `shown` waits until the
// display has the picture.
void PaintMainMenu(benchmark::State& state, void (*shown)()) {
  SetUpOnce();
  TUniPopupMenu menu(nullptr);
  BuildMainMenu(TMenuEvents{}, menu, false);
  platform::menu_driver::Call([&] {
    HWND window = FindWindowW(u"#32768", nullptr);
    MSG msg;
    for (auto _ : state) {
      InvalidateRect(window, nullptr, TRUE);
      UpdateWindow(window);
      PeekMessageW(&msg, 0, 0, 0, PM_NOREMOVE);  // the display backend takes the new picture
      shown();
    }
  });
  platform::menu_driver::Cancel();
  HWND owner = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, nullptr);
  TrackPopupMenu(menu.Items()->Handle(), TPM_RETURNCMD, 100, 100, 0, owner, nullptr);
  DestroyWindow(owner);
}

void BM_MainMenuHeadless(benchmark::State& state) {
  PaintMainMenu(state, [] {});
}

void BM_MainMenuX11(benchmark::State& state) {
  pellix_test::XServer server;
  if (!server.Running() || !platform::display::StartX11(server.Name())) {
    state.SkipWithError("no Xvfb to paint on");
    return;
  }
  PaintMainMenu(state, platform::display::X11WaitForServer);
  platform::display::StopX11();
}

BENCHMARK(BM_MainMenuHeadless);
BENCHMARK(BM_MainMenuX11);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"BM_MainMenuX11", "BM_MainMenuHeadless"}});
}
