#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/clock.h"
#include "platform/base/errors.h"

namespace {

// What a test window saw, shared with the test body (guarded: procedures run on
// other threads in the cross-thread tests).
struct Seen {
  std::mutex lock;
  std::vector<UINT> messages;
  std::vector<DWORD> threads;
  void Add(UINT message) {
    std::lock_guard guard(lock);
    messages.push_back(message);
    threads.push_back(platform::win::ThisThreadId());
  }
};
Seen* g_seen = nullptr;
std::atomic<HWND> g_echo_to{0};

constexpr UINT kAsk = WM_USER + 1;     // answers wParam * 2
constexpr UINT kBounce = WM_USER + 2;  // sends kAsk back to g_echo_to and adds 1

LRESULT TestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_seen && message != WM_NCCREATE && message != WM_NCCALCSIZE && message != WM_CREATE &&
      message != WM_DESTROY && message != WM_NCDESTROY && message != WM_SHOWWINDOW) {
    g_seen->Add(message);
  }
  switch (message) {
    case kAsk: return static_cast<LRESULT>(wParam * 2);
    case kBounce: return SendMessageW(g_echo_to, kAsk, wParam, 0) + 1;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

class QueueTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestProc;
    wc.lpszClassName = u"QueueTestWindow";
    wc.style = CS_GLOBALCLASS;
    RegisterClassW(&wc);
  }
  void SetUp() override { g_seen = &seen_; }
  void TearDown() override {
    g_seen = nullptr;
    platform::test_clock::Release();
    MSG msg;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) {
    }
  }
  static HWND Make(bool visible = false) {
    return CreateWindowExW(0, u"QueueTestWindow", u"", visible ? WS_VISIBLE : 0, 0, 0, 10, 10, 0,
                           0, 0, nullptr);
  }
  Seen seen_;
};

// A thread that owns one window and pumps messages until it is told to quit.
class PumpThread {
 public:
  PumpThread() {
    std::promise<std::pair<HWND, DWORD>> made;
    auto ready = made.get_future();
    thread_ = std::thread([&made] {
      HWND window = CreateWindowExW(0, u"QueueTestWindow", u"", 0, 0, 0, 1, 1, 0, 0, 0, nullptr);
      made.set_value({window, platform::win::ThisThreadId()});
      MSG msg;
      while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
      DestroyWindow(window);
    });
    std::tie(window_, id_) = ready.get();
  }
  // A posted WM_QUIT ends the thread's loop like PostQuitMessage on the thread.
  ~PumpThread() {
    PostThreadMessageW(id_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }
  DWORD id() const { return id_; }

 private:
  std::thread thread_;
  HWND window_ = 0;
  DWORD id_ = 0;
};

TEST_F(QueueTest, RetrievalFollowsThePlatformOrder) {
  platform::test_clock::Freeze(1000, 45000.0);
  HWND window = Make(true);  // visible: it waits for WM_PAINT
  SetTimer(window, 7, 50, nullptr);
  platform::test_clock::Advance(50);
  PostMessageW(window, WM_USER, 1, 0);
  PostQuitMessage(3);
  PostMessageW(window, WM_USER, 2, 0);
  std::vector<std::pair<UINT, WPARAM>> order;
  MSG msg;
  while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) {
    order.emplace_back(msg.message, msg.wParam);
    if (msg.message == WM_PAINT) DispatchMessageW(&msg);  // validates
    if (order.size() > 10) break;
  }
  EXPECT_EQ(order, (std::vector<std::pair<UINT, WPARAM>>{
                       {WM_USER, 1}, {WM_USER, 2}, {WM_QUIT, 3}, {WM_PAINT, 0}, {WM_TIMER, 7}}));
  DestroyWindow(window);
}

