#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/test_env.h"
#include "platform/base/text.h"
#include "support/program_paths.h"

namespace {

namespace fs = std::filesystem;

TEST(ProgramPaths, StandAloneDataLivesUnderTheStateRootNotBesideTheProgram) {
  const std::string home = std::getenv("PELLIX_HOME");
  EXPECT_EQ(StandAloneFolder(), home + "/");
  EXPECT_NE(StandAloneFolder(), ProgramFolder());
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
