#include "data/form_items.h"

#include <algorithm>
#include <cstdint>

#include "data/address_helpers.h"
#include "data/data_globals.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"

namespace {

constexpr char16_t kNameEnd = u'\u0001';
constexpr char16_t kIdEnd = u'\u0002';
constexpr char16_t kStoredCR = u'\u0003';
constexpr char16_t kStoredLF = u'\u0004';
constexpr char16_t kGeneratedMark = u'\u0006';

// Host-name fragments of the map service and the auction site whose search forms
// are not worth a history entry.
constexpr std::u16string_view kMapServiceFragment = u"maps.google.";
constexpr std::u16string_view kAuctionSiteFragment = u"ebay.";

std::u16string Replaced(std::u16string text, char16_t from, char16_t to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

std::u16string FieldListText(const TFormFieldList& fields) {
  std::u16string text;
  for (const TFormListItem& field : fields) {
    text.append(field.Name).append(1, kNameEnd).append(field.ID).append(1, kIdEnd);
    if (field.Generated) text.append(1, kGeneratedMark);
    text.append(Replaced(Replaced(field.Value, u'\r', kStoredCR), u'\n', kStoredLF)).append(1, u'\n');
  }
  return text;
}

// One field from a line of the field-list text; false for a line that is not one.
bool ParseFieldLine(std::u16string_view line, TFormListItem& field) {
  std::size_t nameEnd = line.find(kNameEnd);
  if (nameEnd == std::u16string_view::npos) return false;
  std::size_t idEnd = line.find(kIdEnd, nameEnd + 1);
  if (idEnd == std::u16string_view::npos) return false;
  field.Name = line.substr(0, nameEnd);
  field.ID = line.substr(nameEnd + 1, idEnd - nameEnd - 1);
  std::u16string value(line.substr(idEnd + 1));
  field.Generated = !value.empty() && value.front() == kGeneratedMark;
  if (field.Generated) value.erase(0, 1);
  field.Value = Replaced(Replaced(std::move(value), kStoredCR, u'\r'), kStoredLF, u'\n');
  return true;
}

// Lines end at CR, LF or CR LF.
std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find_first_of(u"\r\n");
    lines.push_back(text.substr(0, end));
    if (end == std::u16string_view::npos) break;
    std::size_t next = end + 1;
    if (text[end] == u'\r' && next < text.size() && text[next] == u'\n') ++next;
    text.remove_prefix(next);
  }
  return lines;
}

std::u16string WideOf(const std::string& text) { return platform::AnsiToWide(text); }
std::string NarrowOf(const std::u16string& text) { return platform::WideToAnsi(text); }

bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

}  // namespace

// ---- vaults ----

bool TVaultItem::LoadFromStream(TStreamReader& reader, TWideCrypt* crypt) {
  if (!TDataItem::LoadFromStream(reader, crypt)) return false;
  if (RecordText.empty() || crypt == nullptr) return true;
  crypt->ClearParams();
  if (crypt->Decode(RecordText)) {
    caption_ = crypt->GetValue(u"VAULTNAME");
    TestCrypt = NarrowOf(crypt->GetValue(u"TESTCRYPT"));
  }
  return true;
}

bool TVaultItem::SaveToStream(TStreamWriter& writer, TWideCrypt* crypt) {
  if (RecordText.empty() && crypt != nullptr) {
    crypt->ClearParams();
    crypt->SetValue(u"VAULTNAME", caption_);
    crypt->SetValue(u"TESTCRYPT", WideOf(TestCrypt));
    RecordText = crypt->Encode();
    if (RecordText.empty()) return false;
  }
  return TDataItem::SaveToStream(writer, crypt);
}

bool TVaultItem::IsLocked() const { return !Unlocked || platform::Now() > UnlockExpiry; }

// ---- forms ----

TFormItem::TFormItem(TDataItems* owner) : TDataItem(owner) { HasDate = true; }

bool TFormItem::LoadFromStream(TStreamReader& reader, TWideCrypt* crypt) {
  if (!TDataItem::LoadFromStream(reader, crypt)) return false;
  if (RecordText.empty() || crypt == nullptr) return true;
  crypt->ClearParams();
  if (crypt->Decode(RecordText)) {
    caption_ = crypt->GetValue(u"CAPTION");
    url_ = crypt->GetValue(u"URL");
    formId_ = crypt->GetValue(u"FORMID");
    formName_ = crypt->GetValue(u"FORMNAME");
    data_ = crypt->GetValue(u"DATA");
    ApplySiteDefaultRule();
  }
  return true;
}

bool TFormItem::SaveToStream(TStreamWriter& writer, TWideCrypt* crypt) {
  if (RecordText.empty() && crypt != nullptr) {
    if (fields_ != nullptr) {
      if (!FixedCrypt) return false;
      data_ = fields_->empty() ? u"" : WideOf(FixedCrypt->EncryptString(FieldListText(*fields_)));
    }
    crypt->ClearParams();
    crypt->SetValue(u"CAPTION", caption_);
    crypt->SetValue(u"URL", url_);
    crypt->SetValue(u"FORMID", formId_);
    crypt->SetValue(u"FORMNAME", formName_);
    crypt->SetValue(u"DATA", data_);
    RecordText = crypt->Encode();
    if (RecordText.empty()) return false;
    ApplySiteDefaultRule();
  }
  return TDataItem::SaveToStream(writer, crypt);
}

