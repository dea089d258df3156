#include "platform/win/std_controls.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/atoms.h"
#include "platform/win/clipboard.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_queue.h"

namespace {

using platform::win::StdControlView;
using Kind = StdControlView::Kind;

// The typing limit of a new edit, and the most EM_LIMITTEXT can set.
constexpr std::size_t kDefaultLimit = 32767;
constexpr std::size_t kMaxLimit = 0x7FFFFFFE;
// The width of a combo box's drop-down button, at its right edge.
constexpr int kComboButtonWidth = 17;
constexpr int kComboEditId = 1001;
constexpr WPARAM kKeyF4 = VK_F1 + 3;

struct Item {
  std::u16string text;
  LPARAM data = 0;
};

// One standard control's state. Ownership: the registry below, from WM_NCCREATE to
// WM_NCDESTROY; only the window's thread touches it.
struct Control {
  Kind kind = Kind::Static;
  HFONT font = 0;
  bool focused = false;
  // Edits.
  std::u16string text;
  int anchor = 0, caret = 0;
  std::size_t limit = kDefaultLimit;
  char16_t password = 0;
  bool modified = false;
  std::u16string undo;
  bool canUndo = false;
  bool selecting = false;
  RECT formatRect{};  // empty: the default margins
  // Buttons.
  WPARAM check = BST_UNCHECKED;
  bool pushed = false;
  bool tracking = false;
  // Combo boxes; a list window keeps its combo box in `combo`.
  std::vector<Item> items;
  int current = -1;
  bool dropped = false;
  int itemHeight = 16;
  HWND edit = 0, list = 0, combo = 0;
  int hot = -1;
  // The combo box is writing its edit part: that is no edit by the user.
  bool settingEdit = false;
};

struct Registry {
  std::mutex lock;
  std::unordered_map<HWND, std::shared_ptr<Control>> controls;
  platform::win::StdControlDrawing drawing;
};

Registry& R() {
  static Registry registry;
  return registry;
}

std::shared_ptr<Control> Of(HWND window) {
  std::lock_guard guard(R().lock);
  auto found = R().controls.find(window);
  return found == R().controls.end() ? nullptr : found->second;
}

std::shared_ptr<Control> Make(HWND window, Kind kind) {
  auto control = std::make_shared<Control>();
  control->kind = kind;
  std::lock_guard guard(R().lock);
  R().controls[window] = control;
  return control;
}

void Forget(HWND window) {
  std::lock_guard guard(R().lock);
  R().controls.erase(window);
}

platform::win::StdControlDrawing Drawing() {
  std::lock_guard guard(R().lock);
  return R().drawing;
}

// --- text in the window's character set ------------------------------------------------

bool Wide(HWND window) { return IsWindowUnicode(window) != FALSE; }

LRESULT Def(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Wide(window) ? DefWindowProcW(window, message, wParam, lParam)
                      : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool wide) {
  return wide ? SendMessageW(window, message, wParam, lParam) : SendMessageA(window, message, wParam, lParam);
}

std::u16string TextIn(HWND window, LPARAM lParam) {
  if (lParam == 0) return {};
  if (Wide(window)) return reinterpret_cast<const char16_t*>(lParam);
  return platform::AnsiToWide(reinterpret_cast<const char*>(lParam));
}

LRESULT TextOut(HWND window, const std::u16string& text, WPARAM size, LPARAM buffer) {
  if (buffer == 0 || size == 0) return 0;
  if (Wide(window)) return static_cast<LRESULT>(platform::win::CopyTextOut(text, reinterpret_cast<char16_t*>(buffer), size));
  return static_cast<LRESULT>(platform::win::CopyTextOut(text, reinterpret_cast<char*>(buffer), size));
}

LRESULT TextLength(HWND window, const std::u16string& text) {
  return static_cast<LRESULT>(Wide(window) ? text.size() : platform::WideToAnsi(text).size());
}

char16_t CharIn(HWND window, WPARAM value) {
  if (Wide(window)) return static_cast<char16_t>(value & 0xFFFF);
  char byte = static_cast<char>(value & 0xFF);
  return platform::AnsiToWide(std::string_view(&byte, 1))[0];
}

WPARAM CharOut(HWND window, char16_t value) {
  if (Wide(window) || value == 0) return value;
  return static_cast<unsigned char>(platform::WideToAnsi(std::u16string_view(&value, 1))[0]);
}

// The window's own text, kept by the default procedure.
std::u16string OwnText(HWND window) {
  auto length = DefWindowProcW(window, WM_GETTEXTLENGTH, 0, 0);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  auto got = DefWindowProcW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(got, 0)));
  return text;
}

DWORD Style(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

void SetStyleBits(HWND window, DWORD bits, bool on) {
  DWORD style = Style(window);
  SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(on ? (style | bits) : (style & ~bits)));
}

void Notify(HWND window, WORD code) {
  HWND parent = GetParent(window);
  if (parent == 0) return;
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(window)), code),
               static_cast<LPARAM>(window));
}

void Invalidate(HWND window) { InvalidateRect(window, nullptr, TRUE); }

bool KeyDown(int key) { return GetKeyState(key) < 0; }

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
               static_cast<short>(HIWORD(static_cast<DWORD>(lParam)))};
}

bool Inside(HWND window, POINT point) {
  RECT client;
  GetClientRect(window, &client);
  return point.x >= 0 && point.y >= 0 && point.x < client.right && point.y < client.bottom;
}

bool CaseInsensitiveStartsWith(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.size() > text.size()) return false;
  return platform::CompareText(text.substr(0, prefix.size()), prefix, true) == 0;
}

void Paint(HWND window, HDC dc, const StdControlView& view) {
  auto drawing = Drawing();
  if (drawing.paint != nullptr) {
    drawing.paint(window, dc, view);
  } else if (dc == 0) {
    ValidateRect(window, nullptr);  // no drawing layer in this program
  }
}

