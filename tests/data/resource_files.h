// The data resources read from their files in the source tree, for tests that need the
// lists without the program's compiled-in copies.
#pragma once

#include <optional>
#include <string>

#include "common/test_env.h"
#include "data/field_dictionary.h"

inline std::optional<std::string> SourceResource(const char* name) {
  std::string path = std::string(PELLIX_SOURCE_DIR) + "/resources/data/" + name + ".txt";
  if (!std::filesystem::exists(path)) return std::nullopt;
  return pellix_test::ReadBytes(path);
}