void TFormItem::SetRecordValue(std::u16string& field, std::u16string_view text) {
  if (field == text) return;
  field = text;
  RecordText.clear();
}

void TFormItem::SetURL(std::u16string_view text) { SetRecordValue(url_, text); }
void TFormItem::SetFormID(std::u16string_view text) { SetRecordValue(formId_, text); }
void TFormItem::SetFormName(std::u16string_view text) { SetRecordValue(formName_, text); }

void TFormItem::SetData(std::u16string data) {
  data_ = std::move(data);
  RecordText.clear();
}

void TFormItem::ApplySiteDefaultRule() {
  SiteDefault = formId_ == kSiteDefaultMarker && formName_ == kSiteDefaultMarker;
}

void TFormItem::DecodeFields() {
  fields_ = std::make_unique<TFormFieldList>();
  if (data_.empty() || !FixedCrypt) return;
  std::u16string text = FixedCrypt->DecryptString(NarrowOf(data_));
  for (std::u16string_view line : SplitLines(text)) {
    TFormListItem field;
    if (ParseFieldLine(line, field)) fields_->push_back(std::move(field));
  }
}

void TFormItem::EncodeFields() {
  // Without the cipher object the fields are kept rather than lost.
  if (fields_ == nullptr || !FixedCrypt) return;
  SetData(fields_->empty() ? u"" : WideOf(FixedCrypt->EncryptString(FieldListText(*fields_))));
  fields_.reset();
}

int TFormItem::FieldCount() const { return fields_ ? static_cast<int>(fields_->size()) : 0; }

TFormListItem* TFormItem::GetField(int index) const {
  if (index < 0 || index >= FieldCount()) return nullptr;
  return &(*fields_)[static_cast<std::size_t>(index)];
}

TFormListItem* TFormItem::FindField(std::u16string_view name, std::u16string_view id) const {
  if (!fields_) return nullptr;
  auto hit = std::find_if(fields_->begin(), fields_->end(),
                          [&](const TFormListItem& f) { return f.Name == name && f.ID == id; });
  return hit == fields_->end() ? nullptr : &*hit;
}

void TFormItem::AddField(const TFormListItem& field) {
  // Fields still held only in DATA are decoded first, so adding never drops them.
  if (!fields_) DecodeFields();
  TFormListItem copy;
  copy.Name = field.Name;
  copy.ID = field.ID;
  copy.Value = field.Value;
  copy.Generated = field.Generated;
  fields_->push_back(std::move(copy));
  SetData(u"");
}

void TFormItem::AddFields(const TFormFieldList& list) {
  for (const TFormListItem& field : list) AddField(field);
}

void TFormItem::MergeFields(const TFormFieldList& list) {
  if (!fields_) DecodeFields();
  for (const TFormListItem& field : list) {
    if (TFormListItem* stored = FindField(field.Name, field.ID)) {
      stored->Value = field.Value;
      SetData(u"");
    } else {
      AddField(field);
    }
  }
}

bool TFormItem::SameFieldValues(const TFormFieldList* list) const {
  if (list == nullptr || !fields_) return false;
  return std::all_of(list->begin(), list->end(), [&](const TFormListItem& field) {
    const TFormListItem* stored = FindField(field.Name, field.ID);
    return stored != nullptr && stored->Value == field.Value;
  });
}

std::u16string TPasswordItem::GetPassword() const {
  if (data_.empty() || !FixedCrypt) return {};
  return FixedCrypt->DecryptString(NarrowOf(data_));
}

void TPasswordItem::SetPassword(std::u16string_view text) {
  if (!FixedCrypt) return;
  SetData(WideOf(FixedCrypt->EncryptString(text)));
}

// ---- lists ----

TVaultItems::TVaultItems() {
  FileName = kVaultsFile;
  Magic = kVaultsMagic;
}

std::unique_ptr<TDataItem> TVaultItems::CreateItem() { return std::make_unique<TVaultItem>(this); }

TVaultItem* TVaultItems::FindById(WORD id) const {
  for (int i = 0; i < Count(); ++i) {
    if (Vault(i)->VaultID == id) return Vault(i);
  }
  return nullptr;
}

namespace {

bool SameForm(const TFormItem& item, std::u16string_view key, std::u16string_view formName,
              std::u16string_view formId) {
  return item.FormID() == formId && item.FormName() == formName && NormalizeUrl(item.URL()) == key;
}

}  // namespace

TFormItem* TFormItems::FindForm(std::u16string_view url, std::u16string_view formName,
                                std::u16string_view formId) const {
  std::vector<TFormItem*> found;
  FindForms(url, formName, found, formId);
  return found.empty() ? nullptr : found.front();
}

