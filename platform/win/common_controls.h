// The common controls: the report list view ("SysListView32"), the tool bar
// ("ToolbarWindow32"), the tab control ("SysTabControl32") and the up-down control
// ("msctls_updown32"). InitCommonControlsEx registers their classes as global classes
// of the system; each window keeps its state by handle, answers its messages in their
// ANSI and wide forms, and tells its parent of changes by WM_NOTIFY (wide codes when
// the parent asked for them by WM_NOTIFYFORMAT or CCM_SETUNICODEFORMAT, else ANSI
// ones) and WM_COMMAND. Keyboard and mouse work as the system's controls do; pictures
// come from the drawing layer, which installs the painting (see SetCommonControlDrawing).
#pragma once

#include <string>

#include "platform/base/types.h"
#include "platform/win/scroll.h"
#include "platform/win/std_controls.h"
#include "platform/win/window.h"

using HIMAGELIST = std::uint32_t;

// --- set-up -------------------------------------------------------------------------

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
inline constexpr DWORD ICC_LISTVIEW_CLASSES = 0x00000001;
inline constexpr DWORD ICC_BAR_CLASSES = 0x00000004;
inline constexpr DWORD ICC_TAB_CLASSES = 0x00000008;
inline constexpr DWORD ICC_UPDOWN_CLASS = 0x00000010;
inline constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;

// Registers the classes the flags name (again after an unregistration); FALSE with
// ERROR_INVALID_PARAMETER for a record of the wrong size.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void InitCommonControls();

inline constexpr const char16_t* WC_LISTVIEWW = u"SysListView32";
inline constexpr const char16_t* TOOLBARCLASSNAMEW = u"ToolbarWindow32";
inline constexpr const char16_t* WC_TABCONTROLW = u"SysTabControl32";
inline constexpr const char16_t* UPDOWN_CLASSW = u"msctls_updown32";
inline constexpr const char* WC_LISTVIEWA = "SysListView32";
inline constexpr const char* TOOLBARCLASSNAMEA = "ToolbarWindow32";
inline constexpr const char* WC_TABCONTROLA = "SysTabControl32";
inline constexpr const char* UPDOWN_CLASSA = "msctls_updown32";

// --- notifications ------------------------------------------------------------------

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};

inline constexpr UINT WM_NOTIFYFORMAT = 0x0055;
inline constexpr LPARAM NF_QUERY = 3;
inline constexpr LPARAM NF_REQUERY = 4;
inline constexpr LRESULT NFR_ANSI = 1;
inline constexpr LRESULT NFR_UNICODE = 2;

inline constexpr UINT CCM_FIRST = 0x2000;
inline constexpr UINT CCM_SETUNICODEFORMAT = CCM_FIRST + 5;
inline constexpr UINT CCM_GETUNICODEFORMAT = CCM_FIRST + 6;

inline constexpr UINT NM_CLICK = static_cast<UINT>(-2);
inline constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
inline constexpr UINT NM_RETURN = static_cast<UINT>(-4);
inline constexpr UINT NM_RCLICK = static_cast<UINT>(-5);
inline constexpr UINT NM_SETFOCUS = static_cast<UINT>(-7);
inline constexpr UINT NM_KILLFOCUS = static_cast<UINT>(-8);


// --- list view ----------------------------------------------------------------------

inline constexpr DWORD LVS_ICON = 0x0000;
inline constexpr DWORD LVS_REPORT = 0x0001;
inline constexpr DWORD LVS_SMALLICON = 0x0002;
inline constexpr DWORD LVS_LIST = 0x0003;
inline constexpr DWORD LVS_TYPEMASK = 0x0003;
inline constexpr DWORD LVS_SINGLESEL = 0x0004;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
inline constexpr DWORD LVS_SHAREIMAGELISTS = 0x0040;
inline constexpr DWORD LVS_EDITLABELS = 0x0200;
inline constexpr DWORD LVS_OWNERDATA = 0x1000;
inline constexpr DWORD LVS_NOCOLUMNHEADER = 0x4000;
inline constexpr DWORD LVS_NOSORTHEADER = 0x8000;

