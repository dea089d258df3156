#include "data/identities.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "controls/unicode/uni_sysutils.h"
#include "data/data_globals.h"
#include "data/data_items.h"
#include "data/field_dictionary.h"
#include "data/list_notice.h"
#include "data/password_key.h"
#include "data/secrets.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/fs/entries.h"

std::unique_ptr<TIdentities> Identities;
std::unique_ptr<TExperience> Experience;
std::unique_ptr<TIdentity> ActiveIdentity;

namespace {

constexpr std::u16string_view kCompositeKeys[] = {u"NAME", u"BIRTHDATE", u"SSN", u"PHONE",
                                                  u"CCEXPDATE", u"CCVALID", u"VALUE"};

// Reads Int32 count and that many enciphered lines into Lines; false when a line is
// missing, cut short, or does not decipher (a line that cannot be read is lost data,
// not an empty line). Empty stored lines are skipped.
bool ReadLines(TStreamReader& reader, const TWideCrypt& crypt, std::vector<std::u16string>& lines) {
  std::int32_t count = 0;
  if (!ReadRecordCount(reader, sizeof(std::int32_t), count)) return false;
  for (std::int32_t i = 0; i < count; ++i) {
    std::string sealed;
    if (!ReadStoredString(reader, sealed)) return false;
    if (sealed.empty()) continue;
    std::u16string line = crypt.DecryptString(sealed);
    if (line.empty()) return false;
    lines.push_back(std::move(line));
  }
  return true;
}

bool WriteLines(TStreamWriter& writer, const TWideCrypt& crypt, const TUniStringList& lines) {
  if (!writer.WriteInteger(lines.Count())) return false;
  for (int i = 0; i < lines.Count(); ++i) {
    const std::u16string line = lines.Strings(i);
    std::string sealed = crypt.EncryptString(line);
    if ((sealed.empty() && !line.empty()) || !writer.WriteString(sealed)) return false;
  }
  return true;
}

void ReplaceLines(TUniStringList& target, const std::vector<std::u16string>& lines) {
  TStringsUpdate<std::u16string> update(target);
  target.Clear();
  for (const std::u16string& line : lines) target.Add(line);
}

// A file of Int32 magic, count and enciphered lines in the data folder. A missing
// file is an empty list; a file that is not read whole leaves Lines as it was.
bool LoadLineFile(const char* name, std::initializer_list<std::int32_t> magics, const TWideCrypt& crypt,
                  TUniStringList& lines, bool& loadFailed) {
  if (DataFolder.empty()) return false;
  std::vector<std::u16string> read;
  const std::string path = DataFolder + name;
  const TDataFileLoad load = LoadDataFile(path, [&](TMemoryStreamReader& memory) {
    read.clear();
    std::int32_t magic = 0;
    return memory.ReadInteger(magic) && std::find(magics.begin(), magics.end(), magic) != magics.end() &&
           ReadLines(memory, crypt, read);
  });
  loadFailed = load == TDataFileLoad::Failed;
  if (loadFailed) ReportUnreadableList(path);
  if (load == TDataFileLoad::Loaded) ReplaceLines(lines, read);
  return !loadFailed;
}

bool SaveLineFile(const char* name, std::int32_t magic, const TWideCrypt& crypt, const TUniStringList& lines,
                  bool loadFailed) {
  if (DataFolder.empty() || loadFailed) return false;
  TMemoryStreamWriter memory;
  return memory.WriteInteger(magic) && WriteLines(memory, crypt, lines) &&
         WriteDataFile(DataFolder + name, memory.Memory());
}

// The file number of an index line: the text after its last "=".
std::u16string FileNoOf(const std::u16string& line) {
  auto separator = line.rfind(u'=');
  return separator == std::u16string::npos ? std::u16string() : line.substr(separator + 1);
}


// Adds Name=KEY for every name of every KEY=names line: parts before a ";" trimmed and
// skipped when empty, the last part untrimmed.
void AddNamesOf(const TUniStringList& source, TUniStringList& target) {
  for (int i = 0; i < source.Count(); ++i) {
    const std::u16string key = source.Names(i);
    if (key.empty()) continue;
    const std::u16string line = source.Strings(i);
    std::u16string_view names = std::u16string_view(line).substr(key.size() + 1);
    for (auto separator = names.find(u';'); separator != std::u16string_view::npos;
         separator = names.find(u';')) {
      std::u16string part = WideTrim(names.substr(0, separator));
      if (!part.empty()) target.Add(part + u"=" + key);
      names.remove_prefix(separator + 1);
    }
    if (!names.empty()) target.Add(std::u16string(names) + u"=" + key);
  }
}

bool IsValidIdentityName(std::u16string_view name) {
  return !name.empty() && name.front() != u'#' && name.find_first_of(u"=\r\n") == std::u16string_view::npos;
}

}  // namespace

