#include "platform/win/message_queue.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/atoms.h"
#include "platform/win/display.h"
#include "platform/win/input.h"
#include "platform/win/remote_windows.h"

namespace {

struct ThreadQueue;

// A message sent from another thread; the sender waits on its own queue until done.
struct SentMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool unicode;
  std::shared_ptr<ThreadQueue> sender;
  LRESULT result = 0;  // guarded by the sender's queue lock
  bool done = false;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  ULONGLONG due;
};

struct ThreadQueue {
  explicit ThreadQueue(DWORD id) : thread(id) {}
  const DWORD thread;
  std::mutex lock;
  std::condition_variable wake;
  std::deque<MSG> posted;
  // Whether `posted` holds any, set with it under the lock and read without it by the
  // queue's own thread, which asks on every post to itself.
  std::atomic<bool> anyPosted = false;
  // What the queue's own thread posted to itself while `posted` was empty, so all of it
  // comes before anything in `posted`. Only that thread touches it, without the lock;
  // `ownPosts` counts its arrivals as `signals` counts the others.
  std::deque<MSG> ownPosted;
  std::uint64_t ownPosts = 0;
  std::deque<std::shared_ptr<SentMessage>> sent;
  // Whether `sent` holds any, set with it under the lock and read without it: the
  // queue's thread asks on every message, and mostly nothing was sent.
  std::atomic<bool> anySent = false;
  std::vector<Timer> timers;
  std::uint64_t signals = 0;  // grows with every arrival, so a waiter sees news
  bool quit = false;
  int quitCode = 0;
  bool dead = false;
  // Touched by the queue's own thread only.
  int handlingSent = 0;
  DWORD messageTime = 0;
  std::array<BYTE, 256> keys{};
};

using Lock = std::lock_guard<std::mutex>;

struct Registry {
  std::mutex lock;
  std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
  UINT_PTR nextTimerId = 1;
};

Registry& Queues() {
  static Registry registry;
  return registry;
}

std::shared_ptr<ThreadQueue> QueueOf(DWORD thread) {
  Lock guard(Queues().lock);
  auto found = Queues().queues.find(thread);
  return found == Queues().queues.end() ? nullptr : found->second;
}

void Complete(const std::shared_ptr<SentMessage>& sent, LRESULT result) {
  {
    Lock guard(sent->sender->lock);
    sent->result = result;
    sent->done = true;
  }
  sent->sender->wake.notify_all();
}

// Owns the calling thread's queue; when the thread ends its windows go and senders
// still waiting on it get 0.
class QueueHolder {
 public:
  QueueHolder() : queue_(std::make_shared<ThreadQueue>(platform::win::ThisThreadId())) {
    Lock guard(Queues().lock);
    Queues().queues[queue_->thread] = queue_;
  }
  ~QueueHolder() {
    {
      Lock guard(Queues().lock);
      Queues().queues.erase(queue_->thread);
    }
    std::deque<std::shared_ptr<SentMessage>> pending;
    {
      Lock guard(queue_->lock);
      queue_->dead = true;
      pending.swap(queue_->sent);
      queue_->anySent = false;
    }
    for (auto& sent : pending) Complete(sent, 0);
    platform::win::detail::ForgetThreadWindows(queue_->thread);
  }
  QueueHolder(const QueueHolder&) = delete;
  QueueHolder& operator=(const QueueHolder&) = delete;
  const std::shared_ptr<ThreadQueue>& queue() const { return queue_; }

 private:
  std::shared_ptr<ThreadQueue> queue_;
};

const std::shared_ptr<ThreadQueue>& MyQueue() {
  thread_local QueueHolder holder;
  return holder.queue();
}

void Signal(ThreadQueue& queue) {
  {
    Lock guard(queue.lock);
    ++queue.signals;
  }
  queue.wake.notify_all();
}

// Runs the messages other threads have sent to this one.
void HandleSentMessages(ThreadQueue& queue) {
  while (queue.anySent) {
    std::shared_ptr<SentMessage> sent;
    {
      Lock guard(queue.lock);
      sent = queue.sent.front();
      queue.sent.pop_front();
      queue.anySent = !queue.sent.empty();
    }
    ++queue.handlingSent;
    LRESULT result = platform::win::detail::CallWindow(sent->hwnd, sent->message, sent->wParam,
                                                       sent->lParam, sent->unicode);
    --queue.handlingSent;
    Complete(sent, result);
  }
}