inline constexpr DWORD LVS_EX_GRIDLINES = 0x00000001;
inline constexpr DWORD LVS_EX_SUBITEMIMAGES = 0x00000002;
inline constexpr DWORD LVS_EX_FULLROWSELECT = 0x00000020;
inline constexpr DWORD LVS_EX_INFOTIP = 0x00000400;

// Tree-view queries; an item handle (HTREEITEM) names a tree node.
using HTREEITEM = void*;
inline constexpr UINT TV_FIRST = 0x1100;
inline constexpr UINT TVM_GETITEMRECT = TV_FIRST + 4;
inline constexpr UINT TVM_GETNEXTITEM = TV_FIRST + 10;
inline constexpr UINT TVM_GETITEMA = TV_FIRST + 12;
inline constexpr WPARAM TVGN_ROOT = 0, TVGN_NEXT = 1, TVGN_PREVIOUS = 2, TVGN_PARENT = 3, TVGN_CHILD = 4,
                        TVGN_FIRSTVISIBLE = 5, TVGN_NEXTVISIBLE = 6, TVGN_PREVIOUSVISIBLE = 7,
                        TVGN_DROPHILITE = 8, TVGN_CARET = 9, TVGN_LASTVISIBLE = 10;
inline constexpr UINT TVIF_TEXT = 0x0001, TVIF_IMAGE = 0x0002, TVIF_STATE = 0x0008, TVIF_HANDLE = 0x0010,
                      TVIF_SELECTEDIMAGE = 0x0020, TVIF_CHILDREN = 0x0040;
inline constexpr UINT TVIS_FOCUSED = 0x0001, TVIS_SELECTED = 0x0002, TVIS_CUT = 0x0004,
                      TVIS_DROPHILITED = 0x0008, TVIS_EXPANDED = 0x0020;
struct TVITEMA {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  char* pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;
};

inline constexpr UINT LVM_FIRST = 0x1000;
inline constexpr UINT LVM_GETBKCOLOR = LVM_FIRST + 0;
inline constexpr UINT LVM_SETBKCOLOR = LVM_FIRST + 1;
inline constexpr UINT LVM_GETIMAGELIST = LVM_FIRST + 2;
inline constexpr UINT LVM_SETIMAGELIST = LVM_FIRST + 3;
inline constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
inline constexpr UINT LVM_GETITEMA = LVM_FIRST + 5;
inline constexpr UINT LVM_SETITEMA = LVM_FIRST + 6;
inline constexpr UINT LVM_INSERTITEMA = LVM_FIRST + 7;
inline constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
inline constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
inline constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
inline constexpr UINT LVM_GETITEMRECT = LVM_FIRST + 14;
inline constexpr UINT LVM_HITTEST = LVM_FIRST + 18;
inline constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 19;
inline constexpr UINT LVM_EDITLABELA = LVM_FIRST + 23;
inline constexpr UINT LVM_GETEDITCONTROL = LVM_FIRST + 24;
inline constexpr UINT LVM_GETCOLUMNA = LVM_FIRST + 25;
inline constexpr UINT LVM_SETCOLUMNA = LVM_FIRST + 26;
inline constexpr UINT LVM_INSERTCOLUMNA = LVM_FIRST + 27;
inline constexpr UINT LVM_DELETECOLUMN = LVM_FIRST + 28;
inline constexpr UINT LVM_GETCOLUMNWIDTH = LVM_FIRST + 29;
inline constexpr UINT LVM_SETCOLUMNWIDTH = LVM_FIRST + 30;
inline constexpr UINT LVM_GETTEXTCOLOR = LVM_FIRST + 35;
inline constexpr UINT LVM_SETTEXTCOLOR = LVM_FIRST + 36;
inline constexpr UINT LVM_GETTOPINDEX = LVM_FIRST + 39;
inline constexpr UINT LVM_GETCOUNTPERPAGE = LVM_FIRST + 40;
inline constexpr UINT LVM_UPDATE = LVM_FIRST + 42;
inline constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;
inline constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;
inline constexpr UINT LVM_GETITEMTEXTA = LVM_FIRST + 45;
inline constexpr UINT LVM_SETITEMTEXTA = LVM_FIRST + 46;
inline constexpr UINT LVM_SETITEMCOUNT = LVM_FIRST + 47;
inline constexpr UINT LVM_SORTITEMS = LVM_FIRST + 48;
inline constexpr UINT LVM_GETSELECTEDCOUNT = LVM_FIRST + 50;
inline constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
inline constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55;
inline constexpr UINT LVM_GETITEMW = LVM_FIRST + 75;
inline constexpr UINT LVM_SETITEMW = LVM_FIRST + 76;
inline constexpr UINT LVM_INSERTITEMW = LVM_FIRST + 77;
inline constexpr UINT LVM_GETCOLUMNW = LVM_FIRST + 95;
inline constexpr UINT LVM_SETCOLUMNW = LVM_FIRST + 96;
inline constexpr UINT LVM_INSERTCOLUMNW = LVM_FIRST + 97;
inline constexpr UINT LVM_GETITEMTEXTW = LVM_FIRST + 115;
inline constexpr UINT LVM_SETITEMTEXTW = LVM_FIRST + 116;
inline constexpr UINT LVM_EDITLABELW = LVM_FIRST + 118;

