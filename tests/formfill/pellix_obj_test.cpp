#include "formfill/pellix_obj.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "data/menu_messages.h"
#include "formfill/app_menus.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/object_registry.h"
#include "platform/base/text.h"
#include "platform/com/bstr.h"
#include "platform/host/host_stand_in.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/registry.h"
#include "support/program_paths.h"
#include "support/registry_access.h"
#include "tests/data/recording_app_services.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;

std::string U8(const std::u16string& text) { return platform::WideToUtf8(text); }

const std::string kClassKey = "CLSID\\" + platform::com::GuidKeyText(CLSID_PellixObj);

// A plug-in object as the host makes it: by the class its registry key names.
class PellixObjTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_NE(CreatePluginFactory(), nullptr);
    CreatePluginFactory()->UpdateRegistry(true);
    ASSERT_EQ(platform::host::CreatePlugin("PELLIX", plugin_), S_OK);
    BookmarkList = std::make_unique<TBookmarkItems>();
    HistoryList = std::make_unique<THistoryItems>();
    PasswordList = std::make_unique<TPasswordItems>();
    HasIdentities = true;
    FirstRunCompleted = true;
    TrayIconShown = false;
    SetPluginSettings(TPluginSettings());
    ClearToolbarMenuCache();
  }
  void TearDown() override {
    EXPECT_TRUE(WaitToolbarButtonRefresh(10000));
    EXPECT_TRUE(WaitToolbarMenuRefresh(10000));
    plugin_ = nullptr;
    if (platform::host::HostInstalled()) platform::host::UninstallHost();
    ClearToolbarMenuCache();
    BookmarkList.reset();
    HistoryList.reset();
    PasswordList.reset();
    Identities.reset();
    ActiveIdentityNo.clear();
    HasIdentities = false;
    FirstRunCompleted = false;
    CoUninitialize();
  }

  TDataItem* Bookmark(const std::u16string& caption) {
    TDataItem* item = BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get()));
    item->SetCaption(caption);
    return item;
  }

  // The menu messages posted since the last call, taken from the main window's side.
  struct Posted {
    WPARAM code;
    std::shared_ptr<TObjMenuMessage> message;
  };
  std::vector<Posted> TakePosted() {
    std::vector<Posted> posted;
    const std::vector<RecordedCall> calls = services_.Calls();
    for (std::size_t i = seen_; i < calls.size(); ++i) {
      if (calls[i].kind != RecordedCall::kPost) continue;
      posted.push_back({calls[i].command, ReceiveMessageObject<TObjMenuMessage>(calls[i].argument)});
    }
    seen_ = calls.size();
    return posted;
  }

  std::string Info(const std::u16string& key, const std::u16string& argument = {}) {
    BString answer;
    BString k(key), a(argument);
    EXPECT_EQ(plugin_->GetPluginInfo(k.get(), a.get(), answer.Put()), S_OK);
    return U8(answer.Text());
  }

  struct ButtonInfo {
    LONG width = 0, style = 0, visible = -1;
    std::string settingName, caption, hint, menuText, longName;
    VARTYPE imageType = VT_NULL, pageImageType = VT_NULL;
    ULONG imageBytes = 0;
  };
  ButtonInfo GetButtonInfo() {
    ButtonInfo info;
    BString setting, caption, hint, menu, longName;
    platform::com::Variant image, pageImage;
    EXPECT_EQ(plugin_->GetButtonInfo(0, &info.width, &info.style, setting.Put(), caption.Put(), hint.Put(),
                                     image.Put(), menu.Put(), longName.Put(), pageImage.Put(), &info.visible),
              S_OK);
    info.settingName = U8(setting.Text());
    info.caption = U8(caption.Text());
    info.hint = U8(hint.Text());
    info.menuText = U8(menu.Text());
    info.longName = U8(longName.Text());
    info.imageType = image.type();
    info.pageImageType = pageImage.type();
    if (image.type() == (VT_ARRAY | VT_UI1)) info.imageBytes = image.raw().parray->rgsabound[0].cElements;
    return info;
  }

  RecordingAppServices services_;
  ComPtr<IQuindlePlugin> plugin_;
  std::size_t seen_ = 0;
};

