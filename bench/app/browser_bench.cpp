// Opening the bookmark browser on 20,000 bookmarks in 500 folders (the window, its
// tree filled, expanded and sorted, the first node selected) against reading the
// bookmark list from its file alone; and the history browser on 20,000 history
// records (and those bookmarks) against reading the history list alone.
#include <filesystem>
#include <memory>
#include <string>

#include "app/browser_form.h"
#include "app/dialog_launcher.h"
#include "bench/common/list_sample.h"
#include "bench/common/ratio_main.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "platform/classlib/forms.h"

namespace {

constexpr int kBookmarks = 20000;
constexpr int kFolders = 500;

// A data folder of its own with the bookmark and history lists saved there; true when
// both were saved.
bool MakeLists() {
  static const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("pellix-browser-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  DataFolder = folder.string() + "/";
  CreateFixedCrypt();
  BookmarkList = std::make_unique<TBookmarkItems>();
  for (int i = 0; i < kFolders; ++i) BookmarkList->Strings.Add(u"Folder " + pellix_bench::Number(i));
  for (int i = 0; i < kBookmarks; ++i) {
    auto* item = static_cast<TFormItem*>(BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get())));
    item->SetCaption(u"Shop account " + pellix_bench::Number(kBookmarks - i));
    item->SetURL(u"https://shop" + pellix_bench::Number(i) + u".example.com/account/login.php");
    item->Date = 46000.5 + i / 100.0;
    item->IntValue = i % (kFolders + 1) - 1;
  }
  HistoryList = std::make_unique<THistoryItems>();
  for (int i = 0; i < kBookmarks; ++i) {
    auto* item = static_cast<TFormItem*>(HistoryList->Add(std::make_unique<TFormItem>(HistoryList.get())));
    item->SetCaption(u"Shop account " + pellix_bench::Number(kBookmarks - i));
    item->SetURL(u"https://shop" + pellix_bench::Number(i) + u".example.com/account/login.php");
    item->Date = 46000.5 + i / 100.0;
  }
  return BookmarkList->SaveToFile() && HistoryList->SaveToFile();
}

bool& Ready() {
  static bool ready = MakeLists();
  return ready;
}

// Opens the browser of the mode through the launcher, then closes it untimed.
void OpenBrowser(benchmark::State& state, TBrowserMode mode, std::uint32_t nodes) {
  if (!Ready()) state.SkipWithError("no lists");
  TDialogLauncher launcher;
  const bool bookmarks = mode == TBrowserMode::Bookmarks;
  for (auto _ : state) {
    if (bookmarks) {
      launcher.ShowBookmarkBrowser(0);
    } else {
      launcher.ShowHistoryBrowser(0);
    }
    const HWND window = launcher.Slot(bookmarks ? TDialogSlot::BookmarkBrowser : TDialogSlot::HistoryBrowser);
    auto* form = dynamic_cast<TBrowserForm*>(TWinControl::FindControl(window));
    TBaseViewTree* tree = form == nullptr ? nullptr : bookmarks ? form->TreeViewBookmark : form->TreeViewHistory;
    if (tree == nullptr || tree->TotalCount() < nodes) {
      state.SkipWithError("the browser was not filled");
      break;
    }
    state.PauseTiming();
    form->Close();
    Application->ProcessMessages();
    state.ResumeTiming();
  }
}

void BM_OpenBookmarkBrowser(benchmark::State& state) {
  OpenBrowser(state, TBrowserMode::Bookmarks, kBookmarks + kFolders);
}

void BM_OpenHistoryBrowser(benchmark::State& state) {
  OpenBrowser(state, TBrowserMode::History, 2 * kBookmarks);
}

// Reads a list of the kind from its file.
template <typename List>
void LoadListAlone(benchmark::State& state) {
  if (!Ready()) state.SkipWithError("no lists");
  for (auto _ : state) {
    List list;
    if (!list.LoadFromFile() || list.Count() != kBookmarks) state.SkipWithError("the list was not read");
  }
}

void BM_LoadBookmarkListAlone(benchmark::State& state) { LoadListAlone<TBookmarkItems>(state); }
void BM_LoadHistoryListAlone(benchmark::State& state) { LoadListAlone<THistoryItems>(state); }

BENCHMARK(BM_OpenBookmarkBrowser)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBookmarkListAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenHistoryBrowser)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadHistoryListAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TApplication application(nullptr);
  Ready();
  const int result =
      pellix_bench::RunWithRatios(argc, argv, {{"BM_OpenBookmarkBrowser", "BM_LoadBookmarkListAlone"},
                                               {"BM_OpenHistoryBrowser", "BM_LoadHistoryListAlone"}});
  BookmarkList.reset();
  HistoryList.reset();
  std::filesystem::remove_all(std::filesystem::path(DataFolder));
  return result;
}
