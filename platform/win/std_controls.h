// The system's standard control classes "EDIT", "COMBOBOX" (with its list
// "ComboLBox"), "BUTTON" and "STATIC": global classes whose windows are ANSI or
// Unicode as the call that creates them, with their messages, notifications to the
// parent (WM_COMMAND), keyboard and mouse behaviour. Edits cut, copy and paste through
// the clipboard (WM_CUT, WM_COPY, WM_PASTE; Ctrl+X, C, V, Shift+Del, Ctrl+Ins and
// Shift+Ins send them). Drawing belongs to the drawing
// layer, which installs the painter (StdControlDrawing) the controls call at WM_PAINT.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

inline constexpr UINT WM_CUT = 0x0300;
inline constexpr UINT WM_COPY = 0x0301;
inline constexpr UINT WM_PASTE = 0x0302;
// A window draws itself (WM_PRINT) or its client area (WM_PRINTCLIENT) into the DC
// in wParam; lParam holds the PRF_ flags.
inline constexpr UINT WM_PRINT = 0x0317;
inline constexpr UINT WM_PRINTCLIENT = 0x0318;
inline constexpr LPARAM PRF_CHECKVISIBLE = 0x0001;
inline constexpr LPARAM PRF_NONCLIENT = 0x0002;
inline constexpr LPARAM PRF_CLIENT = 0x0004;
inline constexpr UINT WM_CLEAR = 0x0303;

// WM_GETDLGCODE answers.
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTTAB = 0x0002;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_HASSETSEL = 0x0008;
inline constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
inline constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
inline constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;
inline constexpr LRESULT DLGC_STATIC = 0x0100;
inline constexpr LRESULT DLGC_BUTTON = 0x2000;

// Edit styles, messages and notifications.
inline constexpr DWORD ES_LEFT = 0x0000;
inline constexpr DWORD ES_CENTER = 0x0001;
inline constexpr DWORD ES_RIGHT = 0x0002;
inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_UPPERCASE = 0x0008;
inline constexpr DWORD ES_LOWERCASE = 0x0010;
inline constexpr DWORD ES_PASSWORD = 0x0020;
inline constexpr DWORD ES_AUTOVSCROLL = 0x0040;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_NOHIDESEL = 0x0100;
inline constexpr DWORD ES_READONLY = 0x0800;
inline constexpr DWORD ES_WANTRETURN = 0x1000;
inline constexpr DWORD ES_NUMBER = 0x2000;

inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
// The formatting rectangle: where an edit lays out its text (client coordinates).
inline constexpr UINT EM_GETRECT = 0x00B2;
inline constexpr UINT EM_SETRECT = 0x00B3;
inline constexpr UINT EM_SETRECTNP = 0x00B4;
inline constexpr UINT EM_SCROLLCARET = 0x00B7;
inline constexpr UINT EM_GETMODIFY = 0x00B8;
inline constexpr UINT EM_SETMODIFY = 0x00B9;
inline constexpr UINT EM_GETLINECOUNT = 0x00BA;
inline constexpr UINT EM_LINEINDEX = 0x00BB;
inline constexpr UINT EM_LINELENGTH = 0x00C1;
inline constexpr UINT EM_REPLACESEL = 0x00C2;
inline constexpr UINT EM_GETLINE = 0x00C4;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;
inline constexpr UINT EM_SETLIMITTEXT = EM_LIMITTEXT;
inline constexpr UINT EM_CANUNDO = 0x00C6;
inline constexpr UINT EM_UNDO = 0x00C7;
inline constexpr UINT EM_LINEFROMCHAR = 0x00C9;
inline constexpr UINT EM_SETPASSWORDCHAR = 0x00CC;
inline constexpr UINT EM_EMPTYUNDOBUFFER = 0x00CD;
inline constexpr UINT EM_SETREADONLY = 0x00CF;
inline constexpr UINT EM_GETPASSWORDCHAR = 0x00D2;
inline constexpr UINT EM_SETMARGINS = 0x00D3;
inline constexpr UINT EM_GETLIMITTEXT = 0x00D5;

inline constexpr WORD EN_SETFOCUS = 0x0100;
inline constexpr WORD EN_KILLFOCUS = 0x0200;
inline constexpr WORD EN_CHANGE = 0x0300;
inline constexpr WORD EN_UPDATE = 0x0400;
inline constexpr WORD EN_MAXTEXT = 0x0501;

// Combo box styles, messages and notifications.
inline constexpr DWORD CBS_SIMPLE = 0x0001;
inline constexpr DWORD CBS_DROPDOWN = 0x0002;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x0003;
inline constexpr DWORD CBS_OWNERDRAWFIXED = 0x0010;
inline constexpr DWORD CBS_OWNERDRAWVARIABLE = 0x0020;
inline constexpr DWORD CBS_AUTOHSCROLL = 0x0040;
inline constexpr DWORD CBS_SORT = 0x0100;
inline constexpr DWORD CBS_HASSTRINGS = 0x0200;

inline constexpr UINT CB_GETEDITSEL = 0x0140;
inline constexpr UINT CB_LIMITTEXT = 0x0141;
inline constexpr UINT CB_SETEDITSEL = 0x0142;
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_DELETESTRING = 0x0144;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_INSERTSTRING = 0x014A;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_FINDSTRING = 0x014C;
inline constexpr UINT CB_SELECTSTRING = 0x014D;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr UINT CB_SHOWDROPDOWN = 0x014F;
inline constexpr UINT CB_GETITEMDATA = 0x0150;
inline constexpr UINT CB_SETITEMDATA = 0x0151;
inline constexpr UINT CB_SETITEMHEIGHT = 0x0153;
inline constexpr UINT CB_GETITEMHEIGHT = 0x0154;
inline constexpr UINT CB_GETDROPPEDSTATE = 0x0157;
inline constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
inline constexpr LRESULT CB_OKAY = 0;
inline constexpr LRESULT CB_ERR = -1;
inline constexpr LRESULT CB_ERRSPACE = -2;

