#include "platform/browser/web_browser.h"

#include "platform/browser/html_rules.h"
#include "platform/win/display.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace platform::browser {

using platform::com::ComPtr;
using platform::com::ToText;
using platform::com::Variant;

namespace {

constexpr UINT kRunTasks = WM_APP + 0x101;
// A remote browser tells nothing when its window moves: it is asked this often.
constexpr UINT_PTR kFollowTimer = 1;
constexpr UINT kFollowInterval = 250;
constexpr char16_t kFrameClass[] = u"IEFrame";
constexpr char16_t kTabClass[] = u"TabWindowClass";

thread_local WebBrowser* tls_window = nullptr;

VARIANT ByRef(VARIANT* target) {
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | VT_VARIANT;
  reference.pvarVal = target;
  return reference;
}

VARIANT Borrowed(IDispatch* object) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_DISPATCH;
  value.pdispVal = object;
  return value;
}

VARIANT Long(LONG number) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = number;
  return value;
}

// The active view of a window: a web page's, or a folder's (which answers IFolderView).
class PageView : public platform::com::ComObject<IShellView> {
 public:
  explicit PageView(HWND window) : window_(window) {}
  HRESULT GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return S_OK;
  }

 private:
  const HWND window_;
};

class FolderView : public platform::com::ComObject<IShellView, IFolderView> {
 public:
  explicit FolderView(HWND window) : window_(window) {}
  HRESULT GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return S_OK;
  }
  HRESULT GetFolderFlags(DWORD* flags) override {
    if (flags == nullptr) return E_POINTER;
    *flags = 0;
    return S_OK;
  }

 private:
  const HWND window_;
};

// The shell browser of a window's tab: its window, and the view it shows.
class TabBrowser : public platform::com::ComObject<IShellBrowser> {
 public:
  TabBrowser(HWND tab, bool folder) : tab_(tab), folder_(folder) {}
  HRESULT GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = tab_;
    return S_OK;
  }
  HRESULT QueryActiveShellView(IShellView** view) override {
    if (view == nullptr) return E_POINTER;
    ComPtr<IShellView> active = folder_ ? ComPtr<IShellView>(platform::com::MakeComObject<FolderView>(tab_).get())
                                        : ComPtr<IShellView>(platform::com::MakeComObject<PageView>(tab_).get());
    return platform::com::ReturnInterface(active, view);
  }

 private:
  const HWND tab_;
  const bool folder_;
};

}  // namespace

FrameBrowser::FrameBrowser(std::u16string url) : url_(std::move(url)) {}

void FrameBrowser::Loaded(ComPtr<HtmlDocument> document) {
  std::lock_guard guard(lock_);
  url_ = document->tree()->url();
  document_ = std::move(document);
}

void FrameBrowser::SetSource(std::function<ComPtr<HtmlDocument>()> source) {
  std::lock_guard guard(lock_);
  source_ = std::move(source);
}

HRESULT FrameBrowser::get_Document(IDispatch** document) {
  std::function<ComPtr<HtmlDocument>()> source;
  {
    std::lock_guard guard(lock_);
    source = source_;
  }
  ComPtr<HtmlDocument> current = source ? source() : ComPtr<HtmlDocument>();
  std::lock_guard guard(lock_);
  if (current) document_ = std::move(current);
  return platform::com::ReturnInterface(ComPtr<IDispatch>(static_cast<IHTMLDocument2*>(document_.get())), document);
}

HRESULT FrameBrowser::get_LocationURL(BSTR* url) {
  std::lock_guard guard(lock_);
  return ReturnText(url_, url);
}

HRESULT FrameBrowser::get_LocationName(BSTR* name) {
  ComPtr<HtmlDocument> document;
  {
    std::lock_guard guard(lock_);
    document = document_;
  }
  return document ? document->get_title(name) : ReturnText(u"", name);
}

