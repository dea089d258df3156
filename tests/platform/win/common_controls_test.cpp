#include "platform/win/common_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/atoms.h"
#include "platform/win/input.h"
#include "platform/win/keyboard.h"
#include "platform/win/scroll.h"
#include "platform/win/message_queue.h"

namespace {

// What the parent window was told, and how it answers.
struct Parent {
  std::vector<UINT> codes;      // WM_NOTIFY codes in order
  std::vector<NMLISTVIEW> listNotes;
  std::vector<NMUPDOWN> upDownNotes;
  std::vector<WPARAM> commands;  // WM_COMMAND wParam
  std::vector<WPARAM> scrolls;   // WM_VSCROLL wParam
  int dropDownItem = 0;
  LRESULT notifyFormat = 0;      // answer to WM_NOTIFYFORMAT (0: the default)
  std::u16string dispText;       // answer to LVN_GETDISPINFO
  UINT refuse = 0;               // a notification code answered with 1
  LRESULT deleteAllAnswer = 0;
  LRESULT endLabelAnswer = TRUE;
  std::vector<std::u16string> endedLabels;  // "<null>" for a cancelled edit
  HWND editSeenAtBegin = 0;
};
Parent g_parent;

LRESULT Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
  switch (message) {
    case WM_NOTIFYFORMAT:
      if (g_parent.notifyFormat != 0) return g_parent.notifyFormat;
      break;
    case WM_COMMAND:
      g_parent.commands.push_back(wParam);
      return 0;
    case WM_VSCROLL:
      g_parent.scrolls.push_back(wParam);
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      g_parent.codes.push_back(header->code);
      if (header->code == LVN_GETDISPINFOW) {
        static std::u16string kept;
        kept = g_parent.dispText + u"#" + platform::AnsiToWide(std::to_string(reinterpret_cast<NMLVDISPINFOW*>(lParam)->item.iSubItem));
        reinterpret_cast<NMLVDISPINFOW*>(lParam)->item.pszText = kept.data();
      } else if (header->code == LVN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        std::string text = platform::WideToAnsi(g_parent.dispText) + "#" + std::to_string(info->item.iSubItem);
        platform::win::CopyTextOut(platform::AnsiToWide(text), info->item.pszText, static_cast<std::size_t>(info->item.cchTextMax));
      } else if (header->code == UDN_DELTAPOS) {
        g_parent.upDownNotes.push_back(*reinterpret_cast<NMUPDOWN*>(lParam));
      } else if (header->code == TBN_DROPDOWN) {
        g_parent.dropDownItem = reinterpret_cast<NMTOOLBARA*>(lParam)->iItem;
      } else if (header->code == LVN_DELETEALLITEMS) {
        return g_parent.deleteAllAnswer;
      } else if (header->code == LVN_BEGINLABELEDITW) {
        g_parent.editSeenAtBegin = static_cast<HWND>(SendMessageW(header->hwndFrom, LVM_GETEDITCONTROL, 0, 0));
      } else if (header->code == LVN_ENDLABELEDITW) {
        const char16_t* text = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item.pszText;
        g_parent.endedLabels.push_back(text != nullptr ? std::u16string(text) : u"<null>");
        return g_parent.endLabelAnswer;
      } else if (header->code == LVN_ITEMCHANGED || header->code == LVN_COLUMNCLICK || header->code == NM_CLICK ||
                 header->code == LVN_DELETEITEM) {
        g_parent.listNotes.push_back(*reinterpret_cast<NMLISTVIEW*>(lParam));
      }
      return header->code == g_parent.refuse ? 1 : 0;
    }
    default:
      break;
  }
  return unicode ? DefWindowProcW(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT WideParentProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return Answer(w, m, wp, lp, true); }
LRESULT AnsiParentProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return Answer(w, m, wp, lp, false); }

LPARAM At(int x, int y) { return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))); }

