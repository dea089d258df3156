// The main menu of a large store: 5,000 bookmarks in 200 folders and 5,000 form history
// entries spread over 90 days, built as the menu tree and serialised as the host
// toolbar's menu text. The baseline copies the same captions (folder names, bookmark
// and history captions) into a wide string list, so the ratio is what building and
// writing the menu costs in units of touching each caption once. That baseline makes
// none of the menu's ~80,000 items (each entry has its seven commands) nor its text
// of 2.6 million characters; a second one does that work with the plainest tree (a
// node of caption, command and sub-items per item), so its ratio is what the class
// library's menu items cost over any menu tree.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

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

struct PlainNode {
  std::u16string caption;
  std::u16string command;
  std::vector<std::unique_ptr<PlainNode>> items;
  PlainNode& Add(std::u16string itemCaption, std::u16string itemCommand = {}) {
    items.push_back(std::make_unique<PlainNode>(PlainNode{std::move(itemCaption), std::move(itemCommand), {}}));
    return *items.back();
  }
};

void WritePlain(const PlainNode& parent, std::u16string& text) {
  for (const auto& item : parent.items) {
    if (item->items.empty()) {
      text += item->caption + u"=" + item->command + u"\r\n";
      continue;
    }
    text += u"+" + item->caption + u"\r\n";
    WritePlain(*item, text);
    text += u"<\r\n";
  }
}

void AddEntry(PlainNode& parent, const TDataItem& item, int number) {
  static const char16_t* const kCommands[] = {u"Open without Submit", u"Open with Submit", u"Open without Filling",
                                              u"-", u"Save as Bookmark", u"Remove from History",
                                              u"Edit Record..."};
  PlainNode& entry = parent.Add(item.Caption());
  const std::u16string tag = Numbered("_", number);
  for (const char16_t* command : kCommands) entry.Add(command, u"Command" + tag);
}

void BuildAndWritePlainTree(benchmark::State& state) {
  SetUpOnce();
  for (auto _ : state) {
    PlainNode root;
    PlainNode& bookmarks = root.Add(u"Form Bookmarks");
    for (int f = 0; f < BookmarkList->Strings.GetCount(); ++f) bookmarks.Add(BookmarkList->Strings.Get(f));
    for (int i = 0; i < BookmarkList->Count(); ++i) {
      AddEntry(*bookmarks.items[static_cast<std::size_t>(BookmarkList->Item(i)->IntValue)], *BookmarkList->Item(i), i);
    }
    PlainNode& history = root.Add(u"Form History");
    for (int i = 0; i < HistoryList->Count(); ++i) AddEntry(history, *HistoryList->Item(i), kBookmarks + i);
    std::u16string text = u"$\r\n";
    WritePlain(root, text);
    benchmark::DoNotOptimize(text.data());
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
BENCHMARK(BuildAndWritePlainTree)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SerializeMainMenu)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"SerializeMainMenu/real_time", "CopyCaptions/real_time"},
                                      {"SerializeMainMenu/real_time", "BuildAndWritePlainTree/real_time"}},
                                     kBookmarks + kHistory);
}
