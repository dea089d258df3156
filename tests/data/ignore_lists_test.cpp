#include "data/ignore_lists.h"

#include <gtest/gtest.h>

#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/list_fixture.h"
#include "platform/base/text.h"

namespace {

class IgnoreListsTest : public ListTest {};

TEST_F(IgnoreListsTest, FindAnswersTheKindOfTheFirstMatchingEntry) {
  TIgnoreList list;
  ASSERT_TRUE(list.LoadFromFile());
  // Newest first: the site entry comes before the page entry of one of its pages.
  ASSERT_TRUE(list.Add(u"Page", u"https://shop.example/login/index.html", kIgnorePage, u"", u""));
  ASSERT_TRUE(list.Add(u"Form", u"https://news.example/post", kIgnoreForm, u"f1", u"comment"));
  ASSERT_TRUE(list.Add(u"Site", u"https://Shop.example/cart?x=1", kIgnoreSite, u"", u""));
  EXPECT_FALSE(list.Add(u"Bad", u"https://x.example/", 4, u"", u""));
  EXPECT_FALSE(list.Add(u"Bad", u"https://x.example/", 0, u"", u""));
  EXPECT_EQ(list.Items().size(), 3u);
  EXPECT_EQ(list.Items().front().URL, u"shop.example");

  struct Case {
    std::u16string_view url, formName, formId;
    int kind;
  };
  const Case cases[] = {
      {u"https://shop.example/anything", u"", u"", kIgnoreSite},
      // The site entry matches this page too, though a page entry for it comes later.
      {u"https://shop.example/login/", u"", u"", kIgnoreSite},
      {u"https://news.example/post?id=5", u"comment", u"f1", kIgnoreForm},
      {u"https://news.example/post", u"comment", u"f2", 0},
      {u"https://news.example/post", u"Comment", u"f1", 0},
      {u"https://news.example/other", u"comment", u"f1", 0},
      {u"", u"", u"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(list.Find(c.url, c.formName, c.formId), c.kind) << platform::WideToAnsi(c.url);
  }
  TIgnoreList pageOnly;
  ASSERT_TRUE(pageOnly.Add(u"Page", u"https://shop.example/login/index.html", kIgnorePage, u"", u""));
  EXPECT_EQ(pageOnly.Find(u"https://SHOP.example/login/", u"", u""), kIgnorePage);
}

TEST_F(IgnoreListsTest, AddingAgainMovesTheEntryToTheTopWithTheNewDateAndSurvivesALoad) {
  platform::test_clock::Freeze(1000, 45000.0);
  TIgnoreList list;
  ASSERT_TRUE(list.Add(u"First", u"https://a.example/x", kIgnoreSite, u"", u""));
  ASSERT_TRUE(list.Add(u"Other", u"https://b.example/", kIgnorePage, u"", u""));
  platform::test_clock::Advance(1000 * 60 * 60 * 24);
  ASSERT_TRUE(list.Add(u"Again", u"https://a.example/y", kIgnoreSite, u"", u""));
  ASSERT_EQ(list.Items().size(), 2u);
  EXPECT_EQ(list.Items()[0].Caption, u"Again");
  EXPECT_GT(list.Items()[0].Date, list.Items()[1].Date);

  TIgnoreList loaded;
  ASSERT_TRUE(loaded.LoadFromFile());
  ASSERT_EQ(loaded.Items().size(), 2u);
  EXPECT_EQ(loaded.Items()[0].URL, u"a.example");
  EXPECT_EQ(loaded.Items()[0].Kind, kIgnoreSite);
  EXPECT_EQ(loaded.Items()[1].URL, u"https://b.example/");
  EXPECT_EQ(loaded.Items()[0].Date, list.Items()[0].Date);
}

TEST_F(IgnoreListsTest, DamagedFilesAddNothingAndAreNotWrittenOver) {
  TIgnoreList list;
  ASSERT_TRUE(list.Add(u"A", u"https://a.example/", kIgnoreSite, u"", u""));
  ASSERT_TRUE(list.Add(u"B", u"https://b.example/", kIgnoreSite, u"", u""));
  const std::string good = FileBytes(kIgnoreFile);
  std::string undecodable = good;
  undecodable[8 + 8 + 4 + 2] ^= 0x01;  // inside the first entry's record
  const std::pair<const char*, std::string> damaged[] = {
      {"cut", good.substr(0, good.size() - 5)},
      {"foreign magic", std::string("FF\x1A\x04", 4) + good.substr(4)},
      {"negative count", good.substr(0, 4) + std::string("\xFF\xFF\xFF\xFF", 4) + good.substr(8)},
  };
  for (const auto& [what, bytes] : damaged) {
    pellix_test::WriteBytes(PathOf(kIgnoreFile), bytes);
    TIgnoreList loaded;
    EXPECT_FALSE(loaded.LoadFromFile()) << what;
    EXPECT_TRUE(loaded.Items().empty()) << what;
    EXPECT_FALSE(loaded.Add(u"C", u"https://c.example/", kIgnoreSite, u"", u"")) << what;
    EXPECT_EQ(FileBytes(kIgnoreFile), bytes) << what;
  }
  // An entry whose record does not decode is dropped; the others load.
  pellix_test::WriteBytes(PathOf(kIgnoreFile), undecodable);
  TIgnoreList loaded;
  EXPECT_TRUE(loaded.LoadFromFile());
  ASSERT_EQ(loaded.Items().size(), 1u);
  EXPECT_EQ(loaded.Items()[0].Caption, u"A");
}

TEST_F(IgnoreListsTest, TheBuiltInHostListMatchesHostsWithoutCase) {
  TInternalIgnoreList builtIn(ReadDataResource);
  EXPECT_EQ(builtIn.Lines.Count(), 1);
  const std::pair<std::u16string_view, bool> cases[] = {
      {u"https://www.google.com/search?q=x", true},
      {u"http://WWW.Google.COM/", true},
      {u"https://google.com/", false},
      {u"https://www.google.com.evil.example/", false},
      {u"", false},
  };
  for (const auto& [url, listed] : cases) EXPECT_EQ(builtIn.Contains(url), listed) << platform::WideToAnsi(url);
  TInternalIgnoreList empty([](const char*) { return std::optional<std::string>(); });
  EXPECT_FALSE(empty.Contains(u"https://www.google.com/"));
}

TEST(FieldDictionaryTest, ResourceListsAndTheBuiltInIgnoredNames) {
  LoadDataResourceLists(ReadDataResource);
  EXPECT_EQ(FieldDictionary.Strings(0), u"//1.0.0.0");
  struct Case {
    std::u16string_view key, names;
  };
  const Case cases[] = {
      {u"STREET1", u"line1;street1;street 1;addr1;addr 1;address1;addressline1;address line 1;street;"
                   u"street_address;address:;address :"},
      {u"ACCNUM", u"bank_acct_account_number;bank_acct_retype_account_number"},
      {u"ROUTNUM", u"bank_acct_routing_number1;newbankaccountroutingnumber;ba_routing"},
      {u"PAGER", u""},
      {u"CCNUM", u"cardnumber;cc_number;card#;account#;creditcardnumber;ccn;$credit card;card number;"
                 u"credit card number;newcreditcardnumber;sensitivecreditcard"},
  };
  for (const Case& c : cases) EXPECT_EQ(FieldDictionary.Values(std::u16string(c.key)), c.names);
  EXPECT_GE(FieldDictionary.IndexOfName(u"PAGER"), 0);
  EXPECT_EQ(RequiredPairs.Values(u"CCCODE"), u"CCNUM");
  EXPECT_EQ(CardTypes.Values(u"AE"), u"American Express");
  EXPECT_EQ(States.Count(), 51);
  EXPECT_EQ(States.Values(u"DC"), u"D.C.");
  EXPECT_EQ(Sexes.Count(), 2);
  EXPECT_EQ(Titles.Values(u"Prof."), u"Prof");
  // Countries: a first line of one TAB, then the United States, Canada and the United
  // Kingdom, each with nine columns; native names in UTF-8.
  ASSERT_GT(Countries.Count(), 240);
  EXPECT_EQ(Countries.Strings(0), u"\t");
  EXPECT_TRUE(Countries.Strings(1).starts_with(u"United States\tUnited States\tUS\tUSA\t\t"));
  EXPECT_TRUE(Countries.Strings(2).starts_with(u"Canada\t"));
  EXPECT_TRUE(Countries.Strings(3).starts_with(u"United Kingdom\t"));
  bool germany = false;
  for (int i = 1; i < Countries.Count(); ++i) {
    const std::u16string line = Countries.Strings(i);
    EXPECT_EQ(std::count(line.begin(), line.end(), u'\t'), 8) << i;
    germany = germany || line.starts_with(u"Germany\tDeutschland\tDE\tDEU\t");
  }
  EXPECT_TRUE(germany);

  struct Ignored {
    std::u16string_view text1, text2;
    bool ignored;
  };
  const Ignored ignoredCases[] = {
      {u"Q", u"", true},       {u"name", u"SearchInput", true}, {u"query", u"x", true},
      {u"qq", u"", false},     {u"", u"", false},               {u"search query", u"", false},
  };
  for (const Ignored& c : ignoredCases) {
    EXPECT_EQ(IsBuiltInIgnored(c.text1, c.text2), c.ignored) << platform::WideToAnsi(c.text1);
  }
  ClearDataResourceLists();
  EXPECT_FALSE(IsBuiltInIgnored(u"q", u""));
}

}  // namespace
