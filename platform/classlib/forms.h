// Forms and the application: top-level windows with border styles, modal and
// modeless showing and their create, show, close and destroy events; the
// application object with its hidden window, title, hint, main form, message loop,
// idle handling and main-window hooks; and the screen's list of forms.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/controls.h"
#include "platform/classlib/hint_window.h"

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;

// A windowed control whose contents scroll up and down: a vertical scroll bar comes
// when the controls reach below the client area, the bar and the mouse wheel move
// them, and a control that takes the focus (an edit or a combo box telling so) is
// scrolled into view. Its WM_SIZE handling brings the scroll range up to date.
class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* owner) : TWinControl(owner) { ControlStyle |= csAcceptsControls; }
  std::string ClassName() const override { return "TScrollingWinControl"; }
  void Dispatch(TMessage& message) override;
  // How far the contents are scrolled up, in pixels.
  int VertScrollPosition() const { return position_; }
  // Scrolls so that the child Control is wholly in view (its top when it is taller).
  void ScrollInView(TControl* control);

 protected:
  virtual void UpdateScrollBars();

 private:
  int ContentHeight() const;
  int PageHeight();
  void ScrollTo(int position);
  int position_ = 0;
};

class TScrollBox : public TScrollingWinControl {
 public:
  using TScrollingWinControl::TScrollingWinControl;
  std::string ClassName() const override { return "TScrollBox"; }
};

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  std::string ClassName() const override { return "TCustomForm"; }

  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  // Runs OnCreate; the maker of a form calls it once the form is built.
  void DoCreate();
  void Show();
  void Hide();
  void Close();
  bool CloseQuery();
  // Runs the window's own loop until it has a result. On a display it waits for the
  // user; on the headless screen, when nothing is left that could answer it (no input
  // waits), it ends as mrCancel with the last error ERROR_NOT_SUPPORTED.
  TModalResult ShowModal();
  TModalResult ModalResult = mrNone;
  // Frees the form once the messages waiting now have been handled.
  void Release();
  void SetVisible(bool visible) override;
  void Dispatch(TMessage& message) override;
  // The control of this form that holds the keyboard focus, or null.
  TWinControl* ActiveControl();
  // Lets every visible control of the form update its action, and updates every
  // action of the form's action lists.
  void UpdateActions();

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  std::function<void(TObject* sender, TCloseAction& action)> OnClose;
  std::function<void(TObject* sender, bool& canClose)> OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  bool modal_ = false;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
  std::string ClassName() const override { return "TForm"; }
};

// The forms of the program, in the order they were made.
class TScreen {
 public:
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int index) const { return forms_.at(index); }
  void AddForm(TCustomForm* form) { forms_.push_back(form); }
  void RemoveForm(TCustomForm* form);
  // The font of hint windows.
  TFont& HintFont() { return hintFont_; }

 private:
  std::vector<TCustomForm*> forms_;
  TFont hintFont_;
};

TScreen& Screen();

// A hook on the application window; true when it handled the message.
using TWindowHook = std::function<bool(TMessage& message)>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;
  std::string ClassName() const override { return "TApplication"; }

  HWND Handle() const { return handle_; }
  std::string Title();
  void SetTitle(const std::string& title);
  const std::string& Hint() const { return hint_; }
  // Raises OnHint, or shows the hint through a hint action when there is none.
  void SetHint(const std::string& hint);
  // Hides a hint that shows and forgets the control it was for.
  void CancelHint();
  void HideHint();
  // Hints: a control that shows hints and stays under the cursor for HintPause ms
  // gets its hint, which hides after HintHidePause ms; moving to another such control
  // while one shows takes HintShortPause ms. CM_HINTSHOW with a THintInfo lets the
  // control change or refuse the hint (a non-zero result refuses).
  bool ShowHint = true;
  // Hints of controls linked to actions with shortcuts name the shortcut.
  bool HintShortCuts = true;
  int HintPause = 500;
  int HintShortPause = 50;
  int HintHidePause = 2500;
  TColor HintColor = clInfoBk;
  std::function<void(std::string& hint, bool& canShow, THintInfo& info)> OnShowHint;
  // Called for every mouse move (the loop does) with the control under the cursor.
  void HintMouseMessage(TControl* control, POINT screenPoint);
  // Shows the hint of the control under the cursor now.
  void ActivateHint(POINT cursor);
  // The window that shows hints (null before the first hint).
  THintWindow* HintWindow() const { return hintWindow_; }
  TCustomForm* MainForm = nullptr;
  HWND DialogHandle = 0;
  bool ShowMainForm = true;

  // Makes a form owned by the application; the first becomes the main form.
  template <typename Form>
  Form* CreateForm() {
    auto* form = new Form(this);
    if (MainForm == nullptr) MainForm = form;
    form->DoCreate();
    return form;
  }

  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles one message, or goes idle when there is none.
  void HandleMessage();
  void ProcessMessages();
  bool ExecuteAction(TBasicAction* action);
  LRESULT SendAppMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Answers a number by which the hook is taken off again.
  int HookMainWindow(const TWindowHook& hook);
  void UnhookMainWindow(int hook);
  // Shows (here: reports through OnException, else on the error output) an
  // exception that escaped a message handler.
  void HandleException(TObject* sender, const Exception& error);

  std::function<void(MSG& msg, bool& handled)> OnMessage;
  std::function<void(TObject* sender, bool& done)> OnIdle;
  TNotifyEvent OnHint;
  std::function<void(TBasicAction* action, bool& handled)> OnActionExecute;
  std::function<void(TObject* sender, const Exception& error)> OnException;

 private:
  bool ProcessMessage(MSG& msg);
  void Idle(const MSG& msg);
  void Notification(TComponent* component, TOperation operation) override;
  void Track(TControl* control);
  void WndProc(TMessage& message);
  HWND handle_ = 0;
  std::string hint_;
  bool terminated_ = false;
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHook_ = 1;
  TControl* mouseControl_ = nullptr;
  void StartHintTimer(int pause, bool activate);
  void StopHintTimer();
  THintWindow* hintWindow_ = nullptr;
  TControl* hintControl_ = nullptr;
  bool hintActive_ = false;
  bool hintTimerActivates_ = false;
  RECT hintCursorRect_{};  // screen
};

// Modal forms on the headless screen: no one can answer one, so a step queued
// beforehand (by a test, or by a display backend for its user) acts for the user once
// the form shows: it sets the form's controls and its modal result, or clicks a
// button. A modal form that has no step and no message left to handle ends at once as
// cancelled (mrCancel, last error ERROR_NOT_SUPPORTED): it is never answered by
// guessing, and never waits for ever.
namespace platform::modal_driver {
// Steps for the next modal forms of any thread, taken in order.
void Answer(std::function<void(TCustomForm& form)> step);
// The class names of the modal forms shown so far, oldest first.
std::vector<std::string> Shown();
void Clear();
}  // namespace platform::modal_driver

// The program's application object (null until one is made).
extern TApplication* Application;

// The part of a hint after "|", or the whole hint.
std::string GetLongHint(const std::string& hint);

// The control under the cursor (a windowed control's graphic child when one is there).
TControl* FindDragTarget(POINT screenPoint);
