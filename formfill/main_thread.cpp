#include "formfill/main_thread.h"

#include <chrono>
#include <exception>
#include <mutex>

#include "data/app_services.h"
#include "formfill/browser_access.h"
#include "platform/com/class_table.h"
#include "platform/base/clock.h"
#include "support/debug_log.h"

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr auto kCyclePause = std::chrono::milliseconds(100);

// A window does not count when one of its bars (or the window itself) is read
// successfully as hidden; a read that fails does not exclude it.
bool CountsAsWebBrowser(IWebBrowser2* browser) {
  VARIANT_BOOL visible = VARIANT_TRUE, menuBar = VARIANT_TRUE, addressBar = VARIANT_TRUE;
  int toolBar = 1;
  if (SUCCEEDED(browser->get_Visible(&visible)) && visible == VARIANT_FALSE) return false;
  if (SUCCEEDED(browser->get_ToolBar(&toolBar)) && toolBar == 0) return false;
  if (SUCCEEDED(browser->get_MenuBar(&menuBar)) && menuBar == VARIANT_FALSE) return false;
  if (SUCCEEDED(browser->get_AddressBar(&addressBar)) && addressBar == VARIANT_FALSE) return false;
  return true;
}

// A folder window of the shell: the top-level browser's active view is a folder
// view. A window that cannot be asked counts as a browser window.
bool IsFolderWindow(IWebBrowser2* browser) {
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> shell;
  ComPtr<IShellView> view;
  if (FAILED(browser->QueryInterface(IID_IServiceProvider, services.PutVoid())) || !services ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, shell.PutVoid())) || !shell ||
      FAILED(shell->QueryActiveShellView(view.Put())) || !view) {
    return false;
  }
  return static_cast<bool>(view.As<IFolderView>());
}

// The watcher id a browser carries in "Pellix_Win_OBJ"; 0 when none.
platform::ObjectId WatcherIdOf(IWebBrowser2* browser) {
  Variant value;
  if (FAILED(browser->GetProperty(BString(kWinObjProperty).get(), value.Put())) || value.type() != VT_I4) return 0;
  return static_cast<platform::ObjectId>(value.raw().lVal);
}

}  // namespace

TMainThread::TMainThread(HWND ownerWnd) : owner_wnd_(ownerWnd) {
  thread_ = std::thread([this] { Execute(); });
}

TMainThread::~TMainThread() {
  {
    std::lock_guard guard(cycle_lock_);
    terminated_ = true;
  }
  cycle_changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::scoped_lock hold(lock_);
  navigate_queue_.clear();
  password_queue_.clear();
}

void TMainThread::RequestScan() { rescan_requested_.store(true); }

void TMainThread::QueueNavigate(std::unique_ptr<TNavigateItem> item) {
  if (!item) return;
  std::scoped_lock hold(lock_);
  navigate_queue_.push_back(std::move(item));
  navigate_pending_.store(true);
}

void TMainThread::QueuePasswordFill(platform::ObjectId ieWin, std::shared_ptr<TInputPasswordContext> context) {
  if (!context) return;
  std::scoped_lock hold(lock_);
  password_queue_.emplace_back(ieWin, std::move(context));
  password_pending_.store(true);
}

void TMainThread::WaitForCycle() {
  std::unique_lock guard(cycle_lock_);
  std::uint64_t target = cycles_ + 2;  // the running cycle ends first, then a whole one
  while (cycles_ < target && !terminated_) {
    wake_ = true;
    cycle_changed_.notify_all();
    cycle_changed_.wait(guard);
  }
}

void TMainThread::Execute() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  auto events = platform::com::MakeComObject<platform::com::DispatchObject>(
      std::initializer_list<IID>{DIID_DShellWindowsEvents});
  // The thread never scans from the event itself: the main window turns the message
  // into a scan request.
  auto post = [](WORD, DISPPARAMS*, VARIANT*) -> HRESULT {
    PostScanRequest();
    return S_OK;
  };
  events->AddMember(u"WindowRegistered", DISPID_WINDOWREGISTERED, post);
  events->AddMember(u"WindowRevoked", DISPID_WINDOWREVOKED, post);
  shell_events_ = ComPtr<IDispatch>(events.get());

  bool installerBusy = InstallerWindowExists();
  if (!installerBusy) ScanShellWindows();
  for (;;) {
    if (rescan_requested_.exchange(false) || installerBusy) {
      if (!InstallerWindowExists()) {
        installerBusy = false;
        ScanShellWindows();
      }
    }
    if (navigate_pending_.load()) {
      std::scoped_lock hold(lock_);
      ProcessNavigateQueue();
    }
    if (password_pending_.load()) {
      std::scoped_lock hold(lock_);
      ProcessPasswordQueue();
    }
    std::unique_lock guard(cycle_lock_);
    ++cycles_;
    cycle_changed_.notify_all();
    cycle_changed_.wait_for(guard, kCyclePause, [this] { return terminated_ || wake_; });
    wake_ = false;
    if (terminated_) break;
  }

  for (auto& entry : windows_) ReleaseWatcher(entry.second);
  windows_.clear();
  watcher_count_.store(0);
  if (shell_point_) shell_point_->Unadvise(shell_cookie_);
  shell_point_.Reset();
  shell_events_.Reset();
  shell_windows_.Reset();
  CoUninitialize();
  std::lock_guard guard(cycle_lock_);
  ++cycles_;
  cycle_changed_.notify_all();
}

