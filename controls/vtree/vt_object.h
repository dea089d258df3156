// The tree object itself: its fields with their initial values, the tree states, the
// properties with their setters, the hidden root node and the node memory, the
// owned colours, scroll bar options, clipboard formats, options and header, and the
// events the application binds. The operations on nodes stand on this class, one
// layer each: dispatch, selection, structure, navigation, sorting, checks, and the
// tree (TBaseViewTree) on top; what a lower layer needs from a higher one it reaches
// through the pure virtual operations declared here.
//
// Ownership: the tree owns every node, the root node, and the objects named above.
// Nodes are freed only by the tree's delete operations and its destructor.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/vtree/vt_edit_link.h"
#include "controls/vtree/vt_globals.h"
#include "controls/vtree/vt_header.h"
#include "controls/vtree/vt_nodes.h"
#include "controls/vtree/vt_options.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/ext_ctrls.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/image_control.h"
#include "platform/classlib/menu_items.h"
#include "platform/classlib/std_ctrls.h"

enum TVTNodeAlignment { naFromBottom, naFromTop, naProportional };

// Bevels and a band of BorderColor drawn in the window's frame, inside what the
// window system draws; the client area and the header lie within them.
enum TBevelKind { bkNone, bkTile, bkSoft, bkFlat };
using TBevelEdges = std::uint8_t;
inline constexpr TBevelEdges beLeft = 1u << 0;
inline constexpr TBevelEdges beTop = 1u << 1;
inline constexpr TBevelEdges beRight = 1u << 2;
inline constexpr TBevelEdges beBottom = 1u << 3;
enum TVTLineMode { lmNormal, lmBands };
enum TVTLineStyle { lsCustomStyle, lsDotted, lsSolid };
enum TVTButtonStyle { bsRectangle, bsTriangle };
enum TVTButtonFillMode { fmTreeColor, fmWindowColor, fmShaded, fmTransparent };
enum TCheckImageKind {
  ckLightCheck, ckDarkCheck, ckLightTick, ckDarkTick, ckFlat, ckXP, ckCustom, ckSystem, ckSystemFlat
};
enum TVTDragImageKind { diComplete, diMainColumnOnly, diNoImage };
using TDragOperations = unsigned;
inline constexpr TDragOperations doCopy = 1u << 0;
inline constexpr TDragOperations doMove = 1u << 1;
inline constexpr TDragOperations doLink = 1u << 2;
enum TVTDragType { dtOLE, dtVCL };
enum TVTDrawSelectionMode { smDottedRectangle, smBlendedRectangle };
enum THintAnimationType { hatNone, hatFade, hatSlide, hatSystemDefault };
enum TVTHintMode { hmDefault, hmHint, hmHintAndDefault, hmTooltip };
enum TVTIncrementalSearch { isAll, isNone, isInitializedOnly, isVisibleOnly };
enum TVTSearchDirection { sdForward, sdBackward };
enum TVTSearchStart { ssAlwaysStartOver, ssLastHit, ssFocusedNode };
enum TScrollBarStyle { sbmRegular, sbmFlat, sbm3D };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Tree timers, by their fixed ids.
inline constexpr UINT_PTR ExpandTimer = 1, EditTimer = 2, HeaderTimer = 3, ScrollTimer = 4, ChangeTimer = 5,
                          StructureChangeTimer = 6, SearchTimer = 7;

class TViewTreeObject;

// The tree's colours, addressed by index 0 to 14.
class TVTColors : public TPersistent {
 public:
  enum Index {
    DisabledColor, DropMarkColor, DropTargetColor, FocusedSelectionColor, GridLineColor, TreeLineColor,
    UnfocusedSelectionColor, BorderColor, HotColor, FocusedSelectionBorderColor, UnfocusedSelectionBorderColor,
    DropTargetBorderColor, SelectionRectangleBlendColor, SelectionRectangleBorderColor, HeaderHotColor, Count
  };
  explicit TVTColors(TViewTreeObject& owner);
  std::string ClassName() const override { return "TVTColors"; }
  TColor Color(Index index) const { return colors_[index]; }
  void SetColor(Index index, TColor value);
  void Assign(const TPersistent* source) override;