StdControlView BaseView(HWND window, const Control& c) {
  StdControlView view;
  view.kind = c.kind;
  view.style = Style(window);
  view.enabled = IsWindowEnabled(window) != FALSE;
  view.focused = c.focused;
  view.font = c.font;
  return view;
}

// --- edit --------------------------------------------------------------------------------

std::vector<int> LineStarts(const std::u16string& text) {
  std::vector<int> starts{0};
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == u'\r' && text[i + 1] == u'\n') starts.push_back(static_cast<int>(i + 2));
  }
  return starts;
}

int LineOf(const std::vector<int>& starts, int position) {
  auto it = std::upper_bound(starts.begin(), starts.end(), position);
  return static_cast<int>(it - starts.begin()) - 1;
}

int LineEnd(const std::u16string& text, const std::vector<int>& starts, int line) {
  if (line + 1 < static_cast<int>(starts.size())) return starts[line + 1] - 2;
  return static_cast<int>(text.size());
}

std::u16string Shown(const Control& c, DWORD style) {
  if ((style & ES_PASSWORD) && c.password != 0) return std::u16string(c.text.size(), c.password);
  return c.text;
}

void SyncWindowText(HWND window, const Control& c) {
  DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.text.c_str()));
}

std::pair<int, int> Selection(const Control& c) { return {std::min(c.anchor, c.caret), std::max(c.anchor, c.caret)}; }

void SetEditText(HWND window, Control& c, const std::u16string& text, bool notify) {
  c.text = text;
  c.anchor = c.caret = 0;
  c.modified = false;
  c.canUndo = false;
  SyncWindowText(window, c);
  Invalidate(window);
  // A multi-line edit does not report text set by its program.
  if (notify && !(Style(window) & ES_MULTILINE)) {
    Notify(window, EN_UPDATE);
    Notify(window, EN_CHANGE);
  }
}

void ReplaceSelection(HWND window, Control& c, std::u16string insert, bool canUndo) {
  DWORD style = Style(window);
  if (!(style & ES_MULTILINE)) insert = insert.substr(0, insert.find_first_of(u"\r\n"));
  auto [start, end] = Selection(c);
  std::size_t kept = c.text.size() - static_cast<std::size_t>(end - start);
  std::size_t room = c.limit > kept ? c.limit - kept : 0;
  bool truncated = insert.size() > room;
  if (truncated) insert.resize(room);
  if (insert.empty() && start == end) {
    if (truncated) Notify(window, EN_MAXTEXT);
    return;
  }
  if (canUndo) {
    c.undo = c.text;
    c.canUndo = true;
  }
  c.text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start), insert);
  c.anchor = c.caret = start + static_cast<int>(insert.size());
  c.modified = true;
  SyncWindowText(window, c);
  Invalidate(window);
  Notify(window, EN_UPDATE);
  Notify(window, EN_CHANGE);
  if (truncated) Notify(window, EN_MAXTEXT);
}

void EditChar(HWND window, Control& c, char16_t ch) {
  DWORD style = Style(window);
  bool readOnly = style & ES_READONLY;
  bool multiLine = style & ES_MULTILINE;
  if (ch == 1) {  // Ctrl+A
    c.anchor = 0;
    c.caret = static_cast<int>(c.text.size());
    Invalidate(window);
    return;
  }
  if (readOnly) return;
  if (ch == u'\b') {
    auto [start, end] = Selection(c);
    if (start == end) {
      if (start == 0) return;
      bool pair = start >= 2 && c.text[start - 1] == u'\n' && c.text[start - 2] == u'\r';
      c.anchor = start - (pair ? 2 : 1);
    }
    ReplaceSelection(window, c, u"", true);
    return;
  }
  if (ch == u'\r') {
    if (multiLine) ReplaceSelection(window, c, u"\r\n", true);
    return;
  }
  if (ch == u'\t') {
    if (multiLine) ReplaceSelection(window, c, u"\t", true);
    return;
  }
  if (ch < 32 || ch == 127) return;
  if ((style & ES_NUMBER) && (ch < u'0' || ch > u'9')) return;
  std::u16string typed(1, ch);
  if (style & ES_UPPERCASE) typed = platform::UpperCase(typed);
  if (style & ES_LOWERCASE) typed = platform::LowerCase(typed);
  ReplaceSelection(window, c, typed, true);
}

// A combo box's edit hands the keys that work the list to its combo box, and Tab,
// which moves on from the combo box as a whole.
bool ForwardToCombo(HWND window, WPARAM key) {
  HWND parent = GetParent(window);
  auto combo = parent ? Of(parent) : nullptr;
  if (!combo || combo->kind != Kind::ComboBox || combo->edit != window) return false;
  bool listKey = key == VK_UP || key == VK_DOWN || key == kKeyF4 || key == VK_PRIOR || key == VK_NEXT;
  bool closeKey = combo->dropped && (key == VK_RETURN || key == VK_ESCAPE);
  if (!listKey && !closeKey && key != VK_TAB) return false;
  SendMessageW(parent, WM_KEYDOWN, key, 0);
  return true;
}

// The clipboard keys: Ctrl with X, C or V, and Shift+Del, Ctrl+Ins and Shift+Ins. The
// message goes to the window itself, so that a subclass sees it.
UINT ClipboardMessageOfKey(WPARAM key) {
  bool ctrl = KeyDown(VK_CONTROL), shift = KeyDown(VK_SHIFT);
  if (KeyDown(VK_MENU)) return 0;
  if (ctrl && !shift) {
    if (key == 'X') return WM_CUT;
    if (key == 'C' || key == VK_INSERT) return WM_COPY;
    if (key == 'V') return WM_PASTE;
  }
  if (shift && !ctrl) {
    if (key == VK_DELETE) return WM_CUT;
    if (key == VK_INSERT) return WM_PASTE;
  }
  return 0;
}

// The selection to the clipboard as Unicode text; a password edit gives nothing away.
bool CopySelection(HWND window, const Control& c) {
  auto [start, end] = Selection(c);
  if (c.password != 0 || start == end) return false;
  std::u16string text = c.text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
  HGLOBAL memory = platform::win::NewTextBlock(text);
  if (memory == nullptr) return false;
  if (!OpenClipboard(window)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!set) GlobalFree(memory);
  CloseClipboard();
  return set;
}

