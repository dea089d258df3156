#include "support/program_paths.h"

#include <filesystem>
#include <vector>

#include "platform/base/state_root.h"
#include "platform/base/text.h"
#include "platform/fs/files.h"
#include "platform/fs/names.h"
#include "platform/fs/paths.h"
#include "platform/kernel/process.h"
#include "support/files_folders.h"

namespace {

// The system's name of the program's own file; a buffer of the longest native path.
std::string OwnProgramFile() {
  std::vector<char> buffer(4096);
  const DWORD length = GetModuleFileNameA(0, buffer.data(), static_cast<DWORD>(buffer.size()));
  return length > 0 && length < buffer.size() ? std::string(buffer.data(), length) : std::string();
}

}  // namespace

ProgramPathValues ComputeProgramPaths(const std::string& programFile) {
  ProgramPathValues values;
  values.programFile = programFile;
  std::string folder = ExtractFilePath(programFile);
  while (folder.size() > 1 && folder[folder.size() - 2] == platform::kPathDelimiter) folder.pop_back();
  values.programFolder = folder;
  char shortName[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(programFile.c_str(), shortName, MAX_PATH);
  if (length > 0 && length < MAX_PATH) values.shortProgramFile.assign(shortName, length);
  return values;
}

const ProgramPathValues& ProgramPaths() {
  static const ProgramPathValues values = ComputeProgramPaths(OwnProgramFile());
  return values;
}

const std::string& ProgramFile() { return ProgramPaths().programFile; }

const std::string& ProgramFolder() { return ProgramPaths().programFolder; }

std::string StandAloneFolder() {
  const std::filesystem::path root = platform::StateRoot();
  std::string ansi;
  if (root.empty() || !platform::NativeToAnsiName(root.string(), ansi)) return {};
  return ansi + platform::kPathDelimiter;
}

const std::string& ShortProgramFile() { return ProgramPaths().shortProgramFile; }
