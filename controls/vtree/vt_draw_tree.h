// A tree whose cells the application draws itself: the tree paints its rows, lines,
// buttons, check boxes and images, and hands each cell's content to the draw-node
// callback; node widths and hints come from the application as well.
#pragma once

#include <functional>

#include "controls/vtree/view_trees.h"

class TCustomViewDrawTree;

extern const TTreeClass CustomViewDrawTreeClass;  // TCustomViewDrawTree

using TVTDrawNodeEvent = std::function<void(TCustomViewDrawTree* sender, const TVTPaintInfo& paintInfo)>;
using TVTGetNodeWidthEvent = std::function<void(TCustomViewDrawTree* sender, TCanvas& canvas, PViewNode node,
                                                TColumnIndex column, int& nodeWidth)>;
using TVTGetHintSizeEvent =
    std::function<void(TCustomViewDrawTree* sender, PViewNode node, TColumnIndex column, RECT& r)>;
using TVTDrawHintEvent = std::function<void(TCustomViewDrawTree* sender, TCanvas& hintCanvas, PViewNode node,
                                            RECT r, TColumnIndex column)>;

class TCustomViewDrawTree : public TBaseViewTree {
 public:
  explicit TCustomViewDrawTree(TComponent* owner, const TTreeClass& treeClass = CustomViewDrawTreeClass)
      : TBaseViewTree(owner, treeClass) {}

  // The hint's size for a cell; an empty rectangle means no hint.
  virtual void DoGetHintSize(PViewNode node, TColumnIndex column, RECT& r);
  // Draws a cell's hint on the hint window's canvas.
  virtual void DoDrawHint(TCanvas& canvas, PViewNode node, const RECT& r, TColumnIndex column);

  TVTDrawNodeEvent OnDrawNode;
  TVTGetNodeWidthEvent OnGetNodeWidth;
  TVTGetHintSizeEvent OnGetHintSize;
  TVTDrawHintEvent OnDrawHint;

 protected:
  void DoPaintNode(TVTPaintInfo& info) override;
  // 2 x TextMargin, or what the node-width callback makes of it.
  int DoGetNodeWidth(PViewNode node, TColumnIndex column, TCanvas* canvas) override;
};