inline constexpr UINT LVN_FIRST = static_cast<UINT>(-100);
inline constexpr UINT LVN_ITEMCHANGING = LVN_FIRST - 0;
inline constexpr UINT LVN_ITEMCHANGED = LVN_FIRST - 1;
inline constexpr UINT LVN_INSERTITEM = LVN_FIRST - 2;
inline constexpr UINT LVN_DELETEITEM = LVN_FIRST - 3;
inline constexpr UINT LVN_DELETEALLITEMS = LVN_FIRST - 4;
inline constexpr UINT LVN_BEGINLABELEDITA = LVN_FIRST - 5;
inline constexpr UINT LVN_ENDLABELEDITA = LVN_FIRST - 6;
inline constexpr UINT LVN_COLUMNCLICK = LVN_FIRST - 8;
inline constexpr UINT LVN_GETDISPINFOA = LVN_FIRST - 50;
inline constexpr UINT LVN_ODFINDITEMA = LVN_FIRST - 52;
inline constexpr UINT LVN_KEYDOWN = LVN_FIRST - 55;
inline constexpr UINT LVN_GETINFOTIPA = LVN_FIRST - 57;
inline constexpr UINT LVN_GETINFOTIPW = LVN_FIRST - 58;
inline constexpr UINT LVN_BEGINLABELEDITW = LVN_FIRST - 75;
inline constexpr UINT LVN_ENDLABELEDITW = LVN_FIRST - 76;
inline constexpr UINT LVN_GETDISPINFOW = LVN_FIRST - 77;
inline constexpr UINT LVN_ODFINDITEMW = LVN_FIRST - 79;

inline constexpr UINT LVIF_TEXT = 0x0001;
inline constexpr UINT LVIF_IMAGE = 0x0002;
inline constexpr UINT LVIF_PARAM = 0x0004;
inline constexpr UINT LVIF_STATE = 0x0008;
inline constexpr UINT LVIF_INDENT = 0x0010;

inline constexpr UINT LVIS_FOCUSED = 0x0001;
inline constexpr UINT LVIS_SELECTED = 0x0002;
inline constexpr UINT LVIS_CUT = 0x0004;
inline constexpr UINT LVIS_DROPHILITED = 0x0008;
inline constexpr UINT LVIS_OVERLAYMASK = 0x0F00;
inline constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;

inline constexpr int LVNI_ALL = 0x0000;
inline constexpr int LVNI_FOCUSED = 0x0001;
inline constexpr int LVNI_SELECTED = 0x0002;

inline constexpr int LVIR_BOUNDS = 0;
inline constexpr int LVIR_LABEL = 2;

// A text pointer of -1 asks the parent for the text each time it is needed
// (LVN_GETDISPINFO).
inline char* const LPSTR_TEXTCALLBACKA = reinterpret_cast<char*>(static_cast<std::intptr_t>(-1));
inline char16_t* const LPSTR_TEXTCALLBACKW = reinterpret_cast<char16_t*>(static_cast<std::intptr_t>(-1));

