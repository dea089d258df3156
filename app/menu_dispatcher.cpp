#include "app/menu_dispatcher.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <future>
#include <thread>

#include "app/list_changes.h"
#include "app/main_form.h"
#include "app/notice_windows.h"
#include "data/config.h"
#include "data/crypt_wide.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "data/menu_messages.h"
#include "formfill/after_navigate.h"
#include "formfill/app_menus.h"
#include "formfill/browser_access.h"
#include "formfill/form_filling.h"
#include "formfill/ie_win.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/win/message_box.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/registry_access.h"
#include "support/shell.h"
#include "support/translator.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

// Menu command numbers (the command table shared with the menus and the host).
enum TMenuCommand : int {
  mcFormFill = 1,
  mcFormFillSubmit = 2,
  mcFormNoFill = 3,
  mcFillOpenForm = 4,
  mcBookmarkDelete = 7,
  mcBookmarkEdit = 8,
  mcBookmarkCreate = 9,
  mcBookmarksManage = 10,
  mcHistAsBookmark = 11,
  mcHistDelete = 12,
  mcHistoryClear = 14,
  mcHistoryManage = 15,
  mcIgnoreList = 16,
  mcIdentityCreate = 23,
  mcIdentityEdit = 24,
  mcIdentitySettings = 25,
  mcIdentityActivate = 26,
  mcPasswordsGenerate = 27,
  mcPasswordsEdit = 28,
  mcPasswordsBrowse = 29,
  mcPasswordsClear = 30,
  mcSettingsSecurity = 31,
  mcSettingsMasterPwd = 32,
  mcHostIdentityAdd = 33,
  mcHostIdentityEdit = 34,
  mcHostIdentityActivate = 35,
  mcHostIdentityDelete = 36,
  mcSettings = 37,
  mcHelp = 38,
  mcAbout = 39,
  mcFillByBody = 40,
  mcGeneratorByBody = 41,
  mcBookmarkPage = 42,
  mcLogin = 43,
  mcLogoff = 44,
  mcAfterInstall = 45,
  mcShowTray = 46,
  mcHideTray = 47,
  mcExit = 48,
};

constexpr char kQuindleKey[] = "Software\\Quindle\\";
constexpr char16_t kBodyAttribute[] = u"Pellix_Body_ID";
constexpr char kDefaultHelpUrl[] = "https://pellix.invalid/help";
constexpr char kDefaultAboutUrl[] = "https://pellix.invalid/about";
// How long a menu command waits for a new browser window to be made.
constexpr int kNewWindowWait = 10000;

