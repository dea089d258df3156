#include "app/password_windows.h"

#include <cstdint>

#include "app/form_building.h"
#include "app/form_translation.h"
#include "app/list_changes.h"
#include "data/data_startup.h"
#include "formfill/after_navigate.h"
#include "formfill/app_menus.h"
#include "formfill/password_generator.h"
#include "formfill/password_inputs.h"
#include "platform/classlib/date_text.h"
#include "platform/win/clipboard.h"
#include "platform/win/message_box.h"
#include "support/debug_log.h"
#include "support/translator.h"

namespace {

constexpr char16_t kHiddenPassword[] = u"*****";
constexpr char kHistoryTitle[] = "Pellix - Password History";

TUniCheckBox* CheckBox(TCustomForm& form, TWinControl& parent, const char* name, const std::u16string& caption,
                       RECT bounds, bool checked) {
  auto* box = Place<TUniCheckBox>(form, parent, name, caption, bounds);
  box->SetChecked(checked);
  return box;
}

void WriteSetting(const char16_t* key, bool value) {
  if (Config) Config->WriteBool(key, value);
}

bool AskYesNo(HWND owner, const char* question) {
  return MessageBoxW(owner, Translate(question).c_str(), Translate(kHistoryTitle).c_str(),
                     MB_YESNO | MB_ICONWARNING) == IDYES;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, const std::u16string& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  HGLOBAL block = platform::win::NewTextBlock(text);
  const bool copied = block != nullptr && SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  if (block != nullptr && !copied) GlobalFree(block);
  CloseClipboard();
  return copied;
}

// --- TPasswordShow ---------------------------------------------------------------------

TPasswordShow::TPasswordShow(TDialogLauncher& launcher, HWND ownerWindow,
                             std::shared_ptr<formfill::TInputPasswordContext> context, const std::u16string& password)
    : TModelessForm(launcher, TDialogSlot::PasswordShow, ownerWindow, WS_EX_TOPMOST),
      ownerWindow_(ownerWindow),
      context_(std::move(context)) {
  SetName("PasswordShow");
  BorderStyle = TFormBorderStyle::bsDialog;
  SetWideControlText(this, u"Pellix \u2013 Password");
  SetBounds(0, 0, 300, 84);
  txtPassword = Place<TUniEdit>(*this, *this, "txtPassword", password, {12, 12, 276, 21});
  txtPassword->SetReadOnly(true);
  butCopyCLip = Button(*this, *this, "butCopyCLip", u"Copy to Clipboard", {12, 46, 116, 25}, mrNone);
  butCopyCLip->OnClick = [this](TObject*) { CopyTextToClipboard(Handle(), txtPassword->Text()); };
  butEdit = Button(*this, *this, "butEdit", u"Edit...", {136, 46, 72, 25}, mrNone);
  butEdit->SetEnabled(context_ != nullptr);
  butEdit->OnClick = [this](TObject*) { butEditClick(); };
  butOK = Button(*this, *this, "butOK", u"OK", {216, 46, 72, 25}, mrNone);
  butOK->SetDefault(true);
  butOK->Cancel = true;
  butOK->OnClick = [this](TObject*) { Close(); };
  TranslateForm(*this);
}

void TPasswordShow::butEditClick() {
  Launcher().ShowPasswordGeneratorWindow(ownerWindow_, context_, txtPassword->Text());
  Close();
}

// --- TPasswordGen ----------------------------------------------------------------------

TPasswordGen::TPasswordGen(TDialogLauncher& launcher, HWND ownerWindow,
                           std::shared_ptr<formfill::TInputPasswordContext> context, const std::u16string& password)
    : TModelessForm(launcher, TDialogSlot::PasswordGenerator, ownerWindow, WS_EX_TOPMOST), context_(std::move(context)) {
  SetName("PasswordGen");
  BorderStyle = TFormBorderStyle::bsDialog;
  SetWideControlText(this, u"Pellix \u2013 Password Generator");
  SetBounds(0, 0, 330, 330);
  const formfill::TPageFillSettings settings = formfill::PageFillSettings();

  auto* group = Place<TUniGroupBox>(*this, *this, "GroupBox1", u" Password Generator ", {8, 8, 314, 134});
  Place<TUniLabel>(*this, *group, "lblPassword", u"Password:", {12, 20, 200, 14});
  txtPassword = Place<TUniEdit>(*this, *group, "txtPassword", password, {12, 36, 200, 21});
  txtPassword->SetPasswordChar(u'*');
  butGenerate = Button(*this, *group, "butGenerate", u"Generate New", {220, 34, 82, 25}, mrNone);
  XShowPassword = CheckBox(*this, *group, "XShowPassword", u"Show Password", {12, 66, 140, 17}, false);
  XCopyClipboard = CheckBox(*this, *group, "XCopyClipboard", u"Copy to Clipboard", {160, 66, 142, 17}, false);
  butHistory = Button(*this, *group, "butHistory", u"Password History...", {12, 96, 140, 25}, mrNone);

  auto* options = Place<TUniGroupBox>(*this, *this, "GroupBox2", u" Password Generator Settings ", {8, 150, 314, 134});
  Place<TUniLabel>(*this, *options, "lblLength", u"Password Length:", {12, 24, 100, 14});
  txtLen = Place<TUniEdit>(*this, *options, "txtLen", u"", {116, 20, 40, 21});
  txtLen->SetReadOnly(true);
  XUpDown = Place<TUniUpDown>(*this, *options, "XUpDown", u"", {156, 20, 16, 21});
  XUpDown->SetMin(5);
  XUpDown->SetMax(50);
  XUpDown->SetAssociate(txtLen);
  XUpDown->SetPosition(settings.PwdLen);
  XLower = CheckBox(*this, *options, "XLower", u"(a-z)", {12, 54, 140, 17}, settings.PwdLower);
  XUpper = CheckBox(*this, *options, "XUpper", u"(A-Z)", {160, 54, 142, 17}, settings.PwdUpper);
  XNum = CheckBox(*this, *options, "XNum", u"(0-9)", {12, 78, 140, 17}, settings.PwdNum);
  XSymbols = CheckBox(*this, *options, "XSymbols", u"Symbols (!@#...", {160, 78, 142, 17}, settings.PwdSymb);
  XAvoidSimilar = CheckBox(*this, *options, "XAvoidSimilar", u"Avoid Similar Characters", {12, 104, 290, 17},
                           settings.PwdAvoid);

  butFillIn = Button(*this, *this, "butFillIn", u"Fill In Form", {8, 296, 110, 25}, mrNone);
  butFillIn->SetEnabled(context_ != nullptr);
  butClose = Button(*this, *this, "butClose", u"Close", {242, 296, 80, 25}, mrNone);
  butClose->Cancel = true;

  // The handlers come after the starting states, which click the boxes.
  txtPassword->OnChange = [this](TObject*) { txtPasswordChange(); };
  butGenerate->OnClick = [this](TObject*) { butGenerateClick(); };
  XShowPassword->OnClick = [this](TObject*) { XShowPasswordClick(); };
  XCopyClipboard->OnClick = [this](TObject*) { txtPasswordChange(); };
  butHistory->OnClick = [this](TObject*) { Launcher().ShowPasswordHistoryWindow(Handle()); };
  for (TUniCheckBox* box : {XLower, XUpper, XNum, XSymbols}) box->OnClick = [this, box](TObject*) { XLowerClick(box); };
  butFillIn->OnClick = [this](TObject*) { butFillInClick(); };
  butClose->OnClick = [this](TObject*) { butCloseClick(); };
  TranslateForm(*this);
}

void TPasswordGen::butGenerateClick() {
  txtPassword->SetText(formfill::GeneratePassword(XUpDown->Position(), XUpper->Checked(), XLower->Checked(),
                                                  XNum->Checked(), XSymbols->Checked(), XAvoidSimilar->Checked()));
  txtPassword->SetFocus();
}

void TPasswordGen::txtPasswordChange() {
  if (XCopyClipboard->Checked()) CopyTextToClipboard(Handle(), txtPassword->Text());
}

void TPasswordGen::XShowPasswordClick() { txtPassword->SetPasswordChar(XShowPassword->Checked() ? 0 : u'*'); }

void TPasswordGen::XLowerClick(TUniCheckBox* clicked) {
  if (XLower->Checked() || XUpper->Checked() || XNum->Checked() || XSymbols->Checked()) return;
  MessageBoxW(Handle(), Translate("You need to select at least one character type in order to generate a password.").c_str(),
              Translate("Pellix - Password Generator").c_str(), MB_ICONERROR);
  clicked->SetChecked(true);
}

// Each fill is queued with a context of its own, so a later password cannot change a
// fill that is still waiting; this window keeps the one it was given until it closes.
void TPasswordGen::butFillInClick() {
  if (context_ && Launcher().QueuePasswordFill) Launcher().QueuePasswordFill(context_->CopyForFill(txtPassword->Text()));
}

void TPasswordGen::butCloseClick() {
  formfill::TPageFillSettings settings = formfill::PageFillSettings();
  settings.PwdUpper = XUpper->Checked();
  settings.PwdLower = XLower->Checked();
  settings.PwdNum = XNum->Checked();
  settings.PwdSymb = XSymbols->Checked();
  settings.PwdAvoid = XAvoidSimilar->Checked();
  settings.PwdLen = XUpDown->Position();
  formfill::SetPageFillSettings(settings);
  WriteSetting(u"PWD_UPPER", settings.PwdUpper);
  WriteSetting(u"PWD_LOWER", settings.PwdLower);
  WriteSetting(u"PWD_NUM", settings.PwdNum);
  WriteSetting(u"PWD_SYMB", settings.PwdSymb);
  WriteSetting(u"PWD_AVOID", settings.PwdAvoid);
  if (Config) Config->WriteInteger(u"PWD_LEN", settings.PwdLen);
  Close();
}

// --- TFormPasswordHistory --------------------------------------------------------------

TFormPasswordHistory::TFormPasswordHistory(TDialogLauncher& launcher, HWND ownerWindow)
    : TListWatchForm(launcher, TDialogSlot::PasswordHistory, ownerWindow,
                     "Data has been changed. Your Password History needs to reload all data.", kHistoryTitle) {
  SetName("FormPasswordHistory");
  BorderStyle = TFormBorderStyle::bsSizeable;
  SetWideControlText(this, u"Pellix - Password History");
  SetBounds(0, 0, 560, 340);
  ListViewHistory = Place<TUniListView>(*this, *this, "ListViewHistory", u"", {8, 8, 544, 290});
  ListViewHistory->SetViewStyle(TViewStyle::vsReport);
  ListViewHistory->ReadOnly = true;
  ListViewHistory->SetRowSelect(true);
  ListViewHistory->HideSelection = false;
  const std::pair<const char16_t*, int> columns[] = {
      {u"Date", 120}, {u"Password", 90}, {u"Website Name", 90}, {u"Website URL", 544 - 300 - 4}};
  for (const auto& [caption, width] : columns) {
    TUniListColumn* column = ListViewHistory->Columns().Add();
    column->SetCaption(caption);
    column->SetWidth(width);
  }
  ListViewHistory->OnChange = [this](TObject*, TListItem*, TItemChange) { UpdateButtons(); };
  UniCheckBox1 = Place<TUniCheckBox>(*this, *this, "UniCheckBox1", u"Show Passwords", {8, 310, 150, 17});
  UniCheckBox1->OnClick = [this](TObject*) { UniCheckBox1Click(); };
  btnCopyPassword = Button(*this, *this, "btnCopyPassword", u"Copy To Clipboard", {250, 306, 110, 25}, mrNone);
  btnCopyPassword->OnClick = [this](TObject*) { btnCopyPasswordClick(); };
  btnClearList = Button(*this, *this, "btnClearList", u"Clear List", {368, 306, 90, 25}, mrNone);
  btnClearList->OnClick = [this](TObject*) { btnClearListClick(); };
  BtnClose = Button(*this, *this, "BtnClose", u"Close", {466, 306, 86, 25}, mrNone);
  BtnClose->Cancel = true;
  BtnClose->OnClick = [this](TObject*) { Close(); };

  PopupMenu1 = PopupMenu(*this, "PopupMenu1");
  MenuEntry(*this, *PopupMenu1, "CopyToClipboard1", u"Copy To Clipboard", [this](TObject*) { btnCopyPasswordClick(); });
  MenuEntry(*this, *PopupMenu1, "N1", u"-", nullptr);
  MenuEntry(*this, *PopupMenu1, "DeletePassword1", u"Delete Password", [this](TObject*) { DeletePassword1Click(); });
  MenuEntry(*this, *PopupMenu1, "ClearList1", u"Clear List", [this](TObject*) { btnClearListClick(); });
  ListViewHistory->PopupMenu = PopupMenu1;
  TranslateForm(*this);
}

DWORD TFormPasswordHistory::ListStamp() { return PasswordList ? PasswordList->LastAccess : 0; }

std::u16string TFormPasswordHistory::PasswordText(const TPasswordItem& record) const {
  return UniCheckBox1->Checked() ? record.GetPassword() : kHiddenPassword;
}

void TFormPasswordHistory::LoadList() {
  ListViewHistory->Items().Clear();
  if (PasswordList) {
    TListChange change(PasswordList.get());
    for (int i = 0; i < PasswordList->Count(); ++i) {
      TPasswordItem* record = PasswordList->Password(i);
      if (record->Marked) continue;
      TUniListItem* row = ListViewHistory->Items().Add();
      row->SetCaption(DateTimeToStr(record->Date));
      row->SubItems().Add(PasswordText(*record));
      row->SubItems().Add(record->Caption());
      row->SubItems().Add(record->URL());
      row->SetData(reinterpret_cast<void*>(static_cast<std::intptr_t>(MenuItemId(record))));
    }
    SeenStamp = PasswordList->LastAccess;
  }
  UpdateButtons();
}

void TFormPasswordHistory::UpdateButtons() {
  btnClearList->SetEnabled(ListViewHistory->Items().Count() > 0);
  btnCopyPassword->SetEnabled(ListViewHistory->Selected() != nullptr);
}

TPasswordItem* TFormPasswordHistory::RecordOfRow(const TListItem* row) const {
  if (row == nullptr) return nullptr;
  TDataItem* record = FindMenuItem(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(row->Data())));
  return record != nullptr && record->Owner == PasswordList.get() ? static_cast<TPasswordItem*>(record) : nullptr;
}