template <typename Char>
struct LVITEMT {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  Char* pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
  int iIndent;
};
using LVITEMA = LVITEMT<char>;
using LVITEMW = LVITEMT<char16_t>;

inline constexpr UINT LVCF_FMT = 0x0001;
inline constexpr UINT LVCF_WIDTH = 0x0002;
inline constexpr UINT LVCF_TEXT = 0x0004;
inline constexpr UINT LVCF_SUBITEM = 0x0008;
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_RIGHT = 1;
inline constexpr int LVCFMT_CENTER = 2;
inline constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;

template <typename Char>
struct LVCOLUMNT {
  UINT mask;
  int fmt;
  int cx;
  Char* pszText;
  int cchTextMax;
  int iSubItem;
};
using LVCOLUMNA = LVCOLUMNT<char>;
using LVCOLUMNW = LVCOLUMNT<char16_t>;

inline constexpr UINT LVHT_NOWHERE = 0x0001;
inline constexpr UINT LVHT_ONITEMLABEL = 0x0004;
inline constexpr UINT LVHT_ONITEM = 0x000E;

struct LVHITTESTINFO {
  POINT pt;
  UINT flags;
  int iItem;
  int iSubItem;
};

struct NMLISTVIEW {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
};

template <typename Char>
struct NMLVDISPINFOT {
  NMHDR hdr;
  LVITEMT<Char> item;
};
using NMLVDISPINFOA = NMLVDISPINFOT<char>;
using NMLVDISPINFOW = NMLVDISPINFOT<char16_t>;

struct NMLVKEYDOWN {
  NMHDR hdr;
  WORD wVKey;
  UINT flags;
};

// Negative, zero or positive for the items' lParam values; the third value is the
// one given with LVM_SORTITEMS.
using PFNLVCOMPARE = int (*)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

// --- tool bar -----------------------------------------------------------------------

inline constexpr DWORD CCS_TOP = 0x0001;
inline constexpr DWORD CCS_NORESIZE = 0x0004;
inline constexpr DWORD CCS_NOPARENTALIGN = 0x0008;
inline constexpr DWORD CCS_NODIVIDER = 0x0040;
inline constexpr DWORD TBSTYLE_TOOLTIPS = 0x0100;
inline constexpr DWORD TBSTYLE_WRAPABLE = 0x0200;
inline constexpr DWORD TBSTYLE_FLAT = 0x0800;
inline constexpr DWORD TBSTYLE_LIST = 0x1000;
inline constexpr DWORD TBSTYLE_EX_DRAWDDARROWS = 0x00000001;

inline constexpr BYTE TBSTATE_CHECKED = 0x01;
inline constexpr BYTE TBSTATE_PRESSED = 0x02;
inline constexpr BYTE TBSTATE_ENABLED = 0x04;
inline constexpr BYTE TBSTATE_HIDDEN = 0x08;
inline constexpr BYTE TBSTATE_WRAP = 0x20;

inline constexpr BYTE TBSTYLE_BUTTON = 0x00;
inline constexpr BYTE TBSTYLE_SEP = 0x01;
inline constexpr BYTE TBSTYLE_CHECK = 0x02;
inline constexpr BYTE TBSTYLE_GROUP = 0x04;
inline constexpr BYTE TBSTYLE_DROPDOWN = 0x08;
inline constexpr BYTE TBSTYLE_AUTOSIZE = 0x10;

struct TBBUTTON {
  int iBitmap;
  int idCommand;
  BYTE fsState;
  BYTE fsStyle;
  BYTE bReserved[6];
  DWORD_PTR dwData;
  INT_PTR iString;  // an index into the tool bar's strings
};

