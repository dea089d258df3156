#include "app/start_up.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/backup_export.h"
#include "app/command_line_switches.h"
#include "data/app_services.h"
#include "app/install_actions.h"
#include "app/main_form.h"
#include "data/data_startup.h"
#include "platform/base/clock.h"
#include "platform/kernel/process.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/files_folders.h"
#include "support/locks.h"
#include "support/program_paths.h"
#include "support/shell.h"

bool PlainStart = false;
bool LogonStart = false;

namespace {

constexpr DWORD kStopSignalTime = 2000;

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

HWND FindRunningInstance() {
  const HWND window = FindWindowA(kMainFormClass, nullptr);
  return window != 0 && IsWindow(window) ? window : 0;
}

void ShowUrl(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2 || LowerCase(arguments[1]).rfind("http", 0) != 0) return;
  ShellOpen(arguments[1]);
}

// Registration as the COM server needs the plug-in object's class factory, which this
// build does not have: the job fails visibly instead of reporting a registration.
int RegisterServer(bool add) {
  LogMessage("register/unregister go");
  if (add) {
    DirSetAllowEveryone(ProgramFolder());
  } else {
    UnregisterIEMenus();
  }
  LogError("registration as a COM server is not available in this build");
  std::fprintf(stderr, "pellix %s: registration as a COM server is not available in this build.\n",
               add ? "regserver" : "unregserver");
  return 1;
}

// The first instance: data layer, main window, message loop.
int RunFirstInstance(std::uint8_t postCode, TDialogLauncher& launcher) {
  support::TMutex running(kRunMutex);
  if (!running.Wait(0)) return 0;
  LoadLanguageSetting();
  InitData(StandaloneMode);
  TMainForm form(launcher);
  form.FormCreate();
  form.StartCommand = postCode;
  LogonStart = false;
  MSG message;
  while (GetMessageA(&message, 0, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

int Start(const std::vector<std::string>& arguments, TDialogLauncher& launcher) {
  LogProcessInfo();
  LogMessage(std::string("cmdline:") + GetCommandLineA());
  TStartCode code = ParseCommandLine(arguments);
  std::uint8_t postCode = PostCodeFor(code);
  switch (code) {
    case scRegServer:
    case scUnregServer: return RegisterServer(code == scRegServer);
    case scInstall: return 0;
    case scHelp:
      if (arguments.size() < 2 || arguments[1].empty()) return 0;
      launcher.Launch(TDialogKind::HelpTopic, std::atol(arguments[1].c_str()));
      return 0;
    case scUninstall: UninstallCleanup(); return 0;
    case scAfterInstall:
      LoadLanguageSetting();
      ApplyInstallerChoices();
      return 0;
    case scBackup: return RunBackup(launcher);
    case scStop: SignalStop(); return 0;
    case scShowUrl: ShowUrl(arguments); return 0;
    case scShowBookmarks:
    case scShowHistory:
    case scShowPwdGen:
    case scSettings: code = scNormal; break;
    default: break;
  }
  if (const HWND running = FindRunningInstance(); running != 0) {
    PostMessageA(running, RegisterWindowMessageA(kPellixMessage), postCode == kNoCommand ? kShowCommand : postCode, 0);
    return 0;
  }
  LogonStart = code == scStartup;
  PlainStart = code == scNormal;
  StandaloneMode = !IsComServerRegistered();
  return RunFirstInstance(postCode, launcher);
}

}  // namespace

int StartApplication(const std::vector<std::string>& arguments, TDialogLauncher& launcher) {
  try {
    return Start(arguments, launcher);
  } catch (const std::exception& e) {
    LogError(std::string("start-up failed: ") + e.what());
    return 0;
  }
}

bool IsComServerRegistered() { return false; }

void SignalStop() {
  support::TEvent shutdown(kShutdownEvent);
  shutdown.SetEvent();
  Sleep(kStopSignalTime);
  shutdown.ResetEvent();
}
