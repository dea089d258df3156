#include "platform/win/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"

namespace {

namespace drive = platform::input_driver;

// A message a test window saw.
struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Seen&) const = default;
};

// How a test window answers, set per window by the test.
struct Behaviour {
  std::function<LRESULT(POINT client)> hitTest;  // unset: the default answer
  LRESULT mouseActivate = 0;                       // 0: the default answer
  bool captureOnPress = false;
  DWORD trackLeave = 0;  // TME_* flags to track with on each mouse move
};

std::mutex g_lock;
std::vector<Seen> g_seen;
std::map<HWND, Behaviour> g_behaviour;

// The messages input makes (hit tests and cursor requests are asked too often to log).
bool Logged(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK) || message == WM_MOUSELEAVE ||
         message == WM_NCMOUSELEAVE || message == WM_MOUSEACTIVATE || message == WM_CONTEXTMENU ||
         message == WM_ENTERSIZEMOVE || message == WM_EXITSIZEMOVE || message == WM_MOVE || message == WM_COMMAND;
}

Behaviour BehaviourOf(HWND window) {
  std::lock_guard guard(g_lock);
  auto found = g_behaviour.find(window);
  return found == g_behaviour.end() ? Behaviour{} : found->second;
}

LRESULT InputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Logged(message)) {
    std::lock_guard guard(g_lock);
    g_seen.push_back(Seen{window, message, wParam, lParam});
  }
  Behaviour behaviour = BehaviourOf(window);
  switch (message) {
    case WM_NCHITTEST:
      if (behaviour.hitTest) {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(window, &point);
        return behaviour.hitTest(point);
      }
      break;
    case WM_MOUSEACTIVATE:
      if (behaviour.mouseActivate != 0) return behaviour.mouseActivate;
      break;
    case WM_LBUTTONDOWN:
      if (behaviour.captureOnPress) SetCapture(window);
      break;
    case WM_LBUTTONUP:
      if (behaviour.captureOnPress) ReleaseCapture();
      break;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
      // Each area's moves track that area.
      if (behaviour.trackLeave != 0 && ((behaviour.trackLeave & TME_NONCLIENT) != 0) == (message == WM_NCMOUSEMOVE)) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), behaviour.trackLeave, window, 0};
        TrackMouseEvent(&track);
      }
      break;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<Seen> Take() {
  std::lock_guard guard(g_lock);
  auto seen = std::move(g_seen);
  g_seen.clear();
  return seen;
}

std::vector<UINT> Messages(const std::vector<Seen>& seen, HWND window = 0) {
  std::vector<UINT> messages;
  for (const auto& s : seen) {
    if (window == 0 || s.window == window) messages.push_back(s.message);
  }
  return messages;
}

class InputTest : public testing::Test {
 public:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = InputProc;
    wc.lpszClassName = u"InputTest";
    wc.style = CS_GLOBALCLASS;
    RegisterClassW(&wc);
    wc.lpszClassName = u"InputTestDbl";
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    RegisterClassW(&wc);
  }
  void SetUp() override {
    platform::test_clock::Freeze(1000000, 45000.0);
    // A top-level window at (100, 100), 300 by 200, with two children side by side.
    top_ = Make(0, 100, 100, 300, 200);
    left_ = Make(top_, 10, 10, 100, 100);
    right_ = Make(top_, 150, 10, 100, 100);
    SetFocus(top_);
    Settle();
  }
  void TearDown() override {
    // Whatever a test left held goes up, so that the thread's key state is clean.
    drive::ReleaseAll();
    drive::RunPending();
    platform::test_clock::Release();
    std::lock_guard guard(g_lock);
    g_behaviour.clear();
  }
  static HWND Make(HWND parent, int x, int y, int width, int height, const char16_t* cls = u"InputTest",
                   DWORD style = WS_VISIBLE) {
    return CreateWindowExW(0, cls, u"", style | (parent ? WS_CHILD : WS_POPUP), x, y, width, height, parent, 0, 0,
                           nullptr);
  }
  static void Behave(HWND window, Behaviour behaviour) {
    std::lock_guard guard(g_lock);
    g_behaviour[window] = std::move(behaviour);
  }
  // Runs what is waiting and forgets what the windows saw.
  static void Settle() {
    drive::RunPending();
    Take();
  }
  static std::vector<Seen> Run() {
    drive::RunPending();
    return Take();
  }
  void Rebuild() {
    DestroyWindow(top_);
    SetUp();
  }
  // The button messages among what the windows saw.
  static std::vector<Seen> Buttons(const std::vector<Seen>& seen) {
    std::vector<Seen> buttons;
    for (const auto& s : seen) {
      if (s.message != WM_MOUSEMOVE && s.message != WM_NCMOUSEMOVE && s.message != WM_MOUSEACTIVATE) buttons.push_back(s);
    }
    return buttons;
  }
  HWND top_ = 0, left_ = 0, right_ = 0;
};

