#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/base/errors.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"

namespace {

std::vector<std::string> g_log;

LRESULT LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY || message == WM_NCDESTROY || message == WM_CREATE ||
      message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    char text[64];
    GetWindowTextA(window, text, sizeof text);
    const char* name = message == WM_DESTROY     ? "destroy"
                       : message == WM_NCDESTROY ? "ncdestroy"
                       : message == WM_CREATE    ? "create"
                       : message == WM_SETFOCUS  ? "setfocus"
                                                 : "killfocus";
    g_log.push_back(std::string(name) + ":" + text);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT AnsiProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    WNDCLASSW wide{};
    wide.lpfnWndProc = LoggingProc;
    wide.hInstance = 1;
    wide.cbWndExtra = 16;
    wide.lpszClassName = u"TestWide";
    RegisterClassW(&wide);
    WNDCLASSA ansi{};
    ansi.lpfnWndProc = AnsiProc;
    ansi.hInstance = 1;
    ansi.lpszClassName = "TestAnsi";
    RegisterClassA(&ansi);
  }
  void TearDown() override {
    for (HWND w : made_) {
      if (IsWindow(w)) DestroyWindow(w);
    }
    UnregisterClassW(u"TestWide", 1);
    UnregisterClassA("TestAnsi", 1);
  }
  HWND Make(const char16_t* text, HWND parent = 0, DWORD style = 0, const char16_t* cls = u"TestWide") {
    HWND w = CreateWindowExW(0, cls, text, style | (parent ? WS_CHILD : WS_OVERLAPPED), 0, 0, 50,
                             20, parent, 0, 1, nullptr);
    made_.push_back(w);
    return w;
  }
  std::vector<HWND> made_;
};

TEST_F(WindowTest, HandlesAreNeverReusedWhileAlive) {
  HWND first = Make(u"first");
  HWND second = Make(u"second");
  ASSERT_NE(first, 0u);
  ASSERT_NE(first, second);
  ASSERT_TRUE(DestroyWindow(first));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(GetWindowLongW(first, GWL_STYLE), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  HWND third = Make(u"third");
  EXPECT_NE(third, first);
  // Wrapping around the handle space skips the handle that is still alive.
  platform::win::detail::SetNextHandleForTest(second);
  HWND fourth = Make(u"fourth");
  EXPECT_NE(fourth, second);
  EXPECT_TRUE(IsWindow(second));
  char16_t text[16];
  GetWindowTextW(second, text, 16);
  EXPECT_EQ(std::u16string(text), u"second");
}

TEST_F(WindowTest, ClassesRegisterOnceAndStayWhileUsed) {
  WNDCLASSW again{};
  again.lpfnWndProc = LoggingProc;
  again.hInstance = 1;
  again.lpszClassName = u"testwide";
  EXPECT_EQ(RegisterClassW(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  WNDCLASSW info{};
  ASSERT_TRUE(GetClassInfoW(1, u"TESTWIDE", &info));
  EXPECT_EQ(info.lpfnWndProc, &LoggingProc);
  EXPECT_EQ(info.cbWndExtra, 16);
  EXPECT_FALSE(GetClassInfoW(2, u"TestWide", &info));  // another module's class
  HWND w = Make(u"x");
  EXPECT_FALSE(UnregisterClassW(u"TestWide", 1));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  DestroyWindow(w);
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, 0, 0, 1, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_EQ(CreateWindowExW(0, u"TestWide", u"", WS_CHILD, 0, 0, 1, 1, 0, 0, 1, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
}

// Text set through one character set and read through the other, on windows of both.
TEST_F(WindowTest, TextConvertsBetweenAnsiAndUnicodeWindows) {
  struct Case {
    const char16_t* cls;
    bool setWide;
    std::u16string wide;  // what a wide read gives
    std::string ansi;     // what an ANSI read gives
  };
  const Case cases[] = {
      {u"TestWide", true, u"Caf\u00e9 \u0416", "Caf\xe9 ?"},
      {u"TestAnsi", true, u"Caf\u00e9 ?", "Caf\xe9 ?"},
      {u"TestWide", false, u"Caf\u00e9 \u20ac", "Caf\xe9 \x80"},
      {u"TestAnsi", false, u"Caf\u00e9 \u20ac", "Caf\xe9 \x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.cls == std::u16string(u"TestWide") ? "wide" : "ansi") +
                 (c.setWide ? " set wide" : " set ansi"));
    HWND w = Make(u"", 0, 0, c.cls);
    EXPECT_EQ(IsWindowUnicode(w), c.cls == std::u16string(u"TestWide"));
    if (c.setWide) {
      SetWindowTextW(w, u"Caf\u00e9 \u0416");
    } else {
      SetWindowTextA(w, "Caf\xe9 \x80");
    }
    char16_t wide[32];
    char ansi[32];
    EXPECT_EQ(GetWindowTextW(w, wide, 32), static_cast<int>(c.wide.size()));
    EXPECT_EQ(std::u16string(wide), c.wide);
    GetWindowTextA(w, ansi, 32);
    EXPECT_EQ(std::string(ansi), c.ansi);
    EXPECT_EQ(GetWindowTextLengthW(w), static_cast<int>(c.wide.size()));
    // A short buffer gets a terminated prefix.
    EXPECT_EQ(GetWindowTextW(w, wide, 3), 2);
    EXPECT_EQ(std::u16string(wide), u"Ca");
  }
}

// Each layer of a subclassing chain logs and passes the message on; a layer removed
// out of order stays in the chain as a pass-through, as class libraries do.
struct Layer {
  std::string name;
  WNDPROC previous = nullptr;
  bool active = true;
  std::unique_ptr<platform::win::WindowProcStub> stub;
};

TEST_F(WindowTest, SubclassChainsInstallAndRemoveInAnyOrder) {
  const std::vector<std::vector<int>> removalOrders = {{2, 1, 0}, {0, 1, 2}, {1, 0, 2}, {1, 2, 0}};
  for (const auto& order : removalOrders) {
    HWND w = Make(u"chain");
    std::vector<std::string> seen;
    std::vector<std::unique_ptr<Layer>> layers;
    for (int i = 0; i < 3; ++i) {
      auto layer = std::make_unique<Layer>();
      layer->name = "L" + std::to_string(i);
      Layer* self = layer.get();
      layer->stub = std::make_unique<platform::win::WindowProcStub>(
          [self, &seen](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_USER && self->active) seen.push_back(self->name);
            return CallWindowProcW(self->previous, h, m, wp, lp);
          });
      layer->previous = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(layer->stub->Proc())));
      layers.push_back(std::move(layer));
    }
    SendMessageW(w, WM_USER, 0, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"L2", "L1", "L0"}));
    std::vector<std::string> expected = {"L2", "L1", "L0"};
    for (int index : order) {
      Layer& layer = *layers[index];
      layer.active = false;
      // Only the top layer can unhook itself; others become pass-throughs.
      if (GetWindowLongPtrW(w, GWL_WNDPROC) == reinterpret_cast<LONG_PTR>(layer.stub->Proc())) {
        SetWindowLongPtrW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(layer.previous));
      }
      std::erase(expected, layer.name);
      seen.clear();
      SendMessageW(w, WM_USER, 0, 0);
      EXPECT_EQ(seen, expected);
      SetWindowTextW(w, u"still");
      char16_t text[8];
      GetWindowTextW(w, text, 8);
      EXPECT_EQ(std::u16string(text), u"still");  // the default procedure is still reached
    }
    DestroyWindow(w);
  }
}

