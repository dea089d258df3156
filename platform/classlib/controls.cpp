#include "platform/classlib/controls.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/classlib/forms.h"
#include "platform/classlib/hint_window.h"
#include "platform/classlib/std_ctrls.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/atoms.h"
#include "platform/win/common_controls.h"
#include "platform/win/input.h"
#include "platform/win/menus.h"
#include "platform/win/std_controls.h"

TWinControl* CreationControl = nullptr;

namespace {

// Controls by the id their windows' property holds (main thread only).
std::map<std::uint32_t, TWinControl*>& ControlIds() {
  static std::map<std::uint32_t, TWinControl*> ids;
  return ids;
}
std::uint32_t g_next_control_id = 1;

std::string Hex8(DWORD value) {
  char text[9];
  std::snprintf(text, sizeof text, "%.8X", value);
  return text;
}

bool IsDialogKey(WORD key) { return key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE; }

}  // namespace

TShiftState KeyboardShiftState() {
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

ATOM WindowAtom() {
  static const ATOM atom = GlobalAddAtomA(("Quorra" + Hex8(static_cast<DWORD>(::getpid()))).c_str());
  return atom;
}

ATOM ControlAtom() {
  thread_local const ATOM atom =
      GlobalAddAtomA(("ControlOfs" + Hex8(HInstance) + Hex8(platform::win::ThisThreadId())).c_str());
  return atom;
}

// --- TControl ------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
  WindowProc = DefaultWindowProc{this};
  font_.OnChange = [this](TObject*) { Perform(CM_FONTCHANGED, 0, 0); };
}

TControl::~TControl() {
  Destroying();
  actionLink_.reset();
  if (parent_ != nullptr) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_ != nullptr) parent_->RemoveControl(this);
  if (parent != nullptr) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (parent_ != nullptr && visible_) parent_->Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (parent_ != nullptr && visible_) parent_->Invalidate();
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  align_ = value;
  if (parent_ != nullptr) parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0, 0);
  if (parent_ != nullptr) parent_->Invalidate();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

std::string TControl::GetText() {
  auto length = Perform(WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
  auto got = Perform(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, length)));
  return buffer;
}

void TControl::SetText(const std::string& value) {
  if (GetText() == value) return;
  Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Perform(CM_COLORCHANGED, 0, 0);
}

bool TControl::WindowProcIsDefault() const {
  const auto* method = WindowProc.target<DefaultWindowProc>();
  return method != nullptr && method->control == this;
}

LRESULT TControl::Perform(UINT message, WPARAM wParam, LPARAM lParam) {
  TMessage m{message, wParam, lParam, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_HINTSHOW: {
      // The linked action may add to the hint or refuse it.
      auto* info = reinterpret_cast<THintInfo*>(message.LParam);
      if (actionLink_ && IsHintInfo(info) && !actionLink_->DoShowHint(info->HintStr)) message.Result = 1;
      return;
    }
    case CM_VISIBLECHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
      Invalidate();
      return;
    case CM_DRAG:
      if (message.LParam != 0) DragMessage(message);
      return;
    default:
      DefaultHandler(message);
  }
}

void TControl::DefaultHandler(TMessage& message) {
  switch (message.Msg) {
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<char*>(message.LParam);
      if (buffer == nullptr || message.WParam == 0) return;
      std::size_t count = std::min<std::size_t>(text_.size(), message.WParam - 1);
      std::copy_n(text_.begin(), count, buffer);
      buffer[count] = 0;
      message.Result = static_cast<LRESULT>(count);
      return;
    }
    case WM_GETTEXTLENGTH:
      message.Result = static_cast<LRESULT>(text_.size());
      return;
    case WM_SETTEXT: {
      auto* text = reinterpret_cast<const char*>(message.LParam);
      text_ = text ? text : "";
      message.Result = 1;
      return;
    }
    default:
      message.Result = 0;
  }
}