class CommonControlsTest : public testing::Test {
 protected:
  void SetUp() override {
    g_parent = Parent{};
    InitCommonControls();
    WNDCLASSW wide{};
    wide.lpfnWndProc = WideParentProc;
    wide.hInstance = 1;
    wide.lpszClassName = u"CcWideParent";
    RegisterClassW(&wide);
    WNDCLASSA ansi{};
    ansi.lpfnWndProc = AnsiParentProc;
    ansi.hInstance = 1;
    ansi.lpszClassName = "CcAnsiParent";
    RegisterClassA(&ansi);
    parent_ = CreateWindowExW(0, u"CcWideParent", u"", WS_OVERLAPPED, 0, 0, 400, 300, 0, 0, 1, nullptr);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    UnregisterClassW(u"CcWideParent", 1);
    UnregisterClassA("CcAnsiParent", 1);
  }
  HWND Make(const char16_t* cls, DWORD style, int width = 300, int height = 200, HWND parent = 0) {
    return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 0, 0, width, height,
                           parent ? parent : parent_, 0, 0, nullptr);
  }
  static void AddColumn(HWND list, const char16_t* text, int width) {
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, width, const_cast<char16_t*>(text), 0, 0};
    SendMessageW(list, LVM_INSERTCOLUMNW, 99, reinterpret_cast<LPARAM>(&column));
  }
  static int AddItem(HWND list, const char16_t* text, LPARAM param = 0) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 1 << 20;
    item.pszText = const_cast<char16_t*>(text);
    item.lParam = param;
    return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  }
  static std::u16string TextW(HWND list, int index, int subItem) {
    char16_t buffer[64];
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = buffer;
    item.cchTextMax = 64;
    auto length = SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    return std::u16string(buffer, static_cast<std::size_t>(length));
  }
  static std::string TextA(HWND list, int index, int subItem) {
    char buffer[64];
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = buffer;
    item.cchTextMax = 64;
    auto length = SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    return std::string(buffer, static_cast<std::size_t>(length));
  }
  static UINT State(HWND list, int index) {
    return static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_SELECTED | LVIS_FOCUSED));
  }
  HWND parent_ = 0;
};

// --- list view ---------------------------------------------------------------------------

TEST_F(CommonControlsTest, ListTextsKeepWideCharactersAndGiveTheirAnsiForms) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT);
  ASSERT_NE(list, 0u);
  struct Case {
    std::u16string wide;
    std::string ansi;
  };
  const Case cases[] = {{u"plain", "plain"}, {u"caf\u00e9", "caf\xe9"}, {u"\u041c\u0438\u0440", "???"}, {u"", ""}};
  for (const auto& c : cases) {
    int index = AddItem(list, c.wide.c_str());
    LVITEMW sub{};
    sub.iSubItem = 2;
    sub.pszText = const_cast<char16_t*>(c.wide.c_str());
    ASSERT_TRUE(SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub)));
    EXPECT_EQ(TextW(list, index, 0), c.wide);
    EXPECT_EQ(TextA(list, index, 0), c.ansi);
    EXPECT_EQ(TextW(list, index, 2), c.wide);
    EXPECT_EQ(TextW(list, index, 1), u"");  // a sub-item between set ones is empty
    EXPECT_EQ(TextW(list, index, 7), u"");  // past the last sub-item
  }
  // An ANSI caller's text arrives widened from the code page.
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = 0;
  item.pszText = const_cast<char*>("\x80uro");
  SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(TextW(list, 0, 0), u"\u20acuro");
  // Columns likewise; a text cut to the caller's buffer keeps its terminator.
  AddColumn(list, u"\u65e5\u4ed8 Date", 80);
  char16_t buffer[4];
  LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, 0, buffer, 4, 0};
  ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_EQ(std::u16string(buffer), u"\u65e5\u4ed8 ");
  EXPECT_EQ(column.cx, 80);
  char ansi[16];
  LVCOLUMNA columnA{LVCF_TEXT, 0, 0, ansi, 16, 0};
  SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&columnA));
  EXPECT_STREQ(ansi, "?? Date");
  EXPECT_FALSE(SendMessageW(list, LVM_GETCOLUMNW, 5, reinterpret_cast<LPARAM>(&column)));
}

TEST_F(CommonControlsTest, CallbackTextsAskTheParentInTheFormItTakes) {
  g_parent.dispText = u"\u03a9mega";
  struct Case {
    const char* name;
    LRESULT parentFormat;
    int setUnicode;  // CCM_SETUNICODEFORMAT after creation, -1 for none
    UINT expectedCode;
    std::u16string expectedText;
  };
  const Case cases[] = {
      {"wide parent", NFR_UNICODE, -1, LVN_GETDISPINFOW, u"\u03a9mega#1"},
      {"ansi parent", NFR_ANSI, -1, LVN_GETDISPINFOA, u"?mega#1"},
      {"ansi parent switched to wide", NFR_ANSI, 1, LVN_GETDISPINFOW, u"\u03a9mega#1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_parent.notifyFormat = c.parentFormat;
    HWND list = Make(WC_LISTVIEWW, LVS_REPORT);
    if (c.setUnicode >= 0) SendMessageW(list, CCM_SETUNICODEFORMAT, static_cast<WPARAM>(c.setUnicode), 0);
    EXPECT_EQ(SendMessageW(list, CCM_GETUNICODEFORMAT, 0, 0), c.expectedCode == LVN_GETDISPINFOW);
    AddItem(list, u"x");
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(list, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&sub));
    g_parent.codes.clear();
    EXPECT_EQ(TextW(list, 0, 1), c.expectedText);
    ASSERT_EQ(g_parent.codes.size(), 1u);
    EXPECT_EQ(g_parent.codes[0], c.expectedCode);
    DestroyWindow(list);
  }
}

