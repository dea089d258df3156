#include "data/form_items.h"

#include <gtest/gtest.h>

#include <functional>

#include "data/list_fixture.h"

namespace {

using FormItemsTest = ListTest;

std::vector<std::u16string> Describe(const TFormItem& item) {
  std::vector<std::u16string> out;
  for (int i = 0; i < item.FieldCount(); ++i) {
    const TFormListItem* f = item.GetField(i);
    out.push_back(f->Name + u"/" + f->ID + u"=" + f->Value + (f->Generated ? u"*" : u""));
  }
  return out;
}

TEST_F(FormItemsTest, FieldListsSurviveEncodingWithLineBreaksAndMarkers) {
  THistoryItems list;
  TFormItem* item = AddForm<TFormItem>(list, u"http://a/");
  const TFormFieldList fields = {
      Field(u"note", u"n", u"one\r\n\r\ntwo"), Field(u"pw", u"p", u"s3cr\u00e9t", true),
      Field(u"", u"", u""), Field(u"lf", u"l", u"\nx\r"), Field(u"emoji", u"e", u"\U0001F600"),
  };
  item->AddFields(fields);
  item->EncodeFields();
  EXPECT_FALSE(item->HasFields());
  EXPECT_FALSE(item->Data().empty());
  item->DecodeFields();
  EXPECT_EQ(Describe(*item), (std::vector<std::u16string>{u"note/n=one\r\n\r\ntwo", u"pw/p=s3cr\u00e9t*",
                                                           u"/=", u"lf/l=\nx\r", u"emoji/e=\U0001F600"}));
  EXPECT_EQ(item->GetField(5), nullptr);
  EXPECT_EQ(item->GetField(-1), nullptr);
}

TEST_F(FormItemsTest, MergeAddsNewFieldsAndUpdatesMatchingOnes) {
  THistoryItems list;
  TFormItem* item = AddForm<TFormItem>(list, u"http://a/");
  item->AddFields({Field(u"a", u"1", u"A"), Field(u"b", u"2", u"B")});
  item->EncodeFields();
  // Merging into fields still held only in DATA must not drop them.
  item->MergeFields({Field(u"b", u"2", u"B2"), Field(u"c", u"3", u"C"), Field(u"a", u"x", u"other id")});
  EXPECT_EQ(Describe(*item),
            (std::vector<std::u16string>{u"a/1=A", u"b/2=B2", u"c/3=C", u"a/x=other id"}));
}

TEST_F(FormItemsTest, SameFieldValuesComparesByNameAndId) {
  THistoryItems list;
  TFormItem* item = AddForm<TFormItem>(list, u"http://a/");
  const TFormFieldList empty;
  EXPECT_FALSE(item->SameFieldValues(&empty));  // no decoded fields yet
  item->AddFields({Field(u"a", u"1", u"A"), Field(u"b", u"2", u"B")});
  struct Case {
    const char* what;
    TFormFieldList submitted;
    bool same;
  };
  const Case cases[] = {
      {"empty list", {}, true},
      {"all equal", {Field(u"b", u"2", u"B"), Field(u"a", u"1", u"A")}, true},
      {"subset", {Field(u"a", u"1", u"A")}, true},
      {"one value differs", {Field(u"a", u"1", u"A"), Field(u"b", u"2", u"b")}, false},
      {"one extra field", {Field(u"a", u"1", u"A"), Field(u"c", u"3", u"C")}, false},
      {"same name other id", {Field(u"a", u"9", u"A")}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(item->SameFieldValues(&c.submitted), c.same) << c.what;
  EXPECT_FALSE(item->SameFieldValues(nullptr));
}

// Changing the field list or DATA drops the cached record, so the next save stores
// the fields as they are now.
TEST_F(FormItemsTest, FieldChangesReachTheNextSave) {
  struct Case {
    const char* what;
    std::function<void(TFormItem&)> change;
    std::vector<std::u16string> stored;
  };
  const Case cases[] = {
      {"add a field", [](TFormItem& i) { i.AddField(Field(u"b", u"2", u"B")); }, {u"a/1=A", u"b/2=B"}},
      {"merge a value", [](TFormItem& i) { i.MergeFields({Field(u"a", u"1", u"new")}); }, {u"a/1=new"}},
      {"merge then encode",
       [](TFormItem& i) {
         i.MergeFields({Field(u"a", u"1", u"n")});
         i.EncodeFields();
       },
       {u"a/1=n"}},
      {"decode only", [](TFormItem& i) { i.DecodeFields(); }, {u"a/1=A"}},
  };
  for (const Case& c : cases) {
    {
      THistoryItems list;
      TFormItem* item = AddForm<TFormItem>(list, u"http://a/");
      item->AddField(Field(u"a", u"1", u"A"));
      item->EncodeFields();
      ASSERT_TRUE(list.SaveToFile());
    }
    {
      THistoryItems list;
      ASSERT_TRUE(list.LoadFromFile());
      c.change(*list.Form(0));
      ASSERT_TRUE(list.SaveToFile()) << c.what;
    }
    THistoryItems list;
    ASSERT_TRUE(list.LoadFromFile());
    list.Form(0)->DecodeFields();
    EXPECT_EQ(Describe(*list.Form(0)), c.stored) << c.what;
  }
}

TEST_F(FormItemsTest, EncodingZeroFieldsEmptiesDataAndTheCachedRecord) {
  THistoryItems list;
  TFormItem* item = AddForm<TFormItem>(list, u"http://a/");
  item->AddField(Field(u"a", u"1", u"A"));
  ASSERT_TRUE(list.SaveToFile());
  ASSERT_FALSE(item->RecordText.empty());
  FixedCrypt->SetKey(u"a key that cannot read the fields");
  item->DecodeFields();
  EXPECT_EQ(item->FieldCount(), 0);
  item->EncodeFields();
  FixedCrypt.reset();
  CreateFixedCrypt();
  EXPECT_EQ(item->Data(), u"");
  EXPECT_EQ(item->RecordText, "");
}

TEST_F(FormItemsTest, WithoutTheFixedKeyFieldsAreKeptAndNotSaved) {
  THistoryItems list;
  TFormItem* item = AddForm<TFormItem>(list, u"http://a/");
  item->AddField(Field(u"a", u"1", u"A"));
  auto saved = std::move(FixedCrypt);
  item->EncodeFields();
  EXPECT_EQ(item->FieldCount(), 1);
  EXPECT_FALSE(list.SaveToFile());
  auto* password = AddForm<TPasswordItem>(list, u"http://a/");
  password->SetPassword(u"pw");
  EXPECT_EQ(password->Data(), u"");
  FixedCrypt = std::move(saved);
  EXPECT_TRUE(list.SaveToFile());
}

TEST_F(FormItemsTest, FindFormMatchesNormalisedAddressesAndExactFormNames) {
  THistoryItems list;
  TFormItem* a = AddForm<TFormItem>(list, u"HTTP://Site.com/shop/index.php?x=1", u"login", u"f1");
  TFormItem* b = AddForm<TFormItem>(list, u"http://site.com/shop/", u"login", u"f1");
  TFormItem* c = AddForm<TFormItem>(list, u"http://site.com/shop/", u"Login", u"f1");
  struct Case {
    std::u16string url, name, id;
    TFormItem* first;
    std::size_t all;
  };
  const Case cases[] = {
      {u"http://site.com/shop/default.asp", u"login", u"f1", a, 2},
      {u"http://SITE.com/shop/", u"Login", u"f1", c, 1},
      {u"http://site.com/shop/", u"login", u"F1", nullptr, 0},
      {u"http://site.com/shop/cart.php", u"login", u"f1", nullptr, 0},
  };
  for (const Case& t : cases) {
    EXPECT_EQ(list.FindForm(t.url, t.name, t.id), t.first);
    std::vector<TFormItem*> found;
    list.FindForms(t.url, t.name, found, t.id);
    EXPECT_EQ(found.size(), t.all);
  }
  (void)b;
}

TEST_F(FormItemsTest, PasswordsAreEncipheredAndFoundByExactAddress) {
  TPasswordItems list;
  auto* item = AddForm<TPasswordItem>(list, u"http://site.com/login");
  item->SetPassword(u"paßword");
  EXPECT_EQ(item->RecordText, "");
  // The enciphered text is random Base64, which can hold "pa" by chance, never "ß".
  EXPECT_EQ(item->Data().find(u"paß"), std::u16string::npos);
  EXPECT_EQ(item->GetPassword(), u"paßword");
  struct Case {
    std::u16string url, password;
    bool found;
  };
  const Case cases[] = {
      {u"http://site.com/login", u"paßword", true},
      {u"http://site.com/login", u"password", false},
      {u"HTTP://site.com/login", u"paßword", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(list.FindByPassword(c.url, u"login", c.password, u"f1") != nullptr, c.found);
  }
}

TEST_F(FormItemsTest, SiteDefaultsAreMarkedOnLoadAndDeleted) {
  {
    TBookmarkItems list;
    AddForm<TBookmarkItem>(list, u"site.com", std::u16string(kSiteDefaultMarker),
                           std::u16string(kSiteDefaultMarker));
    AddForm<TBookmarkItem>(list, u"http://site.com/a");
    AddForm<TBookmarkItem>(list, u"other.com", std::u16string(kSiteDefaultMarker), u"not marker");
    ASSERT_TRUE(list.SaveToFile());
    EXPECT_TRUE(list.Form(0)->SiteDefault);
  }
  TBookmarkItems list;
  ASSERT_TRUE(list.LoadFromFile());
  EXPECT_TRUE(list.Form(0)->SiteDefault);
  EXPECT_FALSE(list.Form(1)->SiteDefault);
  EXPECT_FALSE(list.Form(2)->SiteDefault);
  EXPECT_EQ(list.Form(1)->IntValue, -1);
  list.DeleteSiteDefaults();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Form(0)->URL(), u"http://site.com/a");
}

class PageSearchTest : public ListTest {
 protected:
  void SetUp() override {
    ListTest::SetUp();
    platform::test_clock::Freeze(0, 45000.0);
    VaultList = std::make_unique<TVaultItems>();
    BookmarkList = std::make_unique<TBookmarkItems>();
    PasswordList = std::make_unique<TPasswordItems>();
    HistoryList = std::make_unique<THistoryItems>();
    auto* vault = static_cast<TVaultItem*>(VaultList->Add(std::make_unique<TVaultItem>(nullptr)));
    vault->VaultID = 3;
    vault->SetCaption(u"Work");
    siteDefault = AddForm<TBookmarkItem>(*BookmarkList, u"site.com", std::u16string(kSiteDefaultMarker),
                                         std::u16string(kSiteDefaultMarker));
    siteDefault->AddField(Field(u"d", u"d", u"default"));
    siteDefault->EncodeFields();
    inVault = AddForm<TBookmarkItem>(*BookmarkList, u"http://site.com/work");
    inVault->VaultID = 3;
    inVault->AddField(Field(u"v", u"v", u"vault"));
    inVault->EncodeFields();
    plain = AddForm<TBookmarkItem>(*BookmarkList, u"http://site.com/plain");
    plain->AddField(Field(u"p", u"p", u"plain"));
    plain->EncodeFields();
  }
  void Unlock(double until) {
    TVaultItem* vault = FindVault(3);
    vault->Unlocked = true;
    vault->UnlockExpiry = until;
  }

 public:
  TFormItem* siteDefault = nullptr;
  TFormItem* inVault = nullptr;
  TFormItem* plain = nullptr;
};

TEST_F(PageSearchTest, FindBookmarkForPageHonoursVaultsAndFallsBackToTheSiteDefault) {
  struct Case {
    const char* what;
    std::u16string url;
    bool checkVault;
    double unlockedUntil;  // 0: locked
    TFormItem* PageSearchTest::*expected;
    bool decoded;
  };
  const Case cases[] = {
      {"plain page", u"http://SITE.com/plain?x", true, 0, &PageSearchTest::plain, true},
      {"locked vault", u"http://site.com/work", true, 0, &PageSearchTest::siteDefault, true},
      {"expired vault", u"http://site.com/work", true, 44999.0, &PageSearchTest::siteDefault, true},
      {"unlocked vault", u"http://site.com/work", true, 45001.0, &PageSearchTest::inVault, true},
      {"vault not checked", u"http://site.com/work", false, 0, &PageSearchTest::inVault, false},
      {"unknown page", u"https://Site.com/new/page", true, 0, &PageSearchTest::siteDefault, true},
  };
  for (const Case& c : cases) {
    TVaultItem* vault = FindVault(3);
    vault->Unlocked = c.unlockedUntil != 0;
    vault->UnlockExpiry = c.unlockedUntil;
    for (int i = 0; i < BookmarkList->Count(); ++i) BookmarkList->Form(i)->EncodeFields();
    TFormItem* found = FindBookmarkForPage(c.url, u"login", u"f1", c.checkVault);
    EXPECT_EQ(found, this->*c.expected) << c.what;
    EXPECT_EQ(found->HasFields(), c.decoded) << c.what;
  }
  EXPECT_EQ(FindBookmarkForPage(u"http://elsewhere.org/", u"login", u"f1", true), nullptr);
  BookmarkList.reset();
  EXPECT_EQ(FindBookmarkForPage(u"http://site.com/plain", u"login", u"f1", true), nullptr);
}

TEST_F(PageSearchTest, SavedPasswordsOfLockedVaultsStayHidden) {
  auto* open = AddForm<TPasswordItem>(*PasswordList, u"http://site.com/plain");
  open->SetPassword(u"open");
  auto* hidden = AddForm<TPasswordItem>(*PasswordList, u"http://site.com/work");
  hidden->SetPassword(u"hidden");
  hidden->VaultID = 3;
  std::u16string password = u"stale";
  GetSavedPassword(plain, password);
  EXPECT_EQ(password, u"open");
  GetSavedPassword(inVault, password);
  EXPECT_EQ(password, u"");
  Unlock(45000.5);
  GetSavedPassword(inVault, password);
  EXPECT_EQ(password, u"hidden");
  hidden->VaultID = 4;  // a vault that does not exist
  GetSavedPassword(inVault, password);
  EXPECT_EQ(password, u"");
  GetSavedPassword(nullptr, password);
  EXPECT_EQ(password, u"");
}

TEST_F(PageSearchTest, VaultsAreListedAndSavedFormsRecognised) {
  TUniStringList names;
  names.Add(u"stale");
  ListVaults(names);
  ASSERT_EQ(names.Count(), 1);
  EXPECT_EQ(names.Strings(0), u"Work");
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(names.Objects(0)), 3);
  EXPECT_EQ(FindVault(9), nullptr);
  EXPECT_TRUE(IsSavedForm(plain));
  auto* history = AddForm<TFormItem>(*HistoryList, u"http://h/");
  EXPECT_TRUE(IsSavedForm(history));
  auto* password = AddForm<TPasswordItem>(*PasswordList, u"http://h/");
  EXPECT_FALSE(IsSavedForm(password));
  EXPECT_FALSE(IsSavedForm(nullptr));
}

TEST_F(ListTest, VaultsRoundTripAndLockByTime) {
  platform::test_clock::Freeze(0, 45000.0);
  {
    TVaultItems list;
    auto* vault = static_cast<TVaultItem*>(list.Add(std::make_unique<TVaultItem>(&list)));
    vault->VaultID = 12;
    vault->SetCaption(u"Private é");
    vault->TestCrypt = "check text";
    ASSERT_TRUE(list.SaveToFile());
  }
  TVaultItems list;
  ASSERT_TRUE(list.LoadFromFile());
  TVaultItem* vault = list.FindById(12);
  ASSERT_NE(vault, nullptr);
  EXPECT_EQ(vault->Caption(), u"Private é");
  EXPECT_EQ(vault->TestCrypt, "check text");
  EXPECT_TRUE(vault->IsLocked());
  vault->Unlocked = true;
  vault->UnlockExpiry = 45000.0 + 1.0 / 24;
  EXPECT_FALSE(vault->IsLocked());
  platform::test_clock::Advance(2 * 3600 * 1000);
  EXPECT_TRUE(vault->IsLocked());
}

TEST(FormHelpersTest, FindFieldValueAndSkippedForms) {
  TFormFieldList fields(2);
  fields[0].Name = u"q";
  fields[0].ID = u"1";
  fields[0].Value = u"first";
  fields[1].Name = u"q";
  fields[1].ID = u"1";
  fields[1].Value = u"second";
  std::u16string value = u"stale";
  EXPECT_TRUE(FindFieldValue(&fields, u"q", u"1", value));
  EXPECT_EQ(value, u"first");
  EXPECT_FALSE(FindFieldValue(&fields, u"Q", u"1", value));
  EXPECT_EQ(value, u"");
  EXPECT_FALSE(FindFieldValue(nullptr, u"q", u"1", value));

  TFormFieldList one(1);
  struct Case {
    const char* what;
    std::u16string url, formName;
    const TFormFieldList* fields;
    bool skipped;
  };
  const Case cases[] = {
      {"no fields", u"http://a/", u"f", nullptr, false},
      {"one field", u"http://a/", u"f", &one, true},
      {"ordinary form", u"http://a/", u"f", &fields, false},
      {"map search", u"http://MAPS.google.com/x", u"f", &fields, true},
      {"auction search", u"http://www.ebay.com/", u"SearchBox", &fields, true},
      {"auction find", u"http://www.ebay.de/", u"quickfind", &fields, true},
      {"auction login", u"http://www.ebay.com/", u"login", &fields, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSkippedForm(c.url, c.formName, c.fields), c.skipped) << c.what;
}

}  // namespace
