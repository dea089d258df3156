#include "formfill/ie_win.h"

#include <exception>

#include "data/app_services.h"
#include "data/menu_messages.h"
#include "formfill/after_navigate.h"
#include "formfill/browser_access.h"
#include "formfill/float_buttons.h"
#include "formfill/form_reading.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/win/window.h"

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

// The text of an event argument (read through a reference).
std::u16string ArgumentText(DISPPARAMS* params, UINT index) {
  VARIANT* argument = platform::com::Argument(params, index);
  Variant text;
  if (argument == nullptr || FAILED(VariantChangeType(text.get(), argument, 0, VT_BSTR))) return {};
  return text.StringValue();
}

LONG ArgumentLong(DISPPARAMS* params, UINT index) {
  VARIANT* argument = platform::com::Argument(params, index);
  Variant number;
  if (argument == nullptr || FAILED(VariantChangeType(number.get(), argument, 0, VT_I4))) return 0;
  return number.raw().lVal;
}

ComPtr<IDispatch> ArgumentObject(DISPPARAMS* params, UINT index) {
  VARIANT* argument = platform::com::Argument(params, index);
  if (argument == nullptr || argument->vt != VT_DISPATCH) return {};
  return ComPtr<IDispatch>(argument->pdispVal);
}

// A browser property as a 32-bit integer; 0 when it is none.
LONG IntegerProperty(IWebBrowser2* browser, std::u16string_view name) {
  Variant value;
  if (FAILED(browser->GetProperty(BString(name).get(), value.Put())) || value.type() != VT_I4) return 0;
  return value.raw().lVal;
}

void PutProperty(IWebBrowser2* browser, std::u16string_view name, const Variant& value) {
  browser->PutProperty(BString(name).get(), value.raw());
}

void Disconnect(auto& sink) {
  if (sink.point && sink.cookie != 0) sink.point->Unadvise(sink.cookie);
  sink.point.Reset();
  sink.cookie = 0;
}

// Connects Sink to Source's events (dropping its previous connection).
bool Connect(auto& sink, IUnknown* source, const IID& events) {
  Disconnect(sink);
  ComPtr<IConnectionPointContainer> container;
  if (source == nullptr || FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())))
    return false;
  ComPtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(events, point.Put())) || !point) return false;
  DWORD cookie = 0;
  if (FAILED(point->Advise(sink.sink.get(), &cookie))) return false;
  sink.point = point;
  sink.cookie = cookie;
  return true;
}

VARIANT_BOOL Answer(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

void SetBoolResult(VARIANT* result, bool value) {
  if (result == nullptr) return;
  VariantClear(result);
  result->vt = VT_BOOL;
  result->boolVal = Answer(value);
}

}  // namespace

std::u16string HexId(std::uint32_t n) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(n >> shift) & 0xF];
  return text;
}

std::shared_ptr<TIEWin> TIEWin::Create(ComPtr<IWebBrowser2> browser) {
  std::shared_ptr<TIEWin> watcher(new TIEWin(std::move(browser)));
  watcher->id_ = platform::RegisterObject(watcher);
  watcher->win_id_ = u"PXID_" + HexId(watcher->id_);
  return watcher;
}

TIEWin::TIEWin(ComPtr<IWebBrowser2> browser) : browser_(std::move(browser)) {}

TIEWin::~TIEWin() { platform::ForgetObject(id_); }

HWND TIEWin::FrameWnd() const {
  std::lock_guard guard(lock_);
  return frame_wnd_;
}

HWND TIEWin::TabWnd() const {
  std::lock_guard guard(lock_);
  return tab_wnd_;
}

std::u16string TIEWin::ClientID() const {
  std::lock_guard guard(lock_);
  return client_id_;
}

platform::ObjectId TIEWin::FloatForm() const {
  std::lock_guard guard(lock_);
  return float_form_;
}

bool TIEWin::Released() const {
  std::lock_guard guard(lock_);
  return released_;
}

