// The tree's header as far as the tree's model needs it: the options, the height, the
// main column and the sort column and direction. Columns, painting and mouse handling
// build on this class.
#pragma once

#include <cstdint>

#include "controls/vtree/vt_nodes.h"
#include "platform/classlib/persistent.h"

using TVTHeaderOptions = std::uint16_t;
inline constexpr TVTHeaderOptions hoAutoResize = 1u << 0;
inline constexpr TVTHeaderOptions hoColumnResize = 1u << 1;
inline constexpr TVTHeaderOptions hoDblClickResize = 1u << 2;
inline constexpr TVTHeaderOptions hoDrag = 1u << 3;
inline constexpr TVTHeaderOptions hoHotTrack = 1u << 4;
inline constexpr TVTHeaderOptions hoOwnerDraw = 1u << 5;
inline constexpr TVTHeaderOptions hoRestrictDrag = 1u << 6;
inline constexpr TVTHeaderOptions hoShowHint = 1u << 7;
inline constexpr TVTHeaderOptions hoShowImages = 1u << 8;
inline constexpr TVTHeaderOptions hoShowSortGlyphs = 1u << 9;
inline constexpr TVTHeaderOptions hoVisible = 1u << 10;
inline constexpr TVTHeaderOptions hoAutoSpring = 1u << 11;

// What a new header holds and what a form description leaves out: one value, so that
// a header saved with its defaults reads back with the same options (sort glyphs
// included).
inline constexpr TVTHeaderOptions DefaultHeaderOptions = hoColumnResize | hoDrag | hoShowSortGlyphs;

class TViewTreeObject;

// Owned by its tree.
class TVTHeader : public TPersistent {
 public:
  explicit TVTHeader(TViewTreeObject& owner) : owner_(owner) {}
  std::string ClassName() const override { return "TVTHeader"; }
  TViewTreeObject& Treeview() const { return owner_; }

  TVTHeaderOptions Options() const { return options_; }
  void SetOptions(TVTHeaderOptions value) { options_ = value; }
  // True when the options differ from the default and go into a form description.
  bool IsOptionsStored() const { return options_ != DefaultHeaderOptions; }
  std::uint32_t Height() const { return height_; }
  void SetHeight(std::uint32_t value) { height_ = value; }

  // The columns come with the column collection; until then there is none.
  int ColumnCount() const { return 0; }
  // The column with the tree lines; -1 while there are no columns.
  TColumnIndex MainColumn() const { return ColumnCount() > 0 ? mainColumn_ : NoColumn; }
  bool IsColumnVisible(TColumnIndex column) const { return column >= 0 && column < ColumnCount(); }
  TColumnIndex FirstVisibleColumn() const { return ColumnCount() > 0 ? 0 : InvalidColumn; }

  // Changing the sort column or direction sorts the tree when it sorts automatically.
  TColumnIndex SortColumn() const { return sortColumn_; }
  void SetSortColumn(TColumnIndex value);
  TSortDirection SortDirection() const { return sortDirection_; }
  void SetSortDirection(TSortDirection value);

  void Assign(const TPersistent* source) override;

 private:
  void SortWhenAutomatic();

  TViewTreeObject& owner_;
  TVTHeaderOptions options_ = DefaultHeaderOptions;
  std::uint32_t height_ = 17;
  TColumnIndex mainColumn_ = 0;
  TColumnIndex sortColumn_ = NoColumn;
  TSortDirection sortDirection_ = sdAscending;
};
