#include "platform/gdi/menu_paint.h"

#include "platform/gdi/device_context.h"
#include "platform/gdi/frame_drawing.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"

namespace {

using platform::win::MenuItemView;

HFONT MenuFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

void Text(HDC dc, std::u16string_view text, RECT rect, UINT format) {
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, format | DT_SINGLELINE | DT_VCENTER);
}

void PaintSeparator(HDC dc, RECT rect) {
  int middle = (rect.top + rect.bottom) / 2;
  RECT line{rect.left + 1, middle - 1, rect.right - 1, middle + 1};
  DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
}

void PaintOwnerDrawn(HDC dc, HWND owner, HMENU menu, const MenuItemView& item) {
  UINT state = (item.hot ? ODS_SELECTED : 0) | ((item.state & MF_CHECKED) ? ODS_CHECKED : 0) |
               ((item.state & MF_GRAYED) ? ODS_GRAYED : 0) | ((item.state & MF_DISABLED) ? ODS_DISABLED : 0);
  DRAWITEMSTRUCT draw{ODT_MENU, 0, item.id, ODA_DRAWENTIRE, state, menu, dc, item.rect, item.data};
  SendMessageW(owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
}

void PaintTextItem(HDC dc, const MenuItemView& item) {
  bool grayed = item.state & (MF_GRAYED | MF_DISABLED);
  if (item.hot) FillRect(dc, &item.rect, GetSysColorBrush(COLOR_HIGHLIGHT));
  SetTextColor(dc, GetSysColor(grayed ? COLOR_GRAYTEXT : item.hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  std::u16string_view text = item.text;
  std::size_t tab = text.find(u'\t');
  RECT rect = item.rect;
  if (item.state & MF_CHECKED) Text(dc, u"\u2713", RECT{rect.left, rect.top, rect.left + platform::win::kMenuTextLeft, rect.bottom}, DT_CENTER | DT_NOPREFIX);
  Text(dc, text.substr(0, tab), RECT{rect.left + platform::win::kMenuTextLeft, rect.top, rect.right, rect.bottom}, DT_LEFT);
  RECT rest{rect.left, rect.top, rect.right - platform::win::kMenuArrowWidth, rect.bottom};
  if (tab != std::u16string_view::npos) Text(dc, text.substr(tab + 1), rest, DT_RIGHT | DT_NOPREFIX);
  if (item.subMenu) Text(dc, u"\u25B8", RECT{rest.right, rect.top, rect.right, rect.bottom}, DT_CENTER | DT_NOPREFIX);
}

void PaintMenu(HWND window, const platform::win::MenuView& view) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc == 0) return;
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_MENU));
  DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);
  int saved = SaveDC(dc);
  SelectObject(dc, MenuFont());
  SetBkMode(dc, TRANSPARENT);
  for (const MenuItemView& item : view.items) {
    if (item.type & MFT_OWNERDRAW) {
      PaintOwnerDrawn(dc, view.owner, view.menu, item);
    } else if (item.type & MFT_SEPARATOR) {
      PaintSeparator(dc, item.rect);
    } else {
      PaintTextItem(dc, item);
    }
  }
  RestoreDC(dc, saved);
  EndPaint(window, &paint);
}

SIZE Measure(std::u16string_view text) {
  HDC dc = GetDC(0);
  if (dc == 0) return SIZE{};
  HGDIOBJ old = SelectObject(dc, MenuFont());
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(0, dc);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

void platform::gdi::InstallMenuDrawing() { platform::win::SetMenuDrawing(platform::win::MenuDrawing{PaintMenu, Measure}); }
