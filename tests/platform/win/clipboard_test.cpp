#include "platform/win/clipboard.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_queue.h"
#include "platform/win/std_controls.h"

namespace {

namespace drive = platform::input_driver;
using platform::win::NewTextBlock;
using platform::win::WideTextOfBlock;

const std::u16string kGreek = u"\u0391\u03b2\u03b3";  // outside the 8-bit code page

// Puts text on the clipboard in one format, as a program does.
template <typename Text>
void PutText(UINT format, const Text& text) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  EXPECT_NE(SetClipboardData(format, NewTextBlock(text)), nullptr);
  CloseClipboard();
}

std::u16string WideClipboardText() {
  if (!OpenClipboard(0)) return u"<not opened>";
  HGLOBAL memory = GetClipboardData(CF_UNICODETEXT);
  std::u16string text = memory == nullptr ? u"<none>" : WideTextOfBlock(memory);
  CloseClipboard();
  return text;
}

class ClipboardTest : public testing::Test {
 protected:
  void SetUp() override { PutText(CF_UNICODETEXT, std::u16string(u"")); }
};

// Text set in one of the two text formats is handed out in both, converted through
// the 8-bit code page; text set anew replaces the converted form.
TEST_F(ClipboardTest, TextComesOutInBothFormats) {
  PutText(CF_UNICODETEXT, kGreek + u"x");
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(WideTextOfBlock(GetClipboardData(CF_UNICODETEXT)), kGreek + u"x");
  EXPECT_EQ(platform::win::AnsiTextOfBlock(GetClipboardData(CF_TEXT)), platform::WideToAnsi(kGreek + u"x"));
  CloseClipboard();

  PutText(CF_TEXT, std::string("Stra\xDF"
                               "e"));
  EXPECT_EQ(WideClipboardText(), u"Stra\u00dfe");
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(SetClipboardData(CF_TEXT, NewTextBlock(std::string("new"))) != nullptr, true);
  EXPECT_EQ(WideTextOfBlock(GetClipboardData(CF_UNICODETEXT)), u"new");
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  CloseClipboard();
}

// Calls need the clipboard open on the calling thread; another thread cannot open it
// meanwhile; blocks that are no blocks are refused.
TEST_F(ClipboardTest, OpeningRulesAndBadBlocks) {
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  HGLOBAL block = NewTextBlock(std::u16string(u"kept"));
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
  EXPECT_FALSE(CloseClipboard());

  ASSERT_TRUE(OpenClipboard(0));
  BOOL otherOpened = TRUE;
  DWORD otherError = 0;
  std::thread([&] {
    otherOpened = OpenClipboard(0);
    otherError = GetLastError();
  }).join();
  EXPECT_FALSE(otherOpened);
  EXPECT_EQ(otherError, ERROR_ACCESS_DENIED);
  int local = 0;
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, &local), nullptr);
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
  CloseClipboard();
  EXPECT_EQ(WideClipboardText(), u"kept");
}

// The text a paste takes: either text format, and nothing (never an error) when the
// clipboard holds no text or another thread has it open.
TEST_F(ClipboardTest, ClipboardTextForAPaste) {
  using platform::win::ClipboardText;
  PutText(CF_UNICODETEXT, kGreek);
  EXPECT_EQ(ClipboardText(0), kGreek);
  PutText(CF_TEXT, std::string("plain"));
  EXPECT_EQ(ClipboardText(0), u"plain");
  ASSERT_TRUE(OpenClipboard(0));
  std::u16string whileOpenElsewhere = u"x";
  std::thread([&] { whileOpenElsewhere = ClipboardText(0); }).join();
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(whileOpenElsewhere, u"");
  EXPECT_EQ(ClipboardText(0), u"");
}

