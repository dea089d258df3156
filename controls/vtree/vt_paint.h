// Painting the tree: the paint cycle that draws any rectangle of the content onto any
// canvas, row by row through one off-screen row bitmap; the row background, the
// full-row selection block, the cell's selection and focus marks, the tree lines, the
// expand buttons, the check boxes, the node images and the drop mark. Every element
// painter is a virtual operation, so derived trees (the string tree's text) draw their
// part, and each cell is placed by the same cell layout the hit test uses.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "controls/vtree/vt_positions.h"

using TVTPaintOptions8 = std::uint8_t;
inline constexpr TVTPaintOptions8 poBackground = 1u << 0;
inline constexpr TVTPaintOptions8 poColumnColor = 1u << 1;
inline constexpr TVTPaintOptions8 poDrawFocusRect = 1u << 2;
inline constexpr TVTPaintOptions8 poDrawSelection = 1u << 3;
inline constexpr TVTPaintOptions8 poDrawDropMark = 1u << 4;
inline constexpr TVTPaintOptions8 poGridLines = 1u << 5;
inline constexpr TVTPaintOptions8 poMainOnly = 1u << 6;
inline constexpr TVTPaintOptions8 poSelectedOnly = 1u << 7;
// What the control's own painting asks for.
inline constexpr TVTPaintOptions8 DefaultPaintCycleOptions = 63;

enum TVTLineType { ltNone, ltBottomRight, ltTopDown, ltTopDownRight, ltRight, ltTopRight, ltLeft, ltLeftBottom };
using TLineImage = std::vector<TVTLineType>;

enum TItemEraseAction { eaColor, eaDefault, eaNone };
enum TVTDropMode { dmNowhere, dmAbove, dmOnNode, dmBelow };

struct TVTImageInfo {
  int Index = -1;
  int XPos = 0;
  int YPos = 0;
  bool Ghosted = false;
  TImageList* Images = nullptr;
};

enum TVTImageInfoIndex { iiNormal, iiState, iiCheck, iiOverlay };

// One cell as the element painters see it; X in content coordinates, Y from the row's
// top.
struct TVTPaintInfo {
  TCanvas* Canvas = nullptr;
  TVTPaintOptions8 PaintOptions = 0;
  PViewNode Node = nullptr;
  TColumnIndex Column = NoColumn;
  TColumnPosition Position = 0;
  RECT CellRect{};
  RECT ContentRect{};
  int NodeWidth = 0;
  TAlignment Alignment = taLeftJustify;
  bool RightToLeft = false;
  POINT BrushOrigin{};
  std::array<TVTImageInfo, 4> ImageInfo{};
  TVTCellLayout Layout;
};

class TViewTreePainting;
using TVTPaintEvent = std::function<void(TViewTreePainting* sender, TCanvas& canvas)>;
using TVTBeforeItemEraseEvent = std::function<void(TViewTreePainting* sender, TCanvas& canvas, PViewNode node,
                                                   const RECT& itemRect, TColor& color, TItemEraseAction& action)>;
using TVTAfterItemEraseEvent =
    std::function<void(TViewTreePainting* sender, TCanvas& canvas, PViewNode node, const RECT& itemRect)>;
using TVTBeforeItemPaintEvent = std::function<void(TViewTreePainting* sender, TCanvas& canvas, PViewNode node,
                                                   const RECT& itemRect, bool& customDraw)>;
using TVTAfterItemPaintEvent =
    std::function<void(TViewTreePainting* sender, TCanvas& canvas, PViewNode node, const RECT& itemRect)>;
using TVTCellPaintEvent = std::function<void(TViewTreePainting* sender, TCanvas& canvas, PViewNode node,
                                             TColumnIndex column, const RECT& cellRect)>;
using TVTBackgroundPaintEvent =
    std::function<void(TViewTreePainting* sender, TCanvas& canvas, const RECT& r, bool& handled)>;

class TViewTreePainting : public TViewTreePositions {
 public:
  using TViewTreePositions::TViewTreePositions;