HRESULT FrameBrowser::get_Busy(VARIANT_BOOL* busy) {
  std::lock_guard guard(lock_);
  return ReturnBool(!document_, busy);
}

// The page side's way back to its browser; cut when the browser goes.
class WebBrowser::FrameHost : public PageHost {
 public:
  explicit FrameHost(WebBrowser* browser) : browser_(browser) {}
  void SubmitForm(const Node&, const std::u16string& target) override {
    std::lock_guard guard(lock_);
    if (browser_) browser_->NavigateFromPage(target);
  }
  void Cut() {
    std::lock_guard guard(lock_);
    browser_ = nullptr;
  }

 private:
  std::mutex lock_;
  WebBrowser* browser_;
};

WebBrowser::WebBrowser(WindowOptions options, std::shared_ptr<PageSource> pages)
    : options_(options),
      pages_(std::move(pages)),
      events_(platform::com::MakeComObject<platform::com::ConnectionPoint>(DIID_DWebBrowserEvents2, this)),
      host_(std::make_shared<FrameHost>(this)),
      visible_(options.visible) {}

WebBrowser::~WebBrowser() {
  host_->Cut();
  events_->Detach();
  if (thread_.joinable()) thread_.detach();  // only when the thread itself let go last
}

LRESULT WebBrowser::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunTasks && tls_window) {
    tls_window->RunQueued();
    return 0;
  }
  if (message == WM_TIMER && wParam == kFollowTimer && tls_window && tls_window->remote_) {
    tls_window->remote_->Follow(*tls_window);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool WebBrowser::Start() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    WNDCLASSW frameClass{};
    frameClass.lpfnWndProc = &WebBrowser::FrameProc;
    frameClass.lpszClassName = kFrameClass;
    RegisterClassW(&frameClass);
    WNDCLASSW tabClass{};
    tabClass.lpfnWndProc = &DefWindowProcW;
    tabClass.lpszClassName = kTabClass;
    RegisterClassW(&tabClass);
  });
  std::promise<bool> started;
  std::future<bool> ready = started.get_future();
  thread_ = std::thread([this, &started] { ThreadMain(&started); });
  if (ready.get()) return true;
  thread_.join();
  std::lock_guard guard(state_lock_);
  closed_ = true;
  return false;
}

void WebBrowser::ThreadMain(std::promise<bool>* started) {
  ComPtr<WebBrowser> self(this);  // the window lives at least as long as its thread
  tls_window = this;
  thread_id_ = std::this_thread::get_id();
  frame_ = CreateWindowExW(0, kFrameClass, u"", 0, 0, 0, 800, 600, 0, 0, 0, nullptr);
  // Chromium shows its pages in windows of its own, and the in-process browser draws
  // none: the frame is never a window of the desktop.
  if (frame_ != 0) platform::win::KeepOffDisplay(frame_);
  if (frame_ != 0) tab_ = CreateWindowExW(0, kTabClass, u"", WS_CHILD | WS_VISIBLE, 0, 0, 800, 600, frame_, 0, 0, nullptr);
  if (frame_ != 0 && options_.visible) ShowWindow(frame_, SW_SHOW);
  bool ok = frame_ != 0 && tab_ != 0;
  if (ok && remote_) SetTimer(frame_, kFollowTimer, kFollowInterval, nullptr);
  started->set_value(ok);
  if (ok) {
    running_ = true;
    MSG message;
    while (running_ && GetMessageW(&message, 0, 0, 0) > 0) DispatchMessageW(&message);
    DestroyWindow(frame_);
  }
  {
    std::lock_guard guard(queue_lock_);
    stopped_ = true;
    tasks_.clear();
    unfinished_ = 0;
  }
  idle_.notify_all();
  tls_window = nullptr;
}

void WebBrowser::RunQueued() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard guard(queue_lock_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    {
      std::lock_guard guard(queue_lock_);
      if (--unfinished_ == 0) idle_.notify_all();
    }
  }
}

