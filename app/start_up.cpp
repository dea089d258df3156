#include "app/start_up.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/backup_export.h"
#include "app/command_line_switches.h"
#include "data/app_services.h"
#include "app/install_actions.h"
#include "app/list_notice_box.h"
#include "app/main_form.h"
#include "controls/unicode/uni_forms.h"
#include "data/data_startup.h"
#include "formfill/pellix_obj.h"
#include "platform/com/class_table.h"
#include "platform/com/server_registration.h"
#include "platform/host/host_toolbar.h"
#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/state_root.h"
#include "platform/browser/default_browser.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/forms.h"
#include "platform/kernel/named_objects.h"
#include "platform/kernel/process.h"
#include "platform/kernel/registry.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"
#include "platform/win/session_end.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/files_folders.h"
#include "support/locks.h"
#include "support/program_paths.h"
#include "support/registry_access.h"
#include "support/shell.h"

bool PlainStart = false;
bool LogonStart = false;

namespace {

constexpr DWORD kStopSignalTime = 2000;

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A start that cannot go on says why on standard error and ends with exit code 1. Not
// in the debug log: its settings live in the state this may be about.
int StartFailure(const std::string& problem) {
  std::fprintf(stderr, "pellix: %s.\n", problem.c_str());
  return 1;
}

// What keeps the user's state from being kept: a state root that cannot be made or
// written, or a registry store that does not open. Empty when nothing does.
std::string StateProblem() {
  if (std::string problem = platform::StateRootProblem(); !problem.empty()) return problem;
  const LSTATUS status = RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) return {};
  return "the registry store \"" + platform::registry::DatabasePath().string() + "\" cannot be opened (" +
         SysErrorMessage(static_cast<DWORD>(status)) + ")";
}

HWND FindRunningInstance() {
  const HWND window = FindWindowA(kMainFormClass, nullptr);
  return window != 0 && IsWindow(window) ? window : 0;
}

void ShowUrl(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2 || LowerCase(arguments[1]).rfind("http", 0) != 0) return;
  ShellOpen(arguments[1]);
}

// "regserver" and "unregserver": the program's folder is opened to everyone (recorded
// only; this system never widens access), the browser's menu entries go on removal,
// then the plug-in object's class factory writes or removes the registration. The
// exit code says whether the registration is now as asked.
int RegisterServer(bool add) {
  LogMessage("register/unregister go");
  if (add) {
    LogMessage("Set access rights for the folder");
    DirSetAllowEveryone(ProgramFolder());
  } else {
    UnregisterIEMenus();
  }
  LogMessage("Init com object");
  if (TPellixFactory* factory = CreatePluginFactory()) factory->UpdateRegistry(add);
  if (IsComServerRegistered() == add) return 0;
  const char* job = add ? "regserver" : "unregserver";
  LogError(std::string(job) + ": the registration could not be changed");
  std::fprintf(stderr, "pellix %s: the registration could not be changed; see the debug log.\n", job);
  return 1;
}

// "help" and a topic number; a topic that is not decimal digits (or too long to be
// one) is refused.
int ShowHelp(const std::vector<std::string>& arguments, TDialogLauncher& launcher) {
  if (arguments.size() < 2 || arguments[1].empty()) return 0;
  const std::string& topic = arguments[1];
  if (topic.size() > 9 || topic.find_first_not_of("0123456789") != std::string::npos) {
    LogError("help: the topic is not a number: " + topic);
    return 1;
  }
  return launcher.ShowHelpWindow(std::stol(topic)) ? 0 : 1;
}