// Where a click lands: the deepest visible, enabled window under the point, unless
// the capture or a hit-test answer says otherwise.
TEST_F(InputTest, ClicksReachTheWindowThatHitTestingFinds) {
  struct Case {
    const char* name;
    std::function<void(InputTest&)> setUp;
    POINT client;  // in the top-level window
    int target;    // 0 top, 1 left, 2 right, -1 none
    std::vector<UINT> messages;
  };
  const std::vector<UINT> kClient{WM_LBUTTONDOWN, WM_LBUTTONUP};
  const std::vector<UINT> kNonClient{WM_NCLBUTTONDOWN, WM_NCLBUTTONUP};
  const std::vector<Case> cases = {
      {"child", [](InputTest&) {}, {20, 30}, 1, kClient},
      {"parent between children", [](InputTest&) {}, {130, 30}, 0, kClient},
      {"disabled child leaves it to the parent", [](InputTest& t) { EnableWindow(t.left_, FALSE); }, {20, 30}, 0, kClient},
      {"hidden child", [](InputTest& t) { ShowWindow(t.left_, SW_HIDE); }, {20, 30}, 0, kClient},
      {"captured elsewhere", [](InputTest& t) { SetCapture(t.right_); }, {20, 30}, 2, kClient},
      {"transparent child", [](InputTest& t) { Behave(t.left_, {[](POINT) { return HTTRANSPARENT; }}); }, {20, 30}, 0, kClient},
      {"non-client answer", [](InputTest& t) { Behave(t.left_, {[](POINT) { return HTBORDER; }}); }, {20, 30}, 1, kNonClient},
      {"error answer", [](InputTest& t) { Behave(t.left_, {[](POINT) { return HTERROR; }}); }, {20, 30}, -1, {}},
      {"disabled top-level window", [](InputTest& t) { EnableWindow(t.top_, FALSE); }, {20, 30}, -1, {}},
      {"outside every window", [](InputTest&) {}, {-50, -50}, -1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rebuild();
    c.setUp(*this);
    Settle();
    POINT screen = drive::ScreenPoint(top_, c.client.x, c.client.y);
    drive::Click(screen, VK_LBUTTON);
    auto buttons = Buttons(Run());
    HWND windows[] = {top_, left_, right_};
    EXPECT_EQ(Messages(buttons), c.messages);
    if (c.target >= 0) {
      for (const auto& s : buttons) EXPECT_EQ(s.window, windows[c.target]);
      if (!buttons.empty() && c.messages == kClient) {
        POINT local = screen;
        ScreenToClient(windows[c.target], &local);
        EXPECT_EQ(buttons[0].lParam, MAKELPARAM(local.x, local.y));
        EXPECT_EQ(buttons[0].wParam, MK_LBUTTON);
        EXPECT_EQ(buttons[1].wParam, 0u);
      }
      if (!buttons.empty() && c.messages == kNonClient) {
        EXPECT_EQ(buttons[0].wParam, static_cast<WPARAM>(HTBORDER));
        EXPECT_EQ(buttons[0].lParam, MAKELPARAM(screen.x, screen.y));
      }
    }
    ReleaseCapture();
  }
}

TEST_F(InputTest, WindowFromPointAndChildWindowFromPointPassOverWhatTheyShould) {
  ShowWindow(right_, SW_HIDE);
  EnableWindow(left_, FALSE);
  EXPECT_EQ(WindowFromPoint(drive::ScreenPoint(top_, 20, 30)), top_);   // disabled child
  EXPECT_EQ(WindowFromPoint(drive::ScreenPoint(top_, 160, 30)), top_);  // hidden child
  EXPECT_EQ(WindowFromPoint(POINT{5, 5}), 0u);
  EXPECT_EQ(ChildWindowFromPoint(top_, POINT{20, 30}), left_);
  EXPECT_EQ(ChildWindowFromPoint(top_, POINT{160, 30}), right_);
  EXPECT_EQ(ChildWindowFromPointEx(top_, POINT{20, 30}, CWP_SKIPDISABLED), top_);
  EXPECT_EQ(ChildWindowFromPointEx(top_, POINT{160, 30}, CWP_SKIPINVISIBLE), top_);
  EXPECT_EQ(ChildWindowFromPointEx(top_, POINT{160, 30}, CWP_SKIPDISABLED), right_);
  EXPECT_EQ(ChildWindowFromPoint(top_, POINT{300, 30}), 0u);  // outside the parent

  // A layered, transparent window floating above lets the point through; layered
  // alone does not.
  const POINT over = drive::ScreenPoint(top_, 60, 30);
  HWND floating = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST, u"InputTest", u"",
                                  WS_POPUP | WS_VISIBLE, over.x - 10, over.y - 10, 40, 40, 0, 0, 0, nullptr);
  EXPECT_EQ(WindowFromPoint(over), top_);
  SetWindowLongPtrW(floating, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOPMOST);
  EXPECT_EQ(WindowFromPoint(over), floating);
  DestroyWindow(floating);
}

