// The window system: window objects with 32-bit handles that are never reused while
// the window lives, window classes, window procedures with subclassing chains,
// ANSI and Unicode windows with the system's conversion of text messages between
// them, window text, extra bytes, properties, parent and owner, geometry, focus,
// capture and invalidation. Windows are headless: a window is a record in memory that
// belongs to the thread that made it; messages reach it through message_queue.h.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/types.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// Messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETREDRAW = 0x000B;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION = 0x0011;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_ENDSESSION = 0x0016;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_ACTIVATEAPP = 0x001C;
inline constexpr UINT WM_CANCELMODE = 0x001F;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_MOUSEACTIVATE = 0x0021;
inline constexpr UINT WM_GETMINMAXINFO = 0x0024;
inline constexpr UINT WM_DRAWITEM = 0x002B;
inline constexpr UINT WM_MEASUREITEM = 0x002C;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_GETFONT = 0x0031;
inline constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_COPYDATA = 0x004A;

// The lParam of WM_COPYDATA: a block of bytes handed to the receiver while the sender
// waits for the answer.
struct COPYDATASTRUCT {
  ULONG_PTR dwData;
  DWORD cbData;
  void* lpData;
};
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_HELP = 0x0053;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_GETICON = 0x007F;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_NCCALCSIZE = 0x0083;
inline constexpr UINT WM_NCHITTEST = 0x0084;
inline constexpr UINT WM_NCPAINT = 0x0085;
inline constexpr UINT WM_NCACTIVATE = 0x0086;
inline constexpr UINT WM_GETDLGCODE = 0x0087;
inline constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
inline constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_INITMENU = 0x0116;
inline constexpr UINT WM_INITMENUPOPUP = 0x0117;
inline constexpr UINT WM_MENUSELECT = 0x011F;
inline constexpr UINT WM_ENTERIDLE = 0x0121;
inline constexpr UINT WM_CTLCOLOREDIT = 0x0133;
inline constexpr UINT WM_CTLCOLORBTN = 0x0135;
inline constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_PARENTNOTIFY = 0x0210;
inline constexpr UINT WM_ENTERMENULOOP = 0x0211;
inline constexpr UINT WM_EXITMENULOOP = 0x0212;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_MOUSEHOVER = 0x02A1;
inline constexpr UINT WM_MOUSELEAVE = 0x02A3;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr DWORD WS_POPUPWINDOW = 0x80880000;

inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_RIGHT = 0x00001000;
inline constexpr DWORD WS_EX_RTLREADING = 0x00002000;
inline constexpr DWORD WS_EX_LEFTSCROLLBAR = 0x00004000;
inline constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
inline constexpr DWORD WS_EX_LAYERED = 0x00080000;
inline constexpr DWORD WS_EX_LAYOUTRTL = 0x00400000;
inline constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr UINT CS_GLOBALCLASS = 0x4000;

// Window long indexes.
inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_HINSTANCE = -6;
inline constexpr int GWL_HWNDPARENT = -8;
inline constexpr int GWL_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_USERDATA = -21;
inline constexpr int GWLP_WNDPROC = GWL_WNDPROC;
inline constexpr int GWLP_USERDATA = GWL_USERDATA;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
inline constexpr HWND HWND_MESSAGE = static_cast<HWND>(-3);
inline constexpr HWND HWND_TOP = 0;
inline constexpr HWND HWND_BOTTOM = 1;
inline constexpr HWND HWND_TOPMOST = static_cast<HWND>(-1);
inline constexpr HWND HWND_NOTOPMOST = static_cast<HWND>(-2);
inline constexpr HWND HWND_BROADCAST = 0xFFFF;

inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;
inline constexpr UINT SWP_NOSENDCHANGING = 0x0400;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_OWNER = 4;
inline constexpr UINT GW_CHILD = 5;

inline constexpr LRESULT HTNOWHERE = 0;
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTCAPTION = 2;
inline constexpr UINT SC_CLOSE = 0xF060;
inline constexpr UINT SC_MOVE = 0xF010;

inline constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
inline constexpr DWORD ERROR_WINDOW_OF_OTHER_THREAD = 1408;
inline constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
inline constexpr DWORD ERROR_INVALID_INDEX = 1413;
inline constexpr DWORD ERROR_TLW_WITH_WSCHILD = 1406;

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char16_t* lpszMenuName;
  const char16_t* lpszClassName;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct CREATESTRUCTW {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  const char16_t* lpszName;
  const char16_t* lpszClass;
  DWORD dwExStyle;
};

struct CREATESTRUCTA {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  const char* lpszName;
  const char* lpszClass;
  DWORD dwExStyle;
};

