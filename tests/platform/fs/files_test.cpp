#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/fs/files.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::TempDir;

HANDLE Open(const fs::path& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING, DWORD flags = 0) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags | FILE_ATTRIBUTE_NORMAL, 0);
}

// Closes a handle at the end of a scope.
struct Handle {
  explicit Handle(HANDLE h) : h(h) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  HANDLE h;
};

struct DispositionCase {
  const char* name;
  DWORD disposition;
  bool exists;
  bool opens;
  DWORD lastError;
  const char* contentAfter;  // null: no file afterwards
};

class Dispositions : public ::testing::TestWithParam<DispositionCase> {};

TEST_P(Dispositions, OpenCreateOrTruncateAsAsked) {
  const DispositionCase& c = GetParam();
  TempDir dir;
  const fs::path file = dir / "f.txt";
  if (c.exists) pellix_test::WriteBytes(file, "old");
  SetLastError(12345);
  Handle h(Open(file, GENERIC_READ | GENERIC_WRITE, 0, c.disposition));
  EXPECT_EQ(h.h != INVALID_HANDLE_VALUE, c.opens);
  EXPECT_EQ(GetLastError(), c.lastError);
  if (c.contentAfter) {
    EXPECT_EQ(pellix_test::ReadBytes(file), c.contentAfter);
  } else {
    EXPECT_FALSE(fs::exists(file));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Dispositions,
    ::testing::Values(DispositionCase{"CreateNewMissing", CREATE_NEW, false, true, ERROR_SUCCESS, ""},
                      DispositionCase{"CreateNewExisting", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
                      DispositionCase{"CreateAlwaysMissing", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
                      DispositionCase{"CreateAlwaysExisting", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
                      DispositionCase{"OpenExistingMissing", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
                      DispositionCase{"OpenExistingExisting", OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
                      DispositionCase{"OpenAlwaysMissing", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
                      DispositionCase{"OpenAlwaysExisting", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
                      DispositionCase{"TruncateMissing", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
                      DispositionCase{"TruncateExisting", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
                      DispositionCase{"Unknown", 9, true, false, ERROR_INVALID_PARAMETER, "old"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Files, NewFilesArePrivateToTheUser) {
  TempDir dir;
  const mode_t old = umask(0);
  Handle h(Open(dir / "new", GENERIC_WRITE, 0, CREATE_NEW));
  umask(old);
  ASSERT_NE(h.h, INVALID_HANDLE_VALUE);
  struct stat info {};
  ASSERT_EQ(stat((dir / "new").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(Files, MissingFolderFolderAsFileAndBadNames) {
  TempDir dir;
  SetLastError(0);
  EXPECT_EQ(Open(dir / "no" / "f", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open(dir.path(), GENERIC_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open("", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  const char16_t loneSurrogate[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(CreateFileW(loneSurrogate, GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_EQ(Open(dir / "t", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Files, BackslashesSeparateFoldersAndWideNamesAreUtf8OnDisk) {
  TempDir dir;
  fs::create_directory(dir / "sub");
  const std::string name = dir.path().string() + "\\sub\\caf\xE9.txt";  // 8-bit, ANSI code page
  Handle h(Open(name, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW));
  ASSERT_NE(h.h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(fs::exists(dir / "sub" / "caf\xC3\xA9.txt"));
  std::u16string wide = fs::path(dir.path()).u16string() + u"/sub/caf\u00E9.txt";
  Handle again(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, 0));
  EXPECT_NE(again.h, INVALID_HANDLE_VALUE);
}

TEST(Files, ReadWriteSeekSizeAndCut) {
  TempDir dir;
  Handle h(Open(dir / "f", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(h.h, "hello world", 11, &done, nullptr));
  EXPECT_EQ(done, 11u);
  EXPECT_EQ(GetFileSize(h.h, nullptr), 11u);
  EXPECT_EQ(SetFilePointer(h.h, -5, nullptr, FILE_END), 6u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(h.h, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "world");
  ASSERT_TRUE(ReadFile(h.h, buffer, sizeof buffer, &done, nullptr));  // at the end: success, nothing
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(h.h, 5, nullptr, FILE_BEGIN), 5u);
  ASSERT_TRUE(SetEndOfFile(h.h));
  EXPECT_TRUE(FlushFileBuffers(h.h));
  EXPECT_EQ(pellix_test::ReadBytes(dir / "f"), "hello");
  // Before the start: refused, the pointer stays.
  EXPECT_EQ(SetFilePointer(h.h, -6, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h.h, 0, nullptr, FILE_CURRENT), 5u);
  // Positions beyond 4 GiB need the high part.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h.h, 2, &high, FILE_BEGIN), 2u);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(SetFilePointer(h.h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetFilePointer(h.h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Files, AccessRightsOfTheHandleAreEnforced) {
  TempDir dir;
  pellix_test::WriteBytes(dir / "f", "abc");
  DWORD done = 7;
  char buffer[4];
  {
    Handle reader(Open(dir / "f", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_FALSE(WriteFile(reader.h, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(SetEndOfFile(reader.h));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  Handle writer(Open(dir / "f", GENERIC_WRITE, 0));
  EXPECT_FALSE(ReadFile(writer.h, buffer, 3, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  Handle appender(Open(dir / "f", FILE_APPEND_DATA, FILE_SHARE_WRITE | FILE_SHARE_READ));
  EXPECT_EQ(appender.h, INVALID_HANDLE_VALUE);  // the writer shares nothing
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
}

TEST(Files, AppendOnlyAccessWritesAtTheEnd) {
  TempDir dir;
  pellix_test::WriteBytes(dir / "f", "abc");
  Handle h(Open(dir / "f", FILE_APPEND_DATA, 0));
  ASSERT_NE(h.h, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  SetFilePointer(h.h, 0, nullptr, FILE_BEGIN);
  ASSERT_TRUE(WriteFile(h.h, "de", 2, &done, nullptr));
  EXPECT_EQ(pellix_test::ReadBytes(dir / "f"), "abcde");
}

TEST(Files, ClosedAndForeignHandlesAreInvalid) {
  TempDir dir;
  HANDLE h = Open(dir / "f", GENERIC_READ, 0, CREATE_NEW);
  ASSERT_TRUE(CloseHandle(h));
  DWORD done = 0;
  char c;
  EXPECT_FALSE(ReadFile(h, &c, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(FlushFileBuffers(0));
}

TEST(Files, PlannedFailuresComeFirst) {
  TempDir dir;
  platform::faults::FailNext("CreateFileA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(dir / "f", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(fs::exists(dir / "f"));
  Handle h(Open(dir / "f", GENERIC_WRITE, 0, CREATE_ALWAYS));
  ASSERT_NE(h.h, INVALID_HANDLE_VALUE);
  platform::faults::FailNext("WriteFile", 1, ERROR_DISK_FULL);
  DWORD done = 9;
  EXPECT_FALSE(WriteFile(h.h, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(pellix_test::ReadBytes(dir / "f"), "");
}

TEST(Files, DeleteOnCloseRemovesTheFileWithItsHandle) {
  TempDir dir;
  HANDLE h = Open(dir / "tmp", GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(fs::exists(dir / "tmp"));
  CloseHandle(h);
  EXPECT_FALSE(fs::exists(dir / "tmp"));
}

// ---- sharing ----

struct ShareCase {
  DWORD access1, share1, access2, share2;
  bool secondOpens;
};

class Sharing : public ::testing::TestWithParam<ShareCase> {};

constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, RW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

TEST_P(Sharing, SecondHandleInThisProcess) {
  const ShareCase& c = GetParam();
  TempDir dir;
  pellix_test::WriteBytes(dir / "f", "keep");
  Handle first(Open(dir / "f", c.access1, c.share1));
  ASSERT_NE(first.h, INVALID_HANDLE_VALUE);
  Handle second(Open(dir / "f", c.access2, c.share2));
  EXPECT_EQ(second.h != INVALID_HANDLE_VALUE, c.secondOpens);
  if (!c.secondOpens) {
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, Sharing,
                         ::testing::Values(ShareCase{R, SR, R, SR, true}, ShareCase{R, 0, R, SRW, false},
                                           ShareCase{R, SRW, R, 0, false}, ShareCase{R, SR, W, SRW, false},
                                           ShareCase{R, SW, W, SR, true}, ShareCase{W, SR, R, SW, true},
                                           ShareCase{W, SR, R, SR, false}, ShareCase{RW, SRW, RW, SRW, true},
                                           ShareCase{RW, SR, R, SRW, true}, ShareCase{R, SR, RW, SRW, false},
                                           ShareCase{0, 0, RW, 0, true}, ShareCase{RW, 0, 0, 0, true},
                                           ShareCase{R, SRW, DELETE, SRW, false},
                                           ShareCase{R, SRW | FILE_SHARE_DELETE, DELETE, SRW, true}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(Files, RefusedCreateAlwaysLeavesTheFileAlone) {
  TempDir dir;
  pellix_test::WriteBytes(dir / "f", "precious");
  Handle holder(Open(dir / "f", GENERIC_READ, FILE_SHARE_READ));
  EXPECT_EQ(Open(dir / "f", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(pellix_test::ReadBytes(dir / "f"), "precious");
}

TEST(Files, ClosingTheHolderLiftsTheRefusal) {
  TempDir dir;
  pellix_test::WriteBytes(dir / "f", "x");
  HANDLE holder = Open(dir / "f", GENERIC_WRITE, 0);
  EXPECT_EQ(Open(dir / "f", GENERIC_READ, SRW), INVALID_HANDLE_VALUE);
  CloseHandle(holder);
  Handle after(Open(dir / "f", GENERIC_READ, SRW));
  EXPECT_NE(after.h, INVALID_HANDLE_VALUE);
}

// Child roles: "open" tries access/share on a file and answers 0 when it opened,
// 32 on a sharing violation; "hold" keeps a file open until a second file appears.
const bool kRoles = [] {
  pellix_test::RegisterChildRole("fs-open", [](const std::vector<std::string>& args) {
    HANDLE h = Open(args.at(0), std::stoul(args.at(1)), std::stoul(args.at(2)));
    if (h != INVALID_HANDLE_VALUE) return 0;
    return static_cast<int>(GetLastError());
  });
  pellix_test::RegisterChildRole("fs-hold", [](const std::vector<std::string>& args) {
    HANDLE h = Open(args.at(0), std::stoul(args.at(1)), std::stoul(args.at(2)));
    if (h == INVALID_HANDLE_VALUE) return 1;
    pellix_test::WriteBytes(args.at(3), "held");
    for (int i = 0; i < 3000 && !fs::exists(args.at(4)); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 0;
  });
  return true;
}();

int TryInChild(const fs::path& file, DWORD access, DWORD share) {
  return pellix_test::RunChild("fs-open", {file.string(), std::to_string(access), std::to_string(share)});
}

TEST(Files, SharingHoldsBetweenProcesses) {
  TempDir dir;
  pellix_test::WriteBytes(dir / "f", "x");
  {
    Handle mine(Open(dir / "f", GENERIC_READ, FILE_SHARE_READ));
    EXPECT_EQ(TryInChild(dir / "f", GENERIC_READ, SRW), 0);
    EXPECT_EQ(TryInChild(dir / "f", GENERIC_WRITE, SRW), static_cast<int>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_EQ(TryInChild(dir / "f", GENERIC_WRITE, SRW), 0);
}

TEST(Files, AFileHeldByAnotherProcessIsRefusedUntilItEnds) {
  TempDir dir;
  pellix_test::WriteBytes(dir / "f", "x");
  const int child = pellix_test::StartChild(
      "fs-hold", {(dir / "f").string(), std::to_string(GENERIC_WRITE), "0", (dir / "ready").string(),
                  (dir / "release").string()});
  for (int i = 0; i < 3000 && !fs::exists(dir / "ready"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(fs::exists(dir / "ready"));
  EXPECT_EQ(Open(dir / "f", GENERIC_READ, SRW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  pellix_test::WriteBytes(dir / "release", "go");
  EXPECT_EQ(pellix_test::WaitChild(child), 0);
  Handle after(Open(dir / "f", GENERIC_READ, SRW));
  EXPECT_NE(after.h, INVALID_HANDLE_VALUE);
}

// ---- full path names ----

struct FullPathCase {
  const char* name;
  const char* expected;  // "~" stands for the current folder
  const char* filePart;  // null: none
};

class FullPaths : public ::testing::TestWithParam<FullPathCase> {};

TEST_P(FullPaths, ResolveByTheText) {
  const FullPathCase& c = GetParam();
  std::string expected = c.expected;
  if (expected[0] == '~') expected = fs::current_path().string() + expected.substr(1);
  char buffer[1024];
  char* filePart = nullptr;
  DWORD length = GetFullPathNameA(c.name, sizeof buffer, buffer, &filePart);
  EXPECT_EQ(std::string(buffer, length), expected);
  if (c.filePart) {
    ASSERT_NE(filePart, nullptr);
    EXPECT_STREQ(filePart, c.filePart);
  } else {
    EXPECT_EQ(filePart, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, FullPaths,
                         ::testing::Values(FullPathCase{"/a/b/../c/./d.txt", "/a/c/d.txt", "d.txt"},
                                           FullPathCase{"\\a\\b\\", "/a/b/", nullptr},
                                           FullPathCase{"/../..", "/", nullptr},
                                           FullPathCase{"x.txt", "~/x.txt", "x.txt"},
                                           FullPathCase{"//a///b", "/a/b", "b"}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(Files, FullPathBufferTooSmallAsksForTheSize) {
  char16_t buffer[8] = {u'z', u'z', u'z', u'z'};
  char16_t* filePart = buffer;
  EXPECT_EQ(GetFullPathNameW(u"/abcd", 4, buffer, &filePart), 6u);
  EXPECT_EQ(buffer[0], u'z');
  EXPECT_EQ(filePart, nullptr);
  EXPECT_EQ(GetFullPathNameW(u"/abc", 5, buffer, &filePart), 4u);
  EXPECT_EQ(std::u16string(buffer), u"/abc");
  EXPECT_EQ(filePart, buffer + 1);
  EXPECT_EQ(GetFullPathNameA("", 0, nullptr, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

}  // namespace
