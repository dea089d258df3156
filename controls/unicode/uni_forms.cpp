#include "controls/unicode/uni_forms.h"

#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_system.h"
#include "controls/unicode/uni_sysutils.h"
#include "platform/base/text.h"

TUniApplication* UniApplication = nullptr;

namespace {

HHOOK g_hook = 0;

std::string Narrow(const std::u16string& text) { return platform::WideToAnsi(text); }

// The wide long hint of the control under the mouse.
std::u16string HintUnderMouse() {
  POINT cursor;
  GetCursorPos(&cursor);
  TControl* control = FindDragTarget(cursor);
  return control ? WideGetLongHint(WideGetHint(control)) : std::u16string();
}

void DoIdle(TObject*) {
  if (UniApplication == nullptr || Application == nullptr) return;
  std::u16string hint = HintUnderMouse();
  if (Application->Hint() == Narrow(hint)) UniApplication->SetHint(hint);
}

// Wide characters go to Unicode windows here, before the class library's 8-bit loop.
LRESULT GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && UniApplication != nullptr && Application != nullptr) {
    if (!UniApplication->MainFormChecked && Application->MainForm != nullptr) {
      new TUniAppIdleEventControl(Application->MainForm);
      UniApplication->MainFormChecked = true;
    }
    HWND dialog = Application->DialogHandle;
    bool wideChar = msg->message == WM_CHAR && msg->wParam >= 256 && IsWindowUnicode(msg->hwnd);
    if (wideChar && !(dialog != 0 && !IsWindowUnicode(dialog))) {
      bool handled = false;
      if (Application->OnMessage) Application->OnMessage(*msg, handled);
      Application->CancelHint();
      bool consumed = handled;
      if (!consumed && dialog != 0) {
        consumed = IsWindowUnicode(dialog) ? IsDialogMessageW(dialog, msg) : IsDialogMessageA(dialog, msg);
      }
      if (!consumed) {
        DispatchMessageW(msg);
        consumed = true;
      }
      msg->message = WM_NULL;
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

TUniApplication::TUniApplication() : TComponent(nullptr) {
  mainWindowHook_ = Application->HookMainWindow([this](TMessage& m) { return HandleMainWindowMessage(m); });
}

TUniApplication::~TUniApplication() {
  Destroying();
  delete IdleEventControl;
  if (Application != nullptr) Application->UnhookMainWindow(mainWindowHook_);
}

std::u16string TUniApplication::Hint() {
  std::u16string underMouse = HintUnderMouse();
  if (Application->Hint() == Narrow(underMouse)) hint_ = underMouse;
  return GetSyncedWideString(hint_, Application->Hint());
}

void TUniApplication::SetHint(const std::u16string& value) {
  SetSyncedWideString(value, hint_, Application->Hint(), [](const std::string& hint) { Application->SetHint(hint); });
}

std::u16string TUniApplication::Title() {
  HWND window = Application->Handle();
  if (window == 0) return GetSyncedWideString(title_, Application->Title());
  auto length = DefWindowProcW(window, WM_GETTEXTLENGTH, 0, 0);
  std::u16string title(static_cast<std::size_t>(length) + 1, u'\0');
  auto got = DefWindowProcW(window, WM_GETTEXT, title.size(), reinterpret_cast<LPARAM>(title.data()));
  title.resize(static_cast<std::size_t>(got));
  return title;
}

void TUniApplication::SetTitle(const std::u16string& value) {
  HWND window = Application->Handle();
  if (window == 0) {
    SetSyncedWideString(value, title_, Application->Title(), [](const std::string& t) { Application->SetTitle(t); });
    return;
  }
  if (Title() != value || !title_.empty()) {
    DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    title_.clear();
  }
}

bool TUniApplication::HandleMainWindowMessage(TMessage& message) {
  if (message.Msg == WM_CREATE && !title_.empty()) {
    std::u16string kept = title_;
    title_.clear();
    SetTitle(kept);
    return false;
  }
  if (message.Msg != CM_ACTIONEXECUTE) return false;
  auto* action = reinterpret_cast<TBasicAction*>(message.LParam);
  auto* hintAction = dynamic_cast<THintAction*>(action);
  if (hintAction == nullptr || hintAction->ClassName() != "THintAction") return false;
  std::u16string hint = Hint();
  if (hintAction->Hint() != Narrow(hint)) return false;
  message.Result = 1;
  TUniHintAction wide(nullptr);
  wide.SetWideHint(hint);
  wide.Execute();
  return true;
}

TUniAppIdleEventControl::TUniAppIdleEventControl(TCustomForm* mainForm) : TControl(mainForm) {
  ParentFont = false;
  SetParent(mainForm);
  SetVisible(true);
  auto* action = new TUniAction(this);
  action->OnExecute = DoIdle;
  action->OnUpdate = DoIdle;
  SetAction(action);
  UniApplication->IdleEventControl = this;
}

TUniAppIdleEventControl::~TUniAppIdleEventControl() {
  Destroying();
  SetAction(nullptr);
  if (UniApplication != nullptr && UniApplication->IdleEventControl == this) UniApplication->IdleEventControl = nullptr;
}

void StartUniApplication() {
  UniApplication = new TUniApplication();
  g_hook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, 0, platform::win::ThisThreadId());
  if (g_hook == 0) RaiseLastOSError();
}

void FinishUniApplication() {
  if (g_hook != 0) UnhookWindowsHookEx(g_hook);
  g_hook = 0;
  delete UniApplication;
  UniApplication = nullptr;
}

bool IsWideCharAccel(WORD charCode, const std::u16string& caption) {
  std::u16string key(1, KeyCharToWide(charCode));
  std::u16string hotKey = WideGetHotKey(caption);
  return !hotKey.empty() && platform::UpperCase(key) == platform::UpperCase(hotKey);
}

std::u16string TUniScrollBox::WideHint() { return GetWideControlHint(this); }
void TUniScrollBox::SetWideHint(const std::u16string& value) { SetWideControlHint(this, value); }

void TUniScrollBox::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u""); }

void TUniScrollBox::ActionChange(TObject* sender, bool checkDefaults) {
  UniControlActionChange(this, dynamic_cast<TBasicAction*>(sender), checkDefaults);
  TScrollBox::ActionChange(sender, checkDefaults);
}

void TUniScrollBox::Dispatch(TMessage& message) {
  if (message.Msg != WM_SIZE) {
    TScrollBox::Dispatch(message);
    return;
  }
  // Scroll bars coming and going resize the box again; deep nesting is cut off.
  constexpr int kMaxNesting = 32;
  ++sizeNesting_;
  if (sizeNesting_ < kMaxNesting) TScrollBox::Dispatch(message);
  --sizeNesting_;
}