TEST_F(PellixObjTest, PlainAnswers) {
  BString name, config;
  LONG number = -1;
  ASSERT_EQ(plugin_->GetDisplayName(name.Put()), S_OK);
  EXPECT_EQ(U8(name.Text()), "Pellix");
  ASSERT_EQ(plugin_->GetInterfaceVersion(&number), S_OK);
  EXPECT_EQ(number, 1);
  for (auto flags : {&IQuindlePlugin::GetButtonFlags, &IQuindlePlugin::GetMenuFlags, &IQuindlePlugin::GetPageFlags}) {
    number = -1;
    ASSERT_EQ((plugin_.get()->*flags)(&number), S_OK);
    EXPECT_EQ(number, 0);
  }
  VARIANT_BOOL wants = VARIANT_TRUE;
  ASSERT_EQ(plugin_->GetWantsNavigation(&wants), S_OK);
  EXPECT_EQ(wants, VARIANT_FALSE);
  ASSERT_EQ(plugin_->GetConfigText(config.Put()), S_OK);
  EXPECT_NE(U8(config.Text()).find("SHOW_PELLIX_BUTTON=3"), std::string::npos);
  EXPECT_EQ(plugin_->GetDisplayName(nullptr), E_POINTER);
  EXPECT_EQ(plugin_->GetButtonInfo(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr),
            E_POINTER);
  EXPECT_TRUE(TakePosted().empty());
  ASSERT_EQ(plugin_->RefreshConfig(), S_OK);
  const std::vector<RecordedCall> calls = services_.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().command, 8u);
  EXPECT_EQ(calls.back().argument, 0);
}

TEST_F(PellixObjTest, CommandsByName) {
  struct Case {
    const char16_t* text;
    bool hasIdentities, unlocked;
    int command;  // 0: nothing posted
  } cases[] = {
      {u"pellix:anything", true, true, 4},
      {u"PELLIX", false, true, 45},
      {u"Pellix", true, false, 43},
      {u"SECURITY_LEVEL", true, true, 31},
      {u"master_password:x", true, true, 32},
      {u"BROWSE_BOOKMARKS", true, true, 10},
      {u"BROWSE_HISTORY", true, true, 15},
      {u"BROWSE_IGNORELIST", true, true, 16},
      {u"CLEAR_FORM_HISTORY", true, true, 14},
      {u"SECURITY_LEVELS", true, true, 0},
      {u":SECURITY_LEVEL", true, true, 0},
      {u"", true, true, 0},
  };
  BString client(u"client-7");
  ASSERT_EQ(plugin_->SetClientId(client.get()), S_OK);
  for (const Case& c : cases) {
    HasIdentities = c.hasIdentities;
    services_.unlocked = c.unlocked;
    BString text(c.text);
    ASSERT_EQ(plugin_->OnCommand(text.get()), S_OK);
    std::vector<Posted> posted = TakePosted();
    if (c.command == 0) {
      EXPECT_TRUE(posted.empty()) << U8(c.text);
      continue;
    }
    ASSERT_EQ(posted.size(), 1u) << U8(c.text);
    EXPECT_EQ(posted[0].code, 9u);
    ASSERT_NE(posted[0].message, nullptr);
    EXPECT_EQ(posted[0].message->Command, c.command) << U8(c.text);
    // Only the toolbar button says which browser window it came from.
    const bool button = c.command == 4 || c.command == 43 || c.command == 45;
    EXPECT_EQ(U8(posted[0].message->ClientID), button ? "client-7" : "") << U8(c.text);
  }
}

