#include "platform/gdi/window_picture.h"

#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/base/errors.h"
#include "platform/gdi/frame_drawing.h"
#include "platform/gdi/menu_paint.h"
#include "platform/gdi/std_control_paint.h"
#include "platform/gdi/system_metrics.h"
#include "platform/win/display.h"
#include "platform/win/message_queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

namespace {

using platform::gdi::Bitmap;

struct Pictures {
  std::mutex lock;
  std::unordered_map<HWND, std::shared_ptr<Bitmap>> byWindow;
};

Pictures& Store() {
  static Pictures pictures;
  return pictures;
}

void Forget(HWND window) {
  std::lock_guard guard(Store().lock);
  Store().byWindow.erase(window);
}

// Where the client area's corner lies in the window's picture.
POINT ClientOffset(HWND window) {
  RECT rect{};
  POINT client{0, 0};
  GetWindowRect(window, &rect);
  ClientToScreen(window, &client);
  return POINT{client.x - rect.left, client.y - rect.top};
}

RECT Moved(const RECT& r, POINT by) { return RECT{r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y}; }

LRESULT EraseWithClassBrush(HWND window, HDC dc) {
  auto brush = static_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND));
  if (brush == 0) return 0;
  RECT rect;
  GetClientRect(window, &rect);
  FillRect(dc, &rect, brush);
  return 1;
}

// ScrollWindow: the pixels of `area` move by (dx, dy), landing only within `clip`.
void ScrollPixels(HWND window, const RECT& clientArea, const RECT& clientClip, int dx, int dy) {
  const POINT offset = ClientOffset(window);
  const RECT area = Moved(clientArea, offset), clip = Moved(clientClip, offset);
  std::shared_ptr<Bitmap> picture;
  {
    std::lock_guard guard(Store().lock);
    auto found = Store().byWindow.find(window);
    if (found == Store().byWindow.end() || !found->second) return;
    picture = found->second;
  }
  int width = area.right - area.left, height = area.bottom - area.top;
  // Source and target overlap: move a copy.
  cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(copy);
  cairo_set_source_surface(cr, picture->Surface(), -area.left, -area.top);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cr = cairo_create(picture->Surface());
  cairo_rectangle(cr, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
  cairo_clip(cr);
  cairo_rectangle(cr, area.left + dx, area.top + dy, width, height);
  cairo_clip(cr);
  cairo_set_source_surface(cr, copy, area.left + dx, area.top + dy);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(copy);
  cairo_surface_flush(picture->surface);
  platform::win::detail::NotifyDisplayChanged(window);
}

// The default WM_NCPAINT: the window's scroll bars, arrows and thumb raised on the
// scroll bar colour. Bars that no program has set are left to the window's class (the
// system classes here draw their own lists).
void PaintScrollBars(HWND window) {
  RECT outer;
  if (!(GetWindowLongW(window, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL)) || !GetWindowRect(window, &outer) ||
      !platform::win::detail::ScrollBarsSet(window)) {
    return;
  }
  HDC dc = GetWindowDC(window);
  for (int bar : {SB_VERT, SB_HORZ}) {
    RECT rect;
    if (!platform::win::detail::ScrollBarOnScreen(window, bar, &rect)) continue;
    rect = Moved(rect, POINT{-outer.left, -outer.top});
    FillRect(dc, &rect, GetSysColorBrush(COLOR_SCROLLBAR));
    const bool vertical = bar == SB_VERT;
    const int arrow = GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
    RECT first = rect, last = rect;
    if (vertical) {
      first.bottom = std::min(rect.top + arrow, rect.bottom);
      last.top = std::max(rect.bottom - arrow, rect.top);
    } else {
      first.right = std::min(rect.left + arrow, rect.right);
      last.left = std::max(rect.right - arrow, rect.left);
    }
    for (RECT button : {first, last}) DrawEdge(dc, &button, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    int start = 0, size = 0;
    if (!platform::win::detail::ScrollThumb(window, bar, &start, &size)) continue;
    RECT thumb = vertical ? RECT{rect.left, rect.top + start, rect.right, rect.top + start + size}
                          : RECT{rect.left + start, rect.top, rect.left + start + size, rect.bottom};
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
  }
  ReleaseDC(window, dc);
}

void Install() {
  static const bool installed = [] {
    platform::win::detail::AddWindowGoneListener(Forget);
    platform::win::detail::SetNonClientPainter(PaintScrollBars);
    platform::win::detail::SetEraseBackgroundHandler(EraseWithClassBrush);
    platform::win::detail::SetScrollPixelsHandler(ScrollPixels);
    platform::gdi::InstallStdControlDrawing();
    platform::gdi::InstallMenuDrawing();
    return true;
  }();
  (void)installed;
}

// The default procedures draw through this layer from the first message on (the
// first frame is painted before any picture is asked for).
[[maybe_unused]] const bool kInstalledAtStart = (Install(), true);


// The window's own picture, frame and client area, at its current size; a resize
// keeps the top-left part.
std::shared_ptr<Bitmap> OwnPicture(HWND window) {
  Install();
  RECT rect;
  if (!GetWindowRect(window, &rect)) return nullptr;
  int width = std::max<int>(rect.right - rect.left, 1), height = std::max<int>(rect.bottom - rect.top, 1);
  std::lock_guard guard(Store().lock);
  auto& picture = Store().byWindow[window];
  if (!picture || picture->width() != width || picture->height() != height) {
    auto fresh = platform::gdi::NewBitmap(width, height);
    if (picture && fresh) {
      cairo_t* cr = cairo_create(fresh->surface);
      cairo_set_source_surface(cr, picture->Surface(), 0, 0);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      cairo_paint(cr);
      cairo_destroy(cr);
    }
    picture = fresh;
  }
  return picture;
}

// A DC on the client area (clip in client coordinates), or on the whole window.
HDC WindowDC(HWND window, RECT clip, bool wholeWindow = false) {
  auto picture = OwnPicture(window);
  if (!picture) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // Whatever is drawn through the DC reaches the display at the next message retrieval.
  platform::win::detail::NotifyDisplayChanged(window);
  if (wholeWindow) return platform::gdi::NewDC(picture, window, RECT{0, 0, picture->width(), picture->height()});
  const POINT offset = ClientOffset(window);
  return platform::gdi::NewDC(picture, window, Moved(clip, offset), offset);
}

void PaintOver(cairo_t* cr, const Bitmap& picture, double x, double y) {
  cairo_set_source_surface(cr, picture.Surface(), x, y);
  cairo_paint(cr);
}

// Children bottom-most first, so that the top of the z-order ends on top.
std::vector<HWND> ChildrenBottomUp(HWND window) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child != 0; child = GetWindow(child, GW_HWNDNEXT)) {
    children.insert(children.begin(), child);
  }
  return children;
}

