// Where the program's own file lies: computed once, at the first use (which stands for
// the program's start, before any other part asks), and unchanged afterwards. Callers
// build paths by appending to the program folder without adding a separator.
#pragma once

#include <string>

struct ProgramPathValues {
  std::string programFile;       // the program file's full path
  std::string programFolder;     // its folder, ending in exactly one separator
  std::string shortProgramFile;  // its short form; empty when the system has none that fits
};

// The values for a given program file (the short form asked from the system).
ProgramPathValues ComputeProgramPaths(const std::string& programFile);

// The values of this program, from the system's name of its own executable.
const ProgramPathValues& ProgramPaths();
const std::string& ProgramFile();
const std::string& ProgramFolder();
const std::string& ShortProgramFile();

// Where a stand-alone start keeps its data folder and settings file: the user's state
// root (ending in one separator), never the program's folder, which other users share
// and which may not be writable. Empty when the root cannot be made.
std::string StandAloneFolder();
