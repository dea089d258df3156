#include "formfill/after_navigate.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/identities.h"
#include "data/ignore_lists.h"
#include "data/menu_messages.h"
#include "formfill/browser_access.h"
#include "formfill/form_filling.h"
#include "formfill/html_text_filler.h"
#include "formfill/ie_win.h"
#include "formfill/password_generator.h"
#include "formfill/password_inputs.h"
#include "platform/base/text.h"
#include "platform/com/class_table.h"

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

std::mutex settings_lock;
TPageFillSettings settings_value;

// The threads of the passes. A finished thread is joined by the next start or wait;
// the table, made at the first pass (after the program's lists), is destroyed before
// them and joins whatever still runs.
class PassTable {
 public:
  ~PassTable() {
    std::unique_lock guard(lock_);
    stopping_ = true;
    done_.wait(guard, [this] { return running_.empty(); });
    guard.unlock();
    JoinFinished();
  }

  // Runs Work(pass number) on a new thread; 0 (nothing runs) while stopping.
  std::uint64_t Start(std::function<void(std::uint64_t)> work) {
    JoinFinished();
    std::lock_guard guard(lock_);
    if (stopping_) return 0;
    const std::uint64_t pass = ++last_;
    // The thread files itself as finished under the lock, so never before it is filed
    // as running here.
    running_.emplace(pass, std::thread([this, pass, work = std::move(work)] {
                       work(pass);
                       std::lock_guard end(lock_);
                       auto node = running_.extract(pass);
                       finished_.push_back(std::move(node.mapped()));
                       if (running_.empty()) done_.notify_all();
                     }));
    return pass;
  }

  bool Wait(std::optional<std::chrono::milliseconds> timeout) {
    std::unique_lock guard(lock_);
    auto none = [this] { return running_.empty(); };
    bool ended = timeout ? done_.wait_for(guard, *timeout, none) : (done_.wait(guard, none), true);
    guard.unlock();
    JoinFinished();
    return ended;
  }

  bool End(std::chrono::milliseconds timeout) {
    {
      std::lock_guard guard(lock_);
      stopping_ = true;
    }
    if (!Wait(timeout)) return false;
    std::lock_guard guard(lock_);
    stopping_ = !running_.empty();
    return !stopping_;
  }

  bool Stopping() {
    std::lock_guard guard(lock_);
    return stopping_;
  }

 private:
  void JoinFinished() {
    std::vector<std::thread> finished;
    {
      std::lock_guard guard(lock_);
      finished.swap(finished_);
    }
    for (std::thread& each : finished) each.join();
  }

  std::mutex lock_;
  std::condition_variable done_;
  std::map<std::uint64_t, std::thread> running_;
  std::vector<std::thread> finished_;
  std::uint64_t last_ = 0;
  bool stopping_ = false;
};

PassTable& Passes() {
  static PassTable table;
  return table;
}

// True once the program's end asked the passes to end.
bool Stopping() { return Passes().Stopping(); }

// One form of the page as the pass met it.
struct PageForm {
  ComPtr<IHTMLElement> element;
  ComPtr<IHTMLFormElement> form;
  std::u16string name;
  std::u16string id;
  int pwdCount = 0;
};

// What the lists say about one form, read under the lock.
struct FormPlan {
  int ignore = 0;
  bool hasRecord = false;
  bool requested = false;  // the record is the requested stored form
  bool submit = false;
  TFormFieldList fields;
  std::u16string storedPassword;
  WORD vaultId = 0;
  bool vaultOpen = false;
  // The HTML-text filler for a form that no stored form claims, made with the field
  // map of the moment (one map for all the page's forms).
  std::unique_ptr<TDynamicVedoZorere> filler;
};

// A copy of the active identity's values, for filling outside the data lock; null
// when no identity is active.
std::unique_ptr<TIdentity> CopyActiveIdentity() {
  if (!ActiveIdentity) return nullptr;
  auto copy = std::make_unique<TIdentity>("");
  std::scoped_lock hold(*ActiveIdentity);
  for (int i = 0; i < ActiveIdentity->Values.GetCount(); ++i) copy->Values.Add(ActiveIdentity->Values.Get(i));
  return copy;
}

// True when a stored form with the record's address, name and id still stands in the
// bookmarks or the form history (the request holds a copy, which the user may have
// deleted meanwhile).
bool StillSaved(const TFormItem& record) {
  auto holds = [&](const TFormItems* list) {
    return list != nullptr && list->FindForm(record.URL(), record.FormName(), record.FormID()) != nullptr;
  };
  return holds(BookmarkList.get()) || holds(HistoryList.get());
}

bool VaultOpen(WORD id) {
  TVaultItem* vault = FindVault(id);
  return vault != nullptr && !vault->IsLocked();
}

