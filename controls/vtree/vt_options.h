// The tree's behaviour switches, grouped into six sets. Each setter stores the new
// set and reacts, on the owner tree, only to the members that really changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/persistent.h"

using TVTAnimationOptions = std::uint8_t;
inline constexpr TVTAnimationOptions toAnimatedToggle = 1u << 0;

using TVTAutoOptions = std::uint16_t;
inline constexpr TVTAutoOptions toAutoDropExpand = 1u << 0;
inline constexpr TVTAutoOptions toAutoExpand = 1u << 1;
inline constexpr TVTAutoOptions toAutoScroll = 1u << 2;
inline constexpr TVTAutoOptions toAutoScrollOnExpand = 1u << 3;
inline constexpr TVTAutoOptions toAutoSort = 1u << 4;
inline constexpr TVTAutoOptions toAutoSpanColumns = 1u << 5;
inline constexpr TVTAutoOptions toAutoTristateTracking = 1u << 6;
inline constexpr TVTAutoOptions toAutoHideButtons = 1u << 7;
inline constexpr TVTAutoOptions toAutoDeleteMovedNodes = 1u << 8;
inline constexpr TVTAutoOptions toDisableAutoscrollOnFocus = 1u << 9;
inline constexpr TVTAutoOptions toAutoChangeScale = 1u << 10;
inline constexpr TVTAutoOptions toAutoFreeOnCollapse = 1u << 11;
inline constexpr TVTAutoOptions toDisableAutoscrollOnEdit = 1u << 12;
inline constexpr TVTAutoOptions toAutoBidiColumnOrdering = 1u << 13;

using TVTSelectionOptions = std::uint16_t;
inline constexpr TVTSelectionOptions toDisableDrawSelection = 1u << 0;
inline constexpr TVTSelectionOptions toExtendedFocus = 1u << 1;
inline constexpr TVTSelectionOptions toFullRowSelect = 1u << 2;
inline constexpr TVTSelectionOptions toLevelSelectConstraint = 1u << 3;
inline constexpr TVTSelectionOptions toMiddleClickSelect = 1u << 4;
inline constexpr TVTSelectionOptions toMultiSelect = 1u << 5;
inline constexpr TVTSelectionOptions toRightClickSelect = 1u << 6;
inline constexpr TVTSelectionOptions toSiblingSelectConstraint = 1u << 7;
inline constexpr TVTSelectionOptions toCenterScrollIntoView = 1u << 8;
inline constexpr TVTSelectionOptions toSimpleDrawSelection = 1u << 9;

using TVTMiscOptions = std::uint16_t;
inline constexpr TVTMiscOptions toAcceptOLEDrop = 1u << 0;
inline constexpr TVTMiscOptions toCheckSupport = 1u << 1;
inline constexpr TVTMiscOptions toEditable = 1u << 2;
inline constexpr TVTMiscOptions toFullRepaintOnResize = 1u << 3;
inline constexpr TVTMiscOptions toGridExtensions = 1u << 4;
inline constexpr TVTMiscOptions toInitOnSave = 1u << 5;
inline constexpr TVTMiscOptions toReportMode = 1u << 6;
inline constexpr TVTMiscOptions toToggleOnDblClick = 1u << 7;
inline constexpr TVTMiscOptions toWheelPanning = 1u << 8;
inline constexpr TVTMiscOptions toReadOnly = 1u << 9;
inline constexpr TVTMiscOptions toVariableNodeHeight = 1u << 10;
inline constexpr TVTMiscOptions toFullRowDrag = 1u << 11;