// TIdentity

TIdentity::TIdentity(std::string filePath) : FilePath(std::move(filePath)) {}

void TIdentity::Lock() { lock_.Enter(); }

void TIdentity::Unlock() { lock_.Leave(); }

bool TIdentity::LoadFromFile(std::u16string_view password) {
  if (FilePath.empty()) return false;
  std::scoped_lock hold(lock_);
  TUniStringList values;
  std::string checkText;
  bool loaded = ReadFile(password, values, checkText);
  loadFailed_ = !loaded;
  if (loaded) {
    CheckText = std::move(checkText);
    Values.Assign(values);
    LastAccess = GetTickCount();
  }
  return loaded;
}

bool TIdentity::ReadFile(std::u16string_view password, TUniStringList& values, std::string& checkText) {
  bool refused = false;
  std::vector<std::u16string> lines;
  const TDataFileLoad load = LoadDataFile(FilePath, [&](TMemoryStreamReader& memory) {
    lines.clear();
    std::int32_t magic = 0;
    if (!memory.ReadInteger(magic) || magic != kIdentityMagic || !ReadStoredString(memory, checkText)) return false;
    refused = checkText != secrets::DefaultCheckText() && !PasswordCheckMatches(password, checkText, TCheckDomain::Identity);
    return !refused && ReadLines(memory, Crypt, lines);
  });
  // A password that is not the identity's is no fault of the file.
  if (load == TDataFileLoad::Failed && !refused) ReportUnreadableList(FilePath);
  if (load != TDataFileLoad::Loaded) return false;
  ReplaceLines(values, lines);
  return true;
}

bool TIdentity::SaveToFile() {
  if (FilePath.empty()) return false;
  std::scoped_lock hold(lock_);
  bool saved = false;
  if (!loadFailed_) {
    if (CheckText.empty()) CheckText = secrets::DefaultCheckText();
    TMemoryStreamWriter memory;
    saved = memory.WriteInteger(kIdentityMagic) && memory.WriteString(CheckText) &&
            WriteLines(memory, Crypt, Values) && WriteDataFile(FilePath, memory.Memory());
    if (saved) LastAccess = GetTickCount();
  }
  return saved;
}

std::u16string TIdentity::GetValue(std::u16string_view key) {
  std::scoped_lock hold(lock_);
  return Values.Values(platform::UpperCase(key));
}

void TIdentity::SetValue(std::u16string_view key, std::u16string_view value) {
  const std::u16string name = platform::UpperCase(key);
  std::scoped_lock hold(lock_);
  int index = Values.IndexOfName(name);
  if (index < 0) {
    Values.Add(name + u"=" + std::u16string(value));
  } else if (value.empty()) {
    Values.Delete(index);
  } else {
    Values.Put(index, name + u"=" + std::u16string(value));
  }
}

void TIdentity::FindKeyByValue(std::u16string_view value, std::u16string& key) {
  key.clear();
  std::scoped_lock hold(lock_);
  for (int i = 0; i < Values.Count(); ++i) {
    const std::u16string line = Values.Strings(i);
    auto separator = line.find(u'=');
    if (separator != std::u16string::npos && std::u16string_view(line).substr(separator + 1) == value) {
      key = line.substr(0, separator);
      break;
    }
  }
}

bool TIdentity::IsSimpleKey(std::u16string_view key) {
  const std::u16string upper = platform::UpperCase(key);
  return std::find(std::begin(kCompositeKeys), std::end(kCompositeKeys), upper) == std::end(kCompositeKeys);
}

// TIdentities

bool TIdentities::LoadFromFile() {
  bool loaded = LoadLineFile(kIdentitiesFile, {kIdentitiesMagic}, crypt_, Lines, loadFailed_);
  LastAccess = GetTickCount();
  return loaded;
}

bool TIdentities::SaveToFile() {
  bool saved = SaveLineFile(kIdentitiesFile, kIdentitiesMagic, crypt_, Lines, loadFailed_);
  if (saved) LastAccess = GetTickCount();
  return saved;
}

std::u16string TIdentities::GetName(int index) const {
  if (index < 0 || index >= Lines.Count()) return {};
  std::u16string name = Lines.Names(index);
  if (!name.empty() && name.front() == u'#') name.erase(0, 1);
  return name;
}

std::u16string TIdentities::NameOfFile(std::u16string_view fileNo) const {
  int index = IndexOfFile(fileNo);
  return index < 0 ? std::u16string() : Lines.Names(index);
}

std::u16string TIdentities::FileNo(int index) const {
  return index < 0 || index >= Lines.Count() ? std::u16string() : FileNoOf(Lines.Strings(index));
}

