#include "platform/win/common_controls.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/atoms.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_queue.h"

namespace {

// --- shared ground -------------------------------------------------------------------

struct Control {
  explicit Control(platform::win::CommonControlKind kind) : kind(kind) {}
  virtual ~Control() = default;
  platform::win::CommonControlKind kind;
  HWND window = 0;
  bool unicodeNotify = true;  // the parent takes wide notifications
  HFONT font = 0;
};

struct Registry {
  std::mutex lock;
  std::unordered_map<HWND, std::shared_ptr<Control>> controls;
  platform::win::CommonControlDrawing drawing;
};

Registry& R() {
  static Registry registry;
  return registry;
}

template <typename T>
std::shared_ptr<T> StateOf(HWND window) {
  std::lock_guard guard(R().lock);
  auto found = R().controls.find(window);
  return found == R().controls.end() ? nullptr : std::dynamic_pointer_cast<T>(found->second);
}

void Attach(HWND window, std::shared_ptr<Control> control) {
  control->window = window;
  std::lock_guard guard(R().lock);
  R().controls[window] = std::move(control);
}

void Detach(HWND window) {
  std::shared_ptr<Control> keep;  // freed outside the lock
  std::lock_guard guard(R().lock);
  auto found = R().controls.find(window);
  if (found == R().controls.end()) return;
  keep = std::move(found->second);
  R().controls.erase(found);
}

platform::win::CommonControlDrawing Drawing() {
  std::lock_guard guard(R().lock);
  return R().drawing;
}

LRESULT Default(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                 : DefWindowProcA(window, message, wParam, lParam);
}

template <typename Char>
std::u16string ToWide(const Char* text) {
  if (text == nullptr) return {};
  if constexpr (sizeof(Char) == 1) {
    return platform::AnsiToWide(text);
  } else {
    return text;
  }
}

template <typename Char>
bool IsCallback(const Char* text) {
  return reinterpret_cast<std::intptr_t>(text) == -1;
}

template <typename Char>
LRESULT CopyOut(const std::u16string& text, Char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  return static_cast<LRESULT>(platform::win::CopyTextOut(text, buffer, static_cast<std::size_t>(size)));
}

// Whether the parent takes wide notifications: its WM_NOTIFYFORMAT answer, else the
// kind of its window.
bool AskNotifyFormat(HWND window) {
  HWND parent = GetParent(window);
  if (parent == 0) return true;
  LRESULT format = SendMessageW(parent, WM_NOTIFYFORMAT, window, NF_QUERY);
  if (format == NFR_UNICODE) return true;
  if (format == NFR_ANSI) return false;
  return IsWindowUnicode(parent) != FALSE;
}

LRESULT Notify(HWND window, NMHDR& header, UINT code) {
  HWND parent = GetParent(window);
  if (parent == 0) return 0;
  header.hwndFrom = window;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
  header.code = code;
  return SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

int TextWidth(HWND window, const std::u16string& text) {
  auto drawing = Drawing();
  if (drawing.textWidth != nullptr) return drawing.textWidth(window, text);
  return static_cast<int>(text.size()) * 6;  // an average character of the default font
}

// Messages every control answers the same way; true when handled.
bool CommonMessage(Control& control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case CCM_SETUNICODEFORMAT:
      result = control.unicodeNotify;
      control.unicodeNotify = wParam != 0;
      return true;
    case CCM_GETUNICODEFORMAT:
      result = control.unicodeNotify;
      return true;
    case WM_NOTIFYFORMAT:
      if (lParam == NF_REQUERY) control.unicodeNotify = AskNotifyFormat(control.window);
      result = control.unicodeNotify ? NFR_UNICODE : NFR_ANSI;
      return true;
    case WM_SETFONT:
      control.font = static_cast<HFONT>(wParam);
      if (lParam) InvalidateRect(control.window, nullptr, TRUE);
      result = 0;
      return true;
    case WM_GETFONT:
      result = control.font;
      return true;
    case WM_ERASEBKGND:
      result = 1;  // the painting covers the whole window
      return true;
    case WM_PAINT: {
      auto drawing = Drawing();
      if (drawing.paint != nullptr) {
        drawing.paint(control.window, control.kind, static_cast<HDC>(wParam));
      } else {
        ValidateRect(control.window, nullptr);
      }
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
               static_cast<short>(HIWORD(static_cast<DWORD>(lParam)))};
}

bool ControlKeyDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

// --- list view -------------------------------------------------------------------------

struct ListColumn {
  std::u16string text;
  bool callback = false;
  int width = 50;
  int fmt = LVCFMT_LEFT;
};

struct ListText {
  std::u16string text;
  bool callback = false;
};

struct ListItem {
  ListText caption;
  std::vector<ListText> subItems;  // sub-item n at n - 1
  UINT state = 0;
  int image = 0;
  LPARAM param = 0;
  int indent = 0;
};

struct ListView : Control {
  ListView() : Control(platform::win::CommonControlKind::kListView) {}
  // The label being edited: its edit window, the item, and the hook that ends the
  // edit on Enter, Escape or a focus lost (kept until the next edit, as the edit
  // window may still get messages while it goes).
  HWND edit = 0;
  int editItem = -1;
  std::unique_ptr<platform::win::WindowProcStub> editHook;
  std::vector<ListColumn> columns;
  std::vector<ListItem> items;
  DWORD exStyle = 0;
  int top = 0;
  HIMAGELIST images = 0;
  COLORREF background = 0x00FFFFFF;
  COLORREF textColor = 0;
  bool redraw = true;  // WM_SETREDRAW: off while a caller makes many changes
  unsigned generation = 0;  // counts insertions and deletions
};

void Repaint(const ListView& list) {
  if (list.redraw) InvalidateRect(list.window, nullptr, TRUE);
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

bool ShowsHeader(HWND window) {
  DWORD style = StyleOf(window);
  return (style & LVS_TYPEMASK) == LVS_REPORT && !(style & LVS_NOCOLUMNHEADER);
}

int RowsTop(HWND window) { return ShowsHeader(window) ? platform::win::kListHeaderHeight : 0; }

int RowsPerPage(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return std::max(1, (client.bottom - RowsTop(window)) / platform::win::kListRowHeight);
}

int ColumnsWidth(const ListView& list) {
  int width = 0;
  for (const auto& column : list.columns) width += column.width;
  return width;
}

template <typename Char>
std::u16string AskDisplayText(ListView& list, int index, int subItem) {
  NMLVDISPINFOT<Char> info{};
  std::vector<Char> buffer(1024, 0);
  info.item.mask = LVIF_TEXT;
  info.item.iItem = index;
  info.item.iSubItem = subItem;
  info.item.pszText = buffer.data();
  info.item.cchTextMax = static_cast<int>(buffer.size());
  info.item.lParam = list.items[static_cast<std::size_t>(index)].param;
  Notify(list.window, info.hdr, sizeof(Char) == 2 ? LVN_GETDISPINFOW : LVN_GETDISPINFOA);
  if (info.item.pszText == nullptr || IsCallback(info.item.pszText)) return {};
  return ToWide(info.item.pszText);
}

// The text of an item's caption (sub-item 0) or sub-item, asking the parent for
// callback texts; empty past the last sub-item.
std::u16string ItemText(ListView& list, int index, int subItem) {
  if (index < 0 || index >= static_cast<int>(list.items.size()) || subItem < 0) return {};
  const ListItem& item = list.items[static_cast<std::size_t>(index)];
  const ListText* text = nullptr;
  if (subItem == 0) {
    text = &item.caption;
  } else if (static_cast<std::size_t>(subItem) <= item.subItems.size()) {
    text = &item.subItems[static_cast<std::size_t>(subItem) - 1];
  }
  if (text == nullptr) return {};
  if (!text->callback) return text->text;
  return list.unicodeNotify ? AskDisplayText<char16_t>(list, index, subItem)
                            : AskDisplayText<char>(list, index, subItem);
}

template <typename Char>
ListText TextFrom(const Char* text) {
  if (IsCallback(text)) return ListText{{}, true};
  return ListText{ToWide(text), false};
}

bool SetItemText(ListView& list, int index, int subItem, ListText text) {
  if (index < 0 || index >= static_cast<int>(list.items.size()) || subItem < 0) return false;
  ListItem& item = list.items[static_cast<std::size_t>(index)];
  if (subItem == 0) {
    item.caption = std::move(text);
  } else {
    if (item.subItems.size() < static_cast<std::size_t>(subItem)) item.subItems.resize(static_cast<std::size_t>(subItem));
    item.subItems[static_cast<std::size_t>(subItem) - 1] = std::move(text);
  }
  Repaint(list);
  return true;
}

LRESULT NotifyItem(ListView& list, UINT code, int index, UINT newState = 0, UINT oldState = 0, UINT changed = 0,
                   int subItem = 0) {
  NMLISTVIEW info{};
  info.iItem = index;
  info.iSubItem = subItem;
  info.uNewState = newState;
  info.uOldState = oldState;
  info.uChanged = changed;
  if (index >= 0 && index < static_cast<int>(list.items.size())) {
    info.lParam = list.items[static_cast<std::size_t>(index)].param;
  }
  return Notify(list.window, info.hdr, code);
}

// Changes the state bits of one item, asking the parent first; false when refused.
bool ChangeState(ListView& list, int index, UINT state, UINT mask) {
  ListItem& item = list.items[static_cast<std::size_t>(index)];
  UINT old = item.state;
  UINT fresh = (old & ~mask) | (state & mask);
  if (fresh == old) return true;
  if (NotifyItem(list, LVN_ITEMCHANGING, index, fresh, old, LVIF_STATE) != 0) return false;
  list.items[static_cast<std::size_t>(index)].state = fresh;
  NotifyItem(list, LVN_ITEMCHANGED, index, fresh, old, LVIF_STATE);
  Repaint(list);
  return true;
}

// Sets state bits as LVM_SETITEMSTATE does: a selection in a single-selection list
// and a focus move away from the other items.
bool SetItemState(ListView& list, int index, UINT state, UINT mask) {
  int count = static_cast<int>(list.items.size());
  if (index < -1 || index >= count) return false;
  bool single = (StyleOf(list.window) & LVS_SINGLESEL) != 0;
  UINT clear = 0;
  if ((mask & LVIS_SELECTED) && (state & LVIS_SELECTED) && single) clear |= LVIS_SELECTED;
  if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED)) clear |= LVIS_FOCUSED;
  if (index >= 0 && clear != 0) {
    for (int i = 0; i < count; ++i) {
      if (i != index && (list.items[static_cast<std::size_t>(i)].state & clear)) ChangeState(list, i, 0, clear);
    }
  }
  bool ok = true;
  for (int i = index < 0 ? 0 : index; i < (index < 0 ? count : index + 1); ++i) {
    ok = ChangeState(list, i, state, mask) && ok;
  }
  return ok;
}

// The vertical bar shows the rows: the whole list as its range, a page of rows, the
// top row as its position (the window system shows the bar only when it is needed).
void UpdateScrollBar(const ListView& list) {
  if (!list.redraw) return;
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0,
                  std::max(0, static_cast<int>(list.items.size()) - 1),
                  static_cast<UINT>(RowsPerPage(list.window)), list.top, 0};
  SetScrollInfo(list.window, SB_VERT, &info, TRUE);
}

