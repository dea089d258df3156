#include "app/backup_export.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/recording_launcher.h"
#include "app/start_up.h"
#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/win/message_box.h"
#include "support/files_folders.h"

namespace {

namespace driver = platform::message_box_driver;

constexpr char16_t kMaster[] = u"fixture master";

// Answers the vault password prompt with the password it was given; none: cancelled.
class PromptLauncher : public TRecordingLauncher {
 public:
  explicit PromptLauncher(std::u16string password) {
    if (!password.empty()) Typed.push_back(std::move(password));
  }
};

// args: the answer to the question ("yes", "no", or "none" for no one answering) and
// the master password the prompt gives (none: the prompt is cancelled).
const bool kBackupRole = pellix_test::RegisterChildRole("backup", [](const std::vector<std::string>& args) {
  if (args.at(0) == "yes") driver::Answer(IDYES);
  if (args.at(0) == "no") driver::Answer(IDNO);
  PromptLauncher launcher(args.size() > 1 ? platform::Utf8ToWide(args[1]) : u"");
  return StartApplication({"backup"}, launcher);
});

double ParseDate(const std::string& text) {
  SYSTEMTIME time{};
  int year, month, day, hour, minute, second;
  EXPECT_EQ(std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second), 6) << text;
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  return platform::EncodeDateTime(time);
}

std::vector<std::string> SplitParts(const std::string& line) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = line.find(" | ", start);
    parts.push_back(line.substr(start, bar - start));
    if (bar == std::string::npos) return parts;
    start = bar + 3;
  }
}

template <typename Item>
Item* AddRecord(TDataItems& list, const std::vector<std::string>& parts) {
  auto* item = static_cast<Item*>(list.Add(std::make_unique<Item>(&list)));
  item->SetCaption(platform::Utf8ToWide(parts.at(1)));
  item->SetURL(platform::Utf8ToWide(parts.at(2)));
  item->Date = ParseDate(parts.at(3));
  return item;
}

// Stores the fixture lists in the stand-alone data folder, and a security record of
// the given level for kMaster in the stand-alone settings.
void StoreFixture(std::int32_t level) {
  SetDataFolder(true);
  ASSERT_TRUE(ForceDirectoriesEx(DataFolder, false));
  CreateFixedCrypt();
  TBookmarkItems bookmarks;
  TPasswordItems passwords;
  std::ifstream in(pellix_test::Fixture("app/backup_lists.txt"));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto parts = SplitParts(line);
    if (parts[0] == "bookmark") {
      auto* item = AddRecord<TBookmarkItem>(bookmarks, parts);
      for (std::size_t i = 4; i < parts.size(); ++i) {
        TFormListItem field;
        field.Generated = parts[i][0] == '*';
        const std::string pair = parts[i].substr(field.Generated ? 1 : 0);
        field.Name = platform::Utf8ToWide(pair.substr(0, pair.find('=')));
        field.Value = platform::Utf8ToWide(pair.substr(pair.find('=') + 1));
        item->AddField(field);
      }
    } else {
      AddRecord<TPasswordItem>(passwords, parts)->SetPassword(platform::Utf8ToWide(parts.at(4)));
    }
  }
  ASSERT_TRUE(bookmarks.SaveToFile());
  ASSERT_TRUE(passwords.SaveToFile());
  ASSERT_TRUE(Config->WriteString(u"SECURITY", platform::AnsiToWide(MakeSecurityRecord(kMaster, level, 60))));
  FinalizeData();
}

// The backup file's text in UTF-8 with LF line ends; empty when there is none.
std::string BackupText(const std::filesystem::path& file) {
  const std::string bytes = pellix_test::ReadBytes(file);
  if (bytes.size() < 2) return {};
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "a wide string list file starts with its mark";
  std::string text = platform::WideToUtf8(platform::Utf16LeToWide(bytes.substr(2)));
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Dates in the file follow the user's locale; the expected file is in the C locale's.
    setenv("LC_ALL", "C", 1);
    file_ = std::filesystem::path(GetDesktopDir()) / kBackupFileName;
    std::filesystem::remove(file_);
  }
  void TearDown() override { unsetenv("LC_ALL"); }

  std::filesystem::path file_;
};