TFormFieldList FieldsOf(const TFormItem& record) {
  TFormFieldList fields;
  for (int i = 0; i < record.FieldCount(); ++i) fields.push_back(*record.GetField(i));
  return fields;
}

// Reads what the lists hold for each form of the page, under the lists' locks.
std::vector<FormPlan> ReadPlans(const std::u16string& url, const std::vector<PageForm>& forms,
                                const TFormItem* requested, std::uint8_t action, bool& requestStands,
                                std::unique_ptr<TIdentity>& identity) {
  std::vector<FormPlan> plans(forms.size());
  std::scoped_lock hold(DataLock);
  // The lists may be on their way out: a pass told to end reads nothing.
  if (Stopping()) return {};
  requestStands = requested != nullptr && StillSaved(*requested);
  if (!requestStands) identity = CopyActiveIdentity();
  std::shared_ptr<const TFieldMatchMap> fieldMap;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    const PageForm& page = forms[i];
    FormPlan& plan = plans[i];
    if (IgnoreList) plan.ignore = IgnoreList->Find(url, page.name, page.id);
    if (plan.ignore == 0 && InternalIgnoreList && InternalIgnoreList->Contains(url)) plan.ignore = kIgnoreSite;
    if (!requestStands && plan.ignore == 0) {
      if (!fieldMap) fieldMap = std::make_shared<const TFieldMatchMap>();
      plan.filler = std::make_unique<TDynamicVedoZorere>(fieldMap);
    }
    const TFormItem* record = nullptr;
    if (requestStands && requested->FormName() == page.name && requested->FormID() == page.id) {
      record = requested;
      plan.requested = true;
      plan.submit = action == kNavigateFillSubmit;
    } else if (!requestStands) {
      record = FindBookmarkForPage(url, page.name, page.id, false);
      if (record != nullptr && plan.ignore != 0 && record->FormID() == kSiteDefaultMarker &&
          record->FormName() == kSiteDefaultMarker) {
        record = nullptr;
      }
    }
    if (record == nullptr) continue;
    plan.hasRecord = true;
    plan.fields = FieldsOf(*record);
    if (page.pwdCount == 1) GetSavedPassword(record, plan.storedPassword);
    plan.vaultId = record->VaultID;
    plan.vaultOpen = record->VaultID > 0 && VaultOpen(record->VaultID);
  }
  return plans;
}

// Walks the page's forms: identifies each (marking a form without name and id) and
// pairs its password inputs. Null entries stand for forms that cannot be had.
bool CollectForms(IHTMLDocument3* document, std::vector<PageForm>& forms) {
  ComPtr<IHTMLElementCollection> collection;
  if (FAILED(document->getElementsByTagName(BString(u"form").get(), collection.Put())) || !collection) return false;
  LONG count = 0;
  if (FAILED(collection->get_length(&count))) return false;
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IDispatch> item;
    Variant index = Variant::Int(i);
    if (FAILED(collection->item(index.raw(), index.raw(), item.Put())) || !item) continue;
    PageForm page{item.As<IHTMLElement>(), item.As<IHTMLFormElement>(), {}, {}, 0};
    if (!page.element || !page.form) continue;
    page.id = ElementId(page.element.get());
    BString name;
    if (SUCCEEDED(page.form->get_name(name.Put()))) page.name = name.Text();
    if (page.id.empty() && page.name.empty()) {
      page.id = u"#" + platform::AnsiToWide(std::to_string(i));
      WriteMark(page.element.get(), kFormIdMark, Variant::Text(page.id));
    }
    page.pwdCount = MarkPasswordPair(page.element.get());
    WriteMark(page.element.get(), kPwdCountMark, Variant::Int(page.pwdCount));
    forms.push_back(std::move(page));
  }
  return true;
}

}  // namespace

void SetPageFillSettings(const TPageFillSettings& settings) {
  std::lock_guard guard(settings_lock);
  settings_value = settings;
}

TPageFillSettings PageFillSettings() {
  std::lock_guard guard(settings_lock);
  return settings_value;
}

TAfterNavigateThr::TAfterNavigateThr(platform::ObjectId ieWin, std::u16string winId,
                                     std::shared_ptr<TFormItem> item, std::uint8_t action, bool fillOption)
    : ie_win_(ieWin),
      win_id_(std::move(winId)),
      item_(std::move(item)),
      action_(action),
      fill_option_(fillOption) {}

std::uint64_t TAfterNavigateThr::Start(platform::ObjectId ieWin, std::u16string winId,
                                       std::shared_ptr<TFormItem> item, std::uint8_t action, bool fillOption) {
  std::shared_ptr<TAfterNavigateThr> state(
      new TAfterNavigateThr(ieWin, std::move(winId), std::move(item), action, fillOption));
  return Passes().Start([state](std::uint64_t pass) {
    state->pass_ = pass;
    state->Execute();
  });
}

