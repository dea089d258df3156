// The tree's header: the row of column captions that lives in the tree window's
// non-client area above the client area while hoVisible is set. It owns the column
// collection, paints the captions in one of four styles, lets the user resize columns
// on their splitters, reorder them by dragging and click them, shows the sort glyph,
// and reads and writes the header stream.
#pragma once

#include <cstdint>
#include <memory>

#include "controls/vtree/vt_columns.h"
#include "controls/vtree/vt_nodes.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/icons.h"
#include "platform/classlib/menu_items.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/persistent.h"
#include "platform/win/cursors.h"

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

enum TVTHeaderStyle : std::uint8_t { hsThickButtons, hsFlatButtons, hsPlates, hsXPStyle };

using THeaderStates = std::uint8_t;
inline constexpr THeaderStates hstDragging = 1u << 0;
inline constexpr THeaderStates hstDragPending = 1u << 1;
inline constexpr THeaderStates hstLoading = 1u << 2;
inline constexpr THeaderStates hstWidthTracking = 1u << 3;
inline constexpr THeaderStates hstWidthTrackPending = 1u << 4;

// The tree unit's utility images, 16 pixels square, made on first use and shared by
// every header of the process (main thread only): 0 and 1 the drop marks at a cell's
// left and right edge, 2 and 3 the sort glyphs (descending, ascending), 4 and 5 the
// sort glyphs of themed headers, 6 to 8 the left end, middle and right end of the hot
// bar of XP-style headers.
TImageList& UtilityImages();
inline constexpr int UtilityImageSize = 16;

// The mouse cursor over a splitter, and the cursor a class-library cursor number
// stands for.
inline constexpr TCursor crHeaderSplit = 63;
HCURSOR HeaderCursorHandle(TCursor cursor);

// What an owner may paint of a header cell (or of the header's background) itself.
using THeaderPaintElements = std::uint8_t;
inline constexpr THeaderPaintElements hpeBackground = 1u << 0;
inline constexpr THeaderPaintElements hpeDropMark = 1u << 1;
inline constexpr THeaderPaintElements hpeHeaderGlyph = 1u << 2;
inline constexpr THeaderPaintElements hpeSortGlyph = 1u << 3;
inline constexpr THeaderPaintElements hpeText = 1u << 4;

enum TVTDropMarkMode { dmmNone, dmmLeft, dmmRight };

class TViewTreeColumn;

// One cell as the header paints it, handed to the advanced owner-draw events; the
// column is nil for the header's background.
struct THeaderPaintInfo {
  TCanvas* TargetCanvas = nullptr;
  TViewTreeColumn* Column = nullptr;
  RECT PaintRectangle{};
  RECT TextRectangle{};
  bool IsHoverIndex = false;
  bool IsDownIndex = false;
  bool IsEnabled = true;
  bool ShowHeaderGlyph = false;
  bool ShowSortGlyph = false;
  bool ShowRightBorder = false;
  TVTDropMarkMode DropMark = dmmNone;
  POINT GlyphPos{};
  POINT SortGlyphPos{};
};

class TViewTreeObject;
class TVTDragImage;

// Owned by its tree.
class TVTHeader : public TPersistent {
 public:
  explicit TVTHeader(TViewTreeObject& owner);
  ~TVTHeader() override;
  std::string ClassName() const override { return "TVTHeader"; }
  TViewTreeObject& Treeview() const { return owner_; }

  TViewTreeColumns& Columns() { return *columns_; }
  const TViewTreeColumns& Columns() const { return *columns_; }
  void SetColumns(const TViewTreeColumns& value) { columns_->Assign(value); }
  int ColumnCount() const { return columns_->Count(); }
  bool UseColumns() const { return columns_->Count() > 0; }
  bool IsColumnVisible(TColumnIndex column) const {
    return columns_->IsValidColumn(column) && columns_->Items(column).Has(coVisible);
  }
  TColumnIndex FirstVisibleColumn() const { return columns_->FirstVisibleColumn(); }

