// The browser's rules (platform/browser/html_rules.h), each checked through the
// object model as the program calls it.
#include <gtest/gtest.h>

#include "backends.h"
#include "platform/browser/html_rules.h"

namespace {

using namespace browser_test;
using platform::com::BString;

class BrowserRules : public DocumentConformance {};
INSTANTIATE_TEST_SUITE_P(Backends, BrowserRules, ::testing::Values(Backend::kInProcess, Backend::kChromium), BackendName);

TEST_P(BrowserRules, AttributeNamesMatchRegardlessOfCaseAndKeepTheirType) {
  auto document = Load(R"(<input id=field Data-Mark="parsed">)");
  ComPtr<IHTMLElement> field = ById(document.get(), u"field");
  EXPECT_EQ(Attribute(field.get(), u"DATA-MARK").StringValue(), u"parsed");

  SetAttribute(field.get(), u"Pellix_Colored", Variant::Byte(1));
  SetAttribute(field.get(), u"Pellix_PwdCount", Variant::Int(2));
  SetAttribute(field.get(), u"Pellix_FormVault", Variant::UShort(7));
  SetAttribute(field.get(), u"Pellix_Key", Variant::Text(u"VALUE"));
  struct Case {
    std::u16string name;
    VARTYPE vt;
  } cases[] = {{u"pellix_colored", VT_UI1}, {u"PELLIX_PWDCOUNT", VT_I4}, {u"Pellix_FormVault", VT_UI2},
               {u"pellix_key", VT_BSTR}, {u"data-mark", VT_BSTR}, {u"missing", VT_NULL}};
  for (const Case& each : cases) EXPECT_EQ(Attribute(field.get(), each.name).type(), each.vt) << Narrow(each.name);
  EXPECT_EQ(Attribute(field.get(), u"pellix_colored").raw().bVal, 1);
  EXPECT_EQ(Attribute(field.get(), u"pellix_pwdcount").raw().lVal, 2);

  // Writing in another case replaces the value and keeps the first spelling.
  SetAttribute(field.get(), u"PELLIX_KEY", Variant::Text(u"EMAIL"));
  EXPECT_EQ(Attribute(field.get(), u"Pellix_Key").StringValue(), u"EMAIL");
  EXPECT_EQ(OuterHtml(field.get()),
            u"<INPUT id=\"field\" data-mark=\"parsed\" Pellix_Colored=\"1\" Pellix_PwdCount=\"2\" "
            u"Pellix_FormVault=\"7\" Pellix_Key=\"EMAIL\">");
}

TEST_P(BrowserRules, InputTypes) {
  struct Case {
    std::string html;
    std::u16string type;
  } cases[] = {
      {"<input id=x>", u"text"},
      {"<input id=x type=PassWord>", u"password"},
      {"<input id=x type=hidden>", u"hidden"},
      {"<input id=x type=email>", u"email"},
      {"<input id=x type=bogus>", u"text"},
      {"<input id=x type=''>", u"text"},
      {"<input id=x type=\"password \">", u"text"},
  };
  for (const Case& each : cases) {
    auto document = Load(each.html);
    ComPtr<IHTMLElement> input = ById(document.get(), u"x");
    EXPECT_EQ(Attribute(input.get(), u"TYPE").StringValue(), each.type) << each.html;
    BString type;
    ASSERT_EQ(input.As<IHTMLInputElement>()->get_type(type.Put()), S_OK);
    EXPECT_EQ(type.Text(), each.type) << each.html;
  }
}

TEST_P(BrowserRules, ElementsByNameMatchNameOrIdWithoutCase) {
  auto document = Load(R"(<form><input id=a name=Email><input id=EMAIL name=other>
      <input id=c name=emailx><select id=d name=email></select></form>)");
  auto found = ByName(document.get(), u"email");
  ASSERT_EQ(Length(found.get()), 3);
  EXPECT_EQ(Id(Item(found.get(), 0).get()), u"a");
  EXPECT_EQ(Id(Item(found.get(), 1).get()), u"EMAIL");
  EXPECT_EQ(Id(Item(found.get(), 2).get()), u"d");
  EXPECT_EQ(Length(ByName(document.get(), u"").get()), 0);
}

TEST_P(BrowserRules, TagNamesReadUpperCaseAndMatchWithoutCase) {
  auto document = Load("<p id=p><custom-tag id=c></custom-tag><Input id=i></p>");
  BString tag;
  ASSERT_EQ(ById(document.get(), u"c")->get_tagName(tag.Put()), S_OK);
  EXPECT_EQ(tag.Text(), u"CUSTOM-TAG");
  EXPECT_EQ(Length(ByTag(document.get(), u"INPUT").get()), 1);
  EXPECT_EQ(Length(ByTag(document.get(), u"Custom-Tag").get()), 1);
  // html, head, body, p, custom-tag, input
  EXPECT_EQ(Length(ByTag(document.get(), u"*").get()), 6);
}

TEST_P(BrowserRules, OuterHtmlHasOneFixedForm) {
  struct Case {
    std::string html;
    std::u16string outer;
  } cases[] = {
      {"<form id=x action='/go'><input name=a value=1><br></form>",
       u"<FORM id=\"x\" action=\"/go\"><INPUT name=\"a\" value=\"1\"><BR></FORM>"},
      {"<div id=x title='a\"b<c>&amp;'>1 &lt; 2 &amp;&gt; 3</div>",
       u"<DIV id=\"x\" title=\"a&quot;b&lt;c&gt;&amp;\">1 &lt; 2 &amp;&gt; 3</DIV>"},
      {"<div id=x><!-- gone --><script>if (a<b) x=\"<input\"</script></div>",
       u"<DIV id=\"x\"><SCRIPT>if (a&lt;b) x=\"&lt;input\"</SCRIPT></DIV>"},
      {"<select id=x><option selected>One</select>",
       u"<SELECT id=\"x\"><OPTION selected=\"\">One</OPTION></SELECT>"},
  };
  for (const Case& each : cases) {
    auto document = Load(each.html);
    EXPECT_EQ(Narrow(OuterHtml(ById(document.get(), u"x").get())), Narrow(each.outer)) << each.html;
  }
}

TEST_P(BrowserRules, TypedValuesStayOutOfAttributesAndOuterHtml) {
  auto document = Load(R"(<input id=x type=password value=initial>)");
  ComPtr<IHTMLElement> input = ById(document.get(), u"x");
  EXPECT_EQ(Value(input.get()), u"initial");
  SetAttribute(input.get(), u"value", Variant::Text(u"changed"));
  EXPECT_EQ(Value(input.get()), u"changed");  // follows the attribute until set
  PutValue(input.get(), u"secret");
  SetAttribute(input.get(), u"value", Variant::Text(u"later"));
  EXPECT_EQ(Value(input.get()), u"secret");
  EXPECT_EQ(Attribute(input.get(), u"value").StringValue(), u"later");
  EXPECT_EQ(OuterHtml(input.get()).find(u"secret"), std::u16string::npos);
}

TEST_P(BrowserRules, SelectionOfSingleAndMultipleSelects) {
  auto document = Load(R"(
      <select id=none><option value=a>A<option>  B   b </select>
      <select id=two><option id=o1 selected>One<option id=o2 selected>Two<option id=o3>Three</select>
      <select id=multi multiple><option>X<option>Y</select>)");
  EXPECT_EQ(Value(ById(document.get(), u"none").get()), u"a");  // the first is selected
  EXPECT_EQ(Value(ById(document.get(), u"two").get()), u"Two");  // the last marked one
  EXPECT_EQ(Value(ById(document.get(), u"multi").get()), u"");

  auto select = ById(document.get(), u"none").As<IHTMLSelectElement>();
  LONG length = 0;
  ASSERT_EQ(select->get_length(&length), S_OK);
  ASSERT_EQ(length, 2);
  // Options are taken with the index as name and the byte 0 as index.
  ComPtr<IDispatch> second;
  ASSERT_EQ(select->item(Variant::Int(1).raw(), Variant::Byte(0).raw(), second.Put()), S_OK);
  auto option = second.As<IHTMLOptionElement>();
  ASSERT_TRUE(option);
  BString text, value;
  ASSERT_EQ(option->get_text(text.Put()), S_OK);
  ASSERT_EQ(option->get_value(value.Put()), S_OK);
  EXPECT_EQ(text.Text(), u"B b");
  EXPECT_EQ(value.Text(), u"B b");

  auto o3 = ById(document.get(), u"o3").As<IHTMLOptionElement>();
  ASSERT_EQ(o3->put_selected(VARIANT_TRUE), S_OK);
  VARIANT_BOOL selected = VARIANT_TRUE;
  ASSERT_EQ(ById(document.get(), u"o2").As<IHTMLOptionElement>()->get_selected(&selected), S_OK);
  EXPECT_EQ(selected, VARIANT_FALSE);
  EXPECT_EQ(Value(ById(document.get(), u"two").get()), u"Three");
  // Deselecting the only selected option of a single select selects the first.
  ASSERT_EQ(o3->put_selected(VARIANT_FALSE), S_OK);
  EXPECT_EQ(Value(ById(document.get(), u"two").get()), u"One");
}

TEST_P(BrowserRules, CollectionItems) {
  auto document = Load(R"(<input id=a name=x><input id=b name=X><input id=c name=y>)");
  auto all = ByTag(document.get(), u"input");
  struct Case {
    Variant name;
    Variant index;
    HRESULT result;
    std::u16string id;  // empty: null; "*": a collection
  } cases[] = {
      {Variant::Int(2), Variant::Int(2), S_OK, u"c"},
      {Variant::Int(0), Variant(), S_OK, u"a"},
      {Variant::Int(3), Variant::Int(3), S_OK, u""},
      {Variant::Int(-1), Variant::Int(-1), S_OK, u""},
      {Variant::Text(u"y"), Variant(), S_OK, u"c"},
      {Variant::Text(u"x"), Variant::Int(1), S_OK, u"b"},
      {Variant::Text(u"x"), Variant::Int(2), S_OK, u""},
      {Variant::Text(u"x"), Variant(), S_OK, u"*"},
      {Variant::Text(u"none"), Variant(), S_OK, u""},
      {Variant(), Variant(), E_INVALIDARG, u""},
  };
  for (const Case& each : cases) {
    ComPtr<IDispatch> item;
    ASSERT_EQ(all->item(each.name.raw(), each.index.raw(), item.Put()), each.result);
    if (each.id.empty()) {
      EXPECT_FALSE(item);
    } else if (each.id == u"*") {
      auto several = item.As<IHTMLElementCollection>();
      ASSERT_TRUE(several);
      EXPECT_EQ(Length(several.get()), 2);
    } else {
      ASSERT_TRUE(item);
      EXPECT_EQ(Id(item.As<IHTMLElement>().get()), each.id);
    }
  }
}

TEST_P(BrowserRules, IdentityFollowsTheElementNotTheInterface) {
  auto document = Load(R"(<form id=f><input id=a></form>)");
  ComPtr<IHTMLElement> byId = ById(document.get(), u"a");
  ComPtr<IHTMLElement> byTag = Item(ByTag(document.get(), u"input").get(), 0);
  auto asInput = byTag.As<IHTMLInputElement>();
  EXPECT_NE(static_cast<void*>(asInput.get()), static_cast<void*>(byId.get()));
  EXPECT_TRUE(platform::com::IsSameObject(asInput.get(), byId.get()));
  ComPtr<IHTMLFormElement> form;
  ASSERT_EQ(asInput->get_form(form.Put()), S_OK);
  EXPECT_TRUE(platform::com::IsSameObject(form.get(), ById(document.get(), u"f").get()));
  EXPECT_FALSE(platform::com::IsSameObject(form.get(), byId.get()));
}

}  // namespace
