#include "app/page_results.h"

#include <exception>
#include <string>
#include <vector>

#include "app/list_changes.h"
#include "app/main_form.h"
#include "app/notice_windows.h"
#include "data/address_helpers.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/identities.h"
#include "data/ignore_lists.h"
#include "data/menu_messages.h"
#include "formfill/after_navigate.h"
#include "formfill/app_menus.h"
#include "formfill/browser_access.h"
#include "formfill/form_filling.h"
#include "formfill/ie_win.h"
#include "formfill/password_generator.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/clock.h"
#include "platform/win/clipboard.h"
#include "platform/win/message_box.h"
#include "platform/win/window.h"
#include "support/debug_log.h"

namespace {

// What one submission has decided so far.
struct TSubmission {
  const TMessageItem& Message;
  HWND Owner = 0;
  std::u16string FirstPassword;
  int IgnoreKind = 0;
  std::u16string Caption;
  WORD FillMode = 0;
  bool OfferHistory = true;
  bool SiteDefault = true;
  bool AddedToHistory = false;
};

// The browser window stays disabled while its form is handled, and is enabled again
// on every path.
class TDisabledWindow {
 public:
  explicit TDisabledWindow(HWND window) : window_(window) {
    if (window_ != 0) EnableWindow(window_, FALSE);
  }
  ~TDisabledWindow() {
    if (window_ != 0) EnableWindow(window_, TRUE);
  }
  TDisabledWindow(const TDisabledWindow&) = delete;
  TDisabledWindow& operator=(const TDisabledWindow&) = delete;

