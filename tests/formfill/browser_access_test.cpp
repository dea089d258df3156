#include "formfill/browser_access.h"

#include <gtest/gtest.h>

#include "browser_fixture.h"
#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/win/window.h"

namespace {

using formfill_test::BrowserFixture;
using platform::com::ComPtr;
using platform::com::Variant;

class BrowserAccess : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    AddPage(u"/a", R"(<title>Page A</title><body data-px="one">a)");
    AddPage(u"/b", R"(<title>Page B</title><body data-px="two">b)");
    AddPage(u"/c", R"(<title>Page C</title><body data-px="two">c)");
    first_ = Open(u"/a");
    second_ = Open(u"/b");
    third_ = Open(u"/c");
    SetProperty(first_.get(), u"Pellix_Win_ID", Variant::Text(u"PXID_00000001"));
    SetProperty(second_.get(), u"Pellix_Win_ID", Variant::Text(u"PXID_00000002"));
    SetProperty(third_.get(), u"Pellix_Win_ID", Variant::Text(u"PXID_00000002"));  // a duplicate
    SetProperty(first_.get(), u"TOOLBAR_CLIENT_ID", Variant::Text(u"client-1"));
    SetProperty(second_.get(), u"TOOLBAR_CLIENT_ID", Variant::Int(42));
    SetProperty(third_.get(), u"OTHER_ID", Variant::Text(u"\u00e9t\u00e9"));
  }
  // Which of the three windows a search found: 1, 2, 3, or 0 for none.
  int Which(const ComPtr<IWebBrowser2>& found) {
    if (!found) return 0;
    if (platform::com::IsSameObject(found.get(), first_.get())) return 1;
    if (platform::com::IsSameObject(found.get(), second_.get())) return 2;
    if (platform::com::IsSameObject(found.get(), third_.get())) return 3;
    return -1;
  }
  ComPtr<IWebBrowser2> first_, second_, third_;
};

TEST_F(BrowserAccess, SearchByWindowId) {
  struct Case {
    std::u16string id;
    int found;
  } cases[] = {{u"PXID_00000001", 1}, {u"PXID_00000002", 2}, {u"pxid_00000001", 0}, {u"", 0}, {u"PXID_9", 0}};
  for (const Case& each : cases) {
    ComPtr<IWebBrowser2> found;
    formfill::FindBrowserByWinId(each.id, found);
    EXPECT_EQ(Which(found), each.found);
  }
}

TEST_F(BrowserAccess, SearchByClientId) {
  struct Case {
    std::u16string id;
    std::u16string property;
    int found;
  } cases[] = {{u"client-1", u"", 1},         {u"CLIENT-1", u"", 0},
               {u"42", u"", 2},               {u"42", u"TOOLBAR_CLIENT_ID", 2},
               {u"\u00e9t\u00e9", u"OTHER_ID", 3}, {u"  ", u"", 0}};
  for (const Case& each : cases) {
    ComPtr<IWebBrowser2> found;
    formfill::FindBrowserByClientId(each.id, each.property, found);
    EXPECT_EQ(Which(found), each.found);
  }
}

TEST_F(BrowserAccess, SearchByBodyAttributeSkipsBusyBrowsers) {
  ComPtr<IWebBrowser2> found;
  formfill::FindBrowserByBodyId(u"DATA-PX", u"two", found);
  EXPECT_EQ(Which(found), 2);
  formfill::FindBrowserByBodyId(u"data-px", u"TWO", found);
  EXPECT_EQ(Which(found), 0);
  ASSERT_EQ(platform::browser::HoldBusy(second_.get(), true), S_OK);
  formfill::FindBrowserByBodyId(u"data-px", u"two", found);
  EXPECT_EQ(Which(found), 3);
  formfill::FindBrowserByBodyId(u" ", u"two", found);
  EXPECT_EQ(Which(found), 0);
}

TEST_F(BrowserAccess, BlankClientIdDoesNotMakeTheCollection) {
  platform::faults::FailNext("CoCreateInstance", 1, ERROR_OUTOFMEMORY);
  ComPtr<IWebBrowser2> found;
  formfill::FindBrowserByClientId(u" \t", u"", found);
  EXPECT_EQ(platform::faults::Pending("CoCreateInstance"), 1);
  EXPECT_EQ(GetPropA(GetDesktopWindow(), formfill::kFindIeFlag), 0);
}

