// The program's start-up with 10,000 items in each of the history, bookmark and
// password lists, up to the main loop's first idle moment (data start-up, settings,
// main window, tray icon, watcher thread, every message handled), against the data
// start-up alone.
#include <string>

#include "app/dialog_launcher.h"
#include "app/main_form.h"
#include "bench/common/list_sample.h"
#include "bench/common/ratio_main.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "platform/win/message_queue.h"

namespace {

using pellix_bench::kSampleItems;

pellix_bench::ListSample& TheSample() {
  static pellix_bench::ListSample sample(true, true);
  return sample;
}

bool ListsLoaded() {
  return HistoryList && HistoryList->Count() == kSampleItems && BookmarkList->Count() == kSampleItems &&
         PasswordList->Count() == kSampleItems;
}

void BM_StartToIdleLoop(benchmark::State& state) {
  if (!TheSample().ready) state.SkipWithError("no sample");
  StandaloneMode = true;
  for (auto _ : state) {
    InitData(true);
    TDialogLauncher launcher;
    auto form = std::make_unique<TMainForm>(launcher);
    form->FormCreate();
    MSG message;
    while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (!ListsLoaded() || !FirstRunCompleted) state.SkipWithError("start-up incomplete");
    state.PauseTiming();
    form.reset();
    FinalizeData();
    state.ResumeTiming();
  }
}

void BM_DataStartupAlone(benchmark::State& state) {
  if (!TheSample().ready) state.SkipWithError("no sample");
  for (auto _ : state) {
    InitData(true);
    if (!ListsLoaded()) state.SkipWithError("start-up incomplete");
    state.PauseTiming();
    FinalizeData();
    state.ResumeTiming();
  }
}

BENCHMARK(BM_StartToIdleLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataStartupAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TheSample();
  return pellix_bench::RunWithRatios(argc, argv, {{"BM_StartToIdleLoop", "BM_DataStartupAlone"}});
}
