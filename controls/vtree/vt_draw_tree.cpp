#include "controls/vtree/vt_draw_tree.h"

const TTreeClass CustomViewDrawTreeClass{"TCustomViewDrawTree", &BaseViewTreeClass};

void TCustomViewDrawTree::DoPaintNode(TVTPaintInfo& info) {
  if (OnDrawNode) OnDrawNode(this, info);
}

int TCustomViewDrawTree::DoGetNodeWidth(PViewNode node, TColumnIndex column, TCanvas* canvas) {
  int width = 2 * TextMargin();
  if (OnGetNodeWidth) OnGetNodeWidth(this, canvas != nullptr ? *canvas : Canvas(), node, column, width);
  return width;
}

void TCustomViewDrawTree::DoGetHintSize(PViewNode node, TColumnIndex column, RECT& r) {
  if (OnGetHintSize) OnGetHintSize(this, node, column, r);
}

void TCustomViewDrawTree::DoDrawHint(TCanvas& canvas, PViewNode node, const RECT& r, TColumnIndex column) {
  if (OnDrawHint) OnDrawHint(this, canvas, node, r, column);
}
