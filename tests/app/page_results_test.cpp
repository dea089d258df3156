#include "app/page_results.h"

#include <gtest/gtest.h>

#include "app/main_form.h"
#include "app/recording_launcher.h"
#include "app/user_lists.h"
#include "common/test_env.h"
#include "data/data_globals.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/ignore_lists.h"
#include "data/menu_messages.h"
#include "formfill/app_menus.h"
#include "platform/base/clock.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/std_ctrls.h"

namespace {

constexpr char16_t kLogin[] = u"http://site.test/login";

TFormListItem Field(std::u16string name, std::u16string value) {
  TFormListItem field;
  field.Name = name;
  field.ID = std::move(name);
  field.Value = std::move(value);
  return field;
}

// The lists of a user in a data folder of the test's own; the main window is made but
// not created (no watcher), so each submission is handled exactly as command 4 would.
class PageResultsTest : public UserListsTest {
 protected:
  void SetUp() override {
    UserListsTest::SetUp();
    form_.Settings.AutoAddIdent = false;
  }

  void Submit(const std::u16string& url, std::u16string user, std::u16string password) {
    TMessageItem message;
    message.Caption = u"Log in";
    message.URL = url;
    message.FormName = u"login";
    message.Fields = {Field(u"user", std::move(user)), Field(u"pw", password)};
    message.Passwords.Add(password);
    HandleFormSubmitted(form_, message);
  }

  // A list as its file holds it now.
  template <typename List>
  static std::unique_ptr<List> Reloaded() {
    auto list = std::make_unique<List>();
    EXPECT_TRUE(list->LoadFromFile());
    return list;
  }

  TFormItem* StoreBookmark(const std::u16string& user, double date) {
    auto item = std::make_unique<TBookmarkItem>(BookmarkList.get());
    item->Date = date;
    item->SetCaption(u"stored");
    item->SetURL(kLogin);
    item->SetFormName(u"login");
    item->AddFields({Field(u"user", user), Field(u"pw", u"secret")});
    return static_cast<TFormItem*>(BookmarkList->Insert(0, std::move(item)));
  }

