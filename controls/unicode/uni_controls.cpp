#include "controls/unicode/uni_controls.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "controls/unicode/uni_system.h"
#include "controls/unicode/uni_sysutils.h"
#include "controls/unicode/uni_windows.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/win/atoms.h"

namespace {

constexpr UINT WM_NOTIFYFORMAT = 0x0055;
constexpr LRESULT NFR_ANSI = 1;
constexpr LRESULT NFR_UNICODE = 2;

bool g_finished = false;
TWinControl* g_creationControl = nullptr;  // the layer's own, only around CreateWindowExW

// The helper list, ascending by the address of the control served (compared signed).
std::vector<TWideControlHelper*>& Helpers() {
  static std::vector<TWideControlHelper*> helpers;
  return helpers;
}

std::intptr_t Address(const void* p) { return reinterpret_cast<std::intptr_t>(p); }

std::vector<TWideControlHelper*>::iterator LowerBound(const void* control) {
  auto& helpers = Helpers();
  return std::lower_bound(helpers.begin(), helpers.end(), Address(control),
                          [](const TWideControlHelper* helper, std::intptr_t address) {
                            return Address(helper->Component()) < address;
                          });
}

bool IsAscii(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

// Plain ASCII, as captions mostly are, is its own ANSI form: nothing is converted.
bool RoundTrips(const std::u16string& value) {
  return IsAscii(value) || platform::AnsiToWide(platform::WideToAnsi(value)) == value;
}

std::u16string Widen(const std::string& text) { return platform::AnsiToWide(text); }
std::string Narrow(const std::u16string& text) { return platform::WideToAnsi(text); }

// --- traps -------------------------------------------------------------------------------

class TWinControlTrap;

// The trap's message method, recognisable in a control's WindowProc.
struct TrapWindowProc {
  TWinControlTrap* trap;
  void operator()(TMessage& message) const;
};

// One per subclassed window. Ownership: while its window lives the trap frees itself
// when its control goes; between two windows of a living control the pending list
// holds it.
class TWinControlTrap : public TComponent {
 public:
  explicit TWinControlTrap(TWinControl* control)
      : TComponent(nullptr),
        mainStub_([this](HWND, UINT m, WPARAM w, LPARAM l) { return CallMain(m, w, l); }),
        windowStub_([this](HWND h, UINT m, WPARAM w, LPARAM l) { return Win32Proc(h, m, w, l); }),
        defaultStub_([this](HWND h, UINT m, WPARAM w, LPARAM l) { return DefWin32Proc(h, m, w, l); }),
        Control(control) {
    control->FreeNotification(this);
  }
  ~TWinControlTrap() override;

  WNDPROC MainStub() const { return mainStub_.Proc(); }
  void SubClass();
  void UndoSubClass();
  void WindowProc(TMessage& message);

  platform::win::WindowProcStub mainStub_;
  platform::win::WindowProcStub windowStub_;
  platform::win::WindowProcStub defaultStub_;
  TWinControl* Control;
  HWND Handle = 0;
  WNDPROC PrevWin32Proc = nullptr;
  WNDPROC PrevDefWin32Proc = nullptr;
  TWndMethod PrevWindowProc;
  UINT LastWin32Msg = 0;
  int Win32ProcLevel = 0;
  bool DestroyTrap = false;
  bool TestForNull = false;
  bool FoundNull = false;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  LRESULT CallMain(UINT message, WPARAM wParam, LPARAM lParam) {
    TMessage m{message, wParam, lParam, 0};
    Control->MainWndProc(m);
    return m.Result;
  }
  LRESULT Win32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefWin32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool InChain();
  void HookWindowProc();
};

// Traps whose window went while their control lives on (not owned here).
std::vector<TWinControlTrap*>& PendingTraps() {
  static std::vector<TWinControlTrap*> traps;
  return traps;
}

void Forget(std::vector<TWinControlTrap*>& list, TWinControlTrap* trap) {
  list.erase(std::remove(list.begin(), list.end(), trap), list.end());
}

TWinControlTrap* TakePendingTrap(TWinControl* control) {
  auto& pending = PendingTraps();
  auto it = std::find_if(pending.begin(), pending.end(), [&](TWinControlTrap* t) { return t->Control == control; });
  if (it == pending.end()) return nullptr;
  TWinControlTrap* trap = *it;
  pending.erase(it);
  return trap;
}

TWinControlTrap* TrapOf(TWinControl* control) {
  const auto* hook = control->WindowProc.target<TrapWindowProc>();
  return hook ? hook->trap : nullptr;
}

void TrapWindowProc::operator()(TMessage& message) const { trap->WindowProc(message); }

TWinControlTrap::~TWinControlTrap() {
  Destroying();
  Forget(PendingTraps(), this);
}

void TWinControlTrap::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove || component != Control) return;
  Forget(PendingTraps(), this);
  if (Win32ProcLevel > 0) {
    DestroyTrap = true;
  } else {
    delete this;
  }
}

