// The identity editor (TIdentityEdit): the identity's name and 59 identity keys on six
// pages. Simple keys are edits, list keys editable combo boxes filled from the data
// resources, and six kinds of values are composite fields (TIdentField) that store
// each part under the key plus a suffix and the joined value under the key itself.
// Also here: the list operations the first-run wizard shares, and the identity switch
// question (TChangeIdentityForm).
//
// Ownership: the form owns its controls and its composite fields, and an identity of
// its own when it edits one other than the active one; its opener frees the form.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/window_parts.h"
#include "controls/unicode/uni_com_ctrls.h"
#include "controls/unicode/uni_forms.h"

class TDialogLauncher;
class TIdentity;

// --- list operations -------------------------------------------------------------------

// The values of a list of name=value lines, in the list's order.
void FillComboFromList(const TUniStringList& list, TUniComboBox& combo);
// The countries: every line after the first, split at TABs, shows its first piece and,
// when present and different, " - " and its second (pieces trimmed). Item I stands for
// line I + 1.
void FillCountryCombo(const TUniStringList& list, TUniComboBox& combo);
// The stored form of a list combo's choice: the entry's value, a TAB and its name; an
// unselected text finds the entry whose name, else whose value, equals it (trimmed,
// case ignored). Otherwise the text itself.
std::u16string ListValueOfCombo(const TUniStringList& list, TUniComboBox& combo);
// The stored form of the country: its list line with every "=" as a TAB; an unselected
// text finds the item equal to it (trimmed, case ignored). Otherwise the text itself.
std::u16string CountryValueOfCombo(const TUniStringList& list, TUniComboBox& combo);
// Selects the combo item for a stored value: its TAB-separated pieces (trimmed) are
// looked for in order, first as a whole item (or a country item's first part), then
// within an item; when none is found the combo's text becomes the stored value.
void SelectComboByStored(const std::u16string& stored, TUniComboBox& combo);

// --- composite fields ------------------------------------------------------------------

// A value kept as parts: each part under Key + suffix, the joined value under Key.
class TIdentField {
 public:
  explicit TIdentField(std::u16string key) : key_(std::move(key)) {}
  virtual ~TIdentField() = default;
  const std::u16string& Key() const { return key_; }
  virtual void LoadParts(TIdentity& identity) = 0;
  virtual void StoreParts(TIdentity& identity) = 0;

 private:
  std::u16string key_;
};

// Parts typed into edits, joined by separators between the parts that are present.
class TIdentEditParts : public TIdentField {
 public:
  struct Part {
    std::u16string Suffix;
    TUniEdit* Edit;
  };
  using TIdentField::TIdentField;
  void LoadParts(TIdentity& identity) override;
  void StoreParts(TIdentity& identity) override;
  std::vector<Part> Parts;

 protected:
  // The part as stored under its part key.
  virtual std::u16string StoredPart(const std::u16string& typed) const { return typed; }
  // The joined value of the typed parts.
  virtual std::u16string Join(const std::vector<std::u16string>& typed) const;
};

class TIdentBirthDate : public TIdentEditParts {
 public:
  using TIdentEditParts::TIdentEditParts;
  void LoadParts(TIdentity& identity) override;

 protected:
  std::u16string StoredPart(const std::u16string& typed) const override;
  std::u16string Join(const std::vector<std::u16string>& typed) const override;
};

class TIdentSSN : public TIdentEditParts {
 public:
  using TIdentEditParts::TIdentEditParts;
};

class TIdentPhone : public TIdentEditParts {
 public:
  using TIdentEditParts::TIdentEditParts;

 protected:
  std::u16string Join(const std::vector<std::u16string>& typed) const override;
};

class TIdentZip : public TIdentEditParts {
 public:
  using TIdentEditParts::TIdentEditParts;
};

// A card's month and year, chosen from drop-down lists.
class TIdentCCDate : public TIdentField {
 public:
  using TIdentField::TIdentField;
  void LoadParts(TIdentity& identity) override;
  void StoreParts(TIdentity& identity) override;
  TUniComboBox* Month = nullptr;
  TUniComboBox* Year = nullptr;
};

