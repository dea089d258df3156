#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/exceptions.h"
#include "platform/classlib/streams.h"
#include "platform/classlib/strings.h"
#include "platform/classlib/vector_strings.h"

namespace {

struct SplitCase {
  const char* text;
  std::vector<std::string> lines;
};

class SplitText : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitText, AtCrLfOrCrLf) {
  VectorStrings<std::string> list;
  list.SetText(GetParam().text);
  EXPECT_EQ(list.items, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Strings, SplitText,
                         ::testing::Values(SplitCase{"", {}}, SplitCase{"a", {"a"}}, SplitCase{"a\r\n", {"a"}},
                                           SplitCase{"a\r\nb", {"a", "b"}}, SplitCase{"a\nb\rc", {"a", "b", "c"}},
                                           SplitCase{"a\n\rb", {"a", "", "b"}}, SplitCase{"\r\n\r\n", {"", ""}},
                                           SplitCase{"a\r\n\r\n", {"a", ""}}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(Strings, TextEndsEveryLineWithCrLfAndKeepsNul) {
  VectorStrings<std::string> list;
  list.items = {"a", std::string("b\0c", 3)};
  EXPECT_EQ(list.Text(), std::string("a\r\nb\0c\r\n", 8));
  list.SetText(list.Text());
  EXPECT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.items[1], std::string("b\0c", 3));
}

TEST(Strings, NameValueLines) {
  VectorStrings<std::u16string> list;
  list.items = {u"plain", u"Key=1", u"Other=a=b"};
  EXPECT_EQ(list.Names(0), u"");
  EXPECT_EQ(list.Names(2), u"Other");
  EXPECT_EQ(list.Values(u"KEY"), u"1");  // names compare without case
  EXPECT_EQ(list.Values(u"other"), u"a=b");
  EXPECT_EQ(list.Values(u"missing"), u"");
  list.SetValues(u"key", u"2");
  EXPECT_EQ(list.items[1], u"key=2");
  list.SetValues(u"New", u"x");
  EXPECT_EQ(list.items.back(), u"New=x");
  list.SetValues(u"other", u"");
  EXPECT_EQ(list.items, (std::vector<std::u16string>{u"plain", u"key=2", u"New=x"}));
  list.SetValues(u"absent", u"");
  EXPECT_EQ(list.Count(), 3);
  list.NameValueSeparator = u':';
  list.items.push_back(u"a:b");
  EXPECT_EQ(list.Values(u"A"), u"b");
}

TEST(Strings, UpdatesNestAndNotifyOnlyAtTheOuterEdges) {
  VectorStrings<std::string> list;
  list.BeginUpdate();
  list.SetText("a\nb");  // its own update nests inside
  list.Exchange(0, 1);
  list.EndUpdate();
  list.EndUpdate();  // one too many: ignored
  EXPECT_EQ(list.states, (std::vector<bool>{true, false}));
  EXPECT_EQ(list.items, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(Strings, AssignCopiesStringsAndSeparator) {
  VectorStrings<std::string> a, b;
  a.items = {"x", "y"};
  a.NameValueSeparator = ':';
  b.items = {"old"};
  b.Assign(a);
  EXPECT_EQ(b.items, a.items);
  EXPECT_EQ(b.NameValueSeparator, ':');
  b.Assign(b);
  EXPECT_EQ(b.items, a.items);
  EXPECT_EQ(b.IndexOf("Y"), 1);
  EXPECT_EQ(b.IndexOf("z"), -1);
}

TEST(Strings, StreamsCarryTheTextAsBytes) {
  VectorStrings<std::u16string> wide;
  wide.items = {u"\u00E9", u"b"};
  TMemoryStream stream;
  wide.SaveToStream(stream);
  EXPECT_EQ(stream.Size(), 12);
  stream.WriteBuffer("x", 1);  // an odd last byte is no character
  stream.SetPosition(0);
  VectorStrings<std::u16string> back;
  back.LoadFromStream(stream);
  EXPECT_EQ(back.items, wide.items);
  VectorStrings<std::string> narrow;
  stream.SetPosition(6);
  narrow.LoadFromStream(stream);
  EXPECT_EQ(narrow.items, (std::vector<std::string>{std::string("b\0", 2), std::string("\0", 1), std::string("\0x", 2)}));
}

}  // namespace
