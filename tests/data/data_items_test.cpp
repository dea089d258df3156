#include "data/data_items.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "data/list_fixture.h"
#include "platform/base/errors.h"
#include "platform/base/handles.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/entries.h"
#include "platform/fs/files.h"

namespace {

std::string Int32Bytes(std::int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
  return bytes;
}

class DataItemsTest : public ListTest {
 protected:
  // A bookmark list of three bookmarks and two folder names, saved once.
  std::string SaveSampleBookmarks() {
    TBookmarkItems list;
    list.Strings.Add(u"Folder \u00e9");
    list.Strings.Add(u"");
    for (int i = 0; i < 3; ++i) {
      auto* item = AddForm<TBookmarkItem>(list, u"http://site" + std::u16string(1, u'a' + i) + u".com/");
      item->IntValue = i;
      item->VaultID = static_cast<WORD>(i);
      item->Date = 45000.0 + i;
      item->AddField(Field(u"user", u"u", u"name\r\n\r\nend", true));
    }
    EXPECT_TRUE(list.SaveToFile());
    return FileBytes(kBookmarksFile);
  }
};

TEST_F(DataItemsTest, EmptyListsHaveTheirMagicAndCounts) {
  struct Case {
    std::unique_ptr<TDataItems> list;
    std::string file;
    std::string bytes;
  };
  Case cases[] = {
      {std::make_unique<TVaultItems>(), kVaultsFile, std::string("FFw\x0A", 4) + Int32Bytes(0)},
      {std::make_unique<THistoryItems>(), kHistoryFile, std::string("FF\x1A\x04", 4) + Int32Bytes(0)},
      {std::make_unique<TPasswordItems>(), kPasswordsFile, std::string("FFw\x07", 4) + Int32Bytes(0)},
      {std::make_unique<TBookmarkItems>(), kBookmarksFile,
       std::string("FF2\x0B", 4) + Int32Bytes(0) + Int32Bytes(0)},
  };
  for (Case& c : cases) {
    ASSERT_TRUE(c.list->SaveToFile()) << c.file;
    EXPECT_EQ(c.list->FilePath, PathOf(c.file));
    EXPECT_EQ(FileBytes(c.file), c.bytes) << c.file;
  }
}

// The layout around the enciphered parts is exact, and a list read back is written
// again byte for byte from its cached records.
TEST_F(DataItemsTest, ListFilesReadBackByteExact) {
  const std::string first = SaveSampleBookmarks();
  TBookmarkItems loaded;
  ASSERT_TRUE(loaded.LoadFromFile());
  ASSERT_EQ(loaded.Count(), 3);
  ASSERT_EQ(loaded.Strings.Count(), 2);
  EXPECT_EQ(loaded.Strings.Strings(0), u"Folder \u00e9");
  EXPECT_EQ(loaded.Strings.Strings(1), u"");

  // Walk the file: magic, string block, count, then each record's fixed fields.
  std::size_t at = 0;
  auto take = [&](std::size_t n) { std::string part = first.substr(at, n); at += n; return part; };
  auto takeInt = [&] {
    std::string b = take(4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[i]);
    return static_cast<std::int32_t>(v);
  };
  EXPECT_EQ(take(4), std::string("FF2\x0B", 4));
  EXPECT_EQ(takeInt(), 2);
  take(static_cast<std::size_t>(takeInt()));
  EXPECT_EQ(takeInt(), 0);  // the empty folder name is stored empty
  EXPECT_EQ(takeInt(), 3);
  for (int i = 0; i < 3; ++i) {
    TFormItem* item = loaded.Form(i);
    EXPECT_EQ(take(2), std::string(1, static_cast<char>(i)) + '\0');
    double date = 0;
    std::string dateBytes = take(8);
    std::memcpy(&date, dateBytes.data(), 8);
    EXPECT_EQ(date, 45000.0 + i);
    EXPECT_EQ(takeInt(), i);
    EXPECT_EQ(take(static_cast<std::size_t>(takeInt())), item->RecordText);
    EXPECT_EQ(item->URL(), u"http://site" + std::u16string(1, u'a' + i) + u".com/");
    EXPECT_EQ(item->Caption(), u"Caption of " + item->URL());
    item->DecodeFields();
    ASSERT_EQ(item->FieldCount(), 1);
    EXPECT_EQ(item->GetField(0)->Value, u"name\r\n\r\nend");
    EXPECT_TRUE(item->GetField(0)->Generated);
  }
  EXPECT_EQ(at, first.size());

  ASSERT_TRUE(loaded.SaveToFile());
  EXPECT_EQ(FileBytes(kBookmarksFile), first);
  EXPECT_EQ(FileBytes("bookmarks.bak"), first);
}

TEST_F(DataItemsTest, EachSaveKeepsOneBackupOfThePreviousFile) {
  THistoryItems list;
  ASSERT_TRUE(list.SaveToFile());
  const std::string empty = FileBytes(kHistoryFile);
  EXPECT_FALSE(Exists("history.bak"));
  AddForm<TFormItem>(list, u"http://one/");
  ASSERT_TRUE(list.SaveToFile());
  const std::string one = FileBytes(kHistoryFile);
  EXPECT_EQ(FileBytes("history.bak"), empty);
  AddForm<TFormItem>(list, u"http://two/");
  ASSERT_TRUE(SetFileAttributesA(PathOf("history.bak").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(list.SaveToFile());
  EXPECT_EQ(FileBytes("history.bak"), one);
  EXPECT_FALSE(Exists("history.pxd.tmp"));
  EXPECT_EQ(std::filesystem::status(PathOf(kHistoryFile)).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A damaged or foreign file loads what can be read whole, reports the failure, and is
// never overwritten: nothing on disk is lost.
TEST_F(DataItemsTest, DamagedFilesStopAtTheFirstBadRecordAndStayOnDisk) {
  const std::string good = SaveSampleBookmarks();
  std::filesystem::remove(PathOf("bookmarks.bak"));
  const std::size_t stringsEnd = 8 + 4 + (good[8] & 0xFF) + 4;   // after the second string
  const std::size_t firstItem = stringsEnd + 4;
  const std::size_t recordLength =
      static_cast<unsigned char>(good[firstItem + 14]) | static_cast<unsigned char>(good[firstItem + 15]) << 8;
  const std::size_t secondItem = firstItem + 18 + recordLength;
  auto replaced = [&](std::size_t at, std::string bytes) {
    std::string damaged = good;
    damaged.replace(at, bytes.size(), bytes);
    return damaged;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"cut inside the magic", good.substr(0, 3)},
      {"foreign magic", replaced(0, std::string("FF\x1A\x04", 4))},
      {"cut after the magic", good.substr(0, 4)},
      {"huge string count", replaced(4, Int32Bytes(0x7FFFFFFF))},
      {"negative string count", replaced(4, Int32Bytes(-1))},
      {"huge string length", replaced(8, Int32Bytes(0x7FFFFFF0))},
      {"cut inside the item count", good.substr(0, stringsEnd + 2)},
      {"huge item count", replaced(stringsEnd, Int32Bytes(0x7FFFFFFF))},
      {"negative item count", replaced(stringsEnd, Int32Bytes(-5))},
      {"cut inside the first date", good.substr(0, firstItem + 5)},
      {"negative record length", replaced(firstItem + 14, Int32Bytes(-2))},
      {"record longer than the file", replaced(firstItem + 14, Int32Bytes(0x10000000))},
      {"cut inside the second record", good.substr(0, secondItem + 30)},
      {"last byte missing", good.substr(0, good.size() - 1)},
  };
  for (const Case& c : cases) {
    pellix_test::WriteBytes(PathOf(kBookmarksFile), c.bytes);
    TBookmarkItems list;
    EXPECT_FALSE(list.LoadFromFile()) << c.what;
    EXPECT_TRUE(list.LoadFailed()) << c.what;
    // Nothing of a file that was not read whole joins the list.
    EXPECT_EQ(list.Count(), 0) << c.what;
    EXPECT_EQ(list.Strings.Count(), 0) << c.what;
    AddForm<TBookmarkItem>(list, u"http://new/");
    EXPECT_FALSE(list.SaveToFile()) << c.what;
    EXPECT_EQ(FileBytes(kBookmarksFile), c.bytes) << c.what;
    EXPECT_FALSE(Exists("bookmarks.bak")) << c.what;
  }
}

TEST_F(DataItemsTest, AMissingFileIsANewEmptyList) {
  TPasswordItems list;
  EXPECT_TRUE(list.LoadFromFile());
  EXPECT_FALSE(list.LoadFailed());
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.SaveToFile());
}

TEST_F(DataItemsTest, WithoutADataFolderNothingIsReadOrWritten) {
  DataFolder.clear();
  THistoryItems list;
  EXPECT_FALSE(list.LoadFromFile());
  EXPECT_FALSE(list.SaveToFile());
  EXPECT_TRUE(list.FilePath.empty());
}

TEST_F(DataItemsTest, ALockedFileIsNotLoadedAndNotOverwritten) {
  const std::string good = SaveSampleBookmarks();
  platform::test_clock::Freeze(0, 45000.0);
  HANDLE holder = CreateFileA(PathOf(kBookmarksFile).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  TBookmarkItems list;
  EXPECT_FALSE(list.LoadFromFile());
  CloseHandle(holder);
  EXPECT_FALSE(list.SaveToFile());
  EXPECT_EQ(FileBytes(kBookmarksFile), good);
}

// A save that fails anywhere before the new file is complete leaves the previous
// file and the previous backup exactly as they were.
TEST_F(DataItemsTest, AFailedSaveLeavesFileAndBackupIntact) {
  struct Case {
    const char* operation;
    int count;
    DWORD error;
  };
  const Case cases[] = {
      {"CreateFileA", 2, ERROR_DISK_FULL},
      {"WriteFile", 1, ERROR_DISK_FULL},
      {"FlushFileBuffers", 1, ERROR_WRITE_FAULT},
      {"CreateHardLinkA", 1, ERROR_ACCESS_DENIED},
      {"MoveFileExA", 1, ERROR_ACCESS_DENIED},
  };
  THistoryItems list;
  AddForm<TFormItem>(list, u"http://first/");
  ASSERT_TRUE(list.SaveToFile());
  AddForm<TFormItem>(list, u"http://second/");
  ASSERT_TRUE(list.SaveToFile());
  const std::string file = FileBytes(kHistoryFile);
  const std::string backup = FileBytes("history.bak");
  AddForm<TFormItem>(list, u"http://third/");
  for (const Case& c : cases) {
    platform::faults::FailNext(c.operation, c.count, c.error);
    EXPECT_FALSE(list.SaveToFile()) << c.operation;
    EXPECT_EQ(FileBytes(kHistoryFile), file) << c.operation;
    EXPECT_EQ(FileBytes("history.bak"), backup) << c.operation;
    EXPECT_FALSE(Exists("history.pxd.tmp")) << c.operation;
    platform::faults::ClearAll();
  }
  EXPECT_TRUE(list.SaveToFile());
  THistoryItems reloaded;
  ASSERT_TRUE(reloaded.LoadFromFile());
  EXPECT_EQ(reloaded.Count(), 3);
}

// When the last step fails (a read-only file is not replaced) the file stays whole
// and no ".tmp" is left behind.
TEST_F(DataItemsTest, AFailedFinalRenameKeepsTheFileWhole) {
  THistoryItems list;
  AddForm<TFormItem>(list, u"http://first/");
  ASSERT_TRUE(list.SaveToFile());
  const std::string file = FileBytes(kHistoryFile);
  AddForm<TFormItem>(list, u"http://second/");
  ASSERT_TRUE(SetFileAttributesA(PathOf(kHistoryFile).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(list.SaveToFile());
  EXPECT_EQ(FileBytes(kHistoryFile), file);
  EXPECT_EQ(FileBytes("history.bak"), file);
  EXPECT_FALSE(Exists("history.pxd.tmp"));
  EXPECT_FALSE(Exists("history.bak.new"));
}

// A missing list file beside its backup is never taken for a new empty list: a whole
// copy is loaded, else the load fails and nothing is written over.
TEST_F(DataItemsTest, AMissingFileBesideACopyIsRecoveredOrRefused) {
  THistoryItems older;
  AddForm<TFormItem>(older, u"http://older/");
  ASSERT_TRUE(older.SaveToFile());
  const std::string olderBytes = FileBytes(kHistoryFile);
  AddForm<TFormItem>(older, u"http://newer/");
  ASSERT_TRUE(older.SaveToFile());
  const std::string newerBytes = FileBytes(kHistoryFile);
  struct Case {
    const char* what;
    std::string tmp;  // empty: none
    std::string bak;
    bool loads;
    int count;
  };
  const Case cases[] = {
      {"whole .tmp of a first save cut short", newerBytes, "", true, 2},
      {"whole .tmp beside the backup", newerBytes, olderBytes, true, 2},
      {"cut .tmp beside the backup", newerBytes.substr(0, 20), olderBytes, true, 1},
      {"only the backup", "", olderBytes, true, 1},
      {"cut .tmp of a first save: nothing was saved yet", newerBytes.substr(0, 20), "", true, 0},
      {"damaged backup only", "", olderBytes.substr(0, 9), false, 0},
  };
  for (const Case& c : cases) {
    for (const char* name : {kHistoryFile, "history.pxd.tmp", "history.bak"}) std::filesystem::remove(PathOf(name));
    if (!c.tmp.empty()) pellix_test::WriteBytes(PathOf("history.pxd.tmp"), c.tmp);
    if (!c.bak.empty()) pellix_test::WriteBytes(PathOf("history.bak"), c.bak);
    THistoryItems list;
    EXPECT_EQ(list.LoadFromFile(), c.loads) << c.what;
    EXPECT_EQ(list.LoadFailed(), !c.loads) << c.what;
    EXPECT_EQ(list.Count(), c.count) << c.what;
    AddForm<TFormItem>(list, u"http://added/");
    EXPECT_EQ(list.SaveToFile(), c.loads) << c.what;
    if (!c.loads) {
      EXPECT_FALSE(Exists(kHistoryFile)) << c.what;
      EXPECT_EQ(FileBytes("history.bak"), c.bak) << c.what;
    }
  }
}

// The user hears once that a list could not be read and is not being kept, and which
// copy to go back to.
TEST_F(DataItemsTest, AnUnreadableListIsToldOnceWithItsBackup) {
  RecordingNotice notice;
  InstallListNotice(&notice);
  pellix_test::WriteBytes(PathOf(kPasswordsFile), "damaged");
  pellix_test::WriteBytes(PathOf("passwords.bak"), Int32Bytes(kPasswordsMagic) + Int32Bytes(0));
  for (int i = 0; i < 2; ++i) {
    TPasswordItems list;
    EXPECT_FALSE(list.LoadFromFile());
    EXPECT_FALSE(list.SaveToFile());
  }
  InstallListNotice(nullptr);
  ASSERT_EQ(notice.texts.size(), 1u);
  const std::string text(notice.texts[0].begin(), notice.texts[0].end());
  EXPECT_NE(text.find(PathOf(kPasswordsFile) + " could not be read"), std::string::npos) << text;
  EXPECT_NE(text.find("not being kept"), std::string::npos) << text;
  EXPECT_NE(text.find(PathOf("passwords.bak")), std::string::npos) << text;
  EXPECT_EQ(FileBytes(kPasswordsFile), "damaged");
}

// A save cut after the backup was made leaves the backup as a second name of the
// file; the next save goes through all the same.
TEST_F(DataItemsTest, ASaveAfterOneCutBetweenBackupAndRenameGoesThrough) {
  THistoryItems list;
  AddForm<TFormItem>(list, u"http://first/");
  ASSERT_TRUE(list.SaveToFile());
  std::filesystem::create_hard_link(PathOf(kHistoryFile), PathOf("history.bak"));
  std::filesystem::create_hard_link(PathOf(kHistoryFile), PathOf("history.bak.new"));
  const std::string first = FileBytes(kHistoryFile);
  AddForm<TFormItem>(list, u"http://second/");
  ASSERT_TRUE(list.SaveToFile());
  EXPECT_EQ(FileBytes("history.bak"), first);
  EXPECT_FALSE(Exists("history.bak.new"));
  THistoryItems reloaded;
  ASSERT_TRUE(reloaded.LoadFromFile());
  EXPECT_EQ(reloaded.Count(), 2);
}

// A file far larger than any list is refused before it is read, and kept.
TEST_F(DataItemsTest, AnOversizedFileIsRefusedUnread) {
  pellix_test::WriteBytes(PathOf(kHistoryFile), Int32Bytes(kHistoryMagic) + Int32Bytes(1));
  std::filesystem::resize_file(PathOf(kHistoryFile), kMaxDataFileSize + 1);
  THistoryItems list;
  EXPECT_FALSE(list.LoadFromFile());
  EXPECT_TRUE(list.LoadFailed());
  EXPECT_FALSE(list.SaveToFile());
  EXPECT_EQ(std::filesystem::file_size(PathOf(kHistoryFile)), static_cast<std::uintmax_t>(kMaxDataFileSize + 1));
}

// Records under another key keep empty texts but are written back unchanged.
TEST_F(DataItemsTest, RecordsThatDoNotDecipherAreKeptAsStored) {
  THistoryItems foreign;
  foreign.Crypt.SetKey(u"another key");
  AddForm<TFormItem>(foreign, u"http://kept/");
  ASSERT_TRUE(foreign.SaveToFile());
  const std::string stored = FileBytes(kHistoryFile);

  THistoryItems list;
  ASSERT_TRUE(list.LoadFromFile());
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Form(0)->URL(), u"");
  EXPECT_EQ(list.Form(0)->Caption(), u"");
  ASSERT_TRUE(list.SaveToFile());
  EXPECT_EQ(FileBytes(kHistoryFile), stored);
}

TEST_F(DataItemsTest, EmptyRecordsAreStoredWithZeroLength) {
  class TPlainItems : public TDataItems {
   public:
    TPlainItems() {
      FileName = "plain.pxd";
      Magic = 0x12344646;
    }
  };
  TPlainItems list;
  list.Add(std::make_unique<TDataItem>(&list))->VaultID = 7;
  ASSERT_TRUE(list.SaveToFile());
  EXPECT_EQ(FileBytes("plain.pxd"),
            std::string("FF\x34\x12", 4) + Int32Bytes(1) + std::string("\x07\0", 2) + Int32Bytes(0));
  TPlainItems loaded;
  ASSERT_TRUE(loaded.LoadFromFile());
  ASSERT_EQ(loaded.Count(), 1);
  EXPECT_EQ(loaded.Item(0)->VaultID, 7);
  EXPECT_EQ(loaded.Item(0)->RecordText, "");
}

TEST_F(DataItemsTest, SetDateKeepsTheListNewestFirstWithTiesInPlace) {
  THistoryItems list;
  const double dates[] = {50.0, 40.0, 40.0, 30.0};
  for (double date : dates) AddForm<TFormItem>(list, u"http://x/")->Date = date;
  TDataItem* last = list.Item(3);
  last->SetDate(40.0);
  EXPECT_EQ(list.IndexOf(last), 3);  // after the two equal dates
  last->SetDate(60.0);
  EXPECT_EQ(list.IndexOf(last), 0);
  TDataItem* first = list.Item(0);
  first->SetDate(10.0);
  EXPECT_EQ(list.IndexOf(first), 3);
  for (int i = 1; i < list.Count(); ++i) EXPECT_GE(list.Item(i - 1)->Date, list.Item(i)->Date);
}

// Threads that change and save one list under its lock lose no item.
TEST_F(DataItemsTest, ThreadsChangingAndSavingOneListLoseNothing) {
  THistoryItems list;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&list, t] {
      for (int i = 0; i < 10; ++i) {
        TFormItem* item = nullptr;
        {
          std::scoped_lock hold(list);
          item = AddForm<TFormItem>(list, u"http://t/");
          item->Date = t * 100 + i;
        }
        item->SetDate(t * 100 + i + 0.5);
        EXPECT_TRUE(list.SaveToFile());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  THistoryItems reloaded;
  ASSERT_TRUE(reloaded.LoadFromFile());
  EXPECT_EQ(reloaded.Count(), 40);
  for (int i = 1; i < reloaded.Count(); ++i) EXPECT_GE(reloaded.Item(i - 1)->Date, reloaded.Item(i)->Date);
}

TEST_F(DataItemsTest, ListAccessChecksItsIndexes) {
  THistoryItems list;
  TDataItem* a = AddForm<TFormItem>(list, u"http://a/");
  TDataItem* b = list.Insert(0, std::make_unique<TFormItem>(nullptr));
  EXPECT_EQ(b->Owner, &list);
  EXPECT_EQ(list.IndexOf(a), 1);
  EXPECT_EQ(list.Item(2), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);
  EXPECT_THROW(list.Insert(3, std::make_unique<TFormItem>(&list)), EListError);
  EXPECT_THROW(list.Delete(2), EListError);
  list.Delete(0);
  EXPECT_EQ(list.IndexOf(b), -1);
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(DataItemsTest, ChangedCaptionsDropTheCachedRecord) {
  THistoryItems list;
  TFormItem* item = AddForm<TFormItem>(list, u"http://a/");
  ASSERT_TRUE(list.SaveToFile());
  const std::string cached = item->RecordText;
  ASSERT_FALSE(cached.empty());
  item->SetCaption(item->Caption());
  EXPECT_EQ(item->RecordText, cached);
  item->SetCaption(u"new caption");
  EXPECT_EQ(item->RecordText, "");
}

}  // namespace
