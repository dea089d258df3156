// Message traffic as the program makes it: posting to a window of the same thread
// and dispatching (1,000,000 messages), and sending to a window of another thread that
// pumps (100,000 round trips). The baseline does the same hand-offs through a plain
// mutex-and-condition-variable queue calling a function; the ratio is what the window
// system's bookkeeping costs over the bare hand-off. A second baseline for posting adds
// the work any window system must do beside the hand-off: finding the window's queue
// from its handle when posting, finding its procedure when dispatching (both in a table
// shared by all threads, so under a lock) and stamping each message with the time.
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "bench/common/ratio_main.h"
#include "platform/win/message_queue.h"

namespace {

constexpr int kBatch = 1000;
constexpr int kPostBatches = 1000;     // 1,000,000 messages
constexpr int kSends = 100000;
constexpr UINT kWork = WM_USER + 1;
constexpr UINT kStop = WM_USER + 2;

std::uint64_t g_sum = 0;

LRESULT CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWork) {
    g_sum += wParam;
    return static_cast<LRESULT>(wParam + 1);
  }
  if (message == kStop) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = u"BenchWindow";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExW(0, u"BenchWindow", u"", 0, 0, 0, 1, 1, 0, 0, 0, nullptr);
}

void PostAndDispatch(benchmark::State& state) {
  HWND window = MakeWindow();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) PostMessageW(window, kWork, i, 0);
    MSG msg;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  DestroyWindow(window);
}

// The baseline queue: a deque under a mutex, woken by a condition variable.
struct PlainMessage {
  UINT message;
  WPARAM wParam;
  DWORD time = 0;
};

class PlainQueue {
 public:
  void Push(PlainMessage m) {
    {
      std::lock_guard guard(lock_);
      items_.push_back(m);
    }
    ready_.notify_one();
  }
  bool TryPop(PlainMessage& m) {
    std::lock_guard guard(lock_);
    if (items_.empty()) return false;
    m = items_.front();
    items_.pop_front();
    return true;
  }
  PlainMessage Pop() {
    std::unique_lock guard(lock_);
    ready_.wait(guard, [&] { return !items_.empty(); });
    PlainMessage m = items_.front();
    items_.pop_front();
    return m;
  }

 private:
  std::mutex lock_;
  std::condition_variable ready_;
  std::deque<PlainMessage> items_;
};

void PlainPostAndDispatch(benchmark::State& state) {
  PlainQueue queue;
  std::function<LRESULT(UINT, WPARAM)> handler = [](UINT message, WPARAM wParam) {
    return CountingProc(0, message, wParam, 0);
  };
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) queue.Push(PlainMessage{kWork, static_cast<WPARAM>(i)});
    PlainMessage m;
    while (queue.TryPop(m)) handler(m.message, m.wParam);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// The plain queue behind a handle table shared by threads.
struct PlainWindow {
  PlainQueue* queue;
  std::function<LRESULT(UINT, WPARAM)> handler;
};

class PlainWindowTable {
 public:
  void Add(HWND handle, PlainWindow window) {
    std::lock_guard guard(lock_);
    windows_.emplace(handle, std::move(window));
  }
  PlainQueue* QueueOf(HWND handle) {
    std::lock_guard guard(lock_);
    auto found = windows_.find(handle);
    return found == windows_.end() ? nullptr : found->second.queue;
  }
  std::function<LRESULT(UINT, WPARAM)> HandlerOf(HWND handle) {
    std::lock_guard guard(lock_);
    auto found = windows_.find(handle);
    return found == windows_.end() ? nullptr : found->second.handler;
  }

 private:
  std::mutex lock_;
  std::unordered_map<HWND, PlainWindow> windows_;
};

DWORD MillisecondsNow() {
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count());
}

void WindowedPostAndDispatch(benchmark::State& state) {
  PlainQueue queue;
  PlainWindowTable table;
  constexpr HWND kHandle = 0x10014;
  table.Add(kHandle, PlainWindow{&queue, [](UINT message, WPARAM wParam) { return CountingProc(0, message, wParam, 0); }});
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      table.QueueOf(kHandle)->Push(PlainMessage{kWork, static_cast<WPARAM>(i), MillisecondsNow()});
    }
    PlainMessage m;
    while (queue.TryPop(m)) {
      if (auto handler = table.HandlerOf(kHandle)) handler(m.message, m.wParam);
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void SendAcrossThreads(benchmark::State& state) {
  std::promise<HWND> made;
  std::thread receiver([&made] {
    made.set_value(MakeWindow());
    MSG msg;
    while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  });
  HWND window = made.get_future().get();
  for (auto _ : state) benchmark::DoNotOptimize(SendMessageW(window, kWork, 1, 0));
  PostMessageW(window, kStop, 0, 0);
  receiver.join();
  state.SetItemsProcessed(state.iterations());
}

void PlainSendAcrossThreads(benchmark::State& state) {
  PlainQueue requests, answers;
  std::thread receiver([&] {
    for (;;) {
      PlainMessage m = requests.Pop();
      if (m.message == kStop) return;
      answers.Push(PlainMessage{m.message, static_cast<WPARAM>(CountingProc(0, m.message, m.wParam, 0))});
    }
  });
  for (auto _ : state) {
    requests.Push(PlainMessage{kWork, 1});
    benchmark::DoNotOptimize(answers.Pop());
  }
  requests.Push(PlainMessage{kStop, 0});
  receiver.join();
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(PostAndDispatch)->Iterations(kPostBatches);
BENCHMARK(PlainPostAndDispatch)->Iterations(kPostBatches);
BENCHMARK(WindowedPostAndDispatch)->Iterations(kPostBatches);
BENCHMARK(SendAcrossThreads)->Iterations(kSends);
BENCHMARK(PlainSendAcrossThreads)->Iterations(kSends);

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/pellix-bench-win-XXXXXX";
  std::filesystem::path home = mkdtemp(pattern);
  setenv("PELLIX_HOME", home.c_str(), 1);
  const std::string post = "PostAndDispatch/iterations:" + std::to_string(kPostBatches);
  const std::string send = "SendAcrossThreads/iterations:" + std::to_string(kSends);
  const int failed = pellix_bench::RunWithRatios(argc, argv,
                                                 {{post, "Plain" + post},
                                                  {post, "Windowed" + post},
                                                  {send, "Plain" + send}});
  std::filesystem::remove_all(home);
  return failed != 0 || g_sum == 0;
}
