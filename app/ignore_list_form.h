// The ignore list window: the forms, pages and domains whose submitted forms the
// program does not remember, newest first, with "Delete Record" and "Clear List".
// Modeless, opened by the dialog launcher; it frees itself when closed.
//
// The list is changed under the program's data lock and then the list's own lock.
// Each row keeps a copy of its entry, by which the entry is found in the list again.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/modeless_forms.h"
#include "controls/unicode/uni_com_ctrls.h"
#include "controls/unicode/uni_ext_ctrls.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "data/ignore_lists.h"

class TIgnoreListForm : public TListWatchForm {
 public:
  TIgnoreListForm(TDialogLauncher& launcher, HWND ownerWindow);
  std::string ClassName() const override { return "TIgnoreListForm"; }

  // Fills the rows from the ignore list (TIgnoreListForm.UpdateData).
  void LoadList() override;
  void UpdateButtons();

  TUniListView* ListViewIgnore;
  TUniButton* btnClearList;
  TUniButton* BtnClose;
  TUniPopupMenu* UniPopupMenu1;
  TUniMenuItem* DeleteRecord1;
  TUniMenuItem* ClearList1;

 protected:
  DWORD ListStamp() override;

 private:
  void DeleteRecord1Click();
  void btnClearListClick();
  bool Ask(const char* question);
  // The scope names of the kinds 1 to 3, translated.
  std::u16string scopes_[3];
  std::vector<std::unique_ptr<TIgnoreItem>> entries_;
};
