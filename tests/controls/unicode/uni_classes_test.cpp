#include "controls/unicode/uni_classes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <vector>

#include "common/test_env.h"
#include "controls/unicode/uni_system.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::u16string>;

Lines LinesOf(const TUniStrings& list) {
  Lines lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}


void Fill(TUniStringList& list, const Lines& lines) {
  for (const auto& line : lines) list.Add(line);
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

// ---- loading and saving ----

TEST(UniStringsFiles, SaveWritesUtf16LeWithMarkAndCrLfAndLoadsBack) {
  pellix_test::TempDir dir;
  const std::u16string name = (dir / "list.txt").u16string();
  TUniStringList list;
  Fill(list, {u"ab", u"\u00E9", u"\xD800"});  // a lone surrogate travels as it is
  list.SaveToFile(name);
  EXPECT_EQ(pellix_test::ReadBytes(dir / "list.txt"),
            Bytes({0xFF, 0xFE, 'a', 0, 'b', 0, 13, 0, 10, 0, 0xE9, 0, 13, 0, 10, 0, 0x00, 0xD8, 13, 0, 10, 0}));
  TUniStringList back;
  back.LastFileCharSet = csAnsi;
  back.LoadFromFile(name);
  EXPECT_EQ(LinesOf(back), LinesOf(list));
  EXPECT_EQ(back.LastFileCharSet, csUnicode);
  // Saving again replaces the file whole, whatever was loaded.
  back.Clear();
  back.SaveToFile(name);
  EXPECT_EQ(pellix_test::ReadBytes(dir / "list.txt"), Bytes({0xFF, 0xFE}));
}

TEST(UniStringsFiles, EveryMarkAndNoMark) {
  const struct {
    const char* what;
    std::string bytes;
    Lines lines;
    TTextCharSet charSet;
  } cases[] = {
      {"empty", "", {}, csAnsi},
      {"mark only", Bytes({0xFF, 0xFE}), {}, csUnicode},
      {"little-endian, odd last byte", Bytes({0xFF, 0xFE, 'a', 0, 10, 0, 'b', 0, 'c'}), {u"a", u"b"}, csUnicode},
      {"big-endian", Bytes({0xFE, 0xFF, 0, 'a', 0, 13, 0, 10, 0x20, 0xAC}), {u"a", u"\u20AC"}, csUnicodeSwapped},
      {"big-endian with NUL", Bytes({0xFE, 0xFF, 0, 'a', 0, 0, 0, 'b'}), {std::u16string(u"a\0b", 3)},
       csUnicodeSwapped},
      {"big-endian mark only, odd", Bytes({0xFE, 0xFF, 0}), {}, csUnicodeSwapped},
      {"UTF-8", Bytes({0xEF, 0xBB, 0xBF, 'c', 0xC3, 0xA9, 13, 10, 'x', 13, 10}), {u"c\u00E9", u"x"}, csUtf8},
      {"UTF-8 malformed", Bytes({0xEF, 0xBB, 0xBF, 0xC3, 'a', 0xFF}), {u"\uFFFDa\uFFFD"}, csUtf8},
      {"half a UTF-8 mark", Bytes({0xEF, 0xBB}), {u"\u00EF\u00BB"}, csAnsi},
      {"one byte", Bytes({0xFF}), {u"\u00FF"}, csAnsi},
      {"8-bit", "caf\xE9\n\x80\r\r\n", {u"caf\u00E9", u"\u20AC", u""}, csAnsi},
  };
  pellix_test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    pellix_test::WriteBytes(dir / "in.txt", c.bytes);
    TUniStringList list;
    list.Add(u"old");
    list.LoadFromFile((dir / "in.txt").u16string());
    EXPECT_EQ(LinesOf(list), c.lines);
    EXPECT_EQ(list.LastFileCharSet, c.charSet);
  }
}

TEST(UniStringsStreams, WithoutMarkDetectionTheTextIsUtf16Le) {
  TMemoryStream stream;
  const std::string bytes = Bytes({0xEF, 0xBB, 'x', 0, 'y', 0});
  stream.WriteBuffer(bytes.data(), 6);
  stream.SetPosition(2);
  TUniStringList list;
  list.LoadFromStreamWithBom(stream, false);
  EXPECT_EQ(LinesOf(list), (Lines{u"xy"}));
  TMemoryStream out;
  list.SaveToStreamWithBom(out, false);
  EXPECT_EQ(out.Size(), 8);
  // Detection starts at the stream's position, not at its start.
  stream.SetPosition(0);
  stream.WriteBuffer("\x01\xFF\xFE" "a\0", 5);
  stream.SetPosition(1);
  list.LoadFromStream(stream);
  EXPECT_EQ(LinesOf(list), (Lines{u"a"}));
}