void Paste(HWND window, Control& c) {
  if (Style(window) & ES_READONLY) return;
  const std::u16string text = platform::win::ClipboardText(window);
  if (!text.empty()) ReplaceSelection(window, c, text, true);
}

void EditKey(HWND window, Control& c, WPARAM key) {
  if (ForwardToCombo(window, key)) return;
  if (UINT message = ClipboardMessageOfKey(key)) {
    SendMessageW(window, message, 0, 0);
    return;
  }
  DWORD style = Style(window);
  bool shift = KeyDown(VK_SHIFT);
  auto [start, end] = Selection(c);
  int size = static_cast<int>(c.text.size());
  auto starts = LineStarts(c.text);
  int line = LineOf(starts, c.caret);
  switch (key) {
    case VK_LEFT:
      c.caret = (!shift && start != end) ? start : std::max(0, c.caret - 1);
      break;
    case VK_RIGHT:
      c.caret = (!shift && start != end) ? end : std::min(size, c.caret + 1);
      break;
    case VK_HOME:
      c.caret = starts[line];
      break;
    case VK_END:
      c.caret = LineEnd(c.text, starts, line);
      break;
    case VK_UP:
    case VK_DOWN: {
      if (!(style & ES_MULTILINE)) return;
      int target = line + (key == VK_UP ? -1 : 1);
      if (target < 0 || target >= static_cast<int>(starts.size())) return;
      int column = c.caret - starts[line];
      c.caret = std::min(starts[target] + column, LineEnd(c.text, starts, target));
      break;
    }
    case VK_DELETE:
      if (style & ES_READONLY) return;
      if (start == end) {
        if (start >= size) return;
        bool pair = start + 1 < size && c.text[start] == u'\r' && c.text[start + 1] == u'\n';
        c.anchor = start;
        c.caret = start + (pair ? 2 : 1);
      }
      ReplaceSelection(window, c, u"", true);
      return;
    default:
      return;
  }
  if (!shift) c.anchor = c.caret;
  Invalidate(window);
}

// The character position nearest to a point of the client area; without a drawing
// layer nothing can be measured and the end of the text is taken.
int PositionFromPoint(HWND window, const Control& c, POINT point) {
  auto drawing = Drawing();
  int size = static_cast<int>(c.text.size());
  if (drawing.textWidth == nullptr || drawing.lineHeight == nullptr) return size;
  std::u16string shown = Shown(c, Style(window));
  auto starts = LineStarts(c.text);
  int height = std::max(1, drawing.lineHeight(c.font));
  int line = std::clamp((point.y - platform::win::kEditTextMargin) / height, 0, static_cast<int>(starts.size()) - 1);
  int first = starts[line], last = LineEnd(c.text, starts, line);
  int x = point.x - platform::win::kEditTextMargin;
  for (int i = first; i < last; ++i) {
    int left = drawing.textWidth(c.font, std::u16string_view(shown).substr(first, i - first));
    int right = drawing.textWidth(c.font, std::u16string_view(shown).substr(first, i + 1 - first));
    if (x < (left + right) / 2) return i;
  }
  return last;
}

bool IsWordChar(char16_t ch) { return ch > u' ' && ch != u'\r' && ch != u'\n'; }

StdControlView EditView(HWND window, const Control& c) {
  auto view = BaseView(window, c);
  view.text = Shown(c, view.style);
  std::tie(view.selStart, view.selEnd) = Selection(c);
  view.caret = c.caret;
  view.formatRect = c.formatRect;
  return view;
}

// The font requests every simple control answers alike; nothing for other messages.
std::optional<LRESULT> FontMessage(HWND window, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFONT) {
    c.font = static_cast<HFONT>(wParam);
    if (LOWORD(static_cast<DWORD>(lParam))) Invalidate(window);
    return 0;
  }
  if (message == WM_GETFONT) return c.font;
  return std::nullopt;
}

