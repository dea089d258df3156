// Data resources that a test adds to the program's resource table. The table keeps
// pointers for the life of the program, so the bytes are kept here as long.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/resources.h"

namespace pellix_test {

inline void RegisterDataResource(const std::string& name, const std::string& bytes) {
  static std::vector<std::unique_ptr<std::string>> kept;
  kept.push_back(std::make_unique<std::string>(bytes));
  platform::RegisterResource("#10", name, reinterpret_cast<const std::uint8_t*>(kept.back()->data()),
                             kept.back()->size());
}

}  // namespace pellix_test