TEST(UniStringsFiles, AFailedSaveLeavesTheOldFileWholeAndNoLeftovers) {
  pellix_test::TempDir dir;
  const std::u16string name = (dir / "list.txt").u16string();
  TUniStringList list;
  Fill(list, {u"first"});
  list.SaveToFile(name);
  const std::string before = pellix_test::ReadBytes(dir / "list.txt");
  list.Add(u"second");
  platform::faults::FailNext("WriteFile", 1, ERROR_DISK_FULL);
  EXPECT_THROW(list.SaveToFile(name), EWriteError);
  platform::faults::FailNext("FlushFileBuffers", 1, ERROR_DISK_FULL);
  EXPECT_THROW(list.SaveToFile(name), EWriteError);
  platform::faults::FailNext("MoveFileExW", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(pellix_test::MessageOf<EFCreateError>([&] { list.SaveToFile(name); }),
            "Cannot create file \"" + (dir / "list.txt").string() + "\". Access is denied.\r\n");
  EXPECT_EQ(pellix_test::ReadBytes(dir / "list.txt"), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  list.SaveToFile(name);
  TUniStringList back;
  back.LoadFromFile(name);
  EXPECT_EQ(LinesOf(back), (Lines{u"first", u"second"}));
}

TEST(UniStringsFiles, OpenAndCreateErrorsCarryTheFullNameAndTheSystemText) {
  pellix_test::TempDir dir;
  TUniStringList list;
  const std::u16string missing = (dir / "missing.txt").u16string();
  EXPECT_EQ(pellix_test::MessageOf<EFOpenError>([&] { list.LoadFromFile(missing); }),
            "Cannot open file \"" + (dir / "missing.txt").string() +
                "\". The system cannot find the file specified.\r\n");
  const fs::path noFolder = dir / "none" / "x.txt";
  EXPECT_EQ(pellix_test::MessageOf<EFCreateError>([&] { list.SaveToFile(noFolder.u16string()); }),
            "Cannot create file \"" + noFolder.string() + "\". The system cannot find the path specified.\r\n");
}

TEST(UniStringsFiles, AFileHeldWithoutSharingCannotBeLoadedOrSaved) {
  pellix_test::TempDir dir;
  const std::u16string name = (dir / "held.txt").u16string();
  TUniStringList list;
  Fill(list, {u"keep"});
  list.SaveToFile(name);
  const std::string before = pellix_test::ReadBytes(dir / "held.txt");
  {
    TUniFileStream holder(name, fmOpenReadWrite | fmShareExclusive);
    const std::string busy = "The process cannot access the file because it is being used by another process.\r\n";
    EXPECT_EQ(pellix_test::MessageOf<EFOpenError>([&] { list.LoadFromFile(name); }),
              "Cannot open file \"" + (dir / "held.txt").string() + "\". " + busy);
    EXPECT_THROW(list.SaveToFile(name), EFCreateError);
  }
  EXPECT_EQ(pellix_test::ReadBytes(dir / "held.txt"), before);
  // Readers share with readers.
  TUniFileStream reader(name, fmOpenRead | fmShareDenyWrite);
  list.LoadFromFile(name);
  EXPECT_EQ(LinesOf(list), (Lines{u"keep"}));
}

// Loads a file in a child process: 0 when it loaded "keep", 2 when it was busy.
const bool kLoadRole = pellix_test::RegisterChildRole("uni-load", [](const std::vector<std::string>& args) {
  TUniStringList list;
  try {
    list.LoadFromFile(platform::Utf8ToWide(args.at(0)));
  } catch (const EFOpenError& e) {
    return e.Message().find("being used by another process") != std::string::npos ? 2 : 1;
  }
  return list.Count() == 1 && list.Strings(0) == u"keep" ? 0 : 3;
});

TEST(UniStringsFiles, SharingHoldsBetweenProcesses) {
  pellix_test::TempDir dir;
  const std::u16string name = (dir / "shared.txt").u16string();
  TUniStringList list;
  Fill(list, {u"keep"});
  list.SaveToFile(name);
  {
    TUniFileStream writer(name, fmOpenWrite | fmShareDenyNone);
    EXPECT_EQ(pellix_test::RunChild("uni-load", {(dir / "shared.txt").string()}), 2);
  }
  TUniFileStream reader(name, fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(pellix_test::RunChild("uni-load", {(dir / "shared.txt").string()}), 0);
}

// ---- the list ----

TEST(UniStringList, SortedListsKeepOrderAndHandleDuplicates) {
  TUniStringList list;
  Fill(list, {u"pear", u"Apple", u"banana", u"apple"});
  list.SetSorted(true);  // sorted at once
  EXPECT_EQ(LinesOf(list), (Lines{u"apple", u"Apple", u"banana", u"pear"}));
  EXPECT_EQ(list.Add(u"BANANA"), 2);  // ignored: the index of the equal string
  EXPECT_EQ(list.Count(), 4);
  list.Duplicates = dupError;
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.Add(u"Pear"); }), "String list does not allow duplicates");
  list.Duplicates = dupAccept;
  list.Add(u"Pear");
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Add(u"cherry"), 3);
  int index = -1;
  EXPECT_FALSE(list.Find(u"coconut", index));
  EXPECT_EQ(index, 4);
  EXPECT_EQ(list.IndexOf(u"CHERRY"), 3);
  EXPECT_EQ(list.IndexOf(u"kiwi"), -1);
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.Insert(0, u"x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.Put(0, u"x"); }), "Operation not allowed on sorted list");
}