// Classes. A class is found by name (without case) in the module that registered it,
// or in any module when it is a global or system class.
ATOM RegisterClassW(const WNDCLASSW* wndClass);
ATOM RegisterClassA(const WNDCLASSA* wndClass);
BOOL UnregisterClassW(const char16_t* className, HINSTANCE instance);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, const char16_t* className, WNDCLASSW* wndClass);
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* wndClass);
int GetClassNameW(HWND window, char16_t* buffer, int size);
inline constexpr int GCLP_HBRBACKGROUND = -10;
inline constexpr int GCLP_HCURSOR = -12;
inline constexpr int GCLP_HICON = -14;
inline constexpr int GCLP_WNDPROC = -24;
inline constexpr int GCL_STYLE = -26;
ULONG_PTR GetClassLongPtrW(HWND window, int index);
int GetClassNameA(HWND window, char* buffer, int size);

// Creation and destruction. A window belongs to the thread that creates it; only that
// thread may destroy it.
HWND CreateWindowExW(DWORD exStyle, const char16_t* className, const char16_t* windowName,
                     DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowUnicode(HWND window);
HWND GetDesktopWindow();
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);

// Window procedures.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Window longs: the fixed indexes above, or byte offsets into the class's extra bytes.
// Setting GWL_WNDPROC with the W (A) form makes the window Unicode (ANSI).
LONG_PTR GetWindowLongPtrW(HWND window, int index);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG GetWindowLongW(HWND window, int index);
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongW(HWND window, int index, LONG value);
LONG SetWindowLongA(HWND window, int index, LONG value);

// Text, through WM_SETTEXT / WM_GETTEXT as the platform does.
BOOL SetWindowTextW(HWND window, const char16_t* text);
BOOL SetWindowTextA(HWND window, const char* text);
int GetWindowTextW(HWND window, char16_t* buffer, int size);
int GetWindowTextA(HWND window, char* buffer, int size);
int GetWindowTextLengthW(HWND window);
int GetWindowTextLengthA(HWND window);

// Properties, named by text or by an integer atom.
BOOL SetPropW(HWND window, const char16_t* name, HANDLE value);
BOOL SetPropA(HWND window, const char* name, HANDLE value);
HANDLE GetPropW(HWND window, const char16_t* name);
HANDLE GetPropA(HWND window, const char* name);
HANDLE RemovePropW(HWND window, const char16_t* name);
HANDLE RemovePropA(HWND window, const char* name);

// Family.
HWND GetParent(HWND window);
HWND SetParent(HWND window, HWND newParent);
HWND GetWindow(HWND window, UINT command);
HWND GetAncestor(HWND window, UINT flags);
inline constexpr UINT GA_PARENT = 1;
inline constexpr UINT GA_ROOT = 2;
BOOL IsChild(HWND parent, HWND window);
int GetDlgCtrlID(HWND window);
HWND GetDlgItem(HWND dialog, int id);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam);
HWND FindWindowW(const char16_t* className, const char16_t* windowName);
HWND FindWindowA(const char* className, const char* windowName);
HWND FindWindowExW(HWND parent, HWND childAfter, const char16_t* className,
                   const char16_t* windowName);

// Geometry. Windows have no frame here: the client area is the whole window less its
// scroll bars and what the window's own WM_NCCALCSIZE keeps (asked at creation, on a
// new size and on SWP_FRAMECHANGED, with a RECT* in the parent's coordinates).
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// The deepest visible, enabled window under a screen point whose WM_NCHITTEST does not
// answer HTTRANSPARENT; the child of `parent` under a point in its client
// coordinates, hidden and disabled ones included (see input.h for the others).
HWND WindowFromPoint(POINT point);
HWND ChildWindowFromPoint(HWND parent, POINT point);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL IsIconic(HWND window);
BOOL IsZoomed(HWND window);

// Focus, activation and capture, per thread.
HWND SetFocus(HWND window);
HWND GetFocus();
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
// Puts the window at the top of the z-order (no move, no size).
BOOL BringWindowToTop(HWND window);
// Flashes the window's caption once to draw the user's eye; the headless screen counts
// the flashes (FlashCount). False for what is no window.
BOOL FlashWindow(HWND window, BOOL invert);
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

// The cursor position on the headless screen (tests and the input driver move it).
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

// Invalidation: a window with an update region gets WM_PAINT when its thread's queue
// has nothing else; BeginPaint (drawing area) or ValidateRect empties it.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);

