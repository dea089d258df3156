#include "platform/win/std_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/base/text.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_queue.h"

namespace {

struct Note {
  int id;
  WORD code;
  bool operator==(const Note&) const = default;
};
std::vector<Note> g_notes;

LRESULT ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) g_notes.push_back(Note{LOWORD(static_cast<DWORD>(wParam)), HIWORD(static_cast<DWORD>(wParam))});
  return DefWindowProcW(window, message, wParam, lParam);
}

const std::u16string kGreek = u"\u0391\u03b2\u03b3";  // outside the 8-bit code page

class StdControlsTest : public testing::Test {
 protected:
  void SetUp() override {
    g_notes.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = 1;
    wc.lpszClassName = u"StdControlsParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, u"StdControlsParent", u"", WS_OVERLAPPED | WS_VISIBLE, 10, 10, 300, 200, 0, 0, 1,
                              nullptr);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    UnregisterClassW(u"StdControlsParent", 1);
  }
  HWND Wide(const char16_t* cls, DWORD style, int id = 7, const char16_t* text = u"") {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 5, 5, 120, 22, parent_,
                           static_cast<HMENU>(id), 0, nullptr);
  }
  HWND Ansi(const char* cls, DWORD style, int id = 7, const char* text = "") {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 5, 5, 120, 22, parent_,
                           static_cast<HMENU>(id), 0, nullptr);
  }
  std::u16string TextW(HWND window) {
    char16_t buffer[256];
    int length = GetWindowTextW(window, buffer, 256);
    return std::u16string(buffer, length);
  }
  std::string TextA(HWND window) {
    char buffer[256];
    int length = GetWindowTextA(window, buffer, 256);
    return std::string(buffer, length);
  }
  std::vector<WORD> Codes() {
    std::vector<WORD> codes;
    for (auto& note : g_notes) codes.push_back(note.code);
    return codes;
  }
  static void Click(HWND window, int x, int y) {
    SendMessageW(window, WM_LBUTTONDOWN, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  }
  static void Type(HWND window, const std::u16string& text) {
    for (char16_t ch : text) SendMessageW(window, WM_CHAR, ch, 0);
  }
  HWND parent_ = 0;
};

// Every class keeps wide text whole in a Unicode window and its ANSI form in an ANSI
// window, whichever form the text is set and read in.
TEST_F(StdControlsTest, TextKeepsItsFormInWideAndAnsiWindows) {
  for (const char16_t* cls : {u"EDIT", u"BUTTON", u"STATIC", u"COMBOBOX"}) {
    SCOPED_TRACE(platform::WideToAnsi(cls));
    DWORD style = std::u16string(cls) == u"COMBOBOX" ? CBS_DROPDOWN : 0;
    HWND wide = Wide(cls, style);
    ASSERT_NE(wide, 0u);
    EXPECT_TRUE(IsWindowUnicode(wide));
    SetWindowTextW(wide, (u"x" + kGreek).c_str());
    EXPECT_EQ(TextW(wide), u"x" + kGreek);
    EXPECT_EQ(TextA(wide), "x???");
    EXPECT_EQ(GetWindowTextLengthW(wide), 4);

    HWND ansi = Ansi(platform::WideToAnsi(cls).c_str(), style);
    ASSERT_NE(ansi, 0u);
    EXPECT_FALSE(IsWindowUnicode(ansi));
    SetWindowTextW(ansi, (u"x" + kGreek).c_str());
    EXPECT_EQ(TextW(ansi), u"x???");
    SetWindowTextA(ansi, "caf\xE9");
    EXPECT_EQ(TextW(ansi), u"caf\u00e9");
    DestroyWindow(wide);
    DestroyWindow(ansi);
  }
}

