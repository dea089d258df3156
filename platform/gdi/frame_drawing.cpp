#include "platform/gdi/frame_drawing.h"

#include <algorithm>
#include <cmath>

#include "platform/base/errors.h"
#include "platform/gdi/device_context.h"

namespace {

void Fill(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

struct EdgeColors {
  COLORREF topLeft;
  COLORREF bottomRight;
};

// The colours of one border: raised borders are lit at the top left, sunken ones at
// the bottom right; the outer border is the darker and BF_SOFT swaps the lit shades.
EdgeColors ColorsOf(bool outer, bool raised, UINT flags) {
  if (flags & BF_MONO) return {GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_WINDOWFRAME)};
  if (flags & BF_FLAT) return {GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW)};
  COLORREF light = GetSysColor(COLOR_3DLIGHT), highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), dark = GetSysColor(COLOR_3DDKSHADOW);
  bool soft = (flags & BF_SOFT) != 0;
  if (outer) {
    return raised ? EdgeColors{soft ? highlight : light, dark} : EdgeColors{shadow, highlight};
  }
  return raised ? EdgeColors{soft ? light : highlight, shadow} : EdgeColors{dark, light};
}

void DrawBorder(HDC dc, const RECT& r, EdgeColors colors, UINT flags) {
  if (flags & BF_TOP) Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, colors.topLeft);
  if (flags & BF_LEFT) Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, colors.topLeft);
  if (flags & BF_BOTTOM) Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, colors.bottomRight);
  if (flags & BF_RIGHT) Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, colors.bottomRight);
}

RECT Inside(const RECT& r, UINT flags) {
  return RECT{r.left + ((flags & BF_LEFT) ? 1 : 0), r.top + ((flags & BF_TOP) ? 1 : 0),
              r.right - ((flags & BF_RIGHT) ? 1 : 0), r.bottom - ((flags & BF_BOTTOM) ? 1 : 0)};
}

}  // namespace

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
  if (rect == nullptr || !platform::gdi::TargetOf(dc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (flags & BF_DIAGONAL) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  RECT r = *rect;
  if (edge & BDR_OUTER) {
    DrawBorder(dc, r, ColorsOf(true, (edge & BDR_RAISEDOUTER) != 0, flags), flags);
    r = Inside(r, flags);
  }
  if (edge & BDR_INNER) {
    DrawBorder(dc, r, ColorsOf(false, (edge & BDR_RAISEDINNER) != 0, flags), flags);
    r = Inside(r, flags);
  }
  if (flags & BF_MIDDLE) Fill(dc, r, GetSysColor((flags & (BF_FLAT | BF_MONO)) ? COLOR_WINDOW : COLOR_BTNFACE));
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

namespace {

// The square a check box or radio button takes.
RECT BoxOf(const RECT& r) {
  int size = std::min<int>({r.right - r.left, r.bottom - r.top, 13});
  int top = r.top + (r.bottom - r.top - size) / 2;
  return RECT{r.left, top, r.left + size, top + size};
}

COLORREF FaceOf(UINT state) {
  return GetSysColor((state & (DFCS_PUSHED | DFCS_INACTIVE)) ? COLOR_BTNFACE : COLOR_WINDOW);
}

COLORREF MarkOf(UINT state) {
  if (state & DFCS_INACTIVE) return GetSysColor(COLOR_GRAYTEXT);
  // A third-state check box shows its mark greyed.
  if ((state & DFCS_BUTTON3STATE) && (state & DFCS_CHECKED)) return GetSysColor(COLOR_BTNSHADOW);
  return GetSysColor(COLOR_WINDOWTEXT);
}

void DrawCheckBox(HDC dc, const RECT& box, UINT state) {
  RECT inner = box;
  if (state & (DFCS_FLAT | DFCS_MONO)) {
    HBRUSH frame = CreateSolidBrush(GetSysColor((state & DFCS_MONO) ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW));
    FrameRect(dc, &inner, frame);
    DeleteObject(frame);
    inner = RECT{inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1};
  } else {
    DrawEdge(dc, &inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  }
  Fill(dc, inner, FaceOf(state));
  if (!(state & DFCS_CHECKED)) return;
  // A tick three pixels thick: down-right to the lowest point, then up-right.
  int w = inner.right - inner.left, h = inner.bottom - inner.top;
  int left = inner.left + (w - 7) / 2, top = inner.top + (h - 7) / 2;
  COLORREF mark = MarkOf(state);
  for (int i = 0; i < 7; ++i) {
    int lowest = i < 3 ? 2 + i : 6 - i;
    int x = left + i;
    for (int t = 0; t < 3; ++t) {
      int y = top + lowest + t;
      if (x >= inner.left && x < inner.right && y >= inner.top && y < inner.bottom) SetPixel(dc, x, y, mark);
    }
  }
}

void DrawRadio(HDC dc, const RECT& box, UINT state) {
  double size = box.right - box.left;
  double centre = size / 2.0, radius = size / 2.0;
  COLORREF face = FaceOf(state), mark = MarkOf(state);
  bool flat = (state & (DFCS_FLAT | DFCS_MONO)) != 0;
  COLORREF flatRing = GetSysColor((state & DFCS_MONO) ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW);
  for (int y = 0; y < box.bottom - box.top; ++y) {
    for (int x = 0; x < box.right - box.left; ++x) {
      double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
      double distance = std::sqrt(dx * dx + dy * dy);
      if (distance > radius) continue;
      COLORREF color = face;
      bool upperLeft = dx + dy < 0;
      if (distance > radius - 1) {
        color = flat ? flatRing : upperLeft ? GetSysColor(COLOR_BTNSHADOW) : GetSysColor(COLOR_BTNHIGHLIGHT);
      } else if (distance > radius - 2) {
        color = flat ? face : upperLeft ? GetSysColor(COLOR_3DDKSHADOW) : GetSysColor(COLOR_3DLIGHT);
      } else if ((state & DFCS_CHECKED) && distance <= radius / 3) {
        color = mark;
      }
      SetPixel(dc, box.left + x, box.top + y, color);
    }
  }
}

}  // namespace

BOOL DrawFrameControl(HDC dc, RECT* rect, UINT kind, UINT state) {
  if (rect == nullptr || !platform::gdi::TargetOf(dc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (kind != DFC_BUTTON) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (state & DFCS_BUTTONPUSH) {
    UINT flags = BF_RECT | BF_MIDDLE | BF_SOFT | ((state & DFCS_ADJUSTRECT) ? BF_ADJUST : 0);
    if (state & DFCS_FLAT) flags |= BF_FLAT;
    return DrawEdge(dc, rect, (state & (DFCS_PUSHED | DFCS_CHECKED)) ? EDGE_SUNKEN : EDGE_RAISED, flags);
  }
  RECT box = BoxOf(*rect);
  if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE | DFCS_BUTTONRADIOMASK)) {
    DrawRadio(dc, box, state);
  } else {
    DrawCheckBox(dc, box, state);
  }
  return TRUE;
}
