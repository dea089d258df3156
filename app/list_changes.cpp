#include "app/list_changes.h"

#include "data/data_startup.h"
#include "support/debug_log.h"

TListChange::TListChange(TDataItems* list) : list_(list) {
  DataLock.Enter();
  if (list_ != nullptr) list_->Lock();
}

TListChange::~TListChange() {
  if (list_ != nullptr) list_->Unlock();
  DataLock.Leave();
}

bool SaveListLocked(TDataItems& list) {
  TListChange change(&list);
  if (list.SaveToFile()) return true;
  LogError("the list " + list.FileName + " could not be saved");
  return false;
}