// The first instance: data layer, main window, message loop.
int RunFirstInstance(TStartCode code, std::uint8_t postCode, TDialogLauncher& launcher) {
  support::TMutex running(kRunMutex);
  if (running.Handle == 0) {
    return StartFailure("the run mutex cannot be made in \"" + platform::NamedObjectFolder().string() + "\" (" +
                        SysErrorMessage(GetLastError()) + ")");
  }
  if (!running.Wait(0)) return 0;
  // A multithreaded apartment: the plug-in object is served on COM's own threads.
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  // The browser the watcher finds its windows in: Chromium when it is installed.
  platform::browser::InstallBrowser();
  platform::browser::StartBrowser();
  LoadLanguageSetting();
  TListNoticeBox listNotice;
  InstallListNotice(&listNotice);
  InitData(code == scStandAlone);
  if (code == scEmbedding) {
    CreatePluginFactory();
    InprocHostMode = IsInprocServerRegistered();
  }
  // The application object runs the modal loops of the program's windows.
  TApplication application(nullptr);
  // Before the main window can be found: from then on the session's end reaches it.
  platform::win::EndSessionOnSignals();
  // Wide characters typed into the windows reach them whole, in modal loops too.
  StartUniApplication();
  TMainForm form(launcher);
  form.FormCreate();
  form.StartCommand = postCode;
  LogonStart = false;
  MSG message;
  while (GetMessageA(&message, 0, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  FinishUniApplication();
  InstallListNotice(nullptr);
  platform::browser::CloseBrowser();
  CoUninitialize();
  return 0;
}

int Start(const std::vector<std::string>& arguments, TDialogLauncher& launcher) {
  platform::RemoveStaleNamedObjects();
  LogProcessInfo();
  LogMessage(std::string("cmdline:") + GetCommandLineA());
  TStartCode code = ParseCommandLine(arguments);
  std::uint8_t postCode = PostCodeFor(code);
  switch (code) {
    case scRegServer:
    case scUnregServer: return RegisterServer(code == scRegServer);
    case scInstall: return 0;
    case scHelp: return ShowHelp(arguments, launcher);
    case scUninstall: {
      CoInitialize(nullptr);
      const bool clean = UninstallCleanup();
      CoUninitialize();
      if (clean) return 0;
      std::fprintf(stderr, "pellix uninstall: not everything could be removed; see the debug log.\n");
      return 1;
    }
    case scAfterInstall:
      CoInitialize(nullptr);
      LoadLanguageSetting();
      ApplyInstallerChoices();
      CoUninitialize();
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
  const bool comServer = IsComServerRegistered();
  if (code == scStartup) {
    PlainStart = false;
    LogonStart = true;
  } else if (code == scNormal) {
    PlainStart = true;
  }
  // Started by COM only counts when this program is the registered server.
  if (code != scEmbedding || !comServer) code = comServer ? scEmbedding : scStandAlone;
  StandaloneMode = code == scStandAlone;
  return RunFirstInstance(code, postCode, launcher);
}

}  // namespace

int StartApplication(const std::vector<std::string>& arguments, TDialogLauncher& launcher) {
  // Nothing is written before the state's place is known to be sound: no file name is
  // ever built from a root that is not there.
  if (const std::string problem = StateProblem(); !problem.empty()) return StartFailure(problem);
  try {
    return Start(arguments, launcher);
  } catch (const std::exception& e) {
    return StartFailure(std::string("the start failed: ") + e.what());
  }
}

bool IsComServerRegistered() {
  const platform::com::LocalServerClass server = TPellixFactory::ServerClass();
  if (!RegKeyExists(HKEY_CLASSES_ROOT, "Interface\\" + platform::com::GuidKeyText(server.DefaultInterface))) {
    return false;
  }
  std::string file;
  if (!RegReadString(HKEY_CLASSES_ROOT, "CLSID\\" + platform::com::GuidKeyText(server.Clsid) + "\\LocalServer32", "",
                     file)) {
    return false;
  }
  return LowerCase(ShortPathOf(file)) == LowerCase(ShortPathOf(ProgramFile()));
}

bool IsInprocServerRegistered() {
  std::string file;
  return RegReadString(HKEY_CLASSES_ROOT,
                       "CLSID\\" + platform::com::GuidKeyText(CLSID_QuindleToolbar) + "\\InprocServer32", "", file) &&
         !file.empty();
}

void SignalStop() {
  support::TEvent shutdown(kShutdownEvent);
  shutdown.SetEvent();
  Sleep(kStopSignalTime);
  shutdown.ResetEvent();
}
