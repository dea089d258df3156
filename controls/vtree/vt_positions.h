// Where things are: the view offsets and the scroll bars, the position cache that
// the validation worker builds, the node at a point, the hit test, the display
// rectangle of a node, the widest content of a column, invalidation helpers and
// scrolling a node into view. One cell-layout routine places the indentation, the
// expand button, the check box, the images and the content of a cell, for painting
// and hit testing alike, so that what is drawn is what is hit.
#pragma once

#include "controls/vtree/vt_streams.h"
#include "platform/classlib/icons.h"

using THitPositions = std::uint16_t;
inline constexpr THitPositions hiAbove = 1u << 0;
inline constexpr THitPositions hiBelow = 1u << 1;
inline constexpr THitPositions hiNowhere = 1u << 2;
inline constexpr THitPositions hiOnItem = 1u << 3;
inline constexpr THitPositions hiOnItemButton = 1u << 4;
inline constexpr THitPositions hiOnItemCheckbox = 1u << 5;
inline constexpr THitPositions hiOnItemIndent = 1u << 6;
inline constexpr THitPositions hiOnItemLabel = 1u << 7;
inline constexpr THitPositions hiOnItemLeft = 1u << 8;
inline constexpr THitPositions hiOnItemRight = 1u << 9;
inline constexpr THitPositions hiOnNormalIcon = 1u << 10;
inline constexpr THitPositions hiOnStateIcon = 1u << 11;
inline constexpr THitPositions hiToLeft = 1u << 12;
inline constexpr THitPositions hiToRight = 1u << 13;

struct THitInfo {
  PViewNode HitNode = nullptr;
  TColumnIndex HitColumn = NoColumn;
  THitPositions HitPositions = 0;
};

// Options of an offset change.
using TScrollUpdateOptions = unsigned;
inline constexpr TScrollUpdateOptions suoRepaintHeader = 1u << 0;
inline constexpr TScrollUpdateOptions suoRepaintScrollbars = 1u << 1;
inline constexpr TScrollUpdateOptions suoScrollClientArea = 1u << 2;
inline constexpr TScrollUpdateOptions suoUpdateNCArea = 1u << 3;
inline constexpr TScrollUpdateOptions DefaultScrollUpdateFlags = 0x0F;

// The expand buttons and check boxes, in pixels.
inline constexpr int ButtonSize = 9;
inline constexpr int CheckImageSize = 16;

// Where the parts of one cell lie, in the coordinates of the cell rectangle given.
// A part that is not there has its left at -1.
struct TVTCellLayout {
  RECT Cell{};
  bool RightToLeft = false;
  TAlignment Alignment = taLeftJustify;
  int IndentWidth = 0;  // the tree lines' area (main column only)
  int ButtonLeft = -1;
  int CheckLeft = -1;
  int StateLeft = -1;
  int ImageLeft = -1;
  SIZE StateSize{};
  SIZE ImageSize{};
  RECT Content{};  // what remains for the node's content
};

class TViewTreePositions : public TViewTreeStreams {
 public:
  using TViewTreeStreams::TViewTreeStreams;

  TImageList* Images = nullptr;
  TImageList* StateImages = nullptr;

  // The view offsets: 0 or negative, how far the content is scrolled.
  void SetOffsetX(int value) { DoSetOffsetXY(POINT{value, offsetY_}, DefaultScrollUpdateFlags); }
  void SetOffsetY(int value) { DoSetOffsetXY(POINT{offsetX_, value}, DefaultScrollUpdateFlags); }
  // Clamps to the content (never positive), scrolls the window and tells OnScroll;
  // True when something moved.
  virtual bool DoSetOffsetXY(POINT value, TScrollUpdateOptions options);
  // The content height the vertical bar ranges over.
  int VerticalRange() const;

  // Builds the position cache of the tree from the first visible node; runs on the
  // validation worker. Answers whether it stored anything; reads node links and
  // heights only, and stops when told to.
  bool DoValidateCache() override;
  void ValidateCache() override;

  PViewNode NodeAtPoint(int x, int y) {
    int top = 0;
    return GetNodeAt(x, y, true, top);
  }
  // The node whose row holds Y (a client coordinate with Relative, else a content
  // one); nil below the last row. NodeTop gets the row's top in the same terms.
  PViewNode GetNodeAt(int x, int y, bool relative, int& nodeTop);
  virtual void GetHitTestInfoAt(int x, int y, bool relative, THitInfo& hitInfo);
  // The node's rectangle in client coordinates: the row, the column's cell, or the
  // content only; empty for a node that is not shown.
  RECT GetDisplayRect(PViewNode node, TColumnIndex column, bool textOnly, bool unclipped = false);
  int GetMaxColumnWidth(TColumnIndex column) override;
  // The layout of a node's cell whose rectangle is given (any coordinates).
  TVTCellLayout LayoutCell(PViewNode node, TColumnIndex column, const RECT& cell);

  virtual RECT InvalidateNodeRect(PViewNode node);
  void InvalidateToBottom(PViewNode node);
  void InvalidateColumn(TColumnIndex column);
  void RepaintNode(PViewNode node);

  void UpdateScrollBars(bool doRepaint) override;
  void UpdateVerticalScrollBar(bool doRepaint);
  void UpdateHorizontalScrollBar(bool doRepaint) override;
  bool ScrollIntoView(PViewNode node, bool center, bool horizontally = false);
  virtual int WidestRowRight();
  virtual int RightToLeftShift(bool excludeScrollBar = false);

  bool HasVisibleNextSibling(PViewNode node) const;
  bool IsFirstVisibleChild(PViewNode parent, PViewNode node) const;
  bool IsLastVisibleChild(PViewNode parent, PViewNode node) const;

  // A node's content width in a column (the text's width for text trees).
  virtual int DoGetNodeWidth(PViewNode node, TColumnIndex column, TCanvas* canvas);
  // The column whose layout rules hold for content without columns.
  TColumnIndex MainColumnOrNone() const { return Header().UseColumns() ? Header().MainColumn() : NoColumn; }

 protected:
  void InvalidateNode(PViewNode node) override { InvalidateNodeRect(node); }
  // The image a node shows; -1 when none. The list comes from Images or StateImages.
  int NodeImageIndex(PViewNode node, TVTImageKind kind, TColumnIndex column, bool& ghosted);
  // The indentation of a node in its main column cell.
  int IndentOf(PViewNode node) const;
  bool ShowsCheckBox(PViewNode node) const {
    return (TreeOptions().MiscOptions() & toCheckSupport) != 0 && node->CheckType != ctNone;
  }
  TAlignment ColumnAlignment(TColumnIndex column) const;
  bool ColumnReadsRightToLeft(TColumnIndex column) const;

 private:
  // Position tests inside a cell for a client X relative to the cell's left edge.
  THitPositions HitPositionsInCell(PViewNode node, TColumnIndex column, int x, int cellWidth);
};
