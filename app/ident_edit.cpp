#include "app/ident_edit.h"

#include <charconv>
#include <chrono>

#include "app/dialog_launcher.h"
#include "app/form_translation.h"
#include "app/list_changes.h"
#include "data/address_helpers.h"
#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "formfill/toolbar_menu.h"
#include "controls/unicode/uni_sysutils.h"
#include "platform/base/clock.h"
#include "platform/classlib/image_control.h"
#include "platform/base/text.h"
#include "platform/win/message_box.h"
#include "support/debug_log.h"
#include "support/translator.h"

namespace {

// --- list operations -------------------------------------------------------------------

// The part of a name=value line after the first "=".
std::u16string ValueOfLine(const std::u16string& line) {
  const std::size_t at = line.find(u'=');
  return at == std::u16string::npos ? std::u16string() : line.substr(at + 1);
}

std::u16string CutBeforeTab(const std::u16string& text) { return text.substr(0, text.find(u'\t')); }

std::u16string Folded(const std::u16string& text) { return LowerCaseWide(WideTrim(text)); }

// True when the item is Piece itself, or a country item that begins with it.
bool IsWholeItem(const std::u16string& item, const std::u16string& piece) {
  return item == piece || item.rfind(piece + u" - ", 0) == 0;
}

// --- composite fields ------------------------------------------------------------------

// Parts joined by Separator between those that are present.
std::u16string JoinPresent(const std::vector<std::u16string>& parts, const std::u16string& separator) {
  std::u16string joined;
  for (const std::u16string& part : parts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined += separator;
    joined += part;
  }
  return joined;
}

bool WholeNumber(const std::u16string& text, int& value) {
  const std::string digits = platform::WideToAnsi(WideTrim(text));
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
}

// How a key's value is entered.
enum class TFieldKind { Name, Edit, Combo, BirthDate, SSN, Phone, Zip, CCDate, EndLabel };

// The combo lists by number (the combo's Tag).
constexpr int kListTitle = 1;
constexpr int kListSex = 2;
constexpr int kListStates = 3;
constexpr int kListCountries = 4;
constexpr int kListCards = 5;

const TUniStringList& ListOf(int number) {
  switch (number) {
    case kListTitle: return Titles;
    case kListSex: return Sexes;
    case kListStates: return States;
    case kListCountries: return Countries;
    default: return CardTypes;
  }
}

int ComboWidth(int list) {
  switch (list) {
    case kListTitle: return 120;
    case kListSex: return 150;
    case kListCards: return 200;
    default: return 350;
  }
}

struct TFieldSpec {
  const char* Caption;
  const char16_t* Key;
  TFieldKind Kind = TFieldKind::Edit;
  int List = 0;
};

struct TPageSpec {
  const char* Name;
  const char* Caption;
  std::vector<TFieldSpec> Fields;
};

using K = TFieldKind;

const std::vector<TPageSpec>& PageSpecs() {
  static const std::vector<TPageSpec> pages = {
      {"Tab1",
       "Personal",
       {{"Identity Name:", u"", K::Name},
        {"Title:", u"TITLE", K::Combo, kListTitle},
        {"First Name:", u"FIRSTNAME"},
        {"Middle Name:", u"MIDNAME"},
        {"Last Name:", u"LASTNAME"},
        {"Sex:", u"SEX", K::Combo, kListSex},
        {"Age:", u"AGE"},
        {"Birth Date (M/D/Y):", u"BIRTHDATE", K::BirthDate},
        {"Birth Place:", u"BIRTHPLACE"},
        {"Web Site:", u"WEBSITE"},
        {"SSN:", u"SSN", K::SSN},
        {"Driver License:", u"DRVLIC"},
        {"", u"", K::EndLabel}}},
      {"Tab2",
       "Communication",
       {{"Email:", u"EMAIL"},
        {"Phone:", u"PHONE", K::Phone},
        {"Home Tel:", u"HOMEPHONE", K::Phone},
        {"Work Tel:", u"WORKPHONE", K::Phone},
        {"Cell Tel:", u"CELLPHONE", K::Phone},
        {"Fax:", u"FAX", K::Phone},
        {"Pager:", u"PAGER"},
        {"Yahoo ID:", u"YAHOOID"},
        {"MSN ID:", u"MSNID"},
        {"AOL Name:", u"AOLNAME"},
        {"ICQ No:", u"ICQNO"},
        {"Google Talk ID:", u"GTALKID"},
        {"Skype Name:", u"SKYPENAME"},
        {"", u"", K::EndLabel}}},
      {"Tab3",
       "Job",
       {{"Job Title:", u"JOBTITLE"},
        {"Company Name:", u"COMPANY"},
        {"Department:", u"DEPARTMENT"},
        {"Toll Free Phone:", u"TOLLFREEPHONE", K::Phone},
        {"Business Type:", u"BUSTYPE"},
        {"Employer Id:", u"EMPID"},
        {"Stock Symbol:", u"STOCKSYMBOL"}}},
      {"Tab4",
       "Address",
       {{"Address Line 1:", u"STREET1"},
        {"Address Line 2:", u"STREET2"},
        {"City:", u"CITY"},
        {"State:", u"STATE", K::Combo, kListStates},
        {"ZIP Code:", u"ZIP", K::Zip},
        {"Country:", u"COUNTRY", K::Combo, kListCountries}}},
      {"Tab5",
       "CC",
       {{"Card Type:", u"CCTYPE", K::Combo, kListCards},
        {"Card Number:", u"CCNUM"},
        {"Validation Code:", u"CCCODE"},
        {"Card Expires:", u"CCEXPDATE", K::CCDate},
        {"Valid From:", u"CCVALID", K::CCDate},
        {"Card User Name:", u"CCNAME"},
        {"Issuing Bank:", u"CCBANK"},
        {"Cust Svc Phone:", u"CCCUSTPHONE"},
        {"Intl Svc Phone:", u"CCINTLPHONE"},
        {"PIN Number:", u"CCPIN"},
        {"Credit Limit:", u"CCLIMIT"},
        {"", u"", K::EndLabel}}},
      {"Tab6",
       "Bank",
       {{"Bank Name:", u"BANKNAME"},
        {"Account Number:", u"ACCNUM"},
        {"Account Type:", u"ACCTYPE"},
        {"Routing Number:", u"ROUTNUM"},
        {"Bank Branch:", u"BANKBRANCH"},
        {"Bank Phone:", u"BANKPHONE"},
        {"Bank Address:", u"BANKADDR"},
        {"SWIFT:", u"BANKSWIFT"},
        {"Interest Rate:", u"BANKINTRATE"},
        {"Account Owner:", u"ACCOWNER"},
        {"Bank PIN Code:", u"BANKPIN"},
        {"", u"", K::EndLabel}}},
  };
  return pages;
}

// The parts of an edit-part field: suffix, width, longest text (0: any), and the
// separator shown after the part.
struct TPartSpec {
  const char16_t* Suffix;
  int Width;
  int MaxLength;
  const char16_t* Separator;
};

const std::vector<TPartSpec>& PartSpecs(TFieldKind kind) {
  static const std::vector<TPartSpec> birthDate = {
      {u"_MONTH", 25, 2, u"/"}, {u"_DAY", 25, 2, u"/"}, {u"_YEAR", 40, 4, u""}};
  static const std::vector<TPartSpec> ssn = {{u"1", 40, 3, u"-"}, {u"2", 30, 2, u"-"}, {u"3", 50, 4, u""}};
  static const std::vector<TPartSpec> phone = {
      {u"1", 40, 3, u"-"}, {u"2", 40, 3, u"-"}, {u"3", 50, 4, u"x"}, {u"_EXT", 80, 0, u""}};
  static const std::vector<TPartSpec> zip = {{u"1", 70, 5, u"-"}, {u"2", 50, 4, u""}};
  switch (kind) {
    case TFieldKind::BirthDate: return birthDate;
    case TFieldKind::SSN: return ssn;
    case TFieldKind::Phone: return phone;
    default: return zip;
  }
}

std::unique_ptr<TIdentEditParts> MakeEditParts(TFieldKind kind, const std::u16string& key) {
  switch (kind) {
    case TFieldKind::BirthDate: return std::make_unique<TIdentBirthDate>(key);
    case TFieldKind::SSN: return std::make_unique<TIdentSSN>(key);
    case TFieldKind::Phone: return std::make_unique<TIdentPhone>(key);
    default: return std::make_unique<TIdentZip>(key);
  }
}

// An edit that tells when the focus leaves it.
class TExitEdit : public TUniEdit {
 public:
  using TUniEdit::TUniEdit;
  std::string ClassName() const override { return "TExitEdit"; }
  TNotifyEvent OnExit;