TEST_F(PellixObjTest, MenuCommandsAndItemReferences) {
  TDataItem* kept = Bookmark(u"Kept");
  TDataItem* gone = Bookmark(u"Gone");
  const std::int32_t keptId = MenuItemId(kept);
  const std::int32_t goneId = MenuItemId(gone);
  BookmarkList->Delete(BookmarkList->IndexOf(gone));
  const std::u16string keptTag = platform::AnsiToWide(std::to_string(keptId));
  struct Case {
    std::u16string text;
    int command;  // 0: nothing posted
    std::int32_t param;
  } cases[] = {
      {u"FormFill_" + keptTag, 1, keptId},
      {u"bookmarkdelete_" + keptTag, 7, keptId},
      {u"Exit_0", kCommandExit, 0},
      {u"Exit", kCommandExit, 0},
      {u"Settings_3", 37, 3},
      {u"HideTray_x", 47, 0},
      {u"IdentityActivate_2", 26, 2},
      {u"Nothing_1", 0, 0},
      {u"_12", 0, 0},
      // Item references that name nothing of the lists run nothing.
      {u"FormFill_" + platform::AnsiToWide(std::to_string(goneId)), 0, 0},
      {u"FormFill_999999", 0, 0},
      {u"FormFill_abc", 0, 0},
      {u"FormFill_0", 0, 0},
      {u"HistDelete_-1", 0, 0},
  };
  for (const Case& c : cases) {
    BString text(c.text);
    ASSERT_EQ(plugin_->OnMenuCommand(0, text.get()), S_OK);
    std::vector<Posted> posted = TakePosted();
    if (c.command == 0) {
      EXPECT_TRUE(posted.empty()) << U8(c.text);
      continue;
    }
    ASSERT_EQ(posted.size(), 1u) << U8(c.text);
    ASSERT_NE(posted[0].message, nullptr);
    EXPECT_EQ(posted[0].message->Command, c.command) << U8(c.text);
    EXPECT_EQ(posted[0].message->Param, c.param) << U8(c.text);
  }
}

TEST_F(PellixObjTest, MessageThatIsNotPostedIsFreed) {
  const std::size_t before = platform::RegisteredObjectCount();
  services_.postAnswer = false;
  BString security(u"SECURITY_LEVEL"), exit(u"Exit_0"), add(u"IDENTITY_ADD"), empty;
  BString answer;
  ASSERT_EQ(plugin_->OnCommand(security.get()), S_OK);
  ASSERT_EQ(plugin_->OnMenuCommand(0, exit.get()), S_OK);
  ASSERT_EQ(plugin_->GetPluginInfo(add.get(), empty.get(), answer.Put()), S_OK);
  EXPECT_EQ(platform::RegisteredObjectCount(), before);
  for (const Posted& posted : TakePosted()) EXPECT_EQ(posted.message, nullptr);
  {
    // No main window at all: nothing is delivered and nothing is kept.
    InstallAppServices(nullptr);
    ASSERT_EQ(plugin_->OnCommand(security.get()), S_OK);
    InstallAppServices(&services_);
  }
  EXPECT_EQ(platform::RegisteredObjectCount(), before);
}

