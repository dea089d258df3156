// Opening the bookmark browser on 20,000 bookmarks in 500 folders (the window, its
// tree filled, expanded and sorted, the first node selected) against reading the
// bookmark list from its file alone.
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

// A data folder of its own with the bookmark list saved there; true when saved.
bool MakeBookmarks() {
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
  return BookmarkList->SaveToFile();
}

bool& Ready() {
  static bool ready = MakeBookmarks();
  return ready;
}

void BM_OpenBookmarkBrowser(benchmark::State& state) {
  if (!Ready()) state.SkipWithError("no bookmark list");
  TDialogLauncher launcher;
  for (auto _ : state) {
    launcher.ShowBookmarkBrowser(0);
    auto* form = dynamic_cast<TBrowserForm*>(TWinControl::FindControl(launcher.Slot(TDialogSlot::BookmarkBrowser)));
    if (form == nullptr || form->TreeViewBookmark->TotalCount() < kBookmarks + kFolders) {
      state.SkipWithError("the browser was not filled");
      break;
    }
    state.PauseTiming();
    form->Close();
    Application->ProcessMessages();
    state.ResumeTiming();
  }
}

void BM_LoadBookmarkListAlone(benchmark::State& state) {
  if (!Ready()) state.SkipWithError("no bookmark list");
  for (auto _ : state) {
    TBookmarkItems list;
    if (!list.LoadFromFile() || list.Count() != kBookmarks) state.SkipWithError("the list was not read");
  }
}

BENCHMARK(BM_OpenBookmarkBrowser)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBookmarkListAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TApplication application(nullptr);
  Ready();
  const int result =
      pellix_bench::RunWithRatios(argc, argv, {{"BM_OpenBookmarkBrowser", "BM_LoadBookmarkListAlone"}});
  BookmarkList.reset();
  std::filesystem::remove_all(std::filesystem::path(DataFolder));
  return result;
}
