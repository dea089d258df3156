#include "controls/vtree/vt_header.h"

#include "controls/vtree/vt_object.h"

void TVTHeader::SortWhenAutomatic() {
  if ((owner_.TreeOptions().AutoOptions() & toAutoSort) != 0 && owner_.UpdateCount() == 0) {
    owner_.SortTree(sortColumn_, sortDirection_, true);
  }
}

void TVTHeader::SetSortColumn(TColumnIndex value) {
  if (value < NoColumn) value = NoColumn;
  if (sortColumn_ == value) return;
  sortColumn_ = value;
  SortWhenAutomatic();
}

void TVTHeader::SetSortDirection(TSortDirection value) {
  if (sortDirection_ == value) return;
  sortDirection_ = value;
  SortWhenAutomatic();
}

void TVTHeader::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TVTHeader*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  options_ = other->options_;
  height_ = other->height_;
  mainColumn_ = other->mainColumn_;
  sortColumn_ = other->sortColumn_;
  sortDirection_ = other->sortDirection_;
}
