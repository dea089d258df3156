#include "data/data_startup.h"

#include <mutex>

#include "data/data_globals.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "data/ignore_lists.h"
#include "data/password_key.h"
#include "data/user_keys.h"
#include "platform/base/text.h"
#include "platform/classlib/inifiles.h"
#include "platform/kernel/resources.h"
#include "support/files_folders.h"
#include "support/program_paths.h"
#include "support/registry_access.h"

std::unique_ptr<TConfig> Config;
std::u16string ActiveIdentityNo;
std::atomic<std::int32_t> SecurityLevel{kSecurityExpiring};
std::atomic<std::int32_t> SecurityExpires{60};
std::atomic<double> UnlockTime{0};
std::string MasterCrypt;
std::atomic<bool> HasIdentities{false};
bool StandAloneData = false;
support::TCriticalSection DataLock;
std::unique_ptr<TWideCrypt> DefaultCrypt;
TResourceReader DataResourceReader = ReadDataResource;

namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// Makes and loads a list only when it does not exist yet.
template <typename List>
void EnsureLoaded(std::unique_ptr<List>& list) {
  if (list) return;
  list = std::make_unique<List>();
  list->LoadFromFile();
}

bool ReadNumber(const TWideCrypt& bag, std::u16string_view name, std::int32_t& value) {
  return TryStrToInt(platform::WideToAnsi(bag.GetValue(name)), value);
}

}  // namespace

std::optional<std::string> ReadDataResource(const char* name) {
  HRSRC resource = FindResourceA(platform::kProgramInstance, name, RT_RCDATA);
  HGLOBAL data = resource == 0 ? nullptr : LoadResource(platform::kProgramInstance, resource);
  if (data == nullptr) return std::nullopt;
  const char* bytes = static_cast<const char*>(LockResource(data));
  return std::string(bytes, SizeofResource(platform::kProgramInstance, resource));
}

void SetDataFolder(bool standAlone) {
  if (standAlone) {
    const std::string folder = StandAloneFolder();
    DataFolder = folder.empty() ? std::string() : folder + kDataFolderName;
    Config = std::make_unique<TConfig>(kConfigIni, "");
  } else {
    const std::string appData = WithSeparator(AppDataDir());
    DataFolder = appData.empty() ? std::string() : appData + kDataFolderName;
    Config = std::make_unique<TConfig>(kConfigServer, "");
  }
}

void InitData(bool standAlone) {
  StandAloneData = standAlone;
  SetDataFolder(standAlone);
  // Without the user's keys no list may be read or written: keys made anew would not
  // read what is stored.
  if (!UserKeys()) DataFolder.clear();
  if (!DataFolder.empty()) ForceDirectoriesEx(DataFolder, false);

  Config->ReadString(u"IDENTITY", ActiveIdentityNo);
  std::int32_t level = SecurityLevel;
  std::int32_t expires = SecurityExpires;
  Config->ReadIntDef(u"SECURITY_LEVEL", level);
  Config->ReadIntDef(u"SECURITY_EXPIRES", expires);
  SecurityLevel = level;
  SecurityExpires = expires;

  DefaultCrypt = std::make_unique<TWideCrypt>(true);
  CreateFixedCrypt();
  LoadDataResourceLists(DataResourceReader);

  Identities = std::make_unique<TIdentities>();
  Identities->LoadFromFile();
  Experience = std::make_unique<TExperience>();
  Experience->LoadFromFile();

  HasIdentities = Identities->Lines.Count() > 0;
  if (HasIdentities) LoadAllData(ActiveIdentityNo, u"");
}

bool LoadAllData(std::u16string_view fileNo, std::u16string_view password) {
  if (fileNo.empty() || DataFolder.empty()) return false;
  std::scoped_lock hold(DataLock);
  auto identity = std::make_unique<TIdentity>(IdentityFilePath(fileNo));
  bool opened = IsExistingFile(identity->FilePath) && identity->LoadFromFile(password);
  if (opened) {
    ActiveIdentity = std::move(identity);
    EnsureLoaded(HistoryList);
    EnsureLoaded(BookmarkList);
    EnsureLoaded(PasswordList);
    EnsureLoaded(VaultList);
    EnsureLoaded(IgnoreList);
    if (!InternalIgnoreList) InternalIgnoreList = std::make_unique<TInternalIgnoreList>(DataResourceReader);
    ActiveIdentityNo = fileNo;
  }
  return opened;
}

void FinalizeData() {
  {
    std::scoped_lock hold(DataLock);
    ActiveIdentity.reset();
    HistoryList.reset();
    BookmarkList.reset();
    PasswordList.reset();
    VaultList.reset();
    IgnoreList.reset();
    InternalIgnoreList.reset();
    Identities.reset();
    Experience.reset();
  }
  ClearDataResourceLists();
  DefaultCrypt.reset();
  FixedCrypt.reset();
  Config.reset();
  ActiveIdentityNo.clear();
  DataFolder.clear();
  MasterCrypt.clear();
  UnlockTime = 0;
  HasIdentities = false;
  SecurityLevel = kSecurityExpiring;
  SecurityExpires = 60;
}

std::string MakeSecurityRecord(std::u16string_view masterPassword, std::int32_t level, std::int32_t expires) {
  std::string masterCrypt = MakePasswordCheck(masterPassword, TCheckDomain::Master);
  if (masterCrypt.empty()) return {};
  TWideCrypt record(true);
  record.SetValue(u"MASTER_CRYPT", platform::AnsiToWide(masterCrypt));
  record.SetValue(u"SECURITY_LEVEL", platform::AnsiToWide(std::to_string(level)));
  record.SetValue(u"SECURITY_EXPIRES", platform::AnsiToWide(std::to_string(expires)));
  return record.Encode();
}

bool ApplySecurityRecord(std::string_view text) {
  if (text.empty()) return false;
  TWideCrypt record(true);
  std::int32_t level = 0;
  std::int32_t expires = 0;
  if (!record.Decode(text) || !ReadNumber(record, u"SECURITY_LEVEL", level) ||
      !ReadNumber(record, u"SECURITY_EXPIRES", expires)) {
    SecurityLevel = kSecurityCorrupted;
    return false;
  }
  MasterCrypt = platform::WideToAnsi(record.GetValue(u"MASTER_CRYPT"));
  SecurityLevel = level;
  SecurityExpires = expires;
  return true;
}

bool LoadSecuritySettings(bool standAlone) {
  std::string text;
  if (standAlone) {
    TConfig settings(kConfigIni, "");
    std::u16string value;
    settings.ReadString(u"SECURITY", value);
    text = platform::WideToAnsi(value);
  } else {
    std::string key = HostPluginKey;
    if (!key.empty() && key.back() == '\\') key.pop_back();
    RegReadString(HKEY_CURRENT_USER, key, "SECURITY", text);
  }
  return ApplySecurityRecord(text);
}