TEST_F(PellixObjTest, InfoKeys) {
  EXPECT_EQ(Info(u"FILL_FORMS", u"x"), "FILL_FORMS/x");
  EXPECT_EQ(Info(u"PASS_GEN", u"a/b"), "PASS_GEN/a/b");
  EXPECT_EQ(Info(u"ADD_BOOK"), "ADD_BOOK/");
  EXPECT_EQ(Info(u"fill_forms", u"x"), "");
  EXPECT_EQ(Info(u"LONGNAME"), "Pellix");
  EXPECT_EQ(Info(u"EXTENDED_INFO"), "");
  EXPECT_EQ(Info(u"NO_SUCH_KEY", u"x"), "");
  EXPECT_EQ(Info(u"ICON"), U8(PluginData().ButtonHex));
  EXPECT_FALSE(PluginData().ButtonHex.empty());
  EXPECT_TRUE(TakePosted().empty());

  struct Exit {
    bool tray, dialog;
    const char* answer;
  } exits[] = {{false, false, "YES"}, {true, false, "NO"}, {false, true, "NO"}, {true, true, "NO"}};
  for (const Exit& e : exits) {
    TrayIconShown = e.tray;
    services_.dialogOpen = e.dialog;
    EXPECT_EQ(Info(u"ALLOW_EXIT"), e.answer) << e.tray << e.dialog;
  }

  struct Post {
    const char16_t* key;
    int command;
    const char* text2;
  } posts[] = {{u"IDENTITY_ADD", 33, ""},
               {u"IDENTITY_EDIT", 34, "2"},
               {u"IDENTITY_ACTIVATE", 35, "2"},
               {u"IDENTITY_DELETE", 36, "2"}};
  for (const Post& p : posts) {
    EXPECT_EQ(Info(p.key, u"2"), "");
    std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 1u) << U8(p.key);
    ASSERT_NE(posted[0].message, nullptr);
    EXPECT_EQ(posted[0].message->Command, p.command);
    EXPECT_EQ(U8(posted[0].message->Text2), p.text2);
  }
  EXPECT_EQ(Info(u"REFRESH_CONFIG"), "");
  const std::vector<RecordedCall> calls = services_.Calls();
  EXPECT_EQ(calls.back().kind, RecordedCall::kPost);
  EXPECT_EQ(calls.back().command, 8u);
  EXPECT_EQ(calls.back().argument, 0);
}

TEST_F(PellixObjTest, IdentityList) {
  EXPECT_EQ(Info(u"IDENTITY_LIST"), "");
  Identities = std::make_unique<TIdentities>();
  Identities->Lines.Add(u"Home=1");
  Identities->Lines.Add(u"#Work=2");
  ActiveIdentityNo = u"1";
  EXPECT_EQ(Info(u"IDENTITY_LIST"), "1|Home|1\n2|#Work|0");
  ActiveIdentityNo = u"2";
  EXPECT_EQ(Info(u"IDENTITY_LIST"), "1|Home|0\n2|#Work|1");
}

TEST_F(PellixObjTest, SettingsDetailAndPages) {
  TPluginSettings settings;
  settings.CfgId = u"91";
  SetPluginSettings(settings);
  const std::string shortFile = ShortProgramFile();
  EXPECT_EQ(Info(u"SETTINGS_DETAIL"), "FILENAME=" + ProgramFile() +
                                          "\r\nLONGNAME=Pellix\r\nCAPTION=Pellix\r\nHINT=General overview"
                                          "\r\nINSTALL_PAGE=res://" + shortFile +
                                          "/INSTTBR\r\nMORE_INFO_URL=https://www.pellix.example/features/"
                                          "\r\nCFG_ID=91\r\nICON=" + U8(PluginData().SettingsHex));
  EXPECT_EQ(U8(PluginSettings().AboutUrl), "https://www.pellix.example/features/");

  BString pages;
  SAFEARRAY* image = nullptr;
  ASSERT_EQ(plugin_->GetSettingsPages(pages.Put(), &image), S_OK);
  const std::string base = "=res://" + shortFile + "/TAB";
  EXPECT_EQ(U8(pages.Text()), "Pellix" + base + "1\r\nFilling Forms" + base + "2\r\nBookmarks && History" + base +
                                  "3\r\nIdentity" + base + "4\r\n");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->rgsabound[0].cElements, PluginData().ButtonBytes.size());
  EXPECT_EQ(std::memcmp(image->pvData, PluginData().ButtonBytes.data(), PluginData().ButtonBytes.size()), 0);
  SafeArrayDestroy(image);
}