// Whether this trap's WindowProc is somewhere in the control's message chain.
bool TWinControlTrap::InChain() {
  if (Control->WindowProcIsDefault()) return false;
  if (TrapOf(Control) == this) return true;
  TestForNull = true;
  FoundNull = false;
  Control->Perform(WM_NULL, 0, 0);
  TestForNull = false;
  return FoundNull;
}

void TWinControlTrap::HookWindowProc() {
  if (InChain()) return;
  PrevWindowProc = Control->WindowProc;
  Control->WindowProc = TrapWindowProc{this};
}

void TWinControlTrap::SubClass() {
  Handle = Control->Handle();
  PrevWin32Proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Handle, GWL_WNDPROC));
  PrevDefWin32Proc = Control->DefWndProc;
  SetWindowLongPtrW(Handle, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(windowStub_.Proc()));
  Control->DefWndProc = defaultStub_.Proc();
  HookWindowProc();
}

void TWinControlTrap::UndoSubClass() {
  bool controlLives = !(Control->ComponentState() & csDestroying);
  if (controlLives) {
    // The text survives the window's recreation in the helper.
    int length = GetWindowTextLengthW(Handle);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(Handle, text.data(), length + 1)));
    TWideControlHelper::For(Control)->WideCaption = text;
  }
  if (TrapOf(Control) == this) Control->WindowProc = PrevWindowProc;
  Control->DefWndProc = PrevDefWin32Proc;
  SetWindowLongPtrW(Handle, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(PrevWin32Proc));
  if (controlLives && std::find(PendingTraps().begin(), PendingTraps().end(), this) == PendingTraps().end()) {
    PendingTraps().push_back(this);
  }
}

LRESULT TWinControlTrap::Win32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_finished) {
    if (message == WM_DESTROY || message == UniDestroyWindowMessage()) Control->SetHandleField(0);
    return 0;
  }
  ++Win32ProcLevel;
  LastWin32Msg = message;
  LRESULT result = CallWindowProcW(PrevWin32Proc, window, message, wParam, lParam);
  --Win32ProcLevel;
  if (Win32ProcLevel == 0 && DestroyTrap) delete this;
  return result;
}

// Hands the hint to the wide hint window: the plain hint window class becomes the
// wide one, the record marks itself as wide data and carries the ANSI form of the
// control's short wide hint.
void PrepareWideHint(const TMessage& message) {
  auto* info = reinterpret_cast<THintInfo*>(message.LParam);
  if (!IsHintInfo(info) || info->HintWindowClass == nullptr) return;
  if (info->HintWindowClass == &THintWindow::Class()) {
    info->HintWindowClass = &TUniCustomHintWindow::Class();
  } else if (!info->HintWindowClass->InheritsFrom(TUniCustomHintWindow::Class())) {
    return;
  }
  info->HintData = info;
  info->HintStr = platform::WideToAnsi(WideGetShortHint(WideGetHint(info->HintControl)));
}

void TWinControlTrap::WindowProc(TMessage& message) {
  if (message.Msg == WM_NULL && TestForNull) {
    FoundNull = true;
    return;
  }
  if (!Control->HandleAllocated()) {
    Control->Dispatch(message);
    return;
  }
  bool throughWin32 = LastWin32Msg != 0;
  LastWin32Msg = 0;
  if (message.Msg == CM_HINTSHOW) PrepareWideHint(message);
  bool text = message.Msg == WM_SETTEXT || message.Msg == WM_GETTEXT || message.Msg == WM_GETTEXTLENGTH;
  if (text && !throughWin32) {
    // The class library asked with 8-bit text: the system converts for the wide window.
    message.Result = SendMessageA(Handle, message.Msg, message.WParam, message.LParam);
    return;
  }
  if (message.Msg == WM_CHAR) MakeWMCharMsgSafeForAnsi(message);
  PrevWindowProc(message);
  if (message.Msg == UniDestroyWindowMessage()) UndoSubClass();
}