TBasicAction* TControl::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TControl::SetAction(TBasicAction* action) {
  if (action == nullptr) {
    actionLink_.reset();
    return;
  }
  if (!actionLink_) actionLink_ = CreateActionLink();
  actionLink_->SetAction(action);
  ActionChange(action, (action->ComponentState() & csLoading) != 0);
  action->FreeNotification(this);
}

std::unique_ptr<TControlActionLink> TControl::CreateActionLink() {
  return std::make_unique<TControlActionLink>(this);
}

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
  auto* action = dynamic_cast<TCustomAction*>(sender);
  if (action == nullptr) return;
  std::string caption = Caption();
  if (!checkDefaults || caption.empty() || caption == Name()) SetCaption(action->Caption());
  if (!checkDefaults || enabled_) SetEnabled(action->Enabled());
  if (!checkDefaults || hint_.empty()) SetHint(action->Hint());
  if (!checkDefaults || visible_) SetVisible(action->Visible());
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == Action()) actionLink_.reset();
}

void TControl::InitiateAction() {
  if (actionLink_) actionLink_->Update();
}

void TControl::Click() {
  if (actionLink_ && actionLink_->Execute(this)) return;
  if (OnClick) OnClick(this);
}

void TControl::Invalidate() {
  if (parent_ != nullptr && parent_->HandleAllocated() && visible_) {
    RECT rect = BoundsRect();
    InvalidateRect(parent_->Handle(), &rect, TRUE);
  }
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::Update() {
  if (parent_ != nullptr) parent_->Update();
}

// --- TGraphicControl -----------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& message) {
  if (message.Msg != WM_PAINT || message.WParam == 0) {
    TControl::Dispatch(message);
    return;
  }
  // The parent hands its paint DC, moved to this control's corner.
  canvas_->SetHandle(static_cast<HDC>(message.WParam));
  canvas_->Font().Assign(&Font());
  Paint();
  canvas_->SetHandle(0);
}

// --- TWinControl ---------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
  objectInstance_ = std::make_unique<platform::win::WindowProcStub>(
      [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        TMessage m{message, wParam, lParam, 0};
        MainWndProc(m);
        return m.Result;
      },
      false);
  id_ = g_next_control_id++;
  ControlIds()[id_] = this;
}

TWinControl::~TWinControl() {
  Destroying();
  // The plain control's part takes it from its parent's controls, where it no longer
  // counts as windowed; the tab order forgets it here.
  if (Parent() != nullptr) std::erase(Parent()->tabList_, this);
  DestroyHandle();
  while (!controls_.empty()) {
    TControl* child = controls_.back();
    RemoveControl(child);
    delete child;
  }
  ControlIds().erase(id_);
}

WNDPROC TWinControl::ObjectInstance() const { return objectInstance_->Proc(); }

TWinControl* TWinControl::FindControl(HWND window) {
  if (window == 0) return nullptr;
  auto id = static_cast<std::uint32_t>(GetPropA(window, MAKEINTATOMA(ControlAtom())));
  auto found = ControlIds().find(id);
  return found == ControlIds().end() ? nullptr : found->second;
}

HWND TWinControl::Handle() {
  if (handle_ == 0) CreateHandle();
  return handle_;
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  auto* win = dynamic_cast<TWinControl*>(control);
  if (win != nullptr) {
    tabList_.push_back(win);
    if (win->tabOrder_ >= 0) win->SetTabOrder(win->tabOrder_);
  }
  if (win != nullptr && HandleAllocated()) {
    if (win->HandleAllocated()) {
      ::SetParent(win->handle_, handle_);
    } else {
      win->CreateHandle();
    }
  }
  control->Invalidate();
  if (control->Align() != alNone) AlignControls();
}

void TWinControl::RemoveControl(TControl* control) {
  control->Invalidate();
  if (auto* win = dynamic_cast<TWinControl*>(control)) win->DestroyHandle();
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    win->tabOrder_ = -1;
    std::erase(tabList_, win);
  }
  control->parent_ = nullptr;
  if (control == pressedChild_) pressedChild_ = nullptr;
}