TEST_F(CommonControlsTest, ListAnsiParentIsAskedInAnsiByDefault) {
  HWND ansiParent = CreateWindowExA(0, "CcAnsiParent", "", WS_OVERLAPPED, 0, 0, 300, 200, 0, 0, 1, nullptr);
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT, 300, 200, ansiParent);
  EXPECT_EQ(SendMessageW(list, CCM_GETUNICODEFORMAT, 0, 0), 0);
  DestroyWindow(ansiParent);
}

int CompareByParam(LPARAM a, LPARAM b, LPARAM direction) {
  return static_cast<int>(direction * (a < b ? -1 : a > b ? 1 : 0));
}

HWND g_sortedList = 0;

int CompareAndDelete(LPARAM a, LPARAM b, LPARAM direction) {
  if (SendMessageW(g_sortedList, LVM_GETITEMCOUNT, 0, 0) == 4) SendMessageW(g_sortedList, LVM_DELETEITEM, 0, 0);
  return CompareByParam(a, b, direction);
}

TEST_F(CommonControlsTest, SortingOrdersByTheCompareOfTheItemsDataAndKeepsTheirState) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT);
  AddItem(list, u"b", 20);
  AddItem(list, u"c", 30);
  AddItem(list, u"a1", 10);
  AddItem(list, u"a2", 10);  // equal data keeps its order
  LVITEMW selected{};
  selected.state = selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));  // "c"
  ASSERT_TRUE(SendMessageW(list, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(&CompareByParam)));
  std::vector<std::u16string> order;
  for (int i = 0; i < 4; ++i) order.push_back(TextW(list, i, 0));
  EXPECT_EQ(order, (std::vector<std::u16string>{u"a1", u"a2", u"b", u"c"}));
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);
  SendMessageW(list, LVM_SORTITEMS, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&CompareByParam));
  EXPECT_EQ(TextW(list, 0, 0), u"c");
  EXPECT_EQ(TextW(list, 3, 0), u"a2");
  // A compare that deletes an item meanwhile leaves the list as the deletion made it.
  g_sortedList = list;
  SendMessageW(list, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(&CompareAndDelete));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(TextW(list, 0, 0), u"b");
}

TEST_F(CommonControlsTest, SelectionStatesFollowTheStyleAndTheParentMayRefuseAChange) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL);
  for (auto* text : {u"a", u"b", u"c"}) AddItem(list, text);
  LVITEMW select{};
  select.state = select.stateMask = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
  SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&select));
  EXPECT_EQ(State(list, 0), 0u);
  EXPECT_EQ(State(list, 2), LVIS_SELECTED);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  // The change of item 0 (deselected) was told before the one of item 2.
  ASSERT_GE(g_parent.listNotes.size(), 3u);
  auto last = g_parent.listNotes.back();
  EXPECT_EQ(last.iItem, 2);
  EXPECT_EQ(last.uNewState, LVIS_SELECTED);
  EXPECT_EQ(last.uChanged, LVIF_STATE);
  g_parent.refuse = LVN_ITEMCHANGING;
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&select));
  EXPECT_EQ(State(list, 1), 0u);
  // Index -1 changes every item (allowed again).
  g_parent.refuse = 0;
  HWND multi = Make(WC_LISTVIEWW, LVS_REPORT);
  for (auto* text : {u"a", u"b"}) AddItem(multi, text);
  SendMessageW(multi, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&select));
  EXPECT_EQ(SendMessageW(multi, LVM_GETSELECTEDCOUNT, 0, 0), 2);
}

