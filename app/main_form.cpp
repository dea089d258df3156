#include "app/main_form.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>

#include "app/install_actions.h"
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
constexpr UINT kCommandBits = 0x7F;
// The main window's own menu commands.
constexpr int kCommandHelp = 38;
constexpr int kCommandAbout = 39;
constexpr int kCommandLogoff = 44;
constexpr int kCommandShowTray = 46;
constexpr int kCommandHideTray = 47;

TMainForm* TheMainForm = nullptr;
// The splash shows at most once per process.
bool SplashShownOnce = false;

// Commands 10 to 15 carry nothing but integers: the only ones another process may send.
bool CrossesProcesses(UINT command) { return command >= 10 && command <= 15; }

// The end of the process: waits (bounded) for the data lock and keeps it, so that no
// list save or setting can be cut half-way, writes the settings out, and ends.
[[noreturn]] void FinishAndExit(const char* why) {
  if (!DataLock.Enter(kStopLockWait)) LogError(std::string(why) + ": data lock not free, ending anyway");
  if (Config && Config->IniFile) Config->IniFile->UpdateFile();
  std::_Exit(0);
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

// The floating button window of a browser window, owned by the main window.
class TFloatFormWindow : public TFloatWindow {
 public:
  explicit TFloatFormWindow(std::unique_ptr<formfill::TFloatForm> form) : form_(std::move(form)) {}
  HWND Handle() const override { return form_->Handle(); }
  void UpdatePosition(bool force) override { form_->UpdatePosition(force); }
  void HideFloat() override { form_->HideFloat(); }

 private:
  std::unique_ptr<formfill::TFloatForm> form_;
};

std::unique_ptr<TFloatWindow> MakeFloatFormWindow(HWND browser) {
  std::unique_ptr<formfill::TFloatForm> form = formfill::CreateFloatForm(browser);
  if (!form) return nullptr;
  return std::make_unique<TFloatFormWindow>(std::move(form));
}

}  // namespace

std::u16string FloatKey(HWND window) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(window));
  return platform::AnsiToWide(text);
}

TMainForm::TMainForm(TDialogLauncher& launcher) : launcher_(launcher), gate_(launcher) {}