// A procedure value always reaches the stub it names now, also when stubs were freed
// and made since it was last called (a new stub may take a freed one's place), and
// more procedures are called in turn than a thread keeps looks of.
TEST_F(WindowTest, ProcedureValuesReachTheirCurrentStubs) {
  for (LRESULT round = 1; round <= 3; ++round) {
    std::vector<std::unique_ptr<platform::win::WindowProcStub>> stubs;
    for (LRESULT i = 0; i < 6; ++i) {
      stubs.push_back(std::make_unique<platform::win::WindowProcStub>(
          [round, i](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return round * 10 + i; }));
    }
    for (int pass = 0; pass < 2; ++pass) {
      for (LRESULT i = 0; i < 6; ++i) {
        EXPECT_EQ(CallWindowProcW(stubs[static_cast<std::size_t>(i)]->Proc(), 0, WM_USER, 0, 0), round * 10 + i);
      }
    }
  }
  EXPECT_EQ(CallWindowProcW(nullptr, 0, WM_USER, 0, 0), 0);
}

// Messages sent to more windows in turn than a thread keeps looks of reach each
// window's current procedure, also after one changed its procedure and one went.
TEST_F(WindowTest, MessagesToManyWindowsInTurnReachTheirCurrentProcedures) {
  std::vector<HWND> windows;
  for (const char16_t* text : {u"w0", u"w1", u"w2", u"w3", u"w4", u"w5"}) windows.push_back(Make(text));
  auto textLength = [](HWND w) { return SendMessageW(w, WM_GETTEXTLENGTH, 0, 0); };
  for (int pass = 0; pass < 2; ++pass) {
    for (HWND w : windows) EXPECT_EQ(textLength(w), 2);
  }
  platform::win::WindowProcStub answer(
      [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message == WM_GETTEXTLENGTH ? 7 : 0; });
  SetWindowLongPtrW(windows[2], GWL_WNDPROC, reinterpret_cast<LONG_PTR>(answer.Proc()));
  DestroyWindow(windows[3]);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    EXPECT_EQ(textLength(windows[i]), i == 2 ? 7 : i == 3 ? 0 : 2) << i;
  }
  DestroyWindow(windows[2]);  // before its procedure goes
}

