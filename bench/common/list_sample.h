// A state root of its own with one identity and full history, bookmark and password
// lists, made once for the start-up benchmarks.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "platform/base/text.h"
#include "platform/com/class_table.h"
#include "platform/host/host_stand_in.h"

namespace pellix_bench {

inline constexpr int kSampleItems = 10000;

inline std::u16string Number(int i) {
  std::u16string n(u"00000");
  for (int k = 4, v = i; k >= 0; --k, v /= 10) n[k] = static_cast<char16_t>(u'0' + v % 10);
  return n;
}

template <typename Item, typename List>
void Fill(List& list) {
  for (int i = 0; i < kSampleItems; ++i) {
    auto* item = static_cast<Item*>(list.Add(std::make_unique<Item>(&list)));
    item->SetCaption(u"Shop account " + Number(i));
    item->SetURL(u"https://shop" + Number(i) + u".example.com/account/login.php");
    item->SetFormName(u"login");
    item->SetFormID(u"form1");
    TFormListItem field;
    field.Name = u"user";
    field.Value = u"customer" + Number(i);
    item->AddFields({field});
    item->EncodeFields();
  }
}

// StandAlone: the settings in the ini file and the data beside them; otherwise in the
// host's store and application data. With a security record, the first run counts as
// done (level 0: nothing asks for a password).
struct ListSample {
  ListSample(bool standAlone, bool securityRecord) {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellix-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    root = pattern;
    setenv("PELLIX_HOME", root.c_str(), 1);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (!standAlone && !platform::host::InstallHost()) return;
    InitData(standAlone);
    std::u16string fileNo;
    if (!CreateIdentityFile(u"Home", u"", fileNo) || !Config->WriteString(u"IDENTITY", fileNo) ||
        !LoadAllData(fileNo, u"")) {
      return;
    }
    if (securityRecord &&
        !Config->WriteString(u"SECURITY", platform::AnsiToWide(MakeSecurityRecord(u"sample", kSecurityNone, 0)))) {
      return;
    }
    Fill<TFormItem>(*HistoryList);
    Fill<TBookmarkItem>(*BookmarkList);
    Fill<TPasswordItem>(*PasswordList);
    ready = HistoryList->SaveToFile() && BookmarkList->SaveToFile() && PasswordList->SaveToFile();
    folder = DataFolder;
    FinalizeData();
  }
  ~ListSample() {
    FinalizeData();
    std::error_code ignored;
    if (!root.empty()) std::filesystem::remove_all(root, ignored);
  }
  std::string root;
  std::string folder;
  bool ready = false;
};

}  // namespace pellix_bench
