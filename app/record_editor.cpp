#include "app/record_editor.h"

#include <mutex>

#include "app/form_building.h"
#include "app/form_translation.h"
#include "app/help_window.h"
#include "data/data_startup.h"
#include "data/ignore_lists.h"
#include "data/menu_messages.h"
#include "platform/base/text.h"
#include "platform/classlib/date_text.h"
#include "support/alpha_bitmaps.h"
#include "support/translator.h"

namespace {

constexpr long kHelpTopicRecords = 2577;
constexpr char16_t kHiddenPassword[] = u"*****";
// The left edge of the scroll box's rows, and the room kept for its scroll bar.
constexpr int kFieldLeft = 14;
constexpr int kScrollBarRoom = 20;
constexpr int kFieldHeight = 18;
// A password button's Tag holds this on top of its field's number while the password
// shows in clear text.
constexpr long kShownFlag = 256;
constexpr std::size_t kProposedNameLength = 35;

std::u16string PellixTitle(const char* text) { return u"Pellix - " + Translate(text); }

// The width of a control's caption in its font.
int CaptionWidth(TUniCheckBox& box) {
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas().Font().Assign(&box.Font());
  return WideCanvasTextWidth(measure.Canvas(), box.Caption());
}

}  // namespace

void TFocusEdit::Dispatch(TMessage& message) {
  if (message.Msg == WM_KILLFOCUS && OnExit) OnExit(this);
  TUniEdit::Dispatch(message);
  if (message.Msg == WM_SETFOCUS && OnEnter) OnEnter(this);
}

// --- TEditItemForm ---------------------------------------------------------------------

TEditItemForm::TEditItemForm(TComponent* owner) : TForm(owner) {
  SetName("EditItemForm");
  BorderStyle = TFormBorderStyle::bsDialog;
  SetWideControlText(this, u"Pellix - Edit Bookmark");
  SetBounds(0, 0, 374, 464);
  mainLabel = BoldLabel(*this, *this, "mainLabel", u"Form Bookmark", {12, 12, 350, 16});
  Place<TUniLabel>(*this, *this, "lblRecord", u"Record Name:", {12, 42, 90, 14});
  recEdit = Place<TUniEdit>(*this, *this, "recEdit", u"", {104, 38, 258, 21});
  Place<TUniLabel>(*this, *this, "lblLast", u"Last Used:", {12, 68, 90, 14});
  lastEdit = Place<TUniEdit>(*this, *this, "lastEdit", u"", {104, 64, 258, 21});
  lastEdit->SetReadOnly(true);
  lastEdit->SetColor(clBtnFace);
  Place<TUniLabel>(*this, *this, "lblWeb", u"Website URL:", {12, 94, 90, 14});
  webEdit = Place<TUniEdit>(*this, *this, "webEdit", u"", {104, 90, 258, 21});
  Bevel1 = Place<TUniBevel>(*this, *this, "Bevel1", u"", {12, 120, 350, 2});
  Bevel1->Shape = TBevelShape::bsTopLine;
  UniScrollBox = Place<TUniScrollBox>(*this, *this, "UniScrollBox", u"", {12, 128, 350, 250});
  UniScrollBox->SetColor(clWindow);

  vaultPanel = Place<TUniPanel>(*this, *this, "vaultPanel", u"", {0, 384, 374, 36});
  vaultPanel->SetBevelOuter(bvNone);
  Place<TUniLabel>(*this, *vaultPanel, "lblVault", u"Lock to Vault:", {12, 11, 80, 14});
  helpImage = Place<TImage>(*this, *vaultPanel, "helpImage", u"", {96, 10, 16, 16});
  helpImage->Tag = kHelpTopicRecords;
  cbVault = Place<TUniComboBox>(*this, *vaultPanel, "cbVault", u"", {120, 7, 242, 21});
  cbVault->SetStyle(csDropDownList);
  cbVault->Items().Add(u"... none ..");
  cbVault->SetItemIndex(0);
  cbVault->SetEnabled(false);

  buttPanel = Place<TUniPanel>(*this, *this, "buttPanel", u"", {0, 420, 374, 42});
  buttPanel->SetBevelOuter(bvNone);
  buttBook = Button(*this, *buttPanel, "buttBook", u"Save as Bookmark", {12, 8, 120, 25}, mrNone);
  buttBook->OnClick = [this](TObject*) { SaveAsBookmarkClick(); };
  butSave = Button(*this, *buttPanel, "butSave", u"Save", {206, 8, 75, 25}, mrOk);
  butSave->SetDefault(true);
  butSave->SetEnabled(false);
  butSave->OnClick = [this](TObject*) { SaveClick(); };
  butCancel = Button(*this, *buttPanel, "butCancel", u"Cancel", {287, 8, 75, 25}, mrCancel);
  butCancel->Cancel = true;
  webEdit->OnChange = [this](TObject*) { butSave->SetEnabled(!webEdit->Text().empty()); };

  help_ = std::make_unique<TImageHelp>(*helpImage);
  TranslateForm(*this);
}

