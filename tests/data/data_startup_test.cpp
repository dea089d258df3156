#include "data/data_startup.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "data/ignore_lists.h"
#include "data/password_key.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/host/host_stand_in.h"
#include "support/files_folders.h"
#include "support/registry_access.h"

namespace {

using namespace platform::host;

class DataStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    // Each test starts from an empty data folder and settings store.
    std::filesystem::remove_all(DataPath(""));
    RegDeleteKeyTree(HKEY_CURRENT_USER, "Software\\Quindle");
    ASSERT_TRUE(InstallHost());
    DataResourceReader = [this](const char* name) {
      read_.push_back(name);
      return ReadDataResource(name);
    };
  }
  void TearDown() override {
    FinalizeData();
    UninstallHost();
    platform::faults::ClearAll();
    CoUninitialize();
  }

  // A data folder with two identities (Home open, Work guarded by "pw"), a form in the
  // history, and the settings naming Home as active, left behind by a first run.
  void Populate() {
    InitData(false);
    std::u16string home;
    std::u16string work;
    ASSERT_TRUE(CreateIdentityFile(u"Home", u"", home));
    ASSERT_TRUE(CreateIdentityFile(u"Work", u"pw", work));
    ASSERT_TRUE(LoadAllData(home, u""));
    auto* form = static_cast<TFormItem*>(HistoryList->Add(std::make_unique<TFormItem>(HistoryList.get())));
    form->SetURL(u"https://shop.example/");
    ASSERT_TRUE(HistoryList->SaveToFile());
    ASSERT_TRUE(Config->WriteString(u"IDENTITY", home));
    ASSERT_TRUE(Config->WriteInteger(u"SECURITY_LEVEL", 3));
    FinalizeData();
    read_.clear();
  }

  static std::string DataPath(const std::string& name) {
    return AppDataDir() + (AppDataDir().back() == '/' ? "" : "/") + "PXData/" + name;
  }

  std::vector<std::string> read_;
};

const std::vector<std::string> kResourceOrder = {"FF_DEFAULT", "FF_REQUIRED", "FF_CCARD", "FF_COUNTRIES",
                                                 "FF_STATES",  "FF_SEX",      "FF_TITLE"};

TEST_F(DataStartupTest, FromAnEmptyStateRootOnlyTheDictionariesAndTheIndexExist) {
  InitData(false);
  EXPECT_EQ(DataFolder, DataPath(""));
  EXPECT_TRUE(IsExistingDir(DataFolder));
  EXPECT_EQ(Config->Mode, kConfigServer);
  EXPECT_EQ(read_, kResourceOrder);
  EXPECT_GT(FieldDictionary.Count(), 70);
  EXPECT_GT(IgnoredFieldNames.Count(), 10);
  EXPECT_TRUE(Identities && Experience && DefaultCrypt && FixedCrypt);
  EXPECT_FALSE(HasIdentities);
  EXPECT_FALSE(ActiveIdentity || HistoryList || BookmarkList || PasswordList || VaultList || IgnoreList ||
               InternalIgnoreList);
  EXPECT_EQ(ActiveIdentityNo, u"");
  EXPECT_EQ(SecurityLevel, kSecurityExpiring);
  EXPECT_EQ(SecurityExpires, 60);
}

TEST_F(DataStartupTest, FromAPopulatedStateRootTheActiveIdentityAndEveryListAreLoaded) {
  Populate();
  InitData(false);
  std::vector<std::string> expected = kResourceOrder;
  expected.push_back("INTERNALIGNORELIST");
  EXPECT_EQ(read_, expected);
  EXPECT_TRUE(HasIdentities);
  EXPECT_EQ(ActiveIdentityNo, u"000");
  ASSERT_TRUE(ActiveIdentity);
  EXPECT_EQ(ActiveIdentity->FilePath, IdentityFilePath(u"000"));
  EXPECT_EQ(SecurityLevel, kSecurityAlways);
  ASSERT_TRUE(HistoryList && BookmarkList && PasswordList && VaultList && IgnoreList && InternalIgnoreList);
  EXPECT_EQ(HistoryList->Count(), 1);
  EXPECT_TRUE(InternalIgnoreList->Contains(u"https://www.google.com/"));

  // A second identity keeps the lists that are loaded; a wrong password keeps the first.
  TDataItems* history = HistoryList.get();
  TIdentity* home = ActiveIdentity.get();
  EXPECT_FALSE(LoadAllData(u"001", u"PW"));
  EXPECT_FALSE(LoadAllData(u"001", u""));
  EXPECT_FALSE(LoadAllData(u"00F", u""));
  EXPECT_EQ(ActiveIdentity.get(), home);
  EXPECT_EQ(ActiveIdentityNo, u"000");
  ASSERT_TRUE(LoadAllData(u"001", u"pw"));
  EXPECT_EQ(ActiveIdentityNo, u"001");
  EXPECT_EQ(HistoryList.get(), history);
  EXPECT_EQ(HistoryList->Count(), 1);
}

