#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/cab/cab_callbacks.h"
#include "platform/cab/cabinet_maker.h"

namespace {

using pellix_test::FdiContext;
namespace fs = std::filesystem;

using pellix_test::ReadFile;
using pellix_test::WriteFile;

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

struct Extracted {
  std::string data;
  WORD date = 0, time = 0, attribs = 0;
  LONG runAfter = 0;
};

// What the notifications told and what the copy wrote, each file into its own
// numbered file of a scratch folder.
struct Copier {
  fs::path scratch;
  std::set<std::string> skip;
  std::string abortAt;
  std::string nextPath;  // written into the path buffer of fdintNEXT_CABINET
  std::vector<FDIERROR> nextCabinetErrors;
  std::string nextCabinetInfo;
  std::vector<std::string> partial;
  std::vector<std::string> order;
  std::map<INT_PTR, std::string> open;
  std::map<std::string, Extracted> files;

  static INT_PTR Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION note) {
    auto* self = static_cast<Copier*>(note->pv);
    switch (type) {
      case fdintCABINET_INFO:
        self->nextCabinetInfo = note->psz1;
        return 0;
      case fdintPARTIAL_FILE:
        self->partial.push_back(note->psz1);
        return 0;
      case fdintCOPY_FILE: {
        std::string name = note->psz1;
        self->order.push_back(name);
        if (name == self->abortAt) return -1;
        if (self->skip.count(name) != 0) return 0;
        std::string path = (self->scratch / std::to_string(self->order.size())).string();
        INT_PTR hf = pellix_test::CabOpen(path.data(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IWRITE);
        if (hf != -1) self->open[hf] = name;
        return hf;
      }
      case fdintCLOSE_FILE_INFO: {
        std::string name = self->open[note->hf];
        std::string path = (self->scratch / std::to_string(self->order.size())).string();
        pellix_test::CabClose(note->hf);
        self->open.erase(note->hf);
        self->files[name] = Extracted{ReadFile(path), note->date, note->time, note->attribs, note->cb};
        return TRUE;
      }
      case fdintNEXT_CABINET:
        self->nextCabinetErrors.push_back(note->fdie);
        if (note->fdie != FDIERROR_NONE) return -1;
        if (!self->nextPath.empty()) std::snprintf(note->psz3, CB_MAX_CAB_PATH, "%s", self->nextPath.c_str());
        return 0;
      default:
        return 0;
    }
  }
};

class FdiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.path() / "scratch");
    copier.scratch = dir.path() / "scratch";
    ASSERT_NE(context.handle(), nullptr);
  }

  bool Copy(const fs::path& cabinet) {
    std::string name = cabinet.filename().string();
    std::string folder = cabinet.parent_path().string() + "/";
    return FDICopy(context.handle(), name.data(), folder.data(), 0, Copier::Notify, nullptr, &copier) == TRUE;
  }

  pellix_test::TempDir dir;
  FdiContext context;
  Copier copier;
};

struct GcabCase {
  const char* label;
  bool zip;
};

class GcabCabinets : public FdiTest, public ::testing::WithParamInterface<GcabCase> {};

