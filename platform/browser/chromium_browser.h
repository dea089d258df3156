// The Chromium backend of the browser model: a real browser driven over the DevTools
// pipe. Each page target is one browser window of the model (a WebBrowser whose pages
// Chromium shows), listed with the in-process browser's windows in the shell-windows
// collection. The document model answers from a copy of the page's tree that one
// function call in the page brings up to date (html_rules.h holds for it as for the
// in-process backend); the program's changes go back to the page without waiting.
//
// The page side of this backend lives in an isolated world of each frame: page
// scripts see neither its functions nor its binding, so they can neither call the
// program nor forge an event. A binding call counts only when it comes from the
// isolated world of the window's current document and carries this run's token.
//
// Faults (the browser ending, a target closing in a call, a message that cannot be
// read, a call timing out) give the model's failure answers; the windows of a browser
// that ended are closed, and the next request starts a new browser.
//
// Threads: the browser's events are handled on the window's thread, as the
// in-process backend delivers them. Calls into the model may come from any thread.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/browser/devtools_pipe.h"
#include "platform/browser/page_source.h"
#include "platform/browser/web_browser.h"

namespace platform::browser {

class ChromiumPage;

// The document a page snapshot describes (what the page script sends: the page's
// elements and texts in document order), or null when it describes none. Outside
// input: any JSON gives a sound document or null.
platform::com::ComPtr<HtmlDocument> DocumentFromSnapshot(const Json& snapshot);

class ChromiumBrowser {
 public:
  static ChromiumBrowser& Instance();

  // How Chromium is started, with its profile in the folder Profile under the state
  // root: the desktop browser when windows can be shown on a screen, else the headless
  // shell (or the desktop browser run headless); no program when none is installed.
  // The default shows windows when the session has a display.
  static constexpr char kProfile[] = "browser";
  static LaunchOptions Options(bool onScreen, std::string_view profile = kProfile);
  static LaunchOptions DefaultOptions(std::string_view profile = kProfile);
  // How the browser is started from the next start on (tests: the headless shell).
  void Configure(LaunchOptions options);
  // Pages answered from here instead of the network (tests); null for the network.
  void SetPages(std::shared_ptr<PageSource> pages);

  // Starts the browser now when it shows its windows on a screen, so that a person has
  // one to use from the start; a headless browser starts on the first request.
  void StartOnScreen();
  // Opens a page window, starting the browser when none runs; null when it cannot.
  platform::com::ComPtr<IWebBrowser2> OpenWindow();
  // Closes the windows and ends the browser.
  void Shutdown();
  bool Running();

  // As the user: sends a command to the window's page (input events, scripts in the
  // page's own world), after the program's changes sent so far, and answers its
  // result.
  std::optional<Json> Command(IWebBrowser2* browser, const std::string& method, const Json& params);
  // What a window has handled so far: pages loaded (DocumentComplete delivered), or
  // reports of the page script (submits, context menus) handled. WaitFor waits until
  // the count reaches Count (false when it did not in time or the window went).
  enum class Counted { kLoads, kReports };
  int Count(IWebBrowser2* browser, Counted what);
  bool WaitFor(IWebBrowser2* browser, Counted what, int count);
  // The browser process (tests end it to see the program survive).
  pid_t ProcessId();

 private:
  struct Entry {
    std::shared_ptr<ChromiumPage> page;
    platform::com::ComPtr<WebBrowser> window;
  };
  ChromiumBrowser();
  std::shared_ptr<DevToolsPipe> EnsureRunning();
  void OnEvent(const ProtocolMessage& message);
  void OnEnd();
  void Attached(const ProtocolMessage& message);
  void Detached(const std::string& sessionId);
  // Takes a session out of the list (its page cut off from the window); empty when
  // it is not there.
  Entry Take(const std::string& sessionId);
  // The window's Quit: the target is closed and the window leaves the list at once.
  void CloseSession(const std::string& sessionId);
  std::shared_ptr<ChromiumPage> PageOf(IWebBrowser2* browser);
  // The page a session belongs to: its own, or one of its frames'.
  std::shared_ptr<ChromiumPage> PageOfSession(const std::string& sessionId);

  std::mutex lock_;
  std::condition_variable ready_;
  LaunchOptions options_;
  std::shared_ptr<PageSource> pages_;
  std::shared_ptr<DevToolsPipe> pipe_;
  // Pipes of browsers that ended; kept until Shutdown so that none is destroyed on
  // its own reader thread.
  std::vector<std::shared_ptr<DevToolsPipe>> retired_;
  std::map<std::string, Entry> sessions_;  // by session id
  // The sessions of frames that run in processes of their own, with their pages.
  std::map<std::string, std::shared_ptr<ChromiumPage>> frame_sessions_;
  const std::string token_;
};

}  // namespace platform::browser
