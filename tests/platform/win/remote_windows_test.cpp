#include "platform/win/remote_windows.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/test_env.h"
#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/handles.h"
#include "platform/kernel/named_objects.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"

namespace {

int g_exit_code = -1;

// The first instance's main window: answers WM_COPYDATA and ends on its command.
LRESULT MainFormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    bool right = data->dwData == 7 && data->cbData == 5 && std::memcmp(data->lpData, "hello", 5) == 0;
    return right ? 42 : 1;
  }
  if (message == RegisterWindowMessageA("PellixMessage")) {
    g_exit_code = static_cast<int>(wParam);
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A first instance: its main window with the procedure, and the message loop.
void RunMainWindow(WNDPROC procedure) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = procedure;
  wc.lpszClassName = u"PellixMainForm";
  RegisterClassW(&wc);
  CreateWindowExW(0, u"PellixMainForm", u"Pellix", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
}

const bool kRegistered = pellix_test::RegisterChildRole("first-instance", [](const std::vector<std::string>&) {
  RunMainWindow(MainFormProc);
  return g_exit_code;
});

// A first instance that ends the moment its window takes the message.
LRESULT EndingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == RegisterWindowMessageA("PellixMessage")) _exit(static_cast<int>(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

const bool kEnding = pellix_test::RegisterChildRole("ending-instance", [](const std::vector<std::string>&) {
  RunMainWindow(EndingProc);
  return 1;
});

// A process whose state root is taken away while it runs (as a test's temporary root
// is) holds a window, so a socket, and a named mutex, then ends normally.
const bool kRootless = pellix_test::RegisterChildRole("rootless-instance", [](const std::vector<std::string>&) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"PellixRootless";
  RegisterClassW(&wc);
  CreateWindowExW(0, u"PellixRootless", u"Pellix", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "PellixRootlessMtx");
  std::error_code ignored;
  std::filesystem::remove_all(std::getenv("PELLIX_HOME"), ignored);
  CloseHandle(mutex);
  return mutex != 0 ? 0 : 1;
});

// The window is there once its title is: its creation has passed WM_NCCREATE.
HWND WaitForWindow() {
  for (int attempt = 0; attempt < 3000; ++attempt) {  // a loaded machine may take long to start it
    if (HWND found = FindWindowW(u"PellixMainForm", u"Pellix")) return found;
    Sleep(10);
  }
  return 0;
}

// Ends the child when a failed check leaves the test early.
struct ChildGuard {
  int pid;
  bool waited = false;
  ~ChildGuard() {
    if (waited) return;
    ::kill(pid, SIGKILL);
    pellix_test::WaitChild(pid);
  }
};

TEST(RemoteWindows, ASecondInstanceFindsTheFirstAndTalksToIt) {
  int child = pellix_test::StartChild("first-instance");
  ChildGuard guard{child};
  HWND window = WaitForWindow();
  ASSERT_NE(window, 0u);
  EXPECT_GE(window, platform::win::detail::kFirstRemoteHandle);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(FindWindowW(u"PellixMainForm", nullptr), window);
  EXPECT_EQ(FindWindowW(u"PellixMainForm", u"Other title"), 0u);

  COPYDATASTRUCT data{7, 5, const_cast<char*>("hello")};
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 2000, &answer));
  EXPECT_EQ(answer, 42u);
  // Messages that could carry objects do not cross processes.
  EXPECT_FALSE(PostMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")), 0);

  ASSERT_TRUE(PostMessageW(window, RegisterWindowMessageW(u"PellixMessage"), 11, 0));
  guard.waited = true;
  EXPECT_EQ(pellix_test::WaitChild(child), 11);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FindWindowW(u"PellixMainForm", nullptr), 0u);
  EXPECT_FALSE(PostMessageW(window, RegisterWindowMessageW(u"PellixMessage"), 10, 0));
}

// The receiver ends as soon as it handles the message, which may be before the
// listener could have answered: the post still answers success.
TEST(RemoteWindows, APostAnswersSuccessWhenTheReceiverEndsOnIt) {
  for (int round = 0; round < 5; ++round) {
    int child = pellix_test::StartChild("ending-instance");
    ChildGuard guard{child};
    HWND window = WaitForWindow();
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(PostMessageW(window, RegisterWindowMessageW(u"PellixMessage"), 20 + round, 0)) << round;
    guard.waited = true;
    EXPECT_EQ(pellix_test::WaitChild(child), 20 + round);
  }
}

TEST(RemoteWindows, ABroadcastOfARegisteredMessageReachesTheOtherProcesses) {
  int child = pellix_test::StartChild("first-instance");
  ChildGuard guard{child};
  ASSERT_NE(WaitForWindow(), 0u);
  // A message of the program's own range stays in this process; the registered one
  // goes on to the other process's top-level windows.
  ASSERT_TRUE(PostMessageW(HWND_BROADCAST, WM_USER + 9, 5, 0));
  ASSERT_TRUE(PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(u"PellixMessage"), 13, 0));
  guard.waited = true;
  EXPECT_EQ(pellix_test::WaitChild(child), 13);
}

// Taking a process's objects down as it ends never makes its state root again.
TEST(RemoteWindows, AnEndingProcessDoesNotMakeItsTakenRootAgain) {
  pellix_test::TempDir parent;
  const std::filesystem::path root = parent / "state";
  const std::string saved = std::getenv("PELLIX_HOME");
  setenv("PELLIX_HOME", root.c_str(), 1);
  const int exitCode = pellix_test::RunChild("rootless-instance");
  setenv("PELLIX_HOME", saved.c_str(), 1);
  EXPECT_EQ(exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(root));
}

}  // namespace