 protected:
  void Dispatch(TMessage& message) override {
    TUniEdit::Dispatch(message);
    if (message.Msg == WM_KILLFOCUS && OnExit) OnExit(this);
  }
};

constexpr int kPageTop = 12;
constexpr int kFieldLeft = 14;
constexpr int kMarkLeft = 6;
constexpr int kFieldWidth = 350;
constexpr int kFieldHeight = 18;
constexpr int kCaptionStep = 14;
constexpr int kFieldStep = 27;
constexpr int kPartGap = 2;
constexpr int kSeparatorDrop = 4;
constexpr int kCardYearsBefore = 10;
constexpr int kCardYearsAfter = 20;

void SwallowBar(TObject*, char& key) {
  if (key == '|') key = 0;
}

int CurrentYear() {
  const double now = platform::Now();
  // Days since 30 December 1899, as the clock counts.
  const auto day = std::chrono::sys_days(std::chrono::year(1899) / 12 / 30) +
                   std::chrono::days(static_cast<int>(now));
  return static_cast<int>(std::chrono::year_month_day(day).year());
}

}  // namespace

// --- list operations -------------------------------------------------------------------

void FillComboFromList(const TUniStringList& list, TUniComboBox& combo) {
  for (int i = 0; i < list.Count(); ++i) combo.Items().Add(ValueOfLine(list.Strings(i)));
}

