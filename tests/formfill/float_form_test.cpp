// The floating button over a window of the in-process browser: where it sits, what its
// zones answer, what a press and release does, how a drag is kept, and its pictures.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "browser_fixture.h"
#include "common/test_env.h"
#include "controls/unicode/uni_forms.h"
#include "data/app_services.h"
#include "data/config.h"
#include "data/data_startup.h"
#include "formfill/float_form.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/gdi/window_picture.h"
#include "platform/kernel/debug_output.h"
#include "platform/win/input.h"
#include "platform/win/input_driver.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/registry_access.h"
#include "tests/data/recording_app_services.h"
#include "tests/platform/gdi/picture_compare.h"

namespace formfill_test {
namespace {

using formfill::TFloatForm;
using formfill::TFloatButtonTable;
using formfill::TFloatOffsets;

// The main window's operations as the floating window calls them, one line each.
class RecordingOwner : public formfill::TFloatFormOwner {
 public:
  RecordingOwner() { formfill::InstallFloatFormOwner(this); }
  ~RecordingOwner() override { formfill::InstallFloatFormOwner(nullptr); }
  bool EnsureFirstRun(HWND) override {
    calls.push_back("EnsureFirstRun");
    return ready;
  }
  void FillOpenForm(HWND, platform::ObjectId watcher) override {
    calls.push_back("FillOpenForm " + std::to_string(watcher));
  }
  void OpenStoredForm(HWND, std::int32_t item, platform::ObjectId watcher, int mode) override {
    calls.push_back("OpenStoredForm " + std::to_string(item) + " " + std::to_string(watcher) + " " +
                    std::to_string(mode));
  }
  void ShowSettings(HWND, int page) override { calls.push_back("ShowSettings " + std::to_string(page)); }
  void MenuCommand(HWND, int command, std::int32_t tag, platform::ObjectId) override {
    calls.push_back("MenuCommand " + std::to_string(command) + " " + std::to_string(tag));
  }
  void ShowMessage(HWND, const std::u16string& text) override {
    calls.push_back("ShowMessage [" + platform::WideToUtf8(text) + "]");
  }
  std::vector<std::string> calls;
  bool ready = true;
};

LPARAM Point(int x, int y) { return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))); }

