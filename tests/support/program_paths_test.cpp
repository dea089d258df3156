#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/test_env.h"
#include "platform/base/text.h"
#include "platform/fs/files.h"
#include "support/program_paths.h"

namespace {

namespace fs = std::filesystem;

TEST(ProgramPaths, StandAloneDataLivesUnderTheStateRootNotBesideTheProgram) {
  const std::string home = std::getenv("PELLIX_HOME");
  EXPECT_EQ(StandAloneFolder(), home + "/");
  EXPECT_NE(StandAloneFolder(), ProgramFolder());
}

// The folder leaves in the code page, so that files named from it land in the root;
// a root whose name has no 8-bit form gives no folder at all.
TEST(ProgramPaths, StandAloneFolderOfARootWithLettersBeyondAscii) {
  pellix_test::TempDir dir;
  const std::string saved = std::getenv("PELLIX_HOME");
  const fs::path accented = dir / "caf\u00e9";
  setenv("PELLIX_HOME", accented.c_str(), 1);
  const std::string folder = StandAloneFolder();
  EXPECT_EQ(folder, dir.path().string() + "/caf\xE9/");
  CloseHandle(CreateFileA((folder + "pxcfg.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0));
  EXPECT_TRUE(fs::exists(accented / "pxcfg.ini"));
  setenv("PELLIX_HOME", (dir / "\u03a9mega").c_str(), 1);
  EXPECT_EQ(StandAloneFolder(), "");
  setenv("PELLIX_HOME", saved.c_str(), 1);
}

TEST(ProgramPaths, ThisProgramsFileFolderAndShortForm) {
  const std::string self = platform::Utf8ToAnsi(fs::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(ProgramFile(), self);
  EXPECT_EQ(ProgramFolder() + fs::path(self).filename().string(), self) << "the folder takes the name directly";
  EXPECT_EQ(ShortProgramFile(), self) << "no short names here: the path itself";
  EXPECT_EQ(&ProgramFolder(), &ProgramPaths().programFolder) << "computed once";
}

TEST(ProgramPaths, OddFolderNamesEndInExactlyOneSeparator) {
  pellix_test::TempDir dir;
  const fs::path folder = dir / "Program Files (x86)" / "Pellix Ä";
  fs::create_directories(folder);
  pellix_test::WriteBytes(folder / "pellix", "");
  const std::string file = platform::Utf8ToAnsi((folder / "pellix").string());
  const ProgramPathValues values = ComputeProgramPaths(file);
  EXPECT_EQ(values.programFolder, platform::Utf8ToAnsi(folder.string()) + "/");
  EXPECT_EQ(values.shortProgramFile, file);

  EXPECT_EQ(ComputeProgramPaths("/opt//pellix").programFolder, "/opt/");
  EXPECT_EQ(ComputeProgramPaths("/pellix").programFolder, "/");
  const ProgramPathValues missing = ComputeProgramPaths("/no/such/program");
  EXPECT_EQ(missing.programFolder, "/no/such/");
  EXPECT_EQ(missing.shortProgramFile, "") << "the system reports failure";
  const std::string tooLong = "/" + std::string(300, 'p');
  EXPECT_EQ(ComputeProgramPaths(tooLong).shortProgramFile, "");
}

}  // namespace
