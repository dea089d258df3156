#include "platform/classlib/forms.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/win/display.h"
#include "platform/win/input.h"
#include "platform/win/keyboard.h"
#include "platform/win/scroll.h"
#include "platform/win/std_controls.h"

TApplication* Application = nullptr;

namespace {

struct ModalSteps {
  std::mutex lock;
  std::deque<std::function<void(TCustomForm&)>> steps;
  std::vector<std::string> shown;
};

ModalSteps& Steps() {
  static ModalSteps steps;
  return steps;
}

// Notes the form and takes the next step, when one is queued.
std::function<void(TCustomForm&)> TakeModalStep(const std::string& className) {
  std::lock_guard<std::mutex> guard(Steps().lock);
  Steps().shown.push_back(className);
  if (Steps().steps.empty()) return nullptr;
  auto step = std::move(Steps().steps.front());
  Steps().steps.pop_front();
  return step;
}

}  // namespace

namespace platform::modal_driver {

void Answer(std::function<void(TCustomForm& form)> step) {
  std::lock_guard<std::mutex> guard(Steps().lock);
  Steps().steps.push_back(std::move(step));
}

std::vector<std::string> Shown() {
  std::lock_guard<std::mutex> guard(Steps().lock);
  return Steps().shown;
}

void Clear() {
  std::lock_guard<std::mutex> guard(Steps().lock);
  Steps().steps.clear();
  Steps().shown.clear();
}

}  // namespace platform::modal_driver

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

void TScreen::RemoveForm(TCustomForm* form) { forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end()); }

namespace {

constexpr int kScrollLine = 8;
constexpr int kWheelLines = 3;

}  // namespace

void TScrollingWinControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_SIZE: UpdateScrollBars(); break;
    case WM_VSCROLL: {
      const int page = PageHeight();
      switch (LOWORD(static_cast<DWORD>(message.WParam))) {
        case SB_LINEUP: ScrollTo(position_ - kScrollLine); break;
        case SB_LINEDOWN: ScrollTo(position_ + kScrollLine); break;
        case SB_PAGEUP: ScrollTo(position_ - page); break;
        case SB_PAGEDOWN: ScrollTo(position_ + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(HIWORD(static_cast<DWORD>(message.WParam))); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(ContentHeight()); break;
        default: break;
      }
      message.Result = 0;
      return;
    }
    case WM_MOUSEWHEEL:
      ScrollTo(position_ - GET_WHEEL_DELTA_WPARAM(message.WParam) / WHEEL_DELTA * kWheelLines * kScrollLine);
      message.Result = 0;
      return;
    case WM_COMMAND: {
      const WORD code = HIWORD(static_cast<DWORD>(message.WParam));
      if (code == EN_SETFOCUS || code == CBN_SETFOCUS) {
        if (TWinControl* child = FindControl(static_cast<HWND>(message.LParam))) ScrollInView(child);
      }
      break;
    }
    default: break;
  }
  TWinControl::Dispatch(message);
}

int TScrollingWinControl::ContentHeight() const {
  int bottom = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    const TControl* child = Controls(i);
    if (child->Visible()) bottom = std::max(bottom, child->Top() + child->Height() + position_);
  }
  return bottom;
}

int TScrollingWinControl::PageHeight() {
  RECT client{};
  if (HandleAllocated()) GetClientRect(Handle(), &client);
  return client.bottom - client.top;
}

void TScrollingWinControl::UpdateScrollBars() {
  if (!HandleAllocated()) return;
  const int content = ContentHeight();
  const int page = PageHeight();
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, content - 1),
                  static_cast<UINT>(std::max(0, page)), position_, 0};
  SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
  // Contents that shrank, or a page that grew, may leave nothing below the top.
  ScrollTo(position_);
}

