// The tree control: TBaseViewTree, the tree every tree of the program is built on.
// It stands on the layers of this folder (object, dispatch, selection, structure,
// navigation, sorting, checks, positions, painting) and adds the node accessors:
// expanded, selected, focused, height and visibility, the rule by which a click
// changes the selection, the destruction of the nodes, and its window: the header in
// the non-client area, the scroll bars and the validation worker's reports.
//
// Ownership: made with an owner component, which frees it; the tree frees its nodes,
// telling OnFreeNode for every node the application knows, also when it is destroyed.
#pragma once

#include "controls/vtree/vt_paint.h"

class TBaseViewTree : public TViewTreePainting {
 public:
  explicit TBaseViewTree(TComponent* owner, const TTreeClass& treeClass = BaseViewTreeClass,
                         TOptionsFactory makeOptions = &MakeOptions);
  ~TBaseViewTree() override;

  bool GetExpanded(PViewNode node) const { return node != nullptr && node->Has(vsExpanded); }
  void SetExpanded(PViewNode node, bool value);
  void SetFocusedColumn(TColumnIndex value);
  void SetFocusedNode(PViewNode node);
  bool GetSelected(PViewNode node) const { return node != nullptr && node->Has(vsSelected); }
  void SetSelected(PViewNode node, bool value);
  std::uint32_t GetNodeHeight(PViewNode node);
  void SetNodeHeight(PViewNode node, std::uint32_t value);
  bool GetVisible(PViewNode node);
  void SetVisible(PViewNode node, bool value);
  using TViewTreePainting::SetVisible;  // the control's own visibility
  bool GetFullyVisible(PViewNode node) const { return FullyVisible(node); }

  // The row's top in content coordinates; nodes that are not shown answer the top of
  // the row that stands for them.
  std::uint32_t GetDisplayTop(PViewNode node);
  // The shown node whose row holds the content position; nil below the last row.
  PViewNode GetNodeAtPosition(std::uint32_t position);
  // The node at the top of the view, and scrolling so that a node is there.
  PViewNode GetTopNode();
  void SetTopNode(PViewNode node);

  // The selection rule of a click (the mouse handling decides when it runs).
  void ApplyClickSelection(PViewNode lastFocused, PViewNode newNode, TShiftState shift, bool dragPending);

  // Recomputes a node's counts and heights from its children, recursively.
  void FixupTotals(PViewNode node);
  // Drops entries marked for removal (bit 0 set); the new count.
  static std::size_t PackArray(TNodeArray& nodes);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;

 private:
  static std::unique_ptr<TCustomViewTreeOptions> MakeOptions(TViewTreeObject& owner);
  void HandleScroll(int bar, int code);
  void PaintHeaderFrame();
  void MeasureNodeHeight(PViewNode node);
};