TEST_F(CommonControlsTest, MouseClicksSelectRowsAndHeaderClicksReportTheColumn) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL);
  AddColumn(list, u"Date", 120);
  AddColumn(list, u"Caption", 90);
  for (auto* text : {u"a", u"b", u"c"}) AddItem(list, text);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  int rowY = platform::win::kListHeaderHeight + platform::win::kListRowHeight + 3;  // row 1
  SendMessageW(list, WM_LBUTTONDOWN, 0, At(150, rowY));
  EXPECT_EQ(State(list, 1), LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(GetFocus(), list);
  EXPECT_EQ(g_parent.codes.back(), NM_CLICK);
  EXPECT_EQ(g_parent.listNotes.back().iItem, 1);
  EXPECT_EQ(g_parent.listNotes.back().iSubItem, 1);
  // Header: the column under the pointer, whatever the rows.
  SendMessageW(list, WM_LBUTTONDOWN, 0, At(130, 5));
  EXPECT_EQ(g_parent.codes.back(), LVN_COLUMNCLICK);
  EXPECT_EQ(g_parent.listNotes.back().iSubItem, 1);
  EXPECT_EQ(State(list, 1), LVIS_SELECTED | LVIS_FOCUSED);  // unchanged by the header
  // Below the last row: nothing selected.
  SendMessageW(list, WM_LBUTTONDOWN, 0, At(20, 150));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  // Without full-row select only the first column's part of a row is the item.
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, 0);
  SendMessageW(list, WM_LBUTTONDOWN, 0, At(150, rowY));
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  // A header that is no button reports no click.
  HWND plain = Make(WC_LISTVIEWW, LVS_REPORT | LVS_NOSORTHEADER);
  AddColumn(plain, u"Date", 120);
  g_parent.codes.clear();
  SendMessageW(plain, WM_LBUTTONDOWN, 0, At(10, 5));
  EXPECT_TRUE(g_parent.codes.empty());
}

TEST_F(CommonControlsTest, ArrowKeysMoveTheSelection) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL, 300, platform::win::kListHeaderHeight + 3 * platform::win::kListRowHeight);
  for (int i = 0; i < 10; ++i) AddItem(list, u"row");
  struct Case {
    int key;
    int expected;
  };
  const Case steps[] = {{VK_DOWN, 0}, {VK_DOWN, 1}, {VK_END, 9}, {VK_DOWN, 9}, {VK_PRIOR, 6}, {VK_HOME, 0}, {VK_UP, 0}};
  for (const auto& step : steps) {
    g_parent.codes.clear();
    SendMessageW(list, WM_KEYDOWN, static_cast<WPARAM>(step.key), 0);
    EXPECT_EQ(g_parent.codes.front(), LVN_KEYDOWN);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED | LVNI_FOCUSED), step.expected)
        << "key " << step.key;
    int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    EXPECT_TRUE(step.expected >= top && step.expected < top + 3) << "row " << step.expected << " visible";
  }
}

TEST_F(CommonControlsTest, TheWheelAndTheScrollBarMoveTheRowsShown) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT, 300, platform::win::kListHeaderHeight + 4 * platform::win::kListRowHeight);
  for (int i = 0; i < 20; ++i) AddItem(list, u"row");
  auto top = [&] { return static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)); };
  int page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
  ASSERT_GT(page, 0);
  struct Step {
    UINT message;
    WPARAM wParam;
    int expectedTop;
  };
  const Step steps[] = {
      {WM_MOUSEWHEEL, MAKELONG(0, static_cast<WORD>(-WHEEL_DELTA)), 3},
      {WM_VSCROLL, SB_LINEDOWN, 4},
      {WM_VSCROLL, SB_PAGEDOWN, 4 + page},
      {WM_VSCROLL, SB_BOTTOM, 20 - page},
      {WM_VSCROLL, SB_LINEDOWN, 20 - page},  // the last page stays full
      {WM_MOUSEWHEEL, MAKELONG(0, static_cast<WORD>(2 * WHEEL_DELTA)), 20 - page - 6},
      {WM_VSCROLL, SB_TOP, 0},
      {WM_VSCROLL, SB_LINEUP, 0},
  };
  for (const auto& step : steps) {
    SendMessageW(list, step.message, step.wParam, 0);
    EXPECT_EQ(top(), step.expectedTop) << "message " << step.message << " request " << LOWORD(static_cast<DWORD>(step.wParam));
    EXPECT_EQ(GetScrollPos(list, SB_VERT), step.expectedTop);
  }
  // Deleting rows pulls the last page back.
  SendMessageW(list, WM_VSCROLL, SB_BOTTOM, 0);
  for (int i = 0; i < 10; ++i) SendMessageW(list, LVM_DELETEITEM, 0, 0);
  EXPECT_EQ(top(), 10 - page);
  // With redrawing off the bar waits for the changes to end.
  auto range = [&] {
    int low = 0, high = 0;
    GetScrollRange(list, SB_VERT, &low, &high);
    return high;
  };
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < 5; ++i) AddItem(list, u"more");
  EXPECT_EQ(range(), 9);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  EXPECT_EQ(range(), 14);
}

