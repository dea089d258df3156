#include "app/list_changes.h"

#include "data/data_startup.h"
#include "formfill/app_menus.h"
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

TFormItem* RecordIn(TDataItems* list, std::int32_t id) {
  auto* item = dynamic_cast<TFormItem*>(FindMenuItem(id));
  return item != nullptr && list != nullptr && item->Owner == list ? item : nullptr;
}

std::shared_ptr<TFormItem> DetachedCopy(TFormItem& item) {
  auto copy = std::make_shared<TFormItem>(nullptr);
  copy->SetCaption(item.Caption());
  copy->SetURL(item.URL());
  copy->SetFormName(item.FormName());
  copy->SetFormID(item.FormID());
  copy->VaultID = item.VaultID;
  copy->Date = item.Date;
  if (!item.HasFields()) item.DecodeFields();
  for (int i = 0; i < item.FieldCount(); ++i) copy->AddField(*item.GetField(i));
  return copy;
}

void ApplyEditedCopy(TFormItem& record, const TFormItem& copy) {
  record.SetCaption(copy.Caption());
  record.SetURL(copy.URL());
  record.VaultID = copy.VaultID;
  if (!record.HasFields()) record.DecodeFields();
  for (int i = 0; i < copy.FieldCount(); ++i) record.MergeFields({*copy.GetField(i)});
}