// Makes `top` the first row shown, kept so that the last page is full.
void ScrollTo(ListView& list, int top) {
  int last = std::max(0, static_cast<int>(list.items.size()) - RowsPerPage(list.window));
  top = std::clamp(top, 0, last);
  if (top != list.top) {
    list.top = top;
    Repaint(list);
  }
  UpdateScrollBar(list);
}

void EnsureVisible(ListView& list, int index) {
  int page = RowsPerPage(list.window);
  int top = list.top;
  if (index < top) top = index;
  if (index >= top + page) top = index - page + 1;
  ScrollTo(list, top);
}

void ListScroll(ListView& list, WPARAM request) {
  int page = RowsPerPage(list.window);
  switch (LOWORD(static_cast<DWORD>(request))) {
    case SB_LINEUP: ScrollTo(list, list.top - 1); break;
    case SB_LINEDOWN: ScrollTo(list, list.top + 1); break;
    case SB_PAGEUP: ScrollTo(list, list.top - page); break;
    case SB_PAGEDOWN: ScrollTo(list, list.top + page); break;
    case SB_TOP: ScrollTo(list, 0); break;
    case SB_BOTTOM: ScrollTo(list, static_cast<int>(list.items.size())); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(list.window, SB_VERT, &info);
      ScrollTo(list, info.nTrackPos);
      break;
    }
    default: break;
  }
}

// Selects one item alone and focuses it (a click or a key without Ctrl).
void SelectOnly(ListView& list, int index) {
  for (int i = 0; i < static_cast<int>(list.items.size()); ++i) {
    if (i != index && (list.items[static_cast<std::size_t>(i)].state & LVIS_SELECTED)) {
      ChangeState(list, i, 0, LVIS_SELECTED);
    }
  }
  if (index >= 0) {
    SetItemState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EnsureVisible(list, index);
  }
}

int NextItem(const ListView& list, int start, int flags) {
  for (int i = start + 1; i < static_cast<int>(list.items.size()); ++i) {
    UINT state = list.items[static_cast<std::size_t>(i)].state;
    if ((flags & LVNI_SELECTED) && !(state & LVIS_SELECTED)) continue;
    if ((flags & LVNI_FOCUSED) && !(state & LVIS_FOCUSED)) continue;
    return i;
  }
  return -1;
}

RECT ItemRect(const ListView& list, int index) {
  int top = RowsTop(list.window) + (index - list.top) * platform::win::kListRowHeight;
  int width = (list.exStyle & LVS_EX_FULLROWSELECT) || list.columns.empty() ? std::max(ColumnsWidth(list), 1)
                                                                            : list.columns[0].width;
  return RECT{0, top, width, top + platform::win::kListRowHeight};
}

int HitTest(const ListView& list, POINT point, UINT* flags, int* subItem) {
  *flags = LVHT_NOWHERE;
  *subItem = -1;
  int rowsTop = RowsTop(list.window);
  if (point.y < rowsTop) return -1;
  int index = list.top + (point.y - rowsTop) / platform::win::kListRowHeight;
  if (index < 0 || index >= static_cast<int>(list.items.size())) return -1;
  int x = 0;
  for (std::size_t c = 0; c < list.columns.size(); ++c) {
    if (point.x >= x && point.x < x + list.columns[c].width) *subItem = static_cast<int>(c);
    x += list.columns[c].width;
  }
  RECT rect = ItemRect(list, index);
  if (point.x < rect.left || point.x >= rect.right) return -1;
  *flags = LVHT_ONITEMLABEL;
  return index;
}

int ColumnAt(const ListView& list, int x) {
  int left = 0;
  for (std::size_t c = 0; c < list.columns.size(); ++c) {
    if (x >= left && x < left + list.columns[c].width) return static_cast<int>(c);
    left += list.columns[c].width;
  }
  return -1;
}

template <typename Char>
LRESULT InsertColumn(ListView& list, int index, const LVCOLUMNT<Char>* source) {
  if (source == nullptr || index < 0) return -1;
  ListColumn column;
  if (source->mask & LVCF_TEXT) {
    column.callback = IsCallback(source->pszText);
    if (!column.callback) column.text = ToWide(source->pszText);
  }
  if (source->mask & LVCF_WIDTH) column.width = std::max(0, source->cx);
  if (source->mask & LVCF_FMT) column.fmt = source->fmt;
  index = std::min(index, static_cast<int>(list.columns.size()));
  list.columns.insert(list.columns.begin() + index, std::move(column));
  Repaint(list);
  return index;
}

template <typename Char>
LRESULT SetColumn(ListView& list, int index, const LVCOLUMNT<Char>* source) {
  if (source == nullptr || index < 0 || index >= static_cast<int>(list.columns.size())) return FALSE;
  ListColumn& column = list.columns[static_cast<std::size_t>(index)];
  if (source->mask & LVCF_TEXT) {
    column.callback = IsCallback(source->pszText);
    column.text = column.callback ? std::u16string() : ToWide(source->pszText);
  }
  if (source->mask & LVCF_WIDTH) column.width = std::max(0, source->cx);
  if (source->mask & LVCF_FMT) column.fmt = source->fmt;
  Repaint(list);
  return TRUE;
}

template <typename Char>
LRESULT GetColumn(ListView& list, int index, LVCOLUMNT<Char>* target) {
  if (target == nullptr || index < 0 || index >= static_cast<int>(list.columns.size())) return FALSE;
  const ListColumn& column = list.columns[static_cast<std::size_t>(index)];
  if (target->mask & LVCF_TEXT) CopyOut(column.text, target->pszText, target->cchTextMax);
  if (target->mask & LVCF_WIDTH) target->cx = column.width;
  if (target->mask & LVCF_FMT) target->fmt = column.fmt;
  if (target->mask & LVCF_SUBITEM) target->iSubItem = index;
  return TRUE;
}

