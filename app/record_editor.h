// The two dialogs that edit stored forms. TEditItemForm, the record editor, edits one
// stored form (a form-history record or a form bookmark): its name, its address and
// the values of its saved fields, with passwords masked; a history record can turn
// into a bookmark from inside it. TBookmarkForm asks under which name a form is saved
// as a bookmark, or which bookmark it replaces; its Cancel menu can put the form, its
// page or its domain on the ignore list instead.
//
// Passwords and values stay wide text throughout. Passing through a masked password
// edit without typing keeps the stored password.
//
// Ownership: both dialogs are made for one showing and freed by their opener; they own
// their controls. The edited item and the submitted form belong to the caller.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/unicode/hig_button.h"
#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_ext_ctrls.h"
#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "data/form_items.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/image_control.h"

class TImageHelp;
class TMessageItem;

// A wide edit that tells when it gets and loses the keyboard focus.
class TFocusEdit : public TUniEdit {
 public:
  using TUniEdit::TUniEdit;
  std::string ClassName() const override { return "TFocusEdit"; }
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  void Dispatch(TMessage& message) override;
};

class TEditItemForm : public TForm {
 public:
  explicit TEditItemForm(TComponent* owner);
  ~TEditItemForm() override;
  std::string ClassName() const override { return "TEditItemForm"; }

  // Sets the window up for the item (History: a form-history record, else a bookmark;
  // IsNew: a bookmark being created) and, with ShowIt, shows it modally; true when it
  // closed with OK. The item's fields stay decoded or encoded as they were.
  bool Execute(TFormItem& item, bool history, bool showIt, bool isNew);

  TUniLabel* mainLabel;
  TUniEdit* recEdit;
  TUniEdit* lastEdit;
  TUniEdit* webEdit;
  TUniBevel* Bevel1;
  TUniScrollBox* UniScrollBox;
  TUniPanel* buttPanel;
  TUniButton* butCancel;
  TUniButton* butSave;
  TUniButton* buttBook;
  TUniPanel* vaultPanel;
  TImage* helpImage;
  TUniComboBox* cbVault;

  // The field edits, one per field in field order.
  std::vector<TUniEdit*> FieldEdits;
  // Set by "Save as Bookmark"; the caller moves the record into the bookmarks.
  bool SavedAsBookmark = false;

 private:
  struct TPasswordField {
    std::u16string Password;
    TFocusEdit* Edit;
    TUniButton* Button;
  };
  void AddFieldEdit(const std::u16string& caption, bool isPassword, const std::u16string& value);
  void PasswordButtonClick(TUniButton* button);
  void PasswordEnter(TPasswordField& field);
  void PasswordExit(TPasswordField& field);
  void SaveClick();
  void SaveAsBookmarkClick();
  void ClearFields();

  TFormItem* item_ = nullptr;
  bool history_ = false;
  int position_ = 12;
  std::vector<TPasswordField> passwords_;
  std::unique_ptr<TImageHelp> help_;
};

// Modes of the bookmark form.
inline constexpr int kBookmarkAddSubmitted = 0;
inline constexpr int kBookmarkReplaceSubmitted = 1;
inline constexpr int kBookmarkAddPage = 2;
inline constexpr int kBookmarkReplacePage = 3;

// The answer of the bookmark form.
struct TBookmarkResult {
  bool SaveAsNew = false;
  std::u16string Name;
  // The replaced bookmark's place in the candidates, -1 for none.
  int Index = -1;
  // The Tag of the Cancel menu's item chosen (0: a plain cancel).
  int IgnoreChoice = 0;
};

class TBookmarkForm : public TForm {
 public:
  // OwnerWindow: the window the form belongs to (0: none).
  TBookmarkForm(TComponent* owner, HWND ownerWindow);
  ~TBookmarkForm() override;
  std::string ClassName() const override { return "TBookmarkForm"; }

  // Candidates: the captions of the bookmarks the form may replace, in list order.
  // Message: the submitted form (none for a page), for the ignore choices.
  std::vector<std::u16string> Candidates;
  const TMessageItem* Message = nullptr;
  // Shows the form for the caption in a mode (above); PlainCancel makes Cancel a plain
  // button. Answers the modal result (mrOk after Save) and fills Result.
  int Execute(const std::u16string& caption, int mode, bool plainCancel, TBookmarkResult& result);

  TImage* Img;
  TUniLabel* mainLabel;
  TUniLabel* messLabel;
  TUniPanel* PanelAdd;
  TUniEdit* txtCaption;
  TUniPanel* PanelRepl;
  TUniRadioButton* optNewBookmark;
  TUniEdit* nameEdit;
  TUniRadioButton* optReplaceExisting;
  TUniComboBox* cbBookmarks;
  TUniPanel* PanelVault;
  TUniCheckBox* XVault;
  TImage* helpImage;
  TUniPanel* pnlVault;
  TUniComboBox* cbVaults;
  TUniPanel* PanelButt;
  TUniButton* butSave;
  THIGButton* butCancel;
  TUniPopupMenu* PopupMenuCancel;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& message) override;

 private:
  void CancelMenuClick(int choice);
  void NameChange(TUniEdit* edit);
  void ReplaceChoice(bool replace);
  void VaultClick();

  HWND ownerWindow_;
  std::u16string messages_[4];
  TBookmarkResult* result_ = nullptr;
  std::unique_ptr<TImageHelp> help_;
};