TEST_F(PellixObjTest, ButtonInfoModes) {
  ASSERT_TRUE(platform::host::InstallHost());
  const std::string hostKey = platform::host::HostSettingsKey(u"PELLIX");
  struct Case {
    bool pellixAll;
    const char16_t* client;
    const char* hostMode;  // SHOW_PELLIX_BUTTON in the host's store
    int mode;
  } cases[] = {
      {false, u"", "3", 0},          {true, u"SETTINGS", "0", 3}, {true, u"c", "1", 1}, {true, u"c", "2", 2},
      {true, u"c", "3", 3},          {true, u"c", "0", 0},        {true, u"c", "-1", -1}, {true, u"c", "-2", -2},
  };
  const ULONG bytes = static_cast<ULONG>(PluginData().ButtonBytes.size());
  for (const Case& c : cases) {
    TPluginSettings settings;
    settings.PellixAll = c.pellixAll;
    SetPluginSettings(settings);
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, hostKey, "SHOW_PELLIX_BUTTON", c.hostMode));
    BString client(c.client);
    plugin_->SetClientId(client.get());
    const ButtonInfo info = GetButtonInfo();
    const std::string label = std::string(c.hostMode) + "/" + U8(c.client);
    EXPECT_EQ(info.width, 150);
    EXPECT_EQ(info.style, 1);
    EXPECT_EQ(info.settingName, "PELLIX:SHOW_PELLIX_BUTTON");
    EXPECT_EQ(info.caption, c.mode >= 2 ? "Pellix" : "") << label;
    EXPECT_EQ(info.hint, "The easy way to fill in web forms and store your passwords.");
    const bool bitmap = c.mode > 0 && c.mode % 2 == 1;
    EXPECT_EQ(info.imageType, bitmap ? VT_ARRAY | VT_UI1 : VT_EMPTY) << label;
    EXPECT_EQ(info.imageBytes, bitmap ? bytes : 0u) << label;
    EXPECT_EQ(info.longName, "Pellix");
    EXPECT_EQ(info.pageImageType, VT_ARRAY | VT_UI1);
    EXPECT_EQ(info.visible, c.mode > 0 ? 1 : 0) << label;
  }
  // Only the objects of browser windows ask the host's store.
  int reads = 0;
  for (const platform::host::HostCall& call : platform::host::HostCalls()) {
    if (call.Slot != 8) continue;
    ++reads;
    ASSERT_EQ(call.Args.size(), 3u);
    EXPECT_EQ(U8(call.Args[0]), "PELLIX");
    EXPECT_EQ(U8(call.Args[1]), "SHOW_PELLIX_BUTTON");
    EXPECT_EQ(U8(call.Args[2]), "-1");
  }
  EXPECT_EQ(reads, 6);
  // Without the host the mode last read stays.
  platform::host::UninstallHost();
  EXPECT_EQ(GetButtonInfo().visible, 0);
  EXPECT_EQ(PluginSettings().ShowPellixButton, -2);
}

TEST_F(PellixObjTest, MenuTextCacheIsReplacedByRefreshAndClearedByLogoff) {
  ASSERT_TRUE(platform::host::InstallHost());
  HasIdentities = false;
  EXPECT_EQ(GetButtonInfo().menuText, "Start After Install Wizard=AfterInstall");
  HasIdentities = true;
  Bookmark(u"First");
  const std::string first = GetButtonInfo().menuText;
  EXPECT_NE(first.find("+First\r\n"), std::string::npos) << first;
  // The cache answers until a refresh replaces it.
  Bookmark(u"Second");
  EXPECT_EQ(GetButtonInfo().menuText, first);
  StartToolbarMenuRefresh();
  ASSERT_TRUE(WaitToolbarMenuRefresh(10000));
  const std::string second = GetButtonInfo().menuText;
  EXPECT_NE(second.find("+Second\r\n"), std::string::npos) << second;
  // Logoff and lock clear it: the locked text is the login line; unlock clears it again.
  services_.unlocked = false;
  EXPECT_EQ(GetButtonInfo().menuText, "Login=Login");
  Bookmark(u"Third");
  services_.unlocked = true;
  const std::string third = GetButtonInfo().menuText;
  EXPECT_NE(third.find("+Third\r\n"), std::string::npos) << third;
  // A refresh made while locked is not taken for the unlocked text.
  services_.unlocked = false;
  StartToolbarMenuRefresh();
  ASSERT_TRUE(WaitToolbarMenuRefresh(10000));
  services_.unlocked = true;
  EXPECT_EQ(GetButtonInfo().menuText, third);
  // An explicit clear drops the text whatever the state.
  Bookmark(u"Fourth");
  ClearToolbarMenuCache();
  EXPECT_NE(GetButtonInfo().menuText.find("+Fourth\r\n"), std::string::npos);
}

