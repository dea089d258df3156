#include "app/ignore_list_form.h"

#include <mutex>

#include "app/form_building.h"
#include "app/form_translation.h"
#include "data/data_startup.h"
#include "platform/classlib/date_text.h"
#include "platform/win/message_box.h"
#include "support/debug_log.h"
#include "support/translator.h"

namespace {

constexpr char kTitle[] = "Pellix - Ignore List";
constexpr int kWidth = 450;
constexpr int kHeight = 465;
constexpr int kButtonPanel = 34;

// Newest first; equal dates compare equal.
int CompareDates(double first, double second) { return first > second ? -1 : first < second ? 1 : 0; }

void SaveIgnoreList() {
  if (!IgnoreList->SaveToFile()) LogError("the ignore list could not be saved");
}

}  // namespace

TIgnoreListForm::TIgnoreListForm(TDialogLauncher& launcher, HWND ownerWindow)
    : TListWatchForm(launcher, TDialogSlot::IgnoreList, ownerWindow,
                     "Data has been changed. Your Ignore List needs to reload all data.", kTitle),
      scopes_{Translate("All forms on this domain"), Translate("All forms on this page"), Translate("One form only")} {
  SetName("IgnoreListForm");
  BorderStyle = TFormBorderStyle::bsSizeable;
  SetWideControlText(this, u"Pellix - Ignore List");
  SetBounds(0, 0, kWidth, kHeight);
  const int panelHeight = kHeight - kButtonPanel - 2 * 12;
  auto* panel = Place<TUniPanel>(*this, *this, "pnlMain", u"", {12, 12, kWidth - 24, panelHeight});
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clWhite);
  auto* header = BoldLabel(*this, *panel, "lblHeader", u"Ignore List", {22, 12, 300, 20});
  header->Font().SetSize(12);
  header->Transparent = true;
  auto* rule = Place<TUniShape>(*this, *panel, "shpRule", u"", {22, 36, kWidth - 24 - 44, 1});
  rule->Pen().SetColor(clSilver);
  ListViewIgnore = Place<TUniListView>(*this, *panel, "ListViewIgnore", u"",
                                       {22, 49, kWidth - 24 - 44, panelHeight - 49 - 6});
  ListViewIgnore->SetViewStyle(TViewStyle::vsReport);
  ListViewIgnore->ReadOnly = true;
  ListViewIgnore->SetRowSelect(true);
  ListViewIgnore->HideSelection = false;
  const std::pair<const char16_t*, int> columns[] = {
      {u"Date", 120}, {u"Caption", 90}, {u"Type", 90}, {u"URL", kWidth - 24 - 44 - 300 - 4}};
  for (const auto& [caption, width] : columns) {
    TUniListColumn* column = ListViewIgnore->Columns().Add();
    column->SetCaption(caption);
    column->SetWidth(width);
  }
  ListViewIgnore->OnCompare = [](TObject*, TListItem* first, TListItem* second, int, int& compare) {
    compare = CompareDates(static_cast<const TIgnoreItem*>(first->Data())->Date,
                           static_cast<const TIgnoreItem*>(second->Data())->Date);
  };
  ListViewIgnore->OnColumnClick = [this](TObject*, TListColumn*) { ListViewIgnore->AlphaSort(); };
  ListViewIgnore->OnChange = [this](TObject*, TListItem*, TItemChange) { UpdateButtons(); };

  auto* buttons = Place<TUniPanel>(*this, *this, "pnlButtons", u"", {0, kHeight - kButtonPanel, kWidth, kButtonPanel});
  buttons->SetBevelOuter(bvNone);
  btnClearList = Button(*this, *buttons, "btnClearList", u"Clear List", {12, 4, 90, 25}, mrNone);
  btnClearList->OnClick = [this](TObject*) { btnClearListClick(); };
  BtnClose = Button(*this, *buttons, "BtnClose", u"Close", {kWidth - 12 - 90, 4, 90, 25}, mrNone);
  BtnClose->Cancel = true;
  BtnClose->OnClick = [this](TObject*) { Close(); };

  UniPopupMenu1 = PopupMenu(*this, "UniPopupMenu1");
  DeleteRecord1 = MenuEntry(*this, *UniPopupMenu1, "DeleteRecord1", u"Delete Record",
                            [this](TObject*) { DeleteRecord1Click(); });
  ClearList1 = MenuEntry(*this, *UniPopupMenu1, "ClearList1", u"Clear List", [this](TObject*) { btnClearListClick(); });
  UniPopupMenu1->OnPopup = [this](TObject*) { UpdateButtons(); };
  ListViewIgnore->PopupMenu = UniPopupMenu1;
  TranslateForm(*this);
}

DWORD TIgnoreListForm::ListStamp() { return IgnoreList ? IgnoreList->LastAccess : 0; }

void TIgnoreListForm::LoadList() {
  TListItems& rows = ListViewIgnore->Items();
  rows.BeginUpdate();
  rows.Clear();
  entries_.clear();
  if (IgnoreList) {
    std::scoped_lock hold(*IgnoreList);
    for (const TIgnoreItem& entry : IgnoreList->Items()) {
      const auto& kept = entries_.emplace_back(std::make_unique<TIgnoreItem>(entry));
      TUniListItem* row = ListViewIgnore->Items().Add();
      row->SetCaption(DateTimeToStr(entry.Date));
      row->SubItems().Add(entry.Caption);
      row->SubItems().Add(entry.Kind >= kIgnoreSite && entry.Kind <= kIgnoreForm ? scopes_[entry.Kind - 1] : u"");
      row->SubItems().Add(entry.URL);
      row->SetData(kept.get());
    }
    SeenStamp = IgnoreList->LastAccess;
  }
  rows.EndUpdate();
  ListViewIgnore->AlphaSort();
  UpdateButtons();
}

void TIgnoreListForm::UpdateButtons() {
  const bool rows = ListViewIgnore->Items().Count() > 0;
  btnClearList->SetEnabled(rows);
  ClearList1->SetEnabled(rows);
  DeleteRecord1->SetEnabled(ListViewIgnore->Selected() != nullptr);
}

bool TIgnoreListForm::Ask(const char* question) {
  return MessageBoxW(Handle(), Translate(question).c_str(), Translate(kTitle).c_str(), MB_YESNO | MB_ICONWARNING) ==
         IDYES;
}

void TIgnoreListForm::DeleteRecord1Click() {
  if (!Ask("Are you sure you want to delete this record from the Ignore List?") || !IgnoreList) return;
  std::scoped_lock data(DataLock);
  std::scoped_lock list(*IgnoreList);
  TUniListItem* row = ListViewIgnore->Selected();
  if (row == nullptr) return;
  const bool removed = IgnoreList->Remove(*static_cast<const TIgnoreItem*>(row->Data()));
  row->Delete();
  UpdateButtons();
  if (!removed) return;
  SaveIgnoreList();
  SeenStamp = IgnoreList->LastAccess;
}

void TIgnoreListForm::btnClearListClick() {
  if (!Ask("Do you really want to delete all record from Ignore List?") || !IgnoreList) return;
  std::scoped_lock data(DataLock);
  std::scoped_lock list(*IgnoreList);
  IgnoreList->Clear();
  ListViewIgnore->Items().Clear();
  entries_.clear();
  UpdateButtons();
  SaveIgnoreList();
  SeenStamp = IgnoreList->LastAccess;
}
