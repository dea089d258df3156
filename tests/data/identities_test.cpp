#include "data/identities.h"

#include <gtest/gtest.h>

#include "data/data_items.h"
#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/list_fixture.h"
#include "data/password_key.h"
#include "platform/base/text.h"

namespace {

class IdentitiesTest : public ListTest {
 protected:
  void SetUp() override {
    ListTest::SetUp();
    LoadDataResourceLists(ReadDataResource);
    Identities = std::make_unique<TIdentities>();
    Experience = std::make_unique<TExperience>();
  }
  void TearDown() override {
    Identities.reset();
    Experience.reset();
    ActiveIdentity.reset();
    ClearDataResourceLists();
    ListTest::TearDown();
  }

  // Creates an identity with values and answers its file number.
  std::u16string MakeIdentity(std::u16string name, std::u16string password,
                              std::initializer_list<std::pair<std::u16string, std::u16string>> values) {
    std::u16string fileNo;
    EXPECT_TRUE(CreateIdentityFile(name, password, fileNo));
    TIdentity identity(IdentityFilePath(fileNo));
    EXPECT_TRUE(identity.LoadFromFile(password));
    for (const auto& [key, value] : values) identity.SetValue(key, value);
    EXPECT_TRUE(identity.SaveToFile());
    return fileNo;
  }

