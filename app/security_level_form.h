// The security level window (TSecurityLevel): a vertical slider chooses how the master
// password guards the data (no protection, at start only, expiring after a number of
// minutes, for every action), with the minutes for the expiring levels. The window
// stores nothing: its opener keeps what it answers.
//
// Ownership: the form owns its components and its help picture; ChooseSecurityLevel
// makes the form for one modal showing and frees it.
#pragma once

#include <cstdint>
#include <memory>

#include "app/help_window.h"
#include "app/window_parts.h"
#include "platform/classlib/com_ctrls.h"
#include "platform/classlib/image_control.h"

class TSecurityLevel : public TOwnedDialog {
 public:
  // OwnerWindow: the window the dialog belongs to (0: the application's).
  TSecurityLevel(TComponent* owner, HWND ownerWindow);
  std::string ClassName() const override { return "TSecurityLevel"; }

  // Shows level Level (0 to 3; others are ignored): slider, texts, the minutes edit.
  void ShowLevel(int level);

  TTrackBar* trackSecLevel;
  TUniLabel* lblLevelCaption;
  TUniLabel* lblLevelDef;
  TImage* helpImage;
  TUniLabel* lblLevelDesc;
  TUniEdit* txtExpires;
  TUniLabel* lblExpire;
  TUniButton* butDefault;
  TUniButton* butOK;
  TUniButton* butCancel;


 private:
  std::unique_ptr<TImageHelp> help_;
};

// Shows the window on Level and Minutes; on OK takes the slider's level and the edit's
// minutes (the previous minutes when it holds no number) and answers true; otherwise
// changes nothing and answers false.
bool ChooseSecurityLevel(HWND owner, std::int32_t& level, std::int32_t& minutes);