  // Draws the content rectangle Window (content coordinates) onto the canvas with its
  // corner at Target.
  virtual void PaintTree(TCanvas& targetCanvas, const RECT& window, POINT target, TVTPaintOptions8 paintOptions);
  // The bevels and the border band in the window's frame, when there are any.
  virtual void PaintBorder();
  // The line kinds of a node, one per indentation level; answers the number of
  // selected ancestors (the root not counted).
  int DetermineLineImage(PViewNode node, TLineImage& lineImage);

  // The node that is the current drop target and where a drop would land.
  TVTDropMode LastDropMode = dmNowhere;
  // The rubber band in content coordinates, from the corner where the press was to
  // the mouse (not normalised); the mouse handling keeps it. Painted while
  // tsDrawSelPending or tsDrawSelecting is set.
  virtual RECT SelectionRect() const { return RECT{}; }

  TVTPaintEvent OnBeforePaint;
  TVTPaintEvent OnAfterPaint;
  TVTBeforeItemEraseEvent OnBeforeItemErase;
  TVTAfterItemEraseEvent OnAfterItemErase;
  TVTBeforeItemPaintEvent OnBeforeItemPaint;
  TVTAfterItemPaintEvent OnAfterItemPaint;
  TVTCellPaintEvent OnBeforeCellPaint;
  TVTCellPaintEvent OnAfterCellPaint;
  TVTBackgroundPaintEvent OnPaintBackground;

 protected:
  // The control's painting: the update area of the client, fixed columns apart.
  void Paint() override;

  virtual void PaintTreeLines(const TVTPaintInfo& info, int vAlignment, int indentSize, const TLineImage& lineImage);
  virtual void PaintNodeButton(TCanvas& canvas, PViewNode node, const RECT& r, int buttonX, int buttonY,
                               bool rightToLeft);
  virtual void PaintCheckImage(const TVTPaintInfo& info);
  virtual void PaintImage(const TVTPaintInfo& info, TVTImageInfoIndex index, bool doOverlay);
  // The node's own content (the string tree's text); the base tree draws none.
  virtual void DoPaintNode(TVTPaintInfo& info);
  virtual void DoPaintDropMark(TCanvas& canvas, PViewNode node, const RECT& r);
  // The rubber band's part within TargetRect: SelectionRect (normalised, content
  // coordinates) lies WindowOrgX further right on the target.
  virtual void PaintSelectionRectangle(TCanvas& target, int windowOrgX, const RECT& selectionRect,
                                       const RECT& targetRect);
  virtual void DrawDottedHLine(const TVTPaintInfo& info, int left, int right, int top);
  virtual void DrawDottedVLine(const TVTPaintInfo& info, int top, int bottom, int left);
  // May widen the cell; answers the column painting goes on with.
  virtual TColumnIndex FitCellPaintRect(TVTPaintInfo& info);
  // Clears the row: a colour, the full-row selection block or nothing.
  virtual void PaintRowBackground(TVTPaintInfo& info, const RECT& row, int rowTop);
  // The cell's background colour, selection rectangle and focus rectangle.
  virtual void PaintSelectionAndFocus(TVTPaintInfo& info);
  void MeasureItemHeight(TCanvas& canvas, PViewNode node);

 private:
  void PaintRowCells(TVTPaintInfo& info, const RECT& window, int vAlign, const TLineImage& lineImage,
                     bool columns, TColumnIndex editColumn);
  void PaintBelowLastRow(TCanvas& canvas, const RECT& area, int contentTop, bool columns, TVTPaintOptions8 options);
  // The background picture over Area, whose logical (x, 0) is content (x, ContentTop).
  void DrawBackgroundPicture(HDC dc, const RECT& area, int contentTop);
  bool UsesBackgroundPicture(TVTPaintOptions8 options);
  // The selection colour blended over a rectangle instead of drawn solid.
  bool BlendsSelection() const;
  void DrawLinePiece(const TVTPaintInfo& info, TVTLineType type, int x, int vAlign, int indent, bool reverse);
  void SetDottedBrush(TCanvas& canvas, TColor color);
  bool HasFocusedLook();

};
