// What the main window does with what the page side reports: a submitted form goes
// into the bookmarks, the password history and the form history (and may ask the
// user); a right click on a password input pops up the password-field menu; the
// one-time auto-fill notice; the request to fill a page now.
//
// Main thread only. Every change and save of a list takes the data lock, then the
// list's lock.
#pragma once

#include <memory>

#include "platform/base/object_registry.h"
#include "platform/base/types.h"

class TMainForm;
class TMessageItem;
class TNavigateItem;
class TPopupMenu;

// Password-field menu modes: the input holds the user's own value, a prepared value,
// or nothing.
inline constexpr int kPasswordMenuTyped = 2;
inline constexpr int kPasswordMenuPrepared = 1;
inline constexpr int kPasswordMenuEmpty = 0;

void HandleFormSubmitted(TMainForm& main, const TMessageItem& message);
// Builds the menu for the watcher's password context in Menu and pops it up at the
// cursor. The context stays the watcher's: the entries find it by the watcher's id
// when chosen, so nothing is left to free when the menu closes without a choice.
void ShowPasswordFieldMenu(TMainForm& main, TPopupMenu& menu, platform::ObjectId watcher, int mode);
// Shows the auto-fill notice once per installation.
void ShowAutoFillNotice(HWND browserWindow);
// Fills every form of the page of the request's watcher when the gate passes.
void FillPageById(TMainForm& main, const TNavigateItem& request);