TEditItemForm::~TEditItemForm() = default;

bool TEditItemForm::Execute(TFormItem& item, bool history, bool showIt, bool isNew) {
  item_ = &item;
  history_ = history;
  FieldEdits.clear();
  passwords_.clear();
  buttBook->SetVisible(history);
  vaultPanel->SetVisible(!history);
  if (history) {
    SetWideControlText(this, PellixTitle("Edit History Record"));
    SetWideControlText(mainLabel, Translate("Form History Record"));
    buttPanel->SetBounds(0, vaultPanel->Top(), buttPanel->Width(), buttPanel->Height());
  } else {
    SetWideControlText(this, PellixTitle(isNew ? "Create Bookmark" : "Edit Bookmark"));
    UniScrollBox->SetColor(isNew ? clBtnFace : clWindow);
    UniScrollBox->SetEnabled(!isNew);
    SetWideControlText(mainLabel, Translate("Form Bookmark"));
    buttPanel->SetBounds(0, vaultPanel->Top() + vaultPanel->Height(), buttPanel->Width(), buttPanel->Height());
  }
  SetBounds(Left(), Top(), Width(), buttPanel->Top() + buttPanel->Height() + 2);
  recEdit->SetText(item.Caption());
  lastEdit->SetText(DateTimeToStr(item.Date));
  webEdit->SetText(item.URL());

  BoldLabel(*this, *UniScrollBox, "", Translate("Fields on Forms"), {kFieldLeft, position_, 300, 14});
  position_ += 14 + 10;
  const bool decoded = item.HasFields();
  if (!decoded) item.DecodeFields();
  if (item.FieldCount() == 0) {
    Place<TUniLabel>(*this, *UniScrollBox, "", Translate("...no saved fields on this website..."),
                     {kFieldLeft, position_, 300, 14});
  }
  for (int i = 0; i < item.FieldCount(); ++i) {
    const TFormListItem* field = item.GetField(i);
    AddFieldEdit(field->Name, field->Generated, field->Value);
  }
  if (!decoded) item.EncodeFields();
  return showIt && ShowModal() == mrOk;
}

void TEditItemForm::AddFieldEdit(const std::u16string& caption, bool isPassword, const std::u16string& value) {
  if (!caption.empty()) {
    Place<TUniLabel>(*this, *UniScrollBox, "", caption, {kFieldLeft, position_, 300, 14});
    position_ += 14;
  }
  const int plainWidth = UniScrollBox->Width() - 2 * kFieldLeft - kScrollBarRoom;
  if (!isPassword) {
    FieldEdits.push_back(Place<TUniEdit>(*this, *UniScrollBox, "", value, {kFieldLeft, position_, plainWidth, kFieldHeight}));
    position_ += 27;
    return;
  }
  constexpr int kPasswordWidth = 160;
  constexpr int kButtonHeight = 22;
  const int index = static_cast<int>(passwords_.size());
  auto* edit = Place<TFocusEdit>(*this, *UniScrollBox, "", u"", {kFieldLeft, position_, kPasswordWidth, kFieldHeight});
  edit->SetPasswordChar(u'*');
  edit->Tag = index + 1;
  const int buttonLeft = kFieldLeft + kPasswordWidth + 10;
  auto* button = Place<TUniButton>(*this, *UniScrollBox, "", Translate("Show Password"),
                                   {buttonLeft, position_ + (kFieldHeight - kButtonHeight) / 2,
                                    kFieldLeft + plainWidth - buttonLeft, kButtonHeight});
  button->Tag = index;
  button->OnClick = [this, button](TObject*) { PasswordButtonClick(button); };
  passwords_.push_back({value, edit, button});
  edit->OnEnter = [this, index](TObject*) { PasswordEnter(passwords_[static_cast<std::size_t>(index)]); };
  edit->OnExit = [this, index](TObject*) { PasswordExit(passwords_[static_cast<std::size_t>(index)]); };
  if (value.empty()) {
    button->SetEnabled(false);
  } else {
    edit->SetText(kHiddenPassword);
  }
  FieldEdits.push_back(edit);
  position_ += 27;
}