// Converts a character message between the queue's wide form and ANSI.
WPARAM WideChar(WPARAM ansi) {
  char byte = static_cast<char>(ansi & 0xFF);
  return platform::AnsiToWide(std::string_view(&byte, 1))[0];
}
WPARAM AnsiChar(WPARAM wide) {
  char16_t unit = static_cast<char16_t>(wide & 0xFFFF);
  return static_cast<unsigned char>(platform::WideToAnsi(std::u16string_view(&unit, 1))[0]);
}
bool IsCharMessage(UINT message) { return message == WM_CHAR || message == WM_SYSCHAR; }

// Queued runs while the message is in the queue but cannot be taken from it yet.
bool Post(const std::shared_ptr<ThreadQueue>& queue, HWND hwnd, UINT message, WPARAM wParam,
          LPARAM lParam, bool unicode, const std::function<void()>& queued = {}) {
  if (!unicode && IsCharMessage(message)) wParam = WideChar(wParam);
  const MSG msg{hwnd, message, wParam, lParam, GetTickCount(), POINT{}};
  // Only the queue's own thread ends it or waits on it, so a post to itself that
  // nothing from other threads precedes needs neither the lock nor a wake.
  if (queue->thread == platform::win::ThisThreadId() && !queue->anyPosted.load(std::memory_order_acquire)) {
    if (queue->dead) {
      SetLastError(ERROR_INVALID_THREAD_ID);
      return false;
    }
    queue->ownPosted.push_back(msg);
    ++queue->ownPosts;
    if (queued) queued();
    return true;
  }
  {
    Lock guard(queue->lock);
    if (queue->dead) {
      SetLastError(ERROR_INVALID_THREAD_ID);
      return false;
    }
    queue->posted.push_back(msg);
    queue->anyPosted.store(true, std::memory_order_release);
    ++queue->signals;
    if (queued) queued();
  }
  queue->wake.notify_all();
  return true;
}

BOOL PostToThread(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
  auto queue = QueueOf(threadId);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return Post(queue, 0, message, wParam, lParam, unicode);
}

BOOL Broadcast(UINT message, WPARAM wParam, LPARAM lParam, bool unicode, bool send, std::optional<UINT> timeout);

// A window of this process; FALSE when its thread has no queue.
BOOL PostToOwnWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool unicode,
                     const std::function<void()>& queued = {}) {
  DWORD thread = platform::win::detail::WindowThread(hwnd);
  // The calling thread's own queue is at hand without the registry's lock.
  if (thread == platform::win::ThisThreadId()) return Post(MyQueue(), hwnd, message, wParam, lParam, unicode, queued);
  auto queue = thread ? QueueOf(thread) : nullptr;
  if (!queue) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return Post(queue, hwnd, message, wParam, lParam, unicode, queued);
}

BOOL PostToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
  if (hwnd == 0) return Post(MyQueue(), 0, message, wParam, lParam, unicode);
  if (hwnd == HWND_BROADCAST) return Broadcast(message, wParam, lParam, unicode, false, std::nullopt);
  if (platform::win::detail::IsRemoteHandle(hwnd)) return platform::win::detail::PostRemote(hwnd, message, wParam, lParam);
  return PostToOwnWindow(hwnd, message, wParam, lParam, unicode);
}

enum class SendOutcome { kAnswered, kTimedOut, kFailed };

SendOutcome Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool unicode,
                 std::optional<UINT> timeout, LRESULT& result);

// HWND_BROADCAST: every top-level window of this process (not child or message-only
// windows) gets the message, posted or sent (each send waiting at most `timeout`);
// a registered message is also posted to the top-level windows of the user's other
// processes, whose answers a send does not wait for.
BOOL Broadcast(UINT message, WPARAM wParam, LPARAM lParam, bool unicode, bool send, std::optional<UINT> timeout) {
  for (HWND window : platform::win::detail::TopLevelWindows()) {
    LRESULT ignored;
    if (send) {
      Send(window, message, wParam, lParam, unicode, timeout, ignored);
    } else {
      PostToWindow(window, message, wParam, lParam, unicode);
    }
  }
  if (message >= MAXINTATOM) platform::win::detail::BroadcastRemote(message, wParam, lParam);
  return TRUE;
}