void FillCountryCombo(const TUniStringList& list, TUniComboBox& combo) {
  for (int i = 1; i < list.Count(); ++i) {
    TUniStringList pieces;
    SplitToList(list.Strings(i), u'\t', pieces);
    const std::u16string first = pieces.Count() > 0 ? WideTrim(pieces.Strings(0)) : std::u16string();
    const std::u16string second = pieces.Count() > 1 ? WideTrim(pieces.Strings(1)) : std::u16string();
    combo.Items().Add(!second.empty() && second != first ? first + u" - " + second : first);
  }
}

std::u16string ListValueOfCombo(const TUniStringList& list, TUniComboBox& combo) {
  const std::u16string text = combo.Text();
  int entry = combo.ItemIndex();
  if (entry < 0) {
    const std::u16string wanted = Folded(text);
    for (int i = 0; i < list.Count() && entry < 0; ++i) {
      if (Folded(list.Names(i)) == wanted) entry = i;
    }
    for (int i = 0; i < list.Count() && entry < 0; ++i) {
      if (Folded(ValueOfLine(list.Strings(i))) == wanted) entry = i;
    }
  }
  if (entry < 0 || entry >= list.Count()) return text;
  return ValueOfLine(list.Strings(entry)) + u"\t" + list.Names(entry);
}

std::u16string CountryValueOfCombo(const TUniStringList& list, TUniComboBox& combo) {
  const std::u16string text = combo.Text();
  int item = combo.ItemIndex();
  if (item < 0) {
    const std::u16string wanted = Folded(text);
    for (int i = 0; i < combo.Items().Count() && item < 0; ++i) {
      if (Folded(combo.Items().Strings(i)) == wanted) item = i;
    }
  }
  const int line = item + 1;
  if (item < 0 || line >= list.Count()) return text;
  return WideStringReplace(list.Strings(line), u"=", u"\t", false, rfReplaceAll);
}

void SelectComboByStored(const std::u16string& stored, TUniComboBox& combo) {
  if (stored.empty()) return;
  TUniStringList pieces;
  SplitToList(stored, u'\t', pieces);
  std::vector<std::u16string> wanted;
  for (int i = 0; i < pieces.Count(); ++i) {
    if (std::u16string piece = WideTrim(pieces.Strings(i)); !piece.empty()) wanted.push_back(piece);
  }
  // A whole item first, so that "India" is never "British Indian Ocean Territory".
  for (bool whole : {true, false}) {
    for (const std::u16string& piece : wanted) {
      for (int i = 0; i < combo.Items().Count(); ++i) {
        const std::u16string item = combo.Items().Strings(i);
        if (whole ? IsWholeItem(item, piece) : item.find(piece) != std::u16string::npos) {
          combo.SetItemIndex(i);
          return;
        }
      }
    }
  }
  combo.SetText(stored);
}