void TEditItemForm::PasswordButtonClick(TUniButton* button) {
  TPasswordField& field = passwords_.at(static_cast<std::size_t>(button->Tag % kShownFlag));
  const bool shown = button->Tag >= kShownFlag;
  field.Edit->SetPasswordChar(shown ? u'*' : 0);
  field.Edit->SetText(shown ? std::u16string(kHiddenPassword) : field.Password);
  button->SetCaption(Translate(shown ? "Show Password" : "Hide Password"));
  button->Tag += shown ? -kShownFlag : kShownFlag;
}

// A masked edit is emptied for a new password; what was stored stays until one is typed.
void TEditItemForm::PasswordEnter(TPasswordField& field) {
  if (field.Button->Tag >= kShownFlag) return;
  field.Edit->SetText(u"");
  field.Edit->SetModified(false);
  field.Button->SetEnabled(false);
}

void TEditItemForm::PasswordExit(TPasswordField& field) {
  const bool shown = field.Button->Tag >= kShownFlag;
  if (shown || field.Edit->Modified()) {
    field.Password = field.Edit->Text();
  } else {
    field.Edit->SetText(field.Password.empty() ? u"" : kHiddenPassword);
  }
  field.Edit->SetModified(false);
  if (!shown) field.Button->SetEnabled(!field.Password.empty());
}

void TEditItemForm::SaveClick() {
  // A password being typed counts, though Enter leaves the focus where it is.
  for (TPasswordField& field : passwords_) {
    if (field.Edit->Focused()) PasswordExit(field);
  }
  item_->SetCaption(recEdit->Text());
  item_->SetURL(webEdit->Text());
  const bool decoded = item_->HasFields();
  if (!decoded) item_->DecodeFields();
  for (int i = 0; i < item_->FieldCount() && i < static_cast<int>(FieldEdits.size()); ++i) {
    TUniEdit* edit = FieldEdits[static_cast<std::size_t>(i)];
    item_->GetField(i)->Value =
        edit->Tag > 0 ? passwords_[static_cast<std::size_t>(edit->Tag - 1)].Password : edit->Text();
  }
  if (!decoded) item_->EncodeFields();
  ModalResult = mrOk;
}

void TEditItemForm::ClearFields() {
  // A password edit that goes has nothing more to store.
  for (TPasswordField& field : passwords_) field.Edit->OnEnter = field.Edit->OnExit = nullptr;
  while (UniScrollBox->ControlCount() > 0) delete UniScrollBox->Controls(UniScrollBox->ControlCount() - 1);
  position_ = 12;
}

void TEditItemForm::SaveAsBookmarkClick() {
  ClearFields();
  Execute(*item_, false, false, false);
  SavedAsBookmark = true;
}

// --- TBookmarkForm ---------------------------------------------------------------------