TEST_F(PellixObjTest, ButtonRefreshPushesTheButton) {
  ASSERT_TRUE(platform::host::InstallHost());
  const std::string hex = U8(PluginData().ButtonHex);
  struct Case {
    bool pellixAll;
    std::int32_t mode;
    std::vector<std::string> calls;  // slot and arguments joined by "|"
  } cases[] = {
      {true, 3, {"28|PELLIX|0|PELLIX|Pellix", "33|PELLIX|0|SET_BMP|PELLIX|" + hex,
                 "33|PELLIX|0|SET_CHEVRONBMP|PELLIX|" + hex, "30|PELLIX|0|PELLIX|1"}},
      {true, 1, {"28|PELLIX|0|PELLIX|<nothing>", "33|PELLIX|0|SET_BMP|PELLIX|" + hex,
                 "33|PELLIX|0|SET_CHEVRONBMP|PELLIX|" + hex, "30|PELLIX|0|PELLIX|1"}},
      {true, 2, {"28|PELLIX|0|PELLIX|Pellix", "33|PELLIX|0|SET_BMP|PELLIX|<nothing>",
                 "33|PELLIX|0|SET_CHEVRONBMP|PELLIX|<nothing>", "30|PELLIX|0|PELLIX|1"}},
      {true, 0, {"28|PELLIX|0|PELLIX|<nothing>", "33|PELLIX|0|SET_BMP|PELLIX|<nothing>",
                 "33|PELLIX|0|SET_CHEVRONBMP|PELLIX|<nothing>", "30|PELLIX|0|PELLIX|0"}},
      {false, 3, {"30|PELLIX|0|PELLIX|0", "28|PELLIX|0|PELLIX|<nothing>", "33|PELLIX|0|SET_BMP|PELLIX|<nothing>",
                  "33|PELLIX|0|SET_CHEVRONBMP|PELLIX|<nothing>"}},
  };
  for (const Case& c : cases) {
    TPluginSettings settings;
    settings.PellixAll = c.pellixAll;
    settings.ShowPellixButton = c.mode;
    SetPluginSettings(settings);
    platform::host::ClearHostCalls();
    StartToolbarButtonRefresh();
    ASSERT_TRUE(WaitToolbarButtonRefresh(10000));
    std::vector<std::string> calls;
    for (const platform::host::HostCall& call : platform::host::HostCalls()) {
      std::string line = std::to_string(call.Slot);
      for (const std::u16string& arg : call.Args) line += "|" + U8(arg);
      calls.push_back(line);
    }
    EXPECT_EQ(calls, c.calls) << c.pellixAll << c.mode;
  }
  // Requests in quick succession: the last settings reach the host last.
  platform::host::ClearHostCalls();
  for (int mode = 0; mode < 20; ++mode) {
    TPluginSettings settings;
    settings.ShowPellixButton = mode % 2 == 0 ? 0 : 3;
    SetPluginSettings(settings);
    StartToolbarButtonRefresh();
  }
  ASSERT_TRUE(WaitToolbarButtonRefresh(10000));
  const std::vector<platform::host::HostCall> calls = platform::host::HostCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().Slot, 30);
  EXPECT_EQ(U8(calls.back().Args.back()), "1");
}

