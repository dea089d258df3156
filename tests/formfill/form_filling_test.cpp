#include "formfill/form_filling.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <sstream>

#include "browser_fixture.h"
#include "common/test_env.h"
#include "data/identities.h"
#include "formfill/browser_access.h"
#include "formfill/password_inputs.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/com/class_table.h"

namespace {

using formfill_test::BrowserFixture;
using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr char16_t kWindow[] = u"PXID_0000F111";

std::string FixtureText(const std::string& name) {
  std::ifstream file(pellix_test::Fixture("formfill/" + name), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TFormListItem Stored(const std::u16string& name, const std::u16string& id, const std::u16string& value) {
  TFormListItem field;
  field.Name = name;
  field.ID = id;
  field.Value = value;
  return field;
}

class FormFilling : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    for (const char* name : {"login.html", "three_forms.html", "no_fields.html"}) {
      AddPage(u"/" + platform::AnsiToWide(name), FixtureText(name));
    }
    AddPage(u"/plain.html", "<title>Plain</title><p>No form here.");
  }
  void TearDown() override {
    formfill::PreparedValues::Instance().DropWindow(kWindow);
    BrowserFixture::TearDown();
  }
  ComPtr<IWebBrowser2> OpenPage(const std::u16string& path) {
    ComPtr<IWebBrowser2> browser = Open(path);
    SetProperty(browser.get(), u"Pellix_Win_ID", Variant::Text(kWindow));
    return browser;
  }
  std::u16string Value(IWebBrowser2* browser, const std::u16string& id) {
    ComPtr<IHTMLElement> element = ById(browser, id);
    BString value;
    if (auto input = element.As<IHTMLInputElement>()) {
      EXPECT_EQ(input->get_value(value.Put()), S_OK);
    } else if (auto select = element.As<IHTMLSelectElement>()) {
      EXPECT_EQ(select->get_value(value.Put()), S_OK);
    }
    return value.Text();
  }
  bool Prepare(IWebBrowser2* browser, const std::u16string& formId, const TFormFieldList* fields,
               const std::u16string& password, const std::u16string& generated, bool fill, bool& prepared,
               bool& filled) {
    return formfill::PrepareFormFields(ById(browser, formId).get(), fields, password, generated, fill, prepared,
                                       filled, kWindow);
  }
  std::u16string Prepared(IWebBrowser2* browser, const std::u16string& id) {
    std::u16string value;
    formfill::ReadPreparedValue(ById(browser, id).get(), kWindow, value);
    return value;
  }
  // Every attribute of every element, as the page's scripts could read them.
  std::u16string EveryAttribute(IWebBrowser2* browser) {
    ComPtr<IHTMLElement> root;
    EXPECT_EQ(Document(browser).As<IHTMLDocument3>()->get_documentElement(root.Put()), S_OK);
    BString html;
    EXPECT_EQ(root->get_outerHTML(html.Put()), S_OK);
    return html.Text();
  }
};

TEST_F(FormFilling, PrepareFromAStoredForm) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/login.html");
  ASSERT_EQ(platform::browser::TypeInto(browser.get(), ById(browser.get(), u"user").get(), u"typed"), S_OK);
  TFormFieldList fields{Stored(u"user", u"user", u"stored-user"), Stored(u"pass", u"pass", u"s3cret"),
                        Stored(u"lang", u"lang", u"Deutsch")};
  bool prepared = false, filled = false;
  EXPECT_TRUE(Prepare(browser.get(), u"login", &fields, u"", u"", true, prepared, filled));
  EXPECT_TRUE(prepared);
  EXPECT_TRUE(filled);
  EXPECT_EQ(Value(browser.get(), u"user"), u"typed");  // text already there stays
  EXPECT_EQ(Value(browser.get(), u"pass"), u"s3cret");
  EXPECT_EQ(Value(browser.get(), u"lang"), u"de");
  for (const char16_t* id : {u"user", u"pass", u"lang"}) {
    EXPECT_EQ(formfill::ReadTextMark(ById(browser.get(), id).get(), u"Pellix_Key"), u"VALUE");
    EXPECT_EQ(formfill::ReadMark(ById(browser.get(), id).get(), u"Pellix_Colored").type(), VT_UI1);
  }
  EXPECT_EQ(Prepared(browser.get(), u"pass"), u"s3cret");
  EXPECT_EQ(Prepared(browser.get(), u"user"), u"stored-user");
}

