#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "backends.h"

namespace {

using namespace browser_test;
using platform::com::BString;

class Document : public DocumentConformance {};
INSTANTIATE_TEST_SUITE_P(Backends, Document, ::testing::Values(Backend::kInProcess, Backend::kChromium), BackendName);

TEST_P(Document, TitleBodyAndForms) {
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

TEST_P(Document, FormsReachTheirOwnFieldsOnly) {
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

// Each control belongs to the form the parser associated it with, also where the tree
// builder left the form empty; the form answers its controls from length, item and
// all, and getElementsByTagName stays with the elements inside it.
TEST_P(Document, FormsOwnTheControlsTheParserGaveThem) {
  struct Case {
    const char* what;
    std::string html;
    std::vector<std::u16string> owned;  // ids of the controls of form "f", in order
    std::vector<std::u16string> free;   // ids of controls of no form
  } cases[] = {
      {"a form between a table and its rows",
       R"(<table><form id=f name=aspnetForm><tr><td>First name</td>
          <td><input name="ctl00$Main$txtFirst" id=first></td></tr>
          <tr><td><select name="country[code]" id=country><option>DE</select></td></tr></form></table>
          <input id=after>)",
       {u"first", u"country"},
       {u"after"}},
      {"a form left in one cell keeps the next cell's controls until its end tag",
       "<table><tr><td><form id=f><input id=a></td><td><input type=email id=b></td></tr></table></form>"
       "<input id=c>",
       {u"a", u"b"},
       {u"c"}},
      {"an end tag in a script, an attribute or a comment ends nothing",
       "<table><form id=f><tr><td><script>var s = '</form>';</script><input id=a value='</form>'>"
       "<!-- </form> --><input id=b><textarea id=t></form></textarea></td></tr></table>",
       {u"a", u"b", u"t"},
       {}},
      {"a form inside another is no form",
       "<form id=f><form id=inner><input id=a></form><input id=b>",
       {u"a"},
       {u"b"}},
      {"plain forms", "<form id=f><input id=a><button id=go>Go</button></form><form id=g><input id=b></form>",
       {u"a", u"go"},
       {}},
      {"a form attribute names the form wherever the control stands",
       "<form id=g><input id=a form=f><input id=b></form><input id=c form=none><div id=none></div>"
       "<form id=f><input id=d><select id=s form=g></select></form><input id=e form=f>",
       {u"a", u"d", u"e"},
       {u"c"}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    auto document = Load(each.html);
    ComPtr<IHTMLElement> form = ById(document.get(), u"f");
    ASSERT_TRUE(form);
    // The form an input or select names (buttons and text areas have no such call here).
    auto ownerOf = [&](const std::u16string& id) {
      ComPtr<IHTMLElement> element = ById(document.get(), id);
      ComPtr<IHTMLFormElement> owner;
      if (auto input = element.As<IHTMLInputElement>()) {
        EXPECT_EQ(input->get_form(owner.Put()), S_OK);
      } else if (auto select = element.As<IHTMLSelectElement>()) {
        EXPECT_EQ(select->get_form(owner.Put()), S_OK);
      } else {
        return form;  // not asked
      }
      return owner.As<IHTMLElement>();
    };
    for (const std::u16string& id : each.owned) {
      EXPECT_TRUE(platform::com::IsSameObject(ownerOf(id).get(), form.get())) << Narrow(id);
    }
    for (const std::u16string& id : each.free) EXPECT_FALSE(ownerOf(id)) << Narrow(id);
    auto asForm = form.As<IHTMLFormElement>();
    LONG length = 0;
    ASSERT_EQ(asForm->get_length(&length), S_OK);
    std::vector<std::u16string> items, inAll;
    for (LONG i = 0; i < length; ++i) {
      ComPtr<IDispatch> item;
      ASSERT_EQ(asForm->item(Variant::Int(i).raw(), Variant::Int(i).raw(), item.Put()), S_OK);
      items.push_back(Id(item.As<IHTMLElement>().get()));
    }
    EXPECT_EQ(items, each.owned);
    ComPtr<IDispatch> all;
    ASSERT_EQ(form->get_all(all.Put()), S_OK);
    auto collection = all.As<IHTMLElementCollection>();
    for (LONG i = 0; i < Length(collection.get()); ++i) {
      std::u16string id = Id(Item(collection.get(), i).get());
      if (std::find(each.owned.begin(), each.owned.end(), id) != each.owned.end()) inAll.push_back(id);
      EXPECT_EQ(std::find(each.free.begin(), each.free.end(), id), each.free.end()) << Narrow(id);
    }
    EXPECT_EQ(inAll, each.owned);
  }
  // The tree stays as it was built: the form between the table and its rows is empty.
  auto document = Load(cases[0].html);
  ComPtr<IHTMLElementCollection> inside;
  ASSERT_EQ(ById(document.get(), u"f").As<IHTMLElement2>()->getElementsByTagName(BString(u"input").get(),
                                                                                 inside.Put()),
            S_OK);
  EXPECT_EQ(Length(inside.get()), 0);
}

// A control whose form attribute changes (the program's setAttribute, or on Chromium a
// page's script) is read with its new form, and a removed attribute gives it back to
// the form around it.
TEST_P(Document, AControlMovedByItsFormAttributeIsReadWithItsNewForm) {
  auto document = Load("<form id=f><input id=a><input id=b></form><form id=g><input id=c></form>");
  auto controls = [&](const std::u16string& form) {
    std::vector<std::u16string> ids;
    auto asForm = ById(document.get(), form).As<IHTMLFormElement>();
    LONG length = 0;
    EXPECT_EQ(asForm->get_length(&length), S_OK);
    for (LONG i = 0; i < length; ++i) {
      ComPtr<IDispatch> item;
      EXPECT_EQ(asForm->item(Variant::Int(i).raw(), Variant::Int(i).raw(), item.Put()), S_OK);
      ids.push_back(Id(item.As<IHTMLElement>().get()));
    }
    return ids;
  };
  auto ownerOf = [&](const std::u16string& id) {
    ComPtr<IHTMLFormElement> owner;
    EXPECT_EQ(ById(document.get(), id).As<IHTMLInputElement>()->get_form(owner.Put()), S_OK);
    return Id(owner.As<IHTMLElement>().get());
  };
  SetAttribute(ById(document.get(), u"a").get(), u"Form", Variant::Text(u"g"));
  EXPECT_EQ(ownerOf(u"a"), u"g");
  EXPECT_EQ(controls(u"f"), std::vector<std::u16string>{u"b"});
  EXPECT_EQ(controls(u"g"), (std::vector<std::u16string>{u"a", u"c"}));
  VARIANT_BOOL removed = VARIANT_FALSE;
  ASSERT_EQ(ById(document.get(), u"a")->removeAttribute(BString(u"form").get(), 0, &removed), S_OK);
  EXPECT_EQ(removed, VARIANT_TRUE);
  EXPECT_EQ(ownerOf(u"a"), u"f");
  EXPECT_EQ(controls(u"f"), (std::vector<std::u16string>{u"a", u"b"}));
  if (GetParam() == Backend::kChromium) {
    // The page's own script moves a control to the later form: the next read has it.
    ComPtr<IDispatch> read;
    ComPtr<IHTMLElement> b = ById(document.get(), u"b");
    ASSERT_TRUE(ChromiumPageScript(window(), "(document.getElementById('b').setAttribute('form', 'g'), true)"));
    ASSERT_EQ(window()->get_Document(read.Put()), S_OK);
    EXPECT_EQ(ownerOf(u"b"), u"g");
    EXPECT_EQ(controls(u"g"), (std::vector<std::u16string>{u"b", u"c"}));
    EXPECT_TRUE(platform::com::IsSameObject(ById(document.get(), u"b").get(), b.get())) << "the same element";
  }
}

TEST_P(Document, KindInterfacesFollowTheTag) {
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

TEST_P(Document, InlineStyleIsReadAndWritten) {
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

TEST_P(Document, ElementsOfAGonePageFailCleanly) {
  ComPtr<IHTMLElement> kept;
  {
    auto document = Load("<input id=x>");
    kept = ById(document.get(), u"x");
  }
  // A window lets its page go when it loads the next.
  Load("<p>next</p>", u"http://site.test/next.html");
  Variant value;
  EXPECT_EQ(kept->getAttribute(BString(u"id").get(), 0, value.Put()), E_FAIL);
  EXPECT_EQ(kept->setAttribute(BString(u"id").get(), Variant::Text(u"y").raw(), 0), E_FAIL);
  ComPtr<IHTMLStyle> style;
  EXPECT_EQ(kept->get_style(style.Put()), E_FAIL);
}

TEST_P(Document, CollectionsKeepTheirPageAlive) {
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
TEST_P(Document, HostilePages) {
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

TEST_P(Document, InvalidUtf8BecomesReplacementCharacters) {
  auto document = Load("<input id=x value=\"a\xff" "b\">");
  EXPECT_EQ(Value(ById(document.get(), u"x").get()), u"a\uFFFDb");
}

// References to NUL and to surrogate halves name no character: the page's values and
// title hold U+FFFD for them, also for a pair spelled as two references.
TEST_P(Document, ReferencesToNulAndSurrogatesGiveReplacementCharacters) {
  auto document = Load("<title>a&#0;b</title><input id=x value=\"&#0;&#xD800;&#56320;&#xD83D;&#xDE00;&#xE000;\">");
  EXPECT_EQ(Value(ById(document.get(), u"x").get()), u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uE000");
  BString title;
  ASSERT_EQ(document->get_title(title.Put()), S_OK);
  EXPECT_EQ(title.Text(), u"a\uFFFDb");
}

}  // namespace