// Draws the window's whole picture (frame included) with its corner at (x, y).
void ComposeInto(cairo_t* cr, HWND window, double x, double y) {
  auto own = OwnPicture(window);
  if (!own) return;
  PaintOver(cr, *own, x, y);
  // Children sit in the client area and never cover the frame.
  RECT outer{}, client{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  const POINT offset = ClientOffset(window);
  for (HWND child : ChildrenBottomUp(window)) {
    if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT rect;
    GetWindowRect(child, &rect);
    cairo_save(cr);
    cairo_rectangle(cr, x + offset.x, y + offset.y, client.right, client.bottom);
    cairo_clip(cr);
    double cx = x + rect.left - outer.left, cy = y + rect.top - outer.top;
    cairo_rectangle(cr, cx, cy, rect.right - rect.left, rect.bottom - rect.top);
    cairo_clip(cr);
    ComposeInto(cr, child, cx, cy);
    cairo_restore(cr);
  }
}

}  // namespace

HDC GetDC(HWND window) {
  if (window == 0) return CreateCompatibleDC(0);
  RECT rect;
  if (!GetClientRect(window, &rect)) return 0;
  return WindowDC(window, rect);
}

HDC GetWindowDC(HWND window) {
  if (window == 0) return GetDC(0);
  return WindowDC(window, RECT{}, true);
}

int ReleaseDC(HWND, HDC dc) { return DeleteDC(dc) ? 1 : 0; }

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (paint == nullptr) return 0;
  Install();
  bool erase = false;
  RECT update = platform::win::detail::TakeUpdateRect(window, &erase);
  HDC dc = WindowDC(window, update);
  if (dc == 0) return 0;
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  paint->rcPaint = update;
  paint->fErase = erase ? (SendMessageW(window, WM_ERASEBKGND, dc, 0) == 0) : FALSE;
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  return DeleteDC(paint->hdc);
}