TEST(UniStringList, FindAnswersTheFirstOfEqualItems) {
  TUniStringList list;
  list.SetSorted(true);
  list.Duplicates = dupAccept;
  Fill(list, {u"b", u"a", u"b", u"B", u"c", u"b"});
  int index = -1;
  EXPECT_TRUE(list.Find(u"b", index));
  EXPECT_EQ(index, 1);
}

TEST(UniStringList, CaseSensitivityChangesTheOrderOfASortedList) {
  TUniStringList list;
  list.SetSorted(true);
  list.Duplicates = dupAccept;
  Fill(list, {u"b", u"A", u"a", u"B"});
  list.SetCaseSensitive(true);
  EXPECT_EQ(LinesOf(list), (Lines{u"a", u"A", u"b", u"B"}));
  EXPECT_EQ(list.IndexOf(u"B"), 3);
  EXPECT_EQ(list.IndexOf(u"b"), 2);
  list.Duplicates = dupIgnore;
  EXPECT_EQ(list.Add(u"A"), 1);
}

TEST(UniStringList, IndexErrorsNameTheIndex) {
  TUniStringList list;
  Fill(list, {u"a"});
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.Get(1); }), "List index out of bounds (1)");
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.Delete(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.Insert(2, u"x"); }), "List index out of bounds (2)");
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.Exchange(0, 1); }), "List index out of bounds (1)");
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.PutObject(3, nullptr); }), "List index out of bounds (3)");
  list.Insert(1, u"b");  // the end is a place to insert
  EXPECT_EQ(LinesOf(list), (Lines{u"a", u"b"}));
  EXPECT_EQ(pellix_test::MessageOf<EStringListError>([&] { list.SetCapacity(1); }), "List capacity out of bounds (1)");
}

TEST(UniStringList, NameValueLinesInSortedAndUnsortedLists) {
  for (bool sorted : {false, true}) {
    SCOPED_TRACE(sorted);
    TUniStringList list;
    Fill(list, {u"ZIP=1234", u"CITY=Bern", u"NAME=Ann", u"NAMES=x", u"plain"});
    list.SetSorted(sorted);
    EXPECT_EQ(list.Values(u"name"), u"Ann");
    EXPECT_EQ(list.Values(u"names"), u"x");
    EXPECT_EQ(list.Values(u"NAM"), u"");
    EXPECT_EQ(list.IndexOfName(u"plain"), -1);
    EXPECT_EQ(list.Names(list.IndexOfName(u"zip")), u"ZIP");
    if (!sorted) {
      list.SetValues(u"CITY", u"Chur");
      EXPECT_EQ(list.Strings(1), u"CITY=Chur");
    }
    list.SetValues(u"ZIP", u"");
    EXPECT_EQ(list.IndexOfName(u"ZIP"), -1);
    list.SetValues(u"EMAIL", u"a@b");
    EXPECT_EQ(list.Values(u"email"), u"a@b");
  }
}

