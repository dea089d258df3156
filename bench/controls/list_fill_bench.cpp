// Filling a wide report list view with 100,000 items (a wide caption and a wide
// sub-item each) against filling a plain std::vector with the same strings: the ratio
// is what the items' objects, their 8-bit copies and the window's messages cost over
// keeping the bare texts. A second baseline does what any list control of wide items
// over an 8-bit class library must do beside that: an item object per item, found by
// its id, holding the wide caption and sub-item with their 8-bit forms, and the
// window's own record of the item; its ratio is what the messages cost.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/ratio_main.h"
#include "controls/unicode/uni_com_ctrls.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"

namespace {

constexpr int kItems = 100000;

struct Texts {
  std::vector<std::u16string> captions;
  std::vector<std::u16string> subItems;
};

const Texts& TheTexts() {
  static const Texts texts = [] {
    Texts made;
    for (int i = 0; i < kItems; ++i) {
      std::u16string number = platform::AnsiToWide(std::to_string(i));
      made.captions.push_back(u"\u00c9l\u00e9ment " + number);
      made.subItems.push_back(u"\u0417\u0430\u043f\u0438\u0441\u044c " + number);
    }
    return made;
  }();
  return texts;
}

void BM_FillWideListView(benchmark::State& state) {
  const Texts& texts = TheTexts();
  TApplication application(nullptr);
  TForm form(nullptr);
  form.SetBounds(0, 0, 400, 300);
  auto* list = new TUniListView(&form);
  list->SetParent(&form);
  list->SetViewStyle(TViewStyle::vsReport);
  list->Columns().Add()->SetCaption(u"Caption");
  list->Columns().Add()->SetCaption(u"Sub-item");
  for (auto _ : state) {
    list->Items().BeginUpdate();
    for (int i = 0; i < kItems; ++i) {
      TUniListItem* item = list->Items().Add();
      item->SetCaption(texts.captions[static_cast<std::size_t>(i)]);
      item->SubItems().Add(texts.subItems[static_cast<std::size_t>(i)]);
    }
    list->Items().EndUpdate();
    state.PauseTiming();
    if (list->Items().Count() != kItems) state.SkipWithError("items missing");
    list->Items().Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}

void BM_FillVector(benchmark::State& state) {
  const Texts& texts = TheTexts();
  for (auto _ : state) {
    std::vector<std::u16string> captions, subItems;
    for (int i = 0; i < kItems; ++i) {
      captions.push_back(texts.captions[static_cast<std::size_t>(i)]);
      subItems.push_back(texts.subItems[static_cast<std::size_t>(i)]);
    }
    benchmark::DoNotOptimize(captions.data());
    benchmark::DoNotOptimize(subItems.data());
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}

struct PlainItem {
  std::u16string caption;
  std::string ansiCaption;
  std::vector<std::u16string> subItems;
  std::vector<std::string> ansiSubItems;
};

struct PlainWindowRecord {
  std::uint32_t id;
  std::vector<std::u16string> texts;
};

void BM_FillItemObjects(benchmark::State& state) {
  const Texts& texts = TheTexts();
  for (auto _ : state) {
    std::map<std::uint32_t, std::unique_ptr<PlainItem>> items;
    std::vector<PlainWindowRecord> window;
    for (int i = 0; i < kItems; ++i) {
      const auto at = static_cast<std::size_t>(i);
      auto item = std::make_unique<PlainItem>();
      item->caption = texts.captions[at];
      item->ansiCaption = platform::WideToAnsi(item->caption);
      item->subItems.push_back(texts.subItems[at]);
      item->ansiSubItems.push_back(platform::WideToAnsi(texts.subItems[at]));
      window.push_back(PlainWindowRecord{static_cast<std::uint32_t>(i), {u"", u""}});
      items.emplace(static_cast<std::uint32_t>(i), std::move(item));
    }
    benchmark::DoNotOptimize(items.size());
    benchmark::DoNotOptimize(window.data());
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}

BENCHMARK(BM_FillWideListView)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FillVector)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FillItemObjects)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"BM_FillWideListView/iterations:3", "BM_FillVector/iterations:3"},
                                      {"BM_FillWideListView/iterations:3", "BM_FillItemObjects/iterations:3"}}, kItems);
}