 private:
  TViewTreeObject& owner_;
  std::array<TColor, Count> colors_;
};

class TScrollBarOptions : public TPersistent {
 public:
  explicit TScrollBarOptions(TViewTreeObject& owner) : owner_(owner) {}
  std::string ClassName() const override { return "TScrollBarOptions"; }
  bool AlwaysVisible() const { return alwaysVisible_; }
  void SetAlwaysVisible(bool value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  TScrollBarStyle ScrollBarStyle() const { return style_; }
  void SetScrollBarStyle(TScrollBarStyle value) { style_ = value; }
  std::uint16_t HorizontalIncrement() const { return horizontal_; }
  void SetHorizontalIncrement(std::uint16_t value) { horizontal_ = value; }
  std::uint16_t VerticalIncrement() const { return vertical_; }
  void SetVerticalIncrement(std::uint16_t value) { vertical_ = value; }
  void Assign(const TPersistent* source) override;

 private:
  void RecreateOwnerWindow();
  TViewTreeObject& owner_;
  bool alwaysVisible_ = false;
  TScrollStyle scrollBars_ = ssBoth;
  TScrollBarStyle style_ = sbmRegular;
  std::uint16_t horizontal_ = 20;
  std::uint16_t vertical_ = 20;
};

// The names of the clipboard formats a tree offers: sorted, no duplicates, and only
// names the format registry holds for the tree's class or an ancestor.
class TClipboardFormats {
 public:
  explicit TClipboardFormats(const TTreeClass& treeClass) : treeClass_(treeClass) {}
  // The index of the name, or -1 when the format is not registered for the class.
  int Add(const std::string& name);
  void Clear() { names_.clear(); }
  const std::vector<std::string>& Names() const { return names_; }

 private:
  const TTreeClass& treeClass_;
  std::vector<std::string> names_;
};

// The events, with the tree as sender; an unbound event gives the default answer.
using TVTInitNodeEvent = std::function<void(TViewTreeObject* sender, PViewNode parent, PViewNode node,
                                            TViewNodeInitStates& initialStates)>;
using TVTInitChildrenEvent = std::function<void(TViewTreeObject* sender, PViewNode node, std::uint32_t& childCount)>;
using TVTNodeEvent = std::function<void(TViewTreeObject* sender, PViewNode node)>;
using TVTGetNodeDataSizeEvent = std::function<void(TViewTreeObject* sender, int& nodeDataSize)>;
using TVTMeasureItemEvent = std::function<void(TViewTreeObject* sender, PViewNode node, int& nodeHeight)>;
using TVTStructureChangeEvent = std::function<void(TViewTreeObject* sender, PViewNode node, TChangeReason reason)>;
using TVTStateChangeEvent = std::function<void(TViewTreeObject* sender, TViewTreeStates enter, TViewTreeStates leave)>;
using TVTUpdatingEvent = std::function<void(TViewTreeObject* sender, TVTUpdateState state)>;
using TVTCheckChangingEvent =
    std::function<void(TViewTreeObject* sender, PViewNode node, TCheckState& newState, bool& allowed)>;
using TVTChangingEvent = std::function<void(TViewTreeObject* sender, PViewNode node, bool& allowed)>;
using TVTFocusChangingEvent = std::function<void(TViewTreeObject* sender, PViewNode oldNode, PViewNode newNode,
                                                 TColumnIndex oldColumn, TColumnIndex newColumn, bool& allowed)>;
using TVTFocusChangeEvent = std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column)>;
using TVTHotNodeChangeEvent = std::function<void(TViewTreeObject* sender, PViewNode oldNode, PViewNode newNode)>;
using TVTCompareEvent = std::function<void(TViewTreeObject* sender, PViewNode node1, PViewNode node2,
                                           TColumnIndex column, int& result)>;
using TVTNodeMovingEvent =
    std::function<void(TViewTreeObject* sender, PViewNode node, PViewNode target, bool& allowed)>;
