#include "controls/vtree/vt_options.h"

#include "controls/vtree/vt_object.h"

void TCustomViewTreeOptions::SetAutoOptions(TVTAutoOptions value) {
  if (auto_ == value) return;
  const TVTAutoOptions changed = auto_ ^ value;
  auto_ = value;
  if ((changed & toAutoSpanColumns) != 0 && owner_.IsLive()) owner_.InvalidateTree();
}

void TCustomViewTreeOptions::SetSelectionOptions(TVTSelectionOptions value) {
  if (selection_ == value) return;
  const TVTSelectionOptions changed = selection_ ^ value;
  const TVTSelectionOptions switchedOn = changed & value;
  selection_ = value;
  if ((changed & toMultiSelect) != 0 || (switchedOn & (toLevelSelectConstraint | toSiblingSelectConstraint)) != 0) {
    owner_.ClearSelection();
  }
  if ((value & toExtendedFocus) != 0) return;
  if ((changed & toExtendedFocus) != 0 && owner_.focusedColumn_ > 0 && owner_.HandleAllocated()) {
    owner_.focusedColumn_ = owner_.Header().MainColumn();
    owner_.InvalidateTree();
  }
  owner_.focusedColumn_ = owner_.Header().MainColumn();
}

void TCustomViewTreeOptions::SetMiscOptions(TVTMiscOptions value) {
  if (misc_ == value) return;
  const TVTMiscOptions changed = misc_ ^ value;
  misc_ = value;
  if (!owner_.IsLive()) return;
  if ((changed & toCheckSupport) != 0) owner_.InvalidateTree();
  // The window's class style depends on full repaints; drop registration belongs to
  // the drag manager, which registers when the window is made.
  if ((changed & toFullRepaintOnResize) != 0 && (owner_.ComponentState() & csDesigning) == 0) owner_.RecreateWnd();
}

void TCustomViewTreeOptions::SetPaintOptions(TVTPaintOptions value) {
  if (paint_ == value) return;
  const TVTPaintOptions changed = paint_ ^ value;
  paint_ = value;
  if (!owner_.IsLive()) return;
  // Visual themes do not exist on this desktop, so a tree never draws themed.
  if ((changed & toThemeAware) != 0) owner_.DoStateChange(0, tsUseThemes);
  owner_.InvalidateTree();
}

void TCustomViewTreeOptions::AssignTo(TPersistent* destination) const {
  auto* target = dynamic_cast<TCustomViewTreeOptions*>(destination);
  if (target == nullptr) {
    TPersistent::AssignTo(destination);
    return;
  }
  target->SetPaintOptions(paint_);
  target->SetAnimationOptions(animation_);
  target->SetAutoOptions(auto_);
  target->SetSelectionOptions(selection_);
  target->SetMiscOptions(misc_);
}

void TCustomStringTreeOptions::SetStringOptions(TVTStringOptions value) {
  if (string_ == value) return;
  const TVTStringOptions changed = string_ ^ value;
  string_ = value;
  if ((changed & toShowStaticText) != 0 && Owner().IsLive()) Owner().InvalidateTree();
}

void TCustomStringTreeOptions::AssignTo(TPersistent* destination) const {
  if (auto* target = dynamic_cast<TCustomStringTreeOptions*>(destination)) target->SetStringOptions(string_);
  TCustomViewTreeOptions::AssignTo(destination);
}