void WebBrowser::Run(std::function<void()> task, bool wait) {
  {
    std::lock_guard guard(queue_lock_);
    if (stopped_ || frame_ == 0) return;
    tasks_.push_back(std::move(task));
    ++unfinished_;
  }
  PostMessageW(frame_, kRunTasks, 0, 0);
  if (!wait || std::this_thread::get_id() == thread_id_) return;
  std::unique_lock guard(queue_lock_);
  idle_.wait(guard, [this] { return unfinished_ == 0; });
}

void WebBrowser::Close() {
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return;
    closed_ = true;
  }
  Run([this] { running_ = false; }, false);
  if (thread_.joinable()) {
    if (std::this_thread::get_id() == thread_id_) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
  ComPtr<HtmlDocument> page;
  std::vector<ComPtr<IWebBrowser2>> frames;
  std::lock_guard guard(state_lock_);
  page = std::move(document_);
  frames = std::move(frames_);
}

bool WebBrowser::Closed() const {
  std::lock_guard guard(state_lock_);
  return closed_;
}

void WebBrowser::FireUrlEvent(DISPID id, IDispatch* source, const std::u16string& url) {
  Variant address = Variant::Text(url);
  std::vector<VARIANT> args{Borrowed(source), ByRef(address.get())};
  events_->Fire(id, args);
}

bool WebBrowser::FireBeforeNavigate(IDispatch* source, const std::u16string& url) {
  Variant address = Variant::Text(url);
  Variant flags = Variant::Int(0);
  Variant frameName = Variant::Text(u"");
  Variant postData;
  Variant headers = Variant::Text(u"");
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT cancelRef;
  VariantInit(&cancelRef);
  cancelRef.vt = VT_BYREF | VT_BOOL;
  cancelRef.pboolVal = &cancel;
  std::vector<VARIANT> args{Borrowed(source), ByRef(address.get()), ByRef(flags.get()),
                            ByRef(frameName.get()), ByRef(postData.get()), ByRef(headers.get()), cancelRef};
  events_->Fire(DISPID_BEFORENAVIGATE2, args);
  return cancel != VARIANT_FALSE;
}

std::vector<ComPtr<IWebBrowser2>> WebBrowser::LoadFrames(const HtmlDocument& page) {
  std::vector<std::u16string> addresses;
  {
    std::lock_guard guard(page.tree()->lock());
    addresses = FrameAddresses(*page.tree());
  }
  std::vector<ComPtr<IWebBrowser2>> frames;
  for (const std::u16string& requested : addresses) {
    auto frame = platform::com::MakeComObject<FrameBrowser>(requested);
    if (FireBeforeNavigate(frame.get(), requested)) continue;
    const std::u16string url = pages_->RedirectOf(requested).value_or(requested);
    frame->Loaded(HtmlDocument::Load(pages_->Load(url).value_or(std::string()), url));
    FireUrlEvent(DISPID_NAVIGATECOMPLETE2, frame.get(), url);
    FireUrlEvent(DISPID_DOCUMENTCOMPLETE, frame.get(), url);
    frames.emplace_back(frame.get());
  }
  return frames;
}

void WebBrowser::Navigation(const std::u16string& url) {
  if (remote_) {
    remote_->Navigate(url);
    return;
  }
  IDispatch* self = static_cast<IWebBrowser2*>(this);
  if (FireBeforeNavigate(self, url)) {
    std::lock_guard guard(state_lock_);
    busy_ = hold_busy_;
    return;
  }
  // A redirected request completes at the address it was sent on to, without a
  // second BeforeNavigate2. A missing page loads as an empty document at its address.
  const std::u16string finalUrl = pages_->RedirectOf(url).value_or(url);
  ComPtr<HtmlDocument> page = HtmlDocument::Load(pages_->Load(finalUrl).value_or(std::string()), finalUrl);
  page->tree()->SetHost(host_);
  ComPtr<HtmlDocument> previous;
  std::vector<ComPtr<IWebBrowser2>> previousFrames;
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return;
    previous = std::move(document_);
    previousFrames = std::move(frames_);
    document_ = page;
    location_ = finalUrl;
  }
  previous.Reset();
  previousFrames.clear();
  FireUrlEvent(DISPID_NAVIGATECOMPLETE2, self, finalUrl);
  std::vector<ComPtr<IWebBrowser2>> frames = LoadFrames(*page);
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return;
    frames_ = std::move(frames);
    busy_ = hold_busy_;
  }
  FireUrlEvent(DISPID_DOCUMENTCOMPLETE, self, finalUrl);
}

