// Changes and saves of the program's item lists on the main thread, always in the one
// lock order: the program's data lock first, then the list's own lock.
#pragma once

#include "data/data_items.h"

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