LRESULT TWinControlTrap::DefWin32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFYFORMAT: {
      auto asking = static_cast<HWND>(wParam);
      bool unicode = IsWindowUnicode(asking) ||
                     (g_creationControl != nullptr && g_creationControl->HandleAllocated() &&
                      g_creationControl->Handle() == asking);
      return unicode ? NFR_UNICODE : NFR_ANSI;
    }
    case WM_CHAR: {
      TMessage m{message, wParam, lParam, 0};
      RestoreWMCharMsg(m);
      wParam = m.WParam;
      break;
    }
    case WM_DESTROY:
      UndoSubClass();
      break;
    default:
      break;
  }
  return CallWindowProcW(PrevDefWin32Proc, window, message, wParam, lParam);
}

}  // namespace

void ProcessWideHintShow(const TMessage& message) { PrepareWideHint(message); }

// --- helpers -------------------------------------------------------------------------------

TWideComponentHelper::TWideComponentHelper(TComponent* owner) : TComponent(owner) {
  throw EUniInternalError("Unicode Controls Internal Error: TWideComponentHelper.Create should never be encountered.");
}

TWideComponentHelper::TWideComponentHelper(TComponent* component, ListConstruction)
    : TComponent(nullptr), component_(component) {
  component->FreeNotification(this);
}

void TWideComponentHelper::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove || component != component_) return;
  auto& helpers = Helpers();
  helpers.erase(std::remove(helpers.begin(), helpers.end(), this), helpers.end());
  component_ = nullptr;
  delete this;
}

TWideControlHelper* TWideControlHelper::Find(const TControl* control) {
  auto it = LowerBound(control);
  return (it != Helpers().end() && (*it)->Component() == control) ? *it : nullptr;
}

TWideControlHelper* TWideControlHelper::For(TControl* control) {
  if (auto* found = Find(control)) return found;
  auto* helper = new TWideControlHelper(control, ListConstruction{});
  Helpers().insert(LowerBound(control), helper);
  return helper;
}

bool IsAnsiFormOf(const std::string& ansi, const std::u16string& wide) {
  if (IsAscii(wide)) return std::equal(wide.begin(), wide.end(), ansi.begin(), ansi.end());
  return Narrow(wide) == ansi;
}

const std::u16string& GetSyncedWideString(std::u16string& wideCopy, const std::string& ansiValue) {
  if (!IsAnsiFormOf(ansiValue, wideCopy)) wideCopy = Widen(ansiValue);
  return wideCopy;
}

void SetSyncedWideString(const std::u16string& value, std::u16string& wideCopy, const std::string& ansiValue,
                         const std::function<void(const std::string&)>& ansiSetter) {
  if (value == GetSyncedWideString(wideCopy, ansiValue)) return;
  std::string ansi = Narrow(value);
  // The round trip costs two conversions: asked only when the 8-bit text stays.
  if (ansi == ansiValue && !RoundTrips(value)) ansiSetter("");
  wideCopy = value;
  ansiSetter(ansi);
}

// --- creation ------------------------------------------------------------------------------

void RegisterUnicodeClass(const TCreateParams& params, std::u16string& wideClassName) {
  constexpr std::size_t kMaxClassName = 64;
  wideClassName = Widen(params.WinClassName.substr(0, kMaxClassName)) + u".UnicodeClass";
  WNDCLASSW existing{};
  if (GetClassInfoW(HInstance, wideClassName.c_str(), &existing)) {
    if (existing.lpfnWndProc == UnicodeInitWndProc) return;
    if (!UnregisterClassW(wideClassName.c_str(), HInstance)) RaiseLastOSError();
  }
  const WNDCLASSA& source = params.WindowClass;
  std::u16string menuName;
  WNDCLASSW wide{};
  wide.style = source.style;
  wide.cbClsExtra = source.cbClsExtra;
  wide.cbWndExtra = source.cbWndExtra;
  wide.hIcon = source.hIcon;
  wide.hCursor = source.hCursor;
  wide.hbrBackground = source.hbrBackground;
  if (IS_INTRESOURCE(source.lpszMenuName)) {
    wide.lpszMenuName = reinterpret_cast<const char16_t*>(source.lpszMenuName);
  } else {
    menuName = Widen(source.lpszMenuName);
    wide.lpszMenuName = menuName.c_str();
  }
  wide.hInstance = HInstance;
  wide.lpfnWndProc = UnicodeInitWndProc;
  wide.lpszClassName = wideClassName.c_str();
  if (RegisterClassW(&wide) == 0) RaiseLastOSError();
}

