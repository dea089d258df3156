#include "platform/com/drag_drop.h"

#include <map>
#include <mutex>

#include "platform/win/message_queue.h"

using platform::com::ComPtr;

namespace {

struct Targets {
  std::mutex lock;
  std::map<HWND, ComPtr<IDropTarget>> byWindow;
  bool listening = false;
};

Targets& T() {
  static Targets targets;
  return targets;
}

// Takes the window's target out of the list. The caller releases it after the list's
// lock, since the release may run the target's own code.
ComPtr<IDropTarget> TakeTarget(HWND window) {
  std::lock_guard guard(T().lock);
  auto it = T().byWindow.find(window);
  if (it == T().byWindow.end()) return nullptr;
  ComPtr<IDropTarget> taken = std::move(it->second);
  T().byWindow.erase(it);
  return taken;
}

void ForgetWindow(HWND window) { TakeTarget(window); }

// The registered target of the window under the point or of its nearest ancestor.
ComPtr<IDropTarget> TargetAt(POINT point, HWND& window) {
  std::lock_guard guard(T().lock);
  for (window = WindowFromPoint(point); window != 0; window = GetParent(window)) {
    if (auto it = T().byWindow.find(window); it != T().byWindow.end()) return it->second;
  }
  return nullptr;
}

bool IsInput(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_KEYFIRST && message <= WM_KEYLAST);
}

// One drag: the target under the pointer and the effect it last answered.
class DragLoop {
 public:
  DragLoop(IDataObject* data, IDropSource* source, DROPEFFECT allowed)
      : data_(data), source_(source), allowed_(allowed) {}

  // Targets hear of the drag from the first input on: the pointer's place is that
  // of the input read so far, not where the device has gone since.
  // The mouse is captured by a hidden tracking window for the drag, so that input
  // over no window of this thread comes here as well.
  HRESULT Run(DROPEFFECT* effect) {
    GetCursorPos(&point_);
    HWND tracker = CreateTracker();
    SetCapture(tracker);
    HRESULT result = Loop(effect);
    ReleaseCapture();
    DestroyWindow(tracker);
    return result;
  }

 private:
  static HWND CreateTracker() {
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.lpszClassName = u"OleDragTracker";
      return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExW(0, u"OleDragTracker", u"", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, nullptr);
  }

  HRESULT Loop(DROPEFFECT* effect) {
    for (;;) {
      HRESULT answer = source_->QueryContinueDrag(escape_ ? TRUE : FALSE, platform::com::CurrentKeyState());
      if (answer == DRAGDROP_S_DROP) return Drop(effect);
      if (answer != S_OK) return Cancel(effect);
      if (!NextInput()) return Cancel(effect);
    }
  }


  // Waits for the next input message, dispatching everything else; false on WM_QUIT.
  bool NextInput() {
    MSG msg;
    for (;;) {
      if (!GetMessageW(&msg, 0, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      if (!IsInput(msg.message)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        continue;
      }
      escape_ = msg.message == WM_KEYDOWN && msg.wParam == static_cast<WPARAM>(VK_ESCAPE);
      if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) point_ = msg.pt;
      Track();
      return true;
    }
  }

  // Enter, leave or move: the target under the pointer hears of it.
  void Track() {
    HWND window = 0;
    ComPtr<IDropTarget> under = TargetAt(point_, window);
    DWORD keys = platform::com::CurrentKeyState();
    effect_ = allowed_;
    if (under.get() != target_.get()) {
      if (target_) target_->DragLeave();
      target_ = under;
      if (target_ && FAILED(target_->DragEnter(data_, keys, point_, &effect_))) target_.Reset();
    } else if (target_) {
      if (FAILED(target_->DragOver(keys, point_, &effect_))) effect_ = DROPEFFECT_NONE;
    }
    if (!target_) effect_ = DROPEFFECT_NONE;
    effect_ &= allowed_ | DROPEFFECT_SCROLL;
    source_->GiveFeedback(effect_);
  }

  HRESULT Drop(DROPEFFECT* effect) {
    *effect = DROPEFFECT_NONE;
    if (!target_) return DRAGDROP_S_CANCEL;
    if ((effect_ & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE) {
      target_->DragLeave();
      return DRAGDROP_S_CANCEL;
    }
    DROPEFFECT dropped = allowed_;
    if (FAILED(target_->Drop(data_, platform::com::CurrentKeyState(), point_, &dropped))) return DRAGDROP_S_CANCEL;
    *effect = dropped & allowed_;
    return DRAGDROP_S_DROP;
  }

  HRESULT Cancel(DROPEFFECT* effect) {
    if (target_) target_->DragLeave();
    *effect = DROPEFFECT_NONE;
    return DRAGDROP_S_CANCEL;
  }

  IDataObject* data_;
  IDropSource* source_;
  DROPEFFECT allowed_;
  ComPtr<IDropTarget> target_;
  DROPEFFECT effect_ = DROPEFFECT_NONE;
  POINT point_{};
  bool escape_ = false;
};

}  // namespace

DWORD platform::com::CurrentKeyState() {
  auto down = [](int key) { return (GetKeyState(key) & 0x8000) != 0; };
  DWORD state = 0;
  if (down(VK_LBUTTON)) state |= MK_LBUTTON;
  if (down(VK_RBUTTON)) state |= MK_RBUTTON;
  if (down(VK_MBUTTON)) state |= MK_MBUTTON;
  if (down(VK_SHIFT)) state |= MK_SHIFT;
  if (down(VK_CONTROL)) state |= MK_CONTROL;
  if (down(VK_MENU)) state |= MK_ALT;
  return state;
}

HRESULT RegisterDragDrop(HWND window, IDropTarget* target) {
  if (!IsWindow(window)) return DRAGDROP_E_INVALIDHWND;
  if (target == nullptr) return E_INVALIDARG;
  std::lock_guard guard(T().lock);
  if (T().byWindow.count(window)) return DRAGDROP_E_ALREADYREGISTERED;
  if (!T().listening) {
    platform::win::detail::AddWindowGoneListener(&ForgetWindow);
    T().listening = true;
  }
  T().byWindow.emplace(window, ComPtr<IDropTarget>(target));
  return S_OK;
}

HRESULT RevokeDragDrop(HWND window) {
  if (TakeTarget(window)) return S_OK;
  return IsWindow(window) ? DRAGDROP_E_NOTREGISTERED : DRAGDROP_E_INVALIDHWND;
}

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DROPEFFECT allowedEffects, DROPEFFECT* effect) {
  if (data == nullptr || source == nullptr || effect == nullptr) return E_INVALIDARG;
  return DragLoop(data, source, allowedEffects).Run(effect);
}
