// A fixture for the windows that work on the data layer as the program starts it: the
// data folder of the test's own state root with its settings, the wide-character
// layer and an application object for the modal windows. Everything the windows
// wrote goes with the test, and the security values are as at a fresh start again.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "controls/unicode/uni_forms.h"
#include "data/app_services.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "platform/classlib/forms.h"
#include "platform/win/input_driver.h"
#include "platform/win/message_box.h"

class StartedDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartUniApplication();
    InitData(true);
    platform::message_box_driver::Clear();
  }
  void TearDown() override {
    platform::modal_driver::Clear();
    platform::message_box_driver::Clear();
    FinishUniApplication();
    Config->WriteString(u"IDENTITY", u"");
    Config->WriteString(u"SECURITY", u"");
    const std::string folder = DataFolder;
    FinalizeData();
    std::filesystem::remove_all(folder);
    FirstRunCompleted = false;
    MasterCrypt.clear();
    UnlockTime = 0;
    SecurityLevel = kSecurityExpiring;
    SecurityExpires = 60;
  }
  // The focus moves at once, the typing when the messages are handled: now.
  static void TypeInto(TWinControl& control, const std::u16string& text) {
    control.SetFocus();
    platform::input_driver::Type(text);
    platform::input_driver::RunPending();
  }

  TApplication app_{nullptr};
};