void TAfterNavigateThr::WaitForAll() { Passes().Wait(std::nullopt); }

bool TAfterNavigateThr::EndAll(unsigned timeoutMs) { return Passes().End(std::chrono::milliseconds(timeoutMs)); }

void TAfterNavigateThr::Execute() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  HWND frameWnd = 0;
  if (std::shared_ptr<TIEWin> watcher = platform::LookupObject<TIEWin>(ie_win_)) {
    frameWnd = watcher->FrameWnd();
    if (win_id_.empty()) win_id_ = watcher->WinId();
  }
  try {
    ComPtr<IWebBrowser2> browser;
    FindBrowserByWinId(win_id_, browser);
    ComPtr<IHTMLDocument3> document;
    GetDocument3(browser.get(), document);
    BString location;
    std::vector<PageForm> forms;
    if (document && SUCCEEDED(browser->get_LocationURL(location.Put())) && CollectForms(document.get(), forms)) {
      const std::u16string url = location.Text();
      const TPageFillSettings settings = PageFillSettings();
      int filledForms = 0;
      bool anyPrepared = false, showNotice = false, needLogin = false;
      if (!forms.empty()) {
        bool requestStands = false;
        std::unique_ptr<TIdentity> identity;
        std::vector<FormPlan> plans = ReadPlans(url, forms, item_.get(), action_, requestStands, identity);
        if (plans.size() != forms.size()) return EndPass();
        const bool unlocked = CheckUnlock(0, 0, false);
        for (std::size_t i = 0; i < forms.size(); ++i) {
          if (Stopping()) return EndPass();
          const PageForm& page = forms[i];
          FormPlan& plan = plans[i];
          bool allowed = true;
          if (plan.hasRecord) {
            if (plan.vaultId > 0) {
              allowed = plan.vaultOpen;
            } else {
              allowed = (settings.AutoFill && action_ != kNavigateOpenOnly) ||
                        (plan.requested && (action_ == kNavigateFill || action_ == kNavigateFillSubmit));
            }
            if (allowed && !unlocked) {
              allowed = false;
              needLogin = true;
            }
            bool prepared = false, filled = false;
            allowed = PrepareFormFields(page.element.get(), &plan.fields, plan.storedPassword, u"", allowed,
                                        prepared, filled, win_id_);
            if (plan.submit) {
              page.form->submit();
              return EndPass();
            }
            anyPrepared = anyPrepared || prepared;
            showNotice = showNotice || filled;
            WriteMark(page.element.get(), kFormVaultMark, Variant::UShort(plan.vaultId));
          }
          if (allowed && page.pwdCount == 2 && plan.ignore == 0) {
            std::u16string generated = GeneratePassword(settings.PwdLen, settings.PwdUpper, settings.PwdLower,
                                                        settings.PwdNum, settings.PwdSymb, settings.PwdAvoid);
            bool prepared = false, filled = false;
            PrepareFormFields(page.element.get(), nullptr, u"", generated, settings.AutoFill && unlocked, prepared,
                              filled, win_id_);
          }
          if (allowed && plan.filler) {
            std::u16string html;
            if (!ReadFormHtml(page.element.get(), html)) continue;
            if (settings.AutoFill && !unlocked) needLogin = true;
            plan.filler->Identity = identity.get();
            plan.filler->DebugFill = settings.DebugFill;
            plan.filler->Fill(page.element.get(), html, win_id_, true,
                              settings.AutoFill && unlocked, fill_option_);
            if (plan.filler->Matched) {
              anyPrepared = true;
              ++filledForms;
            }
            if (plan.filler->Marked) showNotice = true;
          }
          WriteMark(page.element.get(), kFormDoneMark, Variant::Text(u"DONE"));
        }
      }
      if (Stopping()) return EndPass();
      ComPtr<IHTMLElement> body;
      GetDocumentBody(browser.get(), body);
      if (body) WriteMark(body.get(), kFormsCountMark, Variant::Int(filledForms));
      if (anyPrepared && needLogin) {
        auto request = std::make_unique<TNavigateItem>();
        request->IEWin = ie_win_;
        PostObjectToMainWindow(kCmdFillPageById, std::move(request));
        showNotice = false;
      }
      if (showNotice) PostToMainWindow(kCmdAutoFillNotice, static_cast<LPARAM>(frameWnd));
    }
  } catch (const std::exception&) {
    // An error inside the walk ends the pass without messages.
  }
  EndPass();
}

void TAfterNavigateThr::EndPass() {
  if (std::shared_ptr<TIEWin> watcher = platform::LookupObject<TIEWin>(ie_win_)) watcher->ClearAfterNavThread(pass_);
  CoUninitialize();
}

}  // namespace formfill