void TScrollingWinControl::ScrollTo(int position) {
  position = std::clamp(position, 0, std::max(0, ContentHeight() - PageHeight()));
  const int delta = position_ - position;
  if (delta == 0) return;
  position_ = position;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* child = Controls(i);
    child->SetBounds(child->Left(), child->Top() + delta, child->Width(), child->Height());
  }
  if (HandleAllocated()) SetScrollPos(Handle(), SB_VERT, position_, TRUE);
  Invalidate();
}

void TScrollingWinControl::ScrollInView(TControl* control) {
  // The child of this control that holds Control, with its place in this one.
  while (control != nullptr && control->Parent() != this) control = control->Parent();
  if (control == nullptr) return;
  const int page = PageHeight();
  if (control->Top() < 0 || control->Height() > page) {
    ScrollTo(position_ + control->Top());
  } else if (control->Top() + control->Height() > page) {
    ScrollTo(position_ + control->Top() + control->Height() - page);
  }
}

// --- forms -----------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  ControlStyle |= csAcceptsControls;
  SetVisible(false);
  SetBounds(100, 100, 320, 240);
  SetColor(clBtnFace);
  Screen().AddForm(this);
}

TCustomForm::~TCustomForm() {
  Destroying();
  if (OnDestroy) OnDestroy(this);
  Screen().RemoveForm(this);
  if (Application != nullptr && Application->MainForm == this) Application->MainForm = nullptr;
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style &= ~(WS_CHILD | WS_CLIPSIBLINGS);
  params.Style |= WS_CLIPCHILDREN;
  switch (BorderStyle) {
    case TFormBorderStyle::bsNone: params.Style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle: params.Style |= WS_CAPTION | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX; break;
    case TFormBorderStyle::bsSizeable: params.Style |= WS_OVERLAPPEDWINDOW; break;
    case TFormBorderStyle::bsDialog:
      params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case TFormBorderStyle::bsToolWindow:
      params.Style |= WS_CAPTION | WS_SYSMENU;
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case TFormBorderStyle::bsSizeToolWin:
      params.Style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  // A form is owned by the application window unless a form sets another owner.
  params.WndParent = Application != nullptr ? Application->Handle() : 0;
  params.WindowClass.hbrBackground = static_cast<HBRUSH>(COLOR_BTNFACE + 1);
}

void TCustomForm::SetVisible(bool visible) {
  if (visible == Visible()) return;
  TControl::SetVisible(visible);
  if (!visible && !HandleAllocated()) return;
  HWND handle = Handle();
  ShowWindow(handle, visible ? SW_SHOW : SW_HIDE);
  Perform(CM_SHOWINGCHANGED, 0, 0);
  if (visible && OnShow) OnShow(this);
  if (!visible && OnHide) OnHide(this);
}

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleAllocated()) SetActiveWindow(Handle());
}

void TCustomForm::Hide() { SetVisible(false); }

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (modal_) {
    ModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (Application != nullptr && Application->MainForm == this) {
    Application->Terminate();
    return;
  }
  if (action == TCloseAction::caHide || action == TCloseAction::caMinimize) Hide();
  if (action == TCloseAction::caFree) Release();
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || modal_) throw EInvalidOperation("Cannot make a visible window modal");
  if (Application == nullptr) throw EInvalidOperation("No application to run a modal loop");
  // Other forms take no input while this one is up.
  std::vector<HWND> disabled;
  for (int i = 0; i < Screen().FormCount(); ++i) {
    TCustomForm* form = Screen().Forms(i);
    if (form != this && form->HandleAllocated() && IsWindowEnabled(form->Handle())) {
      EnableWindow(form->Handle(), FALSE);
      disabled.push_back(form->Handle());
    }
  }
  modal_ = true;
  ModalResult = mrNone;
  Show();
  if (auto step = TakeModalStep(ClassName())) step(*this);
  bool unanswerable = false;
  while (ModalResult == mrNone && !Application->Terminated()) {
    MSG pending{};
    // On a display the user can still answer, so the loop waits for the user.
    if (platform::win::CurrentDisplayBackend() == nullptr && !PeekMessageA(&pending, 0, 0, 0, PM_NOREMOVE)) {
      unanswerable = true;
      ModalResult = mrCancel;
      break;
    }
    Application->HandleMessage();
    if (ModalResult != mrNone && !CloseQuery()) ModalResult = mrNone;
  }
  modal_ = false;
  for (HWND window : disabled) EnableWindow(window, TRUE);
  Hide();
  // Set last, so that the calls above cannot hide from the caller that no one could
  // answer the window.
  if (unanswerable) SetLastError(ERROR_NOT_SUPPORTED);
  return ModalResult;
}

