// The columns of a tree: one column (caption, width limits, glyph, alignment, flags)
// and the ordered collection of the columns of one header. The collection maps a
// column's index (its place in the collection, fixed at creation) to its position
// (its place on the screen, changed by dragging), computes each column's left edge,
// answers which column lies under a point, keeps the auto-size column filling the
// client width and carries the hover, pressed, tracked, clicked and drop columns the
// header's mouse handling moves. Both read and write the column stream.
//
// Ownership: the header owns the collection; the collection owns its columns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/vtree/vt_nodes.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/std_ctrls.h"
#include "platform/classlib/streams.h"

using TColumnPosition = std::uint32_t;

enum TViewTreeColumnStyle : std::uint8_t { vsText, vsOwnerDraw };
enum TVTHeaderColumnLayout : std::uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// The class library's reading orders.
enum TBiDiMode : std::uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

using TVTColumnOptions = std::uint16_t;
inline constexpr TVTColumnOptions coAllowClick = 1u << 0;
inline constexpr TVTColumnOptions coDraggable = 1u << 1;
inline constexpr TVTColumnOptions coEnabled = 1u << 2;
inline constexpr TVTColumnOptions coParentBidiMode = 1u << 3;
inline constexpr TVTColumnOptions coParentColor = 1u << 4;
inline constexpr TVTColumnOptions coResizable = 1u << 5;
inline constexpr TVTColumnOptions coShowDropMark = 1u << 6;
inline constexpr TVTColumnOptions coVisible = 1u << 7;
inline constexpr TVTColumnOptions coAutoSpring = 1u << 8;
inline constexpr TVTColumnOptions coFixed = 1u << 9;
inline constexpr TVTColumnOptions DefaultColumnOptions = 0xFF;


class TVTHeader;
class TViewTreeColumns;

// The column and header streams: 32-bit little-endian integers; a stream that ends
// early raises EReadError, and so does RefuseStream for a value the stream cannot
// hold.
std::int32_t ReadStreamInt(TStream& stream);
void WriteStreamInt(TStream& stream, std::int32_t value);
std::int64_t StreamRemaining(TStream& stream);
[[noreturn]] void RefuseStream(const char* what);

class TViewTreeColumn {
 public:
  // Joins the collection as its last column.
  explicit TViewTreeColumn(TViewTreeColumns& owner);
  // Leaves the collection, dropping the index from every column reference.
  ~TViewTreeColumn();
  TViewTreeColumn(const TViewTreeColumn&) = delete;
  TViewTreeColumn& operator=(const TViewTreeColumn&) = delete;

  TColumnIndex Index() const { return index_; }
  TViewTreeColumns& Owner() const { return owner_; }

  const std::u16string& Text() const { return text_; }
  void SetText(const std::u16string& value);
  std::u16string Hint;
  // The stored left edge, in content coordinates.
  int StoredLeft() const { return left_; }
  // The left edge scrolled with the content, unless the column is fixed.
  int Left() const;
  int Width() const { return width_; }
  void SetWidth(int value);
  TColumnPosition Position() const { return position_; }
  void SetPosition(TColumnPosition value);
  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int value);
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int value);
  TViewTreeColumnStyle Style() const { return style_; }
  void SetStyle(TViewTreeColumnStyle value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode value);
  TVTHeaderColumnLayout Layout() const { return layout_; }
  void SetLayout(TVTHeaderColumnLayout value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  TVTColumnOptions Options() const { return options_; }
  void SetOptions(TVTColumnOptions value);
  bool Has(TVTColumnOptions option) const { return (options_ & option) != 0; }
  std::int32_t Tag = 0;
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  int LastWidth() const { return lastWidth_; }
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  float SpringRest = 0;

  void AbsoluteBounds(int& left, int& right) const {
    left = left_;
    right = left_ + width_;
  }
  // The header cell in the tree's window coordinates, unscrolled.
  RECT HeaderCellRect() const;
  bool ReadsRightToLeft() const { return biDiMode_ != bdLeftToRight; }
  void RestorePreviousWidth();
  std::u16string DisplayName() const;
  bool IsEqual(const TViewTreeColumn& other) const;
  void Assign(const TViewTreeColumn& source);

  // Where the glyph, the sort glyph and the caption go in a cell of Client's size;
  // all results are moved by Client's top-left corner.
  void ComputeHeaderLayout(HDC dc, const RECT& client, bool useHeaderGlyph, bool useSortGlyph, POINT& glyphPos,
                           POINT& sortGlyphPos, RECT& textBounds) const;

  void LoadFromStream(TStream& stream, int version);
  void SaveToStream(TStream& stream) const;

  // Follow the tree's reading order and colour when the column asks for it.
  void TakeTreeReadingOrder();
  void TakeTreeColour();

 private:
  friend class TViewTreeColumns;
  void Changed();
  void RepaintTree() const;
  TViewTreeColumns& owner_;
  TColumnIndex index_ = 0;
  std::u16string text_;
  int left_ = 0;
  int width_ = 50;
  TColumnPosition position_ = 0;
  int minWidth_ = 10;
  int maxWidth_ = 10000;
  TViewTreeColumnStyle style_ = vsText;
  int imageIndex_ = -1;
  TBiDiMode biDiMode_ = bdLeftToRight;
  TVTHeaderColumnLayout layout_ = blGlyphLeft;
  int margin_ = 4;
  int spacing_ = 4;
  TVTColumnOptions options_ = DefaultColumnOptions;
  TAlignment alignment_ = taLeftJustify;
  int lastWidth_ = 50;
  TColor color_ = clWindow;
};