template <typename Char>
void ApplyItem(ListView& list, int index, const LVITEMT<Char>& source) {
  ListItem& item = list.items[static_cast<std::size_t>(index)];
  if (source.mask & LVIF_IMAGE) item.image = source.iImage;
  if (source.mask & LVIF_PARAM) item.param = source.lParam;
  if (source.mask & LVIF_INDENT) item.indent = source.iIndent;
}

template <typename Char>
LRESULT InsertItem(ListView& list, const LVITEMT<Char>* source) {
  if (source == nullptr || source->iSubItem != 0 || source->iItem < 0) return -1;
  int index = std::min(source->iItem, static_cast<int>(list.items.size()));
  ListItem item;
  if (source->mask & LVIF_TEXT) item.caption = TextFrom(source->pszText);
  if (source->mask & LVIF_STATE) item.state = source->state & source->stateMask;
  list.items.insert(list.items.begin() + index, std::move(item));
  ++list.generation;
  ApplyItem(list, index, *source);
  NotifyItem(list, LVN_INSERTITEM, index);
  Repaint(list);
  UpdateScrollBar(list);
  return index;
}

template <typename Char>
LRESULT SetItem(ListView& list, const LVITEMT<Char>* source) {
  if (source == nullptr || source->iItem < 0 || source->iItem >= static_cast<int>(list.items.size())) return FALSE;
  if (source->mask & LVIF_TEXT) SetItemText(list, source->iItem, source->iSubItem, TextFrom(source->pszText));
  if (source->iSubItem != 0) return TRUE;
  ApplyItem(list, source->iItem, *source);
  if (source->mask & LVIF_STATE) SetItemState(list, source->iItem, source->state, source->stateMask);
  Repaint(list);
  return TRUE;
}

template <typename Char>
LRESULT GetItem(ListView& list, LVITEMT<Char>* target) {
  if (target == nullptr || target->iItem < 0 || target->iItem >= static_cast<int>(list.items.size())) return FALSE;
  if (target->mask & LVIF_TEXT) {
    CopyOut(ItemText(list, target->iItem, target->iSubItem), target->pszText, target->cchTextMax);
  }
  const ListItem& item = list.items[static_cast<std::size_t>(target->iItem)];
  if (target->mask & LVIF_STATE) target->state = item.state & target->stateMask;
  if (target->mask & LVIF_IMAGE) target->iImage = item.image;
  if (target->mask & LVIF_PARAM) target->lParam = item.param;
  if (target->mask & LVIF_INDENT) target->iIndent = item.indent;
  return TRUE;
}

template <typename Char>
LRESULT GetItemText(ListView& list, int index, LVITEMT<Char>* target) {
  if (target == nullptr) return 0;
  return CopyOut(ItemText(list, index, target->iSubItem), target->pszText, target->cchTextMax);
}

template <typename Char>
LRESULT SetItemTextMessage(ListView& list, int index, const LVITEMT<Char>* source) {
  if (source == nullptr) return FALSE;
  return SetItemText(list, index, source->iSubItem, TextFrom(source->pszText)) ? TRUE : FALSE;
}

bool DeleteItem(ListView& list, int index) {
  if (index < 0 || index >= static_cast<int>(list.items.size())) return false;
  NotifyItem(list, LVN_DELETEITEM, index);
  list.items.erase(list.items.begin() + index);
  ++list.generation;
  Repaint(list);
  ScrollTo(list, list.top);
  return true;
}

void DeleteAllItems(ListView& list) {
  // A parent that answers TRUE does not want a notification per item.
  bool each = NotifyItem(list, LVN_DELETEALLITEMS, -1) == 0;
  if (each) {
    for (int i = static_cast<int>(list.items.size()) - 1; i >= 0; --i) NotifyItem(list, LVN_DELETEITEM, i);
  }
  list.items.clear();
  ++list.generation;
  list.top = 0;
  Repaint(list);
  UpdateScrollBar(list);
}

// Sorts a copy: a compare routine that asks the window about its items meanwhile sees
// them whole, and one that adds or deletes items leaves the order as it was.
void SortItems(ListView& list, LPARAM sortParam, PFNLVCOMPARE compare) {
  if (compare == nullptr) return;
  std::vector<ListItem> sorted = list.items;
  unsigned generation = list.generation;
  std::stable_sort(sorted.begin(), sorted.end(), [&](const ListItem& a, const ListItem& b) {
    return compare(a.param, b.param, sortParam) < 0;
  });
  if (generation != list.generation) return;
  list.items = std::move(sorted);
  Repaint(list);
}

int FocusedIndex(const ListView& list) { return NextItem(list, -1, LVNI_FOCUSED); }

// Tells the parent of a label edit (LVN_BEGINLABELEDIT / LVN_ENDLABELEDIT) in its
// form; `text` null for an edit that was cancelled. Answers the parent's answer.
template <typename Char>
LRESULT NotifyLabel(ListView& list, UINT code, int index, const std::u16string* text) {
  NMLVDISPINFOT<Char> info{};
  std::basic_string<Char> buffer;
  if (text != nullptr) {
    if constexpr (sizeof(Char) == 1) {
      buffer = platform::WideToAnsi(*text);
    } else {
      buffer = *text;
    }
  }
  info.item.mask = LVIF_TEXT | LVIF_PARAM;
  info.item.iItem = index;
  info.item.pszText = text != nullptr ? buffer.data() : nullptr;
  info.item.cchTextMax = static_cast<int>(buffer.size()) + 1;
  info.item.lParam = list.items[static_cast<std::size_t>(index)].param;
  return Notify(list.window, info.hdr, code);
}

LRESULT NotifyLabel(ListView& list, bool begin, int index, const std::u16string* text) {
  if (list.unicodeNotify) {
    return NotifyLabel<char16_t>(list, begin ? LVN_BEGINLABELEDITW : LVN_ENDLABELEDITW, index, text);
  }
  return NotifyLabel<char>(list, begin ? LVN_BEGINLABELEDITA : LVN_ENDLABELEDITA, index, text);
}

// Ends the label edit: the parent gets the edited text (null when cancelled) and, when
// it answers TRUE, the text becomes the item's caption (a callback caption stays).
void EndLabelEdit(HWND window, bool keep) {
  auto list = StateOf<ListView>(window);
  if (!list || list->edit == 0) return;
  HWND edit = std::exchange(list->edit, 0);
  int index = std::exchange(list->editItem, -1);
  int length = GetWindowTextLengthW(edit);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), length + 1)));
  if (GetFocus() == edit) SetFocus(window);
  DestroyWindow(edit);
  if (index < 0 || index >= static_cast<int>(list->items.size())) return;
  LRESULT accept = NotifyLabel(*list, false, index, keep ? &text : nullptr);
  if (!IsWindow(window) || !keep || !accept || index >= static_cast<int>(list->items.size())) return;
  if (!list->items[static_cast<std::size_t>(index)].caption.callback) SetItemText(*list, index, 0, ListText{text, false});
}

// Starts editing an item's label in an edit window over it (LVS_EDITLABELS only); the
// parent may refuse (LVN_BEGINLABELEDIT answered non-zero). Answers the edit window.
HWND BeginLabelEdit(ListView& list, int index) {
  EndLabelEdit(list.window, false);
  if (!(StyleOf(list.window) & LVS_EDITLABELS) || index < 0 || index >= static_cast<int>(list.items.size())) return 0;
  std::u16string text = ItemText(list, index, 0);
  RECT row = ItemRect(list, index);
  int width = list.columns.empty() ? row.right : std::max(list.columns[0].width, 20);
  HWND edit = CreateWindowExW(0, u"EDIT", text.c_str(), WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, 0, row.top, width,
                              row.bottom - row.top, list.window, 0, 0, nullptr);
  if (edit == 0) return 0;
  HWND window = list.window;
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWL_WNDPROC));
  list.editHook = std::make_unique<platform::win::WindowProcStub>(
      [window, previous](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_KEYDOWN && (wParam == static_cast<WPARAM>(VK_RETURN) || wParam == static_cast<WPARAM>(VK_ESCAPE))) {
          EndLabelEdit(window, wParam == static_cast<WPARAM>(VK_RETURN));
          return 0;
        }
        if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
        LRESULT result = CallWindowProcW(previous, hwnd, message, wParam, lParam);
        if (message == WM_KILLFOCUS) EndLabelEdit(window, true);
        return result;
      });
  SetWindowLongPtrW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(list.editHook->Proc()));
  list.edit = edit;
  list.editItem = index;
  // The parent may look at the edit window (LVM_GETEDITCONTROL) while it decides.
  if (NotifyLabel(list, true, index, &text) != 0 || !IsWindow(list.window)) {
    list.edit = 0;
    list.editItem = -1;
    DestroyWindow(edit);
    return 0;
  }
  ShowWindow(edit, SW_SHOW);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SetFocus(edit);
  return edit;
}

