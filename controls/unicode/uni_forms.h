// The wide application: a wide title and hint for the application, a message hook
// that hands characters beyond the 8-bit range to Unicode windows before the class
// library's 8-bit loop can turn them into question marks, an invisible control whose
// action keeps the wide hint current at idle time, the wide scroll box, and the
// accelerator test of the wide controls.
#pragma once

#include <string>

#include "controls/unicode/uni_actions.h"
#include "platform/classlib/forms.h"

class TUniAppIdleEventControl;

// Ownership: made and freed by StartUniApplication / FinishUniApplication.
class TUniApplication : public TComponent {
 public:
  TUniApplication();
  ~TUniApplication() override;
  std::string ClassName() const override { return "TUniApplication"; }

  std::u16string Hint();
  void SetHint(const std::u16string& value);
  std::u16string Title();
  void SetTitle(const std::u16string& value);

  bool MainFormChecked = false;
  TUniAppIdleEventControl* IdleEventControl = nullptr;

 private:
  bool HandleMainWindowMessage(TMessage& message);
  std::u16string hint_;
  std::u16string title_;
  int mainWindowHook_ = 0;
};

// On the main form, invisible to the user; its action runs at idle time.
// Ownership: the main form owns it; the application object frees it when it still
// exists at the application object's end.
class TUniAppIdleEventControl : public TControl {
 public:
  explicit TUniAppIdleEventControl(TCustomForm* mainForm);
  ~TUniAppIdleEventControl() override;
  std::string ClassName() const override { return "TUniAppIdleEventControl"; }

 protected:
  std::unique_ptr<TControlActionLink> CreateActionLink() override { return UniControlGetActionLinkClass(this); }
};

extern TUniApplication* UniApplication;

// Start-up of the layer on the main thread: the application object and the message
// hook (a hook that cannot be set raises the last system error). The class library's
// application must exist first.
void StartUniApplication();
void FinishUniApplication();

// True when the key's character is the caption's hot key, without regard to case.
bool IsWideCharAccel(WORD charCode, const std::u16string& caption);

class TUniScrollBox : public TScrollBox {
 public:
  using TScrollBox::TScrollBox;
  std::string ClassName() const override { return "TUniScrollBox"; }
  std::u16string WideHint();
  void SetWideHint(const std::u16string& value);
  void Dispatch(TMessage& message) override;

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override { return UniControlGetActionLinkClass(this); }
  void ActionChange(TObject* sender, bool checkDefaults) override;

 private:
  int sizeNesting_ = 0;
};
