#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <string>
#include <thread>

#include "common/test_env.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/base/state_root.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/entries.h"
#include "platform/fs/file_security.h"
#include "platform/fs/files.h"
#include "platform/fs/restart_list.h"
#include "platform/fs/special_folders.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/version.h"
#include "support/files_folders.h"
#include "support/process_version.h"
#include "support/registry_access.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::ReadBytes;
using pellix_test::TempDir;
using pellix_test::WriteBytes;

std::string S(const fs::path& path) { return path.string(); }

unsigned ModeOf(const fs::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

// Runs a test body as if on another Windows, then goes back.
class OnVersion {
 public:
  OnVersion(DWORD platformId, DWORD major, DWORD minor) : saved_(platform::GetReportedVersion()) {
    platform::ReportedVersion version = saved_;
    version.platformId = platformId;
    version.major = major;
    version.minor = minor;
    platform::SetReportedVersion(version);
    InitOSVersion();
  }
  ~OnVersion() {
    platform::SetReportedVersion(saved_);
    InitOSVersion();
  }
  OnVersion(const OnVersion&) = delete;
  OnVersion& operator=(const OnVersion&) = delete;

 private:
  platform::ReportedVersion saved_;
};

TEST(FilesFolders, ForceDirectoriesCreatesTopDownPrivateFolders) {
  TempDir dir;
  const fs::path deep = dir / "a" / "b" / "c";
  EXPECT_TRUE(ForceDirectoriesEx(S(deep) + "/", true));
  for (const fs::path& folder : {dir / "a", dir / "a" / "b", deep}) {
    EXPECT_EQ(ModeOf(folder), 0700u) << folder << ": never opened to others";
  }
  EXPECT_TRUE(ForceDirectoriesEx(S(deep), false)) << "an existing folder";
  EXPECT_FALSE(ForceDirectoriesEx("", true));
  EXPECT_TRUE(ForceDirectoriesChecked(S(dir / "x" / "y")));
  EXPECT_TRUE(IsExistingDir(S(dir / "x" / "y")));
  try {
    ForceDirectoriesChecked("");
    FAIL() << "an empty folder name was accepted";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot create directory");
  }
  WriteBytes(dir / "file", "");
  EXPECT_FALSE(ForceDirectoriesEx(S(dir / "file" / "sub"), false)) << "a file stands in the way";

  // A folder reached through a link exists: nothing is made over the link.
  fs::create_directory_symlink(dir / "a", dir / "link");
  EXPECT_TRUE(ForceDirectoriesEx(S(dir / "link" / "b" / "new"), false));
  EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "new"));
}

