// The tree's window messages: focus, mouse buttons per button, the wheel, the tree's
// timers, the keyboard (navigation, expand and collapse keys, editing, check boxes by
// Space, incremental search), the context menu, cancelled modes, mouse leave, the
// header's non-client area, and the standard tree-view queries by which tools read
// the tree. The modes themselves are the mouse layer's; this one routes to them.
#pragma once

#include "controls/vtree/vt_mouse.h"

class TViewTreeMessages : public TViewTreeMouse {
 public:
  using TViewTreeMouse::TViewTreeMouse;

  // Shows the menu OnGetPopupMenu answers for the node at a client point.
  virtual void DoPopupMenu(PViewNode node, TColumnIndex column, POINT position);

 protected:
  void WndProc(TMessage& message) override;
  // OnKeyAction: may change the key and shift state; false skips the tree's action.
  virtual bool DoKeyAction(WORD& charCode, TShiftState& shift);
  // The tree's own action for a pressed key.
  virtual void HandleKeyDown(WORD key, TShiftState shift);

 private:
  void KeyDownMessage(TMessage& message);
  void KeyUpMessage(TMessage& message);
  bool TimerMessage(UINT_PTR id);
  void MouseButtonMessage(TMessage& message);
  void WheelMessage(TMessage& message);
  void NavigationKey(WORD key, TShiftState shift);
  void MoveByKey(WORD key, TShiftState shift, bool extendedSelection);
  void PageKey(bool up, bool ctrl);
  void HomeEndKey(bool home, TShiftState shift);
  void TabKey(bool back);
  void SpaceKey();
  void ExpandKey(bool expand, TShiftState shift);
  void CancelCheckPress();
  // Stops the mouse modes a lost focus or a cancelled mode ends.
  void StopModes(TViewTreeStates leave);
  LRESULT TreeViewQuery(const TMessage& message);
  // Paints the client area as it stands into another device context.
  void PrintClient(HDC dc);
  // Whether the pointer names a node of this tree (it is only compared, never read).
  bool OwnsNode(const void* item);
  THitInfo HitAt(LPARAM position);
};