  TVTHeaderOptions Options() const { return options_; }
  void SetOptions(TVTHeaderOptions value);
  // True when the options differ from the default and go into a form description.
  bool IsOptionsStored() const { return options_ != DefaultHeaderOptions; }
  std::uint32_t Height() const { return height_; }
  void SetHeight(std::uint32_t value);
  TFont& Font() { return font_; }
  void SetFont(const TFont& value);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  std::uint8_t FontPitch() const { return fontPitch_; }
  THeaderStates States() const { return states_; }
  bool InHeaderState(THeaderStates states) const { return (states_ & states) != 0; }
  TVTHeaderStyle Style() const { return style_; }
  void SetStyle(TVTHeaderStyle value);
  TColor Background() const { return background_; }
  void SetBackground(TColor value);
  TColumnIndex AutoSizeIndex() const { return autoSizeIndex_; }
  void SetAutoSizeIndex(TColumnIndex value);
  TPopupMenu* PopupMenu = nullptr;
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* value);
  // The column with the tree lines; -1 while there are no columns.
  TColumnIndex MainColumn() const { return ColumnCount() > 0 ? mainColumn_ : NoColumn; }
  void SetMainColumn(TColumnIndex value);
  // Changing the sort column or direction sorts the tree when it sorts automatically.
  TColumnIndex SortColumn() const { return sortColumn_; }
  void SetSortColumn(TColumnIndex value);
  TSortDirection SortDirection() const { return sortDirection_; }
  void SetSortDirection(TSortDirection value);
  int TrackStart() const { return trackStart_; }
  POINT DragStart{};
  int LastWidth = 0;
  // The picture of a dragged column.
  TVTDragImage& DragImage() { return *dragImage_; }

  void Assign(const TPersistent* source) override;

  // Repaints a column's cell (ExpandToBorder: to the header's far edge), or the whole
  // header for a column below 0.
  void InvalidateHeader(TColumnIndex column = NoColumn, bool expandToBorder = false);
  void FitColumnsToText(bool animated);
  void RestoreColumnWidths();
  void FixMainColumn();
  void ShareSpringWidth();
  void RefreshHeaderFrame();
  // Whether the client point lies in the header.
  bool PointInHeader(POINT p) const;
  // Finds the splitter under the client point and sets the tracked column.
  bool FindSplitter(POINT p);
  // The header's share of the tree's messages; true when it consumed the message.
  bool HandleHeaderMessage(TMessage& message);
  // The font grows or shrinks by M/D (a form scaled from one resolution to another).
  virtual void ScaleHeader(int m, int d);
  // The cursor over a client point in the header: the tree's own, the split cursor
  // over a splitter, or what OnGetHeaderCursor makes of it.
  HCURSOR CursorAt(POINT p);

  // The header stream. A short or damaged stream raises EReadError and leaves the
  // header with its defaults.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

  // While set, column changes skip auto-sizing and repainting.
  void EnterState(THeaderStates states) { states_ |= states; }
  void LeaveState(THeaderStates states) { states_ &= static_cast<THeaderStates>(~states); }

 private:
  friend class TViewTreeColumns;
  friend class TViewTreeColumn;
  void SortWhenAutomatic();
  void ResetToDefaults();
  // The client point of a message, and whether it lies in the header.
  POINT MessagePoint(const TMessage& message) const;
  // A rectangle in window coordinates moved into client ones.
  RECT WindowToClient(const RECT& r) const;
  bool TrackHeaderMouse(POINT p);
  void StartColumnDrag();
  void DragColumnTo(POINT screenPoint);
  void FinishColumnDrag(POINT screenPoint);
  void EndTracking();
  bool ButtonUp(TMessage& message, bool nonClient);

  TViewTreeObject& owner_;
  std::unique_ptr<TViewTreeColumns> columns_;
  std::unique_ptr<TVTDragImage> dragImage_;
  TVTHeaderOptions options_ = DefaultHeaderOptions;
  std::uint32_t height_ = 17;
  TFont font_;
  bool parentFont_ = false;
  std::uint8_t fontPitch_ = 0;
  THeaderStates states_ = 0;
  int trackStart_ = 0;
  TVTHeaderStyle style_ = hsThickButtons;
  TColor background_ = clBtnFace;
  TColumnIndex autoSizeIndex_ = 0;
  TImageList* images_ = nullptr;
  TColumnIndex mainColumn_ = 0;
  TColumnIndex sortColumn_ = NoColumn;
  TSortDirection sortDirection_ = sdAscending;
};
