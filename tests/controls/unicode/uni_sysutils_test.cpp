#include "controls/unicode/uni_sysutils.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/handles.h"
#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/streams.h"
#include "platform/fs/files.h"

namespace {

namespace fs = std::filesystem;

TEST(WideStringReplace, WordsCaseAndCount) {
  const struct {
    std::u16string text, pattern, replacement;
    bool wholeWord;
    int flags;
    std::u16string expected;
  } cases[] = {
      {u"cat concat cat.", u"cat", u"dog", true, rfReplaceAll, u"dog concat dog."},
      {u"cat concat cat.", u"cat", u"dog", false, rfReplaceAll, u"dog condog dog."},
      {u"cat concat cat.", u"cat", u"dog", false, 0, u"dog concat cat."},
      {u"concat cat", u"cat", u"dog", true, 0, u"concat dog"},  // the first whole word
      {u"Hello HELLO", u"hello", u"x", false, rfReplaceAll | rfIgnoreCase, u"x x"},
      {u"aXbxc", u"x", u"-", false, rfReplaceAll | rfIgnoreCase, u"a-b-c"},
      {u"aXbxc", u"x", u"-", false, rfReplaceAll, u"aXb-c"},
      {u"abc", u"", u"x", false, rfReplaceAll, u"abc"},  // an empty pattern never matches
      {u"", u"a", u"x", false, rfReplaceAll, u""},
      {u"aaa", u"a", u"aa", false, rfReplaceAll, u"aaaaaa"},  // replacements are not searched again
      {u"(cat)-cat2 cat_", u"cat", u"dog", true, rfReplaceAll, u"(dog)-cat2 dog_"},
      {u"\u00E9t\u00C9", u"\u00C9", u"e", false, rfReplaceAll | rfIgnoreCase, u"ete"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    EXPECT_EQ(WideStringReplace(c.text, c.pattern, c.replacement, c.wholeWord, c.flags), c.expected);
  }
}

TEST(CharacterTypes, DelimitersAndLastDelimiter) {
  for (char16_t c : {u'\0', u' ', u'\t', u'.', u',', u'(', u'\u3000', u'\u00BF'}) {
    EXPECT_TRUE(IsWideWordDelimiter(c)) << int(c);
  }
  for (char16_t c : {u'a', u'Z', u'0', u'\u00E9', u'\u4E2D'}) EXPECT_FALSE(IsWideWordDelimiter(c)) << int(c);
  EXPECT_TRUE(IsWideCharSpace(u' '));
  EXPECT_FALSE(IsWideCharSpace(u'.'));
  EXPECT_TRUE(IsWideCharPunct(u'.'));
  EXPECT_EQ(WideLastDelimiter(u"\\/.", u"a/b.c/d"), 6);
  EXPECT_EQ(WideLastDelimiter(u"x", u"abc"), 0);
  EXPECT_EQ(WideLastDelimiter(std::u16string(1, u'\0'), std::u16string(u"a\0b", 3)), 0);  // NUL never matches
  EXPECT_THROW(GetWideCharType(u'a', CT_CTYPE2), EOSError);
}

TEST(HotKeys, PositionKeyAndStripping) {
  const struct {
    std::u16string caption;
    int position;
    std::u16string key, stripped;
  } cases[] = {
      {u"&File", 2, u"F", u"File"},
      {u"Save &As", 7, u"A", u"Save As"},
      {u"Fish && Chips", 0, u"", u"Fish & Chips"},
      {u"&a&b", 4, u"b", u"ab"},  // the last one wins
      {u"end&", 0, u"", u"end"},
      {u"&&&x", 4, u"x", u"&x"},
      {u"", 0, u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.caption.begin(), c.caption.end()));
    EXPECT_EQ(WideGetHotKeyPos(c.caption), c.position);
    EXPECT_EQ(WideGetHotKey(c.caption), c.key);
    EXPECT_EQ(WideStripHotKey(c.caption), c.stripped);
  }
  EXPECT_TRUE(WideSameCaption(u"&Open", u"oPEN"));
  EXPECT_FALSE(WideSameCaptionStr(u"&Open", u"open"));
  EXPECT_TRUE(WideSameCaptionStr(u"&Open", u"Op&en"));
}

TEST(ErrorText, SystemTextOrUnspecified) {
  EXPECT_EQ(WideSysErrorMessage(ERROR_FILE_NOT_FOUND), u"The system cannot find the file specified.\r\n");
  EXPECT_EQ(WideSysErrorMessage(987654), u"Unspecified error (987654) from system.");
  EXPECT_EQ(WideModuleErrorMessage(u"mylib", 4, 4242), u"Unspecified error (4242) from mylib.");
}

TEST(WideFiles, CreateOpenAndExpand) {
  pellix_test::TempDir dir;
  const std::u16string name = (dir / "w\u00E9.txt").u16string();
  HANDLE created = WideFileCreate(name);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  // Created shared with nobody.
  EXPECT_EQ(WideFileOpen(name, fmOpenRead | fmShareDenyNone), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(created);
  HANDLE reader = WideFileOpen(name, fmOpenRead | fmShareDenyWrite);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_NE(WideFileOpen(name, fmOpenRead | fmShareDenyNone), INVALID_HANDLE_VALUE);
  EXPECT_EQ(WideFileOpen(name, fmOpenWrite | fmShareDenyNone), INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  EXPECT_EQ(WideFileOpen(name, 0x0003), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WideFileOpen(name + u"x", fmOpenRead), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(WideFiles, ExpandBeyondTheUsualLimit) {
  const std::u16string longName = u"/" + std::u16string(300, u'a') + u"/./b/../c";
  EXPECT_EQ(WideExpandFileName(longName), u"/" + std::u16string(300, u'a') + u"/c");
  EXPECT_EQ(WideExpandFileName(u"/x\\y"), u"/x/y");
}

}  // namespace
