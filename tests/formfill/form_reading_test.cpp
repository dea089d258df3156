#include "formfill/form_reading.h"

#include <gtest/gtest.h>

#include "data/field_dictionary.h"
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

namespace {

class ReadFields : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadDataResourceLists([](const char* name) -> std::optional<std::string> {
      if (std::string(name) == "FF_DEFAULT") return std::string("IGNORE=search;captcha\r\nEMAIL=email;e-mail\r\n");
      return std::nullopt;
    });
  }
  void TearDown() override { ClearDataResourceLists(); }
};

TEST_F(ReadFields, TextAndPasswordInputsThenSelects) {
  auto document = platform::browser::HtmlDocument::Load(
      R"(<form id=f>
           <select name=country id=country><option value=de>Germany<option value=fr selected>France</select>
           <input name=Search id=s1 value=ignored>
           <input name=user id=user value=alice>
           <input type=password name=search id=pw value=kept-because-password>
           <input type=checkbox name=remember checked>
           <input name=mail id=mail value=a@b.test>
           <select name=captcha><option>1</select>
           <select name=multi multiple><option value=v1>One</select>
         </form>)",
      u"http://site.test/");
  ComPtr<IHTMLElement> form;
  ASSERT_EQ(document->getElementById(BString(u"f").get(), form.Put()), S_OK);
  ComPtr<IHTMLElement> user, mail, country;
  document->getElementById(BString(u"user").get(), user.Put());
  document->getElementById(BString(u"mail").get(), mail.Put());
  document->getElementById(BString(u"country").get(), country.Put());
  formfill::WriteMark(user.get(), u"Pellix_Key", Variant::Text(u"VALUE"));
  formfill::WriteMark(mail.get(), u"Pellix_Key", Variant::Text(u"EMAIL"));
  formfill::WriteMark(country.get(), u"Pellix_Key", Variant::Text(u"VALUE"));

  TFormFieldList fields;
  TUniStringList passwords;
  formfill::ReadFormFields(form.get(), &fields, &passwords);
  struct Expected {
    std::u16string name, id, value, key;
    bool generated;
  } expected[] = {
      {u"user", u"user", u"alice", u"", false},
      {u"search", u"pw", u"kept-because-password", u"", true},
      {u"mail", u"mail", u"a@b.test", u"EMAIL", false},
      {u"country", u"country", u"France", u"VALUE", false},  // the selected option's text
      {u"multi", u"", u"", u"", false},                       // nothing selected: its own value
  };
  ASSERT_EQ(fields.size(), std::size(expected));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].Name, expected[i].name) << i;
    EXPECT_EQ(fields[i].ID, expected[i].id) << i;
    EXPECT_EQ(fields[i].Value, expected[i].value) << i;
    EXPECT_EQ(fields[i].IdentKey, expected[i].key) << i;
    EXPECT_EQ(fields[i].Generated, expected[i].generated) << i;
  }
  ASSERT_EQ(passwords.GetCount(), 1);
  EXPECT_EQ(passwords.Get(0), u"kept-because-password");

  // Without a list nothing is read; without a password list the fields still are.
  formfill::ReadFormFields(form.get(), nullptr, &passwords);
  EXPECT_EQ(passwords.GetCount(), 1);
  TFormFieldList again;
  formfill::ReadFormFields(form.get(), &again, nullptr);
  EXPECT_EQ(again.size(), fields.size());
  formfill::ReadFormFields(nullptr, &again, nullptr);
  EXPECT_EQ(again.size(), fields.size());
}

// Pages mark user names, addresses and phones with the text-like input types, and lay
// forms out between a table and its rows: both are read as any form.
TEST_F(ReadFields, TextLikeTypesAndAFormTheTableBuilderLeftEmpty) {
  auto document = platform::browser::HtmlDocument::Load(
      R"(<table><form id=f name=signup>
           <tr><td>E-mail</td><td><input type=email name=login id=login value=ann@site.test></td></tr>
           <tr><td><input type=tel name="phone[home]" value="+49 30 1234"></td></tr>
           <tr><td><input type=url name=site value=http://ann.test><input type=NUMBER name=age value=42></td></tr>
           <tr><td><input type=search name=look value=x><input type=date name=born value=2000-01-01></td></tr>
           <tr><td><input type=hidden name=token value=t><input type=range name=r></td></tr>
           <tr><td><input type=password name=pw value=pw1></td></tr>
           <tr><td><select name="ctl00$Main$ddlCountry"><option selected>Germany</select></td></tr>
         </form></table>)",
      u"http://site.test/");
  ComPtr<IHTMLElement> form;
  ASSERT_EQ(document->getElementById(BString(u"f").get(), form.Put()), S_OK);
  TFormFieldList fields;
  TUniStringList passwords;
  formfill::ReadFormFields(form.get(), &fields, &passwords);
  struct Expected {
    std::u16string name, type, value;
  } expected[] = {
      {u"login", u"email", u"ann@site.test"}, {u"phone[home]", u"tel", u"+49 30 1234"},
      {u"site", u"url", u"http://ann.test"},  {u"age", u"number", u"42"},
      {u"look", u"search", u"x"},             {u"pw", u"password", u"pw1"},
      {u"ctl00$Main$ddlCountry", u"", u"Germany"},
  };
  ASSERT_EQ(fields.size(), std::size(expected));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].Name, expected[i].name) << i;
    EXPECT_EQ(fields[i].FieldType, expected[i].type) << i;  // as the page reports it
    EXPECT_EQ(fields[i].Value, expected[i].value) << i;
  }
  ASSERT_EQ(passwords.GetCount(), 1);
}

}  // namespace