bool Confirm(HWND owner, const std::u16string& text, const char* title) {
  return MessageBoxW(owner, text.c_str(), Translate(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::u16string WithName(const char* text, const char* placeholder, const std::u16string& name) {
  std::u16string result = Translate(text);
  const std::u16string key = platform::AnsiToWide(placeholder);
  if (const auto at = result.find(key); at != std::u16string::npos) result.replace(at, key.size(), name);
  return result;
}

// The browser a command means: by a page-body id, else the host's client id, else the
// watcher's window id.
platform::com::ComPtr<IWebBrowser2> FindBrowser(const std::u16string& bodyValue, const std::u16string& clientId,
                                                platform::ObjectId watcher) {
  platform::com::ComPtr<IWebBrowser2> browser;
  if (!bodyValue.empty()) {
    formfill::FindBrowserByBodyId(kBodyAttribute, bodyValue, browser);
  } else if (!clientId.empty()) {
    formfill::FindBrowserByClientId(clientId, u"", browser);
  } else if (const auto win = platform::LookupObject<formfill::TIEWin>(watcher)) {
    formfill::FindBrowserByWinId(win->WinId(), browser);
  }
  return browser;
}

// The number of marked forms a page reports (0 when it reports none).
int FormsOnPage(const platform::com::Variant& count) {
  const std::u16string text = count.AsText();
  int forms = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    if (forms > 100000) return forms;  // many, and no overflow
    forms = forms * 10 + (c - u'0');
  }
  return forms;
}

bool Busy(IWebBrowser2* browser) {
  VARIANT_BOOL busy = VARIANT_FALSE;
  return SUCCEEDED(browser->get_Busy(&busy)) && busy != VARIANT_FALSE;
}

void OpenAddress(const std::u16string& address, const char* fallback) {
  ShellOpen(address.empty() ? std::string(fallback) : platform::WideToAnsi(address));
}

// The host's settings window, disabled while a host dialog runs.
HWND HostSettingsWindow() {
  std::int32_t handle = 0;
  if (!RegReadInteger(HKEY_CURRENT_USER, kQuindleKey, "SettingsAdvHandle", handle)) return 0;
  const HWND window = static_cast<HWND>(handle);
  return window != 0 && IsWindow(window) ? window : 0;
}

// A new bookmark at the top of the list from the bookmark form's answer; saved.
void InsertBookmark(const TMessageItem& form, const TBookmarkChoice& choice) {
  TListChange change(BookmarkList.get());
  auto bookmark = std::make_unique<TBookmarkItem>(BookmarkList.get());
  bookmark->Date = platform::Now();
  bookmark->SetCaption(choice.Caption.empty() ? form.Caption : choice.Caption);
  bookmark->SetURL(form.URL);
  bookmark->SetFormName(form.FormName);
  bookmark->SetFormID(form.FormID);
  bookmark->VaultID = choice.FillMode;
  bookmark->AddFields(form.Fields);
  BookmarkList->Insert(0, std::move(bookmark));
  if (!BookmarkList->SaveToFile()) LogError("the bookmarks could not be saved");
  StartToolbarMenuRefresh();
}

// Deletes a record of List after the user confirmed Question (the record's caption in
// place of %BOOKMARKNAME%); the record is looked up again after the question.
bool DeleteConfirmed(HWND owner, TDataItems* list, std::int32_t item, const char* question, const char* title) {
  std::u16string caption;
  {
    TListChange change(list);
    TFormItem* record = RecordIn(list, item);
    if (record == nullptr) return false;
    caption = record->Caption();
  }
  if (!Confirm(owner, WithName(question, "%BOOKMARKNAME%", caption), title)) return false;
  {
    TListChange change(list);
    TFormItem* record = RecordIn(list, item);
    if (record == nullptr) return false;
    list->Delete(list->IndexOf(record));
    if (!list->SaveToFile()) LogError("the list " + list->FileName + " could not be saved");
  }
  StartToolbarMenuRefresh();
  return true;
}

// A request for a stored record (by its menu item id) with a detached copy of it;
// null when there is none, or it belongs to a vault (its fields are locked).
std::unique_ptr<TNavigateItem> StoredFormRequest(std::int32_t item, int mode) {
  TListChange change(nullptr);
  TFormItem* record = RecordIn(BookmarkList.get(), item);
  if (record == nullptr) record = RecordIn(HistoryList.get(), item);
  if (record == nullptr || record->VaultID != 0) return nullptr;
  auto request = std::make_unique<TNavigateItem>();
  request->Item = DetachedCopy(*record);
  request->Action = static_cast<std::uint8_t>(mode);
  return request;
}

// A new browser window that the page side takes the request from once the record's
// page begins to load, brought to the front.
void OpenNewBrowserWindow(const std::shared_ptr<TNavigateItem>& request) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<IWebBrowser2> browser;
  if (SUCCEEDED(CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                 IID_IWebBrowser2, browser.PutVoid()))) {
    const platform::ObjectId handed = platform::HandOverObject(request);
    browser->PutProperty(BString(formfill::kNavObjProperty).get(), Variant::Int(static_cast<LONG>(handed)).raw());
    browser->PutProperty(BString(formfill::kNavActionProperty).get(), Variant::Int(request->Action).raw());
    Variant url = Variant::Text(request->Item->URL());
    Variant top = Variant::Text(u"_top");
    browser->Navigate2(url.get(), nullptr, top.get(), nullptr, nullptr);
    browser->put_Visible(VARIANT_TRUE);
    const HWND window = formfill::GetBrowserWindowHandle(browser.get());
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  } else {
    LogError("no browser window could be opened for a stored form");
  }
  CoUninitialize();
}

}  // namespace

TMenuRequest RequestOf(const TObjMenuMessage& message) {
  TMenuRequest request;
  request.Command = message.Command;
  request.Item = message.Param;
  request.Mode = message.Param2;
  request.Owner = message.BrowserWindow;
  request.ClientID = message.ClientID;
  request.Text1 = message.Text1;
  request.Text2 = message.Text2;
  return request;
}

void TMenuDispatcher::Dispatch(const TMenuRequest& request) {
  if (request.Command <= 0 || request.Command > mcExit) return;
  try {
    Run(request);
  } catch (const std::exception& e) {
    LogError("menu command " + std::to_string(request.Command) + " failed: " + e.what());
  }
}

