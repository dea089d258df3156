#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/cab/cabinet_maker.h"
#include "support/cab_reader.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::ReadFile;
using pellix_test::WriteFile;

TEST(StreamManager, NamesNeverRepeatAndReadsStopAtTheStreamEnd) {
  TMemoryStream stream;
  stream.Write("0123456789", 10);
  std::string first = StreamMan().Publish(&stream);
  std::string second = StreamMan().Publish(&stream);
  EXPECT_EQ(first.rfind("Stream_", 0), 0u);
  EXPECT_EQ(std::stoi(second.substr(7)), std::stoi(first.substr(7)) + 1);
  StreamMan().Withdraw(second);
  EXPECT_FALSE(StreamMan().IsPublished(second));

  StreamMan().Bind(first, 4000);
  char buffer[8] = {};
  EXPECT_EQ(StreamMan().Seek(4000, 7, 0), 7);
  EXPECT_EQ(StreamMan().Read(4000, buffer, 8), 3);
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(StreamMan().Read(4000, buffer, 8), 0);
  StreamMan().Unbind(4000);
  EXPECT_FALSE(StreamMan().IsBound(4000));
  StreamMan().Withdraw(first);
}

TEST(CabinetErrors, MessageCarriesTheOperationAndTheSystemText) {
  EXPECT_EQ(CabinetErrorText(ERF{FDIERROR_CORRUPT_CABINET, 0, TRUE}), "Cabinet file is corrupt [0x0004]");
  EXPECT_EQ(CabinetErrorText(ERF{99, 0, TRUE}), "FDI error [0x0063]");
  EXPECT_EQ(CabinetErrorText(ERF{FDIERROR_CORRUPT_CABINET, 0, FALSE}), "FDI error");
  std::string withSystem = CabinetErrorText(ERF{FDIERROR_TARGET_FILE, static_cast<int>(ERROR_ACCESS_DENIED), TRUE});
  EXPECT_EQ(withSystem.rfind("Failure writing to target file [0x0008].\r\n", 0), 0u) << withSystem;
  EXPECT_EQ(withSystem.substr(withSystem.size() - 10), " [0x0005].");
}

TEST(CabReader, ListingReportsEveryEntryAndRejectsOtherFiles) {
  pellix_test::TempDir dir;
  WriteFile(dir / "a.cab", pellix_test::StoredCabinet({{"one.txt", "1"}, {"sub\\two.txt", "22"}}));
  WriteFile(dir / "b.cab", "no cabinet");
  TQVCabReader reader;
  std::vector<std::pair<std::string, std::uint32_t>> seen;
  auto collect = [&](void*, const std::string& name, const TCabFileEntry& entry, bool&) {
    seen.emplace_back(name, entry.size);
  };
  EXPECT_TRUE(reader.EnumerateFiles((dir / "a.cab").string(), collect, nullptr));
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::uint32_t>>{{"one.txt", 1}, {"sub\\two.txt", 2}}));
  EXPECT_FALSE(reader.EnumerateFiles((dir / "b.cab").string(), collect, nullptr));
  EXPECT_THROW(reader.EnumerateFiles((dir / "absent.cab").string(), collect, nullptr), EOSError);
}

TEST(CabReader, HookThatBlanksAllButOneWritesOnlyThatFile) {
  pellix_test::TempDir dir;
  WriteFile(dir / "a.cab", pellix_test::StoredCabinet({{"one.txt", "1"}, {"two.txt", "2"}, {"three.txt", "3"}}));
  TQVCabReader reader;
  reader.OnCopyFile = [](const std::string& name, std::string& target) {
    if (name != "two.txt") target.clear();
  };
  reader.ExtractFiles((dir / "a.cab").string(), (dir / "out").string(), false);
  EXPECT_EQ(ReadFile(dir / "out" / "two.txt"), "2");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

// Two cabinets whose second file continues from the first into the second.
void WriteSet(const fs::path& folder, const std::string& spanning, const std::string& secondNext) {
  pellix_test::RawCabinet first;
  first.setID = 9;
  first.nextCabinet = "b.cab";
  first.folders = {"alpha" + spanning.substr(0, 100)};
  first.splitLastBlock = true;
  first.entries = {{"alpha.txt", 5, 0, 0}, {"span.bin", 300, 5, 0xFFFE}};
  pellix_test::RawCabinet second;
  second.setID = 9;
  second.iCabinet = 1;
  second.previousCabinet = "a.cab";
  second.nextCabinet = secondNext;
  second.folders = {spanning.substr(100), "omega"};
  second.carriedIntoFirstBlock = 105;
  second.entries = {{"span.bin", 300, 5, 0xFFFD}, {"omega.txt", 5, 0, 1}};
  WriteFile(folder / "a.cab", pellix_test::BuildCabinet(first));
  WriteFile(folder / "b.cab", pellix_test::BuildCabinet(second));
}

TEST(CabReader, FollowsTheCabinetSetAndStopsAtARing) {
  pellix_test::TempDir dir;
  std::string spanning(300, 's');
  spanning[0] = 'S';
  for (const char* next : {"", "a.cab"}) {
    fs::path folder = dir / (std::string("set") + next);
    WriteSet(folder, spanning, next);
    TQVCabReader reader;
    reader.ExtractFiles((folder / "a.cab").string(), (folder / "out").string(), false);
    EXPECT_EQ(ReadFile(folder / "out" / "alpha.txt"), "alpha");
    EXPECT_EQ(ReadFile(folder / "out" / "span.bin"), spanning);
    EXPECT_EQ(ReadFile(folder / "out" / "omega.txt"), "omega");
  }
}

TEST(CabReader, OnlyFirstStopsAfterTheFirstCabinet) {
  pellix_test::TempDir dir;
  WriteSet(dir.path(), std::string(300, 'x'), "");
  TQVCabReader reader;
  reader.ExtractFiles((dir / "a.cab").string(), (dir / "out").string(), true);
  EXPECT_TRUE(fs::exists(dir / "out" / "span.bin"));
  EXPECT_FALSE(fs::exists(dir / "out" / "omega.txt"));
}

TEST(CabReader, MissingNextCabinetRaisesTheAbort) {
  pellix_test::TempDir dir;
  WriteSet(dir.path(), std::string(300, 'x'), "");
  fs::remove(dir / "b.cab");
  TQVCabReader reader;
  try {
    reader.ExtractFiles((dir / "a.cab").string(), (dir / "out").string(), false);
    FAIL() << "no exception";
  } catch (const EQVCabinet& error) {
    EXPECT_EQ(error.ErrorCode, FDIERROR_USER_ABORT);
    EXPECT_TRUE(error.HasError);
  }
}

}  // namespace