void ListKeyDown(ListView& list, WPARAM key) {
  NMLVKEYDOWN info{};
  info.wVKey = static_cast<WORD>(key);
  Notify(list.window, info.hdr, LVN_KEYDOWN);
  if (!IsWindow(list.window)) return;
  int count = static_cast<int>(list.items.size());
  if (count == 0) return;
  int focused = FocusedIndex(list);
  int page = RowsPerPage(list.window);
  int target;
  switch (key) {
    case VK_UP: target = focused < 0 ? 0 : focused - 1; break;
    case VK_DOWN: target = focused + 1; break;
    case VK_HOME: target = 0; break;
    case VK_END: target = count - 1; break;
    case VK_PRIOR: target = focused - page; break;
    case VK_NEXT: target = focused < 0 ? page - 1 : focused + page; break;
    case VK_F2:
      if (focused >= 0) BeginLabelEdit(list, focused);
      return;
    default: return;
  }
  target = std::clamp(target, 0, count - 1);
  if (ControlKeyDown()) {
    SetItemState(list, target, LVIS_FOCUSED, LVIS_FOCUSED);
    EnsureVisible(list, target);
  } else {
    SelectOnly(list, target);
  }
}

void ListButtonDown(ListView& list, UINT message, LPARAM lParam) {
  SetFocus(list.window);
  POINT point = PointOf(lParam);
  NMLISTVIEW info{};
  info.ptAction = point;
  info.iItem = -1;
  if (point.y < RowsTop(list.window)) {
    int column = ColumnAt(list, point.x);
    if (message == WM_LBUTTONDOWN && column >= 0 && !(StyleOf(list.window) & LVS_NOSORTHEADER)) {
      info.iSubItem = column;
      Notify(list.window, info.hdr, LVN_COLUMNCLICK);
    }
    return;
  }
  UINT flags;
  int subItem;
  int index = HitTest(list, point, &flags, &subItem);
  bool multi = !(StyleOf(list.window) & LVS_SINGLESEL);
  if (message == WM_LBUTTONDOWN && index >= 0 && multi && ControlKeyDown()) {
    UINT selected = list.items[static_cast<std::size_t>(index)].state & LVIS_SELECTED;
    SetItemState(list, index, (selected ^ LVIS_SELECTED) | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  } else if (index < 0 || message != WM_RBUTTONDOWN ||
             !(list.items[static_cast<std::size_t>(index)].state & LVIS_SELECTED)) {
    // A click beside the items clears the selection; a right click keeps a selection
    // that holds the item.
    SelectOnly(list, index);
  }
  if (!IsWindow(list.window)) return;
  info.iItem = index;
  info.iSubItem = std::max(subItem, 0);
  UINT code = message == WM_LBUTTONDOWN ? NM_CLICK : message == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_RCLICK;
  Notify(list.window, info.hdr, code);
}

LRESULT ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Attach(window, std::make_shared<ListView>());
    return Default(window, message, wParam, lParam);
  }
  auto list = StateOf<ListView>(window);
  if (!list) return Default(window, message, wParam, lParam);
  LRESULT result = 0;
  if (CommonMessage(*list, message, wParam, lParam, result)) return result;
  auto index = static_cast<int>(wParam);
  switch (message) {
    case WM_CREATE:
      if (StyleOf(window) & LVS_OWNERDATA) {
        // Virtual lists are not offered; the creation fails rather than show nothing.
        SetLastError(ERROR_NOT_SUPPORTED);
        return -1;
      }
      list->unicodeNotify = AskNotifyFormat(window);
      return 0;
    case WM_NCDESTROY:
      Detach(window);
      return Default(window, message, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      ListKeyDown(*list, wParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
      ListButtonDown(*list, message, lParam);
      return 0;
    case WM_VSCROLL:
      ListScroll(*list, wParam);
      return 0;
    case WM_SETREDRAW:
      list->redraw = wParam != 0;
      if (list->redraw) ScrollTo(*list, list->top);
      Repaint(*list);
      return 0;
    case WM_MOUSEWHEEL:
      // Three rows a notch.
      ScrollTo(*list, list->top - 3 * static_cast<short>(HIWORD(static_cast<DWORD>(wParam))) / WHEEL_DELTA);
      return 0;
    case WM_SIZE:
      ScrollTo(*list, list->top);
      return Default(window, message, wParam, lParam);
    case LVM_GETITEMCOUNT:
      return static_cast<LRESULT>(list->items.size());
    case LVM_INSERTCOLUMNA:
      return InsertColumn(*list, index, reinterpret_cast<const LVCOLUMNA*>(lParam));
    case LVM_INSERTCOLUMNW:
      return InsertColumn(*list, index, reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_SETCOLUMNA:
      return SetColumn(*list, index, reinterpret_cast<const LVCOLUMNA*>(lParam));
    case LVM_SETCOLUMNW:
      return SetColumn(*list, index, reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_GETCOLUMNA:
      return GetColumn(*list, index, reinterpret_cast<LVCOLUMNA*>(lParam));
    case LVM_GETCOLUMNW:
      return GetColumn(*list, index, reinterpret_cast<LVCOLUMNW*>(lParam));
    case LVM_DELETECOLUMN:
      if (index < 0 || index >= static_cast<int>(list->columns.size())) return FALSE;
      list->columns.erase(list->columns.begin() + index);
      Repaint(*list);
      return TRUE;
    case LVM_GETCOLUMNWIDTH:
      return index >= 0 && index < static_cast<int>(list->columns.size())
                 ? list->columns[static_cast<std::size_t>(index)].width
                 : 0;
    case LVM_SETCOLUMNWIDTH: {
      if (index < 0 || index >= static_cast<int>(list->columns.size())) return FALSE;
      int width = static_cast<short>(LOWORD(static_cast<DWORD>(lParam)));
      if (width == LVSCW_AUTOSIZE_USEHEADER) {
        RECT client;
        GetClientRect(window, &client);
        width = std::max(0, client.right - (ColumnsWidth(*list) - list->columns[static_cast<std::size_t>(index)].width));
      }
      list->columns[static_cast<std::size_t>(index)].width = std::max(0, width);
      Repaint(*list);
      return TRUE;
    }
    case LVM_INSERTITEMA:
      return InsertItem(*list, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_INSERTITEMW:
      return InsertItem(*list, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_SETITEMA:
      return SetItem(*list, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_SETITEMW:
      return SetItem(*list, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMA:
      return GetItem(*list, reinterpret_cast<LVITEMA*>(lParam));
    case LVM_GETITEMW:
      return GetItem(*list, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_GETITEMTEXTA:
      return GetItemText(*list, index, reinterpret_cast<LVITEMA*>(lParam));
    case LVM_GETITEMTEXTW:
      return GetItemText(*list, index, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_SETITEMTEXTA:
      return SetItemTextMessage(*list, index, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_SETITEMTEXTW:
      return SetItemTextMessage(*list, index, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_DELETEITEM:
      return DeleteItem(*list, index) ? TRUE : FALSE;
    case LVM_DELETEALLITEMS:
      DeleteAllItems(*list);
      return TRUE;
    case LVM_SETITEMSTATE: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (item == nullptr) return FALSE;
      return SetItemState(*list, index, item->state, item->stateMask) ? TRUE : FALSE;
    }
    case LVM_GETITEMSTATE:
      if (index < 0 || index >= static_cast<int>(list->items.size())) return 0;
      return list->items[static_cast<std::size_t>(index)].state & static_cast<UINT>(lParam);
    case LVM_GETNEXTITEM:
      return NextItem(*list, static_cast<int>(static_cast<std::intptr_t>(wParam)), static_cast<int>(lParam));
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(list->items.begin(), list->items.end(),
                           [](const ListItem& item) { return (item.state & LVIS_SELECTED) != 0; });
    case LVM_SORTITEMS:
      SortItems(*list, static_cast<LPARAM>(wParam), reinterpret_cast<PFNLVCOMPARE>(lParam));
      return TRUE;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD old = list->exStyle;
      DWORD mask = wParam == 0 ? 0xFFFFFFFF : static_cast<DWORD>(wParam);
      list->exStyle = (old & ~mask) | (static_cast<DWORD>(lParam) & mask);
      Repaint(*list);
      return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return list->exStyle;
    case LVM_HITTEST: {
      auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
      if (info == nullptr) return -1;
      info->iItem = HitTest(*list, info->pt, &info->flags, &info->iSubItem);
      return info->iItem;
    }
    case LVM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr || index < 0 || index >= static_cast<int>(list->items.size())) return FALSE;
      *rect = ItemRect(*list, index);
      return TRUE;
    }
    case LVM_ENSUREVISIBLE:
      if (index < 0 || index >= static_cast<int>(list->items.size())) return FALSE;
      EnsureVisible(*list, index);
      return TRUE;
    case LVM_GETTOPINDEX:
      return list->top;
    case LVM_GETCOUNTPERPAGE:
      return RowsPerPage(window);
    case LVM_UPDATE:
      Repaint(*list);
      return TRUE;
    case LVM_SETITEMCOUNT:
      return TRUE;  // only a hint of the coming count for a list that holds its items
    case LVM_GETEDITCONTROL:
      return list->edit;
    case LVM_EDITLABELA:
    case LVM_EDITLABELW:
      return BeginLabelEdit(*list, index);
    case LVM_SETIMAGELIST:
      return std::exchange(list->images, static_cast<HIMAGELIST>(lParam));
    case LVM_GETIMAGELIST:
      return list->images;
    case LVM_SETBKCOLOR:
      list->background = static_cast<COLORREF>(lParam);
      return TRUE;
    case LVM_GETBKCOLOR:
      return list->background;
    case LVM_SETTEXTCOLOR:
      list->textColor = static_cast<COLORREF>(lParam);
      return TRUE;
    case LVM_GETTEXTCOLOR:
      return list->textColor;
    default:
      return Default(window, message, wParam, lParam);
  }
}

// --- tool bar --------------------------------------------------------------------------

struct ToolButton {
  TBBUTTON data{};
  std::u16string text;  // a text given by pointer rather than string index
  bool ownText = false;
};

struct ToolBar : Control {
  ToolBar() : Control(platform::win::CommonControlKind::kToolBar) {}
  std::vector<ToolButton> buttons;
  std::vector<std::u16string> strings;
  int buttonWidth = 24;
  int buttonHeight = 22;
  DWORD exStyle = 0;
  HIMAGELIST images = 0, hotImages = 0, disabledImages = 0;
  int pressed = -1;  // index of the button held down by the mouse
};

std::u16string ButtonText(const ToolBar& bar, const ToolButton& button) {
  if (button.ownText) return button.text;
  INT_PTR index = button.data.iString;
  if (index >= 0 && index < static_cast<INT_PTR>(bar.strings.size())) return bar.strings[static_cast<std::size_t>(index)];
  return {};
}

int ButtonWidth(const ToolBar& bar, const ToolButton& button) {
  if (button.data.fsStyle & TBSTYLE_SEP) return button.data.iBitmap > 0 ? button.data.iBitmap : 8;
  int width = bar.buttonWidth;
  if ((button.data.fsStyle & TBSTYLE_DROPDOWN) && (bar.exStyle & TBSTYLE_EX_DRAWDDARROWS)) {
    width += platform::win::kDropDownArrowWidth;
  }
  return width;
}

// The rectangles of the buttons (empty for hidden ones), wrapped to the window's
// width for wrapable bars.
std::vector<RECT> Layout(const ToolBar& bar) {
  RECT client;
  GetClientRect(bar.window, &client);
  bool wrapable = (StyleOf(bar.window) & TBSTYLE_WRAPABLE) != 0;
  std::vector<RECT> rects;
  int x = 0, y = 0;
  for (const auto& button : bar.buttons) {
    if (button.data.fsState & TBSTATE_HIDDEN) {
      rects.push_back(RECT{0, 0, 0, 0});
      continue;
    }
    int width = ButtonWidth(bar, button);
    if (wrapable && x > 0 && x + width > client.right) {
      x = 0;
      y += bar.buttonHeight;
    }
    rects.push_back(RECT{x, y, x + width, y + bar.buttonHeight});
    x += width;
    if (button.data.fsState & TBSTATE_WRAP) {
      x = 0;
      y += bar.buttonHeight;
    }
  }
  return rects;
}

int ButtonAt(const ToolBar& bar, POINT point) {
  auto rects = Layout(bar);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const RECT& r = rects[i];
    if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

int CommandIndex(const ToolBar& bar, WPARAM command) {
  for (std::size_t i = 0; i < bar.buttons.size(); ++i) {
    if (bar.buttons[i].data.idCommand == static_cast<int>(command)) return static_cast<int>(i);
  }
  return -1;
}

template <typename Char>
LRESULT AddStrings(ToolBar& bar, WPARAM instance, LPARAM lParam) {
  if (instance != 0 || lParam == 0) return -1;  // strings from resources are not kept here
  auto first = static_cast<LRESULT>(bar.strings.size());
  // A list of zero-terminated strings ended by an empty one.
  for (auto* text = reinterpret_cast<const Char*>(lParam); *text != 0;) {
    std::u16string wide = ToWide(text);
    std::size_t length = 0;
    while (text[length] != 0) ++length;
    bar.strings.push_back(std::move(wide));
    text += length + 1;
  }
  return first;
}

template <typename Char>
LRESULT InsertButton(ToolBar& bar, int index, const TBBUTTON* source) {
  if (source == nullptr) return FALSE;
  ToolButton button;
  button.data = *source;
  INT_PTR string = source->iString;
  if (string != -1 && (string < 0 || string > 0xFFFF)) {
    // A pointer to the button's own text rather than a string index.
    button.ownText = true;
    button.text = ToWide(reinterpret_cast<const Char*>(string));
    button.data.iString = -1;
  }
  if (index < 0 || index > static_cast<int>(bar.buttons.size())) index = static_cast<int>(bar.buttons.size());
  bar.buttons.insert(bar.buttons.begin() + index, std::move(button));
  InvalidateRect(bar.window, nullptr, TRUE);
  return TRUE;
}

template <typename Char>
LRESULT GetButtonText(const ToolBar& bar, WPARAM command, Char* buffer) {
  int index = CommandIndex(bar, command);
  if (index < 0) return -1;
  std::u16string text = ButtonText(bar, bar.buttons[static_cast<std::size_t>(index)]);
  if constexpr (sizeof(Char) == 1) {
    std::string ansi = platform::WideToAnsi(text);
    if (buffer != nullptr) std::copy(ansi.c_str(), ansi.c_str() + ansi.size() + 1, buffer);
    return static_cast<LRESULT>(ansi.size());
  } else {
    if (buffer != nullptr) std::copy(text.c_str(), text.c_str() + text.size() + 1, buffer);
    return static_cast<LRESULT>(text.size());
  }
}

bool SetButtonState(ToolBar& bar, WPARAM command, BYTE bit, bool on) {
  int index = CommandIndex(bar, command);
  if (index < 0) return false;
  BYTE& state = bar.buttons[static_cast<std::size_t>(index)].data.fsState;
  state = on ? (state | bit) : (state & ~bit);
  InvalidateRect(bar.window, nullptr, TRUE);
  return true;
}

LRESULT ButtonHasState(const ToolBar& bar, WPARAM command, BYTE bit) {
  int index = CommandIndex(bar, command);
  return index >= 0 && (bar.buttons[static_cast<std::size_t>(index)].data.fsState & bit) ? TRUE : FALSE;
}

// A press on a drop-down part drops the menu down (TBN_DROPDOWN) instead of pressing.
bool DropsDown(const ToolBar& bar, int index, POINT point) {
  const TBBUTTON& data = bar.buttons[static_cast<std::size_t>(index)].data;
  if (!(data.fsStyle & TBSTYLE_DROPDOWN)) return false;
  if (!(bar.exStyle & TBSTYLE_EX_DRAWDDARROWS)) return true;
  RECT rect = Layout(bar)[static_cast<std::size_t>(index)];
  return point.x >= rect.right - platform::win::kDropDownArrowWidth;
}

void ToolButtonDown(ToolBar& bar, POINT point) {
  int index = ButtonAt(bar, point);
  if (index < 0) return;
  ToolButton& button = bar.buttons[static_cast<std::size_t>(index)];
  if ((button.data.fsStyle & TBSTYLE_SEP) || !(button.data.fsState & TBSTATE_ENABLED)) return;
  if (DropsDown(bar, index, point)) {
    NMTOOLBARA info{};
    info.iItem = button.data.idCommand;
    info.tbButton = button.data;
    info.rcButton = Layout(bar)[static_cast<std::size_t>(index)];
    Notify(bar.window, info.hdr, TBN_DROPDOWN);
    return;
  }
  button.data.fsState |= TBSTATE_PRESSED;
  bar.pressed = index;
  SetCapture(bar.window);
  InvalidateRect(bar.window, nullptr, TRUE);
}

void ToolButtonUp(ToolBar& bar, POINT point) {
  int index = bar.pressed;
  bar.pressed = -1;
  if (GetCapture() == bar.window) ReleaseCapture();
  if (index < 0 || index >= static_cast<int>(bar.buttons.size())) return;
  ToolButton& button = bar.buttons[static_cast<std::size_t>(index)];
  button.data.fsState &= ~TBSTATE_PRESSED;
  InvalidateRect(bar.window, nullptr, TRUE);
  if (ButtonAt(bar, point) != index) return;  // released elsewhere: no click
  if (button.data.fsStyle & TBSTYLE_CHECK) button.data.fsState ^= TBSTATE_CHECKED;
  HWND parent = GetParent(bar.window);
  if (parent != 0) {
    SendMessageW(parent, WM_COMMAND, MAKELONG(static_cast<WORD>(button.data.idCommand), BN_CLICKED),
                 static_cast<LPARAM>(bar.window));
  }
}

LRESULT ToolBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Attach(window, std::make_shared<ToolBar>());
    return Default(window, message, wParam, lParam);
  }
  auto bar = StateOf<ToolBar>(window);
  if (!bar) return Default(window, message, wParam, lParam);
  LRESULT result = 0;
  if (CommonMessage(*bar, message, wParam, lParam, result)) return result;
  auto index = static_cast<int>(wParam);
  switch (message) {
    case WM_CREATE:
      bar->unicodeNotify = AskNotifyFormat(window);
      return 0;
    case WM_NCDESTROY:
      Detach(window);
      return Default(window, message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ToolButtonDown(*bar, PointOf(lParam));
      return 0;
    case WM_LBUTTONUP:
      ToolButtonUp(*bar, PointOf(lParam));
      return 0;
    case TB_BUTTONSTRUCTSIZE:
    case TB_AUTOSIZE:
    case TB_SETMAXTEXTROWS:
      return TRUE;
    case TB_ADDSTRINGA:
      return AddStrings<char>(*bar, wParam, lParam);
    case TB_ADDSTRINGW:
      return AddStrings<char16_t>(*bar, wParam, lParam);
    case TB_INSERTBUTTONA:
      return InsertButton<char>(*bar, index, reinterpret_cast<const TBBUTTON*>(lParam));
    case TB_INSERTBUTTONW:
      return InsertButton<char16_t>(*bar, index, reinterpret_cast<const TBBUTTON*>(lParam));
    case TB_DELETEBUTTON:
      if (index < 0 || index >= static_cast<int>(bar->buttons.size())) return FALSE;
      bar->buttons.erase(bar->buttons.begin() + index);
      bar->pressed = -1;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(bar->buttons.size());
    case TB_GETBUTTON: {
      auto* target = reinterpret_cast<TBBUTTON*>(lParam);
      if (target == nullptr || index < 0 || index >= static_cast<int>(bar->buttons.size())) return FALSE;
      *target = bar->buttons[static_cast<std::size_t>(index)].data;
      return TRUE;
    }
    case TB_COMMANDTOINDEX:
      return CommandIndex(*bar, wParam);
    case TB_ENABLEBUTTON:
      return SetButtonState(*bar, wParam, TBSTATE_ENABLED, LOWORD(static_cast<DWORD>(lParam)) != 0);
    case TB_CHECKBUTTON:
      return SetButtonState(*bar, wParam, TBSTATE_CHECKED, LOWORD(static_cast<DWORD>(lParam)) != 0);
    case TB_PRESSBUTTON:
      return SetButtonState(*bar, wParam, TBSTATE_PRESSED, LOWORD(static_cast<DWORD>(lParam)) != 0);
    case TB_HIDEBUTTON:
      return SetButtonState(*bar, wParam, TBSTATE_HIDDEN, LOWORD(static_cast<DWORD>(lParam)) != 0);
    case TB_ISBUTTONENABLED:
      return ButtonHasState(*bar, wParam, TBSTATE_ENABLED);
    case TB_ISBUTTONCHECKED:
      return ButtonHasState(*bar, wParam, TBSTATE_CHECKED);
    case TB_ISBUTTONHIDDEN:
      return ButtonHasState(*bar, wParam, TBSTATE_HIDDEN);
    case TB_SETSTATE: {
      int at = CommandIndex(*bar, wParam);
      if (at < 0) return FALSE;
      bar->buttons[static_cast<std::size_t>(at)].data.fsState = static_cast<BYTE>(LOWORD(static_cast<DWORD>(lParam)));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case TB_GETSTATE: {
      int at = CommandIndex(*bar, wParam);
      return at < 0 ? -1 : bar->buttons[static_cast<std::size_t>(at)].data.fsState;
    }
    case TB_GETBUTTONTEXTA:
      return GetButtonText(*bar, wParam, reinterpret_cast<char*>(lParam));
    case TB_GETBUTTONTEXTW:
      return GetButtonText(*bar, wParam, reinterpret_cast<char16_t*>(lParam));
    case TB_SETBUTTONSIZE:
      bar->buttonWidth = std::max<int>(1, LOWORD(static_cast<DWORD>(lParam)));
      bar->buttonHeight = std::max<int>(1, HIWORD(static_cast<DWORD>(lParam)));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case TB_GETBUTTONSIZE:
      return MAKELONG(static_cast<WORD>(bar->buttonWidth), static_cast<WORD>(bar->buttonHeight));
    case TB_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr || index < 0 || index >= static_cast<int>(bar->buttons.size())) return FALSE;
      *rect = Layout(*bar)[static_cast<std::size_t>(index)];
      return TRUE;
    }
    case TB_HITTEST: {
      auto* point = reinterpret_cast<const POINT*>(lParam);
      return point == nullptr ? -1 : ButtonAt(*bar, *point);
    }
    case TB_GETROWS: {
      int rows = 0;
      for (const RECT& rect : Layout(*bar)) rows = std::max<int>(rows, rect.bottom / bar->buttonHeight);
      return std::max(rows, 1);
    }
    case TB_SETIMAGELIST:
      return std::exchange(bar->images, static_cast<HIMAGELIST>(lParam));
    case TB_GETIMAGELIST:
      return bar->images;
    case TB_SETHOTIMAGELIST:
      return std::exchange(bar->hotImages, static_cast<HIMAGELIST>(lParam));
    case TB_GETHOTIMAGELIST:
      return bar->hotImages;
    case TB_SETDISABLEDIMAGELIST:
      return std::exchange(bar->disabledImages, static_cast<HIMAGELIST>(lParam));
    case TB_GETDISABLEDIMAGELIST:
      return bar->disabledImages;
    case TB_SETSTYLE:
      SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(lParam));
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TB_GETSTYLE:
      return StyleOf(window);
    case TB_SETEXTENDEDSTYLE: {
      DWORD old = bar->exStyle;
      bar->exStyle = static_cast<DWORD>(lParam);
      InvalidateRect(window, nullptr, TRUE);
      return old;
    }
    case TB_GETEXTENDEDSTYLE:
      return bar->exStyle;
    case TB_GETHOTITEM:
      return -1;
    default:
      return Default(window, message, wParam, lParam);
  }
}

// --- tab control -----------------------------------------------------------------------

struct Tab {
  std::u16string text;
  int image = -1;
  LPARAM param = 0;
};

struct TabControl : Control {
  TabControl() : Control(platform::win::CommonControlKind::kTabControl) {}
  std::vector<Tab> tabs;
  int current = -1;
};

std::vector<RECT> TabRects(const TabControl& control) {
  std::vector<RECT> rects;
  int x = 2;
  for (const auto& tab : control.tabs) {
    int width = std::max(TextWidth(control.window, tab.text) + 12, 40);
    rects.push_back(RECT{x, 2, x + width, 2 + platform::win::kTabHeight});
    x += width;
  }
  return rects;
}

int TabAt(const TabControl& control, POINT point) {
  auto rects = TabRects(control);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const RECT& r = rects[i];
    if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

template <typename Char>
void ApplyTab(Tab& tab, const TCITEMT<Char>& source) {
  if (source.mask & TCIF_TEXT) tab.text = ToWide(source.pszText);
  if (source.mask & TCIF_IMAGE) tab.image = source.iImage;
  if (source.mask & TCIF_PARAM) tab.param = source.lParam;
}

template <typename Char>
LRESULT InsertTab(TabControl& control, int index, const TCITEMT<Char>* source) {
  if (source == nullptr || index < 0) return -1;
  index = std::min(index, static_cast<int>(control.tabs.size()));
  Tab tab;
  ApplyTab(tab, *source);
  control.tabs.insert(control.tabs.begin() + index, std::move(tab));
  if (control.current < 0) {
    control.current = 0;
  } else if (index <= control.current) {
    ++control.current;
  }
  InvalidateRect(control.window, nullptr, TRUE);
  return index;
}

template <typename Char>
LRESULT SetTab(TabControl& control, int index, const TCITEMT<Char>* source) {
  if (source == nullptr || index < 0 || index >= static_cast<int>(control.tabs.size())) return FALSE;
  ApplyTab(control.tabs[static_cast<std::size_t>(index)], *source);
  InvalidateRect(control.window, nullptr, TRUE);
  return TRUE;
}

template <typename Char>
LRESULT GetTab(TabControl& control, int index, TCITEMT<Char>* target) {
  if (target == nullptr || index < 0 || index >= static_cast<int>(control.tabs.size())) return FALSE;
  const Tab& tab = control.tabs[static_cast<std::size_t>(index)];
  if (target->mask & TCIF_TEXT) CopyOut(tab.text, target->pszText, target->cchTextMax);
  if (target->mask & TCIF_IMAGE) target->iImage = tab.image;
  if (target->mask & TCIF_PARAM) target->lParam = tab.param;
  return TRUE;
}

// A change of tab by the user: the parent may refuse it (TCN_SELCHANGING) and is told
// of it afterwards (TCN_SELCHANGE).
void ChooseTab(TabControl& control, int index) {
  if (index < 0 || index >= static_cast<int>(control.tabs.size()) || index == control.current) return;
  NMHDR header{};
  if (Notify(control.window, header, TCN_SELCHANGING) != 0) return;
  control.current = index;
  InvalidateRect(control.window, nullptr, TRUE);
  Notify(control.window, header, TCN_SELCHANGE);
}

LRESULT TabControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Attach(window, std::make_shared<TabControl>());
    return Default(window, message, wParam, lParam);
  }
  auto control = StateOf<TabControl>(window);
  if (!control) return Default(window, message, wParam, lParam);
  LRESULT result = 0;
  if (CommonMessage(*control, message, wParam, lParam, result)) return result;
  auto index = static_cast<int>(wParam);
  switch (message) {
    case WM_CREATE:
      control->unicodeNotify = AskNotifyFormat(window);
      return 0;
    case WM_NCDESTROY:
      Detach(window);
      return Default(window, message, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      ChooseTab(*control, TabAt(*control, PointOf(lParam)));
      return 0;
    case WM_KEYDOWN: {
      NMHDR header{};
      Notify(window, header, TCN_KEYDOWN);
      if (wParam == static_cast<WPARAM>(VK_LEFT)) ChooseTab(*control, control->current - 1);
      if (wParam == static_cast<WPARAM>(VK_RIGHT)) ChooseTab(*control, control->current + 1);
      return 0;
    }
    case TCM_GETITEMCOUNT:
      return static_cast<LRESULT>(control->tabs.size());
    case TCM_INSERTITEMA:
      return InsertTab(*control, index, reinterpret_cast<const TCITEMA*>(lParam));
    case TCM_INSERTITEMW:
      return InsertTab(*control, index, reinterpret_cast<const TCITEMW*>(lParam));
    case TCM_SETITEMA:
      return SetTab(*control, index, reinterpret_cast<const TCITEMA*>(lParam));
    case TCM_SETITEMW:
      return SetTab(*control, index, reinterpret_cast<const TCITEMW*>(lParam));
    case TCM_GETITEMA:
      return GetTab(*control, index, reinterpret_cast<TCITEMA*>(lParam));
    case TCM_GETITEMW:
      return GetTab(*control, index, reinterpret_cast<TCITEMW*>(lParam));
    case TCM_DELETEITEM:
      if (index < 0 || index >= static_cast<int>(control->tabs.size())) return FALSE;
      control->tabs.erase(control->tabs.begin() + index);
      if (index < control->current || control->current >= static_cast<int>(control->tabs.size())) --control->current;
      if (control->current < 0 && !control->tabs.empty()) control->current = 0;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case TCM_DELETEALLITEMS:
      control->tabs.clear();
      control->current = -1;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case TCM_GETCURSEL:
      return control->current;
    case TCM_SETCURSEL: {
      int old = control->current;
      if (index < 0 || index >= static_cast<int>(control->tabs.size())) return -1;
      control->current = index;
      InvalidateRect(window, nullptr, TRUE);
      return old;
    }
    case TCM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      auto rects = TabRects(*control);
      if (rect == nullptr || index < 0 || index >= static_cast<int>(rects.size())) return FALSE;
      *rect = rects[static_cast<std::size_t>(index)];
      return TRUE;
    }
    case TCM_HITTEST: {
      auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
      if (info == nullptr) return -1;
      int at = TabAt(*control, info->pt);
      info->flags = at < 0 ? TCHT_NOWHERE : TCHT_ONITEM;
      return at;
    }
    case TCM_ADJUSTRECT: {
      // FALSE: the display area inside a window rectangle; TRUE: the reverse.
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr) return 0;
      int topBand = platform::win::kTabHeight + 4;
      if (wParam) {
        rect->left -= 4, rect->top -= topBand, rect->right += 4, rect->bottom += 4;
      } else {
        rect->left += 4, rect->top += topBand, rect->right -= 4, rect->bottom -= 4;
      }
      return 0;
    }
    default:
      return Default(window, message, wParam, lParam);
  }
}

// --- up-down ---------------------------------------------------------------------------

struct UpDown : Control {
  UpDown() : Control(platform::win::CommonControlKind::kUpDown) {}
  int lower = 100;  // the system's default range runs from 100 down to 0
  int upper = 0;
  int position = 0;
  HWND buddy = 0;
  WNDPROC buddyProc = nullptr;  // the buddy's procedure before the arrow-key hook
  std::unique_ptr<platform::win::WindowProcStub> buddyHook;
};

bool Horizontal(HWND window) { return (StyleOf(window) & UDS_HORZ) != 0; }

std::u16string FormatPosition(int value, bool thousands) {
  const std::u16string digits = platform::AnsiToWide(std::to_string(value < 0 ? -static_cast<long>(value) : value));
  // Appended, not inserted into the digits: g++ 12 warns falsely (-Wrestrict) on the
  // optimized insert.
  std::u16string text = value < 0 ? u"-" : u"";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (thousands && i > 0 && (digits.size() - i) % 3 == 0) text += u',';
    text += digits[i];
  }
  return text;
}

// The buddy's text read as a number (thousands separators allowed); false when it is
// not one.
bool ParseBuddy(HWND buddy, int* value) {
  int length = GetWindowTextLengthW(buddy);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(buddy, text.data(), length + 1)));
  text.erase(std::remove(text.begin(), text.end(), u','), text.end());
  text.erase(std::remove(text.begin(), text.end(), u' '), text.end());
  if (text.empty() || text.size() > 10) return false;
  long number = 0;
  std::size_t at = text[0] == u'-' ? 1 : 0;
  if (at == text.size()) return false;
  for (; at < text.size(); ++at) {
    if (text[at] < u'0' || text[at] > u'9') return false;
    number = number * 10 + (text[at] - u'0');
  }
  *value = static_cast<int>(text[0] == u'-' ? -number : number);
  return true;
}

int Clamp(const UpDown& control, int value) {
  return std::clamp(value, std::min(control.lower, control.upper), std::max(control.lower, control.upper));
}

bool InRange(const UpDown& control, int value) { return Clamp(control, value) == value; }

void ShowInBuddy(const UpDown& control) {
  if (control.buddy == 0 || !(StyleOf(control.window) & UDS_SETBUDDYINT)) return;
  std::u16string text = FormatPosition(control.position, !(StyleOf(control.window) & UDS_NOTHOUSANDS));
  SetWindowTextW(control.buddy, text.c_str());
}

// Takes the buddy's number as the position when it holds a valid one; false when not.
bool ReadBuddy(UpDown& control) {
  if (control.buddy == 0 || !(StyleOf(control.window) & UDS_SETBUDDYINT)) return true;
  int value;
  if (!ParseBuddy(control.buddy, &value) || !InRange(control, value)) return false;
  control.position = value;
  return true;
}

// One step towards the upper end (up) or the lower end, as an arrow or key does.
void Step(UpDown& control, bool up) {
  ReadBuddy(control);
  int delta = (up == (control.upper >= control.lower)) ? 1 : -1;
  NMUPDOWN info{};
  info.iPos = control.position;
  info.iDelta = delta;
  if (Notify(control.window, info.hdr, UDN_DELTAPOS) != 0) return;
  if (!IsWindow(control.window)) return;
  int fresh = control.position + info.iDelta;
  if (!InRange(control, fresh)) {
    if (StyleOf(control.window) & UDS_WRAP) {
      fresh = fresh > std::max(control.lower, control.upper) ? std::min(control.lower, control.upper)
                                                            : std::max(control.lower, control.upper);
    } else {
      fresh = Clamp(control, fresh);
    }
  }
  if (fresh == control.position) return;
  control.position = fresh;
  ShowInBuddy(control);
  HWND parent = GetParent(control.window);
  if (parent == 0) return;
  UINT scroll = Horizontal(control.window) ? WM_HSCROLL : WM_VSCROLL;
  SendMessageW(parent, scroll, MAKELONG(SB_THUMBPOSITION, static_cast<WORD>(control.position)),
               static_cast<LPARAM>(control.window));
}

void EndSteps(const UpDown& control) {
  HWND parent = GetParent(control.window);
  if (parent == 0) return;
  UINT scroll = Horizontal(control.window) ? WM_HSCROLL : WM_VSCROLL;
  SendMessageW(parent, scroll, MAKELONG(SB_ENDSCROLL, static_cast<WORD>(control.position)),
               static_cast<LPARAM>(control.window));
}

// The arrow keys step the position; true when the key was one of them.
bool StepByKey(HWND window, WPARAM key) {
  auto control = StateOf<UpDown>(window);
  if (!control) return false;
  bool horizontal = Horizontal(window);
  if (key == static_cast<WPARAM>(horizontal ? VK_RIGHT : VK_UP)) {
    Step(*control, true);
  } else if (key == static_cast<WPARAM>(horizontal ? VK_LEFT : VK_DOWN)) {
    Step(*control, false);
  } else {
    return false;
  }
  EndSteps(*control);
  return true;
}

void Unhook(UpDown& control) {
  if (control.buddyHook && IsWindow(control.buddy)) {
    bool unicode = IsWindowUnicode(control.buddy) != FALSE;
    auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control.buddy, GWL_WNDPROC));
    // Only a hook that is still on top can be taken off without cutting another one out.
    if (current == control.buddyHook->Proc()) {
      auto value = reinterpret_cast<LONG_PTR>(control.buddyProc);
      unicode ? SetWindowLongPtrW(control.buddy, GWL_WNDPROC, value)
              : SetWindowLongPtrA(control.buddy, GWL_WNDPROC, value);
      control.buddyHook.reset();
    }
  } else {
    control.buddyHook.reset();
  }
  control.buddyProc = nullptr;
}

