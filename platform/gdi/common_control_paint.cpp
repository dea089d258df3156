#include "platform/gdi/common_control_paint.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/image_lists.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/common_controls.h"
#include "platform/win/message_queue.h"

namespace {

void Fill(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Fill(HDC dc, const RECT& rect, int sysColor) { Fill(dc, rect, static_cast<COLORREF>(GetSysColor(sysColor))); }

// A raised (or, pressed, sunken) one-pixel edge around a rectangle.
void Edge(HDC dc, const RECT& r, bool sunken) {
  int light = sunken ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT;
  int dark = sunken ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW;
  Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, light);
  Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, light);
  Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, dark);
  Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, dark);
}

// A small solid triangle pointing down (or up) centred at (x, y).
void Arrow(HDC dc, int x, int y, bool up, int color) {
  for (int row = 0; row < 3; ++row) {
    int half = up ? row : 2 - row;
    Fill(dc, RECT{x - half, y - 1 + row, x + half + 1, y + row}, color);
  }
}

HFONT FontOf(HWND window) {
  auto font = static_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  return font != 0 ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void Text(HDC dc, const std::u16string& text, RECT rect, UINT format, int sysColor) {
  SetTextColor(dc, static_cast<COLORREF>(GetSysColor(sysColor)));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

DWORD Style(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

// --- list view -------------------------------------------------------------------------

std::u16string ListText(HWND window, int index, int subItem) {
  std::vector<char16_t> buffer(1024, 0);
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = buffer.data();
  item.cchTextMax = static_cast<int>(buffer.size());
  auto length = SendMessageW(window, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return std::u16string(buffer.data(), static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
}

struct ListColumnView {
  std::u16string text;
  int width;
  int fmt;
};

std::vector<ListColumnView> ListColumns(HWND window) {
  std::vector<ListColumnView> columns;
  for (int i = 0;; ++i) {
    char16_t buffer[256] = {};
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH | LVCF_FMT, 0, 0, buffer, 256, 0};
    if (!SendMessageW(window, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column))) break;
    columns.push_back({buffer, column.cx, column.fmt});
  }
  return columns;
}

UINT Alignment(int fmt) {
  if ((fmt & 3) == LVCFMT_RIGHT) return DT_RIGHT;
  if ((fmt & 3) == LVCFMT_CENTER) return DT_CENTER;
  return DT_LEFT;
}

void PaintList(HWND window, HDC dc, const RECT& client) {
  Fill(dc, client, static_cast<COLORREF>(SendMessageW(window, LVM_GETBKCOLOR, 0, 0)));
  auto columns = ListColumns(window);
  DWORD style = Style(window);
  bool report = (style & LVS_TYPEMASK) == LVS_REPORT;
  if (!report) columns = {{u"", client.right, LVCFMT_LEFT}};
  int rowsTop = 0;
  if (report && !(style & LVS_NOCOLUMNHEADER)) {
    rowsTop = platform::win::kListHeaderHeight;
    int x = 0;
    for (const auto& column : columns) {
      RECT cell{x, 0, x + column.width, rowsTop};
      Fill(dc, cell, COLOR_BTNFACE);
      Edge(dc, cell, false);
      Text(dc, column.text, RECT{cell.left + 6, 0, cell.right - 6, rowsTop}, Alignment(column.fmt), COLOR_BTNTEXT);
      x += column.width;
    }
    if (x < client.right) Fill(dc, RECT{x, 0, client.right, rowsTop}, COLOR_BTNFACE);
  }
  auto exStyle = static_cast<DWORD>(SendMessageW(window, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  bool focused = GetFocus() == window;
  int count = static_cast<int>(SendMessageW(window, LVM_GETITEMCOUNT, 0, 0));
  int top = static_cast<int>(SendMessageW(window, LVM_GETTOPINDEX, 0, 0));
  int rowHeight = platform::win::kListRowHeight;
  for (int index = top; index < count; ++index) {
    int y = rowsTop + (index - top) * rowHeight;
    if (y >= client.bottom) break;
    auto state = static_cast<UINT>(SendMessageW(window, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED | LVIS_FOCUSED));
    bool selected = (state & LVIS_SELECTED) && (focused || (style & LVS_SHOWSELALWAYS));
    RECT row;
    SendMessageW(window, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&row));
    if (selected) Fill(dc, row, focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    int x = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const auto& column = columns[c];
      bool inSelection = selected && x < row.right;
      int color = inSelection && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
      Text(dc, ListText(window, index, static_cast<int>(c)), RECT{x + 6, y, x + column.width - 6, y + rowHeight},
           Alignment(column.fmt), color);
      if (exStyle & LVS_EX_GRIDLINES) Fill(dc, RECT{x + column.width - 1, y, x + column.width, y + rowHeight}, COLOR_BTNFACE);
      x += column.width;
    }
    if (exStyle & LVS_EX_GRIDLINES) Fill(dc, RECT{0, y + rowHeight - 1, x, y + rowHeight}, COLOR_BTNFACE);
    if (focused && (state & LVIS_FOCUSED)) DrawFocusRect(dc, &row);
  }
}

// --- tool bar --------------------------------------------------------------------------

// The button's picture: from the disabled list for a disabled button when there is
// one, at the top of a button with a caption, else in its middle.
void ToolImage(HWND window, const TBBUTTON& button, const RECT& face, bool captioned, bool down, HDC dc) {
  if (button.iBitmap < 0) return;
  bool enabled = (button.fsState & TBSTATE_ENABLED) != 0;
  auto images = static_cast<HIMAGELIST>(SendMessageW(window, TB_GETIMAGELIST, 0, 0));
  auto disabled = static_cast<HIMAGELIST>(SendMessageW(window, TB_GETDISABLEDIMAGELIST, 0, 0));
  if (!enabled && disabled != 0) images = disabled;
  int width = 0, height = 0;
  if (images == 0 || !ImageList_GetIconSize(images, &width, &height)) return;
  int x = (face.left + face.right - width) / 2;
  int y = captioned ? face.top + 3 : (face.top + face.bottom - height) / 2;
  int shift = down ? 1 : 0;
  ImageList_Draw(images, button.iBitmap, dc, x + shift, y + shift, ILD_TRANSPARENT);
}

void PaintToolBar(HWND window, HDC dc, const RECT& client) {
  Fill(dc, client, COLOR_BTNFACE);
  auto exStyle = static_cast<DWORD>(SendMessageW(window, TB_GETEXTENDEDSTYLE, 0, 0));
  int count = static_cast<int>(SendMessageW(window, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TBBUTTON button{};
    RECT rect{};
    SendMessageW(window, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
    SendMessageW(window, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
    if (button.fsState & TBSTATE_HIDDEN) continue;
    if (button.fsStyle & TBSTYLE_SEP) {
      int x = (rect.left + rect.right) / 2;
      Fill(dc, RECT{x - 1, rect.top + 2, x, rect.bottom - 2}, COLOR_BTNSHADOW);
      Fill(dc, RECT{x, rect.top + 2, x + 1, rect.bottom - 2}, COLOR_BTNHIGHLIGHT);
      continue;
    }
    bool down = (button.fsState & (TBSTATE_PRESSED | TBSTATE_CHECKED)) != 0;
    bool flat = (Style(window) & TBSTYLE_FLAT) != 0;
    if (down || !flat) Edge(dc, rect, down);
    RECT face = rect;
    if ((button.fsStyle & TBSTYLE_DROPDOWN) && (exStyle & TBSTYLE_EX_DRAWDDARROWS)) {
      face.right -= platform::win::kDropDownArrowWidth;
      if (!flat) Fill(dc, RECT{face.right, rect.top + 2, face.right + 1, rect.bottom - 2}, COLOR_BTNSHADOW);
      Arrow(dc, face.right + platform::win::kDropDownArrowWidth / 2, (rect.top + rect.bottom) / 2, false,
            (button.fsState & TBSTATE_ENABLED) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    }
    auto length = SendMessageW(window, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), 0);
    ToolImage(window, button, face, length > 0, down, dc);
    if (length <= 0) continue;
    std::u16string caption(static_cast<std::size_t>(length) + 1, u'\0');
    SendMessageW(window, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), reinterpret_cast<LPARAM>(caption.data()));
    caption.resize(static_cast<std::size_t>(length));
    // Captions sit under the image area, at the button's foot.
    RECT textRect{face.left + 2, face.bottom - 18, face.right - 2, face.bottom - 2};
    if (down) textRect = RECT{textRect.left + 1, textRect.top + 1, textRect.right + 1, textRect.bottom + 1};
    Text(dc, caption, textRect, DT_CENTER, (button.fsState & TBSTATE_ENABLED) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  }
}

// --- tab control -----------------------------------------------------------------------

void PaintTabs(HWND window, HDC dc, const RECT& client) {
  Fill(dc, client, COLOR_BTNFACE);
  int bandBottom = 2 + platform::win::kTabHeight;
  Edge(dc, RECT{0, bandBottom, client.right, client.bottom}, false);
  int count = static_cast<int>(SendMessageW(window, TCM_GETITEMCOUNT, 0, 0));
  int current = static_cast<int>(SendMessageW(window, TCM_GETCURSEL, 0, 0));
  for (int i = 0; i < count; ++i) {
    char16_t buffer[256] = {};
    TCITEMW item{TCIF_TEXT, 0, 0, buffer, 256, 0, 0};
    SendMessageW(window, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    RECT rect;
    SendMessageW(window, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
    bool active = i == current;
    if (active) {
      rect.top -= 2;
      rect.bottom += 1;  // joined to the page below
    }
    Fill(dc, rect, COLOR_BTNFACE);
    Fill(dc, RECT{rect.left, rect.top, rect.right - 1, rect.top + 1}, COLOR_BTNHIGHLIGHT);
    Fill(dc, RECT{rect.left, rect.top, rect.left + 1, rect.bottom}, COLOR_BTNHIGHLIGHT);
    Fill(dc, RECT{rect.right - 1, rect.top + 1, rect.right, rect.bottom}, COLOR_BTNSHADOW);
    Text(dc, buffer, rect, DT_CENTER, COLOR_BTNTEXT);
  }
}

// --- up-down ---------------------------------------------------------------------------

void PaintUpDown(HWND window, HDC dc, const RECT& client) {
  Fill(dc, client, COLOR_BTNFACE);
  bool horizontal = (Style(window) & UDS_HORZ) != 0;
  int color = IsWindowEnabled(window) ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
  if (horizontal) {
    int middle = client.right / 2;
    RECT left{0, 0, middle, client.bottom}, right{middle, 0, client.right, client.bottom};
    Edge(dc, left, false);
    Edge(dc, right, false);
    for (int col = 0; col < 3; ++col) {
      int half = col;
      Fill(dc, RECT{middle / 2 - 1 + col, client.bottom / 2 - half, middle / 2 + col, client.bottom / 2 + half + 1}, color);
      Fill(dc, RECT{middle + middle / 2 + 1 - col, client.bottom / 2 - half, middle + middle / 2 + 2 - col,
                    client.bottom / 2 + half + 1},
           color);
    }
    return;
  }
  int middle = client.bottom / 2;
  RECT up{0, 0, client.right, middle}, down{0, middle, client.right, client.bottom};
  Edge(dc, up, false);
  Edge(dc, down, false);
  Arrow(dc, client.right / 2, middle / 2, true, color);
  Arrow(dc, client.right / 2, middle + middle / 2, false, color);
}

// --- dispatch --------------------------------------------------------------------------

void Paint(HWND window, platform::win::CommonControlKind kind, HDC given) {
  PAINTSTRUCT paint;
  HDC dc = given != 0 ? given : BeginPaint(window, &paint);
  if (dc == 0) return;
  RECT client;
  GetClientRect(window, &client);
  HGDIOBJ oldFont = SelectObject(dc, FontOf(window));
  SetBkMode(dc, TRANSPARENT);
  switch (kind) {
    case platform::win::CommonControlKind::kListView:
      PaintList(window, dc, client);
      break;
    case platform::win::CommonControlKind::kToolBar:
      PaintToolBar(window, dc, client);
      break;
    case platform::win::CommonControlKind::kTabControl:
      PaintTabs(window, dc, client);
      break;
    case platform::win::CommonControlKind::kUpDown:
      PaintUpDown(window, dc, client);
      break;
  }
  SelectObject(dc, oldFont);
  if (given == 0) EndPaint(window, &paint);
}

int TextWidth(HWND window, const std::u16string& text) {
  HDC dc = GetDC(0);
  HGDIOBJ oldFont = SelectObject(dc, FontOf(window));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, oldFont);
  ReleaseDC(0, dc);
  return size.cx;
}

}  // namespace

void platform::gdi::InstallCommonControlDrawing() {
  static const bool installed = [] {
    platform::win::CommonControlDrawing drawing;
    drawing.paint = Paint;
    drawing.textWidth = TextWidth;
    platform::win::SetCommonControlDrawing(drawing);
    return true;
  }();
  (void)installed;
}