  static TFormListItem Keyed(std::u16string name, std::u16string key, std::u16string value) {
    TFormListItem field = Field(std::move(name), u"", std::move(value));
    field.IdentKey = std::move(key);
    return field;
  }
};

TEST_F(IdentitiesTest, IdentityFilesOpenWithTheirPasswordOnly) {
  std::u16string open = MakeIdentity(u"Home", u"", {{u"firstname", u"Ann"}});
  std::u16string guarded = MakeIdentity(u"Work", u"S3cret", {{u"EMAIL", u"ann@work.example"}});
  EXPECT_EQ(open, u"000");
  EXPECT_EQ(guarded, u"001");
  EXPECT_EQ(Identities->Lines.Strings(0), u"Home=000");
  EXPECT_EQ(Identities->Lines.Strings(1), u"#Work=001");

  struct Case {
    std::u16string fileNo;
    std::u16string password;
    bool opens;
    std::u16string key;
    std::u16string value;
  };
  const Case cases[] = {
      {open, u"", true, u"FirstName", u"Ann"},
      {open, u"anything", true, u"FIRSTNAME", u"Ann"},
      {guarded, u"S3cret", true, u"email", u"ann@work.example"},
      {guarded, u"s3cret", false, u"email", u""},
      {guarded, u"", false, u"email", u""},
      {guarded, u"S3cret ", false, u"email", u""},
      {u"002", u"", false, u"email", u""},
  };
  for (const Case& c : cases) {
    TIdentity identity(IdentityFilePath(c.fileNo));
    EXPECT_EQ(identity.LoadFromFile(c.password), c.opens) << platform::WideToAnsi(c.password);
    EXPECT_EQ(identity.GetValue(c.key), c.value);
    if (!c.opens) {
      EXPECT_EQ(identity.Values.Count(), 0);
      // An identity that did not open never writes over its file.
      std::string before = pellix_test::ReadBytes(identity.FilePath);
      identity.SetValue(u"EMAIL", u"x");
      EXPECT_FALSE(identity.SaveToFile());
      EXPECT_EQ(pellix_test::ReadBytes(identity.FilePath), before);
    }
  }
}

// An identity's check has its own salt and domain: it is not the master check of the
// same password, and a master check put in its place does not open it. A wrong
// password is no damaged file: nobody is told the list cannot be read.
TEST_F(IdentitiesTest, IdentityChecksAreSaltedAndApartFromTheMasterCheck) {
  RecordingNotice notice;
  InstallListNotice(&notice);
  const std::u16string fileNo = MakeIdentity(u"Work", u"Shared pw", {{u"EMAIL", u"ann@work.example"}});
  TIdentity identity(IdentityFilePath(fileNo));
  ASSERT_TRUE(identity.LoadFromFile(u"Shared pw"));
  const std::string master = MakePasswordCheck(u"Shared pw", TCheckDomain::Master);
  EXPECT_NE(identity.CheckText, master);
  EXPECT_TRUE(PasswordCheckMatches(u"Shared pw", identity.CheckText, TCheckDomain::Identity));
  EXPECT_FALSE(identity.LoadFromFile(u"Wrong pw"));
  // Written through a second object: the one whose load failed never saves.
  TIdentity forged(identity.FilePath);
  ASSERT_TRUE(forged.LoadFromFile(u"Shared pw"));
  forged.CheckText = master;
  ASSERT_TRUE(forged.SaveToFile());
  EXPECT_FALSE(TIdentity(identity.FilePath).LoadFromFile(u"Shared pw"));
  InstallListNotice(nullptr);
  EXPECT_TRUE(notice.texts.empty());
}

TEST_F(IdentitiesTest, ValuesAreSetReplacedAndRemovedByUpperCaseKey) {
  TIdentity identity(PathOf("identX.pxd"));
  identity.SetValue(u"firstname", u"Ann");
  identity.SetValue(u"City", u"Bern");
  EXPECT_EQ(identity.Values.Strings(0), u"FIRSTNAME=Ann");
  identity.SetValue(u"FIRSTNAME", u"Anna");
  EXPECT_EQ(identity.GetValue(u"firstName"), u"Anna");
  identity.SetValue(u"city", u"");
  EXPECT_EQ(identity.Values.Count(), 1);
  std::u16string key = u"stale";
  identity.FindKeyByValue(u"Anna", key);
  EXPECT_EQ(key, u"FIRSTNAME");
  identity.FindKeyByValue(u"anna", key);
  EXPECT_EQ(key, u"");
  for (std::u16string_view composite : {u"NAME", u"birthdate", u"SSN", u"Phone", u"CCEXPDATE", u"CCVALID", u"VALUE"}) {
    EXPECT_FALSE(TIdentity::IsSimpleKey(composite));
  }
  for (std::u16string_view simple : {u"PHONE1", u"FIRSTNAME", u"CCEXPDATE_MONTH", u""}) {
    EXPECT_TRUE(TIdentity::IsSimpleKey(simple));
  }
}

TEST_F(IdentitiesTest, DamagedIdentityFilesOpenNothingAndStayAsTheyWere) {
  std::u16string fileNo = MakeIdentity(u"Home", u"", {{u"FIRSTNAME", u"Ann"}, {u"CITY", u"Bern"}});
  const std::string path = IdentityFilePath(fileNo);
  const std::string good = pellix_test::ReadBytes(path);
  std::string foreignMagic = good;
  foreignMagic[2] = '\x1B';
  std::string hugeCount = good;
  // The line count follows the magic and the length-prefixed check text.
  const std::size_t countAt = 8 + static_cast<unsigned char>(good[4]) + 256u * static_cast<unsigned char>(good[5]);
  hugeCount.replace(countAt, 4, std::string("\xFF\xFF\xFF\x7F", 4));
  std::string flipped = good;
  flipped[good.size() - 3] ^= 0x01;
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"foreign magic", foreignMagic},
      {"cut in the check text", good.substr(0, 20)},
      {"huge line count", hugeCount},
      {"last line cut", good.substr(0, good.size() - 1)},
      {"last line damaged", flipped},
  };
  for (const auto& [what, bytes] : cases) {
    pellix_test::WriteBytes(path, bytes);
    TIdentity identity(path);
    EXPECT_FALSE(identity.LoadFromFile(u"")) << what;
    EXPECT_EQ(identity.Values.Count(), 0) << what;
    EXPECT_FALSE(identity.SaveToFile()) << what;
    EXPECT_EQ(pellix_test::ReadBytes(path), bytes) << what;
  }
}