// --- composite fields ------------------------------------------------------------------

std::u16string WithSecondForm(const std::u16string& part) {
  if (part.size() == 1) return part + u"\t0" + part;
  if (part.size() == 2 && part[0] == u'0') return part + u"\t" + part.substr(1);
  return part;
}

bool IsValidBirthDate(const std::u16string& month, const std::u16string& day, const std::u16string& year) {
  int m = 0, d = 0, y = 0;
  if (!WholeNumber(month, m) || !WholeNumber(day, d) || !WholeNumber(year, y) || m < 1 || d < 1) return false;
  return std::chrono::year_month_day(std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                     std::chrono::day(static_cast<unsigned>(d)))
      .ok();
}

void TIdentEditParts::LoadParts(TIdentity& identity) {
  for (Part& part : Parts) part.Edit->SetText(identity.GetValue(Key() + part.Suffix));
}

void TIdentEditParts::StoreParts(TIdentity& identity) {
  std::vector<std::u16string> typed;
  for (Part& part : Parts) {
    typed.push_back(part.Edit->Text());
    identity.SetValue(Key() + part.Suffix, StoredPart(typed.back()));
  }
  identity.SetValue(Key(), Join(typed));
}

std::u16string TIdentEditParts::Join(const std::vector<std::u16string>& typed) const {
  return JoinPresent(typed, u"-");
}

void TIdentBirthDate::LoadParts(TIdentity& identity) {
  if (identity.GetValue(Key()).empty()) return;
  for (Part& part : Parts) part.Edit->SetText(CutBeforeTab(identity.GetValue(Key() + part.Suffix)));
}

std::u16string TIdentBirthDate::StoredPart(const std::u16string& typed) const {
  return WithSecondForm(WideTrim(typed));
}

std::u16string TIdentBirthDate::Join(const std::vector<std::u16string>& typed) const {
  std::vector<std::u16string> trimmed;
  for (const std::u16string& part : typed) trimmed.push_back(WideTrim(part));
  return JoinPresent(trimmed, u"/");
}

std::u16string TIdentPhone::Join(const std::vector<std::u16string>& typed) const {
  std::u16string joined = JoinPresent({typed[0], typed[1], typed[2]}, u"-");
  if (!typed[3].empty()) joined += (joined.empty() ? u"" : u"x") + typed[3];
  return joined;
}

void TIdentCCDate::LoadParts(TIdentity& identity) {
  for (TUniComboBox* combo : {Month, Year}) {
    const std::u16string suffix = combo == Month ? u"_MONTH" : u"_YEAR";
    const std::u16string value = CutBeforeTab(identity.GetValue(Key() + suffix));
    const int index = combo->Items().IndexOf(value);
    if (index >= 0) {
      combo->SetItemIndex(index);
    } else if (combo == Year && !value.empty()) {
      // A year outside the listed ones is kept, not dropped.
      combo->SetItemIndex(combo->Items().Add(value));
    }
  }
}

void TIdentCCDate::StoreParts(TIdentity& identity) {
  const std::u16string month = Month->Text();
  const std::u16string year = Year->Text();
  identity.SetValue(Key() + u"_MONTH", WithSecondForm(month));
  identity.SetValue(Key() + u"_YEAR", year);
  identity.SetValue(Key(), JoinPresent({month, year}, u"/"));
}

// --- the editor ------------------------------------------------------------------------

// Places the fields of one page from the top down.
class TIdentityEdit::TPageBuilder {
 public:
  TPageBuilder(TIdentityEdit& form, TWinControl& box) : form_(form), box_(box) {}

