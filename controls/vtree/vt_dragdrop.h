// Dragging nodes with the system's drag and drop: the tree as drop target (which node
// a drag is over and where a drop would land: above, on or below it; expanding a
// collapsed node hovered for AutoExpandDelay; the suggested effect; asking the owner
// through OnDragOver and OnDragDrop) and as drag source (the data object of its
// selection, the drag loop, deleting moved nodes afterwards). The drag manager is the
// tree's drop source and drop target towards the system.
//
// After a move the source deletes only the dragged nodes that are still its own and
// still where they were: nodes the drop moved inside the tree or freed are dropped
// from the drag selection as that happens.
#pragma once

#include <functional>
#include <vector>

#include "controls/vtree/vt_messages.h"
#include "platform/com/drag_drop.h"

class TViewTreeDragDrop;

using TVTDragOverEvent = std::function<void(TViewTreeDragDrop* sender, TObject* source, TShiftState shift,
                                            TDragState state, const POINT& pt, TVTDropMode mode, DWORD& effect,
                                            bool& accept)>;
using TVTDragDropEvent = std::function<void(TViewTreeDragDrop* sender, TObject* source, IDataObject* dataObject,
                                            const std::vector<WORD>& formats, TShiftState shift, const POINT& pt,
                                            DWORD& effect, TVTDropMode mode)>;

inline constexpr IID IID_IVTDragManager = {0x6B1A3F52, 0x9C0E, 0x4D27, {0x8A, 0x61, 0x3E, 0x15, 0xC2, 0x7D, 0x90, 0x44}};

// The tree's view of its drag manager.
struct IVTDragManager : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IVTDragManager;
  // The object of the current drag, or a new one of the owner for dragging.
  virtual platform::com::ComPtr<IDataObject> DataObject() = 0;
  // The tree of this process where the current drag began; nil for another's.
  virtual TViewTreeDragDrop* DragSource() = 0;
  virtual bool DropTargetHelperSupported() = 0;
  virtual bool IsDropTarget() = 0;
  virtual void ForceDragLeave() = 0;

 protected:
  ~IVTDragManager() = default;
};

using TVTCreateDragManagerEvent =
    std::function<void(TViewTreeDragDrop* sender, platform::com::ComPtr<IVTDragManager>& dragManager)>;

class TVTDragManager : public platform::com::ComObject<IVTDragManager, IDropSource, IDropTarget> {
 public:
  explicit TVTDragManager(TViewTreeDragDrop& owner) : owner_(&owner) {}
  // The owner goes first: the manager stays with whoever holds it and answers nothing.
  void OwnerGone() { owner_ = nullptr; }

  platform::com::ComPtr<IDataObject> DataObject() override;
  TViewTreeDragDrop* DragSource() override { return dragSource_; }
  // The shell's drag-image helper does not exist here; the tree shows its own image.
  bool DropTargetHelperSupported() override { return false; }
  // A drag is over the tree while the manager holds its data object.
  bool IsDropTarget() override { return static_cast<bool>(dataObject_); }
  void ForceDragLeave() override {}

  HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  HRESULT GiveFeedback(DROPEFFECT effect) override;

  HRESULT DragEnter(IDataObject* data, DWORD keyState, POINT point, DROPEFFECT* effect) override;
  HRESULT DragOver(DWORD keyState, POINT point, DROPEFFECT* effect) override;
  HRESULT DragLeave() override;
  HRESULT Drop(IDataObject* data, DWORD keyState, POINT point, DROPEFFECT* effect) override;

 private:
  TViewTreeDragDrop* owner_;
  TViewTreeDragDrop* dragSource_ = nullptr;
  platform::com::ComPtr<IDataObject> dataObject_;
};

class TViewTreeDragDrop : public TViewTreeMessages {
 public:
  using TViewTreeMessages::TViewTreeMessages;
  ~TViewTreeDragDrop() override;

  // Created on demand: OnCreateDragManager's, else the tree's own.
  platform::com::ComPtr<IVTDragManager> DragManager();

  // The drop-target side; points are screen points. The class library's drag arrives
  // as CM_DRAG and runs the same steps.
  using TViewTreeMessages::DragDrop;
  virtual HRESULT DragEnter(DWORD keyState, POINT pt, DWORD& effect);
  virtual HRESULT DragOver(TObject* source, DWORD keyState, TDragState dragState, POINT pt, DWORD& effect);
  virtual void DragLeave();
  virtual HRESULT DragDrop(IDataObject* dataObject, DWORD keyState, POINT pt, DWORD& effect);
  // The expand timer ran out: the hovered drop target opens.
  virtual void DoDragExpand();
  virtual DWORD SuggestDropEffect(TObject* source, TShiftState shift, POINT pt, DWORD allowedEffects);

  // Runs a system drag of the selection from the tree (P: where it started, client).
  void DoDragging(POINT p) override;
  // The drag ended: the drag states go and the mouse handling hears the button go up.
  virtual void DragFinished();
  // Shows the picture of the selected nodes (the main column only with
  // diMainColumnOnly) that follows the mouse in a drag: DragWidth x DragHeight pixels
  // around the hot spot (a client point), the tree's colour left transparent.
  void PrepareDragImage(POINT hotSpot);
  // Whether a drag shows a picture at all.
  virtual bool CanShowDragImage() { return DragImageKind() != diNoImage; }
  // The picture of the dragged nodes that follows the mouse while this tree drags.
  TVTDragImage& DragImage() { return dragImage_; }

  // The tree's own drag events, in place of the class library's.
  TVTDragOverEvent OnDragOver;
  TVTDragDropEvent OnDragDrop;
  TVTCreateDragManagerEvent OnCreateDragManager;

 protected:
  using TViewTreeMessages::DragOver;
  virtual bool DoDragOver(TObject* source, TShiftState shift, TDragState state, POINT pt, TVTDropMode mode,
                          DWORD& effect);
  virtual void DoDragDrop(TObject* source, IDataObject* dataObject, const std::vector<WORD>& formats,
                          TShiftState shift, POINT pt, DWORD& effect, TVTDropMode mode);
  void DoNodeMoved(PViewNode node) override;
  // The class library's drag: a drag object supplied by the owner is marked, and the
  // end or a cancel finishes the drag for the mouse handling.
  void DoStartDrag(TDragObject*& dragObject) override;
  void DoEndDrag(TObject* target, int x, int y) override;
  void DragCanceled() override;
  void AcceptOLEDropChanged() override;
  bool IsCurrentDropTarget() override { return dragManager_ && dragManager_->IsDropTarget(); }
  // With toAcceptOLEDrop the window is a drop target while it exists.
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;

 private:
  TShiftState ShiftOf(DWORD keyState) const;
  POINT ToClient(POINT screen);
  // The node at the point and where a drop there lands.
  PViewNode DropTargetAt(POINT client, bool dropMarks, TVTDropMode& mode);
  void ForgetDropTarget();
  // One scroll step towards each edge the point is near; true when the view moved.
  bool ScrollOneStep(POINT client);
  void RegisterAsDropTarget();
  // CM_DRAG: the class library's drag over the tree (enter, move, leave, drop) with
  // the keys as they are pressed now.
  void ClassLibraryDrag(TMessage& message);

  platform::com::ComPtr<IVTDragManager> dragManager_;
  TVTDragManager* ownManager_ = nullptr;
  // The effect the last move of a class-library drag found, for its drop.
  DWORD classLibraryEffect_ = DROPEFFECT_NONE;
  TVTDragImage dragImage_;
};
