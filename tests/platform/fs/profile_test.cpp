// The profile-file calls: how values are found and read, what a write does to the
// file's bytes, and hostile names and files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/fs/profile.h"
#include "platform/fs/special_folders.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::ReadBytes;
using pellix_test::TempDir;
using pellix_test::WriteBytes;

std::string Read(const std::string& file, const char* section, const char* key, const char* fallback = "dflt",
                 DWORD size = 2048) {
  std::vector<char> buffer(size + 1, '#');
  const DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, file.c_str());
  return std::string(buffer.data(), length);
}

constexpr const char* kFile =
    "; comment=not a key\r\n"
    "before=no section\r\n"
    "[Main]\r\n"
    "  Name  =  padded value  \r\n"
    "quoted=\"  inside  \"\r\n"
    "single='x'\r\n"
    "half=\"open\r\n"
    "dup=first\r\n"
    "DUP=second\r\n"
    "novalue\r\n"
    "empty=\r\n"
    "eq=a=b\r\n"
    "[ other ]\n"
    "k=lf line\n"
    "[MAIN]\r\n"
    "late=in the second Main\r\n";

struct ReadCase {
  const char* section;
  const char* key;
  const char* expected;
};

class ProfileReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReads, FollowThePlatformsRules) {
  TempDir dir;
  WriteBytes(dir / "a.ini", kFile);
  EXPECT_EQ(Read((dir / "a.ini").string(), GetParam().section, GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileReads,
    ::testing::Values(ReadCase{"main", "NAME", "padded value"}, ReadCase{" Main ", " name ", "padded value"},
                      ReadCase{"Main", "quoted", "  inside  "}, ReadCase{"Main", "single", "x"},
                      ReadCase{"Main", "half", "\"open"}, ReadCase{"Main", "dup", "first"},
                      ReadCase{"Main", "empty", ""}, ReadCase{"Main", "eq", "a=b"},
                      ReadCase{"Main", "novalue", "dflt"}, ReadCase{"Main", "; comment", "dflt"},
                      ReadCase{"Main", "before", "dflt"}, ReadCase{"other", "k", "lf line"},
                      ReadCase{"Main", "late", "dflt"}, ReadCase{"none", "k", "dflt"}));

TEST(Profile, ListsOfSectionsAndKeysAndCutValues) {
  TempDir dir;
  const std::string file = (dir / "a.ini").string();
  WriteBytes(file, kFile);
  EXPECT_EQ(Read(file, nullptr, nullptr), std::string("Main\0other\0\0", 12).substr(0, 11));
  EXPECT_EQ(Read(file, "other", nullptr), std::string("k\0", 2));
  EXPECT_EQ(Read(file, nullptr, nullptr, nullptr, 6), std::string("Main\0", 4)) << "cut list answers size - 2";
  EXPECT_EQ(Read(file, "Main", "Name", nullptr, 7), "padded") << "a value is cut to size - 1";
  EXPECT_EQ(Read(file, "Main", "missing", "spaces kept  ", 64), "spaces kept") << "a default loses trailing blanks";
  EXPECT_EQ(Read((dir / "none.ini").string(), "Main", "x", nullptr), "");
}

TEST(Profile, WritesChangeOnlyTheirLineAndKeepTheRestByteForByte) {
  TempDir dir;
  const std::string file = (dir / "w.ini").string();
  ASSERT_TRUE(WritePrivateProfileStringA("APP", "Key", "v1", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("PELLIX", "a", "1", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("app", "KEY", "v2", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("APP", "second", " spaced ", file.c_str()));
  EXPECT_EQ(ReadBytes(file), "[APP]\r\nKEY=v2\r\nsecond= spaced \r\n\r\n[PELLIX]\r\na=1\r\n");
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  ASSERT_TRUE(WritePrivateProfileStringA("APP", "KEY", nullptr, file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("PELLIX", nullptr, nullptr, file.c_str()));
  EXPECT_EQ(ReadBytes(file), "[APP]\r\nsecond= spaced \r\n\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));

  // A file written elsewhere keeps its comments, byte-order mark and odd lines.
  WriteBytes(file, "\xEF\xBB\xBF; note\n[S]\nx=1\nodd line\n\n");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "y", "2", file.c_str()));
  EXPECT_EQ(ReadBytes(file), "\xEF\xBB\xBF; note\r\n[S]\r\nx=1\r\nodd line\r\ny=2\r\n\r\n");
  EXPECT_EQ(Read(file, "S", "x"), "1");
}

TEST(Profile, DeletingFromAMissingFileCreatesNothing) {
  TempDir dir;
  const std::string file = (dir / "none.ini").string();
  EXPECT_TRUE(WritePrivateProfileStringA("S", "k", nullptr, file.c_str()));
  EXPECT_TRUE(WritePrivateProfileStringA("S", nullptr, nullptr, file.c_str()));
  EXPECT_FALSE(fs::exists(file));
}

struct HostileWrite {
  const char* section;
  const char* key;
  const char* value;
};

class ProfileRefuses : public ::testing::TestWithParam<HostileWrite> {};

TEST_P(ProfileRefuses, NamesAndValuesThatWouldChangeTheStructure) {
  TempDir dir;
  const std::string file = (dir / "h.ini").string();
  WriteBytes(file, "[S]\r\nk=v\r\n");
  EXPECT_FALSE(WritePrivateProfileStringA(GetParam().section, GetParam().key, GetParam().value, file.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=v\r\n");
}

INSTANTIATE_TEST_SUITE_P(Profile, ProfileRefuses,
                         ::testing::Values(HostileWrite{"S", "k", "x\r\n[T]\r\nk2=evil"}, HostileWrite{"S", "k", "x\ny"},
                                           HostileWrite{"S", "a=b", "v"}, HostileWrite{"S", "new\nkey", "v"},
                                           HostileWrite{"S]x", "k", "v"}, HostileWrite{"", "k", "v"},
                                           HostileWrite{"S", " ", "v"}));

TEST(Profile, BareNamesLieInThePlatformFolderAndFailuresAreReported) {
  TempDir dir;
  platform::SetSpecialFolder(platform::SpecialFolder::kWindows, dir.path());
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", "bare.ini"));
  EXPECT_EQ(ReadBytes(dir / "bare.ini"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(Read("bare.ini", "S", "k"), "v");
  platform::SetSpecialFolder(platform::SpecialFolder::kWindows, {});

  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", (dir / "no" / "x.ini").string().c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  platform::faults::FailNext("WritePrivateProfileStringA", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "other", (dir / "bare.ini").string().c_str()));
  EXPECT_EQ(ReadBytes(dir / "bare.ini"), "[S]\r\nk=v\r\n");
  EXPECT_TRUE(fs::is_directory(dir / "no") == false);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "no temporary left";
}

TEST(Profile, WritersOnSeveralThreadsLoseNoKey) {
  TempDir dir;
  const std::string file = (dir / "t.ini").string();
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&file, t] {
      for (int i = 0; i < 25; ++i) {
        const std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
        WritePrivateProfileStringA("S", key.c_str(), "v", file.c_str());
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 25; ++i) {
      EXPECT_EQ(Read(file, "S", ("k" + std::to_string(t) + "_" + std::to_string(i)).c_str()), "v");
    }
  }
}

// Child role: writes 40 keys named after its tag into section S of the file.
const bool kWriterRole = pellix_test::RegisterChildRole("ini-writer", [](const std::vector<std::string>& args) {
  for (int i = 0; i < 40; ++i) {
    const std::string key = args.at(1) + std::to_string(i);
    if (!WritePrivateProfileStringA("S", key.c_str(), "v", args.at(0).c_str())) return 1;
  }
  return 0;
});

TEST(Profile, ProcessesWritingAtOnceNeverLeaveABrokenFile) {
  TempDir dir;
  const std::string file = (dir / "p.ini").string();
  const int first = pellix_test::StartChild("ini-writer", {file, "a"});
  const int second = pellix_test::StartChild("ini-writer", {file, "b"});
  EXPECT_EQ(pellix_test::WaitChild(first), 0);
  EXPECT_EQ(pellix_test::WaitChild(second), 0);
  // Updates of one process may be lost to the other's rewrite, but every line is whole.
  const std::string bytes = ReadBytes(file);
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    const std::string line = bytes.substr(at, end - at);
    const bool whole = line == "[S]" || ((line[0] == 'a' || line[0] == 'b') && line.size() >= 4 &&
                                         line.substr(line.size() - 2) == "=v");
    EXPECT_TRUE(whole) << "line: " << line;
    at = end + 2;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "no temporary left";
}

TEST(Profile, HostileFilesReadWithoutHarm) {
  TempDir dir;
  const std::string file = (dir / "x.ini").string();
  for (const std::string& bytes :
       {std::string("[unclosed\nk=v\n"), std::string("[]\n=\n==\n[", 10), std::string("\0\0[S]\0k=\0v", 10),
        std::string(100000, '['), std::string("[S]\n") + std::string(5000, 'v') + "=" + std::string(5000, 'x')}) {
    WriteBytes(file, bytes);
    char buffer[16];
    GetPrivateProfileStringA(nullptr, nullptr, nullptr, buffer, sizeof buffer, file.c_str());
    GetPrivateProfileStringA("S", nullptr, nullptr, buffer, sizeof buffer, file.c_str());
    const DWORD length = GetPrivateProfileStringA("S", std::string(5000, 'v').c_str(), "", buffer, sizeof buffer,
                                                  file.c_str());
    EXPECT_LT(length, sizeof buffer);
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "v", file.c_str()));
  }
  EXPECT_EQ(Read(file, "unclosed", "k"), "dflt") << "the last file had no such section";
}

}  // namespace
