// One browser window of the browser model: the browser object (IWebBrowser2 with
// its named-property store, busy state and location, and the DWebBrowserEvents2
// connection point), its frame window (class "IEFrame") with the window of its tab
// (class "TabWindowClass", a child of the frame), its services (IServiceProvider: the
// tab's shell browser and the active view) and its own thread. A page's frames are
// loaded into frame objects of their own (html_rules.h, Frames). The window loads its
// pages itself (the in-process browser) or has a remote page load them (Chromium).
//
// Threads: like a real browser window, each has a thread of its own that owns the
// frame window and runs a message loop. Navigations and the user's actions run there,
// and the browser's and the page's events are delivered there, never on the caller's
// thread. The object's methods may be called from any thread. The driving calls of
// the in-process browser (in_process_browser.h) wait until the browser has handled
// the action and delivered its events (unless called from the browser's own thread).
//
// Ownership: the window list of the in-process browser holds each open window; the
// window's thread holds its own reference until it ends. Quit (or closing the window)
// ends the thread; the object then answers RPC_E_DISCONNECTED.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/browser/exdisp.h"
#include "platform/browser/html_document.h"
#include "platform/browser/model_object.h"
#include "platform/browser/page_source.h"

namespace platform::browser {

struct WindowOptions {
  bool visible = true;
  bool toolBar = true;
  bool menuBar = true;
  bool addressBar = true;
  // A folder window of the shell: its active view answers IFolderView.
  bool folder = false;
};

// A frame of a page: its own address and, once loaded, its document. It answers its
// document, address, title and busy state and nothing else.
class FrameBrowser : public ModelObject<IWebBrowser2> {
 public:
  explicit FrameBrowser(std::u16string url);
  void Loaded(platform::com::ComPtr<HtmlDocument> document);
  // A frame that another browser shows: its document brought up to date when asked
  // (null: keep the last one).
  void SetSource(std::function<platform::com::ComPtr<HtmlDocument>()> source);
  HRESULT get_Document(IDispatch** document) override;
  HRESULT get_LocationURL(BSTR* url) override;
  HRESULT get_LocationName(BSTR* name) override;
  HRESULT get_Busy(VARIANT_BOOL* busy) override;
  HRESULT Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
  HRESULT get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_ToolBar(int*) override { return E_NOTIMPL; }
  HRESULT get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT Quit() override { return E_NOTIMPL; }

 private:
  std::mutex lock_;
  std::u16string url_;
  platform::com::ComPtr<HtmlDocument> document_;
  std::function<platform::com::ComPtr<HtmlDocument>()> source_;
};

class WebBrowser;

// The pages of a window that another browser process shows (the Chromium backend):
// it loads them, answers the page's document brought up to date, and keeps the frame
// window where the other browser's window is.
class RemotePage {
 public:
  virtual ~RemotePage() = default;
  // On the window's thread: starts loading an address.
  virtual void Navigate(const std::u16string& url) = 0;
  // The page's document as it is now; null when it cannot be had.
  virtual platform::com::ComPtr<HtmlDocument> Document() = 0;
  // On the window's thread, now and then: the frame window and the other browser's
  // window catch up with each other (place, size, minimised).
  virtual void Follow(WebBrowser& window) = 0;
};

class WebBrowser : public ModelObject<IWebBrowser2, IConnectionPointContainer, IServiceProvider> {
 public:
  WebBrowser(WindowOptions options, std::shared_ptr<PageSource> pages);
  ~WebBrowser() override;

  // Starts the window's thread and its frame window; false when the frame window
  // could not be made.
  bool Start();
  // Ends the thread (waits for it unless called on it) and drops the page.
  void Close();

  HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                    VARIANT* headers) override;
  HRESULT get_Document(IDispatch** document) override;
  HRESULT get_LocationURL(BSTR* url) override;
  HRESULT get_LocationName(BSTR* name) override;
  HRESULT get_Busy(VARIANT_BOOL* busy) override;
  HRESULT get_HWND(SHANDLE_PTR* window) override;
  HRESULT get_Visible(VARIANT_BOOL* visible) override;
  HRESULT put_Visible(VARIANT_BOOL visible) override;
  HRESULT get_ToolBar(int* shown) override;
  HRESULT get_MenuBar(VARIANT_BOOL* shown) override;
  HRESULT get_AddressBar(VARIANT_BOOL* shown) override;
  HRESULT PutProperty(BSTR name, VARIANT value) override;
  HRESULT GetProperty(BSTR name, VARIANT* value) override;
  HRESULT Quit() override;
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
  // SID_SShellBrowser and SID_STopLevelBrowser: the tab's shell browser (IOleWindow,
  // IShellBrowser).
  HRESULT QueryService(REFGUID service, REFIID iid, void** object) override;

  // Runs Task on the window's thread; with Wait, returns when the window has no work
  // left (at once when called on the window's thread).
  void Run(std::function<void()> task, bool wait);
  // The page side's submission: navigate from the browser's thread.
  void NavigateFromPage(const std::u16string& url);
  // Keeps the browser busy after loads until released (a page that goes on loading).
  void HoldBusy(bool hold);
  // On the window's thread: shows the frame window as ShowWindow's Command says.
  void ShowFrame(int command);
  // On the window's thread: the tab became visible or hidden (WindowStateChanged).
  void FireWindowState(bool tabVisible);
  // On the window's thread: shows or hides the tab's window.
  void ShowTabWindow(bool visible);
  HWND FrameWindow() const { return frame_; }
  HWND TabWindow() const { return tab_; }
  void SetCloseHandler(std::function<void()> onQuit) { on_quit_ = std::move(onQuit); }
  // Before Start: the window's pages are shown by another browser.
  void SetRemote(std::shared_ptr<RemotePage> remote) { remote_ = std::move(remote); }

  // For a remote page, on the window's thread: BeforeNavigate2 (true when a sink
  // cancelled), a navigation the page started (busy), one that committed at Url
  // (NavigateComplete2), the page and its frames loaded (DocumentComplete), and a
  // navigation that stopped unfinished.
  bool FireBeforeNavigate(IDispatch* source, const std::u16string& url);
  void FireUrlEvent(DISPID id, IDispatch* source, const std::u16string& url);
  void RemoteNavigated(const std::u16string& url);
  void RemoteCompleted(platform::com::ComPtr<HtmlDocument> page,
                       std::vector<platform::com::ComPtr<IWebBrowser2>> frames);
  void RemoteStarted();
  void RemoteStopped();

 private:
  class FrameHost;
  static LRESULT FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void ThreadMain(std::promise<bool>* started);
  void RunQueued();
  void Navigation(const std::u16string& url);
  // Loads the frames of Page, each with its own events.
  std::vector<platform::com::ComPtr<IWebBrowser2>> LoadFrames(const HtmlDocument& page);
  bool Closed() const;

  const WindowOptions options_;
  const std::shared_ptr<PageSource> pages_;
  platform::com::ComPtr<platform::com::ConnectionPoint> events_;
  std::shared_ptr<FrameHost> host_;

  mutable std::mutex state_lock_;
  platform::com::ComPtr<HtmlDocument> document_;
  std::vector<platform::com::ComPtr<IWebBrowser2>> frames_;  // the page's frame objects
  std::u16string location_;
  bool busy_ = false;
  bool hold_busy_ = false;
  bool visible_;
  bool closed_ = false;
  std::map<std::u16string, platform::com::Variant> properties_;

  std::mutex queue_lock_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> tasks_;
  int unfinished_ = 0;
  bool running_ = false;  // the loop's own flag, touched on the window's thread only
  bool stopped_ = false;  // no more tasks are taken
  std::thread thread_;
  std::thread::id thread_id_;
  HWND frame_ = 0;
  HWND tab_ = 0;
  std::function<void()> on_quit_;
  std::shared_ptr<RemotePage> remote_;
};

}  // namespace platform::browser