// A stored part's second form: "5" is kept as "5", TAB, "05"; "05" as "05", TAB, "5".
std::u16string WithSecondForm(const std::u16string& part);
// A birth date's parts make a real calendar date (each a whole number).
bool IsValidBirthDate(const std::u16string& month, const std::u16string& day, const std::u16string& year);

// --- the editor ------------------------------------------------------------------------

class TIdentityEdit : public TOwnedDialog {
 public:
  // OwnerWindow: the window the editor belongs to (0: the application's). IsNew asks
  // Save to refuse a name the identities list holds already.
  TIdentityEdit(TComponent* owner, HWND ownerWindow, bool isNew);
  ~TIdentityEdit() override;

  // Loads identity FileNo (the active one, or one read here without a password) into
  // the fields. False when there is no active identity or the identity cannot be read:
  // then the editor holds nothing of it and must not store.
  bool LoadIdentity(const std::u16string& fileNo);
  // Stores every field into the identity loaded (the active one when none was read
  // here); nothing without an active identity.
  void StoreIdentity();
  // The identity this editor stores into: its own, or the active one (may be null).
  TIdentity* TargetIdentity() const;
  // The trimmed name and whether it changed from the loaded one.
  std::u16string IdentityName() const;
  // The name rule: the caption shows the name; Save needs a name that is not blank.
  void NameChanged();

  // The control of a simple key (edit or combo box) and the composite field of a key.
  TUniEdit* EditOf(const std::u16string& key) const;
  TUniComboBox* ComboOf(const std::u16string& key) const;
  TIdentField* FieldOf(const std::u16string& key) const;

  TUniLabel* lblCaption;
  TUniLabel* lblSep;
  TUniLabel* lblIdentityName;
  TUniPageControl* Pages;
  std::vector<TUniTabSheet*> Tabs;
  TUniEdit* txtName;
  TUniButton* butSave;
  TUniButton* butCancel;
  // Direct references for the wizard and the joined NAME.
  TUniEdit* txtFirstName = nullptr;
  TUniEdit* txtMiddleName = nullptr;
  TUniEdit* txtLastName = nullptr;
  TUniEdit* txtEmail = nullptr;
  TUniEdit* txtAddress1 = nullptr;
  TUniEdit* txtAddress2 = nullptr;
  TUniEdit* txtCity = nullptr;
  TUniComboBox* txtState = nullptr;
  TUniEdit* txtZip1 = nullptr;
  TUniEdit* txtZip2 = nullptr;
  TUniComboBox* txtCountry = nullptr;
  std::u16string FileNo;
  std::u16string LoadedName;


 private:
  struct TKeyEntry {
    std::u16string Key;
    TUniEdit* Edit = nullptr;
    TUniComboBox* Combo = nullptr;
    int List = 0;  // the combo's list number (its Tag)
    std::unique_ptr<TIdentField> Field;
  };
  class TPageBuilder;
  void BuildPages();
  void WireBirthDate(TIdentEditParts& field);
  void Save();
  TKeyEntry* EntryOf(const std::u16string& key) const;

  bool isNew_;
  std::vector<std::unique_ptr<TKeyEntry>> keys_;
  std::unique_ptr<TIdentity> ownIdentity_;
  bool readable_ = true;
};

// Opens the editor in the launcher's slot for identity Name (empty: the active one) or,
// with IsNew, for a new identity. On Save, under the data lock: a new identity gets its
// file and becomes the active one (the setting IDENTITY); the values are stored and
// saved; a changed name goes into the identities list. True when it was saved.
bool RunIdentityEditor(TDialogLauncher& launcher, HWND owner, const std::u16string& name, bool isNew);

// --- the identity switch ---------------------------------------------------------------

class TChangeIdentityForm : public TForm {
 public:
  explicit TChangeIdentityForm(TComponent* owner);
  std::string ClassName() const override { return "TChangeIdentityForm"; }
  // The checked choice's answer: 1, 2, 3, or 0 for "Don't change the identity".
  int Answer() const;
  std::vector<TUniRadioButton*> Choices;
};

// Asks how to go on when the identity changes while the page holds forms: 1 fill and
// overwrite, 2 fill the empty fields, 3 only change the identity, 0 do not change.
int AskIdentityChange(HWND owner);