TEST_F(QueueTest, FiltersAndNoRemoveLeaveOtherMessages) {
  HWND a = Make();
  HWND b = Make();
  PostMessageW(a, WM_USER, 1, 0);
  PostMessageW(b, WM_USER + 5, 2, 0);
  PostThreadMessageW(platform::win::ThisThreadId(), WM_APP, 3, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageW(&msg, static_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  ASSERT_TRUE(PeekMessageW(&msg, 0, WM_USER + 5, WM_USER + 5, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, b);
  ASSERT_TRUE(PeekMessageW(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a);
  EXPECT_FALSE(PeekMessageW(&msg, 0, 0, 0, PM_REMOVE));
  DestroyWindow(a);
  EXPECT_FALSE(PostMessageW(a, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  DestroyWindow(b);
}

// A thread's posts to itself and other threads' posts to it come out in the order
// they were made, also after a filter took one from between them.
TEST_F(QueueTest, PostsOfTheThreadAndOfOthersKeepTheirOrder) {
  HWND a = Make();
  HWND b = Make();
  auto postFromOther = [](HWND window, WPARAM n) { std::thread([=] { PostMessageW(window, WM_USER, n, 0); }).join(); };
  MSG msg;
  auto takeAll = [&] {
    std::vector<WPARAM> order;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) order.push_back(msg.wParam);
    return order;
  };
  PostMessageW(a, WM_USER, 1, 0);
  postFromOther(b, 2);
  PostMessageW(a, WM_USER, 3, 0);
  postFromOther(a, 4);
  ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  PostMessageW(a, WM_USER, 5, 0);
  EXPECT_EQ(takeAll(), (std::vector<WPARAM>{1, 3, 4, 5}));

  PostMessageW(a, WM_USER, 1, 0);
  postFromOther(b, 2);
  ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));
  PostMessageW(a, WM_USER, 3, 0);
  postFromOther(a, 4);
  PostMessageW(a, WM_USER, 5, 0);
  EXPECT_EQ(takeAll(), (std::vector<WPARAM>{1, 3, 4, 5}));
  DestroyWindow(a);
  DestroyWindow(b);
}

// A wait for one window's messages is not ended by the thread's own post to another.
TEST_F(QueueTest, GetMessageForAWindowWaitsPastTheThreadsOwnPostToAnother) {
  HWND a = Make();
  HWND b = Make();
  PostMessageW(a, WM_USER, 1, 0);
  std::thread poster([b] { PostMessageW(b, WM_USER, 2, 0); });
  MSG msg;
  ASSERT_GT(GetMessageW(&msg, b, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 2u);
  poster.join();
  ASSERT_TRUE(PeekMessageW(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a);
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST_F(QueueTest, SendAcrossThreadsRunsOnTheReceiverAndBlocksTheSender) {
  PumpThread other;
  EXPECT_EQ(SendMessageW(other.window(), kAsk, 21, 0), 42);
  {
    std::lock_guard guard(seen_.lock);
    ASSERT_EQ(seen_.threads.size(), 1u);
    EXPECT_EQ(seen_.threads[0], other.id());
  }
  // Text messages carry pointers; the sender waits, so they stay valid.
  ASSERT_TRUE(SetWindowTextW(other.window(), u"across"));
  char16_t text[16];
  EXPECT_EQ(GetWindowTextW(other.window(), text, 16), 6);
  EXPECT_EQ(std::u16string(text), u"across");
}

TEST_F(QueueTest, ASendBackToTheWaitingSenderIsHandledInsideItsWait) {
  HWND mine = Make();
  g_echo_to = mine;
  PumpThread other;
  EXPECT_EQ(SendMessageW(other.window(), kBounce, 5, 0), 11);
  std::lock_guard guard(seen_.lock);
  ASSERT_EQ(seen_.messages, (std::vector<UINT>{kBounce, kAsk}));
  EXPECT_EQ(seen_.threads[0], other.id());
  EXPECT_EQ(seen_.threads[1], platform::win::ThisThreadId());
  DestroyWindow(mine);
}

TEST_F(QueueTest, SendTimeoutGivesUpOnAThreadThatDoesNotPump) {
  std::promise<HWND> made;
  std::promise<void> release;
  std::thread idle([&] {
    made.set_value(Make());
    release.get_future().wait();
    MSG msg;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  });
  HWND window = made.get_future().get();
  DWORD_PTR result = 99;
  EXPECT_FALSE(SendMessageTimeoutW(window, kAsk, 1, 0, SMTO_NORMAL, 20, &result));
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  release.set_value();
  idle.join();
  // The thread ended: its windows are gone and sends fail at once.
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(SendMessageW(window, kAsk, 1, 0), 0);
}

TEST_F(QueueTest, GetMessageWakesForAPostFromAnotherThread) {
  // A thread has a queue only once it calls for messages; make it before anyone posts.
  MSG first;
  PeekMessageW(&first, 0, 0, 0, PM_NOREMOVE);
  std::thread poster([id = platform::win::ThisThreadId()] { PostThreadMessageW(id, WM_APP, 9, 0); });
  MSG msg;
  ASSERT_GT(GetMessageW(&msg, 0, 0, 0), 0);
  EXPECT_EQ(msg.message, WM_APP);
  EXPECT_EQ(msg.wParam, 9u);
  poster.join();
  DWORD goneId = 0;
  std::thread gone([&goneId] {
    MSG m;
    PeekMessageW(&m, 0, 0, 0, PM_NOREMOVE);
    goneId = platform::win::ThisThreadId();
  });
  gone.join();
  EXPECT_FALSE(PostThreadMessageW(goneId, WM_APP, 0, 0));
}

std::vector<std::pair<HWND, UINT_PTR>> g_timer_calls;
void TimerCallback(HWND window, UINT message, UINT_PTR id, DWORD) {
  EXPECT_EQ(message, WM_TIMER);
  g_timer_calls.emplace_back(window, id);
}

TEST_F(QueueTest, TimersFollowTheFrozenClock) {
  platform::test_clock::Freeze(5000, 45000.0);
  HWND window = Make();
  auto timersNow = [&] {
    std::vector<UINT_PTR> ids;
    MSG msg;
    while (PeekMessageW(&msg, 0, WM_TIMER, WM_TIMER, PM_REMOVE)) {
      ids.push_back(msg.wParam);
      DispatchMessageW(&msg);
    }
    return ids;
  };
  ASSERT_EQ(SetTimer(window, 1, 100, nullptr), 1u);
  UINT_PTR loose = SetTimer(0, 0, 250, TimerCallback);
  ASSERT_NE(loose, 0u);
  EXPECT_TRUE(timersNow().empty());
  platform::test_clock::Advance(99);
  EXPECT_TRUE(timersNow().empty());
  platform::test_clock::Advance(1);
  EXPECT_EQ(timersNow(), std::vector<UINT_PTR>{1});
  // Missed periods give one message, not one per period.
  platform::test_clock::Advance(1000);
  EXPECT_EQ(timersNow(), (std::vector<UINT_PTR>{1, loose}));
  EXPECT_EQ(g_timer_calls, (std::vector<std::pair<HWND, UINT_PTR>>{{0, loose}}));
  // Setting the same timer again restarts its period.
  platform::test_clock::Advance(50);
  SetTimer(window, 1, 100, nullptr);
  platform::test_clock::Advance(60);
  EXPECT_TRUE(timersNow().empty());
  EXPECT_TRUE(KillTimer(window, 1));
  EXPECT_FALSE(KillTimer(window, 1));
  platform::test_clock::Advance(500);
  EXPECT_EQ(timersNow(), std::vector<UINT_PTR>{loose});
  KillTimer(0, loose);
  SetTimer(window, 2, 10, nullptr);
  DestroyWindow(window);  // its timers go with it
  platform::test_clock::Advance(500);
  EXPECT_TRUE(timersNow().empty());
  g_timer_calls.clear();
}

HHOOK g_hook = 0;
std::vector<UINT> g_hooked;
LRESULT SwallowHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    g_hooked.push_back(msg->message);
    if (msg->message == WM_CHAR && msg->wParam >= 256) {
      DispatchMessageW(msg);
      msg->message = WM_NULL;
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

TEST_F(QueueTest, GetMessageHookSeesWideCharactersBeforeAnAnsiLoop) {
  HWND window = Make();
  g_hook = SetWindowsHookExW(WH_GETMESSAGE, SwallowHook, 0, platform::win::ThisThreadId());
  ASSERT_NE(g_hook, 0u);
  PostMessageW(window, WM_CHAR, 0x0416, 0);  // outside the 8-bit code page
  PostMessageW(window, WM_CHAR, 0x00E9, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_NULL);  // the hook delivered it already
  ASSERT_TRUE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_CHAR);
  EXPECT_EQ(msg.wParam, 0xE9u);
  EXPECT_EQ(g_hooked, (std::vector<UINT>{WM_CHAR, WM_CHAR}));
  {
    std::lock_guard guard(seen_.lock);
    EXPECT_EQ(seen_.messages, std::vector<UINT>{WM_CHAR});
  }
  EXPECT_TRUE(UnhookWindowsHookEx(g_hook));
  EXPECT_FALSE(UnhookWindowsHookEx(g_hook));
  DestroyWindow(window);
}

TEST_F(QueueTest, TranslateMessageTypesCharactersWithShift) {
  HWND window = Make();
  auto type = [&](std::vector<std::pair<UINT, WPARAM>> keys) {
    for (auto [message, key] : keys) PostMessageW(window, message, key, 0);
    std::u16string typed;
    MSG msg;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      if (msg.message == WM_CHAR) typed += static_cast<char16_t>(msg.wParam);
    }
    return typed;
  };
  EXPECT_EQ(type({{WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}, {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, 'B'},
                  {WM_KEYUP, VK_SHIFT}, {WM_KEYDOWN, '1'}}),
            u"aB1");
  EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
  DestroyWindow(window);
}

}  // namespace