inline constexpr UINT TB_ENABLEBUTTON = WM_USER + 1;
inline constexpr UINT TB_CHECKBUTTON = WM_USER + 2;
inline constexpr UINT TB_PRESSBUTTON = WM_USER + 3;
inline constexpr UINT TB_HIDEBUTTON = WM_USER + 4;
inline constexpr UINT TB_ISBUTTONENABLED = WM_USER + 9;
inline constexpr UINT TB_ISBUTTONCHECKED = WM_USER + 10;
inline constexpr UINT TB_ISBUTTONHIDDEN = WM_USER + 12;
inline constexpr UINT TB_SETSTATE = WM_USER + 17;
inline constexpr UINT TB_GETSTATE = WM_USER + 18;
inline constexpr UINT TB_INSERTBUTTONA = WM_USER + 21;
inline constexpr UINT TB_DELETEBUTTON = WM_USER + 22;
inline constexpr UINT TB_GETBUTTON = WM_USER + 23;
inline constexpr UINT TB_BUTTONCOUNT = WM_USER + 24;
inline constexpr UINT TB_COMMANDTOINDEX = WM_USER + 25;
inline constexpr UINT TB_ADDSTRINGA = WM_USER + 28;
inline constexpr UINT TB_GETITEMRECT = WM_USER + 29;
inline constexpr UINT TB_BUTTONSTRUCTSIZE = WM_USER + 30;
inline constexpr UINT TB_SETBUTTONSIZE = WM_USER + 31;
inline constexpr UINT TB_AUTOSIZE = WM_USER + 33;
inline constexpr UINT TB_GETROWS = WM_USER + 40;
inline constexpr UINT TB_GETBUTTONTEXTA = WM_USER + 45;
inline constexpr UINT TB_SETIMAGELIST = WM_USER + 48;
inline constexpr UINT TB_GETIMAGELIST = WM_USER + 49;
inline constexpr UINT TB_SETHOTIMAGELIST = WM_USER + 52;
inline constexpr UINT TB_GETHOTIMAGELIST = WM_USER + 53;
inline constexpr UINT TB_SETDISABLEDIMAGELIST = WM_USER + 54;
inline constexpr UINT TB_GETDISABLEDIMAGELIST = WM_USER + 55;
inline constexpr UINT TB_SETSTYLE = WM_USER + 56;
inline constexpr UINT TB_GETSTYLE = WM_USER + 57;
inline constexpr UINT TB_GETBUTTONSIZE = WM_USER + 58;
inline constexpr UINT TB_SETMAXTEXTROWS = WM_USER + 60;
inline constexpr UINT TB_INSERTBUTTONW = WM_USER + 67;
inline constexpr UINT TB_HITTEST = WM_USER + 69;
inline constexpr UINT TB_GETHOTITEM = WM_USER + 71;
inline constexpr UINT TB_GETBUTTONTEXTW = WM_USER + 75;
inline constexpr UINT TB_ADDSTRINGW = WM_USER + 77;
inline constexpr UINT TB_SETEXTENDEDSTYLE = WM_USER + 84;
inline constexpr UINT TB_GETEXTENDEDSTYLE = WM_USER + 85;

inline constexpr UINT TBN_FIRST = static_cast<UINT>(-700);
inline constexpr UINT TBN_DROPDOWN = TBN_FIRST - 10;
inline constexpr LRESULT TBDDRET_DEFAULT = 0;

struct NMTOOLBARA {
  NMHDR hdr;
  int iItem;
  TBBUTTON tbButton;
  int cchText;
  char* pszText;
  RECT rcButton;
};

// --- tab control --------------------------------------------------------------------

inline constexpr UINT TCM_FIRST = 0x1300;
inline constexpr UINT TCM_GETITEMCOUNT = TCM_FIRST + 4;
inline constexpr UINT TCM_GETITEMA = TCM_FIRST + 5;
inline constexpr UINT TCM_SETITEMA = TCM_FIRST + 6;
inline constexpr UINT TCM_INSERTITEMA = TCM_FIRST + 7;
inline constexpr UINT TCM_DELETEITEM = TCM_FIRST + 8;
inline constexpr UINT TCM_DELETEALLITEMS = TCM_FIRST + 9;
inline constexpr UINT TCM_GETITEMRECT = TCM_FIRST + 10;
inline constexpr UINT TCM_GETCURSEL = TCM_FIRST + 11;
inline constexpr UINT TCM_SETCURSEL = TCM_FIRST + 12;
inline constexpr UINT TCM_HITTEST = TCM_FIRST + 13;
inline constexpr UINT TCM_ADJUSTRECT = TCM_FIRST + 40;
inline constexpr UINT TCM_GETITEMW = TCM_FIRST + 60;
inline constexpr UINT TCM_SETITEMW = TCM_FIRST + 61;
inline constexpr UINT TCM_INSERTITEMW = TCM_FIRST + 62;

