// Icon objects and image lists of icons for the class library, and the application's
// icon (a process-wide object; until the program sets one it is empty).
#pragma once

#include <vector>

#include "platform/classlib/component.h"
#include "platform/classlib/graphics.h"

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

// Frames of equal size, kept as icons. Ownership: the list owns its icons.
class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner) : TComponent(owner) {}
  ~TImageList() override;
  std::string ClassName() const override { return "TImageList"; }
  int Count() const { return static_cast<int>(icons_.size()); }
  int AddIcon(const TIcon& icon);
  // Puts a copy of `icon` in frame `index`; false for an index out of range or an
  // empty icon.
  bool ReplaceIcon(int index, const TIcon& icon);
  void Clear();
  // Copies frame `index` into `icon`; an index out of range leaves it unchanged.
  void GetIcon(int index, TIcon& icon) const;
  TNotifyEvent OnChange;

 private:
  std::vector<HICON> icons_;
};

TIcon& ApplicationIcon();