class ClipboardEditTest : public ClipboardTest {
 protected:
  void SetUp() override {
    ClipboardTest::SetUp();
    top_ = CreateWindowExW(0, u"STATIC", u"", WS_OVERLAPPED | WS_VISIBLE, 10, 10, 300, 200, 0, 0, 1, nullptr);
    SetActiveWindow(top_);
  }
  void TearDown() override { DestroyWindow(top_); }
  HWND Edit(DWORD style, const std::u16string& text) {
    HWND edit = CreateWindowExW(0, u"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | style, 5, 5, 200, 22, top_,
                                0, 0, nullptr);
    SetFocus(edit);
    return edit;
  }
  static void Keys(const std::vector<int>& keys) {
    drive::Chord(keys);
    drive::RunPending();
  }
  static std::u16string Text(HWND window) {
    char16_t buffer[256];
    return std::u16string(buffer, static_cast<std::size_t>(GetWindowTextW(window, buffer, 256)));
  }
  HWND top_ = 0;
};

// The keys and the messages: each cuts, copies or pastes the selection of an edit,
// with wide text whole.
TEST_F(ClipboardEditTest, KeysAndMessagesCutCopyAndPaste) {
  struct Case {
    const char* what;
    std::vector<int> keys;  // empty: the message instead
    UINT message;
    std::u16string textAfter, clipboardAfter;
  };
  const std::u16string text = u"ab" + kGreek + u"cd";
  const Case cases[] = {
      {"Ctrl+C", {VK_CONTROL, 'C'}, 0, text, kGreek},
      {"Ctrl+Ins", {VK_CONTROL, VK_INSERT}, 0, text, kGreek},
      {"WM_COPY", {}, WM_COPY, text, kGreek},
      {"Ctrl+X", {VK_CONTROL, 'X'}, 0, u"abcd", kGreek},
      {"Shift+Del", {VK_SHIFT, VK_DELETE}, 0, u"abcd", kGreek},
      {"WM_CUT", {}, WM_CUT, u"abcd", kGreek},
      {"Ctrl+V", {VK_CONTROL, 'V'}, 0, u"ab" + std::u16string(u"pasted") + u"cd", u"pasted"},
      {"Shift+Ins", {VK_SHIFT, VK_INSERT}, 0, u"ab" + std::u16string(u"pasted") + u"cd", u"pasted"},
      {"WM_PASTE", {}, WM_PASTE, u"ab" + std::u16string(u"pasted") + u"cd", u"pasted"},
  };
  for (const Case& c : cases) {
    PutText(CF_UNICODETEXT, std::u16string(u"pasted"));
    HWND edit = Edit(0, text);
    SendMessageW(edit, EM_SETSEL, 2, 5);
    if (c.keys.empty()) {
      SendMessageW(edit, c.message, 0, 0);
    } else {
      Keys(c.keys);
    }
    EXPECT_EQ(Text(edit), c.textAfter) << c.what;
    EXPECT_EQ(WideClipboardText(), c.clipboardAfter) << c.what;
    DestroyWindow(edit);
  }
}

// A password edit gives nothing away; a read-only edit copies but neither cuts nor
// takes a paste; a single-line edit takes a pasted text up to its first line break.
TEST_F(ClipboardEditTest, PasswordReadOnlyAndSingleLineRules) {
  HWND password = Edit(ES_PASSWORD, u"secret");
  SendMessageW(password, EM_SETSEL, 0, -1);
  Keys({VK_CONTROL, 'C'});
  Keys({VK_CONTROL, 'X'});
  EXPECT_EQ(WideClipboardText(), u"");
  EXPECT_EQ(Text(password), u"secret");

  HWND readOnly = Edit(ES_READONLY, u"fixed");
  SendMessageW(readOnly, EM_SETSEL, 0, -1);
  Keys({VK_CONTROL, 'X'});
  EXPECT_EQ(Text(readOnly), u"fixed");
  EXPECT_EQ(WideClipboardText(), u"");
  Keys({VK_CONTROL, 'C'});
  EXPECT_EQ(WideClipboardText(), u"fixed");
  PutText(CF_UNICODETEXT, std::u16string(u"other"));
  Keys({VK_CONTROL, 'V'});
  EXPECT_EQ(Text(readOnly), u"fixed");

  HWND single = Edit(0, u"");
  PutText(CF_TEXT, std::string("first\r\nsecond"));
  Keys({VK_SHIFT, VK_INSERT});
  EXPECT_EQ(Text(single), u"first");
}

}  // namespace
