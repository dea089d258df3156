// Gives each test its own state root, so that its registry database and named objects
// are its own even when the whole program runs in one process.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "common/test_env.h"
#include "platform/base/faults.h"
#include "platform/kernel/registry.h"

class FreshHome : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::getenv("PELLIX_HOME");
    previous_ = previous ? previous : "";
    home_ = std::make_unique<pellix_test::TempDir>();
    setenv("PELLIX_HOME", home_->path().c_str(), 1);
    platform::registry::CloseDatabase();
  }
  void TearDown() override {
    platform::faults::ClearAll();
    platform::registry::CloseDatabase();
    setenv("PELLIX_HOME", previous_.c_str(), 1);
    home_.reset();
  }
  const std::filesystem::path& home() const { return home_->path(); }

 private:
  std::string previous_;
  std::unique_ptr<pellix_test::TempDir> home_;
};