void TMenuDispatcher::Run(const TMenuRequest& r) {
  const HWND owner = r.Owner;
  switch (r.Command) {
    case mcFormFill:
    case mcFormFillSubmit:
    case mcFormNoFill: OpenStoredForm(owner, r.Item, r.Watcher, r.ClientID, r.Command); break;
    case mcFillOpenForm: FillOpenForm(owner, r.Watcher, u"", u"", r.ClientID); break;
    case mcBookmarkDelete: DeleteBookmark(owner, r.Item); break;
    case mcBookmarkEdit: EditBookmark(owner, r.Item); break;
    case mcBookmarkCreate: CreateBookmark(owner, r.Watcher, u"", u""); break;
    case mcBookmarksManage: ShowBookmarkBrowser(owner); break;
    case mcHistAsBookmark: HistoryToBookmark(owner, r.Item); break;
    case mcHistDelete: DeleteHistoryRecord(owner, r.Item); break;
    case mcHistoryClear: ClearHistory(owner); break;
    case mcHistoryManage: ShowHistoryBrowser(owner); break;
    case mcIgnoreList:
      if (Unlocked(owner)) main_.Launcher().ShowIgnoreList(owner);
      break;
    case mcIdentityCreate:
      if (Unlocked(owner)) main_.Launcher().ShowIdentityEditor(owner, u"", true);
      break;
    case mcIdentityEdit:
      if (Unlocked(owner)) main_.Launcher().ShowIdentityEditor(owner, u"", false);
      break;
    case mcIdentitySettings:
    case mcSettings: ShowSettings(owner, r.Command == mcSettings ? r.Mode : 0); break;
    case mcIdentityActivate: FillWithIdentity(owner, r.Item, r.ClientID, r.Watcher); break;
    case mcPasswordsGenerate: ShowPasswordGenerator(owner); break;
    case mcPasswordsEdit: ShowPasswordItem(owner, r.Item); break;
    case mcPasswordsBrowse:
      if (Unlocked(owner)) main_.Launcher().ShowPasswordHistoryWindow(owner);
      break;
    case mcPasswordsClear: ClearPasswordHistory(owner); break;
    case mcSettingsSecurity: SecurityLevelFromHost(); break;
    case mcSettingsMasterPwd: HostDialog(&TMenuDispatcher::MasterPassword, r.Text2); break;
    case mcHostIdentityAdd: HostDialog(&TMenuDispatcher::IdentityAdd, r.Text2); break;
    case mcHostIdentityEdit: HostDialog(&TMenuDispatcher::IdentityEdit, r.Text2); break;
    case mcHostIdentityActivate: HostDialog(&TMenuDispatcher::IdentityActivate, r.Text2); break;
    case mcHostIdentityDelete: HostDialog(&TMenuDispatcher::IdentityDelete, r.Text2); break;
    case mcHelp: OpenAddress(main_.Settings.HelpUrl, kDefaultHelpUrl); break;
    case mcAbout: OpenAddress(main_.Settings.AboutUrl, kDefaultAboutUrl); break;
    case mcFillByBody: FillOpenForm(owner, r.Watcher, r.Text1, r.Text2, u""); break;
    case mcGeneratorByBody:
      if (auto browser = FindBrowser(r.Text2, u"", 0)) ShowPasswordGenerator(formfill::GetBrowserWindowHandle(browser.get()));
      break;
    case mcBookmarkPage: CreateBookmark(owner, r.Watcher, r.Text1, r.Text2); break;
    case mcLogin: main_.Gate().CheckUnlock(owner, true, true); break;
    case mcLogoff: Logout(); break;
    case mcAfterInstall:
      if (!FirstRunCompleted) {
        main_.EnsureFirstRun(owner);
      } else {
        StartToolbarMenuRefresh();
      }
      break;
    case mcShowTray: main_.ShowTrayIcon(); break;
    case mcHideTray: main_.HideTrayIcon(); break;
    case mcExit: main_.ExitCommand(); break;
    default: break;  // 5, 6, 13 and 17 to 22 have no action
  }
}

bool TMenuDispatcher::Unlocked(HWND owner) { return main_.Gate().CheckUnlock(owner, false, true); }

void TMenuDispatcher::ShowBookmarkBrowser(HWND owner) {
  if (main_.EnsureFirstRun(owner) && Unlocked(owner)) main_.Launcher().ShowBookmarkBrowser(owner);
}

void TMenuDispatcher::ShowHistoryBrowser(HWND owner) {
  if (main_.EnsureFirstRun(owner) && Unlocked(owner)) main_.Launcher().ShowHistoryBrowser(owner);
}

