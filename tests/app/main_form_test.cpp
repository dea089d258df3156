#include "app/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "common/test_env.h"
#include "app/install_actions.h"
#include "app/recording_launcher.h"
#include "app/notice_windows.h"
#include "app/start_up.h"
#include "data/data_startup.h"
#include "formfill/after_navigate.h"
#include "formfill/float_buttons.h"
#include "formfill/float_form.h"
#include "formfill/pellix_obj.h"
#include "support/registry_access.h"
#include "data/menu_messages.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

// A floating window that notes what was asked of it.
class FakeFloat : public TFloatWindow {
 public:
  FakeFloat(HWND handle, std::vector<std::string>& log) : handle_(handle), log_(log) {}
  HWND Handle() const override { return handle_; }
  void UpdatePosition(bool force) override { log_.push_back(force ? "place forced" : "place"); }
  void HideFloat() override { log_.push_back("hide"); }

 private:
  HWND handle_;
  std::vector<std::string>& log_;
};

// A launcher whose close dialog agrees.
class AgreeingLauncher : public TRecordingLauncher {
 public:
  AgreeingLauncher() { CloseAgrees = true; }
};

using Opened = std::vector<std::string>;

// Settings in an ini file of the test's own, and the program-wide values as at start.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config = std::make_unique<TConfig>(kConfigIni, (dir_ / "pxcfg.ini").string());
    SecurityLevel = kSecurityNone;
    UnlockTime = 0;
    FirstRunCompleted = true;
    HasIdentities = true;
    TrayIconShown = true;
  }
  void TearDown() override {
    Config.reset();
    SecurityLevel = kSecurityExpiring;
    FirstRunCompleted = false;
    HasIdentities = false;
  }

  pellix_test::TempDir dir_;
  // Runs the modal loops of the notices (none is answered here: each ends cancelled).
  TApplication app_{nullptr};
};

template <typename T>
LPARAM HandOver(std::unique_ptr<T> object) {
  return HandOverMessageObject(std::move(object));
}

// Each command with what it does; objects travel as ids, and an id that names nothing
// (never given, already taken, or a floating window already released) does nothing.
TEST_F(MainFormTest, EveryCommandHasItsEffect) {
  struct Case {
    const char* name;
    std::function<LPARAM(TMainForm&)> argument;
    WPARAM command;
    Opened opened;
    std::vector<std::string> floatCalls;
    bool freed = false;
  };
  std::vector<std::string> floatLog;
  auto withFloat = [&floatLog](TMainForm& form) {
    form.SetFloatFactory([&floatLog](HWND browser) { return std::make_unique<FakeFloat>(browser + 1, floatLog); });
    return static_cast<LPARAM>(form.HandleCommand(0, 0x1000));
  };
  auto released = [&](TMainForm& form) {
    const LPARAM id = withFloat(form);
    form.HandleCommand(1, 0x1001);
    floatLog.clear();
    return id;
  };
  auto navigate = [](platform::ObjectId watcher) {
    return [watcher](TMainForm&) {
      auto item = std::make_unique<TNavigateItem>();
      item->IEWin = watcher;
      item->Action = 2;
      return HandOver(std::move(item));
    };
  };
  auto menu = [](std::uint8_t command) {
    return [command](TMainForm&) {
      auto message = std::make_unique<TObjMenuMessage>();
      message->Command = command;
      return HandOver(std::move(message));
    };
  };
  auto value = [](LPARAM v) { return [v](TMainForm&) { return v; }; };
  const Case cases[] = {
      {"show a floating window", withFloat, 2, {}, {"place forced"}},
      {"hide a floating window", withFloat, 3, {}, {"hide"}},
      {"release by handle", [&](TMainForm& f) { withFloat(f); return LPARAM{0x1001}; }, 1, {}, {"hide"}},
      {"release an unknown handle", [&](TMainForm& f) { withFloat(f); return LPARAM{0x2001}; }, 1, {}, {}},
      {"show a released window", released, 2, {}, {}},
      {"hide a released window", released, 3, {}, {}},
      {"show by an unknown id", value(12345), 2, {}, {}},
      {"submitted form", [](TMainForm&) { return HandOver(std::make_unique<TMessageItem>()); }, 4,
       {}, {}, true},
      {"submitted form, unknown id", value(777), 4, {}, {}},
      {"submitted form, id of another type", menu(11), 4, {}, {}},
      {"password menu of a watcher gone", value(4242), 5, {}, {}},
      {"menu command", menu(10), 9, {"bookmark browser"}, {}, true},
      {"menu command 49 does nothing", menu(49), 9, {}, {}, true},
      {"menu command 0 does nothing", menu(0), 9, {}, {}, true},
      {"splash", value(0), 10, {}, {}},
      {"bookmark browser", value(0), 11, {"bookmark browser"}, {}},
      {"history browser", value(0), 12, {"history browser"}, {}},
      {"password generator", value(0), 13, {"password generator"}, {}},
      {"settings page", value(3), 14, {"settings 3"}, {}},
      {"only the low seven bits", value(0), 0x80 | 12, {"history browser"}, {}},
      {"close a form that is not there", value(99), 16, {}, {}},
      {"auto-fill notice", value(0x5000), 18, {}, {}},
      {"fill a page of a watcher gone", navigate(7), 19, {}, {}, true},
      {"fill a page without a watcher", navigate(0), 19, {}, {}, true},
      {"unknown command", value(0), 20, {}, {}},
      {"highest command", value(0), 0x7F, {}, {}},
  };
  for (const Case& c : cases) {
    TRecordingLauncher launcher;
    TMainForm form(launcher);
    floatLog.clear();
    const LPARAM argument = c.argument(form);
    const std::size_t objectsBefore = platform::RegisteredObjectCount();
    form.HandleCommand(c.command, argument);
    EXPECT_EQ(launcher.Opened, c.opened) << c.name;
    EXPECT_EQ(floatLog, c.floatCalls) << c.name;
    if (c.freed) {
      EXPECT_LT(platform::RegisteredObjectCount(), objectsBefore) << c.name << ": not freed";
    }
  }
}