using TVTPaintOptions = std::uint32_t;  // 18 members, stored in 3 bytes
inline constexpr TVTPaintOptions toHideFocusRect = 1u << 0;
inline constexpr TVTPaintOptions toHideSelection = 1u << 1;
inline constexpr TVTPaintOptions toHotTrack = 1u << 2;
inline constexpr TVTPaintOptions toPopupMode = 1u << 3;
inline constexpr TVTPaintOptions toShowBackground = 1u << 4;
inline constexpr TVTPaintOptions toShowButtons = 1u << 5;
inline constexpr TVTPaintOptions toShowDropmark = 1u << 6;
inline constexpr TVTPaintOptions toShowHorzGridLines = 1u << 7;
inline constexpr TVTPaintOptions toShowRoot = 1u << 8;
inline constexpr TVTPaintOptions toShowTreeLines = 1u << 9;
inline constexpr TVTPaintOptions toShowVertGridLines = 1u << 10;
inline constexpr TVTPaintOptions toThemeAware = 1u << 11;
inline constexpr TVTPaintOptions toUseBlendedImages = 1u << 12;
inline constexpr TVTPaintOptions toGhostedIfUnfocused = 1u << 13;
inline constexpr TVTPaintOptions toFullVertGridLines = 1u << 14;
inline constexpr TVTPaintOptions toAlwaysHideSelection = 1u << 15;
inline constexpr TVTPaintOptions toUseBlendedSelection = 1u << 16;
inline constexpr TVTPaintOptions toStaticBackground = 1u << 17;

using TVTStringOptions = std::uint8_t;
inline constexpr TVTStringOptions toSaveCaptions = 1u << 0;
inline constexpr TVTStringOptions toShowStaticText = 1u << 1;
inline constexpr TVTStringOptions toAutoAcceptEditChange = 1u << 2;

inline constexpr TVTPaintOptions DefaultPaintOptions = 0x1B60;
inline constexpr TVTAutoOptions DefaultAutoOptions = 0x0149;
inline constexpr TVTMiscOptions DefaultMiscOptions = 0x01A9;
inline constexpr TVTStringOptions DefaultStringOptions = 0x05;
inline constexpr TVTSelectionOptions DefaultSelectionOptions = 0;
inline constexpr TVTAnimationOptions DefaultAnimationOptions = 0;

class TViewTreeObject;

// The five base sets. The owner's reactions go through the tree's own operations.
class TCustomViewTreeOptions : public TPersistent {
 public:
  explicit TCustomViewTreeOptions(TViewTreeObject& owner) : owner_(owner) {}
  std::string ClassName() const override { return "TCustomViewTreeOptions"; }
  TViewTreeObject& Owner() const { return owner_; }

  TVTAnimationOptions AnimationOptions() const { return animation_; }
  TVTAutoOptions AutoOptions() const { return auto_; }
  TVTSelectionOptions SelectionOptions() const { return selection_; }
  TVTMiscOptions MiscOptions() const { return misc_; }
  TVTPaintOptions PaintOptions() const { return paint_; }
  void SetAnimationOptions(TVTAnimationOptions value) { animation_ = value; }
  void SetAutoOptions(TVTAutoOptions value);
  void SetSelectionOptions(TVTSelectionOptions value);
  void SetMiscOptions(TVTMiscOptions value);
  void SetPaintOptions(TVTPaintOptions value);

  // The older single option set of form descriptions: the five sets are emptied and
  // each name "voX" adds "toX" to the set that has it; unknown names are skipped.
  void ReadLegacyOptions(const std::vector<std::string>& names);

  // Copies paint, animation, auto, selection and misc sets through the setters, so
  // that the target's tree reacts.
 protected:
  void AssignTo(TPersistent* destination) const override;

 private:
  TViewTreeObject& owner_;
  TVTAnimationOptions animation_ = DefaultAnimationOptions;
  TVTAutoOptions auto_ = DefaultAutoOptions;
  TVTSelectionOptions selection_ = DefaultSelectionOptions;
  TVTMiscOptions misc_ = DefaultMiscOptions;
  TVTPaintOptions paint_ = DefaultPaintOptions;
};

// Adds the string trees' set.
class TCustomStringTreeOptions : public TCustomViewTreeOptions {
 public:
  using TCustomViewTreeOptions::TCustomViewTreeOptions;
  std::string ClassName() const override { return "TCustomStringTreeOptions"; }
  TVTStringOptions StringOptions() const { return string_; }
  void SetStringOptions(TVTStringOptions value);

 protected:
  void AssignTo(TPersistent* destination) const override;

 private:
  TVTStringOptions string_ = DefaultStringOptions;
};

class TStringTreeOptions : public TCustomStringTreeOptions {
 public:
  using TCustomStringTreeOptions::TCustomStringTreeOptions;
  std::string ClassName() const override { return "TStringTreeOptions"; }
};
