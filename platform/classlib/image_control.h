// The picture control: a graphic control that shows its picture's bitmap.
#pragma once

#include "platform/classlib/controls.h"
#include "platform/classlib/graphics.h"

// A picture read from a file by its extension: ".bmp", ".jpg" or ".jpeg", ".png".
// Held as a bitmap.
class TPicture : public TPersistent {
 public:
  std::string ClassName() const override { return "TPicture"; }
  TBitmap& Bitmap() { return bitmap_; }
  // EInvalidGraphic for an unknown extension or a damaged file (the picture stays
  // as it was); the stream's exceptions when the file cannot be read.
  void LoadFromFile(const std::string& fileName);

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