TEST_F(FormFilling, PrepareWithoutFillOnlyMarks) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/login.html");
  TFormFieldList fields{Stored(u"user", u"user", u""), Stored(u"lang", u"lang", u"fr")};
  bool prepared = true, filled = true;
  // The password input is covered neither by the fields nor by a password.
  EXPECT_TRUE(Prepare(browser.get(), u"login", &fields, u"", u"", false, prepared, filled));
  EXPECT_TRUE(prepared);  // by the select; the empty value marks but prepares nothing
  EXPECT_FALSE(filled);
  EXPECT_EQ(Value(browser.get(), u"lang"), u"en");
  EXPECT_EQ(formfill::ReadMark(ById(browser.get(), u"user").get(), u"Pellix_Colored").type(), VT_NULL);
  EXPECT_EQ(formfill::ReadTextMark(ById(browser.get(), u"user").get(), u"Pellix_Key"), u"VALUE");

  // With Fill, the empty stored value still counts as written.
  EXPECT_TRUE(Prepare(browser.get(), u"login", &fields, u"stored-pw", u"", true, prepared, filled));
  EXPECT_TRUE(filled);
  EXPECT_EQ(Value(browser.get(), u"pass"), u"stored-pw");
  EXPECT_EQ(Value(browser.get(), u"lang"), u"fr");
}

TEST_F(FormFilling, PrepareAGeneratedPassword) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/login.html");
  bool prepared = false, filled = false;
  EXPECT_FALSE(Prepare(browser.get(), u"login", nullptr, u"", u"Gen-Pw-1", true, prepared, filled));
  EXPECT_TRUE(prepared);
  EXPECT_EQ(Value(browser.get(), u"pass"), u"Gen-Pw-1");
  EXPECT_EQ(Value(browser.get(), u"user"), u"");
  EXPECT_EQ(formfill::ReadTextMark(ById(browser.get(), u"pass").get(), u"Pellix_Key"), u"GENPWD");
  EXPECT_FALSE(formfill::PrepareFormFields(nullptr, nullptr, u"", u"x", true, prepared, filled, kWindow));
  EXPECT_FALSE(prepared);
}

struct ResultCase {
  std::u16string page;
  std::vector<std::pair<std::u16string, std::u16string>> prepared;  // field id, value
  bool submit;
  formfill::FillResult result;
  std::u16string locationAfter;  // empty: unchanged
};

TEST_F(FormFilling, FillResultCodes) {
  const ResultCase cases[] = {
      {u"/plain.html", {}, false, formfill::frNoForms, u""},
      {u"/no_fields.html", {}, false, formfill::frNoForms, u""},
      {u"/login.html", {}, false, formfill::frNoValues, u""},
      {u"/three_forms.html", {{u"city", u"Paris"}}, false, formfill::frNothingFilled, u""},
      {u"/three_forms.html", {{u"email", u"a@b.test"}}, false, formfill::frFilled, u""},
      {u"/three_forms.html", {{u"email", u"a@b.test"}}, true, formfill::frFilled, u"http://site.test/order"},
      {u"/three_forms.html", {{u"q", u"x"}, {u"email", u"a@b.test"}}, true, formfill::frManyForms, u""},
  };
  for (const ResultCase& each : cases) {
    ComPtr<IWebBrowser2> browser = OpenPage(each.page);
    for (const auto& [id, value] : each.prepared) {
      formfill::WritePreparedValue(ById(browser.get(), id).get(), kWindow, value);
    }
    EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), true, each.submit), each.result)
        << platform::WideToUtf8(each.page);
    ASSERT_EQ(platform::browser::WaitIdle(browser.get()), S_OK);
    BString location;
    ASSERT_EQ(browser->get_LocationURL(location.Put()), S_OK);
    EXPECT_EQ(location.Text(), each.locationAfter.empty() ? u"http://site.test" + each.page : each.locationAfter);
    browser->Quit();
  }
}

