#include "platform/classlib/icons.h"

#include "platform/gdi/icons.h"

TIcon::~TIcon() {
  if (handle_ != 0) DestroyIcon(handle_);
}

void TIcon::SetHandle(HICON icon) {
  if (icon == handle_) return;
  if (handle_ != 0) DestroyIcon(handle_);
  handle_ = icon;
  if (OnChange) OnChange(this);
}

void TIcon::Assign(const TPersistent* source) {
  auto* icon = dynamic_cast<const TIcon*>(source);
  if (icon == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  SetHandle(icon->Empty() ? 0 : CopyIcon(icon->Handle()));
}

void TIcon::FromBitmap(TBitmap& bitmap) {
  ICONINFO info{TRUE, 0, 0, 0, bitmap.Handle()};
  SetHandle(CreateIconIndirect(&info));
}

TImageList::~TImageList() {
  Destroying();
  for (HICON icon : icons_) DestroyIcon(icon);
}

int TImageList::AddIcon(const TIcon& icon) {
  if (icon.Empty()) return -1;
  icons_.push_back(CopyIcon(icon.Handle()));
  if (OnChange) OnChange(this);
  return Count() - 1;
}

bool TImageList::ReplaceIcon(int index, const TIcon& icon) {
  if (icon.Empty() || index < 0 || index >= Count()) return false;
  HICON& slot = icons_[static_cast<std::size_t>(index)];
  DestroyIcon(slot);
  slot = CopyIcon(icon.Handle());
  if (OnChange) OnChange(this);
  return true;
}

void TImageList::Clear() {
  for (HICON icon : icons_) DestroyIcon(icon);
  icons_.clear();
  if (OnChange) OnChange(this);
}

void TImageList::GetIcon(int index, TIcon& icon) const {
  if (index < 0 || index >= Count()) return;
  icon.SetHandle(CopyIcon(icons_[static_cast<std::size_t>(index)]));
}

TIcon& ApplicationIcon() {
  static TIcon icon;
  return icon;
}