void CreateUnicodeHandle(TWinControl* control, const TCreateParams& params, const std::u16string& subClass) {
  WNDCLASSW system{};
  if (!subClass.empty() && GetClassInfoW(params.WindowClass.hInstance, subClass.c_str(), &system)) {
    control->DefWndProc = system.lpfnWndProc;
  } else {
    control->DefWndProc = DefWindowProcW;
  }
  std::u16string wideClassName;
  RegisterUnicodeClass(params, wideClassName);
  g_creationControl = control;
  HWND handle = CreateWindowExW(params.ExStyle, wideClassName.c_str(), nullptr, params.Style, params.X, params.Y,
                                params.Width, params.Height, params.WndParent, 0, HInstance, params.Param);
  g_creationControl = nullptr;
  if (handle == 0) RaiseLastOSError();
  control->SetHandleField(handle);
  SubClassUnicodeControl(control, params.Caption);
}

LRESULT UnicodeInitWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = CreationControl;
  if (control == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  control->SetHandleField(window);
  TWinControlTrap* trap = TakePendingTrap(control);
  if (trap == nullptr) trap = new TWinControlTrap(control);
  PendingTraps().push_back(trap);
  SetWindowLongPtrW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(trap->MainStub()));
  if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) && GetWindowLongW(window, GWL_ID) == 0) {
    SetWindowLongW(window, GWL_ID, static_cast<LONG>(window));
  }
  SetPropA(window, MAKEINTATOMA(ControlAtom()), control->ControlId());
  SetPropA(window, MAKEINTATOMA(WindowAtom()), control->ControlId());
  CreationControl = nullptr;
  return CallWindowProcW(trap->MainStub(), window, message, wParam, lParam);
}

void SubClassUnicodeControl(TWinControl* control, const std::string& caption) {
  if (!IsWindowUnicode(control->Handle())) {
    throw EUniInternalError("Internal Error: SubClassUnicodeControl.Control is not Unicode.");
  }
  TWinControlTrap* trap = TakePendingTrap(control);
  if (trap == nullptr) trap = new TWinControlTrap(control);
  trap->SubClass();
  auto* helper = TWideControlHelper::Find(control);
  SetWideControlText(control, helper ? helper->WideCaption : Widen(caption));
}

// --- wide texts ----------------------------------------------------------------------------

namespace {

std::u16string StoredWideText(TControl* control) {
  auto* helper = TWideControlHelper::Find(control);
  return helper ? GetSyncedWideString(helper->WideCaption, control->Caption()) : Widen(control->Caption());
}

void SetStoredWideText(TControl* control, const std::u16string& value) {
  TWideControlHelper::For(control)->WideCaption = value;
  control->SetText(Narrow(value));
}

}  // namespace

std::u16string GetWideControlText(TControl* control) {
  auto* windowed = dynamic_cast<TWinControl*>(control);
  if (windowed == nullptr) return StoredWideText(control);
  if (!windowed->HandleAllocated()) return StoredWideText(control);
  HWND handle = windowed->Handle();
  if (!IsWindowUnicode(handle)) return Widen(control->Caption());
  int length = GetWindowTextLengthW(handle);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(handle, text.data(), length + 1)));
  return text;
}

void SetWideControlText(TControl* control, const std::u16string& value) {
  auto* windowed = dynamic_cast<TWinControl*>(control);
  if (windowed == nullptr) {
    SetSyncedWideString(value, TWideControlHelper::For(control)->WideCaption, control->Caption(),
                        [control](const std::string& text) { control->SetText(text); });
    return;
  }
  if (!windowed->HandleAllocated()) {
    SetStoredWideText(control, value);
    return;
  }
  HWND handle = windowed->Handle();
  if (!IsWindowUnicode(handle)) {
    control->SetText(Narrow(value));
    return;
  }
  if (GetWideControlText(control) == value) return;
  WideSetWindowText(handle, value.c_str());
  control->Perform(CM_TEXTCHANGED, 0, 0);
}