  TRecordingLauncher launcher_;
  TMainForm form_{launcher_};
};

// A site of the built-in list, or of the user's ignore list, is not remembered at all.
TEST_F(PageResultsTest, AnIgnoredSiteChangesNothingAndAsksNothing) {
  ASSERT_TRUE(IgnoreList->Add(u"mine", u"http://ignored.test/", kIgnoreSite, u"", u""));
  for (const std::u16string url : {u"http://www.google.com/login", u"http://ignored.test/login"}) {
    Submit(url, u"ann", u"secret");
    EXPECT_TRUE(launcher_.Opened.empty());
    EXPECT_EQ(BookmarkList->Count() + HistoryList->Count() + PasswordList->Count(), 0);
  }
}

// Declining the bookmark form still keeps the form history, the password and the
// site's default form, each in its file; a second equal submission adds no history.
TEST_F(PageResultsTest, ADeclinedBookmarkStillKeepsHistoryPasswordAndSiteDefault) {
  Submit(kLogin, u"ann", u"secret");
  EXPECT_EQ(launcher_.Opened, std::vector<std::string>{"bookmark form"});
  auto history = Reloaded<THistoryItems>();
  ASSERT_EQ(history->Count(), 1);
  EXPECT_EQ(history->Form(0)->URL(), kLogin);
  auto passwords = Reloaded<TPasswordItems>();
  ASSERT_EQ(passwords->Count(), 2) << "the form's and the site's";
  for (int i = 0; i < 2; ++i) EXPECT_EQ(passwords->Password(i)->GetPassword(), u"secret");
  auto bookmarks = Reloaded<TBookmarkItems>();
  ASSERT_EQ(bookmarks->Count(), 1);
  EXPECT_EQ(bookmarks->Form(0)->URL(), u"site.test");
  EXPECT_EQ(bookmarks->Form(0)->FormName(), kSiteDefaultMarker);

  Submit(kLogin, u"ann", u"secret");
  EXPECT_EQ(Reloaded<THistoryItems>()->Count(), 1) << "the same values refresh the date only";
  EXPECT_EQ(Reloaded<TPasswordItems>()->Count(), 2);
}

// The same values as a stored bookmark refresh its date: nothing is asked and nothing
// goes into the history.
TEST_F(PageResultsTest, TheSameValuesAsABookmarkRefreshItsDateOnly) {
  platform::test_clock::Freeze(1000, 46000.0);
  TFormItem* stored = StoreBookmark(u"ann", 45000.0);
  Submit(kLogin, u"ann", u"secret");
  platform::test_clock::Release();
  EXPECT_TRUE(launcher_.Opened.empty());
  EXPECT_EQ(HistoryList->Count(), 0);
  EXPECT_DOUBLE_EQ(stored->Date, 46000.0);
  EXPECT_DOUBLE_EQ(Reloaded<TBookmarkItems>()->Form(0)->Date, 46000.0);
}

// A bookmark saved with a fill mode creates no site default; one that replaces a
// candidate deleted while the form was open is kept as a new one instead.
TEST_F(PageResultsTest, ASavedBookmarkReplacesOnlyACandidateThatStillExists) {
  struct Case {
    const char* name;
    std::uint16_t fillMode;
    bool deleteCandidate;
    int bookmarks;  // afterwards
  };
  const Case cases[] = {
      {"replaced, with a fill mode", 1, false, 1},
      {"candidate gone meanwhile", 0, true, 2},  // the new one and the site default
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    while (BookmarkList->Count() > 0) BookmarkList->Delete(0);
    StoreBookmark(u"old", 45000.0);
    launcher_.SaveBookmark = true;
    launcher_.Bookmark = TBookmarkChoice{0, u"mine", c.fillMode, 0};
    launcher_.BeforeBookmarkAnswer = [&] {
      if (c.deleteCandidate) BookmarkList->Delete(0);
    };
    Submit(kLogin, u"new", u"secret");
    EXPECT_EQ(launcher_.Candidates, std::vector<std::u16string>{u"stored"});
    auto bookmarks = Reloaded<TBookmarkItems>();
    ASSERT_EQ(bookmarks->Count(), c.bookmarks);
    TFormItem* mine = bookmarks->Form(0)->Caption() == u"mine" ? bookmarks->Form(0) : bookmarks->Form(1);
    EXPECT_EQ(mine->Caption(), u"mine");
    EXPECT_EQ(mine->VaultID, c.fillMode);
    mine->DecodeFields();
    EXPECT_EQ(mine->GetField(0)->Value, u"new");
    EXPECT_EQ(HistoryList->Count(), 0) << "a saved bookmark is not history";
  }
}

// A form new to the history brings the added-to-history notice, whose box switches it
// off for good.
TEST_F(PageResultsTest, TheHistoryNoticeCanBeSwitchedOff) {
  form_.Settings.ShowHistory = true;
  Submit(kLogin, u"ann", u"secret");
  EXPECT_EQ(platform::modal_driver::Shown(), std::vector<std::string>{"TAddHistoryForm"});

  platform::modal_driver::Clear();
  platform::modal_driver::Answer([](TCustomForm& notice) {
    dynamic_cast<TCustomCheckBox*>(notice.FindComponent("XShowEachTime"))->SetChecked(false);
    notice.ModalResult = mrOk;
  });
  Submit(u"http://site.test/other", u"ann", u"secret");
  EXPECT_FALSE(form_.Settings.ShowHistory);
  bool stored = true;
  EXPECT_TRUE(Config->ReadBool(u"SHOW_HISTORY", stored));
  EXPECT_FALSE(stored);
}

TEST_F(PageResultsTest, TheAutoFillNoticeShowsOncePerInstallation) {
  ShowAutoFillNotice(0);
  ShowAutoFillNotice(0);
  EXPECT_EQ(platform::modal_driver::Shown(), std::vector<std::string>{"TAutoFillForm"});
  bool shown = false;
  EXPECT_TRUE(Config->ReadBool(u"AUTOFILLMESS", shown));
  EXPECT_TRUE(shown);
}

}  // namespace
