#include "controls/vtree/vt_options.h"

#include <array>
#include <string_view>

#include "controls/vtree/vt_object.h"

namespace {

// Member names of the five base sets, in bit order.
constexpr std::array<std::string_view, 1> kAnimationNames{"toAnimatedToggle"};
constexpr std::array<std::string_view, 14> kAutoNames{
    "toAutoDropExpand",       "toAutoExpand",          "toAutoScroll",           "toAutoScrollOnExpand",
    "toAutoSort",             "toAutoSpanColumns",     "toAutoTristateTracking", "toAutoHideButtons",
    "toAutoDeleteMovedNodes", "toDisableAutoscrollOnFocus", "toAutoChangeScale", "toAutoFreeOnCollapse",
    "toDisableAutoscrollOnEdit", "toAutoBidiColumnOrdering"};
constexpr std::array<std::string_view, 10> kSelectionNames{
    "toDisableDrawSelection", "toExtendedFocus",    "toFullRowSelect",           "toLevelSelectConstraint",
    "toMiddleClickSelect",    "toMultiSelect",      "toRightClickSelect",        "toSiblingSelectConstraint",
    "toCenterScrollIntoView", "toSimpleDrawSelection"};
constexpr std::array<std::string_view, 12> kMiscNames{
    "toAcceptOLEDrop", "toCheckSupport",  "toEditable", "toFullRepaintOnResize", "toGridExtensions",
    "toInitOnSave",    "toReportMode",    "toToggleOnDblClick", "toWheelPanning", "toReadOnly",
    "toVariableNodeHeight", "toFullRowDrag"};
constexpr std::array<std::string_view, 18> kPaintNames{
    "toHideFocusRect",   "toHideSelection",    "toHotTrack",           "toPopupMode",         "toShowBackground",
    "toShowButtons",     "toShowDropmark",     "toShowHorzGridLines",  "toShowRoot",          "toShowTreeLines",
    "toShowVertGridLines", "toThemeAware",     "toUseBlendedImages",   "toGhostedIfUnfocused", "toFullVertGridLines",
    "toAlwaysHideSelection", "toUseBlendedSelection", "toStaticBackground"};

// The bit of the name in the set, or 0.
template <std::size_t N>
std::uint32_t BitOf(const std::array<std::string_view, N>& names, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == name) return 1u << i;
  }
  return 0;
}

}  // namespace

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
  if ((owner_.ComponentState() & csDesigning) != 0) return;
  // The window's class style depends on full repaints.
  if ((changed & toFullRepaintOnResize) != 0) owner_.RecreateWnd();
  if ((changed & toAcceptOLEDrop) != 0) owner_.AcceptOLEDropChanged();
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

void TCustomViewTreeOptions::ReadLegacyOptions(const std::vector<std::string>& names) {
  std::uint32_t animation = 0, autoSet = 0, selection = 0, misc = 0, paint = 0;
  for (const auto& name : names) {
    if (name.rfind("vo", 0) != 0) continue;
    const std::string option = "to" + name.substr(2);
    animation |= BitOf(kAnimationNames, option);
    autoSet |= BitOf(kAutoNames, option);
    selection |= BitOf(kSelectionNames, option);
    misc |= BitOf(kMiscNames, option);
    paint |= BitOf(kPaintNames, option);
  }
  SetAnimationOptions(static_cast<TVTAnimationOptions>(animation));
  SetAutoOptions(static_cast<TVTAutoOptions>(autoSet));
  SetSelectionOptions(static_cast<TVTSelectionOptions>(selection));
  SetMiscOptions(static_cast<TVTMiscOptions>(misc));
  SetPaintOptions(paint);
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