BOOL UpdateLayeredWindow(HWND window, HDC, const POINT* destPoint, const SIZE* size, HDC sourceDc,
                         const POINT* sourcePoint, COLORREF, const BLENDFUNCTION* blend, DWORD flags) {
  if (!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) || (flags & ULW_COLORKEY)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  UINT move = SWP_NOZORDER | SWP_NOACTIVATE | (destPoint ? 0 : SWP_NOMOVE) | (size ? 0 : SWP_NOSIZE);
  SetWindowPos(window, 0, destPoint ? destPoint->x : 0, destPoint ? destPoint->y : 0, size ? size->cx : 0,
               size ? size->cy : 0, move);
  if (sourceDc == 0) return TRUE;
  auto source = platform::gdi::TargetOf(sourceDc);
  auto picture = OwnPicture(window);
  if (!source || !picture) return FALSE;
  POINT from = sourcePoint ? *sourcePoint : POINT{0, 0};
  cairo_t* cr = cairo_create(picture->Surface());
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (source->bottomUp) {
    cairo_translate(cr, -from.x, source->height() - from.y);
    cairo_scale(cr, 1, -1);
    cairo_set_source_surface(cr, source->Surface(), 0, 0);
  } else {
    cairo_set_source_surface(cr, source->Surface(), -from.x, -from.y);
  }
  double alpha = (blend && (flags & ULW_ALPHA)) ? blend->SourceConstantAlpha / 255.0 : 1.0;
  cairo_paint_with_alpha(cr, alpha);
  cairo_destroy(cr);
  platform::win::detail::KeepGivenPicture(window);
  platform::win::detail::NotifyDisplayChanged(window);
  return TRUE;
}

std::shared_ptr<Bitmap> platform::gdi::WindowPicture(HWND window) {
  RECT rect;
  if (!GetClientRect(window, &rect)) return nullptr;
  auto result = NewBitmap(rect.right, rect.bottom);
  if (!result) return nullptr;
  const POINT offset = ClientOffset(window);
  cairo_t* cr = cairo_create(result->surface);
  ComposeInto(cr, window, -offset.x, -offset.y);
  cairo_destroy(cr);
  return result;
}

std::shared_ptr<Bitmap> platform::gdi::WholeWindowPicture(HWND window) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return nullptr;
  auto result = NewBitmap(rect.right - rect.left, rect.bottom - rect.top);
  if (!result) return nullptr;
  cairo_t* cr = cairo_create(result->surface);
  ComposeInto(cr, window, 0, 0);
  cairo_destroy(cr);
  return result;
}

std::shared_ptr<Bitmap> platform::gdi::ScreenPicture() {
  auto result = NewBitmap(platform::win::kScreenWidth, platform::win::kScreenHeight);
  if (!result) return nullptr;
  cairo_t* cr = cairo_create(result->surface);
  COLORREF desktop = GetSysColor(COLOR_BACKGROUND);
  cairo_set_source_rgb(cr, GetRValue(desktop) / 255.0, GetGValue(desktop) / 255.0, GetBValue(desktop) / 255.0);
  cairo_paint(cr);
  std::vector<HWND> windows;
  for (HWND top = GetWindow(GetDesktopWindow(), GW_CHILD); top != 0; top = GetWindow(top, GW_HWNDNEXT)) {
    windows.insert(windows.begin(), top);
  }
  for (HWND top : windows) {
    if (!IsWindowVisible(top)) continue;
    RECT rect;
    GetWindowRect(top, &rect);
    ComposeInto(cr, top, rect.left, rect.top);
  }
  cairo_destroy(cr);
  return result;
}

bool platform::gdi::WritePng(const Bitmap& bitmap, const std::filesystem::path& path) {
  if (!bitmap.bottomUp) return cairo_surface_write_to_png(bitmap.Surface(), path.c_str()) == CAIRO_STATUS_SUCCESS;
  auto upright = NewBitmap(bitmap.width(), bitmap.height());
  cairo_t* cr = cairo_create(upright->surface);
  cairo_translate(cr, 0, bitmap.height());
  cairo_scale(cr, 1, -1);
  cairo_set_source_surface(cr, bitmap.Surface(), 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  return cairo_surface_write_to_png(upright->surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

std::shared_ptr<Bitmap> platform::gdi::ReadPng(const std::filesystem::path& path) {
  cairo_surface_t* loaded = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(loaded) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(loaded);
    SetLastError(ERROR_BAD_FORMAT);
    return nullptr;
  }
  auto bitmap = NewBitmap(cairo_image_surface_get_width(loaded), cairo_image_surface_get_height(loaded));
  cairo_t* cr = cairo_create(bitmap->surface);
  cairo_set_source_surface(cr, loaded, 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(loaded);
  return bitmap;
}