// With UDS_ARROWKEYS the buddy's arrow keys step the up-down.
void HookBuddy(UpDown& control) {
  bool unicode = IsWindowUnicode(control.buddy) != FALSE;
  control.buddyProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control.buddy, GWL_WNDPROC));
  HWND self = control.window;
  WNDPROC previous = control.buddyProc;
  control.buddyHook = std::make_unique<platform::win::WindowProcStub>(
      [self, previous, unicode](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_KEYDOWN && StepByKey(self, wParam)) return 0;
        return unicode ? CallWindowProcW(previous, window, message, wParam, lParam)
                       : CallWindowProcA(previous, window, message, wParam, lParam);
      },
      unicode);
  auto value = reinterpret_cast<LONG_PTR>(control.buddyHook->Proc());
  unicode ? SetWindowLongPtrW(control.buddy, GWL_WNDPROC, value) : SetWindowLongPtrA(control.buddy, GWL_WNDPROC, value);
}

// Sits beside the buddy (UDS_ALIGNRIGHT / UDS_ALIGNLEFT), which gives up that room.
void AlignToBuddy(const UpDown& control) {
  DWORD style = StyleOf(control.window);
  if (!(style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) return;
  RECT buddy, own;
  GetWindowRect(control.buddy, &buddy);
  GetWindowRect(control.window, &own);
  HWND parent = GetParent(control.buddy);
  POINT topLeft{buddy.left, buddy.top};
  if (parent != 0) ScreenToClient(parent, &topLeft);
  int width = own.right - own.left, buddyWidth = buddy.right - buddy.left, height = buddy.bottom - buddy.top;
  int newBuddyWidth = std::max(0, buddyWidth - width);
  if (style & UDS_ALIGNRIGHT) {
    MoveWindow(control.buddy, topLeft.x, topLeft.y, newBuddyWidth, height, TRUE);
    MoveWindow(control.window, topLeft.x + newBuddyWidth, topLeft.y, width, height, TRUE);
  } else {
    MoveWindow(control.window, topLeft.x, topLeft.y, width, height, TRUE);
    MoveWindow(control.buddy, topLeft.x + width, topLeft.y, newBuddyWidth, height, TRUE);
  }
}

HWND SetBuddy(UpDown& control, HWND buddy) {
  HWND old = control.buddy;
  Unhook(control);
  control.buddy = IsWindow(buddy) ? buddy : 0;
  if (control.buddy == 0) return old;
  if (StyleOf(control.window) & UDS_ARROWKEYS) HookBuddy(control);
  AlignToBuddy(control);
  ShowInBuddy(control);
  return old;
}

LRESULT UpDownProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Attach(window, std::make_shared<UpDown>());
    return Default(window, message, wParam, lParam);
  }
  auto control = StateOf<UpDown>(window);
  if (!control) return Default(window, message, wParam, lParam);
  LRESULT result = 0;
  if (CommonMessage(*control, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_CREATE:
      control->unicodeNotify = AskNotifyFormat(window);
      return 0;
    case WM_DESTROY:
      Unhook(*control);
      return Default(window, message, wParam, lParam);
    case WM_NCDESTROY:
      Detach(window);
      return Default(window, message, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      if (StyleOf(window) & UDS_ARROWKEYS) StepByKey(window, wParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (!IsWindowEnabled(window)) return 0;
      POINT point = PointOf(lParam);
      RECT client;
      GetClientRect(window, &client);
      bool up = Horizontal(window) ? point.x >= client.right / 2 : point.y < client.bottom / 2;
      Step(*control, up);
      return 0;
    }
    case WM_LBUTTONUP:
      EndSteps(*control);
      return 0;
    case UDM_SETRANGE:
      control->upper = static_cast<short>(LOWORD(static_cast<DWORD>(lParam)));
      control->lower = static_cast<short>(HIWORD(static_cast<DWORD>(lParam)));
      return 0;
    case UDM_GETRANGE:
      return MAKELONG(static_cast<WORD>(control->upper), static_cast<WORD>(control->lower));
    case UDM_SETRANGE32:
      control->lower = static_cast<int>(static_cast<std::intptr_t>(wParam));
      control->upper = static_cast<int>(lParam);
      return 0;
    case UDM_GETRANGE32:
      if (wParam != 0) *reinterpret_cast<int*>(wParam) = control->lower;
      if (lParam != 0) *reinterpret_cast<int*>(lParam) = control->upper;
      return 0;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
      int old = control->position;
      int value = message == UDM_SETPOS ? static_cast<short>(LOWORD(static_cast<DWORD>(lParam))) : static_cast<int>(lParam);
      control->position = Clamp(*control, value);
      ShowInBuddy(*control);
      return old;
    }
    case UDM_GETPOS: {
      bool ok = ReadBuddy(*control);
      return MAKELONG(static_cast<WORD>(control->position), ok ? 0 : 1);
    }
    case UDM_GETPOS32: {
      bool ok = ReadBuddy(*control);
      if (lParam != 0) *reinterpret_cast<BOOL*>(lParam) = ok ? FALSE : TRUE;
      return control->position;
    }
    case UDM_SETBUDDY:
      return SetBuddy(*control, static_cast<HWND>(wParam));
    case UDM_GETBUDDY:
      return control->buddy;
    default:
      return Default(window, message, wParam, lParam);
  }
}