bool CanFocus(TWinControl* control) {
  for (TControl* c = control; c != nullptr; c = c->Parent()) {
    if (!c->Visible() || !c->Enabled()) return false;
  }
  return control != nullptr;
}

int TWinControl::TabOrder() const {
  if (Parent() == nullptr) return tabOrder_;
  auto& list = Parent()->tabList_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (Parent() == nullptr) {
    tabOrder_ = value;
    return;
  }
  auto& list = Parent()->tabList_;
  std::erase(list, this);
  std::size_t at = value < 0 ? list.size() : std::min(static_cast<std::size_t>(value), list.size());
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), this);
}

void TWinControl::SetTabStop(bool value) {
  tabStop_ = value;
  if (!HandleAllocated()) return;
  auto style = static_cast<DWORD>(GetWindowLongW(handle_, GWL_STYLE));
  SetWindowLongW(handle_, GWL_STYLE, static_cast<LONG>(value ? style | WS_TABSTOP : style & ~WS_TABSTOP));
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* control : tabList_) {
    list.push_back(control);
    control->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  auto count = static_cast<std::ptrdiff_t>(list.size());
  std::ptrdiff_t start = std::find(list.begin(), list.end(), current) - list.begin();
  // Without a current control the search starts at one end.
  if (start == count) start = goForward ? count - 1 : 0;
  std::ptrdiff_t i = start;
  do {
    i = goForward ? (i + 1) % count : (i + count - 1) % count;
    TWinControl* candidate = list[static_cast<std::size_t>(i)];
    if (candidate != current && CanFocus(candidate) && (!checkTabStop || candidate->TabStop()) &&
        (!checkParent || candidate->Parent() == this)) {
      return candidate;
    }
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop)) next->SetFocus();
}

bool TWinControl::DoDialogKey(WORD key, LPARAM keyData) {
  LRESULT code = SendMessageW(handle_, WM_GETDLGCODE, key, 0);
  if ((code & DLGC_WANTALLKEYS) || (key == VK_TAB && (code & DLGC_WANTTAB))) return false;
  TControl* top = this;
  while (top->Parent() != nullptr) top = top->Parent();
  return top->Perform(CM_DIALOGKEY, key, keyData) != 0;
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  if (Parent() == nullptr && parent != nullptr && HandleAllocated()) {
    // A top-level window becomes a child: its window is made again as one.
    DestroyHandle();
  }
  TControl::SetParent(parent);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  if (HandleAllocated()) MoveWindow(handle_, left, top, width, height, TRUE);
  AlignControls();
}

void TWinControl::AlignControls() {
  if (aligning_) return;
  aligning_ = true;
  RECT rest = ClientRect();
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* child : controls_) {
      if (child->Align() != align || !child->Visible()) continue;
      const int width = rest.right - rest.left, height = rest.bottom - rest.top;
      switch (align) {
        case alTop:
          child->SetBounds(rest.left, rest.top, width, child->Height());
          rest.top = std::min(rest.bottom, rest.top + child->Height());
          break;
        case alBottom:
          child->SetBounds(rest.left, rest.bottom - child->Height(), width, child->Height());
          rest.bottom = std::max(rest.top, rest.bottom - child->Height());
          break;
        case alLeft:
          child->SetBounds(rest.left, rest.top, child->Width(), height);
          rest.left = std::min(rest.right, rest.left + child->Width());
          break;
        case alRight:
          child->SetBounds(rest.right - child->Width(), rest.top, child->Width(), height);
          rest.right = std::max(rest.left, rest.right - child->Width());
          break;
        default:
          child->SetBounds(rest.left, rest.top, width, height);
      }
    }
  }
  aligning_ = false;
}

