// The lists of what the user saves from web pages: vaults, the form history, the form
// bookmarks and the password history, with their records, the field-list text of a
// stored form, the site-default rule and the searches the page side calls.
//
// Field-list text (enciphered with FixedCrypt into a form's DATA): one line per field,
// ended by LF: the name, U+0001, the id, U+0002, the value with CR as U+0003 and LF as
// U+0004, preceded by U+0006 when the field's value was generated.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_items.h"

// FORMID and FORMNAME of a site's default form.
inline constexpr std::u16string_view kSiteDefaultMarker = u"\u0005def";

inline constexpr char kVaultsFile[] = "vaults.pxd";
inline constexpr char kHistoryFile[] = "history.pxd";
inline constexpr char kBookmarksFile[] = "bookmarks.pxd";
inline constexpr char kPasswordsFile[] = "passwords.pxd";

// One form field.
struct TFormListItem {
  std::u16string Name;
  std::u16string ID;
  std::u16string Value;
  // The identity key the page side matched to the field; not stored.
  std::u16string IdentKey;
  bool Generated = false;
  // The input's type as the page side read it; run-time only, not stored.
  std::u16string FieldType;
};

using TFormFieldList = std::vector<TFormListItem>;

// A named, separately unlockable group of records. Record values: "VAULTNAME" (the
// caption) and "TESTCRYPT". How a vault is unlocked is not decided here.
class TVaultItem : public TDataItem {
 public:
  explicit TVaultItem(TDataItems* owner) : TDataItem(owner) {}
  bool LoadFromStream(TStreamReader& reader, TWideCrypt* crypt) override;
  bool SaveToStream(TStreamWriter& writer, TWideCrypt* crypt) override;
  // True unless unlocked and the unlock has not expired.
  bool IsLocked() const;

  TWideCrypt VaultCrypt{false};
  std::string TestCrypt;
  bool Unlocked = false;
  double UnlockExpiry = 0;
};

// A stored form or page. Record values: "CAPTION", "URL", "FORMID", "FORMNAME", "DATA".
class TFormItem : public TDataItem {
 public:
  explicit TFormItem(TDataItems* owner);
  bool LoadFromStream(TStreamReader& reader, TWideCrypt* crypt) override;
  // A form whose field list is held decoded is saved with those fields.
  bool SaveToStream(TStreamWriter& writer, TWideCrypt* crypt) override;

  const std::u16string& URL() const { return url_; }
  const std::u16string& FormID() const { return formId_; }
  const std::u16string& FormName() const { return formName_; }
  const std::u16string& Data() const { return data_; }
  void SetURL(std::u16string_view text);
  void SetFormID(std::u16string_view text);
  void SetFormName(std::u16string_view text);

  // Builds the field list from DATA (empty when DATA does not decipher).
  void DecodeFields();
  // Writes the field list into DATA and frees it.
  void EncodeFields();
  bool HasFields() const { return fields_ != nullptr; }
  int FieldCount() const;
  // None when out of range.
  TFormListItem* GetField(int index) const;
  void AddField(const TFormListItem& field);
  void AddFields(const TFormFieldList& list);
  // Fields with the same Name and ID take the new value; others are appended.
  void MergeFields(const TFormFieldList& list);
  // False without a list or without decoded fields; true when every field of List has
  // a stored field with its Name and ID and the same value.
  bool SameFieldValues(const TFormFieldList* list) const;

 protected:
  void SetData(std::u16string data);
  void ApplySiteDefaultRule();

  std::u16string url_;
  std::u16string formId_;
  std::u16string formName_;
  std::u16string data_;
  std::unique_ptr<TFormFieldList> fields_;

 private:
  void SetRecordValue(std::u16string& field, std::u16string_view text);
  TFormListItem* FindField(std::u16string_view name, std::u16string_view id) const;
};

// A bookmark keeps an extra integer for the bookmark windows (-1 when new).
class TBookmarkItem : public TFormItem {
 public:
  explicit TBookmarkItem(TDataItems* owner) : TFormItem(owner) { HasInteger = true; }
};

// A password item's DATA holds the enciphered password instead of a field list.
class TPasswordItem : public TFormItem {
 public:
  explicit TPasswordItem(TDataItems* owner) : TFormItem(owner) {}
  std::u16string GetPassword() const;
  // Does nothing before FixedCrypt exists.
  void SetPassword(std::u16string_view text);
};

class TVaultItems : public TDataItems {
 public:
  TVaultItems();
  TVaultItem* Vault(int index) const { return static_cast<TVaultItem*>(Item(index)); }
  TVaultItem* FindById(WORD id) const;

 protected:
  std::unique_ptr<TDataItem> CreateItem() override;
};

class TFormItems : public TDataItems {
 public:
  TFormItem* Form(int index) const { return static_cast<TFormItem*>(Item(index)); }
  // The first item whose URL normalises like URL and whose FormID and FormName equal
  // the given ones exactly.
  TFormItem* FindForm(std::u16string_view url, std::u16string_view formName,
                      std::u16string_view formId) const;
  // Result does not own what it receives.
  void FindForms(std::u16string_view url, std::u16string_view formName,
                 std::vector<TFormItem*>& result, std::u16string_view formId) const;
};

class THistoryItems : public TFormItems {
 public:
  THistoryItems();

 protected:
  std::unique_ptr<TDataItem> CreateItem() override;
};

// Its string block holds the bookmark folder names.
class TBookmarkItems : public TFormItems {
 public:
  TBookmarkItems();
  void DeleteSiteDefaults();

 protected:
  std::unique_ptr<TDataItem> CreateItem() override;
};

class TPasswordItems : public TFormItems {
 public:
  TPasswordItems();
  TPasswordItem* Password(int index) const { return static_cast<TPasswordItem*>(Item(index)); }
  // Matches the URL exactly (not normalised) and the deciphered password.
  TPasswordItem* FindByPassword(std::u16string_view url, std::u16string_view formName,
                                std::u16string_view password, std::u16string_view formId) const;

 protected:
  std::unique_ptr<TDataItem> CreateItem() override;
};

// The program-wide lists, created and loaded by the data start-up; none before.
extern std::unique_ptr<TVaultItems> VaultList;
extern std::unique_ptr<THistoryItems> HistoryList;
extern std::unique_ptr<TBookmarkItems> BookmarkList;
extern std::unique_ptr<TPasswordItems> PasswordList;

TVaultItem* FindVault(WORD id);
// Clears Strings and adds each vault's name with its id as the entry's object.
void ListVaults(TWideStrings& strings);
bool IsSavedForm(const TDataItem* item);
// The bookmark for a page (decoded), else the site-default bookmark of its host.
TFormItem* FindBookmarkForPage(std::u16string_view url, std::u16string_view formName,
                               std::u16string_view formId, bool checkVault);
bool FindFieldValue(const TFormFieldList* fields, std::u16string_view name, std::u16string_view id,
                    std::u16string& value);
void GetSavedPassword(const TFormItem* formItem, std::u16string& password);
// Forms not offered for the form history: fewer than two fields, map searches and
// auction searches.
bool IsSkippedForm(std::u16string_view url, std::u16string_view formName,
                   const TFormFieldList* fields);