 private:
  HWND window_;
};

// One step of a submission: a failure is logged and the next step goes on.
template <typename Step>
void RunStep(const char* name, Step step) {
  try {
    step();
  } catch (const std::exception& e) {
    LogError(std::string("form submitted, ") + name + ": " + e.what());
  }
}

template <typename Item>
Item* NewRecord(TDataItems& list, const TSubmission& s, std::u16string_view url, std::u16string_view marker,
                WORD fillMode) {
  auto item = std::make_unique<Item>(&list);
  item->Date = platform::Now();
  item->SetCaption(s.Caption);
  item->SetURL(url);
  item->SetFormName(marker.empty() ? std::u16string_view(s.Message.FormName) : marker);
  item->SetFormID(marker.empty() ? std::u16string_view(s.Message.FormID) : marker);
  item->VaultID = fillMode;
  return static_cast<Item*>(list.Insert(0, std::move(item)));
}

// The stored bookmarks of the same form whose values equal the submitted ones get a
// new date; the others are the candidates a new bookmark may replace (by their ids).
bool RefreshEqualBookmarks(TSubmission& s, std::vector<std::int32_t>& candidates,
                           std::vector<std::u16string>& captions) {
  TListChange change(BookmarkList.get());
  std::vector<TFormItem*> found;
  BookmarkList->FindForms(NormalizeUrl(s.Message.URL), s.Message.FormName, found, s.Message.FormID);
  bool matched = false;
  for (auto it = found.rbegin(); it != found.rend(); ++it) {
    TFormItem* candidate = *it;
    if (!candidate->HasFields()) candidate->DecodeFields();
    if (candidate->SameFieldValues(&s.Message.Fields)) {
      candidate->SetDate(platform::Now());
      matched = true;
      continue;
    }
    candidates.insert(candidates.begin(), MenuItemId(candidate));
    captions.insert(captions.begin(), candidate->Caption());
  }
  return matched;
}

// Offers the form as a bookmark and stores the answer.
void OfferBookmark(TMainForm& main, TSubmission& s, const std::vector<std::int32_t>& candidates,
                   const std::vector<std::u16string>& captions) {
  {
    TListChange change(nullptr);
    LearnIdentityFieldNames(s.Message.Fields);
  }
  const bool unlocked = !candidates.empty() && main.Gate().CheckUnlock(s.Owner, false, true);
  TBookmarkChoice choice;
  const bool save = main.Launcher().ShowBookmarkDialog(s.Owner, s.Message, TBookmarkOffer::SubmittedForm, unlocked,
                                                       unlocked ? captions : std::vector<std::u16string>(), choice);
  if (!save) {
    s.IgnoreKind = choice.IgnoreKind;
    return;
  }
  if (s.IgnoreKind != 0) return;
  s.Caption = choice.Caption.empty() ? s.Caption : choice.Caption;
  s.FillMode = choice.FillMode;
  s.SiteDefault = s.FillMode == 0;
  s.OfferHistory = false;
  TListChange change(BookmarkList.get());
  // The dialog ran a message loop: a candidate may have gone meanwhile. A replaced one
  // that is gone leaves the submitted form as a new bookmark, so nothing is lost.
  TFormItem* replaced = nullptr;
  if (unlocked && choice.Replace >= 0 && choice.Replace < static_cast<int>(candidates.size())) {
    replaced = dynamic_cast<TFormItem*>(FindMenuItem(candidates[choice.Replace]));
    if (replaced != nullptr && replaced->Owner != BookmarkList.get()) replaced = nullptr;
  }
  if (replaced != nullptr) {
    if (!replaced->HasFields()) replaced->DecodeFields();
    replaced->MergeFields(s.Message.Fields);
    replaced->VaultID = s.FillMode;
    replaced->SetCaption(s.Caption);
    replaced->SetDate(platform::Now());
  } else {
    NewRecord<TBookmarkItem>(*BookmarkList, s, s.Message.URL, u"", s.FillMode)->AddFields(s.Message.Fields);
  }
}

void RecordBookmarks(TMainForm& main, TSubmission& s) {
  std::vector<std::int32_t> candidates;
  std::vector<std::u16string> captions;
  if (RefreshEqualBookmarks(s, candidates, captions)) {
    s.OfferHistory = false;
    SaveListLocked(*BookmarkList);
    return;
  }
  s.Caption = s.Message.Caption;
  s.FillMode = 0;
  OfferBookmark(main, s, candidates, captions);
  if (!s.OfferHistory) SaveListLocked(*BookmarkList);
}

// The password record of the form gets a new date, or a new record is made.
void RecordPassword(const TSubmission& s, WORD fillMode) {
  TListChange change(PasswordList.get());
  TPasswordItem* item =
      PasswordList->FindByPassword(s.Message.URL, s.Message.FormName, s.FirstPassword, s.Message.FormID);
  if (item != nullptr) {
    item->SetDate(platform::Now());
  } else {
    NewRecord<TPasswordItem>(*PasswordList, s, s.Message.URL, u"", fillMode)->SetPassword(s.FirstPassword);
  }
  if (!PasswordList->SaveToFile()) LogError("the password history could not be saved");
}

// The site's default record: the bookmark and the password of its host part.
void RecordSiteDefault(const TSubmission& s) {
  const std::u16string host = ExtractUrlDomain(s.Message.URL);
  {
    TListChange change(BookmarkList.get());
    auto* item = static_cast<TFormItem*>(BookmarkList->FindForm(host, kSiteDefaultMarker, kSiteDefaultMarker));
    if (item == nullptr) item = NewRecord<TBookmarkItem>(*BookmarkList, s, host, kSiteDefaultMarker, 0);
    if (!item->HasFields()) item->DecodeFields();
    item->MergeFields(s.Message.Fields);
    item->SetDate(platform::Now());
    if (!BookmarkList->SaveToFile()) LogError("the bookmarks could not be saved");
  }
  if (s.FirstPassword.empty() || !PasswordList) return;
  TListChange change(PasswordList.get());
  auto* item = static_cast<TPasswordItem*>(PasswordList->FindForm(host, kSiteDefaultMarker, kSiteDefaultMarker));
  if (item == nullptr) item = NewRecord<TPasswordItem>(*PasswordList, s, host, kSiteDefaultMarker, 0);
  item->SetPassword(s.FirstPassword);
  item->SetDate(platform::Now());
  if (!PasswordList->SaveToFile()) LogError("the password history could not be saved");
}

void RecordFormHistory(TSubmission& s) {
  {
    TListChange change(HistoryList.get());
    std::vector<TFormItem*> found;
    HistoryList->FindForms(s.Message.URL, s.Message.FormName, found, s.Message.FormID);
    bool matched = false;
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
      if (!(*it)->HasFields()) (*it)->DecodeFields();
      if (!(*it)->SameFieldValues(&s.Message.Fields)) continue;
      (*it)->SetDate(platform::Now());
      matched = true;
    }
    if (!matched) {
      NewRecord<TFormItem>(*HistoryList, s, s.Message.URL, u"", 0)->AddFields(s.Message.Fields);
      if (HistoryList->SaveToFile()) {
        s.AddedToHistory = true;
      } else {
        LogError("the form history could not be saved");
      }
    }
  }
  if (!s.FirstPassword.empty() && PasswordList) RecordPassword(s, 0);
}

void OfferIdentityValues(TSubmission& s) {
  bool fresh = false;
  std::u16string identity;
  {
    TListChange change(nullptr);
    fresh = CheckNewIdentityValues(s.Message.Fields, false);
    if (Identities) identity = Identities->NameOfFile(ActiveIdentityNo);
    if (!identity.empty() && identity.front() == u'#') identity.erase(0, 1);
  }
  if (!fresh || AskAddToIdentity(s.Owner, identity) != IDYES) return;
  TListChange change(nullptr);
  CheckNewIdentityValues(s.Message.Fields, true);
  s.AddedToHistory = false;
}

void ShowHistoryNotice(TMainForm& main, const TSubmission& s) {
  bool showEachTime = main.Settings.ShowHistory;
  if (!ShowAddedToHistory(s.Owner, showEachTime) || showEachTime == main.Settings.ShowHistory) return;
  main.Settings.ShowHistory = showEachTime;
  if (Config) Config->WriteBool(u"SHOW_HISTORY", showEachTime);
}

