#include "app/main_form.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>

#include "app/install_actions.h"
#include "app/notice_windows.h"
#include "app/page_results.h"
#include "app/start_up.h"
#include "data/data_startup.h"
#include "data/menu_messages.h"
#include "formfill/after_navigate.h"
#include "formfill/ie_win.h"
#include "formfill/pellix_obj.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/kernel/process.h"
#include "platform/kernel/resources.h"
#include "platform/win/atoms.h"
#include "platform/win/message_box.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"
#include "support/alpha_bitmaps.h"
#include "support/debug_log.h"
#include "support/locks.h"
#include "support/process_version.h"
#include "support/program_paths.h"
#include "support/registry_access.h"
#include "support/shell.h"

namespace {

constexpr UINT_PTR kMainTimerId = 1;
constexpr UINT kMainTimerInterval = 100;
// While the installer runs the timer slows down and stays slow.
constexpr UINT kInstallerTimerInterval = 2000;
constexpr int kTicksPerRescan = 100;
// Tray menu entries with a handler of their own.
constexpr int kTrayOpenFirst = 1;
constexpr int kTrayOpenLast = 3;
constexpr int kTrayCreateBookmark = 9;
constexpr int kTrayEditHistory = 13;
constexpr char16_t kComingSoon[] = u"   Comming soon!      ";

TMainForm* TheMainForm = nullptr;
// The splash shows at most once per process.
bool SplashShownOnce = false;

// Commands 10 to 15 carry nothing but integers: the only ones another process may send.
bool CrossesProcesses(UINT command) { return command >= kCmdShowApplication && command <= kCmdHideTrayIcon; }

// Modes 2, 1 and 0 of the password-field menu.
int PasswordMenuMode(UINT command) {
  if (command == kCmdPasswordMenuTyped) return kPasswordMenuTyped;
  return command == kCmdPasswordMenuPrepared ? kPasswordMenuPrepared : kPasswordMenuEmpty;
}

// The tray menu's entries that only announce what is to come.
bool ComingSoon(int command) { return command == 5 || command == 6 || (command >= 17 && command <= 22); }

// The end of the process: waits (bounded) for the data lock and keeps it, so that no
// list save or setting can be cut half-way, writes the settings out, and ends.
[[noreturn]] void FinishAndExit(const char* why) {
  if (!DataLock.Enter(kStopLockWait)) LogError(std::string(why) + ": data lock not free, ending anyway");
  if (Config && Config->IniFile) Config->IniFile->UpdateFile();
  ExitProcess(0);
}

// Reads a setting into Value only when it is there.
void ReadBool(const char16_t* key, bool& value) { Config->ReadBool(key, value); }
void ReadInt(const char16_t* key, std::int32_t& value) { Config->ReadIntDef(key, value); }
void ReadText(const char16_t* key, std::u16string& value) {
  std::u16string text;
  if (Config->ReadString(key, text)) value = text;
}

// A picture resource as an icon; magenta parts made transparent when asked.
bool LoadPictureIcon(const char* name, bool magentaTransparent, TIcon& icon) {
  std::unique_ptr<TBitmap> bitmap(LoadRCDataBitmap(platform::kProgramInstance, name));
  if (!bitmap) return false;
  if (magentaTransparent) {
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    for (int row = 0; row < bitmap->Height(); ++row) {
      std::uint8_t* pixel = bitmap->ScanLine(row);
      for (int x = 0; x < bitmap->Width(); ++x, pixel += 4) {
        const bool transparent = pixel[0] == 0xFF && pixel[1] == 0 && pixel[2] == 0xFF;
        pixel[3] = transparent ? 0 : 0xFF;
      }
    }
  }
  icon.FromBitmap(*bitmap);
  return !icon.Empty();
}

}  // namespace

TMainForm::TMainForm(TDialogLauncher& launcher) : launcher_(launcher), gate_(launcher), dispatcher_(*this) {
  launcher_.MainOperations = &dispatcher_;
}

// Destruction: the refresh threads end, the watcher thread ends, the passes over pages
// end, the stop-watch thread ends, the floating windows go.
TMainForm::~TMainForm() {
  InstallAppServices(nullptr);
  if (handle_ != 0) formfill::InstallFloatFormOwner(nullptr);
  // The refresh threads ask this window whether the program is unlocked: none may be
  // running once it is gone.
  WaitToolbarMenuRefresh(kStopLockWait);
  WaitToolbarButtonRefresh(kStopLockWait);
  launcher_.QueuePasswordFill = nullptr;
  Watcher.reset();
  // The passes over pages read the lists, which go when the program ends.
  formfill::TAfterNavigateThr::EndAll(kStopLockWait);
  terminated_ = true;
  if (stopThread_.joinable()) stopThread_.join();
  ClearTrayMenu();
  TrayIcon.reset();
  if (handle_ != 0) DestroyWindow(handle_);
  TheMainForm = nullptr;
  launcher_.MainOperations = nullptr;
}

