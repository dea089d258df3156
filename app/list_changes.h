// Changes and saves of the program's item lists on the main thread, always in the one
// lock order: the program's data lock first, then the list's own lock.
#pragma once

#include <cstdint>
#include <memory>

#include "data/data_items.h"
#include "data/form_items.h"

// Holds DataLock and then List's lock (when there is a list) for one change or save.
class TListChange {
 public:
  explicit TListChange(TDataItems* list);
  ~TListChange();
  TListChange(const TListChange&) = delete;
  TListChange& operator=(const TListChange&) = delete;

 private:
  TDataItems* list_;
};

// Saves the list under both locks; a failed save is logged. False when it failed.
bool SaveListLocked(TDataItems& list);

// The stored record of a menu item id in List, or null (under DataLock and List's lock).
TFormItem* RecordIn(TDataItems* list, std::int32_t id);
// A copy of a stored form with its fields that belongs to no list, for a request or a
// dialog that waits.
std::shared_ptr<TFormItem> DetachedCopy(TFormItem& item);
// Puts what the record editor changed in Copy back into the stored Record.
void ApplyEditedCopy(TFormItem& record, const TFormItem& copy);
