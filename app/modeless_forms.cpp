#include "app/modeless_forms.h"

#include "app/main_form.h"
#include "platform/win/message_box.h"
#include "support/translator.h"

namespace {

// WM_ACTIVATE's low word: activated by other means than a click, or by a click.
constexpr WORD kWindowActive = 1;
constexpr WORD kWindowClickActive = 2;

}  // namespace

TModelessForm::TModelessForm(TDialogLauncher& launcher, TDialogSlot slot, HWND ownerWindow, DWORD exStyle)
    : TForm(Application), launcher_(launcher), slot_(slot), ownerWindow_(ownerWindow), exStyle_(exStyle) {
  OnClose = [this](TObject*, TCloseAction& action) {
    action = TCloseAction::caFree;
    launcher_.SetSlot(slot_, 0);
  };
}

void TModelessForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.WndParent = ownerWindow_ != 0 && IsWindow(ownerWindow_) ? ownerWindow_ : FindWindowA(kMainFormClass, nullptr);
  params.ExStyle |= exStyle_;
}

TListWatchForm::TListWatchForm(TDialogLauncher& launcher, TDialogSlot slot, HWND ownerWindow,
                               const char* changedText, const char* title)
    : TModelessForm(launcher, slot, ownerWindow, WS_EX_APPWINDOW),
      Timer1(new TTimer(this)),
      changedText_(changedText),
      title_(title) {
  Timer1->SetName("Timer1");
  Timer1->SetOnTimer([this](TObject*) { Timer1Timer(); });
}

void TListWatchForm::Timer1Timer() {
  // One check at a time in the program: the notice's own loop runs the timers too.
  static bool checking = false;
  if (checking || !activated_) return;
  activated_ = false;
  if (!ListChanged()) return;
  checking = true;
  struct Done {
    ~Done() { checking = false; }
  } done;
  ShowReloadNotice();
  LoadList();
}

void TListWatchForm::ShowReloadNotice() {
  MessageBoxW(Handle(), Translate(changedText_).c_str(), Translate(title_).c_str(), MB_ICONERROR);
}

void TListWatchForm::Dispatch(TMessage& message) {
  if (message.Msg == WM_ACTIVATE) {
    const WORD state = LOWORD(static_cast<DWORD>(message.WParam));
    if (state == kWindowActive || state == kWindowClickActive) {
      activated_ = true;
      // The application's own window never shows beside the list window.
      if (Application != nullptr && Application->Handle() != 0) ShowWindow(Application->Handle(), SW_HIDE);
    } else {
      ActivationEnded();
    }
  }
  TModelessForm::Dispatch(message);
}