void WebBrowser::NavigateFromPage(const std::u16string& url) {
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return;
    busy_ = true;
  }
  Run([this, url] { Navigation(url); }, false);
}

void WebBrowser::RemoteNavigated(const std::u16string& url) {
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return;
    busy_ = true;
    location_ = url;
  }
  FireUrlEvent(DISPID_NAVIGATECOMPLETE2, static_cast<IWebBrowser2*>(this), url);
}

void WebBrowser::RemoteCompleted(ComPtr<HtmlDocument> page, std::vector<ComPtr<IWebBrowser2>> frames) {
  std::u16string url;
  ComPtr<HtmlDocument> previous;
  std::vector<ComPtr<IWebBrowser2>> previousFrames;
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return;
    previous = std::exchange(document_, std::move(page));
    previousFrames = std::exchange(frames_, std::move(frames));
    busy_ = hold_busy_;
    url = location_;
  }
  FireUrlEvent(DISPID_DOCUMENTCOMPLETE, static_cast<IWebBrowser2*>(this), url);
}

void WebBrowser::RemoteStarted() {
  std::lock_guard guard(state_lock_);
  busy_ = true;
}

void WebBrowser::RemoteStopped() {
  std::lock_guard guard(state_lock_);
  busy_ = hold_busy_;
}

void WebBrowser::HoldBusy(bool hold) {
  std::lock_guard guard(state_lock_);
  hold_busy_ = hold;
  busy_ = hold;
}

void WebBrowser::ShowFrame(int command) { ShowWindow(frame_, command); }

void WebBrowser::ShowTabWindow(bool visible) { ShowWindow(tab_, visible ? SW_SHOW : SW_HIDE); }

void WebBrowser::FireWindowState(bool tabVisible) {
  LONG flags = tabVisible ? (OLECMDIDF_WINDOWSTATE_USERVISIBLE | OLECMDIDF_WINDOWSTATE_ENABLED) : 0;
  std::vector<VARIANT> args{
      Long(flags), Long(OLECMDIDF_WINDOWSTATE_USERVISIBLE_VALID | OLECMDIDF_WINDOWSTATE_ENABLED_VALID)};
  events_->Fire(DISPID_WINDOWSTATECHANGED, args);
}

HRESULT WebBrowser::Navigate2(VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
  if (url == nullptr) return E_INVALIDARG;
  Variant text;
  if (FAILED(VariantChangeType(text.get(), url, 0, VT_BSTR))) return E_INVALIDARG;
  if (Closed()) return RPC_E_DISCONNECTED;
  NavigateFromPage(text.StringValue());
  return S_OK;
}

HRESULT WebBrowser::get_Document(IDispatch** document) {
  if (document == nullptr) return E_POINTER;
  *document = nullptr;
  if (remote_ && !Closed()) {
    ComPtr<HtmlDocument> current = remote_->Document();
    std::lock_guard guard(state_lock_);
    if (current) document_ = std::move(current);
  }
  std::lock_guard guard(state_lock_);
  if (closed_) return RPC_E_DISCONNECTED;
  if (document_) {
    *document = static_cast<IHTMLDocument2*>(document_.get());
    (*document)->AddRef();
  }
  return S_OK;
}

