// The browser watcher thread: it keeps one watcher (ie_win.h) for every browser window
// that counts as a web browser window, drops the watcher of a window that has gone, and
// carries out two kinds of queued work for the main thread, one item of each per cycle
// of 100 ms: opening a stored form in a browser window that exists, and writing a chosen
// password into a page's password input. It talks back to the main window only by
// posting (through the application services).
//
// Threads: the main window creates it (it starts at once) and owns it; its destructor
// ends and joins the thread. The main thread touches only the queues (under the queue
// lock) and the scan request (an atomic flag). The window table belongs to the thread:
// it creates, binds and releases every watcher there.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "data/menu_messages.h"
#include "formfill/ie_win.h"
#include "platform/base/types.h"
#include "support/locks.h"

namespace formfill {

class TMainThread {
 public:
  explicit TMainThread(HWND ownerWnd);
  ~TMainThread();
  TMainThread(const TMainThread&) = delete;
  TMainThread& operator=(const TMainThread&) = delete;

  // Asks for a scan of the browser windows in the next cycle.
  void RequestScan();
  // Queues a stored form to open (the queue owns the request).
  void QueueNavigate(std::unique_ptr<TNavigateItem> item);
  // Queues a password to write: the context of the input chosen (its new value set),
  // for the watcher (by id) of its window. The request holds its own context, so a
  // later right click, which gives the watcher another, cannot change it; it is
  // dropped when the watcher is gone by the time it runs.
  void QueuePasswordFill(platform::ObjectId ieWin, std::shared_ptr<TInputPasswordContext> context);

  // Cuts the current pause short and waits until a whole cycle begun after the call
  // has ended (tests and the program's end use it to see queued work done).
  void WaitForCycle();
  // The number of watchers after the last scan.
  std::size_t WatcherCount() const { return watcher_count_.load(); }
  HWND OwnerWnd() const { return owner_wnd_; }

 private:
  void Execute();
  void ScanShellWindows();
  // Obtains the shell-windows collection and subscribes to its events; false (logged)
  // when it cannot be had now.
  bool ConnectShellWindows();
  void SyncIEWindows(IWebBrowser2* browser);
  void ProcessNavigateQueue();
  void ProcessPasswordQueue();
  void ReleaseWatcher(const std::shared_ptr<TIEWin>& watcher);

  const HWND owner_wnd_;
  // The window table: key (eight hexadecimal digits of the watcher's id) and watcher.
  std::vector<std::pair<std::u16string, std::shared_ptr<TIEWin>>> windows_;
  platform::com::ComPtr<IShellWindows> shell_windows_;
  platform::com::ComPtr<IDispatch> shell_events_;
  platform::com::ComPtr<IConnectionPoint> shell_point_;
  DWORD shell_cookie_ = 0;

  support::TCriticalSection lock_;  // guards both queues
  std::deque<std::unique_ptr<TNavigateItem>> navigate_queue_;
  std::deque<std::pair<platform::ObjectId, std::shared_ptr<TInputPasswordContext>>> password_queue_;
  std::atomic<bool> navigate_pending_{false};
  std::atomic<bool> password_pending_{false};
  std::atomic<bool> rescan_requested_{false};
  std::atomic<std::size_t> watcher_count_{0};

  std::mutex cycle_lock_;
  std::condition_variable cycle_changed_;
  std::uint64_t cycles_ = 0;
  bool wake_ = false;
  bool terminated_ = false;
  std::thread thread_;
};

}  // namespace formfill