TEST_F(InputTest, DoubleClicksNeedTheClassStyleAndComeSoonAndNearEnough) {
  struct Case {
    const char* name;
    const char16_t* cls;
    ULONGLONG pause;  // between the two clicks
    int shift;        // pixels the second click lands away
    std::vector<UINT> messages;
  };
  const std::vector<UINT> kDouble{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
  const std::vector<UINT> kTwo{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP};
  const std::vector<Case> cases = {
      {"double click", u"InputTestDbl", 100, 0, kDouble},
      {"within the time and the box", u"InputTestDbl", 500, 2, kDouble},
      {"class without double clicks", u"InputTest", 100, 0, kTwo},
      {"too slow", u"InputTestDbl", 501, 0, kTwo},
      {"too far", u"InputTestDbl", 100, 3, kTwo},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND window = Make(0, 500, 500, 50, 50, c.cls);
    SetForegroundWindow(window);
    Settle();
    POINT at = drive::ScreenPoint(window, 10, 10);
    drive::Click(at, VK_LBUTTON);
    auto seen = Run();
    platform::test_clock::Advance(c.pause);
    drive::Click(POINT{at.x + c.shift, at.y}, VK_LBUTTON);
    auto second = Run();
    seen.insert(seen.end(), second.begin(), second.end());
    EXPECT_EQ(Messages(Buttons(seen), window), c.messages);
    DestroyWindow(window);
  }
}

TEST_F(InputTest, ThirdPressStartsANewPairAndNonClientDoubleClicksNeedNoClassStyle) {
  Behave(left_, {[](POINT point) { return point.y < 10 ? HTBORDER : HTCLIENT; }});
  HWND dbl = Make(top_, 150, 150, 50, 40, u"InputTestDbl");
  Settle();
  drive::DoubleClick(drive::ScreenPoint(dbl, 5, 5), VK_LBUTTON);
  drive::Click(drive::ScreenPoint(dbl, 5, 5), VK_LBUTTON);
  EXPECT_EQ(Messages(Buttons(Run())), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                                                         WM_LBUTTONDOWN, WM_LBUTTONUP}));
  drive::DoubleClick(drive::ScreenPoint(left_, 5, 5), VK_LBUTTON);
  EXPECT_EQ(Messages(Buttons(Run())),
            (std::vector<UINT>{WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCLBUTTONDBLCLK, WM_NCLBUTTONUP}));
}