std::shared_ptr<formfill::TIEWin> Watcher(platform::ObjectId id) { return platform::LookupObject<formfill::TIEWin>(id); }

// The entries of the password-field menu.
enum TPasswordEntry { peGenerate, peFill, peShow, peEdit, pePaste, peHistory };

void RunPasswordEntry(TMainForm& main, platform::ObjectId watcherId, TPasswordEntry entry) {
  if (!main.Gate().CheckUnlock(0, false, true)) return;
  const std::shared_ptr<formfill::TIEWin> watcher = Watcher(watcherId);
  const std::shared_ptr<formfill::TInputPasswordContext> context = watcher ? watcher->PasswordContext() : nullptr;
  if (!context) return;
  const HWND owner = watcher->FrameWnd();
  auto queue = [&](std::u16string value) {
    context->SetNewValue(std::move(value));
    if (main.Watcher) main.Watcher->QueuePasswordFill(watcherId, context);
  };
  switch (entry) {
    case peGenerate: {
      const formfill::TPageFillSettings fill = formfill::PageFillSettings();
      queue(formfill::GeneratePassword(fill.PwdLen, fill.PwdUpper, fill.PwdLower, fill.PwdNum, fill.PwdSymb, fill.PwdAvoid));
      break;
    }
    case peFill: queue(context->Value()); break;
    case peShow: main.Launcher().ShowPasswordWindow(owner, context, context->Value()); break;
    case peEdit: main.Launcher().ShowPasswordGeneratorWindow(owner, context, context->Value()); break;
    case pePaste: {
      // Pasting nothing leaves the field as it is.
      std::u16string text = platform::win::ClipboardText(owner);
      if (!text.empty()) queue(std::move(text));
      break;
    }
    case peHistory: main.Launcher().ShowPasswordHistoryWindow(owner); break;
  }
}

}  // namespace

void HandleFormSubmitted(TMainForm& main, const TMessageItem& message) {
  TSubmission s{message, 0, u"", 0, u"", 0, true, true, false};
  if (const auto watcher = Watcher(message.Sender)) s.Owner = watcher->FrameWnd();
  for (int i = 0; i < message.Passwords.GetCount() && s.FirstPassword.empty(); ++i) {
    s.FirstPassword = message.Passwords.Get(i);
  }
  TDisabledWindow disabled(s.Owner);
  if (IgnoreList) s.IgnoreKind = IgnoreList->Find(message.URL, message.FormName, message.FormID);
  if (InternalIgnoreList && InternalIgnoreList->Contains(message.URL)) s.IgnoreKind = kIgnoreSite;
  if (s.IgnoreKind == 0 && BookmarkList) {
    RunStep("bookmarks", [&] { RecordBookmarks(main, s); });
    if (s.IgnoreKind == 0 && PasswordList && !s.FirstPassword.empty()) {
      RunStep("password history", [&] { RecordPassword(s, s.FillMode); });
    }
    if (s.IgnoreKind == 0 && s.SiteDefault) RunStep("site default", [&] { RecordSiteDefault(s); });
  }
  if (s.IgnoreKind == 0 && s.OfferHistory && HistoryList) RunStep("form history", [&] { RecordFormHistory(s); });
  if (main.Settings.AutoAddIdent) RunStep("identity", [&] { OfferIdentityValues(s); });
  if (s.AddedToHistory && main.Settings.ShowHistory) ShowHistoryNotice(main, s);
  StartToolbarMenuRefresh();
}

void ShowPasswordFieldMenu(TMainForm& main, TPopupMenu& menu, platform::ObjectId watcher, int mode) {
  if (!Watcher(watcher)) return;
  TContextMenuEvents events;
  for (int slot = 0; slot < TContextMenuEvents::kCount; ++slot) {
    events.Handlers[slot] = [&main, watcher, slot](TObject*) {
      RunPasswordEntry(main, watcher, static_cast<TPasswordEntry>(slot));
    };
  }
  BuildPasswordFieldMenu(events, menu, mode, static_cast<std::int32_t>(watcher));
  POINT cursor{};
  GetCursorPos(&cursor);
  menu.Popup(cursor.x, cursor.y);
}

void ShowAutoFillNotice(HWND browserWindow) { ShowAutoFillForm(browserWindow); }

void FillPageById(TMainForm& main, const TNavigateItem& request) {
  const std::shared_ptr<formfill::TIEWin> watcher = Watcher(request.IEWin);
  if (!watcher || !main.Gate().CheckUnlock(watcher->FrameWnd(), false, true)) return;
  platform::com::ComPtr<IWebBrowser2> browser;
  formfill::FindBrowserByWinId(watcher->WinId(), browser);
  if (browser) formfill::FillFormsOnPage(browser.get());
}