void TWinControl::SetVisible(bool visible) {
  TControl::SetVisible(visible);
  if (HandleAllocated()) ShowWindow(handle_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  TControl::SetEnabled(enabled);
  if (HandleAllocated()) EnableWindow(handle_, enabled ? TRUE : FALSE);
}

void TWinControl::CreateParams(TCreateParams& params) {
  params = TCreateParams{};
  params.Caption = text_;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (ControlStyle & csAcceptsControls) params.Style |= WS_CLIPCHILDREN;
  if (tabStop_) params.Style |= WS_TABSTOP;
  if (!Enabled()) params.Style |= WS_DISABLED;
  params.X = Left();
  params.Y = Top();
  params.Width = Width();
  params.Height = Height();
  if (Parent() != nullptr) params.WndParent = Parent()->Handle();
  params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  params.WindowClass.lpfnWndProc = DefWindowProcA;
  params.WindowClass.hInstance = HInstance;
  params.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams& params, const char* controlClassName) {
  WNDCLASSA system{};
  if (GetClassInfoA(HInstance, controlClassName, &system)) {
    system.hInstance = HInstance;
    system.style &= ~CS_GLOBALCLASS;
    params.WindowClass = system;
  }
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if (params.WndParent == 0 && (params.Style & WS_CHILD)) {
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  }
  DefWndProc = params.WindowClass.lpfnWndProc;
  WNDCLASSA existing{};
  bool registered = GetClassInfoA(params.WindowClass.hInstance, params.WinClassName.c_str(), &existing);
  if (!registered || existing.lpfnWndProc != InitWndProc) {
    if (registered) UnregisterClassA(params.WinClassName.c_str(), params.WindowClass.hInstance);
    params.WindowClass.lpfnWndProc = InitWndProc;
    params.WindowClass.lpszClassName = params.WinClassName.c_str();
    if (RegisterClassA(&params.WindowClass) == 0) RaiseLastOSError();
  }
  CreationControl = this;
  CreateWindowHandle(params);
  CreationControl = nullptr;
  if (handle_ == 0) RaiseLastOSError();
  text_.clear();  // the window holds the text now
  ::SendMessageA(handle_, WM_SETFONT, Font().Handle(), 0);
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
  handle_ = CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                            params.X, params.Y, params.Width, params.Height, params.WndParent, 0,
                            params.WindowClass.hInstance, params.Param);
}

void TWinControl::CreateHandle() {
  if (handle_ != 0) return;
  // The parent's window first: making it makes this control's window too.
  if (Parent() != nullptr) Parent()->HandleNeeded();
  if (handle_ != 0) return;
  ControlState |= csCreating;
  CreateWnd();
  ControlState &= ~csCreating;
  for (TControl* child : controls_) {
    if (auto* win = dynamic_cast<TWinControl*>(child)) win->CreateHandle();
  }
  if (Visible() && Parent() != nullptr) ShowWindow(handle_, SW_SHOWNOACTIVATE);
}

void TWinControl::DestroyWnd() {
  // The text lives on in the control until the window is made again.
  text_ = GetText();
  HWND handle = handle_;
  ::DestroyWindow(handle);
  handle_ = 0;
}

void TWinControl::DestroyHandle() {
  if (handle_ == 0) return;
  for (TControl* child : controls_) {
    if (auto* win = dynamic_cast<TWinControl*>(child)) win->DestroyHandle();
  }
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (!HandleAllocated()) return;
  ControlState |= csRecreating;
  DestroyHandle();
  CreateHandle();
  ControlState &= ~csRecreating;
}

void TWinControl::MainWndProc(TMessage& message) {
  try {
    WindowProc(message);
  } catch (const Exception& error) {
    if (Application == nullptr) throw;
    Application->HandleException(this, error);
  }
}

void TWinControl::DefaultHandler(TMessage& message) {
  if (handle_ == 0) {
    TControl::DefaultHandler(message);
    return;
  }
  message.Result = CallWindowProcA(DefWndProc, handle_, message.Msg, message.WParam, message.LParam);
}