TEST_F(MainFormTest, FloatingWindowsAreFiledUnderTheirHandles) {
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  EXPECT_EQ(form.HandleCommand(0, 0x1000), 0) << "no floating window can be made yet";
  std::vector<std::string> log;
  form.SetFloatFactory([&log](HWND browser) { return std::make_unique<FakeFloat>(browser + 0xAB0000, log); });
  const auto id = static_cast<platform::ObjectId>(form.HandleCommand(0, 0x12));
  ASSERT_NE(id, 0u);
  EXPECT_EQ(form.FindFloat(id)->Handle(), 0xAB0012u);
  EXPECT_EQ(FloatKey(0xAB0012), u"00AB0012");
  form.UpdateFloatPositions();
  EXPECT_EQ(log, std::vector<std::string>{"place"});
  form.HandleCommand(1, 0xAB0012);
  EXPECT_EQ(form.FloatCount(), 0u);
  EXPECT_EQ(form.FindFloat(id), nullptr);
}

// The program's own floating button windows: made for a browser window, reachable by
// the watchers through their id until released.
TEST_F(MainFormTest, FloatingButtonWindowsAreMadeAndReleased) {
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "TestBrowserFrame";
  RegisterClassA(&windowClass);
  const HWND browser = CreateWindowExA(0, "TestBrowserFrame", "", WS_VISIBLE, 100, 100, 800, 600, 0, 0, 0, nullptr);
  const auto id = static_cast<platform::ObjectId>(form.SendToMainWindow(0, static_cast<LPARAM>(browser)));
  ASSERT_NE(id, 0u);
  const HWND floatWindow = formfill::FloatButtons()->Handle(id);
  ASSERT_NE(floatWindow, 0u);
  EXPECT_EQ(form.FindFloat(id)->Handle(), floatWindow);
  EXPECT_EQ(form.SendToMainWindow(0, 0x7FFF0001), 0) << "no floating window for what is no window";
  form.SendToMainWindow(1, static_cast<LPARAM>(floatWindow));
  EXPECT_EQ(form.FindFloat(id), nullptr);
  EXPECT_EQ(formfill::FloatButtons()->Handle(id), 0u);
  DestroyWindow(browser);
}

