#include "support/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/special_folders.h"
#include "platform/shell/shell_link.h"
#include "tests/common/test_env.h"

namespace {

namespace fs = std::filesystem;

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    platform::SetSpecialFolder(platform::SpecialFolder::kAppData, appData_.path());
    platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, desktop_.path());
  }
  void TearDown() override {
    platform::SetSpecialFolder(platform::SpecialFolder::kAppData, {});
    platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, {});
    CoUninitialize();
  }
  fs::path QuickLaunch() const {
    fs::path folder = appData_.path() / "Microsoft/Internet Explorer/Quick Launch";
    fs::create_directories(folder);
    return folder;
  }

  pellix_test::TempDir dir_, appData_, desktop_;
};

struct EntryCase {
  const char* what;
  std::string target, arguments;
  int iconIndex;
  std::string iconFile, name, expected;
};

TEST_F(ShortcutTest, WritesTheDesktopEntryExactly) {
  const EntryCase cases[] = {
      {"plain", "/opt/pellix/pellix", "", 0, "/ignored.ico", "Pellix",
       "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Pellix\nExec=\"/opt/pellix/pellix\"\n"
       "Path=/opt/pellix/\n"},
      {"switch and own icon", "/opt/pellix/pellix", "/showbookmarks", 2, "/opt/pellix/book.ico", "Bookmarks",
       "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Bookmarks\n"
       "Exec=\"/opt/pellix/pellix\" \"/showbookmarks\"\nPath=/opt/pellix/\nIcon=/opt/pellix/book.ico\n"},
      {"icon falls back to the target", "C:\\Pellix\\pellix.exe", "", 1, "", "Win",
       "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Win\nExec=\"C:/Pellix/pellix.exe\"\n"
       "Path=C:/Pellix/\nIcon=C:/Pellix/pellix.exe\n"},
      // Quotes group, and what the launcher or the file format would read specially
      // is escaped: $, backtick, backslash, %, and a line break.
      {"hostile arguments", "/p/a b", "\"x y\" 100% $HOME `id` a\\b \"l1\nl2\"", 0, "", "Odd \xE9",
       "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Odd \xC3\xA9\n"
       "Exec=\"/p/a b\" \"x y\" \"100%%\" \"\\\\$HOME\" \"\\\\`id\\\\`\" \"a\\\\\\\\b\" \"l1\\nl2\"\n"
       "Path=/p/\n"},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(CreateShortcut(c.target, c.arguments, dir_.path().string(), c.iconIndex, c.iconFile, c.name));
    fs::path file = dir_ / (platform::WideToUtf8(platform::AnsiToWide(c.name)) + ".lnk");
    EXPECT_EQ(pellix_test::ReadBytes(file), c.expected);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  }
}

TEST_F(ShortcutTest, ReplacesAnExistingShortcutAndTakesAFolderWithItsBackslash) {
  pellix_test::WriteBytes(dir_ / "P.lnk", "old contents that are longer than the new ones ...........");
  ASSERT_TRUE(CreateShortcut("/a/one", "", dir_.path().string() + "\\", 0, "", "P"));
  EXPECT_EQ(pellix_test::ReadBytes(dir_ / "P.lnk"),
            "[Desktop Entry]\nType=Application\nVersion=1.0\nName=P\nExec=\"/a/one\"\nPath=/a/\n");
}

TEST_F(ShortcutTest, FailsWithoutWritingForAMissingTargetOrFolder) {
  EXPECT_FALSE(CreateShortcut("", "", dir_.path().string(), 0, "", "P"));
  EXPECT_FALSE(CreateShortcut("/a/one", "", (dir_ / "missing").string(), 0, "", "P"));
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(ShortcutTest, LinksInSpecialFoldersAreCreatedAndRemoved) {
  const fs::path quickLaunch = QuickLaunch();
  const struct {
    BYTE selector;
    fs::path folder;
  } cases[] = {{kQuickLaunchFolder, quickLaunch}, {CSIDL_DESKTOPDIRECTORY, desktop_.path()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.selector));
    ASSERT_TRUE(CreateQuickLaunchShortcut("/opt/pellix/pellix", "/showbookmarks", c.selector, 0, "", "Pellix"));
    EXPECT_EQ(pellix_test::ReadBytes(c.folder / "Pellix.lnk"),
              "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Pellix\n"
              "Exec=\"/opt/pellix/pellix\" \"/showbookmarks\"\nPath=/opt/pellix/\n");
    pellix_test::WriteBytes(c.folder / "Other.lnk", "x");
    EXPECT_TRUE(RemoveQuickLaunchShortcut("Pellix", c.selector));
    EXPECT_FALSE(fs::exists(c.folder / "Pellix.lnk"));
    EXPECT_FALSE(RemoveQuickLaunchShortcut("Pellix", c.selector));
    EXPECT_TRUE(fs::exists(c.folder / "Other.lnk"));
  }
}

TEST_F(ShortcutTest, AnUnknownOrMissingSpecialFolderAnswersFalse) {
  EXPECT_FALSE(CreateQuickLaunchShortcut("/a/one", "", 0x77, 0, "", "P"));
  EXPECT_FALSE(RemoveQuickLaunchShortcut("P", 0x77));
  // Application data is there, its Quick Launch subfolder is not.
  EXPECT_FALSE(CreateQuickLaunchShortcut("/a/one", "", kQuickLaunchFolder, 0, "", "P"));
  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, dir_ / "gone");
  EXPECT_FALSE(CreateQuickLaunchShortcut("/a/one", "", CSIDL_DESKTOPDIRECTORY, 0, "", "P"));
  EXPECT_TRUE(fs::is_empty(appData_.path()));
}

TEST_F(ShortcutTest, ALinkObjectThatCannotBeMadeRaisesAnOleError) {
  platform::faults::FailNext("CoCreateInstance", 1, ERROR_ACCESS_DENIED);
  try {
    CreateShortcut("/a/one", "", dir_.path().string(), 0, "", "P");
    FAIL() << "no exception";
  } catch (const EOleSysError& error) {
    EXPECT_EQ(error.ErrorCode, E_ACCESSDENIED);
  }
  CoUninitialize();
  EXPECT_THROW(CreateQuickLaunchShortcut("/a/one", "", CSIDL_DESKTOPDIRECTORY, 0, "", "P"), EOleSysError);
  CoInitialize(nullptr);
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST(ItemIdList, CarriesTheFolderOfACsidl) {
  pellix_test::TempDir folder;
  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, folder.path());
  LPITEMIDLIST list = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(0, CSIDL_DESKTOPDIRECTORY, &list), S_OK);
  char path[MAX_PATH] = {};
  EXPECT_TRUE(SHGetPathFromIDListA(list, path));
  EXPECT_EQ(fs::path(path), folder.path());
  ILFree(list);
  EXPECT_EQ(SHGetSpecialFolderLocation(0, 0x77, &list), E_INVALIDARG);
  EXPECT_EQ(list, nullptr);
  EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
  platform::SetSpecialFolder(platform::SpecialFolder::kDesktop, {});
}

}  // namespace
