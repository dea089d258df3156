#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/cab/cabinet_maker.h"
#include "support/archives.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::ReadFile;
using pellix_test::WriteFile;

// Every file under a folder with its bytes, by its path relative to the folder.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path());
  }
  return files;
}

const std::map<std::string, std::string> kPack = {
    {"info.ini", "[main]\r\nShortName=de\r\nLongName=Deutsch\r\n"},
    {"language.ini", "[main]\nA1B2C3D4=Hallo\rlast line"},
    {"texts/deep/more.txt", std::string(90000, 'q')},
};

class Archives : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    fs::path source = dir.path() / "source";
    std::string command = "cd '" + source.string() + "' && gcab -c " + (GetParam() ? "-z " : "") + "'" +
                          cabinet.string() + "'";
    for (const auto& [name, data] : kPack) {
      WriteFile(source / name, data);
      command += " '" + name + "'";
    }
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  pellix_test::TempDir dir;
  fs::path cabinet = dir.path() / "PX_de.cab";
  fs::path target = dir.path() / "LangAct";
};

TEST_P(Archives, WholeArchiveIsExtractedByteExact) {
  TArchive archive(cabinet.string());
  ASSERT_TRUE(archive.DecompressToDir(target.string(), "", true)) << archive.LastError;
  EXPECT_EQ(Tree(target), kPack);
  std::vector<std::string> list;
  ASSERT_TRUE(archive.Instance()->GetFileList(list));
  EXPECT_EQ(list, (std::vector<std::string>{"info.ini", "language.ini", "texts\\deep\\more.txt"}));
}