TEST_F(IdentitiesTest, FileNumbersAreHexadecimalWithAtLeastThreeDigits) {
  const std::pair<unsigned, std::u16string_view> cases[] = {
      {0, u"000"}, {10, u"00A"}, {255, u"0FF"}, {4095, u"FFF"}, {4096, u"1000"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(IdentityFileNo(n), text);
  // The first free number is taken, also when files were made by others.
  pellix_test::WriteBytes(PathOf("ident000.pxd"), "x");
  pellix_test::WriteBytes(PathOf("ident001.pxd"), "x");
  std::u16string fileNo;
  ASSERT_TRUE(CreateIdentityFile(u"Third", u"", fileNo));
  EXPECT_EQ(fileNo, u"002");
  EXPECT_EQ(Identities->IndexOfFile(u"002"), 0);
  EXPECT_EQ(Identities->IndexOfFile(u"001"), -1);
}

TEST_F(IdentitiesTest, CreateRefusesNamesThatBreakTheIndexAndFailsWhenNothingCanBeSaved) {
  for (std::u16string_view bad : {u"", u"a=b", u"#Work", u"two\r\nlines", u"line\n", u"cr\r"}) {
    std::u16string fileNo = u"x";
    EXPECT_FALSE(CreateIdentityFile(bad, u"", fileNo));
    EXPECT_EQ(fileNo, u"");
  }
  EXPECT_FALSE(Exists("ident000.pxd"));
  EXPECT_FALSE(Exists(kIdentitiesFile));

  // The index cannot be saved: no identity file is left behind and the index keeps no line.
  std::filesystem::create_directory(PathOf(std::string(kIdentitiesFile) + ".tmp"));
  std::u16string fileNo;
  EXPECT_FALSE(CreateIdentityFile(u"Home", u"", fileNo));
  EXPECT_EQ(Identities->Lines.Count(), 0);
  EXPECT_FALSE(Exists("ident000.pxd"));
  std::filesystem::remove(PathOf(std::string(kIdentitiesFile) + ".tmp"));

  // The identity file cannot be saved: nothing is listed.
  std::filesystem::create_directory(PathOf("ident000.pxd.tmp"));
  EXPECT_FALSE(CreateIdentityFile(u"Home", u"", fileNo));
  EXPECT_EQ(Identities->Lines.Count(), 0);
  EXPECT_FALSE(Exists(kIdentitiesFile));
}

TEST_F(IdentitiesTest, TheIndexNamesRenamesAndSurvivesALoad) {
  MakeIdentity(u"Home", u"", {});
  MakeIdentity(u"Work", u"pw", {});
  Identities->Rename(u"001", u"Office");
  Identities->Rename(u"009", u"Nobody");
  EXPECT_EQ(Identities->GetName(1), u"Office");
  EXPECT_EQ(Identities->NameOfFile(u"001"), u"#Office");
  EXPECT_EQ(Identities->GetName(2), u"");
  EXPECT_EQ(Identities->GetName(-1), u"");
  ASSERT_TRUE(Identities->SaveToFile());

  TIdentities loaded;
  ASSERT_TRUE(loaded.LoadFromFile());
  EXPECT_EQ(loaded.Lines.Text(), u"Home=000\r\n#Office=001\r\n");
  // A damaged index adds nothing and is not written over.
  std::string good = FileBytes(kIdentitiesFile);
  pellix_test::WriteBytes(PathOf(kIdentitiesFile), good.substr(0, good.size() - 2));
  TIdentities damaged;
  EXPECT_FALSE(damaged.LoadFromFile());
  EXPECT_EQ(damaged.Lines.Count(), 0);
  damaged.Lines.Add(u"New=005");
  EXPECT_FALSE(damaged.SaveToFile());
}

TEST_F(IdentitiesTest, ExperienceIsWrittenWithTheIndexMagicAndReadWithEither) {
  Experience->Lines.Add(u"EMAIL=contact_mail");
  ASSERT_TRUE(Experience->SaveToFile());
  std::string bytes = FileBytes(kExperienceFile);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x46\x46\xDE\x01", 4));
  const std::pair<std::string, bool> cases[] = {{std::string("\x46\x46\xDE\x01", 4), true},
                                                {std::string("\x46\x46\xE4\x0F", 4), true},
                                                {std::string("\x46\x46\xDA\x01", 4), false}};
  for (const auto& [magic, known] : cases) {
    pellix_test::WriteBytes(PathOf(kExperienceFile), magic + bytes.substr(4));
    TExperience loaded;
    EXPECT_EQ(loaded.LoadFromFile(), known);
    EXPECT_EQ(loaded.Lines.Count(), known ? 1 : 0);
  }
}

TEST_F(IdentitiesTest, AddFieldNamesLearnsOnlyWhatNeitherTheDictionaryNorTheListKnows) {
  struct Case {
    std::u16string_view key, name, id;
    bool added;
    std::u16string_view line;  // the key's experience line afterwards
  };
  const Case cases[] = {
      {u"EMAIL", u"mail", u"", false, u""},
      {u"EMAIL", u"contact_mail", u"", true, u"contact_mail"},
      {u"EMAIL", u"contact_mail", u"", false, u"contact_mail"},
      {u"EMAIL", u"", u"em2", true, u"contact_mail;em2"},
      {u"EMAIL", u"Contact_Mail", u"em2", true, u"contact_mail;em2;Contact_Mail"},
      {u"EMAIL", u"", u"", false, u"contact_mail;em2;Contact_Mail"},
      {u"", u"x", u"y", false, u""},
      {u"PAGER", u"beeper", u"pgr", true, u"beeper;pgr"},
      {u"CITY", u"town_name", u"city", false, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Experience->AddFieldNames(c.key, c.name, c.id), c.added) << platform::WideToAnsi(c.name);
    if (!c.key.empty()) {
      EXPECT_EQ(Experience->Lines.Values(std::u16string(c.key)), c.line);
    }
  }
}

TEST_F(IdentitiesTest, TheFieldMapHoldsEveryTrimmedNameOfTheDictionaryThenTheExperience) {
  Experience->Lines.Add(u"EMAIL=contact_mail; second ;;last ");
  TUniStringList map;
  Experience->FillFieldMap(&map);
  Experience->FillFieldMap(nullptr);
  struct Case {
    std::u16string_view name;
    std::u16string_view key;
  };
  const Case cases[] = {
      {u"firstname", u"FIRSTNAME"}, {u"first name", u"FIRSTNAME"}, {u"addr 1", u"STREET1"},
      {u"addr 2", u"STREET2"},      {u"ba_routing", u"ROUTNUM"},   {u"bank_acct_account_number", u"ACCNUM"},
      {u"newbankaccountroutingnumber", u"ROUTNUM"}, {u"!name:", u"NAME"}, {u"$email", u"EMAIL"},
      {u"q", u"IGNORE"},           {u"contact_mail", u"EMAIL"},   {u"second", u"EMAIL"},
      {u"last ", u"EMAIL"},
  };
  for (const Case& c : cases) {
    int index = map.IndexOf(std::u16string(c.name) + u"=" + std::u16string(c.key));
    EXPECT_GE(index, 0) << platform::WideToAnsi(c.name);
  }
  EXPECT_LT(map.IndexOf(u"addr 2=STREET1"), 0);
  EXPECT_LT(map.IndexOf(u"ba_routing=ACCNUM"), 0);
  // The dictionary's names come before the learnt ones.
  EXPECT_LT(map.IndexOf(u"firstname=FIRSTNAME"), map.IndexOf(u"contact_mail=EMAIL"));
}

TEST_F(IdentitiesTest, SubmittedFormsTeachFieldNamesAndOfferNewValues) {
  MakeIdentity(u"Home", u"", {{u"EMAIL", u"ann@home.example"}, {u"CITY", u"Bern"}});
  ActiveIdentity = std::make_unique<TIdentity>(IdentityFilePath(u"000"));
  ASSERT_TRUE(ActiveIdentity->LoadFromFile(u""));

  LearnIdentityFieldNames({Field(u"contact_mail", u"cm", u"ann@home.example"), Field(u"other", u"", u"")});
  EXPECT_EQ(Experience->Lines.Values(u"EMAIL"), u"contact_mail;cm");
  TExperience saved;
  ASSERT_TRUE(saved.LoadFromFile());
  EXPECT_EQ(saved.Lines.Values(u"EMAIL"), u"contact_mail;cm");

  const TFormFieldList known = {Keyed(u"email", u"EMAIL", u"other@x.example"), Keyed(u"city", u"CITY", u"Z")};
  EXPECT_FALSE(CheckNewIdentityValues(known, true));
  const TFormFieldList composite = {Keyed(u"phone", u"PHONE", u"123"), Keyed(u"nokey", u"", u"v")};
  EXPECT_FALSE(CheckNewIdentityValues(composite, true));
  const TFormFieldList fresh = {Keyed(u"zip", u"ZIP", u"3000"), Keyed(u"lname", u"lastname", u"Smith")};
  EXPECT_TRUE(CheckNewIdentityValues(fresh, false));
  EXPECT_EQ(ActiveIdentity->GetValue(u"ZIP"), u"");
  EXPECT_TRUE(CheckNewIdentityValues(fresh, true));
  TIdentity reread(IdentityFilePath(u"000"));
  ASSERT_TRUE(reread.LoadFromFile(u""));
  EXPECT_EQ(reread.GetValue(u"zip"), u"3000");
  EXPECT_EQ(reread.GetValue(u"LASTNAME"), u"Smith");
  EXPECT_EQ(reread.GetValue(u"CITY"), u"Bern");
}

}  // namespace