void TCustomForm::Release() {
  if (HandleAllocated()) PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_RELEASE:
      delete this;
      return;
    case WM_CLOSE:
      Close();
      return;
    case CM_DIALOGKEY:
      // Tab and Shift+Tab move through the form's tab stops; Ctrl+Tab is left to the
      // controls.
      if (message.WParam == VK_TAB && !(KeyboardShiftState() & (ssCtrl | ssAlt))) {
        SelectNext(ActiveControl(), !(KeyboardShiftState() & ssShift), true);
        message.Result = 1;
        return;
      }
      TWinControl::Dispatch(message);
      return;
    default:
      TWinControl::Dispatch(message);
  }
}

TWinControl* TCustomForm::ActiveControl() {
  if (!HandleAllocated()) return nullptr;
  // The focus may sit in a window a control made itself (a combo box's edit).
  for (HWND window = GetFocus(); window != 0 && window != Handle(); window = GetParent(window)) {
    TWinControl* control = FindControl(window);
    if (control == nullptr) continue;
    for (TControl* c = control; c != nullptr; c = c->Parent()) {
      if (c == this) return control;
    }
    return nullptr;
  }
  return nullptr;
}

namespace {

void UpdateControlActions(TControl* control) {
  if (!control->Visible()) return;
  control->InitiateAction();
  if (auto* parent = dynamic_cast<TWinControl*>(control)) {
    for (int i = 0; i < parent->ControlCount(); ++i) UpdateControlActions(parent->Controls(i));
  }
}

}  // namespace

void TCustomForm::UpdateActions() {
  for (int i = 0; i < ControlCount(); ++i) UpdateControlActions(Controls(i));
  for (int i = 0; i < ComponentCount(); ++i) {
    if (auto* list = dynamic_cast<TCustomActionList*>(Components(i))) list->UpdateActions();
  }
}

// --- application -----------------------------------------------------------------------

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  Application = this;
  handle_ = AllocateHWnd([this](TMessage& message) { WndProc(message); }, "TApplication",
                         WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX);
}

TApplication::~TApplication() {
  Destroying();
  DestroyComponents();
  DeallocateHWnd(handle_);
  if (Application == this) Application = nullptr;
}

std::string TApplication::Title() {
  int length = GetWindowTextLengthA(handle_);
  std::string title(static_cast<std::size_t>(length) + 1, '\0');
  title.resize(static_cast<std::size_t>(GetWindowTextA(handle_, title.data(), length + 1)));
  return title;
}

void TApplication::SetTitle(const std::string& title) { SetWindowTextA(handle_, title.c_str()); }

void TApplication::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  if (OnHint) {
    OnHint(this);
    return;
  }
  THintAction action(this);
  action.SetHint(hint);
  action.Execute();
}