SendOutcome Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool unicode,
                 std::optional<UINT> timeout, LRESULT& result) {
  result = 0;
  if (hwnd == HWND_BROADCAST) {
    Broadcast(message, wParam, lParam, unicode, true, timeout);
    return SendOutcome::kAnswered;
  }
  if (platform::win::detail::IsRemoteHandle(hwnd)) {
    // Only WM_COPYDATA carries its data to another process.
    constexpr UINT kRemoteWait = 5000;
    if (message != WM_COPYDATA) {
      SetLastError(ERROR_ACCESS_DENIED);
      return SendOutcome::kFailed;
    }
    bool answered = platform::win::detail::SendRemoteCopyData(
        hwnd, static_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam), timeout.value_or(kRemoteWait),
        result);
    return answered ? SendOutcome::kAnswered : SendOutcome::kTimedOut;
  }
  DWORD thread = 0;
  if (auto own = platform::win::detail::CallOwnWindow(hwnd, message, wParam, lParam, unicode, thread)) {
    result = *own;
    return SendOutcome::kAnswered;
  }
  if (thread == 0) return SendOutcome::kFailed;
  auto target = QueueOf(thread);
  if (!target) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return SendOutcome::kFailed;
  }
  const auto& me = MyQueue();
  auto sent = std::make_shared<SentMessage>(SentMessage{hwnd, message, wParam, lParam, unicode, me});
  {
    Lock guard(target->lock);
    if (target->dead) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return SendOutcome::kFailed;
    }
    target->sent.push_back(sent);
    target->anySent = true;
    ++target->signals;
  }
  target->wake.notify_all();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout.value_or(0));
  for (;;) {
    HandleSentMessages(*me);
    std::unique_lock guard(me->lock);
    if (sent->done) {
      result = sent->result;
      return SendOutcome::kAnswered;
    }
    auto ready = [&] { return sent->done || !me->sent.empty(); };
    if (!timeout) {
      me->wake.wait(guard, ready);
    } else if (!me->wake.wait_until(guard, deadline, ready)) {
      SetLastError(ERROR_TIMEOUT);
      return SendOutcome::kTimedOut;
    }
  }
}

bool InRange(UINT message, UINT low, UINT high) {
  return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool WindowMatches(HWND hwnd, HWND filter) {
  if (filter == static_cast<HWND>(-1)) return hwnd == 0;
  if (filter == 0) return true;
  return hwnd != 0 && platform::win::detail::MatchesFilter(hwnd, filter);
}

struct HookEntry {
  HHOOK handle;
  int kind;
  HOOKPROC proc;
  DWORD thread;
};

struct HookTable {
  std::mutex lock;
  std::vector<HookEntry> hooks;  // newest first
  // Read without the lock: every retrieved message asks, and mostly there is none.
  std::atomic<bool> any = false;
  HHOOK next = 0x10;
};

HookTable& Hooks() {
  static HookTable table;
  return table;
}

// The hook after `after` (or the first when 0) of a kind for a thread.
std::optional<HookEntry> NextHook(int kind, DWORD thread, HHOOK after) {
  if (!Hooks().any) return std::nullopt;
  Lock guard(Hooks().lock);
  auto& hooks = Hooks().hooks;
  auto it = hooks.begin();
  if (after != 0) {
    it = std::find_if(hooks.begin(), hooks.end(), [&](const HookEntry& h) { return h.handle == after; });
    if (it == hooks.end()) return std::nullopt;
    ++it;
  }
  for (; it != hooks.end(); ++it) {
    if (it->kind == kind && (it->thread == 0 || it->thread == thread)) return *it;
  }
  return std::nullopt;
}

void TrackKeys(ThreadQueue& queue, const MSG& msg) {
  auto set = [&](int key, bool down) {
    BYTE& state = queue.keys[key & 0xFF];
    if (down && !(state & 0x80)) state ^= 0x01;
    state = static_cast<BYTE>(down ? (state | 0x80) : (state & ~0x80));
  };
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: set(static_cast<int>(msg.wParam), true); return;
    case WM_KEYUP:
    case WM_SYSKEYUP: set(static_cast<int>(msg.wParam), false); return;
    default: break;
  }
  // Buttons, in client and non-client messages alike: down, up and double click.
  struct Button {
    UINT down;
    int key;
  };
  constexpr Button kButtons[] = {{WM_LBUTTONDOWN, VK_LBUTTON}, {WM_RBUTTONDOWN, VK_RBUTTON},
                                 {WM_MBUTTONDOWN, VK_MBUTTON}, {WM_NCLBUTTONDOWN, VK_LBUTTON},
                                 {WM_NCRBUTTONDOWN, VK_RBUTTON}, {WM_NCMBUTTONDOWN, VK_MBUTTON}};
  for (const auto& button : kButtons) {
    if (msg.message == button.down || msg.message == button.down + 2) set(button.key, true);
    if (msg.message == button.down + 1) set(button.key, false);
  }
}

