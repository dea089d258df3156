#include "platform/classlib/hint_window.h"

#include <algorithm>
#include <set>

#include "platform/classlib/forms.h"
#include "platform/gdi/window_picture.h"

namespace {

std::set<const void*>& LiveHintInfos() {
  thread_local std::set<const void*> infos;
  return infos;
}

THintWindow* NewHintWindow(TComponent* owner) { return new THintWindow(owner); }

}  // namespace

bool THintWindowClass::InheritsFrom(const THintWindowClass& ancestor) const {
  for (const THintWindowClass* c = this; c != nullptr; c = c->parent_) {
    if (c == &ancestor) return true;
  }
  return false;
}

THintInfo::THintInfo() { LiveHintInfos().insert(this); }
THintInfo::~THintInfo() { LiveHintInfos().erase(this); }

bool IsHintInfo(const void* data) { return data != nullptr && LiveHintInfos().count(data) != 0; }

const THintWindowClass& THintWindow::Class() {
  static const THintWindowClass type("THintWindow", nullptr, NewHintWindow);
  return type;
}

const THintWindowClass* HintWindowClass = &THintWindow::Class();

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetVisible(false);
  SetColor(clInfoBk);
  Font().Assign(&Screen().HintFont());
}

void THintWindow::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style = WS_POPUP | WS_BORDER;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  params.WndParent = 0;
}

HDC THintWindow::BeginMeasure() {
  HDC dc = GetDC(0);
  SelectObject(dc, Font().Handle());
  return dc;
}

void THintWindow::EndMeasure(HDC dc) { ReleaseDC(0, dc); }

RECT THintWindow::CalcHintRect(int maxWidth, const std::string& hint, void*) {
  RECT rect{0, 0, maxWidth, 0};
  HDC dc = BeginMeasure();
  DrawTextA(dc, hint.c_str(), -1, &rect, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  EndMeasure(dc);
  rect.right += 6;
  rect.bottom += 2;
  return rect;
}

void THintWindow::ActivateHint(RECT rect, const std::string& hint) {
  bool wasActivating = activating_;
  activating_ = true;
  try {
    SetCaption(hint);
    rect.bottom += 4;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    // Kept on the screen: moved left or up where it would pass the right or bottom
    // edge, then right or down where it would start before the left or top edge.
    int left = std::max<int>(0, std::min<int>(rect.left, platform::win::kScreenWidth - width));
    int top = std::max<int>(0, std::min<int>(rect.top, platform::win::kScreenHeight - height));
    SetBounds(left, top, width, height);
    SetWindowPos(Handle(), HWND_TOPMOST, left, top, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Invalidate();
  } catch (...) {
    activating_ = wasActivating;
    throw;
  }
  activating_ = wasActivating;
}

void THintWindow::ActivateHintData(RECT rect, const std::string& hint, void*) { ActivateHint(rect, hint); }

void THintWindow::ReleaseHandle() { DestroyHandle(); }

RECT THintWindow::PaintBackground() {
  RECT rect = ClientRect();
  Canvas().Brush().SetColor(Color());
  Canvas().FillRect(rect);
  Canvas().Font().SetColor(Screen().HintFont().Color());
  Canvas().RequiredState(csHandleValid | csFontValid);
  SetBkMode(Canvas().Handle(), TRANSPARENT);
  return RECT{rect.left + 2, rect.top + 2, rect.right, rect.bottom};
}

void THintWindow::Paint() {
  RECT rect = PaintBackground();
  std::string text = Caption();
  DrawTextA(Canvas().Handle(), text.c_str(), -1, &rect, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

void THintWindow::Dispatch(TMessage& message) {
  TCustomControl::Dispatch(message);
  if (message.Msg != CM_TEXTCHANGED || activating_) return;
  // A text set from outside sizes the window to it.
  std::string text = Caption();
  SIZE size{};
  HDC dc = BeginMeasure();
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  EndMeasure(dc);
  SetBounds(Left(), Top(), size.cx + 6, size.cy + 6);
}