void TMainThread::ScanShellWindows() {
  if (!shell_windows_ && !ConnectShellWindows()) return;
  LONG count = 0;
  if (FAILED(shell_windows_->get_Count(&count))) return;
  for (auto& entry : windows_) entry.second->Stale = true;
  for (LONG i = 0; i < count; ++i) {
    try {
      ComPtr<IDispatch> item;
      if (FAILED(shell_windows_->Item(Variant::Int(i).raw(), item.Put())) || !item) continue;
      ComPtr<IWebBrowser2> browser;
      if (FAILED(item.As(browser)) || !browser) continue;
      SyncIEWindows(browser.get());
    } catch (const std::exception&) {
      // This window is skipped.
    }
  }
  for (std::size_t i = windows_.size(); i-- > 0;) {
    std::shared_ptr<TIEWin> watcher = windows_[i].second;
    if (watcher && !watcher->Stale) continue;
    windows_.erase(windows_.begin() + static_cast<std::ptrdiff_t>(i));
    if (watcher) ReleaseWatcher(watcher);
  }
  watcher_count_.store(windows_.size());
}

bool TMainThread::ConnectShellWindows() {
  // Each failure is logged and ends this scan; the next request tries again.
  ComPtr<IUnknown> made;
  HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IShellWindows, made.PutVoid());
  if (FAILED(hr)) {
    LogError(hr == E_OUTOFMEMORY ? "CoCreateInstance  IShellWindows E_OUTOFMEMORY"
                                 : "CoCreateInstance  IShellWindows  NOT Succeeded");
    return false;
  }
  ComPtr<IShellWindows> windows;
  if (made) {
    hr = made->QueryInterface(IID_IShellWindows, windows.PutVoid());
    if (FAILED(hr)) {
      LogError(hr == E_OUTOFMEMORY ? "QueryInterface  IShellWindows E_OUTOFMEMORY"
                                   : "QueryInterface  IShellWindows  NOT Succeeded");
      return false;
    }
  }
  if (!windows) {
    // A class that answered nothing: give the shell a moment and ask once more.
    Sleep(1000);
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IShellWindows, windows.PutVoid())) ||
        !windows) {
      LogError("CoShellWindows.Create  NOT Assigned");
      return false;
    }
  }
  shell_windows_ = windows;
  ComPtr<IConnectionPointContainer> container;
  if (SUCCEEDED(shell_windows_->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
      SUCCEEDED(container->FindConnectionPoint(DIID_DShellWindowsEvents, shell_point_.Put())) && shell_point_ &&
      FAILED(shell_point_->Advise(shell_events_.get(), &shell_cookie_))) {
    shell_point_.Reset();
  }
  return true;
}

void TMainThread::ReleaseWatcher(const std::shared_ptr<TIEWin>& watcher) {
  try {
    watcher->PostReleaseFloat();
  } catch (const std::exception&) {
    // The watcher is released all the same.
  }
  watcher->Release();
}

void TMainThread::SyncIEWindows(IWebBrowser2* browser) {
  try {
    if (!CountsAsWebBrowser(browser) || IsFolderWindow(browser)) return;
    platform::ObjectId known = WatcherIdOf(browser);
    for (auto& entry : windows_) {
      if (known != 0 && entry.second->Id() == known && platform::com::IsSameObject(entry.second->Browser(), browser)) {
        entry.second->Stale = false;
        if (entry.second->ClientID().empty() && !StandaloneMode.load() && !InprocHostMode.load()) {
          entry.second->ReadToolbarClientId();
        }
        return;
      }
    }
    std::shared_ptr<TIEWin> watcher = TIEWin::Create(ComPtr<IWebBrowser2>(browser));
    watcher->Stale = false;
    windows_.emplace_back(HexId(watcher->Id()), watcher);
    watcher->Attach();
  } catch (const std::exception&) {
    // The window is looked at again by the next scan.
  }
}

void TMainThread::ProcessNavigateQueue() {
  try {
    if (!navigate_queue_.empty()) {
      TNavigateItem& item = *navigate_queue_.front();
      platform::ObjectId target = item.IEWin;
      if (target == 0 && !item.ClientID.empty()) {
        ComPtr<IWebBrowser2> browser;
        FindBrowserByClientId(item.ClientID, u"", browser);
        if (browser) target = WatcherIdOf(browser.get());
      }
      const std::u16string key = HexId(target);
      for (auto& entry : windows_) {
        if (target == 0 || entry.first != key || !item.Item) continue;
        entry.second->SetPending(item.Item->URL(), item.Item, item.Action);
        entry.second->NavigateTo(item.Item->URL());
        break;
      }
    }
  } catch (const std::exception&) {
    // The request is dropped.
  }
  if (!navigate_queue_.empty()) navigate_queue_.pop_front();
  navigate_pending_.store(!navigate_queue_.empty());
}

void TMainThread::ProcessPasswordQueue() {
  if (!password_queue_.empty()) {
    auto [watcher, context] = std::move(password_queue_.front());
    password_queue_.pop_front();
    const std::u16string key = HexId(watcher);
    for (auto& entry : windows_) {
      if (entry.first != key) continue;
      context->FillPassword();
      break;
    }
  }
  password_pending_.store(!password_queue_.empty());
}

}  // namespace formfill