TEST_F(CommonControlsTest, DeletingItemsTellsTheParent) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT);
  for (auto* text : {u"a", u"b", u"c"}) AddItem(list, text);
  EXPECT_TRUE(SendMessageW(list, LVM_DELETEITEM, 1, 0));
  EXPECT_FALSE(SendMessageW(list, LVM_DELETEITEM, 5, 0));
  EXPECT_EQ(TextW(list, 1, 0), u"c");
  g_parent.listNotes.clear();
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  EXPECT_EQ(g_parent.listNotes.size(), 2u);  // one LVN_DELETEITEM per item
  for (auto* text : {u"a", u"b"}) AddItem(list, text);
  g_parent.listNotes.clear();
  g_parent.deleteAllAnswer = TRUE;  // no notification per item wanted
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  EXPECT_TRUE(g_parent.listNotes.empty());
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(CommonControlsTest, LabelEditsEndWithTheTextOrLeaveTheItemAlone) {
  HWND list = Make(WC_LISTVIEWW, LVS_REPORT | LVS_EDITLABELS);
  AddColumn(list, u"Name", 100);
  AddItem(list, u"old");
  auto edit = [&](const std::u16string& typed, int key) {
    auto window = static_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 0, 0));
    if (window == 0) return window;
    EXPECT_EQ(g_parent.editSeenAtBegin, window);  // the parent can reach it as it decides
    EXPECT_EQ(GetFocus(), window);
    SetWindowTextW(window, typed.c_str());
    SendMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0), 0);
    return window;
  };
  struct Case {
    const char* name;
    std::u16string typed;
    int key;
    LRESULT parentAccepts;
    std::u16string told;
    std::u16string caption;
  };
  const Case cases[] = {
      {"Enter keeps the text", u"\u03a9mega", VK_RETURN, TRUE, u"\u03a9mega", u"\u03a9mega"},
      {"Escape cancels", u"lost", VK_ESCAPE, TRUE, u"<null>", u"\u03a9mega"},
      {"a parent that says no", u"refused", VK_RETURN, FALSE, u"refused", u"\u03a9mega"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_parent.endedLabels.clear();
    g_parent.endLabelAnswer = c.parentAccepts;
    ASSERT_NE(edit(c.typed, c.key), 0u);
    EXPECT_EQ(g_parent.endedLabels, std::vector<std::u16string>{c.told});
    EXPECT_EQ(TextW(list, 0, 0), c.caption);
  }
  // A focus lost ends the edit with its text; a parent may refuse the edit at its start.
  auto window = static_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 0, 0));
  g_parent.endLabelAnswer = TRUE;
  SetWindowTextW(window, u"by focus");
  SetFocus(parent_);
  EXPECT_EQ(TextW(list, 0, 0), u"by focus");
  g_parent.refuse = LVN_BEGINLABELEDITW;
  EXPECT_EQ(SendMessageW(list, LVM_EDITLABELW, 0, 0), 0);
  // Lists without editable labels and missing items have none.
  g_parent.refuse = 0;
  EXPECT_EQ(SendMessageW(list, LVM_EDITLABELW, 3, 0), 0);
  HWND plain = Make(WC_LISTVIEWW, LVS_REPORT);
  AddItem(plain, u"x");
  EXPECT_EQ(SendMessageW(plain, LVM_EDITLABELW, 0, 0), 0);
}

