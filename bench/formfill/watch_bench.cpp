// Watching 200 browser windows: each window is opened on a page with a form; the
// watcher thread scans them, binds a watcher to each, the after-navigation passes fill
// every form from its stored form and report the fill to the main window (command 18).
// The baseline opens the same 200 windows on the same page with no watcher, so the
// ratio is what watching, filling and reporting cost in units of plain page loads.
#include <atomic>
#include <filesystem>
#include <vector>

#include "bench/common/ratio_main.h"
#include "data/app_services.h"
#include "data/data_globals.h"
#include "data/form_items.h"
#include "formfill/after_navigate.h"
#include "formfill/ie_win.h"
#include "formfill/main_thread.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"

namespace {

using platform::com::ComPtr;

constexpr int kWindows = 200;
constexpr char16_t kPage[] = u"http://bench.test/order";

// The main window as the watcher sees it: it counts the fill reports.
class CountingServices : public TAppServices {
 public:
  bool PostToMainWindow(WPARAM command, LPARAM) override {
    if (command == kCmdAutoFillNotice) ++reports;
    return true;
  }
  LRESULT SendToMainWindow(WPARAM, LPARAM) override { return 0; }
  bool CheckUnlock(HWND, int, bool) override { return true; }
  bool IsUnlocked() override { return true; }
  bool PostScanRequest() override { return true; }
  bool InstallerWindowExists() override { return false; }
  std::atomic<int> reports{0};
};

void SetUpOnce() {
  static bool done = [] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    auto& browser = platform::browser::InProcessBrowser::Instance();
    browser.Install();
    auto pages = std::make_shared<platform::browser::PageMap>();
    pages->Add(kPage,
               "<html><body><form name=order action=/sent><input name=first><input name=last>"
               "<input name=email><input name=city><select name=size><option>S<option>M<option>L</select>"
               "</form></body></html>");
    browser.SetPages(pages);
    DataFolder = (std::filesystem::temp_directory_path() / "pellix-watch-bench").string() + "/";
    CreateFixedCrypt();
    BookmarkList = std::make_unique<TBookmarkItems>();
    auto* stored = static_cast<TFormItem*>(BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get())));
    stored->SetURL(kPage);
    stored->SetFormName(u"order");
    for (const char16_t* name : {u"first", u"last", u"email", u"city", u"size"}) {
      TFormListItem field;
      field.Name = name;
      field.Value = name == std::u16string(u"size") ? u"M" : u"value";
      stored->AddField(field);
    }
    stored->EncodeFields();
    formfill::TPageFillSettings settings;
    settings.AutoFill = true;
    formfill::SetPageFillSettings(settings);
    FirstRunCompleted.store(true);
    return true;
  }();
  (void)done;
}

std::vector<ComPtr<IWebBrowser2>> OpenPages() {
  std::vector<ComPtr<IWebBrowser2>> windows;
  for (int i = 0; i < kWindows; ++i) {
    windows.push_back(platform::browser::InProcessBrowser::Instance().OpenWindow());
    platform::browser::NavigateAndWait(windows.back().get(), kPage);
  }
  return windows;
}

void LoadPages(benchmark::State& state) {
  SetUpOnce();
  for (auto _ : state) {
    std::vector<ComPtr<IWebBrowser2>> windows = OpenPages();
    state.PauseTiming();
    platform::browser::InProcessBrowser::Instance().CloseAll();
    state.ResumeTiming();
  }
}

void WatchFillReport(benchmark::State& state) {
  SetUpOnce();
  CountingServices services;
  InstallAppServices(&services);
  formfill::TMainThread watcher(0);
  for (auto _ : state) {
    services.reports.store(0);
    std::vector<ComPtr<IWebBrowser2>> windows = OpenPages();
    watcher.RequestScan();
    watcher.WaitForCycle();
    formfill::TAfterNavigateThr::WaitForAll();
    if (services.reports.load() != kWindows) state.SkipWithError("not every window was filled and reported");
    state.PauseTiming();
    platform::browser::InProcessBrowser::Instance().CloseAll();
    watcher.RequestScan();
    watcher.WaitForCycle();
    state.ResumeTiming();
  }
  InstallAppServices(nullptr);
}

BENCHMARK(LoadPages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(WatchFillReport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"WatchFillReport/iterations:3/real_time",
                                                   "LoadPages/iterations:3/real_time"}},
                                     kWindows);
}