HRESULT WebBrowser::get_LocationURL(BSTR* url) {
  std::lock_guard guard(state_lock_);
  if (closed_) return RPC_E_DISCONNECTED;
  return ReturnText(location_, url);
}

HRESULT WebBrowser::get_LocationName(BSTR* name) {
  ComPtr<HtmlDocument> page;
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return RPC_E_DISCONNECTED;
    page = document_;
  }
  if (!page) return ReturnText(u"", name);
  return page->get_title(name);
}

HRESULT WebBrowser::get_Busy(VARIANT_BOOL* busy) {
  std::lock_guard guard(state_lock_);
  if (closed_) return RPC_E_DISCONNECTED;
  return ReturnBool(busy_, busy);
}

HRESULT WebBrowser::get_HWND(SHANDLE_PTR* window) {
  if (window == nullptr) return E_POINTER;
  if (Closed()) return RPC_E_DISCONNECTED;
  *window = static_cast<SHANDLE_PTR>(frame_);
  return S_OK;
}

HRESULT WebBrowser::get_Visible(VARIANT_BOOL* visible) {
  std::lock_guard guard(state_lock_);
  if (closed_) return RPC_E_DISCONNECTED;
  return ReturnBool(visible_, visible);
}

HRESULT WebBrowser::put_Visible(VARIANT_BOOL visible) {
  {
    std::lock_guard guard(state_lock_);
    if (closed_) return RPC_E_DISCONNECTED;
    visible_ = visible != VARIANT_FALSE;
  }
  Run([this, visible] { ShowFrame(visible != VARIANT_FALSE ? SW_SHOW : SW_HIDE); }, false);
  return S_OK;
}

HRESULT WebBrowser::get_ToolBar(int* shown) {
  if (shown == nullptr) return E_POINTER;
  if (Closed()) return RPC_E_DISCONNECTED;
  *shown = options_.toolBar ? 1 : 0;
  return S_OK;
}

HRESULT WebBrowser::get_MenuBar(VARIANT_BOOL* shown) {
  if (Closed()) return RPC_E_DISCONNECTED;
  return ReturnBool(options_.menuBar, shown);
}

HRESULT WebBrowser::get_AddressBar(VARIANT_BOOL* shown) {
  if (Closed()) return RPC_E_DISCONNECTED;
  return ReturnBool(options_.addressBar, shown);
}

HRESULT WebBrowser::PutProperty(BSTR name, VARIANT value) {
  Variant copy = Variant::CopyOf(value);
  std::lock_guard guard(state_lock_);
  if (closed_) return RPC_E_DISCONNECTED;
  properties_[ToText(name)] = std::move(copy);
  return S_OK;
}

HRESULT WebBrowser::GetProperty(BSTR name, VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  VariantInit(value);
  std::lock_guard guard(state_lock_);
  if (closed_) return RPC_E_DISCONNECTED;
  auto found = properties_.find(ToText(name));
  if (found != properties_.end()) return VariantCopy(value, found->second.get());
  return S_OK;
}

HRESULT WebBrowser::Quit() {
  if (Closed()) return RPC_E_DISCONNECTED;
  if (on_quit_) {
    on_quit_();
  } else {
    Close();
  }
  return S_OK;
}

HRESULT WebBrowser::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points) *points = nullptr;
  return E_NOTIMPL;
}

HRESULT WebBrowser::QueryService(REFGUID service, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (Closed()) return RPC_E_DISCONNECTED;
  if (!(service == SID_SShellBrowser) && !(service == SID_STopLevelBrowser)) return E_FAIL;
  auto browser = platform::com::MakeComObject<TabBrowser>(tab_, options_.folder);
  return browser->QueryInterface(iid, object);
}

HRESULT WebBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (!(iid == DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
  return platform::com::ReturnInterface(ComPtr<IConnectionPoint>(events_.get()), point);
}

}  // namespace platform::browser