  void Caption(const char* text, bool required) {
    if (text[0] == '\0') return;
    auto* label = PlaceLabel(form_, box_, "", Translate(text), kFieldLeft, top_);
    if (required) {
      label->Font().SetStyle(fsBold);
      PlaceRequiredMark(form_, box_, "", kMarkLeft, top_ - 2);
    }
    top_ += kCaptionStep;
  }
  template <typename Edit = TUniEdit>
  Edit* AddEdit() {
    auto* edit = PlaceControl<Edit>(form_, box_, "", kFieldLeft, top_, kFieldWidth, kFieldHeight);
    top_ += kFieldStep;
    return edit;
  }
  TUniComboBox* AddCombo(int list) {
    auto* combo = PlaceControl<TUniComboBox>(form_, box_, "", kFieldLeft, top_, ComboWidth(list), kFieldHeight);
    combo->Tag = list;
    combo->SetStyle(csDropDown);
    if (list == kListCountries) {
      FillCountryCombo(Countries, *combo);
    } else {
      FillComboFromList(ListOf(list), *combo);
    }
    top_ += kFieldStep;
    return combo;
  }
  // Edits side by side with their separators; birth-date parts are edits that report
  // being left.
  void AddParts(TIdentEditParts& field, TFieldKind kind) {
    int left = kFieldLeft;
    for (const TPartSpec& spec : PartSpecs(kind)) {
      TUniEdit* edit = kind == TFieldKind::BirthDate
                           ? PlaceControl<TExitEdit>(form_, box_, "", left, top_, spec.Width, kFieldHeight)
                           : PlaceControl<TUniEdit>(form_, box_, "", left, top_, spec.Width, kFieldHeight);
      edit->SetMaxLength(spec.MaxLength);
      field.Parts.push_back({spec.Suffix, edit});
      left += spec.Width + kPartGap;
      left = Separator(spec.Separator, left);
    }
    top_ += kFieldStep;
  }
  void AddCardDate(TIdentCCDate& field) {
    field.Month = PlaceControl<TUniComboBox>(form_, box_, "", kFieldLeft, top_, 50, kFieldHeight);
    field.Month->SetStyle(csDropDownList);
    field.Month->Items().Add(u"");
    for (int month = 1; month <= 12; ++month) field.Month->Items().Add(platform::AnsiToWide(std::to_string(month)));
    int left = Separator(u"/", kFieldLeft + 50 + kPartGap);
    field.Year = PlaceControl<TUniComboBox>(form_, box_, "", left, top_, 70, kFieldHeight);
    field.Year->SetStyle(csDropDownList);
    field.Year->Items().Add(u"");
    const int year = CurrentYear();
    for (int y = year - kCardYearsBefore; y <= year + kCardYearsAfter; ++y) {
      field.Year->Items().Add(platform::AnsiToWide(std::to_string(y)));
    }
    top_ += kFieldStep;
  }
  // Room below the last field of a scrolled page.
  void EndLabel() { PlaceLabel(form_, box_, "", u"", kFieldLeft, top_); }

 private:
  // A separator label after a part; the next part's left.
  int Separator(const char16_t* text, int left) {
    if (text[0] == u'\0') return left;
    auto* label = PlaceLabel(form_, box_, "", text, left, top_ + kSeparatorDrop);
    return left + label->Width() + kPartGap;
  }

  TIdentityEdit& form_;
  TWinControl& box_;
  int top_ = kPageTop;
};

TIdentityEdit::TIdentityEdit(TComponent* owner, HWND ownerWindow, bool isNew)
    : TOwnedDialog(owner, ownerWindow), isNew_(isNew) {
  SetName("IdentityEdit");
  BorderStyle = TFormBorderStyle::bsSingle;
  SetWideControlText(this, u"Pellix");
  SetBounds(0, 0, 484, 525);
  lblCaption = PlaceBoldLabel(*this, *this, "lblCaption", u"Identity Editor", 12, 10);
  lblSep = PlaceBoldLabel(*this, *this, "lblSep", u"-", 12, 10);
  lblIdentityName = PlaceBoldLabel(*this, *this, "lblIdentityName", u"", 12, 10);
  lblIdentityName->Tag = kUntranslatedTag;
  Pages = PlaceControl<TUniPageControl>(*this, *this, "Pages", 8, 32, 468, 440);
  PlaceRequiredMark(*this, *this, "lblAsterix", 8, 484);
  PlaceLabel(*this, *this, "lblRequired", u"Fields marked with an asterisk are required.", 16, 486);
  butSave = PlaceButton(*this, *this, "butSave", u"Save", 316, 482, mrNone);
  butSave->SetDefault(true);
  butSave->OnClick = [this](TObject*) { Save(); };
  butCancel = PlaceButton(*this, *this, "butCancel", u"Cancel", 400, 482, mrCancel);
  butCancel->Cancel = true;
  BuildPages();
  FocusOnShow(*this, txtName);
  TranslateForm(*this);
  Pages->SetActivePage(Tabs.front());
  lblIdentityName->SetCaption(u"");
  butSave->SetEnabled(false);
  lblSep->SetBounds(lblCaption->Left() + lblCaption->Width() + 2, lblSep->Top(), lblSep->Width(), lblSep->Height());
  lblIdentityName->SetBounds(lblSep->Left() + lblSep->Width() + 2, lblIdentityName->Top(), lblIdentityName->Width(),
                             lblIdentityName->Height());
}

