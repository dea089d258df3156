#include "controls/vtree/vt_checks.h"

namespace {

bool IsChecked(TCheckState state) { return state == csCheckedNormal || state == csCheckedPressed; }

}  // namespace

void TViewTreeChecks::SetCheckState(PViewNode node, TCheckState value) {
  if (node == nullptr || node == root_ || node->CheckState == value || node->Has(vsDisabled)) return;
  if (DoChecking(node, value)) DoCheckClick(node, value);
}

void TViewTreeChecks::SetCheckType(PViewNode node, TCheckType value) {
  if (node == nullptr || node == root_ || node->CheckType == value) return;
  node->CheckType = value;
  InvalidateNode(node);
}

TCheckState TViewTreeChecks::NextCheckState(TCheckType checkType, TCheckState checkState) const {
  switch (checkType) {
    case ctTriStateCheckBox:
    case ctCheckBox:
      return checkState == csCheckedNormal ? csUncheckedNormal : csCheckedNormal;
    case ctRadioButton:
      return csCheckedNormal;
    case ctButton:
      return csUncheckedNormal;
    case ctNone:
      break;
  }
  return checkState;
}

void TViewTreeChecks::DoCheckClick(PViewNode node, TCheckState newState) {
  if (SetCheckStateCore(node, newState)) DoChecked(node);
}

bool TViewTreeChecks::ParentTakesPart(PViewNode node) const {
  PViewNode parent = node->Parent;
  return Tracking() && IsBox(node) && parent != root_ && !parent->Has(vsChecking | vsDisabled) &&
         parent->CheckType == ctTriStateCheckBox;
}

bool TViewTreeChecks::SetCheckStateCore(PViewNode node, TCheckState value) {
  if (node->Has(vsChecking)) return false;
  node->Include(vsChecking);
  EnsureInitialized(node);
  if (checkPropagationCount_++ == 0) DoStateChange(tsCheckPropagation);
  const TCheckState old = node->CheckState;
  try {
    if (node->CheckType == ctTriStateCheckBox && Tracking() && (value == csCheckedNormal || value == csUncheckedNormal) &&
        node->ChildCount > 0) {
      bool anyChecked = false, anyUnchecked = false, anyMixed = false;
      for (PViewNode child = node->FirstChild; child != nullptr; child = child->NextSibling) {
        if (!IsBox(child)) continue;
        SetCheckState(child, value);
        anyMixed |= child->CheckState == csMixedNormal;
        anyChecked |= IsChecked(child->CheckState);
        anyUnchecked |= !IsChecked(child->CheckState) && child->CheckState != csMixedNormal;
      }
      if (anyMixed || (anyChecked && anyUnchecked)) {
        value = csMixedNormal;
      } else if (anyChecked) {
        value = csCheckedNormal;
      }
    }
    if (node->CheckType == ctRadioButton && value == csCheckedNormal) {
      for (PViewNode sibling = node->Parent->FirstChild; sibling != nullptr; sibling = sibling->NextSibling) {
        if (sibling->CheckType == ctRadioButton) sibling->CheckState = csUncheckedNormal;
      }
      InvalidateTree();
    }
    node->CheckState = value;
    EnsureInitialized(node->Parent);
    // The parent follows once; a parent that refuses leaves this node changed all the same.
    if (ParentTakesPart(node)) CheckParentCheckState(node, value);
  } catch (...) {
    node->Exclude(vsChecking);
    if (--checkPropagationCount_ == 0) DoStateChange(0, tsCheckPropagation);
    throw;
  }
  InvalidateNode(node);
  node->Exclude(vsChecking);
  if (--checkPropagationCount_ == 0) DoStateChange(0, tsCheckPropagation);
  return node->CheckState != old;
}

bool TViewTreeChecks::CheckParentCheckState(PViewNode node, TCheckState newState) {
  PViewNode parent = node->Parent;
  std::uint32_t count = 0, checked = 0;
  bool mixed = false;
  for (PViewNode child = parent->FirstChild; child != nullptr; child = child->NextSibling) {
    if (!IsBox(child)) continue;
    const TCheckState state = child == node ? newState : child->CheckState;
    ++count;
    if (IsChecked(state)) ++checked;
    mixed |= state == csMixedNormal;
  }
  TCheckState state = checked == 0 && !mixed ? csUncheckedNormal : checked < count ? csMixedNormal : csCheckedNormal;
  // An unchanged parent changes nothing above it either.
  if (state == parent->CheckState) return true;
  if (!DoChecking(parent, state)) return false;
  DoCheckClick(parent, state);
  return true;
}

int TViewTreeChecks::GetCheckImage(PViewNode node) const {
  if (node == nullptr || node->CheckType == ctNone) return -1;
  const bool enabled = !node->Has(vsDisabled) && Enabled();
  const bool hot = node == currentHotNode_;
  const TCheckState state = node->CheckState;
  const bool pressed = state == csUncheckedPressed || state == csCheckedPressed || state == csMixedPressed;
  // Columns: disabled, enabled, enabled and hot (pressed states show the pressed image).
  auto pick = [&](int disabled, int normal, int hotImage, int pressedImage) {
    if (!enabled) return disabled;
    if (pressed) return pressedImage;
    return hot ? hotImage : normal;
  };
  if (state == csMixedNormal || state == csMixedPressed) return pick(20, 17, 18, 19);
  const bool checked = IsChecked(state);
  switch (node->CheckType) {
    case ctRadioButton:
      return checked ? pick(8, 5, 6, 7) : pick(4, 1, 2, 3);
    case ctButton:
      return pick(24, 21, 22, 23);
    default:
      return checked ? pick(16, 13, 14, 15) : pick(12, 9, 10, 11);
  }
}