TEST_F(InputTest, ThePressThatTakesTheCaptureGetsTheMovesThatFollowIt) {
  Behave(left_, {nullptr, 0, true});
  // All steps are queued before any is handled: routing one at a time still sends
  // the moves over the right child to the left one, which took the capture.
  drive::Drag(drive::ScreenPoint(left_, 50, 50), drive::ScreenPoint(right_, 50, 50), 2, VK_LBUTTON);
  drive::MoveTo(drive::ScreenPoint(right_, 60, 60));
  auto seen = Run();
  ASSERT_EQ(seen.size(), 6u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(seen[i].window, left_);
  EXPECT_EQ(seen[5].window, right_);
  EXPECT_EQ(Messages(seen), (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE,
                                               WM_LBUTTONUP, WM_MOUSEMOVE}));
  // Right child's client (50, 50) seen from the left child: 140 further right.
  EXPECT_EQ(seen[3].lParam, MAKELPARAM(190, 50));
  EXPECT_EQ(seen[3].wParam, MK_LBUTTON);
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(InputTest, LeaveComesOnceWhenTheMouseLeavesATrackedArea) {
  Behave(left_, {nullptr, 0, false, TME_LEAVE});
  Behave(right_, {[](POINT point) { return point.y < 10 ? HTBORDER : HTCLIENT; }, 0, false, TME_LEAVE | TME_NONCLIENT});
  struct Step {
    HWND window;
    POINT client;
  };
  // Into the left child, about in it, over the parent, into the right child's border,
  // its client area (non-client tracking leaves), and off every window.
  std::vector<Step> steps = {{left_, {5, 50}}, {left_, {60, 50}}, {top_, {130, 50}}, {right_, {5, 5}},
                             {right_, {5, 50}}, {0, {5, 5}}};
  for (const auto& step : steps) drive::MoveTo(step.window ? drive::ScreenPoint(step.window, step.client.x, step.client.y) : step.client);
  auto seen = Run();
  std::vector<std::pair<HWND, UINT>> got;
  for (const auto& s : seen) got.push_back({s.window, s.message});
  EXPECT_EQ(got, (std::vector<std::pair<HWND, UINT>>{{left_, WM_MOUSEMOVE},
                                                     {left_, WM_MOUSEMOVE},
                                                     {top_, WM_MOUSEMOVE},
                                                     {left_, WM_MOUSELEAVE},
                                                     {right_, WM_NCMOUSEMOVE},
                                                     {right_, WM_MOUSEMOVE},
                                                     {right_, WM_NCMOUSELEAVE}}));
}

TEST_F(InputTest, TrackMouseEventAnswersQueriesCancelsAndLeavesAtOnceWhenNotOver) {
  drive::MoveTo(drive::ScreenPoint(left_, 5, 5));
  Settle();
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, left_, 0};
  ASSERT_TRUE(TrackMouseEvent(&track));
  TRACKMOUSEEVENT query{sizeof(TRACKMOUSEEVENT), TME_QUERY, 0, 0};
  ASSERT_TRUE(TrackMouseEvent(&query));
  EXPECT_EQ(query.dwFlags, TME_LEAVE);
  EXPECT_EQ(query.hwndTrack, left_);
  track.dwFlags = TME_LEAVE | TME_CANCEL;
  ASSERT_TRUE(TrackMouseEvent(&track));
  drive::MoveTo(drive::ScreenPoint(right_, 5, 5));
  EXPECT_EQ(Messages(Run(), left_), std::vector<UINT>{});
  // Tracking a window the mouse is not over leaves at once.
  track.dwFlags = TME_LEAVE;
  ASSERT_TRUE(TrackMouseEvent(&track));
  EXPECT_EQ(Messages(Run(), left_), std::vector<UINT>{WM_MOUSELEAVE});
  struct Bad {
    const char* name;
    TRACKMOUSEEVENT track;
    DWORD error;
  };
  for (const auto& bad : {Bad{"size", {0, TME_LEAVE, left_, 0}, ERROR_INVALID_PARAMETER},
                          Bad{"hover", {sizeof(TRACKMOUSEEVENT), TME_HOVER, left_, HOVER_DEFAULT}, ERROR_NOT_SUPPORTED},
                          Bad{"window", {sizeof(TRACKMOUSEEVENT), TME_LEAVE, 0x7FFF0, 0}, ERROR_INVALID_WINDOW_HANDLE}}) {
    SCOPED_TRACE(bad.name);
    TRACKMOUSEEVENT copy = bad.track;
    SetLastError(0);
    EXPECT_FALSE(TrackMouseEvent(&copy));
    EXPECT_EQ(GetLastError(), bad.error);
  }
}

TEST_F(InputTest, APressActivatesAnInactiveWindowAsMouseActivateAnswers) {
  struct Case {
    const char* name;
    LRESULT answer;
    bool activated;
    bool pressSeen;
  };
  for (const auto& c : {Case{"activate", MA_ACTIVATE, true, true}, Case{"activate and eat", MA_ACTIVATEANDEAT, true, false},
                        Case{"no activate", MA_NOACTIVATE, false, true},
                        Case{"no activate and eat", MA_NOACTIVATEANDEAT, false, false}}) {
    SCOPED_TRACE(c.name);
    HWND other = Make(0, 600, 100, 100, 100);
    SetActiveWindow(top_);
    Behave(other, {nullptr, c.answer});
    Settle();
    drive::Click(drive::ScreenPoint(other, 10, 10), VK_LBUTTON);
    auto seen = Run();
    auto messages = Messages(seen, other);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_MOUSEACTIVATE), 1);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_LBUTTONDOWN), c.pressSeen ? 1 : 0);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_LBUTTONUP), 1);
    EXPECT_EQ(GetActiveWindow() == other, c.activated);
    EXPECT_EQ(GetForegroundWindow() == other, c.activated);
    DestroyWindow(other);
  }
}