void TMainForm::FormCreate() {
  pellixMessageId_ = RegisterWindowMessageA(kPellixMessage);
  scanMessageId_ = RegisterWindowMessageA(kScanMessage);
  std::random_device random;
  localMark_ = (static_cast<WPARAM>(random()) | 1) << 32;
  TheMainForm = this;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &TMainForm::WindowProc;
  windowClass.lpszClassName = kMainFormClass;
  RegisterClassA(&windowClass);
  handle_ = CreateWindowExA(0, kMainFormClass, "VedoZorere", 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  InstallAppServices(this);
  formfill::InstallFloatFormOwner(this);
  StartCommand = kNoCommand;
  ScanTicks = 0;
  LoadSaveSettings(true);
  Watcher = std::make_unique<formfill::TMainThread>(handle_);
  launcher_.QueuePasswordFill = [this](std::shared_ptr<formfill::TInputPasswordContext> context) {
    if (Watcher) Watcher->QueuePasswordFill(context->Watcher(), std::move(context));
  };

  PwdMenu = std::make_unique<TUniPopupMenu>(nullptr);
  TrayMenu = std::make_unique<TUniPopupMenu>(nullptr);
  TrayMenu->OnPopup = [this](TObject*) { TrayMenuPopup(); };
  TrayIcon = std::make_unique<TUniTrayIcon>(nullptr);
  TIcon icon;
  if (LoadPictureIcon("TRAY_ICON", false, icon)) TrayIcon->SetIcon(icon);
  TrayIcon->PopupMenu = TrayMenu.get();
  TrayIcon->SetVisible(TrayIconShown);

  WizardStarted = false;
  StartCommandDone = false;
  SetTimer(handle_, kMainTimerId, kMainTimerInterval, nullptr);
  stopThread_ = std::thread([this] { StopWatch(); });
  if (PlainStart) {
    ShowApplication(false);
    SplashPending = true;
  } else {
    SplashPending = LogonStart;
  }
  LogonStart = false;
  StartToolbarMenuRefresh();
  LoadTrayPictures();
}

void TMainForm::LoadTrayPictures() {
  TrayMenuImages = std::make_unique<TImageList>(nullptr);
  for (const char* name : {"ICO_VAULT", "ICO_BOOKMARK"}) {
    TIcon icon;
    if (LoadPictureIcon(name, true, icon)) TrayMenuImages->AddIcon(icon);
  }
}

bool TMainForm::FromThisProcess(WPARAM wParam) const { return (wParam & ~WPARAM{0xFFFFFFFF}) == localMark_; }

LRESULT TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TMainForm* form = TheMainForm;
  if (form != nullptr && window == form->handle_) {
    if (message == form->scanMessageId_) {
      form->ScanTicks = 0;
      if (form->Watcher) form->Watcher->RequestScan();
    } else if (message == form->pellixMessageId_) {
      if (!form->FromThisProcess(wParam) && !CrossesProcesses(wParam & kCommandBits)) {
        LogMessage("PellixMessage from another process ignored: " + std::to_string(wParam & kCommandBits));
        return 0;
      }
      return form->HandleCommand(wParam, lParam);
    } else if (message == WM_TIMER && wParam == kMainTimerId) {
      form->MainFormTimerTimer();
      return 0;
    } else if (message == WM_ENDSESSION) {
      // The session ends: nothing else will end this process, so it writes its settings
      // and ends, as it does on the stop switch.
      if (wParam != 0) FinishAndExit("end of session");
      return 0;
    } else if (message == WM_COPYDATA) {
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TMainForm::HandleCommand(WPARAM wParam, LPARAM lParam) {
  const UINT command = wParam & kCommandBits;
  try {
    if (command == kCmdCreateFloat) return static_cast<LRESULT>(floatWindows_.Create(static_cast<HWND>(lParam)));
    RunCommand(command, lParam);
  } catch (const std::exception& e) {
    LogError("command " + std::to_string(command) + " failed: " + e.what());
  }
  return 0;
}

void TMainForm::RunCommand(UINT command, LPARAM lParam) {
  const auto id = MessageObjectId(lParam);
  switch (command) {
    case kCmdReleaseFloat: floatWindows_.Release(static_cast<HWND>(lParam)); break;
    case kCmdShowFloat:
      if (TFloatWindow* form = FindFloat(id)) form->UpdatePosition(true);
      break;
    case kCmdHideFloat:
      if (TFloatWindow* form = FindFloat(id)) form->HideFloat();
      break;
    case kCmdFormSubmitted:
      if (auto item = ReceiveMessageObject<TMessageItem>(lParam)) HandleFormSubmitted(*this, *item);
      break;
    case kCmdPasswordMenuTyped:
    case kCmdPasswordMenuPrepared:
    case kCmdPasswordMenuEmpty:
      if (PwdMenu) ShowPasswordFieldMenu(*this, *PwdMenu, id, PasswordMenuMode(command));
      break;
    case kCmdReloadSettings: LoadSaveSettings(false); break;
    case kCmdMenuCommand:
      if (auto message = ReceiveMessageObject<TObjMenuMessage>(lParam)) dispatcher_.Dispatch(RequestOf(*message));
      break;
    case kCmdShowApplication: ShowApplication(true); break;
    case kCmdShowBookmarks: dispatcher_.ShowBookmarkBrowser(0); break;
    case kCmdShowHistory: dispatcher_.ShowHistoryBrowser(0); break;
    case kCmdShowPasswordGenerator: dispatcher_.ShowPasswordGenerator(0); break;
    case kCmdShowSettings: dispatcher_.ShowSettings(0, static_cast<int>(lParam)); break;
    case kCmdHideTrayIcon:
      if (TrayIcon) TrayIcon->SetVisible(false);
      break;
    case kCmdCloseForm:
      if (auto form = ReceiveMessageObject<TCustomForm>(lParam)) form->Close();
      break;
    case kCmdHelpTopic: ShowHelpTopic(static_cast<long>(lParam)); break;
    case kCmdAutoFillNotice: ShowAutoFillNotice(static_cast<HWND>(lParam)); break;
    case kCmdFillPageById:
      if (auto item = ReceiveMessageObject<TNavigateItem>(lParam)) FillPageById(*this, *item);
      break;
    default: break;
  }
}

void TMainForm::UpdateFloatPositions() { floatWindows_.UpdatePositions(); }

// The tray menu's entries: the stored forms open in a browser window of their own, a
// few entries only announce what is to come, the others are the dispatcher's commands.
void TMainForm::MenuClick(int command, std::int32_t tag) {
  if (command >= kTrayOpenFirst && command <= kTrayOpenLast) {
    dispatcher_.OpenInNewWindow(tag, command - kTrayOpenFirst + 1);
  } else if (ComingSoon(command)) {
    MessageBoxW(0, kComingSoon, u"Pellix", MB_OK);
  } else if (command != kTrayCreateBookmark && command != kTrayEditHistory) {
    TMenuRequest request;
    request.Command = command;
    request.Item = tag;
    dispatcher_.Dispatch(request);
  }
}

void TMainForm::ShowTrayIcon() {
  TrayIconShown = true;
  if (TrayIcon) TrayIcon->SetVisible(true);
  if (Config) Config->WriteBool(u"SHOW_TRAY", true);
  StartToolbarMenuRefresh();
}

void TMainForm::HideTrayIcon() {
  TrayIconShown = false;
  if (TrayIcon) TrayIcon->SetVisible(false);
  if (Config) Config->WriteBool(u"SHOW_TRAY", false);
  StartToolbarMenuRefresh();
}

void TMainForm::ExitCommand() {
  if (!launcher_.ShowCloseDialog()) return;
  EndProcess();
}

void TMainForm::EndProcess() {
  if (TrayIcon) TrayIcon->SetVisible(false);
  FinishAndExit("exit");
}

void TMainForm::ShowApplication(bool splash) {
  if (!TrayIconShown) ShowTrayIcon();
  if (splash && !SplashShownOnce) ShowSplash();
}

void TMainForm::ShowSplash() {
  ShowSplashWindow();
  if (Application != nullptr) ShowWindow(Application->Handle(), SW_HIDE);
  SplashShownOnce = true;
}

void TMainForm::ShowHelpTopic(long topic) {
  const HWND help = FindWindowA(kHelpFormClass, nullptr);
  if (help != 0) {
    PostMessageA(help, RegisterWindowMessageA(kHelpTopicMessage), 0, static_cast<LPARAM>(topic));
  } else {
    RunProgram(ProgramFile(), "/help " + std::to_string(topic), SW_SHOW);
  }
}

bool TMainForm::EnsureFirstRun(HWND owner) {
  if (FirstRunCompleted) return true;
  launcher_.ShowAfterInstallWizard(owner);
  return FirstRunCompleted;
}

void TMainForm::ClearTrayMenu() {
  if (!TrayMenu) return;
  TMenuItem* root = TrayMenu->Items();
  while (root->Count() > 0) delete root->Items(root->Count() - 1);
}

void TMainForm::TrayMenuPopup() {
  ClearTrayMenu();
  if (!TrayMenu || !EnsureFirstRun(0) || !gate_.CheckUnlock(0, true, true)) return;
  TMenuEvents events;
  for (int slot = 0; slot < TMenuEvents::kCount; ++slot) {
    // The menu's handlers read the record from the clicked item's tag.
    events.Handlers[slot] = [this, command = CommandOfSlot(slot)](TObject* sender) {
      const auto* item = dynamic_cast<const TMenuItem*>(sender);
      MenuClick(command, item != nullptr ? static_cast<std::int32_t>(item->Tag) : 0);
    };
  }
  BuildMainMenu(events, *TrayMenu, false);
}

void TMainForm::MainFormTimerTimer() {
  if (InstallerWindowOpen()) {
    SetTimer(handle_, kMainTimerId, kInstallerTimerInterval, nullptr);
    return;
  }
  UpdateFloatPositions();
  if (!FirstRunCompleted) {
    if (!WizardStarted) {
      WizardStarted = true;
      launcher_.ShowAfterInstallWizard(0);
    }
    SplashPending = false;
  } else if (!StartCommandDone && StartCommand != kNoCommand) {
    StartCommandDone = true;
    if (gate_.CheckUnlock(handle_, false, true)) {
      HandleCommand(StartCommand, 0);
      StartCommand = kNoCommand;
    }
  } else if (++ScanTicks > kTicksPerRescan) {
    ScanTicks = 0;
    if (Watcher) Watcher->RequestScan();
  }
  if (SplashPending && !SplashShownOnce) {
    SplashPending = false;
    ShowSplash();
  }
}

// "No record yet" (a fresh install before the first-run wizard) leaves the security
// values as they are and the data not ready; only a record that cannot be read is
// level 99.
void TMainForm::LoadSecurityRecord() {
  std::u16string record;
  Config->ReadString(u"SECURITY", record);
  const bool applied = ApplySecurityRecord(platform::WideToAnsi(record));
  FirstRunCompleted = applied && HasIdentities;
}

// The plug-in object answers the host from these, on the COM server's threads.
void TMainForm::PassPluginSettings() const {
  SetPluginSettings({Settings.ShowPellixButton, Settings.PellixAll, Settings.AboutUrl, Settings.CfgId});
}

void TMainForm::LoadSaveSettings(bool load) {
  if (!Config) return;
  if (load) LoadSecurityRecord();
  std::int32_t vault = 0;
  if (Config->ReadInteger(u"VAULT", vault)) Settings.ActiveVault = static_cast<WORD>(vault);
  ReadText(u"IDENTITY", ActiveIdentityNo);
  formfill::TPageFillSettings fill = formfill::PageFillSettings();
  ReadInt(u"FILL_ACTION", Settings.FillAction);
  ReadBool(u"AUTOFILL", fill.AutoFill);
  ReadBool(u"DEBUG_FILL", fill.DebugFill);
  bool showTray = TrayIconShown;
  ReadBool(u"SHOW_TRAY", showTray);
  TrayIconShown = showTray;
  if (TrayIcon) TrayIcon->SetVisible(showTray);
  ReadBool(u"SHOW_HISTORY", Settings.ShowHistory);
  ReadBool(u"AUTO_ADD_IDENT", Settings.AutoAddIdent);
  ReadBool(u"HIDE_FLOATING", Settings.HideFloating);
  ReadInt(u"HISTORY", MenuSettings.HistoryDays);
  ReadBool(u"PWD_LOWER", fill.PwdLower);
  ReadBool(u"PWD_UPPER", fill.PwdUpper);
  ReadBool(u"PWD_NUM", fill.PwdNum);
  ReadBool(u"PWD_SYMB", fill.PwdSymb);
  ReadBool(u"PWD_AVOID", fill.PwdAvoid);
  ReadInt(u"PWD_LEN", fill.PwdLen);
  formfill::SetPageFillSettings(fill);
  ReadText(u"ABOUT_URL", Settings.AboutUrl);
  ReadText(u"HELP_URL", Settings.HelpUrl);
  ReadText(u"CFG_ID", Settings.CfgId);
  bool runStartup = Settings.RunStartup;
  ReadBool(u"RUN_STARTUP", runStartup);
  // The host's own modes decide the button there; only a plain host setting is read.
  const bool hostModes = InprocHostMode || StandaloneMode;
  bool pellixAll = true;
  if (!hostModes) {
    pellixAll = Settings.PellixAll;
    ReadBool(u"PELLIX_ALL", pellixAll);
  }
  if (load) {
    Settings.RunStartup = runStartup;
    Settings.PellixAll = pellixAll;
    formfill::TFloatOffsets& offsets = formfill::FloatOffsets();
    ReadInt(u"POS_L", offsets.Left);
    ReadInt(u"POS_T", offsets.Top);
    ReadInt(u"POS_R", offsets.Right);
    ReadInt(u"POS_B", offsets.Bottom);
    double cleared = 0;
    if (Config->ReadFloat(u"CLEAR_HIST", cleared)) MenuSettings.ClearHistory = cleared;
    ReadInt(u"SHOW_PELLIX_BUTTON", Settings.ShowPellixButton);
  } else if (!StandaloneMode) {
    if (runStartup != Settings.RunStartup) {
      Settings.RunStartup = runStartup;
      CreateShortcuts(runStartup, kShortcutRunEntry);
    }
    std::int32_t button = Settings.ShowPellixButton;
    ReadInt(u"SHOW_PELLIX_BUTTON", button);
    const bool buttonChanged = button != Settings.ShowPellixButton || pellixAll != Settings.PellixAll;
    Settings.ShowPellixButton = button;
    Settings.PellixAll = pellixAll;
    // The refresh reads the plug-in's settings: hand them over first.
    PassPluginSettings();
    if (buttonChanged) StartToolbarButtonRefresh();
  }
  PassPluginSettings();
  StartToolbarMenuRefresh();
  FloatButtonEnabled = hostModes || Settings.ShowPellixButton == 0 || !Settings.HideFloating;
}

// Ends the process when another process sets the stop or shutdown event, after the
// main window has hidden the tray icon (bounded: a busy main thread cannot keep the
// process alive past the stop switch's window).
void TMainForm::StopWatch() {
  support::TEvent stop(kStopEvent);
  support::TEvent shutdown(kShutdownEvent);
  while (!terminated_) {
    if (stop.Wait(0) || shutdown.Wait(0)) {
      DWORD_PTR result = 0;
      SendMessageTimeoutA(handle_, pellixMessageId_, kCmdHideTrayIcon, 0, SMTO_NORMAL, kStopLockWait / 2, &result);
      FinishAndExit("stop");
    }
    Sleep(100);
  }
}

bool TMainForm::PostToMainWindow(WPARAM command, LPARAM argument) {
  return PostMessageA(handle_, pellixMessageId_, (command & kCommandBits) | localMark_, argument) != FALSE;
}

LRESULT TMainForm::SendToMainWindow(WPARAM command, LPARAM argument) {
  return SendMessageA(handle_, pellixMessageId_, (command & kCommandBits) | localMark_, argument);
}

bool TMainForm::CheckUnlock(HWND ownerWnd, int flag, bool mayAsk) { return gate_.CheckUnlock(ownerWnd, flag != 0, mayAsk); }

bool TMainForm::PostScanRequest() { return PostMessageA(handle_, scanMessageId_, 0, 0) != FALSE; }

bool TMainForm::InstallerWindowExists() { return InstallerWindowOpen(); }

bool TMainForm::AnyDialogOpen() { return launcher_.AnyDialogOpen(); }

bool TMainForm::IsUnlocked() { return IsUnlockedNow(); }

void TMainForm::FillOpenForm(HWND browser, platform::ObjectId watcher) {
  dispatcher_.FillOpenForm(browser, watcher, u"", u"", u"");
}

void TMainForm::OpenStoredForm(HWND browser, std::int32_t item, platform::ObjectId watcher, int mode) {
  dispatcher_.OpenStoredForm(browser, item, watcher, u"", mode);
}

void TMainForm::ShowSettings(HWND browser, int page) { dispatcher_.ShowSettings(browser, page); }

void TMainForm::MenuCommand(HWND browser, int command, std::int32_t tag, platform::ObjectId watcher) {
  TMenuRequest request;
  request.Command = command;
  request.Item = tag;
  request.Owner = browser;
  request.Watcher = watcher;
  dispatcher_.Dispatch(request);
}

void TMainForm::ShowMessage(HWND browser, const std::u16string& text) {
  MessageBoxW(browser, text.c_str(), u"Pellix", MB_OK | MB_ICONINFORMATION);
}
