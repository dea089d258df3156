// The watcher of one browser window: it marks the browser with its own id, asks the
// main window for a floating button, listens to the browser's navigation and
// window-state events, to the submit events of the page's forms and to the context-menu
// events of its password inputs, hands a pending request to fill a stored form to the
// page, starts an after-navigation pass for every completed "http" page, and reports
// to the main window by "PellixMessage" commands.
//
// Ownership and threads: the watcher thread (main_thread.h) creates each watcher, holds
// it in its window table and is the only one that releases it (Release cuts every sink,
// drops the password context and closes the window's prepared values). The prepared
// values of a page are dropped when the window's page changes. Everyone else reaches a
// watcher by its object id (registered weakly, so a gone watcher answers nothing) and
// holds it only while using it. The browser's events arrive on the browser's own thread;
// the sinks hold the watcher weakly and do nothing once it is released. The watcher's
// fields are guarded by its own lock, never held across a call into the page or the
// main window.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "data/app_services.h"
#include "data/form_items.h"
#include "formfill/password_inputs.h"
#include "platform/base/object_registry.h"
#include "platform/browser/exdisp.h"

namespace formfill {

// Browser properties of the watcher and of a pending stored-form request.
inline constexpr char16_t kWinIdProperty[] = u"Pellix_Win_ID";
inline constexpr char16_t kWinObjProperty[] = u"Pellix_Win_OBJ";
inline constexpr char16_t kNavActionProperty[] = u"Pellix_NavAction";
inline constexpr char16_t kNavObjProperty[] = u"Pellix_NavObj";
inline constexpr char16_t kToolbarClientIdProperty[] = u"TOOLBAR_CLIENT_ID";


// Eight upper-case hexadecimal digits of N (the text of ids in keys and window ids).
std::u16string HexId(std::uint32_t n);

class TIEWin : public std::enable_shared_from_this<TIEWin> {
 public:
  // A watcher for Browser, registered under a new id; its window id is "PXID_" and
  // the id in eight hexadecimal digits.
  static std::shared_ptr<TIEWin> Create(platform::com::ComPtr<IWebBrowser2> browser);
  ~TIEWin();
  TIEWin(const TIEWin&) = delete;
  TIEWin& operator=(const TIEWin&) = delete;

  platform::ObjectId Id() const { return id_; }
  const std::u16string& WinId() const { return win_id_; }
  IWebBrowser2* Browser() const { return browser_.get(); }
  HWND FrameWnd() const;
  // The window of the browser's tab; 0 when not found.
  HWND TabWnd() const;
  std::u16string ClientID() const;
  platform::ObjectId FloatForm() const;

  // Watcher thread, once: marks the browser, asks for the floating button, subscribes
  // to the browser's events, hooks the page and handles the page already loaded.
  void Attach();
  // Watcher thread, once, when the table drops the watcher.
  void Release();
  void ReadToolbarClientId();
  // Posts command 1 with the floating window's handle.
  void PostReleaseFloat();
  void NavigateTo(const std::u16string& url);
  // A stored form to fill on the next completed page with that address.
  void SetPending(std::u16string url, std::shared_ptr<TFormItem> item, std::uint8_t action);

  // The context of the password input last right-clicked (shared with a queued fill).
  std::shared_ptr<TInputPasswordContext> PasswordContext() const;
  void FreePasswordContext();

  // The number of the after-navigation pass last started for this window (0: none).
  std::uint64_t AfterNavThread() const;
  // Clears it when it is still Pass.
  void ClearAfterNavThread(std::uint64_t pass);

  // Set by the scan before it walks the shell windows (watcher thread only).
  bool Stale = false;

 private:
  struct Sink {
    platform::com::ComPtr<IDispatch> sink;
    platform::com::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
  };

  explicit TIEWin(platform::com::ComPtr<IWebBrowser2> browser);

  bool Released() const;
  void HookForms();
  void HookAll(IHTMLDocument3* document, const std::u16string& tag, std::vector<Sink>& sinks, DISPID event,
               const IID& events, bool passwordsOnly);
  platform::com::ComPtr<IDispatch> MakeElementSink(DISPID event, const IID& events);
  void StartAfterNavigate(std::shared_ptr<TFormItem> item, std::uint8_t action);

  void OnBeforeNavigate2(const std::u16string& url);
  void OnNavigateComplete2(IDispatch* frame, const std::u16string& url);
  void OnDocumentComplete(IDispatch* frame, const std::u16string& url);
  void OnWindowStateChanged(LONG flags, LONG validMask);
  bool OnPasswordContextMenu(IHTMLEventObj* event);
  void OnFormSubmit(IHTMLElement* form);
  void TakePendingNavigation(const std::u16string& url);

  const platform::com::ComPtr<IWebBrowser2> browser_;
  platform::ObjectId id_ = 0;
  std::u16string win_id_;

  mutable std::mutex lock_;
  bool released_ = false;
  HWND frame_wnd_ = 0;
  HWND tab_wnd_ = 0;
  std::u16string client_id_;
  platform::ObjectId float_form_ = 0;
  std::uint64_t after_nav_thread_ = 0;
  std::u16string pending_url_;
  std::shared_ptr<TFormItem> pending_item_;
  std::uint8_t pending_action_ = 0;
  std::shared_ptr<TInputPasswordContext> password_context_;

  // Sinks are touched on the browser's thread (hooking) and on the watcher thread
  // (release), under their own lock.
  std::mutex sinks_lock_;
  Sink browser_events_;
  std::vector<Sink> input_sinks_;
  std::vector<Sink> form_sinks_;
};

}  // namespace formfill