std::u16string GetWideControlHint(TControl* control) {
  auto* helper = TWideControlHelper::Find(control);
  return helper ? GetSyncedWideString(helper->WideHint, control->Hint()) : Widen(control->Hint());
}

void SetWideControlHint(TControl* control, const std::u16string& value) {
  SetSyncedWideString(value, TWideControlHelper::For(control)->WideHint, control->Hint(),
                      [control](const std::string& hint) { control->SetHint(hint); });
}

bool IsControlCaptionStored(TControl* control) {
  return control->ActionLink() == nullptr || !control->ActionLink()->IsCaptionLinked();
}

bool IsHintStored(TControl* control) {
  return control->ActionLink() == nullptr || !control->ActionLink()->IsHintLinked();
}

std::u16string WideGetHint(TControl* control) {
  for (TControl* c = control; c != nullptr; c = c->Parent()) {
    auto hint = GetWideControlHint(c);
    if (!hint.empty()) return hint;
  }
  return {};
}

std::u16string WideGetShortHint(const std::u16string& hint) {
  auto bar = hint.find(u'|');
  return bar == std::u16string::npos ? hint : hint.substr(0, bar);
}

std::u16string WideGetLongHint(const std::u16string& hint) {
  auto bar = hint.find(u'|');
  return bar == std::u16string::npos ? hint : hint.substr(bar + 1);
}

// --- WM_CHAR -------------------------------------------------------------------------------

void MakeWMCharMsgSafeForAnsi(TMessage& message) {
  WORD low = LOWORD(static_cast<DWORD>(message.WParam));
  if (low > 255) message.WParam = MAKELONG(255, low);
}

void RestoreWMCharMsg(TMessage& message) {
  DWORD value = static_cast<DWORD>(message.WParam);
  if (HIWORD(value) != 0 && LOWORD(value) == 255) message.WParam = HIWORD(value);
}

char16_t GetWideCharFromWMCharMsg(const TMessage& message) {
  DWORD value = static_cast<DWORD>(message.WParam);
  return (LOWORD(value) == 255 && HIWORD(value) != 0) ? HIWORD(value) : LOWORD(value);
}

void SetWideCharForWMCharMsg(TMessage& message, char16_t character) {
  message.WParam = character;
  MakeWMCharMsgSafeForAnsi(message);
}

// --- canvas --------------------------------------------------------------------------------

void WideCanvasTextOut(TCanvas& canvas, int x, int y, const std::u16string& text) {
  canvas.Changing();
  canvas.RequiredState(csHandleValid | csFontValid | csBrushValid);
  int width = WideCanvasTextWidth(canvas, text);
  if (canvas.CanvasOrientation() == TCanvasOrientation::coRightToLeft) x += width + 1;
  ExtTextOutW(canvas.Handle(), x, y, static_cast<UINT>(canvas.TextFlags), nullptr, text.c_str(),
              static_cast<UINT>(text.size()), nullptr);
  canvas.MoveTo(x + width, y);
  canvas.Changed();
}

