// A fixture with a user's lists in a data folder of the test's own, the settings in an
// ini file there, an open gate and an application object for the modal windows.
#pragma once

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/ignore_lists.h"
#include "data/app_services.h"
#include "platform/classlib/forms.h"
#include "platform/win/message_box.h"

class UserListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DataFolder = dir_.path().string() + "/";
    CreateFixedCrypt();
    Config = std::make_unique<TConfig>(kConfigIni, (dir_ / "pxcfg.ini").string());
    BookmarkList = std::make_unique<TBookmarkItems>();
    HistoryList = std::make_unique<THistoryItems>();
    PasswordList = std::make_unique<TPasswordItems>();
    IgnoreList = std::make_unique<TIgnoreList>();
    InternalIgnoreList = std::make_unique<TInternalIgnoreList>(ReadDataResource);
    SecurityLevel = kSecurityNone;
    FirstRunCompleted = true;
    platform::message_box_driver::Clear();
    platform::modal_driver::Clear();
  }
  void TearDown() override {
    BookmarkList.reset();
    HistoryList.reset();
    PasswordList.reset();
    IgnoreList.reset();
    InternalIgnoreList.reset();
    Config.reset();
    FirstRunCompleted = false;
    SecurityLevel = kSecurityExpiring;
    platform::message_box_driver::Clear();
    platform::modal_driver::Clear();
  }

  pellix_test::TempDir dir_;
  TApplication app_{nullptr};
};