TEST_F(BackupTest, WritesTheBookmarksWithGeneratedValuesAndThePasswordHistory) {
  StoreFixture(kSecurityNone);
  std::filesystem::create_directories(file_.parent_path());
  pellix_test::WriteBytes(file_, "an older backup");
  EXPECT_EQ(pellix_test::RunChild("backup", {"yes"}), 0);
  EXPECT_EQ(BackupText(file_), pellix_test::ReadBytes(pellix_test::Fixture("app/backup_expected.txt")));
  struct stat info{};
  ASSERT_EQ(stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "passwords in clear text are the user's alone";
}

// The gate decides: the right master password writes the file; a wrong or cancelled
// one, a "No", or a question no one can answer writes nothing, and an older backup
// stays as it was.
TEST_F(BackupTest, NothingIsWrittenWithoutTheMasterPasswordOrAYes) {
  StoreFixture(kSecurityExpiring);
  std::filesystem::create_directories(file_.parent_path());
  struct Case {
    std::vector<std::string> args;
    int exitCode;
  };
  const Case refused[] = {
      {{"yes", "wrong password"}, 1},
      {{"yes"}, 1},
      {{"none", "fixture master"}, 1},
      {{"no", "fixture master"}, 0},
  };
  for (const Case& c : refused) {
    pellix_test::WriteBytes(file_, "an older backup");
    EXPECT_EQ(pellix_test::RunChild("backup", c.args), c.exitCode) << c.args[0];
    EXPECT_EQ(pellix_test::ReadBytes(file_), "an older backup") << c.args[0];
  }
  EXPECT_EQ(pellix_test::RunChild("backup", {"yes", "fixture master"}), 0);
  EXPECT_EQ(BackupText(file_), pellix_test::ReadBytes(pellix_test::Fixture("app/backup_expected.txt")));
}

// From a terminal the program asks its question and the master password there, and
// the password does not show; "No" writes nothing.
TEST_F(BackupTest, TheProgramAsksOnItsTerminal) {
  StoreFixture(kSecurityExpiring);
  std::filesystem::create_directories(file_.parent_path());
  struct Case {
    const char* answer;
    bool written;
  };
  for (const Case& c : {Case{"n\n", false}, Case{"Y\n", true}}) {
    pellix_test::WriteBytes(file_, "an older backup");
    int master = -1;
    const int child = pellix_test::StartOnTerminal({PELLIX_PROGRAM, "backup"}, master);
    std::string seen;
    ASSERT_TRUE(pellix_test::ReadUntil(master, "[Y]es / [N]o? ", seen)) << seen;
    EXPECT_NE(seen.find("Pellix - Backup\r\nDo you want to backup your passwords?\r\n"), std::string::npos) << seen;
    ASSERT_GT(write(master, c.answer, 2), 0);
    if (c.written) {
      ASSERT_TRUE(pellix_test::ReadUntil(master, "Master Password: ", seen)) << seen;
      ASSERT_GT(write(master, "fixture master\n", 15), 0);
      EXPECT_TRUE(pellix_test::ReadUntil(master, "Your Passwords were saved to: " + file_.string(), seen)) << seen;
    }
    EXPECT_EQ(pellix_test::WaitChild(child), 0) << seen;
    pellix_test::ReadUntil(master, "(the end)", seen);
    close(master);
    EXPECT_EQ(seen.find("fixture master"), std::string::npos) << seen;
    if (c.written) {
      EXPECT_EQ(BackupText(file_), pellix_test::ReadBytes(pellix_test::Fixture("app/backup_expected.txt")));
    } else {
      EXPECT_EQ(pellix_test::ReadBytes(file_), "an older backup");
    }
  }
}

// A list file that cannot be read would leave its records out of the backup: nothing is
// written rather than a backup that looks whole.
TEST_F(BackupTest, ADamagedListWritesNothing) {
  StoreFixture(kSecurityNone);
  SetDataFolder(true);
  const std::string bookmarks = DataFolder + kBookmarksFile;
  FinalizeData();
  pellix_test::WriteBytes(bookmarks, pellix_test::ReadBytes(bookmarks).substr(0, 40));
  std::filesystem::create_directories(file_.parent_path());
  pellix_test::WriteBytes(file_, "an older backup");
  EXPECT_EQ(pellix_test::RunChild("backup", {"yes"}), 1);
  EXPECT_EQ(pellix_test::ReadBytes(file_), "an older backup");
}

// Lines made in this process: marked records are skipped in both sections, and an
// empty password history ends the file with its title and an empty line.
TEST(BackupLines, MarkedRecordsAreLeftOutAndEmptySectionsKeepTheirTitles) {
  pellix_test::TempDir dir;
  DataFolder = dir.path().string() + "/";
  CreateFixedCrypt();
  TBookmarkItems bookmarks;
  TPasswordItems passwords;
  TUniStringList lines;
  BuildBackupLines(bookmarks, passwords, lines);
  EXPECT_EQ(lines.Text(), u"Bookmarks\r\n\r\n\r\n\r\nPassword History\r\n\r\n");

  auto* marked = static_cast<TBookmarkItem*>(bookmarks.Add(std::make_unique<TBookmarkItem>(&bookmarks)));
  marked->SetCaption(u"hidden");
  TFormListItem field;
  field.Name = u"p";
  field.Value = u"v";
  field.Generated = true;
  marked->AddField(field);
  marked->Marked = true;
  auto* password = static_cast<TPasswordItem*>(passwords.Add(std::make_unique<TPasswordItem>(&passwords)));
  password->SetCaption(u"hidden too");
  password->SetPassword(u"x");
  password->Marked = true;
  lines.Clear();
  BuildBackupLines(bookmarks, passwords, lines);
  EXPECT_EQ(lines.Text(), u"Bookmarks\r\n\r\n\r\n\r\nPassword History\r\n\r\n");
  FixedCrypt.reset();
  DataFolder.clear();
}

}  // namespace