// Objects of this process cannot be handed in or taken away by another process: only
// the integer commands 10 to 15 pass without this process's mark.
TEST_F(MainFormTest, OnlyIntegerCommandsCrossProcesses) {
  Config->WriteString(u"SECURITY", platform::AnsiToWide(MakeSecurityRecord(u"master", kSecurityNone, 0)));
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  const LPARAM item = HandOver(std::make_unique<TMessageItem>());
  SendMessageA(form.Handle(), form.PellixMessageId(), 4, item);
  EXPECT_NE(platform::LookupObject<TMessageItem>(MessageObjectId(item)), nullptr)
      << "a command without the mark took an object";
  SendMessageA(form.Handle(), form.PellixMessageId(), kCmdShowHistory, 0);
  form.SendToMainWindow(kCmdFormSubmitted, item);
  EXPECT_EQ(launcher.Opened, Opened{"history browser"});
  EXPECT_EQ(platform::TakeObject<TMessageItem>(MessageObjectId(item)), nullptr);
}

TEST_F(MainFormTest, HideTrayCommandHidesTheIconAndTheMenuSwitchesIt) {
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  ASSERT_TRUE(form.TrayIcon->Visible());
  EXPECT_FALSE(form.TrayIcon->Icon().Empty()) << "the program's own tray picture";
  EXPECT_EQ(form.TrayMenuImages->Count(), 2);
  form.HandleCommand(kCmdHideTrayIcon, 0);
  EXPECT_FALSE(form.TrayIcon->Visible());
  form.MenuClick(46, 0);
  EXPECT_TRUE(form.TrayIcon->Visible());
  form.MenuClick(47, 0);
  EXPECT_FALSE(form.TrayIcon->Visible());
  EXPECT_FALSE(TrayIconShown);
  bool stored = true;
  Config->ReadBool(u"SHOW_TRAY", stored);
  EXPECT_FALSE(stored) << "the choice is written at once";
}