void TMenuDispatcher::ShowPasswordGenerator(HWND owner) {
  if (main_.EnsureFirstRun(owner) && Unlocked(owner)) {
    main_.Launcher().ShowPasswordGeneratorWindow(owner, nullptr, u"");
  }
}

void TMenuDispatcher::ShowSettings(HWND owner, int page) {
  if (main_.EnsureFirstRun(owner)) main_.Launcher().ShowSettings(owner, page);
}

void TMenuDispatcher::FillOpenForm(HWND owner, platform::ObjectId watcher, const std::u16string& bodyId,
                                   const std::u16string& bodyValue, const std::u16string& clientId) {
  if (!main_.EnsureFirstRun(owner) || !Unlocked(owner)) return;
  (void)bodyId;  // the attribute's name is the program's own mark
  const auto browser = FindBrowser(bodyValue, clientId, watcher);
  if (!browser) return;
  if (Busy(browser.get())) {
    MessageBoxW(owner, Translate("Website is loading. Please wait a few seconds and then try again.").c_str(),
                u"Pellix", MB_OK | MB_ICONERROR);
    return;
  }
  const int action = main_.Settings.FillAction;
  const int result = formfill::FillFormsFromRecord(browser.get(), action >= 1, action >= 2);
  if (result >= formfill::frNoForms && result <= formfill::frManyForms) ShowFillNotice(owner, result - 1);
}

void TMenuDispatcher::OpenStoredForm(HWND owner, std::int32_t item, platform::ObjectId watcher,
                                     const std::u16string& clientId, int mode) {
  if (!main_.Watcher || !Unlocked(owner)) return;
  if (watcher == 0 && clientId.empty()) return OpenInNewWindow(item, mode);
  auto request = StoredFormRequest(item, mode);
  if (!request) return;
  request->IEWin = watcher;
  request->ClientID = clientId;
  main_.Watcher->QueueNavigate(std::move(request));
}

void TMenuDispatcher::OpenInNewWindow(std::int32_t item, int mode) {
  std::shared_ptr<TNavigateItem> request = StoredFormRequest(item, mode);
  if (!request || request->Item->URL().empty()) return;
  // The window is made on a thread of its own; one that takes longer is left to it.
  auto made = std::make_shared<std::promise<void>>();
  std::future<void> done = made->get_future();
  std::thread([request, made] {
    OpenNewBrowserWindow(request);
    made->set_value();
  }).detach();
  done.wait_for(std::chrono::milliseconds(kNewWindowWait));
  if (main_.Watcher) main_.Watcher->RequestScan();
}

bool TMenuDispatcher::DeleteBookmark(HWND owner, std::int32_t item) {
  return DeleteConfirmed(owner, BookmarkList.get(), item, "Are you sure you want to delete the \"%BOOKMARKNAME%\" bookmark?",
                  "Pellix - Delete Bookmark");
}

void TMenuDispatcher::EditBookmark(HWND owner, std::int32_t item) {
  if (!BookmarkList || !Unlocked(owner)) return;
  std::shared_ptr<TFormItem> copy;
  {
    TListChange change(BookmarkList.get());
    TFormItem* record = RecordIn(BookmarkList.get(), item);
    if (record == nullptr) return;
    copy = DetachedCopy(*record);
  }
  if (!main_.Launcher().ShowRecordEditor(owner, *copy)) return;
  TListChange change(BookmarkList.get());
  TFormItem* record = RecordIn(BookmarkList.get(), item);
  if (record == nullptr) return;
  ApplyEditedCopy(*record, *copy);
  if (!BookmarkList->SaveToFile()) LogError("the bookmarks could not be saved");
  StartToolbarMenuRefresh();
}

// A bookmark of a page, offered through the bookmark form with the page's address and
// title (from the texts, else from the browser the command came from).
void TMenuDispatcher::CreateBookmark(HWND owner, platform::ObjectId watcher, const std::u16string& address,
                                     const std::u16string& caption) {
  if (!BookmarkList || !Unlocked(owner)) return;
  TMessageItem page;
  page.URL = address;
  page.Caption = caption;
  if (page.URL.empty()) {
    const auto browser = FindBrowser(u"", u"", watcher);
    if (!browser) return;
    platform::com::BString url;
    if (SUCCEEDED(browser->get_LocationURL(url.Put()))) page.URL = url.Text();
    formfill::GetDocumentTitle(browser.get(), page.Caption);
  }
  if (page.URL.empty()) return;
  TBookmarkChoice choice;
  if (main_.Launcher().ShowBookmarkDialog(owner, page, TBookmarkOffer::Page, true, {}, choice)) InsertBookmark(page, choice);
}