void TIdentities::Rename(std::u16string_view fileNo, std::u16string_view newName) {
  int index = IndexOfFile(fileNo);
  if (index < 0) return;
  std::u16string line = Lines.Names(index).starts_with(u'#') ? u"#" : u"";
  line += newName;
  line += u'=';
  line += fileNo;
  Lines.Put(index, line);
}

int TIdentities::IndexOfFile(std::u16string_view fileNo) const {
  for (int i = 0; i < Lines.Count(); ++i) {
    if (FileNoOf(Lines.Strings(i)) == fileNo) return i;
  }
  return -1;
}

// TExperience

bool TExperience::LoadFromFile() {
  return LoadLineFile(kExperienceFile, {kExperienceMagic, kExperienceOtherMagic}, crypt_, Lines, loadFailed_);
}

bool TExperience::SaveToFile() { return SaveLineFile(kExperienceFile, kExperienceMagic, crypt_, Lines, loadFailed_); }

bool TExperience::AddFieldNames(std::u16string_view key, std::u16string_view name, std::u16string_view id) {
  if (key.empty() || (name.empty() && id.empty())) return false;
  const std::u16string keyText(key);
  if (FieldDictionary.IndexOfName(keyText) >= 0) {
    const std::u16string known = FieldDictionary.Values(keyText);
    if ((!name.empty() && known.find(name) != std::u16string::npos) ||
        (!id.empty() && known.find(id) != std::u16string::npos)) {
      return false;
    }
  }
  std::u16string current = Lines.Values(keyText);
  bool added = false;
  for (std::u16string_view part : {name, id}) {
    if (part.empty() || current.find(part) != std::u16string::npos) continue;
    if (!current.empty()) current += u';';
    current += part;
    added = true;
  }
  if (!added) return false;
  int index = Lines.IndexOfName(keyText);
  if (index < 0) {
    Lines.Add(keyText + u"=" + current);
  } else {
    Lines.Put(index, Lines.Names(index) + u"=" + current);
  }
  return true;
}

void TExperience::FillFieldMap(TUniStringList* target) const {
  if (target == nullptr) return;
  AddNamesOf(FieldDictionary, *target);
  AddNamesOf(Lines, *target);
}

// Module operations

std::u16string IdentityFileNo(unsigned n) {
  char text[16];
  std::snprintf(text, sizeof text, "%03X", n);
  return platform::AnsiToWide(text);
}

std::string IdentityFilePath(std::u16string_view fileNo) {
  return DataFolder + "ident" + platform::WideToAnsi(fileNo) + ".pxd";
}

bool CreateIdentityFile(std::u16string_view name, std::u16string_view password, std::u16string& fileNo) {
  fileNo.clear();
  if (!Identities || DataFolder.empty() || !IsValidIdentityName(name)) return false;
  unsigned n = 0;
  std::u16string candidate = IdentityFileNo(n);
  while (GetFileAttributesA(IdentityFilePath(candidate).c_str()) != INVALID_FILE_ATTRIBUTES) {
    candidate = IdentityFileNo(++n);
  }
  TIdentity identity(IdentityFilePath(candidate));
  if (!password.empty()) {
    identity.CheckText = MakePasswordCheck(password, TCheckDomain::Identity);
    if (identity.CheckText.empty()) return false;
  }
  // The file comes first: an index line never names a file that is not there.
  if (!identity.SaveToFile()) return false;
  std::u16string line = password.empty() ? u"" : u"#";
  line += name;
  line += u'=';
  line += candidate;
  int index = Identities->Lines.Add(line);
  if (!Identities->SaveToFile()) {
    Identities->Lines.Delete(index);
    DeleteFileA(identity.FilePath.c_str());
    return false;
  }
  fileNo = candidate;
  return true;
}

void LearnIdentityFieldNames(const TFormFieldList& fields) {
  if (!ActiveIdentity || !Experience) return;
  bool found = false;
  for (const TFormListItem& field : fields) {
    if (field.Value.empty()) continue;
    std::u16string key;
    ActiveIdentity->FindKeyByValue(field.Value, key);
    if (key.empty()) continue;
    found = true;
    Experience->AddFieldNames(key, field.Name, field.ID);
  }
  if (found) Experience->SaveToFile();
}

bool CheckNewIdentityValues(const TFormFieldList& fields, bool store) {
  if (!ActiveIdentity || !Experience) return false;
  bool lacking = false;
  for (const TFormListItem& field : fields) {
    if (field.IdentKey.empty() || field.Value.empty() || !TIdentity::IsSimpleKey(field.IdentKey)) continue;
    if (!ActiveIdentity->GetValue(field.IdentKey).empty()) continue;
    lacking = true;
    if (!store) break;
    ActiveIdentity->SetValue(field.IdentKey, field.Value);
  }
  if (store && lacking) ActiveIdentity->SaveToFile();
  return lacking;
}
