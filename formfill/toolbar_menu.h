// The program's menu as text for the host toolbar, which cannot call into the menu
// objects: one line per item, each ended by CR LF.
//
//   "$"               first line of a full menu
//   "-"               separator
//   "+" caption       opens a submenu, closed by the matching "<"
//   caption "=" cmd   an enabled item: command name, "_" and the item's Tag, or "null"
//   "{" caption "=null"  a disabled item
//
// The host passes the command text of a picked item back to the plug-in object.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"

// A caption as the host may read it: no caption can end its line, open or close a
// submenu, mark itself disabled, or pose as the first line.
std::u16string EscapeMenuCaption(std::u16string_view caption);

// The full menu text of the main menu with the page commands.
std::u16string SerializeMenu();
// The single-item texts standing in for the menu while locked and before the first-run
// wizard: no "$" line, no CR LF.
std::u16string LoginMenuText();
std::u16string WizardMenuText();
// What the host is given now: the wizard line, the menu when unlocked, else the login line.
std::u16string ToolbarMenuText();

// The text the plug-in object hands the host with its button: the wizard line while
// there is no identity, else the cached text, built and cached first when the cache is
// empty or was built in the other lock state (so logoff, lock and unlock clear it).
// Every refresh replaces the cached text (the wizard line is never cached).
std::u16string CachedToolbarMenuText();
// Empties the cache.
void ClearToolbarMenuCache();

// Hands the current menu text to the host toolbar on a thread of its own. At most one
// refresh thread runs; a request while it runs makes it run once more. Does nothing in
// the stand-alone and in-process host run modes.
void StartToolbarMenuRefresh();
// True when a refresh thread runs.
bool ToolbarMenuRefreshRunning();
// Waits until no refresh thread runs; false when Timeout passed first.
bool WaitToolbarMenuRefresh(DWORD timeout);