TEST_P(GcabCabinets, ReadBackByteExactWithFolderNames) {
  const std::map<std::string, std::string> sources = {
      {"info.ini", "[main]\r\nShortName=de\r\n"},
      {"empty.txt", ""},
      {"texts/language.ini", std::string(70000, 'x') + "end"},
      {"texts/deep/random.bin", RandomBytes(100000, 7)},
  };
  fs::path source = dir.path() / "source";
  std::string command = "cd '" + source.string() + "' && gcab -c " + (GetParam().zip ? "-z " : "") + "'" +
                        (dir.path() / "made.cab").string() + "'";
  for (const auto& [name, data] : sources) {
    WriteFile(source / name, data);
    command += " '" + name + "'";
  }
  ASSERT_EQ(std::system(command.c_str()), 0);

  INT_PTR hf = pellix_test::CabOpen((dir.path() / "made.cab").string().data(), _O_RDONLY, 0);
  FDICABINETINFO info{};
  EXPECT_EQ(FDIIsCabinet(context.handle(), hf, &info), TRUE);
  pellix_test::CabClose(hf);
  EXPECT_EQ(info.cFiles, 4);
  EXPECT_EQ(info.cbCabinet, static_cast<LONG>(fs::file_size(dir.path() / "made.cab")));
  EXPECT_FALSE(info.hasnext);

  ASSERT_TRUE(Copy(dir.path() / "made.cab"));
  EXPECT_EQ(context.error().fError, FALSE);
  ASSERT_EQ(copier.files.size(), sources.size());
  for (const auto& [name, data] : sources) {
    std::string stored = name;
    std::replace(stored.begin(), stored.end(), '/', '\\');
    ASSERT_EQ(copier.files.count(stored), 1u) << stored;
    EXPECT_EQ(copier.files[stored].data, data) << stored;
  }
  EXPECT_EQ(pellix_test::OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(Compression, GcabCabinets,
                         ::testing::Values(GcabCase{"stored", false}, GcabCase{"mszip", true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(FdiTest, ReportsDateTimeAttributesAndExecuteFlag) {
  pellix_test::RawCabinet raw;
  raw.folders = {"abcdef"};
  raw.entries = {{"run.exe", 3, 0, 0, 0x1234, 0x5678, 0x21 | _A_EXEC}, {"note.txt", 3, 3, 0, 0x4321, 0x0102, 0x02}};
  WriteFile(dir.path() / "a.cab", pellix_test::BuildCabinet(raw));
  ASSERT_TRUE(Copy(dir.path() / "a.cab"));
  const Extracted& run = copier.files["run.exe"];
  EXPECT_EQ(run.data, "abc");
  EXPECT_EQ(run.date, 0x1234);
  EXPECT_EQ(run.time, 0x5678);
  EXPECT_EQ(run.attribs, 0x21 | _A_EXEC);
  EXPECT_EQ(run.runAfter, 1);
  EXPECT_EQ(copier.files["note.txt"].data, "def");
  EXPECT_EQ(copier.files["note.txt"].runAfter, 0);
}

TEST_F(FdiTest, SkippedFilesAreNotWrittenAndAbortStopsTheCopy) {
  WriteFile(dir.path() / "a.cab", pellix_test::StoredCabinet({{"one", "1"}, {"two", "22"}, {"three", "333"}}));
  copier.skip = {"two"};
  ASSERT_TRUE(Copy(dir.path() / "a.cab"));
  EXPECT_EQ(copier.files.size(), 2u);
  EXPECT_EQ(copier.files.count("two"), 0u);

  Copier aborting;
  aborting.scratch = copier.scratch;
  aborting.abortAt = "two";
  std::string name = "a.cab", folder = dir.path().string() + "/";
  EXPECT_EQ(FDICopy(context.handle(), name.data(), folder.data(), 0, Copier::Notify, nullptr, &aborting), FALSE);
  EXPECT_EQ(context.error().erfOper, FDIERROR_USER_ABORT);
  EXPECT_EQ(aborting.files.size(), 1u);
  EXPECT_EQ(pellix_test::OpenDescriptors(), 0);
}

TEST_F(FdiTest, MissingCabinetIsNotFound) {
  EXPECT_FALSE(Copy(dir.path() / "absent.cab"));
  EXPECT_EQ(context.error().erfOper, FDIERROR_CABINET_NOT_FOUND);
  EXPECT_EQ(context.error().fError, TRUE);
}

// A good cabinet and one way of damaging it each.
struct Damage {
  const char* label;
  std::string (*apply)(std::string cabinet);
  FDIERROR expected;
};

std::string Patch(std::string cabinet, std::size_t at, const std::string& bytes) {
  return cabinet.replace(at, bytes.size(), bytes);
}

const std::string kGoodName = "first.txt";

const Damage kDamages[] = {
    {"empty", [](std::string) { return std::string(); }, FDIERROR_NOT_A_CABINET},
    {"truncated_header", [](std::string c) { return c.substr(0, 20); }, FDIERROR_NOT_A_CABINET},
    {"wrong_signature", [](std::string c) { return Patch(c, 0, "MSCG"); }, FDIERROR_NOT_A_CABINET},
    {"unknown_version", [](std::string c) { return Patch(c, 25, "\x02"); }, FDIERROR_UNKNOWN_CABINET_VERSION},
    {"truncated_file_entries",
     [](std::string c) { return c.substr(0, pellix_test::kFirstFileEntryOffset + 10); }, FDIERROR_CORRUPT_CABINET},
    {"file_entries_beyond_end", [](std::string c) { return Patch(c, 16, std::string("\xF0\xFF\xFF\x00", 4)); },
     FDIERROR_CORRUPT_CABINET},
    {"folder_index_beyond_folders",
     [](std::string c) { return Patch(c, pellix_test::kFirstFileEntryOffset + 8, std::string("\x05\x00", 2)); },
     FDIERROR_CORRUPT_CABINET},
    {"data_offset_beyond_end", [](std::string c) { return Patch(c, 36, std::string("\x00\x00\x10\x00", 4)); },
     FDIERROR_CORRUPT_CABINET},
    {"data_truncated", [](std::string c) { return c.substr(0, c.size() - 5); }, FDIERROR_CORRUPT_CABINET},
    {"file_beyond_its_folder",
     [](std::string c) { return Patch(c, pellix_test::kFirstFileEntryOffset, std::string("\x00\x00\x01\x00", 4)); },
     FDIERROR_MDI_FAIL},
    {"unknown_compression", [](std::string c) { return Patch(c, 42, std::string("\x07\x00", 2)); },
     FDIERROR_BAD_COMPR_TYPE},
};

class DamagedCabinets : public FdiTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedCabinets, FailCleanly) {
  std::string good = pellix_test::StoredCabinet({{kGoodName, "some text"}, {"second.txt", "more"}});
  WriteFile(dir.path() / "bad.cab", GetParam().apply(good));
  EXPECT_FALSE(Copy(dir.path() / "bad.cab"));
  EXPECT_EQ(context.error().erfOper, GetParam().expected);
  EXPECT_EQ(context.error().fError, TRUE);
  EXPECT_EQ(pellix_test::OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedCabinets, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(FdiTest, NameWithoutTerminatorWithinTheLimitIsCorrupt) {
  std::string longName(300, 'n');
  WriteFile(dir.path() / "a.cab", pellix_test::StoredCabinet({{longName, "x"}}));
  EXPECT_FALSE(Copy(dir.path() / "a.cab"));
  EXPECT_EQ(context.error().erfOper, FDIERROR_CORRUPT_CABINET);
  EXPECT_TRUE(copier.order.empty());

  std::string limit(255, 'm');
  WriteFile(dir.path() / "b.cab", pellix_test::StoredCabinet({{limit, "y"}}));
  EXPECT_TRUE(Copy(dir.path() / "b.cab"));
  EXPECT_EQ(copier.files[limit].data, "y");
}

TEST_F(FdiTest, HostileNamesArePassedAsTheyAre) {
  // Where a name may write is the caller's decision; the copy hands it over unchanged.
  WriteFile(dir.path() / "a.cab", pellix_test::StoredCabinet({{"..\\..\\evil", "e"}, {"/abs", "a"}, {"C:\\x", "c"}}));
  ASSERT_TRUE(Copy(dir.path() / "a.cab"));
  EXPECT_EQ(copier.order, (std::vector<std::string>{"..\\..\\evil", "/abs", "C:\\x"}));
}

TEST_F(FdiTest, IsCabinetRejectsOtherFiles) {
  WriteFile(dir.path() / "text.cab", "this is no cabinet at all, only some text");
  INT_PTR hf = pellix_test::CabOpen((dir.path() / "text.cab").string().data(), _O_RDONLY, 0);
  FDICABINETINFO info{};
  EXPECT_EQ(FDIIsCabinet(context.handle(), hf, &info), FALSE);
  EXPECT_EQ(context.error().erfOper, FDIERROR_NOT_A_CABINET);
  pellix_test::CabClose(hf);
}

// A set of two cabinets whose second file spans both.
class CabinetSet : public FdiTest {
 protected:
  void SetUp() override {
    FdiTest::SetUp();
    spanning = RandomBytes(20000, 3);
    pellix_test::RawCabinet first;
    first.setID = 77;
    first.nextCabinet = "second.cab";
    first.nextDisk = "disk 2";
    first.folders = {"alpha" + spanning.substr(0, 10000)};
    first.splitLastBlock = true;
    first.entries = {{"alpha.txt", 5, 0, 0}, {"spanning.bin", 20000, 5, 0xFFFE}};
    pellix_test::RawCabinet second;
    second.setID = 77;
    second.iCabinet = 1;
    second.previousCabinet = "first.cab";
    second.previousDisk = "disk 1";
    second.folders = {spanning.substr(10000), "omega"};
    second.carriedIntoFirstBlock = 10005;
    second.entries = {{"spanning.bin", 20000, 5, 0xFFFD}, {"omega.txt", 5, 0, 1}};
    WriteFile(dir.path() / "set" / "first.cab", pellix_test::BuildCabinet(first));
    secondCabinet = pellix_test::BuildCabinet(second);
  }

  std::string spanning;
  std::string secondCabinet;
};

TEST_F(CabinetSet, SpanningFileIsReadAcrossTheNextCabinet) {
  WriteFile(dir.path() / "moved" / "second.cab", secondCabinet);
  copier.nextPath = (dir.path() / "moved").string() + "/";
  ASSERT_TRUE(Copy(dir.path() / "set" / "first.cab")) << context.error().erfOper;
  EXPECT_EQ(copier.nextCabinetInfo, "second.cab");
  EXPECT_EQ(copier.nextCabinetErrors, std::vector<FDIERROR>{FDIERROR_NONE});
  EXPECT_EQ(copier.files["alpha.txt"].data, "alpha");
  EXPECT_EQ(copier.files["spanning.bin"].data, spanning);

  Copier next;
  next.scratch = copier.scratch;
  std::string name = "second.cab", folder = (dir.path() / "moved").string() + "/";
  ASSERT_EQ(FDICopy(context.handle(), name.data(), folder.data(), 0, Copier::Notify, nullptr, &next), TRUE);
  EXPECT_EQ(next.partial, std::vector<std::string>{"spanning.bin"});
  EXPECT_EQ(next.files.size(), 1u);
  EXPECT_EQ(next.files["omega.txt"].data, "omega");
}

TEST_F(CabinetSet, MissingNextCabinetIsReportedAndTheCallerMayAbort) {
  ASSERT_FALSE(Copy(dir.path() / "set" / "first.cab"));
  EXPECT_EQ(copier.nextCabinetErrors, (std::vector<FDIERROR>{FDIERROR_NONE, FDIERROR_CABINET_NOT_FOUND}));
  EXPECT_EQ(context.error().erfOper, FDIERROR_USER_ABORT);
  EXPECT_EQ(pellix_test::OpenDescriptors(), 0);
}

TEST_F(CabinetSet, CabinetOfAnotherSetIsTheWrongCabinet) {
  std::string other = secondCabinet;
  other[32] = 78;  // another set id
  WriteFile(dir.path() / "set" / "second.cab", other);
  ASSERT_FALSE(Copy(dir.path() / "set" / "first.cab"));
  EXPECT_EQ(copier.nextCabinetErrors, (std::vector<FDIERROR>{FDIERROR_NONE, FDIERROR_WRONG_CABINET}));
}

}  // namespace