// Handles what was posted to this thread's windows.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class FloatFormTest : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    // A frozen clock, so that presses in turn never make a double click.
    platform::test_clock::Freeze(1000000, 45000.0);
    app_ = new TApplication(nullptr);
    StartUniApplication();
    StartUniMenus();
    FloatButtonEnabled.store(true);
    formfill::FloatOffsets() = TFloatOffsets{};
    MakeBrowser();
  }
  // A window of the in-process browser.
  virtual void MakeBrowser() {
    browser_ = Open();
    ASSERT_TRUE(browser_);
    SHANDLE_PTR frame = 0;
    ASSERT_EQ(browser_->get_HWND(&frame), S_OK);
    frame_ = static_cast<HWND>(frame);
  }
  void TearDown() override {
    form_.reset();
    Config.reset();
    FloatButtonEnabled.store(false);
    platform::menu_driver::Clear();
    FinishUniMenus();
    FinishUniApplication();
    delete app_;
    if (!browser_ && frame_) DestroyWindow(frame_);
    BrowserFixture::TearDown();
  }
  // A started floating window over the browser window.
  TFloatForm* StartedForm() {
    form_ = formfill::CreateFloatForm(frame_);
    if (form_) form_->Start();
    return form_.get();
  }
  // Moves the browser's frame window (on its own thread).
  void MoveBrowser(int x, int y, int width, int height) {
    platform::browser::InProcessBrowser::Instance().Windows()[0]->Run(
        [&] { MoveWindow(frame_, x, y, width, height, TRUE); }, true);
  }
  // Runs this thread's messages until the window has handled Last (Also sees each
  // message it handles). Input may be routed by the browser's thread, which hands it
  // over a moment later, so one pass over the queue may come too early.
  void RunUntil(UINT last, const std::function<void(const TMessage&)>& also = {}) {
    bool seen = false;
    TWndMethod original = form_->WindowProc;
    form_->WindowProc = [&](TMessage& message) {
      original(message);
      if (also) also(message);
      if (message.Msg == last) seen = true;
    };
    for (int i = 0; i < 2000 && !seen; ++i) {
      platform::input_driver::RunPending();
      if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    form_->WindowProc = original;
    EXPECT_TRUE(seen) << "message " << last << " never came";
  }
  // Moves the mouse to a client point of the window (Last: the message that ends it).
  void MoveOver(int x, int y, UINT last = WM_MOUSEMOVE) {
    platform::input_driver::MoveTo(platform::input_driver::ScreenPoint(form_->Handle(), x, y));
    RunUntil(last);
  }
  // Presses the left button at one client point and releases it at another. A press
  // outside the buttons starts the caption drag, which ends with the release.
  void PressAndRelease(POINT press, POINT release) {
    pressed_ = captured_ = false;
    platform::test_clock::Advance(1000);
    const bool onButton = formfill::FloatZoneAt(press, false) != 0;
    platform::input_driver::MoveTo(platform::input_driver::ScreenPoint(form_->Handle(), press.x, press.y));
    platform::input_driver::Press(VK_LBUTTON);
    platform::input_driver::MoveTo(platform::input_driver::ScreenPoint(form_->Handle(), release.x, release.y));
    platform::input_driver::Release(VK_LBUTTON);
    RunUntil(onButton ? WM_LBUTTONUP : WM_EXITSIZEMOVE, [&](const TMessage& message) {
      if (message.Msg != WM_LBUTTONDOWN) return;
      pressed_ = form_->Pressed;
      captured_ = GetCapture() == form_->Handle();
    });
  }

  // The first call of the security gate.
  RecordedCall FirstGateCall() {
    for (const RecordedCall& call : shell_.Calls()) {
      if (call.kind == RecordedCall::kCheckUnlock) return call;
    }
    ADD_FAILURE() << "the gate was not asked";
    return {};
  }
  // The offsets in the settings file as another reader sees them.
  static TFloatOffsets Stored(const std::string& ini) {
    TConfig reader(kConfigIni, ini);
    TFloatOffsets stored{-1, -1, -1, -1};
    reader.ReadInteger(u"POS_L", stored.Left);
    reader.ReadInteger(u"POS_T", stored.Top);
    reader.ReadInteger(u"POS_R", stored.Right);
    reader.ReadInteger(u"POS_B", stored.Bottom);
    return stored;
  }

  TApplication* app_ = nullptr;
  ComPtr<IWebBrowser2> browser_;
  HWND frame_ = 0;
  bool pressed_ = false;
  bool captured_ = false;
  std::unique_ptr<TFloatForm> form_;
  RecordingAppServices shell_;
  RecordingOwner owner_;
};

