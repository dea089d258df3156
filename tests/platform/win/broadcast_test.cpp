#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"

namespace {

constexpr UINT kHello = WM_USER + 20;
constexpr UINT kQuit = WM_USER + 21;

std::mutex g_lock;
std::vector<HWND> g_heard;

LRESULT HearingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kHello || message >= MAXINTATOM) {
    std::lock_guard guard(g_lock);
    g_heard.push_back(window);
    return 7;
  }
  if (message == kQuit) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<HWND> Heard() {
  std::lock_guard guard(g_lock);
  auto heard = std::move(g_heard);
  g_heard.clear();
  std::sort(heard.begin(), heard.end());
  return heard;
}

class BroadcastTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HearingProc;
    wc.lpszClassName = u"BroadcastTest";
    RegisterClassW(&wc);
  }
  void SetUp() override {
    // Two top-level windows (one hidden), a child and a message-only window here,
    // and a top-level window on another thread that pumps.
    shown_ = Make(WS_POPUP | WS_VISIBLE, 0);
    hidden_ = Make(WS_POPUP, 0);
    Make(WS_CHILD | WS_VISIBLE, shown_);
    Make(0, HWND_MESSAGE);
    std::promise<HWND> made;
    other_ = std::thread([&made] {
      made.set_value(Make(WS_POPUP, 0));
      MSG msg;
      while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
    });
    remote_ = made.get_future().get();
  }
  void TearDown() override {
    PostMessageW(remote_, kQuit, 0, 0);
    other_.join();
    DestroyWindow(shown_);
    DestroyWindow(hidden_);
  }
  static HWND Make(DWORD style, HWND parent) {
    return CreateWindowExW(0, u"BroadcastTest", u"", style, 0, 0, 10, 10, parent, 0, 0, nullptr);
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  std::vector<HWND> TopLevel() const {
    std::vector<HWND> all{shown_, hidden_, remote_};
    std::sort(all.begin(), all.end());
    return all;
  }
  HWND shown_ = 0, hidden_ = 0, remote_ = 0;
  std::thread other_;
};

TEST_F(BroadcastTest, SendingReachesEveryTopLevelWindowBeforeItReturns) {
  SendMessageW(HWND_BROADCAST, kHello, 0, 0);
  EXPECT_EQ(Heard(), TopLevel());
  DWORD_PTR result = 99;
  EXPECT_TRUE(SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(u"BroadcastTestMessage"), 0, 0, SMTO_NORMAL,
                                  2000, &result));
  EXPECT_EQ(Heard(), TopLevel());
}

TEST_F(BroadcastTest, PostingReachesEveryTopLevelWindowThroughItsQueue) {
  ASSERT_TRUE(PostMessageW(HWND_BROADCAST, kHello, 0, 0));
  Pump();
  // The other thread's window hears it when that thread reads its queue.
  std::vector<HWND> heard;
  for (int wait = 0; wait < 1000 && heard.size() < 3; ++wait) {
    auto more = Heard();
    heard.insert(heard.end(), more.begin(), more.end());
    if (heard.size() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::sort(heard.begin(), heard.end());
  EXPECT_EQ(heard, TopLevel());
}

}  // namespace