namespace {

// The child window a WM_NOTIFY, owner-draw or scroll message is about (0 for none;
// a menu's owner-draw request is the window's own).
HWND ChildOfMessage(const TMessage& message) {
  if (message.Msg == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(message.LParam);
    return header != nullptr ? header->hwndFrom : 0;
  }
  if (message.Msg == WM_DRAWITEM) {
    const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam);
    return draw != nullptr && draw->CtlType != ODT_MENU ? draw->hwndItem : 0;
  }
  return static_cast<HWND>(message.LParam);
}

}  // namespace

bool TWinControl::RouteMouseToGraphicChild(TMessage& message) {
  const bool down = message.Msg == WM_LBUTTONDOWN || message.Msg == WM_RBUTTONDOWN || message.Msg == WM_MBUTTONDOWN;
  const bool up = message.Msg == WM_LBUTTONUP || message.Msg == WM_RBUTTONUP || message.Msg == WM_MBUTTONUP;
  if (!down && !up && message.Msg != WM_MOUSEMOVE) return false;
  // A window of a system class (a tool bar, a list) handles its own mouse.
  if (DefWndProc != nullptr && DefWndProc != DefWindowProcA) return false;
  const POINT point{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  TControl* target = pressedChild_;
  for (auto child = controls_.rbegin(); target == nullptr && child != controls_.rend(); ++child) {
    if (dynamic_cast<TWinControl*>(*child) != nullptr || !(*child)->Visible() || !(*child)->Enabled()) continue;
    const RECT r = (*child)->BoundsRect();
    if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom) target = *child;
  }
  if (target == nullptr) return false;
  if (down) {
    pressedChild_ = target;
    SetCapture(handle_);
  } else if (up && pressedChild_ != nullptr) {
    pressedChild_ = nullptr;
    ReleaseCapture();
  }
  const LPARAM local = MAKELPARAM(point.x - target->Left(), point.y - target->Top());
  message.Result = target->Perform(message.Msg, message.WParam, local);
  return true;
}

void TWinControl::Dispatch(TMessage& message) {
  if (RouteMouseToGraphicChild(message)) return;
  switch (message.Msg) {
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_HSCROLL:
    case WM_VSCROLL: {
      // A child window's notification goes back to its control.
      TWinControl* child = FindControl(ChildOfMessage(message));
      if (child != nullptr && child != this) {
        message.Result = child->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
        return;
      }
      DefaultHandler(message);
      return;
    }
    case WM_PAINT:
      PaintHandler();
      return;
    case WM_NCDESTROY:
      DefaultHandler(message);
      RemovePropA(handle_, MAKEINTATOMA(ControlAtom()));
      RemovePropA(handle_, MAKEINTATOMA(WindowAtom()));
      handle_ = 0;
      return;
    case WM_SIZE:
    case WM_MOVE: {
      RECT rect;
      GetWindowRect(handle_, &rect);
      if (Parent() != nullptr && Parent()->HandleAllocated()) {
        POINT origin{rect.left, rect.top};
        ScreenToClient(Parent()->handle_, &origin);
        rect = RECT{origin.x, origin.y, origin.x + rect.right - rect.left, origin.y + rect.bottom - rect.top};
      }
      TControl::SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
      DefaultHandler(message);
      return;
    }
    case CM_VISIBLECHANGED:
    case CM_ENABLEDCHANGED:
      return;
    case WM_KILLFOCUS: {
      // The focus moving to another control of the same form is the control's exit.
      DefaultHandler(message);
      TWinControl* next = FindControl(static_cast<HWND>(message.WParam));
      if (next != nullptr && GetParentForm(next) == GetParentForm(this)) Perform(CM_EXIT, 0, 0);
      return;
    }
    case WM_COMMAND:
      // A control's notification goes back to the control itself.
      if (auto* control = FindControl(static_cast<HWND>(message.LParam)); control != nullptr && control != this) {
        message.Result = control->Perform(CN_COMMAND, message.WParam, message.LParam);
        return;
      }
      DefaultHandler(message);
      return;
    case WM_KEYDOWN: {
      WORD key = static_cast<WORD>(message.WParam);
      KeyDown(key, KeyboardShiftState());
      if (key == 0) return;
      message.WParam = key;
      // Tab moves the focus; Return and Escape go to the form's default and cancel
      // buttons first.
      if (IsDialogKey(key) && DoDialogKey(key, message.LParam)) return;
      DefaultHandler(message);
      return;
    }
    case WM_CHAR: {
      char original = static_cast<char>(message.WParam & 0xFF);
      char key = original;
      KeyPress(key);
      if (key == 0) return;
      // An unchanged key keeps what the rest of wParam carries.
      if (key != original) message.WParam = static_cast<unsigned char>(key);
      DefaultHandler(message);
      return;
    }
    case WM_SYSCHAR: {
      // Alt with a key is offered to the form's hot keys first.
      TControl* top = this;
      while (top->Parent() != nullptr) top = top->Parent();
      if (top->Perform(CM_DIALOGCHAR, message.WParam, message.LParam) != 0) return;
      DefaultHandler(message);
      return;
    }
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      // Offered to the windowed children until one takes it.
      for (TControl* child : controls_) {
        if (dynamic_cast<TWinControl*>(child) == nullptr || !child->Visible() || !child->Enabled()) continue;
        message.Result = child->Perform(message.Msg, message.WParam, message.LParam);
        if (message.Result != 0) return;
      }
      return;
    default:
      TControl::Dispatch(message);
  }
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::PaintHandler() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(handle_, &paint);
  PaintWindow(dc);
  PaintControls(dc);
  EndPaint(handle_, &paint);
}

