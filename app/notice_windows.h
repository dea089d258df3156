// The small windows shown while forms are filled and remembered: the fill notices and
// the question whether new values go into the active identity (TMessageForm), the
// notice that a form went into the form history (TAddHistoryForm), the one-time notice
// that a form was filled by itself (TAutoFillForm), the splash (TSplashForm) and the
// question before the program closes (TCloseForm).
//
// Each notice the user can switch off keeps a boolean setting, "show" when missing.
// Without a settings object the notices always show and nothing is written.
// Every window is made for one showing and freed afterwards; the splash frees itself.
#pragma once

#include <string>

#include "platform/base/types.h"

class TDialogLauncher;

// Fill notices: 0 no forms, 1 no field matches the identity, 2 already filled,
// 3 more than one form to submit.
inline constexpr int kNoticeNoForms = 0;
inline constexpr int kNoticeNoFill = 1;
inline constexpr int kNoticeAlreadyFilled = 2;
inline constexpr int kNoticeMoreForms = 3;
inline constexpr int kHelpTopicAutoFill = 2747;

// Shows fill notice Code unless its setting switched it off; the notice's box "Do not
// show this message again" switches it off.
void ShowFillNotice(HWND owner, int code);
// 2 at once when AUTO_ADD_IDENT is off; else the question's modal result, IDYES or
// IDNO (Escape answers IDNO). Its box "Do not show" turns AUTO_ADD_IDENT off.
int AskAddToIdentity(HWND owner, const std::u16string& identityName);
// True after OK, with the state of "Show this message every time".
bool ShowAddedToHistory(HWND owner, bool& showEachTime);
// The auto-fill notice, only the first time (AUTOFILLMESS); closing it writes AUTOFILL
// from "Keep Autofill feature enabled".
void ShowAutoFillForm(HWND owner);
// True when the program may close: at once when SHOW_CLOSE_DIALOG is off, else the
// close dialog's answer (its window in the launcher's close slot).
bool AskClose(TDialogLauncher& launcher);
// Shows the splash near the bottom right of the screen; it closes after three seconds.
void ShowSplashWindow();
// The splash windows still open.
int SplashWindowsOpen();