// Destruction: the refresh threads end, the watcher thread ends, the stop-watch thread
// ends, the floating windows go.
TMainForm::~TMainForm() {
  InstallAppServices(nullptr);
  if (handle_ != 0) formfill::InstallFloatFormOwner(nullptr);
  // The refresh threads ask this window whether the program is unlocked: none may be
  // running once it is gone.
  WaitToolbarMenuRefresh(kStopLockWait);
  WaitToolbarButtonRefresh(kStopLockWait);
  Watcher.reset();
  terminated_ = true;
  if (stopThread_.joinable()) stopThread_.join();
  for (const FloatEntry& entry : floatForms_) platform::ForgetObject(entry.Id);
  floatForms_.clear();
  floatButtons_.reset();
  ClearTrayMenu();
  TrayIcon.reset();
  if (handle_ != 0) DestroyWindow(handle_);
  TheMainForm = nullptr;
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
  floatButtons_ = std::make_unique<formfill::TFloatButtonTable>();
  if (!floatFactory_) floatFactory_ = MakeFloatFormWindow;
  StartCommand = kNoCommand;
  ScanTicks = 0;
  PositionBusy = false;
  LoadSaveSettings(true);
  Watcher = std::make_unique<formfill::TMainThread>(handle_);

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
    } else if (message == WM_COPYDATA || message == WM_ENDSESSION) {
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TMainForm::HandleCommand(WPARAM wParam, LPARAM lParam) {
  const UINT command = wParam & kCommandBits;
  const auto id = MessageObjectId(lParam);
  try {
    switch (command) {
      case 0: return CreateFloat(static_cast<HWND>(lParam));
      case 1: ReleaseFloat(static_cast<HWND>(lParam)); break;
      case 2:
        if (TFloatWindow* form = FindFloat(id)) form->UpdatePosition(true);
        break;
      case 3:
        if (TFloatWindow* form = FindFloat(id)) form->HideFloat();
        break;
      case 4:
        if (auto item = ReceiveMessageObject<TMessageItem>(lParam)) launcher_.Launch(TDialogKind::FormSubmitted, 0);
        break;
      case 5:
      case 6:
      case 7:
        // Modes 2, 1 and 0 of the password-field menu, for a watcher that still lives.
        if (platform::LookupObject<formfill::TIEWin>(id)) {
          launcher_.Launch(TDialogKind::PasswordFieldMenu, static_cast<long>(7 - command));
        }
        break;
      case 8: LoadSaveSettings(false); break;
      case 9: DispatchMenuMessage(lParam); break;
      case 10: ShowApplication(true); break;
      case 11: launcher_.Launch(TDialogKind::BookmarkBrowser, 0); break;
      case 12: launcher_.Launch(TDialogKind::HistoryBrowser, 0); break;
      case 13: launcher_.Launch(TDialogKind::PasswordGenerator, 0); break;
      case 14: launcher_.Launch(TDialogKind::Settings, static_cast<long>(lParam)); break;
      case kHideTrayCommand:
        if (TrayIcon) TrayIcon->SetVisible(false);
        break;
      case 16:
        if (auto form = ReceiveMessageObject<TCustomForm>(lParam)) form->Close();
        break;
      case 17: ShowHelpTopic(static_cast<long>(lParam)); break;
      case 18: launcher_.Launch(TDialogKind::AutoFillNotice, static_cast<long>(lParam)); break;
      case 19:
        if (auto item = ReceiveMessageObject<TNavigateItem>(lParam)) {
          if (item->IEWin != 0) launcher_.Launch(TDialogKind::FillPage, static_cast<long>(item->Action));
        }
        break;
      default: break;
    }
  } catch (const std::exception& e) {
    LogError("command " + std::to_string(command) + " failed: " + e.what());
  }
  return 0;
}

LRESULT TMainForm::CreateFloat(HWND browserWindow) {
  if (!floatFactory_) return 0;
  std::shared_ptr<TFloatWindow> form(floatFactory_(browserWindow));
  if (!form) return 0;
  const platform::ObjectId id = platform::RegisterObject(form);
  floatForms_.push_back({FloatKey(form->Handle()), form, id});
  if (floatButtons_) floatButtons_->Add(id, form->Handle());
  return static_cast<LRESULT>(id);
}

void TMainForm::ReleaseFloat(HWND floatWindow) {
  const std::u16string key = FloatKey(floatWindow);
  for (auto it = floatForms_.begin(); it != floatForms_.end(); ++it) {
    if (it->Key != key) continue;
    const FloatEntry entry = *it;
    floatForms_.erase(it);
    if (floatButtons_) floatButtons_->Remove(entry.Id);
    platform::ForgetObject(entry.Id);
    entry.Form->HideFloat();
    return;
  }
}

TFloatWindow* TMainForm::FindFloat(platform::ObjectId id) const {
  if (id == 0) return nullptr;
  for (const FloatEntry& entry : floatForms_) {
    if (entry.Id == id) return entry.Form.get();
  }
  return nullptr;
}

void TMainForm::UpdateFloatPositions() {
  if (PositionBusy) return;
  PositionBusy = true;
  for (const FloatEntry& entry : floatForms_) entry.Form->UpdatePosition(false);
  PositionBusy = false;
}

// Menu commands 1 to 48 run (48, Exit, is one the host toolbar offers); 0 and above 48
// do nothing. The message is freed on every path.
void TMainForm::DispatchMenuMessage(LPARAM argument) {
  const auto message = ReceiveMessageObject<TObjMenuMessage>(argument);
  if (!message || message->Command == 0 || message->Command > kCommandExit) return;
  MenuClick(message->Command, message->Param);
}

void TMainForm::MenuClick(int command, std::int32_t tag) {
  switch (command) {
    case kCommandHelp: ShellOpen(platform::WideToAnsi(Settings.HelpUrl)); break;
    case kCommandAbout: ShellOpen(platform::WideToAnsi(Settings.AboutUrl)); break;
    case kCommandLogoff:
      UnlockTime = 0;
      StartToolbarMenuRefresh();
      break;
    case kCommandShowTray: ShowTrayIcon(); break;
    case kCommandHideTray: HideTrayIcon(); break;
    case kCommandExit: ExitCommand(); break;
    default:
      // The dispatcher's windows go through the launcher.
      launcher_.Launch(TDialogKind::MenuCommand, command);
      (void)tag;
      break;
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
  launcher_.Launch(TDialogKind::Splash, 0);
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

bool TMainForm::EnsureFirstRun(HWND) {
  if (FirstRunCompleted) return true;
  launcher_.Launch(TDialogKind::FirstRunWizard, 0);
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
  if (InstallerWindowExists()) {
    SetTimer(handle_, kMainTimerId, kInstallerTimerInterval, nullptr);
    return;
  }
  UpdateFloatPositions();
  if (!FirstRunCompleted) {
    if (!WizardStarted) {
      WizardStarted = true;
      launcher_.Launch(TDialogKind::FirstRunWizard, 0);
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
      SendMessageTimeoutA(handle_, pellixMessageId_, kHideTrayCommand, 0, SMTO_NORMAL, kStopLockWait / 2, &result);
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

// The installer's window handle under HKCU "Software\Quindle\" INNOWIN; a handle that
// is no window any more is written back as 0.
bool TMainForm::InstallerWindowExists() {
  std::int32_t installer = 0;
  if (!RegReadInteger(HKEY_CURRENT_USER, "Software\\Quindle\\", "INNOWIN", installer) || installer == 0) return false;
  if (IsWindow(static_cast<HWND>(installer)) != FALSE) return true;
  RegWriteDWord(HKEY_CURRENT_USER, "Software\\Quindle\\", "INNOWIN", 0);
  return false;
}

bool TMainForm::IsUnlocked() { return IsUnlockedNow(); }

void TMainForm::FillOpenForm(HWND, platform::ObjectId) { launcher_.Launch(TDialogKind::MenuCommand, 4); }

void TMainForm::OpenStoredForm(HWND, std::int32_t, platform::ObjectId, int mode) {
  launcher_.Launch(TDialogKind::MenuCommand, mode);
}

void TMainForm::ShowSettings(HWND, int page) { launcher_.Launch(TDialogKind::Settings, page); }

void TMainForm::MenuCommand(HWND, int command, std::int32_t tag, platform::ObjectId) { MenuClick(command, tag); }

void TMainForm::ShowMessage(HWND browser, const std::u16string& text) {
  MessageBoxW(browser, text.c_str(), u"Pellix", MB_OK | MB_ICONINFORMATION);
}