LRESULT EditLineMessage(HWND window, Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
  auto starts = LineStarts(c.text);
  int count = static_cast<int>(starts.size());
  auto index = static_cast<int>(static_cast<LONG>(wParam));
  switch (message) {
    case EM_GETLINECOUNT:
      return count;
    case EM_LINEINDEX: {
      int line = index < 0 ? LineOf(starts, c.caret) : index;
      return line < count ? starts[line] : -1;
    }
    case EM_LINEFROMCHAR:
      return LineOf(starts, index < 0 ? Selection(c).first : std::min<int>(index, static_cast<int>(c.text.size())));
    case EM_LINELENGTH: {
      int line = LineOf(starts, index < 0 ? c.caret : std::min<int>(index, static_cast<int>(c.text.size())));
      return LineEnd(c.text, starts, line) - starts[line];
    }
    case EM_GETLINE: {
      if (lParam == 0 || index < 0 || index >= count) return 0;
      std::u16string line = c.text.substr(starts[index], LineEnd(c.text, starts, index) - starts[index]);
      WORD size;
      if (Wide(window)) {
        auto* buffer = reinterpret_cast<char16_t*>(lParam);
        std::memcpy(&size, buffer, sizeof size);
        std::size_t n = std::min<std::size_t>(size, line.size());
        std::copy_n(line.data(), n, buffer);
        return static_cast<LRESULT>(n);
      }
      auto* buffer = reinterpret_cast<char*>(lParam);
      std::memcpy(&size, buffer, sizeof size);
      std::string ansi = platform::WideToAnsi(line);
      std::size_t n = std::min<std::size_t>(size, ansi.size());
      std::copy_n(ansi.data(), n, buffer);
      return static_cast<LRESULT>(n);
    }
    default:
      return 0;
  }
}

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto c = Make(window, Kind::Edit);
    if (Style(window) & ES_PASSWORD) c->password = u'*';
    LRESULT result = Def(window, message, wParam, lParam);
    c->text = OwnText(window);
    return result;
  }
  auto c = Of(window);
  if (!c) return Def(window, message, wParam, lParam);
  if (auto answer = FontMessage(window, *c, message, wParam, lParam)) return *answer;
  switch (message) {
    case WM_NCDESTROY:
      Forget(window);
      return Def(window, message, wParam, lParam);
    case WM_SETTEXT:
      SetEditText(window, *c, TextIn(window, lParam), true);
      return TRUE;
    case WM_GETTEXT:
      return TextOut(window, c->text, wParam, lParam);
    case WM_GETTEXTLENGTH:
      return TextLength(window, c->text);
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS |
             ((Style(window) & ES_MULTILINE) ? DLGC_WANTALLKEYS : 0);
    case WM_ERASEBKGND:
      return 1;  // the painter fills the whole window
    case WM_PAINT:
      Paint(window, static_cast<HDC>(wParam), EditView(window, *c));
      return 0;
    case WM_SETFOCUS:
      c->focused = true;
      Invalidate(window);
      Notify(window, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      c->focused = false;
      Invalidate(window);
      Notify(window, EN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      Invalidate(window);
      return 0;
    case WM_CHAR:
      EditChar(window, *c, CharIn(window, wParam));
      return 0;
    case WM_KEYDOWN:
      EditKey(window, *c, wParam);
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != window) SetFocus(window);
      c->caret = PositionFromPoint(window, *c, PointOf(lParam));
      if (!KeyDown(VK_SHIFT)) c->anchor = c->caret;
      c->selecting = true;
      SetCapture(window);
      Invalidate(window);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (c->selecting) {
        c->caret = PositionFromPoint(window, *c, PointOf(lParam));
        Invalidate(window);
      }
      return 0;
    case WM_LBUTTONUP:
      if (c->selecting) {
        c->selecting = false;
        ReleaseCapture();
      }
      return 0;
    case WM_LBUTTONDBLCLK: {
      int at = PositionFromPoint(window, *c, PointOf(lParam));
      int first = at, last = at;
      while (first > 0 && IsWordChar(c->text[first - 1])) --first;
      while (last < static_cast<int>(c->text.size()) && IsWordChar(c->text[last])) ++last;
      c->anchor = first;
      c->caret = last;
      Invalidate(window);
      return 0;
    }
    case EM_GETSEL: {
      auto [start, end] = Selection(*c);
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
      if (start > 0xFFFF || end > 0xFFFF) return -1;
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(start), static_cast<WORD>(end)));
    }
    case EM_SETSEL: {
      auto start = static_cast<LONG>(wParam), end = static_cast<LONG>(lParam);
      int size = static_cast<int>(c->text.size());
      if (start == -1) {
        c->anchor = c->caret;
      } else {
        c->anchor = std::clamp<int>(start, 0, size);
        c->caret = end < 0 ? size : std::clamp<int>(end, 0, size);
      }
      Invalidate(window);
      return 0;
    }
    case EM_REPLACESEL:
      ReplaceSelection(window, *c, TextIn(window, lParam), wParam != 0);
      return 0;
    case WM_CLEAR:
      if (!(Style(window) & ES_READONLY)) ReplaceSelection(window, *c, u"", true);
      return 0;
    case WM_COPY:
      CopySelection(window, *c);
      return 0;
    case WM_CUT:
      if (!(Style(window) & ES_READONLY) && CopySelection(window, *c))
        ReplaceSelection(window, *c, u"", true);
      return 0;
    case WM_PASTE:
      Paste(window, *c);
      return 0;
    case EM_LIMITTEXT:
      c->limit = wParam == 0 ? kMaxLimit : std::min<std::size_t>(wParam, kMaxLimit);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(c->limit);
    case EM_SETPASSWORDCHAR:
      c->password = CharIn(window, wParam);
      if (wParam == 0) c->password = 0;
      SetStyleBits(window, ES_PASSWORD, c->password != 0);
      Invalidate(window);
      return 0;
    case EM_GETPASSWORDCHAR:
      return static_cast<LRESULT>(CharOut(window, c->password));
    case EM_SETREADONLY:
      SetStyleBits(window, ES_READONLY, wParam != 0);
      Invalidate(window);
      return TRUE;
    case EM_GETMODIFY:
      return c->modified ? TRUE : FALSE;
    case EM_SETMODIFY:
      c->modified = wParam != 0;
      return 0;
    case EM_CANUNDO:
      return c->canUndo ? TRUE : FALSE;
    case EM_UNDO:
      if (!c->canUndo) return FALSE;
      std::swap(c->text, c->undo);
      c->anchor = c->caret = static_cast<int>(c->text.size());
      SyncWindowText(window, *c);
      Invalidate(window);
      Notify(window, EN_CHANGE);
      return TRUE;
    case EM_EMPTYUNDOBUFFER:
      c->canUndo = false;
      c->undo.clear();
      return 0;
    case EM_GETLINECOUNT:
    case EM_LINEINDEX:
    case EM_LINEFROMCHAR:
    case EM_LINELENGTH:
    case EM_GETLINE:
      return EditLineMessage(window, *c, message, wParam, lParam);
    case EM_SETRECT:
    case EM_SETRECTNP:
      c->formatRect = lParam != 0 ? *reinterpret_cast<const RECT*>(lParam) : RECT{};
      if (message == EM_SETRECT) Invalidate(window);
      return 0;
    case EM_GETRECT: {
      if (lParam == 0) return 0;
      RECT& out = *reinterpret_cast<RECT*>(lParam);
      out = c->formatRect;
      if (out.right <= out.left) {
        GetClientRect(window, &out);
        const int m = platform::win::kEditTextMargin;
        out = RECT{out.left + m, out.top + m, out.right - m, out.bottom - m};
      }
      return 0;
    }
    case EM_SCROLLCARET:
    case EM_SETMARGINS:
      return 0;
    default:
      return Def(window, message, wParam, lParam);
  }
}