TEST(FilesFolders, FileAndFolderTestsAndForcedDeletes) {
  TempDir dir;
  const std::string file = S(dir / "f");
  WriteBytes(file, "x");
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_FALSE(IsExistingDir(file));
  EXPECT_TRUE(IsExistingDir(S(dir.path())));
  EXPECT_FALSE(IsExistingFile(S(dir.path())));
  EXPECT_FALSE(ForceDeleteFile(S(dir / "missing")));

  ASSERT_TRUE(SetFileAttr(file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(ForceDeleteFile(file)) << "a read-only file is reset first";
  EXPECT_FALSE(fs::exists(file));

  WriteBytes(dir / "old", "1");
  EXPECT_TRUE(RenameFileTo(S(dir / "old"), S(dir / "new")));
  EXPECT_EQ(ReadBytes(dir / "new"), "1");
}

TEST(FilesFolders, TreeDeletionRemovesLinksAndNeverTouchesWhatTheyPointAt) {
  TempDir outside;
  WriteBytes(outside / "precious.txt", "keep me");
  fs::create_directory(outside / "folder");
  WriteBytes(outside / "folder" / "inner.txt", "keep me too");

  TempDir dir;
  const fs::path tree = dir / "tree";
  fs::create_directories(tree / "sub" / "deeper");
  WriteBytes(tree / "a.txt", "a");
  WriteBytes(tree / "sub" / "deeper" / "b.txt", "b");
  WriteBytes(tree / "sub" / "locked.txt", "c");
  ASSERT_TRUE(SetFileAttr(S(tree / "sub" / "locked.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  fs::create_directory_symlink(outside / "folder", tree / "folder-link");
  fs::create_directory_symlink(outside.path(), tree / "sub" / "outside-link");
  fs::create_symlink(outside / "precious.txt", tree / "file-link");
  fs::create_symlink(outside / "gone", tree / "dangling");

  EXPECT_TRUE(DeleteDirectory(S(tree)));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_EQ(ReadBytes(outside / "precious.txt"), "keep me");
  EXPECT_EQ(ReadBytes(outside / "folder" / "inner.txt"), "keep me too");
  EXPECT_EQ(ModeOf(outside / "precious.txt") & 0200, 0200u);

  fs::create_directories(tree / "x");
  fs::create_directory_symlink(outside.path(), tree / "x" / "up");
  EXPECT_TRUE(DeleteDirectoryTree(S(tree) + "/", false));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_TRUE(fs::exists(outside / "folder" / "inner.txt"));
  EXPECT_FALSE(DeleteDirectory(S(dir / "missing")));
}

TEST(FilesFolders, WhatCannotBeDeletedNowWaitsForTheRestart) {
  TempDir dir;
  const fs::path tree = dir / "tree";
  fs::create_directories(tree);
  WriteBytes(tree / "free.txt", "");
  WriteBytes(tree / "held.txt", "");
  HANDLE held = CreateFileA(S(tree / "held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  EXPECT_FALSE(DeleteDirectoryTree(S(tree), false)) << "the folder is not empty";
  EXPECT_FALSE(fs::exists(tree / "free.txt"));
  EXPECT_TRUE(platform::PendingRestartOperations().empty());

  EXPECT_TRUE(DeleteDirectoryTree(S(tree), true));
  const std::vector<platform::RestartOperation> pending = platform::PendingRestartOperations();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].source, S(tree / "held.txt"));
  EXPECT_EQ(fs::path(pending[1].source).lexically_normal(), fs::path(S(tree) + "/").lexically_normal());
  EXPECT_TRUE(fs::exists(tree / "held.txt")) << "nothing goes before the restart";
  CloseHandle(held);
  EXPECT_EQ(platform::RunPendingRestartOperations(), 2);
  EXPECT_FALSE(fs::exists(tree));

  EXPECT_TRUE(DeleteDirOnReboot(S(dir / "missing")));
  EXPECT_TRUE(DeleteFileOnReboot(S(dir / "missing")));
  EXPECT_TRUE(platform::PendingRestartOperations().empty());
}

TEST(FilesFolders, RestartFallbacksAndAccessListsNeedTheNtFamily) {
  TempDir dir;
  WriteBytes(dir / "f", "");
  OnVersion windows98(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
  EXPECT_FALSE(DeleteDirOnReboot(S(dir.path())));
  EXPECT_FALSE(DeleteFileOnReboot(S(dir / "f")));
  EXPECT_FALSE(DirSetAllowEveryone(S(dir.path())));
  EXPECT_FALSE(FileSetAllowEveryone(S(dir / "f")));
  EXPECT_TRUE(platform::PendingRestartOperations().empty());
}

TEST(FilesFolders, AllowEveryoneChangesTheModelNeverThePermissions) {
  TempDir dir;
  const fs::path folder = dir / "data";
  ASSERT_TRUE(ForceDirectoriesEx(S(folder), true));
  HANDLE file = CreateFileA(S(folder / "list").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0);
  CloseHandle(file);
  platform::ClearRecordedSecurityCalls();
  EXPECT_TRUE(DirSetAllowEveryone(S(folder)));
  EXPECT_TRUE(FileSetAllowEveryone(S(folder / "list")));
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(folder / "list"), 0600u);
  ASSERT_EQ(platform::RecordedSecurityCalls().size(), 2u);
  EXPECT_NE(platform::RecordedSecurityCalls()[0].find("S-1-1-0"), std::string::npos);

  PSECURITY_DESCRIPTOR descriptor = GetFileSecurityDescriptor(S(folder / "list"));
  ASSERT_NE(descriptor, nullptr);
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
  EXPECT_NE(platform::DescribeAcl(acl).find("S-1-1-0"), std::string::npos) << "the model kept the widened list";
  LocalFree(descriptor);
  EXPECT_EQ(GetDirSecurityDescriptor(S(dir / "missing")), nullptr);
  EXPECT_FALSE(FileSetAllowEveryone(S(dir / "missing")));
}

TEST(FilesFolders, TemporaryAndSpecialFoldersEndInOneSeparator) {
  fs::remove_all(platform::StateRoot() / "Temp");
  InitFilesFolders();
  EXPECT_TRUE(fs::is_directory(platform::StateRoot() / "Temp")) << "the start-up makes the temporary folder";
  EXPECT_EQ(GetTempDir(), S(platform::StateRoot() / "Temp") + "/");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_COMMON_PROGRAMS), S(platform::StateRoot() / "Start Menu" / "Programs") + "/");
  EXPECT_EQ(GetSpecialFolderPath(0x7777), "");

  TempDir dir;
  const fs::path odd = dir / "Mein Ordner ÄÖ";
  fs::create_directory(odd);
  platform::SetSpecialFolder(platform::SpecialFolder::kTemp, odd);
  const std::string temp = GetTempDir();
  platform::SetSpecialFolder(platform::SpecialFolder::kTemp, {});
  EXPECT_EQ(temp, platform::Utf8ToAnsi(S(odd)) + "/");
  EXPECT_EQ(GetLongPath(S(dir / "missing")), S(dir / "missing"));
}

TEST(FilesFolders, ApplicationDataAndDesktopFolders) {
  EXPECT_EQ(GetAppDataDir(), S(platform::StateRoot() / "AppData") + "/") << "Vista and later ask the system";
  EXPECT_EQ(GetDesktopDir(), S(platform::StateRoot() / "Desktop") + "/");
  EXPECT_EQ(AppDataDir(), GetAppDataDir());
  EXPECT_EQ(DesktopDir(), GetDesktopDir());

  std::string saved;
  ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", saved));
  {
    OnVersion windowsXp(VER_PLATFORM_WIN32_NT, 5, 1);
    ASSERT_TRUE(RegWriteValue(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", REG_SZ, "/xp/app\0junk", 13));
    EXPECT_EQ(GetAppDataDir(), "/xp/app/") << "XP reads the registry, cut at the zero";
    ASSERT_TRUE(RegDeleteValue(HKEY_CURRENT_USER, kShellFoldersKey, "AppData"));
    EXPECT_EQ(GetAppDataDir(), "");
  }
  platform::faults::FailNext("SHGetSpecialFolderPathA", 1, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetAppDataDir(), "") << "a failed system lookup falls back on the (now missing) value";
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", saved));
}

TEST(FilesFolders, SmallHelpers) {
  EXPECT_EQ(StripAtNul(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(StripAtNul("plain"), "plain");
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("/a/b/"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("c.txt"), "");
  EXPECT_EQ(ExtractFilePath("a:b"), "") << "a colon is a plain character here";

  const std::string text = "Caf\xE9 \x80 " + std::string(3000, 'x');
  BSTR ole = AnsiToOleStr(text);
  ASSERT_NE(ole, nullptr);
  EXPECT_EQ(SysStringLen(ole), text.size());
  EXPECT_EQ(ole[3], u'\u00E9');
  EXPECT_EQ(ole[5], u'\u20AC');
  SysFreeString(ole);
  BSTR empty = AnsiToOleStr("");
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}

}  // namespace
