// A data folder of its own for a fuzz target, removed at exit, and whole-file reads.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/data_globals.h"

namespace fuzz_data {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes DataFolder point at a fresh temporary folder on the first call; the state
// root (and with it the user's keys) lies there too, never in the real one.
inline void EnsureDataFolder() {
  if (!DataFolder.empty()) return;
  std::string pattern = (std::filesystem::temp_directory_path() / "pellix-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  setenv("PELLIX_HOME", pattern.c_str(), 1);
  DataFolder = pattern + "/";
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(DataFolder, ignored);
  });
}

}  // namespace fuzz_data