void TIEWin::Attach() {
  if (!browser_) return;
  try {
    PutProperty(browser_.get(), kWinIdProperty, Variant::Text(win_id_));
    PutProperty(browser_.get(), kWinObjProperty, Variant::Int(static_cast<LONG>(id_)));
    // A tab in the background has a hidden window: its button waits for the tab.
    bool visible = true;
    ComPtr<IServiceProvider> services;
    ComPtr<IOleWindow> tab;
    HWND tabWnd = 0;
    if (SUCCEEDED(browser_->QueryInterface(IID_IServiceProvider, services.PutVoid())) && services &&
        SUCCEEDED(services->QueryService(SID_SShellBrowser, IID_IOleWindow, tab.PutVoid())) && tab &&
        SUCCEEDED(tab->GetWindow(&tabWnd)) && IsWindow(tabWnd)) {
      std::lock_guard guard(lock_);
      tab_wnd_ = tabWnd;
      visible = IsWindowVisible(tabWnd);
    }
    SHANDLE_PTR frame = 0;
    if (SUCCEEDED(browser_->get_HWND(&frame))) {
      {
        std::lock_guard guard(lock_);
        frame_wnd_ = static_cast<HWND>(frame);
      }
      auto floatForm = static_cast<platform::ObjectId>(SendToMainWindow(kCmdCreateFloat, static_cast<LPARAM>(frame)));
      {
        std::lock_guard guard(lock_);
        float_form_ = floatForm;
      }
      if (floatForm != 0 && FloatButtons()) FloatButtons()->Bind(floatForm, id_, visible);
    }

    std::weak_ptr<TIEWin> weak = weak_from_this();
    auto events = platform::com::MakeComObject<platform::com::DispatchObject>(
        std::initializer_list<IID>{DIID_DWebBrowserEvents2});
    auto handle = [weak](auto work) {
      return [weak, work](WORD, DISPPARAMS* params, VARIANT*) -> HRESULT {
        std::shared_ptr<TIEWin> self = weak.lock();
        if (!self || self->Released()) return S_OK;
        try {
          work(*self, params);
        } catch (const std::exception&) {
          // Event handlers swallow their errors.
        }
        return S_OK;
      };
    };
    events->AddMember(u"BeforeNavigate2", DISPID_BEFORENAVIGATE2, handle([](TIEWin& self, DISPPARAMS* params) {
                        self.OnBeforeNavigate2(ArgumentText(params, 1));
                      }));
    events->AddMember(u"NavigateComplete2", DISPID_NAVIGATECOMPLETE2, handle([](TIEWin& self, DISPPARAMS* params) {
                        self.OnNavigateComplete2(ArgumentObject(params, 0).get(), ArgumentText(params, 1));
                      }));
    events->AddMember(u"DocumentComplete", DISPID_DOCUMENTCOMPLETE, handle([](TIEWin& self, DISPPARAMS* params) {
                        self.OnDocumentComplete(ArgumentObject(params, 0).get(), ArgumentText(params, 1));
                      }));
    events->AddMember(u"WindowStateChanged", DISPID_WINDOWSTATECHANGED,
                      handle([](TIEWin& self, DISPPARAMS* params) {
                        self.OnWindowStateChanged(ArgumentLong(params, 0), ArgumentLong(params, 1));
                      }));
    {
      std::lock_guard guard(sinks_lock_);
      browser_events_.sink = ComPtr<IDispatch>(events.get());
      Connect(browser_events_, browser_.get(), DIID_DWebBrowserEvents2);
    }
    HookForms();

    VARIANT_BOOL busy = VARIANT_TRUE;
    BString location;
    if (FirstRunCompleted.load() && SUCCEEDED(browser_->get_Busy(&busy)) && busy == VARIANT_FALSE) {
      // A window opened for a stored form may have loaded its page before it was
      // watched: its request is taken now, as the page's completion takes it.
      if (IntegerProperty(browser_.get(), kNavActionProperty) != 0 &&
          SUCCEEDED(browser_->get_LocationURL(location.Put()))) {
        OnDocumentComplete(browser_.get(), location.Text());
      } else {
        StartAfterNavigate(nullptr, 0);
      }
    }
    if (!StandaloneMode.load() && !InprocHostMode.load()) ReadToolbarClientId();
  } catch (const std::exception&) {
    // A watcher that could not be bound whole watches what it could bind.
  }
}

void TIEWin::Release() {
  {
    std::lock_guard guard(lock_);
    if (released_) return;
    released_ = true;
  }
  platform::ForgetObject(id_);
  {
    std::lock_guard guard(sinks_lock_);
    Disconnect(browser_events_);
    for (Sink& sink : input_sinks_) Disconnect(sink);
    for (Sink& sink : form_sinks_) Disconnect(sink);
    input_sinks_.clear();
    form_sinks_.clear();
  }
  FreePasswordContext();
  PreparedValues::Instance().CloseWindow(win_id_);
}

void TIEWin::ReadToolbarClientId() {
  Variant value;
  if (!browser_ || FAILED(browser_->GetProperty(BString(kToolbarClientIdProperty).get(), value.Put()))) return;
  std::u16string clientId = value.AsText();
  platform::ObjectId floatForm = 0;
  {
    std::lock_guard guard(lock_);
    client_id_ = clientId;
    floatForm = float_form_;
  }
  if (!clientId.empty() && floatForm != 0 && FloatButtons()) FloatButtons()->SetClientID(floatForm, clientId);
}

