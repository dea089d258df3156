// Check boxes, tri-state boxes, radio buttons and push buttons on nodes: the next
// state for a click, how a state is applied with its events, how tri-state boxes pass
// states down to their children and up to their parents, how radio buttons exclude
// their siblings, and which check image a node shows.
#pragma once

#include "controls/vtree/vt_sort.h"

class TViewTreeChecks : public TViewTreeSorting {
 public:
  using TViewTreeSorting::TViewTreeSorting;

  TCheckState GetCheckState(PViewNode node) const { return node != nullptr ? node->CheckState : csUncheckedNormal; }
  // A different state on an enabled node, when OnChecking allows, runs the check click.
  void SetCheckState(PViewNode node, TCheckState value);
  TCheckType GetCheckType(PViewNode node) const { return node != nullptr ? node->CheckType : ctNone; }
  void SetCheckType(PViewNode node, TCheckType value);
  // The index into the check images; -1 for nodes without a box.
  int GetCheckImage(PViewNode node) const;

  virtual TCheckState NextCheckState(TCheckType checkType, TCheckState checkState) const;
  // Applies the state and raises OnChecked when the node's state changed.
  virtual void DoCheckClick(PViewNode node, TCheckState newState);

 protected:
  // The writer every change goes through; True when the node's own state changed.
  bool SetCheckStateCore(PViewNode node, TCheckState value);
  // Derives the parent's state from its children (the node counted as newState) and
  // applies it when OnChecking allows; the applied change climbs on by itself.
  virtual bool CheckParentCheckState(PViewNode node, TCheckState newState);

 private:
  static bool IsBox(const TViewNode* node) {
    return node->CheckType == ctTriStateCheckBox || node->CheckType == ctCheckBox;
  }
  bool Tracking() const { return (TreeOptions().AutoOptions() & toAutoTristateTracking) != 0; }
  bool ParentTakesPart(PViewNode node) const;
};