// A window whose top 20 rows are its caption.
LRESULT CaptionHit(POINT client) { return client.y < 20 ? HTCAPTION : HTCLIENT; }

TEST_F(InputTest, DraggingTheCaptionMovesTheWindowInAModalLoop) {
  Behave(top_, {CaptionHit});
  drive::Drag(drive::ScreenPoint(top_, 150, 5), drive::ScreenPoint(top_, 200, 35), 5, VK_LBUTTON);
  auto seen = Run();
  RECT rect;
  GetWindowRect(top_, &rect);
  EXPECT_EQ(rect.left, 150);
  EXPECT_EQ(rect.top, 130);
  EXPECT_EQ(rect.right - rect.left, 300);
  auto messages = Messages(seen, top_);
  ASSERT_GE(messages.size(), 4u);
  EXPECT_EQ(messages[0], WM_NCMOUSEMOVE);
  EXPECT_EQ(messages[1], WM_NCLBUTTONDOWN);
  EXPECT_EQ(messages[2], WM_ENTERSIZEMOVE);
  EXPECT_EQ(messages.back(), WM_EXITSIZEMOVE);
  // Each of the five moves and the release place the window; the moves never reach
  // the window's own handling, and the button's release ends the loop.
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_MOVE), 5);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_LBUTTONUP), 0);
  EXPECT_EQ(GetCapture(), 0u);
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
}

TEST_F(InputTest, TheMoveLoopEndsAsTheUserEndsIt) {
  struct Case {
    const char* name;
    std::function<void(HWND)> act;
    POINT expected;  // where the window ends
  };
  const std::vector<Case> cases = {
      {"escape puts the window back",
       [](HWND w) {
         drive::MoveTo(drive::ScreenPoint(w, 150, 5));
         drive::Press(VK_LBUTTON);
         drive::MoveTo(drive::ScreenPoint(w, 180, 25));
         drive::Key(VK_ESCAPE);
       },
       {100, 100}},
      {"enter keeps the place",
       [](HWND w) {
         drive::MoveTo(drive::ScreenPoint(w, 150, 5));
         drive::Press(VK_LBUTTON);
         drive::MoveTo(drive::ScreenPoint(w, 180, 25));
         drive::Key(VK_RETURN);
       },
       {130, 120}},
      {"the move command follows the mouse until a click",
       [](HWND w) {
         drive::MoveTo(drive::ScreenPoint(w, 50, 50));
         drive::RunPending();
         PostMessageW(w, WM_SYSCOMMAND, SC_MOVE, 0);
         drive::MoveTo(drive::ScreenPoint(w, 60, 70));
         drive::Click(drive::ScreenPoint(w, 70, 90), VK_LBUTTON);
       },
       {120, 140}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rebuild();
    Behave(top_, {CaptionHit});
    c.act(top_);
    auto messages = Messages(Run(), top_);
    drive::Release(VK_LBUTTON);
    RECT rect;
    GetWindowRect(top_, &rect);
    EXPECT_EQ(rect.left, c.expected.x);
    EXPECT_EQ(rect.top, c.expected.y);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_EXITSIZEMOVE), 1);
    EXPECT_EQ(GetCapture(), 0u);
  }
}

// WM_MOVING may change where the window goes.
LRESULT SnapProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCHITTEST) return HTCAPTION;
  if (message == WM_MOVING) {
    auto* rect = reinterpret_cast<RECT*>(lParam);
    int width = rect->right - rect->left;
    rect->left = rect->left / 50 * 50;
    rect->right = rect->left + width;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(InputTest, MovingMayAdjustThePlace) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = SnapProc;
  wc.lpszClassName = u"InputTestSnap";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, u"InputTestSnap", u"", WS_POPUP | WS_VISIBLE, 400, 400, 80, 80, 0, 0, 0, nullptr);
  drive::Drag(drive::ScreenPoint(window, 10, 10), drive::ScreenPoint(window, 83, 10), 1, VK_LBUTTON);
  Run();
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 450);
  EXPECT_EQ(rect.right, 530);
  DestroyWindow(window);
}

