#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/test_env.h"
#include "platform/shell/shell_execute.h"
#include "support/shell.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// A script that writes its arguments, one per line, to a file and exits with a code.
fs::path Script(const fs::path& folder, const std::string& name, int exitCode) {
  fs::path script = folder / name;
  std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" << (folder / (name + ".args")).string()
                        << "\"\npwd > \"" << (folder / (name + ".pwd")).string() << "\"\nexit " << exitCode << "\n";
  chmod(script.c_str(), 0700);
  return script;
}

class ShellExecute : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::SetShellOpener("");
    platform::SetWebOpener({});
  }
  pellix_test::TempDir dir;
};

TEST_F(ShellExecute, DocumentsAndAddressesGoToTheOpener) {
  platform::SetShellOpener(Script(dir.path(), "opener", 0).string());
  std::ofstream(dir / "doc.txt") << "x";
  struct Case {
    std::string file;
    std::string expected;
  };
  const Case cases[] = {
      {"https://example.org/page?a=1", "https://example.org/page?a=1\n"},
      {"mailto:someone@example.org", "mailto:someone@example.org\n"},
      {(dir / "doc.txt").string(), (dir / "doc.txt").string() + "\n"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(ShellOpen(c.file)) << c.file;
    EXPECT_EQ(ReadAll(dir / "opener.args"), c.expected);
  }
}

TEST_F(ShellExecute, WebAddressesGoToTheProgramsBrowserWhenItHasOne) {
  platform::SetShellOpener(Script(dir.path(), "opener", 0).string());
  std::vector<std::string> opened;
  bool answer = true;
  platform::SetWebOpener([&](const std::string& address) {
    opened.push_back(address);
    return answer;
  });
  EXPECT_GT(ShellExecuteA(0, "open", "https://example.org/a", "", "", SW_SHOW), 32u);
  EXPECT_GT(ShellExecuteA(0, nullptr, "HTTP://example.org/b", nullptr, nullptr, SW_SHOW), 32u);
  answer = false;
  EXPECT_EQ(ShellExecuteA(0, "open", "http://example.org/c", "", "", SW_SHOW), SE_ERR_NOASSOC);
  EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/a", "HTTP://example.org/b", "http://example.org/c"}));
  // Other addresses still go to the desktop's opener.
  EXPECT_TRUE(ShellOpen("mailto:someone@example.org"));
  EXPECT_EQ(ReadAll(dir / "opener.args"), "mailto:someone@example.org\n");
  platform::SetWebOpener({});
  EXPECT_TRUE(ShellOpen("https://example.org/d"));
  EXPECT_EQ(ReadAll(dir / "opener.args"), "https://example.org/d\n");
  EXPECT_EQ(opened.size(), 3u);
}

TEST_F(ShellExecute, FailuresHaveTheirNumbers) {
  std::ofstream(dir / "doc.txt") << "x";
  std::string doc = (dir / "doc.txt").string(), missing = (dir / "missing.txt").string();
  platform::SetShellOpener((dir / "no-such-opener").string());
  EXPECT_EQ(ShellExecuteA(0, "open", doc.c_str(), "", "", SW_SHOW), SE_ERR_NOASSOC);
  EXPECT_FALSE(ShellOpen(doc)) << "a file without associated program";
  platform::SetShellOpener(Script(dir.path(), "refusing", 4).string());
  EXPECT_EQ(ShellExecuteA(0, nullptr, doc.c_str(), nullptr, nullptr, SW_SHOW), SE_ERR_NOASSOC);
  EXPECT_EQ(ShellExecuteA(0, "open", missing.c_str(), "", "", SW_SHOW), SE_ERR_FNF);
  EXPECT_EQ(ShellExecuteA(0, "print", doc.c_str(), "", "", SW_SHOW), SE_ERR_NOASSOC);
}

TEST_F(ShellExecute, ProgramsStartWithTheirParametersInTheFolderGiven) {
  std::string program = Script(dir.path(), "program", 0).string();
  fs::create_directories(dir / "work");
  EXPECT_GT(ShellExecuteA(0, "open", program.c_str(), "/showbookmarks \"two words\"", (dir / "work").c_str(), SW_SHOW),
            32u);
  for (int i = 0; i < 500 && !fs::exists(dir / "program.pwd"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(ReadAll(dir / "program.args"), "/showbookmarks\ntwo words\n");
  EXPECT_EQ(ReadAll(dir / "program.pwd"), (dir / "work").string() + "\n");
}

}  // namespace