class TViewTreeColumns {
 public:
  explicit TViewTreeColumns(TVTHeader& header);
  ~TViewTreeColumns();
  TViewTreeColumns(const TViewTreeColumns&) = delete;
  TViewTreeColumns& operator=(const TViewTreeColumns&) = delete;

  TVTHeader& Header() const { return header_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // The column with the index; an index outside raises EListError.
  TViewTreeColumn& Items(TColumnIndex index) const;
  TViewTreeColumn& operator[](TColumnIndex index) const { return Items(index); }
  TViewTreeColumn& Add();
  void Delete(TColumnIndex index);
  void Clear();
  void Assign(const TViewTreeColumns& source);
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  TColumnIndex ColumnAtPosition(TColumnPosition position) const;
  // The column whose cell holds P.X; -2 when none.
  TColumnIndex ColumnAtPoint(POINT p, bool relative) const;
  TColumnIndex ColumnAtX(POINT p, bool relative, int& left, int& right) const;
  // A column's edges scrolled with the content; for -1 the client width.
  void ColumnBounds(TColumnIndex column, int& left, int& right) const;
  TColumnIndex FirstVisibleColumn() const;
  TColumnIndex LastVisibleColumn() const;
  TColumnIndex NextColumn(TColumnIndex column) const;
  TColumnIndex PreviousColumn(TColumnIndex column) const;
  TColumnIndex NextVisibleColumn(TColumnIndex column) const;
  TColumnIndex PreviousVisibleColumn(TColumnIndex column) const;
  std::vector<TColumnIndex> VisibleColumns() const;
  int FixedColumnsTotalWidth() const;
  int TotalWidth() const;
  bool IsValidColumn(TColumnIndex column) const { return column >= 0 && column < Count(); }
  bool IsEqual(const TViewTreeColumns& other) const;
  const std::vector<TColumnIndex>& PositionToIndex() const { return positionToIndex_; }

  void ResizeAutoSizeColumn(bool force);
  void ResizeAnimated(TColumnIndex column, int newWidth);
  void ResetPositions(bool rightToLeft);
  // After loading a form description: positions collected while loading take effect.
  void RebuildPositions();

  // The column collection of the header stream. Reading refuses counts and sizes the
  // stream cannot hold and a position table that is no permutation.
  void LoadFromStream(TStream& stream, int version);
  void SaveToStream(TStream& stream) const;

  // Header mouse bookkeeping (Y of P counts from the header's top).
  TColumnIndex HoverIndex = NoColumn;
  TColumnIndex DownIndex = NoColumn;
  TColumnIndex TrackIndex = NoColumn;
  TColumnIndex ClickIndex = NoColumn;
  TColumnIndex DragIndex = NoColumn;
  TColumnIndex DropTarget = NoColumn;
  bool DropBefore = false;
  bool NeedPositionsFix = false;
  bool Clearing() const { return clearing_; }

  bool HandleHeaderClick(POINT p, TMouseButton button, bool dblClick, bool force);
  bool UpdateHoverColumn(POINT p);
  TColumnIndex UpdateDownColumn(POINT p);
  // Draws the part R of the header (window coordinates) into DC, scrolled by HOffset.
  void PaintHeader(HDC dc, const RECT& r, int hOffset);

  // A column changed (nil: the collection did).
  void Update(TViewTreeColumn* item);
  void RecalculateLefts(bool force);
  void SyncPositionArray();
  void MovePositionEntry(TViewTreeColumn& column, TColumnPosition position);
  void ColumnIndexChanged(TColumnIndex oldIndex, TColumnIndex newIndex);
  void InvalidateCell(TColumnIndex column) const;

 private:
  friend class TViewTreeColumn;
  TColumnIndex Walk(POINT p, bool relative, int* left, int* right) const;
  TVTHeader& header_;
  std::vector<std::unique_ptr<TViewTreeColumn>> items_;
  std::vector<TColumnIndex> positionToIndex_;
  int updateCount_ = 0;
  bool clearing_ = false;
};