TEST_F(InputTest, TypingGoesThroughTheFocusWindowAndTranslateMessage) {
  SetFocus(left_);
  Settle();
  const std::u16string text = u"Hi, there!\n\u0416\u00e9";
  drive::Type(text);
  auto seen = Run();
  std::u16string typed;
  for (const auto& s : seen) {
    EXPECT_EQ(s.window, left_);
    if (s.message == WM_CHAR) typed += static_cast<char16_t>(s.wParam);
  }
  EXPECT_EQ(typed, u"Hi, there!\r\u0416\u00e9");
  // "H": Shift down, H down, its character, H up, Shift up; key data as the platform
  // packs it (repeat 1, scan code, previous state, transition).
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(seen[0], (Seen{left_, WM_KEYDOWN, static_cast<WPARAM>(VK_SHIFT), 0x002A0001}));
  EXPECT_EQ(seen[1], (Seen{left_, WM_KEYDOWN, 'H', 0x00230001}));
  EXPECT_EQ(seen[2], (Seen{left_, WM_CHAR, u'H', 0x00230001}));
  EXPECT_EQ(seen[3].message, WM_KEYUP);
  EXPECT_EQ(static_cast<DWORD>(seen[3].lParam), 0xC0230001u);
  EXPECT_EQ(seen[4].wParam, static_cast<WPARAM>(VK_SHIFT));
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(InputTest, KeyChordsGiveKeysAndSystemKeysAsThePlatformDoes) {
  struct Case {
    const char* name;
    std::vector<int> chord;
    bool focus;
    std::vector<UINT> messages;
  };
  const std::vector<Case> cases = {
      {"ctrl and a letter types nothing", {VK_CONTROL, 'C'}, true, {WM_KEYDOWN, WM_KEYDOWN, WM_KEYUP, WM_KEYUP}},
      {"alt and a letter",
       {VK_MENU, 'F'},
       true,
       {WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP, WM_SYSKEYUP}},
      {"without a focus keys come to the active window as system keys",
       {'Q'},
       false,
       {WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP}},
      {"shift and a digit", {VK_SHIFT, '1'}, true, {WM_KEYDOWN, WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYUP}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetActiveWindow(top_);
    SetFocus(c.focus ? right_ : 0);
    Settle();
    drive::Chord(c.chord);
    auto seen = Run();
    EXPECT_EQ(Messages(seen), c.messages);
    for (const auto& s : seen) EXPECT_EQ(s.window, c.focus ? right_ : top_);
  }
}

TEST_F(InputTest, TheWheelGoesToTheFocusWindowAndUpToItsParents) {
  SetFocus(left_);
  drive::MoveTo(drive::ScreenPoint(right_, 5, 5));
  Settle();
  drive::KeyDown(VK_CONTROL);
  drive::Wheel(-2);
  drive::KeyUp(VK_CONTROL);
  auto seen = Run();
  std::vector<Seen> wheel;
  for (const auto& s : seen) {
    if (s.message == WM_MOUSEWHEEL) wheel.push_back(s);
  }
  // The child leaves it to its default handling, which hands it to the parent.
  ASSERT_EQ(wheel.size(), 2u);
  EXPECT_EQ(wheel[0].window, left_);
  EXPECT_EQ(wheel[1].window, top_);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[0].wParam), -240);
  EXPECT_EQ(GET_KEYSTATE_WPARAM(wheel[0].wParam), MK_CONTROL);
  POINT screen = drive::ScreenPoint(right_, 5, 5);
  EXPECT_EQ(wheel[0].lParam, MAKELPARAM(screen.x, screen.y));
}