TEST_F(StdControlsTest, EditTypingSelectionAndNotifications) {
  HWND edit = Wide(u"EDIT", ES_AUTOHSCROLL);
  Type(edit, u"ab" + kGreek);
  EXPECT_EQ(TextW(edit), u"ab" + kGreek);
  auto codes = Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EN_CHANGE), 5);
  EXPECT_TRUE(SendMessageW(edit, EM_GETMODIFY, 0, 0));

  SendMessageW(edit, EM_SETSEL, 1, 3);
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 3u);
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u"ZZ"));
  EXPECT_EQ(TextW(edit), u"aZZ\u03b2\u03b3");
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(TextW(edit), u"aZ\u03b2\u03b3");
  EXPECT_TRUE(SendMessageW(edit, EM_UNDO, 0, 0));
  EXPECT_EQ(TextW(edit), u"aZZ\u03b2\u03b3");

  // Keys: Home, Delete, End and typing at the end.
  SendMessageW(edit, WM_KEYDOWN, VK_HOME, 0);
  SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 0);
  SendMessageW(edit, WM_KEYDOWN, VK_END, 0);
  Type(edit, u"!");
  EXPECT_EQ(TextW(edit), u"ZZ\u03b2\u03b3!");

  // Text set by the program notifies and clears the modified flag.
  g_notes.clear();
  SetWindowTextW(edit, u"new");
  EXPECT_EQ(Codes(), (std::vector<WORD>{EN_UPDATE, EN_CHANGE}));
  EXPECT_FALSE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
  DestroyWindow(edit);
}

TEST_F(StdControlsTest, EditRulesForBadInput) {
  HWND edit = Wide(u"EDIT", 0);
  SendMessageW(edit, EM_LIMITTEXT, 3, 0);
  Type(edit, u"abcd");
  EXPECT_EQ(TextW(edit), u"abc");
  EXPECT_EQ(g_notes.back().code, EN_MAXTEXT);
  // A single-line edit keeps the first line of inserted text.
  SendMessageW(edit, EM_LIMITTEXT, 0, 0);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"one\r\ntwo"));
  EXPECT_EQ(TextW(edit), u"one");
  // Read-only refuses typing but not the program's text.
  SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
  EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
  Type(edit, u"x");
  SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(TextW(edit), u"one");
  SetWindowTextW(edit, u"set");
  EXPECT_EQ(TextW(edit), u"set");
  DestroyWindow(edit);

  HWND number = Wide(u"EDIT", ES_NUMBER | ES_UPPERCASE);
  Type(number, u"1a2");
  EXPECT_EQ(TextW(number), u"12");
  DestroyWindow(number);
}

TEST_F(StdControlsTest, PasswordCharacterInBothForms) {
  HWND wide = Wide(u"EDIT", ES_PASSWORD);
  EXPECT_EQ(SendMessageW(wide, EM_GETPASSWORDCHAR, 0, 0), u'*');
  SendMessageW(wide, EM_SETPASSWORDCHAR, u'\u25cf', 0);
  EXPECT_EQ(SendMessageW(wide, EM_GETPASSWORDCHAR, 0, 0), u'\u25cf');
  EXPECT_EQ(SendMessageA(wide, EM_GETPASSWORDCHAR, 0, 0), '?');
  SendMessageW(wide, EM_SETPASSWORDCHAR, 0, 0);
  EXPECT_FALSE(GetWindowLongW(wide, GWL_STYLE) & ES_PASSWORD);
  DestroyWindow(wide);
}

