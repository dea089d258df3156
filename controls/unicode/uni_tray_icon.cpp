#include "controls/unicode/uni_tray_icon.h"

#include <algorithm>

#include "controls/unicode/uni_forms.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"

namespace {

// Copies text into a fixed field, cut to leave room for the terminating zero.
template <std::size_t N>
void CopyField(char16_t (&field)[N], const std::u16string& text) {
  std::size_t length = std::min(text.size(), N - 1);
  std::copy_n(text.begin(), length, field);
  std::fill(field + length, field + N, u'\0');
}

bool SameAnsi(const std::u16string& a, const std::u16string& b) {
  return platform::WideToAnsi(a) == platform::WideToAnsi(b);
}

TShiftState KeyboardShift() {
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

std::u16string ApplicationTitle() {
  if (UniApplication != nullptr) return UniApplication->Title();
  return Application != nullptr ? platform::AnsiToWide(Application->Title()) : std::u16string();
}

}  // namespace

TUniTrayIcon::TUniTrayIcon(TComponent* owner) : TComponent(owner), timer_(std::make_unique<TTimer>(nullptr)) {
  timer_->SetEnabled(false);
  timer_->SetInterval(1000);
  timer_->SetOnTimer([this](TObject* sender) { OnAnimateTimer(sender); });
  if (Designing()) return;
  Data = NOTIFYICONDATAW{};
  Data.cbSize = kRecordSize;
  window_ = AllocateHWnd([this](TMessage& message) { WindowProc(message); });
  Data.hWnd = window_;
  Data.uID = window_;
  Data.uTimeout = 3000;
  Data.hIcon = currentIcon_.Handle();
  Data.uFlags = NIF_MESSAGE | NIF_ICON;
  Data.uCallbackMessage = kCallbackMessage;
  std::u16string title = ApplicationTitle();
  CopyField(Data.szTip, title);
  if (!title.empty()) Data.uFlags |= NIF_TIP;
  Refresh();
}

TUniTrayIcon::~TUniTrayIcon() {
  Destroying();
  if (!Designing()) {
    // Hiding on the way out: a failure here has no one left to tell.
    if (visible_) Notify(NIM_DELETE);
  }
  timer_.reset();
  if (window_ != 0) DeallocateHWnd(window_);
}

bool TUniTrayIcon::Notify(DWORD message) { return Shell_NotifyIconW(message, &Data) != FALSE; }

void TUniTrayIcon::Refresh() {
  if (Designing()) return;
  Data.hIcon = currentIcon_.Handle();
  if (visible_) Notify(NIM_MODIFY);
}

void TUniTrayIcon::SetDefaultIcon() {
  currentIcon_.Assign(icon_.Empty() ? &ApplicationIcon() : &icon_);
  Refresh();
}

void TUniTrayIcon::ShowFrame() {
  if (icons_ != nullptr) icons_->GetIcon(iconIndex_, currentIcon_);
}

void TUniTrayIcon::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  if (!animate_ || currentIcon_.Empty()) SetDefaultIcon();
  if (Designing()) return;
  if (value) {
    if (!Notify(NIM_ADD)) throw EOutOfResources("Cannot create shell notification icon");
  } else if (!(ComponentState() & csLoading)) {
    if (!Notify(NIM_DELETE)) throw EOutOfResources("Cannot remove shell notification icon");
  }
  if (animate_) timer_->SetEnabled(value);
}

void TUniTrayIcon::SetIconIndex(int value) {
  if (iconIndex_ == value) return;
  iconIndex_ = value;
  if (!Designing()) ShowFrame();
  Refresh();
}

void TUniTrayIcon::SetIcons(TImageList* value) {
  if (icons_ == value) return;
  if (icons_ != nullptr) icons_->RemoveFreeNotification(this);
  icons_ = value;
  if (icons_ != nullptr) icons_->FreeNotification(this);
  if (Designing()) return;
  if (icons_ != nullptr && icons_->Count() > 0) {
    ShowFrame();
    Refresh();
  } else {
    SetDefaultIcon();
  }
}

void TUniTrayIcon::SetIcon(const TIcon& value) {
  icon_.Assign(&value);
  currentIcon_.Assign(&value);
  Refresh();
}