void TFormItems::FindForms(std::u16string_view url, std::u16string_view formName,
                           std::vector<TFormItem*>& result, std::u16string_view formId) const {
  std::u16string key = NormalizeUrl(url);
  for (int i = 0; i < Count(); ++i) {
    if (SameForm(*Form(i), key, formName, formId)) result.push_back(Form(i));
  }
}

THistoryItems::THistoryItems() {
  FileName = kHistoryFile;
  Magic = kHistoryMagic;
}

std::unique_ptr<TDataItem> THistoryItems::CreateItem() { return std::make_unique<TFormItem>(this); }

TBookmarkItems::TBookmarkItems() {
  FileName = kBookmarksFile;
  Magic = kBookmarksMagic;
  HasStrings = true;
}

std::unique_ptr<TDataItem> TBookmarkItems::CreateItem() {
  return std::make_unique<TBookmarkItem>(this);
}

void TBookmarkItems::DeleteSiteDefaults() {
  for (int i = Count() - 1; i >= 0; --i) {
    if (Form(i)->SiteDefault) Delete(i);
  }
}

TPasswordItems::TPasswordItems() {
  FileName = kPasswordsFile;
  Magic = kPasswordsMagic;
}

std::unique_ptr<TDataItem> TPasswordItems::CreateItem() {
  return std::make_unique<TPasswordItem>(this);
}

TPasswordItem* TPasswordItems::FindByPassword(std::u16string_view url, std::u16string_view formName,
                                              std::u16string_view password,
                                              std::u16string_view formId) const {
  for (int i = 0; i < Count(); ++i) {
    TPasswordItem* item = Password(i);
    if (item->URL() == url && item->FormID() == formId && item->FormName() == formName &&
        item->GetPassword() == password) {
      return item;
    }
  }
  return nullptr;
}

// ---- program-wide lists and their searches ----

std::unique_ptr<TVaultItems> VaultList;
std::unique_ptr<THistoryItems> HistoryList;
std::unique_ptr<TBookmarkItems> BookmarkList;
std::unique_ptr<TPasswordItems> PasswordList;

TVaultItem* FindVault(WORD id) { return VaultList ? VaultList->FindById(id) : nullptr; }

void ListVaults(TWideStrings& strings) {
  strings.Clear();
  if (!VaultList) return;
  for (int i = 0; i < VaultList->Count(); ++i) {
    TVaultItem* vault = VaultList->Vault(i);
    // The entry's object carries the vault id as a number, not a pointer.
    strings.AddObject(vault->Caption(),
                      reinterpret_cast<TObject*>(static_cast<std::intptr_t>(vault->VaultID)));
  }
}

bool IsSavedForm(const TDataItem* item) {
  if (item == nullptr) return false;
  return (BookmarkList && BookmarkList->IndexOf(item) >= 0) ||
         (HistoryList && HistoryList->IndexOf(item) >= 0);
}

TFormItem* FindBookmarkForPage(std::u16string_view url, std::u16string_view formName,
                               std::u16string_view formId, bool checkVault) {
  if (!BookmarkList) return nullptr;
  TFormItem* bookmark = BookmarkList->FindForm(url, formName, formId);
  if (bookmark != nullptr && bookmark->VaultID != 0) {
    if (checkVault) {
      TVaultItem* vault = FindVault(bookmark->VaultID);
      if (vault == nullptr || vault->IsLocked()) {
        bookmark = nullptr;
      } else {
        bookmark->DecodeFields();
      }
    }
  } else if (bookmark != nullptr) {
    bookmark->DecodeFields();
  }
  if (bookmark == nullptr) {
    bookmark = BookmarkList->FindForm(ExtractUrlDomain(url), kSiteDefaultMarker, kSiteDefaultMarker);
    if (bookmark != nullptr) bookmark->DecodeFields();
  }
  return bookmark;
}

bool FindFieldValue(const TFormFieldList* fields, std::u16string_view name, std::u16string_view id,
                    std::u16string& value) {
  value.clear();
  if (fields == nullptr) return false;
  for (const TFormListItem& field : *fields) {
    if (field.ID == id && field.Name == name) {
      value = field.Value;
      return true;
    }
  }
  return false;
}

void GetSavedPassword(const TFormItem* formItem, std::u16string& password) {
  password.clear();
  if (formItem == nullptr || !PasswordList) return;
  TFormItem* found = PasswordList->FindForm(formItem->URL(), formItem->FormName(), formItem->FormID());
  auto* item = static_cast<TPasswordItem*>(found);
  if (item == nullptr) return;
  if (item->VaultID != 0) {
    TVaultItem* vault = FindVault(item->VaultID);
    if (vault == nullptr || vault->IsLocked()) return;
  }
  password = item->GetPassword();
}

bool IsSkippedForm(std::u16string_view url, std::u16string_view formName,
                   const TFormFieldList* fields) {
  if (fields == nullptr) return false;
  if (fields->size() < 2) return true;
  std::u16string lowerUrl = platform::LowerCase(url);
  std::u16string lowerName = platform::LowerCase(formName);
  return Contains(lowerUrl, kMapServiceFragment) ||
         (Contains(lowerUrl, kAuctionSiteFragment) &&
          (Contains(lowerName, u"find") || Contains(lowerName, u"search")));
}