void TIEWin::PostReleaseFloat() {
  platform::ObjectId floatForm = FloatForm();
  if (floatForm == 0) return;
  HWND window = FloatButtons() ? FloatButtons()->Handle(floatForm) : 0;
  if (window != 0) PostToMainWindow(kCmdReleaseFloat, static_cast<LPARAM>(window));
}

void TIEWin::NavigateTo(const std::u16string& url) {
  if (!browser_) return;
  Variant address = Variant::Text(url);
  browser_->Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
}

void TIEWin::SetPending(std::u16string url, std::shared_ptr<TFormItem> item, std::uint8_t action) {
  std::lock_guard guard(lock_);
  pending_url_ = std::move(url);
  pending_item_ = std::move(item);
  pending_action_ = action;
}

std::shared_ptr<TInputPasswordContext> TIEWin::PasswordContext() const {
  std::lock_guard guard(lock_);
  return password_context_;
}

void TIEWin::FreePasswordContext() {
  std::shared_ptr<TInputPasswordContext> dropped;
  std::lock_guard guard(lock_);
  dropped = std::move(password_context_);
}

std::uint64_t TIEWin::AfterNavThread() const {
  std::lock_guard guard(lock_);
  return after_nav_thread_;
}

void TIEWin::ClearAfterNavThread(std::uint64_t pass) {
  std::lock_guard guard(lock_);
  if (after_nav_thread_ == pass) after_nav_thread_ = 0;
}

void TIEWin::StartAfterNavigate(std::shared_ptr<TFormItem> item, std::uint8_t action) {
  std::uint64_t pass = TAfterNavigateThr::Start(id_, win_id_, std::move(item), action, false);
  std::lock_guard guard(lock_);
  after_nav_thread_ = pass;
}

ComPtr<IDispatch> TIEWin::MakeElementSink(DISPID event, const IID& events) {
  std::weak_ptr<TIEWin> weak = weak_from_this();
  auto sink = platform::com::MakeComObject<platform::com::DispatchObject>(std::initializer_list<IID>{events});
  sink->AddMember(u"", event, [weak, event](WORD, DISPPARAMS* params, VARIANT* result) -> HRESULT {
    std::shared_ptr<TIEWin> self = weak.lock();
    bool answer = event == DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU;  // an inactive sink keeps the browser's menu
    if (self && !self->Released()) {
      ComPtr<IHTMLEventObj> eventObj = ArgumentObject(params, 0).As<IHTMLEventObj>();
      if (event == DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU) {
        answer = self->OnPasswordContextMenu(eventObj.get());
      } else {
        ComPtr<IHTMLElement> form;
        if (eventObj && SUCCEEDED(eventObj->get_srcElement(form.Put()))) self->OnFormSubmit(form.get());
        answer = false;
      }
    }
    SetBoolResult(result, answer);
    return S_OK;
  });
  return ComPtr<IDispatch>(sink.get());
}

void TIEWin::HookForms() {
  if (!browser_) return;
  FreePasswordContext();
  ComPtr<IHTMLDocument3> document;
  GetDocument3(browser_.get(), document);
  if (!document) return;
  std::lock_guard guard(sinks_lock_);
  if (Released()) return;
  try {
    HookAll(document.get(), u"input", input_sinks_, DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU,
            DIID_HTMLInputTextElementEvents2, true);
    HookAll(document.get(), u"form", form_sinks_, DISPID_HTMLFORMELEMENTEVENTS2_ONSUBMIT,
            DIID_HTMLFormElementEvents2, false);
  } catch (const std::exception&) {
    // The pass ends; what was hooked stays hooked.
  }
}

void TIEWin::HookAll(IHTMLDocument3* document, const std::u16string& tag, std::vector<Sink>& sinks, DISPID event,
                     const IID& events, bool passwordsOnly) {
  ComPtr<IHTMLElementCollection> elements;
  if (FAILED(document->getElementsByTagName(BString(tag).get(), elements.Put())) || !elements) return;
  std::size_t used = 0;
  ForEachItem(elements.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> element = ComPtr<IDispatch>(item).As<IHTMLElement>();
    if (passwordsOnly) {
      std::string type;
      if (!element || !ReadInputType(element.get(), type) || type != "password") return true;
    }
    if (used == sinks.size()) sinks.push_back(Sink{MakeElementSink(event, events), {}, 0});
    Connect(sinks[used], item, events);
    ++used;
    return true;
  });
}

void TIEWin::OnBeforeNavigate2(const std::u16string& url) {
  FreePasswordContext();
  TakePendingNavigation(url);
}

void TIEWin::OnNavigateComplete2(IDispatch* frame, const std::u16string& url) {
  // The window shows another page: what was prepared for the last one goes with it.
  if (platform::com::IsSameObject(frame, browser_.get())) PreparedValues::Instance().DropWindow(win_id_);
  TakePendingNavigation(url);
}

