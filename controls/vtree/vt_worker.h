// The cache-validation worker: one background thread that all trees of the process
// share. It takes trees from its waiting list one at a time, builds their position
// caches and reports each outcome with the change message to the tree's window, so
// that every tree state changes on the tree's own thread. The worker never touches a
// window, a scroll bar or a node callback itself.
//
// Ownership: the worker exists from the first Acquire to the last Release; the trees
// in its list are not owned, and each tree leaves the list before it goes.
#pragma once

#include "platform/base/types.h"

class TViewTreeObject;

// The change message: wParam holds the flags to enter, lParam those to leave.
inline constexpr UINT WM_CHANGESTATE = 0x8020;
inline constexpr unsigned ChangeStopValidation = 1;
inline constexpr unsigned ChangeUseCache = 2;
inline constexpr unsigned ChangeValidating = 4;
inline constexpr unsigned ChangeValidationNeeded = 8;

// Every tree acquires the worker when it is made and releases it when it goes; the
// release waits until the worker no longer refers to the tree.
void AcquireValidationWorker();
void ReleaseValidationWorker(TViewTreeObject& tree);

// Appends the tree once, to be validated and reported to `window`, and wakes the
// worker.
void QueueTreeForValidation(TViewTreeObject& tree, HWND window);
// True when the tree was waiting.
bool UnqueueTree(TViewTreeObject& tree);
// Whether the worker has taken the tree and not yet let it go.
bool WorkerHoldsTree(const TViewTreeObject& tree);
// Whether the worker thread runs (tests see a new one start after the last tree).
bool ValidationWorkerRunning();