using TVTEditCancelEvent = std::function<void(TViewTreeObject* sender, TColumnIndex column)>;
using TVTEditChangingEvent =
    std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column, bool& allowed)>;
using TVTEditChangeEvent = std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column)>;
using TVTIncrementalSearchEvent =
    std::function<void(TViewTreeObject* sender, PViewNode node, const std::u16string& searchText, int& result)>;
using TVTGetCellIsEmptyEvent =
    std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column, bool& isEmpty)>;
using TVTGetImageEvent = std::function<void(TViewTreeObject* sender, PViewNode node, TVTImageKind kind,
                                            TColumnIndex column, bool& ghosted, int& imageIndex)>;
using TVTHelpContextEvent =
    std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column, int& helpContext)>;
using TVTDragAllowedEvent =
    std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column, bool& allowed)>;
using TVTScrollEvent = std::function<void(TViewTreeObject* sender, int deltaX, int deltaY)>;
using TVTPopupEvent = std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column,
                                         const POINT& position, bool& askParent, TPopupMenu*& popupMenu)>;
using TVTCreateEditorEvent = std::function<void(TViewTreeObject* sender, PViewNode node, TColumnIndex column,
                                                IVTEditLinkPtr& editLink)>;
using TVTKeyActionEvent =
    std::function<void(TViewTreeObject* sender, WORD& charCode, TShiftState& shift, bool& doDefault)>;
using TVTColumnResizeEvent = std::function<void(TVTHeader* sender, TColumnIndex column)>;
using TVTHeaderClickEvent = std::function<void(TVTHeader* sender, TColumnIndex column, TMouseButton button,
                                               TShiftState shift, int x, int y)>;