// --- buttons -----------------------------------------------------------------------------

DWORD ButtonType(HWND window) { return Style(window) & BS_TYPEMASK; }

bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool IsPush(DWORD type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON; }

// The windows of the group `window` is in: from the nearest WS_GROUP window at or
// before it up to the next one.
std::vector<HWND> GroupOf(HWND window) {
  std::vector<HWND> siblings;
  for (HWND w = GetWindow(GetParent(window), GW_CHILD); w != 0; w = GetWindow(w, GW_HWNDNEXT)) siblings.push_back(w);
  auto at = std::find(siblings.begin(), siblings.end(), window);
  if (at == siblings.end()) return {window};
  auto first = at;
  while (first != siblings.begin() && !(Style(*first) & WS_GROUP)) --first;
  auto last = at + 1;
  while (last != siblings.end() && !(Style(*last) & WS_GROUP)) ++last;
  return std::vector<HWND>(first, last);
}

bool IsButtonOfType(HWND window, bool (*test)(DWORD)) {
  auto c = Of(window);
  return c && c->kind == Kind::Button && test(ButtonType(window));
}

void Activate(HWND window, Control& c) {
  switch (ButtonType(window)) {
    case BS_GROUPBOX:
      return;
    case BS_AUTOCHECKBOX:
      c.check = c.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      c.check = (c.check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON:
      for (HWND other : GroupOf(window)) {
        if (other != window && IsButtonOfType(other, [](DWORD t) { return t == BS_AUTORADIOBUTTON; })) {
          SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
        }
      }
      c.check = BST_CHECKED;
      break;
    default:
      break;
  }
  Invalidate(window);
  Notify(window, BN_CLICKED);
}

// The arrow keys move among the radio buttons of a group, choosing the one reached.
void MoveInGroup(HWND window, bool forward) {
  std::vector<HWND> radios;
  for (HWND w : GroupOf(window)) {
    if (IsWindowVisible(w) && IsWindowEnabled(w) && IsButtonOfType(w, IsRadio)) radios.push_back(w);
  }
  auto at = std::find(radios.begin(), radios.end(), window);
  if (radios.size() < 2 || at == radios.end()) return;
  auto index = static_cast<std::size_t>(at - radios.begin());
  HWND target = radios[(index + (forward ? 1 : radios.size() - 1)) % radios.size()];
  SetFocus(target);
  SendMessageW(target, BM_CLICK, 0, 0);
}

LRESULT ButtonDialogCode(HWND window) {
  DWORD type = ButtonType(window);
  if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
  if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
  if (IsRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
  if (type == BS_GROUPBOX) return DLGC_STATIC;
  return DLGC_BUTTON;
}

LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Make(window, Kind::Button);
    return Def(window, message, wParam, lParam);
  }
  auto c = Of(window);
  if (!c) return Def(window, message, wParam, lParam);
  if (auto answer = FontMessage(window, *c, message, wParam, lParam)) return *answer;
  bool group = ButtonType(window) == BS_GROUPBOX;
  switch (message) {
    case WM_NCDESTROY:
      Forget(window);
      return Def(window, message, wParam, lParam);
    case WM_SETTEXT: {
      LRESULT result = Def(window, message, wParam, lParam);
      Invalidate(window);
      return result;
    }
    case WM_GETDLGCODE:
      return ButtonDialogCode(window);
    case WM_NCHITTEST:
      return group ? HTTRANSPARENT : HTCLIENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      auto view = BaseView(window, *c);
      view.text = OwnText(window);
      view.check = c->check;
      view.pushed = c->pushed;
      Paint(window, static_cast<HDC>(wParam), view);
      return 0;
    }
    case WM_SETFOCUS:
      c->focused = true;
      Invalidate(window);
      if (Style(window) & BS_NOTIFY) Notify(window, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      c->focused = false;
      c->pushed = false;
      Invalidate(window);
      if (Style(window) & BS_NOTIFY) Notify(window, BN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      Invalidate(window);
      return 0;
    case WM_KEYDOWN:
      if (group) return 0;
      if (wParam == VK_SPACE && !c->pushed) {
        c->pushed = true;
        Invalidate(window);
      } else if (wParam == VK_RETURN && IsPush(ButtonType(window))) {
        Activate(window, *c);
      } else if (IsRadio(ButtonType(window)) && (wParam == VK_DOWN || wParam == VK_RIGHT)) {
        MoveInGroup(window, true);
      } else if (IsRadio(ButtonType(window)) && (wParam == VK_UP || wParam == VK_LEFT)) {
        MoveInGroup(window, false);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && c->pushed) {
        c->pushed = false;
        Activate(window, *c);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (group) return 0;
      if (GetFocus() != window) SetFocus(window);
      c->tracking = c->pushed = true;
      SetCapture(window);
      Invalidate(window);
      return 0;
    case WM_MOUSEMOVE:
      if (c->tracking && Inside(window, PointOf(lParam)) != c->pushed) {
        c->pushed = !c->pushed;
        Invalidate(window);
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!c->tracking) return 0;
      c->tracking = false;
      ReleaseCapture();
      c->pushed = false;
      Invalidate(window);
      if (Inside(window, PointOf(lParam))) Activate(window, *c);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (c->tracking && static_cast<HWND>(lParam) != window) {
        c->tracking = c->pushed = false;
        Invalidate(window);
      }
      return 0;
    case BM_GETCHECK:
      return static_cast<LRESULT>(c->check);
    case BM_SETCHECK:
      c->check = wParam & 3;
      Invalidate(window);
      return 0;
    case BM_GETSTATE:
      return static_cast<LRESULT>(c->check | (c->pushed ? BST_PUSHED : 0) | (c->focused ? BST_FOCUS : 0));
    case BM_SETSTATE:
      c->pushed = wParam != 0;
      Invalidate(window);
      return 0;
    case BM_SETSTYLE:
      SetWindowLongW(window, GWL_STYLE, static_cast<LONG>((Style(window) & 0xFFFF0000u) | LOWORD(static_cast<DWORD>(wParam))));
      if (lParam) Invalidate(window);
      return 0;
    case BM_CLICK:
      if (IsWindowEnabled(window)) Activate(window, *c);
      return 0;
    default:
      return Def(window, message, wParam, lParam);
  }
}

// --- static --------------------------------------------------------------------------------

LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Make(window, Kind::Static);
    return Def(window, message, wParam, lParam);
  }
  auto c = Of(window);
  if (!c) return Def(window, message, wParam, lParam);
  if (auto answer = FontMessage(window, *c, message, wParam, lParam)) return *answer;
  switch (message) {
    case WM_NCDESTROY:
      Forget(window);
      return Def(window, message, wParam, lParam);
    case WM_SETTEXT: {
      LRESULT result = Def(window, message, wParam, lParam);
      Invalidate(window);
      return result;
    }
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_NCHITTEST:
      return (Style(window) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      auto view = BaseView(window, *c);
      view.text = OwnText(window);
      Paint(window, static_cast<HDC>(wParam), view);
      return 0;
    }
    case WM_ENABLE:
      Invalidate(window);
      return 0;
    case WM_LBUTTONUP:
      if (Style(window) & SS_NOTIFY) Notify(window, STN_CLICKED);
      return 0;
    default:
      return Def(window, message, wParam, lParam);
  }
}

