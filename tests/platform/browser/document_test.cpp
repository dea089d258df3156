#include <gtest/gtest.h>

#include "model_helpers.h"

namespace {

using namespace browser_test;
using platform::com::BString;

TEST(Document, TitleBodyAndForms) {
  auto document = Load(R"(<title>  Sign
      in </title><body data-x=1><form name=login></form><form id=other></form>)");
  BString title;
  ASSERT_EQ(document->get_title(title.Put()), S_OK);
  EXPECT_EQ(title.Text(), u"Sign in");
  ComPtr<IHTMLElement> body;
  ASSERT_EQ(document->get_body(body.Put()), S_OK);
  EXPECT_EQ(Attribute(body.get(), u"data-x").StringValue(), u"1");
  ComPtr<IHTMLElementCollection> forms;
  ASSERT_EQ(document->get_forms(forms.Put()), S_OK);
  EXPECT_EQ(Length(forms.get()), 2);
  BString name;
  ASSERT_EQ(Item(forms.get(), 0).As<IHTMLFormElement>()->get_name(name.Put()), S_OK);
  EXPECT_EQ(name.Text(), u"login");
}

TEST(Document, FormsReachTheirOwnFieldsOnly) {
  auto document = Load(R"(<form id=f1><input id=a><select id=s><option>1</select></form>
      <input id=outside><form id=f2><table><tr><td><input id=b></table></form>)");
  auto f1 = ById(document.get(), u"f1").As<IHTMLElement2>();
  ComPtr<IHTMLElementCollection> inputs;
  ASSERT_EQ(f1->getElementsByTagName(BString(u"input").get(), inputs.Put()), S_OK);
  ASSERT_EQ(Length(inputs.get()), 1);
  EXPECT_EQ(Id(Item(inputs.get(), 0).get()), u"a");

  ComPtr<IDispatch> all;
  ASSERT_EQ(ById(document.get(), u"f2")->get_all(all.Put()), S_OK);
  auto inside = all.As<IHTMLElementCollection>();
  ASSERT_TRUE(inside);
  EXPECT_GE(Length(inside.get()), 4);  // table, tbody, tr, td, input

  ComPtr<IHTMLFormElement> form;
  ASSERT_EQ(ById(document.get(), u"outside").As<IHTMLInputElement>()->get_form(form.Put()), S_OK);
  EXPECT_FALSE(form);
  ASSERT_EQ(ById(document.get(), u"b").As<IHTMLInputElement>()->get_form(form.Put()), S_OK);
  EXPECT_TRUE(platform::com::IsSameObject(form.get(), ById(document.get(), u"f2").get()));
  LONG length = 0;
  ASSERT_EQ(ById(document.get(), u"f1").As<IHTMLFormElement>()->get_length(&length), S_OK);
  EXPECT_EQ(length, 2);
}

TEST(Document, KindInterfacesFollowTheTag) {
  auto document = Load(R"(<form id=f></form><input id=i><select id=s><option id=o></select><div id=d></div>)");
  struct Case {
    std::u16string id;
    bool form, input, select, option;
  } cases[] = {{u"f", true, false, false, false},
               {u"i", false, true, false, false},
               {u"s", false, false, true, false},
               {u"o", false, false, false, true},
               {u"d", false, false, false, false}};
  for (const Case& each : cases) {
    ComPtr<IHTMLElement> element = ById(document.get(), each.id);
    EXPECT_EQ(bool(element.As<IHTMLFormElement>()), each.form) << Narrow(each.id);
    EXPECT_EQ(bool(element.As<IHTMLInputElement>()), each.input) << Narrow(each.id);
    EXPECT_EQ(bool(element.As<IHTMLInputTextElement>()), each.input) << Narrow(each.id);
    EXPECT_EQ(bool(element.As<IHTMLSelectElement>()), each.select) << Narrow(each.id);
    EXPECT_EQ(bool(element.As<IHTMLOptionElement>()), each.option) << Narrow(each.id);
    EXPECT_TRUE(element.As<IHTMLElement2>());
  }
}

TEST(Document, InlineStyleIsReadAndWritten) {
  auto document = Load(R"(<input id=x style="COLOR: red ; width:3px">)");
  ComPtr<IHTMLElement> input = ById(document.get(), u"x");
  ComPtr<IHTMLStyle> style;
  ASSERT_EQ(input->get_style(style.Put()), S_OK);
  ASSERT_EQ(style->setAttribute(BString(u"background").get(), Variant::Text(u"#CEFF84").raw(), 0), S_OK);
  Variant color;
  ASSERT_EQ(style->getAttribute(BString(u"Color").get(), 0, color.Put()), S_OK);
  EXPECT_EQ(color.StringValue(), u"red");
  EXPECT_EQ(Attribute(input.get(), u"style").StringValue(), u"color: red; width: 3px; background: #CEFF84");
}

TEST(Document, ElementsOfAGonePageFailCleanly) {
  ComPtr<IHTMLElement> kept;
  {
    auto document = Load("<input id=x>");
    kept = ById(document.get(), u"x");
  }
  Variant value;
  EXPECT_EQ(kept->getAttribute(BString(u"id").get(), 0, value.Put()), E_FAIL);
  EXPECT_EQ(kept->setAttribute(BString(u"id").get(), Variant::Text(u"y").raw(), 0), E_FAIL);
  ComPtr<IHTMLStyle> style;
  EXPECT_EQ(kept->get_style(style.Put()), E_FAIL);
}

TEST(Document, CollectionsKeepTheirPageAlive) {
  ComPtr<IHTMLElementCollection> inputs;
  {
    auto document = Load("<input id=x>");
    inputs = ByTag(document.get(), u"input");
  }
  ComPtr<IHTMLElement> input = Item(inputs.get(), 0);
  ASSERT_TRUE(input);
  EXPECT_EQ(Id(input.get()), u"x");
}

// Hostile pages: the tree is built without crashing or losing the fields that are there.
TEST(Document, HostilePages) {
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<div>";
  deep += "<input id=deep>";
  struct Case {
    std::string html;
    std::u16string id;  // an element that must be found
  } cases[] = {
      {"<form><form id=inner><input id=x></form></form>", u"x"},
      {std::string("<input id=x value=\"a\0b\">", 24), u"x"},
      {"<input id=x value=\"\xff\xfe\xc3\">", u"x"},
      {"<table><input id=x><tr><td></table>", u"x"},
      {"<select id=x><form><option>1</select>", u"x"},
      {"<input id=x <<<>>> name='\"'", u"x"},
      {deep, u"deep"},
  };
  for (const Case& each : cases) {
    auto document = Load(each.html);
    ComPtr<IHTMLElement> found = ById(document.get(), each.id);
    ASSERT_TRUE(found) << each.html.substr(0, 60);
    ComPtr<IHTMLElement> root;
    ASSERT_EQ(document->get_documentElement(root.Put()), S_OK);
    EXPECT_FALSE(OuterHtml(root.get()).empty());
  }
}

TEST(Document, InvalidUtf8BecomesReplacementCharacters) {
  auto document = Load("<input id=x value=\"a\xff" "b\">");
  EXPECT_EQ(Value(ById(document.get(), u"x").get()), u"a\uFFFDb");
}

// References to NUL and to surrogate halves name no character: the page's values and
// title hold U+FFFD for them, also for a pair spelled as two references.
TEST(Document, ReferencesToNulAndSurrogatesGiveReplacementCharacters) {
  auto document = Load("<title>a&#0;b</title><input id=x value=\"&#0;&#xD800;&#56320;&#xD83D;&#xDE00;&#xE000;\">");
  EXPECT_EQ(Value(ById(document.get(), u"x").get()), u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uE000");
  BString title;
  ASSERT_EQ(document->get_title(title.Put()), S_OK);
  EXPECT_EQ(title.Text(), u"a\uFFFDb");
}

}  // namespace
