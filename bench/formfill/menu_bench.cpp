// The main menu of a large store: 5,000 bookmarks in 200 folders and 5,000 form history
// entries spread over 90 days, built as the menu tree and serialised as the host
// toolbar's menu text. The baseline copies the same captions (folder names, bookmark
// and history captions) into a wide string list, so the ratio is what building and
// writing the menu costs in units of touching each caption once.
#include <cmath>
#include <memory>

#include "bench/common/ratio_main.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "formfill/app_menus.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"

namespace {

constexpr int kBookmarks = 5000;
constexpr int kFolders = 200;
constexpr int kHistory = 5000;
constexpr int kHistoryDays = 90;

std::u16string Numbered(const char* prefix, int n) { return platform::AnsiToWide(prefix + std::to_string(n)); }

void SetUpOnce() {
  static bool done = [] {
    const double today = std::floor(platform::Now());
    BookmarkList = std::make_unique<TBookmarkItems>();
    for (int f = 0; f < kFolders; ++f) BookmarkList->Strings.Add(Numbered("Folder ", f));
    for (int i = 0; i < kBookmarks; ++i) {
      TDataItem* item = BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get()));
      item->SetCaption(Numbered("Order form of shop number ", i));
      item->IntValue = i % kFolders;
      item->Date = today - kHistoryDays - 1;  // before the history was last cleared
    }
    HistoryList = std::make_unique<THistoryItems>();
    for (int i = 0; i < kHistory; ++i) {
      TDataItem* item = HistoryList->Add(std::make_unique<TFormItem>(HistoryList.get()));
      item->SetCaption(Numbered("Registration page of site ", i));
      item->Date = today - (i * kHistoryDays) / kHistory + 0.5;
    }
    PasswordList = std::make_unique<TPasswordItems>();
    MenuSettings.HistoryDays = kHistoryDays;
    MenuSettings.ClearHistory = today - kHistoryDays;
    return true;
  }();
  (void)done;
}

void CopyCaptions(benchmark::State& state) {
  SetUpOnce();
  for (auto _ : state) {
    TUniStringList list;
    for (int f = 0; f < BookmarkList->Strings.GetCount(); ++f) list.Add(BookmarkList->Strings.Get(f));
    for (int i = 0; i < BookmarkList->Count(); ++i) list.Add(BookmarkList->Item(i)->Caption());
    for (int i = 0; i < HistoryList->Count(); ++i) list.Add(HistoryList->Item(i)->Caption());
    benchmark::DoNotOptimize(list.GetCount());
  }
}

void SerializeMainMenu(benchmark::State& state) {
  SetUpOnce();
  std::size_t length = 0;
  for (auto _ : state) {
    const std::u16string text = SerializeMenu();
    length = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["text_chars"] = static_cast<double>(length);
}

BENCHMARK(CopyCaptions)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SerializeMainMenu)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"SerializeMainMenu/real_time", "CopyCaptions/real_time"}},
                                     kBookmarks + kHistory);
}