TEST_F(CommonControlsTest, VirtualListsFailToBeCreated) {
  SetLastError(0);
  EXPECT_EQ(Make(WC_LISTVIEWW, LVS_REPORT | LVS_OWNERDATA), 0u);
  EXPECT_NE(GetLastError(), 0u);
  INITCOMMONCONTROLSEX wrongSize{3, ICC_LISTVIEW_CLASSES};
  EXPECT_FALSE(InitCommonControlsEx(&wrongSize));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// --- tool bar ----------------------------------------------------------------------------

TBBUTTON Button(int command, INT_PTR string, BYTE style = TBSTYLE_BUTTON, BYTE state = TBSTATE_ENABLED) {
  TBBUTTON button{};
  button.idCommand = command;
  button.iString = string;
  button.fsStyle = style;
  button.fsState = state;
  return button;
}

TEST_F(CommonControlsTest, ToolButtonsTakeWideAndAnsiCaptions) {
  HWND bar = Make(TOOLBARCLASSNAMEW, 0);
  auto first = SendMessageW(bar, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(u"\u00d6ffnen\0\u0417\u0430\u043a\u0440\0"));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(SendMessageA(bar, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>("Save\0")), 2);
  EXPECT_EQ(SendMessageA(bar, TB_ADDSTRINGA, 7, 1), -1);  // strings from a module's resources
  TBBUTTON buttons[] = {Button(10, 0), Button(11, 1), Button(12, 2), Button(13, -1, TBSTYLE_SEP)};
  for (auto& button : buttons) SendMessageW(bar, TB_INSERTBUTTONW, 99, reinterpret_cast<LPARAM>(&button));
  TBBUTTON own = Button(14, reinterpret_cast<INT_PTR>("Fran\xe7" "ais"));
  SendMessageA(bar, TB_INSERTBUTTONA, 99, reinterpret_cast<LPARAM>(&own));
  EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 5);
  struct Case {
    int command;
    std::u16string wide;
    std::string ansi;
  };
  const Case cases[] = {{10, u"\u00d6ffnen", "\xd6" "ffnen"}, {11, u"\u0417\u0430\u043a\u0440", "????"},
                        {12, u"Save", "Save"}, {13, u"", ""}, {14, u"Fran\u00e7ais", "Fran\xe7" "ais"}};
  for (const auto& c : cases) {
    char16_t wide[32] = {};
    EXPECT_EQ(SendMessageW(bar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(c.command), reinterpret_cast<LPARAM>(wide)),
              static_cast<LRESULT>(c.wide.size()));
    EXPECT_EQ(std::u16string(wide), c.wide);
    char ansi[32] = {};
    SendMessageA(bar, TB_GETBUTTONTEXTA, static_cast<WPARAM>(c.command), reinterpret_cast<LPARAM>(ansi));
    EXPECT_EQ(std::string(ansi), c.ansi);
  }
  EXPECT_EQ(SendMessageW(bar, TB_GETBUTTONTEXTW, 99, 0), -1);
}

TEST_F(CommonControlsTest, ToolButtonClicksCommandsAndDropDowns) {
  HWND bar = Make(TOOLBARCLASSNAMEW, TBSTYLE_FLAT, 400, 60);
  SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELONG(50, 40));
  TBBUTTON buttons[] = {Button(1, -1), Button(2, -1, TBSTYLE_DROPDOWN), Button(3, -1, TBSTYLE_CHECK),
                        Button(4, -1, TBSTYLE_BUTTON, 0)};
  for (auto& button : buttons) SendMessageW(bar, TB_INSERTBUTTONW, 99, reinterpret_cast<LPARAM>(&button));
  auto click = [&](int x) {
    SendMessageW(bar, WM_LBUTTONDOWN, 0, At(x, 10));
    SendMessageW(bar, WM_LBUTTONUP, 0, At(x, 10));
  };
  click(10);
  ASSERT_EQ(g_parent.commands.size(), 1u);
  EXPECT_EQ(g_parent.commands[0], MAKELONG(1, BN_CLICKED));
  // A drop-down button without drawn arrows drops down wherever it is pressed.
  click(60);
  EXPECT_EQ(g_parent.dropDownItem, 2);
  EXPECT_EQ(g_parent.commands.size(), 1u);
  // With drawn arrows its main part clicks and its arrow drops down.
  SendMessageW(bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  g_parent.dropDownItem = 0;
  click(60);
  EXPECT_EQ(g_parent.commands.back(), MAKELONG(2, BN_CLICKED));
  click(50 + 50 + platform::win::kDropDownArrowWidth - 3);
  EXPECT_EQ(g_parent.dropDownItem, 2);
  // A check button toggles; a disabled button does nothing; a press released
  // elsewhere is no click.
  int checkX = 50 + 50 + platform::win::kDropDownArrowWidth + 10;
  click(checkX);
  EXPECT_TRUE(SendMessageW(bar, TB_ISBUTTONCHECKED, 3, 0));
  std::size_t before = g_parent.commands.size();
  click(checkX + 50);
  SendMessageW(bar, WM_LBUTTONDOWN, 0, At(10, 10));
  SendMessageW(bar, WM_LBUTTONUP, 0, At(10, 50));
  EXPECT_EQ(g_parent.commands.size(), before);
  EXPECT_FALSE(SendMessageW(bar, TB_ISBUTTONENABLED, 4, 0));
  SendMessageW(bar, TB_ENABLEBUTTON, 4, TRUE);
  click(checkX + 50);
  EXPECT_EQ(g_parent.commands.back(), MAKELONG(4, BN_CLICKED));
}