// A form of the history saved as a bookmark through the bookmark form.
bool TMenuDispatcher::HistoryToBookmark(HWND owner, std::int32_t item) {
  if (!BookmarkList || !Unlocked(owner)) return false;
  TMessageItem form;
  {
    TListChange change(HistoryList.get());
    TFormItem* record = RecordIn(HistoryList.get(), item);
    if (record == nullptr) return false;
    if (!record->HasFields()) record->DecodeFields();
    form.Caption = record->Caption();
    form.URL = record->URL();
    form.FormName = record->FormName();
    form.FormID = record->FormID();
    for (int i = 0; i < record->FieldCount(); ++i) form.Fields.push_back(*record->GetField(i));
  }
  TBookmarkChoice choice;
  if (!main_.Launcher().ShowBookmarkDialog(owner, form, TBookmarkOffer::HistoryRecord, true, {}, choice)) return false;
  InsertBookmark(form, choice);
  return true;
}

bool TMenuDispatcher::DeleteHistoryRecord(HWND owner, std::int32_t item) {
  return DeleteConfirmed(owner, HistoryList.get(), item,
                  "Are you sure you want to delete the form \"%BOOKMARKNAME%\" from the Form History?",
                  "Pellix - Delete History");
}

bool TMenuDispatcher::ClearHistory(HWND owner) {
  if (!HistoryList) return false;
  const std::u16string text = Translate("All records from the Form History list will be deleted.") + u"\r\n" +
                              Translate("Do you really want to delete all records from the Form History?");
  if (!Confirm(owner, text, "Pellix - Delete History")) return false;
  {
    TListChange change(HistoryList.get());
    while (HistoryList->Count() > 0) HistoryList->Delete(HistoryList->Count() - 1);
    if (!HistoryList->SaveToFile()) LogError("the form history could not be saved");
  }
  MenuSettings.ClearHistory = platform::Now();
  if (Config) Config->WriteFloat(u"CLEAR_HIST", MenuSettings.ClearHistory);
  StartToolbarMenuRefresh();
  return true;
}

void TMenuDispatcher::ClearPasswordHistory(HWND owner) {
  if (!PasswordList) return;
  if (!Confirm(owner, Translate("Do you really want to delete all passwords from Passwords History?"),
               "Pellix - Password History")) {
    return;
  }
  TListChange change(PasswordList.get());
  while (PasswordList->Count() > 0) PasswordList->Delete(PasswordList->Count() - 1);
  if (!PasswordList->SaveToFile()) LogError("the password history could not be saved");
  StartToolbarMenuRefresh();
}

void TMenuDispatcher::ShowPasswordItem(HWND owner, std::int32_t item) {
  if (!Unlocked(owner)) return;
  std::u16string password;
  {
    TListChange change(PasswordList.get());
    auto* record = dynamic_cast<TPasswordItem*>(RecordIn(PasswordList.get(), item));
    if (record == nullptr) return;
    password = record->GetPassword();
  }
  main_.Launcher().ShowPasswordWindow(owner, nullptr, password);
}

void TMenuDispatcher::FillWithIdentity(HWND owner, std::int32_t index, const std::u16string& clientId,
                                       platform::ObjectId watcher) {
  if (main_.Launcher().BringIdentitySwitchToFront() || !Unlocked(owner)) return;
  const auto browser = FindBrowser(u"", clientId, watcher);
  int answer = 3;
  if (browser && !Busy(browser.get())) {
    platform::com::Variant forms;
    const platform::com::BString name(u"Pellix_FormsCount");
    if (SUCCEEDED(browser->GetProperty(name.get(), forms.Put())) && FormsOnPage(forms) > 0) {
      answer = main_.Launcher().AskIdentityChange(owner);
    }
  }
  if (answer == 0) return;
  {
    TListChange change(nullptr);
    if (!Identities || index < 0 || index >= Identities->Lines.GetCount()) return;
    const std::u16string fileNo = Identities->FileNo(index);
    if (!LoadAllData(fileNo, u"")) return;
    if (Config) Config->WriteString(u"IDENTITY", fileNo);
  }
  StartToolbarMenuRefresh();
  if ((answer == 1 || answer == 2) && browser) {
    formfill::TAfterNavigateThr::Start(0, formfill::BrowserWindowId(browser.get()), nullptr, 0, answer == 1);
  }
}

