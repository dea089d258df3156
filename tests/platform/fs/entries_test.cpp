// Attributes, deletion, renaming (now and at the restart), folders, folder search,
// special folders and path names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/state_root.h"
#include "platform/fs/entries.h"
#include "platform/fs/files.h"
#include "platform/fs/find.h"
#include "platform/fs/paths.h"
#include "platform/fs/restart_list.h"
#include "platform/fs/special_folders.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::TempDir;
using pellix_test::WriteBytes;

std::string S(const fs::path& path) { return path.string(); }

TEST(Attributes, ReadOnlyFromModeBitsOthersKeptBesideTheFile) {
  TempDir dir;
  const std::string file = S(dir / "f");
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0));
  EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA(S(dir.path()).c_str()), FILE_ATTRIBUTE_DIRECTORY);

  const DWORD all = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), all | FILE_ATTRIBUTE_TEMPORARY));
  EXPECT_EQ(GetFileAttributesA(file.c_str()), all);
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0400u) << "read-only is the mode itself";

  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(Attributes, MissingNamesAndLinks) {
  TempDir dir;
  EXPECT_EQ(GetFileAttributesA(S(dir / "none").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(S(dir / "none" / "x").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(SetFileAttributesA(S(dir / "none").c_str(), FILE_ATTRIBUTE_HIDDEN));

  fs::create_directory(dir / "target");
  fs::create_directory_symlink(dir / "target", dir / "link");
  EXPECT_EQ(GetFileAttributesA(S(dir / "link").c_str()), FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(GetFileAttributesA((S(dir / "link") + "/").c_str()), FILE_ATTRIBUTE_DIRECTORY)
      << "a trailing separator resolves the link";
  EXPECT_FALSE(SetFileAttributesA(S(dir / "link").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

  platform::faults::FailNext("GetFileAttributesA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetFileAttributesA(S(dir / "target").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Delete, RefusesReadOnlyFoldersAndFilesHeldWithoutDeleteSharing) {
  TempDir dir;
  const std::string file = S(dir / "f");
  WriteBytes(file, "x");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(DeleteFileA(file.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));

  EXPECT_FALSE(DeleteFileA(S(dir.path()).c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileA(file.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileA(file.c_str(), S(dir / "g").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);

  held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, 0);
  EXPECT_TRUE(DeleteFileA(file.c_str()));
  CloseHandle(held);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(DeleteFileA(file.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Delete, RemovesALinkNeverItsTarget) {
  TempDir dir;
  WriteBytes(dir / "target", "keep");
  fs::create_symlink(dir / "target", dir / "link");
  fs::create_symlink(dir / "gone", dir / "dangling");
  EXPECT_TRUE(DeleteFileA(S(dir / "link").c_str()));
  EXPECT_TRUE(DeleteFileA(S(dir / "dangling").c_str()));
  EXPECT_FALSE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(pellix_test::ReadBytes(dir / "target"), "keep");
}

TEST(Move, RenamesReplacesOnlyWhenAskedAndNeverOverAFolder) {
  TempDir dir;
  WriteBytes(dir / "a", "A");
  WriteBytes(dir / "b", "B");
  fs::create_directory(dir / "d");
  EXPECT_FALSE(MoveFileA(S(dir / "a").c_str(), S(dir / "b").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(MoveFileExA(S(dir / "a").c_str(), S(dir / "d").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(MoveFileExA(S(dir / "a").c_str(), S(dir / "b").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(pellix_test::ReadBytes(dir / "b"), "A");
  EXPECT_FALSE(fs::exists(dir / "a"));
  EXPECT_TRUE(MoveFileA(S(dir / "d").c_str(), S(dir / "e").c_str()));
  EXPECT_TRUE(fs::is_directory(dir / "e"));
  EXPECT_FALSE(MoveFileA(S(dir / "none").c_str(), S(dir / "x").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(MoveFileExA(S(dir / "b").c_str(), nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Hard links: a second name shares the file; moving one name over another name of the
// same file leaves the file under the new name only (and never waits on itself).
TEST(Move, HardLinksShareTheFileAndMoveOverEachOther) {
  TempDir dir;
  WriteBytes(dir / "file", "F");
  ASSERT_TRUE(CreateHardLinkA(S(dir / "second").c_str(), S(dir / "file").c_str(), nullptr));
  EXPECT_EQ(pellix_test::ReadBytes(dir / "second"), "F");
  EXPECT_FALSE(CreateHardLinkA(S(dir / "second").c_str(), S(dir / "file").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateHardLinkA(S(dir / "third").c_str(), S(dir / "none").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(MoveFileExA(S(dir / "second").c_str(), S(dir / "file").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(fs::exists(dir / "second"));
  EXPECT_EQ(pellix_test::ReadBytes(dir / "file"), "F");
}

TEST(Move, AReplacedFileHeldWithoutDeleteSharingStays) {
  TempDir dir;
  WriteBytes(dir / "new", "N");
  WriteBytes(dir / "old", "O");
  const std::u16string from = (dir / "new").u16string(), to = (dir / "old").u16string();
  HANDLE held = CreateFileW(to.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, 0);
  EXPECT_FALSE(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(pellix_test::ReadBytes(dir / "old"), "O");
  CloseHandle(held);
  held = CreateFileW(to.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, 0);
  EXPECT_TRUE(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  CloseHandle(held);
  EXPECT_EQ(pellix_test::ReadBytes(dir / "old"), "N");
}

TEST(Delete, WideNamesAndNamesThatCannotBeStored) {
  TempDir dir;
  WriteBytes(dir / "caf\xC3\xA9", "x");
  EXPECT_TRUE(DeleteFileW((dir.path().u16string() + u"/caf\u00E9").c_str()));
  EXPECT_FALSE(fs::exists(dir / "caf\xC3\xA9"));
  const char16_t lone[] = {u'a', 0xDC00, 0};
  EXPECT_FALSE(DeleteFileW(lone));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_FALSE(MoveFileExW(lone, u"b", 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST(Move, DelayedOperationsWaitInTheListUntilTheNextStart) {
  TempDir dir;
  WriteBytes(dir / "old", "1");
  WriteBytes(dir / "from", "2");
  fs::create_directory(dir / "empty");
  ASSERT_TRUE(MoveFileExA(S(dir / "old").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(MoveFileExA(S(dir / "from").c_str(), S(dir / "to").c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA(S(dir / "empty").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_TRUE(fs::exists(dir / "old")) << "nothing happens before the restart";

  const std::vector<platform::RestartOperation> pending = platform::PendingRestartOperations();
  ASSERT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending[0].source, S(dir / "old"));
  EXPECT_EQ(pending[0].target, "");
  EXPECT_EQ(pending[1].target, S(dir / "to"));

  EXPECT_EQ(platform::RunPendingRestartOperations(), 3);
  EXPECT_FALSE(fs::exists(dir / "old"));
  EXPECT_FALSE(fs::exists(dir / "empty"));
  EXPECT_EQ(pellix_test::ReadBytes(dir / "to"), "2");
  EXPECT_TRUE(platform::PendingRestartOperations().empty());
}

TEST(Move, DamagedRestartListKeepsItsWholeEntries) {
  WriteBytes(platform::StateRoot() / "pending-restart", std::string("/a\0/b\0/c\0/d", 11));
  const std::vector<platform::RestartOperation> pending = platform::PendingRestartOperations();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].source, "/a");
  EXPECT_EQ(pending[0].target, "/b");
  TempDir dir;
  WriteBytes(dir / "x", "");
  ASSERT_TRUE(MoveFileExA(S(dir / "x").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(platform::PendingRestartOperations().size(), 2u);
  platform::RunPendingRestartOperations();
  EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST(Folders, CreateAndRemove) {
  TempDir dir;
  const std::string folder = S(dir / "sub");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_FALSE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryA(S(dir / "a" / "b").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  WriteBytes(dir / "sub" / "f", "");
  EXPECT_FALSE(RemoveDirectoryA(folder.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(RemoveDirectoryA(S(dir / "sub" / "f").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  fs::create_directory_symlink(dir / "sub", dir / "link");
  EXPECT_FALSE(RemoveDirectoryA(S(dir / "link").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  fs::remove(dir / "sub" / "f");
  EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
}

std::set<std::string> FindAll(const std::string& pattern, std::vector<WIN32_FIND_DATAA>* found = nullptr) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(data.cFileName);
    if (found) found->push_back(data);
  } while (FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));
  return names;
}

struct MaskCase {
  const char* mask;
  std::set<std::string> names;
};

class FindMasks : public ::testing::TestWithParam<MaskCase> {};

TEST_P(FindMasks, MatchWithoutCase) {
  TempDir dir;
  for (const char* name : {"Alpha.TXT", "beta.txt", "gamma", "a.b.c"}) WriteBytes(dir / name, "");
  EXPECT_EQ(FindAll(S(dir.path()) + "/" + GetParam().mask), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Find, FindMasks,
    ::testing::Values(MaskCase{"*.*", {".", "..", "Alpha.TXT", "beta.txt", "gamma", "a.b.c"}},
                      MaskCase{"*", {".", "..", "Alpha.TXT", "beta.txt", "gamma", "a.b.c"}},
                      MaskCase{"*.txt", {"Alpha.TXT", "beta.txt"}}, MaskCase{"?eta.*", {"beta.txt"}},
                      MaskCase{"GAMMA", {"gamma"}}, MaskCase{"a*.c", {"a.b.c"}}, MaskCase{"zeta*", {}}));

TEST(Find, ReportsLinksAsLinksWithSizesAndTimes) {
  TempDir dir;
  fs::create_directory(dir / "folder");
  WriteBytes(dir / "file", "12345");
  fs::create_directory_symlink(dir / "folder", dir / "link");
  std::vector<WIN32_FIND_DATAA> found;
  FindAll(S(dir.path()) + "/*", &found);
  ASSERT_EQ(found.size(), 5u);
  for (const WIN32_FIND_DATAA& data : found) {
    const std::string name = data.cFileName;
    if (name == "link") {
      EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_REPARSE_POINT);
    }
    if (name == "folder") {
      EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    }
    if (name == "file") {
      EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
      EXPECT_EQ(data.nFileSizeLow, 5u);
      // After 2020-01-01 (132223104000000000 ticks since 1601).
      const auto ticks = (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
      EXPECT_GT(ticks, 132223104000000000ULL);
    }
  }
}

TEST(Find, MissingFoldersEmptyResultsAndBadHandles) {
  TempDir dir;
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA(S(dir / "none" / "*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA(S(dir / "x*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE file = CreateFileA(S(dir / "f").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0);
  EXPECT_FALSE(FindNextFileA(file, &data)) << "a file handle is no search";
  EXPECT_FALSE(FindClose(file));
  EXPECT_TRUE(CloseHandle(file));
}

TEST(SpecialFolders, LieUnderTheStateRootAndCanBeMovedByTests) {
  char path[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path, CSIDL_COMMON_PROGRAMS, TRUE));
  EXPECT_EQ(fs::path(path), platform::StateRoot() / "Start Menu" / "Programs");
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_FALSE(SHGetSpecialFolderPathA(0, path, 0x7777, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  TempDir dir;
  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, dir / "desk");
  EXPECT_FALSE(SHGetSpecialFolderPathA(0, path, CSIDL_DESKTOPDIRECTORY, FALSE)) << "missing, not to be created";
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, FALSE));
  EXPECT_EQ(std::string(path), S(dir / "desk"));
  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, {});
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path, CSIDL_DESKTOP, TRUE));
  EXPECT_EQ(fs::path(path), platform::StateRoot() / "Desktop");

  platform::SetSpecialFolder(platform::SpecialFolder::kAppData, dir / "app");
  EXPECT_EQ(platform::SpecialFolderPath(platform::SpecialFolder::kQuickLaunch),
            dir / "app" / "Microsoft/Internet Explorer/Quick Launch")
      << "quick launch follows application data";
  platform::SetSpecialFolder(platform::SpecialFolder::kAppData, std::string(300, 'a'));
  EXPECT_FALSE(SHGetSpecialFolderPathA(0, path, CSIDL_APPDATA, FALSE));
  platform::SetSpecialFolder(platform::SpecialFolder::kAppData, {});
}

// Folders leave as 8-bit text in the code page, so that a name built from them reaches
// the folder itself; a folder whose name has no 8-bit form is refused (and not made),
// never handed out with "?" standing for a letter.
TEST(SpecialFolders, AreHandedOutInTheCodePageOrRefused) {
  TempDir dir;
  const fs::path accented = dir / "caf\u00e9";
  const fs::path outside = dir / "\u03a9mega";
  char path[MAX_PATH];
  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, accented);
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path, CSIDL_DESKTOPDIRECTORY, TRUE));
  EXPECT_EQ(std::string(path), S(dir.path()) + "/caf\xE9");
  CloseHandle(CreateFileA((std::string(path) + "/note.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0));
  EXPECT_TRUE(fs::exists(accented / "note.txt"));

  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, outside);
  platform::SetSpecialFolder(platform::SpecialFolder::kTemp, outside);
  SetLastError(0);
  EXPECT_FALSE(SHGetSpecialFolderPathA(0, path, CSIDL_DESKTOPDIRECTORY, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  SetLastError(0);
  EXPECT_EQ(GetTempPathA(MAX_PATH, path), 0u);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_FALSE(fs::exists(outside));
  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, {});
  platform::SetSpecialFolder(platform::SpecialFolder::kTemp, {});
}

TEST(PathNames, TempEndsInOneSeparatorAndLongAndShortAreThePathItself) {
  char buffer[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, buffer);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(std::string(buffer), S(platform::StateRoot() / "Temp") + "/");
  EXPECT_EQ(GetTempPathA(3, buffer), length + 1) << "too small: the size needed";

  TempDir dir;
  WriteBytes(dir / "long name.txt", "");
  const std::string name = S(dir / "long name.txt");
  std::string same = name;
  EXPECT_EQ(GetShortPathNameA(same.c_str(), same.data(), static_cast<DWORD>(same.size() + 1)), name.size());
  EXPECT_EQ(same, name);
  EXPECT_EQ(GetLongPathNameA(name.c_str(), buffer, MAX_PATH), name.size());
  EXPECT_EQ(std::string(buffer), name);
  EXPECT_EQ(GetLongPathNameA(name.c_str(), buffer, 4), name.size() + 1);
  EXPECT_EQ(GetLongPathNameA(S(dir / "none").c_str(), buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