// A rescan request starts the count again, so the timer's own rescan comes only after
// 100 quiet ticks.
TEST_F(MainFormTest, ARescanRequestStartsTheTickCountAgain) {
  Config->WriteString(u"SECURITY", platform::AnsiToWide(MakeSecurityRecord(u"master", kSecurityNone, 0)));
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  for (int i = 0; i < 60; ++i) form.MainFormTimerTimer();
  EXPECT_EQ(form.ScanTicks, 60);
  ASSERT_TRUE(form.PostScanRequest());
  // Only the rescan request: on a loaded machine the form's own 100 ms timer may be
  // due as well, and its tick would count one.
  const UINT scanMessage = RegisterWindowMessageA(kScanMessage);
  MSG message;
  while (PeekMessageA(&message, form.Handle(), scanMessage, scanMessage, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(form.ScanTicks, 0);
  for (int i = 0; i < 100; ++i) form.MainFormTimerTimer();
  EXPECT_EQ(form.ScanTicks, 100);
  form.MainFormTimerTimer();
  EXPECT_EQ(form.ScanTicks, 0) << "the 101st tick asks for a scan and starts again";
}

// With the tray icon switched off, a plain start still shows it (and keeps it on); a
// start at log-on leaves it off.
TEST_F(MainFormTest, APlainStartShowsTheTrayIconAndALogOnStartDoesNot) {
  for (bool plain : {true, false}) {
    Config->WriteBool(u"SHOW_TRAY", false);
    PlainStart = plain;
    LogonStart = !plain;
    TRecordingLauncher launcher;
    TMainForm form(launcher);
    form.FormCreate();
    EXPECT_EQ(form.TrayIcon->Visible(), plain) << plain;
    bool stored = !plain;
    Config->ReadBool(u"SHOW_TRAY", stored);
    EXPECT_EQ(stored, plain) << plain;
    EXPECT_FALSE(LogonStart) << "read once";
  }
  PlainStart = false;
}

// The tray menu is built only when the data is ready and the gate passes; otherwise it
// stays empty (the wizard or the prompt is asked for instead).
TEST_F(MainFormTest, TrayMenuNeedsReadyDataAndAnOpenGate) {
  struct Case {
    const char* name;
    bool ready;
    std::int32_t level;
    bool items;
    Opened opened;
  };
  const Case cases[] = {
      {"ready and open", true, kSecurityNone, true, {}},
      {"not set up", false, kSecurityNone, false, {"first-run wizard"}},
      {"locked, prompt cancelled", true, kSecurityExpiring, false, {"vault password"}},
      {"record unreadable", true, kSecurityCorrupted, false, {}},
  };
  for (const Case& c : cases) {
    TRecordingLauncher launcher;
    TMainForm form(launcher);
    form.FormCreate();
    FirstRunCompleted = c.ready;
    SecurityLevel = c.level;
    form.TrayMenuPopup();
    EXPECT_EQ(form.TrayMenu->Items()->Count() > 0, c.items) << c.name;
    EXPECT_EQ(launcher.Opened, c.opened) << c.name;
  }
}

// A fresh install (no record yet) is not a damaged one: only a record that cannot be
// read blocks everything with level 99.
TEST_F(MainFormTest, NoSecurityRecordYetIsToldApartFromAnUnreadableOne) {
  struct Case {
    const char* name;
    std::u16string record;
    std::int32_t level;
    bool ready;
  };
  const std::u16string good = platform::AnsiToWide(MakeSecurityRecord(u"master", kSecurityOnce, 30));
  const Case cases[] = {
      {"no record yet", u"", kSecurityExpiring, false},
      {"damaged record", u"not a record", kSecurityCorrupted, false},
      {"good record", good, kSecurityOnce, true},
  };
  for (const Case& c : cases) {
    SecurityLevel = kSecurityExpiring;
    Config->WriteString(u"SECURITY", c.record);
    TRecordingLauncher launcher;
    TMainForm form(launcher);
    form.LoadSaveSettings(true);
    EXPECT_EQ(SecurityLevel, c.level) << c.name;
    EXPECT_EQ(FirstRunCompleted, c.ready) << c.name;
  }
}

// Settings reach the lower layers; a reload turns the start entry on and off, and the
// floating button follows the host's modes and the two button settings.
TEST_F(MainFormTest, SettingsReachTheLowerLayersAndAReloadFollowsThem) {
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  Config->WriteInteger(u"PWD_LEN", 14);
  Config->WriteInteger(u"HISTORY", 9);
  Config->WriteInteger(u"POS_R", 321);
  form.LoadSaveSettings(true);
  EXPECT_EQ(formfill::PageFillSettings().PwdLen, 14);
  EXPECT_EQ(formfill::FloatOffsets().Right, 321) << "new floating windows start there";
  EXPECT_EQ(MenuSettings.HistoryDays, 9);

  StandaloneMode = false;
  for (bool run : {true, false}) {
    Config->WriteBool(u"RUN_STARTUP", run);
    form.LoadSaveSettings(false);
    EXPECT_EQ(RegValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue), run);
  }

  // The plug-in object answers the host toolbar from the settings of the last load.
  Config->WriteString(u"ABOUT_URL", u"https://about.example/");
  Config->WriteString(u"CFG_ID", u"91");
  Config->WriteInteger(u"SHOW_PELLIX_BUTTON", 2);
  Config->WriteBool(u"PELLIX_ALL", false);
  form.LoadSaveSettings(false);
  const TPluginSettings plugin = PluginSettings();
  EXPECT_EQ(plugin.AboutUrl, u"https://about.example/");
  EXPECT_EQ(plugin.CfgId, u"91");
  EXPECT_EQ(plugin.ShowPellixButton, 2);
  EXPECT_FALSE(plugin.PellixAll);

  struct ButtonCase {
    bool standalone;
    std::int32_t showButton;
    bool hideFloating;
    bool enabled;
  };
  const ButtonCase cases[] = {
      {false, 1, true, false}, {false, 0, true, true}, {false, 1, false, true}, {true, 1, true, true}};
  for (const ButtonCase& c : cases) {
    StandaloneMode = c.standalone;
    Config->WriteInteger(u"SHOW_PELLIX_BUTTON", c.showButton);
    Config->WriteBool(u"HIDE_FLOATING", c.hideFloating);
    form.LoadSaveSettings(true);
    EXPECT_EQ(FloatButtonEnabled, c.enabled) << c.standalone << c.showButton << c.hideFloating;
  }
  StandaloneMode = false;
}

// The start command runs once when the gate passes, and is dropped (not retried)
// when it fails; before the first-run wizard only the wizard is launched.
TEST_F(MainFormTest, StartCommandRunsOnceBehindTheGate) {
  struct GateCase {
    bool ready;
    std::int32_t level;
    Opened opened;
    std::uint8_t commandLeft;
  };
  const GateCase cases[] = {
      {true, kSecurityNone, {"password generator"}, kNoCommand},
      {true, kSecurityAlways, {"vault password"}, kCmdShowPasswordGenerator},
      {false, kSecurityNone, {"first-run wizard"}, kCmdShowPasswordGenerator},
  };
  for (const auto& c : cases) {
    SecurityLevel = c.level;
    FirstRunCompleted = c.ready;
    TRecordingLauncher launcher;
    TMainForm form(launcher);
    InstallAppServices(&form);
    form.StartCommand = kCmdShowPasswordGenerator;
    form.MainFormTimerTimer();
    form.MainFormTimerTimer();
    EXPECT_EQ(launcher.Opened, c.opened) << c.level;
    EXPECT_EQ(form.StartCommand, c.commandLeft) << c.level;
  }
}

TEST_F(MainFormTest, HelpTopicGoesToAnOpenHelpWindow) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = kHelpFormClass;
  RegisterClassA(&windowClass);
  const HWND help = CreateWindowExA(0, kHelpFormClass, "", 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  form.HandleCommand(kCmdHelpTopic, 42);
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, help, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, RegisterWindowMessageA(kHelpTopicMessage));
  EXPECT_EQ(message.lParam, 42);
  DestroyWindow(help);
}

