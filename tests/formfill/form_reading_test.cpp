#include "formfill/form_reading.h"

#include <gtest/gtest.h>

#include "formfill/browser_access.h"
#include "platform/browser/html_document.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

TEST(FormIdentity, ByNameIdOrMark) {
  auto document = platform::browser::HtmlDocument::Load(
      R"(<form name=login id=f1></form><form name=only></form><form id=f3></form>
         <form id=""></form><form></form><form data-x></form>)",
      u"http://site.test/");
  ComPtr<IHTMLElementCollection> forms;
  ASSERT_EQ(document->get_forms(forms.Put()), S_OK);
  std::vector<ComPtr<IHTMLFormElement>> all;
  formfill::ForEachItem(forms.get(), [&](IDispatch* item) {
    all.push_back(ComPtr<IDispatch>(item).As<IHTMLFormElement>());
    return true;
  });
  ASSERT_EQ(all.size(), 6u);
  formfill::WriteMark(all[3].As<IHTMLElement>().get(), u"Pellix_FormID", Variant::Text(u"#2"));
  formfill::WriteMark(all[5].As<IHTMLElement>().get(), u"Pellix_FormID", Variant::Int(5));
  struct Case {
    std::u16string name, id;
  } expected[] = {{u"login", u"f1"}, {u"only", u""}, {u"", u"f3"}, {u"", u"#2"}, {u"", u""}, {u"", u""}};
  for (std::size_t i = 0; i < all.size(); ++i) {
    std::u16string name = u"stale", id = u"stale";
    EXPECT_TRUE(formfill::GetFormIdentity(all[i].get(), name, id)) << i;
    EXPECT_EQ(name, expected[i].name) << i;
    EXPECT_EQ(id, expected[i].id) << i;
  }
  std::u16string name = u"stale", id = u"stale";
  EXPECT_FALSE(formfill::GetFormIdentity(nullptr, name, id));
  EXPECT_EQ(name, u"");
  EXPECT_EQ(id, u"");
}

}  // namespace