TIdentityEdit::~TIdentityEdit() = default;

void TIdentityEdit::BuildPages() {
  for (const TPageSpec& page : PageSpecs()) {
    auto* tab = PlaceControl<TUniTabSheet>(*this, *Pages, page.Name, 0, 0, 0, 0);
    tab->SetPageControl(Pages);
    tab->SetCaption(platform::AnsiToWide(page.Caption));
    Tabs.push_back(tab);
    auto* box = PlaceControl<TUniScrollBox>(*this, *tab, "", 0, 0, 0, 0);
    box->SetAlign(alClient);
    TPageBuilder builder(*this, *box);
    for (const TFieldSpec& spec : page.Fields) {
      builder.Caption(spec.Caption, spec.Kind == TFieldKind::Name);
      auto entry = std::make_unique<TKeyEntry>();
      entry->Key = spec.Key;
      switch (spec.Kind) {
        case TFieldKind::Name:
          txtName = builder.AddEdit();
          txtName->OnChange = [this](TObject*) { NameChanged(); };
          txtName->OnKeyPress = SwallowBar;
          continue;
        case TFieldKind::EndLabel: builder.EndLabel(); continue;
        case TFieldKind::Edit: entry->Edit = builder.AddEdit(); break;
        case TFieldKind::Combo:
          entry->Combo = builder.AddCombo(spec.List);
          entry->List = spec.List;
          break;
        case TFieldKind::CCDate: {
          auto field = std::make_unique<TIdentCCDate>(spec.Key);
          builder.AddCardDate(*field);
          entry->Field = std::move(field);
          break;
        }
        default: {
          auto field = MakeEditParts(spec.Kind, spec.Key);
          builder.AddParts(*field, spec.Kind);
          if (spec.Kind == TFieldKind::BirthDate) WireBirthDate(*field);
          if (spec.Kind == TFieldKind::Zip) {
            txtZip1 = field->Parts[0].Edit;
            txtZip2 = field->Parts[1].Edit;
          }
          entry->Field = std::move(field);
        }
      }
      keys_.push_back(std::move(entry));
    }
  }
  txtFirstName = EditOf(u"FIRSTNAME");
  txtMiddleName = EditOf(u"MIDNAME");
  txtLastName = EditOf(u"LASTNAME");
  txtEmail = EditOf(u"EMAIL");
  txtAddress1 = EditOf(u"STREET1");
  txtAddress2 = EditOf(u"STREET2");
  txtCity = EditOf(u"CITY");
  txtState = ComboOf(u"STATE");
  txtCountry = ComboOf(u"COUNTRY");
}

// Two digits of the month move on to the day, two of the day to the year; leaving any
// of the three checks the date.
void TIdentityEdit::WireBirthDate(TIdentEditParts& field) {
  std::vector<TUniEdit*> edits;
  for (auto& part : field.Parts) edits.push_back(part.Edit);
  for (std::size_t i = 0; i + 1 < edits.size(); ++i) {
    edits[i]->OnChange = [from = edits[i], to = edits[i + 1]](TObject*) {
      if (from->Text().size() == 2 && from->Focused()) to->SetFocus();
    };
  }
  for (TUniEdit* edit : edits) {
    static_cast<TExitEdit*>(edit)->OnExit = [this, edits, edit](TObject*) {
      const std::u16string month = WideTrim(edits[0]->Text());
      const std::u16string day = WideTrim(edits[1]->Text());
      const std::u16string year = WideTrim(edits[2]->Text());
      if (month.empty() || day.empty() || year.empty() || IsValidBirthDate(month, day, year)) return;
      MessageBoxW(Handle(), Translate("Entered date is not correct!").c_str(), Translate("Pellix - Birth Date").c_str(),
                  MB_OK | MB_ICONERROR);
      edit->SetFocus();
    };
  }
}

