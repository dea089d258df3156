#include "platform/classlib/persistent.h"

void TPersistent::Assign(const TPersistent* source) {
  if (source != nullptr) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::DefineProperties(TFiler&) {}

void TPersistent::AssignTo(TPersistent* destination) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + destination->ClassName());
}
