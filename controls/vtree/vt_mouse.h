// What the user does with the mouse and typed characters, and the entry points of the
// interactive modes: which node a click focuses and selects, when a click expands a
// node, presses a check box, arms an in-place edit or prepares a drag; the rubber
// band; focusing a node; starting, placing, ending and cancelling an edit through the
// edit link; the view scrolling by itself near an edge or while the middle button
// pans; the node under the mouse; incremental search; and copying one tree's settings
// to another.
#pragma once

#include <string>

#include "controls/vtree/vt_hint.h"

// Where the view scrolls by itself.
using TScrollDirections = unsigned;
inline constexpr TScrollDirections sdLeft = 1u << 0;
inline constexpr TScrollDirections sdUp = 1u << 1;
inline constexpr TScrollDirections sdRight = 1u << 2;
inline constexpr TScrollDirections sdDown = 1u << 3;

class TViewTreeMouse;
using TVTColumnClickEvent = std::function<void(TViewTreeMouse* sender, TColumnIndex column, TShiftState shift)>;

// The shift keys and buttons of a mouse message's key flags, Alt from the keyboard.
TShiftState MouseShiftState(WPARAM keys);
// A check state shown while its box is held down, and the state it returns to.
constexpr TCheckState PressedCheckState(TCheckState state) { return static_cast<TCheckState>(state | 1); }
constexpr TCheckState UnpressedCheckState(TCheckState state) { return static_cast<TCheckState>(state & ~1); }

class TViewTreeMouse : public TViewTreeHints {
 public:
  using TViewTreeHints::TViewTreeHints;
  using TViewTreeObject::EditNode;  // the node being edited

  // Focuses the node (asking OnFocusChanging) and tells OnFocusChanged when it moved.
  void SetFocusedNode(PViewNode node);
  // Moves the focus to a column of the focused node when OnFocusChanging allows; an
  // edit ends without its text.
  void SetFocusedColumn(TColumnIndex value);
  // The selection rule of a click (the mouse handling decides when it runs).
  void ApplyClickSelection(PViewNode lastFocused, PViewNode newNode, TShiftState shift, bool dragPending);

  // Starts editing a cell: true at once while an edit runs, false on a read-only tree;
  // otherwise the node is focused (also when it already is) and, when it may be edited
  // there, the edit starts; the answer is whether it runs.
  virtual bool EditNode(PViewNode node, TColumnIndex column);
  // A rubber band is pending or drawn.
  bool IsMouseSelecting() const { return InState(tsDrawSelPending | tsDrawSelecting); }
  // Prepares a drag: the class library's for dtVCL, the tree's own for dtOLE (once, at
  // Threshold pixels of movement, or the system's drag distance when below 0).
  void BeginDrag(bool immediate, int threshold = -1);
  // The tree's own drag is pending or running, or the class library's.
  bool Dragging() const { return InState(tsOLEDragging | tsOLEDragPending) || TViewTreeHints::Dragging(); }
  // The control can take the focus and so can its form.
  bool CanFocus();
  // The class library's drag ended: its states go, and so does the press that began it
  // (the release went to the drag).
  void DoEndDrag(TObject* target, int x, int y) override;
  TAlignment GetControlsAlignment() const { return Alignment(); }
  // Where a cell's text stands, in which font; the base tree has no text.
  virtual void GetTextInfo(PViewNode node, TColumnIndex column, TFont& font, RECT& r, std::u16string& text);
  // Takes over another tree's settings (not its nodes) unless this one is read-only.
  void Assign(const TPersistent* source) override;

  // May the cell be edited: toEditable on an enabled, writable tree, then OnEditing.
  bool CanEdit(PViewNode node, TColumnIndex column) { return DoCanEdit(node, column); }
  // Starts editing the focused node in the edit column through a new edit link.
  virtual void DoEdit();
  // Lays the editor over the edited cell.
  virtual void UpdateEditBounds();
  bool DoFocusNode(PViewNode node, bool ask) override;
  // Both keep the editor over its cell.
  bool DoSetOffsetXY(POINT value, TScrollUpdateOptions options) override;
  void DoColumnResize(TColumnIndex column) override;
  // One typed character of an incremental search; 0 only restarts nothing.
  virtual void HandleIncrementalSearch(WORD charCode);

  // The rubber band in content coordinates: where it started and where it is now.
  RECT SelectionRect() const override { return newSelRect_; }
  TScrollDirections ScrollDirections() const { return scrollDirections_; }

  // The menu a right click opens when no handler answers one for the node.
  TPopupMenu* PopupMenu = nullptr;
  TVTColumnClickEvent OnColumnClick;
  TVTColumnClickEvent OnColumnDblClick;

 protected:
  virtual void HandleMouseDown(TMessage& message, const THitInfo& hitInfo);
  virtual void HandleMouseUp(TMessage& message, const THitInfo& hitInfo);
  virtual void HandleMouseDblClick(TMessage& message, const THitInfo& hitInfo);
  virtual void HandleHotTrack(int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual bool CanAutoScroll();
  virtual TScrollDirections AutoScrollDirections(int x, int y);
  virtual void DoAutoScroll(int x, int y);
  virtual void DoTimerScroll();
  virtual void StartWheelPanning(POINT position);
  virtual void StopWheelPanning();
  virtual bool CalculateSelectionRect(int x, int y);
  // Selects what the rubber band covers, from the previous band to the new one.
  virtual void ApplyRubberBandSelection();
  virtual void DoColumnClick(TColumnIndex column, TShiftState shift);
  virtual void DoColumnDblClick(TColumnIndex column, TShiftState shift);

  // Where the tree's own drag and drop meets the mouse: the tree is the drop target of
  // a running drag, and the start of the drag once the mouse moved far enough.
  virtual bool IsCurrentDropTarget() { return false; }
  // The drag layer runs the system drag from P (client) once the mouse moved far enough.
  virtual void DoDragging(POINT p) = 0;

  // Shows a check box held down (key or mouse, by the pending state given) when the
  // node may change; the change itself comes when it is let go.
  void PressCheckBox(PViewNode node, TViewTreeStates pending);
  bool WheelPanning() const { return InState(tsWheelPanning | tsWheelScrolling); }
  // The mouse moved far enough from the point to count as a drag.
  bool BeyondDragThreshold(POINT from, int x, int y) const;
  // The absolute (content) position of a client point.
  POINT AbsolutePoint(int x, int y) const { return POINT{x + effectiveOffsetX_, y - offsetY_}; }
  void RepaintSelectionRect();

  POINT lastClickPos_{};
  POINT panningStart_{};
  int dragThreshold_ = 0;
  TShiftState drawSelShiftState_ = 0;
  RECT newSelRect_{};
  RECT oldSelRect_{};
  TScrollDirections scrollDirections_ = 0;

 private:
  bool EndRunningEdit();
  void ReduceSelectionTo(PViewNode node);
  // The column a press goes to and whether that changes the focused column.
  TColumnIndex ClickColumn(const THitInfo& hitInfo, bool& columnChange) const;
  // Whether a node lies under a band rectangle (content coordinates).
  bool NodeUnderBand(PViewNode node, int rowTop, int rowStart, const RECT& band);
  PViewNode SearchStartNode();
  PViewNode SearchStep(PViewNode node, bool wrap);
};
