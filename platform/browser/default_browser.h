// The browser the program uses. Chromium when it is installed: the program starts it
// itself, with its profile under the state root, and watches every page of it; on a
// screen it starts with the running program (a person's browser window), headless
// when a page is to be opened (web addresses the program opens, the help window). The
// in-process browser otherwise, and whenever $PELLIX_BROWSER is "in-process" (as in
// every test): it opens no window a person can see, so addresses then go to the
// desktop's own browser, which the program does not watch.
#pragma once

#include <string>
#include <string_view>

#include "platform/browser/exdisp.h"

namespace platform::browser {

enum class BrowserKind { kInProcess, kChromium };
BrowserKind DefaultBrowserKind();

// Serves the collection of browser windows (CLSID_ShellWindows) and new browser
// windows (CLSID_InternetExplorer: OpenBrowserWindow's) in this process and, with
// Chromium, takes over opening web addresses (false when Chromium cannot open one).
HRESULT InstallBrowser();
// For a process of the program's other than the running program (the help window):
// its Chromium keeps a profile of its own, in the folder Profile under the state root,
// since the running program's Chromium holds the program's profile.
void UseBrowserProfile(std::string_view profile);
// The running program's start: Chromium on a screen starts now, with a window for the
// person to use.
void StartBrowser();
// A new window of the program's browser showing Url (nothing loaded when empty): a
// Chromium window, else an in-process one; null when no window can be opened.
platform::com::ComPtr<IWebBrowser2> OpenBrowserWindow(const std::u16string& url = {});
// Ends the browser the program started (before the program ends).
void CloseBrowser();

}  // namespace platform::browser