// --- classes ---------------------------------------------------------------------------

struct ClassEntry {
  DWORD flag;
  const char16_t* name;
  WNDPROC proc;
};

constexpr ClassEntry kClasses[] = {
    {ICC_LISTVIEW_CLASSES, WC_LISTVIEWW, ListViewProc},
    {ICC_BAR_CLASSES, TOOLBARCLASSNAMEW, ToolBarProc},
    {ICC_TAB_CLASSES, WC_TABCONTROLW, TabControlProc},
    {ICC_UPDOWN_CLASS, UPDOWN_CLASSW, UpDownProc},
};

}  // namespace

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (init == nullptr || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  static std::mutex lock;
  std::lock_guard guard(lock);
  for (const auto& entry : kClasses) {
    if (!(init->dwICC & entry.flag)) continue;
    WNDCLASSW existing{};
    if (GetClassInfoW(0, entry.name, &existing) && existing.lpfnWndProc == entry.proc) continue;
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = entry.proc;
    wc.lpszClassName = entry.name;
    if (RegisterClassW(&wc) == 0) return FALSE;
  }
  return TRUE;
}

void InitCommonControls() {
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&init);
}

void platform::win::SetCommonControlDrawing(const CommonControlDrawing& drawing) {
  std::lock_guard guard(R().lock);
  R().drawing = drawing;
}