// --- combo box -----------------------------------------------------------------------------

bool IsDropDownList(HWND window) { return (Style(window) & 3) == CBS_DROPDOWNLIST; }

bool ValidIndex(const Control& c, LONG index) { return index >= 0 && index < static_cast<LONG>(c.items.size()); }

LONG FindItem(const Control& c, LONG start, const std::u16string& text, bool exact) {
  auto count = static_cast<LONG>(c.items.size());
  for (LONG n = 0; n < count; ++n) {
    LONG i = ((start < 0 || start >= count ? -1 : start) + 1 + n) % count;
    const auto& item = c.items[static_cast<std::size_t>(i)].text;
    bool match = exact ? platform::CompareText(item, text, true) == 0 : CaseInsensitiveStartsWith(item, text);
    if (match) return i;
  }
  return static_cast<LONG>(CB_ERR);
}

// Makes an item current and shows it in the edit part, selected; -1 empties both.
void SetCurrent(HWND window, Control& c, LONG index) {
  c.current = ValidIndex(c, index) ? index : -1;
  if (c.edit != 0) {
    std::u16string text = c.current >= 0 ? c.items[static_cast<std::size_t>(c.current)].text : u"";
    c.settingEdit = true;
    SendMessageW(c.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    c.settingEdit = false;
    SendMessageW(c.edit, EM_SETSEL, 0, -1);
  }
  Invalidate(window);
  if (c.list != 0) Invalidate(c.list);
}

void ShowList(HWND window, Control& c, bool show) {
  if (show == c.dropped || c.list == 0) return;
  if (show) {
    Notify(window, CBN_DROPDOWN);
    RECT rect;
    GetWindowRect(window, &rect);
    int rows = std::max<int>(1, static_cast<int>(c.items.size()));
    c.hot = c.current;
    c.dropped = true;
    SetWindowPos(c.list, HWND_TOP, rect.left, rect.bottom, rect.right - rect.left, rows * c.itemHeight + 2,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
  } else {
    c.dropped = false;
    ShowWindow(c.list, SW_HIDE);
    Notify(window, CBN_CLOSEUP);
  }
  Invalidate(window);
}

void CloseList(HWND window, Control& c, bool accept) {
  if (!c.dropped) return;
  Notify(window, accept ? CBN_SELENDOK : CBN_SELENDCANCEL);
  ShowList(window, c, false);
}

// A user's choice of an item: current, then told.
void Choose(HWND window, Control& c, LONG index) {
  if (!ValidIndex(c, index) || index == c.current) return;
  SetCurrent(window, c, index);
  Notify(window, CBN_SELCHANGE);
}

void ComboKey(HWND window, Control& c, WPARAM key) {
  bool alt = KeyDown(VK_MENU);
  auto last = static_cast<LONG>(c.items.size()) - 1;
  switch (key) {
    case kKeyF4:
      ShowList(window, c, !c.dropped);
      return;
    case VK_UP:
    case VK_DOWN:
      if (alt) {
        ShowList(window, c, !c.dropped);
        return;
      }
      Choose(window, c, c.current < 0 ? 0 : c.current + (key == VK_UP ? -1 : 1));
      return;
    case VK_HOME:
    case VK_PRIOR:
      if (c.edit == 0) Choose(window, c, 0);
      return;
    case VK_END:
    case VK_NEXT:
      if (c.edit == 0) Choose(window, c, last);
      return;
    case VK_RETURN:
      CloseList(window, c, true);
      return;
    case VK_ESCAPE:
      CloseList(window, c, false);
      return;
    default:
      return;
  }
}

LRESULT ItemTextOut(HWND window, const Control& c, WPARAM index, LPARAM buffer) {
  auto i = static_cast<LONG>(index);
  if (!ValidIndex(c, i)) return CB_ERR;
  const auto& text = c.items[static_cast<std::size_t>(i)].text;
  return TextOut(window, text, static_cast<WPARAM>(TextLength(window, text) + 1), buffer);
}

LRESULT InsertItem(HWND window, Control& c, LONG index, const std::u16string& text) {
  auto count = static_cast<LONG>(c.items.size());
  if (index < 0) {
    index = count;
    if (Style(window) & CBS_SORT) {
      index = 0;
      while (index < count && platform::CompareText(c.items[static_cast<std::size_t>(index)].text, text, true) <= 0) ++index;
    }
  }
  if (index > count) return CB_ERR;
  c.items.insert(c.items.begin() + index, Item{text, 0});
  if (c.current >= index) ++c.current;
  Invalidate(window);
  return index;
}

// The view of a combo box or of its list, from the combo box's own state.
StdControlView ComboView(HWND combo, const Control& c, Kind kind) {
  auto view = BaseView(combo, c);
  view.kind = kind;
  for (const auto& item : c.items) {
    view.items.push_back(item.text);
    view.itemData.push_back(item.data);
  }
  view.combo = combo;
  view.current = c.current;
  view.hot = c.hot;
  view.itemHeight = c.itemHeight;
  view.hasEdit = c.edit != 0;
  if (c.current >= 0) view.text = c.items[static_cast<std::size_t>(c.current)].text;
  return view;
}

void CreateComboParts(HWND window, Control& c) {
  bool wide = Wide(window);
  RECT client;
  GetClientRect(window, &client);
  if (!IsDropDownList(window)) {
    constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
    int width = std::max(0, static_cast<int>(client.right) - kComboButtonWidth);
    c.edit = wide ? CreateWindowExW(0, u"EDIT", u"", kEditStyle, 0, 0, width, client.bottom, window,
                                    static_cast<HMENU>(kComboEditId), 0, nullptr)
                  : CreateWindowExA(0, "EDIT", "", kEditStyle, 0, 0, width, client.bottom, window,
                                    static_cast<HMENU>(kComboEditId), 0, nullptr);
  }
  c.list = wide ? CreateWindowExW(WS_EX_TOOLWINDOW, u"ComboLBox", u"", WS_POPUP, 0, 0, 0, 0, window, 0, 0, nullptr)
                : CreateWindowExA(WS_EX_TOOLWINDOW, "ComboLBox", "", WS_POPUP, 0, 0, 0, 0, window, 0, 0, nullptr);
  if (auto list = Of(c.list)) list->combo = window;
}

LRESULT ComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Make(window, Kind::ComboBox);
    return Def(window, message, wParam, lParam);
  }
  auto c = Of(window);
  if (!c) return Def(window, message, wParam, lParam);
  bool wide = Wide(window);
  auto index = static_cast<LONG>(wParam);
  switch (message) {
    case WM_CREATE:
      CreateComboParts(window, *c);
      return 0;
    case WM_DESTROY:
      if (c->list != 0) DestroyWindow(c->list);
      c->list = 0;
      return Def(window, message, wParam, lParam);
    case WM_NCDESTROY:
      Forget(window);
      return Def(window, message, wParam, lParam);
    case WM_SIZE:
      if (c->edit != 0) {
        MoveWindow(c->edit, 0, 0, std::max(0, static_cast<int>(LOWORD(static_cast<DWORD>(lParam))) - kComboButtonWidth),
                   HIWORD(static_cast<DWORD>(lParam)), TRUE);
      }
      return 0;
    case WM_SETTEXT: {
      Def(window, message, wParam, lParam);
      if (c->edit != 0) {
        c->settingEdit = true;
        LRESULT result = Send(c->edit, WM_SETTEXT, 0, lParam, wide);
        c->settingEdit = false;
        return result;
      }
      LONG found = FindItem(*c, -1, TextIn(window, lParam), true);
      if (found < 0) return CB_ERR;
      SetCurrent(window, *c, found);
      return TRUE;
    }
    case WM_GETTEXT:
      if (c->edit != 0) return Send(c->edit, WM_GETTEXT, wParam, lParam, wide);
      return TextOut(window, c->current >= 0 ? c->items[static_cast<std::size_t>(c->current)].text : u"", wParam, lParam);
    case WM_GETTEXTLENGTH:
      if (c->edit != 0) return Send(c->edit, WM_GETTEXTLENGTH, 0, 0, wide);
      return c->current >= 0 ? TextLength(window, c->items[static_cast<std::size_t>(c->current)].text) : 0;
    case WM_SETFONT:
      c->font = static_cast<HFONT>(wParam);
      if (c->edit != 0) SendMessageW(c->edit, WM_SETFONT, wParam, lParam);
      if (LOWORD(static_cast<DWORD>(lParam))) Invalidate(window);
      return 0;
    case WM_GETFONT:
      return c->font;
    case WM_GETDLGCODE:
      // An open list takes Return and Escape itself.
      return DLGC_WANTCHARS | DLGC_WANTARROWS | (c->dropped ? DLGC_WANTALLKEYS : 0);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, static_cast<HDC>(wParam), ComboView(window, *c, Kind::ComboBox));
      return 0;
    case WM_ENABLE:
      if (c->edit != 0) EnableWindow(c->edit, static_cast<BOOL>(wParam));
      Invalidate(window);
      return 0;
    case WM_COMMAND:
      if (static_cast<HWND>(lParam) == c->edit && c->edit != 0) {
        switch (HIWORD(static_cast<DWORD>(wParam))) {
          case EN_CHANGE:
            if (!c->settingEdit) Notify(window, CBN_EDITCHANGE);
            break;
          case EN_UPDATE:
            if (!c->settingEdit) Notify(window, CBN_EDITUPDATE);
            break;
          case EN_SETFOCUS:
            c->focused = true;
            Notify(window, CBN_SETFOCUS);
            break;
          case EN_KILLFOCUS:
            c->focused = false;
            CloseList(window, *c, false);
            Notify(window, CBN_KILLFOCUS);
            break;
          default: break;
        }
      }
      return 0;
    case WM_SETFOCUS:
      if (c->edit != 0) {
        SetFocus(c->edit);
        SendMessageW(c->edit, EM_SETSEL, 0, -1);
        return 0;
      }
      c->focused = true;
      Invalidate(window);
      Notify(window, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      if (c->edit != 0) return 0;
      c->focused = false;
      CloseList(window, *c, false);
      Invalidate(window);
      Notify(window, CBN_KILLFOCUS);
      return 0;
    case WM_KEYDOWN:
      ComboKey(window, *c, wParam);
      return 0;
    case WM_CHAR: {
      // A drop-down list moves to the next item that starts with the typed character.
      if (c->edit != 0) return Send(c->edit, WM_CHAR, wParam, lParam, wide);
      char16_t ch = CharIn(window, wParam);
      if (ch < 32) return 0;
      Choose(window, *c, FindItem(*c, c->current, std::u16string(1, ch), false));
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != window && GetFocus() != c->edit) SetFocus(window);
      RECT client;
      GetClientRect(window, &client);
      if (c->edit == 0 || PointOf(lParam).x >= client.right - kComboButtonWidth) ShowList(window, *c, !c->dropped);
      return 0;
    }
    case CB_ADDSTRING:
      return InsertItem(window, *c, -1, TextIn(window, lParam));
    case CB_INSERTSTRING:
      return InsertItem(window, *c, index < 0 ? static_cast<LONG>(c->items.size()) : index, TextIn(window, lParam));
    case CB_DELETESTRING:
      if (!ValidIndex(*c, index)) return CB_ERR;
      c->items.erase(c->items.begin() + index);
      if (c->current == index) c->current = -1;
      if (c->current > index) --c->current;
      Invalidate(window);
      return static_cast<LRESULT>(c->items.size());
    case CB_GETCOUNT:
      return static_cast<LRESULT>(c->items.size());
    case CB_GETCURSEL:
      return c->current;
    case CB_GETLBTEXT:
      return ItemTextOut(window, *c, wParam, lParam);
    case CB_GETLBTEXTLEN:
      return ValidIndex(*c, index) ? TextLength(window, c->items[static_cast<std::size_t>(index)].text) : CB_ERR;
    case CB_RESETCONTENT:
      c->items.clear();
      c->current = -1;
      c->hot = -1;
      Invalidate(window);
      return CB_OKAY;
    case CB_FINDSTRING:
      return FindItem(*c, index, TextIn(window, lParam), false);
    case CB_FINDSTRINGEXACT:
      return FindItem(*c, index, TextIn(window, lParam), true);
    case CB_SELECTSTRING: {
      LONG found = FindItem(*c, index, TextIn(window, lParam), false);
      if (found >= 0) SetCurrent(window, *c, found);
      return found;
    }
    case CB_SETCURSEL:
      SetCurrent(window, *c, index);
      return ValidIndex(*c, index) ? index : CB_ERR;
    case CB_SHOWDROPDOWN:
      ShowList(window, *c, wParam != 0);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return c->dropped ? TRUE : FALSE;
    case CB_GETITEMDATA:
      return ValidIndex(*c, index) ? c->items[static_cast<std::size_t>(index)].data : CB_ERR;
    case CB_SETITEMDATA:
      if (!ValidIndex(*c, index)) return CB_ERR;
      c->items[static_cast<std::size_t>(index)].data = lParam;
      return CB_OKAY;
    case CB_SETITEMHEIGHT:
      if (lParam <= 0 || lParam > 255) return CB_ERR;
      c->itemHeight = static_cast<int>(lParam);
      Invalidate(window);
      return CB_OKAY;
    case CB_GETITEMHEIGHT:
      return c->itemHeight;
    case CB_GETEDITSEL:
      if (c->edit == 0) return CB_ERR;
      return SendMessageW(c->edit, EM_GETSEL, wParam, lParam);
    case CB_SETEDITSEL: {
      if (c->edit == 0) return CB_ERR;
      auto start = static_cast<short>(LOWORD(static_cast<DWORD>(lParam)));
      auto end = static_cast<short>(HIWORD(static_cast<DWORD>(lParam)));
      SendMessageW(c->edit, EM_SETSEL, static_cast<WPARAM>(static_cast<LONG>(start)), end);
      return TRUE;
    }
    case CB_LIMITTEXT:
      if (c->edit == 0) return CB_ERR;
      SendMessageW(c->edit, EM_LIMITTEXT, wParam, 0);
      return TRUE;
    default:
      return Def(window, message, wParam, lParam);
  }
}