TBookmarkForm::TBookmarkForm(TComponent* owner, HWND ownerWindow) : TForm(owner), ownerWindow_(ownerWindow) {
  SetName("BookmarkForm");
  BorderStyle = TFormBorderStyle::bsDialog;
  SetWideControlText(this, u"Pellix - Form Bookmark");
  SetBounds(0, 0, 384, 260);
  Img = Place<TImage>(*this, *this, "Img", u"", {12, 12, 32, 32});
  if (std::unique_ptr<TBitmap> picture{LoadRCDataBitmap(HInstance, "ICON_NEW_BOOKMARK")}) {
    Img->Picture().Bitmap().Assign(picture.get());
  }
  mainLabel = BoldLabel(*this, *this, "mainLabel", u"Add New Form Bookmark", {56, 12, 316, 16});
  messLabel = Place<TUniLabel>(*this, *this, "messLabel", u"", {56, 32, 316, 30});
  messLabel->SetAutoSize(false);
  messLabel->SetWordWrap(true);

  PanelAdd = Place<TUniPanel>(*this, *this, "PanelAdd", u"", {8, 70, 368, 48});
  PanelAdd->SetBevelOuter(bvNone);
  BoldLabel(*this, *PanelAdd, "lblAdd", u"Save New Form Bookmark as:", {4, 4, 360, 14});
  txtCaption = Place<TUniEdit>(*this, *PanelAdd, "txtCaption", u"", {4, 22, 360, 21});

  PanelRepl = Place<TUniPanel>(*this, *this, "PanelRepl", u"", {8, 70, 368, 98});
  PanelRepl->SetBevelOuter(bvNone);
  optNewBookmark = Place<TUniRadioButton>(*this, *PanelRepl, "optNewBookmark", u"Save New Form Bookmark as:",
                                          {4, 4, 360, 17});
  nameEdit = Place<TUniEdit>(*this, *PanelRepl, "nameEdit", u"", {20, 24, 344, 21});
  optReplaceExisting = Place<TUniRadioButton>(*this, *PanelRepl, "optReplaceExisting",
                                              u"Replace Existing Form Bookmark:", {4, 52, 360, 17});
  optReplaceExisting->SetChecked(true);
  optReplaceExisting->Font().SetStyle(fsBold);
  cbBookmarks = Place<TUniComboBox>(*this, *PanelRepl, "cbBookmarks", u"", {20, 72, 344, 21});
  cbBookmarks->SetStyle(csDropDownList);

  PanelVault = Place<TUniPanel>(*this, *this, "PanelVault", u"", {8, 170, 368, 60});
  PanelVault->SetBevelOuter(bvNone);
  XVault = Place<TUniCheckBox>(*this, *PanelVault, "XVault", u"Lock Form Bookmark into a Vault", {4, 4, 200, 17});
  XVault->SetEnabled(false);
  helpImage = Place<TImage>(*this, *PanelVault, "helpImage", u"", {204, 4, 16, 16});
  helpImage->Tag = kHelpTopicRecords;
  pnlVault = Place<TUniPanel>(*this, *PanelVault, "pnlVault", u"", {0, 26, 368, 70});
  pnlVault->SetBevelOuter(bvNone);
  pnlVault->SetVisible(false);
  Place<TUniLabel>(*this, *pnlVault, "lblVaultNote", u"You're about to lock an item into your secure Vault.",
                   {4, 0, 360, 14});
  Place<TUniLabel>(*this, *pnlVault, "lblVaultTarget", u"Select a destination Vault:", {4, 20, 360, 14});
  cbVaults = Place<TUniComboBox>(*this, *pnlVault, "cbVaults", u"", {4, 38, 360, 21});
  cbVaults->SetStyle(csDropDownList);
  PanelButt = Place<TUniPanel>(*this, *PanelVault, "PanelButt", u"", {0, 26, 368, 30});
  PanelButt->SetBevelOuter(bvNone);
  butSave = Button(*this, *PanelButt, "butSave", u"Save", {136, 0, 75, 25}, mrOk);
  butSave->SetDefault(true);

  PopupMenuCancel = PopupMenu(*this, "PopupMenuCancel");
  const std::pair<const char*, const char16_t*> entries[] = {{"Cancel1", u"Cancel"},
                                                             {"IgnoreForm1", u"Ignore this form only"},
                                                             {"IgnorePage1", u"Ignore all forms on this webpage"},
                                                             {"IgnoreDomain1", u"Ignore all forms on this domain"}};
  for (int tag = 0; tag < 4; ++tag) {
    MenuEntry(*this, *PopupMenuCancel, entries[tag].first, entries[tag].second, [this, tag](TObject*) {
      CancelMenuClick(tag);
    })->Tag = tag;
  }
  // Made here rather than with the other controls: a glyph button of its own kind.
  butCancel = new THIGButton(this);
  butCancel->SetName("butCancel");
  butCancel->SetParent(PanelButt);
  butCancel->SetBounds(220, 0, 100, 25);
  butCancel->SetCaption(Translate("Cancel"));
  butCancel->SetKind(bkDropDownButton);
  butCancel->SetDropDownMenu(PopupMenuCancel);
  butCancel->OnClick = [this](TObject*) { CancelMenuClick(0); };

  txtCaption->OnChange = [this](TObject*) { NameChange(txtCaption); };
  nameEdit->OnChange = [this](TObject*) { NameChange(nameEdit); };
  optNewBookmark->OnClick = [this](TObject*) { ReplaceChoice(false); };
  optReplaceExisting->OnClick = [this](TObject*) { ReplaceChoice(true); };
  XVault->OnClick = [this](TObject*) { VaultClick(); };

  const char* messages[] = {"You can save this form as a Form Bookmark for future use.",
                            "You have just submitted a form whose URL is already in your bookmarks.",
                            "Save currently opened webpage as a Form Bookmark.",
                            "This website is already saved in your Bookmark List."};
  for (int mode = 0; mode < 4; ++mode) messages_[mode] = Translate(messages[mode]);
  TranslateForm(*this);
  help_ = std::make_unique<TImageHelp>(*helpImage);
  const int boxWidth = CaptionWidth(*XVault) + 26;
  XVault->SetBounds(XVault->Left(), XVault->Top(), boxWidth, XVault->Height());
  helpImage->SetBounds(XVault->Left() + boxWidth, helpImage->Top(), helpImage->Width(), helpImage->Height());
}