inline constexpr UINT RDW_INVALIDATE = 0x0001;
inline constexpr UINT RDW_INTERNALPAINT = 0x0002;
inline constexpr UINT RDW_ERASE = 0x0004;
inline constexpr UINT RDW_VALIDATE = 0x0008;
inline constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
inline constexpr UINT RDW_NOERASE = 0x0020;
inline constexpr UINT RDW_NOCHILDREN = 0x0040;
inline constexpr UINT RDW_ALLCHILDREN = 0x0080;
inline constexpr UINT RDW_UPDATENOW = 0x0100;
inline constexpr UINT RDW_ERASENOW = 0x0200;
inline constexpr UINT RDW_FRAME = 0x0400;
inline constexpr UINT RDW_NOFRAME = 0x0800;
// Invalidates or validates the client rectangle (client coordinates; null: all of
// it) and, with RDW_FRAME, the non-client area when the rectangle reaches into it
// (the window then gets WM_NCPAINT before its next WM_PAINT); RDW_UPDATENOW paints at
// once. Update regions are not kept by this window system: a region fails with
// ERROR_NOT_SUPPORTED.
BOOL RedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags);

namespace platform::win {

// The id of the calling thread, the same number the kernel's GetCurrentThreadId gives.
DWORD ThisThreadId();

// A window procedure that is a callable: its Proc() value can be stored in
// GWL_WNDPROC and reached through CallWindowProc, which is how subclassing hooks bind
// an object to a window. The owner keeps the stub alive while the value is in use.
class WindowProcStub {
 public:
  using Function = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
  explicit WindowProcStub(Function function, bool unicode = true);
  ~WindowProcStub();
  WindowProcStub(const WindowProcStub&) = delete;
  WindowProcStub& operator=(const WindowProcStub&) = delete;
  WNDPROC Proc() const;

 private:
  struct Entry;
  std::shared_ptr<Entry> entry_;
};

// The size of the headless screen.
inline constexpr int kScreenWidth = 1280;
inline constexpr int kScreenHeight = 1024;

namespace detail {

// Calls a window's current procedure, converting text messages when the caller's
// character set differs from the window's. 0 when the window is gone.
LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool unicode);

// CallWindow when the window belongs to the calling thread, in one look at the window;
// otherwise none, and `thread` tells the window's thread (0 when the window is gone,
// with ERROR_INVALID_WINDOW_HANDLE set).
std::optional<LRESULT> CallOwnWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool unicode,
                                     DWORD& thread);

// The thread a window belongs to (0 when the window is gone).
DWORD WindowThread(HWND window);

// The first window of a thread that waits for WM_PAINT and passes the filter (a
// window and its descendants, or any window when 0); 0 when none.
HWND NextWindowToPaint(DWORD threadId, HWND filter);

// Whether a window is the filter window or one of its descendants.
bool MatchesFilter(HWND window, HWND filter);

// A layered window given its picture (UpdateLayeredWindow) shows that picture and is
// not asked to paint any more; what waited for painting is dropped.
void KeepGivenPicture(HWND window);

// Takes the pending non-client paint of a window: true when its frame was waiting for
// WM_NCPAINT (which the caller then sends).
bool TakeFrameDirty(HWND window);

// The default procedure's WM_NCPAINT (the scroll bars) belongs to the drawing layer,
// which installs it.
void SetNonClientPainter(void (*painter)(HWND window));

// Takes the update rectangle of a window for painting (empty when none); `erase`
// tells whether the background is to be erased first.
RECT TakeUpdateRect(HWND window, bool* erase);

// Called after a window is gone (destroyed, or its thread ended), for drawing state
// kept by handle.
void AddWindowGoneListener(void (*listener)(HWND window));

// The default procedure's WM_ERASEBKGND (fill with the class brush) belongs to the
// drawing layer, which installs it.
void SetEraseBackgroundHandler(LRESULT (*handler)(HWND window, HDC dc));

// Destroys, without calling their procedures, the windows of a thread that ends.
void ForgetThreadWindows(DWORD threadId);

// A top-level window of this process by upper-cased class (empty: any) and name.
HWND FindLocalTopLevel(const std::u16string& classKey, const char16_t* windowName);

// The top-level windows of this process, top of the z-order first.
std::vector<HWND> TopLevelWindows();

// The focus and the active window of a thread (0 when it has none).
HWND FocusOfThread(DWORD threadId);
HWND ActiveOfThread(DWORD threadId);

// How often the window was flashed.
int FlashCount(HWND window);

// Next handle to hand out (tests use it to reach the wrap-around of the handle space).
void SetNextHandleForTest(HWND next);

}  // namespace detail

}  // namespace platform::win