void TWinControl::PaintWindow(HDC dc) {
  TMessage m{WM_PAINT, dc, 0, 0};
  DefaultHandler(m);
}

void TWinControl::PaintControls(HDC dc) {
  for (TControl* child : controls_) {
    if (dynamic_cast<TWinControl*>(child) != nullptr || !child->Visible()) continue;
    int saved = SaveDC(dc);
    POINT origin;
    GetViewportOrgEx(dc, &origin);
    SetViewportOrgEx(dc, origin.x + child->Left(), origin.y + child->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, child->Width(), child->Height());
    child->Perform(WM_PAINT, dc, 0);
    RestoreDC(dc, saved);
  }
}

void TWinControl::Invalidate() {
  if (HandleAllocated()) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (HandleAllocated()) UpdateWindow(handle_);
}

bool TWinControl::Focused() { return HandleAllocated() && GetFocus() == handle_; }

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

LRESULT InitWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = CreationControl;
  if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  control->handle_ = window;
  SetWindowLongPtrA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(control->ObjectInstance()));
  if ((GetWindowLongA(window, GWL_STYLE) & WS_CHILD) && GetWindowLongA(window, GWL_ID) == 0) {
    SetWindowLongA(window, GWL_ID, static_cast<LONG>(window));
  }
  SetPropA(window, MAKEINTATOMA(ControlAtom()), control->id_);
  SetPropA(window, MAKEINTATOMA(WindowAtom()), control->id_);
  CreationControl = nullptr;
  return CallWindowProcA(control->ObjectInstance(), window, message, wParam, lParam);
}

// --- utility windows -------------------------------------------------------------------

namespace {

std::map<HWND, std::unique_ptr<platform::win::WindowProcStub>>& UtilWindows() {
  static std::map<HWND, std::unique_ptr<platform::win::WindowProcStub>> windows;
  return windows;
}

}  // namespace

HWND AllocateHWnd(TWndMethod method, const char* className, DWORD style) {
  WNDCLASSA existing{};
  if (!GetClassInfoA(HInstance, className, &existing)) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = HInstance;
    wc.lpszClassName = className;
    if (RegisterClassA(&wc) == 0) RaiseLastOSError();
  }
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, className, "", style, 0, 0, 0, 0, 0, 0, HInstance, nullptr);
  if (window == 0) RaiseLastOSError();
  auto stub = std::make_unique<platform::win::WindowProcStub>(
      [method = std::move(method)](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        TMessage m{message, wParam, lParam, 0};
        method(m);
        (void)hwnd;
        return m.Result;
      },
      false);
  SetWindowLongPtrA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(stub->Proc()));
  UtilWindows()[window] = std::move(stub);
  return window;
}

