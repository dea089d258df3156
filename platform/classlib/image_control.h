// The picture control: a graphic control that shows its picture's bitmap.
#pragma once

#include "platform/classlib/controls.h"

class TPicture : public TPersistent {
 public:
  std::string ClassName() const override { return "TPicture"; }
  TBitmap& Bitmap() { return bitmap_; }

 private:
  TBitmap bitmap_;
};

class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  std::string ClassName() const override { return "TImage"; }
  TPicture& Picture() { return picture_; }

 protected:
  void Paint() override;

 private:
  TPicture picture_;
};
