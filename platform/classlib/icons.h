// Icon objects and image lists of icons for the class library, and the application's
// icon (a process-wide object; until the program sets one it is empty).
#pragma once

#include <vector>

#include "platform/classlib/component.h"
#include "platform/classlib/graphics.h"
#include "platform/gdi/image_lists.h"

// Ownership: the object owns its icon handle and destroys it.
class TIcon : public TPersistent {
 public:
  TIcon() = default;
  ~TIcon() override;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;
  std::string ClassName() const override { return "TIcon"; }
  // Copies another icon's picture (an empty icon empties this one).
  void Assign(const TPersistent* source) override;
  HICON Handle() const { return handle_; }
  // Takes ownership of the handle.
  void SetHandle(HICON icon);
  bool Empty() const { return handle_ == 0; }
  // Makes the icon from a bitmap's picture (copied).
  void FromBitmap(TBitmap& bitmap);
  TNotifyEvent OnChange;

 private:
  HICON handle_ = 0;
};

// Pictures of one size over a system image list, each with its transparent part.
// Ownership: the list owns its image list handle; bitmaps and icons handed in stay
// the caller's.
class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner) : TImageList(owner, 16, 16) {}
  TImageList(TComponent* owner, int width, int height);
  ~TImageList() override;
  std::string ClassName() const override { return "TImageList"; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size empties the list.
  void SetSize(int width, int height);
  // Whether pictures have a transparent part; a change empties the list.
  bool Masked() const { return masked_; }
  void SetMasked(bool masked);
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor color);
  HIMAGELIST Handle() const { return handle_; }
  int Count() const;

  // Each answers the index of the first picture added, -1 when nothing was added.
  // A bitmap wider than a picture adds as many as fit side by side.
  int Add(TBitmap* image, TBitmap* mask);
  int AddMasked(TBitmap& image, TColor maskColor);
  int AddIcon(const TIcon& icon);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  void Delete(int index);
  void Clear();
  // Copies picture `index` into `icon`; an index out of range leaves it unchanged.
  void GetIcon(int index, TIcon& icon) const;
  // Draws transparently; a disabled picture is drawn as a grey relief: its shape in
  // the highlight colour one pixel down and right, then in the shadow colour.
  void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true);
  // ImageList_DrawEx with the list's background colour and the given style.
  void DrawStyled(TCanvas& canvas, int x, int y, int index, UINT style);
  TNotifyEvent OnChange;

 private:
  void Recreate();
  void Changed();
  int width_;
  int height_;
  bool masked_ = true;
  TColor bkColor_ = clNone;
  HIMAGELIST handle_ = 0;
};

TIcon& ApplicationIcon();