TEST(PluginData, HexAndByteArrays) {
  TMemoryStream stream;
  std::vector<BYTE> bytes(2500);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i * 7);
  stream.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  stream.Seek(0, TSeekOrigin::soBeginning);
  const std::string hex = platform::WideToAnsi(StreamToHex(stream));
  ASSERT_EQ(hex.size(), 5000u);
  EXPECT_EQ(hex.substr(0, 8), "00070E15");
  EXPECT_EQ(hex.substr(2 * 1024, 2), "00");  // 1024 * 7 = 0x1C00
  EXPECT_EQ(hex.substr(2 * 2499, 2), "55");  // 2499 * 7 = 0x4455

  struct Case {
    int width, height;
    bool hasBytes;
  } cases[] = {{16, 16, true}, {1024, 1, true}, {1, 1024, true}, {1025, 1, false}, {1, 1025, false}};
  for (const Case& c : cases) {
    TBitmap button;
    button.SetPixelFormat(TPixelFormat::pf32bit);
    button.SetSize(c.width, c.height);
    const TPluginData data = MakePluginData("A=1", &button, nullptr);
    EXPECT_EQ(data.HasButtonBytes, c.hasBytes) << c.width << "x" << c.height;
    EXPECT_EQ(data.ButtonBytes.empty(), !c.hasBytes);
    EXPECT_EQ(U8(data.ButtonHex.substr(0, 4)), "424D");  // "BM": the bitmap-file form
    EXPECT_TRUE(data.SettingsHex.empty());
    EXPECT_EQ(U8(data.ConfigText), "A=1");
  }
  SAFEARRAY* array = BytesToSafeArray({1, 2, 3});
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->rgsabound[0].cElements, 3u);
  EXPECT_EQ(static_cast<BYTE*>(array->pvData)[2], 3);
  SafeArrayDestroy(array);
}

// Registration as the host sees it, and its removal.
class PluginRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override { CoUninitialize(); }
  static std::string Default(const std::string& key) {
    return RegReadStringDef(HKEY_CLASSES_ROOT, key, "", "<none>");
  }
  static std::string AccessList(HKEY root, const std::string& key) {
    HKEY handle = 0;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
    PSECURITY_DESCRIPTOR descriptor = RegGetKeySecurityDescriptor(handle);
    RegCloseKey(handle);
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
    std::string text = present ? platform::DescribeAcl(acl) : "<no list>";
    LocalFree(descriptor);
    return text;
  }
};

