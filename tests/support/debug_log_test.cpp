#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/debug_output.h"
#include "platform/kernel/process.h"
#include "platform/kernel/registry.h"
#include "platform/kernel/threads.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/registry_access.h"

namespace {

const char* const kKey = "SOFTWARE\\RD";

std::vector<std::string> viewerLines;

LRESULT ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    viewerLines.emplace_back(static_cast<const char*>(data->lpData), data->cbData - 1);
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Each test sets the registry key as it needs, reads the settings again and catches
// the debug output.
class DebugLog : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyTree(HKEY_CURRENT_USER, kKey);
    HWND desktop = GetDesktopWindow();
    for (const char* name : {"RD2CACHECOUNTER", "RD2CACHELOG", "RD2WINDOWHANDLE"}) RemovePropA(desktop, name);
    platform::SetDebugOutputSink([this](std::string_view text) { output.emplace_back(text); });
    viewerLines.clear();
  }
  void TearDown() override {
    platform::SetDebugOutputSink(nullptr);
    RegDeleteKeyTree(HKEY_CURRENT_USER, kKey);
    InitDebugLog();
  }
  void Enable(DWORD messageLog = 0, HWND window = 0) {
    RegWriteString(HKEY_CURRENT_USER, kKey, "VERSION", "1");
    RegWriteDWord(HKEY_CURRENT_USER, kKey, "messageLog", messageLog);
    RegWriteDWord(HKEY_CURRENT_USER, kKey, "windowHandle", window);
    InitDebugLog();
  }
  // The text of a delivered line after its time stamp: "*c n,*L ...".
  static std::string AfterTime(const std::string& line) { return line.substr(line.find(',') + 1); }

  std::vector<std::string> output;
};

TEST_F(DebugLog, OffWithoutTheKeyButThePlainChannelAlwaysWrites) {
  InitDebugLog();
  LogMessage("not written");
  LogDebugMessage("always");
  std::string thread = std::to_string(GetCurrentThreadId());
  EXPECT_EQ(output, std::vector<std::string>{"*L 0, *T " + thread + ", always"});
}

TEST_F(DebugLog, LinesCarryTimeCounterCategoryAndThread) {
  Enable();
  SetPropA(GetDesktopWindow(), "RD2CACHECOUNTER", 41);
  LogMessage("hello");
  LogError("bad");
  ASSERT_EQ(output.size(), 2u);
  std::string thread = std::to_string(GetCurrentThreadId());
  EXPECT_EQ(output[0].rfind("*a ", 0), 0u);
  EXPECT_EQ(AfterTime(output[0]), "*c 42,*L 0, *T " + thread + ", hello");
  EXPECT_EQ(AfterTime(output[1]), "*c 43,*L 2, *T " + thread + ", bad");
  EXPECT_EQ(GetPropA(GetDesktopWindow(), "RD2CACHECOUNTER"), 43);
}

TEST_F(DebugLog, LongTextsGoInPiecesOf500) {
  Enable();
  struct Case {
    std::string text;
    std::vector<std::size_t> pieces;
  };
  const Case cases[] = {
      {std::string(499, 'a'), {499}},
      {std::string(500, 'a'), {500}},
      {std::string(1001, 'a'), {500, 500, 1}},
      {std::string(500, 'a') + "   " + std::string(10, 'b') + " \r\n", {500, 10}},
  };
  for (const Case& c : cases) {
    output.clear();
    WriteLog(0, c.text, false);
    ASSERT_EQ(output.size(), c.pieces.size()) << c.text.size();
    for (std::size_t i = 0; i < output.size(); ++i) {
      std::string text = AfterTime(output[i]);
      text = text.substr(text.find("*L 0, ") + 6);
      EXPECT_EQ(text.size(), c.pieces[i]);
    }
  }
}

TEST_F(DebugLog, HeldLinesOfEveryThreadComeOutInOrderWhenTheHoldEnds) {
  Enable();
  SetPropA(GetDesktopWindow(), "RD2CACHELOG", 1);
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 50; ++i) LogMessage("thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  }
  for (std::thread& writer : writers) writer.join();
  LogMessage("held too");
  EXPECT_TRUE(output.empty());

  SetPropA(GetDesktopWindow(), "RD2CACHELOG", 0);
  LogMessage("after");
  ASSERT_EQ(output.size(), 2u) << "this thread's held line, then the new one";
  EXPECT_NE(output[0].find("held too"), std::string::npos);
  EXPECT_NE(output[1].find("after"), std::string::npos);

  FinalizeDebugLog();  // the other threads' queues
  EXPECT_EQ(output.size(), 2u) << "the hold already ended for this thread";
  SetPropA(GetDesktopWindow(), "RD2CACHELOG", 1);
  LogMessage("held at the end");
  FinalizeDebugLog();
  EXPECT_NE(output.back().find("held at the end"), std::string::npos);
}

TEST_F(DebugLog, ViewerWindowReceivesLinesByCopyData) {
  WNDCLASSA viewerClass{};
  viewerClass.lpfnWndProc = ViewerProc;
  viewerClass.hInstance = 1;
  viewerClass.lpszClassName = "TestLogViewer";
  RegisterClassA(&viewerClass);
  HWND viewer = CreateWindowExA(0, "TestLogViewer", "viewer", WS_OVERLAPPED, 0, 0, 10, 10, 0, 0, 1, nullptr);
  ASSERT_NE(viewer, 0u);

  Enable(1, viewer);
  LogMessage("to the viewer");
  ASSERT_EQ(viewerLines.size(), 1u);
  std::string pid = std::to_string(GetCurrentProcessId());
  EXPECT_EQ(viewerLines[0].rfind("*P " + pid + ", *a ", 0), 0u) << viewerLines[0];
  EXPECT_EQ(viewerLines[0].substr(viewerLines[0].size() - 16), ", to the viewer ");
  EXPECT_TRUE(output.empty());

  // A viewer gone: the line is lost.
  DestroyWindow(viewer);
  LogMessage("lost");
  EXPECT_EQ(viewerLines.size(), 1u);
  EXPECT_TRUE(output.empty());
  UnregisterClassA("TestLogViewer", 1);
}

TEST_F(DebugLog, ViewerModeWithoutAViewerDeliversNothing) {
  Enable(1, 0);
  LogMessage("nowhere");
  EXPECT_TRUE(output.empty());
}

}  // namespace