TEST_P(Archives, OneFileIntoATextWithLineEndsMadeCrLf) {
  TArchive archive(cabinet.string());
  std::string text;
  ASSERT_TRUE(archive.DecompressToString("LANGUAGE.INI", text)) << archive.LastError;
  EXPECT_EQ(text, "[main]\r\nA1B2C3D4=Hallo\r\nlast line\r\n");
  ASSERT_TRUE(archive.DecompressToString("absent.ini", text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(fs::exists(dir.path() / "info.ini"));
}

TEST_P(Archives, OneFileIntoAStreamRewound) {
  TArchive archive(cabinet.string());
  TMemoryStream stream;
  stream.Write("old", 3);
  ASSERT_TRUE(archive.DecompressToStream("texts\\deep\\more.txt", &stream));
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.Size(), 90000);
}

TEST_P(Archives, ExtractingOneNamedFileLeavesTheOtherMembersInTheFolder) {
  WriteFile(target / "info.ini", "kept by the user");
  WriteFile(target / "language.ini", "an older and much longer language file that must go");
  TArchive archive(cabinet.string());
  ASSERT_TRUE(archive.DecompressToDir(target.string(), "language.ini", false)) << archive.LastError;
  EXPECT_EQ(ReadFile(target / "info.ini"), "kept by the user");
  EXPECT_EQ(ReadFile(target / "language.ini"), kPack.at("language.ini"));
}

INSTANTIATE_TEST_SUITE_P(StoredAndMszip, Archives, ::testing::Values(false, true));

TEST(ArchiveFiles, ReadOnlyTargetIsReplacedWholeAndGetsTheStoredDateAndAttributes) {
  pellix_test::TempDir dir;
  pellix_test::RawCabinet raw;
  raw.folders = {"new"};
  raw.entries = {{"file.txt", 3, 0, 0, 0x5B8A, 0x6A2F, 0x21}};  // read-only and archive
  WriteFile(dir / "a.cab", pellix_test::BuildCabinet(raw));
  WriteFile(dir / "out" / "file.txt", "an old and longer text");
  chmod((dir / "out" / "file.txt").c_str(), 0400);
  TArchive archive((dir / "a.cab").string());
  ASSERT_TRUE(archive.DecompressToDir((dir / "out").string(), "", false)) << archive.LastError;
  EXPECT_EQ(ReadFile(dir / "out" / "file.txt"), "new");
  struct stat info {};
  ASSERT_EQ(stat((dir / "out" / "file.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0222, 0u) << "read-only from the cabinet";
  struct tm local {};
  time_t modified = info.st_mtime;
  localtime_r(&modified, &local);
  EXPECT_EQ(local.tm_year + 1900, 2025);
  EXPECT_EQ(local.tm_hour, 13);
  EXPECT_EQ(local.tm_min, 17);
}

struct Hostile {
  const char* label;
  const char* name;
};

const Hostile kHostile[] = {
    {"parent", "..\\escaped.txt"},
    {"deeper_parent", "sub\\..\\..\\escaped.txt"},
    {"slash_parent", "sub/../../escaped.txt"},
    {"absolute", "\\tmp\\escaped.txt"},
    {"absolute_slash", "/escaped.txt"},
    {"drive", "C:\\escaped.txt"},
};

class HostileNames : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileNames, NeverWriteOutsideTheFolderAndFailTheExtraction) {
  pellix_test::TempDir dir;
  fs::path target = dir / "a" / "b" / "target";
  fs::create_directories(target);
  WriteFile(dir / "a" / "escaped.txt", "original");
  WriteFile(dir / "pack.cab", pellix_test::StoredCabinet({{"good.txt", "good"}, {GetParam().name, "evil"}}));
  auto before = Tree(dir.path());

  TArchive archive((dir / "pack.cab").string());
  EXPECT_FALSE(archive.DecompressToDir(target.string(), "", false));
  EXPECT_NE(archive.LastError.find("Failure writing to target file"), std::string::npos) << archive.LastError;
  auto after = Tree(dir.path());
  after.erase("a/b/target/good.txt");
  EXPECT_EQ(after, before);
  EXPECT_FALSE(fs::exists("/escaped.txt"));
  EXPECT_FALSE(fs::exists("/tmp/escaped.txt"));
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNames, ::testing::ValuesIn(kHostile),
                         [](const auto& info) { return std::string(info.param.label); });

struct FacadeCase {
  const char* label;
  const char* fileName;  // in the temporary folder; empty means none
  const char* folder;
  const char* expected;  // LastError after DecompressToDir
};

const FacadeCase kFacadeCases[] = {
    {"empty_folder", "pack.cab", "",
     "Internal error in module \"ArchivesClass\": \r\nFunction \"DecompressToDir\" - parameter TargetDit (string) is "
     "empty!"},
    {"unregistered_extension", "pack.zip", "out",
     "Internal error in module \"ArchivesClass\": \r\nFunction \"DecompressToDir\" - Archives Class is not "
     "initialized to specific type!"},
    {"missing_file", "absent.CAB", "out", "File \"%DIR%/absent.CAB\" does not exist!"},
    {"no_cabinet", "text.cab", "out", "Cannot initialize archive \"%DIR%/text.cab\"!"},
};

class Facade : public ::testing::TestWithParam<FacadeCase> {};

TEST_P(Facade, ReportsItsFailuresInLastError) {
  pellix_test::TempDir dir;
  WriteFile(dir / "pack.cab", pellix_test::StoredCabinet({{"a", "b"}}));
  WriteFile(dir / "pack.zip", pellix_test::StoredCabinet({{"a", "b"}}));
  WriteFile(dir / "text.cab", "plain text, no cabinet");
  TArchive archive((dir / GetParam().fileName).string());
  std::string folder = GetParam().folder[0] != 0 ? (dir / GetParam().folder).string() : "";
  EXPECT_FALSE(archive.DecompressToDir(folder, "", false));
  std::string expected = GetParam().expected;
  std::size_t at = expected.find("%DIR%");
  if (at != std::string::npos) expected.replace(at, 5, dir.path().string());
  EXPECT_EQ(archive.LastError, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Facade, ::testing::ValuesIn(kFacadeCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Facade, TypeRegistryAnswersForKnownAndUnknownTypes) {
  TArchive archive("");
  std::string name;
  EXPECT_TRUE(archive.ArchiveTypeName(kArchiveTypeCab, 0, name));
  EXPECT_EQ(name, "CAB");
  EXPECT_TRUE(archive.ArchiveIsAvailable(kArchiveTypeCab));
  EXPECT_FALSE(archive.ArchiveTypeName(7, 0, name));
  EXPECT_EQ(archive.LastError, ArchiveInternalError("ArchiveTypeName", "unknown value in parameter AArchiveType!"));
  archive.SetFileName("upper.CAB");
  EXPECT_EQ(archive.ArchiveType(), kArchiveTypeCab);
}

TEST(DamagedArchives, FailWithTheCabinetErrorText) {
  pellix_test::TempDir dir;
  std::string good = pellix_test::StoredCabinet({{"first.txt", "some text"}});
  std::string beyond = good;
  beyond.replace(36, 4, std::string("\x00\x00\x10\x00", 4));  // data offset beyond the end
  WriteFile(dir / "beyond.cab", beyond);
  TArchive archive((dir / "beyond.cab").string());
  EXPECT_FALSE(archive.DecompressToDir((dir / "out").string(), "", false));
  EXPECT_EQ(archive.LastError, "Cabinet file is corrupt [0x0004]");

  WriteFile(dir / "long.cab", pellix_test::StoredCabinet({{std::string(300, 'n'), "x"}}));
  TArchive unterminated((dir / "long.cab").string());
  std::string text;
  EXPECT_FALSE(unterminated.DecompressToString("x", text));
  EXPECT_EQ(unterminated.LastError, "Cabinet file is corrupt [0x0004]");
  std::vector<std::string> list;
  EXPECT_THROW(unterminated.Instance()->GetFileList(list), Exception);
}

}  // namespace
