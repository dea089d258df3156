// A data folder of its own for each test, the fixed-key cipher object, and helpers
// to build stored forms.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/form_items.h"
#include "data/list_notice.h"
#include "platform/base/clock.h"
#include "platform/base/faults.h"

// Keeps the texts of the notices about lists that could not be read.
class RecordingNotice : public TListNotice {
 public:
  void ShowListNotice(const std::u16string& text) override { texts.push_back(text); }
  std::vector<std::u16string> texts;
};

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DataFolder = dir_.path().string() + "/";
    CreateFixedCrypt();
  }
  void TearDown() override {
    DataFolder.clear();
    VaultList.reset();
    HistoryList.reset();
    BookmarkList.reset();
    PasswordList.reset();
    platform::faults::ClearAll();
    platform::test_clock::Release();
  }

  std::string PathOf(const std::string& name) const { return DataFolder + name; }
  std::string FileBytes(const std::string& name) const { return pellix_test::ReadBytes(PathOf(name)); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(PathOf(name)); }

  static TFormListItem Field(std::u16string name, std::u16string id, std::u16string value,
                             bool generated = false) {
    TFormListItem field;
    field.Name = std::move(name);
    field.ID = std::move(id);
    field.Value = std::move(value);
    field.Generated = generated;
    return field;
  }

  // Adds a stored form with the given address and form names to a list.
  template <typename Item>
  static Item* AddForm(TDataItems& list, std::u16string url, std::u16string formName = u"login",
                       std::u16string formId = u"f1") {
    auto* item = static_cast<Item*>(list.Add(std::make_unique<Item>(&list)));
    item->SetCaption(u"Caption of " + url);
    item->SetURL(url);
    item->SetFormName(formName);
    item->SetFormID(formId);
    return item;
  }

 private:
  pellix_test::TempDir dir_;
};