void TFormPasswordHistory::btnCopyPasswordClick() {
  if (!PasswordList) return;
  std::u16string password;
  {
    TListChange change(PasswordList.get());
    const TPasswordItem* record = RecordOfRow(ListViewHistory->Selected());
    if (record == nullptr) return;
    password = record->GetPassword();
  }
  CopyTextToClipboard(Handle(), password);
}

void TFormPasswordHistory::DeletePassword1Click() {
  if (!PasswordList || ListViewHistory->Selected() == nullptr) return;
  if (!AskYesNo(Handle(), "Are you sure you want to delete this record from the Password Usage History?")) return;
  {
    TListChange change(PasswordList.get());
    if (const TPasswordItem* record = RecordOfRow(ListViewHistory->Selected())) {
      PasswordList->Delete(PasswordList->IndexOf(record));
      if (!PasswordList->SaveToFile()) LogError("the password history could not be saved");
      SeenStamp = PasswordList->LastAccess;
    }
  }
  if (TUniListItem* row = ListViewHistory->Selected()) row->Delete();
  UpdateButtons();
}

void TFormPasswordHistory::btnClearListClick() {
  if (!PasswordList) return;
  if (!AskYesNo(Handle(), "Do you really want to delete all passwords from Passwords History?")) return;
  {
    TListChange change(PasswordList.get());
    while (PasswordList->Count() > 0) PasswordList->Delete(PasswordList->Count() - 1);
    if (!PasswordList->SaveToFile()) LogError("the password history could not be saved");
    SeenStamp = PasswordList->LastAccess;
  }
  ListViewHistory->Items().Clear();
  UpdateButtons();
}

void TFormPasswordHistory::UniCheckBox1Click() {
  if (!PasswordList) return;
  TListChange change(PasswordList.get());
  for (int i = 0; i < ListViewHistory->Items().Count(); ++i) {
    TUniListItem* row = ListViewHistory->Items().Item(i);
    if (const TPasswordItem* record = RecordOfRow(row)) row->SubItems().Put(0, PasswordText(*record));
  }
}
