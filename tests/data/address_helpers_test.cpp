#include "data/address_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressHelpersTest, WideSearchesUseOneBasedPositionsAndCheckTheirStart) {
  const std::u16string s = u"abcabc";
  struct Case {
    const char* what;
    int got, want;
  };
  const Case cases[] = {
      {"char from 1", WidePosCharFrom(u'c', s, 1), 3},
      {"char from 4", WidePosCharFrom(u'c', s, 4), 6},
      {"char missing", WidePosCharFrom(u'z', s, 1), 0},
      {"char start 0", WidePosCharFrom(u'a', s, 0), 0},
      {"char start past end", WidePosCharFrom(u'a', s, 7), 0},
      {"sub from 1", WidePosFrom(u"bc", s, 1), 2},
      {"sub from 3", WidePosFrom(u"bc", s, 3), 5},
      {"sub at the very end", WidePosFrom(u"c", s, 6), 6},
      {"sub running past the end", WidePosFrom(u"cab", s, 4), 0},
      {"sub empty", WidePosFrom(u"", s, 1), 0},
      {"sub start 0", WidePosFrom(u"a", s, 0), 0},
      {"sub start past end", WidePosFrom(u"a", s, 7), 0},
      {"sub case differs", WidePosFrom(u"B", s, 1), 0},
      {"back from end", WidePosBackFrom(u"ab", s, 6), 4},
      {"back from 3", WidePosBackFrom(u"ab", s, 3), 1},
      {"back partial at start", WidePosBackFrom(u"ca", s, 6), 3},
      {"back empty", WidePosBackFrom(u"", s, 6), 0},
      {"back start past end", WidePosBackFrom(u"a", s, 7), 0},
      {"empty text", WidePosFrom(u"a", u"", 1), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_TRUE(WideStartsAt(u"ab", u"abc"));
  EXPECT_FALSE(WideStartsAt(u"abcd", u"abc"));
  EXPECT_FALSE(WideStartsAt(u"", u"abc"));
  EXPECT_FALSE(WideStartsAt(u"a", nullptr));
}

TEST(AddressHelpersTest, NormalizeUrlGivesTheComparisonKey) {
  struct Case {
    std::u16string url, key;
  };
  const Case cases[] = {
      {u"HTTP://WWW.Site.COM/Shop/Index.ASP?item=5", u"http://www.site.com/shop/"},
      {u"https://site.com/account/login.php?next=/", u"https://site.com/account/login.php"},
      {u"HTTP://Site.Com", u"http://site.com"},
      {u"http://site.com/", u"http://site.com/"},
      {u"http://site.com/a/default.aspx#top", u"http://site.com/a/"},
      {u"http://site.com/index", u"http://site.com/"},
      {u"http://site.com/defaults.htm", u"http://site.com/defaults.htm"},
      {u"http://one.index.two/", u"http://one.index.two/"},
      {u"http://one.index.two", u"http://one.index.two"},
      // A bare host is the site itself: its first label never drops it.
      {u"http://index.html", u"http://index.html"},
      {u"http://default.example.org", u"http://default.example.org"},
      {u"https://index.example.org?q=1", u"https://index.example.org"},
      {u"index.html", u"index.html"},
      {u"site.com/index.html", u"site.com/"},
      {u"http://site.com/dir.v2\\index", u"http://site.com/dir.v2\\index"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizeUrl(c.url), c.key) << std::string(c.url.begin(), c.url.end());
  }
}

TEST(AddressHelpersTest, ExtractUrlDomainGivesTheLowerCasedHost) {
  struct Case {
    std::u16string url, host;
  };
  const Case cases[] = {
      {u"http://WWW.Site.Com:8080/path/page", u"www.site.com:8080"},
      {u"https://user@Host.org/x", u"user@host.org"},
      {u"HOST.ORG/a/b", u"host.org"},
      {u"http://host.org?q=/x", u"host.org?q="},
      {u"http://host.org", u"host.org"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractUrlDomain(c.url), c.host);
}

TEST(AddressHelpersTest, SplitToListKeepsNonEmptyUntrimmedPieces) {
  struct Case {
    std::u16string text;
    char16_t sep;
    std::vector<std::u16string> pieces;
  };
  const Case cases[] = {
      {u"", u';', {}},
      {u"a;b", u';', {u"a", u"b"}},
      {u"a;;b;", u';', {u"a", u"b"}},
      {u" a ; b", u';', {u" a ", u" b"}},
      {u"a; ", u';', {u"a", u" "}},
      {u"a\t\t", u'\t', {u"a"}},
      {u"a\tb\t \t", u'\t', {u"a", u"b"}},
      {u" ", u'\t', {u" "}},
      {u"one", u',', {u"one"}},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TUniStringList> list;
    SplitToList(c.text, c.sep, list);
    ASSERT_NE(list, nullptr);
    std::vector<std::u16string> pieces;
    for (int i = 0; i < list->Count(); ++i) pieces.push_back(list->Strings(i));
    EXPECT_EQ(pieces, c.pieces);
  }
  TUniStringList reused;
  reused.Add(u"old");
  SplitToList(u"x;y", u';', reused);
  EXPECT_EQ(reused.Count(), 2);
}

}  // namespace
