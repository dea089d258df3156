// The tree control: TBaseViewTree, the tree every tree of the program is built on.
// It stands on the layers of this folder (object, dispatch, selection, structure,
// navigation, sorting, checks, positions, painting, hints, mouse, messages) and adds the
// node accessors: expanded, selected, height and visibility, the destruction of the
// nodes, and its window: the header in the non-client area, the scroll bars and the
// validation worker's reports.
//
// Ownership: made with an owner component, which frees it; the tree frees its nodes,
// telling OnFreeNode for every node the application knows, also when it is destroyed.
//
// The string trees (TCustomViewStringTree, TViewStringTree) follow: trees whose cells
// show text that is asked for every time through OnGetText and never stored.
#pragma once

#include <string>
#include <vector>

#include "controls/vtree/vt_export.h"
#include "controls/vtree/vt_dragdrop.h"

class TBaseViewTree : public TViewTreeDragDrop {
 public:
  explicit TBaseViewTree(TComponent* owner, const TTreeClass& treeClass = BaseViewTreeClass,
                         TOptionsFactory makeOptions = &MakeOptions);
  ~TBaseViewTree() override;

  bool GetExpanded(PViewNode node) const { return node != nullptr && node->Has(vsExpanded); }
  void SetExpanded(PViewNode node, bool value);
  bool GetSelected(PViewNode node) const { return node != nullptr && node->Has(vsSelected); }
  void SetSelected(PViewNode node, bool value);
  std::uint32_t GetNodeHeight(PViewNode node);
  void SetNodeHeight(PViewNode node, std::uint32_t value);
  bool GetVisible(PViewNode node);
  void SetVisible(PViewNode node, bool value);
  using TViewTreeDragDrop::SetVisible;  // the control's own visibility
  bool GetFullyVisible(PViewNode node) const { return FullyVisible(node); }

  // The row's top in content coordinates; nodes that are not shown answer the top of
  // the row that stands for them.
  std::uint32_t GetDisplayTop(PViewNode node);
  // The shown node whose row holds the content position; nil below the last row.
  PViewNode GetNodeAtPosition(std::uint32_t position);
  // The node at the top of the view, and scrolling so that a node is there.
  PViewNode GetTopNode();
  void SetTopNode(PViewNode node);

  // Drops entries marked for removal (bit 0 set); the new count.
  static std::size_t PackArray(TNodeArray& nodes);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;

 private:
  static std::unique_ptr<TCustomViewTreeOptions> MakeOptions(TViewTreeObject& owner);
  void HandleScroll(int bar, int code);
  void PaintHeaderFrame();
  void MeasureNodeHeight(PViewNode node);
};

// Which of a cell's two texts is meant: the normal one, or the static one drawn after
// it (with toShowStaticText).
enum TVSTTextType { ttNormal, ttStatic };

using TVSTGetTextEvent = std::function<void(TBaseViewTree* sender, PViewNode node, TColumnIndex column,
                                            TVSTTextType textType, std::u16string& cellText)>;
using TVSTNewTextEvent =
    std::function<void(TBaseViewTree* sender, PViewNode node, TColumnIndex column, const std::u16string& newText)>;
using TVTPaintTextEvent = std::function<void(TBaseViewTree* sender, TCanvas& targetCanvas, PViewNode node,
                                             TColumnIndex column, TVSTTextType textType)>;
using TVSTGetHintEvent = std::function<void(TBaseViewTree* sender, PViewNode node, TColumnIndex column,
                                            TVTTooltipLineBreakStyle& lineBreakStyle, std::u16string& hintText)>;
using TVSTShortenStringEvent =
    std::function<void(TBaseViewTree* sender, TCanvas& targetCanvas, PViewNode node, TColumnIndex column,
                       const std::u16string& s, int textSpace, std::u16string& result, bool& done)>;

// A tree whose cells show text. Per node it keeps the measured pixel width of the
// main column's text in a 4-byte slot of the node's internal data (0: not measured),
// reset whenever the node is invalidated or re-initialised, the main column changes
// or the control gets a new font.
class TCustomViewStringTree : public TBaseViewTree {
 public:
  explicit TCustomViewStringTree(TComponent* owner, const TTreeClass& treeClass = CustomViewStringTreeClass,
                                 TOptionsFactory makeOptions = &MakeStringOptions);
  ~TCustomViewStringTree() override;

  TCustomStringTreeOptions& TreeOptions() {
    return static_cast<TCustomStringTreeOptions&>(TBaseViewTree::TreeOptions());
  }
  const TCustomStringTreeOptions& TreeOptions() const {
    return static_cast<const TCustomStringTreeOptions&>(TBaseViewTree::TreeOptions());
  }
  TVTStringOptions StringOptions() const { return TreeOptions().StringOptions(); }

  // The text a cell has before OnGetText changes it ("Node" at first).
  const std::u16string& DefaultText() const { return defaultText_; }
  void SetDefaultText(const std::u16string& value);
  // Form descriptions store the default text as "WideDefaultText" only when it is
  // not "Node"; they may still hold the older "StringOptions" set, read here by its
  // element names: the first two elements are taken, the others skipped.
  bool DefaultTextStored() const { return defaultText_ != u"Node"; }
  void ReadLegacyStringOptions(const std::vector<std::string>& names);