void TMenuDispatcher::SecurityLevelFromHost() {
  const HWND host = HostSettingsWindow();
  if (!Unlocked(host)) return;
  std::int32_t level = SecurityLevel;
  std::int32_t expires = SecurityExpires;
  if (host != 0) EnableWindow(host, FALSE);
  const bool ok = main_.Launcher().ShowSecurityLevelDialog(host, level, expires);
  if (host != 0) EnableWindow(host, TRUE);
  if (!ok) return;
  SecurityLevel = level;
  SecurityExpires = expires;
  TWideCrypt bag(true);
  bag.SetValue(u"MASTER_CRYPT", platform::AnsiToWide(MasterCrypt));
  bag.SetValue(u"SECURITY_LEVEL", platform::AnsiToWide(std::to_string(level)));
  bag.SetValue(u"SECURITY_EXPIRES", platform::AnsiToWide(std::to_string(expires)));
  if (Config) Config->WriteString(u"SECURITY", platform::AnsiToWide(bag.Encode()), true);
}

// Runs a host dialog with the host's settings window disabled, then tells the host
// it has ended.
void TMenuDispatcher::HostDialog(void (TMenuDispatcher::*action)(HWND, const std::u16string&),
                                 const std::u16string& text) {
  const HWND host = HostSettingsWindow();
  if (host != 0) EnableWindow(host, FALSE);
  try {
    (this->*action)(host, text);
  } catch (...) {
    if (host != 0) EnableWindow(host, TRUE);
    throw;
  }
  if (host != 0) EnableWindow(host, TRUE);
  if (action != &TMenuDispatcher::MasterPassword && Config) Config->WriteString(u"DIALOG_RETURN_VALUE", u"OK");
}

void TMenuDispatcher::MasterPassword(HWND host, const std::u16string&) {
  if (Unlocked(host)) main_.Launcher().ShowMasterPasswordDialog(host);
}

void TMenuDispatcher::IdentityAdd(HWND host, const std::u16string&) {
  if (!FirstRunCompleted) {
    main_.EnsureFirstRun(host);
  } else if (Unlocked(host)) {
    main_.Launcher().ShowIdentityEditor(host, u"", true);
  }
}

// The host names the identity by its file number; the editor takes its name.
void TMenuDispatcher::IdentityEdit(HWND host, const std::u16string& fileNo) {
  if (!Unlocked(host)) return;
  std::u16string name;
  {
    TListChange change(nullptr);
    if (Identities) name = Identities->NameOfFile(fileNo);
  }
  if (name.empty()) return;
  if (name.front() == u'#') name.erase(0, 1);
  main_.Launcher().ShowIdentityEditor(host, name, false);
}

// Makes the identity of that file number the active one, as the identity switch does.
void TMenuDispatcher::IdentityActivate(HWND host, const std::u16string& fileNo) {
  if (!Unlocked(host)) return;
  {
    TListChange change(nullptr);
    if (!Identities || Identities->IndexOfFile(fileNo) < 0) return;
    if (!LoadAllData(fileNo, u"")) {
      LogMessage("identity " + platform::WideToAnsi(fileNo) + " could not be opened (a password of its own?)");
      return;
    }
    if (Config) Config->WriteString(u"IDENTITY", fileNo);
  }
  StartToolbarMenuRefresh();
}

void TMenuDispatcher::IdentityDelete(HWND host, const std::u16string& fileNo) {
  std::u16string name;
  {
    TListChange change(nullptr);
    if (Identities) name = Identities->NameOfFile(fileNo);
  }
  if (name.empty()) return;
  if (name.front() == u'#') name.erase(0, 1);
  const std::u16string text = WithName("Are you sure you want to delete the Identity %identityname%?",
                                       "%identityname%", name) +
                              u"\r\n" + Translate("All data saved in Identity will be lost!");
  if (!Confirm(host, text, "Pellix - Delete Identity")) return;
  TListChange change(nullptr);
  const int line = Identities->IndexOfFile(fileNo);
  if (line < 0) return;
  Identities->Lines.Delete(line);
  if (!Identities->SaveToFile()) LogError("the identity list could not be saved");
  std::error_code ignored;
  const std::filesystem::path file = IdentityFilePath(fileNo);
  std::filesystem::remove(file, ignored);
  std::filesystem::path backup = file;
  std::filesystem::remove(backup.replace_extension(".bak"), ignored);
}

void TMenuDispatcher::Logout() {
  UnlockTime = 0;
  StartToolbarMenuRefresh();
}