TEST_F(StdControlsTest, MultiLineEditLines) {
  HWND edit = Ansi("EDIT", ES_MULTILINE | ES_WANTRETURN);
  SetWindowTextA(edit, "first\r\nsecond line\r\n3");
  EXPECT_TRUE(g_notes.empty());  // a multi-line edit does not report the program's text
  EXPECT_EQ(SendMessageA(edit, EM_GETLINECOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(edit, EM_LINEINDEX, 1, 0), 7);
  EXPECT_EQ(SendMessageA(edit, EM_LINELENGTH, 8, 0), 11);
  EXPECT_EQ(SendMessageA(edit, EM_LINEFROMCHAR, 20, 0), 2);
  EXPECT_EQ(SendMessageA(edit, EM_LINEINDEX, 3, 0), -1);
  // EM_GETLINE through the conversion: the size in the first unit, no terminator.
  char16_t line[16] = {};
  line[0] = 6;
  EXPECT_EQ(SendMessageW(edit, EM_GETLINE, 1, reinterpret_cast<LPARAM>(line)), 6);
  EXPECT_EQ(std::u16string(line, 6), u"second");
  // Return breaks the line; Up keeps the column.
  SendMessageA(edit, EM_SETSEL, 2, 2);
  SendMessageA(edit, WM_CHAR, '\r', 0);
  EXPECT_EQ(SendMessageA(edit, EM_GETLINECOUNT, 0, 0), 4);
  SendMessageA(edit, WM_KEYDOWN, VK_DOWN, 0);
  DWORD caret = 0;
  SendMessageA(edit, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
  EXPECT_EQ(caret, static_cast<DWORD>(SendMessageA(edit, EM_LINEINDEX, 2, 0)));
  DestroyWindow(edit);
}

TEST_F(StdControlsTest, PushButtonClicksByMouseAndKeyboard) {
  HWND button = Wide(u"BUTTON", BS_PUSHBUTTON, 9, u"&Go");
  Click(button, 5, 5);
  EXPECT_EQ(g_notes, (std::vector<Note>{{9, BN_CLICKED}}));
  // Pressed inside and released outside is no click.
  SendMessageW(button, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED);
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(500, 5));
  EXPECT_FALSE(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED);
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
  EXPECT_EQ(g_notes.size(), 1u);
  EXPECT_EQ(GetCapture(), 0u);
  // Space down and up, and Return, click.
  SendMessageW(button, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(g_notes.size(), 1u);
  SendMessageW(button, WM_KEYUP, VK_SPACE, 0);
  SendMessageW(button, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(g_notes.size(), 3u);
  // A disabled button ignores BM_CLICK.
  EnableWindow(button, FALSE);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(g_notes.size(), 3u);
  DestroyWindow(button);
}

TEST_F(StdControlsTest, CheckBoxKindsAndRadioGroups) {
  struct Case {
    DWORD style;
    std::vector<LRESULT> states;  // after each click
  };
  for (const Case& test : {Case{BS_AUTOCHECKBOX, {1, 0, 1}}, Case{BS_AUTO3STATE, {1, 2, 0}}, Case{BS_CHECKBOX, {0, 0, 0}}}) {
    HWND box = Wide(u"BUTTON", test.style);
    for (LRESULT expected : test.states) {
      SendMessageW(box, BM_CLICK, 0, 0);
      EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), expected) << test.style;
    }
    DestroyWindow(box);
  }

  // Two groups of auto radio buttons: choosing one clears only its own group.
  HWND a = Wide(u"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 1);
  HWND b = Wide(u"BUTTON", BS_AUTORADIOBUTTON, 2);
  HWND c = Wide(u"BUTTON", BS_AUTORADIOBUTTON, 3);
  HWND other = Wide(u"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 4);
  Click(other, 2, 2);
  Click(a, 2, 2);
  Click(b, 2, 2);
  EXPECT_EQ(SendMessageW(a, BM_GETCHECK, 0, 0), 0);
  EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), 1);
  EXPECT_EQ(SendMessageW(other, BM_GETCHECK, 0, 0), 1);
  // The arrow keys move the choice and the focus within the group, wrapping.
  SetFocus(b);
  SendMessageW(b, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(GetFocus(), c);
  EXPECT_EQ(SendMessageW(c, BM_GETCHECK, 0, 0), 1);
  SendMessageW(c, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(GetFocus(), a);
  EXPECT_EQ(SendMessageW(c, BM_GETCHECK, 0, 0), 0);
  EXPECT_EQ(SendMessageW(other, BM_GETCHECK, 0, 0), 1);

  // A group box takes no clicks.
  HWND group = Wide(u"BUTTON", BS_GROUPBOX, 5);
  g_notes.clear();
  Click(group, 3, 3);
  EXPECT_TRUE(g_notes.empty());
  EXPECT_EQ(SendMessageW(group, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
}

TEST_F(StdControlsTest, ComboBoxItemsInBothForms) {
  HWND combo = Wide(u"COMBOBOX", CBS_DROPDOWNLIST | CBS_SORT | CBS_HASSTRINGS);
  for (const char16_t* item : {u"pear", u"Apple", u"\u03b2eta"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  char ansi[16];
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(ansi)), 5);
  EXPECT_EQ(std::string(ansi), "Apple");
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(ansi)), 4);
  EXPECT_EQ(std::string(ansi), "?eta");
  char16_t wide[16];
  SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(wide));
  EXPECT_EQ(std::u16string(wide), u"\u03b2eta");
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(ansi)), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("PEAR")), 1);
  EXPECT_EQ(SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("ap")), 0);
  EXPECT_EQ(SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("zz")), CB_ERR);

  // The text of a drop-down list is its current item; text not in the list is refused.
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(TextW(combo), u"pear");
  EXPECT_EQ(SendMessageA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("nothing")), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("apple")), TRUE);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  // Deleting before the current item keeps the same item current.
  SendMessageW(combo, CB_SETCURSEL, 2, 0);
  SendMessageW(combo, CB_DELETESTRING, 0, 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageW(combo, CB_INSERTSTRING, 5, reinterpret_cast<LPARAM>(u"x")), CB_ERR);
  EXPECT_TRUE(g_notes.empty());  // nothing the program does is reported as the user's choice
  DestroyWindow(combo);
}