TEST_F(FloatFormTest, ItSitsWhereItsOffsetsPutItAndNeverFollowsAMinimisedBrowser) {
  struct Case {
    const char* what;
    TFloatOffsets offsets;
    RECT browser;
    POINT at;
  } cases[] = {
      {"new button: 200 from the right, 2 below the top", {}, {0, 0, 800, 600}, {600, 2}},
      {"left and top", {10, 5, 0, 0}, {100, 50, 900, 650}, {110, 55}},
      {"right and bottom win over left and top", {10, 5, 90, 40}, {100, 50, 900, 650}, {810, 610}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    formfill::FloatOffsets() = each.offsets;
    MoveBrowser(each.browser.left, each.browser.top, each.browser.right - each.browser.left,
                each.browser.bottom - each.browser.top);
    TFloatForm* form = StartedForm();
    ASSERT_TRUE(form);
    RECT placed;
    GetWindowRect(form->Handle(), &placed);
    EXPECT_EQ(placed.left, each.at.x);
    EXPECT_EQ(placed.top, each.at.y);
    EXPECT_EQ(placed.right - placed.left, form->ImageSize.cx);
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(GetWindow(form->Handle(), GW_OWNER), frame_);
    EXPECT_TRUE(GetWindowLongA(form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
  }
  // Minimised, the browser keeps its button where it was; restored, it follows again.
  TFloatForm* form = StartedForm();
  RECT before;
  GetWindowRect(form->Handle(), &before);
  ASSERT_EQ(platform::browser::Minimise(browser_.get()), S_OK);
  MoveBrowser(300, 300, 800, 600);
  form->UpdatePosition(true);
  RECT after;
  GetWindowRect(form->Handle(), &after);
  EXPECT_EQ(after.left, before.left);
  ASSERT_EQ(platform::browser::Restore(browser_.get()), S_OK);
  form->UpdatePosition(false);
  GetWindowRect(form->Handle(), &after);
  EXPECT_EQ(after.left, 300 + 800 - 90);
}

TEST_F(FloatFormTest, SwitchedOffButtonsStayHidden) {
  FloatButtonEnabled.store(false);
  TFloatForm* form = StartedForm();
  ASSERT_TRUE(form);
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  form->UpdatePosition(true);  // the main window's command 2
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  FloatButtonEnabled.store(true);
  form->UpdatePosition(true);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  form->HideFloat();  // command 3
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_FALSE(form->Shown);
}

// The mouse's tests stand the button over a browser frame of this thread: the input
// of a headless desktop is routed by whichever thread asks for messages first, and the
// in-process browser's thread would take part.
class FloatFormInputTest : public FloatFormTest {
 protected:
  void MakeBrowser() override {
    WNDCLASSW frameClass{};
    frameClass.lpfnWndProc = &DefWindowProcW;
    frameClass.lpszClassName = u"PellixTestFrame";
    RegisterClassW(&frameClass);
    frame_ = CreateWindowExW(0, u"PellixTestFrame", u"", WS_VISIBLE, 0, 0, 800, 600, 0, 0, 0, nullptr);
    ASSERT_TRUE(frame_);
  }
};

TEST_F(FloatFormInputTest, ZonesAnswerTheHitTestAndLightTheirImage) {
  struct Case {
    POINT client;
    int zone;
  } cases[] = {
      {{6, 5}, 0},   {{7, 0}, 1},    {{31, 27}, 1},  {{32, 10}, 3}, {{46, 10}, 3},
      {{47, 10}, 5}, {{74, 27}, 5},  {{75, 10}, 0},  {{10, 28}, 0}, {{-1, 3}, 0},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(std::to_string(each.client.x) + "," + std::to_string(each.client.y));
    EXPECT_EQ(formfill::FloatZoneAt(each.client, false), each.zone);
    EXPECT_EQ(formfill::FloatZoneAt(each.client, true), each.zone == 0 ? 0 : each.zone + 1);
  }
  RegWriteString(HKEY_CURRENT_USER, "SOFTWARE\\RD", "VERSION", "1");
  InitDebugLog();
  std::vector<std::string> log;
  platform::SetDebugOutputSink([&](std::string_view text) { log.emplace_back(text); });
  TFloatForm* form = StartedForm();
  RECT placed;
  GetWindowRect(form->Handle(), &placed);
  auto hit = [&](int x, int y) { return SendMessageW(form->Handle(), WM_NCHITTEST, 0, Point(placed.left + x, placed.top + y)); };
  EXPECT_EQ(hit(10, 10), HTCLIENT);
  EXPECT_EQ(form->ImageIndex, 1);
  EXPECT_EQ(hit(2, 10), HTCAPTION);  // the rest of the window drags it
  EXPECT_EQ(form->ImageIndex, 0);
  EXPECT_EQ(hit(2, 12), HTCAPTION);  // no change, no line
  // The mouse itself: over the settings button, then away from the window.
  MoveOver(60, 10);
  EXPECT_EQ(form->ImageIndex, 5);
  MoveOver(200, 200, WM_MOUSELEAVE);
  EXPECT_EQ(form->ImageIndex, 0);
  platform::SetDebugOutputSink(nullptr);
  RegDeleteKeyTree(HKEY_CURRENT_USER, "SOFTWARE\\RD");
  InitDebugLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_NE(log[0].find("Old: 0 New: 1"), std::string::npos);
  EXPECT_NE(log[1].find("Old: 1 New: 0"), std::string::npos);
  EXPECT_NE(log[2].find("Old: 0 New: 5"), std::string::npos);
  EXPECT_NE(log[3].find("Old: 5 New: 0"), std::string::npos);
}

TEST_F(FloatFormInputTest, AReleaseActsOnlyInTheZoneOfThePress) {
  struct Case {
    const char* what;
    POINT press, release;
    bool ready, unlocked;
    std::vector<std::string> calls;
  } cases[] = {
      {"fill", {10, 10}, {20, 20}, true, true, {"FillOpenForm 77"}},
      {"fill released over the arrow", {10, 10}, {40, 10}, true, true, {}},
      {"settings", {60, 10}, {70, 5}, true, true, {"EnsureFirstRun", "ShowSettings 0"}},
      {"settings, locked", {60, 10}, {70, 5}, true, false, {"EnsureFirstRun"}},
      {"settings before the first run", {60, 10}, {70, 5}, false, true, {"EnsureFirstRun"}},
      {"outside the zones", {2, 10}, {2, 10}, true, true, {}},
  };
  TFloatForm* form = StartedForm();
  form->WinObject = 77;
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    owner_.calls.clear();
    owner_.ready = each.ready;
    shell_.unlocked.store(each.unlocked);
    PressAndRelease(each.press, each.release);
    EXPECT_EQ(pressed_, formfill::FloatZoneAt(each.press, false) != 0);
    EXPECT_EQ(captured_, formfill::FloatZoneAt(each.press, false) != 0);
    EXPECT_FALSE(form->Pressed);
    EXPECT_EQ(GetCapture(), static_cast<HWND>(0));
    EXPECT_EQ(owner_.calls, each.calls);
  }
  // The settings button asks the gate for its browser, with a dialog allowed.
  RecordedCall gate = FirstGateCall();
  EXPECT_EQ(gate.owner, frame_);
  EXPECT_EQ(gate.flag, 0);
  EXPECT_TRUE(gate.mayAsk);
}

TEST_F(FloatFormInputTest, TheArrowOpensTheWholeMenuBelowItOrAnEmptyOneWhenLocked) {
  TrayIconShown.store(true);
  TFloatForm* form = StartedForm();
  form->WinObject = 77;
  struct Case {
    const char* what;
    bool unlocked;
    bool filled;
    std::vector<std::string> calls;
  } cases[] = {
      // With no data the sixth line is "Settings...".
      {"unlocked: Settings picked", true, true, {"EnsureFirstRun", "ShowSettings 0"}},
      {"the master password declined", false, false, {"EnsureFirstRun"}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    owner_.calls.clear();
    shell_.unlocked.store(each.unlocked);
    int shown = -1;
    platform::menu_driver::Call([&] { shown = form->PopMenu->Items()->Count(); });
    if (each.filled) {
      platform::menu_driver::Pick({5});
    } else {
      platform::menu_driver::Cancel();
    }
    PressAndRelease({40, 10}, {40, 10});
    platform::menu_driver::Clear();
    EXPECT_EQ(shown > 0, each.filled);
    EXPECT_EQ(owner_.calls, each.calls);
  }
  RecordedCall gate = FirstGateCall();
  EXPECT_EQ(gate.owner, frame_);
  EXPECT_EQ(gate.flag, 1);
  EXPECT_TRUE(gate.mayAsk);
}

TEST_F(FloatFormTest, MenuCommandsReachTheMainWindowWithTheBrowserAndTheWatcher) {
  struct Case {
    int command;
    std::string call;
  } cases[] = {
      {1, "OpenStoredForm 9 77 1"},  {2, "OpenStoredForm 9 77 2"},  {3, "OpenStoredForm 9 77 3"},
      {4, "FillOpenForm 77"},        {5, "ShowMessage [   Comming soon!      ]"},
      {22, "ShowMessage [   Comming soon!      ]"},                   {25, "ShowSettings 0"},
      {37, "ShowSettings 0"},        {7, "MenuCommand 7 9"},          {26, "MenuCommand 26 9"},
      {48, "MenuCommand 48 9"},
  };
  TFloatForm* form = StartedForm();
  form->WinObject = 77;
  for (const Case& each : cases) {
    SCOPED_TRACE(each.command);
    owner_.calls.clear();
    form->MenuClick(each.command, 9);
    EXPECT_EQ(owner_.calls, std::vector<std::string>{each.call});
  }
}

TEST_F(FloatFormInputTest, ADragKeepsTheNearerOffsetsAndWritesThemWhenItEnds) {
  pellix_test::TempDir dir;
  const std::string ini = (dir.path() / "pxcfg.ini").string();
  Config = std::make_unique<TConfig>(kConfigIni, ini);
  struct Case {
    const char* what;
    POINT to;  // the browser is at 0, 0, 800, 600
    TFloatOffsets offsets;
  } cases[] = {
      {"near the right edge: resizing keeps the distance from it", {700, 10}, {0, 10, 100, 0}},
      {"near the left and bottom edges", {30, 560}, {30, 0, 0, 40}},
      {"a tie keeps the left and top offsets", {400, 300}, {400, 300, 0, 0}},
  };
  TFloatForm* form = StartedForm();
  // What the settings hold at each move of a drag.
  std::vector<TFloatOffsets> duringDrag;
  TWndMethod original = form->WindowProc;
  form->WindowProc = [&](TMessage& message) {
    original(message);
    if (message.Msg == WM_MOVE) duringDrag.push_back(Stored(ini));
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    duringDrag.clear();
    TFloatOffsets before = Stored(ini);
    // Grabbed between the buttons' zones, at (2, 10) of the window.
    POINT from = platform::input_driver::ScreenPoint(form->Handle(), 2, 10);
    POINT to{each.to.x + 2, each.to.y + 10};
    platform::input_driver::Drag(from, to, 4, VK_LBUTTON);
    RunUntil(WM_EXITSIZEMOVE);
    RECT moved;
    GetWindowRect(form->Handle(), &moved);
    EXPECT_EQ(moved.left, each.to.x);
    EXPECT_EQ(moved.top, each.to.y);
    EXPECT_EQ(form->Offsets, each.offsets);
    EXPECT_EQ(formfill::FloatOffsets(), each.offsets);  // for buttons made later
    EXPECT_EQ(Stored(ini), each.offsets);
    // Nothing was written while the drag went on.
    EXPECT_FALSE(duringDrag.empty());
    for (const TFloatOffsets& seen : duringDrag) EXPECT_EQ(seen, before);
  }
  form->WindowProc = original;
  // A move without the button (the program placing it) is no drag.
  TFloatOffsets kept = form->Offsets;
  MoveWindow(form->Handle(), 5, 5, form->Width(), form->Height(), TRUE);
  EXPECT_EQ(form->Offsets, kept);
}

TEST_F(FloatFormTest, ItsPicturesMatchTheExpectedOnes) {
  TFloatForm* form = StartedForm();
  ASSERT_EQ(form->ImageSize.cx, 80);
  ASSERT_EQ(form->ImageSize.cy, 28);
  RECT placed;
  GetWindowRect(form->Handle(), &placed);
  struct Case {
    POINT over;
    bool pressed;
    const char* expected;
  } cases[] = {
      {{0, 0}, false, "../formfill/float_button.png"},
      {{10, 10}, false, "../formfill/float_button_fill_over.png"},
      {{60, 10}, true, "../formfill/float_button_settings_pressed.png"},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.expected);
    form->Pressed = each.pressed;
    SendMessageW(form->Handle(), WM_NCHITTEST, 0, Point(placed.left + each.over.x, placed.top + each.over.y));
    auto picture = platform::gdi::WindowPicture(form->Handle());
    ASSERT_TRUE(picture);
    EXPECT_EQ(pellix_test::CompareWithExpected(*picture, each.expected, 0), "");
  }
  // Leaving the window goes back to the plain image.
  SendMessageW(form->Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(form->ImageIndex, 0);
  EXPECT_FALSE(form->Pressed);
}

TEST_F(FloatFormTest, WatchersReachTheWindowOnlyThroughItsIdAndTheMainThread) {
  EXPECT_FALSE(formfill::CreateFloatForm(static_cast<HWND>(0x7FFF0000)));  // no such browser window
  TFloatButtonTable table;
  ASSERT_EQ(formfill::FloatButtons(), &table);
  form_ = formfill::CreateFloatForm(frame_);
  ASSERT_TRUE(form_);
  const platform::ObjectId id = 12;
  table.Add(id, form_->Handle());
  // From a watcher's thread: bound and started only when the main thread gets to it.
  std::thread watcher([&] {
    table.Bind(id, 41, true);
    table.SetClientID(id, u"client-7");
    EXPECT_EQ(table.Handle(id), form_->Handle());
    EXPECT_FALSE(table.IsVisible(id));
  });
  watcher.join();
  EXPECT_EQ(form_->WinObject, 0u);
  Pump();
  EXPECT_EQ(form_->WinObject, 41u);
  EXPECT_TRUE(form_->Started);
  EXPECT_TRUE(table.IsVisible(id));
  EXPECT_EQ(table.ClientID(id), u"client-7");
  // Bound without start (a tab in the background): it stays hidden.
  table.Bind(id, 43, false);
  form_->HideFloat();
  Pump();
  EXPECT_EQ(form_->WinObject, 43u);
  EXPECT_FALSE(table.IsVisible(id));
  // Once the main window has released it, its id answers nothing.
  table.Remove(id);
  EXPECT_EQ(table.Handle(id), static_cast<HWND>(0));
  EXPECT_FALSE(table.IsVisible(id));
  EXPECT_EQ(table.ClientID(id), u"");
  table.Bind(id, 42, true);
  Pump();
  EXPECT_EQ(form_->WinObject, 43u);
}

}  // namespace
}  // namespace formfill_test