// The first message of `posted` that passes the filter, taken from it when `remove`.
std::optional<MSG> TakePosted(std::deque<MSG>& posted, HWND filter, UINT low, UINT high, bool remove) {
  for (auto it = posted.begin(); it != posted.end(); ++it) {
    if (!InRange(it->message, low, high) || !WindowMatches(it->hwnd, filter)) continue;
    MSG msg = *it;
    if (remove && it == posted.begin()) {
      posted.pop_front();
    } else if (remove) {
      posted.erase(it);
    }
    return msg;
  }
  return std::nullopt;
}

// What tells a waiting thread of news since it last looked (read under the lock).
std::uint64_t Arrivals(const ThreadQueue& queue) { return queue.signals + queue.ownPosts; }

// The message that would be retrieved now, in the platform's order, or none.
std::optional<MSG> Take(ThreadQueue& queue, HWND filter, UINT low, UINT high, bool remove,
                        std::uint64_t& seen) {
  if (auto own = TakePosted(queue.ownPosted, filter, low, high, remove)) return own;
  {
    Lock guard(queue.lock);
    seen = Arrivals(queue);
    auto msg = TakePosted(queue.posted, filter, low, high, remove);
    queue.anyPosted.store(!queue.posted.empty(), std::memory_order_release);
    if (msg) return msg;
  }
  auto accepts = [&](const MSG& msg) { return InRange(msg.message, low, high) && WindowMatches(msg.hwnd, filter); };
  if (auto input = platform::win::detail::TakeInputMessage(queue.thread, accepts, remove)) return input;
  {
    Lock guard(queue.lock);
    if (queue.quit) {
      if (remove) queue.quit = false;
      return MSG{0, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, GetTickCount(), POINT{}};
    }
  }
  if (InRange(WM_PAINT, low, high) && filter != static_cast<HWND>(-1)) {
    for (HWND paint = platform::win::detail::NextWindowToPaint(queue.thread, filter); paint != 0;
         paint = platform::win::detail::NextWindowToPaint(queue.thread, filter)) {
      // The frame is painted first, as BeginPaint would; a window whose client area
      // needs nothing gets no WM_PAINT.
      if (!platform::win::detail::TakeFrameDirty(paint)) return MSG{paint, WM_PAINT, 0, 0, GetTickCount(), POINT{}};
      SendMessageW(paint, WM_NCPAINT, 1, 0);
    }
  }
  if (!InRange(WM_TIMER, low, high)) return std::nullopt;
  std::vector<Timer> due;
  ULONGLONG now = GetTickCount64();
  {
    Lock guard(queue.lock);
    for (const auto& timer : queue.timers) {
      if (timer.due <= now) due.push_back(timer);
    }
  }
  std::stable_sort(due.begin(), due.end(), [](const Timer& a, const Timer& b) { return a.due < b.due; });
  for (const auto& timer : due) {
    if (!WindowMatches(timer.hwnd, filter)) continue;
    if (remove) {
      Lock guard(queue.lock);
      for (auto& t : queue.timers) {
        if (t.hwnd == timer.hwnd && t.id == timer.id) t.due = now + t.elapse;
      }
    }
    return MSG{timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc),
               static_cast<DWORD>(now), POINT{}};
  }
  return std::nullopt;
}

// Waits for news: a post, a send, a wake, or the time of the next timer.
void WaitForNews(ThreadQueue& queue, std::uint64_t seen) {
  std::unique_lock guard(queue.lock);
  auto news = [&] { return Arrivals(queue) != seen || !queue.sent.empty(); };
  if (news()) return;
  std::optional<ULONGLONG> next;
  for (const auto& timer : queue.timers) next = std::min(next.value_or(timer.due), timer.due);
  if (!next) {
    queue.wake.wait(guard, news);
    return;
  }
  // A frozen clock moves only when a test advances it, so look again shortly.
  ULONGLONG now = GetTickCount64();
  auto wait = platform::test_clock::IsFrozen()
                  ? std::chrono::milliseconds(2)
                  : std::chrono::milliseconds(*next > now ? *next - now : 0);
  queue.wake.wait_for(guard, wait, news);
}