TEST_F(DataStartupTest, AGuardedActiveIdentityStaysClosedAndLoadsNoList) {
  Populate();
  {
    TConfig settings(kConfigServer, "");
    ASSERT_TRUE(settings.WriteString(u"IDENTITY", u"001"));
  }
  InitData(false);
  EXPECT_TRUE(HasIdentities);
  EXPECT_FALSE(ActiveIdentity);
  EXPECT_FALSE(HistoryList);
  EXPECT_EQ(ActiveIdentityNo, u"001");
  ASSERT_TRUE(LoadAllData(u"001", u"pw"));
  EXPECT_EQ(HistoryList->Count(), 1);
}

TEST_F(DataStartupTest, ADamagedListAtStartIsEmptyAndNeverWrittenOver) {
  Populate();
  const std::string path = DataPath(kHistoryFile);
  std::string bytes = pellix_test::ReadBytes(path);
  bytes.resize(bytes.size() - 1);
  pellix_test::WriteBytes(path, bytes);
  InitData(false);
  ASSERT_TRUE(HistoryList);
  EXPECT_EQ(HistoryList->Count(), 0);
  EXPECT_TRUE(HistoryList->LoadFailed());
  EXPECT_FALSE(HistoryList->SaveToFile());
  EXPECT_EQ(pellix_test::ReadBytes(path), bytes);
}

TEST_F(DataStartupTest, TheSecurityRecordRoundTripsThroughTheHostStore) {
  InitData(false);
  EXPECT_EQ(MakeSecurityRecord(u"", 1, 5), "");
  std::string record = MakeSecurityRecord(u"Master pw", 3, 15);
  ASSERT_FALSE(record.empty());
  ASSERT_TRUE(Config->WriteString(u"SECURITY", platform::AnsiToWide(record), true));

  EXPECT_TRUE(LoadSecuritySettings(false));
  EXPECT_EQ(SecurityLevel, kSecurityAlways);
  EXPECT_EQ(SecurityExpires, 15);
  EXPECT_TRUE(MasterPasswordMatches(u"Master pw", MasterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"master pw", MasterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"", MasterCrypt));
}

// Two installs given one master password keep different records (their own keys and
// salts), and each accepts the password.
TEST_F(DataStartupTest, TwoInstallsOfOnePasswordHaveRecordsOfTheirOwnThatBothAcceptIt) {
  const std::string home = std::getenv("PELLIX_HOME");
  pellix_test::TempDir installs[2];
  std::string records[2];
  std::string checks[2];
  for (int i = 0; i < 2; ++i) {
    setenv("PELLIX_HOME", installs[i].path().c_str(), 1);
    records[i] = MakeSecurityRecord(u"One pw", kSecurityOnce, 30);
    ASSERT_TRUE(ApplySecurityRecord(records[i]));
    checks[i] = MasterCrypt;
  }
  EXPECT_NE(records[0], records[1]);
  EXPECT_NE(checks[0], checks[1]);
  for (int i = 0; i < 2; ++i) {
    setenv("PELLIX_HOME", installs[i].path().c_str(), 1);
    ASSERT_TRUE(ApplySecurityRecord(records[i]));
    EXPECT_TRUE(MasterPasswordMatches(u"One pw", MasterCrypt));
    EXPECT_FALSE(MasterPasswordMatches(u"One pW", MasterCrypt));
    // One install's record is not read with the other's keys.
    setenv("PELLIX_HOME", installs[1 - i].path().c_str(), 1);
    EXPECT_FALSE(ApplySecurityRecord(records[i]));
  }
  setenv("PELLIX_HOME", home.c_str(), 1);
}

TEST_F(DataStartupTest, ADamagedSecurityRecordGivesLevel99AndNoRecordChangesNothing) {
  std::string record = MakeSecurityRecord(u"Master pw", 1, 30);
  std::string flipped = record;
  flipped[flipped.size() / 2] = flipped[flipped.size() / 2] == 'A' ? 'B' : 'A';
  TWideCrypt bag(true);
  bag.SetValue(u"MASTER_CRYPT", u"x");
  bag.SetValue(u"SECURITY_LEVEL", u"high");
  bag.SetValue(u"SECURITY_EXPIRES", u"5");
  const std::string notANumber = bag.Encode();
  for (const std::string& damaged : {flipped, record.substr(0, record.size() - 4), std::string("garbage"),
                                     notANumber}) {
    SecurityLevel = kSecurityOnce;
    EXPECT_FALSE(ApplySecurityRecord(damaged));
    EXPECT_EQ(SecurityLevel, kSecurityCorrupted);
  }
  SecurityLevel = kSecurityOnce;
  EXPECT_FALSE(ApplySecurityRecord(""));
  EXPECT_EQ(SecurityLevel, kSecurityOnce);
  // Read from where the start-up reads it: garbage in the host's store is level 99.
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "Software\\Quindle\\PlugIns\\PELLIX", "SECURITY", "garbage"));
  EXPECT_FALSE(LoadSecuritySettings(false));
  EXPECT_EQ(SecurityLevel, kSecurityCorrupted);
}

}  // namespace
