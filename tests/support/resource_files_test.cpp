#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/data_resources.h"
#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/fs/files.h"
#include "support/resource_files.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::ReadBytes;
using pellix_test::WriteBytes;

using pellix_test::RegisterDataResource;

class ResourceFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterDataResource("RF_BYTES", std::string("\0\x01\xFFpack bytes\r\n", 15));
    RegisterDataResource("RF_LINES", "a=1\nb=2\r\nlast");
    RegisterDataResource("RF_EMPTY", "");
  }
  void TearDown() override { platform::faults::ClearAll(); }

  pellix_test::TempDir dir;
  std::string Path(const std::string& name) { return (dir.path() / name).string(); }
};

TEST_F(ResourceFiles, ReaderOpensProgramResourcesOnly) {
  TFileResourceReader reader;
  ASSERT_TRUE(reader.Open("rf_bytes", "", RT_RCDATA)) << "names compare without case";
  std::string bytes;
  ASSERT_TRUE(reader.ReadRawString(bytes));
  EXPECT_EQ(bytes, std::string("\0\x01\xFFpack bytes\r\n", 15));
  reader.Close();
  EXPECT_FALSE(reader.HasStream());

  EXPECT_FALSE(reader.Open("RF_MISSING", "", RT_RCDATA));
  EXPECT_FALSE(reader.Open("RF_BYTES", "", RT_HTML)) << "another type is another resource";
  EXPECT_FALSE(reader.Open("RF_BYTES", Path("other.dll"), RT_RCDATA)) << "module files cannot be loaded here";
  EXPECT_FALSE(reader.HasStream());
}

TEST_F(ResourceFiles, ReaderRetriesAModuleHeldByAnotherProcess) {
  struct Case {
    std::uint32_t retryTime;
    int denials;
    int leftOver;  // planned failures that were never reached
  };
  for (const Case& c : {Case{800, 3, 0}, Case{200, 3, 1}, Case{800, 12, 4}}) {
    platform::faults::FailNext("LoadLibraryA", c.denials, ERROR_ACCESS_DENIED);
    TFileResourceReader reader;
    reader.RetryTime = c.retryTime;
    // A system module loads once the denials pass, but carries no data resources.
    EXPECT_FALSE(reader.Open("RF_BYTES", "kernel32.dll", RT_RCDATA));
    EXPECT_EQ(platform::faults::Pending("LoadLibraryA"), c.leftOver) << c.retryTime << " ms, " << c.denials;
    platform::faults::ClearAll();
  }
  platform::faults::FailNext("LoadLibraryA", 1, ERROR_MOD_NOT_FOUND);
  platform::faults::FailNext("LoadLibraryA", 2, ERROR_MOD_NOT_FOUND);
  TFileResourceReader reader;
  EXPECT_FALSE(reader.Open("RF_BYTES", "kernel32.dll", RT_RCDATA));
  EXPECT_EQ(platform::faults::Pending("LoadLibraryA"), 1) << "other errors are not retried";
}

TEST_F(ResourceFiles, TextEndsEveryLineInCrLf) {
  std::string text = "untouched";
  ASSERT_TRUE(LoadResourceText("", "RF_LINES", text));
  EXPECT_EQ(text, "a=1\r\nb=2\r\nlast\r\n");
  ASSERT_TRUE(LoadResourceText("", "RF_EMPTY", text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(LoadResourceText("", "RF_MISSING", text));
  EXPECT_FALSE(LoadResourceText(Path("absent.dll"), "RF_LINES", text)) << "a named module must exist";
}

TEST_F(ResourceFiles, ExtractKeepsReplacesOrRefuses) {
  const std::string file = Path("pack.cab");
  WriteBytes(file, "old");
  EXPECT_TRUE(ExtractResourceToFile(file, "RF_BYTES", false));
  EXPECT_EQ(ReadBytes(file), "old") << "an existing file is kept unless forced";
  EXPECT_TRUE(ExtractResourceToFile(file, "RF_BYTES", true));
  EXPECT_EQ(ReadBytes(file), std::string("\0\x01\xFFpack bytes\r\n", 15));
  EXPECT_FALSE(fs::exists(file + ".old"));

  EXPECT_FALSE(ExtractResourceToFile(file, "RF_MISSING", true));
  EXPECT_EQ(ReadBytes(file), std::string("\0\x01\xFFpack bytes\r\n", 15)) << "a missing resource leaves the file";

  const std::string nested = Path("Languages/pack.cab");
  EXPECT_TRUE(ExtractResourceToFile(nested, "RF_LINES", false)) << "a missing folder is made";
  EXPECT_EQ(ReadBytes(nested), "a=1\nb=2\r\nlast");
}

TEST_F(ResourceFiles, AFileHeldByAnotherHandleIsLeftWhole) {
  const std::string file = Path("busy.cab");
  WriteBytes(file, "in use");
  // Held without delete or write sharing: it can be neither removed, moved aside nor
  // rewritten, so the extraction fails and the file stays as it was.
  HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ExtractResourceToFile(file, "RF_LINES", true));
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(file), "in use");
  EXPECT_FALSE(fs::exists(file + ".old"));
}

TEST_F(ResourceFiles, AFailedWriteLeavesNoCutFile) {
  const std::string file = Path("cut.cab");
  platform::faults::FailNext("WriteFile", 1, ERROR_DISK_FULL);
  EXPECT_FALSE(ExtractResourceToFile(file, "RF_BYTES", true));
  EXPECT_FALSE(fs::exists(file));
}

}  // namespace
