// The program's modeless windows: each is made by the dialog launcher into its slot of
// the launcher's table, is owned by the application, frees itself when closed and
// clears its slot then. Its window belongs to the window it was opened for (the main
// window when none was given).
//
// The list windows among them keep the change stamp of the list they showed and, after
// the window was activated again, reload (with a message) when the list was changed
// elsewhere; their own saves refresh the stamp.
#pragma once

#include <string>

#include "app/dialog_launcher.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/timers.h"

class TModelessForm : public TForm {
 public:
  // ExStyle: the extended styles the window adds (on top, or its own taskbar button).
  TModelessForm(TDialogLauncher& launcher, TDialogSlot slot, HWND ownerWindow, DWORD exStyle);
  std::string ClassName() const override { return "TModelessForm"; }

 protected:
  void CreateParams(TCreateParams& params) override;
  TDialogLauncher& Launcher() { return launcher_; }

 private:
  TDialogLauncher& launcher_;
  TDialogSlot slot_;
  HWND ownerWindow_;
  DWORD exStyle_;
};

class TListWatchForm : public TModelessForm {
 public:
  // ChangedText and Title: the message shown before a reload (English, translated here).
  TListWatchForm(TDialogLauncher& launcher, TDialogSlot slot, HWND ownerWindow, const char* changedText,
                 const char* title);
  std::string ClassName() const override { return "TListWatchForm"; }

  // Fills the window from the list and remembers the list's stamp.
  virtual void LoadList() = 0;
  // One tick of the reload check (Timer1 runs it every second).
  void Timer1Timer();

  TTimer* Timer1;

 protected:
  // The list's change stamp now.
  virtual DWORD ListStamp() = 0;
  // Whether the list changed since the window showed or saved it.
  virtual bool ListChanged() { return ListStamp() != SeenStamp; }
  // Tells the user that the window reloads.
  virtual void ShowReloadNotice();
  void Dispatch(TMessage& message) override;
  // Any other activation message than an activation; a window that reloads only on
  // an activation still in force drops it here (ForgetActivation).
  virtual void ActivationEnded() {}
  void ForgetActivation() { activated_ = false; }
  DWORD SeenStamp = 0;

 private:
  const char* changedText_;
  const char* title_;
  bool activated_ = false;
};