void DeallocateHWnd(HWND window) {
  ::DestroyWindow(window);
  UtilWindows().erase(window);
}

// --- the class library's drag ---

namespace {

constexpr int kDragThreshold = 5;

POINT ClientPointOf(TControl* control, POINT screen);

}  // namespace

// Follows the mouse for the one drag that can run at a time: a hidden window holds
// the capture and hears the moves, the release and the loss of the capture.
class TDragTracker {
 public:
  static TDragTracker& Instance() {
    static TDragTracker tracker;
    return tracker;
  }
  bool Running() const { return object_ != nullptr; }
  TControl* Source() const { return source_; }
  TDragObject* Object() const { return object_; }
  void Start(TControl* source, TDragObject* object, bool owned, bool immediate, int threshold);
  void Done(bool drop);

 private:
  void Method(TMessage& message);
  void Move(POINT screen);
  LRESULT Send(TControl* target, TDragMessage kind, POINT screen);
  HWND window_ = 0;
  TControl* source_ = nullptr;
  TDragObject* object_ = nullptr;
  bool owned_ = false;
  bool active_ = false;
  bool accepted_ = false;
  bool ending_ = false;
  int threshold_ = kDragThreshold;
  POINT start_{};
};

namespace {

POINT ClientPointOf(TControl* control, POINT screen) {
  const POINT origin = ClientOrigin(control);
  return POINT{screen.x - origin.x, screen.y - origin.y};
}

}  // namespace

void TDragTracker::Start(TControl* source, TDragObject* object, bool owned, bool immediate, int threshold) {
  if (window_ == 0) window_ = AllocateHWnd([this](TMessage& m) { Method(m); }, "TPDragWindow");
  source_ = source;
  object_ = object;
  owned_ = owned;
  active_ = false;
  accepted_ = false;
  ending_ = false;
  threshold_ = threshold < 0 ? kDragThreshold : threshold;
  GetCursorPos(&start_);
  SetCapture(window_);
  if (immediate) Move(start_);
}

