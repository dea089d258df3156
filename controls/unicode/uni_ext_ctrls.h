// The wide panel, shape and bevel, and the base of wide common dialogs.
#pragma once

#include <functional>
#include <string>

#include "controls/unicode/uni_std_ctrls.h"
#include "platform/classlib/ext_ctrls.h"

class TUniShape : public TUniWideControl<TShape> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniShape"; }
};

class TUniBevel : public TUniWideControl<TBevel> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniBevel"; }
};

// A panel whose window is a Unicode window of its own class and which draws its wide
// caption itself.
class TUniCustomPanel : public TUniWideControl<TCustomPanel> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniCustomPanel"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void DrawCaption(HDC dc, RECT& rect, UINT flags) override;
};

class TUniPanel : public TUniCustomPanel {
 public:
  using TUniCustomPanel::TUniCustomPanel;
  std::string ClassName() const override { return "TUniPanel"; }
};

// The base of wide common dialogs: runs a dialog function modally over the task's
// windows and hands the messages of the dialog's window to its message handlers.
// Ownership: a component of its owner; its window-procedure instance is its own.
class TUniCommonDialog : public TComponent {
 public:
  explicit TUniCommonDialog(TComponent* owner);
  ~TUniCommonDialog() override;
  std::string ClassName() const override { return "TUniCommonDialog"; }

  bool Ctl3D = true;
  int HelpContext = 0;
  HWND Handle() const { return handle_; }
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

  virtual void WndProc(TMessage& message);
  // The main window's hook while a dialog runs: "commdlg_help" with a help context.
  virtual bool MessageHook(TMessage& message);
  // Calls the dialog function with the other task windows disabled and the floating-
  // point state kept; answers the function's answer.
  virtual BOOL TaskModalDialog(const std::function<BOOL(void* data)>& dialogFunction, void* data);
  virtual bool Execute() = 0;

  // Hooks the dialog's window (its dialog function does so when the window starts),
  // so that its messages reach WndProc.
  void HookWindow(HWND window);
  // Passes a message to the dialog window's own procedure.
  void DefaultHandler(TMessage& message);

 protected:
  virtual void DoShow();
  virtual void DoClose();

 private:
  platform::win::WindowProcStub instance_;
  HWND handle_ = 0;
  WNDPROC defWndProc_ = nullptr;
};

// The dialog whose window is being created by TaskModalDialog (null otherwise).
extern TUniCommonDialog* UniCreationDialog;

// The registered messages "commdlg_help" and "commdlg_FindReplace".
UINT CommDlgHelpMessage();
UINT CommDlgFindReplaceMessage();