void TIEWin::TakePendingNavigation(const std::u16string& url) {
  LONG action = IntegerProperty(browser_.get(), kNavActionProperty);
  if (action == 0) return;
  PutProperty(browser_.get(), kNavActionProperty, Variant::Int(0));
  LONG request = IntegerProperty(browser_.get(), kNavObjProperty);
  if (request == 0) return;
  PutProperty(browser_.get(), kNavObjProperty, Variant::Int(0));
  // The opener handed the request over under its id; an id that names no request
  // (unknown, taken already, or forged) is no request.
  std::shared_ptr<TNavigateItem> item = platform::TakeObject<TNavigateItem>(static_cast<platform::ObjectId>(request));
  if (!item || !item->Item || url != item->Item->URL()) return;
  SetPending(url, item->Item, static_cast<std::uint8_t>(action));
}

void TIEWin::OnDocumentComplete(IDispatch* frame, const std::u16string& url) {
  // A frame's completion is part of its page's load: the page's own completion, which
  // comes last, starts the one pass over it (the page's collections hold no frame's
  // elements), and a pending request waits for it.
  if (!platform::com::IsSameObject(frame, browser_.get())) return;
  FreePasswordContext();
  // A request handed over while the window was not yet watched is still there.
  TakePendingNavigation(url);
  std::u16string address = platform::LowerCase(url);
  if (address.rfind(u"http", 0) != 0) return;
  std::shared_ptr<TFormItem> record;
  std::uint8_t action = 0;
  {
    std::lock_guard guard(lock_);
    if (!pending_url_.empty()) {
      if (url != pending_url_) {
        // The page completing at another address was redirected: the request expires
        // and the page is handled as any other.
        pending_url_.clear();
        pending_item_.reset();
        pending_action_ = 0;
      } else {
        record = pending_item_;
        action = pending_action_;
      }
    }
  }
  if (action != kNavigateFillSubmit) HookForms();
  if (FirstRunCompleted.load()) StartAfterNavigate(record, action);
  std::lock_guard guard(lock_);
  if (pending_url_ == url) {
    pending_url_.clear();
    pending_item_.reset();
    pending_action_ = 0;
  }
}

void TIEWin::OnWindowStateChanged(LONG flags, LONG validMask) {
  platform::ObjectId floatForm = FloatForm();
  TFloatButtons* buttons = FloatButtons();
  if (floatForm == 0 || buttons == nullptr) return;
  if ((validMask & (OLECMDIDF_WINDOWSTATE_USERVISIBLE_VALID | 1)) == 0) return;
  bool shown = buttons->IsVisible(floatForm);
  if (flags & OLECMDIDF_WINDOWSTATE_USERVISIBLE) {
    if (!shown && !IsIconic(FrameWnd()) && FloatButtonEnabled.load()) PostToMainWindow(kCmdShowFloat, floatForm);
  } else if (shown) {
    PostToMainWindow(kCmdHideFloat, floatForm);
  }
}

bool TIEWin::OnPasswordContextMenu(IHTMLEventObj* event) {
  try {
    FreePasswordContext();
    ComPtr<IHTMLElement> element;
    if (event != nullptr && FAILED(event->get_srcElement(element.Put()))) element.Reset();
    auto context = std::make_shared<TInputPasswordContext>(element, win_id_, id_);
    WPARAM command = context->Value().empty() ? kCmdPasswordMenuEmpty
                     : context->ValueTyped()  ? kCmdPasswordMenuTyped
                                              : kCmdPasswordMenuPrepared;
    {
      std::lock_guard guard(lock_);
      password_context_ = context;
    }
    PostToMainWindow(command, static_cast<LPARAM>(id_));
    return false;
  } catch (const std::exception&) {
    return true;
  }
}

void TIEWin::OnFormSubmit(IHTMLElement* element) {
  ComPtr<IHTMLFormElement> form;
  if (element == nullptr || FAILED(element->QueryInterface(IID_IHTMLFormElement, form.PutVoid())) || !form) return;
  BString location;
  if (FAILED(browser_->get_LocationURL(location.Put()))) return;
  auto item = std::make_unique<TMessageItem>();
  if (!GetFormIdentity(form.get(), item->FormName, item->FormID)) return;
  GetDocumentTitle(browser_.get(), item->Caption);
  item->URL = location.Text();
  item->Sender = id_;
  ReadFormFields(form.get(), &item->Fields, &item->Passwords);
  if (item->Fields.empty() && item->Passwords.GetCount() == 0) return;
  if (IsSkippedForm(item->URL, item->FormName, &item->Fields)) return;
  PostObjectToMainWindow(kCmdFormSubmitted, std::move(item));
}

}  // namespace formfill