// The installer's window slows the timer while it lives; a handle that names no window
// any more is cleared.
TEST_F(MainFormTest, InstallerWindowIsCheckedAndAStaleHandleCleared) {
  TRecordingLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  RegWriteDWord(HKEY_CURRENT_USER, "Software\\Quindle\\", "INNOWIN", form.Handle());
  EXPECT_TRUE(form.InstallerWindowExists());
  form.StartCommand = 13;
  form.MainFormTimerTimer();
  EXPECT_FALSE(form.StartCommandDone) << "nothing else runs while the installer is there";
  RegWriteDWord(HKEY_CURRENT_USER, "Software\\Quindle\\", "INNOWIN", 0x7FFF0001);
  EXPECT_FALSE(form.InstallerWindowExists());
  DWORD value = 1;
  ASSERT_TRUE(RegReadDWord(HKEY_CURRENT_USER, "Software\\Quindle\\", "INNOWIN", value));
  EXPECT_EQ(value, 0u);
}

// Exit ends the process only once the data lock is free: a list save under way is
// finished, never cut.
const bool kExitRole = pellix_test::RegisterChildRole("exit-while-saving", [](const std::vector<std::string>& args) {
  Config = std::make_unique<TConfig>(kConfigIni, args.at(0) + "/pxcfg.ini");
  FirstRunCompleted = true;
  AgreeingLauncher launcher;
  TMainForm form(launcher);
  form.FormCreate();
  std::atomic<bool> holding{false};
  std::thread saver([&] {
    std::scoped_lock hold(DataLock);
    holding = true;
    Sleep(300);
    pellix_test::WriteBytes(args.at(0) + "/saved", "whole");
  });
  while (!holding) Sleep(5);
  // Exit as the host toolbar's menu sends it: a menu message with command 48.
  auto exit = std::make_unique<TObjMenuMessage>();
  exit->Command = kCommandExit;
  form.HandleCommand(kCmdMenuCommand, HandOver(std::move(exit)));
  return 3;  // not reached: Exit ends the process with 0
});

TEST_F(MainFormTest, ExitWaitsForTheDataLock) {
  EXPECT_EQ(pellix_test::RunChild("exit-while-saving", {dir_.path().string()}), 0);
  EXPECT_EQ(pellix_test::ReadBytes(dir_ / "saved"), "whole");
}

}  // namespace