void TUniTrayIcon::SetAnimate(bool value) {
  if (animate_ == value) return;
  animate_ = value;
  if (Designing()) return;
  if (icons_ != nullptr && icons_->Count() > 0 && visible_) timer_->SetEnabled(value);
  if (!value && !currentIcon_.Empty()) icon_.Assign(&currentIcon_);
}

void TUniTrayIcon::SetHint(const std::u16string& value) {
  if (SameAnsi(hint_, value)) return;
  hint_ = value;
  CopyField(Data.szTip, value);
  if (value.empty()) {
    Data.uFlags &= ~NIF_TIP;
  } else {
    Data.uFlags |= NIF_TIP;
  }
  Refresh();
}

void TUniTrayIcon::SetBalloonHint(const std::u16string& value) {
  if (SameAnsi(balloonHint_, value)) return;
  balloonHint_ = value;
  CopyField(Data.szInfo, value);
  Notify(NIM_MODIFY);
}

void TUniTrayIcon::SetBalloonTitle(const std::u16string& value) {
  if (SameAnsi(balloonTitle_, value)) return;
  balloonTitle_ = value;
  CopyField(Data.szInfoTitle, value);
  Notify(NIM_MODIFY);
}

void TUniTrayIcon::ShowBalloonHint() {
  Data.uFlags |= NIF_INFO;
  Data.dwInfoFlags = static_cast<DWORD>(BalloonFlags);
  Notify(NIM_MODIFY);
}

void TUniTrayIcon::OnAnimateTimer(TObject*) {
  if (OnAnimate) OnAnimate(this);
  if (icons_ != nullptr && icons_->Count() - 1 > iconIndex_) {
    SetIconIndex(iconIndex_ + 1);
  } else {
    SetIconIndex(0);
  }
  Refresh();
}

void TUniTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == icons_) icons_ = nullptr;
}

void TUniTrayIcon::HandleMouse(UINT mouseMessage) {
  TShiftState shift = KeyboardShift();
  POINT at{};
  GetCursorPos(&at);
  switch (mouseMessage) {
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(this, shift, at.x, at.y);
      break;
    case WM_LBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(this, TMouseButton::mbLeft, shift | ssLeft, at.x, at.y);
      IsClicked = true;
      break;
    case WM_LBUTTONUP:
      if (IsClicked && OnClick) {
        OnClick(this);
        IsClicked = false;
      }
      if (OnMouseUp) OnMouseUp(this, TMouseButton::mbLeft, shift | ssLeft, at.x, at.y);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      if (OnDblClick) OnDblClick(this);
      break;
    case WM_RBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(this, TMouseButton::mbRight, shift | ssRight, at.x, at.y);
      break;
    case WM_RBUTTONUP:
      if (OnMouseUp) OnMouseUp(this, TMouseButton::mbRight, shift | ssRight, at.x, at.y);
      if (PopupMenu != nullptr) {
        if (Application != nullptr) {
          SetForegroundWindow(Application->Handle());
          Application->ProcessMessages();
        }
        PopupMenu->AutoPopup = false;
        PopupMenu->PopupComponent = Owner();
        PopupMenu->Popup(at.x, at.y);
      }
      break;
    case WM_MBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(this, TMouseButton::mbMiddle, shift | ssMiddle, at.x, at.y);
      break;
    case WM_MBUTTONUP:
      if (OnMouseUp) OnMouseUp(this, TMouseButton::mbMiddle, shift | ssMiddle, at.x, at.y);
      break;
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
      Data.uFlags &= ~NIF_INFO;
      break;
    default:
      break;
  }
}

void TUniTrayIcon::WindowProc(TMessage& message) {
  static const UINT taskbarCreated = RegisterWindowMessageW(u"TaskbarCreated");
  message.Result = 0;
  if (message.Msg == WM_QUERYENDSESSION) {
    message.Result = 1;
  } else if (message.Msg == WM_ENDSESSION) {
    if (message.WParam != 0) Notify(NIM_DELETE);
  } else if (message.Msg == taskbarCreated) {
    if (visible_) Notify(NIM_ADD);
  } else if (message.Msg == kCallbackMessage) {
    HandleMouse(static_cast<UINT>(message.LParam));
  } else {
    message.Result = DefWindowProcW(window_, message.Msg, message.WParam, message.LParam);
  }
}
