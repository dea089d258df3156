// OLE drag and drop: windows register a drop target; DoDragDrop runs the drag as a
// loop on the calling thread's messages. The loop keeps mouse and keyboard input to
// itself (the pointer's position, the buttons and keys held, Escape), finds the
// registered target under the pointer (the window there or its nearest registered
// ancestor), tells targets of enter, moves, leave and the drop, and asks the source
// whether to go on; every other message is dispatched as usual, so timers and
// painting go on during the drag. A scripted input sequence drives it like a user.
#pragma once

#include "platform/com/data_object.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

using DROPEFFECT = DWORD;
inline constexpr DROPEFFECT DROPEFFECT_NONE = 0;
inline constexpr DROPEFFECT DROPEFFECT_COPY = 1;
inline constexpr DROPEFFECT DROPEFFECT_MOVE = 2;
inline constexpr DROPEFFECT DROPEFFECT_LINK = 4;
inline constexpr DROPEFFECT DROPEFFECT_SCROLL = 0x80000000;

// Key state bits passed to targets and sources (the mouse messages' flags plus Alt).
inline constexpr DWORD MK_ALT = 0x20;

inline constexpr HRESULT DRAGDROP_S_DROP = MakeHResult(0x00040100);
inline constexpr HRESULT DRAGDROP_S_CANCEL = MakeHResult(0x00040101);
inline constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = MakeHResult(0x00040102);
inline constexpr HRESULT DRAGDROP_E_NOTREGISTERED = MakeHResult(0x80040100);
inline constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = MakeHResult(0x80040101);
inline constexpr HRESULT DRAGDROP_E_INVALIDHWND = MakeHResult(0x80040102);

inline constexpr IID IID_IDropSource = {0x00000121, 0x0000, 0x0000,
                                        {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDropTarget = {0x00000122, 0x0000, 0x0000,
                                        {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IDropSource : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IDropSource;
  // S_OK: go on; DRAGDROP_S_DROP: drop here; DRAGDROP_S_CANCEL: stop without a drop.
  virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
  virtual HRESULT GiveFeedback(DROPEFFECT effect) = 0;

 protected:
  ~IDropSource() = default;
};

// Points are screen points.
struct IDropTarget : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IDropTarget;
  virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINT point, DROPEFFECT* effect) = 0;
  virtual HRESULT DragOver(DWORD keyState, POINT point, DROPEFFECT* effect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINT point, DROPEFFECT* effect) = 0;

 protected:
  ~IDropTarget() = default;
};

// The target is held (one reference) until revoked or the window is destroyed.
HRESULT RegisterDragDrop(HWND window, IDropTarget* target);
HRESULT RevokeDragDrop(HWND window);

// DRAGDROP_S_DROP with the effect the target answered at the drop, or
// DRAGDROP_S_CANCEL with DROPEFFECT_NONE (also when no target accepted the drop). A
// WM_QUIT met on the way cancels the drag and is put back.
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DROPEFFECT allowedEffects, DROPEFFECT* effect);

namespace platform::com {
// The key state as the calling thread's messages have reported it (MK_ bits).
DWORD CurrentKeyState();
}  // namespace platform::com