BOOL Retrieve(MSG* out, HWND filter, UINT low, UINT high, UINT flags, bool wait, bool unicode) {
  if (out == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (filter != 0 && filter != static_cast<HWND>(-1) && !IsWindow(filter)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  auto& queue = *MyQueue();
  bool remove = (flags & PM_REMOVE) != 0;
  for (;;) {
    HandleSentMessages(queue);
    platform::win::detail::PumpDisplay();
    std::uint64_t seen = 0;
    auto msg = Take(queue, filter, low, high, remove, seen);
    if (msg) {
      *out = *msg;
      queue.messageTime = out->time;
      if (remove) TrackKeys(queue, *out);
      if (auto hook = NextHook(WH_GETMESSAGE, queue.thread, 0)) {
        hook->proc(HC_ACTION, remove ? PM_REMOVE : PM_NOREMOVE, reinterpret_cast<LPARAM>(out));
      }
      if (!unicode && IsCharMessage(out->message)) out->wParam = AnsiChar(out->wParam);
      return TRUE;
    }
    if (!wait) return FALSE;
    WaitForNews(queue, seen);
  }
}

LRESULT Dispatch(const MSG* msg, bool unicode) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (msg->hwnd == 0) return 0;
  DWORD thread = 0;
  auto result = platform::win::detail::CallOwnWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam, unicode, thread);
  if (!result && thread != 0) SetLastError(ERROR_ACCESS_DENIED);
  return result.value_or(0);
}

LRESULT SendTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT timeout,
                    DWORD_PTR* out, bool unicode) {
  LRESULT result;
  auto outcome = Send(hwnd, message, wParam, lParam, unicode, timeout, result);
  if (out) *out = static_cast<DWORD_PTR>(result);
  return outcome == SendOutcome::kAnswered ? TRUE : FALSE;
}

}  // namespace

void platform::win::detail::EnsureQueue() { MyQueue(); }

BOOL platform::win::detail::PostThen(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     const std::function<void()>& queued) {
  return PostToOwnWindow(window, message, wParam, lParam, true, queued);
}

void platform::win::detail::WakeThread(DWORD threadId) {
  if (auto queue = QueueOf(threadId)) Signal(*queue);
}

void platform::win::detail::WakeAllThreads() {
  std::vector<std::shared_ptr<ThreadQueue>> all;
  {
    Lock guard(Queues().lock);
    for (auto& [thread, queue] : Queues().queues) all.push_back(queue);
  }
  for (auto& queue : all) Signal(*queue);
}

void platform::win::detail::ForgetWindowTimers(HWND window) {
  auto& queue = *MyQueue();
  Lock guard(queue.lock);
  auto& timers = queue.timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == window; }),
               timers.end());
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result;
  Send(window, message, wParam, lParam, true, std::nullopt, result);
  return result;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result;
  Send(window, message, wParam, lParam, false, std::nullopt, result);
  return result;
}

LRESULT SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT,
                            UINT timeout, DWORD_PTR* result) {
  return SendTimeout(window, message, wParam, lParam, timeout, result, true);
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT,
                            UINT timeout, DWORD_PTR* result) {
  return SendTimeout(window, message, wParam, lParam, timeout, result, false);
}

BOOL InSendMessage() { return MyQueue()->handlingSent > 0 ? TRUE : FALSE; }

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToWindow(window, message, wParam, lParam, true);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToWindow(window, message, wParam, lParam, false);
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToThread(threadId, message, wParam, lParam, true);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToThread(threadId, message, wParam, lParam, false);
}

void PostQuitMessage(int exitCode) {
  auto& queue = *MyQueue();
  {
    Lock guard(queue.lock);
    queue.quit = true;
    queue.quitCode = exitCode;
    ++queue.signals;
  }
  queue.wake.notify_all();
}

BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!Retrieve(msg, window, filterMin, filterMax, PM_REMOVE, true, true)) return -1;
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!Retrieve(msg, window, filterMin, filterMax, PM_REMOVE, true, false)) return -1;
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  return Retrieve(msg, window, filterMin, filterMax, removeFlags, false, true);
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  return Retrieve(msg, window, filterMin, filterMax, removeFlags, false, false);
}