void TDragTracker::Method(TMessage& message) {
  switch (message.Msg) {
    case WM_MOUSEMOVE: {
      POINT p;
      GetCursorPos(&p);
      Move(p);
      return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      Done(true);
      return;
    case WM_CAPTURECHANGED:
      if (Running() && !ending_) Done(false);
      return;
    default:
      message.Result = DefWindowProcA(window_, message.Msg, message.WParam, message.LParam);
  }
}

LRESULT TDragTracker::Send(TControl* target, TDragMessage kind, POINT screen) {
  TDragRec rec{screen, object_, target, false};
  return target->Perform(CM_DRAG, kind, reinterpret_cast<LPARAM>(&rec));
}

void TDragTracker::Move(POINT screen) {
  if (!active_) {
    if (std::abs(screen.x - start_.x) < threshold_ && std::abs(screen.y - start_.y) < threshold_) return;
    active_ = true;
  }
  TControl* under = FindDragTarget(screen);
  TControl* target = under != nullptr ? reinterpret_cast<TControl*>(Send(under, dmFindTarget, screen)) : nullptr;
  object_->dragPos_ = screen;
  if (target != object_->dragTarget_) {
    if (object_->dragTarget_ != nullptr) Send(object_->dragTarget_, dmDragLeave, screen);
    object_->dragTarget_ = target;
    accepted_ = target != nullptr && Send(target, dmDragEnter, screen) != 0;
  }
  if (target != nullptr) accepted_ = Send(target, dmDragMove, screen) != 0;
}

void TDragTracker::Done(bool drop) {
  if (!Running() || ending_) return;
  ending_ = true;
  if (GetCapture() == window_) ReleaseCapture();
  TDragObject* object = object_;
  TControl* target = object->dragTarget_;
  const POINT screen = object->dragPos_;
  const bool accepted = active_ && drop && accepted_ && target != nullptr;
  if (target != nullptr) Send(target, accepted ? dmDragDrop : dmDragLeave, screen);
  object->dropped_ = accepted;
  object->cancelling_ = !drop;
  if (!drop) Send(source_, dmDragCancel, screen);
  const bool owned = owned_;
  source_ = nullptr;
  object_ = nullptr;
  const POINT at = target != nullptr ? ClientPointOf(target, screen) : POINT{0, 0};
  object->Finished(accepted ? target : nullptr, at.x, at.y, accepted);
  if (owned) delete object;
}

int MouseDragThreshold() { return kDragThreshold; }

POINT ClientOrigin(TControl* control) {
  POINT offset{0, 0};
  for (TControl* c = control; c != nullptr; c = c->Parent()) {
    auto* win = dynamic_cast<TWinControl*>(c);
    if (win != nullptr && win->HandleAllocated()) {
      ClientToScreen(win->Handle(), &offset);
      break;
    }
    offset.x += c->Left();
    offset.y += c->Top();
  }
  return offset;
}

TDragObject* CurrentDragObject() { return TDragTracker::Instance().Object(); }

bool CancelDrag() {
  if (!TDragTracker::Instance().Running()) return false;
  TDragTracker::Instance().Done(false);
  return true;
}

void TDragObject::Finished(TObject*, int, int, bool) {}

TObject* TDragControlObject::SourceObject() { return Control(); }

void TBaseDragControlObject::Finished(TObject* target, int x, int y, bool) { control_->DoEndDrag(target, x, y); }

void TControl::BeginDrag(bool immediate, int threshold) {
  TDragTracker& tracker = TDragTracker::Instance();
  if (tracker.Running()) return;
  TDragObject* object = nullptr;
  DoStartDrag(object);
  const bool owned = object == nullptr;
  if (owned) object = new TDragControlObject(this);
  tracker.Start(this, object, owned, immediate, threshold);
}

void TControl::EndDrag(bool drop) {
  if (Dragging()) TDragTracker::Instance().Done(drop);
}

bool TControl::Dragging() const { return TDragTracker::Instance().Source() == this; }

void TControl::DoStartDrag(TDragObject*& dragObject) {
  if (OnStartDrag) OnStartDrag(this, dragObject);
}

void TControl::DoEndDrag(TObject* target, int x, int y) {
  if (OnEndDrag) OnEndDrag(this, target, x, y);
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  accept = false;
  if (!OnDragOver) return;
  accept = true;
  OnDragOver(this, source, x, y, state, accept);
}

void TControl::DragDrop(TObject* source, int x, int y) {
  if (OnDragDrop) OnDragDrop(this, source, x, y);
}

void TControl::DragMessage(TMessage& message) {
  auto& rec = *reinterpret_cast<TDragRec*>(message.LParam);
  const auto kind = static_cast<TDragMessage>(message.WParam);
  if (kind == dmFindTarget) {
    message.Result = reinterpret_cast<LRESULT>(this);
    return;
  }
  if (kind == dmDragCancel) {
    DragCanceled();
    return;
  }
  const POINT p = ClientPointOf(this, rec.Pos);
  TObject* source = rec.Source->SourceObject();
  if (kind == dmDragDrop) {
    DragDrop(source, p.x, p.y);
    return;
  }
  const TDragState state = kind == dmDragEnter ? dsDragEnter : kind == dmDragLeave ? dsDragLeave : dsDragMove;
  bool accept = false;
  DragOver(source, p.x, p.y, state, accept);
  message.Result = accept ? 1 : 0;
}

// --- TCustomControl --------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  canvas_->SetHandle(dc);
  canvas_->Font().Assign(&Font());
  Paint();
  canvas_->SetHandle(0);
}