inline constexpr WORD CBN_SELCHANGE = 1;
inline constexpr WORD CBN_DBLCLK = 2;
inline constexpr WORD CBN_SETFOCUS = 3;
inline constexpr WORD CBN_KILLFOCUS = 4;
inline constexpr WORD CBN_EDITCHANGE = 5;
inline constexpr WORD CBN_EDITUPDATE = 6;
inline constexpr WORD CBN_DROPDOWN = 7;
inline constexpr WORD CBN_CLOSEUP = 8;
inline constexpr WORD CBN_SELENDOK = 9;
inline constexpr WORD CBN_SELENDCANCEL = 10;

// Owner-drawn combo boxes ask their parent to draw each item (WM_DRAWITEM with a
// DRAWITEMSTRUCT of menus.h).
inline constexpr UINT ODT_COMBOBOX = 3;
inline constexpr UINT ODS_COMBOBOXEDIT = 0x1000;

struct COMBOBOXINFO {
  DWORD cbSize;
  RECT rcItem;
  RECT rcButton;
  DWORD stateButton;
  HWND hwndCombo;
  HWND hwndItem;
  HWND hwndList;
};
BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info);

// Button styles, messages, states and notifications.
inline constexpr DWORD BS_PUSHBUTTON = 0x0000;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
inline constexpr DWORD BS_CHECKBOX = 0x0002;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
inline constexpr DWORD BS_RADIOBUTTON = 0x0004;
inline constexpr DWORD BS_3STATE = 0x0005;
inline constexpr DWORD BS_AUTO3STATE = 0x0006;
inline constexpr DWORD BS_GROUPBOX = 0x0007;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
inline constexpr DWORD BS_OWNERDRAW = 0x000B;
inline constexpr DWORD BS_TYPEMASK = 0x000F;
inline constexpr DWORD BS_LEFTTEXT = 0x0020;
inline constexpr DWORD BS_PUSHLIKE = 0x1000;
inline constexpr DWORD BS_MULTILINE = 0x2000;
inline constexpr DWORD BS_NOTIFY = 0x4000;

inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_GETSTATE = 0x00F2;
inline constexpr UINT BM_SETSTATE = 0x00F3;
inline constexpr UINT BM_SETSTYLE = 0x00F4;
inline constexpr UINT BM_CLICK = 0x00F5;

inline constexpr WPARAM BST_UNCHECKED = 0x0000;
inline constexpr WPARAM BST_CHECKED = 0x0001;
inline constexpr WPARAM BST_INDETERMINATE = 0x0002;
inline constexpr WPARAM BST_PUSHED = 0x0004;
inline constexpr WPARAM BST_FOCUS = 0x0008;

inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD BN_DOUBLECLICKED = 5;
inline constexpr WORD BN_SETFOCUS = 6;
inline constexpr WORD BN_KILLFOCUS = 7;

// Static styles and notifications.
inline constexpr DWORD SS_LEFT = 0x0000;
inline constexpr DWORD SS_CENTER = 0x0001;
inline constexpr DWORD SS_RIGHT = 0x0002;
inline constexpr DWORD SS_TYPEMASK = 0x001F;
inline constexpr DWORD SS_NOPREFIX = 0x0080;
inline constexpr DWORD SS_NOTIFY = 0x0100;
inline constexpr WORD STN_CLICKED = 0;

namespace platform::win {

// The gap between an edit's edge and its text.
inline constexpr int kEditTextMargin = 3;

// What the drawing layer needs to draw one standard control.
struct StdControlView {
  enum class Kind { Edit, ComboBox, ComboList, Button, Static } kind;
  DWORD style = 0;
  bool enabled = true;
  bool focused = false;
  HFONT font = 0;
  // Edits: the shown text (password characters in place), the selection and caret.
  // Buttons and statics: the caption. Combo boxes: the shown text.
  std::u16string text;
  int selStart = 0, selEnd = 0, caret = 0;
  // Edits: where the text is laid out; empty for the default margins.
  RECT formatRect{};
  // Buttons: BST_* check state and whether it is pushed in.
  WPARAM check = 0;
  bool pushed = false;
  // Combo boxes and their list: the items, the current one, the hot one in the list.
  std::vector<std::u16string> items;
  std::vector<LPARAM> itemData;
  HWND combo = 0;  // the combo box a list belongs to (itself for a combo box)
  int current = -1;
  int hot = -1;
  int itemHeight = 16;
  bool hasEdit = false;  // the text is drawn by the edit child
};

// The painter draws into `dc` when it is given (a WM_PAINT with a DC in wParam),
// else paints the window's update area itself. The measurer gives the width of a
// text in a font and the font's line height, for placing the caret from a point.
struct StdControlDrawing {
  void (*paint)(HWND window, HDC dc, const StdControlView& view) = nullptr;
  int (*textWidth)(HFONT font, std::u16string_view text) = nullptr;
  int (*lineHeight)(HFONT font) = nullptr;
};
void SetStdControlDrawing(const StdControlDrawing& drawing);

namespace detail {

// Registers the standard control classes (the window system calls it once).
void RegisterStandardControlClasses();
// A global class whose windows take the character set of the creating call.
ATOM RegisterSystemClass(const WNDCLASSW* wndClass);

}  // namespace detail

}  // namespace platform::win