SIZE WideCanvasTextExtent(TCanvas& canvas, const std::u16string& text) {
  canvas.RequiredState(csHandleValid | csFontValid);
  SIZE size{};
  GetTextExtentPoint32W(canvas.Handle(), text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

int WideCanvasTextWidth(TCanvas& canvas, const std::u16string& text) { return WideCanvasTextExtent(canvas, text).cx; }
int WideCanvasTextHeight(TCanvas& canvas, const std::u16string& text) { return WideCanvasTextExtent(canvas, text).cy; }

UINT UniDestroyWindowMessage() {
  static const UINT message = [] {
    UINT registered = RegisterWindowMessageW(u"UniControls.DestroyWindow");
    if (registered == 0) RaiseLastOSError();
    return registered;
  }();
  return message;
}

void FinishUnicodeControls() {
  g_finished = true;
  auto helpers = Helpers();
  for (auto* helper : helpers) {
    helper->Component()->RemoveFreeNotification(helper);
    delete helper;
  }
  Helpers().clear();
  PendingTraps().clear();
}

// --- list controls and wide hints ----------------------------------------------------------

void WideListControlAddItem(TCustomListControl* control, const std::u16string& item, TObject* object) {
  if (auto* wide = dynamic_cast<IWideCustomListControl*>(control)) {
    wide->AddItem(item, object);
  } else {
    control->AddItem(platform::WideToAnsi(item), object);
  }
}

bool IsWideHintData(const void* data) {
  if (!IsHintInfo(data)) return false;
  const auto* info = static_cast<const THintInfo*>(data);
  return info->HintData == data && info->HintWindowClass != nullptr &&
         info->HintWindowClass->InheritsFrom(TUniCustomHintWindow::Class());
}

std::u16string GetWideHintFromHintData(const std::string& hint, const void* data) {
  const auto* info = static_cast<const THintInfo*>(data);
  std::u16string shortHint = WideGetShortHint(WideGetHint(info->HintControl));
  std::string ansiShort = platform::WideToAnsi(shortHint);
  if (ansiShort == hint) return shortHint;
  // The class library may have named the action's shortcut after the hint.
  auto* action = info->HintControl ? dynamic_cast<TCustomAction*>(info->HintControl->Action()) : nullptr;
  if (Application != nullptr && Application->HintShortCuts && action != nullptr && action->ShortCut() != scNone &&
      ansiShort + " (" + ShortCutToText(action->ShortCut()) + ")" == hint) {
    return shortHint + u" (" + WideShortCutToText(action->ShortCut()) + u")";
  }
  return platform::AnsiToWide(hint);
}

namespace {

THintWindow* NewUniHintWindow(TComponent* owner) { return new TUniCustomHintWindow(owner); }

// Sets a flag for a scope and puts its old value back at the end.
class FlagScope {
 public:
  FlagScope(bool& flag, bool value) : flag_(flag), old_(flag) { flag_ = value; }
  ~FlagScope() { flag_ = old_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool old_;
};

constexpr UINT kHintTextFlags = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;

}  // namespace

const THintWindowClass& TUniCustomHintWindow::Class() {
  static const THintWindowClass type("TUniCustomHintWindow", &THintWindow::Class(), NewUniHintWindow);
  return type;
}

void TUniCustomHintWindow::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u""); }

void TUniCustomHintWindow::ActivateHint(RECT rect, const std::string& hint) {
  FlagScope activating(activating_, true);
  THintWindow::ActivateHint(rect, hint);
}

void TUniCustomHintWindow::ActivateHintData(RECT rect, const std::string& hint, void* data) {
  if (!IsWideHintData(data)) {
    THintWindow::ActivateHintData(rect, hint, data);
    return;
  }
  {
    FlagScope blocked(paintBlocked_, true);
    FlagScope activating(activating_, true);
    THintWindow::ActivateHintData(rect, hint, data);
    SetWideControlText(this, GetWideHintFromHintData(hint, data));
  }
  Invalidate();
}

RECT TUniCustomHintWindow::CalcHintRect(int maxWidth, const std::string& hint, void* data) {
  if (!IsWideHintData(data)) return THintWindow::CalcHintRect(maxWidth, hint, data);
  std::u16string text = GetWideHintFromHintData(hint, data);
  RECT rect{0, 0, maxWidth, 0};
  HDC dc = BeginMeasure();
  WideDrawText(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | kHintTextFlags);
  EndMeasure(dc);
  rect.right += 6;
  rect.bottom += 2;
  return rect;
}

void TUniCustomHintWindow::Paint() {
  if (paintBlocked_) return;
  RECT rect = PaintBackground();
  std::u16string text = GetWideControlText(this);
  WideDrawText(Canvas().Handle(), text.c_str(), static_cast<int>(text.size()), &rect, kHintTextFlags);
}

void TUniCustomHintWindow::Dispatch(TMessage& message) {
  if (message.Msg != CM_TEXTCHANGED) {
    THintWindow::Dispatch(message);
    return;
  }
  TCustomControl::Dispatch(message);
  if (activating_) return;
  // A text set from outside sizes the window to it.
  std::u16string text = GetWideControlText(this);
  SIZE size{};
  HDC dc = BeginMeasure();
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  EndMeasure(dc);
  SetBounds(Left(), Top(), size.cx + 6, size.cy + 6);
}