TEST(UniStringList, ObjectsTravelWithTheirStrings) {
  TObject first, second, third;
  TUniStringList list;
  list.AddObject(u"c", &first);
  list.AddObject(u"a", &second);
  list.AddObject(u"b", &third);
  list.Exchange(0, 2);
  EXPECT_EQ(list.Objects(0), &third);
  list.SetSorted(true);
  EXPECT_EQ(list.Objects(0), &second);
  EXPECT_EQ(list.Objects(2), &first);
  EXPECT_EQ(list.IndexOfObject(&third), 1);
  TUniStringList copy;
  copy.Assign(list);
  EXPECT_EQ(copy.Objects(1), &third);
}

TEST(UniStringList, CustomSortAndAHostileComparison) {
  TUniStringList list;
  Fill(list, {u"1", u"3", u"2", u"5", u"4"});
  list.CustomSort([](TUniStringList& l, int a, int b) { return l.Strings(b).compare(l.Strings(a)); });
  EXPECT_EQ(LinesOf(list), (Lines{u"5", u"4", u"3", u"2", u"1"}));
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) list.Add(u"x");
  list.CustomSort([&](TUniStringList&, int, int) { return static_cast<int>(random() % 3) - 1; });
  EXPECT_EQ(list.Count(), 205);  // an inconsistent order may shuffle, never lose or overrun
  list.SetSorted(true);
  list.CustomSort([](TUniStringList&, int, int) -> int { throw std::logic_error("not called"); });
}

TEST(UniStringList, CapacityGrowsInSteps) {
  TUniStringList list;
  std::vector<int> capacities;
  for (int i = 0; i < 100; ++i) {
    list.Add(u"x");
    if (capacities.empty() || capacities.back() != list.GetCapacity()) capacities.push_back(list.GetCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
  list.Clear();
  EXPECT_EQ(list.GetCapacity(), 0);
}

TEST(UniStringList, ChangeEventsAndUpdates) {
  TUniStringList list;
  std::vector<std::string> seen;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    seen.push_back("changing");
  };
  list.OnChange = [&](TObject*) { seen.push_back("change"); };
  list.Add(u"a");
  EXPECT_EQ(seen, (std::vector<std::string>{"changing", "change"}));
  seen.clear();
  list.Clear();
  list.Clear();  // an empty list does not change
  EXPECT_EQ(seen.size(), 2u);
  seen.clear();
  list.SetText(u"a\r\nb\r\nc");  // one update: one change at its end
  EXPECT_EQ(seen, (std::vector<std::string>{"change"}));
}

TEST(UniStringList, AnsiViewConvertsThroughTheCodePage) {
  TUniStringList list;
  Fill(list, {u"caf\u00E9", u"\u4E2D"});
  TAnsiStrings& ansi = list.AnsiStrings();
  EXPECT_EQ(ansi.Count(), 2);
  EXPECT_EQ(ansi.Strings(0), "caf\xE9");
  EXPECT_EQ(ansi.Strings(1), "?");
  ansi.Add("\x80uro");
  EXPECT_EQ(list.Strings(2), u"\u20ACuro");
  ansi.Put(0, "x");
  EXPECT_EQ(list.Strings(0), u"x");
  TMemoryStream stream;
  ansi.SaveToStreamEx(stream, CP_UTF8);
  EXPECT_EQ(stream.Size(), 16);  // "x\r\n", a 3-byte CJK character, "\r\n", a 3-byte euro, "uro\r\n"
  stream.SetPosition(0);
  TUniStringList other;
  other.AnsiStrings().LoadFromStreamEx(stream, CP_UTF8);
  EXPECT_EQ(LinesOf(other), LinesOf(list));
  stream.SetPosition(0);
  EXPECT_THROW(other.AnsiStrings().LoadFromStreamEx(stream, CP_UTF7), EUniGeneralError);
  EXPECT_EQ(LinesOf(other), LinesOf(list));  // a failed load changes nothing
  TUniStringList source;
  Fill(source, {u"one"});
  list.SetAnsiStrings(source.AnsiStrings());
  EXPECT_EQ(LinesOf(list), (Lines{u"one"}));
}

}  // namespace