void TIdentityEdit::NameChanged() {
  const std::u16string name = txtName->Text();
  lblIdentityName->SetCaption(name);
  butSave->SetEnabled(!WideTrim(name).empty());
}

std::u16string TIdentityEdit::IdentityName() const { return WideTrim(txtName->Text()); }

TIdentity* TIdentityEdit::TargetIdentity() const {
  if (!readable_) return nullptr;
  return ownIdentity_ ? ownIdentity_.get() : ActiveIdentity.get();
}

bool TIdentityEdit::LoadIdentity(const std::u16string& fileNo) {
  if (!ActiveIdentity) return false;
  FileNo = fileNo;
  if (Identities) {
    LoadedName = Identities->NameOfFile(fileNo);
    if (!LoadedName.empty() && LoadedName.front() == u'#') LoadedName.erase(0, 1);
    txtName->SetText(LoadedName);
    NameChanged();
  }
  if (fileNo != ActiveIdentityNo) {
    ownIdentity_ = std::make_unique<TIdentity>(IdentityFilePath(fileNo));
    // An identity that cannot be read is never stored: it would be written back empty.
    readable_ = ownIdentity_->LoadFromFile(u"");
    if (!readable_) return false;
  }
  TIdentity& identity = *TargetIdentity();
  for (const auto& entry : keys_) {
    if (entry->Field) {
      entry->Field->LoadParts(identity);
    } else if (entry->Edit) {
      entry->Edit->SetText(identity.GetValue(entry->Key));
    } else {
      SelectComboByStored(identity.GetValue(entry->Key), *entry->Combo);
    }
  }
  return true;
}

void TIdentityEdit::StoreIdentity() {
  TIdentity* identity = TargetIdentity();
  if (identity == nullptr) return;
  for (const auto& entry : keys_) {
    if (entry->Field) {
      entry->Field->StoreParts(*identity);
    } else if (entry->Edit) {
      identity->SetValue(entry->Key, entry->Edit->Text());
    } else {
      std::u16string value = entry->Combo->Text();
      if (!value.empty()) {
        value = entry->List == kListCountries ? CountryValueOfCombo(Countries, *entry->Combo)
                                              : ListValueOfCombo(ListOf(entry->List), *entry->Combo);
      }
      identity->SetValue(entry->Key, value);
    }
  }
  identity->SetValue(u"NAME", JoinPresent({txtFirstName->Text(), txtMiddleName->Text(), txtLastName->Text()}, u" "));
}

void TIdentityEdit::Save() {
  if (isNew_ && Identities) {
    const std::u16string name = IdentityName();
    for (int i = 0; i < Identities->Lines.Count(); ++i) {
      if (Identities->GetName(i) != name) continue;
      MessageBoxW(Handle(), Translate("Identity Name already exists!").c_str(), Translate("Pellix").c_str(),
                  MB_OK | MB_ICONWARNING);
      Pages->SetActivePage(Tabs.front());
      txtName->SetFocus();
      return;
    }
  }
  ModalResult = mrOk;
}

TIdentityEdit::TKeyEntry* TIdentityEdit::EntryOf(const std::u16string& key) const {
  for (const auto& entry : keys_) {
    if (entry->Key == key) return entry.get();
  }
  return nullptr;
}

TUniEdit* TIdentityEdit::EditOf(const std::u16string& key) const {
  TKeyEntry* entry = EntryOf(key);
  return entry != nullptr ? entry->Edit : nullptr;
}

TUniComboBox* TIdentityEdit::ComboOf(const std::u16string& key) const {
  TKeyEntry* entry = EntryOf(key);
  return entry != nullptr ? entry->Combo : nullptr;
}

TIdentField* TIdentityEdit::FieldOf(const std::u16string& key) const {
  TKeyEntry* entry = EntryOf(key);
  return entry != nullptr ? entry->Field.get() : nullptr;
}

