// Floating pictures of the tree: the decision whether and what to show when the
// class library asks for a hint (a header column's hint, the control's hint, a node's
// hint, or a tooltip that shows a cut-off cell's text in full), the tree's hint
// window, and the semi-transparent picture that follows the mouse while something is
// dragged.
#pragma once

#include <algorithm>
#include <memory>
#include <string>

#include "controls/vtree/vt_paint.h"
#include "platform/classlib/hint_window.h"

enum TVTTooltipLineBreakStyle { hlbDefault, hlbForceSingleLine, hlbForceMultiLine };

class TViewTreeHints;

// What a tree hands its hint window through the class library's hint information.
struct TVTHintData {
  TViewTreeHints* Tree = nullptr;
  PViewNode Node = nullptr;
  TColumnIndex Column = NoColumn;
  RECT HintRect{};
  std::u16string DefaultHint;
  std::u16string HintText;
  TBiDiMode BiDiMode = bdLeftToRight;
  TAlignment Alignment = taLeftJustify;
  TVTTooltipLineBreakStyle LineBreakStyle = hlbDefault;
};

class TViewTreeHints : public TViewTreePainting {
 public:
  using TViewTreePainting::TViewTreePainting;
  ~TViewTreeHints() override;

  // The class of the window the tree's hints show in.
  virtual const THintWindowClass& GetHintWindowClass();
  // The client area in which the last decision stays valid; empty when none showed.
  const RECT& LastHintRect() const { return lastHintRect_; }

  // A node's hint and tooltip texts (the control's hint by default).
  virtual std::u16string DoGetNodeHint(PViewNode node, TColumnIndex column, TVTTooltipLineBreakStyle& style);
  virtual std::u16string DoGetNodeTooltip(PViewNode node, TColumnIndex column, TVTTooltipLineBreakStyle& style);
  // Gives a canvas the font a cell's text is drawn in, so a tooltip looks like its cell.
  virtual void PrepareTooltipCanvas(TCanvas& canvas, PViewNode node, TColumnIndex column);

 protected:
  void WndProc(TMessage& message) override;

 private:
  // CM_HINTSHOW: true when a hint is to show; fills the hint information.
  bool DecideHint(THintInfo& info);
  bool DecideHeaderHint(POINT cursor, RECT& hintRect);
  bool DecideNodeHint(THintInfo& info, const THitInfo& hit, RECT& hintRect);
  bool OwnHintCondition(PViewNode hitNode);
  // The rectangle a node's hint covers in a column, spanning empty cells after it.
  RECT NodeHintRect(PViewNode node, TColumnIndex column);
  // CM_HINTSHOWPAUSE: the pause before a hint shows.
  void AdjustHintPause(int& pause);

  TVTHintData hintData_;
  RECT lastHintRect_{};
};

// The window a tree's hint or tooltip shows in. Tooltips take the cell's font and
// show its text where the cell is; hints the hint font, below the cell.
class TViewTreeHintWindow : public THintWindow {
 public:
  explicit TViewTreeHintWindow(TComponent* owner);
  ~TViewTreeHintWindow() override;
  std::string ClassName() const override { return "TViewTreeHintWindow"; }
  static const THintWindowClass& Class();
  const THintWindowClass& ClassType() const override { return Class(); }

  void ActivateHint(RECT rect, const std::string& hint) override;
  void ActivateHintData(RECT rect, const std::string& hint, void* data) override;
  RECT CalcHintRect(int maxWidth, const std::string& hint, void* data) override;
  void Dispatch(TMessage& message) override;
  const TVTHintData& HintData() const { return data_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;

 private:
  bool IsTooltipOverNode() const;
  // The hint text the data names: the given text, else the node's tooltip or hint.
  std::u16string EffectiveText(const std::string& hint);
  RECT TooltipRect(const std::u16string& text);
  void BlendShadow(TCanvas& canvas);

  TVTHintData data_;
  std::u16string text_;
};

// Process-wide: true until a tree hint window exists, and again after one is
// destroyed or a tree is destroyed during a hint animation.
bool HintWindowDestroyed();

enum TVTDragMoveRestriction { dmrNone, dmrHorizontalOnly, dmrVerticalOnly };

// The picture that follows the mouse while nodes or a header column are dragged: a
// layered top-level window holding the dragged picture, blended by its transparency
// (fading out from the centre when asked) and shown by the window system over what
// lies below, so moving it needs no background bookkeeping.
//
// Ownership: the tree or header that drags owns it; it owns its window.
class TVTDragImage {
 public:
  TVTDragImage() = default;
  ~TVTDragImage();
  TVTDragImage(const TVTDragImage&) = delete;
  TVTDragImage& operator=(const TVTDragImage&) = delete;

  std::uint8_t Transparency() const { return transparency_; }
  void SetTransparency(std::uint8_t value) { transparency_ = value; }
  int PreBlendBias() const { return preBlendBias_; }
  void SetPreBlendBias(int value) { preBlendBias_ = std::clamp(value, -128, 127); }
  int PostBlendBias() const { return postBlendBias_; }
  void SetPostBlendBias(int value) { postBlendBias_ = std::clamp(value, -128, 127); }
  bool Fade() const { return fade_; }
  void SetFade(bool value) { fade_ = value; }
  // The colour that stays fully transparent (clNone: none).
  TColor ColorKey() const { return colorKey_; }
  void SetColorKey(TColor value) { colorKey_ = value; }
  TVTDragMoveRestriction MoveRestriction() const { return restriction_; }
  void SetMoveRestriction(TVTDragMoveRestriction value) { restriction_ = value; }
  bool Visible() const { return visible_; }

  // Takes the picture with its top-left corner at ImagePosition (screen) and the
  // mouse at HotSpot (screen), and shows it.
  void PrepareDrag(TBitmap& dragImage, POINT imagePosition, POINT hotSpot);
  // Moves the picture so the hot spot follows P (screen), within the restriction;
  // true when it moved.
  bool DragTo(POINT p, bool forceRepaint = false);
  // True when DragTo(P) would move the picture.
  bool WillMove(POINT p) const;
  void HideDragImage();
  void ShowDragImage();
  void EndDrag();
  // The picture's place on the screen (empty when none is prepared).
  RECT GetDragImageRect() const;
  // The picture as blended for the screen (premultiplied alpha).
  const TBitmap& AlphaImage() const { return alphaImage_; }

 private:
  void MakeAlphaImage(TBitmap& source);
  void PlaceWindow();

  std::uint8_t transparency_ = 128;
  int preBlendBias_ = 0;
  int postBlendBias_ = 0;
  bool fade_ = false;
  TColor colorKey_ = clNone;
  TVTDragMoveRestriction restriction_ = dmrNone;
  POINT imagePosition_{};
  POINT lastPosition_{};
  TBitmap alphaImage_;
  HWND window_ = 0;
  bool visible_ = false;
};