TEST_F(CommonControlsTest, WrapableToolBarsBreakRowsAtTheirWidth) {
  HWND bar = Make(TOOLBARCLASSNAMEW, TBSTYLE_WRAPABLE, 120, 80);
  SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELONG(50, 30));
  for (int i = 0; i < 5; ++i) {
    TBBUTTON button = Button(i, -1);
    SendMessageW(bar, TB_INSERTBUTTONW, 99, reinterpret_cast<LPARAM>(&button));
  }
  RECT rect;
  SendMessageW(bar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect));
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 30);
  EXPECT_EQ(SendMessageW(bar, TB_GETROWS, 0, 0), 3);
  SendMessageW(bar, TB_HIDEBUTTON, 0, TRUE);
  SendMessageW(bar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect));
  EXPECT_EQ(rect.top, 0);
}

// --- tab control -------------------------------------------------------------------------

TEST_F(CommonControlsTest, TabsChangeByMouseAndKeysUnlessTheParentRefuses) {
  HWND tabs = Make(WC_TABCONTROLW, 0);
  const char16_t* captions[] = {u"Personal", u"\u0421\u0432\u044f\u0437\u044c", u"Job"};
  for (int i = 0; i < 3; ++i) {
    TCITEMW item{TCIF_TEXT | TCIF_PARAM, 0, 0, const_cast<char16_t*>(captions[i]), 0, 0, 100 + i};
    EXPECT_EQ(SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)), i);
  }
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
  char ansi[16];
  TCITEMA itemA{TCIF_TEXT | TCIF_PARAM, 0, 0, ansi, 16, 0, 0};
  SendMessageA(tabs, TCM_GETITEMA, 1, reinterpret_cast<LPARAM>(&itemA));
  EXPECT_STREQ(ansi, "?????");
  EXPECT_EQ(itemA.lParam, 101);
  RECT second;
  ASSERT_TRUE(SendMessageW(tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second)));
  SendMessageW(tabs, WM_LBUTTONDOWN, 0, At(second.left + 3, second.top + 3));
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(g_parent.codes, (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
  g_parent.codes.clear();
  SendMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2);
  SendMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);  // past the last tab: nothing
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2);
  g_parent.refuse = TCN_SELCHANGING;
  g_parent.codes.clear();
  SendMessageW(tabs, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(g_parent.codes, (std::vector<UINT>{TCN_KEYDOWN, TCN_SELCHANGING}));
  // A program's choice is not announced.
  g_parent.codes.clear();
  EXPECT_EQ(SendMessageW(tabs, TCM_SETCURSEL, 0, 0), 2);
  EXPECT_TRUE(g_parent.codes.empty());
  EXPECT_TRUE(SendMessageW(tabs, TCM_DELETEITEM, 0, 0));
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
}

// --- up-down -----------------------------------------------------------------------------

class UpDownTest : public CommonControlsTest {
 protected:
  void SetUp() override {
    CommonControlsTest::SetUp();
    WNDCLASSW text{};
    text.lpfnWndProc = DefWindowProcW;
    text.hInstance = 1;
    text.lpszClassName = u"CcText";
    RegisterClassW(&text);
    buddy_ = CreateWindowExW(0, u"CcText", u"", WS_CHILD | WS_VISIBLE, 10, 10, 60, 20, parent_, 0, 1, nullptr);
    upDown_ = CreateWindowExW(0, UPDOWN_CLASSW, u"", WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS,
                              0, 0, 16, 20, parent_, 0, 0, nullptr);
    SendMessageW(upDown_, UDM_SETBUDDY, buddy_, 0);
    SendMessageW(upDown_, UDM_SETRANGE, 0, MAKELONG(50, 5));
    SendMessageW(upDown_, UDM_SETPOS, 0, MAKELONG(8, 0));
  }
  void TearDown() override {
    DestroyWindow(upDown_);
    DestroyWindow(buddy_);
    CommonControlsTest::TearDown();
    UnregisterClassW(u"CcText", 1);
  }
  std::u16string BuddyText() {
    char16_t text[32] = {};
    GetWindowTextW(buddy_, text, 32);
    return text;
  }
  int Position() { return static_cast<short>(LOWORD(static_cast<DWORD>(SendMessageW(upDown_, UDM_GETPOS, 0, 0)))); }
  void ClickArrow(bool up) {
    SendMessageW(upDown_, WM_LBUTTONDOWN, 0, At(5, up ? 2 : 18));
    SendMessageW(upDown_, WM_LBUTTONUP, 0, At(5, up ? 2 : 18));
  }
  HWND buddy_ = 0, upDown_ = 0;
};