using TVTHeaderMouseEvent =
    std::function<void(TVTHeader* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TVTHeaderMouseMoveEvent = std::function<void(TVTHeader* sender, TShiftState shift, int x, int y)>;
using TVTHeaderDraggingEvent = std::function<void(TVTHeader* sender, TColumnIndex column, bool& allowed)>;
using TVTHeaderDraggedEvent =
    std::function<void(TVTHeader* sender, TColumnIndex column, TColumnPosition oldPosition)>;
using TVTHeaderDraggedOutEvent =
    std::function<void(TVTHeader* sender, TColumnIndex column, const POINT& dropPosition)>;
using TVTHeaderPaintEvent = std::function<void(TVTHeader* sender, TCanvas& canvas, TViewTreeColumn* column,
                                               const RECT& r, bool hover, bool pressed, int dropMark)>;
using TVTHeaderPaintQueryElementsEvent =
    std::function<void(TVTHeader* sender, THeaderPaintInfo& paintInfo, THeaderPaintElements& elements)>;
using TVTAdvancedHeaderPaintEvent =
    std::function<void(TVTHeader* sender, THeaderPaintInfo& paintInfo, THeaderPaintElements elements)>;
using TVTGetHeaderCursorEvent = std::function<void(TVTHeader* sender, HCURSOR& cursor)>;

class TViewTreeObject : public TCustomControl {
 public:
  using TOptionsFactory = std::unique_ptr<TCustomViewTreeOptions> (*)(TViewTreeObject& owner);
  TViewTreeObject(TComponent* owner, const TTreeClass& treeClass, TOptionsFactory makeOptions);
  ~TViewTreeObject() override;
  std::string ClassName() const override { return treeClass_.Name; }
  const TTreeClass& TreeClass() const { return treeClass_; }

  // Tree states; every change goes through DoStateChange, which tells OnStateChange.
  TViewTreeStates TreeStates() const { return states_; }
  bool InState(TViewTreeStates states) const { return (states_ & states) != 0; }
  virtual void DoStateChange(TViewTreeStates enter, TViewTreeStates leave = 0);

  // The hidden root: expanded, visible, its parent link the tree, its own sibling.
  PViewNode RootNode() const { return root_; }
  // Reserves internal data for a tree class; the offset of it from a node's start.
  virtual std::size_t ReserveNodeDataSpace(std::size_t size);
  // The address of a node's user data; nil for nil, the root and trees without data.
  void* NodeUserData(PViewNode node) const;
  template <typename T>
  T* GetNodeData(PViewNode node) const { return static_cast<T*>(NodeUserData(node)); }

  int NodeDataSize() const { return nodeDataSize_; }
  void SetNodeDataSize(int value);
  std::uint32_t RootNodeCount() const { return root_->ChildCount; }
  void SetRootNodeCount(std::uint32_t value);
  std::uint32_t DefaultNodeHeight() const { return defaultNodeHeight_; }
  void SetDefaultNodeHeight(std::uint32_t value);
  std::uint32_t Indent() const { return indent_; }
  void SetIndent(std::uint32_t value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int TextMargin() const { return textMargin_; }
  void SetTextMargin(int value);
  std::uint32_t AnimationDuration() const { return animationDuration_; }
  void SetAnimationDuration(std::uint32_t value);
  std::uint32_t ChangeDelay() const { return changeDelay_; }
  void SetChangeDelay(std::uint32_t value) { changeDelay_ = value; }
  std::uint32_t EditDelay() const { return editDelay_; }
  void SetEditDelay(std::uint32_t value) { editDelay_ = value; }
  std::uint32_t AutoExpandDelay() const { return autoExpandDelay_; }
  void SetAutoExpandDelay(std::uint32_t value) { autoExpandDelay_ = value; }
  std::uint32_t AutoScrollDelay() const { return autoScrollDelay_; }
  void SetAutoScrollDelay(std::uint32_t value) { autoScrollDelay_ = value; }
  std::uint32_t AutoScrollInterval() const { return autoScrollInterval_; }
  void SetAutoScrollInterval(std::uint32_t value);
  std::uint32_t BottomSpace() const { return bottomSpace_; }
  void SetBottomSpace(std::uint32_t value);
  // The picture behind the rows with toShowBackground (empty: none).
  TPicture& Background() { return background_; }
  void SetBackground(TPicture& value);
  int BackgroundOffsetX() const { return backgroundOffsetX_; }
  void SetBackgroundOffsetX(int value);
  int BackgroundOffsetY() const { return backgroundOffsetY_; }
  void SetBackgroundOffsetY(int value);
  int DragWidth() const { return dragWidth_; }
  void SetDragWidth(int value) { dragWidth_ = value; }
  int DragHeight() const { return dragHeight_; }
  void SetDragHeight(int value) { dragHeight_ = value; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TBevelKind BevelKind() const { return bevelKind_; }
  void SetBevelKind(TBevelKind value) { SetFrameValue(bevelKind_, value); }
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value) { SetFrameValue(bevelInner_, value); }
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value) { SetFrameValue(bevelOuter_, value); }
  TBevelEdges BevelEdges() const { return bevelEdges_; }
  void SetBevelEdges(TBevelEdges value) { SetFrameValue(bevelEdges_, value); }
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value) { SetFrameValue(bevelWidth_, std::max(value, 1)); }
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value) { SetFrameValue(borderWidth_, std::max(value, 0)); }
  // How far the bevels and the border band reach in from each side of the window.
  RECT FrameInsets() const;
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TVTNodeAlignment NodeAlignment() const { return nodeAlignment_; }
  void SetNodeAlignment(TVTNodeAlignment value);
  TVTLineMode LineMode() const { return lineMode_; }
  void SetLineMode(TVTLineMode value);
  TVTLineStyle LineStyle() const { return lineStyle_; }
  void SetLineStyle(TVTLineStyle value);
  TVTButtonStyle ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(TVTButtonStyle value);
  TVTButtonFillMode ButtonFillMode() const { return buttonFillMode_; }
  void SetButtonFillMode(TVTButtonFillMode value);
  TCheckImageKind CheckImageKind() const { return checkImageKind_; }
  void SetCheckImageKind(TCheckImageKind value);
  std::uint8_t SelectionBlendFactor() const { return selectionBlendFactor_; }
  void SetSelectionBlendFactor(std::uint8_t value) { selectionBlendFactor_ = value; }
  std::uint32_t SelectionCurveRadius() const { return selectionCurveRadius_; }
  void SetSelectionCurveRadius(std::uint32_t value);
  TVTNodeAttachMode DefaultPasteMode() const { return defaultPasteMode_; }
  void SetDefaultPasteMode(TVTNodeAttachMode value) { defaultPasteMode_ = value; }
  TDragOperations DragOperations() const { return dragOperations_; }
  void SetDragOperations(TDragOperations value) { dragOperations_ = value; }
  TVTDragType DragType() const { return dragType_; }
  void SetDragType(TVTDragType value) { dragType_ = value; }
  TVTDragImageKind DragImageKind() const { return dragImageKind_; }
  void SetDragImageKind(TVTDragImageKind value) { dragImageKind_ = value; }
  TVTDrawSelectionMode DrawSelectionMode() const { return drawSelectionMode_; }
  void SetDrawSelectionMode(TVTDrawSelectionMode value) { drawSelectionMode_ = value; }
  THintAnimationType HintAnimation() const { return hintAnimation_; }
  void SetHintAnimation(THintAnimationType value) { hintAnimation_ = value; }
  TVTHintMode HintMode() const { return hintMode_; }
  void SetHintMode(TVTHintMode value) { hintMode_ = value; }
  TVTIncrementalSearch IncrementalSearch() const { return incrementalSearch_; }
  void SetIncrementalSearch(TVTIncrementalSearch value);
  TVTSearchDirection IncrementalSearchDirection() const { return searchDirection_; }
  void SetIncrementalSearchDirection(TVTSearchDirection value) { searchDirection_ = value; }
  TVTSearchStart IncrementalSearchStart() const { return searchStart_; }
  void SetIncrementalSearchStart(TVTSearchStart value) { searchStart_ = value; }
  std::uint32_t IncrementalSearchTimeout() const { return searchTimeout_; }
  void SetIncrementalSearchTimeout(std::uint32_t value) { searchTimeout_ = value; }
  const std::u16string& SearchBuffer() const { return searchBuffer_; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool value) { wantTabs_ = value; }

  TVTColors& Colors() { return *colors_; }
  TScrollBarOptions& ScrollBarOptions() { return *scrollBarOptions_; }
  TClipboardFormats& ClipboardFormats() { return clipboardFormats_; }
  void SetClipboardFormats(const std::vector<std::string>& names);
  TCustomViewTreeOptions& TreeOptions() { return *options_; }
  const TCustomViewTreeOptions& TreeOptions() const { return *options_; }
  TVTHeader& Header() { return *header_; }
  const TVTHeader& Header() const { return *header_; }

  // The nodes that are fully visible (visible, every ancestor expanded and visible).
  std::uint32_t VisibleCount() const { return visibleCount_; }
  // All nodes, the root included.
  std::uint32_t TotalCount() const { return root_->TotalCount; }
  std::uint32_t UpdateCount() const { return updateCount_; }
  PViewNode FocusedNode() const { return focusedNode_; }
  TColumnIndex FocusedColumn() const { return focusedColumn_; }
  // The node from which a Shift-range starts.
  PViewNode RangeAnchor() const { return rangeAnchor_; }
  PViewNode HotNode() const { return currentHotNode_; }
  PViewNode DropTargetNode() const { return dropTargetNode_; }
  PViewNode EditNode() const { return editNode_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }

  // The position cache: every 2000th fully visible node with its top. Structure
  // changes invalidate it; validation rebuilds it.
  struct TCacheEntry {
    PViewNode Node;
    std::uint32_t AbsoluteTop;
  };
  const std::vector<TCacheEntry>& PositionCache() const { return positionCache_; }
  bool CacheIsValid() const { return InState(tsUseCache); }
  void InvalidateCache();
  virtual void ValidateCache() = 0;
  // Builds the cache; the validation worker runs it while the tree's thread waits
  // for its report.
  virtual bool DoValidateCache() = 0;
  // Stops a background validation of this tree, queued or running, and waits until
  // the worker has let go of it; an interrupted cache is built again later. Every
  // change of the structure, of heights and of expansion runs it first.
  void StopCacheValidation();
  // Read by the worker between the steps of a build.
  bool ValidationStopped() const { return stopValidation_.load(); }

  // Structure and selection operations the lower layers and the setters call.
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  virtual void Clear() = 0;
  virtual void ClearSelection() = 0;
  virtual void SetChildCount(PViewNode node, std::uint32_t newCount) = 0;
  virtual void SortTree(TColumnIndex column, TSortDirection direction, bool doInit = true) = 0;
  // Ends a running edit without accepting it; True when none runs afterwards.
  virtual bool CancelEditNode() = 0;
  // toAcceptOLEDrop changed while the window exists: the window becomes a drop target
  // of the system's drag and drop, or stops being one.
  virtual void AcceptOLEDropChanged() = 0;
  // Hands over an in-place editor for the node; the editing work starts edits so.
  void SetEditLink(IVTEditLinkPtr link, PViewNode node, TColumnIndex column);

  // Runs Callback(Step, StepSize) over Steps in about Duration ms on this thread; a
  // last call (0, 0) tells the end.
  virtual void Animate(std::uint32_t steps, std::uint32_t duration,
                       const std::function<bool(int step, int stepSize)>& callback);

  bool IsReadOnly() const { return (options_->MiscOptions() & toReadOnly) != 0; }
  bool IsLoading() const { return (ComponentState() & csLoading) != 0; }
  bool IsDestroying() const { return (ComponentState() & csDestroying) != 0; }
  // Not loading and with a window: option and property changes show at once.
  bool IsLive() const { return !IsLoading() && HandleAllocated(); }
  // Repaints the whole tree; nothing without a window.
  void InvalidateTree();
  // Stops a tree timer; nothing without a window.
  void StopTimer(UINT_PTR id);

  // Geometry the header and its columns share with the tree. The horizontal scroll
  // position (0 or more), the content width, and the header's rectangle in window
  // coordinates (empty without hoVisible).
  int EffectiveOffsetX() const { return effectiveOffsetX_; }
  int RangeX() const { return rangeX_; }
  const RECT& HeaderRect() const { return headerRect_; }
  // Recomputes HeaderRect from the control's size and the header.
  void UpdateHeaderRect();
  // The client area: the window's when it exists, else the control's size less the
  // header.
  RECT TreeClientRect();
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode value);
  bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
  bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }
  // A column's width changed (-1: all of them); tells OnColumnResize.
  virtual void DoColumnResize(TColumnIndex column);
  // The header's main column changed: a running edit ends.
  virtual void MainColumnChanged();
  // The widest content of a column's cells.
  virtual int GetMaxColumnWidth(TColumnIndex column) = 0;
  virtual void UpdateHorizontalScrollBar(bool doRepaint) = 0;
  // Brings both bars and the view to the content; nothing without a window.
  virtual void UpdateScrollBars(bool doRepaint) = 0;

  TVTInitNodeEvent OnInitNode;
  TVTInitChildrenEvent OnInitChildren;
  TVTNodeEvent OnFreeNode;
  TVTNodeEvent OnResetNode;
  TVTGetNodeDataSizeEvent OnGetNodeDataSize;
  TVTMeasureItemEvent OnMeasureItem;
  TVTNodeEvent OnChange;
  TVTStructureChangeEvent OnStructureChange;
  TVTStateChangeEvent OnStateChange;
  TVTUpdatingEvent OnUpdating;
  TVTCheckChangingEvent OnChecking;
  TVTNodeEvent OnChecked;
  TVTChangingEvent OnExpanding;
  TVTNodeEvent OnExpanded;
  TVTChangingEvent OnCollapsing;
  TVTNodeEvent OnCollapsed;
  TVTFocusChangingEvent OnFocusChanging;
  TVTFocusChangeEvent OnFocusChanged;
  TVTHotNodeChangeEvent OnHotChange;
  TVTCompareEvent OnCompareNodes;
  TVTNodeMovingEvent OnNodeMoving;
  TVTNodeEvent OnNodeMoved;
  TVTNodeMovingEvent OnNodeCopying;
  TVTNodeEvent OnNodeCopied;
  TVTEditCancelEvent OnEditCancelled;
  TVTEditChangingEvent OnEditing;
  TVTEditChangeEvent OnEdited;
  TVTIncrementalSearchEvent OnIncrementalSearch;
  TVTGetCellIsEmptyEvent OnGetCellIsEmpty;
  TVTGetImageEvent OnGetImageIndex;
  TVTHelpContextEvent OnGetHelpContext;
  TVTDragAllowedEvent OnDragAllowed;
  TVTScrollEvent OnScroll;
  TVTKeyActionEvent OnKeyAction;
  TVTPopupEvent OnGetPopupMenu;
  TVTCreateEditorEvent OnCreateEditor;
  TVTColumnResizeEvent OnColumnResize;
  TVTHeaderClickEvent OnHeaderClick;
  TVTHeaderClickEvent OnHeaderDblClick;
  TVTHeaderMouseEvent OnHeaderMouseDown;
  TVTHeaderMouseEvent OnHeaderMouseUp;
  TVTHeaderMouseMoveEvent OnHeaderMouseMove;
  TVTHeaderDraggingEvent OnHeaderDragging;
  TVTHeaderDraggedEvent OnHeaderDragged;
  TVTHeaderDraggedOutEvent OnHeaderDraggedOut;
  TVTHeaderPaintEvent OnHeaderDraw;
  TVTHeaderPaintQueryElementsEvent OnHeaderDrawQueryElements;
  TVTAdvancedHeaderPaintEvent OnAdvancedHeaderDraw;
  TVTGetHeaderCursorEvent OnGetHeaderCursor;

 protected:
  // A frame setting changed: the window's frame is worked out and painted again.
  template <typename T>
  void SetFrameValue(T& field, T value) {
    if (field == value) return;
    field = value;
    header_->RefreshHeaderFrame();
  }
  friend class TCustomViewTreeOptions;
  friend class TVTColors;
  friend class TVTHeader;

  void Loaded() override;
  // Makes a zero-filled node: user data of NodeDataSize bytes (asking
  // OnGetNodeDataSize while it is -1), visible, one row of DefaultNodeHeight.
  PViewNode MakeNewNode();
  // Releases a node's memory; the caller has unlinked it and told the application.
  void FreeNodeMemory(PViewNode node);
  void SetUpdateState(bool updating);
  // Every node reference the tree keeps is dropped for a node about to be freed.
  void ForgetNode(PViewNode node);
  // The header's main column when it is visible, else its first visible column.
  TColumnIndex MainOrFirstVisibleColumn() const;

  // Fields the layers above share.
  TViewTreeStates states_ = 0;
  PViewNode root_ = nullptr;
  std::size_t internalDataSize_ = 0;
  int nodeDataSize_ = -1;
  std::uint32_t defaultNodeHeight_ = 18;
  std::uint32_t updateCount_ = 0;
  std::uint32_t visibleCount_ = 0;
  PViewNode focusedNode_ = nullptr;
  TColumnIndex focusedColumn_ = NoColumn;
  PViewNode rangeAnchor_ = nullptr;
  int selectionLevel_ = -1;
  // The selection in address order, count = size; entries with bit 0 set are marked
  // for removal until the next pack.
  std::vector<PViewNode> selection_;
  std::vector<PViewNode> tempNodeCache_;
  PViewNode lastChangedNode_ = nullptr;
  PViewNode lastStructureChangeNode_ = nullptr;
  TChangeReason lastStructureChangeReason_ = crIgnore;
  PViewNode currentHotNode_ = nullptr;
  PViewNode dropTargetNode_ = nullptr;
  PViewNode checkNode_ = nullptr;
  TCheckState pendingCheckState_ = csUncheckedNormal;
  int checkPropagationCount_ = 0;
  PViewNode lastSearchNode_ = nullptr;
  PViewNode editNode_ = nullptr;
  TColumnIndex editColumn_ = NoColumn;
  IVTEditLinkPtr editLink_;
  TNodeArray dragSelection_;
  std::u16string searchBuffer_;
  int offsetX_ = 0;
  int offsetY_ = 0;
  std::vector<TCacheEntry> positionCache_;
  // Every RowAnchorStep-th row of the same walk, so that finding the row at a height
  // walks a few rows from an anchor instead of up to 2000. The tops stand apart from
  // the nodes, so that the search touches as little memory as it can.
  std::vector<std::uint32_t> rowAnchorTops_;
  std::vector<PViewNode> rowAnchorNodes_;
  static constexpr std::uint32_t RowAnchorStep = 8;
  // Where an interrupted build resumes.
  std::size_t cacheStartIndex_ = 0;
  // Set when the tree was handed to the worker and not yet found let go.
  bool validationQueued_ = false;
  std::uint32_t storedRootCount_ = 0;
  int effectiveOffsetX_ = 0;
  int rangeX_ = 0;
  RECT headerRect_{};
  TBiDiMode biDiMode_ = bdLeftToRight;

 private:
  void InitRootNode(std::size_t oldSize);
  void RepaintUnlessLoading();
  void RepaintWhenLive();

  const TTreeClass& treeClass_;
  // tsStopValidation as the worker thread sees it.
  std::atomic<bool> stopValidation_{false};
  std::unique_ptr<TVTHeader> header_;
  std::unique_ptr<TCustomViewTreeOptions> options_;
  std::unique_ptr<TVTColors> colors_;
  std::unique_ptr<TScrollBarOptions> scrollBarOptions_;
  TClipboardFormats clipboardFormats_;
  std::uint32_t indent_ = 18;
  int margin_ = 4;
  int textMargin_ = 4;
  std::uint32_t animationDuration_ = 200;
  std::uint32_t changeDelay_ = 0;
  std::uint32_t editDelay_ = 1000;
  std::uint32_t autoExpandDelay_ = 1000;
  std::uint32_t autoScrollDelay_ = 1000;
  std::uint32_t autoScrollInterval_ = 1;
  std::uint32_t bottomSpace_ = 0;
  TPicture background_;
  int backgroundOffsetX_ = 0;
  int backgroundOffsetY_ = 0;
  int dragWidth_ = 200;
  int dragHeight_ = 350;
  TAlignment alignment_ = taLeftJustify;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  TBevelKind bevelKind_ = bkNone;
  TBevelCut bevelInner_ = bvRaised;
  TBevelCut bevelOuter_ = bvLowered;
  TBevelEdges bevelEdges_ = beLeft | beTop | beRight | beBottom;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TVTNodeAlignment nodeAlignment_ = naProportional;
  TVTLineMode lineMode_ = lmNormal;
  TVTLineStyle lineStyle_ = lsDotted;
  TVTButtonStyle buttonStyle_ = bsRectangle;
  TVTButtonFillMode buttonFillMode_ = fmTreeColor;
  TCheckImageKind checkImageKind_ = ckLightCheck;
  std::uint8_t selectionBlendFactor_ = 128;
  std::uint32_t selectionCurveRadius_ = 0;
  TVTNodeAttachMode defaultPasteMode_ = amAddChildLast;
  TDragOperations dragOperations_ = doCopy | doMove;
  TVTDragType dragType_ = dtOLE;
  TVTDragImageKind dragImageKind_ = diComplete;
  TVTDrawSelectionMode drawSelectionMode_ = smDottedRectangle;
  THintAnimationType hintAnimation_ = hatSystemDefault;
  TVTHintMode hintMode_ = hmDefault;
  TVTIncrementalSearch incrementalSearch_ = isNone;
  TVTSearchDirection searchDirection_ = sdForward;
  TVTSearchStart searchStart_ = ssFocusedNode;
  std::uint32_t searchTimeout_ = 1000;
  bool wantTabs_ = false;
};