TEST_F(FormFilling, NoDocumentGetsTheNoPageAnswer) {
  ComPtr<IWebBrowser2> blank = Open();
  EXPECT_EQ(formfill::FillFormsFromRecord(blank.get(), true, true), formfill::frNoForms);
  EXPECT_EQ(formfill::FillFormsFromRecord(nullptr, true, true), formfill::frNoForms);
}

TEST_F(FormFilling, IdentityKeysAndPasswords) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/login.html");
  formfill::WriteMark(ById(browser.get(), u"user").get(), u"Pellix_Key", Variant::Text(u"EMAIL"));
  formfill::WriteMark(ById(browser.get(), u"lang").get(), u"Pellix_Key", Variant::Text(u"LANGUAGE"));
  formfill::WritePreparedValue(ById(browser.get(), u"pass").get(), kWindow, u"pw");
  // Without an active identity the identity fields have no value.
  ActiveIdentity.reset();
  EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), false, false), formfill::frNoValues);
  ActiveIdentity = std::make_unique<TIdentity>("");
  ActiveIdentity->SetValue(u"EMAIL", u"me@site.test");
  ActiveIdentity->SetValue(u"LANGUAGE", u"Spanish\tfrancais\tFRAN\u00c7AIS");
  EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), false, false), formfill::frFilled);
  EXPECT_EQ(Value(browser.get(), u"user"), u"me@site.test");
  EXPECT_EQ(Value(browser.get(), u"lang"), u"fr");
  EXPECT_EQ(Value(browser.get(), u"pass"), u"");  // passwords only when asked
  EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), true, false), formfill::frFilled);
  ActiveIdentity.reset();
  EXPECT_EQ(Value(browser.get(), u"pass"), u"pw");
}

TEST_F(FormFilling, FillOnPageOverwrites) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/three_forms.html");
  formfill::WritePreparedValue(ById(browser.get(), u"city").get(), kWindow, u"Paris");
  formfill::FillFormsOnPage(browser.get());
  EXPECT_EQ(Value(browser.get(), u"city"), u"Paris");
  EXPECT_EQ(Value(browser.get(), u"email"), u"");
}

// Identity values kept as "value TAB alternatives" go into text inputs (of any
// text-like type) cut at the TAB; selects still choose among the alternatives.
TEST_F(FormFilling, TextInputsGetTheValueBeforeTheTab) {
  AddPage(u"/contact", "<form id=f><input name='ctl00$Main$txtCountry' id=country>"
                       "<input type=search name='s[country]' id=s><select name=title id=title>"
                       "<option>Mrs</option><option value=mr>Mr</option></select></form>");
  ComPtr<IWebBrowser2> browser = OpenPage(u"/contact");
  for (const auto& [id, key] : {std::pair{u"country", u"COUNTRY"}, {u"s", u"COUNTRY"}, {u"title", u"TITLE"}}) {
    formfill::WriteMark(ById(browser.get(), id).get(), u"Pellix_Key", Variant::Text(key));
  }
  ActiveIdentity = std::make_unique<TIdentity>("");
  ActiveIdentity->SetValue(u"COUNTRY", u"Germany\tDeutschland\tDE");
  ActiveIdentity->SetValue(u"TITLE", u"Mister\tMr");
  EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), false, false), formfill::frFilled);
  EXPECT_EQ(Value(browser.get(), u"country"), u"Germany");
  EXPECT_EQ(Value(browser.get(), u"s"), u"Germany");
  EXPECT_EQ(Value(browser.get(), u"title"), u"mr");
  platform::browser::TypeInto(browser.get(), ById(browser.get(), u"country").get(), u"typed");
  formfill::FillFormsOnPage(browser.get());
  EXPECT_EQ(Value(browser.get(), u"country"), u"Germany");
  ActiveIdentity.reset();
}

TEST_F(FormFilling, ValuesOfAnotherWindowAreNotFilled) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/three_forms.html");
  formfill::WritePreparedValue(ById(browser.get(), u"email").get(), u"PXID_0BADBAD0", u"elsewhere");
  EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), true, false), formfill::frNoValues);
  // A page that writes a value of its own into the mark gets nothing either.
  formfill::WriteMark(ById(browser.get(), u"email").get(), u"Pellix_Value", Variant::Text(u"forged"));
  EXPECT_EQ(formfill::FillFormsFromRecord(browser.get(), true, false), formfill::frNoValues);
  formfill::PreparedValues::Instance().DropWindow(u"PXID_0BADBAD0");
}