TEST_F(StdControlsTest, ComboBoxKeyboardAndMouse) {
  HWND combo = Wide(u"COMBOBOX", CBS_DROPDOWNLIST | CBS_HASSTRINGS);
  for (const char16_t* item : {u"red", u"green", u"grey", u"blue"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_SELCHANGE, CBN_SELCHANGE}));
  // Typing a letter moves to the next item that starts with it.
  SendMessageW(combo, WM_CHAR, u'g', 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  SendMessageW(combo, WM_CHAR, u'G', 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);

  // A click opens the list; a click on an item in it chooses it and closes it.
  g_notes.clear();
  Click(combo, 10, 10);
  EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  EXPECT_TRUE(IsWindowVisible(info.hwndList));
  int height = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
  Click(info.hwndList, 5, 1 + 3 * height + 2);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 3);
  EXPECT_FALSE(IsWindowVisible(info.hwndList));
  EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
  // Escape closes an open list without a choice.
  g_notes.clear();
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  SendMessageW(combo, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
  DestroyWindow(combo);
  EXPECT_FALSE(IsWindow(info.hwndList));
}

TEST_F(StdControlsTest, DropDownComboEditsThroughItsEditPart) {
  HWND combo = Ansi("COMBOBOX", CBS_DROPDOWN | CBS_HASSTRINGS);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("alpha"));
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("beta"));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  ASSERT_NE(info.hwndItem, combo);
  EXPECT_FALSE(IsWindowUnicode(info.hwndItem));
  SendMessageA(info.hwndItem, WM_CHAR, 'q', 0);
  EXPECT_EQ(TextA(combo), "q");
  EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_EDITUPDATE, CBN_EDITCHANGE}));
  // The arrow keys in the edit part choose items of the list; the program's text
  // is no edit by the user.
  g_notes.clear();
  SendMessageA(info.hwndItem, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(TextA(combo), "alpha");
  SetWindowTextA(combo, "typed");
  EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_SELCHANGE}));
  SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(1, 3));
  DWORD range = static_cast<DWORD>(SendMessageA(combo, CB_GETEDITSEL, 0, 0));
  EXPECT_EQ(LOWORD(range), 1);
  EXPECT_EQ(HIWORD(range), 3);
  DestroyWindow(combo);
}

TEST_F(StdControlsTest, StaticReportsClicksOnlyWhenAsked) {
  HWND plain = Wide(u"STATIC", SS_LEFT, 1, u"label");
  HWND notify = Wide(u"STATIC", SS_NOTIFY, 2, u"link");
  Click(plain, 2, 2);
  Click(notify, 2, 2);
  EXPECT_EQ(g_notes, (std::vector<Note>{{2, STN_CLICKED}}));
  EXPECT_EQ(SendMessageW(plain, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
}

}  // namespace