namespace {

// The file number of the identity named Name (compared as shown, without "#").
std::u16string FileNoOfName(const std::u16string& name) {
  if (!Identities) return {};
  for (int i = 0; i < Identities->Lines.Count(); ++i) {
    if (Identities->GetName(i) == name) return Identities->FileNo(i);
  }
  return {};
}

void SaveIdentity(TIdentity& identity) {
  if (!identity.SaveToFile()) LogError("the identity could not be saved: " + identity.FilePath);
}

// The new identity's file, made the active identity; false when either fails.
bool CreateActiveIdentity(const std::u16string& name) {
  std::u16string fileNo;
  if (!CreateIdentityFile(name, u"", fileNo) || !LoadAllData(fileNo, u"")) return false;
  if (Config) Config->WriteString(u"IDENTITY", fileNo);
  return true;
}

}  // namespace

bool RunIdentityEditor(TDialogLauncher& launcher, HWND owner, const std::u16string& name, bool isNew) {
  auto editor = std::make_unique<TIdentityEdit>(Application, owner, isNew);
  if (!isNew) {
    bool loaded = false;
    {
      TListChange lock(nullptr);
      const std::u16string fileNo = name.empty() ? ActiveIdentityNo : FileNoOfName(name);
      loaded = !fileNo.empty() && editor->LoadIdentity(fileNo);
    }
    if (!loaded) {
      MessageBoxW(owner, Translate("The identity cannot be read.").c_str(), Translate("Pellix").c_str(),
                  MB_OK | MB_ICONERROR);
      return false;
    }
  }
  if (launcher.RunModalSlot(TDialogSlot::IdentityEditor, *editor, owner) != mrOk) return false;
  {
    TListChange change(nullptr);
    if (isNew && !CreateActiveIdentity(editor->IdentityName())) return false;
    editor->StoreIdentity();
    if (TIdentity* identity = editor->TargetIdentity()) SaveIdentity(*identity);
    if (!isNew && Identities && editor->IdentityName() != editor->LoadedName) {
      Identities->Rename(editor->FileNo, editor->IdentityName());
      if (!Identities->SaveToFile()) LogError("the identities list could not be saved");
    }
  }
  StartToolbarMenuRefresh();
  return true;
}

// --- the identity switch ---------------------------------------------------------------

TChangeIdentityForm::TChangeIdentityForm(TComponent* owner) : TForm(owner) {
  SetName("ChangeIdentityForm");
  BorderStyle = TFormBorderStyle::bsDialog;
  SetWideControlText(this, u"Pellix - Identity Change");
  SetBounds(0, 0, 476, 204);
  LoadResourcePicture(*PlaceControl<TImage>(*this, *this, "Image1", 8, 12, 0, 0), "WIZ_ICON");
  PlaceBoldLabel(*this, *this, "lblTitle", u"Identity Change", 60, 12);
  PlaceWrappedLabel(*this, *this, "lblText",
                    u"You are attempting to change your identity while the current page contains forms. Please "
                    u"select an action:",
                    60, 32, 400, 30);
  const char16_t* const captions[] = {
      u"Fill in form as a new identity (overwrite)",
      u"Fill in form as a new identity (don\u2019t overwrite completed fields)",
      u"Don\u2019t fill in form, just change the identity",
      u"Don\u2019t change the identity",
  };
  int top = 68;
  for (const char16_t* caption : captions) {
    auto* choice = PlaceControl<TUniRadioButton>(*this, *this, "rbChoice" + std::to_string(Choices.size() + 1), 60,
                                                 top, 400, 17);
    choice->SetCaption(caption);
    Choices.push_back(choice);
    top += 22;
  }
  Choices.front()->SetChecked(true);
  PlaceButton(*this, *this, "butOK", u"OK", 300, 170, mrOk)->SetDefault(true);
  PlaceButton(*this, *this, "butCancel", u"Cancel", 384, 170, mrCancel)->Cancel = true;
  FocusOnShow(*this);
}

int TChangeIdentityForm::Answer() const {
  // The choices answer 1, 2, 3 and 0, in this order.
  constexpr int kAnswers[] = {1, 2, 3, 0};
  for (std::size_t i = 0; i < Choices.size(); ++i) {
    if (Choices[i]->Checked()) return kAnswers[i];
  }
  return 0;
}

int AskIdentityChange(HWND) {
  auto form = std::make_unique<TChangeIdentityForm>(Application);
  TranslateForm(*form);
  CenterOnWindow(*form, 0);
  return form->ShowModal() == mrOk ? form->Answer() : 0;
}