TEST_F(FormFilling, NoSecretValueInAnyAttributeOfAFilledPage) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/login.html");
  TFormFieldList fields{Stored(u"user", u"user", u"alice-secret-name"), Stored(u"pass", u"pass", u"Pa55-secret")};
  bool prepared = false, filled = false;
  Prepare(browser.get(), u"login", &fields, u"", u"", true, prepared, filled);
  formfill::MarkPasswordPair(ById(browser.get(), u"login").get());
  Prepare(browser.get(), u"login", nullptr, u"", u"Generated-secret", true, prepared, filled);
  formfill::FillFormsFromRecord(browser.get(), true, false);
  formfill::FillFormsOnPage(browser.get());
  // The generated password marked last is written over the stored one on the page fill.
  EXPECT_EQ(Value(browser.get(), u"pass"), u"Generated-secret");
  std::u16string attributes = EveryAttribute(browser.get());
  for (const char16_t* secret : {u"alice-secret-name", u"Pa55-secret", u"Generated-secret"}) {
    EXPECT_EQ(attributes.find(secret), std::u16string::npos) << platform::WideToUtf8(secret);
  }
  EXPECT_NE(attributes.find(u"Pellix_Value=\"PXV_"), std::u16string::npos);
}

// The page is shared: an after-navigation thread prepares it while the user types and
// right-clicks (on the browser's thread) and the main thread fills it.
TEST_F(FormFilling, PreparingWhileTheUserActsAndTheMainThreadFills) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/login.html");
  ComPtr<IHTMLElement> form = ById(browser.get(), u"login");
  ComPtr<IHTMLElement> user = ById(browser.get(), u"user");
  ComPtr<IHTMLElement> pass = ById(browser.get(), u"pass");
  TFormFieldList fields{Stored(u"user", u"user", u"stored"), Stored(u"lang", u"lang", u"de")};
  std::thread afterNavigation([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (int i = 0; i < 30; ++i) {
      bool prepared = false, filled = false;
      formfill::PrepareFormFields(form.get(), &fields, u"pw", u"", true, prepared, filled, kWindow);
      formfill::MarkPasswordPair(form.get());
    }
    CoUninitialize();
  });
  for (int i = 0; i < 30; ++i) {
    ASSERT_EQ(platform::browser::TypeInto(browser.get(), user.get(), i % 2 ? u"" : u"typed"), S_OK);
    ASSERT_EQ(platform::browser::RightClick(browser.get(), pass.get()), S_OK);
    formfill::FillFormsFromRecord(browser.get(), true, false);
  }
  afterNavigation.join();
  std::u16string userValue = Value(browser.get(), u"user");
  EXPECT_TRUE(userValue == u"typed" || userValue == u"stored" || userValue.empty());
  EXPECT_EQ(Value(browser.get(), u"pass"), u"pw");
}

TEST_F(FormFilling, SelectMatchingOption) {
  ComPtr<IWebBrowser2> browser = OpenPage(u"/login.html");
  auto select = ById(browser.get(), u"lang").As<IHTMLSelectElement>();
  struct Case {
    std::u16string value;
    bool matched;
    std::u16string selected;
  } cases[] = {
      {u"deutsch", true, u"de"},           {u"Español\tENGLISH", true, u"en"},
      {u"xx\tFR", true, u"fr"},            {u"nothing", false, u"fr"},
      {u"\t\t", false, u"fr"},             {u"", false, u"fr"},
      {u"Deutsch\tEnglish", true, u"en"},  // the first option in option order wins
  };
  for (const Case& each : cases) {
    EXPECT_EQ(formfill::SelectMatchingOption(select.get(), each.value), each.matched)
        << platform::WideToUtf8(each.value);
    EXPECT_EQ(Value(browser.get(), u"lang"), each.selected) << platform::WideToUtf8(each.value);
  }
  EXPECT_FALSE(formfill::SelectMatchingOption(nullptr, u"x"));
}

}  // namespace