TEST_F(WindowTest, PropertiesByNameAndAtomAreTheSame) {
  HWND w = Make(u"props");
  ATOM atom = GlobalAddAtomA("ControlOfs0000000100001234");
  ASSERT_TRUE(SetPropA(w, MAKEINTATOMA(atom), 42));
  EXPECT_EQ(GetPropW(w, u"controlofs0000000100001234"), 42);
  EXPECT_EQ(GetPropA(w, "Unknown"), 0);
  EXPECT_EQ(RemovePropA(w, "ControlOfs0000000100001234"), 42);
  EXPECT_EQ(GetPropA(w, MAKEINTATOMA(atom)), 0);
  EXPECT_FALSE(SetPropA(0x7777770, "x", 1));
}

TEST_F(WindowTest, TheDesktopKeepsProperties) {
  ASSERT_TRUE(SetPropA(GetDesktopWindow(), "DesktopFlag", 1));
  EXPECT_EQ(GetPropW(GetDesktopWindow(), u"desktopflag"), 1);
  EXPECT_EQ(RemovePropA(GetDesktopWindow(), "DesktopFlag"), 1);
  EXPECT_EQ(GetPropA(GetDesktopWindow(), "DesktopFlag"), 0);
}

TEST_F(WindowTest, ShownWindowMinimisesAndRestores) {
  HWND w = Make(u"frame");
  EXPECT_FALSE(ShowWindow(w, SW_SHOW));
  EXPECT_TRUE(ShowWindow(w, SW_MINIMIZE));
  EXPECT_TRUE(IsIconic(w));
  EXPECT_TRUE(ShowWindow(w, SW_RESTORE));
  EXPECT_FALSE(IsIconic(w));
  EXPECT_TRUE(IsWindowVisible(w));
}

TEST_F(WindowTest, WindowLongsAndExtraBytes) {
  HWND parent = Make(u"parent");
  HWND child = CreateWindowExW(0, u"TestWide", u"c", WS_CHILD, 1, 2, 3, 4, parent, 77, 1, nullptr);
  made_.push_back(child);
  EXPECT_EQ(GetDlgCtrlID(child), 77);
  EXPECT_EQ(GetDlgItem(parent, 77), child);
  EXPECT_EQ(SetWindowLongPtrW(child, 8, 0x1234567890LL), 0);
  EXPECT_EQ(GetWindowLongPtrW(child, 8), 0x1234567890LL);
  EXPECT_EQ(SetWindowLongPtrW(child, 9, 1), 0);  // would run past the 16 extra bytes
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(SetWindowLongPtrW(child, GWL_USERDATA, 5), 0);
  EXPECT_EQ(GetWindowLongPtrW(child, GWL_USERDATA), 5);
  EXPECT_EQ(GetParent(child), parent);
  RECT rect;
  MoveWindow(parent, 100, 50, 200, 100, FALSE);
  GetWindowRect(child, &rect);
  EXPECT_EQ(rect.left, 101);
  EXPECT_EQ(rect.top, 52);
  EXPECT_EQ(rect.right, 104);
}

TEST_F(WindowTest, DestructionSendsDestroyTopDownThenNcDestroyBottomUp) {
  HWND parent = Make(u"P");
  HWND child = Make(u"C", parent);
  Make(u"G", child);
  HWND owned = CreateWindowExW(0, u"TestWide", u"O", WS_POPUP, 0, 0, 1, 1, child, 0, 1, nullptr);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), parent);  // the owner is the top-level window
  g_log.clear();
  ASSERT_TRUE(DestroyWindow(parent));
  EXPECT_EQ(g_log, (std::vector<std::string>{"destroy:O", "ncdestroy:O", "destroy:P", "destroy:C",
                                             "destroy:G", "ncdestroy:G", "ncdestroy:C",
                                             "ncdestroy:P"}));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(IsWindow(owned));
}

TEST_F(WindowTest, FindWindowByClassAndTitle) {
  HWND a = Make(u"Alpha");
  HWND b = Make(u"Beta");
  Make(u"Beta", a);  // children are not top-level
  EXPECT_EQ(FindWindowW(u"TestWide", u"Beta"), b);
  EXPECT_EQ(FindWindowA("testwide", "Alpha"), a);
  EXPECT_EQ(FindWindowW(u"TestAnsi", nullptr), 0u);
  EXPECT_EQ(FindWindowW(nullptr, u"Alpha"), a);
  EXPECT_NE(FindWindowExW(a, 0, u"TestWide", u"Beta"), 0u);
}

TEST_F(WindowTest, FocusMovesWithKillAndSetFocus) {
  HWND top = Make(u"T");
  HWND one = Make(u"1", top);
  HWND two = Make(u"2", top);
  SetFocus(one);
  g_log.clear();
  EXPECT_EQ(SetFocus(two), one);
  EXPECT_EQ(GetFocus(), two);
  EXPECT_EQ(GetActiveWindow(), top);
  EXPECT_EQ(g_log, (std::vector<std::string>{"killfocus:1", "setfocus:2"}));
  DestroyWindow(two);
  EXPECT_EQ(GetFocus(), 0u);
}

}  // namespace
