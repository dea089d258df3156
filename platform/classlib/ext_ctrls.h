// The class library's panels, shapes and bevels.
#pragma once

#include <string>

#include "platform/classlib/controls.h"
#include "platform/classlib/frames.h"
#include "platform/classlib/std_ctrls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* owner);
  std::string ClassName() const override { return "TCustomPanel"; }

  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool ParentBackground = false;

 protected:
  void Paint() override;
  void Dispatch(TMessage& message) override;
  // The bevels and border, leaving `rect` as the area inside them.
  void PaintFrame(RECT& rect);
  // Draws the caption in the rectangle with the flags.
  virtual void DrawCaption(HDC dc, RECT& rect, UINT flags);

 private:
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
  std::string ClassName() const override { return "TPanel"; }
};

// A rectangle drawn with the shape's pen and filled with its brush.
class TShape : public TGraphicControl {
 public:
  explicit TShape(TComponent* owner);
  std::string ClassName() const override { return "TShape"; }
  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }

 protected:
  void Paint() override;

 private:
  TBrush brush_;
  TPen pen_;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TComponent* owner);
  std::string ClassName() const override { return "TBevel"; }
  TBevelShape Shape = TBevelShape::bsBox;
  TBevelStyle Style = TBevelStyle::bsLowered;

 protected:
  void Paint() override;
};
