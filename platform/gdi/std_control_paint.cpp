#include "platform/gdi/std_control_paint.h"

#include <algorithm>

#include "platform/gdi/device_context.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/menus.h"
#include "platform/win/message_queue.h"
#include "platform/win/std_controls.h"

namespace {

using platform::win::StdControlView;
using Kind = StdControlView::Kind;

constexpr int kBoxSize = 13;
constexpr int kComboButtonWidth = 17;

COLORREF Sys(int index) { return GetSysColor(index); }

void Fill(HDC dc, RECT rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// One-pixel lines along the top and left in one colour, bottom and right in another.
void Edge(HDC dc, RECT r, COLORREF topLeft, COLORREF bottomRight) {
  Fill(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
  Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
  Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
  Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

RECT Inset(RECT r, int by) { return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

void SunkenEdge(HDC dc, RECT r) {
  Edge(dc, r, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNHIGHLIGHT));
  Edge(dc, Inset(r, 1), Sys(COLOR_3DDKSHADOW), Sys(COLOR_3DLIGHT));
}

void RaisedEdge(HDC dc, RECT r) {
  Edge(dc, r, Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_3DDKSHADOW));
  Edge(dc, Inset(r, 1), Sys(COLOR_3DLIGHT), Sys(COLOR_BTNSHADOW));
}

HFONT FontOf(const StdControlView& view) {
  return view.font != 0 ? view.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void Text(HDC dc, const std::u16string& text, RECT rect, UINT format, COLORREF color) {
  SetTextColor(dc, color);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

int Width(HDC dc, std::u16string_view text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

int LineHeight(HDC dc) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  return std::max<int>(1, metrics.tmHeight);
}

COLORREF TextColor(const StdControlView& view, int enabledColor) {
  return Sys(view.enabled ? enabledColor : COLOR_GRAYTEXT);
}

void PaintEdit(HDC dc, RECT client, const StdControlView& view) {
  bool readOnly = view.style & ES_READONLY;
  Fill(dc, client, Sys(view.enabled && !readOnly ? COLOR_WINDOW : COLOR_BTNFACE));
  // A plain border is one line; otherwise the edit draws its sunken edge itself.
  if (view.style & WS_BORDER) {
    Edge(dc, client, Sys(COLOR_WINDOWFRAME), Sys(COLOR_WINDOWFRAME));
  } else {
    SunkenEdge(dc, client);
  }
  constexpr int margin = platform::win::kEditTextMargin;
  const RECT& format = view.formatRect;
  const bool formatted = format.right > format.left;
  const int left = formatted ? format.left : margin, top = formatted ? format.top : margin;
  IntersectClipRect(dc, 2, 2, client.right - 2, client.bottom - 2);
  if (formatted) IntersectClipRect(dc, format.left, format.top, format.right, format.bottom);
  int height = LineHeight(dc);
  bool showSelection = (view.focused || (view.style & ES_NOHIDESEL)) && view.selStart != view.selEnd;
  int lineStart = 0, row = 0;
  const std::u16string& text = view.text;
  while (true) {
    std::size_t breakAt = text.find(u"\r\n", static_cast<std::size_t>(lineStart));
    int lineEnd = breakAt == std::u16string::npos ? static_cast<int>(text.size()) : static_cast<int>(breakAt);
    std::u16string_view line = std::u16string_view(text).substr(lineStart, lineEnd - lineStart);
    int y = top + row * height;
    SetTextColor(dc, TextColor(view, COLOR_WINDOWTEXT));
    TextOutW(dc, left, y, line.data(), static_cast<int>(line.size()));
    int from = std::clamp(view.selStart, lineStart, lineEnd), to = std::clamp(view.selEnd, lineStart, lineEnd);
    if (showSelection && from < to) {
      int selLeft = left + Width(dc, line.substr(0, from - lineStart));
      int selRight = left + Width(dc, line.substr(0, to - lineStart));
      Fill(dc, RECT{selLeft, y, selRight, y + height}, Sys(COLOR_HIGHLIGHT));
      SetTextColor(dc, Sys(COLOR_HIGHLIGHTTEXT));
      std::u16string_view part = line.substr(from - lineStart, to - from);
      TextOutW(dc, selLeft, y, part.data(), static_cast<int>(part.size()));
    }
    if (view.focused && view.caret >= lineStart && view.caret <= lineEnd) {
      int x = left + Width(dc, line.substr(0, view.caret - lineStart));
      Fill(dc, RECT{x, y, x + 1, y + height}, Sys(COLOR_WINDOWTEXT));
    }
    if (breakAt == std::u16string::npos || !(view.style & ES_MULTILINE)) break;
    lineStart = lineEnd + 2;
    ++row;
  }
}

void PaintCheckMark(HDC dc, int x, int y, COLORREF color) {
  // Three strokes of a tick, each three pixels high.
  for (int i = 0; i < 7; ++i) {
    int top = i < 3 ? y + 4 + i : y + 8 - (i - 2);
    Fill(dc, RECT{x + 3 + i, top, x + 4 + i, top + 3}, color);
  }
}

void PaintBox(HDC dc, RECT box, const StdControlView& view, bool threeState) {
  SunkenEdge(dc, box);
  bool grayed = threeState && view.check == BST_INDETERMINATE;
  Fill(dc, Inset(box, 2), Sys(view.enabled && !view.pushed && !grayed ? COLOR_WINDOW : COLOR_BTNFACE));
  if (view.check != BST_UNCHECKED) {
    PaintCheckMark(dc, box.left, box.top, Sys(view.enabled && !grayed ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW));
  }
}

void PaintRadio(HDC dc, RECT box, const StdControlView& view) {
  // A 12-pixel circle: a two-tone ring, a white inside and a dot when checked.
  constexpr double kCentre = 5.5;
  for (int py = 0; py < 12; ++py) {
    for (int px = 0; px < 12; ++px) {
      double dx = px - kCentre, dy = py - kCentre;
      double d2 = dx * dx + dy * dy;
      COLORREF color;
      if (d2 > 36.0) continue;
      if (d2 > 20.25) {
        color = (dx + dy < 0) ? Sys(COLOR_BTNSHADOW) : Sys(COLOR_BTNHIGHLIGHT);
      } else if (view.check == BST_CHECKED && d2 <= 4.0) {
        color = Sys(view.enabled ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW);
      } else {
        color = Sys(view.enabled && !view.pushed ? COLOR_WINDOW : COLOR_BTNFACE);
      }
      SetPixel(dc, box.left + px, box.top + py, color);
    }
  }
}

void PaintButton(HDC dc, RECT client, const StdControlView& view) {
  DWORD type = view.style & BS_TYPEMASK;
  Fill(dc, client, Sys(COLOR_BTNFACE));
  if (type == BS_GROUPBOX) {
    SIZE extent{};
    GetTextExtentPoint32W(dc, view.text.c_str(), static_cast<int>(view.text.size()), &extent);
    int height = view.text.empty() ? LineHeight(dc) : extent.cy;
    RECT frame{client.left, client.top + height / 2 - 1, client.right, client.bottom};
    Edge(dc, RECT{frame.left, frame.top, frame.right - 1, frame.bottom - 1}, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNSHADOW));
    Edge(dc, RECT{frame.left + 1, frame.top + 1, frame.right, frame.bottom}, Sys(COLOR_BTNHIGHLIGHT),
         Sys(COLOR_BTNHIGHLIGHT));
    if (!view.text.empty()) {
      RECT caption{8, 0, 8 + 2, height};
      DrawTextW(dc, view.text.c_str(), static_cast<int>(view.text.size()), &caption, DT_CALCRECT | DT_SINGLELINE);
      caption.right += 2;
      Fill(dc, caption, Sys(COLOR_BTNFACE));
      Text(dc, view.text, RECT{caption.left + 1, 0, caption.right, height}, DT_SINGLELINE,
           TextColor(view, COLOR_BTNTEXT));
    }
    return;
  }
  bool checkBox = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
  bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  UINT lines = (view.style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
  if (checkBox || radio) {
    int top = (client.bottom - kBoxSize) / 2;
    bool right = view.style & BS_LEFTTEXT;
    RECT box = right ? RECT{client.right - kBoxSize, top, client.right, top + kBoxSize}
                     : RECT{0, top, kBoxSize, top + kBoxSize};
    if (radio) {
      PaintRadio(dc, box, view);
    } else {
      PaintBox(dc, box, view, type == BS_3STATE || type == BS_AUTO3STATE);
    }
    RECT textRect = right ? RECT{0, 0, client.right - kBoxSize - 4, client.bottom}
                          : RECT{kBoxSize + 4, 0, client.right, client.bottom};
    Text(dc, view.text, textRect, lines | DT_VCENTER | (right ? DT_RIGHT : DT_LEFT), TextColor(view, COLOR_BTNTEXT));
    if (view.focused) {
      RECT measured = textRect;
      DrawTextW(dc, view.text.c_str(), static_cast<int>(view.text.size()), &measured, DT_CALCRECT | lines);
      int height = measured.bottom - measured.top;
      RECT focus{textRect.left - 1, (client.bottom - height) / 2 - 1, textRect.left + measured.right - measured.left + 1,
                 (client.bottom + height) / 2 + 1};
      DrawFocusRect(dc, &focus);
    }
    return;
  }
  RECT frame = client;
  if (type == BS_DEFPUSHBUTTON) {
    Edge(dc, frame, Sys(COLOR_WINDOWFRAME), Sys(COLOR_WINDOWFRAME));
    frame = Inset(frame, 1);
  }
  if (view.pushed) {
    Edge(dc, frame, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNSHADOW));
  } else {
    RaisedEdge(dc, frame);
  }
  int shift = view.pushed ? 1 : 0;
  RECT textRect{frame.left + shift, frame.top + shift, frame.right + shift, frame.bottom + shift};
  Text(dc, view.text, textRect, lines | DT_CENTER | DT_VCENTER, TextColor(view, COLOR_BTNTEXT));
  if (view.focused) {
    RECT focus = Inset(client, 4);
    DrawFocusRect(dc, &focus);
  }
}

void PaintStatic(HDC dc, RECT client, const StdControlView& view) {
  Fill(dc, client, Sys(COLOR_BTNFACE));
  DWORD type = view.style & SS_TYPEMASK;
  UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
  format |= DT_WORDBREAK | DT_EXPANDTABS;
  if (view.style & SS_NOPREFIX) format |= DT_NOPREFIX;
  Text(dc, view.text, client, format, TextColor(view, COLOR_WINDOWTEXT));
}

void PaintArrowButton(HDC dc, RECT button, bool pushed) {
  Fill(dc, button, Sys(COLOR_BTNFACE));
  if (pushed) {
    Edge(dc, button, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNSHADOW));
  } else {
    RaisedEdge(dc, button);
  }
  int cx = (button.left + button.right) / 2 + (pushed ? 1 : 0);
  int cy = (button.top + button.bottom) / 2 - 1 + (pushed ? 1 : 0);
  for (int row = 0; row < 4; ++row) Fill(dc, RECT{cx - 3 + row, cy + row, cx + 4 - row, cy + row + 1}, Sys(COLOR_BTNTEXT));
}

bool OwnerDrawn(const StdControlView& view) {
  return (view.style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0;
}

// Asks the combo box's parent to draw one item.
void DrawOwnerItem(HDC dc, const StdControlView& view, int index, RECT rect, UINT state) {
  HWND parent = GetParent(view.combo);
  if (parent == 0) return;
  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_COMBOBOX;
  draw.CtlID = static_cast<UINT>(GetDlgCtrlID(view.combo));
  draw.itemID = static_cast<UINT>(index);
  draw.itemAction = ODA_DRAWENTIRE;
  draw.itemState = state;
  draw.hwndItem = view.combo;
  draw.hDC = dc;
  draw.rcItem = rect;
  draw.itemData = index >= 0 ? static_cast<ULONG_PTR>(view.itemData[static_cast<std::size_t>(index)]) : 0;
  int saved = SaveDC(dc);
  SendMessageW(parent, WM_DRAWITEM, static_cast<WPARAM>(draw.CtlID), reinterpret_cast<LPARAM>(&draw));
  RestoreDC(dc, saved);
}

void PaintCombo(HDC dc, RECT client, const StdControlView& view) {
  Fill(dc, client, Sys(view.enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  SunkenEdge(dc, client);
  RECT button{client.right - 2 - kComboButtonWidth + 2, 2, client.right - 2, client.bottom - 2};
  PaintArrowButton(dc, button, false);
  if (view.hasEdit) return;
  RECT item{3, 3, button.left - 1, client.bottom - 3};
  bool selected = view.focused;
  if (OwnerDrawn(view)) {
    DrawOwnerItem(dc, view, view.current, item, ODS_COMBOBOXEDIT | (selected ? ODS_SELECTED : 0));
    return;
  }
  if (selected) Fill(dc, item, Sys(COLOR_HIGHLIGHT));
  RECT textRect{item.left + 2, item.top, item.right, item.bottom};
  Text(dc, view.text, textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
       selected ? Sys(COLOR_HIGHLIGHTTEXT) : TextColor(view, COLOR_WINDOWTEXT));
  if (selected) DrawFocusRect(dc, &item);
}

void PaintList(HDC dc, RECT client, const StdControlView& view) {
  Fill(dc, client, Sys(COLOR_WINDOW));
  Edge(dc, client, Sys(COLOR_WINDOWFRAME), Sys(COLOR_WINDOWFRAME));
  int marked = view.hot >= 0 ? view.hot : view.current;
  for (std::size_t i = 0; i < view.items.size(); ++i) {
    int top = 1 + static_cast<int>(i) * view.itemHeight;
    RECT row{1, top, client.right - 1, top + view.itemHeight};
    bool on = static_cast<int>(i) == marked;
    if (OwnerDrawn(view)) {
      DrawOwnerItem(dc, view, static_cast<int>(i), row, on ? ODS_SELECTED : 0);
      continue;
    }
    if (on) Fill(dc, row, Sys(COLOR_HIGHLIGHT));
    Text(dc, view.items[i], RECT{row.left + 2, row.top, row.right, row.bottom}, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
         Sys(on ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  }
}

void Draw(HWND window, HDC dc, const StdControlView& view) {
  RECT client;
  GetClientRect(window, &client);
  int saved = SaveDC(dc);
  SelectObject(dc, FontOf(view));
  SetBkMode(dc, TRANSPARENT);
  switch (view.kind) {
    case Kind::Edit: PaintEdit(dc, client, view); break;
    case Kind::Button: PaintButton(dc, client, view); break;
    case Kind::Static: PaintStatic(dc, client, view); break;
    case Kind::ComboBox: PaintCombo(dc, client, view); break;
    case Kind::ComboList: PaintList(dc, client, view); break;
  }
  RestoreDC(dc, saved);
}

void PaintControl(HWND window, HDC dc, const StdControlView& view) {
  if (dc != 0) {
    Draw(window, dc, view);
    return;
  }
  PAINTSTRUCT paint;
  HDC own = BeginPaint(window, &paint);
  if (own != 0) Draw(window, own, view);
  EndPaint(window, &paint);
}

template <typename Measure>
int WithFont(HFONT font, Measure measure) {
  HDC dc = GetDC(0);
  if (dc == 0) return 0;
  HGDIOBJ old = SelectObject(dc, font != 0 ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  int result = measure(dc);
  SelectObject(dc, old);
  ReleaseDC(0, dc);
  return result;
}

int TextWidth(HFONT font, std::u16string_view text) {
  return WithFont(font, [&](HDC dc) { return Width(dc, text); });
}

int FontLineHeight(HFONT font) {
  return WithFont(font, [](HDC dc) { return LineHeight(dc); });
}

// Installed as the program starts whenever the drawing layer is linked in.
const bool g_installed = [] {
  platform::gdi::InstallStdControlDrawing();
  return true;
}();

}  // namespace

void platform::gdi::InstallStdControlDrawing() {
  platform::win::SetStdControlDrawing(platform::win::StdControlDrawing{PaintControl, TextWidth, FontLineHeight});
}