  // A cell's normal text: DefaultText passed through OnGetText (the node initialised
  // first).
  std::u16string GetCellText(PViewNode node, TColumnIndex column);
  // Hands a new text to OnNewText; the node's measured width is dropped before the
  // scroll bar and the next paint need it.
  void SetCellText(PViewNode node, TColumnIndex column, const std::u16string& text);
  // 2 x TextMargin plus the text's width in the control's font as OnPaintText leaves it.
  int MeasureTextWidth(TCanvas& canvas, PViewNode node, TColumnIndex column, const std::u16string& text);
  // The height of a multiline node's text wrapped to its column.
  int ComputeNodeHeight(TCanvas& canvas, PViewNode node, TColumnIndex column, std::u16string text = {});
  // Where a cell's text sits and in which font it is drawn, for the in-place editor.
  void GetTextInfo(PViewNode node, TColumnIndex column, TFont& font, RECT& r, std::u16string& text) override;
  // The font's line height and the width of "..." in it.
  int TextHeight() const { return textHeight_; }
  int EllipsisWidth() const { return ellipsisWidth_; }
  // The cached main-column width of a node (0: not measured).
  std::int32_t CachedWidth(PViewNode node) const;
  RECT InvalidateNodeRect(PViewNode node) override;
  void ReinitNode(PViewNode node, bool recursive) override;

  // Tree streams: a node's caption chunk (type 3: header, then its main-column text as
  // UTF-16), written with toSaveCaptions for an initialised node with text. Reading
  // takes the chunk's data (its header already read) and hands the text to
  // SetCellText; a size that is odd, negative or beyond the bytes that remain is
  // refused (EReadError) and reads nothing.
  static constexpr std::uint32_t CaptionChunk = 3;
  void WriteCaptionChunk(TStream& stream, PViewNode node);
  void ReadCaptionChunk(TStream& stream, PViewNode node, std::int64_t chunkSize);

  // The content as text for other programs, from the cells' texts.
  TVTContentExporter ContentExporter();
  // The base tree's formats first; the text formats then come from the cut/copy set
  // (clipboard) or the selection (drag).
  HRESULT RenderOLEData(const FORMATETC& formatEtcIn, STGMEDIUM& medium, bool forClipboard) override;

  // Hints and tooltips: OnGetHint when bound; a tooltip is otherwise the cell's text,
  // drawn in the font OnPaintText gives the cell.
  std::u16string DoGetNodeHint(PViewNode node, TColumnIndex column, TVTTooltipLineBreakStyle& style) override;
  std::u16string DoGetNodeTooltip(PViewNode node, TColumnIndex column, TVTTooltipLineBreakStyle& style) override;
  void PrepareTooltipCanvas(TCanvas& canvas, PViewNode node, TColumnIndex column) override;

  TVSTGetTextEvent OnGetText;
  TVTPaintTextEvent OnPaintText;
  TVSTGetHintEvent OnGetHint;
  TVSTNewTextEvent OnNewText;
  TVSTShortenStringEvent OnShortenString;

 protected:
  void WndProc(TMessage& message) override;
  void DoPaintNode(TVTPaintInfo& info) override;
  int DoGetNodeWidth(PViewNode node, TColumnIndex column, TCanvas* canvas) override;
  bool DoGetCellIsEmpty(PViewNode node, TColumnIndex column) override;
  // Without OnCreateEditor the string tree edits with its own TStringEditLink.
  IVTEditLinkPtr DoCreateEditor(PViewNode node, TColumnIndex column) override;
  int DoIncrementalSearch(PViewNode node, const std::u16string& text) override;
  TColumnIndex FitCellPaintRect(TVTPaintInfo& info) override;
  void MainColumnChanged() override;
  virtual void DoPaintText(TCanvas& canvas, PViewNode node, TColumnIndex column, TVSTTextType textType);
  virtual std::u16string DoShortenString(TCanvas& canvas, PViewNode node, TColumnIndex column,
                                         const std::u16string& s, int width, int ellipsisWidth);
  // The caption chunk follows the base tree's chunks.
  void WriteChunks(TStream& stream, PViewNode node) override;
  bool ReadChunk(TStream& stream, int version, PViewNode node, std::uint32_t chunkType, std::uint32_t chunkSize,
                 int depth) override;

 private:
  static std::unique_ptr<TCustomViewTreeOptions> MakeStringOptions(TViewTreeObject& owner);
  void RefreshFontMetrics();
  void ResetAllWidths();
  std::int32_t* WidthSlot(PViewNode node) const;
  std::u16string StaticText(PViewNode node, TColumnIndex column);
  // The text's colour for a cell painted with selection: highlight text, or the
  // control font's own colour.
  TColor SelectionTextColor(PViewNode node, TColumnIndex column, bool focusedColumnMatters);
  void PaintNormalText(TVTPaintInfo& info, const std::u16string& text);
  void PaintStaticText(TVTPaintInfo& info, const std::u16string& text);
  void DrawCellText(TVTPaintInfo& info, const std::u16string& text, RECT r, UINT flags);
  // A canvas with a memory DC of its own, for measuring without a window.
  TCanvas& MeasureCanvas();

  std::u16string defaultText_ = u"Node";
  int textHeight_ = 0;
  int ellipsisWidth_ = 0;
  std::size_t widthSlot_ = 0;
  TBitmap measureBitmap_;
};

// The string tree the program's windows place.
class TViewStringTree : public TCustomViewStringTree {
 public:
  explicit TViewStringTree(TComponent* owner);

 private:
  static std::unique_ptr<TCustomViewTreeOptions> MakePublishedOptions(TViewTreeObject& owner);
};