TBookmarkForm::~TBookmarkForm() = default;

void TBookmarkForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  if (ownerWindow_ != 0 && IsWindow(ownerWindow_)) params.WndParent = ownerWindow_;
}

int TBookmarkForm::Execute(const std::u16string& caption, int mode, bool plainCancel, TBookmarkResult& result) {
  const bool add = mode == kBookmarkAddSubmitted || mode == kBookmarkAddPage;
  TUniPanel* shown = add ? PanelAdd : PanelRepl;
  PanelAdd->SetVisible(add);
  PanelRepl->SetVisible(!add);
  shown->SetBounds(8, shown->Top(), shown->Width(), shown->Height());
  PanelVault->SetBounds(PanelVault->Left(), shown->Top() + shown->Height(), PanelVault->Width(), PanelVault->Height());
  VaultClick();
  if (plainCancel) {
    butCancel->SetKind(bkCustom);
    butCancel->SetDropDownMenu(nullptr);
  }
  SetWideControlText(messLabel, messages_[mode < 0 || mode > 3 ? 0 : mode]);
  result_ = &result;

  std::u16string base = caption.substr(0, kProposedNameLength);
  cbBookmarks->Items().Clear();
  if (!add && !Candidates.empty()) {
    for (const std::u16string& candidate : Candidates) cbBookmarks->Items().Add(candidate);
    cbBookmarks->SetItemIndex(0);
  }
  std::u16string name = base;
  for (int n = 1; cbBookmarks->Items().IndexOf(name) >= 0; ++n) name = base + u" (" + platform::AnsiToWide(std::to_string(n)) + u")";
  txtCaption->SetText(name);
  nameEdit->SetText(name);
  ListVaults(cbVaults->Items());
  if (cbVaults->Items().GetCount() > 0) cbVaults->SetItemIndex(0);

  // The name is where the user starts typing.
  OnShow = [this, add](TObject*) { (add ? txtCaption : nameEdit)->SetFocus(); };
  const int answer = ShowModal();
  if (answer == mrOk) {
    result.IgnoreChoice = 0;
    if (add) {
      result.Name = txtCaption->Text();
      result.SaveAsNew = false;
      result.Index = -1;
    } else {
      result.Name = nameEdit->Text();
      result.SaveAsNew = optNewBookmark->Checked();
      result.Index = cbBookmarks->ItemIndex();
    }
  }
  return answer;
}

// Escape, wherever the focus is, is Cancel with no ignore choice.
void TBookmarkForm::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGKEY && message.WParam == VK_ESCAPE) {
    CancelMenuClick(0);
    message.Result = 1;
    return;
  }
  TForm::Dispatch(message);
}

void TBookmarkForm::NameChange(TUniEdit* edit) { butSave->SetEnabled(!edit->Text().empty()); }

void TBookmarkForm::ReplaceChoice(bool replace) {
  optReplaceExisting->Font().SetStyle(replace ? fsBold : TFontStyles{});
  optNewBookmark->Font().SetStyle(replace ? TFontStyles{} : fsBold);
  if (replace) {
    butSave->SetEnabled(true);
  } else {
    NameChange(nameEdit);
  }
}

void TBookmarkForm::VaultClick() {
  pnlVault->SetVisible(XVault->Checked());
  const int buttonsTop = pnlVault->Visible() ? pnlVault->Top() + pnlVault->Height() : pnlVault->Top();
  PanelButt->SetBounds(PanelButt->Left(), buttonsTop, PanelButt->Width(), PanelButt->Height());
  PanelVault->SetBounds(PanelVault->Left(), PanelVault->Top(), PanelVault->Width(), buttonsTop + PanelButt->Height());
  SetBounds(Left(), Top(), 2 * PanelVault->Left() + PanelVault->Width(), PanelVault->Top() + PanelVault->Height());
}

// The ignore choices put the submitted form, its page or its domain on the ignore
// list, under the program's data lock and then the list's own.
void TBookmarkForm::CancelMenuClick(int choice) {
  if (result_ != nullptr) result_->IgnoreChoice = choice;
  if (choice >= 1 && choice <= 3 && Message != nullptr && IgnoreList) {
    const int kind = kIgnoreForm + 1 - choice;
    std::scoped_lock data(DataLock);
    std::scoped_lock list(*IgnoreList);
    IgnoreList->Add(Message->Caption, Message->URL, kind, Message->FormID, Message->FormName);
  }
  ModalResult = mrCancel;
}