BOOL WaitMessage() {
  auto& queue = *MyQueue();
  std::uint64_t seen = 0;
  HandleSentMessages(queue);
  if (Take(queue, 0, 0, 0, false, seen)) return TRUE;
  WaitForNews(queue, seen);
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) { return Dispatch(msg, true); }
LRESULT DispatchMessageA(const MSG* msg) { return Dispatch(msg, false); }

DWORD GetMessageTime() { return MyQueue()->messageTime; }

short GetKeyState(int virtualKey) {
  BYTE state = MyQueue()->keys[virtualKey & 0xFF];
  return static_cast<short>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  std::shared_ptr<ThreadQueue> queue;
  if (window != 0) {
    queue = QueueOf(platform::win::detail::WindowThread(window));
    if (!queue) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  } else {
    queue = MyQueue();
  }
  constexpr UINT kMinimum = 10, kMaximum = 0x7FFFFFFF;
  elapse = std::clamp(elapse, kMinimum, kMaximum);
  {
    Lock guard(queue->lock);
    auto existing = std::find_if(queue->timers.begin(), queue->timers.end(),
                                 [&](const Timer& t) { return t.hwnd == window && t.id == id; });
    if (window == 0 && existing == queue->timers.end()) {
      Lock registry(Queues().lock);
      id = Queues().nextTimerId++;
    }
    Timer timer{window, id, elapse, proc, GetTickCount64() + elapse};
    if (existing != queue->timers.end()) {
      *existing = timer;
    } else {
      queue->timers.push_back(timer);
    }
    ++queue->signals;
  }
  queue->wake.notify_all();
  return (window != 0 && id == 0) ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto queue = window != 0 ? QueueOf(platform::win::detail::WindowThread(window)) : MyQueue();
  if (!queue) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Lock guard(queue->lock);
  auto& timers = queue->timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const Timer& t) { return t.hwnd == window && t.id == id; });
  if (it == timers.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  timers.erase(it);
  return TRUE;
}

HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE, DWORD threadId) {
  if (kind != WH_GETMESSAGE) {
    SetLastError(ERROR_INVALID_HOOK_FILTER);
    return 0;
  }
  if (proc == nullptr) {
    SetLastError(ERROR_INVALID_FILTER_PROC);
    return 0;
  }
  Lock guard(Hooks().lock);
  HHOOK handle = Hooks().next++;
  Hooks().hooks.insert(Hooks().hooks.begin(), HookEntry{handle, kind, proc, threadId});
  Hooks().any = true;
  return handle;
}

HHOOK SetWindowsHookExA(int kind, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
  return SetWindowsHookExW(kind, proc, module, threadId);
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  Lock guard(Hooks().lock);
  auto& hooks = Hooks().hooks;
  auto it = std::find_if(hooks.begin(), hooks.end(), [&](const HookEntry& h) { return h.handle == hook; });
  if (it == hooks.end()) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  hooks.erase(it);
  Hooks().any = !hooks.empty();
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  int kind = WH_GETMESSAGE;
  auto next = NextHook(kind, platform::win::ThisThreadId(), hook);
  return next ? next->proc(code, wParam, lParam) : 0;
}

namespace {

// The next (or previous) enabled, visible tab stop among the dialog's descendants.
HWND NextTabStop(HWND dialog, HWND from, bool backwards) {
  std::vector<HWND> stops;
  EnumChildWindows(
      dialog,
      [](HWND window, LPARAM list) {
        DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&stops));
  if (stops.empty()) return 0;
  auto it = std::find(stops.begin(), stops.end(), from);
  if (it == stops.end()) return backwards ? stops.back() : stops.front();
  std::size_t index = static_cast<std::size_t>(it - stops.begin());
  index = backwards ? (index + stops.size() - 1) % stops.size() : (index + 1) % stops.size();
  return stops[index];
}

BOOL DialogMessage(HWND dialog, MSG* msg, bool unicode) {
  if (msg == nullptr || dialog == 0 || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    switch (static_cast<int>(msg->wParam)) {
      case VK_TAB:
        SetFocus(NextTabStop(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0));
        return TRUE;
      case VK_RETURN:
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        return TRUE;
      case VK_ESCAPE:
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
      default:
        break;
    }
  }
  Dispatch(msg, unicode);
  return TRUE;
}

}  // namespace

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  return NextTabStop(dialog, control, previous != FALSE);
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) { return DialogMessage(dialog, msg, true); }
BOOL IsDialogMessageA(HWND dialog, MSG* msg) { return DialogMessage(dialog, msg, false); }