LRESULT MenuOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CONTEXTMENU || message == WM_COMMAND) {
    std::lock_guard guard(g_lock);
    g_seen.push_back(Seen{window, message, wParam, lParam});
  }
  if (message == WM_CONTEXTMENU) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 41, u"First");
    AppendMenuW(menu, MF_STRING, 42, u"Second");
    TrackPopupMenu(menu, 0, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), 0, window, nullptr);
    DestroyMenu(menu);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(InputTest, ARightClickOpensTheContextMenuOfTheNearestWindowThatHasOne) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MenuOwnerProc;
  wc.lpszClassName = u"InputTestMenu";
  RegisterClassW(&wc);
  HWND owner = CreateWindowExW(0, u"InputTestMenu", u"", WS_POPUP | WS_VISIBLE, 700, 300, 200, 200, 0, 0, 0, nullptr);
  HWND child = Make(owner, 20, 20, 50, 50);
  SetForegroundWindow(owner);
  Settle();
  drive::RightClickAndPick(child, 5, 6, {1});
  auto seen = Run();
  std::vector<Seen> menu;
  for (const auto& s : seen) {
    if (s.message == WM_CONTEXTMENU || s.message == WM_COMMAND) menu.push_back(s);
  }
  POINT screen = drive::ScreenPoint(child, 5, 6);
  ASSERT_EQ(menu.size(), 3u);
  EXPECT_EQ(menu[0], (Seen{child, WM_CONTEXTMENU, child, MAKELPARAM(screen.x, screen.y)}));
  EXPECT_EQ(menu[1], (Seen{owner, WM_CONTEXTMENU, child, MAKELPARAM(screen.x, screen.y)}));
  EXPECT_EQ(menu[2].message, WM_COMMAND);
  EXPECT_EQ(LOWORD(static_cast<DWORD>(menu[2].wParam)), 42);
  DestroyWindow(owner);
}

TEST_F(InputTest, DeviceStateChangesAtOnceAndTheThreadsStateAsMessagesAreTaken) {
  drive::KeyDown(VK_SHIFT);
  EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);  // looked at, not taken
  ASSERT_TRUE(PeekMessageW(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_LT(GetKeyState(VK_SHIFT), 0);
  drive::MoveTo(POINT{-40, 5000});
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 0);  // the cursor stays on the screen
  EXPECT_EQ(cursor.y, platform::win::kScreenHeight - 1);
}

TEST_F(InputTest, InputForAWindowOfAnotherThreadReachesThatThread) {
  std::promise<std::pair<HWND, DWORD>> made;
  std::atomic<bool> clicked{false};
  std::atomic<DWORD> askedOn{0};
  std::thread other([&] {
    HWND window = Make(0, 900, 700, 100, 100);
    Behave(window, {[&askedOn](POINT) {
      askedOn = platform::win::ThisThreadId();
      return HTCLIENT;
    }});
    made.set_value({window, platform::win::ThisThreadId()});
    MSG msg;
    while (GetMessageW(&msg, 0, 0, 0) > 0) {
      if (msg.message == WM_LBUTTONUP) {
        clicked = true;
        PostQuitMessage(0);
      }
      DispatchMessageW(&msg);
    }
    DestroyWindow(window);
  });
  auto [window, otherThread] = made.get_future().get();
  drive::Click(drive::ScreenPoint(window, 10, 10), VK_LBUTTON);
  // This thread may be the first to look at the events: it hands them to the
  // window's own thread, which asks the window where the point lies.
  drive::RunPending();
  other.join();
  EXPECT_TRUE(clicked);
  EXPECT_EQ(askedOn, otherThread);
  auto messages = Messages(Take(), window);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_LBUTTONDOWN), 1);
}

TEST_F(InputTest, InputForAWindowThatWentBeforeItsThreadTookItHoldsNothingUp) {
  std::promise<HWND> made;
  std::thread other([&] {
    HWND window = Make(0, 900, 700, 100, 100);
    SetForegroundWindow(window);
    made.set_value(window);
    // Looks at its first input without taking it, then ends.
    MSG msg;
    while (!PeekMessageW(&msg, window, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  HWND window = made.get_future().get();
  drive::Click(drive::ScreenPoint(window, 10, 10), VK_LBUTTON);
  other.join();
  drive::Click(drive::ScreenPoint(left_, 5, 5), VK_LBUTTON);
  auto messages = Messages(Run(), left_);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_LBUTTONUP), 1);
}

TEST_F(InputTest, AHitTestThatRaisesLeavesTheInputGoing) {
  Behave(left_, {[](POINT) -> LRESULT { throw std::runtime_error("hit test"); }});
  drive::MoveTo(drive::ScreenPoint(left_, 5, 5));
  EXPECT_THROW(drive::RunPending(), std::runtime_error);
  Behave(left_, {});
  drive::Click(drive::ScreenPoint(left_, 5, 5), VK_LBUTTON);
  auto messages = Messages(Run(), left_);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_LBUTTONUP), 1);
}

}  // namespace