namespace {

constexpr UINT_PTR kHintTimer = 1;
constexpr int kCursorHeight = 20;  // the hint shows below the arrow cursor

// The control whose hint shows: the control itself or the nearest parent that shows hints.
TControl* HintControlOf(TControl* control) {
  while (control != nullptr && !control->ShowHint) control = control->Parent();
  return control;
}

// The first hint of the control or its parents.
std::string HintOf(TControl* control) {
  for (TControl* c = control; c != nullptr; c = c->Parent()) {
    if (!c->Hint().empty()) return c->Hint();
  }
  return {};
}

std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

// A control's client area in screen coordinates.
RECT ScreenRectOf(TControl* control, const RECT& local) {
  const POINT offset = ClientOrigin(control);
  return RECT{local.left + offset.x, local.top + offset.y, local.right + offset.x, local.bottom + offset.y};
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

void TApplication::Track(TControl* control) {
  if (control != nullptr) control->FreeNotification(this);
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == mouseControl_) mouseControl_ = nullptr;
  if (component == hintWindow_) hintWindow_ = nullptr;
  if (component == hintControl_) CancelHint();
}

void TApplication::StartHintTimer(int pause, bool activate) {
  hintTimerActivates_ = activate;
  SetTimer(handle_, kHintTimer, static_cast<UINT>(std::max(pause, 1)), nullptr);
}

void TApplication::StopHintTimer() { KillTimer(handle_, kHintTimer); }

void TApplication::HideHint() {
  if (hintWindow_ != nullptr) hintWindow_->ReleaseHandle();
}

void TApplication::CancelHint() {
  mouseControl_ = nullptr;
  if (hintControl_ == nullptr) return;
  HideHint();
  hintControl_ = nullptr;
  hintActive_ = false;
  StopHintTimer();
}

void TApplication::HintMouseMessage(TControl* control, POINT screenPoint) {
  TControl* next = ShowHint ? HintControlOf(control) : nullptr;
  if (next == nullptr) {
    CancelHint();
    return;
  }
  if (next == hintControl_ && Inside(hintCursorRect_, screenPoint)) return;
  int pause = hintActive_ ? HintShortPause : HintPause;
  next->Perform(CM_HINTSHOWPAUSE, hintActive_ ? 1 : 0, reinterpret_cast<LPARAM>(&pause));
  StartHintTimer(pause, true);
  HideHint();
  hintControl_ = next;
  Track(next);
  hintCursorRect_ = ScreenRectOf(next, next->ClientRect());
}

void TApplication::ActivateHint(POINT cursor) {
  StopHintTimer();
  hintControl_ = ShowHint ? HintControlOf(FindDragTarget(cursor)) : nullptr;
  Track(hintControl_);
  THintInfo info;
  bool canShow = hintControl_ != nullptr;
  if (canShow) {
    info.HintControl = hintControl_;
    info.HintPos = POINT{cursor.x, cursor.y + kCursorHeight};
    info.HintMaxWidth = platform::win::kScreenWidth;
    info.HintColor = HintColor;
    info.CursorRect = hintControl_->ClientRect();
    RECT origin = ScreenRectOf(hintControl_, RECT{0, 0, 0, 0});
    info.CursorPos = POINT{cursor.x - origin.left, cursor.y - origin.top};
    info.HintStr = ShortHint(HintOf(hintControl_));
    info.HideTimeout = HintHidePause;
    info.HintWindowClass = HintWindowClass;
    canShow = hintControl_->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
  }
  hintActive_ = canShow && hintControl_ != nullptr;
  if (hintActive_ && !info.HintStr.empty() && info.HintWindowClass != nullptr) {
    if (hintWindow_ == nullptr || &hintWindow_->ClassType() != info.HintWindowClass) {
      delete hintWindow_;
      hintWindow_ = info.HintWindowClass->Create(this);
    }
    hintWindow_->SetColor(info.HintColor);
    RECT rect = hintWindow_->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    rect = RECT{rect.left + info.HintPos.x, rect.top + info.HintPos.y, rect.right + info.HintPos.x,
                rect.bottom + info.HintPos.y};
    hintWindow_->ActivateHintData(rect, info.HintStr, info.HintData);
    // A window that found nothing to show cancelled the hint.
    if (hintControl_ == nullptr) return;
    hintCursorRect_ = ScreenRectOf(hintControl_, info.CursorRect);
    if (info.ReshowTimeout > 0) {
      StartHintTimer(info.ReshowTimeout, true);
    } else if (info.HideTimeout > 0) {
      StartHintTimer(info.HideTimeout, false);
    }
    return;
  }
  if (info.ReshowTimeout > 0) {
    StartHintTimer(info.ReshowTimeout, true);
  } else {
    CancelHint();
  }
}

void TApplication::Run() {
  if (MainForm != nullptr && ShowMainForm) MainForm->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  // Escape ends a drag wherever the focus is.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && CancelDrag()) return true;
  if (msg.message == WM_MOUSEMOVE) {
    POINT cursor;
    GetCursorPos(&cursor);
    HintMouseMessage(FindDragTarget(cursor), cursor);
  }
  bool handled = false;
  if (OnMessage) OnMessage(msg, handled);
  if (!handled && !(DialogHandle != 0 && IsDialogMessageA(DialogHandle, &msg))) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void TApplication::HandleMessage() {
  MSG msg{};
  if (!ProcessMessage(msg)) Idle(msg);
}

void TApplication::ProcessMessages() {
  MSG msg{};
  while (ProcessMessage(msg)) {
  }
}

TControl* FindDragTarget(POINT screenPoint) {
  HWND window = WindowFromPoint(screenPoint);
  TWinControl* control = TWinControl::FindControl(window);
  if (control == nullptr) return nullptr;
  POINT local = screenPoint;
  ScreenToClient(window, &local);
  for (int i = control->ControlCount() - 1; i >= 0; --i) {
    TControl* child = control->Controls(i);
    if (dynamic_cast<TWinControl*>(child) != nullptr || !child->Visible()) continue;
    RECT r = child->BoundsRect();
    if (local.x >= r.left && local.x < r.right && local.y >= r.top && local.y < r.bottom) return child;
  }
  return control;
}

std::string GetLongHint(const std::string& hint) {
  auto bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

void TApplication::Idle(const MSG&) {
  POINT cursor;
  GetCursorPos(&cursor);
  TControl* control = FindDragTarget(cursor);
  if (control != mouseControl_) {
    if (mouseControl_ != nullptr) mouseControl_->Perform(CM_MOUSELEAVE, 0, 0);
    mouseControl_ = control;
    Track(control);
    if (control != nullptr) control->Perform(CM_MOUSEENTER, 0, 0);
  }
  SetHint(GetLongHint(HintOf(control)));
  bool done = true;
  if (OnIdle) OnIdle(this, done);
  if (!done) return;
  for (int i = 0; i < Screen().FormCount(); ++i) {
    TCustomForm* form = Screen().Forms(i);
    if (form->Visible()) form->UpdateActions();
  }
  if (!terminated_) WaitMessage();
}

bool TApplication::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  if (OnActionExecute) OnActionExecute(action, handled);
  return handled;
}

LRESULT TApplication::SendAppMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(handle_, message, wParam, lParam);
}

int TApplication::HookMainWindow(const TWindowHook& hook) {
  hooks_.emplace_back(nextHook_, hook);
  return nextHook_++;
}

void TApplication::UnhookMainWindow(int hook) {
  hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [&](const auto& entry) { return entry.first == hook; }),
               hooks_.end());
}

void TApplication::HandleException(TObject* sender, const Exception& error) {
  if (OnException) {
    OnException(sender, error);
    return;
  }
  std::fprintf(stderr, "%s\n", error.Message().c_str());
}

void TApplication::WndProc(TMessage& message) {
  auto hooks = hooks_;
  for (auto& [id, hook] : hooks) {
    if (hook(message)) return;
  }
  switch (message.Msg) {
    case WM_CLOSE:
      if (MainForm != nullptr) MainForm->Close();
      return;
    case WM_TIMER:
      if (message.WParam != kHintTimer) break;
      if (hintTimerActivates_) {
        POINT cursor;
        GetCursorPos(&cursor);
        ActivateHint(cursor);
      } else {
        StopHintTimer();
        HideHint();
      }
      return;
    case CM_ACTIONEXECUTE:
    case CM_ACTIONUPDATE:
      // Forms may answer an action the application did not; none do here.
      message.Result = 0;
      return;
    default:
      message.Result = DefWindowProcA(handle_, message.Msg, message.WParam, message.LParam);
  }
}
