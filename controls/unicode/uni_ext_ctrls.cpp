#include "controls/unicode/uni_ext_ctrls.h"

#include <unistd.h>

#include <cfenv>
#include <cstdio>
#include <vector>

#include "controls/unicode/uni_windows.h"
#include "platform/classlib/forms.h"
#include "platform/win/atoms.h"

TUniCommonDialog* UniCreationDialog = nullptr;

namespace {

// What the dialog unit sets up once: its two messages and the atom by which a dialog
// window's procedure instance is known.
struct DialogUnit {
  UINT help = RegisterWindowMessageA("commdlg_help");
  UINT findReplace = RegisterWindowMessageA("commdlg_FindReplace");
  ATOM atom = 0;
  DialogUnit() {
    char name[32];
    std::snprintf(name, sizeof name, "WndProcPtr%.8X%.8X", static_cast<unsigned>(HInstance),
                  static_cast<unsigned>(platform::win::ThisThreadId()));
    atom = GlobalAddAtomA(name);
  }
  ~DialogUnit() { GlobalDeleteAtom(atom); }
};

DialogUnit& Unit() {
  static DialogUnit unit;
  return unit;
}

// The thread's enabled, visible top-level windows, disabled for a modal dialog.
std::vector<HWND> DisableTaskWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(
      platform::win::ThisThreadId(),
      [](HWND window, LPARAM list) {
        if (IsWindowVisible(window) && IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) EnableWindow(window, FALSE);
  return windows;
}

}  // namespace

UINT CommDlgHelpMessage() { return Unit().help; }
UINT CommDlgFindReplaceMessage() { return Unit().findReplace; }

// --- panel -----------------------------------------------------------------------------------

void TUniCustomPanel::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u""); }

void TUniCustomPanel::DrawCaption(HDC dc, RECT& rect, UINT flags) {
  std::u16string caption = Caption();
  WideDrawText(dc, caption.c_str(), -1, &rect, flags);
}

// --- common dialog ---------------------------------------------------------------------------

TUniCommonDialog::TUniCommonDialog(TComponent* owner)
    : TComponent(owner), instance_([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        TMessage m{message, wParam, lParam, 0};
        WndProc(m);
        return m.Result;
      }, false) {
  Unit();
}

TUniCommonDialog::~TUniCommonDialog() {
  Destroying();
  if (handle_ != 0 && IsWindow(handle_)) SetWindowLongPtrA(handle_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(defWndProc_));
  if (UniCreationDialog == this) UniCreationDialog = nullptr;
}

void TUniCommonDialog::HookWindow(HWND window) {
  handle_ = window;
  defWndProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(instance_.Proc())));
}

void TUniCommonDialog::DefaultHandler(TMessage& message) {
  if (handle_ != 0 && defWndProc_ != nullptr) {
    message.Result = CallWindowProcA(defWndProc_, handle_, message.Msg, message.WParam, message.LParam);
  } else {
    message.Result = 0;
  }
}

void TUniCommonDialog::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_INITDIALOG:
      DoShow();
      message.Result = 0;
      return;
    case WM_DESTROY:
      DefaultHandler(message);
      DoClose();
      return;
    case WM_NCDESTROY:
      DefaultHandler(message);
      handle_ = 0;
      defWndProc_ = nullptr;
      return;
    default:
      DefaultHandler(message);
  }
}

bool TUniCommonDialog::MessageHook(TMessage& message) {
  if (message.Msg != CommDlgHelpMessage() || HelpContext == 0) return false;
  // No help system exists here: the request is reported, not dropped.
  if (Application != nullptr) {
    Application->HandleException(this, EInvalidOperation("Help is not available (help context " +
                                                         std::to_string(HelpContext) + ")"));
  }
  return true;
}

BOOL TUniCommonDialog::TaskModalDialog(const std::function<BOOL(void* data)>& dialogFunction, void* data) {
  struct Restore {
    TUniCommonDialog* dialog;
    HWND active = GetActiveWindow();
    std::vector<HWND> disabled = DisableTaskWindows();
    std::fenv_t environment{};
    int hook = 0;
    explicit Restore(TUniCommonDialog* d) : dialog(d) {
      std::fegetenv(&environment);
      if (Application != nullptr) hook = Application->HookMainWindow([d](TMessage& m) { return d->MessageHook(m); });
      UniCreationDialog = d;
    }
    ~Restore() {
      UniCreationDialog = nullptr;
      std::feclearexcept(FE_ALL_EXCEPT);
      if (Application != nullptr && hook != 0) Application->UnhookMainWindow(hook);
      for (HWND window : disabled) EnableWindow(window, TRUE);
      if (active != 0 && IsWindow(active)) SetActiveWindow(active);
      std::fesetenv(&environment);
    }
  } restore(this);
  return dialogFunction(data);
}

void TUniCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}

void TUniCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}