inline constexpr UINT TCIF_TEXT = 0x0001;
inline constexpr UINT TCIF_IMAGE = 0x0002;
inline constexpr UINT TCIF_PARAM = 0x0008;

template <typename Char>
struct TCITEMT {
  UINT mask;
  DWORD dwState;
  DWORD dwStateMask;
  Char* pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};
using TCITEMA = TCITEMT<char>;
using TCITEMW = TCITEMT<char16_t>;

inline constexpr UINT TCHT_NOWHERE = 0x0001;
inline constexpr UINT TCHT_ONITEM = 0x0006;
struct TCHITTESTINFO {
  POINT pt;
  UINT flags;
};

inline constexpr UINT TCN_FIRST = static_cast<UINT>(-550);
inline constexpr UINT TCN_KEYDOWN = TCN_FIRST - 0;
inline constexpr UINT TCN_SELCHANGE = TCN_FIRST - 1;
inline constexpr UINT TCN_SELCHANGING = TCN_FIRST - 2;

// --- up-down ------------------------------------------------------------------------

inline constexpr DWORD UDS_WRAP = 0x0001;
inline constexpr DWORD UDS_SETBUDDYINT = 0x0002;
inline constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
inline constexpr DWORD UDS_ALIGNLEFT = 0x0008;
inline constexpr DWORD UDS_ARROWKEYS = 0x0020;
inline constexpr DWORD UDS_HORZ = 0x0040;
inline constexpr DWORD UDS_NOTHOUSANDS = 0x0080;

inline constexpr UINT UDM_SETRANGE = WM_USER + 101;
inline constexpr UINT UDM_GETRANGE = WM_USER + 102;
inline constexpr UINT UDM_SETPOS = WM_USER + 103;
inline constexpr UINT UDM_GETPOS = WM_USER + 104;
inline constexpr UINT UDM_SETBUDDY = WM_USER + 105;
inline constexpr UINT UDM_GETBUDDY = WM_USER + 106;
inline constexpr UINT UDM_SETRANGE32 = WM_USER + 111;
inline constexpr UINT UDM_GETRANGE32 = WM_USER + 112;
inline constexpr UINT UDM_SETPOS32 = WM_USER + 113;
inline constexpr UINT UDM_GETPOS32 = WM_USER + 114;
inline constexpr int UD_MAXVAL = 0x7FFF;
inline constexpr int UD_MINVAL = -UD_MAXVAL;

inline constexpr UINT UDN_FIRST = static_cast<UINT>(-721);
inline constexpr UINT UDN_DELTAPOS = UDN_FIRST - 1;

struct NMUPDOWN {
  NMHDR hdr;
  int iPos;
  int iDelta;
};

namespace platform::win {

// What the drawing layer gives the controls: their painting (into the DC a WM_PAINT
// brings in wParam, else the window's update area through BeginPaint/EndPaint) and
// the width of a text in the window's font, for the layout of tool buttons and tabs.
enum class CommonControlKind { kListView, kToolBar, kTabControl, kUpDown };
struct CommonControlDrawing {
  void (*paint)(HWND window, CommonControlKind kind, HDC dc) = nullptr;
  int (*textWidth)(HWND window, const std::u16string& text) = nullptr;
};
void SetCommonControlDrawing(const CommonControlDrawing& drawing);

// Layout figures the painting shares with hit testing.
inline constexpr int kListHeaderHeight = 20;
inline constexpr int kListRowHeight = 17;
inline constexpr int kTabHeight = 20;
inline constexpr int kDropDownArrowWidth = 14;

}  // namespace platform::win