TEST_F(UpDownTest, AssociatedTextShowsThePositionAndSitsBesideTheArrows) {
  EXPECT_EQ(BuddyText(), u"8");
  EXPECT_EQ(SendMessageW(upDown_, UDM_GETRANGE, 0, 0), MAKELONG(50, 5));
  RECT buddy, arrows;
  GetWindowRect(buddy_, &buddy);
  GetWindowRect(upDown_, &arrows);
  EXPECT_EQ(buddy.right - buddy.left, 44);
  EXPECT_EQ(arrows.left, buddy.right);
  // A position outside the range is held at its edge.
  SendMessageW(upDown_, UDM_SETPOS, 0, MAKELONG(70, 0));
  EXPECT_EQ(BuddyText(), u"50");
}

TEST_F(UpDownTest, ArrowsStepWithinTheRangeAndTellTheParent) {
  ClickArrow(true);
  EXPECT_EQ(Position(), 9);
  EXPECT_EQ(BuddyText(), u"9");
  ASSERT_EQ(g_parent.upDownNotes.size(), 1u);
  EXPECT_EQ(g_parent.upDownNotes[0].iPos, 8);
  EXPECT_EQ(g_parent.upDownNotes[0].iDelta, 1);
  EXPECT_EQ(g_parent.scrolls, (std::vector<WPARAM>{MAKELONG(SB_THUMBPOSITION, 9), MAKELONG(SB_ENDSCROLL, 9)}));
  // Typed text is taken up by the next step; the lower end holds.
  SetWindowTextW(buddy_, u"6");
  for (int i = 0; i < 4; ++i) ClickArrow(false);
  EXPECT_EQ(Position(), 5);
  // The buddy's own arrow keys step too.
  SendMessageW(buddy_, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(BuddyText(), u"6");
  // The parent may refuse a step.
  g_parent.refuse = UDN_DELTAPOS;
  ClickArrow(true);
  EXPECT_EQ(Position(), 6);
}

TEST_F(UpDownTest, TextThatIsNoPositionIsReportedAndThousandsAreGrouped) {
  struct Case {
    std::u16string text;
    bool error;
    int position;
  };
  const Case cases[] = {{u"12", false, 12}, {u"abc", true, 12}, {u"", true, 12}, {u"51", true, 12}, {u"-", true, 12}};
  for (const auto& c : cases) {
    SetWindowTextW(buddy_, c.text.c_str());
    auto answer = static_cast<DWORD>(SendMessageW(upDown_, UDM_GETPOS, 0, 0));
    EXPECT_EQ(HIWORD(answer) != 0, c.error) << "text " << platform::WideToAnsi(c.text);
    EXPECT_EQ(LOWORD(answer), c.position);
  }
  SendMessageW(upDown_, UDM_SETRANGE32, -2000000, 2000000);
  const std::pair<int, std::u16string> shown[] = {
      {999, u"999"}, {-1000, u"-1,000"}, {123456, u"123,456"}, {-1234567, u"-1,234,567"}, {12345, u"12,345"}};
  for (const auto& [position, text] : shown) {
    SendMessageW(upDown_, UDM_SETPOS32, 0, position);
    EXPECT_EQ(BuddyText(), text) << position;
  }
  BOOL error = TRUE;
  EXPECT_EQ(SendMessageW(upDown_, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)), 12345);
  EXPECT_FALSE(error);
  // Destroying the up-down takes its hook off the buddy, whose keys then do nothing.
  DestroyWindow(upDown_);
  upDown_ = 0;
  SendMessageW(buddy_, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(BuddyText(), u"12,345");
}

}  // namespace