TEST_F(PluginRegistrationTest, RegisterAndRemove) {
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kPluginRegistryKey);
  ComPtr<IQuindlePlugin> plugin;
  EXPECT_EQ(platform::host::CreatePlugin("PELLIX", plugin), REGDB_E_CLASSNOTREG);
  TPellixFactory* factory = CreatePluginFactory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(CreatePluginFactory(), factory);
  factory->UpdateRegistry(true);

  const std::string clsid = platform::com::GuidKeyText(CLSID_PellixObj);
  const std::string lib = platform::com::GuidKeyText(LIBID_Pellix);
  const std::string iface = "Interface\\" + platform::com::GuidKeyText(IID_IQuindlePlugin);
  struct Value {
    std::string key, value;
  } values[] = {
      {kClassKey, "PellixObj Object"},
      {kClassKey + "\\LocalServer32", ProgramFile()},
      {kClassKey + "\\ProgID", "Pellix.PellixObj"},
      {kClassKey + "\\TypeLib", lib},
      {"Pellix.PellixObj\\Clsid", clsid},
      {"TypeLib\\" + lib + "\\1.0", "Pellix Library"},
      {iface + "\\TypeLib", lib},
  };
  for (const Value& v : values) EXPECT_EQ(Default(v.key), v.value) << v.key;
  EXPECT_EQ(RegReadStringDef(HKEY_CLASSES_ROOT, kClassKey, "PluginName", ""), "PELLIX");
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "ZQW7_SUPPORT", ""), "1");
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "CLSID", ""), clsid);
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "LONGNAME", ""), "Pellix");

  // The host finds the class by the plug-in key and makes it.
  ASSERT_EQ(platform::host::CreatePlugin("PELLIX", plugin), S_OK);
  BString name;
  ASSERT_EQ(plugin->GetDisplayName(name.Put()), S_OK);
  EXPECT_EQ(U8(name.Text()), "Pellix");
  plugin = nullptr;
  EXPECT_EQ(platform::host::CreatePlugin("OTHER", plugin), REGDB_E_CLASSNOTREG);

  factory->UpdateRegistry(false);
  for (const char* gone : {"", "\\LocalServer32"}) EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey + gone));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "Pellix.PellixObj\\Clsid"));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + lib + "\\1.0"));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, iface + "\\TypeLib"));
  // The host's plug-in key stays.
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "CLSID", ""), clsid);
}

TEST_F(PluginRegistrationTest, KeysNeverOpenWiderThanTheUser) {
  TPellixFactory* factory = CreatePluginFactory();
  factory->UpdateRegistry(true);
  // An older registration opened the keys to everyone; registering again narrows them.
  struct Key {
    HKEY root;
    std::string path;
  } keys[] = {{HKEY_CLASSES_ROOT, kClassKey},
              {HKEY_LOCAL_MACHINE, kPluginRegistryKey},
              {HKEY_CLASSES_ROOT, "Pellix.PellixObj"}};
  for (const Key& k : keys) {
    ASSERT_TRUE(RegSetAllowEveryone(k.root, k.path));
    ASSERT_NE(AccessList(k.root, k.path).find("S-1-1-0"), std::string::npos);
  }
  factory->UpdateRegistry(true);
  for (const Key& k : keys) {
    const std::string list = AccessList(k.root, k.path);
    EXPECT_EQ(list.find("S-1-1-0"), std::string::npos) << k.path << ": " << list;
    EXPECT_NE(list.find("allow S-1-5-21-"), std::string::npos) << k.path << ": " << list;
  }
  struct stat info {};
  ASSERT_EQ(stat(platform::registry::DatabasePath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  factory->UpdateRegistry(false);
}

TEST_F(PluginRegistrationTest, AFailedGroupDoesNotStopTheOthers) {
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kPluginRegistryKey);
  for (const std::string& key : {kClassKey, std::string("Pellix.PellixObj")}) {
    ASSERT_TRUE(RegWriteString(HKEY_CLASSES_ROOT, key, "", "older"));
    ASSERT_TRUE(RegSetAllowEveryone(HKEY_CLASSES_ROOT, key));
  }
  // The class key's access list cannot be set: its group goes on and so do the others.
  platform::faults::FailNext("RegSetKeySecurity", 1, ERROR_ACCESS_DENIED);
  CreatePluginFactory()->UpdateRegistry(true);
  platform::faults::ClearAll();
  EXPECT_NE(AccessList(HKEY_CLASSES_ROOT, kClassKey).find("S-1-1-0"), std::string::npos);
  EXPECT_EQ(RegReadStringDef(HKEY_CLASSES_ROOT, kClassKey, "PluginName", ""), "PELLIX");
  EXPECT_EQ(RegReadStringDef(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "LONGNAME", ""), "Pellix");
  EXPECT_EQ(AccessList(HKEY_CLASSES_ROOT, "Pellix.PellixObj").find("S-1-1-0"), std::string::npos);
  CreatePluginFactory()->UpdateRegistry(false);
}

}  // namespace