TEST_F(BrowserAccess, FailedCollectionSetsTheDesktopFlagForTheOtherSearches) {
  platform::faults::FailNext("CoCreateInstance", 1, ERROR_OUTOFMEMORY);
  ComPtr<IWebBrowser2> found;
  formfill::FindBrowserByClientId(u"client-1", u"", found);
  EXPECT_EQ(Which(found), 0);
  EXPECT_NE(GetPropA(GetDesktopWindow(), formfill::kFindIeFlag), 0);
  // The flag stays: both searches give nil without trying, the window-id search works.
  formfill::FindBrowserByClientId(u"client-1", u"", found);
  EXPECT_EQ(Which(found), 0);
  formfill::FindBrowserByBodyId(u"data-px", u"one", found);
  EXPECT_EQ(Which(found), 0);
  formfill::FindBrowserByWinId(u"PXID_00000001", found);
  EXPECT_EQ(Which(found), 1);
}

TEST_F(BrowserAccess, FlagSetByAnotherProgramCounts) {
  SetPropA(GetDesktopWindow(), formfill::kFindIeFlag, 7);
  ComPtr<IWebBrowser2> found;
  formfill::FindBrowserByBodyId(u"data-px", u"one", found);
  EXPECT_EQ(Which(found), 0);
}

// The window-id search tries once more after a wait; the retry succeeds when only the
// first creation fails, and the search gives nil when both fail.
TEST_F(BrowserAccess, WindowIdSearchRetriesOnce) {
  platform::test_clock::Freeze(5000, 46000.5);
  ComPtr<IWebBrowser2> found;
  formfill::FindBrowserByWinId(u"PXID_00000001", found);
  EXPECT_EQ(Which(found), 1);
  EXPECT_EQ(GetTickCount64(), 5000u);  // no failure, no pause
  platform::faults::FailNext("CoCreateInstance", 1, ERROR_OUTOFMEMORY);
  formfill::FindBrowserByWinId(u"PXID_00000001", found);
  EXPECT_EQ(Which(found), 1);
  EXPECT_EQ(GetTickCount64(), 6000u);
  platform::faults::FailNext("CoCreateInstance", 2, ERROR_OUTOFMEMORY);
  formfill::FindBrowserByWinId(u"PXID_00000001", found);
  EXPECT_EQ(Which(found), 0);
  EXPECT_EQ(GetTickCount64(), 7000u);
  EXPECT_EQ(platform::faults::Pending("CoCreateInstance"), 0);
  EXPECT_EQ(GetPropA(GetDesktopWindow(), formfill::kFindIeFlag), 0);
  platform::test_clock::Release();
}

TEST_F(BrowserAccess, DocumentAccessors) {
  std::u16string title = u"stale";
  formfill::GetDocumentTitle(first_.get(), title);
  EXPECT_EQ(title, u"Page A");
  ComPtr<IHTMLElement> body;
  formfill::GetDocumentBody(second_.get(), body);
  ASSERT_TRUE(body);
  EXPECT_NE(formfill::GetBrowserWindowHandle(third_.get()), 0u);
  EXPECT_TRUE(IsWindow(formfill::GetBrowserWindowHandle(third_.get())));

  ComPtr<IWebBrowser2> blank = Open();  // no page yet
  formfill::GetDocumentTitle(blank.get(), title);
  EXPECT_EQ(title, u"");
  formfill::GetDocumentBody(blank.get(), body);
  EXPECT_FALSE(body);
  formfill::GetDocumentTitle(nullptr, title);
  EXPECT_EQ(formfill::GetBrowserWindowHandle(nullptr), 0u);
  blank->Quit();
  EXPECT_EQ(formfill::GetBrowserWindowHandle(blank.get()), 0u);
  ComPtr<IHTMLDocument3> document;
  formfill::GetDocument3(blank.get(), document);
  EXPECT_FALSE(document);
}

}  // namespace