LRESULT ComboListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Make(window, Kind::ComboList);
    return Def(window, message, wParam, lParam);
  }
  auto self = Of(window);
  auto c = self ? Of(self->combo) : nullptr;
  if (!c) {
    if (message == WM_NCDESTROY) Forget(window);
    return Def(window, message, wParam, lParam);
  }
  auto row = [&] { return static_cast<LONG>((PointOf(lParam).y - 1) / std::max(1, c->itemHeight)); };
  switch (message) {
    case WM_NCDESTROY:
      Forget(window);
      return Def(window, message, wParam, lParam);
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, static_cast<HDC>(wParam), ComboView(self->combo, *c, Kind::ComboList));
      return 0;
    case WM_MOUSEMOVE:
      if (ValidIndex(*c, row()) && row() != c->hot) {
        c->hot = row();
        Invalidate(window);
      }
      return 0;
    case WM_LBUTTONUP:
      Choose(self->combo, *c, row());
      CloseList(self->combo, *c, true);
      return 0;
    default:
      return Def(window, message, wParam, lParam);
  }
}

void Register(const char16_t* name, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  platform::win::detail::RegisterSystemClass(&wc);
}

}  // namespace

BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info) {
  auto c = Of(combo);
  if (!c || c->kind != Kind::ComboBox || info == nullptr || info->cbSize != sizeof(COMBOBOXINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECT client;
  GetClientRect(combo, &client);
  info->rcItem = RECT{0, 0, std::max(0, static_cast<int>(client.right) - kComboButtonWidth), client.bottom};
  info->rcButton = RECT{info->rcItem.right, 0, client.right, client.bottom};
  info->stateButton = 0;
  info->hwndCombo = combo;
  info->hwndItem = c->edit != 0 ? c->edit : combo;
  info->hwndList = c->list;
  return TRUE;
}

void platform::win::SetStdControlDrawing(const StdControlDrawing& drawing) {
  std::lock_guard guard(R().lock);
  R().drawing = drawing;
}

void platform::win::detail::RegisterStandardControlClasses() {
  Register(u"Edit", EditProc);
  Register(u"ComboBox", ComboProc);
  Register(u"ComboLBox", ComboListProc);
  Register(u"Button", ButtonProc);
  Register(u"Static", StaticProc);
}
